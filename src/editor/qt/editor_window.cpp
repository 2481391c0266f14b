// The editor window itself: start-up, the frame, the bank and fog, the
// drawing of both views, the layout and closing.
#include "editor/qt/editor_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDockWidget>
#include <QListWidget>
#include <QStatusBar>
#include <QStyle>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>

#include <chrono>
#include <system_error>

#include "assets/colour_tables.h"
#include "core/errors.h"
#include "core/settings_file.h"
#include "core/settings_store.h"
#include "editor/editing.h"
#include "editor/editor_commands.h"
#include "editor/level_problems.h"
#include "editor/qt/gl_view.h"
#include "editor/qt/help_window.h"
#include "editor/qt/layer_view.h"
#include "editor/qt/window_layout.h"
#include "rules/move_box.h"

namespace zq {

using namespace editorui;

std::filesystem::path EditorSettingsPath(const std::filesystem::path& startDir) {
    namespace fs = std::filesystem;
    const fs::path local = startDir / "leveleditor.ini";
    std::error_code ec;
    const auto status = fs::status(local, ec);
    if (!ec && fs::is_regular_file(status) && (status.permissions() & fs::perms::owner_write) != fs::perms::none)
        return local;
    if (UserConfigDir().empty()) return {};  // no home folder: the editor keeps no settings
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
    statusText_ = new QLabel(this);
    statusText_->setObjectName("StatusText");
    statusBar()->addWidget(statusText_, 1);
    auto* progress = new QProgressBar(this);
    progress->setObjectName("BusyBar");
    progress->setRange(0, 0);  // busy: a write reports no fraction done
    progress->setMaximumWidth(160);
    progress->hide();
    statusBar()->addPermanentWidget(progress);
    busyBar_ = progress;
    // The problem list: beside the level, never in the way of a save.
    auto* dock = new QDockWidget("Problems", this);
    dock->setObjectName("ProblemDock");
    dock->setFeatures(QDockWidget::DockWidgetClosable);
    problemList_ = new QListWidget(dock);
    problemList_->setObjectName("ProblemList");
    problemList_->setFocusPolicy(Qt::NoFocus);
    // A few lines: the view and the panel keep their room.
    problemList_->setMaximumHeight(3 * problemList_->fontMetrics().height() + 12);
    dock->setWidget(problemList_);
    connect(problemList_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        const QVariant deadEnd = item->data(Qt::UserRole);
        if (deadEnd.isValid()) Command([this, deadEnd] { PlayDeadEnd(static_cast<std::size_t>(deadEnd.toInt())); });
    });
    addDockWidget(Qt::BottomDockWidgetArea, dock);
    dock->hide();
    problemDock_ = dock;
    BuildLayerView();
    BuildPalette();
    BuildHistory();
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
    // The docks hide as the window goes: they must no longer call into it.
    if (paletteDock_) paletteDock_->disconnect(this);
    if (historyDock_) historyDock_->disconnect(this);
    if (layerDock_) layerDock_->disconnect(this);
    if (video_) video_->Stop();
    delete levelView_;
    delete currentView_;
    StopChecker();  // before its folder goes
    if (!testFolder_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(testFolder_, ec);
    }
}
QAction* TScreenForm::Action(const QString& objectName) const { return findChild<QAction*>(objectName); }

QString TScreenForm::LevelLabel(char axis) const {
    return axis == 'X' ? xLabel_->text() : axis == 'Y' ? yLabel_->text() : axis == 'Z' ? zLabel_->text() : luminosityLabel_->text();
}

void TScreenForm::Command(std::function<void()> run, const std::string& step) {
    if (!started_) return;
    // An edit still open (a held key's) stays a step of its own.
    CommitAction(state_);
    NameStep(state_, step);
    run();
    // Every command is one undo step (none when it changed nothing).
    CommitAction(state_);
    state_.stepName.clear();
    RefreshPanel();
    levelView_->update();
    currentView_->update();
    Wake();
    // The lists must not keep the keyboard: the view takes the keys.
    levelView_->setFocus();
}

void TScreenForm::Wake() {
    if (!options_.timer || !started_ || timer_.isActive()) return;
    clock_.restart();
    timer_.start(kFrameMs);
}

