#include "e2e/settings_scenario.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <span>
#include <sstream>
#include <thread>

#include "gfx/artwork.h"
#include "saver/dialog_look.h"

namespace pap::e2e {

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr const char* kTitle = "<Papyrant>";
constexpr int kWidth = 450, kHeight = 319;

struct Box {
    int x, y, width, height;
    int cx() const { return x + width / 2; }
    int cy() const { return y + height / 2; }
};
// Places in the dialog.
constexpr Box kLabelCd{56, 124, 43, 13}, kLabelNone{52, 140, 22, 13}, kLabelFile{52, 156, 60, 13};
constexpr Box kCombo{108, 120, 41, 20}, kFileButton{48, 172, 25, 21}, kFileName{76, 176, 325, 37};
constexpr Box kGif{20, 236, 120, 50}, kSet{248, 256, 81, 25}, kCancel{332, 256, 81, 25};
constexpr Box kIcon{20, 24, 32, 32};
constexpr Box kLabels[] = {{32, 92, 123, 13}, kLabelCd, {152, 124, 77, 13}, kLabelNone, kLabelFile};
// The radio pictures of choices 1, 0, 2 from the top.
constexpr int kRadioX = 36, kRadioTop[3] = {140, 124, 156};

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

gfx::Surface Asset(const std::string& name)
{
    const std::string bytes = ReadAll(std::string(PAPYRANT_ASSETS) + "/" + name);
    std::optional<gfx::Surface> picture =
        gfx::DecodePng(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    return picture ? std::move(*picture) : gfx::Surface();
}

void Outline(gfx::Surface& target, Box box, gfx::Pixel colour)
{
    target.fillRect({box.x, box.y, box.width, 1}, colour);
    target.fillRect({box.x, box.y + box.height - 1, box.width, 1}, colour);
    target.fillRect({box.x, box.y, 1, box.height}, colour);
    target.fillRect({box.x + box.width - 1, box.y, 1, box.height}, colour);
}

// What the dialog shows from its artwork alone at load with `marked` chosen: the background, the icon,
// the radio pictures and the frame lines. Text, the combo box, the buttons and the animation are not
// in it; `mask` marks where they lie.
gfx::Surface Reference(int marked, std::vector<Box>& mask)
{
    gfx::Surface picture = Asset("settings_background.png");
    gfx::Blit(picture, kIcon.x, kIcon.y, Asset("settings_icon.png"));
    const gfx::Surface off = Asset("radio_opt0.png"), on = Asset("radio_opt1.png");
    for (int i = 0; i < 3; ++i)
        gfx::Blit(picture, kRadioX, kRadioTop[i], i == marked ? on : off);
    for (Box frame : {Box{20, 76, 393, 153}, Box{32, 88, 125, 21}}) {
        Outline(picture, frame, kFrameLight);
        Outline(picture, {frame.x - 2, frame.y - 2, frame.width, frame.height}, kFrameDark);
    }
    // A caption wider than its label in the system's face widens the label.
    mask.clear();
    for (Box label : kLabels)
        mask.push_back({label.x, label.y, label.width + 30, label.height});
    for (Box box : {kCombo, kFileButton, kFileName, kGif, kSet, kCancel})
        mask.push_back(box);
    return picture;
}

// The pixels of the dialog's area that match the reference within 1 pixel of layout (the same colour,
// within a small tolerance, at most one pixel away), out of all that are compared.
std::pair<int, int> Matching(const Screenshot& shot, const gfx::Surface& reference, const std::vector<Box>& mask)
{
    int matching = 0, compared = 0;
    for (int y = 1; y < kHeight - 1; ++y)
        for (int x = 1; x < kWidth - 1; ++x) {
            bool masked = false;
            for (const Box& box : mask)
                masked =
                    masked || (x >= box.x - 1 && x <= box.x + box.width && y >= box.y - 1 && y <= box.y + box.height);
            if (masked)
                continue;
            ++compared;
            const gfx::Pixel want = reference.at(x, y);
            bool found = false;
            for (int dy = -1; dy <= 1 && !found; ++dy)
                for (int dx = -1; dx <= 1 && !found; ++dx)
                    found = near(shot.at(x + dx, y + dy), Rgb{gfx::Red(want), gfx::Green(want), gfx::Blue(want)}, 6);
            matching += found ? 1 : 0;
        }
    return {matching, compared};
}

}  // namespace

void RunSettingsDialogScenario(const SettingsDialogRun& run)
{
    XServer& x = *run.x;
    const int left = (x.width() * 15 - kWidth * 15) / 2 / 15;
    // A third of the free height above, in whole twips, shown at the nearest pixel.
    const int top = static_cast<int>(((x.height() * 15 - kHeight * 15) / 3) / 15.0 + 0.5);
    const std::string ini = run.settingsDir + "/Papyrant.ini";
    int logs = 0;
    auto save = [&](const Screenshot& shot, const std::string& name) {
        if (!run.screenshotDir.empty())
            savePng(shot, run.screenshotDir + "/" + run.prefix + name + ".png");
    };
    auto click = [&](int px, int py) {
        x.movePointer(left + px, top + py);
        std::this_thread::sleep_for(150ms);
        x.pointerButton(1, true);
        std::this_thread::sleep_for(80ms);
        x.pointerButton(1, false);
        std::this_thread::sleep_for(200ms);
    };
    auto key = [&](const std::string& name) {
        runCommand({"xdotool", "key", name}, x.env());
        std::this_thread::sleep_for(120ms);
    };
    auto startSaver = [&](const std::vector<std::string>& args) {
        return run.start(args, run.workDir + "/saver-" + std::to_string(++logs) + ".log");
    };
    // Opens the dialog and waits until its background is painted.
    auto openDialog = [&]() -> std::unique_ptr<Process> {
        auto saver = startSaver({"/c"});
        EXPECT_TRUE(saver);
        if (!saver || !x.waitForShownWindow(kTitle, run.startTimeout)) {
            ADD_FAILURE() << "no dialog titled " << kTitle;
            return nullptr;
        }
        const gfx::Surface background = Asset("settings_background.png");
        const gfx::Pixel corner = background.at(kWidth - 4, 4);
        const Rgb cornerColour{gfx::Red(corner), gfx::Green(corner), gfx::Blue(corner)};
        // The background's corner in place, and the Set button drawn over the background.
        auto painted = [&](const Screenshot& shot) {
            return near(shot.at(left + kWidth - 4, top + 4), cornerColour, 6) &&
                !near(shot.at(left + kSet.x + 3, top + kSet.y + 1), shot.at(left + kSet.x - 3, top + kSet.y + 1), 2);
        };
        EXPECT_TRUE(x.waitForScreen(painted, run.startTimeout).has_value())
            << "the dialog was not painted at (" << left << ", " << top << ")";
        std::this_thread::sleep_for(300ms);
        return saver;
    };
    auto ends = [&](Process& saver, Milliseconds timeout) {
        std::optional<int> code = saver.wait(timeout);
        EXPECT_TRUE(code.has_value()) << "the program did not end";
        if (code) {
            EXPECT_EQ(*code, 0);
        }
        return code.has_value();
    };
    const Milliseconds endTimeout = run.startTimeout;

    // 1. At load with no settings file: centred, a third of the free height above, the artwork at its
    // places with "none" marked. Other starts end at once while it is open; Cancel writes nothing.
    fs::remove(ini);
    {
        auto saver = openDialog();
        ASSERT_TRUE(saver);
        const Screenshot shot = x.screenshot(left, top, kWidth, kHeight);
        save(x.screenshot(), "dialog");
        std::vector<Box> mask;
        const gfx::Surface reference = Reference(0, mask);
        auto [matching, compared] = Matching(shot, reference, mask);
        EXPECT_EQ(matching, compared) << "pixels of the artwork out of place";
        EXPECT_EQ(x.findWindows(kTitle).size(), 1u);
        for (const std::vector<std::string>& args : {std::vector<std::string>{"/s"}, {"/p", "1234"}, {"/c"}}) {
            SCOPED_TRACE(args.front());
            auto other = startSaver(args);
            ASSERT_TRUE(other);
            ends(*other, endTimeout);
        }
        EXPECT_EQ(x.findWindows(kTitle).size(), 1u);
        click(kCancel.cx(), kCancel.cy());
        ends(*saver, endTimeout);
        EXPECT_FALSE(fs::exists(ini)) << "Cancel wrote the settings file";
    }

    // 2. Audio CD, track 7 chosen in the combo box with the keyboard, Set.
    {
        auto saver = openDialog();
        ASSERT_TRUE(saver);
        click(kLabelCd.cx(), kLabelCd.cy());
        click(kCombo.x + 10, kCombo.cy());  // opens the list, the empty entry highlighted
        for (int i = 0; i < 7; ++i)
            key("Down");
        save(x.screenshot(), "combo");
        key("Return");
        click(kSet.cx(), kSet.cy());
        ends(*saver, endTimeout);
        EXPECT_EQ(ReadAll(ini), run.iniBytes(1, 7, ""));
    }

    // 3. A music file chosen in the real open-file dialog by its typed path, Set.
    const std::string song = run.workDir + "/song.mp3";
    std::ofstream(song) << "ID3";
    const std::string songName = run.nameForProgram(song);
    {
        auto saver = openDialog();
        ASSERT_TRUE(saver);
        click(kLabelFile.cx(), kLabelFile.cy());
        click(kFileButton.cx(), kFileButton.cy());
        const std::optional<WindowId> chooser = x.waitForShownWindow("ﾌｧｲﾙを開く", run.startTimeout);
        ASSERT_TRUE(chooser) << "no open-file dialog";
        std::this_thread::sleep_for(1000ms);
        // What a window manager does for a new dialog.
        x.setFocus(*chooser);
        save(x.screenshot(), "file_dialog");
        runCommand({"xdotool", "type", "--delay", "40", songName}, x.env(), Milliseconds(30000));
        std::this_thread::sleep_for(300ms);
        key("Return");
        EXPECT_TRUE(x.waitForNoWindow("ﾌｧｲﾙを開く", run.startTimeout));
        std::this_thread::sleep_for(500ms);
        save(x.screenshot(), "file_chosen");
        click(kSet.cx(), kSet.cy());
        ends(*saver, endTimeout);
        EXPECT_EQ(ReadAll(ini), run.iniBytes(2, 7, songName));
    }

    // 4. The animation opens the home page; changed choices and Cancel leave the file as it was.
    {
        const std::string before = ReadAll(ini);
        auto saver = openDialog();
        ASSERT_TRUE(saver);
        click(kGif.cx(), kGif.cy());
        const auto deadline = std::chrono::steady_clock::now() + run.startTimeout;
        while (ReadAll(run.browserLog).empty() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(100ms);
        EXPECT_EQ(ReadAll(run.browserLog), std::string(kHomePageAddress) + "\n");
        click(kLabelNone.cx(), kLabelNone.cy());
        click(kCancel.cx(), kCancel.cy());
        ends(*saver, endTimeout);
        EXPECT_EQ(ReadAll(ini), before);
    }
}

}  // namespace pap::e2e
