// The loading notice's mask painted into a two-colour frame.
#include "render/soft/soft_loading_notice.h"

#include <algorithm>

#include "render/loading_notice.h"

namespace zq {

SoftFrame LoadingNoticeFrame(int width, int height) {
    SoftFrame frame;
    frame.width = std::max(width, 1);
    frame.height = std::max(height, 1);
    frame.pixels = LoadingNoticeMask(frame.width, frame.height);
    frame.palette.red[1] = frame.palette.green[1] = frame.palette.blue[1] = 255;
    return frame;
}

}  // namespace zq
