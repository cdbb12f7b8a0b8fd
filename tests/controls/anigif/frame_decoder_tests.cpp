#include <gtest/gtest.h>

#include "controls/anigif/frame_decoder.h"
#include "controls/anigif/gif_builder.h"

namespace pap::anigif {
namespace {

using test::Bytes;

struct FrameShape {
    unsigned width, height;
    unsigned disposal = 0;
    bool transparent = false;
    bool interlaced = false;
};

// GIF89a with a global table of 4 entries; frame i (0-based) is solid index i + 1 (modulo 4).
Bytes Animation(const std::vector<FrameShape>& frames)
{
    Bytes out;
    test::Header(out, "GIF89a", 1, 1, 0x81);
    test::Table(out, 4);
    for (size_t i = 0; i < frames.size(); ++i) {
        const FrameShape& f = frames[i];
        test::Gce(out, f.disposal, 10, f.transparent, 0);
        test::Descriptor(out, 0, 0, f.width, f.height, f.interlaced ? 0x40 : 0x00);
        test::SolidImage(out, f.width, f.height, unsigned(i + 1) % 4);
    }
    out.push_back(0x3B);
    return out;
}

uint8_t StripAt(const GifStream& gif, int32_t x, int32_t y)
{
    return gif.strip.pixels[size_t(y) * size_t(gif.strip.width) + size_t(x)];
}

TEST(FrameDecoder, FramesSitSideBySideInTheStrip)
{
    const Bytes data = Animation({{10, 5}, {20, 7, 0, false, true}, {30, 3}});
    GifStream gif;
    ASSERT_EQ(ParseGifStream(data, gif), 3);
    ASSERT_TRUE(DecodeFirstPass(data, gif, Container::Live));
    EXPECT_EQ(gif.strip.width, 60);
    EXPECT_EQ(gif.strip.height, 7);
    EXPECT_EQ(gif.decodedFrames, 1);
    EXPECT_EQ(StripAt(gif, 9, 4), 1);
    EXPECT_EQ(StripAt(gif, 10, 0), 0);  // frame 2 not yet decoded
    DecodeSecondPass(data, gif);
    EXPECT_EQ(gif.decodedFrames, 3);
    EXPECT_EQ(gif.frames[0].blockStart, 0);
    EXPECT_EQ(gif.frames[1].blockStart, 10);
    EXPECT_EQ(gif.frames[2].blockStart, 30);
    for (int32_t y = 0; y < 7; ++y) {
        for (int32_t x = 0; x < 60; ++x) {
            const int frame = x < 10 ? 0 : x < 30 ? 1 : 2;
            const int32_t height = frame == 0 ? 5 : frame == 1 ? 7 : 3;
            ASSERT_EQ(StripAt(gif, x, y), y < height ? frame + 1 : 0) << x << "," << y;
        }
    }
}

TEST(FrameDecoder, DesignTimeAndSingleFrameDecodeFrameOneOnly)
{
    const Bytes data = Animation({{10, 5}, {20, 7}});
    GifStream gif;
    ASSERT_EQ(ParseGifStream(data, gif), 2);
    ASSERT_TRUE(DecodeFirstPass(data, gif, Container::Design));
    DecodeSecondPass(data, gif);
    EXPECT_EQ(gif.strip.width, 10);
    EXPECT_EQ(gif.strip.height, 7);
    EXPECT_EQ(gif.decodedFrames, 1);
    EXPECT_FALSE(gif.flags.useComposition);
}

TEST(FrameDecoder, PaintingFlags)
{
    const struct {
        const char* name;
        std::vector<FrameShape> frames;
        bool allRestoreBackground, anyTransparent, needMask, useComposition;
    } cases[] = {
        {"all restore background", {{4, 4, 2}, {4, 4, 2, true}}, true, true, false, false},
        {"plain overlay", {{4, 4, 1}, {4, 4, 1}}, false, false, false, true},
        {"transparent first frame", {{4, 4, 1, true}, {4, 4, 1}}, false, true, true, true},
        {"transparent later, frame 1 small", {{2, 4, 1}, {4, 4, 1, true}}, false, true, true, true},
        {"transparent later, frame 1 full", {{4, 4, 1}, {4, 4, 1, true}}, false, true, false, true},
        {"restore previous", {{4, 4, 0}, {4, 4, 3}}, false, false, true, true},
        {"one frame", {{4, 4, 3, true}}, false, true, false, false},
    };
    for (const auto& c : cases) {
        const Bytes data = Animation(c.frames);
        GifStream gif;
        ASSERT_GT(ParseGifStream(data, gif), 0) << c.name;
        ASSERT_TRUE(DecodeFirstPass(data, gif, Container::Live)) << c.name;
        EXPECT_EQ(gif.flags.allRestoreBackground, c.allRestoreBackground) << c.name;
        EXPECT_EQ(gif.flags.anyTransparent, c.anyTransparent) << c.name;
        EXPECT_EQ(gif.flags.needMask, c.needMask) << c.name;
        EXPECT_EQ(gif.flags.useComposition, c.useComposition) << c.name;
    }
}

TEST(FrameDecoder, LongAnimationLoadsAndLimitsRefuseCleanly)
{
    // 400 frames of 500 x 500: a strip of 200000 x 500 bytes. Each frame's data is only a clear and an
    // end code, so the frames stay blank and the test stays quick.
    Bytes data;
    test::Header(data, "GIF89a", 500, 500, 0x80);
    test::Table(data, 2);
    for (int i = 0; i < 400; ++i) {
        test::Descriptor(data, 0, 0, 500, 500, 0x00);
        test::ImageData(data, 2, test::PackCodes(2, {4, 5}));
    }
    data.push_back(0x3B);
    GifStream gif;
    ASSERT_EQ(ParseGifStream(data, gif), 400);
    ASSERT_TRUE(DecodeFirstPass(data, gif, Container::Live));
    DecodeSecondPass(data, gif);
    EXPECT_EQ(gif.strip.width, 200000);
    EXPECT_EQ(gif.strip.pixels.size(), 100000000u);
    EXPECT_EQ(gif.frames[399].blockStart, 199500);

    StripLimits limits;
    limits.maxPixels = 99999999;
    EXPECT_FALSE(DecodeFirstPass(data, gif, Container::Live, limits));
    EXPECT_TRUE(gif.strip.pixels.empty());
}

TEST(FrameDecoder, TruncatedFrameKeepsWhatWasDecoded)
{
    Bytes data = Animation({{4, 4}});
    data.resize(data.size() - 4);  // cut inside the image data: 2-bit codes 3 bits wide, 8 per 3 bytes
    GifStream gif;
    ASSERT_EQ(ParseGifStream(data, gif), 1);
    ASSERT_TRUE(DecodeFirstPass(data, gif, Container::Live));
    EXPECT_EQ(StripAt(gif, 0, 0), 1);
    EXPECT_EQ(StripAt(gif, 3, 3), 0);
}

}  // namespace
}  // namespace pap::anigif
