// The level view's input: keys into the EditorKeyboard record, mouse clicks
// into cells, the preview's drag to turn it.
#include "editor/qt/editor_window.h"

#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>

#include "editor/qt/gl_view.h"
#include "editor/qt/window_layout.h"

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


}  // namespace zq
