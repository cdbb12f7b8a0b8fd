// The settings dialog on a private Xvfb: the time from starting `Papyrant.scr /c` to the dialog painted
// on screen (its background and its buttons), against a GTK 3 window with buttons and the same GIF
// (what a user would otherwise have) from start to painted; then what the open dialog costs while it
// idles with its GIF playing, from /proc.
//
// Usage: settings_open [runs] [idle seconds]
// With PAPYRANT_WINE_BIN (a Windows build's bin directory) and PAPYRANT_WINEPREFIX set, the time to the
// dialog painted is measured under Wine too, with the Wine server kept running between the starts (the
// first start, which boots the server, is not counted).

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <span>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "e2e/harness.h"
#include "gfx/artwork.h"
#include "process_cpu.h"

namespace {

using namespace pap::e2e;
using pap::bench::CpuSeconds;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr int kWidth = 1024, kHeight = 768;
// Where the dialog lies on this screen: centred across, a third of the free height above.
constexpr int kLeft = (kWidth - 450) / 2, kTop = (kHeight - 319) / 3;

std::vector<uint8_t> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

// Starts a program and waits until `painted` holds; the milliseconds that took (-1: never within 10 s).
// The process is left running for the caller.
double TimeToPainted(const XServer& server, const std::vector<std::string>& argv, const std::string& runtime,
                     const std::function<bool()>& painted, std::unique_ptr<Process>& process)
{
    runCommand({"xsetroot", "-solid", "black"}, server.env());
    ProcessSpec launch;
    launch.argv = argv;
    launch.env = server.env({{"XDG_RUNTIME_DIR", runtime}, {"NO_AT_BRIDGE", "1"}, {"GDK_BACKEND", "x11"}});
    const auto start = Clock::now();
    process = Process::start(launch);
    if (!process)
        return -1;
    while (Clock::now() - start < std::chrono::seconds(10))
        if (painted())
            return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    return -1;
}

}  // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const int idleSeconds = argc > 2 ? std::max(2, std::atoi(argv[2])) : 20;
    auto server = XServer::start(kWidth, kHeight, 24);
    if (!server) {
        std::fprintf(stderr, "settings_open: Xvfb did not start\n");
        return 1;
    }
    TempDir dir("papyrant-bench");
    fs::copy_file(PAPYRANT_SAVER, dir.file("Papyrant.scr"));
    fs::copy_file(PAPYRANT_RENDERER, dir.file("Papyrant.dll"));
    std::optional<pap::gfx::Surface> background =
        pap::gfx::DecodePng(ReadFile(std::string(PAPYRANT_ASSETS) + "/settings_background.png"));
    if (!background) {
        std::fprintf(stderr, "settings_open: no background picture\n");
        return 1;
    }

    // Painted: four background pixels near the corners at their places, and the Set button's centre
    // no longer the background's.
    const auto dialogPainted = [&] {
        for (auto [x, y] : {std::pair{6, 6}, {443, 6}, {6, 312}, {200, 312}}) {
            const pap::gfx::Pixel p = background->at(x, y);
            const Screenshot shot = server->screenshot(kLeft + x, kTop + y, 1, 1);
            if (shot.rgb.size() != 3 ||
                !near(shot.at(0, 0), Rgb{pap::gfx::Red(p), pap::gfx::Green(p), pap::gfx::Blue(p)}, 4))
                return false;
        }
        const pap::gfx::Pixel under = background->at(288, 268);
        const Screenshot button = server->screenshot(kLeft + 288, kTop + 268, 1, 1);
        return button.rgb.size() == 3 &&
               !near(button.at(0, 0), Rgb{pap::gfx::Red(under), pap::gfx::Green(under), pap::gfx::Blue(under)}, 4);
    };
    const auto gtkPainted = [&] {
        for (WindowId w : server->findWindows("GTK buttons"))
            if (server->isViewable(w)) {
                const Screenshot shot = server->screenshot(200, 120, 1, 1);
                return shot.rgb.size() == 3 && !near(shot.at(0, 0), Rgb{0, 0, 0}, 4);
            }
        return false;
    };

    std::vector<double> ours, gtk;
    const std::string gif = std::string(PAPYRANT_ASSETS) + "/settings_anim.gif";
    for (int i = 0; i < runs; ++i) {
        std::unique_ptr<Process> process;
        const double dialogMs =
            TimeToPainted(*server, {dir.file("Papyrant.scr"), "/c"}, dir.path(), dialogPainted, process);
        if (process)
            process->terminate();
        const double gtkMs = TimeToPainted(*server, {PAPYRANT_GTK_BUTTONS, gif}, dir.path(), gtkPainted, process);
        if (process)
            process->terminate();
        std::printf("run %d: /c to the dialog painted %.1f ms; GTK window with the GIF painted %.1f ms\n", i + 1,
                    dialogMs, gtkMs);
        if (dialogMs < 0) {
            std::fprintf(stderr, "settings_open: the dialog was not painted within 10 s\n");
            return 1;
        }
        ours.push_back(dialogMs);
        gtk.push_back(gtkMs);
    }
    std::printf("median of %d runs: /c to painted %.1f ms (min %.1f, max %.1f); GTK 3 window %.1f ms\n", runs,
                median(ours), *std::min_element(ours.begin(), ours.end()), *std::max_element(ours.begin(), ours.end()),
                median(gtk));

    const char* wineBin = std::getenv("PAPYRANT_WINE_BIN");
    const char* winePrefix = std::getenv("PAPYRANT_WINEPREFIX");
    if (wineBin && winePrefix) {
        const std::string wineDir = dir.file("wine");
        fs::create_directories(wineDir);
        fs::copy_file(std::string(wineBin) + "/Papyrant.scr", wineDir + "/Papyrant.scr");
        fs::copy_file(std::string(wineBin) + "/Papyrant.dll", wineDir + "/Papyrant.dll");
        const pap::e2e::Environment wineEnv = server->env({{"WINEPREFIX", winePrefix}, {"WINEDEBUG", "-all"},
                                                           {"WINEDLLOVERRIDES", "mscoree=;mshtml=;winemenubuilder.exe="}});
        ProcessSpec keep;
        keep.argv = {"wineserver", "-p", "-f"};
        keep.env = wineEnv;
        auto wineServer = Process::start(keep);
        std::vector<double> wine;
        for (int i = 0; i <= runs; ++i) {
            std::unique_ptr<Process> process;
            runCommand({"xsetroot", "-solid", "black"}, server->env());
            ProcessSpec launch;
            launch.argv = {"wine", wineDir + "/Papyrant.scr", "/c"};
            launch.env = wineEnv;
            const auto start = Clock::now();
            process = Process::start(launch);
            double ms = -1;
            while (process && Clock::now() - start < std::chrono::seconds(30))
                if (dialogPainted()) {
                    ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
                    break;
                }
            if (process)
                process->terminate();
            std::printf("wine run %d%s: /c to the dialog painted %.1f ms\n", i, i == 0 ? " (boots the server)" : "", ms);
            if (i > 0 && ms >= 0)
                wine.push_back(ms);
        }
        if (!wine.empty())
            std::printf("under Wine, median of %zu runs: /c to painted %.1f ms (min %.1f, max %.1f)\n", wine.size(),
                        median(wine), *std::min_element(wine.begin(), wine.end()),
                        *std::max_element(wine.begin(), wine.end()));
        runCommand({"wineserver", "-k"}, wineEnv);
        if (wineServer)
            wineServer->wait(std::chrono::milliseconds(5000));
    }

    // The open dialog left alone with its GIF playing and the pointer on the desktop.
    std::unique_ptr<Process> process;
    if (TimeToPainted(*server, {dir.file("Papyrant.scr"), "/c"}, dir.path(), dialogPainted, process) < 0)
        return 1;
    server->movePointer(1000, 740);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const double before = CpuSeconds(process->pid());
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
    const double used = CpuSeconds(process->pid()) - before;
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("the open dialog idle with its GIF playing: %.3f %% of a core (%.3f s in %.1f s)\n",
                100 * used / wall, used, wall);
    process->terminate();
    return 0;
}
