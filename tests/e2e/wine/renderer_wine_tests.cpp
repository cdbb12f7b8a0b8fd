// The Windows build of the renderer under Wine on a private Xvfb: its window as Win32 and X see it,
// what it draws over a snapshot, how it ends, the loader's message boxes, the display mode around a run,
// and its manifest.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>

#include "e2e/harness.h"
#include "e2e/wine/wine_session.h"

namespace pap::e2e {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr const char* kTitle = "Papyrant_VC";
constexpr int kWidth = 1024;
constexpr int kHeight = 768;
constexpr int kExitCodeEscape = 27;  // the wParam of the Esc key message (and of the WM_CHAR after it)
constexpr int kVkEscape = 0x1B;
// Wine waits up to 2 s for a window manager to withdraw a window being destroyed; Xvfb has none.
constexpr Milliseconds kExitTimeout = 10s;

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

// A 24-bit bottom-up bitmap file of the quadrant picture, with an info header of headerSize bytes
// (40, or 124 for the V5 header that the renderer refuses).
std::vector<uint8_t> quadrantBitmap(int width, int height, uint32_t headerSize)
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
            const Rgb c = snapshotColour(x * kWidth / width, row * kHeight / height);
            out.push_back(c.b);
            out.push_back(c.g);
            out.push_back(c.r);
        }
        out.resize(out.size() + (rowBytes - static_cast<uint32_t>(width) * 3), 0);
    }
    return out;
}

// One point well inside each quadrant of the screen, with the colour the whole picture gives it.
struct Probe {
    int x, y;
    Rgb colour;
};
const Probe kProbes[] = {
    {kWidth / 4, kHeight / 4, kTopLeft},
    {3 * kWidth / 4, kHeight / 4, kTopRight},
    {kWidth / 4, 3 * kHeight / 4, kBottomLeft},
    {3 * kWidth / 4, 3 * kHeight / 4, kBottomRight},
};

