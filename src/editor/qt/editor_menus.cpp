// The menu bar: every command with its caption, object name and shortcut.
#include "editor/qt/editor_window.h"

#include <QAction>
#include <QActionGroup>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>

#include <array>

#include "editor/editing.h"
#include "editor/editor_commands.h"
#include "editor/qt/gl_view.h"
#include "editor/qt/help_window.h"
#include "editor/regions.h"

namespace zq {

namespace {

// What a menu command's step is called in the undo history: its caption
// without the mnemonic and the dots, or a shorter name where the caption
// says more than a list row needs.
std::string StepName(const QString& action, const QString& caption) {
    static const std::pair<const char*, const char*> kShort[] = {
        {"PasteBox1", "Paste"},          {"MoveBox1", "Move box"},        {"RotateBox1", "Turn box"},
        {"MirrorX1", "Mirror box (X)"},  {"MirrorZ1", "Mirror box (Z)"},  {"FloodFill1", "Flood fill"},
        {"GenerateCube", "Fill box"},    {"ClearCube", "Clear box"},      {"GenerateHollow", "Fill box's shell"},
        {"ClearHollow", "Clear box's shell"}, {"GenerateLine", "Fill line"}, {"ClearLine", "Clear line"},
        {"GeneratePlanX", "Fill X plane"}, {"GeneratePlanY", "Fill Y plane"}, {"GeneratePlanZ", "Fill Z plane"},
        {"ClearPlanX", "Clear X plane"}, {"ClearPlanY", "Clear Y plane"}, {"ClearPlanZ", "Clear Z plane"},
        {"DarkerArea1", "Lighter or darker box"}, {"EventMarker1", "Event marker"}, {"FogColor1", "Fog colour"},
        {"Sentries1", "Number of sentries"}, {"Description1", "Description"}, {"Author1", "Author"},
    };
    for (const auto& [name, step] : kShort)
        if (action == name) return step;
    QString text = caption;
    text.remove('&');
    if (text.endsWith(" ...")) text.chop(4);
    return text.toStdString();
}

}  // namespace

QAction* TScreenForm::AddAction(QMenu* menu, const QString& caption, const QString& name, std::function<void()> run,
                                const QKeySequence& shortcut) {
    auto* action = menu->addAction(caption);
    action->setObjectName(name);
    if (!shortcut.isEmpty()) action->setShortcut(shortcut);
    connect(action, &QAction::triggered, this,
            [this, run = std::move(run), step = StepName(name, caption)] { Command(run, step); });
    return action;
}

void TScreenForm::BuildMenus() {
    QMenuBar* bar = menuBar();
    QMenu* file = bar->addMenu("&File");
    AddAction(file, "&New", "New1", [this] { NewLevelCommand(); });
    AddAction(file, "&Load", "Load1", [this] { LoadCommand(); });
    recentMenu_ = file->addMenu("&Recent files");
    recentMenu_->setObjectName("RecentFiles1");
    RebuildRecentMenu();
    AddAction(file, "&Save", "Save1", [this] { SaveCommand(); }, QKeySequence("Ctrl+S"));
    AddAction(file, "Save as ...", "SaveAs1", [this] { SaveAsCommand(); });
    file->addSeparator();
    AddAction(file, "&Test level", "TestLevel1", [this] { TestLevel(); }, QKeySequence("F9"));
    AddAction(file, "Test from &here", "TestHere1", [this] { TestLevel(true); }, QKeySequence("Shift+F9"));
    file->addSeparator();
    AddAction(file, "&Quit", "Quit1", [this] { close(); });

    QMenu* edit = bar->addMenu("&Edit");
    AddAction(edit, "&Undo", "Undo1", [this] { Undo(state_); }, QKeySequence("Ctrl+Z"));
    QAction* redo = AddAction(edit, "&Redo", "Redo1", [this] { Redo(state_); }, QKeySequence("Ctrl+Y"));
    redo->setShortcuts({QKeySequence("Ctrl+Y"), QKeySequence("Ctrl+Shift+Z")});
    edit->addSeparator();
    // The box from A to B as a region.
    AddAction(edit, "&Copy box", "CopyBox1", [this] { CopyBoxCommand(false); }, QKeySequence("Ctrl+C"));
    AddAction(edit, "Cu&t box", "CutBox1", [this] { CopyBoxCommand(true); }, QKeySequence("Ctrl+X"));
    AddAction(edit, "&Paste at the cursor", "PasteBox1", [this] { PasteCommand(); }, QKeySequence("Ctrl+V"));
    AddAction(edit, "&Move box to the cursor", "MoveBox1", [this] { MoveSelection(state_); }, QKeySequence("Ctrl+M"));
    AddAction(edit, "T&urn box a quarter", "RotateBox1", [this] { RotateSelection(state_); }, QKeySequence("Ctrl+R"));
    AddAction(edit, "Mirror box left to right (&X)", "MirrorX1", [this] { MirrorSelection(state_, Axis::X); },
              QKeySequence("Ctrl+H"));
    AddAction(edit, "Mirror box front to back (&Z)", "MirrorZ1", [this] { MirrorSelection(state_, Axis::Z); },
              QKeySequence("Ctrl+J"));
    AddAction(edit, "&Empty box", "DeleteBox1", [this] { DeleteSelection(state_); }, QKeySequence("Ctrl+Delete"));
    AddAction(edit, "Pick the object under the cursor", "Eyedropper1", [this] { Eyedropper(); }, QKeySequence("I"));
    QAction* search = edit->addAction("Search the objects ...");
    search->setObjectName("SearchObjects1");
    search->setShortcut(QKeySequence("Ctrl+F"));
    connect(search, &QAction::triggered, this, [this] { SearchPalette(); });
    AddAction(edit, "&Flood fill the layer", "FloodFill1", [this] { FloodFill(state_, state_.paintObject); },
              QKeySequence("F4"));

    QMenu* opts = bar->addMenu("&Options");
    AddAction(opts, "Level &Description ...", "Description1", [this] {
        const std::string text = AskString("Level description", "Please enter a short level description", state_.working->description);
        if (!text.empty() && text != state_.working->description) {
            state_.working->description = ShortStringAnswer(text);
            state_.modified = true;
        }
    });
    AddAction(opts, "Level &Author ...", "Author1", [this] {
        const std::string text = AskString("Level author", "please enter the level author", state_.working->author);
        if (!text.empty() && text != state_.working->author) {
            state_.working->author = ShortStringAnswer(text);
            state_.modified = true;
        }
    });
    AddAction(opts, "&Number of Sentries ...", "Sentries1", [this] { SentryCountCommand(); });
    AddAction(opts, "Resize &level ...", "Resize1", [this] {
        const World& w = *state_.working;
        state_.dialogOpen = true;
        const auto r = dialogs_->AskResize(this, w.sizeX, w.sizeY, w.sizeZ);
        state_.dialogOpen = false;
        ReleaseAllKeys();
        if (r) ResizeLevel(state_, *r);
    });
    AddAction(opts, "&Random Seed ...", "RandomSeed1", [this] {
        if (auto n = AskNumber("Random Seed", "Please enter a number between 0 and 32767",
                               std::to_string(state_.working->randomSeed), kNotAPositiveNumber))
            SetRandomSeed(state_, *n);
    });
    QAction* outside = AddAction(opts, "&Outside level", "Outside1", [this] {
        state_.working->outsideLevel = Action("Outside1")->isChecked() ? 1 : 0;
        state_.modified = true;
    });
    outside->setCheckable(true);
    AddAction(opts, "&Fog Color ...", "FogColor1", [this] {
        World& w = *state_.working;
        if (auto c = dialogs_->PickColour(this, QColor(w.fogRed, w.fogGreen, w.fogBlue))) {
            w.fogRed = static_cast<std::uint8_t>(c->red());
            w.fogGreen = static_cast<std::uint8_t>(c->green());
            w.fogBlue = static_cast<std::uint8_t>(c->blue());
            SetFog(w.fogRed, w.fogGreen, w.fogBlue);
            state_.modified = true;
        }
    });
    QMenu* editor = opts->addMenu("&Editor");
    QMenu* texturing = editor->addMenu("&Texturing");
    // The active mode is the checked one.
    auto* modes = new QActionGroup(this);
    for (QAction* a : {AddAction(texturing, "&Enabled", "Enabled1", [this] { LoadBank(true); }),
                       AddAction(texturing, "&Disabled", "Disabled1", [this] { LoadBank(false); })}) {
        a->setCheckable(true);
        modes->addAction(a);
    }
    Action("Enabled1")->setChecked(true);
    AddAction(editor, "&Boost display", "Boost1", [this] { BoostDisplay(); });
    QAction* stretch = AddAction(editor, "&Stretching", "Stretching1", [this] {
        stretching_ = Action("Stretching1")->isChecked();
        levelView_->SetStretched(stretching_);
    });
    stretch->setCheckable(true);
    QAction* low = AddAction(editor, "&Force low resolution", "LowRes1", [this] {
        lowResolution_ = Action("LowRes1")->isChecked();
        LayOut();
    });
    low->setCheckable(true);
    QAction* layers = AddAction(editor, "&Layer view", "LayerView1", [this] {
        layerDock_->setVisible(Action("LayerView1")->isChecked());
    }, QKeySequence("F3"));
    layers->setCheckable(true);
    QAction* palette = AddAction(editor, "Object &palette", "Palette1", [this] {
        paletteDock_->setVisible(Action("Palette1")->isChecked());
    }, QKeySequence("F2"));
    palette->setCheckable(true);
    QAction* history = AddAction(editor, "Undo &history", "History1", [this] {
        historyDock_->setVisible(Action("History1")->isChecked());
        RefreshHistory();
    }, QKeySequence("F11"));
    history->setCheckable(true);

    QMenu* tools = bar->addMenu("&Tools");
    AddAction(tools, "Set Point A", "PointA1", [this] { SetPointA(state_); }, QKeySequence("Ctrl+1"));
    AddAction(tools, "Set Point B", "PointB1", [this] { SetPointB(state_); }, QKeySequence("Ctrl+2"));
    AddAction(tools, "Darker area from A to B ...", "DarkerArea1", [this] {
        if (auto n = AskNumber("Darker/Lighter area", "Please enter the light additive factor (-255 to +255)", "", kNotANumber))
            LightBox(state_, *n);
    }, QKeySequence("F8"));
    AddAction(tools, "Put an &event marker (P)", "EventMarker1", [this] { PlaceEventMarker(state_); });
    for (int clear = 0; clear < 2; ++clear) {
        QMenu* menu = tools->addMenu(clear ? "&Clear" : "&Generate");
        const QString tag = clear ? "Clear" : "Generate";
        auto value = [this, clear] { return clear ? Cell{0} : state_.paintObject; };
        QMenu* plan = menu->addMenu("&Plan");
        AddAction(plan, "&X", tag + "PlanX", [this, value] { FillPlane(state_, Axis::X, value()); });
        AddAction(plan, "&Y", tag + "PlanY", [this, value] { FillPlane(state_, Axis::Y, value()); });
        AddAction(plan, "&Z", tag + "PlanZ", [this, value] { FillPlane(state_, Axis::Z, value()); });
        AddAction(menu, "&Cube from A to B", tag + "Cube", [this, value] { FillBox(state_, value()); },
                  QKeySequence(clear ? "Shift+F5" : "F5"));
        AddAction(menu, clear ? "Hollow &Cube from A to B" : "Hollow C&ube from A to B", tag + "Hollow",
                  [this, value] { FillHollowBox(state_, value()); }, QKeySequence(clear ? "Shift+F6" : "F6"));
        AddAction(menu, "&Line from A to B", tag + "Line", [this, value] { FillLine(state_, value()); },
                  QKeySequence(clear ? "Shift+F7" : "F7"));
    }
    QMenu* go = tools->addMenu("Goto");
    AddAction(go, "Start point", "GotoStart1", [this] {
        const World& w = *state_.working;
        JumpCursor(state_, {w.startX, w.startY, w.startZ});
    });
    AddAction(go, "Exit point", "GotoExit1", [this] {
        const World& w = *state_.working;
        JumpCursor(state_, {w.exitX, w.exitY, w.exitZ});
    });
    AddAction(go, "Sentry", "GotoSentry1", [this] {
        const int k = state_.selectedSentry;
        if (k < 1 || k > state_.working->sentryCount) return;
        const SentryState& e = state_.working->sentries[static_cast<std::size_t>(k - 1)];
        state_.cursorTarget = {e.x, e.y, e.z};
        state_.cursorShown = state_.cursorTarget;
    });
    AddAction(go, "Coordinates", "GotoCoordinates1", [this] {
        const World& w = *state_.working;
        const CellPos at = TargetCell(state_);
        const std::array<std::pair<const char*, int>, 3> axes{{{"Please enter the X Coordinate (in cells)", at.x},
                                                                {"Please enter the Y Coordinate (in cells)", at.y},
                                                                {"Please enter the Z Coordinate (in cells)", at.z}}};
        const int sizes[3] = {w.sizeX, w.sizeY, w.sizeZ};
        int cell[3];
        for (int a = 0; a < 3; ++a) {
            auto n = AskNumber("Goto coordinates", axes[static_cast<std::size_t>(a)].first,
                               std::to_string(axes[static_cast<std::size_t>(a)].second), kNotANumber);
            if (!n) return;
            cell[a] = GotoAnswer(*n, sizes[a]);
        }
        JumpCursor(state_, {cell[0], cell[1], cell[2]});
    });

    // A menu opened by its mnemonic takes the keyboard: the Alt that opened
    // it is released elsewhere, so no key may stay held.
    for (QMenu* menu : bar->findChildren<QMenu*>())
        connect(menu, &QMenu::aboutToShow, this, [this] { ReleaseAllKeys(); });

    QMenu* helpMenu = bar->addMenu("&Help");
    QAction* sheet = helpMenu->addAction("&Keys (one page)");
    sheet->setObjectName("ShortcutSheet1");
    sheet->setShortcut(QKeySequence("F1"));
    connect(sheet, &QAction::triggered, this, [this] { ShowShortcutSheet(); });
    QAction* help = helpMenu->addAction("&Help pages");
    help->setObjectName("Help1");
    connect(help, &QAction::triggered, this, [this] {
        help_->show();
        help_->raise();
    });
    connect(helpMenu, &QMenu::aboutToShow, this, [this] { ReleaseAllKeys(); });
}

void TScreenForm::CopyBoxCommand(bool cut) {
    if (!(cut ? CutSelection(state_, clipboard_) : CopySelection(state_, clipboard_))) return;
    QGuiApplication::clipboard()->setText(QString::fromStdString(RegionText(clipboard_)));
}

void TScreenForm::PasteCommand() {
    const std::string text = QGuiApplication::clipboard()->text().toStdString();
    std::string why;
    if (auto carried = ParseRegion(text, why)) {
        clipboard_ = std::move(*carried);
    } else if (clipboard_.Empty()) {
        return Say(state_, why);
    }
    PasteClipboard(state_, clipboard_);
}

void TScreenForm::SentryCountCommand() {
    if (auto n = AskNumber("Number of Sentries", "Please enter the number of ennemies (0..255)",
                           std::to_string(state_.working->sentryCount), kNotAPositiveNumber)) {
        SetSentryCount(state_, *n);
        RebuildSentryList();
    }
}

void TScreenForm::SetSentryPosition(int k) {
    Command([this, k] { PlaceSentry(state_, k); }, "Sentry position");
}


}  // namespace zq
