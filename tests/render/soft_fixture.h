// A software renderer with small made-up colour tables and textures, for tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "assets/mesh.h"
#include "render/soft/soft_renderer.h"

namespace zq::test {

struct SoftFixture {
    std::vector<std::uint8_t> shade, blend, flatRemap;
    std::vector<std::vector<std::uint8_t>> images;  // image number -> 128 x 128
    std::vector<SoftSlot> slots;                    // slot -> images
    Palette palette{};
    SoftRenderer renderer;

    // shade[L][c] = c (light never changes a colour unless `litShade`, where it
    // is c scaled by L / 255); blend[k][s][d] = s, 100 + k or d for k = 0, 1..3, 4;
    // flatRemap is the identity.
    explicit SoftFixture(int width = 64, int height = 48, bool litShade = false) {
        shade.resize(kTableSize);
        for (int l = 0; l < 256; ++l)
            for (int c = 0; c < 256; ++c) shade[static_cast<std::size_t>(l * 256 + c)] = static_cast<std::uint8_t>(litShade ? c * l / 255 : c);
        blend.resize(static_cast<std::size_t>(kBlendLevels) * kTableSize);
        for (int k = 0; k < kBlendLevels; ++k)
            for (int s = 0; s < 256; ++s)
                for (int d = 0; d < 256; ++d)
                    blend[static_cast<std::size_t>((k << 16) | (s << 8) | d)] =
                        static_cast<std::uint8_t>(k == 0 ? s : k == 4 ? d : 100 + k);
        flatRemap.resize(256);
        for (int i = 0; i < 256; ++i) flatRemap[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
        for (int i = 0; i < 256; ++i) palette.red[static_cast<std::size_t>(i)] = palette.green[static_cast<std::size_t>(i)] = palette.blue[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
        renderer.SetProjection(width, height);
        renderer.SetColourTables(palette, shade.data(), blend.data(), flatRemap.data());
        renderer.SetTextures({[this](int image) -> const std::uint8_t* {
                                  if (image < 0 || image >= static_cast<int>(images.size()) || images[static_cast<std::size_t>(image)].empty()) return nullptr;
                                  return images[static_cast<std::size_t>(image)].data();
                              },
                              [this](int slot) {
                                  if (slot >= 0 && slot < static_cast<int>(slots.size())) return slots[static_cast<std::size_t>(slot)];
                                  return SoftSlot{slot, slot, slot};
                              }});
    }

    // Image `number` filled by f(u, v).
    template <typename F>
    void SetImage(int number, F f) {
        if (static_cast<int>(images.size()) <= number) images.resize(static_cast<std::size_t>(number) + 1);
        auto& block = images[static_cast<std::size_t>(number)];
        block.resize(kTextureBytes);
        for (int v = 0; v < kTextureSide; ++v)
            for (int u = 0; u < kTextureSide; ++u) block[static_cast<std::size_t>(v * kTextureSide + u)] = static_cast<std::uint8_t>(f(u, v));
    }

    std::uint8_t Pixel(int x, int y) const {
        const SoftFrame& f = renderer.Frame();
        return f.pixels[static_cast<std::size_t>(y * f.width + x)];
    }
};

// A mesh from vertex triples and faces.
inline Mesh MakeMesh(const std::vector<std::array<int, 3>>& vertices, const std::vector<MeshFace>& faces) {
    Mesh mesh;
    for (const auto& v : vertices) {
        mesh.x.push_back(v[0]);
        mesh.y.push_back(v[1]);
        mesh.z.push_back(v[2]);
    }
    mesh.faces = faces;
    mesh.lastVertex = static_cast<std::uint16_t>(vertices.size() - 1);
    mesh.lastFace = static_cast<std::uint16_t>(faces.empty() ? 0 : faces.size() - 1);
    return mesh;
}

inline MeshFace Face(int a, int b, int c, int material, int kind, int corner = 0, int twoSided = 0, int transparency = 0) {
    MeshFace f;
    f.a = static_cast<std::uint16_t>(a);
    f.b = static_cast<std::uint16_t>(b);
    f.c = static_cast<std::uint16_t>(c);
    f.material = static_cast<std::uint16_t>(material);
    f.kind = static_cast<std::uint16_t>(kind);
    f.corner = static_cast<std::uint16_t>(corner);
    f.twoSided = static_cast<std::uint16_t>(twoSided);
    f.transparency = static_cast<std::uint16_t>(transparency);
    return f;
}

// A square of half-side `half` facing the eye at depth z (two faces, textured
// with slot `material` when kind < 3, else flat).
inline Mesh FacingQuad(int half, int z, int material, int kind, int transparency = 0) {
    return MakeMesh({{half, half, z}, {-half, half, z}, {-half, -half, z}, {half, -half, z}},
                    {Face(3, 2, 1, material, kind, 0, 0, transparency), Face(1, 0, 3, material, kind, 1, 0, transparency)});
}

// The frame as rows of hex digits (one per pixel, index / 16), for goldens.
inline std::string FrameRows(const SoftFrame& f) {
    std::string out;
    for (int y = 0; y < f.height; ++y) {
        for (int x = 0; x < f.width; ++x) out += "0123456789abcdef"[f.pixels[static_cast<std::size_t>(y * f.width + x)] >> 4];
        out += '\n';
    }
    return out;
}

}  // namespace zq::test
