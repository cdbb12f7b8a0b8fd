// The saver program on a private Xvfb, with the renderer beside it: a run over a desktop picture from
// the snapshot to the clean-up, a second start during a run, a renderer window of another program, a
// missing renderer, the switches that only prepare, the preview inside a pane of another program, and
// the music of the settings file. Figures a user would notice (start-up time, CPU use while waiting,
// memory) are printed, not asserted.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "e2e/desktop_checks.h"
#include "e2e/harness.h"
#include "gfx/artwork.h"
#include "gfx/bmp_writer.h"
#include "gfx/surface.h"
#include "music/sound_check.h"
#include "renderer/dib_decoder.h"
#include "support/temp_directory.h"

namespace pap::e2e {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr int kWidth = kDesktopWidth;
constexpr int kHeight = kDesktopHeight;

void sleepFor(Milliseconds ms) { std::this_thread::sleep_for(ms); }

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The process running the program file on the display, if one does.
std::optional<pid_t> processOf(const std::string& program, const std::string& display)
{
    std::error_code error;
    const fs::path wanted = fs::canonical(program, error);
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::error_code e;
        if (fs::read_symlink(entry.path() / "exe", e) != wanted)
            continue;
        std::ifstream in(entry.path() / "environ", std::ios::binary);
        std::string variable;
        while (std::getline(in, variable, '\0'))
            if (variable == "DISPLAY=" + display)
                return pid_t(std::stol(name));
    }
    return std::nullopt;
}

class SaverE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        server = XServer::start(kWidth, kHeight, 24);
        ASSERT_NE(server, nullptr) << "Xvfb did not start";
        server->showDesktop(desktopPicture());
        cursor = CursorRequests::start(*server);
        ASSERT_NE(cursor, nullptr) << "the server lacks RECORD or XFIXES";
        fs::create_directories(PAPYRANT_E2E_OUTPUT);
    }

    // A program directory of the test's own: the saver and the renderer unless left out. An ini file
    // goes to the test's own configuration home, which every saver started here is given.
    std::string programDir(bool withRenderer, const std::string& ini = "")
    {
        const std::string dir = programs.file("bin" + std::to_string(++m_dirs));
        fs::create_directories(dir);
        fs::copy_file(PAPYRANT_SAVER, dir + "/Papyrant.scr");
        if (withRenderer)
            fs::copy_file(PAPYRANT_RENDERER, dir + "/Papyrant.dll");
        if (!ini.empty()) {
            fs::create_directories(configHome() + "/papyrant");
            std::ofstream(configHome() + "/papyrant/Papyrant.ini") << ini;
        }
        return dir;
    }

    std::string configHome() const { return programs.file("config"); }

    std::unique_ptr<Process> startSaver(const std::vector<std::string>& args, const std::string& dir = "",
                                        Environment extra = {})
    {
        ProcessSpec launch;
        launch.argv = {(dir.empty() ? std::string(PAPYRANT_SAVER) : dir + "/Papyrant.scr")};
        launch.argv.insert(launch.argv.end(), args.begin(), args.end());
        extra["XDG_RUNTIME_DIR"] = runtime.path();
        extra["XDG_CONFIG_HOME"] = configHome();
        extra["NO_AT_BRIDGE"] = "1";
        if (!extra.count("SDL_AUDIODRIVER"))
            extra["SDL_AUDIODRIVER"] = "dummy";
        launch.env = server->env(extra);
        launch.outputPath = logs.file("saver-" + std::to_string(++m_logs) + ".log");
        return Process::start(launch);
    }

    std::string workDir() const { return runtime.path() + "/pap_tmp"; }
    bool workDirExists() const { return fs::exists(workDir()); }

    // Ends the renderer as a user does: Esc held for a moment.
    void pressEscape(WindowId renderer) { server->pressKey(renderer, "Escape", 200ms); }

    void save(const Screenshot& shot, const std::string& name)
    {
        savePng(shot, std::string(PAPYRANT_E2E_OUTPUT) + "/saver-" + name + ".png");
    }

    std::unique_ptr<XServer> server;
    std::unique_ptr<CursorRequests> cursor;
    TempDir runtime{"papyrant-runtime"};
    TempDir programs{"papyrant-programs"};
    TempDir logs{"papyrant-logs"};

