#pragma once

#include <memory>

#include "platform/gl_window.h"

namespace pap {

// The render window as a child of another program's window `host` (0: the root window): it fills the
// host and follows its size, takes no input, leaves the cursor and the screen saver alone, and is
// asked to close when the host is destroyed.
std::unique_ptr<GlWindowSystem> MakeHostedGlWindowSystem(unsigned long host);

}  // namespace pap
