// The level compiler and the campaign build.
//
// Source layout (one file per level, "content/levels/NN_name.lvl"; the file
// names sort into play order):
//
//   ; a comment
//   description = SHOWN WHEN THE LEVEL STARTS
//   author = WHO MADE IT
//   size = X Y Z                 cells
//   heading = 0                  start heading (32768 a turn; 0 faces north, +Z)
//   fog = R G B                  fog colour
//   outside = 1                  draw the sky
//   light = 128                  light of every cell; torches, lava and glow brighten around them
//   seed = 1234                  random seed
//   music = 3                    clip started at the start cell
//   legend c = 16                add or override a map character
//   layer 0:                     the map of layer y = 0, first row north (z = Z-1),
//   ...                          one character per cell, x growing to the right
//   layer 2-3:                   the same map for several layers
//   stretch 1:                   a map of how far the north-east corner of each cell's
//   ...                          cube sinks: '.' none, '1'..'9' tenths of a cell, '#' all
//   sentry X Y Z HEADING         a sentry at the centre of a cell
//   clip X Y Z CLIP              a clip marker
//   event X Y Z BEHAVIOUR        an event marker running a behaviour of the script
//   script:                      everything after this line is the ".scp" text
//
// In maps, 'S' is the start cell and 'X' the exit cell (both empty).
#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

#include "content.h"
#include "core/text.h"
#include "level_source.h"
#include "world/level_file.h"

namespace zq::gen {

const std::map<char, int>& DefaultLegend() {
    static const std::map<char, int> legend = {
        {'.', 0},
        {' ', 0},
        {'S', 0},
        {'X', 0},
        {'=', kObjStoneFloor},
        {'#', kObjStoneWall},
        {'B', kObjBrick},
        {'M', kObjMetal},
        {'W', kObjWood},
        {'e', kObjEarth},
        {'"', kObjGrass},
        {'R', kObjRock},
        {'%', kObjCrackedBrick},
        {'s', kObjSoftEarth},
        {'H', kObjLadderNorth},
        {'h', kObjLadderEast},
        {'c', kObjCrate},
        {'~', kObjLava},
        {'w', kObjWater},
        {'*', kObjGlowBlock},
        {'g', kObjIngot},
        {'D', kObjIngotDoor},
        {'L', kObjLever},
        {'l', kObjLeverDoor},
        {'k', kObjKeyBlock},
        {'o', kObjSensor},
        {'d', kObjSensorDoor},
        {'^', kObjSpring},
        {'t', kObjTimer},
        {'f', kObjTimerShort},
        {'+', kObjExtraLife},
        {'!', kObjLightSwitch},
        {'x', kObjSpikes},
        {'v', kObjCrystal},
        {'I', kObjPillar},
        {'i', kObjTorch},
        {'C', kObjMetalCrate},
        {'K', kObjDarkStone},
        {'m', kObjMarble},
        {'T', kObjLeaves},
        {'p', kObjSlate},
        {'z', kObjBasalt},
        {'b', kObjMossBrick},
        {'q', kObjTiles},
        {'u', kObjCopper},
        {'r', kObjRuneStone},
        {'U', kObjBrazier},
        {'Y', kObjTree},
        {'P', kObjPlaster},
        {'O', kObjCobbles},
        {'A', kObjSandstone},
        {'V', kObjCeiling},
    };
    return legend;
}

namespace {

// Types the hero can stand on (solid, not deadly, not an item).
bool IsFloor(int type) {
    static const std::set<int> notFloor = {0,          kObjBrickCrumble, kObjBrickRefill, kObjEarthCrumble, kObjLadderNorth,
                                           kObjLadderEast, kObjLava,     kObjWater,       kObjIngot,        kObjIngotDoorOpening,
                                           kObjLeverDoorOpening, kObjSensorDoorOpening, kObjSpring, kObjTimer, kObjExtraLife,
                                           kObjTimerShort, kObjLightSwitch, kObjSpikes, kObjTorch, kObjBrazier, kObjTree};
    return type > 0 && type <= kObjectTypeTotal && !notFloor.count(type);
}

// Cells that give off light.
int Glow(int type) {
    switch (type) {
        case kObjTorch: return 90;
        case kObjBrazier: return 110;
        case kObjLava: return 70;
        case kObjGlowBlock: return 60;
        case kObjCrystal: return 50;
        default: return 0;
    }
}

struct Parser {
    std::string name;
    int line = 0;

