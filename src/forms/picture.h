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

// The bytes a property bag writes before a picture's file when it serialises it: its own header
// (kPictureBagHeaderBytes) and the header of the platform picture's stream.
constexpr size_t kPictureBagHeaderBytes = 46;
constexpr size_t kPictureHeaderBytes = 54;

// A picture as a property bag serialises it under a key: the file is loaded into the platform's picture
// object (platform/picture_object.h) and what that object saves is written behind a header of
// kPictureBagHeaderBytes ("PPIC", the saved size in 32 bits, little-endian, the key cut to fit and
// padded with zeros). The file thus starts at kPictureHeaderBytes. Empty when the platform cannot
// load or save the picture.
std::vector<uint8_t> SerialisePicture(const std::string& key, const PictureObject& picture);

// Saves a picture as a bitmap file (24 bits, bottom-up, no compression), replacing a file of that
// name (or a link: platform/files.h ReplaceWholeFile, a new private file). The file is complete and closed when
// this returns true; false when it could not be written.
bool SavePicture(const gfx::Surface& picture, const std::string& path);

}  // namespace pap::forms
