#include "renderer/dib_decoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

namespace pap {
namespace {

using Bytes = std::vector<uint8_t>;

#define LE16(v) static_cast<uint8_t>(static_cast<uint32_t>(v) & 0xFF), \
                static_cast<uint8_t>(static_cast<uint32_t>(v) >> 8 & 0xFF)
#define LE32(v) static_cast<uint8_t>(static_cast<uint32_t>(v) & 0xFF),       \
                static_cast<uint8_t>(static_cast<uint32_t>(v) >> 8 & 0xFF),  \
                static_cast<uint8_t>(static_cast<uint32_t>(v) >> 16 & 0xFF), \
                static_cast<uint8_t>(static_cast<uint32_t>(v) >> 24 & 0xFF)

constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3;

Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

// 14-byte file header.
Bytes fileHeader(uint32_t pixelOffset, uint32_t fileSize = 0)
{
    return {
        'B', 'M',           // signature
        LE32(fileSize),     // file size (not used)
        LE16(0), LE16(0),   // reserved
        LE32(pixelOffset),  // offset of the pixel data from the start of the file
    };
}

// 40-byte info header.
Bytes infoHeader(int32_t width, int32_t height, uint16_t bits, uint32_t compression = kRgb,
                 uint32_t colorsUsed = 0)
{
    return {
        LE32(40),                // header size
        LE32(width),             // width
        LE32(height),            // height, negative for top-down
        LE16(1),                 // planes
        LE16(bits),              // bits per pixel
        LE32(compression),       // compression
        LE32(0),                 // image size (0: computed)
        LE32(2835), LE32(2835),  // pixels per metre, x and y
        LE32(colorsUsed),        // colours used
        LE32(0),                 // important colours
    };
}

// 12-byte core header.
Bytes coreHeader(uint16_t width, uint16_t height, uint16_t bits)
{
    return {
        LE32(12),     // header size
        LE16(width),  // width
        LE16(height), // height
        LE16(1),      // planes
        LE16(bits),   // bits per pixel
    };
}

// A file with the "BM" header whose pixel data directly follows the bitmap header and table.
Bytes bmFile(const Bytes& header, const Bytes& table, const Bytes& pixels)
{
    uint32_t offset = static_cast<uint32_t>(14 + header.size() + table.size());
    return concat({fileHeader(offset, static_cast<uint32_t>(offset + pixels.size())), header, table, pixels});
}

struct Rgb {
    uint8_t r, g, b;
};
constexpr Rgb kBlack{0, 0, 0}, kWhite{255, 255, 255}, kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255};

// Colour table of 4-byte entries (blue, green, red, reserved).
Bytes infoTable(std::initializer_list<Rgb> colours)
{
    Bytes out;
    for (Rgb c : colours)
        out.insert(out.end(), {c.b, c.g, c.r, 0});
    return out;
}

// Expected output rows, bottom row first.
Bytes rows(std::initializer_list<std::initializer_list<Rgb>> pictureRows)
{
    Bytes out;
    for (auto row : pictureRows)
        for (Rgb c : row)
            out.insert(out.end(), {c.r, c.g, c.b});
    return out;
}

void expectImage(const Bytes& file, int32_t width, int32_t height, const Bytes& pixels)
{
    DibDecodeResult result = DecodeDib(file);
    ASSERT_TRUE(result.image) << DibErrorMessage(result.error) << " (" << result.reason << ")";
    EXPECT_EQ(result.image->sizeX, width);
    EXPECT_EQ(result.image->sizeY, height);
    EXPECT_EQ(result.image->pixels, pixels);
}

// ---------------------------------------------------------------------------------------------
// Uncompressed formats

TEST(DibDecoderTest, TwoPixels24BitBlueThenRed)
{
    const Bytes file = {
        'B', 'M',                // file header: signature
        LE32(62),                // file size
        LE16(0), LE16(0),        // reserved
        LE32(54),                // pixel data at 14 + 40
        LE32(40),                // info header: size
        LE32(2), LE32(1),        // width 2, height 1
        LE16(1), LE16(24),       // planes, bits per pixel
        LE32(0), LE32(8),        // no compression, image size
        LE32(2835), LE32(2835),  // pixels per metre
        LE32(0), LE32(0),        // colours used, important colours
        0xFF, 0x00, 0x00,        // pixel 0: blue (B, G, R)
        0x00, 0x00, 0xFF,        // pixel 1: red
        0x00, 0x00,              // row padding to 8 bytes
    };
    expectImage(file, 2, 1, {0, 0, 255, 255, 0, 0});
}

TEST(DibDecoderTest, OnePixelWide24BitDropsTheRowPadding)
{
    const Bytes file = bmFile(infoHeader(1, 3, 24), {},
                              {
                                  0x00, 0x00, 0xFF, 0x00,  // bottom row: red, 1 padding byte
                                  0x00, 0xFF, 0x00, 0x00,  // middle row: green
                                  0xFF, 0x00, 0x00, 0x00,  // top row: blue
                              });
    expectImage(file, 1, 3, rows({{kRed}, {kGreen}, {kBlue}}));
}

TEST(DibDecoderTest, EightBitWithColoursUsedZeroReadsA256EntryTable)
{
    Bytes table;
    for (int i = 0; i < 256; ++i)
        table.insert(table.end(), {uint8_t(i), uint8_t(255 - i), uint8_t(i / 2), 0});  // B, G, R, 0
    const Bytes pixels = {0, 1, 255, 128};  // 4 indices, no padding
    const Bytes expected = {0, 255, 0, 0, 254, 1, 127, 0, 255, 64, 127, 128};

    // With a file header, and packed: the pixel data then starts at 40 + 256 * 4.
    expectImage(bmFile(infoHeader(4, 1, 8, kRgb, 0), table, pixels), 4, 1, expected);
    const Bytes packed = concat({infoHeader(4, 1, 8, kRgb, 0), table, pixels});
    ASSERT_EQ(packed.size(), 1064u + 4);
    expectImage(packed, 4, 1, expected);
}

TEST(DibDecoderTest, EightBitWithColoursUsedTwentyReadsTwentyEntries)
{
    Bytes table;
    for (int i = 0; i < 20; ++i)
        table.insert(table.end(), {uint8_t(10 * i), 0, 0, 0});  // blue = 10 * index
    // Indices 0 and 19 are in the table; 20 and 255 lie beyond it and read black.
    const Bytes pixels = {0, 19, 20, 255};
    const Bytes expected = rows({{{0, 0, 0}, {0, 0, 190}, kBlack, kBlack}});

    // Packed: the pixel data starts at 40 + 20 * 4 = 120, right after the 20 entries.
    const Bytes packed = concat({infoHeader(4, 1, 8, kRgb, 20), table, pixels});
    ASSERT_EQ(packed.size(), 124u);
    expectImage(packed, 4, 1, expected);
    expectImage(bmFile(infoHeader(4, 1, 8, kRgb, 20), table, pixels), 4, 1, expected);
}

TEST(DibDecoderTest, PackedCoreHeaderWithTwoColoursHasItsPixelsAtOffset18)
{
    const Bytes file = {
        LE32(12),             // core header: size
        LE16(3), LE16(2),     // width 3, height 2
        LE16(1), LE16(1),     // planes, 1 bit per pixel
        0x00, 0x00, 0xFF,     // colour 0: red (B, G, R)
        0xFF, 0x00, 0x00,     // colour 1: blue
        0b10100000, 0, 0, 0,  // offset 18, bottom row: 1 0 1, padded to 4 bytes
        0b01000000, 0, 0, 0,  // top row: 0 1 0
    };
    expectImage(file, 3, 2, rows({{kBlue, kRed, kBlue}, {kRed, kBlue, kRed}}));
}

TEST(DibDecoderTest, FourBitThroughTheColourTable)
{
    const Bytes file = bmFile(infoHeader(3, 1, 4, kRgb, 3), infoTable({kRed, kGreen, kBlue}),
                              {
                                  0x21, 0x50, 0x00, 0x00,  // indices 2 1 5 (5: beyond the table)
                              });
    expectImage(file, 3, 1, rows({{kBlue, kGreen, kBlack}}));
}

TEST(DibDecoderTest, OneBitRowWiderThanOneByte)
{
    const Bytes file = bmFile(infoHeader(10, 1, 1), infoTable({kBlack, kWhite}),
                              {
                                  0b10000001, 0b01000000, 0, 0,  // 1 0 0 0 0 0 0 1 | 0 1
                              });
    expectImage(file, 10, 1,
                rows({{kWhite, kBlack, kBlack, kBlack, kBlack, kBlack, kBlack, kWhite, kBlack, kWhite}}));
}

TEST(DibDecoderTest, SixteenBit555)
{
    const Bytes file = bmFile(infoHeader(6, 1, 16), {},
                              {
                                  LE16(0x7FFF),  // white
                                  LE16(0x7C00),  // red 31
                                  LE16(0x03E0),  // green 31
                                  LE16(0x001F),  // blue 31
                                  LE16(0x4210),  // 16, 16, 16
                                  LE16(0x8000),  // only the unused top bit: black
                              });
    // 5 bits widen to 8 by repeating their top bits: 10000 -> 10000100.
    expectImage(file, 6, 1, rows({{kWhite, kRed, kGreen, kBlue, {132, 132, 132}, kBlack}}));
}

TEST(DibDecoderTest, ThirtyTwoBitIgnoresTheFourthByte)
{
    const Bytes file = bmFile(infoHeader(2, 1, 32), {},
                              {
                                  0x10, 0x20, 0x30, 0xFF,  // B, G, R, unused
                                  0x40, 0x50, 0x60, 0x00,
                              });
    expectImage(file, 2, 1, {0x30, 0x20, 0x10, 0x60, 0x50, 0x40});
}

TEST(DibDecoderTest, BitFields16With565Masks)
{
    const Bytes file = bmFile(infoHeader(4, 1, 16, kBitFields), {LE32(0xF800), LE32(0x07E0), LE32(0x001F)},
                              {
                                  LE16(0xF800),  // red 31
                                  LE16(0x07E0),  // green 63
                                  LE16(0x001F),  // blue 31
                                  LE16(0x8410),  // red 16, green 32, blue 16
                              });
    expectImage(file, 4, 1, rows({{kRed, kGreen, kBlue, {132, 130, 132}}}));
}

TEST(DibDecoderTest, BitFields32WithRedInTheLowByte)
{
    const Bytes masks = {LE32(0x000000FF), LE32(0x0000FF00), LE32(0x00FF0000)};  // red, green, blue
    const Bytes file = bmFile(infoHeader(1, 1, 32, kBitFields), masks, {0x11, 0x22, 0x33, 0x44});
    expectImage(file, 1, 1, {0x11, 0x22, 0x33});

    // Packed: the pixel data follows the masks.
    expectImage(concat({infoHeader(1, 1, 32, kBitFields), masks, {0x11, 0x22, 0x33, 0x44}}), 1, 1,
                {0x11, 0x22, 0x33});
}

TEST(DibDecoderTest, BitFields32With10BitChannels)
{
    const Bytes masks = {LE32(0x3FF00000), LE32(0x000FFC00), LE32(0x000003FF)};
    const uint32_t pixel = 1023u << 20 | 512u << 10 | 0;  // red full, green half, blue none
    expectImage(bmFile(infoHeader(1, 1, 32, kBitFields), masks, {LE32(pixel)}), 1, 1, {255, 128, 0});
}

TEST(DibDecoderTest, ZeroMaskGivesAZeroChannel)
{
    const Bytes masks = {LE32(0), LE32(0x0000FF00), LE32(0x000000FF)};
    expectImage(bmFile(infoHeader(1, 1, 32, kBitFields), masks, {0x11, 0x22, 0x33, 0x44}), 1, 1,
                {0x00, 0x22, 0x11});
}

TEST(DibDecoderTest, TopDownRowsAreFlipped)
{
    const Bytes file = bmFile(infoHeader(1, -2, 24), {},
                              {
                                  0x00, 0x00, 0xFF, 0x00,  // first row in the file: the top, red
                                  0xFF, 0x00, 0x00, 0x00,  // then the bottom, blue
                              });
    expectImage(file, 1, 2, rows({{kBlue}, {kRed}}));

    const Bytes eightBit = bmFile(infoHeader(2, -3, 8, kRgb, 3), infoTable({kRed, kGreen, kBlue}),
                                  {
                                      0, 1, 0, 0,  // top row
                                      1, 2, 0, 0,  // middle row
                                      2, 0, 0, 0,  // bottom row
                                  });
    expectImage(eightBit, 2, 3, rows({{kBlue, kRed}, {kGreen, kBlue}, {kRed, kGreen}}));
}

// ---------------------------------------------------------------------------------------------
// Run-length encoding

TEST(DibDecoderTest, Rle8WithDeltaEndOfLineAndLiteralRun)
{
    const Bytes file = bmFile(infoHeader(4, 3, 8, kRle8, 3), infoTable({kRed, kGreen, kBlue}),
                              {
                                  0x03, 0x01,                          // 3 x colour 1 at (0, 0)
                                  0x00, 0x02, 0x00, 0x01,              // delta: right 0, up 1 -> (3, 1)
                                  0x01, 0x00,                          // 1 x colour 0 at (3, 1)
                                  0x00, 0x00,                          // end of line -> (0, 2)
                                  0x00, 0x03, 0x02, 0x00, 0x02, 0x00,  // literal 2 0 2, 1 padding byte
                                  0x00, 0x01,                          // end of bitmap
                              });
    expectImage(file, 4, 3,
                rows({{kGreen, kGreen, kGreen, kBlack},
                      {kBlack, kBlack, kBlack, kRed},
                      {kBlue, kRed, kBlue, kBlack}}));
}

TEST(DibDecoderTest, Rle4RunsAlternateNibblesAndLiteralsArePaddedToWords)
{
    const Bytes file = bmFile(infoHeader(5, 2, 4, kRle4, 4), infoTable({kRed, kGreen, kBlue, kWhite}),
                              {
                                  0x05, 0x12,                    // 5 pixels alternating 1, 2
                                  0x00, 0x00,                    // end of line
                                  0x00, 0x05, 0x30, 0x21, 0x30,  // literal 3 0 2 1 3 in 3 bytes
                                  0x00,                          // padding to a word
                                  0x00, 0x01,                    // end of bitmap
                              });
    expectImage(file, 5, 2,
                rows({{kGreen, kBlue, kGreen, kBlue, kGreen}, {kWhite, kRed, kBlue, kGreen, kWhite}}));
}

TEST(DibDecoderTest, Rle4LiteralOfEvenByteCountHasNoPadding)
{
    const Bytes file = bmFile(infoHeader(3, 1, 4, kRle4, 3), infoTable({kRed, kGreen, kBlue}),
                              {
                                  0x00, 0x03, 0x21, 0x00,  // literal 2 1 0 in 2 bytes, no padding
                                  0x00, 0x01,              // end of bitmap
                              });
    expectImage(file, 3, 1, rows({{kBlue, kGreen, kRed}}));
}

struct RleCase {
    const char* name;
    Bytes data;  // pixel data of a 2 x 2 picture with colours 0 red, 1 green
    Bytes expected;
    uint32_t compression = kRle8;
};

void PrintTo(const RleCase& c, std::ostream* os) { *os << c.name; }

class RleEdgeTest : public testing::TestWithParam<RleCase> {};

TEST_P(RleEdgeTest, Decodes)
{
    const RleCase& c = GetParam();
    const uint16_t bits = c.compression == kRle4 ? 4 : 8;
    expectImage(bmFile(infoHeader(2, 2, bits, c.compression, 2), infoTable({kRed, kGreen}), c.data), 2, 2,
                c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    DibDecoder, RleEdgeTest,
    testing::Values(
        RleCase{"RunPastTheRowEndIsClippedNotWrapped", {0x05, 0x01, 0x00, 0x01},
                rows({{kGreen, kGreen}, {kBlack, kBlack}})},
        RleCase{"LiteralPastTheRowEndIsClippedButConsumed",
                {0x00, 0x03, 0x01, 0x01, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x01},
                rows({{kGreen, kGreen}, {kRed, kRed}})},
        RleCase{"DeltaPastTheTopDropsTheRest", {0x00, 0x02, 0x00, 0x05, 0x02, 0x01, 0x00, 0x01},
                rows({{kBlack, kBlack}, {kBlack, kBlack}})},
        RleCase{"DeltaPastTheRightEdgeDropsTheRestOfTheRow",
                {0x00, 0x02, 0xFF, 0x00, 0x02, 0x01, 0x00, 0x00, 0x01, 0x01, 0x00, 0x01},
                rows({{kBlack, kBlack}, {kGreen, kBlack}})},
        RleCase{"EndOfLineOnTheTopRowAndBeyond", {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x01, 0x00, 0x01},
                rows({{kBlack, kBlack}, {kBlack, kBlack}})},
        RleCase{"DataAfterEndOfBitmapIsIgnored", {0x01, 0x01, 0x00, 0x01, 0x02, 0x01},
                rows({{kGreen, kBlack}, {kBlack, kBlack}})},
        RleCase{"IndexBeyondTheTableIsBlack", {0x02, 0x07, 0x00, 0x01}, rows({{kBlack, kBlack}, {kBlack, kBlack}})},
        // Without end-of-bitmap: every row is there once the last end of line is passed, or once the top
        // row is filled to its end; whatever follows cannot be drawn.
        RleCase{"NoEndOfBitmapAfterTheLastEndOfLine", {0x01, 0x01, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00},
                rows({{kGreen, kBlack}, {kRed, kRed}})},
        RleCase{"NoEndOfLineOrBitmapAfterAFullTopRow", {0x02, 0x01, 0x00, 0x00, 0x00, 0x02, 0x01, 0x00, 0x01, 0x01},
                rows({{kGreen, kGreen}, {kBlack, kGreen}})},
        RleCase{"CutDataPastTheTopRowIsIgnored", {0x02, 0x00, 0x00, 0x02, 0x00, 0x05, 0x00, 0x04, 0x01},
                rows({{kRed, kRed}, {kBlack, kBlack}})},
        RleCase{"Rle4NoEndOfBitmapAfterAFullTopRow", {0x02, 0x10, 0x00, 0x00, 0x02, 0x01},
                rows({{kGreen, kRed}, {kRed, kGreen}}), kRle4},
        RleCase{"Rle4LiteralCutAfterAFullTopRow", {0x00, 0x00, 0x02, 0x11, 0x00, 0x04, 0x01},
                rows({{kBlack, kBlack}, {kGreen, kGreen}}), kRle4}),
    [](const testing::TestParamInfo<RleCase>& param) { return std::string(param.param.name); });

// ---------------------------------------------------------------------------------------------
// Refused input

struct RefusedCase {
    const char* name;
    Bytes file;
    DibError error;
};

void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }

class DibRefusedTest : public testing::TestWithParam<RefusedCase> {};

TEST_P(DibRefusedTest, FailsWithItsMessage)
{
    const RefusedCase& c = GetParam();
    DibDecodeResult result = DecodeDib(c.file);
    EXPECT_FALSE(result.image);
    EXPECT_EQ(result.error, c.error) << result.reason;
}

Bytes headerOfSize(uint32_t size)
{
    Bytes header = infoHeader(1, 1, 24);
    header[0] = static_cast<uint8_t>(size);
    header.resize(size, 0);
    return bmFile(header, {}, {0, 0, 0, 0});
}

const Bytes kOnePixel24 = {0, 0, 0, 0};

INSTANTIATE_TEST_SUITE_P(
    DibDecoder, DibRefusedTest,
    testing::Values(
        RefusedCase{"Header108", headerOfSize(108), DibError::UnknownFormat},
        RefusedCase{"Header124", headerOfSize(124), DibError::UnknownFormat},
        RefusedCase{"Header64", headerOfSize(64), DibError::UnknownFormat},
        RefusedCase{"Header16", headerOfSize(16), DibError::UnknownFormat},
        RefusedCase{"Header0", headerOfSize(0), DibError::UnknownFormat},
        RefusedCase{"EmptyInput", {}, DibError::UnknownFormat},
        RefusedCase{"FileHeaderOnly", fileHeader(14), DibError::UnknownFormat},
        RefusedCase{"ShortFileHeader", {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0}, DibError::UnknownFormat},
        RefusedCase{"ColoursUsedBeyondTheFile", bmFile(infoHeader(1, 1, 8, kRgb, 0xFFFFFFFF), {}, kOnePixel24),
                    DibError::UnknownFormat},
        RefusedCase{"BitFieldMasksCut", concat({fileHeader(66), infoHeader(1, 1, 16, kBitFields), {LE32(0xF800)}}),
                    DibError::UnknownFormat},
        RefusedCase{"WidthZero", bmFile(infoHeader(0, 1, 24), {}, kOnePixel24), DibError::ConversionError},
        RefusedCase{"WidthNegative", bmFile(infoHeader(-1, 1, 24), {}, kOnePixel24), DibError::ConversionError},
        RefusedCase{"HeightZero", bmFile(infoHeader(1, 0, 24), {}, kOnePixel24), DibError::ConversionError},
        RefusedCase{"CoreHeaderHeightZero", bmFile(coreHeader(1, 0, 24), {}, kOnePixel24), DibError::ConversionError},
        RefusedCase{"TwoBitsPerPixel", bmFile(infoHeader(1, 1, 2), {}, kOnePixel24), DibError::ConversionError},
        RefusedCase{"ZeroBitsPerPixel", bmFile(infoHeader(1, 1, 0), {}, kOnePixel24), DibError::ConversionError},
        RefusedCase{"Jpeg", bmFile(infoHeader(1, 1, 0, 4), {}, kOnePixel24), DibError::ConversionError},
        RefusedCase{"Png", bmFile(infoHeader(1, 1, 0, 5), {}, kOnePixel24), DibError::ConversionError},
        RefusedCase{"AlphaBitFields", bmFile(infoHeader(1, 1, 32, 6), {}, kOnePixel24), DibError::ConversionError},
        RefusedCase{"Rle8WithFourBits", bmFile(infoHeader(1, 1, 4, kRle8, 1), {0, 0, 0, 0}, {0, 1}),
                    DibError::ConversionError},
        RefusedCase{"Rle4WithEightBits", bmFile(infoHeader(1, 1, 8, kRle4, 1), {0, 0, 0, 0}, {0, 1}),
                    DibError::ConversionError},
        RefusedCase{"Rle8TopDown", bmFile(infoHeader(1, -1, 8, kRle8, 1), {0, 0, 0, 0}, {0, 1}),
                    DibError::ConversionError},
        RefusedCase{"Rle8EndsBeforeItsLastRow", bmFile(infoHeader(1, 2, 8, kRle8, 1), {0, 0, 0, 0}, {1, 0, 0, 0}),
                    DibError::ConversionError},
        RefusedCase{"Rle4EndsWithinItsLastRow", bmFile(infoHeader(3, 1, 4, kRle4, 1), {0, 0, 0, 0}, {2, 0}),
                    DibError::ConversionError},
        RefusedCase{"Rle8DeltaCutBeforeItsLastRow",
                    bmFile(infoHeader(2, 2, 8, kRle8, 1), {0, 0, 0, 0}, {2, 0, 0, 2, 1}), DibError::ConversionError},
        RefusedCase{"Rle8LiteralPaddingMissing",
                    bmFile(infoHeader(3, 1, 8, kRle8, 1), {0, 0, 0, 0}, {0, 3, 0, 0, 0}), DibError::ConversionError},
        RefusedCase{"BitFieldsWith24Bits",
                    bmFile(infoHeader(1, 1, 24, kBitFields), {LE32(0xFF), LE32(0xFF00), LE32(0xFF0000)}, kOnePixel24),
                    DibError::ConversionError},
        RefusedCase{"PixelOffsetBeyondTheFile",
                    concat({fileHeader(0xFFFFFFF0), infoHeader(1, 1, 24), kOnePixel24}), DibError::ConversionError},
        RefusedCase{"PixelRowPaddingMissing", bmFile(infoHeader(1, 1, 24), {}, {0, 0, 0}),
                    DibError::ConversionError},
        RefusedCase{"MostNegativeHeight", bmFile(infoHeader(1, INT32_MIN, 24), {}, kOnePixel24),
                    DibError::ConversionError},
        RefusedCase{"WidestRow", bmFile(infoHeader(INT32_MAX, 1, 32), {}, kOnePixel24), DibError::ConversionError},
        RefusedCase{"HugeRunLengthPicture", bmFile(infoHeader(65536, 65536, 8, kRle8, 1), {0, 0, 0, 0}, {0, 1}),
                    DibError::OutOfMemory}),
    [](const testing::TestParamInfo<RefusedCase>& param) { return std::string(param.param.name); });

TEST(DibDecoderTest, PictureSizeLimit)
{
    // An RLE picture can be huge in a tiny file, so the limit is checked before the allocation.
    const Bytes file = bmFile(infoHeader(100, 100, 8, kRle8, 1), {0, 0, 0, 0}, {0, 1});
    EXPECT_EQ(DecodeDib(file, DibLimits{9999}).error, DibError::OutOfMemory);
    DibDecodeResult atLimit = DecodeDib(file, DibLimits{10000});
    ASSERT_TRUE(atLimit.image);
    EXPECT_EQ(atLimit.image->pixels, Bytes(100 * 100 * 3, 0));
}

TEST(DibDecoderTest, Messages)
{
    EXPECT_STREQ(DibErrorMessage(DibError::UnknownFormat), "Unknown DIB file format.");
    EXPECT_STREQ(DibErrorMessage(DibError::ConversionError), "Image file conversion error.");
    EXPECT_STREQ(DibErrorMessage(DibError::OutOfMemory), "Out of memory.");
}

TEST(DibDecoderTest, ColourCount)
{
    struct Case {
        uint32_t headerSize;
        uint16_t bits;
        uint32_t colorsUsed;
        uint32_t count;
    };
    const Case cases[] = {
        {12, 1, 0, 2},    {12, 4, 0, 16},   {12, 8, 0, 256},  {12, 24, 0, 0},  {40, 1, 0, 2},
        {40, 4, 0, 16},   {40, 8, 0, 256},  {40, 16, 0, 0},   {40, 24, 0, 0},  {40, 32, 0, 0},
        {40, 8, 20, 20},  {40, 24, 7, 7},   {40, 1, 300, 300}, {40, 2, 0, 0},
    };
    for (const Case& c : cases) {
        DibHeader header;
        header.headerSize = c.headerSize;
        header.bitCount = c.bits;
        header.colorsUsed = c.colorsUsed;
        EXPECT_EQ(DibColorCount(header), c.count) << c.headerSize << "/" << c.bits << "/" << c.colorsUsed;
    }
}

// ---------------------------------------------------------------------------------------------
// Cut files: every prefix of a valid file fails, as a format error while the headers or colour table
// are incomplete and as a conversion error once only pixel data is missing, unless run-length data
// already holds every row.

struct CutCase {
    const char* name;
    Bytes file;
    size_t pixelStart;         // where the headers and colour table end
    size_t whole = SIZE_MAX;   // from this length on every row is there (run-length data without its end)
};

void PrintTo(const CutCase& c, std::ostream* os) { *os << c.name; }

class DibCutTest : public testing::TestWithParam<CutCase> {};

TEST_P(DibCutTest, EveryPrefixFails)
{
    const CutCase& c = GetParam();
    ASSERT_TRUE(DecodeDib(c.file).image);
    for (size_t length = 0; length < c.file.size(); ++length) {
        // A copy of exactly that length, so that ASan sees any read past its end.
        const Bytes prefix(c.file.begin(), c.file.begin() + static_cast<std::ptrdiff_t>(length));
        DibDecodeResult result = DecodeDib(prefix);
        if (length >= c.whole) {
            ASSERT_TRUE(result.image) << "length " << length << ": " << result.reason;
            EXPECT_EQ(result.image->pixels, DecodeDib(c.file).image->pixels) << "length " << length;
            continue;
        }
        EXPECT_FALSE(result.image) << "length " << length;
        EXPECT_EQ(result.error, length < c.pixelStart ? DibError::UnknownFormat : DibError::ConversionError)
            << "length " << length << ": " << result.reason;
    }
}

Bytes rle8Sample()
{
    return bmFile(infoHeader(4, 2, 8, kRle8, 2), infoTable({kRed, kGreen}),
                  {0x02, 0x01, 0x00, 0x02, 0x01, 0x01, 0x00, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01});
}

Bytes rle4Sample()
{
    return bmFile(infoHeader(4, 2, 4, kRle4, 2), infoTable({kRed, kGreen}),
                  {0x03, 0x01, 0x00, 0x00, 0x00, 0x03, 0x10, 0x10, 0x00, 0x01});
}

INSTANTIATE_TEST_SUITE_P(
    DibDecoder, DibCutTest,
    testing::Values(
        CutCase{"Info24", bmFile(infoHeader(3, 2, 24), {}, Bytes(24, 0x5A)), 54},
        CutCase{"Info8Table", bmFile(infoHeader(2, 2, 8, kRgb, 2), infoTable({kRed, kGreen}), {0, 1, 0, 0, 1, 0, 0, 0}),
                62},
        CutCase{"Info1", bmFile(infoHeader(9, 1, 1), infoTable({kRed, kGreen}), {0xAA, 0x80, 0, 0}), 62},
        CutCase{"Info16", bmFile(infoHeader(2, 1, 16), {}, {LE16(0x7FFF), LE16(0x1234)}), 54},
        CutCase{"Info32TopDown", bmFile(infoHeader(1, -2, 32), {}, Bytes(8, 0x77)), 54},
        CutCase{"BitFields16", bmFile(infoHeader(2, 1, 16, kBitFields), {LE32(0xF800), LE32(0x07E0), LE32(0x001F)},
                                      {LE16(0xFFFF), LE16(0x0001)}),
                66},
        CutCase{"Rle8", rle8Sample(), 62, 62 + 12},  // the top row is full before the end-of-bitmap code
        CutCase{"Rle4", rle4Sample(), 62},
        CutCase{"PackedCore1",
                concat({coreHeader(3, 2, 1), {0, 0, 0xFF, 0xFF, 0, 0}, {0xA0, 0, 0, 0, 0x40, 0, 0, 0}}), 18},
        CutCase{"PackedInfo8", concat({infoHeader(2, 1, 8, kRgb, 3), infoTable({kRed, kGreen, kBlue}), {2, 1, 0, 0}}),
                52},
        CutCase{"CoreFile24", bmFile(coreHeader(2, 2, 24), {}, Bytes(16, 0x33)), 26}),
    [](const testing::TestParamInfo<CutCase>& param) { return std::string(param.param.name); });

// ---------------------------------------------------------------------------------------------
// Encoder -> decoder round trips over every uncompressed layout and RLE8.

struct Picture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<Rgb> palette;       // indexed pictures
    std::vector<uint32_t> indices;  // bottom row first
    std::vector<Rgb> colours;       // direct-colour pictures, bottom row first
};

