// Whole games in separate processes over links that fail the way real ones
// do: a joiner behind a relay that loses, delays and reorders datagrams, one
// behind a relay that blacks out for seconds, a player who drops out and
// comes back, and one who comes too late.  Everything stays on 127.0.0.1 and
// every process and wait is bounded.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "net/game_process.h"
#include "net/udp_relay.h"
#include "test_util.h"

namespace zq {
namespace {

using test::Process;
using test::ReadJson;

class NetLinkGame : public ::testing::Test {
protected:
    void SetUp() override {
        settings = dir.Write("net.ini", "[Network]\r\nBindAddress=127.0.0.1\r\nBroadcastAddress=127.255.255.255\r\n").string();
        // Apart from the ports of the loopback game tests, which may run at the same time.
        port = 30000 + static_cast<int>((getpid() * 13 + 7) % 29000);
    }
    // The first level's replay (every ingot, then the exit), `idleFrames`
    // waiting there, then the menu's "quit to title" and a wait so the
    // others hear of it.
    std::string HostScript(int idleFrames) {
        std::string script = test::ReadText(test::kReplay);
        script += "\n" + std::to_string(idleFrames) + "x 40 -\n1x 40 menu\n8x 40 -\n";
        for (int i = 0; i < 4; ++i) script += "1x 40 down\n8x 40 -\n";
        script += "1x 40 jump\n150x 40 -\n";
        return dir.Write("host.txt", script).string();
    }
    std::vector<std::string> Host(int players, int idleFrames) {
        return {"--settings", settings, "--network-host", "Ann", "--network-players", std::to_string(players),
                "--network-port", std::to_string(port), "--start-level", "0", "--frame-ms", "40",
                "--input", HostScript(idleFrames), "--dump-state", (dir / "host.json").string()};
    }
    std::vector<std::string> Join(const std::string& nick, int viaPort, const std::string& script,
                                  const std::string& dump) {
        return {"--settings", settings, "--network-join", nick + "@127.0.0.1:" + std::to_string(viaPort),
                "--input", dir.Write(dump + ".txt", script).string(), "--until-title",
                "--dump-state", (dir / (dump + ".json")).string()};
    }
    std::string Log(const std::string& name) { return test::ReadText(dir / (name + ".log")); }
    bool WaitForLog(const std::string& name, const std::string& text, std::chrono::seconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (Log(name).find(text) == std::string::npos) {
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return true;
    }

    test::TempDir dir;
    std::string settings;
    int port = 0;
};

TEST_F(NetLinkGame, AGameHoldsThroughALossyLinkAndATenSecondOutage) {
    // Bob's link loses a fifth of the datagrams each way and delays each by
    // 50 to 150 ms; Cid's is clean until it goes dark for ten seconds.
    test::UdpRelay lossy(port + 1, port, test::LinkFaults{0.2, 50, 150, 7});
    test::UdpRelay dark(port + 2, port, test::LinkFaults{0, 0, 0, 1});
    ASSERT_TRUE(lossy.Ready() && dark.Ready());
    Process host(Host(3, 400), dir / "host.log");
    Process bob(Join("Bob", port + 1, "25x 40 up\n3000x 40 -\n", "Bob"), dir / "bob.log");
    Process cid(Join("Cid", port + 2, "20x 40 down\n3000x 40 -\n", "Cid"), dir / "cid.log");
    ASSERT_TRUE(WaitForLog("cid", "network game started", std::chrono::seconds(60))) << Log("cid") << Log("host");
    std::this_thread::sleep_for(std::chrono::seconds(4));
    dark.BlackOut(std::chrono::seconds(10));

    EXPECT_EQ(bob.Wait(std::chrono::seconds(150)), 0) << Log("bob");
    EXPECT_EQ(cid.Wait(std::chrono::seconds(30)), 0) << Log("cid");
    EXPECT_EQ(host.Wait(std::chrono::seconds(30)), 0) << Log("host");
    EXPECT_GT(lossy.Dropped(), 0);
    EXPECT_GT(dark.Dropped(), 0);

    const nlohmann::json h = ReadJson(dir / "host.json");
    ASSERT_TRUE(h.contains("players")) << Log("host");
    EXPECT_EQ(h["ingots"], 0);
    for (const char* nick : {"Bob", "Cid"}) {
        const nlohmann::json j = ReadJson(dir / (std::string(nick) + ".json"));
        ASSERT_TRUE(j.contains("players")) << nick << Log(nick == std::string("Bob") ? "bob" : "cid");
        // Still in the game when the host ended it: never dropped.
        EXPECT_EQ(j["lastPlayer"], 2) << nick;
        EXPECT_NE(j["statusText"], "CONNECTION TO THE HOST LOST") << nick;
        EXPECT_EQ(j["screen"], 0) << nick << " did not follow the host to the title";
        // Every ingot the host took, through loss and outage, left this world too.
        EXPECT_EQ(j["ingots"], 0) << nick;
        const int slot = j["localPlayer"].get<int>();
        EXPECT_EQ(h["players"][slot]["lives"], j["lives"]) << nick;
    }
}

// The slot of a player whose program ended belongs to that program alone:
// a newcomer is turned away, and so is a new program under the same name,
// which lacks the rejoin token (coming back in the same program is the
// in-process NetPlayTest's case).
TEST_F(NetLinkGame, ADroppedPlayersNameAloneTakesNoSlotAndANewOneIsTurnedAway) {
    Process host(Host(2, 300), dir / "host.log");
    // Bob's program ends a few seconds into the level...
    Process bob(Join("Bob", port, "25x 40 up\n60x 40 -\n", "first"), dir / "bob.log");
    EXPECT_EQ(bob.Wait(std::chrono::seconds(90)), 0) << Log("bob");
    ASSERT_NE(Log("bob").find("network game started as player 2 of 2"), std::string::npos) << Log("bob");
    // ...Cid, new to the game, is turned away...
    Process cid({"--settings", settings, "--network-join", "Cid@127.0.0.1:" + std::to_string(port), "--frames", "10"},
                dir / "cid.log");
    EXPECT_EQ(cid.Wait(std::chrono::seconds(60)), 1);
    EXPECT_NE(Log("cid").find("GAME ALREADY STARTED"), std::string::npos) << Log("cid");
    // ...and so is a new program calling itself Bob.
    Process again({"--settings", settings, "--network-join", "Bob@127.0.0.1:" + std::to_string(port), "--frames", "10"},
                  dir / "again.log");
    EXPECT_EQ(again.Wait(std::chrono::seconds(60)), 1);
    EXPECT_NE(Log("again").find("NAME IN USE"), std::string::npos) << Log("again");
    EXPECT_EQ(host.Wait(std::chrono::seconds(90)), 0) << Log("host");
}

}  // namespace
}  // namespace zq
