// The level source compiler, driven through the generator: a small source
// becomes the level file the game reads, and a faulty one is refused with a
// message naming the file and line instead of producing a broken level.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/file_io.h"
#include "core/random.h"
#include "core/resolver.h"
#include "test_util.h"
#include "world/level_file.h"

namespace zq {
namespace {

namespace fs = std::filesystem;

const fs::path kGenerator = fs::path(ZQ_BUILD_DIR) / "zqgen";

// A scratch folder with one level source; removed again on destruction.
struct SourceFolder {
    test::TempDir root;
    fs::path levels = root / "levels";
    fs::path out = root / "out";

    SourceFolder() { fs::create_directories(levels); }

    void Add(const std::string& name, const std::string& text) { std::ofstream(levels / name, std::ios::binary) << text; }

    // Runs the generator; returns its exit status and keeps its output.
    int Generate(std::string* output) {
        const test::ToolRun run = test::RunShell(
            kGenerator.string() + " --out " + out.string() + " --levels " + levels.string() + " --levels-only 2>&1", root);
        *output = run.out;
        return run.exitCode;
    }
};

// A 6 x 3 x 5 room: floor, walls, start, exit, an ingot, a door, a torch.
std::string Room(const std::string& extra = "", const std::string& layer1Middle = "#.Sg.#") {
    return "; a test room\n"
           "description = TEST ROOM\n"
           "author = TESTER\n"
           "size = 6 3 5\n"
           "heading = 8192\n"
           "fog = 10 20 30\n"
           "light = 100\n"
           "seed = 77\n"
           "music = 3\n"
           "\n"
           "layer 0:\n"
           "======\n"
           "======\n"
           "======\n"
           "======\n"
           "======\n"
           "\n"
           "layer 1:\n"
           "######\n"
           "#.X.D#\n" +
           layer1Middle + "\n"
           "#i...#\n"
           "######\n"
           "\n" +
           extra;
}

std::unique_ptr<World> LoadCompiled(const SourceFolder& folder, const std::string& name) {
    auto world = std::make_unique<World>();
    DataResolver data(folder.out);
    Random random;
    LevelLoadContext context{data, random, 0, {}};
    LoadLevelFile(*world, context, "LEVEL/" + name, "High");
    return world;
}

TEST(LevelSource, RoomCompilesToTheLevelTheGameReads) {
    SourceFolder folder;
    folder.Add("01_room.lvl", Room("sentry 3 2 1 100\nclip 1 1 1 5\nevent 3 1 2 0\nscript:\n[Behaviour 0]\nName=Drop\n0=MAKEFALL (0,-1,0),(0,-1,0)\n"));
    std::string log;
    ASSERT_EQ(folder.Generate(&log), 0) << log;
    auto w = LoadCompiled(folder, "01_ROOM.LEV");
    EXPECT_EQ(w->sizeX, 6);
    EXPECT_EQ(w->sizeY, 3);
    EXPECT_EQ(w->sizeZ, 5);
    // The first map row is the north edge: row 3 of "layer 1" is z = 2.
    EXPECT_EQ(w->startX, 2);
    EXPECT_EQ(w->startY, 1);
    EXPECT_EQ(w->startZ, 2);
    EXPECT_EQ(w->exitX, 2);
    EXPECT_EQ(w->exitZ, 3);
    EXPECT_EQ(w->startHeading, 8192);
    EXPECT_EQ(GetCell(*w, 3, 1, 2), 20);  // the ingot
    EXPECT_EQ(GetCell(*w, 4, 1, 3), 21);  // its door
    EXPECT_EQ(GetCell(*w, 0, 1, 0), 2);   // a wall
    EXPECT_EQ(GetCell(*w, 3, 0, 3), 1);   // the floor
    EXPECT_EQ(GetCell(*w, 2, 2, 2), 0);   // no layer 2 map: empty
    EXPECT_EQ(w->description, "TEST ROOM");
    EXPECT_EQ(w->author, "TESTER");
    EXPECT_EQ(w->fogRed, 10);
    EXPECT_EQ(w->fogBlue, 30);
    EXPECT_EQ(w->randomSeed, 77);

    // Light: the base everywhere, brighter next to the torch in the south-west corner.
    EXPECT_EQ(GetLight(*w, 4, 2, 4), 100 + 90 * 1 / 4);
    EXPECT_GT(GetLight(*w, 1, 1, 1), 150);

    // The music clip sits on the start cell, then the clip marker of the source.
    EXPECT_EQ(w->clipMarkers[0].x, 2);
    EXPECT_EQ(w->clipMarkers[0].z, 2);
    EXPECT_EQ(w->clipMarkers[0].clip, 3);
    EXPECT_EQ(w->clipMarkers[1].clip, 5);
    EXPECT_EQ(w->clipMarkers[2].x, kFreeMarker);

    ASSERT_EQ(w->sentryCount, 1);
    EXPECT_FLOAT_EQ(w->sentries[0].x, 3 * 512 + 256);
    EXPECT_FLOAT_EQ(w->sentries[0].y, 2 * 512 + 256);
    EXPECT_FLOAT_EQ(w->sentries[0].heading, 100);

    // The script is copied beside the level and parsed with it.
    EXPECT_EQ(w->eventMarkers[0].x, 3);
    EXPECT_EQ(w->behaviours[0].name, "Drop");
    EXPECT_EQ(w->behaviours[0].steps[0].command, static_cast<std::int32_t>(Command::MakeFall));
    EXPECT_EQ(w->eventMarkers[1].x, kFreeMarker);
}

TEST(LevelSource, LayerRangesAndLegendOverrides) {
    SourceFolder folder;
    std::string text = Room("layer 2-3:\n######\n#....#\n#....#\n#....#\n######\n");
    text.replace(text.find("size = 6 3 5"), 12, "size = 6 4 5");
    text.insert(text.find("layer 0:"), "legend D = 26\n");
    folder.Add("room.lvl", text);
    std::string log;
    ASSERT_EQ(folder.Generate(&log), 0) << log;
    auto w = LoadCompiled(folder, "ROOM.LEV");
    EXPECT_EQ(GetCell(*w, 0, 2, 0), 2);  // the wall map on both layers of the range
    EXPECT_EQ(GetCell(*w, 0, 3, 0), 2);
    EXPECT_EQ(GetCell(*w, 1, 3, 1), 0);
    EXPECT_EQ(GetCell(*w, 4, 1, 3), 26);  // 'D' now means the lever door
}

// A stretch map sinks cube corners: each character is the drop of its cell's
// north-east corner in tenths of a cell ('#' a whole cell), on every layer of
// its range.  A bad character or a layer stretched twice is refused at its line.
TEST(LevelSource, StretchMapsSinkCornersAndRefuseWhatTheyCannotMean) {
    SourceFolder folder;
    folder.Add("slope.lvl", Room("stretch 0-1:\n......\n.5#...\n......\n...1..\n......\n"));
    std::string log;
    ASSERT_EQ(folder.Generate(&log), 0) << log;
    auto w = LoadCompiled(folder, "SLOPE.LEV");
    for (int y = 0; y <= 1; ++y) {
        EXPECT_EQ(GetStretch(*w, 1, y, 3), 50);
        EXPECT_EQ(GetStretch(*w, 2, y, 3), 100);
        EXPECT_EQ(GetStretch(*w, 3, y, 1), 10);
    }
    EXPECT_EQ(GetStretch(*w, 0, 0, 3), 0);
    EXPECT_EQ(GetStretch(*w, 1, 2, 3), 0);  // outside the range
    EXPECT_EQ(GetCell(*w, 1, 1, 3), 0);     // the cells themselves stay as drawn
    EXPECT_EQ(GetCell(*w, 2, 0, 3), 1);

    struct Case {
        const char* what;
        std::string extra;
        std::string message;
    };
    const Case cases[] = {
        {"bad character", "stretch 0:\n......\n......\n..x...\n......\n......\n", "broken.lvl:28: a stretch map takes"},
        {"stretched twice", "stretch 0-1:\n......\n......\n......\n......\n......\n\nstretch 1:\n......\n......\n......\n......\n......\n",
         "broken.lvl:32: stretch of layer 1 is drawn twice (first on line 25)"},
        {"above the top", "stretch 3:\n......\n......\n......\n......\n......\n", "broken.lvl:25: layer above the top"},
        {"short row", "stretch 0:\n......\n...\n......\n......\n......\n", "broken.lvl:27: row needs 6 characters"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SourceFolder broken;
        broken.Add("broken.lvl", Room(c.extra));
        EXPECT_NE(broken.Generate(&log), 0);
        EXPECT_NE(log.find(c.message), std::string::npos) << log;
    }
}

TEST(LevelSource, StartRepeatedByALayerRangeIsRefused) {
    SourceFolder folder;
    std::string text = Room();
    text.replace(text.find("size = 6 3 5"), 12, "size = 6 4 5");
    text.replace(text.find("layer 1:"), 8, "layer 1-2:");
    folder.Add("room.lvl", text);
    std::string log;
    EXPECT_NE(folder.Generate(&log), 0);
    EXPECT_NE(log.find("exactly one start"), std::string::npos) << log;
}

TEST(LevelSource, UnplayableOrMalformedSourcesAreRefused) {
    struct Case {
        const char* what;
        std::string text;
        const char* message;
    };
    const std::string room = Room();
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string t = room;
        t.replace(t.find(from), from.size(), to);
        return t;
    };
    const Case cases[] = {
        {"unknown map character", replaced("#i...#", "#i..?#"), "unknown map character"},
        {"short row", replaced("#i...#", "#i..#"), "row needs 6 characters"},
        {"missing row", replaced("#i...#\n######\n\n", "######\n\n"), "layer needs 5 rows"},
        {"layer above the top", room + "layer 3:\n......\n......\n......\n......\n......\n", "above the top"},
        {"no start", replaced("#.Sg.#", "#..g.#"), "exactly one start"},
        {"two exits", replaced("#.Sg.#", "#.SgX#"), "exactly one exit"},
        {"start over a hole", replaced("======\n======\n\nlayer 1", "======\n=.====\n\nlayer 1").replace(
             room.find("======\n======\n======\n======\n======"), 34, "======\n======\n==.===\n======\n======"),
         "not above a floor"},
        {"no gold", replaced("#.Sg.#", "#.S..#"), "at least one ingot"},
        {"sentry in a wall", room + "sentry 0 1 0 0\n", "empty cell"},
        {"marker outside", room + "clip 9 1 1 3\n", "outside the grid"},
        {"event without script", room + "event 1 1 1 0\n", "need a script"},
        {"no author", replaced("author = TESTER\n", ""), "description and an author"},
        {"bad number", replaced("size = 6 3 5", "size = 6 x 5"), "not a number"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SourceFolder folder;
        folder.Add("07_broken.lvl", c.text);
        std::string log;
        EXPECT_NE(folder.Generate(&log), 0);
        EXPECT_NE(log.find("07_broken.lvl"), std::string::npos) << log;
        EXPECT_NE(log.find(c.message), std::string::npos) << log;
    }
}

// Limits of the level file are checked when the source is compiled, and the
// message points at the line to change.
TEST(LevelSource, LimitsAreRefusedAtTheirLine) {
    struct Case {
        const char* what;
        std::string text;
        const char* message;  // includes the file name and line
    };
    const std::string room = Room();
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string t = room;
        t.replace(t.find(from), from.size(), to);
        return t;
    };
    std::string manyIngots = "; gold everywhere\ndescription = RICH\nauthor = TESTER\nsize = 12 3 12\nlayer 0:\n";
    for (int r = 0; r < 12; ++r) manyIngots += "============\n";
    manyIngots += "\nlayer 1:\nSX..........\n";
    for (int r = 1; r < 12; ++r) manyIngots += r < 10 ? "gggggggggggg\n" : "g...........\n";
    manyIngots += "\n";
    const Case cases[] = {
        {"grid too large", replaced("size = 6 3 5", "size = 6 3 500"), "broken.lvl:4: size out of range"},
        {"setting twice", replaced("seed = 77", "seed = 77\nlight = 9"), "broken.lvl:9: light is given twice (first on line 7)"},
        {"fog out of range", replaced("fog = 10 20 30", "fog = 10 300 30"), "broken.lvl:6: fog colour out of 0..255"},
        {"light out of range", replaced("light = 100", "light = -4"), "broken.lvl:7: light out of 0..255"},
        {"long description", replaced("TEST ROOM", std::string(256, 'A')), "broken.lvl:2: description longer than 255"},
        {"layer drawn twice", room + "layer 0-1:\n", "broken.lvl:25: layer 0 is drawn twice (first on line 11)"},
        {"second start", replaced("#i...#", "#i.S.#"), "broken.lvl:22: a level needs exactly one start 'S' (first on line 21)"},
        {"wall over the start", room + "layer 2:\n######\n#....#\n#.#..#\n#....#\n######\n", "broken.lvl:21: no headroom above the start"},
        {"too much gold", manyIngots, "broken.lvl:29: more ingots than the status bar shows"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SourceFolder folder;
        folder.Add("07_broken.lvl", c.text);
        std::string log;
        EXPECT_NE(folder.Generate(&log), 0);
        EXPECT_NE(log.find(c.message), std::string::npos) << log;
    }
}

}  // namespace
}  // namespace zq
