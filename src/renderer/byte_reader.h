#pragma once

// Bounds-checked access to a block of bytes read from outside (a bitmap file). Every read of outside
// data goes through here: a read that would reach past the end fails instead of touching memory.
// Multi-byte fields are little-endian and assembled byte-wise, so they need no alignment.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace pap {

class ByteReader {
public:
    ByteReader() = default;
    explicit ByteReader(std::span<const uint8_t> bytes) : m_bytes(bytes) {}

    size_t size() const { return m_bytes.size(); }

    // Whether [offset, offset + length) lies inside the block; safe against overflow of the sum.
    bool contains(uint64_t offset, uint64_t length) const
    {
        return offset <= m_bytes.size() && length <= m_bytes.size() - offset;
    }

    std::optional<uint8_t> u8(uint64_t offset) const
    {
        if (!contains(offset, 1))
            return std::nullopt;
        return m_bytes[offset];
    }

    std::optional<uint16_t> u16(uint64_t offset) const
    {
        if (!contains(offset, 2))
            return std::nullopt;
        const uint8_t* p = m_bytes.data() + offset;
        return static_cast<uint16_t>(p[0] | p[1] << 8);
    }

    std::optional<uint32_t> u32(uint64_t offset) const
    {
        if (!contains(offset, 4))
            return std::nullopt;
        const uint8_t* p = m_bytes.data() + offset;
        return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
               static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
    }

    std::optional<int32_t> i32(uint64_t offset) const
    {
        auto value = u32(offset);
        if (!value)
            return std::nullopt;
        return static_cast<int32_t>(*value);
    }

    // The sub-block [offset, offset + length), or none when it does not fit.
    std::optional<std::span<const uint8_t>> bytes(uint64_t offset, uint64_t length) const
    {
        if (!contains(offset, length))
            return std::nullopt;
        return m_bytes.subspan(static_cast<size_t>(offset), static_cast<size_t>(length));
    }

    // Everything from offset to the end (empty when offset is at or past the end).
    std::span<const uint8_t> tail(uint64_t offset) const
    {
        if (offset >= m_bytes.size())
            return {};
        return m_bytes.subspan(static_cast<size_t>(offset));
    }

private:
    std::span<const uint8_t> m_bytes;
};

// Sequential reading of a byte stream (run-length coded pixel data) that fails at its end.
class ByteCursor {
public:
    explicit ByteCursor(std::span<const uint8_t> bytes) : m_bytes(bytes) {}

    size_t remaining() const { return m_bytes.size() - m_position; }

    // Reads two bytes at once, the unit of every run-length code; false at the end.
    bool pair(uint8_t& first, uint8_t& second)
    {
        if (remaining() < 2)
            return false;
        first = m_bytes[m_position];
        second = m_bytes[m_position + 1];
        m_position += 2;
        return true;
    }

    // The next length bytes, or none when fewer remain (the position is then unchanged).
    std::optional<std::span<const uint8_t>> take(size_t length)
    {
        if (length > remaining())
            return std::nullopt;
        auto part = m_bytes.subspan(m_position, length);
        m_position += length;
        return part;
    }

private:
    std::span<const uint8_t> m_bytes;
    size_t m_position = 0;
};

}  // namespace pap
