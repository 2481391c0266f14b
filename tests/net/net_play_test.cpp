// Network play between whole games in one process, joined by a fake session
// hub: the lobby, the start, the messages each machine applies, and what
// happens when players die, finish or leave.
#include "net/net_play.h"
#include "shell/game_over.h"
#include "shell/snapshot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "net/fake_transport.h"
#include "rules/hero.h"
#include "rules/mechanisms.h"
#include "held_keys.h"
#include "test_game.h"
#include "test_util.h"

namespace zq {
namespace {

using test::HeldKeys;

// One machine: its game and its end of the session.
struct Machine {
    Machine(test::FakeHub& hub, const test::TempDir& dir) : transport(hub), session(transport), net(session) {
        game = std::make_unique<Game>(test::HeadlessConfig(std::filesystem::path(ZQ_BUILD_DIR) / "data", dir.Path()), keys,
                                      audio, host);
        InitGame(*game);
        ResetFrameClock(game->shell, 0);
        AttachNetPlay(*game, net);
        OpenLobby(*game, net);
    }
    Actor& Local() { return game->actors.Local(); }
    World& world() { return *game->world; }
    // Puts a raw block in this machine's inbox as if `from` sent it.
    void Receive(std::int32_t from, std::span<const std::uint8_t> bytes) {
        transport.inbox.push_back(TransportEvent{TransportEvent::Kind::Message, PlayerEntry{from, {}, {}},
                                                 std::vector<std::uint8_t>(bytes.begin(), bytes.end())});
    }

    test::FakeTransport transport;
    NetSession session;
    NetPlay net;
    HeldKeys keys;
    SilentAudio audio;
    test::RecordingHost host;
    std::unique_ptr<Game> game;
};

class NetPlayTest : public ::testing::Test {
protected:
    Machine& Add(const std::string& nick) {
        machines.push_back(std::make_unique<Machine>(hub, dir));
        Machine& m = *machines.back();
        SubmitNickname(*m.game, m.net, nick);
        return m;
    }
    void Frames(int count) {
        for (int i = 0; i < count; ++i) {
            ticks += 30;
            for (auto& m : machines) GameFrame(*m->game, ticks);
        }
    }
    // A host and `others` joiners, past the lobby, everybody on the title.
    void StartGame(int others) {
        Machine& host = Add("Ann");
        LobbyNewGame(*host.game, host.net);
        const char* names[] = {"Bob", "Cid", "Dee"};
        for (int i = 0; i < others; ++i) {
            Machine& m = Add(names[i]);
            LobbyJoinGame(*m.game, m.net);
            LobbyJoinGame(*m.game, m.net);
        }
        Frames(1);
        LobbyNewGame(*host.game, host.net);  // Go
        Frames(4);
        for (auto& m : machines) ASSERT_FALSE(m->game->shell.networkLobby);
    }
    // The host presses fire on the title and everybody ends up in level 0.
    void StartLevelZero() {
        Machine& host = *machines[0];
        host.keys.down[static_cast<std::size_t>(Key::Space)] = true;
        Frames(1);
        host.keys.down.fill(false);
        Frames(80);  // the fade out of the title and the fade into the level
        for (auto& m : machines) {
            ASSERT_EQ(m->game->shell.screen, kScreenPlay);
            ASSERT_EQ(m->Local().levelIndex, 0);
        }
    }

    // Puts a player's hero somewhere at once, as a test wants it, and has the
    // host take that as where it last accepted it (a hero would have walked).
    void Place(int slot, float x, float y, float z) {
        Actor& a = machines[static_cast<std::size_t>(slot)]->Local();
        a.x = x;
        a.y = y;
        a.z = z;
        Machine& host = *machines[0];
        ClaimRecord& r = host.net.claims.slots[static_cast<std::size_t>(slot)];
        r.level = host.Local().levelIndex;
        r.x = x;
        r.y = y;
        r.z = z;
        r.time = host.game->shell.time.now;
        // What that machine sent from its old place and the host has not
        // read yet would put it back there.
        auto& inbox = host.transport.inbox;
        const std::int32_t from = machines[static_cast<std::size_t>(slot)]->transport.id;
        inbox.erase(std::remove_if(inbox.begin(), inbox.end(), [&](const TransportEvent& e) { return e.player.id == from; }),
                    inbox.end());
    }

