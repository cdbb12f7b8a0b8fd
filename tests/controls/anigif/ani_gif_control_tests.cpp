// The animated-GIF control on a form of the recording window system, its timers on the event loop's
// virtual clock: frame times, loops, actions, property rules and the stored values.

#include <gtest/gtest.h>

#include "controls/anigif/ani_gif_control.h"
#include "forms/app.h"
#include "forms/fake_ui.h"
#include "forms/form.h"
#include "platform/url_reader.h"
#include "gif_builder.h"

namespace pap {
namespace {

using anigif::test::Bytes;
using pap::testing::FakeUi;

// A 4 x 4 (or width x height) animation of solid frames (frame i all index i % 4) with the delays in
// 1/100 s, and a loop count when `loops` is not negative.
Bytes Animation(const std::vector<unsigned>& delays, int loops = -1, unsigned width = 4, unsigned height = 4)
{
    using namespace anigif::test;
    Bytes out;
    Header(out, "GIF89a", width, height, 0x81);
    Table(out, 4);
    if (loops >= 0)
        Application(out, "NETSCAPE2.0", {0x01, uint8_t(loops), uint8_t(loops >> 8)});
    for (size_t i = 0; i < delays.size(); ++i) {
        Gce(out, 0, delays[i]);
        Descriptor(out, 0, 0, width, height, 0);
        SolidImage(out, width, height, unsigned(i % 4));
    }
    out.push_back(0x3B);
    return out;
}

class AniGifTest : public ::testing::Test {
protected:
    AniGifTest()
    {
        form.setScaleMode(forms::ScaleMode::Pixels);
        form.Move(0, 0, 200 * 15, 100 * 15);
        gif.setName("GIF1");
        gif.Move(10, 10, 40, 40);
        gif.LoopsEnded = [this] { events.push_back("LoopsEnded@" + std::to_string(ui.now - start)); };
    }

    void show(forms::DesignData* data = nullptr)
    {
        form.setDesignData(data);
        form.Show();
        start = ui.now;
    }
    bool load(const Bytes& bytes) { return gif.LoadAnimatedGIF_Array(bytes.data(), 1, {bytes.size()}); }

    // Runs the loop for `ms` of virtual time, noting each frame change with its time since `start`.
    void run(uint64_t ms)
    {
        const uint64_t end = ui.now + ms;
        app.RunUntil([&] {
            if (gif.currentFrame() != shownFrame) {
                shownFrame = gif.currentFrame();
                frames.push_back(std::to_string(shownFrame) + "@" + std::to_string(ui.now - start));
            }
            return ui.now >= end;
        });
    }

