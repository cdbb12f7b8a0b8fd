// The push button over the recording window system: its states and looks through real sequences of
// input, its properties and stored values, and its pixels at the dialog's two button sizes.

#include <gtest/gtest.h>

#include <cmath>

#include "controls/button/command.h"
#include "forms/app.h"
#include "forms/block_text.h"
#include "forms/fake_ui.h"
#include "forms/form.h"
#include "forms/text_layout.h"

namespace pap {
namespace {

using forms::PropertyBag;
using forms::StoredColour;
using forms::StoredFont;
using pap::testing::FakeUi;
using pap::testing::FakeWindow;

class CommandTest : public ::testing::Test {
protected:
    CommandTest()
    {
        app.setTextService(std::make_unique<pap::testing::BlockText>());
        form.setScaleMode(forms::ScaleMode::Pixels);
        form.Move(0, 0, 400 * 15, 240 * 15);
        form.setFont(FontSpec{"Tahoma", 8.25, 400, false, false, false, 0});
        button.setName("Command1");
        other.setName("Command2");
        button.Move(20, 20, 81, 25);
        other.Move(120, 20, 81, 25);
        button.Click = [this] { ++clicks; };
    }

    void load(forms::DesignData* data = nullptr)
    {
        form.setDesignData(data);
        form.Show();
        window = ui.windowWithHandle(button.childWindow());
        ASSERT_NE(window, nullptr);
    }

    // One step of a script: a move over the button, a press or release, focus by keyboard or away, and
    // the pointer watch's tick with the pointer over the button or elsewhere.
    void run(const std::string& script)
    {
        for (size_t i = 0; i < script.size(); ++i) {
            switch (script[i]) {
            case 'm': window->mouseMove(10, 10); break;
            case 'd': window->mouseDown(10, 10, kLeftButton); break;
            case 'u': window->mouseUp(10, 10, kLeftButton); break;
            case 'R': window->mouseUp(10, 10, kRightButton); break;
            case 'f': form.SetFocusTo(&button); break;
            case 'b': form.SetFocusTo(&other); break;
            case 'o': tick(button.childWindow()); break;
            case 'l': tick(form.hWnd()); break;
            case 'x': tick(0); break;
            default: FAIL() << "unknown step " << script[i];
            }
        }
    }
    void tick(NativeWindow under)
    {
        ui.windowUnderPointer = under;
        button.WatchPointer();
    }

