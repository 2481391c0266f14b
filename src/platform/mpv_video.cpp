// libmpv behind the shell's video player seam.  Everything runs on the main
// thread: mpv's own threads decode, and the frame routine collects finished
// pictures through the software render API.
#include "platform/mpv_video.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mpv/client.h>
#include <mpv/render.h>

#include <atomic>
#include <chrono>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

namespace zq {

namespace {

// How long opening a file or showing a stepped frame may take before the
// video is given up (a damaged file must never hang the game).
constexpr double kOpenSeconds = 5;
constexpr double kStepSeconds = 2;
constexpr double kFallbackFps = 25;
constexpr double kStillSeconds = 1;
constexpr std::size_t kRowAlign = 64;  // mpv's fast paths want 64-byte rows

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

class MpvVideo final : public VideoPlayer {
public:
    explicit MpvVideo(bool stepped) : stepped_(stepped) {}
    ~MpvVideo() override { Stop(); }
    MpvVideo(const MpvVideo&) = delete;
    MpvVideo& operator=(const MpvVideo&) = delete;

    VideoStart Play(const std::filesystem::path& file) override {
        Stop();
        if (broken_) return VideoStart::kNoPlayer;
        // mpv gets an open descriptor, never a name: a regular file we have
        // checked ourselves, whose first bytes are those of a video
        // container.  Text formats that point at other files or addresses
        // (EDL, playlists, ffconcat, HLS) never reach it.  The file is checked
        // before a player is made: making one costs threads and milliseconds.
        const int fd = OpenVideoFile(file);
        if (fd < 0) return VideoStart::kUnplayable;
        if (!Create()) {
            ::close(fd);
            broken_ = true;
            return VideoStart::kNoPlayer;
        }
        const std::string name = "fdclose://" + std::to_string(fd);  // mpv closes it when done
        const char* load[] = {"loadfile", name.c_str(), nullptr};
        if (mpv_command(mpv_, load) < 0) ::close(fd);
        if (!WaitForLoad()) {
            Stop();
            return VideoStart::kUnplayable;
        }
        // A file mpv opens but that holds no picture (a sound file, say) is no video.
        char* vid = mpv_get_property_string(mpv_, "vid");
        const bool hasVideo = vid && std::string(vid) != "no";
        mpv_free(vid);
        if (!hasVideo) {
            Stop();
            return VideoStart::kUnplayable;
        }
        duration_ = 0;
        mpv_get_property(mpv_, "duration", MPV_FORMAT_DOUBLE, &duration_);
        // A still picture has no length; mpv shows one for a second in real
        // time, and so does the stepped clock.
        if (!(duration_ > 0)) duration_ = kStillSeconds;
        fps_ = 0;
        mpv_get_property(mpv_, "container-fps", MPV_FORMAT_DOUBLE, &fps_);
        if (!(fps_ > 0 && fps_ < 1000)) fps_ = kFallbackFps;
        playing_ = true;
        ended_ = false;
        shownFrame_ = renderedFrame_ = -1;
        return VideoStart::kPlaying;
    }

    void Stop() override {
        // The render context goes before the core it belongs to.
        if (render_) mpv_render_context_free(render_);
        render_ = nullptr;
        if (mpv_) mpv_terminate_destroy(mpv_);
        mpv_ = nullptr;
        playing_ = false;
        haveFrame_ = false;
    }

    bool Advance(std::int32_t elapsedMs) override {
        if (!playing_ || ended_) return false;
        DrainEvents();
        if (ended_ || !stepped_) return !ended_;
        // The picture of the game clock's time: frame n covers n/fps..(n+1)/fps.
        const auto frame = static_cast<long long>(std::floor(std::max(elapsedMs, 0) * fps_ / 1000.0));
        const double at = static_cast<double>(frame) / fps_;
        if (at >= duration_ - 1e-6) {
            ended_ = true;
            return false;
        }
        if (frame != shownFrame_) {
            if (!SeekTo(at)) {
                ended_ = true;  // a file that cannot be stepped is over
                return false;
            }
            shownFrame_ = frame;
        }
        return true;
    }

