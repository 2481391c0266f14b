#include "render/loading_notice.h"

#include <algorithm>

namespace zq {

namespace {

constexpr int kGlyphWidth = 5, kGlyphHeight = 7, kGlyphAdvance = 6;

// 5 x 7 letters, top row first: just the ones the notice uses.
const char* Glyph(char c) {
    switch (c) {
        case 'A': return ".###.#...##...#######...##...##...#";
        case 'D': return "####.#...##...##...##...##...#####.";
        case 'E': return "######....#....####.#....#....#####";
        case 'G': return ".#####....#....#..###...##...#.###.";
        case 'I': return ".###...#....#....#....#....#...###.";
        case 'L': return "#....#....#....#....#....#....#####";
        case 'N': return "#...###..##.#.##..###...##...##...#";
        case 'O': return ".###.#...##...##...##...##...#.###.";
        case 'P': return "####.#...##...#####.#....#....#....";
        case 'S': return ".#####....#.....###.....#....#####.";
        case 'T': return "#####..#....#....#....#....#....#..";
        case 'W': return "#...##...##...##.#.##.#.###.###...#";
        default: return nullptr;
    }
}

}  // namespace

SoftFrame LoadingNoticeFrame(int width, int height) {
    SoftFrame frame;
    frame.width = std::max(width, 1);
    frame.height = std::max(height, 1);
    frame.pixels.assign(static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height), 0);
    frame.palette.red[1] = frame.palette.green[1] = frame.palette.blue[1] = 255;

    const int textWidth = static_cast<int>(kLoadingText.size()) * kGlyphAdvance - 1;
    const int scale = std::max(1, std::min(frame.width * 3 / 4 / textWidth, frame.height / 4 / kGlyphHeight));
    const int left = (frame.width - textWidth * scale) / 2;
    const int top = (frame.height - kGlyphHeight * scale) / 2;
    for (std::size_t i = 0; i < kLoadingText.size(); ++i) {
        const char* glyph = Glyph(kLoadingText[i]);
        if (!glyph) continue;
        for (int row = 0; row < kGlyphHeight; ++row)
            for (int col = 0; col < kGlyphWidth; ++col) {
                if (glyph[row * kGlyphWidth + col] != '#') continue;
                const int x0 = left + (static_cast<int>(i) * kGlyphAdvance + col) * scale, y0 = top + row * scale;
                for (int y = std::max(y0, 0); y < std::min(y0 + scale, frame.height); ++y)
                    for (int x = std::max(x0, 0); x < std::min(x0 + scale, frame.width); ++x)
                        frame.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(frame.width) +
                                     static_cast<std::size_t>(x)] = 1;
            }
    }
    return frame;
}

}  // namespace zq
