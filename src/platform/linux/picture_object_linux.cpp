#include "platform/picture_object.h"

namespace pap {

// Linux has no picture object of its own: the picture keeps its file.
std::unique_ptr<PlatformPicture> LoadPlatformPicture(std::span<const uint8_t> file) { return LoadFilePicture(file); }

}  // namespace pap
