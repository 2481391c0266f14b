// The whole state of a running level as bytes, and back: the World's cells
// and run-time tables, the Actors, the random generator, the rules' clock and
// the shell's play-screen state.  A snapshot restored over the same level,
// then played on with the same input, gives the same game byte for byte.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/bytes.h"

namespace zq {

struct Game;

inline constexpr std::uint32_t kSnapshotVersion = 3;
// Larger than the snapshot of the largest grid (64 M cells in four planes
// plus the tables); a file past it is refused before it is read.
inline constexpr std::uint64_t kMaxSnapshotBytes = 1ull << 30;

// The game's state now.  `clockTicks` is the clock value of the frame just
// run, from which the restored run goes on counting.
Bytes SaveSnapshot(const Game& game, std::uint32_t clockTicks);

struct SnapshotRestore {
    bool ok = false;
    std::string why;              // one line, when refused
    std::uint32_t clockTicks = 0; // the clock of the frame the snapshot was taken after
};

// Puts a snapshot back over the level the game is playing now, which must be
// the level it was taken in (same file name and size).  A snapshot of
// another version, another level or with damaged bytes is refused with a
// reason and the game is left as it was.
SnapshotRestore RestoreSnapshot(Game& game, const Bytes& bytes);

// Puts back only the level's state from a snapshot taken on another machine
// in the same level (same file and size): the World, with its time stamps
// moved onto this game's clock as if it was taken `ageMs` ago (holes refill,
// blocks slide and doors swing on from where they were).  The players, the
// screen and the clocks stay this machine's own.  A damaged snapshot or one
// of another level is refused with a reason and the game is left as it was.
SnapshotRestore RestoreLevelState(Game& game, const Bytes& bytes, std::int32_t ageMs);

// What the players change in the running level (cells, holes, moving
// blocks, doors and levers, markers, counters), without the time stamps and
// animation frames each machine keeps on its own clock and without the
// sentries: two machines that play one level in step give equal bytes.
Bytes LevelStateBytes(const Game& game);

// The level file a snapshot was taken in, or nothing when the bytes are no
// snapshot of this version.
std::optional<std::string> SnapshotLevel(const Bytes& bytes);

// The fields of a snapshot unpacked (nothing when it is damaged or of
// another version), and a snapshot made around such fields: for tools that
// compare snapshots or build altered ones (the fuzz target).
std::optional<Bytes> SnapshotPayload(const Bytes& bytes);
Bytes SnapshotFromPayload(const Bytes& payload);

// The same fields kept in memory, for a search that branches from many states
// of one running level (the level checker): no header, checksum or checks,
// and the World is written over in place instead of through a staged copy.
// A state goes back only into the game that it was taken from, in the same
// level; `rebuildMeshes` false leaves the drawn meshes of animations stale
// (for a game that never draws).
//
// `base`, when given, is the unpacked fields of another state of the same
// game (GameStateFields): the state is then kept as its difference from
// them, which packs to a fraction of the whole where most of the level is
// as it was, and must be restored with the same base.
//
// A state that is restored many times soon after it is taken (the checker's
// walk ends and the state it searches from) is better kept `unpacked`: its
// fields as they are, whole, so neither keeping nor restoring it packs,
// unpacks or differences anything; it costs the whole size (about 20 KB).
struct GameState {
    Bytes packed;  // the fields, packed, or as they are when `unpacked`
    std::size_t payloadSize = 0;
    std::uint32_t clockTicks = 0;
    bool unpacked = false;
};
GameState SaveGameState(const Game& game, std::uint32_t clockTicks, const Bytes* base = nullptr);
// Kept unpacked in `into`, whose room is used again.
void SaveGameStateUnpacked(const Game& game, std::uint32_t clockTicks, GameState& into);
// A kept state (packed with or without `base`) as an unpacked one in `into`.
void UnpackGameState(const GameState& state, const Bytes* base, GameState& into);
void RestoreGameState(Game& game, const GameState& state, bool rebuildMeshes, const Bytes* base = nullptr);
// The fields of a state kept whole (without a base), unpacked.
Bytes GameStateFields(const GameState& state);

}  // namespace zq
