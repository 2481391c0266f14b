// Snapshots from an untrusted file, restored over the first level of the
// default data folder.  A refused snapshot leaves the game exactly as it was
// (its own snapshot unchanged); an accepted one plays frames without harm and
// saves again.
//
// An input's first byte chooses how the rest is used:
//   even  the rest is a snapshot file as it is (header, packing, checksum)
//   odd   the rest is a list of edits to the fields of a real snapshot taken
//         after 120 frames of play: each edit is a 3-byte offset (little
//         endian, taken modulo the fields' size) and the byte written there;
//         the fields are then wrapped into a snapshot with a good checksum,
//         so the edits reach every field check behind it.
#include <memory>

#include "fuzz_util.h"
#include "held_keys.h"
#include "shell/game.h"
#include "shell/snapshot.h"
#include "test_game.h"

namespace {

using namespace zq;

struct Played {
    Played() {
        dir = fuzz::ScratchFolder() / "start";
        std::filesystem::create_directories(dir);
        GameConfig config = test::HeadlessConfig(ZQ_FUZZ_DATA_DIR, dir);
        config.singleLevel = "LEVEL/01_FIRST_STEPS.LEV";
        config.drawFrames = false;
        game = std::make_unique<Game>(config, keys, audio, host);
        InitGame(*game);
        ResetFrameClock(game->shell, 0);
        game->actors.Local().levelIndex = 0;
        StartLevel(*game, 0);
        keys.down[static_cast<std::size_t>(Key::Up)] = true;
        for (int i = 0; i < 120; ++i) GameFrame(*game, ticks += 30);
        keys.down.fill(false);
        good = SaveSnapshot(*game, ticks);
        fields = *SnapshotPayload(good);
    }
    std::filesystem::path dir;
    test::HeldKeys keys;
    SilentAudio audio;
    test::RecordingHost host;
    std::unique_ptr<Game> game;
    std::uint32_t ticks = 0;
    Bytes good, fields;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Played played;
    if (size == 0) return 0;
    Bytes snapshot;
    if ((data[0] & 1) == 0) {
        snapshot.assign(data + 1, data + size);
    } else {
        Bytes fields = played.fields;
        for (std::size_t i = 1; i + 4 <= size && !fields.empty(); i += 4) {
            const std::size_t at = (data[i] | (data[i + 1] << 8) | (data[i + 2] << 16)) % fields.size();
            fields[at] = data[i + 3];
        }
        snapshot = SnapshotFromPayload(fields);
    }
    Game& game = *played.game;
    const SnapshotRestore restored = RestoreSnapshot(game, snapshot);
    if (!restored.ok) {
        fuzz::Check(SaveSnapshot(game, played.ticks) == played.good, "a refused snapshot leaves the game as it was");
        return 0;
    }
    std::uint32_t ticks = restored.clockTicks;
    for (int i = 0; i < 10; ++i) GameFrame(game, ticks += 30);
    fuzz::Check(!SaveSnapshot(game, ticks).empty(), "an accepted snapshot plays and saves again");
    if (!RestoreSnapshot(game, played.good).ok) {
        // The frames left the level (a fade to the title): load it again first.
        game.actors.Local().levelIndex = 0;
        StartLevel(game, 0);
        fuzz::Check(RestoreSnapshot(game, played.good).ok, "the good snapshot goes back");
    }
    return 0;
}
