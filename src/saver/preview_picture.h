#pragma once

// The preview picture (assets/preview.png), compiled into the program by the build.

#include <cstddef>
#include <cstdint>

namespace pap {

extern const uint8_t kPreviewPicturePng[];
extern const size_t kPreviewPicturePngSize;

}  // namespace pap
