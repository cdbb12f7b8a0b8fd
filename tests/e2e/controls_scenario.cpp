#include "e2e/controls_scenario.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "controls/anigif/gif_builder.h"
#include "controls/button/skins.h"
#include "support/http_test_server.h"
#include "tools/gif_dump.h"

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
    std::unique_ptr<Process> demo = run.start(run.log, {});
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

namespace {

constexpr int kGifWidth = 40, kGifHeight = 20;
constexpr int kGifX = 20, kGifY = 100;
constexpr unsigned kDelays[4] = {20, 30, 40, 50};  // 1/100 s

// Frame k (1 .. 4): index 0 (transparent) where (x + y + k) % 4 == 0, else 1 + k % 3; disposal 2, so
// each frame shows over the form alone. One loop.
std::vector<uint8_t> FourFrameGif()
{
    using namespace anigif::test;
    Bytes out;
    Header(out, "GIF89a", kGifWidth, kGifHeight, 0x81);
    out.insert(out.end(), {0, 0, 0, 200, 40, 40, 40, 160, 40, 40, 40, 200});
    Application(out, "NETSCAPE2.0", {0x01, 0x01, 0x00});
    for (unsigned k = 1; k <= 4; ++k) {
        Gce(out, 2, kDelays[k - 1], true, 0);
        Descriptor(out, 0, 0, kGifWidth, kGifHeight, 0);
        std::vector<unsigned> codes = {4};
        for (int y = 0; y < kGifHeight; ++y)
            for (int x = 0; x < kGifWidth; ++x)
                codes.push_back((x + y + int(k)) % 4 == 0 ? 0 : 1 + k % 3);
        codes.push_back(5);
        ImageData(out, 2, PackCodes(2, codes));
    }
    out.push_back(0x3B);
    return out;
}

using Picture = std::vector<Rgb>;

Picture Region(const Screenshot& shot)
{
    Picture p;
    for (int y = 0; y < kGifHeight; ++y)
        for (int x = 0; x < kGifWidth; ++x)
            p.push_back(shot.at(x, y));
    return p;
}

bool SamePicture(const Picture& a, const Picture& b)
{
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].r != b[i].r || a[i].g != b[i].g || a[i].b != b[i].b)
            return false;
    return a.size() == b.size();
}

}  // namespace

