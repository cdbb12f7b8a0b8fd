// Animated GIF decoding: our parser and two decoding passes into the index strip against giflib's
// DGifSlurp, on the same in-memory 100-frame 500 x 500 animation written by giflib (256 colours,
// every frame a different pattern of short runs and noise, a quarter of it transparent, disposal 1,
// 2 and 3 in turn). Then decoding and composing every frame to a full-colour picture: ours (the
// control painting each frame onto its container) against stb_image's GIF loader (every frame
// composed to RGBA), on that animation and on a 120 x 50 one like the settings dialog's. Debian's
// stb_image reads before its output buffer for a frame with disposal 3 after the second (it takes the
// previous picture from out - 2 * stride), so the comparisons use animations with disposal 1 and 2
// only, and ours runs once more on the one with disposal 3. And the frame snapshot encoder against
// giflib's EGifPutLine on one frame of that animation's pattern and on a dithered 1-megapixel still:
// time, and the file size as the "bytes" counter.

#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "controls/anigif/composition.h"
#include "controls/anigif/frame_decoder.h"
#include "controls/anigif/snapshot_encoder.h"
#include "gif_animation.h"
#include "support/giflib_memory.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_GIF
#include <stb_image.h>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kSize = 500;
constexpr int kFrames = 100;

using pap::test::ReadFromVector;
using pap::test::ReadState;
using pap::test::WriteToVector;

// Graphic control extension for giflib: packed byte (disposal in bits 2-4, bit 0 transparency),
// delay 1/100 s (16 bits), transparent index.
void PutControl(GifFileType* gif, int disposal, int transparentIndex)
{
    const GifByteType block[4] = {GifByteType(disposal << 2 | (transparentIndex >= 0 ? 1 : 0)), 5, 0,
                                  GifByteType(transparentIndex >= 0 ? transparentIndex : 0)};
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, block);
}

// 100 frames of 500 x 500: runs and noise; from frame 2 on, a diagonal band of a quarter of each frame
// is the transparent index 0, and the disposal goes 1, 2, 3 in turn (1, 2 without restorePrevious).
Bytes MakeAnimation(bool restorePrevious)
{
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, WriteToVector, &error);
    EGifSetGifVersion(gif, true);
    std::vector<GifColorType> colors(256);
    for (int i = 0; i < 256; ++i)
        colors[size_t(i)] = GifColorType{GifByteType(i), GifByteType(255 - i), GifByteType(i * 7)};
    ColorMapObject* map = GifMakeMapObject(256, colors.data());
    EGifPutScreenDesc(gif, kSize, kSize, 8, 0, map);
    std::mt19937 random(7);
    std::vector<GifPixelType> line(kSize);
    for (int f = 0; f < kFrames; ++f) {
        PutControl(gif, restorePrevious ? 1 + f % 3 : 1 + f % 2, f == 0 ? -1 : 0);
        EGifPutImageDesc(gif, 0, 0, kSize, kSize, false, nullptr);
        for (int y = 0; y < kSize; ++y) {
            for (int x = 0; x < kSize; ++x) {
                GifPixelType p = (x / 4 + y / 4 + f) % 3 ? GifPixelType((x / 8 + y / 8 + f) & 0xFF)
                                                         : GifPixelType(random() & 0xFF);
                if (f > 0 && ((x + y + 7 * f) / 32) % 4 == 0)
                    p = 0;
                else if (p == 0)
                    p = 1;
                line[size_t(x)] = p;
            }
            EGifPutLine(gif, line.data(), kSize);
        }
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

const Bytes& Animation()
{
    static const Bytes data = MakeAnimation(true);
    return data;
}

const Bytes& AnimationNoRestore()
{
    static const Bytes data = MakeAnimation(false);
    return data;
}

// 30 frames of 120 x 50 at 32 colours like the dialog's: an opaque background, then a 40 x 30 sprite
// with transparent corners moving across it, disposal 1 and 2 in turn.
const Bytes& DialogAnimation()
{
    static const Bytes data = [] {
        constexpr int kWidth = 120, kHeight = 50, kSprite = 40, kSpriteHeight = 30;
        Bytes out;
        int error = 0;
        GifFileType* gif = EGifOpen(&out, WriteToVector, &error);
        EGifSetGifVersion(gif, true);
        std::vector<GifColorType> colors(32);
        for (int i = 0; i < 32; ++i)
            colors[size_t(i)] = GifColorType{GifByteType(i * 8), GifByteType(i * 5), GifByteType(255 - i * 8)};
        ColorMapObject* map = GifMakeMapObject(32, colors.data());
        EGifPutScreenDesc(gif, kWidth, kHeight, 5, 0, map);
        std::vector<GifPixelType> line(kWidth);
        PutControl(gif, 1, -1);
        EGifPutImageDesc(gif, 0, 0, kWidth, kHeight, false, nullptr);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x)
                line[size_t(x)] = GifPixelType(1 + (x / 10 + y / 10) % 31);
            EGifPutLine(gif, line.data(), kWidth);
        }
        for (int f = 1; f < 30; ++f) {
            PutControl(gif, 1 + f % 2, 0);
            const int left = (f * 3) % (kWidth - kSprite), top = (f * 2) % (kHeight - kSpriteHeight);
            EGifPutImageDesc(gif, left, top, kSprite, kSpriteHeight, false, nullptr);
            for (int y = 0; y < kSpriteHeight; ++y) {
                for (int x = 0; x < kSprite; ++x) {
                    const int dx = x - kSprite / 2, dy = y - kSpriteHeight / 2;
                    line[size_t(x)] = dx * dx + dy * dy > 15 * 15 ? 0 : GifPixelType(1 + (x + y + f) % 31);
                }
                EGifPutLine(gif, line.data(), kSprite);
            }
        }
        EGifCloseFile(gif, &error);
        GifFreeMapObject(map);
        return out;
    }();
    return data;
}

