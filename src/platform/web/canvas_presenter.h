// Shows the software frame on the page's canvas in one step.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "render/soft/soft_renderer.h"

namespace zq {

// The 8-bit frame goes through its palette into one RGBA picture in the
// module's memory, which the canvas's 2D context takes with one putImageData.
// (SDL's renderer on a canvas would copy each picture four times, the last
// one pixel by pixel in script: the most of a large frame's time.)  The
// canvas takes the frame's size.
class CanvasPresenter final : public FramePresenter {
public:
    void Show(const SoftFrame& frame) override;

private:
    std::vector<std::uint32_t> rgba_;
    std::array<std::uint32_t, 256> lookup_{};  // palette index -> RGBA as the canvas stores it
};

}  // namespace zq