    bool Render(int width, int height, RgbPicture& out) override {
        if (!render_ || width <= 0 || height <= 0) return false;
        const bool fresh = TakeNewFrame();
        if (!haveFrame_) return false;
        // Nothing new at the same size: the caller keeps the last picture.
        const bool sameSize = out.width == width && out.height == height;
        if (stepped_ ? shownFrame_ == renderedFrame_ && sameSize : !fresh && sameSize) return false;
        renderedFrame_ = shownFrame_;
        const std::size_t stride = (static_cast<std::size_t>(width) * 4 + kRowAlign - 1) / kRowAlign * kRowAlign;
        if (!RenderInto(width, height, stride)) return false;
        out.width = width;
        out.height = height;
        out.rgb.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
        std::uint8_t* dst = out.rgb.data();
        for (int y = 0; y < height; ++y) {
            const std::uint8_t* src = buffer_.data() + static_cast<std::size_t>(y) * stride;
            for (int x = 0; x < width; ++x, src += 4) {
                *dst++ = src[0];
                *dst++ = src[1];
                *dst++ = src[2];
            }
        }
        return true;
    }

private:
    // The video file opened for reading, or -1 when it is not a regular file
    // that starts like a video container.
    static int OpenVideoFile(const std::filesystem::path& file) {
        const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return -1;
        struct stat st {};
        std::uint8_t head[kVideoHeadBytes] = {};
        ssize_t got = -1;
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) got = ::pread(fd, head, sizeof head, 0);
        if (got < 0 || !IsVideoContainer(head, static_cast<std::size_t>(got))) {
            ::close(fd);
            return -1;
        }
        return fd;
    }

    static void OnUpdate(void* self) { static_cast<MpvVideo*>(self)->update_.store(true); }

