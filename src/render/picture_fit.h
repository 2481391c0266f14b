// Where the finished picture lies in a window, and where a point of the
// window falls in the picture: the same arithmetic for drawing and for
// mapping mouse clicks, whatever draws the picture.
#pragma once

namespace zq {

// A rectangle in some pixel grid: left, top (rows from the top), size.
struct PictureArea {
    int x = 0, y = 0, width = 0, height = 0;
};

enum class PictureFit {
    Centred,      // at its own size in the middle (a window)
    Scaled,       // as large as fits, keeping its shape (full screen)
    WholePixels,  // the largest whole multiple that fits, else its own size
};

// How a game window fits its picture: centred in a window; in full screen
// scaled to fill, or by whole multiples when the player asked for exact pixels.
inline PictureFit FullscreenFit(bool fullscreen, bool exactPixels) {
    if (!fullscreen) return PictureFit::Centred;
    return exactPixels ? PictureFit::WholePixels : PictureFit::Scaled;
}

// The picture's rectangle in a client area of clientW x clientH pixels.
PictureArea FitPicture(int clientW, int clientH, int pictureW, int pictureH, PictureFit fit);

// A rectangle measured in one grid (drawable pixels, fromW x fromH) in
// another grid over the same window (window points, toW x toH): they differ
// on scaled desktops.  Unchanged when either grid is empty.
PictureArea ScaleArea(const PictureArea& area, int fromW, int fromH, int toW, int toH);

// The window point (x, y) as shares of `area` (0 at its left or top edge, 1
// at the right or bottom; outside it below 0 or above 1).  False for an
// empty area.
bool PictureShare(int x, int y, const PictureArea& area, float& shareX, float& shareY);

}  // namespace zq
