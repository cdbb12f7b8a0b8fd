// Pixel surfaces and raster operations, the bitmap writer against the renderer's bitmap decoder, and
// the PNG artwork decoder.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "gfx/artwork.h"
#include "gfx/bmp_writer.h"
#include "gfx/surface.h"
#include "renderer/dib_decoder.h"

namespace pap::gfx {
namespace {

uint32_t Read32(const std::vector<uint8_t>& b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

// A picture whose every pixel differs from its neighbours.
Surface Pattern(int width, int height)
{
    Surface s(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            s.set(x, y, Rgb(uint8_t(x * 37 + y), uint8_t(y * 53 + x * 3), uint8_t(x ^ (y * 7))));
    return s;
}

TEST(SurfaceTest, SizesFillAndResize)
{
    Surface s(3, 2, kWhite);
    EXPECT_EQ(s.at(2, 1), kWhite);
    s.set(1, 1, Rgb(1, 2, 3));
    s.resize(4, 3, kBlack);
    EXPECT_EQ(s.at(1, 1), Rgb(1, 2, 3));
    EXPECT_EQ(s.at(2, 1), kWhite);
    EXPECT_EQ(s.at(3, 2), kBlack);
    s.resize(1, 1);
    EXPECT_EQ(s.at(0, 0), kWhite);

    for (auto [w, h] : {std::pair{-1, 5}, {5, -1}, {kMaxSide + 1, 1}, {kMaxSide, kMaxSide}, {0, 7}}) {
        Surface bad(w, h);
        EXPECT_TRUE(bad.empty()) << w << "x" << h;
        EXPECT_EQ(bad.width(), 0);
    }

    s = Surface(5, 4, kBlack);
    s.fillRect({-2, 3, 4, 9}, kWhite);  // clipped on the left and below
    EXPECT_EQ(s.at(0, 3), kWhite);
    EXPECT_EQ(s.at(1, 3), kWhite);
    EXPECT_EQ(s.at(2, 3), kBlack);
    EXPECT_EQ(s.at(0, 2), kBlack);
    s.fillRect({4, 0, -3, 2}, kWhite);  // negative width: nothing
    EXPECT_EQ(s.at(3, 0), kBlack);
}

TEST(SurfaceTest, BlitClipsAtEveryEdge)
{
    const Surface source = Pattern(4, 3);
    for (auto [x, y] : {std::pair{0, 0}, {-2, -1}, {3, 2}, {-4, 0}, {6, 6}}) {
        Surface target(6, 5, kBlack);
        Blit(target, x, y, source);
        for (int ty = 0; ty < 5; ++ty)
            for (int tx = 0; tx < 6; ++tx) {
                int sx = tx - x, sy = ty - y;
                bool inside = sx >= 0 && sy >= 0 && sx < 4 && sy < 3;
                ASSERT_EQ(target.at(tx, ty), inside ? source.at(sx, sy) : kBlack) << x << "," << y << " at " << tx << "," << ty;
            }
    }
}

TEST(StretchTest, SameSizeIsACopyAndWholeMultiplesRepeatPixels)
{
    const Surface source = Pattern(7, 5);
    Surface same(7, 5);
    StretchBlit(same, {0, 0, 7, 5}, source);
    EXPECT_EQ(same, source);

    Surface big(21, 10);
    StretchBlit(big, {0, 0, 21, 10}, source);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 21; ++x)
            ASSERT_EQ(big.at(x, y), source.at(x / 3, y / 2));
}

TEST(StretchTest, ShrinkingAveragesTheCoveredArea)
{
    Surface source(4, 2);
    source.set(0, 0, Rgb(0, 0, 0));
    source.set(1, 0, Rgb(100, 200, 40));
    source.set(0, 1, Rgb(200, 0, 40));
    source.set(1, 1, Rgb(100, 0, 40));
    source.set(2, 0, kWhite);
    source.set(3, 0, kWhite);
    source.set(2, 1, kWhite);
    source.set(3, 1, kWhite);
    Surface half(2, 1);
    StretchBlit(half, {0, 0, 2, 1}, source);
    EXPECT_EQ(half.at(0, 0), Rgb(100, 50, 30));
    EXPECT_EQ(half.at(1, 0), kWhite);

    // Three pixels into two: the middle one is shared half and half.
    Surface row(3, 1);
    row.set(0, 0, Rgb(90, 0, 0));
    row.set(1, 0, Rgb(30, 0, 0));
    row.set(2, 0, Rgb(0, 0, 0));
    Surface two(2, 1);
    StretchBlit(two, {0, 0, 2, 1}, row);
    EXPECT_EQ(two.at(0, 0), Rgb(70, 0, 0));  // (90 * 1 + 30 * 0.5) / 1.5
    EXPECT_EQ(two.at(1, 0), Rgb(10, 0, 0));
}

TEST(StretchTest, ClipsToTheTargetAndIgnoresEmptyRectangles)
{
    const Surface source = Pattern(4, 4);
    Surface target(3, 3, kBlack);
    StretchBlit(target, {-2, -2, 8, 8}, source);  // twice the size, shifted up and left
    EXPECT_EQ(target.at(0, 0), source.at(1, 1));
    EXPECT_EQ(target.at(2, 2), source.at(2, 2));

    Surface untouched(3, 3, kBlack);
    StretchBlit(untouched, {0, 0, 0, 3}, source);
    StretchBlit(untouched, {0, 0, 3, -3}, source);
    StretchBlit(untouched, {5, 5, 3, 3}, source);
    StretchBlit(untouched, {0, 0, 3, 3}, Surface());
    EXPECT_EQ(untouched, Surface(3, 3, kBlack));
}

TEST(BmpWriterTest, HeadersAndPaddedBottomUpRows)
{
    Surface s(3, 2);
    s.set(0, 0, Rgb(1, 2, 3));   // top left
    s.set(2, 1, Rgb(7, 8, 9));   // bottom right
    std::vector<uint8_t> file = EncodeBmp24(s);
    const size_t stride = 12;  // 9 bytes padded to 12
    ASSERT_EQ(file.size(), 54 + 2 * stride);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(Read32(file, 2), file.size());
    EXPECT_EQ(Read32(file, 10), 54u);
    EXPECT_EQ(Read32(file, 14), 40u);
    EXPECT_EQ(Read32(file, 18), 3u);
    EXPECT_EQ(Read32(file, 22), 2u);  // positive: bottom-up
    EXPECT_EQ(file[26] | file[27] << 8, 1);
    EXPECT_EQ(file[28] | file[29] << 8, 24);
    EXPECT_EQ(Read32(file, 30), 0u);  // no compression
    EXPECT_EQ(Read32(file, 34), 2 * stride);
    // The bottom row comes first, blue first in each pixel.
    EXPECT_EQ(file[54 + 6], 9);
    EXPECT_EQ(file[54 + 7], 8);
    EXPECT_EQ(file[54 + 8], 7);
    EXPECT_EQ(file[54 + stride + 0], 3);
    EXPECT_EQ(file[54 + stride + 2], 1);
    EXPECT_EQ(file[54 + 9], 0);  // padding

    EXPECT_TRUE(EncodeBmp24(Surface()).empty());
}

TEST(BmpWriterTest, TheRenderersDecoderReadsEveryPixelBack)
{
    for (auto [w, h] : {std::pair{1, 1}, {5, 3}, {64, 48}, {1023, 7}}) {
        const Surface s = Pattern(w, h);
        std::vector<uint8_t> file = EncodeBmp24(s);
        DibDecodeResult decoded = DecodeDib(file);
        ASSERT_TRUE(decoded.image) << decoded.reason;
        const RgbImage& image = *decoded.image;
        ASSERT_EQ(image.sizeX, w);
        ASSERT_EQ(image.sizeY, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const uint8_t* p = &image.pixels[(size_t(h - 1 - y) * size_t(w) + size_t(x)) * 3];
                ASSERT_EQ(Rgb(p[0], p[1], p[2]), s.at(x, y)) << w << "x" << h << " at " << x << "," << y;
            }
    }
}

TEST(ArtworkTest, ThePreviewPictureDecodesAndBadDataIsRefused)
{
    std::ifstream in(PAPYRANT_ASSETS "/preview.png", std::ios::binary);
    std::vector<uint8_t> png((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(png.empty());
    std::optional<Surface> picture = DecodePng(png);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width(), 152);
    EXPECT_EQ(picture->height(), 112);

    EXPECT_FALSE(DecodePng({}));
    std::vector<uint8_t> cut(png.begin(), png.begin() + long(png.size() / 2));
    EXPECT_FALSE(DecodePng(cut));
    std::vector<uint8_t> garbage(300, 0x89);
    EXPECT_FALSE(DecodePng(garbage));
}

}  // namespace
}  // namespace pap::gfx
