// The plain nearest-colour search and the grid that answers it quickly.
#include "assets/palette.h"

#include <algorithm>

namespace zq {

std::uint8_t NearestColour(const Palette& palette, int red, int green, int blue, int firstIndex, int lastIndex) {
    int first = std::max(firstIndex, 0), last = std::min(lastIndex, kPaletteSize - 1);
    std::uint8_t found = static_cast<std::uint8_t>(std::clamp(firstIndex, 0, kPaletteSize - 1));
    long long best = -1;
    for (int i = first; i <= last; ++i) {
        long long dr = red - palette.red[static_cast<std::size_t>(i)];
        long long dg = green - palette.green[static_cast<std::size_t>(i)];
        long long db = blue - palette.blue[static_cast<std::size_t>(i)];
        long long distance = dr * dr + dg * dg + db * db;
        if (best < 0 || distance <= best) {
            best = distance;
            found = static_cast<std::uint8_t>(i);
        }
    }
    return found;
}

namespace {

// Squared distance from a value to the interval [lo, hi], and to its far end.
int NearGap(int v, int lo, int hi) { return v < lo ? lo - v : (v > hi ? v - hi : 0); }
int FarGap(int v, int lo, int hi) { return std::max(v - lo, hi - v); }

}  // namespace

void ColourSearch::Build(const Palette& palette, int firstIndex, int lastIndex) {
    palette_ = palette;
    first_ = firstIndex;
    last_ = lastIndex;
    int first = std::max(firstIndex, 0), last = std::min(lastIndex, kPaletteSize - 1);
    candidates_.clear();
    candidates_.reserve(kCellCount * 16);
    const int side = 1 << kCellShift;
    std::array<int, kPaletteSize> nearest{};
    for (std::size_t r = 0; r < kGridSide; ++r) {
        for (std::size_t g = 0; g < kGridSide; ++g) {
            for (std::size_t b = 0; b < kGridSide; ++b) {
                std::size_t cell = (r * kGridSide + g) * kGridSide + b;
                offsets_[cell] = static_cast<std::uint32_t>(candidates_.size());
                int lo[3] = {static_cast<int>(r) * side, static_cast<int>(g) * side, static_cast<int>(b) * side};
                int hi[3] = {lo[0] + side - 1, lo[1] + side - 1, lo[2] + side - 1};
                // Every point of the cell lies within `bound` of some entry, so
                // an entry that is farther than that from the whole cell can
                // never be nearest (nor tie with the nearest) there.
                int bound = 1 << 30;
                for (int i = first; i <= last; ++i) {
                    std::size_t k = static_cast<std::size_t>(i);
                    int fr = FarGap(palette.red[k], lo[0], hi[0]);
                    int fg = FarGap(palette.green[k], lo[1], hi[1]);
                    int fb = FarGap(palette.blue[k], lo[2], hi[2]);
                    bound = std::min(bound, fr * fr + fg * fg + fb * fb);
                    int nr = NearGap(palette.red[k], lo[0], hi[0]);
                    int ng = NearGap(palette.green[k], lo[1], hi[1]);
                    int nb = NearGap(palette.blue[k], lo[2], hi[2]);
                    nearest[k] = nr * nr + ng * ng + nb * nb;
                }
                for (int i = first; i <= last; ++i)
                    if (nearest[static_cast<std::size_t>(i)] <= bound) candidates_.push_back(static_cast<std::uint8_t>(i));
            }
        }
    }
    offsets_[kCellCount] = static_cast<std::uint32_t>(candidates_.size());
}

}  // namespace zq
