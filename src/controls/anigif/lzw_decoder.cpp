#include "controls/anigif/lzw_decoder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

namespace pap::anigif {

namespace {

constexpr unsigned kMaxCodes = 4096;
constexpr unsigned kMaxCodeSize = 12;
constexpr size_t kRoots = 256;  // the one-index strings lie at the start of the output buffer
constexpr size_t kCopyStep = 16;
constexpr size_t kInputSlack = 8;

uint64_t LoadLittle64(const uint8_t* p)
{
    uint64_t value;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&value, p, sizeof value);
    } else {
        value = 0;
        for (int i = 7; i >= 0; --i)
            value = value << 8 | p[i];
    }
    return value;
}

// Copies `length` (at least 1) bytes from an earlier part of the output (from + length <= to) in
// 16-byte steps, so it may write up to 15 bytes past to + length and read as far past from + length.
// Bytes it reads from at or after `to` only land past to + length, which later strings overwrite.
inline void CopyForward(uint8_t* to, const uint8_t* from, size_t length)
{
    for (size_t i = 0; i < length; i += kCopyStep) {
        uint8_t chunk[kCopyStep];
        std::memcpy(chunk, from + i, kCopyStep);
        std::memcpy(to + i, chunk, kCopyStep);
    }
}

inline uint64_t Entry(size_t place, size_t length) { return uint64_t{place} << 16 | length; }

}  // namespace

size_t LzwDecoder::Gather(std::span<const uint8_t> subBlocks)
{
    const uint8_t* bytes = subBlocks.data();
    const size_t size = subBlocks.size();
    size_t total = 0;
    for (size_t p = 0; p < size && bytes[p] != 0; p += size_t{bytes[p]} + 1)
        total += std::min<size_t>(bytes[p], size - p - 1);
    if (m_input.size() < total + kInputSlack)
        m_input.resize(total + kInputSlack);
    uint8_t* in = m_input.data();
    for (size_t p = 0; p < size && bytes[p] != 0; p += size_t{bytes[p]} + 1) {
        const size_t n = std::min<size_t>(bytes[p], size - p - 1);
        std::memcpy(in, bytes + p + 1, n);
        in += n;
    }
    std::memset(in, 0, kInputSlack);
    return total;
}

LzwStatus LzwDecoder::Decode(std::span<const uint8_t> subBlocks, int minimumCodeSize, bool interlaced,
                             const IndexTarget& target)
{
    if (minimumCodeSize < 2 || minimumCodeSize > 8)
        return LzwStatus::BadCodeSize;
    if (target.width <= 0 || target.height <= 0)
        return LzwStatus::Complete;

    const size_t width = static_cast<size_t>(target.width);
    const size_t pixels = width * static_cast<size_t>(target.height);
    size_t inputBytes;
    try {
        inputBytes = Gather(subBlocks);
        if (m_output.size() < kRoots + pixels + kCopyStep) {
            m_output = {};
            m_output = ZeroedBytes(kRoots + pixels + kCopyStep);
        }
        m_table.resize(kMaxCodes + 1);
    } catch (const std::bad_alloc&) {
        m_output = {};
        return LzwStatus::OutOfMemory;
    }

    const unsigned clearCode = 1u << minimumCodeSize;
    const unsigned endCode = clearCode + 1;
    uint8_t* const out = m_output.data();
    uint64_t* const table = m_table.data();
    for (unsigned i = 0; i < kRoots; ++i)
        out[i] = static_cast<uint8_t>(i);
    for (unsigned i = 0; i < clearCode; ++i)
        table[i] = Entry(i, 1);

    const uint8_t* const in = m_input.data();
    const uint64_t inputBits = uint64_t{inputBytes} * 8;
    const size_t end = kRoots + pixels;
    uint64_t bitPos = 0;
    size_t pos = kRoots;
    size_t previousPos = kRoots;
    size_t previousLength = 0;
    unsigned codeSize = static_cast<unsigned>(minimumCodeSize) + 1;
    unsigned mask = (1u << codeSize) - 1;
    // After a clear the first code may only be a literal, and it defines no string: nextCode starts
    // one low, so that code's entry goes to the end code's unused slot.
    unsigned nextCode = endCode;
    LzwStatus status;
    for (;;) {
        if (bitPos + codeSize > inputBits) {
            status = LzwStatus::Truncated;
            break;
        }
        const unsigned code = static_cast<unsigned>(LoadLittle64(in + (bitPos >> 3)) >> (bitPos & 7)) & mask;
        bitPos += codeSize;

        size_t length;
        if (code < nextCode && code - clearCode > 1u) {
            // A literal or a known string.
            const uint64_t entry = table[code];
            const size_t from = static_cast<size_t>(entry >> 16);
            length = static_cast<size_t>(entry & 0xFFFF);
            if (length > end - pos) {
                std::memcpy(out + pos, out + from, end - pos);
                status = LzwStatus::Complete;
                break;
            }
            CopyForward(out + pos, out + from, length);
        } else if (code == clearCode) {
            codeSize = static_cast<unsigned>(minimumCodeSize) + 1;
            mask = (1u << codeSize) - 1;
            nextCode = endCode;
            continue;
        } else if (code == endCode) {
            // Every pixel written ends the decoding before the next code is read.
            status = LzwStatus::Truncated;
            break;
        } else if (code == nextCode && nextCode != endCode) {
            // The string being defined: the previous string plus its own first index.
            length = previousLength + 1;
            if (length > end - pos) {
                // What fits lies within the previous string, just before pos.
                std::memcpy(out + pos, out + previousPos, end - pos);
                status = LzwStatus::Complete;
                break;
            }
            CopyForward(out + pos, out + previousPos, previousLength);
            out[pos + previousLength] = out[previousPos];
        } else {
            status = LzwStatus::BadCode;
            break;
        }
        // The new entry is the previous string and this one's first index, which follow each other in
        // the output. With the table full it goes to the spare slot past the last code.
        table[nextCode] = Entry(previousPos, previousLength + 1);
        nextCode += nextCode < kMaxCodes ? 1 : 0;
        if (nextCode == (1u << codeSize) && codeSize < kMaxCodeSize) {
            ++codeSize;
            mask = mask << 1 | 1;
        }
        previousPos = pos;
        previousLength = length;
        pos += length;
        if (pos == end) {
            status = LzwStatus::Complete;
            break;
        }
    }
    if (status == LzwStatus::Complete)
        pos = end;

    // Copy the rows reached into the target, the last one completed with zeros.
    const size_t rows = (pos - kRoots + width - 1) / width;
    std::memset(out + pos, 0, kRoots + rows * width - pos);
    static constexpr int64_t kStart[] = {0, 4, 2, 1};
    static constexpr int64_t kStep[] = {8, 8, 4, 2};
    const int passes = interlaced ? 4 : 1;
    const uint8_t* row = out + kRoots;
    size_t copied = 0;
    for (int pass = 0; pass < passes; ++pass) {
        const int64_t step = interlaced ? kStep[pass] : 1;
        for (int64_t y = interlaced ? kStart[pass] : 0; y < target.height && copied < rows; y += step) {
            std::memcpy(target.pixels + static_cast<size_t>(y) * target.stride, row, width);
            row += width;
            ++copied;
        }
    }
    return status;
}

LzwStatus DecodeLzw(std::span<const uint8_t> subBlocks, int minimumCodeSize, bool interlaced,
                    const IndexTarget& target)
{
    LzwDecoder decoder;
    return decoder.Decode(subBlocks, minimumCodeSize, interlaced, target);
}

}  // namespace pap::anigif
