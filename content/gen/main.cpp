// zqgen: builds the whole default data folder from code and the level sources.
//   zqgen --out DIR --levels DIR [--levels-only] [--icons DIR]
// The output depends only on the sources, byte for byte.  --levels-only
// compiles just the level sources (quick checks while designing a level);
// --icons also writes the desktop icons (PNG) into a folder of their own.
#include <chrono>
#include <cstdio>
#include <exception>
#include <string>

#include "content.h"

int main(int argc, char** argv) {
    std::string outDir, levelDir, iconDir;
    bool levelsOnly = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--out" && i + 1 < argc) outDir = argv[++i];
        else if (arg == "--levels" && i + 1 < argc) levelDir = argv[++i];
        else if (arg == "--icons" && i + 1 < argc) iconDir = argv[++i];
        else if (arg == "--levels-only") levelsOnly = true;
        else {
            std::fprintf(stderr, "usage: zqgen --out DIR --levels DIR [--levels-only] [--icons DIR]\n");
            return 2;
        }
    }
    if (outDir.empty() || levelDir.empty()) {
        std::fprintf(stderr, "usage: zqgen --out DIR --levels DIR [--levels-only] [--icons DIR]\n");
        return 2;
    }
    auto started = std::chrono::steady_clock::now();
    try {
        zq::gen::Output out{outDir, {}};
        const std::vector<zq::gen::LevelEntry> levels = zq::gen::MakeLevels(out, levelDir);
        if (!levelsOnly) {
            const zq::gen::Palette palette = zq::gen::MakeMainPalette();
            zq::gen::MakeTextures(out, palette);
            zq::gen::MakeMeshes(out);
            zq::gen::MakeBank(out);
            zq::gen::MakeInterface(out, palette);
            zq::gen::MakeSounds(out);
            zq::gen::MakeMusic(out);
            zq::gen::MakeCdTracks(out);
            zq::gen::MakeIntroVideo(out, palette);
            zq::gen::MakeCredits(out, levels);
            zq::gen::MakeHints(out, levels);
            zq::gen::MakeIcons(out, palette, iconDir);
        }
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
        std::printf("zqgen: %zu files in %s (%lld ms)\n", out.written.size(), outDir.c_str(), static_cast<long long>(ms));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
