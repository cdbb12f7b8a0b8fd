#include "gfx/dib.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace pap::gfx {

namespace {

bool ValidDepth(int bpp) { return bpp == 1 || bpp == 8 || bpp == 24 || bpp == 32; }

}  // namespace

Dib Dib::Create(int width, int height, int bitsPerPixel)
{
    Dib dib;
    if (!ValidDepth(bitsPerPixel) || !ValidSize(width, height) || width == 0 || height == 0)
        return dib;
    const int64_t stride = DibStride(width, bitsPerPixel);
    try {
        dib.m_owned.assign(size_t(stride) * size_t(height), 0);
    } catch (const std::bad_alloc&) {
        return Dib{};
    }
    dib.m_bits = dib.m_owned.data();
    dib.m_width = width;
    dib.m_height = height;
    dib.m_bpp = bitsPerPixel;
    dib.m_stride = ptrdiff_t(stride);
    if (bitsPerPixel == 1)
        dib.m_table[1] = kWhite;
    return dib;
}

Dib Dib::View(uint8_t* bits, int width, int height, int bitsPerPixel, ptrdiff_t stride)
{
    Dib dib;
    // A view may be wider than an owned bitmap: the index strip holds every frame side by side.
    if (bits == nullptr || !ValidDepth(bitsPerPixel) || width <= 0 || height <= 0)
        return dib;
    dib.m_bits = bits;
    dib.m_width = width;
    dib.m_height = height;
    dib.m_bpp = bitsPerPixel;
    dib.m_stride = stride;
    if (bitsPerPixel == 1)
        dib.m_table[1] = kWhite;
    return dib;
}

Dib Dib::View(Surface& surface)
{
    if (surface.empty())
        return Dib{};
    return View(reinterpret_cast<uint8_t*>(surface.data()), surface.width(), surface.height(), 32,
                ptrdiff_t(surface.width()) * 4);
}

uint32_t Dib::valueAt(int x, int y) const
{
    const uint8_t* r = row(y);
    switch (m_bpp) {
    case 1:
        return (r[x >> 3] >> (7 - (x & 7))) & 1;
    case 8:
        return r[x];
    case 24:
        return uint32_t(r[3 * x]) | uint32_t(r[3 * x + 1]) << 8 | uint32_t(r[3 * x + 2]) << 16;
    default: {
        uint32_t v;
        std::memcpy(&v, r + 4 * x, 4);
        return v & 0xFFFFFF;
    }
    }
}

void Dib::setValue(int x, int y, uint32_t value)
{
    uint8_t* r = row(y);
    switch (m_bpp) {
    case 1: {
        const uint8_t bit = uint8_t(0x80 >> (x & 7));
        r[x >> 3] = uint8_t((value & 1) ? (r[x >> 3] | bit) : (r[x >> 3] & ~bit));
        break;
    }
    case 8:
        r[x] = uint8_t(value);
        break;
    case 24:
        r[3 * x] = uint8_t(value);
        r[3 * x + 1] = uint8_t(value >> 8);
        r[3 * x + 2] = uint8_t(value >> 16);
        break;
    default:
        value &= 0xFFFFFF;
        std::memcpy(r + 4 * x, &value, 4);
        break;
    }
}

Pixel Dib::colorAt(int x, int y) const
{
    const uint32_t v = valueAt(x, y);
    return hasColorTable() ? m_table[v] : v;
}

int Dib::setColorTable(int start, std::span<const Pixel> entries)
{
    const int count = colorCount();
    if (start < 0 || start >= count)
        return 0;
    const int n = int(std::min<size_t>(entries.size(), size_t(count - start)));
    for (int i = 0; i < n; ++i)
        m_table[size_t(start + i)] = entries[size_t(i)] & 0xFFFFFF;
    return n;
}

uint32_t Dib::nearestIndex(Pixel colour) const
{
    const int count = colorCount();
    uint32_t best = 0;
    int64_t bestDistance = INT64_MAX;
    for (int i = 0; i < count; ++i) {
        const Pixel e = m_table[size_t(i)];
        const int64_t dr = int(Red(e)) - Red(colour), dg = int(Green(e)) - Green(colour),
                      db = int(Blue(e)) - Blue(colour);
        const int64_t d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = uint32_t(i);
            if (d == 0)
                break;
        }
    }
    return best;
}

}  // namespace pap::gfx
