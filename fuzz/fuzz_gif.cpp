// Fuzz entry point of the animated-GIF parser and both decoding passes: any input must parse to a
// consistent frame list, never read out of bounds, and decode into the strip without writing outside
// it. The strip is capped at 2^24 pixels here so that large descriptors cannot make every input
// allocate a huge strip.

#include <cstddef>
#include <cstdint>
#include <span>

#include "controls/anigif/frame_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span<const uint8_t> bytes(data, size);
    pap::anigif::GifStream gif;
    const int16_t count = pap::anigif::ParseGifStream(bytes, gif);
    if (count < 0 || size_t(count) != gif.frames.size())
        __builtin_trap();
    if (count == 0)
        return 0;
    if (gif.spans.size() <= gif.frames.size())
        __builtin_trap();
    for (const pap::anigif::GifFrame& frame : gif.frames) {
        if (frame.left + frame.width > gif.actualWidth || frame.top + frame.height > gif.actualHeight ||
            frame.disposal > 3 || size_t(frame.paletteIndex) >= gif.palettes.size())
            __builtin_trap();
    }
    pap::anigif::StripLimits limits;
    limits.maxPixels = uint64_t{1} << 24;
    const auto container = (data[size - 1] & 1) ? pap::anigif::Container::Live : pap::anigif::Container::Design;
    if (!pap::anigif::DecodeFirstPass(bytes, gif, container, limits))
        return 0;
    pap::anigif::DecodeSecondPass(bytes, gif);
    if (gif.strip.pixels.size() != size_t(gif.strip.width) * size_t(gif.strip.height) ||
        gif.decodedFrames != gif.stripFrames)
        __builtin_trap();
    return 0;
}
