// The campaign as a player meets it, on the generated data folder: the game
// over, Continue on the title, the hints on the status line and the camera
// at every level's start.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include "render/mesh_geometry.h"
#include "rules/hero.h"
#include "rules/rules_math.h"
#include "shell/camera_view.h"
#include "shell/input_script.h"
#include "core/file_io.h"
#include "shell/game.h"
#include "shell/game_over.h"
#include "shell/settings.h"
#include "held_keys.h"
#include "level_run.h"
#include "test_game.h"
#include "test_util.h"

namespace zq {
namespace {

// Silent, but keeps the music the game asked for.
struct MusicLog : Audio {
    std::vector<std::string> music;
    int volume = -1;  // the last music volume set
    void LoadSound(std::int32_t, const std::string&) override {}
    void PlaySound(SoundRef, bool) override {}
    void PlaySoundAt(SoundRef, std::int32_t, std::int32_t, std::int32_t, std::int32_t) override {}
    void UpdatePositionalSounds(const Listener&) override {}
    void StopAllSounds() override {}
    void PlayMusic(const std::string& name, bool) override { music.push_back(name); }
    void StopMusic() override {}
    void SetMusicVolume(int percent) override { volume = percent; }
};

class Campaign : public ::testing::Test {
protected:
    void Start() {
        game = std::make_unique<Game>(test::HeadlessConfig(std::filesystem::path(ZQ_BUILD_DIR) / "data", dir.Path()), keys,
                                      audio, host);
        InitGame(*game);
        ResetFrameClock(game->shell, 0);
        SetScreen(*game, kScreenTitle);
    }
    void Frames(int count, std::initializer_list<Key> held = {}, std::uint32_t ms = 30) {
        keys.down.fill(false);
        for (Key k : held) keys.down[static_cast<std::size_t>(k)] = true;
        for (int i = 0; i < count && !host.quit; ++i) {
            ticks += ms;
            GameFrame(*game, ticks);
        }
    }
    void Press(std::initializer_list<Key> held, int idle = 40) {
        Frames(1, held);
        Frames(idle);
    }
    void PlayLevel(int index) {
        Local().levelIndex = index;
        Local().lives = kStartLives;
        StartLevel(*game, index);
        Frames(20);  // the fade-in
    }
    Actor& Local() { return game->actors.Local(); }

