#pragma once

// Writing a surface as a Windows bitmap file, the layout a picture saved as a bitmap has: the 14-byte
// "BM" file header, a 40-byte information header, 24-bit pixels (B, G, R) in rows padded to four
// bytes, the bottom row first, no compression and no colour table.

#include <cstdint>
#include <string>
#include <vector>

#include "gfx/surface.h"

namespace pap::gfx {

// The whole file; empty for an empty surface.
std::vector<uint8_t> EncodeBmp24(const Surface& surface);

}  // namespace pap::gfx
