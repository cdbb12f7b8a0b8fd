// Drawing text with the platform's text service, in time a paint: a button's caption ("One" centred in
// 81 x 25, the dialog's Japanese face at 9.75 pt) and a 30-character Japanese line; the caption once
// more with a new service each time, which pays for resolving the font and rendering the glyphs that
// the cache keeps otherwise.

#include <benchmark/benchmark.h>

#include "forms/text_layout.h"
#include "platform/text.h"

namespace {

using namespace pap;

const FontSpec kDialogFont{"ＭＳ Ｐゴシック", 9.75, 400, false, false, false, 128};

// 30 characters of kana, kanji and punctuation.
constexpr const char* kJapaneseLine = "曲目をリピートする設定と音楽ファイルの選択を行います。終了。";

void CaptionCentred(benchmark::State& state)
{
    auto text = MakeTextService(96);
    gfx::Surface surface(81, 25, gfx::kWhite);
    for (auto _ : state) {
        DrawTextBox(*text, surface, {0, 0, 81, 25}, kDialogFont, "One", gfx::kBlack, TextAlign::Center, false, true);
        benchmark::DoNotOptimize(surface.data());
    }
}
BENCHMARK(CaptionCentred)->Unit(benchmark::kMicrosecond);

void CaptionCentredNewService(benchmark::State& state)
{
    gfx::Surface surface(81, 25, gfx::kWhite);
    for (auto _ : state) {
        auto text = MakeTextService(96);
        DrawTextBox(*text, surface, {0, 0, 81, 25}, kDialogFont, "One", gfx::kBlack, TextAlign::Center, false, true);
        benchmark::DoNotOptimize(surface.data());
    }
}
BENCHMARK(CaptionCentredNewService)->Unit(benchmark::kMillisecond);

void JapaneseLine(benchmark::State& state)
{
    auto text = MakeTextService(96);
    gfx::Surface surface(500, 25, gfx::kWhite);
    for (auto _ : state) {
        text->drawLine(surface, {0, 0, 500, 25}, 0, 4, kDialogFont, kJapaneseLine, gfx::kBlack);
        benchmark::DoNotOptimize(surface.data());
    }
}
BENCHMARK(JapaneseLine)->Unit(benchmark::kMicrosecond);

void JapaneseLineMeasure(benchmark::State& state)
{
    auto text = MakeTextService(96);
    for (auto _ : state)
        benchmark::DoNotOptimize(text->measure(kDialogFont, kJapaneseLine));
}
BENCHMARK(JapaneseLineMeasure)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
