// Checks of the default data folder the content generator makes: the bank
// and everything it names, the pictures' width rule, the fonts, the hero's
// poses, the sounds and music, the credits and every campaign level.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "assets/mesh.h"
#include "assets/pcx.h"
#include "core/bytes.h"
#include "core/file_io.h"
#include "core/random.h"
#include "core/resolver.h"
#include "core/scramble.h"
#include "core/settings_file.h"
#include "core/text.h"
#include "test_util.h"
#include "world/level_file.h"

namespace zq {
namespace {

namespace fs = std::filesystem;

const fs::path kData = fs::path(ZQ_BUILD_DIR) / "data";
const fs::path kGenerator = fs::path(ZQ_BUILD_DIR) / "zqgen";
const fs::path kLevelSources = fs::path(ZQ_SOURCE_DIR) / "content" / "levels";

Bytes Read(const std::string& name) {
    DataResolver data(kData);
    auto path = data.Find(name);
    EXPECT_TRUE(path) << name << " is missing";
    if (!path) return {};
    auto bytes = ReadFileBytes(*path, kMaxMediaFileBytes);
    EXPECT_TRUE(bytes) << name;
    return bytes ? *bytes : Bytes{};
}

SettingsFile Bank() {
    Bytes bytes = Read("Standard.bnk");
    return SettingsFile::FromText(std::string(bytes.begin(), bytes.end()));
}

bool Exists(const std::string& name) { return DataResolver(kData).Find(name).has_value(); }

std::map<std::string, Bytes> Folder(const fs::path& root) {
    std::map<std::string, Bytes> files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file()) files[fs::relative(entry.path(), root).generic_string()] = *ReadFileBytes(entry.path(), kMaxMediaFileBytes);
    return files;
}

// ---------------------------------------------------------------------------

TEST(GeneratedContent, SecondRunGivesTheSameBytes) {
    test::TempDir dir;
    const fs::path out = dir / "out";
    const test::ToolRun run =
        test::RunShell(kGenerator.string() + " --out " + out.string() + " --levels " + kLevelSources.string(), dir);
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    auto fresh = Folder(out);
    auto built = Folder(kData);
    ASSERT_GT(fresh.size(), 150u);
    // The build's folder may also hold the blend-table cache the game writes beside the bank.
    for (const auto& [name, bytes] : built)
        EXPECT_TRUE(fresh.count(name) || ToUpper(fs::path(name).extension().string()) == ".POT") << name << " was not generated";
    for (const auto& [name, bytes] : fresh) {
        auto it = built.find(name);
        ASSERT_NE(it, built.end()) << name;
        EXPECT_TRUE(it->second == bytes) << name << " differs between runs";
    }
}

TEST(GeneratedContent, GeneratorRefusesBadArguments) {
    test::TempDir dir;
    EXPECT_NE(test::RunShell(kGenerator.string(), dir).exitCode, 0);
    EXPECT_NE(test::RunShell(kGenerator.string() + " --out " + (dir / "x").string() + " --levels /nonexistent/levels", dir)
                  .exitCode,
              0);
}

TEST(GeneratedContent, BankCheckIsClean) {
    test::TempDir dir;
    const test::ToolRun run = test::RunTool("bank-check --data " + kData.string(), dir);
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("\"ok\": true"), std::string::npos) << run.out;
}

TEST(GeneratedContent, BankCoversEveryMechanism) {
    SettingsFile bank = Bank();
    int defined = 0;
    std::map<std::string, int> flagCount;
    const char* flags[] = {"Dig", "Recover", "Ladder", "Lever", "Door", "BlockKey", "BlockSensor", "Spring",
                           "Timer", "1UP", "Light", "Death", "CanPush", "Morph", "Lingot"};
    for (int i = 0; i <= 256; ++i) {
        std::string section = "Object " + std::to_string(i);
        if (bank.GetString(section, "Cube").empty()) continue;
        ++defined;
        EXPECT_FALSE(bank.GetString(section, "Name").empty()) << section << " has no name for the editor list";
        for (const char* f : flags) flagCount[f] += bank.GetFlag(section, f);
        // Pick-ups must let the hero walk into their cell.
        for (const char* pickup : {"Lingot", "Timer", "1UP", "Light", "Spring"}) {
            if (bank.GetFlag(section, pickup)) {
                EXPECT_EQ(ToUpper(bank.GetString(section, "Collision")), "FALSE") << section;
            }
        }
    }
    EXPECT_GE(defined, 30);
    for (const char* f : flags) EXPECT_GE(flagCount[f], 1) << "no object type is " << f;

    // The editor's New fills the floor with type 1; the status bar counts type 20.
    EXPECT_EQ(ToUpper(bank.GetString("Object 1", "Cube")), "TRUE");
    EXPECT_TRUE(bank.GetFlag("Object 20", "Lingot"));
    int door = bank.GetInt("Object 20", "LingotDoor", 0);
    EXPECT_TRUE(bank.GetFlag("Object " + std::to_string(door), "Door"));

    // Every link between types names a defined type of the right kind.
    for (int i = 0; i <= 256; ++i) {
        std::string s = "Object " + std::to_string(i);
        auto defined_ = [&](const char* key, const char* needFlag) {
            int t = bank.GetInt(s, key, 0);
            if (t == 0) return;
            EXPECT_FALSE(bank.GetString("Object " + std::to_string(t), "Cube").empty()) << s << " " << key;
            if (needFlag) {
                EXPECT_TRUE(bank.GetFlag("Object " + std::to_string(t), needFlag)) << s << " " << key;
            }
        };
        if (bank.GetFlag(s, "Dig")) defined_("DigAnim", nullptr);
        if (bank.GetFlag(s, "Recover")) defined_("RecoverAnim", nullptr);
        if (bank.GetFlag(s, "Lever")) defined_("LeverAnim", nullptr), defined_("LeverOpen", nullptr), defined_("LeverDoor", "Door");
        if (bank.GetFlag(s, "BlockKey")) defined_("BlockKeySensor", "BlockSensor");
        if (bank.GetFlag(s, "BlockSensor")) defined_("BlockSensorDoor", "Door");
        if (bank.GetFlag(s, "Door")) defined_("AnimDoor", nullptr);
    }

    // Title music, credits music in clip 1, and a two-shot cinematic.
    EXPECT_FALSE(bank.GetString("Clip 0", "Music").empty());
    EXPECT_FALSE(bank.GetString("Clip 1", "Music").empty());
    bool cinematic = false;
    for (int c = 0; c <= 64; ++c) {
        std::string s = "Clip " + std::to_string(c);
        if (bank.GetInt(s, "Frame_0_Duration", 0) > 0 && bank.GetInt(s, "Frame_1_Duration", 0) > 0 &&
            bank.GetString(s, "Frame_0_Text").find('|') != std::string::npos)
            cinematic = true;
    }
    EXPECT_TRUE(cinematic);
}

