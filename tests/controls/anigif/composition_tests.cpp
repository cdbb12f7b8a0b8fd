// Frame composition and painting: transparency over earlier frames, disposal 2 and 3, the empty start
// at frame 1, painting straight from the strip, scaling, the stretch table and mirroring.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "controls/anigif/composition.h"
#include "controls/anigif/frame_decoder.h"
#include "controls/anigif/gif_builder.h"

namespace pap::anigif {
namespace {

using test::Bytes;

// One frame: its rectangle, disposal, and its pixels as index digits row by row (one digit: solid).
// A transparent frame's transparent index is 3.
struct FrameShape {
    unsigned left, top, width, height;
    unsigned disposal;
    bool transparent;
    std::string pixels;
};

// Frame data of literal codes with a 2-bit minimum code size: clear, one code per pixel, end.
void Image(Bytes& out, const FrameShape& f)
{
    std::vector<unsigned> codes = {4};
    for (unsigned i = 0; i < f.width * f.height; ++i)
        codes.push_back(unsigned((f.pixels.size() == 1 ? f.pixels[0] : f.pixels[i]) - '0'));
    codes.push_back(5);
    test::ImageData(out, 2, test::PackCodes(2, codes));
}

struct Loaded {
    Bytes data;
    GifStream gif;
    std::unique_ptr<Composer> composer;
};

// GIF89a with a global table of 4 entries (entry i = red i, green 2i, blue 3i), loaded in a live
// container with every frame decoded.
std::unique_ptr<Loaded> Load(const std::vector<FrameShape>& frames)
{
    auto loaded = std::make_unique<Loaded>();
    Bytes& out = loaded->data;
    out.reserve(256);  // (GCC 12 warns wrongly about inserting into an empty vector)
    test::Header(out, "GIF89a", 1, 1, 0x81);
    test::Table(out, 4);
    for (const FrameShape& f : frames) {
        test::Gce(out, f.disposal, 10, f.transparent, 3);
        test::Descriptor(out, f.left, f.top, f.width, f.height, 0x00);
        Image(out, f);
    }
    out.push_back(0x3B);
    EXPECT_EQ(ParseGifStream(out, loaded->gif), int16_t(frames.size()));
    EXPECT_TRUE(DecodeFirstPass(out, loaded->gif, Container::Live));
    DecodeSecondPass(out, loaded->gif);
    loaded->composer = std::make_unique<Composer>(loaded->gif);
    return loaded;
}

// The painted picture as rows of index digits, '.' where the container shows through.
std::vector<std::string> Picture(Composer& composer, int k, int width, int height)
{
    const std::vector<uint8_t> rgba = PaintFrameRgba(composer, k, width, height);
    std::vector<std::string> rows(size_t(height), std::string(size_t(width), '?'));
    if (rgba.empty())
        return rows;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = &rgba[(size_t(y) * size_t(width) + size_t(x)) * 4];
            char& c = rows[size_t(y)][size_t(x)];
            if (p[3] == 0)
                c = '.';
            else if (p[1] == 2 * p[0] && p[2] == 3 * p[0] && p[0] < 4 && p[3] == 255)
                c = char('0' + p[0]);
        }
    }
    return rows;
}

struct CompositionCase {
    const char* name;
    std::vector<FrameShape> frames;
    std::vector<int> shown;  // frames painted in this order; the picture is the last one's
    std::vector<std::string> expected;
    bool composition = true;
};

