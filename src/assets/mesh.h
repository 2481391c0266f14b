// In-memory meshes: the vertex and face arrays of a ".3do" file.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

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

// Coordinates are world units relative to the object's origin (a cell is 512),
// kept as three separate arrays like the file.
struct Mesh {
    std::uint16_t lastVertex = 0;  // vertex count - 1
    std::uint16_t lastFace = 0;    // face count - 1
    std::vector<std::int32_t> x, y, z;
    std::vector<MeshFace> faces;

    std::size_t VertexCount() const { return x.size(); }
    std::size_t FaceCount() const { return faces.size(); }
};

// A mesh slot of an object type, a clip or an actor; empty means "no mesh".
using MeshRef = std::shared_ptr<Mesh>;

}  // namespace zq