TEST(GeneratedContent, EveryFileTheBankNamesExists) {
    SettingsFile bank = Bank();
    Bytes bytes = Read("Standard.bnk");
    std::istringstream text(std::string(bytes.begin(), bytes.end()));
    std::string line;
    int checked = 0;
    while (std::getline(text, line)) {
        auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string key = Trim(line.substr(0, eq)), value = Trim(line.substr(eq + 1));
        std::string upper = ToUpper(value);
        if (upper.size() > 4 && upper.substr(upper.size() - 4) == ".3DO") {
            EXPECT_TRUE(Exists("3DO/GAME/" + value)) << key << "=" << value;
            ++checked;
        } else if (upper.size() > 4 && (upper.substr(upper.size() - 4) == ".WAV" || upper.substr(upper.size() - 4) == ".MOD")) {
            EXPECT_TRUE(Exists(value)) << key << "=" << value;
            ++checked;
        }
    }
    EXPECT_GT(checked, 80);
    for (const char* fixed : {"3do/editor/exit.3do", "3do\\Game\\Transi1.3do", "3do\\Game\\Transi2.3do", "3do\\Game\\Transi3.3do",
                              "3DO/GAME/podium.3do", "3DO/GAME/flag.3do", "3do/editor/select.3do", "3do/editor/start.3do",
                              "3do/editor/eventa.3do", "3do/editor/eventA.3do", "3do/editor/clip.3do", "3do/editor/event.3do",
                              "3do/editor/eventP.3do", "INTERF\\CHOIX.WAV", "INTERF\\CLIC.WAV", "INTERF\\TIMER.WAV", "game.dat"})
        EXPECT_TRUE(Exists(fixed)) << fixed;
}

TEST(GeneratedContent, TitleClipIsTheIntroVideoThenTheTitleTune) {
    SettingsFile bank = Bank();
    const std::string video = bank.GetString("Clip 0", "Video");
    ASSERT_FALSE(video.empty());
    Bytes b = Read(video);
    // An uncompressed YUV4MPEG2 stream: a header line, then frames of
    // "FRAME\n" and a 4:2:0 picture, nothing left over; 3 to 10 seconds.
    const std::string head(b.begin(), std::find(b.begin(), b.end(), '\n'));
    ASSERT_EQ(head.rfind("YUV4MPEG2 ", 0), 0u) << head;
    int width = 0, height = 0, rate = 0, scale = 1;
    std::istringstream words(head.substr(10));
    for (std::string w; words >> w;) {
        if (w[0] == 'W') width = std::stoi(w.substr(1));
        if (w[0] == 'H') height = std::stoi(w.substr(1));
        if (w[0] == 'F') rate = std::stoi(w.substr(1)), scale = std::stoi(w.substr(w.find(':') + 1));
        if (w[0] == 'C') {
            EXPECT_EQ(w.rfind("C420", 0), 0u) << w;
        }
    }
    ASSERT_GT(width * height * rate * scale, 0) << head;
    const std::size_t frameBytes = 6 + static_cast<std::size_t>(width * height) * 3 / 2;
    const std::size_t body = b.size() - head.size() - 1;
    EXPECT_EQ(body % frameBytes, 0u);
    const double seconds = static_cast<double>(body / frameBytes) * scale / rate;
    EXPECT_GE(seconds, 3.0);
    EXPECT_LE(seconds, 10.0);
    EXPECT_LE(b.size(), 12u << 20) << "the intro should stay modest";

    // After the video: the same tune on its own, in a clip that does not lead back.
    const int next = bank.GetInt("Clip 0", "NextClip", -1);
    ASSERT_GT(next, 0);
    const std::string section = "Clip " + std::to_string(next);
    EXPECT_EQ(bank.GetString(section, "Music"), bank.GetString("Clip 0", "Music"));
    EXPECT_TRUE(bank.GetString(section, "Video").empty());
    EXPECT_EQ(bank.GetInt(section, "NextClip", -1), -1);
}

TEST(GeneratedContent, ALevelPlaysACdTrackThatExists) {
    SettingsFile bank = Bank();
    std::set<int> cdClips;
    for (int c = 0; c <= 64; ++c) {
        const std::string music = ToUpper(bank.GetString("Clip " + std::to_string(c), "Music"));
        if (music.rfind("CDAUDIO_", 0) != 0 || music.size() != 10) continue;
        const std::string track = "CDAUDIO/TRACK" + music.substr(8) + ".WAV";
        EXPECT_TRUE(Exists(track)) << track;
        cdClips.insert(c);
    }
    ASSERT_FALSE(cdClips.empty());
    int levels = 0;
    for (const auto& entry : fs::directory_iterator(kLevelSources)) {
        std::istringstream text(test::ReadText(entry.path()));
        for (std::string line; std::getline(text, line);) {
            const std::string l = Trim(line);
            if (l.rfind("music", 0) == 0 && l.find('=') != std::string::npos &&
                cdClips.count(std::stoi(l.substr(l.find('=') + 1))))
                ++levels;
        }
    }
    EXPECT_GE(levels, 1);
}

