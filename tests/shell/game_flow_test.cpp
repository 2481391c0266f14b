// Whole-game flows on the generated data folder: the screen machine, the
// in-game menu, deaths, game over and the saved game.
#include <gtest/gtest.h>

#include "core/scramble.h"
#include "rules/hero.h"
#include "shell/game.h"
#include "test_util.h"

namespace zq {
namespace {

struct HeldKeys : InputDevice {
    std::array<bool, kKeyCount> down{};
    bool KeyDown(Key key) override { return down[static_cast<std::size_t>(key)]; }
    MouseMotion TakeMouseMotion(bool) override { return {}; }
    JoystickState Joystick() override { return {}; }
};

struct TestHost : GameHost {
    bool fullscreen = false, quit = false;
    std::vector<std::string> messages;
    bool Fullscreen() override { return fullscreen; }
    void SetFullscreen(bool on, RenderSize) override { fullscreen = on; }
    void SetClientSize(int, int) override {}
    void ShowCursor(bool) override {}
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void Quit() override { quit = true; }
};

class GameFlow : public ::testing::Test {
protected:
    void SetUp() override {
        GameConfig config;
        config.dataDir = std::filesystem::path(ZQ_BUILD_DIR) / "data";
        config.startDir = dir.Path();
        config.settingsFile = dir / "quib.ini";
        config.writeSettings = false;
        config.seedFromClock = false;
        game = std::make_unique<Game>(config, keys, audio, host);
        InitGame(*game);
        ResetFrameClock(game->shell, 0);
        SetScreen(*game, kScreenTitle);
    }
    // Runs `count` frames of 30 ms holding `held`.
    void Frames(int count, std::initializer_list<Key> held = {}) {
        keys.down.fill(false);
        for (Key k : held) keys.down[static_cast<std::size_t>(k)] = true;
        for (int i = 0; i < count && !host.quit; ++i) {
            ticks += 30;
            GameFrame(*game, ticks);
        }
    }
    // Presses and releases, with enough idle frames for the fade to finish.
    void Press(std::initializer_list<Key> held, int idle = 40) {
        Frames(1, held);
        Frames(idle);
    }
    Actor& Local() { return game->actors.Local(); }

