#include "platform/enet_transport.h"

#include "platform/lan_discovery.h"
#include "platform/port_mapping.h"
#include "platform/udp_bridge.h"

#include <enet/enet.h>
#include <netinet/in.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <iostream>
#include <map>
#include <random>
#include <thread>

namespace zq {

namespace {

// Blocks between this program's own machines; the first byte says what it is.
enum FrameKind : std::uint8_t {
    kJoinRequest = 'J',  // protocol version (4), long name (52), short name (20), [rejoin token (8)]
    kWelcome = 'W',      // your id (4), count (1), then id (4), long (52), short (20) each, [rejoin token (8)]
    kRefused = 'R',      // code (4)
    kAdded = 'A',        // id (4), long (52), short (20)
    kLeft = 'L',         // id (4), how (1): 0 quit, 1 connection lost
    kMessage = 'M',      // from (4), to (4), the game message
    kSilence = 'S',      // host to joiners: count (1), then id (4), silent ms (4) each
    kBeat = 'B',         // joiner to host, nothing more: word that it is still there
};

constexpr std::size_t kLongField = 52, kShortField = 20;
constexpr std::size_t kPlayerField = 4 + kLongField + kShortField;
constexpr std::size_t kJoinRequestSize = 1 + 4 + kLongField + kShortField;
// The rejoin token trails the join request of a player coming back, and the
// welcome of every player: older builds neither send nor read it.
constexpr std::size_t kTokenSize = 8;
constexpr std::uint8_t kReliableChannel = 0, kUnreliableChannel = 1;
constexpr std::int32_t kHostId = 1;
constexpr enet_uint32 kConnectWaitMs = 3000;
// How long a leaving player keeps resending its goodbye until every other end has it.
constexpr int kGoodbyeWaitMs = 2000;
// The largest frame any of this program's machines sends (a welcome for a
// few players, a game message and its header): anything longer is dropped
// unread, and ENet refuses to gather more than this for one packet.
constexpr std::size_t kLargestFrame = 512;
constexpr std::size_t kMostWelcomed = (kLargestFrame - 6 - kTokenSize) / kPlayerField;
// A connection that has not asked to join within this long is dropped, so
// bare connections cannot hold the slots...
constexpr enet_uint32 kJoinRequestWaitMs = 2000;
// ...the host has this many connections to spare beyond its players...
constexpr std::size_t kSpareConnections = 16;
// ...and one address holds at most this many that have not joined yet (the
// players behind one router share an address, but join one by one).
constexpr std::size_t kMostUnjoinedPerAddress = 4;
// Keep-alives often enough that a working link is never a second silent.
constexpr enet_uint32 kPingIntervalMs = 100;
// ENet's own give-up time lies beyond the silence drop, which is ours and
// exact; ENet's only catches what never answers at all.
constexpr enet_uint32 kEnetTimeoutMs = kSilentDropMs + 5000;
// The goodbye's data: the player quit.  A connection that times out ends
// with 0.
constexpr enet_uint32 kQuitData = 1;
// The host's silence report doubles as its heartbeat, and each joiner sends
// one of its own as often: unreliable, so a lost one never holds back the next.  ENet's own keep-alive is reliable and goes
// out only while nothing else awaits acknowledgement: once one is lost the
// next waits for its resend, and in a lobby, where nothing else flows, a
// fifth of the datagrams lost was enough to leave a joiner a second without
// word now and then.  Ten a second, all lost in a row, is real silence.
constexpr std::int32_t kSilenceReportMs = 100;

void PutI32(std::vector<std::uint8_t>& b, std::int32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i)));
}
std::int32_t GetI32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24));
}
void PutText(std::vector<std::uint8_t>& b, const std::string& text, std::size_t field) {
    for (std::size_t i = 0; i < field; ++i) b.push_back(i + 1 < field && i < text.size() ? static_cast<std::uint8_t>(text[i]) : 0);
}
std::string GetText(const std::uint8_t* p, std::size_t field) {
    std::size_t n = 0;
    while (n < field && p[n] != 0) ++n;
    return std::string(reinterpret_cast<const char*>(p), n);
}
void PutPlayer(std::vector<std::uint8_t>& b, const PlayerEntry& p) {
    PutI32(b, p.id);
    PutText(b, p.longName, kLongField);
    PutText(b, p.shortName, kShortField);
}
PlayerEntry GetPlayer(const std::uint8_t* p) {
    return PlayerEntry{GetI32(p), GetText(p + 4, kLongField), GetText(p + 4 + kLongField, kShortField)};
}

struct EnetLibrary {
    EnetLibrary() { ok = enet_initialize() == 0; }
    ~EnetLibrary() {
        if (ok) enet_deinitialize();
    }
    bool ok = false;
};

bool LibraryReady() {
    static EnetLibrary library;
    return library.ok;
}

class EnetTransport;
// ENet's raw-packet hook carries no user pointer: the hosting transports are
// found by their ENet host.  Only the frame thread touches this.
std::map<const ENetHost*, EnetTransport*>& Hosts() {
    static std::map<const ENetHost*, EnetTransport*> hosts;
    return hosts;
}

// Milliseconds from `earlier` to `later` on ENet's wrapping clock.
enet_uint32 TimeSince(enet_uint32 later, enet_uint32 earlier) { return later - earlier; }
// The same for a mark that may lie a moment after `now` (ENet's clock moved
// on while a datagram was taken): no time at all, never the clock's wrap.
enet_uint32 TimeSinceMark(enet_uint32 now, enet_uint32 mark) {
    const enet_uint32 since = now - mark;
    return since >= (1u << 31) ? 0 : since;
}

