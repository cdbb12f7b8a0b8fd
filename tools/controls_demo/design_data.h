#pragma once

// The demo form's design-time data, compiled in from controls_demo.design.

#include <cstddef>
#include <cstdint>

namespace pap {

extern const uint8_t kControlsDemoDesign[];
extern const size_t kControlsDemoDesignSize;

}  // namespace pap
