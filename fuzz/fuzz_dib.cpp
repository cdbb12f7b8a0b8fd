// Fuzz entry point of the bitmap decoder: any input must decode or fail with a reason, never read out
// of bounds, and a decoded image must be consistent. The picture size is capped far below the
// decoder's default so that run-length headers cannot make every input allocate a huge picture.

#include <cstddef>
#include <cstdint>
#include <span>

#include "renderer/dib_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    pap::DibLimits limits;
    limits.maxPixels = uint64_t{1} << 20;
    pap::DibDecodeResult result = pap::DecodeDib(std::span<const uint8_t>(data, size), limits);
    if (result.image) {
        const pap::RgbImage& image = *result.image;
        if (image.sizeX <= 0 || image.sizeY <= 0 ||
            image.pixels.size() != size_t(image.sizeX) * size_t(image.sizeY) * 3 ||
            uint64_t(image.sizeX) * uint64_t(image.sizeY) > limits.maxPixels)
            __builtin_trap();
    } else if (result.error == pap::DibError::None || pap::DibErrorMessage(result.error)[0] == '\0') {
        __builtin_trap();
    }
    return 0;
}
