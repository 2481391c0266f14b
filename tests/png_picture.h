// Reads a screenshot back as 8-bit RGB, for tests that look at what a game drew.
#pragma once

#include <png.h>

#include <cstdint>
#include <filesystem>
#include <vector>

namespace zq::test {

struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;  // r, g, b per pixel
};

inline bool ReadPng(const std::filesystem::path& path, Picture& out) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    out.width = static_cast<int>(image.width);
    out.height = static_cast<int>(image.height);
    out.rgb.resize(PNG_IMAGE_SIZE(image));
    return png_image_finish_read(&image, nullptr, out.rgb.data(), 0, nullptr) != 0;
}

}  // namespace zq::test
