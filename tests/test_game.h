// What a test needs to run a whole game without a window: a host that keeps
// what the game asked of the window, and the settings of a headless game.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "shell/game.h"

namespace zq::test {

// Keeps the full-screen switch, the messages shown and the request to quit.
struct RecordingHost : GameHost {
    bool fullscreen = false, quit = false;
    std::vector<std::string> messages;
    std::vector<std::string> logLines;  // what would have gone to stderr
    bool Fullscreen() override { return fullscreen; }
    void SetFullscreen(bool on, RenderSize) override { fullscreen = on; }
    void SetClientSize(int, int) override {}
    void ShowCursor(bool) override {}
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void Quit() override { quit = true; }
    void Log(const std::string& line) override { logLines.push_back(line); }
};

// A game on `dataDir` started in `startDir`, reading its settings from
// `settingsName` there and never writing them, seeded with 0 as headless
// runs are.
inline GameConfig HeadlessConfig(const std::filesystem::path& dataDir, const std::filesystem::path& startDir,
                                 const std::string& settingsName = "quib.ini") {
    GameConfig config;
    config.dataDir = dataDir;
    config.startDir = startDir;
    config.settingsFile = startDir / settingsName;
    config.writeSettings = false;
    config.seedFromClock = false;
    return config;
}

}  // namespace zq::test
