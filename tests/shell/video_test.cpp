// How a clip's video starts and ends: end of file, a button, a fade-out, a
// screen change, an unplayable or missing file; and that the video owns the
// frame while it plays.  A scripted player stands in for the video library.
#include <gtest/gtest.h>

#include <algorithm>

#include "render/soft/soft_back_end.h"
#include "shell/game.h"
#include "held_keys.h"
#include "test_game.h"
#include "test_util.h"

namespace zq {
namespace {

using test::HeldKeys;

// Silent, but keeps a log of the music it was asked for.
struct MusicLog : Audio {
    std::vector<std::string> log;
    void LoadSound(std::int32_t, const std::string&) override {}
    void PlaySound(SoundRef, bool) override {}
    void PlaySoundAt(SoundRef, std::int32_t, std::int32_t, std::int32_t, std::int32_t) override {}
    void UpdatePositionalSounds(const Listener&) override {}
    void StopAllSounds() override {}
    void PlayMusic(const std::string& name, bool) override { log.push_back("play " + name); }
    void StopMusic() override { log.push_back("stop"); }
    void SetMusicVolume(int) override {}
};

// Plays for `lengthMs` of game time and shows one flat colour.
struct ScriptedVideo : VideoPlayer {
    VideoStart answer = VideoStart::kPlaying;
    std::int32_t lengthMs = 300;
    int plays = 0, stops = 0;
    std::uint8_t red = 250, green = 20, blue = 20;
    VideoStart Play(const std::filesystem::path&) override {
        ++plays;
        return answer;
    }
    void Stop() override { ++stops; }
    bool Advance(std::int32_t elapsedMs) override { return elapsedMs < lengthMs; }
    bool Render(int width, int height, RgbPicture& out) override {
        out.width = width;
        out.height = height;
        out.rgb.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3, 0);
        for (std::size_t i = 0; i < out.rgb.size(); i += 3) {
            out.rgb[i] = red;
            out.rgb[i + 1] = green;
            out.rgb[i + 2] = blue;
        }
        return true;
    }
};

constexpr int kVideoClip = 40, kAfterClip = 41;
// Any file of the data folder will do: the scripted player never reads it.
const char* const kVideoFile = "Standard.bnk";

class VideoClips : public ::testing::Test {
protected:
    void SetUp() override {
        game = std::make_unique<Game>(test::HeadlessConfig(std::filesystem::path(ZQ_BUILD_DIR) / "data", dir.Path()), keys,
                                      audio, host);
        game->video.player = &player;
        InitGame(*game);
        ResetFrameClock(game->shell, 0);
        SetClip(kVideoClip, "MUSIC\\INTRO.MOD", kVideoFile, kAfterClip);
        SetClip(kAfterClip, "MUSIC\\AFTER.MOD", "", -1);
        SetClip(0, "MUSIC\\TITLE.MOD", "", -1);  // a title without its intro, unless a test wants one
    }
    void SetClip(int index, const std::string& music, const std::string& video, int next) {
        ClipDef& clip = game->world->clips[static_cast<std::size_t>(index)];
        clip = ClipDef{};
        clip.music = music;
        clip.video = video;
        clip.nextClip = next;
        clip.musicLoop = true;
    }
    void Frames(int count, std::initializer_list<Key> held = {}) {
        keys.down.fill(false);
        for (Key k : held) keys.down[static_cast<std::size_t>(k)] = true;
        for (int i = 0; i < count; ++i) GameFrame(*game, ticks += 30);
    }
    long Count(const std::string& entry) const { return std::count(audio.log.begin(), audio.log.end(), entry); }
    // The title screen, its first frame run, with a video clip in place of its music.
    void TitleWithVideo() {
        SetClip(0, "MUSIC\\INTRO.MOD", kVideoFile, kAfterClip);
        SetScreen(*game, kScreenTitle);
        Frames(1);
        ASSERT_TRUE(game->shell.clipPlaying);
    }

