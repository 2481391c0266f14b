// The undo history as a list (a click goes back or forward to that step)
// and the one-page sheet of keys.
#include "editor/qt/editor_window.h"

#include <QAction>
#include <QDialog>
#include <QDockWidget>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

#include <cstring>

#include "editor/editing.h"

namespace zq {

namespace {

QString ActionText(std::size_t step, const UndoAction& a) {
    // "4. Fill box: 112 cells": the command, then what it changed.
    const QString name = QString::fromStdString(a.name);
    const QString text = QString("%1. ").arg(step);
    if (a.gridBefore) {
        const QString size = QString("%1 x %2 x %3").arg(a.gridAfter->sizeX).arg(a.gridAfter->sizeY).arg(a.gridAfter->sizeZ);
        return text + (name.isEmpty() ? "Resize to " + size : name + ": " + size);
    }
    QStringList parts;
    if (!a.cells.empty()) parts << (a.cells.size() == 1 ? QString("1 cell") : QString("%1 cells").arg(a.cells.size()));
    if (a.headBefore) {
        const LevelHead &b = *a.headBefore, &f = *a.headAfter;
        if (b.startX != f.startX || b.startY != f.startY || b.startZ != f.startZ || b.startHeading != f.startHeading) parts << "start";
        if (b.exitX != f.exitX || b.exitY != f.exitY || b.exitZ != f.exitZ) parts << "exit";
        if (b.fogRed != f.fogRed || b.fogGreen != f.fogGreen || b.fogBlue != f.fogBlue || b.outsideLevel != f.outsideLevel ||
            b.sentryCount != f.sentryCount || b.randomSeed != f.randomSeed ||
            std::memcmp(b.sentries.data(), f.sentries.data(), sizeof(b.sentries)) != 0)
            parts << "settings";
        if (std::memcmp(b.clipMarkers.data(), f.clipMarkers.data(), sizeof(b.clipMarkers)) != 0 ||
            std::memcmp(b.eventMarkers.data(), f.eventMarkers.data(), sizeof(b.eventMarkers)) != 0)
            parts << "markers";
        if (b.description != f.description || b.author != f.author) parts << "description";
    }
    if (name.isEmpty()) return text + (parts.isEmpty() ? QString("change") : parts.join(", "));
    return text + (parts.isEmpty() ? name : name + ": " + parts.join(", "));
}

// Key, what it does: the sheet's rows, by group.
struct SheetRow {
    const char* keys;
    const char* action;
};
constexpr SheetRow kSheet[] = {
    {"<b>Cursor and view</b>", ""},
    {"Up / Down", "cursor forward / back"},
    {"Left / Right", "turn a quarter"},
    {"Ctrl+Left / Ctrl+Right", "cursor sideways"},
    {"H / B", "cursor up / down"},
    {"Page Up / Page Down", "tilt the view (in the layer view: layer up / down)"},
    {"keypad + / -, wheel", "camera nearer / farther"},
    {"click / double-click", "cursor on the block (view stays / follows)"},
    {"<b>Building</b>", ""},
    {"Space", "put the current object"},
    {"Delete, Backspace", "empty the cell"},
    {"E / A", "lighter / darker cell"},
    {"Home / End", "stretch"},
    {"D / X", "start (facing the view) / exit"},
    {"S / P", "clip marker / event marker"},
    {"I", "pick the object under the cursor"},
    {"Ctrl+F", "search the object palette"},
    {"<b>Boxes</b>", ""},
    {"Ctrl+1 / Ctrl+2, Shift+click / Ctrl+click", "points A and B"},
    {"Shift+arrows, H, B; Shift+drag (layer view)", "draw the box"},
    {"F5 / F6 / F7 (Shift: clear)", "fill the box / its shell / the line"},
    {"F8", "lighter or darker box"},
    {"Ctrl+C / Ctrl+X / Ctrl+V", "copy / cut / paste at the cursor"},
    {"Ctrl+M", "move the box to the cursor"},
    {"Ctrl+R", "turn the box a quarter"},
    {"Ctrl+H / Ctrl+J", "mirror left-right / front-back"},
    {"Ctrl+Delete", "empty the box"},
    {"F4", "flood fill the cursor's layer"},
    {"<b>Level</b>", ""},
    {"Ctrl+Z / Ctrl+Y", "undo / redo (the history list: click a step)"},
    {"Ctrl+S", "save"},
    {"Options > Resize level", "grow or shrink the level at either end"},
    {"F9 / Shift+F9", "test from the start / from the cursor"},
    {"F2 / F3 / F11", "object palette / layer view / undo history"},
    {"F1", "this sheet"},
};

}  // namespace

void TScreenForm::BuildHistory() {
    auto* dock = new QDockWidget("History", this);
    dock->setObjectName("HistoryDock");
    dock->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    historyList_ = new QListWidget(dock);
    historyList_->setObjectName("HistoryList");
    historyList_->setFocusPolicy(Qt::NoFocus);
    connect(historyList_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        GoToStep(static_cast<std::size_t>(item->data(Qt::UserRole).toULongLong()));
    });
    dock->setWidget(historyList_);
    addDockWidget(Qt::LeftDockWidgetArea, dock);
    dock->hide();
    historyDock_ = dock;
    connect(dock, &QDockWidget::visibilityChanged, this, [this](bool shown) {
        if (QAction* a = Action("History1")) a->setChecked(shown);
        RefreshHistory();
    });
}