    FakeUi ui;
    forms::App app{ui, "", ""};
    forms::Form form{app, "Buttons"};
    Command button{form};
    Command other{form};
    FakeWindow* window = nullptr;
    int clicks = 0;
};

TEST_F(CommandTest, StatesLooksAndClicksFollowTheInput)
{
    using L = CommandLook;
    struct Row {
        const char* script;
        int16_t enabled;
        uint8_t mode;
        L look;
        bool hoverShade;
        int clicks;
    };
    const Row rows[] = {
        // A typical click: over it, pressed (focus arrives), released.
        {"mdu", -1, 4, L::HighLightSelect, true, 1},
        // ... then the pointer leaves: the focused look.
        {"mduo" "l", -1, 3, L::Selected, false, 1},
        // Released after the watch saw the pointer leave: no click.
        {"mdxu", -1, 3, L::Selected, false, 0},
        // A right-button release over a hovered, unfocused button clicks without repainting.
        {"mR", -1, 2, L::HighLight, true, 1},
        // Focus by keyboard while the pointer rests over it shows the pressed skin ...
        {"mf", -1, 4, L::Pressed, true, 0},
        // ... until the pointer leaves.
        {"mfl", -1, 3, L::Selected, false, 0},
        // Focused first, then the pointer arrives: the gradient keeps the focused direction.
        {"fm", -1, 4, L::HighLightSelect, false, 0},
        // The watch's tick over the button itself changes nothing.
        {"mo", -1, 2, L::HighLight, true, 0},
        // Focus moving away: normal again.
        {"fb", -1, 1, L::Normal, false, 0},
        {"mx", -1, 1, L::Normal, false, 0},
        // Disabled: everything is ignored.
        {"mdu", 0, 1, L::Disable, false, 0},
        // Enabled with a value other than true looks enabled and never clicks.
        {"mdu", 1, 4, L::HighLightSelect, true, 0},
        {"mR", 5, 2, L::HighLight, true, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.script) + " enabled " + std::to_string(row.enabled));
        ui.windowUnderPointer = 0;
        form.Unload();
        clicks = 0;
        load();
        button.EnabledLet(row.enabled);
        run(row.script);
        EXPECT_EQ(button.mode(), row.mode);
        EXPECT_EQ(button.lastLook(), row.look);
        EXPECT_EQ(button.hoverShade(), row.hoverShade);
        EXPECT_EQ(clicks, row.clicks);
        EXPECT_FALSE(button.mouseIsDown());
    }
}

TEST_F(CommandTest, ThePointerWatchRunsEveryTenthOfASecondFromTheStart)
{
    load();
    run("m");
    ui.windowUnderPointer = form.hWnd();
    // The event loop's clock: the timer ticks within 100 ms and the hover look goes.
    uint64_t start = ui.now;
    app.RunUntil([&] { return button.mode() == 1 || ui.now > start + 1000; });
    EXPECT_EQ(button.mode(), 1);
    EXPECT_LE(ui.now - start, 100u);
}

TEST_F(CommandTest, PropertiesAndTheirNotices)
{
    forms::DesignData data;
    data.controls.push_back({"Command1", -1, {}});
    load(&data);
    const PropertyBag& stored = data.controls[0].bag;

    // Visible reads 0 or 255, whatever was written.
    button.VisibleLet(7);
    EXPECT_EQ(button.VisibleGet(), 255);
    EXPECT_EQ(button.backStyle(), forms::BackStyle::Opaque);
    button.VisibleLet(0);
    EXPECT_EQ(button.VisibleGet(), 0);
    EXPECT_EQ(button.backStyle(), forms::BackStyle::Transparent);

    button.setCaption("OK");
    button.setFontColour(0x0000FF);  // red, as 0x00BBGGRR
    EXPECT_EQ(button.FontColour(), 0x0000FFu);
    button.EnabledLet(0);
    EXPECT_EQ(stored.changedNames(), (std::vector<std::string>{"Visible", "Caption", "FontColour", "Enabled"}));

    // The stored values in their writing order; defaults are left out.
    PropertyBag written = button.SaveProperties();
    std::vector<std::string> keys;
    for (const auto& [key, value] : written.entries())
        keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"Enabled", "Caption", "FontColour", "Visible"}));

    // Read back by a new button (through the form's stored bags) in the reading order.
    forms::DesignData saved;
    saved.controls.push_back({"Command1", -1, written});
    std::vector<std::string> reads;
    saved.controls[0].bag.setReadListener([&](std::string_view name) { reads.emplace_back(name); });
    forms::Form second(app, "Second");
    second.setScaleMode(forms::ScaleMode::Pixels);
    Command copy(second);
    copy.setName("Command1");
    copy.Move(0, 0, 81, 25);
    second.setDesignData(&saved);
    second.Load();
    EXPECT_EQ(reads, (std::vector<std::string>{"Enabled", "Caption", "Font", "FirstRun", "FontColour", "Visible"}));
    EXPECT_EQ(copy.Caption(), "OK");
    EXPECT_EQ(copy.FontColour(), 0x0000FFu);
    EXPECT_EQ(copy.enabledValue(), 0);
    EXPECT_EQ(copy.VisibleGet(), 0);
    // The font equal to the first form's ambient font was not stored: the copy takes its own form's.
    EXPECT_EQ(copy.Font(), forms::ToStoredFont(second.Font()));
}

TEST_F(CommandTest, FirstRunAndTheCaptionDefault)
{
    // "FirstRun" 0 stored: reading Enabled turns the button on and sets it to 1; its text turns black
    // only if it was enabled already.
    forms::DesignData data;
    for (const char* name : {"Command1", "Command2"}) {
        data.controls.push_back({name, -1, {}});
        data.controls.back().bag.WriteProperty("FirstRun", uint8_t{0});
        data.controls.back().bag.WriteProperty("FontColour", StoredColour{0x00FF00});
        data.controls.back().bag.WriteProperty("Caption", std::string("Command"));
    }
    data.controls[1].bag.WriteProperty("Enabled", false);
    load(&data);
    EXPECT_EQ(button.Caption(), "Command");  // stored, since only the default is left out
    EXPECT_EQ(button.firstRun(), 0);
    EXPECT_EQ(other.enabledValue(), 0);
    EXPECT_EQ(button.EnabledGet(), Command::kTrue);
    EXPECT_EQ(other.EnabledGet(), Command::kTrue);
    EXPECT_EQ(button.firstRun(), 1);
    EXPECT_EQ(other.firstRun(), 1);
    EXPECT_EQ(button.FontColour(), 0u);
    EXPECT_EQ(other.FontColour(), 0x00FF00u);

    // A button with nothing stored reads every default.
    forms::Form plain(app, "Plain");
    Command fresh(plain);
    plain.Load();
    EXPECT_EQ(fresh.Caption(), Command::kDefaultCaption);
    EXPECT_EQ(fresh.enabledValue(), Command::kTrue);
    EXPECT_EQ(fresh.firstRun(), 1);
    EXPECT_TRUE(fresh.SaveProperties().empty());
}

