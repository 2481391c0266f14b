// The seam between the asset loaders and the audio layer.  Loaders name wave
// files and the slot each goes into; the audio layer decides whether anything
// is really loaded (nothing while sound is off, or in tools and tests).
#pragma once

#include <cstdint>
#include <string>

namespace zq {

class SoundSlots {
public:
    virtual ~SoundSlots() = default;
    // Loads the wave file `fileName` (a data-folder name) into `slot`,
    // releasing the sound the slot held first.  A file that cannot be played
    // leaves the slot silent; it is never an error.
    virtual void LoadSound(std::int32_t slot, const std::string& fileName) = 0;
};

// Loads nothing: for tools, tests and a machine without sound.
class SilentSoundSlots final : public SoundSlots {
public:
    void LoadSound(std::int32_t, const std::string&) override {}
};

}  // namespace zq
