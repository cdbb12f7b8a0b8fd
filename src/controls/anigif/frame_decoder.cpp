#include "controls/anigif/frame_decoder.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <new>

#include "controls/anigif/gif_reader.h"

namespace pap::anigif {

namespace {

void ComputeFlags(GifStream& gif, Container container)
{
    DecodeFlags& flags = gif.flags;
    flags = DecodeFlags{};
    for (const GifFrame& frame : gif.frames) {
        if (frame.hasTransparency)
            flags.anyTransparent = true;
        if (frame.disposal == 0 || frame.disposal == 1)
            flags.allRestoreBackground = false;
        else if (frame.disposal == 2)
            flags.needMask = true;
        else if (frame.disposal == 3) {
            flags.allRestoreBackground = false;
            flags.needMask = true;
        }
    }
    for (size_t i = 0; i < gif.frames.size(); ++i)
        flags.longestSpan = std::max(flags.longestSpan, gif.spans[i].length);

    const GifFrame& first = gif.frames.front();
    if (container == Container::Design || gif.frames.size() == 1) {
        flags.needMask = false;
    } else if (flags.allRestoreBackground) {
        flags.needMask = false;
    } else {
        if (!flags.needMask) {
            flags.needMask = first.hasTransparency ||
                             (flags.anyTransparent &&
                              (first.height != gif.actualHeight || first.width != gif.actualWidth));
        }
        flags.useComposition = true;
    }
}

}  // namespace

LzwStatus DecodeFrame(std::span<const uint8_t> gifData, GifStream& gif, size_t index, LzwDecoder& decoder)
{
    GifFrame& frame = gif.frames[index];
    frame.blockStart = index == 0 ? 0 : gif.frames[index - 1].blockStart + gif.frames[index - 1].width;

    // Image descriptor at the span start: separator 0x2C, left, top, width, height (16 bits each),
    // packed byte (+9: bit 7 local table, bit 6 interlace, bits 0-2 table size); then the local
    // table, the LZW minimum code size and the data sub-blocks. The span may be cut by the end of
    // the file, so everything is read through the reader.
    const GifReader reader(gifData);
    const int64_t start = gif.spans[index].start;
    auto packed = reader.Bytes(start + 9, 1);
    if (!packed)
        return LzwStatus::Truncated;
    const uint8_t p = (*packed)[0];
    const int64_t tableBytes = (p & 0x80) ? 3 * (int64_t{1} << ((p & 7) + 1)) : 0;
    auto codeSize = reader.Bytes(start + 10 + tableBytes, 1);
    if (!codeSize)
        return LzwStatus::Truncated;

    IndexTarget target;
    target.pixels = gif.strip.pixels.data() + frame.blockStart;
    target.stride = static_cast<size_t>(gif.strip.width);
    target.width = frame.width;
    target.height = frame.height;
    return decoder.Decode(reader.Tail(start + 11 + tableBytes), (*codeSize)[0], (p & 0x40) != 0, target);
}

bool DecodeFirstPass(std::span<const uint8_t> gifData, GifStream& gif, Container container,
                     const StripLimits& limits)
{
    gif.strip = IndexStrip{};
    gif.decodedFrames = 0;
    gif.stripFrames = 0;
    if (gif.frames.empty())
        return false;
    ComputeFlags(gif, container);

    uint64_t width = 0;
    size_t stripFrames = gif.frames.size();
    if (container == Container::Design || gif.frames.size() == 1) {
        width = static_cast<uint64_t>(gif.frames.front().width);
        stripFrames = 1;
    } else {
        for (const GifFrame& frame : gif.frames)
            width += static_cast<uint64_t>(frame.width);
    }
    const uint64_t height = static_cast<uint64_t>(gif.actualHeight);
    // Widths are at most 65535 each and there are at most 32767 frames, so neither factor overflows;
    // their product is checked against what a strip and its 32-bit width can hold.
    if (width == 0 || height == 0 || width > static_cast<uint64_t>(std::numeric_limits<int32_t>::max()))
        return false;
    if (height > std::numeric_limits<uint64_t>::max() / width)
        return false;
    const uint64_t pixels = width * height;
    if (pixels > limits.maxPixels || pixels > static_cast<uint64_t>(std::numeric_limits<ptrdiff_t>::max()))
        return false;
    try {
        gif.strip.pixels = ZeroedBytes(static_cast<size_t>(pixels));
    } catch (const std::bad_alloc&) {
        gif.strip = IndexStrip{};
        return false;
    }
    gif.strip.width = static_cast<int32_t>(width);
    gif.strip.height = static_cast<int32_t>(height);

    gif.stripFrames = static_cast<int32_t>(stripFrames);
    LzwDecoder decoder;
    DecodeFrame(gifData, gif, 0, decoder);
    gif.decodedFrames = 1;
    return true;
}

void DecodeSecondPass(std::span<const uint8_t> gifData, GifStream& gif)
{
    if (gif.decodedFrames == 0)
        return;
    LzwDecoder decoder;
    for (size_t i = static_cast<size_t>(gif.decodedFrames); i < static_cast<size_t>(gif.stripFrames); ++i)
        DecodeFrame(gifData, gif, i, decoder);
    gif.decodedFrames = gif.stripFrames;
}

}  // namespace pap::anigif
