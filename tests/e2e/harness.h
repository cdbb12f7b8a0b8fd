#pragma once

// A small harness for end-to-end tests of real programs on a private X server: temporary directories,
// child processes with their own environment and timeouts, a private Xvfb, window search by exact title
// (unmapped windows included, the same search the saver uses), window properties, screenshots, keys and
// close requests. Every process it starts is ended when its handle goes away.

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct _XDisplay;

namespace pap::e2e {

using Milliseconds = std::chrono::milliseconds;
using WindowId = unsigned long;
using Environment = std::map<std::string, std::string>;

// A fresh directory (mode 0700) under $TMPDIR or /tmp, removed with all it holds on destruction.
class TempDir {
public:
    explicit TempDir(const std::string& prefix = "papyrant-e2e");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    // path() + "/" + name.
    std::string file(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

struct ProcessSpec {
    std::vector<std::string> argv;      // argv[0] is looked up in PATH when it has no slash
    Environment env;                    // set in the child, over the inherited environment
    std::vector<std::string> unsetEnv;  // removed from the child's environment
    std::string workingDir;             // empty: the current directory
    std::string outputPath;             // standard output and error go here; empty: /dev/null
    int keepFd = -1;                    // a descriptor the child keeps open (close-on-exec cleared)
};

// A child process in a process group of its own. The destructor ends the whole group (SIGTERM, then
// SIGKILL after a grace period) and reaps the child.
class Process {
public:
    // Null when fork or exec failed (an exec failure shows as exit code 127 otherwise).
    static std::unique_ptr<Process> start(const ProcessSpec& launch);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    pid_t pid() const { return m_pid; }
    bool running();
    // The exit code once the process has ended within the timeout (128 + signal when a signal ended
    // it); none while it still runs.
    std::optional<int> wait(Milliseconds timeout);
    // Ends the process group and reaps the child; its exit code, as wait() gives it.
    std::optional<int> terminate(Milliseconds grace = Milliseconds(1000));

private:
    explicit Process(pid_t pid) : m_pid(pid) {}
    pid_t m_pid;
    std::optional<int> m_exitCode;
};

struct CommandResult {
    int exitCode = -1;  // -1 when the timeout ended it or it could not start
    std::string output; // standard output and error together
};

// Runs a command to its end, or ends it after the timeout.
CommandResult runCommand(const std::vector<std::string>& argv, const Environment& env = {},
                         Milliseconds timeout = Milliseconds(10000));

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

// Whether every channel of a is within tolerance of b.
bool near(Rgb a, Rgb b, int tolerance);

// A picture read back from the screen: rows from the top, 3 bytes per pixel.
struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;

    Rgb at(int x, int y) const
    {
        const size_t i = (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3;
        return Rgb{rgb[i], rgb[i + 1], rgb[i + 2]};
    }
    // The share (0 to 1) of pixels within tolerance of the colour.
    double fraction(Rgb colour, int tolerance) const;
};

bool savePpm(const Screenshot& shot, const std::string& path);
// PNG through ImageMagick's convert; falls back to PPM (path with ".ppm" appended) without it.
bool savePng(const Screenshot& shot, const std::string& path);

struct ScreenSaverSettings {
    int timeout = 0;
    int interval = 0;
    int preferBlanking = 0;
    int allowExposures = 0;
    bool operator==(const ScreenSaverSettings&) const = default;
};

// What the MIT-SCREEN-SAVER extension reports: whether the saver is on, and the server's idle time.
struct ScreenSaverState {
    bool on = false;
    unsigned long idleMs = 0;
};

// A private Xvfb on a display number it picks itself, with one client connection of the harness's own.
class XServer {
public:
    // Null when Xvfb cannot be started or does not come up within the timeout. serverArguments go to
    // Xvfb as they stand (e.g. "-extension", "MIT-SCREEN-SAVER" to start it without that extension).
    static std::unique_ptr<XServer> start(int width = 1024, int height = 768, int depth = 24,
                                          Milliseconds timeout = Milliseconds(10000),
                                          const std::vector<std::string>& serverArguments = {});
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    // ":N".
    const std::string& display() const { return m_display; }
    // DISPLAY for a child, with the given variables added.
    Environment env(Environment extra = {}) const;
    _XDisplay* connection() const { return m_connection; }
    int width() const;
    int height() const;

    // Every window, mapped or not, whose WM_NAME or _NET_WM_NAME is exactly the title.
    std::vector<WindowId> findWindows(const std::string& title) const;
    std::optional<WindowId> waitForWindow(const std::string& title, Milliseconds timeout) const;
    // The first window with the title that is on screen (mapped and viewable), once there is one.
    std::optional<WindowId> waitForShownWindow(const std::string& title, Milliseconds timeout) const;
    // True once no window has the title any more.
    bool waitForNoWindow(const std::string& title, Milliseconds timeout) const;
    bool windowExists(WindowId window) const;
    bool isViewable(WindowId window) const;
    // A property's bytes (8-bit properties) or its 32-bit items as decimal numbers separated by
    // commas; none when the window lacks it.
    std::optional<std::string> property(WindowId window, const std::string& name) const;
    // The property once the window has it (a program sets its properties one request at a time).
    std::optional<std::string> waitForProperty(WindowId window, const std::string& name, Milliseconds timeout) const;

    Screenshot screenshot() const;
    // Part of the screen; empty when the rectangle does not lie on it.
    Screenshot screenshot(int x, int y, int width, int height) const;
    // Screenshots taken back to back for the given time.
    std::vector<Screenshot> screenshots(Milliseconds duration, Milliseconds spacing) const;
    // Screenshots one after another until one passes the test: that one, or none after the timeout.
    std::optional<Screenshot> waitForScreen(const std::function<bool(const Screenshot&)>& test,
                                            Milliseconds timeout) const;

    // A WM_DELETE_WINDOW request, as a window manager sends for its close button.
    bool sendCloseRequest(WindowId window) const;
    // `xdotool key --window`: press and release at once (synthetic events when the window lacks focus).
    bool sendKey(WindowId window, const std::string& key) const;
    // Press, hold, release, as a person does; the release goes to the focus window if the press ended
    // the program.
    bool pressKey(WindowId window, const std::string& key, Milliseconds hold = Milliseconds(250)) const;
    // Sets the input focus (0: none, so that keys reach a window only as synthetic events).
    void setFocus(WindowId window) const;
    // Gives the window the input focus, then sends the key to it through XTEST.
    bool focusAndType(WindowId window, const std::string& key) const;

    // The pointer through XTEST, as a person moves it and presses its buttons (1 left, 2 middle, 3 right).
    void movePointer(int x, int y) const;
    void pointerButton(int button, bool down) const;

    ScreenSaverSettings screenSaver() const;
    void setScreenSaver(const ScreenSaverSettings& settings) const;
    // None when the server lacks the MIT-SCREEN-SAVER extension.
    std::optional<ScreenSaverState> screenSaverState() const;

    // Shows a picture (screen-sized or not, from the top left) as the desktop: the root window's
    // background.
    void showDesktop(const Screenshot& picture) const;
    // A plain window of the harness's own connection with a title and a background colour, mapped or
    // not; 0 on failure. It lives until destroyWindow or the server's end.
    WindowId createWindow(const std::string& title, int x, int y, int width, int height, bool mapped,
                          Rgb background = {}) const;
    void destroyWindow(WindowId window) const;
    // XKillClient: the server closes the connection of the client that owns the window.
    void killClientOf(WindowId window) const;

private:
    XServer() = default;
    std::unique_ptr<Process> m_server;
    std::string m_display;
    _XDisplay* m_connection = nullptr;
};

// Watches every client's XFixes HideCursor and ShowCursor requests through the RECORD extension, so
// that a test sees whether a program undid each of its cursor hides.
class CursorRequests {
public:
    // Null when the server lacks RECORD or XFIXES.
    static std::unique_ptr<CursorRequests> start(const XServer& server);
    ~CursorRequests();
    CursorRequests(const CursorRequests&) = delete;
    CursorRequests& operator=(const CursorRequests&) = delete;

    struct Counts {
        int hides = 0;
        int shows = 0;
    };
    // The requests seen so far from the client that owns the window (any resource of that client).
    Counts of(WindowId clientResource);

private:
    CursorRequests() = default;
    void drain();
    static void intercept(char* self, void* data);

    _XDisplay* m_control = nullptr;
    _XDisplay* m_data = nullptr;
    unsigned long m_context = 0;
    int m_xfixes = 0;
    unsigned long m_clientMask = 0;
    std::map<unsigned long, Counts> m_counts;  // by client id base
};

}  // namespace pap::e2e
