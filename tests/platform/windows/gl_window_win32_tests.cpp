// GlWindowWin32 against the real window manager: messages sent while the window is being made reach the
// registered procedure and its default processing, queued and hand-made messages are dispatched to the
// window, and the window, pixel format and context come up and go away again.

#include <gtest/gtest.h>

#include <vector>

#include "platform/gl_window.h"

namespace pap {
namespace {

constexpr uint32_t kWmCreate = 0x0001;
constexpr uint32_t kWmNcCreate = 0x0081;
constexpr uint32_t kWmUser = 0x0400;
constexpr const char* kClass = "PapyrantWin32Test";

struct Recorder {
    GlWindowSystem* system = nullptr;
    std::vector<WindowMessage> messages;
    bool handleUserMessage = false;
};

// Records every message and leaves it to the default processing, as the renderer does with most.
intptr_t recordingProc(void* context, const WindowMessage& message)
{
    auto* recorder = static_cast<Recorder*>(context);
    recorder->messages.push_back(message);
    if (recorder->handleUserMessage && message.message == kWmUser)
        return 0;
    return recorder->system->defaultProc(message);
}

bool received(const Recorder& recorder, uint32_t message)
{
    for (const WindowMessage& m : recorder.messages)
        if (m.message == message)
            return true;
    return false;
}

class GlWindowWin32Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        system = MakeGlWindowSystem();
        recorder.system = system.get();
        ASSERT_TRUE(system->registerClass(kClass, recordingProc, &recorder));
    }
    void TearDown() override
    {
        if (haveWindow)
            system->destroyWindow();
        system->unregisterClass(kClass);
    }

    std::unique_ptr<GlWindowSystem> system;
    Recorder recorder;
    bool haveWindow = false;
};

TEST_F(GlWindowWin32Test, MessagesDuringCreationReachTheProcedureAndItsDefaultProcessing)
{
    // WM_NCCREATE must come back TRUE from the default processing, or the window is not made: its
    // window is not known to the backend until CreateWindowExA returns.
    haveWindow = system->createWindow(kClass, "Papyrant test", 320, 240);
    ASSERT_TRUE(haveWindow);
    EXPECT_TRUE(received(recorder, kWmNcCreate));
    EXPECT_TRUE(received(recorder, kWmCreate));
}

TEST_F(GlWindowWin32Test, QuitCarriesItsExitCode)
{
    haveWindow = system->createWindow(kClass, "Papyrant test", 320, 240);
    ASSERT_TRUE(haveWindow);
    system->postQuit(7);
    WindowMessage message;
    bool quit = false;
    for (int i = 0; i < 1000 && !quit; ++i) {
        if (!system->peekMessage(message))
            break;
        quit = message.message == kWmQuit;
        if (!quit)
            system->dispatchMessage(message);
    }
    ASSERT_TRUE(quit);
    EXPECT_EQ(message.wParam, 7u);
}

TEST_F(GlWindowWin32Test, AHandMadeMessageGoesToTheWindow)
{
    haveWindow = system->createWindow(kClass, "Papyrant test", 320, 240);
    ASSERT_TRUE(haveWindow);
    WindowMessage message;
    while (system->peekMessage(message))
        system->dispatchMessage(message);
    recorder.messages.clear();
    recorder.handleUserMessage = true;

    system->dispatchMessage(WindowMessage{kWmUser, 0x1234, 0x5678});
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0].message, kWmUser);
    EXPECT_EQ(recorder.messages[0].wParam, 0x1234u);
    EXPECT_EQ(recorder.messages[0].lParam, 0x5678);
}

TEST_F(GlWindowWin32Test, ContextComesUpOnTheWindowAndGoesAway)
{
    haveWindow = system->createWindow(kClass, "Papyrant test", 320, 240);
    ASSERT_TRUE(haveWindow);
    ASSERT_TRUE(system->getDC());
    const int format = system->choosePixelFormat(32, 16);
    ASSERT_NE(format, 0);
    ASSERT_TRUE(system->setPixelFormat(format));
    ASSERT_TRUE(system->createContext());
    ASSERT_TRUE(system->makeCurrent());
    system->showAndFocus();
    system->setSwapInterval(1);  // offered or not, it must not fail the run
    system->swapBuffers();
    system->deleteContext();
    system->releaseDC();
    system->destroyWindow();
    haveWindow = false;
    // The class can go and come back: nothing of the window holds it.
    system->unregisterClass(kClass);
    EXPECT_TRUE(system->registerClass(kClass, recordingProc, &recorder));
}

TEST_F(GlWindowWin32Test, CursorCounterMovesByOne)
{
    const int hidden = system->showCursor(false);
    EXPECT_EQ(system->showCursor(true), hidden + 1);
}

TEST_F(GlWindowWin32Test, ImpossibleDisplayModeIsRefused)
{
    EXPECT_FALSE(system->changeDisplayMode(7777, 5555, 32));
}

}  // namespace
}  // namespace pap
