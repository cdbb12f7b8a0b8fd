#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>

namespace pap::anigif {

// A zero-filled byte buffer of a size fixed at construction, from calloc: a large one gets pages the
// system hands out zeroed, so no pass writes the zeros and untouched pages cost no memory.
class ZeroedBytes {
public:
    ZeroedBytes() = default;
    // Throws std::bad_alloc when the memory cannot be had.
    explicit ZeroedBytes(size_t size) : m_bytes(static_cast<uint8_t*>(std::calloc(size ? size : 1, 1))), m_size(size)
    {
        if (!m_bytes)
            throw std::bad_alloc();
    }

    uint8_t* data() { return m_bytes.get(); }
    const uint8_t* data() const { return m_bytes.get(); }
    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    uint8_t* begin() { return data(); }
    uint8_t* end() { return data() + m_size; }
    const uint8_t* begin() const { return data(); }
    const uint8_t* end() const { return data() + m_size; }
    uint8_t& operator[](size_t i) { return m_bytes[i]; }
    const uint8_t& operator[](size_t i) const { return m_bytes[i]; }

private:
    struct Free {
        void operator()(uint8_t* p) const { std::free(p); }
    };
    std::unique_ptr<uint8_t[], Free> m_bytes;
    size_t m_size = 0;
};

}  // namespace pap::anigif
