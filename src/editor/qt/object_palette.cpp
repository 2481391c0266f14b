// The object palette: the bank's objects as small pictures drawn by the
// preview view, a search field (it takes keys only when clicked or after
// Ctrl+F), the recently used ones, and the picked object's flags.
#include "editor/qt/editor_window.h"

#include <QAction>
#include <QDockWidget>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>

#include "editor/editing.h"
#include "editor/qt/gl_view.h"

namespace zq {

namespace {

constexpr int kPictureSide = 48;
// The icon is wider than its picture: an icon view wraps a name at the
// icon's width, and two short lines read better than one cut short.
constexpr int kIconWidth = kPictureSide + 28;
constexpr std::size_t kRecentCount = 8;

QListWidget* PictureList(QWidget* parent, const char* name) {
    auto* list = new QListWidget(parent);
    list->setObjectName(name);
    list->setViewMode(QListView::IconMode);
    list->setIconSize(QSize(kIconWidth, kPictureSide));
    list->setResizeMode(QListView::Adjust);
    list->setMovement(QListView::Static);
    list->setUniformItemSizes(true);
    list->setGridSize(QSize(kPictureSide + 34, kPictureSide + 30));
    list->setWordWrap(true);
    list->setFocusPolicy(Qt::NoFocus);  // the keys stay with the level view
    return list;
}

// The part of a preview picture the object covers, squared and with a small
// margin: the preview leaves most of its frame empty, and an object shrunk
// with its frame to a palette picture would be a few pixels across.
QImage ObjectPicture(const QImage& frame) {
    if (frame.isNull()) return frame;
    const QRgb background = frame.pixel(0, 0);
    int left = frame.width(), right = -1, top = frame.height(), bottom = -1;
    for (int y = 0; y < frame.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(frame.constScanLine(y));
        for (int x = 0; x < frame.width(); ++x)
            if ((row[x] & 0xffffff) != (background & 0xffffff)) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    }
    if (right < 0) return frame;  // nothing drawn: the empty frame as it is
    const int side = std::max(right - left, bottom - top) * 9 / 8 + 4;
    const QRect square((left + right - side) / 2, (top + bottom - side) / 2, side, side);
    return frame.copy(square);  // beyond the frame: black, as the preview clears to
}

}  // namespace

std::string ObjectFlagsText(const ObjectDef& d) {
    std::string text;
    auto add = [&](bool on, const char* name) {
        if (!on) return;
        if (!text.empty()) text += ", ";
        text += name;
    };
    add(d.cube, "cube");
    add(d.collision, "collision");
    add(!d.collision, "no collision");
    add(d.ladder, "ladder");
    add(d.death, "deadly");
    add(d.canPush, "pushable");
    add(d.lever, "lever");
    add(d.door, "door");
    add(d.lingot, "gold ingot");
    add(d.spring, "spring");
    add(d.dig, "diggable");
    add(d.oneUp, "extra life");
    add(d.timer, "timer");
    add(d.light, "light");
    add(d.blockKey, "key block");
    add(d.blockSensor, "sensor plate");
    add(d.transparency > 0, "see-through");
    return text;
}

void TScreenForm::BuildPalette() {
    auto* dock = new QDockWidget("Objects", this);
    dock->setObjectName("PaletteDock");
    dock->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    auto* box = new QWidget(dock);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(2, 2, 2, 2);
    paletteSearch_ = new QLineEdit(box);
    paletteSearch_->setObjectName("PaletteSearch");
    paletteSearch_->setPlaceholderText("Search (Ctrl+F)");
    paletteSearch_->setClearButtonEnabled(true);
    // Keys go to the search only when it is clicked or asked for with Ctrl+F.
    paletteSearch_->setFocusPolicy(Qt::ClickFocus);
    connect(paletteSearch_, &QLineEdit::textChanged, this, [this] { FilterPalette(); });
    connect(paletteSearch_, &QLineEdit::returnPressed, this, [this] {
        // Enter takes the first object shown and gives the keys back to the view.
        for (int i = 0; i < paletteList_->count(); ++i)
            if (!paletteList_->item(i)->isHidden()) {
                PickPaletteItem(paletteList_->item(i));
                break;
            }
        levelView_->setFocus();
    });
    layout->addWidget(paletteSearch_);
    layout->addWidget(new QLabel("Recently used", box));
    paletteRecent_ = PictureList(box, "PaletteRecent");
    paletteRecent_->setFlow(QListView::LeftToRight);
    paletteRecent_->setWrapping(false);
    paletteRecent_->setFixedHeight(kPictureSide + 36);
    layout->addWidget(paletteRecent_);
    paletteList_ = PictureList(box, "PaletteList");
    layout->addWidget(paletteList_, 1);
    paletteFlags_ = new QLabel(box);
    paletteFlags_->setObjectName("PaletteFlags");
    paletteFlags_->setWordWrap(true);
    layout->addWidget(paletteFlags_);
    for (QListWidget* list : {paletteList_, paletteRecent_})
        connect(list, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { PickPaletteItem(item); });
    dock->setWidget(box);
    dock->setMinimumWidth(4 * (kPictureSide + 34) + 24);
    addDockWidget(Qt::RightDockWidgetArea, dock);
    dock->hide();
    connect(dock, &QDockWidget::visibilityChanged, this, [this](bool shown) {
        if (QAction* a = Action("Palette1")) a->setChecked(shown);
        if (shown && palettePictures_.empty()) RebuildPalette();
    });
    paletteDock_ = dock;
}

void TScreenForm::PickPaletteItem(QListWidgetItem* item) {
    if (!item) return;
    const Cell type = static_cast<Cell>(item->data(Qt::UserRole).toInt());
    Command([this, type] { state_.paintObject = type; });
}

void TScreenForm::RebuildPalette() {
    palettePictures_.clear();
    paletteList_->clear();
    if (!paletteDock_->isVisible()) return;  // drawn when the palette is first shown
    // Each object drawn by the preview view, as it shows the current one.
    for (const NamedEntry& e : ObjectNames(*state_.working)) {
        previewOverride_ = e.index;
        const QImage frame = currentView_->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
        const QImage picture =
            ObjectPicture(frame).scaled(kPictureSide, kPictureSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        QPixmap icon(kIconWidth, kPictureSide);
        icon.fill(Qt::transparent);
        QPainter(&icon).drawImage((kIconWidth - picture.width()) / 2, (kPictureSide - picture.height()) / 2, picture);
        palettePictures_[e.index] = QIcon(icon);
        auto* item = new QListWidgetItem(palettePictures_[e.index], QString::fromStdString(e.name), paletteList_);
        item->setData(Qt::UserRole, e.index);
        item->setToolTip(QString::fromStdString(e.name + ": " + ObjectFlagsText(state_.working->objectDefs[static_cast<std::size_t>(e.index)])));
    }
    previewOverride_ = -1;
    currentView_->update();
    FilterPalette();
    paletteRecentShown_.clear();
    RefreshPalette();
}

void TScreenForm::FilterPalette() {
    const QString text = paletteSearch_->text().trimmed();
    for (int i = 0; i < paletteList_->count(); ++i) {
        QListWidgetItem* item = paletteList_->item(i);
        item->setHidden(!text.isEmpty() && !item->text().contains(text, Qt::CaseInsensitive));
    }
}

void TScreenForm::RefreshPalette() {
    const Cell paint = state_.paintObject;
    if (paint != 0 && (recentObjects_.empty() || recentObjects_.front() != paint)) {
        recentObjects_.erase(std::remove(recentObjects_.begin(), recentObjects_.end(), paint), recentObjects_.end());
        recentObjects_.insert(recentObjects_.begin(), paint);
        if (recentObjects_.size() > kRecentCount) recentObjects_.resize(kRecentCount);
    }
    if (!paletteDock_ || !paletteDock_->isVisible()) return;
    if (recentObjects_ != paletteRecentShown_) {
        paletteRecentShown_ = recentObjects_;
        paletteRecent_->clear();
        for (Cell t : recentObjects_) {
            const auto found = palettePictures_.find(t);
            if (found == palettePictures_.end()) continue;
            auto* item = new QListWidgetItem(found->second, QString::fromStdString(state_.working->objectDefs[t].name), paletteRecent_);
            item->setData(Qt::UserRole, static_cast<int>(t));
        }
    }
    const ObjectDef& d = state_.working->objectDefs[IsObjectIndex(paint) ? paint : 0];
    const QString flags = paint == 0 ? QString("(no object)")
                                     : QString::fromStdString(d.name + "\n" + ObjectFlagsText(d));
    if (paletteFlags_->text() != flags) paletteFlags_->setText(flags);
}

void TScreenForm::SearchPalette() {
    paletteDock_->show();
    paletteDock_->raise();
    paletteSearch_->setFocus();
    paletteSearch_->selectAll();
}

void TScreenForm::Eyedropper() {
    const CellPos c = TargetCell(state_);
    const Cell here = GetCell(*state_.working, c.x, c.y, c.z);
    if (here == 0) return Say(state_, "The cursor cell is empty: nothing to pick.");
    state_.paintObject = here;
    const std::string& name = IsObjectIndex(here) ? state_.working->objectDefs[here].name : std::string();
    Say(state_, "Picked " + (name.empty() ? "object " + std::to_string(here) : "\"" + name + "\"") + ".");
}

}  // namespace zq
