#include "net/messages.h"

#include <algorithm>
#include <cmath>

namespace zq {

namespace {

constexpr std::int32_t kMaxIntervalMs = 60000;
constexpr std::int32_t kFirstCellEvent = 100;
constexpr std::int32_t kLastCellEvent = 106;
constexpr std::int32_t kFirstPickupEvent = 103;
constexpr std::int32_t kObjectLimit = 256;  // cell values 0..256
constexpr std::int32_t kMostLives = 99;

class Writer {
public:
    explicit Writer(std::int32_t type) { I32(0, type); }
    void U8(std::size_t at, std::int32_t v) { bytes[at] = static_cast<std::uint8_t>(v); }
    void I32(std::size_t at, std::int32_t v) {
        const auto u = static_cast<std::uint32_t>(v);
        for (std::size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(u >> (8 * i));
    }
    MessageBytes bytes{};
};

std::int32_t I32(std::span<const std::uint8_t> b, std::size_t at) {
    std::uint32_t u = 0;
    for (std::size_t i = 0; i < 4; ++i) u |= static_cast<std::uint32_t>(b[at + i]) << (8 * i);
    return static_cast<std::int32_t>(u);
}

struct Encoder {
    MessageBytes operator()(const StartMsg& m) const {
        Writer w(kMsgStart);
        w.U8(4, m.slot);
        w.U8(5, m.lastPlayer);
        w.I32(8, m.intervalMs);
        for (std::size_t i = 0; i < m.slotIds.size(); ++i) w.I32(12 + 4 * i, m.slotIds[i]);
        w.I32(28, m.level);
        w.I32(32, m.lives);
        return w.bytes;
    }
    MessageBytes operator()(const PlayerStateMsg& m) const {
        Writer w(kMsgPlayerState);
        w.U8(4, m.slot);
        const std::int32_t fields[] = {m.x,        m.y,       m.z,         m.heading,    m.velX,  m.velY, m.velZ,
                                       m.turnRate, m.animState, m.blendTime, m.levelIndex, m.lives};
        for (std::size_t i = 0; i < std::size(fields); ++i) w.I32(8 + 4 * i, fields[i]);
        return w.bytes;
    }
    MessageBytes operator()(const CellEventMsg& m) const {
        Writer w(kMsgCellEvent);
        w.U8(4, m.slot);
        w.U8(5, m.code);
        w.I32(8, m.x);
        w.I32(12, m.y);
        w.I32(16, m.z);
        w.I32(20, m.value);
        w.I32(24, m.level);
        if (m.hasPosition) {
            w.I32(28, 1);
            w.I32(32, m.heroX);
            w.I32(36, m.heroY);
            w.I32(40, m.heroZ);
        }
        return w.bytes;
    }
    MessageBytes operator()(const PutBackMsg& m) const {
        Writer w(kMsgPutBack);
        w.U8(4, m.slot);
        w.I32(8, m.x);
        w.I32(12, m.y);
        w.I32(16, m.z);
        w.I32(20, m.lives);
        w.I32(24, m.level);
        return w.bytes;
    }
    MessageBytes operator()(const WorldPieceMsg& m) const {
        Writer w(kMsgWorldPiece);
        w.I32(4, m.level);
        w.I32(8, m.id);
        w.I32(12, m.total);
        w.I32(16, m.index);
        const std::size_t size = std::min<std::size_t>(m.data.size(), kWorldPieceBytes);
        w.I32(20, static_cast<std::int32_t>(size));
        std::copy_n(m.data.begin(), size, w.bytes.begin() + 24);
        return w.bytes;
    }
    MessageBytes operator()(const WorldAskMsg& m) const {
        Writer w(kMsgWorldAsk);
        w.I32(4, m.level);
        w.I32(8, m.id);
        w.I32(12, m.index);
        return w.bytes;
    }
    MessageBytes operator()(const WorldCheckMsg& m) const {
        Writer w(kMsgWorldCheck);
        w.I32(4, m.level);
        w.I32(8, static_cast<std::int32_t>(m.cells));
        return w.bytes;
    }
    MessageBytes operator()(const PingMsg&) const { return Writer(kMsgPing).bytes; }
    MessageBytes operator()(const PingAnswerMsg&) const { return Writer(kMsgPingAnswer).bytes; }
    MessageBytes operator()(const SentryStepMsg&) const { return Writer(kMsgSentryStep).bytes; }
    MessageBytes operator()(const SentryPositionMsg& m) const {
        Writer w(kMsgSentryPosition);
        w.I32(4, m.number);
        w.I32(8, m.x);
        w.I32(12, m.y);
        w.I32(16, m.z);
        w.I32(20, m.heading);
        return w.bytes;
    }
    MessageBytes operator()(const StartLevelMsg& m) const {
        Writer w(kMsgStartLevel);
        w.I32(4, m.level);
        return w.bytes;
    }
    MessageBytes operator()(const LevelTimerMsg& m) const {
        Writer w(kMsgLevelTimer);
        w.I32(4, m.timeLeftMs);
        return w.bytes;
    }
    MessageBytes operator()(const BackToTitleMsg& m) const {
        Writer w(kMsgBackToTitle);
        w.I32(4, m.ending);
        return w.bytes;
    }
};

DecodeResult Refuse(std::string why) { return DecodeResult{std::nullopt, std::move(why)}; }

bool SlotInPlay(std::int32_t slot, const MessageLimits& limits) { return slot >= 0 && slot <= limits.lastPlayer; }

bool CellInGrid(std::int32_t x, std::int32_t y, std::int32_t z, const MessageLimits& l) {
    return x >= 0 && y >= 0 && z >= 0 && x < l.sizeX && y < l.sizeY && z < l.sizeZ;
}

}  // namespace

std::int32_t MessageTypeOf(const GameMessage& message) {
    return static_cast<std::int32_t>(message.index()) + kMsgStart;
}

MessageBytes EncodeMessage(const GameMessage& message) { return std::visit(Encoder{}, message); }

DecodeResult DecodeMessage(std::span<const std::uint8_t> b, const MessageLimits& limits) {
    if (b.size() != kGameMessageSize) return Refuse("message of " + std::to_string(b.size()) + " bytes");
    const std::int32_t type = I32(b, 0);
    switch (type) {
        case kMsgStart: {
            StartMsg m;
            m.slot = b[4];
            m.lastPlayer = b[5];
            m.intervalMs = I32(b, 8);
            for (std::size_t i = 0; i < m.slotIds.size(); ++i) m.slotIds[i] = I32(b, 12 + 4 * i);
            m.level = I32(b, 28);
            m.lives = I32(b, 32);
            if (m.level < -1 || m.level >= limits.levelCount) return Refuse("start: level outside the list");
            if (m.lives < -1 || m.lives > kMostLives) return Refuse("start: bad lives");
            if (m.lastPlayer < 1 || m.lastPlayer >= kMaxPlayers) return Refuse("start: bad player count");
            if (m.slot < 1 || m.slot > m.lastPlayer) return Refuse("start: bad slot");
            if (m.intervalMs < 1 || m.intervalMs > kMaxIntervalMs) return Refuse("start: bad interval");
            return DecodeResult{m, {}};
        }
        case kMsgPlayerState: {
            PlayerStateMsg m;
            m.slot = b[4];
            std::int32_t* fields[] = {&m.x,        &m.y,         &m.z,          &m.heading,
                                      &m.velX,     &m.velY,      &m.velZ,       &m.turnRate,
                                      &m.animState, &m.blendTime, &m.levelIndex, &m.lives};
            for (std::size_t i = 0; i < std::size(fields); ++i) *fields[i] = I32(b, 8 + 4 * i);
            if (!SlotInPlay(m.slot, limits)) return Refuse("state: slot " + std::to_string(m.slot) + " not in play");
            if (m.levelIndex < -1 || m.levelIndex >= limits.levelCount) return Refuse("state: bad level");
            return DecodeResult{m, {}};
        }
        case kMsgCellEvent: {
            CellEventMsg m;
            m.slot = b[4];
            m.code = b[5];
            m.x = I32(b, 8);
            m.y = I32(b, 12);
            m.z = I32(b, 16);
            m.value = I32(b, 20);
            m.level = I32(b, 24);
            m.hasPosition = I32(b, 28) == 1;
            if (m.hasPosition) {
                m.heroX = I32(b, 32);
                m.heroY = I32(b, 36);
                m.heroZ = I32(b, 40);
            }
            if (m.level < 0 || m.level >= limits.levelCount) return Refuse("event: level outside the list");
            if (!SlotInPlay(m.slot, limits)) return Refuse("event: slot " + std::to_string(m.slot) + " not in play");
            if (m.code < kFirstCellEvent || m.code > kLastCellEvent) return Refuse("event: unknown code");
            if (!CellInGrid(m.x, m.y, m.z, limits)) return Refuse("event: cell outside the grid");
            if (m.code >= kFirstPickupEvent && (m.value < 0 || m.value > kObjectLimit))
                return Refuse("event: object outside 0..256");
            return DecodeResult{m, {}};
        }
        case kMsgPing: return DecodeResult{PingMsg{}, {}};
        case kMsgPingAnswer: return DecodeResult{PingAnswerMsg{}, {}};
        case kMsgSentryStep: return DecodeResult{SentryStepMsg{}, {}};
        case kMsgSentryPosition: {
            SentryPositionMsg m;
            m.number = I32(b, 4);
            m.x = I32(b, 8);
            m.y = I32(b, 12);
            m.z = I32(b, 16);
            m.heading = I32(b, 20);
            if (m.number < 1 || m.number > limits.sentryCount) return Refuse("sentry: number outside the list");
            return DecodeResult{m, {}};
        }
        case kMsgStartLevel: {
            StartLevelMsg m{I32(b, 4)};
            if (m.level < 0 || m.level >= limits.levelCount) return Refuse("start level: index outside the list");
            return DecodeResult{m, {}};
        }
        case kMsgLevelTimer: return DecodeResult{LevelTimerMsg{I32(b, 4)}, {}};
        case kMsgBackToTitle: {
            BackToTitleMsg m{I32(b, 4)};
            if (m.ending < kEndToTitle || m.ending > kEndCredits) return Refuse("back to title: unknown ending");
            return DecodeResult{m, {}};
        }
        case kMsgPutBack: {
            PutBackMsg m;
            m.slot = b[4];
            m.x = I32(b, 8);
            m.y = I32(b, 12);
            m.z = I32(b, 16);
            m.lives = I32(b, 20);
            m.level = I32(b, 24);
            if (!SlotInPlay(m.slot, limits)) return Refuse("put back: slot not in play");
            if (m.level < -1 || m.level >= limits.levelCount) return Refuse("put back: bad level");
            if (m.lives < -1 || m.lives > kMostLives) return Refuse("put back: bad lives");
            return DecodeResult{m, {}};
        }
        case kMsgWorldPiece: {
            WorldPieceMsg m;
            m.level = I32(b, 4);
            m.id = I32(b, 8);
            m.total = I32(b, 12);
            m.index = I32(b, 16);
            const std::int32_t size = I32(b, 20);
            if (m.level < 0 || m.level >= limits.levelCount) return Refuse("level piece: level outside the list");
            if (m.total < 1 || m.total > kMaxWorldBytes) return Refuse("level piece: bad total size");
            if (m.index < 0 || m.index >= m.Count()) return Refuse("level piece: index outside the set");
            const std::int32_t expected = std::min(kWorldPieceBytes, m.total - m.index * kWorldPieceBytes);
            if (size != expected) return Refuse("level piece: size does not fit the set");
            m.data.assign(b.begin() + 24, b.begin() + 24 + size);
            return DecodeResult{std::move(m), {}};
        }
        case kMsgWorldAsk: {
            WorldAskMsg m{I32(b, 4), I32(b, 8), I32(b, 12)};
            if (m.level < 0 || m.level >= limits.levelCount) return Refuse("level ask: level outside the list");
            if (m.index < -1 || m.index >= kMaxWorldPieces) return Refuse("level ask: index outside any set");
            return DecodeResult{m, {}};
        }
        case kMsgWorldCheck: {
            WorldCheckMsg m{I32(b, 4), static_cast<std::uint32_t>(I32(b, 8))};
            if (m.level < 0 || m.level >= limits.levelCount) return Refuse("level check: level outside the list");
            return DecodeResult{m, {}};
        }
        default: return Refuse("unknown message type " + std::to_string(type));
    }
}

}  // namespace zq
