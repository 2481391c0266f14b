// Whole-game flows on the generated data folder: the screen machine, the
// in-game menu, deaths, game over and the saved game.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>

#include <SDL.h>

#include <cmath>
#include <fstream>
#include <limits>

#include "core/scramble.h"
#include "platform/sdl_input.h"
#include "render/soft/soft_renderer.h"
#include "rules/hero.h"
#include "rules/rules_math.h"
#include "shell/game.h"
#include "held_keys.h"
#include "test_game.h"
#include "test_util.h"

namespace zq {
namespace {

using test::HeldKeys;

// Silent, but counts how often the positional sounds follow the listener.
struct CountingAudio : Audio {
    int updates = 0;
    int effects = -1;  // the last effects volume set
    void LoadSound(std::int32_t, const std::string&) override {}
    void PlaySound(SoundRef, bool) override {}
    void PlaySoundAt(SoundRef, std::int32_t, std::int32_t, std::int32_t, std::int32_t) override {}
    void UpdatePositionalSounds(const Listener&) override { ++updates; }
    void StopAllSounds() override {}
    void PlayMusic(const std::string&, bool) override {}
    void StopMusic() override {}
    void SetMusicVolume(int) override {}
    void SetEffectsVolume(int percent) override { effects = percent; }
};

class GameFlow : public ::testing::Test {
protected:
    void SetUp() override {
        game = std::make_unique<Game>(test::HeadlessConfig(std::filesystem::path(ZQ_BUILD_DIR) / "data", dir.Path()), keys,
                                      audio, host);
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
    CountingAudio audio;
    test::RecordingHost host;
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
    game->settingsStore->File().SetString("Save", "Index", Scramble("15000999"));
    Press({Key::Escape}, 10);
    Press({Key::Down}, 8);
    Press({Key::Space}, 12);  // entry 1: load
    EXPECT_EQ(game->shell.status.text, "GAME LOADED");
    EXPECT_EQ(Local().lives, 99);
    EXPECT_EQ(Local().levelIndex, game->shell.levelCount - 1);
}

// "GAME SAVED" only when the file is on disk; otherwise the status line says
// why, and a read-only file keeps its bytes.
TEST_F(GameFlow, SaveGameSaysWhyNothingWasSaved) {
    Press({Key::Space});
    auto save = [&] {
        Press({Key::Escape}, 10);
        Press({Key::Down}, 8);
        Press({Key::Down}, 8);
        Press({Key::Space}, 8);
        return game->shell.status.text;
    };
    std::filesystem::create_directories(dir / "folder.ini");
    game->settingsStore = SettingsStore(dir / "folder.ini");
    EXPECT_EQ(save(), "GAME NOT SAVED: IS A FOLDER");

    const auto readOnly = dir.Write("locked.ini", "[General]\nTop=5\n");
    std::filesystem::permissions(readOnly, std::filesystem::perms::owner_read);
    game->settingsStore = SettingsStore(readOnly);
    EXPECT_EQ(save(), "GAME NOT SAVED: READ-ONLY");
    EXPECT_EQ(test::ReadText(readOnly), "[General]\nTop=5\n");

    game->settingsStore = SettingsStore();  // a headless run without --settings keeps nothing
    EXPECT_EQ(save(), "GAME NOT SAVED: NO SETTINGS FILE");

    // A settings file that cannot be read is not replaced by the saved game alone.
    ASSERT_EQ(::mkfifo((dir / "pipe.ini").c_str(), 0600), 0);
    game->settingsStore = SettingsStore(dir / "pipe.ini");
    EXPECT_EQ(save(), "GAME NOT SAVED: CANNOT READ SETTINGS");
    game->config.writeSettings = true;  // nor by the settings at exit
    EXPECT_EQ(ShutdownGame(*game).written.code, "CANNOT READ SETTINGS");
    game->config.writeSettings = false;
    EXPECT_TRUE(std::filesystem::is_fifo(dir / "pipe.ini"));

    // A missing folder on a read-only file system: the file system is the cause.
    std::filesystem::create_directories(dir / "ro");
    if (::mount("tmpfs", (dir / "ro").c_str(), "tmpfs", MS_RDONLY, "size=16k") == 0) {
        game->settingsStore = SettingsStore(dir / "ro/zorvoquib/quib.ini");
        EXPECT_EQ(save(), "GAME NOT SAVED: READ-ONLY FILE SYSTEM");
        ::umount((dir / "ro").c_str());
    }

    // A full disk: a small tmpfs filled to the brim (mounting needs root).
    std::filesystem::create_directories(dir / "small");
    if (::mount("tmpfs", (dir / "small").c_str(), "tmpfs", 0, "size=16k") != 0) {
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root): the full-disk save is not tried";
    }
    {
        std::ofstream filler(dir / "small/filler", std::ios::binary);
        const std::string block(1024, 'x');
        for (int i = 0; i < 64 && filler; ++i) filler << block << std::flush;
    }
    game->settingsStore = SettingsStore(dir / "small/quib.ini");
    EXPECT_EQ(save(), "GAME NOT SAVED: DISK FULL");
    EXPECT_FALSE(std::filesystem::exists(dir / "small/quib.ini"));
    ::umount((dir / "small").c_str());

