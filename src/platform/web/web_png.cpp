// The browser game writes no PNG files: there is no folder to put them in and
// no libpng in the page.  The page's own screenshot goes through the canvas.
#include "render/png_writer.h"

namespace zq {

namespace {
bool NoPng(std::string& why) {
    why = "no PNG files in the browser";
    return false;
}
}  // namespace

bool WritePalettedPng(const std::string&, const std::uint8_t*, int, int, const Palette&, std::string& why) {
    return NoPng(why);
}
bool WriteRgbPng(const std::string&, const std::uint8_t*, int, int, std::string& why) { return NoPng(why); }
bool WriteRgbaPng(const std::string&, const std::uint8_t*, int, int, std::string& why) { return NoPng(why); }

}  // namespace zq
