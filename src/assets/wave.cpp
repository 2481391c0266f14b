// RIFF WAVE reading and writing.  A chunk is an 8-byte header (four-character
// id, 32-bit little-endian size) and its data, padded to an even length.
#include "assets/wave.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>

#include "core/errors.h"
#include "core/file_io.h"

namespace zq {

namespace {

struct Chunk {
    std::uint64_t data = 0;  // offset of the chunk's first data byte
    std::uint64_t size = 0;  // size as declared (may run past the file)
};

bool IdAt(const ByteReader& in, std::uint64_t offset, const char* id) {
    return in.Has(offset, 4) && std::memcmp(in.Data() + offset, id, 4) == 0;
}

// The first chunk named `id` whose header lies inside [begin, end).  Declared
// sizes are 32-bit, so stepping in 64 bits cannot wrap around.
std::optional<Chunk> FindChunk(const ByteReader& in, std::uint64_t begin, std::uint64_t end, const char* id) {
    std::uint64_t at = begin;
    while (at + 8 <= end) {
        const std::uint64_t size = in.U32(static_cast<std::size_t>(at + 4));
        if (IdAt(in, at, id)) return Chunk{at + 8, size};
        at += 8 + size + (size & 1);
    }
    return std::nullopt;
}

[[noreturn]] void Refuse(const char* message) { throw LoadError(message); }

}  // namespace

WaveData ReadWave(const std::uint8_t* data, std::size_t size) {
    const ByteReader in(data, size);
    const std::uint64_t fileEnd = size;

    // The outer chunk must be RIFF with the form type WAVE.
    if (!in.Has(0, 12)) Refuse(kWaveDescendFailed);
    if (!IdAt(in, 0, "RIFF") || !IdAt(in, 8, "WAVE")) Refuse(kWaveNotWave);
    const std::uint64_t riffEnd = std::min<std::uint64_t>(8 + std::uint64_t{in.U32(4)}, fileEnd);

    const std::optional<Chunk> fmt = FindChunk(in, 12, riffEnd, "fmt ");
    if (!fmt) Refuse(kWaveReadError);
    if (fmt->size < 16) Refuse(kWaveNotWave);
    if (fmt->data + 16 > fileEnd) Refuse(kWaveReadError);

    WaveData wave;
    const auto f = static_cast<std::size_t>(fmt->data);
    wave.formatTag = in.U16(f);
    wave.channels = in.U16(f + 2);
    wave.samplesPerSecond = in.U32(f + 4);
    wave.averageBytesPerSecond = in.U32(f + 8);
    wave.blockAlign = in.U16(f + 12);
    wave.bitsPerSample = in.U16(f + 14);

    // Other formats carry an extra-size field and that many bytes after the
    // 16.  A 16-byte non-PCM header (some writers omit the field) has none:
    // reading on would take the next chunk's bytes for format data.
    if (wave.formatTag != kWaveFormatPcm && fmt->size >= 18) {
        if (fmt->data + 18 > fileEnd) Refuse(kWaveReadError);
        const std::uint64_t extraSize = in.U16(f + 16);
        if (18 + extraSize > fmt->size || fmt->data + 18 + extraSize > fileEnd) Refuse(kWaveNotWave);
        wave.extra.assign(data + f + 18, data + f + 18 + extraSize);
    }
    // Leaving the format chunk: its end must lie inside the file.
    if (fmt->data + fmt->size > fileEnd) Refuse(kWaveReadError);

    // A missing or cut-short sample block leaves the wave empty (silent)
    // instead of refusing the whole file.
    const std::optional<Chunk> samples = FindChunk(in, 12, riffEnd, "data");
    if (!samples) {
        wave.empty = true;
        wave.emptyReason = kWaveReadError;
    } else if (samples->data + samples->size > fileEnd) {
        wave.empty = true;
        wave.emptyReason = kWaveCorrupt;
    } else {
        const auto s = static_cast<std::size_t>(samples->data);
        wave.samples.assign(data + s, data + s + static_cast<std::size_t>(samples->size));
    }
    if (wave.empty) wave.extra.clear();
    return wave;
}

WaveData ReadWaveFile(const std::filesystem::path& path) {
    const BoundedRead read = ReadRegularFile(path, kMaxMediaFileBytes);
    if (!read.bytes) Refuse(kWaveOpenFailed);
    return ReadWave(*read.bytes);
}

Bytes WriteWave(const WaveData& wave) {
    const bool pcm = wave.formatTag == kWaveFormatPcm;
    const auto fmtSize = static_cast<std::uint32_t>(pcm ? 16 : 18 + wave.extra.size());
    const auto dataSize = static_cast<std::uint32_t>(wave.samples.size());
    const std::uint32_t fmtPadded = fmtSize + (fmtSize & 1);
    ByteWriter out;
    out.Raw("RIFF", 4);
    out.U32(4 + 8 + fmtPadded + 8 + dataSize + (dataSize & 1));
    out.Raw("WAVE", 4);
    out.Raw("fmt ", 4);
    out.U32(fmtSize);
    out.U16(wave.formatTag);
    out.U16(wave.channels);
    out.U32(wave.samplesPerSecond);
    out.U32(wave.averageBytesPerSecond);
    out.U16(wave.blockAlign);
    out.U16(wave.bitsPerSample);
    if (!pcm) {
        out.U16(static_cast<std::uint16_t>(wave.extra.size()));
        if (!wave.extra.empty()) out.Raw(wave.extra.data(), wave.extra.size());
    }
    if (fmtSize & 1) out.U8(0);
    out.Raw("data", 4);
    out.U32(dataSize);
    if (dataSize != 0) out.Raw(wave.samples.data(), wave.samples.size());
    if (dataSize & 1) out.U8(0);
    return std::move(out.Buffer());
}

}  // namespace zq
