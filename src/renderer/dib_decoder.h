#pragma once

// In-memory decoder of device-independent bitmaps (BMP files and packed DIBs) into an RgbImage.
//
// Accepted: an optional 14-byte "BM" file header (only its pixel-data offset at +10 is used), a 12-byte
// core header or a 40-byte info header, 1/4/8 bits through the colour table, 16 bits 5-5-5, 24 bits,
// 32 bits (fourth byte unused), RLE8 and RLE4, 16- and 32-bit bit-field masks, and top-down
// (negative-height) uncompressed bitmaps, which are flipped so that the output still starts with the
// bottom row. Pixel indices beyond the colour table give black, as do pixels that run-length data skips.

#include <cstdint>
#include <optional>
#include <span>

#include "renderer/rgb_image.h"

namespace pap {

// The bitmap header's fields, widened to the 40-byte layout. A 12-byte header leaves the fields it
// does not have at 0.
struct DibHeader {
    uint32_t headerSize = 0;
    int32_t width = 0;
    int32_t height = 0;  // negative: top-down rows
    uint16_t planes = 0;
    uint16_t bitCount = 0;
    uint32_t compression = 0;
    uint32_t imageSize = 0;
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
    uint32_t colorsUsed = 0;
    uint32_t colorsImportant = 0;
};

enum DibCompression : uint32_t {
    DibRgb = 0,
    DibRle8 = 1,
    DibRle4 = 2,
    DibBitFields = 3,
};

// Colour table length: for a 40-byte header its colours-used field when not 0; otherwise from the
// bits per pixel (1 -> 2, 4 -> 16, 8 -> 256, anything else -> 0).
uint32_t DibColorCount(const DibHeader& header);

enum class DibError {
    None,
    UnknownFormat,    // headers or colour table unusable or cut
    ConversionError,  // pixel data unusable or cut
    OutOfMemory,      // image too big, or allocation failed
};

// The loader's message for an error: "Unknown DIB file format.", "Image file conversion error.",
// "Out of memory."; empty for DibError::None.
const char* DibErrorMessage(DibError error);

struct DibLimits {
    // Largest image accepted, in pixels; larger ones fail with OutOfMemory before anything is
    // allocated. The default holds any screen with room to spare (8192 x 8192).
    uint64_t maxPixels = uint64_t{8192} * 8192;
};

struct DibDecodeResult {
    std::optional<RgbImage> image;  // set on success
    DibError error = DibError::None;
    const char* reason = "";  // a short specific reason on failure, for tools and tests
    DibHeader header;         // as far as it was read
};

// Decodes a whole file (with "BM" header) or a packed DIB (header at offset 0, pixel data right after
// the colour table). Never reads outside `file`.
DibDecodeResult DecodeDib(std::span<const uint8_t> file, const DibLimits& limits = {});

}  // namespace pap
