// Damaged meshes, pictures and banks: every cut and scribbled copy of a good
// file is either read or refused with a message, never a crash (the suite runs
// under the address and undefined-behaviour sanitizers).
#include <random>

#include <gtest/gtest.h>

#include "asset_test_util.h"
#include "assets/mesh.h"
#include "assets/pcx.h"
#include "assets/texture_bank.h"
#include "core/errors.h"
#include "test_util.h"

namespace zq {
namespace {

// Cuts `good` short or overwrites a few of its bytes.
Bytes Damage(const Bytes& good, std::mt19937& random) {
    Bytes bytes = good;
    if (random() % 3 == 0) bytes.resize(random() % (bytes.size() + 1));
    int scribbles = static_cast<int>(random() % 6);
    for (int i = 0; i < scribbles && !bytes.empty(); ++i) bytes[random() % bytes.size()] = static_cast<std::uint8_t>(random());
    return bytes;
}

TEST(DamagedFiles, MeshesAreReadOrRefused) {
    MeshRef m;
    CreateMesh(m, 5, 4);
    for (std::size_t f = 0; f < 5; ++f) m->faces[f] = {static_cast<std::uint16_t>(f), 1, 2, 3, 0, 0, static_cast<std::uint16_t>(f), 0};
    Bytes good = SerializeMesh(*m);
    std::mt19937 random(1);
    int refused = 0;
    for (int i = 0; i < 3000; ++i) {
        Mesh out;
        std::string why;
        if (!ParseMesh(Damage(good, random), out, why)) {
            ++refused;
            continue;
        }
        // Whatever loads is safe to draw: every index the drawing follows is in range.
        ASSERT_EQ(out.VertexCount(), std::size_t{out.lastVertex} + 1);
        for (const MeshFace& face : out.faces) {
            ASSERT_LT(face.a, out.VertexCount());
            if (face.kind != kFaceSprite) {
                ASSERT_LT(face.b, out.VertexCount());
                ASSERT_LT(face.c, out.VertexCount());
            }
        }
    }
    EXPECT_GT(refused, 100);
}

TEST(DamagedFiles, PicturesAreReadOrRefused) {
    Picture pic = test::SolidPicture(30, 20, 7, test::RampPalette());
    for (std::size_t i = 0; i < pic.pixels.size(); i += 7) pic.pixels[i] = static_cast<std::uint8_t>(i);
    Bytes good = EncodePcx(pic);
    std::mt19937 random(2);
    for (int i = 0; i < 3000; ++i) {
        Bytes bytes = Damage(good, random);
        for (bool interfaceImage : {false, true}) {
            try {
                Picture out = DecodePcx(bytes, "D.PCX", interfaceImage);
                ASSERT_EQ(out.pixels.size(), static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height));
            } catch (const FatalError&) {
            }
        }
    }
}

TEST(DamagedFiles, BanksAreReadOrRefused) {
    test::TempDir dir;
    dir.Write("A.PCX", EncodePcx(test::SolidPicture(128, 128, 3, test::RampPalette())));
    const std::string good = "#IMAGES\n1=A.PCX\n2=A.PCX\n#TEXTURES\n1=1-2\n20=2-1\n";
    std::mt19937 random(3);
    const char alphabet[] = "#=-0123456789AX.\n \t";
    auto g = MakeGraphics(PixelFormat::kRgba);
    for (int i = 0; i < 100; ++i) {
        std::string text = good;
        for (int k = 0; k < 3; ++k) text[random() % text.size()] = alphabet[random() % (sizeof alphabet - 1)];
        dir.Write("B.TXT", text);
        try {
            LoadTextureBank(*g, DataResolver(dir.Path()), "B.TXT");
        } catch (const FatalError&) {
            continue;
        }
        ASSERT_GE(g->lastSlot, 0);
        ASSERT_LT(g->lastSlot, kTextureSlotCount);
        for (int s = 0; s <= g->lastSlot; ++s) {
            const TextureSlot& slot = g->textureSlots[static_cast<std::size_t>(s)];
            ASSERT_TRUE(slot.first >= 0 && slot.first < kImageNumberCount && slot.last >= 0 && slot.last < kImageNumberCount);
        }
        StepTextureAnimation(*g);
    }
}

}  // namespace
}  // namespace zq
