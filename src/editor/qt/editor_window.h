// The level editor's main window: the level view, the info panel with its
// icons, labels and lists, the object list and preview, the menus, prompts and
// dialogs.  Qt key events are turned into the editor's own key calls here;
// everything the commands do is in the toolkit-free editor code.
#pragma once

#include <QMainWindow>

#include <QColor>
#include <QIcon>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "assets/audio.h"
#include "assets/graphics.h"
#include "core/resolver.h"
#include "editor/editor_keys.h"
#include "editor/editor_state.h"
#include "editor/editor_view.h"
#include "editor/level_resize.h"
#include "editor/regions.h"
#include "render/video_player.h"
#include "world/level_file.h"
#include "world/object_defs.h"

class QAction;
class QLineEdit;
class QListWidgetItem;
class QComboBox;
class QLabel;
class QListWidget;
class QMenu;
class QProcess;
class QPushButton;
class QToolButton;

namespace zq {

class GlRenderer;
class GlView;
class LayerView;
class THelp;

// Every question the window asks the user, so tests can answer without a
// modal dialog.
class EditorDialogs {
public:
    virtual ~EditorDialogs() = default;
    // A one-line prompt; Cancel gives back `fallback`.
    virtual std::string AskText(QWidget* parent, const std::string& title, const std::string& prompt,
                                const std::string& fallback) = 0;
    virtual void ShowMessage(QWidget* parent, const std::string& text) = 0;
    // Something went wrong (a file not read or not written): the reason, with the warning icon.
    virtual void ShowWarning(QWidget* parent, const std::string& text) = 0;
    virtual bool AskYesNo(QWidget* parent, const std::string& question) = 0;
    // Unsaved changes: save them, drop them, or stay.
    enum class SaveChoice { Save, Discard, Cancel };
    virtual SaveChoice AskSaveChanges(QWidget* parent) = 0;
    virtual std::string OpenFile(QWidget* parent, const std::string& folder) = 0;
    virtual std::string SaveFile(QWidget* parent, const std::string& proposed) = 0;
    virtual std::optional<QColor> PickColour(QWidget* parent, const QColor& current) = 0;
    // The cells to add or take away at each end of each axis; nullopt on Cancel.
    virtual std::optional<LevelResize> AskResize(QWidget* parent, int sizeX, int sizeY, int sizeZ) = 0;
};

// The flags the palette shows for an object: "collision, ladder, deadly" ...
std::string ObjectFlagsText(const ObjectDef& d);

// The dialogs of a desktop session.
std::unique_ptr<EditorDialogs> MakeQtDialogs();

struct EditorOptions {
    std::filesystem::path dataDir;
    std::string file;                        // opened at start-up, as Load does
    std::filesystem::path settingsFile;      // the editor's own settings
    std::filesystem::path programDir;        // where the game is looked for first (then the PATH)
    bool timer = true;                       // false: tests run frames themselves
};

// Where the editor keeps its settings: "leveleditor.ini" in the start folder
// when it exists and is writable, else in the user's config folder.
std::filesystem::path EditorSettingsPath(const std::filesystem::path& startDir);

class TScreenForm : public QMainWindow {
public:
    TScreenForm(EditorOptions options, Audio& audio, std::unique_ptr<EditorDialogs> dialogs);
    ~TScreenForm() override;

    // Runs one frame: key repeats, clamp, follow, panel refresh, redraw.
    // The window's timer runs frames only while something moves; at rest
    // it stops until the next event wakes it.
    void Frame(int elapsedMs);
    bool FramesRunning() const { return timer_.isActive(); }
    // The start-up (normally on the first show).
    void StartUp();
    bool Started() const { return started_; }

    EditorState& State() { return state_; }
    QAction* Action(const QString& objectName) const;
    GlView* LevelView() const { return levelView_; }
    THelp* Help() const { return help_; }
    LayerView* Layers() const { return layerView_; }
    QString LevelLabel(char axis) const;

    // The Test level command's files and program (also used by tests).
    struct TestRun {
        std::filesystem::path level;
        std::filesystem::path program;
        QStringList arguments;
    };
    std::optional<TestRun> PrepareTestRun(std::string& why, bool fromHere = false);

    // Commands (menu entries and icons).
    void NewLevelCommand();
    void LoadCommand();
    bool LoadFile(const std::string& path);
    void SaveCommand();
    void SaveAsCommand();
    void SentryCountCommand();
    void SetSentryPosition(int k);
    void ChooseObject(const QString& name);
    // F9 tests the level from its start; Shift+F9 (`fromHere`) from the
    // cursor cell facing the view, a start given to the test copy only.
    void TestLevel(bool fromHere = false);
    // Ctrl+C / Ctrl+X: the box from A to B into the editor's clipboard and,
    // as text, the desktop's, so another editor window can paste it.
    void CopyBoxCommand(bool cut);
    // Ctrl+V: the desktop's clipboard when it holds a box, else the editor's own.
    void PasteCommand();
    // The player Play shows a clip's video with (the games' player); none: videos are skipped.
    void SetVideoPlayer(std::unique_ptr<VideoPlayer> player) { video_ = std::move(player); }
    bool VideoShowing() const;

