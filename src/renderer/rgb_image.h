#pragma once

#include <cstdint>
#include <vector>

namespace pap {

// A decoded picture: sizeX * sizeY pixels of 3 bytes (red, green, blue), rows without padding,
// the first row being the bottom row of the picture.
struct RgbImage {
    int32_t sizeX = 0;
    int32_t sizeY = 0;
    std::vector<uint8_t> pixels;
};

}  // namespace pap
