#include "e2e/harness.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/scrnsaver.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

namespace pap::e2e {

namespace {

using Clock = std::chrono::steady_clock;

void sleepFor(Milliseconds duration) { std::this_thread::sleep_for(duration); }

int exitCodeOf(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

// Windows come and go while the tree is walked: errors about them are expected and ignored.
int ignoreXError(Display*, XErrorEvent*) { return 0; }

}  // namespace

// --- Temporary directories -------------------------------------------------------------------------

TempDir::TempDir(const std::string& prefix)
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/" + prefix + "-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()))
        m_path = buffer.data();
}

TempDir::~TempDir()
{
    if (m_path.empty())
        return;
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

// --- Processes -------------------------------------------------------------------------------------

std::unique_ptr<Process> Process::start(const ProcessSpec& launch)
{
    if (launch.argv.empty())
        return nullptr;
    // Everything the child needs is prepared before the fork.
    std::vector<std::vector<char>> argStorage;
    for (const std::string& arg : launch.argv)
        argStorage.emplace_back(arg.c_str(), arg.c_str() + arg.size() + 1);
    std::vector<char*> argv;
    for (auto& arg : argStorage)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    const pid_t pid = fork();
    if (pid < 0)
        return nullptr;
    if (pid == 0) {
        setpgid(0, 0);
        for (const std::string& name : launch.unsetEnv)
            unsetenv(name.c_str());
        for (const auto& [name, value] : launch.env)
            setenv(name.c_str(), value.c_str(), 1);
        if (!launch.workingDir.empty() && chdir(launch.workingDir.c_str()) != 0)
            _exit(127);
        const int in = open("/dev/null", O_RDONLY);
        const int out = launch.outputPath.empty() ? open("/dev/null", O_WRONLY)
                                                : open(launch.outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in >= 0)
            dup2(in, 0);
        if (out >= 0) {
            dup2(out, 1);
            dup2(out, 2);
        }
        if (launch.keepFd >= 0)
            fcntl(launch.keepFd, F_SETFD, 0);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    // Also from the parent, so that the group exists before anyone signals it.
    setpgid(pid, pid);
    return std::unique_ptr<Process>(new Process(pid));
}

Process::~Process() { terminate(); }

bool Process::running() { return !wait(Milliseconds(0)).has_value(); }

std::optional<int> Process::wait(Milliseconds timeout)
{
    if (m_exitCode)
        return m_exitCode;
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(m_pid, &status, WNOHANG);
        if (done == m_pid) {
            m_exitCode = exitCodeOf(status);
            // Anything the child left behind in its group goes with it.
            kill(-m_pid, SIGKILL);
            return m_exitCode;
        }
        if (done < 0 && errno != EINTR) {
            m_exitCode = -1;
            return m_exitCode;
        }
        if (Clock::now() >= deadline)
            return std::nullopt;
        sleepFor(Milliseconds(5));
    }
}

std::optional<int> Process::terminate(Milliseconds grace)
{
    if (m_exitCode)
        return m_exitCode;
    kill(-m_pid, SIGTERM);
    if (auto code = wait(grace))
        return code;
    kill(-m_pid, SIGKILL);
    return wait(Milliseconds(5000));
}

CommandResult runCommand(const std::vector<std::string>& argv, const Environment& env, Milliseconds timeout)
{
    TempDir dir("papyrant-cmd");
    ProcessSpec launch;
    launch.argv = argv;
    launch.env = env;
    launch.outputPath = dir.file("output");
    CommandResult result;
    std::unique_ptr<Process> process = Process::start(launch);
    if (!process)
        return result;
    if (auto code = process->wait(timeout))
        result.exitCode = *code;
    else
        process->terminate();
    std::ifstream in(launch.outputPath);
    result.output.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return result;
}

// --- Pictures --------------------------------------------------------------------------------------

bool near(Rgb a, Rgb b, int tolerance)
{
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

double Screenshot::fraction(Rgb colour, int tolerance) const
{
    if (width <= 0 || height <= 0)
        return 0;
    size_t count = 0;
    for (size_t i = 0; i + 2 < rgb.size(); i += 3)
        count += near(Rgb{rgb[i], rgb[i + 1], rgb[i + 2]}, colour, tolerance) ? 1 : 0;
    return static_cast<double>(count) / (static_cast<double>(width) * height);
}

bool savePpm(const Screenshot& shot, const std::string& path)
{
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << shot.width << " " << shot.height << "\n255\n";
    out.write(reinterpret_cast<const char*>(shot.rgb.data()), static_cast<std::streamsize>(shot.rgb.size()));
    return static_cast<bool>(out);
}

bool savePng(const Screenshot& shot, const std::string& path)
{
    const std::string ppm = path + ".ppm";
    if (!savePpm(shot, ppm))
        return false;
    const CommandResult converted = runCommand({"convert", ppm, path});
    if (converted.exitCode != 0)
        return true;  // the PPM stays
    std::remove(ppm.c_str());
    return true;
}

// --- X server --------------------------------------------------------------------------------------

std::unique_ptr<XServer> XServer::start(int width, int height, int depth, Milliseconds timeout,
                                        const std::vector<std::string>& serverArguments)
{
    // -displayfd lets Xvfb take the first free display number itself and report it once it accepts
    // connections, which is safe when several test runs start servers at the same time.
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return nullptr;
    ProcessSpec launch;
    launch.argv = {"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                 std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(depth),
                 "-nolisten", "tcp", "-noreset"};
    launch.argv.insert(launch.argv.end(), serverArguments.begin(), serverArguments.end());
    launch.keepFd = fds[1];
    std::unique_ptr<XServer> server(new XServer);
    server->m_server = Process::start(launch);
    close(fds[1]);
    if (!server->m_server) {
        close(fds[0]);
        return nullptr;
    }

    std::string number;
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline && (number.empty() || number.back() != '\n')) {
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, 50) > 0) {
            char c = 0;
            if (read(fds[0], &c, 1) != 1)
                break;
            number += c;
        }
    }
    close(fds[0]);
    if (number.empty() || number.back() != '\n')
        return nullptr;
    number.pop_back();
    server->m_display = ":" + number;

    XSetErrorHandler(ignoreXError);
    server->m_connection = XOpenDisplay(server->m_display.c_str());
    if (!server->m_connection)
        return nullptr;
    return server;
}

