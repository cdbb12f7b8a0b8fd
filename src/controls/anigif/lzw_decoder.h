#pragma once

// LZW decoder of one GIF image's data, writing 8-bit colour indices into a frame's slice of a byte
// buffer (rows `stride` bytes apart, top row first).
//
// What it does with faulty data (the slice is expected to be zero before decoding):
// - minimum code size outside 2..8: nothing is decoded; the whole slice stays index 0 (BadCodeSize);
// - a code beyond the table (or the "next" code right after a clear): decoding stops; the pixels
//   decoded before it are kept and the rest stays 0 (BadCode);
// - the data ends (a zero-length sub-block or the end of the bytes) before the end code and before
//   every pixel is written: the pixels decoded so far are kept, the rest stays 0 (Truncated);
// - no end code but every pixel written: complete (Complete);
// - the table full at 4096 entries without a clear code: decoding goes on with the full table and
//   12-bit codes, adding no entries (a deferred clear);
// - more data than pixels: the surplus is ignored (Complete);
// - the working buffer for the frame cannot be allocated: nothing is decoded, the slice stays 0
//   (OutOfMemory).
// Pixel values are stored as they are, even when beyond the frame's colour table.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "controls/anigif/zeroed_bytes.h"

namespace pap::anigif {

enum class LzwStatus { Complete, Truncated, BadCode, BadCodeSize, OutOfMemory };

// Where the indices go: width x height pixels, the first at `pixels`, rows `stride` bytes apart.
struct IndexTarget {
    uint8_t* pixels = nullptr;
    size_t stride = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// A decoder with working memory kept between frames, so that decoding an animation allocates once
// per frame size rather than once per frame. The frame is decoded into a contiguous buffer (each
// table entry is the place of its string's first occurrence there, copied forward from it), then its
// rows are copied into the target.
class LzwDecoder {
public:
    // Decodes image data given as sub-blocks (`subBlocks` starts at the first length byte; it may run
    // to the end of the file, as reading stops at the zero terminator). With `interlaced`, rows are
    // written in the four GIF passes (every 8th row from 0, every 8th from 4, every 4th from 2, every
    // 2nd from 1). Rows the data does not reach are not written.
    LzwStatus Decode(std::span<const uint8_t> subBlocks, int minimumCodeSize, bool interlaced,
                     const IndexTarget& target);

private:
    // The data bytes of the sub-blocks, gathered, then 8 zero bytes for the 64-bit reads.
    size_t Gather(std::span<const uint8_t> subBlocks);

    std::vector<uint8_t> m_input;
    // The 256 one-index strings, the frame's indices in file row order, then slack for copies that
    // run past a string's end. Zeroed pages from the system: a large frame with little data costs
    // only the pages it reaches.
    ZeroedBytes m_output;
    // Per code: the place of its string in m_output (bits 16 and up) and its length (bits 0-15).
    std::vector<uint64_t> m_table;
};

// Decodes one image with a decoder of its own (see LzwDecoder::Decode).
LzwStatus DecodeLzw(std::span<const uint8_t> subBlocks, int minimumCodeSize, bool interlaced,
                    const IndexTarget& target);

}  // namespace pap::anigif
