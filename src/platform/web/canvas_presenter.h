// Shows the software frame on the page's canvas in one step.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "platform/web/palette_rgba.h"
#include "render/soft/soft_renderer.h"

namespace zq {

// Where the browser has WebGL, the 8-bit frame goes to the canvas as it is
// (one byte a pixel) with its palette beside it, and the graphics card looks
// each pixel up: a quarter of the bytes to hand over and no conversion here.
// Without WebGL (or when asked to use the 2D path) the frame goes through its
// palette into one RGBA picture in the module's memory, which the canvas's 2D
// context takes with one putImageData.  (SDL's renderer on a canvas would
// copy each picture four times, the last one pixel by pixel in script.)  The
// canvas takes the frame's size; a canvas keeps the kind of context it got
// first, so the choice is made once per canvas.  The 2D path is the default:
// measured in headless Chromium without a graphics card (WebGL in software) it
// was the faster, 2.7 against 10.3 ms a 1280 x 720 frame.
class CanvasPresenter final : public FramePresenter {
public:
    enum class Path { kWebGl, k2d };
    explicit CanvasPresenter(Path path = Path::k2d) : path_(path) {}
    void Show(const SoftFrame& frame) override;

private:
    bool ShowWebGl(const SoftFrame& frame);
    void Show2d(const SoftFrame& frame);

    Path path_;
    std::vector<std::uint32_t> rgba_;
    RgbaLookup lookup_{};
    PaletteToRgba toRgba_;
};

}  // namespace zq
