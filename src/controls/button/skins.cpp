#include "controls/button/skins.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>

#include "controls/button/skin_pictures.h"
#include "gfx/artwork.h"

namespace pap {

namespace {

constexpr size_t kLookCount = 6;
constexpr gfx::Pixel kFaceColour = gfx::Rgb(0xEC, 0xE9, 0xD8);

gfx::Surface Decode(const uint8_t* data, size_t size)
{
    std::optional<gfx::Surface> picture = gfx::DecodePng(std::span<const uint8_t>(data, size));
    if (picture && picture->width() == kCommandSkinWidth && picture->height() == kCommandSkinHeight)
        return *std::move(picture);
    // The pictures are our own and tested; should one ever fail to decode, a plain face-coloured
    // picture still lets the button paint.
    return gfx::Surface(kCommandSkinWidth, kCommandSkinHeight, kFaceColour);
}

// In the order of CommandLook.
std::array<gfx::Surface, kLookCount> DecodeAll()
{
    return {
        Decode(kCommandSkin_normal, kCommandSkin_normalSize),
        Decode(kCommandSkin_highlight, kCommandSkin_highlightSize),
        Decode(kCommandSkin_highlightselect, kCommandSkin_highlightselectSize),
        Decode(kCommandSkin_selected, kCommandSkin_selectedSize),
        Decode(kCommandSkin_pressed, kCommandSkin_pressedSize),
        Decode(kCommandSkin_disable, kCommandSkin_disableSize),
    };
}

}  // namespace

const gfx::Surface& CommandSkin(CommandLook look)
{
    static const std::array<gfx::Surface, kLookCount> skins = DecodeAll();
    static const gfx::Surface none;
    size_t index = static_cast<size_t>(look);
    return index < skins.size() ? skins[index] : none;
}

}  // namespace pap
