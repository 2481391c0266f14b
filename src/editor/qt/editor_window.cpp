#include "editor/qt/editor_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QColorDialog>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QToolButton>
#include <QVBoxLayout>

#include <chrono>
#include <system_error>

#include "assets/colour_tables.h"
#include "core/errors.h"
#include "core/settings_file.h"
#include "editor/editing.h"
#include "editor/editor_commands.h"
#include "editor/qt/editor_icons.h"
#include "editor/qt/gl_view.h"
#include "editor/qt/help_window.h"
#include "rules/move_box.h"
#include "shell/settings.h"

namespace zq {

namespace {

constexpr int kInfoBoxWidth = 190;
constexpr int kMargin = 5;
constexpr int kMinClientHeight = 417;
constexpr int kLowWidth = 320, kLowHeight = 240;
constexpr int kBoostWidth = 320, kBoostHeight = 200;
constexpr int kFrameMs = 15;

struct IconCommand {
    const char* name;
    const char* hint;
};

const IconCommand kIcons[] = {
    {"I_MoveForward", "Move forward (Up arrow)"},
    {"I_MoveBack", "Move backwards (Down arrow)"},
    {"I_RotateLeft", "Rotate left (Left arrow)"},
    {"I_RotateRight", "Rotate right (Right arrow)"},
    {"I_MoveLeft", "Move left (CTRL+Left arrow)"},
    {"I_MoveRight", "Move right (CTRL+Right arrow)"},
    {"I_GoUp", "Move upwards (\"H\")"},
    {"I_GoDown", "Move downards (\"B\" key)"},
    {"I_ZoomIn", "Zoom in (\"+\")"},
    {"I_ZoomOut", "Zoom out (\"-\")"},
    {"I_LookUp", "Top view (\"Page Up\")"},
    {"I_LookDown", "Down view (\"Page Down\")"},
    {"I_PutBlock", "Put current object in map (Space key)"},
    {"I_DelBlock", "Delete current cell (object & music) (DEL key)"},
    {"I_Brighter", "Brighten current cell (\"E\" key)"},
    {"I_Darker", "Darken current cell (\"A\" key)"},
    {"I_RaiseUp", "Stretch Up (HOME Key)"},
    {"I_RaiseDown", "Stretch Down (END key)"},
    {"I_SFX", "Put a clip (\"S\")"},
    {"I_Start", "Put the Start point (\"D\")"},
    {"I_Exit", "Put the Exit point (\"X\")"},
};

std::optional<EditorKey> KeyOf(int key) {
    switch (key) {
        case Qt::Key_Up: return EditorKey::Up;
        case Qt::Key_Down: return EditorKey::Down;
        case Qt::Key_Left: return EditorKey::Left;
        case Qt::Key_Right: return EditorKey::Right;
        case Qt::Key_B: return EditorKey::B;
        case Qt::Key_H: return EditorKey::H;
        case Qt::Key_PageUp: return EditorKey::PageUp;
        case Qt::Key_PageDown: return EditorKey::PageDown;
        case Qt::Key_Plus: return EditorKey::Plus;
        case Qt::Key_Minus: return EditorKey::Minus;
        case Qt::Key_Space: return EditorKey::Space;
        case Qt::Key_Backspace: return EditorKey::Backspace;
        case Qt::Key_Delete: return EditorKey::Delete;
        case Qt::Key_D: return EditorKey::D;
        case Qt::Key_X: return EditorKey::X;
        case Qt::Key_S: return EditorKey::S;
        case Qt::Key_A: return EditorKey::A;
        case Qt::Key_E: return EditorKey::E;
        case Qt::Key_P: return EditorKey::P;
        case Qt::Key_End: return EditorKey::End;
        case Qt::Key_Home: return EditorKey::Home;
        default: return std::nullopt;
    }
}

class QtDialogs final : public EditorDialogs {
public:
    std::string AskText(QWidget* parent, const std::string& title, const std::string& prompt,
                        const std::string& fallback) override {
        bool ok = false;
        const QString text = QInputDialog::getText(parent, QString::fromStdString(title), QString::fromStdString(prompt),
                                                   QLineEdit::Normal, QString::fromStdString(fallback), &ok);
        return ok ? text.toStdString() : fallback;
    }
    void ShowMessage(QWidget* parent, const std::string& text) override {
        QMessageBox::information(parent, "Level editor", QString::fromStdString(text));
    }
    bool AskDiscard(QWidget* parent) override {
        return QMessageBox::question(parent, "Level editor", "The level has unsaved changes. Discard them?",
                                     QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Cancel) == QMessageBox::Discard;
    }
    std::string OpenFile(QWidget* parent, const std::string& folder) override {
        return QFileDialog::getOpenFileName(parent, "Load level", QString::fromStdString(folder), "Level file (*.lev)")
            .toStdString();
    }
    std::string SaveFile(QWidget* parent, const std::string& proposed) override {
        return QFileDialog::getSaveFileName(parent, "Save level as", QString::fromStdString(proposed),
                                            "Level file (*.lev)")
            .toStdString();
    }
    std::optional<QColor> PickColour(QWidget* parent, const QColor& current) override {
        const QColor c = QColorDialog::getColor(current, parent, "Fog Color");
        if (!c.isValid()) return std::nullopt;
        return c;
    }
};

std::string CompanionScript(const std::string& levelPath) {
    return levelPath.size() >= 3 ? levelPath.substr(0, levelPath.size() - 3) + "scp" : std::string();
}

}  // namespace

std::unique_ptr<EditorDialogs> MakeQtDialogs() { return std::make_unique<QtDialogs>(); }

std::filesystem::path EditorSettingsPath(const std::filesystem::path& startDir) {
    namespace fs = std::filesystem;
    const fs::path local = startDir / "leveleditor.ini";
    std::error_code ec;
    const auto status = fs::status(local, ec);
    if (!ec && fs::is_regular_file(status) && (status.permissions() & fs::perms::owner_write) != fs::perms::none)
        return local;
    return UserConfigDir() / "zorvoquib" / "leveleditor.ini";
}

TScreenForm::TScreenForm(EditorOptions options, Audio& audio, std::unique_ptr<EditorDialogs> dialogs)
    : options_(std::move(options)), data_(options_.dataDir), audio_(audio), dialogs_(std::move(dialogs)),
      graphics_(MakeGraphics(PixelFormat::kRgba)) {
    setObjectName("TScreenForm");
    setWindowTitle("Zorvo Quib - Level Editor");
    InitWorldDrawState(draw_);
    InitWorldDrawState(previewDraw_);
    hooks_.shapeCube = [this](const World& world, int x, int y, int z) { ShapeCubeFaces(world, x, y, z, draw_.cubeFaces); };
    BuildWindow();
    BuildMenus();
    help_ = new THelp(this);
    connect(&timer_, &QTimer::timeout, this, [this] {
        const int elapsed = static_cast<int>(clock_.restart());
        Frame(elapsed);
    });
    resize(1000, 680);
}

TScreenForm::~TScreenForm() {
    // The views draw from this window's state: they go before it does.
    timer_.stop();
    delete levelView_;
    delete currentView_;
}

void TScreenForm::BuildWindow() {
    auto* central = new QWidget(this);
    central->setMinimumSize(kInfoBoxWidth + 200, kMinClientHeight);
    central->installEventFilter(this);
    setCentralWidget(central);

    levelView_ = new GlView(central);
    levelView_->setObjectName("LevelView");
    levelView_->setToolTip("Level view");
    levelView_->setFocusPolicy(Qt::StrongFocus);
    levelView_->installEventFilter(this);
    levelView_->draw = [this](GlRenderer& r) { DrawLevel(r); };
    levelView_->ready = [this](GlRenderer& r) { r.BindGraphics(*graphics_); };
    auto* loading = new QLabel("LOADING ... PLEASE WAIT", levelView_);
    loading->setObjectName("LoadingText");
    loading->setAlignment(Qt::AlignCenter);
    loading->setStyleSheet("color: white; background: black; font-weight: bold;");

    infoBox_ = new QWidget(central);
    infoBox_->setObjectName("InfoBox");
    auto* info = new QVBoxLayout(infoBox_);
    info->setContentsMargins(0, 0, 0, 0);
    info->setSpacing(3);
    auto* grid = new QGridLayout;
    grid->setSpacing(1);
    int i = 0;
    for (const IconCommand& icon : kIcons) {
        auto* button = new QToolButton(infoBox_);
        button->setObjectName(icon.name);
        button->setIcon(QIcon(EditorIcon(icon.name)));
        button->setIconSize(QSize(22, 22));
        button->setToolTip(icon.hint);
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        const QString name = icon.name;
        connect(button, &QToolButton::clicked, this, [this, name] {
            static const std::pair<const char*, CursorMove> moves[] = {
                {"I_MoveForward", CursorMove::Forward}, {"I_MoveBack", CursorMove::Back},
                {"I_RotateLeft", CursorMove::TurnLeft}, {"I_RotateRight", CursorMove::TurnRight},
                {"I_MoveLeft", CursorMove::Left},       {"I_MoveRight", CursorMove::Right},
                {"I_GoUp", CursorMove::Up},             {"I_GoDown", CursorMove::Down},
                {"I_ZoomIn", CursorMove::ZoomIn},       {"I_ZoomOut", CursorMove::ZoomOut},
                {"I_LookUp", CursorMove::LookUp},       {"I_LookDown", CursorMove::LookDown},
            };
            static const std::pair<const char*, void (*)(EditorState&)> edits[] = {
                {"I_PutBlock", PutBlock}, {"I_DelBlock", DeleteCell}, {"I_Brighter", Brighten},
                {"I_Darker", Darken},     {"I_RaiseUp", StretchUp},   {"I_RaiseDown", StretchDown},
                {"I_SFX", PlaceClipMarker}, {"I_Start", PlaceStart},  {"I_Exit", PlaceExit},
            };
            Command([this, name] {
                for (const auto& [n, move] : moves)
                    if (name == n) MoveCursor(state_, move);
                for (const auto& [n, op] : edits)
                    if (name == n) op(state_);
            });
        });
        grid->addWidget(button, i / 7, i % 7);
        ++i;
    }
    info->addLayout(grid);

    auto label = [this, info](const char* name, const char* hint) {
        auto* l = new QLabel(infoBox_);
        l->setObjectName(name);
        l->setToolTip(hint);
        info->addWidget(l);
        return l;
    };
    xLabel_ = label("XPosLabel", "X Coordinate");
    yLabel_ = label("YPosLabel", "Y Coordinate");
    zLabel_ = label("ZPosLabel", "Z Coordinate");
    luminosityLabel_ = label("LuminosityLabel", "Luminosity factor");

    musicBox_ = new QListWidget(infoBox_);
    musicBox_->setObjectName("MusicBox");
    musicBox_->setMaximumHeight(70);
    connect(musicBox_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        Command([this, item] { SetMarkerClip(state_, HighestNamed(ClipNames(*state_.working), item->text().toStdString())); });
    });
    info->addWidget(musicBox_);
    auto* musicButtons = new QHBoxLayout;
    play_ = new QPushButton("Play", infoBox_);
    play_->setObjectName("Play");
    play_->setToolTip("Play music");
    stop_ = new QPushButton("Stop", infoBox_);
    stop_->setObjectName("Stop");
    stop_->setToolTip("Stop music");
    connect(play_, &QPushButton::clicked, this, [this] {
        Command([this] {
            const QListWidgetItem* item = musicBox_->currentItem();
            if (!item) return;
            const int clip = HighestNamed(ClipNames(*state_.working), item->text().toStdString());
            if (clip < 0) return;
            const ClipDef& def = state_.working->clips[static_cast<std::size_t>(clip)];
            if (!def.music.empty()) audio_.PlayMusic(def.music, def.musicLoop);
        });
    });
    connect(stop_, &QPushButton::clicked, this, [this] {
        Command([this] {
            audio_.StopMusic();
            audio_.StopAllSounds();
        });
    });
    musicButtons->addWidget(play_);
    musicButtons->addWidget(stop_);
    info->addLayout(musicButtons);

