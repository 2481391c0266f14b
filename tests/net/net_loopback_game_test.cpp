// Whole games over 127.0.0.1: headless game processes host and join a session,
// play the first level together and go back to the title.  Each process is
// bounded by its own frame count and by a kill after a time limit.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "net/free_port.h"
#include "net/game_process.h"
#include "test_util.h"

namespace zq {
namespace {

using test::Process;
using test::ReadJson;
using test::kReplay;

class NetLoopbackGame : public ::testing::Test {
protected:
    void SetUp() override {
        settings = dir.Write("net.ini", "[Network]\r\nBindAddress=127.0.0.1\r\nBroadcastAddress=127.255.255.255\r\n").string();
        port = test::FreeUdpPort();
    }
    // The first level's replay, idling at the exit, then the menu's "quit to
    // title" and a wait so the others hear of it.  The idling leaves the
    // others (each its own process, slower when the machine is busy) time to
    // reach the exit too.
    std::string HostScript(int idleFrames) {
        std::string script = test::ReadText(kReplay);
        script += "\n" + std::to_string(idleFrames) + "x 40 -\n1x 40 menu\n8x 40 -\n";
        for (int i = 0; i < 4; ++i) script += "1x 40 down\n8x 40 -\n";
        script += "1x 40 jump\n150x 40 -\n";
        return dir.Write("host.txt", script).string();
    }
    std::vector<std::string> Host(int players) {
        return {"--settings", settings, "--network-host", "Ann", "--network-players", std::to_string(players),
                "--network-port", std::to_string(port), "--start-level", "0", "--frame-ms", "40",
                "--input", HostScript(players > 2 ? 300 : 100), "--dump-state", (dir / "host.json").string()};
    }
    std::vector<std::string> Join(const std::string& nick, const std::string& script) {
        return {"--settings", settings, "--network-join", nick + "@127.0.0.1:" + std::to_string(port),
                "--input", dir.Write(nick + ".txt", script).string(), "--until-title",
                "--dump-state", (dir / (nick + ".json")).string()};
    }
    std::string Log(const std::string& name) { return test::ReadText(dir / (name + ".log")); }

    test::TempDir dir;
    std::string settings;
    int port = 0;
};

TEST_F(NetLoopbackGame, TwoPlayersShareALevelAndTheHostTakesEveryoneBackToTheTitle) {
    Process host(Host(2), dir / "host.log");
    // Bob walks a little way and waits; he never reaches the exit.
    Process bob(Join("Bob", "25x 40 up\n2000x 40 -\n"), dir / "bob.log");
    EXPECT_EQ(bob.Wait(std::chrono::seconds(120)), 0) << Log("bob");
    EXPECT_EQ(host.Wait(std::chrono::seconds(30)), 0) << Log("host");

    const nlohmann::json h = ReadJson(dir / "host.json"), b = ReadJson(dir / "Bob.json");
    ASSERT_TRUE(h.contains("players")) << Log("host");
    ASSERT_TRUE(b.contains("players")) << Log("bob");
    EXPECT_EQ(h["localPlayer"], 0);
    EXPECT_EQ(b["localPlayer"], 1);
    EXPECT_EQ(h["lastPlayer"], 1);
    EXPECT_EQ(b["lastPlayer"], 1);
    // The host took every ingot and reached the exit, where it waited for
    // Bob; at the end it was told that Bob's program had left.
    EXPECT_EQ(h["ingots"], 0);
    EXPECT_EQ(h["statusText"], "BOB HAS LEFT THE GAME");
    // Bob's world lost the same ingots, and he followed the host to the title.
    EXPECT_EQ(b["ingots"], 0);
    EXPECT_EQ(b["screen"], 0);
    EXPECT_EQ(b["players"][0]["levelIndex"], -1);
    // Each saw the other where he went: Ann at the exit, Bob a few steps from the start.
    EXPECT_NEAR(b["players"][0]["x"].get<double>(), h["players"][0]["x"].get<double>(), 64);
    EXPECT_NEAR(b["players"][0]["z"].get<double>(), h["players"][0]["z"].get<double>(), 64);
    EXPECT_NEAR(h["players"][1]["x"].get<double>(), b["players"][1]["x"].get<double>(), 64);
    EXPECT_NEAR(h["players"][1]["z"].get<double>(), b["players"][1]["z"].get<double>(), 64);
    EXPECT_GT(std::hypot(b["players"][1]["x"].get<double>() - 5120, b["players"][1]["z"].get<double>() - 768), 300);
    EXPECT_EQ(h["players"][1]["levelIndex"], -1);
}

TEST_F(NetLoopbackGame, FourPlayersFinishTheLevelWithoutTheOneWhoVanished) {
    Process host(Host(4), dir / "host.log");
    // The joiners' level starts a frame or two after their script does: the
    // idle frames in front keep their walk the replay's.
    const std::string replay = "10x 40 -\n" + test::ReadText(kReplay) + "\n3000x 40 -\n";
    Process bob(Join("Bob", replay), dir / "bob.log");
    Process cid(Join("Cid", replay), dir / "cid.log");
    Process dee(Join("Dee", "3000x 40 -\n"), dir / "dee.log");
    // Dee's program dies early in the level, without a word to the others.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (Log("dee").find("network game started") == std::string::npos && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_NE(Log("dee").find("network game started as player"), std::string::npos) << Log("dee") << Log("host");
    std::this_thread::sleep_for(std::chrono::seconds(3));
    dee.Kill();
    EXPECT_EQ(bob.Wait(std::chrono::seconds(150)), 0) << Log("bob");
    EXPECT_EQ(cid.Wait(std::chrono::seconds(30)), 0) << Log("cid");
    EXPECT_EQ(host.Wait(std::chrono::seconds(30)), 0) << Log("host");

    const nlohmann::json h = ReadJson(dir / "host.json");
    ASSERT_TRUE(h.contains("players")) << Log("host");
    EXPECT_EQ(h["lastPlayer"], 3);
    auto goneSlots = [](const nlohmann::json& j) {
        std::vector<int> slots;
        for (const auto& p : j["players"])
            if (p.value("gone", false)) slots.push_back(p["slot"].get<int>());
        return slots;
    };
    // Players take slots in the order they joined, so Dee's slot is whichever
    // the host gave it: the same one on every machine.  Bob and Cid saw only
    // Dee go; the host, ending last, also saw them leave, but Dee alone never
    // left the first level.
    int deeSlot = -1;
    for (int slot : goneSlots(h))
        if (h["players"][slot]["levelIndex"] == 0) deeSlot = slot;
    ASSERT_GT(deeSlot, 0) << h.dump();
    for (const char* nick : {"Bob", "Cid"}) {
        const nlohmann::json j = ReadJson(dir / (std::string(nick) + ".json"));
        ASSERT_TRUE(j.contains("players")) << nick;
        EXPECT_EQ(j["screen"], 0) << nick;
        EXPECT_GT(j["ingots"].get<int>(), 0) << nick << " did not follow into the second level";
        EXPECT_TRUE(j["players"][deeSlot].value("gone", false)) << nick << " " << j.dump();
    }
}

TEST_F(NetLoopbackGame, AJoinThatFindsNoSessionGivesUpAfterThirtySeconds) {
    Process bob({"--settings", settings, "--network-join", "Bob@127.0.0.1:" + std::to_string(port), "--frames", "10"},
                dir / "bob.log");
    EXPECT_EQ(bob.Wait(std::chrono::seconds(60)), 1);
    EXPECT_NE(Log("bob").find("no network game found at 127.0.0.1"), std::string::npos) << Log("bob");
}

}  // namespace
}  // namespace zq
