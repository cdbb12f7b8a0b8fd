// The forms runtime over the recording window system: loading, showing and unloading forms with their
// events, ending the program, timers on the event loop's virtual clock, twips and pixels, and what a
// form paints.

#include <gtest/gtest.h>

#include "forms/app.h"
#include "forms/controls.h"
#include "forms/form.h"
#include "forms/fake_ui.h"

namespace pap::forms {
namespace {

using pap::testing::FakeUi;
using pap::testing::FakeWindow;
using pap::testing::Journal;

// A form that writes its events into the journal and can be told to cancel or end.
class EventForm : public Form {
public:
    EventForm(App& app, FakeUi& ui, std::string caption) : Form(app, std::move(caption)), m_ui(ui) {}

    int cancelInQueryUnload = 0;
    int cancelInUnload = 0;
    bool endInQueryUnload = false;
    std::function<void()> onLoad;

protected:
    void Form_Load() override
    {
        // The window exists and carries the caption while Load runs.
        m_ui.record("Load found=" + std::to_string(m_ui.findWindow(Caption()) != 0));
        if (onLoad)
            onLoad();
    }
    void Form_QueryUnload(int& Cancel, UnloadMode UnloadMode) override
    {
        m_ui.record("QueryUnload " + std::to_string(static_cast<int>(UnloadMode)));
        Cancel = cancelInQueryUnload;
        if (endInQueryUnload)
            app().End();
    }
    void Form_Unload(int& Cancel) override
    {
        m_ui.record("Unload");
        Cancel = cancelInUnload;
    }

private:
    FakeUi& m_ui;
};

class FormsTest : public ::testing::Test {
protected:
    FakeUi ui;
    App app{ui, "/s", "/opt/papyrant"};
    Journal& journal = ui.journal();
};

TEST_F(FormsTest, LoadCreatesAHiddenWindowThatTitleSearchFinds)
{
    EventForm form(app, ui, "Papyrant_Main");
    form.Load();
    form.Load();  // loaded already: nothing
    EXPECT_EQ(journal, (Journal{"createWindow", "FindWindow Papyrant_Main", "Load found=1"}));
    ASSERT_EQ(ui.windows.size(), 1u);
    EXPECT_FALSE(ui.windows[0]->visible);
    EXPECT_TRUE(form.Loaded());
    EXPECT_FALSE(form.Visible());
    EXPECT_EQ(app.loadedFormCount(), 1);

    form.setCaption("Other");
    EXPECT_EQ(ui.windows[0]->title, "Other");
}

TEST_F(FormsTest, UnloadRaisesQueryUnloadThenUnloadAndTheProgramEndsWithTheLastForm)
{
    EventForm a(app, ui, "A"), b(app, ui, "B");
    a.Load();
    b.Show();
    EXPECT_TRUE(ui.windowTitled("B")->visible);
    journal.clear();

    EXPECT_TRUE(a.Unload());
    EXPECT_EQ(journal, (Journal{"QueryUnload 1", "Unload", "destroyWindow"}));
    EXPECT_EQ(app.loadedFormCount(), 1);

    // The user closes B: the reason is the control menu; then no form is left and Run returns.
    journal.clear();
    ui.onPump = [&] {
        if (FakeWindow* w = ui.windowTitled("B"))
            w->requestClose();
    };
    app.Run();
    EXPECT_EQ(journal, (Journal{"QueryUnload 0", "Unload", "destroyWindow"}));
    EXPECT_FALSE(b.Loaded());
    EXPECT_FALSE(app.ended());
}

TEST_F(FormsTest, EitherHandlerCanCancel)
{
    EventForm form(app, ui, "A");
    form.Load();
    form.cancelInQueryUnload = 1;
    journal.clear();
    EXPECT_FALSE(form.Unload());
    EXPECT_EQ(journal, (Journal{"QueryUnload 1"}));
    EXPECT_TRUE(form.Loaded());

    form.cancelInQueryUnload = 0;
    form.cancelInUnload = 1;
    journal.clear();
    EXPECT_FALSE(form.Unload());
    EXPECT_EQ(journal, (Journal{"QueryUnload 1", "Unload"}));
    EXPECT_TRUE(form.Loaded());
    EXPECT_EQ(ui.windows.size(), 1u);
}

TEST_F(FormsTest, AWindowDestroyedFromOutsideUnloadsTheFormEvenIfCancelled)
{
    EventForm form(app, ui, "Preview Window");
    form.Show();
    form.cancelInQueryUnload = 1;
    journal.clear();
    ui.windows[0]->destroyFromOutside();
    EXPECT_EQ(journal, (Journal{"QueryUnload 5", "Unload"}));
    EXPECT_FALSE(form.Loaded());
    EXPECT_EQ(app.loadedFormCount(), 0);
}

TEST(FormsEndTest, EndRequestsUnloadEveryFormWithTheirReason)
{
    struct Case {
        EndRequest request;
        const char* queryUnload;
    };
    for (const Case& c : {Case{EndRequest::SessionEnding, "QueryUnload 2"}, Case{EndRequest::Terminate, "QueryUnload 3"}}) {
        SCOPED_TRACE(c.queryUnload);
        FakeUi ui;
        App app{ui, "/s", "/opt/papyrant"};
        EventForm a(app, ui, "A"), b(app, ui, "B"), keeps(app, ui, "C");
        keeps.cancelInQueryUnload = 1;
        a.Load();
        b.Show();
        keeps.Load();
        ui.journal().clear();
        ui.onPump = [&] { ui.requestEnd(c.request); };
        app.RunUntil([&] { return !a.Loaded(); });
        EXPECT_EQ(ui.journal(), (Journal{c.queryUnload, "Unload", "destroyWindow", c.queryUnload, "Unload",
                                         "destroyWindow", c.queryUnload}));
        EXPECT_FALSE(b.Loaded());
        EXPECT_TRUE(keeps.Loaded());
    }
}

TEST_F(FormsTest, EndRunsNoFurtherHandlerAndStopsTheLoop)
{
    EventForm a(app, ui, "A"), b(app, ui, "B");
    a.endInQueryUnload = true;
    int ticks = 0;
    Timer timer(b, 100, true, [&] { ++ticks; });
    a.Load();
    b.Load();
    journal.clear();
    ui.onPump = [&] {
        if (ui.now >= 1450)
            a.Unload();
    };
    app.Run();
    // QueryUnload ended the program: no Unload event, both windows gone without events, no tick more.
    EXPECT_EQ(journal, (Journal{"QueryUnload 1", "destroyWindow", "destroyWindow"}));
    EXPECT_TRUE(app.ended());
    EXPECT_FALSE(a.Loaded());
    EXPECT_FALSE(b.Loaded());
    EXPECT_EQ(ticks, 4);
    // Nothing runs after the end: no load, no show, no unload event.
    journal.clear();
    a.Show();
    b.Unload();
    EXPECT_TRUE(journal.empty());
}

TEST_F(FormsTest, TimersTickOnTheLoopWhileEnabledAndTheirFormIsLoaded)
{
    EventForm form(app, ui, "A");
    std::vector<uint64_t> fast, slow;
    Timer t200(form, 200, true, [&] { fast.push_back(ui.now); });
    Timer t500(form, 500, false, [&] { slow.push_back(ui.now); });

    // Not loaded: nothing ticks, whatever the clock does.
    ui.now += 5000;
    const uint64_t start = ui.now;
    form.Load();
    t500.setEnabled(true);
    app.RunUntil([&] { return ui.now > start + 1000; });
    EXPECT_EQ(fast, (std::vector<uint64_t>{start + 200, start + 400, start + 600, start + 800, start + 1000}));
    EXPECT_EQ(slow, (std::vector<uint64_t>{start + 500, start + 1000}));

    // Switching off and on again starts the count anew; a new interval too.
    fast.clear();
    ui.now += 50;
    t200.setEnabled(false);
    t200.setEnabled(true);
    const uint64_t restart = ui.now;
    t500.setInterval(0);  // an interval of 0 never ticks
    slow.clear();
    app.RunUntil([&] { return ui.now >= restart + 450; });
    EXPECT_EQ(fast, (std::vector<uint64_t>{restart + 200, restart + 400}));
    EXPECT_TRUE(slow.empty());

    // Unloaded: the timers stop, though the loop goes on (for another form, say).
    form.Unload();
    fast.clear();
    const uint64_t unloaded = ui.now;
    app.RunUntil([&] { return ui.now >= unloaded + 2000; });
    EXPECT_TRUE(fast.empty());
    EXPECT_TRUE(slow.empty());
}

TEST_F(FormsTest, ATickNeverInterruptsItselfAndMissedTicksAreDropped)
{
    EventForm form(app, ui, "A"), dialog(app, ui, "Dialog");
    int outer = 0, inner = 0, depth = 0, maxDepth = 0;
    Timer other(form, 100, true, [&] { ++inner; });
    Timer busy(form, 100, true, [&] {
        ++outer;
        maxDepth = std::max(maxDepth, ++depth);
        if (outer == 1) {
            // A modal form inside the tick: the loop runs on, other timers tick, this one does not.
            dialog.onLoad = [] {};
            dialog.Show(ShowMode::Modeless);
            app.RunUntil([&] { return ui.now >= 1000 + 100 + 1000; });
        }
        --depth;
    });
    form.Load();
    app.RunUntil([&] { return outer >= 2; });
    EXPECT_EQ(maxDepth, 1);
    EXPECT_GE(inner, 9);
    // The ticks missed during the long first one are dropped: the next comes one interval after its
    // end, then the cadence goes on from there.
    EXPECT_EQ(ui.now, 1000u + 100 + 1000 + 100);
    app.RunUntil([&] { return outer >= 4; });
    EXPECT_EQ(ui.now, 1000u + 100 + 1000 + 300);
}

TEST_F(FormsTest, ATimerSlowerThanItsIntervalLetsWindowEventsThrough)
{
    // A 300 ms handler on a 100 ms timer (a CD query on a drive that spins up).
    EventForm form(app, ui, "A");
    std::vector<uint64_t> ticks;
    bool closeClicked = false;
    Timer slow(form, 100, true, [&] {
        ticks.push_back(ui.now);
        ui.now += 300;
        if (ticks.size() == 3)
            closeClicked = true;  // while the handler runs
        if (ticks.size() == 50)
            app.End();  // a loop that starves its events would run on for ever
    });
    form.Load();
    ui.onPump = [&] {
        if (closeClicked)
            if (FakeWindow* w = ui.windowTitled("A"))
                w->requestClose();
    };
    journal.clear();
    app.Run();
    // Each tick counts its interval from its own end, and the close waiting since the third is
    // handled before a fourth.
    EXPECT_EQ(ticks, (std::vector<uint64_t>{1100, 1500, 1900}));
    EXPECT_EQ(journal, (Journal{"QueryUnload 0", "Unload", "destroyWindow"}));
    EXPECT_FALSE(app.ended());
}

TEST_F(FormsTest, TwipsPixelsAndTheScreen)
{
    ui.metrics = ScreenMetrics{1280, 1024, 12, 12};  // 120 DPI
    EventForm form(app, ui, "A");
    EXPECT_DOUBLE_EQ(app.Screen().Width, 1280 * 12);
    EXPECT_DOUBLE_EQ(app.Screen().Height, 1024 * 12);
    form.Move(120, 240, 2400, 1206);
    form.Load();
    FakeWindow* w = ui.windows[0];
    EXPECT_EQ(w->x, 10);
    EXPECT_EQ(w->y, 20);
    EXPECT_EQ(w->width, 200);
    EXPECT_EQ(w->height, 101);  // 100.5 pixels round to 101 (half away from zero)
    EXPECT_DOUBLE_EQ(form.ScaleWidth(), 2400);  // twips: whole pixels' worth
    form.setScaleMode(ScaleMode::Pixels);
    EXPECT_DOUBLE_EQ(form.ScaleWidth(), 200);
    EXPECT_DOUBLE_EQ(form.ScaleHeight(), 101);

    form.setWidth(1e12);  // far too large: held at the largest window
    EXPECT_EQ(w->width, gfx::kMaxSide);
    form.setWidth(-5);
    EXPECT_EQ(w->width, 0);
}

TEST_F(FormsTest, NoScreenGivesZeroSizeAtFifteenTwips)
{
    ui.metrics.reset();
    EXPECT_DOUBLE_EQ(app.Screen().Width, 0);
    EXPECT_DOUBLE_EQ(app.Screen().TwipsPerPixelX, 15);
}

TEST_F(FormsTest, PaintsBackgroundPictureBoxesAndImages)
{
    EventForm form(app, ui, "A");
    form.setScaleMode(ScaleMode::Pixels);
    form.setBackColor(gfx::Rgb(0, 0, 255));
    form.Move(0, 0, 20 * 15, 10 * 15);
    PictureBox box(form, PictureBox::Border::None, gfx::kBlack);
    box.Move(1, 1, 4, 3);
    PictureBox framed(form, PictureBox::Border::FixedSingle, gfx::kWhite);
    framed.Move(6, 1, 8, 6);
    Image stretched(form, true);
    stretched.setPicture(gfx::Surface(1, 1, gfx::Rgb(0, 255, 0)));
    stretched.Move(15, 0, 5, 10);
    Image natural(form, false);
    natural.setPicture(gfx::Surface(2, 2, gfx::Rgb(255, 0, 0)));
    natural.Move(0, 8, 99, 99);  // any size: the picture shows at its own
    natural.setPicture(natural.Picture());

    // Drawing into the picture box's surface and refreshing shows it.
    ASSERT_EQ(box.hDC().width(), 4);
    ASSERT_EQ(box.hDC().height(), 3);
    box.hDC().set(3, 2, gfx::kWhite);
    // The framed box draws inside its 2-pixel edge.
    EXPECT_EQ(framed.hDC().width(), 4);
    EXPECT_EQ(framed.hDC().height(), 2);
    framed.hDC().set(0, 0, gfx::Rgb(9, 9, 9));
    form.Show();
    gfx::Surface shown = ui.windows[0]->paint();
    ASSERT_EQ(shown.width(), 20);
    ASSERT_EQ(shown.height(), 10);
    EXPECT_EQ(shown.at(0, 0), gfx::Rgb(0, 0, 255));
    EXPECT_EQ(shown.at(1, 1), gfx::kBlack);
    EXPECT_EQ(shown.at(4, 3), gfx::kWhite);
    EXPECT_EQ(shown.at(8, 3), gfx::Rgb(9, 9, 9));
    EXPECT_EQ(shown.at(9, 3), gfx::kWhite);
    EXPECT_NE(shown.at(6, 1), gfx::kWhite);  // the edge
    EXPECT_EQ(shown.at(15, 0), gfx::Rgb(0, 255, 0));
    EXPECT_EQ(shown.at(19, 9), gfx::Rgb(0, 255, 0));
    EXPECT_EQ(shown.at(1, 9), gfx::Rgb(255, 0, 0));
    EXPECT_EQ(shown.at(2, 9), gfx::Rgb(0, 0, 255));
    EXPECT_DOUBLE_EQ(natural.Width(), 2);

    // A larger box keeps what was drawn; a new background colour clears it.
    box.Move(1, 1, 6, 3);
    EXPECT_EQ(box.hDC().at(3, 2), gfx::kWhite);
    EXPECT_EQ(box.hDC().at(5, 2), gfx::kBlack);
    box.setBackColor(gfx::Rgb(1, 2, 3));
    EXPECT_EQ(box.Image().at(3, 2), gfx::Rgb(1, 2, 3));
}

}  // namespace
}  // namespace pap::forms
