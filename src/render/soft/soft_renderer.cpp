// The software back end's frame set-up, clearing, presenting and the
// two-colour stereoscopic mode.
#include "render/soft/soft_renderer.h"

#include <algorithm>
#include <cmath>

#include "render/view_shape.h"

namespace zq {

SoftRenderer::SoftRenderer() {
    triangles_.resize(kMaxSoftTriangles);
    order_.resize(kMaxSoftTriangles);
}

void SoftRenderer::SetProjection(int width, int height) {
    width = std::clamp(width, 2, 8192);
    height = std::clamp(height, 2, 8192);
    frame_.width = width;
    frame_.height = height;
    frame_.pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    frame_.second.assign(frame_.pixels.size(), 0);
    cx_ = width / 2;
    cy_ = height / 2;
    fy_ = std::max(1, height * 128 / 240);
    // A frame wider than 4:3 keeps the vertical view and square pixels, so it
    // shows more to the sides; narrower frames squeeze a 4:3 view into them.
    fx_ = IsWideFrame(width, height) ? fy_ : std::max(1, width * 128 / 320);
    // Perspective is exact at the ends of each W/8-pixel piece of a span and
    // linear in between: eight divisions per screen-wide span at any size.
    subSpan_ = std::max(1, width / 8);
    xMax_ = 2 * cx_ - 1;
    yMax_ = 2 * cy_ - 1;
    triangleCount_ = 0;
}

void SoftRenderer::ClearFrame(int colour) {
    const auto value = static_cast<std::uint8_t>(colour);
    std::fill(frame_.pixels.begin(), frame_.pixels.end(), value);
    if (frame_.stereo) std::fill(frame_.second.begin(), frame_.second.end(), value);
}

void SoftRenderer::Present() {
    if (frame_.stereo && frame_.second.size() == frame_.pixels.size()) {
        // Second eye in the high four bits, first eye in the low four: the
        // 16 x 16 stereo palette mixes the two colours.
        for (std::size_t i = 0; i < frame_.pixels.size(); ++i) {
            frame_.pixels[i] = static_cast<std::uint8_t>(frame_.second[i] * 16 + frame_.pixels[i]);
        }
    }
    if (presenter_) presenter_->Show(frame_);
}

void SoftRenderer::SetColourTables(const Palette& palette, const std::uint8_t* shade, const std::uint8_t* blend,
                                   const std::uint8_t* flatRemap) {
    bankPalette_ = palette;
    bankShade_ = shade;
    frame_.blend = blend;
    frame_.flatRemap = flatRemap;
    if (frame_.stereo) {
        // The stereo intensities come from the palette: build them again.
        StereoOnWith(stereoColourA_, eyeOffset_, stereoColourB_);
    } else {
        frame_.palette = palette;
        frame_.shade = shade;
    }
}

void SoftRenderer::StereoOn(StereoMode mode) {
    if (mode == StereoMode::RedBlue) StereoOnWith({255, 0, 0}, 30, {0, 255, 255});
    else StereoOnWith({0, 230, 0}, 30, {255, 0, 0});
}

void SoftRenderer::StereoOnWith(std::array<int, 3> colourA, int eyeOffset, std::array<int, 3> colourB) {
    if (frame_.stereo) StereoOff();
    // Shade entries become grey intensities 0..14 of the lit colour.
    stereoShade_.assign(kTableSize, 0);
    for (int level = 0; level < kShadeLevels; ++level) {
        for (int c = 1; c < 256; ++c) {
            const auto i = static_cast<std::size_t>(c);
            const int grey = (bankPalette_.red[i] + bankPalette_.green[i] + bankPalette_.blue[i]) / 3;
            const auto q = static_cast<int>(std::nearbyint(level * grey * 1.8));
            stereoShade_[static_cast<std::size_t>((level << 8) | c)] =
                static_cast<std::uint8_t>((q >= 61440 ? 239 : q >> 8) >> 4);
        }
    }
    // Index 16 i + j mixes intensity i of the second eye (in colour A) with j of
    // the first (in colour B).
    Palette grid{};
    for (int i = 0; i < 16; ++i) {
        for (int j = 0; j < 16; ++j) {
            for (int ch = 0; ch < 3; ++ch) {
                const int mix = (((colourA[static_cast<std::size_t>(ch)] * i) >> 4) +
                                 ((colourB[static_cast<std::size_t>(ch)] * j) >> 4)) / 2;
                auto& plane = ch == 0 ? grid.red : ch == 1 ? grid.green : grid.blue;
                plane[static_cast<std::size_t>(16 * i + j)] =
                    static_cast<std::uint8_t>(std::min(255, static_cast<int>(std::nearbyint(1.4 * mix))));
            }
        }
    }
    frame_.palette = grid;
    frame_.shade = stereoShade_.data();
    frame_.stereo = true;
    eyeOffset_ = eyeOffset;
    stereoColourA_ = colourA;
    stereoColourB_ = colourB;
    std::fill(frame_.second.begin(), frame_.second.end(), 0);
}

void SoftRenderer::StereoOff() {
    if (!frame_.stereo) return;
    frame_.stereo = false;
    frame_.shade = bankShade_;
    frame_.palette = bankPalette_;
}

}  // namespace zq