struct RemotePlayer {
    PlayerEntry entry;
    ENetPeer* peer = nullptr;
    std::uint64_t token = 0;  // what this player needs to take its place again
};

// A player who had a place when the game started: its names and its token.
struct PlacedPlayer {
    PlayerEntry entry;
    std::uint64_t token = 0;
};

void PutU64(std::vector<std::uint8_t>& b, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
std::uint64_t GetU64(const std::uint8_t* p) {
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v |= static_cast<std::uint64_t>(p[i]) << (8 * i);
    return v;
}

// A token nobody can guess; never 0, which means "none".
std::uint64_t NewToken() {
    static std::random_device device;
    std::uint64_t token = 0;
    while (token == 0) token = (static_cast<std::uint64_t>(device()) << 32) ^ device();
    return token;
}

// ENet marks the peer's last acknowledgement (its keep-alives are
// acknowledged too); the transport marks each packet it takes.  The later
// of the two is when that machine was last heard.
std::int32_t SilentFor(const ENetPeer* peer) {
    const enet_uint32 heard = peer->data ? static_cast<enet_uint32>(reinterpret_cast<std::uintptr_t>(peer->data)) : 0;
    const enet_uint32 now = enet_time_get();
    const enet_uint32 since = std::min(TimeSinceMark(now, peer->lastReceiveTime),
                                       heard ? TimeSinceMark(now, heard) : TimeSinceMark(now, peer->lastReceiveTime));
    return static_cast<std::int32_t>(std::min<enet_uint32>(since, 1u << 30));
}

void MarkHeard(ENetPeer* peer) {
    peer->data = reinterpret_cast<void*>(static_cast<std::uintptr_t>(std::max<enet_uint32>(1, enet_time_get())));
}

// ENet's throttle drops unreliable blocks at the sender whenever the round
// trip rises above its recent mean, and on a link that delays each datagram
// by its own time that is most of the time: the positions then starve to
// nothing while only keep-alives flow.  The game paces its own sends by the
// measured link, so the throttle stays fully open.
constexpr enet_uint32 kThrottleNeverSlows = 0;

void SetPeerTiming(ENetPeer* peer) {
    enet_peer_timeout(peer, 0, kEnetTimeoutMs, kEnetTimeoutMs);
    enet_peer_ping_interval(peer, kPingIntervalMs);
}

// Once connected (ENet sends the setting to the other end, which a
// connection still being made would turn away).
void OpenThrottle(ENetPeer* peer) {
    enet_peer_throttle_configure(peer, ENET_PEER_PACKET_THROTTLE_INTERVAL, ENET_PEER_PACKET_THROTTLE_ACCELERATION,
                                 kThrottleNeverSlows);
}

// ENet doubles a reliable block's resend wait at every loss, without a
// bound short of its give-up: ten seconds of blackout leave the next try up
// to eight seconds away, and every reliable event waits for it.  So the wait
// of each block in flight is held between a round trip and this...
constexpr enet_uint32 kLongestResendWaitMs = 500;
constexpr enet_uint32 kShortestResendWaitMs = 20;

// ...and `resendNow` sends them all at the next service (the machine was
// heard again after a silence: the link is back).  The fields are ENet's
// public peer record; its own sends set them again on every try.
void HoldResendWaits(ENetPeer* peer, bool resendNow) {
    if (peer->state != ENET_PEER_STATE_CONNECTED || enet_list_empty(&peer->sentReliableCommands)) return;
    const enet_uint32 shortest =
        std::clamp<enet_uint32>(peer->roundTripTime + peer->roundTripTimeVariance, kShortestResendWaitMs, kLongestResendWaitMs);
    const enet_uint32 now = enet_time_get();
    enet_uint32 soonest = kLongestResendWaitMs;  // from now
    for (ENetListIterator it = enet_list_begin(&peer->sentReliableCommands); it != enet_list_end(&peer->sentReliableCommands);
         it = enet_list_next(it)) {
        auto* command = reinterpret_cast<ENetOutgoingCommand*>(it);
        if (resendNow) {
            command->roundTripTimeout = 1;
            soonest = 0;
            continue;
        }
        command->roundTripTimeout = std::clamp(command->roundTripTimeout, shortest, kLongestResendWaitMs);
        const enet_uint32 age = TimeSince(now, command->sentTime);
        soonest = std::min(soonest, age >= command->roundTripTimeout ? 0 : command->roundTripTimeout - age);
    }
    peer->nextTimeout = now + soonest;
}

class EnetTransport final : public NetTransport {
public:
    EnetTransport(NetworkSettings settings, bool gameClock) : settings_(std::move(settings)), gameClock_(gameClock) {}
    ~EnetTransport() override { Shutdown(); }

    std::vector<std::string> Providers() override { return {kUdpProvider, kLoopbackProvider}; }

    std::uint32_t OpenProvider(const std::string& name) override {
        if (!LibraryReady()) return kTransportNoSocket;
        if (name == provider_) return kTransportOk;
        if (!provider_.empty() && host_) return kTransportOk;  // a session is open: keep its provider
        if (name != kUdpProvider && name != kLoopbackProvider) return kTransportNoProvider;
        search_.Stop();
        provider_ = name;
        return kTransportOk;
    }

    std::uint32_t FindSessions(std::int32_t timeoutMs, std::vector<SessionEntry>& sessions) override;
    std::uint32_t CreateSession(const std::string& name, std::int32_t maxPlayers, const PlayerEntry& local,
                                std::int32_t& localId) override;
    std::uint32_t JoinSession(std::int32_t sessionId, const PlayerEntry& local, std::int32_t& localId,
                              std::vector<PlayerEntry>& players) override;
    std::uint32_t BeginJoin(std::int32_t sessionId, const PlayerEntry& local) override;
    std::uint32_t JoinProgress(std::int32_t& localId, std::vector<PlayerEntry>& players) override;
    void CancelJoin() override { Abandon(); }
    std::uint32_t AskHost(const std::string& address) override;
    std::vector<std::string> HostAddresses() override;
    std::vector<std::string> InternetStatus() override {
        return mapping_ ? mapping_->Lines() : std::vector<std::string>{};
    }
    void LeaveSession() override {
        Shutdown();
        search_.Stop();
    }
    void CloseSession() override;
    void Send(std::int32_t to, std::span<const std::uint8_t> bytes, bool reliable) override;
    void Forward(std::int32_t from, std::span<const std::uint8_t> bytes, bool reliable) override;
    void Poll(std::vector<TransportEvent>& events) override;
    std::int32_t SilenceMs(std::int32_t id) override;
    LinkStats Link(std::int32_t id) override;
    void FrameTime(std::int32_t now) override {
        // Far from 0, which ENet reads as "never" in a few of its fields.
        gameTime_ = kGameClockStart + static_cast<enet_uint32>(now);
        OnGameClock();
    }

    // The raw-packet hook: answers a search and keeps it away from ENet.
    int Intercept(ENetHost* host);

private:
    bool Loopback() const { return provider_ == kLoopbackProvider; }
    void Shutdown();
    // Closes at once, without waiting for goodbyes (a join given up).
    void Abandon();
    // Hosting: IPv6 players through a bridge to the ENet socket, and the
    // home router asked to forward the port.
    void OpenToTheWorld();
    void SendFrame(ENetPeer* peer, const std::vector<std::uint8_t>& frame, bool reliable);
    void HostReceive(ENetPeer* peer, const std::uint8_t* data, std::size_t size, std::vector<TransportEvent>& events);
    void JoinerReceive(const std::uint8_t* data, std::size_t size, std::vector<TransportEvent>& events);
    RemotePlayer* PlayerOf(ENetPeer* peer);
    void Refuse(ENetPeer* peer, std::uint32_t code);
    void DropPeer(ENetPeer* peer, bool lost, std::vector<TransportEvent>& events);
    void DropSilentPeers(std::vector<TransportEvent>& events);
    void ReportSilence();
    // A joiner's heartbeat to the host, as often as the host's reports.
    void SendBeat();

    // Every peer's resend waits held short, and those heard again after a
    // silence told to resend at once.
    void TendResends();

    // On the game's clock ENet's is set back to the frame's time before each
    // use: however long the games' frames take, no wall-clock time leaks in.
    void OnGameClock() const {
        if (gameClock_) enet_time_set(gameTime_);
    }

    static constexpr enet_uint32 kGameClockStart = 1u << 20;
    NetworkSettings settings_;
    bool gameClock_ = false;
    enet_uint32 gameTime_ = kGameClockStart;
    // The peers that were silent beyond the warning at the last Poll.
    std::map<ENetPeer*, bool> wasSilent_;
    std::string provider_;
    ENetHost* host_ = nullptr;
    std::unique_ptr<UdpBridge> bridge6_;     // hosting: [::]:port relayed to the ENet socket
    std::unique_ptr<PortMapping> mapping_;   // hosting: the router's forwarding, taken back when it goes
    bool hosting_ = false;
    bool open_ = false;
    std::string sessionName_;
    std::int32_t maxPlayers_ = 4;
    std::int32_t localId_ = 0;
    std::string hostLong_, hostShort_;  // hosting: the local player's names for the welcome
    std::int32_t nextId_ = kHostId + 1;
    std::vector<RemotePlayer> players_;  // hosting: the others, in joining order
    ENetPeer* hostPeer_ = nullptr;       // joined: the connection to the host
    LanSearch search_;                   // session ids are the search's
    std::vector<std::uint32_t> broadcasts_;  // hosting: this machine's broadcast addresses, never answered
    std::vector<TransportEvent> pending_;  // arrived while joining
    // Hosting: connections that have not asked to join yet, and since when.
    std::map<ENetPeer*, enet_uint32> unjoined_;
    // Hosting a running game: the players who had a place when it started,
    // and those among them who are gone and may come back with their token.
    std::vector<PlacedPlayer> placed_, rejoinable_;
    // Joined: the token each host gave this player, by its address, for the
    // whole run (never on disk).
    std::map<std::pair<enet_uint32, enet_uint16>, std::uint64_t> tokens_;
    // Joining: waiting for the connection, then for the welcome, since when.
    enum class Joining { No, Connecting, Welcoming };
    Joining joining_ = Joining::No;
    enet_uint32 joinSince_ = 0;
    PlayerEntry joinLocal_;
    std::pair<enet_uint32, enet_uint16> joinKey_{};
    enet_uint32 lastSilenceReport_ = 0;
    // Joined: what the host last said about the others' silence.
    std::map<std::int32_t, std::int32_t> reportedSilence_;
};

int InterceptHook(ENetHost* host, ENetEvent*) {
    auto it = Hosts().find(host);
    return it == Hosts().end() ? 0 : it->second->Intercept(host);
}

int EnetTransport::Intercept(ENetHost* host) {
    // Every datagram counts as word from its machine, whatever ENet makes of
    // it: a resend that arrives out of order, or a bare acknowledgement, ends
    // a silence as much as a message does.
    const ENetAddress& from = host->receivedAddress;
    auto heard = [&](ENetPeer* peer) {
        if (peer && peer->state == ENET_PEER_STATE_CONNECTED && peer->address.host == from.host && peer->address.port == from.port)
            MarkHeard(peer);
    };
    if (hosting_) {
        for (RemotePlayer& p : players_) heard(p.peer);
    } else {
        heard(hostPeer_);
        return 0;
    }
    if (host->receivedDataLength != kSearchQuerySize || std::memcmp(host->receivedData, kSearchQuery, kSearchMagic) != 0)
        return 0;
    // Taken, but not answered: an answer must never go to a whole network.
    if (!AnswerableSearchSource(host->receivedAddress.host, broadcasts_) || host->receivedAddress.port == 0) return 1;
    // A running game still answers, marked as such: its dropped players
    // find it again.
    std::vector<std::uint8_t> answer(kSearchAnswer, kSearchAnswer + kSearchMagic);
    answer.push_back(static_cast<std::uint8_t>(1 + players_.size()));
    answer.push_back(static_cast<std::uint8_t>(maxPlayers_));
    answer.push_back(open_ ? 0 : 1);
    PutText(answer, sessionName_, 32);
    ENetBuffer buffer{answer.data(), answer.size()};
    enet_socket_send(host->socket, &host->receivedAddress, &buffer, 1);
    return 1;
}

// The search runs on while the lobby keeps asking: each call only reads what
// has arrived (and waits only when a caller asks it to).
std::uint32_t EnetTransport::FindSessions(std::int32_t timeoutMs, std::vector<SessionEntry>& sessions) {
    if (provider_.empty()) return kTransportNoProvider;
    if (!search_.IsOpen()) {
        if (!search_.Open(Loopback() ? "127.0.0.1" : "")) return kTransportNoSocket;
        if (Loopback()) {
            search_.Ask("127.0.0.1", settings_.port, true);
        } else {
            if (settings_.broadcast) search_.Ask(settings_.broadcastAddress, settings_.port, true);
            for (const std::string& h : settings_.hosts) search_.Ask(h, settings_.port, false);
        }
    }
    search_.Poll(timeoutMs, sessions);
    return kTransportOk;
}

std::uint32_t EnetTransport::AskHost(const std::string& address) {
    if (provider_.empty()) return kTransportNoProvider;
    if (!search_.IsOpen() && !search_.Open(Loopback() ? "127.0.0.1" : "")) return kTransportNoSocket;
    return search_.Ask(address, settings_.port, false) ? kTransportOk : kTransportNoSession;
}

std::vector<std::string> EnetTransport::HostAddresses() {
    std::vector<std::string> out;
    if (!hosting_ || !host_) return out;
    // Built by appending: GCC 12 warns (-Wrestrict) about "..." + to_string at -O2.
    std::string port(1, ':');
    port += std::to_string(host_->address.port);
    const std::string bind = Loopback() ? "127.0.0.1" : settings_.bindAddress;
    if (bind != "0.0.0.0") {
        out.push_back(bind + port);
    } else {
        for (const std::string& ip : LocalIpv4Addresses()) out.push_back(ip + port);
        if (out.empty()) out.push_back("127.0.0.1" + port);
    }
    if (bridge6_) {
        const auto& listening = reinterpret_cast<const sockaddr_in6&>(bridge6_->Listening().storage);
        if (IN6_IS_ADDR_UNSPECIFIED(&listening.sin6_addr)) {
            for (const std::string& ip : LocalIpv6Addresses()) out.push_back("[" + ip + "]" + port);
        } else {
            out.push_back(EndpointText(bridge6_->Listening()));
        }
    }
    return out;
}

void EnetTransport::OpenToTheWorld() {
    const bool loopbackBind = Loopback() || settings_.bindAddress.rfind("127.", 0) == 0;
    const std::string listen6 = loopbackBind ? "::1" : settings_.bindAddress6;
    const int port = host_->address.port;
    // ENet bound to every address takes the bridge's datagrams on loopback.
    const std::string target4 = loopbackBind ? "127.0.0.1" : settings_.bindAddress == "0.0.0.0" ? "127.0.0.1" : settings_.bindAddress;
    UdpEndpoint listen, target;
    if (!listen6.empty() && MakeEndpoint(listen6, port, listen) && listen.storage.ss_family == AF_INET6 &&
        MakeEndpoint(target4, port, target)) {
        std::string error;
        bridge6_ = UdpBridge::Start(listen, target, error);
        if (!bridge6_) std::cerr << "network: no IPv6 players: " << error << '\n';
    }
    if (settings_.portMapping && !loopbackBind) mapping_ = std::make_unique<PortMapping>(port);
}

std::uint32_t EnetTransport::CreateSession(const std::string& name, std::int32_t maxPlayers, const PlayerEntry& local,
                                           std::int32_t& localId) {
    if (provider_.empty()) return kTransportNoProvider;
    if (host_) return kTransportRefused;
    ENetAddress address{};
    const std::string bind = Loopback() ? "127.0.0.1" : settings_.bindAddress;
    if (enet_address_set_host_ip(&address, bind.c_str()) != 0) return kTransportNoSocket;
    address.port = static_cast<enet_uint16>(settings_.port);
    host_ = enet_host_create(&address, static_cast<std::size_t>(std::max(1, maxPlayers - 1)) + kSpareConnections, 2, 0, 0);
    if (!host_) return kTransportNoSocket;
    host_->maximumPacketSize = kLargestFrame;
    host_->intercept = InterceptHook;
    broadcasts_ = LocalBroadcastAddresses();
    placed_.clear();
    rejoinable_.clear();
    unjoined_.clear();
    Hosts()[host_] = this;
    OpenToTheWorld();
    hosting_ = true;
    open_ = true;
    sessionName_ = name;
    maxPlayers_ = maxPlayers;
    localId_ = localId = kHostId;
    hostLong_ = local.longName;
    hostShort_ = local.shortName;
    return kTransportOk;
}

std::uint32_t EnetTransport::BeginJoin(std::int32_t sessionId, const PlayerEntry& local) {
    OnGameClock();
    if (provider_.empty()) return kTransportNoProvider;
    if (host_) return kTransportRefused;
    const LanAddress* found = search_.AddressOf(sessionId);
    if (!found) return kTransportNoSession;
    const ENetAddress address{found->host, found->port};
    host_ = enet_host_create(nullptr, 1, 2, 0, 0);
    if (!host_) return kTransportNoSocket;
    host_->maximumPacketSize = kLargestFrame;
    host_->intercept = InterceptHook;
    Hosts()[host_] = this;
    reportedSilence_.clear();
    hostPeer_ = enet_host_connect(host_, &address, 2, 0);
    if (!hostPeer_) {
        Abandon();
        return kTransportNoSocket;
    }
    SetPeerTiming(hostPeer_);
    joining_ = Joining::Connecting;
    joinSince_ = enet_time_get();
    joinLocal_ = local;
    joinKey_ = std::make_pair(address.host, address.port);
    return kTransportOk;
}

std::uint32_t EnetTransport::JoinProgress(std::int32_t& localId, std::vector<PlayerEntry>& players) {
    OnGameClock();
    if (joining_ == Joining::No || !host_) return kTransportNoSession;
    ENetEvent event;
    for (int n = 0; n < 64 && enet_host_service(host_, &event, 0) > 0; ++n) {
        if (event.type == ENET_EVENT_TYPE_CONNECT && joining_ == Joining::Connecting) {
            MarkHeard(hostPeer_);
            OpenThrottle(hostPeer_);
            std::vector<std::uint8_t> request{kJoinRequest};
            PutI32(request, kProtocolVersion);
            PutText(request, joinLocal_.longName, kLongField);
            PutText(request, joinLocal_.shortName, kShortField);
            if (auto known = tokens_.find(joinKey_); known != tokens_.end()) PutU64(request, known->second);
            SendFrame(hostPeer_, request, true);
            enet_host_flush(host_);
            joining_ = Joining::Welcoming;
            joinSince_ = enet_time_get();
            continue;
        }
        if (event.type == ENET_EVENT_TYPE_DISCONNECT) {
            // Let go before a word: a port where no game listens.
            const bool answered = joining_ == Joining::Welcoming;
            hostPeer_ = nullptr;
            Abandon();
            return answered ? kTransportRefused : kTransportTimedOut;
        }
        if (event.type != ENET_EVENT_TYPE_RECEIVE) continue;
        const std::uint8_t* data = event.packet->data;
        const std::size_t size = event.packet->dataLength;
        std::uint32_t refusal = kTransportOk;
        bool welcomed = false;
        if (size > kLargestFrame) {
            // dropped unread
        } else if (size >= 5 && data[0] == kRefused) {
            refusal = static_cast<std::uint32_t>(GetI32(data + 1));
            if (refusal == kTransportOk) refusal = kTransportRefused;
        } else if (size >= 6 && data[0] == kWelcome) {
            const std::size_t count = data[5];
            if (size >= 6 + count * kPlayerField) {
                localId_ = localId = GetI32(data + 1);
                players.clear();
                for (std::size_t i = 0; i < count; ++i) players.push_back(GetPlayer(data + 6 + i * kPlayerField));
                if (size >= 6 + count * kPlayerField + kTokenSize)
                    tokens_[joinKey_] = GetU64(data + 6 + count * kPlayerField);
                welcomed = true;
            }
        } else {
            JoinerReceive(data, size, pending_);
        }
        enet_packet_destroy(event.packet);
        if (refusal != kTransportOk) {
            Abandon();
            return refusal;
        }
        if (welcomed) {
            joining_ = Joining::No;
            return kTransportOk;
        }
    }
    if (TimeSince(enet_time_get(), joinSince_) >= kConnectWaitMs) {
        Abandon();
        return kTransportTimedOut;
    }
    return kTransportPending;
}

std::uint32_t EnetTransport::JoinSession(std::int32_t sessionId, const PlayerEntry& local, std::int32_t& localId,
                                         std::vector<PlayerEntry>& players) {
    if (std::uint32_t code = BeginJoin(sessionId, local)) return code;
    for (;;) {
        const std::uint32_t code = JoinProgress(localId, players);
        if (code != kTransportPending) return code;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void EnetTransport::Abandon() {
    if (!host_) return;
    // One goodbye, not waited for: nothing of this connection is kept.
    if (hostPeer_ && hostPeer_->state == ENET_PEER_STATE_CONNECTED) enet_peer_disconnect_now(hostPeer_, kQuitData);
    Hosts().erase(host_);
    enet_host_destroy(host_);
    host_ = nullptr;
    hostPeer_ = nullptr;
    bridge6_.reset();
    mapping_.reset();
    players_.clear();
    unjoined_.clear();
    wasSilent_.clear();
    reportedSilence_.clear();
    pending_.clear();
    hosting_ = false;
    open_ = false;
    joining_ = Joining::No;
}

void EnetTransport::SendFrame(ENetPeer* peer, const std::vector<std::uint8_t>& frame, bool reliable) {
    ENetPacket* packet = enet_packet_create(frame.data(), frame.size(), reliable ? ENET_PACKET_FLAG_RELIABLE : 0);
    if (enet_peer_send(peer, reliable ? kReliableChannel : kUnreliableChannel, packet) < 0) enet_packet_destroy(packet);
}

void EnetTransport::Send(std::int32_t to, std::span<const std::uint8_t> bytes, bool reliable) {
    OnGameClock();
    if (!host_) return;
    std::vector<std::uint8_t> frame{kMessage};
    PutI32(frame, localId_);
    PutI32(frame, to);
    frame.insert(frame.end(), bytes.begin(), bytes.end());
    if (hosting_) {
        for (RemotePlayer& p : players_)
            if (to == kAllPlayers || to == p.entry.id) SendFrame(p.peer, frame, reliable);
    } else if (hostPeer_ && to != localId_) {
        SendFrame(hostPeer_, frame, reliable);
    }
    enet_host_flush(host_);
}

void EnetTransport::Forward(std::int32_t from, std::span<const std::uint8_t> bytes, bool reliable) {
    OnGameClock();
    if (!host_ || !hosting_) return;
    std::vector<std::uint8_t> frame{kMessage};
    PutI32(frame, from);
    PutI32(frame, kAllPlayers);
    frame.insert(frame.end(), bytes.begin(), bytes.end());
    for (RemotePlayer& p : players_)
        if (p.entry.id != from) SendFrame(p.peer, frame, reliable);
    enet_host_flush(host_);
}

RemotePlayer* EnetTransport::PlayerOf(ENetPeer* peer) {
    for (RemotePlayer& p : players_)
        if (p.peer == peer) return &p;
    return nullptr;
}

void EnetTransport::CloseSession() {
    if (!open_) return;
    open_ = false;
    placed_.clear();
    for (const RemotePlayer& p : players_) placed_.push_back(PlacedPlayer{p.entry, p.token});
}

void EnetTransport::Refuse(ENetPeer* peer, std::uint32_t code) {
    std::vector<std::uint8_t> refusal{kRefused};
    PutI32(refusal, static_cast<std::int32_t>(code));
    SendFrame(peer, refusal, true);
    enet_peer_disconnect_later(peer, 0);
}

void EnetTransport::DropPeer(ENetPeer* peer, bool lost, std::vector<TransportEvent>& events) {
    unjoined_.erase(peer);
    auto it = std::find_if(players_.begin(), players_.end(), [&](const RemotePlayer& p) { return p.peer == peer; });
    if (it == players_.end()) return;
    const PlayerEntry gone = it->entry;
    const std::uint64_t token = it->token;
    players_.erase(it);
    if (!open_ && std::any_of(placed_.begin(), placed_.end(), [&](const PlacedPlayer& p) { return p.token == token; }))
        rejoinable_.push_back(PlacedPlayer{gone, token});
    std::vector<std::uint8_t> left{kLeft};
    PutI32(left, gone.id);
    left.push_back(lost ? 1 : 0);
    for (RemotePlayer& p : players_) SendFrame(p.peer, left, true);
    TransportEvent event{TransportEvent::Kind::PlayerLeft, gone, {}};
    event.lost = lost;
    events.push_back(event);
}

std::int32_t EnetTransport::SilenceMs(std::int32_t id) {
    OnGameClock();
    if (!host_) return 0;
    if (hosting_) {
        for (const RemotePlayer& p : players_)
            if (p.entry.id == id) return SilentFor(p.peer);
        return 0;
    }
    if (!hostPeer_) return 0;
    if (id == kHostId) return SilentFor(hostPeer_);
    auto it = reportedSilence_.find(id);
    return it == reportedSilence_.end() ? 0 : it->second;
}

LinkStats StatsOf(const ENetPeer* peer) {
    LinkStats link;
    link.roundTripMs = static_cast<std::int32_t>(std::min<enet_uint32>(peer->roundTripTime, 60000));
    // ENet folds its loss count into the mean every ten seconds; until then
    // the count so far says more.
    enet_uint32 loss = peer->packetLoss;
    if (peer->packetsSent >= 8) loss = std::max<enet_uint32>(loss, peer->packetsLost * ENET_PEER_PACKET_LOSS_SCALE / peer->packetsSent);
    link.lossPercent = static_cast<std::int32_t>(std::min<enet_uint32>(100, loss * 100 / ENET_PEER_PACKET_LOSS_SCALE));
    return link;
}

LinkStats EnetTransport::Link(std::int32_t id) {
    OnGameClock();
    if (!host_) return {};
    if (hosting_) {
        for (const RemotePlayer& p : players_)
            if (p.entry.id == id) return StatsOf(p.peer);
        return {};
    }
    return hostPeer_ && id == kHostId ? StatsOf(hostPeer_) : LinkStats{};
}

void EnetTransport::TendResends() {
    std::vector<ENetPeer*> peers;
    if (hosting_)
        for (const RemotePlayer& p : players_) peers.push_back(p.peer);
    else if (hostPeer_)
        peers.push_back(hostPeer_);
    std::map<ENetPeer*, bool> silent;
    for (ENetPeer* peer : peers) {
        silent[peer] = SilentFor(peer) > kSilentWarningMs;
        const auto before = wasSilent_.find(peer);
        HoldResendWaits(peer, before != wasSilent_.end() && before->second && !silent[peer]);
    }
    wasSilent_ = std::move(silent);
}

// Joiners hear only the host: it tells them twice a second how long each
// of the others has been silent.
void EnetTransport::ReportSilence() {
    const enet_uint32 now = enet_time_get();
    if (players_.empty() || TimeSince(now, lastSilenceReport_) < static_cast<enet_uint32>(kSilenceReportMs))
        return;
    lastSilenceReport_ = now;
    std::vector<std::uint8_t> frame{kSilence, static_cast<std::uint8_t>(std::min<std::size_t>(players_.size(), 32))};
    for (std::size_t i = 0; i < players_.size() && i < 32; ++i) {
        PutI32(frame, players_[i].entry.id);
        PutI32(frame, SilentFor(players_[i].peer));
    }
    for (RemotePlayer& p : players_) SendFrame(p.peer, frame, false);
}

void EnetTransport::SendBeat() {
    const enet_uint32 now = enet_time_get();
    if (!hostPeer_ || hostPeer_->state != ENET_PEER_STATE_CONNECTED ||
        TimeSince(now, lastSilenceReport_) < static_cast<enet_uint32>(kSilenceReportMs))
        return;
    lastSilenceReport_ = now;
    SendFrame(hostPeer_, std::vector<std::uint8_t>{kBeat}, false);
}

void EnetTransport::DropSilentPeers(std::vector<TransportEvent>& events) {
    const enet_uint32 now = enet_time_get();
    if (hosting_) {
        for (auto it = unjoined_.begin(); it != unjoined_.end();) {
            if (TimeSince(now, it->second) < kJoinRequestWaitMs) {
                ++it;
                continue;
            }
            enet_peer_disconnect_now(it->first, 0);
            it = unjoined_.erase(it);
        }
        std::vector<ENetPeer*> silent;
        for (const RemotePlayer& p : players_)
            if (SilentFor(p.peer) >= kSilentDropMs) silent.push_back(p.peer);
        for (ENetPeer* peer : silent) {
            enet_peer_disconnect_now(peer, 0);
            DropPeer(peer, true, events);
        }
    } else if (hostPeer_ && hostPeer_->state == ENET_PEER_STATE_CONNECTED && SilentFor(hostPeer_) >= kSilentDropMs) {
        enet_peer_reset(hostPeer_);
        hostPeer_ = nullptr;
        TransportEvent event{TransportEvent::Kind::PlayerLeft, PlayerEntry{kHostId, {}, {}}, {}};
        event.lost = true;
        events.push_back(event);
    }
}

void EnetTransport::HostReceive(ENetPeer* peer, const std::uint8_t* data, std::size_t size,
                                std::vector<TransportEvent>& events) {
    if (size < 1 || size > kLargestFrame) return;
    RemotePlayer* sender = PlayerOf(peer);
    if (data[0] == kJoinRequest && !sender) {
        if (unjoined_.erase(peer) == 0) return;  // already refused
        // Another build's request has another size or version.
        if ((size != kJoinRequestSize && size != kJoinRequestSize + kTokenSize) || GetI32(data + 1) != kProtocolVersion)
            return Refuse(peer, kTransportWrongVersion);
        PlayerEntry joined{nextId_, GetText(data + 5, kLongField), GetText(data + 5 + kLongField, kShortField)};
        const std::uint64_t token = size == kJoinRequestSize + kTokenSize ? GetU64(data + kJoinRequestSize) : 0;
        // A place belongs to its player: only its token takes it back, and a
        // nickname alone never does.
        auto again = std::find_if(rejoinable_.begin(), rejoinable_.end(),
                                  [&](const PlacedPlayer& p) { return token != 0 && p.token == token; });
        if (!open_ && again == rejoinable_.end()) {
            const bool named = std::any_of(placed_.begin(), placed_.end(),
                                           [&](const PlacedPlayer& p) { return p.entry.longName == joined.longName; });
            return Refuse(peer, named || joined.longName == hostLong_ ? kTransportNameInUse : kTransportGameStarted);
        }
        if (open_ && (joined.longName == hostLong_ ||
                      std::any_of(players_.begin(), players_.end(),
                                  [&](const RemotePlayer& p) { return p.entry.longName == joined.longName; })))
            return Refuse(peer, kTransportNameInUse);
        if (1 + players_.size() >= std::min<std::size_t>(static_cast<std::size_t>(std::max(1, maxPlayers_)), kMostWelcomed + 1))
            return Refuse(peer, kTransportSessionFull);
        std::uint64_t given = NewToken();
        if (!open_) {
            // Back under the names it had, whatever it calls itself now: the
            // others know it by them.
            joined.longName = again->entry.longName;
            joined.shortName = again->entry.shortName;
            given = again->token;
            rejoinable_.erase(again);
        }
        ++nextId_;
        std::vector<std::uint8_t> welcome{kWelcome};
        PutI32(welcome, joined.id);
        welcome.push_back(static_cast<std::uint8_t>(1 + players_.size()));
        PutPlayer(welcome, PlayerEntry{localId_, hostLong_, hostShort_});
        for (const RemotePlayer& p : players_) PutPlayer(welcome, p.entry);
        PutU64(welcome, given);
        SendFrame(peer, welcome, true);
        std::vector<std::uint8_t> added{kAdded};
        PutPlayer(added, joined);
        for (RemotePlayer& p : players_) SendFrame(p.peer, added, true);
        players_.push_back(RemotePlayer{joined, peer, given});
        events.push_back(TransportEvent{TransportEvent::Kind::PlayerJoined, joined, {}});
        return;
    }
    if (data[0] != kMessage || !sender || size < 9) return;
    // The sender is who the connection says, whatever the block claims.  The
    // host's game checks the message and passes on (Forward) what it accepts:
    // nothing goes from one joiner to another unchecked.
    const std::int32_t to = GetI32(data + 5);
    const std::int32_t from = sender->entry.id;
    if (to == kAllPlayers || to == localId_)
        events.push_back(TransportEvent{TransportEvent::Kind::Message, PlayerEntry{from, {}, {}},
                                        std::vector<std::uint8_t>(data + 9, data + size)});
}

void EnetTransport::JoinerReceive(const std::uint8_t* data, std::size_t size, std::vector<TransportEvent>& events) {
    if (size < 1 || size > kLargestFrame) return;
    if (data[0] == kAdded && size >= 1 + kPlayerField) {
        events.push_back(TransportEvent{TransportEvent::Kind::PlayerJoined, GetPlayer(data + 1), {}});
    } else if (data[0] == kLeft && size >= 5) {
        TransportEvent left{TransportEvent::Kind::PlayerLeft, PlayerEntry{GetI32(data + 1), {}, {}}, {}};
        left.lost = size >= 6 && data[5] != 0;
        reportedSilence_.erase(left.player.id);
        events.push_back(left);
    } else if (data[0] == kSilence && size >= 2 && size >= 2 + data[1] * std::size_t{8}) {
        for (std::size_t i = 0; i < data[1]; ++i)
            reportedSilence_[GetI32(data + 2 + 8 * i)] = std::max(0, GetI32(data + 6 + 8 * i));
    } else if (data[0] == kMessage && size >= 9) {
        events.push_back(TransportEvent{TransportEvent::Kind::Message, PlayerEntry{GetI32(data + 1), {}, {}},
                                        std::vector<std::uint8_t>(data + 9, data + size)});
    }
}

void EnetTransport::Poll(std::vector<TransportEvent>& events) {
    OnGameClock();
    if (joining_ != Joining::No) return;  // JoinProgress takes what arrives until the welcome
    events.insert(events.end(), pending_.begin(), pending_.end());
    pending_.clear();
    if (!host_) return;
    ENetEvent event;
    // A bounded number per frame, so a flood cannot hold the frame.
    for (int n = 0; n < 4096 && enet_host_service(host_, &event, 0) > 0; ++n) {
        switch (event.type) {
            case ENET_EVENT_TYPE_CONNECT:
                MarkHeard(event.peer);
                if (hosting_) {
                    // Bare connections from one address are few: beyond
                    // that they are let go at once.
                    const std::size_t sameAddress = static_cast<std::size_t>(
                        std::count_if(unjoined_.begin(), unjoined_.end(), [&](const auto& u) {
                            return u.first->address.host == event.peer->address.host;
                        }));
                    if (sameAddress >= kMostUnjoinedPerAddress) {
                        enet_peer_disconnect_now(event.peer, 0);
                        break;
                    }
                    SetPeerTiming(event.peer);
                    OpenThrottle(event.peer);
                    unjoined_[event.peer] = enet_time_get();
                }
                break;
            case ENET_EVENT_TYPE_RECEIVE:
                MarkHeard(event.peer);
                if (hosting_)
                    HostReceive(event.peer, event.packet->data, event.packet->dataLength, events);
                else
                    JoinerReceive(event.packet->data, event.packet->dataLength, events);
                enet_packet_destroy(event.packet);
                break;
            case ENET_EVENT_TYPE_DISCONNECT:
                if (hosting_) {
                    DropPeer(event.peer, event.data != kQuitData, events);
                } else if (event.peer == hostPeer_) {
                    hostPeer_ = nullptr;
                    TransportEvent left{TransportEvent::Kind::PlayerLeft, PlayerEntry{kHostId, {}, {}}, {}};
                    left.lost = event.data != kQuitData;
                    events.push_back(left);
                }
                break;
            default: break;
        }
        if (!hosting_ && !hostPeer_) break;
    }
    if (hosting_) ReportSilence();
    else SendBeat();
    DropSilentPeers(events);
    TendResends();
    // Without its host a joined transport holds nothing: close it, so the
    // player can create or join another game.
    if (!hosting_ && !hostPeer_) Shutdown();
}

void EnetTransport::Shutdown() {
    if (!host_) return;
    if (joining_ != Joining::No) return Abandon();
    // Say goodbye, so the others see this player leave at once rather than
    // after the connection times out.  The goodbye waits until what was sent
    // last has been received: a receiver that got both at once would drop
    // the message for the goodbye.  A bounded wait, long enough for a few
    // resends: on a link that loses datagrams a goodbye sent once is easily
    // lost, and the others would then wait out the silence and report a lost
    // connection instead of a player who quit.
    int connected = 0;
    for (RemotePlayer& p : players_) {
        enet_peer_disconnect_later(p.peer, kQuitData);
        ++connected;
    }
    if (hostPeer_) {
        enet_peer_disconnect_later(hostPeer_, kQuitData);
        ++connected;
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kGoodbyeWaitMs);
    ENetEvent event;
    while (connected > 0 && std::chrono::steady_clock::now() < end) {
        const int got = enet_host_service(host_, &event, 10);
        if (got < 0) break;
        if (got == 0) continue;
        if (event.type == ENET_EVENT_TYPE_DISCONNECT) --connected;
        if (event.type == ENET_EVENT_TYPE_RECEIVE) enet_packet_destroy(event.packet);
    }
    Hosts().erase(host_);
    enet_host_destroy(host_);
    host_ = nullptr;
    hostPeer_ = nullptr;
    bridge6_.reset();
    mapping_.reset();
    players_.clear();
    unjoined_.clear();
    wasSilent_.clear();
    reportedSilence_.clear();
    hosting_ = false;
    open_ = false;
}

}  // namespace

std::unique_ptr<NetTransport> MakeEnetTransport(const NetworkSettings& settings, bool gameClock) {
    return std::make_unique<EnetTransport>(settings, gameClock);
}

}  // namespace zq
