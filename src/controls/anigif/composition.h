#pragma once

// Painting of a decoded animated GIF: each frame's colour table, transparent colour and disposal
// method applied to the index strip, a composed picture for animations whose frames build on each
// other, scaling to the control's size and mirroring. The control paints onto its container's
// picture (a 32-bit gfx view), so the container shows through transparent pixels.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "controls/anigif/gif_stream.h"
#include "gfx/dib.h"
#include "gfx/raster.h"

namespace pap::anigif {

// What ComputeLayout gives: the control's new size in pixels and the drawing scales.
struct Layout {
    int32_t width = 0;
    int32_t height = 0;
    float scaleX = 1.0f;
    float scaleY = 1.0f;
};

// The control's size and scales for stretch mode 0 .. 4 in an available area, for a picture of
// actualWidth x actualHeight:
//   0: the smaller of available and picture size, scales 1 (a smaller control clips the picture);
//   1: the picture's proportions inside the area, both scales the smaller ratio;
//   2: the available size, each scale its own ratio;
//   3: as 1, but a ratio above 1 becomes 1 (never enlarges);
//   4: the picture's size, scales 1.
// Ratios are computed in double and stored as float; modes 1 and 3 round the size halves to even.
// Empty (the computation abandoned) for a picture of zero size or an unknown mode.
std::optional<Layout> ComputeLayout(int availableWidth, int availableHeight, int mode, int32_t actualWidth,
                                    int32_t actualHeight);

// Rounds to the nearest integer, halves to even, clamped to the int range.
int32_t RoundHalfEven(double value);

// Bits of the mirror style.
constexpr uint8_t kMirrorHorizontal = 0x01;
constexpr uint8_t kMirrorVertical = 0x02;
constexpr uint8_t kMirrorPending = 0x20;  // frame 1 is mirrored, frames 2 .. N not yet

// The painting state of one loaded animation: a view of the index strip with its colour table, the
// composition buffer (24 bits, actualWidth x actualHeight), the mask buffer (1 bit, table black, white;
// a set bit is a transparent pixel of the composition), the mask table, paletteMemo, the disposal 3
// save areas, the drawing scales and the mirror style. It works over a GifStream that DecodeFirstPass
// has prepared; the stream must outlive it and keep its strip (a new load needs a new Composer).
class Composer {
public:
    // Creates the buffers the first pass asked for: the composition buffer when gif.flags.useComposition
    // and the mask buffer when also gif.flags.needMask. ok() is false when they could not be allocated.
    explicit Composer(GifStream& gif);

    bool ok() const { return m_ok; }
    bool hasComposition() const { return !m_buffer.empty(); }
    const gfx::Dib& compositionBuffer() const { return m_buffer; }
    const gfx::Dib& maskBuffer() const { return m_mask; }
    // The number of the palette loaded unmodified into the strip's table, or -1.
    int32_t paletteMemo() const { return m_paletteMemo; }
    // Decoding (or anything else) changed the strip's table: forget what is loaded.
    void forgetPalette() { m_paletteMemo = -1; }

    float scaleX() const { return m_scaleX; }
    float scaleY() const { return m_scaleY; }
    void setScales(float scaleX, float scaleY);
    uint8_t mirrorStyle() const { return m_mirrorStyle; }
    void setMirrorStyle(uint8_t style) { m_mirrorStyle = style; }

    // Draws frame k (from 1) as the current frame onto `dc`: through the composition when there is
    // one (composing it first and applying disposal 2 or 3 after), else straight from the strip, at
    // the scales. Returns false, drawing nothing, for k = 0 or a frame not decoded yet.
    bool PaintFrame(int k, gfx::Dib& dc);

    // Draws frame k (k > 0, its slice of the strip) or the composition (k < 0) into the rectangle
    // (x, y, w, h) of `dc`, stretched from the whole source when `stretched`; nothing when w or h <= 0.
    // Transparent pixels leave `dc` as it is.
    void DrawFrameTo(int k, gfx::Dib& dc, bool stretched, int x, int y, int w, int h);

    // Before frame k is drawn into the composition (afterShow false): empties it for k = 1, saves the
    // frame's rows for disposal 3 and marks the frame's opaque pixels in the mask. After it was shown
    // (afterShow true): disposal 2 makes its rectangle transparent, disposal 3 restores the saved rows.
    void ComposeFrame(int k, bool afterShow);

    // Flips frames by the bits in which otherStyle and the mirror style differ (bit 0 horizontally, bit 1
    // vertically), moving their left or top; from frame 2 when the pending mark was set (it is cleared),
    // to frame 1 only when firstOnly, else to the last decoded frame; the whole composition and mask too
    // when withBuffers. The mirror style itself is left for the caller to change.
    void ApplyMirror(uint8_t otherStyle, bool firstOnly, bool withBuffers);

    // PaintFrame onto several pictures at once, composing only once.
    bool PaintFrameOnto(int k, std::span<gfx::Dib* const> dcs);

private:
    const GifFrame& frame(int k) const { return m_gif.frames[size_t(k - 1)]; }
    void LoadPalette(int32_t paletteIndex, int blackIndex);

    GifStream& m_gif;
    gfx::Dib m_strip;
    gfx::Dib m_buffer;
    gfx::Dib m_mask;
    std::array<gfx::Pixel, 256> m_maskTable{};
    int32_t m_paletteMemo = -1;
    std::vector<uint8_t> m_savedColour;
    std::vector<uint8_t> m_savedMask;
    float m_scaleX = 1.0f;
    float m_scaleY = 1.0f;
    uint8_t m_mirrorStyle = 0;
    bool m_ok = true;
};

// The outline the control draws around itself at design time: a dotted rectangle 0, 0 .. width - 1,
// height - 1 in `colour` (the control's pen colour, the system window-frame colour resolved by the
// caller).
void DrawDesignOutline(gfx::Dib& dc, int width, int height, gfx::Pixel colour);

// Frame k as the control paints it onto a container of width x height: 4 bytes R, G, B, A a pixel, top
// row first; alpha 255 where the control painted, 0 where the container shows through. The frame is
// painted onto a black and a white container at once and the pictures compared, so a pixel that a
// halftone stretch blends with the container counts as showing through. Empty when nothing was drawn.
std::vector<uint8_t> PaintFrameRgba(Composer& composer, int k, int width, int height);

}  // namespace pap::anigif
