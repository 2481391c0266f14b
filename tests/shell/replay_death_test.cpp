// A recorded death: the hero dies with lives to spare, the level starts again
// from its start and the status line counts the lives left.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>

#include "core/file_io.h"
#include "core/text.h"
#include "test_util.h"

namespace zq {
namespace {

namespace fs = std::filesystem;

nlohmann::json PlayHeadless(const std::string& arguments, const test::TempDir& dir) {
    const fs::path game = fs::path(ZQ_BUILD_DIR) / "game_soft";
    const fs::path state = dir / "state.json";
    std::string command = "cd " + dir.Path().string() + " && SDL_AUDIODRIVER=dummy " + game.string() + " --data " +
                          (fs::path(ZQ_BUILD_DIR) / "data").string() + " --headless " + arguments +
                          " --dump-state " + state.string() + " > run.log 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << test::ReadText(dir / "run.log");
    auto bytes = ReadFileBytes(state, kMaxMediaFileBytes);
    if (!bytes) return {};
    return nlohmann::json::parse(std::string(bytes->begin(), bytes->end()));
}

TEST(DeathReplay, CostsALifeRestartsTheLevelAndSaysSo) {
    const fs::path deaths = fs::path(ZQ_SOURCE_DIR) / "content" / "replays" / "death";
    if (!fs::exists(fs::path(ZQ_BUILD_DIR) / "game_soft")) GTEST_SKIP() << "the game is not built here";
    int played = 0;
    if (fs::is_directory(deaths)) {
        for (const auto& entry : fs::directory_iterator(deaths)) {
            if (entry.path().extension() != ".txt") continue;
            const std::string level = "LEVEL/" + ToUpper(entry.path().stem().string()) + ".LEV";
            SCOPED_TRACE(level);
            test::TempDir dir;
            nlohmann::json start = PlayHeadless("--level " + level + " --frames 1", dir);
            nlohmann::json end = PlayHeadless("--level " + level + " --input " + entry.path().string(), dir);
            ASSERT_FALSE(end.is_null());
            EXPECT_EQ(end["screen"], 1);
            EXPECT_EQ(end["levelIndex"], 0);
            EXPECT_EQ(end["lives"], 2);
            EXPECT_EQ(end["dead"], false);
            EXPECT_EQ(end["statusText"], "2 LIVES LEFT");
            // Back at the start point: the level was loaded again.
            EXPECT_EQ(end["hero"]["x"], start["hero"]["x"]);
            EXPECT_EQ(end["hero"]["z"], start["hero"]["z"]);
            EXPECT_EQ(end["hero"]["heading"], start["hero"]["heading"]);
            ++played;
        }
    }
    EXPECT_GE(played, 1) << "no recorded death in " << deaths;
}

}  // namespace
}  // namespace zq
