#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "controls/anigif/frame_decoder.h"
#include "controls/anigif/snapshot_encoder.h"
#include "controls/anigif/snapshot_cases.h"

namespace pap::anigif {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(SnapshotEncoder, OnePixelFileByteForByte)
{
    std::mt19937 random(5);
    GifStream gif = test::SnapshotStream({1, 1, 1, test::Pattern::Noise, false}, random);
    gif.strip.pixels[7] = 5;
    Bytes expected = {'G', 'I', 'F', '8', '9', 'a',
                      0x01, 0x00, 0x01, 0x00,  // logical width 1, height 1
                      0x87, 0x00, 0x00};       // global table of 256, background 0, aspect 0
    for (const uint32_t colour : gif.palettes[1])  // the frame's table: red, green, blue
        expected.insert(expected.end(), {uint8_t(colour >> 16), uint8_t(colour >> 8), uint8_t(colour)});
    const Bytes tail = {0x2C, 0x00, 0x00, 0x00, 0x00,  // image separator, left 0, top 0
                        0x01, 0x00, 0x01, 0x00, 0x00,  // width 1, height 1, no local table
                        0x08,                          // minimum code size
                        0x04, 0x00, 0x0B, 0x04, 0x04,  // codes 256, 5, 257 at 9 bits in one sub-block
                        0x00, 0x3B};                   // terminator, trailer
    expected.insert(expected.end(), tail.begin(), tail.end());
    EXPECT_EQ(SnapshotFrame(gif, 2), expected);
}

TEST(SnapshotEncoder, ControlBlockOnlyForATransparentFrame)
{
    std::mt19937 random(2);
    GifStream gif = test::SnapshotStream({3, 2, 4, test::Pattern::Noise, false}, random);
    const Bytes opaque = SnapshotFrame(gif, 2);
    gif.frames[1].hasTransparency = 1;
    gif.frames[1].transparentIndex = 0xA7;
    const Bytes transparent = SnapshotFrame(gif, 2);
    ASSERT_GT(opaque.size(), 782u);
    EXPECT_EQ(opaque[781], 0x2C);  // the image descriptor right after the table
    ASSERT_EQ(transparent.size(), opaque.size() + 8);
    EXPECT_EQ(Bytes(transparent.begin() + 781, transparent.begin() + 789),
              Bytes({0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, 0xA7, 0x00}));
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
