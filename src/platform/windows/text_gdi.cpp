// Text with GDI.
//
// Implemented: fonts made with CreateFontW as a font object makes them (height -size × dpi / 72 rounded,
// weight, italic, underline, strikethrough, character set, antialiased quality) and cached; metrics from
// GetTextMetricsW, widths from GetTextExtentPoint32W; lines drawn with ExtTextOutW in white on black into
// a 32-bit DIB section, whose channels then serve as the coverage for blending the wanted colour over
// the surface (so antialiased, and ClearType, edges blend like GDI's own).

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

#include "platform/text.h"
#include "wide_text.h"

namespace pap {

namespace {

class GdiTextService final : public TextService {
public:
    GdiTextService(HDC dc, int dpi) : m_dc(dc), m_dpi(dpi) {}

    ~GdiTextService() override
    {
        SelectObject(m_dc, m_defaultFont);
        SelectObject(m_dc, m_defaultBitmap);
        for (auto& [key, font] : m_fonts)
            DeleteObject(font);
        if (m_bitmap)
            DeleteObject(m_bitmap);
        DeleteDC(m_dc);
    }

    FontMetrics metrics(const FontSpec& wanted) override
    {
        select(wanted);
        TEXTMETRICW metrics{};
        if (!GetTextMetricsW(m_dc, &metrics))
            return {};
        return {static_cast<int>(metrics.tmAscent), static_cast<int>(metrics.tmDescent),
                static_cast<int>(metrics.tmExternalLeading)};
    }

    int measure(const FontSpec& wanted, std::string_view utf8) override
    {
        std::wstring wide = WideFromUtf8(utf8);
        if (wide.empty())
            return 0;
        select(wanted);
        SIZE size{};
        if (!GetTextExtentPoint32W(m_dc, wide.data(), static_cast<int>(wide.size()), &size))
            return 0;
        return static_cast<int>(size.cx);
    }

    void drawLine(gfx::Surface& target, gfx::Rect clip, int x, int top, const FontSpec& wanted,
                  std::string_view utf8, gfx::Pixel colour) override
    {
        std::wstring wide = WideFromUtf8(utf8);
        if (wide.empty())
            return;
        select(wanted);
        TEXTMETRICW metrics{};
        SIZE size{};
        if (!GetTextMetricsW(m_dc, &metrics) ||
            !GetTextExtentPoint32W(m_dc, wide.data(), static_cast<int>(wide.size()), &size))
            return;
        // The ink lies within the advance box widened by overhangs (italic, bold), which stay below a
        // font height on either side.
        int margin = static_cast<int>(metrics.tmHeight);
        int left = std::max({clip.x, 0, x - margin});
        int right = std::min({clip.x + clip.width, target.width(), x + static_cast<int>(size.cx) + margin});
        int top0 = std::max({clip.y, 0, top});
        int bottom = std::min({clip.y + clip.height, target.height(), top + static_cast<int>(metrics.tmHeight)});
        if (left >= right || top0 >= bottom)
            return;
        int width = right - left, height = bottom - top0;
        uint32_t* pixels = scratch(width, height);
        if (!pixels)
            return;
        std::fill(pixels, pixels + static_cast<size_t>(m_scratchWidth) * static_cast<size_t>(height), 0u);

        SetTextColor(m_dc, RGB(255, 255, 255));
        SetBkMode(m_dc, TRANSPARENT);
        SetTextAlign(m_dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
        ExtTextOutW(m_dc, x - left, top - top0, 0, nullptr, wide.data(), static_cast<UINT>(wide.size()), nullptr);
        GdiFlush();

        for (int row = 0; row < height; ++row) {
            const uint32_t* coverage = pixels + static_cast<size_t>(row) * static_cast<size_t>(m_scratchWidth);
            gfx::Pixel* out = target.row(top0 + row) + left;
            for (int column = 0; column < width; ++column) {
                uint32_t c = coverage[column] & 0xFFFFFF;
                if (c == 0)
                    continue;
                auto mix = [](uint8_t from, uint8_t to, unsigned alpha) {
                    return static_cast<uint8_t>((from * (255 - alpha) + to * alpha + 127) / 255);
                };
                gfx::Pixel under = out[column];
                out[column] = gfx::Rgb(mix(gfx::Red(under), gfx::Red(colour), gfx::Red(c)),
                                       mix(gfx::Green(under), gfx::Green(colour), gfx::Green(c)),
                                       mix(gfx::Blue(under), gfx::Blue(colour), gfx::Blue(c)));
            }
        }
    }

private:
    using Key = std::tuple<std::string, int, int, bool, bool, bool, int>;

    // Selects the font of `wanted` into the memory DC, creating it on first use.
    void select(const FontSpec& wanted)
    {
        int pixels = static_cast<int>(std::lround(wanted.sizePoints * m_dpi / 72.0));
        Key key{wanted.name, pixels, wanted.weight, wanted.italic, wanted.underline, wanted.strikethrough, wanted.charset};
        auto found = m_fonts.find(key);
        if (found == m_fonts.end()) {
            std::wstring face = WideFromUtf8(wanted.name);
            face.resize(std::min<size_t>(face.size(), LF_FACESIZE - 1));
            HFONT font = CreateFontW(-pixels, 0, 0, 0, wanted.weight, wanted.italic, wanted.underline, wanted.strikethrough,
                                     static_cast<DWORD>(wanted.charset & 0xFF), OUT_DEFAULT_PRECIS,
                                     CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                     face.c_str());
            if (!font)
                font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
            found = m_fonts.emplace(key, font).first;
        }
        HGDIOBJ previous = SelectObject(m_dc, found->second);
        if (!m_defaultFont)
            m_defaultFont = previous;
    }

    // A top-down 32-bit DIB section of at least width × height selected into the DC; its pixels.
    uint32_t* scratch(int width, int height)
    {
        if (m_bitmap && width <= m_scratchWidth && height <= m_scratchHeight)
            return m_scratchPixels;
        int newWidth = std::max(width, m_scratchWidth), newHeight = std::max(height, m_scratchHeight);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = newWidth;
        info.bmiHeader.biHeight = -newHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(m_dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!bitmap)
            return nullptr;
        HGDIOBJ previous = SelectObject(m_dc, bitmap);
        if (m_bitmap)
            DeleteObject(m_bitmap);
        else
            m_defaultBitmap = previous;
        m_bitmap = bitmap;
        m_scratchWidth = newWidth;
        m_scratchHeight = newHeight;
        m_scratchPixels = static_cast<uint32_t*>(bits);
        return m_scratchPixels;
    }

    HDC m_dc;
    int m_dpi;
    std::map<Key, HFONT> m_fonts;
    HGDIOBJ m_defaultFont = nullptr;
    HGDIOBJ m_defaultBitmap = nullptr;
    HBITMAP m_bitmap = nullptr;
    int m_scratchWidth = 0;
    int m_scratchHeight = 0;
    uint32_t* m_scratchPixels = nullptr;
};

// No memory DC: nothing is drawn, everything measures 0.
class NoTextService final : public TextService {
public:
    FontMetrics metrics(const FontSpec&) override { return {}; }
    int measure(const FontSpec&, std::string_view) override { return 0; }
    void drawLine(gfx::Surface&, gfx::Rect, int, int, const FontSpec&, std::string_view, gfx::Pixel) override {}
};

}  // namespace

std::unique_ptr<TextService> MakeTextService(int dpi)
{
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc)
        return std::make_unique<NoTextService>();
    return std::make_unique<GdiTextService>(dc, dpi > 0 ? dpi : 96);
}

}  // namespace pap
