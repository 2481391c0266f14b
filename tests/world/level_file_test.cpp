#include "world/level_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "core/errors.h"
#include "core/file_io.h"
#include "test_util.h"

namespace zq {
namespace {

// A small level with every kind of content in use.
std::unique_ptr<World> SampleLevel(int sentries) {
    auto w = std::make_unique<World>();
    EXPECT_TRUE(InitNewLevel(*w, 4, 3, 5, 1234));
    SetCell(*w, 1, 1, 1, 20);
    SetCell(*w, 2, 1, 1, 20);
    SetCell(*w, 3, 2, 4, 300);  // out of the object table, kept as read
    SetLight(*w, 0, 1, 0, 17);
    SetStretch(*w, 3, 0, 4, 45);
    w->startX = 1;
    w->startY = 1;
    w->startZ = 2;
    w->startHeading = 16384;
    w->exitX = 3;
    w->exitY = 1;
    w->exitZ = 4;
    w->clipMarkers[0] = {1, 1, 1, 3};
    w->clipMarkers[200] = {2, 2, 2, 64};
    w->eventMarkers[5] = {7, 1, 2, 3, 4, 5000, 1, {0, 0, 0}};
    w->description = "Mind the gap";
    w->author = "Caf\xe9 crew";
    w->outsideLevel = 1;
    w->sentryCount = sentries;
    for (int i = 0; i < sentries; ++i) w->sentries[static_cast<std::size_t>(i)] = SentryState{};
    for (int i = 0; i < sentries; ++i) {
        auto& s = w->sentries[static_cast<std::size_t>(i)];
        s.x = 256.5f + 512 * i;
        s.y = 768;
        s.z = 1280;
        s.heading = -8192;
    }
    w->fogRed = 10;
    w->fogGreen = 20;
    w->fogBlue = 30;
    return w;
}

class LevelFileTest : public ::testing::Test {
protected:
    void Load(World& world, const std::string& name, const LevelLoadHooks& hooks = {}) {
        DataResolver data(dir.Path());
        LevelLoadContext context{data, random, 1000, hooks};
        LoadLevelFile(world, context, name, "High");
    }
    test::TempDir dir;
    Random random;
};

TEST_F(LevelFileTest, RoundTripIsByteExact) {
    for (int sentries : {0, 3}) {
        auto w = SampleLevel(sentries);
        Bytes bytes = SerializeLevel(*w);
        const std::size_t n = 4 * 3 * 5;
        ASSERT_EQ(bytes.size(), LevelFileSize(n, static_cast<std::size_t>(sentries)));
        // Event markers follow the sentries: their first record's x sits 4 bytes in.
        ByteReader in(bytes);
        std::size_t markers = 4913 + 4 * n + 16 * static_cast<std::size_t>(sentries);
        EXPECT_EQ(in.I32(markers + 5 * 28), 7);
        EXPECT_EQ(in.I32(markers + 4), kFreeMarker);
        EXPECT_EQ(in.ShortString(0), "STANDARD.BNK");

        dir.Write("LEVEL/x.lev", bytes);
        auto loaded = std::make_unique<World>();
        Load(*loaded, "LEVEL\\x.lev");
        EXPECT_EQ(SerializeLevel(*loaded), bytes) << sentries << " sentries";
        EXPECT_EQ(loaded->sentryCount, sentries);
        EXPECT_EQ(loaded->clipMarkers[1].x, kFreeMarker);
        EXPECT_EQ(loaded->eventMarkers[5].stepStart, 5000);
        EXPECT_EQ(GetCell(*loaded, 3, 2, 4), 300);
        EXPECT_EQ(loaded->author, "Caf\xe9 crew");
    }
}

TEST_F(LevelFileTest, TinyLevelHasTheDocumentedLength) {
    auto w = std::make_unique<World>();
    ASSERT_TRUE(InitNewLevel(*w, 1, 1, 1, 0));
    w->sentryCount = 0;
    EXPECT_EQ(SerializeLevel(*w).size(), 12088u);
    w->sentryCount = 2;
    EXPECT_EQ(SerializeLevel(*w).size(), 12088u + 32u);
}

TEST_F(LevelFileTest, LoadResetsRunTimeStateAndCallsTheLaterLayersInOrder) {
    auto w = SampleLevel(2);
    dir.Write("LEVEL/a.lev", SerializeLevel(*w));
    dir.Write("LEVEL/a.scp", "[Behaviour 3]\nName=Drop\n0=MAKEFALL (0,0,0),(1,0,1)\n");

    auto loaded = std::make_unique<World>();
    loaded->objectDefs[20].lingot = true;
    loaded->objectDefs[20].cellCount = 99;
    loaded->objectDefs[5].cellCount = 42;  // not counted: left alone
    loaded->lastHole = 4;
    loaded->lastMovingBlock = 7;
    loaded->cellAnimations[9].inUse = true;
    loaded->timerRunning = 1;
    loaded->timerLeft = 500;

    std::vector<std::string> calls;
    LevelLoadHooks hooks;
    hooks.setFogColour = [&](std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        calls.push_back("fog " + std::to_string(r) + "," + std::to_string(g) + "," + std::to_string(b));
    };
    hooks.resetActors = [&](const World& world) {
        calls.push_back("actors " + world.behaviours[3].name);  // the script is read before the actors
    };
    hooks.loadObjectDefinitions = [&](World& world, const std::string& bank, const std::string& mode) {
        calls.push_back("bank " + bank + " " + mode + " " + std::to_string(world.objectDefs[20].cellCount));
    };
    Load(*loaded, "LEVEL\\a.lev", hooks);
    EXPECT_EQ(calls, (std::vector<std::string>{"fog 10,20,30", "actors Drop", "bank STANDARD.BNK High 2"}));
    EXPECT_EQ(loaded->objectDefs[5].cellCount, 42);
    EXPECT_EQ(loaded->lastHole, -1);
    EXPECT_EQ(loaded->lastMovingBlock, -1);
    EXPECT_FALSE(loaded->cellAnimations[9].inUse);
    EXPECT_EQ(loaded->timerRunning, 0);
    EXPECT_EQ(loaded->timerLeft, 0);
    EXPECT_EQ(loaded->behaviours[3].steps[0].command, static_cast<int>(Command::MakeFall));

    // Sentries start where the file puts them; the generator is seeded from the level.
    const SentryState& s = loaded->sentries[1];
    EXPECT_EQ(s.destX, s.x);
    EXPECT_EQ(s.cellX, 1);
    EXPECT_EQ(s.cellY, 1);
    EXPECT_EQ(s.cellZ, 2);
    EXPECT_EQ(s.targetHeading, -8192);
    EXPECT_EQ(s.soundTime, 3000);
    EXPECT_EQ(s.mode, 0);
    EXPECT_EQ(s.lost, 1);
    EXPECT_EQ(random.seed, 1234u);
}

TEST_F(LevelFileTest, ScriptIsThePathLessThreeCharactersPlusScp) {
    auto w = SampleLevel(0);
    dir.Write("LEVEL/b.level", SerializeLevel(*w));
    dir.Write("LEVEL/b.lescp", "[Behaviour 0]\nName=Odd\n");
    auto loaded = std::make_unique<World>();
    loaded->behaviours[1].name = "kept from before";
    Load(*loaded, "LEVEL/b.level");
    EXPECT_EQ(loaded->behaviours[0].name, "Odd");
    EXPECT_EQ(loaded->behaviours[1].name, "kept from before");
}

TEST_F(LevelFileTest, RefusedFilesLeaveTheWorldUntouched) {
    auto good = SampleLevel(1);
    Bytes valid = SerializeLevel(*good);
    const std::size_t n = 60;

    std::vector<std::pair<std::string, Bytes>> cases;
    cases.emplace_back("empty", Bytes{});
    cases.emplace_back("header only", Bytes(valid.begin(), valid.begin() + 200));
    auto patch = [](Bytes bytes, std::size_t at, std::int32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
        return bytes;
    };
    cases.emplace_back("negative x", patch(valid, 256, -4));
    cases.emplace_back("zero y", patch(valid, 260, 0));
    cases.emplace_back("huge z", patch(valid, 264, 100000));
    cases.emplace_back("too many cells", patch(patch(patch(valid, 256, 1024), 260, 1024), 264, 1024));
    cases.emplace_back("no geometry", Bytes(valid.begin(), valid.begin() + static_cast<std::ptrdiff_t>(LevelClipMarkersEnd(n) - 1)));
    cases.emplace_back("negative sentries", patch(valid, 4905 + 4 * n, -1));
    cases.emplace_back("too many sentries", patch(valid, 4905 + 4 * n, 256));
    cases.emplace_back("start beyond reach", patch(valid, 268, kMaxCellCoordinate + 1));
    cases.emplace_back("exit beyond reach", patch(valid, 292, -kMaxCellCoordinate - 1));
    cases.emplace_back("far start y", patch(valid, 272, 0x7fffffff));
    cases.emplace_back("start heading INT_MAX", patch(valid, 280, 0x7fffffff));
    cases.emplace_back("start heading INT_MIN", patch(valid, 280, -0x7fffffff - 1));
    cases.emplace_back("start heading past 512 turns", patch(valid, 280, 16777217));
    const std::size_t sentry = 4913 + 4 * n;
    auto patchFloat = [&](std::size_t at, float v) {
        std::uint32_t bits;
        std::memcpy(&bits, &v, 4);
        return patch(valid, at, static_cast<std::int32_t>(bits));
    };
    cases.emplace_back("NaN sentry", patchFloat(sentry, std::numeric_limits<float>::quiet_NaN()));
    cases.emplace_back("infinite sentry", patchFloat(sentry + 4, -std::numeric_limits<float>::infinity()));
    cases.emplace_back("distant sentry", patchFloat(sentry + 8, 1e12f));
    cases.emplace_back("NaN heading", patchFloat(sentry + 12, std::numeric_limits<float>::quiet_NaN()));

    for (const auto& [name, bytes] : cases) {
        dir.Write("LEVEL/bad.lev", bytes);
        auto world = SampleLevel(2);
        world->description = "before";
        Bytes before = SerializeLevel(*world);
        try {
            Load(*world, "LEVEL\\bad.lev");
            ADD_FAILURE() << name << ": loaded";
        } catch (const LoadError& e) {
            EXPECT_STREQ(e.what(), "The file LEVEL\\bad.levis missing or invalid.") << name;
        }
        EXPECT_EQ(SerializeLevel(*world), before) << name;
    }
    auto world = SampleLevel(0);
    EXPECT_THROW(Load(*world, "LEVEL\\absent.lev"), LoadError);
}

TEST_F(LevelFileTest, PlayerGivenPathsLoadFromAnywhereWithTheScriptBesideThem) {
    test::TempDir elsewhere;
    auto w = SampleLevel(1);
    w->startX = -kMaxCellCoordinate;  // the furthest start a file may hold
    auto level = elsewhere.Write("Downloads/Mine.LEV", SerializeLevel(*w));
    elsewhere.Write("Downloads/mine.scp", "[Behaviour 0]\nName=Beside\n");
    dir.Write("Downloads/Mine.scp", "[Behaviour 0]\nName=InTheDataFolder\n");
    auto loaded = std::make_unique<World>();
    Load(*loaded, level.string());
    EXPECT_EQ(loaded->behaviours[0].name, "Beside");
    EXPECT_EQ(loaded->startX, -kMaxCellCoordinate);
}

TEST_F(LevelFileTest, ShortFilesTakeNewLevelValuesNotThePreviousLevels) {
    auto source = SampleLevel(2);
    Bytes valid = SerializeLevel(*source);
    const std::size_t n = 60;
    auto previous = [] {
        auto w = SampleLevel(3);
        w->description = "old";
        w->author = "old";
        w->eventMarkers[0] = {1, 1, 1, 1, 0, 0, 0, {0, 0, 0}};
        w->fogRed = 200;
        return w;
    };

    // Ends right after the clip markers: texts, sentries, markers and fog all reset.
    dir.Write("LEVEL/cut.lev", Bytes(valid.begin(), valid.begin() + static_cast<std::ptrdiff_t>(LevelClipMarkersEnd(n))));
    auto w = previous();
    Load(*w, "LEVEL\\cut.lev");
    EXPECT_EQ(w->description, "");
    EXPECT_EQ(w->author, "");
    EXPECT_EQ(w->sentryCount, 0);
    EXPECT_EQ(w->randomSeed, 0);
    EXPECT_EQ(w->eventMarkers[0].x, kFreeMarker);
    EXPECT_EQ(w->eventMarkers[5].x, kFreeMarker);
    EXPECT_EQ(w->fogRed, 0);
    EXPECT_EQ(w->clipMarkers[200].clip, 64);

    // Cut inside the second sentry: one sentry survives.
    std::size_t sentries = 4913 + 4 * n;
    dir.Write("LEVEL/cut2.lev", Bytes(valid.begin(), valid.begin() + static_cast<std::ptrdiff_t>(sentries + 20)));
    w = previous();
    Load(*w, "LEVEL\\cut2.lev");
    EXPECT_EQ(w->sentryCount, 1);
    EXPECT_EQ(w->sentries[0].x, 256.5f);
    EXPECT_EQ(w->description, "Mind the gap");

    // Without the fog bytes (an older file): black fog, everything else read.
    dir.Write("LEVEL/nofog.lev", Bytes(valid.begin(), valid.end() - 3));
    w = previous();
    Load(*w, "LEVEL\\nofog.lev");
    EXPECT_EQ(w->fogRed, 0);
    EXPECT_EQ(w->eventMarkers[5].behaviour, 7);

    // Extra bytes after the fog are ignored.
    Bytes longer = valid;
    longer.insert(longer.end(), 100, 0xAB);
    dir.Write("LEVEL/long.lev", longer);
    w = previous();
    Load(*w, "LEVEL\\long.lev");
    EXPECT_EQ(SerializeLevel(*w), valid);
}

TEST(NewLevel, HasAFloorAStartAboveItAndTheExitOutside) {
    auto w = std::make_unique<World>();
    w->description = "kept";
    w->sentryCount = 2;
    ASSERT_TRUE(InitNewLevel(*w, 5, 4, 7, 99));
    EXPECT_EQ(GetCell(*w, 0, 0, 0), 1);
    EXPECT_EQ(GetCell(*w, 4, 0, 6), 1);
    EXPECT_EQ(GetCell(*w, 2, 1, 3), 0);
    EXPECT_EQ(GetLight(*w, 2, 3, 3), 128);
    EXPECT_EQ(GetStretch(*w, 2, 0, 3), 0);
    EXPECT_EQ(w->startX, 2);
    EXPECT_EQ(w->startY, 1);
    EXPECT_EQ(w->startZ, 3);
    EXPECT_EQ(w->exitX, -2);
    EXPECT_EQ(w->exitZ, -3);
    EXPECT_EQ(w->randomSeed, 99);
    EXPECT_EQ(w->eventMarkers[255].x, kFreeMarker);
    EXPECT_EQ(w->clipMarkers[0].x, kFreeMarker);
    EXPECT_EQ(w->description, "kept");
    EXPECT_EQ(w->sentryCount, 2);
}

TEST(LevelList, OrdersNamesByteWiseWithTheFolderPrefix) {
    test::TempDir dir;
    for (const char* name : {"b.lev", "A.lev", "a.lev", "c.LEV", "notes.txt"}) dir.Write(std::string("level/") + name, "x");
    std::filesystem::create_directories(dir / "level/sub.lev");
    EXPECT_EQ(ListLevels(DataResolver(dir.Path())),
              (std::vector<std::string>{"LEVEL\\A.lev", "LEVEL\\a.lev", "LEVEL\\b.lev", "LEVEL\\c.LEV"}));
}

TEST(LevelList, MissingOrEmptyFolderEndsTheGameWithItsMessage) {
    test::TempDir dir;
    try {
        ListLevels(DataResolver(dir.Path()));
        ADD_FAILURE();
    } catch (const FatalError& e) {
        EXPECT_STREQ(e.what(), "GAME: Problem reading level files (LEVEL\\ folder).");
    }
    std::filesystem::create_directories(dir / "LEVEL");
    dir.Write("LEVEL/readme.txt", "x");
    try {
        ListLevels(DataResolver(dir.Path()));
        ADD_FAILURE();
    } catch (const FatalError& e) {
        EXPECT_STREQ(e.what(), "GAME: No level files (LEVEL\\ folder).");
    }
}

}  // namespace
}  // namespace zq
