#pragma once

// Frames for the snapshot encoder's round trips: a GifStream holding a test frame in its index strip,
// and the table of frame shapes (sizes 1 x 1 to 300 x 200, 1 to 256 colours, noise that fills the LZW
// table many times over, long runs) plus randomly drawn ones from a fixed seed.

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "controls/anigif/gif_stream.h"

namespace pap::anigif::test {

enum class Pattern { Noise, Runs, Mixed };

struct SnapshotCase {
    int32_t width, height, colours;
    Pattern pattern;
    bool transparent;

    std::string name() const
    {
        return std::to_string(width) + "x" + std::to_string(height) + " colours " + std::to_string(colours) +
               " pattern " + std::to_string(int(pattern)) + (transparent ? " transparent" : "");
    }
};

inline std::vector<SnapshotCase> SnapshotCases()
{
    std::vector<SnapshotCase> cases = {
        {1, 1, 1, Pattern::Noise, false},      {1, 1, 256, Pattern::Noise, true},
        {300, 200, 256, Pattern::Noise, false},  // about 15 table resets
        {300, 200, 2, Pattern::Noise, true},     {300, 200, 1, Pattern::Noise, false},  // one long run
        {300, 200, 256, Pattern::Runs, false},   {299, 199, 129, Pattern::Mixed, true},
        {17, 33, 5, Pattern::Noise, false},      {2, 200, 16, Pattern::Runs, false},
        {300, 1, 256, Pattern::Noise, false},    {1, 200, 3, Pattern::Mixed, false},
    };
    std::mt19937 random(6006);
    for (int i = 0; i < 12; ++i) {
        cases.push_back({std::uniform_int_distribution<int32_t>(1, 300)(random),
                         std::uniform_int_distribution<int32_t>(1, 200)(random),
                         std::uniform_int_distribution<int32_t>(1, 256)(random), Pattern(random() % 3),
                         random() % 2 == 0});
    }
    return cases;
}

// The case's frame as frame 2 of a stream whose strip also holds a 7-column frame 1 and is one row
// taller than the frame, so that the slice has neighbours on every side. Frame 2 uses local table 1,
// filled with random colours; frame 1's pixels and the row below are 0xEE.
inline GifStream SnapshotStream(const SnapshotCase& c, std::mt19937& random)
{
    GifStream gif;
    gif.frames.resize(2);
    gif.frames[0].width = 7;
    gif.frames[0].height = c.height + 1;
    GifFrame& frame = gif.frames[1];
    frame.width = c.width;
    frame.height = c.height;
    frame.blockStart = 7;
    frame.paletteIndex = 1;
    frame.hasTransparency = c.transparent;
    frame.transparentIndex = uint8_t(random() % uint32_t(c.colours));
    gif.palettes.resize(2);
    for (uint32_t& colour : gif.palettes[1])
        colour = random() & 0xFFFFFF;
    gif.strip.width = 7 + c.width + 3;
    gif.strip.height = c.height + 1;
    gif.strip.pixels = ZeroedBytes(size_t(gif.strip.width) * size_t(gif.strip.height));
    std::fill(gif.strip.pixels.begin(), gif.strip.pixels.end(), 0xEE);
    gif.stripFrames = gif.decodedFrames = 2;

    std::uniform_int_distribution<int> index(0, c.colours - 1), run(1, 500);
    int left = 0;
    uint8_t value = 0;
    for (int32_t y = 0; y < c.height; ++y) {
        for (int32_t x = 0; x < c.width; ++x) {
            const bool noise = c.pattern == Pattern::Noise || (c.pattern == Pattern::Mixed && (x / 16 + y / 16) % 2);
            if (noise) {
                value = uint8_t(index(random));
            } else if (left-- == 0) {
                value = uint8_t(index(random));
                left = run(random);
            }
            gif.strip.pixels[size_t(y) * size_t(gif.strip.width) + size_t(7 + x)] = value;
        }
    }
    return gif;
}

// Frame `number`'s slice of the strip, top row first.
inline std::vector<uint8_t> SliceOf(const GifStream& gif, int32_t number)
{
    const GifFrame& frame = gif.frames[size_t(number - 1)];
    std::vector<uint8_t> out;
    for (int32_t y = 0; y < frame.height; ++y) {
        const auto row = gif.strip.pixels.begin() + long(y) * gif.strip.width + frame.blockStart;
        out.insert(out.end(), row, row + frame.width);
    }
    return out;
}

}  // namespace pap::anigif::test
