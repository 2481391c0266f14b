// The loading notice's letters, laid out for any back end.
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

std::vector<std::uint8_t> LoadingNoticeMask(int width, int height) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    std::vector<std::uint8_t> mask(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    const int textWidth = static_cast<int>(kLoadingText.size()) * kGlyphAdvance - 1;
    const int scale = std::max(1, std::min(width * 3 / 4 / textWidth, height / 4 / kGlyphHeight));
    const int left = (width - textWidth * scale) / 2;
    const int top = (height - kGlyphHeight * scale) / 2;
    for (std::size_t i = 0; i < kLoadingText.size(); ++i) {
        const char* glyph = Glyph(kLoadingText[i]);
        if (!glyph) continue;
        for (int row = 0; row < kGlyphHeight; ++row)
            for (int col = 0; col < kGlyphWidth; ++col) {
                if (glyph[row * kGlyphWidth + col] != '#') continue;
                const int x0 = left + (static_cast<int>(i) * kGlyphAdvance + col) * scale, y0 = top + row * scale;
                for (int y = std::max(y0, 0); y < std::min(y0 + scale, height); ++y)
                    for (int x = std::max(x0, 0); x < std::min(x0 + scale, width); ++x)
                        mask[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                             static_cast<std::size_t>(x)] = 1;
            }
    }
    return mask;
}

}  // namespace zq
