// Animated GIF decoding: our parser and two decoding passes into the index strip against giflib's
// DGifSlurp, on the same in-memory 100-frame 500 x 500 animation written by giflib (256 colours,
// every frame a different pattern of short runs and noise). And the frame snapshot encoder against
// giflib's EGifPutLine on one frame of that animation and on a dithered 1-megapixel still: time, and
// the file size as the "bytes" counter.

#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "controls/anigif/frame_decoder.h"
#include "controls/anigif/snapshot_encoder.h"
#include "gif_animation.h"
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

// A 1024 x 1024 still with photographic detail, top row first: smooth colour fields (overlapping
// sine waves and a soft disk) with fine texture and sensor-like noise, reduced to a 6 x 7 x 6 colour
// cube (252 colours, padded to 256) with Floyd-Steinberg error diffusion, as photographs in GIF are.
struct Still {
    static constexpr int kSide = 1024;
    Bytes pixels;
    std::vector<uint32_t> palette;  // 0x00RRGGBB
};

const Still& PhotoStill()
{
    static const Still still = [] {
        constexpr int n = Still::kSide;
        Still out;
        for (int i = 0; i < 256; ++i) {
            const int r = i / 42, g = i / 6 % 7, b = i % 6;
            out.palette.push_back(i < 252 ? uint32_t(r * 51) << 16 | uint32_t(g * 255 / 6) << 8 | uint32_t(b * 51) : 0);
        }
        std::mt19937 random(1024);
        std::normal_distribution<float> grain(0.0f, 6.0f);
        std::vector<float> rgb(size_t(n) * n * 3);
        for (int y = 0; y < n; ++y) {
            for (int x = 0; x < n; ++x) {
                const float u = float(x) / n, v = float(y) / n;
                const float disk = std::exp(-((u - 0.6f) * (u - 0.6f) + (v - 0.4f) * (v - 0.4f)) * 18.0f);
                const float texture = std::sin(float(x) * 0.31f + std::sin(float(y) * 0.07f) * 4.0f) *
                                      std::sin(float(y) * 0.23f) * 18.0f;
                float* p = &rgb[(size_t(y) * n + size_t(x)) * 3];
                p[0] = 120 + 90 * std::sin(u * 5.1f + v * 2.3f) + 60 * disk + texture + grain(random);
                p[1] = 110 + 80 * std::sin(v * 4.2f - u * 1.7f + 1.0f) + 40 * disk + texture * 0.8f + grain(random);
                p[2] = 100 + 70 * std::cos(u * 3.3f * v + 2.0f) - 30 * disk + texture * 0.6f + grain(random);
            }
        }
        out.pixels.resize(size_t(n) * n);
        const int levels[3] = {6, 7, 6};
        for (int y = 0; y < n; ++y) {
            for (int x = 0; x < n; ++x) {
                float* p = &rgb[(size_t(y) * n + size_t(x)) * 3];
                int q[3];
                for (int k = 0; k < 3; ++k) {
                    const float step = 255.0f / float(levels[k] - 1);
                    q[k] = std::clamp(int(std::lround(std::clamp(p[k], 0.0f, 255.0f) / step)), 0, levels[k] - 1);
                    const float error = p[k] - float(q[k]) * step;
                    auto spread = [&](int dx, int dy, float weight) {
                        if (x + dx >= 0 && x + dx < n && y + dy < n)
                            rgb[(size_t(y + dy) * n + size_t(x + dx)) * 3 + size_t(k)] += error * weight;
                    };
                    spread(1, 0, 7.0f / 16);
                    spread(-1, 1, 3.0f / 16);
                    spread(0, 1, 5.0f / 16);
                    spread(1, 1, 1.0f / 16);
                }
                out.pixels[size_t(y) * n + size_t(x)] = uint8_t(q[0] * 42 + q[1] * 6 + q[2]);
            }
        }
        return out;
    }();
    return still;
}

struct Picture {
    int width, height;
    Bytes pixels;  // top row first
    std::vector<uint32_t> palette;
};

// Argument 0: frame 1 of the 500 x 500 animation (its palette a grey ramp); 1: the still.
Picture EncoderInput(int which)
{
    if (which == 1) {
        const Still& still = PhotoStill();
        return {Still::kSide, Still::kSide, still.pixels, still.palette};
    }
    std::mt19937 random(7);
    std::vector<uint32_t> grey;
    for (uint32_t i = 0; i < 256; ++i)
        grey.push_back(i * 0x010101u);
    return {kSize, kSize, pap::bench::AnimationFrame(0, kSize, random), grey};
}

void BM_EncodePapyrant(benchmark::State& state)
{
    const Picture picture = EncoderInput(int(state.range(0)));
    pap::anigif::GifStream gif;
    gif.frames.resize(1);
    gif.frames[0].width = picture.width;
    gif.frames[0].height = picture.height;
    gif.palettes.resize(1);
    std::copy(picture.palette.begin(), picture.palette.end(), gif.palettes[0].begin());
    gif.strip.pixels = pap::anigif::ZeroedBytes(picture.pixels.size());
    std::copy(picture.pixels.begin(), picture.pixels.end(), gif.strip.pixels.begin());
    gif.strip.width = picture.width;
    gif.strip.height = picture.height;
    gif.stripFrames = gif.decodedFrames = 1;
    size_t bytes = 0;
    for (auto _ : state) {
        const Bytes file = pap::anigif::SnapshotFrame(gif, 1);
        bytes = file.size();
        benchmark::DoNotOptimize(file.data());
    }
    state.counters["bytes"] = double(bytes);
    state.SetItemsProcessed(int64_t(state.iterations()) * picture.width * picture.height);
}

void BM_EncodeGiflib(benchmark::State& state)
{
    const Picture picture = EncoderInput(int(state.range(0)));
    std::vector<GifColorType> colours;
    for (uint32_t c : picture.palette)
        colours.push_back({GifByteType(c >> 16), GifByteType(c >> 8), GifByteType(c)});
    ColorMapObject* map = GifMakeMapObject(256, colours.data());
    size_t bytes = 0;
    for (auto _ : state) {
        Bytes out;
        int error = 0;
        GifFileType* gif = EGifOpen(&out, WriteToVector, &error);
        EGifPutScreenDesc(gif, picture.width, picture.height, 8, 0, map);
        EGifPutImageDesc(gif, 0, 0, picture.width, picture.height, false, nullptr);
        for (int y = 0; y < picture.height; ++y)
            EGifPutLine(gif, const_cast<GifPixelType*>(picture.pixels.data()) + y * picture.width, picture.width);
        EGifCloseFile(gif, &error);
        bytes = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    GifFreeMapObject(map);
    state.counters["bytes"] = double(bytes);
    state.SetItemsProcessed(int64_t(state.iterations()) * picture.width * picture.height);
}

BENCHMARK(BM_Papyrant)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Giflib)->Unit(benchmark::kMillisecond);
// The frame snapshot encoder against giflib's encoder: 0 the animation frame, 1 the still.
BENCHMARK(BM_EncodePapyrant)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeGiflib)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
