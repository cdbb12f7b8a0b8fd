// Animated GIF decoding: our parser and two decoding passes into the index strip against giflib's
// DGifSlurp, on the same in-memory 100-frame 500 x 500 animation written by giflib (256 colours,
// every frame a different pattern of short runs and noise).

#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <vector>

#include "controls/anigif/frame_decoder.h"
#include "gif_animation.h"
#include "support/giflib_memory.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kSize = 500;
constexpr int kFrames = 100;

using pap::test::ReadFromVector;
using pap::test::ReadState;

const Bytes& Animation()
{
    static const Bytes data = pap::bench::GifAnimation(kFrames, kSize);
    return data;
}

void BM_Papyrant(benchmark::State& state)
{
    const Bytes& data = Animation();
    for (auto _ : state) {
        pap::anigif::GifStream gif;
        pap::anigif::ParseGifStream(data, gif);
        pap::anigif::DecodeFirstPass(data, gif, pap::anigif::Container::Live);
        pap::anigif::DecodeSecondPass(data, gif);
        benchmark::DoNotOptimize(gif.strip.pixels.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
}

void BM_Giflib(benchmark::State& state)
{
    const Bytes& data = Animation();
    for (auto _ : state) {
        ReadState read{&data, 0};
        int error = 0;
        GifFileType* gif = DGifOpen(&read, ReadFromVector, &error);
        DGifSlurp(gif);
        benchmark::DoNotOptimize(gif->SavedImages);
        DGifCloseFile(gif, &error);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
}

BENCHMARK(BM_Papyrant)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Giflib)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
