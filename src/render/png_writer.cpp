// Paletted PNG output through libpng.
#include "render/png_writer.h"

#include <png.h>

#include "core/file_io.h"

namespace zq {

namespace {

// libpng writes into memory; the finished picture then goes to disk through
// the safe writer in one piece.
void AppendToBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void FlushNothing(png_structp) {}

// One 8-bit picture, paletted (one byte a pixel, `palette` set), RGB (three)
// or RGBA (four, `alpha` set).
bool WritePng(const std::string& path, const std::uint8_t* pixels, int width, int height, const Palette* palette,
              std::string& why, bool alpha = false) {
    if (!pixels || width <= 0 || height <= 0) {
        why = "empty picture";
        return false;
    }
    Bytes encoded;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(&png, nullptr);
        why = "out of memory";
        return false;
    }
    const std::size_t rowBytes = static_cast<std::size_t>(width) * (palette ? 1 : (alpha ? 4 : 3));
    std::vector<png_color> colours(256);
    if (palette)
        for (std::size_t i = 0; i < 256; ++i) colours[i] = {palette->red[i], palette->green[i], palette->blue[i]};
    std::vector<png_bytep> rows(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        rows[static_cast<std::size_t>(y)] = const_cast<png_bytep>(pixels + static_cast<std::size_t>(y) * rowBytes);
    // libpng reports errors by longjmp; nothing with a destructor is created
    // between here and the end of the writing.
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        why = "cannot encode " + path;
        return false;
    }
    png_set_write_fn(png, &encoded, AppendToBytes, FlushNothing);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 palette ? PNG_COLOR_TYPE_PALETTE : (alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB),
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (palette) png_set_PLTE(png, info, colours.data(), 256);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    WriteResult written = WriteFileSafe(path, encoded);
    if (!written) why = written.reason;
    return written.ok;
}

}  // namespace

bool WritePalettedPng(const std::string& path, const std::uint8_t* pixels, int width, int height,
                      const Palette& palette, std::string& why) {
    return WritePng(path, pixels, width, height, &palette, why);
}

bool WriteRgbPng(const std::string& path, const std::uint8_t* pixels, int width, int height, std::string& why) {
    return WritePng(path, pixels, width, height, nullptr, why);
}

bool WriteRgbaPng(const std::string& path, const std::uint8_t* pixels, int width, int height, std::string& why) {
    return WritePng(path, pixels, width, height, nullptr, why, true);
}

}  // namespace zq
