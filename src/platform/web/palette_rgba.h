// The 8-bit frame through its palette into the RGBA words a canvas takes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zq {

// Palette index -> RGBA as the canvas stores it (R, G, B, A in memory).
using RgbaLookup = std::array<std::uint32_t, 256>;

// Converts two pixels at a time where it can: one table read and one 8-byte
// write per pair instead of two and two, about a third off the conversion of
// a large frame.  The pair table (512 KB) is built only once the same
// palette has come two frames running, so a fade, with a new palette every
// frame, never pays for building it and goes a pixel at a time instead.
class PaletteToRgba {
public:
    void Convert(const RgbaLookup& lookup, const std::uint8_t* src, std::size_t count, std::uint32_t* out);
    bool PairsReady() const { return pairsBuilt_; }

private:
    std::vector<std::uint64_t> pairs_;  // indices first | second << 8 -> first's word | second's word << 32
    RgbaLookup pairsFrom_{};            // the lookup pairs_ was built from
    RgbaLookup previous_{};             // the lookup of the frame before
    bool pairsBuilt_ = false;
};

}  // namespace zq
