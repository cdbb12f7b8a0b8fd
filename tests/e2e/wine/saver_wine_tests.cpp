// The Windows build of the saver under Wine on a private Xvfb, with the renderer beside it: a run over
// the desktop from the snapshot to the clean-up, a second start during a run, a renderer window of
// another program, a missing renderer, the switches that only prepare, the preview inside a window of
// another program, the music of the settings file, and the manifest. Figures a user would notice are
// printed, not asserted.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "e2e/desktop_checks.h"
#include "e2e/harness.h"
#include "e2e/wine/wine_session.h"
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
constexpr int kVkEscape = 0x1B;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The Wine process whose command line names the program file, if one runs.
std::optional<pid_t> wineProcessOf(const std::string& fileName)
{
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream in(entry.path() / "cmdline", std::ios::binary);
        std::string first;
        std::getline(in, first, '\0');
        if (first.size() >= fileName.size() && first.compare(first.size() - fileName.size(), fileName.size(), fileName) == 0)
            return pid_t(std::stol(name));
    }
    return std::nullopt;
}

class SaverWine : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        session = WineSession::start(WinePaths{PAPYRANT_WINEPREFIX, PAPYRANT_WINE_BIN, PAPYRANT_WINE_RUN}, kWidth,
                                     kHeight, 24, error);
        ASSERT_TRUE(session) << error;
        workDir = session->driveC() + "/pap_tmp";
        fs::remove_all(workDir);
        session->x().showDesktop(desktopPicture());
        fs::create_directories(PAPYRANT_E2E_OUTPUT);
    }

    // A folder of drive C with a copy of the saver, the renderer unless left out, and an ini file (its
    // bytes as given); the saver's path there.
    std::string programDir(const std::string& name, bool withRenderer, const std::string& ini = "")
    {
        const std::string dir = session->driveC() + "/" + name;
        fs::remove_all(dir);
        fs::create_directories(dir);
        fs::copy_file(session->program("Papyrant.scr"), dir + "/Papyrant.scr");
        if (withRenderer)
            fs::copy_file(session->program("Papyrant.dll"), dir + "/Papyrant.dll");
        if (!ini.empty())
            std::ofstream(dir + "/Papyrant.ini", std::ios::binary) << ini;
        return dir + "/Papyrant.scr";
    }

    std::unique_ptr<Process> startSaver(const std::vector<std::string>& args, const std::string& program = "")
    {
        return session->start(program.empty() ? session->program("Papyrant.scr") : program, args,
                              logs.file("saver-" + std::to_string(++m_logs) + ".log"));
    }

    // A window of the test client, titled `title`, living for a minute, and its handle.
    struct ClientWindow {
        std::unique_ptr<Process> process;
        unsigned long long handle = 0;
    };
    ClientWindow clientWindow(int width, int height, const std::string& title)
    {
        ClientWindow window;
        const std::string log = logs.file("window-" + std::to_string(++m_logs) + ".log");
        window.process = session->start(session->program("win_client.exe"),
                                        {"window", std::to_string(width), std::to_string(height), "60000", title}, log);
        const auto deadline = Clock::now() + 15s;
        while (Clock::now() < deadline) {
            std::ifstream in(log);
            if (in >> window.handle)
                return window;
            std::this_thread::sleep_for(20ms);
        }
        window.handle = 0;
        return window;
    }

    bool windowExists(const std::string& title) { return session->client({"find", title}).exitCode == 0; }
    bool waitForWindow(const std::string& title, Milliseconds timeout = 15s)
    {
        return session->client({"wait", title, std::to_string(timeout.count())}, timeout + 5s).exitCode == 0;
    }

    void save(const Screenshot& shot, const std::string& name)
    {
        savePng(shot, std::string(PAPYRANT_E2E_OUTPUT) + "/wine_saver_" + name + ".png");
    }

    std::unique_ptr<WineSession> session;
    TempDir logs{"papyrant-wine-saver"};
    std::string workDir;

private:
    int m_logs = 0;
};