    auto* sentries = new QLabel("Sentries", infoBox_);
    info->addWidget(sentries);
    nmeList_ = new QListWidget(infoBox_);
    nmeList_->setObjectName("NMEList");
    nmeList_->setMaximumHeight(80);
    connect(nmeList_, &QListWidget::currentRowChanged, this, [this](int row) { state_.selectedSentry = row + 1; });
    connect(nmeList_, &QListWidget::itemClicked, this, [this] { levelView_->setFocus(); });
    info->addWidget(nmeList_);
    setNmePos_ = new QPushButton("Set Pos.", infoBox_);
    setNmePos_->setObjectName("SetNMEPos");
    connect(setNmePos_, &QPushButton::clicked, this, [this] { Command([this] { PlaceSentry(state_, state_.selectedSentry); }); });
    info->addWidget(setNmePos_);

    eventBox_ = new QListWidget(infoBox_);
    eventBox_->setObjectName("EventBox");
    eventBox_->setMaximumHeight(70);
    connect(eventBox_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        Command([this, item] {
            SetMarkerBehaviour(state_, HighestNamed(BehaviourNames(*state_.working), item->text().toStdString()));
        });
    });
    info->addWidget(eventBox_);
    info->addStretch(1);

    selectObjectBox_ = new QWidget(central);
    selectObjectBox_->setObjectName("SelectObjectBox");
    auto* select = new QVBoxLayout(selectObjectBox_);
    select->setContentsMargins(0, 0, 0, 0);
    objectCombo_ = new QComboBox(selectObjectBox_);
    objectCombo_->setObjectName("ObjectCombo");
    objectCombo_->setToolTip("Building objects list");
    objectCombo_->setPlaceholderText("(choose an object)");
    connect(objectCombo_, &QComboBox::activated, this, [this](int) { ChooseObject(objectCombo_->currentText()); });
    select->addWidget(objectCombo_);

    currentView_ = new GlView(central);
    currentView_->setObjectName("CurrentView");
    currentView_->setToolTip("Current paint object");
    currentView_->setFixedSize(kPreviewWidth, kPreviewHeight);
    currentView_->SetPictureSize(kPreviewWidth, kPreviewHeight);
    currentView_->installEventFilter(this);
    currentView_->draw = [this](GlRenderer& r) { DrawPreview(r); };
    currentView_->ready = [this](GlRenderer& r) { r.BindGraphics(*graphics_); };
}

