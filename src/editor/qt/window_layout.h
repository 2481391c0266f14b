// Sizes shared by the editor window's files: the side panel's width and
// margins, the forced low resolution and the boosted picture.
#pragma once

namespace zq::editorui {

inline constexpr int kInfoBoxWidth = 190;
inline constexpr int kMargin = 5;
inline constexpr int kMinClientHeight = 417;
inline constexpr int kLowWidth = 320, kLowHeight = 240;
inline constexpr int kBoostWidth = 320, kBoostHeight = 200;
inline constexpr int kFrameMs = 15;

}  // namespace zq::editorui
