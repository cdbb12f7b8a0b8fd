// Fuzz entry point of hack mode's command line and XSCREENSAVER_WINDOW value. The input is the
// command line, then, after a NUL byte if there is one, the variable's value. Any input gives a
// result without fault; a window is named exactly when its id is not 0, and it reads back the same
// when written as "-window-id" in decimal or hexadecimal.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "base/hack_mode.h"

namespace {

void expectWindow(const std::string& line, uint32_t window)
{
    const pap::HackMode mode = pap::HackModeOf(line, std::nullopt);
    if (mode.kind != pap::HackMode::Kind::Window || mode.window != window)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t nul = input.find('\0');
    const std::string_view line = input.substr(0, nul);
    std::optional<std::string_view> variable;
    if (nul != std::string_view::npos)
        variable = input.substr(nul + 1);

    const std::optional<uint32_t> id = pap::ParseWindowId(line);
    if (id && *id == 0)
        std::abort();

    const pap::HackMode mode = pap::HackModeOf(line, variable);
    if ((mode.kind == pap::HackMode::Kind::Window) != (mode.window != 0))
        std::abort();
    if (mode.kind == pap::HackMode::Kind::Window) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%x", mode.window);
        expectWindow("-window-id " + std::to_string(mode.window), mode.window);
        expectWindow(std::string("--window-id ") + hex, mode.window);
    }
    return 0;
}
