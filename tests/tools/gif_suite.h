#pragma once

// A GIF decoder conformance suite written for the animated-GIF control: each case is a GIF file made
// here (by a dictionary LZW encoder and a block writer of its own, independent of the code under
// test) together with what the control must show for it: the frame list and, for every frame, the
// picture as painted over its container (RGBA, alpha 0 where the container shows through), worked
// out by a plain per-pixel model of the control's composition.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pap::gifsuite {

using Bytes = std::vector<uint8_t>;
using Colours = std::vector<uint32_t>;  // 0x00RRGGBB

// How the encoder treats a full table (4096 codes).
enum class OnFull { Clear, KeepCoding };

struct LzwOptions {
    int minimumCodeSize = 8;
    OnFull onFull = OnFull::Clear;
    int clearEvery = 0;        // also a clear code after this many codes (0: never)
    bool endCode = true;       // write the end-of-information code
    int subBlockSize = 255;    // data bytes per sub-block
    int keepDataBytes = -1;    // cut the data after this many bytes (-1: all)
    std::vector<unsigned> rawCodes;  // when set: these codes at the running width instead of encoding
};

struct LzwResult {
    Bytes data;          // the packed codes, before sub-blocking
    size_t decodable = 0;  // pixels a decoder gets out of the kept bytes
};

LzwResult EncodeLzw(const Bytes& indices, const LzwOptions& options);

struct Frame {
    int left = 0, top = 0, width = 0, height = 0;
    Bytes indices;  // width x height, top row first (in file order when interlaced is false)
    std::optional<Colours> localTable;
    int localTableBits = 0;  // size field: 2^(bits+1) entries written; 0 = derived from the table
    bool interlaced = false;
    bool control = true;  // a graphic control extension precedes the image
    int disposal = 0;     // as written in the file
    int delay = 0;        // 1/100 s
    int transparent = -1;
    LzwOptions lzw;
    Bytes before;  // raw bytes written before the frame (extensions, zero bytes)
    // What the decoder must leave in the frame's slice when it differs from `indices`.
    std::optional<Bytes> expectedIndices;
};

struct Case {
    std::string name;
    std::string signature = "GIF89a";
    int screenWidth = 0, screenHeight = 0;  // 0: from the frames
    std::optional<Colours> globalTable;
    int globalTableBits = 0;
    std::optional<int> loop;
    std::string loopIdentifier = "NETSCAPE2.0";
    std::vector<Frame> frames;
    Bytes trailer = {0x3B};
    long cutAt = -1;  // the file is cut to this many bytes (-1: whole)
    // Expected: frames kept, or 0 for a failed load.
    int expectedFrames = -1;  // -1: all frames
};

Bytes WriteGif(const Case& c);

struct ExpectedFrame {
    int delayMs = 0, disposal = 0, left = 0, top = 0, width = 0, height = 0, transparent = -1;
    Bytes rgba;  // width x height of the picture, 4 bytes a pixel
};

struct Expected {
    int frames = 0, width = 0, height = 0, loop = 0;
    std::vector<ExpectedFrame> perFrame;
};

// What a live control with every frame decoded, unscaled and unmirrored, shows for the case.
Expected ExpectedFor(const Case& c);

std::vector<Case> MakeSuite();

}  // namespace pap::gifsuite
