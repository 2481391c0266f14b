// PCX decoding and encoding.
#include "assets/pcx.h"

#include <algorithm>

#include "assets/mesh.h"
#include "core/errors.h"
#include "core/file_io.h"

namespace zq {

std::string OddWidthMessage(const std::string& fileName) {
    return "G3D: The image " + fileName + " must have an odd width";
}

namespace {

[[noreturn]] void Unusable(const std::string& fileName, const std::string& why) {
    throw FatalError("G3D: The file " + fileName + " is not a usable picture: " + why);
}

}  // namespace

Picture DecodePcx(const Bytes& bytes, const std::string& fileName, bool interfaceImage) {
    ByteReader in(bytes);
    if (!in.Has(0, 13)) Unusable(fileName, "too short for its header");
    // The stored maximum x must be odd so that the width is even.
    if (interfaceImage && (in.U8(8) & 1) == 0) throw FatalError(OddWidthMessage(fileName));
    if (bytes.size() < kPcxHeaderSize + kPcxPaletteSize)
        Unusable(fileName, std::to_string(bytes.size()) + " bytes cannot hold a header and a 768-byte palette");
    Picture picture;
    picture.width = in.U16(8) + 1;
    picture.height = in.U16(10) + 1;
    if (picture.width > kMaxPictureSide || picture.height > kMaxPictureSide)
        Unusable(fileName, std::to_string(picture.width) + " x " + std::to_string(picture.height) + " is too large");
    std::size_t total = static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height);
    picture.pixels.assign(total, 0);

    std::size_t paletteAt = bytes.size() - kPcxPaletteSize;
    std::size_t at = kPcxHeaderSize, out = 0;
    // Pixels run on from row to row; rows carry no padding.
    while (out < total && at < paletteAt) {
        std::uint8_t code = bytes[at++];
        if (code < 192) {
            picture.pixels[out++] = code;
            continue;
        }
        if (at >= paletteAt) break;  // a run whose value byte is missing
        std::uint8_t value = bytes[at++];
        std::size_t count = std::min<std::size_t>(code - 192u, total - out);
        std::fill_n(picture.pixels.begin() + static_cast<std::ptrdiff_t>(out), count, value);
        out += count;
    }
    for (std::size_t i = 0; i < static_cast<std::size_t>(kPaletteSize); ++i) {
        picture.palette.red[i] = bytes[paletteAt + 3 * i];
        picture.palette.green[i] = bytes[paletteAt + 3 * i + 1];
        picture.palette.blue[i] = bytes[paletteAt + 3 * i + 2];
    }
    return picture;
}

Picture LoadPcx(const DataResolver& data, const std::string& fileName, bool interfaceImage) {
    auto path = data.Find(fileName);
    std::optional<Bytes> bytes;
    if (path) bytes = ReadFileBytes(*path, kMaxPcxFileBytes);
    if (!bytes) throw FatalError(MissingFileMessage(fileName));
    return DecodePcx(*bytes, fileName, interfaceImage);
}

Bytes EncodePcx(const Picture& picture) {
    ByteWriter out;
    out.U8(10);  // maker
    out.U8(5);   // version
    out.U8(1);   // run-length encoded
    out.U8(8);   // bits per pixel
    out.U16(0);
    out.U16(0);
    out.U16(static_cast<std::uint16_t>(picture.width - 1));
    out.U16(static_cast<std::uint16_t>(picture.height - 1));
    out.U16(72);
    out.U16(72);
    out.Zeros(48);  // 16-colour palette, unused
    out.U8(0);
    out.U8(1);  // planes
    out.U16(static_cast<std::uint16_t>(picture.width));
    out.U16(1);
    out.Zeros(kPcxHeaderSize - out.Size());
    // Runs stop at the end of each row, as other PCX readers expect; ours
    // would read a run across rows just as well.
    const auto& p = picture.pixels;
    const std::size_t width = static_cast<std::size_t>(std::max(picture.width, 1));
    for (std::size_t i = 0; i < p.size();) {
        const std::size_t rowEnd = std::min(p.size(), (i / width + 1) * width);
        std::size_t run = 1;
        while (i + run < rowEnd && run < 63 && p[i + run] == p[i]) ++run;
        if (run > 1 || p[i] >= 192) {
            out.U8(static_cast<std::uint8_t>(192 + run));
            out.U8(p[i]);
        } else {
            out.U8(p[i]);
        }
        i += run;
    }
    out.U8(12);
    for (std::size_t i = 0; i < static_cast<std::size_t>(kPaletteSize); ++i) {
        out.U8(picture.palette.red[i]);
        out.U8(picture.palette.green[i]);
        out.U8(picture.palette.blue[i]);
    }
    return std::move(out.Buffer());
}

}  // namespace zq
