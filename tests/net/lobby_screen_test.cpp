// The lobby as a player works it: keys tapped between frames, Escape one step
// back at a time, a search that says when nothing answers, refusals in words
// on the screen, and a game joined by its typed address over 127.0.0.1.
#include "net/net_play.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "net/fake_transport.h"
#include "platform/enet_transport.h"
#include "net/free_port.h"
#include "test_game.h"
#include "test_util.h"

namespace zq {
namespace {

// Keys as the platform reports them: a tap that went down and up between two
// frames is reported once, to the first KeyDown of that key in the frame.
struct TapKeys : InputDevice {
    std::array<bool, kKeyCount> held{};
    std::array<bool, kKeyCount> tapped{};
    std::string text;
    void Tap(Key key) { tapped[static_cast<std::size_t>(key)] = true; }
    bool KeyDown(Key key) override {
        const auto i = static_cast<std::size_t>(key);
        const bool answer = held[i] || tapped[i];
        tapped[i] = false;
        return answer;
    }
    MouseMotion TakeMouseMotion(bool) override { return {}; }
    JoystickState Joystick() override { return {}; }
    std::string TakeText() override {
        std::string out;
        out.swap(text);
        return out;
    }
};

// One machine in the lobby: its game, its end of the session, its keys.
struct LobbyMachine {
    LobbyMachine(std::unique_ptr<NetTransport> t, const test::TempDir& dir)
        : transport(std::move(t)), session(*transport), net(session) {
        game = std::make_unique<Game>(test::HeadlessConfig(std::filesystem::path(ZQ_BUILD_DIR) / "data", dir.Path()),
                                      keys, audio, host);
        InitGame(*game);
        ResetFrameClock(game->shell, 0);
        AttachNetPlay(*game, net);
        OpenLobby(*game, net);
    }
    void Frame() {
        ticks += 30;
        GameFrame(*game, ticks);
    }
    void Frames(int n) {
        for (int i = 0; i < n; ++i) Frame();
    }
    std::string Hint() const { return LobbyHint(*game, net); }

