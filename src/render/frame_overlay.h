// What the game shell needs from a back end besides the 3-D interface: the
// flat layer over the finished frame (interface images, text, radar), the
// colour the fog clears to, and a copy of the frame for screenshots.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "assets/graphics.h"
#include "assets/palette.h"
#include "render/overlay.h"

namespace zq {

// A finished frame as pixels: palette indices (paletted) or r, g, b bytes,
// row by row from the top.
struct FramePicture {
    int width = 0, height = 0;
    bool paletted = false;
    std::vector<std::uint8_t> pixels;
    Palette palette{};
};

// A picture in r, g, b bytes, row by row from the top (a video frame).
struct RgbPicture {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;

    bool Valid() const {
        return width > 0 && height > 0 &&
               rgb.size() == static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3;
    }
};

// Writes the picture as a PNG; false with the reason in `why` when it cannot.
bool WriteFramePicture(const FramePicture& picture, const std::string& path, std::string& why);

class FrameOverlay {
public:
    virtual ~FrameOverlay() = default;

    // How the picture state must keep its pictures for this back end.
    virtual PixelFormat PictureFormat() const = 0;
    // Points the back end at the picture state; called again after each bank
    // load, fog change and frame-size change.  `graphics` outlives its use.
    virtual void BindGraphics(const Graphics& graphics) = 0;
    // The palette index whose colour clears the frame to the current fog.
    virtual int FogClearColour() const = 0;
    // The frame height in pixels (text keeps its pixel size at 200 rows).
    virtual int FrameHeight() const = 0;

    // Positions and sizes are fractions of the frame from its top left.
    virtual void DrawImage(int slot, bool colourKeyed, int transparency, float height, float width, float y,
                           float x) = 0;
    // Text and radar are made of DrawImage calls; a back end may draw them its own way.
    virtual void DrawText(std::string_view text, bool big, float y, float x);
    virtual void DrawRadar(const RadarInput& input);

    // Covers the frame with `picture`, centred; what does not fit is cut and
    // what it leaves uncovered turns black.  An invalid picture draws black.
    virtual void DrawRgbPicture(const RgbPicture& picture) = 0;

    // The frame last drawn; false when there is none.
    virtual bool GrabFrame(FramePicture& out) = 0;
};

}  // namespace zq