TEST(Composition, FramesBuildOnEachOther)
{
    const CompositionCase cases[] = {
        {"transparent frame 2 over opaque frame 1",
         {{0, 0, 4, 2, 0, false, "1"}, {1, 0, 2, 2, 0, true, "3223"}},
         {1, 2},
         {"1121", "1211"}},
        {"where both are transparent the container shows",
         {{0, 0, 4, 2, 0, true, "33111133"}, {0, 0, 2, 1, 0, true, "32"}},
         {1, 2},
         {".211", "11.."}},
        {"with a mask too, frame 1's opaque pixels show through frame 2's transparent ones",
         {{0, 0, 4, 2, 0, true, "33111111"}, {1, 0, 2, 2, 0, true, "3223"}},
         {1, 2},
         {"..21", "1211"}},
        {"disposal 2: shown, then its rectangle transparent for the next frame",
         {{0, 0, 4, 2, 0, false, "1"}, {0, 0, 2, 2, 2, false, "2"}, {3, 1, 1, 1, 0, false, "0"}},
         {1, 2},
         {"2211", "2211"}},
        {"disposal 2: the next frame",
         {{0, 0, 4, 2, 0, false, "1"}, {0, 0, 2, 2, 2, false, "2"}, {3, 1, 1, 1, 0, false, "0"}},
         {1, 2, 3},
         {"..11", "..10"}},
        {"disposal 3 returns to what was before",
         {{0, 0, 4, 2, 0, false, "1"}, {0, 0, 2, 2, 3, false, "2"}, {3, 1, 1, 1, 0, false, "0"}},
         {1, 2, 3},
         {"1111", "1110"}},
        {"disposal 3 restores transparency too",
         {{0, 0, 4, 2, 0, true, "33111111"}, {0, 0, 3, 2, 3, false, "2"}, {3, 1, 1, 1, 0, false, "0"}},
         {1, 2, 3},
         {"..11", "1110"}},
        {"frame 1 after the last starts from an empty picture",
         {{0, 0, 2, 1, 0, false, "1"}, {2, 1, 2, 1, 0, true, "2"}},
         {1, 2, 1},
         {"11..", "...."}},
        {"every frame disposal 2: painted straight from the strip",
         {{0, 0, 4, 2, 2, false, "1"}, {1, 1, 2, 1, 2, true, "23"}},
         {1, 2},
         {"....", ".2.."},
         false},
    };
    for (const CompositionCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto loaded = Load(c.frames);
        Composer& composer = *loaded->composer;
        ASSERT_TRUE(composer.ok());
        EXPECT_EQ(composer.hasComposition(), c.composition);
        std::vector<std::string> picture;
        for (int k : c.shown)
            picture = Picture(composer, k, 4, 2);
        EXPECT_EQ(picture, c.expected);
    }
}

TEST(Composition, ScalingDoublesAndAZeroSizeDrawsNothing)
{
    auto loaded = Load({{0, 0, 4, 2, 0, false, "1"}, {1, 0, 2, 2, 0, true, "3223"}});
    Composer& composer = *loaded->composer;
    composer.setScales(2.0f, 2.0f);
    Picture(composer, 1, 8, 4);
    EXPECT_EQ(Picture(composer, 2, 8, 4),
              (std::vector<std::string>{"11112211", "11112211", "11221111", "11221111"}));

    composer.setScales(0.1f, 1.0f);  // 4 x 0.1 rounds to 0
    EXPECT_EQ(Picture(composer, 1, 4, 2), (std::vector<std::string>{"....", "...."}));

    auto straight = Load({{0, 0, 4, 2, 2, false, "1"}, {1, 1, 2, 1, 2, false, "2"}});
    straight->composer->setScales(1.0f, 0.2f);  // 2 x 0.2 rounds to 0
    EXPECT_EQ(Picture(*straight->composer, 1, 4, 2), (std::vector<std::string>{"....", "...."}));
    EXPECT_TRUE(PaintFrameRgba(*straight->composer, 0, 4, 2).empty());
}

TEST(Composition, FramesFarAlongAWideStripAndUndecodedFrames)
{
    // Three frames 65535 wide: the strip is wider than any owned bitmap may be.
    auto loaded = Load({{0, 0, 65535, 1, 2, false, "1"}, {0, 0, 65535, 1, 2, false, "2"}, {0, 0, 65535, 1, 2, false, "3"}});
    ASSERT_EQ(loaded->gif.strip.width, 3 * 65535);
    EXPECT_EQ(Picture(*loaded->composer, 3, 4, 1), std::vector<std::string>{"3333"});

    // Frame 2 is not drawn before the second pass has decoded it.
    auto early = std::make_unique<Loaded>();
    early->data = loaded->data;
    ASSERT_EQ(ParseGifStream(early->data, early->gif), 3);
    ASSERT_TRUE(DecodeFirstPass(early->data, early->gif, Container::Live));
    Composer composer(early->gif);
    EXPECT_EQ(Picture(composer, 1, 4, 1), std::vector<std::string>{"1111"});
    EXPECT_TRUE(PaintFrameRgba(composer, 2, 4, 1).empty());
}

