// The loading notice drawn before any data is loaded.
#include "render/loading_notice.h"
#include "render/soft/soft_loading_notice.h"

#include <gtest/gtest.h>

namespace zq {
namespace {

TEST(LoadingNotice, WhiteTextCentredOnBlackAtEverySize) {
    for (auto [w, h] : {std::pair{160, 120}, std::pair{320, 240}, std::pair{1600, 1200}, std::pair{50, 10}}) {
        SoftFrame frame = LoadingNoticeFrame(w, h);
        ASSERT_EQ(frame.pixels.size(), static_cast<std::size_t>(w * h));
        int left = w, right = -1, top = h, bottom = -1, lit = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (frame.pixels[static_cast<std::size_t>(y * w + x)] != 0) {
                    ++lit;
                    left = std::min(left, x);
                    right = std::max(right, x);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
        ASSERT_GT(lit, 0) << w;
        if (w >= 160) {
            EXPECT_LE(std::abs(left - (w - 1 - right)), 1) << w;
            EXPECT_LE(std::abs(top - (h - 1 - bottom)), 1) << w;
            EXPECT_GE(right - left, w / 3) << w;  // readable, not a speck
        }
    }
    SoftFrame frame = LoadingNoticeFrame(320, 240);
    EXPECT_EQ(frame.palette.red[0] + frame.palette.green[0] + frame.palette.blue[0], 0);
    EXPECT_EQ(frame.palette.red[1] + frame.palette.green[1] + frame.palette.blue[1], 3 * 255);
}

}  // namespace
}  // namespace zq
