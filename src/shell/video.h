// Full-motion video clips: the shell's rules for starting and ending a video
// (the player seam the platform implements is in render/video_player.h).
// While a video plays it owns the frame: the screens skip their drawing and
// play logic, and only the fade and the status line are drawn over it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "render/frame_overlay.h"
#include "render/video_player.h"

namespace zq {

struct Game;

struct VideoState {
    VideoPlayer* player = nullptr;  // null: every video is skipped
    std::int32_t startTime = 0;     // `now` when the video started, ms
    bool ended = false;             // finished (or unplayable); closed by the next frame
    RgbPicture picture;             // the last picture, kept for frames without a new one
    // Files the player could not play since the level (or the title) began:
    // they are skipped until the next level starts, so a clip that chains to
    // itself does not make and break a player every frame.
    std::vector<std::filesystem::path> failed;
};

// The first bytes a video file needs before the player may open it: enough
// for three MPEG transport stream packets.
inline constexpr std::size_t kVideoHeadBytes = 512;

// True when the file's first bytes are those of a video container the game
// plays: YUV4MPEG2, Matroska/WebM, MP4/QuickTime ("ftyp"), Ogg, AVI, MPEG
// program or elementary streams, MPEG transport streams (the sync byte of
// three packets in a row, 188 bytes apart), FLV.  Text formats that name other files or addresses (mpv's EDL,
// M3U and HLS playlists, ffconcat, PLS) are refused here, before any player
// sees them, as is anything else.
bool IsVideoContainer(const std::uint8_t* head, std::size_t size);

// Starts the video of a clip (a data-folder name).  A missing file, or no
// player, is skipped silently and the clip's music plays on; a file the player
// cannot play counts as finished at once, says so on stderr once, and is
// skipped from then on until ForgetFailedVideos.
void PlayVideo(Game& game, const std::string& fileName);
// A new level starts: videos that failed may be tried again.
void ForgetFailedVideos(Game& game);
// Ends the video, if one plays: its music stops and the clip's next clip, if
// any, starts.
void CloseVideo(Game& game);
// Once a frame while a video plays: moves it on and draws its picture over
// the whole frame (true), or closes it when it has ended (false: the screen
// draws this frame).
bool VideoFrame(Game& game);

}  // namespace zq
