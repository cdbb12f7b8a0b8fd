// The X11 window system's input on a private Xvfb, driven through XTEST as a user would: a top-level
// window with a child, the child's events in its own coordinates, the mouse kept by the window that
// took the press, disabled windows, keys and characters for the focused window, the window under a point
// and the pointer shapes the server shows.

// GoogleTest before Xlib, whose None and Bool macros would clash with its names.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "e2e/harness.h"
#include "platform/input_log.h"
#include "platform/ui.h"

namespace pap {
namespace {

using test::InputLog;
using Lines = std::vector<std::string>;

class UiX11InputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        server = e2e::XServer::start();
        if (!server)
            GTEST_SKIP() << "no Xvfb";
        setenv("DISPLAY", server->display().c_str(), 1);
        ui = MakeUiSystem();
        ASSERT_TRUE(ui);
        x = server->connection();

        top = ui->createWindow(topLog);
        ASSERT_TRUE(top);
        top->setTitle("input test");
        top->setBounds(100, 100, 200, 150);
        top->setVisible(true);
        child = ui->createChildWindow(childLog, top->handle());
        ASSERT_TRUE(child);
        child->setBounds(50, 40, 80, 60);  // (150, 140) to (230, 200) on the screen
        child->setVisible(true);
        // Another top-level window whose moves show that the events sent before it were handled.
        witness = ui->createWindow(witnessLog);
        ASSERT_TRUE(witness);
        witness->setBounds(400, 100, 50, 50);
        witness->setVisible(true);
        ASSERT_TRUE(pumpUntil([&] { return server->isViewable(child->handle()) && server->isViewable(witness->handle()); }));
    }

    void TearDown() override
    {
        witness.reset();
        child.reset();
        top.reset();
        ui.reset();
        unsetenv("DISPLAY");
    }

    bool pumpUntil(const std::function<bool()>& done)
    {
        const uint64_t end = ui->nowMs() + 5000;
        while (!done()) {
            if (ui->nowMs() > end)
                return false;
            ui->pumpEvents(10);
        }
        return true;
    }

    void moveTo(int px, int py)
    {
        XTestFakeMotionEvent(x, -1, px, py, CurrentTime);
        XFlush(x);
    }
    void button(unsigned number, bool down)
    {
        XTestFakeButtonEvent(x, number, down ? True : False, CurrentTime);
        XFlush(x);
    }
    void key(KeySym sym, bool down)
    {
        XTestFakeKeyEvent(x, XKeysymToKeycode(x, sym), down ? True : False, CurrentTime);
        XFlush(x);
    }
    void tap(KeySym sym)
    {
        key(sym, true);
        key(sym, false);
    }

    // Moves into the witness window and waits for that move: every event sent before has been handled
    // when it comes.
    void marker()
    {
        witnessLog.lines.clear();
        moveTo(405, 105);
        ASSERT_TRUE(pumpUntil([&] { return witnessLog.lines == Lines{"move 5,5 b0 s0"}; }));
    }

    std::unique_ptr<e2e::XServer> server;
    Display* x = nullptr;
    std::unique_ptr<UiSystem> ui;
    InputLog topLog;
    InputLog childLog;
    InputLog witnessLog;
    std::unique_ptr<UiWindow> top;
    std::unique_ptr<UiWindow> child;
    std::unique_ptr<UiWindow> witness;
};

TEST_F(UiX11InputTest, ChildTakesItsMouseInputAndKeepsItUntilTheRelease)
{
    struct Step {
        std::function<void()> act;
        Lines child;  // what the child gets, moves left out
    };
    server->setFocus(0);  // the modifier keys below reach no window
    const std::vector<Step> steps = {
        {[&] { moveTo(160, 150); }, {}},
        {[&] { button(1, true); }, {"down 10,10 b1 s0"}},
        // Released far outside the top-level window: the release still goes to the child.
        {[&] { moveTo(20, 30); button(1, false); }, {"up -130,-110 b1 s0"}},
        {[&] { moveTo(170, 160); button(3, true); button(3, false); }, {"down 20,20 b2 s0", "up 20,20 b2 s0"}},
        {[&] { button(2, true); button(2, false); }, {"down 20,20 b4 s0", "up 20,20 b4 s0"}},
        {[&] { button(4, true); button(4, false); button(5, true); button(5, false); },
         {"wheel 120 20,20 b0 s0", "wheel -120 20,20 b0 s0"}},
        {[&] { key(XK_Shift_L, true); key(XK_Control_L, true); button(1, true); button(1, false);
               key(XK_Control_L, false); key(XK_Shift_L, false); },
         {"down 20,20 b1 s3", "up 20,20 b1 s3"}},
    };
    Lines expected;
    for (const Step& step : steps) {
        step.act();
        expected.insert(expected.end(), step.child.begin(), step.child.end());
        ASSERT_TRUE(pumpUntil([&] { return childLog.withoutMoves().size() >= expected.size(); })) << expected.back();
        EXPECT_EQ(childLog.withoutMoves(), expected);
    }
    // The first move into the child, and the drag outside with the left button held.
    EXPECT_EQ(childLog.lines.front(), "move 10,10 b0 s0");
    EXPECT_NE(std::find(childLog.lines.begin(), childLog.lines.end(), "move -130,-110 b1 s0"), childLog.lines.end());
    EXPECT_TRUE(topLog.buttons().empty());
    EXPECT_EQ(ui->cursorPos(), std::make_pair(170, 160));
}

