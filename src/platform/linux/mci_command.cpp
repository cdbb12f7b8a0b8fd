#include "mci_command.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>

namespace pap::mci {

namespace {

struct ErrorEntry {
    uint32_t code;
    const char* text;
};

constexpr ErrorEntry kErrorTexts[] = {
    {kErrUnrecognizedKeyword, "The driver cannot recognize the specified command parameter."},
    {kErrUnrecognizedCommand, "The driver cannot recognize the specified command."},
    {kErrHardware,
     "There is a problem with your media device. Make sure it is working correctly or contact the device "
     "manufacturer."},
    {kErrInvalidDeviceName, "The specified device is not open or is not recognized by MCI."},
    {kErrOutOfMemory,
     "Not enough memory available for this task. Quit one or more applications to increase available "
     "memory, and then try again."},
    {kErrDeviceOpen, "The device name is already being used as an alias by this application. Use a unique alias."},
    {kErrCannotLoadDriver, "There is an undetectable problem in loading the specified device driver."},
    {kErrMissingCommandString, "No command was specified."},
    {kErrParamOverflow, "The output string was too large to fit in the return buffer. Increase the size of the buffer."},
    {kErrMissingStringArgument, "The specified command requires a character-string parameter. Please provide one."},
    {kErrBadInteger, "The specified integer is invalid for this command."},
    {kErrMissingParameter, "The specified command requires a parameter. Please supply one."},
    {kErrUnsupportedFunction, "The MCI device you are using does not support the specified command."},
    {kErrFileNotFound, "Cannot find the specified file. Make sure the path and filename are correct."},
    {kErrDeviceNotReady, "The device driver is not ready."},
    {kErrInternal, "A problem occurred in initializing MCI. Try restarting Windows."},
    {kErrCannotUseAll, "Cannot use 'all' as the device name with the specified command."},
    {kErrExtensionNotFound, "Cannot determine the device type from the given filename extension."},
    {kErrOutOfRange, "The specified parameter is out of range for the specified command."},
    {kErrFlagsNotCompatible, "The specified parameters cannot be used together."},
    {kErrDuplicateAlias, "The specified alias is already being used in this application. Use a unique alias."},
    {kErrBadConstant, "The specified parameter is invalid for this command."},
    {kErrMissingDeviceName,
     "The specified command requires an alias, file, driver, or device name. Please supply one."},
    {kErrBadTimeFormat,
     "The specified value for the time format is invalid. Refer to the MCI documentation for valid formats."},
    {kErrNoClosingQuote, "A closing double-quotation mark is missing from the parameter value. Please supply one."},
    {kErrDuplicateFlags, "A parameter or value was specified twice. Only specify it once."},
    {kErrInvalidFile,
     "The specified file cannot be played on the specified MCI device. The file may be corrupt, or not in "
     "the correct format."},
    {kErrNonapplicableFunction,
     "The specified MCI command sequence cannot be performed in the given order. Correct the command "
     "sequence, and then try again."},
    {kErrExtraCharacters, "Cannot specify extra characters after a string enclosed in quotation marks."},
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

struct Word {
    std::string text;
    bool quoted = false;
};

uint32_t SplitWords(std::string_view text, std::vector<Word>& words)
{
    size_t i = 0;
    while (i < text.size()) {
        if (IsBlank(text[i])) {
            ++i;
            continue;
        }
        Word word;
        if (text[i] == '"') {
            size_t close = text.find('"', i + 1);
            if (close == std::string_view::npos)
                return kErrNoClosingQuote;
            word.text = text.substr(i + 1, close - i - 1);
            word.quoted = true;
            i = close + 1;
            if (i < text.size() && !IsBlank(text[i]))
                return kErrExtraCharacters;
        } else {
            size_t end = i;
            while (end < text.size() && !IsBlank(text[end]))
                ++end;
            word.text = text.substr(i, end - i);
            i = end;
        }
        words.push_back(std::move(word));
    }
    return kOk;
}

// The words after the device name, consumed from the front.
class WordCursor {
public:
    WordCursor(const std::vector<Word>& words, size_t start) : m_words(words), m_pos(start) {}

    bool atEnd() const { return m_pos >= m_words.size(); }
    // The next word in lower case, consumed; empty at the end.
    std::string keyword() { return atEnd() ? std::string() : Lower(m_words[m_pos++].text); }
    // The next word in lower case, not consumed; empty at the end.
    std::string peekKeyword() const { return atEnd() ? std::string() : Lower(m_words[m_pos].text); }
    // The value that follows a keyword, as written.
    std::optional<std::string> value()
    {
        if (atEnd())
            return std::nullopt;
        return m_words[m_pos++].text;
    }

private:
    const std::vector<Word>& m_words;
    size_t m_pos;
};

// Flags that every command takes. Returns kOk and sets done when the keyword was one of them.
uint32_t TakeCommonFlag(const std::string& keyword, Command& command, bool& done)
{
    done = true;
    bool* flag = keyword == "wait" ? &command.wait : keyword == "notify" ? &command.notify : nullptr;
    if (!flag) {
        done = false;
        return kOk;
    }
    if (*flag)
        return kErrDuplicateFlags;
    *flag = true;
    return kOk;
}

uint32_t ParseOpen(WordCursor& words, Command& command)
{
    while (!words.atEnd()) {
        std::string keyword = words.keyword();
        bool done = false;
        if (uint32_t error = TakeCommonFlag(keyword, command, done))
            return error;
        if (done)
            continue;
        if (keyword == "type" || keyword == "alias") {
            std::string& target = keyword == "type" ? command.type : command.alias;
            if (!target.empty())
                return kErrDuplicateFlags;
            std::optional<std::string> value = words.value();
            if (!value || value->empty())
                return kErrMissingStringArgument;
            target = *value;
        } else if (keyword == "shareable") {
            if (command.shareable)
                return kErrDuplicateFlags;
            command.shareable = true;
        } else {
            return kErrUnrecognizedKeyword;
        }
    }
    return kOk;
}

uint32_t ParsePlayOrSeek(WordCursor& words, Command& command)
{
    while (!words.atEnd()) {
        std::string keyword = words.keyword();
        bool done = false;
        if (uint32_t error = TakeCommonFlag(keyword, command, done))
            return error;
        if (done)
            continue;
        if (keyword == "from" && command.verb == Verb::Play) {
            if (command.from)
                return kErrDuplicateFlags;
            command.from = words.value();
            if (!command.from)
                return kErrMissingParameter;
        } else if (keyword == "to") {
            if (command.to || command.toStart || command.toEnd)
                return kErrDuplicateFlags;
            std::string next = words.peekKeyword();
            if (command.verb == Verb::Seek && (next == "start" || next == "end")) {
                words.keyword();
                (next == "start" ? command.toStart : command.toEnd) = true;
                continue;
            }
            command.to = words.value();
            if (!command.to)
                return kErrMissingParameter;
        } else {
            return kErrUnrecognizedKeyword;
        }
    }
    if (command.verb == Verb::Seek && !command.to && !command.toStart && !command.toEnd)
        return kErrMissingParameter;
    return kOk;
}

uint32_t ParseSet(WordCursor& words, Command& command)
{
    bool any = false;
    while (!words.atEnd()) {
        std::string keyword = words.keyword();
        bool done = false;
        if (uint32_t error = TakeCommonFlag(keyword, command, done))
            return error;
        if (done)
            continue;
        any = true;
        if (keyword == "time") {
            if (words.atEnd() || words.keyword() != "format")
                return kErrUnrecognizedKeyword;
            if (command.timeFormat)
                return kErrDuplicateFlags;
            std::optional<std::string> value = words.value();
            if (!value)
                return kErrMissingParameter;
            std::string format = Lower(*value);
            if (format == "milliseconds" || format == "ms")
                command.timeFormat = TimeFormat::Milliseconds;
            else if (format == "msf")
                command.timeFormat = TimeFormat::Msf;
            else if (format == "tmsf")
                command.timeFormat = TimeFormat::Tmsf;
            else if (format == "frames" || format == "bytes" || format == "samples" || format == "hms" ||
                     format == "smpte")
                return kErrBadTimeFormat;
            else
                return kErrBadConstant;
        } else if (keyword == "door" || keyword == "audio" || keyword == "video") {
            return kErrUnsupportedFunction;
        } else {
            return kErrUnrecognizedKeyword;
        }
    }
    return any ? kOk : kErrMissingParameter;
}

uint32_t ParseStatus(WordCursor& words, Command& command)
{
    struct ItemWords {
        const char* first;
        const char* second;  // null for a one-word item
        StatusItem item;
    };
    static constexpr ItemWords kItems[] = {
        {"mode", nullptr, StatusItem::Mode},
        {"position", nullptr, StatusItem::Position},
        {"length", nullptr, StatusItem::Length},
        {"ready", nullptr, StatusItem::Ready},
        {"current", "track", StatusItem::CurrentTrack},
        {"media", "present", StatusItem::MediaPresent},
        {"time", "format", StatusItem::TimeFormat},
        {"start", "position", StatusItem::StartPosition},
    };
    bool haveItem = false;
    while (!words.atEnd()) {
        std::string keyword = words.keyword();
        bool done = false;
        if (uint32_t error = TakeCommonFlag(keyword, command, done))
            return error;
        if (done)
            continue;
        if (keyword == "track") {
            if (!haveItem || (command.item != StatusItem::Position && command.item != StatusItem::Length))
                return kErrUnrecognizedKeyword;
            if (command.track)
                return kErrDuplicateFlags;
            std::optional<std::string> value = words.value();
            if (!value)
                return kErrMissingParameter;
            command.track = ParseUnsigned(*value);
            if (!command.track)
                return kErrBadInteger;
            continue;
        }
        std::optional<StatusItem> item;
        if (keyword == "number") {
            if (words.keyword() != "of" || words.keyword() != "tracks")
                return kErrUnrecognizedKeyword;
            item = StatusItem::NumberOfTracks;
        }
        for (const ItemWords& entry : kItems) {
            if (item || keyword != entry.first)
                continue;
            if (entry.second) {
                if (words.peekKeyword() != entry.second)
                    return kErrUnrecognizedKeyword;
                words.keyword();
            }
            item = entry.item;
        }
        if (!item)
            return kErrUnrecognizedKeyword;
        if (haveItem)
            return kErrFlagsNotCompatible;
        haveItem = true;
        command.item = *item;
    }
    return haveItem ? kOk : kErrMissingParameter;
}

uint32_t ParseFlagsOnly(WordCursor& words, Command& command)
{
    while (!words.atEnd()) {
        bool done = false;
        if (uint32_t error = TakeCommonFlag(words.keyword(), command, done))
            return error;
        if (!done)
            return kErrUnrecognizedKeyword;
    }
    return kOk;
}

bool IsKnownUnsupportedVerb(const std::string& verb)
{
    for (const char* name : {"info", "capability", "cue", "record", "save", "load", "delete", "window", "where",
                             "put", "update", "setaudio", "setvideo", "signal", "realize", "step", "freeze",
                             "unfreeze", "configure", "sysinfo", "break", "sound", "spin", "escape"})
        if (verb == name)
            return true;
    return false;
}

}  // namespace

const char* ErrorText(uint32_t code)
{
    for (const ErrorEntry& entry : kErrorTexts)
        if (entry.code == code)
            return entry.text;
    return nullptr;
}

std::string Lower(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

ParseResult Parse(std::string_view text)
{
    ParseResult result;
    // The string ends at its first NUL, as a C string handed to mciSendString does.
    text = text.substr(0, text.find('\0'));
    std::vector<Word> words;
    if ((result.error = SplitWords(text, words)) != kOk)
        return result;
    if (words.empty()) {
        result.error = kErrMissingCommandString;
        return result;
    }
    static constexpr std::pair<const char*, Verb> kVerbs[] = {
        {"open", Verb::Open},   {"close", Verb::Close},   {"play", Verb::Play}, {"stop", Verb::Stop},
        {"pause", Verb::Pause}, {"resume", Verb::Resume}, {"seek", Verb::Seek}, {"set", Verb::Set},
        {"status", Verb::Status},
    };
    std::string verb = Lower(words[0].text);
    auto known = std::find_if(std::begin(kVerbs), std::end(kVerbs),
                              [&](const auto& entry) { return verb == entry.first; });
    if (known == std::end(kVerbs)) {
        result.error = IsKnownUnsupportedVerb(verb) ? kErrUnsupportedFunction : kErrUnrecognizedCommand;
        return result;
    }
    Command& command = result.command;
    command.verb = known->second;
    if (words.size() < 2 || words[1].text.empty()) {
        result.error = kErrMissingDeviceName;
        return result;
    }
    command.device = words[1].text;
    if (command.verb == Verb::Open && !words[1].quoted) {
        size_t bang = command.device.find('!');
        if (bang != std::string::npos) {
            command.type = command.device.substr(0, bang);
            command.device = command.device.substr(bang + 1);
            if (command.type.empty() || command.device.empty()) {
                result.error = kErrMissingDeviceName;
                return result;
            }
        }
    }

    WordCursor rest(words, 2);
    switch (command.verb) {
    case Verb::Open: {
        std::string typeBefore = command.type;
        command.type.clear();
        result.error = ParseOpen(rest, command);
        if (result.error == kOk && !typeBefore.empty()) {
            if (!command.type.empty())
                result.error = kErrDuplicateFlags;
            command.type = typeBefore;
        }
        break;
    }
    case Verb::Play:
    case Verb::Seek:
        result.error = ParsePlayOrSeek(rest, command);
        break;
    case Verb::Set:
        result.error = ParseSet(rest, command);
        break;
    case Verb::Status:
        result.error = ParseStatus(rest, command);
        break;
    case Verb::Close:
    case Verb::Stop:
    case Verb::Pause:
    case Verb::Resume:
        result.error = ParseFlagsOnly(rest, command);
        break;
    }
    return result;
}

std::optional<uint32_t> ParseUnsigned(std::string_view text)
{
    if (text.empty() || text.size() > 10)
        return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    if (value > UINT32_MAX)
        return std::nullopt;
    return static_cast<uint32_t>(value);
}

std::optional<std::array<uint32_t, 4>> ParseColonFields(std::string_view text, size_t maxFields)
{
    std::array<uint32_t, 4> fields{};
    size_t count = 0;
    size_t start = 0;
    while (true) {
        size_t colon = text.find(':', start);
        std::string_view field = text.substr(start, colon == std::string_view::npos ? text.npos : colon - start);
        if (count >= maxFields || count >= fields.size())
            return std::nullopt;
        std::optional<uint32_t> value = ParseUnsigned(field);
        if (!value || *value > 255)
            return std::nullopt;
        fields[count++] = *value;
        if (colon == std::string_view::npos)
            break;
        start = colon + 1;
    }
    return fields;
}

std::string FormatTmsf(uint32_t track, uint32_t frames)
{
    char text[32];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u:%02u", track, frames / kFramesPerSecond / 60,
                  frames / kFramesPerSecond % 60, frames % kFramesPerSecond);
    return text;
}

std::string FormatMsf(uint32_t frames)
{
    char text[32];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", frames / kFramesPerSecond / 60, frames / kFramesPerSecond % 60,
                  frames % kFramesPerSecond);
    return text;
}

}  // namespace pap::mci
