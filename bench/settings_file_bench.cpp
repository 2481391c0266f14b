// Reading sectioned text files: a behaviour script with every behaviour and
// every step filled (about 1.5 MB), and files of junk lines between named
// behaviours.  Both should take time in proportion to their size.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "core/settings_file.h"
#include "world/behaviour_script.h"

namespace {

std::string FullScript() {
    std::string text;
    for (int b = 0; b < zq::kBehaviourCount; ++b) {
        text += "[Behaviour " + std::to_string(b) + "]\r\nName=Behaviour number " + std::to_string(b) + "\r\n";
        for (int s = 0; s < zq::kStepCount; ++s) text += std::to_string(s) + "=MOVETO (0,1,0),500\r\n";
    }
    return text;
}

void BM_ParseFullBehaviourScript(benchmark::State& state) {
    const std::string text = FullScript();
    auto table = std::make_unique<zq::BehaviourTable>();
    for (auto _ : state) {
        zq::ParseBehaviourScript(*table, zq::SettingsFile::FromText(text));
        benchmark::DoNotOptimize(table->data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ParseFullBehaviourScript)->Unit(benchmark::kMillisecond);

void BM_ReadJunkSettings(benchmark::State& state) {
    std::string text;
    // Appended piece by piece: GCC 12 misreads "literal" + std::string as an
    // overlapping copy (-Wrestrict) in optimised builds.
    for (int i = 0; i < state.range(0); ++i) {
        if (i % 97 == 0) {
            text += "[Behaviour ";
            text += std::to_string(i % 300);
            text += "]\nName=x\n";
        } else {
            text += 'k';
            text += std::to_string(i);
            text += "=junk\n";
        }
    }
    auto table = std::make_unique<zq::BehaviourTable>();
    for (auto _ : state) {
        zq::ParseBehaviourScript(*table, zq::SettingsFile::FromText(text));
        benchmark::DoNotOptimize(table->data());
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ReadJunkSettings)->Range(1 << 12, 1 << 16)->Complexity()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