TEST_F(SaverWine, ShowsTheDesktopShreddedAndCleansUpAfterEscape)
{
    const XServer& x = session->x();
    const auto start = Clock::now();
    auto saver = startSaver({"/s"});
    ASSERT_TRUE(saver);
    ASSERT_TRUE(waitForWindow("Papyrant_VC")) << "no renderer window";
    EXPECT_TRUE(windowExists("Papyrant_Main"));

    // The snapshot is the desktop, pixel for pixel, 24 bits, bottom-up.
    const Screenshot desktop = desktopPicture();
    std::vector<uint8_t> file = readFile(workDir + "/Papyrant.bmp");
    DibDecodeResult decoded = DecodeDib(file);
    ASSERT_TRUE(decoded.image) << decoded.reason;
    EXPECT_EQ(decoded.header.bitCount, 24);
    EXPECT_GT(decoded.header.height, 0);
    ASSERT_EQ(decoded.image->sizeX, kWidth);
    ASSERT_EQ(decoded.image->sizeY, kHeight);
    size_t mismatches = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int xx = 0; xx < kWidth; ++xx) {
            const uint8_t* p = &decoded.image->pixels[(size_t(kHeight - 1 - y) * kWidth + size_t(xx)) * 3];
            mismatches += !(Rgb{p[0], p[1], p[2]} == desktop.at(xx, y));
        }
    EXPECT_EQ(mismatches, 0u);

    // The renderer's frames: the whole picture once its window is up, then the shreds.
    std::optional<Screenshot> whole;
    std::optional<double> firstFrame;
    while (!whole && secondsSince(start) < 20) {
        if (!x.findWindows("Papyrant_VC").empty()) {
            Screenshot shot = x.screenshot();
            if (showsWholePicture(shot)) {
                firstFrame = secondsSince(start);
                whole = shot;
            }
        }
        std::this_thread::sleep_for(5ms);
    }
    ASSERT_TRUE(whole) << "the whole picture never showed";
    save(*whole, "whole");
    auto shredded = x.waitForScreen(showsShreds, 5s);
    ASSERT_TRUE(shredded) << "the picture never broke up";
    save(*shredded, "shredded");

    std::optional<pid_t> saverPid = wineProcessOf("Papyrant.scr");
    std::optional<pid_t> rendererPid = wineProcessOf("Papyrant.dll");
    if (saverPid) {
        const double before = cpuSeconds(*saverPid);
        const auto waitStart = Clock::now();
        std::this_thread::sleep_for(4s);
        std::printf("[ measure  ] saver CPU while waiting: %.3f %% of a core\n",
                    (cpuSeconds(*saverPid) - before) / secondsSince(waitStart) * 100);
        std::printf("[ measure  ] peak memory: saver %ld kB, renderer %ld kB\n", peakMemoryKb(*saverPid),
                    rendererPid ? peakMemoryKb(*rendererPid) : -1L);
    }
    std::printf("[ measure  ] /s to the renderer's first whole frame: %.0f ms\n", *firstFrame * 1000);
    EXPECT_TRUE(saver->running());

    // Esc ends the renderer; the saver follows and leaves nothing behind.
    ASSERT_EQ(session->client({"key", "Papyrant_VC", std::to_string(kVkEscape)}).exitCode, 0);
    ASSERT_EQ(session->client({"wait-gone", "Papyrant_VC", "10000"}, 15s).exitCode, 0);
    const auto rendererGone = Clock::now();
    std::optional<int> code = saver->wait(5000ms);
    ASSERT_TRUE(code) << "the saver still runs";
    std::printf("[ measure  ] renderer window gone to saver exit: %.0f ms\n", secondsSince(rendererGone) * 1000);
    EXPECT_LT(secondsSince(rendererGone), 1.0);
    EXPECT_EQ(*code, 0);
    EXPECT_FALSE(fs::exists(workDir));
    EXPECT_FALSE(windowExists("Papyrant_Main"));
}

TEST_F(SaverWine, ASecondStartDuringARunEndsAtOnceAndLeavesTheRunAlone)
{
    auto saver = startSaver({"/s"});
    ASSERT_TRUE(saver);
    ASSERT_TRUE(waitForWindow("Papyrant_VC"));
    const std::vector<uint8_t> snapshot = readFile(workDir + "/Papyrant.bmp");
    for (const char* line : {"/s", "/c", "/a"}) {
        SCOPED_TRACE(line);
        auto second = startSaver({line});
        ASSERT_TRUE(second);
        std::optional<int> code = second->wait(10000ms);
        ASSERT_TRUE(code) << "the second start still runs";
        EXPECT_EQ(*code, 0);
    }
    EXPECT_TRUE(saver->running());
    EXPECT_TRUE(windowExists("Papyrant_VC"));
    EXPECT_EQ(readFile(workDir + "/Papyrant.bmp"), snapshot);

    ASSERT_EQ(session->client({"key", "Papyrant_VC", std::to_string(kVkEscape)}).exitCode, 0);
    EXPECT_TRUE(saver->wait(10000ms));
    EXPECT_FALSE(fs::exists(workDir));
}

