// The level file commands: New, Load, Save, Save As, recent files, recovery
// of unsaved work, the remembered folder and the test run in the game.
#include "editor/qt/editor_window.h"

#include <QAction>
#include <QCoreApplication>
#include <QListWidget>
#include <QMenu>
#include <QEventLoop>
#include <QProcess>
#include <QThread>
#include <QStandardPaths>

#include <algorithm>
#include <array>
#include <tuple>
#include <cstdlib>
#include <exception>
#include <optional>
#include <system_error>
#include <utility>

#include "core/errors.h"
#include "core/file_io.h"
#include "core/settings_file.h"
#include "core/settings_store.h"
#include "editor/editing.h"
#include "editor/editor_commands.h"
#include "editor/level_problems.h"
#include "world/level_file.h"

namespace zq {

namespace {

constexpr int kRecentFiles = 8;
// 256 behaviours of 256 steps written out are a few megabytes.
constexpr std::uintmax_t kMaxScriptBytes = 64u << 20;

std::string CompanionScript(const std::string& levelPath) {
    return levelPath.size() >= 3 ? levelPath.substr(0, levelPath.size() - 3) + "scp" : std::string();
}

// A level's script copied beside another level (Save As) or into the test
// folder: read whole and written through the safe writer like every other
// file the editor writes.
WriteResult CopyScript(const std::filesystem::path& from, const std::filesystem::path& to) {
    const BoundedRead read = ReadRegularFile(from, kMaxScriptBytes);
    if (!read.bytes) {
        WriteResult failed;
        failed.code = "CANNOT READ";
        failed.reason = "cannot read " + from.string() + ": " + read.why;
        return failed;
    }
    return WriteFileSafe(to, *read.bytes);
}

// The game's programs: beside the editor in a build folder, then under the
// installed names, beside it and on the PATH.
constexpr std::initializer_list<const char*> kGameNames = {"game_gl", "game_soft", "zorvoquib-gl", "zorvoquib"};

}  // namespace

void TScreenForm::NewLevelCommand() {
    if (StillBusy() || !ConfirmDiscard()) return;
    const char* prompts[3] = {"Please enter the width (X) in cells of the new map",
                              "Please enter the Height (Y) in cells of the new map",
                              "Please enter the Depth (Z) in cells of the new map"};
    int size[3];
    for (int a = 0; a < 3; ++a) {
        // An axis out of range is refused at its own prompt, which asks again.
        for (;;) {
            auto n = AskNumber("Level dimensions", prompts[a], "", kNotANumber);
            if (!n) return;
            size[a] = DimensionAnswer(*n);
            const std::string why = AxisSizeError(size[a]);
            if (why.empty()) break;
            dialogs_->ShowMessage(this, why);
        }
    }
    const std::string error = NewLevel(state_, size[0], size[1], size[2]);
    if (!error.empty()) {
        dialogs_->ShowMessage(this, error);
        return;
    }
    fileNameEverSet_ = true;
    acceptedProblems_.clear();
    CancelCheck();
    Say(state_, "New level of " + std::to_string(size[0]) + " x " + std::to_string(size[1]) + " x " +
                    std::to_string(size[2]) + " cells.");
    RebuildLists();
}

void TScreenForm::LoadCommand() {
    if (StillBusy() || !ConfirmDiscard()) return;
    state_.dialogOpen = true;
    const std::string path = dialogs_->OpenFile(this, LastFolder());
    state_.dialogOpen = false;
    if (!path.empty()) LoadFile(path);
}

LevelLoadHooks TScreenForm::LoadHooks(std::string& bankFailure) {
    LevelLoadHooks hooks;
    hooks.setFogColour = [this](std::uint8_t r, std::uint8_t g, std::uint8_t b) { SetFog(r, g, b); };
    hooks.loadObjectDefinitions = [this, &bankFailure](World& world, const std::string& name, const std::string& mode) {
        try {
            LoadBankOrRestore(world, name, mode);
        } catch (const std::exception& e) {
            bankFailure = "The level's object definitions \"" + name + "\" could not be loaded: " + e.what();
            throw;
        }
    };
    return hooks;
}

bool TScreenForm::OfferRecovery(const std::string& levelFile) {
    // Unsaved work from a session that was stopped: offered once, then gone
    // either way (kept as the open level's unsaved changes when taken).
    const std::filesystem::path recovery = RecoveryPath(levelFile, options_.settingsFile);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(recovery, ec)) return false;
    state_.dialogOpen = true;
    const std::string what = levelFile.empty() ? "Unsaved work on an untitled level was" : "Unsaved changes to this level were";
    const bool take = dialogs_->AskYesNo(this, what + " kept when the editor was stopped (" + recovery.string() + "). Recover " +
                                                   (levelFile.empty() ? "it?" : "them?"));
    state_.dialogOpen = false;
    bool taken = false;
    if (take) {
        const auto behaviours = state_.working->behaviours;
        std::string bankFailure;
        try {
            LoadLevel(state_, data_, recovery.string(), LoadHooks(bankFailure));
            state_.working->behaviours = behaviours;  // the script stays the level's own
            state_.fileName = levelFile;
            MarkUnsaved(state_);
            taken = true;
        } catch (const std::exception&) {
            dialogs_->ShowWarning(this, "The recovery file " + recovery.string() + " could not be read." +
                                            (bankFailure.empty() ? "" : " " + bankFailure));
        }
    }
    std::filesystem::remove(recovery, ec);
    return taken;
}

