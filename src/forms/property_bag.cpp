#include "forms/property_bag.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace pap::forms {

namespace {

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsIdentifierStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsIdentifierChar(char c) { return IsIdentifierStart(c) || (c >= '0' && c <= '9'); }

bool IsIdentifier(std::string_view text)
{
    return !text.empty() && IsIdentifierStart(text[0]) && std::all_of(text.begin(), text.end(), IsIdentifierChar);
}

// Asset names stay plain file names: no separators, no "..", nothing that leaves the asset folder.
bool IsAssetName(std::string_view text)
{
    if (text.empty() || text.size() > 128 || text[0] == '.')
        return false;
    return std::all_of(text.begin(), text.end(), [](char c) { return IsIdentifierChar(c) || c == '.' || c == '-'; });
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

template <class T>
std::optional<T> ParseInteger(std::string_view text)
{
    int64_t value = 0;
    if (text.empty() || text[0] == '+')
        return std::nullopt;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    if (value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max())
        return std::nullopt;
    return static_cast<T>(value);
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = AsciiUpper(c);
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

// A quoted string at the start of `text`: advances `text` past it. Escapes: \" \\ \xHH.
std::optional<std::string> ParseQuoted(std::string_view& text)
{
    if (text.empty() || text[0] != '"')
        return std::nullopt;
    std::string out;
    size_t i = 1;
    while (i < text.size() && text[i] != '"') {
        if (text[i] != '\\') {
            out += text[i++];
            continue;
        }
        if (i + 1 >= text.size())
            return std::nullopt;
        char kind = text[i + 1];
        if (kind == '"' || kind == '\\') {
            out += kind;
            i += 2;
        } else if (kind == 'x' && i + 3 < text.size() && HexDigit(text[i + 2]) >= 0 && HexDigit(text[i + 3]) >= 0) {
            out += static_cast<char>(HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3]));
            i += 4;
        } else {
            return std::nullopt;
        }
    }
    if (i >= text.size())
        return std::nullopt;
    text.remove_prefix(i + 1);
    return out;
}

void WriteQuoted(std::string& out, std::string_view text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += '"';
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else {
            out += c;
        }
    }
    out += '"';
}

