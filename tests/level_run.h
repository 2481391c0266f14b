// One level played headless from an input script, as `game_soft --headless
// --level` plays it: no window, no sound, the frame clock starting at 0 and
// advanced by the script's frame times, the hero with a new game's lives.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "assets/audio.h"
#include "rules/actor.h"
#include "shell/game.h"
#include "shell/input_script.h"
#include "test_game.h"
#include "test_util.h"

namespace zq::test {

class LevelRun {
public:
    // `level` is the level file inside `dataDir` ("LEVEL/13_THE_VAULT.LEV");
    // `draw` false runs the rules only.
    LevelRun(const std::filesystem::path& dataDir, const std::string& level, InputScript script, bool draw = false)
        : input_(std::move(script)) {
        GameConfig config = HeadlessConfig(dataDir, dir_.Path());
        config.singleLevel = level;
        config.drawFrames = draw;
        game_ = std::make_unique<Game>(config, input_, audio_, host_);
        InitGame(*game_);
        ResetFrameClock(game_->shell, 0);
        game_->actors.Local().levelIndex = 0;
        game_->actors.Local().lives = kStartLives;
        StartLevel(*game_, 0);
    }

    // Plays the script's next frame; false after its last one.
    bool Frame() {
        if (!input_.Advance()) return false;
        ticks_ += static_cast<std::uint32_t>(input_.FrameMs());
        GameFrame(*game_, ticks_);
        return true;
    }
    // As Frame, but also false once the hero has left the level.
    bool FrameInLevel() { return game_->actors.Local().levelIndex == 0 && Frame(); }
    // Plays the whole script.
    void PlayAll() {
        while (Frame()) {
        }
    }

    Game& game() { return *game_; }
    const Game& game() const { return *game_; }
    // The frame clock's value after the last frame played (ms).
    std::uint32_t ticks() const { return ticks_; }
    void SetTicks(std::uint32_t ticks) { ticks_ = ticks; }

private:
    TempDir dir_;
    ScriptedInput input_;
    SilentAudio audio_;
    RecordingHost host_;
    std::unique_ptr<Game> game_;
    std::uint32_t ticks_ = 0;
};

}  // namespace zq::test