// All frames to colour indices: our parser and both decoding passes.
void DecodeOurs(benchmark::State& state, const Bytes& data)
{
    for (auto _ : state) {
        pap::anigif::GifStream gif;
        pap::anigif::ParseGifStream(data, gif);
        pap::anigif::DecodeFirstPass(data, gif, pap::anigif::Container::Live);
        pap::anigif::DecodeSecondPass(data, gif);
        benchmark::DoNotOptimize(gif.strip.pixels.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
}

// All frames to colour indices: giflib's DGifSlurp.
void DecodeGiflib(benchmark::State& state, const Bytes& data)
{
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

void BM_Papyrant(benchmark::State& state) { DecodeOurs(state, Animation()); }
void BM_Giflib(benchmark::State& state) { DecodeGiflib(state, Animation()); }

// Ours: load in a live container, decode every frame, then paint frames 1 .. N in turn onto the
// container's picture, as the control shows them.
void ComposeOurs(benchmark::State& state, const Bytes& data)
{
    int64_t pixels = 0;
    for (auto _ : state) {
        pap::anigif::GifStream gif;
        pap::anigif::ParseGifStream(data, gif);
        pap::anigif::DecodeFirstPass(data, gif, pap::anigif::Container::Live);
        pap::anigif::DecodeSecondPass(data, gif);
        pap::anigif::Composer composer(gif);
        pap::gfx::Surface container(gif.actualWidth, gif.actualHeight, 0x808080);
        pap::gfx::Dib dc = pap::gfx::Dib::View(container);
        for (int k = 1; k <= gif.count(); ++k) {
            composer.PaintFrame(k, dc);
            benchmark::DoNotOptimize(container.data());
        }
        pixels += int64_t(gif.count()) * gif.actualWidth * gif.actualHeight;
    }
    state.counters["ns/pixel"] = benchmark::Counter(double(pixels), benchmark::Counter::kIsRate |
                                                                        benchmark::Counter::kInvert);
}

// stb_image: every frame decoded and composed to RGBA in one call.
void ComposeStb(benchmark::State& state, const Bytes& data)
{
    int64_t pixels = 0;
    for (auto _ : state) {
        int* delays = nullptr;
        int width = 0, height = 0, frames = 0, channels = 0;
        stbi_uc* rgba = stbi_load_gif_from_memory(data.data(), int(data.size()), &delays, &width, &height, &frames,
                                                  &channels, 4);
        if (!rgba) {
            state.SkipWithError(stbi_failure_reason());
            return;
        }
        benchmark::DoNotOptimize(rgba);
        stbi_image_free(rgba);
        stbi_image_free(delays);
        pixels += int64_t(frames) * width * height;
    }
    state.counters["ns/pixel"] = benchmark::Counter(double(pixels), benchmark::Counter::kIsRate |
                                                                        benchmark::Counter::kInvert);
}

void BM_ComposePapyrant(benchmark::State& state) { ComposeOurs(state, AnimationNoRestore()); }
void BM_ComposeStb(benchmark::State& state) { ComposeStb(state, AnimationNoRestore()); }
void BM_ComposeRestorePreviousPapyrant(benchmark::State& state) { ComposeOurs(state, Animation()); }
void BM_ComposeDialogPapyrant(benchmark::State& state) { ComposeOurs(state, DialogAnimation()); }
void BM_ComposeDialogStb(benchmark::State& state) { ComposeStb(state, DialogAnimation()); }

BENCHMARK(BM_Papyrant)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Giflib)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ComposePapyrant)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ComposeStb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ComposeRestorePreviousPapyrant)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ComposeDialogPapyrant)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ComposeDialogStb)->Unit(benchmark::kMicrosecond);

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

// The still as a GIF file written by giflib.
const Bytes& StillGif()
{
    static const Bytes data = [] {
        const Still& still = PhotoStill();
        std::vector<GifColorType> colours;
        for (uint32_t c : still.palette)
            colours.push_back({GifByteType(c >> 16), GifByteType(c >> 8), GifByteType(c)});
        ColorMapObject* map = GifMakeMapObject(256, colours.data());
        Bytes out;
        int error = 0;
        GifFileType* gif = EGifOpen(&out, WriteToVector, &error);
        EGifPutScreenDesc(gif, Still::kSide, Still::kSide, 8, 0, map);
        EGifPutImageDesc(gif, 0, 0, Still::kSide, Still::kSide, false, nullptr);
        for (int y = 0; y < Still::kSide; ++y)
            EGifPutLine(gif, const_cast<GifPixelType*>(still.pixels.data()) + size_t(y) * Still::kSide, Still::kSide);
        EGifCloseFile(gif, &error);
        GifFreeMapObject(map);
        return out;
    }();
    return data;
}

void BM_StillPapyrant(benchmark::State& state) { DecodeOurs(state, StillGif()); }
void BM_StillGiflib(benchmark::State& state) { DecodeGiflib(state, StillGif()); }
void BM_StillComposePapyrant(benchmark::State& state) { ComposeOurs(state, StillGif()); }
void BM_StillComposeStb(benchmark::State& state) { ComposeStb(state, StillGif()); }

// The still: to indices, ours against giflib; to a full-colour picture, ours against stb_image.
BENCHMARK(BM_StillPapyrant)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StillGiflib)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StillComposePapyrant)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StillComposeStb)->Unit(benchmark::kMillisecond);

// The frame snapshot encoder against giflib's encoder: 0 the animation frame, 1 the still.
BENCHMARK(BM_EncodePapyrant)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeGiflib)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