QAction* TScreenForm::AddAction(QMenu* menu, const QString& caption, const QString& name, std::function<void()> run,
                                const QKeySequence& shortcut) {
    auto* action = menu->addAction(caption);
    action->setObjectName(name);
    if (!shortcut.isEmpty()) action->setShortcut(shortcut);
    connect(action, &QAction::triggered, this, [this, run = std::move(run)] { Command(run); });
    return action;
}

void TScreenForm::BuildMenus() {
    QMenuBar* bar = menuBar();
    QMenu* file = bar->addMenu("&File");
    AddAction(file, "&New", "New1", [this] { NewLevelCommand(); });
    AddAction(file, "&Load", "Load1", [this] { LoadCommand(); });
    AddAction(file, "&Save", "Save1", [this] { SaveCommand(); }, QKeySequence("Ctrl+S"));
    AddAction(file, "Save as ...", "SaveAs1", [this] { SaveAsCommand(); });
    file->addSeparator();
    AddAction(file, "&Test level", "TestLevel1", [this] { TestLevel(); }, QKeySequence("F9"));
    file->addSeparator();
    AddAction(file, "&Quit", "Quit1", [this] { close(); });

    QMenu* edit = bar->addMenu("&Edit");
    AddAction(edit, "&Undo", "Undo1", [this] { Undo(state_); }, QKeySequence("Ctrl+Z"));

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
    AddAction(texturing, "&Enabled", "Enabled1", [this] { LoadBank(true); });
    AddAction(texturing, "&Disabled", "Disabled1", [this] { LoadBank(false); });
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

    QAction* help = bar->addAction("&Help");
    help->setObjectName("Help1");
    help->setShortcut(QKeySequence("F1"));
    connect(help, &QAction::triggered, this, [this] {
        help_->show();
        help_->raise();
    });
}

