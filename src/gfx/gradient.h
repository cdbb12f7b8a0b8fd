#pragma once

// GDI's GradientFill in GRADIENT_FILL_RECT_V mode onto 24- and 32-bit bitmaps.
//
// Each mesh names two vertices. The rectangle they span is normalised (either vertex may be any corner)
// and filled as GDI fills rectangles, half-open: columns left .. right - 1, rows top .. bottom - 1, so a
// vertex at (w - 1, h - 1) leaves the last column and row of a w x h bitmap untouched. Per channel, row y
// takes the high byte of (u * (bottom - y) + l * (y - top)) / (bottom - top), the division truncated,
// where u and l are the 16-bit channels of the upper and the lower vertex (each vertex colours its own
// edge). Rows clipped off the target keep their place in the gradient. The first row is exactly the
// upper vertex's colour; the last filled row is one step short of the lower vertex's. Alpha is
// accepted and not drawn (our 32-bit pixels keep their top byte 0).

#include <cstdint>
#include <span>

#include "gfx/dib.h"

namespace pap::gfx {

struct TriVertex {
    int32_t x = 0;
    int32_t y = 0;
    uint16_t red = 0;  // the colour's byte in the high byte: 0xC600 draws 0xC6
    uint16_t green = 0;
    uint16_t blue = 0;
    uint16_t alpha = 0;
};

// Indices into the vertex list of a mesh's two corners.
struct GradientRect {
    uint32_t upperLeft = 0;
    uint32_t lowerRight = 0;
};

// Fills each mesh with a vertical gradient, clipped to the target. False, drawing nothing, when a mesh
// names a vertex that is not in the list or the target is not 24 or 32 bits.
bool GradientFillRectV(Dib& target, std::span<const TriVertex> vertices, std::span<const GradientRect> meshes);

}  // namespace pap::gfx
