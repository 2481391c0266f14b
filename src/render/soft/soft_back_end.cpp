// The software overlay and screenshots over the 8-bit frame.
#include "render/soft/soft_back_end.h"

#include "render/soft/graphics_binding.h"

namespace zq {

void SoftBackEnd::BindGraphics(const Graphics& graphics) {
    graphics_ = &graphics;
    zq::BindGraphics(renderer, graphics);
    images_ = ImageSlotsOf(graphics);
}

int SoftBackEnd::FogClearColour() const { return graphics_ ? zq::FogClearColour(*graphics_) : 0; }

void SoftBackEnd::DrawImage(int slot, bool colourKeyed, int transparency, float height, float width, float y, float x) {
    zq::DrawImage(renderer.Frame(), images_, slot, colourKeyed, transparency, height, width, y, x);
}

void SoftBackEnd::DrawText(std::string_view text, bool big, float y, float x) {
    zq::DrawText(renderer.Frame(), images_, text, big, y, x);
}

void SoftBackEnd::DrawRadar(const RadarInput& input) { zq::DrawRadar(renderer.Frame(), images_, input); }

bool SoftBackEnd::GrabFrame(FramePicture& out) {
    const SoftFrame& f = renderer.Frame();
    if (f.width <= 0 || f.height <= 0 ||
        f.pixels.size() != static_cast<std::size_t>(f.width) * static_cast<std::size_t>(f.height))
        return false;
    out.width = f.width;
    out.height = f.height;
    out.paletted = true;
    out.pixels = f.pixels;
    out.palette = f.palette;
    return true;
}

}  // namespace zq
