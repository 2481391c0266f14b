// Video clips through libmpv's software render API: mpv decodes and scales,
// the game draws the picture into its own frame, so both builds show videos
// the same way.
#pragma once

#include <memory>

#include "shell/video.h"

namespace zq {

// With `steppedClock` (headless runs) mpv plays no sound and holds the video
// paused, moving it to the game clock's time every frame, so a run shows the
// same pictures every time.  Otherwise the video plays in real time with its
// own sound track.  The library starts at the first video; when it cannot,
// one line goes to stderr and every video is skipped.
std::unique_ptr<VideoPlayer> OpenMpvVideo(bool steppedClock);

}  // namespace zq
