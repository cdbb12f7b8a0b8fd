#include <gtest/gtest.h>

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

}  // namespace
}  // namespace pap::anigif
