// The sound channel mixer and music player, free of any sound library: it
// chooses channels, works out each positioned sound's volume and pan from the
// camera, and decides what kind of music a file name means.  A SoundBackend
// does the playing (SDL2_mixer in the game, a recording fake in tests).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "shell/audio.h"

namespace zq {

// Positioned sounds share 256 channels; when all are busy the last one is
// taken over.  Flat (interface) sounds play on a few channels of their own
// after those, so a burst of world sounds never cuts a menu click.
inline constexpr int kSoundChannelCount = 256;
inline constexpr int kFlatChannelCount = 16;
inline constexpr int kFirstFlatChannel = kSoundChannelCount;
inline constexpr int kMixerChannelCount = kSoundChannelCount + kFlatChannelCount;

// Volumes are in hundredths of a decibel (0 full, -10000 silent); pan runs
// from -10000 (left only) to 10000 (right only).
inline constexpr int kSilentVolume = -10000;
inline constexpr int kPanLimit = 10000;
// A positioned sound's volume parameter of 255 is never faded by distance.
inline constexpr std::int32_t kUnfadedVolume = 255;

enum class MusicKind { None, Module, Midi, CdAudio, Wave };

// What a clip's music file name means: the last three characters, upper-cased,
// "MOD" or ".XM" give a module, "MID" MIDI; a name of 10 characters or more
// starting "CDAUDIO_" (any case) a CD track; anything else a wave file.
MusicKind MusicKindOf(std::string_view fileName);

// The track text of a CD-track name (everything after "CDAUDIO_") when it
// consists only of digits and "-"; nothing otherwise.
std::optional<std::string> CdTrackText(std::string_view fileName);

// There are no CD drives to play from: track nn of a CD-track name is the
// file "CDAUDIO/TRACKnn" of the data folder, with the first of these
// extensions that plays.  Returns that name without its extension, or nothing
// when the track is not a number 1..99 ("CDAUDIO_x1", "CDAUDIO_2-3").
std::optional<std::string> CdTrackFile(std::string_view fileName);
inline constexpr std::array<const char*, 3> kCdTrackExtensions = {".ogg", ".flac", ".wav"};

struct ChannelMix {
    int volume = 0;  // hundredths of a decibel
    int pan = 0;     // -10000..10000
};

// A camera's rotation rows, worked out once per update.
struct ListenerFrame {
    double x = 0, y = 0, z = 0;
    std::array<std::array<double, 3>, 3> rows{};
};
ListenerFrame MakeListenerFrame(const Listener& listener);

// The volume and pan of a sound at (x, y, z) with the volume parameter
// `volume` (0..254 loudness, 255 unfaded), heard from `listener`.
ChannelMix PositionalMix(const ListenerFrame& listener, std::int32_t x, std::int32_t y, std::int32_t z,
                         std::int32_t volume, std::int32_t hearingDistance);

// Conversions to the linear levels most mixers take: 0..128 for a volume in
// hundredths of a decibel, and 0..255 per side for a pan (the side away from
// the pan loses what the pan says, the other keeps full level).
int VolumeToLinear128(int hundredthsOfDecibel);
struct PanLevels {
    int left = 255, right = 255;
};
PanLevels PanToLevels(int pan);

// What the mixer needs of a sound library.  Channel numbers run
// 0..kMixerChannelCount-1, slots 0..kAudioSlotCount-1 (the mixer checks both).
class SoundBackend {
public:
    virtual ~SoundBackend() = default;
    // Loads the wave file `fileName` into `slot` (silent when it cannot be
    // played); returns whether the slot now holds a sound.
    virtual bool LoadSound(SoundRef slot, const std::string& fileName) = 0;
    virtual bool HasSound(SoundRef slot) const = 0;
    // Plays the slot's sound from its start on `channel`, replacing whatever
    // the channel played.
    virtual void StartChannel(int channel, SoundRef slot, bool loop, const ChannelMix& mix) = 0;
    virtual void SetChannelMix(int channel, const ChannelMix& mix) = 0;
    virtual bool ChannelPlaying(int channel) const = 0;
    virtual void StopChannel(int channel) = 0;

    // Music: a module, MIDI or wave file (data-folder name).  Returns whether
    // anything started.
    virtual bool StartMusic(const std::string& fileName, bool loop) = 0;
    virtual void StopMusic() = 0;
    virtual void SetMusicLevel(int level128) = 0;
    // The level of all sound effects together, 0..128.
    virtual void SetEffectsLevel(int /*level128*/) {}
    virtual void PauseMusic() = 0;
    virtual void ResumeMusic() = 0;
    virtual bool MusicPlaying() const = 0;
};

struct SoundChannel {
    SoundRef slot = kNoSound;
    std::int32_t x = 0, y = 0, z = 0;
    std::int32_t volume = 0;  // the volume parameter, 0..255
};

struct MusicState {
    MusicKind kind = MusicKind::None;
    bool loop = false;
    bool started = false;  // the backend is playing (or holds paused) a track
    bool paused = false;   // MIDI held by a music volume below 50
    std::string fileName;  // as the clip names it
    std::string playing;   // the file the backend plays (a CD track's own file)
};

// The game's Audio over a backend.  Everything is a no-op without a backend
// (no sound device).
class SoundMixer final : public Audio {
public:
    explicit SoundMixer(std::unique_ptr<SoundBackend> backend, std::int32_t hearingDistance = kHearingDistance);

    void LoadSound(std::int32_t slot, const std::string& fileName) override;
    void PlaySound(SoundRef slot, bool loop) override;
    void PlaySoundAt(SoundRef slot, std::int32_t x, std::int32_t y, std::int32_t z, std::int32_t volume) override;
    void UpdatePositionalSounds(const Listener& listener) override;
    void StopAllSounds() override;
    void PlayMusic(const std::string& fileName, bool loop) override;
    void StopMusic() override;
    void SetMusicVolume(int percent) override;
    void SetEffectsVolume(int percent) override;
    void CheckMusicEnd() override;

    const MusicState& Music() const { return music_; }
    const SoundChannel& Channel(int channel) const { return channels_[static_cast<std::size_t>(channel)]; }

private:
    bool ValidSlot(SoundRef slot) const;
    int FlatChannelFor(SoundRef slot);

    std::unique_ptr<SoundBackend> backend_;
    std::int32_t hearingDistance_;
    ListenerFrame listener_;  // the last camera, for sounds started between updates
    std::array<SoundChannel, kSoundChannelCount> channels_{};
    std::array<SoundRef, kFlatChannelCount> flatOwner_{};  // slot last started on each flat channel
    int nextFlat_ = 0;                                      // round-robin victim when all are busy
    MusicState music_;
    int musicPercent_ = 100;
};

}  // namespace zq
