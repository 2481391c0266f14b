// The software back end as the game shell sees it: the rasterizer and the
// overlay drawn straight into its 8-bit frame.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "render/frame_overlay.h"
#include "render/soft/soft_overlay.h"
#include "render/soft/soft_renderer.h"

namespace zq {

class SoftBackEnd final : public FrameOverlay {
public:
    SoftRenderer renderer;

    PixelFormat PictureFormat() const override { return PixelFormat::kIndexed; }
    void BindGraphics(const Graphics& graphics) override;
    int FogClearColour() const override;
    int FrameHeight() const override { return renderer.Frame().height; }
    void DrawImage(int slot, bool colourKeyed, int transparency, float height, float width, float y,
                   float x) override;
    void DrawText(std::string_view text, bool big, float y, float x) override;
    void DrawRadar(const RadarInput& input) override;
    // Each pixel becomes the nearest colour of the frame's palette (0..254).
    void DrawRgbPicture(const RgbPicture& picture) override;
    bool GrabFrame(FramePicture& out) override;

private:
    const Graphics* graphics_ = nullptr;
    ImageLookup images_;
    // The colour search of the palette pictures were last mapped through,
    // rebuilt when the frame's palette changes, and a direct-mapped memory of
    // its recent answers (a video frame repeats few colours).
    std::unique_ptr<ColourSearch> pictureSearch_;
    Palette pictureSearchPalette_{};
    std::vector<std::uint32_t> pictureCacheKeys_;  // colour | kCached, by hash
    std::vector<std::uint8_t> pictureCacheIndex_;
};

}  // namespace zq
