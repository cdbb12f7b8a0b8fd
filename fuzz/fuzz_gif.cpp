// Fuzz entry point of the animated-GIF parser, both decoding passes, the painting of every frame and
// the frame snapshot encoder: any input must parse to a consistent frame list, never read out of
// bounds, decode into the strip without writing outside it, and paint each frame in order onto a small
// container (with mirroring and scaling chosen by the input's last byte) without touching memory
// outside the buffers; the snapshot of every decoded frame must read back through our parser and
// decoder as the same indices, colour table and transparency. The strip is capped at 2^24 pixels and
// the composed picture at 2^20 here so that large descriptors cannot make every input allocate or
// paint a huge picture.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "controls/anigif/composition.h"
#include "controls/anigif/frame_decoder.h"
#include "controls/anigif/snapshot_encoder.h"
#include "gfx/surface.h"

namespace {

bool SameSlice(const pap::anigif::GifStream& a, const pap::anigif::GifFrame& fa, const pap::anigif::GifStream& b)
{
    for (int32_t y = 0; y < fa.height; ++y) {
        const uint8_t* rowA = a.strip.pixels.data() + size_t(y) * size_t(a.strip.width) + size_t(fa.blockStart);
        const uint8_t* rowB = b.strip.pixels.data() + size_t(y) * size_t(b.strip.width);
        if (std::memcmp(rowA, rowB, size_t(fa.width)) != 0)
            return false;
    }
    return true;
}

// Encoding reads every pixel, where decoding a short input writes few, so only frames up to this size
// are encoded and read back; the table resets every few thousand codes, well within it.
constexpr int64_t kSnapshotCheckPixels = int64_t{1} << 18;

void CheckSnapshots(const pap::anigif::GifStream& gif)
{
    for (int32_t k = 1; k <= gif.decodedFrames; ++k) {
        const pap::anigif::GifFrame& frame = gif.frames[size_t(k - 1)];
        if (int64_t{frame.width} * frame.height > kSnapshotCheckPixels)
            continue;
        const std::vector<uint8_t> file = pap::anigif::SnapshotFrame(gif, k);
        if (frame.width == 0 || frame.height == 0) {
            if (!file.empty())
                __builtin_trap();
            continue;
        }
        pap::anigif::GifStream back;
        if (pap::anigif::ParseGifStream(file, back) != 1 ||
            !pap::anigif::DecodeFirstPass(file, back, pap::anigif::Container::Design))
            __builtin_trap();
        const pap::anigif::GifFrame& copy = back.frames[0];
        if (copy.width != frame.width || copy.height != frame.height || copy.hasTransparency != frame.hasTransparency ||
            (frame.hasTransparency && copy.transparentIndex != frame.transparentIndex) ||
            back.palettes[0] != gif.palettes[size_t(frame.paletteIndex)] || !SameSlice(gif, frame, back))
            __builtin_trap();
    }
}

}  // namespace

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
    CheckSnapshots(gif);

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
