// The saver program over recording fakes: the start-up's steps for every kind of command line, the
// saver run (snapshot, renderer, music, watch and clean-up, with the renderer's start-up grace), and
// the preview's embedding into its pane.

#include <gtest/gtest.h>

#include <algorithm>

#include "forms/fake_ui.h"
#include "platform/paths.h"
#include "saver/fake_saver_system.h"
#include "saver/papyrant_b.h"

namespace pap {
namespace {

using testing::FakeSaverSystem;
using testing::FakeUi;
using testing::FakeWindow;
using testing::Journal;
using testing::JournalAudio;

const std::string kSep(1, PathSeparator());
const std::string kProgramDir = kSep + "opt" + kSep + "papyrant";
const std::string kRenderer = "Start " + kProgramDir + kSep + "Papyrant.dll 1";
const SaverPaths kPaths{"WORK", "WORK" + kSep + "Papyrant.bmp", "WORK" + kSep + "*.*"};

// One program run over the fakes.
class Saver {
public:
    explicit Saver(const std::string& commandLine, MusicSettingsRecord inFile = {}, int screenWidth = 64,
                   int screenHeight = 48)
        : app(ui, commandLine, kProgramDir)
    {
        ui.metrics = ScreenMetrics{screenWidth, screenHeight, 15, 15};
        ui.screen = gfx::Surface(screenWidth, screenHeight);
        for (int y = 0; y < screenHeight; ++y)
            for (int x = 0; x < screenWidth; ++x)
                ui.screen.set(x, y, gfx::Rgb(uint8_t(x), uint8_t(y), uint8_t(x + y)));
        system.settingsInFile = std::move(inFile);
        program = std::make_unique<SaverProgram>(app, system, audio, settings, kPaths, gfx::Surface(8, 6, gfx::kWhite));
    }

    // Main only.
    void main() { Main(*program); }
    // Main and the event loop to the end; the virtual time the run took from the start.
    uint64_t run()
    {
        const uint64_t start = ui.now;
        Main(*program);
        app.Run();
        return ui.now - start;
    }
    // The journal from the first entry that starts with `prefix`.
    Journal from(const std::string& prefix) const
    {
        auto it = std::find_if(journal.begin(), journal.end(),
                               [&](const std::string& e) { return e.rfind(prefix, 0) == 0; });
        return Journal(it, journal.end());
    }
    Journal only(const std::string& prefix) const
    {
        Journal out;
        for (const std::string& e : journal)
            if (e.rfind(prefix, 0) == 0)
                out.push_back(e);
        return out;
    }
    // The renderer's window appears at `shown` and goes at `gone` (virtual ms from now).
    void rendererWindow(uint64_t shown, uint64_t gone)
    {
        const uint64_t start = ui.now;
        ui.onPump = [this, start, shown, gone] {
            if (ui.now >= start + shown && ui.now < start + gone)
                ui.foreignTitles["Papyrant_VC"] = 777;
            else
                ui.foreignTitles.erase("Papyrant_VC");
        };
    }

