// The property bag (stored values with defaults, names in any case, order kept), property-change
// notices, and the design-time data file: reading, refusing bad lines by number, writing back the
// same bytes.

#include <gtest/gtest.h>

#include <limits>
#include <map>

#include "forms/picture.h"
#include "forms/property_bag.h"
#include "platform/picture_object.h"

namespace pap::forms {
namespace {

const StoredFont kTahoma{"Tahoma", 82500, 400, false, false, false, 0};
const StoredFont kBoldArial{"Arial", 120000, 700, true, true, true, 204};

// One value of every type, written against a default of the same type, read back against another.
struct TypedCase {
    const char* name;
    PropertyValue value;
    PropertyValue writeDefault;
};

const TypedCase kTypedCases[] = {
    {"Enabled", false, true},
    {"FirstRun", uint8_t{0}, uint8_t{1}},
    {"Visible", int16_t{-1}, int16_t{1}},
    {"Delay", int32_t{70000}, int32_t{50}},
    {"FontColour", StoredColour{0x80000012}, StoredColour{0}},
    {"Caption", std::string("OK \"x\"\n"), std::string("Command")},
    {"Font", kBoldArial, kTahoma},
    {"MouseIcon", PictureRef{"hand.cur", {0x89, 0x50}}, PictureRef{}},
    {"GIF", ByteArray{{0x47, 0x49, 0x46, 0x00, 0xFF}, "dialog.gif"}, ByteArray{}},
};

// Reads `name` as the type `model` holds, with `model` as the default.
PropertyValue ReadAs(const PropertyBag& bag, std::string_view name, const PropertyValue& model)
{
    return std::visit([&](const auto& fallback) { return PropertyValue(bag.ReadProperty(name, fallback)); }, model);
}

TEST(PropertyBag, EveryTypeReadsBackWhatWasWrittenAndAbsentOrOtherTypeReadsTheDefault)
{
    PropertyBag bag;
    for (const TypedCase& c : kTypedCases)
        bag.WriteProperty(c.name, c.value, c.writeDefault);
    for (const TypedCase& c : kTypedCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ReadAs(bag, c.name, c.writeDefault), c.value);
        EXPECT_EQ(ReadAs(bag, std::string(c.name) + "X", c.writeDefault), c.writeDefault);
    }
    // A stored 16-bit value read as 32 bits is not taken for it.
    EXPECT_EQ(bag.ReadProperty("Visible", int32_t{7}), 7);
}

TEST(PropertyBag, AValueEqualToItsDefaultIsNotStoredAndRemovesAStoredOne)
{
    for (const TypedCase& c : kTypedCases) {
        SCOPED_TRACE(c.name);
        PropertyBag bag;
        bag.WriteProperty("Other", int32_t{1}, int32_t{0});
        bag.WriteProperty(c.name, c.writeDefault, c.writeDefault);
        EXPECT_EQ(bag.find(c.name), nullptr);
        bag.WriteProperty(c.name, c.value, c.writeDefault);
        ASSERT_NE(bag.find(c.name), nullptr);
        bag.WriteProperty(c.name, c.writeDefault, c.writeDefault);
        EXPECT_EQ(bag.find(c.name), nullptr);
        EXPECT_EQ(bag.entries().size(), 1u);
    }
    // Without a default a value is always stored (the control's GIF bytes, even when empty).
    PropertyBag bag;
    bag.WriteProperty("GIF", ByteArray{});
    EXPECT_NE(bag.find("GIF"), nullptr);
}

TEST(PropertyBag, NamesMatchInAnyCaseAndKeepTheirPlaceWhenWrittenAgain)
{
    PropertyBag bag;
    bag.WriteProperty("Caption", std::string("a"), std::string());
    bag.WriteProperty("Delay", int16_t{70}, int16_t{50});
    bag.WriteProperty("CAPTION", std::string("b"), std::string());
    ASSERT_EQ(bag.entries().size(), 2u);
    EXPECT_EQ(bag.entries()[0].second, PropertyValue(std::string("b")));
    EXPECT_EQ(bag.entries()[1].first, "Delay");
    EXPECT_EQ(bag.ReadProperty("delay", int16_t{50}), 70);
    EXPECT_FALSE(SamePropertyName("Delay", "Delay2"));
    EXPECT_FALSE(SamePropertyName("[", "{"));  // differ by 0x20 but are not letters
}

TEST(PropertyBag, ChangeNoticesReachTheListenerAndAreKeptOncePerName)
{
    PropertyBag bag;
    std::vector<std::string> heard;
    bag.setChangeListener([&](std::string_view name) { heard.emplace_back(name); });
    for (const char* name : {"Caption", "Font", "caption", "Enabled"})
        bag.PropertyChanged(name);
    EXPECT_EQ(heard, (std::vector<std::string>{"Caption", "Font", "caption", "Enabled"}));
    EXPECT_EQ(bag.changedNames(), (std::vector<std::string>{"Caption", "Font", "Enabled"}));
    bag.clearChanged();
    bag.PropertyChanged("Font");
    EXPECT_EQ(bag.changedNames(), (std::vector<std::string>{"Font"}));
}

// A canonical file with every type, a control array element and escapes.
constexpr std::string_view kCanonical =
    "[Command1]\n"
    "Enabled = bool False\n"
    "Caption = string \"Save \\\"all\\\" \\\\ \\x09\\x7F \xC3\xA9\"\n"
    "FirstRun = byte 0\n"
    "Font = font \"MS Sans Serif\" size=8.25 weight=700 italic=1 underline=0 strikethrough=1 charset=238\n"
    "FontColour = colour &H8000000F\n"
    "Visible = int16 -32768\n"
    "\n"
    "[Img_BGM(2)]\n"
    "\n"
    "[ucAniGIF1]\n"
    "GIF = bytes \"dialog_bgm.gif\"\n"
    "Delay = int32 -2147483648\n"
    "MouseIcon = picture \"hand-1.cur\"\n";

TEST(DesignData, ACanonicalFileReadsAllValuesAndWritesBackTheSameBytes)
{
    DesignDataResult result = ParseDesignData(kCanonical);
    ASSERT_TRUE(result.data) << result.errorLine << ": " << result.error;
    const DesignData& data = *result.data;
    ASSERT_EQ(data.controls.size(), 3u);
    const ControlData* command = data.find("command1");
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(command->bag.ReadProperty("Caption", std::string()), "Save \"all\" \\ \t\x7F \xC3\xA9");
    EXPECT_EQ(command->bag.ReadProperty("Font", kTahoma),
        (StoredFont{"MS Sans Serif", 82500, 700, true, false, true, 238}));
    EXPECT_EQ(command->bag.ReadProperty("FontColour", StoredColour{}).value, 0x8000000Fu);
    EXPECT_EQ(command->bag.ReadProperty("Visible", int16_t{1}), -32768);
    ASSERT_NE(data.find("Img_BGM", 2), nullptr);
    EXPECT_EQ(data.find("Img_BGM"), nullptr);
    const ControlData* gif = data.find("ucAniGIF1");
    ASSERT_NE(gif, nullptr);
    EXPECT_EQ(gif->bag.ReadProperty("Delay", int32_t{50}), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(gif->bag.ReadProperty("MouseIcon", PictureRef{}).asset, "hand-1.cur");
    EXPECT_EQ(WriteDesignData(data), kCanonical);
}

TEST(DesignData, AControlReadsInItsOwnOrderWhateverTheFileOrderAndWritesTheFileBack)
{
    // A push button reads Enabled, Caption, Font, FirstRun, FontColour, Visible and writes Enabled,
    // Caption, FirstRun, Font, FontColour, Visible; this file has its values in another order.
    auto result = ParseDesignData(
        "# written by hand\r\n[Command1]\r\n  Visible = int16 0\r\nFirstRun=byte   0\r\n\tCaption = string \"Go\"\r\n");
    ASSERT_TRUE(result.data) << result.errorLine << ": " << result.error;
    const PropertyBag& bag = result.data->find("Command1")->bag;
    bool enabled = bag.ReadProperty("Enabled", true);
    std::string caption = bag.ReadProperty("Caption", std::string("Command"));
    StoredFont font = bag.ReadProperty("Font", kTahoma);
    uint8_t firstRun = bag.ReadProperty("FirstRun", uint8_t{1});
    StoredColour colour = bag.ReadProperty("FontColour", StoredColour{});
    int16_t visible = bag.ReadProperty("Visible", int16_t{1});
    EXPECT_EQ(enabled, true);
    EXPECT_EQ(caption, "Go");
    EXPECT_EQ(font, kTahoma);
    EXPECT_EQ(firstRun, 0);
    EXPECT_EQ(colour.value, 0u);
    EXPECT_EQ(visible, 0);

    // Written back in the control's order into a fresh bag: only what differs from the defaults.
    DesignData saved;
    saved.controls.push_back({"Command1", -1, {}});
    PropertyBag& out = saved.controls[0].bag;
    out.WriteProperty("Enabled", enabled, true);
    out.WriteProperty("Caption", caption, std::string("Command"));
    out.WriteProperty("FirstRun", firstRun, uint8_t{1});
    out.WriteProperty("Font", font, kTahoma);
    out.WriteProperty("FontColour", colour, StoredColour{});
    out.WriteProperty("Visible", visible, int16_t{1});
    const std::string canonical = "[Command1]\nCaption = string \"Go\"\nFirstRun = byte 0\nVisible = int16 0\n";
    EXPECT_EQ(WriteDesignData(saved), canonical);
    auto again = ParseDesignData(canonical);
    ASSERT_TRUE(again.data);
    EXPECT_EQ(WriteDesignData(*again.data), canonical);
}

TEST(DesignData, WrittenDataReadsBackEqualAndNamesUnnamedAssets)
{
    DesignData data;
    data.controls.push_back({"Command1", -1, {}});
    data.controls.push_back({"ucAniGIF1", 3, {}});
    for (const TypedCase& c : kTypedCases)
        data.controls[0].bag.WriteProperty(c.name, c.value, c.writeDefault);
    data.controls[1].bag.WriteProperty("GIF", ByteArray{{1, 2, 3}, ""});
    data.controls[1].bag.WriteProperty("MouseIcon", PictureRef{"", {4, 5}});
    data.controls[1].bag.WriteProperty("Font", StoredFont{"X", 5, 0, false, false, false, 0});
    std::string text = WriteDesignData(data);
    auto result = ParseDesignData(text);
    ASSERT_TRUE(result.data) << result.errorLine << ": " << result.error << "\n" << text;
    EXPECT_NE(text.find("GIF = bytes \"ucAniGIF1_3.GIF.bin\""), std::string::npos) << text;
    EXPECT_NE(text.find("MouseIcon = picture \"ucAniGIF1_3.MouseIcon.png\""), std::string::npos) << text;
    EXPECT_NE(text.find("size=0.0005 weight=0"), std::string::npos) << text;

    // Byte arrays come back by name; their bytes arrive from the assets.
    std::map<std::string, std::vector<uint8_t>, std::less<>> assets{
        {"dialog.gif", {0x47, 0x49, 0x46, 0x00, 0xFF}}, {"ucAniGIF1_3.GIF.bin", {1, 2, 3}}, {"hand.cur", {0x89, 0x50}},
        {"ucAniGIF1_3.MouseIcon.png", {4, 5}}};
    auto load = [&](std::string_view name) -> std::optional<std::vector<uint8_t>> {
        auto it = assets.find(name);
        return it == assets.end() ? std::nullopt : std::optional(it->second);
    };
    ASSERT_TRUE(ResolveAssets(*result.data, load));
    for (size_t i = 0; i < 2; ++i) {
        const auto& written = data.controls[i].bag.entries();
        const auto& read = result.data->controls[i].bag.entries();
        ASSERT_EQ(read.size(), written.size());
        for (size_t j = 0; j < read.size(); ++j) {
            EXPECT_EQ(read[j].first, written[j].first);
            EXPECT_EQ(read[j].second, written[j].second) << read[j].first;
        }
    }
    assets.erase("dialog.gif");
    std::string missing;
    EXPECT_FALSE(ResolveAssets(*result.data, load, &missing));
    EXPECT_EQ(missing, "dialog.gif");
}

TEST(DesignData, BadLinesAreRefusedWithTheirLineNumber)
{
    struct Case {
        std::string_view body;  // follows "[C]\nA = bool True\n", so its first line is line 3
        size_t line;
    };
    const Case cases[] = {
        {"B = bool true\n", 3},
        {"B = byte 256\n", 3},
        {"B = byte -1\n", 3},
        {"B = int16 32768\n", 3},
        {"B = int32 2147483648\n", 3},
        {"B = int32 +5\n", 3},
        {"B = int32 5x\n", 3},
        {"B = colour &H123456789\n", 3},
        {"B = colour &HG\n", 3},
        {"B = colour 12\n", 3},
        {"B = string \"open\n", 3},
        {"B = string \"a\" b\n", 3},
        {"B = string \"\\q\"\n", 3},
        {"B = string \"\\x4\"\n", 3},
        {"B = string \"\\\n", 3},
        {"B = font \"A\" size=8.25 weight=400 italic=2 underline=0 strikethrough=0 charset=0\n", 3},
        {"B = font \"A\" size=8.12345 weight=400 italic=0 underline=0 strikethrough=0 charset=0\n", 3},
        {"B = font \"A\" size=8. weight=400 italic=0 underline=0 strikethrough=0 charset=0\n", 3},
        {"B = font \"A\" weight=400 size=8 italic=0 underline=0 strikethrough=0 charset=0\n", 3},
        {"B = font \"A\" size=8 weight=400 italic=0 underline=0 strikethrough=0\n", 3},
        {"B = font \"A\" size=8 weight=400 italic=0 underline=0 strikethrough=0 charset=0 x\n", 3},
        {"B = bytes \"../x.gif\"\n", 3},
        {"B = bytes \"a/b\"\n", 3},
        {"B = bytes \"..\"\n", 3},
        {"B = picture \"\"\n", 3},
        {"B = float 1\n", 3},
        {"B bool True\n", 3},
        {"2B = bool True\n", 3},
        {"\n# fine\n\na = bool False\n", 6},
        {"[C(1)]\n[c]\n", 4},
        {"[D(-1)]\n", 3},
        {"[D(40000)]\n", 3},
        {"[D(1]\n", 3},
        {"[D x]\n", 3},
        {"[]\n", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        auto result = ParseDesignData("[C]\nA = bool True\n" + std::string(c.body));
        EXPECT_FALSE(result.data);
        EXPECT_EQ(result.errorLine, c.line);
        EXPECT_FALSE(result.error.empty());
    }
    // A file that ends inside a string, from a buffer of exactly its size (so that a read past the
    // end shows under the address sanitizer).
    for (std::string_view cut : {"[C]\nB = string \"open", "[C]\nB = string \"\\", "[C]\nB = string \"\\x4"}) {
        SCOPED_TRACE(cut);
        std::vector<char> exact(cut.begin(), cut.end());
        auto result = ParseDesignData(std::string_view(exact.data(), exact.size()));
        EXPECT_FALSE(result.data);
        EXPECT_EQ(result.errorLine, 2u);
    }
    auto orphan = ParseDesignData("\n# before any control\nA = bool True\n");
    EXPECT_FALSE(orphan.data);
    EXPECT_EQ(orphan.errorLine, 3u);
}

TEST(PropertyBag, APictureIsThePlatformPicturesStreamBehindTheBagsHeaderWithItsFileFromByte54)
{
    const std::vector<uint8_t> gif = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01, 0x00, 0x80, 0x00, 0x00,
                                      0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, 0x00,
                                      0x00, 0x2C, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x02,
                                      0x44, 0x01, 0x00, 0x3B};
    const std::vector<uint8_t> value = SerialisePicture("myGIF", PictureObject{gif});
    ASSERT_EQ(value.size(), kPictureHeaderBytes + gif.size());
    EXPECT_EQ(std::string(value.begin(), value.begin() + 13), std::string("PPIC\x33\0\0\0myGIF", 13));
    EXPECT_EQ(std::vector<uint8_t>(value.begin() + kPictureHeaderBytes, value.end()), gif);
    // The platform's picture object (OLE's on Windows) saves what a picture keeping its file does.
    EXPECT_EQ(std::vector<uint8_t>(value.begin() + kPictureBagHeaderBytes, value.end()), LoadFilePicture(gif)->Save());
    EXPECT_TRUE(SerialisePicture("myGIF", PictureObject{}).empty());
}

}  // namespace
}  // namespace pap::forms
