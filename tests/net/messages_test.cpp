// Game messages: every field at its offset, the round trip, and the refusals.
#include "net/messages.h"

#include <gtest/gtest.h>

#include <vector>

namespace zq {
namespace {

std::int32_t At(const MessageBytes& b, std::size_t at) {
    return static_cast<std::int32_t>(b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
                                     (static_cast<std::uint32_t>(b[at + 3]) << 24));
}

MessageLimits Limits() {
    MessageLimits l;
    l.lastPlayer = 2;
    l.sentryCount = 3;
    l.levelCount = 5;
    l.sizeX = 10;
    l.sizeY = 4;
    l.sizeZ = 6;
    return l;
}

GameMessage RoundTrip(const GameMessage& m) {
    MessageBytes b = EncodeMessage(m);
    DecodeResult r = DecodeMessage(b, Limits());
    EXPECT_TRUE(r.message) << r.why;
    return r.message.value_or(PingMsg{});
}

TEST(NetMessages, PlayerStateFieldsSitAtTheirOffsets) {
    PlayerStateMsg m{2, -1000, 2000, 70000, 32767, -5, 6, -7, 900, 10, 250, 4, -1};
    MessageBytes b = EncodeMessage(m);
    EXPECT_EQ(At(b, 0), 11);
    EXPECT_EQ(b[4], 2);
    const std::int32_t want[] = {-1000, 2000, 70000, 32767, -5, 6, -7, 900, 10, 250, 4, -1};
    for (std::size_t i = 0; i < std::size(want); ++i) EXPECT_EQ(At(b, 8 + 4 * i), want[i]) << "field " << i;
    for (std::size_t i = 56; i < kGameMessageSize; ++i) ASSERT_EQ(b[i], 0) << "byte " << i;
    auto back = std::get<PlayerStateMsg>(RoundTrip(m));
    EXPECT_EQ(back.x, -1000);
    EXPECT_EQ(back.z, 70000);
    EXPECT_EQ(back.turnRate, 900);
    EXPECT_EQ(back.levelIndex, 4);
    EXPECT_EQ(back.lives, -1);
}

TEST(NetMessages, StartCellEventSentryAndLevelMessagesRoundTrip) {
    MessageBytes start = EncodeMessage(StartMsg{2, 3, 105, {7, 8, 9, 10}});
    EXPECT_EQ(At(start, 0), 10);
    EXPECT_EQ(start[4], 2);
    EXPECT_EQ(start[5], 3);
    EXPECT_EQ(At(start, 8), 105);
    EXPECT_EQ(At(start, 12), 7);
    EXPECT_EQ(At(start, 24), 10);
    auto s = std::get<StartMsg>(RoundTrip(StartMsg{2, 3, 105, {7, 8, 9, 10}}));
    EXPECT_EQ(s.slot, 2);
    EXPECT_EQ(s.lastPlayer, 3);
    EXPECT_EQ(s.intervalMs, 105);
    EXPECT_EQ(s.slotIds[3], 10);

    MessageBytes event = EncodeMessage(CellEventMsg{1, 103, 9, 3, 5, 20});
    EXPECT_EQ(At(event, 0), 12);
    EXPECT_EQ(event[4], 1);
    EXPECT_EQ(event[5], 103);
    EXPECT_EQ(At(event, 8), 9);
    EXPECT_EQ(At(event, 12), 3);
    EXPECT_EQ(At(event, 16), 5);
    EXPECT_EQ(At(event, 20), 20);
    auto e = std::get<CellEventMsg>(RoundTrip(CellEventMsg{1, 101, 0, 0, 0, -16384}));
    EXPECT_EQ(e.code, 101);
    EXPECT_EQ(e.value, -16384);  // a push carries a heading, not an object
    EXPECT_FALSE(e.hasPosition);
    EXPECT_EQ(At(event, 28), 0) << "an older sender's layout";
    // A new sender adds where its hero stood, after the old fields.
    MessageBytes placed = EncodeMessage(CellEventMsg{1, 103, 9, 3, 5, 20, 2, true, 4000, 1700, -300});
    EXPECT_EQ(At(placed, 24), 2);
    EXPECT_EQ(At(placed, 28), 1);
    EXPECT_EQ(At(placed, 32), 4000);
    EXPECT_EQ(At(placed, 40), -300);
    auto p = std::get<CellEventMsg>(RoundTrip(CellEventMsg{1, 103, 9, 3, 5, 20, 2, true, 4000, 1700, -300}));
    EXPECT_TRUE(p.hasPosition);
    EXPECT_EQ(p.heroY, 1700);

    MessageBytes back = EncodeMessage(PutBackMsg{2, 700, 800, -900, 1, 0});
    EXPECT_EQ(At(back, 0), 20);
    EXPECT_EQ(back[4], 2);
    EXPECT_EQ(At(back, 8), 700);
    EXPECT_EQ(At(back, 16), -900);
    EXPECT_EQ(At(back, 20), 1);
    EXPECT_EQ(At(back, 24), 0);
    EXPECT_EQ(std::get<PutBackMsg>(RoundTrip(PutBackMsg{2, 700, 800, -900, 1, 0})).z, -900);

    MessageBytes sentry = EncodeMessage(SentryPositionMsg{3, 100, -200, 300, 16000});
    EXPECT_EQ(At(sentry, 0), 16);
    EXPECT_EQ(At(sentry, 4), 3);
    EXPECT_EQ(At(sentry, 8), 100);
    EXPECT_EQ(At(sentry, 12), -200);
    EXPECT_EQ(At(sentry, 16), 300);
    EXPECT_EQ(At(sentry, 20), 16000);

    EXPECT_EQ(At(EncodeMessage(StartLevelMsg{4}), 4), 4);
    EXPECT_EQ(std::get<StartLevelMsg>(RoundTrip(StartLevelMsg{4})).level, 4);
    EXPECT_EQ(std::get<LevelTimerMsg>(RoundTrip(LevelTimerMsg{-250})).timeLeftMs, -250);
    for (GameMessage bare : {GameMessage{PingMsg{}}, GameMessage{PingAnswerMsg{}}, GameMessage{SentryStepMsg{}},
                             GameMessage{BackToTitleMsg{}}}) {
        MessageBytes b = EncodeMessage(bare);
        EXPECT_EQ(At(b, 0), MessageTypeOf(bare));
        EXPECT_EQ(RoundTrip(bare).index(), bare.index());
    }
}

TEST(NetMessages, ALevelPieceCarriesItsBytesAndItsPlaceInTheSet) {
    std::vector<std::uint8_t> tail(500 - 2 * kWorldPieceBytes);
    for (std::size_t i = 0; i < tail.size(); ++i) tail[i] = static_cast<std::uint8_t>(i * 7);
    const auto piece = std::get<WorldPieceMsg>(RoundTrip(WorldPieceMsg{4, 9, 500, 2, tail}));
    EXPECT_EQ(piece.level, 4);
    EXPECT_EQ(piece.id, 9);
    EXPECT_EQ(piece.Count(), 3);
    EXPECT_EQ(piece.index, 2);
    EXPECT_EQ(piece.data, tail);
    const auto ask = std::get<WorldAskMsg>(RoundTrip(WorldAskMsg{1, 9, 2}));
    EXPECT_EQ(ask.index, 2);
    EXPECT_EQ(std::get<WorldCheckMsg>(RoundTrip(WorldCheckMsg{1, 0xDEADBEEFu})).cells, 0xDEADBEEFu);
}

TEST(NetMessages, BadMessagesAreRefused) {
    struct Case {
        const char* what;
        MessageBytes bytes;
    };
    auto with = [](GameMessage m, std::size_t at, std::uint8_t value) {
        MessageBytes b = EncodeMessage(m);
        b[at] = value;
        return b;
    };
    std::vector<Case> cases = {
        {"slot beyond the last player", EncodeMessage(PlayerStateMsg{3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3})},
        {"level beyond the list", EncodeMessage(PlayerStateMsg{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 3})},
        {"level below -1", EncodeMessage(PlayerStateMsg{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, -2, 3})},
        {"event from a slot not in play", EncodeMessage(CellEventMsg{3, 103, 1, 1, 1, 20})},
        {"event code below 100", EncodeMessage(CellEventMsg{1, 99, 1, 1, 1, 20})},
        {"event code above 106", EncodeMessage(CellEventMsg{1, 107, 1, 1, 1, 20})},
        {"cell past the grid", EncodeMessage(CellEventMsg{1, 100, 10, 1, 1, 10000})},
        {"negative cell", EncodeMessage(CellEventMsg{1, 102, 1, -1, 1, 0})},
        {"object above 256", EncodeMessage(CellEventMsg{1, 103, 1, 1, 1, 257})},
        {"negative object", EncodeMessage(CellEventMsg{1, 106, 1, 1, 1, -1})},
        {"sentry 0", EncodeMessage(SentryPositionMsg{0, 0, 0, 0, 0})},
        {"sentry past the list", EncodeMessage(SentryPositionMsg{4, 0, 0, 0, 0})},
        {"level start past the list", EncodeMessage(StartLevelMsg{5})},
        {"negative level start", EncodeMessage(StartLevelMsg{-1})},
        {"start for slot 0", EncodeMessage(StartMsg{0, 1, 100, {}})},
        {"start slot above its count", EncodeMessage(StartMsg{3, 2, 100, {}})},
        {"start for a fifth player", EncodeMessage(StartMsg{1, 4, 100, {}})},
        {"start with no interval", EncodeMessage(StartMsg{1, 1, 0, {}})},
        {"type 3 (a join, not a game message)", with(PingMsg{}, 0, 3)},
        {"type 24", with(PingMsg{}, 0, 24)},
        // Pieces of a level's state: the set's size and every index are checked before use.
        {"piece past its set", EncodeMessage(WorldPieceMsg{0, 1, 500, 3, std::vector<std::uint8_t>(36, 1)})},
        {"piece at a negative index", EncodeMessage(WorldPieceMsg{0, 1, 500, -1, std::vector<std::uint8_t>(232, 1)})},
        {"piece longer than the set leaves it", with(WorldPieceMsg{0, 1, 500, 2, std::vector<std::uint8_t>(36, 1)}, 20, 37)},
        {"piece claiming more than a message holds",
         with(WorldPieceMsg{0, 1, 5000, 0, std::vector<std::uint8_t>(232, 1)}, 20, 255)},
        {"set larger than any level's state", with(WorldPieceMsg{0, 1, 500, 0, std::vector<std::uint8_t>(232, 1)}, 15, 1)},
        {"empty set", EncodeMessage(WorldPieceMsg{0, 1, 0, 0, {}})},
        {"piece of a level past the list", EncodeMessage(WorldPieceMsg{5, 1, 10, 0, std::vector<std::uint8_t>(10, 1)})},
        {"ask for a piece past any set", EncodeMessage(WorldAskMsg{0, 1, kMaxWorldPieces})},
        {"check of a level past the list", EncodeMessage(WorldCheckMsg{7, 1})},
    };
    for (const Case& c : cases) EXPECT_FALSE(DecodeMessage(c.bytes, Limits()).message) << c.what;

    MessageBytes good = EncodeMessage(PingMsg{});
    EXPECT_FALSE(DecodeMessage(std::span(good.data(), 259), Limits()).message) << "short";
    std::vector<std::uint8_t> longer(good.begin(), good.end());
    longer.push_back(0);
    EXPECT_FALSE(DecodeMessage(longer, Limits()).message) << "long";
    EXPECT_FALSE(DecodeMessage({}, Limits()).message) << "empty";
}

}  // namespace
}  // namespace zq
