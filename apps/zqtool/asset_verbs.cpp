// Verbs for meshes, PCX pictures and bank files.
#include <filesystem>
#include <map>
#include <set>

#include "assets/graphics.h"
#include "assets/mesh.h"
#include "assets/pcx.h"
#include "core/errors.h"
#include "core/file_io.h"
#include "core/resolver.h"
#include "core/settings_file.h"
#include "world/object_defs.h"
#include "tool.h"

namespace zq::tool {

namespace {

using nlohmann::json;

json BoundsJson(const Bounds& b) {
    return {{"Xmin", b[kXmin]},   {"Xmax", b[kXmax]},   {"Ymin", b[kYmin]},   {"Zmin", b[kZmin]},   {"Zmax", b[kZmax]},
            {"Ymax1", b[kYmax1]}, {"Ymax2", b[kYmax2]}, {"Ymax3", b[kYmax3]}, {"Ymax4", b[kYmax4]}};
}

// The file as the game reads it: at most `limit` bytes of a mesh (the rest is
// never looked at), and a picture only when it is no longer than `limit`.
Bytes ReadInput(const std::string& path, std::uintmax_t limit, bool prefix) {
    BoundedRead read = prefix ? ReadRegularFilePrefix(path, limit) : ReadRegularFile(path, limit);
    if (!read.bytes) throw ToolError("cannot read " + path + ": " + read.why);
    return std::move(*read.bytes);
}

json MeshInfo(const Args& args) {
    CommandLine line = CommandLine::Parse(args, {});
    const std::string& path = line.Positional(0, "FILE.3do");
    Mesh mesh;
    std::string why;
    if (!ParseMesh(ReadInput(path, kMaxMeshFileBytes, true), mesh, why)) throw ToolError(path + ": " + why);
    std::map<int, int> kinds;
    for (const MeshFace& face : mesh.faces) ++kinds[face.kind];
    json kindCounts = json::object();
    for (const auto& [kind, count] : kinds) kindCounts[std::to_string(kind)] = count;
    return {{"vertices", mesh.VertexCount()}, {"faces", mesh.FaceCount()}, {"bounds", BoundsJson(MeshBounds(&mesh))},
            {"kinds", kindCounts}};
}

json PcxInfo(const Args& args) {
    CommandLine line = CommandLine::Parse(args, {}, {"interface"});
    const std::string& path = line.Positional(0, "FILE.pcx");
    Picture picture = DecodePcx(ReadInput(path, kMaxPcxFileBytes, false), path, line.Flag("interface"));
    json info = {{"width", picture.width}, {"height", picture.height}};
    json palette = json::array();
    for (std::size_t i = 0; i < static_cast<std::size_t>(kPaletteSize); ++i)
        palette.push_back({picture.palette.red[i], picture.palette.green[i], picture.palette.blue[i]});
    info["palette"] = palette;
    if (static_cast<long>(picture.width) * picture.height <= 4096) {
        json rows = json::array();
        for (int y = 0; y < picture.height; ++y) {
            auto start = picture.pixels.begin() + static_cast<std::ptrdiff_t>(y) * picture.width;
            rows.push_back(std::vector<int>(start, start + picture.width));
        }
        info["pixels"] = rows;
    }
    return info;
}

// Remembers which file each sound slot was given, and which of them are missing.
class CheckingSounds : public SoundSlots {
public:
    explicit CheckingSounds(const DataResolver& data) : data_(data) {}
    void LoadSound(std::int32_t slot, const std::string& fileName) override {
        names[slot] = fileName;
        if (!data_.Find(fileName)) missing.insert(fileName);
    }
    std::map<std::int32_t, std::string> names;
    std::set<std::string> missing;

private:
    const DataResolver& data_;
};

struct LoadedBank {
    DataResolver data;
    std::unique_ptr<Graphics> graphics = MakeGraphics(PixelFormat::kRgba);
    BankAssets assets;
    std::unique_ptr<World> world = std::make_unique<World>();
    CheckingSounds sounds{data};

