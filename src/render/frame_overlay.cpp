// Text and radar over any back end's DrawImage, and PNG output of grabbed frames.
#include "render/frame_overlay.h"

#include <algorithm>
#include <memory>

#include "render/png_writer.h"

namespace zq {

void FrameOverlay::DrawText(std::string_view text, bool big, float y, float x) {
    LayOutText(text, big, FrameHeight(), y, x,
               [this](int slot, bool keyed, int transparency, float h, float w, float iy, float ix) {
                   DrawImage(slot, keyed, transparency, h, w, iy, ix);
               });
}

void FrameOverlay::DrawRadar(const RadarInput& input) {
    LayOutRadar(input, [this](int slot, bool keyed, int transparency, float h, float w, float y, float x) {
        DrawImage(slot, keyed, transparency, h, w, y, x);
    });
}

bool WriteFramePicture(const FramePicture& picture, const std::string& path, std::string& why) {
    const std::size_t area = static_cast<std::size_t>(std::max(picture.width, 0)) *
                             static_cast<std::size_t>(std::max(picture.height, 0));
    if (area == 0 || picture.pixels.size() != area * (picture.paletted ? 1 : 3)) {
        why = "no frame";
        return false;
    }
    if (picture.paletted)
        return WritePalettedPng(path, picture.pixels.data(), picture.width, picture.height, picture.palette, why);
    return WriteRgbPng(path, picture.pixels.data(), picture.width, picture.height, why);
}

}  // namespace zq
