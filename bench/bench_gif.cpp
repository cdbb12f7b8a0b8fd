// Animated GIF decoding: our parser and two decoding passes into the index strip against giflib's
// DGifSlurp, on the same in-memory 100-frame 500 x 500 animation written by giflib (256 colours,
// every frame a different pattern of short runs and noise, a quarter of it transparent, disposal 1,
// 2 and 3 in turn). Then decoding and composing every frame to a full-colour picture: ours (the
// control painting each frame onto its container) against stb_image's GIF loader (every frame
// composed to RGBA), on that animation and on a 120 x 50 one like the settings dialog's. Debian's
// stb_image reads before its output buffer for a frame with disposal 3 after the second (it takes the
// previous picture from out - 2 * stride), so the comparisons use animations with disposal 1 and 2
// only, and ours runs once more on the one with disposal 3.

#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <cstring>
#include <random>
#include <vector>

#include "controls/anigif/composition.h"
#include "controls/anigif/frame_decoder.h"
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

}  // namespace

BENCHMARK_MAIN();