TEST_F(SaverWine, ARendererWindowOfAnotherProgramKeepsTheSaverWaiting)
{
    ClientWindow other = clientWindow(40, 30, "Papyrant_VC");
    ASSERT_NE(other.handle, 0u);
    auto saver = startSaver({"/s"}, programDir("papyrant_alone", false));
    ASSERT_TRUE(saver);
    ASSERT_TRUE(waitForWindow("Papyrant_Main"));
    std::this_thread::sleep_for(2500ms);
    EXPECT_TRUE(saver->running());
    EXPECT_TRUE(fs::exists(workDir));

    ASSERT_EQ(session->client({"close", "Papyrant_VC"}).exitCode, 0);
    ASSERT_EQ(session->client({"wait-gone", "Papyrant_VC", "10000"}, 15s).exitCode, 0);
    const auto gone = Clock::now();
    std::optional<int> code = saver->wait(5000ms);
    ASSERT_TRUE(code);
    EXPECT_LT(secondsSince(gone), 1.0);
    EXPECT_FALSE(fs::exists(workDir));
}

TEST_F(SaverWine, TheSessionsEndEndsTheRunWithItsCleanUp)
{
    auto saver = startSaver({"/s"});
    ASSERT_TRUE(saver);
    ASSERT_TRUE(waitForWindow("Papyrant_VC")) << "no renderer window";
    ASSERT_TRUE(fs::exists(workDir));
    // The renderer reads the snapshot only after its window is up; while it has the file open the
    // saver cannot delete it, so the session ends once the picture is on show.
    std::this_thread::sleep_for(1s);
    const auto sent = Clock::now();
    // Every top-level window, the saver's hidden one too, gets WM_QUERYENDSESSION and WM_ENDSESSION.
    runCommand({"wine", "wineboot", "--end-session"}, session->env(), 20s);
    // The renderer gets the same messages and is gone after them too, so that the saver leaves it
    // alone is seen on Linux only.
    std::optional<int> code = saver->wait(5000ms);
    ASSERT_TRUE(code) << "the saver outlived the session";
    std::printf("[ measure  ] wineboot --end-session to the saver's exit: %.0f ms\n", secondsSince(sent) * 1000);
    EXPECT_EQ(*code, 0);
    EXPECT_FALSE(fs::exists(workDir));
}

TEST_F(SaverWine, AMissingRendererEndsTheRunAtOnceWithItsCleanUp)
{
    const auto start = Clock::now();
    auto saver = startSaver({"/s"}, programDir("papyrant_alone", false));
    ASSERT_TRUE(saver);
    std::optional<int> code = saver->wait(10000ms);
    ASSERT_TRUE(code) << "the saver still runs without a renderer";
    EXPECT_EQ(*code, 0);
    std::printf("[ measure  ] start to the end of a run without a renderer: %.0f ms\n", secondsSince(start) * 1000);
    EXPECT_FALSE(fs::exists(workDir));
}

TEST_F(SaverWine, SwitchesThatOnlyPrepareMakeTheWorkDirectoryAndEnd)
{
    for (const char* line : {"/a", "/x"}) {
        SCOPED_TRACE(line);
        fs::remove_all(workDir);
        auto saver = startSaver({line});
        ASSERT_TRUE(saver);
        std::optional<int> code = saver->wait(10000ms);
        ASSERT_TRUE(code);
        EXPECT_EQ(*code, 0);
        EXPECT_TRUE(fs::is_directory(workDir));
        EXPECT_FALSE(windowExists("Papyrant_VC"));
    }
}

