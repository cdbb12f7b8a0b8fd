// Our decoded indices against giflib's: GIFs written with giflib's encoder (random indices, 1 to 256
// colours, sizes 1 x 1 to 300 x 200, some interlaced, several frames) are decoded by both and
// every frame's indices compared, and compared with the indices that were written.

#include <gtest/gtest.h>
#include <gif_lib.h>

#include <cstring>
#include <random>
#include <vector>

#include "controls/anigif/frame_decoder.h"
#include "support/giflib_memory.h"

namespace pap::anigif {
namespace {

using Bytes = std::vector<uint8_t>;

struct Frame {
    int width, height;
    bool interlaced;
    std::vector<uint8_t> indices;  // top row first
};

using test::ReadFromVector;
using test::ReadState;
using test::WriteToVector;

Bytes EncodeWithGiflib(const std::vector<Frame>& frames, int colours)
{
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, WriteToVector, &error);
    EXPECT_NE(gif, nullptr);
    int tableSize = 2;
    while (tableSize < colours)
        tableSize *= 2;
    std::vector<GifColorType> colors(size_t(tableSize), GifColorType{0, 0, 0});
    ColorMapObject* map = GifMakeMapObject(tableSize, colors.data());
    EGifSetGifVersion(gif, true);
    EXPECT_EQ(EGifPutScreenDesc(gif, 300, 200, 8, 0, map), GIF_OK);
    for (const Frame& frame : frames) {
        EXPECT_EQ(EGifPutImageDesc(gif, 0, 0, frame.width, frame.height, frame.interlaced, nullptr), GIF_OK);
        std::vector<int> rows;
        if (frame.interlaced) {
            const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass)
                for (int y = start[pass]; y < frame.height; y += step[pass])
                    rows.push_back(y);
        } else {
            for (int y = 0; y < frame.height; ++y)
                rows.push_back(y);
        }
        for (int y : rows) {
            std::vector<GifPixelType> line(frame.indices.begin() + long(y) * frame.width,
                                           frame.indices.begin() + long(y + 1) * frame.width);
            EXPECT_EQ(EGifPutLine(gif, line.data(), frame.width), GIF_OK);
        }
    }
    EXPECT_EQ(EGifCloseFile(gif, &error), GIF_OK);
    GifFreeMapObject(map);
    return out;
}

std::vector<std::vector<uint8_t>> DecodeWithGiflib(const Bytes& data)
{
    ReadState state{&data, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&state, ReadFromVector, &error);
    EXPECT_NE(gif, nullptr);
    EXPECT_EQ(DGifSlurp(gif), GIF_OK);
    std::vector<std::vector<uint8_t>> frames;
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage& image = gif->SavedImages[i];
        const size_t n = size_t(image.ImageDesc.Width) * size_t(image.ImageDesc.Height);
        frames.emplace_back(image.RasterBits, image.RasterBits + n);
    }
    DGifCloseFile(gif, &error);
    return frames;
}

TEST(GiflibCrossCheck, SameIndicesAsGiflib)
{
    std::mt19937 random(20261208);
    const struct {
        int width, height, colours;
    } sizes[] = {{1, 1, 1}, {1, 1, 256}, {300, 200, 256}, {300, 200, 2}, {17, 33, 5},
                 {123, 45, 64}, {8, 9, 3}, {250, 180, 200}, {2, 200, 16}, {300, 1, 129}};
    for (const auto& s : sizes) {
        std::vector<Frame> frames;
        for (int f = 0; f < 3; ++f) {
            Frame frame{f == 1 ? std::max(1, s.width / 2) : s.width, s.height, f == 2, {}};
            std::uniform_int_distribution<int> index(0, s.colours - 1);
            // Runs of repeated indices as well as noise, so that long strings and a full table occur.
            for (int i = 0; i < frame.width * frame.height; ++i)
                frame.indices.push_back(uint8_t(f == 0 && i % 7 < 4 && i > 0 ? frame.indices.back() : index(random)));
            frames.push_back(frame);
        }
        const Bytes data = EncodeWithGiflib(frames, s.colours);
        const auto reference = DecodeWithGiflib(data);
        ASSERT_EQ(reference.size(), frames.size());

        GifStream gif;
        ASSERT_EQ(ParseGifStream(data, gif), 3);
        ASSERT_TRUE(DecodeFirstPass(data, gif, Container::Live));
        DecodeSecondPass(data, gif);
        for (size_t f = 0; f < frames.size(); ++f) {
            std::vector<uint8_t> ours;
            const GifFrame& frame = gif.frames[f];
            for (int32_t y = 0; y < frame.height; ++y) {
                const uint8_t* row = gif.strip.pixels.data() + size_t(y) * size_t(gif.strip.width) + size_t(frame.blockStart);
                ours.insert(ours.end(), row, row + frame.width);
            }
            EXPECT_EQ(ours, reference[f]) << s.width << "x" << s.height << " colours " << s.colours << " frame " << f;
            EXPECT_EQ(ours, frames[f].indices) << s.width << "x" << s.height << " frame " << f;
        }
    }
}

}  // namespace
}  // namespace pap::anigif
