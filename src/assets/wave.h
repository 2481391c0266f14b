// RIFF WAVE files: the reader every sound goes through before it reaches the
// mixer, and a writer for clean copies and hand-made test files.  The reader
// checks every chunk against the bytes it really has; a damaged file is
// refused with one of the fixed messages below, never read past its end.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "core/bytes.h"

namespace zq {

inline constexpr std::uint16_t kWaveFormatPcm = 1;

// The messages a refused file raises (as LoadError).
inline constexpr const char* kWaveOpenFailed = "mmioOpen Failed";
inline constexpr const char* kWaveDescendFailed = "mmioDescend Failed";
inline constexpr const char* kWaveNotWave = "Not a wave file";
inline constexpr const char* kWaveReadError = "Error reading wave file";
inline constexpr const char* kWaveCorrupt = "Corrupt Wave File";

struct WaveData {
    // The format header as stored.  `extra` is what follows the extra-size
    // field of a non-PCM format (empty for PCM).
    std::uint16_t formatTag = 0;
    std::uint16_t channels = 0;
    std::uint32_t samplesPerSecond = 0;
    std::uint32_t averageBytesPerSecond = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
    Bytes extra;
    Bytes samples;
    // True when the format was read but the sample data was missing or cut
    // short: such a file is not an error, it just holds nothing to play.
    bool empty = false;
    std::string emptyReason;  // kWaveReadError or kWaveCorrupt when empty
};

// Reads a wave file held in memory; throws LoadError with one of the messages
// above when the header part is damaged.
WaveData ReadWave(const std::uint8_t* data, std::size_t size);
inline WaveData ReadWave(const Bytes& bytes) { return ReadWave(bytes.data(), bytes.size()); }

// Reads a wave file from disk; a file that cannot be read raises kWaveOpenFailed.
WaveData ReadWaveFile(const std::filesystem::path& path);

// A minimal RIFF WAVE image of `wave`: "fmt " (16 bytes for PCM, else 18 plus
// the extra bytes) followed by "data".
Bytes WriteWave(const WaveData& wave);

}  // namespace zq