private:
    int m_dirs = 0;
    int m_logs = 0;
};

TEST_F(SaverE2E, ShowsTheDesktopShreddedAndCleansUpAfterEscape)
{
    const auto start = Clock::now();
    auto saver = startSaver({"/s"});
    ASSERT_NE(saver, nullptr);
    auto renderer = server->waitForShownWindow("Papyrant_VC", 10s);
    ASSERT_TRUE(renderer) << "no renderer window";

    // The saver's own form is there, hidden, for the whole run.
    std::vector<WindowId> main = server->findWindows("Papyrant_Main");
    ASSERT_EQ(main.size(), 1u);
    EXPECT_FALSE(server->isViewable(main[0]));

    // The snapshot is the desktop, pixel for pixel, in a layout the renderer reads.
    const Screenshot desktop = desktopPicture();
    std::vector<uint8_t> file = readFile(workDir() + "/Papyrant.bmp");
    ASSERT_GT(file.size(), 54u);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[28], 24) << "24 bits per pixel";
    DibDecodeResult decoded = DecodeDib(file);
    ASSERT_TRUE(decoded.image) << decoded.reason;
    ASSERT_EQ(decoded.image->sizeX, kWidth);
    ASSERT_EQ(decoded.image->sizeY, kHeight);
    EXPECT_GT(decoded.header.height, 0) << "bottom-up rows";
    EXPECT_EQ(decoded.header.compression, 0u);
    size_t mismatches = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const uint8_t* p = &decoded.image->pixels[(size_t(kHeight - 1 - y) * kWidth + size_t(x)) * 3];
            mismatches += !(Rgb{p[0], p[1], p[2]} == desktop.at(x, y));
        }
    EXPECT_EQ(mismatches, 0u);

    // The renderer shows the whole picture, then its shreds.
    auto whole = server->waitForScreen(showsWholePicture, 10s);
    ASSERT_TRUE(whole) << "the whole picture never showed";
    const double firstFrame = secondsSince(start);
    save(*whole, "whole");
    auto shredded = server->waitForScreen(showsShreds, 5s);
    ASSERT_TRUE(shredded) << "the picture never broke up";
    save(*shredded, "shredded");

    // The saver only ticks while it waits; the figures a user would ask about.
    const double cpuBefore = cpuSeconds(saver->pid());
    const auto waitStart = Clock::now();
    sleepFor(4s);
    const double cpuShare = (cpuSeconds(saver->pid()) - cpuBefore) / secondsSince(waitStart);
    std::optional<pid_t> rendererPid = processOf(PAPYRANT_RENDERER, server->display());
    std::printf("[ measure  ] /s to the renderer's first whole frame: %.0f ms\n", firstFrame * 1000);
    std::printf("[ measure  ] saver CPU while waiting: %.3f %% of a core\n", cpuShare * 100);
    std::printf("[ measure  ] peak memory: saver %ld kB, renderer %ld kB\n", peakMemoryKb(saver->pid()),
                rendererPid ? peakMemoryKb(*rendererPid) : -1L);
    EXPECT_TRUE(saver->running());

    // Esc ends the renderer; the saver follows within a second and leaves nothing behind.
    pressEscape(*renderer);
    ASSERT_TRUE(server->waitForNoWindow("Papyrant_VC", 5s));
    const auto rendererGone = Clock::now();
    std::optional<int> code = saver->wait(3000ms);
    ASSERT_TRUE(code) << "the saver still runs";
    EXPECT_LT(secondsSince(rendererGone), 1.0);
    EXPECT_EQ(*code, 0);
    EXPECT_FALSE(workDirExists());
    EXPECT_TRUE(server->findWindows("Papyrant_Main").empty());
    CursorRequests::Counts counts = cursor->of(main[0]);
    EXPECT_EQ(counts.hides, 1);
    EXPECT_EQ(counts.shows, 1);
}

