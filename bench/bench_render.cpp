// The cost of a frame on the Mesa software rasteriser (OSMesa, 1024 x 768): a frame of the shred phase
// against a frame that only clears and a frame of the whole picture. glFinish inside the loop makes the
// rasteriser's work count; real time, as llvmpipe rasterises on threads of its own.

#include <GL/osmesa.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "renderer/gl_api.h"
#include "renderer/render_scene.h"

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;
constexpr uint32_t kUptime = 3'600'000;
// At 80 frames a second the shred phase (1.2 s) lasts about 96 frames; the loop replays its first 96.
constexpr int kShredFrames = 96;

uint32_t g_tick = 0;
uint32_t BenchTick() { return g_tick; }

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes)
{
    for (int k = 0; k < bytes; ++k)
        out.push_back(static_cast<uint8_t>(value >> (8 * k)));
}

// A 1024 x 768 24-bit bitmap with a colour gradient, so the texture is not uniform.
bool WriteSnapshot(const std::string& path)
{
    const uint32_t imageBytes = kWidth * 3 * kHeight;
    std::vector<uint8_t> file = {'B', 'M'};
    PutLe(file, 54 + imageBytes, 4);
    PutLe(file, 0, 4);
    PutLe(file, 54, 4);
    for (uint32_t v : {40u, uint32_t(kWidth), uint32_t(kHeight)})
        PutLe(file, v, 4);
    PutLe(file, 1, 2);
    PutLe(file, 24, 2);
    for (uint32_t v : {0u, imageBytes, 2835u, 2835u, 0u, 0u})
        PutLe(file, v, 4);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            file.push_back(static_cast<uint8_t>(x ^ y));
            file.push_back(static_cast<uint8_t>(y / 3));
            file.push_back(static_cast<uint8_t>(x / 4));
        }
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(file.data(), 1, file.size(), f) == file.size();
    std::fclose(f);
    return ok;
}

struct OffscreenGl {
    OSMesaContext context = nullptr;
    std::vector<uint8_t> buffer;
    bool ready = false;

    OffscreenGl()
    {
        buffer.assign(static_cast<size_t>(kWidth) * kHeight * 4, 0);
        context = OSMesaCreateContextExt(OSMESA_RGBA, 24, 0, 0, nullptr);
        ready = context && OSMesaMakeCurrent(context, buffer.data(), GL_UNSIGNED_BYTE, kWidth, kHeight);
    }
    ~OffscreenGl()
    {
        if (context)
            OSMesaDestroyContext(context);
    }
};

std::string g_snapshot;

// A scene set up as the renderer's window does it, with the first frame (the reset) drawn.
std::unique_ptr<pap::RenderState> StartScene()
{
    auto state = std::make_unique<pap::RenderState>();
    state->snapshotPath = g_snapshot;
    state->showLoaderBoxes = false;
    state->tickSource = BenchTick;
    g_tick = kUptime;
    pap::ResizeView(kWidth, kHeight);
    pap::SetupScene(*state);
    pap::RenderFrame(*state);
    return state;
}

void EndScene(pap::RenderState& state)
{
    if (state.snapshotTexture)
        glDeleteTextures(1, &state.snapshotTexture);
}

void BM_ClearOnly(benchmark::State& bench)
{
    auto state = StartScene();
    for (auto _ : bench) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glFinish();
    }
    EndScene(*state);
}

void BM_WholePictureFrame(benchmark::State& bench)
{
    auto state = StartScene();
    g_tick = kUptime + 100;  // elapsed stays below 2: the picture stays whole
    for (auto _ : bench) {
        pap::RenderFrame(*state);
        glFinish();
    }
    if (state->animation.phase != pap::PhaseWhole)
        bench.SkipWithError("left the whole-picture phase");
    EndScene(*state);
}

void BM_ShredFrame(benchmark::State& bench)
{
    auto state = StartScene();
    g_tick = (kUptime / 200 + 4) * 200;  // elapsed 4: scatter, then the shred goes on
    pap::RenderFrame(*state);
    const auto start = std::make_unique<pap::ShredAnimation>(state->animation);
    int frame = 0;
    for (auto _ : bench) {
        if (++frame > kShredFrames) {
            bench.PauseTiming();
            state->animation = *start;
            frame = 1;
            bench.ResumeTiming();
        }
        pap::RenderFrame(*state);
        glFinish();
    }
    if (state->animation.phase != pap::PhaseShred)
        bench.SkipWithError("left the shred phase");
    EndScene(*state);
}

BENCHMARK(BM_ClearOnly)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_WholePictureFrame)->Unit(benchmark::kMicrosecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_ShredFrame)->Unit(benchmark::kMicrosecond)->UseRealTime()->MinTime(3.0);

// The console report, keeping each benchmark's real time per frame for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                times[run.run_name.function_name] = run.GetAdjustedRealTime();
    }
    std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    OffscreenGl gl;
    if (!gl.ready) {
        std::fprintf(stderr, "no OSMesa context\n");
        return 1;
    }
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    g_snapshot = (std::filesystem::temp_directory_path() / ("bench_render_" + std::to_string(stamp) + ".bmp")).string();
    if (!WriteSnapshot(g_snapshot)) {
        std::fprintf(stderr, "cannot write %s\n", g_snapshot.c_str());
        return 1;
    }

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::remove(g_snapshot.c_str());

    const auto& t = reporter.times;
    const auto ratio = [&](const char* a, const char* b) {
        if (t.count(a) && t.count(b) && t.at(b) > 0)
            std::printf("%-22s / %-22s = %6.2f\n", a, b, t.at(a) / t.at(b));
    };
    ratio("BM_ShredFrame", "BM_ClearOnly");
    ratio("BM_ShredFrame", "BM_WholePictureFrame");
    ratio("BM_WholePictureFrame", "BM_ClearOnly");
    for (const char* name : {"BM_ClearOnly", "BM_WholePictureFrame", "BM_ShredFrame"})
        if (t.count(name))
            std::printf("%-22s %8.1f frames/s\n", name, 1e6 / t.at(name));
    benchmark::Shutdown();
    return 0;
}
