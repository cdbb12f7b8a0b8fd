// The rectangle-outline control: the line it draws inside its box over what lies under it, and the
// clicks it lets through to the control beneath.

#include <gtest/gtest.h>

#include "forms/app.h"
#include "forms/block_text.h"
#include "forms/fake_ui.h"
#include "forms/form.h"
#include "forms/label.h"
#include "forms/shape.h"

namespace pap::forms {
namespace {

using pap::testing::FakeUi;
using pap::testing::FakeWindow;

constexpr gfx::Pixel kFace = gfx::Rgb(0x20, 0x40, 0x60);
constexpr gfx::Pixel kUnder = gfx::Rgb(0xF0, 0xE0, 0xD0);
constexpr gfx::Pixel kLine = gfx::Rgb(0xFF, 0x00, 0x80);

class ShapeTest : public ::testing::Test {
protected:
    ShapeTest()
    {
        app.setTextService(std::make_unique<pap::testing::BlockText>());
        form.setScaleMode(ScaleMode::Pixels);
        form.setBackColor(kFace);
        form.Move(0, 0, 40 * 15, 30 * 15);
    }
    FakeUi ui;
    App app{ui, "", "/opt/papyrant"};
    Form form{app, "Shapes"};
};

TEST_F(ShapeTest, DrawsItsOutlineInsideItsBoxAndLeavesTheInsideAlone)
{
    // An opaque label under the shape shows through its inside.
    Label under(form);
    under.Move(0, 0, 40, 30);
    under.setBackColor(kUnder);
    Shape shape(form);
    shape.setBorderColor(kLine);
    form.Show();
    FakeWindow& window = *ui.windowTitled("Shapes");

    struct Case {
        int x, y, w, h, borderWidth;
    };
    const Case cases[] = {
        {3, 4, 10, 7, 1},
        {5, 2, 12, 9, 3},
        {1, 1, 4, 3, 5},     // wider than half the box: all line
        {30, 20, 20, 20, 1}, // reaching past the form: clipped
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y) + " " + std::to_string(c.w) + "x" +
                     std::to_string(c.h) + " width " + std::to_string(c.borderWidth));
        shape.Move(c.x, c.y, c.w, c.h);
        shape.setBorderWidth(c.borderWidth);
        const gfx::Surface shown = window.paint();
        int wrong = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x) {
                const int dx = x - c.x, dy = y - c.y;
                const bool inBox = dx >= 0 && dy >= 0 && dx < c.w && dy < c.h;
                const bool onLine = inBox && (dx < c.borderWidth || dy < c.borderWidth ||
                                              c.w - 1 - dx < c.borderWidth || c.h - 1 - dy < c.borderWidth);
                wrong += shown.at(x, y) != (onLine ? kLine : kUnder);
            }
        EXPECT_EQ(wrong, 0);
    }
}

TEST_F(ShapeTest, ClicksOnTheLineOrInsideReachTheLabelUnderIt)
{
    Label label(form);
    label.Move(2, 2, 30, 20);
    int clicks = 0;
    label.Click = [&clicks] { ++clicks; };
    Shape shape(form);
    shape.Move(4, 4, 20, 10);
    form.Show();
    FakeWindow& window = *ui.windowTitled("Shapes");
    const gfx::Point points[] = {{4, 4}, {23, 13}, {10, 8}};  // corner, far corner, inside
    for (gfx::Point p : points) {
        window.mouseDown(p.x, p.y);
        window.mouseUp(p.x, p.y);
    }
    EXPECT_EQ(clicks, 3);
}

}  // namespace
}  // namespace pap::forms
