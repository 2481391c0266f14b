// The sound and music seam.  The bank loads sounds into slots through
// SoundSlots; the game and the editor play them here.  The silent
// implementation serves headless runs, tests and machines without a sound
// device; the platform layer provides the real one.
#pragma once

#include <cstdint>
#include <string>

#include "assets/sound_slots.h"

namespace zq {

// Where the sounds are heard from: the camera position and its yaw.
struct Listener {
    float x = 0, y = 0, z = 0;
    int yaw = 0, pitch = 0, roll = 0;
};

class Audio : public SoundSlots {
public:
    // Flat (interface) sound, once or looping.
    virtual void PlaySound(std::int32_t slot, bool loop) = 0;
    // A positioned sound, once; volume 0..254 fades with distance, 255 does not.
    virtual void PlaySoundAt(std::int32_t slot, std::int32_t x, std::int32_t y, std::int32_t z,
                             std::int32_t volume) = 0;
    virtual void UpdatePositionalSounds(const Listener& listener) = 0;
    virtual void StopAllSounds() = 0;
    // Music of a clip: a module, MIDI or wave file (data-folder name).
    virtual void PlayMusic(const std::string& fileName, bool loop) = 0;
    virtual void StopMusic() = 0;
    virtual void SetMusicVolume(int percent) = 0;
    // Every sound effect, flat or positioned, at `percent` of its level.
    virtual void SetEffectsVolume(int /*percent*/) {}
    // Once a frame: restarts a looping track that the player let run out.
    virtual void CheckMusicEnd() {}
};

class SilentAudio final : public Audio {
public:
    void LoadSound(std::int32_t, const std::string&) override {}
    void PlaySound(std::int32_t, bool) override {}
    void PlaySoundAt(std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t) override {}
    void UpdatePositionalSounds(const Listener&) override {}
    void StopAllSounds() override {}
    void PlayMusic(const std::string&, bool) override {}
    void StopMusic() override {}
    void SetMusicVolume(int) override {}
};

}  // namespace zq
