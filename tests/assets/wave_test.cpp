// The wave reader on hand-made files: good ones of each layout, and damaged
// ones that must be refused with the right message or read as empty.
#include <gtest/gtest.h>

#include <filesystem>

#include "assets/wave.h"
#include "core/errors.h"

namespace zq {
namespace {

WaveData Pcm16(std::size_t sampleBytes) {
    WaveData w;
    w.formatTag = kWaveFormatPcm;
    w.channels = 1;
    w.samplesPerSecond = 22050;
    w.averageBytesPerSecond = 44100;
    w.blockAlign = 2;
    w.bitsPerSample = 16;
    for (std::size_t i = 0; i < sampleBytes; ++i) w.samples.push_back(static_cast<std::uint8_t>(i * 7 + 1));
    return w;
}

void PutU32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::string Refusal(const Bytes& bytes) {
    try {
        ReadWave(bytes);
    } catch (const LoadError& e) {
        return e.what();
    }
    return "";
}

TEST(Wave, WrittenPcmReadsBackExactly) {
    const WaveData in = Pcm16(10);
    const Bytes file = WriteWave(in);
    ASSERT_EQ(file.size(), 44u + 10u);
    const WaveData out = ReadWave(file);
    EXPECT_FALSE(out.empty);
    EXPECT_EQ(out.formatTag, 1);
    EXPECT_EQ(out.channels, 1);
    EXPECT_EQ(out.samplesPerSecond, 22050u);
    EXPECT_EQ(out.averageBytesPerSecond, 44100u);
    EXPECT_EQ(out.blockAlign, 2);
    EXPECT_EQ(out.bitsPerSample, 16);
    EXPECT_TRUE(out.extra.empty());
    EXPECT_EQ(out.samples, in.samples);
}

TEST(Wave, NonPcmKeepsItsExtraBytes) {
    WaveData in = Pcm16(4);
    in.formatTag = 2;
    in.extra = {9, 8, 7};  // odd-sized "fmt " gets a pad byte
    const WaveData out = ReadWave(WriteWave(in));
    EXPECT_EQ(out.formatTag, 2);
    EXPECT_EQ(out.extra, in.extra);
    EXPECT_EQ(out.samples, in.samples);
}

TEST(Wave, SkipsOtherChunksAndOddPadding) {
    // RIFF WAVE, a 3-byte "LIST" chunk (padded to 4), then fmt and data.
    Bytes plain = WriteWave(Pcm16(6));
    Bytes file(plain.begin(), plain.begin() + 12);
    const Bytes list = {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};
    file.insert(file.end(), list.begin(), list.end());
    file.insert(file.end(), plain.begin() + 12, plain.end());
    PutU32(file, 4, static_cast<std::uint32_t>(file.size() - 8));
    const WaveData out = ReadWave(file);
    EXPECT_FALSE(out.empty);
    EXPECT_EQ(out.samples, Pcm16(6).samples);
}

TEST(Wave, ShortOrForeignHeadersAreRefused) {
    const Bytes good = WriteWave(Pcm16(8));
    EXPECT_EQ(Refusal(Bytes{}), kWaveDescendFailed);
    EXPECT_EQ(Refusal(Bytes(good.begin(), good.begin() + 11)), kWaveDescendFailed);

    Bytes notRiff = good;
    notRiff[0] = 'X';
    EXPECT_EQ(Refusal(notRiff), kWaveNotWave);
    Bytes notWave = good;
    notWave[8] = 'A';
    notWave[9] = 'V';
    notWave[10] = 'I';
    notWave[11] = ' ';
    EXPECT_EQ(Refusal(notWave), kWaveNotWave);
}

TEST(Wave, DamagedFormatChunkIsRefused) {
    const Bytes good = WriteWave(Pcm16(8));
    // No "fmt " chunk at all.
    Bytes noFmt = good;
    noFmt[12] = 'f';
    noFmt[13] = 'm';
    noFmt[14] = 'x';
    EXPECT_EQ(Refusal(noFmt), kWaveReadError);
    // "fmt " shorter than 16 bytes.
    Bytes shortFmt = good;
    PutU32(shortFmt, 16, 14);
    EXPECT_EQ(Refusal(shortFmt), kWaveNotWave);
    // File ends inside the 16 format bytes.
    EXPECT_EQ(Refusal(Bytes(good.begin(), good.begin() + 30)), kWaveReadError);
    // The RIFF size stops before "fmt ": the chunk is outside the form.
    Bytes tinyRiff = good;
    PutU32(tinyRiff, 4, 4);
    EXPECT_EQ(Refusal(tinyRiff), kWaveReadError);
    // A huge "fmt " size is a refusal, not a read past the end.
    Bytes hugeFmt = good;
    PutU32(hugeFmt, 16, 0xFFFFFFFFu);
    EXPECT_EQ(Refusal(hugeFmt), kWaveReadError);
}

TEST(Wave, NonPcmExtraSizeIsChecked) {
    WaveData in = Pcm16(4);
    in.formatTag = 2;
    in.extra = {1, 2};
    const Bytes good = WriteWave(in);  // fmt at 12, size 20, extra size at 36
    // The extra size claims more bytes than the chunk holds.
    Bytes tooMuch = good;
    tooMuch[36] = 200;
    EXPECT_EQ(Refusal(tooMuch), kWaveNotWave);
    // The file ends right inside the extra-size field.
    Bytes cut(good.begin(), good.begin() + 37);
    EXPECT_EQ(Refusal(cut), kWaveReadError);
    // The file ends inside the extra bytes.
    Bytes cutExtra(good.begin(), good.begin() + 39);
    EXPECT_EQ(Refusal(cutExtra), kWaveNotWave);

    // A 16-byte header of another format has no extra-size field at all.
    const WaveData bare = Pcm16(4);
    Bytes file = WriteWave(bare);  // the 16-byte PCM layout, then retagged
    file[20] = 3;
    const WaveData out = ReadWave(file);
    EXPECT_EQ(out.formatTag, 3);
    EXPECT_TRUE(out.extra.empty());
    EXPECT_EQ(out.samples, bare.samples);
}

TEST(Wave, MissingOrCutSamplesLeaveTheWaveEmpty) {
    const Bytes good = WriteWave(Pcm16(20));
    // No "data" chunk: the format is known but nothing plays.
    Bytes noData(good.begin(), good.begin() + 36);
    PutU32(noData, 4, static_cast<std::uint32_t>(noData.size() - 8));
    WaveData out = ReadWave(noData);
    EXPECT_TRUE(out.empty);
    EXPECT_EQ(out.emptyReason, kWaveReadError);
    EXPECT_TRUE(out.samples.empty());

    // The data chunk says 20 bytes but the file stops after 5.
    out = ReadWave(Bytes(good.begin(), good.begin() + 44 + 5));
    EXPECT_TRUE(out.empty);
    EXPECT_EQ(out.emptyReason, kWaveCorrupt);
    EXPECT_TRUE(out.samples.empty());

    // A data size near 4 GiB must not wrap the bounds check.
    Bytes huge = good;
    PutU32(huge, 40, 0xFFFFFFF0u);
    out = ReadWave(huge);
    EXPECT_TRUE(out.empty);
    EXPECT_EQ(out.emptyReason, kWaveCorrupt);
}

TEST(Wave, EveryTruncationIsRefusedOrReadNeverOverrun) {
    WaveData in = Pcm16(9);
    in.formatTag = 2;
    in.extra = {5, 6, 7, 8};
    const Bytes good = WriteWave(in);
    // Every cut short of the last (pad) byte loses something the file needs.
    for (std::size_t n = 0; n + 1 < good.size(); ++n) {
        const Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
        try {
            const WaveData out = ReadWave(cut);
            EXPECT_TRUE(out.empty) << "length " << n;
        } catch (const LoadError&) {
        }
    }
}

TEST(Wave, UnreadableFileIsAnOpenFailure) {
    try {
        ReadWaveFile(std::filesystem::path(ZQ_BUILD_DIR) / "no-such-folder" / "none.wav");
        FAIL() << "expected a refusal";
    } catch (const LoadError& e) {
        EXPECT_STREQ(e.what(), kWaveOpenFailed);
    }
}

}  // namespace
}  // namespace zq
