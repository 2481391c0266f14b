// The lobby panel drawn with the game's own pictures and fonts: the nickname
// prompt, the list box and the two buttons, worked with the keyboard (arrows,
// Enter or C for the left button, J for the right one) and the mouse.
#include <algorithm>

#include "net/net_play.h"
#include "render/overlay.h"

namespace zq {

namespace {

constexpr std::size_t kNicknameMax = 51;
constexpr int kListRows = 7;

// The panel's places, as fractions of the 320 x 240 view.
constexpr float kListX = 8 / 320.0f, kListY = 8 / 240.0f, kListW = 305 / 320.0f, kListH = 121 / 240.0f;
constexpr float kRowH = 16 / 240.0f;
constexpr float kNewX = 8 / 320.0f, kJoinX = 229 / 320.0f, kButtonY = 159 / 240.0f;
constexpr float kNewW = 81 / 320.0f, kJoinW = 86 / 320.0f, kButtonH = 25 / 240.0f;

bool Pressed(LobbyPanel& panel, InputDevice& input, Key key) {
    const bool down = input.KeyDown(key);
    bool& was = panel.keyWasDown[static_cast<std::size_t>(key)];
    const bool press = down && !was;
    was = down;
    return press;
}

bool Inside(const CursorPosition& c, float x, float y, float w, float h) {
    return c.x >= x && c.x < x + w && c.y >= y && c.y < y + h;
}

void TypeNickname(Game& game, NetPlay& net) {
    LobbyPanel& panel = net.panel;
    InputDevice& input = game.input;
    const bool shift = input.KeyDown(Key::Shift);
    for (int k = static_cast<int>(Key::A); k <= static_cast<int>(Key::Z); ++k)
        if (Pressed(panel, input, static_cast<Key>(k)) && panel.nickname.size() < kNicknameMax)
            panel.nickname += static_cast<char>((shift ? 'A' : 'a') + (k - static_cast<int>(Key::A)));
    for (int k = static_cast<int>(Key::Num0); k <= static_cast<int>(Key::Num9); ++k)
        if (Pressed(panel, input, static_cast<Key>(k)) && panel.nickname.size() < kNicknameMax)
            panel.nickname += static_cast<char>('0' + (k - static_cast<int>(Key::Num0)));
    if (Pressed(panel, input, Key::Space) && panel.nickname.size() < kNicknameMax) panel.nickname += ' ';
    if (Pressed(panel, input, Key::Backspace) && !panel.nickname.empty()) panel.nickname.pop_back();
    // Cancel keeps the text the prompt opened with.
    if (Pressed(panel, input, Key::Escape)) SubmitNickname(game, net, game.settings.nickName);
    else if (Pressed(panel, input, Key::Enter)) SubmitNickname(game, net, panel.nickname);
}

void WorkPanel(Game& game, NetPlay& net) {
    LobbyPanel& panel = net.panel;
    InputDevice& input = game.input;
    const int count = static_cast<int>(panel.list.size());
    if (Pressed(panel, input, Key::Up) && count > 0) panel.selected = std::max(0, panel.selected - 1);
    if (Pressed(panel, input, Key::Down) && count > 0) panel.selected = std::min(count - 1, panel.selected + 1);
    if (panel.selected < 0 && count > 0 && net.lobbyState != kLobbyInSession) panel.selected = 0;
    // Both keys are asked every frame so each keeps its own pressed edge.
    const bool enterKey = Pressed(panel, input, Key::Enter);
    const bool cKey = Pressed(panel, input, Key::C);
    const bool newKey = enterKey || cKey;
    const bool joinKey = Pressed(panel, input, Key::J);
    bool newClick = false, joinClick = false;
    if (Pressed(panel, input, Key::MouseLeft)) {
        if (auto cursor = input.Cursor()) {
            if (Inside(*cursor, kListX, kListY, kListW, kListH)) {
                const int row = static_cast<int>((cursor->y - kListY) / kRowH);
                if (row < count) panel.selected = row;
            }
            newClick = Inside(*cursor, kNewX, kButtonY, kNewW, kButtonH);
            joinClick = Inside(*cursor, kJoinX, kButtonY, kJoinW, kButtonH);
        }
    }
    if ((newKey || newClick) && panel.newEnabled) LobbyNewGame(game, net);
    else if ((joinKey || joinClick) && panel.joinEnabled) LobbyJoinGame(game, net);
    if (Pressed(panel, input, Key::Escape)) game.host.Quit();
}

void DrawBackground(Game& game) {
    game.renderer.ClearFrame(0);
    for (int i = 0; i <= 10; ++i)
        for (int j = 0; j <= 8; ++j)
            DrawOverlayImage(game, 13, false, 75, 0.135f, 0.102f, static_cast<float>(j) * 0.1333f, static_cast<float>(i) * 0.1f);
}

// A box of the panel: the title picture's dark mosaic again, darker still.
void DrawBox(Game& game, float x, float y, float w, float h) { DrawOverlayImage(game, 13, false, 60, h, w, y, x); }

void DrawButton(Game& game, const std::string& caption, bool enabled, float x, float w) {
    if (!enabled) return;
    DrawBox(game, x, kButtonY, w, kButtonH);
    const float textX = x + (w - TextWidth(caption, false)) / 2;
    DrawOverlayText(game, caption, false, kButtonY + (kButtonH - 8 / 240.0f) / 2, textX);
}

void DrawPanel(Game& game, const NetPlay& net) {
    const LobbyPanel& panel = net.panel;
    DrawBackground(game);
    if (panel.askingNickname) {
        DrawBox(game, 0.1f, 0.2f, 0.8f, 0.5f);
        const std::string title = "Network game";
        DrawOverlayText(game, title, true, 0.26f, (1 - TextWidth(title, true)) / 2);
        DrawOverlayText(game, "Please enter your Nickname:", false, 0.38f, 0.15f);
        const bool caret = (game.shell.time.now / 400) % 2 == 0;
        DrawOverlayText(game, panel.nickname + (caret ? "_" : ""), true, 0.45f, 0.15f);
        DrawOverlayText(game, "ENTER: OK   ESC: CANCEL", false, 0.6f, 0.15f);
        return;
    }
    DrawBox(game, kListX, kListY, kListW, kListH);
    const int first = std::max(0, panel.selected - (kListRows - 1));
    for (int row = 0; row < kListRows && first + row < static_cast<int>(panel.list.size()); ++row) {
        const int i = first + row;
        const std::string& line = panel.list[static_cast<std::size_t>(i)];
        const float y = kListY + 0.01f + static_cast<float>(row) * kRowH;
        DrawOverlayText(game, (i == panel.selected ? "> " : "  ") + line, true, y, kListX + 0.01f);
    }
    const char* hint = net.lobbyState == kLobbyChooseProvider  ? "CHOOSE HOW TO PLAY"
                       : net.lobbyState == kLobbyChooseSession ? (panel.list.empty() ? "SEARCHING FOR GAMES" : "CHOOSE A GAME")
                       : net.lobbyState == kLobbyInSession     ? (panel.newEnabled && panel.newCaption == "Go"
                                                                      ? "PRESS GO WHEN EVERYBODY IS HERE"
                                                                      : "WAITING FOR THE HOST")
                                                               : "STARTING";
    DrawOverlayText(game, hint, false, 0.57f, (1 - TextWidth(hint, false)) / 2);
    DrawButton(game, panel.newCaption, panel.newEnabled, kNewX, kNewW);
    DrawButton(game, panel.joinCaption, panel.joinEnabled, kJoinX, kJoinW);
    DrawOverlayText(game, "ARROWS SELECT   ENTER/C: LEFT   J: RIGHT", false, 0.82f, 0.05f);
}

}  // namespace

void LobbyFrame(Game& game, NetPlay& net) {
    if (net.panel.askingNickname) TypeNickname(game, net);
    else WorkPanel(game, net);
    LobbyRefresh(game, net);
    if (game.shell.networkLobby) DrawPanel(game, net);
}

}  // namespace zq
