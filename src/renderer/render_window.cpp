#include "renderer/render_window.h"

#include "renderer/render_scene.h"

namespace pap {

namespace {

constexpr uintptr_t kVkEscape = 27;
constexpr uintptr_t kKeyCount = 256;

uint32_t loWord(uintptr_t value) { return static_cast<uint32_t>(value & 0xFFFF); }
uint32_t hiWord(uintptr_t value) { return static_cast<uint32_t>((value >> 16) & 0xFFFF); }

intptr_t windowProcThunk(void* context, const WindowMessage& message)
{
    return RenderWndProc(*static_cast<RenderState*>(context), message);
}

void resizeView(RenderState& state, int width, int height)
{
    if (state.scene.resizeView)
        state.scene.resizeView(state, width, height);
    else
        ResizeView(width, height);
}

bool setupScene(RenderState& state)
{
    return state.scene.setupScene ? state.scene.setupScene(state) : SetupScene(state);
}

bool renderFrame(RenderState& state)
{
    return state.scene.renderFrame ? state.scene.renderFrame(state) : RenderFrame(state);
}

}  // namespace

int RendererMain(RenderState& state)
{
    if (!OpenRenderWindow(state, kRenderWindowTitle, kRenderWidth, kRenderHeight, kRenderBits))
        return 0;

    GlWindowSystem& system = *state.system;
    WindowMessage last;
    for (;;) {
        WindowMessage message;
        if (system.peekMessage(message)) {
            last = message;
            if (message.message == kWmQuit)
                break;
            system.dispatchMessage(message);
            continue;
        }
        // Idle pass. While minimised nothing is drawn and the queue is polled again at once.
        if (!state.windowActive)
            continue;
        if (state.keyDown[kVkEscape] || state.escapePressed)
            break;
        renderFrame(state);
        system.swapBuffers();
    }

    CloseRenderWindow(state);
    return static_cast<int>(last.wParam);
}

bool OpenRenderWindow(RenderState& state, const char* title, int width, int height, int bits)
{
    GlWindowSystem& system = *state.system;
    const auto fail = [&state] {
        CloseRenderWindow(state);
        return false;
    };

    if (!system.registerClass(kRenderClassName, windowProcThunk, &state))
        return false;
    state.classRegistered = true;

    // A refused mode leaves the display as it was: nothing to restore.
    if (!system.changeDisplayMode(width, height, bits))
        return false;

    system.showCursor(false);

    state.haveWindow = system.createWindow(kRenderClassName, title, width, height);
    if (!state.haveWindow)
        return fail();
    state.haveDC = system.getDC();
    if (!state.haveDC)
        return fail();

    const int format = system.choosePixelFormat(bits, kRenderDepthBits);
    if (format == 0 || !system.setPixelFormat(format))
        return fail();

    state.haveContext = system.createContext();
    if (!state.haveContext || !system.makeCurrent())
        return fail();

    system.showAndFocus();
    resizeView(state, width, height);

    // The animation moves by a fixed step per frame; pacing the swaps at the display's refresh keeps
    // its speed independent of how fast the machine draws. Without the extension frames run unpaced.
    system.setSwapInterval(1);

    if (!setupScene(state))
        return fail();
    return true;
}

void CloseRenderWindow(RenderState& state)
{
    GlWindowSystem& system = *state.system;
    system.restoreDisplayMode();
    system.showCursor(true);
    if (state.haveContext) {
        system.deleteContext();
        state.haveContext = false;
    }
    if (state.haveDC) {
        system.releaseDC();
        state.haveDC = false;
    }
    if (state.haveWindow) {
        system.destroyWindow();
        state.haveWindow = false;
    }
    system.unregisterClass(kRenderClassName);
    state.classRegistered = false;
}

intptr_t RenderWndProc(RenderState& state, const WindowMessage& message)
{
    switch (message.message) {
    case kWmActivate:
        // The high word is the minimised flag; the activation state in the low word does not matter.
        state.windowActive = hiWord(message.wParam) == 0;
        return 0;
    case kWmSysCommand:
        if (message.wParam == kScScreenSave || message.wParam == kScMonitorPower)
            return 0;
        return state.system->defaultProc(message);
    case kWmClose:
        state.system->postQuit(0);
        return 0;
    case kWmKeyDown:
        if (message.wParam < kKeyCount)
            state.keyDown[message.wParam] = true;
        // A press while minimised is only recorded in keyDown: released before the restore, it is forgotten.
        if (message.wParam == kVkEscape && state.windowActive)
            state.escapePressed = true;
        return 0;
    case kWmKeyUp:
        if (message.wParam < kKeyCount)
            state.keyDown[message.wParam] = false;
        return 0;
    case kWmSize:
        resizeView(state, static_cast<int>(loWord(static_cast<uintptr_t>(message.lParam))),
                   static_cast<int>(hiWord(static_cast<uintptr_t>(message.lParam))));
        return 0;
    default:
        return state.system->defaultProc(message);
    }
}

}  // namespace pap
