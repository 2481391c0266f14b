// The ENet transport on this machine only: a session found by a search sent
// to the loopback broadcast address, joins, messages forwarded by the host,
// and leaves.  Every socket talks to 127.0.0.0/8 and every wait is bounded.
#include "platform/enet_transport.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>

namespace zq {
namespace {

int TestPort(int offset) { return 30000 + static_cast<int>((getpid() * 7 + offset) % 30000); }

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

TEST(NetEnetTransport, FoundByLoopbackBroadcastJoinedAndForwardedThroughTheHost) {
    const int port = TestPort(0);
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
    std::thread answer([&] {
        for (int i = 0; i < 100; ++i) {
            host->Poll(hostEvents);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    ASSERT_EQ(bob->FindSessions(400, sessions), kTransportOk);
    answer.join();
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
    std::thread answer2([&] {
        for (int i = 0; i < 300; ++i) {
            host->Poll(hostEvents);
            bob->Poll(bobEvents);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    ASSERT_EQ(cid->FindSessions(300, sessions), kTransportOk);
    ASSERT_EQ(sessions.size(), 1u);
    std::int32_t cidId = 0;
    already.clear();
    EXPECT_EQ(cid->JoinSession(sessions[0].id, PlayerEntry{0, "Cid", "Cid"}, cidId, already), kTransportOk);
    answer2.join();
    EXPECT_EQ(already.size(), 2u);
    ASSERT_TRUE(PollUntil({{bob.get(), &bobEvents}}, [&] { return !bobEvents.empty(); }));
    EXPECT_EQ(bobEvents[0].kind, TransportEvent::Kind::PlayerJoined);
    EXPECT_EQ(bobEvents[0].player.id, cidId);
    bobEvents.clear();
    hostEvents.clear();

    // Bob to everybody reaches the host and, forwarded, Cid; Cid to Bob only
    // Bob.  (Both reliable: an unreliable block may be lost by design.)
    const auto all = Block(7);
    bob->Send(kAllPlayers, all, true);
    const auto one = Block(9);
    cid->Send(bobId, one, true);
    ASSERT_TRUE(PollUntil({{host.get(), &hostEvents}, {bob.get(), &bobEvents}, {cid.get(), &cidEvents}},
                          [&] { return !hostEvents.empty() && !cidEvents.empty() && !bobEvents.empty(); }));
    EXPECT_EQ(hostEvents[0].player.id, bobId);
    EXPECT_EQ(hostEvents[0].bytes, all);
    EXPECT_EQ(cidEvents[0].player.id, bobId);
    EXPECT_EQ(cidEvents[0].bytes, all);
    EXPECT_EQ(bobEvents[0].player.id, cidId);
    EXPECT_EQ(bobEvents[0].bytes, one);
    EXPECT_EQ(hostEvents.size(), 1u) << "a block for Bob only reached the host";

    // Once closed, the session is found marked as in play and a new player
    // is refused as coming too late.
    host->CloseSession();
    auto dee = MakeEnetTransport(direct);
    ASSERT_EQ(dee->OpenProvider(kUdpProvider), kTransportOk);
    sessions.clear();
    std::thread answer3([&] {
        for (int i = 0; i < 60; ++i) {
            host->Poll(hostEvents);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    EXPECT_EQ(dee->FindSessions(200, sessions), kTransportOk);
    answer3.join();
    ASSERT_EQ(sessions.size(), 1u);
    EXPECT_TRUE(sessions[0].inPlay);
    std::thread answer4([&] {
        for (int i = 0; i < 200; ++i) {
            host->Poll(hostEvents);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    std::int32_t deeId = 0;
    std::vector<PlayerEntry> deeSees;
    EXPECT_EQ(dee->JoinSession(sessions[0].id, PlayerEntry{0, "Dee", "Dee"}, deeId, deeSees), kTransportGameStarted);
    answer4.join();

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

}  // namespace
}  // namespace zq
