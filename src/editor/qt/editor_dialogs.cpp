// The questions the window asks: the desktop dialogs, the number and text
// prompts, the unsaved-changes guard and the boosted full-screen picture.
#include "editor/qt/editor_window.h"

#include <QColorDialog>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QSpinBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QVBoxLayout>

#include "editor/editor_commands.h"
#include "world/level_file.h"
#include "editor/qt/gl_view.h"
#include "editor/qt/window_layout.h"

namespace zq {

namespace {

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
    void ShowWarning(QWidget* parent, const std::string& text) override {
        QMessageBox::warning(parent, "Level editor", QString::fromStdString(text));
    }
    bool AskYesNo(QWidget* parent, const std::string& question) override {
        return QMessageBox::question(parent, "Level editor", QString::fromStdString(question),
                                     QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
    }
    SaveChoice AskSaveChanges(QWidget* parent) override {
        const auto answer = QMessageBox::warning(parent, "Level editor", "The level has unsaved changes. Save them?",
                                                 QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                                                 QMessageBox::Save);
        return answer == QMessageBox::Save ? SaveChoice::Save
               : answer == QMessageBox::Discard ? SaveChoice::Discard
                                                : SaveChoice::Cancel;
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
    std::optional<LevelResize> AskResize(QWidget* parent, int sizeX, int sizeY, int sizeZ) override {
        // Six numbers: the cells added (or, negative, taken away) at each end
        // of each axis, with the size they make shown as they change.
        QDialog dialog(parent);
        dialog.setWindowTitle("Resize level");
        auto* grid = new QGridLayout(&dialog);
        grid->addWidget(new QLabel("Cells added (negative: removed)"), 0, 0, 1, 3);
        grid->addWidget(new QLabel("at the low end"), 1, 1);
        grid->addWidget(new QLabel("at the high end"), 1, 2);
        const int sizes[3] = {sizeX, sizeY, sizeZ};
        const char* names[3] = {"X (left / right)", "Y (bottom / top)", "Z (back / front)"};
        QSpinBox* boxes[3][2];
        QLabel* result[3];
        for (int a = 0; a < 3; ++a) {
            grid->addWidget(new QLabel(names[a]), a + 2, 0);
            for (int end = 0; end < 2; ++end) {
                auto* box = new QSpinBox(&dialog);
                box->setObjectName(QString("Resize%1%2").arg(QChar("XYZ"[a])).arg(end ? "High" : "Low"));
                box->setRange(-kMaxLevelAxis, kMaxLevelAxis);
                grid->addWidget(box, a + 2, 1 + end);
                boxes[a][end] = box;
            }
            result[a] = new QLabel(&dialog);
            grid->addWidget(result[a], a + 2, 3);
            auto update = [=] {
                result[a]->setText(QString("= %1 cells").arg(sizes[a] + boxes[a][0]->value() + boxes[a][1]->value()));
            };
            for (QSpinBox* box : boxes[a]) QObject::connect(box, &QSpinBox::valueChanged, &dialog, update);
            update();
        }
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
        QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
        QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
        grid->addWidget(buttons, 5, 0, 1, 4);
        if (dialog.exec() != QDialog::Accepted) return std::nullopt;
        LevelResize r;
        for (std::size_t a = 0; a < 3; ++a) {
            r.low[a] = boxes[a][0]->value();
            r.high[a] = boxes[a][1]->value();
        }
        return r;
    }
    std::optional<QColor> PickColour(QWidget* parent, const QColor& current) override {
        const QColor c = QColorDialog::getColor(current, parent, "Fog Color");
        if (!c.isValid()) return std::nullopt;
        return c;
    }
};


}  // namespace

using namespace editorui;

std::unique_ptr<EditorDialogs> MakeQtDialogs() { return std::make_unique<QtDialogs>(); }

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
    return text;
}

bool TScreenForm::ConfirmDiscard() {
    if (!state_.modified) return true;
    state_.dialogOpen = true;
    const EditorDialogs::SaveChoice choice = dialogs_->AskSaveChanges(this);
    state_.dialogOpen = false;
    ReleaseAllKeys();
    if (choice == EditorDialogs::SaveChoice::Cancel) return false;
    if (choice == EditorDialogs::SaveChoice::Discard) return true;
    SaveCommand();
    return !state_.modified;  // a save that failed or was cancelled keeps the level open
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
}


}  // namespace zq
