// The side panel: the icons, the position and light labels, the clip,
// sentry and behaviour lists, the object list and its preview.
#include "editor/qt/editor_window.h"
#include "editor/qt/layer_view.h"

#include <QComboBox>
#include <QImage>
#include <QPixmap>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "editor/editing.h"
#include "editor/editor_commands.h"
#include "editor/qt/editor_icons.h"
#include "editor/qt/gl_view.h"
#include "editor/qt/window_layout.h"

namespace zq {

namespace {

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

}  // namespace

using namespace editorui;

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
            struct Edit {
                const char* icon;
                void (*op)(EditorState&);
                const char* step;  // as the history list names it, the same as its key's
            };
            static const Edit edits[] = {
                {"I_PutBlock", PutBlock, "Put object"},       {"I_DelBlock", DeleteCell, "Empty cell"},
                {"I_Brighter", Brighten, "Lighter cell"},     {"I_Darker", Darken, "Darker cell"},
                {"I_RaiseUp", StretchUp, "Stretch up"},       {"I_RaiseDown", StretchDown, "Stretch down"},
                {"I_SFX", PlaceClipMarker, "Clip marker"},    {"I_Start", PlaceStart, "Start point"},
                {"I_Exit", PlaceExit, "Exit point"},
            };
            std::string step;
            for (const Edit& e : edits)
                if (name == e.icon) step = e.step;
            Command([this, name] {
                for (const auto& [n, move] : moves)
                    if (name == n) MoveCursor(state_, move);
                for (const Edit& e : edits)
                    if (name == e.icon) e.op(state_);
            }, step);
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

    auto* clipCaption = new QLabel("Clip (on its marker)", infoBox_);
    info->addWidget(clipCaption);
    musicBox_ = new QListWidget(infoBox_);
    musicBox_->setObjectName("MusicBox");
    musicBox_->setMaximumHeight(70);
    connect(musicBox_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        Command([this, item] { SetMarkerClip(state_, HighestNamed(ClipNames(*state_.working), item->text().toStdString())); },
                "Marker's clip");
    });
    info->addWidget(musicBox_);
    auto* musicButtons = new QHBoxLayout;
    play_ = new QPushButton("Play", infoBox_);
    play_->setObjectName("Play");
    play_->setToolTip("Play music");
    stop_ = new QPushButton("Stop", infoBox_);
    stop_->setObjectName("Stop");
    stop_->setToolTip("Stop music");
    connect(play_, &QPushButton::clicked, this, [this] { Command([this] { PlayClip(); }); });
    connect(stop_, &QPushButton::clicked, this, [this] { Command([this] { StopClip(); }); });
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
    connect(setNmePos_, &QPushButton::clicked, this,
            [this] { Command([this] { PlaceSentry(state_, state_.selectedSentry); }, "Sentry position"); });
    info->addWidget(setNmePos_);

    auto* eventCaption = new QLabel("Behaviour (on its marker)", infoBox_);
    info->addWidget(eventCaption);
    eventBox_ = new QListWidget(infoBox_);
    eventBox_->setObjectName("EventBox");
    eventBox_->setMaximumHeight(70);
    connect(eventBox_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        Command([this, item] {
            SetMarkerBehaviour(state_, HighestNamed(BehaviourNames(*state_.working), item->text().toStdString()));
        }, "Marker's behaviour");
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

void TScreenForm::RefreshPanel() {
    const World& w = *state_.working;
    if (layerView_ && layerView_->isVisible()) layerView_->update();
    RefreshPalette();
    RefreshHistory();
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

    ShowStatus();
    // The lists stay where they are and are only enabled on a marker, so the
    // panel never jumps as the cursor passes one.
    const int clip = ClipMarkerAt(w, c);
    musicBox_->setEnabled(clip >= 0);
    play_->setEnabled(clip >= 0);
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
    eventBox_->setEnabled(event >= 0);
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


void TScreenForm::PlayClip() {
    const QListWidgetItem* item = musicBox_->currentItem();
    if (!item) return Say(state_, "Choose a clip in the list first.");
    const int clip = HighestNamed(ClipNames(*state_.working), item->text().toStdString());
    if (clip < 0) return;
    const ClipDef& def = state_.working->clips[static_cast<std::size_t>(clip)];
    StopClip();
    std::string playing;
    if (!def.music.empty()) {
        audio_.PlayMusic(def.music, def.musicLoop);
        // A module starts silent; the games bring it up to their music volume.
        audio_.SetMusicVolume(100);
        playing = def.music;
    }
    if (!def.video.empty() && video_) {
        const auto path = data_.Find(def.video);
        std::error_code ec;
        if (path && std::filesystem::is_regular_file(*path, ec) && video_->Play(*path) == VideoStart::kPlaying) {
            if (!videoWindow_) {
                videoWindow_ = new QLabel(this, Qt::Window);
                videoWindow_->setObjectName("ClipVideo");
                videoWindow_->setAlignment(Qt::AlignCenter);
                videoWindow_->setStyleSheet("background: black;");
                videoWindow_->resize(640, 400);
            }
            videoWindow_->setWindowTitle(QString::fromStdString("Clip video - " + def.video));
            videoWindow_->show();
            videoClock_.start();
            playing += (playing.empty() ? "" : " and ") + def.video;
        }
    }
    Say(state_, playing.empty() ? "The clip \"" + def.name + "\" has no music or video to play." : "Playing " + playing + ".");
}

void TScreenForm::StopClip() {
    audio_.StopMusic();
    audio_.StopAllSounds();
    if (video_) video_->Stop();
    if (videoWindow_) videoWindow_->hide();
}

bool TScreenForm::VideoShowing() const { return videoWindow_ && videoWindow_->isVisible(); }

void TScreenForm::VideoFrame() {
    if (!VideoShowing() || !video_) return;
    if (!video_->Advance(static_cast<std::int32_t>(videoClock_.elapsed()))) {
        video_->Stop();
        videoWindow_->hide();
        return;
    }
    RgbPicture picture;
    if (!video_->Render(videoWindow_->width(), videoWindow_->height(), picture) || !picture.Valid()) return;
    const QImage image(picture.rgb.data(), picture.width, picture.height, picture.width * 3, QImage::Format_RGB888);
    videoWindow_->setPixmap(QPixmap::fromImage(image.copy()));
}

}  // namespace zq