TEST(GeneratedContent, TextureBankHoldsTexturesAndAnimatedSlots) {
    std::string bankName = Bank().GetString("General", "Texture");
    Bytes bytes = Read(bankName);
    std::istringstream text(std::string(bytes.begin(), bytes.end()));
    std::string line;
    bool images = false, textures = false;
    int imageCount = 0, animated = 0;
    std::set<int> imageNumbers;
    while (std::getline(text, line)) {
        std::string l = ToUpper(Trim(line));
        if (l == "#IMAGES") images = true, textures = false;
        else if (l == "#TEXTURES") textures = true, images = false;
        else if (images && l.find('=') != std::string::npos) {
            std::string file = l.substr(l.find('=') + 1);
            Picture p = LoadPcx(DataResolver(kData), file);
            EXPECT_EQ(p.width, 128) << file;
            EXPECT_EQ(p.height, 128) << file;
            imageNumbers.insert(std::stoi(l.substr(0, l.find('='))));
            ++imageCount;
        } else if (textures && l.find('=') != std::string::npos) {
            std::string range = l.substr(l.find('=') + 1);
            int first = std::stoi(range.substr(0, range.find('-'))), last = std::stoi(range.substr(range.find('-') + 1));
            for (int i = std::min(first, last); i <= std::max(first, last); ++i) EXPECT_TRUE(imageNumbers.count(i)) << l;
            animated += first != last;
        }
    }
    EXPECT_GE(imageCount, 24);
    EXPECT_GE(animated, 3);
}

TEST(GeneratedContent, InterfacePicturesHaveAnOddStoredMaxX) {
    int pictures = 0;
    for (const auto& entry : fs::directory_iterator(kData / "INTERF")) {
        if (ToUpper(entry.path().extension().string()) != ".PCX") continue;
        Bytes bytes = *ReadFileBytes(entry.path(), kMaxMediaFileBytes);
        ASSERT_GT(bytes.size(), 128u + 768u);
        EXPECT_EQ(bytes[8] & 1, 1) << entry.path().filename() << " would be refused";
        EXPECT_NO_THROW(DecodePcx(bytes, entry.path().filename().string(), true)) << entry.path().filename();
        ++pictures;
    }
    EXPECT_GE(pictures, 12);
}

// Cuts a font picture the way the game does and counts the glyphs that fit.
int CutGlyphs(const Picture& p, int cellW, int cellH, int glyphW, int glyphH, int* emptyGlyphs) {
    int x = 0, y = 0, count = 0;
    *emptyGlyphs = 0;
    for (int i = 0; i < 100; ++i) {
        if (x + glyphW > p.width || y + glyphH > p.height) break;
        bool any = false;
        for (int gy = 0; gy < glyphH; ++gy)
            for (int gx = 0; gx < glyphW; ++gx) any |= p.pixels[static_cast<std::size_t>((y + gy) * p.width + x + gx)] != 0;
        *emptyGlyphs += !any;
        ++count;
        if (x + cellW < p.width - glyphW) {
            x += cellW;
        } else {
            x = 0;
            y += cellH;
        }
    }
    return count;
}

TEST(GeneratedContent, FontsYieldOneHundredGlyphs) {
    DataResolver data(kData);
    int empty = 0;
    Picture small = LoadPcx(data, "INTERF/SMALFONT.PCX", true);
    EXPECT_EQ(CutGlyphs(small, 4, 8, 3, 7, &empty), 100);
    EXPECT_EQ(empty, 1);  // only the space
    Picture big = LoadPcx(data, "INTERF/BIGFONT.PCX", true);
    EXPECT_EQ(CutGlyphs(big, 9, 16, 8, 15, &empty), 100);
    EXPECT_EQ(empty, 1);
}

TEST(GeneratedContent, HeroPosesShareOneVertexList) {
    SettingsFile bank = Bank();
    std::vector<std::string> keys = {"Hero_0", "Hero_1", "Hero_2", "Hero_3", "Hero_Walk1", "Hero_Walk2", "Hero_Walk3", "Hero_Walk4",
                                     "Hero_Fall", "Hero_Crouch", "Hero_Dead", "Hero_Ladder1", "Hero_Ladder2", "Hero_Shoot"};
    DataResolver data(kData);
    std::size_t vertices = 0, faces = 0;
    for (const std::string& key : keys) {
        MeshRef mesh;
        ASSERT_NO_THROW(LoadMesh(data, "3DO/GAME/" + bank.GetString("General", key), mesh)) << key;
        if (vertices == 0) vertices = mesh->VertexCount(), faces = mesh->FaceCount();
        EXPECT_EQ(mesh->VertexCount(), vertices) << key;
        EXPECT_EQ(mesh->FaceCount(), faces) << key;
    }
    // Frames an object blends between must match too.
    for (int i = 0; i <= 256; ++i) {
        std::string s = "Object " + std::to_string(i);
        if (!bank.GetFlag(s, "Morph")) continue;
        std::size_t first = 0;
        for (int f = 1; f <= 32 && !bank.GetString(s, "Mesh" + std::to_string(f)).empty(); ++f) {
            MeshRef mesh;
            LoadMesh(data, "3DO/GAME/" + bank.GetString(s, "Mesh" + std::to_string(f)), mesh);
            if (f == 1) first = mesh->VertexCount();
            EXPECT_EQ(mesh->VertexCount(), first) << s << " frame " << f;
        }
    }
}

TEST(GeneratedContent, TransitionsHaveSixteenFaces) {
    DataResolver data(kData);
    for (const char* name : {"3do\\Game\\Transi1.3do", "3do\\Game\\Transi2.3do", "3do\\Game\\Transi3.3do"}) {
        MeshRef mesh;
        LoadMesh(data, name, mesh);
        EXPECT_EQ(mesh->FaceCount(), 16u) << name;
    }
}