bool TScreenForm::LoadFile(const std::string& path) {
    if (StillBusy()) return false;
    const std::string full = std::filesystem::absolute(path).lexically_normal().string();
    // Read off the window's thread into a fresh World; the loader's calls
    // back into the window (the fog, the bank) are noted there and made here
    // afterwards, in the loader's order.
    auto fresh = FreshLevel(state_);
    Random random = state_.random;
    const std::string mode = state_.textured ? "High" : "Low";
    std::optional<std::pair<std::string, std::string>> bank;
    LevelLoadHooks noted;
    noted.loadObjectDefinitions = [&bank](World&, const std::string& name, const std::string& m) { bank.emplace(name, m); };
    std::exception_ptr failure;
    RunOffThread("Opening " + full + " ...", [&] {
        try {
            LevelLoadContext context{data_, random, 0, noted};
            LoadLevelFile(*fresh, context, full, mode);
        } catch (...) {
            failure = std::current_exception();
        }
    });
    std::string bankFailure;
    try {
        if (failure) std::rethrow_exception(failure);
        if (bank) LoadHooks(bankFailure).loadObjectDefinitions(*fresh, bank->first, bank->second);
    } catch (const std::exception& e) {
        const std::string why = !bankFailure.empty() ? bankFailure
                                : dynamic_cast<const LoadError*>(&e) ? "The level " + full + " could not be opened: " + LevelFileProblem(full)
                                                                     : std::string(e.what());
        dialogs_->ShowWarning(this, why);
        Say(state_, "Not opened: " + full);
        return false;
    }
    state_.random = random;
    TakeLevel(state_, std::move(fresh), full);
    OfferRecovery(full);
    SetFog(state_.working->fogRed, state_.working->fogGreen, state_.working->fogBlue);
    fileNameEverSet_ = true;
    acceptedProblems_.clear();
    CancelCheck();
    RememberFolder(full);
    RememberRecent(full);
    Say(state_, "Opened " + full);
    RebuildLists();
    RefreshPanel();
    return true;
}

bool TScreenForm::StillBusy() {
    if (!busy_) return false;
    Say(state_, "A level is still being written or read: wait until it is done.");
    RefreshPanel();
    return true;
}