bool showsWholePicture(const Screenshot& shot)
{
    if (shot.width != kWidth || shot.height != kHeight)
        return false;
    for (const Probe& p : kProbes)
        if (!near(shot.at(p.x, p.y), p.colour, 8))
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

std::string trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

void saveShot(const Screenshot& shot, const std::string& name)
{
    const std::string dir = PAPYRANT_E2E_OUTPUT;
    std::filesystem::create_directories(dir);
    savePng(shot, dir + "/" + name + ".png");
}

class RendererWine : public ::testing::Test {
protected:
    void SetUp() override { startSession(kWidth, kHeight, 24); }

    void startSession(int width, int height, int depth)
    {
        session.reset();  // one session at a time holds the prefix
        std::string error;
        session = WineSession::start(WinePaths{PAPYRANT_WINEPREFIX, PAPYRANT_WINE_BIN, PAPYRANT_WINE_RUN}, width,
                                     height, depth, error);
        ASSERT_TRUE(session) << error;
        workDir = session->driveC() + "/pap_tmp";
        std::filesystem::remove_all(workDir);
        std::filesystem::create_directories(workDir);
        modeBefore = session->displayMode();
        ASSERT_FALSE(modeBefore.empty());
    }

    void writeSnapshot(const std::vector<uint8_t>& bytes)
    {
        std::ofstream out(workDir + "/Papyrant.bmp", std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    std::unique_ptr<Process> startRenderer()
    {
        return session->start(session->program("Papyrant.dll"), {}, logs.file("renderer.log"));
    }

    std::string rendererLog() const
    {
        std::ifstream in(logs.file("renderer.log"));
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // The renderer's window as the test client's FindWindowA sees it; 0 when it does not come.
    unsigned long long waitForWindow(Milliseconds timeout = 15s)
    {
        const CommandResult found = session->client({"wait", kTitle, std::to_string(timeout.count())}, timeout + 5s);
        return found.exitCode == 0 ? std::stoull(found.output) : 0;
    }

    // Ends the run with WM_CLOSE from the test client: exit code 0, window gone, display mode back.
    void closeAndCheck(Process& renderer)
    {
        EXPECT_EQ(session->client({"close", kTitle}).exitCode, 0);
        EXPECT_EQ(renderer.wait(kExitTimeout), 0) << rendererLog();
        EXPECT_EQ(session->client({"find", kTitle}).exitCode, 1) << "the window outlived the program";
        EXPECT_EQ(session->displayMode(), modeBefore);
    }

    std::unique_ptr<WineSession> session;
    TempDir logs{"papyrant-wine"};
    std::string workDir;
    std::string modeBefore;
};

TEST_F(RendererWine, ShowsTheSnapshotWholeAndShredded)
{
    writeSnapshot(quadrantBitmap(kWidth, kHeight, 40));
    const XServer& x = session->x();
    const auto started = Clock::now();
    auto renderer = startRenderer();
    ASSERT_TRUE(renderer);

    // Start to first frame: until the snapshot's colours are on screen at all four probes.
    std::optional<Milliseconds> windowAfter;
    std::optional<Milliseconds> firstFrameAfter;
    while (!firstFrameAfter && Clock::now() - started < 20s && renderer->running()) {
        const auto now = std::chrono::duration_cast<Milliseconds>(Clock::now() - started);
        if (!windowAfter && !x.findWindows(kTitle).empty())
            windowAfter = now;
        bool all = true;
        for (const Probe& p : kProbes) {
            const Screenshot pixel = x.screenshot(p.x, p.y, 1, 1);
            all = all && pixel.width == 1 && near(pixel.at(0, 0), p.colour, 8);
        }
        if (all)
            firstFrameAfter = now;
        else
            std::this_thread::sleep_for(2ms);
    }
    ASSERT_TRUE(firstFrameAfter) << "the snapshot never showed\n" << rendererLog();
    ASSERT_TRUE(windowAfter);
    RecordProperty("window_ms", static_cast<int>(windowAfter->count()));
    RecordProperty("first_frame_ms", static_cast<int>(firstFrameAfter->count()));
    std::cout << "start to window: " << windowAfter->count() << " ms, start to first frame: "
              << firstFrameAfter->count() << " ms\n";

    // Win32's FindWindowA and X's search find the one window.
    EXPECT_NE(waitForWindow(1s), 0u);
    const std::vector<WindowId> xWindows = x.findWindows(kTitle);
    ASSERT_EQ(xWindows.size(), 1u);
    const CommandResult search = runCommand({"xdotool", "search", "--name", "^Papyrant_VC$"}, x.env());
    EXPECT_EQ(search.output, std::to_string(xWindows.front()) + "\n");
    EXPECT_EQ(session->displayMode(), "1024x768x32");

    const std::vector<Screenshot> shots = x.screenshots(3s, 60ms);
    int whole = 0;
    int shredded = 0;
    for (const Screenshot& shot : shots) {
        if (showsWholePicture(shot) && whole++ == 0)
            saveShot(shot, "wine_renderer_whole");
        if (showsShreddedPicture(shot) && shredded++ == 0)
            saveShot(shot, "wine_renderer_shredded");
    }
    EXPECT_GT(whole, 0) << "of " << shots.size() << " screenshots";
    EXPECT_GT(shredded, 0) << "of " << shots.size() << " screenshots";

    closeAndCheck(*renderer);
}

TEST_F(RendererWine, CloseMessageExitsWithZero)
{
    writeSnapshot(quadrantBitmap(kWidth, kHeight, 40));
    auto renderer = startRenderer();
    ASSERT_TRUE(renderer);
    ASSERT_NE(waitForWindow(), 0u) << rendererLog();
    std::this_thread::sleep_for(300ms);
    closeAndCheck(*renderer);
}

enum class EscapeBy { Keyboard, PostedMessage };

class RendererWineEscape : public RendererWine, public ::testing::WithParamInterface<EscapeBy> {};

TEST_P(RendererWineEscape, EndsTheRunAndRestoresTheDisplayMode)
{
    writeSnapshot(quadrantBitmap(kWidth, kHeight, 40));
    auto renderer = startRenderer();
    ASSERT_TRUE(renderer);
    ASSERT_NE(waitForWindow(), 0u) << rendererLog();
    const auto window = session->x().waitForWindow(kTitle, 5s);
    ASSERT_TRUE(window);
    // On a busy machine Wine takes a while after mapping the full-screen window before the window takes
    // keys; a key typed earlier is lost. The quick-tap runs below wait as long.
    std::this_thread::sleep_for(1s);

    if (GetParam() == EscapeBy::Keyboard) {
        // Typed through XTEST into the focused window, held as a person holds a key: a press and release
        // that reach the queue together would be forgotten before the loop's next idle pass.
        session->x().setFocus(*window);
        runCommand({"xdotool", "keydown", "Escape"}, session->x().env());
        std::this_thread::sleep_for(250ms);
        runCommand({"xdotool", "keyup", "Escape"}, session->x().env());
    } else {
        EXPECT_EQ(session->client({"key", kTitle, std::to_string(kVkEscape)}).exitCode, 0);
    }
    EXPECT_EQ(renderer->wait(kExitTimeout), kExitCodeEscape) << rendererLog();
    EXPECT_EQ(session->client({"find", kTitle}).exitCode, 1);
    EXPECT_EQ(session->displayMode(), modeBefore);
}

INSTANTIATE_TEST_SUITE_P(Keys, RendererWineEscape, ::testing::Values(EscapeBy::Keyboard, EscapeBy::PostedMessage),
                         [](const ::testing::TestParamInfo<EscapeBy>& p) {
                             return std::string(p.param == EscapeBy::Keyboard ? "Typed" : "Posted");
                         });

// A quick tap (press and release back to back, as `xdotool key` sends them) a second after the window
// appeared, in each of many runs: each must end its run.
TEST_F(RendererWine, EveryQuickEscapeTapEndsTheRun)
{
    constexpr int kRuns = 20;
    writeSnapshot(quadrantBitmap(kWidth, kHeight, 40));
    int ended = 0;
    for (int run = 0; run < kRuns; ++run) {
        auto renderer = startRenderer();
        ASSERT_TRUE(renderer);
        ASSERT_NE(waitForWindow(), 0u) << rendererLog();
        const auto window = session->x().waitForWindow(kTitle, 5s);
        ASSERT_TRUE(window);
        std::this_thread::sleep_for(1s);
        session->x().focusAndType(*window, "Escape");
        const std::optional<int> code = renderer->wait(kExitTimeout);
        if (code) {
            ++ended;
            EXPECT_EQ(*code, kExitCodeEscape) << "run " << run;
        } else {
            session->client({"close", kTitle});
            renderer->wait(kExitTimeout);
        }
    }
    std::cout << "taps that ended the run: " << ended << " of " << kRuns << "\n";
    EXPECT_EQ(ended, kRuns);
    EXPECT_EQ(session->displayMode(), modeBefore);
}

TEST_F(RendererWine, NoSnapshotGivesAWhiteMeshWithoutAMessage)
{
    auto renderer = startRenderer();
    ASSERT_TRUE(renderer);
    ASSERT_NE(waitForWindow(), 0u) << rendererLog();
    const auto white = session->x().waitForScreen(showsWhiteMesh, 5s);
    ASSERT_TRUE(white);
    saveShot(*white, "wine_renderer_white_mesh");
    EXPECT_EQ(session->client({"find", "Error"}).exitCode, 1) << "no message box";
    closeAndCheck(*renderer);
}

TEST_F(RendererWine, UnknownHeaderShowsAnErrorBoxThenAWhiteMesh)
{
    writeSnapshot(quadrantBitmap(4, 4, 124));
    auto renderer = startRenderer();
    ASSERT_TRUE(renderer);

    const CommandResult text = session->client({"message-text", "Error", "15000"}, 20s);
    ASSERT_EQ(text.exitCode, 0) << text.output << rendererLog();
    EXPECT_EQ(text.output, "Unknown DIB file format.");
    // The box holds up the animation: nothing has been drawn yet.
    std::this_thread::sleep_for(300ms);
    const Screenshot withBox = session->x().screenshot();
    saveShot(withBox, "wine_renderer_error_box");
    EXPECT_FALSE(showsWhiteMesh(withBox));

    ASSERT_EQ(session->client({"message-ok", "Error"}).exitCode, 0);
    EXPECT_EQ(session->client({"wait-gone", "Error", "5000"}).exitCode, 0) << "the box was not dismissed";
    EXPECT_TRUE(session->x().waitForScreen(showsWhiteMesh, 5s));
    closeAndCheck(*renderer);
}

TEST_F(RendererWine, EmptySnapshotNamesThePathInTheBox)
{
    writeSnapshot({});
    auto renderer = startRenderer();
    ASSERT_TRUE(renderer);

    const CommandResult text = session->client({"message-text", "Error", "15000"}, 20s);
    ASSERT_EQ(text.exitCode, 0) << text.output << rendererLog();
    EXPECT_EQ(text.output, "Failed to open DIB file C:\\pap_tmp\\Papyrant.bmp.\n");
    ASSERT_EQ(session->client({"message-ok", "Error"}).exitCode, 0);
    EXPECT_TRUE(session->x().waitForScreen(showsWhiteMesh, 5s));
    closeAndCheck(*renderer);
}

TEST_F(RendererWine, RefusedDisplayModeEndsAtOnceWithoutAWindow)
{
    // Xvfb offers its own size only, so Wine refuses 1024 x 768 on a larger screen.
    startSession(1280, 1024, 24);
    ASSERT_EQ(modeBefore, "1280x1024x32");
    EXPECT_EQ(trimmed(session->client({"test-mode", "1024", "768", "32"}).output), "-2") << "DISP_CHANGE_BADMODE";

    auto renderer = startRenderer();
    ASSERT_TRUE(renderer);
    EXPECT_EQ(renderer->wait(kExitTimeout), 0) << rendererLog();
    EXPECT_TRUE(session->x().findWindows(kTitle).empty());
    EXPECT_EQ(session->displayMode(), modeBefore);
}

TEST_F(RendererWine, RestoresTheDisplayModeItChanged)
{
    // Xvfb has one mode, but a Wine virtual desktop offers the usual ones up to its size and changes
    // size with the mode. Copies of the renderer and the client under their own names run in one, so that
    // the other scenarios keep the plain desktop.
    startSession(1280, 1024, 24);
    const std::string dir = session->driveC() + "/papyrant_vd";
    std::filesystem::create_directories(dir);
    const std::string renderer = dir + "/PapyrantVD.dll";
    const std::string client = dir + "/win_client_vd.exe";
    for (const auto& [from, to] : {std::pair{session->program("Papyrant.dll"), renderer},
                                   std::pair{session->program("win_client.exe"), client}})
        std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
    const std::string desktopKey = "HKCU\\Software\\Wine\\Explorer\\Desktops";
    ASSERT_EQ(session->run("reg", {"add", desktopKey, "/v", "PapyrantVD", "/d", "1280x1024", "/f"}).exitCode, 0);
    for (const char* app : {"PapyrantVD.dll", "win_client_vd.exe"}) {
        const std::string key = std::string("HKCU\\Software\\Wine\\AppDefaults\\") + app + "\\Explorer";
        ASSERT_EQ(session->run("reg", {"add", key, "/v", "Desktop", "/d", "PapyrantVD", "/f"}).exitCode, 0);
    }
    const auto mode = [&] { return trimmed(session->run(client, {"display-mode"}).output); };
    ASSERT_EQ(mode(), "1280x1024x32");

    writeSnapshot(quadrantBitmap(kWidth, kHeight, 40));
    auto run = session->start(renderer, {}, logs.file("renderer.log"));
    ASSERT_TRUE(run);
    ASSERT_EQ(session->run(client, {"wait", kTitle, "15000"}, 20s).exitCode, 0) << rendererLog();
    EXPECT_EQ(mode(), "1024x768x32");
    // The desktop has shrunk to the new mode, and the picture fills it.
    const auto shot = session->x().waitForScreen(
        [](const Screenshot& s) {
            for (const Probe& p : kProbes)
                if (!near(s.at(p.x, p.y), p.colour, 8))
                    return false;
            return true;
        },
        5s);
    EXPECT_TRUE(shot);
    if (shot)
        saveShot(*shot, "wine_renderer_mode_changed");

    EXPECT_EQ(session->run(client, {"close", kTitle}).exitCode, 0);
    EXPECT_EQ(run->wait(kExitTimeout), 0) << rendererLog();
    EXPECT_EQ(mode(), "1280x1024x32");
}

TEST_F(RendererWine, DeclaresPerMonitorDpiAwareness)
{
    // Read back through the resource calls with which Windows finds an application manifest.
    const CommandResult manifest = session->client({"manifest", session->program("Papyrant.dll")});
    ASSERT_EQ(manifest.exitCode, 0) << "no manifest resource (type 24, id 1)";
    EXPECT_NE(manifest.output.find(">true/pm</dpiAware>"), std::string::npos) << manifest.output;
    EXPECT_NE(manifest.output.find(">PerMonitorV2,PerMonitor</dpiAwareness>"), std::string::npos) << manifest.output;
}

}  // namespace
}  // namespace pap::e2e
