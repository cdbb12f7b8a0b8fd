#include "controls/button/skins.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace pap {
namespace {

using gfx::Pixel;
using gfx::Rgb;

constexpr Pixel kFace = Rgb(0xEC, 0xE9, 0xD8);
constexpr Pixel kOutline = Rgb(0x00, 0x3C, 0x74);
constexpr Pixel kGreyOutline = Rgb(0xC9, 0xC7, 0xBA);
constexpr int kFrame = 4;  // the width of the frame the button copies from a skin

struct Look {
    CommandLook look;
    const char* name;
};

constexpr std::array<Look, 6> kLooks = {{
    {CommandLook::Normal, "Normal"},
    {CommandLook::HighLight, "HighLight"},
    {CommandLook::HighLightSelect, "HighLightSelect"},
    {CommandLook::Selected, "Selected"},
    {CommandLook::Pressed, "Pressed"},
    {CommandLook::Disable, "Disable"},
}};

// The pixels of the 4-pixel frame, row by row.
std::vector<Pixel> Frame(const gfx::Surface& skin)
{
    std::vector<Pixel> frame;
    for (int y = 0; y < skin.height(); ++y)
        for (int x = 0; x < skin.width(); ++x)
            if (x < kFrame || x >= skin.width() - kFrame || y < kFrame || y >= skin.height() - kFrame)
                frame.push_back(skin.at(x, y));
    return frame;
}

TEST(CommandSkins, EveryLookIsA64By25Picture)
{
    for (const Look& l : kLooks) {
        const gfx::Surface& skin = CommandSkin(l.look);
        EXPECT_EQ(skin.width(), 64) << l.name;
        EXPECT_EQ(skin.height(), 25) << l.name;
    }
}

// From the edge inwards, at the middle of each side: the rings a look shows before its inside.
TEST(CommandSkins, OutlineSitsAtItsInsetOnTheFaceColour)
{
    struct Case {
        CommandLook look;
        const char* name;
        std::vector<Pixel> rings;
    };
    const Case cases[] = {
        {CommandLook::Normal, "Normal", {kFace, kOutline}},
        {CommandLook::HighLight, "HighLight", {kFace, kOutline}},
        {CommandLook::Selected, "Selected", {kFace, kOutline}},
        {CommandLook::Pressed, "Pressed", {kFace, kFace, kOutline}},
        {CommandLook::Disable, "Disable", {kFace, kGreyOutline}},
    };
    for (const Case& c : cases) {
        const gfx::Surface& skin = CommandSkin(c.look);
        ASSERT_FALSE(skin.empty());
        const int w = skin.width(), h = skin.height();
        for (int i = 0; i < static_cast<int>(c.rings.size()); ++i) {
            const std::string where = std::string(c.name) + ", ring " + std::to_string(i);
            EXPECT_EQ(skin.at(w / 2, i), c.rings[i]) << where << ", top";
            EXPECT_EQ(skin.at(w / 2, h - 1 - i), c.rings[i]) << where << ", bottom";
            EXPECT_EQ(skin.at(i, h / 2), c.rings[i]) << where << ", left";
            EXPECT_EQ(skin.at(w - 1 - i, h / 2), c.rings[i]) << where << ", right";
        }
        // Just inside the outline the picture is no longer the outline colour.
        const size_t inside = c.rings.size();
        EXPECT_NE(skin.at(w / 2, static_cast<int>(inside)), c.rings.back()) << c.name;
        // The corners are rounded: the corner pixel of the outline's ring is not the outline colour.
        const int corner = static_cast<int>(inside) - 1;
        EXPECT_NE(skin.at(corner, corner), c.rings.back()) << c.name;
    }
}

TEST(CommandSkins, HighLightSelectIsTheHighLightPicture)
{
    EXPECT_EQ(CommandSkin(CommandLook::HighLightSelect), CommandSkin(CommandLook::HighLight));
}

TEST(CommandSkins, FramesTellEveryLookApartExceptTheHighLightPair)
{
    for (size_t a = 0; a < kLooks.size(); ++a) {
        for (size_t b = a + 1; b < kLooks.size(); ++b) {
            const bool pair = kLooks[a].look == CommandLook::HighLight && kLooks[b].look == CommandLook::HighLightSelect;
            if (pair)
                continue;
            EXPECT_NE(Frame(CommandSkin(kLooks[a].look)), Frame(CommandSkin(kLooks[b].look)))
                << kLooks[a].name << " and " << kLooks[b].name;
        }
    }
}

TEST(CommandSkins, OutOfRangeLookIsEmpty)
{
    EXPECT_TRUE(CommandSkin(static_cast<CommandLook>(6)).empty());
}

}  // namespace
}  // namespace pap
