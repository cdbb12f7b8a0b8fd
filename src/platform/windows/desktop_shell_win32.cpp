// The desktop services on Windows: GetOpenFileNameA, ShellExecuteA and DrawAnimatedRects, with the texts
// in the ANSI code page at the boundary.

#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>

#include <cstddef>
#include <string>

#include "base/code_page.h"
#include "platform/desktop_shell.h"

namespace pap {

namespace {

// The file buffer of the dialog: 255 characters, all NUL when it opens.
constexpr DWORD kFileBufferSize = 255;

HWND Hwnd(NativeWindow window)
{
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(window));
}

RECT Rect(ScreenRect r)
{
    return RECT{r.left, r.top, r.right, r.bottom};
}

class DesktopShellWin32 final : public DesktopShell {
public:
    std::optional<std::string> chooseOpenFile(const OpenFileRequest& request) override
    {
        // "description\0pattern\0\0": one filter entry.
        std::string filter = ToAnsi(request.filterDescription);
        filter += '\0';
        filter += ToAnsi(request.filterPattern);
        filter += '\0';
        filter += '\0';
        const std::string directory = ToAnsi(request.initialDirectory);
        const std::string title = ToAnsi(request.title);
        std::string file(kFileBufferSize, '\0');

        OPENFILENAMEA record{};
        // The record as Windows 95 and NT 4 defined it, up to lpTemplateName (no pvReserved, dwReserved
        // or FlagsEx): 76 bytes in a 32-bit program, 136 in this 64-bit one, whose pointers are 8 bytes.
        record.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
        record.hwndOwner = Hwnd(request.owner);
        record.hInstance = GetModuleHandleA(nullptr);
        record.lpstrFilter = filter.c_str();
        record.lpstrFile = file.data();
        record.nMaxFile = kFileBufferSize;
        record.lpstrInitialDir = directory.c_str();
        record.lpstrTitle = title.c_str();
        record.Flags = 0;
        if (GetOpenFileNameA(&record) == 0)
            return std::nullopt;
        file.resize(file.find('\0') == std::string::npos ? file.size() : file.find('\0'));
        return FromAnsi(file);
    }

    bool openAddress(NativeWindow owner, const std::string& address) override
    {
        const HINSTANCE result =
            ShellExecuteA(Hwnd(owner), "open", ToAnsi(address).c_str(), "", "", SW_SHOWNORMAL);
        return reinterpret_cast<INT_PTR>(result) > 32;
    }

    void zoomRect(NativeWindow window, ScreenRect from, ScreenRect to) override
    {
        const RECT fromRect = Rect(from);
        const RECT toRect = Rect(to);
        DrawAnimatedRects(Hwnd(window), IDANI_CAPTION, &fromRect, &toRect);
    }
};

}  // namespace

std::unique_ptr<DesktopShell> MakeDesktopShell()
{
    return std::make_unique<DesktopShellWin32>();
}

}  // namespace pap
