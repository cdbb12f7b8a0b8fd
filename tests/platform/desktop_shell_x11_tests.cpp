// The Linux desktop services for real: GTK's file chooser on a private Xvfb, typed into through XTEST as
// a person would, and xdg-open reaching a stand-in browser that records the address it was given.

// GoogleTest before Xlib, whose None and Bool macros would clash with its names.
#include <gtest/gtest.h>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <fnmatch.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "e2e/harness.h"
#include "platform/desktop_shell.h"
#include "platform/linux/desktop_shell_linux.h"
#include "support/temp_directory.h"

namespace pap {
namespace {

using namespace std::chrono_literals;
using test::TempDirectory;

const char* const kTitle = "ﾌｧｲﾙを開く";

// True once the condition holds, polled for up to 10 seconds.
bool Eventually(const std::function<bool()>& done)
{
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// Keys through XTEST on the harness's connection.
class Keyboard {
public:
    explicit Keyboard(Display* x) : m_x(x) {}

    void tap(KeySym sym, unsigned modifiers = 0)
    {
        if (modifiers & ControlMask)
            key(XK_Control_L, true);
        if (modifiers & ShiftMask)
            key(XK_Shift_L, true);
        key(sym, true);
        key(sym, false);
        if (modifiers & ShiftMask)
            key(XK_Shift_L, false);
        if (modifiers & ControlMask)
            key(XK_Control_L, false);
    }
    // Printable ASCII, with Shift for the characters on a key's second level.
    void type(const std::string& text)
    {
        for (char c : text) {
            const KeySym sym = static_cast<KeySym>(static_cast<unsigned char>(c));
            const KeyCode code = XKeysymToKeycode(m_x, sym);
            tap(sym, XkbKeycodeToKeysym(m_x, code, 0, 0) == sym ? 0 : ShiftMask);
        }
    }

private:
    void key(KeySym sym, bool down)
    {
        XTestFakeKeyEvent(m_x, XKeysymToKeycode(m_x, sym), down ? True : False, CurrentTime);
        XSync(m_x, False);
    }
    Display* m_x;
};

class GtkFileChooserTest : public ::testing::Test {
protected:
    // One server for the whole suite: GTK stays connected to the display it started on.
    static void SetUpTestSuite()
    {
        s_server = e2e::XServer::start().release();
        if (s_server) {
            setenv("DISPLAY", s_server->display().c_str(), 1);
            // The chooser's settings stay in the process, and its list of recent files in the test's
            // own data directory.
            setenv("GSETTINGS_BACKEND", "memory", 1);
            s_data = new TempDirectory;
            setenv("XDG_DATA_HOME", s_data->path().c_str(), 1);
        }
    }
    static void TearDownTestSuite()
    {
        delete s_server;
        s_server = nullptr;
        delete s_data;
        s_data = nullptr;
    }

    void SetUp() override
    {
        if (!s_server)
            GTEST_SKIP() << "no Xvfb";
        for (const char* name : {"a.MP3", "b.wav", "c.txt"})
            test::writeBytes(dir.file(name), "x");
    }

    // Opens the chooser in the directory; a second thread waits for it, gives it the focus and plays
    // the keys.
    std::optional<std::string> choose(const std::function<void(Keyboard&)>& keys)
    {
        bool shown = false;
        bool stuck = false;
        std::thread user([&] {
            const auto window = s_server->waitForShownWindow(kTitle, 10000ms);
            if (!window)
                return;  // the chooser never showed; the test fails below (and hangs no further than GTK does)
            shown = true;
            s_server->setFocus(*window);
            Keyboard keyboard(s_server->connection());
            keys(keyboard);
            // A chooser that stays open (an error shown, the keys lost) is closed with Escape so that the
            // test fails instead of waiting for ever.
            for (int i = 0; i < 5 && !s_server->waitForNoWindow(kTitle, 5000ms); ++i) {
                stuck = true;
                keyboard.tap(XK_Escape);
            }
        });
        OpenFileRequest request;
        request.filterDescription = "BGMﾌｧｲﾙ (MP3 WAV)";
        request.filterPattern = "*.MP3;*.WAV";
        request.initialDirectory = dir.path();
        request.title = kTitle;
        std::optional<std::string> chosen = shell->chooseOpenFile(request);
        user.join();
        EXPECT_TRUE(shown);
        EXPECT_FALSE(stuck) << "the chooser did not close after the keys";
        EXPECT_TRUE(s_server->waitForNoWindow(kTitle, 10000ms));
        return chosen;
    }

    static e2e::XServer* s_server;
    static TempDirectory* s_data;
    TempDirectory dir;
    std::unique_ptr<DesktopShell> shell = MakeDesktopShell();
};

e2e::XServer* GtkFileChooserTest::s_server = nullptr;
TempDirectory* GtkFileChooserTest::s_data = nullptr;

TEST_F(GtkFileChooserTest, ATypedPathAndEnterChooseThatFileEvenWhenItDoesNotExist)
{
    struct Case {
        const char* name;
        std::string typed;
        bool locationKey;  // Ctrl+L before typing (else the '/' that starts the path opens the entry)
        std::string chosen;
    };
    const std::vector<Case> cases = {
        {"existing, Ctrl+L", dir.file("a.MP3"), true, dir.file("a.MP3")},
        {"existing, slash", dir.file("b.wav"), false, dir.file("b.wav")},
        {"missing, Ctrl+L", dir.file("new song.mp3"), true, dir.file("new song.mp3")},
        {"missing, slash", dir.file("Z.WAV"), false, dir.file("Z.WAV")},
        // A bare name is taken in the folder shown.
        {"missing, name only", "rel.mp3", true, dir.file("rel.mp3")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto chosen = choose([&](Keyboard& keyboard) {
            if (c.locationKey)
                keyboard.tap(XK_l, ControlMask);
            keyboard.type(c.typed);
            keyboard.tap(XK_Return);
        });
        EXPECT_EQ(chosen, std::optional<std::string>(c.chosen));
    }
}

TEST_F(GtkFileChooserTest, EscapeChoosesNothing)
{
    EXPECT_EQ(choose([](Keyboard& keyboard) { keyboard.tap(XK_Escape); }), std::nullopt);
    // Also after a path was typed.
    EXPECT_EQ(choose([&](Keyboard& keyboard) {
                  keyboard.type(dir.file("a.MP3"));
                  keyboard.tap(XK_Escape);
                  keyboard.tap(XK_Escape);
              }),
              std::nullopt);
}

// xdg-open in its generic mode, with the stand-in browser that appends its argument to a file.
class OpenAddressTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (e2e::runCommand({"sh", "-c", "command -v xdg-open"}).exitCode != 0)
            GTEST_SKIP() << "no xdg-open";
        std::filesystem::create_directory(empty);
        // No desktop environment and no handlers: xdg-open falls back to $BROWSER.
        saved = {{"BROWSER", PAPYRANT_RECORD_ADDRESS}, {"PAPYRANT_ADDRESS_LOG", log},
                 {"XDG_CURRENT_DESKTOP", "X-Generic"},         {"XDG_CONFIG_HOME", empty},
                 {"XDG_CONFIG_DIRS", empty},                   {"XDG_DATA_HOME", empty},
                 {"XDG_DATA_DIRS", empty}};
        for (auto& [name, value] : saved) {
            const char* old = std::getenv(name.c_str());
            setenv(name.c_str(), value.c_str(), 1);
            value = old ? old : "";
        }
    }
    void TearDown() override
    {
        for (const auto& [name, value] : saved)
            value.empty() ? unsetenv(name.c_str()) : setenv(name.c_str(), value.c_str(), 1);
    }

    // Children of this process, zombies included.
    static int childCount()
    {
        int count = 0;
        const std::string me = std::to_string(getpid());
        for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
            std::ifstream stat(entry.path() / "stat");
            std::string line;
            if (!std::getline(stat, line) || line.rfind(')') == std::string::npos)
                continue;
            // "pid (comm) state ppid ..."
            std::istringstream rest(line.substr(line.rfind(')') + 1));
            std::string state, ppid;
            rest >> state >> ppid;
            count += ppid == me;
        }
        return count;
    }

