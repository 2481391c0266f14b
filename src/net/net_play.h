// Network play on top of the game, seen through its port (rules/game_port.h):
// the lobby (nickname, providers, sessions, players), the start handshake
// that measures the send interval, the periodic sends of the play screen, and
// what each received message does.  Everything here runs on the frame thread,
// between or inside frames.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/keys.h"
#include "net/claims.h"
#include "net/messages.h"
#include "net/net_settings.h"
#include "net/session.h"
#include "rules/game_port.h"
#include "rules/rules_context.h"
#include "world/world.h"

namespace zq {

enum LobbyState : std::int32_t {
    kLobbyChooseProvider = 0,
    kLobbyChooseSession = 1,
    kLobbyInSession = 2,
    kLobbyStarting = 3,  // the host pressed "Go" and waits for the ping answers
    kLobbyJoining = 4,   // a session was picked: waiting for the host's welcome
};

inline constexpr std::int32_t kLobbyRefreshMs = 500;
// The state is never sent more often than this, whatever the link.
inline constexpr std::int32_t kShortestSendMs = 30;
// On a link that loses datagrams the other machine still hears this many
// positions in the time after which it would warn of silence.
inline constexpr std::int32_t kPositionsPerWarning = 5;
// The host's start waits this long for every ping answer, then goes on
// without the players who stayed silent.
inline constexpr std::int32_t kStartAnswerWaitMs = 10000;

// What the lobby panel shows and which of its controls work.
struct LobbyPanel {
    bool askingNickname = false;  // the "Network game" prompt is up
    std::string nickname;         // the prompt's text
    std::vector<std::string> list;
    std::vector<std::int32_t> sessionIds;  // the search screen: the session of each line
    std::int32_t selected = -1;   // -1: nothing selected
    std::string newCaption = "Create Game";
    std::string joinCaption = "Join Game";
    bool newEnabled = true;
    bool joinEnabled = true;
    std::array<bool, kKeyCount> keyWasDown{};  // typing and buttons act on presses
    std::string address;          // the search screen's typed "HOST[:PORT]"
    std::string asked;            // the address asked directly, as "host:port"; empty when none
    std::int32_t askedTime = 0;   // when it was asked
    std::int32_t searchStart = 0; // when the search began
    std::string notice;           // the last refusal or failure in words, until the next step
    std::string joining;          // the address of the session being joined
    std::int32_t joinStart = 0;   // when the join began
    std::uint32_t joinFailure = 0;  // why the last join failed (a transport code), 0 while none did
    std::vector<std::string> hostAddresses;  // where others reach the game this machine hosts
};

// How often the host sends the checksum of its level's cells, and how many
// checks in a row must disagree before a player asks for the level again
// (a hole refilling or a block sliding makes one check differ for a moment).
inline constexpr std::int32_t kWorldCheckMs = 2000;
inline constexpr std::int32_t kWorldChecksToAsk = 2;
// A player asks for the level's state at most this often, and the host sends
// one player a new state at most this often.
inline constexpr std::int32_t kWorldAskGapMs = 5000;
// Pieces still missing this long after the last one came are asked for
// again, at most this many at a time; a set not complete after the longest
// wait is given up.
inline constexpr std::int32_t kWorldPieceWaitMs = 1000;
inline constexpr std::int32_t kWorldPiecesAsked = 32;
inline constexpr std::int32_t kWorldLongestWaitMs = 30000;

// The level's state on its way to this player, gathered piece by piece.
struct WorldTransfer {
    std::int32_t id = 0;  // 0: nothing under way
    std::int32_t level = -1;
    std::int32_t total = 0;
    std::vector<std::uint8_t> bytes;
    std::vector<bool> have;
    std::int32_t got = 0;
    std::int32_t started = 0;    // when the first piece came
    std::int32_t lastHeard = 0;  // when the last piece came
    std::int32_t asked = 0;      // when missing pieces were last asked for
};

// The host: the state last sent to one player, kept to send a lost piece again.
struct WorldSent {
    std::int32_t id = 0;
    std::int32_t level = -1;
    std::int32_t time = 0;
    std::vector<std::uint8_t> bytes;
};

struct NetPlay {
    explicit NetPlay(NetSession& s) : session(s) {}