uint32_t nextRandom(uint32_t& state)
{
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

enum class Header { Core, Info };
enum class Container { File, Packed };
enum class Rows { BottomUp, TopDown };

struct RoundTrip {
    uint16_t bits;
    uint32_t compression;
    Header header;
    Container container;
    Rows rows;
};

std::string roundTripName(const RoundTrip& t)
{
    std::string name = std::to_string(t.bits) + (t.compression == kRle8 ? "Rle" : "") +
                       (t.header == Header::Core ? "Core" : "Info") +
                       (t.container == Container::File ? "File" : "Packed") +
                       (t.rows == Rows::TopDown ? "TopDown" : "");
    return name;
}

Picture randomPicture(const RoundTrip& t, int32_t width, int32_t height, uint32_t seed)
{
    Picture p;
    p.width = width;
    p.height = height;
    uint32_t state = seed;
    const size_t count = size_t(width) * size_t(height);
    if (t.bits <= 8) {
        const uint32_t entries = 1u << t.bits;
        for (uint32_t i = 0; i < entries; ++i)
            p.palette.push_back({uint8_t(nextRandom(state)), uint8_t(nextRandom(state)), uint8_t(nextRandom(state))});
        // Few distinct runs for RLE: repeat an index a random number of times.
        while (p.indices.size() < count) {
            uint32_t index = nextRandom(state) % entries;
            uint32_t repeat = t.compression == kRle8 ? 1 + nextRandom(state) % 9 : 1;
            for (uint32_t i = 0; i < repeat && p.indices.size() < count; ++i)
                p.indices.push_back(index);
        }
        for (uint32_t index : p.indices)
            p.colours.push_back(p.palette[index]);
    } else if (t.bits == 16) {
        for (size_t i = 0; i < count; ++i)
            p.colours.push_back({uint8_t(nextRandom(state) % 32), uint8_t(nextRandom(state) % 32),
                                 uint8_t(nextRandom(state) % 32)});  // 5-bit values, scaled below
    } else {
        for (size_t i = 0; i < count; ++i)
            p.colours.push_back({uint8_t(nextRandom(state)), uint8_t(nextRandom(state)), uint8_t(nextRandom(state))});
    }
    return p;
}

Bytes encodeRle8Row(const std::vector<uint32_t>& indices, size_t start, int32_t width)
{
    Bytes out;
    int32_t x = 0;
    while (x < width) {
        int32_t run = 1;
        while (x + run < width && run < 255 && indices[start + x + run] == indices[start + x])
            ++run;
        if (run >= 2 || width - x < 3) {
            out.insert(out.end(), {uint8_t(run), uint8_t(indices[start + x])});
            x += run;
            continue;
        }
        // A literal run up to the next pair of equal pixels.
        int32_t length = 1;
        while (x + length < width && length < 255 &&
               !(x + length + 1 < width && indices[start + x + length] == indices[start + x + length + 1]))
            ++length;
        if (length < 3)
            length = 3;
        out.insert(out.end(), {0, uint8_t(length)});
        for (int32_t i = 0; i < length; ++i)
            out.push_back(uint8_t(indices[start + x + i]));
        if (length & 1)
            out.push_back(0);
        x += length;
    }
    out.insert(out.end(), {0, 0});
    return out;
}

Bytes encode(const Picture& p, const RoundTrip& t)
{
    const bool core = t.header == Header::Core;
    Bytes header = core ? coreHeader(uint16_t(p.width), uint16_t(p.height), t.bits)
                        : infoHeader(p.width, t.rows == Rows::TopDown ? -p.height : p.height, t.bits, t.compression);
    Bytes table;
    for (Rgb c : p.palette) {
        table.insert(table.end(), {c.b, c.g, c.r});
        if (!core)
            table.push_back(0);
    }
    Bytes pixels;
    if (t.compression == kRle8) {
        for (int32_t y = 0; y < p.height; ++y) {
            Bytes row = encodeRle8Row(p.indices, size_t(y) * size_t(p.width), p.width);
            pixels.insert(pixels.end(), row.begin(), row.end());
        }
        pixels.insert(pixels.end(), {0, 1});
    } else {
        const size_t stride = (size_t(p.width) * t.bits + 31) / 32 * 4;
        for (int32_t row = 0; row < p.height; ++row) {
            int32_t y = t.rows == Rows::TopDown ? p.height - 1 - row : row;
            Bytes line(stride, 0);
            for (int32_t x = 0; x < p.width; ++x) {
                size_t i = size_t(y) * size_t(p.width) + size_t(x);
                const Rgb& c = p.colours[i];
                switch (t.bits) {
                case 1:
                case 4:
                case 8: {
                    size_t bit = size_t(x) * t.bits;
                    line[bit / 8] |= uint8_t(p.indices[i] << (8 - t.bits - bit % 8));
                    break;
                }
                case 16: {
                    uint16_t v = uint16_t(c.r << 10 | c.g << 5 | c.b);
                    line[size_t(x) * 2] = uint8_t(v);
                    line[size_t(x) * 2 + 1] = uint8_t(v >> 8);
                    break;
                }
                case 24:
                    line[size_t(x) * 3] = c.b, line[size_t(x) * 3 + 1] = c.g, line[size_t(x) * 3 + 2] = c.r;
                    break;
                case 32:
                    line[size_t(x) * 4] = c.b, line[size_t(x) * 4 + 1] = c.g, line[size_t(x) * 4 + 2] = c.r;
                    line[size_t(x) * 4 + 3] = 0xEE;  // unused
                    break;
                }
            }
            pixels.insert(pixels.end(), line.begin(), line.end());
        }
    }
    return t.container == Container::File ? bmFile(header, table, pixels) : concat({header, table, pixels});
}

Bytes expectedPixels(const Picture& p, uint16_t bits)
{
    Bytes out;
    for (Rgb c : p.colours) {
        if (bits == 16) {
            auto scale = [](uint8_t v) { return uint8_t(v << 3 | v >> 2); };  // 5 bits repeated
            out.insert(out.end(), {scale(c.r), scale(c.g), scale(c.b)});
        } else {
            out.insert(out.end(), {c.r, c.g, c.b});
        }
    }
    return out;
}

void PrintTo(const RoundTrip& t, std::ostream* os) { *os << roundTripName(t); }

class DibRoundTripTest : public testing::TestWithParam<RoundTrip> {};

TEST_P(DibRoundTripTest, DecodesWhatWasEncoded)
{
    const RoundTrip& t = GetParam();
    const int32_t sizes[][2] = {{1, 1}, {2, 3}, {3, 2}, {5, 4}, {17, 5}, {33, 7}, {64, 3}, {300, 2}};
    uint32_t seed = 1;
    for (const auto& size : sizes) {
        Picture picture = randomPicture(t, size[0], size[1], seed++);
        SCOPED_TRACE(std::to_string(size[0]) + " x " + std::to_string(size[1]));
        expectImage(encode(picture, t), size[0], size[1], expectedPixels(picture, t.bits));
    }
}

std::vector<RoundTrip> roundTrips()
{
    std::vector<RoundTrip> all;
    for (uint16_t bits : {1, 4, 8, 16, 24, 32})
        for (Container container : {Container::File, Container::Packed}) {
            all.push_back({bits, kRgb, Header::Info, container, Rows::BottomUp});
            all.push_back({bits, kRgb, Header::Info, container, Rows::TopDown});
            if (bits != 16 && bits != 32)
                all.push_back({bits, kRgb, Header::Core, container, Rows::BottomUp});
        }
    all.push_back({8, kRle8, Header::Info, Container::File, Rows::BottomUp});
    all.push_back({8, kRle8, Header::Info, Container::Packed, Rows::BottomUp});
    return all;
}

INSTANTIATE_TEST_SUITE_P(DibDecoder, DibRoundTripTest, testing::ValuesIn(roundTrips()),
                         [](const testing::TestParamInfo<RoundTrip>& param) { return roundTripName(param.param); });

}  // namespace
}  // namespace pap
