#include "editor/qt/layer_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace zq {

namespace {

constexpr int kMinCellPixels = 6, kMaxCellPixels = 24;

}  // namespace

LayerView::LayerView(const EditorState& state, QWidget* parent) : QWidget(parent), state_(state) {
    setObjectName("LayerView");
    setFocusPolicy(Qt::ClickFocus);
    setMinimumSize(160, 160);
    setMouseTracking(false);
}

LayerView::Frame LayerView::Layout() const {
    const World& w = *state_.working;
    Frame f;
    const int sx = std::max(1, w.sizeX), sz = std::max(1, w.sizeZ);
    f.cell = std::clamp(std::min(width() / sx, height() / sz), kMinCellPixels, kMaxCellPixels);
    const int across = width() / f.cell, down = height() / f.cell;
    const CellPos c = TargetCell(state_);
    // The whole layer when it fits, else a window on the cursor.  The window
    // stays where it is while the cursor is inside it and only moves (centred
    // on the cursor again) when the cursor leaves it: a click moves the
    // cursor, and a view that followed each click would slide the cells
    // under the mouse in the middle of a drag.
    auto first = [](int cursor, int size, int shown, int& kept) {
        if (size <= shown) return kept = 0;
        if (kept < 0 || kept > size - shown || cursor < kept || cursor >= kept + shown)
            kept = std::clamp(cursor - shown / 2, 0, size - shown);
        return kept;
    };
    f.firstX = first(c.x, sx, across, firstX_);
    f.firstZ = first(c.z, sz, down, firstZ_);
    const int shownX = std::min(sx, across), shownZ = std::min(sz, down);
    f.originX = (width() - shownX * f.cell) / 2;
    // +Z is up the picture, as the 3D view looks along +Z at heading 0.
    f.originY = (height() + shownZ * f.cell) / 2;
    return f;
}

QPoint LayerView::CellCentre(int x, int z) const {
    const Frame f = Layout();
    return {f.originX + (x - f.firstX) * f.cell + f.cell / 2, f.originY - (z - f.firstZ) * f.cell - f.cell / 2 - 1};
}

bool LayerView::CellAt(const QPoint& p, CellPos& out) const {
    const World& w = *state_.working;
    const Frame f = Layout();
    if (p.x() < f.originX || p.y() >= f.originY) return false;
    out.x = f.firstX + (p.x() - f.originX) / f.cell;
    out.z = f.firstZ + (f.originY - 1 - p.y()) / f.cell;
    out.y = TargetCell(state_).y;
    return w.InGrid(out.x, out.y, out.z);
}

QColor LayerView::CellColour(Cell value) const {
    const World& w = *state_.working;
    if (IsObjectIndex(value)) {
        const ObjectDef& d = w.objectDefs[value];
        if (d.cube) {
            // The mean of the six face colours of the flat palette.
            int r = 0, g = 0, b = 0;
            for (std::uint8_t i : d.faceColor) {
                r += palette_.red[i];
                g += palette_.green[i];
                b += palette_.blue[i];
            }
            return QColor(r / 6, g / 6, b / 6);
        }
    }
    // Objects with a mesh of their own: a colour of their type, told apart by hue.
    return QColor::fromHsv(static_cast<int>(value) * 47 % 360, 150, 220);
}