    test::TempDir dir;
    test::FakeHub hub;
    std::vector<std::unique_ptr<Machine>> machines;
    std::uint32_t ticks = 0;
};

TEST_F(NetPlayTest, LobbyStatesFromCreateAndJoinToTheStart) {
    Machine& host = Add("Ann");
    EXPECT_EQ(host.net.lobbyState, kLobbyChooseProvider);
    EXPECT_EQ(host.net.panel.list, std::vector<std::string>{"Fake"});
    host.net.panel.selected = -1;
    LobbyNewGame(*host.game, host.net);  // nothing selected: nothing happens
    EXPECT_EQ(host.net.lobbyState, kLobbyChooseProvider);
    host.net.panel.selected = 0;
    LobbyNewGame(*host.game, host.net);
    EXPECT_EQ(host.net.lobbyState, kLobbyInSession);
    EXPECT_EQ(host.net.panel.newCaption, "Go");
    EXPECT_FALSE(host.net.panel.joinEnabled);
    EXPECT_EQ(hub.name, "Zorvo Quib - Ann");
    EXPECT_EQ(host.net.panel.list, std::vector<std::string>{"Ann [Violet]"});

    Machine& bob = Add("Bob");
    LobbyJoinGame(*bob.game, bob.net);
    EXPECT_EQ(bob.net.lobbyState, kLobbyChooseSession);
    EXPECT_EQ(bob.net.panel.joinCaption, "Select Game");
    EXPECT_FALSE(bob.net.panel.newEnabled);
    EXPECT_EQ(bob.net.panel.list, std::vector<std::string>{"Zorvo Quib - Ann"});
    LobbyJoinGame(*bob.game, bob.net);
    EXPECT_EQ(bob.net.lobbyState, kLobbyInSession);
    Frames(20);  // past a refresh
    const std::vector<std::string> both = {"Ann [Violet]", "Bob [Red]"};
    EXPECT_EQ(host.net.panel.list, both);
    EXPECT_EQ(bob.net.panel.list, both);
    EXPECT_EQ(host.game->actors.lastPlayer, 1);

    LobbyNewGame(*host.game, host.net);
    EXPECT_EQ(host.net.lobbyState, kLobbyStarting);
    Frames(3);
    for (Machine* m : {&host, &bob}) {
        EXPECT_FALSE(m->game->shell.networkLobby);
        EXPECT_EQ(m->game->shell.screen, kScreenTitle);
        EXPECT_EQ(m->game->actors.lastPlayer, 1);
        EXPECT_EQ(m->game->shell.status.text.rfind("Network refresh interval: ", 0), 0u) << m->game->shell.status.text;
        EXPECT_EQ(m->game->options.refreshInterval, host.game->options.refreshInterval);
    }
    EXPECT_EQ(host.game->actors.localPlayer, 0);
    EXPECT_EQ(bob.game->actors.localPlayer, 1);
    EXPECT_TRUE(bob.game->rules.networkGame);
    // A late answer to the ping changes nothing.
    const std::int32_t refused = host.net.refused;
    host.Receive(bob.transport.id, EncodeMessage(PingAnswerMsg{}));
    Frames(1);
    EXPECT_EQ(host.net.refused, refused + 1);
    EXPECT_EQ(host.game->shell.screen, kScreenTitle);
}

TEST_F(NetPlayTest, GoAloneIsASinglePlayerGameThatSendsNothing) {
    Machine& host = Add("Ann");
    LobbyNewGame(*host.game, host.net);
    LobbyNewGame(*host.game, host.net);
    EXPECT_FALSE(host.game->shell.networkLobby);
    EXPECT_EQ(host.game->shell.screen, kScreenTitle);
    EXPECT_EQ(host.game->actors.lastPlayer, 0);
    host.keys.down[static_cast<std::size_t>(Key::Space)] = true;
    Frames(1);
    host.keys.down.fill(false);
    EXPECT_FALSE(host.game->shell.status.shown) << "alone there is no refresh interval to report";
    Frames(60);
    EXPECT_EQ(host.game->shell.screen, kScreenPlay);
    EXPECT_EQ(host.transport.sent, 0);
}

TEST_F(NetPlayTest, JoinerSearchesAgainUntilASessionAppearsAndFailuresShowInWords) {
    Machine& bob = Add("Bob");
    LobbyJoinGame(*bob.game, bob.net);
    EXPECT_TRUE(bob.net.panel.list.empty());
    Frames(20);
    EXPECT_TRUE(bob.net.panel.list.empty());
    Machine& host = Add("Ann");
    LobbyNewGame(*host.game, host.net);
    Frames(20);
    EXPECT_EQ(bob.net.panel.list, std::vector<std::string>{"Zorvo Quib - Ann"});

    Machine& cid = Add("Cid");
    cid.transport.openError = 0x80040002;
    LobbyNewGame(*cid.game, cid.net);
    EXPECT_EQ(cid.net.lobbyState, kLobbyChooseProvider);
    EXPECT_TRUE(cid.host.messages.empty());
    EXPECT_EQ(LobbyHint(*cid.game, cid.net), "COULD NOT OPEN PORT 28416");
}

TEST_F(NetPlayTest, NamesAreCutToTheirFields) {
    Machine& host = Add(std::string(60, 'n'));
    LobbyNewGame(*host.game, host.net);
    EXPECT_EQ(hub.name.size(), kSessionNameBytes);
    ASSERT_EQ(host.session.Players().size(), 2u);
    EXPECT_EQ(host.session.Players()[0].longName, "All");
    EXPECT_EQ(host.session.Players()[1].longName.size(), kLongNameBytes);
    EXPECT_EQ(host.session.Players()[1].shortName.size(), kShortNameBytes);
}

TEST_F(NetPlayTest, TheHostStartsTheLevelAndPositionsTravel) {
    StartGame(2);
    StartLevelZero();
    Machine& host = *machines[0];
    Machine& cid = *machines[2];
    host.Local().x += 300;
    cid.Local().z += 200;
    const float hostX = host.Local().x, cidZ = cid.Local().z;
    Frames(8);
    for (auto& m : machines) {
        EXPECT_NEAR(m->game->actors.actor[0].x, hostX, 40);
        EXPECT_NEAR(m->game->actors.actor[2].z, cidZ, 40);
        EXPECT_EQ(m->game->actors.actor[1].levelIndex, 0);
    }
    // F11 names every slot by its nickname.
    EXPECT_EQ(cid.game->net.playerName(0), "Ann");
    EXPECT_EQ(cid.game->net.playerName(1), "Bob");
    EXPECT_EQ(host.game->net.playerName(2), "Cid");
}

TEST_F(NetPlayTest, TheLastIngotTakenOnOneMachineOpensTheDoorOnAll) {
    StartGame(1);
    StartLevelZero();
    Machine& host = *machines[0];
    Machine& bob = *machines[1];
    // Both worlds: one ingot left at (1,1,1) and a door at (2,1,1).
    for (auto& m : machines) {
        World& w = m->world();
        for (int x = 0; x < w.sizeX; ++x)
            for (int y = 0; y < w.sizeY; ++y)
                for (int z = 0; z < w.sizeZ; ++z)
                    if (GetCell(w, x, y, z) == kIngotType) SetCell(w, x, y, z, 0);
        SetCell(w, 1, 1, 1, kIngotType);
        SetCell(w, 2, 1, 1, 21);
    }
    ASSERT_EQ(host.world().objectDefs[kIngotType].lingotDoor, 21);
    bob.Local().x = 512 + 256;
    bob.Local().y = 512 + 256;
    bob.Local().z = 512 + 256;
    HeroPickups(bob.world(), bob.Local(), bob.game->rules);
    EXPECT_EQ(GetCell(bob.world(), 1, 1, 1), 0);
    Frames(1);
    EXPECT_EQ(GetCell(host.world(), 1, 1, 1), 0);
    EXPECT_EQ(host.world().objectDefs[kIngotType].cellCount, 0);
    for (auto& m : machines) EXPECT_NE(GetCell(m->world(), 2, 1, 1), 21) << "door still shut";
}

TEST_F(NetPlayTest, RefusedMessagesLeaveTheWorldAlone) {
    StartGame(1);
    StartLevelZero();
    Machine& host = *machines[0];
    Machine& bob = *machines[1];
    const std::int32_t hostId = host.transport.id, bobId = bob.transport.id;
    const std::vector<Cell> cells = bob.world().cells;
    const Actor before = bob.game->actors.actor[0];
    const std::int32_t count = bob.world().sentryCount;
    struct Bad {
        const char* what;
        std::int32_t from;
        MessageBytes bytes;
    };
    const std::vector<Bad> bad = {
        {"state of a slot not in play", hostId, EncodeMessage(PlayerStateMsg{2, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 3})},
        {"state for another slot", hostId, EncodeMessage(PlayerStateMsg{1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 3})},
        {"state with a level outside the list", hostId, EncodeMessage(PlayerStateMsg{0, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 99, 3})},
        {"cell outside the grid", hostId, EncodeMessage(CellEventMsg{0, 103, bob.world().sizeX, 0, 0, 20})},
        {"object outside 0..256", hostId, EncodeMessage(CellEventMsg{0, 103, 1, 1, 1, 257})},
        {"event claiming the receiver's slot", hostId, EncodeMessage(CellEventMsg{1, 103, 1, 1, 1, 20})},
        {"sentry beyond the list", hostId, EncodeMessage(SentryPositionMsg{count + 1, 0, 0, 0, 0})},
        {"level outside the list", hostId, EncodeMessage(StartLevelMsg{bob.game->shell.levelCount})},
        {"level start from a joiner", bobId + 7, EncodeMessage(StartLevelMsg{1})},
        {"a second start", hostId, EncodeMessage(StartMsg{1, 1, 50, {hostId, bobId, 0, 0}})},
    };
    for (const Bad& b : bad) {
        const std::int32_t refused = bob.net.refused;
        HandleGameMessage(*bob.game, bob.net, b.from, b.bytes);
        EXPECT_EQ(bob.net.refused, refused + 1) << b.what;
    }
    const MessageBytes good = EncodeMessage(PingMsg{});
    HandleGameMessage(*bob.game, bob.net, hostId, std::span(good.data(), 100));
    EXPECT_EQ(bob.world().cells, cells);
    EXPECT_EQ(bob.game->actors.actor[0].x, before.x);
    EXPECT_EQ(bob.game->actors.actor[0].levelIndex, before.levelIndex);
    EXPECT_EQ(bob.Local().levelIndex, 0);
    EXPECT_EQ(bob.game->options.refreshInterval, host.game->options.refreshInterval);
}

TEST_F(NetPlayTest, TheClockFromThePeersNeitherWrapsNorGoesNegative) {
    StartGame(1);
    StartLevelZero();
    Machine& host = *machines[0];
    Machine& bob = *machines[1];
    World& w = bob.world();
    // A timer object worth nearly the whole int range, taken twice by the host.
    const Cell timer = 200;
    w.objectDefs[timer].undefined = false;
    w.objectDefs[timer].timer = true;
    w.objectDefs[timer].timerDuration = 2'000'000'000;
    SetCell(w, 1, 1, 1, timer);
    SetCell(w, 2, 1, 1, timer);
    HandleGameMessage(*bob.game, bob.net, host.transport.id, EncodeMessage(CellEventMsg{0, kNetTimer, 1, 1, 1, timer}));
    HandleGameMessage(*bob.game, bob.net, host.transport.id, EncodeMessage(CellEventMsg{0, kNetTimer, 2, 1, 1, timer}));
    EXPECT_EQ(w.timerLeft, std::numeric_limits<std::int32_t>::max());
    EXPECT_TRUE(w.timerRunning);
    // The host's clock below zero is a clock that has run out.
    HandleGameMessage(*bob.game, bob.net, host.transport.id, EncodeMessage(LevelTimerMsg{std::numeric_limits<std::int32_t>::min()}));
    EXPECT_EQ(w.timerLeft, 0);
    Frames(2);  // the countdown past zero neither wraps nor trips the sanitizer
    EXPECT_GE(bob.world().timerLeft, 0);
    EXPECT_EQ(bob.net.refused, 0);
}

TEST_F(NetPlayTest, APeersStateAndSentriesAreHeldWithinReach) {
    StartGame(1);
    StartLevelZero();
    Machine& host = *machines[0];
    Machine& bob = *machines[1];
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    // Values a real game sends arrive unchanged.
    HandleGameMessage(*bob.game, bob.net, host.transport.id,
                      EncodeMessage(PlayerStateMsg{0, 1000, 700, -2000, -40000, 30, -20, 10, 900, 1, 250, 0, 3}));
    const Actor& peer = bob.game->actors.actor[0];
    EXPECT_EQ(peer.x, 1000);
    EXPECT_EQ(peer.z, -2000);
    EXPECT_EQ(peer.heading, -40000);
    EXPECT_EQ(peer.velX, 30);
    EXPECT_EQ(peer.turnRate, 900);
    // Extreme ones are held at the bounds, and the frames that move and draw
    // that player (under the sanitizer) do not overflow.
    HandleGameMessage(*bob.game, bob.net, host.transport.id,
                      EncodeMessage(PlayerStateMsg{0, kMax, kMin, kMax, kMin, kMax, kMin, kMax, kMin, 1, kMax, 0, 3}));
    EXPECT_EQ(peer.x, static_cast<float>(kMaxCellCoordinate * kCellSize));
    EXPECT_EQ(peer.y, -static_cast<float>(kMaxCellCoordinate * kCellSize));
    EXPECT_EQ(peer.heading, -64.0f * 32768);
    EXPECT_EQ(peer.velX, 8.0f * kCellSize);
    EXPECT_EQ(peer.turnRate, -32768);
    if (bob.world().sentryCount > 0) {
        HandleGameMessage(*bob.game, bob.net, host.transport.id, EncodeMessage(SentryPositionMsg{1, kMin, kMax, kMin, kMax}));
        EXPECT_EQ(bob.world().sentries[0].heading, 64.0f * 32768);
        EXPECT_EQ(bob.world().sentries[0].x, -static_cast<float>(kMaxCellCoordinate * kCellSize));
    }
    // Only bob plays on, so the host's next state does not replace the extremes.
    for (int i = 0; i < 3; ++i) GameFrame(*bob.game, ticks += 30);
    EXPECT_EQ(bob.net.refused, 0);
}

TEST_F(NetPlayTest, TheExitWaitsForEveryLivingPlayerOfTheLevel) {
    StartGame(2);
    StartLevelZero();
    Machine& host = *machines[0];
    World& w = host.world();
    auto putAtExit = [&](Actor& a) {
        a.x = static_cast<float>(kCellSize * w.exitX + 256);
        a.y = static_cast<float>(kCellSize * w.exitY + 256);
        a.z = static_cast<float>(kCellSize * w.exitZ + 256);
    };
    Actors& actors = host.game->actors;
    putAtExit(actors.actor[0]);
    putAtExit(actors.actor[1]);
    EXPECT_FALSE(OthersAtExit(*host.game, host.net));  // slot 2 is elsewhere
    actors.actor[2].levelIndex = 3;
    EXPECT_TRUE(OthersAtExit(*host.game, host.net)) << "a player in another level does not count";
    actors.actor[2].levelIndex = 0;
    actors.actor[2].lives = -1;
    EXPECT_TRUE(OthersAtExit(*host.game, host.net)) << "a player out of lives does not count";
    actors.actor[2].lives = 2;
    host.net.gone[2] = true;
    EXPECT_TRUE(OthersAtExit(*host.game, host.net)) << "a player who left does not count";
    host.net.gone[2] = false;
    actors.actor[1].x += 2048;
    EXPECT_FALSE(OthersAtExit(*host.game, host.net));

    // In play: the host in the exit waits and says why, while the others are away.
    Machine& bob = *machines[1];
    bob.Local().x += 4096;
    machines[2]->Local().x += 4096;
    Frames(5);
    putAtExit(host.Local());
    host.Local().velX = host.Local().velZ = 0;
    Frames(1);
    EXPECT_EQ(host.game->shell.status.text, "Waiting for other players to finish");
    EXPECT_FALSE(host.game->shell.fade.active);

    // Out of play while he waits: a sentry on top of him neither kills him
    // nor sees him, his keys do not walk him out, and his screen follows Bob.
    const int lives = host.Local().lives;
    w.sentryCount = std::max(w.sentryCount, 1);
    SentryState& sentry = w.sentries[0];
    sentry.x = host.Local().x;
    sentry.y = host.Local().y;
    sentry.z = host.Local().z;
    sentry.mode = 1;
    sentry.lost = 1;
    host.keys.down[static_cast<std::size_t>(Key::Up)] = true;
    Frames(10);
    host.keys.down.fill(false);
    EXPECT_EQ(host.Local().lives, lives);
    EXPECT_FALSE(host.Local().dead);
    EXPECT_EQ(CellOf(host.Local().x), w.exitX);
    EXPECT_EQ(CellOf(host.Local().z), w.exitZ);
    EXPECT_NE(sentry.mode, 0) << "the sentry chased the player waiting in the exit";
    EXPECT_EQ(host.game->play.watching, 1);
    const Actor& watched = host.game->actors.actor[1];
    EXPECT_LT(std::hypot(host.game->play.eye.x - watched.x, host.game->play.eye.z - watched.z), 2048);
}

TEST_F(NetPlayTest, ADeathPutsTheHeroBackOnTheStartWithoutReloadingTheLevel) {
    StartGame(1);
    StartLevelZero();
    Machine& bob = *machines[1];
    World& w = bob.world();
    SetCell(w, 0, 0, 0, kIngotType);  // a reload would undo this
    bob.Local().x += 1024;
    KillHero(bob.Local(), bob.game->rules);
    Frames(80);  // the two-second stun
    EXPECT_EQ(bob.Local().lives, 2);
    EXPECT_EQ(bob.game->shell.status.text, "2 LIVES LEFT");
    EXPECT_EQ(GetCell(w, 0, 0, 0), kIngotType);
    EXPECT_EQ(CellOf(bob.Local().x), w.startX);
    EXPECT_EQ(CellOf(bob.Local().z), w.startZ);
    EXPECT_EQ(bob.game->shell.screen, kScreenPlay);
    Frames(5);
    EXPECT_EQ(machines[0]->game->actors.actor[1].lives, 2);  // the host hears of it
}

TEST_F(NetPlayTest, BackToTitleOnTheHostBringsEveryoneBack) {
    StartGame(1);
    StartLevelZero();
    Machine& host = *machines[0];
    SetScreen(*host.game, kScreenTitle);
    Frames(3);
    EXPECT_EQ(machines[1]->game->shell.screen, kScreenTitle);
    EXPECT_EQ(host.game->actors.actor[1].levelIndex, -1);
    EXPECT_EQ(machines[1]->game->actors.actor[0].levelIndex, -1);
}

TEST_F(NetPlayTest, AJoinAnnouncedTwiceOrWithoutEndTakesOneSlotAtMost) {
    Machine& host = Add("Ann");
    LobbyNewGame(*host.game, host.net);
    Machine& bob = Add("Bob");
    LobbyJoinGame(*bob.game, bob.net);
    LobbyJoinGame(*bob.game, bob.net);
    Frames(1);
    ASSERT_EQ(bob.net.lobbyState, kLobbyInSession);
    const std::size_t listed = bob.session.Players().size();
    const std::int32_t players = bob.game->actors.lastPlayer;
    // What a hostile host could announce: one newcomer twice, the
    // everybody id, then newcomers without end.
    auto announce = [&](std::int32_t id) {
        bob.transport.inbox.push_back(
            TransportEvent{TransportEvent::Kind::PlayerJoined, PlayerEntry{id, "Eve", "Eve"}, {}});
    };
    announce(77);
    announce(77);
    announce(kAllPlayers);
    Frames(1);
    EXPECT_EQ(bob.session.Players().size(), listed + 1);
    EXPECT_EQ(bob.game->actors.lastPlayer, players + 1);
    for (std::int32_t id = 1000; id < 6000; ++id) announce(id);
    Frames(1);
    EXPECT_EQ(bob.session.Players().size(), kMaxSessionPlayers);
    EXPECT_EQ(bob.game->actors.lastPlayer, kMaxPlayers - 1);
    // Leaving frees the id for a real rejoin.
    bob.transport.inbox.push_back(TransportEvent{TransportEvent::Kind::PlayerLeft, PlayerEntry{77, {}, {}}, {}});
    Frames(1);
    EXPECT_TRUE(bob.session.Players()[listed].gone);
}

TEST_F(NetPlayTest, PlayersWhoLeaveAreGoneAndTheHostLeavingEndsTheGame) {
    StartGame(2);
    StartLevelZero();
    machines[2]->transport.Leave();
    Frames(1);
    EXPECT_TRUE(machines[0]->net.gone[2]);
    EXPECT_TRUE(machines[1]->game->net.playerGone(2));
    machines[0]->transport.Leave();
    Frames(1);
    Machine& bob = *machines[1];
    EXPECT_EQ(bob.game->shell.screen, kScreenTitle);
    EXPECT_EQ(bob.game->shell.status.text, "THE HOST HAS LEFT THE GAME");
    EXPECT_EQ(bob.game->actors.lastPlayer, 0);
    EXPECT_EQ(bob.game->actors.localPlayer, 0);
}

TEST_F(NetPlayTest, SilentAndLostConnectionsAreNamedOnEveryMachine) {
    StartGame(2);
    StartLevelZero();
    Machine& host = *machines[0];
    Machine& bob = *machines[1];
    Machine& cid = *machines[2];
    // A second without a word is a problem the players hear of at once.
    host.transport.silence[bob.transport.id] = 1500;
    bob.transport.silence[host.transport.id] = 1500;
    cid.transport.silence[bob.transport.id] = 400;  // not yet
    Frames(1);
    EXPECT_EQ(host.game->shell.status.text, "CONNECTION PROBLEM: BOB");
    EXPECT_EQ(bob.game->shell.status.text, "CONNECTION TO THE HOST IS UNSTABLE");
    EXPECT_NE(cid.game->shell.status.text, "CONNECTION PROBLEM: BOB");
    host.transport.silence.clear();
    bob.transport.silence.clear();

    // Bob's connection breaks: everybody is told who and why.
    bob.transport.Leave(true);
    Frames(1);
    EXPECT_EQ(host.game->shell.status.text, "BOB HAS LEFT THE GAME: CONNECTION LOST");
    EXPECT_EQ(cid.game->shell.status.text, "BOB HAS LEFT THE GAME: CONNECTION LOST");
    EXPECT_EQ(cid.game->shell.screen, kScreenPlay);
    // The word stays its full time: the host waiting in the exit, which
    // says so every frame, does not replace it.
    const World& w = host.world();
    host.Local().x = static_cast<float>(kCellSize * w.exitX + 256);
    host.Local().y = static_cast<float>(kCellSize * w.exitY + 256);
    host.Local().z = static_cast<float>(kCellSize * w.exitZ + 256);
    Frames(kStatusShowMs / 30 - 20);
    EXPECT_EQ(host.game->shell.status.text, "BOB HAS LEFT THE GAME: CONNECTION LOST");
    Frames(40);
    EXPECT_EQ(host.game->shell.status.text, "Waiting for other players to finish");
    // The host's breaks: not the same as the host quitting.
    host.transport.Leave(true);
    Frames(1);
    EXPECT_EQ(cid.game->shell.screen, kScreenTitle);
    EXPECT_EQ(cid.game->shell.status.text, "CONNECTION TO THE HOST LOST");
}

TEST_F(NetPlayTest, TheStartGoesOnWithoutAPlayerWhoNeverAnswers) {
    Machine& host = Add("Ann");
    LobbyNewGame(*host.game, host.net);
    for (const char* nick : {"Bob", "Cid"}) {
        Machine& m = Add(nick);
        LobbyJoinGame(*m.game, m.net);
        LobbyJoinGame(*m.game, m.net);
    }
    Frames(1);
    machines[2]->transport.deaf = true;  // Cid's machine hangs: the ping is never answered
    LobbyNewGame(*host.game, host.net);
    Frames(10);
    EXPECT_EQ(host.net.lobbyState, kLobbyStarting);
    Frames(kStartAnswerWaitMs / 30 + 2);
    EXPECT_FALSE(host.game->shell.networkLobby);
    EXPECT_EQ(host.game->shell.status.text, "NO ANSWER FROM CID: STARTED WITHOUT THEM");
    EXPECT_TRUE(host.net.gone[2]);
    EXPECT_FALSE(machines[1]->game->shell.networkLobby) << "Bob starts all the same";
    EXPECT_TRUE(machines[1]->net.gone[2]);
}

TEST_F(NetPlayTest, CellEventsChangeOnlyTheirOwnLevelAndOnlyWhatTheCellHolds) {
    StartGame(1);
    StartLevelZero();
    Machine& host = *machines[0];
    Machine& bob = *machines[1];
    World& w = bob.world();
    const std::int32_t from = host.transport.id;
    SetCell(w, 1, 1, 1, kIngotType);
    SetCell(w, 2, 1, 1, 21);  // the ingot door
    const std::int32_t ingots = w.objectDefs[kIngotType].cellCount;
    struct Refused {
        const char* what;
        CellEventMsg event;
    };
    const std::vector<Refused> refused = {
        {"an ingot taken in another level", CellEventMsg{0, kNetIngot, 1, 1, 1, kIngotType, 1}},
        {"an ingot where this world has none", CellEventMsg{0, kNetIngot, 3, 1, 1, kIngotType, 0}},
        {"the door claimed as an ingot", CellEventMsg{0, kNetIngot, 2, 1, 1, 21, 0}},
        {"a timer taken from an ingot's cell", CellEventMsg{0, kNetTimer, 1, 1, 1, kIngotType, 0}},
        {"a dig in another level", CellEventMsg{0, kNetDig, 1, 1, 1, 5000, 1}},
    };
    for (const Refused& r : refused) {
        const std::int32_t before = bob.net.refused;
        HandleGameMessage(*bob.game, bob.net, from, EncodeMessage(r.event));
        EXPECT_EQ(bob.net.refused, before + 1) << r.what;
    }
    EXPECT_EQ(GetCell(w, 1, 1, 1), kIngotType);
    EXPECT_EQ(GetCell(w, 2, 1, 1), 21);
    EXPECT_EQ(w.objectDefs[kIngotType].cellCount, ingots);
    EXPECT_FALSE(w.timerRunning);
    // The same ingot taken in this level goes.
    HandleGameMessage(*bob.game, bob.net, from, EncodeMessage(CellEventMsg{0, kNetIngot, 1, 1, 1, kIngotType, 0}));
    EXPECT_EQ(GetCell(w, 1, 1, 1), 0);
    EXPECT_EQ(w.objectDefs[kIngotType].cellCount, ingots - 1);
}

// Bob's connection breaks mid-level; his program goes back to the lobby and
// joins the running game again: his slot, the host's level, the lives he
// had, and the ingot the host took meanwhile gone from his world too.
TEST_F(NetPlayTest, ADroppedPlayerComesBackIntoItsSlotInTheHostsLevel) {
    StartGame(1);
    StartLevelZero();
    Machine& host = *machines[0];
    Machine& bob = *machines[1];
    bob.Local().lives = 2;
    Frames(5);
    ASSERT_EQ(host.game->actors.actor[1].lives, 2);
    bob.transport.Leave(true);
    bob.transport.inbox.push_back(
        TransportEvent{TransportEvent::Kind::PlayerLeft, PlayerEntry{host.transport.id, {}, {}}, {}, true});
    Frames(2);
    ASSERT_TRUE(host.net.gone[1]);
    ASSERT_EQ(bob.game->shell.screen, kScreenTitle);

    // An ingot of the level file, taken by the host while Bob is away.
    World& hw = host.world();
    int ix = -1, iy = -1, iz = -1;
    for (int x = 0; x < hw.sizeX && ix < 0; ++x)
        for (int y = 0; y < hw.sizeY && ix < 0; ++y)
            for (int z = 0; z < hw.sizeZ && ix < 0; ++z)
                if (GetCell(hw, x, y, z) == kIngotType) ix = x, iy = y, iz = z;
    ASSERT_GE(ix, 0);
    host.Local().x = static_cast<float>(kCellSize * ix + 256);
    host.Local().y = static_cast<float>(kCellSize * iy + 256);
    host.Local().z = static_cast<float>(kCellSize * iz + 256);
    HeroPickups(hw, host.Local(), host.game->rules);
    ASSERT_EQ(GetCell(hw, ix, iy, iz), 0);

    OpenLobby(*bob.game, bob.net);
    SubmitNickname(*bob.game, bob.net, "Bob");
    LobbyJoinGame(*bob.game, bob.net);
    LobbyJoinGame(*bob.game, bob.net);
    Frames(80);
    EXPECT_FALSE(host.net.gone[1]);
    EXPECT_EQ(bob.game->shell.screen, kScreenPlay);
    EXPECT_EQ(bob.game->actors.localPlayer, 1);
    EXPECT_EQ(bob.Local().levelIndex, 0);
    EXPECT_EQ(bob.Local().lives, 2);
    EXPECT_EQ(GetCell(bob.world(), ix, iy, iz), 0);
    EXPECT_EQ(host.game->shell.status.text, "BOB IS BACK");
}

// A player whose level fell out of step (here: a cell changed behind
// everybody's back) is brought back by the host's checks: two that disagree
// and the level's state comes over in pieces.  A set whose pieces fit but
// whose bytes are no state of this level is refused, said in the log, and
// leaves the level as it was.
TEST_F(NetPlayTest, ALevelOutOfStepComesBackInPiecesAndABadSetChangesNothing) {
    StartGame(1);
    StartLevelZero();
    Machine& host = *machines[0];
    Machine& bob = *machines[1];
    World& bw = bob.world();
    int fx = -1, fy = -1, fz = -1;
    for (int x = 0; x < bw.sizeX && fx < 0; ++x)
        for (int y = 0; y < bw.sizeY && fx < 0; ++y)
            for (int z = 0; z < bw.sizeZ && fx < 0; ++z)
                if (GetCell(bw, x, y, z) == kIngotType) fx = x, fy = y, fz = z;
    ASSERT_GE(fx, 0);
    SetCell(bw, fx, fy, fz, 0);
    ASSERT_NE(CellsChecksum(bw), CellsChecksum(host.world()));
    Frames(1 + 3 * kWorldCheckMs / 30);
    EXPECT_EQ(bob.net.worldsTaken, 1);
    EXPECT_EQ(GetCell(bob.world(), fx, fy, fz), kIngotType);
    EXPECT_TRUE(LevelStateBytes(*bob.game) == LevelStateBytes(*host.game));
    EXPECT_EQ(bob.Local().levelIndex, 0);
    EXPECT_EQ(bob.game->actors.localPlayer, 1);

    // Three pieces that fit together, of bytes that are no snapshot.
    const Bytes before = LevelStateBytes(*bob.game);
    const std::int32_t total = 2 * kWorldPieceBytes + 10;
    for (std::int32_t i = 0; i < 3; ++i) {
        const std::int32_t size = std::min(kWorldPieceBytes, total - i * kWorldPieceBytes);
        bob.Receive(host.transport.id,
                    EncodeMessage(WorldPieceMsg{0, 77, total, i, std::vector<std::uint8_t>(static_cast<std::size_t>(size), 0x5A)}));
    }
    // Nor does a piece of another level.
    bob.Receive(host.transport.id, EncodeMessage(WorldPieceMsg{1, 78, 10, 0, std::vector<std::uint8_t>(10, 1)}));
    Frames(1);
    EXPECT_EQ(bob.net.worldsRefused, 1);
    EXPECT_EQ(bob.net.worldsTaken, 1);
    EXPECT_TRUE(LevelStateBytes(*bob.game) == before);
    EXPECT_EQ(bob.net.incoming.id, 0);
    bool logged = false;
    for (const std::string& line : bob.host.logLines) logged = logged || line.find("level state was refused") != std::string::npos;
    EXPECT_TRUE(logged);
}

// Cid's machine is hostile: it reaches for cells far from its hero, pulls a
// lever across the level, jumps eight cells at once and raises its lives.
// The host refuses every claim, logs one line per kind, tells Cid to go back
// and passes nothing on; Bob's ordinary pick-up and walk go through.
TEST_F(NetPlayTest, TheHostRefusesAHostilePlayersClaimsAndPassesOnARealOnes) {
    StartGame(2);
    StartLevelZero();
    Machine& host = *machines[0];
    Machine& bob = *machines[1];
    Machine& cid = *machines[2];
    const World& hw = host.world();
    const int sx = hw.startX, sy = hw.startY, sz = hw.startZ;
    // Far cells: along the axis with the most room from the start, beyond
    // any reach (an ingot 5 or more cells away, a lever 6 or more).
    auto roomOn = [](int from, int size) { return std::max(from, size - 1 - from); };
    const bool alongX = roomOn(sx, hw.sizeX) >= roomOn(sz, hw.sizeZ);
    const int room = alongX ? roomOn(sx, hw.sizeX) : roomOn(sz, hw.sizeZ);
    ASSERT_GE(room, 6);
    auto away = [&](int cells) {
        const int size = alongX ? hw.sizeX : hw.sizeZ, from = alongX ? sx : sz;
        const int to = from + cells < size ? from + cells : from - cells;
        return std::array<int, 3>{alongX ? to : sx, sy, alongX ? sz : to};
    };
    const auto farIngot = away(room - 1), farLever = away(room);
    const Cell lever = 200;
    for (auto& m : machines) {
        World& w = m->world();
        w.objectDefs[lever].undefined = false;
        w.objectDefs[lever].lever = true;
        w.objectDefs[lever].leverOpen = 0;
        SetCell(w, farIngot[0], farIngot[1], farIngot[2], kIngotType);
        SetCell(w, farLever[0], farLever[1], farLever[2], lever);
        SetCell(w, sx, sy, sz, kIngotType);  // under Bob's feet
    }
    const std::int32_t cidId = cid.transport.id;
    auto fromCid = [&](const GameMessage& m) { host.Receive(cidId, EncodeMessage(m)); };
    fromCid(CellEventMsg{2, kNetIngot, farIngot[0], farIngot[1], farIngot[2], kIngotType, 0});
    fromCid(CellEventMsg{2, kNetLever, farLever[0], farLever[1], farLever[2], 0, 0});
    Frames(3);
    for (auto& m : machines) {
        EXPECT_EQ(GetCell(m->world(), farIngot[0], farIngot[1], farIngot[2]), kIngotType);
        EXPECT_EQ(GetCell(m->world(), farLever[0], farLever[1], farLever[2]), lever) << "the lever moved";
    }
    EXPECT_EQ(host.net.claims.refused[kClaimOutOfReach], 2);

    // Bob, standing on an ingot, takes it: every machine loses it.
    bob.Local().x = static_cast<float>(kCellSize * sx + 256);
    bob.Local().z = static_cast<float>(kCellSize * sz + 256);
    HeroPickups(bob.world(), bob.Local(), bob.game->rules);
    Frames(2);
    for (auto& m : machines) EXPECT_EQ(GetCell(m->world(), sx, sy, sz), 0);
    // And walks into the next cell that has room: the others see him there.
    const float stepX = alongX ? (sx + 1 < hw.sizeX ? 512.0f : -512.0f) : 0.0f;
    const float stepZ = alongX ? 0.0f : (sz + 1 < hw.sizeZ ? 512.0f : -512.0f);
    ASSERT_TRUE(IsHeroPlace(host.world(), bob.Local().x + stepX, bob.Local().y, bob.Local().z + stepZ));
    bob.Local().x += stepX;
    bob.Local().z += stepZ;
    const float bobX = bob.Local().x, bobZ = bob.Local().z;
    Frames(8);
    EXPECT_NEAR(cid.game->actors.actor[1].x, bobX, 40);
    EXPECT_NEAR(cid.game->actors.actor[1].z, bobZ, 40);

    // Cid's hero jumps across the level (into a wall or onto the floor: both
    // are refused) and is put back where the host last had it.
    const auto far = away(room);
    cid.Local().x = static_cast<float>(kCellSize * far[0] + 256);
    cid.Local().z = static_cast<float>(kCellSize * far[2] + 256);
    Frames(8);
    EXPECT_EQ(CellOf(cid.Local().x), sx) << "not put back";
    EXPECT_EQ(CellOf(cid.Local().z), sz);
    EXPECT_EQ(CellOf(bob.game->actors.actor[2].x), sx) << "the jump was passed on";
    EXPECT_EQ(CellOf(host.game->actors.actor[2].x), sx);

    // Lives: up is refused, to game over and back is refused too.
    cid.Local().lives = 99;
    Frames(kLivesGraceMs / 30 + 20);
    EXPECT_EQ(host.game->actors.actor[2].lives, 3);
    EXPECT_EQ(bob.game->actors.actor[2].lives, 3);
    EXPECT_EQ(cid.Local().lives, 3) << "put back to the lives the host allows";
    cid.Local().lives = -1;
    Frames(5);
    EXPECT_EQ(host.game->actors.actor[2].lives, -1);
    cid.Local().lives = kStartLives;
    Frames(kLivesGraceMs / 30 + 20);
    EXPECT_EQ(host.game->actors.actor[2].lives, -1);
    EXPECT_EQ(bob.game->actors.actor[2].lives, -1);
    EXPECT_EQ(cid.Local().lives, -1);

    EXPECT_EQ(host.net.claims.refused[kClaimOutOfReach], 2);
    EXPECT_GE(host.net.claims.refused[kClaimTooFast] + host.net.claims.refused[kClaimNoPlace], 1);
    EXPECT_GE(host.net.claims.refused[kClaimLivesRaised], 2);
    // One line in the log for each kind, whatever the count.
    int lines = 0;
    for (const std::string& line : host.host.logLines) lines += line.find("refused a claim of CID") != std::string::npos;
    int kinds = 0;
    for (std::int32_t n : host.net.claims.refused) kinds += n > 0;
    EXPECT_EQ(lines, kinds);
    for (const std::string& line : host.host.logLines) EXPECT_EQ(line.find("BOB"), std::string::npos) << line;
}

TEST_F(NetPlayTest, TheLevelEndsWhenTheLivingStandInTheExitAndEndsTogetherWhenNobodyHasLives) {
    StartGame(1);
    StartLevelZero();
    Machine& host = *machines[0];
    Machine& bob = *machines[1];
    const World& w = host.world();
    // The host has no lives left; Bob alone reaches the exit: the level ends
    // for both.
    host.Local().lives = -1;
    host.Local().x += 4096;
    Place(1, static_cast<float>(kCellSize * w.exitX + 256), static_cast<float>(kCellSize * w.exitY + 256),
          static_cast<float>(kCellSize * w.exitZ + 256));
    Frames(100);
    for (auto& m : machines) {
        EXPECT_EQ(m->game->shell.screen, kScreenPlay);
        EXPECT_EQ(m->Local().levelIndex, 1) << "level end not shared";
    }
    // Bob loses his last life too: every machine ends the game together.
    bob.Local().lives = -1;
    Frames(10);
    for (auto& m : machines) {
        EXPECT_EQ(m->game->shell.screen, kScreenGameOver);
        EXPECT_EQ(ScreenCaption(*m->game), "GAME OVER");
    }
}

TEST_F(NetPlayTest, AfterTheLastLevelEveryPlayerGoesToTheCredits) {
    StartGame(1);
    StartLevelZero();
    Machine& host = *machines[0];
    host.Local().levelIndex = host.game->shell.levelCount - 1;
    NextLevel(*host.game);
    Frames(2);
    for (auto& m : machines) EXPECT_EQ(m->game->shell.screen, kScreenCredits);
}

}  // namespace
}  // namespace zq