TEST(Composition, StretchTable)
{
    struct Case {
        int availableWidth, availableHeight, mode, pictureWidth, pictureHeight;
        std::optional<Layout> expected;
    };
    const Case cases[] = {
        {100, 50, 0, 200, 200, Layout{100, 50, 1.0f, 1.0f}},
        {100, 50, 1, 200, 200, Layout{50, 50, 0.25f, 0.25f}},
        {100, 50, 2, 200, 200, Layout{100, 50, 0.5f, 0.25f}},
        {100, 50, 3, 200, 200, Layout{50, 50, 0.25f, 0.25f}},
        {100, 50, 4, 200, 200, Layout{200, 200, 1.0f, 1.0f}},
        {100, 100, 3, 20, 10, Layout{20, 10, 1.0f, 1.0f}},
        {100, 100, 1, 20, 10, Layout{100, 50, 5.0f, 5.0f}},
        {100, 5, 1, 5, 10, Layout{2, 5, 0.5f, 0.5f}},  // 2.5 rounds to 2
        {100, 5, 3, 7, 10, Layout{4, 5, 0.5f, 0.5f}},  // 3.5 rounds to 4
        {100, 50, 1, 0, 200, std::nullopt},
        {100, 50, 5, 200, 200, std::nullopt},
    };
    for (const Case& c : cases) {
        const auto layout = ComputeLayout(c.availableWidth, c.availableHeight, c.mode, c.pictureWidth, c.pictureHeight);
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " picture " << c.pictureWidth << "x" << c.pictureHeight);
        ASSERT_EQ(layout.has_value(), c.expected.has_value());
        if (!layout)
            continue;
        EXPECT_EQ(layout->width, c.expected->width);
        EXPECT_EQ(layout->height, c.expected->height);
        EXPECT_EQ(layout->scaleX, c.expected->scaleX);
        EXPECT_EQ(layout->scaleY, c.expected->scaleY);
    }
}

TEST(Composition, MirroringMovesAndFlipsFrames)
{
    std::string ramp;
    for (int x = 0; x < 100; ++x)
        ramp += char('0' + x % 3);
    auto loaded = Load({{0, 0, 100, 1, 2, false, ramp}, {10, 0, 20, 1, 2, false, ramp.substr(0, 20)}});
    Composer& composer = *loaded->composer;
    composer.ApplyMirror(kMirrorHorizontal, false, true);
    EXPECT_EQ(loaded->gif.frames[0].left, 0);
    EXPECT_EQ(loaded->gif.frames[1].left, 70);
    std::string expected(100, '.');
    for (int x = 0; x < 20; ++x)
        expected[size_t(70 + x)] = char('0' + (19 - x) % 3);
    EXPECT_EQ(Picture(composer, 2, 100, 1), std::vector<std::string>{expected});

    std::string reversed(ramp.rbegin(), ramp.rend());
    EXPECT_EQ(Picture(composer, 1, 100, 1), std::vector<std::string>{reversed});

    // The pending mark spares frame 1 (already mirrored) and is cleared.
    composer.setMirrorStyle(kMirrorPending);
    composer.ApplyMirror(kMirrorHorizontal, false, true);
    EXPECT_EQ(composer.mirrorStyle(), 0);
    EXPECT_EQ(loaded->gif.frames[1].left, 10);
    EXPECT_EQ(Picture(composer, 1, 100, 1), std::vector<std::string>{reversed});

    // Vertically, with the composition buffers: what was composed flips with the frames.
    auto composed = Load({{0, 0, 2, 2, 0, false, "1122"}, {0, 0, 1, 1, 0, true, "3"}});
    gfx::Dib scratch = gfx::Dib::Create(2, 2, 32);
    composed->composer->PaintFrame(1, scratch);
    composed->composer->ApplyMirror(kMirrorVertical, false, true);
    EXPECT_EQ(Picture(*composed->composer, 2, 2, 2), (std::vector<std::string>{"22", "11"}));
}

TEST(Composition, DesignOutlineIsDottedAndLeavesTheInside)
{
    gfx::Surface surface(5, 3, 0x123456);
    gfx::Dib dc = gfx::Dib::View(surface);
    DrawDesignOutline(dc, 5, 3, 0x000000);
    EXPECT_EQ(surface.at(0, 0), 0x000000u);
    EXPECT_EQ(surface.at(1, 0), 0x123456u);
    EXPECT_EQ(surface.at(2, 1), 0x123456u);
    EXPECT_EQ(surface.at(4, 2), 0x000000u);
}

}  // namespace
}  // namespace pap::anigif
