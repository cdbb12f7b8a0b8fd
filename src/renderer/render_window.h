#pragma once

// The renderer program's shell: its entry algorithm, the window set-up and tear-down, and the window
// procedure, all over the platform's GlWindowSystem.

#include "renderer/render_state.h"

namespace pap {

// The entry algorithm: open the window, run the message and frame loop, close the window.
// Returns the process exit code.
int RendererMain(RenderState& state);

bool OpenRenderWindow(RenderState& state, const char* title, int width, int height, int bits);
void CloseRenderWindow(RenderState& state);
intptr_t RenderWndProc(RenderState& state, const WindowMessage& message);

}  // namespace pap
