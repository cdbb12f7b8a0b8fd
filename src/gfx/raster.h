#pragma once

// Raster operations between device-independent bitmaps of any depth, with the results GDI gives:
//   - a palette source (1 or 8 bits) is resolved through its colour table, except that a 1-bit source
//     drawn on a colour target gives the target's text colour for bit 0 and its background colour for
//     bit 1, and a 1-bit source on a 1-bit target copies its bits;
//   - a colour source drawn on a 1-bit target gives 1 where the colour equals the source's background
//     colour and 0 elsewhere;
//   - an 8-bit source on an 8-bit target copies indices; a colour drawn on an 8-bit target becomes the
//     index of the nearest table entry;
//   - the raster operation then combines that value with the target's stored value bit by bit.
// Every operation is clipped to the source and the target. Source and target may be the same bits.

#include <cstdint>

#include "gfx/dib.h"
#include "gfx/surface.h"

namespace pap::gfx {

enum class Rop : uint32_t {
    SrcCopy = 0xCC0020,   // target = source
    SrcAnd = 0x880086,    // target = target AND source
    SrcPaint = 0xEE0086,  // target = target OR source
};

enum class StretchMode {
    ColorOnColor = 3,  // nearest source pixel
    Halftone = 4,      // area average of the source pixels under each target pixel (colour targets)
};

enum class StockBrush { Black, White };

// Copies the width x height block at (sourceX, sourceY) of `source` to (x, y) of `target`.
void BitBlt(Dib& target, int x, int y, int width, int height, const Dib& source, int sourceX, int sourceY,
            Rop rop);

// Draws the source rectangle into the target rectangle, stretching or shrinking it. A negative extent
// names the columns (rows) x + extent + 1 .. x, so that a source x at the right-most column with a
// negative width, or a negative target width, flips the picture horizontally (likewise vertically).
// Halftone averages colours; a 1:1 halftone copy and any stretch onto a 1-bit target take the nearest
// pixel, so a mask stays exactly black and white.
void StretchBlt(Dib& target, int x, int y, int width, int height, const Dib& source, int sourceX, int sourceY,
                int sourceWidth, int sourceHeight, Rop rop, StretchMode mode = StretchMode::ColorOnColor);

// A forms runtime's PaintPicture section copy between 32-bit pictures: the `from` rectangle of `picture`
// drawn into the `to` rectangle of `target`, each axis stretched or shrunk on its own to the nearest
// source pixel (StretchBlt with SRCCOPY, colour on colour; an equal size is a plain copy), clipped to both.
// Target pixels whose source would lie outside the picture keep their colour.
void PaintSection(Surface& target, Rect to, const Surface& picture, Rect from);

// Fills the part of `rect` on the target with a stock brush; a bitmap with a colour table gets the
// index of the table entry nearest to the brush colour.
void FillRect(Dib& target, Rect rect, StockBrush brush);

// The outline of the rectangle left .. right - 1, top .. bottom - 1 drawn with a one-pixel dotted pen
// (GDI's Rectangle with a PS_DOT pen and a hollow brush): starting at the top-left corner and going
// clockwise, pixels alternate on and off; off pixels and the interior are left as they are.
void DottedRectangle(Dib& target, int left, int top, int right, int bottom, Pixel colour);

// Copies an 8-bit source block resolved through its colour table, except the pixels of index `key`,
// which leave the target as it is. Same result as SRCAND with a table that is white at `key` and black
// elsewhere followed by SRCPAINT with the real table blackened at `key`, in one pass.
void KeyedBlt(Dib& target, int x, int y, int width, int height, const Dib& source, int sourceX, int sourceY,
              uint8_t key);

// Copies `colour` where the 1-bit `mask` holds 0 and keeps the target where it holds 1; mask and colour
// are read at the same position. Same result as SRCAND with the mask followed by SRCPAINT with the
// colour when the colour is black under every set mask bit, in one pass.
void MaskedBlt(Dib& target, int x, int y, int width, int height, const Dib& colour, const Dib& mask,
               int sourceX, int sourceY);

}  // namespace pap::gfx