    [[noreturn]] void Fail(const std::string& why) const {
        throw std::runtime_error("zqgen: " + name + ":" + std::to_string(line) + ": " + why);
    }
    std::vector<int> Numbers(const std::string& text, std::size_t count) const {
        std::istringstream in(text);
        std::vector<int> v;
        std::string piece;
        while (in >> piece) {
            if (!LooksNumeric(piece)) Fail("not a number: " + piece);
            auto n = ParseNumber(piece);
            if (!n) Fail("not a number: " + piece);
            v.push_back(*n);
        }
        if (v.size() != count) Fail("expected " + std::to_string(count) + " numbers");
        return v;
    }
};

}  // namespace

CompiledLevel CompileLevel(const std::string& source, const std::string& name) {
    Parser p{name, 0};
    std::map<char, int> legend = DefaultLegend();
    std::map<std::string, std::string> settings;
    std::map<std::string, int> settingLines;  // where each setting was given, for messages
    struct Layer {
        int first, last;
        std::vector<std::string> rows;
        int line;
        bool stretch;  // a map of corner drops instead of cells
    };
    std::vector<Layer> layers;
    struct Marker {
        std::string kind;
        std::vector<int> values;
        int line;
    };
    std::vector<Marker> markers;
    std::string script;

    std::istringstream in(source);
    std::string raw;
    Layer* current = nullptr;
    bool inScript = false;
    while (std::getline(in, raw)) {
        ++p.line;
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        if (inScript) {
            script += raw + "\r\n";
            continue;
        }
        std::string text = Trim(raw);
        // Inside a layer every line up to a blank one is a map row.
        bool layerLine = (text.rfind("layer", 0) == 0 || text.rfind("stretch", 0) == 0) && !text.empty() && text.back() == ':';
        if (current && !text.empty() && !layerLine) {
            current->rows.push_back(raw);
            continue;
        }
        if (current && text.empty()) {
            current = nullptr;
            continue;
        }
        if (text.empty() || text[0] == ';') continue;
        current = nullptr;
        if (text == "script:") {
            inScript = true;
        } else if (layerLine) {
            const bool stretch = text.rfind("stretch", 0) == 0;
            const std::size_t word = stretch ? 7 : 5;
            std::string range = Trim(text.substr(word, text.size() - word - 1));
            int first, last;
            auto dash = range.find('-');
            auto a = ParseNumber(range.substr(0, dash));
            auto b = dash == std::string::npos ? a : ParseNumber(range.substr(dash + 1));
            if (!a || !b || *a < 0 || *b < *a) p.Fail("bad layer range");
            first = *a;
            last = *b;
            for (const Layer& other : layers)
                if (other.stretch == stretch && first <= other.last && other.first <= last)
                    p.Fail(std::string(stretch ? "stretch of layer " : "layer ") + std::to_string(std::max(first, other.first)) +
                           " is drawn twice (first on line " + std::to_string(other.line) + ")");
            layers.push_back({first, last, {}, p.line, stretch});
            current = &layers.back();
        } else if (text.rfind("legend", 0) == 0) {
            std::string rest = Trim(text.substr(6));
            if (rest.size() < 3 || Trim(rest.substr(1)).rfind('=', 0) != 0) p.Fail("legend needs: legend C = TYPE");
            auto type = ParseNumber(Trim(Trim(rest.substr(1)).substr(1)));
            if (!type || *type < 0 || *type >= kObjectTypeCount) p.Fail("bad legend type");
            legend[rest[0]] = *type;
        } else if (text.rfind("sentry", 0) == 0 || text.rfind("clip ", 0) == 0 || text.rfind("event ", 0) == 0) {
            auto space = text.find(' ');
            std::string kind = text.substr(0, space);
            markers.push_back({kind, p.Numbers(text.substr(space), 4), p.line});
        } else if (auto eq = text.find('='); eq != std::string::npos) {
            std::string key = Trim(text.substr(0, eq));
            if (settingLines.count(key))
                p.Fail(key + " is given twice (first on line " + std::to_string(settingLines[key]) + ")");
            settings[key] = Trim(text.substr(eq + 1));
            settingLines[key] = p.line;
        } else {
            p.Fail("cannot read: " + text);
        }
    }

    // Looking a setting up points later messages at its line.
    p.line = 0;
    auto setting = [&](const std::string& key) -> const std::string* {
        auto it = settings.find(key);
        if (it == settings.end()) return nullptr;
        p.line = settingLines[key];
        return &it->second;
    };
    if (!setting("size")) p.Fail("missing size");
    std::vector<int> size = p.Numbers(*setting("size"), 3);
    int sx = size[0], sy = size[1], sz = size[2];
    if (sx < 1 || sy < 2 || sz < 1 || sx > 128 || sy > 64 || sz > 128) p.Fail("size out of range");
    int seed = setting("seed") ? p.Numbers(*setting("seed"), 1)[0] : 1;

    CompiledLevel out;
    out.world = std::make_unique<World>();
    World& world = *out.world;
    if (!InitNewLevel(world, sx, sy, sz, seed % 32767)) p.Fail("cannot allocate the grid");
    for (int z = 0; z < sz; ++z)
        for (int x = 0; x < sx; ++x) SetCell(world, x, 0, z, 0);

    int startCount = 0, exitCount = 0, ingotCount = 0;
    int startLine = 0, exitLine = 0, secondStartLine = 0, secondExitLine = 0;
    for (const Layer& layer : layers) {
        p.line = layer.line;
        if (layer.last >= sy) p.Fail("layer above the top of the level");
        if (static_cast<int>(layer.rows.size()) != sz) p.Fail("layer needs " + std::to_string(sz) + " rows");
        for (int r = 0; r < sz; ++r) {
            const std::string& row = layer.rows[static_cast<std::size_t>(r)];
            if (static_cast<int>(row.size()) != sx) {
                p.line = layer.line + 1 + r;
                p.Fail("row needs " + std::to_string(sx) + " characters");
            }
            int z = sz - 1 - r;
            if (layer.stretch) {
                for (int x = 0; x < sx; ++x) {
                    char ch = row[static_cast<std::size_t>(x)];
                    int drop = ch == '.' ? 0 : ch == '#' ? 100 : (ch >= '1' && ch <= '9') ? (ch - '0') * 10 : -1;
                    if (drop < 0) {
                        p.line = layer.line + 1 + r;
                        p.Fail(std::string("a stretch map takes '.', '1'..'9' or '#', not '") + ch + "'");
                    }
                    for (int y = layer.first; y <= layer.last; ++y) SetStretch(world, x, y, z, static_cast<std::uint8_t>(drop));
                }
                continue;
            }
            for (int x = 0; x < sx; ++x) {
                char ch = row[static_cast<std::size_t>(x)];
                auto it = legend.find(ch);
                if (it == legend.end()) {
                    p.line = layer.line + 1 + r;
                    p.Fail(std::string("unknown map character '") + ch + "'");
                }
                for (int y = layer.first; y <= layer.last; ++y) {
                    SetCell(world, x, y, z, static_cast<Cell>(it->second));
                    p.line = layer.line + 1 + r;
                    if (ch == 'S') {
                        world.startX = x, world.startY = y, world.startZ = z;
                        if (++startCount == 1) startLine = p.line;
                        else if (startCount == 2) secondStartLine = p.line;
                    }
                    if (ch == 'X') {
                        world.exitX = x, world.exitY = y, world.exitZ = z;
                        if (++exitCount == 1) exitLine = p.line;
                        else if (exitCount == 2) secondExitLine = p.line;
                    }
                    // The status bar shows two digits of gold.
                    if (it->second == kObjIngot && ++ingotCount > 99) p.Fail("more ingots than the status bar shows (99)");
                }
            }
        }
    }
    p.line = secondStartLine;
    if (startCount > 1) p.Fail("a level needs exactly one start 'S' (first on line " + std::to_string(startLine) + ")");
    p.line = secondExitLine;
    if (exitCount > 1) p.Fail("a level needs exactly one exit 'X' (first on line " + std::to_string(exitLine) + ")");
    p.line = 0;
    if (startCount == 0) p.Fail("a level needs exactly one start 'S'");
    if (exitCount == 0) p.Fail("a level needs exactly one exit 'X'");

    // The level file keeps 255 characters of each; longer ones would be cut silently.
    if (auto* v = setting("description")) {
        if (v->size() > 255) p.Fail("description longer than 255 characters");
        world.description = *v;
    }
    if (auto* v = setting("author")) {
        if (v->size() > 255) p.Fail("author longer than 255 characters");
        world.author = *v;
    }
    p.line = 0;
    if (world.description.empty() || world.author.empty()) p.Fail("a level needs a description and an author");
    if (auto* v = setting("heading")) world.startHeading = p.Numbers(*v, 1)[0];
    if (auto* v = setting("outside")) world.outsideLevel = static_cast<std::uint8_t>(p.Numbers(*v, 1)[0] != 0);
    if (auto* v = setting("fog")) {
        auto f = p.Numbers(*v, 3);
        for (int c : f)
            if (c < 0 || c > 255) p.Fail("fog colour out of 0..255");
        world.fogRed = static_cast<std::uint8_t>(f[0]);
        world.fogGreen = static_cast<std::uint8_t>(f[1]);
        world.fogBlue = static_cast<std::uint8_t>(f[2]);
    }

    // Light: the base level, raised near glowing cells (falling off over three cells).
    int base = setting("light") ? p.Numbers(*setting("light"), 1)[0] : 128;
    if (base < 0 || base > 255) p.Fail("light out of 0..255");
    std::vector<int> light(world.CellCount(), base);
    for (int z = 0; z < sz; ++z)
        for (int y = 0; y < sy; ++y)
            for (int x = 0; x < sx; ++x) {
                int g = Glow(GetCell(world, x, y, z));
                if (!g) continue;
                for (int dz = -3; dz <= 3; ++dz)
                    for (int dy = -3; dy <= 3; ++dy)
                        for (int dx = -3; dx <= 3; ++dx) {
                            if (!world.InGrid(x + dx, y + dy, z + dz)) continue;
                            int d = std::max(std::abs(dx), std::max(std::abs(dy), std::abs(dz)));
                            int& l = light[world.Index(x + dx, y + dy, z + dz)];
                            l = std::max(l, std::min(255, base + g * (4 - d) / 4));
                        }
            }
    for (std::size_t i = 0; i < light.size(); ++i) world.lightMap[i] = static_cast<std::uint8_t>(light[i]);

    int clipCount = 0, eventCount = 0;
    if (auto* v = setting("music")) {
        world.clipMarkers[0] = {world.startX, world.startY, world.startZ, p.Numbers(*v, 1)[0]};
        clipCount = 1;
    }
    for (const Marker& m : markers) {
        p.line = m.line;
        int x = m.values[0], y = m.values[1], z = m.values[2];
        if (!world.InGrid(x, y, z)) p.Fail(m.kind + " outside the grid");
        if (m.kind == "sentry") {
            if (world.sentryCount >= kMaxSentries) p.Fail("too many sentries");
            SentryState& s = world.sentries[static_cast<std::size_t>(world.sentryCount++)];
            s.x = static_cast<float>(x * kCellSize + kCellSize / 2);
            s.y = static_cast<float>(y * kCellSize + kCellSize / 2);
            s.z = static_cast<float>(z * kCellSize + kCellSize / 2);
            s.heading = static_cast<float>(m.values[3]);
            if (GetCell(world, x, y, z) != 0) p.Fail("a sentry needs an empty cell");
        } else if (m.kind == "clip") {
            if (clipCount >= kMarkerCount) p.Fail("too many clip markers");
            if (m.values[3] < 0 || m.values[3] >= kClipTotal) p.Fail("no such clip");
            world.clipMarkers[static_cast<std::size_t>(clipCount++)] = {x, y, z, m.values[3]};
        } else {
            if (eventCount >= kMarkerCount) p.Fail("too many event markers");
            if (m.values[3] < 0 || m.values[3] >= kBehaviourCount) p.Fail("no such behaviour");
            EventMarker e;
            e.behaviour = m.values[3];
            e.x = x, e.y = y, e.z = z;
            world.eventMarkers[static_cast<std::size_t>(eventCount++)] = e;
        }
    }
    if (eventCount > 0 && script.empty()) p.Fail("event markers need a script");

    // Playability checks that need no game rules, reported at the map row of the start or exit.
    p.line = startLine;
    if (GetCell(world, world.startX, world.startY, world.startZ) != 0) p.Fail("the start cell is not empty");
    if (!IsFloor(GetCell(world, world.startX, world.startY - 1, world.startZ))) p.Fail("the start cell is not above a floor");
    if (GetCell(world, world.startX, world.startY + 1, world.startZ) != 0) p.Fail("no headroom above the start");
    p.line = exitLine;
    if (!IsFloor(GetCell(world, world.exitX, world.exitY - 1, world.exitZ))) p.Fail("the exit cell is not above a floor");
    p.line = 0;
    int ingots = 0, doors = 0;
    for (Cell c : world.cells) {
        ingots += c == kObjIngot;
        doors += c == kObjIngotDoor;
    }
    if (ingots == 0) p.Fail("a level needs at least one ingot");
    if (ingots > 99) p.Fail("more ingots than the status bar shows");
    (void)doors;

    out.lev = SerializeLevel(world);
    out.scp = script;
    return out;
}

std::vector<LevelEntry> MakeLevels(Output& out, const std::filesystem::path& levelDir) {
    namespace fs = std::filesystem;
    std::vector<fs::path> sources;
    std::error_code ec;
    for (fs::directory_iterator it(levelDir, ec), end; !ec && it != end; it.increment(ec))
        if (it->path().extension() == ".lvl") sources.push_back(it->path());
    if (ec) throw std::runtime_error("zqgen: cannot read " + levelDir.string());
    if (sources.empty()) throw std::runtime_error("zqgen: no level sources in " + levelDir.string());
    std::sort(sources.begin(), sources.end());
    std::vector<LevelEntry> entries;
    for (const fs::path& path : sources) {
        std::ifstream file(path, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        CompiledLevel level = CompileLevel(text.str(), path.filename().string());
        std::string stem = ToUpper(path.stem().string());
        out.Write("LEVEL/" + stem + ".LEV", level.lev);
        if (!level.scp.empty()) out.WriteText("LEVEL/" + stem + ".SCP", level.scp);
        entries.push_back({stem, level.world->description});
    }
    return entries;
}

}  // namespace zq::gen
