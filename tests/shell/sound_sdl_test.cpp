// SDL2_mixer on the dummy audio driver: generated sounds and music load and
// play for a moment without error.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <sys/stat.h>

#include "assets/wave.h"
#include "core/file_io.h"
#include "platform/sdl_audio.h"
#include "shell/sound_mixer.h"
#include "test_util.h"

namespace zq {
namespace {

// Sets SDL_AUDIODRIVER for one test and puts the old value back.
class AudioDriverScope {
public:
    explicit AudioDriverScope(const char* driver) {
        const char* old = std::getenv("SDL_AUDIODRIVER");
        had_ = old != nullptr;
        if (old) old_ = old;
        setenv("SDL_AUDIODRIVER", driver, 1);
    }
    ~AudioDriverScope() {
        if (had_) setenv("SDL_AUDIODRIVER", old_.c_str(), 1);
        else unsetenv("SDL_AUDIODRIVER");
    }

private:
    bool had_ = false;
    std::string old_;
};

TEST(SdlAudio, NoDeviceMeansSilenceNotAnError) {
    AudioDriverScope driver("no-such-driver");
    EXPECT_EQ(OpenSdlSoundBackend(DataResolver(".")), nullptr);
    std::unique_ptr<Audio> audio = OpenAudio(DataResolver("."));
    ASSERT_NE(audio, nullptr);
    audio->LoadSound(kClickSoundSlot, "INTERF\\CLIC.WAV");
    audio->PlaySound(kClickSoundSlot, false);
    audio->PlayMusic("MUSIC\\TITLE.MOD", true);
    audio->SetMusicVolume(100);
    audio->CheckMusicEnd();
    audio->StopMusic();
}

TEST(SdlAudio, DamagedWaveFilesLeaveTheirSlotsSilent) {
    AudioDriverScope driver("dummy");
    const std::filesystem::path dir = std::filesystem::path(ZQ_BUILD_DIR) / "sound_test_files";
    std::filesystem::create_directories(dir);
    WaveData good;
    good.formatTag = kWaveFormatPcm;
    good.channels = 1;
    good.samplesPerSecond = 11025;
    good.averageBytesPerSecond = 11025;
    good.blockAlign = 1;
    good.bitsPerSample = 8;
    good.samples.assign(2000, 0x90);
    WaveData noChannels = good;
    noChannels.channels = 0;
    noChannels.blockAlign = 0;
    Bytes cut = WriteWave(good);
    cut.resize(100);
    ASSERT_TRUE(WriteFileAtomic(dir / "good.wav", WriteWave(good)));
    ASSERT_TRUE(WriteFileAtomic(dir / "cut.wav", cut));
    ASSERT_TRUE(WriteFileAtomic(dir / "nochannels.wav", WriteWave(noChannels)));
    ASSERT_TRUE(WriteFileAtomic(dir / "text.wav", std::string("not a sound at all")));

    std::unique_ptr<SoundBackend> backend = OpenSdlSoundBackend(DataResolver(dir));
    if (!backend) GTEST_SKIP() << "the dummy audio driver cannot be opened";
    EXPECT_TRUE(backend->LoadSound(1, "GOOD.WAV"));
    EXPECT_FALSE(backend->LoadSound(2, "cut.wav"));
    EXPECT_FALSE(backend->LoadSound(3, "nochannels.wav"));
    EXPECT_FALSE(backend->LoadSound(4, "text.wav"));
    EXPECT_FALSE(backend->LoadSound(5, "absent.wav"));
    // Reloading a slot with a bad file empties it.
    EXPECT_FALSE(backend->LoadSound(1, "text.wav"));
    EXPECT_FALSE(backend->HasSound(1));
    // Music from damaged or foreign files plays nothing.
    EXPECT_FALSE(backend->StartMusic("cut.wav", true));
    EXPECT_FALSE(backend->StartMusic("text.wav", true));
    EXPECT_TRUE(backend->StartMusic("good.wav", false));
    backend->StopMusic();
    EXPECT_FALSE(backend->MusicPlaying());
}

TEST(SdlAudio, PlaysGeneratedSoundsAndModuleOnTheDummyDriver) {
    const std::filesystem::path dataDir = std::filesystem::path(ZQ_BUILD_DIR) / "data";
    if (!std::filesystem::exists(dataDir)) GTEST_SKIP() << "no generated data folder";
    AudioDriverScope driver("dummy");
    std::unique_ptr<SoundBackend> backend = OpenSdlSoundBackend(DataResolver(dataDir));
    if (!backend) GTEST_SKIP() << "the dummy audio driver cannot be opened";
    SoundBackend* raw = backend.get();
    {
        SoundMixer mixer(std::move(backend));
        mixer.LoadSound(kClickSoundSlot, "interf\\clic.wav");
        ASSERT_TRUE(raw->HasSound(kClickSoundSlot));
        mixer.LoadSound(kChoiceSoundSlot, "INTERF/NO-SUCH.WAV");
        EXPECT_FALSE(raw->HasSound(kChoiceSoundSlot));

        mixer.PlaySound(kClickSoundSlot, false);
        EXPECT_TRUE(raw->ChannelPlaying(kFirstFlatChannel));
        for (int i = 0; i < kSoundChannelCount + 3; ++i) mixer.PlaySoundAt(kClickSoundSlot, i * 300 - 20000, 0, 1000, 254);
        EXPECT_TRUE(raw->ChannelPlaying(kSoundChannelCount - 1));
        mixer.UpdatePositionalSounds(Listener{0, 0, 0, 4000, 0, 0});

        mixer.PlayMusic("MUSIC\\TITLE.MOD", true);
        EXPECT_EQ(mixer.Music().kind, MusicKind::Module);
        EXPECT_TRUE(mixer.Music().started);
        mixer.SetMusicVolume(100);
        SDL_Delay(60);
        EXPECT_TRUE(raw->MusicPlaying());
        mixer.CheckMusicEnd();
        mixer.StopAllSounds();
        EXPECT_FALSE(raw->ChannelPlaying(0));
        mixer.StopMusic();
        EXPECT_FALSE(raw->MusicPlaying());

        // The generated click played as wave music, then a missing track.
        mixer.PlayMusic("INTERF\\CLIC.WAV", false);
        EXPECT_TRUE(mixer.Music().started);
        SDL_Delay(20);
        mixer.PlayMusic("NOWHERE.MOD", true);
        EXPECT_FALSE(mixer.Music().started);

        // The generated CD track 2 is found under CDAUDIO/; track 9 is silence.
        mixer.PlayMusic("CDAUDIO_02", true);
        EXPECT_TRUE(mixer.Music().started);
        EXPECT_EQ(mixer.Music().playing, "CDAUDIO/TRACK02.wav");
        SDL_Delay(20);
        EXPECT_TRUE(raw->MusicPlaying());
        mixer.PlayMusic("CDAUDIO_09", true);
        EXPECT_FALSE(mixer.Music().started);
        EXPECT_FALSE(raw->MusicPlaying());
    }
}

// The effects volume reaches the samples SDL writes: on the disk driver the
// same sound at a quarter of the volume peaks well below the one at full.
TEST(SdlAudio, TheEffectsVolumeMakesQuieterSamples) {
    const std::filesystem::path dataDir = std::filesystem::path(ZQ_BUILD_DIR) / "data";
    if (!std::filesystem::exists(dataDir)) GTEST_SKIP() << "no generated data folder";
    AudioDriverScope driver("disk");
    test::TempDir dir;
    auto peak = [&](int percent) {
        const std::filesystem::path file = dir / ("out" + std::to_string(percent) + ".raw");
        setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
        {
            std::unique_ptr<SoundBackend> backend = OpenSdlSoundBackend(DataResolver(dataDir));
            if (!backend) return -1;
            SoundMixer mixer(std::move(backend));
            mixer.LoadSound(kChoiceSoundSlot, "interf\\choix.wav");
            mixer.SetEffectsVolume(percent);
            mixer.PlaySound(kChoiceSoundSlot, false);
            SDL_Delay(500);
        }
        unsetenv("SDL_DISKAUDIOFILE");
        const std::optional<Bytes> bytes = ReadFileBytes(file, kMaxMediaFileBytes);
        int highest = 0;
        for (std::size_t i = 0; bytes && i + 1 < bytes->size(); i += 2) {
            const auto sample = static_cast<std::int16_t>((*bytes)[i] | ((*bytes)[i + 1] << 8));  // 16-bit, little-endian
            highest = std::max(highest, std::abs(static_cast<int>(sample)));
        }
        return highest;
    };
    const int full = peak(100);
    if (full < 0) GTEST_SKIP() << "the disk audio driver cannot be opened";
    const int quarter = peak(25);
    EXPECT_GT(full, 1000);
    EXPECT_GT(quarter, 0);
    EXPECT_LT(quarter, full / 2);
}

// Special files in the place of music or a CD track are silence, at once: a
// FIFO is not waited on, a folder not decoded, an endless device not read,
// a file above the ceiling not loaded.
TEST(SdlAudio, SpecialAndHugeMusicFilesAreSilence) {
    AudioDriverScope driver("dummy");
    test::TempDir dir;
    std::filesystem::create_directories(dir / "MUSIC/FOLDER.MOD");
    ASSERT_EQ(::mkfifo((dir / "MUSIC/FIFO.MOD").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((dir / "FIFO.WAV").c_str(), 0600), 0);
    std::filesystem::create_directories(dir / "CDAUDIO");
    ASSERT_EQ(::mkfifo((dir / "CDAUDIO/TRACK03.ogg").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", dir / "MUSIC/ZERO.MOD");
    // A sparse file just above the ceiling: no disk space, but too large.
    {
        std::ofstream(dir / "MUSIC/HUGE.MOD");
        std::filesystem::resize_file(dir / "MUSIC/HUGE.MOD", kMaxMediaFileBytes + 1);
    }
    std::unique_ptr<SoundBackend> backend = OpenSdlSoundBackend(DataResolver(dir.Path()));
    if (!backend) GTEST_SKIP() << "the dummy audio driver cannot be opened";
    SoundBackend* raw = backend.get();
    SoundMixer mixer(std::move(backend));
    for (const char* name : {"MUSIC\\FIFO.MOD", "MUSIC\\FOLDER.MOD", "MUSIC\\ZERO.MOD", "MUSIC\\HUGE.MOD", "CDAUDIO_03"}) {
        mixer.PlayMusic(name, true);
        EXPECT_FALSE(mixer.Music().started) << name;
        EXPECT_FALSE(raw->MusicPlaying()) << name;
    }
    mixer.LoadSound(kClickSoundSlot, "FIFO.WAV");
    EXPECT_FALSE(raw->HasSound(kClickSoundSlot));
    // The bounded reader says why.
    EXPECT_EQ(ReadRegularFile(dir / "MUSIC/FIFO.MOD", kMaxMediaFileBytes).why, "not a regular file");
    EXPECT_EQ(ReadRegularFile("/dev/zero", kMaxMediaFileBytes).why, "not a regular file");
    EXPECT_EQ(ReadRegularFile(dir / "MUSIC/HUGE.MOD", kMaxMediaFileBytes).why, "larger than 64 MB");
    EXPECT_FALSE(ReadRegularFile(dir / "MUSIC/FOLDER.MOD", kMaxMediaFileBytes).bytes);
}

TEST(SdlAudio, PlaysAHandMadeMidiTrack) {
    if (!std::filesystem::exists("/usr/share/sounds/sf2/TimGM6mb.sf2")) GTEST_SKIP() << "no soundfont";
    AudioDriverScope driver("dummy");
    const std::filesystem::path dir = std::filesystem::path(ZQ_BUILD_DIR) / "sound_test_files";
    std::filesystem::create_directories(dir);
    // One track: middle C for a beat, then the end of the track.
    const Bytes midi = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96,                      //
                        'M', 'T', 'r', 'k', 0, 0, 0, 12, 0, 0x90, 60, 100, 96, 0x80, 60, 64,  //
                        0, 0xFF, 0x2F, 0};
    ASSERT_TRUE(WriteFileAtomic(dir / "beat.mid", midi));
    std::unique_ptr<SoundBackend> backend = OpenSdlSoundBackend(DataResolver(dir));
    if (!backend) GTEST_SKIP() << "the dummy audio driver cannot be opened";
    SoundBackend* raw = backend.get();
    SoundMixer mixer(std::move(backend));
    mixer.PlayMusic("BEAT.MID", true);
    EXPECT_EQ(mixer.Music().kind, MusicKind::Midi);
    ASSERT_TRUE(mixer.Music().started);
    mixer.SetMusicVolume(0);  // held
    EXPECT_TRUE(mixer.Music().paused);
    mixer.SetMusicVolume(100);
    SDL_Delay(30);
    mixer.CheckMusicEnd();
    EXPECT_TRUE(raw->MusicPlaying());
    mixer.StopMusic();
    EXPECT_FALSE(raw->MusicPlaying());
}

}  // namespace
}  // namespace zq
