// SDL2_mixer backend: one Mix_Chunk per sound slot, one mixing channel per
// mixer channel, and one Mix_Music stream for modules, MIDI and wave music.
#include "platform/sdl_audio.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <array>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "assets/wave.h"
#include "core/errors.h"
#include "core/file_io.h"

namespace zq {

namespace {

constexpr int kOutputRate = 44100;
constexpr int kOutputChunkFrames = 1024;
constexpr const char* kSoundFontPath = "/usr/share/sounds/sf2/TimGM6mb.sf2";

// Reads a wave file through our own checked reader and gives back a clean
// copy for SDL, so the library never parses a damaged file itself.
std::optional<Bytes> CheckedWave(const Bytes& file, const std::string& name) {
    try {
        const WaveData wave = ReadWave(file);
        if (wave.empty || wave.samples.empty()) return std::nullopt;
        return WriteWave(wave);
    } catch (const LoadError& e) {
        std::cerr << "sound: " << name << ": " << e.what() << "\n";
        return std::nullopt;
    }
}

// True when the kernel lists at least one sound card.  Without one, ALSA's
// library prints a screenful of errors on stderr when a device is opened.
bool HasSoundCard() {
    std::ifstream cards("/proc/asound/cards");
    std::string line;
    while (std::getline(cards, line))
        if (!line.empty() && line.find("no soundcards") == std::string::npos) return true;
    return false;
}

// True when a PipeWire server's socket is there.  The PipeWire client library
// warns on stderr about its missing configuration when no server was ever set up.
bool HasPipeWireServer() {
    const char* runtime = std::getenv("PIPEWIRE_RUNTIME_DIR");
    if (!runtime || !*runtime) runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime) return false;
    const char* remote = std::getenv("PIPEWIRE_REMOTE");
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::path(runtime) / (remote && *remote ? remote : "pipewire-0"), ec);
}

// Opens SDL's audio and the mixer on one driver; false (and audio shut) when it fails.
bool OpenMixerOn(const char* driver) {
    if (driver) SDL_SetHint(SDL_HINT_AUDIODRIVER, driver);
    const bool ok = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    if (driver) SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    if (!ok) return false;
    if (Mix_OpenAudio(kOutputRate, AUDIO_S16SYS, 2, kOutputChunkFrames) == 0) return true;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
}

// A player's SDL_AUDIODRIVER is used as given.  Otherwise SDL's drivers are
// tried in its order, except those that would print errors on stderr when
// nothing answers: ALSA and sndio (which plays through ALSA) without a sound
// card, PipeWire without its server, JACK always (its server is started by
// hand by those who use it, and they set SDL_AUDIODRIVER).  The dummy and disk
// drivers play to nobody.  So a machine without sound starts quietly.
bool OpenMixerQuietly() {
    if (const char* chosen = std::getenv("SDL_AUDIODRIVER"); chosen && *chosen) return OpenMixerOn(nullptr);
    const bool card = HasSoundCard();
    for (int i = 0; i < SDL_GetNumAudioDrivers(); ++i) {
        const std::string name = SDL_GetAudioDriver(i);
        if (name == "jack" || name == "dummy" || name == "disk") continue;
        if ((name == "alsa" || name == "sndio") && !card) continue;
        if (name == "pipewire" && !HasPipeWireServer()) continue;
        if (OpenMixerOn(name.c_str())) return true;
    }
    return false;
}

// Wave music goes through our own reader; anything else (modules, MIDI,
// Ogg Vorbis and FLAC tracks) is left to the library's decoders.
bool IsRiff(const Bytes& bytes) {
    return bytes.size() >= 4 && std::string_view(reinterpret_cast<const char*>(bytes.data()), 4) == "RIFF";
}

// The decoder a music file's extension asks for, as SDL_mixer itself would
// choose it from a name; anything else is told by its first bytes.
Mix_MusicType MusicTypeOfName(const std::filesystem::path& path) {
    std::string ext = path.extension().string();
    for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (ext == ".MOD" || ext == ".XM" || ext == ".S3M" || ext == ".IT") return MUS_MOD;
    if (ext == ".MID" || ext == ".MIDI") return MUS_MID;
    if (ext == ".OGG") return MUS_OGG;
    if (ext == ".FLAC") return MUS_FLAC;
    return MUS_NONE;
}

class SdlSoundBackend final : public SoundBackend {
public:
    explicit SdlSoundBackend(DataResolver data) : data_(std::move(data)) {
        chunks_.fill(nullptr);
        lastPan_.fill(PanLevels{});
    }

