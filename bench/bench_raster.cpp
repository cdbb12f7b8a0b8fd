// Raster operations on 500 x 500 bitmaps, in ns a pixel: the blits that paint an animated GIF (an
// 8-bit strip through its colour table onto a 32-bit picture, the 1-bit mask, the 24-bit composition),
// and the one-pass keyed and masked blits against the two GDI passes they replace. Then, in time a
// paint, an 81 x 25 button's background: its vertical gradient, and the whole skin (clear, gradient and
// the eight sections of a 64 x 25 skin picture, corners copied and edges stretched along their length).

#include <benchmark/benchmark.h>

#include <random>

#include "gfx/dib.h"
#include "gfx/gradient.h"
#include "gfx/raster.h"

namespace {

using namespace pap::gfx;

constexpr int kSize = 500;

// A bitmap of random bits; an 8-bit one gets a random colour table.
Dib Random(int bpp, uint32_t seed)
{
    Dib dib = Dib::Create(kSize, kSize, bpp);
    std::mt19937 random(seed);
    for (int y = 0; y < kSize; ++y)
        for (int64_t i = 0; i < DibStride(kSize, bpp); ++i)
            dib.row(y)[i] = uint8_t(random());
    if (bpp == 8) {
        std::vector<Pixel> table(256);
        for (Pixel& p : table)
            p = random() & 0xFFFFFF;
        dib.setColorTable(0, table);
    }
    return dib;
}

void Report(benchmark::State& state)
{
    state.counters["ns/pixel"] = benchmark::Counter(double(state.iterations()) * kSize * kSize,
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BlitCase(benchmark::State& state, int sourceBpp, int targetBpp, Rop rop)
{
    const Dib source = Random(sourceBpp, 1);
    Dib target = Random(targetBpp, 2);
    for (auto _ : state) {
        BitBlt(target, 0, 0, kSize, kSize, source, 0, 0, rop);
        benchmark::DoNotOptimize(target.row(0));
    }
    Report(state);
}

void BM_Copy8To32(benchmark::State& state) { BlitCase(state, 8, 32, Rop::SrcCopy); }
void BM_Paint8To32(benchmark::State& state) { BlitCase(state, 8, 32, Rop::SrcPaint); }
void BM_And8To1(benchmark::State& state) { BlitCase(state, 8, 1, Rop::SrcAnd); }
void BM_And1To32(benchmark::State& state) { BlitCase(state, 1, 32, Rop::SrcAnd); }
void BM_Paint24To32(benchmark::State& state) { BlitCase(state, 24, 32, Rop::SrcPaint); }

// A transparent frame: one keyed pass against the mask-table AND pass and the OR pass.
void BM_Keyed8To32(benchmark::State& state)
{
    const Dib source = Random(8, 1);
    Dib target = Random(32, 2);
    for (auto _ : state) {
        KeyedBlt(target, 0, 0, kSize, kSize, source, 0, 0, 7);
        benchmark::DoNotOptimize(target.row(0));
    }
    Report(state);
}

void BM_TwoPass8To32(benchmark::State& state)
{
    Dib source = Random(8, 1);
    Dib target = Random(32, 2);
    std::vector<Pixel> maskTable(256, kBlack), table(source.colorTable().begin(), source.colorTable().end());
    maskTable[7] = kWhite;
    table[7] = kBlack;
    for (auto _ : state) {
        source.setColorTable(0, maskTable);
        BitBlt(target, 0, 0, kSize, kSize, source, 0, 0, Rop::SrcAnd);
        source.setColorTable(0, table);
        BitBlt(target, 0, 0, kSize, kSize, source, 0, 0, Rop::SrcPaint);
        benchmark::DoNotOptimize(target.row(0));
    }
    Report(state);
}

// The composition onto the container: one masked pass against the mask AND pass and the colour OR pass.
void BM_Masked24To32(benchmark::State& state)
{
    const Dib colour = Random(24, 1), mask = Random(1, 3);
    Dib target = Random(32, 2);
    for (auto _ : state) {
        MaskedBlt(target, 0, 0, kSize, kSize, colour, mask, 0, 0);
        benchmark::DoNotOptimize(target.row(0));
    }
    Report(state);
}

void BM_TwoPass24To32(benchmark::State& state)
{
    const Dib colour = Random(24, 1), mask = Random(1, 3);
    Dib target = Random(32, 2);
    for (auto _ : state) {
        BitBlt(target, 0, 0, kSize, kSize, mask, 0, 0, Rop::SrcAnd);
        BitBlt(target, 0, 0, kSize, kSize, colour, 0, 0, Rop::SrcPaint);
        benchmark::DoNotOptimize(target.row(0));
    }
    Report(state);
}

// A halftone shrink to a quarter of the area (counted per source pixel).
void BM_HalftoneHalf(benchmark::State& state)
{
    const Dib source = Random(32, 1);
    Dib target = Dib::Create(kSize / 2, kSize / 2, 32);
    for (auto _ : state) {
        StretchBlt(target, 0, 0, kSize / 2, kSize / 2, source, 0, 0, kSize, kSize, Rop::SrcCopy, StretchMode::Halftone);
        benchmark::DoNotOptimize(target.row(0));
    }
    Report(state);
}

constexpr int kButtonWidth = 81, kButtonHeight = 25;

void ButtonGradient(Surface& surface)
{
    Dib view = Dib::View(surface);
    const TriVertex vertices[] = {{0, 0, 0xFF00, 0xFF00, 0xFF00, 0},
                                  {kButtonWidth - 1, kButtonHeight - 1, 0xC600, 0xC500, 0xD700, 0}};
    const GradientRect mesh[] = {{0, 1}};
    GradientFillRectV(view, vertices, mesh);
}

void BM_ButtonGradient(benchmark::State& state)
{
    Surface surface(kButtonWidth, kButtonHeight);
    for (auto _ : state) {
        ButtonGradient(surface);
        benchmark::DoNotOptimize(surface.data());
    }
}

void BM_ButtonSkin(benchmark::State& state)
{
    Surface skin(64, 25);
    std::mt19937 random(3);
    for (int y = 0; y < skin.height(); ++y)
        for (int x = 0; x < skin.width(); ++x)
            skin.set(x, y, random() & 0xFFFFFF);
    // The sections in pixels (15 twips each): destination, then source.
    constexpr int W = kButtonWidth, H = kButtonHeight;
    const Rect sections[][2] = {
        {{0, 0, 4, 4}, {0, 0, 4, 4}},              {{4, 0, W - 8, 4}, {4, 0, 56, 4}},
        {{W - 4, 0, 4, 4}, {60, 0, 4, 4}},         {{W - 4, 4, 4, H - 8}, {60, 4, 4, 17}},
        {{W - 4, H - 4, 4, 7}, {60, 21, 4, 7}},    {{4, H - 4, W - 8, 4}, {4, 21, 56, 4}},
        {{0, H - 4, 4, 4}, {0, 21, 4, 4}},         {{0, 4, 4, H - 8}, {0, 4, 4, 17}},
    };
    Surface surface(W, H);
    for (auto _ : state) {
        surface.fill(kWhite);
        ButtonGradient(surface);
        for (const auto& [to, from] : sections)
            PaintSection(surface, to, skin, from);
        benchmark::DoNotOptimize(surface.data());
    }
}

BENCHMARK(BM_Copy8To32);
BENCHMARK(BM_Paint8To32);
BENCHMARK(BM_And8To1);
BENCHMARK(BM_And1To32);
BENCHMARK(BM_Paint24To32);
BENCHMARK(BM_Keyed8To32);
BENCHMARK(BM_TwoPass8To32);
BENCHMARK(BM_Masked24To32);
BENCHMARK(BM_TwoPass24To32);
BENCHMARK(BM_HalftoneHalf);
BENCHMARK(BM_ButtonGradient)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ButtonSkin)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
