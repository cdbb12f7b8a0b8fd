// What an idle form with three push buttons costs, and with an animated GIF playing beside them: controls_demo (three buttons, each watching the
// pointer every 100 ms) against a GTK 3 window with three buttons, which a user would otherwise have,
// each left alone on a private Xvfb for the same time; processor time from /proc.
//
// Usage: button_idle [seconds]

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "control_animation.h"
#include "e2e/harness.h"
#include "process_cpu.h"

namespace {

using namespace pap::e2e;
using pap::bench::CpuSeconds;

void Measure(const char* name, XServer& server, const std::vector<std::string>& argv, const std::string& title,
             int seconds)
{
    ProcessSpec launch;
    launch.argv = argv;
    launch.env = server.env({{"NO_AT_BRIDGE", "1"}, {"GDK_BACKEND", "x11"}});
    auto process = Process::start(launch);
    if (!process || !server.waitForShownWindow(title, Milliseconds(15000))) {
        std::printf("%-40s did not start\n", name);
        return;
    }
    // The pointer rests on the desktop; start-up is over.
    server.movePointer(700, 600);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const double before = CpuSeconds(process->pid());
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double used = CpuSeconds(process->pid()) - before;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%-40s %6.3f %% of a core (%.3f s in %.1f s)\n", name, 100 * used / wall, used, wall);
}

}  // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::max(2, std::atoi(argv[1])) : 20;
    auto server = XServer::start(1024, 768, 24);
    if (!server) {
        std::fprintf(stderr, "button_idle: Xvfb did not start\n");
        return 1;
    }
    Measure("controls_demo (3 buttons, 100 ms watch)", *server, {PAPYRANT_CONTROLS_DEMO}, "Papyrant controls",
            seconds);
    Measure("GTK 3 window with 3 buttons", *server, {PAPYRANT_GTK_BUTTONS}, "GTK buttons", seconds);

    // The same forms with a 120 x 50 animation at 10 frames a second.
    TempDir dir("papyrant-bench");
    const std::string gif = dir.file("animation.gif");
    {
        std::vector<uint8_t> bytes = pap::bench::ControlAnimation();
        std::ofstream out(gif, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    Measure("controls_demo + 120 x 50 GIF at 10 fps", *server, {PAPYRANT_CONTROLS_DEMO, gif}, "Papyrant controls",
            seconds);
    Measure("GTK 3 window + the GIF in a GtkImage", *server, {PAPYRANT_GTK_BUTTONS, gif}, "GTK buttons", seconds);
    return 0;
}