    bool Create() {
        // mpv refuses to start under a locale that writes numbers with commas.
        std::setlocale(LC_NUMERIC, "C");
        mpv_ = mpv_create();
        if (!mpv_) return Fail("cannot create a player");
        auto set = [this](const char* key, const char* value) { mpv_set_option_string(mpv_, key, value); };
        set("config", "no");
        set("terminal", "no");
        set("vo", "libmpv");
        set("hwdec", "no");
        set("idle", "yes");
        set("input-default-bindings", "no");
        set("input-vo-keyboard", "no");
        set("osc", "no");
        set("osd-level", "0");
        set("sid", "no");
        set("sub-auto", "no");
        set("load-scripts", "no");
        set("load-stats-overlay", "no");
        set("load-osd-console", "no");
        set("load-auto-profiles", "no");
        set("ytdl", "no");
        // Only the one file: nothing it refers to (ordered chapters, linked
        // segments, nested streams) and nothing found beside it is opened.
        set("access-references", "no");
        set("ordered-chapters", "no");
        set("load-unsafe-playlists", "no");
        set("audio-file-auto", "no");
        set("cover-art-auto", "no");
        set("resume-playback", "no");
        set("save-position-on-quit", "no");
        set("demuxer-lavf-o", "protocol_whitelist=[fd,file],enable_drefs=0");
        set("audio-client-name", "Zorvo Quib");
        set("image-display-duration", "1");  // kStillSeconds
        if (stepped_) {
            // No sound device, no wall clock: the game's clock moves the picture.
            set("aid", "no");
            set("ao", "null");
            set("pause", "yes");
            set("keep-open", "yes");
        } else {
            set("keep-open", "no");
        }
        const int init = mpv_initialize(mpv_);
        if (init < 0) return Fail(mpv_error_string(init));
        mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_SW)},
                                     {MPV_RENDER_PARAM_INVALID, nullptr}};
        const int made = mpv_render_context_create(&render_, mpv_, params);
        if (made < 0) {
            render_ = nullptr;
            return Fail(mpv_error_string(made));
        }
        update_.store(false);
        mpv_render_context_set_update_callback(render_, &MpvVideo::OnUpdate, this);
        return true;
    }

    bool Fail(const std::string& why) {
        std::cerr << "video: libmpv cannot start (" << why << "); videos are skipped\n";
        Stop();
        return false;
    }

    // Waits until mpv has the file open; false when it gave up on it.
    bool WaitForLoad() {
        const Clock::time_point start = Clock::now();
        while (SecondsSince(start) < kOpenSeconds) {
            TakeNewFrame();  // a frame waiting to be drawn must not hold mpv up
            const mpv_event* event = mpv_wait_event(mpv_, 0.01);
            if (event->event_id == MPV_EVENT_FILE_LOADED) return true;
            if (event->event_id == MPV_EVENT_END_FILE || event->event_id == MPV_EVENT_SHUTDOWN) return false;
        }
        return false;
    }

    void DrainEvents() {
        while (true) {
            const mpv_event* event = mpv_wait_event(mpv_, 0);
            if (event->event_id == MPV_EVENT_NONE) return;
            if (event->event_id == MPV_EVENT_END_FILE || event->event_id == MPV_EVENT_SHUTDOWN) ended_ = true;
        }
    }

    // Shows the frame at `seconds` and waits until it is ready to draw.  mpv's
    // output waits for each picture to be drawn, so pictures are drawn (small)
    // while waiting; the real drawing happens in Render.
    bool SeekTo(double seconds) {
        char at[32];
        std::snprintf(at, sizeof at, "%.6f", seconds);
        const char* seek[] = {"seek", at, "absolute+exact", nullptr};
        if (mpv_command(mpv_, seek) < 0) return false;
        const Clock::time_point start = Clock::now();
        bool restarted = false, drawn = false;
        while (SecondsSince(start) < kStepSeconds) {
            if (TakeNewFrame()) {
                RenderInto(16, 16, 64);
                drawn = true;
            }
            // The seek is done once mpv says so and its picture has come.
            if (restarted && drawn) return true;
            const mpv_event* event = mpv_wait_event(mpv_, 0.002);
            if (event->event_id == MPV_EVENT_PLAYBACK_RESTART) restarted = true;
            if (event->event_id == MPV_EVENT_END_FILE || event->event_id == MPV_EVENT_SHUTDOWN) return false;
        }
        return false;
    }

    // True when mpv has a picture we have not drawn yet.
    bool TakeNewFrame() {
        if (!render_ || !update_.exchange(false)) return false;
        if ((mpv_render_context_update(render_) & MPV_RENDER_UPDATE_FRAME) == 0) return false;
        haveFrame_ = true;
        return true;
    }

    bool RenderInto(int width, int height, std::size_t stride) {
        buffer_.resize(stride * static_cast<std::size_t>(height));
        int size[2] = {width, height};
        char format[] = "rgb0";
        mpv_render_param params[] = {{MPV_RENDER_PARAM_SW_SIZE, size},
                                     {MPV_RENDER_PARAM_SW_FORMAT, format},
                                     {MPV_RENDER_PARAM_SW_STRIDE, &stride},
                                     {MPV_RENDER_PARAM_SW_POINTER, buffer_.data()},
                                     {MPV_RENDER_PARAM_INVALID, nullptr}};
        return mpv_render_context_render(render_, params) >= 0;
    }

    const bool stepped_;
    bool broken_ = false;  // the library could not start; said once
    mpv_handle* mpv_ = nullptr;
    mpv_render_context* render_ = nullptr;
    std::atomic<bool> update_{false};  // set by mpv's thread when it has something to draw
    bool playing_ = false, ended_ = false, haveFrame_ = false;
    double duration_ = 0, fps_ = kFallbackFps;  // seconds, pictures per second
    long long shownFrame_ = -1;                 // stepped: the picture number shown
    long long renderedFrame_ = -1;              // stepped: the picture number last handed out
    std::vector<std::uint8_t> buffer_;           // rgb0 rows of `stride` bytes
};

}  // namespace

std::unique_ptr<VideoPlayer> OpenMpvVideo(bool steppedClock) { return std::make_unique<MpvVideo>(steppedClock); }

}  // namespace zq
