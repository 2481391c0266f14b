// Starting, showing and ending a clip's video.
#include "shell/video.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "shell/game.h"

namespace zq {

bool IsVideoContainer(const std::uint8_t* head, std::size_t size) {
    auto starts = [&](const char* magic, std::size_t at = 0) {
        const std::size_t n = std::char_traits<char>::length(magic);
        return size >= at + n && std::memcmp(head + at, magic, n) == 0;
    };
    if (starts("YUV4MPEG2 ")) return true;
    if (starts("\x1A\x45\xDF\xA3")) return true;  // Matroska, WebM
    if (starts("ftyp", 4)) return true;             // MP4, QuickTime, 3GP
    if (starts("OggS")) return true;
    if (starts("RIFF") && starts("AVI ", 8)) return true;
    if (size >= 4 && head[0] == 0 && head[1] == 0 && head[2] == 1 && (head[3] == 0xBA || head[3] == 0xB3)) return true;
    // MPEG transport stream: one byte in common with any text starting with
    // 'G', so three packets' sync bytes are asked for.
    if (size > 2 * 188 && head[0] == 0x47 && head[188] == 0x47 && head[2 * 188] == 0x47) return true;
    if (starts("FLV\x01")) return true;
    return false;
}

void PlayVideo(Game& game, const std::string& fileName) {
    VideoState& video = game.video;
    if (!video.player || fileName.empty()) return;
    const std::optional<std::filesystem::path> path = game.data.Find(fileName);
    if (!path || !std::filesystem::is_regular_file(*path)) return;
    if (std::find(video.failed.begin(), video.failed.end(), *path) != video.failed.end()) return;
    // One video at a time: a new one replaces the old without running its chain.
    if (game.shell.clipPlaying) video.player->Stop();
    game.shell.clipPlaying = false;
    switch (video.player->Play(*path)) {
        case VideoStart::kNoPlayer: return;
        case VideoStart::kPlaying: video.ended = false; break;
        // Closing it here would start the next clip before this clip's own
        // music; the frame routine closes it on the next frame instead.
        case VideoStart::kUnplayable:
            video.ended = true;
            // A clip table names at most 65 videos; the cap only guards the list.
            if (video.failed.size() < 256) video.failed.push_back(*path);
            game.host.Log("video " + fileName + " cannot be played; skipped for the rest of this level");
            break;
    }
    game.shell.clipPlaying = true;
    video.startTime = game.shell.time.now;
    video.picture = RgbPicture{};
}

void ForgetFailedVideos(Game& game) { game.video.failed.clear(); }

void CloseVideo(Game& game) {
    if (!game.shell.clipPlaying) return;
    if (game.video.player) game.video.player->Stop();
    game.shell.clipPlaying = false;
    game.video.ended = false;
    StopMusic(game);
    if (game.clips.nextClip != -1) StartClip(game, game.clips.nextClip);
}

bool VideoFrame(Game& game) {
    VideoState& video = game.video;
    if (!video.player) video.ended = true;
    if (!video.ended && !video.player->Advance(game.shell.time.now - video.startTime)) video.ended = true;
    if (video.ended) {
        CloseVideo(game);
        return false;
    }
    const int width = game.renderSize.width, height = game.renderSize.height;
    // Without a new picture the last one stays, unless the frame changed size.
    if (!video.player->Render(width, height, video.picture) &&
        (video.picture.width != width || video.picture.height != height))
        video.picture = RgbPicture{};
    game.overlay.DrawRgbPicture(video.picture);
    return true;
}

}  // namespace zq