// Wine draws a child window of another process into nothing (a child paints into its top-level
// window's surface, which lives in the other process), so the picture itself is checked on Linux and by
// the window system's own tests; here the embedding: the form is the pane's one child, of its size,
// shown, and it ends with the pane.
TEST_F(SaverWine, PreviewBecomesTheChildOfThePaneAndEndsWithIt)
{
    for (auto [width, height] : {std::pair{152, 112}, {304, 224}}) {
        const std::string size = std::to_string(width) + "x" + std::to_string(height);
        SCOPED_TRACE(size);
        ClientWindow pane = clientWindow(width, height, "Preview pane");
        ASSERT_NE(pane.handle, 0u);
        auto saver = startSaver({"/p", std::to_string(pane.handle)});
        ASSERT_TRUE(saver);
        std::string children;
        const auto deadline = Clock::now() + 15s;
        while (Clock::now() < deadline && children.find("visible") == std::string::npos) {
            children = session->client({"children", "Preview pane"}).output;
            std::this_thread::sleep_for(50ms);
        }
        std::istringstream lines(children);
        std::string line, last;
        int count = 0;
        while (std::getline(lines, line))
            if (!line.empty()) {
                ++count;
                last = line;
            }
        EXPECT_EQ(count, 1) << children;
        EXPECT_NE(last.find(" " + size + " visible Preview Window"), std::string::npos) << children;
        EXPECT_FALSE(windowExists("Preview Window")) << "the form is no top-level window";
        EXPECT_FALSE(fs::exists(workDir)) << "the preview makes no work directory";

        ASSERT_EQ(session->client({"close", "Preview pane"}).exitCode, 0);
        const auto gone = Clock::now();
        std::optional<int> code = saver->wait(10000ms);
        ASSERT_TRUE(code) << "the saver outlived its pane";
        EXPECT_EQ(*code, 0);
        std::printf("[ measure  ] pane closed to saver exit: %.0f ms\n", secondsSince(gone) * 1000);
        pane.process->wait(10000ms);
    }
}

TEST_F(SaverWine, PreviewWithoutAPaneEndsAtOnce)
{
    for (const char* handle : {"0", "123456"}) {
        SCOPED_TRACE(handle);
        auto saver = startSaver({"/p", handle});
        ASSERT_TRUE(saver);
        std::optional<int> code = saver->wait(10000ms);
        ASSERT_TRUE(code);
        EXPECT_EQ(*code, 0);
        EXPECT_FALSE(windowExists("Preview Window"));
    }
}

// Run beside a PulseAudio null sink (pulse_null_sink.sh) on a Japanese system (code page 932), so that
// the ini file holds its keys in Shift_JIS as there.
TEST_F(SaverWine, AWavChosenInTheSettingsPlaysDuringTheRunAndStopsWithIt)
{
    using namespace pap::testing;
    const char* recording = std::getenv("PAPYRANT_AUDIO_RECORDING");
    if (!recording) {
        const char* why = std::getenv("PAPYRANT_AUDIO_UNAVAILABLE");
        GTEST_SKIP() << "no recorded audio output: " << (why ? why : "not run beside pulse_null_sink.sh");
    }
    const std::string dir = "papyrant_music";
    ASSERT_TRUE(WriteWav(session->driveC() + "/" + dir + "-tone.wav", Tone(800, kRate / 2)));
    // [Section], BGM区分= 2, BGMﾘﾋﾟｰﾄ= 0 and BGMﾌｧｲﾙ=C:\papyrant_music-tone.wav in code page 932.
    const std::string ini = "[Section]\r\nBGM\x8B\xE6\x95\xAA= 2\r\nBGM\xD8\xCB\xDF\xB0\xC4= 0\r\nBGM\xCC\xA7\xB2\xD9=C:\\" +
                            dir + "-tone.wav\r\n";
    auto saver = startSaver({"/s"}, programDir(dir, true, ini));
    ASSERT_TRUE(saver);
    ASSERT_TRUE(waitForWindow("Papyrant_VC"));
    OutputTap tap(recording);
    const size_t from = tap.frames();
    std::this_thread::sleep_for(2000ms);
    std::vector<Stretch> stretches = Stretches(tap.readFrom(from), {800});
    SCOPED_TRACE(Describe(stretches, {800}));
    double heard = 0;
    for (const Stretch& s : stretches)
        if (s.tone == 0)
            heard += s.length;
    // The renderer keeps a core busy beside Wine's audio path, which then drops some blocks: the tone
    // must be there for most of the time, not for every block.
    EXPECT_GT(heard, 1.0) << "the tone should loop through the run";

    // The output dies with the process, so whether the run's end stops the music is seen only in a
    // process that lives on (tests/saver/saver_music_tests.cpp, over the same end of the run).
    ASSERT_EQ(session->client({"key", "Papyrant_VC", std::to_string(kVkEscape)}).exitCode, 0);
    std::optional<int> code = saver->wait(10000ms);
    ASSERT_TRUE(code);
    EXPECT_EQ(*code, 0);
}

