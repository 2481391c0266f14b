// PCX pictures, plain and interface: an accepted picture has sane sides and
// exactly its pixels, and re-encodes to the same picture.
#include "assets/pcx.h"
#include "core/errors.h"
#include "fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    using namespace zq;
    const Bytes input(bytes, bytes + size);
    for (bool interfaceImage : {false, true}) {
        Picture picture;
        try {
            picture = DecodePcx(input, "F.PCX", interfaceImage);
        } catch (const FatalError&) {
            continue;
        }
        fuzz::Check(picture.width >= 1 && picture.width <= kMaxPictureSide && picture.height >= 1 &&
                        picture.height <= kMaxPictureSide,
                    "sides within 1..4096");
        fuzz::Check(picture.pixels.size() == static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height),
                    "one byte per pixel");
        if (interfaceImage) fuzz::Check(picture.width % 2 == 0, "interface pictures have even widths");
        const Bytes encoded = EncodePcx(picture);
        const Picture again = DecodePcx(encoded, "G.PCX", interfaceImage);
        fuzz::Check(again.width == picture.width && again.height == picture.height && again.pixels == picture.pixels &&
                        again.palette == picture.palette,
                    "encode -> decode gives the same picture");
        fuzz::Check(EncodePcx(again) == encoded, "encode -> decode -> encode is byte-exact");
    }
    return 0;
}