XServer::~XServer()
{
    if (m_connection)
        XCloseDisplay(m_connection);
}

Environment XServer::env(Environment extra) const
{
    extra["DISPLAY"] = m_display;
    return extra;
}

int XServer::width() const { return DisplayWidth(m_connection, DefaultScreen(m_connection)); }
int XServer::height() const { return DisplayHeight(m_connection, DefaultScreen(m_connection)); }

namespace {

std::optional<std::string> readProperty(Display* display, Window window, Atom property)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, property, 0, 1 << 20, False, AnyPropertyType, &type, &format, &count,
                           &after, &data) != Success ||
        type == None) {
        if (data)
            XFree(data);
        return std::nullopt;
    }
    std::string value;
    if (format == 8) {
        value.assign(reinterpret_cast<const char*>(data), count);
    } else if (format == 32) {
        const long* items = reinterpret_cast<const long*>(data);
        for (unsigned long i = 0; i < count; ++i)
            value += (i ? "," : "") + std::to_string(items[i]);
    } else if (format == 16) {
        const short* items = reinterpret_cast<const short*>(data);
        for (unsigned long i = 0; i < count; ++i)
            value += (i ? "," : "") + std::to_string(items[i]);
    }
    if (data)
        XFree(data);
    return value;
}

void collectWindows(Display* display, Window window, const std::string& title, Atom netWmName,
                    std::vector<WindowId>& found)
{
    char* name = nullptr;
    bool matches = false;
    if (XFetchName(display, window, &name) && name) {
        matches = title == name;
        XFree(name);
    }
    if (!matches) {
        auto utf8 = readProperty(display, window, netWmName);
        matches = utf8 && *utf8 == title;
    }
    if (matches)
        found.push_back(window);

    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count))
        return;
    for (unsigned i = 0; i < count; ++i)
        collectWindows(display, children[i], title, netWmName, found);
    if (children)
        XFree(children);
}

}  // namespace

