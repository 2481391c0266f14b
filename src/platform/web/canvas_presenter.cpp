#include "platform/web/canvas_presenter.h"

#include <emscripten.h>

#include <algorithm>

namespace zq {

void CanvasPresenter::Show(const SoftFrame& frame) {
    if (frame.width <= 0 || frame.height <= 0) return;
    const std::size_t count = static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height);
    if (frame.pixels.size() < count) return;
    // The canvas's bytes are R, G, B, A: on a little-endian machine that is
    // A B G R from the top of a 32-bit word.
    for (std::size_t i = 0; i < 256; ++i)
        lookup_[i] = 0xFF000000u | (std::uint32_t{frame.palette.blue[i]} << 16) |
                     (std::uint32_t{frame.palette.green[i]} << 8) | std::uint32_t{frame.palette.red[i]};
    rgba_.resize(count);
    const std::uint8_t* src = frame.pixels.data();
    std::uint32_t* out = rgba_.data();
    const std::uint32_t* lookup = lookup_.data();
    for (std::size_t i = 0; i < count; ++i) out[i] = lookup[src[i]];
    EM_ASM(
        {
            const canvas = Module.canvas;
            const width = $1;
            const height = $2;
            if (canvas.width !== width || canvas.height !== height) {
                canvas.width = width;
                canvas.height = height;
            }
            let context = Module.zqContext;
            if (!context || context.canvas !== canvas) context = Module.zqContext = canvas.getContext('2d');
            // A view of the module's memory: made again when the memory grew
            // or the picture moved or changed size.
            let image = Module.zqImage;
            if (!image || Module.zqImageAt !== $0 || image.width !== width || image.height !== height ||
                image.data.buffer !== HEAPU8.buffer) {
                image = Module.zqImage = new ImageData(new Uint8ClampedArray(HEAPU8.buffer, $0, width * height * 4),
                                                       width, height);
                Module.zqImageAt = $0;
            }
            context.putImageData(image, 0, 0);
        },
        out, frame.width, frame.height);
}

}  // namespace zq
