// The editor window under a virtual X server: a level built through the
// window's own commands, the keyboard, the help window, screenshots.
#include "editor/qt/editor_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>

#include <deque>
#include <nlohmann/json.hpp>

#include "editor/editing.h"
#include "editor/editor_commands.h"
#include "world/level_file.h"
#include "editor/qt/gl_view.h"
#include "editor/qt/help_window.h"
#include "test_util.h"

namespace zq {
namespace {

// Answers prompts from a queue and records every message.
class ScriptedDialogs final : public EditorDialogs {
public:
    std::deque<std::string> answers;
    std::vector<std::string> messages, titles;
    std::string saveAs;
    std::string AskText(QWidget*, const std::string& title, const std::string&, const std::string& fallback) override {
        titles.push_back(title);
        if (answers.empty()) return fallback;
        std::string a = answers.front();
        answers.pop_front();
        return a;
    }
    std::vector<std::string> warnings, questions;
    bool yes = true;
    SaveChoice unsaved = SaveChoice::Discard;
    void ShowMessage(QWidget*, const std::string& text) override { messages.push_back(text); }
    void ShowWarning(QWidget*, const std::string& text) override {
        messages.push_back(text);
        warnings.push_back(text);
    }
    bool AskYesNo(QWidget*, const std::string& question) override {
        questions.push_back(question);
        return yes;
    }
    SaveChoice AskSaveChanges(QWidget*) override { return unsaved; }
    std::string OpenFile(QWidget*, const std::string&) override { return {}; }
    std::string SaveFile(QWidget*, const std::string&) override { return saveAs; }
    std::optional<QColor> PickColour(QWidget*, const QColor&) override { return QColor(0, 0, 64); }
};

struct EditorWindowTest : ::testing::Test {
    test::TempDir dir;
    std::filesystem::path dataDir = std::filesystem::path(ZQ_BUILD_DIR) / "data";
    SilentAudio audio;
    ScriptedDialogs* dialogs = nullptr;
    std::unique_ptr<TScreenForm> window;

