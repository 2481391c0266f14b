// Wide frames: the aspect of the 3-D view and the placing of the flat layer.
#include "render/view_shape.h"

namespace zq {

bool IsWideFrame(int width, int height) {
    if (width <= 0 || height <= 0) return false;
    if (width == 320 && height == 200) return false;
    return static_cast<long long>(width) * 3 > static_cast<long long>(height) * 4;
}

float ViewAspect(int width, int height, float classicAspect) {
    return IsWideFrame(width, height) ? static_cast<float>(width) / static_cast<float>(height) : classicAspect;
}

float InterfaceScale(int width, int height) {
    if (!IsWideFrame(width, height)) return 1;
    return static_cast<float>(height) * 4.0f / (3.0f * static_cast<float>(width));
}

float PlaceX(float x, float scale, Anchor anchor) {
    switch (anchor) {
        case Anchor::Left: return x * scale;
        case Anchor::Right: return 1 - (1 - x) * scale;
        case Anchor::Frame: return x;
        case Anchor::Centre: break;
    }
    return (1 - scale) / 2 + x * scale;
}

float InterfaceX(float frameX, float scale, Anchor anchor) {
    if (scale <= 0) return frameX;
    switch (anchor) {
        case Anchor::Left: return frameX / scale;
        case Anchor::Right: return 1 - (1 - frameX) / scale;
        case Anchor::Frame: return frameX;
        case Anchor::Centre: break;
    }
    return (frameX - (1 - scale) / 2) / scale;
}

void InterfaceSpan(float scale, float& left, float& right) {
    if (scale <= 0) scale = 1;
    left = -(1 - scale) / 2 / scale;
    right = 1 - left;
}

}  // namespace zq
