// Start-up time of the renderer program on a private Xvfb: from the start of the process to its window
// being on screen, and to the first frame that shows the whole snapshot (watched by reading four pixels
// of the screen back, one from each coloured quadrant of the picture).
//
// Usage: bench_startup [runs] [path to Papyrant.dll]

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "e2e/harness.h"

namespace {

using namespace pap::e2e;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kWidth = 1024;
constexpr int kHeight = 768;
const Rgb kQuadrants[4] = {{220, 40, 40}, {40, 200, 60}, {40, 60, 220}, {230, 210, 40}};

void put32(std::ofstream& out, uint32_t v)
{
    const char bytes[4] = {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                           static_cast<char>(v >> 24)};
    out.write(bytes, 4);
}

// A 24-bit bitmap file of four coloured quadrants (top-left, top-right, bottom-left, bottom-right).
void writeSnapshot(const std::string& path)
{
    std::ofstream out(path, std::ios::binary);
    const uint32_t rowBytes = kWidth * 3;
    out.write("BM", 2);
    put32(out, 54 + rowBytes * kHeight);
    put32(out, 0);
    put32(out, 54);
    put32(out, 40);
    put32(out, kWidth);
    put32(out, kHeight);
    put32(out, 1 | (24 << 16));  // planes, bits per pixel
    for (int i = 0; i < 6; ++i)
        put32(out, 0);
    std::vector<char> row(rowBytes);
    for (int y = kHeight - 1; y >= 0; --y) {
        for (int x = 0; x < kWidth; ++x) {
            const Rgb c = kQuadrants[(y < kHeight / 2 ? 0 : 2) + (x < kWidth / 2 ? 0 : 1)];
            row[static_cast<size_t>(x) * 3] = static_cast<char>(c.b);
            row[static_cast<size_t>(x) * 3 + 1] = static_cast<char>(c.g);
            row[static_cast<size_t>(x) * 3 + 2] = static_cast<char>(c.r);
        }
        out.write(row.data(), static_cast<std::streamsize>(row.size()));
    }
}

bool wholePictureShown(const XServer& server)
{
    const int xs[2] = {kWidth / 4, kWidth * 3 / 4};
    const int ys[2] = {kHeight / 4, kHeight * 3 / 4};
    for (int q = 0; q < 4; ++q) {
        const Screenshot pixel = server.screenshot(xs[q % 2], ys[q / 2], 1, 1);
        if (pixel.rgb.size() != 3 || !near(pixel.at(0, 0), kQuadrants[q], 8))
            return false;
    }
    return true;
}

struct Run {
    double windowMs = -1;
    double wholeMs = -1;
};

Run measure(const XServer& server, const std::string& renderer, const TempDir& runtime)
{
    Run run;
    ProcessSpec launch;
    launch.argv = {renderer};
    launch.env = server.env({{"XDG_RUNTIME_DIR", runtime.path()}, {"NO_AT_BRIDGE", "1"}});
    const auto start = Clock::now();
    auto process = Process::start(launch);
    if (!process)
        return run;
    const auto elapsedMs = [&start] {
        return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    };
    while (elapsedMs() < 10000 && run.wholeMs < 0) {
        if (run.windowMs < 0)
            for (WindowId w : server.findWindows("Papyrant_VC"))
                if (server.isViewable(w))
                    run.windowMs = elapsedMs();
        if (run.windowMs >= 0 && wholePictureShown(server))
            run.wholeMs = elapsedMs();
    }
    if (auto window = server.findWindows("Papyrant_VC"); !window.empty())
        server.sendCloseRequest(window.front());
    process->wait(5s);
    // The next run starts from a black screen, not from this run's last frame.
    runCommand({"xsetroot", "-solid", "black"}, server.env());
    return run;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const std::string renderer = argc > 2 ? argv[2] : PAPYRANT_RENDERER;

    auto server = XServer::start(kWidth, kHeight, 24);
    if (!server) {
        std::fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    TempDir runtime("papyrant-bench");
    const std::string workDir = runtime.file("pap_tmp");
    mkdir(workDir.c_str(), 0700);
    writeSnapshot(workDir + "/Papyrant.bmp");

    std::vector<double> window;
    std::vector<double> whole;
    for (int i = 0; i < runs; ++i) {
        const Run run = measure(*server, renderer, runtime);
        std::printf("run %d: window on screen %.1f ms, whole picture %.1f ms\n", i + 1, run.windowMs, run.wholeMs);
        if (run.windowMs < 0 || run.wholeMs < 0) {
            std::fprintf(stderr, "run %d did not show the picture\n", i + 1);
            return 1;
        }
        window.push_back(run.windowMs);
        whole.push_back(run.wholeMs);
    }
    std::printf("median of %d runs: window on screen %.1f ms, first whole-picture frame %.1f ms "
                "(min %.1f, max %.1f)\n",
                runs, median(window), median(whole), *std::min_element(whole.begin(), whole.end()),
                *std::max_element(whole.begin(), whole.end()));
    return 0;
}
