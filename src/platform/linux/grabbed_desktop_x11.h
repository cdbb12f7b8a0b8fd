#pragma once

// Reading pixels of a window or pixmap into a picture, and the desktop an XScreenSaver daemon grabbed.

#include <X11/Xlib.h>

#include "gfx/surface.h"

namespace pap {

// XGetImage of the top-left width × height pixels of `drawable` into `target` at (0, 0), clipped to the
// target. A pixmap's image carries no colour masks: `visual` gives them. False when the server refuses.
bool CopyDrawable(Display* display, Drawable drawable, const Visual* visual, gfx::Surface& target, int width,
                  int height);

// The desktop that an XScreenSaver daemon grabbed before it covered the screen with `window`: drawn onto
// a pixmap by its xscreensaver-getimage helper (which honours the user's image-source choice), else the
// daemon's own snapshot pixmap in the window's _SCREENSAVER_SCREENSHOT property.
bool CopyGrabbedDesktop(Display* display, Window window, gfx::Surface& target, int width, int height);

}  // namespace pap
