// Wave files: a damaged header is refused with one of the fixed messages, the
// samples never come from beyond the file, and a clean copy reads back equal.
#include <cstring>

#include "assets/wave.h"
#include "core/errors.h"
#include "fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    using namespace zq;
    WaveData wave;
    try {
        wave = ReadWave(bytes, size);
    } catch (const LoadError& e) {
        bool known = false;
        for (const char* m : {kWaveOpenFailed, kWaveDescendFailed, kWaveNotWave, kWaveReadError, kWaveCorrupt})
            known = known || std::strcmp(e.what(), m) == 0;
        fuzz::Check(known, "refusals use the fixed messages");
        return 0;
    }
    fuzz::Check(wave.samples.size() + wave.extra.size() <= size, "nothing read beyond the file");
    if (wave.empty) return 0;
    const WaveData again = ReadWave(WriteWave(wave));
    fuzz::Check(!again.empty && again.formatTag == wave.formatTag && again.channels == wave.channels &&
                    again.samplesPerSecond == wave.samplesPerSecond &&
                    again.averageBytesPerSecond == wave.averageBytesPerSecond && again.blockAlign == wave.blockAlign &&
                    again.bitsPerSample == wave.bitsPerSample && again.extra == wave.extra && again.samples == wave.samples,
                "a clean copy reads back equal");
    return 0;
}