void TScreenForm::RunOffThread(const std::string& what, const std::function<void()>& work) {
    // The window stays live while a large level goes to or comes from disk:
    // the view, the keys and a busy bar in the status bar.  File commands
    // wait (StillBusy) until it is done.
    busy_ = true;
    Say(state_, what);
    RefreshPanel();
    busyBar_->show();
    Wake();
    QEventLoop wait;
    QThread* worker = QThread::create(work);
    connect(worker, &QThread::finished, &wait, &QEventLoop::quit);
    worker->start();
    wait.exec();
    worker->wait();  // the loop also ends when the program is quitting
    delete worker;
    busyBar_->hide();
    busy_ = false;
}

bool TScreenForm::SaveTo(const std::string& path) {
    if (StillBusy()) return false;
    // Written from a copy: what is edited meanwhile stays an unsaved change.
    const PendingSave save = BeginSave(state_, path);
    WriteResult written;
    RunOffThread("Saving " + path + " ...", [&save, &written] { written = WriteSave(save); });
    FinishSave(state_, save, written);
    if (!written) {
        dialogs_->ShowWarning(this, SaveFailureText(written));
        Say(state_, "Not saved (" + written.code + "): " + written.reason);
        return false;
    }
    std::error_code ec;
    std::filesystem::remove(RecoveryPath(path, options_.settingsFile), ec);
    ShowProblems();
    StartCheck(path);
    RememberRecent(path);
    Say(state_, "Saved " + path + (problems_.empty() ? "." : " (see the problem list)."));
    return true;
}

void TScreenForm::SaveCommand() {
    if (state_.fileName.empty()) {
        SaveAsCommand();
        return;
    }
    SaveTo(state_.fileName);
}

