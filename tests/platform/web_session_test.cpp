// The browser game's frame routine, run on the generated data folder without
// a browser: the stand-in keys, the return to the title, settings written as
// they change, and input scripts on their own clock.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "core/file_io.h"
#include "platform/web/web_session.h"
#include "held_keys.h"
#include "test_game.h"
#include "test_util.h"

namespace zq {
namespace {

std::string ReadText(const std::filesystem::path& path) {
    auto bytes = ReadFileBytes(path, kMaxMediaFileBytes);
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
}

class WebSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        GameConfig config = test::HeadlessConfig(std::filesystem::path(ZQ_BUILD_DIR) / "data", dir.Path());
        config.writeSettings = true;  // as in the page, where the settings are kept
        settingsPath = *config.settingsFile;
        game = std::make_unique<Game>(config, input, audio, host);
        InitGame(*game);
        ResetFrameClock(game->shell, 0);
        SetScreen(*game, kScreenTitle);
        session = std::make_unique<WebSession>(*game, input, host, settingsPath);
    }
    // Runs `count` frames of 30 ms holding `held`; true when any asked for the settings to be kept.
    bool Frames(int count, std::initializer_list<Key> held = {}) {
        keys.down.fill(false);
        for (Key k : held) keys.down[static_cast<std::size_t>(k)] = true;
        bool persist = false;
        for (int i = 0; i < count; ++i) persist = session->Frame(ticks += 30) || persist;
        return persist;
    }

    test::TempDir dir;
    std::filesystem::path settingsPath;
    test::HeldKeys keys;
    BrowserInput input{keys};
    SilentAudio audio;
    BrowserHost host;
    std::unique_ptr<Game> game;
    std::unique_ptr<WebSession> session;
    std::uint32_t ticks = 0;
};

TEST(BrowserInputTest, TheBrowsersKeysCountOnlyThroughTheirStandIns) {
    test::HeldKeys keys;
    BrowserInput input(keys);
    auto hold = [&](std::initializer_list<Key> held) {
        keys.down.fill(false);
        for (Key k : held) keys.down[static_cast<std::size_t>(k)] = true;
    };
    hold({Key::T, Key::Backspace, Key::Z});
    EXPECT_TRUE(input.KeyDown(Key::F5));
    EXPECT_TRUE(input.KeyDown(Key::Escape));
    EXPECT_TRUE(input.KeyDown(Key::Ctrl));  // the look button
    EXPECT_FALSE(input.KeyDown(Key::F12));
    EXPECT_FALSE(input.KeyDown(Key::F6));  // F6 stays the page's full-screen key itself
    hold({Key::X});
    EXPECT_TRUE(input.KeyDown(Key::F12));
    EXPECT_FALSE(input.KeyDown(Key::F5));
    // The browser's own keys never reach the game: F5 reloads rather than
    // switching the textures, and Ctrl held with PageUp, PageDown or F4 is
    // a browser shortcut, not the look button with a game key.
    hold({Key::F5, Key::F11, Key::F12, Key::Ctrl, Key::PageUp, Key::F4, Key::Escape});
    for (Key k : {Key::F5, Key::F11, Key::F12, Key::Ctrl}) EXPECT_FALSE(input.KeyDown(k)) << KeyName(k);
    EXPECT_TRUE(input.KeyDown(Key::PageUp));
    EXPECT_TRUE(input.KeyDown(Key::F4));
    EXPECT_TRUE(input.KeyDown(Key::Escape));  // outside full screen the page gets it
    // While a script plays, the player's keys count for nothing.
    hold({Key::X});
    input.Play(ParseInputScript("1x 30 -\n"));
    EXPECT_FALSE(input.KeyDown(Key::X));
    EXPECT_FALSE(input.KeyDown(Key::F12));
}

