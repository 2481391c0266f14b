#include "editor/qt/help_window.h"

#include <QBuffer>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "editor/qt/editor_icons.h"

namespace zq {

namespace {

// An icon inline in a page's text.
QString Icon(const QString& name) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EditorIcon(name).save(&buffer, "PNG");
    return QString("<img src=\"data:image/png;base64,%1\" width=24 height=24 style=\"vertical-align:middle\"/>")
        .arg(QString::fromLatin1(bytes.toBase64()));
}

struct Page {
    const char* title;
    QString text;
};

QList<Page> HelpPages() {
    return {
        {"Introduction",
         "<p>This is the level editor of Zorvo Quib. Everything the game plays is made here: the cells of a "
         "level, their light, the start and exit points, the sentries and the clip markers.</p>"
         "<p>The big view on the left shows the level around the cursor. The panel on the right holds the "
         "command icons (let the mouse rest on one to see its key), the cursor coordinates, the lists of "
         "clips, sentries and behaviours, the list of building objects and a turning preview of the object "
         "you paint with.</p><p>Press <b>F9</b> at any time to play the level you are editing.</p>"},
        {"General concepts",
         "<p>A level is a box of cubic cells, at most 1024 cells along each side. Every cell holds one "
         "object type of the bank file (0 is an empty cell), a light value (128 is normal) and a stretch "
         "value that lowers the top of a cube to make slopes.</p>"
         "<p>The cursor is the white frame. " + Icon("I_MoveForward") + Icon("I_MoveBack") + Icon("I_RotateLeft") +
             Icon("I_RotateRight") +
             " move and turn it (arrow keys), " + Icon("I_MoveLeft") + Icon("I_MoveRight") +
             " step sideways (Ctrl+arrows), " + Icon("I_GoUp") + Icon("I_GoDown") + " go up and down (H and B). " +
             Icon("I_ZoomIn") + Icon("I_ZoomOut") + " bring the camera nearer or farther (keypad + and -), " +
             Icon("I_LookUp") + Icon("I_LookDown") +
             " tilt it towards a top view (Page Up and Page Down). A left click in the view puts the cursor on "
             "the clicked cell and leaves the view where it is; a double-click, or any key that moves the "
             "cursor, brings the view along.</p>"
             "<p>Edit &gt; Undo (Ctrl+Z) takes back the last action, again and again; Edit &gt; Redo (Ctrl+Y or "
             "Ctrl+Shift+Z) brings it back. A held key's edits are one action. The status bar says what "
             "each action did, or why it did nothing.</p>"},
        {"Building",
         "<p>Choose an object in the building objects list, then " + Icon("I_PutBlock") +
             " puts it in the cursor cell (Space) and " + Icon("I_DelBlock") +
             " empties the cell and removes its markers (Delete or Backspace). " + Icon("I_Brighter") +
             Icon("I_Darker") + " change the light of the cell (E and A), " + Icon("I_RaiseUp") +
             Icon("I_RaiseDown") + " its stretch (Home and End).</p>"
             "<p>For large work, mark two corners with Tools &gt; Set Point A (Ctrl+1) and Set Point B (Ctrl+2), "
             "then fill or clear the box between them (F5, Shift+F5), its hollow shell (F6, Shift+F6) or a line "
             "(F7, Shift+F7). Tools &gt; Generate &gt; Plan fills a whole plane through the cursor. F8 makes the "
             "box darker or lighter.</p>"
             "<p>The box from A to B is also a region: Edit &gt; Copy box (Ctrl+C), Cut box (Ctrl+X) and "
             "Paste at the cursor (Ctrl+V, also into another editor window), Move box to the cursor (Ctrl+M), "
             "Turn box a quarter (Ctrl+R), Mirror (Ctrl+H left to right, Ctrl+J front to back) and Empty box "
             "(Ctrl+Delete). Ladders turn with the box. Shift with the arrows, H or B draws the box as the "
             "cursor moves. F4 flood-fills the patch of the cursor's layer that holds what the cursor cell "
             "holds.</p>"
             "<p>Options &gt; Resize level grows or shrinks the level at either end of each axis: the cells, "
             "the start and exit, the markers and the sentries move along, and nothing placed may fall "
             "outside. It is one step of Undo like any other.</p>"},
        {"Start and Exit points",
         "<p>" + Icon("I_Start") +
             " (D) puts the start point on the cursor cell; the hero starts there, facing the way the view "
             "faces. " +
             Icon("I_Exit") +
             " (X) puts the exit point: reaching it ends the level. Gold ingots open ingot doors: once the "
             "last ingot is taken, the ingot doors open, so a door in front of the exit makes the ingots "
             "the way out. File &gt; Save and F9 list what is missing (no start, an exit outside the grid, "
             "an ingot door without ingots) in the problem list.</p>"
             "<p>Tools &gt; Goto jumps the cursor to the start or exit point.</p>"},
        {"Adding some music",
         "<p>" + Icon("I_SFX") +
             " (S) puts a clip marker on the cursor cell. When the cursor is on a clip marker the clip list "
             "appears: choose the clip the marker starts when the hero walks into its cell, and try it with "
             "Play and Stop.</p>"
             "<p>A level holds up to 256 clip cells. Clips (music, videos and short in-engine scenes) are "
             "defined in the bank file.</p>"
             "<p>P puts an event marker: when the cursor is on one, the behaviour list appears and you choose "
             "which behaviour of the level's script (the .scp file beside the .lev file) it runs. The areas the "
             "behaviour watches and changes are outlined in the view.</p>"},
        {"Tips",
         "<ul><li>Build the floor first with a plane (Tools &gt; Generate &gt; Plan &gt; Y), then the walls with "
         "hollow boxes.</li>"
         "<li>Ladders, levers and doors are objects like any other: paint them into cells.</li>"
         "<li>Darker corners make a level feel larger; a lit path guides the player.</li>"
         "<li>Test often with F9: what looks easy in the editor can be hard to play.</li>"
         "<li>Editor &gt; Force low resolution keeps the view fast on big levels.</li></ul>"},
        {"Contact",
         "<p>Zorvo Quib and its editor are made by the Zorvo Quib team. Report problems and share your levels "
         "through the project's issue tracker; attach the .lev file and its .scp script.</p>"},
        {"Playing levels",
         "<p>The game plays the levels of its \"Level\" folder in alphabetical order of their file names, so "
         "name your files to set their order (01_first.lev, 02_second.lev, ...).</p>"
         "<p>When the player enters a level, its description and its author (Options &gt; Level Description "
         "and Level Author) are shown, so give both.</p>"
         "<p>Save with File &gt; Save (Ctrl+S); a level's script has the same name with the extension .scp.</p>"},
        {"Defining sentries",
         "<p>Options &gt; Number of Sentries sets how many sentries the level has, up to 255. Each one is "
         "listed as NME #1, NME #2, ...: choose one, move the cursor where it should start and press Set Pos. "
         "It then faces the way the view faces.</p>"
         "<p>Changing the number or the random seed puts every sentry back in its start state. The seed "
         "(0 to 32767) decides how sentries wander, so the same level always plays the same way.</p>"},
    };
}

}  // namespace

