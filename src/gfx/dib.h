#pragma once

// Device-independent bitmaps of 1, 8, 24 and 32 bits per pixel, owned or viewed over someone else's
// bits. Rows are addressed top row first; a view may have any stride (a bottom-up bitmap is a view with
// a negative stride). Pixels in memory:
//   1 bit:  8 pixels a byte, the leftmost in bit 7; the value indexes the 2-entry colour table;
//   8 bits: one colour-table index a byte;
//   24 bits: bytes blue, green, red;
//   32 bits: 0x00RRGGBB as a little-endian word (bytes blue, green, red, unused), the layout of Surface.
// A bitmap also carries the two colours a device context would hold for it: the text colour (default
// black) and the background colour (default white), which the monochrome conversions of the raster
// operations use.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "gfx/surface.h"

namespace pap::gfx {

// Bytes in one row of an owned bitmap: rows are padded to a multiple of 32 bits.
constexpr int64_t DibStride(int width, int bitsPerPixel)
{
    return ((int64_t(width) * bitsPerPixel + 31) & ~int64_t{31}) / 8;
}

class Dib {
public:
    Dib() = default;
    Dib(const Dib&) = delete;
    Dib& operator=(const Dib&) = delete;
    Dib(Dib&&) noexcept = default;
    Dib& operator=(Dib&&) noexcept = default;

    // A bitmap with its own bits, all zero, rows DibStride apart. Empty when the depth is not 1, 8, 24
    // or 32, the size is not a ValidSize, or memory runs out. A 1-bit bitmap's table is black, white;
    // an 8-bit bitmap's table is all black.
    static Dib Create(int width, int height, int bitsPerPixel);
    // A view over `bits`, row y starting at bits + y * stride, of any positive size (empty for another
    // size or depth). The bits must outlive the view.
    static Dib View(uint8_t* bits, int width, int height, int bitsPerPixel, ptrdiff_t stride);
    // A 32-bit view over a surface's pixels.
    static Dib View(Surface& surface);

    bool empty() const { return m_bits == nullptr || m_width <= 0 || m_height <= 0; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    int bitsPerPixel() const { return m_bpp; }
    ptrdiff_t stride() const { return m_stride; }
    bool hasColorTable() const { return m_bpp == 1 || m_bpp == 8; }

    uint8_t* row(int y) { return m_bits + ptrdiff_t(y) * m_stride; }
    const uint8_t* row(int y) const { return m_bits + ptrdiff_t(y) * m_stride; }

    // The colour 0x00RRGGBB of pixel (x, y), through the colour table for 1 and 8 bits.
    Pixel colorAt(int x, int y) const;
    // The stored value of pixel (x, y): the index for 1 and 8 bits, else the colour.
    uint32_t valueAt(int x, int y) const;
    void setValue(int x, int y, uint32_t value);

    // Sets the colour-table entries start .. start + count - 1 from `entries` (0x00RRGGBB) and returns
    // how many were set; entries beyond the table are ignored, a bitmap without a table sets none.
    int setColorTable(int start, std::span<const Pixel> entries);
    const std::array<Pixel, 256>& colorTable() const { return m_table; }
    int colorCount() const { return m_bpp == 1 ? 2 : m_bpp == 8 ? 256 : 0; }

    Pixel textColor() const { return m_text; }
    Pixel backColor() const { return m_back; }
    void setTextColor(Pixel colour) { m_text = colour & 0xFFFFFF; }
    void setBackColor(Pixel colour) { m_back = colour & 0xFFFFFF; }

    // The index of the table entry nearest to `colour` (the first exact match, else the least squared
    // distance); 0 for a bitmap without a table.
    uint32_t nearestIndex(Pixel colour) const;

private:
    std::vector<uint8_t> m_owned;
    uint8_t* m_bits = nullptr;
    int m_width = 0;
    int m_height = 0;
    int m_bpp = 0;
    ptrdiff_t m_stride = 0;
    std::array<Pixel, 256> m_table{};
    Pixel m_text = kBlack;
    Pixel m_back = kWhite;
};

}  // namespace pap::gfx
