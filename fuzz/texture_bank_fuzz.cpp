// Texture bank files naming pictures in a small data folder: a refused bank
// leaves the picture state exactly as it was; an accepted one holds only
// images of the right size, slots within range, and stays under its ceiling.
#include <memory>
#include <set>

#include "assets/pcx.h"
#include "assets/texture_bank.h"
#include "core/errors.h"
#include "fuzz_util.h"

namespace {

using namespace zq;

Picture Solid(int width, int height, std::uint8_t shift) {
    Picture p;
    p.width = width;
    p.height = height;
    p.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (std::size_t i = 0; i < p.pixels.size(); ++i) p.pixels[i] = static_cast<std::uint8_t>(i * 7 + shift);
    for (int c = 0; c < kPaletteSize; ++c) {
        auto k = static_cast<std::size_t>(c);
        p.palette.red[k] = static_cast<std::uint8_t>(c + shift);
        p.palette.green[k] = static_cast<std::uint8_t>(c * 3);
        p.palette.blue[k] = static_cast<std::uint8_t>(255 - c);
    }
    return p;
}

std::uint64_t GraphicsDigest(const Graphics& g) {
    fuzz::Digest d;
    for (const BankImage& image : g.bankImages) d.Value(image.get());
    d.Add(g.textureSlots.data(), g.textureSlots.size() * sizeof(TextureSlot));
    d.Value(g.lastSlot);
    d.Value(g.mainPalette);
    d.Value(g.flatPalette);
    d.Value(g.tables->flatRemap);
    d.Add(g.tables->blend.data(), sizeof g.tables->blend);
    d.Value(g.bankGeneration);
    d.Text(g.bankName);
    return d.Hash();
}

struct State {
    DataResolver data{fuzz::ScratchFolder()};
    std::unique_ptr<Graphics> indexed = MakeGraphics(PixelFormat::kIndexed);
    std::unique_ptr<Graphics> rgba = MakeGraphics(PixelFormat::kRgba);
    State() {
        fuzz::WriteScratch("TEX/A.PCX", EncodePcx(Solid(128, 128, 0)));
        fuzz::WriteScratch("TEX/B.PCX", EncodePcx(Solid(128, 128, 40)));
        fuzz::WriteScratch("TEX/C.PCX", EncodePcx(Solid(128, 128, 90)));
        fuzz::WriteScratch("TEX/SMALL.PCX", EncodePcx(Solid(64, 128, 5)));
        Bytes cut = EncodePcx(Solid(128, 128, 9));
        cut.resize(600);
        fuzz::WriteScratch("TEX/CUT.PCX", cut);
        // Low ceilings, so the fuzzer can reach them: two distinct pictures.
        indexed->bankPictureLimit = 2 * kBankImageBytes;
        rgba->bankPictureLimit = 2 * 4 * kBankImageBytes;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    static State state;
    if (size == 0) return 0;
    // The first byte picks the build: 8-bit (with the blend-table cache) or RGBA.
    Graphics& g = (bytes[0] & 1) ? *state.rgba : *state.indexed;
    fuzz::WriteScratch("B.TXT", bytes + 1, size - 1);
    const std::uint64_t before = GraphicsDigest(g);
    // The GL build keeps the images a new bank does not list; only the
    // pictures this bank decoded count against its ceiling.
    const std::set<const std::vector<std::uint8_t>*> kept = [&] {
        std::set<const std::vector<std::uint8_t>*> set;
        for (const BankImage& image : g.bankImages) set.insert(image.get());
        return set;
    }();
    try {
        LoadTextureBank(g, state.data, "B.TXT");
    } catch (const FatalError&) {
        fuzz::Check(GraphicsDigest(g) == before, "a refused bank leaves the pictures unchanged");
        return 0;
    }
    const std::size_t imageBytes = g.format == PixelFormat::kIndexed ? kBankImageBytes : 4 * kBankImageBytes;
    std::set<const std::vector<std::uint8_t>*> distinct;
    for (const BankImage& image : g.bankImages) {
        if (!image) continue;
        fuzz::Check(image->size() == imageBytes, "bank images are 128 x 128");
        if (!kept.count(image.get())) distinct.insert(image.get());
    }
    fuzz::Check(distinct.size() * imageBytes <= g.bankPictureLimit, "distinct pictures stay under the ceiling");
    fuzz::Check(g.lastSlot >= 0 && g.lastSlot < kTextureSlotCount, "last slot within range");
    for (const TextureSlot& slot : g.textureSlots)
        fuzz::Check(slot.first >= 0 && slot.first < kImageNumberCount && slot.last >= 0 && slot.last < kImageNumberCount,
                    "slots name image numbers within range");
    return 0;
}
