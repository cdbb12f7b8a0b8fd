#pragma once

// The push button's skin pictures: one 64 x 25 picture per look, a rounded button outline on the
// dialog's face colour. The button copies only a 4-pixel frame of each; the centre is never shown.

#include "gfx/surface.h"

namespace pap {

enum class CommandLook { Normal, HighLight, HighLightSelect, Selected, Pressed, Disable };

// The sizes of every skin picture, in pixels.
constexpr int kCommandSkinWidth = 64;
constexpr int kCommandSkinHeight = 25;

// The picture of a look, decoded on first use and kept for the life of the program. For every look
// of the enumeration it is kCommandSkinWidth x kCommandSkinHeight; an empty surface otherwise.
const gfx::Surface& CommandSkin(CommandLook look);

}  // namespace pap
