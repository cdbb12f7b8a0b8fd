// The animated-GIF control painting a frame onto its form's picture (composition and blit): a 120 x 50
// animation at its size, and stretched to 500 x 500 (halftone), against gdk-pixbuf compositing the same
// animation's frame and scaling it (what a GTK program showing the GIF would do).

#include <benchmark/benchmark.h>
// GdkPixbuf's animation iterator still takes the deprecated GTimeVal.
#define GLIB_DISABLE_DEPRECATION_WARNINGS
#include <gdk-pixbuf/gdk-pixbuf.h>

#include "controls/anigif/ani_gif_control.h"
#include "control_animation.h"
#include "forms/app.h"
#include "forms/fake_ui.h"
#include "forms/form.h"

namespace {

using namespace pap;

struct GifOnAForm {
    testing::FakeUi ui;
    forms::App app{ui, "", ""};
    forms::Form form{app, "Bench"};
    AniGifControl gif{form};
    gfx::Surface picture;

    GifOnAForm(int width, int height, int stretch)
    {
        form.setScaleMode(forms::ScaleMode::Pixels);
        form.Move(0, 0, (width + 20) * 15, (height + 20) * 15);
        gif.Move(10, 10, width, height);
        form.Show();
        gif.setDelayAnimation(2);
        gif.setStretch(stretch);
        std::vector<uint8_t> bytes = bench::ControlAnimation();
        gif.LoadAnimatedGIF_Array(bytes.data(), 1, {bytes.size()});
        app.RunUntil([this] { return ui.now > 1100; });  // the deferred decode
        picture = gfx::Surface(width + 20, height + 20, gfx::Rgb(0xEC, 0xE9, 0xD8));
    }
};

void BM_ControlFrame(benchmark::State& state)
{
    const int side = static_cast<int>(state.range(0));
    GifOnAForm bench(side == 0 ? 120 : side, side == 0 ? 50 : side, side == 0 ? 4 : 2);
    for (auto _ : state) {
        bench.gif.setAction(3);  // the next frame
        bench.gif.paint(bench.picture, bench.gif.pixelRect());
        benchmark::DoNotOptimize(bench.picture.data());
    }
}
BENCHMARK(BM_ControlFrame)->Arg(0)->Arg(500)->ArgName("stretchedTo");

void BM_GdkPixbufFrame(benchmark::State& state)
{
    const int side = static_cast<int>(state.range(0));
    std::vector<uint8_t> bytes = bench::ControlAnimation();
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("gif", nullptr);
    gdk_pixbuf_loader_write(loader, bytes.data(), bytes.size(), nullptr);
    gdk_pixbuf_loader_close(loader, nullptr);
    GdkPixbufAnimation* animation = gdk_pixbuf_loader_get_animation(loader);
    GTimeVal time{0, 0};
    GdkPixbufAnimationIter* iter = gdk_pixbuf_animation_get_iter(animation, &time);
    const int width = side == 0 ? 120 : side, height = side == 0 ? 50 : side;
    GdkPixbuf* target = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, width, height);
    for (auto _ : state) {
        time.tv_usec += 100000;
        if (time.tv_usec >= 1000000) {
            time.tv_usec -= 1000000;
            ++time.tv_sec;
        }
        gdk_pixbuf_animation_iter_advance(iter, &time);
        GdkPixbuf* frame = gdk_pixbuf_animation_iter_get_pixbuf(iter);
        gdk_pixbuf_fill(target, 0xECE9D8FF);
        gdk_pixbuf_composite(frame, target, 0, 0, width, height, 0, 0, width / 120.0, height / 50.0,
                             side == 0 ? GDK_INTERP_NEAREST : GDK_INTERP_HYPER, 255);
        benchmark::DoNotOptimize(gdk_pixbuf_get_pixels(target));
    }
    g_object_unref(target);
    g_object_unref(iter);
    g_object_unref(loader);
}
BENCHMARK(BM_GdkPixbufFrame)->Arg(0)->Arg(500)->ArgName("stretchedTo");

}  // namespace

BENCHMARK_MAIN();
