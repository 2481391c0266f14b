// The lobby panel drawn with the game's own pictures and fonts: the nickname
// prompt, the list box and the two buttons, worked with the keyboard (arrows,
// Enter or C for the left button, J for the right one) and the mouse.
#include <algorithm>
#include <cctype>

#include "net/net_play.h"
#include "render/overlay.h"
#include "render/view_shape.h"

namespace zq {

namespace {

constexpr std::size_t kNicknameMax = 51;
constexpr int kListRows = 7;

// The panel's places, as fractions of the 320 x 240 view.
constexpr float kListX = 8 / 320.0f, kListY = 8 / 240.0f, kListW = 305 / 320.0f, kListH = 121 / 240.0f;
constexpr float kRowH = 16 / 240.0f;
constexpr float kNewX = 8 / 320.0f, kJoinX = 229 / 320.0f, kButtonY = 159 / 240.0f;
constexpr float kNewW = 81 / 320.0f, kJoinW = 86 / 320.0f, kButtonH = 25 / 240.0f;

constexpr std::size_t kAddressMax = 64;
// How long a search or an asked address goes unanswered before the lobby says so.
constexpr std::int32_t kNoAnswerMs = 5000;

bool Pressed(GamePort& game, LobbyPanel& panel, Key key) {
    const bool down = game.KeyDown(key) || game.SeenByPoll(key);
    bool& was = panel.keyWasDown[static_cast<std::size_t>(key)];
    const bool press = down && !was;
    was = down;
    return press;
}

// A screen that types text starts afresh: keys pressed while another screen
// had no use for them (the digits of an address) are not typed into it.
void ForgetPendingKeys(GamePort& game, LobbyPanel& panel) {
    for (int k = static_cast<int>(Key::None) + 1; k < kKeyCount; ++k)
        panel.keyWasDown[static_cast<std::size_t>(k)] = game.KeyDown(static_cast<Key>(k));
    game.TakeText();
}

bool Inside(const PortCursor& c, float x, float y, float w, float h) {
    return c.x >= x && c.x < x + w && c.y >= y && c.y < y + h;
}

void TypeNickname(GamePort& game, NetPlay& net) {
    LobbyPanel& panel = net.panel;
    const bool shift = game.KeyDown(Key::Shift);
    for (int k = static_cast<int>(Key::A); k <= static_cast<int>(Key::Z); ++k)
        if (Pressed(game, panel, static_cast<Key>(k)) && panel.nickname.size() < kNicknameMax)
            panel.nickname += static_cast<char>((shift ? 'A' : 'a') + (k - static_cast<int>(Key::A)));
    for (int k = static_cast<int>(Key::Num0); k <= static_cast<int>(Key::Num9); ++k)
        if (Pressed(game, panel, static_cast<Key>(k)) && panel.nickname.size() < kNicknameMax)
            panel.nickname += static_cast<char>('0' + (k - static_cast<int>(Key::Num0)));
    if (Pressed(game, panel, Key::Space) && panel.nickname.size() < kNicknameMax) panel.nickname += ' ';
    if (Pressed(game, panel, Key::Backspace) && !panel.nickname.empty()) panel.nickname.pop_back();
    if (Pressed(game, panel, Key::Escape)) LobbyBack(game, net);
    else if (Pressed(game, panel, Key::Enter)) SubmitNickname(game, net, panel.nickname);
}

// The search screen's address field: letters, digits, dots, colons, dashes
// and the brackets of "[2001:db8::5]:28416" from the keyboard's text;
// Backspace takes the last one back.
void TypeAddress(GamePort& game, LobbyPanel& panel) {
    for (char ch : game.TakeText()) {
        const bool fits = std::isalnum(static_cast<unsigned char>(ch)) || ch == '.' || ch == ':' || ch == '-' ||
                          ch == '[' || ch == ']';
        if (fits && panel.address.size() < kAddressMax) panel.address += ch;
    }
    if (Pressed(game, panel, Key::Backspace) && !panel.address.empty()) panel.address.pop_back();
}

void WorkPanel(GamePort& game, NetPlay& net) {
    LobbyPanel& panel = net.panel;
    const int count = static_cast<int>(panel.list.size());
    const bool searching = net.lobbyState == kLobbyChooseSession;
    if (searching) TypeAddress(game, panel);
    if (Pressed(game, panel, Key::Up) && count > 0) panel.selected = std::max(0, panel.selected - 1);
    if (Pressed(game, panel, Key::Down) && count > 0) panel.selected = std::min(count - 1, panel.selected + 1);
    if (panel.selected < 0 && count > 0 && net.lobbyState != kLobbyInSession) panel.selected = 0;
    // Every key is asked every frame so each keeps its own pressed edge.
    const bool enterKey = Pressed(game, panel, Key::Enter);
    // While an address can be typed, C and J are letters of it.
    const bool cKey = Pressed(game, panel, Key::C) && !searching;
    const bool joinKey = Pressed(game, panel, Key::J) && !searching;
    const bool escape = Pressed(game, panel, Key::Escape);
    bool newClick = false, joinClick = false;
    if (Pressed(game, panel, Key::MouseLeft)) {
        if (auto cursor = game.Cursor()) {
            // The panel sits in the 4:3 middle of a wide frame.
            cursor->x = InterfaceX(cursor->x, game.OverlayScale(), Anchor::Centre);
            if (Inside(*cursor, kListX, kListY, kListW, kListH)) {
                const int row = static_cast<int>((cursor->y - kListY) / kRowH);
                if (row < count) panel.selected = row;
            }
            newClick = Inside(*cursor, kNewX, kButtonY, kNewW, kButtonH);
            joinClick = Inside(*cursor, kJoinX, kButtonY, kJoinW, kButtonH);
        }
    }
    if (escape) return LobbyBack(game, net);
    if (searching && enterKey) {
        // Enter asks the typed address, or joins the game picked in the list.
        if (!panel.address.empty()) LobbyAskAddress(game, net, panel.address);
        else LobbyJoinGame(game, net);
        return;
    }
    if ((enterKey || cKey || newClick) && panel.newEnabled) LobbyNewGame(game, net);
    else if ((joinKey || joinClick) && panel.joinEnabled) LobbyJoinGame(game, net);
}

void DrawBackground(GamePort& game) {
    game.ClearFrame(0);
    const int extra = game.OverlayExtraColumns(0.1f);
    for (int i = -extra; i <= 10 + extra; ++i)
        for (int j = 0; j <= 8; ++j)
            game.DrawImage(13, false, 75, 0.135f, 0.102f, static_cast<float>(j) * 0.1333f, static_cast<float>(i) * 0.1f);
}

// A box of the panel: the title picture's dark mosaic again, darker still.
void DrawBox(GamePort& game, float x, float y, float w, float h) { game.DrawImage(13, false, 60, h, w, y, x); }

void DrawButton(GamePort& game, const std::string& caption, bool enabled, float x, float w) {
    if (!enabled) return;
    DrawBox(game, x, kButtonY, w, kButtonH);
    const float textX = x + (w - TextWidth(caption, false)) / 2;
    game.DrawText(caption, false, kButtonY + (kButtonH - 8 / 240.0f) / 2, textX);
}

void DrawPanel(GamePort& game, const NetPlay& net) {
    const LobbyPanel& panel = net.panel;
    DrawBackground(game);
    if (panel.askingNickname) {
        DrawBox(game, 0.1f, 0.2f, 0.8f, 0.5f);
        const std::string title = "Network game";
        game.DrawText(title, true, 0.26f, (1 - TextWidth(title, true)) / 2);
        game.DrawText("Please enter your Nickname:", false, 0.38f, 0.15f);
        const bool caret = (game.Now() / 400) % 2 == 0;
        game.DrawText(panel.nickname + (caret ? "_" : ""), true, 0.45f, 0.15f);
        game.DrawText("ENTER: OK   ESC: BACK TO THE TITLE", false, 0.6f, 0.15f);
        return;
    }
    DrawBox(game, kListX, kListY, kListW, kListH);
    const int first = std::max(0, panel.selected - (kListRows - 1));
    for (int row = 0; row < kListRows && first + row < static_cast<int>(panel.list.size()); ++row) {
        const int i = first + row;
        const std::string& line = panel.list[static_cast<std::size_t>(i)];
        const float y = kListY + 0.01f + static_cast<float>(row) * kRowH;
        game.DrawText((i == panel.selected ? "> " : "  ") + line, true, y, kListX + 0.01f);
    }
    const std::string hint = LobbyHint(game, net);
    game.DrawText(hint, false, 0.57f, std::max(0.01f, (1 - TextWidth(hint, false)) / 2));
    DrawButton(game, panel.newCaption, panel.newEnabled, kNewX, kNewW);
    DrawButton(game, panel.joinCaption, panel.joinEnabled, kJoinX, kJoinW);
    if (net.lobbyState == kLobbyChooseSession || net.lobbyState == kLobbyJoining) {
        const bool caret = (game.Now() / 400) % 2 == 0;
        game.DrawText("OR JOIN BY ADDRESS: " + panel.address + (caret ? "_" : ""), false, 0.80f, 0.05f);
        game.DrawText("TYPE HOST[:PORT] OR PICK A GAME   ENTER: JOIN   ESC: BACK", false, 0.86f, 0.05f);
        return;
    }
    const bool hosting = !panel.hostAddresses.empty();
    game.DrawText("ARROWS SELECT   ENTER/C: LEFT   J: RIGHT   ESC: BACK", false, hosting ? 0.78f : 0.82f, 0.05f);
    // The host tells the others where to find the game: every address of
    // this machine, then what the home router made of the port.
    const std::vector<std::string> lines = HostLines(panel.hostAddresses, net.session.InternetStatus());
    for (std::size_t i = 0; i < lines.size(); ++i)
        game.DrawText(lines[i], false, 0.82f + 0.04f * static_cast<float>(i), 0.05f);
}

// Leaves the lobby for the title screen of a game for one.
void LeaveToTitle(GamePort& game, NetPlay& net) {
    net.session.LeaveSession();
    game.Heroes().localPlayer = 0;
    game.Heroes().lastPlayer = 0;
    game.Rules().networkGame = false;
    // The Escape that left is not also the title's Escape, which ends the game.
    game.LeaveLobby(true);
}

}  // namespace

std::vector<std::string> HostLines(const std::vector<std::string>& addresses, const std::vector<std::string>& internet) {
    // 72 small glyphs fill the width from the left margin; four lines fit
    // under the key hint.
    constexpr std::size_t kWidth = 72, kMostLines = 4;
    const std::string first = "YOUR GAME: ", more(first.size(), ' ');
    const std::size_t routerLines = std::min(internet.size(), kMostLines - 1);
    std::vector<std::string> lines;
    std::string line = first;
    for (const std::string& address : addresses) {
        if (line.size() > first.size() && line.size() + 2 + address.size() > kWidth) {
            lines.push_back(line);
            line = more;
        }
        if (line.size() > first.size()) line += "  ";
        line += address;
    }
    if (!addresses.empty()) lines.push_back(line);
    lines.resize(std::min(lines.size(), kMostLines - routerLines));
    for (std::size_t i = 0; i < routerLines; ++i) lines.push_back(internet[i].substr(0, kWidth));
    return lines;
}

std::string LobbyFailureText(std::uint32_t code, bool creating, const std::string& where) {
    if (creating && code == kTransportNoSocket) return "COULD NOT OPEN PORT " + where;
    if (creating && code == kTransportRefused) return "ALREADY IN A GAME";
    if (code == kTransportTimedOut && !where.empty()) return "NO GAME ANSWERS AT " + where;
    // What the host itself said no with.
    switch (code) {
        case kTransportSessionFull:
        case kTransportGameStarted:
        case kTransportWrongVersion:
        case kTransportNameInUse:
        case kTransportRefused:
            if (!creating) return "THE GAME REFUSED: " + RefusalText(code);
            break;
        default: break;
    }
    return RefusalText(code);
}

void LobbyFailure(GamePort& game, NetPlay& net, std::uint32_t code, bool creating, const std::string& where) {
    net.panel.notice = LobbyFailureText(code, creating, where);
    game.ShowKept(net.panel.notice);
}

std::string LobbyHint(const GamePort& game, const NetPlay& net) {
    const LobbyPanel& panel = net.panel;
    const std::int32_t now = game.Now();
    switch (net.lobbyState) {
        case kLobbyChooseProvider: return panel.notice.empty() ? "CHOOSE HOW TO PLAY" : panel.notice;
        case kLobbyChooseSession:
            if (!panel.notice.empty()) return panel.notice;
            if (!panel.asked.empty())
                return now - panel.askedTime > kNoAnswerMs ? "NO GAME ANSWERS AT " + panel.asked + " - STILL ASKING"
                                                           : "ASKING " + panel.asked;
            if (!panel.list.empty()) return "CHOOSE A GAME";
            return now - panel.searchStart > kNoAnswerMs ? "NO GAMES FOUND YET - STILL SEARCHING" : "SEARCHING FOR GAMES";
        case kLobbyJoining: return "JOINING " + panel.joining + " - ESC: CANCEL";
        case kLobbyInSession:
            return panel.newEnabled && panel.newCaption == "Go" ? "PRESS GO WHEN EVERYBODY IS HERE" : "WAITING FOR THE HOST";
        default: return "STARTING";
    }
}

void LobbyBack(GamePort& game, NetPlay& net) {
    LobbyPanel& panel = net.panel;
    panel.notice.clear();
    if (panel.askingNickname) return LeaveToTitle(game, net);
    switch (net.lobbyState) {
        case kLobbyChooseProvider:
            panel.askingNickname = true;
            panel.nickname = game.Nickname();
            ForgetPendingKeys(game, panel);
            return;
        case kLobbyJoining:
            // The join is given up; the search and the typed address stay.
            net.session.CancelJoin();
            net.lobbyState = kLobbyChooseSession;
            panel.asked.clear();
            return;
        case kLobbyChooseSession:
        case kLobbyInSession:
            // Out of the search or the session; a host's session ends with it.
            net.session.LeaveSession();
            SubmitNickname(game, net, game.Nickname());
            return;
        default: return;  // the start is under way
    }
}

void LobbyAskAddress(GamePort& game, NetPlay& net, const std::string& address) {
    LobbyPanel& panel = net.panel;
    std::string host;
    int port = 0;
    panel.notice.clear();
    if (!SplitHostPort(address, net.port, host, port)) {
        panel.notice = "NOT AN ADDRESS: " + address;
        return;
    }
    if (!net.session.AskHost(address)) {
        panel.notice = "NO SUCH HOST: " + host;
        return;
    }
    // The address stays in its field for another try.
    const bool ipv6 = host.find(':') != std::string::npos;
    panel.asked = (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
    panel.askedTime = game.Now();
}

void LobbyFrame(GamePort& game, NetPlay& net) {
    if (net.panel.askingNickname) TypeNickname(game, net);
    else WorkPanel(game, net);
    LobbyJoinProgress(game, net);
    LobbyRefresh(game, net);
    if (game.InLobby()) DrawPanel(game, net);
}

}  // namespace zq