std::vector<WindowId> XServer::findWindows(const std::string& title) const
{
    std::vector<WindowId> found;
    collectWindows(m_connection, DefaultRootWindow(m_connection), title,
                   XInternAtom(m_connection, "_NET_WM_NAME", False), found);
    return found;
}

std::optional<WindowId> XServer::waitForWindow(const std::string& title, Milliseconds timeout) const
{
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const std::vector<WindowId> found = findWindows(title);
        if (!found.empty())
            return found.front();
        if (Clock::now() >= deadline)
            return std::nullopt;
        sleepFor(Milliseconds(10));
    }
}

std::optional<WindowId> XServer::waitForShownWindow(const std::string& title, Milliseconds timeout) const
{
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        for (WindowId window : findWindows(title))
            if (isViewable(window))
                return window;
        if (Clock::now() >= deadline)
            return std::nullopt;
        sleepFor(Milliseconds(10));
    }
}

bool XServer::waitForNoWindow(const std::string& title, Milliseconds timeout) const
{
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (findWindows(title).empty())
            return true;
        if (Clock::now() >= deadline)
            return false;
        sleepFor(Milliseconds(10));
    }
}

bool XServer::windowExists(WindowId window) const
{
    XWindowAttributes attributes;
    return XGetWindowAttributes(m_connection, window, &attributes) != 0;
}

bool XServer::isViewable(WindowId window) const
{
    XWindowAttributes attributes;
    return XGetWindowAttributes(m_connection, window, &attributes) != 0 && attributes.map_state == IsViewable;
}

std::optional<std::string> XServer::property(WindowId window, const std::string& name) const
{
    return readProperty(m_connection, window, XInternAtom(m_connection, name.c_str(), False));
}

std::optional<std::string> XServer::waitForProperty(WindowId window, const std::string& name,
                                                    Milliseconds timeout) const
{
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (auto value = property(window, name))
            return value;
        if (Clock::now() >= deadline || !windowExists(window))
            return std::nullopt;
        sleepFor(Milliseconds(10));
    }
}

Screenshot XServer::screenshot() const { return screenshot(0, 0, width(), height()); }

Screenshot XServer::screenshot(int left, int top, int w, int h) const
{
    Screenshot shot;
    if (left < 0 || top < 0 || w <= 0 || h <= 0 || left + w > width() || top + h > height())
        return shot;
    XImage* image = XGetImage(m_connection, DefaultRootWindow(m_connection), left, top, static_cast<unsigned>(w),
                              static_cast<unsigned>(h), AllPlanes, ZPixmap);
    if (!image)
        return shot;
    shot.width = w;
    shot.height = h;
    shot.rgb.resize(static_cast<size_t>(w) * static_cast<size_t>(h) * 3);
    // Colour masks of a true-colour visual: each channel scaled to 8 bits by its mask's width.
    const auto channel = [](unsigned long pixel, unsigned long mask) -> uint8_t {
        if (mask == 0)
            return 0;
        int shift = 0;
        while (!((mask >> shift) & 1))
            ++shift;
        const unsigned long maximum = mask >> shift;
        return static_cast<uint8_t>(((pixel & mask) >> shift) * 255 / maximum);
    };
    const bool fast = image->bits_per_pixel == 32 && image->red_mask == 0xFF0000 && image->green_mask == 0xFF00 &&
                      image->blue_mask == 0xFF && image->byte_order == LSBFirst;
    uint8_t* out = shot.rgb.data();
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const uint8_t*>(image->data + static_cast<ptrdiff_t>(y) * image->bytes_per_line);
        for (int x = 0; x < w; ++x, out += 3) {
            if (fast) {
                out[0] = row[x * 4 + 2];
                out[1] = row[x * 4 + 1];
                out[2] = row[x * 4];
            } else {
                const unsigned long pixel = XGetPixel(image, x, y);
                out[0] = channel(pixel, image->red_mask);
                out[1] = channel(pixel, image->green_mask);
                out[2] = channel(pixel, image->blue_mask);
            }
        }
    }
    XDestroyImage(image);
    return shot;
}

