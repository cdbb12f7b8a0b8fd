#include <gtest/gtest.h>

#include "controls/anigif/gif_stream.h"
#include "controls/anigif/gif_builder.h"

namespace pap::anigif {
namespace {

using test::Bytes;

// GIF89a on a 16 x 16 screen with a global table of 4 entries (packed 0x81).
Bytes GlobalHeader(const std::string& signature = "GIF89a")
{
    Bytes out;
    test::Header(out, signature, 16, 16, 0x81);
    test::Table(out, 4);
    return out;
}

// One 2 x 2 image at (0, 0) using the global table.
void Frame(Bytes& out)
{
    test::Descriptor(out, 0, 0, 2, 2, 0x00);
    test::SolidImage(out, 2, 2, 1);
}

TEST(GifParser, SignatureMatchesWithoutRegardToCase)
{
    const struct {
        const char* signature;
        int16_t count;
    } cases[] = {{"GIF89a", 1}, {"gif89a", 1}, {"GiF87A", 1}, {"GIF87a", 1}, {"GIF88a", 0}, {"PNG89a", 0}};
    for (const auto& c : cases) {
        Bytes gif = GlobalHeader(c.signature);
        Frame(gif);
        gif.push_back(0x3B);
        GifStream stream;
        EXPECT_EQ(ParseGifStream(gif, stream), c.count) << c.signature;
        EXPECT_EQ(stream.count(), c.count) << c.signature;
    }
    GifStream stream;
    EXPECT_EQ(ParseGifStream(Bytes{'G', 'I', 'F', '8', '9'}, stream), 0);
    EXPECT_EQ(ParseGifStream(Bytes{'G', 'I', 'F', '8', '9', 'a', 16, 0, 16}, stream), 0);
}

TEST(GifParser, DisposalCorrections)
{
    Bytes gif = GlobalHeader();
    test::Gce(gif, 3, 0);  // restore-previous on the first frame: becomes 0
    Frame(gif);
    test::Gce(gif, 3, 0);  // on a later frame: kept
    Frame(gif);
    test::Gce(gif, 2, 0);
    Frame(gif);
    test::Gce(gif, 6, 0);  // undefined value: 0
    Frame(gif);
    gif.push_back(0x3B);
    GifStream stream;
    ASSERT_EQ(ParseGifStream(gif, stream), 4);
    EXPECT_EQ(stream.frames[0].disposal, 0);
    EXPECT_EQ(stream.frames[1].disposal, 3);
    EXPECT_EQ(stream.frames[2].disposal, 2);
    EXPECT_EQ(stream.frames[3].disposal, 0);
}

TEST(GifParser, LoopingExtension)
{
    const struct {
        const char* identifier;
        Bytes sub;
        int32_t loopLimit;
    } cases[] = {
        {"NETSCAPE2.0", {1, 5, 1}, 261},    // sub-block id 1, count 0x0105
        {"netscape2.0", {1, 7, 0}, 7},      // identifier compared after upper-casing
        {"NETSCAPE2.0", {1, 5, 0, 0}, 0},   // first sub-block not 3 bytes long: no loop count
        {"ANIMEXTS1.0", {1, 5, 0}, 0},      // another application: skipped
    };
    for (const auto& c : cases) {
        Bytes gif = GlobalHeader();
        test::Application(gif, c.identifier, c.sub);
        Frame(gif);
        gif.push_back(0x3B);
        GifStream stream;
        EXPECT_EQ(ParseGifStream(gif, stream), 1) << c.identifier;
        EXPECT_EQ(stream.loopLimit, c.loopLimit) << c.identifier;
    }
}

TEST(GifParser, ZeroBytesSkippedAndUnknownIntroducerEndsStream)
{
    Bytes gif = GlobalHeader();
    Frame(gif);
    gif.insert(gif.end(), {0x00, 0x00});  // padding between blocks
    Frame(gif);
    gif.push_back(0x99);                  // unknown introducer: end of stream
    Frame(gif);
    gif.push_back(0x3B);
    GifStream stream;
    EXPECT_EQ(ParseGifStream(gif, stream), 2);
}

TEST(GifParser, LogicalSizeComesFromFramesAndDelayFromControlBlock)
{
    Bytes gif = GlobalHeader();  // screen 16 x 16
    const size_t gcePosition = gif.size() + 1;
    test::Gce(gif, 1, 7, true, 3);
    const size_t firstImage = gif.size() + 1;
    test::Descriptor(gif, 10, 20, 30, 40, 0x00);
    test::SolidImage(gif, 30, 40, 2);
    const size_t secondImage = gif.size() + 1;
    test::Descriptor(gif, 0, 0, 5, 5, 0x00);
    test::SolidImage(gif, 5, 5, 2);
    const size_t trailer = gif.size() + 1;
    gif.push_back(0x3B);
    GifStream stream;
    ASSERT_EQ(ParseGifStream(gif, stream), 2);
    EXPECT_EQ(stream.actualWidth, 40);
    EXPECT_EQ(stream.actualHeight, 60);
    const GifFrame& first = stream.frames[0];
    EXPECT_EQ(first.left, 10);
    EXPECT_EQ(first.top, 20);
    EXPECT_EQ(first.width, 30);
    EXPECT_EQ(first.height, 40);
    EXPECT_EQ(first.delay, 70);
    EXPECT_EQ(first.hasTransparency, 1);
    EXPECT_EQ(first.transparentIndex, 3);
    EXPECT_EQ(first.blockStart, int32_t(gcePosition));
    EXPECT_EQ(stream.frames[1].delay, 0);
    EXPECT_EQ(stream.frames[1].blockStart, int32_t(secondImage));
    EXPECT_EQ(stream.spans[0].start, int32_t(firstImage));
    EXPECT_EQ(stream.spans[0].length, int32_t(secondImage - firstImage));
    EXPECT_EQ(stream.spans[1].length, int32_t(trailer - secondImage));
}

TEST(GifParser, ColourTablesAndLocalTableCounter)
{
    Bytes gif = GlobalHeader();
    test::Descriptor(gif, 0, 0, 2, 2, 0x80);  // local table of 2 entries
    test::Table(gif, 2);
    test::SolidImage(gif, 2, 2, 1);
    Frame(gif);                               // global table
    test::Descriptor(gif, 0, 0, 2, 2, 0x82);  // local table of 8 entries
    test::Table(gif, 8);
    test::SolidImage(gif, 2, 2, 1);
    gif.push_back(0x3B);
    GifStream stream;
    ASSERT_EQ(ParseGifStream(gif, stream), 3);
    EXPECT_EQ(stream.frames[0].paletteIndex, 1);
    EXPECT_EQ(stream.frames[1].paletteIndex, 0);
    EXPECT_EQ(stream.frames[2].paletteIndex, 2);
    ASSERT_EQ(stream.palettes.size(), 3u);
    EXPECT_EQ(stream.palettes[0][3], 0x030609u);  // red 3, green 6, blue 9
    EXPECT_EQ(stream.palettes[0][4], 0u);         // beyond the 4-entry table
    EXPECT_EQ(stream.palettes[2][7], 0x070E15u);
    EXPECT_EQ(stream.palettes[2][8], 0u);
}

TEST(GifParser, ImageWithoutAnyColourTableFailsTheParse)
{
    Bytes gif;
    test::Header(gif, "GIF89a", 16, 16, 0x00);  // no global table
    test::Descriptor(gif, 0, 0, 2, 2, 0x80);   // frame 1 has a local one
    test::Table(gif, 2);
    test::SolidImage(gif, 2, 2, 1);
    Frame(gif);                                // frame 2 has none
    gif.push_back(0x3B);
    GifStream stream;
    EXPECT_EQ(ParseGifStream(gif, stream), 0);
    EXPECT_TRUE(stream.frames.empty());
}

TEST(GifParser, TruncatedFileKeepsCompletedFrames)
{
    Bytes gif = GlobalHeader();
    Frame(gif);
    const size_t secondImage = gif.size();
    Frame(gif);
    const size_t secondData = secondImage + 11;  // after descriptor and minimum code size
    gif.push_back(0x3B);
    const struct {
        size_t length;
        int16_t count;
    } cases[] = {
        {13 + 12 + 5, 0},          // inside the global table
        {13 + 12 + 6, 0},          // inside frame 1's descriptor
        {secondImage, 1},          // right after frame 1
        {secondImage + 7, 1},      // inside frame 2's descriptor
        {secondData + 2, 2},       // inside frame 2's data: kept, its span runs past the end
    };
    for (const auto& c : cases) {
        GifStream stream;
        EXPECT_EQ(ParseGifStream(std::span(gif.data(), c.length), stream), c.count) << c.length;
    }
}

TEST(GifParser, SpanListGrowsByFive)
{
    Bytes gif = GlobalHeader();
    for (int i = 0; i < 12; ++i)
        Frame(gif);
    gif.push_back(0x3B);
    GifStream stream;
    ASSERT_EQ(ParseGifStream(gif, stream), 12);
    EXPECT_EQ(stream.spans.size(), 15u);
    EXPECT_GT(stream.spans[11].start, stream.spans[10].start);
}

}  // namespace
}  // namespace pap::anigif
