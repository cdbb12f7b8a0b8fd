#pragma once

// The parsed form of an animated GIF: frame records, the byte spans of their image blocks, the
// colour tables, the logical size and the loop count, plus the index strip that the frames are
// decoded into. The animated-GIF control owns one GifStream per loaded picture.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "controls/anigif/zeroed_bytes.h"

namespace pap::anigif {

// One kept frame. Frames are numbered from 1 in stream order; frames[0] is frame 1.
struct GifFrame {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t delay = 0;         // milliseconds: the graphic-control delay (1/100 s) x 10
    int32_t paletteIndex = 0;  // 0: global table; n: the n-th local table met in the stream
    // Position (from 1) of the frame's graphic control extension if one preceded the image, else of its
    // image separator. Decoding rewrites it as the frame's x offset in the index strip.
    int32_t blockStart = 0;
    uint8_t transparentIndex = 0;
    uint8_t hasTransparency = 0;
    uint8_t disposal = 0;  // 0..3
};

// Where a frame's image block lies: from its image separator (position from 1) up to and including
// the terminator of its image data. A block cut by the end of the file has a length reaching past it.
struct FrameSpan {
    int32_t length = 0;
    int32_t start = 0;
};

// Colour tables of 256 entries 0x00RRGGBB (bytes blue, green, red, 0 in memory); table 0 is the
// global table, 1, 2, ... the local tables in stream order. Entries beyond a table's size are 0.
using PaletteTable = std::array<uint32_t, 256>;
using PaletteBank = std::vector<PaletteTable>;

// 8-bit colour indices of the decoded frames side by side: frame i occupies columns
// frames[i].blockStart .. + width - 1 and rows 0 .. height - 1. Rows are stored top row first.
struct IndexStrip {
    ZeroedBytes pixels;
    int32_t width = 0;
    int32_t height = 0;
};

// How the frames will have to be painted, worked out before decoding.
struct DecodeFlags {
    bool allRestoreBackground = true;  // every frame has disposal 2
    bool anyTransparent = false;
    bool needMask = false;
    bool useComposition = false;  // a composition buffer is needed
    int32_t longestSpan = 0;
};

struct GifStream {
    std::vector<GifFrame> frames;
    std::vector<FrameSpan> spans;  // size is the list's upper bound: starts at 10, grows by 5
    PaletteBank palettes;
    int32_t actualWidth = 0;   // largest left + width over the frames
    int32_t actualHeight = 0;  // largest top + height
    int32_t loopLimit = 0;     // 0: forever

    IndexStrip strip;
    DecodeFlags flags;
    int32_t stripFrames = 0;    // frames the strip has room for: 1 at design time or for one frame, else N
    int32_t decodedFrames = 0;  // frames 1 .. decodedFrames are in the strip

    int16_t count() const { return static_cast<int16_t>(frames.size()); }
};

// Walks the GIF block structure once and fills frames, spans, palettes, actualWidth, actualHeight and
// loopLimit of gif (which is cleared first). Returns the frame count; 0 when the signature is not
// GIF87a/GIF89a (any letter case), when the file ends before the first frame is complete, or when an
// image has neither a local nor a global colour table (even if frames were kept before it).
// A read past the end of the data, an unknown introducer byte or an application extension with a
// block size of 0 ends the stream, keeping the frames read so far. At most 32767 frames are kept.
int16_t ParseGifStream(std::span<const uint8_t> gifData, GifStream& gif);

}  // namespace pap::anigif
