// SDL2_mixer on the dummy audio driver: generated sounds and music load and
// play for a moment without error.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <filesystem>

#include "platform/sdl_audio.h"

namespace zq {
namespace {

TEST(SdlAudio, PlaysGeneratedSoundsAndModuleOnTheDummyDriver) {
    const std::filesystem::path dataDir = std::filesystem::path(ZQ_BUILD_DIR) / "data";
    if (!std::filesystem::exists(dataDir)) GTEST_SKIP() << "no generated data folder";
    const char* previous = std::getenv("SDL_AUDIODRIVER");
    const std::string saved = previous ? previous : "";
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    DataResolver data(dataDir);
    std::unique_ptr<SoundBackend> backend = OpenSdlSoundBackend(data);
    if (!backend) {
        if (previous) setenv("SDL_AUDIODRIVER", saved.c_str(), 1);
        else unsetenv("SDL_AUDIODRIVER");
        GTEST_SKIP() << "the dummy audio driver cannot be opened";
    }
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
    }
    if (previous) setenv("SDL_AUDIODRIVER", saved.c_str(), 1);
    else unsetenv("SDL_AUDIODRIVER");
}

}  // namespace
}  // namespace zq
