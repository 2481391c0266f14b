// The generated texts that follow the level list: the end credits name every
// level, the start-of-level hints name only levels that exist, and the game
// over has its tune.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "core/file_io.h"
#include "core/random.h"
#include "core/resolver.h"
#include "core/settings_file.h"
#include "shell/credits.h"
#include "shell/hints.h"
#include "world/level_file.h"

namespace zq {
namespace {

namespace fs = std::filesystem;

const fs::path kData = fs::path(ZQ_BUILD_DIR) / "data";

std::string Text(const std::string& name) {
    auto path = DataResolver(kData).Find(name);
    EXPECT_TRUE(path) << name;
    if (!path) return {};
    auto bytes = ReadFileBytes(*path, kMaxMediaFileBytes);
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
}

TEST(CampaignText, CreditsNameEveryLevelInPlayOrder) {
    const DataResolver data(kData);
    std::vector<std::string> shown;
    for (const std::string& stored : LoadCredits(data)) shown.push_back(DecodeCreditLine(stored).text);
    const std::vector<std::string> levels = ListLevels(data);
    ASSERT_GE(levels.size(), 25u);
    Random random;
    std::size_t from = 0;
    for (std::size_t i = 0; i < levels.size(); ++i) {
        World world;
        LevelLoadContext context{data, random, 0, {}};
        LoadLevelFile(world, context, levels[i], "High");
        const std::string number = (i < 9 ? "0" : "") + std::to_string(i + 1);
        const std::string want = number + "  " + world.description.substr(0, 32);
        std::size_t at = from;
        while (at < shown.size() && shown[at] != want) ++at;
        ASSERT_LT(at, shown.size()) << "the credits do not list \"" << want << "\" after the level before it";
        from = at + 1;
    }
}

TEST(CampaignText, HintsBelongToRealLevelsAndTheFirstLevelPointsAtTheHelp) {
    const DataResolver data(kData);
    const SettingsFile hints = LoadLevelHints(data);
    const std::vector<std::string> levels = ListLevels(data);
    ASSERT_FALSE(levels.empty());
    EXPECT_EQ(LevelHint(hints, levels[0]), "F1 - HELP");
    int withHint = 0;
    for (const std::string& level : levels) withHint += !LevelHint(hints, level).empty();
    EXPECT_GE(withHint, 5);
    // Every section of the file is one of the levels.
    const std::string text = Text(kHintFile);
    std::size_t at = 0, sections = 0;
    while ((at = text.find('[', at)) != std::string::npos) {
        const std::size_t end = text.find(']', at);
        ASSERT_NE(end, std::string::npos);
        ++sections;
        const std::string stem = text.substr(at + 1, end - at - 1);
        bool found = false;
        for (std::string level : levels) {
            std::replace(level.begin(), level.end(), '\\', '/');
            found = found || fs::path(level).stem().string() == stem;
        }
        EXPECT_TRUE(found) << stem;
        at = end;
    }
    EXPECT_EQ(sections, static_cast<std::size_t>(withHint));
}

TEST(CampaignText, LevelHintsIgnoreFolderAndCase) {
    const SettingsFile hints = SettingsFile::FromText("[03_DIG_DEEP]\r\nHint=shift digs\r\n");
    EXPECT_EQ(LevelHint(hints, "LEVEL\\03_DIG_DEEP.LEV"), "SHIFT DIGS");
    EXPECT_EQ(LevelHint(hints, "level/03_dig_deep.lev"), "SHIFT DIGS");
    EXPECT_EQ(LevelHint(hints, "LEVEL/04_OTHER.LEV"), "");
    EXPECT_EQ(LevelHint(hints, ""), "");
}

TEST(CampaignText, GameOverTuneIsAShortModule) {
    const std::string mod = Text("MUSIC/GAMEOVER.MOD");
    ASSERT_GT(mod.size(), 1084u);
    EXPECT_EQ(mod.substr(1080, 4), "M.K.");
    EXPECT_EQ(static_cast<unsigned char>(mod[950]), 1u);  // one pattern in the order: it plays once and ends
}

}  // namespace
}  // namespace zq