QAction* TScreenForm::Action(const QString& objectName) const { return findChild<QAction*>(objectName); }

QString TScreenForm::LevelLabel(char axis) const {
    return axis == 'X' ? xLabel_->text() : axis == 'Y' ? yLabel_->text() : axis == 'Z' ? zLabel_->text() : luminosityLabel_->text();
}

void TScreenForm::Command(std::function<void()> run) {
    if (!started_) return;
    run();
    RefreshPanel();
    levelView_->update();
    currentView_->update();
    // The lists must not keep the keyboard: the view polls it.
    levelView_->setFocus();
}

void TScreenForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!started_) QTimer::singleShot(0, this, [this] { StartUp(); });
}

void TScreenForm::StartUp() {
    if (started_) return;
    state_.random.seed = static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    LoadBank(true);
    SetFog(0, 0, 0);
    const std::uint32_t seed = state_.random.seed;
    InitEditor(state_);
    state_.random.seed = seed;
    started_ = true;
    if (auto* loading = levelView_->findChild<QLabel*>("LoadingText")) loading->hide();
    RebuildLists();
    if (!options_.file.empty()) LoadFile(options_.file);
    RefreshPanel();
    LayOut();
    levelView_->setFocus();
    clock_.start();
    if (options_.timer) timer_.start(kFrameMs);
}