    test::TempDir dir;
    HeldKeys keys;
    MusicLog audio;
    test::RecordingHost host;
    ScriptedVideo player;
    std::unique_ptr<Game> game;
    std::uint32_t ticks = 0;
};

TEST_F(VideoClips, EndOfFileStopsTheMusicAndStartsTheNextClipOnce) {
    SetScreen(*game, kScreenTitle);
    Frames(1);
    audio.log.clear();
    StartClip(*game, kVideoClip);
    EXPECT_TRUE(game->shell.clipPlaying);
    EXPECT_EQ(player.plays, 1);
    EXPECT_EQ(audio.log, (std::vector<std::string>{"stop", "play MUSIC\\INTRO.MOD"}));

    Frames(8);  // 240 ms of a 300 ms video
    EXPECT_TRUE(game->shell.clipPlaying);
    Frames(30);
    EXPECT_FALSE(game->shell.clipPlaying);
    EXPECT_EQ(Count("play MUSIC\\AFTER.MOD"), 1);
    EXPECT_EQ(audio.log.back(), "play MUSIC\\AFTER.MOD");
    EXPECT_EQ(game->clips.currentClip, kAfterClip);
    EXPECT_EQ(player.plays, 1);
}

TEST_F(VideoClips, AButtonClosesTheVideoAndItsMusicWithoutStartingTheGame) {
    TitleWithVideo();
    Frames(8);  // past the option keys' 200 ms gate
    Frames(1, {Key::Space});
    EXPECT_FALSE(game->shell.clipPlaying);
    EXPECT_EQ(player.stops, 1);
    EXPECT_EQ(audio.log.back(), "play MUSIC\\AFTER.MOD");
    // Holding the button on keeps the title as it is; a new press starts the game.
    Frames(10, {Key::Space});
    EXPECT_FALSE(game->shell.fade.active);
    EXPECT_EQ(game->shell.screen, kScreenTitle);
    Frames(1);
    Frames(1, {Key::Space});
    EXPECT_TRUE(game->shell.fade.active);
    Frames(40);
    EXPECT_EQ(game->shell.screen, kScreenPlay);
}

TEST_F(VideoClips, AButtonWithinTheOptionKeyGateLeavesTheVideoPlaying) {
    TitleWithVideo();
    game->options.optionKeyTime = game->shell.time.now;  // an option key was just taken
    Frames(1, {Key::Escape});
    EXPECT_TRUE(game->shell.clipPlaying);
    EXPECT_EQ(game->shell.screen, kScreenTitle);  // Escape did not end the program either
}

TEST_F(VideoClips, ACompletedFadeOutAndAScreenChangeCloseTheVideo) {
    TitleWithVideo();
    player.lengthMs = 100000;
    GameStartFade(*game, +1);
    Frames(60);
    EXPECT_FALSE(game->shell.clipPlaying);
    EXPECT_EQ(Count("play MUSIC\\AFTER.MOD"), 1);

    StartClip(*game, kVideoClip);
    ASSERT_TRUE(game->shell.clipPlaying);
    SetScreen(*game, kScreenCredits);
    EXPECT_FALSE(game->shell.clipPlaying);
    EXPECT_EQ(Count("play MUSIC\\AFTER.MOD"), 2);
}

TEST_F(VideoClips, AnUnplayableFileEndsAtOnceAsIfFinished) {
    SetScreen(*game, kScreenTitle);
    Frames(1);
    player.answer = VideoStart::kUnplayable;
    StartClip(*game, kVideoClip);
    Frames(1);
    EXPECT_FALSE(game->shell.clipPlaying);
    EXPECT_EQ(audio.log.back(), "play MUSIC\\AFTER.MOD");
    EXPECT_EQ(game->clips.currentClip, kAfterClip);
}

// A clip that chains to itself with a file the player cannot play must not
// make and break a player every frame: the file is tried once, said once on
// stderr, and skipped until the next level starts.
TEST_F(VideoClips, AFailedVideoIsSkippedForTheRestOfTheLevel) {
    SetScreen(*game, kScreenTitle);
    Frames(1);
    player.answer = VideoStart::kUnplayable;
    SetClip(kVideoClip, "MUSIC\\INTRO.MOD", kVideoFile, kVideoClip);
    StartClip(*game, kVideoClip);
    Frames(60);
    EXPECT_EQ(player.plays, 1);
    EXPECT_FALSE(game->shell.clipPlaying);
    EXPECT_EQ(audio.log.back(), "play MUSIC\\INTRO.MOD");  // its music still plays
    const auto lines = std::count_if(host.logLines.begin(), host.logLines.end(), [](const std::string& line) {
        return line.find("cannot be played") != std::string::npos;
    });
    EXPECT_EQ(lines, 1);
    StartLevel(*game, 0);
    StartClip(*game, kVideoClip);
    EXPECT_EQ(player.plays, 2);  // a new level tries it again
}

TEST_F(VideoClips, AMissingFileOrNoPlayerLeavesTheClipsMusicPlaying) {
    SetScreen(*game, kScreenTitle);
    Frames(1);
    SetClip(kVideoClip, "MUSIC\\INTRO.MOD", "VIDEO\\NOTHERE.Y4M", kAfterClip);
    StartClip(*game, kVideoClip);
    Frames(20);
    EXPECT_EQ(player.plays, 0);
    EXPECT_FALSE(game->shell.clipPlaying);
    EXPECT_EQ(audio.log.back(), "play MUSIC\\INTRO.MOD");
    EXPECT_EQ(game->clips.currentClip, kVideoClip);

    SetClip(kVideoClip, "MUSIC\\INTRO.MOD", kVideoFile, kAfterClip);
    player.answer = VideoStart::kNoPlayer;
    StartClip(*game, kVideoClip);
    Frames(20);
    EXPECT_FALSE(game->shell.clipPlaying);
    EXPECT_EQ(audio.log.back(), "play MUSIC\\INTRO.MOD");
}

TEST_F(VideoClips, AVideoStartsOnlyWhereItsMusicWould) {
    // A CD track name without a track number starts neither music nor video.
    SetClip(kVideoClip, "CDAUDIO_x1", kVideoFile, kAfterClip);
    StartClip(*game, kVideoClip);
    EXPECT_EQ(player.plays, 0);
    // Wave music needs its file.
    SetClip(kVideoClip, "MUSIC\\NOTHERE.WAV", kVideoFile, kAfterClip);
    StartClip(*game, kVideoClip);
    EXPECT_EQ(player.plays, 0);
    // A clip with a video but no music starts nothing.
    SetClip(kVideoClip, "", kVideoFile, kAfterClip);
    StartClip(*game, kVideoClip);
    EXPECT_EQ(player.plays, 0);
    SetClip(kVideoClip, "CDAUDIO_02", kVideoFile, kAfterClip);
    StartClip(*game, kVideoClip);
    EXPECT_EQ(player.plays, 1);
}

TEST_F(VideoClips, ThePlayScreenStandsStillUnderTheVideosPicture) {
    game->actors.Local().levelIndex = 0;
    StartLevel(*game, 0);
    Frames(40);
    // The first level's start hint sits on the status line, which is drawn
    // over everything; only the picture under it matters here.
    game->shell.status.shown = false;
    const Actor& hero = game->actors.Local();
    const float x = hero.x, z = hero.z;
    player.lengthMs = 100000;
    StartClip(*game, kVideoClip);
    Frames(20, {Key::Up});
    EXPECT_EQ(hero.x, x);
    EXPECT_EQ(hero.z, z);

    // The whole frame is the video's colour, through the nearest palette entry.
    FramePicture frame;
    ASSERT_TRUE(game->overlay.GrabFrame(frame));
    ASSERT_TRUE(frame.paletted);
    const std::uint8_t first = frame.pixels.front();
    EXPECT_TRUE(std::all_of(frame.pixels.begin(), frame.pixels.end(), [&](std::uint8_t p) { return p == first; }));
    EXPECT_EQ(first, NearestColour(frame.palette, player.red, player.green, player.blue, 0, 254));
}

TEST_F(VideoClips, TheButtonThatEndsACinematicIsNotAlsoAJump) {
    game->actors.Local().levelIndex = 0;
    StartLevel(*game, 0);
    Frames(40);
    const Actor& hero = game->actors.Local();
    ASSERT_TRUE(hero.onGround);
    const float y = hero.y;
    ClipDef& clip = game->world->clips[kVideoClip];
    clip = ClipDef{};
    clip.hasFrames = true;
    clip.frames[0].duration = 5000;
    StartClip(*game, kVideoClip);
    Frames(1, {Key::Space});
    EXPECT_FALSE(game->shell.cinematicPlaying);
    Frames(10, {Key::Space});
    EXPECT_EQ(hero.y, y);  // held: no jump
    Frames(1);
    Frames(3, {Key::Space});
    EXPECT_GT(hero.y, y);  // pressed again: a jump
}

// `packets` MPEG transport stream packets of 188 bytes, each opening with its sync byte.
std::string TransportStream(int packets) {
    std::string data;
    for (int i = 0; i < packets; ++i) data += std::string("\x47\x40\x00\x10", 4) + std::string(184, '\xff');
    return data;
}

TEST(VideoContainer, OnlyVideoContainersPassNotFilesThatNameOthers) {
    const struct {
        std::string head;
        bool video;
    } cases[] = {
        {"YUV4MPEG2 W16 H16", true},
        {std::string("\x1A\x45\xDF\xA3\x01", 5), true},
        {std::string("\0\0\0\x20" "ftypisom", 12), true},
        {"OggS\0\x02", true},
        {std::string("RIFF\x10\0\0\0AVI LIST", 16), true},
        {std::string("\0\0\x01\xBA\x44", 5), true},
        {TransportStream(3), true},
        {TransportStream(2), false},  // a sync byte is one byte: three packets in a row are asked for
        {std::string("\x47\x40\x00\x10", 4), false},
        {"GET /video HTTP/1.0\r\n", false},
        {"G" + std::string(600, ' '), false},
        {"# mpv EDL v0\n/etc/passwd", false},
        {"edl://a.mkv", false},
        {"#EXTM3U\n#EXT-X-TARGETDURATION:1", false},
        {"/tmp/outside.y4m\n", false},
        {"ffconcat version 1.0\n", false},
        {"[playlist]\nFile1=x", false},
        {"YUV4MPEG", false},  // cut short
        {"RIFFxxxxWAVEfmt ", false},
        {"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsVideoContainer(reinterpret_cast<const std::uint8_t*>(c.head.data()), c.head.size()), c.video)
            << c.head;
}

TEST(SoftPicture, ASmallerPictureIsCentredOnBlackAndALargerOneCut) {
    SoftBackEnd back;
    back.renderer.SetProjection(8, 6);
    SoftFrame& frame = back.renderer.Frame();
    for (std::size_t i = 0; i < 256; ++i) frame.palette.red[i] = static_cast<std::uint8_t>(i);  // a red ramp, 0 black

    RgbPicture small{4, 2, std::vector<std::uint8_t>(4 * 2 * 3, 0)};
    for (std::size_t i = 0; i < small.rgb.size(); i += 3) small.rgb[i] = 200;
    back.DrawRgbPicture(small);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(frame.pixels[static_cast<std::size_t>(y * 8 + x)], x >= 2 && x < 6 && y >= 2 && y < 4 ? 200 : 0)
                << x << "," << y;

    // A picture wider than the frame keeps its middle; rows it lacks are black.
    RgbPicture wide{10, 6, std::vector<std::uint8_t>(10 * 6 * 3, 0)};
    for (int x = 0; x < 10; ++x) wide.rgb[static_cast<std::size_t>(x) * 3] = static_cast<std::uint8_t>(10 + x);
    back.DrawRgbPicture(wide);
    for (int x = 0; x < 8; ++x) EXPECT_EQ(frame.pixels[static_cast<std::size_t>(x)], 11 + x);
    // Nothing valid to show: all black.
    back.DrawRgbPicture(RgbPicture{3, 3, {}});
    EXPECT_TRUE(std::all_of(frame.pixels.begin(), frame.pixels.end(), [](std::uint8_t p) { return p == 0; }));
}

}  // namespace
}  // namespace zq
