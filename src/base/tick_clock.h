#pragma once

#include <cstdint>

namespace pap {

// Milliseconds since an arbitrary fixed point (boot on both platforms), as a 32-bit count that wraps
// after about 49.7 days, like GetTickCount.
uint32_t TickCount();

}  // namespace pap