void TScreenForm::LoadBankOrRestore(World& world, const std::string& name, const std::string& mode,
                                    std::function<void()> afterLoad) {
    const std::string lastName = bank_.loadedName, lastMode = bank_.loadedMode;
    BankLoadContext context{data_, *graphics_, bank_, audio_, 0, nullptr, std::move(afterLoad)};
    try {
        LoadObjectDefinitions(world, context, name, mode);
    } catch (...) {
        // Pictures, sounds and object types read before the failure have
        // already replaced the old ones.
        if (!lastName.empty()) {
            try {
                LoadObjectDefinitions(world, context, lastName, lastMode);
            } catch (...) {
                // Changed on disk since: what was read stays.
            }
        }
        throw;
    }
}

void TScreenForm::LoadBank(bool high) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        LoadBankOrRestore(*state_.working, "Standard.bnk", high ? "High" : "Low", [this] {
            for (GlView* view : {levelView_, currentView_})
                if (view->Renderer()) view->Renderer()->BindGraphics(*graphics_);
        });
        state_.textured = high;
        LoadEditorMarkers(data_, graphics_->flatPalette, markers_);
        SetFog(state_.working->fogRed, state_.working->fogGreen, state_.working->fogBlue);
    } catch (...) {
        QApplication::restoreOverrideCursor();
        if (!started_) throw;  // start-up failures end the program
        dialogs_->ShowMessage(this, "The object definitions could not be loaded.");
        return;
    }
    QApplication::restoreOverrideCursor();
    if (started_) RebuildLists();
}

void TScreenForm::SetFog(int red, int green, int blue) {
    SetFogColour(*graphics_->tables, graphics_->mainPalette, red, green, blue);
    for (GlView* view : {levelView_, currentView_})
        if (view->Renderer()) view->Renderer()->BindGraphics(*graphics_);
}

void TScreenForm::DrawLevel(GlRenderer& renderer) {
    if (!started_) {
        renderer.ClearFrame(0);
        return;
    }
    EditorViewParts parts{markers_, bank_, draw_, hooks_, renderer.FogClearColour()};
    DrawEditorView(state_, renderer, parts);
}

void TScreenForm::DrawPreview(GlRenderer& renderer) {
    if (!started_) {
        renderer.ClearFrame(0);
        return;
    }
    DrawObjectPreview(*state_.working, state_.paintObject, state_.previewYaw, state_.previewPitch, bank_.textured,
                      renderer, previewDraw_);
}

