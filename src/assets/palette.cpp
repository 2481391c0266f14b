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

// Squared gaps along one axis between every palette value and every interval
// of a grid level: near[cell][entry] to the closest point of the interval,
// far[cell][entry] to its farthest.  A box's distances are sums over the axes.
struct AxisGaps {
    std::vector<std::array<int, kPaletteSize>> near, far;
};

AxisGaps MakeAxisGaps(const std::array<std::uint8_t, kPaletteSize>& values, int cells, int side) {
    AxisGaps gaps;
    gaps.near.resize(static_cast<std::size_t>(cells));
    gaps.far.resize(static_cast<std::size_t>(cells));
    for (int c = 0; c < cells; ++c) {
        int lo = c * side, hi = lo + side - 1;
        for (std::size_t k = 0; k < values.size(); ++k) {
            int v = values[k];
            int near = v < lo ? lo - v : (v > hi ? v - hi : 0);
            int far = std::max(v - lo, hi - v);
            gaps.near[static_cast<std::size_t>(c)][k] = near * near;
            gaps.far[static_cast<std::size_t>(c)][k] = far * far;
        }
    }
    return gaps;
}

struct GridLevel {
    std::array<AxisGaps, 3> axes;
    GridLevel(const Palette& palette, int cells) {
        int side = kPaletteSize / cells;
        axes[0] = MakeAxisGaps(palette.red, cells, side);
        axes[1] = MakeAxisGaps(palette.green, cells, side);
        axes[2] = MakeAxisGaps(palette.blue, cells, side);
    }
};

// Appends to `out`, in index order, the entries of `from` that can be nearest
// to some point of the cell (r, g, b) of `level`.  Every point of the cell lies
// within `bound` of some entry, so an entry farther than that from the whole
// cell can never be nearest (nor tie with the nearest) there.
void SiftCandidates(const GridLevel& level, std::size_t r, std::size_t g, std::size_t b, const std::uint8_t* from,
                    std::size_t count, std::vector<std::uint8_t>& out) {
    const auto& farR = level.axes[0].far[r];
    const auto& farG = level.axes[1].far[g];
    const auto& farB = level.axes[2].far[b];
    int bound = 1 << 30;
    for (std::size_t n = 0; n < count; ++n) {
        std::size_t k = from[n];
        bound = std::min(bound, farR[k] + farG[k] + farB[k]);
    }
    const auto& nearR = level.axes[0].near[r];
    const auto& nearG = level.axes[1].near[g];
    const auto& nearB = level.axes[2].near[b];
    for (std::size_t n = 0; n < count; ++n) {
        std::size_t k = from[n];
        if (nearR[k] + nearG[k] + nearB[k] <= bound) out.push_back(from[n]);
    }
}

}  // namespace

void ColourSearch::Build(const Palette& palette, int firstIndex, int lastIndex) {
    palette_ = palette;
    first_ = firstIndex;
    last_ = lastIndex;
    int first = std::max(firstIndex, 0), last = std::min(lastIndex, kPaletteSize - 1);
    std::vector<std::uint8_t> range;
    for (int i = first; i <= last; ++i) range.push_back(static_cast<std::uint8_t>(i));

    // Coarse cells of twice the side: sifted from the whole range.
    constexpr std::size_t kCoarseSide = kGridSide / 2;
    GridLevel coarseLevel(palette, static_cast<int>(kCoarseSide));
    std::vector<std::uint8_t> coarse;
    coarse.reserve(kCoarseSide * kCoarseSide * kCoarseSide * 32);
    std::vector<std::uint32_t> coarseOffsets(kCoarseSide * kCoarseSide * kCoarseSide + 1);
    for (std::size_t r = 0; r < kCoarseSide; ++r)
        for (std::size_t g = 0; g < kCoarseSide; ++g)
            for (std::size_t b = 0; b < kCoarseSide; ++b) {
                coarseOffsets[(r * kCoarseSide + g) * kCoarseSide + b] = static_cast<std::uint32_t>(coarse.size());
                SiftCandidates(coarseLevel, r, g, b, range.data(), range.size(), coarse);
            }
    coarseOffsets.back() = static_cast<std::uint32_t>(coarse.size());

    // Fine cells: each sifted from its coarse parent, whose list already holds
    // every entry that can be nearest anywhere inside it.
    GridLevel fineLevel(palette, static_cast<int>(kGridSide));
    candidates_.clear();
    candidates_.reserve(kCellCount * 12);
    for (std::size_t r = 0; r < kGridSide; ++r)
        for (std::size_t g = 0; g < kGridSide; ++g)
            for (std::size_t b = 0; b < kGridSide; ++b) {
                offsets_[(r * kGridSide + g) * kGridSide + b] = static_cast<std::uint32_t>(candidates_.size());
                std::size_t parent = ((r / 2) * kCoarseSide + g / 2) * kCoarseSide + b / 2;
                SiftCandidates(fineLevel, r, g, b, coarse.data() + coarseOffsets[parent],
                               coarseOffsets[parent + 1] - coarseOffsets[parent], candidates_);
            }
    offsets_[kCellCount] = static_cast<std::uint32_t>(candidates_.size());
}

}  // namespace zq
