#include "world/level_file.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>

#include "core/errors.h"
#include "core/file_io.h"
#include "core/text.h"
#include "world/behaviour_script.h"

namespace zq {

namespace {

constexpr std::size_t kClipMarkerBytes = 16;
constexpr std::size_t kEventMarkerBytes = 28;
constexpr std::size_t kSentryBytes = 16;

// Everything a level file holds, read and checked before the World changes.
struct LevelData {
    std::string bankName;
    std::int32_t sizeX = 0, sizeY = 0, sizeZ = 0;
    std::int32_t startX = 0, startY = 0, startZ = 0, startHeading = 0;
    std::int32_t exitX = 0, exitY = 0, exitZ = 0;
    std::vector<Cell> cells;
    std::vector<std::uint8_t> lightMap, stretchMap;
    std::array<ClipMarker, kMarkerCount> clipMarkers{};
    std::string description, author;
    std::uint8_t outsideLevel = 0;
    std::int32_t sentryCount = 0;
    std::int32_t randomSeed = 0;
    std::array<SentryState, kMaxSentries> sentries{};
    std::array<EventMarker, kMarkerCount> eventMarkers{};
    std::uint8_t fogRed = 0, fogGreen = 0, fogBlue = 0;
};

// Headings beyond this many angle units (512 turns) are no longer whole
// numbers in a float; a file holding one is damaged.
constexpr float kMaxSentryHeading = 16777216.0f;

// Start and exit cells, and sentry positions, must be finite and within
// kMaxCellCoordinate cells of the origin: the rules multiply cells by
// kCellSize and cast positions to cells, and must not overflow doing so.
bool PlausibleCell(std::int32_t cell) { return cell >= -kMaxCellCoordinate && cell <= kMaxCellCoordinate; }
bool PlausiblePosition(float position) {
    return std::fabs(position) <= static_cast<float>(kMaxCellCoordinate) * kCellSize;  // false for NaN
}

// Fills `level` from the file's bytes.  Older files may end early: each field
// that is not wholly inside the file keeps the new-level value it was given
// by LevelData's defaults.  Files too short to hold the grid and clip markers,
// or with absurd dimensions or sentry counts, are refused.
bool ParseLevel(const Bytes& bytes, LevelData& level) {
    ByteReader in(bytes);
    if (!in.Has(0, kLevelHeaderSize)) return false;
    level.bankName = in.ShortString(0);
    level.sizeX = in.I32(256);
    level.sizeY = in.I32(260);
    level.sizeZ = in.I32(264);
    if (level.sizeX < 1 || level.sizeY < 1 || level.sizeZ < 1 || level.sizeX > kMaxLevelAxis ||
        level.sizeY > kMaxLevelAxis || level.sizeZ > kMaxLevelAxis)
        return false;
    std::int64_t n64 = static_cast<std::int64_t>(level.sizeX) * level.sizeY * level.sizeZ;
    if (n64 > kMaxLevelCells) return false;
    const std::size_t n = static_cast<std::size_t>(n64);
    if (!in.Has(0, LevelClipMarkersEnd(n))) return false;

    level.startX = in.I32(268);
    level.startY = in.I32(272);
    level.startZ = in.I32(276);
    level.startHeading = in.I32(280);
    level.exitX = in.I32(284);
    level.exitY = in.I32(288);
    level.exitZ = in.I32(292);
    for (std::int32_t v : {level.startX, level.startY, level.startZ, level.exitX, level.exitY, level.exitZ})
        if (!PlausibleCell(v)) return false;
    // The start heading obeys the sentries' limit: ±512 turns leaves room for
    // every sum the hero, the camera and the editor's arrow make with it.
    if (std::abs(static_cast<std::int64_t>(level.startHeading)) > static_cast<std::int64_t>(kMaxSentryHeading))
        return false;

    level.cells.resize(n);
    for (std::size_t i = 0; i < n; ++i) level.cells[i] = in.U16(296 + 2 * i);
    level.lightMap.assign(bytes.begin() + static_cast<std::ptrdiff_t>(296 + 2 * n),
                          bytes.begin() + static_cast<std::ptrdiff_t>(296 + 3 * n));
    level.stretchMap.assign(bytes.begin() + static_cast<std::ptrdiff_t>(296 + 3 * n),
                            bytes.begin() + static_cast<std::ptrdiff_t>(296 + 4 * n));
    std::size_t at = 296 + 4 * n;
    for (ClipMarker& m : level.clipMarkers) {
        m.x = in.I32(at);
        m.y = in.I32(at + 4);
        m.z = in.I32(at + 8);
        m.clip = in.I32(at + 12);
        at += kClipMarkerBytes;
    }

    // From here on the file may end at any point.
    if (in.Has(at, 256)) level.description = in.ShortString(at);
    at += 256;
    if (in.Has(at, 256)) level.author = in.ShortString(at);
    at += 256;
    if (in.Has(at, 1)) level.outsideLevel = in.U8(at);
    at += 1;
    if (in.Has(at, 4)) {
        level.sentryCount = in.I32(at);
        if (level.sentryCount < 0 || level.sentryCount > kMaxSentries) return false;
    }
    at += 4;
    if (in.Has(at, 4)) level.randomSeed = in.I32(at);
    at += 4;

    // A file cut inside its sentry records keeps only the complete ones.
    std::int32_t stored = 0;
    for (std::int32_t i = 0; i < level.sentryCount; ++i) {
        std::size_t offset = at + kSentryBytes * static_cast<std::size_t>(i);
        if (!in.Has(offset, kSentryBytes)) break;
        SentryState& s = level.sentries[static_cast<std::size_t>(i)];
        s.x = in.F32(offset);
        s.y = in.F32(offset + 4);
        s.z = in.F32(offset + 8);
        s.heading = in.F32(offset + 12);
        if (!PlausiblePosition(s.x) || !PlausiblePosition(s.y) || !PlausiblePosition(s.z) ||
            !(std::fabs(s.heading) <= kMaxSentryHeading))
            return false;
        ++stored;
    }
    at += kSentryBytes * static_cast<std::size_t>(level.sentryCount);
    level.sentryCount = stored;

    for (EventMarker& m : level.eventMarkers) {
        if (in.Has(at, kEventMarkerBytes)) {
            m.behaviour = in.I32(at);
            m.x = in.I32(at + 4);
            m.y = in.I32(at + 8);
            m.z = in.I32(at + 12);
            m.step = in.I32(at + 16);
            m.stepStart = in.I32(at + 20);
            m.moving = in.U8(at + 24);
            m.padding = {in.U8(at + 25), in.U8(at + 26), in.U8(at + 27)};
        }
        at += kEventMarkerBytes;
    }
    if (in.Has(at, 3)) {
        level.fogRed = in.U8(at);
        level.fogGreen = in.U8(at + 1);
        level.fogBlue = in.U8(at + 2);
    }
    return true;
}

// The script beside a level: in the level's own folder, its file name less
// the last three characters, plus "scp" (any letter case).
std::optional<std::filesystem::path> FindCompanionScript(const std::filesystem::path& levelFile) {
    std::string name = levelFile.filename().string();
    name = (name.size() >= 3 ? name.substr(0, name.size() - 3) : std::string()) + "scp";
    return DataResolver(levelFile.parent_path()).Find(name);
}

// The bytes a level file's layout can use: its header, and then no more than
// the file of its dimensions with all 255 sentries holds.  The rest of a
// longer file is never read, so a level padded out to gigabytes costs what
// the level itself does.  Nothing when the file cannot be read.
std::optional<Bytes> ReadLevelBytes(const std::filesystem::path& path) {
    auto head = ReadRegularFilePrefix(path, kLevelHeaderSize).bytes;
    if (!head || head->size() < kLevelHeaderSize) return head;  // ParseLevel refuses it
    ByteReader in(*head);
    const std::int64_t sizeX = in.I32(256), sizeY = in.I32(260), sizeZ = in.I32(264);
    if (sizeX < 1 || sizeY < 1 || sizeZ < 1 || sizeX > kMaxLevelAxis || sizeY > kMaxLevelAxis || sizeZ > kMaxLevelAxis ||
        sizeX * sizeY * sizeZ > kMaxLevelCells)
        return head;  // refused by ParseLevel from the header alone
    const std::size_t cells = static_cast<std::size_t>(sizeX * sizeY * sizeZ);
    return ReadRegularFilePrefix(path, LevelFileSize(cells, kMaxSentries)).bytes;
}

}  // namespace

std::string LevelFileError(const std::string& path) { return "The file " + path + "is missing or invalid."; }

void LoadLevelFile(World& world, LevelLoadContext& context, const std::string& path, const std::string& textureMode) {
    // The level path comes from the level list, the command line or a dialog,
    // never from inside another data file, so it is taken as given.
    auto resolved = context.data.FindGiven(path);
    if (!resolved) throw LoadError(LevelFileError(path));

    // Everything that allocates happens before the World changes, so running
    // out of memory (a huge grid, a huge script) is the same clean refusal as
    // a damaged file.
    LevelData level;
    std::unique_ptr<BehaviourTable> behaviours;
    try {
        std::optional<Bytes> bytes = ReadLevelBytes(*resolved);
        if (!bytes || !ParseLevel(*bytes, level)) throw LoadError(LevelFileError(path));
        bytes.reset();
        // The script changes only the behaviours it names; the others keep
        // the previous script's entries.
        if (auto script = FindCompanionScript(*resolved)) {
            if (auto file = SettingsFile::Load(*script)) {
                behaviours = std::make_unique<BehaviourTable>(world.behaviours);
                ParseBehaviourScript(*behaviours, *file);
            }
        }
        // IndexCells below then refills this without allocating.
        world.slabTypeCounts.reserve(static_cast<std::size_t>(level.sizeZ) * kObjectTypeCount);
    } catch (const std::bad_alloc&) {
        throw LoadError(LevelFileError(path));
    }

    // The level is read and checked; from here on only the World changes.  The
    // planes read from the file become the World's planes.
    world.sizeX = level.sizeX;
    world.sizeY = level.sizeY;
    world.sizeZ = level.sizeZ;
    world.bankName = level.bankName;
    world.startX = level.startX;
    world.startY = level.startY;
    world.startZ = level.startZ;
    world.startHeading = level.startHeading;
    world.exitX = level.exitX;
    world.exitY = level.exitY;
    world.exitZ = level.exitZ;
    world.cells.swap(level.cells);
    world.lightMap.swap(level.lightMap);
    world.stretchMap.swap(level.stretchMap);
    world.clipMarkers = level.clipMarkers;
    world.description = level.description;
    world.author = level.author;
    world.outsideLevel = level.outsideLevel;
    world.sentryCount = level.sentryCount;
    world.randomSeed = level.randomSeed;
    for (std::int32_t i = 0; i < level.sentryCount; ++i) {
        SentryState& s = world.sentries[static_cast<std::size_t>(i)];
        const SentryState& read = level.sentries[static_cast<std::size_t>(i)];
        s.x = read.x;
        s.y = read.y;
        s.z = read.z;
        s.heading = read.heading;
    }
    world.eventMarkers = level.eventMarkers;
    world.fogRed = level.fogRed;
    world.fogGreen = level.fogGreen;
    world.fogBlue = level.fogBlue;

    if (context.hooks.setFogColour) context.hooks.setFogColour(world.fogRed, world.fogGreen, world.fogBlue);

    if (behaviours) world.behaviours = std::move(*behaviours);

    if (context.hooks.resetActors) context.hooks.resetActors(world);
    CountLingots(world);
    IndexCells(world);
    ClearRunTimeTables(world);
    ResetSentries(world, context.random, context.now);
    try {
        if (context.hooks.loadObjectDefinitions) context.hooks.loadObjectDefinitions(world, world.bankName, textureMode);
    } catch (const std::bad_alloc&) {
        throw LoadError(LevelFileError(path));  // a bank that will not fit in memory is refused the same way
    }
}

void ClearRunTimeTables(World& world) {
    world.lastMovingBlock = -1;
    world.lastHole = -1;
    for (CellAnimation& a : world.cellAnimations) a.inUse = false;
    world.sweepCount = 0;
    world.sweeping = false;
    world.timerRunning = 0;
    world.timerLeft = 0;
    world.timerLastSecond = 0;
}

void ResetSentries(World& world, Random& random, std::int32_t now) {
    random.seed = static_cast<std::uint32_t>(world.randomSeed);
    std::int32_t count = std::clamp(world.sentryCount, 0, kMaxSentries);
    for (std::int32_t i = 0; i < count; ++i) {
        SentryState& s = world.sentries[static_cast<std::size_t>(i)];
        s.pitch = 0;
        s.destX = s.x;
        s.destY = s.y;
        s.destZ = s.z;
        s.targetHeading = s.heading;
        s.targetPitch = 0;
        s.cellX = CellOf(s.x);
        s.cellY = CellOf(s.y);
        s.cellZ = CellOf(s.z);
        s.width = 130;
        s.halfHeight = 140;
        s.mode = 0;
        s.speed = 40;
        s.lost = 1;
        s.soundTime = now + 2000;
    }
}

Bytes SerializeLevel(const World& world) {
    ByteWriter out;
    out.ShortString("STANDARD.BNK");
    for (std::int32_t v : {world.sizeX, world.sizeY, world.sizeZ, world.startX, world.startY, world.startZ,
                           world.startHeading, world.exitX, world.exitY, world.exitZ})
        out.I32(v);
    for (Cell c : world.cells) out.U16(c);
    out.Raw(world.lightMap.data(), world.lightMap.size());
    out.Raw(world.stretchMap.data(), world.stretchMap.size());
    for (const ClipMarker& m : world.clipMarkers) {
        out.I32(m.x);
        out.I32(m.y);
        out.I32(m.z);
        out.I32(m.clip);
    }
    out.ShortString(world.description);
    out.ShortString(world.author);
    out.U8(world.outsideLevel);
    std::int32_t count = std::clamp(world.sentryCount, 0, kMaxSentries);
    out.I32(count);
    out.I32(world.randomSeed);
    for (std::int32_t i = 0; i < count; ++i) {
        const SentryState& s = world.sentries[static_cast<std::size_t>(i)];
        out.F32(s.x);
        out.F32(s.y);
        out.F32(s.z);
        out.F32(s.heading);
    }
    for (const EventMarker& m : world.eventMarkers) {
        for (std::int32_t v : {m.behaviour, m.x, m.y, m.z, m.step, m.stepStart}) out.I32(v);
        out.U8(m.moving);
        for (std::uint8_t p : m.padding) out.U8(p);
    }
    out.U8(world.fogRed);
    out.U8(world.fogGreen);
    out.U8(world.fogBlue);
    return std::move(out.Buffer());
}

WriteResult SaveLevelFile(const World& world, const std::string& path) { return WriteFileSafe(path, SerializeLevel(world)); }

bool InitNewLevel(World& world, int sizeX, int sizeY, int sizeZ, std::int32_t randomSeed) {
    if (!AllocateGrid(world, sizeX, sizeY, sizeZ)) return false;
    std::fill(world.lightMap.begin(), world.lightMap.end(), std::uint8_t{128});
    for (ObjectDef& def : world.objectDefs)
        if (def.lingot) def.cellCount = 0;
    for (int z = 0; z < sizeZ; ++z)
        for (int x = 0; x < sizeX; ++x) SetCell(world, x, 0, z, 1);
    for (EventMarker& m : world.eventMarkers) m = EventMarker{};
    for (ClipMarker& m : world.clipMarkers) m = ClipMarker{};
    for (CellAnimation& a : world.cellAnimations) a.inUse = false;
    world.startX = sizeX / 2;
    world.startY = 1;
    world.startZ = sizeZ / 2;
    world.startHeading = 0;
    world.exitX = -(sizeX / 2);
    world.exitY = 1;
    world.exitZ = -(sizeZ / 2);
    world.randomSeed = randomSeed;
    return true;
}

std::vector<std::string> ListLevels(const DataResolver& data) {
    namespace fs = std::filesystem;
    auto folder = data.Find("LEVEL");
    std::error_code ec;
    if (!folder || !fs::is_directory(*folder, ec))
        throw FatalError("GAME: Problem reading level files (LEVEL\\ folder).");
    fs::directory_iterator it(*folder, ec), end;
    if (ec) throw FatalError("GAME: Problem reading level files (LEVEL\\ folder).");
    std::vector<std::string> names;
    for (; it != end; it.increment(ec)) {
        if (ec) break;
        std::string name = it->path().filename().string();
        if (name.size() <= 1 || name == ".." || name.size() > 260) continue;
        if (name.size() < 4 || !EqualsNoCase(std::string_view(name).substr(name.size() - 4), ".lev")) continue;
        if (!it->is_regular_file(ec)) continue;
        names.push_back(name);
    }
    if (names.empty()) throw FatalError("GAME: No level files (LEVEL\\ folder).");
    std::sort(names.begin(), names.end());  // std::string compares bytes as unsigned char
    for (std::string& name : names) name = "LEVEL\\" + name;
    return names;
}

}  // namespace zq
