#include "base/tick_clock.h"

#include <chrono>

namespace pap {

uint32_t TickCount()
{
    auto since = std::chrono::steady_clock::now().time_since_epoch();
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
    return static_cast<uint32_t>(static_cast<uint64_t>(ms));
}

}  // namespace pap