void RunGifScenario(const ControlsDemoRun& run, const std::string& workDir,
                    const std::function<std::string(const std::string& hostPath)>& nameForProgram)
{
    XServer& x = *run.x;
    const std::string gifPath = workDir + "/four.gif";
    {
        std::vector<uint8_t> bytes = FourFrameGif();
        std::ofstream out(gifPath, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    // What gifdump paints for each frame, over the form's colour.
    ASSERT_TRUE(tools::DumpGif(gifPath, workDir + "/dump"));
    const Rgb face{0xEC, 0xE9, 0xD8};
    std::vector<Picture> expected;
    for (int k = 1; k <= 4; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "/dump/frame-%03d.rgba", k);
        const std::string rgba = ReadAll(workDir + name);
        ASSERT_EQ(rgba.size(), size_t(kGifWidth * kGifHeight * 4)) << name;
        Picture p;
        for (size_t i = 0; i < rgba.size(); i += 4)
            p.push_back(uint8_t(rgba[i + 3]) == 0 ? face : Rgb{uint8_t(rgba[i]), uint8_t(rgba[i + 1]), uint8_t(rgba[i + 2])});
        expected.push_back(std::move(p));
    }

    x.movePointer(600, 500);
    std::unique_ptr<Process> demo = run.start(run.log, {nameForProgram(gifPath)});
    ASSERT_TRUE(demo);
    ASSERT_TRUE(x.waitForShownWindow(kTitle, run.startTimeout));

    // Which frame is on show, sampled as fast as the screen is read, until the loops have run out.
    std::vector<std::pair<int, double>> changes;  // frame, seconds since the first sample
    const auto begin = std::chrono::steady_clock::now();
    int last = 0;
    while (std::chrono::steady_clock::now() - begin < std::chrono::seconds(run.startTimeout.count() > 20000 ? 12 : 6)) {
        Screenshot shot = x.screenshot(kGifX, kGifY, kGifWidth, kGifHeight);
        if (shot.width == 0)
            continue;
        const Picture seen = Region(shot);
        int frame = 0;
        for (int k = 0; k < 4; ++k)
            if (SamePicture(seen, expected[size_t(k)]))
                frame = k + 1;
        if (frame != 0 && frame != last) {
            changes.emplace_back(frame, std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
            last = frame;
        }
        if (changes.size() >= 5)
            break;
    }
    std::string order;
    for (auto& [frame, at] : changes)
        order += std::to_string(frame);
    // Frame 1 from the start, the others in order once each, then back to frame 1 where the loop ended.
    ASSERT_EQ(order, "12341") << "frames seen in this order";
    for (size_t i = 1; i + 1 < changes.size(); ++i) {
        const double shown = changes[i + 1].second - changes[i].second;
        const double want = kDelays[changes[i].first - 1] / 100.0;
        std::printf("frame %d shown %.0f ms (delay %.0f ms)\n", changes[i].first, shown * 1000, want * 1000);
        EXPECT_NEAR(shown, want, 0.030) << "frame " << changes[i].first;
    }

    // The loop ended: LoopsEnded once; a click on a transparent pixel of frame 1 is the control's.
    std::this_thread::sleep_for(Milliseconds(300));
    if (!run.screenshotDir.empty())
        savePng(x.screenshot(), run.screenshotDir + "/" + run.prefix + "gif_rest.png");
    x.movePointer(kGifX + 3, kGifY);
    x.pointerButton(1, true);
    x.pointerButton(1, false);
    std::string output;
    for (int i = 0; i < 50 && Count(output, "Click GIF") == 0; ++i) {
        std::this_thread::sleep_for(Milliseconds(100));
        output = ReadAll(run.log);
    }
    EXPECT_EQ(Count(output, "LoopsEnded\n"), 1u) << output;
    EXPECT_EQ(Count(output, "Click GIF\n"), 1u) << output;
}

void RunRemoteScenario(const ControlsDemoRun& run)
{
    XServer& x = *run.x;
    test::HttpTestServer server;
    const std::vector<uint8_t> gif = FourFrameGif();
    server.add("/four.gif", std::string(gif.begin(), gif.end()));
    server.add("/short.gif", std::string(gif.begin(), gif.begin() + 14));
    server.add("/text.gif", "This is a text file, not a picture at all.");
    struct Case {
        const char* path;
        const char* output;
    };
    const Case cases[] = {
        {"/four.gif", "RemoteLoadComplete 40 20\n"},
        {"/missing.gif", "RemoteLoadFailure\n"},
        {"/short.gif", "RemoteLoadFailure\n"},
        {"/text.gif", "RemoteLoadFailure\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const std::string log = run.log + std::string(c.path).substr(1) + ".log";
        std::unique_ptr<Process> demo = run.start(log, {"--remote", server.url(c.path)});
        ASSERT_TRUE(demo);
        std::optional<WindowId> window = x.waitForShownWindow(kTitle, run.startTimeout);
        ASSERT_TRUE(window);
        std::string output;
        for (int i = 0; i < 100 && output.find("Remote") == std::string::npos; ++i) {
            std::this_thread::sleep_for(Milliseconds(100));
            output = ReadAll(log);
        }
        EXPECT_EQ(output, c.output);
        if (std::string(c.path) == "/four.gif") {
            // The download plays: its frames come and go.
            std::set<std::string> seen;
            const auto begin = std::chrono::steady_clock::now();
            while (seen.size() < 2 && std::chrono::steady_clock::now() - begin < std::chrono::seconds(5)) {
                Screenshot shot = x.screenshot(kGifX, kGifY, kGifWidth, kGifHeight);
                seen.insert(std::string(shot.rgb.begin(), shot.rgb.end()));
            }
            EXPECT_GE(seen.size(), 2u) << "the downloaded GIF does not play";
            if (!run.screenshotDir.empty())
                savePng(x.screenshot(), run.screenshotDir + "/" + run.prefix + "remote.png");
        }
        ASSERT_TRUE(x.sendCloseRequest(*window));
        ASSERT_TRUE(demo->wait(Milliseconds(10000)));
        ASSERT_TRUE(x.waitForNoWindow(kTitle, Milliseconds(10000)));
    }
}

}  // namespace pap::e2e
