// Raster operations on 500 x 500 bitmaps, in ns a pixel: the blits that paint an animated GIF (an
// 8-bit strip through its colour table onto a 32-bit picture, the 1-bit mask, the 24-bit composition),
// and the one-pass keyed and masked blits against the two GDI passes they replace.

#include <benchmark/benchmark.h>

#include <random>

#include "gfx/dib.h"
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

}  // namespace

BENCHMARK_MAIN();
