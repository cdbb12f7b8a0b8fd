// Our painted frames against stb_image's composed frames: animations written with giflib's encoder
// (frames of random size and place, random colours, some with a transparent index) are painted frame
// by frame onto a container and loaded by stb_image, and every pixel compared: where stb_image has
// alpha 0 the container must show through, elsewhere the colours must match. All frames keep disposal
// 1: stb_image restores a disposal 2 rectangle to the picture before the frame rather than to
// transparency, and Debian's stb_image reads before its own buffer for disposal 3.

#include <gtest/gtest.h>
#include <gif_lib.h>

#include <random>
#include <vector>

#include "controls/anigif/composition.h"
#include "controls/anigif/frame_decoder.h"
#include "support/giflib_memory.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_GIF
#include <stb_image.h>

namespace pap::anigif {
namespace {

using Bytes = std::vector<uint8_t>;

// A random animation of `frames` frames on a width x height screen; frame 1 covers the screen when
// `fullFirst`, else frame 2 does (so that the picture is the screen's size).
Bytes RandomAnimation(std::mt19937& random, int width, int height, int frames, bool fullFirst)
{
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, test::WriteToVector, &error);
    EGifSetGifVersion(gif, true);
    std::vector<GifColorType> colors(16);
    for (GifColorType& c : colors)
        c = GifColorType{GifByteType(random()), GifByteType(random()), GifByteType(random())};
    ColorMapObject* map = GifMakeMapObject(16, colors.data());
    EGifPutScreenDesc(gif, width, height, 4, 0, map);
    for (int f = 0; f < frames; ++f) {
        const bool full = f == (fullFirst ? 0 : 1);
        const int w = full ? width : 1 + int(random() % unsigned(width));
        const int h = full ? height : 1 + int(random() % unsigned(height));
        const int left = full ? 0 : int(random() % unsigned(width - w + 1));
        const int top = full ? 0 : int(random() % unsigned(height - h + 1));
        const bool transparent = random() % 3 != 0;
        // Graphic control extension: packed (disposal 1, transparency), delay, transparent index 5.
        const GifByteType control[4] = {GifByteType(1 << 2 | (transparent ? 1 : 0)), 10, 0, 5};
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control);
        EGifPutImageDesc(gif, left, top, w, h, false, nullptr);
        std::vector<GifPixelType> line(size_t(w), 0);
        for (int y = 0; y < h; ++y) {
            for (GifPixelType& p : line)
                p = GifPixelType(random() % 16);
            EGifPutLine(gif, line.data(), w);
        }
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

TEST(StbCross, PaintedFramesMatchStbImage)
{
    std::mt19937 random(11);
    struct Case {
        int width, height, frames;
        bool fullFirst;
    };
    const Case cases[] = {{1, 1, 3, true}, {17, 9, 6, true}, {40, 30, 8, false}, {64, 3, 5, false}, {33, 33, 12, true}};
    for (const Case& c : cases) {
        for (int round = 0; round < 4; ++round) {
            SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " round " << round);
            const Bytes data = RandomAnimation(random, c.width, c.height, c.frames, c.fullFirst);
            GifStream gif;
            ASSERT_EQ(ParseGifStream(data, gif), c.frames);
            ASSERT_TRUE(DecodeFirstPass(data, gif, Container::Live));
            DecodeSecondPass(data, gif);
            Composer composer(gif);
            ASSERT_TRUE(composer.ok());

            int* delays = nullptr;
            int width = 0, height = 0, layers = 0, channels = 0;
            stbi_uc* stb = stbi_load_gif_from_memory(data.data(), int(data.size()), &delays, &width, &height, &layers,
                                                     &channels, 4);
            ASSERT_NE(stb, nullptr);
            ASSERT_EQ(layers, c.frames);
            ASSERT_EQ(width, gif.actualWidth);
            ASSERT_EQ(height, gif.actualHeight);
            const size_t frameBytes = size_t(width) * size_t(height) * 4;
            int mismatches = 0;
            for (int k = 1; k <= c.frames; ++k) {
                const std::vector<uint8_t> ours = PaintFrameRgba(composer, k, width, height);
                ASSERT_EQ(ours.size(), frameBytes);
                const stbi_uc* theirs = stb + size_t(k - 1) * frameBytes;
                for (size_t i = 0; i < frameBytes; i += 4) {
                    const bool same = theirs[i + 3] == 0 ? ours[i + 3] == 0
                                                        : ours[i + 3] == 255 && ours[i] == theirs[i] &&
                                                              ours[i + 1] == theirs[i + 1] && ours[i + 2] == theirs[i + 2];
                    if (!same && mismatches++ < 3)
                        ADD_FAILURE() << "frame " << k << " pixel " << i / 4 % size_t(width) << ","
                                      << i / 4 / size_t(width);
                }
            }
            stbi_image_free(stb);
            stbi_image_free(delays);
        }
    }
}

}  // namespace
}  // namespace pap::anigif
