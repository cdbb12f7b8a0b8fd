// Animated GIF decoding: our parser and two decoding passes into the index strip against giflib's
// DGifSlurp, on the same in-memory 100-frame 500 x 500 animation written by giflib (256 colours,
// every frame a different pattern of short runs and noise).

#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <cstring>
#include <random>
#include <vector>

#include "controls/anigif/frame_decoder.h"
#include "support/giflib_memory.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kSize = 500;
constexpr int kFrames = 100;

using pap::test::ReadFromVector;
using pap::test::ReadState;
using pap::test::WriteToVector;

const Bytes& Animation()
{
    static const Bytes data = [] {
        Bytes out;
        int error = 0;
        GifFileType* gif = EGifOpen(&out, WriteToVector, &error);
        std::vector<GifColorType> colors(256, GifColorType{0, 0, 0});
        ColorMapObject* map = GifMakeMapObject(256, colors.data());
        EGifPutScreenDesc(gif, kSize, kSize, 8, 0, map);
        std::mt19937 random(7);
        std::vector<GifPixelType> line(kSize);
        for (int f = 0; f < kFrames; ++f) {
            EGifPutImageDesc(gif, 0, 0, kSize, kSize, false, nullptr);
            for (int y = 0; y < kSize; ++y) {
                for (int x = 0; x < kSize; ++x)
                    line[size_t(x)] = (x / 4 + y / 4 + f) % 3 ? GifPixelType((x / 8 + y / 8 + f) & 0xFF)
                                                              : GifPixelType(random() & 0xFF);
                EGifPutLine(gif, line.data(), kSize);
            }
        }
        EGifCloseFile(gif, &error);
        GifFreeMapObject(map);
        return out;
    }();
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
