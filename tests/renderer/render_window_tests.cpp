// The renderer's shell over a recording fake of the window system: set-up and tear-down order, the
// clean-up after each failing step, the window procedure, and the message and frame loop.

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "renderer/render_window.h"

namespace pap {
namespace {

using Log = std::vector<std::string>;

// One entry of a scripted message queue: a message, or nothing (the queue is empty for that peek).
struct Peek {
    std::optional<WindowMessage> message;
};

Peek msg(uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0)
{
    return Peek{WindowMessage{message, wParam, lParam}};
}
const Peek kEmpty{};

constexpr intptr_t kDefaultResult = 1234;
// Returned once the script has run out, so that a loop that fails to stop still ends the test.
constexpr uintptr_t kScriptExhausted = 0xDEAD;

class FakeWindowSystem final : public GlWindowSystem {
public:
    Log log;
    std::set<std::string> failing;
    std::deque<Peek> script;
    std::deque<WindowMessage> posted;
    int peeks = 0;

    bool registerClass(const char* className, WindowProcFn proc, void* context) override
    {
        record(std::string("registerClass ") + className);
        m_proc = proc;
        m_context = context;
        return succeeds("registerClass");
    }
    void unregisterClass(const char* className) override
    {
        record(std::string("unregisterClass ") + className);
    }
    bool changeDisplayMode(int width, int height, int bits) override
    {
        record("changeDisplayMode " + std::to_string(width) + "x" + std::to_string(height) + "x" +
               std::to_string(bits));
        return succeeds("changeDisplayMode");
    }
    void restoreDisplayMode() override { record("restoreDisplayMode"); }
    int showCursor(bool show) override
    {
        m_cursor += show ? 1 : -1;
        record(show ? "showCursor 1" : "showCursor 0");
        return m_cursor;
    }
    bool createWindow(const char* className, const char* title, int width, int height) override
    {
        record(std::string("createWindow ") + className + " " + title + " " + std::to_string(width) +
               "x" + std::to_string(height));
        return succeeds("createWindow");
    }
    bool getDC() override { return recordAndSucceed("getDC"); }
    int choosePixelFormat(int colorBits, int depthBits) override
    {
        record("choosePixelFormat " + std::to_string(colorBits) + " " + std::to_string(depthBits));
        return succeeds("choosePixelFormat") ? 7 : 0;
    }
    bool setPixelFormat(int format) override
    {
        record("setPixelFormat " + std::to_string(format));
        return succeeds("setPixelFormat");
    }
    bool createContext() override { return recordAndSucceed("createContext"); }
    bool makeCurrent() override { return recordAndSucceed("makeCurrent"); }
    void deleteContext() override { record("deleteContext"); }
    void releaseDC() override { record("releaseDC"); }
    void destroyWindow() override { record("destroyWindow"); }
    void showAndFocus() override { record("showAndFocus"); }
    bool setSwapInterval(int interval) override
    {
        record("setSwapInterval " + std::to_string(interval));
        return succeeds("setSwapInterval");
    }
    bool peekMessage(WindowMessage& out) override
    {
        ++peeks;
        if (!posted.empty()) {
            out = posted.front();
            posted.pop_front();
            return true;
        }
        if (script.empty()) {
            out = WindowMessage{kWmQuit, kScriptExhausted, 0};
            return true;
        }
        const Peek next = script.front();
        script.pop_front();
        if (!next.message) {
            record("idle");
            return false;
        }
        out = *next.message;
        return true;
    }
    void dispatchMessage(const WindowMessage& message) override
    {
        record("dispatch " + describe(message));
        m_proc(m_context, message);
    }
    intptr_t defaultProc(const WindowMessage& message) override
    {
        record("defaultProc " + describe(message));
        return kDefaultResult;
    }
    void postQuit(int exitCode) override
    {
        record("postQuit " + std::to_string(exitCode));
        posted.push_back(WindowMessage{kWmQuit, static_cast<uintptr_t>(exitCode), 0});
    }
    void swapBuffers() override { record("swapBuffers"); }

    void record(std::string entry) { log.push_back(std::move(entry)); }
    int cursorCount() const { return m_cursor; }

    static std::string describe(const WindowMessage& message)
    {
        char text[64];
        snprintf(text, sizeof text, "%#x %#zx %#zx", message.message, static_cast<size_t>(message.wParam),
                 static_cast<size_t>(message.lParam));
        return text;
    }

private:
    bool succeeds(const std::string& step) const { return failing.count(step) == 0; }
    bool recordAndSucceed(const std::string& step)
    {
        record(step);
        return succeeds(step);
    }

