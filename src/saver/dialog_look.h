#pragma once

// What the settings dialog shows and opens besides its artwork: the colours of its frame lines and the
// home page address.

#include "gfx/surface.h"

namespace pap {

// Each frame is two outlines: a light one, and a dark one 2 pixels up and left of it drawn over it,
// which gives an etched look.
inline constexpr gfx::Pixel kFrameLight = gfx::Rgb(0xFF, 0xFF, 0xFF);
inline constexpr gfx::Pixel kFrameDark = gfx::Rgb(0x8C, 0x86, 0x78);

// The home page the dialog's animation opens. The project has no public site yet: a name under the
// reserved .example domain can never lead a user to somebody else's page, and this is the one place to
// change when a site exists.
inline constexpr const char* kHomePageAddress = "https://papyrant.example/";

}  // namespace pap
