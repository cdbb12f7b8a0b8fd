// The saver as an XScreenSaver hack: Debian's daemon on a private Xvfb, run as an unprivileged user
// (the daemon launches no hacks for root), starts the saver inside its window on -activate and ends
// it on -deactivate. The hack is PAPYRANT_HACK when set (an installed one), else the built programs,
// copied where that user can run them.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "e2e/desktop_checks.h"
#include "e2e/harness.h"

// Last: Xlib's macros would clash with the names above.
#include <X11/Xlib.h>

namespace pap::e2e {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr uid_t kNobody = 65534;

// Of the pixels that are not black (every second one in each direction): how many, and how many of
// them show one of the desktop picture's four colours.
struct LitPixels {
    long lit = 0;
    long desktop = 0;
};

LitPixels litPixels(const Screenshot& shot)
{
    LitPixels count;
    for (int y = 0; y < shot.height; y += 2)
        for (int x = 0; x < shot.width; x += 2) {
            const Rgb pixel = shot.at(x, y);
            if (pixel.r < 40 && pixel.g < 40 && pixel.b < 40)
                continue;
            ++count.lit;
            for (const Rgb& colour : kDesktopQuadrants)
                if (near(pixel, colour, 48)) {
                    ++count.desktop;
                    break;
                }
        }
    return count;
}

// The shred of the desktop picture: tiles apart, and nearly everything that is not black one of the
// picture's four colours (the white mesh of a run without a snapshot and colour bars both fail).
bool showsShreddedDesktop(const Screenshot& shot)
{
    const LitPixels count = litPixels(shot);
    return showsShreds(shot) && count.lit > 500 && count.desktop > count.lit * 8 / 10;
}

// Tiles apart whose colours are mostly not the desktop's.
bool showsShredsOfAnotherPicture(const Screenshot& shot)
{
    const LitPixels count = litPixels(shot);
    return showsShreds(shot) && count.lit > 500 && count.desktop < count.lit / 2;
}

// The windows on the screen (the root window's children): what a program leaves behind shows here.
unsigned topLevelWindows(const XServer& server)
{
    Display* display = server.connection();
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
    if (children)
        XFree(children);
    return count;
}

class XScreenSaverE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        asRoot = geteuid() == 0;
        user = asRoot ? kNobody : geteuid();
        workDirectory = "/tmp/pap_tmp-" + std::to_string(user);
        ASSERT_FALSE(fs::exists(workDirectory)) << workDirectory << " is left from an earlier run";

        server = XServer::start(kDesktopWidth, kDesktopHeight);
        ASSERT_TRUE(server);
        server->showDesktop(desktopPicture());

