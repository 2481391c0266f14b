// Connects the software back end and the overlay to the engine's picture
// state: colour tables, bank images, texture slots and interface images.
#pragma once

#include "assets/graphics.h"
#include "render/soft/soft_overlay.h"
#include "render/soft/soft_renderer.h"

namespace zq {

// Points the renderer at the tables and pictures of `graphics`; call again
// after a bank load (the palette may have changed).  `graphics` must outlive
// the renderer's use of it.
void BindGraphics(SoftRenderer& renderer, const Graphics& graphics);

// Interface image slots as the overlay reads them.
ImageLookup ImageSlotsOf(const Graphics& graphics);

// The main-palette index nearest to the fog colour the shade table was built
// for (black before any), used to clear the frame.
int FogClearColour(const Graphics& graphics);

}  // namespace zq