    std::unique_ptr<NetTransport> transport;
    NetSession session;
    NetPlay net;
    TapKeys keys;
    SilentAudio audio;
    test::RecordingHost host;
    std::unique_ptr<Game> game;
    std::uint32_t ticks = 0;
};

class LobbyScreen : public ::testing::Test {
protected:
    LobbyMachine& Add(const std::string& nick) {
        machines.push_back(std::make_unique<LobbyMachine>(std::make_unique<test::FakeTransport>(hub), dir));
        LobbyMachine& m = *machines.back();
        SubmitNickname(*m.game, m.net, nick);
        return m;
    }
    test::TempDir dir;
    test::FakeHub hub;
    std::vector<std::unique_ptr<LobbyMachine>> machines;
};

TEST_F(LobbyScreen, EachEscapeTapGoesBackOneStepAndNeverQuits) {
    LobbyMachine& bob = Add("Bob");
    LobbyJoinGame(*bob.game, bob.net);
    ASSERT_EQ(bob.net.lobbyState, kLobbyChooseSession);
    bob.Frames(3);  // the search runs

    // A tap between two frames, which the frame's own input poll asks for first.
    bob.keys.Tap(Key::Escape);
    bob.Frame();
    EXPECT_EQ(bob.net.lobbyState, kLobbyChooseProvider);
    EXPECT_FALSE(bob.net.panel.askingNickname);
    EXPECT_TRUE(bob.game->shell.networkLobby);

    // Held for several frames, a press still counts once.
    bob.Frame();
    bob.keys.held[static_cast<std::size_t>(Key::Escape)] = true;
    bob.Frames(4);
    bob.keys.held.fill(false);
    bob.Frame();
    EXPECT_TRUE(bob.net.panel.askingNickname);
    EXPECT_TRUE(bob.game->shell.networkLobby);

    // From the nickname to the title; Escape still held there does not end the game.
    bob.keys.held[static_cast<std::size_t>(Key::Escape)] = true;
    bob.Frames(3);
    EXPECT_FALSE(bob.game->shell.networkLobby);
    EXPECT_EQ(bob.game->shell.screen, kScreenTitle);
    EXPECT_FALSE(bob.host.quit);
    bob.keys.held.fill(false);
    bob.Frames(2);
    EXPECT_FALSE(bob.host.quit);
    bob.keys.Tap(Key::Escape);  // a new press on the title does
    bob.Frame();
    EXPECT_TRUE(bob.host.quit);
}

TEST_F(LobbyScreen, AnAddressTypedInTheSearchDoesNotEndUpInTheNickname) {
    LobbyMachine& bob = Add("Bob");
    LobbyJoinGame(*bob.game, bob.net);
    bob.keys.text = "10.0.0.5";  // the platform reports the digit keys too
    for (Key k : {Key::Num1, Key::Num0, Key::Num5}) bob.keys.Tap(k);
    bob.Frame();
    EXPECT_EQ(bob.net.panel.address, "10.0.0.5");
    bob.keys.Tap(Key::Escape);
    bob.Frames(2);
    bob.keys.Tap(Key::Escape);
    bob.Frames(2);
    ASSERT_TRUE(bob.net.panel.askingNickname);
    EXPECT_EQ(bob.net.panel.nickname, "Bob");
}

TEST_F(LobbyScreen, ArrowTapsBetweenFramesMoveTheSelection) {
    LobbyMachine& ann = Add("Ann");
    ASSERT_EQ(ann.net.panel.list.size(), 1u);  // the fake transport's one way to play
    ann.net.panel.list = {"One", "Two", "Three"};
    // A frame passes between two taps, as it does between a player's taps.
    ann.keys.Tap(Key::Down);
    ann.Frames(2);
    ann.keys.Tap(Key::Down);
    ann.Frames(2);
    EXPECT_EQ(ann.net.panel.selected, 2);
    ann.keys.Tap(Key::Up);
    ann.Frame();
    EXPECT_EQ(ann.net.panel.selected, 1);
}

TEST_F(LobbyScreen, LeavingASessionWithEscapeTellsTheOthersAndAllowsANewOne) {
    LobbyMachine& ann = Add("Ann");
    LobbyNewGame(*ann.game, ann.net);
    LobbyMachine& bob = Add("Bob");
    LobbyJoinGame(*bob.game, bob.net);
    LobbyJoinGame(*bob.game, bob.net);
    ASSERT_EQ(bob.net.lobbyState, kLobbyInSession);
    ann.Frames(20);
    ASSERT_EQ(ann.net.panel.list.size(), 2u);

    bob.keys.Tap(Key::Escape);
    bob.Frame();
    EXPECT_EQ(bob.net.lobbyState, kLobbyChooseProvider);
    ann.Frames(20);
    EXPECT_EQ(ann.net.panel.list, std::vector<std::string>{"Ann [Violet]"});

    // The host leaves too: its session ends, and Bob can host one of his own.
    ann.keys.Tap(Key::Escape);
    ann.Frame();
    EXPECT_EQ(ann.net.lobbyState, kLobbyChooseProvider);
    bob.net.panel.selected = 0;
    LobbyNewGame(*bob.game, bob.net);
    EXPECT_EQ(bob.net.lobbyState, kLobbyInSession);
    EXPECT_TRUE(bob.net.panel.notice.empty());
}

TEST_F(LobbyScreen, ASearchThatFindsNothingSaysSoAndKeepsSearching) {
    LobbyMachine& bob = Add("Bob");
    LobbyJoinGame(*bob.game, bob.net);
    bob.Frames(10);
    EXPECT_EQ(bob.Hint(), "SEARCHING FOR GAMES");
    bob.Frames(160);  // past five seconds
    EXPECT_EQ(bob.Hint(), "NO GAMES FOUND YET - STILL SEARCHING");
    EXPECT_EQ(bob.net.lobbyState, kLobbyChooseSession);

    LobbyMachine& ann = Add("Ann");
    LobbyNewGame(*ann.game, ann.net);
    bob.Frames(20);
    EXPECT_EQ(bob.net.panel.list, std::vector<std::string>{"Zorvo Quib - Ann"});
    EXPECT_EQ(bob.Hint(), "CHOOSE A GAME");
}

TEST_F(LobbyScreen, RefusalsShowInWordsOnTheScreenNotInAMessageBox) {
    LobbyMachine& ann = Add("Ann");
    LobbyNewGame(*ann.game, ann.net);
    LobbyMachine& bob = Add("Bob");
    LobbyJoinGame(*bob.game, bob.net);
    ASSERT_EQ(bob.net.panel.list.size(), 1u);

    hub.maxPlayers = 1;
    LobbyJoinGame(*bob.game, bob.net);
    EXPECT_EQ(bob.net.lobbyState, kLobbyChooseSession);  // the search goes on
    EXPECT_EQ(bob.Hint(), "THE GAME REFUSED: GAME FULL");
    EXPECT_EQ(bob.game->shell.status.text, "THE GAME REFUSED: GAME FULL");

    hub.maxPlayers = 4;
    hub.closed = true;  // Ann pressed Go meanwhile
    LobbyJoinGame(*bob.game, bob.net);
    EXPECT_EQ(bob.Hint(), "THE GAME REFUSED: GAME ALREADY STARTED");
    EXPECT_TRUE(bob.host.messages.empty());

    // The other results, as the player reads them.
    EXPECT_EQ(LobbyFailureText(kTransportTimedOut, false, "10.0.0.5:28416"), "NO GAME ANSWERS AT 10.0.0.5:28416");
    EXPECT_EQ(LobbyFailureText(kTransportNoSocket, true, "28416"), "COULD NOT OPEN PORT 28416");
    EXPECT_EQ(LobbyFailureText(kTransportWrongVersion, false, "10.0.0.5:28416"), "THE GAME REFUSED: DIFFERENT GAME VERSION");
    EXPECT_EQ(LobbyFailureText(kTransportNameInUse, false, "10.0.0.5:28416"), "THE GAME REFUSED: NAME IN USE");

    // A name that resolves to nothing is named as such, and stays typed.
    bob.keys.text = "no-such-host.invalid";
    bob.Frame();
    bob.keys.Tap(Key::Enter);
    bob.Frame();
    EXPECT_EQ(bob.Hint(), "NO SUCH HOST: no-such-host.invalid");
    EXPECT_EQ(bob.net.panel.address, "no-such-host.invalid");
}

// Over ENet on 127.0.0.1: nothing goes to a broadcast address, every wait is bounded.

std::unique_ptr<NetTransport> LoopbackEnet(int port) {
    NetworkSettings s;
    s.port = port;
    s.bindAddress = "127.0.0.1";
    s.broadcast = false;
    s.broadcastAddress = "127.255.255.255";
    return MakeEnetTransport(s);
}

TEST(LobbyJoinByAddress, TypedAddressIsAskedAndJoinedOverLoopback) {
    test::TempDir dir;
    const int port = test::FreeUdpPort();
    LobbyMachine ann(LoopbackEnet(port), dir);
    SubmitNickname(*ann.game, ann.net, "Ann");
    ann.net.port = port;
    ann.net.panel.selected = 0;  // "UDP/IP on this network"
    LobbyNewGame(*ann.game, ann.net);
    ASSERT_EQ(ann.net.lobbyState, kLobbyInSession);
    // The loopback game listens on ::1 as well where the machine has it.
    ASSERT_FALSE(ann.net.panel.hostAddresses.empty());
    EXPECT_EQ(ann.net.panel.hostAddresses[0], "127.0.0.1:" + std::to_string(port));
    if (ann.net.panel.hostAddresses.size() > 1) {
        EXPECT_EQ(ann.net.panel.hostAddresses, (std::vector<std::string>{"127.0.0.1:" + std::to_string(port),
                                                                         "[::1]:" + std::to_string(port)}));
    }

    LobbyMachine bob(LoopbackEnet(port), dir);
    SubmitNickname(*bob.game, bob.net, "Bob");
    bob.net.port = port;
    bob.net.panel.selected = 0;
    LobbyJoinGame(*bob.game, bob.net);
    ASSERT_EQ(bob.net.lobbyState, kLobbyChooseSession);

    // First an address where nobody listens: after five seconds the lobby says so.
    const std::string nobody = "127.0.0.1:" + std::to_string(test::FreeUdpPort());
    bob.keys.text = nobody;
    bob.Frame();
    bob.keys.Tap(Key::Enter);
    bob.Frame();
    EXPECT_EQ(bob.Hint(), "ASKING " + nobody);
    bob.Frames(180);
    EXPECT_EQ(bob.Hint(), "NO GAME ANSWERS AT " + nobody + " - STILL ASKING");
    EXPECT_EQ(bob.net.panel.address, nobody) << "kept for another try";
    const std::size_t kAddressTyped = nobody.size();
    for (std::size_t i = 0; i < 2 * kAddressTyped && !bob.net.panel.address.empty(); ++i) {
        bob.keys.Tap(Key::Backspace);
        bob.Frames(2);  // down, then up
    }
    ASSERT_TRUE(bob.net.panel.address.empty());

    // Then Ann's.  The join waits for her welcome across frames: each of
    // Bob's frames returns at once, and Escape gives the join up.
    const std::string annAddress = "127.0.0.1:" + std::to_string(port);
    bob.keys.text = annAddress;
    bob.Frame();
    bob.keys.Tap(Key::Enter);
    auto playBoth = [&](auto until, bool annToo) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(8);
        while (!until() && std::chrono::steady_clock::now() < end) {
            if (annToo) ann.Frame();
            const auto before = std::chrono::steady_clock::now();
            bob.Frame();
            EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(500)) << "a frame held up";
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    };
    playBoth([&] { return bob.net.lobbyState == kLobbyJoining; }, true);
    ASSERT_EQ(bob.net.lobbyState, kLobbyJoining) << bob.Hint();
    EXPECT_EQ(bob.Hint(), "JOINING " + annAddress + " - ESC: CANCEL");
    bob.Frames(3);  // Ann is busy: nothing answers, nothing waits
    bob.keys.Tap(Key::Escape);
    bob.Frame();
    EXPECT_EQ(bob.net.lobbyState, kLobbyChooseSession);
    EXPECT_EQ(bob.net.panel.address, annAddress);
    bob.keys.Tap(Key::Enter);
    playBoth([&] { return bob.net.lobbyState == kLobbyInSession; }, true);
    ASSERT_EQ(bob.net.lobbyState, kLobbyInSession) << bob.Hint();
    EXPECT_EQ(bob.net.panel.list, (std::vector<std::string>{"Ann [Violet]", "Bob [Red]"}));

