// The Windows window system's input against the real user32 (under Wine here), driven with SendInput as
// a user would: a top-level window with a child, the child's events in its own coordinates, the mouse
// kept by the window that took the press, disabled windows, keys and characters for the focused window,
// and the window under a point.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/input_log.h"
#include "platform/ui.h"

namespace pap {
namespace {

using Lines = std::vector<std::string>;
using test::InputLog;

class UiWin32InputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ui = MakeUiSystem();
        ASSERT_TRUE(ui);
        // Away from where the windows come, so that their appearance under it moves nothing.
        moveTo(700, 500);
        top = ui->createWindow(topLog);
        ASSERT_TRUE(top);
        top->setTitle("input test");
        top->setBounds(100, 100, 200, 150);
        top->setVisible(true);
        child = ui->createChildWindow(childLog, top->handle());
        ASSERT_TRUE(child);
        child->setBounds(50, 40, 80, 60);  // (150, 140) to (230, 200) on the screen
        child->setVisible(true);
        // Another top-level window whose moves show that the input sent before it was handled.
        witness = ui->createWindow(witnessLog);
        ASSERT_TRUE(witness);
        witness->setBounds(400, 100, 50, 50);
        witness->setVisible(true);
        settle();
        topLog.lines.clear();
        childLog.lines.clear();
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

    // Wine hands each input to the X server and takes it back from there: every input is followed by
    // a settling pump, and a move by a wait for the pointer to arrive, so that a press lands where the
    // move before it went.
    void send(INPUT input)
    {
        SendInput(1, &input, sizeof input);
        settle();
    }
    void settle()
    {
        for (int i = 0; i < 5; ++i)
            ui->pumpEvents(10);
    }
    void moveTo(int x, int y)
    {
        // Absolute positions run from 0 to 65536 over the screen; rounded up, they land on the pixel.
        const int width = GetSystemMetrics(SM_CXSCREEN);
        const int height = GetSystemMetrics(SM_CYSCREEN);
        INPUT input{};
        input.type = INPUT_MOUSE;
        input.mi.dx = static_cast<LONG>((x * 65536LL + width - 1) / width);
        input.mi.dy = static_cast<LONG>((y * 65536LL + height - 1) / height);
        input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        send(input);
        EXPECT_TRUE(pumpUntil([&] { return ui->cursorPos() == std::make_pair(x, y); })) << x << "," << y;
        settle();
    }
    void mouse(DWORD flags, DWORD data = 0)
    {
        INPUT input{};
        input.type = INPUT_MOUSE;
        input.mi.dwFlags = flags;
        input.mi.mouseData = data;
        send(input);
    }
    void key(WORD code, bool down)
    {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = code;
        input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
        send(input);
    }
    void tap(WORD code)
    {
        key(code, true);
        key(code, false);
    }

    void marker()
    {
        witnessLog.lines.clear();
        moveTo(405, 105);
        ASSERT_TRUE(pumpUntil([&] { return !witnessLog.lines.empty(); }));
        EXPECT_EQ(witnessLog.lines, Lines{"move 5,5 b0 s0"});
    }

