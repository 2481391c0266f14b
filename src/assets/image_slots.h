// Interface image slots: title and menu pictures, the status bar, the radar
// and the font glyphs, drawn flat over the 3D frame.
#pragma once

#include <cstdint>
#include <string>

#include "assets/graphics.h"
#include "assets/pcx.h"
#include "core/resolver.h"

namespace zq {

// Marks every slot empty and frees its pixels.
void ClearImageSlots(Graphics& graphics);

// Puts a decoded picture into a slot, replacing what it held: remapped into
// the main palette (kIndexed) or as padded RGBA with its extents (kRgba).
// Slots outside 0..4095 are ignored.
void StoreImageSlot(Graphics& graphics, int slot, const Picture& picture);

// Loads an interface picture (even width required) into a slot.  Throws
// FatalError with the missing-file or odd-width message.
void LoadImageSlot(Graphics& graphics, const DataResolver& data, int slot, const std::string& fileName);

// Copies the rectangle with top-left pixel (x, y) out of `fromSlot` into
// `toSlot`, clipped to the source picture.  Nothing happens when the source is
// empty, a slot is outside 0..4095 or nothing of the rectangle is left.
void CutImageSlot(Graphics& graphics, int fromSlot, int x, int y, int width, int height, int toSlot);

// The smallest power of two that is at least 2 and at least `side`.
std::int32_t PaddedSide(std::int32_t side);

// The fixed interface pictures, then the two fonts, each loaded into slot 0
// and cut into glyph slots (small font 50.., big font 150..).  With
// `problems`, failures are recorded there instead of thrown.
void LoadInterfaceImages(Graphics& graphics, const DataResolver& data, AssetProblems* problems = nullptr);

}  // namespace zq