    // The status line and the problem list as shown: the level's own
    // problems, then the level checker's lines (its verdict, each dead end,
    // or that it is still running).
    QStringList ProblemTexts() const;
    QStringList CheckTexts() const;
    QString StatusText() const;
    bool CheckRunning() const { return checker_ != nullptr; }
    // The game run that plays dead end `index` (counted among the dead ends
    // of the last check): the checked copy of the level, with the dead
    // end's script as the game's --input, so the designer watches the trap.
    std::optional<TestRun> DeadEndRun(std::size_t index, std::string& why);
    std::vector<std::string> RecentFiles() const;
    // Writes unsaved work to NAME.lev.recover beside the level (or to
    // untitled.lev.recover in the settings folder), replacing the old one
    // in one step; false when there was nothing to write or it failed.
    bool WriteRecovery();
    // Offers the work WriteRecovery kept for this level ("" for an untitled
    // one) and removes the file either way; true when it was taken.
    bool OfferRecovery(const std::string& levelFile);
    static std::filesystem::path RecoveryPath(const std::string& levelFile, const std::filesystem::path& settingsFile);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildWindow();
    void BuildMenus();
    QAction* AddAction(QMenu* menu, const QString& caption, const QString& name, std::function<void()> run,
                       const QKeySequence& shortcut = {});
    // Runs a command as one undo step; `step` names it in the history list.
    void Command(std::function<void()> run, const std::string& step = {});
    void DrawLevel(GlRenderer& renderer);
    void DrawPreview(GlRenderer& renderer);
    void LoadBank(bool high);
    // What a level load calls back: the fog, and the level's bank (a
    // failure's reason goes to `bankFailure`).
    LevelLoadHooks LoadHooks(std::string& bankFailure);
    // Loads a bank file into `world`; when it fails part way, the bank that
    // was loaded before is loaded again, so the open level keeps its
    // pictures, sounds and object types, and then the failure goes on up.
    void LoadBankOrRestore(World& world, const std::string& name, const std::string& mode,
                           std::function<void()> afterLoad = {});
    void SetFog(int red, int green, int blue);
    void RefreshPanel();
    void RebuildLists();
    void RebuildSentryList();
    void LayOut();
    std::optional<int> AskNumber(const std::string& title, const std::string& prompt, const std::string& fallback,
                                 const char* rejection);
    std::string AskString(const std::string& title, const std::string& prompt, const std::string& fallback);
    bool ConfirmDiscard();
    bool SaveTo(const std::string& path);
    // True (and the status line says so) while a level is being written or read.
    bool StillBusy();
    // Runs `work` on a thread of its own and waits for it with the window live.
    void RunOffThread(const std::string& what, const std::function<void()>& work);
    void RememberRecent(const std::string& file);
    void RebuildRecentMenu();
    // The level's own problems listed anew, with the checker's lines after them.
    void ShowProblems();
    void RedrawProblemList();
    // The level checker (zqtool check-level) in a process of its own on a
    // copy of `level` (and its script); a check under way is cancelled.
    void StartCheck(const std::filesystem::path& level);
    // Kills a check under way and forgets the last verdict (a new level).
    void CancelCheck();
    void CheckFinished(int exitCode, bool crashed);
    // Kills the checker's process, if one runs, and waits for it to end.
    void StopChecker();
    void PlayDeadEnd(std::size_t index);
    // The session's private folder for test copies (made once, mkdtemp).
    bool MakeTestFolder(std::string& why);
    // A program beside the editor (build or install names) or on the PATH.
    std::filesystem::path FindProgram(std::initializer_list<const char*> beside,
                                      std::initializer_list<const char*> onPath) const;
    std::filesystem::path FindGame() const;
    void ShowStatus();
    void PlayClip();
    void StopClip();
    void VideoFrame();
    void RememberFolder(const std::string& file);
    std::string LastFolder() const;
    // The layer view opens as wide as it was last (kept in the settings file
    // across runs), else a third of the window.
    int LayerOpeningWidth() const;
    void RememberLayerWidth();
    void BoostDisplay();
    void KeyEvent(QKeyEvent* event, bool down);
    void BuildLayerView();
    void BuildPalette();
    void BuildHistory();
    // The history list as the undo history now stands (only when it changed).
    void RefreshHistory();
    // Undo or redo until `undone` actions are left to undo.
    void GoToStep(std::size_t undone);
    void ShowShortcutSheet();
    // The palette's pictures, drawn anew (after a bank load, or when first shown).
    void RebuildPalette();
    void FilterPalette();
    // The recent row and the flags of the current object.
    void RefreshPalette();
    void PickPaletteItem(QListWidgetItem* item);
    // Ctrl+F: the palette shown, its search field taking the keys.
    void SearchPalette();
    // The object under the cursor becomes the current one.
    void Eyedropper();
    // A click or drag in the layer view: the left button places the current
    // object (with Shift it draws the A-B box), the right one moves the cursor.
    void LayerCell(const CellPos& cell, Qt::MouseButton button, Qt::KeyboardModifiers modifiers, bool first, bool done);
    void ReleaseAllKeys();
    // Starts the frames if they were resting.
    void Wake();
    // The editor's key clock: the frames' time plus the time since the last frame.
    std::int64_t KeyClock() const;
    void PickAt(const QPoint& point, Qt::KeyboardModifiers modifiers);
    bool ViewMouse(QEvent* event);