TEST(BrowserInputTest, TouchControlsActAsAPadAndATapIsNeverLostBetweenFrames) {
    test::HeldKeys keys;
    BrowserInput input(keys);
    input.NewFrame();
    input.SetTouch(kTouchUp | kTouchAction);
    JoystickState stick = input.Joystick();
    EXPECT_TRUE(stick.up && stick.buttons[2]);
    EXPECT_FALSE(stick.down || stick.left || stick.right || stick.buttons[0] || stick.buttons[1] || stick.buttons[3]);
    EXPECT_FALSE(stick.present);  // the screens keep naming the keyboard's keys
    // A tap on the picture made and ended between two frames is Enter for the
    // whole next frame, and only for it.
    input.SetTouch(0);
    input.SetTouch(kTouchPicture);
    input.SetTouch(0);
    EXPECT_FALSE(input.Joystick().up);
    input.NewFrame();
    EXPECT_TRUE(input.KeyDown(Key::Enter));
    EXPECT_TRUE(input.KeyDown(Key::Enter));
    input.NewFrame();
    EXPECT_FALSE(input.KeyDown(Key::Enter));
    // A held button stays down across frames; a script shuts the touch out.
    input.SetTouch(kTouchMenu);
    input.NewFrame();
    input.NewFrame();
    EXPECT_TRUE(input.Joystick().buttons[3]);
    input.Play(ParseInputScript("1x 30 -\n"));
    EXPECT_FALSE(input.Joystick().buttons[3]);
}

TEST(FrameBudgetTest, F4OffersOnlyTheSizesWhoseFramesHold60Hz) {
    FrameBudget budget;
    // Every size F4 offers, in a window and in full screen, holds; `size` is among them or not.
    auto offers = [&](RenderSize size) {
        bool found = false;
        for (bool fullscreen : {false, true}) {
            for (const RenderSize s : OfferedSizes(budget.Room(), fullscreen)) {
                EXPECT_TRUE(s.width < 320 || budget.Holds(s)) << s.width << "x" << s.height;
                found = found || s == size;
            }
        }
        return found;
    };
    // Nothing measured yet: up to 640 x 480.
    EXPECT_EQ(OfferedSizes(budget.Room(), false).back(), (RenderSize{640, 480}));
    // 640 x 480 at 4 ms a frame (one slow frame aside): 1280 x 720 (three
    // times the pixels, 12 ms) is offered, 1920 x 1080 (27 ms) is not.
    for (std::size_t i = 0; i < FrameBudget::kSamples; ++i) budget.Add({640, 480}, i == 7 ? 300.0 : 4.0);
    EXPECT_TRUE(offers({1280, 720}));
    EXPECT_FALSE(offers({1920, 1080}));
    // Played, 1280 x 720 turns out slower than its share: it is left out.
    for (std::size_t i = 0; i < FrameBudget::kSamples; ++i) budget.Add({1280, 720}, 15.0);
    EXPECT_FALSE(offers({1280, 720}));
    EXPECT_TRUE(offers({640, 480}));
}

TEST(BrowserHostTest, FullScreenReadsAsAskedUntilThePageGrantsOrRefusesIt) {
    BrowserHost host;
    bool page = false;
    host.isFullscreen = [&] { return page; };
    host.setFullscreen = [](bool) {};
    host.SetFullscreen(true, {320, 240});
    EXPECT_TRUE(host.Fullscreen());  // asked, not granted yet
    page = true;
    EXPECT_TRUE(host.Fullscreen());
    // Leaving, refused: after half a second the page's own state counts again.
    host.SetFullscreen(false, {320, 240});
    EXPECT_FALSE(host.Fullscreen());
    for (int i = 0; i < 30; ++i) host.Tick();
    EXPECT_TRUE(host.Fullscreen());
}

TEST_F(WebSessionTest, EscapeOnTheTitleStartsTheTitleAgainInsteadOfEnding) {
    Frames(20);
    Frames(2, {Key::Backspace});
    EXPECT_FALSE(host.quitAsked);
    EXPECT_EQ(game->shell.screen, kScreenTitle);
    // The game goes on: Space still starts level 1.
    Frames(10);
    Frames(1, {Key::Space});
    Frames(60);
    EXPECT_EQ(game->shell.screen, kScreenPlay);
}

