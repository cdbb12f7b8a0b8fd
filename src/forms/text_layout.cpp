#include "forms/text_layout.h"

#include <algorithm>

#include "base/utf.h"

namespace pap {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Characters between which a line may break without a blank: the CJK blocks, kana and full-width
// forms onwards.
bool IsIdeographic(std::string_view text, size_t pos)
{
    char32_t code = DecodeUtf8Char(text, pos);
    return code >= 0x2E80 && code != 0xFFFD;
}

// Breaks one paragraph (no line breaks in it) into lines that fit `width`.
void WrapParagraph(TextService& text, const FontSpec& font, std::string_view paragraph, int width,
                   std::vector<std::string_view>& lines)
{
    size_t start = 0;
    while (start < paragraph.size()) {
        size_t pos = start;
        size_t breakEnd = std::string_view::npos, breakNext = 0;
        bool previousIdeographic = false;
        bool overflow = false;
        while (pos < paragraph.size()) {
            size_t length = Utf8CharLength(paragraph, pos);
            bool blank = IsBlank(paragraph[pos]);
            bool ideographic = IsIdeographic(paragraph, pos);
            if (pos > start) {
                if (blank && !IsBlank(paragraph[pos - 1])) {
                    breakEnd = pos;
                    breakNext = pos;
                    while (breakNext < paragraph.size() && IsBlank(paragraph[breakNext]))
                        ++breakNext;
                } else if (!blank && !IsBlank(paragraph[pos - 1]) && (ideographic || previousIdeographic)) {
                    breakEnd = pos;
                    breakNext = pos;
                }
            }
            if (text.measure(font, paragraph.substr(start, pos + length - start)) > width) {
                overflow = true;
                break;
            }
            previousIdeographic = ideographic;
            pos += length;
        }
        if (!overflow) {
            lines.push_back(paragraph.substr(start));
            return;
        }
        if (breakEnd == std::string_view::npos) {
            // No break fits: break the word after its last character that fits (one at least).
            breakEnd = pos > start ? pos : start + Utf8CharLength(paragraph, start);
            breakNext = breakEnd;
        }
        lines.push_back(paragraph.substr(start, breakEnd - start));
        start = breakNext;
    }
}

}  // namespace

std::vector<std::string_view> TextBoxLines(TextService& text, const FontSpec& font, std::string_view utf8, int width,
                                           bool wordWrap)
{
    std::vector<std::string_view> lines;
    size_t start = 0;
    for (;;) {
        size_t end = utf8.find_first_of("\r\n", start);
        std::string_view paragraph = utf8.substr(start, end == std::string_view::npos ? end : end - start);
        if (!wordWrap || paragraph.empty())
            lines.push_back(paragraph);
        else
            WrapParagraph(text, font, paragraph, width, lines);
        if (end == std::string_view::npos)
            break;
        start = end + (utf8.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return lines;
}

void DrawTextBox(TextService& text, gfx::Surface& target, gfx::Rect box, const FontSpec& font, std::string_view utf8,
                 gfx::Pixel colour, TextAlign align, bool wordWrap, bool enabled)
{
    if (box.width <= 0 || box.height <= 0)
        return;
    int lineHeight = text.metrics(font).height();
    int top = box.y;
    for (std::string_view line : TextBoxLines(text, font, utf8, box.width, wordWrap)) {
        if (top >= box.y + box.height)
            break;
        int x = box.x;
        if (align != TextAlign::Left) {
            int spare = box.width - text.measure(font, line);
            x += align == TextAlign::Right ? spare : spare / 2;
        }
        if (enabled) {
            text.drawLine(target, box, x, top, font, line, colour);
        } else {
            text.drawLine(target, box, x + 1, top + 1, font, line, kDisabledHighlight);
            text.drawLine(target, box, x, top, font, line, kDisabledText);
        }
        top += lineHeight;
    }
}

int TextBoxHeight(TextService& text, const FontSpec& font, std::string_view utf8, int width, bool wordWrap)
{
    auto lines = TextBoxLines(text, font, utf8, width, wordWrap);
    return static_cast<int>(lines.size()) * text.metrics(font).height();
}

int TextBoxWidth(TextService& text, const FontSpec& font, std::string_view utf8)
{
    int widest = 0;
    for (std::string_view line : TextBoxLines(text, font, utf8, 0, false))
        widest = std::max(widest, text.measure(font, line));
    return widest;
}

}  // namespace pap
