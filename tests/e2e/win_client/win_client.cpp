// A small Win32 console program with which the end-to-end scenarios look at and poke the programs under
// test from inside Wine: window lookup by title, posted messages, message boxes, the display mode, and a
// plain window to host a preview. Results go to stdout, one line each; the exit code is 0 on success,
// 1 when the thing looked for is not there (or a wait timed out), 2 on a usage error.
//
//   win_client find TITLE                 HWND (decimal) of the top-level window TITLE
//   win_client wait TITLE MS              waits up to MS milliseconds for it, then as find
//   win_client wait-gone TITLE MS         waits up to MS milliseconds until no window is titled TITLE
//   win_client close TITLE                posts WM_CLOSE to it
//   win_client key TITLE VK               posts WM_KEYDOWN with the virtual-key code VK to it
//   win_client message-text TITLE MS      waits for the message box TITLE, prints its text
//   win_client message-ok TITLE           presses the OK button of the message box TITLE
//   win_client display-mode               the current display mode: WIDTHxHEIGHTxBITS
//   win_client test-mode W H BITS         what ChangeDisplaySettingsA with CDS_TEST answers for that
//                                         mode (DISP_CHANGE_*, 0 = would succeed); changes nothing
//   win_client manifest PROGRAM           the program's application manifest (resource type 24, id 1)
//   win_client metrics                    the screen size this client sees: SM_CXSCREEN x SM_CYSCREEN
//   win_client children TITLE             the child windows of the top-level window TITLE, a line each:
//                                         HWND, client WIDTHxHEIGHT, visible|hidden, the window text
//   win_client window WIDTH HEIGHT MS [TITLE]
//                                         shows a borderless window of that size, prints its
//                                         HWND and lives for MS milliseconds or until it is closed

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int kPollMs = 20;
// The dialog class of message boxes, and the control id of a message box's text.
constexpr const char* kDialogClass = "#32770";
constexpr int kMessageTextId = 0xFFFF;

int usage()
{
    std::fputs("usage: win_client find|children|wait|wait-gone|close|key|message-text|message-ok|display-mode|test-mode|manifest|metrics|window ...\n",
               stderr);
    return 2;
}

bool parseInt(const char* text, long& value)
{
    char* end = nullptr;
    value = std::strtol(text, &end, 0);
    return end != text && *end == '\0';
}

void printHandle(HWND window)
{
    std::printf("%llu\n", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
    std::fflush(stdout);
}

// Polls until the window titled `title` (of `className` when given) exists, or `timeoutMs` passes.
HWND waitForWindow(const char* className, const char* title, long timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        HWND window = FindWindowA(className, title);
        if (window)
            return window;
        if (static_cast<long>(GetTickCount() - start) >= timeoutMs)
            return nullptr;
        Sleep(kPollMs);
    }
}

std::string windowText(HWND window)
{
    char text[4096] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string className(HWND window)
{
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

struct TextSearch {
    HWND byId = nullptr;
    HWND firstStatic = nullptr;
};

BOOL CALLBACK collectStatic(HWND child, LPARAM param)
{
    auto* search = reinterpret_cast<TextSearch*>(param);
    if (_stricmp(className(child).c_str(), "Static") != 0)
        return TRUE;
    if (GetDlgCtrlID(child) == kMessageTextId && !search->byId)
        search->byId = child;
    // The icon is a Static too, without text.
    if (!search->firstStatic && !windowText(child).empty())
        search->firstStatic = child;
    return TRUE;
}

int messageText(const char* title, long timeoutMs)
{
    HWND box = waitForWindow(kDialogClass, title, timeoutMs);
    if (!box)
        return 1;
    TextSearch search;
    EnumChildWindows(box, collectStatic, reinterpret_cast<LPARAM>(&search));
    HWND text = search.byId ? search.byId : search.firstStatic;
    if (!text)
        return 1;
    std::string value = windowText(text);
    // Written raw: the scenarios compare the exact bytes, line feeds included.
    std::fwrite(value.data(), 1, value.size(), stdout);
    std::fflush(stdout);
    if (!search.byId)
        std::fputs("win_client: no Static control with id 0xFFFF; used the first Static with text\n", stderr);
    return 0;
}

int messageOk(const char* title)
{
    HWND box = FindWindowA(kDialogClass, title);
    if (!box)
        return 1;
    HWND button = GetDlgItem(box, IDOK);
    // WM_COMMAND as the button itself sends it on a click; posting does not wait on the box's thread.
    return PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(button)) ? 0 : 1;
}

int displayMode()
{
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    if (!EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode))
        return 1;
    std::printf("%lux%lux%lu\n", mode.dmPelsWidth, mode.dmPelsHeight, mode.dmBitsPerPel);
    return 0;
}

