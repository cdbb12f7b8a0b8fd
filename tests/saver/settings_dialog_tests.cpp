// The settings dialog over recording fakes: /c runs it modally, clicks go through the form's input
// path, and what Set saves (or Cancel does not) is read back from the fake settings file.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "forms/fake_ui.h"
#include "platform/paths.h"
#include "saver/fake_saver_system.h"
#include "saver/papyrant_b.h"
#include "support/recording_desktop_shell.h"

namespace pap {
namespace {

using testing::FakeSaverSystem;
using testing::FakeUi;
using testing::FakeWindow;
using testing::Journal;
using testing::JournalAudio;

const SaverPaths kPaths{"WORK", "WORK/Papyrant.bmp", "WORK/*.*"};

// One /c run: the steps run one per turn of the dialog's event loop, then the loop goes on until the
// program ends.
class DialogRun {
public:
    explicit DialogRun(MusicSettingsRecord inFile, const std::string& commandLine = "/c") : app(ui, commandLine, "DIR")
    {
        ui.metrics = ScreenMetrics{1024, 768, 15, 15};
        ui.pointerAt = std::pair{300, 200};
        system.settingsInFile = std::move(inFile);
        program = std::make_unique<SaverProgram>(app, system, audio, settings, kPaths, gfx::Surface(), &shell);
    }

    Papyrant_P& dialog() { return *program->settingsForm; }
    FakeWindow& window() { return *ui.windowTitled("<Papyrant>"); }
    // A click at a point of the dialog (windowless controls) or on a button's own window.
    void click(int x, int y)
    {
        window().mouseDown(x, y);
        window().mouseUp(x, y);
    }
    void click(Command& button)
    {
        FakeWindow* own = ui.windowWithHandle(button.childWindow());
        ASSERT_NE(own, nullptr);
        own->mouseMove(3, 3);
        own->mouseDown(3, 3);
        own->mouseUp(3, 3);
    }

    // Runs Main with the steps; afterwards the program must have ended.
    void run(std::vector<std::function<void()>> steps)
    {
        size_t next = 0;
        ui.onPump = [&] {
            if (next < steps.size() && program->settingsForm && program->settingsForm->Loaded())
                steps[next++]();
        };
        Main(*program);
        EXPECT_TRUE(app.ended());
        EXPECT_EQ(next, steps.size()) << "the dialog closed before every step ran";
    }
    // The journal's file and settings entries from the first that starts with `prefix`.
    Journal from(const std::string& prefix) const
    {
        Journal out;
        bool found = false;
        for (const std::string& entry : journal) {
            found = found || entry.rfind(prefix, 0) == 0;
            if (found &&
                (entry == "MkDir" || entry.rfind("LoadSettings", 0) == 0 || entry.rfind("SaveSettings", 0) == 0))
                out.push_back(entry);
        }
        return out;
    }
    Journal saves() const
    {
        Journal out;
        for (const std::string& entry : journal)
            if (entry.rfind("SaveSettings", 0) == 0)
                out.push_back(entry);
        return out;
    }