// A C:\pap_tmp somebody else prepared: a link to a directory of the user's, or a directory of another
// user; each holds a picture under the snapshot's name and a file beside it. The whole run neither
// writes through it nor deletes anything in it, and the renderer shows no picture of it. Wine shows a
// Unix symbolic link to a directory as a reparse point (Wine 8 makes no junction or symbolic link of
// its own: FSCTL_SET_REPARSE_POINT fails with ERROR_NOT_SUPPORTED, CreateSymbolicLinkW makes
// nothing), and a directory of another Unix user as owned by ANONYMOUS LOGON.
TEST_F(SaverWine, AWorkDirectorySomebodyElsePreparedIsLeftAlone)
{
    std::vector<uint8_t> red = gfx::EncodeBmp24(gfx::Surface(64, 48, gfx::Rgb(200, 0, 0)));
    for (const std::string kind : {"link", "other user"}) {
        SCOPED_TRACE(kind);
        fs::remove_all(workDir);
        const std::string target = logs.file("target-" + kind.substr(0, 1));
        const std::string held = kind == "link" ? target : workDir;
        fs::create_directories(held);
        std::ofstream(held + "/Papyrant.bmp", std::ios::binary).write(reinterpret_cast<const char*>(red.data()),
                                                                      std::streamsize(red.size()));
        std::ofstream(held + "/keep.txt") << "keep";
        if (kind == "link") {
            fs::create_directory_symlink(target, workDir);
        } else {
            for (const char* name : {"", "/Papyrant.bmp", "/keep.txt"})
                ASSERT_EQ(::chown((held + name).c_str(), 65534, 65534), 0) << "changing the owner needs root";
        }

        auto saver = startSaver({"/s"});
        ASSERT_TRUE(saver);
        ASSERT_TRUE(waitForWindow("Papyrant_VC")) << "no renderer window";
        EXPECT_TRUE(session->x().waitForScreen(showsWhiteMesh, 10s)) << "the renderer should show its white mesh";
        ASSERT_EQ(session->client({"key", "Papyrant_VC", std::to_string(kVkEscape)}).exitCode, 0);
        std::optional<int> code = saver->wait(10000ms);
        ASSERT_TRUE(code) << "the saver still runs";
        EXPECT_EQ(*code, 0);

        EXPECT_EQ(fs::is_symlink(workDir), kind == "link");
        ASSERT_TRUE(fs::is_directory(held)) << "removed";
        EXPECT_EQ(test::sortedNamesIn(held), (std::vector<std::string>{"Papyrant.bmp", "keep.txt"}));
        EXPECT_TRUE(readFile(held + "/Papyrant.bmp") == red) << "written through";
        fs::remove_all(workDir);
    }
}

// Run on a Japanese system (code page 932): a Japanese character of the command line counts as one
// character, so the mode letter is still the second character and the handle starts at the fourth.
TEST_F(SaverWine, AJapaneseCharacterOfTheCommandLineCountsAsOneCharacter)
{
    // "/p\u3042<handle>": the preview inside the pane.
    ClientWindow pane = clientWindow(152, 112, "Preview pane");
    ASSERT_NE(pane.handle, 0u);
    auto preview = startSaver({"/p\u3042" + std::to_string(pane.handle)});
    ASSERT_TRUE(preview);
    std::string children;
    const auto deadline = Clock::now() + 15s;
    while (Clock::now() < deadline && children.find("visible Preview Window") == std::string::npos) {
        children = session->client({"children", "Preview pane"}).output;
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_NE(children.find(" 152x112 visible Preview Window"), std::string::npos) << children;
    ASSERT_EQ(session->client({"close", "Preview pane"}).exitCode, 0);
    EXPECT_TRUE(preview->wait(10000ms));
    pane.process->wait(10000ms);

    // "\u3042s": mode letter S, a saver run.
    auto saver = startSaver({"\u3042s"});
    ASSERT_TRUE(saver);
    ASSERT_TRUE(waitForWindow("Papyrant_VC")) << "no saver run";
    ASSERT_EQ(session->client({"key", "Papyrant_VC", std::to_string(kVkEscape)}).exitCode, 0);
    std::optional<int> code = saver->wait(10000ms);
    ASSERT_TRUE(code);
    EXPECT_EQ(*code, 0);
    EXPECT_FALSE(fs::exists(workDir));
}

TEST_F(SaverWine, DeclaresPerMonitorDpiAwareness)
{
    const CommandResult manifest = session->client({"manifest", session->program("Papyrant.scr")});
    ASSERT_EQ(manifest.exitCode, 0) << "no manifest resource (type 24, id 1)";
    EXPECT_NE(manifest.output.find(">true/pm</dpiAware>"), std::string::npos) << manifest.output;
    EXPECT_NE(manifest.output.find(">PerMonitorV2,PerMonitor</dpiAwareness>"), std::string::npos) << manifest.output;
}

}  // namespace
}  // namespace pap::e2e
