#include <gtest/gtest.h>

#include <algorithm>

#include "controls/anigif/frame_decoder.h"
#include "controls/anigif/snapshot_encoder.h"
#include "controls/anigif/snapshot_cases.h"

namespace pap::anigif {
namespace {

using Bytes = std::vector<uint8_t>;

// A one-frame stream: a width x height frame of index `value` using global table 0, entry i =
// 0x00RRGGBB with red i, green 255 - i, blue i / 2.
GifStream SolidStream(int32_t width, int32_t height, uint8_t value, bool transparent = false, uint8_t index = 0)
{
    GifStream gif;
    gif.frames.resize(1);
    gif.frames[0].width = width;
    gif.frames[0].height = height;
    gif.frames[0].hasTransparency = transparent;
    gif.frames[0].transparentIndex = index;
    gif.palettes.resize(1);
    for (uint32_t i = 0; i < 256; ++i)
        gif.palettes[0][i] = i << 16 | (255 - i) << 8 | i / 2;
    gif.strip.width = width;
    gif.strip.height = height;
    gif.strip.pixels.assign(size_t(width) * size_t(height), value);
    gif.stripFrames = gif.decodedFrames = 1;
    return gif;
}

TEST(SnapshotEncoder, OnePixelFileByteForByte)
{
    Bytes expected = {'G', 'I', 'F', '8', '9', 'a',
                      0x01, 0x00, 0x01, 0x00,  // logical width 1, height 1
                      0x87, 0x00, 0x00};       // global table of 256, background 0, aspect 0
    for (int i = 0; i < 256; ++i)
        expected.insert(expected.end(), {uint8_t(i), uint8_t(255 - i), uint8_t(i / 2)});
    const Bytes tail = {0x2C, 0x00, 0x00, 0x00, 0x00,  // image separator, left 0, top 0
                        0x01, 0x00, 0x01, 0x00, 0x00,  // width 1, height 1, no local table
                        0x08,                          // minimum code size
                        0x04, 0x00, 0x0B, 0x04, 0x04,  // codes 256, 5, 257 at 9 bits in one sub-block
                        0x00, 0x3B};                   // terminator, trailer
    expected.insert(expected.end(), tail.begin(), tail.end());
    EXPECT_EQ(SnapshotFrame(SolidStream(1, 1, 5), 1), expected);
}

TEST(SnapshotEncoder, ControlBlockOnlyForATransparentFrame)
{
    const Bytes control = {0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, 0xA7, 0x00};
    const Bytes opaque = SnapshotFrame(SolidStream(3, 2, 1), 1);
    ASSERT_GT(opaque.size(), 782u);
    EXPECT_EQ(opaque[781], 0x2C);
    EXPECT_EQ(std::search(opaque.begin(), opaque.end(), control.begin(), control.begin() + 3), opaque.end());

    const Bytes transparent = SnapshotFrame(SolidStream(3, 2, 1, true, 0xA7), 1);
    ASSERT_EQ(transparent.size(), opaque.size() + 8);
    EXPECT_EQ(Bytes(transparent.begin() + 781, transparent.begin() + 789), control);
    EXPECT_EQ(Bytes(transparent.begin() + 789, transparent.end()), Bytes(opaque.begin() + 781, opaque.end()));
}

TEST(SnapshotEncoder, RefusesFramesNotInTheStrip)
{
    std::mt19937 random(1);
    GifStream gif = test::SnapshotStream({4, 3, 4, test::Pattern::Noise, false}, random);
    EXPECT_FALSE(SnapshotFrame(gif, 2).empty());
    EXPECT_TRUE(SnapshotFrame(gif, 0).empty());
    EXPECT_TRUE(SnapshotFrame(gif, 3).empty());
    EXPECT_TRUE(SnapshotFrame(gif, -1).empty());
    gif.decodedFrames = 1;  // frame 2 not decoded yet
    EXPECT_TRUE(SnapshotFrame(gif, 2).empty());
    gif.decodedFrames = 2;
    gif.palettes.resize(1);  // its colour table missing
    EXPECT_TRUE(SnapshotFrame(gif, 2).empty());
}

// Our parser and decoder read the snapshot back as one frame with the slice's indices, the frame's
// colour table and its transparency.
TEST(SnapshotEncoder, RoundTripThroughOurDecoder)
{
    std::mt19937 random(20261208);
    for (const test::SnapshotCase& c : test::SnapshotCases()) {
        SCOPED_TRACE(c.name());
        const GifStream source = test::SnapshotStream(c, random);
        const Bytes file = SnapshotFrame(source, 2);
        GifStream back;
        ASSERT_EQ(ParseGifStream(file, back), 1);
        ASSERT_TRUE(DecodeFirstPass(file, back, Container::Design));
        EXPECT_EQ(back.frames[0].width, c.width);
        EXPECT_EQ(back.frames[0].height, c.height);
        EXPECT_EQ(back.palettes[0], source.palettes[1]);
        EXPECT_EQ(back.frames[0].hasTransparency, c.transparent);
        if (c.transparent) {
            EXPECT_EQ(back.frames[0].transparentIndex, source.frames[1].transparentIndex);
        }
        EXPECT_EQ(test::SliceOf(back, 1), test::SliceOf(source, 2));
    }
}

// The snapshot is of the strip as it is now: flipping the slice (as mirroring does) flips the picture.
TEST(SnapshotEncoder, EncodesTheSliceAsItIsNow)
{
    std::mt19937 random(3);
    GifStream gif = test::SnapshotStream({40, 30, 256, test::Pattern::Mixed, false}, random);
    const Bytes before = SnapshotFrame(gif, 2);
    for (int32_t y = 0; y < 30; ++y) {
        auto row = gif.strip.pixels.begin() + long(y) * gif.strip.width + 7;
        std::reverse(row, row + 40);
    }
    const Bytes after = SnapshotFrame(gif, 2);
    EXPECT_NE(after, before);
    GifStream back;
    ASSERT_EQ(ParseGifStream(after, back), 1);
    ASSERT_TRUE(DecodeFirstPass(after, back, Container::Design));
    EXPECT_EQ(test::SliceOf(back, 1), test::SliceOf(gif, 2));
}

}  // namespace
}  // namespace pap::anigif
