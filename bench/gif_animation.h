#pragma once

// The animation the GIF benchmarks decode, written by giflib: `frames` frames of size x size at 256
// colours, every frame a different pattern of short runs and noise. Deterministic.

#include <gif_lib.h>

#include <random>
#include <vector>

#include "support/giflib_memory.h"

namespace pap::bench {

inline std::vector<uint8_t> GifAnimation(int frames, int size)
{
    std::vector<uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, test::WriteToVector, &error);
    std::vector<GifColorType> colors(256, GifColorType{0, 0, 0});
    ColorMapObject* map = GifMakeMapObject(256, colors.data());
    EGifPutScreenDesc(gif, size, size, 8, 0, map);
    std::mt19937 random(7);
    std::vector<GifPixelType> line(static_cast<size_t>(size));
    for (int f = 0; f < frames; ++f) {
        EGifPutImageDesc(gif, 0, 0, size, size, false, nullptr);
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x)
                line[static_cast<size_t>(x)] = (x / 4 + y / 4 + f) % 3
                                                   ? static_cast<GifPixelType>((x / 8 + y / 8 + f) & 0xFF)
                                                   : static_cast<GifPixelType>(random() & 0xFF);
            EGifPutLine(gif, line.data(), size);
        }
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

}  // namespace pap::bench