void TScreenForm::SaveAsCommand() {
    state_.dialogOpen = true;
    const std::string proposed = state_.fileName.empty() ? LastFolder() : state_.fileName;
    std::string path = dialogs_->SaveFile(this, proposed);
    state_.dialogOpen = false;
    if (path.empty()) return;
    if (std::filesystem::path(path).extension().empty()) path += ".lev";
    const std::string before = state_.fileName;
    if (!SaveTo(path)) return;
    // The behaviours go with the level: its script is copied beside the new file.
    if (!before.empty() && before != path) {
        if (auto own = data_.FindGiven(CompanionScript(before))) {
            if (const WriteResult copied = CopyScript(*own, CompanionScript(path)); !copied)
                dialogs_->ShowWarning(this, "The level was saved, but its script could not be copied (" + copied.code +
                                                "): " + copied.reason);
        }
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
    // A folder we cannot write to only loses the convenience; a file we could
    // not read is left alone rather than wiped.
    WriteSettingsFile(settings, options_.settingsFile);
}

namespace {
constexpr int kMinLayerWidth = 200;  // pixels: room for a dozen cells of a layer
}  // namespace

int TScreenForm::LayerOpeningWidth() const {
    int w = layerWidth_;
    if (w <= 0)
        if (auto settings = SettingsFile::Load(options_.settingsFile)) w = settings->GetInt("Editor", "LayerWidth", 0);
    if (w <= 0) w = width() / 3;
    // Never so wide that the level view and the panel lose their room.
    return std::clamp(w, kMinLayerWidth, std::max(kMinLayerWidth, width() / 2));
}

void TScreenForm::RememberLayerWidth() {
    const int w = layerDock_->width();
    if (w < kMinLayerWidth || w == layerWidth_) return;
    layerWidth_ = w;
    if (options_.settingsFile.empty()) return;
    SettingsFile settings = SettingsFile::Load(options_.settingsFile).value_or(SettingsFile{});
    settings.SetInt("Editor", "LayerWidth", w);
    WriteSettingsFile(settings, options_.settingsFile);
}

std::vector<std::string> TScreenForm::RecentFiles() const {
    std::vector<std::string> files;
    if (auto settings = SettingsFile::Load(options_.settingsFile))
        for (int i = 1; i <= kRecentFiles; ++i) {
            const std::string f = settings->GetString("Editor", "Recent" + std::to_string(i));
            if (!f.empty()) files.push_back(f);
        }
    return files;
}

void TScreenForm::RememberRecent(const std::string& file) {
    if (options_.settingsFile.empty()) return;
    std::vector<std::string> files = RecentFiles();
    files.erase(std::remove(files.begin(), files.end(), file), files.end());
    files.insert(files.begin(), file);
    if (files.size() > kRecentFiles) files.resize(kRecentFiles);
    SettingsFile settings = SettingsFile::Load(options_.settingsFile).value_or(SettingsFile{});
    for (int i = 1; i <= kRecentFiles; ++i)
        settings.SetString("Editor", "Recent" + std::to_string(i),
                           i <= static_cast<int>(files.size()) ? files[static_cast<std::size_t>(i - 1)] : std::string());
    WriteSettingsFile(settings, options_.settingsFile);  // an unreadable file is left alone
    RebuildRecentMenu();
}

void TScreenForm::RebuildRecentMenu() {
    if (!recentMenu_) return;
    recentMenu_->clear();
    int i = 0;
    for (const std::string& file : RecentFiles()) {
        QAction* a = recentMenu_->addAction(QString("&%1 %2").arg(++i).arg(QString::fromStdString(file)));
        a->setObjectName(QString("Recent%1").arg(i));
        connect(a, &QAction::triggered, this, [this, file] {
            Command([this, file] {
                if (ConfirmDiscard()) LoadFile(file);
            });
        });
    }
    recentMenu_->setEnabled(i > 0);
}

std::filesystem::path TScreenForm::RecoveryPath(const std::string& levelFile, const std::filesystem::path& settingsFile) {
    if (!levelFile.empty()) return levelFile + ".recover";
    if (settingsFile.empty() && UserConfigDir().empty()) return {};  // no home folder: no recovery file
    return (settingsFile.empty() ? UserConfigDir() / "zorvoquib" : settingsFile.parent_path()) / "untitled.lev.recover";
}

bool TScreenForm::WriteRecovery() {
    if (!started_ || !state_.modified) return false;
    const std::filesystem::path path = RecoveryPath(state_.fileName, options_.settingsFile);
    if (path.empty()) return false;
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    return SaveLevelFile(*state_.working, path.string()).ok;  // written beside, then renamed over
}

bool TScreenForm::MakeTestFolder(std::string& why) {
    namespace fs = std::filesystem;
    std::error_code ec;
    // A folder cleared away meanwhile (or no longer a plain folder) is made anew.
    if (!testFolder_.empty() && fs::symlink_status(testFolder_, ec).type() != fs::file_type::directory) testFolder_.clear();
    if (!testFolder_.empty()) return true;
    // One private folder per session, made safely (no name another user
    // could have made first), removed when the editor ends.
    std::string pattern = (fs::temp_directory_path(ec) / "zorvoquib-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        why = "No temporary folder could be made for the test level.";
        return false;
    }
    testFolder_ = pattern;
    return true;
}

std::filesystem::path TScreenForm::FindProgram(std::initializer_list<const char*> beside,
                                               std::initializer_list<const char*> onPath) const {
    std::error_code ec;
    for (const char* name : beside) {
        const std::filesystem::path program = options_.programDir / name;
        if (std::filesystem::exists(program, ec)) return program;
    }
    for (const char* name : onPath) {
        QString where = QStandardPaths::findExecutable(name);
        if (where.isEmpty()) where = QStandardPaths::findExecutable(name, {"/usr/games", "/usr/local/games"});
        if (!where.isEmpty()) return where.toStdString();
    }
    return {};
}

std::filesystem::path TScreenForm::FindGame() const { return FindProgram(kGameNames, {"zorvoquib-gl", "zorvoquib"}); }

std::optional<TScreenForm::TestRun> TScreenForm::PrepareTestRun(std::string& why, bool fromHere) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!MakeTestFolder(why)) return std::nullopt;
    const fs::path level = testFolder_ / "TEST.lev";
    // From here: the copy starts at the cursor, facing the view; the
    // designer's level keeps its own start.
    World& w = *state_.working;
    const std::array<std::int32_t, 4> kept{w.startX, w.startY, w.startZ, w.startHeading};
    if (fromHere) {
        const CellPos c = TargetCell(state_);
        const int heading = static_cast<int>(state_.cursorHeading) % 32768;
        w.startX = c.x;
        w.startY = c.y;
        w.startZ = c.z;
        w.startHeading = heading < 0 ? heading + 32768 : heading;
    }
    const WriteResult written = SaveLevelFile(w, level.string());
    std::tie(w.startX, w.startY, w.startZ, w.startHeading) = std::tuple(kept[0], kept[1], kept[2], kept[3]);
    if (!written) {
        why = "The test level could not be written (" + written.code + "): " + written.reason;
        return std::nullopt;
    }
    // The loaded level's behaviours come with it.
    const fs::path script = testFolder_ / "TEST.scp";
    fs::remove(script, ec);
    if (!state_.fileName.empty()) {
        // The script's name differs from the level's in its extension only,
        // in any letter case ("A.LEV" goes with "A.SCP").
        if (auto own = data_.FindGiven(CompanionScript(state_.fileName))) {
            if (const WriteResult copied = CopyScript(*own, script); !copied) {
                why = "The level's script could not go with the test level (" + copied.code + "): " + copied.reason;
                return std::nullopt;
            }
        }
    }
    TestRun run;
    run.level = level;
    run.program = FindGame();
    if (run.program.empty()) {
        why = "No game program (game_gl, game_soft, zorvoquib-gl or zorvoquib) was found beside the editor or on the PATH.";
        return std::nullopt;
    }
    run.arguments << "--data" << QString::fromStdString(fs::absolute(options_.dataDir).string()) << "--level"
                  << QString::fromStdString(level.string());
    return run;
}

