#pragma once

// Decoding of a parsed GIF's frames into its index strip, in two passes: the first pass works out the
// painting flags, creates the strip and decodes frame 1 so that it can be shown at once; the second
// pass decodes frames 2 .. N (run at once or later, as the control chooses). Decoding rewrites each
// frame's blockStart as its x offset in the strip.

#include <cstdint>
#include <span>

#include "controls/anigif/gif_stream.h"
#include "controls/anigif/lzw_decoder.h"

namespace pap::anigif {

// Whether the control runs in a live container (a running program) or at design time.
enum class Container { Live, Design };

struct StripLimits {
    // Largest strip in pixels (bytes). The default refuses only what cannot be addressed.
    uint64_t maxPixels = UINT64_MAX;
};

// First pass over a gif filled by ParseGifStream (count > 0): computes gif.flags, sizes the strip
// (the sum of the frame widths by actualHeight; frame 1's width only at design time or with a single
// frame) and decodes frame 1 into it. Returns false, leaving no strip, when the strip size is zero,
// overflows, exceeds the limit or cannot be allocated; the load then fails.
bool DecodeFirstPass(std::span<const uint8_t> gifData, GifStream& gif, Container container,
                     const StripLimits& limits = {});

// Second pass: decodes frames 2 .. N when the strip was made for them; nothing otherwise or when the
// first pass has not run.
void DecodeSecondPass(std::span<const uint8_t> gifData, GifStream& gif);

// Decodes frame `index` (0-based) into the strip at the frame's x offset (its blockStart, already
// rewritten). A frame whose data cannot be decoded keeps the indices written before the fault, the
// rest of its slice 0; a minimum code size outside 2..8 leaves it all 0. `decoder` lends its working
// memory, kept for the next frame.
LzwStatus DecodeFrame(std::span<const uint8_t> gifData, GifStream& gif, size_t index, LzwDecoder& decoder);

}  // namespace pap::anigif