void TScreenForm::RefreshHistory() {
    if (!historyDock_ || !historyDock_->isVisible()) return;
    const UndoHistory& h = state_.history;
    const std::pair<std::uint64_t, std::size_t> now{h.State(), h.RedoCount()};
    if (now == historyShown_) return;
    historyShown_ = now;
    historyList_->clear();
    auto add = [&](const QString& text, std::size_t undone, bool current, bool undoneStep) {
        auto* item = new QListWidgetItem(text, historyList_);
        item->setData(Qt::UserRole, static_cast<qulonglong>(undone));
        if (undoneStep) item->setForeground(QColor(140, 140, 140));
        if (current) {
            QFont font = item->font();
            font.setBold(true);
            item->setFont(font);
            historyList_->setCurrentItem(item);
        }
    };
    add("0. The level as opened", 0, h.UndoCount() == 0, false);
    std::size_t step = 0;
    for (const UndoAction& a : h.UndoList()) {
        ++step;
        add(ActionText(step, a), step, step == h.UndoCount(), false);
    }
    for (auto it = h.RedoList().rbegin(); it != h.RedoList().rend(); ++it) {
        ++step;
        add(ActionText(step, *it) + " (undone)", step, false, true);
    }
}

void TScreenForm::GoToStep(std::size_t undone) {
    Command([this, undone] {
        CommitAction(state_);
        while (state_.history.UndoCount() > undone && Undo(state_)) {}
        while (state_.history.UndoCount() < undone && Redo(state_)) {}
    });
    RefreshHistory();
}

void TScreenForm::ShowShortcutSheet() {
    if (!shortcutSheet_) {
        auto* sheet = new QDialog(this);
        sheet->setObjectName("ShortcutSheet");
        sheet->setWindowTitle("Level Editor - Keys");
        QString html = "<table cellspacing=0 cellpadding=2>";
        for (const SheetRow& r : kSheet)
            html += QString("<tr><td>%1</td><td>&nbsp;&nbsp;%2</td></tr>").arg(r.keys, r.action);
        html += "</table>";
        auto* text = new QLabel(html, sheet);
        text->setObjectName("ShortcutText");
        auto* layout = new QVBoxLayout(sheet);
        layout->addWidget(text);
        shortcutSheet_ = sheet;
    }
    shortcutSheet_->show();
    shortcutSheet_->raise();
}

}  // namespace zq
