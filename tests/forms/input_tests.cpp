// Input through the forms: mouse events routed to the control under the pointer (containers, control
// arrays, disabled controls, the press that keeps the mouse), focus and its order, modal forms, labels,
// and the services and life of user controls with their stored property bags.

#include <gtest/gtest.h>

#include "forms/app.h"
#include "forms/block_text.h"
#include "forms/controls.h"
#include "forms/fake_ui.h"
#include "forms/form.h"
#include "forms/label.h"
#include "forms/user_control.h"

namespace pap::forms {
namespace {

using pap::testing::FakeUi;
using pap::testing::FakeWindow;
using pap::testing::Journal;

// A user control that journals its events.
class JournalControl : public UserControl {
public:
    JournalControl(Form& form, Journal& journal, bool windowed, ControlContainer* parent = nullptr)
        : UserControl(form, windowed, parent), m_journal(journal)
    {
    }
    std::string value = "none";

protected:
    void note(const std::string& what) { m_journal.push_back(Name() + " " + what); }
    void UserControl_Initialize() override { note("Initialize"); }
    void UserControl_InitProperties() override { note("InitProperties"); }
    void UserControl_ReadProperties(PropertyBag& bag) override
    {
        value = bag.ReadProperty<std::string>("Value", "none");
        note("ReadProperties " + value);
    }
    void UserControl_WriteProperties(PropertyBag& bag) override { bag.WriteProperty("Value", value, std::string("none")); }
    void UserControl_Resize() override { note("Resize"); }
    void UserControl_Show() override { note("Show"); }
    void UserControl_Hide() override { note("Hide"); }
    void UserControl_Terminate() override { note("Terminate"); }
    void UserControl_GotFocus() override { note("GotFocus"); }
    void UserControl_LostFocus() override { note("LostFocus"); }
    void UserControl_MouseDown(int b, int, float x, float y) override { note(mouse("MouseDown", b, x, y)); }
    void UserControl_MouseMove(int b, int, float x, float y) override { note(mouse("MouseMove", b, x, y)); }
    void UserControl_MouseUp(int b, int, float x, float y) override { note(mouse("MouseUp", b, x, y)); }
    void UserControl_Click() override { note("Click"); }

private:
    static std::string mouse(const char* what, int button, float x, float y)
    {
        return std::string(what) + " " + std::to_string(button) + " " + std::to_string(int(x)) + "," + std::to_string(int(y));
    }
    Journal& m_journal;
};

class JournalForm : public Form {
public:
    JournalForm(App& app, Journal& journal) : Form(app, "Input"), m_journal(journal) {}

protected:
    void Form_Load() override { m_journal.push_back("Form_Load"); }

private:
    Journal& m_journal;
};

class InputTest : public ::testing::Test {
protected:
    InputTest()
    {
        auto text = std::make_unique<pap::testing::BlockText>();
        app.setTextService(std::move(text));
        form.setScaleMode(ScaleMode::Pixels);
        form.Move(0, 0, 300 * 15, 200 * 15);
    }
    FakeUi ui;
    App app{ui, "", "/opt/papyrant"};
    Journal journal;
    JournalForm form{app, journal};