TEST_F(WebSessionTest, F1ShowsTheBrowsersKeysAndF5LeavesTheTexturesAlone) {
    Frames(20);
    Frames(1, {Key::F1});
    const std::string& help = game->shell.status.text;
    EXPECT_EQ(help, BrowserHelpText());
    for (const char* desktopOnly : {"F5", "F11", "NETWORK", "CTRL"})
        EXPECT_EQ(help.find(desktopOnly), std::string::npos) << desktopOnly;
    for (const char* browser : {"T DETAILS", "X COORDINATES", "BUTTON 2=Z", "BACKSPACE", "LOOK UP/DOWN"})
        EXPECT_NE(help.find(browser), std::string::npos) << browser;
    Frames(10);
    Frames(3, {Key::F5});
    EXPECT_TRUE(game->settings.texture);
    Frames(10);
    Frames(1, {Key::T});
    EXPECT_FALSE(game->settings.texture);
}

TEST_F(WebSessionTest, AChangedSettingIsWrittenAtOnceAndOnlyThen) {
    Frames(20);
    EXPECT_FALSE(Frames(5));
    EXPECT_TRUE(Frames(1, {Key::F7}));  // music off
    const std::string text = ReadText(settingsPath);
    EXPECT_NE(text.find("Music=False"), std::string::npos) << text;
    EXPECT_NE(text.find("Fullscreen=False"), std::string::npos) << text;
    EXPECT_FALSE(Frames(30));
    // A save written by the game itself (the in-game menu) is noticed too.
    SettingsFile file = SettingsFile::Load(settingsPath).value_or(SettingsFile{});
    SaveGame(file, 2, 3);
    ASSERT_TRUE(file.Save(settingsPath));
    EXPECT_TRUE(Frames(1));
    EXPECT_FALSE(Frames(1));
}

// The music volume set on the settings screen is the one the next write
// keeps: the write after F7 does not put back the volume read at the start.
TEST_F(WebSessionTest, TheSettingsScreensMusicVolumeOutlivesTheNextWrite) {
    Frames(20);
    Frames(1, {Key::F2});
    Frames(8);
    ASSERT_TRUE(game->settingsScreen.open);
    while (game->settingsScreen.entry < kSetMusicVolume) {
        Frames(1, {Key::Down});
        Frames(8);
    }
    ASSERT_EQ(game->settingsScreen.entry, kSetMusicVolume);
    Frames(1, {Key::Left});
    Frames(8);
    Frames(1, {Key::Escape});
    Frames(8);
    ASSERT_FALSE(game->settingsScreen.open);
    EXPECT_TRUE(Frames(1, {Key::F7}));  // music off: the browser writes its settings
    const SettingsFile file = SettingsFile::Load(settingsPath).value_or(SettingsFile{});
    EXPECT_EQ(file.GetInt("General", "MusicVolume", -1), 90);
    EXPECT_EQ(file.GetString("General", "Music"), "False");
}

TEST_F(WebSessionTest, TheLevelOneReplayFinishesItOnItsOwnClock) {
    std::string why;
    EXPECT_FALSE(session->PlayScript("3x forty up\n", why));
    EXPECT_FALSE(why.empty());
    EXPECT_FALSE(session->ScriptPlaying());

    // Started from the title, as the page's test does.
    Frames(20);
    std::ifstream in(std::filesystem::path(ZQ_SOURCE_DIR) / "content/replays/01_first_steps.txt");
    std::stringstream replay;
    replay << in.rdbuf();
    ASSERT_TRUE(session->PlayScript(replay.str(), why)) << why;
    EXPECT_EQ(game->shell.screen, kScreenPlay);
    // The real clock hardly moves while thousands of script frames run.
    for (int call = 0; call < 200 && session->ScriptPlaying(); ++call) session->Frame(ticks += 16, 64);
    EXPECT_FALSE(session->ScriptPlaying());
    const Actor& hero = game->actors.Local();
    EXPECT_EQ(hero.levelIndex, 1);
    EXPECT_FALSE(hero.dead);
    // The player's keys count again.
    keys.down[static_cast<std::size_t>(Key::Up)] = true;
    EXPECT_TRUE(input.KeyDown(Key::Up));
}

}  // namespace
}  // namespace zq