    test::TempDir dir;
    HeldKeys keys;
    SilentAudio audio;
    TestHost host;
    std::unique_ptr<Game> game;
    std::uint32_t ticks = 0;
};

TEST_F(GameFlow, TitleToPlayThroughEveryLevelToCreditsAndBack) {
    ASSERT_GT(game->shell.levelCount, 1);
    Frames(5);
    EXPECT_EQ(game->shell.screen, kScreenTitle);
    Press({Key::Space});
    EXPECT_EQ(game->shell.screen, kScreenPlay);
    EXPECT_EQ(Local().levelIndex, 0);
    EXPECT_EQ(Local().lives, 3);
    for (int level = 1; level < game->shell.levelCount; ++level) {
        Press({Key::Ctrl, Key::Alt, Key::Insert}, 12);
        ASSERT_EQ(Local().levelIndex, level);
        EXPECT_EQ(game->shell.screen, kScreenPlay);
    }
    Press({Key::Ctrl, Key::Alt, Key::Insert}, 12);  // past the last level: the credits, never level 0
    EXPECT_EQ(game->shell.screen, kScreenCredits);
    Frames(60);
    Press({Key::Shift});
    EXPECT_EQ(game->shell.screen, kScreenTitle);
    Press({Key::Escape}, 1);
    EXPECT_TRUE(host.quit);
}

TEST_F(GameFlow, MenuViewCycleAndQuitToTitle) {
    Press({Key::Space});
    ASSERT_EQ(game->shell.screen, kScreenPlay);
    Press({Key::Escape}, 10);
    ASSERT_TRUE(game->play.menuOpen);
    // Entry 3: next view, the menu stays open.
    for (int i = 0; i < 3; ++i) Press({Key::Down}, 8);
    EXPECT_EQ(game->play.menuEntry, 3);
    for (int view = 1; view <= 4; ++view) Press({Key::Space}, 8);
    EXPECT_EQ(Local().cameraDistance, 0);  // 512, 1024, 1536, then back to first person
    EXPECT_EQ(game->shell.status.text, "1ST PERSON VIEW");
    EXPECT_TRUE(game->play.menuOpen);
    // Up from 3 twice more wraps nowhere; down once is quit.
    Press({Key::Down}, 8);
    Press({Key::Space}, 40);
    EXPECT_EQ(game->shell.screen, kScreenTitle);
}

TEST_F(GameFlow, EscapeClosesTheMenuAndHoldingItDoesNotReopenAtOnce) {
    Press({Key::Space});
    Press({Key::Escape}, 10);
    ASSERT_TRUE(game->play.menuOpen);
    Frames(3, {Key::Escape});
    EXPECT_FALSE(game->play.menuOpen);
}

TEST_F(GameFlow, SaveAndLoadThroughTheMenuWithClamps) {
    Press({Key::Space});
    Press({Key::Ctrl, Key::Alt, Key::Insert}, 12);
    ASSERT_EQ(Local().levelIndex, 1);
    Press({Key::Escape}, 10);
    Press({Key::Down}, 8);
    Press({Key::Down}, 8);
    Press({Key::Space}, 8);  // entry 2: save
    EXPECT_EQ(game->shell.status.text, "GAME SAVED");
    auto file = SettingsFile::Load(dir / "quib.ini");
    ASSERT_TRUE(file);
    EXPECT_EQ(Scramble(file->GetString("Save", "Index")), "300001");

    // A saved game of 150 lives in a level past the list loads clamped.
    file->SetString("Save", "Index", Scramble("15000999"));
    file->Save(dir / "quib.ini");
    Press({Key::Escape}, 10);
    Press({Key::Down}, 8);
    Press({Key::Space}, 12);  // entry 1: load
    EXPECT_EQ(game->shell.status.text, "GAME LOADED");
    EXPECT_EQ(Local().lives, 99);
    EXPECT_EQ(Local().levelIndex, game->shell.levelCount - 1);
}

TEST_F(GameFlow, DeathCostsALifeAndRestartsTheLevelThenGameOver) {
    Press({Key::Space});
    ASSERT_EQ(game->shell.screen, kScreenPlay);
    Local().lives = 1;
    KillHero(Local(), game->rules);
    Frames(80);  // the 2-second stun, then the restart
    EXPECT_EQ(Local().lives, 0);
    EXPECT_FALSE(Local().dead);
    EXPECT_EQ(game->shell.status.text, "0 LIVES LEFT");
    EXPECT_EQ(game->shell.screen, kScreenPlay);

    KillHero(Local(), game->rules);  // no life left: the game ends at once
    Frames(120);
    EXPECT_EQ(game->shell.screen, kScreenTitle);
}

TEST_F(GameFlow, ASecondFireDuringTheFadeChangesNothing) {
    Frames(1, {Key::Space});
    std::int32_t level = game->shell.fade.level;
    std::int32_t style = game->shell.fade.style;
    Frames(3, {Key::Space});
    EXPECT_TRUE(game->shell.fade.active);
    EXPECT_EQ(game->shell.fade.style, style);
    EXPECT_GE(game->shell.fade.level, level);
}

}  // namespace
}  // namespace zq

namespace zq {
namespace {

TEST_F(GameFlow, CinematicRunsItsTimedShotsAndButtonsSkipIt) {
    Press({Key::Space});
    ClipDef& clip = game->world->clips[40];
    clip = ClipDef{};
    clip.hasFrames = true;
    clip.frames[0].duration = 0;  // shown for one frame only
    clip.frames[1].duration = 300;
    clip.frames[1].cameraA = {2048, 800, 2048, 0, 0, 0};
    clip.frames[1].cameraB = {2560, 800, 2048, 4096, 0, 0};
    clip.frames[1].text = "ONE|TWO";
    StartClip(*game, 40);
    ASSERT_TRUE(game->shell.cinematicPlaying);
    Frames(1);
    Frames(1);
    EXPECT_EQ(game->clips.frame, 1);
    EXPECT_TRUE(game->shell.cinematicPlaying);
    Frames(12);
    EXPECT_FALSE(game->shell.cinematicPlaying);

    StartClip(*game, 40);
    Frames(8);
    Frames(1, {Key::Space});
    EXPECT_FALSE(game->shell.cinematicPlaying);
    StartClip(*game, 65);  // outside the table: nothing starts
    StartClip(*game, -1);
    EXPECT_FALSE(game->shell.cinematicPlaying);
}

TEST(Cinematic, LampAndTextPlacement) {
    EXPECT_EQ(CinematicLampRadius(50), 3072);
    EXPECT_EQ(CinematicLampRadius(100), 6144);
    auto one = CinematicTextLines("HELLO");
    ASSERT_EQ(one.size(), 1u);
    EXPECT_FLOAT_EQ(one[0].second, 0.825f);
    auto three = CinematicTextLines("A|B|C");
    ASSERT_EQ(three.size(), 3u);
    EXPECT_NEAR(three[0].second, 0.705f, 1e-6);
    EXPECT_EQ(three[2].first, "C");
}

}  // namespace
}  // namespace zq
