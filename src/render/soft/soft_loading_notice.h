// The loading notice as an 8-bit frame, for the software presenters.
#pragma once

#include "render/soft/soft_frame.h"

namespace zq {

// A width x height frame in a two-colour palette (0 black, 1 white) holding
// LoadingNoticeMask.
SoftFrame LoadingNoticeFrame(int width, int height);

}  // namespace zq
