#include "controls/anigif/composition.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace pap::anigif {

using gfx::Dib;
using gfx::Rop;
using gfx::StockBrush;
using gfx::StretchMode;

int32_t RoundHalfEven(double value)
{
    if (!(value > double(std::numeric_limits<int32_t>::min())))
        return std::numeric_limits<int32_t>::min();
    if (!(value < double(std::numeric_limits<int32_t>::max())))
        return std::numeric_limits<int32_t>::max();
    // The default rounding mode rounds to nearest, ties to even.
    return int32_t(std::nearbyint(value));
}

std::optional<Layout> ComputeLayout(int availableWidth, int availableHeight, int mode, int32_t actualWidth,
                                    int32_t actualHeight)
{
    if (actualWidth <= 0 || actualHeight <= 0)
        return std::nullopt;
    const double ratioX = double(availableWidth) / actualWidth, ratioY = double(availableHeight) / actualHeight;
    Layout layout;
    switch (mode) {
    case 0:
        layout.width = std::min(availableWidth, actualWidth);
        layout.height = std::min(availableHeight, actualHeight);
        break;
    case 1:
    case 3: {
        double ratio = std::min(ratioX, ratioY);
        if (mode == 3 && ratioX > 1 && ratioY > 1)
            ratio = 1;
        layout.scaleX = layout.scaleY = float(ratio);
        layout.width = RoundHalfEven(double(layout.scaleX) * actualWidth);
        layout.height = RoundHalfEven(double(layout.scaleY) * actualHeight);
        break;
    }
    case 2:
        layout.scaleX = float(ratioX);
        layout.scaleY = float(ratioY);
        layout.width = availableWidth;
        layout.height = availableHeight;
        break;
    case 4:
        layout.width = actualWidth;
        layout.height = actualHeight;
        break;
    default:
        return std::nullopt;
    }
    return layout;
}

Composer::Composer(GifStream& gif) : m_gif(gif)
{
    if (gif.strip.pixels.empty())
        return;
    m_strip = Dib::View(gif.strip.pixels.data(), gif.strip.width, gif.strip.height, 8, gif.strip.width);
    if (gif.flags.useComposition) {
        m_buffer = Dib::Create(gif.actualWidth, gif.actualHeight, 24);
        if (gif.flags.needMask)
            m_mask = Dib::Create(gif.actualWidth, gif.actualHeight, 1);
        m_ok = !m_buffer.empty() && (!gif.flags.needMask || !m_mask.empty());
        if (!m_ok) {
            m_buffer = Dib{};
            m_mask = Dib{};
        }
    }
}

void Composer::setScales(float scaleX, float scaleY)
{
    m_scaleX = scaleX;
    m_scaleY = scaleY;
}

void Composer::LoadPalette(int32_t paletteIndex, int blackIndex)
{
    const size_t bank = size_t(paletteIndex) < m_gif.palettes.size() ? size_t(paletteIndex) : 0;
    if (m_gif.palettes.empty())
        return;
    m_strip.setColorTable(0, m_gif.palettes[bank]);
    if (blackIndex >= 0) {
        const gfx::Pixel black = gfx::kBlack;
        m_strip.setColorTable(blackIndex, std::span(&black, 1));
        m_paletteMemo = -1;
    } else {
        m_paletteMemo = paletteIndex;
    }
}

bool Composer::PaintFrame(int k, Dib& dc)
{
    Dib* const dcs[] = {&dc};
    return PaintFrameOnto(k, dcs);
}

bool Composer::PaintFrameOnto(int k, std::span<Dib* const> dcs)
{
    if (k <= 0 || k > m_gif.decodedFrames || m_strip.empty())
        return false;
    const bool stretched = m_scaleX != 1.0f || m_scaleY != 1.0f;
    const GifFrame& f = frame(k);
    if (hasComposition()) {
        ComposeFrame(k, false);
        DrawFrameTo(k, m_buffer, false, f.left, f.top, f.width, f.height);
        const int w = RoundHalfEven(double(m_gif.actualWidth) * m_scaleX);
        const int h = RoundHalfEven(double(m_gif.actualHeight) * m_scaleY);
        for (Dib* dc : dcs)
            DrawFrameTo(-k, *dc, stretched, 0, 0, w, h);
        if (f.disposal > 1)
            ComposeFrame(k, true);
    } else {
        const int x = RoundHalfEven(double(f.left) * m_scaleX), y = RoundHalfEven(double(f.top) * m_scaleY);
        const int w = RoundHalfEven(double(f.width) * m_scaleX), h = RoundHalfEven(double(f.height) * m_scaleY);
        for (Dib* dc : dcs)
            DrawFrameTo(k, *dc, stretched, x, y, w, h);
    }
    return true;
}

