#pragma once

// What the settings dialog asks of the desktop besides its own windows: the open-file dialog, opening
// an address with the user's programs, and the zoom animation between a screen point and a window.
// Texts are UTF-8. MakeDesktopShell gives the platform's; the tests use a recording fake.

#include <memory>
#include <optional>
#include <string>

#include "platform/ui.h"

namespace pap {

// The open-file dialog's request (GetOpenFileNameA with flags 0).
struct OpenFileRequest {
    NativeWindow owner = 0;         // the dialog is modal to this window (0: none)
    std::string filterDescription;  // "BGMﾌｧｲﾙ (MP3 WAV)"
    std::string filterPattern;      // "*.MP3;*.WAV": patterns separated by ';', matched in any letter case
    std::string initialDirectory;   // where it opens (empty: the platform's choice)
    std::string title;              // "ﾌｧｲﾙを開く"
};

class DesktopShell {
public:
    virtual ~DesktopShell() = default;

    // Shows the open-file dialog and returns when it has closed: the chosen path (a typed name of a
    // file that does not exist is accepted as it stands), nothing when it was cancelled or failed.
    virtual std::optional<std::string> chooseOpenFile(const OpenFileRequest& request) = 0;
    // Opens an address (a web page, a file) with the user's program for it, without waiting
    // (ShellExecuteA(owner, "open", address, "", "", SW_SHOWNORMAL)). False when nothing could be started.
    virtual bool openAddress(NativeWindow owner, const std::string& address) = 0;
    // The caption zoom animation from one screen rectangle to another (DrawAnimatedRects with
    // IDANI_CAPTION); returns when it is over.
    virtual void zoomRect(NativeWindow window, ScreenRect from, ScreenRect to) = 0;
};

std::unique_ptr<DesktopShell> MakeDesktopShell();

}  // namespace pap
