#include "settings/ini_file.h"

#include <vector>

namespace pap {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\x1a'; }

std::string_view trim(std::string_view text)
{
    size_t first = 0;
    while (first < text.size() && isBlank(text[first]))
        ++first;
    size_t last = text.size();
    while (last > first && isBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

std::string_view upToNul(std::string_view text) { return text.substr(0, text.find('\0')); }

char foldAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Names compare character by character; only single-byte characters fold their case.
bool sameName(std::string_view a, std::string_view b, CharLength charLength)
{
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        size_t lengthA = charLength(a, i), lengthB = charLength(b, j);
        if (lengthA != lengthB)
            return false;
        if (lengthA == 1) {
            if (foldAscii(a[i]) != foldAscii(b[j]))
                return false;
        } else if (a.substr(i, lengthA) != b.substr(j, lengthB)) {
            return false;
        }
        i += lengthA;
        j += lengthB;
    }
    return i == a.size() && j == b.size();
}

enum class LineKind { Blank, Section, Key };

struct Line {
    size_t start = 0;       // first byte of the line
    size_t contentEnd = 0;  // first byte of its line ending (or the end of the text)
    size_t end = 0;         // first byte after its line ending
    LineKind kind = LineKind::Blank;
    std::string_view name;  // section or key name, trimmed (NUL bytes included)
    std::string_view value; // key value, trimmed (NUL bytes included)
    bool hasValue = false;  // the key line holds a '='
};

Line classify(std::string_view text, size_t start, size_t contentEnd, size_t end, CharLength charLength)
{
    Line line;
    line.start = start;
    line.contentEnd = contentEnd;
    line.end = end;
    std::string_view content = trim(text.substr(start, contentEnd - start));
    if (content.empty())
        return line;
    if (content[0] == '[') {
        size_t close = std::string_view::npos;
        for (size_t pos = 1; pos < content.size(); pos += charLength(content, pos)) {
            if (content[pos] == ']')
                close = pos;
        }
        if (close != std::string_view::npos) {
            line.kind = LineKind::Section;
            line.name = trim(content.substr(1, close - 1));
            return line;
        }
    }
    line.kind = LineKind::Key;
    size_t equals = content.find('=');  // '=' is never a trail byte
    if (equals == std::string_view::npos) {
        line.name = content;
    } else {
        line.name = trim(content.substr(0, equals));
        line.value = trim(content.substr(equals + 1));
        line.hasValue = true;
    }
    return line;
}

std::vector<Line> splitLines(std::string_view text, CharLength charLength)
{
    std::vector<Line> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t contentEnd = text.find_first_of("\r\n", start);
        size_t end;
        if (contentEnd == std::string_view::npos) {
            contentEnd = end = text.size();
        } else if (text[contentEnd] == '\r' && contentEnd + 1 < text.size() && text[contentEnd + 1] == '\n') {
            end = contentEnd + 2;
        } else {
            end = contentEnd + 1;
        }
        lines.push_back(classify(text, start, contentEnd, end, charLength));
        start = end;
    }
    return lines;
}

// Where a section's lines are: its header and the lines up to the next header.
struct SectionSpan {
    size_t header = 0;
    size_t end = 0;  // index of the next header, or the line count
};

std::optional<SectionSpan> findSection(const std::vector<Line>& lines, std::string_view section,
                                       CharLength charLength)
{
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind != LineKind::Section || !sameName(upToNul(lines[i].name), section, charLength))
            continue;
        size_t end = i + 1;
        while (end < lines.size() && lines[end].kind != LineKind::Section)
            ++end;
        return SectionSpan{i, end};
    }
    return std::nullopt;
}

std::optional<size_t> findKey(const std::vector<Line>& lines, const SectionSpan& span, std::string_view key,
                              CharLength charLength)
{
    for (size_t i = span.header + 1; i < span.end; ++i) {
        if (lines[i].kind == LineKind::Key && sameName(upToNul(lines[i].name), key, charLength))
            return i;
    }
    return std::nullopt;
}

bool storable(std::string_view text) { return text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos; }

// Whether a name ends in a whole character, so that the byte after it (a section's ']') cannot be
// taken for the trail byte of a two-byte character.
bool endsInWholeCharacter(std::string_view name, CharLength charLength)
{
    std::string probe(name);
    probe.push_back(']');
    size_t pos = 0;
    while (pos < name.size())
        pos += charLength(probe, pos);
    return pos == name.size();
}

}  // namespace

std::optional<std::string> IniLookup(std::string_view text, std::string_view section, std::string_view key,
                                     CharLength charLength)
{
    section = trim(upToNul(section));
    key = trim(upToNul(key));
    if (section.empty() || key.empty())
        return std::nullopt;
    std::vector<Line> lines = splitLines(text, charLength);
    std::optional<SectionSpan> span = findSection(lines, section, charLength);
    if (!span)
        return std::nullopt;
    std::optional<size_t> index = findKey(lines, *span, key, charLength);
    if (!index || !lines[*index].hasValue)
        return std::nullopt;
    std::string_view value = upToNul(lines[*index].value);
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

std::optional<std::string> IniUpdate(std::string_view text, std::string_view section, std::string_view key,
                                     std::string_view value, CharLength charLength, std::string_view lineEnding)
{
    section = trim(section);
    key = trim(key);
    if (section.empty() || key.empty() || !storable(section) || !storable(key) || !storable(value) ||
        key.find('=') != std::string_view::npos || key[0] == '[' || !endsInWholeCharacter(section, charLength))
        return std::nullopt;

    std::vector<Line> lines = splitLines(text, charLength);
    std::string keyLine = std::string(key) + "=" + std::string(value);
    std::string result;
    std::optional<SectionSpan> span = findSection(lines, section, charLength);
    if (!span) {
        result = text;
        if (!result.empty() && result.back() != '\n' && result.back() != '\r')
            result += lineEnding;
        result += "[" + std::string(section) + "]" + std::string(lineEnding) + keyLine + std::string(lineEnding);
        return result;
    }

    if (std::optional<size_t> index = findKey(lines, *span, key, charLength)) {
        const Line& line = lines[*index];
        if (line.hasValue && line.value == value)
            return std::string(text);
        // The name keeps its spelling in the file; the line loses its indent and old value.
        std::string replaced = std::string(line.name) + "=" + std::string(value);
        result.reserve(text.size() + replaced.size());
        result.append(text.substr(0, line.start));
        result.append(replaced);
        result.append(text.substr(line.contentEnd));
        return result;
    }

    size_t last = span->header;
    for (size_t i = span->header + 1; i < span->end; ++i) {
        if (lines[i].kind != LineKind::Blank)
            last = i;
    }
    const Line& after = lines[last];
    std::string insertion;
    if (after.end == after.contentEnd)  // the last line of the file, without a line ending
        insertion += lineEnding;
    insertion += keyLine;
    insertion += lineEnding;
    result.reserve(text.size() + insertion.size());
    result.append(text.substr(0, after.end));
    result.append(insertion);
    result.append(text.substr(after.end));
    return result;
}

std::string_view CutToLength(std::string_view text, size_t maxBytes, CharLength charLength)
{
    if (text.size() <= maxBytes)
        return text;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t length = charLength(text, pos);
        if (pos + length > maxBytes)
            break;
        pos += length;
    }
    return text.substr(0, pos);
}

}  // namespace pap
