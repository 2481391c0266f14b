// The level file commands: New, Load, Save, Save As, the remembered folder
// and the test run in the game.
#include "editor/qt/editor_window.h"

#include <QCoreApplication>
#include <QProcess>

#include <system_error>

#include "core/settings_file.h"
#include "editor/editing.h"
#include "editor/editor_commands.h"
#include "world/level_file.h"

namespace zq {

namespace {

std::string CompanionScript(const std::string& levelPath) {
    return levelPath.size() >= 3 ? levelPath.substr(0, levelPath.size() - 3) + "scp" : std::string();
}


}  // namespace

void TScreenForm::NewLevelCommand() {
    if (!ConfirmDiscard()) return;
    const char* prompts[3] = {"Please enter the width (X) in cells of the new map",
                              "Please enter the Height (Y) in cells of the new map",
                              "Please enter the Depth (Z) in cells of the new map"};
    int size[3];
    for (int a = 0; a < 3; ++a) {
        auto n = AskNumber("Level dimensions", prompts[a], "", kNotANumber);
        if (!n) return;
        size[a] = DimensionAnswer(*n);
    }
    const std::string error = NewLevel(state_, size[0], size[1], size[2]);
    if (!error.empty()) {
        dialogs_->ShowMessage(this, error);
        return;
    }
    fileNameEverSet_ = true;
    RebuildLists();
}

void TScreenForm::LoadCommand() {
    if (!ConfirmDiscard()) return;
    state_.dialogOpen = true;
    const std::string path = dialogs_->OpenFile(this, LastFolder());
    state_.dialogOpen = false;
    if (!path.empty()) LoadFile(path);
}

bool TScreenForm::LoadFile(const std::string& path) {
    const std::string full = std::filesystem::absolute(path).lexically_normal().string();
    LevelLoadHooks hooks;
    hooks.setFogColour = [this](std::uint8_t r, std::uint8_t g, std::uint8_t b) { SetFog(r, g, b); };
    hooks.loadObjectDefinitions = [this](World& world, const std::string& name, const std::string& mode) {
        LoadBankOrRestore(world, name, mode);
    };
    try {
        LoadLevel(state_, data_, full, hooks);
    } catch (const std::exception& e) {
        dialogs_->ShowMessage(this, e.what());
        return false;
    }
    SetFog(state_.working->fogRed, state_.working->fogGreen, state_.working->fogBlue);
    fileNameEverSet_ = true;
    RememberFolder(full);
    RebuildLists();
    RefreshPanel();
    return true;
}

void TScreenForm::SaveCommand() {
    if (state_.fileName.empty()) {
        SaveAsCommand();
        return;
    }
    if (!SaveLevel(state_, state_.fileName)) dialogs_->ShowMessage(this, "The file " + state_.fileName + " could not be written.");
}

void TScreenForm::SaveAsCommand() {
    state_.dialogOpen = true;
    const std::string proposed = state_.fileName.empty() ? LastFolder() : state_.fileName;
    std::string path = dialogs_->SaveFile(this, proposed);
    state_.dialogOpen = false;
    if (path.empty()) return;
    if (std::filesystem::path(path).extension().empty()) path += ".lev";
    if (!SaveLevel(state_, path)) {
        dialogs_->ShowMessage(this, "The file " + path + " could not be written.");
        return;
    }
    fileNameEverSet_ = true;
    RememberFolder(path);
}

std::string TScreenForm::LastFolder() const {
    if (auto file = SettingsFile::Load(options_.settingsFile)) {
        const std::string folder = file->GetString("Editor", "LastFolder");
        std::error_code ec;
        if (!folder.empty() && std::filesystem::is_directory(folder, ec)) return folder;
    }
    return (options_.dataDir / "LEVEL").string();
}

void TScreenForm::RememberFolder(const std::string& file) {
    if (options_.settingsFile.empty()) return;
    SettingsFile settings = SettingsFile::Load(options_.settingsFile).value_or(SettingsFile{});
    settings.SetString("Editor", "LastFolder", std::filesystem::path(file).parent_path().string());
    std::error_code ec;
    std::filesystem::create_directories(options_.settingsFile.parent_path(), ec);
    settings.Save(options_.settingsFile);  // a folder we cannot write to only loses the convenience
}

std::optional<TScreenForm::TestRun> TScreenForm::PrepareTestRun(std::string& why) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path folder = fs::temp_directory_path(ec) / ("zorvoquib-test-" + std::to_string(QCoreApplication::applicationPid()));
    fs::create_directories(folder, ec);
    const fs::path level = folder / "TEST.lev";
    if (!SaveLevelFile(*state_.working, level.string())) {
        why = "The file " + level.string() + " could not be written.";
        return std::nullopt;
    }
    // The loaded level's behaviours come with it.
    const fs::path script = folder / "TEST.scp";
    fs::remove(script, ec);
    if (!state_.fileName.empty()) {
        // The script's name differs from the level's in its extension only,
        // in any letter case ("A.LEV" goes with "A.SCP").
        if (auto own = data_.FindGiven(CompanionScript(state_.fileName)))
            fs::copy_file(*own, script, fs::copy_options::overwrite_existing, ec);
    }
    TestRun run;
    run.level = level;
    for (const char* name : {"game_gl", "game_soft"}) {
        const fs::path program = options_.programDir / name;
        if (fs::exists(program, ec)) {
            run.program = program;
            break;
        }
    }
    if (run.program.empty()) {
        why = "No game program (game_gl or game_soft) was found beside the editor.";
        return std::nullopt;
    }
    run.arguments << "--data" << QString::fromStdString(fs::absolute(options_.dataDir).string()) << "--level"
                  << QString::fromStdString(level.string());
    return run;
}

void TScreenForm::TestLevel() {
    std::string why;
    auto run = PrepareTestRun(why);
    if (!run) {
        dialogs_->ShowMessage(this, why);
        return;
    }
    if (!QProcess::startDetached(QString::fromStdString(run->program.string()), run->arguments))
        dialogs_->ShowMessage(this, "The game could not be started.");
}


}  // namespace zq
