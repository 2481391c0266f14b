// The level view's input: key events into the editor's key calls, mouse
// clicks into cells, the preview's drag to turn it.
#include "editor/qt/editor_window.h"

#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "editor/editing.h"
#include "editor/qt/gl_view.h"
#include "editor/qt/window_layout.h"
#include "render/view_shape.h"

namespace zq {

namespace {

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

}  // namespace

using namespace editorui;

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
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick:
            case QEvent::MouseMove:
            case QEvent::MouseButtonRelease:
            case QEvent::Wheel:
                return ViewMouse(event);
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
    // The desktop's auto-repeat adds nothing: the editor repeats held keys
    // itself, in time rather than per event.
    if (event->isAutoRepeat() || !started_) return;
    const int key = event->key();
    if (down && (key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_AltGr || key == Qt::Key_Meta))
        QuietHeldKeys(keyMemory_);
    if (auto k = KeyOf(key)) {
        // The chord as this event carries it: a Ctrl let go before the next
        // frame still makes this Right a step sideways.
        const Qt::KeyboardModifiers mods = event->modifiers();
        if (down)
            PressEditorKey(state_, keyMemory_,
                           {*k, (mods & Qt::ControlModifier) != 0, (mods & Qt::AltModifier) != 0, (mods & Qt::ShiftModifier) != 0},
                           KeyClock());
        else ReleaseEditorKey(state_, keyMemory_, *k);
        RefreshPanel();
        levelView_->update();
    }
    Wake();
}

void TScreenForm::ReleaseAllKeys() { ReleaseAllEditorKeys(state_, keyMemory_); }

bool TScreenForm::ViewMouse(QEvent* event) {
    if (!started_) return true;
    Wake();
    if (event->type() == QEvent::Wheel) {
        // One notch is one zoom step, as + and - are.
        auto* wheel = static_cast<QWheelEvent*>(event);
        const int notches = wheel->angleDelta().y() / 120;
        for (int i = 0; i < std::abs(notches); ++i) MoveCursor(state_, notches > 0 ? CursorMove::ZoomIn : CursorMove::ZoomOut);
        return true;
    }
    auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint at = mouse->position().toPoint();
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
        levelView_->setFocus();
        viewDragFrom_ = at;
        panRest_ = {};
        if (mouse->button() != Qt::LeftButton) return true;
        PickAt(at, mouse->modifiers());
        // A double-click asks for the view: the camera glides to the cursor.
        if (event->type() == QEvent::MouseButtonDblClick) state_.cameraStays = false;
        return true;
    }
    if (event->type() == QEvent::MouseMove) {
        const QPoint delta = at - viewDragFrom_;
        viewDragFrom_ = at;
        if (mouse->buttons() & Qt::RightButton) {
            // Orbit: the view turns freely around the cursor while dragged.
            state_.cursorHeading += static_cast<float>(delta.x()) * 64;
            state_.viewPitch = std::clamp(state_.viewPitch + static_cast<float>(delta.y()) * 64, -kEditorMaxPitch, kEditorMaxPitch);
        } else if (mouse->buttons() & Qt::MiddleButton) {
            // Pan: the cursor (and the view with it) moves a cell for every
            // 32 pixels dragged, sideways and up or down.
            constexpr int kPixelsPerCell = 32;
            panRest_ += delta;
            while (std::abs(panRest_.x()) >= kPixelsPerCell) {
                MoveCursor(state_, panRest_.x() > 0 ? CursorMove::Left : CursorMove::Right);
                PaintAlong(state_, keyMemory_);
                panRest_.rx() -= panRest_.x() > 0 ? kPixelsPerCell : -kPixelsPerCell;
            }
            while (std::abs(panRest_.y()) >= kPixelsPerCell) {
                MoveCursor(state_, panRest_.y() > 0 ? CursorMove::Up : CursorMove::Down);
                PaintAlong(state_, keyMemory_);
                panRest_.ry() -= panRest_.y() > 0 ? kPixelsPerCell : -kPixelsPerCell;
            }
        }
        return true;
    }
    if (event->type() == QEvent::MouseButtonRelease && mouse->button() == Qt::RightButton) {
        // Back on a quarter turn, so the arrow keys keep stepping along the grid.
        state_.cursorHeading = std::round(state_.cursorHeading / kEditorTurnStep) * kEditorTurnStep;
    }
    return true;
}

void TScreenForm::PickAt(const QPoint& point, Qt::KeyboardModifiers modifiers) {
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
    // The picture's own shape: a wide level view shows more to the sides.
    const int pictureW = lowResolution_ ? kLowWidth : levelView_->width();
    const int pictureH = lowResolution_ ? kLowHeight : levelView_->height();
    const auto pick = PickFace(*state_.working, EditorCamera(state_), nx, ny, kGlFieldOfView,
                               ViewAspect(pictureW, pictureH, kGlAspect));
    if (!pick) {
        Say(state_, "Nothing there to pick: click on a block.");
        RefreshPanel();
        return;
    }
    // The cursor lands on the clicked cell at once, so the next key acts
    // exactly there; Space then builds in front of the clicked face.  The
    // view stays put: a key that moves the cursor, or a double-click, brings
    // it along.
    state_.cursorTarget = CellCentre(pick->cell);
    state_.cameraStays = true;
    state_.faceClicked = true;
    state_.clickedCell = pick->cell;
    state_.clickedFront = pick->front;
    const std::string where = CellText(pick->cell);
    if (modifiers & Qt::ShiftModifier) {
        state_.pointA = pick->cell;
        Say(state_, "Point A at " + where + ".");
    } else if (modifiers & Qt::ControlModifier) {
        state_.pointB = pick->cell;
        Say(state_, "Point B at " + where + ".");
    } else {
        Say(state_, "Picked " + where + ": Space builds on the clicked face, Delete empties the cell.");
    }
    RefreshPanel();
}

}  // namespace zq
