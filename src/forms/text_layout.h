#pragma once

// Text in a box as labels and buttons draw it: lines split at line breaks and, with word wrap, broken
// to the box's width; each line aligned in the box; the greyed look of disabled text. Built on the
// platform's text service.

#include <string>
#include <string_view>
#include <vector>

#include "gfx/surface.h"
#include "platform/text.h"

namespace pap {

// A label's Alignment values.
enum class TextAlign { Left = 0, Right = 1, Center = 2 };

// The colours of disabled text: a white copy one pixel right and down, the grey text over it.
constexpr gfx::Pixel kDisabledHighlight = gfx::kWhite;
constexpr gfx::Pixel kDisabledText = gfx::Rgb(0xA0, 0xA0, 0xA0);

// The lines of `utf8` as they are drawn in a box `width` pixels wide: split at "\r\n", "\n" and "\r";
// with `wordWrap`, each line broken where it would pass the width: after the last blank that keeps it
// within the width (the blanks at the break are dropped), else between two characters of which one is
// ideographic (Japanese has no blanks), else (a word wider than the box) after the last character that
// fits, at least one character per line.
std::vector<std::string_view> TextBoxLines(TextService& text, const FontSpec& font, std::string_view utf8, int width,
                                           bool wordWrap);

// Draws `utf8` into `box` of `target`: the lines of TextBoxLines from the top of the box, one font
// height apart, each aligned in the box, clipped to the box. Disabled text (`enabled` false) has the
// greyed look (kDisabledHighlight one pixel right and down, then kDisabledText in place) whatever
// `colour` is.
void DrawTextBox(TextService& text, gfx::Surface& target, gfx::Rect box, const FontSpec& font, std::string_view utf8,
                 gfx::Pixel colour, TextAlign align, bool wordWrap, bool enabled);

// The height in pixels that the lines of `utf8` take in a box `width` pixels wide (what an
// automatically sized label grows to): the number of lines times the font's height.
int TextBoxHeight(TextService& text, const FontSpec& font, std::string_view utf8, int width, bool wordWrap);

// The width of the widest line without wrapping (what an automatically sized label grows to).
int TextBoxWidth(TextService& text, const FontSpec& font, std::string_view utf8);

}  // namespace pap
