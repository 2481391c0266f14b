// How the frame's shape sets the 3-D view and places the flat layer: frames
// wider than 4:3 show more to the sides instead of stretching a 4:3 view, and
// the interface keeps its 4:3 proportions inside them.
#pragma once

namespace zq {

// True when the frame is wider than 4:3 and gets the widened view: every such
// size except 320 x 200, which the screens it was made for showed at 4:3.
bool IsWideFrame(int width, int height);

// The frame's width over its height for a wide frame, else `classicAspect`
// (the aspect a back end has always used).
float ViewAspect(int width, int height, float classicAspect);

// Width of the 4:3 interface area as a fraction of the frame's width: 1 for
// frames up to 4:3, less for wide ones (0.75 at 16:9).
float InterfaceScale(int width, int height);

// Which part of a wide frame an interface element keeps its place against.
// Centre: the 4:3 area in the middle (menus, status bar, captions); Left and
// Right: that edge of the frame (status line, radar); Frame: the x is already
// a fraction of the whole frame (a name tag over a hero), only widths shrink.
enum class Anchor { Centre, Left, Right, Frame };

// Where an x given as a fraction of the 4:3 area goes, as a fraction of the
// frame; `scale` is InterfaceScale.  Widths are multiplied by `scale`.
float PlaceX(float x, float scale, Anchor anchor);
// The other way: a frame fraction (a mouse click) in the interface area's.
float InterfaceX(float frameX, float scale, Anchor anchor);

// The x range, in 4:3-area fractions, that a centred wide frame shows: from
// `left` (negative on wide frames) to `right` (above 1).
void InterfaceSpan(float scale, float& left, float& right);

}  // namespace zq
