// The ENet transport on this machine only: a session found by a search sent
// to the loopback broadcast address, joins, messages forwarded by the host,
// and leaves.  Every socket talks to 127.0.0.0/8 and every wait is bounded.
#include "platform/enet_transport.h"

#include <enet/enet.h>
#include <gtest/gtest.h>

#include "platform/lan_discovery.h"
#include "net/free_port.h"
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

namespace zq {
namespace {


NetworkSettings Settings(int port, const char* bind) {
    NetworkSettings s;
    s.port = port;
    s.bindAddress = bind;
    s.broadcastAddress = "127.255.255.255";
    return s;
}

// Polls every transport until `done` holds or five seconds pass (the
// machine may be busy with other tests).
bool PollUntil(std::initializer_list<std::pair<NetTransport*, std::vector<TransportEvent>*>> ends,
               const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < end) {
        for (auto& [t, events] : ends) t->Poll(*events);
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

std::vector<std::uint8_t> Block(std::uint8_t fill) { return std::vector<std::uint8_t>(260, fill); }

// Polls every transport for the whole of `span`, as the games' frame loops
// would while nothing is asked of them.
void PollFor(std::initializer_list<std::pair<NetTransport*, std::vector<TransportEvent>*>> ends,
             std::chrono::milliseconds span) {
    for (const auto end = std::chrono::steady_clock::now() + span; std::chrono::steady_clock::now() < end;) {
        for (auto& [t, events] : ends) t->Poll(*events);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// Runs `call` (a search or a join, both of which wait for the host's answer)
// while a second thread keeps the other ends polling for `rounds` of 5 ms.
template <class Call>
auto WhileServing(std::initializer_list<std::pair<NetTransport*, std::vector<TransportEvent>*>> ends, int rounds,
                  Call call) {
    std::thread serve([&] {
        for (int i = 0; i < rounds; ++i) {
            for (auto& [t, events] : ends) t->Poll(*events);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    auto result = call();
    serve.join();
    return result;
}

// Ann hosts a lobby; Bob finds it by the address his settings name and joins.
struct AnnAndBob {
    std::unique_ptr<NetTransport> host, bob;
    std::int32_t hostId = 0, bobId = 0;
    std::vector<TransportEvent> hostEvents, bobEvents;

    void Start(const NetworkSettings& annSettings, const NetworkSettings& bobSettings) {
        host = MakeEnetTransport(annSettings);
        bob = MakeEnetTransport(bobSettings);
        ASSERT_EQ(host->OpenProvider(kUdpProvider), kTransportOk);
        ASSERT_EQ(bob->OpenProvider(kUdpProvider), kTransportOk);
        ASSERT_EQ(host->CreateSession("Zorvo Quib - Ann", 4, PlayerEntry{0, "Ann", "Ann"}, hostId), kTransportOk);
        std::vector<SessionEntry> sessions;
        std::vector<PlayerEntry> already;
        ASSERT_EQ(WhileServing({{host.get(), &hostEvents}}, 300,
                               [&] {
                                   if (bob->FindSessions(300, sessions) != kTransportOk || sessions.size() != 1)
                                       return std::uint32_t{kTransportNoSession};
                                   EXPECT_FALSE(sessions[0].inPlay);
                                   return bob->JoinSession(sessions[0].id, PlayerEntry{0, "Bob", "Bob"}, bobId,
                                                           already);
                               }),
                  kTransportOk);
    }
};

TEST(NetEnetTransport, FoundByLoopbackBroadcastJoinedAndForwardedThroughTheHost) {
    const int port = test::FreeUdpPort();
    // A socket bound to 127.0.0.1 never hears a broadcast: the host listens on
    // every address, as the game does by default.
    auto host = MakeEnetTransport(Settings(port, "0.0.0.0"));
    ASSERT_EQ(host->OpenProvider(kUdpProvider), kTransportOk);
    std::int32_t hostId = 0;
    ASSERT_EQ(host->CreateSession("Zorvo Quib - Ann", 3, PlayerEntry{0, "Ann", "Ann"}, hostId), kTransportOk);

    auto bob = MakeEnetTransport(Settings(port, "0.0.0.0"));
    ASSERT_EQ(bob->OpenProvider(kUdpProvider), kTransportOk);
    std::vector<SessionEntry> sessions;
    std::vector<TransportEvent> hostEvents, bobEvents, cidEvents;
    // The host answers the search from its own frame loop.
    ASSERT_EQ(WhileServing({{host.get(), &hostEvents}}, 100, [&] { return bob->FindSessions(400, sessions); }),
              kTransportOk);
    ASSERT_EQ(sessions.size(), 1u);
    EXPECT_EQ(sessions[0].name, "Zorvo Quib - Ann");
    EXPECT_EQ(sessions[0].players, 1);

    // Joining waits for the host's welcome, so the host must keep polling.
    std::int32_t bobId = 0;
    std::vector<PlayerEntry> already;
    std::thread serve([&] {
        for (int i = 0; i < 200 && hostEvents.empty(); ++i) {
            host->Poll(hostEvents);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    ASSERT_EQ(bob->JoinSession(sessions[0].id, PlayerEntry{0, "Bob", "Bob"}, bobId, already), kTransportOk);
    serve.join();
    ASSERT_EQ(already.size(), 1u);
    EXPECT_EQ(already[0].longName, "Ann");
    EXPECT_EQ(already[0].id, hostId);
    ASSERT_EQ(hostEvents.size(), 1u);
    EXPECT_EQ(hostEvents[0].kind, TransportEvent::Kind::PlayerJoined);
    EXPECT_EQ(hostEvents[0].player.shortName, "Bob");
    hostEvents.clear();

    // A third player, asked for by address instead of broadcast.
    NetworkSettings direct = Settings(port, "0.0.0.0");
    direct.broadcast = false;
    direct.hosts = {"127.0.0.1:" + std::to_string(port)};
    auto cid = MakeEnetTransport(direct);
    ASSERT_EQ(cid->OpenProvider(kUdpProvider), kTransportOk);
    sessions.clear();
    std::int32_t cidId = 0;
    already.clear();
    EXPECT_EQ(WhileServing({{host.get(), &hostEvents}, {bob.get(), &bobEvents}}, 300,
                           [&] {
                               if (cid->FindSessions(300, sessions) != kTransportOk || sessions.size() != 1)
                                   return std::uint32_t{kTransportNoSession};
                               return cid->JoinSession(sessions[0].id, PlayerEntry{0, "Cid", "Cid"}, cidId, already);
                           }),
              kTransportOk);
    EXPECT_EQ(already.size(), 2u);
    ASSERT_TRUE(PollUntil({{bob.get(), &bobEvents}}, [&] { return !bobEvents.empty(); }));
    EXPECT_EQ(bobEvents[0].kind, TransportEvent::Kind::PlayerJoined);
    EXPECT_EQ(bobEvents[0].player.id, cidId);
    bobEvents.clear();
    hostEvents.clear();

    // Bob to everybody reaches the host alone; what the host forwards
    // reaches Cid as Bob's.  Cid to Bob directly reaches nobody: the host
    // passes on only what it accepted.  (Reliable: an unreliable block may
    // be lost by design.)
    const auto all = Block(7);
    bob->Send(kAllPlayers, all, true);
    const auto one = Block(9);
    cid->Send(bobId, one, true);
    ASSERT_TRUE(PollUntil({{host.get(), &hostEvents}, {bob.get(), &bobEvents}, {cid.get(), &cidEvents}},
                          [&] { return !hostEvents.empty(); }));
    EXPECT_EQ(hostEvents[0].player.id, bobId);
    EXPECT_EQ(hostEvents[0].bytes, all);
    host->Forward(bobId, all, true);
    ASSERT_TRUE(PollUntil({{host.get(), &hostEvents}, {bob.get(), &bobEvents}, {cid.get(), &cidEvents}},
                          [&] { return !cidEvents.empty(); }));
    EXPECT_EQ(cidEvents[0].player.id, bobId);
    EXPECT_EQ(cidEvents[0].bytes, all);
    EXPECT_TRUE(bobEvents.empty()) << "a block went from one joiner to another unchecked, or back to its sender";
    EXPECT_EQ(hostEvents.size(), 1u) << "a block for Bob only reached the host";

    // Once closed, the session is found marked as in play and a new player
    // is refused as coming too late.
    host->CloseSession();
    auto dee = MakeEnetTransport(direct);
    ASSERT_EQ(dee->OpenProvider(kUdpProvider), kTransportOk);
    sessions.clear();
    EXPECT_EQ(WhileServing({{host.get(), &hostEvents}}, 60, [&] { return dee->FindSessions(200, sessions); }),
              kTransportOk);
    ASSERT_EQ(sessions.size(), 1u);
    EXPECT_TRUE(sessions[0].inPlay);
    std::int32_t deeId = 0;
    std::vector<PlayerEntry> deeSees;
    EXPECT_EQ(WhileServing({{host.get(), &hostEvents}}, 200,
                           [&] { return dee->JoinSession(sessions[0].id, PlayerEntry{0, "Dee", "Dee"}, deeId, deeSees); }),
              kTransportGameStarted);

    // Cid leaves: the host and Bob hear of it.
    hostEvents.clear();
    bobEvents.clear();
    cid.reset();
    ASSERT_TRUE(PollUntil({{host.get(), &hostEvents}, {bob.get(), &bobEvents}},
                          [&] { return !hostEvents.empty() && !bobEvents.empty(); }));
    EXPECT_EQ(hostEvents[0].kind, TransportEvent::Kind::PlayerLeft);
    EXPECT_EQ(hostEvents[0].player.id, cidId);
    EXPECT_EQ(bobEvents[0].kind, TransportEvent::Kind::PlayerLeft);
    EXPECT_EQ(bobEvents[0].player.id, cidId);
}

TEST(NetEnetTransport, AJoinerWhoseHostLeftCanHostAtOnceAndAQuitIsNotALostConnection) {
    const int port = test::FreeUdpPort();
    NetworkSettings direct = Settings(port, "127.0.0.1");
    direct.broadcast = false;
    direct.hosts = {"127.0.0.1:" + std::to_string(port)};
    AnnAndBob game;
    ASSERT_NO_FATAL_FAILURE(game.Start(direct, direct));
    auto& [host, bob, hostId, bobId, hostEvents, bobEvents] = game;
    // A working link is never a second silent, even with nothing to say.
    PollFor({{bob.get(), &bobEvents}, {host.get(), &hostEvents}}, std::chrono::milliseconds(1500));
    EXPECT_LT(bob->SilenceMs(hostId), kSilentWarningMs);
    EXPECT_LT(host->SilenceMs(bobId), kSilentWarningMs);

    // Ann quits the lobby: Bob hears a goodbye, not a lost connection, and
    // can host a game of his own on the same port straight away.
    host.reset();
    ASSERT_TRUE(PollUntil({{bob.get(), &bobEvents}}, [&] {
        for (const auto& e : bobEvents)
            if (e.kind == TransportEvent::Kind::PlayerLeft) return true;
        return false;
    }));
    for (const auto& e : bobEvents)
        if (e.kind == TransportEvent::Kind::PlayerLeft) {
            EXPECT_EQ(e.player.id, hostId);
            EXPECT_FALSE(e.lost);
        }
    std::int32_t again = 0;
    EXPECT_EQ(bob->CreateSession("Zorvo Quib - Bob", 4, PlayerEntry{0, "Bob", "Bob"}, again), kTransportOk);
}

// ENet speaks IPv4 only: an IPv6 player reaches the host through the
// bridges on both ends (::1 here), and must get everything an IPv4 one gets.
TEST(NetEnetTransport, AnIpv6PlayerFindsJoinsPlaysAndLeavesThroughTheBridges) {
    const int port = test::FreeUdpPort();
    const std::string v6 = "[::1]:" + std::to_string(port);
    // A host bound to 127.0.0.1 listens on ::1 as well.
    NetworkSettings ann = Settings(port, "127.0.0.1");
    NetworkSettings bobSettings = ann;
    bobSettings.broadcast = false;
    bobSettings.hosts = {v6};
    {
        auto probe = MakeEnetTransport(ann);
        std::int32_t id = 0;
        ASSERT_EQ(probe->OpenProvider(kUdpProvider), kTransportOk);
        ASSERT_EQ(probe->CreateSession("probe", 2, PlayerEntry{0, "P", "P"}, id), kTransportOk);
        const auto addresses = probe->HostAddresses();
        if (std::find(addresses.begin(), addresses.end(), v6) == addresses.end())
            GTEST_SKIP() << "this machine cannot listen on ::1 (no IPv6 loopback), so no IPv6 game can be tried";
    }
    AnnAndBob game;
    ASSERT_NO_FATAL_FAILURE(game.Start(ann, bobSettings));
    auto& [host, bob, hostId, bobId, hostEvents, bobEvents] = game;
    const auto addresses = host->HostAddresses();
    EXPECT_NE(std::find(addresses.begin(), addresses.end(), v6), addresses.end()) << "the lobby would not show " << v6;
    ASSERT_TRUE(PollUntil({{host.get(), &hostEvents}}, [&] { return !hostEvents.empty(); }));
    EXPECT_EQ(hostEvents[0].kind, TransportEvent::Kind::PlayerJoined);
    hostEvents.clear();

    // Blocks both ways, reliable and not, arrive whole.
    const auto up = Block(3), down = Block(4);
    bob->Send(kAllPlayers, up, true);
    host->Send(bobId, down, false);
    ASSERT_TRUE(PollUntil({{host.get(), &hostEvents}, {bob.get(), &bobEvents}},
                          [&] { return !hostEvents.empty() && !bobEvents.empty(); }));
    EXPECT_EQ(hostEvents[0].bytes, up);
    EXPECT_EQ(hostEvents[0].player.id, bobId);
    EXPECT_EQ(bobEvents[0].bytes, down);
    // ENet's keep-alives cross the bridges too: a quiet link is not silent.
    PollFor({{bob.get(), &bobEvents}, {host.get(), &hostEvents}}, std::chrono::milliseconds(1200));
    EXPECT_LT(bob->SilenceMs(hostId), kSilentWarningMs);
    EXPECT_LT(host->SilenceMs(bobId), kSilentWarningMs);

    // Bob quits: the host hears a goodbye through the bridge, not a timeout.
    hostEvents.clear();
    bob.reset();
    ASSERT_TRUE(PollUntil({{host.get(), &hostEvents}}, [&] { return !hostEvents.empty(); }));
    EXPECT_EQ(hostEvents[0].kind, TransportEvent::Kind::PlayerLeft);
    EXPECT_FALSE(hostEvents[0].lost);

    // A typed address in brackets is asked the same way; a bracket left open is no address.
    auto cid = MakeEnetTransport(ann);
    ASSERT_EQ(cid->OpenProvider(kUdpProvider), kTransportOk);
    EXPECT_EQ(cid->AskHost("[::1"), kTransportNoSession);
    ASSERT_EQ(cid->AskHost(v6), kTransportOk);
    std::vector<SessionEntry> sessions;
    std::vector<TransportEvent> cidEvents;
    ASSERT_TRUE(PollUntil({{host.get(), &hostEvents}}, [&] {
        return cid->FindSessions(0, sessions) == kTransportOk && !sessions.empty();
    }));
    EXPECT_EQ(sessions[0].address, v6);
}

// A bare ENet connection, as a stranger's program would make, to poke at the
// host's end without this program's joining rules.
class RawPeer {
public:
    // `from`: the loopback address it connects from (127.0.0.1 when null).
    explicit RawPeer(int port, const char* from = nullptr) {
        ENetAddress local{};
        if (from) enet_address_set_host_ip(&local, from);
        host_ = enet_host_create(from ? &local : nullptr, 1, 2, 0, 0);
        ENetAddress to{};
        enet_address_set_host_ip(&to, "127.0.0.1");
        to.port = static_cast<enet_uint16>(port);
        if (host_) peer_ = enet_host_connect(host_, &to, 2, 0);
    }
    ~RawPeer() {
        if (host_) enet_host_destroy(host_);
    }
    void Send(const std::vector<std::uint8_t>& frame) {
        enet_peer_send(peer_, 0, enet_packet_create(frame.data(), frame.size(), ENET_PACKET_FLAG_RELIABLE));
        enet_host_flush(host_);
    }
    // Services the connection once; the kind of what happened, and the bytes received.
    ENetEventType Service(std::vector<std::uint8_t>& received) {
        ENetEvent event;
        if (!host_ || enet_host_service(host_, &event, 0) <= 0) return ENET_EVENT_TYPE_NONE;
        if (event.type == ENET_EVENT_TYPE_RECEIVE) {
            received.assign(event.packet->data, event.packet->data + event.packet->dataLength);
            enet_packet_destroy(event.packet);
        }
        return event.type;
    }

private:
    ENetHost* host_ = nullptr;
    ENetPeer* peer_ = nullptr;
};

std::vector<std::uint8_t> JoinRequest(std::int32_t version, const std::string& nick, bool withVersion) {
    std::vector<std::uint8_t> frame{'J'};
    if (withVersion)
        for (int i = 0; i < 4; ++i) frame.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(version) >> (8 * i)));
    for (std::size_t i = 0; i < 52; ++i) frame.push_back(i < nick.size() ? static_cast<std::uint8_t>(nick[i]) : 0);
    for (std::size_t i = 0; i < 20; ++i) frame.push_back(i < nick.size() ? static_cast<std::uint8_t>(nick[i]) : 0);
    return frame;
}

TEST(NetEnetTransport, StrangersOtherBuildsAndOversizedFramesAreTurnedAway) {
    const int port = test::FreeUdpPort();
    auto host = MakeEnetTransport(Settings(port, "127.0.0.1"));
    ASSERT_EQ(host->OpenProvider(kUdpProvider), kTransportOk);
    std::int32_t hostId = 0;
    ASSERT_EQ(host->CreateSession("Zorvo Quib - Ann", 4, PlayerEntry{0, "Ann", "Ann"}, hostId), kTransportOk);
    std::vector<TransportEvent> hostEvents;

    RawPeer older(port), newer(port), silent(port), mallory(port);
    std::vector<std::uint8_t> got;
    auto serve = [&](RawPeer& peer, ENetEventType want, std::chrono::milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            host->Poll(hostEvents);
            if (peer.Service(got) == want) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    };
    for (RawPeer* p : {&older, &newer, &silent, &mallory})
        ASSERT_TRUE(serve(*p, ENET_EVENT_TYPE_CONNECT, std::chrono::seconds(3)));

    // A build from before the version field, and one with another version.
    older.Send(JoinRequest(0, "Old", false));
    ASSERT_TRUE(serve(older, ENET_EVENT_TYPE_RECEIVE, std::chrono::seconds(3)));
    ASSERT_EQ(got.size(), 5u);
    EXPECT_EQ(got[0], 'R');
    EXPECT_EQ(got[1] | got[2] << 8 | got[3] << 16 | static_cast<std::uint32_t>(got[4]) << 24, kTransportWrongVersion);
    newer.Send(JoinRequest(kProtocolVersion + 1, "New", true));
    ASSERT_TRUE(serve(newer, ENET_EVENT_TYPE_RECEIVE, std::chrono::seconds(3)));
    EXPECT_EQ(got[0], 'R');
    EXPECT_EQ(got[1], kTransportWrongVersion & 0xff);

    // Mallory joins properly, then sends a block of the ordinary size and
    // one far beyond any message: the host hands on only the first.
    mallory.Send(JoinRequest(kProtocolVersion, "Mallory", true));
    ASSERT_TRUE(serve(mallory, ENET_EVENT_TYPE_RECEIVE, std::chrono::seconds(3)));
    EXPECT_EQ(got[0], 'W');
    std::vector<std::uint8_t> huge(64 * 1024, 0), fair(9 + 260, 3);
    huge[0] = fair[0] = 'M';
    for (auto* frame : {&huge, &fair}) std::fill(frame->begin() + 1, frame->begin() + 9, 0);
    mallory.Send(fair);
    mallory.Send(huge);
    EXPECT_FALSE(PollUntil({{host.get(), &hostEvents}}, [&] {
        int n = 0;
        for (const auto& e : hostEvents) n += e.kind == TransportEvent::Kind::Message ? 1 : 0;
        return n > 1;
    }));
    int messages = 0;
    for (const auto& e : hostEvents)
        if (e.kind == TransportEvent::Kind::Message) {
            ++messages;
            EXPECT_EQ(e.bytes.size(), 260u);
        }
    EXPECT_EQ(messages, 1);

    // The one that never asks to join is let go after two seconds.
    EXPECT_TRUE(serve(silent, ENET_EVENT_TYPE_DISCONNECT, std::chrono::seconds(4)));
    for (const auto& e : hostEvents) EXPECT_NE(e.player.longName, "Old");
}

std::uint32_t Refusal(const std::vector<std::uint8_t>& got) {
    return got.size() >= 5 && got[0] == 'R' ? static_cast<std::uint32_t>(got[1] | got[2] << 8 | got[3] << 16 | got[4] << 24) : 0;
}

// Five idle connections from one address neither keep Cid out nor last;
// a nickname alone never takes a place, in the lobby or in the running game;
// Bob's own program comes back into his place with the token it was given.
TEST(NetEnetTransport, IdleConnectionsKeepNobodyOutAndASlotBelongsToItsPlayer) {
    const int port = test::FreeUdpPort();
    NetworkSettings direct = Settings(port, "127.0.0.1");
    direct.broadcast = false;
    direct.hosts = {"127.0.0.1:" + std::to_string(port)};
    auto host = MakeEnetTransport(direct);
    ASSERT_EQ(host->OpenProvider(kUdpProvider), kTransportOk);
    std::int32_t hostId = 0;
    ASSERT_EQ(host->CreateSession("Zorvo Quib - Ann", 4, PlayerEntry{0, "Ann", "Ann"}, hostId), kTransportOk);
    std::vector<TransportEvent> hostEvents;

    // Five bare connections from one address, serviced like any program's.
    std::vector<std::unique_ptr<RawPeer>> idle;
    for (int i = 0; i < 5; ++i) idle.push_back(std::make_unique<RawPeer>(port, "127.0.0.2"));
    std::vector<std::uint8_t> got;
    std::vector<bool> connected(idle.size()), dropped(idle.size());
    auto serviceIdle = [&] {
        for (std::size_t i = 0; i < idle.size(); ++i)
            for (ENetEventType e; (e = idle[i]->Service(got)) != ENET_EVENT_TYPE_NONE;) {
                if (e == ENET_EVENT_TYPE_CONNECT) connected[i] = true;
                if (e == ENET_EVENT_TYPE_DISCONNECT) dropped[i] = true;
            }
    };
    for (int i = 0; i < 100; ++i) {
        host->Poll(hostEvents);
        serviceIdle();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(std::count(connected.begin(), connected.end(), true), 5);

    // Joining by name while they idle: Bob, then an impostor calling itself Bob.
    auto join = [&](NetTransport& who, const std::string& nick, std::int32_t& id) {
        std::vector<SessionEntry> sessions;
        std::vector<PlayerEntry> already;
        return WhileServing({{host.get(), &hostEvents}}, 300, [&] {
            if (who.FindSessions(300, sessions) != kTransportOk || sessions.size() != 1)
                return std::uint32_t{kTransportNoSession};
            return who.JoinSession(sessions[0].id, PlayerEntry{0, nick, nick}, id, already);
        });
    };
    auto bob = MakeEnetTransport(direct);
    auto impostor = MakeEnetTransport(direct);
    ASSERT_EQ(bob->OpenProvider(kUdpProvider), kTransportOk);
    ASSERT_EQ(impostor->OpenProvider(kUdpProvider), kTransportOk);
    std::int32_t bobId = 0, impostorId = 0;
    EXPECT_EQ(join(*bob, "Bob", bobId), kTransportOk);
    EXPECT_EQ(join(*impostor, "Bob", impostorId), kTransportNameInUse);

    // The idle ones are let go after two seconds (the fifth from their
    // address at once): none of them became a player.
    for (int i = 0; i < 600 && std::count(dropped.begin(), dropped.end(), true) < 5; ++i) {
        host->Poll(hostEvents);
        serviceIdle();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(std::count(dropped.begin(), dropped.end(), true), 5);
    for (const auto& e : hostEvents)
        if (e.kind == TransportEvent::Kind::PlayerJoined) {
            EXPECT_EQ(e.player.longName, "Bob");
        }

    // The game starts; Bob quits and comes back.  In between, the impostor
    // under his name and a stranger with a made-up token are turned away.
    host->CloseSession();
    bob->LeaveSession();
    ASSERT_TRUE(PollUntil({{host.get(), &hostEvents}}, [&] {
        for (const auto& e : hostEvents)
            if (e.kind == TransportEvent::Kind::PlayerLeft) return true;
        return false;
    }));
    EXPECT_EQ(join(*impostor, "Bob", impostorId), kTransportNameInUse);
    RawPeer forger(port);
    auto serveUntil = [&](ENetEventType want) {
        for (int i = 0; i < 600; ++i) {
            host->Poll(hostEvents);
            if (forger.Service(got) == want) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    };
    ASSERT_TRUE(serveUntil(ENET_EVENT_TYPE_CONNECT));
    auto forged = JoinRequest(kProtocolVersion, "Bob", true);
    for (int i = 0; i < 8; ++i) forged.push_back(static_cast<std::uint8_t>(0x5a + i));
    forger.Send(forged);
    ASSERT_TRUE(serveUntil(ENET_EVENT_TYPE_RECEIVE));
    EXPECT_EQ(Refusal(got), kTransportNameInUse);

    std::int32_t backId = 0;
    EXPECT_EQ(join(*bob, "Robert", backId), kTransportOk) << "Bob's token did not bring him back";
    bool back = false;
    for (const auto& e : hostEvents)
        if (e.kind == TransportEvent::Kind::PlayerJoined && e.player.id == backId) back = e.player.longName == "Bob";
    EXPECT_TRUE(back) << "back under his own name";
}

// A search answer never outweighs its query, so a query sent with a forged
// source address cannot turn the host into an amplifier; and no answer goes
// to a source that stands for a whole network.
TEST(NetEnetTransport, SearchAnswersAreNoLargerThanTheQueryAndNeverGoToANetwork) {
    const int port = test::FreeUdpPort();
    auto host = MakeEnetTransport(Settings(port, "127.0.0.1"));
    ASSERT_EQ(host->OpenProvider(kUdpProvider), kTransportOk);
    std::int32_t hostId = 0;
    ASSERT_EQ(host->CreateSession("Zorvo Quib - Ann", 4, PlayerEntry{0, "Ann", "Ann"}, hostId), kTransportOk);
    std::vector<TransportEvent> hostEvents;

    ENetSocket probe = enet_socket_create(ENET_SOCKET_TYPE_DATAGRAM);
    ASSERT_NE(probe, ENET_SOCKET_NULL);
    ENetAddress local{};
    enet_address_set_host_ip(&local, "127.0.0.1");
    ASSERT_EQ(enet_socket_bind(probe, &local), 0);
    enet_socket_set_option(probe, ENET_SOCKOPT_NONBLOCK, 1);
    ENetAddress to{};
    enet_address_set_host_ip(&to, "127.0.0.1");
    to.port = static_cast<enet_uint16>(port);
    // The size of the answer to `query`, 0 when none came within half a second.
    auto ask = [&](std::vector<std::uint8_t> query) {
        ENetBuffer out{query.data(), query.size()};
        enet_socket_send(probe, &to, &out, 1);
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
        while (std::chrono::steady_clock::now() < end) {
            host->Poll(hostEvents);
            std::uint8_t data[256];
            ENetBuffer in{data, sizeof data};
            ENetAddress from{};
            if (const int got = enet_socket_receive(probe, &from, &in, 1); got > 0) return static_cast<std::size_t>(got);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return std::size_t{0};
    };
    std::vector<std::uint8_t> bare(kSearchQuery, kSearchQuery + kSearchMagic);
    EXPECT_EQ(ask(bare), 0u);  // eight bytes would once draw 43
    std::vector<std::uint8_t> padded = bare;
    padded.resize(kSearchQuerySize, 0);
    const std::size_t answer = ask(padded);
    EXPECT_GT(answer, 0u);
    EXPECT_LE(answer, padded.size());
    enet_socket_destroy(probe);

    auto ip = [](const char* text) {
        ENetAddress a{};
        enet_address_set_host_ip(&a, text);
        return a.host;
    };
    const std::vector<std::uint32_t> broadcasts{ip("192.168.1.255")};
    EXPECT_TRUE(AnswerableSearchSource(ip("192.168.1.7"), broadcasts));
    EXPECT_TRUE(AnswerableSearchSource(ip("127.0.0.1"), broadcasts));
    for (const char* network : {"192.168.1.255", "255.255.255.255", "224.0.0.1", "239.255.255.250", "0.0.0.0"})
        EXPECT_FALSE(AnswerableSearchSource(ip(network), broadcasts)) << network;
}

}  // namespace
}  // namespace zq