void Composer::DrawFrameTo(int k, Dib& dc, bool stretched, int x, int y, int w, int h)
{
    if (h <= 0 || w <= 0 || k == 0)
        return;
    const StretchMode mode = stretched ? StretchMode::Halftone : StretchMode::ColorOnColor;
    if (k < 0) {
        if (!hasComposition())
            return;
        const int aw = m_gif.actualWidth, ah = m_gif.actualHeight;
        if (!m_mask.empty()) {
            if (stretched) {
                gfx::StretchBlt(dc, x, y, w, h, m_mask, 0, 0, aw, ah, Rop::SrcAnd, mode);
                gfx::StretchBlt(dc, x, y, w, h, m_buffer, 0, 0, aw, ah, Rop::SrcPaint, mode);
            } else {
                gfx::MaskedBlt(dc, x, y, w, h, m_buffer, m_mask, 0, 0);
            }
        } else if (stretched) {
            gfx::StretchBlt(dc, x, y, w, h, m_buffer, 0, 0, aw, ah, Rop::SrcCopy, mode);
        } else {
            gfx::BitBlt(dc, x, y, w, h, m_buffer, 0, 0, Rop::SrcCopy);
        }
        return;
    }
    if (k > m_gif.decodedFrames || m_strip.empty())
        return;
    const GifFrame& f = frame(k);
    if (f.hasTransparency) {
        if (!stretched) {
            // One keyed pass: the key's table entry is never read, so the real table is loaded as is.
            if (m_paletteMemo != f.paletteIndex)
                LoadPalette(f.paletteIndex, -1);
            gfx::KeyedBlt(dc, x, y, w, h, m_strip, f.blockStart, 0, f.transparentIndex);
            return;
        }
        m_maskTable[f.transparentIndex] = gfx::kWhite;
        m_strip.setColorTable(0, m_maskTable);
        m_maskTable[f.transparentIndex] = gfx::kBlack;
        gfx::StretchBlt(dc, x, y, w, h, m_strip, f.blockStart, 0, f.width, f.height, Rop::SrcAnd, mode);
        LoadPalette(f.paletteIndex, f.transparentIndex);
        gfx::StretchBlt(dc, x, y, w, h, m_strip, f.blockStart, 0, f.width, f.height, Rop::SrcPaint, mode);
        return;
    }
    if (m_paletteMemo != f.paletteIndex)
        LoadPalette(f.paletteIndex, -1);
    if (stretched)
        gfx::StretchBlt(dc, x, y, w, h, m_strip, f.blockStart, 0, f.width, f.height, Rop::SrcCopy, mode);
    else
        gfx::BitBlt(dc, x, y, w, h, m_strip, f.blockStart, 0, Rop::SrcCopy);
}

void Composer::ComposeFrame(int k, bool afterShow)
{
    if (!hasComposition() || k <= 0 || k > m_gif.decodedFrames)
        return;
    const GifFrame& f = frame(k);
    // Frames lie inside the picture (the parser sizes it from them); clamp anyway so that the save
    // areas never reach outside the buffers.
    const int left = std::clamp(f.left, 0, m_buffer.width()), top = std::clamp(f.top, 0, m_buffer.height());
    const int width = std::min(f.width, m_buffer.width() - left), height = std::min(f.height, m_buffer.height() - top);
    const gfx::Rect rect{left, top, width, height};
    const size_t colourBytes = size_t(std::max(width, 0)) * 3;
    const int maskFirst = left >> 3, maskLast = width > 0 ? (left + width - 1) >> 3 : maskFirst - 1;
    const size_t maskBytes = size_t(maskLast - maskFirst + 1);

    if (!afterShow) {
        if (k == 1) {
            gfx::FillRect(m_buffer, {0, 0, m_buffer.width(), m_buffer.height()}, StockBrush::Black);
            if (!m_mask.empty())
                gfx::FillRect(m_mask, {0, 0, m_mask.width(), m_mask.height()}, StockBrush::White);
        }
        if (f.disposal == 3 && width > 0 && height > 0) {
            m_savedColour.resize(colourBytes * size_t(height));
            for (int y = 0; y < height; ++y)
                std::memcpy(&m_savedColour[size_t(y) * colourBytes], m_buffer.row(top + y) + size_t(left) * 3,
                            colourBytes);
            if (!m_mask.empty()) {
                m_savedMask.resize(maskBytes * size_t(height));
                for (int y = 0; y < height; ++y)
                    std::memcpy(&m_savedMask[size_t(y) * maskBytes], m_mask.row(top + y) + maskFirst, maskBytes);
            }
        }
        if (!m_mask.empty()) {
            if (f.hasTransparency) {
                m_maskTable[f.transparentIndex] = gfx::kWhite;
                m_strip.setColorTable(0, m_maskTable);
                m_maskTable[f.transparentIndex] = gfx::kBlack;
                gfx::BitBlt(m_mask, left, top, width, height, m_strip, f.blockStart, 0, Rop::SrcAnd);
            } else {
                // The all-black mask table copied over the rectangle: it becomes opaque.
                gfx::FillRect(m_mask, rect, StockBrush::Black);
            }
            m_paletteMemo = -1;
        }
        return;
    }
    if (f.disposal == 2) {
        gfx::FillRect(m_buffer, rect, StockBrush::Black);
        if (!m_mask.empty())
            gfx::FillRect(m_mask, rect, StockBrush::White);
    } else if (f.disposal == 3 && width > 0 && height > 0 && m_savedColour.size() >= colourBytes * size_t(height)) {
        for (int y = 0; y < height; ++y)
            std::memcpy(m_buffer.row(top + y) + size_t(left) * 3, &m_savedColour[size_t(y) * colourBytes],
                        colourBytes);
        if (!m_mask.empty() && m_savedMask.size() >= maskBytes * size_t(height)) {
            for (int y = 0; y < height; ++y)
                std::memcpy(m_mask.row(top + y) + maskFirst, &m_savedMask[size_t(y) * maskBytes], maskBytes);
        }
    }
}

