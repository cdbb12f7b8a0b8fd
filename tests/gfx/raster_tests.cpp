// Device-independent bitmaps and raster operations: the colour <-> monochrome rules per depth and
// operation, mirroring by negative extents, halftone stretching, fills and the dotted outline.

#include <gtest/gtest.h>

#include <vector>

#include "gfx/dib.h"
#include "gfx/raster.h"

namespace pap::gfx {
namespace {

// An owned bitmap whose colour table (if any) is entry i = 0x00, i, 2i with entry 7 white and 9 black.
Dib Make(int width, int height, int bpp)
{
    Dib dib = Dib::Create(width, height, bpp);
    if (bpp == 8) {
        std::vector<Pixel> table(256);
        for (uint32_t i = 0; i < 256; ++i)
            table[i] = Rgb(0, uint8_t(i), uint8_t(2 * i));
        table[7] = kWhite;
        table[9] = kBlack;
        dib.setColorTable(0, table);
    }
    return dib;
}

struct RopCase {
    const char* name;
    int sourceBpp;
    int targetBpp;
    Rop rop;
    uint32_t source;  // stored source value
    uint32_t target;  // stored target value before
    uint32_t expected;
    Pixel sourceBack = kWhite;
    Pixel targetText = kBlack;
};

TEST(RasterTest, ConversionsPerDepthAndOperation)
{
    const RopCase cases[] = {
        {"8 to 1, white index gives 1", 8, 1, Rop::SrcCopy, 7, 0, 1},
        {"8 to 1, other index gives 0", 8, 1, Rop::SrcCopy, 5, 1, 0},
        {"8 to 1 AND keeps a set bit under white", 8, 1, Rop::SrcAnd, 7, 1, 1},
        {"8 to 1 AND clears under black", 8, 1, Rop::SrcAnd, 9, 1, 0},
        {"8 to 1 AND keeps a clear bit", 8, 1, Rop::SrcAnd, 7, 0, 0},
        {"1 to 32 AND, bit 1 is white", 1, 32, Rop::SrcAnd, 1, 0x123456, 0x123456},
        {"1 to 32 AND, bit 0 is black", 1, 32, Rop::SrcAnd, 0, 0x123456, 0},
        {"1 to 24 AND, bit 1 is white", 1, 24, Rop::SrcAnd, 1, 0xA0B0C0, 0xA0B0C0},
        {"1 to 24 AND, bit 0 is black", 1, 24, Rop::SrcAnd, 0, 0xA0B0C0, 0},
        {"1 to 32 copy, bit 0 is the text colour", 1, 32, Rop::SrcCopy, 0, 0, 0xFF0000, kWhite, 0xFF0000},
        {"1 to 1 copies the bit", 1, 1, Rop::SrcCopy, 1, 0, 1},
        {"24 to 32 OR", 24, 32, Rop::SrcPaint, 0x00FF00, 0x0000FF, 0x00FFFF},
        {"24 to 32 copy", 24, 32, Rop::SrcCopy, 0x102030, 0xFFFFFF, 0x102030},
        {"32 to 24 AND", 32, 24, Rop::SrcAnd, 0x0F0F0F, 0xFFF0FF, 0x0F000F},
        {"8 to 32 copy through the table", 8, 32, Rop::SrcCopy, 5, 0, 0x00050A},
        {"8 to 32 OR", 8, 32, Rop::SrcPaint, 5, 0x100000, 0x10050A},
        {"8 to 24 AND", 8, 24, Rop::SrcAnd, 5, 0xFFFFFF, 0x00050A},
        {"8 to 8 copies the index", 8, 8, Rop::SrcCopy, 200, 3, 200},
        {"24 to 8 takes the nearest entry", 24, 8, Rop::SrcCopy, 0x00060B, 0, 6},
        {"32 to 1, the background colour gives 1", 32, 1, Rop::SrcCopy, 0xFFFFFF, 0, 1},
        {"32 to 1, another colour gives 0", 32, 1, Rop::SrcCopy, 0xFFFFFE, 1, 0},
        {"32 to 1 with a red background colour", 32, 1, Rop::SrcCopy, 0xFF0000, 0, 1, 0xFF0000},
        {"24 to 1 OR", 24, 1, Rop::SrcPaint, 0x000000, 1, 1},
    };
    for (const RopCase& c : cases) {
        SCOPED_TRACE(c.name);
        // Pixel 9 of a 12-pixel row: the second byte of a 1-bit row.
        Dib source = Make(12, 2, c.sourceBpp), target = Make(12, 2, c.targetBpp);
        source.setBackColor(c.sourceBack);
        target.setTextColor(c.targetText);
        source.setValue(9, 1, c.source);
        target.setValue(10, 0, c.target);
        target.setValue(11, 0, c.target);
        BitBlt(target, 10, 0, 1, 1, source, 9, 1, c.rop);
        EXPECT_EQ(target.valueAt(10, 0), c.expected);
        EXPECT_EQ(target.valueAt(11, 0), c.target);  // untouched neighbour
        EXPECT_EQ(target.valueAt(9, 0), 0u);
    }
}

// A 5 x 3 8-bit bitmap with index 10 y + x at (x, y).
Dib Numbered()
{
    Dib dib = Make(5, 3, 8);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            dib.setValue(x, y, uint32_t(10 * y + x));
    return dib;
}

TEST(RasterTest, NegativeExtentsMirror)
{
    struct Case {
        const char* name;
        int x, y, w, h, sx, sy, sw, sh;
        bool flipX, flipY;
    };
    const Case cases[] = {
        {"source width negative", 0, 0, 5, 3, 4, 0, -5, 3, true, false},
        {"target width negative", 4, 0, -5, 3, 0, 0, 5, 3, true, false},
        {"source height negative", 0, 0, 5, 3, 0, 2, 5, -3, false, true},
        {"both negative", 4, 2, -5, -3, 0, 0, 5, 3, true, true},
        {"both widths negative: no flip", 4, 0, -5, 3, 4, 0, -5, 3, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Dib source = Numbered();
        Dib target = Make(5, 3, 8);
        StretchBlt(target, c.x, c.y, c.w, c.h, source, c.sx, c.sy, c.sw, c.sh, Rop::SrcCopy);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                EXPECT_EQ(target.valueAt(x, y), uint32_t(10 * (c.flipY ? 2 - y : y) + (c.flipX ? 4 - x : x)))
                    << x << "," << y;
    }

    // A slice flipped onto itself, as mirroring a frame of the strip does (a view whose rows have no
    // padding, like the strip's); the rest stays.
    std::vector<uint8_t> bits(15);
    for (size_t i = 0; i < bits.size(); ++i)
        bits[i] = uint8_t(10 * (i / 5) + i % 5);
    Dib strip = Dib::View(bits.data(), 5, 3, 8, 5);
    StretchBlt(strip, 1, 0, 3, 2, strip, 3, 1, -3, -2, Rop::SrcCopy);
    const uint32_t expected[3][5] = {{0, 13, 12, 11, 4}, {10, 3, 2, 1, 14}, {20, 21, 22, 23, 24}};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(strip.valueAt(x, y), expected[y][x]) << x << "," << y;
}

TEST(RasterTest, HalftoneCopiesOneToOneAndAveragesAShrink)
{
    Dib source = Make(4, 2, 32);
    const Pixel pixels[2][4] = {{0x000000, 0x00FF00, 0x102030, 0x203040}, {0x0000FF, 0xFF0000, 0x304050, 0x405060}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            source.setValue(x, y, pixels[y][x]);

    Dib copy = Make(4, 2, 24);
    StretchBlt(copy, 0, 0, 4, 2, source, 0, 0, 4, 2, Rop::SrcCopy, StretchMode::Halftone);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(copy.valueAt(x, y), pixels[y][x]);

    Dib shrunk = Make(2, 1, 32);
    StretchBlt(shrunk, 0, 0, 2, 1, source, 0, 0, 4, 2, Rop::SrcCopy, StretchMode::Halftone);
    EXPECT_EQ(shrunk.valueAt(0, 0), Rgb(0x40, 0x40, 0x40));  // (0 + 0 + 0 + 255) / 4 per channel
    EXPECT_EQ(shrunk.valueAt(1, 0), Rgb(0x28, 0x38, 0x48));

    // Nearest: each target pixel takes one source pixel.
    Dib nearest = Make(2, 1, 32);
    StretchBlt(nearest, 0, 0, 2, 1, source, 0, 0, 4, 2, Rop::SrcCopy, StretchMode::ColorOnColor);
    EXPECT_EQ(nearest.valueAt(0, 0), pixels[1][1]);

    // A halftone shrink onto a 1-bit target stays black and white.
    Dib mask = Make(2, 1, 1);
    Dib whiteGrey = Make(2, 1, 32);
    whiteGrey.setValue(0, 0, kWhite);
    whiteGrey.setValue(1, 0, 0x808080);
    StretchBlt(mask, 0, 0, 1, 1, whiteGrey, 0, 0, 2, 1, Rop::SrcCopy, StretchMode::Halftone);
    EXPECT_EQ(mask.valueAt(0, 0), 0u);
}

TEST(RasterTest, BlitsClipToSourceAndTarget)
{
    const Dib source = Numbered();
    Dib target = Make(4, 4, 8);
    BitBlt(target, -1, 2, 5, 5, source, 0, 0, Rop::SrcCopy);  // left and bottom clipped
    EXPECT_EQ(target.valueAt(0, 2), 1u);
    EXPECT_EQ(target.valueAt(3, 3), 14u);
    EXPECT_EQ(target.valueAt(0, 1), 0u);
    Dib other = Make(4, 4, 8);
    BitBlt(other, 0, 0, 4, 4, source, 3, 2, Rop::SrcCopy);  // source runs out after 2 x 1
    EXPECT_EQ(other.valueAt(0, 0), 23u);
    EXPECT_EQ(other.valueAt(1, 0), 24u);
    EXPECT_EQ(other.valueAt(2, 0), 0u);
    EXPECT_EQ(other.valueAt(0, 1), 0u);
}

TEST(RasterTest, FillRectOnOneBitAndColour)
{
    Dib mask = Make(24, 2, 1);
    FillRect(mask, {5, 0, 15, 1}, StockBrush::White);
    for (int x = 0; x < 24; ++x)
        EXPECT_EQ(mask.valueAt(x, 0), x >= 5 && x < 20 ? 1u : 0u) << x;
    EXPECT_EQ(mask.valueAt(7, 1), 0u);
    FillRect(mask, {-3, -1, 10, 5}, StockBrush::Black);
    for (int x = 0; x < 24; ++x)
        EXPECT_EQ(mask.valueAt(x, 0), x >= 7 && x < 20 ? 1u : 0u) << x;

    Dib colour = Make(3, 1, 24);
    FillRect(colour, {1, 0, 1, 1}, StockBrush::White);
    EXPECT_EQ(colour.valueAt(1, 0), kWhite);
    EXPECT_EQ(colour.valueAt(2, 0), kBlack);
    Dib palette = Make(3, 1, 8);
    FillRect(palette, {0, 0, 3, 1}, StockBrush::White);
    EXPECT_EQ(palette.valueAt(2, 0), 7u);  // the white entry
}

TEST(RasterTest, DottedRectangleOutline)
{
    Surface surface(6, 4, 0x111111);
    Dib dc = Dib::View(surface);
    DottedRectangle(dc, 0, 0, 6, 4, 0xFF00FF);
    // Clockwise from the top-left corner: on, off, on, ...; interior untouched.
    const char* const expected[] = {
        "X.X.X.",
        ".....X",
        "X.....",
        ".X.X.X",
    };
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(surface.at(x, y), expected[y][x] == 'X' ? 0xFF00FFu : 0x111111u) << x << "," << y;
}

}  // namespace
}  // namespace pap::gfx