    Journal journal;
    FakeUi ui{&journal};
    FakeSaverSystem system{journal};
    JournalAudio audio{journal};
    test::RecordingDesktopShell shell;
    MusicSettingsRecord settings;
    forms::App app;
    std::unique_ptr<SaverProgram> program;
};

// Which radio picture shows the "selected" picture of a pair.
int MarkedChoice(Papyrant_P& dialog, const forms::Image& selected)
{
    int marked = -1;
    for (int i = 0; i < 3; ++i)
        if (dialog.Img_BGM[i].Picture() == selected.Picture())
            marked = marked == -1 ? i : -2;
    return marked;
}

TEST(SettingsDialog, LoadShowsTheStoredChoice)
{
    struct Case {
        int16_t type, track;
        int marked;
        bool comboEnabled, fileEnabled;
        const char* comboText;
    };
    for (const Case& c : {Case{0, 0, 0, false, false, ""}, Case{1, 7, 1, true, false, "7"},
                          Case{2, 3, 2, false, true, "3"}, Case{5, 0, -1, false, false, ""}}) {
        SCOPED_TRACE(c.type);
        DialogRun run({c.type, c.track, "/music/a.mp3", ""});
        bool checked = false;
        run.run({[&] {
            Papyrant_P& d = run.dialog();
            EXPECT_EQ(MarkedChoice(d, d.Img_Opt[1]), c.marked);
            EXPECT_EQ(d.BGM_Repeat.Enabled(), c.comboEnabled);
            EXPECT_EQ(d.Cmd_File.enabledValue() != 0, c.fileEnabled);
            EXPECT_EQ(d.BGM_Repeat.Text(), c.comboText);
            EXPECT_EQ(d.BGM_Repeat.ListCount(), 31);
            EXPECT_EQ(d.BGM_Repeat.List(0), "");
            EXPECT_EQ(d.BGM_Repeat.List(30), "30");
            EXPECT_EQ(d.lbl_Fname.Caption(), "/music/a.mp3");
            checked = true;
            run.click(d.Cmd_Can);
        }});
        EXPECT_TRUE(checked);
        EXPECT_TRUE(run.saves().empty());
    }
}

TEST(SettingsDialog, OpensCentredAndZoomsFromThePointer)
{
    for (const char* line : {"/c", "/C", "/c:1234"}) {
        SCOPED_TRACE(line);
        DialogRun run({}, line);
        run.run({[&] {
            EXPECT_EQ(run.window().parent, 0u) << "the dialog has no owner";
            FakeWindow& w = run.window();
            // 450 x 319 on 1024 x 768: (1024 - 450) / 2 across; (11520 - 4785) / 3 = 2245 twips down, 149.7 px.
            EXPECT_EQ(std::vector<int>({w.x, w.y, w.width, w.height}), std::vector<int>({287, 150, 450, 319}));
            run.window().requestClose();
        }});
        const ScreenRect dialog{287, 150, 737, 469}, point{300, 200, 300, 200};
        const auto zooms = run.shell.callsOf<test::RecordingDesktopShell::ZoomRect>();
        ASSERT_EQ(zooms.size(), 2u);
        EXPECT_EQ(std::pair(zooms[0].from, zooms[0].to), std::pair(point, dialog));
        EXPECT_EQ(std::pair(zooms[1].from, zooms[1].to), std::pair(dialog, point));
        EXPECT_TRUE(run.saves().empty());
        EXPECT_EQ(run.from("MkDir"), (Journal{"MkDir", "LoadSettings"}));
    }
}

TEST(SettingsDialog, SetSavesWhatTheChoicesAndTheComboSay)
{
    // Radio label clicks at their places: 音楽CD (56,124), なし (52,140), MP3、WAV (52,156); the
    // pictures at x 36.
    struct Case {
        const char* name;
        MusicSettingsRecord inFile;
        std::vector<std::pair<int, int>> clicks;
        const char* comboText;  // null: left as loaded
        std::vector<std::string> chosenFiles;
        const char* saved;
    };
    const Case cases[] = {
        {"abc", {1, 4, "", ""}, {}, "abc", {}, "SaveSettings 1 0 "},
        {"99", {1, 4, "", ""}, {}, "99", {}, "SaveSettings 1 99 "},
        {"2.5", {1, 4, "", ""}, {}, "2.5", {}, "SaveSettings 1 2 "},
        {"3.5", {1, 4, "", ""}, {}, "3.5", {}, "SaveSettings 1 4 "},
        {"empty", {1, 4, "", ""}, {}, "", {}, "SaveSettings 1 0 "},
        {"outside 16 bits", {1, 4, "", ""}, {}, "70000", {}, "SaveSettings 1 4 "},
        {"type 5 kept", {5, 0, "", ""}, {}, nullptr, {}, "SaveSettings 5 0 "},
        {"type 2 without a file", {0, 0, "", ""}, {{52, 156}}, nullptr, {}, "SaveSettings 2 0 "},
        {"file then audio CD",
         {0, 0, "", ""},
         {{52, 156}, {0, 0}, {56, 124}},
         "7",
         {"/m/b.wav"},
         "SaveSettings 1 7 /m/b.wav"},
        {"label なし", {1, 3, "/m/a.mp3", ""}, {{52, 140}}, nullptr, {}, "SaveSettings 0 3 /m/a.mp3"},
        {"picture なし", {1, 3, "/m/a.mp3", ""}, {{40, 144}}, nullptr, {}, "SaveSettings 0 3 /m/a.mp3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DialogRun run(c.inFile);
        for (const std::string& file : c.chosenFiles)
            run.shell.queueOpenFile(file);
        std::vector<std::function<void()>> steps;
        for (auto [x, y] : c.clicks)
            steps.push_back([&run, x, y] {
                if (x == 0)
                    run.click(run.dialog().Cmd_File);  // (0, 0) stands for the file button
                else
                    run.click(x, y);
            });
        steps.push_back([&] {
            if (c.comboText)
                run.dialog().BGM_Repeat.setText(c.comboText);
            run.click(run.dialog().Cmd_Set);
        });
        run.run(steps);
        EXPECT_EQ(run.saves(), Journal{c.saved});
    }
}

TEST(SettingsDialog, FileChoiceAndCancel)
{
    // A chosen file shows at once and moves the browsing folder; a cancelled choice changes nothing;
    // Cancel writes nothing.
    const std::string sep(1, PathSeparator());
    const std::string oldDir = sep + "old", newDir = sep + "new" + sep + "dir", newFile = newDir + sep + "b.WAV";
    DialogRun run({2, 0, oldDir + sep + "a.mp3", oldDir});
    run.shell.queueOpenFile(newFile);
    run.shell.queueOpenFile(std::nullopt);
    NativeWindow dialogWindow = 0;
    run.run({[&] {
                 dialogWindow = run.dialog().hWnd();
                 run.click(run.dialog().Cmd_File);
             },
             [&] {
                 EXPECT_EQ(run.dialog().lbl_Fname.Caption(), newFile);
                 EXPECT_EQ(run.settings.BrowseDir, newDir);
                 run.click(run.dialog().Cmd_File);
             },
             [&] {
                 EXPECT_EQ(run.dialog().lbl_Fname.Caption(), newFile);
                 run.click(run.dialog().Cmd_Can);
             }});
    const auto choices = run.shell.callsOf<test::RecordingDesktopShell::ChooseOpenFile>();
    ASSERT_EQ(choices.size(), 2u);
    const OpenFileRequest& first = choices[0].request;
    EXPECT_EQ(first.filterDescription, "BGMﾌｧｲﾙ (MP3 WAV)");
    EXPECT_EQ(first.filterPattern, "*.MP3;*.WAV");
    EXPECT_EQ(first.title, "ﾌｧｲﾙを開く");
    EXPECT_EQ(first.initialDirectory, oldDir);
    EXPECT_EQ(choices[1].request.initialDirectory, newDir);
    EXPECT_EQ(first.owner, dialogWindow);
    EXPECT_TRUE(run.saves().empty());
}

TEST(SettingsDialog, TheAnimationOpensTheHomePageUnderAnHourglass)
{
    DialogRun run({});
    std::vector<PointerShape> pointers;
    run.shell.onOpenAddress = [&] { pointers.push_back(run.ui.screenPointer); };
    run.run({[&] { run.click(30, 250); },
             [&] {
                 EXPECT_EQ(run.ui.screenPointer, PointerShape::Default);
                 run.click(run.dialog().Cmd_Can);
             }});
    const auto opened = run.shell.callsOf<test::RecordingDesktopShell::OpenAddress>();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].address, kHomePageAddress);
    EXPECT_EQ(pointers, std::vector<PointerShape>{PointerShape::Hourglass});
}

}  // namespace
}  // namespace pap
