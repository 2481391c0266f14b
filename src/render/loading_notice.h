// The notice shown while the game loads its data: a black frame with
// "LOADING PLEASE WAIT" in the middle, drawn from a few letters kept in the
// program, since the fonts and pictures are not loaded yet.
#pragma once

#include <string_view>

#include "render/soft/soft_frame.h"

namespace zq {

inline constexpr std::string_view kLoadingText = "LOADING PLEASE WAIT";

// A width x height frame in a two-colour palette (0 black, 1 white) with the
// text centred both ways, as large as fits in three quarters of the width.
SoftFrame LoadingNoticeFrame(int width, int height);

}  // namespace zq
