// Reading the bank file into the object types, clips and asset slots.
#include "world/object_defs.h"

#include <algorithm>
#include <limits>

#include "assets/image_slots.h"
#include "assets/mesh.h"
#include "assets/texture_bank.h"
#include "core/errors.h"
#include "core/file_io.h"
#include "core/settings_file.h"
#include "core/text.h"

namespace zq {

namespace {

const char* const kMeshFolder = "3DO/GAME/";
const char* const kPoseKeys[kHeroPoseCount - 1] = {"Hero_Walk1",   "Hero_Walk2",   "Hero_Walk3", "Hero_Walk4",
                                                   "Hero_Fall",    "Hero_Crouch",  "Hero_Dead",  "Hero_Ladder1",
                                                   "Hero_Ladder2", "Hero_Shoot"};

std::int32_t ClampBound(std::int64_t value) {
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

class BankReader {
public:
    BankReader(World& world, BankLoadContext& context, const SettingsFile& file)
        : world_(world), ctx_(context), file_(file) {}

    // Runs `load`; a FatalError is recorded when problems are collected, else passed on.
    template <typename Fn>
    void Attempt(const std::string& fileName, Fn&& load) {
        try {
            load();
        } catch (const FatalError& e) {
            if (!ctx_.problems) throw;
            ctx_.problems->push_back({fileName, e.what()});
        }
    }

    void LoadMeshInto(const std::string& path, MeshRef& mesh) {
        Attempt(path, [&] { LoadMesh(ctx_.data, path, mesh, &ctx_.graphics.scratchMesh); });
    }
    void GameMesh(const std::string& value, MeshRef& mesh) { LoadMeshInto(kMeshFolder + value, mesh); }

    // A key whose presence matters ("Sky", "MeshN", "Object_n", "Frame_f_A"):
    // an empty value reads as a missing key, never as the folder itself.
    std::optional<std::string> Value(const std::string& section, const std::string& key) const {
        auto value = file_.Find(section, key);
        if (value && value->empty()) return std::nullopt;
        return value;
    }

    // Loads the sound named by a key into `slot`; an empty value loads nothing.
    SoundRef Sound(const std::string& section, const std::string& key, SoundRef slot, bool upper) {
        std::string name = file_.GetString(section, key);
        if (upper) name = ToUpper(name);
        if (name.empty()) return kNoSound;
        ctx_.sounds.LoadSound(slot, name);
        return slot;
    }

    void TextureBank() {
        std::string bank = file_.GetString("General", "Texture");
        if (EqualsNoCase(bank, ctx_.assets.textureBank)) return;
        bool ok = true;
        Attempt(bank, [&] {
            try {
                LoadTextureBank(ctx_.graphics, ctx_.data, bank, ctx_.problems);
            } catch (...) {
                ok = false;
                throw;
            }
        });
        Attempt("INTERF", [&] { LoadInterfaceImages(ctx_.graphics, ctx_.data, ctx_.problems); });
        if (ok) ctx_.assets.textureBank = bank;
    }

    void FixedMeshes() {
        BankAssets& a = ctx_.assets;
        LoadMeshInto("3do/editor/exit.3do", a.exitMesh);
        if (a.exitMesh) {
            auto white = NearestColour(ctx_.graphics.flatPalette, 255, 255, 255, 0, 255);
            for (MeshFace& face : a.exitMesh->faces) {
                face.kind = kFaceFlat;
                face.material = white;
                face.transparency = 0;
            }
        }
        for (int t = 0; t < 3; ++t) {
            MeshRef& mesh = a.transitionMeshes[static_cast<std::size_t>(t)];
            LoadMeshInto("3do\\Game\\Transi" + std::to_string(t + 1) + ".3do", mesh);
            if (!mesh) continue;
            for (auto* axis : {&mesh->x, &mesh->y, &mesh->z})
                for (std::int32_t& v : *axis) v = ClampBound(std::int64_t{v} * 2);
        }
        GameMesh("podium.3do", a.podiumMesh);
        GameMesh("flag.3do", a.flagMesh);

        CreateMesh(a.quadMesh, 3, 1, &ctx_.graphics.scratchMesh);
        a.quadMesh->x = {0, 1000, 1000, 0};
        a.quadMesh->y = {0, 0, 100, 100};
        a.quadMesh->z = {0, 0, 0, 0};
        a.quadMesh->faces[0] = {0, 1, 2, 0, 1, 1, kFaceFlat, 0};
        a.quadMesh->faces[1] = {2, 3, 0, 0, 1, 1, kFaceFlat, 0};
        CreateMesh(a.triangleMesh, 2, 0, &ctx_.graphics.scratchMesh);
        a.triangleMesh->x = {0, -5, 5};
        a.triangleMesh->y = {-5, 5, 5};
        a.triangleMesh->z = {0, 0, 0};
        a.triangleMesh->faces[0] = {0, 1, 2, 0, 1, 1, kFaceFlat, 0};
    }

    void Actors() {
        for (int n = 0; n < kBankHeroCount; ++n) {
            HeroAssets& hero = ctx_.assets.heroes[static_cast<std::size_t>(n)];
            std::string first = file_.GetString("General", "Hero_" + std::to_string(n));
            GameMesh(first, hero.poseMesh[0]);
            GameMesh(first, hero.mesh);
            for (int p = 1; p < kHeroPoseCount; ++p)
                GameMesh(file_.GetString("General", kPoseKeys[p - 1]), hero.poseMesh[static_cast<std::size_t>(p)]);
            hero.hurtSound = Sound("General", "HurtSound", kHeroSoundSlot + 2 * n, false);
            hero.deathSound = Sound("General", "DeathSound", kHeroSoundSlot + 2 * n + 1, false);
            GameMesh(file_.GetString("General", "Shadow"), hero.shadowMesh);
        }
        GameMesh(file_.GetString("General", "Ennemy_Mesh"), ctx_.assets.sentryMesh);
        ctx_.assets.sentrySeenSound = Sound("General", "Ennemy_SeenSound", kSentrySoundSlot, false);
        ctx_.assets.sentryLostSound = Sound("General", "Ennemy_LostSound", kSentrySoundSlot + 1, false);
        if (auto sky = Value("General", "Sky")) GameMesh(*sky, world_.skyMesh);
    }

    void Clips() {
        for (int n = 0; n < kClipCount; ++n) {
            std::string section = "Clip " + std::to_string(n);
            if (!file_.SectionHasKeys(section)) continue;
            ClipDef& clip = world_.clips[static_cast<std::size_t>(n)];
            clip.name = file_.GetString(section, "Name");
            clip.music = file_.GetString(section, "Music");
            clip.video = file_.GetString(section, "Video");
            clip.nextClip = file_.GetInt(section, "NextClip", -1);
            clip.musicLoop = file_.GetFlag(section, "MusicLoop", false);
            clip.playedSingle = file_.GetFlag(section, "PlayedSingle", true);
            clip.cinemascope = file_.GetFlag(section, "Cinemascope", true);
            for (int o = 0; o < 2; ++o) {
                MeshRef& mesh = clip.objects[static_cast<std::size_t>(o)];
                if (auto name = Value(section, "Object_" + std::to_string(o))) {
                    GameMesh(*name, mesh);
                } else {
                    FreeMesh(mesh);
                }
            }
            clip.hasFrames = false;
            for (int f = 0; f < 2; ++f) {
                ClipFrame& frame = clip.frames[static_cast<std::size_t>(f)];
                std::string p = "Frame_" + std::to_string(f) + "_";
                auto a = Value(section, p + "A");
                if (!a) continue;
                ParseSixValues(*a, frame.cameraA);
                ParseSixValues(file_.GetString(section, p + "B"), frame.cameraB);
                frame.duration = file_.GetInt(section, p + "Duration", 0);
                if (frame.duration != 0) clip.hasFrames = true;
                frame.text = file_.GetString(section, p + "Text");
                frame.ambientPercentA = file_.GetInt(section, p + "A_AmbientLightPercent", 100);
                frame.ambientPercentB = file_.GetInt(section, p + "B_AmbientLightPercent", 100);
                frame.sample = Sound(section, p + "Sample", kClipSoundSlot + 2 * n + f, false);
                for (int m = 0; m < 2; ++m) {
                    ClipMesh& cm = frame.meshes[static_cast<std::size_t>(m)];
                    std::string key = p + "Mesh_" + std::to_string(m);
                    cm.indexA = file_.GetInt(section, key + "_Index_A", -1);
                    if (cm.indexA == -1) continue;
                    ParseSixValues(file_.GetString(section, key + "_A"), cm.placeA);
                    cm.indexB = file_.GetInt(section, key + "_Index_B", -1);
                    ParseSixValues(file_.GetString(section, key + "_B"), cm.placeB);
                }
            }
        }
    }

    void Objects() {
        for (ObjectDef& def : world_.objectDefs) def.undefined = true;
        for (int i = 0; i < kObjectTypeCount; ++i) Object(i);
    }

private:
    void Object(int index) {
        ObjectDef& def = world_.objectDefs[static_cast<std::size_t>(index)];
        const std::string s = "Object " + std::to_string(index);
        def.previousAnimPosition = 0;
        def.animSpeed = 0;
        std::string cube = file_.GetString(s, "Cube");
        if (cube.empty()) return;
        def.undefined = false;
        def.cube = ToUpper(cube) == "TRUE";

        auto flag = [&](const char* key, bool fallback = false) { return file_.GetFlag(s, key, fallback); };
        auto number = [&](const char* key, std::int32_t fallback) { return file_.GetInt(s, key, fallback); };
        // Keys that only matter under a flag are read only when it is set; when
        // it is not they take their defaults, so nothing stale from an earlier
        // bank survives.
        def.name = file_.GetString(s, "Name");
        def.transparency = static_cast<std::uint8_t>(number("Transparency", 0));
        def.lever = flag("Lever");
        def.leverAnim = def.lever ? number("LeverAnim", 0) : 0;
        def.leverOpen = def.lever ? number("LeverOpen", 0) : 0;
        def.leverDoor = def.lever ? number("LeverDoor", 0) : 0;
        def.light = flag("Light");
        def.spring = flag("Spring");
        def.oneUp = flag("1UP");
        def.timer = flag("Timer");
        def.timerDuration = def.timer ? number("TimerDuration", 10000) : 10000;
        def.lingot = flag("Lingot");
        def.lingotDoor = def.lingot ? number("LingotDoor", 0) : 0;
        def.dig = flag("Dig");
        def.recover = flag("Recover");
        def.digAnim = number("DigAnim", 0);
        def.recoverAnim = number("RecoverAnim", 0);
        def.ladder = flag("Ladder");
        def.blockKey = flag("BlockKey");
        def.blockKeySensor = number("BlockKeySensor", 0);
        def.blockSensor = flag("BlockSensor");
        def.blockSensorDoor = number("BlockSensorDoor", 0);
        def.door = flag("Door");
        def.animDoor = def.door ? number("AnimDoor", index) : index;
        def.doorOpen = def.door ? number("DoorOpen", index) : index;
        def.death = flag("Death");
        def.collision = flag("Collision", true);
        def.canPush = flag("CanPush");
        def.morph = flag("Morph");
        def.animateCollision = flag("AnimateCollision");
        SoundRef slot = kObjectSoundSlot + 3 * index;
        def.stepSound = Sound(s, "StepSound", slot, true);
        def.loopSound = Sound(s, "LoopSound", slot + 1, true);
        def.actionSound = Sound(s, "ActionSound", slot + 2, true);
        def.actionVolume = number("ActionVolume", 255);
        def.loopDuration = number("LoopDuration", 999000);
        def.loopVolume = number("LoopVolume", 255);

        if (def.cube) {
            def.bounds = {0, 511, 0, 0, 511, 511, 511, 511, 511};
            static const char* const kFaces = "ABCDEF";
            for (std::size_t f = 0; f < 6; ++f) {
                std::string face(1, kFaces[f]);
                def.faceColor[f] = static_cast<std::uint8_t>(number(("Face" + face + "Color").c_str(), 66));
                def.faceTexture[f] = static_cast<std::uint8_t>(number(("Face" + face + "Texture").c_str(), 0));
            }
            return;
        }
        MeshObject(def, s);
    }

    void MeshObject(ObjectDef& def, const std::string& s) {
        int count = 0;
        while (count < kMaxMeshFrames) {
            auto name = Value(s, "Mesh" + std::to_string(count + 1));
            if (!name) break;
            auto k = static_cast<std::size_t>(count);
            GameMesh(*name, def.meshes[k]);
            def.frameBounds[k] = MeshBounds(def.meshes[k].get());
            ++count;
        }
        for (int k = count; k < kMaxMeshFrames; ++k) FreeMesh(def.meshes[static_cast<std::size_t>(k)]);
        FreeMesh(def.firstMeshCopy);
        if (count > 0) CopyMesh(def.meshes[0], def.firstMeshCopy);
        def.animFrameCount = count;
        def.bounds = MeshBounds(count > 0 ? def.meshes[0].get() : nullptr);

        struct Override {
            const char* key;
            int first, last;  // bounds it replaces
        };
        static const Override kOverrides[] = {
            {"Xmin", kXmin, kXmin},   {"Xmax", kXmax, kXmax},   {"Ymin", kYmin, kYmin},
            {"Ymax", kYmax1, kYmax4}, {"Ymax1", kYmax1, kYmax1}, {"Ymax2", kYmax2, kYmax2},
            {"Ymax3", kYmax3, kYmax3}, {"Ymax4", kYmax4, kYmax4}, {"Zmin", kZmin, kZmin},
            {"Zmax", kZmax, kZmax},
        };
        for (const Override& o : kOverrides) {
            std::int32_t value = file_.GetInt(s, o.key, kNoBoundOverride);
            if (value == kNoBoundOverride) continue;
            std::int32_t bound = ClampBound(std::int64_t{value} + 256);
            for (int b = o.first; b <= o.last; ++b) {
                def.bounds[static_cast<std::size_t>(b)] = bound;
                // Frames 0..animFrameCount: the spare entry after the last frame too.
                for (int f = 0; f <= count; ++f) def.frameBounds[static_cast<std::size_t>(f)][static_cast<std::size_t>(b)] = bound;
            }
        }
        def.animSpeed = static_cast<float>(file_.GetInt(s, "Speed", 0) * 90.0 * 0.0001);
        if (!(def.animPosition >= 0 && def.animPosition < static_cast<float>(count))) def.animPosition = 0;
        def.meshReady = true;
        def.lastLoopTime = ctx_.now;
    }

    World& world_;
    BankLoadContext& ctx_;
    const SettingsFile& file_;
};

}  // namespace

Bounds MeshBounds(const Mesh* mesh) {
    std::int64_t b[kBoundCount] = {512, 0, 512, 512, 0, -512, -512, -512, -512};
    if (mesh) {
        for (std::size_t i = 0; i < mesh->VertexCount(); ++i) {
            b[kXmin] = std::min<std::int64_t>(b[kXmin], mesh->x[i]);
            b[kXmax] = std::max<std::int64_t>(b[kXmax], mesh->x[i]);
            b[kYmin] = std::min<std::int64_t>(b[kYmin], mesh->y[i]);
            b[kZmin] = std::min<std::int64_t>(b[kZmin], mesh->z[i]);
            b[kZmax] = std::max<std::int64_t>(b[kZmax], mesh->z[i]);
        }
        std::int64_t midX = (b[kXmin] + b[kXmax]) / 2, midZ = (b[kZmin] + b[kZmax]) / 2;
        for (std::size_t i = 0; i < mesh->VertexCount(); ++i) {
            bool right = mesh->x[i] >= midX, far = mesh->z[i] >= midZ;
            int quarter = !far ? (right ? kYmax2 : kYmax1) : (right ? kYmax3 : kYmax4);
            b[quarter] = std::max<std::int64_t>(b[quarter], mesh->y[i]);
        }
    }
    Bounds bounds{};
    for (int i = 0; i < kBoundCount; ++i) bounds[static_cast<std::size_t>(i)] = ClampBound(b[i] + 256);
    return bounds;
}

void LoadObjectDefinitions(World& world, BankLoadContext& context, const std::string& fileName,
                           const std::string& textureMode) {
    std::string name = ToUpper(fileName), mode = ToUpper(textureMode);
    BankAssets& assets = context.assets;
    if (!assets.loadedName.empty() && name == assets.loadedName && mode == assets.loadedMode) return;

    auto path = context.data.Find(fileName);
    std::optional<Bytes> bytes;
    if (path) bytes = ReadFileBytes(*path, kMaxSectionedFileBytes);
    if (!bytes) throw FatalError(MissingFileMessage(fileName));
    SettingsFile file = SettingsFile::FromText(std::string(bytes->begin(), bytes->end()));

    // Until the load completes it counts as not made, so a failed one is retried.
    assets.loadedName.clear();
    assets.textured = mode == "HIGH";
    BankReader reader(world, context, file);
    reader.TextureBank();
    reader.FixedMeshes();
    reader.Actors();
    reader.Clips();
    reader.Objects();
    assets.loadedName = name;
    assets.loadedMode = mode;
    if (context.afterLoad) context.afterLoad();
}

}  // namespace zq
