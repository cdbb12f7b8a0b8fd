// The saver's desktop snapshot on a private Xvfb: copying the screen and writing it as a bitmap file,
// ours (XGetImage of the root window into a surface, the 24-bit bitmap writer, one write) against
// ImageMagick's `import -window root`, which a user would otherwise reach for; the same screen, the
// same kind of file, in one run.
//
// Usage: bench_snapshot [runs]

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "e2e/harness.h"
#include "forms/picture.h"
#include "gfx/surface.h"
#include "platform/ui.h"

namespace {

using namespace pap::e2e;
using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void report(const char* name, std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    std::printf("%-44s min %7.1f ms   median %7.1f ms   max %7.1f ms\n", name, times.front(), times[times.size() / 2],
                times.back());
}

}  // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 15;
    const int width = 1920, height = 1080;
    auto server = XServer::start(width, height, 24);
    if (!server) {
        std::fprintf(stderr, "bench_snapshot: Xvfb did not start\n");
        return 1;
    }
    // A busy picture, so that nothing is cheaper for being uniform.
    Screenshot picture;
    picture.width = width;
    picture.height = height;
    picture.rgb.resize(size_t(width) * height * 3);
    for (size_t i = 0; i < picture.rgb.size(); ++i)
        picture.rgb[i] = uint8_t((i * 2654435761u) >> 13);
    server->showDesktop(picture);
    setenv("DISPLAY", server->display().c_str(), 1);
    TempDir dir("papyrant-bench");

    std::unique_ptr<pap::UiSystem> ui = pap::MakeUiSystem();
    if (!ui) {
        std::fprintf(stderr, "bench_snapshot: no display\n");
        return 1;
    }
    std::vector<double> ours, import;
    for (int i = 0; i < runs; ++i) {
        auto start = Clock::now();
        pap::gfx::Surface surface(width, height);
        ui->copyScreen(surface, width, height);
        pap::forms::SavePicture(surface, dir.file("ours.bmp"));
        ours.push_back(millisecondsSince(start));

        start = Clock::now();
        runCommand({"import", "-window", "root", "-type", "TrueColor", "BMP3:" + dir.file("import.bmp")}, server->env());
        import.push_back(millisecondsSince(start));
    }
    std::printf("snapshot of a %dx%d screen, %d runs\n", width, height, runs);
    report("saver: XGetImage + 24-bit bitmap writer", ours);
    report("ImageMagick import -window root (BMP3)", import);
    return 0;
}
