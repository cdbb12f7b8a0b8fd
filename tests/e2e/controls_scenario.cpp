#include "e2e/controls_scenario.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "controls/button/skins.h"

namespace pap::e2e {

namespace {

constexpr const char* kTitle = "Papyrant controls";

// The buttons' places on the screen: the form sits at the top-left corner.
struct Place {
    int x, y, width, height;
};
constexpr Place kOne{20, 20, 81, 25};
constexpr Place kTwo{120, 20, 81, 25};

bool Same(Rgb a, gfx::Pixel p) { return a.r == gfx::Red(p) && a.g == gfx::Green(p) && a.b == gfx::Blue(p); }

// Whether the button at `place` shows the frame of `look` (the four corners 1:1 from its skin) and a
// gradient light at the top (or dark, with `darkTop`).
bool ShowsLook(const Screenshot& shot, Place place, CommandLook look, bool darkTop)
{
    const gfx::Surface& skin = CommandSkin(look);
    const int W = place.width, H = place.height;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            if (!Same(shot.at(place.x + x, place.y + y), skin.at(x, y)) ||
                !Same(shot.at(place.x + W - 4 + x, place.y + y), skin.at(60 + x, y)) ||
                !Same(shot.at(place.x + x, place.y + H - 4 + y), skin.at(x, 21 + y)))
                return false;
        }
    const Rgb top = shot.at(place.x + W - 5, place.y + 4), bottom = shot.at(place.x + W - 5, place.y + H - 5);
    return darkTop ? top.r < bottom.r : top.r > bottom.r;
}

// The program's output with Windows line ends made plain.
std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::string all = text.str();
    std::erase(all, '\r');
    return all;
}

size_t Count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

}  // namespace

void RunControlsDemoScenario(const ControlsDemoRun& run)
{
    XServer& x = *run.x;
    auto save = [&](const Screenshot& shot, const std::string& name) {
        if (!run.screenshotDir.empty())
            savePng(shot, run.screenshotDir + "/" + run.prefix + name + ".png");
    };
    auto waitForLook = [&](Place place, CommandLook look, bool darkTop, Milliseconds timeout) {
        return x.waitForScreen([&](const Screenshot& shot) { return ShowsLook(shot, place, look, darkTop); },
                               timeout);
    };
    // The pointer starts on the bare desktop.
    x.movePointer(600, 500);
    std::unique_ptr<Process> demo = run.start(run.log);
    ASSERT_TRUE(demo);
    std::optional<WindowId> window = x.waitForShownWindow(kTitle, run.startTimeout);
    ASSERT_TRUE(window) << "no window titled " << kTitle;

    std::optional<Screenshot> shot = waitForLook(kOne, CommandLook::Normal, false, Milliseconds(10000));
    ASSERT_TRUE(shot) << "One never showed its normal look";
    save(*shot, "normal");
    EXPECT_TRUE(ShowsLook(*shot, kTwo, CommandLook::Disable, false)) << "Two is not disabled";

    // The label shows real glyphs: the long-vowel mark is a short horizontal stroke, which an empty box
    // (every glyph a full-height outline) never is.
    {
        int shortColumns = 0, tallColumns = 0, run_ = 0;
        for (int cx = 20; cx < 200; ++cx) {
            int top = -1, bottom = -1;
            for (int cy = 58; cy < 80; ++cy) {
                Rgb p = shot->at(cx, cy);
                if (p.r + p.g + p.b < 3 * 110) {
                    if (top < 0)
                        top = cy;
                    bottom = cy;
                }
            }
            if (top >= 0 && bottom - top >= 8)
                ++tallColumns;
            run_ = top >= 0 && bottom - top <= 2 ? run_ + 1 : 0;
            shortColumns = std::max(shortColumns, run_);
        }
        EXPECT_GE(tallColumns, 10) << "the label shows too little ink";
        EXPECT_GE(shortColumns, 4) << "no glyph of the label is a short stroke: empty boxes?";
    }

    // Over "One": the hover look, light at the bottom.
    x.movePointer(kOne.x + 12, kOne.y + 12);
    shot = waitForLook(kOne, CommandLook::HighLight, true, Milliseconds(5000));
    ASSERT_TRUE(shot) << "no hover look";
    save(*shot, "hover");

    // Away again, without a click: the normal look, once the pointer watch has seen it leave.
    x.movePointer(300, 180);
    auto left = std::chrono::steady_clock::now();
    shot = waitForLook(kOne, CommandLook::Normal, false, Milliseconds(5000));
    auto took = std::chrono::duration_cast<Milliseconds>(std::chrono::steady_clock::now() - left);
    ASSERT_TRUE(shot) << "the hover look stayed";
    std::printf("normal look %lld ms after the pointer left\n", static_cast<long long>(took.count()));
    EXPECT_LE(took.count(), 600) << "the pointer watch is slow";

    // Press: the pressed look; release: one Click, and the focused looks.
    x.movePointer(kOne.x + 12, kOne.y + 12);
    ASSERT_TRUE(waitForLook(kOne, CommandLook::HighLight, true, Milliseconds(5000)));
    x.pointerButton(1, true);
    shot = waitForLook(kOne, CommandLook::Pressed, true, Milliseconds(5000));
    ASSERT_TRUE(shot) << "no pressed look";
    save(*shot, "pressed");
    x.pointerButton(1, false);
    shot = waitForLook(kOne, CommandLook::HighLightSelect, true, Milliseconds(5000));
    ASSERT_TRUE(shot) << "no focused hover look after the release";
    save(*shot, "released");
    x.movePointer(300, 180);
    shot = waitForLook(kOne, CommandLook::Selected, false, Milliseconds(5000));
    ASSERT_TRUE(shot) << "no focused look once the pointer left";
    save(*shot, "focused");

    // Clicks on the disabled "Two" do nothing.
    x.movePointer(kTwo.x + 12, kTwo.y + 12);
    x.pointerButton(1, true);
    x.pointerButton(1, false);
    x.movePointer(300, 180);
    std::this_thread::sleep_for(Milliseconds(700));
    shot = x.screenshot();
    EXPECT_TRUE(ShowsLook(*shot, kTwo, CommandLook::Disable, false));
    save(*shot, "two");

    const std::string output = ReadAll(run.log);
    EXPECT_EQ(Count(output, "Click One\n"), 1u) << output;
    EXPECT_EQ(Count(output, "Click"), 1u) << output;

    // Closing the window ends the program.
    ASSERT_TRUE(x.sendCloseRequest(*window));
    std::optional<int> code = demo->wait(Milliseconds(10000));
    ASSERT_TRUE(code) << "controls_demo still runs after its window was closed";
    EXPECT_EQ(*code, 0);
}

}  // namespace pap::e2e
