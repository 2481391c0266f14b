#include "platform/web/canvas_presenter.h"

#include <emscripten.h>

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
    if (path_ == Path::kWebGl && ShowWebGl(frame)) return;
    path_ = Path::k2d;
    Show2d(frame);
}

// False when the canvas has no WebGL (then it never will: the 2D path follows).
bool CanvasPresenter::ShowWebGl(const SoftFrame& frame) {
    return EM_ASM_INT(
               {
                   const canvas = Module.canvas;
                   const width = $1;
                   const height = $2;
                   let s = canvas.zqGl;
                   if (s === null) return 0;
                   if (s === undefined) {
                       s = canvas.zqGl = null;
                       const gl = canvas.getContext('webgl', {
                           alpha : false,
                           antialias : false,
                           depth : false,
                           stencil : false,
                           preserveDrawingBuffer : false,
                       });
                       if (!gl) return 0;
                       const shader = function(kind, text) {
                           const made = gl.createShader(kind);
                           gl.shaderSource(made, text);
                           gl.compileShader(made);
                           return made;
                       };
                       const program = gl.createProgram();
                       // One triangle covers the canvas; row 0 of the frame is its top.
                       gl.attachShader(program, shader(gl.VERTEX_SHADER,
                                                       'attribute vec2 p; varying vec2 t;' +
                                                       'void main() { t = vec2(p.x + 1.0, 1.0 - p.y) * 0.5;' +
                                                       ' gl_Position = vec4(p, 0.0, 1.0); }'));
                       // The byte picks one of the palette's 256 texels, at its middle.
                       gl.attachShader(program, shader(gl.FRAGMENT_SHADER,
                                                       '#ifdef GL_FRAGMENT_PRECISION_HIGH\nprecision highp float;\n' +
                                                       '#else\nprecision mediump float;\n#endif\n' +
                                                       'uniform sampler2D frame; uniform sampler2D palette; varying vec2 t;' +
                                                       'void main() { float i = texture2D(frame, t).r;' +
                                                       ' gl_FragColor = texture2D(palette, vec2(i * (255.0 / 256.0) + 0.5 / 256.0, 0.5)); }'));
                       gl.linkProgram(program);
                       if (!gl.getProgramParameter(program, gl.LINK_STATUS)) {
                           console.warn('Zorvo Quib: WebGL: ' + gl.getProgramInfoLog(program));
                           return 0;
                       }
                       gl.useProgram(program);
                       const corners = gl.createBuffer();
                       gl.bindBuffer(gl.ARRAY_BUFFER, corners);
                       gl.bufferData(gl.ARRAY_BUFFER, new Float32Array([ -1, -1, 3, -1, -1, 3 ]), gl.STATIC_DRAW);
                       const at = gl.getAttribLocation(program, 'p');
                       gl.enableVertexAttribArray(at);
                       gl.vertexAttribPointer(at, 2, gl.FLOAT, false, 0, 0);
                       const texture = function(unit) {
                           const made = gl.createTexture();
                           gl.activeTexture(gl.TEXTURE0 + unit);
                           gl.bindTexture(gl.TEXTURE_2D, made);
                           gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MIN_FILTER, gl.NEAREST);
                           gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MAG_FILTER, gl.NEAREST);
                           gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_WRAP_S, gl.CLAMP_TO_EDGE);
                           gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_WRAP_T, gl.CLAMP_TO_EDGE);
                           return made;
                       };
                       texture(1);
                       gl.texImage2D(gl.TEXTURE_2D, 0, gl.RGBA, 256, 1, 0, gl.RGBA, gl.UNSIGNED_BYTE, null);
                       texture(0);
                       gl.uniform1i(gl.getUniformLocation(program, 'frame'), 0);
                       gl.uniform1i(gl.getUniformLocation(program, 'palette'), 1);
                       gl.pixelStorei(gl.UNPACK_ALIGNMENT, 1);
                       s = canvas.zqGl = {};
                       s.gl = gl;
                       s.width = 0;
                       s.height = 0;
                       // A lost context (the graphics driver restarted) is made again when it comes back.
                       canvas.addEventListener('webglcontextlost', function(e) { e.preventDefault(); });
                       canvas.addEventListener('webglcontextrestored', function() { canvas.zqGl = undefined; });
                   }
                   const gl = s.gl;
                   if (gl.isContextLost()) return 1;
                   if (canvas.width !== width || canvas.height !== height) {
                       canvas.width = width;
                       canvas.height = height;
                   }
                   const bytes = HEAPU8.subarray($0, $0 + width * height);
                   if (s.width !== width || s.height !== height) {
                       gl.viewport(0, 0, width, height);
                       gl.texImage2D(gl.TEXTURE_2D, 0, gl.LUMINANCE, width, height, 0, gl.LUMINANCE, gl.UNSIGNED_BYTE,
                                     bytes);
                       s.width = width;
                       s.height = height;
                   } else {
                       gl.texSubImage2D(gl.TEXTURE_2D, 0, 0, 0, width, height, gl.LUMINANCE, gl.UNSIGNED_BYTE, bytes);
                   }
                   gl.activeTexture(gl.TEXTURE1);
                   gl.texSubImage2D(gl.TEXTURE_2D, 0, 0, 0, 256, 1, gl.RGBA, gl.UNSIGNED_BYTE,
                                    HEAPU8.subarray($3, $3 + 1024));
                   gl.activeTexture(gl.TEXTURE0);
                   gl.drawArrays(gl.TRIANGLES, 0, 3);
                   return 1;
               },
               frame.pixels.data(), frame.width, frame.height, lookup_.data()) != 0;
}

void CanvasPresenter::Show2d(const SoftFrame& frame) {
    const std::size_t count = static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height);
    rgba_.resize(count);
    std::uint32_t* out = rgba_.data();
    toRgba_.Convert(lookup_, frame.pixels.data(), count, out);
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
            if (!context) return;
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