TEST(GeneratedContent, SoundsAreWavePcmAndMusicIsModules) {
    int sounds = 0, modules = 0;
    for (const auto& entry : fs::recursive_directory_iterator(kData)) {
        std::string ext = ToUpper(entry.path().extension().string());
        if (ext == ".WAV") {
            Bytes b = *ReadFileBytes(entry.path(), kMaxMediaFileBytes);
            ASSERT_GT(b.size(), 44u) << entry.path();
            ByteReader r(b);
            EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
            EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ");
            EXPECT_EQ(r.U16(20), 1) << "PCM";
            EXPECT_EQ(r.U32(4), b.size() - 8) << entry.path();
            EXPECT_EQ(r.U32(40), b.size() - 44) << entry.path();
            ++sounds;
        } else if (ext == ".MOD") {
            Bytes b = *ReadFileBytes(entry.path(), kMaxMediaFileBytes);
            ASSERT_GT(b.size(), 1084u);
            EXPECT_EQ(std::string(b.begin() + 1080, b.begin() + 1084), "M.K.") << entry.path();
            // Pattern count from the order table, sample lengths from the headers: the file holds exactly both.
            int songLength = b[950], patterns = 0;
            for (int i = 0; i < 128; ++i) patterns = std::max(patterns, b[952 + i] + 1);
            EXPECT_GE(songLength, 1);
            std::size_t samples = 0;
            for (int s = 0; s < 31; ++s) samples += 2u * ((b[20 + s * 30 + 22] << 8) | b[20 + s * 30 + 23]);
            EXPECT_EQ(b.size(), 1084u + static_cast<std::size_t>(patterns) * 1024u + samples) << entry.path();
            ++modules;
        }
    }
    EXPECT_GE(sounds, 20);
    EXPECT_GE(modules, 4);
}

TEST(GeneratedContent, CreditsSurviveTheLineReader) {
    Bytes b = Read("game.dat");
    std::string text(b.begin(), b.end());
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find("\r\n", at);
        ASSERT_NE(end, std::string::npos) << "every line ends with CR LF";
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    ASSERT_GE(lines.size(), 10u);
    EXPECT_LE(lines.size(), 1001u);
    int headings = 0;
    for (const std::string& stored : lines) {
        EXPECT_EQ(stored.find_first_of("\r\n"), std::string::npos);
        std::string line = Scramble(stored);
        ASSERT_FALSE(line.empty());
        headings += line[0] == '&';
        for (char c : line) EXPECT_TRUE(c >= 32 && c <= 126) << "unprintable credit character";
    }
    EXPECT_GE(headings, 3);
}

struct LevelFacts {
    std::string name;
    std::unique_ptr<World> world = std::make_unique<World>();
};

std::vector<LevelFacts> LoadCampaign() {
    DataResolver data(kData);
    Random random;
    std::vector<LevelFacts> levels;
    for (const std::string& path : ListLevels(data)) {
        LevelFacts facts;
        facts.name = path;
        LevelLoadContext context{data, random, 0, {}};
        LoadLevelFile(*facts.world, context, path, "High");
        levels.push_back(std::move(facts));
    }
    return levels;
}

constexpr int kOpenViewCells = 3;

TEST(GeneratedContent, CampaignLevelsArePlayable) {
    SettingsFile bank = Bank();
    auto solid = [&](Cell c) {
        if (c == 0) return false;
        std::string s = "Object " + std::to_string(c);
        return !bank.GetString(s, "Cube").empty() && ToUpper(bank.GetString(s, "Collision", "TRUE")) == "TRUE" && !bank.GetFlag(s, "Death");
    };
    auto levels = LoadCampaign();
    ASSERT_GE(levels.size(), 12u);
    int outside = 0, withSentries = 0, withScripts = 0;
    for (const LevelFacts& level : levels) {
        const World& w = *level.world;
        SCOPED_TRACE(level.name);
        EXPECT_GE(w.sizeX, 8);
        EXPECT_LE(w.sizeX, 40);
        EXPECT_LE(w.sizeY, 12);
        EXPECT_LE(w.sizeZ, 40);
        EXPECT_FALSE(w.description.empty());
        EXPECT_FALSE(w.author.empty());
        ASSERT_TRUE(w.InGrid(w.startX, w.startY, w.startZ));
        EXPECT_EQ(GetCell(w, w.startX, w.startY, w.startZ), 0) << "start cell not empty";
        EXPECT_TRUE(solid(GetCell(w, w.startX, w.startY - 1, w.startZ))) << "start not above a floor";
        ASSERT_TRUE(w.InGrid(w.exitX, w.exitY, w.exitZ));
        EXPECT_EQ(GetCell(w, w.exitX, w.exitY, w.exitZ), 0);
        EXPECT_TRUE(solid(GetCell(w, w.exitX, w.exitY - 1, w.exitZ))) << "exit not above a floor";
        int ingots = 0, doors = 0;
        for (Cell c : w.cells) ingots += c == 20, doors += c == bank.GetInt("Object 20", "LingotDoor", 0);
        EXPECT_GE(ingots, 1);
        EXPECT_LE(ingots, 99);
        EXPECT_GE(doors, 1) << "no ingot door";
        for (int i = 0; i < w.sentryCount; ++i) {
            const SentryState& s = w.sentries[static_cast<std::size_t>(i)];
            EXPECT_EQ(GetCell(w, CellOf(s.x), CellOf(s.y), CellOf(s.z)), 0) << "sentry inside a block";
        }
        for (const EventMarker& m : w.eventMarkers) {
            if (m.x == kFreeMarker) continue;
            EXPECT_TRUE(w.InGrid(m.x, m.y, m.z));
            EXPECT_FALSE(w.behaviours[static_cast<std::size_t>(m.behaviour)].name.empty()) << "marker runs an unnamed behaviour";
            ++withScripts;
        }
        for (const ClipMarker& m : w.clipMarkers) {
            if (m.x != kFreeMarker) {
                EXPECT_TRUE(bank.SectionHasKeys("Clip " + std::to_string(m.clip))) << "clip " << m.clip;
            }
        }
        // The first picture looks into the level: along the start heading, at
        // the eye or one layer above it (over a ledge), the view runs at least
        // three cells before it meets a cube.
        const double turn = w.startHeading * 3.1415 / 16384;
        double open = 0;
        for (int above : {0, 1}) {
            const double eyeY = w.startY * 512.0 + 224 + 50 + 512.0 * above;
            double d = 0;
            for (; d < kOpenViewCells * 512.0; d += 16) {
                const double x = w.startX * 512.0 + 256 + std::sin(turn) * d, z = w.startZ * 512.0 + 256 + std::cos(turn) * d;
                if (x < 0 || z < 0) break;
                const Cell c = GetCell(w, CellOf(static_cast<float>(x)), CellOf(static_cast<float>(eyeY)),
                                       CellOf(static_cast<float>(z)));
                if (c != 0 && !bank.GetString("Object " + std::to_string(c), "Cube").empty()) break;
            }
            open = std::max(open, d);
        }
        EXPECT_GE(open, kOpenViewCells * 512.0) << "the start heading faces a wall " << open << " units away";
        outside += w.outsideLevel;
        withSentries += w.sentryCount > 0;
    }
    EXPECT_GE(outside, 1);
    EXPECT_GE(withSentries, 1);
    EXPECT_GE(withScripts, 4);
}