void LayerView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(24, 24, 32));
    const World& w = *state_.working;
    const Frame f = Layout();
    const CellPos c = TargetCell(state_);
    const int across = std::min(w.sizeX - f.firstX, width() / f.cell + 1);
    const int down = std::min(w.sizeZ - f.firstZ, height() / f.cell + 1);
    auto cellRect = [&](int x, int z) {
        return QRect(f.originX + (x - f.firstX) * f.cell, f.originY - (z - f.firstZ + 1) * f.cell, f.cell, f.cell);
    };
    for (int dz = 0; dz < down; ++dz)
        for (int dx = 0; dx < across; ++dx) {
            const int x = f.firstX + dx, z = f.firstZ + dz;
            const QRect r = cellRect(x, z);
            const Cell here = GetCell(w, x, c.y, z);
            if (here != 0) {
                const QColor colour = CellColour(here);
                const ObjectDef* d = IsObjectIndex(here) ? &w.objectDefs[here] : nullptr;
                if (d && !d->cube) {
                    p.fillRect(r, QColor(48, 48, 60));
                    p.setBrush(colour);
                    p.setPen(Qt::NoPen);
                    p.drawEllipse(r.adjusted(1, 1, -1, -1));
                } else {
                    p.fillRect(r, colour);
                }
            } else if (GetCell(w, x, c.y - 1, z) != 0) {
                p.fillRect(r, QColor(60, 60, 72));  // floor under the empty cell
            } else {
                p.fillRect(r, QColor(36, 36, 46));
            }
        }
    // Grid lines once cells are large enough to tell apart.
    if (f.cell >= 8) {
        p.setPen(QColor(0, 0, 0, 90));
        for (int dx = 0; dx <= across; ++dx)
            p.drawLine(f.originX + dx * f.cell, f.originY, f.originX + dx * f.cell, f.originY - down * f.cell);
        for (int dz = 0; dz <= down; ++dz)
            p.drawLine(f.originX, f.originY - dz * f.cell, f.originX + across * f.cell, f.originY - dz * f.cell);
    }
    auto letter = [&](int x, int z, const char* text, QColor colour) {
        p.setPen(colour);
        QFont font = p.font();
        font.setPixelSize(std::max(6, f.cell - 2));
        font.setBold(true);
        p.setFont(font);
        p.drawText(cellRect(x, z), Qt::AlignCenter, text);
    };
    if (w.startY == c.y) letter(w.startX, w.startZ, "S", QColor(80, 255, 80));
    if (w.exitY == c.y) letter(w.exitX, w.exitZ, "E", QColor(255, 200, 60));
    // The A-B box where it crosses this layer.
    if (state_.pointA.x != kUnsetPoint && state_.pointB.x != kUnsetPoint) {
        const int y0 = std::min(state_.pointA.y, state_.pointB.y), y1 = std::max(state_.pointA.y, state_.pointB.y);
        const QRect a = cellRect(state_.pointA.x, state_.pointA.z), b = cellRect(state_.pointB.x, state_.pointB.z);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(255, 0, 255), 2, c.y >= y0 && c.y <= y1 ? Qt::SolidLine : Qt::DotLine));
        p.drawRect(a.united(b).adjusted(1, 1, -1, -1));
    }
    // The cursor, with a tick on the side the view looks towards.
    const QRect cr = cellRect(c.x, c.z);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 2));
    p.drawRect(cr.adjusted(1, 1, -1, -1));
    const int quarter = static_cast<int>(std::lround(state_.cursorHeading / 8192.0f)) & 3;
    const QPoint mid = cr.center();
    const QPoint ends[4] = {{mid.x(), cr.top()}, {cr.right(), mid.y()}, {mid.x(), cr.bottom()}, {cr.left(), mid.y()}};
    p.drawLine(mid, ends[quarter]);
    p.setPen(Qt::white);
    QFont font = p.font();
    font.setPixelSize(12);
    font.setBold(false);
    p.setFont(font);
    p.drawText(rect().adjusted(4, 2, -4, -2), Qt::AlignTop | Qt::AlignLeft, QString("Layer Y %1").arg(c.y));
}

void LayerView::mousePressEvent(QMouseEvent* event) {
    CellPos cell;
    if (!CellAt(event->position().toPoint(), cell) || !onCell) return;
    dragging_ = true;
    dragButton_ = event->button();
    lastCell_ = cell;
    onCell({cell, event->button(), event->modifiers(), true, false});
}

void LayerView::mouseMoveEvent(QMouseEvent* event) {
    CellPos cell;
    if (!dragging_ || !CellAt(event->position().toPoint(), cell) || cell == lastCell_ || !onCell) return;
    // A quick drag skips cells between two mouse events: each cell on the
    // line from the last one is visited, so a wall drawn fast has no gaps.
    const int dx = cell.x - lastCell_.x, dz = cell.z - lastCell_.z;
    const int steps = std::max(std::abs(dx), std::abs(dz));
    const CellPos from = lastCell_;
    for (int i = 1; i <= steps; ++i) {
        const CellPos at{from.x + static_cast<int>(std::lround(static_cast<double>(dx) * i / steps)), cell.y,
                         from.z + static_cast<int>(std::lround(static_cast<double>(dz) * i / steps))};
        if (at == lastCell_) continue;
        lastCell_ = at;
        onCell({at, dragButton_, event->modifiers(), false, false});
    }
}

void LayerView::mouseReleaseEvent(QMouseEvent* event) {
    if (!dragging_) return;
    dragging_ = false;
    if (onCell) onCell({lastCell_, dragButton_, event->modifiers(), false, true});
}

void LayerView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_PageUp || event->key() == Qt::Key_PageDown) {
        if (onLayer) onLayer(event->key() == Qt::Key_PageUp ? 1 : -1);
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace zq