// The end of the session or a request to end the process during a run: the run ends as after the
// renderer's end (cursor shown, work directory removed, exit code 0), and the renderer runs on.
TEST_F(SaverE2E, SignalsAndALostDisplayEndTheRunWithItsCleanUp)
{
    struct Case {
        const char* name;
        int signal;  // 0: the X server closes the saver's connection
    };
    for (const Case& c : {Case{"SIGTERM", SIGTERM}, Case{"SIGINT", SIGINT}, Case{"SIGHUP", SIGHUP},
                          Case{"killed X connection", 0}}) {
        SCOPED_TRACE(c.name);
        auto saver = startSaver({"/s"});
        ASSERT_NE(saver, nullptr);
        auto renderer = server->waitForShownWindow("Papyrant_VC", 10s);
        ASSERT_TRUE(renderer) << "no renderer window";
        std::vector<WindowId> main = server->findWindows("Papyrant_Main");
        ASSERT_EQ(main.size(), 1u);
        ASSERT_TRUE(workDirExists());

        // The server gives a new client the ids of one that has gone: cursor requests are counted
        // from here on.
        const CursorRequests::Counts before = cursor->of(main[0]);
        const auto sent = Clock::now();
        if (c.signal)
            ::kill(saver->pid(), c.signal);
        else
            server->killClientOf(main[0]);
        // The saver's window goes last, just before it exits; the renderer is looked at before the
        // harness reaps the saver (which ends what is left of its process group).
        EXPECT_TRUE(server->waitForNoWindow("Papyrant_Main", 1000ms));
        EXPECT_TRUE(server->windowExists(*renderer)) << "the saver never closes the renderer";
        std::optional<int> code = saver->wait(1000ms);
        ASSERT_TRUE(code) << "the saver still runs a second after " << c.name;
        std::printf("[ measure  ] %s to the saver's exit: %.0f ms\n", c.name, secondsSince(sent) * 1000);
        EXPECT_EQ(*code, 0);
        EXPECT_FALSE(workDirExists());
        if (c.signal) {
            CursorRequests::Counts counts = cursor->of(main[0]);
            EXPECT_EQ(counts.shows - before.shows, 1) << "the cursor is shown again";
        }
        ASSERT_TRUE(server->waitForNoWindow("Papyrant_VC", 5s));
    }
}

TEST_F(SaverE2E, ASecondStartDuringARunEndsAtOnceAndLeavesTheRunAlone)
{
    auto saver = startSaver({"/s"});
    ASSERT_NE(saver, nullptr);
    auto renderer = server->waitForShownWindow("Papyrant_VC", 10s);
    ASSERT_TRUE(renderer);
    const std::vector<uint8_t> snapshot = readFile(workDir() + "/Papyrant.bmp");

    for (const char* line : {"/s", "/p 12345", "/c", "/a"}) {
        SCOPED_TRACE(line);
        auto second = startSaver({line});
        ASSERT_NE(second, nullptr);
        std::optional<int> code = second->wait(3000ms);
        ASSERT_TRUE(code) << "the second start still runs";
        EXPECT_EQ(*code, 0);
    }
    EXPECT_TRUE(saver->running());
    EXPECT_EQ(server->findWindows("Papyrant_Main").size(), 1u);
    EXPECT_EQ(server->findWindows("Papyrant_VC").size(), 1u);
    EXPECT_EQ(readFile(workDir() + "/Papyrant.bmp"), snapshot);

    pressEscape(*renderer);
    EXPECT_TRUE(saver->wait(5000ms));
    EXPECT_FALSE(workDirExists());
}

TEST_F(SaverE2E, ARendererWindowOfAnotherProgramKeepsTheSaverWaiting)
{
    // No renderer beside the saver; another program's window has the renderer's title.
    const WindowId other = server->createWindow("Papyrant_VC", 0, 0, 10, 10, false);
    ASSERT_NE(other, 0u);
    const std::string dir = programDir(false);
    auto saver = startSaver({"/s"}, dir);
    ASSERT_NE(saver, nullptr);
    auto main = server->waitForWindow("Papyrant_Main", 5s);
    ASSERT_TRUE(main);
    sleepFor(2500ms);
    EXPECT_TRUE(saver->running());
    EXPECT_TRUE(workDirExists());
    CursorRequests::Counts during = cursor->of(*main);
    EXPECT_EQ(during.hides, 1);
    EXPECT_EQ(during.shows, 0);

    server->destroyWindow(other);
    const auto gone = Clock::now();
    std::optional<int> code = saver->wait(3000ms);
    ASSERT_TRUE(code);
    EXPECT_LT(secondsSince(gone), 1.0);
    EXPECT_FALSE(workDirExists());
    CursorRequests::Counts after = cursor->of(*main);
    EXPECT_EQ(after.hides, 1);
    EXPECT_EQ(after.shows, 1);
}

