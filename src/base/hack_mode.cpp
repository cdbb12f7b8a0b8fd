#include "base/hack_mode.h"

namespace pap {

namespace {

// The next blank-separated word of `text` from `at` on; empty at the end. `at` moves past it.
std::string_view nextWord(std::string_view text, size_t& at)
{
    while (at < text.size() && text[at] == ' ')
        ++at;
    const size_t start = at;
    while (at < text.size() && text[at] != ' ')
        ++at;
    return text.substr(start, at - start);
}

int digitValue(char c, unsigned base)
{
    int value = -1;
    if (c >= '0' && c <= '9')
        value = c - '0';
    else if (c >= 'a' && c <= 'f')
        value = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        value = c - 'A' + 10;
    return value >= 0 && static_cast<unsigned>(value) < base ? value : -1;
}

}  // namespace

std::optional<uint32_t> ParseWindowId(std::string_view text)
{
    unsigned base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty())
        return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        const int digit = digitValue(c, base);
        if (digit < 0)
            return std::nullopt;
        value = value * base + static_cast<unsigned>(digit);
        if (value > UINT32_MAX)  // checked at every digit, so the product never leaves 64 bits
            return std::nullopt;
    }
    if (value == 0)
        return std::nullopt;
    return static_cast<uint32_t>(value);
}

std::string WindowIdText(uint32_t window)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    do {
        text.insert(text.begin(), kDigits[window & 15]);
        window >>= 4;
    } while (window);
    return "0x" + text;
}

HackMode HackModeOf(std::string_view commandLine, std::optional<std::string_view> xscreensaverWindow)
{
    bool root = false;
    bool hasWindowId = false;
    std::string_view windowId;
    size_t at = 0;
    for (std::string_view word = nextWord(commandLine, at); !word.empty(); word = nextWord(commandLine, at)) {
        if ((word == "-root" || word == "--root") && !root) {
            root = true;
        } else if ((word == "-window-id" || word == "--window-id") && !hasWindowId) {
            hasWindowId = true;
            windowId = nextWord(commandLine, at);
        } else {
            return {};  // a word of no hack switch: the screensaver switches decide
        }
    }

    const auto target = [](std::string_view id) -> HackMode {
        const std::optional<uint32_t> window = ParseWindowId(id);
        if (!window)
            return {HackMode::Kind::Refused, 0};
        return {HackMode::Kind::Window, *window};
    };
    if (hasWindowId)
        return target(windowId);
    // Here the command line is "--root" or blank.
    if (xscreensaverWindow && !xscreensaverWindow->empty())
        return target(*xscreensaverWindow);
    if (root)
        return {HackMode::Kind::Root, 0};
    return {};
}

}  // namespace pap