    ~SdlSoundBackend() override {
        if (!open_) return;
        Mix_HaltChannel(-1);
        StopMusic();
        for (Mix_Chunk*& chunk : chunks_) {
            if (chunk) Mix_FreeChunk(chunk);
            chunk = nullptr;
        }
        Mix_CloseAudio();
        Mix_Quit();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    bool Open() {
        if (!OpenMixerQuietly()) return false;
        open_ = true;
        Mix_AllocateChannels(kMixerChannelCount);
        // MIDI needs a soundfont; a player's own SDL_SOUNDFONTS wins.
        if (!std::getenv("SDL_SOUNDFONTS") && std::filesystem::exists(kSoundFontPath))
            Mix_SetSoundFonts(kSoundFontPath);
        Mix_Init(MIX_INIT_MOD | MIX_INIT_MID | MIX_INIT_OGG | MIX_INIT_FLAC);  // loaders missing here only make those files silent
        return true;
    }

    bool LoadSound(SoundRef slot, const std::string& fileName) override {
        Mix_Chunk*& chunk = chunks_[static_cast<std::size_t>(slot)];
        if (chunk) Mix_FreeChunk(chunk);  // halts the channels that play it
        chunk = nullptr;
        const std::optional<std::filesystem::path> path = data_.Find(fileName);
        if (!path) return false;
        const BoundedRead read = ReadRegularFile(*path, kMaxMediaFileBytes);
        if (!read.bytes) {
            std::cerr << "sound: " << fileName << ": " << read.why << ": silence\n";
            return false;
        }
        const std::optional<Bytes> bytes = CheckedWave(*read.bytes, fileName);
        if (!bytes) return false;
        chunk = Mix_LoadWAV_RW(SDL_RWFromConstMem(bytes->data(), static_cast<int>(bytes->size())), 1);
        return chunk != nullptr;
    }

    bool HasSound(SoundRef slot) const override { return chunks_[static_cast<std::size_t>(slot)] != nullptr; }

    void StartChannel(int channel, SoundRef slot, bool loop, const ChannelMix& mix) override {
        Mix_Chunk* chunk = chunks_[static_cast<std::size_t>(slot)];
        if (!chunk) return;
        Mix_Volume(channel, VolumeToLinear128(mix.volume));
        if (Mix_PlayChannel(channel, chunk, loop ? -1 : 0) < 0) return;
        // A channel drops its panning when it finishes, so set it afresh.
        lastPan_[static_cast<std::size_t>(channel)] = PanLevels{};
        ApplyPan(channel, mix.pan);
    }

    void SetChannelMix(int channel, const ChannelMix& mix) override {
        Mix_Volume(channel, VolumeToLinear128(mix.volume));
        ApplyPan(channel, mix.pan);
    }

    bool ChannelPlaying(int channel) const override { return Mix_Playing(channel) != 0; }
    void StopChannel(int channel) override { Mix_HaltChannel(channel); }

    bool StartMusic(const std::string& fileName, bool loop) override {
        StopMusic();
        const std::optional<std::filesystem::path> path = data_.Find(fileName);
        if (!path) return false;
        // The library only ever sees our bounded copy in memory: a FIFO, a
        // folder or an endless device is refused here, as missing.
        BoundedRead read = ReadRegularFile(*path, kMaxMediaFileBytes);
        if (!read.bytes) {
            std::cerr << "music: " << fileName << ": " << read.why << ": silence\n";
            return false;
        }
        if (IsRiff(*read.bytes)) {
            // Wave music streams from our checked copy, kept while it plays.
            std::optional<Bytes> bytes = CheckedWave(*read.bytes, fileName);
            if (!bytes) return false;
            musicBytes_ = std::move(*bytes);
            music_ = Mix_LoadMUS_RW(SDL_RWFromConstMem(musicBytes_.data(), static_cast<int>(musicBytes_.size())), 1);
        } else {
            musicBytes_ = std::move(*read.bytes);
            music_ = Mix_LoadMUSType_RW(SDL_RWFromConstMem(musicBytes_.data(), static_cast<int>(musicBytes_.size())),
                                        MusicTypeOfName(*path), 1);
        }
        if (!music_) {
            std::cerr << "music: " << fileName << ": " << Mix_GetError() << "\n";
            musicBytes_.clear();
            return false;
        }
        if (Mix_PlayMusic(music_, loop ? -1 : 1) != 0) {
            StopMusic();
            return false;
        }
        return true;
    }

    void StopMusic() override {
        if (!music_) return;
        Mix_HaltMusic();
        Mix_FreeMusic(music_);
        music_ = nullptr;
        musicBytes_.clear();
    }

    void SetMusicLevel(int level128) override { Mix_VolumeMusic(level128); }
    void SetEffectsLevel(int level128) override { Mix_MasterVolume(level128); }
    void PauseMusic() override { Mix_PauseMusic(); }
    void ResumeMusic() override { Mix_ResumeMusic(); }
    bool MusicPlaying() const override { return music_ && Mix_PlayingMusic() != 0; }

private:
    void ApplyPan(int channel, int pan) {
        const PanLevels levels = PanToLevels(pan);
        PanLevels& last = lastPan_[static_cast<std::size_t>(channel)];
        if (levels.left == last.left && levels.right == last.right) return;
        Mix_SetPanning(channel, static_cast<Uint8>(levels.left), static_cast<Uint8>(levels.right));
        last = levels;
    }

    DataResolver data_;
    bool open_ = false;
    std::array<Mix_Chunk*, kAudioSlotCount> chunks_{};
    std::array<PanLevels, kMixerChannelCount> lastPan_{};  // what each channel's panning is set to
    Mix_Music* music_ = nullptr;
    Bytes musicBytes_;
};

}  // namespace

std::unique_ptr<SoundBackend> OpenSdlSoundBackend(const DataResolver& data) {
    auto backend = std::make_unique<SdlSoundBackend>(data);
    if (!backend->Open()) return nullptr;
    return backend;
}

std::unique_ptr<Audio> OpenAudio(const DataResolver& data) {
    std::unique_ptr<SoundBackend> backend = OpenSdlSoundBackend(data);
    if (!backend) return std::make_unique<SilentAudio>();
    return std::make_unique<SoundMixer>(std::move(backend));
}

}  // namespace zq
