// Placing the picture in the window and mapping window points back into it.
#include "render/picture_fit.h"

#include <algorithm>

namespace zq {

PictureArea FitPicture(int clientW, int clientH, int pictureW, int pictureH, PictureFit fit) {
    pictureW = std::max(pictureW, 1);
    pictureH = std::max(pictureH, 1);
    int w = pictureW, h = pictureH;
    if (clientW > 0 && clientH > 0) {
        if (fit == PictureFit::Scaled) {
            const double scale = std::min(static_cast<double>(clientW) / pictureW, static_cast<double>(clientH) / pictureH);
            w = std::max(1, static_cast<int>(pictureW * scale));
            h = std::max(1, static_cast<int>(pictureH * scale));
        } else if (fit == PictureFit::WholePixels) {
            const int scale = std::max(1, std::min(clientW / pictureW, clientH / pictureH));
            w = pictureW * scale;
            h = pictureH * scale;
        }
    }
    // Centred, never stretched; a picture larger than the client area hangs
    // over both sides evenly.
    return {(clientW - w) / 2, (clientH - h) / 2, w, h};
}

PictureArea ScaleArea(const PictureArea& a, int fromW, int fromH, int toW, int toH) {
    if (fromW <= 0 || fromH <= 0 || toW <= 0 || toH <= 0) return a;
    auto across = [&](int v) { return static_cast<int>(static_cast<long long>(v) * toW / fromW); };
    auto down = [&](int v) { return static_cast<int>(static_cast<long long>(v) * toH / fromH); };
    return {across(a.x), down(a.y), across(a.width), down(a.height)};
}

bool PictureShare(int x, int y, const PictureArea& area, float& shareX, float& shareY) {
    if (area.width <= 0 || area.height <= 0) return false;
    shareX = static_cast<float>(x - area.x) / static_cast<float>(area.width);
    shareY = static_cast<float>(y - area.y) / static_cast<float>(area.height);
    return true;
}

}  // namespace zq