    void record(const std::string& what, int index, int button, float x, float y)
    {
        journal.push_back(what + "(" + std::to_string(index) + ") " + std::to_string(button) + " " +
                          std::to_string(int(x)) + "," + std::to_string(int(y)));
    }
};

TEST_F(InputTest, MouseEventsReachTheControlUnderThePointerAndThePressKeepsTheMouse)
{
    // Three images of an array side by side, a label over the second, a disabled label over the third,
    // and a picture box holding an image of its own.
    std::vector<std::unique_ptr<Image>> images;
    for (int i = 0; i < 3; ++i) {
        images.push_back(std::make_unique<Image>(form, true));
        images[i]->setName("Img_BGM", i);
        images[i]->Move(10 + 40 * i, 10, 30, 30);
        images[i]->MouseDown = [this, i](int b, int, float x, float y) { record("down", i, b, x, y); };
        images[i]->MouseUp = [this, i](int b, int, float x, float y) { record("up", i, b, x, y); };
        images[i]->Click = [this, i] { journal.push_back("Click(" + std::to_string(i) + ")"); };
    }
    Label over(form);
    over.Move(50, 10, 30, 10);
    over.MouseDown = [this](int b, int, float x, float y) { record("label down", 0, b, x, y); };
    Label disabled(form);
    disabled.Move(90, 10, 30, 30);
    disabled.setEnabled(false);
    disabled.MouseDown = [this](int, int, float, float) { journal.push_back("disabled label"); };
    PictureBox box(form, PictureBox::Border::FixedSingle);
    box.Move(10, 100, 100, 60);
    Image inner(form, true, &box);
    inner.Move(5, 5, 20, 20);
    inner.MouseDown = [this](int b, int, float x, float y) { record("inner down", 0, b, x, y); };
    box.MouseDown = [this](int b, int, float x, float y) { record("box down", 0, b, x, y); };
    form.Show();
    FakeWindow& window = *ui.windowTitled("Input");

    struct Step {
        char what;  // d down, u up
        int x, y, button;
    };
    const Step steps[] = {
        {'d', 15, 15, kLeftButton},  {'u', 16, 16, kLeftButton},   // a click on element 0
        {'d', 55, 15, kRightButton}, {'u', 55, 15, kRightButton},  // the label lies over element 1
        {'d', 55, 30, kLeftButton},  {'u', 200, 190, kLeftButton}, // released far away: no click
        {'d', 95, 15, kLeftButton},  {'u', 95, 15, kLeftButton},   // the disabled label takes nothing
        {'d', 18, 108, kLeftButton}, {'u', 18, 108, kLeftButton},  // inside the box, its image
        {'d', 60, 140, kMiddleButton}, {'u', 60, 140, kMiddleButton},  // the box itself
    };
    for (const Step& step : steps)
        step.what == 'd' ? window.mouseDown(step.x, step.y, step.button) : window.mouseUp(step.x, step.y, step.button);

    const Journal expected = {
        "Form_Load",
        "down(0) 1 5,5", "up(0) 1 6,6", "Click(0)",
        "label down(0) 2 5,5",
        "down(1) 1 5,20", "up(1) 1 150,180",
        "inner down(0) 1 1,1",
        "box down(0) 4 48,38",
    };
    EXPECT_EQ(journal, expected);
}

TEST_F(InputTest, UserControlsLiveWithTheFormAndTakeFocusInOrder)
{
    DesignData data;
    data.controls.push_back({"First", -1, {}});
    data.controls[0].bag.WriteProperty("Value", std::string("stored"));
    form.setDesignData(&data);
    JournalControl first(form, journal, true), second(form, journal, true), windowless(form, journal, false);
    first.setName("First");
    second.setName("Second");
    windowless.setName("Windowless");
    first.Move(10, 10, 80, 25);
    second.Move(100, 10, 80, 25);
    windowless.Move(10, 50, 80, 25);
    form.Show();
    EXPECT_EQ(journal, (Journal{"First Initialize", "First ReadProperties stored", "First Resize",
                                "Second Initialize", "Second ReadProperties none", "Second Resize",
                                "Windowless Initialize", "Windowless ReadProperties none", "Windowless Resize",
                                "Form_Load", "First Show", "Second Show", "Windowless Show"}));
    journal.clear();

    // The windowed controls have child windows of the form, placed in pixels.
    FakeWindow* firstWindow = ui.windowWithHandle(first.childWindow());
    ASSERT_NE(firstWindow, nullptr);
    EXPECT_EQ(firstWindow->parent, form.hWnd());
    EXPECT_EQ((std::vector<int>{firstWindow->x, firstWindow->y, firstWindow->width, firstWindow->height}),
              (std::vector<int>{10, 10, 80, 25}));
    EXPECT_EQ(windowless.childWindow(), 0u);

    // A press on a child window gives it the focus before its MouseDown; positions are in twips.
    firstWindow->mouseDown(2, 3);
    firstWindow->mouseUp(2, 3);
    // Tab goes on in creation order (the windowless control takes no focus) and wraps round; Shift+Tab
    // goes back.
    FakeWindow& window = *ui.windowTitled("Input");
    window.keyDown(kKeyTab);
    window.keyDown(kKeyTab);
    window.keyDown(kKeyTab, kShiftKey);
    // The form's own routing reaches the windowless control.
    window.mouseDown(12, 52, kRightButton);
    window.mouseUp(12, 52, kRightButton);
    EXPECT_EQ(journal, (Journal{"First GotFocus", "First MouseDown 1 30,45", "First MouseUp 1 30,45", "First Click",
                                "First LostFocus", "Second GotFocus", "Second LostFocus", "First GotFocus",
                                "First LostFocus", "Second GotFocus", "Windowless MouseDown 2 30,30",
                                "Windowless MouseUp 2 30,30"}));
    journal.clear();

    // A property change reaches the stored bag's notices; the bag written back holds the value.
    first.value = "changed";
    first.PropertyChanged("Value");
    EXPECT_EQ(data.controls[0].bag.changedNames(), (std::vector<std::string>{"Value"}));
    EXPECT_EQ(first.SaveProperties().ReadProperty<std::string>("Value", ""), "changed");
    EXPECT_TRUE(second.SaveProperties().empty());

    form.Unload();
    EXPECT_EQ(journal, (Journal{"First Terminate", "Second Terminate", "Windowless Terminate"}));
    EXPECT_EQ(ui.windowWithHandle(first.childWindow()), nullptr);
}

TEST_F(InputTest, AModalFormDisablesTheOthersUntilItCloses)
{
    Form other(app, "Other");
    other.Show();
    Form modal(app, "Modal");
    bool otherEnabledDuringModal = true, modalFocused = false;
    ui.onPump = [&] {
        otherEnabledDuringModal = ui.windowTitled("Other")->isEnabled;
        modalFocused = ui.windowTitled("Modal")->focused;
        modal.Unload();
    };
    modal.Show(ShowMode::Modal);
    ui.onPump = nullptr;
    EXPECT_FALSE(otherEnabledDuringModal);
    EXPECT_TRUE(modalFocused);
    EXPECT_FALSE(modal.Loaded());
    EXPECT_TRUE(ui.windowTitled("Other")->isEnabled);
}

TEST_F(InputTest, UserControlDrawingServices)
{
    JournalControl control(form, journal, true);
    control.Move(0, 0, 20, 10);
    form.Show();
    // Unit conversions: pixels, twips, points, inches and the container's scale (pixels here).
    EXPECT_DOUBLE_EQ(control.ScaleX(4, ScaleUnit::Pixels, ScaleUnit::Twips), 60);
    EXPECT_DOUBLE_EQ(control.ScaleY(1440, ScaleUnit::Twips, ScaleUnit::Inches), 1);
    EXPECT_DOUBLE_EQ(control.ScaleX(10, ScaleUnit::Points, ScaleUnit::ContainerSize), 200.0 / 15);
    EXPECT_DOUBLE_EQ(control.ScaleWidth(), 300);
    // Size is in twips whatever the container's scale.
    control.Size(30 * 15, 12 * 15);
    EXPECT_EQ(control.hDC().width(), 30);
    EXPECT_EQ(control.Width(), 30);

    // A section stretched along one axis, in twips; the rest keeps the back colour.
    gfx::Surface picture(4, 2);
    for (int x = 0; x < 4; ++x)
        picture.set(x, 1, gfx::Rgb(0, 0, 50 * (x + 1)));
    control.setBackColor(gfx::kWhite);
    control.Cls();
    control.PaintPicture(picture, 15, 15, 8 * 15, 15, 15, 15, 2 * 15, 15);
    for (int x = 0; x < 10; ++x)
        EXPECT_EQ(control.hDC().at(x, 1), x == 0 || x == 9 ? gfx::kWhite : gfx::Rgb(0, 0, x <= 4 ? 100 : 150)) << x;

    // Transparent: Cls takes what the form shows under the control.
    form.setBackColor(gfx::Rgb(1, 2, 3));
    control.setBackStyle(BackStyle::Transparent);
    control.Cls();
    EXPECT_EQ(control.hDC().at(5, 5), gfx::Rgb(1, 2, 3));

    // Pointer shapes go to the control's own window.
    control.setMousePointer(PointerShape::Hand);
    EXPECT_EQ(ui.windowWithHandle(control.childWindow())->pointer, PointerShape::Hand);
}

TEST_F(InputTest, LabelsAlignTheirCaptionAndGreyItWhenDisabled)
{
    // Blocks of 5 x 10 pixels (6-pixel advance) in a 40-pixel-wide label.
    Label left(form), centre(form), right(form), greyed(form);
    const std::pair<Label*, TextAlign> labels[] = {
        {&left, TextAlign::Left}, {&centre, TextAlign::Center}, {&right, TextAlign::Right}, {&greyed, TextAlign::Left}};
    int y = 0;
    for (auto [label, align] : labels) {
        label->Move(10, y, 40, 12);
        label->setCaption("ab");
        label->setAlignment(align);
        label->setForeColor(gfx::Rgb(200, 0, 0));
        y += 20;
    }
    greyed.setEnabled(false);
    right.setBackStyle(0);
    form.setBackColor(gfx::Rgb(0, 0, 90));
    form.Show();
    gfx::Surface picture = ui.windowTitled("Input")->paint();
    auto inkColumns = [&](int row) {
        std::vector<int> xs;
        for (int x = 0; x < 60; ++x)
            if (picture.at(x, row) == gfx::Rgb(200, 0, 0))
                xs.push_back(x);
        return xs;
    };
    EXPECT_EQ(inkColumns(5).front(), 10);
    EXPECT_EQ(inkColumns(25).front(), 10 + (40 - 12) / 2);
    EXPECT_EQ(inkColumns(45).back(), 10 + 40 - 2);
    // The transparent label shows the form under its caption, the opaque ones their back colour.
    EXPECT_EQ(picture.at(12, 45), gfx::Rgb(0, 0, 90));
    EXPECT_EQ(picture.at(48, 5), left.BackColor());
    // Greyed: the grey copy in place, the white one a pixel down and right.
    EXPECT_TRUE(inkColumns(65).empty());
    EXPECT_EQ(picture.at(10, 60), kDisabledText);
    EXPECT_EQ(picture.at(15, 70), kDisabledHighlight);
}

TEST_F(InputTest, ARepaintOfOneRectangleGivesWhatAWholePaintGives)
{
    // A picture box holding an image, a label across the box's edge, and a windowless user control.
    PictureBox box(form, PictureBox::Border::FixedSingle, gfx::Rgb(0, 80, 0));
    box.Move(10, 10, 60, 40);
    Image inner(form, true, &box);
    inner.Move(5, 5, 20, 20);
    inner.setPicture(gfx::Surface(2, 2, gfx::Rgb(200, 0, 200)));
    Label label(form);
    label.Move(50, 20, 60, 12);
    label.setCaption("abcdefgh");
    JournalControl windowless(form, journal, false);
    windowless.Move(120, 10, 30, 30);
    form.Show();
    FakeWindow& window = *ui.windowTitled("Input");
    gfx::Surface shown = window.paint();

    // Each change repaints only the rectangle it touches; the picture then equals a whole paint.
    label.setCaption("xy");
    window.events().onPaintRect(shown, label.pixelRect());
    windowless.hDC().fill(gfx::Rgb(1, 2, 3));
    window.events().onPaintRect(shown, windowless.pixelRect());
    inner.setPicture(gfx::Surface(2, 2, gfx::Rgb(0, 0, 250)));
    window.events().onPaintRect(shown, gfx::Rect{10, 10, 40, 40});
    EXPECT_TRUE(shown == window.paint());
}

TEST_F(InputTest, ATransparentControlInABoxSeesOnlyWhatLiesBelowIt)
{
    // In a picture box: an image below the control, the control, and an image above it, all overlapping.
    PictureBox box(form, PictureBox::Border::FixedSingle, gfx::Rgb(0, 80, 0));
    box.Move(10, 10, 60, 40);
    Image below(form, true, &box);
    below.Move(0, 0, 20, 30);
    below.setPicture(gfx::Surface(1, 1, gfx::Rgb(200, 0, 0)));
    JournalControl control(form, journal, false, &box);
    control.Move(10, 0, 30, 30);
    Image above(form, true, &box);
    above.Move(30, 0, 20, 30);
    above.setPicture(gfx::Surface(1, 1, gfx::Rgb(0, 0, 200)));
    control.setBackStyle(BackStyle::Transparent);
    form.Show();
    control.hDC().fill(gfx::Rgb(1, 1, 1));
    control.Cls();
    // Left part over the image below, the rest over the box; neither its old picture nor the image above.
    for (int x = 0; x < 30; ++x)
        EXPECT_EQ(control.hDC().at(x, 5), x < 10 ? gfx::Rgb(200, 0, 0) : gfx::Rgb(0, 80, 0)) << x;
}

}  // namespace
}  // namespace pap::forms