    WindowProcFn m_proc = nullptr;
    void* m_context = nullptr;
    int m_cursor = 0;
};

FakeWindowSystem& fakeOf(RenderState& state) { return *static_cast<FakeWindowSystem*>(state.system); }

// The scene steps, recorded in the same log instead of drawing.
void recordResize(RenderState& state, int width, int height)
{
    fakeOf(state).record("ResizeView " + std::to_string(width) + " " + std::to_string(height));
}
bool recordSetup(RenderState& state)
{
    fakeOf(state).record("SetupScene");
    return !fakeOf(state).failing.count("SetupScene");
}
bool recordFrame(RenderState& state)
{
    fakeOf(state).record("RenderFrame");
    return true;
}

class RenderWindowTest : public ::testing::Test {
protected:
    RenderWindowTest() : state(std::make_unique<RenderState>())
    {
        state->system = &fake;
        state->scene.resizeView = recordResize;
        state->scene.setupScene = recordSetup;
        state->scene.renderFrame = recordFrame;
    }

    // The entries between the end of the set-up and the start of the tear-down.
    Log loopLog() const
    {
        Log out;
        bool inLoop = false;
        for (const std::string& entry : fake.log) {
            if (entry == "restoreDisplayMode")
                break;
            if (inLoop)
                out.push_back(entry);
            if (entry == "SetupScene")
                inLoop = true;
        }
        return out;
    }

    int run(std::vector<Peek> script)
    {
        fake.script.assign(script.begin(), script.end());
        return RendererMain(*state);
    }

