// Text in a box over a fixed-width fake text service: where lines break, where they are placed, the
// disabled look and the clipping to the box.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/utf.h"
#include "forms/text_layout.h"

namespace pap {
namespace {

// Every character advances 8 pixels; a non-blank one draws a solid 6 × 10 block one pixel in from its
// cell. The font is 10 pixels above and 2 below the baseline.
class FixedWidthText : public TextService {
public:
    static constexpr int kAdvance = 8;

    FontMetrics metrics(const FontSpec&) override { return {10, 2, 0}; }
    int measure(const FontSpec&, std::string_view utf8) override { return count(utf8) * kAdvance; }
    void drawLine(gfx::Surface& target, gfx::Rect clip, int x, int top, const FontSpec&, std::string_view utf8,
                  gfx::Pixel colour) override
    {
        for (size_t pos = 0; pos < utf8.size(); x += kAdvance) {
            bool blank = utf8[pos] == ' ';
            pos += Utf8CharLength(utf8, pos);
            for (int py = top; py < top + 10 && !blank; ++py) {
                for (int px = x + 1; px < x + 7; ++px) {
                    if (px >= clip.x && px < clip.x + clip.width && py >= clip.y && py < clip.y + clip.height &&
                        px >= 0 && py >= 0 && px < target.width() && py < target.height())
                        target.set(px, py, colour);
                }
            }
        }
    }

private:
    static int count(std::string_view utf8)
    {
        int n = 0;
        for (size_t pos = 0; pos < utf8.size(); pos += Utf8CharLength(utf8, pos))
            ++n;
        return n;
    }
};

std::vector<std::string> Lines(std::string_view text, int width, bool wrap)
{
    FixedWidthText service;
    std::vector<std::string> out;
    for (std::string_view line : TextBoxLines(service, FontSpec{}, text, width, wrap))
        out.emplace_back(line);
    return out;
}

TEST(TextLayout, LinesBreakAtLineBreaksAndWrapToTheWidth)
{
    struct Case {
        const char* text;
        int width;
        bool wrap;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"one\r\ntwo\nthree", 200, false, {"one", "two", "three"}},
        {"a\rb\n\nc", 200, true, {"a", "b", "", "c"}},
        {"", 200, true, {""}},
        {"too long for the box", 40, false, {"too long for the box"}},
        // 5 characters fit in 40 pixels; the blanks at a break go.
        {"ab cd  efghi j", 40, true, {"ab cd", "efghi", "j"}},
        {"ab cdef", 40, true, {"ab", "cdef"}},
        {"abc de", 48, true, {"abc de"}},
        // A word wider than the box is broken by character.
        {"abcdefghijkl", 40, true, {"abcde", "fghij", "kl"}},
        {"x abcdefghijkl", 40, true, {"x", "abcde", "fghij", "kl"}},
        {"abc", 3, true, {"a", "b", "c"}},
        // Japanese breaks between any two characters.
        {"曲目をリピート", 24, true, {"曲目を", "リピー", "ト"}},
        {"ab曲目", 24, true, {"ab曲", "目"}},
        {"曲 目を", 16, true, {"曲", "目を"}},
        {"abc 曲目を", 48, true, {"abc 曲目", "を"}},
        {"曲目abcdef", 40, true, {"曲目", "abcde", "f"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Lines(c.text, c.width, c.wrap), c.lines) << c.text << " in " << c.width;
}

// The columns of `surface` in which row `y` has `colour`: first and last, or -1 when none.
std::pair<int, int> InkColumns(const gfx::Surface& surface, int y, gfx::Pixel colour)
{
    int first = -1, last = -1;
    for (int x = 0; x < surface.width(); ++x) {
        if (surface.at(x, y) == colour) {
            first = first < 0 ? x : first;
            last = x;
        }
    }
    return {first, last};
}

TEST(TextLayout, EachLineIsAlignedInTheBox)
{
    struct Case {
        TextAlign align;
        int firstLineStart;   // "abc": 24 pixels wide, ink from 1 to 22
        int secondLineStart;  // "de": 16 pixels wide
    };
    // The box is 60 pixels wide from x = 10.
    const Case cases[] = {
        {TextAlign::Left, 11, 11},
        {TextAlign::Center, 10 + 18 + 1, 10 + 22 + 1},
        {TextAlign::Right, 10 + 36 + 1, 10 + 44 + 1},
    };
    for (const Case& c : cases) {
        FixedWidthText service;
        gfx::Surface surface(80, 40, gfx::kWhite);
        DrawTextBox(service, surface, {10, 5, 60, 30}, FontSpec{}, "abc\nde", gfx::kBlack, c.align, false, true);
        EXPECT_EQ(InkColumns(surface, 5, gfx::kBlack).first, c.firstLineStart) << static_cast<int>(c.align);
        // The second line starts one font height (12) lower.
        EXPECT_EQ(InkColumns(surface, 17, gfx::kBlack).first, c.secondLineStart) << static_cast<int>(c.align);
        EXPECT_EQ(InkColumns(surface, 16, gfx::kBlack).first, -1);
    }
}

TEST(TextLayout, DisabledTextHasAWhiteCopyBelowRightAndGreyInPlace)
{
    FixedWidthText service;
    gfx::Surface surface(40, 20, gfx::Rgb(0x40, 0x40, 0x40));
    DrawTextBox(service, surface, {0, 0, 40, 20}, FontSpec{}, "a", gfx::kBlack, TextAlign::Left, false, false);
    // The grey block covers columns 1-6 of rows 0-9; the white one shows at its right and bottom edges.
    EXPECT_EQ(surface.at(1, 0), kDisabledText);
    EXPECT_EQ(surface.at(6, 9), kDisabledText);
    EXPECT_EQ(surface.at(7, 5), kDisabledHighlight);
    EXPECT_EQ(surface.at(3, 10), kDisabledHighlight);
    EXPECT_EQ(surface.at(1, 10), gfx::Rgb(0x40, 0x40, 0x40));
    EXPECT_EQ(InkColumns(surface, 5, gfx::kBlack).first, -1);
}

TEST(TextLayout, TextIsClippedToTheBox)
{
    FixedWidthText service;
    gfx::Surface surface(60, 40, gfx::kWhite);
    const gfx::Rect box{5, 5, 20, 14};  // a line and a bit
    DrawTextBox(service, surface, box, FontSpec{}, "abcdef\nghi\njkl", gfx::kBlack, TextAlign::Left, true, false);
    for (int y = 0; y < surface.height(); ++y) {
        for (int x = 0; x < surface.width(); ++x) {
            bool inside = x >= box.x && x < box.x + box.width && y >= box.y && y < box.y + box.height;
            if (!inside) {
                ASSERT_EQ(surface.at(x, y), gfx::kWhite) << x << "," << y;
            }
        }
    }
    // The second line's top rows (from y = 17) show inside the box.
    EXPECT_EQ(surface.at(6, 18), kDisabledText);
}

TEST(TextLayout, HeightAndWidthFollowTheLines)
{
    FixedWidthText service;
    EXPECT_EQ(TextBoxHeight(service, FontSpec{}, "abcdefghijkl", 40, true), 3 * 12);
    EXPECT_EQ(TextBoxHeight(service, FontSpec{}, "abcdefghijkl", 40, false), 12);
    EXPECT_EQ(TextBoxHeight(service, FontSpec{}, "a\r\nb", 40, true), 2 * 12);
    EXPECT_EQ(TextBoxWidth(service, FontSpec{}, "ab\nabcd\nabc"), 4 * 8);
}

}  // namespace
}  // namespace pap
