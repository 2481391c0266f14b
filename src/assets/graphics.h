// The engine's picture state: palettes, bank images, texture slots, interface
// image slots, colour tables and the scratch mesh.  Each program owns one
// Graphics record and passes it by reference; tests make fresh ones.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "assets/colour_tables.h"
#include "assets/mesh.h"
#include "assets/palette.h"

namespace zq {

inline constexpr int kImageNumberCount = 32768;  // bank image numbers 0..32767
inline constexpr int kTextureSlotCount = 32768;  // texture slots 0..32767
inline constexpr int kImageSlotCount = 4096;     // interface image slots 0..4095
inline constexpr int kBankImageSide = 128;
inline constexpr std::size_t kBankImageBytes = kBankImageSide * kBankImageSide;  // one 8-bit bank image
// The most memory the distinct pictures of one texture bank may take once
// decoded (4096 pictures in RGBA, 16384 in 8 bits); a bank past it is refused.
// Lines naming a picture already named share its decoded copy.
inline constexpr std::size_t kMaxBankPictureBytes = std::size_t{256} << 20;

// A decoded bank image, shared by every image number whose line names the
// same picture; empty for an undefined image.
using BankImage = std::shared_ptr<const std::vector<std::uint8_t>>;

// How pictures are kept: 8-bit main-palette indices for the software
// rasterizer, or RGBA bytes (r, g, b, a per pixel) for the OpenGL back end.
enum class PixelFormat { kIndexed, kRgba };

// A texture slot shows one bank image at a time, cycling first..last.
struct TextureSlot {
    std::int32_t first = 0, last = 0, current = 0;  // image numbers
};

struct ImageSlot {
    std::int32_t width = 0, height = 0;  // 0: empty
    std::vector<std::uint8_t> pixels;    // kIndexed: width * height main-palette indices, row by row
    // kRgba: the picture in the top-left corner of a texWidth x texHeight
    // buffer (each side the smallest power of two >= 2 and >= the picture's),
    // and the part of it the picture covers.
    std::vector<std::uint8_t> rgba;
    std::int32_t texWidth = 0, texHeight = 0;
    float uExtent = 0, vExtent = 0;
    std::uint32_t generation = 0;  // bumped by every change, so a back end knows to re-upload

    bool Empty() const { return width <= 0 || height <= 0; }
};

// A file that could not be used, collected instead of thrown when a checker
// wants every problem at once.
struct AssetProblem {
    std::string file;
    std::string error;
};
using AssetProblems = std::vector<AssetProblem>;

struct Graphics {
    PixelFormat format = PixelFormat::kIndexed;

    Palette mainPalette;  // the bank's first image: the display palette of the software build
    Palette flatPalette;  // the bank's second image: colours of flat faces

    // Bank images by number: kIndexed keeps 16384 remapped bytes, kRgba
    // 65536 bytes; a null pointer is an undefined image.
    std::vector<BankImage> bankImages = std::vector<BankImage>(kImageNumberCount);
    std::uint32_t bankGeneration = 0;  // bumped by each bank load
    std::string bankName;              // file name of the texture bank loaded last
    // A bank whose distinct pictures would need more bytes than this is refused.
    std::size_t bankPictureLimit = kMaxBankPictureBytes;

    std::vector<TextureSlot> textureSlots = std::vector<TextureSlot>(kTextureSlotCount);
    std::int32_t lastSlot = 0;  // highest slot the bank defined (0 when none)

    std::vector<ImageSlot> imageSlots = std::vector<ImageSlot>(kImageSlotCount);

    std::unique_ptr<ColourTables> tables = std::make_unique<ColourTables>();

    Mesh scratchMesh;  // every drawn mesh is transformed in here
    std::array<MeshRef, kCubeSideCount> cubeFaces;
};

// A fresh record for the given pixel format, with the scratch mesh at its
// start-up size and the cube sides built.
std::unique_ptr<Graphics> MakeGraphics(PixelFormat format);

}  // namespace zq