TEST_F(SaverE2E, AMissingRendererEndsTheRunAtOnceWithItsCleanUp)
{
    const std::string dir = programDir(false);
    const auto start = Clock::now();
    auto saver = startSaver({"/s"}, dir);
    ASSERT_NE(saver, nullptr);
    auto main = server->waitForWindow("Papyrant_Main", 5s);
    ASSERT_TRUE(main);
    std::optional<int> code = saver->wait(3000ms);
    ASSERT_TRUE(code) << "the saver still runs without a renderer";
    EXPECT_EQ(*code, 0);
    EXPECT_LT(secondsSince(start), 2.0);
    EXPECT_FALSE(workDirExists());
    CursorRequests::Counts counts = cursor->of(*main);
    EXPECT_EQ(counts.hides, 1);
    EXPECT_EQ(counts.shows, 1);
}

TEST_F(SaverE2E, SwitchesThatOnlyPrepareMakeTheWorkDirectoryAndEnd)
{
    for (const char* line : {"/a", "/x"}) {
        SCOPED_TRACE(line);
        fs::remove_all(workDir());
        auto saver = startSaver({line});
        ASSERT_NE(saver, nullptr);
        std::optional<int> code = saver->wait(3000ms);
        ASSERT_TRUE(code);
        EXPECT_EQ(*code, 0);
        EXPECT_TRUE(fs::is_directory(workDir()));
        EXPECT_EQ(fs::status(workDir()).permissions() & fs::perms::all, fs::perms::owner_all);
        EXPECT_TRUE(server->findWindows("Papyrant_VC").empty());
    }
}

// A work directory somebody else prepared: a symbolic link to a directory of the user's, or a
// directory of another user. Each holds a picture under the snapshot's name and a file beside it.
// The whole run neither writes through it nor deletes anything in it, and the renderer shows no
// picture of it.
TEST_F(SaverE2E, AWorkDirectorySomebodyElsePreparedIsLeftAlone)
{
    std::vector<uint8_t> red = gfx::EncodeBmp24(gfx::Surface(64, 48, gfx::Rgb(200, 0, 0)));
    const std::string planted(red.begin(), red.end());
    for (const char* kind : {"link", "other user"}) {
        SCOPED_TRACE(kind);
        fs::remove_all(workDir());
        const std::string target = programs.file(std::string("target-") + kind[0]);
        const std::string held = std::string(kind) == "link" ? target : workDir();
        fs::create_directories(held);
        std::ofstream(held + "/Papyrant.bmp", std::ios::binary) << planted;
        std::ofstream(held + "/keep.txt") << "keep";
        if (std::string(kind) == "link") {
            fs::create_directory_symlink(target, workDir());
        } else {
            for (const char* name : {"", "/Papyrant.bmp", "/keep.txt"})
                ASSERT_EQ(::chown((held + name).c_str(), 65534, 65534), 0) << "changing the owner needs root";
        }

        auto saver = startSaver({"/s"});
        ASSERT_NE(saver, nullptr);
        auto renderer = server->waitForShownWindow("Papyrant_VC", 10s);
        ASSERT_TRUE(renderer) << "no renderer window";
        EXPECT_TRUE(server->waitForScreen(showsWhiteMesh, 5s)) << "the renderer should show its white mesh";
        pressEscape(*renderer);
        std::optional<int> code = saver->wait(5000ms);
        ASSERT_TRUE(code) << "the saver still runs";
        EXPECT_EQ(*code, 0);

        EXPECT_EQ(fs::is_symlink(workDir()), std::string(kind) == "link");
        ASSERT_TRUE(fs::is_directory(held)) << "removed";
        EXPECT_EQ(test::sortedNamesIn(held), (std::vector<std::string>{"Papyrant.bmp", "keep.txt"}));
        EXPECT_TRUE(readFile(held + "/Papyrant.bmp") == red) << "written through";
        fs::remove_all(workDir());
    }
}

