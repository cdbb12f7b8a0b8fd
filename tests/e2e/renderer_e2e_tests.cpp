// The renderer program on a private Xvfb: its window, what it draws over a snapshot, how it ends, the
// loader's message box and the X screen saver around a run.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <cstdio>
#include <iostream>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <thread>

#include "e2e/harness.h"

namespace pap::e2e {
namespace {

using namespace std::chrono_literals;

constexpr const char* kTitle = "Papyrant_VC";
constexpr int kWidth = 1024;
constexpr int kHeight = 768;
constexpr int kExitCodeEscape = 27;  // the wParam of the Esc key message

// The snapshot: four quadrants of distinct colours, so that orientation and placement both show.
const Rgb kTopLeft{220, 40, 40};
const Rgb kTopRight{40, 200, 60};
const Rgb kBottomLeft{40, 60, 220};
const Rgb kBottomRight{230, 210, 40};
const Rgb kBlack{0, 0, 0};
const Rgb kWhite{255, 255, 255};

Rgb snapshotColour(int x, int yFromTop)
{
    const bool left = x < kWidth / 2;
    const bool top = yFromTop < kHeight / 2;
    return top ? (left ? kTopLeft : kTopRight) : (left ? kBottomLeft : kBottomRight);
}

void put16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// A 24-bit bottom-up bitmap file with an info header of headerSize bytes (40, or 124 for the V5
// header that the renderer refuses). Pixels come from colourAt(x, row from the top).
template <class ColourAt>
std::vector<uint8_t> bitmapFile(int width, int height, uint32_t headerSize, ColourAt colourAt)
{
    const uint32_t rowBytes = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
    const uint32_t dataOffset = 14 + headerSize;
    std::vector<uint8_t> out;
    // File header: "BM", file size, two reserved words, offset of the pixel data.
    out.push_back('B');
    out.push_back('M');
    put32(out, dataOffset + rowBytes * static_cast<uint32_t>(height));
    put32(out, 0);
    put32(out, dataOffset);
    // Info header: size, width, height, planes, bits, compression, image size, resolutions, colours.
    put32(out, headerSize);
    put32(out, static_cast<uint32_t>(width));
    put32(out, static_cast<uint32_t>(height));
    put16(out, 1);
    put16(out, 24);
    put32(out, 0);
    put32(out, rowBytes * static_cast<uint32_t>(height));
    put32(out, 2835);
    put32(out, 2835);
    put32(out, 0);
    put32(out, 0);
    out.resize(dataOffset, 0);  // the rest of a longer header stays zero
    for (int row = height - 1; row >= 0; --row) {
        for (int x = 0; x < width; ++x) {
            const Rgb c = colourAt(x, row);
            out.push_back(c.b);
            out.push_back(c.g);
            out.push_back(c.r);
        }
        out.resize(out.size() + (rowBytes - static_cast<uint32_t>(width) * 3), 0);
    }
    return out;
}

// Screen point to snapshot point: the picture fills the screen (or the window at the top left) from
// texture 0.01 to 0.99, whatever their shape.
Rgb expectedOnScreen(int x, int y, int width, int height)
{
    const double s = 0.01 + 0.98 * (x + 0.5) / width;
    const double t = 0.01 + 0.98 * (y + 0.5) / height;
    return snapshotColour(static_cast<int>(s * kWidth), static_cast<int>(t * kHeight));
}

// The whole picture over the area (0, 0, width, height) of the screen.
bool showsWholePictureIn(const Screenshot& shot, int width, int height)
{
    if (shot.width < width || shot.height < height)
        return false;
    // A grid of points away from the quadrant edges, where filtering blends colours.
    for (int gy = 0; gy < 4; ++gy)
        for (int gx = 0; gx < 4; ++gx) {
            const int x = width / 8 + gx * width / 4;
            const int y = height / 8 + gy * height / 4;
            if (!near(shot.at(x, y), expectedOnScreen(x, y, width, height), 8))
                return false;
        }
    return true;
}

bool showsWholePicture(const Screenshot& shot)
{
    if (!showsWholePictureIn(shot, shot.width, shot.height))
        return false;
    for (Rgb c : {kTopLeft, kTopRight, kBottomLeft, kBottomRight}) {
        const double share = shot.fraction(c, 8);
        if (share < 0.23 || share > 0.27)
            return false;
    }
    return true;
}

// Tiles apart: black gaps between pieces of the picture.
bool showsShreddedPicture(const Screenshot& shot)
{
    const double black = shot.fraction(kBlack, 10);
    double picture = 0;
    for (Rgb c : {kTopLeft, kTopRight, kBottomLeft, kBottomRight})
        picture += shot.fraction(c, 24);
    return black > 0.02 && picture > 0.05 && black + picture > 0.9;
}

bool showsWhiteMesh(const Screenshot& shot) { return shot.fraction(kWhite, 8) > 0.97; }

std::string outputDir()
{
    const std::string dir = PAPYRANT_E2E_OUTPUT;
    std::filesystem::create_directories(dir);
    return dir;
}

void saveShot(const Screenshot& shot, const std::string& name)
{
    savePng(shot, outputDir() + "/" + name + ".png");
}

class RendererE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        server = XServer::start(kWidth, kHeight, 24);
        ASSERT_TRUE(server) << "Xvfb did not start";
        ASSERT_FALSE(runtime.path().empty());
        // The work directory as the renderer computes it from a private runtime directory.
        workDir = runtime.file("pap_tmp");
        ASSERT_EQ(mkdir(workDir.c_str(), 0700), 0);
    }

