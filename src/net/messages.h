// The game messages players exchange: one 260-byte little-endian block per
// message, encoded and checked here and nowhere else.  The rest of the game
// only ever sees the decoded records, and only valid ones.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace zq {

inline constexpr std::size_t kGameMessageSize = 260;
using MessageBytes = std::array<std::uint8_t, kGameMessageSize>;

inline constexpr int kMaxPlayers = 4;

enum MessageType : std::int32_t {
    kMsgStart = 10,
    kMsgPlayerState = 11,
    kMsgCellEvent = 12,
    kMsgPing = 13,
    kMsgPingAnswer = 14,
    kMsgSentryStep = 15,
    kMsgSentryPosition = 16,
    kMsgStartLevel = 17,
    kMsgLevelTimer = 18,
    kMsgBackToTitle = 19,
    kMsgPutBack = 20,  // host to one player: its claim was refused
    kMsgWorldPiece = 21,  // host to one player: a piece of the level's state
    kMsgWorldAsk = 22,    // a player to the host: send the level's state (or one piece of it) again
    kMsgWorldCheck = 23,  // host to everybody: a checksum of its level's cells
};

// Host to one player: which slot the receiver is, how many others there are
// and how often to send.  `slotIds` carries the session id of every slot, so
// every machine maps senders to slots the same way; 0 for slots not in play.
// Sent again to everybody when a dropped player comes back: the players
// already in the game take the new ids, and the one who came back starts the
// host's level with the lives it had.
struct StartMsg {
    std::int32_t slot = 0;        // byte at 4
    std::int32_t lastPlayer = 0;  // byte at 5
    std::int32_t intervalMs = 0;  // at 8
    std::array<std::int32_t, kMaxPlayers> slotIds{};  // at 12, 16, 20, 24
    std::int32_t level = -1;      // at 28: the host's level, -1 at the start of a game
    std::int32_t lives = 0;       // at 32: the receiver's lives when it comes back
};

struct PlayerStateMsg {
    std::int32_t slot = 0;  // byte at 4
    std::int32_t x = 0, y = 0, z = 0;
    std::int32_t heading = 0;
    std::int32_t velX = 0, velY = 0, velZ = 0;
    std::int32_t turnRate = 0;
    std::int32_t animState = 0;
    std::int32_t blendTime = 0;
    std::int32_t levelIndex = -1;
    std::int32_t lives = 0;
};

struct CellEventMsg {
    std::int32_t slot = 0;  // byte at 4
    std::int32_t code = 0;  // byte at 5: 100..106
    std::int32_t x = 0, y = 0, z = 0;
    std::int32_t value = 0;  // refill ms, heading or the cell's object
    std::int32_t level = 0;  // at 24: the level the sender played it in
    // Trailing, from senders that know it: where the hero stood when it acted
    // (1 at 28, then x, y, z at 32, 36, 40), so the host checks the reach
    // from there rather than from the last state it heard.
    bool hasPosition = false;
    std::int32_t heroX = 0, heroY = 0, heroZ = 0;
};

struct PingMsg {};
struct PingAnswerMsg {};
struct SentryStepMsg {};

struct SentryPositionMsg {
    std::int32_t number = 0;  // 1-based in the World's sentry list
    std::int32_t x = 0, y = 0, z = 0;
    std::int32_t heading = 0;
};

struct StartLevelMsg {
    std::int32_t level = 0;
};

struct LevelTimerMsg {
    std::int32_t timeLeftMs = 0;
};

// Where the host sends everybody when it leaves the play screen.
enum GameEnding : std::int32_t {
    kEndToTitle = 0,   // the host went back to the title
    kEndGameOver = 1,  // nobody has lives left
    kEndCredits = 2,   // the last level is done
};

struct BackToTitleMsg {
    std::int32_t ending = kEndToTitle;  // at 4
};

// The host refused what this player claimed (a move, an action, its lives):
// its hero goes back where the host last accepted it, and its lives are at
// most `lives`.
struct PutBackMsg {
    std::int32_t slot = 0;          // byte at 4: the receiver's slot
    std::int32_t x = 0, y = 0, z = 0;  // at 8, 12, 16
    std::int32_t lives = 0;         // at 20
    std::int32_t level = -1;        // at 24: the level the position is in
};

// The level's state (a snapshot) travels in numbered pieces that each fit
// one message.  A set is known by its id; its total size and piece count are
// repeated in every piece, and a piece that disagrees with them is refused.
inline constexpr std::int32_t kWorldPieceBytes = 232;
// A level's state larger than this is not sent (the largest campaign level
// packs to far less); it bounds what a receiver gathers.
inline constexpr std::int32_t kMaxWorldBytes = 1 << 20;
inline constexpr std::int32_t kMaxWorldPieces = (kMaxWorldBytes + kWorldPieceBytes - 1) / kWorldPieceBytes;

struct WorldPieceMsg {
    std::int32_t level = 0;   // at 4: the level the state was taken in
    std::int32_t id = 0;      // at 8: the set this piece belongs to
    std::int32_t total = 0;   // at 12: bytes of the whole state
    std::int32_t index = 0;   // at 16: 0..count-1
    std::vector<std::uint8_t> data;  // size at 20, bytes from 24: kWorldPieceBytes, the last one less
    std::int32_t Count() const { return (total + kWorldPieceBytes - 1) / kWorldPieceBytes; }
};

struct WorldAskMsg {
    std::int32_t level = 0;   // at 4: the level the asker plays
    std::int32_t id = 0;      // at 8: the set a piece is missing from; 0 asks for a new state
    std::int32_t index = -1;  // at 12: the missing piece, -1 for the whole state
};

struct WorldCheckMsg {
    std::int32_t level = 0;     // at 4
    std::uint32_t cells = 0;    // at 8: checksum of the level's cells on the host
};

// The variant's order is the type order: MessageTypeOf counts on it.
using GameMessage = std::variant<StartMsg, PlayerStateMsg, CellEventMsg, PingMsg, PingAnswerMsg, SentryStepMsg,
                                 SentryPositionMsg, StartLevelMsg, LevelTimerMsg, BackToTitleMsg, PutBackMsg,
                                 WorldPieceMsg, WorldAskMsg, WorldCheckMsg>;

std::int32_t MessageTypeOf(const GameMessage& message);

// Writes every field at its offset; unlisted bytes are zero.
MessageBytes EncodeMessage(const GameMessage& message);

// What a received message is checked against: the receiver's own game.
struct MessageLimits {
    std::int32_t lastPlayer = 0;   // slots 0..lastPlayer are in play
    std::int32_t sentryCount = 0;  // sentries of the loaded level
    std::int32_t levelCount = 0;   // entries of the level list
    std::int32_t sizeX = 0, sizeY = 0, sizeZ = 0;  // the loaded grid
};

struct DecodeResult {
    std::optional<GameMessage> message;  // empty when the bytes were refused
    std::string why;                     // one line saying why
};

// Reads a received block and checks every field against `limits`: a wrong
// length, an unknown type, a slot outside 0..lastPlayer, a sentry number
// outside 1..sentryCount, a level outside the list, a cell outside the grid or
// an object outside 0..256 refuses the whole message.
DecodeResult DecodeMessage(std::span<const std::uint8_t> bytes, const MessageLimits& limits);

}  // namespace zq
