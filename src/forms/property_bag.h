#pragma once

// The property bag of user controls (the values a form keeps for each of its controls), the
// property-change notices a control sends its container, and the design-time data file that holds the
// bags of a form's controls as text.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace pap::forms {

// A colour as the runtime stores it: 32 bits, 0x00BBGGRR for plain colours, high bit set for system colours.
struct StoredColour {
    uint32_t value = 0;
    bool operator==(const StoredColour&) const = default;
};

// A font object as a whole: face, size in ten-thousandths of a point (8.25 pt is 82500), weight (400
// normal, 700 bold), style flags and character set.
struct StoredFont {
    std::string name;
    int32_t sizeTenThousandths = 0;
    int32_t weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikethrough = false;
    int32_t charset = 0;

    bool bold() const { return weight >= 700; }
    bool operator==(const StoredFont&) const = default;
};

// A picture kept with the form as an asset file of the program, by name; `bytes` hold the picture file
// once resolved (or what a control wrote). Two pictures are equal when their files' bytes are.
struct PictureRef {
    std::string asset;
    std::vector<uint8_t> bytes;
    bool operator==(const PictureRef& other) const { return bytes == other.bytes; }
};

// A byte array. In the design-time file it is an asset file named by `asset`; `bytes` hold its content
// once resolved (or what a control wrote). Two arrays are equal when their bytes are.
struct ByteArray {
    std::vector<uint8_t> bytes;
    std::string asset;
    bool operator==(const ByteArray& other) const { return bytes == other.bytes; }
};

using PropertyValue =
    std::variant<bool, uint8_t, int16_t, int32_t, StoredColour, std::string, StoredFont, PictureRef, ByteArray>;

// True when two property names are the same name: the runtime compares names without regard to ASCII case.
bool SamePropertyName(std::string_view a, std::string_view b);

// The stored values of one control, in the order they were first written.
class PropertyBag {
public:
    // The stored value under `name` when it holds a T; otherwise `defaultValue` (an absent key, or a
    // value of another type, reads as the default).
    template <class T>
    T ReadProperty(std::string_view name, T defaultValue) const
    {
        if (m_readListener)
            m_readListener(name);
        const PropertyValue* stored = find(name);
        if (stored == nullptr)
            return defaultValue;
        if (const T* value = std::get_if<T>(stored))
            return *value;
        return defaultValue;
    }

    // Stores `value` under `name`, unless it equals `defaultValue`: then nothing is stored and a value
    // stored before under that name is removed. A name written again keeps its place in the order.
    void WriteProperty(std::string_view name, PropertyValue value, const PropertyValue& defaultValue);
    // Stores `value` under `name` whatever it is (a value without a default).
    void WriteProperty(std::string_view name, PropertyValue value);

    // The stored value under `name`, or null.
    const PropertyValue* find(std::string_view name) const;
    // The stored values in order.
    const std::vector<std::pair<std::string, PropertyValue>>& entries() const { return m_entries; }
    bool empty() const { return m_entries.empty(); }

    // A control tells its container that a property changed, so that the designer saves the bag. Each
    // notice is kept in `changedNames()` (in order, once per name) and passed to the listener if set.
    void PropertyChanged(std::string_view name);
    void setChangeListener(std::function<void(std::string_view)> listener) { m_listener = std::move(listener); }
    // Hears every ReadProperty by name (a designer's trace of what a control reads).
    void setReadListener(std::function<void(std::string_view)> listener) { m_readListener = std::move(listener); }
    const std::vector<std::string>& changedNames() const { return m_changed; }
    void clearChanged() { m_changed.clear(); }

private:
    std::vector<std::pair<std::string, PropertyValue>> m_entries;
    std::vector<std::string> m_changed;
    std::function<void(std::string_view)> m_listener;
    std::function<void(std::string_view)> m_readListener;
};

// The stored bag of one control of a form; `index` is -1 for a control outside a control array.
struct ControlData {
    std::string name;
    int32_t index = -1;
    PropertyBag bag;
};

// The design-time data of a form: its controls' bags in file order.
struct DesignData {
    std::vector<ControlData> controls;

    // The control named `name` (any case) with that index, or null.
    const ControlData* find(std::string_view name, int32_t index = -1) const;
    ControlData* find(std::string_view name, int32_t index = -1);
};

// The result of reading a design-time file: the data, or the 1-based line of the first fault and why.
struct DesignDataResult {
    std::optional<DesignData> data;
    size_t errorLine = 0;
    std::string error;
};

// Reads a design-time data file. The text is lines ending in LF (a CR before it is allowed):
//
//   # a comment; comments and blank lines are skipped
//   [Command1]                         a control, or [Img_BGM(2)] for element 2 of a control array
//   Enabled = bool False               bool True | False
//   FirstRun = byte 1                  0 ... 255
//   Visible = int16 -1                 -32768 ... 32767
//   Delay = int32 100                  32-bit signed
//   FontColour = colour &H00FF0000     &H and 1 to 8 hex digits
//   Caption = string "a \"b\" \\ \x09" bytes as is, except \" \\ and \xHH
//   Font = font "Tahoma" size=8.25 weight=400 italic=0 underline=0 strikethrough=0 charset=0
//   GIF = bytes "dialog.gif"           an asset file by name: letters, digits, '.', '_', '-'
//   MouseIcon = picture "hand.cur"
//
// Byte arrays and pictures come back with their asset name and no bytes (see ResolveAssets). Any fault (an unknown
// type, a value out of range, a key or control given twice, a property before any control) refuses
// the whole file.
DesignDataResult ParseDesignData(std::string_view text);

// Writes design-time data in the canonical form: controls in order with a blank line between them,
// one property a line as above, `name = type value` with single blanks, colours as 8 upper-case hex
// digits, font sizes without trailing zeros. Reading this text gives the same data; reading a
// canonical file and writing it again gives the same bytes. A byte array without an asset name is
// named `<control>[_<index>].<key>.bin`, a picture without one `<control>[_<index>].<key>.png`.
std::string WriteDesignData(const DesignData& data);

// Fills the bytes of every byte array and picture from the asset of its name; false (with the missing
// name in `missing`) when the loader has no such asset.
bool ResolveAssets(DesignData& data,
    const std::function<std::optional<std::vector<uint8_t>>(std::string_view asset)>& load,
    std::string* missing = nullptr);

}  // namespace pap::forms