gfx::Surface previewPicture()
{
    std::vector<uint8_t> png = readFile(std::string(PAPYRANT_ASSETS) + "/preview.png");
    return gfx::DecodePng(png).value_or(gfx::Surface());
}

// Whether the screen's rectangle shows the picture exactly.
bool shows(const Screenshot& area, const gfx::Surface& picture)
{
    if (area.width != picture.width() || area.height != picture.height())
        return false;
    for (int y = 0; y < area.height; ++y)
        for (int x = 0; x < area.width; ++x) {
            const gfx::Pixel p = picture.at(x, y);
            if (!(area.at(x, y) == Rgb{gfx::Red(p), gfx::Green(p), gfx::Blue(p)}))
                return false;
        }
    return true;
}

TEST_F(SaverE2E, PreviewFillsThePaneAndEndsWithIt)
{
    const gfx::Surface picture = previewPicture();
    ASSERT_EQ(picture.width(), 152);
    for (auto [width, height] : {std::pair{152, 112}, {304, 224}}) {
        SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
        gfx::Surface expected(width, height);
        gfx::StretchBlit(expected, {0, 0, width, height}, picture);
        const WindowId pane = server->createWindow("Preview pane", 100, 80, width, height, true, Rgb{128, 128, 128});
        ASSERT_NE(pane, 0u);
        auto saver = startSaver({"/p", std::to_string(pane)});
        ASSERT_NE(saver, nullptr);
        auto shown = server->waitForScreen(
            [&](const Screenshot&) { return shows(server->screenshot(100, 80, width, height), expected); }, 5s);
        ASSERT_TRUE(shown) << "the preview never filled the pane";
        save(server->screenshot(100, 80, width, height), "preview-" + std::to_string(width));
        EXPECT_FALSE(workDirExists()) << "the preview makes no work directory";

        server->destroyWindow(pane);
        const auto gone = Clock::now();
        std::optional<int> code = saver->wait(3000ms);
        ASSERT_TRUE(code) << "the saver outlived its pane";
        EXPECT_EQ(*code, 0);
        EXPECT_LT(secondsSince(gone), 1.0);
    }
}

TEST_F(SaverE2E, PreviewWithoutAPaneEndsAtOnce)
{
    for (const char* handle : {"0", "123456789"}) {
        SCOPED_TRACE(handle);
        auto saver = startSaver({"/p", handle});
        ASSERT_NE(saver, nullptr);
        std::optional<int> code = saver->wait(3000ms);
        ASSERT_TRUE(code);
        EXPECT_EQ(*code, 0);
        EXPECT_TRUE(server->findWindows("Preview Window").empty());
    }
}

TEST_F(SaverE2E, AWavChosenInTheSettingsPlaysDuringTheRunAndStopsWithIt)
{
    using namespace pap::testing;
    const std::string wav = programs.file("loop tone.wav");
    ASSERT_TRUE(WriteWav(wav, Tone(800, kRate / 2)));
    const std::string dir = programDir(true, "[Section]\nBGM区分= 2\nBGMﾘﾋﾟｰﾄ= 0\nBGMﾌｧｲﾙ=" + wav + "\n");
    const std::string output = programs.file("output.raw");
    auto saver = startSaver({"/s"}, dir, {{"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", output}});
    ASSERT_NE(saver, nullptr);
    auto renderer = server->waitForShownWindow("Papyrant_VC", 10s);
    ASSERT_TRUE(renderer);
    sleepFor(2000ms);
    OutputTap tap(output);
    const size_t during = tap.frames();
    std::vector<Stretch> stretches = Stretches(tap.readFrom(0), {800});
    SCOPED_TRACE(Describe(stretches, {800}));
    double heard = 0;
    for (const Stretch& s : stretches)
        if (s.tone == 0)
            heard += s.length;
    EXPECT_GT(heard, 1.5) << "the tone should loop for the whole run";

    // The output dies with the process, so whether the run's end stopped the music is seen only in a
    // process that lives on (tests/saver/saver_music_tests.cpp); here the run plays to its end.
    pressEscape(*renderer);
    ASSERT_TRUE(saver->wait(5000ms));
    EXPECT_GT(tap.frames(), during);
}

}  // namespace
}  // namespace pap::e2e