    game->settingsStore = SettingsStore(dir / "quib.ini");
    EXPECT_EQ(save(), "GAME SAVED");
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
    Frames(60);
    EXPECT_EQ(game->shell.screen, kScreenGameOver);
    Frames(240);
    EXPECT_EQ(game->shell.screen, kScreenTitle);
}

// The clock stops at the exit: a hero who walks in with a breath of time
// left is not killed by it while the level fades out.
TEST_F(GameFlow, TheClockStopsAtTheExit) {
    Press({Key::Space});
    ASSERT_EQ(game->shell.screen, kScreenPlay);
    for (int i = 0; i < 200 && game->shell.fade.active; ++i) Frames(1);  // the level's opening fade
    const World& w = *game->world;
    Local().x = static_cast<float>(w.exitX * kCellSize + kCellSize / 2);
    Local().z = static_cast<float>(w.exitZ * kCellSize + kCellSize / 2);
    Local().y = static_cast<float>(w.exitY * kCellSize + kCellSize / 2);
    const std::int32_t lives = Local().lives;
    game->world->timerRunning = 1;
    game->world->timerLeft = 100;  // ms: gone within the fade
    bool killed = false;
    for (int i = 0; i < 80 && Local().levelIndex == 0; ++i) {
        Frames(1);
        killed = killed || Local().dead;
    }
    EXPECT_EQ(Local().levelIndex, 1);
    EXPECT_FALSE(killed) << "the clock killed the hero in the exit";
    EXPECT_EQ(Local().lives, lives);
}

// Where the hero is on the screen of the current view: the eye-space
// direction from the camera, as the renderer turns it (x right, y up, z ahead).
Vec3i HeroInEye(const Actor& a) {
    Matrix3 turn = RotationMatrix(TruncToInt(a.cameraHeading), TruncToInt(a.cameraPitch), TruncToInt(a.cameraRoll));
    return Rotate(turn, a.x - a.cameraX, a.y - a.cameraY, a.z - a.cameraZ);
}

TEST_F(GameFlow, ThirdPersonViewsKeepTheHeroInTheMiddleOfTheScreen) {
    Press({Key::Space});
    ASSERT_EQ(game->shell.screen, kScreenPlay);
    for (float distance : {512.0f, 1024.0f, 1536.0f}) {
        Local().cameraDistance = distance;
        for (Key turn : {Key::Left, Key::None}) {
            Frames(20, {turn});
            Frames(60);  // the camera settles behind the hero
            Vec3i eye = HeroInEye(Local());
            ASSERT_GT(eye.z, 0) << distance;
            EXPECT_LT(std::abs(eye.x), eye.z / 5) << distance;
            EXPECT_LT(std::abs(eye.y), eye.z / 5) << distance;
            EXPECT_LT(Local().cameraPitch, 0) << distance;  // above the hero, looking down at him
        }
    }
}

// Only the game-over ends a play frame early: the frame of a restart after a
// death, and the frame of a level skip, still draw the new level.
TEST_F(GameFlow, RestartAndLevelSkipFramesRunToTheEnd) {
    Press({Key::Space});
    std::int32_t spin = game->play.exitSpin;
    Frames(1, {Key::Ctrl, Key::Alt, Key::Insert});
    ASSERT_EQ(Local().levelIndex, 1);
    EXPECT_NE(game->play.exitSpin, spin);

    Frames(40);
    KillHero(Local(), game->rules);
    const std::int32_t lives = Local().lives;
    for (int i = 0; i < 200 && Local().lives == lives; ++i) {
        spin = game->play.exitSpin;
        Frames(1);
    }
    ASSERT_EQ(Local().lives, lives - 1);
    EXPECT_NE(game->play.exitSpin, spin);
}

// The menu's button, forward, back and menu keys each act when held together.
TEST_F(GameFlow, MenuKeysHeldTogetherEachAct) {
    Press({Key::Space});
    Press({Key::Escape}, 10);
    ASSERT_TRUE(game->play.menuOpen);
    Press({Key::Up, Key::Down}, 8);  // up to 5, then down back to 0
    EXPECT_EQ(game->play.menuEntry, 0);
    for (int i = 0; i < 3; ++i) Press({Key::Down}, 8);
    ASSERT_EQ(game->play.menuEntry, 3);
    Press({Key::Space, Key::Escape}, 8);  // the next view, and the menu closes
    EXPECT_EQ(Local().cameraDistance, 512);
    EXPECT_FALSE(game->play.menuOpen);
}

// The positional sounds follow the camera from the mechanisms step, at most
// every 66 ms, not on every frame.
TEST_F(GameFlow, PositionalSoundsUpdateAtMostEvery66Ms) {
    Press({Key::Space});
    audio.updates = 0;
    Frames(30);  // 900 ms
    EXPECT_GE(audio.updates, 8);
    EXPECT_LE(audio.updates, 14);
}

// A size chosen with F4 is the window's client size, saved at shutdown.
TEST_F(GameFlow, ResolutionKeySizeIsSavedAsTheWindowSize) {
    Frames(10);
    Frames(1, {Key::F4});
    Frames(30);
    Frames(1, {Key::F4});
    Frames(30);
    ASSERT_EQ(game->renderSize.width, 640);
    game->config.writeSettings = true;
    ShutdownGame(*game);
    auto file = SettingsFile::Load(dir / "quib.ini");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->GetInt("General", "Width", 0), 640);
    EXPECT_EQ(file->GetInt("General", "Height", 0), 480);
    EXPECT_EQ(file->GetInt("General", "Resolution", 0), 4);
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

// A cinematic clears to the level's fog colour, like the play view.
TEST_F(GameFlow, CinematicClearsToTheFogColour) {
    Press({Key::Space}, 80);  // past the fade-in
    game->world->fogRed = 200;
    game->world->fogGreen = 40;
    game->world->fogBlue = 40;
    ReloadBank(*game, true);
    const int fog = game->overlay.FogClearColour();
    ASSERT_NE(fog, 0);
    ClipDef& clip = game->world->clips[41];
    clip = ClipDef{};
    clip.hasFrames = true;
    clip.cinemascope = false;
    clip.frames[0].duration = 1000;
    clip.frames[0].cameraA = clip.frames[0].cameraB = {-3000, 800, -3000, 16384 + 8192, 0, 0};  // outside, looking away
    StartClip(*game, 41);
    Frames(2);
    ASSERT_TRUE(game->shell.cinematicPlaying);
    FramePicture picture;
    ASSERT_TRUE(game->overlay.GrabFrame(picture));
    ASSERT_TRUE(picture.paletted);
    EXPECT_EQ(picture.pixels[static_cast<std::size_t>(picture.height / 2 * picture.width + picture.width / 2)], fog);
}

// The wide bars of a cinematic reach both edges of the frame at every size,
// classic, widescreen and ultra-wide: a row inside each bar is one colour
// from the first column to the last drawn one, and not the fog behind them.
TEST_F(GameFlow, CinematicBarsCoverTheWholeWidthAtEveryFrameSize) {
    Press({Key::Space}, 80);  // past the fade-in
    game->world->fogRed = 200;
    game->world->fogGreen = 40;
    game->world->fogBlue = 40;
    ReloadBank(*game, true);
    const int fog = game->overlay.FogClearColour();
    ClipDef& clip = game->world->clips[41];
    clip = ClipDef{};
    clip.hasFrames = true;
    clip.cinemascope = true;
    clip.frames[0].duration = 100000;
    clip.frames[0].cameraA = clip.frames[0].cameraB = {-3000, 800, -3000, 16384 + 8192, 0, 0};  // outside, looking away
    for (RenderSize size : {RenderSize{320, 200}, RenderSize{640, 480}, RenderSize{1280, 720}, RenderSize{1280, 1024},
                            RenderSize{1920, 1080}, RenderSize{2560, 1080}}) {
        SCOPED_TRACE(std::to_string(size.width) + " x " + std::to_string(size.height));
        SetRenderSize(*game, size);
        StartClip(*game, 41);
        Frames(2);
        ASSERT_TRUE(game->shell.cinematicPlaying);
        FramePicture picture;
        ASSERT_TRUE(game->overlay.GrabFrame(picture));
        ASSERT_EQ(picture.width, size.width);
        for (int y : {picture.height * 7 / 100, picture.height * 95 / 100}) {
            const std::size_t row = static_cast<std::size_t>(y) * static_cast<std::size_t>(picture.width);
            const int bar = picture.pixels[row + static_cast<std::size_t>(picture.width / 2)];
            EXPECT_NE(bar, fog) << "row " << y;
            // The software frame's last column is never drawn by an opaque
            // span, the bars' or the world's, so it is left out here.
            int uncovered = 0, firstX = -1;
            for (int x = 0; x < picture.width - 1; ++x)
                if (picture.pixels[row + static_cast<std::size_t>(x)] != bar) {
                    ++uncovered;
                    if (firstX < 0) firstX = x;
                }
            EXPECT_EQ(uncovered, 0) << "row " << y << ", first at x " << firstX;
        }
    }
}

// Shots whose two ends lie the whole 32-bit range apart (a bank file may say
// so) are drawn without overflow; the sanitizer build checks every step.
TEST_F(GameFlow, CinematicShotsAcrossTheWholeIntegerRangeDraw) {
    Press({Key::Space}, 80);
    ClipDef& clip = game->world->clips[42];
    clip = ClipDef{};
    clip.hasFrames = true;
    constexpr std::int32_t kLow = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t kHigh = std::numeric_limits<std::int32_t>::max();
    clip.frames[0].duration = 200;
    clip.frames[0].cameraA = {kLow, kLow, kLow, kLow, kLow, kLow};
    clip.frames[0].cameraB = {kHigh, kHigh, kHigh, kHigh, kHigh, kHigh};
    clip.frames[0].ambientPercentA = kLow;
    clip.frames[0].ambientPercentB = kHigh;
    clip.frames[1].duration = 200;
    clip.frames[1].cameraA = {kHigh, 0, kLow, kHigh, kHigh, kLow};
    clip.frames[1].cameraB = clip.frames[1].cameraA;
    StartClip(*game, 42);
    ASSERT_TRUE(game->shell.cinematicPlaying);
    Frames(16);
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

// The settings screen from the title: a key rebound there is refused while
// another command has it, is written to the settings file at once and moves
// the hero; the effects volume reaches the sound; the Escape that leaves the
// screen does not also leave the game.
TEST_F(GameFlow, SettingsScreenRebindsKeysAndSetsTheVolume) {
    Frames(10);
    Press({Key::F2}, 2);
    ASSERT_TRUE(game->settingsScreen.open);
    Press({Key::Enter}, 2);  // walk forward
    ASSERT_TRUE(game->settingsScreen.capturing);
    Press({Key::W}, 2);
    EXPECT_EQ(game->keys.command[0], Key::W);
    Press({Key::Down}, 2);  // walk backwards
    Press({Key::Enter}, 2);
    Press({Key::W}, 2);
    EXPECT_EQ(game->settingsScreen.note, "W IS ALREADY WALK FORWARD");
    Press({Key::F5}, 2);
    EXPECT_EQ(game->settingsScreen.note, "F5 IS KEPT BY THE GAME");
    EXPECT_TRUE(game->settingsScreen.capturing);
    Press({Key::Escape}, 2);  // keeps the old key
    EXPECT_FALSE(game->settingsScreen.capturing);
    EXPECT_EQ(game->keys.command[1], Key::Down);
    for (int i = kSetBack; i < kSetEffectsVolume; ++i) Press({Key::Down}, 1);
    ASSERT_EQ(game->settingsScreen.entry, kSetEffectsVolume);
    Press({Key::Left}, 1);
    Press({Key::Left}, 1);
    EXPECT_EQ(audio.effects, 80);
    Press({Key::Escape}, 2);
    EXPECT_FALSE(game->settingsScreen.open);
    EXPECT_FALSE(host.quit);
    auto file = SettingsFile::Load(dir / "quib.ini");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->GetString("Keys", "Forward"), "W");
    EXPECT_EQ(file->GetInt("General", "EffectsVolume", -1), 80);

    Press({Key::Space});
    ASSERT_EQ(game->shell.screen, kScreenPlay);
    const auto walked = [this](Key key) {
        const float x = Local().x, z = Local().z;
        Frames(20, {key});
        Frames(5);
        return std::hypot(Local().x - x, Local().z - z);
    };
    EXPECT_LT(walked(Key::Up), 1.0f);  // no longer a key of the game
    EXPECT_GT(walked(Key::W), 100.0f);
}

// Keys as the window delivers them: a press between frames, seen for one frame.
class WindowKeysFlow : public ::testing::Test {
protected:
    void SetUp() override {
        SettingsFile file;
        SaveGame(file, 1, 3);
        ASSERT_TRUE(WriteSettingsFile(file, dir / "quib.ini"));
        game = std::make_unique<Game>(test::HeadlessConfig(std::filesystem::path(ZQ_BUILD_DIR) / "data", dir.Path()), input,
                                      audio, host);
        InitGame(*game);
        ResetFrameClock(game->shell, 0);
        SetScreen(*game, kScreenTitle);
    }
    void TearDown() override { SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER | SDL_INIT_JOYSTICK); }
    void Frames(int count) {
        for (int i = 0; i < count; ++i) {
            ticks += 30;
            GameFrame(*game, ticks);
            input.NewFrame();
        }
    }
    // A tap between two frames, then `idle` frames.
    void Tap(SDL_Scancode code, int idle) {
        SDL_Event e{};
        e.type = SDL_KEYDOWN;
        e.key.keysym.scancode = code;
        input.HandleEvent(e);
        e.type = SDL_KEYUP;
        input.HandleEvent(e);
        Frames(1 + idle);
    }

