// Fuzz entry point of the animated-GIF parser, both decoding passes and the painting of every frame:
// any input must parse to a consistent frame list, never read out of bounds, decode into the strip
// without writing outside it, and paint each frame in order onto a small container (with mirroring
// and scaling chosen by the input's last byte) without touching memory outside the buffers. The strip
// is capped at 2^24 pixels and the composed picture at 2^20 here so that large descriptors cannot make
// every input allocate or paint a huge picture.

#include <cstddef>
#include <cstdint>
#include <span>

#include "controls/anigif/composition.h"
#include "controls/anigif/frame_decoder.h"
#include "gfx/surface.h"

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

    if (uint64_t(gif.actualWidth) * uint64_t(gif.actualHeight) > (uint64_t{1} << 20))
        return 0;
    pap::anigif::Composer composer(gif);
    if (!composer.ok())
        return 0;
    const uint8_t choice = data[size - 1];
    if (choice & 2)
        composer.setScales(0.5f, 1.25f);
    composer.ApplyMirror(uint8_t((choice >> 2) & 3), false, true);
    pap::gfx::Surface picture(48, 32, 0x808080);
    pap::gfx::Dib dc = pap::gfx::Dib::View(picture);
    for (int k = 1; k <= gif.count(); ++k)
        composer.PaintFrame(k, dc);
    if (choice & 16)
        pap::anigif::DrawDesignOutline(dc, 48, 32, 0);
    return 0;
}
