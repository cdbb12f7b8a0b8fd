// Painting an 81 x 25 push button, ours (gradient, eight skin sections and the caption through the
// platform's text service) against the same look drawn with cairo and pango, which a GTK button's
// theme would use: a rounded outline, a vertical gradient and a centred caption.

#include <benchmark/benchmark.h>
#include <pango/pangocairo.h>

#include "controls/button/command.h"
#include "forms/app.h"
#include "forms/fake_ui.h"
#include "forms/form.h"

namespace {

using namespace pap;

// A form holding one button, loaded on the recording window system (no display needed).
struct ButtonOnAForm {
    testing::FakeUi ui;
    forms::App app{ui, "", ""};
    forms::Form form{app, "Bench"};
    Command button{form};
    testing::FakeWindow* window = nullptr;

    ButtonOnAForm()
    {
        form.setScaleMode(forms::ScaleMode::Pixels);
        form.setFont(FontSpec{"ＭＳ Ｐゴシック", 9.75, 400, false, false, false, 128});
        form.Move(0, 0, 200 * 15, 100 * 15);
        button.Move(20, 20, 81, 25);
        form.Show();
        button.setCaption("One");
        window = ui.windowWithHandle(button.childWindow());
    }
};

// A change of look: the skin and gradient painted, then the window's paint with the caption.
void BM_CommandLookChange(benchmark::State& state)
{
    ButtonOnAForm bench;
    gfx::Surface shown(81, 25);
    int16_t enabled = -1;
    for (auto _ : state) {
        enabled = enabled == -1 ? 0 : -1;  // Normal and Disable in turn, each a whole repaint
        bench.button.EnabledLet(enabled);
        bench.window->events().onPaint(shown);
        benchmark::DoNotOptimize(shown.data());
    }
}
BENCHMARK(BM_CommandLookChange);

// The same button look with cairo and pango into an 81 x 25 image surface.
void BM_CairoPangoButton(benchmark::State& state)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 81, 25);
    cairo_t* cr = cairo_create(surface);
    PangoLayout* layout = pango_cairo_create_layout(cr);
    PangoFontDescription* font = pango_font_description_from_string("IPAPGothic 9.75");
    pango_layout_set_font_description(layout, font);
    pango_layout_set_text(layout, "One", -1);
    bool dark = false;
    for (auto _ : state) {
        dark = !dark;
        cairo_set_source_rgb(cr, 0xEC / 255.0, 0xE9 / 255.0, 0xD8 / 255.0);
        cairo_paint(cr);
        cairo_pattern_t* gradient = cairo_pattern_create_linear(0, 0, 0, 24);
        cairo_pattern_add_color_stop_rgb(gradient, dark ? 1 : 0, 1, 1, 1);
        cairo_pattern_add_color_stop_rgb(gradient, dark ? 0 : 1, 0xC6 / 255.0, 0xC5 / 255.0, 0xD7 / 255.0);
        cairo_new_sub_path(cr);
        cairo_arc(cr, 78, 3, 2.5, -G_PI / 2, 0);
        cairo_arc(cr, 78, 22, 2.5, 0, G_PI / 2);
        cairo_arc(cr, 3, 22, 2.5, G_PI / 2, G_PI);
        cairo_arc(cr, 3, 3, 2.5, G_PI, 3 * G_PI / 2);
        cairo_close_path(cr);
        cairo_set_source(cr, gradient);
        cairo_fill_preserve(cr);
        cairo_set_source_rgb(cr, 0, 0x3C / 255.0, 0x74 / 255.0);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
        cairo_pattern_destroy(gradient);
        int width = 0, height = 0;
        pango_layout_get_pixel_size(layout, &width, &height);
        cairo_move_to(cr, (81 - width) / 2.0, (25 - height) / 2.0);
        cairo_set_source_rgb(cr, 0, 0, 0);
        pango_cairo_show_layout(cr, layout);
        cairo_surface_flush(surface);
        benchmark::DoNotOptimize(cairo_image_surface_get_data(surface));
    }
    pango_font_description_free(font);
    g_object_unref(layout);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}
BENCHMARK(BM_CairoPangoButton);

}  // namespace

BENCHMARK_MAIN();
