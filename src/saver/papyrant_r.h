#pragma once

// The preview: a black form with one picture that becomes a child of the preview pane and fills it.

#include <cstdint>

#include "forms/controls.h"
#include "forms/form.h"
#include "gfx/surface.h"

namespace pap {

struct SaverProgram;

class Papyrant_R : public forms::Form {
public:
    Papyrant_R(forms::App& app, gfx::Surface picture);

    forms::Image Img_Prev{*this, true};
};

// The preview branch of Main: embeds Papyrant_R into the pane with the given handle and shows it.
// A handle that names no window, or a pane that will not take the form, ends the program at once:
// the preview never runs without a parent.
void EmbedPreview(SaverProgram& program, int32_t handle);

// The picture shown in the preview, compiled into the program; empty if it cannot be decoded.
gfx::Surface PreviewPicture();

}  // namespace pap
