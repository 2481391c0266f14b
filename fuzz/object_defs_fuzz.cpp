// The object definitions file (the bank) naming files in a small data folder:
// a refused bank counts as not loaded, an accepted one uses only files from
// inside the data folder and sound slots that exist.
#include <memory>

#include "assets/mesh.h"
#include "assets/pcx.h"
#include "core/errors.h"
#include "fuzz_util.h"
#include "world/object_defs.h"

namespace {

using namespace zq;

// A mesh of `count` vertices: the count tells which file a loaded mesh came from.
Mesh MeshOf(int count) {
    MeshRef m;
    CreateMesh(m, static_cast<std::uint16_t>(count - 1), 0);
    for (int i = 0; i < count; ++i) {
        m->x[static_cast<std::size_t>(i)] = 100 * i;
        m->y[static_cast<std::size_t>(i)] = 50 * (i % 3);
        m->z[static_cast<std::size_t>(i)] = -30 * i;
    }
    m->faces[0] = {0, 1, 2, 5, 0, 0, kFaceTextured, 0};
    return *m;
}
constexpr int kOutsideVertices = 7;  // only the meshes outside the data folder have this many

Picture Square(int side) {
    Picture p;
    p.width = p.height = side;
    p.pixels.assign(static_cast<std::size_t>(side * side), 3);
    for (int i = 0; i < kPaletteSize; ++i) p.palette.red[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    return p;
}

class CheckedSounds : public SoundSlots {
public:
    void LoadSound(std::int32_t slot, const std::string&) override {
        fuzz::Check(slot >= 0 && slot < kBankSoundSlotCount, "sound slots within the bank's range");
    }
};

struct State {
    std::filesystem::path root = fuzz::ScratchFolder() / "data";
    DataResolver data{root};
    std::unique_ptr<Graphics> graphics = MakeGraphics(PixelFormat::kRgba);
    BankAssets assets;
    CheckedSounds sounds;
    std::unique_ptr<World> world = std::make_unique<World>();
    State() {
        auto put = [](const std::string& name, const Bytes& bytes) { fuzz::WriteScratch(name, bytes); };
        fuzz::WriteScratch("data/TEX.TXT", std::string_view("#IMAGES\n1=T/A.PCX\n2=T/A.PCX\n#TEXTURES\n1=1-2\n"));
        put("data/T/A.PCX", EncodePcx(Square(128)));
        const Bytes mesh = SerializeMesh(MeshOf(4));
        put("data/3do/editor/exit.3do", mesh);
        for (const char* name : {"Transi1.3do", "Transi2.3do", "Transi3.3do", "podium.3do", "flag.3do", "hero.3do", "a.3do"})
            put(std::string("data/3do/Game/") + name, mesh);
        put("data/3do/Game/tall.3do", SerializeMesh(MeshOf(3)));
        // Files a hostile bank may try to reach outside the data folder.
        put("outside.3do", SerializeMesh(MeshOf(kOutsideVertices)));
        put("3do/Game/outside.3do", SerializeMesh(MeshOf(kOutsideVertices)));
        fuzz::WriteScratch("OUT.TXT", std::string_view("#IMAGES\n1=data/T/A.PCX\n"));
    }
};

bool FromOutside(const MeshRef& mesh) { return mesh && mesh->VertexCount() == kOutsideVertices; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    static State state;
    if (size == 0) return 0;
    fuzz::WriteScratch("data/F.BNK", bytes + 1, size - 1);
    BankLoadContext context{state.data, *state.graphics, state.assets, state.sounds, 0, nullptr, {}};
    state.assets.loadedName.clear();  // load every time
    try {
        LoadObjectDefinitions(*state.world, context, "F.BNK", (bytes[0] & 1) ? "High" : "Low");
    } catch (const FatalError&) {
        fuzz::Check(state.assets.loadedName.empty(), "a refused bank counts as not loaded");
        return 0;
    }
    fuzz::Check(state.graphics->bankName != "OUT.TXT" && state.graphics->bankName.find("..") == std::string::npos,
                "the texture bank comes from inside the data folder");
    for (const ObjectDef& def : state.world->objectDefs) {
        for (const MeshRef& m : def.meshes) fuzz::Check(!FromOutside(m), "meshes come from inside the data folder");
        fuzz::Check(def.animFrameCount >= 0 && def.animFrameCount <= kMaxMeshFrames, "frame counts within the table");
        fuzz::Check(def.animPosition >= 0 && (def.animFrameCount == 0 || def.animPosition < static_cast<float>(def.animFrameCount)),
                    "animation position within its frames");
    }
    for (const ClipDef& clip : state.world->clips) {
        for (const MeshRef& m : clip.objects) fuzz::Check(!FromOutside(m), "clip meshes come from inside the data folder");
    }
    fuzz::Check(!FromOutside(state.world->skyMesh), "the sky comes from inside the data folder");
    for (const HeroAssets& hero : state.assets.heroes) fuzz::Check(!FromOutside(hero.mesh), "heroes come from inside");
    fuzz::Check(!FromOutside(state.assets.sentryMesh), "the sentry comes from inside");
    return 0;
}
