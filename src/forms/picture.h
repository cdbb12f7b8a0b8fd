#pragma once

// Pictures as files and as the program's own artwork.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "gfx/surface.h"

namespace pap::forms {

// Saves a picture as a bitmap file (24 bits, bottom-up, no compression), replacing a file of that
// name (or a link: platform/files.h ReplaceWholeFile, a new private file). The file is complete and closed when
// this returns true; false when it could not be written.
bool SavePicture(const gfx::Surface& picture, const std::string& path);

}  // namespace pap::forms
