// The video player opens the one file it is given and nothing else: files
// that name other files (mpv's EDL, playlists, ffconcat, HLS) are refused
// before the library reads them, and the outside file they name is never
// opened, as its access time shows.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include "platform/mpv_video.h"
#include "test_util.h"

namespace zq {
namespace {

namespace fs = std::filesystem;

// A tiny YUV4MPEG2 video: 16 x 16 pixels, 4:2:0, `frames` grey frames at 25 fps.
std::string TinyY4m(int frames) {
    std::string video = "YUV4MPEG2 W16 H16 F25:1 Ip A1:1 C420jpeg\n";
    for (int i = 0; i < frames; ++i) video += "FRAME\n" + std::string(16 * 16 * 3 / 2, static_cast<char>(100 + i));
    return video;
}

// Seconds of the file's last access.
long AccessTime(const fs::path& p) {
    struct stat st {};
    ::stat(p.c_str(), &st);
    return static_cast<long>(st.st_atim.tv_sec);
}

// Sets the access time well before the modification time, so that any read
// moves it (with "relatime", the kernel's default, only such a read does).
void AgeAccessTime(const fs::path& p) {
    struct timeval times[2] = {{1000000000, 0}, {2000000000, 0}};
    ::utimes(p.c_str(), times);
}

class MpvConfinement : public ::testing::Test {
protected:
    void SetUp() override {
        outside = dir.Write("outside/SECRET.Y4M", TinyY4m(3));
        // The check itself: reading the file must show in its access time here.
        AgeAccessTime(outside);
        test::ReadText(outside);
        if (AccessTime(outside) == 1000000000) GTEST_SKIP() << "access times are not kept on this file system";
        AgeAccessTime(outside);
        player = OpenMpvVideo(true);
    }

    test::TempDir dir;
    fs::path outside;
    std::unique_ptr<VideoPlayer> player;
};

TEST_F(MpvConfinement, FilesNamingOtherFilesOpenNothingOutside) {
    const std::string target = outside.string();
    const struct {
        const char* name;
        std::string text;
    } cases[] = {
        {"edl", "# mpv EDL v0\n" + target + "\n"},
        {"edl-url", "# mpv EDL v0\nhttp://127.0.0.1:9/RED.Y4M\n" + target + ",0,1\n"},
        {"m3u", "#EXTM3U\n#EXTINF:1,secret\n" + target + "\n"},
        {"plain-list", target + "\n"},
        {"ffconcat", "ffconcat version 1.0\nfile '" + target + "'\n"},
        {"hls", "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1,\n" + target + "\n#EXT-X-ENDLIST\n"},
        {"pls", "[playlist]\nFile1=" + target + "\nNumberOfEntries=1\n"},
    };
    for (const auto& c : cases) {
        const fs::path video = dir.Write(std::string("data/INTRO_") + c.name + ".Y4M", c.text);
        EXPECT_NE(player->Play(video), VideoStart::kPlaying) << c.name;
        player->Stop();
        EXPECT_EQ(AccessTime(outside), 1000000000) << c.name << " opened the outside file";
    }
}

TEST_F(MpvConfinement, ARealVideoStillPlaysAndSpecialFilesDoNot) {
    const fs::path video = dir.Write("data/INTRO.Y4M", TinyY4m(3));
    ASSERT_EQ(player->Play(video), VideoStart::kPlaying);
    EXPECT_TRUE(player->Advance(0));
    RgbPicture picture;
    EXPECT_TRUE(player->Render(32, 32, picture));
    player->Stop();
    // A FIFO is never waited on, a folder never read.
    const fs::path fifo = dir / "data/FIFO.Y4M";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_NE(player->Play(fifo), VideoStart::kPlaying);
    fs::create_directories(dir / "data/FOLDER.Y4M");
    EXPECT_NE(player->Play(dir / "data/FOLDER.Y4M"), VideoStart::kPlaying);
}

}  // namespace
}  // namespace zq
