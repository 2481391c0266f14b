// Finding hosted sessions without holding up the frame: the query goes out
// over one UDP socket to the broadcast address and to every host asked by
// name, again each second, and the answers are read as they arrive whenever
// the lobby looks.  Only the frame thread touches a search; a host name is
// looked up on a helper thread whose one result is taken on the frame thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <future>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "net/transport.h"
#include "platform/udp_bridge.h"

namespace zq {

// The search query and its answer: "ZQUIBFND" padded with zeros to the
// answer's size, then "ZQUIBSES", players (1), most players (1), in play (1),
// session name (32).  A host answers only a query as large as its answer, so a
// forged source address never gets more bytes sent to it than were sent.
inline constexpr char kSearchQuery[] = "ZQUIBFND";
inline constexpr char kSearchAnswer[] = "ZQUIBSES";
inline constexpr std::size_t kSearchMagic = 8;
inline constexpr std::size_t kSearchAnswerSize = kSearchMagic + 3 + 32;
inline constexpr std::size_t kSearchQuerySize = kSearchAnswerSize;

// Whether a search query from `host` (IPv4, network order) may be answered:
// never to 0.0.0.0, a multicast or reserved address (224.0.0.0 and up, the
// limited broadcast among them), or one of `broadcasts`, the directed
// broadcast addresses of this machine's networks; none of them sends queries,
// and an answer to one would go to a whole network.
bool AnswerableSearchSource(std::uint32_t host, const std::vector<std::uint32_t>& broadcasts);
// The broadcast addresses of this machine's IPv4 networks, in network order.
std::vector<std::uint32_t> LocalBroadcastAddresses();

// An IPv4 address and port as the search keeps them: the host in network
// order, the port in host order.
struct LanAddress {
    std::uint32_t host = 0;
    std::uint16_t port = 0;
};

// "10.0.0.5:28416".
std::string AddressText(const LanAddress& address);
// This machine's IPv4 addresses other than loopback, as dotted text.
std::vector<std::string> LocalIpv4Addresses();
// This machine's IPv6 addresses another machine could reach: neither
// loopback nor link-local (which needs an interface name to be of use).
std::vector<std::string> LocalIpv6Addresses();

class LanSearch {
public:
    LanSearch() = default;
    LanSearch(const LanSearch&) = delete;
    LanSearch& operator=(const LanSearch&) = delete;
    ~LanSearch() {
        Stop();
        bridges_.clear();
    }

    // Opens the socket on `bindHost` (any port) unless it is open already.
    // False when no socket can be had.
    bool Open(const std::string& bindHost);
    // Closes the socket and forgets every target and session.
    void Stop();
    bool IsOpen() const { return socket_ != kNoSocket; }

    // Asks `text` ("host" or "host:port", the port `defaultPort` when none is
    // given) directly from now on; its sessions are labelled "host:port" as
    // typed.  An IPv6 host (numeric, or a name with only AAAA records) is
    // asked through a bridge on 127.0.0.1, which is then the address ENet
    // uses for the session.  `numericOnly` refuses names that would need the resolver.  False
    // for text that is no address at all.
    bool Ask(const std::string& text, int defaultPort, bool numericOnly);

    // Reads the answers that arrived, sends the query again when a second has
    // passed, and waits up to `waitMs` for more (0: not at all).  `sessions`
    // becomes the sessions heard in the last few seconds; each keeps its id
    // for as long as the search runs.
    void Poll(std::int32_t waitMs, std::vector<SessionEntry>& sessions);

    // The address of a listed session, or nullptr for an unknown id.
    const LanAddress* AddressOf(std::int32_t sessionId) const;

private:
    using Clock = std::chrono::steady_clock;
    // What a name stands for: an IPv4 address (network order), else a
    // numeric IPv6 one; neither when the name is unknown.
    struct Resolved {
        std::uint32_t ipv4 = 0;
        std::string ipv6;
    };
    struct Target {
        std::string label;  // "host:port" as the player typed it
        int port = 0;
        LanAddress address;
        bool resolved = false;
        std::future<Resolved> lookup;
    };
    struct Found {
        LanAddress address;
        SessionEntry entry;
        Clock::time_point heard;
    };

    void SendQueries();
    void TakeLookups();
    void Receive();
    std::string LabelOf(const LanAddress& from) const;
    // The loopback end of the bridge to [ipv6]:port, made on first use.
    bool BridgeTo(const std::string& ipv6, int port, LanAddress& out);

    // The bridges to IPv6 hosts asked in this run, by "[address]:port".
    // They outlive Stop: a player who comes back finds the host at the same
    // loopback port, which is what its rejoin token is kept under.
    static constexpr std::size_t kMostBridges = 16;
    std::map<std::string, std::unique_ptr<UdpBridge>> bridges_;

    static constexpr int kNoSocket = -1;
    int socket_ = kNoSocket;  // ENet's socket, a file descriptor on this system
    std::vector<Target> targets_;
    std::vector<Found> found_;  // session id n is found_[n - 1]
    Clock::time_point lastQuery_{};
    bool queried_ = false;
};

}  // namespace zq