void TScreenForm::TestLevel(bool fromHere) {
    if (StillBusy()) return;
    if (fromHere) {
        const CellPos c = TargetCell(state_);
        if (GetCell(*state_.working, c.x, c.y, c.z) != 0)
            return Say(state_, "The cursor cell " + CellText(c) + " is filled: the hero cannot start in it.");
    }
    ShowProblems();
    std::vector<std::string> problems;
    for (const QString& p : ProblemTexts()) {
        // Testing from the cursor needs no start point of the level's own.
        if (fromHere && p.contains("start point")) continue;
        problems.push_back(p.toStdString());
    }
    // Asked once for a given set of problems: a designer who tests on
    // purpose is not asked again until the problems change.
    if (!problems.empty() && problems != acceptedProblems_) {
        std::string question = "The level has problems:\n";
        for (const std::string& p : problems) question += "  - " + p + "\n";
        question += "Test it anyway?";
        state_.dialogOpen = true;
        const bool go = dialogs_->AskYesNo(this, question);
        state_.dialogOpen = false;
        ReleaseAllKeys();
        if (!go) {
            Say(state_, "Test cancelled: the level has problems (see the problem list).");
            return;
        }
        acceptedProblems_ = problems;
    }
    std::string why;
    auto run = PrepareTestRun(why, fromHere);
    if (!run) {
        dialogs_->ShowWarning(this, why);
        return;
    }
    if (!QProcess::startDetached(QString::fromStdString(run->program.string()), run->arguments)) {
        dialogs_->ShowWarning(this, "The game " + run->program.string() + " could not be started.");
        return;
    }
    StartCheck(run->level);
    Say(state_, "Testing with " + run->program.filename().string() +
                    (fromHere ? " from " + CellText(TargetCell(state_)) + "." : "."));
}

}  // namespace zq
