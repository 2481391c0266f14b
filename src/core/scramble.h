// The per-character scrambling of the saved game and the credit texts: each
// byte is XORed with the low 8 bits of its 1-based position.  It is its own
// inverse.
#pragma once

#include <string>
#include <string_view>

namespace zq {

inline std::string Scramble(std::string_view text) {
    std::string out(text);
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char>(static_cast<unsigned char>(out[i]) ^ static_cast<unsigned char>((i + 1) & 0xFF));
    return out;
}

}  // namespace zq
