// The vertical gradient fill (the Command button's background) and PaintPicture's section copies.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gfx/dib.h"
#include "gfx/gradient.h"
#include "gfx/raster.h"

namespace pap::gfx {
namespace {

constexpr Pixel kUntouched = 0x123456;
constexpr TriVertex kWhite16{0, 0, 0xFF00, 0xFF00, 0xFF00, 0};
constexpr TriVertex kLavender16{0, 0, 0xC600, 0xC500, 0xD700, 0};

TriVertex At(TriVertex v, int x, int y)
{
    v.x = x;
    v.y = y;
    return v;
}

bool Fill(Surface& surface, TriVertex a, TriVertex b)
{
    Dib dib = Dib::View(surface);
    const TriVertex vertices[] = {a, b};
    const GradientRect mesh[] = {{0, 1}};
    return GradientFillRectV(dib, vertices, mesh);
}

struct GradientCase {
    const char* name;
    TriVertex a;
    TriVertex b;
    Pixel first;   // row 0
    Pixel middle;  // row 12
    Pixel last;    // row 23, the last one filled
};

// An 81 x 25 button filled from (0, 0) to (80, 24): rows 0 .. 23 and columns 0 .. 79 are painted,
// row y at y / 24 of the way from the upper vertex's colour to the lower one's.
TEST(GradientTest, ButtonGradientInEitherDirection)
{
    const GradientCase cases[] = {
        {"white above", At(kWhite16, 0, 0), At(kLavender16, 80, 24), 0xFFFFFF, 0xE2E2EB, 0xC8C7D8},
        {"lavender above (hover)", At(kLavender16, 0, 0), At(kWhite16, 80, 24), 0xC6C5D7, 0xE2E2EB, 0xFCFCFD},
        {"vertices given bottom-right first", At(kLavender16, 80, 24), At(kWhite16, 0, 0), 0xFFFFFF, 0xE2E2EB,
         0xC8C7D8},
        {"vertices given top-right and bottom-left", At(kWhite16, 80, 0), At(kLavender16, 0, 24), 0xFFFFFF,
         0xE2E2EB, 0xC8C7D8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Surface surface(81, 25, kUntouched);
        ASSERT_TRUE(Fill(surface, c.a, c.b));
        for (int y = 0; y < 24; ++y) {
            for (int x = 0; x < 80; ++x)
                ASSERT_EQ(surface.at(x, y), surface.at(0, y)) << x << ", " << y;
            ASSERT_EQ(surface.at(80, y), kUntouched) << y;
        }
        for (int x = 0; x < 81; ++x)
            ASSERT_EQ(surface.at(x, 24), kUntouched) << x;
        EXPECT_EQ(surface.at(0, 0), c.first);
        EXPECT_EQ(surface.at(0, 12), c.middle);
        EXPECT_EQ(surface.at(0, 23), c.last);
        // Each channel moves one way from the first row to the last.
        const int step = Red(c.first) > Red(c.last) ? -1 : 1;
        for (int y = 1; y < 24; ++y) {
            const Pixel above = surface.at(0, y - 1), here = surface.at(0, y);
            for (auto channel : {Red, Green, Blue})
                EXPECT_GE(step * (channel(here) - channel(above)), 0) << y;
        }
    }
}

// Red 0 .. 0x2300 over 35 rows: the red byte of row y is y - top.
TEST(GradientTest, ClippedRowsKeepTheirPlaceInTheGradient)
{
    const TriVertex upper{-10, -5, 0, 0, 0, 0}, lower{20, 30, 0x2300, 0, 0, 0};
    Surface surface(10, 10, kUntouched);
    ASSERT_TRUE(Fill(surface, upper, lower));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            ASSERT_EQ(surface.at(x, y), Rgb(uint8_t(y + 5), 0, 0)) << x << ", " << y;

    // Wholly off the target: nothing drawn.
    Surface off(10, 10, kUntouched);
    ASSERT_TRUE(Fill(off, At(kWhite16, 10, 0), At(kLavender16, 20, 5)));
    EXPECT_EQ(off, Surface(10, 10, kUntouched));
}

TEST(GradientTest, OneRowAndEmptyRectangles)
{
    Surface surface(8, 8, kUntouched);
    ASSERT_TRUE(Fill(surface, At(kLavender16, 2, 3), At(kWhite16, 6, 4)));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(surface.at(x, y), y == 3 && x >= 2 && x < 6 ? 0xC6C5D7 : kUntouched) << x << ", " << y;

    Surface flat(8, 8, kUntouched);
    ASSERT_TRUE(Fill(flat, At(kWhite16, 2, 3), At(kLavender16, 6, 3)));
    ASSERT_TRUE(Fill(flat, At(kWhite16, 2, 3), At(kLavender16, 2, 7)));
    EXPECT_EQ(flat, Surface(8, 8, kUntouched));
}

TEST(GradientTest, TwentyFourBitTargetMatchesThirtyTwo)
{
    Surface surface(7, 9, kUntouched);
    Dib dib = Dib::Create(7, 9, 24);
    const TriVertex vertices[] = {At(kWhite16, 1, -2), At(kLavender16, 6, 8)};
    const GradientRect mesh[] = {{1, 0}};
    ASSERT_TRUE(Fill(surface, vertices[0], vertices[1]));
    ASSERT_TRUE(GradientFillRectV(dib, vertices, mesh));
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 7; ++x)
            ASSERT_EQ(dib.colorAt(x, y), surface.at(x, y) == kUntouched ? kBlack : surface.at(x, y)) << x << ", " << y;
}

TEST(GradientTest, RefusesBadMeshesAndDepths)
{
    Surface surface(4, 4, kUntouched);
    Dib view = Dib::View(surface);
    const TriVertex vertices[] = {At(kWhite16, 0, 0), At(kLavender16, 4, 4)};
    const GradientRect good{0, 1}, bad{0, 2};
    const GradientRect meshes[] = {good, bad};
    EXPECT_FALSE(GradientFillRectV(view, vertices, meshes));
    EXPECT_EQ(surface, Surface(4, 4, kUntouched));
    Dib palette = Dib::Create(4, 4, 8);
    EXPECT_FALSE(GradientFillRectV(palette, vertices, std::span(&good, 1)));
}

// A 4 x 2 picture whose pixels are the letters a .. h; the target starts as dots.
TEST(SectionCopyTest, StretchesEachAxisOnItsOwn)
{
    struct Case {
        const char* name;
        int width, height;
        Rect to, from;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"equal size is a plain copy", 6, 3, {1, 1, 4, 2}, {0, 0, 4, 2}, {"......", ".abcd.", ".efgh."}},
        {"stretched horizontally only", 8, 2, {0, 0, 8, 1}, {0, 1, 4, 1}, {"eeffgghh", "........"}},
        {"stretched vertically only", 2, 4, {0, 0, 1, 4}, {3, 0, 1, 2}, {"d.", "d.", "h.", "h."}},
        {"a section of the picture", 3, 2, {0, 0, 2, 2}, {1, 0, 2, 2}, {"bc.", "fg."}},
        {"clipped at the target's edges", 3, 3, {-1, 1, 4, 2}, {0, 0, 2, 2}, {"...", "abb", "eff"}},
        {"source beyond the picture keeps the target", 2, 3, {0, 0, 2, 3}, {2, 1, 2, 3}, {"gh", "..", ".."}},
    };
    Surface picture(4, 2);
    for (int i = 0; i < 8; ++i)
        picture.set(i % 4, i / 4, Pixel('a' + i));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Surface target(c.width, c.height, Pixel('.'));
        PaintSection(target, c.to, picture, c.from);
        std::vector<std::string> rows;
        for (int y = 0; y < c.height; ++y) {
            rows.emplace_back();
            for (int x = 0; x < c.width; ++x)
                rows.back() += char(target.at(x, y));
        }
        EXPECT_EQ(rows, c.expected);
    }
}

}  // namespace
}  // namespace pap::gfx
