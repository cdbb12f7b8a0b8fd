#include "controls/anigif/lzw_decoder.h"

#include <array>
#include <cstring>

#include "controls/anigif/gif_reader.h"

namespace pap::anigif {

namespace {

constexpr int kMaxCodes = 4096;
constexpr uint16_t kNoCode = 0xFFFF;

// Walks the target's rows in file order (the four interlace passes, or straight down).
class RowCursor {
public:
    RowCursor(const IndexTarget& target, bool interlaced) : m_target(target), m_interlaced(interlaced)
    {
        m_row = m_target.height > 0 ? m_target.pixels : nullptr;
    }

    // Copies a run of indices into the rows, wrapping at the row end; false once the image is full.
    bool Put(const uint8_t* indices, size_t count)
    {
        while (count > 0 && m_row) {
            size_t n = static_cast<size_t>(m_target.width) - m_x;
            if (n > count)
                n = count;
            std::memcpy(m_row + m_x, indices, n);
            m_x += n;
            indices += n;
            count -= n;
            if (m_x == static_cast<size_t>(m_target.width))
                NextRow();
        }
        return m_row != nullptr;
    }

    bool full() const { return m_row == nullptr; }

private:
    void NextRow()
    {
        m_x = 0;
        static constexpr int kStart[] = {0, 4, 2, 1};
        static constexpr int kStep[] = {8, 8, 4, 2};
        if (!m_interlaced) {
            m_y += 1;
        } else {
            m_y += kStep[m_pass];
            while (m_y >= m_target.height && m_pass < 3) {
                ++m_pass;
                m_y = kStart[m_pass];
            }
        }
        m_row = m_y < m_target.height ? m_target.pixels + static_cast<size_t>(m_y) * m_target.stride : nullptr;
    }

    const IndexTarget& m_target;
    bool m_interlaced;
    uint8_t* m_row = nullptr;
    size_t m_x = 0;
    int32_t m_y = 0;
    int m_pass = 0;
};

}  // namespace

LzwStatus DecodeLzw(std::span<const uint8_t> subBlocks, int minimumCodeSize, bool interlaced,
                    const IndexTarget& target)
{
    if (minimumCodeSize < 2 || minimumCodeSize > 8)
        return LzwStatus::BadCodeSize;
    if (target.width <= 0 || target.height <= 0)
        return LzwStatus::Complete;

    // Each code is a prefix code plus one last index; the first index of its string and the string's
    // length let a new entry be made and the string written without a second walk.
    std::array<uint16_t, kMaxCodes> prefix;
    std::array<uint8_t, kMaxCodes> suffix;
    std::array<uint8_t, kMaxCodes> first;
    std::array<uint8_t, kMaxCodes> string;

    const unsigned clearCode = 1u << minimumCodeSize;
    const unsigned endCode = clearCode + 1;
    for (unsigned i = 0; i < clearCode; ++i) {
        prefix[i] = kNoCode;
        suffix[i] = static_cast<uint8_t>(i);
        first[i] = static_cast<uint8_t>(i);
    }
    unsigned codeSize = static_cast<unsigned>(minimumCodeSize) + 1;
    unsigned nextCode = endCode + 1;
    uint16_t previous = kNoCode;

    SubBlockCursor input(subBlocks);
    RowCursor out(target, interlaced);
    uint32_t bits = 0;
    unsigned bitCount = 0;
    for (;;) {
        while (bitCount < codeSize) {
            uint8_t byte;
            if (!input.Next(byte))
                return LzwStatus::Truncated;
            bits |= uint32_t{byte} << bitCount;
            bitCount += 8;
        }
        const unsigned code = bits & ((1u << codeSize) - 1);
        bits >>= codeSize;
        bitCount -= codeSize;

        if (code == clearCode) {
            codeSize = static_cast<unsigned>(minimumCodeSize) + 1;
            nextCode = endCode + 1;
            previous = kNoCode;
            continue;
        }
        if (code == endCode)
            return out.full() ? LzwStatus::Complete : LzwStatus::Truncated;

        uint8_t firstIndex;
        size_t length;
        if (code < nextCode && code != endCode) {
            // A known string: write it backwards into the scratch string.
            unsigned c = code;
            length = 0;
            while (c != kNoCode) {
                string[kMaxCodes - 1 - length++] = suffix[c];
                c = prefix[c];
            }
            firstIndex = first[code];
        } else if (code == nextCode && previous != kNoCode && nextCode < kMaxCodes) {
            // The string being defined: the previous string plus its own first index.
            unsigned c = previous;
            length = 1;
            firstIndex = first[previous];
            string[kMaxCodes - 1] = firstIndex;
            while (c != kNoCode) {
                string[kMaxCodes - 1 - length++] = suffix[c];
                c = prefix[c];
            }
        } else {
            return LzwStatus::BadCode;
        }
        if (!out.Put(string.data() + kMaxCodes - length, length))
            return LzwStatus::Complete;

        if (previous != kNoCode && nextCode < kMaxCodes) {
            prefix[nextCode] = previous;
            suffix[nextCode] = firstIndex;
            first[nextCode] = first[previous];
            ++nextCode;
            if (nextCode == (1u << codeSize) && codeSize < 12)
                ++codeSize;
        }
        previous = static_cast<uint16_t>(code);
    }
}

}  // namespace pap::anigif