    NetSession& session;
    std::int32_t lobbyState = kLobbyChooseProvider;
    std::int32_t refreshTime = 0;
    std::string provider;  // remembered for the re-search while joining
    int port = kDefaultGamePort;  // the port a hosted game takes, for the player's messages
    LobbyPanel panel;
    // The session id of each slot once the game has started; 0 when unused.
    std::array<std::int32_t, kMaxPlayers> slotIds{};
    std::array<bool, kMaxPlayers> gone{};
    std::array<std::int32_t, kMaxPlayers> roundTripMs{};
    bool started = false;  // the lobby is over; slots are fixed
    std::int32_t startTime = 0;  // when the host pressed Go
    std::int32_t lastSend = 0;
    std::int32_t sendInterval = 0;  // the wait between state sends the link allows now, ms (0 before the first)
    std::int32_t refused = 0;  // messages that failed the checks
    // The host: what was picked up in the current level, by anybody, so a
    // player who comes back finds the same cells empty.
    std::vector<CellEventMsg> pickups;
    // The host: what it last accepted from each other player.
    ClaimChecks claims;
    // The level's state sent to a player who comes back or fell out of step.
    std::array<WorldSent, kMaxPlayers> worldSent{};
    std::int32_t lastWorldId = 0;
    std::int32_t lastWorldCheck = 0;
    // A player: the state under way, and how it went.
    WorldTransfer incoming;
    std::int32_t checkMisses = 0;  // checks in a row that disagreed with the host's
    std::int32_t lastWorldAsk = -kWorldAskGapMs;
    std::int32_t worldsTaken = 0;    // states restored
    std::int32_t worldsRefused = 0;  // complete sets that did not restore
    std::int32_t lastWorldTaken = -1;  // when the last one was restored
};

// Fills the session's events and the game's network hooks.  Both records
// must outlive each other's use.
void AttachNetPlay(GamePort& game, NetPlay& net);

// Screen 5: the nickname prompt comes up, pre-filled from the settings.
void OpenLobby(GamePort& game, NetPlay& net);
// The prompt's OK: the nickname names the local player; the provider list shows.
void SubmitNickname(GamePort& game, NetPlay& net, const std::string& nickname);
// "Create Game" / "Go".
void LobbyNewGame(GamePort& game, NetPlay& net);
// "Join Game" / "Select Game".
void LobbyJoinGame(GamePort& game, NetPlay& net);
// Every lobby frame while joining: the welcome, a refusal or the wait.
void LobbyJoinProgress(GamePort& game, NetPlay& net);
// Twice a second: the player list, or a new search while no session is found.
void LobbyRefresh(GamePort& game, NetPlay& net);
// One lobby frame: keys and mouse, the refresh, and the panel drawn.
void LobbyFrame(GamePort& game, NetPlay& net);
// Escape: one step back (the search or a session to the choice of provider,
// that choice to the nickname, the nickname to the title screen).
void LobbyBack(GamePort& game, NetPlay& net);
// The search screen's Enter on a typed address: that host is asked directly,
// and joined as soon as it answers.
void LobbyAskAddress(GamePort& game, NetPlay& net, const std::string& address);
// A failed lobby step said in words on the panel and the status line.
void LobbyFailure(GamePort& game, NetPlay& net, std::uint32_t code, bool creating, const std::string& where);
// What a failed step means to the player: the refusal's words, with the
// address that did not answer or the port that could not be opened (`where`).
std::string LobbyFailureText(std::uint32_t code, bool creating, const std::string& where);
// The hosting lobby's bottom lines: "YOUR GAME: " and every address of this
// machine, as many to a line as fit, then the home router's lines.
std::vector<std::string> HostLines(const std::vector<std::string>& addresses, const std::vector<std::string>& internet);
// The line under the list: what the lobby is doing or why it stopped.
std::string LobbyHint(const GamePort& game, const NetPlay& net);

// A received game message: checked, then applied.  Refused ones are counted.
void HandleGameMessage(GamePort& game, NetPlay& net, std::int32_t from, std::span<const std::uint8_t> bytes);
// The play screen's sends, once the send interval has passed.
void PeriodicSends(GamePort& game, NetPlay& net);
// The wait between two state sends over a link as measured now: half its
// round trip, short enough that kPositionsPerWarning positions arrive within
// kSilentWarningMs whatever share it loses, at least kShortestSendMs, and at
// most `longestMs` (numeric-pad / and *); the longest while nothing is known.
std::int32_t SendIntervalFor(LinkStats link, std::int32_t longestMs);
// The checksum of a level's cells that the host sends every kWorldCheckMs.
std::uint32_t CellsChecksum(const World& world);
// The host sends one player its level's state now, in pieces; false when
// there is nothing to send (not playing, or a state too large to send).
bool SendWorldState(GamePort& game, NetPlay& net, int slot);
// True when every other player of slot 0's level who still has lives and is
// still connected stands in the exit cell.
bool OthersAtExit(const GamePort& game, const NetPlay& net);

// Every frame: the status line names a player whose machine has been
// silent for more than a second.
void WatchConnections(GamePort& game, NetPlay& net);
// The host's start handshake gives up on players who never answer.
void CheckStartTimeout(GamePort& game, NetPlay& net);
// The host's view of the shared level: won once every player of its level
// with lives left stands in the exit, lost once nobody has lives.
SharedLevel SharedLevelState(const GamePort& game, const NetPlay& net);
// Nobody has lives left: this machine leaves the level for the game over.
void EnterNetworkGameOver(GamePort& game);

// What received messages are checked against on this machine.
MessageLimits LimitsFor(const GamePort& game, const NetPlay& net);

}  // namespace zq
