// In-memory meshes: the vertex and face arrays of a ".3do" file, the
// operations the loader, the animation code and the editor apply to them, and
// the six cube-side meshes every cube cell is drawn with.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/bytes.h"
#include "core/resolver.h"

namespace zq {

// One face: eight 16-bit words, exactly as stored in the file.
struct MeshFace {
    std::uint16_t a = 0;             // first vertex; for a sprite, its centre
    std::uint16_t b = 0;             // second vertex; for a sprite, its width in world units
    std::uint16_t c = 0;             // third vertex; for a sprite, its height in world units
    std::uint16_t material = 0;      // kinds 0..2: texture slot; kind 3+: flat palette colour
    std::uint16_t corner = 0;        // 0: a,b,c -> (0,0),(1,0),(1,1); 1: -> (1,1),(0,1),(0,0)
    std::uint16_t twoSided = 0;      // nonzero: never culled
    std::uint16_t kind = 0;          // 0 textured, 1 colour-keyed, 2 sprite, 3+ flat
    std::uint16_t transparency = 0;  // percent added to the owner's translucency
};

inline constexpr std::uint16_t kFaceTextured = 0;
inline constexpr std::uint16_t kFaceColourKeyed = 1;
inline constexpr std::uint16_t kFaceSprite = 2;
inline constexpr std::uint16_t kFaceFlat = 3;

// Coordinates are world units relative to the object's origin (a cell is 512),
// kept as three separate arrays like the file.  The vectors always hold
// lastVertex + 1 and lastFace + 1 entries.
struct Mesh {
    std::uint16_t lastVertex = 0;  // vertex count - 1
    std::uint16_t lastFace = 0;    // face count - 1
    std::vector<std::int32_t> x, y, z;
    std::vector<MeshFace> faces;

    std::size_t VertexCount() const { return x.size(); }
    std::size_t FaceCount() const { return faces.size(); }
};

// A mesh slot of an object type, a clip or an actor; empty means "no mesh"
// (an absent mesh is skipped by drawing and blending alike).
using MeshRef = std::shared_ptr<Mesh>;

// Byte layout of a ".3do" file: two counts, then X, Y, Z planes, then faces.
inline constexpr std::size_t kMeshHeaderSize = 4;
inline constexpr std::size_t kMeshFaceSize = 16;
inline constexpr std::size_t MeshFileSize(std::size_t vertices, std::size_t faces) {
    return kMeshHeaderSize + 12 * vertices + kMeshFaceSize * faces;
}
// The most any header can ask for (65536 vertices and faces, 1.75 MB): only
// that much of a file is read, however long it is.
inline constexpr std::size_t kMaxMeshFileBytes = MeshFileSize(65536, 65536);

// The scratch mesh every drawn mesh is copied into starts this large, and only
// grows, so drawing never allocates.
inline constexpr std::uint16_t kScratchLastVertex = 5000;
inline constexpr std::uint16_t kScratchLastFace = 15000;

// The message of a mesh (or picture) file that cannot be used.
std::string MissingFileMessage(const std::string& fileName);

// Gives the scratch mesh its start-up size.
void InitScratchMesh(Mesh& scratch);
// Grows the scratch mesh so it can hold `mesh`: each count becomes at least its
// previous value and at least one more than the mesh's.  Smaller meshes leave
// it alone.
void FitScratchMesh(Mesh& scratch, const Mesh& mesh);

// Replaces `mesh` by an empty one of lastVertex + 1 vertices and lastFace + 1
// faces (all zero), growing `scratch` when one is given.
void CreateMesh(MeshRef& mesh, std::uint16_t lastVertex, std::uint16_t lastFace, Mesh* scratch = nullptr);
void FreeMesh(MeshRef& mesh);
// Makes `target` an exact copy of `source`, reusing target's storage when it
// exists.  An absent source leaves the target unchanged.
void CopyMesh(const MeshRef& source, MeshRef& target);
// In-between frame: every coordinate becomes from + round((to - from) * t),
// ties to even.  An absent or differently sized target is first made a copy
// of `from`; frames of different vertex counts are not blended (the target
// stays a copy of `from`).  Nothing happens when either frame is absent.
void BlendMeshes(const MeshRef& from, const MeshRef& to, MeshRef& target, float t);

// Decodes the bytes of a ".3do" file.  Refuses (returns false with the reason
// in `why`) a file shorter than its counts announce, or a face whose vertex
// indices are not below the vertex count (sprite faces use only `a`).
bool ParseMesh(const Bytes& bytes, Mesh& mesh, std::string& why);
Bytes SerializeMesh(const Mesh& mesh);
// Writes atomically; false when the file could not be written.
bool SaveMesh(const Mesh& mesh, const std::filesystem::path& path);

// Loads the data-folder file `fileName` into `mesh` (the old one is dropped
// first).  A missing, short or inconsistent file throws FatalError with
// MissingFileMessage(fileName) and leaves `mesh` as it was.
void LoadMesh(const DataResolver& data, const std::string& fileName, MeshRef& mesh, Mesh* scratch = nullptr);

// The sides of a cube cell, faces A..F: towards z-1, x+1, z+1, x-1, y+1, y-1.
inline constexpr int kCubeSideCount = 6;
inline constexpr std::uint16_t kDefaultCubeColour = 66;
// Four vertices and two faces per side, side 512 around the cell centre, every
// face wound so that (b - a) x (c - a) points out of the cube.
std::array<MeshRef, kCubeSideCount> BuildCubeFaceMeshes();

}  // namespace zq
