#pragma once

// MCI command strings as Windows' mciSendString reads them: the parser that turns one string into a
// command record, the error numbers and texts of Windows' mmsystem.h, and the time formats of CD and
// file positions. Portable code without any audio library, so that it is unit-tested and fuzzed alone.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pap::mci {

// Error numbers, MCIERR_BASE (256) plus Windows' offsets.
enum : uint32_t {
    kOk = 0,
    kErrUnrecognizedKeyword = 259,
    kErrUnrecognizedCommand = 261,
    kErrHardware = 262,
    kErrInvalidDeviceName = 263,
    kErrOutOfMemory = 264,
    kErrDeviceOpen = 265,
    kErrCannotLoadDriver = 266,
    kErrMissingCommandString = 267,
    kErrParamOverflow = 268,
    kErrMissingStringArgument = 269,
    kErrBadInteger = 270,
    kErrMissingParameter = 273,
    kErrUnsupportedFunction = 274,
    kErrFileNotFound = 275,
    kErrDeviceNotReady = 276,
    kErrInternal = 277,
    kErrCannotUseAll = 279,
    kErrExtensionNotFound = 281,
    kErrOutOfRange = 282,
    kErrFlagsNotCompatible = 284,
    kErrDuplicateAlias = 289,
    kErrBadConstant = 290,
    kErrMissingDeviceName = 292,
    kErrBadTimeFormat = 293,
    kErrNoClosingQuote = 294,
    kErrDuplicateFlags = 295,
    kErrInvalidFile = 296,
    kErrNonapplicableFunction = 302,
    kErrExtraCharacters = 305,
};

// The English text Windows gives for an error number; null for a number that is not an MCI error.
const char* ErrorText(uint32_t code);

enum class Verb { Open, Close, Play, Stop, Pause, Resume, Seek, Set, Status };

enum class TimeFormat { Milliseconds, Msf, Tmsf };

enum class StatusItem {
    Mode,
    Position,
    Length,
    CurrentTrack,
    NumberOfTracks,
    MediaPresent,
    Ready,
    TimeFormat,
    StartPosition,
};

// One parsed command. Words are compared without regard to case; names and positions keep the case
// and the characters they were written with, quotes removed.
struct Command {
    Verb verb = Verb::Status;
    // Device name, alias or (open) file name; "all" for close/stop of every device.
    std::string device;
    bool wait = false;
    bool notify = false;

    // open
    std::string type;   // "type <device type>", or the part before '!' in "<type>!<file>"
    std::string alias;  // "alias <name>"
    bool shareable = false;

    // play, seek: positions in the device's time format, unparsed ("to start"/"to end" for seek)
    std::optional<std::string> from;
    std::optional<std::string> to;
    bool toStart = false;
    bool toEnd = false;

    // set
    std::optional<TimeFormat> timeFormat;

    // status
    StatusItem item = StatusItem::Mode;
    std::optional<uint32_t> track;  // "track <n>" after position or length
};

struct ParseResult {
    uint32_t error = kOk;
    Command command;
};

// Parses one command string. Blanks and tabs separate words; a word that starts with a double quote
// runs to the next double quote and may hold blanks.
ParseResult Parse(std::string_view text);

// Positions in the CD time formats. 75 frames make one second.
constexpr uint32_t kFramesPerSecond = 75;

// "t:m:s:f" (tmsf) or "m:s:f" (msf): one to maxFields decimal fields, each 0..255, omitted trailing
// fields 0. Empty when the text is not of that form.
std::optional<std::array<uint32_t, 4>> ParseColonFields(std::string_view text, size_t maxFields);

// A decimal number of up to 32 bits; empty for anything else.
std::optional<uint32_t> ParseUnsigned(std::string_view text);

// Windows' reply forms: "tt:mm:ss:ff" and "mm:ss:ff", two digits a field at least.
std::string FormatTmsf(uint32_t track, uint32_t frames);
std::string FormatMsf(uint32_t frames);

// ASCII lower case.
std::string Lower(std::string_view text);

}  // namespace pap::mci
