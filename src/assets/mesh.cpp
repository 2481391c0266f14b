// Mesh creation, copying, blending, the ".3do" reader and writer, and the
// cube-side meshes.
#include "assets/mesh.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/errors.h"
#include "core/file_io.h"

namespace zq {

std::string MissingFileMessage(const std::string& fileName) { return "G3D: The file " + fileName + " is missing"; }

namespace {

void SizeMesh(Mesh& mesh, std::uint16_t lastVertex, std::uint16_t lastFace) {
    mesh.lastVertex = lastVertex;
    mesh.lastFace = lastFace;
    std::size_t vertices = std::size_t{lastVertex} + 1;
    mesh.x.assign(vertices, 0);
    mesh.y.assign(vertices, 0);
    mesh.z.assign(vertices, 0);
    mesh.faces.assign(std::size_t{lastFace} + 1, MeshFace{});
}

// The largest "last" index a 16-bit count can hold covers every possible mesh,
// so growth stops there.
std::uint16_t GrownLast(std::uint16_t scratchLast, std::uint16_t meshLast) {
    std::uint32_t wanted = std::min<std::uint32_t>(std::uint32_t{meshLast} + 1, 0xFFFF);
    return static_cast<std::uint16_t>(std::max<std::uint32_t>(scratchLast, wanted));
}

std::int32_t ClampToInt32(double value) {
    if (value > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    if (value < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

std::int32_t BlendCoordinate(std::int32_t from, std::int32_t to, float t) {
    // The difference is taken in single precision like the factor; nearbyint
    // rounds to nearest with ties to even in the default rounding mode.
    float delta = static_cast<float>(static_cast<std::int64_t>(to) - from) * t;
    double rounded = std::nearbyint(static_cast<double>(delta));
    return ClampToInt32(static_cast<double>(from) + rounded);
}

}  // namespace

void InitScratchMesh(Mesh& scratch) { SizeMesh(scratch, kScratchLastVertex, kScratchLastFace); }

void FitScratchMesh(Mesh& scratch, const Mesh& mesh) {
    if (mesh.VertexCount() <= scratch.VertexCount() && mesh.FaceCount() <= scratch.FaceCount()) return;
    SizeMesh(scratch, GrownLast(scratch.lastVertex, mesh.lastVertex), GrownLast(scratch.lastFace, mesh.lastFace));
}

void CreateMesh(MeshRef& mesh, std::uint16_t lastVertex, std::uint16_t lastFace, Mesh* scratch) {
    auto created = std::make_shared<Mesh>();
    SizeMesh(*created, lastVertex, lastFace);
    if (scratch) FitScratchMesh(*scratch, *created);
    mesh = std::move(created);
}

void FreeMesh(MeshRef& mesh) { mesh.reset(); }

void CopyMesh(const MeshRef& source, MeshRef& target) {
    if (!source) return;
    if (target.get() == source.get()) return;
    if (!target) target = std::make_shared<Mesh>();
    // Vector assignment keeps target's storage when it is large enough, so the
    // per-frame copies of animated objects do not allocate.
    *target = *source;
}

void BlendMeshes(const MeshRef& from, const MeshRef& to, MeshRef& target, float t) {
    if (!from || !to) return;
    if (!target || target->lastVertex != from->lastVertex || target->VertexCount() != from->VertexCount())
        CopyMesh(from, target);
    if (to->VertexCount() != from->VertexCount()) {
        // Frames of different shapes cannot be paired vertex by vertex.
        CopyMesh(from, target);
        return;
    }
    Mesh& out = *target;
    for (std::size_t i = 0; i < from->VertexCount(); ++i) {
        out.x[i] = BlendCoordinate(from->x[i], to->x[i], t);
        out.y[i] = BlendCoordinate(from->y[i], to->y[i], t);
        out.z[i] = BlendCoordinate(from->z[i], to->z[i], t);
    }
}

bool ParseMesh(const Bytes& bytes, Mesh& mesh, std::string& why) {
    ByteReader in(bytes);
    if (!in.Has(0, kMeshHeaderSize)) {
        why = "shorter than its 4-byte header";
        return false;
    }
    std::uint16_t lastVertex = in.U16(0);
    std::uint16_t lastFace = in.U16(2);
    std::size_t n = std::size_t{lastVertex} + 1;
    std::size_t f = std::size_t{lastFace} + 1;
    if (bytes.size() < MeshFileSize(n, f)) {
        why = "holds " + std::to_string(bytes.size()) + " bytes, its " + std::to_string(n) + " vertices and " +
              std::to_string(f) + " faces need " + std::to_string(MeshFileSize(n, f));
        return false;
    }
    Mesh loaded;
    SizeMesh(loaded, lastVertex, lastFace);
    for (std::size_t i = 0; i < n; ++i) {
        loaded.x[i] = in.I32(kMeshHeaderSize + 4 * i);
        loaded.y[i] = in.I32(kMeshHeaderSize + 4 * (n + i));
        loaded.z[i] = in.I32(kMeshHeaderSize + 4 * (2 * n + i));
    }
    std::size_t faceBase = kMeshHeaderSize + 12 * n;
    for (std::size_t i = 0; i < f; ++i) {
        std::size_t at = faceBase + kMeshFaceSize * i;
        MeshFace& face = loaded.faces[i];
        face.a = in.U16(at);
        face.b = in.U16(at + 2);
        face.c = in.U16(at + 4);
        face.material = in.U16(at + 6);
        face.corner = in.U16(at + 8);
        face.twoSided = in.U16(at + 10);
        face.kind = in.U16(at + 12);
        face.transparency = in.U16(at + 14);
        bool bad = face.a >= n;
        // A sprite's b and c are its width and height, not vertex numbers.
        if (face.kind != kFaceSprite) bad = bad || face.b >= n || face.c >= n;
        if (bad) {
            why = "face " + std::to_string(i) + " names a vertex beyond the " + std::to_string(n) + " it has";
            return false;
        }
    }
    mesh = std::move(loaded);
    return true;
}

Bytes SerializeMesh(const Mesh& mesh) {
    ByteWriter out;
    out.U16(mesh.lastVertex);
    out.U16(mesh.lastFace);
    for (std::int32_t v : mesh.x) out.I32(v);
    for (std::int32_t v : mesh.y) out.I32(v);
    for (std::int32_t v : mesh.z) out.I32(v);
    for (const MeshFace& face : mesh.faces) {
        out.U16(face.a);
        out.U16(face.b);
        out.U16(face.c);
        out.U16(face.material);
        out.U16(face.corner);
        out.U16(face.twoSided);
        out.U16(face.kind);
        out.U16(face.transparency);
    }
    return std::move(out.Buffer());
}

bool SaveMesh(const Mesh& mesh, const std::filesystem::path& path) { return WriteFileAtomic(path, SerializeMesh(mesh)); }

void LoadMesh(const DataResolver& data, const std::string& fileName, MeshRef& mesh, Mesh* scratch) {
    auto path = data.Find(fileName);
    std::optional<Bytes> bytes;
    if (path) bytes = ReadRegularFilePrefix(*path, kMaxMeshFileBytes).bytes;
    if (!bytes) throw FatalError(MissingFileMessage(fileName));
    auto loaded = std::make_shared<Mesh>();
    std::string why;
    // A damaged file is refused like a missing one: its face indices would
    // otherwise send the drawing outside the vertex arrays.
    if (!ParseMesh(*bytes, *loaded, why)) throw FatalError(MissingFileMessage(fileName));
    if (scratch) FitScratchMesh(*scratch, *loaded);
    mesh = std::move(loaded);
}

namespace {

struct SideTable {
    std::array<std::array<std::int32_t, 3>, 4> vertices;
    std::array<std::array<std::uint16_t, 4>, 2> faces;  // a, b, c, corner
};

constexpr std::array<SideTable, kCubeSideCount> kCubeSides{{
    {{{{256, 256, -256}, {256, -256, -256}, {-256, -256, -256}, {-256, 256, -256}}}, {{{3, 0, 1, 0}, {1, 2, 3, 1}}}},
    {{{{256, 256, -256}, {256, 256, 256}, {256, -256, 256}, {256, -256, -256}}}, {{{0, 1, 2, 0}, {2, 3, 0, 1}}}},
    {{{{256, 256, 256}, {-256, 256, 256}, {-256, -256, 256}, {256, -256, 256}}}, {{{0, 1, 2, 0}, {2, 3, 0, 1}}}},
    {{{{-256, -256, 256}, {-256, 256, 256}, {-256, 256, -256}, {-256, -256, -256}}}, {{{1, 2, 3, 0}, {3, 0, 1, 1}}}},
    {{{{256, 256, 256}, {256, 256, -256}, {-256, 256, -256}, {-256, 256, 256}}}, {{{1, 2, 3, 1}, {3, 0, 1, 0}}}},
    {{{{-256, -256, 256}, {-256, -256, -256}, {256, -256, -256}, {256, -256, 256}}}, {{{1, 2, 3, 0}, {3, 0, 1, 1}}}},
}};

}  // namespace

std::array<MeshRef, kCubeSideCount> BuildCubeFaceMeshes() {
    std::array<MeshRef, kCubeSideCount> sides;
    for (int s = 0; s < kCubeSideCount; ++s) {
        const SideTable& table = kCubeSides[static_cast<std::size_t>(s)];
        MeshRef& mesh = sides[static_cast<std::size_t>(s)];
        CreateMesh(mesh, 3, 1);
        for (std::size_t v = 0; v < 4; ++v) {
            mesh->x[v] = table.vertices[v][0];
            mesh->y[v] = table.vertices[v][1];
            mesh->z[v] = table.vertices[v][2];
        }
        for (std::size_t f = 0; f < 2; ++f) {
            MeshFace& face = mesh->faces[f];
            face.a = table.faces[f][0];
            face.b = table.faces[f][1];
            face.c = table.faces[f][2];
            face.corner = table.faces[f][3];
            face.material = kDefaultCubeColour;
            face.twoSided = 0;
            face.kind = kFaceFlat;
            face.transparency = 0;
        }
    }
    return sides;
}

}  // namespace zq
