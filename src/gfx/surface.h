#pragma once

// Pixel surfaces: 32-bit pixels 0x00RRGGBB (bytes B, G, R, X in memory, the layout of a 32-bit DIB
// and of an X image on a 24-bit TrueColor screen), rows from the top, no padding.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pap::gfx {

using Pixel = uint32_t;

constexpr Pixel Rgb(uint8_t r, uint8_t g, uint8_t b) { return (Pixel{r} << 16) | (Pixel{g} << 8) | b; }
constexpr uint8_t Red(Pixel p) { return static_cast<uint8_t>(p >> 16); }
constexpr uint8_t Green(Pixel p) { return static_cast<uint8_t>(p >> 8); }
constexpr uint8_t Blue(Pixel p) { return static_cast<uint8_t>(p); }

constexpr Pixel kBlack = 0x000000;
constexpr Pixel kWhite = 0xFFFFFF;

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool contains(int px, int py) const { return px >= x && py >= y && px - x < width && py - y < height; }
    bool operator==(const Rect&) const = default;
};

// The largest surface side and area accepted: far beyond any screen, small enough that a size never
// overflows the arithmetic below.
constexpr int kMaxSide = 1 << 15;
constexpr uint64_t kMaxPixels = uint64_t{1} << 28;

class Surface {
public:
    Surface() = default;
    // A surface filled with one colour; empty (0 x 0) when the size is negative or too large.
    Surface(int width, int height, Pixel fill = kBlack);

    int width() const { return m_width; }
    int height() const { return m_height; }
    bool empty() const { return m_width == 0 || m_height == 0; }

    Pixel* row(int y) { return m_pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(m_width); }
    const Pixel* row(int y) const { return m_pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(m_width); }
    Pixel at(int x, int y) const { return row(y)[x]; }
    void set(int x, int y, Pixel p) { row(y)[x] = p; }
    Pixel* data() { return m_pixels.data(); }
    const Pixel* data() const { return m_pixels.data(); }

    void fill(Pixel colour);
    // Fills the part of the rectangle that lies on the surface.
    void fillRect(Rect rect, Pixel colour);
    // A new size; the content that still fits stays at the top left, the rest becomes `fill`.
    void resize(int width, int height, Pixel fill = kBlack);

    bool operator==(const Surface&) const = default;

private:
    int m_width = 0;
    int m_height = 0;
    std::vector<Pixel> m_pixels;
};

// Whether a width and height make a surface (both 0 or more, within kMaxSide and kMaxPixels).
bool ValidSize(int width, int height);

// Copies `source` (all of it) to `target` at (x, y), clipped to the target.
void Blit(Surface& target, int x, int y, const Surface& source);

// Draws `source` stretched into the rectangle of `target`, clipped to the target. Each target pixel
// gets the area-weighted average of the source pixels under it: a picture shrinks without aliasing,
// and a target pixel that lies inside one source pixel is exactly that pixel.
void StretchBlit(Surface& target, Rect rect, const Surface& source);

}  // namespace pap::gfx
