// Adapters from the engine's picture state to the software back end.
#include "render/soft/graphics_binding.h"

namespace zq {

void BindGraphics(SoftRenderer& renderer, const Graphics& graphics) {
    const ColourTables& t = *graphics.tables;
    renderer.SetColourTables(graphics.mainPalette, t.shade[0].data(), t.blend[0][0].data(), t.flatRemap.data());
    const Graphics* g = &graphics;
    renderer.SetTextures(
        {[g](int image) -> const std::uint8_t* {
             if (image < 0 || image >= static_cast<int>(g->bankImages.size())) return nullptr;
             const auto& block = g->bankImages[static_cast<std::size_t>(image)];
             return block && block->size() >= kBankImageBytes ? block->data() : nullptr;
         },
         [g](int slot) {
             if (slot < 0 || slot >= static_cast<int>(g->textureSlots.size())) return SoftSlot{-1, -1, -1};
             const TextureSlot& s = g->textureSlots[static_cast<std::size_t>(slot)];
             return SoftSlot{s.first, s.last, s.current};
         }});
}

ImageLookup ImageSlotsOf(const Graphics& graphics) {
    const Graphics* g = &graphics;
    return [g](int slot) -> ImageView {
        if (slot < 0 || slot >= static_cast<int>(g->imageSlots.size())) return {};
        const ImageSlot& image = g->imageSlots[static_cast<std::size_t>(slot)];
        if (image.Empty() ||
            image.pixels.size() < static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height))
            return {};
        return {image.pixels.data(), image.width, image.height};
    };
}

int FogClearColour(const Graphics& graphics) {
    const auto& fog = graphics.tables->fog;
    return NearestColour(graphics.mainPalette, fog[0], fog[1], fog[2], 1, 254);
}

}  // namespace zq
