#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "controls/anigif/gif_builder.h"
#include "controls/anigif/lzw_decoder.h"

namespace pap::anigif {
namespace {

using test::Bytes;

// Sub-blocks of the packed codes, as they follow the minimum code size byte in a file.
Bytes SubBlocks(unsigned minimumCodeSize, const std::vector<unsigned>& codes)
{
    Bytes withSize;
    test::ImageData(withSize, uint8_t(minimumCodeSize), test::PackCodes(minimumCodeSize, codes));
    return Bytes(withSize.begin() + 1, withSize.end());
}

// The packed codes cut into sub-blocks of blockSize bytes (the last one shorter), then the terminator.
Bytes SubBlocksOf(size_t blockSize, const Bytes& packed)
{
    Bytes out;
    for (size_t i = 0; i < packed.size(); i += blockSize) {
        const size_t n = std::min(blockSize, packed.size() - i);
        out.push_back(uint8_t(n));
        out.insert(out.end(), packed.begin() + long(i), packed.begin() + long(i + n));
    }
    out.push_back(0);
    return out;
}

// A width x height slice in the middle of a buffer of stride width + 4 with a 2-byte border of 0xEE on
// every side, so that writes outside the slice show.
struct Canvas {
    Canvas(int32_t w, int32_t h) : width(w), height(h), stride(size_t(w) + 4), bytes(stride * size_t(h + 4), 0xEE)
    {
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
                at(x, y) = 0;
    }
    uint8_t& at(int32_t x, int32_t y) { return bytes[(size_t(y) + 2) * stride + size_t(x) + 2]; }
    IndexTarget target() { return {&at(0, 0), stride, width, height}; }
    std::vector<uint8_t> slice()
    {
        std::vector<uint8_t> out;
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x)
                out.push_back(at(x, y));
        return out;
    }
    bool borderIntact() const
    {
        size_t inside = 0, border = 0;
        for (uint8_t b : bytes)
            (b == 0xEE ? border : inside) += 1;
        return border == bytes.size() - size_t(width) * size_t(height);
    }
    int32_t width, height;
    size_t stride;
    std::vector<uint8_t> bytes;
};

TEST(LzwDecoder, DecodesStringsAndTableReset)
{
    const struct {
        const char* name;
        std::vector<unsigned> codes;  // minimum code size 2: clear 4, end 5, first free code 6
        std::vector<uint8_t> pixels;  // 4 x 2
        LzwStatus status;
    } cases[] = {
        {"literals", {4, 1, 2, 3, 0, 1, 2, 3, 0, 5}, {1, 2, 3, 0, 1, 2, 3, 0}, LzwStatus::Complete},
        // 6 = "1 2", 7 = "2 1", 8 = "1 2 1"(defined by its own use), 9 = "2 1 2"...
        {"strings", {4, 1, 2, 6, 8, 5}, {1, 2, 1, 2, 1, 2, 1, 0}, LzwStatus::Truncated},
        // after the clear, 6 is free again: using it at once is a code beyond the table
        {"reset", {4, 3, 3, 6, 4, 6, 5}, {3, 3, 3, 3, 0, 0, 0, 0}, LzwStatus::BadCode},
        {"reset reuse", {4, 3, 3, 6, 4, 2, 2, 6, 5}, {3, 3, 3, 3, 2, 2, 2, 2}, LzwStatus::Complete},
        {"code beyond table", {4, 1, 7, 1, 5}, {1, 0, 0, 0, 0, 0, 0, 0}, LzwStatus::BadCode},  // next free is 6
        {"no end code, image full", {4, 1, 1, 1, 1, 1, 1, 1, 1}, {1, 1, 1, 1, 1, 1, 1, 1}, LzwStatus::Complete},
        {"data ends early", {4, 3, 2, 1}, {3, 2, 1, 0, 0, 0, 0, 0}, LzwStatus::Truncated},
        {"more data than pixels", {4, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 5}, {1, 1, 1, 1, 1, 1, 1, 1}, LzwStatus::Complete},
    };
    for (const auto& c : cases) {
        Canvas canvas(4, 2);
        EXPECT_EQ(DecodeLzw(SubBlocks(2, c.codes), 2, false, canvas.target()), c.status) << c.name;
        EXPECT_EQ(canvas.slice(), c.pixels) << c.name;
        EXPECT_TRUE(canvas.borderIntact()) << c.name;
    }
}

TEST(LzwDecoder, CodeSizeOutsideTwoToEightLeavesFrameBlank)
{
    for (int size : {0, 1, 9, 12}) {
        Canvas canvas(4, 2);
        EXPECT_EQ(DecodeLzw(SubBlocks(2, {4, 1, 1, 1, 1, 1, 1, 1, 1, 5}), size, false, canvas.target()),
                  LzwStatus::BadCodeSize);
        EXPECT_EQ(canvas.slice(), std::vector<uint8_t>(8, 0));
    }
}

TEST(LzwDecoder, InterlacedRowsGoToTheirPasses)
{
    // 1 x 10 image; row k of the file carries the value k. Passes: rows 0, 8; 4; 2, 6; 1, 3, 5, 7, 9.
    std::vector<unsigned> codes = {0x100};
    for (unsigned k = 0; k < 10; ++k)
        codes.push_back(k);
    codes.push_back(0x101);
    Canvas canvas(1, 10);
    EXPECT_EQ(DecodeLzw(SubBlocks(8, codes), 8, true, canvas.target()), LzwStatus::Complete);
    EXPECT_EQ(canvas.slice(), (std::vector<uint8_t>{0, 5, 3, 6, 2, 7, 4, 8, 1, 9}));
    EXPECT_TRUE(canvas.borderIntact());
}

TEST(LzwDecoder, FullTableKeepsDecodingWithoutClear)
{
    // Minimum code size 8: 3839 literals fill codes 258 .. 4095 (entry 258 + j = literal j, literal
    // j + 1); then a literal and code 300 = (42, 43) at 12 bits with the table full.
    std::vector<unsigned> codes = {0x100};
    std::vector<uint8_t> expected;
    for (unsigned j = 0; j < 3839; ++j) {
        codes.push_back(j % 256);
        expected.push_back(uint8_t(j));
    }
    codes.insert(codes.end(), {7, 300, 0x101});
    expected.insert(expected.end(), {7, 42, 43});
    Canvas canvas(int32_t(expected.size()), 1);
    EXPECT_EQ(DecodeLzw(SubBlocks(8, codes), 8, false, canvas.target()), LzwStatus::Complete);
    EXPECT_EQ(canvas.slice(), expected);
}

TEST(LzwDecoder, SubBlockBoundaryAnywhereInACode)
{
    // Minimum code size 8: literals that fill the table, so codes of 9, 10, 11 and 12 bits all occur,
    // then strings at 12 bits. Sub-blocks of 1 .. 13 bytes put a boundary at every bit of every width.
    std::vector<unsigned> codes = {0x100};
    std::vector<uint8_t> expected;
    for (unsigned j = 0; j < 3839; ++j) {
        codes.push_back((j * 7) % 256);
        expected.push_back(uint8_t(j * 7));
    }
    codes.insert(codes.end(), {300, 4000, 0x101});  // 300 = (j 42, j 43); 4000 = (j 3742, j 3743)
    expected.insert(expected.end(), {uint8_t(42 * 7), uint8_t(43 * 7), uint8_t(3742 * 7), uint8_t(3743 * 7)});
    const Bytes packed = test::PackCodes(8, codes);
    for (size_t blockSize = 1; blockSize <= 13; ++blockSize) {
        Canvas canvas(int32_t(expected.size()), 1);
        EXPECT_EQ(DecodeLzw(SubBlocksOf(blockSize, packed), 8, false, canvas.target()), LzwStatus::Complete)
            << blockSize;
        EXPECT_EQ(canvas.slice(), expected) << blockSize;
    }

    // A last sub-block whose length byte claims more than the data holds: its bytes are still used.
    Bytes cut = SubBlocksOf(255, test::PackCodes(2, {4, 1, 2, 3, 1}));
    cut.pop_back();
    cut[0] = 200;
    Canvas canvas(4, 1);
    EXPECT_EQ(DecodeLzw(cut, 2, false, canvas.target()), LzwStatus::Complete);
    EXPECT_EQ(canvas.slice(), (std::vector<uint8_t>{1, 2, 3, 1}));
}

TEST(LzwDecoder, StringRunningPastTheLastPixelIsCut)
{
    // Minimum code size 2 (clear 4, end 5). After a literal 1, each next code k defines itself as
    // k - 4 ones (the string being defined), growing by one: 1, 6, 7, 8 .. give 1 + 2 + 3 + ... ones.
    std::vector<unsigned> ones = {4, 1};
    for (unsigned k = 6; k <= 12; ++k)
        ones.push_back(k);  // 36 ones so far
    auto plus = [&](std::vector<unsigned> more) {
        std::vector<unsigned> codes = ones;
        codes.insert(codes.end(), more.begin(), more.end());
        return codes;
    };
    auto onesThen = [](const std::vector<uint8_t>& more) {
        std::vector<uint8_t> pixels(36, 1);
        for (uint8_t value : more)
            pixels.push_back(value);
        return pixels;
    };
    const struct {
        const char* name;
        int32_t width;  // one row
        std::vector<unsigned> codes;
        std::vector<uint8_t> pixels;
    } cases[] = {
        {"known string of 2 after 7 literals, 8 pixels", 8, {4, 2, 1, 2, 1, 2, 1, 2, 6, 5}, {2, 1, 2, 1, 2, 1, 2, 2}},
        {"string being defined, 9 ones where 4 fit", 40, plus({13, 5}), std::vector<uint8_t>(40, 1)},
        // literal 0 defines 13 = eight ones and 0; 13 then fits once and is cut on its second use
        {"known string of 9, cut after 4", 50, plus({0, 13, 13, 5}), onesThen({0, 1, 1, 1, 1, 1, 1, 1, 1, 0, 1, 1, 1, 1})},
        {"string being defined, 9 ones fitting exactly", 45, plus({13, 5}), std::vector<uint8_t>(45, 1)},
    };
    for (const auto& c : cases) {
        Canvas canvas(c.width, 1);
        EXPECT_EQ(DecodeLzw(SubBlocks(2, c.codes), 2, false, canvas.target()), LzwStatus::Complete) << c.name;
        EXPECT_EQ(canvas.slice(), c.pixels) << c.name;
        EXPECT_TRUE(canvas.borderIntact()) << c.name;
    }
}

TEST(LzwDecoder, DataEndingEarlyWritesOnlyTheRowsReached)
{
    // 2 x 10 image, five literals then the end code: rows are filled in file order, the third one
    // half; an interlaced image's file rows are 0, 8, 4, 2, ...
    const struct {
        bool interlaced;
        int32_t rows[3];
    } cases[] = {{false, {0, 1, 2}}, {true, {0, 8, 4}}};
    for (const auto& c : cases) {
        Canvas canvas(2, 10);
        EXPECT_EQ(DecodeLzw(SubBlocks(2, {4, 1, 1, 2, 2, 3, 5}), 2, c.interlaced, canvas.target()),
                  LzwStatus::Truncated);
        std::vector<uint8_t> expected(20, 0);
        expected[size_t(c.rows[0]) * 2] = expected[size_t(c.rows[0]) * 2 + 1] = 1;
        expected[size_t(c.rows[1]) * 2] = expected[size_t(c.rows[1]) * 2 + 1] = 2;
        expected[size_t(c.rows[2]) * 2] = 3;
        EXPECT_EQ(canvas.slice(), expected) << c.interlaced;
        EXPECT_TRUE(canvas.borderIntact()) << c.interlaced;
    }
}

TEST(LzwDecoder, ReusedDecoderKeepsNothingOfAnEarlierFrame)
{
    // A full 8 x 8 frame of 3s with a long tail of data, then smaller frames whose data ends early.
    std::vector<unsigned> full = {4};
    for (int i = 0; i < 64; ++i)
        full.push_back(3);
    full.push_back(5);
    LzwDecoder decoder;
    Canvas first(8, 8);
    ASSERT_EQ(decoder.Decode(SubBlocks(2, full), 2, false, first.target()), LzwStatus::Complete);
    ASSERT_EQ(first.slice(), std::vector<uint8_t>(64, 3));

    const struct {
        const char* name;
        std::vector<unsigned> codes;
        std::vector<uint8_t> pixels;  // 4 x 4
    } cases[] = {
        {"three pixels", {4, 1, 2, 1}, {1, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"only a clear", {4}, std::vector<uint8_t>(16, 0)},
    };
    for (const auto& c : cases) {
        Canvas canvas(4, 4);
        EXPECT_EQ(decoder.Decode(SubBlocks(2, c.codes), 2, false, canvas.target()), LzwStatus::Truncated) << c.name;
        EXPECT_EQ(canvas.slice(), c.pixels) << c.name;
    }
}

}  // namespace
}  // namespace pap::anigif
