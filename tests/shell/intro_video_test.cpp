// The default content's intro video, played headless by the real player:
// the same pictures on every run, the title tune after it, and Space skips
// it without starting the game.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>

#include "core/file_io.h"
#include "test_util.h"

namespace zq {
namespace {

namespace fs = std::filesystem;

constexpr int kTitleMusicClip = 8;  // the clip the intro's NextClip names

class IntroVideo : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(fs::path(ZQ_BUILD_DIR) / "game_soft")) GTEST_SKIP() << "the game is not built here";
    }
    // Runs game_soft headless from the title with `arguments`; the state at the end.
    nlohmann::json Play(const std::string& arguments) {
        const fs::path state = dir / "state.json";
        fs::remove(state);
        const std::string command = "cd " + dir.Path().string() + " && " + (fs::path(ZQ_BUILD_DIR) / "game_soft").string() +
                                    " --data " + (fs::path(ZQ_BUILD_DIR) / "data").string() + " --headless " +
                                    arguments + " --dump-state " + state.string() + " > run.log 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << test::ReadText(dir / "run.log");
        auto bytes = ReadFileBytes(state, kMaxMediaFileBytes);
        if (!bytes) return {};
        return nlohmann::json::parse(std::string(bytes->begin(), bytes->end()));
    }
    std::string Shot(const std::string& name) { return (dir / name).string(); }

    test::TempDir dir;
};

TEST_F(IntroVideo, ShowsTheSamePicturesEveryRunThenTheTitleWithItsTune) {
    // Frame 60 is 1.8 s into the intro; frame 250 is 7.5 s, after its end.
    const std::string shots = " --screenshot " + Shot("a.png") + " --screenshot-frame 60 --screenshot " +
                              Shot("title.png") + " --screenshot-frame 250";
    nlohmann::json during = Play("--frames 60");
    EXPECT_EQ(during["screen"], 0);
    EXPECT_EQ(during["videoPlaying"], true);
    EXPECT_EQ(during["clip"], 0);

    nlohmann::json after = Play("--frames 250" + shots);
    EXPECT_EQ(after["screen"], 0);
    EXPECT_EQ(after["videoPlaying"], false);
    EXPECT_EQ(after["clip"], kTitleMusicClip);
    Play("--frames 60 --screenshot " + Shot("b.png"));

    const std::string a = test::ReadText(dir / "a.png"), b = test::ReadText(dir / "b.png");
    ASSERT_FALSE(a.empty());
    EXPECT_EQ(a, b) << "two runs showed different intro pictures";
    EXPECT_NE(a, test::ReadText(dir / "title.png")) << "the intro looked like the title screen";
}

TEST_F(IntroVideo, SpaceSkipsItToTheTitleTuneWithoutStartingTheGame) {
    dir.Write("skip.txt", "# watch a second, skip, hold Space a while, let go\n"
                          "30x 30 -\n"
                          "20x 30 jump\n"
                          "40x 30 -\n");
    nlohmann::json state = Play("--input skip.txt");
    EXPECT_EQ(state["videoPlaying"], false);
    EXPECT_EQ(state["clip"], kTitleMusicClip);
    EXPECT_EQ(state["screen"], 0);
    EXPECT_EQ(state["fadeActive"], false);
}

}  // namespace
}  // namespace zq
