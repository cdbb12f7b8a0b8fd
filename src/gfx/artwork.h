#pragma once

// The program's own artwork, compiled into it as PNG files.

#include <cstdint>
#include <optional>
#include <span>

#include "gfx/surface.h"

namespace pap::gfx {

// Decodes a PNG picture (any colour type; alpha is dropped); empty when the data is not a PNG that
// can be decoded or the picture is larger than kMaxSide on a side.
std::optional<Surface> DecodePng(std::span<const uint8_t> data);

}  // namespace pap::gfx