TEST(GeneratedContent, LevelsAreInFileNameOrderWithFirstStepsFirst) {
    auto names = ListLevels(DataResolver(kData));
    ASSERT_FALSE(names.empty());
    EXPECT_NE(ToUpper(names.front()).find("FIRST"), std::string::npos);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
}


// Plays a recorded input through one of the games, headless, with the extra
// options given, and returns the game's state dump at the end of the run.
nlohmann::json PlayReplay(const fs::path& game, const fs::path& replay, const std::string& options) {
    test::TempDir dir;
    const fs::path state = dir / "state.json";
    const test::ToolRun run =
        test::RunShell("SDL_AUDIODRIVER=dummy " + game.string() + " --data " + kData.string() + " --headless " + options +
                           " --input " + replay.string() + " --dump-state " + state.string(),
                       dir);
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    auto bytes = ReadFileBytes(state, kMaxMediaFileBytes);
    if (!bytes) {
        ADD_FAILURE() << "no state dump: " << run.out << run.err;
        return nlohmann::json::object();
    }
    return nlohmann::json::parse(std::string(bytes->begin(), bytes->end()));
}

// Plays a recorded input through one of the games, headless, and checks from
// its state dump that the level was finished.  `options` may add --no-draw.
void ExpectReplayFinishes(const fs::path& game, const fs::path& replay, const std::string& options = "") {
    std::string level = "LEVEL/" + ToUpper(replay.stem().string()) + ".LEV";
    SCOPED_TRACE(game.filename().string() + " " + level);
    auto dump = PlayReplay(game, replay, "--level " + level + " " + options);
    // Finishing the only level loaded moves on to level index 1 and the end credits.
    EXPECT_EQ(dump["levelIndex"], 1) << dump.dump();
    EXPECT_EQ(dump["ingots"], 0);
    EXPECT_EQ(dump["dead"], false);
}

// The replay of a campaign level as ListLevels names it ("LEVEL\\NAME.LEV"):
// content/replays/name.txt, the file stem in lower case.
fs::path ReplayFor(const std::string& levelName) {
    std::string stem = levelName.substr(levelName.find_last_of("\\/") + 1);
    stem = stem.substr(0, stem.rfind('.'));
    std::transform(stem.begin(), stem.end(), stem.begin(), [](unsigned char c) { return std::tolower(c); });
    return kLevelSources.parent_path() / "replays" / (stem + ".txt");
}