TEST_F(CommandTest, AFormsStoredBagsWrittenBackGiveTheSameFile)
{
    const std::string file = "[Command1]\n"
                             "Enabled = bool False\n"
                             "Caption = string \"Set\"\n"
                             "FirstRun = byte 0\n"
                             "Font = font \"MS PGothic\" size=9.75 weight=700 italic=0 underline=0 strikethrough=0 charset=128\n"
                             "FontColour = colour &H000000FF\n"
                             "Visible = int16 0\n"
                             "\n"
                             "[Command2]\n";
    forms::DesignDataResult parsed = forms::ParseDesignData(file);
    ASSERT_TRUE(parsed.data) << parsed.error;
    load(&*parsed.data);
    EXPECT_EQ(button.Caption(), "Set");
    EXPECT_EQ(button.Font().name, "MS PGothic");
    EXPECT_EQ(forms::WriteDesignData(forms::SaveDesignData(form)), file);
}

// The looks in pixels, at the dialog's two button sizes.
TEST_F(CommandTest, EachLookDrawsItsSkinFrameGradientAndCaption)
{
    other.Move(220, 22, 25, 21);
    other.setName("Command2");
    load();
    button.setCaption("One");
    other.setCaption("...");
    struct Look {
        const char* script;
        int16_t enabled;
        CommandLook look;
        bool lightAtTop;
    };
    const Look looks[] = {
        {"", -1, CommandLook::Normal, true},        {"m", -1, CommandLook::HighLight, false},
        {"fm", -1, CommandLook::HighLightSelect, true}, {"f", -1, CommandLook::Selected, true},
        {"mf", -1, CommandLook::Pressed, false},     {"", 0, CommandLook::Disable, true},
    };
    for (Command* target : {&button, &other}) {
        for (const Look& look : looks) {
            SCOPED_TRACE(std::to_string(target->hDC().width()) + " " + look.script);
            form.SetFocusTo(nullptr);
            target->EnabledLet(-1);
            ui.windowUnderPointer = 0;
            target->WatchPointer();
            window = ui.windowWithHandle(target->childWindow());
            for (char step : std::string(look.script)) {
                if (step == 'm')
                    window->mouseMove(3, 3);
                if (step == 'f')
                    form.SetFocusTo(target);
            }
            if (look.enabled == 0)
                target->EnabledLet(0);
            ASSERT_EQ(target->lastLook(), look.look);

            gfx::Surface shown = window->paint();
            const int W = shown.width(), H = shown.height();
            const gfx::Surface& skin = CommandSkin(look.look);
            // The frame: corners 1:1 from the skin, the right edge from its last four columns, the
            // bottom edge from rows 21-24.
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 4; ++x) {
                    EXPECT_EQ(shown.at(x, y), skin.at(x, y)) << x << "," << y;
                    EXPECT_EQ(shown.at(W - 4 + x, y), skin.at(60 + x, y)) << x << "," << y;
                    EXPECT_EQ(shown.at(x, H - 4 + y), skin.at(x, 21 + y)) << x << "," << y;
                }
            EXPECT_EQ(shown.at(W - 2, H / 2), skin.at(62, 12));
            EXPECT_EQ(shown.at(W / 2, H - 1), skin.at(31, 24));
            // The centre column's gradient between the frame's rows, away from the caption.
            const int x = W - 5;
            gfx::Pixel top = shown.at(x, 4), bottom = shown.at(x, H - 5);
            EXPECT_EQ(gfx::Red(top) > gfx::Red(bottom), look.lightAtTop);
            // Half way down, either way round: the mean of white and the lavender grey read as red C6,
            // green C5, blue D7.
            // (The narrow button's caption covers that row.)
            if (W > 40) {
                EXPECT_EQ(shown.at(x, (H - 1) / 2), gfx::Rgb(0xE2, 0xE2, 0xEB));
            }
            // The caption: centred across, its box 10 twips above the middle; grey when disabled.
            const gfx::Pixel ink = look.enabled ? gfx::kBlack : kDisabledText;
            int minX = W, maxX = -1, minY = H, maxY = -1;
            for (int yy = 0; yy < H; ++yy)
                for (int xx = 0; xx < W; ++xx)
                    if (shown.at(xx, yy) == ink) {
                        minX = std::min(minX, xx), maxX = std::max(maxX, xx);
                        minY = std::min(minY, yy), maxY = std::max(maxY, yy);
                    }
            ASSERT_GE(maxX, 0);
            EXPECT_NEAR((minX + maxX) / 2.0, (W - 1) / 2.0, 1.0);
            // Block text: 10 rows of ink in a 12-row line.
            EXPECT_EQ(minY, static_cast<int>(std::lround(((H * 15 - 12 * 15 - 20) / 2.0) / 15)));
            EXPECT_EQ(maxY - minY, 9);
        }
    }
}

}  // namespace
}  // namespace pap