// A font size in points with up to four decimals, as ten-thousandths of a point.
std::optional<int32_t> ParseFontSize(std::string_view text)
{
    size_t dot = text.find('.');
    std::string_view whole = text.substr(0, dot);
    std::string_view fraction = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
    if (whole.empty() || whole.size() > 5 || fraction.size() > 4 || (dot != std::string_view::npos && fraction.empty()))
        return std::nullopt;
    int32_t value = 0;
    for (char c : whole) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    for (size_t i = 0; i < 4; ++i) {
        char c = i < fraction.size() ? fraction[i] : '0';
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::string FontSizeText(int32_t tenThousandths)
{
    if (tenThousandths < 0)
        tenThousandths = 0;
    std::string text = std::to_string(tenThousandths / 10000);
    std::string fraction = std::to_string(10000 + tenThousandths % 10000).substr(1);
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    if (!fraction.empty())
        text += "." + fraction;
    return text;
}

// The next blank-separated word of `text` (which is advanced past it).
std::string_view NextWord(std::string_view& text)
{
    text = Trim(text);
    size_t end = 0;
    while (end < text.size() && text[end] != ' ' && text[end] != '\t')
        ++end;
    std::string_view word = text.substr(0, end);
    text.remove_prefix(end);
    return word;
}

// `key=value` with the given key; the value must parse as T.
template <class T>
std::optional<T> NamedInteger(std::string_view& text, std::string_view key)
{
    std::string_view word = NextWord(text);
    if (word.size() <= key.size() || word.substr(0, key.size()) != key || word[key.size()] != '=')
        return std::nullopt;
    return ParseInteger<T>(word.substr(key.size() + 1));
}

std::optional<StoredFont> ParseFont(std::string_view text)
{
    StoredFont font;
    auto name = ParseQuoted(text);
    if (!name)
        return std::nullopt;
    font.name = std::move(*name);
    std::string_view size = NextWord(text);
    if (size.substr(0, 5) != "size=")
        return std::nullopt;
    auto tenThousandths = ParseFontSize(size.substr(5));
    auto weight = NamedInteger<int16_t>(text, "weight");
    auto italic = NamedInteger<uint8_t>(text, "italic");
    auto underline = NamedInteger<uint8_t>(text, "underline");
    auto strikethrough = NamedInteger<uint8_t>(text, "strikethrough");
    auto charset = NamedInteger<uint8_t>(text, "charset");
    if (!tenThousandths || !weight || *weight < 0 || !italic || *italic > 1 || !underline || *underline > 1 ||
        !strikethrough || *strikethrough > 1 || !charset || !Trim(text).empty())
        return std::nullopt;
    font.sizeTenThousandths = *tenThousandths;
    font.weight = *weight;
    font.italic = *italic;
    font.underline = *underline;
    font.strikethrough = *strikethrough;
    font.charset = *charset;
    return font;
}

// The value part of a property line: `type value`. Null with a reason when it does not parse.
std::optional<PropertyValue> ParseValue(std::string_view text, std::string& reason)
{
    std::string_view type = NextWord(text);
    text = Trim(text);
    auto quotedOnly = [&](std::string_view rest) -> std::optional<std::string> {
        auto value = ParseQuoted(rest);
        if (!value || !Trim(rest).empty())
            return std::nullopt;
        return value;
    };
    if (type == "bool") {
        if (text == "True")
            return PropertyValue(true);
        if (text == "False")
            return PropertyValue(false);
        reason = "a bool is True or False";
    } else if (type == "byte") {
        if (auto value = ParseInteger<uint8_t>(text))
            return PropertyValue(*value);
        reason = "a byte is 0 to 255";
    } else if (type == "int16") {
        if (auto value = ParseInteger<int16_t>(text))
            return PropertyValue(*value);
        reason = "an int16 is -32768 to 32767";
    } else if (type == "int32") {
        if (auto value = ParseInteger<int32_t>(text))
            return PropertyValue(*value);
        reason = "an int32 out of range or not a number";
    } else if (type == "colour") {
        if (text.size() >= 3 && text.size() <= 10 && text.substr(0, 2) == "&H") {
            uint32_t value = 0;
            bool ok = true;
            for (char c : text.substr(2)) {
                ok = ok && HexDigit(c) >= 0;
                value = value * 16 + static_cast<uint32_t>(std::max(HexDigit(c), 0));
            }
            if (ok)
                return PropertyValue(StoredColour{value});
        }
        reason = "a colour is &H and 1 to 8 hex digits";
    } else if (type == "string") {
        if (auto value = quotedOnly(text))
            return PropertyValue(std::move(*value));
        reason = "a string is one quoted text";
    } else if (type == "font") {
        if (auto font = ParseFont(text))
            return PropertyValue(std::move(*font));
        reason = "a font is \"name\" size= weight= italic= underline= strikethrough= charset=";
    } else if (type == "bytes" || type == "picture") {
        auto asset = quotedOnly(text);
        if (asset && IsAssetName(*asset)) {
            if (type == "picture")
                return PropertyValue(PictureRef{std::move(*asset), {}});
            return PropertyValue(ByteArray{{}, std::move(*asset)});
        }
        reason = "an asset is one quoted file name of letters, digits, '.', '_' and '-'";
    } else {
        reason = "unknown type";
    }
    return std::nullopt;
}

// `[Name]` or `[Name(index)]`.
bool ParseSection(std::string_view line, std::string& name, int32_t& index)
{
    if (line.size() < 3 || line.front() != '[' || line.back() != ']')
        return false;
    line = line.substr(1, line.size() - 2);
    index = -1;
    size_t open = line.find('(');
    if (open != std::string_view::npos) {
        if (line.back() != ')')
            return false;
        auto value = ParseInteger<int16_t>(line.substr(open + 1, line.size() - open - 2));
        if (!value || *value < 0)
            return false;
        index = *value;
        line = line.substr(0, open);
    }
    if (!IsIdentifier(line))
        return false;
    name = std::string(line);
    return true;
}

void WriteValue(std::string& out, const ControlData& control, const std::string& key, const PropertyValue& value)
{
    struct Writer {
        std::string& out;
        const ControlData& control;
        const std::string& key;
        void operator()(bool v) { out += v ? "bool True" : "bool False"; }
        void operator()(uint8_t v) { out += "byte " + std::to_string(v); }
        void operator()(int16_t v) { out += "int16 " + std::to_string(v); }
        void operator()(int32_t v) { out += "int32 " + std::to_string(v); }
        void operator()(const StoredColour& v)
        {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += "colour &H";
            for (int shift = 28; shift >= 0; shift -= 4)
                out += kHex[(v.value >> shift) & 15];
        }
        void operator()(const std::string& v)
        {
            out += "string ";
            WriteQuoted(out, v);
        }
        void operator()(const StoredFont& v)
        {
            out += "font ";
            WriteQuoted(out, v.name);
            out += " size=" + FontSizeText(v.sizeTenThousandths) + " weight=" + std::to_string(v.weight) +
                   " italic=" + std::to_string(v.italic) + " underline=" + std::to_string(v.underline) +
                   " strikethrough=" + std::to_string(v.strikethrough) + " charset=" + std::to_string(v.charset);
        }
        void operator()(const PictureRef& v)
        {
            out += "picture ";
            WriteQuoted(out, v.asset.empty() ? UnnamedAsset(".png") : v.asset);
        }
        void operator()(const ByteArray& v)
        {
            out += "bytes ";
            WriteQuoted(out, v.asset.empty() ? UnnamedAsset(".bin") : v.asset);
        }
        std::string UnnamedAsset(const char* extension) const
        {
            std::string asset = control.name;
            if (control.index >= 0)
                asset += "_" + std::to_string(control.index);
            return asset + "." + key + extension;
        }
    };
    std::visit(Writer{out, control, key}, value);
}

}  // namespace

bool SamePropertyName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return AsciiUpper(x) == AsciiUpper(y); });
}