std::vector<Screenshot> XServer::screenshots(Milliseconds duration, Milliseconds spacing) const
{
    std::vector<Screenshot> shots;
    const auto end = Clock::now() + duration;
    while (Clock::now() < end) {
        shots.push_back(screenshot());
        sleepFor(spacing);
    }
    return shots;
}

std::optional<Screenshot> XServer::waitForScreen(const std::function<bool(const Screenshot&)>& test,
                                                 Milliseconds timeout) const
{
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        Screenshot shot = screenshot();
        if (test(shot))
            return shot;
        if (Clock::now() >= deadline)
            return std::nullopt;
        sleepFor(Milliseconds(20));
    }
}

bool XServer::sendCloseRequest(WindowId window) const
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(m_connection, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(m_connection, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const Status sent = XSendEvent(m_connection, window, False, NoEventMask, &event);
    XSync(m_connection, False);
    return sent != 0;
}

bool XServer::sendKey(WindowId window, const std::string& key) const
{
    return runCommand({"xdotool", "key", "--window", std::to_string(window), key}, env()).exitCode == 0;
}

bool XServer::pressKey(WindowId window, const std::string& key, Milliseconds hold) const
{
    const bool pressed =
        runCommand({"xdotool", "keydown", "--window", std::to_string(window), key}, env()).exitCode == 0;
    sleepFor(hold);
    if (windowExists(window))
        runCommand({"xdotool", "keyup", "--window", std::to_string(window), key}, env());
    else
        runCommand({"xdotool", "keyup", key}, env());
    return pressed;
}

void XServer::setFocus(WindowId window) const
{
    XSetInputFocus(m_connection, window ? window : None, RevertToNone, CurrentTime);
    XSync(m_connection, False);
}

bool XServer::focusAndType(WindowId window, const std::string& key) const
{
    setFocus(window);
    return runCommand({"xdotool", "key", key}, env()).exitCode == 0;
}

void XServer::movePointer(int x, int y) const
{
    XTestFakeMotionEvent(m_connection, -1, x, y, CurrentTime);
    XSync(m_connection, False);
}

void XServer::pointerButton(int button, bool down) const
{
    XTestFakeButtonEvent(m_connection, static_cast<unsigned>(button), down ? True : False, CurrentTime);
    XSync(m_connection, False);
}

ScreenSaverSettings XServer::screenSaver() const
{
    ScreenSaverSettings s;
    XGetScreenSaver(m_connection, &s.timeout, &s.interval, &s.preferBlanking, &s.allowExposures);
    return s;
}

void XServer::setScreenSaver(const ScreenSaverSettings& s) const
{
    XSetScreenSaver(m_connection, s.timeout, s.interval, s.preferBlanking, s.allowExposures);
    XSync(m_connection, False);
}

std::optional<ScreenSaverState> XServer::screenSaverState() const
{
    int eventBase = 0;
    int errorBase = 0;
    if (!XScreenSaverQueryExtension(m_connection, &eventBase, &errorBase))
        return std::nullopt;
    XScreenSaverInfo info{};
    if (!XScreenSaverQueryInfo(m_connection, DefaultRootWindow(m_connection), &info))
        return std::nullopt;
    return ScreenSaverState{info.state == ScreenSaverOn, info.idle};
}

}  // namespace pap::e2e
