// Carries UDP datagrams between IPv6 and ENet, which speaks IPv4 only.  A
// bridge listens on one socket; each distinct sender gets a socket of its
// own, connected to the one target, so the target's answers find their way
// back to that sender.  A host listens on [::]:port and relays each IPv6
// player to its ENet socket on loopback; a joiner listens on 127.0.0.1 and
// relays its ENet socket to the host's IPv6 address.  A thread of its own
// moves the datagrams, so the bridge works while the frame thread waits
// (a goodbye, a blocking join).
#pragma once

#include <sys/socket.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

namespace zq {

// An IPv4 or IPv6 socket address.
struct UdpEndpoint {
    sockaddr_storage storage{};
    socklen_t length = 0;
};

// "[2001:db8::1]:28416" or "10.0.0.5:28416".
std::string EndpointText(const UdpEndpoint& endpoint);
// A numeric IPv6 or IPv4 address and a port; false for anything else.
bool MakeEndpoint(const std::string& numericHost, int port, UdpEndpoint& out);

// Senders a bridge relays at once, datagrams it carries at most, and how long
// a sender may stay silent before its socket is closed.  ENet keeps a link
// busy every 100 ms and a search asks once a second, so a live one is never
// idle this long.
inline constexpr std::size_t kMostBridgedSenders = 32;
inline constexpr std::size_t kLargestBridgedDatagram = 1500;
inline constexpr int kBridgeIdleMs = 30000;
// When every slot is taken, a sender silent at least this long gives its
// slot to a newcomer; otherwise the newcomer's datagram is dropped.
inline constexpr int kBridgeReclaimMs = 3000;

class UdpBridge {
public:
    UdpBridge(const UdpBridge&) = delete;
    UdpBridge& operator=(const UdpBridge&) = delete;
    ~UdpBridge();

    // Binds `listen` (port 0: any) and starts relaying to `target`.  Null,
    // with the reason in `error`, when the socket cannot be had.
    static std::unique_ptr<UdpBridge> Start(const UdpEndpoint& listen, const UdpEndpoint& target, std::string& error);

    // Where the bridge listens (the port the system chose for port 0).
    const UdpEndpoint& Listening() const { return listening_; }
    // Senders relayed right now (for tests and the log).
    std::size_t Senders() const { return senders_.load(); }

private:
    UdpBridge() = default;
    void Run();

    int listen_ = -1;
    UdpEndpoint listening_;
    UdpEndpoint target_;
    std::atomic<bool> stop_{false};
    std::atomic<std::size_t> senders_{0};
    std::thread thread_;
};

}  // namespace zq
