// The mixer against a recording backend: channel choice, positional volume
// and pan, music kinds and the music volume rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "shell/sound_mixer.h"

namespace zq {
namespace {

struct FakeBackend final : SoundBackend {
    std::array<bool, kAudioSlotCount> loaded{};
    std::array<bool, kMixerChannelCount> playing{};
    std::array<SoundRef, kMixerChannelCount> channelSlot{};
    std::array<bool, kMixerChannelCount> channelLoop{};
    std::array<ChannelMix, kMixerChannelCount> mix{};
    int starts = 0;
    std::vector<std::string> musicLog;
    bool musicPlaying = false;
    bool musicLoads = true;
    std::vector<std::string> absent;  // music files that are not there
    int musicLevel = -1;
    int effectsLevel = -1;

    bool LoadSound(SoundRef slot, const std::string& fileName) override {
        loaded[static_cast<std::size_t>(slot)] = fileName != "missing.wav";
        return loaded[static_cast<std::size_t>(slot)];
    }
    bool HasSound(SoundRef slot) const override { return loaded[static_cast<std::size_t>(slot)]; }
    void StartChannel(int channel, SoundRef slot, bool loop, const ChannelMix& m) override {
        const auto c = static_cast<std::size_t>(channel);
        playing[c] = true;
        channelSlot[c] = slot;
        channelLoop[c] = loop;
        mix[c] = m;
        ++starts;
    }
    void SetChannelMix(int channel, const ChannelMix& m) override { mix[static_cast<std::size_t>(channel)] = m; }
    bool ChannelPlaying(int channel) const override { return playing[static_cast<std::size_t>(channel)]; }
    void StopChannel(int channel) override { playing[static_cast<std::size_t>(channel)] = false; }
    bool StartMusic(const std::string& fileName, bool loop) override {
        musicLog.push_back("start " + fileName + (loop ? " loop" : " once"));
        musicPlaying = musicLoads && std::find(absent.begin(), absent.end(), fileName) == absent.end();
        return musicPlaying;
    }
    void StopMusic() override {
        musicLog.push_back("stop");
        musicPlaying = false;
    }
    void SetMusicLevel(int level) override { musicLevel = level; }
    void SetEffectsLevel(int level) override { effectsLevel = level; }
    void PauseMusic() override { musicLog.push_back("pause"); }
    void ResumeMusic() override { musicLog.push_back("resume"); }
    bool MusicPlaying() const override { return musicPlaying; }
};

struct MixerFixture : ::testing::Test {
    MixerFixture() {
        auto owned = std::make_unique<FakeBackend>();
        fake = owned.get();
        mixer = std::make_unique<SoundMixer>(std::move(owned));
        mixer->LoadSound(3, "step.wav");
        mixer->LoadSound(kClickSoundSlot, "click.wav");
    }
    FakeBackend* fake = nullptr;
    std::unique_ptr<SoundMixer> mixer;
};

ListenerFrame Origin() { return MakeListenerFrame(Listener{}); }

TEST(SoundMath, VolumeFallsWithDistanceAndLoudness) {
    const ListenerFrame at = Origin();
    EXPECT_EQ(PositionalMix(at, 0, 0, 0, 254, kHearingDistance).volume, -20);
    EXPECT_EQ(PositionalMix(at, 0, 0, 0, 0, kHearingDistance).volume, -2500);  // 384 of 512
    EXPECT_EQ(PositionalMix(at, 0, 0, kHearingDistance, 254, kHearingDistance).volume, -10000);
    EXPECT_EQ(PositionalMix(at, 0, 0, 5 * kHearingDistance, 254, kHearingDistance).volume, -10000);
    // Halfway: a = 5000 * 511 = 2555000, div 512 = 4990.
    EXPECT_EQ(PositionalMix(at, 0, 0, kHearingDistance / 2, 254, kHearingDistance).volume, -5010);
    // 255 is never faded, however far.
    EXPECT_EQ(PositionalMix(at, 0, 0, 0, 255, kHearingDistance).volume, 0);
    EXPECT_EQ(PositionalMix(at, 0, 0, 10 * kHearingDistance, 255, kHearingDistance).volume, 0);
    // Out-of-range parameters are held to 0..255 rather than trusted.
    EXPECT_EQ(PositionalMix(at, 0, 0, 0, 9999, kHearingDistance).volume, 0);
    EXPECT_EQ(PositionalMix(at, 0, 0, 0, -5, kHearingDistance).volume, -2500);
    // A degenerate hearing distance does not divide by zero.
    EXPECT_EQ(PositionalMix(at, 0, 0, 0, 254, 0).volume, -20);
    EXPECT_EQ(PositionalMix(at, 0, 0, 100, 254, 0).volume, -10000);
}

TEST(SoundMath, PanFollowsTheCameraSide) {
    const ListenerFrame at = Origin();
    EXPECT_EQ(PositionalMix(at, 100, 0, 0, 254, kHearingDistance).pan, 400);
    EXPECT_EQ(PositionalMix(at, 30000, 0, 0, 254, kHearingDistance).pan, 10000);
    EXPECT_EQ(PositionalMix(at, -30000, 0, 0, 254, kHearingDistance).pan, -10000);
    EXPECT_EQ(PositionalMix(at, 0, 500, 700, 254, kHearingDistance).pan, 0);
    // Turned half a turn, what was on the right is on the left.
    const ListenerFrame turned = MakeListenerFrame(Listener{0, 0, 0, 16384, 0, 0});
    EXPECT_EQ(PositionalMix(turned, 30000, 0, 0, 254, kHearingDistance).pan, -10000);
    // The listener's position counts, not just the sound's.
    const ListenerFrame moved = MakeListenerFrame(Listener{1000, 0, 0, 0, 0, 0});
    EXPECT_EQ(PositionalMix(moved, 1000, 0, 0, 254, kHearingDistance).volume, -20);
    // Huge coordinates stay finite and clamped.
    const ChannelMix far = PositionalMix(at, INT32_MAX, INT32_MIN, INT32_MAX, 254, kHearingDistance);
    EXPECT_EQ(far.volume, -10000);
    EXPECT_EQ(far.pan, 10000);
}

TEST(SoundMath, LinearLevels) {
    EXPECT_EQ(VolumeToLinear128(0), 128);
    EXPECT_EQ(VolumeToLinear128(500), 128);
    EXPECT_EQ(VolumeToLinear128(-10000), 0);
    EXPECT_EQ(VolumeToLinear128(-20000), 0);
    EXPECT_EQ(VolumeToLinear128(-600), 64);  // -6 dB is about half
    EXPECT_EQ(PanToLevels(0).left, 255);
    EXPECT_EQ(PanToLevels(0).right, 255);
    EXPECT_EQ(PanToLevels(10000).left, 0);
    EXPECT_EQ(PanToLevels(10000).right, 255);
    EXPECT_EQ(PanToLevels(-10000).right, 0);
    EXPECT_EQ(PanToLevels(-10000).left, 255);
    EXPECT_EQ(PanToLevels(-600).right, 128);
    EXPECT_EQ(PanToLevels(99999).left, 0);
}

TEST(SoundMath, MusicKindFromTheName) {
    EXPECT_EQ(MusicKindOf("TITLE.MOD"), MusicKind::Module);
    EXPECT_EQ(MusicKindOf("music\\tune.mod"), MusicKind::Module);
    EXPECT_EQ(MusicKindOf("song.xm"), MusicKind::Module);
    EXPECT_EQ(MusicKindOf("SONG.Mid"), MusicKind::Midi);
    EXPECT_EQ(MusicKindOf("theme.wav"), MusicKind::Wave);
    EXPECT_EQ(MusicKindOf("xm"), MusicKind::Wave);
    EXPECT_EQ(MusicKindOf(""), MusicKind::Wave);
    EXPECT_EQ(MusicKindOf("CDAUDIO_02"), MusicKind::CdAudio);
    EXPECT_EQ(MusicKindOf("cdaudio_x1"), MusicKind::CdAudio);
    EXPECT_EQ(MusicKindOf("CDAUDIO_2"), MusicKind::Wave);  // 9 characters
    EXPECT_EQ(CdTrackText("CDAUDIO_02"), "02");
    EXPECT_EQ(CdTrackText("CDAUDIO_2-3"), "2-3");
    EXPECT_EQ(CdTrackText("CDAUDIO_x1"), std::nullopt);
    EXPECT_EQ(CdTrackText("CDAUDIO_2"), std::nullopt);
    EXPECT_EQ(CdTrackFile("CDAUDIO_02"), "CDAUDIO/TRACK02");
    EXPECT_EQ(CdTrackFile("cdaudio_007"), "CDAUDIO/TRACK07");
    EXPECT_EQ(CdTrackFile("CDAUDIO_99"), "CDAUDIO/TRACK99");
    for (const char* name : {"CDAUDIO_x1", "CDAUDIO_2-3", "CDAUDIO_00", "CDAUDIO_100", "CDAUDIO_2", "CDAUDIO_--"})
        EXPECT_EQ(CdTrackFile(name), std::nullopt) << name;
}

TEST_F(MixerFixture, PositionedSoundsTakeTheFirstIdleChannelThenTheLast) {
    for (int i = 0; i < kSoundChannelCount; ++i) mixer->PlaySoundAt(3, i, 0, 0, 254);
    for (int c = 0; c < kSoundChannelCount; ++c) EXPECT_EQ(mixer->Channel(c).x, c);
    // The 257th overlapping sound takes over channel 255.
    mixer->PlaySoundAt(3, 7777, 0, 0, 100);
    EXPECT_EQ(fake->starts, kSoundChannelCount + 1);
    EXPECT_EQ(mixer->Channel(255).x, 7777);
    EXPECT_EQ(mixer->Channel(255).volume, 100);
    EXPECT_EQ(mixer->Channel(254).x, 254);
    // A channel that finished is the next one used.
    fake->playing[17] = false;
    mixer->PlaySoundAt(3, -1, 0, 0, 254);
    EXPECT_EQ(mixer->Channel(17).x, -1);
    EXPECT_FALSE(fake->channelLoop[17]);
}

TEST_F(MixerFixture, UpdateRecomputesOnlyPlayingChannels) {
    mixer->PlaySoundAt(3, 0, 0, 0, 254);
    mixer->PlaySoundAt(3, 2000, 0, 0, 254);
    EXPECT_EQ(fake->mix[0].volume, -20);
    fake->playing[1] = false;
    fake->mix[1] = ChannelMix{123, 456};
    mixer->UpdatePositionalSounds(Listener{0, 0, static_cast<float>(kHearingDistance), 0, 0, 0});
    EXPECT_EQ(fake->mix[0].volume, -10000);
    EXPECT_EQ(fake->mix[1].volume, 123);  // finished: left alone
    // Sounds started after an update are mixed from that camera.
    mixer->PlaySoundAt(3, 0, 0, kHearingDistance, 254);
    EXPECT_EQ(fake->mix[1].volume, -20);
}

TEST_F(MixerFixture, BadSlotsAndEmptySoundsPlayNothing) {
    mixer->LoadSound(4, "missing.wav");
    mixer->PlaySoundAt(4, 0, 0, 0, 254);
    mixer->PlaySound(4, false);
    mixer->PlaySoundAt(kNoSound, 0, 0, 0, 254);
    mixer->PlaySoundAt(kAudioSlotCount, 0, 0, 0, 254);
    mixer->PlaySound(-7, true);
    mixer->LoadSound(kAudioSlotCount + 5, "step.wav");
    EXPECT_EQ(fake->starts, 0);
}

TEST_F(MixerFixture, FlatSoundsRestartInPlaceAndStayOffTheWorldChannels) {
    mixer->PlaySound(kClickSoundSlot, false);
    EXPECT_TRUE(fake->playing[kFirstFlatChannel]);
    mixer->PlaySound(3, true);
    EXPECT_TRUE(fake->channelLoop[kFirstFlatChannel + 1]);
    // Playing the click again restarts it where it is.
    mixer->PlaySound(kClickSoundSlot, false);
    EXPECT_EQ(fake->channelSlot[kFirstFlatChannel], kClickSoundSlot);
    EXPECT_FALSE(fake->playing[kFirstFlatChannel + 2]);
    for (int c = 0; c < kSoundChannelCount; ++c) EXPECT_FALSE(fake->playing[static_cast<std::size_t>(c)]);
    EXPECT_EQ(fake->mix[kFirstFlatChannel].volume, 0);
    EXPECT_EQ(fake->mix[kFirstFlatChannel].pan, 0);
    // With every flat channel busy with other sounds, a new one still plays
    // on exactly one flat channel.
    for (int i = 0; i < kFlatChannelCount; ++i) {
        mixer->LoadSound(20 + i, "s.wav");
        mixer->PlaySound(20 + i, false);
    }
    mixer->LoadSound(60, "s.wav");
    const int before = fake->starts;
    mixer->PlaySound(60, false);
    EXPECT_EQ(fake->starts, before + 1);
    int holders = 0;
    for (int c = kFirstFlatChannel; c < kMixerChannelCount; ++c) holders += fake->channelSlot[static_cast<std::size_t>(c)] == 60;
    EXPECT_EQ(holders, 1);
}

TEST_F(MixerFixture, StopAllSoundsStopsTheWorldButNotTheInterface) {
    mixer->PlaySoundAt(3, 0, 0, 0, 254);
    mixer->PlaySoundAt(3, 0, 0, 0, 254);
    mixer->PlaySound(kClickSoundSlot, false);
    mixer->StopAllSounds();
    EXPECT_FALSE(fake->playing[0]);
    EXPECT_FALSE(fake->playing[1]);
    EXPECT_TRUE(fake->playing[kFirstFlatChannel]);
}

TEST_F(MixerFixture, ModuleStartsSilentThenFollowsTheMusicVolume) {
    mixer->PlayMusic("TITLE.MOD", true);
    EXPECT_EQ(fake->musicLevel, 0);
    ASSERT_EQ(fake->musicLog, std::vector<std::string>{"start TITLE.MOD loop"});
    EXPECT_EQ(mixer->Music().kind, MusicKind::Module);
    mixer->SetMusicVolume(100);
    EXPECT_EQ(fake->musicLevel, 128);
    mixer->SetMusicVolume(50);
    EXPECT_EQ(fake->musicLevel, 31 * 128 / 63);
    mixer->SetMusicVolume(0);
    EXPECT_EQ(fake->musicLevel, 0);
    mixer->StopMusic();
    EXPECT_EQ(fake->musicLog.back(), "stop");
    EXPECT_EQ(mixer->Music().kind, MusicKind::None);
    // Stopping again, or changing the volume with nothing playing, does nothing.
    mixer->StopMusic();
    mixer->SetMusicVolume(100);
    EXPECT_EQ(fake->musicLog.size(), 2u);
    EXPECT_EQ(fake->musicLevel, 0);
}

TEST_F(MixerFixture, MidiIsHeldBelowHalfVolumeAndLoopsWhenItRunsOut) {
    mixer->PlayMusic("tune.mid", true);
    EXPECT_EQ(fake->musicLevel, 128);
    mixer->SetMusicVolume(100);
    mixer->SetMusicVolume(0);
    mixer->SetMusicVolume(0);
    // Held: running out does not restart it.
    fake->musicPlaying = false;
    mixer->CheckMusicEnd();
    mixer->SetMusicVolume(100);
    EXPECT_EQ(fake->musicLog, (std::vector<std::string>{"start tune.mid loop", "pause", "resume"}));
    // Playing and at its end: starts again from the beginning.
    mixer->CheckMusicEnd();
    EXPECT_EQ(fake->musicLog.back(), "start tune.mid loop");
    const std::size_t count = fake->musicLog.size();
    mixer->CheckMusicEnd();  // playing again: nothing to do
    EXPECT_EQ(fake->musicLog.size(), count);

    // A track played once is left ended; so are modules (they loop themselves).
    mixer->PlayMusic("once.mid", false);
    fake->musicPlaying = false;
    mixer->CheckMusicEnd();
    EXPECT_EQ(fake->musicLog.back(), "start once.mid once");
    mixer->PlayMusic("TENSE.MOD", true);
    fake->musicPlaying = false;
    mixer->CheckMusicEnd();
    EXPECT_EQ(fake->musicLog.back(), "start TENSE.MOD loop");
}

TEST_F(MixerFixture, WaveMusicVolumeAndMissingFiles) {
    mixer->PlayMusic("theme.wav", false);
    mixer->SetMusicVolume(100);
    EXPECT_EQ(fake->musicLevel, 128);
    mixer->SetMusicVolume(40);  // the settings screen's steps: even steps of level
    EXPECT_EQ(fake->musicLevel, 51);
    mixer->SetMusicVolume(0);
    EXPECT_EQ(fake->musicLevel, 0);
    // The effects volume is the mixer's level for every channel together.
    mixer->SetEffectsVolume(50);
    EXPECT_EQ(fake->effectsLevel, 64);
    mixer->SetEffectsVolume(150);
    EXPECT_EQ(fake->effectsLevel, 128);
    // A file that does not load plays nothing and later volume changes are ignored.
    fake->musicLoads = false;
    mixer->PlayMusic("gone.wav", true);
    EXPECT_FALSE(mixer->Music().started);
    fake->musicLevel = -1;
    mixer->SetMusicVolume(100);
    EXPECT_EQ(fake->musicLevel, -1);
}

TEST_F(MixerFixture, CdTracksPlayTheirFileFollowTheMusicSwitchAndLoop) {
    fake->absent = {"CDAUDIO/TRACK02.ogg", "CDAUDIO/TRACK02.flac"};
    mixer->PlayMusic("CDAUDIO_02", true);
    EXPECT_EQ(fake->musicLog, (std::vector<std::string>{"start CDAUDIO/TRACK02.ogg once",
                                                        "start CDAUDIO/TRACK02.flac once",
                                                        "start CDAUDIO/TRACK02.wav once"}));
    EXPECT_TRUE(mixer->Music().started);
    EXPECT_EQ(mixer->Music().kind, MusicKind::CdAudio);
    mixer->SetMusicVolume(0);
    EXPECT_EQ(fake->musicLevel, 0);
    mixer->SetMusicVolume(100);
    EXPECT_EQ(fake->musicLevel, 128);
    // Still playing: nothing to do; run out: the same file again.
    mixer->CheckMusicEnd();
    EXPECT_EQ(fake->musicLog.size(), 3u);
    fake->musicPlaying = false;
    mixer->CheckMusicEnd();
    EXPECT_EQ(fake->musicLog.back(), "start CDAUDIO/TRACK02.wav once");
    // Played once, an ended track stays ended.
    mixer->PlayMusic("CDAUDIO_03", false);
    EXPECT_EQ(fake->musicLog.back(), "start CDAUDIO/TRACK03.ogg once");
    fake->musicPlaying = false;
    mixer->CheckMusicEnd();
    EXPECT_EQ(fake->musicLog.back(), "start CDAUDIO/TRACK03.ogg once");
}

TEST_F(MixerFixture, CdTracksWithoutANumberOrAFileAreSilent) {
    mixer->PlayMusic("CDAUDIO_x1", true);
    EXPECT_EQ(mixer->Music().kind, MusicKind::CdAudio);
    EXPECT_TRUE(fake->musicLog.empty());
    fake->absent = {"CDAUDIO/TRACK05.ogg", "CDAUDIO/TRACK05.flac", "CDAUDIO/TRACK05.wav"};
    mixer->PlayMusic("CDAUDIO_05", true);
    EXPECT_FALSE(mixer->Music().started);
    const std::size_t tries = fake->musicLog.size();
    fake->musicLevel = -1;
    mixer->SetMusicVolume(100);
    mixer->CheckMusicEnd();
    EXPECT_EQ(fake->musicLog.size(), tries);
    EXPECT_EQ(fake->musicLevel, -1);
    // Nine characters: a wave file name.
    mixer->PlayMusic("CDAUDIO_2", false);
    EXPECT_EQ(fake->musicLog.back(), "start CDAUDIO_2 once");
}

TEST(SoundMixerWithoutDevice, EverythingIsANoOp) {
    SoundMixer mixer(nullptr);
    mixer.LoadSound(1, "a.wav");
    mixer.PlaySound(1, true);
    mixer.PlaySoundAt(1, 0, 0, 0, 254);
    mixer.UpdatePositionalSounds(Listener{});
    mixer.StopAllSounds();
    mixer.PlayMusic("TITLE.MOD", true);
    mixer.SetMusicVolume(100);
    mixer.CheckMusicEnd();
    EXPECT_FALSE(mixer.Music().started);
    mixer.StopMusic();
}

}  // namespace
}  // namespace zq
