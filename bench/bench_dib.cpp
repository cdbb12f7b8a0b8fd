// Bitmap decoding: our decoder against stb_image on the same in-memory files, a 1024 x 768 24-bit
// picture and a 1024 x 768 8-bit one. stb_image cannot read RLE8, so it decodes the uncompressed
// 8-bit file of the same picture while ours decodes both.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "renderer/dib_decoder.h"

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#pragma GCC diagnostic ignored "-Wpedantic"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#endif
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#include <stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kWidth = 1024;
constexpr int kHeight = 768;

void put16(Bytes& out, uint32_t v) { out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8)}); }
void put32(Bytes& out, uint32_t v) { out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}); }

Bytes bitmapFile(uint16_t bits, uint32_t compression, uint32_t colours, const Bytes& table, const Bytes& pixels)
{
    Bytes out = {'B', 'M'};
    const uint32_t offset = 14 + 40 + uint32_t(table.size());
    put32(out, offset + uint32_t(pixels.size()));
    put32(out, 0);
    put32(out, offset);
    put32(out, 40);
    put32(out, kWidth);
    put32(out, kHeight);
    put16(out, 1);
    put16(out, bits);
    put32(out, compression);
    put32(out, uint32_t(pixels.size()));
    put32(out, 2835);
    put32(out, 2835);
    put32(out, colours);
    put32(out, 0);
    out.insert(out.end(), table.begin(), table.end());
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

// A photo-like 24-bit picture: smooth gradients with noise.
const Bytes& file24()
{
    static const Bytes file = [] {
        Bytes pixels;
        uint32_t state = 1;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                state = state * 1664525u + 1013904223u;
                pixels.insert(pixels.end(), {uint8_t(x / 4 + (state >> 28)), uint8_t(y / 3), uint8_t((x + y) / 7)});
            }
        return bitmapFile(24, 0, 0, {}, pixels);
    }();
    return file;
}

// A desktop-like 8-bit picture: long runs of flat colour with some detail, as a screen shot has.
std::vector<uint8_t> indices8()
{
    std::vector<uint8_t> indices;
    uint32_t state = 7;
    for (int y = 0; y < kHeight; ++y) {
        int x = 0;
        while (x < kWidth) {
            state = state * 1664525u + 1013904223u;
            int run = 1 + int(state >> 24) % 40;
            bool detail = (state >> 8 & 7) == 0;
            for (int i = 0; i < run && x < kWidth; ++i, ++x) {
                state = detail ? state * 1664525u + 1013904223u : state;
                indices.push_back(uint8_t(detail ? state >> 24 : (state >> 16) & 0xFF));
            }
        }
    }
    return indices;
}

Bytes palette256()
{
    Bytes table;
    for (int i = 0; i < 256; ++i)
        table.insert(table.end(), {uint8_t(i * 3), uint8_t(255 - i), uint8_t(i * 7), 0});
    return table;
}

const Bytes& file8()
{
    static const Bytes file = bitmapFile(8, 0, 256, palette256(), indices8());  // rows are 1024 bytes: no padding
    return file;
}

const Bytes& fileRle8()
{
    static const Bytes file = [] {
        const std::vector<uint8_t> indices = indices8();
        Bytes pixels;
        for (int y = 0; y < kHeight; ++y) {
            const uint8_t* row = indices.data() + size_t(y) * kWidth;
            int x = 0;
            while (x < kWidth) {
                int run = 1;
                while (x + run < kWidth && run < 255 && row[x + run] == row[x])
                    ++run;
                if (run >= 3 || kWidth - x < 3) {
                    pixels.insert(pixels.end(), {uint8_t(run), row[x]});
                    x += run;
                    continue;
                }
                int length = 0;  // a literal run up to the next run of 3
                while (x + length < kWidth && length < 255 &&
                       !(x + length + 2 < kWidth && row[x + length] == row[x + length + 1] &&
                         row[x + length] == row[x + length + 2]))
                    ++length;
                if (length < 3) {
                    pixels.insert(pixels.end(), {1, row[x]});
                    x += 1;
                    continue;
                }
                pixels.insert(pixels.end(), {0, uint8_t(length)});
                pixels.insert(pixels.end(), row + x, row + x + length);
                if (length & 1)
                    pixels.push_back(0);
                x += length;
            }
            pixels.insert(pixels.end(), {0, 0});
        }
        pixels.insert(pixels.end(), {0, 1});
        return bitmapFile(8, 1, 256, palette256(), pixels);
    }();
    return file;
}

void decodeOurs(benchmark::State& state, const Bytes& file)
{
    for (auto _ : state) {
        pap::DibDecodeResult result = pap::DecodeDib(file);
        if (!result.image) {
            state.SkipWithError(pap::DibErrorMessage(result.error));
            return;
        }
        benchmark::DoNotOptimize(result.image->pixels.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight * 3);
}

void decodeStb(benchmark::State& state, const Bytes& file)
{
    for (auto _ : state) {
        int width = 0, height = 0, channels = 0;
        stbi_uc* pixels = stbi_load_from_memory(file.data(), int(file.size()), &width, &height, &channels, 3);
        if (!pixels) {
            state.SkipWithError(stbi_failure_reason());
            return;
        }
        benchmark::DoNotOptimize(pixels);
        stbi_image_free(pixels);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight * 3);
}

void BM_Ours24(benchmark::State& state) { decodeOurs(state, file24()); }
void BM_Stb24(benchmark::State& state) { decodeStb(state, file24()); }
void BM_OursRle8(benchmark::State& state) { decodeOurs(state, fileRle8()); }
void BM_Ours8(benchmark::State& state) { decodeOurs(state, file8()); }
void BM_Stb8(benchmark::State& state) { decodeStb(state, file8()); }

BENCHMARK(BM_Ours24)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Stb24)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OursRle8)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Ours8)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Stb8)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
