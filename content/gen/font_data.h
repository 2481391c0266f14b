// The two bitmap font designs: a 3 x 5 face for the small font and a 5 x 7
// face that the big font and the logo are scaled from.  Codes 32..131; lower
// case letters share the capitals' shapes, 127..131 are icons.
#pragma once

#include <string>

namespace zq::gen {

inline constexpr int kFirstGlyph = 32;
inline constexpr int kGlyphCount = 100;  // codes 32..131

// Rows of the glyph for `code`, top first, '#' set and '.' clear.
const char* SmallGlyph(int code);  // 5 rows of 3
const char* BigGlyph(int code);    // 7 rows of 5

}  // namespace zq::gen
