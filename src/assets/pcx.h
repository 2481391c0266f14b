// 256-colour PCX pictures: the decoder every picture goes through, and an
// encoder for the content generator and the tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "assets/palette.h"
#include "core/bytes.h"
#include "core/resolver.h"

namespace zq {

inline constexpr std::size_t kPcxHeaderSize = 128;
inline constexpr std::size_t kPcxPaletteSize = 768;  // the file's last 768 bytes
// No picture of ours comes near this; a header that claims more is damaged.
inline constexpr int kMaxPictureSide = 4096;
// Larger files are refused unread: a 4096 x 4096 picture whose every pixel
// takes a two-byte run, with its header and palette, is just over 32 MB.
inline constexpr std::uintmax_t kMaxPcxFileBytes = 40u << 20;

struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint8_t> pixels;  // width * height palette indices, row by row
    Palette palette;
};

// The message of an interface picture whose stored maximum x is even.
std::string OddWidthMessage(const std::string& fileName);

// Decodes the bytes of a PCX file named `fileName` (for messages).  Runs that
// would pass the end of the picture or of the pixel data are cut; pixels the
// data does not reach stay 0.  With `interfaceImage` the stored maximum x must
// be odd (an even width, so rows need no pad byte).  Throws FatalError: the
// odd-width message, or "G3D: The file NAME is not a usable picture: why" for
// a file too short to hold its header and palette or with absurd sides.
Picture DecodePcx(const Bytes& bytes, const std::string& fileName, bool interfaceImage);

// Finds and decodes the data-folder file `fileName`; a missing file throws
// FatalError(MissingFileMessage(fileName)).
Picture LoadPcx(const DataResolver& data, const std::string& fileName, bool interfaceImage = false);

// An 8-bit run-length PCX of the picture (rows unpadded, as the decoder reads them).
Bytes EncodePcx(const Picture& picture);

}  // namespace zq