    TempDirectory dir;
    std::string log = dir.file("addresses");
    std::string empty = dir.file("empty");
    e2e::Environment saved;
    std::unique_ptr<DesktopShell> shell = MakeDesktopShell();
};

TEST_F(OpenAddressTest, TheBrowserGetsTheAddressAndNoZombieStays)
{
    const std::string address = "https://example.com/papyrant/?a=1&b=%E3%81%82";
    ASSERT_TRUE(shell->openAddress(0, address));
    EXPECT_TRUE(Eventually([&] { return test::readBytes(log) == address + "\n"; }))
        << test::readBytes(log);
    EXPECT_TRUE(Eventually([] { return childCount() == 0; })) << childCount() << " children left";
}

TEST_F(OpenAddressTest, FalseWhenXdgOpenCannotBeFound)
{
    const std::string path = std::getenv("PATH");
    setenv("PATH", empty.c_str(), 1);
    EXPECT_FALSE(shell->openAddress(0, "https://example.com/"));
    setenv("PATH", path.c_str(), 1);
}

TEST(AnyCaseGlobsTest, TheFilterMatchesItsPatternsInAnyLetterCase)
{
    struct Case {
        const char* name;
        bool matches;
    };
    const std::vector<Case> cases = {{"a.MP3", true},   {"b.mp3", true},  {"c.Wav", true},   {"d.wAV", true},
                                     {"e.mp4", false},  {"f.txt", false}, {"mp3", false},    {".MP3.txt", false},
                                     {"x.[mM]3", false}};
    const std::vector<std::string> globs = AnyCaseGlobs(" *.MP3 ;;*.WAV");
    ASSERT_EQ(globs.size(), 2u);
    for (const Case& c : cases) {
        bool matched = false;
        for (const std::string& glob : globs)
            matched = matched || fnmatch(glob.c_str(), c.name, 0) == 0;
        EXPECT_EQ(matched, c.matches) << c.name;
    }
    // A bracket expression of its own is kept as it stands.
    EXPECT_EQ(fnmatch(AnyCaseGlobs("[ab].Z")[0].c_str(), "A.z", 0), FNM_NOMATCH);
    EXPECT_EQ(fnmatch(AnyCaseGlobs("[ab].Z")[0].c_str(), "b.z", 0), 0);
}

}  // namespace
}  // namespace pap