    test::TempDir dir;
    test::HeldKeys keys;
    MusicLog audio;
    test::RecordingHost host;
    std::unique_ptr<Game> game;
    std::uint32_t ticks = 0;
};

TEST_F(Campaign, LastLifeShowsGameOverWithItsTuneThenTheTitle) {
    Start();
    game->settings.musicVolume = 40;  // the player's choice holds for the game-over tune too
    Press({Key::Space});
    ASSERT_EQ(game->shell.screen, kScreenPlay);
    Frames(40);  // the level's fade-in ends
    Local().lives = 0;
    KillHero(Local(), game->rules);
    Frames(40);  // the fade-out
    ASSERT_EQ(game->shell.screen, kScreenGameOver);
    EXPECT_EQ(ScreenCaption(*game), "GAME OVER");
    EXPECT_FALSE(game->shell.status.shown);  // no "LIVES LEFT" over the screen or the title after it
    ASSERT_FALSE(audio.music.empty());
    EXPECT_EQ(audio.music.back(), kGameOverMusic);
    EXPECT_EQ(audio.volume, 40);

    // A button held from the last moments of play does not skip it at once.
    Frames(5, {Key::Space});
    EXPECT_EQ(game->shell.screen, kScreenGameOver);
    Frames(kGameOverShowMs / 30 + 40);
    EXPECT_EQ(game->shell.screen, kScreenTitle);
    EXPECT_EQ(ScreenCaption(*game), "");
    EXPECT_FALSE(game->shell.status.shown);
}

TEST_F(Campaign, AButtonLeavesGameOverEarlyAndANetworkGameCanEnterIt) {
    Start();
    Press({Key::Space});
    EnterGameOver(*game);  // what network play calls when its game is over
    EXPECT_EQ(game->shell.screen, kScreenGameOver);
    Frames(kGameOverSkipMs / 30 + 40);
    ASSERT_EQ(game->shell.screen, kScreenGameOver);
    Press({Key::Shift}, 50);
    EXPECT_EQ(game->shell.screen, kScreenTitle);
}

TEST_F(Campaign, ContinueOnTheTitleLoadsTheSavedLevelAndLives) {
    SettingsFile file;
    SaveGame(file, 6, 2);
    ASSERT_TRUE(file.Save(dir / "quib.ini"));
    Start();
    Frames(3);
    ASSERT_TRUE(game->title.saved);
    EXPECT_EQ(ContinueText(*game->title.saved, game->title.continueLevel), "ENTER - CONTINUE LEVEL 7, 2 LIVES");
    Press({Key::Enter});
    EXPECT_EQ(game->shell.screen, kScreenPlay);
    EXPECT_EQ(Local().levelIndex, 6);
    EXPECT_EQ(Local().lives, 2);
    EXPECT_EQ(game->shell.status.text, "GAME LOADED");

    // Fire still starts a new game from level 1.
    Frames(40);
    SetScreen(*game, kScreenTitle);
    Frames(3);
    Press({Key::Space});
    EXPECT_EQ(Local().levelIndex, 0);
    EXPECT_EQ(Local().lives, 3);
}

TEST_F(Campaign, LeftAndRightPickAnyLevelUpToTheSavedOne) {
    SettingsFile file;
    SaveGame(file, 2, 3);
    ASSERT_TRUE(file.Save(dir / "quib.ini"));
    Start();
    Frames(3);
    Press({Key::Right}, 8);  // not past the saved level
    EXPECT_EQ(game->title.continueLevel, 2);
    for (int i = 0; i < 4; ++i) Press({Key::Left}, 8);  // not below the first
    EXPECT_EQ(game->title.continueLevel, 0);
    Press({Key::Right}, 8);
    Press({Key::Enter});
    EXPECT_EQ(game->shell.screen, kScreenPlay);
    EXPECT_EQ(Local().levelIndex, 1);
    EXPECT_EQ(Local().lives, 3);
}

// Without a saved game Enter starts a new one, as Space does.
TEST_F(Campaign, WithoutASavedGameEnterStartsANewGame) {
    Start();
    Frames(3);
    EXPECT_FALSE(game->title.saved);
    Press({Key::Enter});
    EXPECT_EQ(game->shell.screen, kScreenPlay);
    EXPECT_EQ(Local().levelIndex, 0);
    EXPECT_EQ(Local().lives, 3);
}

TEST_F(Campaign, FirstLevelStartsWithItsHintAndAStandingHeroIsToldEachStretchHowToGetOut) {
    Start();
    Press({Key::Space});
    ASSERT_EQ(Local().levelIndex, 0);
    EXPECT_EQ(game->shell.status.text, "F1 - HELP");

    // Standing still: no progress.  The menu's time does not count.
    // Long frames (250 ms) keep the minutes short.
    const int quietFrames = kStuckQuietMs / 250;
    auto told = [&] { return game->shell.status.shown && game->shell.status.text == kStuckText; };
    Press({Key::Escape}, 10);
    ASSERT_TRUE(game->play.menuOpen);
    Frames(quietFrames, {}, 250);
    EXPECT_FALSE(told());
    Press({Key::Escape}, 10);
    ASSERT_FALSE(game->play.menuOpen);
    Frames(quietFrames - 20, {}, 250);  // with the seconds before the menu, still short of 90
    EXPECT_FALSE(told());
    Frames(20, {}, 250);
    EXPECT_TRUE(told());
    Frames(kStatusShowMs / 250 + 4, {}, 250);
    EXPECT_FALSE(told());
    // Still standing: told again once the next 90 seconds have passed.
    Frames(quietFrames - kStatusShowMs / 250 - 12, {}, 250);
    EXPECT_FALSE(told());
    Frames(12, {}, 250);
    EXPECT_TRUE(told());

    // Walking into cells not stood in before is progress: the clock starts over.
    Frames(kStatusShowMs / 250 + 4, {}, 250);
    ASSERT_FALSE(told());
    Frames(quietFrames - kStatusShowMs / 250 - 12, {}, 250);  // 3 s short of the next offer
    const int startCell = CellOf(Local().z) * 1000 + CellOf(Local().x);
    Frames(25, {Key::Up});  // 0.75 s of walking
    ASSERT_NE(CellOf(Local().z) * 1000 + CellOf(Local().x), startCell) << "the walk reached no new cell";
    Frames(20, {}, 250);
    EXPECT_FALSE(told());
    Frames(quietFrames - 20 - 4, {}, 250);
    EXPECT_FALSE(told());
    Frames(8, {}, 250);
    EXPECT_TRUE(told());
    // Walking back over cells already stood in is not.
    Frames(kStatusShowMs / 250 + 4, {}, 250);
    Frames(quietFrames - kStatusShowMs / 250 - 12, {}, 250);
    Frames(12, {Key::Down});  // a short step back, over the cells of the walk
    Frames(20, {}, 250);
    EXPECT_TRUE(told());

    // Restarting is a new attempt with its own 90 seconds.
    StartLevel(*game, 0);
    Frames(quietFrames - 20, {}, 250);
    EXPECT_FALSE(told());
    Frames(24, {}, 250);
    EXPECT_TRUE(told());
}

// At every level's start, in each third-person view: the eye is outside
// every solid cell and either keeps its distance from the hero with him in
// view, or (cramped starts) leaves him out of the picture rather than show
// his inside.
TEST_F(Campaign, CameraKeepsOutOfWallsAndOutOfTheHeroAtEveryStart) {
    Start();
    ASSERT_GE(game->shell.levelCount, 1);
    for (int level = 0; level < game->shell.levelCount; ++level) {
        PlayLevel(level);
        if (game->shell.cinematicPlaying) Press({Key::Space}, 5);  // an opening cinematic is skipped
        for (float distance : {512.0f, 1024.0f, 1536.0f}) {
            Local().cameraDistance = distance;
            Frames(45);  // the camera settles behind the standing hero
            const WorldCamera& eye = game->play.eye;
            const World& world = *game->world;
            EXPECT_FALSE(PointInSolidCell(world, eye.x, eye.y, eye.z)) << "level " << level + 1 << " view " << distance;
            const double dx = Local().x - eye.x, dy = Local().y - eye.y, dz = Local().z - eye.z;
            const double away = std::sqrt(dx * dx + dy * dy + dz * dz);
            if (game->play.heroHidden) continue;
            EXPECT_GT(away, Local().width / 2.0) << "level " << level + 1 << " view " << distance;
            Matrix3 turn = RotationMatrix(eye.yaw, eye.pitch, eye.roll);
            Vec3i seen = Rotate(turn, Local().x - eye.x, Local().y - eye.y, Local().z - eye.z);
            ASSERT_GT(seen.z, 0) << "level " << level + 1 << " view " << distance;
            EXPECT_LT(std::abs(seen.x), seen.z) << "level " << level + 1 << " view " << distance;
            EXPECT_LT(std::abs(seen.y), seen.z) << "level " << level + 1 << " view " << distance;
        }
    }
}


// A campaign replay's input script, from content/replays/STEM.txt.
InputScript ReadReplay(const std::string& stem) {
    const auto bytes = ReadFileBytes(std::filesystem::path(ZQ_SOURCE_DIR) / "content" / "replays" / (stem + ".txt"),
                                     kMaxInputScriptBytes);
    EXPECT_TRUE(bytes) << stem;
    return bytes ? ParseInputScript(std::string(bytes->begin(), bytes->end())) : InputScript{};
}

// A campaign replay played as `game_soft --headless --level` plays it, rules
// only, one frame at a time.
struct ReplayRun : test::LevelRun {
    explicit ReplayRun(const std::string& stem)
        : LevelRun(std::filesystem::path(ZQ_BUILD_DIR) / "data", LevelFile(stem), ReadReplay(stem)) {}
    static std::string LevelFile(const std::string& stem) {
        std::string level = "LEVEL/" + stem + ".LEV";
        for (char& c : level) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return level;
    }
};

// Camera view 3 along recorded solutions of levels that wind between walls,
// floors and ceilings: at every frame of play the view line from the eye to
// the hero's middle crosses no solid cell, and an eye that had to come
// inside his box leaves him out of the picture.
TEST(CameraViewThree, KeepsTheHeroInSightAlongTheReplays) {
    for (const char* stem : {"14_the_sunken_vault", "17_the_loose_roof", "19_the_moat", "22_the_molten_clock"}) {
        SCOPED_TRACE(stem);
        ReplayRun run(stem);
        Game& game = run.game();
        ASSERT_EQ(game.shell.screen, kScreenPlay);
        Actor& hero = game.actors.Local();
        hero.cameraDistance = 1536;
        int frames = 0, blocked = 0, inside = 0;
        while (run.FrameInLevel()) {
            const std::uint32_t ticks = run.ticks();
            if (game.shell.screen != kScreenPlay || game.shell.clipPlaying || game.shell.cinematicPlaying || hero.dead ||
                hero.cameraDistance != 1536)
                continue;
            ++frames;
            const WorldCamera& eye = game.play.eye;
            const float dx = hero.x - eye.x, dy = hero.y - eye.y, dz = hero.z - eye.z;
            const float length = std::sqrt(dx * dx + dy * dy + dz * dz);
            // Never drawn from inside: an eye within his box leaves him out.
            const bool inBox = std::fabs(dx) < static_cast<float>(hero.width) / 2 &&
                               std::fabs(dz) < static_cast<float>(hero.width) / 2 &&
                               std::fabs(dy) < static_cast<float>(hero.height) / 2;
            if (inBox && !game.play.heroHidden) ++inside;
            if (game.play.heroHidden) {  // squeezed in: the view from his eyes, not of the wall behind him
                EXPECT_NEAR(eye.y, hero.y + 50, 1) << "frame " << ticks / 40;
                EXPECT_NEAR(std::hypot(dx, dz), 0, 1) << "frame " << ticks / 40;
                continue;
            }
            for (float t = 0; t < length; t += 16) {
                if (PointInSolidCell(*game.world, eye.x + dx * t / length, eye.y + dy * t / length, eye.z + dz * t / length)) {
                    ++blocked;
                    ADD_FAILURE() << "frame " << ticks / 40 << ": eye " << eye.x << " " << eye.y << " " << eye.z
                                  << ", hero " << hero.x << " " << hero.y << " " << hero.z;
                    break;
                }
            }
            if (blocked > 3) break;
        }
        EXPECT_GT(frames, 500);
        EXPECT_EQ(blocked, 0);
        EXPECT_EQ(inside, 0);
    }
}

// Chapter two's clocks leave less time over their recorded solutions from
// level to level: the least time the clock shows along each replay (just
// before a second timer, or at the exit) falls, and each replay still wins.
TEST(ChapterTwoClocks, LeaveLessSlackFromLevelToLevel) {
    std::int32_t previous = std::numeric_limits<std::int32_t>::max();
    for (const char* stem :
         {"16_the_clock_tower", "21_the_rolling_downs", "22_the_molten_clock", "23_the_great_stair",
          "24_the_dark_foundry", "25_the_crown_of_the_mountain"}) {
        SCOPED_TRACE(stem);
        ReplayRun run(stem);
        std::int32_t least = std::numeric_limits<std::int32_t>::max();
        while (run.FrameInLevel()) {
            if (run.game().actors.Local().levelIndex != 0) break;  // the exit: the clock has stopped
            const World& world = *run.game().world;
            if (world.timerRunning) least = std::min(least, world.timerLeft);
        }
        EXPECT_NE(run.game().actors.Local().levelIndex, 0) << "the replay did not finish its level";
        ASSERT_NE(least, std::numeric_limits<std::int32_t>::max()) << "no clock ran";
        EXPECT_GT(least, 0);
        EXPECT_LT(least, previous) << "least time left " << least << " ms";
        previous = least;
    }
}

}  // namespace
}  // namespace zq
