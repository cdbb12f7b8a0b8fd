#pragma once

// The push button's six skin pictures (assets/command_<look>.png) as PNG bytes, compiled into the
// program by the build.

#include <cstddef>
#include <cstdint>

namespace pap {

extern const uint8_t kCommandSkin_normal[];
extern const size_t kCommandSkin_normalSize;
extern const uint8_t kCommandSkin_highlight[];
extern const size_t kCommandSkin_highlightSize;
extern const uint8_t kCommandSkin_highlightselect[];
extern const size_t kCommandSkin_highlightselectSize;
extern const uint8_t kCommandSkin_selected[];
extern const size_t kCommandSkin_selectedSize;
extern const uint8_t kCommandSkin_pressed[];
extern const size_t kCommandSkin_pressedSize;
extern const uint8_t kCommandSkin_disable[];
extern const size_t kCommandSkin_disableSize;

}  // namespace pap
