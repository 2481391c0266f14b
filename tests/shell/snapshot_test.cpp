// Snapshots of a running level: every campaign replay, cut at three points
// and resumed from the saved state, ends in the same state as the unbroken
// run; damaged, foreign and mismatched snapshots are refused and change
// nothing; the headless game writes and reads them from the command line.
#include "shell/snapshot.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <map>

#include "core/file_io.h"
#include "core/text.h"
#include "shell/game.h"
#include "shell/input_script.h"
#include "level_run.h"
#include "test_util.h"

namespace zq {
namespace {

namespace fs = std::filesystem;

const fs::path kData = fs::path(ZQ_BUILD_DIR) / "data";
const fs::path kReplays = fs::path(ZQ_SOURCE_DIR) / "content" / "replays";

std::string GameSoft() { return (fs::path(ZQ_BUILD_DIR) / "game_soft").string(); }

InputScript ReadScript(const fs::path& path) {
    auto bytes = ReadFileBytes(path, kMaxInputScriptBytes);
    if (!bytes) return {};
    return ParseInputScript(std::string(bytes->begin(), bytes->end()));
}

// The script without its first `frames` frames: what a run resumed after
// frame `frames` still has to play.
InputScript DropFrames(InputScript script, std::int64_t frames) {
    InputScript rest;
    for (ScriptLine line : script.lines) {
        const std::int64_t drop = std::min<std::int64_t>(frames, line.count);
        frames -= drop;
        line.count -= static_cast<std::int32_t>(drop);
        if (line.count > 0) rest.lines.push_back(line);
    }
    return rest;
}

std::string ScriptText(const InputScript& script) {
    std::string out;
    for (const ScriptLine& l : script.lines) {
        out += std::to_string(l.count) + "x " + std::to_string(l.frameMs) + " " + FormatScriptKeys(l.keys);
        if (l.mouseDX != 0 || l.mouseDY != 0) out += " mouse " + std::to_string(l.mouseDX) + " " + std::to_string(l.mouseDY);
        out += "\n";
    }
    return out;
}

// One level played from a script that also saves and restores its whole
// state, the frame clock with it.
class ScriptedRun : public test::LevelRun {
public:
    ScriptedRun(const std::string& level, InputScript script, bool draw = false)
        : LevelRun(kData, level, std::move(script), draw) {}
    SnapshotRestore Restore(const Bytes& bytes) {
        SnapshotRestore r = RestoreSnapshot(game(), bytes);
        if (r.ok) SetTicks(r.clockTicks);
        return r;
    }
    Bytes Save() const { return SaveSnapshot(game(), ticks()); }
};

std::vector<std::string> CampaignReplays() {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(kReplays, ec))
        if (entry.is_regular_file() && entry.path().extension() == ".txt") names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class SnapshotResume : public testing::TestWithParam<std::string> {};

// Cut at frames 100, 500 and 1000 (those the level is still played at),
// restored into a fresh game over a fresh load of the level and played on:
// the end is the unbroken run's, byte for byte.
TEST_P(SnapshotResume, ReplayEndsAsTheUnbrokenRun) {
    const fs::path replay = kReplays / GetParam();
    const std::string level = "LEVEL/" + ToUpper(replay.stem().string()) + ".LEV";
    const InputScript script = ReadScript(replay);
    ASSERT_FALSE(script.lines.empty());

    std::map<std::int64_t, Bytes> cuts;
    ScriptedRun whole(level, script);
    std::int64_t frame = 0;
    while (whole.Frame()) {
        ++frame;
        if ((frame == 100 || frame == 500 || frame == 1000) && whole.game().shell.screen == kScreenPlay)
            cuts[frame] = whole.Save();
    }
    const Bytes end = whole.Save();
    ASSERT_FALSE(cuts.empty()) << "the replay is shorter than 100 frames";

    for (const auto& [at, bytes] : cuts) {
        SCOPED_TRACE("resumed after frame " + std::to_string(at));
        ScriptedRun resumed(level, DropFrames(script, at));
        const SnapshotRestore restored = resumed.Restore(bytes);
        ASSERT_TRUE(restored.ok) << restored.why;
        EXPECT_EQ(resumed.Save(), bytes);  // saved again at once: the same bytes
        while (resumed.Frame()) {
        }
        EXPECT_TRUE(resumed.Save() == end) << "the resumed run ended elsewhere";
        EXPECT_EQ(resumed.game().actors.Local().levelIndex, whole.game().actors.Local().levelIndex);
    }
}

INSTANTIATE_TEST_SUITE_P(Campaign, SnapshotResume, testing::ValuesIn(CampaignReplays()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             std::string name;
                             for (char c : fs::path(info.param).stem().string())
                                 name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

// Drawing only reads: a level with levers, doors, sentries and a cinematic
// played with every frame drawn ends in the very state of the same play
// without drawing.
TEST(Snapshot, DrawingChangesNothing) {
    const fs::path replay = kReplays / "13_the_vault.txt";
    ASSERT_TRUE(fs::exists(replay));
    const InputScript script = ReadScript(replay);
    ScriptedRun drawn("LEVEL/13_THE_VAULT.LEV", script, true), bare("LEVEL/13_THE_VAULT.LEV", script, false);
    std::int64_t frame = 0;
    while (drawn.Frame()) {
        ASSERT_TRUE(bare.Frame());
        if (++frame % 500 == 0) {
            ASSERT_TRUE(drawn.Save() == bare.Save()) << "apart at frame " << frame;
        }
    }
    EXPECT_TRUE(drawn.Save() == bare.Save());
    EXPECT_EQ(drawn.game().actors.Local().levelIndex, 1);  // the vault was finished
}

// A state kept in memory as its difference from an earlier one (as the
// level checker keeps thousands) is a small part of the whole, and put back
// with that base after the game has played on it gives the game it was,
// byte for byte; so does the same state kept unpacked.
TEST(Snapshot, StatesKeptAsDifferencesComeBackWhole) {
    const fs::path replay = kReplays / "13_the_vault.txt";
    ASSERT_TRUE(fs::exists(replay));
    ScriptedRun run("LEVEL/13_THE_VAULT.LEV", ReadScript(replay));
    for (int i = 0; i < 100; ++i) ASSERT_TRUE(run.Frame());
    const Bytes base = GameStateFields(SaveGameState(run.game(), run.ticks()));
    for (int i = 0; i < 900; ++i) ASSERT_TRUE(run.Frame());
    const GameState kept = SaveGameState(run.game(), run.ticks(), &base);
    const GameState whole = SaveGameState(run.game(), run.ticks());
    const Bytes then = run.Save();
    EXPECT_LT(kept.packed.size() * 4, whole.packed.size());
    while (run.Frame()) {
    }
    ASSERT_FALSE(run.Save() == then);
    RestoreGameState(run.game(), kept, false, &base);
    EXPECT_TRUE(SaveSnapshot(run.game(), kept.clockTicks) == then);
    // The cells changed back, so must the index of them that the rules read.
    const std::vector<std::int32_t> indexed = run.game().world->slabTypeCounts;
    IndexCells(*run.game().world);
    EXPECT_EQ(indexed, run.game().world->slabTypeCounts);
    // Kept whole, the same state comes back without a base.
    run.Frame();
    RestoreGameState(run.game(), whole, false);
    EXPECT_TRUE(SaveSnapshot(run.game(), whole.clockTicks) == then);
    // Unpacked (from the difference, or saved so), it comes back the same.
    GameState fromKept, saved;
    UnpackGameState(kept, &base, fromKept);
    SaveGameStateUnpacked(run.game(), whole.clockTicks, saved);
    for (const GameState& unpacked : {fromKept, saved}) {
        run.Frame();
        RestoreGameState(run.game(), unpacked, false);
        EXPECT_TRUE(SaveSnapshot(run.game(), unpacked.clockTicks) == then);
    }
}

// What must never be restored: a damaged snapshot, another version, another
// level, a count out of range.  Each is refused with its reason, and the game
// goes on as it was.
TEST(Snapshot, RefusesWhatIsNotItsOwnAndChangesNothing) {
    const std::string first = "LEVEL/" + ToUpper(fs::path(CampaignReplays().front()).stem().string()) + ".LEV";
    const std::string second = "LEVEL/" + ToUpper(fs::path(CampaignReplays().back()).stem().string()) + ".LEV";
    ScriptedRun run(first, ReadScript(kReplays / CampaignReplays().front()));
    for (int i = 0; i < 200; ++i) run.Frame();
    const Bytes good = run.Save();
    // Small: the first levels are 32 x 10 x 32 or so.
    EXPECT_LT(good.size(), 64u * 1024u);

    ScriptedRun other(second, {});
    const Bytes before = other.Save();
    auto refused = [&](const Bytes& bytes, const std::string& reason) {
        const SnapshotRestore r = other.Restore(bytes);
        EXPECT_FALSE(r.ok) << reason;
        EXPECT_NE(r.why.find(reason), std::string::npos) << r.why;
        EXPECT_TRUE(other.Save() == before) << reason;
    };
    refused(good, "was taken in");  // another level

    ScriptedRun same(first, {});
    Bytes bytes = good;
    bytes[8] = 99;  // the version
    EXPECT_NE(same.Restore(bytes).why.find("another version"), std::string::npos);
    bytes = good;
    bytes[bytes.size() / 2] ^= 0x5a;
    EXPECT_NE(same.Restore(bytes).why.find("damaged"), std::string::npos);
    bytes.assign(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() - 3));
    EXPECT_FALSE(same.Restore(bytes).ok);
    EXPECT_FALSE(same.Restore(Bytes{}).ok);
    EXPECT_FALSE(same.Restore(Bytes(100, 0xff)).ok);
    ASSERT_TRUE(same.Restore(good).ok);
    EXPECT_EQ(same.Save(), good);
    EXPECT_EQ(SnapshotLevel(good), first);
}

// The headless game writes a snapshot after frame N and starts from it: the
// rest of the replay, played from there, ends where the whole replay ends.
TEST(Snapshot, HeadlessRunsWriteAndResumeFromTheCommandLine) {
    test::TempDir dir;
    const std::string name = CampaignReplays().front();
    const fs::path replay = kReplays / name;
    const std::string level = "LEVEL/" + ToUpper(fs::path(name).stem().string()) + ".LEV";
    const InputScript script = ReadScript(replay);
    const fs::path rest = dir.Write("rest.txt", ScriptText(DropFrames(script, 300)));
    const std::string game = "SDL_AUDIODRIVER=dummy " + GameSoft() + " --data " + kData.string() +
                             " --headless --level " + level;
    test::ToolRun whole = test::RunShell(game + " --input " + replay.string() + " --snapshot-out cut.snap --snapshot-frame 300"
                                                " --dump-state whole.json",
                                         dir);
    ASSERT_EQ(whole.exitCode, 0) << whole.err;
    test::ToolRun resumed =
        test::RunShell(game + " --input " + rest.string() + " --snapshot-in cut.snap --dump-state resumed.json", dir);
    ASSERT_EQ(resumed.exitCode, 0) << resumed.err;
    nlohmann::json a = nlohmann::json::parse(test::ReadText(dir / "whole.json"));
    nlohmann::json b = nlohmann::json::parse(test::ReadText(dir / "resumed.json"));
    a.erase("frames");
    b.erase("frames");
    EXPECT_EQ(a, b);

    // Another level's snapshot, and a cut after the run's end, are named.
    test::ToolRun wrong = test::RunShell(GameSoft() + " --data " + kData.string() +
                                             " --headless --start-level 3 --frames 5 --snapshot-in cut.snap",
                                         dir);
    EXPECT_EQ(wrong.exitCode, 1);
    EXPECT_NE(wrong.err.find("refused"), std::string::npos) << wrong.err;
    test::ToolRun late = test::RunShell(game + " --frames 5 --snapshot-out late.snap --snapshot-frame 9", dir);
    EXPECT_EQ(late.exitCode, 1);
    EXPECT_NE(late.err.find("snapshot not written"), std::string::npos) << late.err;
}

}  // namespace
}  // namespace zq
