// Mesh files (.3do): a refused file leaves the mesh alone, an accepted one has
// every face on vertices it holds and saves back byte for byte.
#include "assets/mesh.h"
#include "fuzz_util.h"

namespace {

std::uint64_t MeshDigest(const zq::Mesh& m) {
    zq::fuzz::Digest d;
    d.Value(m.lastVertex);
    d.Value(m.lastFace);
    d.Add(m.x.data(), m.x.size() * sizeof(std::int32_t));
    d.Add(m.y.data(), m.y.size() * sizeof(std::int32_t));
    d.Add(m.z.data(), m.z.size() * sizeof(std::int32_t));
    d.Add(m.faces.data(), m.faces.size() * sizeof(zq::MeshFace));
    return d.Hash();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    using namespace zq;
    const Bytes input(bytes, bytes + size);
    Mesh mesh;
    mesh.x = mesh.y = mesh.z = {1, 2, 3};
    mesh.faces.resize(1);
    const std::uint64_t before = MeshDigest(mesh);
    std::string why;
    if (!ParseMesh(input, mesh, why)) {
        fuzz::Check(MeshDigest(mesh) == before, "a refused mesh is left unchanged");
        fuzz::Check(!why.empty(), "a refusal says why");
        return 0;
    }
    const std::size_t vertices = mesh.VertexCount();
    fuzz::Check(mesh.y.size() == vertices && mesh.z.size() == vertices, "coordinate planes agree");
    fuzz::Check(input.size() >= MeshFileSize(vertices, mesh.FaceCount()), "counts fit the file");
    for (const MeshFace& f : mesh.faces) {
        fuzz::Check(f.a < vertices, "faces use vertices the mesh has");
        if (f.kind != kFaceSprite) fuzz::Check(f.b < vertices && f.c < vertices, "faces use vertices the mesh has");
    }
    const Bytes saved = SerializeMesh(mesh);
    Mesh again;
    fuzz::Check(ParseMesh(saved, again, why), "a saved mesh loads");
    fuzz::Check(SerializeMesh(again) == saved, "save -> load -> save is byte-exact");
    return 0;
}