TEST_F(UiX11InputTest, ADisabledWindowAndItsChildrenGetNoInput)
{
    top->takeFocus();
    ASSERT_TRUE(pumpUntil([&] { return !topLog.lines.empty(); }));
    top->setEnabled(false);
    EXPECT_FALSE(top->enabled());
    EXPECT_TRUE(child->enabled());
    moveTo(160, 150);
    button(1, true);
    button(1, false);
    moveTo(110, 110);
    button(1, true);
    button(1, false);
    tap(XK_a);
    marker();
    EXPECT_EQ(topLog.without({"focus", "blur"}), Lines{});
    EXPECT_TRUE(childLog.lines.empty());
    // Enabled again, the child takes its press.
    top->setEnabled(true);
    moveTo(160, 150);
    button(1, true);
    button(1, false);
    marker();
    EXPECT_EQ(childLog.withoutMoves(), (Lines{"down 10,10 b1 s0", "up 10,10 b1 s0"}));
}

TEST_F(UiX11InputTest, KeysAndCharactersGoToTheFocusedWindowNotTheChildUnderThePointer)
{
    moveTo(160, 150);
    top->takeFocus();
    ASSERT_TRUE(pumpUntil([&] { return !topLog.withoutMoves().empty(); }));
    tap(XK_a);
    key(XK_Shift_L, true);
    tap(XK_z);
    key(XK_Shift_L, false);
    tap(XK_F5);
    tap(XK_Left);
    const Lines expected = {"focus",         "key 41 s0",   "char 61",      "keyup 41 s0", "key 10 s1",
                            "key 5A s1",     "char 5A",     "keyup 5A s1",  "keyup 10 s0", "key 74 s0",
                            "keyup 74 s0",   "key 25 s0",   "keyup 25 s0"};
    ASSERT_TRUE(pumpUntil([&] { return topLog.withoutMoves().size() >= expected.size(); }));
    EXPECT_EQ(topLog.withoutMoves(), expected);
    EXPECT_TRUE(childLog.withoutMoves().empty());
}

TEST_F(UiX11InputTest, WindowFromPointFindsTheInnermostWindow)
{
    const auto outside = server->createWindow("other", 400, 300, 50, 50, true);
    ASSERT_TRUE(pumpUntil([&] { return server->isViewable(outside); }));
    const struct {
        int px, py;
        NativeWindow expected;
    } cases[] = {
        {160, 150, child->handle()}, {229, 199, child->handle()}, {230, 200, top->handle()},
        {101, 101, top->handle()},   {425, 325, outside},         {5, 5, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ui->windowFromPoint(c.px, c.py), c.expected) << c.px << "," << c.py;
    child->setVisible(false);
    ui->pumpEvents(0);
    EXPECT_EQ(ui->windowFromPoint(160, 150), top->handle());
}

TEST_F(UiX11InputTest, PointerShapesShowOverTheirWindows)
{
    int base = 0, error = 0;
    if (!XFixesQueryExtension(x, &base, &error))
        GTEST_SKIP() << "no XFIXES";
    // A 9 x 7 picture: a blue ground (transparent) with a red centre pixel.
    gfx::Surface icon(9, 7, gfx::Rgb(0, 0, 255));
    icon.row(3)[4] = gfx::Rgb(255, 0, 0);
    struct Shown {
        int width = 0, height = 0, hotX = 0, hotY = 0;
        unsigned long centre = 0, corner = 0;
    };
    auto shown = [&] {
        Shown s;
        if (XFixesCursorImage* image = XFixesGetCursorImage(x)) {
            s = {image->width, image->height, image->xhot, image->yhot, 0, 0};
            if (image->width == 9 && image->height == 7) {
                // 32-bit ARGB values in longs, sign-extended by Xlib on 64-bit systems.
                s.centre = image->pixels[3 * 9 + 4] & 0xFFFFFFFF;
                s.corner = image->pixels[0] & 0xFFFFFFFF;
            }
            XFree(image);
        }
        return s;
    };
    auto isIcon = [&] {
        const Shown s = shown();
        return s.width == 9 && s.height == 7 && s.hotX == 4 && s.hotY == 3 && s.centre == 0xFFFF0000 && s.corner == 0;
    };
    child->setPointer(PointerShape::Custom, &icon);
    moveTo(160, 150);
    EXPECT_TRUE(pumpUntil(isIcon));
    // The screen-wide shape covers the child's own, and the child's comes back after it.
    ui->setScreenPointer(PointerShape::Hourglass);
    EXPECT_TRUE(pumpUntil([&] { return !isIcon() && shown().width > 0; }));
    ui->setScreenPointer(PointerShape::Default);
    EXPECT_TRUE(pumpUntil(isIcon));
    child->setPointer(PointerShape::Default);
    EXPECT_TRUE(pumpUntil([&] { return !isIcon(); }));
}

}  // namespace
}  // namespace pap