    void SetUp() override {
        auto d = std::make_unique<ScriptedDialogs>();
        dialogs = d.get();
        EditorOptions options;
        options.dataDir = dataDir;
        options.settingsFile = dir / "leveleditor.ini";
        options.programDir = ZQ_BUILD_DIR;
        options.timer = false;
        window = std::make_unique<TScreenForm>(options, audio, std::move(d));
        window->resize(1000, 680);
        window->show();
        window->StartUp();
        QApplication::processEvents();
    }
    void Trigger(const char* name) {
        QAction* a = window->Action(name);
        ASSERT_NE(a, nullptr) << name;
        a->trigger();
    }
    void Key(int key, bool down, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QKeyEvent e(down ? QEvent::KeyPress : QEvent::KeyRelease, key, mods);
        QApplication::sendEvent(window->LevelView(), &e);
    }
    void Frames(int n) {
        for (int i = 0; i < n; ++i) window->Frame(30);
    }
    // The level view drawn anew, with no time passing.
    QImage Redrawn() {
        window->Frame(0);
        QApplication::processEvents();
        return window->LevelView()->Picture();
    }
    void Screenshot(QWidget* w, const char* name) {
        QApplication::processEvents();
        const std::string path = std::string(ZQ_BUILD_DIR) + "/" + name;
        EXPECT_TRUE(w->grab().save(QString::fromStdString(path))) << path;
    }
};

TEST_F(EditorWindowTest, BuildsALevelThatTheToolReadsBack) {
    EditorState& s = window->State();
    dialogs->answers = {"10", "5", "10"};
    Trigger("New1");
    ASSERT_EQ(s.working->sizeX, 10);
    EXPECT_EQ(window->windowTitle(), "Level Editor");
    EXPECT_EQ(window->LevelLabel('X').toStdString(), "X:5 / 10");

    // A floor of the first building object, the plane through the cursor.
    auto* combo = window->findChild<QComboBox*>("ObjectCombo");
    ASSERT_GT(combo->count(), 1);
    window->ChooseObject(combo->itemText(1));
    EXPECT_NE(s.paintObject, 0);
    JumpCursor(s, {5, 0, 5});
    Trigger("GeneratePlanY");
    EXPECT_EQ(GetCell(*s.working, 0, 0, 9), s.paintObject);
    JumpCursor(s, {2, 1, 2});
    window->findChild<QToolButton*>("I_Start")->click();
    JumpCursor(s, {7, 1, 7});
    window->findChild<QToolButton*>("I_Exit")->click();
    JumpCursor(s, {4, 1, 6});
    Frames(1);  // after the New prompts the keyboard waits for a frame with no key held
    Key(Qt::Key_S, true);
    Frames(1);
    Key(Qt::Key_S, false);
    dialogs->answers = {"2"};
    Trigger("Sentries1");
    EXPECT_EQ(s.working->sentryCount, 2);
    JumpCursor(s, {8, 2, 2});
    window->SetSentryPosition(1);
    EXPECT_NE(window->windowTitle().toStdString().find('*'), std::string::npos);
    Frames(3);
    Screenshot(window.get(), "editor_main_window.png");

    dialogs->saveAs = (dir / "built").string();
    Trigger("Save1");  // no file yet: asks where
    const std::string saved = (dir / "built.lev").string();
    ASSERT_EQ(s.fileName, saved);
    EXPECT_EQ(window->windowTitle().toStdString(), "Level Editor - " + saved);

    const test::ToolRun r = test::RunTool("level-info " + saved, dir);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto info = nlohmann::json::parse(r.out);
    EXPECT_EQ(info["size"], nlohmann::json::array({10, 5, 10}));
    EXPECT_EQ(info["start"], nlohmann::json::array({2, 1, 2}));
    EXPECT_EQ(info["exit"], nlohmann::json::array({7, 1, 7}));
    EXPECT_EQ(info["sentryCount"], 2);
    EXPECT_EQ(info["clipMarkers"].size(), 1u);

    // Loaded back, it is the same level.
    ASSERT_TRUE(window->LoadFile(saved));
    EXPECT_EQ(SerializeLevel(*s.working), SerializeLevel(*s.baseline));
    EXPECT_EQ(GetCell(*s.working, 3, 0, 3), s.paintObject);
}

TEST_F(EditorWindowTest, KeysStepExactlyAndMenuShortcutsDoNotEdit) {
    EditorState& s = window->State();
    JumpCursor(s, {50, 1, 0});
    // A 30 ms tap over two frames moves one cell.
    Key(Qt::Key_Up, true);
    window->Frame(15);
    window->Frame(15);
    Key(Qt::Key_Up, false);
    window->Frame(15);
    EXPECT_EQ(TargetCell(s).z, 1);
    // Ten quick taps that each fall between two frames move ten cells.
    for (int i = 0; i < 10; ++i) {
        Key(Qt::Key_Up, true);
        Key(Qt::Key_Up, false);
        window->Frame(12);
    }
    EXPECT_EQ(TargetCell(s).z, 11);
    // A one-second hold moves a bounded count, the same at any frame rate.
    Key(Qt::Key_Up, true);
    for (int t = 0; t < 1000; t += 15) window->Frame(15);
    Key(Qt::Key_Up, false);
    window->Frame(15);
    EXPECT_GE(TargetCell(s).z, 11 + 5);
    EXPECT_LE(TargetCell(s).z, 11 + 8);

    // Ctrl held: S does not place a clip marker.
    Key(Qt::Key_Control, true);
    Key(Qt::Key_S, true, Qt::ControlModifier);
    Frames(2);
    Key(Qt::Key_S, false, Qt::ControlModifier);
    Key(Qt::Key_Control, false);
    EXPECT_EQ(ClipMarkerAt(*s.working, TargetCell(s)), -1);

    // A rejected number asks again; the editor then waits for the keys to be up.
    dialogs->answers = {"5-3", "-", "300"};
    Trigger("Sentries1");
    EXPECT_EQ(s.working->sentryCount, 255);
    ASSERT_EQ(dialogs->messages.size(), 2u);
    EXPECT_EQ(dialogs->messages[0], "You must enter a positive number.");
    EXPECT_EQ(dialogs->titles.back(), "Number of Sentries");
}

TEST_F(EditorWindowTest, ALevelBuiltFromScratchIsPlayedByTheGame) {
    // A closed room: walls as a hollow box, an ingot on the way from the
    // start to the exit, the ingot door beside it, a clip marker, a sentry.
    EditorState& s = window->State();
    dialogs->answers = {"9", "5", "11"};
    Trigger("New1");
    auto paint = [&](const char* name, CellPos at) {
        window->ChooseObject(name);
        JumpCursor(s, at);
        window->findChild<QToolButton*>("I_PutBlock")->click();
    };
    window->ChooseObject("Brick wall");
    JumpCursor(s, {0, 0, 0});
    Trigger("PointA1");
    JumpCursor(s, {8, 4, 10});
    Trigger("PointB1");
    Trigger("GenerateHollow");
    paint("Gold ingot", {4, 1, 4});
    paint("Ingot door", {6, 1, 8});
    paint("Ladder (climb facing north)", {2, 1, 8});
    JumpCursor(s, {4, 1, 2});
    window->findChild<QToolButton*>("I_Start")->click();
    JumpCursor(s, {4, 1, 7});
    window->findChild<QToolButton*>("I_Exit")->click();
    window->findChild<QToolButton*>("I_SFX")->click();
    dialogs->answers = {"1"};
    Trigger("Sentries1");
    JumpCursor(s, {7, 3, 1});
    window->SetSentryPosition(1);
    dialogs->answers = {"Straight ahead", "Editor test"};
    Trigger("Description1");
    Trigger("Author1");
    const std::string level = (dir / "room.lev").string();
    dialogs->saveAs = level;
    Trigger("SaveAs1");
    ASSERT_EQ(s.fileName, level);

    // Walk forward: take the ingot, reach the exit; the level is the only
    // one, so the end credits follow.  The clip marker plays clip 0, the
    // intro video, during which the game stands still for six seconds.
    test::TempDir run;
    run.Write("walk.txt", "80x 30 up\n420x 30 -\n");
    const std::string state = (run / "state.json").string();
    const std::string command = std::string(ZQ_BUILD_DIR) + "/game_soft --headless --data " + ZQ_BUILD_DIR +
                                "/data --level " + level + " --start-level 0 --input " + (run / "walk.txt").string() +
                                " --dump-state " + state + " > " + (run / "out.txt").string() + " 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << test::ReadText(run / "out.txt");
    const auto dump = nlohmann::json::parse(test::ReadText(state));
    EXPECT_EQ(dump["ingots"], 0);
    EXPECT_EQ(dump["screen"], 10) << dump.dump();  // the end credits
}

TEST_F(EditorWindowTest, AClickPutsTheCursorOnTheClickedCell) {
    EditorState& s = window->State();
    SetCell(*s.working, 50, 1, 54, 2);
    GlView* view = window->LevelView();
    const QPointF centre(view->width() / 2.0, view->height() / 2.0);
    QMouseEvent click(QEvent::MouseButtonPress, centre, view->mapToGlobal(centre), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(view, &click);
    EXPECT_EQ(TargetCell(s), (CellPos{50, 1, 54}));
    EXPECT_EQ(window->focusWidget(), view);  // the view keeps the keyboard
}

TEST_F(EditorWindowTest, HelpWindowHasNinePages) {
    window->Action("Help1")->trigger();
    THelp* help = window->Help();
    ASSERT_TRUE(help->isVisible());
    EXPECT_EQ(help->windowTitle(), "Level Editor - Aide");
    EXPECT_EQ(help->Pages()->count(), 9);
    help->findChild<QPushButton*>("Menu3")->click();
    EXPECT_EQ(help->Pages()->currentIndex(), 2);
    Screenshot(help, "editor_help_window.png");
}

TEST_F(EditorWindowTest, ACampaignLevelOpensWithItsBehavioursAndGoesToTheGameWithItsScript) {
    EditorState& s = window->State();
    const std::string level = std::string(ZQ_BUILD_DIR) + "/data/LEVEL/11_MOVING_PARTS.LEV";
    ASSERT_TRUE(window->LoadFile(level));
    EXPECT_EQ(TargetCell(s), (CellPos{s.working->startX, s.working->startY, s.working->startZ}));
    auto* events = window->findChild<QListWidget*>("EventBox");
    ASSERT_NE(events, nullptr);
    EXPECT_GE(events->count(), 5);
    // On the lift's marker the behaviour list shows and selects its behaviour.
    JumpCursor(s, {7, 2, 9});
    window->Frame(30);
    EXPECT_FALSE(events->isHidden());
    ASSERT_NE(events->currentItem(), nullptr);
    EXPECT_EQ(events->currentItem()->text().toStdString(), "Lift");
    // A look from above and behind, for the picture.
    JumpCursor(s, {5, 3, 6});
    s.viewPitch = s.shownPitch = -4096;
    s.viewDistance = s.shownDistance = 2048;
    window->Frame(30);
    Screenshot(window.get(), "editor_campaign_level.png");

    std::string why;
    auto run = window->PrepareTestRun(why);
    ASSERT_TRUE(run) << why;
    EXPECT_TRUE(std::filesystem::exists(run->level.parent_path() / "TEST.scp"));
}

TEST_F(EditorWindowTest, DisplayOptionsAndTheRememberedFolder) {
    // Low resolution, stretched to the panel.
    window->Action("LowRes1")->trigger();
    window->Action("Stretching1")->trigger();
    window->Frame(30);
    Screenshot(window.get(), "editor_low_resolution.png");
    EXPECT_EQ(window->LevelView()->Picture().width(), 320);
    window->Action("LowRes1")->trigger();
    window->Action("Stretching1")->trigger();

    // Boost display shows the picture over the screen until a key is pressed.
    QTimer::singleShot(300, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == "BoostDisplay" && w->isVisible()) {
                QKeyEvent e(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier);
                QApplication::sendEvent(w, &e);
            }
    });
    window->Action("Boost1")->trigger();
    EXPECT_TRUE(window->State().waitForKeysUp);

