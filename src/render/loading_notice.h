// The notice shown while the game loads its data: "LOADING PLEASE WAIT" in
// the middle of a black frame, drawn from a few letters kept in the program,
// since the fonts and pictures are not loaded yet.  This lays the letters out;
// each back end turns the mask into its own frame.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace zq {

inline constexpr std::string_view kLoadingText = "LOADING PLEASE WAIT";

// width x height cells (each side at least 1), row by row: 1 where the text
// is, 0 around it; the text centred both ways, as large as fits in three
// quarters of the width.
std::vector<std::uint8_t> LoadingNoticeMask(int width, int height);

}  // namespace zq