int testMode(long width, long height, long bits)
{
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    mode.dmPelsWidth = static_cast<DWORD>(width);
    mode.dmPelsHeight = static_cast<DWORD>(height);
    mode.dmBitsPerPel = static_cast<DWORD>(bits);
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    std::printf("%ld\n", ChangeDisplaySettingsA(&mode, CDS_TEST));
    return 0;
}

int manifest(const char* path)
{
    HMODULE module = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module)
        return 1;
    int result = 1;
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (bytes) {
        std::fwrite(bytes, 1, SizeofResource(module, resource), stdout);
        result = 0;
    }
    FreeLibrary(module);
    return result;
}

LRESULT CALLBACK plainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int plainWindow(long width, long height, long lifeMs, const char* title)
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = plainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = "PapyrantTestWindow";
    if (!RegisterClassA(&windowClass))
        return 1;
    // Borderless, like a preview pane: the window rectangle is the client area.
    constexpr DWORD kStyle = WS_POPUP | WS_CLIPCHILDREN;
    HWND window = CreateWindowExA(0, windowClass.lpszClassName, title, kStyle, 40, 40, static_cast<int>(width),
                                  static_cast<int>(height), nullptr, nullptr, instance, nullptr);
    if (!window)
        return 1;
    ShowWindow(window, SW_SHOW);
    printHandle(window);
    SetTimer(window, 1, static_cast<UINT>(lifeMs), nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER && msg.hwnd == window) {
            DestroyWindow(window);
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    // Bytes as they are: no line feed becomes a carriage return and line feed.
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc < 2)
        return usage();
    std::string command = argv[1];
    long number = 0;

    if (command == "display-mode" && argc == 2)
        return displayMode();
    if (command == "manifest" && argc == 3)
        return manifest(argv[2]);
    if (command == "metrics" && argc == 2) {
        std::printf("%dx%d\n", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
        return 0;
    }
    if (command == "test-mode" && argc == 5) {
        long width = 0, height = 0;
        if (!parseInt(argv[2], width) || !parseInt(argv[3], height) || !parseInt(argv[4], number))
            return usage();
        return testMode(width, height, number);
    }
    if (command == "children" && argc == 3) {
        HWND parent = FindWindowA(nullptr, argv[2]);
        if (!parent)
            return 1;
        for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            RECT client{};
            GetClientRect(child, &client);
            std::printf("%llu %ldx%ld %s %s\n", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(child)),
                        static_cast<long>(client.right), static_cast<long>(client.bottom),
                        IsWindowVisible(child) ? "visible" : "hidden", windowText(child).c_str());
        }
        return 0;
    }
    if (command == "find" && argc == 3) {
        HWND window = FindWindowA(nullptr, argv[2]);
        if (!window)
            return 1;
        printHandle(window);
        return 0;
    }
    if (command == "wait" && argc == 4 && parseInt(argv[3], number)) {
        HWND window = waitForWindow(nullptr, argv[2], number);
        if (!window)
            return 1;
        printHandle(window);
        return 0;
    }
    if (command == "wait-gone" && argc == 4 && parseInt(argv[3], number)) {
        DWORD start = GetTickCount();
        while (FindWindowA(nullptr, argv[2])) {
            if (static_cast<long>(GetTickCount() - start) >= number)
                return 1;
            Sleep(kPollMs);
        }
        return 0;
    }
    if (command == "close" && argc == 3) {
        HWND window = FindWindowA(nullptr, argv[2]);
        return window && PostMessageA(window, WM_CLOSE, 0, 0) ? 0 : 1;
    }
    if (command == "key" && argc == 4 && parseInt(argv[3], number)) {
        HWND window = FindWindowA(nullptr, argv[2]);
        // lParam: repeat count 1, scan code of the key.
        UINT scanCode = MapVirtualKeyA(static_cast<UINT>(number), MAPVK_VK_TO_VSC);
        LPARAM lParam = 1 | static_cast<LPARAM>(scanCode) << 16;
        return window && PostMessageA(window, WM_KEYDOWN, static_cast<WPARAM>(number), lParam) ? 0 : 1;
    }
    if (command == "message-text" && argc == 4 && parseInt(argv[3], number))
        return messageText(argv[2], number);
    if (command == "message-ok" && argc == 3)
        return messageOk(argv[2]);
    if (command == "window" && (argc == 5 || argc == 6)) {
        long width = 0, height = 0;
        if (!parseInt(argv[2], width) || !parseInt(argv[3], height) || !parseInt(argv[4], number))
            return usage();
        return plainWindow(width, height, number, argc == 6 ? argv[5] : "Papyrant test window");
    }
    return usage();
}
