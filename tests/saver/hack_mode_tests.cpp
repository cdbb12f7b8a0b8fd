// Hack mode from the command line and XSCREENSAVER_WINDOW: which lines start it, which window they
// name, and that a bad window id refuses the run instead of naming some other window.

#include <gtest/gtest.h>

#include <optional>

#include "base/hack_mode.h"

namespace pap {
namespace {

TEST(HackModeTest, WindowIds)
{
    struct Case {
        const char* text;
        std::optional<uint32_t> id;
    } cases[] = {
        {"8388616", 8388616u},  {"0x800008", 0x800008u}, {"0X80000A", 0x80000Au}, {"0xffffffff", 0xFFFFFFFFu},
        {"4294967295", 4294967295u}, {"007", 7u},
        // Not a number, or not all of one.
        {"", {}}, {"0x", {}}, {"abc", {}}, {"12a", {}}, {"0x12g", {}}, {"-5", {}}, {"+5", {}}, {" 5", {}},
        {"5 ", {}}, {"0b101", {}}, {"&H10", {}},
        // Overflow, also far past 64 bits, and the null window.
        {"4294967296", {}}, {"0x100000000", {}}, {"99999999999999999999999", {}},
        {"0x10000000000000001", {}}, {"0", {}}, {"0x0", {}}, {"0000", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseWindowId(c.text), c.id);
    }
}

TEST(HackModeTest, CommandLinesAndTheDaemonsVariable)
{
    using K = HackMode::Kind;
    const std::optional<std::string_view> unset;
    struct Case {
        const char* line;
        std::optional<std::string_view> variable;
        HackMode mode;
    } cases[] = {
        // As the daemon starts a hack, and as a user may.
        {"--root", "0x800008", {K::Window, 0x800008}},
        {"-root", "0x800008", {K::Window, 0x800008}},
        {"--root", unset, {K::Root, 0}},
        {"--root", "", {K::Root, 0}},
        {"-window-id 1234", unset, {K::Window, 1234}},
        {"--window-id 0x4a", unset, {K::Window, 0x4a}},
        {"  -root   -window-id 0x10  ", unset, {K::Window, 0x10}},
        {"-window-id 0x10 --root", "0x20", {K::Window, 0x10}},
        {"", "0x600001", {K::Window, 0x600001}},
        {" ", "0x600001", {K::Window, 0x600001}},
        // A bad id refuses the run.
        {"-window-id", unset, {K::Refused, 0}},
        {"-window-id 0", unset, {K::Refused, 0}},
        {"-window-id 0x1ffffffff", unset, {K::Refused, 0}},
        {"-window-id nope", "0x800008", {K::Refused, 0}},
        {"--root", "window", {K::Refused, 0}},
        {"", "0", {K::Refused, 0}},
        // Everything else keeps the screensaver switches, the variable or not.
        {"", unset, {}},
        {"/s", "0x800008", {}},
        {"/p 1234", "0x800008", {}},
        {"/c", unset, {}},
        {"-root /s", "0x800008", {}},
        {"-root -root", unset, {}},
        {"-window-id 1 -window-id 2", unset, {}},
        {"-rooted", unset, {}},
        {"-window-id=5", unset, {}},
        {"---root", unset, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.line) + " | " + std::string(c.variable.value_or("(unset)")));
        const HackMode mode = HackModeOf(c.line, c.variable);
        EXPECT_EQ(mode.kind, c.mode.kind);
        EXPECT_EQ(mode.window, c.mode.window);
    }
}

}  // namespace
}  // namespace pap