    FakeWindowSystem fake;
    std::unique_ptr<RenderState> state;  // large: the mesh lives in it
};

// Test names from the cases' own names.
template <class Case>
std::string caseName(const ::testing::TestParamInfo<Case>& p)
{
    if constexpr (requires { p.param.name; })
        return p.param.name;
    else
        return p.param.step;
}

const Log kOpenLog = {
    "registerClass OpenGL",
    "changeDisplayMode 1024x768x32",
    "showCursor 0",
    "createWindow OpenGL Papyrant_VC 1024x768",
    "getDC",
    "choosePixelFormat 32 16",
    "setPixelFormat 7",
    "createContext",
    "makeCurrent",
    "showAndFocus",
    "ResizeView 1024 768",
    "setSwapInterval 1",
    "SetupScene",
};

const Log kCloseLog = {
    "restoreDisplayMode", "showCursor 1", "deleteContext", "releaseDC", "destroyWindow", "unregisterClass OpenGL",
};

Log concat(std::initializer_list<Log> parts)
{
    Log out;
    for (const Log& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

TEST_F(RenderWindowTest, OpensAndClosesInOrder)
{
    const int code = run({msg(kWmClose)});
    EXPECT_EQ(code, 0);
    EXPECT_EQ(fake.log, concat({kOpenLog, {"dispatch 0x10 0 0", "postQuit 0"}, kCloseLog}));
    EXPECT_EQ(fake.cursorCount(), 0);
}

// The set-up's log up to and including a step.
Log openLogThrough(const std::string& step)
{
    Log out;
    for (const std::string& entry : kOpenLog) {
        out.push_back(entry);
        if (entry.rfind(step, 0) == 0)
            break;
    }
    return out;
}

struct FailureCase {
    const char* step;
    Log cleanUp;  // what follows the failing step
};

class RenderWindowFailureTest : public RenderWindowTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(RenderWindowFailureTest, CleansUpWhatWasMadeAndExitsWithZero)
{
    const FailureCase& c = GetParam();
    fake.failing.insert(c.step);
    EXPECT_EQ(run({msg(kWmKeyDown, 65)}), 0);
    EXPECT_EQ(fake.log, concat({openLogThrough(c.step), c.cleanUp}));
    EXPECT_EQ(fake.peeks, 0);
}

const Log kRestore = {"restoreDisplayMode", "showCursor 1"};
const Log kUnregister = {"unregisterClass OpenGL"};

INSTANTIATE_TEST_SUITE_P(
    EachStep, RenderWindowFailureTest,
    ::testing::Values(
        // Nothing made yet, and a refused mode leaves the display untouched: no clean-up at all.
        FailureCase{"registerClass", {}},
        FailureCase{"changeDisplayMode", {}},
        FailureCase{"createWindow", concat({kRestore, kUnregister})},
        FailureCase{"getDC", concat({kRestore, {"destroyWindow"}, kUnregister})},
        FailureCase{"choosePixelFormat", concat({kRestore, {"releaseDC", "destroyWindow"}, kUnregister})},
        FailureCase{"setPixelFormat", concat({kRestore, {"releaseDC", "destroyWindow"}, kUnregister})},
        FailureCase{"createContext", concat({kRestore, {"releaseDC", "destroyWindow"}, kUnregister})},
        FailureCase{"makeCurrent", kCloseLog},
        FailureCase{"SetupScene", kCloseLog}),
    caseName<FailureCase>);

TEST_F(RenderWindowTest, RefusedSwapIntervalDoesNotStopTheRun)
{
    fake.failing.insert("setSwapInterval");
    EXPECT_EQ(run({kEmpty, msg(kWmClose)}), 0);
    EXPECT_EQ(loopLog(), (Log{"idle", "RenderFrame", "swapBuffers", "dispatch 0x10 0 0", "postQuit 0"}));
}

// --- Window procedure -----------------------------------------------------------------------------

struct ProcCase {
    const char* name;
    WindowMessage message;
    intptr_t result;
    Log log;  // default processing, quit requests and view changes it causes
};

class RenderWndProcTest : public RenderWindowTest, public ::testing::WithParamInterface<ProcCase> {};

TEST_P(RenderWndProcTest, HandlesOrPassesOn)
{
    const ProcCase& c = GetParam();
    EXPECT_EQ(RenderWndProc(*state, c.message), c.result);
    EXPECT_EQ(fake.log, c.log);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, RenderWndProcTest,
    ::testing::Values(
        ProcCase{"ScreenSaveSwallowed", {kWmSysCommand, 0xF140, 0}, 0, {}},
        ProcCase{"MonitorPowerSwallowed", {kWmSysCommand, 0xF170, 0}, 0, {}},
        ProcCase{"ScreenSaveWithLowBitsPassedOn", {kWmSysCommand, 0xF141, 0}, kDefaultResult,
                 {"defaultProc 0x112 0xf141 0"}},
        ProcCase{"MonitorPowerWithLowBitsPassedOn", {kWmSysCommand, 0xF172, 2}, kDefaultResult,
                 {"defaultProc 0x112 0xf172 0x2"}},
        ProcCase{"OtherSysCommandPassedOn", {kWmSysCommand, 0xF060, 0}, kDefaultResult,
                 {"defaultProc 0x112 0xf060 0"}},
        ProcCase{"UnhandledMessagePassedOn", {0x000F, 0, 0}, kDefaultResult, {"defaultProc 0xf 0 0"}},
        ProcCase{"CloseQuitsWithZero", {kWmClose, 5, 6}, 0, {"postQuit 0"}},
        ProcCase{"SizeResizesView", {kWmSize, 0, (600 << 16) | 800}, 0, {"ResizeView 800 600"}},
        ProcCase{"SizeWithHeightZero", {kWmSize, 0, 640}, 0, {"ResizeView 640 0"}},
        ProcCase{"SizeTakesSixteenBitWords", {kWmSize, 0, 0xFFFF'FFFF}, 0, {"ResizeView 65535 65535"}},
        ProcCase{"KeyDownHandled", {kWmKeyDown, 27, 0}, 0, {}},
        ProcCase{"KeyOutsideTableHandled", {kWmKeyDown, 256, 0}, 0, {}},
        ProcCase{"ActivateHandled", {kWmActivate, 0x10000, 0}, 0, {}}),
    caseName<ProcCase>);

struct ActivateCase {
    uintptr_t wParam;
    bool active;
};

class ActivateTest : public RenderWindowTest, public ::testing::WithParamInterface<ActivateCase> {};

TEST_P(ActivateTest, OnlyTheMinimisedFlagCounts)
{
    state->windowActive = !GetParam().active;
    RenderWndProc(*state, {kWmActivate, GetParam().wParam, 0});
    EXPECT_EQ(state->windowActive, GetParam().active);
}

INSTANTIATE_TEST_SUITE_P(Activate, ActivateTest,
                         ::testing::Values(ActivateCase{0, true},         // deactivated, not minimised
                                           ActivateCase{1, true},         // activated
                                           ActivateCase{2, true},         // activated by a click
                                           ActivateCase{0x10000, false},  // minimised
                                           ActivateCase{0x10001, false},  // minimised though active
                                           ActivateCase{0xFFFF0000, false}));

TEST_F(RenderWindowTest, KeyMessagesSetAndClearTheirEntry)
{
    RenderWndProc(*state, {kWmKeyDown, 255, 0});
    RenderWndProc(*state, {kWmKeyDown, 27, 0});
    EXPECT_TRUE(state->keyDown[255]);
    EXPECT_TRUE(state->keyDown[27]);
    RenderWndProc(*state, {kWmKeyUp, 27, 0});
    EXPECT_FALSE(state->keyDown[27]);
    EXPECT_TRUE(state->keyDown[255]);
}

TEST_F(RenderWindowTest, KeyCodesOutsideTheTableLeaveItUntouched)
{
    state->keyDown[27] = true;
    for (uintptr_t code : {uintptr_t{256}, uintptr_t{256 + 27}, uintptr_t{0x10000 + 27}, ~uintptr_t{0}}) {
        RenderWndProc(*state, {kWmKeyDown, code, 0});
        RenderWndProc(*state, {kWmKeyUp, code, 0});
    }
    for (int key = 0; key < 256; ++key)
        EXPECT_EQ(state->keyDown[key], key == 27) << key;
}

// --- Message and frame loop ----------------------------------------------------------------------

TEST_F(RenderWindowTest, DrawsOneFramePerIdlePassAndNoneBetweenMessages)
{
    run({kEmpty, msg(kWmKeyDown, 65), msg(kWmKeyUp, 65), kEmpty, kEmpty, msg(kWmClose)});
    EXPECT_EQ(loopLog(), (Log{"idle", "RenderFrame", "swapBuffers", "dispatch 0x100 0x41 0", "dispatch 0x101 0x41 0",
                              "idle", "RenderFrame", "swapBuffers", "idle", "RenderFrame", "swapBuffers",
                              "dispatch 0x10 0 0", "postQuit 0"}));
}

TEST_F(RenderWindowTest, CloseExitsWithZero)
{
    EXPECT_EQ(run({kEmpty, msg(kWmKeyDown, 65), msg(kWmClose), kEmpty}), 0);
    // The posted quit is taken before any further frame; the window goes only after the loop.
    EXPECT_EQ(fake.log.back(), "unregisterClass OpenGL");
    EXPECT_EQ(fake.script.size(), 1u);
}

TEST_F(RenderWindowTest, QuitMessageEndsWithItsCodeAndIsNotDispatched)
{
    EXPECT_EQ(run({kEmpty, msg(kWmQuit, 5)}), 5);
    EXPECT_EQ(loopLog(), (Log{"idle", "RenderFrame", "swapBuffers"}));
}

struct EscapeCase {
    const char* name;
    std::vector<Peek> script;
    int exitCode;
};

class EscapeTest : public RenderWindowTest, public ::testing::WithParamInterface<EscapeCase> {};

TEST_P(EscapeTest, EndsAtTheNextIdlePassWithTheLastMessagesParameter)
{
    const EscapeCase& c = GetParam();
    EXPECT_EQ(run(c.script), c.exitCode);
    const Log loop = loopLog();
    ASSERT_FALSE(loop.empty());
    EXPECT_EQ(loop.back(), "idle") << "no frame after Esc was seen";
    EXPECT_EQ(fake.script.size(), 1u) << "the loop ended at the first idle pass after Esc";
}

INSTANTIATE_TEST_SUITE_P(
    Escape, EscapeTest,
    ::testing::Values(EscapeCase{"EscapeItself", {kEmpty, msg(kWmKeyDown, 27), kEmpty, msg(kWmClose)}, 27},
                      // A quick tap: press and release both taken before the idle pass.
                      EscapeCase{"TapQueuedTogether",
                                 {kEmpty, msg(kWmKeyDown, 27), msg(kWmKeyUp, 27), kEmpty, msg(kWmClose)}, 27},
                      EscapeCase{"TapThenOtherKeys",
                                 {msg(kWmKeyDown, 27), msg(kWmKeyUp, 27), msg(kWmKeyDown, 65), msg(kWmKeyUp, 65),
                                  kEmpty, kEmpty},
                                 65},
                      EscapeCase{"LaterKey", {msg(kWmKeyDown, 27), msg(kWmKeyDown, 65), kEmpty, kEmpty}, 65},
                      EscapeCase{"ReleaseOfOtherKey",
                                 {msg(kWmKeyDown, 27), msg(kWmKeyUp, 0x41, 0x7), kEmpty, kEmpty}, 0x41},
                      // Restoring a minimised window with Esc still held ends the run at once.
                      EscapeCase{"HeldWhileMinimised",
                                 {msg(kWmActivate, 0x10000), msg(kWmKeyDown, 27), kEmpty, kEmpty,
                                  msg(kWmActivate, 1), kEmpty, kEmpty},
                                 1}),
    caseName<EscapeCase>);

TEST_F(RenderWindowTest, MinimisedWindowIsNotDrawnButStillPolled)
{
    run({kEmpty, msg(kWmActivate, 0x10000), kEmpty, kEmpty, kEmpty, msg(kWmActivate, 1), kEmpty, msg(kWmClose)});
    EXPECT_EQ(loopLog(), (Log{"idle", "RenderFrame", "swapBuffers", "dispatch 0x6 0x10000 0", "idle", "idle", "idle",
                              "dispatch 0x6 0x1 0", "idle", "RenderFrame", "swapBuffers", "dispatch 0x10 0 0",
                              "postQuit 0"}));
}

TEST_F(RenderWindowTest, EscapeWhileMinimisedIsNotActedOn)
{
    run({msg(kWmActivate, 0x10000), msg(kWmKeyDown, 27), kEmpty, kEmpty, msg(kWmClose)});
    EXPECT_EQ(loopLog(), (Log{"dispatch 0x6 0x10000 0", "dispatch 0x100 0x1b 0", "idle", "idle",
                              "dispatch 0x10 0 0", "postQuit 0"}));
    EXPECT_TRUE(state->keyDown[27]) << "the press is recorded";
}

TEST_F(RenderWindowTest, EscapePressedAndReleasedWhileMinimisedIsForgotten)
{
    const int code = run({msg(kWmActivate, 0x10000), msg(kWmKeyDown, 27), kEmpty, msg(kWmKeyUp, 27), kEmpty,
                          msg(kWmActivate, 1), kEmpty, kEmpty, msg(kWmClose)});
    EXPECT_EQ(code, 0);
    EXPECT_EQ(loopLog(),
              (Log{"dispatch 0x6 0x10000 0", "dispatch 0x100 0x1b 0", "idle", "dispatch 0x101 0x1b 0", "idle",
                   "dispatch 0x6 0x1 0", "idle", "RenderFrame", "swapBuffers", "idle", "RenderFrame",
                   "swapBuffers", "dispatch 0x10 0 0", "postQuit 0"}));
}

TEST_F(RenderWindowTest, EscapeTappedWhileMinimisedIsForgotten)
{
    const int code = run({msg(kWmActivate, 0x10000), msg(kWmKeyDown, 27), msg(kWmKeyUp, 27), msg(kWmActivate, 1),
                          kEmpty, msg(kWmClose)});
    EXPECT_EQ(code, 0);
    EXPECT_EQ(loopLog(), (Log{"dispatch 0x6 0x10000 0", "dispatch 0x100 0x1b 0", "dispatch 0x101 0x1b 0",
                              "dispatch 0x6 0x1 0", "idle", "RenderFrame", "swapBuffers", "dispatch 0x10 0 0",
                              "postQuit 0"}));
}

TEST_F(RenderWindowTest, DeactivationWithoutMinimisingKeepsDrawing)
{
    run({msg(kWmActivate, 0), kEmpty, msg(kWmClose)});
    EXPECT_EQ(loopLog(), (Log{"dispatch 0x6 0 0", "idle", "RenderFrame", "swapBuffers", "dispatch 0x10 0 0",
                              "postQuit 0"}));
}

TEST_F(RenderWindowTest, SizeMessageInTheLoopResizesTheView)
{
    run({msg(kWmSize, 0, (400 << 16) | 1280), kEmpty, msg(kWmClose)});
    EXPECT_EQ(loopLog(), (Log{"dispatch 0x5 0 0x1900500", "ResizeView 1280 400", "idle", "RenderFrame",
                              "swapBuffers", "dispatch 0x10 0 0", "postQuit 0"}));
}

}  // namespace
}  // namespace pap