        // The daemon's user must reach its home and the hack: the temporary directory is private.
        ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
        home = dir.file("home");
        fs::create_directory(home);
        if (const char* installed = std::getenv("PAPYRANT_HACK"); installed && *installed) {
            hack = installed;
        } else {
            const std::string bin = dir.file("bin");
            fs::create_directory(bin);
            fs::copy_file(PAPYRANT_SAVER, bin + "/Papyrant.scr");
            fs::copy_file(PAPYRANT_RENDERER, bin + "/Papyrant.dll");
            hack = bin + "/Papyrant.scr";
        }
        const fs::path programs = fs::canonical(hack).parent_path();
        ourPrograms = {(programs / "Papyrant.scr").string(), (programs / "Papyrant.dll").string()};
    }

    void TearDown() override
    {
        daemon.reset();
        // Whatever a failed run left behind goes with the test.
        for (pid_t pid : papyrantProcesses())
            ::kill(pid, SIGKILL);
        std::error_code ignored;
        fs::remove_all(workDirectory, ignored);
    }

    // The daemon's settings: one hack, no lock and no fades, the desktop grab as asked.
    void writeSettings(bool grabDesktop)
    {
        std::ofstream out(home + "/.xscreensaver");
        out << "mode: one\nselected: 0\nlock: False\nfade: False\nunfade: False\nsplash: False\n"
            << "timeout: 0:30:00\ngrabDesktopImages: " << (grabDesktop ? "True" : "False") << "\n"
            << "grabVideoFrames: False\nchooseRandomImages: False\n"
            << "programs: \"Papyrant\" " << hack << " -root \\n\n";
        out.close();
        if (asRoot) {
            ASSERT_EQ(::chown(home.c_str(), kNobody, 65534), 0);
            ASSERT_EQ(::chown((home + "/.xscreensaver").c_str(), kNobody, 65534), 0);
        }
    }

    // A command as the daemon's user, in its home, on the private display.
    std::vector<std::string> asUser(std::vector<std::string> command) const
    {
        if (!asRoot)
            return command;
        std::vector<std::string> argv = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
        argv.insert(argv.end(), command.begin(), command.end());
        return argv;
    }

    Environment userEnv() const { return server->env({{"HOME", home}}); }

    void startDaemon(bool grabDesktop)
    {
        writeSettings(grabDesktop);
        ProcessSpec launch;
        launch.argv = asUser({"xscreensaver", "-no-splash", "-verbose"});
        launch.env = userEnv();
        launch.unsetEnv = {"XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XSCREENSAVER_WINDOW"};
        launch.outputPath = dir.file("daemon.log");
        daemon = Process::start(launch);
        ASSERT_TRUE(daemon);
    }

    // xscreensaver-command with one switch; the daemon may still be starting up.
    void command(const std::string& what)
    {
        const auto deadline = Clock::now() + std::chrono::seconds(15);
        CommandResult result;
        do {
            result = runCommand(asUser({"xscreensaver-command", what}), userEnv());
            if (result.exitCode == 0)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        } while (Clock::now() < deadline);
        FAIL() << "xscreensaver-command " << what << ": " << result.output << "\ndaemon log:\n" << daemonLog();
    }

    std::string daemonLog() const
    {
        std::ifstream in(dir.file("daemon.log"));
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    // Processes running the hack's two programs.
    std::set<pid_t> papyrantProcesses() const
    {
        std::set<pid_t> found;
        std::error_code error;
        for (const fs::directory_entry& entry : fs::directory_iterator("/proc", error)) {
            const std::string name = entry.path().filename().string();
            if (name.find_first_not_of("0123456789") != std::string::npos)
                continue;
            std::error_code unreadable;
            const fs::path exe = fs::read_symlink(entry.path() / "exe", unreadable);
            if (!unreadable && ourPrograms.count(exe.string()))
                found.insert(std::stoi(name));
        }
        return found;
    }

    // Each process: its program, state and where in the kernel it waits.
    static std::string describe(const std::set<pid_t>& pids)
    {
        std::string text;
        for (pid_t pid : pids) {
            const std::string proc = "/proc/" + std::to_string(pid);
            std::ifstream stat(proc + "/stat");
            std::ifstream wchan(proc + "/wchan");
            std::string statLine, wait;
            std::getline(stat, statLine);
            std::getline(wchan, wait);
            text += statLine.substr(0, 60) + " wchan " + wait + "\n";
        }
        return text;
    }

    // Activates the daemon and waits for the renderer's window on screen.
    void activate()
    {
        command("-activate");
        ASSERT_TRUE(server->waitForShownWindow("Papyrant_VC", Milliseconds(20000)))
            << "no renderer window; daemon log:\n" << daemonLog();
    }

    // Deactivates the daemon: every process of ours and the work directory must be gone within a second.
    void deactivateAndCheckTheEnd()
    {
        ASSERT_EQ(papyrantProcesses().size(), 2u);
        command("-deactivate");
        const auto asked = Clock::now();
        std::string lingering;
        while (!papyrantProcesses().empty() && Clock::now() - asked < std::chrono::seconds(5)) {
            if (lingering.empty() && Clock::now() - asked > std::chrono::seconds(1))
                lingering = describe(papyrantProcesses());
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        const auto took = std::chrono::duration_cast<Milliseconds>(Clock::now() - asked);
        std::printf("ended in %lld ms\n", static_cast<long long>(took.count()));
        EXPECT_TRUE(papyrantProcesses().empty());
        EXPECT_LE(took.count(), 1000) << "the hack's processes took " << took.count() << " ms to end; after 1 s:\n"
                                      << lingering;
        EXPECT_FALSE(fs::exists(workDirectory));
    }

    bool asRoot = false;
    uid_t user = 0;
    std::string workDirectory;
    std::unique_ptr<XServer> server;
    TempDir dir{"papyrant-xss"};
    std::string home;
    std::string hack;
    std::set<std::string> ourPrograms;
    std::unique_ptr<Process> daemon;
};

TEST_F(XScreenSaverE2E, TenActivationsShredTheGrabbedDesktopAndLeaveNothingBehind)
{
    startDaemon(true);
    command("-version");  // the daemon is up, with its windows
    const unsigned windowsBefore = topLevelWindows(*server);
    for (int cycle = 1; cycle <= 10; ++cycle) {
        SCOPED_TRACE("cycle " + std::to_string(cycle));
        activate();
        if (cycle == 1 || cycle == 10) {
            std::optional<Screenshot> shot = server->waitForScreen(showsShreddedDesktop, Milliseconds(15000));
            const Screenshot seen = shot ? *shot : server->screenshot();
            savePng(seen, std::string(PAPYRANT_E2E_OUTPUT) + "/xscreensaver-cycle" + std::to_string(cycle) + ".png");
            ASSERT_TRUE(shot) << "the hack does not show the desktop shredded";
        }
        deactivateAndCheckTheEnd();
        if (HasFatalFailure())
            return;
    }
    EXPECT_TRUE(server->findWindows("Papyrant_VC").empty());
    EXPECT_TRUE(server->findWindows("Papyrant_Main").empty());
    EXPECT_EQ(topLevelWindows(*server), windowsBefore);
}

// With desktop grabs declined in the daemon's settings the hack shreds the picture the daemon's image
// helper gives instead (colour bars here), never the desktop.
TEST_F(XScreenSaverE2E, ADeclinedDesktopGrabKeepsTheDesktopOffScreen)
{
    startDaemon(false);
    activate();
    std::optional<Screenshot> shot = server->waitForScreen(showsShredsOfAnotherPicture, Milliseconds(15000));
    const Screenshot seen = shot ? *shot : server->screenshot();
    savePng(seen, std::string(PAPYRANT_E2E_OUTPUT) + "/xscreensaver-no-grab.png");
    EXPECT_TRUE(shot);
    EXPECT_FALSE(showsShreddedDesktop(seen));
    deactivateAndCheckTheEnd();
}

}  // namespace
}  // namespace pap::e2e
