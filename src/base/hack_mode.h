#pragma once

// Hack mode: the saver started by XScreenSaver to draw inside a window the daemon owns. The daemon
// starts it with "--root" (or "-root") and the window in XSCREENSAVER_WINDOW; "-window-id ID" names
// the window on the command line. Any other command line keeps the screensaver switches.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pap {

struct HackMode {
    enum class Kind {
        Off,      // not hack mode: the screensaver switches apply
        Window,   // draw into `window`
        Root,     // "--root" with no window given: draw on the screen's root window
        Refused,  // hack mode asked for with a window id that is not one: the program ends
    };
    Kind kind = Kind::Off;
    uint32_t window = 0;  // non-zero exactly when kind is Window

    bool operator==(const HackMode&) const = default;
};

// A window id as the daemon and users write it: decimal digits or "0x"/"0X" and hexadecimal digits,
// nothing around them. Empty for anything else, for 0 and for a value above 32 bits.
std::optional<uint32_t> ParseWindowId(std::string_view text);

// A window id as the daemon writes it: "0x" and lower-case hexadecimal digits.
std::string WindowIdText(uint32_t window);

// What the command line (the arguments joined by single blanks) and the value of XSCREENSAVER_WINDOW
// (empty or absent when it is not set) ask for. Hack mode is a command line made only of "--root" / "-root" and
// "-window-id ID" / "--window-id ID" (each at most once), or an empty command line with the variable
// set. "-window-id" wins over the variable; with "--root" alone the variable gives the window and
// without it the root window is meant. A bad id in either place refuses the run.
HackMode HackModeOf(std::string_view commandLine, std::optional<std::string_view> xscreensaverWindow);

}  // namespace pap
