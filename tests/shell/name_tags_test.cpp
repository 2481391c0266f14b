// The names over the other players' heads: shown for a player in view, and
// for nobody behind the camera, in another level, out of lives or gone.
#include "shell/name_tags.h"

#include <gtest/gtest.h>

#include "held_keys.h"
#include "render/overlay.h"
#include "rules/rules_math.h"
#include "test_game.h"
#include "test_util.h"

namespace zq {
namespace {

class NameTags : public ::testing::Test {
protected:
    void SetUp() override {
        game = std::make_unique<Game>(test::HeadlessConfig(std::filesystem::path(ZQ_BUILD_DIR) / "data", dir.Path()), keys,
                                      audio, host);
        InitGame(*game);
        ResetFrameClock(game->shell, 0);
        // Two players in one game, as network play sets them up.
        game->actors.lastPlayer = 1;
        game->net.playerName = [](int slot) { return std::string(slot == 1 ? "Bob" : "Ann"); };
        game->net.playerGone = [this](int) { return bobGone; };
        Actor& ann = game->actors.Local();
        ann.levelIndex = 0;
        ann.lives = 3;
        StartLevel(*game, 0);
        for (int i = 0; i < 80; ++i) GameFrame(*game, ticks += 30);
        ASSERT_EQ(game->shell.screen, kScreenPlay);
    }
    // Puts Bob `distance` units from the camera along its heading (behind it
    // when negative), at the height of Ann.
    void PlaceBob(float distance) {
        const Actor& ann = game->actors.Local();
        Actor& bob = game->actors.actor[1];
        bob.levelIndex = ann.levelIndex;
        bob.lives = 2;
        bob.x = ann.cameraX + static_cast<float>(distance * AngleSin(ann.cameraHeading));
        bob.y = ann.y;
        bob.z = ann.cameraZ + static_cast<float>(distance * AngleCos(ann.cameraHeading));
    }
    int Tags() { return PlayerNameTags(*game, tags); }

    test::TempDir dir;
    test::HeldKeys keys;
    SilentAudio audio;
    test::RecordingHost host;
    std::unique_ptr<Game> game;
    std::uint32_t ticks = 0;
    bool bobGone = false;
    std::array<NameTag, kActorCount> tags;
};

TEST_F(NameTags, APlayerInViewCarriesHisNameAboveHisHead) {
    PlaceBob(2000);
    ASSERT_EQ(Tags(), 1);
    EXPECT_EQ(tags[0].text, "Bob");
    const float centre = tags[0].x + TextWidth("Bob", false) / 2;
    EXPECT_NEAR(centre, 0.5f, 0.05f);
    EXPECT_GT(tags[0].y, 0.0f);
    EXPECT_LT(tags[0].y, 1.0f);
    // The frame that draws the tags runs without trouble.
    GameFrame(*game, ticks += 30);
}

TEST_F(NameTags, NobodyBehindTheCameraFarAwayElsewhereOutOrGoneIsTagged) {
    PlaceBob(-2000);
    EXPECT_EQ(Tags(), 0);
    PlaceBob(kNameTagReach + 2000);
    EXPECT_EQ(Tags(), 0);
    PlaceBob(2000);
    game->actors.actor[1].levelIndex = 1;
    EXPECT_EQ(Tags(), 0);
    PlaceBob(2000);
    game->actors.actor[1].lives = -1;
    EXPECT_EQ(Tags(), 0);
    PlaceBob(2000);
    bobGone = true;
    EXPECT_EQ(Tags(), 0);
}

}  // namespace
}  // namespace zq