std::int64_t TScreenForm::KeyClock() const {
    // At rest the next frame starts its clock when woken, so a key's time is
    // the frames' time itself.
    return editorMs_ + (timer_.isActive() && clock_.isValid() ? clock_.elapsed() : 0);
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
    state_.seeds.seed = seed ^ 0x5eed5eedu;
    started_ = true;
    if (auto* loading = levelView_->findChild<QLabel*>("LoadingText")) loading->hide();
    RebuildLists();
    if (!options_.file.empty()) {
        LoadFile(options_.file);
    } else if (OfferRecovery("")) {
        SetFog(state_.working->fogRed, state_.working->fogGreen, state_.working->fogBlue);
        Say(state_, "Recovered the untitled level's unsaved work.");
        RebuildLists();
    }
    RefreshPanel();
    LayOut();
    levelView_->setFocus();
    clock_.start();
    Wake();
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
    // A level being read takes the bank it names afterwards: not now.
    if (started_ && StillBusy()) {
        if (QAction* mode = Action(state_.textured ? "Enabled1" : "Disabled1")) mode->setChecked(true);
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        LoadBankOrRestore(*state_.working, "Standard.bnk", high ? "High" : "Low", [this] {
            for (GlView* view : {levelView_, currentView_})
                if (view->Renderer()) view->Renderer()->BindGraphics(*graphics_);
        });
        state_.textured = high;
        LoadEditorMarkers(data_, graphics_->flatPalette, markers_);
        layerView_->SetPalette(graphics_->flatPalette);
        RebuildPalette();
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
    const Cell shown = previewOverride_ >= 0 ? static_cast<Cell>(previewOverride_) : state_.paintObject;
    DrawObjectPreview(*state_.working, shown, previewOverride_ >= 0 ? 0 : state_.previewYaw, state_.previewPitch, bank_.textured,
                      renderer, previewDraw_);
}

void TScreenForm::Frame(int elapsedMs) {
    if (!started_) return;
    editorMs_ += std::max(elapsedMs, 0);
    EditorFrame(state_, keyMemory_, editorMs_, elapsedMs);
    VideoFrame();
    RefreshPanel();
    levelView_->update();
    // Nothing moving and no video: no frames, and no redraws, until an event
    // changes something.
    if (EditorAtRest(state_, keyMemory_) && !VideoShowing()) timer_.stop();
}

void TScreenForm::resizeEvent(QResizeEvent* event) { QMainWindow::resizeEvent(event); }

void TScreenForm::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // Back from a dialog, the help or another program: the keys go to the
    // level view, not to whichever list had them before.
    if (event->type() == QEvent::ActivationChange && started_ && isActiveWindow()) levelView_->setFocus();
}

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

void TScreenForm::ShowStatus() {
    const QString text = QString::fromStdString(state_.status);
    if (statusText_->text() != text) statusText_->setText(text);
}

void TScreenForm::BuildLayerView() {
    auto* dock = new QDockWidget("Layer", this);
    dock->setObjectName("LayerDock");
    dock->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    layerView_ = new LayerView(state_, dock);
    layerView_->onCell = [this](const LayerView::CellEvent& e) { LayerCell(e.cell, e.button, e.modifiers, e.first, e.done); };
    layerView_->onLayer = [this](int step) {
        Command([this, step] { MoveCursor(state_, step > 0 ? CursorMove::Up : CursorMove::Down); });
        layerView_->setFocus();
    };
    dock->setWidget(layerView_);
    addDockWidget(Qt::LeftDockWidgetArea, dock);
    dock->hide();
    layerDock_ = dock;
    // Closed by its own button, the menu entry's tick goes too.
    connect(dock, &QDockWidget::visibilityChanged, this, [this, dock](bool shown) {
        if (QAction* a = Action("LayerView1")) a->setChecked(shown);
        if (!shown) return RememberLayerWidth();
        // A dock opens at its contents' size hint, a strip too narrow to
        // show a layer's cells: it takes its last width instead.
        if (!dock->isFloating()) resizeDocks({dock}, {LayerOpeningWidth()}, Qt::Horizontal);
    });
}

void TScreenForm::LayerCell(const CellPos& cell, Qt::MouseButton button, Qt::KeyboardModifiers modifiers, bool first,
                            bool done) {
    if (!started_) return;
    if (done) {
        // A whole drag is one undo step.
        CommitAction(state_);
    } else if (button == Qt::LeftButton && (modifiers & Qt::ShiftModifier)) {
        if (first) state_.pointA = cell;
        state_.pointB = cell;
        JumpCursor(state_, cell);
        Say(state_, "Box from " + CellText(state_.pointA) + " to " + CellText(state_.pointB) + ".");
    } else if (button == Qt::LeftButton) {
        if (first) CommitAction(state_);
        JumpCursor(state_, cell);
        state_.faceClicked = false;
        NameStep(state_, "Put object");
        PutBlock(state_);
    } else {
        JumpCursor(state_, cell);
    }
    RefreshPanel();
    levelView_->update();
    layerView_->update();
    Wake();
}

QString TScreenForm::StatusText() const { return statusText_->text(); }

void TScreenForm::ShowProblems() {
    problems_ = LevelProblems(*state_.working);
    RedrawProblemList();
}

void TScreenForm::RedrawProblemList() {
    problemList_->clear();
    const QIcon warning = style()->standardIcon(QStyle::SP_MessageBoxWarning);
    for (const std::string& p : problems_) problemList_->addItem(new QListWidgetItem(warning, QString::fromStdString(p)));
    // The checker's lines follow; a dead end is played by a double-click.
    const QIcon info = style()->standardIcon(QStyle::SP_MessageBoxInformation);
    int deadEnd = 0;
    for (const CheckLine& line : checkLines_) {
        auto* item = new QListWidgetItem(line.warning ? warning : info, line.text);
        item->setToolTip(line.tip);
        if (line.deadEndScript) item->setData(Qt::UserRole, deadEnd++);
        problemList_->addItem(item);
    }
    problemDock_->setVisible(problemList_->count() > 0);
}

QStringList TScreenForm::ProblemTexts() const {
    QStringList list;
    for (const std::string& p : problems_) list << QString::fromStdString(p);
    return list;
}

QStringList TScreenForm::CheckTexts() const {
    QStringList list;
    for (const CheckLine& line : checkLines_) list << line.text;
    return list;
}

void TScreenForm::closeEvent(QCloseEvent* event) {
    if (StillBusy() || !ConfirmDiscard()) {
        event->ignore();
        return;
    }
    StopClip();
    CancelCheck();
    timer_.stop();
    if (layerDock_->isVisible()) RememberLayerWidth();
    help_->hide();
    event->accept();
}


}  // namespace zq