    explicit LoadedBank(std::filesystem::path root) : data(std::move(root)) {}
    // The OpenGL build's storage: nothing is written (no blend-table cache).
    void Load(const std::string& name, AssetProblems* problems) {
        BankLoadContext context{data, *graphics, assets, sounds, 0, problems, {}};
        LoadObjectDefinitions(*world, context, name, "High");
    }
    json SoundName(SoundRef slot) const {
        auto it = sounds.names.find(slot);
        return it == sounds.names.end() ? json(nullptr) : Text(it->second);
    }
};

json ObjectJson(const LoadedBank& bank, int index) {
    const ObjectDef& d = bank.world->objectDefs[static_cast<std::size_t>(index)];
    json o = {{"index", index},
              {"Name", Text(d.name)},
              {"Cube", d.cube},
              {"Transparency", d.transparency},
              {"Lever", d.lever},
              {"LeverAnim", d.leverAnim},
              {"LeverOpen", d.leverOpen},
              {"LeverDoor", d.leverDoor},
              {"Light", d.light},
              {"Spring", d.spring},
              {"1UP", d.oneUp},
              {"Timer", d.timer},
              {"TimerDuration", d.timerDuration},
              {"Lingot", d.lingot},
              {"LingotDoor", d.lingotDoor},
              {"Dig", d.dig},
              {"Recover", d.recover},
              {"DigAnim", d.digAnim},
              {"RecoverAnim", d.recoverAnim},
              {"Ladder", d.ladder},
              {"BlockKey", d.blockKey},
              {"BlockKeySensor", d.blockKeySensor},
              {"BlockSensor", d.blockSensor},
              {"BlockSensorDoor", d.blockSensorDoor},
              {"Door", d.door},
              {"AnimDoor", d.animDoor},
              {"DoorOpen", d.doorOpen},
              {"Death", d.death},
              {"Collision", d.collision},
              {"CanPush", d.canPush},
              {"Morph", d.morph},
              {"AnimateCollision", d.animateCollision},
              {"StepSound", bank.SoundName(d.stepSound)},
              {"LoopSound", bank.SoundName(d.loopSound)},
              {"ActionSound", bank.SoundName(d.actionSound)},
              {"ActionVolume", d.actionVolume},
              {"LoopDuration", d.loopDuration},
              {"LoopVolume", d.loopVolume}};
    if (d.cube) {
        const char* faces = "ABCDEF";
        for (std::size_t f = 0; f < 6; ++f) {
            o[std::string("Face") + faces[f] + "Color"] = d.faceColor[f];
            o[std::string("Face") + faces[f] + "Texture"] = d.faceTexture[f];
        }
    }
    o["animFrameCount"] = d.animFrameCount;
    o["animSpeed"] = d.animSpeed;
    o["bounds"] = BoundsJson(d.bounds);
    return o;
}

json ClipJson(const LoadedBank& bank, int index) {
    const ClipDef& c = bank.world->clips[static_cast<std::size_t>(index)];
    json frames = json::array();
    for (const ClipFrame& f : c.frames) {
        json meshes = json::array();
        for (const ClipMesh& m : f.meshes)
            meshes.push_back({{"Index_A", m.indexA}, {"A", m.placeA}, {"Index_B", m.indexB}, {"B", m.placeB}});
        frames.push_back({{"A", f.cameraA},
                          {"B", f.cameraB},
                          {"Duration", f.duration},
                          {"Text", Text(f.text)},
                          {"A_AmbientLightPercent", f.ambientPercentA},
                          {"B_AmbientLightPercent", f.ambientPercentB},
                          {"Sample", bank.SoundName(f.sample)},
                          {"meshes", meshes}});
    }
    return {{"index", index},
            {"Name", Text(c.name)},
            {"Music", Text(c.music)},
            {"Video", Text(c.video)},
            {"NextClip", c.nextClip},
            {"MusicLoop", c.musicLoop},
            {"PlayedSingle", c.playedSingle},
            {"Cinemascope", c.cinemascope},
            {"Object_0", c.objects[0] != nullptr},
            {"Object_1", c.objects[1] != nullptr},
            {"hasFrames", c.hasFrames},
            {"frames", frames}};
}

json BankInfo(const Args& args) {
    CommandLine line = CommandLine::Parse(args, {"data"});
    std::string name = line.Positional(0, "FILE.bnk");
    // Without --data the bank is read with the files of its own folder.
    std::filesystem::path root;
    if (line.Option("data")) {
        root = DataFolder(line);
    } else {
        const std::filesystem::path file(name);
        root = file.has_parent_path() ? file.parent_path() : std::filesystem::current_path();
        name = file.filename().string();
    }
    LoadedBank bank(root);
    bank.Load(name, nullptr);
    auto path = bank.data.Find(name);
    auto file = path ? SettingsFile::Load(*path) : std::nullopt;
    if (!file) throw ToolError("cannot read " + name);

    json objects = json::array();
    for (int i = 0; i < kObjectTypeCount; ++i)
        if (!bank.world->objectDefs[static_cast<std::size_t>(i)].undefined) objects.push_back(ObjectJson(bank, i));
    json clips = json::array();
    for (int i = 0; i < kClipCount; ++i)
        if (file->SectionHasKeys("Clip " + std::to_string(i))) clips.push_back(ClipJson(bank, i));
    return {{"texture", Text(bank.assets.textureBank)}, {"objects", objects}, {"clips", clips}};
}

int BankCheck(const Args& args) {
    CommandLine line = CommandLine::Parse(args, {"data"});
    LoadedBank bank(DataFolder(line));
    AssetProblems problems;
    try {
        bank.Load("Standard.bnk", &problems);
    } catch (const FatalError& e) {
        problems.push_back({"Standard.bnk", e.what()});
    }
    for (const std::string& missing : bank.sounds.missing)
        problems.push_back({missing, "the sound file " + missing + " is missing (it would play as silence)"});
    json list = json::array();
    for (const AssetProblem& p : problems) list.push_back({{"file", Text(p.file)}, {"error", Text(p.error)}});
    Print({{"ok", problems.empty()}, {"problems", list}});
    return problems.empty() ? 0 : 1;
}

int PrintResult(json (*fn)(const Args&), const Args& args) {
    Print(fn(args));
    return 0;
}

const RegisterVerb kMeshInfo("mesh-info", "FILE.3do", [](const Args& a) { return PrintResult(MeshInfo, a); });
const RegisterVerb kPcxInfo("pcx-info", "FILE.pcx [--interface]", [](const Args& a) { return PrintResult(PcxInfo, a); });
const RegisterVerb kBankInfo("bank-info", "[--data DIR] FILE.bnk", [](const Args& a) { return PrintResult(BankInfo, a); });
const RegisterVerb kBankCheck("bank-check", "[--data DIR]", BankCheck);

}  // namespace

}  // namespace zq::tool