    Journal journal;
    FakeUi ui{&journal};
    FakeSaverSystem system{journal};
    JournalAudio audio{journal};
    MusicSettingsRecord settings;
    forms::App app;
    std::unique_ptr<SaverProgram> program;
};

TEST(CommandLineTest, ModeLetterAndPreviewHandle)
{
    struct Case {
        const char* line;
        const char* mode;
        int32_t handle;
    } cases[] = {
        {"/s", "S", 0},           {"-S", "S", 0},         {"xs", "S", 0},          {"s", "", 0},
        {"", "", 0},              {"/p 1234", "P", 1234}, {"/p:1234", "P", 1234},  {"/P   42 ", "P", 42},
        {"/p 12ab", "P", 12},     {"/p", "P", 0},         {"/p -5", "P", -5},      {"/p 3000000000", "P", 0},
        {"/p 2147483647", "P", 2147483647}, {"/p 7.5", "P", 8}, {"/p 6.5", "P", 6}, {"/p &H10", "P", 16},
        {"/c:1234", "C", 1234},   {"/a 1234", "A", 1234}, {"/x", "X", 0},
        // UTF-8 characters of two to four bytes count as one, whatever the system's code page.
        {"/p\u3042" "1234", "P", 1234}, {"/\u3042 1234", "\u3042", 1234}, {"\u3042s", "S", 0},
        {"\u3042p 77", "P", 77},  {"/\u00e9x 5", "\u00e9", 5}, {"/\U0001F600" "12", "\U0001F600", 2},
        // A byte that starts no UTF-8 sequence is a character of its own.
        {"/\xE3p 9", "\xE3", 9}, {"\x81p 9", "P", 9},   {"/p\xE3\x81" "42", "P", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(ModeLetter(c.line), c.mode);
        EXPECT_EQ(PreviewHandle(c.line), c.handle);
    }
}

// Every kind of command line: the steps Main takes, in order, and whether the program goes on.
TEST(MainTest, DispatchesOnTheSecondCharacter)
{
    const Journal search{"FindWindow Papyrant_Main", "FindWindow <Papyrant>"};
    const Journal setup{"MkDir", "LoadSettings"};
    struct Case {
        const char* line;
        bool cursorHidden;
        bool saverRuns;
    } cases[] = {
        {"/s", true, true}, {"/S", true, true},   {"-s", true, true},    {"xs", true, true},
        {"", false, true},  {"s", false, false},  {"/a 1234", false, false}, {"/x", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("command line \"") + c.line + "\"");
        Saver saver(c.line);
        saver.main();
        Journal expected = search;
        expected.insert(expected.end(), setup.begin(), setup.end());
        if (c.cursorHidden)
            expected.push_back("ShowCursor FALSE");
        if (c.saverRuns)
            expected.push_back("createWindow");
        Journal head(saver.journal.begin(), saver.journal.begin() + long(std::min(saver.journal.size(), expected.size())));
        EXPECT_EQ(head, expected);
        EXPECT_EQ(saver.program->saverForm.Loaded(), c.saverRuns);
        EXPECT_EQ(saver.app.ended(), !c.saverRuns);
        EXPECT_EQ(saver.ui.cursorCount, c.cursorHidden ? -1 : 0);
        if (!c.saverRuns) {
            EXPECT_EQ(saver.journal, expected) << "nothing more after the end";
        }
    }
}

TEST(MainTest, ASecondInstanceDoesNothingElse)
{
    for (const char* blocker : {"Papyrant_Main", "<Papyrant>"})
        for (const char* line : {"/s", "", "/p 1234", "/c", "/a"}) {
            SCOPED_TRACE(std::string(blocker) + " with \"" + line + "\"");
            Saver saver(line);
            saver.ui.foreignTitles[blocker] = 99;
            saver.ui.foreignRects[1234] = {0, 0, 152, 112};
            saver.main();
            EXPECT_EQ(saver.journal, (Journal{"FindWindow Papyrant_Main", "FindWindow <Papyrant>"}));
            EXPECT_TRUE(saver.app.ended());
        }
}

TEST(SaverRunTest, SnapshotBeforeTheRendererThenMusic)
{
    MusicSettingsRecord wav;
    wav.MusicType = 2;
    wav.MusicFile = "tune.wav";
    Saver saver("/s", wav, 80, 50);
    saver.main();
    EXPECT_EQ(saver.from("createWindow"),
              (Journal{"createWindow", "BitBlt 80x50", "SavePicture " + kPaths.snapshotFile, kRenderer,
                       "PlaySound tune.wav 9"}));
    // The form and its picture box cover the screen, hidden; the snapshot is the screen, pixel for pixel.
    FakeWindow* window = saver.ui.windowTitled("Papyrant_Main");
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(window->visible);
    EXPECT_EQ(window->width, 80);
    EXPECT_EQ(window->height, 50);
    EXPECT_EQ(saver.system.savedPicture, saver.ui.screen);
    EXPECT_EQ(saver.program->saverForm.rendererPath(), kProgramDir + kSep + "Papyrant.dll");
}

TEST(SaverRunTest, AnUnreadableDesktopGivesABlackSnapshot)
{
    Saver saver("/s");
    saver.ui.screenReadable = false;
    saver.main();
    EXPECT_EQ(saver.system.savedPicture, gfx::Surface(64, 48, gfx::kBlack));
}

TEST(SaverRunTest, TheRendererPathIsBuiltWithoutACheck)
{
    // A program in the root: the directory ends in a separator, and the path gets a second one.
    Journal journal;
    FakeUi ui(&journal);
    FakeSaverSystem system(journal);
    JournalAudio audio(journal);
    MusicSettingsRecord settings;
    forms::App app(ui, "/s", kSep);
    SaverProgram program(app, system, audio, settings, kPaths, gfx::Surface());
    Main(program);
    EXPECT_EQ(program.saverForm.rendererPath(), kSep + kSep + "Papyrant.dll");
}

MusicSettingsRecord Music(int16_t type, std::string file, int16_t repeat = 0)
{
    MusicSettingsRecord m;
    m.MusicType = type;
    m.MusicFile = std::move(file);
    m.RepeatTrack = repeat;
    return m;
}

// The music of a whole run, from the renderer's start to the end, for each setting; the renderer's
// window goes after 2.2 s, so the run ends at the 2.5 s tick.
TEST(SaverRunTest, MusicOfEachSettingFromStartToEnd)
{
    const std::string mp3Open = "mci open \"/music/my song.Mp3\" type MPEGVideo Alias MP3Play";
    const std::string mp3Watch = "mci status MP3Play mode";
    const Journal mp3Restart{mp3Watch, "mci stop MP3Play", "mci play MP3Play from 0"};
    struct Case {
        const char* name;
        MusicSettingsRecord music;
        Journal expected;
    } cases[] = {
        {"none", Music(0, "/music/a.mp3"), {}},
        {"other type", Music(3, "/music/a.mp3"), {}},
        {"midi", Music(2, "/music/tune.mid"), {}},
        {"wav", Music(2, "/music/tune.wav"), {"PlaySound /music/tune.wav 9", "PlaySound (null) 0"}},
        {"WAV", Music(2, "/music/TUNE.WaV"), {"PlaySound /music/TUNE.WaV 9", "PlaySound (null) 0"}},
        {"mp3", Music(2, "/music/my song.Mp3"),
         {mp3Open, "mci play MP3Play", mp3Watch, "mci stop MP3Play", "mci play MP3Play from 0", mp3Watch,
          "mci stop MP3Play", "mci play MP3Play from 0", "mci stop MP3Play", "mci close MP3Play"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Saver saver("/s", c.music);
        saver.rendererWindow(300, 2200);
        EXPECT_EQ(saver.run(), 2500u);
        Journal music = saver.only("mci ");
        Journal sounds = saver.only("PlaySound ");
        music.insert(music.end(), sounds.begin(), sounds.end());
        EXPECT_EQ(music, c.expected);
        EXPECT_EQ(saver.ui.cursorCount, 0);
    }
}

TEST(SaverRunTest, CdPollThatFailsSwitchesItselfOffAndSendsNoClose)
{
    Saver saver("/s", Music(1, "", 2));
    saver.audio.script.answer("status cdaudio current track", {{276, ""}});
    saver.rendererWindow(100, 1100);
    EXPECT_EQ(saver.run(), 1500u);
    EXPECT_EQ(saver.only("mci "),
              (Journal{"mci open cdaudio", "mci set cdaudio time format tmsf", "mci status cdaudio current track"}));
    EXPECT_FALSE(saver.program->saverForm.Timer2.Enabled());
}

TEST(SaverRunTest, CdPollRepeatsTheTrackAndIsClosedAtTheEnd)
{
    Saver saver("/s", Music(1, "/music/ignored.mp3", 3));
    saver.audio.script.answer("status cdaudio current track", {{0, "4"}, {0, "3"}});
    saver.audio.script.answer("status cdaudio number of tracks", {{0, "9"}});
    saver.audio.script.answer("status cdaudio mode", {{0, "playing"}});
    saver.audio.script.answer("status cdaudio position track 3", {{0, "03:00:00:00"}});
    saver.rendererWindow(100, 700);
    EXPECT_EQ(saver.run(), 1000u);
    const Journal tick{"mci status cdaudio current track", "mci status cdaudio number of tracks",
                       "mci status cdaudio mode"};
    Journal expected{"mci open cdaudio", "mci set cdaudio time format tmsf"};
    // 200 ms: track 4 plays, so back to track 3; from 400 ms on track 3 plays: nothing more.
    expected.insert(expected.end(), tick.begin(), tick.end());
    expected.push_back("mci status cdaudio position track 3");
    expected.push_back("mci play cdaudio from 03:00:00:00");
    for (int i = 0; i < 4; ++i)
        expected.insert(expected.end(), tick.begin(), tick.end());
    expected.push_back("mci stop cdaudio");
    expected.push_back("mci close cdaudio");
    EXPECT_EQ(saver.only("mci "), expected);
}

TEST(SaverRunTest, EndOfTheRunInOrder)
{
    Saver saver("/s", Music(2, "/m/x.mp3"));
    saver.rendererWindow(0, 600);
    saver.run();
    ASSERT_GE(saver.journal.size(), 7u);
    EXPECT_EQ(Journal(saver.journal.end() - 7, saver.journal.end()),
              (Journal{"FindWindow Papyrant_VC", "mci stop MP3Play", "mci close MP3Play", "ShowCursor TRUE", "Kill " + kPaths.deletePattern,
                       "RmDir " + kPaths.workDirectory, "destroyWindow"}));
    EXPECT_TRUE(saver.app.ended());
    EXPECT_EQ(saver.ui.cursorCount, 0);
    EXPECT_FALSE(saver.program->saverForm.Timer1.Enabled());
    EXPECT_FALSE(saver.program->saverForm.Timer3.Enabled());
}

// A work directory refused at the start (a link, somebody else's): the run goes on without a
// snapshot and leaves the directory as it found it.
TEST(SaverRunTest, ARefusedWorkDirectoryIsNeitherWrittenNorCleaned)
{
    for (const char* line : {"/s", ""}) {
        SCOPED_TRACE(std::string("command line \"") + line + "\"");
        Saver saver(line, Music(2, "/m/x.wav"));
        saver.system.workDirectoryFit = false;
        saver.rendererWindow(0, 600);
        EXPECT_EQ(saver.run(), 1000u);
        EXPECT_TRUE(saver.only("SavePicture").empty());
        EXPECT_TRUE(saver.only("Kill").empty());
        EXPECT_TRUE(saver.only("RmDir").empty());
        EXPECT_EQ(saver.only("Start"), Journal{kRenderer});
        EXPECT_EQ(saver.from("PlaySound (null)").back(), "destroyWindow");
        EXPECT_TRUE(saver.app.ended());
        EXPECT_EQ(saver.ui.cursorCount, 0);
    }
}

TEST(SaverRunTest, AnEmptyCommandLineLeavesTheCursorAlone)
{
    Saver saver("");
    saver.rendererWindow(0, 600);
    saver.run();
    EXPECT_TRUE(saver.only("ShowCursor").empty());
    EXPECT_EQ(saver.journal.back(), "destroyWindow");
    EXPECT_EQ(saver.from("Kill").front(), "Kill " + kPaths.deletePattern);
}

TEST(SaverRunTest, TheUserEndingTheSessionEndsTheRunTheSameWay)
{
    Saver saver("/s", Music(2, "a.wav"));
    saver.rendererWindow(0, 100000);
    saver.ui.onPump = [&] {
        saver.ui.foreignTitles["Papyrant_VC"] = 777;
        if (saver.ui.now > 3000)
            saver.program->saverForm.Unload(forms::UnloadMode::AppWindows);
    };
    saver.run();
    EXPECT_EQ(saver.from("PlaySound (null)"),
              (Journal{"PlaySound (null) 0", "ShowCursor TRUE", "Kill " + kPaths.deletePattern,
                       "RmDir " + kPaths.workDirectory, "destroyWindow"}));
}

// Under XScreenSaver: the picture is the desktop the daemon grabbed for its window (whose size the run
// takes), the renderer draws into that window, the cursor is the daemon's, and a terminate request ends
// the renderer with the run. A bad window id runs nothing.
TEST(SaverRunTest, HackModeRunsInsideTheDaemonsWindow)
{
    constexpr NativeWindow kHost = 0x800008;
    struct Case {
        const char* name;
        HackMode hack;
        Journal picture;        // how the picture was taken
        std::string renderer;   // the renderer's start, empty when none
    };
    const Case cases[] = {
        {"window", {HackMode::Kind::Window, kHost}, {"GrabDesktop 8388616 40x30"},
         "Start " + kProgramDir + kSep + "Papyrant.dll -window-id 0x800008 1"},
        {"root", {HackMode::Kind::Root, 0}, {"BitBlt 64x48"},
         "Start " + kProgramDir + kSep + "Papyrant.dll --root 1"},
        {"refused", {HackMode::Kind::Refused, 0}, {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Saver saver("--root", Music(2, "/m/x.wav"));
        saver.program->hack = c.hack;
        saver.ui.foreignRects[kHost] = ScreenRect{0, 0, 40, 30};
        saver.ui.grabbedDesktop = gfx::Surface(40, 30, gfx::Rgb(1, 2, 3));
        saver.ui.onPump = [&] {
            saver.ui.foreignTitles["Papyrant_VC"] = 777;
            if (saver.ui.now > 3000)
                saver.ui.requestEnd(EndRequest::Terminate);
        };
        saver.run();
        EXPECT_TRUE(saver.app.ended());
        EXPECT_TRUE(saver.only("ShowCursor").empty());
        Journal picture = saver.only("GrabDesktop");
        for (const std::string& e : saver.only("BitBlt"))
            picture.push_back(e);
        EXPECT_EQ(picture, c.picture);
        if (c.renderer.empty()) {
            EXPECT_TRUE(saver.only("Start").empty());
            EXPECT_TRUE(saver.only("LoadSettings").empty());
            continue;
        }
        EXPECT_EQ(saver.only("Start"), Journal{c.renderer});
        if (c.hack.kind == HackMode::Kind::Window) {
            EXPECT_EQ(saver.system.savedPicture.width(), 40);
            EXPECT_EQ(saver.system.savedPicture.at(39, 29), gfx::Rgb(1, 2, 3));
        }
        EXPECT_EQ(saver.from("PlaySound (null)"),
                  (Journal{"PlaySound (null) 0", "EndProgram", "Kill " + kPaths.deletePattern,
                           "RmDir " + kPaths.workDirectory, "destroyWindow"}));
    }
}

// When the run ends, by the renderer's window and process.
TEST(SaverRunTest, RendererWatchWithItsStartUpGrace)
{
    struct Case {
        const char* name;
        int64_t shown, gone;       // the renderer's window, -1: never
        int64_t processEnds;       // -1: runs on
        bool starts;
        uint64_t runEnds;
    } cases[] = {
        {"window seen, then gone", 300, 3200, -1, true, 3500},
        {"window seen at once, gone at once", 0, 400, 450, true, 500},
        {"never a window, process runs on", -1, -1, -1, true, 10000},
        {"never a window, process ends", -1, -1, 1200, true, 1500},
        {"renderer cannot start", -1, -1, -1, false, 500},
        {"slow start: window after 4 s", 4000, 6000, -1, true, 6000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Saver saver("/s");
        saver.system.programStarts = c.starts;
        const uint64_t start = saver.ui.now;
        saver.ui.onPump = [&] {
            const int64_t t = int64_t(saver.ui.now - start);
            if (c.shown >= 0 && t >= c.shown && t < c.gone)
                saver.ui.foreignTitles["Papyrant_VC"] = 777;
            else
                saver.ui.foreignTitles.erase("Papyrant_VC");
            *saver.system.programEnded = c.processEnds >= 0 && t >= c.processEnds;
        };
        EXPECT_EQ(saver.run(), c.runEnds);
        EXPECT_EQ(saver.from("Kill").size(), 3u);
    }
}

TEST(SaverRunTest, AnotherProgramsRendererWindowKeepsTheSaverWaiting)
{
    Saver saver("/s");
    saver.ui.foreignTitles["Papyrant_VC"] = 5;
    *saver.system.programEnded = true;  // our own renderer quit at once
    saver.ui.onPump = [&] {
        if (saver.ui.now >= saver.ui.deadline - 60000)
            saver.ui.foreignTitles.clear();
    };
    saver.run();
    EXPECT_GE(saver.ui.now, saver.ui.deadline - 60000);
    // Only the watch ran meanwhile: one search every 500 ms.
    EXPECT_GT(saver.only("FindWindow Papyrant_VC").size(), 7000u);
}

// The preview's embedding into a pane of another program.
class PreviewTest : public ::testing::Test {
protected:
    std::unique_ptr<Saver> embed(const std::string& line, ScreenRect pane, NativeWindow handle = 1234)
    {
        auto saver = std::make_unique<Saver>(line);
        saver->ui.foreignRects[handle] = pane;
        saver->main();
        return saver;
    }
};

TEST_F(PreviewTest, AStandardPaneGetsTheWholePicture)
{
    for (const char* line : {"/p 1234", "/p:1234"}) {
        SCOPED_TRACE(line);
        auto saver = embed(line, {300, 200, 452, 312});
        EXPECT_EQ(saver->journal, (Journal{"FindWindow Papyrant_Main", "FindWindow <Papyrant>", "GetWindowRect 1234",
                                           "createWindow", "SetWindowLong 0x40000000", "SetParent 1234"}));
        FakeWindow* window = saver->ui.windowTitled("Preview Window");
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->parent, 1234u);
        EXPECT_TRUE(window->visible);
        EXPECT_EQ(window->x, 0);
        EXPECT_EQ(window->y, 0);
        EXPECT_EQ(window->width, 152);
        EXPECT_EQ(window->height, 112);
        Papyrant_R& form = saver->program->previewForm;
        EXPECT_DOUBLE_EQ(form.Width(), 2280);
        EXPECT_DOUBLE_EQ(form.Height(), 1680);
        EXPECT_DOUBLE_EQ(form.Img_Prev.Width(), 152);
        EXPECT_DOUBLE_EQ(form.Img_Prev.Height(), 112);
        EXPECT_FALSE(saver->app.ended());
    }
}

TEST_F(PreviewTest, ThePictureIsStretchedToThePane)
{
    auto saver = embed("/p 1234", {0, 0, 16, 9});
    gfx::Surface shown = saver->ui.windowTitled("Preview Window")->paint();
    gfx::Surface expected(16, 9, gfx::kBlack);
    gfx::StretchBlit(expected, {0, 0, 16, 9}, saver->program->previewForm.Img_Prev.Picture());
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(shown.at(15, 8), gfx::kWhite);
}

TEST_F(PreviewTest, APaneBeyondSixteenBitTwipsGetsNoWidth)
{
    auto saver = embed("/p 1234", {0, 0, 2185, 112});  // 32775 twips
    FakeWindow* window = saver->ui.windowTitled("Preview Window");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->width, 0);
    EXPECT_EQ(window->height, 112);
}

TEST_F(PreviewTest, NoPaneEndsAtOnce)
{
    for (const char* line : {"/p 0", "/p", "/p 999"}) {
        SCOPED_TRACE(line);
        auto saver = embed(line, {0, 0, 152, 112});
        EXPECT_TRUE(saver->app.ended());
        EXPECT_EQ(saver->only("createWindow").size(), 0u);
        EXPECT_EQ(saver->only("MkDir").size(), 0u);
    }
}

TEST_F(PreviewTest, ThePanesEndEndsTheProgram)
{
    auto saver = embed("/p 1234", {0, 0, 152, 112});
    saver->ui.onPump = [&] {
        if (saver->ui.now > 5000 && !saver->ui.windows.empty())
            saver->ui.windows.front()->destroyFromOutside();
    };
    saver->app.Run();
    EXPECT_FALSE(saver->program->previewForm.Loaded());
    EXPECT_EQ(saver->app.loadedFormCount(), 0);
    EXPECT_LT(saver->ui.now, 7000u);
}

}  // namespace
}  // namespace pap