// The replay files of the campaign's levels, by file name; the finale's is
// left to FinaleLeadsToTheEndCredits, which plays it inside the campaign.
std::vector<std::string> LevelReplays() {
    std::vector<std::string> names;
    std::error_code ec;
    const fs::path replays = kLevelSources.parent_path() / "replays";
    std::string finale;
    for (const auto& entry : fs::directory_iterator(kLevelSources, ec))
        if (entry.path().extension() == ".lvl") finale = std::max(finale, entry.path().stem().string() + ".txt");
    for (const auto& entry : fs::directory_iterator(replays, ec)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() == ".txt" && name != finale) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Plays a script headless through game_soft, optionally stopping after a
// number of frames, and returns the state dump.  The rules only: drawing
// changes nothing in the game (SoftGameDrawsTheSameGameAsItsRules), and
// without it these long checks take seconds rather than minutes in the
// sanitizer build.
nlohmann::json PlayScript(const fs::path& script, const std::string& level, long frames) {
    const fs::path game = fs::path(ZQ_BUILD_DIR) / "game_soft";
    test::TempDir dir;
    const fs::path state = dir / "state.json";
    const test::ToolRun run = test::RunShell(
        "SDL_AUDIODRIVER=dummy " + game.string() + " --data " + kData.string() + " --headless --no-draw --level " + level +
            " --input " + script.string() + (frames > 0 ? " --frames " + std::to_string(frames) : "") +
            " --dump-state " + state.string(),
        dir);
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    auto bytes = ReadFileBytes(state, kMaxMediaFileBytes);
    if (!bytes) return {};
    return nlohmann::json::parse(std::string(bytes->begin(), bytes->end()));
}

// A hero who steps into the hole he dug over the sunken vault's plate lands
// inside the still closed vault; its spring must throw him back up to the
// gallery instead of leaving him shut in with no way but a restart.
TEST(GeneratedContent, HeroWhoDropsIntoTheSunkenVaultGetsOut) {
    if (!fs::exists(fs::path(ZQ_BUILD_DIR) / "game_soft")) GTEST_SKIP() << "the game is not built here";
    const fs::path script = kLevelSources.parent_path() / "replays" / "checks" / "14_vault_hole_escape.txt";
    const std::string level = "LEVEL/14_THE_SUNKEN_VAULT.LEV";
    auto cellOf = [](const nlohmann::json& dump, const char* axis) {
        return static_cast<int>(dump["hero"][axis].get<double>()) / 512;
    };
    nlohmann::json inside = PlayScript(script, level, 850);
    ASSERT_FALSE(inside.is_null());
    EXPECT_EQ(cellOf(inside, "y"), 1) << "not down on the vault floor";
    EXPECT_GE(cellOf(inside, "z"), 9) << "not inside the vault";
    EXPECT_LE(cellOf(inside, "x"), 10);
    EXPECT_GE(cellOf(inside, "x"), 7);

    nlohmann::json after = PlayScript(script, level, 0);
    ASSERT_FALSE(after.is_null());
    EXPECT_EQ(after["dead"], false);
    EXPECT_EQ(after["levelIndex"], 0);
    EXPECT_EQ(cellOf(after, "y"), 3) << "not back on the gallery";
    EXPECT_EQ(after["hero"]["onGround"], true);
}

// The loose roof's idea: once the hero has stood at the lever, the rock
// that fell into the passage keeps him from walking back to the gallery.
TEST(GeneratedContent, LooseRoofShutsThePassageBehindTheLever) {
    if (!fs::exists(fs::path(ZQ_BUILD_DIR) / "game_soft")) GTEST_SKIP() << "the game is not built here";
    const fs::path script = kLevelSources.parent_path() / "replays" / "checks" / "17_roof_shuts_passage.txt";
    nlohmann::json after = PlayScript(script, "LEVEL/17_THE_LOOSE_ROOF.LEV", 0);
    ASSERT_FALSE(after.is_null());
    EXPECT_EQ(after["dead"], false);
    const int cellX = static_cast<int>(after["hero"]["x"].get<double>()) / 512;
    const int cellZ = static_cast<int>(after["hero"]["z"].get<double>()) / 512;
    EXPECT_EQ(cellZ, 11) << "not in the passage's row";
    EXPECT_GE(cellX, 13) << "walked back through the passage";
}

// The cell of the hero in a state dump, on one axis.
int HeroCell(const nlohmann::json& dump, const char* axis) {
    return static_cast<int>(dump["hero"][axis].get<double>()) / 512;
}

// The moat's lever pulled from its south side, before the mine: the stones
// must drop so the hero stands on the far bank, the lift must still take
// him down to the mine and back up with its gold, and the level must still
// be finished with all seven ingots.
TEST(GeneratedContent, MoatLeverFirstStillLeavesTheMineOpen) {
    if (!fs::exists(fs::path(ZQ_BUILD_DIR) / "game_soft")) GTEST_SKIP() << "the game is not built here";
    const fs::path script = kLevelSources.parent_path() / "replays" / "checks" / "19_lever_first.txt";
    const std::string level = "LEVEL/19_THE_MOAT.LEV";
    nlohmann::json across = PlayScript(script, level, 417);
    ASSERT_FALSE(across.is_null());
    EXPECT_EQ(across["dead"], false);
    EXPECT_EQ(HeroCell(across, "x"), 12) << "not on the far bank of the moat";
    EXPECT_EQ(HeroCell(across, "y"), 4);

    nlohmann::json mine = PlayScript(script, level, 1264);
    ASSERT_FALSE(mine.is_null());
    EXPECT_EQ(mine["dead"], false);
    EXPECT_EQ(mine["lives"], across["lives"]) << "died on the way";
    EXPECT_EQ(mine["ingots"], 4) << "the mine's three ingots were not all taken";
    EXPECT_EQ(HeroCell(mine, "y"), 4) << "not back up from the mine";

    nlohmann::json after = PlayScript(script, level, 0);
    ASSERT_FALSE(after.is_null());
    EXPECT_EQ(after["levelIndex"], 1) << "the level was not finished: " << after.dump();
    EXPECT_EQ(after["ingots"], 0);
    EXPECT_EQ(after["dead"], false);
}

// The ferry gone empty to the east dock while the hero stands on the west
// landing: it must come back for him, or the east bank is out of reach.
TEST(GeneratedContent, FerryComesBackForAHeroLeftOnTheBank) {
    if (!fs::exists(fs::path(ZQ_BUILD_DIR) / "game_soft")) GTEST_SKIP() << "the game is not built here";
    const fs::path script = kLevelSources.parent_path() / "replays" / "checks" / "18_left_on_the_bank.txt";
    const std::string level = "LEVEL/18_THE_FERRY.LEV";
    nlohmann::json left = PlayScript(script, level, 1000);
    ASSERT_FALSE(left.is_null());
    EXPECT_EQ(HeroCell(left, "x"), 4) << "not on the west landing";
    EXPECT_EQ(HeroCell(left, "z"), 12);

    nlohmann::json after = PlayScript(script, level, 0);
    ASSERT_FALSE(after.is_null());
    EXPECT_EQ(after["dead"], false);
    EXPECT_EQ(after["lives"], left["lives"]) << "died on the way";
    EXPECT_GE(HeroCell(after, "x"), 13) << "not over on the east bank";
    EXPECT_EQ(HeroCell(after, "y"), 4);
}

// The moat's lift left empty for the top while the hero is below: it must
// come back down for him, or the mine holds him for good.
TEST(GeneratedContent, MoatLiftComesBackForAHeroLeftInTheMine) {
    if (!fs::exists(fs::path(ZQ_BUILD_DIR) / "game_soft")) GTEST_SKIP() << "the game is not built here";
    const fs::path script = kLevelSources.parent_path() / "replays" / "checks" / "19_left_in_the_mine.txt";
    const std::string level = "LEVEL/19_THE_MOAT.LEV";
    nlohmann::json below = PlayScript(script, level, 300);
    ASSERT_FALSE(below.is_null());
    EXPECT_EQ(HeroCell(below, "y"), 2) << "not left in the mine";
    EXPECT_EQ(HeroCell(below, "z"), 9);

    nlohmann::json after = PlayScript(script, level, 0);
    ASSERT_FALSE(after.is_null());
    EXPECT_EQ(after["dead"], false);
    EXPECT_EQ(after["lives"], below["lives"]) << "died on the way";
    EXPECT_EQ(HeroCell(after, "y"), 4) << "the lift did not take him back up";
    EXPECT_EQ(HeroCell(after, "z"), 7);
}

// The dark foundry's pit walked into before both keys lie on their plates:
// the sensor door is still shut, so the ladder on the pit's east wall must
// take the hero back up to the gallery, from where he finishes the level.
TEST(GeneratedContent, DarkFoundryPitHasAWayBackOut) {
    if (!fs::exists(fs::path(ZQ_BUILD_DIR) / "game_soft")) GTEST_SKIP() << "the game is not built here";
    const fs::path script = kLevelSources.parent_path() / "replays" / "checks" / "24_off_the_rim.txt";
    const std::string level = "LEVEL/24_THE_DARK_FOUNDRY.LEV";
    nlohmann::json pit = PlayScript(script, level, 800);
    ASSERT_FALSE(pit.is_null());
    EXPECT_EQ(HeroCell(pit, "y"), 1) << "did not walk off the rim into the pit";
    EXPECT_EQ(pit["dead"], false);

    nlohmann::json out = PlayScript(script, level, 992);
    ASSERT_FALSE(out.is_null());
    EXPECT_EQ(HeroCell(out, "y"), 4) << "not back up on the gallery";
    EXPECT_GE(HeroCell(out, "x"), 24);

    nlohmann::json after = PlayScript(script, level, 0);
    ASSERT_FALSE(after.is_null());
    EXPECT_EQ(after["levelIndex"], 1) << "the level was not finished: " << after.dump();
    EXPECT_EQ(after["ingots"], 0);
    EXPECT_EQ(after["lives"], pit["lives"]) << "died on the way";
}

// The dark foundry's clock cannot be walked round: a hero on the north bank
// who heads for the key along another row than the clock's is stopped by the
// wall across the bank, east of the key, with no clock started.
TEST(GeneratedContent, DarkFoundryClockStandsInTheOnlyWayToTheKey) {
    if (!fs::exists(fs::path(ZQ_BUILD_DIR) / "game_soft")) GTEST_SKIP() << "the game is not built here";
    const fs::path script = kLevelSources.parent_path() / "replays" / "checks" / "24_round_the_clock.txt";
    nlohmann::json after = PlayScript(script, "LEVEL/24_THE_DARK_FOUNDRY.LEV", 0);
    ASSERT_FALSE(after.is_null());
    EXPECT_EQ(HeroCell(after, "y"), 7) << "not on the north bank";
    EXPECT_EQ(HeroCell(after, "z"), 28) << "not on the bank's third row";
    EXPECT_EQ(HeroCell(after, "x"), 22) << "not stopped by the wall east of the key";
    EXPECT_EQ(after["timerRunning"], false);
}

// The dark foundry's row of spikes on the north bank is jumped on the race
// to the key, and back again: a hero who crossed it is not shut in beyond.
TEST(GeneratedContent, DarkFoundrySpikesAreJumpedBothWays) {
    if (!fs::exists(fs::path(ZQ_BUILD_DIR) / "game_soft")) GTEST_SKIP() << "the game is not built here";
    const fs::path script = kLevelSources.parent_path() / "replays" / "checks" / "24_spikes_both_ways.txt";
    const std::string level = "LEVEL/24_THE_DARK_FOUNDRY.LEV";
    nlohmann::json across = PlayScript(script, level, 1109);
    ASSERT_FALSE(across.is_null());
    EXPECT_EQ(across["dead"], false);
    EXPECT_EQ(HeroCell(across, "y"), 7) << "not on the north bank";
    EXPECT_EQ(HeroCell(across, "z"), 25) << "not in the cell in front of the key";
    EXPECT_EQ(across["timerRunning"], true);

    nlohmann::json back = PlayScript(script, level, 0);
    ASSERT_FALSE(back.is_null());
    EXPECT_EQ(back["dead"], false);
    EXPECT_EQ(back["lives"], 3) << "died jumping back";
    EXPECT_EQ(HeroCell(back, "y"), 7);
    EXPECT_GE(HeroCell(back, "z"), 27) << "not back north of the spikes";
}

// The crown's wall-walk played in the wrong order: without the lever the iron
// door keeps the hero off the timber walk; turning back onto the fallen timber
// kills him instead of shutting him in; and from the courtyard a ladder leads
// back up to the walls.
TEST(GeneratedContent, CrownWallWalkHasNoTrap) {
    if (!fs::exists(fs::path(ZQ_BUILD_DIR) / "game_soft")) GTEST_SKIP() << "the game is not built here";
    const fs::path checks = kLevelSources.parent_path() / "replays" / "checks";
    const std::string level = "LEVEL/25_THE_CROWN_OF_THE_MOUNTAIN.LEV";

    nlohmann::json door = PlayScript(checks / "25_door_without_lever.txt", level, 0);
    ASSERT_FALSE(door.is_null());
    EXPECT_EQ(door["dead"], false);
    EXPECT_EQ(HeroCell(door, "y"), 4) << "fell off the wall-walk";
    EXPECT_EQ(HeroCell(door, "z"), 29);
    EXPECT_GE(HeroCell(door, "x"), 26) << "got past the iron door without the lever";

    nlohmann::json timber = PlayScript(checks / "25_back_onto_fallen_timber.txt", level, 0);
    ASSERT_FALSE(timber.is_null());
    EXPECT_EQ(timber["lives"], door["lives"].get<int>() - 1) << "not killed below the fallen timber";
    EXPECT_EQ(timber["levelIndex"], 0);

    nlohmann::json ladder = PlayScript(checks / "25_courtyard_ladder.txt", level, 0);
    ASSERT_FALSE(ladder.is_null());
    EXPECT_EQ(ladder["dead"], false);
    EXPECT_EQ(ladder["lives"], door["lives"]);
    EXPECT_EQ(HeroCell(ladder, "y"), 4) << "not back up on the walls";
    EXPECT_GE(HeroCell(ladder, "x"), 26);
}

// The keep roof's trapdoor dug while the roof's other gold is still out: the
// hero lands one cell down on the shut golden door and must be able to jump
// back out before the cracked brick grows back, not be shut in or killed.
TEST(GeneratedContent, CrownTrapdoorDugEarlyLetsTheHeroOut) {
    if (!fs::exists(fs::path(ZQ_BUILD_DIR) / "game_soft")) GTEST_SKIP() << "the game is not built here";
    const fs::path script = kLevelSources.parent_path() / "replays" / "checks" / "25_trapdoor_before_the_last_gold.txt";
    const std::string level = "LEVEL/25_THE_CROWN_OF_THE_MOUNTAIN.LEV";
    nlohmann::json inHole = PlayScript(script, level, 2301);
    ASSERT_FALSE(inHole.is_null());
    EXPECT_EQ(inHole["dead"], false);
    EXPECT_EQ(HeroCell(inHole, "y"), 6) << "not down in the trapdoor's hole";
    EXPECT_EQ(inHole["ingots"], 1);

    nlohmann::json after = PlayScript(script, level, 0);
    ASSERT_FALSE(after.is_null());
    EXPECT_EQ(after["dead"], false);
    EXPECT_EQ(after["lives"], inHole["lives"]) << "died getting out";
    EXPECT_EQ(after["levelIndex"], 0);
    EXPECT_EQ(HeroCell(after, "y"), 7) << "not back up on the keep roof";
    EXPECT_EQ(after["ingots"], 1);
}

// The downs' spiked ha-ha crossed before the meadow's gold is taken: the
// hero must be able to jump back from the east bank to the west half of the
// terrace, where the key and the spring are, without losing a life.
TEST(GeneratedContent, DownsHaHaJumpsBackBothWays) {
    if (!fs::exists(fs::path(ZQ_BUILD_DIR) / "game_soft")) GTEST_SKIP() << "the game is not built here";
    const fs::path script = kLevelSources.parent_path() / "replays" / "checks" / "21_ha_ha_both_ways.txt";
    const std::string level = "LEVEL/21_THE_ROLLING_DOWNS.LEV";
    nlohmann::json across = PlayScript(script, level, 258);
    ASSERT_FALSE(across.is_null());
    EXPECT_EQ(across["dead"], false);
    EXPECT_GE(HeroCell(across, "x"), 14) << "not on the ha-ha's east bank";
    EXPECT_EQ(HeroCell(across, "y"), 3);

    nlohmann::json back = PlayScript(script, level, 0);
    ASSERT_FALSE(back.is_null());
    EXPECT_EQ(back["dead"], false);
    EXPECT_EQ(back["lives"], 3) << "died jumping back";
    EXPECT_LE(HeroCell(back, "x"), 11) << "not back on the ha-ha's west bank";
    EXPECT_EQ(HeroCell(back, "y"), 3);
    EXPECT_EQ(back["ingots"], 6);
}

// Recorded inputs that finish campaign levels, played by the real game
// headless: a change of the levels or of the rules that makes one of them
// unfinishable shows up here.  One test per replay, so that each has its own
// time limit and they can run side by side.
class ReplaysFinishTheirLevels : public testing::TestWithParam<std::string> {};

// The rules only (--no-draw): a drawn replay takes a minute in the sanitizer
// build on a busy machine, the rules alone a few seconds, to the same end.
TEST_P(ReplaysFinishTheirLevels, Replay) {
    const fs::path game = fs::path(ZQ_BUILD_DIR) / "game_soft";
    if (!fs::exists(game)) GTEST_SKIP() << "the game is not built here";
    ExpectReplayFinishes(game, kLevelSources.parent_path() / "replays" / GetParam(), "--no-draw");
}

// What the long checks rely on: a game drawn frame by frame ends exactly as
// the same input played with its rules only.
TEST(GeneratedContent, SoftGameDrawsTheSameGameAsItsRules) {
    const fs::path game = fs::path(ZQ_BUILD_DIR) / "game_soft";
    if (!fs::exists(game)) GTEST_SKIP() << "the game is not built here";
    const fs::path replay = kLevelSources.parent_path() / "replays" / "03_dig_deep.txt";
    const nlohmann::json drawn = PlayReplay(game, replay, "--level LEVEL/03_DIG_DEEP.LEV");
    const nlohmann::json rules = PlayReplay(game, replay, "--level LEVEL/03_DIG_DEEP.LEV --no-draw");
    EXPECT_EQ(drawn, rules) << drawn.dump() << "\n" << rules.dump();
    EXPECT_EQ(drawn["levelIndex"], 1);
}

INSTANTIATE_TEST_SUITE_P(GeneratedContent, ReplaysFinishTheirLevels, testing::ValuesIn(LevelReplays()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param.substr(0, info.param.rfind('.'));
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

// A level that lands without a solution replay would go unchecked by the
// test above; the replay carries the level file's stem.
TEST(GeneratedContent, EveryCampaignLevelHasAReplay) {
    for (const std::string& name : ListLevels(DataResolver(kData)))
        EXPECT_TRUE(fs::exists(ReplayFor(name))) << name << " has no replay";
    EXPECT_GE(LevelReplays().size(), 8u);
}

// The finale played inside the whole campaign (not as a lone level): its exit
// must lead to the end credits, which only follow the last level of the list.
TEST(GeneratedContent, FinaleLeadsToTheEndCredits) {
    const fs::path game = fs::path(ZQ_BUILD_DIR) / "game_soft";
    if (!fs::exists(game)) GTEST_SKIP() << "the game is not built here";
    auto names = ListLevels(DataResolver(kData));
    ASSERT_FALSE(names.empty());
    std::sort(names.begin(), names.end());
    // The finale's replay, then a few idle seconds for the fade into the credits.
    test::TempDir dir;
    const fs::path replay = dir / "finale.txt";
    auto script = ReadFileBytes(ReplayFor(names.back()), kMaxMediaFileBytes);
    ASSERT_TRUE(script) << names.back();
    std::string text(script->begin(), script->end());
    ASSERT_TRUE(WriteFileAtomic(replay, text + "\n100x 40 -\n"));
    auto dump = PlayReplay(game, replay, "--start-level " + std::to_string(names.size() - 1) + " --no-draw");
    EXPECT_EQ(dump["screen"], 10) << dump.dump();  // the end credits
    EXPECT_EQ(dump["levelIndex"], static_cast<int>(names.size())) << dump.dump();
    EXPECT_EQ(dump["ingots"], 0);
    EXPECT_EQ(dump["dead"], false);
}

// The OpenGL game runs the same rules; drawing through GL is slower headless,
// so it plays the shortest replay only (all of them play through it by hand:
// see the content README).
TEST(GeneratedContent, GlGameFinishesAReplay) {
    const fs::path game = fs::path(ZQ_BUILD_DIR) / "game_gl";
    if (!fs::exists(game)) GTEST_SKIP() << "the OpenGL game is not built here";
    ExpectReplayFinishes(game, kLevelSources.parent_path() / "replays" / "03_dig_deep.txt");
}

}  // namespace
}  // namespace zq
