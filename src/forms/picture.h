#pragma once

// Pictures as files and as the program's own artwork.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include <vector>

#include "gfx/surface.h"

namespace pap::forms {

// A picture object that keeps the file it was loaded from (a GIF file's bytes for the animated-GIF
// control's picture property).
struct PictureObject {
    std::vector<uint8_t> fileBytes;
};

// The size of the header a property bag writes before a picture's file bytes when it serialises it.
constexpr size_t kPictureHeaderBytes = 54;

// A picture as a property bag serialises it under a key: a header of kPictureHeaderBytes (a tag, the
// key, the sizes) followed by the bytes of the file the picture was loaded from.
std::vector<uint8_t> SerialisePicture(const std::string& key, const PictureObject& picture);

// Saves a picture as a bitmap file (24 bits, bottom-up, no compression), replacing a file of that
// name (or a link: platform/files.h ReplaceWholeFile, a new private file). The file is complete and closed when
// this returns true; false when it could not be written.
bool SavePicture(const gfx::Surface& picture, const std::string& path);

}  // namespace pap::forms