    void writeSnapshot(const std::vector<uint8_t>& bytes)
    {
        std::ofstream out(workDir + "/Papyrant.bmp", std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    void writeQuadrantSnapshot() { writeSnapshot(bitmapFile(kWidth, kHeight, 40, snapshotColour)); }

    std::unique_ptr<Process> startRenderer(std::vector<std::string> arguments = {})
    {
        ProcessSpec launch;
        launch.argv = {PAPYRANT_RENDERER};
        launch.argv.insert(launch.argv.end(), arguments.begin(), arguments.end());
        launch.env = server->env({{"XDG_RUNTIME_DIR", runtime.path()}, {"NO_AT_BRIDGE", "1"}, {"GDK_BACKEND", "x11"}});
        launch.outputPath = runtime.file("renderer.log");
        return Process::start(launch);
    }

    // The renderer's window once it is on screen.
    std::optional<WindowId> waitForShownWindow(Milliseconds timeout = 10s)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            for (WindowId w : server->findWindows(kTitle))
                if (server->isViewable(w))
                    return w;
            std::this_thread::sleep_for(10ms);
        }
        return std::nullopt;
    }

    std::string rendererLog() const
    {
        std::ifstream in(runtime.file("renderer.log"));
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::unique_ptr<XServer> server;
    TempDir runtime{"papyrant-runtime"};
    std::string workDir;
};

TEST_F(RendererE2E, ShowsTheSnapshotWholeAndShredded)
{
    writeQuadrantSnapshot();
    auto renderer = startRenderer();
    ASSERT_TRUE(renderer);
    const auto window = waitForShownWindow();
    ASSERT_TRUE(window) << rendererLog();

    // The saver's search (by title, unmapped windows too) and xdotool's find the same window.
    EXPECT_EQ(server->findWindows(kTitle), std::vector<WindowId>{*window});
    const CommandResult search = runCommand({"xdotool", "search", "--name", "^Papyrant_VC$"}, server->env());
    EXPECT_EQ(search.output, std::to_string(*window) + "\n");
    EXPECT_EQ(server->property(*window, "WM_CLASS"), std::string("OpenGL\0OpenGL\0", 14));

    const std::vector<Screenshot> shots = server->screenshots(3s, 60ms);
    int whole = 0;
    int shredded = 0;
    for (const Screenshot& shot : shots) {
        if (showsWholePicture(shot) && whole++ == 0)
            saveShot(shot, "renderer_whole");
        if (showsShreddedPicture(shot) && shredded++ == 0)
            saveShot(shot, "renderer_shredded");
    }
    EXPECT_GT(whole, 0) << "of " << shots.size() << " screenshots";
    EXPECT_GT(shredded, 0) << "of " << shots.size() << " screenshots";
    if (!shots.empty())
        saveShot(shots.back(), "renderer_last");
    EXPECT_TRUE(renderer->running());
}

struct EscapeCase {
    const char* name;
    bool focused;  // focused: xdotool types through XTEST; otherwise it sends synthetic events
};

void PrintTo(const EscapeCase& c, std::ostream* os) { *os << c.name; }

class RendererEscapeE2E : public RendererE2E, public ::testing::WithParamInterface<EscapeCase> {};

TEST_P(RendererEscapeE2E, EndsTheRunAndRestoresTheScreenSaver)
{
    const ScreenSaverSettings before{321, 123, 1, 1};
    server->setScreenSaver(before);
    writeQuadrantSnapshot();
    auto renderer = startRenderer();
    ASSERT_TRUE(renderer);
    const auto window = waitForShownWindow();
    ASSERT_TRUE(window) << rendererLog();

    server->setFocus(GetParam().focused ? *window : 0);
    server->pressKey(*window, "Escape");
    EXPECT_EQ(renderer->wait(5s), kExitCodeEscape) << rendererLog();
    EXPECT_TRUE(server->findWindows(kTitle).empty());
    EXPECT_FALSE(server->windowExists(*window));
    EXPECT_EQ(server->screenSaver(), before);
}

INSTANTIATE_TEST_SUITE_P(Keys, RendererEscapeE2E,
                         ::testing::Values(EscapeCase{"Typed", true}, EscapeCase{"Synthetic", false}),
                         [](const ::testing::TestParamInfo<EscapeCase>& p) { return std::string(p.param.name); });

TEST_F(RendererE2E, EscapeWhileMinimisedEndsTheRunOnlyOnceRestored)
{
    writeQuadrantSnapshot();
    auto renderer = startRenderer();
    ASSERT_TRUE(renderer);
    const auto window = waitForShownWindow();
    ASSERT_TRUE(window) << rendererLog();
    const std::string id = std::to_string(*window);

    runCommand({"xdotool", "windowunmap", "--sync", id}, server->env());
    runCommand({"xdotool", "keydown", "--window", id, "Escape"}, server->env());
    EXPECT_FALSE(renderer->wait(500ms).has_value()) << "Esc is not acted on while minimised";
    EXPECT_EQ(server->findWindows(kTitle), std::vector<WindowId>{*window}) << "the hidden window is still found";

    // Restored with Esc still held: the first idle pass ends the run, and the last message taken was the
    // activation (WA_ACTIVE = 1).
    runCommand({"xdotool", "windowmap", id}, server->env());
    EXPECT_EQ(renderer->wait(5s), 1) << rendererLog();
    runCommand({"xdotool", "keyup", "Escape"}, server->env());
}

// A quick tap (press and release back to back, as `xdotool key` sends them) a second after the window
// appeared, in each of many runs: each must end its run.
TEST_F(RendererE2E, EveryQuickEscapeTapEndsTheRun)
{
    constexpr int kRuns = 20;
    writeQuadrantSnapshot();
    int ended = 0;
    for (int run = 0; run < kRuns; ++run) {
        auto renderer = startRenderer();
        ASSERT_TRUE(renderer);
        const auto window = waitForShownWindow();
        ASSERT_TRUE(window) << rendererLog();
        std::this_thread::sleep_for(1s);
        server->focusAndType(*window, "Escape");
        const std::optional<int> code = renderer->wait(5s);
        if (code) {
            ++ended;
            EXPECT_EQ(*code, kExitCodeEscape) << "run " << run;
        } else {
            server->sendCloseRequest(*window);
            renderer->wait(5s);
        }
    }
    std::cout << "taps that ended the run: " << ended << " of " << kRuns << "\n";
    EXPECT_EQ(ended, kRuns);
}

struct ScreenCase {
    const char* name;
    int width, height;                  // the screen
    int snapshotWidth, snapshotHeight;  // the picture, drawn over the whole screen whatever its size
};

void PrintTo(const ScreenCase& c, std::ostream* os) { *os << c.name; }

class RendererScreenE2E : public RendererE2E, public ::testing::WithParamInterface<ScreenCase> {};

// The saver writes a snapshot of the screen's own size; rows of a width that is not a multiple of 4 have
// no padding in the decoded picture.
TEST_P(RendererScreenE2E, FillsTheScreenWithTheSnapshot)
{
    const ScreenCase& c = GetParam();
    server = XServer::start(c.width, c.height, 24);
    ASSERT_TRUE(server);
    writeSnapshot(bitmapFile(c.snapshotWidth, c.snapshotHeight, 40, [&c](int x, int y) {
        return snapshotColour(x * kWidth / c.snapshotWidth, y * kHeight / c.snapshotHeight);
    }));
    auto renderer = startRenderer();
    ASSERT_TRUE(renderer);
    ASSERT_TRUE(waitForShownWindow()) << rendererLog();
    const auto shot = server->waitForScreen(showsWholePicture, 5s);
    EXPECT_TRUE(shot);
    saveShot(shot ? *shot : server->screenshot(), std::string("renderer_") + c.name + (shot ? "" : "_failed"));
}

INSTANTIATE_TEST_SUITE_P(Screens, RendererScreenE2E,
                         ::testing::Values(ScreenCase{"1280x1024", 1280, 1024, kWidth, kHeight},
                                           ScreenCase{"1366x768", 1366, 768, 1366, 768}),
                         [](const ::testing::TestParamInfo<ScreenCase>& p) { return std::string(p.param.name); });

TEST_F(RendererE2E, ResizedWindowDrawsIntoItsNewSize)
{
    writeQuadrantSnapshot();
    auto renderer = startRenderer();
    ASSERT_TRUE(renderer);
    const auto window = waitForShownWindow();
    ASSERT_TRUE(window) << rendererLog();
    runCommand({"xdotool", "windowsize", std::to_string(*window), "512", "384"}, server->env());
    const auto shot = server->waitForScreen(
        [](const Screenshot& s) { return showsWholePictureIn(s, 512, 384) && s.at(800, 600) != kBottomRight; },
        5s);
    EXPECT_TRUE(shot);
    if (shot)
        saveShot(*shot, "renderer_resized");
}

// Given another program's window, the renderer draws inside it and follows its size, and ends when that
// window is destroyed.
TEST_F(RendererE2E, AHostWindowIsFilledFollowedAndItsEndEndsTheRun)
{
    writeQuadrantSnapshot();
    const WindowId host = server->createWindow("host", 0, 0, 512, 384, true, Rgb{90, 90, 90});
    ASSERT_NE(host, 0u);
    char id[32];
    std::snprintf(id, sizeof id, "0x%lx", host);
    auto renderer = startRenderer({"-window-id", id});
    ASSERT_TRUE(renderer);
    const auto window = waitForShownWindow();
    ASSERT_TRUE(window) << rendererLog();
    // The picture fills the host only: the rest of the screen keeps the desktop's black.
    EXPECT_TRUE(server->waitForScreen(
        [](const Screenshot& s) { return showsWholePictureIn(s, 512, 384) && s.at(800, 600) == kBlack; }, 5s));
    runCommand({"xdotool", "windowsize", std::to_string(host), "1024", "768"}, server->env());
    const auto shot = server->waitForScreen([](const Screenshot& s) { return showsWholePictureIn(s, 1024, 768); }, 5s);
    EXPECT_TRUE(shot);
    if (shot)
        saveShot(*shot, "renderer_hosted");
    server->destroyWindow(host);
    EXPECT_EQ(renderer->wait(5s), 0) << rendererLog();
}

TEST_F(RendererE2E, OtherKeysAndTheMouseDoNotEndTheRun)
{
    writeQuadrantSnapshot();
    auto renderer = startRenderer();
    ASSERT_TRUE(renderer);
    const auto window = waitForShownWindow();
    ASSERT_TRUE(window) << rendererLog();
    for (const char* key : {"a", "space", "Return", "F1"})
        server->pressKey(*window, key, 30ms);
    runCommand({"xdotool", "mousemove", "500", "400", "click", "1"}, server->env());
    EXPECT_FALSE(renderer->wait(500ms).has_value());
    server->sendCloseRequest(*window);
    EXPECT_EQ(renderer->wait(5s), 0);
}

TEST_F(RendererE2E, CloseRequestExitsWithZero)
{
    writeQuadrantSnapshot();
    auto renderer = startRenderer();
    ASSERT_TRUE(renderer);
    const auto window = waitForShownWindow();
    ASSERT_TRUE(window) << rendererLog();
    std::this_thread::sleep_for(300ms);

    ASSERT_TRUE(server->sendCloseRequest(*window));
    EXPECT_EQ(renderer->wait(5s), 0) << rendererLog();
    EXPECT_TRUE(server->waitForNoWindow(kTitle, 1s));
}

TEST_F(RendererE2E, NoSnapshotGivesAWhiteMeshWithoutAMessage)
{
    auto renderer = startRenderer();
    ASSERT_TRUE(renderer);
    const auto window = waitForShownWindow();
    ASSERT_TRUE(window) << rendererLog();

    const auto white = server->waitForScreen(showsWhiteMesh, 2500ms);
    ASSERT_TRUE(white);
    saveShot(*white, "renderer_white_mesh");
    EXPECT_TRUE(server->findWindows("Error").empty());
    server->sendCloseRequest(*window);
    EXPECT_EQ(renderer->wait(5s), 0);
}

TEST_F(RendererE2E, UnknownHeaderShowsAnErrorBoxThenAWhiteMesh)
{
    writeSnapshot(bitmapFile(4, 4, 124, snapshotColour));
    auto renderer = startRenderer();
    ASSERT_TRUE(renderer);

    const auto box = server->waitForWindow("Error", 10s);
    ASSERT_TRUE(box) << rendererLog();
    EXPECT_EQ(server->waitForProperty(*box, "_PAPYRANT_MESSAGE", 5s), "Unknown DIB file format.");
    // The box holds up the animation: nothing has been drawn yet.
    std::this_thread::sleep_for(300ms);
    const Screenshot withBox = server->screenshot();
    saveShot(withBox, "renderer_error_box");
    EXPECT_FALSE(showsWhiteMesh(withBox));

    server->focusAndType(*box, "Return");
    ASSERT_TRUE(server->waitForNoWindow("Error", 5s)) << "the box was not dismissed";

    EXPECT_TRUE(server->waitForScreen(showsWhiteMesh, 2500ms));

    const auto window = server->findWindows(kTitle);
    ASSERT_EQ(window.size(), 1u);
    server->sendCloseRequest(window.front());
    EXPECT_EQ(renderer->wait(5s), 0) << rendererLog();
}

// `xset q`, as a user would look.
std::string xsetQuery(const XServer& server)
{
    return runCommand({"xset", "q"}, server.env()).output;
}

// Its "Screen Saver" section (blanking, exposures, timeout, cycle) and its "DPMS" section.
std::string screenSaverLines(const std::string& query)
{
    const auto section = [&query](const char* title, const char* next) {
        const size_t from = query.find(title);
        if (from == std::string::npos)
            return std::string();
        const size_t to = next ? query.find(next, from) : std::string::npos;
        return query.substr(from, to == std::string::npos ? std::string::npos : to - from);
    };
    return section("Screen Saver:", "Colors:") + section("DPMS", nullptr);
}

// The server holds the saver off for the renderer's connection and lets go when it goes, however it goes:
// the user's settings are never touched.
TEST_F(RendererE2E, KilledRendererLeavesTheScreenSaverAsItWas)
{
    ASSERT_TRUE(server->screenSaverState()) << "Xvfb has MIT-SCREEN-SAVER";
    ASSERT_EQ(runCommand({"xset", "s", "3", "7"}, server->env()).exitCode, 0);
    const std::string before = xsetQuery(*server);
    ASSERT_NE(before.find("timeout:  3    cycle:  7"), std::string::npos) << before;
    writeQuadrantSnapshot();
    auto renderer = startRenderer();
    ASSERT_TRUE(renderer);
    ASSERT_TRUE(waitForShownWindow()) << rendererLog();

    // Idle well past the timeout without the saver coming on.
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    std::optional<ScreenSaverState> state;
    while ((state = server->screenSaverState()) && state->idleMs < 4500 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(100ms);
    ASSERT_TRUE(state);
    EXPECT_GE(state->idleMs, 4500u);
    EXPECT_FALSE(state->on) << "the screen saver came on over the renderer";
    std::cout << "during the run:\n" << screenSaverLines(xsetQuery(*server));

    ASSERT_EQ(kill(renderer->pid(), SIGKILL), 0);
    EXPECT_EQ(renderer->wait(5s), 128 + SIGKILL);
    const std::string after = xsetQuery(*server);
    std::cout << "after SIGKILL:\n" << screenSaverLines(after);
    EXPECT_EQ(screenSaverLines(after), screenSaverLines(before));
    // And the saver's timer runs again.
    bool on = false;
    for (int k = 0; k < 100 && !on; ++k) {
        std::this_thread::sleep_for(100ms);
        on = server->screenSaverState().value_or(ScreenSaverState{}).on;
    }
    EXPECT_TRUE(on) << "the screen saver did not come on after the renderer was gone";
}

// Without the extension the renderer switches the saver off itself, and a termination signal ends the run
// through its loop, which gives the settings back.
class RendererSignalE2E : public RendererE2E, public ::testing::WithParamInterface<int> {};

TEST_P(RendererSignalE2E, WithoutTheSaverExtensionATerminationSignalRestoresTheSettings)
{
    server = XServer::start(kWidth, kHeight, 24, 10s, {"-extension", "MIT-SCREEN-SAVER"});
    ASSERT_TRUE(server);
    ASSERT_FALSE(server->screenSaverState());
    ASSERT_EQ(runCommand({"xset", "s", "3", "7"}, server->env()).exitCode, 0);
    const std::string before = xsetQuery(*server);
    writeQuadrantSnapshot();
    auto renderer = startRenderer();
    ASSERT_TRUE(renderer);
    ASSERT_TRUE(waitForShownWindow()) << rendererLog();
    EXPECT_EQ(server->screenSaver().timeout, 0) << "held off by switching it off";

    ASSERT_EQ(kill(renderer->pid(), GetParam()), 0);
    EXPECT_EQ(renderer->wait(5s), 0) << rendererLog();
    EXPECT_EQ(screenSaverLines(xsetQuery(*server)), screenSaverLines(before));
}

INSTANTIATE_TEST_SUITE_P(Signals, RendererSignalE2E, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& p) {
                             return std::string(p.param == SIGTERM ? "Term" : p.param == SIGINT ? "Int" : "Hup");
                         });

}  // namespace
}  // namespace pap::e2e