void TScreenForm::Frame(int elapsedMs) {
    if (!started_) return;
    keys_.anyDown = !held_.isEmpty();
    keys_.ctrl = held_.contains(Qt::Key_Control);
    keys_.alt = held_.contains(Qt::Key_Alt);
    EditorFrame(state_, keys_, previousKeys_, elapsedMs);
    RefreshPanel();
    levelView_->update();
    currentView_->update();
}

void TScreenForm::RefreshPanel() {
    const World& w = *state_.working;
    const std::string caption = EditorCaption(state_, fileNameEverSet_);
    if (caption != shownCaption_) {
        shownCaption_ = caption;
        setWindowTitle(QString::fromStdString(caption));
    }
    const CellPos c = TargetCell(state_);
    auto set = [](QLabel* label, const std::string& text) {
        const QString t = QString::fromStdString(text);
        if (label->text() != t) label->setText(t);
    };
    set(xLabel_, AxisLabel('X', c.x, w.sizeX));
    set(yLabel_, AxisLabel('Y', c.y, w.sizeY));
    set(zLabel_, AxisLabel('Z', c.z, w.sizeZ));
    set(luminosityLabel_, LuminosityLabel(GetLight(w, c.x, c.y, c.z)));

    const int clip = ClipMarkerAt(w, c);
    musicBox_->setVisible(clip >= 0);
    play_->setVisible(clip >= 0);
    stop_->setVisible(clip >= 0);
    if (clip >= 0) {
        const std::string& name = w.clips[static_cast<std::size_t>(std::clamp(w.clipMarkers[static_cast<std::size_t>(clip)].clip, 0, kClipCount - 1))].name;
        const auto found = musicBox_->findItems(QString::fromStdString(name), Qt::MatchExactly);
        QListWidgetItem* item = found.isEmpty() ? nullptr : found.back();
        if (musicBox_->currentItem() != item) {
            QSignalBlocker block(musicBox_);
            musicBox_->setCurrentItem(item);
        }
    }
    const int event = EventMarkerAt(w, c);
    eventBox_->setVisible(event >= 0);
    if (event >= 0) {
        const int b = std::clamp(w.eventMarkers[static_cast<std::size_t>(event)].behaviour, 0, kBehaviourCount - 1);
        const auto found = eventBox_->findItems(QString::fromStdString(w.behaviours[static_cast<std::size_t>(b)].name), Qt::MatchExactly);
        QListWidgetItem* item = found.isEmpty() ? nullptr : found.back();
        if (eventBox_->currentItem() != item) {
            QSignalBlocker block(eventBox_);
            eventBox_->setCurrentItem(item);
        }
    }
    if (w.sentryCount != lastSentryCount_) RebuildSentryList();
    const int paint = objectCombo_->findData(static_cast<int>(state_.paintObject));
    if (paint != objectCombo_->currentIndex()) {
        QSignalBlocker block(objectCombo_);
        objectCombo_->setCurrentIndex(paint);
    }
    if (QAction* outside = Action("Outside1")) outside->setChecked(w.outsideLevel != 0);
}

void TScreenForm::RebuildLists() {
    const World& w = *state_.working;
    objectCombo_->clear();
    for (const NamedEntry& e : ObjectNames(w)) objectCombo_->addItem(QString::fromStdString(e.name), e.index);
    const int at = objectCombo_->findData(static_cast<int>(state_.paintObject));
    objectCombo_->setCurrentIndex(at);
    musicBox_->clear();
    for (const NamedEntry& e : ClipNames(w)) musicBox_->addItem(QString::fromStdString(e.name));
    eventBox_->clear();
    for (const NamedEntry& e : BehaviourNames(w)) eventBox_->addItem(QString::fromStdString(e.name));
    RebuildSentryList();
}

