// Channel choice, positional volume and pan, and the music player's rules.
#include "shell/sound_mixer.h"

#include <algorithm>
#include <cmath>

#include "core/text.h"
#include "render/mesh_geometry.h"

namespace zq {

MusicKind MusicKindOf(std::string_view fileName) {
    const std::string upper = ToUpper(std::string(fileName));
    const std::string_view tail = upper.size() >= 3 ? std::string_view(upper).substr(upper.size() - 3) : "";
    if (tail == "MOD" || tail == ".XM") return MusicKind::Module;
    if (tail == "MID") return MusicKind::Midi;
    if (upper.size() >= 10 && upper.compare(0, 8, "CDAUDIO_") == 0) return MusicKind::CdAudio;
    return MusicKind::Wave;
}

std::optional<std::string> CdTrackText(std::string_view fileName) {
    if (MusicKindOf(fileName) != MusicKind::CdAudio) return std::nullopt;
    const std::string_view track = fileName.substr(8);
    for (char c : track)
        if (!(c >= '0' && c <= '9') && c != '-') return std::nullopt;
    return std::string(track);
}

std::optional<std::string> CdTrackFile(std::string_view fileName) {
    const std::optional<std::string> text = CdTrackText(fileName);
    if (!text || text->empty() || text->size() > 3) return std::nullopt;
    int track = 0;
    for (char c : *text) {
        if (c < '0' || c > '9') return std::nullopt;
        track = track * 10 + (c - '0');
    }
    if (track < 1 || track > 99) return std::nullopt;
    const char digits[] = {static_cast<char>('0' + track / 10), static_cast<char>('0' + track % 10), '\0'};
    return std::string("CDAUDIO/TRACK") + digits;
}

ListenerFrame MakeListenerFrame(const Listener& listener) {
    // The same rotation the renderer builds for the camera, so a sound on the
    // right of the picture is heard on the right.
    const Matrix3 m = RotationMatrix(listener.yaw, listener.pitch, listener.roll);
    ListenerFrame frame;
    frame.x = listener.x;
    frame.y = listener.y;
    frame.z = listener.z;
    for (std::size_t r = 0; r < 3; ++r)
        for (std::size_t c = 0; c < 3; ++c) frame.rows[r][c] = m.m[r][c];
    return frame;
}

ChannelMix PositionalMix(const ListenerFrame& listener, std::int32_t x, std::int32_t y, std::int32_t z,
                         std::int32_t volume, std::int32_t hearingDistance) {
    const double dx = x - listener.x, dy = y - listener.y, dz = z - listener.z;
    const auto& r = listener.rows;
    const double lx = std::round(r[0][0] * dx + r[0][1] * dy + r[0][2] * dz);
    const double ly = std::round(r[1][0] * dx + r[1][1] * dy + r[1][2] * dz);
    const double lz = std::round(r[2][0] * dx + r[2][1] * dy + r[2][2] * dz);
    const auto dist = static_cast<std::int64_t>(std::round(std::sqrt(lx * lx + ly * ly + lz * lz)));

    const std::int64_t hearing = std::max<std::int32_t>(hearingDistance, 1);
    const std::int32_t loudness = std::clamp<std::int32_t>(volume, 0, kUnfadedVolume);
    std::int64_t a = std::max<std::int64_t>(10000 - dist * 10000 / hearing, 0);
    a *= loudness / 2 + 384;

    ChannelMix mix;
    mix.volume = loudness == kUnfadedVolume ? 0 : static_cast<int>(a / 512 - 10000);
    mix.pan = static_cast<int>(std::clamp(4.0 * lx, double{-kPanLimit}, double{kPanLimit}));
    return mix;
}

int VolumeToLinear128(int hundredthsOfDecibel) {
    if (hundredthsOfDecibel >= 0) return 128;
    if (hundredthsOfDecibel <= kSilentVolume) return 0;
    return static_cast<int>(std::lround(128.0 * std::pow(10.0, hundredthsOfDecibel / 2000.0)));
}

PanLevels PanToLevels(int pan) {
    const int clamped = std::clamp(pan, -kPanLimit, kPanLimit);
    const int faded = static_cast<int>(std::lround(255.0 * std::pow(10.0, -std::abs(clamped) / 2000.0)));
    PanLevels levels;
    if (clamped > 0) levels.left = faded;
    if (clamped < 0) levels.right = faded;
    return levels;
}

SoundMixer::SoundMixer(std::unique_ptr<SoundBackend> backend, std::int32_t hearingDistance)
    : backend_(std::move(backend)), hearingDistance_(hearingDistance) {
    flatOwner_.fill(kNoSound);
    listener_ = MakeListenerFrame(Listener{});
}

bool SoundMixer::ValidSlot(SoundRef slot) const {
    return backend_ && slot >= 0 && slot < kAudioSlotCount;
}

void SoundMixer::LoadSound(std::int32_t slot, const std::string& fileName) {
    if (!ValidSlot(slot)) return;
    // Channels that still play the old sound lose it; forget the flat
    // channel's owner so the next play picks a channel afresh.
    for (SoundRef& owner : flatOwner_)
        if (owner == slot) owner = kNoSound;
    backend_->LoadSound(slot, fileName);
}

int SoundMixer::FlatChannelFor(SoundRef slot) {
    // A sound that is still playing restarts where it is, as one buffer would.
    for (int i = 0; i < kFlatChannelCount; ++i)
        if (flatOwner_[static_cast<std::size_t>(i)] == slot && backend_->ChannelPlaying(kFirstFlatChannel + i))
            return i;
    for (int i = 0; i < kFlatChannelCount; ++i)
        if (!backend_->ChannelPlaying(kFirstFlatChannel + i)) return i;
    const int victim = nextFlat_;
    nextFlat_ = (nextFlat_ + 1) % kFlatChannelCount;
    return victim;
}

void SoundMixer::PlaySound(SoundRef slot, bool loop) {
    if (!ValidSlot(slot) || !backend_->HasSound(slot)) return;
    const int i = FlatChannelFor(slot);
    flatOwner_[static_cast<std::size_t>(i)] = slot;
    backend_->StartChannel(kFirstFlatChannel + i, slot, loop, ChannelMix{});
}

void SoundMixer::PlaySoundAt(SoundRef slot, std::int32_t x, std::int32_t y, std::int32_t z, std::int32_t volume) {
    if (!ValidSlot(slot) || !backend_->HasSound(slot)) return;
    int channel = kSoundChannelCount - 1;  // all busy: the last channel is taken over
    for (int c = 0; c < kSoundChannelCount; ++c) {
        if (!backend_->ChannelPlaying(c)) {
            channel = c;
            break;
        }
    }
    SoundChannel& record = channels_[static_cast<std::size_t>(channel)];
    record = SoundChannel{slot, x, y, z, std::clamp<std::int32_t>(volume, 0, kUnfadedVolume)};
    backend_->StartChannel(channel, slot, false, PositionalMix(listener_, x, y, z, record.volume, hearingDistance_));
}

void SoundMixer::UpdatePositionalSounds(const Listener& listener) {
    listener_ = MakeListenerFrame(listener);
    if (!backend_) return;
    for (int c = 0; c < kSoundChannelCount; ++c) {
        if (!backend_->ChannelPlaying(c)) continue;
        const SoundChannel& record = channels_[static_cast<std::size_t>(c)];
        backend_->SetChannelMix(c, PositionalMix(listener_, record.x, record.y, record.z, record.volume, hearingDistance_));
    }
}

void SoundMixer::StopAllSounds() {
    if (!backend_) return;
    for (int c = 0; c < kSoundChannelCount; ++c)
        if (backend_->ChannelPlaying(c)) backend_->StopChannel(c);
}

void SoundMixer::PlayMusic(const std::string& fileName, bool loop) {
    StopMusic();
    music_.kind = MusicKindOf(fileName);
    music_.loop = loop;
    music_.fileName = fileName;
    if (!backend_) return;
    switch (music_.kind) {
        case MusicKind::None:
            return;
        case MusicKind::CdAudio: {
            // A track plays once through; CheckMusicEnd starts a looping one
            // again, as a CD player would be told to.  A track without a
            // number, or without a file, is silence.
            const std::optional<std::string> track = CdTrackFile(fileName);
            if (!track) return;
            backend_->SetMusicLevel(128);
            for (const char* extension : kCdTrackExtensions) {
                music_.playing = *track + extension;
                music_.started = backend_->StartMusic(music_.playing, false);
                if (music_.started) return;
            }
            music_.playing.clear();
            return;
        }
        case MusicKind::Module:
            // A module starts silent; the caller's SetMusicVolume brings it up.
            backend_->SetMusicLevel(0);
            break;
        case MusicKind::Midi:
        case MusicKind::Wave:
            backend_->SetMusicLevel(128);
            break;
    }
    music_.playing = fileName;
    music_.started = backend_->StartMusic(fileName, loop);
}

void SoundMixer::StopMusic() {
    if (backend_ && music_.started) backend_->StopMusic();
    music_ = MusicState{};
}

void SoundMixer::SetMusicVolume(int percent) {
    musicPercent_ = std::clamp(percent, 0, 100);
    if (!backend_ || !music_.started) return;
    switch (music_.kind) {
        case MusicKind::Module:
            // The module volume is 0..63; the backend's level 0..128.
            backend_->SetMusicLevel(musicPercent_ * 63 / 100 * 128 / 63);
            break;
        case MusicKind::Midi:
            // MIDI has no volume of its own here: it is held or let go.
            if (musicPercent_ >= 50 && music_.paused) {
                backend_->ResumeMusic();
                music_.paused = false;
            } else if (musicPercent_ < 50 && !music_.paused) {
                backend_->PauseMusic();
                music_.paused = true;
            }
            break;
        case MusicKind::Wave:
        case MusicKind::CdAudio:
            // A CD drive's volume was the player's own business; a track
            // played from a file follows the music volume like wave music,
            // in even steps of loudness from silent to full.
            backend_->SetMusicLevel(musicPercent_ * 128 / 100);
            break;
        case MusicKind::None:
            break;
    }
}

void SoundMixer::SetEffectsVolume(int percent) {
    if (backend_) backend_->SetEffectsLevel(std::clamp(percent, 0, 100) * 128 / 100);
}

void SoundMixer::CheckMusicEnd() {
    // Modules and wave music loop in the player; a MIDI or CD track may simply
    // run out, and a looping one then starts again from the beginning.
    if (!backend_ || !music_.started || !music_.loop || music_.paused) return;
    if (music_.kind != MusicKind::Midi && music_.kind != MusicKind::CdAudio) return;
    if (backend_->MusicPlaying()) return;
    if (music_.kind == MusicKind::Midi) backend_->SetMusicLevel(128);
    music_.started = backend_->StartMusic(music_.playing, music_.kind == MusicKind::Midi && music_.loop);
}

}  // namespace zq
