#include "saver/papyrant_r.h"

#include <cmath>

#include "base/conversions.h"
#include "gfx/artwork.h"
#include "saver/papyrant_b.h"
#include "saver/preview_picture.h"

namespace pap {

Papyrant_R::Papyrant_R(forms::App& app, gfx::Surface picture) : forms::Form(app, "Preview Window")
{
    setScaleMode(forms::ScaleMode::Pixels);
    setBackColor(gfx::kBlack);
    Img_Prev.setPicture(std::move(picture));
}

void EmbedPreview(SaverProgram& program, int32_t handle)
{
    forms::App& app = program.app;
    Papyrant_R& form = program.previewForm;
    const NativeWindow pane = WindowFromHandle(handle);

    // 1. The pane must exist: a preview without a parent would be left running for nobody.
    std::optional<ScreenRect> rect = app.ui().windowRect(pane);
    if (!rect) {
        app.End();
        return;
    }

    // 2. The pane's size in twips, as 16-bit numbers: a size that does not fit stays 0.
    const forms::ScreenInfo& screen = app.Screen();
    int16_t widthTwips = RoundToInt16(screen.TwipsPerPixelX * rect->width()).value_or(0);
    int16_t heightTwips = RoundToInt16(screen.TwipsPerPixelY * rect->height()).value_or(0);

    // 3-5. The form's window becomes a child of the pane.
    form.Load();
    UiWindow* window = form.window();
    if (!window) {
        app.End();
        return;
    }
    window->setStyle(window->style() | kWindowStyleChild);
    if (!window->setParent(pane)) {
        app.End();
        return;
    }

    // 6, 7. The form and its picture fill the pane.
    form.Move(0, 0, widthTwips, heightTwips);
    form.Img_Prev.setWidth(widthTwips / screen.TwipsPerPixelX);
    form.Img_Prev.setHeight(heightTwips / screen.TwipsPerPixelY);
    form.Img_Prev.Move(0, 0, form.Img_Prev.Width(), form.Img_Prev.Height());

    // 8.
    form.Show(forms::ShowMode::Modeless);
}

gfx::Surface PreviewPicture()
{
    return gfx::DecodePng(std::span<const uint8_t>(kPreviewPicturePng, kPreviewPicturePngSize)).value_or(gfx::Surface());
}

}  // namespace pap
