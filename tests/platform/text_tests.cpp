// The platform's text service with the real fonts: the dialog's Japanese caption shows a real glyph in
// each character's advance cell, and text in a box lands where its measures say.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/utf.h"
#include "forms/text_layout.h"
#include "platform/text.h"

namespace pap {
namespace {

const FontSpec kDialogFont{"ＭＳ Ｐゴシック", 9.75, 400, false, false, false, 128};
const FontSpec kAsciiNameFont{"MS PGothic", 9.75, 400, false, false, false, 128};
constexpr const char* kCaption = "曲目をリピート";

// The ink's bounding box on a white surface; width 0 when there is none.
gfx::Rect InkBox(const gfx::Surface& surface, gfx::Rect area)
{
    int left = area.x + area.width, right = area.x - 1, top = area.y + area.height, bottom = area.y - 1;
    for (int y = area.y; y < area.y + area.height; ++y) {
        for (int x = area.x; x < area.x + area.width; ++x) {
            if (surface.at(x, y) != gfx::kWhite) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
        }
    }
    if (right < left)
        return {};
    return {left, top, right - left + 1, bottom - top + 1};
}

gfx::Rect Whole(const gfx::Surface& s) { return {0, 0, s.width(), s.height()}; }

std::vector<std::string> Characters(std::string_view utf8)
{
    std::vector<std::string> out;
    for (size_t pos = 0; pos < utf8.size();) {
        size_t length = Utf8CharLength(utf8, pos);
        out.emplace_back(utf8.substr(pos, length));
        pos += length;
    }
    return out;
}

// One character drawn alone at a fixed place: its pixels.
gfx::Surface Alone(TextService& text, const FontSpec& font, const std::string& character)
{
    gfx::Surface surface(40, 30, gfx::kWhite);
    text.drawLine(surface, Whole(surface), 10, 5, font, character, gfx::kBlack);
    return surface;
}

TEST(Text, EveryJapaneseCharacterDrawsARealGlyphInItsOwnCell)
{
    auto text = MakeTextService(96);
    for (const FontSpec& font : {kDialogFont, kAsciiNameFont}) {
        SCOPED_TRACE(font.name);
        FontMetrics metrics = text->metrics(font);
        EXPECT_GE(metrics.height(), 12);
        EXPECT_LE(metrics.height(), 16);

        gfx::Surface missing = Alone(*text, font, "\xEE\x80\x80");  // U+E000, which no face has
        gfx::Surface line(200, 30, gfx::kWhite);
        const int x0 = 5, top = 5;
        text->drawLine(line, Whole(line), x0, top, font, kCaption, gfx::kBlack);
        std::string prefix;
        for (const std::string& character : Characters(kCaption)) {
            SCOPED_TRACE(character);
            int start = x0 + text->measure(font, prefix);
            prefix += character;
            int end = x0 + text->measure(font, prefix);
            ASSERT_GT(end, start);
            gfx::Rect ink = InkBox(line, {start, 0, end - start, line.height()});
            EXPECT_GT(ink.width, 0);
            gfx::Surface alone = Alone(*text, font, character);
            EXPECT_NE(alone, missing) << "drawn as the missing-glyph shape";
            EXPECT_GT(InkBox(alone, Whole(alone)).width, 0);
        }
        // The whole line's ink lies within its advance and the font's height.
        gfx::Rect ink = InkBox(line, Whole(line));
        EXPECT_GE(ink.x, x0 - 1);
        EXPECT_LE(ink.x + ink.width, x0 + text->measure(font, kCaption) + 1);
        EXPECT_GE(ink.y, top);
        EXPECT_LE(ink.y + ink.height, top + metrics.height());
    }
}

TEST(Text, MeasureAgreesWithTheInk)
{
    auto text = MakeTextService(96);
    for (const char* sample : {"One", "Settings", kCaption}) {
        gfx::Surface surface(300, 30, gfx::kWhite);
        text->drawLine(surface, Whole(surface), 10, 5, kDialogFont, sample, gfx::kBlack);
        gfx::Rect ink = InkBox(surface, Whole(surface));
        int advance = text->measure(kDialogFont, sample);
        // Side bearings: the ink is a little narrower than the advance, never much.
        EXPECT_LE(ink.width, advance + 1) << sample;
        EXPECT_GE(ink.width, advance - 4) << sample;
        EXPECT_LE(std::abs(ink.x - 10), 2) << sample;
    }
}

TEST(Text, AlignmentPlacesTheInkInTheBox)
{
    auto text = MakeTextService(96);
    const gfx::Rect box{10, 10, 81, 25};
    struct Case {
        TextAlign align;
        const char* caption;
    };
    for (const Case& c : {Case{TextAlign::Center, "One"}, Case{TextAlign::Center, kCaption},
                          Case{TextAlign::Right, "One"}, Case{TextAlign::Left, "One"}}) {
        SCOPED_TRACE(std::string(c.caption) + " " + std::to_string(static_cast<int>(c.align)));
        gfx::Surface surface(120, 50, gfx::kWhite);
        DrawTextBox(*text, surface, box, kDialogFont, c.caption, gfx::kBlack, c.align, false, true);
        gfx::Rect ink = InkBox(surface, Whole(surface));
        ASSERT_GT(ink.width, 0);
        switch (c.align) {
        case TextAlign::Center:
            EXPECT_LE(std::abs((2 * ink.x + ink.width) - (2 * box.x + box.width)), 4);
            break;
        case TextAlign::Right: EXPECT_LE(std::abs((ink.x + ink.width) - (box.x + box.width)), 2); break;
        case TextAlign::Left: EXPECT_LE(std::abs(ink.x - box.x), 2); break;
        }
    }
}

TEST(Text, WrappedJapaneseStaysInTheBoxOnSeveralLines)
{
    auto text = MakeTextService(96);
    const gfx::Rect box{4, 4, 40, 60};
    gfx::Surface surface(60, 80, gfx::kWhite);
    DrawTextBox(*text, surface, box, kDialogFont, kCaption, gfx::kBlack, TextAlign::Left, true, true);
    int lines = static_cast<int>(TextBoxLines(*text, kDialogFont, kCaption, box.width, true).size());
    EXPECT_GE(lines, 3);
    EXPECT_EQ(TextBoxHeight(*text, kDialogFont, kCaption, box.width, true), lines * text->metrics(kDialogFont).height());
    gfx::Rect ink = InkBox(surface, Whole(surface));
    EXPECT_LE(ink.x + ink.width, box.x + box.width);
    EXPECT_GT(ink.height, (lines - 1) * text->metrics(kDialogFont).height());
    EXPECT_LE(ink.y + ink.height, box.y + TextBoxHeight(*text, kDialogFont, kCaption, box.width, true));
}

TEST(Text, DisabledTextShowsTheWhiteAndTheGreyCopies)
{
    auto text = MakeTextService(96);
    const gfx::Pixel back = gfx::Rgb(0x40, 0x40, 0x40);
    gfx::Surface surface(120, 40, back);
    DrawTextBox(*text, surface, {5, 5, 100, 30}, kDialogFont, kCaption, gfx::kBlack, TextAlign::Left, false, false);
    // Over a dark ground only the white copy makes a pixel nearly white; the grey copy's fully covered
    // pixels are the grey (antialiasing leaves a little tolerance). No ink of the text's own colour.
    int white = 0, grey = 0, dark = 0;
    for (int y = 0; y < surface.height(); ++y) {
        for (int x = 0; x < surface.width(); ++x) {
            gfx::Pixel p = surface.at(x, y);
            int low = std::min({gfx::Red(p), gfx::Green(p), gfx::Blue(p)});
            int high = std::max({gfx::Red(p), gfx::Green(p), gfx::Blue(p)});
            white += low >= 0xE0;
            grey += low >= 0x98 && high <= 0xA8;
            dark += high < 0x40;
        }
    }
    EXPECT_GE(white, 10);
    EXPECT_GE(grey, 20);
    EXPECT_EQ(dark, 0);
}

TEST(Text, BoldIsWiderThanRegular)
{
    auto text = MakeTextService(96);
    FontSpec bold = kDialogFont;
    bold.weight = 700;
    gfx::Surface regularInk(200, 30, gfx::kWhite), boldInk(200, 30, gfx::kWhite);
    text->drawLine(regularInk, Whole(regularInk), 5, 5, kDialogFont, "Hill", gfx::kBlack);
    text->drawLine(boldInk, Whole(boldInk), 5, 5, bold, "Hill", gfx::kBlack);
    auto darkPixels = [](const gfx::Surface& s) {
        return std::count_if(s.data(), s.data() + s.width() * s.height(), [](gfx::Pixel p) { return gfx::Red(p) < 128; });
    };
    EXPECT_GT(darkPixels(boldInk), darkPixels(regularInk));
    EXPECT_GT(text->measure(bold, "Hill"), text->measure(kDialogFont, "Hill"));
}

}  // namespace
}  // namespace pap