    EditorOptions options_;
    DataResolver data_;
    Audio& audio_;
    std::unique_ptr<EditorDialogs> dialogs_;
    EditorState state_;
    std::unique_ptr<Graphics> graphics_;
    BankAssets bank_;
    EditorMarkers markers_;
    WorldDrawState draw_, previewDraw_;
    WorldDrawHooks hooks_;
    EditorKeyMemory keyMemory_;
    std::int64_t editorMs_ = 0;  // the frames' clock: the sum of their elapsed times
    bool started_ = false;
    bool fileNameEverSet_ = false;
    std::string shownCaption_;
    QTimer timer_;
    QElapsedTimer clock_;  // since the last timed frame
    int lastSentryCount_ = -1;
    Region clipboard_;  // the last box copied or cut in this window

    GlView* levelView_ = nullptr;
    GlView* currentView_ = nullptr;
    QWidget* infoBox_ = nullptr;
    QWidget* selectObjectBox_ = nullptr;
    QLabel* xLabel_ = nullptr;
    QLabel* yLabel_ = nullptr;
    QLabel* zLabel_ = nullptr;
    QLabel* luminosityLabel_ = nullptr;
    QListWidget* musicBox_ = nullptr;
    QPushButton* play_ = nullptr;
    QPushButton* stop_ = nullptr;
    QListWidget* nmeList_ = nullptr;
    QPushButton* setNmePos_ = nullptr;
    QListWidget* eventBox_ = nullptr;
    QComboBox* objectCombo_ = nullptr;
    THelp* help_ = nullptr;
    QPoint dragFrom_;
    QPoint viewDragFrom_;        // right or middle drag in the level view
    QPoint panRest_;             // pixels of a pan not yet a whole cell
    QLabel* statusText_ = nullptr;
    std::unique_ptr<VideoPlayer> video_;
    QLabel* videoWindow_ = nullptr;  // a window of its own while a clip's video plays
    QElapsedTimer videoClock_;
    QWidget* historyDock_ = nullptr;
    QListWidget* historyList_ = nullptr;
    std::pair<std::uint64_t, std::size_t> historyShown_{~std::uint64_t{0}, 0};  // state and redo count listed
    QWidget* shortcutSheet_ = nullptr;
    QWidget* paletteDock_ = nullptr;
    QLineEdit* paletteSearch_ = nullptr;
    QListWidget* paletteList_ = nullptr;
    QListWidget* paletteRecent_ = nullptr;
    QLabel* paletteFlags_ = nullptr;
    std::map<int, QIcon> palettePictures_;      // by object type
    std::vector<Cell> recentObjects_, paletteRecentShown_;  // newest first
    int previewOverride_ = -1;  // >= 0: the preview draws this type (the palette's pictures)
    LayerView* layerView_ = nullptr;
    QWidget* layerDock_ = nullptr;
    int layerWidth_ = 0;  // the layer view's width when last closed (0: not yet known)
    QListWidget* problemList_ = nullptr;
    std::vector<std::string> problems_;  // the level's own problems, as last listed
    // One line of the checker's in the problem list; a dead end carries the
    // script that reaches it.
    struct CheckLine {
        QString text, tip;
        std::optional<std::string> deadEndScript;
        bool warning = false;
    };
    std::vector<CheckLine> checkLines_;
    QProcess* checker_ = nullptr;  // the check under way, if any
    QWidget* problemDock_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    std::filesystem::path testFolder_;     // F9's folder for this session, removed at exit
    std::vector<std::string> acceptedProblems_;  // problems the designer chose to test with
    QWidget* busyBar_ = nullptr;  // in the status bar while a level is written or read
    bool busy_ = false;
    bool lowResolution_ = false;
    bool stretching_ = false;
};

}  // namespace zq
