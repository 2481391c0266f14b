// Texture bank files: the numbered 128 x 128 bank images, the palettes they
// set, the animated texture slots, and the colour tables the software build
// derives from them.
#pragma once

#include <cstdint>
#include <string>

#include "assets/graphics.h"
#include "core/resolver.h"

namespace zq {

// Larger texture banks are refused unread: a bank naming all 32768 images and
// filling all 32768 slots, one line each, is under 3 MB.
inline constexpr std::uintmax_t kMaxTextureBankBytes = 8u << 20;

// Reads the bank `fileName`:
//   ...  #IMAGES  then "number=picture.pcx" lines, then  #TEXTURES  then
//   "slot=first-last" lines.
// Blanks, tabs and carriage returns are dropped and letters upper-cased
// before a line is looked at; lines before "#IMAGES" are skipped.  All bank
// images and texture slots are replaced.  The first image sets the main
// palette, the second the flat palette (and flatRemap); in the indexed format
// later images are remapped into the main palette and the blend tables come
// from the bank's ".POT" cache.
//
// Throws FatalError for a missing bank or picture (the missing-file message)
// and for a line that cannot be used (a malformed line, a number outside
// 0..32767, a picture that is not 128 x 128, a picture that would take the
// bank's distinct pictures past graphics.bankPictureLimit), naming the bank
// and the line; the Graphics record is then left as it was.  Lines naming the
// same picture share one decoded copy.  With `problems`, picture and line
// failures are recorded there instead and loading goes on; a missing bank
// file still throws.
void LoadTextureBank(Graphics& graphics, const DataResolver& data, const std::string& fileName,
                     AssetProblems* problems = nullptr);

// Advances every slot 0..lastSlot by one image: forwards when first < last,
// backwards when first > last, wrapping to first; a one-image slot stays.
void StepTextureAnimation(Graphics& graphics);

// The image a texture slot shows now; 0 for a slot outside 0..32767.
std::int32_t SlotImage(const Graphics& graphics, std::int32_t slot);

}  // namespace zq