    // Bob steps back out: Ann's list loses him.
    bob.keys.Tap(Key::Escape);
    bob.Frame();
    EXPECT_EQ(bob.net.lobbyState, kLobbyChooseProvider);
    for (int i = 0; i < 400 && ann.net.panel.list.size() != 1; ++i) {
        ann.Frame();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(ann.net.panel.list, std::vector<std::string>{"Ann [Violet]"});
}

}  // namespace
}  // namespace zq

namespace zq {
namespace {

// Every address a friend could use is on the screen, however many the
// machine has, and what the router said is never crowded out.
TEST(LobbyHostLines, EveryAddressIsShownWithinTheWidthAndTheRoutersWordComesLast) {
    const std::vector<std::string> addresses = {"192.168.1.20:28416", "10.8.0.3:28416", "[2001:db8:5:0:a1b2:c3d4:e5f6:1]:28416",
                                                "[2001:db8:5::20]:28416"};
    const std::vector<std::string> router = {"NOT ON THE INTERNET: NO ROUTER ANSWERED UPNP OR NAT-PMP",
                                             "FORWARD UDP PORT 28416 TO THIS MACHINE BY HAND"};
    const auto lines = HostLines(addresses, router);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].rfind("YOUR GAME: 192.168.1.20:28416", 0), 0u);
    std::string shown;
    for (const std::string& line : lines) {
        EXPECT_LE(line.size(), 72u) << "runs off the screen: " << line;
        shown += line + " ";
    }
    for (const std::string& a : addresses) EXPECT_NE(shown.find(a), std::string::npos) << a;
    EXPECT_EQ(lines[2], router[0]);
    EXPECT_EQ(lines[3], router[1]);
    // Without a router's answer (a loopback game) the addresses are all there is.
    EXPECT_EQ(HostLines({"127.0.0.1:28416", "[::1]:28416"}, {}),
              std::vector<std::string>{"YOUR GAME: 127.0.0.1:28416  [::1]:28416"});
}

}  // namespace
}  // namespace zq