    FakeUi ui;
    forms::App app{ui, "", ""};
    forms::Form form{app, "GIF form"};
    AniGifControl gif{form};
    uint64_t start = 0;
    int shownFrame = -1;
    bool cancelNext = false;
    std::vector<std::string> frames, events;
};

TEST_F(AniGifTest, FrameTimesFollowTheDelaysWithTheMinimumDelay)
{
    show();
    gif.setDelayAnimation(0);  // decode everything at the load and play at once
    ASSERT_TRUE(load(Animation({0, 10})));
    start = ui.now;
    run(320);
    EXPECT_EQ(frames, (std::vector<std::string>{"1@0", "2@50", "1@150", "2@200", "1@300"}));
    EXPECT_EQ(gif.Action(), 1);
}

TEST_F(AniGifTest, LoopsRunOutOnFrameOneWithLoopsEnded)
{
    show();
    // Deferred decode: frame 1 at once, the rest 20 ms later, then the frame timer.
    ASSERT_TRUE(load(Animation({10, 10, 10})));
    gif.setLoops(2);
    start = ui.now;
    run(1000);
    EXPECT_EQ(frames, (std::vector<std::string>{"1@0", "2@120", "3@220", "1@320", "2@420", "3@520", "1@620"}));
    EXPECT_EQ(events, (std::vector<std::string>{"LoopsEnded@620"}));
    EXPECT_EQ(gif.Action(), 0);
    EXPECT_EQ(gif.LoopsRemaining(), 2);
}

TEST_F(AniGifTest, ActionsStepPauseAndSingleFrames)
{
    show();
    gif.setDelayAnimation(2);  // decoded later, not played
    ASSERT_TRUE(load(Animation({10, 10, 10})));
    run(100);
    EXPECT_EQ(gif.Action(), 0);
    // Pausing a stopped animation changes nothing.
    gif.setAction(2);
    EXPECT_EQ(gif.Action(), 0);
    // Step to the last frame, then once more: frame 1, paused.
    gif.setAction(3);
    gif.setAction(3);
    EXPECT_EQ(gif.currentFrame(), 3);
    gif.setAction(3);
    EXPECT_EQ(gif.currentFrame(), 1);
    EXPECT_EQ(gif.Action(), 2);
    // Play, pause, restart.
    gif.setAction(1);
    EXPECT_EQ(gif.Action(), 1);
    gif.setAction(2);
    EXPECT_EQ(gif.Action(), 2);
    gif.setAction(4);
    EXPECT_EQ(gif.Action(), 1);
    EXPECT_EQ(gif.currentFrame(), 1);

    // A single frame never arms the frame timer.
    ASSERT_TRUE(load(Animation({10})));
    frames.clear();
    shownFrame = -1;
    run(1000);
    gif.setAction(1);
    run(500);
    EXPECT_EQ(frames.size(), 1u);
    EXPECT_EQ(gif.Action(), 0);
    EXPECT_EQ(gif.currentFrame(), 1);
}

TEST_F(AniGifTest, PropertyWritesClampIgnoreAndNotice)
{
    forms::DesignData data;
    data.controls.push_back({"GIF1", -1, {}});
    show(&data);
    EXPECT_EQ(gif.LoopsRemaining(), -1);
    gif.setMinFrameDelay(5);
    EXPECT_EQ(gif.MinFrameDelay(), 10);
    gif.setMinFrameDelay(40000);
    EXPECT_EQ(gif.MinFrameDelay(), 32700);
    gif.setLoops(-3);
    EXPECT_EQ(gif.Loops(), 3);
    data.controls[0].bag.clearChanged();
    gif.setLoops(3);
    for (int bad : {5, -1})
        gif.setStretch(bad);
    gif.setMirrored(4);
    gif.setDelayAnimation(-1);
    gif.setDelayAnimation(4);
    EXPECT_TRUE(data.controls[0].bag.changedNames().empty());
    EXPECT_EQ(gif.Stretch(), 1);
    EXPECT_EQ(gif.Mirrored(), 0);
    EXPECT_EQ(gif.DelayAnimation(), 1);

    // Stretch 4 makes the control exactly the picture's size.
    ASSERT_TRUE(load(Animation({10, 10})));
    gif.setStretch(4);
    EXPECT_EQ(gif.Width(), 4);
    EXPECT_EQ(gif.Height(), 4);
    EXPECT_EQ(gif.ActualWidth(), 4);
    EXPECT_EQ(gif.FrameCount(), 2);

    // Array sizes: a 4 x 3 array of 16-bit elements holds 24 bytes.
    EXPECT_EQ(AniGifControl::ArrayByteSize(2, {4, 3}), 24u);
    EXPECT_EQ(AniGifControl::ArrayByteSize(1, {7}), 7u);
    EXPECT_EQ(AniGifControl::ArrayByteSize(2, {4, 3, 2}), 0u);
}

// A 3 x 2 PNG picture.
const Bytes kPointerPng = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44, 0x52, 0x00,
    0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x02, 0x08, 0x02, 0x00, 0x00, 0x00, 0x12, 0x16, 0xf1, 0x4d, 0x00,
    0x00, 0x00, 0x1c, 0x49, 0x44, 0x41, 0x54, 0x78, 0xda, 0x63, 0x60, 0x10, 0x91, 0xe3, 0x12, 0x91, 0x13,
    0x11, 0x91, 0x63, 0x48, 0x11, 0x91, 0xcb, 0x13, 0x91, 0xab, 0x10, 0x91, 0x03, 0x00, 0x14, 0x3c, 0x02,
    0x95, 0x01, 0x1a, 0xbc, 0x0c, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};

TEST_F(AniGifTest, StoredValuesAndTheLoopCountOfTheFile)
{
    struct Case {
        const char* name;
        std::optional<int32_t> delayLoad, loops;
        Bytes mouseIcon;  // the stored pointer picture's file, with MousePointer 99
        int32_t wantDelayMode, wantLoops;
        int wantIconWidth;  // 0: no pointer picture
    };
    const Case cases[] = {
        {"no DelayLoad, no Loops", std::nullopt, std::nullopt, {}, 1, 5, 0},
        {"DelayLoad -1, Loops 2, a pointer picture", -1, 2, kPointerPng, 1, 2, 3},
        {"DelayLoad 2, a pointer file that is no picture", 2, std::nullopt, {1, 2, 3}, 2, 5, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        forms::DesignData data;
        data.controls.push_back({"GIF1", -1, {}});
        forms::PropertyBag& bag = data.controls[0].bag;
        bag.WriteProperty("GIF", forms::ByteArray{Animation({10, 10}, 5), "a.gif"});
        if (c.delayLoad)
            bag.WriteProperty("DelayLoad", *c.delayLoad);
        if (c.loops)
            bag.WriteProperty("Loops", *c.loops);
        if (!c.mouseIcon.empty()) {
            bag.WriteProperty("MouseIcon", forms::PictureRef{"pointer.png", c.mouseIcon});
            bag.WriteProperty("MousePointer", int16_t{99});
        }
        std::vector<std::string> reads;
        bag.setReadListener([&](std::string_view name) { reads.emplace_back(name); });
        forms::Form other(app, "Other");
        AniGifControl control(other);
        control.setName("GIF1");
        control.Move(0, 0, 40, 40);
        other.setDesignData(&data);
        other.Load();
        EXPECT_EQ(control.DelayAnimation(), c.wantDelayMode);
        EXPECT_EQ(control.Loops(), c.wantLoops);
        EXPECT_EQ(reads, (std::vector<std::string>{"GIF", "Delay", "Stretch", "DelayLoad", "Mirror", "Enabled",
                                                   "MouseIcon", "MousePointer", "Loops"}));
        // Written back: the GIF always, the rest only when not the default.
        forms::PropertyBag written = control.SaveProperties();
        std::vector<std::string> keys;
        for (const auto& [key, value] : written.entries())
            keys.push_back(key);
        std::vector<std::string> want = {"GIF", "Loops"};
        if (c.wantDelayMode != 1)
            want.push_back("DelayLoad");
        if (c.wantIconWidth != 0)
            want.push_back("MouseIcon");
        if (!c.mouseIcon.empty())
            want.push_back("MousePointer");
        EXPECT_EQ(keys, want);
        EXPECT_EQ(control.MouseIcon().width(), c.wantIconWidth);
        if (c.wantIconWidth != 0) {
            EXPECT_EQ(written.ReadProperty("MouseIcon", forms::PictureRef{}).asset, "pointer.png");
        }
        // No pointer picture also means the standard pointer.
        control.setMouseIconProperty(std::nullopt);
        EXPECT_EQ(control.MousePointer(), PointerShape::Default);
        EXPECT_EQ(control.SaveProperties().find("MouseIcon"), nullptr);
    }
}

TEST_F(AniGifTest, InADesignerThePictureKeepsItsFileShowsFrameOneAndItsOutline)
{
    form.setUserMode(false);
    show();
    const Bytes file = Animation({10, 10, 10});
    gif.setAnimatedGIF(forms::PictureObject{file});
    EXPECT_EQ(gif.gifData(), file);
    EXPECT_EQ(gif.FrameCount(), 3);
    // Sized to the picture once, and never animated.
    EXPECT_EQ(gif.Width(), 4);
    run(1000);
    EXPECT_EQ(frames, (std::vector<std::string>{"1@0"}));
    gfx::Surface shown(200, 100, gfx::Rgb(9, 9, 9));
    form.paintInto(shown);
    EXPECT_NE(shown.at(10, 10), shown.at(11, 10)) << "no dotted outline";
    // Read back: the frame on show as a GIF file of its own.
    std::optional<forms::PictureObject> picture = gif.AnimatedGIF();
    ASSERT_TRUE(picture);
    EXPECT_EQ(std::string(picture->fileBytes.begin(), picture->fileBytes.begin() + 6), "GIF89a");
    // Nothing empties the control.
    gif.setAnimatedGIF(std::nullopt);
    EXPECT_EQ(gif.FrameCount(), 0);
    EXPECT_FALSE(gif.AnimatedGIF());
}

TEST_F(AniGifTest, SizesAndMousePositionsAreInTheContainersUnits)
{
    struct Case {
        forms::ScaleMode mode;
        int unit;  // container units in a pixel
    };
    for (const Case& c : {Case{forms::ScaleMode::Pixels, 1}, Case{forms::ScaleMode::Twips, 15}}) {
        SCOPED_TRACE(c.unit);
        forms::Form other(app, "Units");
        other.setScaleMode(c.mode);
        other.Move(0, 0, 200 * 15, 100 * 15);
        AniGifControl control(other);
        control.Move(10 * c.unit, 20 * c.unit, 40 * c.unit, 40 * c.unit);
        other.Show();
        const Bytes file = Animation({10, 10}, -1, 6, 3);
        ASSERT_TRUE(control.LoadAnimatedGIF_Array(file.data(), 1, {file.size()}));
        EXPECT_EQ(control.ActualWidth(), 6 * c.unit);
        EXPECT_EQ(control.ActualHeight(), 3 * c.unit);
        std::vector<std::string> seen;
        auto note = [&](const char* what) {
            return [&seen, what](int16_t button, int16_t shift, float x, float y) {
                seen.push_back(std::string(what) + " " + std::to_string(button) + " " + std::to_string(shift) + " " +
                               std::to_string(int(x)) + " " + std::to_string(int(y)));
            };
        };
        control.MouseMove = note("Move");
        control.MouseDown = note("Down");
        control.MouseUp = note("Up");
        testing::FakeWindow* window = ui.windowWithHandle(other.hWnd());
        ASSERT_NE(window, nullptr);
        window->mouseMove(12, 23);
        window->mouseDown(13, 25, kLeftButton, 1);
        window->mouseUp(14, 27);
        auto at = [&](int x, int y) { return std::to_string(x * c.unit) + " " + std::to_string(y * c.unit); };
        EXPECT_EQ(seen, (std::vector<std::string>{"Move 0 0 " + at(2, 3), "Down 1 1 " + at(3, 5),
                                                  "Up 1 0 " + at(4, 7)}));
    }
}

TEST_F(AniGifTest, MirroringPausesFlipsTheFrameOnShowAndResumes)
{
    // Two frames whose rows are 1 1 2 2 and 1 1 3 3.
    using namespace anigif::test;
    Bytes file;
    Header(file, "GIF89a", 4, 4, 0x81);
    Table(file, 4);
    for (unsigned right : {2u, 3u}) {
        Gce(file, 0, 10);
        Descriptor(file, 0, 0, 4, 4, 0);
        std::vector<unsigned> codes = {4};
        for (int row = 0; row < 4; ++row)
            codes.insert(codes.end(), {1, 1, right, right});
        codes.push_back(5);
        ImageData(file, 2, PackCodes(2, codes));
    }
    file.push_back(0x3B);
    show();
    gif.setDelayAnimation(0);
    for (int32_t state : {1, 2}) {
        SCOPED_TRACE(state);
        ASSERT_TRUE(load(file));
        gif.setStretch(4);
        gif.setAction(state);
        gfx::Surface before(200, 100), after(200, 100);
        form.paintInto(before);
        ASSERT_NE(before.at(10, 10), before.at(13, 10));
        gif.setMirrored(1);
        EXPECT_EQ(gif.Action(), state);
        form.paintInto(after);
        EXPECT_EQ(after.at(10, 10), before.at(13, 10));
        EXPECT_EQ(after.at(13, 10), before.at(10, 10));
        // Playing on, the other frame comes mirrored too.
        const int32_t frame = gif.currentFrame();
        run(150);
        EXPECT_EQ(gif.currentFrame() != frame, state == 1);
        form.paintInto(after);
        EXPECT_EQ(after.at(13, 10), before.at(10, 10));
        gif.setMirrored(0);
    }
}

// A reader whose reads the test finishes by hand.
class ScriptedReader final : public UrlReader {
public:
    struct Read {
        std::string address;
        Progress progress;
        Complete complete;
        bool cancelled = false;
    };
    std::vector<Read> reads;
    uint64_t start(const std::string& address, Progress progress, Complete complete) override
    {
        reads.push_back({address, std::move(progress), std::move(complete)});
        return reads.size();
    }
    void cancel(uint64_t id) override
    {
        if (id >= 1 && id <= reads.size())
            reads[id - 1].cancelled = true;
    }
};

TEST_F(AniGifTest, RemoteLoadsCompleteFailOrAreCancelledByTheHost)
{
    auto owned = std::make_unique<ScriptedReader>();
    ScriptedReader& reader = *owned;
    app.setUrlReader(std::move(owned));
    show();
    gif.RemoteLoadComplete = [this](float w, float h, bool& cancel) {
        events.push_back("Complete " + std::to_string(int(w)) + "x" + std::to_string(int(h)));
        cancel = cancelNext;
    };
    gif.RemoteLoadFailure = [this] { events.push_back("Failure"); };
    ASSERT_TRUE(load(Animation({10, 10, 10})));  // the picture on show before

    const Bytes gif2 = Animation({10, 10});
    struct Case {
        const char* name;
        Bytes bytes;
        bool failedProgress;
        bool cancel;
        std::vector<std::string> events;
        int32_t frames;
    };
    const Case cases[] = {
        {"a GIF", gif2, false, false, {"Complete 4x4"}, 2},
        {"404", {}, true, false, {"Failure"}, 3},
        {"14 bytes", Bytes(gif2.begin(), gif2.begin() + 14), false, false, {"Failure"}, 3},
        {"not a GIF", Bytes(30, 'x'), false, false, {"Failure"}, 3},
        {"cancelled by the host", gif2, false, true, {"Complete 4x4"}, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(load(Animation({10, 10, 10})));
        events.clear();
        cancelNext = c.cancel;
        gif.LoadAnimatedGIF_Remote("http://127.0.0.1/x.gif");
        ScriptedReader::Read& read = reader.reads.back();
        if (c.failedProgress) {
            read.progress(0, 0, true);
            EXPECT_TRUE(read.cancelled);
        } else {
            read.complete(UrlReadResult{true, c.bytes, c.bytes.size(), ""});
        }
        EXPECT_EQ(events, c.events);
        EXPECT_EQ(gif.FrameCount(), c.frames);
    }
    // An empty path starts nothing.
    gif.LoadAnimatedGIF_Remote("");
    EXPECT_EQ(reader.reads.size(), std::size(cases));
}

TEST_F(AniGifTest, NoTimerCallReachesATerminatedControl)
{
    show();
    ASSERT_TRUE(load(Animation({10, 10})));
    const uintptr_t id = gif.timerId();
    EXPECT_TRUE(AniGifControl::DeliverTimer(id));
    form.Unload();
    EXPECT_FALSE(AniGifControl::DeliverTimer(id));
}

}  // namespace
}  // namespace pap