    // Texturing off and on again keeps the lists and the level.
    SetCell(*window->State().working, 3, 3, 3, 2);
    window->Action("Disabled1")->trigger();
    EXPECT_FALSE(window->State().textured);
    window->Action("Enabled1")->trigger();
    EXPECT_TRUE(window->State().textured);
    EXPECT_EQ(GetCell(*window->State().working, 3, 3, 3), 2);
    EXPECT_GT(window->findChild<QComboBox*>("ObjectCombo")->count(), 1);

    dialogs->saveAs = (dir / "sub" / "kept.lev").string();
    std::filesystem::create_directories(dir / "sub");
    window->Action("SaveAs1")->trigger();
    EXPECT_NE(test::ReadText(dir / "leveleditor.ini").find("LastFolder=" + (dir / "sub").string()), std::string::npos);
}

// A data folder that links to the generated one and adds a bank that
// fails part way: its texture bank swaps two pictures, then an object names
// a mesh that is not there.
struct BrokenBankTest : EditorWindowTest {
    BrokenBankTest() {
        const std::filesystem::path real = dataDir;
        dataDir = dir / "data";
        std::filesystem::create_directories(dataDir);
        for (const auto& entry : std::filesystem::directory_iterator(real))
            std::filesystem::create_symlink(entry.path(), dataDir / entry.path().filename());
        std::string tex = test::ReadText(real / "TEXTURES.TEX");
        const auto floor = tex.find("TEXTURES/FLOOR.PCX"), stone = tex.find("TEXTURES/STONE.PCX");
        EXPECT_NE(floor, std::string::npos);
        EXPECT_NE(stone, std::string::npos);
        tex.replace(stone, 18, "TEXTURES/FLOOR.PCX");
        tex.replace(floor, 18, "TEXTURES/STONE.PCX");
        dir.Write("data/BROKEN.TEX", tex);
        std::string bank = test::ReadText(real / "Standard.bnk");
        const auto texture = bank.find("Texture=TEXTURES.TEX");
        EXPECT_NE(texture, std::string::npos);
        bank.replace(texture, 20, "Texture=BROKEN.TEX");
        bank += "\r\n[Object 200]\r\nCube=FALSE\r\nName=Missing\r\nMesh1=MISSING.3DO\r\n";
        dir.Write("data/BROKEN.BNK", bank);
    }
};

TEST_F(BrokenBankTest, ALevelWhoseBankFailsLeavesTheOpenLevelLookingAsItWas) {
    const std::string first = (dataDir / "LEVEL" / "01_FIRST_STEPS.LEV").string();
    ASSERT_TRUE(window->LoadFile(first));
    // The same level naming the broken bank (a counted string at the start).
    std::string bytes = test::ReadText(first);
    ASSERT_EQ(bytes.compare(0, 13, "\x0cSTANDARD.BNK"), 0);
    bytes.replace(0, 13, std::string("\x0a" "BROKEN.BNK\0\0", 13));
    const std::string broken = dir.Write("broken.lev", bytes).string();
    EditorState& s = window->State();
    const QImage before = Redrawn();
    ASSERT_EQ(Redrawn(), before) << "the view is not steady enough to compare";

    EXPECT_FALSE(window->LoadFile(broken));
    ASSERT_FALSE(dialogs->messages.empty());
    EXPECT_NE(dialogs->messages.back().find("MISSING.3DO"), std::string::npos) << dialogs->messages.back();
    EXPECT_EQ(s.fileName, first);
    EXPECT_EQ(Redrawn(), before);
}

TEST_F(EditorWindowTest, TestLevelWritesTheLevelAndFindsAGame) {
    std::string why;
    auto run = window->PrepareTestRun(why);
    ASSERT_TRUE(run) << why;
    EXPECT_TRUE(std::filesystem::exists(run->level));
    EXPECT_EQ(run->arguments.at(2).toStdString(), "--level");
    const test::ToolRun r = test::RunTool("level-info " + run->level.string(), dir);
    EXPECT_EQ(r.exitCode, 0) << r.err;
}

}  // namespace
}  // namespace zq

int main(int argc, char** argv) {
    zq::UseCompatibilityGl();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