void Composer::ApplyMirror(uint8_t otherStyle, bool firstOnly, bool withBuffers)
{
    int first = 1;
    if (m_mirrorStyle & kMirrorPending) {
        m_mirrorStyle = uint8_t(m_mirrorStyle & ~kMirrorPending);
        first = 2;
    }
    const uint8_t flip = uint8_t((m_mirrorStyle ^ otherStyle) & (kMirrorHorizontal | kMirrorVertical));
    if (flip == 0 || m_strip.empty())
        return;
    const bool horizontal = flip & kMirrorHorizontal, vertical = flip & kMirrorVertical;
    const int last = firstOnly ? 1 : std::min<int>(m_gif.count(), m_gif.decodedFrames);
    for (int i = first; i <= last; ++i) {
        GifFrame& f = m_gif.frames[size_t(i - 1)];
        const int sx = horizontal ? f.blockStart + f.width - 1 : f.blockStart;
        const int sy = vertical ? f.height - 1 : 0;
        gfx::StretchBlt(m_strip, f.blockStart, 0, f.width, f.height, m_strip, sx, sy,
                        horizontal ? -f.width : f.width, vertical ? -f.height : f.height, Rop::SrcCopy);
        if (horizontal)
            f.left = m_gif.actualWidth - (f.left + f.width);
        if (vertical)
            f.top = m_gif.actualHeight - (f.top + f.height);
    }
    if (withBuffers && hasComposition()) {
        const int aw = m_gif.actualWidth, ah = m_gif.actualHeight;
        for (Dib* buffer : {&m_buffer, &m_mask}) {
            if (buffer->empty())
                continue;
            gfx::StretchBlt(*buffer, 0, 0, aw, ah, *buffer, horizontal ? aw - 1 : 0, vertical ? ah - 1 : 0,
                            horizontal ? -aw : aw, vertical ? -ah : ah, Rop::SrcCopy);
        }
    }
}

void DrawDesignOutline(Dib& dc, int width, int height, gfx::Pixel colour)
{
    gfx::DottedRectangle(dc, 0, 0, width, height, colour);
}

std::vector<uint8_t> PaintFrameRgba(Composer& composer, int k, int width, int height)
{
    if (!gfx::ValidSize(width, height) || width == 0 || height == 0)
        return {};
    gfx::Surface black(width, height, gfx::kBlack), white(width, height, gfx::kWhite);
    Dib onBlack = Dib::View(black), onWhite = Dib::View(white);
    Dib* const dcs[] = {&onBlack, &onWhite};
    if (!composer.PaintFrameOnto(k, dcs))
        return {};
    std::vector<uint8_t> rgba(size_t(width) * size_t(height) * 4);
    uint8_t* out = rgba.data();
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x, out += 4) {
            const gfx::Pixel p = black.at(x, y);
            const bool painted = p == white.at(x, y);
            out[0] = painted ? gfx::Red(p) : 0;
            out[1] = painted ? gfx::Green(p) : 0;
            out[2] = painted ? gfx::Blue(p) : 0;
            out[3] = painted ? 255 : 0;
        }
    }
    return rgba;
}

}  // namespace pap::anigif
