// The help window: nine pages chosen by the buttons down its side.
#pragma once

#include <QDialog>

class QStackedWidget;

namespace zq {

inline constexpr int kHelpPageCount = 9;

class THelp : public QDialog {
public:
    explicit THelp(QWidget* parent = nullptr);
    QStackedWidget* Pages() const { return pages_; }
    void ShowPage(int index);

private:
    QStackedWidget* pages_ = nullptr;
};

}  // namespace zq