THelp::THelp(QWidget* parent) : QDialog(parent) {
    setObjectName("THelp");
    setWindowTitle("Level Editor - Aide");
    resize(640, 440);
    auto* row = new QHBoxLayout(this);
    auto* buttons = new QVBoxLayout;
    pages_ = new QStackedWidget(this);
    pages_->setObjectName("Pages");
    const QList<Page> pages = HelpPages();
    for (int i = 0; i < pages.size(); ++i) {
        auto* button = new QPushButton(pages[i].title, this);
        button->setObjectName(QString("Menu%1").arg(i + 1));
        connect(button, &QPushButton::clicked, this, [this, i] { ShowPage(i); });
        buttons->addWidget(button);

        auto* page = new QWidget(pages_);
        auto* column = new QVBoxLayout(page);
        auto* heading = new QLabel(QString("<h2>%1</h2>").arg(pages[i].title), page);
        auto* text = new QTextBrowser(page);
        text->setHtml(pages[i].text);
        column->addWidget(heading);
        column->addWidget(text, 1);
        pages_->addWidget(page);
    }
    buttons->addStretch(1);
    auto* close = new QPushButton("Close", this);
    connect(close, &QPushButton::clicked, this, &QDialog::hide);
    buttons->addWidget(close);
    row->addLayout(buttons);
    row->addWidget(pages_, 1);
}

void THelp::ShowPage(int index) { pages_->setCurrentIndex(index); }

}  // namespace zq
