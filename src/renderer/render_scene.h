#pragma once

// The OpenGL side of the renderer: viewport and projection, scene state, and one frame.
// All need a current GL context.

#include "renderer/render_state.h"

namespace pap {

// Viewport (0, 0, width, height) (a height of 0 taken as 1); projection gluPerspective(60, 1, 0, 1000).
void ResizeView(int width, int height);
// Loads the snapshot texture, sets the GL state, initialises the mesh and starts its clock. Always true.
bool SetupScene(RenderState& state);
// Draws one frame of the animation and advances it. Always true.
bool RenderFrame(RenderState& state);

}  // namespace pap
