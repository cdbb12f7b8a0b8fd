#pragma once

// The settings dialog's design-time data and artwork (assets/), compiled into the program by the build.

#include <cstddef>
#include <cstdint>

namespace pap {

extern const uint8_t kDialogDesign[];
extern const size_t kDialogDesignSize;
extern const uint8_t kDialogBackgroundPng[];
extern const size_t kDialogBackgroundPngSize;
extern const uint8_t kDialogIconPng[];
extern const size_t kDialogIconPngSize;
extern const uint8_t kRadioOpt0Png[];
extern const size_t kRadioOpt0PngSize;
extern const uint8_t kRadioOpt1Png[];
extern const size_t kRadioOpt1PngSize;
extern const uint8_t kRadioRa0Png[];
extern const size_t kRadioRa0PngSize;
extern const uint8_t kRadioRa1Png[];
extern const size_t kRadioRa1PngSize;
extern const uint8_t kDialogGif[];
extern const size_t kDialogGifSize;

}  // namespace pap
