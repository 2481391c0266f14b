// 256-colour palettes and the nearest-colour search every colour table and
// picture remap is built from.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace zq {

inline constexpr int kPaletteSize = 256;

// Three planes of 256 bytes (all reds, then all greens, then all blues).
// Entry 0 is the transparent colour of colour-keyed faces and flat images.
struct Palette {
    std::array<std::uint8_t, kPaletteSize> red{};
    std::array<std::uint8_t, kPaletteSize> green{};
    std::array<std::uint8_t, kPaletteSize> blue{};

    bool operator==(const Palette&) const = default;
};

// The index in firstIndex..lastIndex whose colour has the smallest squared RGB
// distance to (red, green, blue); of equally near entries the later index wins.
// An empty range gives firstIndex.  This is the plain reference search.
std::uint8_t NearestColour(const Palette& palette, int red, int green, int blue, int firstIndex, int lastIndex);

// The same search, answered from a grid over the RGB cube: each grid cell
// lists, in index order, only the entries that can be nearest to some point of
// the cell, so a query scans a handful of entries instead of 255.  The lists
// of the 16^3 cells are sifted from those of 8^3 coarse cells, which keeps a
// rebuild (one per fog change) well under a millisecond.  Every answer
// equals NearestColour's, ties included.  Queries outside 0..255 fall back to
// the plain search.
class ColourSearch {
public:
    ColourSearch() = default;
    ColourSearch(const Palette& palette, int firstIndex, int lastIndex) { Build(palette, firstIndex, lastIndex); }
    void Build(const Palette& palette, int firstIndex, int lastIndex);

    std::uint8_t Find(int red, int green, int blue) const {
        if ((static_cast<unsigned>(red) | static_cast<unsigned>(green) | static_cast<unsigned>(blue)) > 255u)
            return NearestColour(palette_, red, green, blue, first_, last_);
        std::size_t cell = (static_cast<std::size_t>(red >> kCellShift) * kGridSide + static_cast<std::size_t>(green >> kCellShift)) * kGridSide +
                           static_cast<std::size_t>(blue >> kCellShift);
        std::uint32_t begin = offsets_[cell], end = offsets_[cell + 1];
        int best = 1 << 30;
        std::uint8_t found = static_cast<std::uint8_t>(first_);
        for (std::uint32_t i = begin; i < end; ++i) {
            std::uint8_t index = candidates_[i];
            int dr = red - palette_.red[index], dg = green - palette_.green[index], db = blue - palette_.blue[index];
            int distance = dr * dr + dg * dg + db * db;
            if (distance <= best) {
                best = distance;
                found = index;
            }
        }
        return found;
    }

private:
    static constexpr int kCellShift = 4;  // cells of 16 values per axis
    static constexpr std::size_t kGridSide = 256 >> kCellShift;
    static constexpr std::size_t kCellCount = kGridSide * kGridSide * kGridSide;

    Palette palette_{};
    int first_ = 0, last_ = -1;
    std::array<std::uint32_t, kCellCount + 1> offsets_{};
    std::vector<std::uint8_t> candidates_;
};

}  // namespace zq
