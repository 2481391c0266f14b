// Verbs that draw with the software renderer: a level from a camera, or one
// mesh, written as a PNG through the palette.
#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <memory>

#include "assets/colour_tables.h"
#include "assets/graphics.h"
#include "assets/mesh.h"
#include "assets/texture_bank.h"
#include "core/errors.h"
#include "core/resolver.h"
#include "core/settings_file.h"
#include "core/text.h"
#include "render/png_writer.h"
#include "render/soft/graphics_binding.h"
#include "render/soft/soft_renderer.h"
#include "render/world_draw.h"
#include "world/level_file.h"
#include "tool.h"

#if __has_include("world/object_defs.h")
#include "world/object_defs.h"
#define ZQ_HAVE_OBJECT_DEFS 1
#endif

namespace zq::tool {

namespace {

using nlohmann::json;

std::array<int, 2> ParseSize(const CommandLine& line) {
    std::array<int, 2> size{320, 240};
    if (const std::string* s = line.Option("size")) {
        const auto x = s->find_first_of("xX");
        const auto w = x == std::string::npos ? std::nullopt : ParseNumber(s->substr(0, x));
        const auto h = x == std::string::npos ? std::nullopt : ParseNumber(s->substr(x + 1));
        if (!w || !h || *w < 16 || *h < 16 || *w > 4096 || *h > 4096) throw ToolError("bad --size " + *s + " (WxH, 16..4096)");
        size = {*w, *h};
    }
    return size;
}

int IntOption(const CommandLine& line, const std::string& name, int fallback) {
    const std::string* s = line.Option(name);
    if (!s) return fallback;
    const auto v = ParseNumber(*s);
    if (!v) throw ToolError("bad --" + name + " " + *s);
    return *v;
}

// A grey ramp with a few hues, for meshes drawn without a data folder.
void UseBuiltInColours(Graphics& graphics) {
    Palette& p = graphics.mainPalette;
    for (int i = 0; i < 256; ++i) {
        const auto idx = static_cast<std::size_t>(i);
        const int ramp = i % 64 * 4, hue = i / 64;
        p.red[idx] = static_cast<std::uint8_t>(hue == 1 ? ramp : hue == 3 ? ramp * 3 / 4 : ramp);
        p.green[idx] = static_cast<std::uint8_t>(hue == 2 ? ramp : hue == 3 ? ramp * 3 / 4 : ramp * (hue == 0 ? 1 : 0) / 1);
        p.blue[idx] = static_cast<std::uint8_t>(hue == 3 ? ramp : hue == 0 ? ramp : 0);
    }
    graphics.flatPalette = p;
    for (int i = 0; i < 256; ++i) graphics.tables->flatRemap[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i == 0 ? 0 : std::clamp(i, 1, 254));
    SetFogColour(*graphics.tables, p, 0, 0, 0);
    BuildBlendTables(*graphics.tables, p);
}

// The texture bank a bank file names (section General, key Texture).
void LoadBankTextures(Graphics& graphics, const DataResolver& data, const std::string& bankName) {
    const auto bank = data.Find(bankName);
    if (!bank) throw FatalError(MissingFileMessage(bankName));
    const auto settings = SettingsFile::Load(*bank);
    if (!settings) throw FatalError(MissingFileMessage(bankName));
    const std::string texture = settings->GetString("General", "Texture", "");
    if (texture.empty()) throw ToolError(bankName + " names no texture bank");
    LoadTextureBank(graphics, data, texture);
}

void WriteFrame(const SoftRenderer& renderer, const std::string& out) {
    const SoftFrame& f = renderer.Frame();
    std::string why;
    if (!WritePalettedPng(out, f.pixels.data(), f.width, f.height, f.palette, why)) throw ToolError(why);
}

json RenderMesh(const Args& args) {
    CommandLine line = CommandLine::Parse(args, {"data", "yaw", "pitch", "out", "size"});
    const std::string& path = line.Positional(0, "FILE.3do");
    const auto size = ParseSize(line);
    const int yaw = IntOption(line, "yaw", 0), pitch = IntOption(line, "pitch", 0);
    const std::string out = line.Option("out") ? *line.Option("out") : "mesh.png";

    auto graphics = MakeGraphics(PixelFormat::kIndexed);
    MeshRef mesh;
    if (const std::string* dir = line.Option("data")) {
        DataResolver data{std::filesystem::path(*dir)};
        LoadBankTextures(*graphics, data, "Standard.bnk");
        SetFogColour(*graphics->tables, graphics->mainPalette, 0, 0, 0);
        LoadMesh(data, path, mesh);
    } else {
        UseBuiltInColours(*graphics);
        // A file named on the command line, wherever it is.
        const std::filesystem::path file = std::filesystem::absolute(path);
        LoadMesh(DataResolver(file.parent_path()), file.filename().string(), mesh);
    }

    // Frame the mesh: the eye looks along +z at its bounding box's centre from
    // far enough back for the whole box to fit the view.
    const auto [minX, maxX] = std::minmax_element(mesh->x.begin(), mesh->x.end());
    const auto [minY, maxY] = std::minmax_element(mesh->y.begin(), mesh->y.end());
    const auto [minZ, maxZ] = std::minmax_element(mesh->z.begin(), mesh->z.end());
    const double cx = (static_cast<double>(*minX) + *maxX) / 2, cy = (static_cast<double>(*minY) + *maxY) / 2,
                 cz = (static_cast<double>(*minZ) + *maxZ) / 2;
    const double radius = std::max(1.0, std::sqrt(std::pow(*maxX - cx, 2) + std::pow(*maxY - cy, 2) + std::pow(*maxZ - cz, 2)));
    const int distance = static_cast<int>(radius * 2.6) + 20;

    SoftRenderer renderer;
    renderer.SetProjection(size[0], size[1]);
    BindGraphics(renderer, *graphics);
    renderer.ClearFrame(FogClearColour(*graphics));
    const int eyeX = static_cast<int>(cx), eyeY = static_cast<int>(cy), eyeZ = static_cast<int>(cz) - distance;
    renderer.BeginFrame(eyeX, eyeY, eyeZ, 0, 0, 0);
    renderer.AddLight(eyeX, eyeY, eyeZ, distance * 3);
    renderer.AddMesh(*mesh, 0, 0, 0, -1, 0, 32, pitch, 0, yaw);
    renderer.EndFrame();
    renderer.Present();
    WriteFrame(renderer, out);
    return {{"out", out},
            {"triangles", renderer.TriangleCount()},
            {"vertices", mesh->VertexCount()},
            {"faces", mesh->FaceCount()}};
}

json RenderLevel(const Args& args) {
    CommandLine line = CommandLine::Parse(args, {"data", "camera", "size", "lamp", "out", "dig"});
    const std::string& path = line.Positional(0, "LEVEL.lev");
    const std::string* dir = line.Option("data");
    const std::string* cameraText = line.Option("camera");
    if (!cameraText) throw ToolError("render needs --camera X,Y,Z,HEADING,PITCH,ROLL");
    std::array<std::int32_t, 6> camera{};
    {
        std::size_t pos = 0;
        for (std::size_t i = 0; i < camera.size(); ++i) {
            const std::size_t end = i + 1 < camera.size() ? cameraText->find(',', pos) : cameraText->size();
            const auto value = end == std::string::npos ? std::nullopt : ParseNumber(Trim(cameraText->substr(pos, end - pos)));
            if (!value) throw ToolError("bad --camera " + *cameraText + " (X,Y,Z,HEADING,PITCH,ROLL)");
            camera[i] = *value;
            pos = end + 1;
        }
    }
    const auto size = ParseSize(line);
    const int lamp = IntOption(line, "lamp", 6144);
    const std::string out = line.Option("out") ? *line.Option("out") : "render.png";

    DataResolver data{dir ? std::filesystem::path(*dir) : std::filesystem::current_path()};
    auto graphics = MakeGraphics(PixelFormat::kIndexed);
    auto world = std::make_unique<World>();
    Random random;
    std::array<int, 3> fog{0, 0, 0};
    LevelLoadContext context{data, random, 0, {}};
    context.hooks.setFogColour = [&](std::uint8_t r, std::uint8_t g, std::uint8_t b) { fog = {r, g, b}; };
#ifdef ZQ_HAVE_OBJECT_DEFS
    auto assets = std::make_unique<BankAssets>();
    auto sounds = std::make_unique<SilentSoundSlots>();
    BankLoadContext bank{data, *graphics, *assets, *sounds, 0, nullptr, {}};
    context.hooks.loadObjectDefinitions = [&](World& w, const std::string& bankName, const std::string& mode) {
        LoadObjectDefinitions(w, bank, bankName, mode);
    };
#endif
    LoadLevelFile(*world, context, path, "High");
#ifndef ZQ_HAVE_OBJECT_DEFS
    LoadBankTextures(*graphics, data, world->bankName.empty() ? "Standard.bnk" : world->bankName);
#endif
    SetFogColour(*graphics->tables, graphics->mainPalette, fog[0], fog[1], fog[2]);

    SoftRenderer renderer;
    renderer.SetProjection(size[0], size[1]);
    BindGraphics(renderer, *graphics);
    WorldDrawState state;
    InitWorldDrawState(state);
    WorldDrawParams params;
    params.camera = {static_cast<float>(camera[0]), static_cast<float>(camera[1]), static_cast<float>(camera[2]),
                     camera[5], camera[4], camera[3]};
    params.lampRadius = static_cast<float>(lamp);
    params.clearColour = FogClearColour(*graphics);
#ifdef ZQ_HAVE_OBJECT_DEFS
    params.texturesOn = assets->textured;
#endif
    DrawWorld(*world, renderer, state, params, {});
    const int triangles = renderer.TriangleCount();
    renderer.EndFrame();
    renderer.Present();
    WriteFrame(renderer, out);
    return {{"out", out}, {"triangles", triangles}, {"dropped", renderer.Stats().dropped}};
}

const RegisterVerb kRenderMesh("render-mesh", "FILE.3do [--data DIR] [--yaw A] [--pitch A] [--size WxH] [--out FILE.png]",
                               [](const Args& args) {
                                   Print(RenderMesh(args));
                                   return 0;
                               });
const RegisterVerb kRender("render",
                           "LEVEL.lev --data DIR --camera X,Y,Z,HEADING,PITCH,ROLL [--size WxH] [--lamp R] [--out FILE.png]",
                           [](const Args& args) {
                               Print(RenderLevel(args));
                               return 0;
                           });

}  // namespace

}  // namespace zq::tool