const PropertyValue* PropertyBag::find(std::string_view name) const
{
    for (const auto& [key, value] : m_entries)
        if (SamePropertyName(key, name))
            return &value;
    return nullptr;
}

void PropertyBag::WriteProperty(std::string_view name, PropertyValue value)
{
    for (auto& entry : m_entries) {
        if (SamePropertyName(entry.first, name)) {
            entry.second = std::move(value);
            return;
        }
    }
    m_entries.emplace_back(std::string(name), std::move(value));
}

void PropertyBag::WriteProperty(std::string_view name, PropertyValue value, const PropertyValue& defaultValue)
{
    if (value == defaultValue) {
        std::erase_if(m_entries, [&](const auto& entry) { return SamePropertyName(entry.first, name); });
        return;
    }
    WriteProperty(name, std::move(value));
}

void PropertyBag::PropertyChanged(std::string_view name)
{
    if (std::none_of(m_changed.begin(), m_changed.end(), [&](const std::string& n) { return SamePropertyName(n, name); }))
        m_changed.emplace_back(name);
    if (m_listener)
        m_listener(name);
}

const ControlData* DesignData::find(std::string_view name, int32_t index) const
{
    for (const ControlData& control : controls)
        if (control.index == index && SamePropertyName(control.name, name))
            return &control;
    return nullptr;
}

ControlData* DesignData::find(std::string_view name, int32_t index)
{
    return const_cast<ControlData*>(static_cast<const DesignData*>(this)->find(name, index));
}

DesignDataResult ParseDesignData(std::string_view text)
{
    DesignDataResult result;
    DesignData data;
    size_t lineNumber = 0;
    auto refuse = [&](std::string reason) {
        result.errorLine = lineNumber;
        result.error = std::move(reason);
        return result;
    };
    while (!text.empty()) {
        ++lineNumber;
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        line = Trim(line);
        if (line.empty() || line[0] == '#')
            continue;
        if (line[0] == '[') {
            std::string name;
            int32_t index = -1;
            if (!ParseSection(line, name, index))
                return refuse("a control is [Name] or [Name(index)]");
            if (data.find(name, index) != nullptr)
                return refuse("control given twice");
            data.controls.push_back(ControlData{std::move(name), index, {}});
            continue;
        }
        if (data.controls.empty())
            return refuse("a property before any control");
        size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            return refuse("a property is: name = type value");
        std::string_view key = Trim(line.substr(0, equals));
        if (!IsIdentifier(key))
            return refuse("a property name is letters, digits and '_'");
        PropertyBag& bag = data.controls.back().bag;
        if (bag.find(key) != nullptr)
            return refuse("property given twice");
        std::string reason;
        auto value = ParseValue(line.substr(equals + 1), reason);
        if (!value)
            return refuse(std::move(reason));
        bag.WriteProperty(key, std::move(*value));
    }
    result.data = std::move(data);
    return result;
}

std::string WriteDesignData(const DesignData& data)
{
    std::string out;
    for (const ControlData& control : data.controls) {
        if (!out.empty())
            out += '\n';
        out += '[' + control.name;
        if (control.index >= 0)
            out += '(' + std::to_string(control.index) + ')';
        out += "]\n";
        for (const auto& [key, value] : control.bag.entries()) {
            out += key + " = ";
            WriteValue(out, control, key, value);
            out += '\n';
        }
    }
    return out;
}

bool ResolveAssets(DesignData& data,
    const std::function<std::optional<std::vector<uint8_t>>(std::string_view asset)>& load, std::string* missing)
{
    for (ControlData& control : data.controls) {
        for (const auto& [key, value] : control.bag.entries()) {
            const auto* array = std::get_if<ByteArray>(&value);
            const auto* picture = std::get_if<PictureRef>(&value);
            if (array == nullptr && picture == nullptr)
                continue;
            const std::string asset = array ? array->asset : picture->asset;
            auto bytes = load(asset);
            if (!bytes) {
                if (missing != nullptr)
                    *missing = asset;
                return false;
            }
            if (array)
                control.bag.WriteProperty(key, ByteArray{std::move(*bytes), asset});
            else
                control.bag.WriteProperty(key, PictureRef{asset, std::move(*bytes)});
        }
    }
    return true;
}

}  // namespace pap::forms
