#pragma once

// The animation the GIF benchmarks decode, written by giflib: `frames` frames of size x size at 256
// colours, every frame a different pattern of short runs and noise. Deterministic.

#include <gif_lib.h>

#include <random>
#include <vector>

#include "support/giflib_memory.h"

namespace pap::bench {

// Frame f, top row first: diagonal bands of 8 x 8 blocks with noise in every third 4 x 4 diagonal,
// the noise drawn from `random`.
inline std::vector<uint8_t> AnimationFrame(int f, int size, std::mt19937& random)
{
    std::vector<uint8_t> pixels(static_cast<size_t>(size) * static_cast<size_t>(size));
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            pixels[static_cast<size_t>(y) * static_cast<size_t>(size) + static_cast<size_t>(x)] =
                (x / 4 + y / 4 + f) % 3 ? static_cast<uint8_t>((x / 8 + y / 8 + f) & 0xFF)
                                        : static_cast<uint8_t>(random() & 0xFF);
    return pixels;
}

inline std::vector<uint8_t> GifAnimation(int frames, int size)
{
    std::vector<uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, test::WriteToVector, &error);
    std::vector<GifColorType> colors(256, GifColorType{0, 0, 0});
    ColorMapObject* map = GifMakeMapObject(256, colors.data());
    EGifPutScreenDesc(gif, size, size, 8, 0, map);
    std::mt19937 random(7);
    for (int f = 0; f < frames; ++f) {
        std::vector<uint8_t> pixels = AnimationFrame(f, size, random);
        EGifPutImageDesc(gif, 0, 0, size, size, false, nullptr);
        for (int y = 0; y < size; ++y)
            EGifPutLine(gif, pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(size), size);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

}  // namespace pap::bench