    std::unique_ptr<UiSystem> ui;
    InputLog topLog;
    InputLog childLog;
    InputLog witnessLog;
    std::unique_ptr<UiWindow> top;
    std::unique_ptr<UiWindow> child;
    std::unique_ptr<UiWindow> witness;
};

TEST_F(UiWin32InputTest, ChildTakesItsMouseInputAndKeepsItUntilTheRelease)
{
    struct Step {
        std::function<void()> act;
        Lines child;  // the child's presses, releases and wheel turns
    };
    const std::vector<Step> steps = {
        {[&] { moveTo(160, 150); }, {}},
        {[&] { mouse(MOUSEEVENTF_LEFTDOWN); }, {"down 10,10 b1 s0"}},
        // Released far outside the top-level window: the release still goes to the child.
        {[&] { moveTo(20, 30); mouse(MOUSEEVENTF_LEFTUP); }, {"up -130,-110 b1 s0"}},
        {[&] { moveTo(170, 160); mouse(MOUSEEVENTF_RIGHTDOWN); mouse(MOUSEEVENTF_RIGHTUP); },
         {"down 20,20 b2 s0", "up 20,20 b2 s0"}},
        {[&] { mouse(MOUSEEVENTF_MIDDLEDOWN); mouse(MOUSEEVENTF_MIDDLEUP); }, {"down 20,20 b4 s0", "up 20,20 b4 s0"}},
        {[&] { key(VK_SHIFT, true); key(VK_CONTROL, true); mouse(MOUSEEVENTF_LEFTDOWN); mouse(MOUSEEVENTF_LEFTUP);
               key(VK_CONTROL, false); key(VK_SHIFT, false); },
         {"down 20,20 b1 s3", "up 20,20 b1 s3"}},
    };
    Lines expected;
    for (const Step& step : steps) {
        step.act();
        expected.insert(expected.end(), step.child.begin(), step.child.end());
        ASSERT_TRUE(pumpUntil([&] { return childLog.buttons().size() >= expected.size(); })) << expected.back();
        EXPECT_EQ(childLog.buttons(), expected);
    }
    EXPECT_EQ(childLog.lines.front(), "move 10,10 b0 s0");
    EXPECT_NE(std::find(childLog.lines.begin(), childLog.lines.end(), "move -130,-110 b1 s0"), childLog.lines.end());
    EXPECT_TRUE(topLog.buttons().empty());
    EXPECT_EQ(ui->cursorPos(), std::make_pair(170, 160));
}

TEST_F(UiWin32InputTest, WheelTurnsGoToTheWindowUnderThePointerInItsPixels)
{
    moveTo(170, 160);
    top->takeFocus();
    mouse(MOUSEEVENTF_WHEEL, WHEEL_DELTA);
    mouse(MOUSEEVENTF_WHEEL, static_cast<DWORD>(-WHEEL_DELTA));
    ASSERT_TRUE(pumpUntil([&] { return childLog.buttons().size() >= 2; }));
    EXPECT_EQ(childLog.buttons(), (Lines{"wheel 120 20,20 b0 s0", "wheel -120 20,20 b0 s0"}));
}

TEST_F(UiWin32InputTest, ADisabledWindowAndItsChildrenGetNoInput)
{
    top->takeFocus();
    ASSERT_TRUE(pumpUntil([&] { return !topLog.lines.empty(); }));
    top->setEnabled(false);
    EXPECT_FALSE(top->enabled());
    EXPECT_TRUE(child->enabled());
    moveTo(160, 150);
    mouse(MOUSEEVENTF_LEFTDOWN);
    mouse(MOUSEEVENTF_LEFTUP);
    moveTo(110, 110);
    mouse(MOUSEEVENTF_LEFTDOWN);
    mouse(MOUSEEVENTF_LEFTUP);
    tap('A');
    marker();
    EXPECT_EQ(topLog.without({"focus", "blur"}), Lines{});
    EXPECT_EQ(childLog.lines, Lines{});
    top->setEnabled(true);
    moveTo(160, 150);
    mouse(MOUSEEVENTF_LEFTDOWN);
    mouse(MOUSEEVENTF_LEFTUP);
    marker();
    EXPECT_EQ(childLog.buttons(), (Lines{"down 10,10 b1 s0", "up 10,10 b1 s0"}));
}

TEST_F(UiWin32InputTest, KeysAndCharactersGoToTheFocusedWindowNotTheChildUnderThePointer)
{
    moveTo(160, 150);
    top->takeFocus();
    ASSERT_TRUE(pumpUntil([&] { return !topLog.withoutMoves().empty(); }));
    tap('A');
    key(VK_SHIFT, true);
    tap('Z');
    key(VK_SHIFT, false);
    tap(VK_F5);
    tap(VK_LEFT);
    const Lines expected = {"key 41 s0",   "char 61",     "keyup 41 s0", "key 10 s1",
                            "key 5A s1",   "char 5A",     "keyup 5A s1", "keyup 10 s0", "key 74 s0",
                            "keyup 74 s0", "key 25 s0",   "keyup 25 s0"};
    ASSERT_TRUE(pumpUntil([&] { return topLog.without({"move", "focus", "blur"}).size() >= expected.size(); }));
    EXPECT_EQ(topLog.without({"move", "focus", "blur"}), expected);
    EXPECT_TRUE(childLog.withoutMoves().empty());
}

TEST_F(UiWin32InputTest, CharactersBeyondTheBasicPlaneJoinTheirSurrogates)
{
    top->takeFocus();
    ASSERT_TRUE(pumpUntil([&] { return !topLog.lines.empty(); }));
    // U+1F600 typed as two UTF-16 units, then a plain one.
    for (wchar_t unit : {wchar_t(0xD83D), wchar_t(0xDE00), wchar_t(0x3042)}) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wScan = unit;
        input.ki.dwFlags = KEYEVENTF_UNICODE;
        send(input);
        input.ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
        send(input);
    }
    const Lines others = {"move", "focus", "blur", "key", "keyup"};
    ASSERT_TRUE(pumpUntil([&] { return topLog.without(others).size() >= 2; }));
    EXPECT_EQ(topLog.without(others), (Lines{"char 1F600", "char 3042"}));
}

TEST_F(UiWin32InputTest, WindowFromPointFindsTheInnermostWindow)
{
    const struct {
        int x, y;
        NativeWindow expected;
    } cases[] = {
        {160, 150, child->handle()}, {229, 199, child->handle()}, {230, 200, top->handle()},
        {101, 101, top->handle()},   {425, 125, witness->handle()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ui->windowFromPoint(c.x, c.y), c.expected) << c.x << "," << c.y;
    child->setVisible(false);
    EXPECT_EQ(ui->windowFromPoint(160, 150), top->handle());
}

TEST_F(UiWin32InputTest, PointerShapesShowOverTheirWindows)
{
    // A 9 x 7 picture: a blue ground (transparent) with a red centre pixel.
    gfx::Surface icon(9, 7, gfx::Rgb(0, 0, 255));
    icon.row(3)[4] = gfx::Rgb(255, 0, 0);
    moveTo(160, 150);
    marker();
    moveTo(160, 150);
    ASSERT_TRUE(pumpUntil([&] { return childLog.lines.size() >= 1; }));
    child->setPointer(PointerShape::Custom, &icon);
    HCURSOR custom = GetCursor();
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(custom, &info));
    EXPECT_EQ(info.xHotspot, 4u);
    EXPECT_EQ(info.yHotspot, 3u);
    if (info.hbmMask)
        DeleteObject(info.hbmMask);
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    // The screen-wide shape covers the child's own, and the child's comes back after it.
    ui->setScreenPointer(PointerShape::Hourglass);
    EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_WAIT));
    ui->setScreenPointer(PointerShape::Default);
    EXPECT_EQ(GetCursor(), custom);
    child->setPointer(PointerShape::Hand);
    EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_HAND));
    // A child with no pointer of its own shows its parent's.
    top->setPointer(PointerShape::Hourglass);
    child->setPointer(PointerShape::Default);
    EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_WAIT));
}

}  // namespace
}  // namespace pap