void TScreenForm::RebuildSentryList() {
    const int count = std::clamp(state_.working->sentryCount, 0, kMaxSentries);
    lastSentryCount_ = state_.working->sentryCount;
    QSignalBlocker block(nmeList_);
    nmeList_->clear();
    for (int k = 1; k <= count; ++k) nmeList_->addItem(QString("NME #%1").arg(k));
    if (state_.selectedSentry >= 1 && state_.selectedSentry <= count) nmeList_->setCurrentRow(state_.selectedSentry - 1);
    else state_.selectedSentry = 0;
}

void TScreenForm::ChooseObject(const QString& name) {
    Command([this, name] {
        const int index = HighestNamed(ObjectNames(*state_.working), name.toStdString());
        if (index >= 0) state_.paintObject = static_cast<Cell>(index);
    });
}

void TScreenForm::resizeEvent(QResizeEvent* event) { QMainWindow::resizeEvent(event); }

void TScreenForm::LayOut() {
    QWidget* central = centralWidget();
    const int cw = central->width(), ch = central->height();
    const int viewWidth = std::max(4, (cw - kInfoBoxWidth - 20) / 4 * 4);
    levelView_->setGeometry(0, 0, viewWidth, std::max(1, ch - kMargin));
    if (auto* loading = levelView_->findChild<QLabel*>("LoadingText")) loading->setGeometry(levelView_->rect());
    const int right = cw - kMargin;
    currentView_->move(right - kPreviewWidth, ch - kMargin - kPreviewHeight);
    const int comboHeight = objectCombo_->sizeHint().height();
    selectObjectBox_->setGeometry(right - kInfoBoxWidth, ch - kMargin - kPreviewHeight - kMargin - comboHeight,
                                  kInfoBoxWidth, comboHeight);
    infoBox_->setGeometry(right - kInfoBoxWidth, kMargin, kInfoBoxWidth,
                          std::max(50, selectObjectBox_->y() - 2 * kMargin));
    if (lowResolution_) levelView_->SetPictureSize(kLowWidth, kLowHeight);
    else levelView_->SetPictureSize(0, 0);
}

