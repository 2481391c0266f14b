// The layer view: a top-down slice of the level at the cursor's height,
// beside the 3D view.  It draws the cells of that layer (and, dimmed, the
// layer below), the start, exit, the A-B box and the cursor, and turns
// clicks and drags into cell positions for the window to act on.
#pragma once

#include <QColor>
#include <QWidget>

#include <functional>

#include "assets/palette.h"
#include "editor/editor_state.h"

namespace zq {

class LayerView : public QWidget {
public:
    LayerView(const EditorState& state, QWidget* parent = nullptr);

    // A mouse event on cell (x, z) of the shown layer: `first` on the press,
    // then once per new cell while dragging; `done` on the release.
    struct CellEvent {
        CellPos cell;
        Qt::MouseButton button = Qt::LeftButton;
        Qt::KeyboardModifiers modifiers;
        bool first = false, done = false;
    };
    std::function<void(const CellEvent&)> onCell;
    // Page Up / Page Down: a layer up (+1) or down (-1).
    std::function<void(int)> onLayer;

    // The flat-face colours cubes are drawn with (the bank's second picture).
    void SetPalette(const Palette& palette) { palette_ = palette; }
    // The pixel at the centre of a cell of the shown layer (for tests).
    QPoint CellCentre(int x, int z) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct Frame {
        int cell = 8;          // pixels per cell
        int firstX = 0, firstZ = 0;  // the cell at the left, bottom corner
        int originX = 0, originY = 0;  // its pixel
    };
    Frame Layout() const;
    bool CellAt(const QPoint& p, CellPos& out) const;
    QColor CellColour(Cell value) const;

    const EditorState& state_;
    Palette palette_;
    // The first cell shown when the layer is larger than the view (-1: none
    // yet); kept from one drawing to the next, see Layout.
    mutable int firstX_ = -1, firstZ_ = -1;
    bool dragging_ = false;
    Qt::MouseButton dragButton_ = Qt::NoButton;
    CellPos lastCell_;
};

}  // namespace zq
