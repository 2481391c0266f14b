// The video player seam: the platform implements it (libmpv in the games and
// the editor), the shell and the editor's clip preview use it.
#pragma once

#include <cstdint>
#include <filesystem>

#include "render/frame_overlay.h"

namespace zq {

enum class VideoStart {
    kPlaying,     // the video runs
    kUnplayable,  // the file is not a video, or is damaged: it counts as finished at once
    kNoPlayer,    // no video library: the video is skipped as if its file were missing
};

class VideoPlayer {
public:
    virtual ~VideoPlayer() = default;
    // Starts `file`, which exists; any video already playing stops first.
    virtual VideoStart Play(const std::filesystem::path& file) = 0;
    virtual void Stop() = 0;
    // Brings the video to `elapsedMs` after its start on the game clock (a
    // player that runs on its own clock may ignore it).  False once it ended.
    virtual bool Advance(std::int32_t elapsedMs) = 0;
    // The picture showing now, scaled into width x height with its shape kept
    // and black bars around it; false (and `out` untouched) while there is none.
    virtual bool Render(int width, int height, RgbPicture& out) = 0;
};

}  // namespace zq