bool TScreenForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == centralWidget() && event->type() == QEvent::Resize) {
        LayOut();
        return false;
    }
    if (watched == levelView_) {
        switch (event->type()) {
            case QEvent::KeyPress:
                KeyEvent(static_cast<QKeyEvent*>(event), true);
                return true;
            case QEvent::KeyRelease:
                KeyEvent(static_cast<QKeyEvent*>(event), false);
                return true;
            case QEvent::FocusOut:
                // Releases go elsewhere from now on; a key must not stay held.
                ReleaseAllKeys();
                return false;
            case QEvent::MouseButtonPress: {
                auto* mouse = static_cast<QMouseEvent*>(event);
                if (mouse->button() == Qt::LeftButton) PickAt(mouse->position().toPoint());
                levelView_->setFocus();
                return true;
            }
            default:
                return false;
        }
    }
    if (watched == currentView_) {
        if (event->type() == QEvent::MouseButtonPress) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            dragFrom_ = mouse->position().toPoint();
            if (mouse->button() == Qt::RightButton) {
                state_.previewYaw = 0;
                state_.previewPitch = 0;
                currentView_->update();
            }
            return true;
        }
        if (event->type() == QEvent::MouseMove) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            const QPoint at = mouse->position().toPoint();
            if (mouse->buttons() & Qt::LeftButton) {
                state_.previewYaw += 100 * (at.x() - dragFrom_.x());
                state_.previewPitch -= 100 * (at.y() - dragFrom_.y());
                currentView_->update();
            }
            dragFrom_ = at;
            return true;
        }
        if (event->type() == QEvent::MouseButtonRelease) {
            levelView_->setFocus();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TScreenForm::KeyEvent(QKeyEvent* event, bool down) {
    // Auto-repeat adds nothing: a held key already acts on every frame.
    if (event->isAutoRepeat()) return;
    if (down) held_.insert(event->key());
    else held_.remove(event->key());
    if (auto k = KeyOf(event->key())) keys_.Set(*k, down);
}

void TScreenForm::ReleaseAllKeys() {
    held_.clear();
    keys_ = EditorKeyboard{};
}

void TScreenForm::PickAt(const QPoint& point) {
    if (!started_) return;
    int w = levelView_->width(), h = levelView_->height(), left = 0, top = 0;
    if (lowResolution_ && !stretching_) {
        left = (w - kLowWidth) / 2;
        top = (h - kLowHeight) / 2;
        w = kLowWidth;
        h = kLowHeight;
    }
    const float nx = 2.0f * (static_cast<float>(point.x() - left) + 0.5f) / static_cast<float>(w) - 1.0f;
    const float ny = 1.0f - 2.0f * (static_cast<float>(point.y() - top) + 0.5f) / static_cast<float>(h);
    if (nx < -1 || nx > 1 || ny < -1 || ny > 1) return;
    if (auto cell = PickCell(*state_.working, EditorCamera(state_), nx, ny, kGlFieldOfView, kGlAspect)) {
        state_.cursorTarget = CellCentre(*cell);
        RefreshPanel();
    }
}

std::optional<int> TScreenForm::AskNumber(const std::string& title, const std::string& prompt,
                                          const std::string& fallback, const char* rejection) {
    for (;;) {
        const std::string text = AskString(title, prompt, fallback);
        const PromptNumber n = ParsePromptNumber(text);
        if (n.kind == PromptNumber::Empty) return std::nullopt;
        if (n.kind == PromptNumber::Number) return n.value;
        dialogs_->ShowMessage(this, rejection);
    }
}

std::string TScreenForm::AskString(const std::string& title, const std::string& prompt, const std::string& fallback) {
    state_.dialogOpen = true;
    const std::string text = dialogs_->AskText(this, title, prompt, fallback);
    state_.dialogOpen = false;
    // Key releases went to the prompt: start again from no key held.
    ReleaseAllKeys();
    state_.waitForKeysUp = true;
    return text;
}

bool TScreenForm::ConfirmDiscard() {
    if (!state_.modified) return true;
    state_.dialogOpen = true;
    const bool yes = dialogs_->AskDiscard(this);
    state_.dialogOpen = false;
    return yes;
}

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

void TScreenForm::SentryCountCommand() {
    if (auto n = AskNumber("Number of Sentries", "Please enter the number of ennemies (0..255)",
                           std::to_string(state_.working->sentryCount), kNotAPositiveNumber)) {
        SetSentryCount(state_, *n);
        RebuildSentryList();
    }
}

void TScreenForm::SetSentryPosition(int k) {
    Command([this, k] { PlaceSentry(state_, k); });
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

void TScreenForm::BoostDisplay() {
    // The view rendered at 320 x 200 and shown over the whole screen until a
    // key is pressed.
    levelView_->SetPictureSize(kBoostWidth, kBoostHeight);
    levelView_->repaint();
    const QImage picture = levelView_->Picture();
    LayOut();
    QDialog boost(this);
    boost.setObjectName("BoostDisplay");
    boost.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    boost.setStyleSheet("background: black;");
    auto* label = new QLabel(&boost);
    label->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(&boost);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label);
    const QSize screen = this->screen() ? this->screen()->size() : QSize(kBoostWidth * 2, kBoostHeight * 2);
    label->setPixmap(QPixmap::fromImage(picture).scaled(screen, Qt::KeepAspectRatio, Qt::FastTransformation));
    struct AnyKey : QObject {
        QDialog* dialog;
        explicit AnyKey(QDialog* d) : dialog(d) {}
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::KeyPress || e->type() == QEvent::MouseButtonPress) dialog->accept();
            return false;
        }
    } anyKey(&boost);
    boost.installEventFilter(&anyKey);
    label->installEventFilter(&anyKey);
    state_.dialogOpen = true;
    boost.showFullScreen();
    boost.exec();
    state_.dialogOpen = false;
    ReleaseAllKeys();
    state_.waitForKeysUp = true;
}

void TScreenForm::closeEvent(QCloseEvent* event) {
    if (!ConfirmDiscard()) {
        event->ignore();
        return;
    }
    audio_.StopMusic();
    audio_.StopAllSounds();
    timer_.stop();
    help_->hide();
    event->accept();
}

}  // namespace zq
