#pragma once

// Bounds-checked reading of a GIF file held in memory. Every read of the file's bytes goes through
// here, or through a span it hands out (the LZW decoder walks an image's sub-blocks within the span
// of the file's tail). Positions are counted from 1 (the first signature byte is position 1), as the parser's
// arithmetic on block positions is written that way. A read past the last byte gives no value
// instead of touching memory; the parser treats that as the end of the stream.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace pap::anigif {

class GifReader {
public:
    explicit GifReader(std::span<const uint8_t> data) : m_data(data) {}

    int64_t size() const { return static_cast<int64_t>(m_data.size()); }
    int64_t readPos() const { return m_readPos; }
    void setReadPos(int64_t position) { m_readPos = position; }

    // Whether positions position .. position + count - 1 all exist.
    bool Holds(int64_t position, int64_t count) const
    {
        return position >= 1 && count >= 0 && position - 1 <= size() && count <= size() - (position - 1);
    }

    // The byte at readPos, advancing by 1; none (end of data) when readPos is beyond the last byte.
    std::optional<uint8_t> ReadByte()
    {
        if (!Holds(m_readPos, 1))
            return std::nullopt;
        return m_data[static_cast<size_t>(m_readPos++ - 1)];
    }

    // The little-endian 16-bit value at readPos, advancing by 2; none when either byte is missing.
    std::optional<uint16_t> ReadWord()
    {
        if (!Holds(m_readPos, 2))
            return std::nullopt;
        const uint8_t* p = m_data.data() + (m_readPos - 1);
        m_readPos += 2;
        return static_cast<uint16_t>(p[0] | p[1] << 8);
    }

    // Fills the scratch buffer with count bytes: the ones at readPos (advancing past them) when they
    // all exist, else all zero with readPos unchanged. Never fails.
    const std::vector<uint8_t>& ReadBlock(size_t count)
    {
        m_scratch.assign(count, 0);
        if (Holds(m_readPos, static_cast<int64_t>(count))) {
            const uint8_t* p = m_data.data() + (m_readPos - 1);
            m_scratch.assign(p, p + count);
            m_readPos += static_cast<int64_t>(count);
        }
        return m_scratch;
    }

    // Steps over a chain of data sub-blocks and its zero terminator. Running off the end of the data
    // is not an error: readPos is then past the end.
    void SkipSubBlocks()
    {
        while (Holds(m_readPos, 1) && m_data[static_cast<size_t>(m_readPos - 1)] != 0)
            m_readPos += m_data[static_cast<size_t>(m_readPos - 1)] + 1;
        ++m_readPos;
    }

    // count bytes from position on, or none when they do not all exist.
    std::optional<std::span<const uint8_t>> Bytes(int64_t position, int64_t count) const
    {
        if (!Holds(position, count))
            return std::nullopt;
        return m_data.subspan(static_cast<size_t>(position - 1), static_cast<size_t>(count));
    }

    // Everything from position to the end (empty when position is past the end).
    std::span<const uint8_t> Tail(int64_t position) const
    {
        if (position < 1 || position - 1 >= size())
            return {};
        return m_data.subspan(static_cast<size_t>(position - 1));
    }

private:
    std::span<const uint8_t> m_data;
    int64_t m_readPos = 1;
    std::vector<uint8_t> m_scratch;
};

}  // namespace pap::anigif
