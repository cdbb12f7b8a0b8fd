#pragma once

// Text as the forms draw it: one line of UTF-8 text in a named face, point size, weight and character
// set, measured and drawn into a gfx surface. Layout (alignment, word wrap, the greyed look) is the
// caller's, built on these calls. Windows draws with GDI; Linux with FreeType and fontconfig, where the
// faces that Windows programs name (the MS gothic faces, "MS Sans Serif", "Tahoma") resolve to an
// installed face that has their glyphs.

#include <memory>
#include <string>
#include <string_view>

#include "gfx/surface.h"

namespace pap {

// A font as the forms runtime's font object holds it.
struct FontSpec {
    std::string name = "MS Sans Serif";
    double sizePoints = 8.25;
    int weight = 400;  // 400 normal, 700 bold
    bool italic = false;
    bool underline = false;
    bool strikethrough = false;
    int charset = 0;  // 0 ANSI, 128 Shift_JIS, 1 default

    bool operator==(const FontSpec&) const = default;
};

// A font's vertical metrics in pixels: the line's height is ascent + descent (+ external leading
// between lines).
struct FontMetrics {
    int ascent = 0;
    int descent = 0;
    int externalLeading = 0;
    int height() const { return ascent + descent; }
};

class TextService {
public:
    virtual ~TextService() = default;

    virtual FontMetrics metrics(const FontSpec& font) = 0;
    // The advance width of one line of text in pixels (the width a left-aligned line takes).
    virtual int measure(const FontSpec& font, std::string_view utf8) = 0;
    // Draws one line with its top-left corner (top of the ascent, start of the advance) at (x, top) in
    // `colour`, blending antialiased edges over what is there, clipped to `clip` and to the surface.
    virtual void drawLine(gfx::Surface& target, gfx::Rect clip, int x, int top, const FontSpec& font,
                          std::string_view utf8, gfx::Pixel colour) = 0;
};

// The text service of this platform at `dpi` pixels per inch (points to pixels: size × dpi / 72). It
// needs no display. Never null: a platform without fonts draws nothing and measures 0.
std::unique_ptr<TextService> MakeTextService(int dpi = 96);

}  // namespace pap
