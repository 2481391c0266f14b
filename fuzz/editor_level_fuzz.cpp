// A level and its behaviour script opened the way the level editor opens
// them: into a fresh World beside the open one, then the cursor jump, the
// name lists of the side panel, the level view with its markers and event
// areas (drawn by the software renderer, no window needed), a few key edits
// undone and redone, and Save.  A refused file leaves the open level, its name and the
// cursor alone; an accepted one keeps the cursor inside the grid and saves
// back byte for byte after a reload.
//
// The input is the level file; when its first byte is odd, the two bytes
// after it (little-endian) say where the level ends and the script begins.
#include <memory>

#include "core/errors.h"
#include "editor/editing.h"
#include "editor/editor_keys.h"
#include "editor/editor_commands.h"
#include "editor/editor_view.h"
#include "fuzz_util.h"
#include "render/soft/soft_back_end.h"
#include "rules/move_box.h"
#include "shell/audio.h"
#include "world/level_file.h"
#include "world/object_defs.h"

namespace {

using namespace zq;

constexpr int kViewWidth = 160;
constexpr int kViewHeight = 100;

std::uint64_t EditorDigest(const EditorState& s) {
    fuzz::Digest d;
    const Bytes level = SerializeLevel(*s.working);
    d.Add(level.data(), level.size());
    for (const Behaviour& b : s.working->behaviours) {
        d.Text(b.name);
        d.Add(b.steps.data(), sizeof b.steps);
    }
    d.Text(s.fileName);
    d.Value(s.modified);
    for (float v : {s.cursorTarget.x, s.cursorTarget.y, s.cursorTarget.z, s.cursorHeading}) d.Value(v);
    d.Value(s.selectedSentry);
    return d.Hash();
}

bool CursorInside(const EditorState& s) {
    const World& w = *s.working;
    const CellPos c = TargetCell(s);
    return c.x >= 0 && c.y >= 0 && c.z >= 0 && c.x < w.sizeX && c.y < w.sizeY && c.z < w.sizeZ;
}

struct Editor {
    Editor() : data(ZQ_FUZZ_DATA_DIR), graphics(MakeGraphics(PixelFormat::kIndexed)) {
        InitEditor(state);
        BankLoadContext context{data, *graphics, bank, audio, 0, nullptr, {}};
        LoadObjectDefinitions(*state.working, context, "Standard.bnk", "High");
        LoadEditorMarkers(data, graphics->flatPalette, markers);
        // A small open level instead of the 100-cell start: copying and
        // comparing it for every input would cost more than the input.
        InitNewLevel(*state.working, 8, 4, 8, 0);
        back.BindGraphics(*graphics);
        back.renderer.SetProjection(kViewWidth, kViewHeight);
        InitWorldDrawState(draw);
        hooks.shapeCube = [this](const World& world, int x, int y, int z) { ShapeCubeFaces(world, x, y, z, draw.cubeFaces); };
        fresh = std::make_unique<World>(*state.working);
    }

    DataResolver data;
    SilentAudio audio;
    SoftBackEnd back;
    std::unique_ptr<Graphics> graphics;
    BankAssets bank;
    EditorMarkers markers;
    WorldDrawState draw;
    WorldDrawHooks hooks;
    EditorState state;
    std::unique_ptr<World> fresh;  // the level the editor started with, bank loaded
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    static Editor editor;
    EditorState& s = editor.state;
    // Every input starts from the editor's own empty level.
    *s.working = *editor.fresh;
    ResetHistory(s);
    s.fileName = "before.lev";
    s.modified = true;
    JumpCursor(s, {4, 1, 4});
    s.selectedSentry = 0;

    std::size_t levelSize = size;
    if (size >= 3 && (bytes[0] & 1)) {
        levelSize = std::min<std::size_t>(size - 3, bytes[1] | (bytes[2] << 8));
        fuzz::WriteScratch("LEVEL/E.SCP", bytes + 3 + levelSize, size - 3 - levelSize);
        bytes += 3;
    } else {
        std::error_code ec;
        std::filesystem::remove(fuzz::ScratchFolder() / "LEVEL/E.SCP", ec);
    }
    const std::string path = fuzz::WriteScratch("LEVEL/E.LEV", bytes, levelSize).string();

    const std::uint64_t before = EditorDigest(s);
    try {
        LoadLevel(s, editor.data, path, LevelLoadHooks{});
    } catch (const LoadError&) {
        fuzz::Check(EditorDigest(s) == before, "a refused level leaves the open one alone");
        return 0;
    }
    fuzz::Check(s.fileName == path && !s.modified, "the loaded file is the open one, unmodified");

    // The first frame holds the cursor inside the grid, wherever the start was.
    ClampCursor(s);
    FollowCursor(s, 1000);
    fuzz::Check(CursorInside(s), "the cursor stays inside the grid");
    const World& w = *s.working;
    for (const auto& list : {ObjectNames(w), ClipNames(w), BehaviourNames(w)}) (void)list;
    (void)ClipMarkerAt(w, TargetCell(s));
    (void)EventMarkerAt(w, TargetCell(s));
    EditorViewParts parts{editor.markers, editor.bank, editor.draw, editor.hooks, editor.back.FogClearColour()};
    DrawEditorView(s, editor.back.renderer, parts);

    // Edits through the keyboard, each its own undo step: undone they bring
    // the loaded level back, redone the edited one.
    const Bytes loaded = SerializeLevel(*s.working);
    s.paintObject = 1;
    EditorKeyMemory memory;
    std::int64_t now = 0;
    for (EditorKey key : {EditorKey::Space, EditorKey::Up, EditorKey::E, EditorKey::D, EditorKey::Delete, EditorKey::S}) {
        PressEditorKey(s, memory, {key}, now);
        ReleaseEditorKey(s, memory, key);
        EditorFrame(s, memory, now += 16, 16);
    }
    const Bytes edited = SerializeLevel(*s.working);
    while (Undo(s)) {}
    fuzz::Check(SerializeLevel(*s.working) == loaded, "Undo restores the loaded level");
    while (Redo(s)) {}
    fuzz::Check(SerializeLevel(*s.working) == edited, "Redo brings every edit back");
    while (Undo(s)) {}

    const std::string copy = (fuzz::ScratchFolder() / "LEVEL/F.LEV").string();
    fuzz::Check(SaveLevel(s, copy).ok, "the scratch folder takes the save");
    EditorState again;
    again.working->objectDefs = editor.fresh->objectDefs;
    LoadLevel(again, editor.data, copy, LevelLoadHooks{});
    fuzz::Check(SerializeLevel(*again.working) == loaded, "save -> load -> save is byte-exact");
    return 0;
}