    test::TempDir dir;
    SdlInput input;
    CountingAudio audio;
    test::RecordingHost host;
    std::unique_ptr<Game> game;
    std::uint32_t ticks = 0;
};

// Return answers in the menu as Space does, and a Return that meant nothing
// where it was pressed never acts later: the title with a saved game stays
// put for 10 s after quitting to it.
TEST_F(WindowKeysFlow, ReturnChoosesInTheMenuAndIsForgottenAfterwards) {
    Tap(SDL_SCANCODE_SPACE, 40);
    ASSERT_EQ(game->shell.screen, kScreenPlay);
    ASSERT_EQ(game->actors.Local().levelIndex, 0);
    Tap(SDL_SCANCODE_ESCAPE, 10);
    ASSERT_TRUE(game->play.menuOpen);
    for (int i = 0; i < 3; ++i) Tap(SDL_SCANCODE_DOWN, 8);
    Tap(SDL_SCANCODE_RETURN, 8);  // entry 3: the next view, the menu stays open
    EXPECT_EQ(game->actors.Local().cameraDistance, 512);
    // A Return while the menu's 200 ms gate holds the keys means nothing.
    Tap(SDL_SCANCODE_DOWN, 0);
    Tap(SDL_SCANCODE_RETURN, 8);
    ASSERT_EQ(game->play.menuEntry, 4);
    Tap(SDL_SCANCODE_SPACE, 40);  // quit
    ASSERT_EQ(game->shell.screen, kScreenTitle);
    Frames(10000 / 30);
    EXPECT_EQ(game->shell.screen, kScreenTitle);
    EXPECT_FALSE(game->shell.fade.active);
    // A Return pressed on the title continues the saved game.
    Tap(SDL_SCANCODE_RETURN, 40);
    EXPECT_EQ(game->shell.screen, kScreenPlay);
    EXPECT_EQ(game->actors.Local().levelIndex, 1);
}

}  // namespace
}  // namespace zq
