// The software frame's conversion for the window.
#include "platform/sdl_display.h"

#include <gtest/gtest.h>

namespace zq {
namespace {

TEST(SdlDisplay, FullScreenBlanksTheLastRowOnly) {
    SoftFrame frame;
    frame.width = 3;
    frame.height = 2;
    frame.pixels = {1, 2, 3, 4, 5, 6};
    for (std::size_t i = 0; i < 256; ++i) frame.palette.red[i] = static_cast<std::uint8_t>(i * 10);
    std::vector<std::uint32_t> out;
    ConvertFrame(frame, false, out);
    EXPECT_EQ(out, (std::vector<std::uint32_t>{0xFF0A0000u, 0xFF140000u, 0xFF1E0000u, 0xFF280000u, 0xFF320000u,
                                                0xFF3C0000u}));
    ConvertFrame(frame, true, out);
    EXPECT_EQ(out, (std::vector<std::uint32_t>{0xFF0A0000u, 0xFF140000u, 0xFF1E0000u, 0xFF000000u, 0xFF000000u,
                                                0xFF000000u}));
}

}  // namespace
}  // namespace zq
