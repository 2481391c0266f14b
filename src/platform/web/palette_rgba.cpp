#include "platform/web/palette_rgba.h"

#include <cstring>

namespace zq {

void PaletteToRgba::Convert(const RgbaLookup& lookup, const std::uint8_t* src, std::size_t count,
                            std::uint32_t* out) {
    if (!pairsBuilt_ || pairsFrom_ != lookup) {
        pairsBuilt_ = false;
        if (lookup == previous_) {
            pairs_.resize(std::size_t{1} << 16);
            for (std::size_t second = 0; second < 256; ++second)
                for (std::size_t first = 0; first < 256; ++first)
                    pairs_[first | (second << 8)] = std::uint64_t{lookup[first]} | (std::uint64_t{lookup[second]} << 32);
            pairsFrom_ = lookup;
            pairsBuilt_ = true;
        }
        previous_ = lookup;
    }
    std::size_t i = 0;
    if (pairsBuilt_) {
        const std::uint64_t* pairs = pairs_.data();
        // Four indices a read, two pairs a step.  Little-endian (the browser's
        // module and the desktop alike): the first pixel is the low byte of a
        // read and the low word of a write.
        for (; i + 4 <= count; i += 4) {
            std::uint32_t four;
            std::memcpy(&four, src + i, 4);
            const std::uint64_t both[2] = {pairs[four & 0xFFFFu], pairs[four >> 16]};
            std::memcpy(out + i, both, sizeof both);
        }
    }
    for (; i < count; ++i) out[i] = lookup[src[i]];
}

}  // namespace zq
