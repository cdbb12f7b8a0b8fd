#pragma once

// giflib's reader and writer over byte vectors in memory, for the tests and benchmarks that compare
// with it.

#include <gif_lib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace pap::test {

using GifBytes = std::vector<uint8_t>;

// EGifOpen's output function; UserData is the GifBytes to append to.
inline int WriteToVector(GifFileType* gif, const GifByteType* bytes, int length)
{
    auto* out = static_cast<GifBytes*>(gif->UserData);
    out->insert(out->end(), bytes, bytes + length);
    return length;
}

// DGifOpen's input: the bytes and how far they have been read.
struct ReadState {
    const GifBytes* data;
    size_t position;
};

// DGifOpen's input function; UserData is a ReadState.
inline int ReadFromVector(GifFileType* gif, GifByteType* bytes, int length)
{
    auto* state = static_cast<ReadState*>(gif->UserData);
    const size_t n = std::min(static_cast<size_t>(length), state->data->size() - state->position);
    std::memcpy(bytes, state->data->data() + state->position, n);
    state->position += n;
    return static_cast<int>(n);
}

}  // namespace pap::test
