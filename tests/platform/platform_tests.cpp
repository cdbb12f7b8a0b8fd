// Files, processes, program data, code pages and the work directory, on either platform.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "base/code_page.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/program_info.h"
#include "platform/screen_info.h"
#include "platform/work_dir.h"
#include "support/temp_directory.h"

namespace pap {
namespace {

using test::readBytes;
using test::TempDirectory;
using test::writeBytes;

std::string join(const std::string& directory, const std::string& name)
{
    return directory + PathSeparator() + name;
}

#ifdef _WIN32
constexpr const char* kExe = ".exe";
#else
constexpr const char* kExe = "";
#endif

TEST(Directories, AreMadeAndRemoved)
{
    TempDirectory root;
    std::string directory = root.file("made");
    EXPECT_TRUE(MakeDirectory(directory));
    EXPECT_FALSE(MakeDirectory(directory));  // exists already
    EXPECT_TRUE(std::filesystem::is_directory(directory));
    EXPECT_FALSE(MakeDirectory(join(root.file("missing"), "child")));

    writeBytes(join(directory, "file"), "x");
    EXPECT_FALSE(RemoveEmptyDirectory(directory));  // not empty
    std::filesystem::remove(join(directory, "file"));
    EXPECT_TRUE(RemoveEmptyDirectory(directory));
    EXPECT_FALSE(std::filesystem::exists(directory));
    EXPECT_FALSE(RemoveEmptyDirectory(directory));
}

TEST(DeleteMatchingFiles, DeletesMatchingFilesOnly)
{
    TempDirectory root;
    for (const char* name : {"Papyrant.bmp", "other.bmp", "notes.txt", "noextension"})
        writeBytes(root.file(name), "x");
    std::filesystem::create_directory(root.file("folder.bmp"));
    writeBytes(join(root.file("folder.bmp"), "inner.bmp"), "x");

    EXPECT_TRUE(DeleteMatchingFiles(join(root.path(), "*.bmp")));
    EXPECT_FALSE(std::filesystem::exists(root.file("Papyrant.bmp")));
    EXPECT_FALSE(std::filesystem::exists(root.file("other.bmp")));
    EXPECT_TRUE(std::filesystem::exists(root.file("notes.txt")));
    EXPECT_TRUE(std::filesystem::exists(join(root.file("folder.bmp"), "inner.bmp")));  // not searched

    EXPECT_TRUE(DeleteMatchingFiles(join(root.path(), "*.*")));  // every file, with or without a dot
    EXPECT_FALSE(std::filesystem::exists(root.file("notes.txt")));
    EXPECT_FALSE(std::filesystem::exists(root.file("noextension")));
    EXPECT_TRUE(std::filesystem::is_directory(root.file("folder.bmp")));

    EXPECT_FALSE(DeleteMatchingFiles(join(root.path(), "*.*")));  // nothing left to match
    EXPECT_FALSE(DeleteMatchingFiles(join(root.file("missing"), "*.*")));
}

TEST(Files, AreTestedReadAndWritten)
{
    TempDirectory root;
    std::string file = root.file("data.ini");
    EXPECT_FALSE(PathExists(file));
    EXPECT_FALSE(CanOpenForReading(file));
    EXPECT_FALSE(ReadWholeFile(file, 100));

    std::string bytes("line\r\n\0binary\xFF", 14);
    EXPECT_TRUE(WriteWholeFile(file, bytes));
    EXPECT_TRUE(PathExists(file));
    EXPECT_TRUE(CanOpenForReading(file));
    EXPECT_EQ(ReadWholeFile(file, 100), bytes);
    EXPECT_EQ(ReadWholeFile(file, 14), bytes);
    EXPECT_FALSE(ReadWholeFile(file, 13));  // larger than allowed

    EXPECT_TRUE(WriteWholeFile(file, "short"));  // a shorter content replaces all of the old
    EXPECT_EQ(readBytes(file), "short");
    EXPECT_TRUE(WriteWholeFile(file, ""));
    EXPECT_EQ(ReadWholeFile(file, 100), "");

    EXPECT_TRUE(PathExists(root.path()));
    EXPECT_FALSE(CanOpenForReading(root.path()));
    EXPECT_FALSE(ReadWholeFile(root.path(), 100));
    EXPECT_FALSE(WriteWholeFile(root.path(), "x"));
    EXPECT_FALSE(WriteWholeFile(join(root.file("missing"), "x.ini"), "x"));
}

TEST(ReplaceWholeFile, TakesTheOldFilesPlaceAndLeavesNothingBeside)
{
    TempDirectory root;
    std::string file = root.file("Papyrant.ini");
    for (std::string_view content : {"[Section]\r\nfirst=1\r\n", "longer content than before, twice as long",
                                      "", "x"}) {
        EXPECT_TRUE(ReplaceWholeFile(file, content));
        EXPECT_EQ(readBytes(file), content);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root.path()), {}), 1);
    }
    // What cannot be replaced is left as it is, with nothing beside it.
    EXPECT_FALSE(ReplaceWholeFile(root.path(), "x"));
    EXPECT_FALSE(ReplaceWholeFile(join(root.file("missing"), "x.ini"), "x"));
    std::filesystem::create_directory(root.file("folder.ini"));
    EXPECT_FALSE(ReplaceWholeFile(root.file("folder.ini"), "x"));
    EXPECT_TRUE(std::filesystem::is_directory(root.file("folder.ini")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root.path()), {}), 2);
}

// Polls until the program has ended or the time is up.
bool endsWithin(ChildProcess& process, std::chrono::milliseconds limit)
{
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!process.hasEnded()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

TEST(StartProgram, ReturnsAtOnceAndReportsTheEnd)
{
    std::string helpers = ProgramDirectory();
    std::unique_ptr<ChildProcess> quick = StartProgram(join(helpers, std::string("exit_now") + kExe), WindowStyle::NormalFocus);
    ASSERT_TRUE(quick);
    EXPECT_TRUE(endsWithin(*quick, std::chrono::seconds(10)));
    EXPECT_TRUE(quick->hasEnded());  // and stays ended

    auto started = std::chrono::steady_clock::now();
    std::unique_ptr<ChildProcess> slow = StartProgram(join(helpers, std::string("stay_a_while") + kExe), WindowStyle::Hidden);
    ASSERT_TRUE(slow);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(900));  // did not wait
    EXPECT_FALSE(slow->hasEnded());
    EXPECT_TRUE(endsWithin(*slow, std::chrono::seconds(20)));
}

// The arguments reach the program (a minute's stay instead of a second's), and end() stops it.
TEST(StartProgram, PassesArgumentsAndEndsOnRequest)
{
    std::unique_ptr<ChildProcess> process =
        StartProgram(join(ProgramDirectory(), std::string("stay_a_while") + kExe), WindowStyle::Hidden, {"60"});
    ASSERT_TRUE(process);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_FALSE(process->hasEnded());
    process->end();
    EXPECT_TRUE(endsWithin(*process, std::chrono::seconds(10)));
    process->end();  // an ended program is left alone
}

TEST(StartProgram, FailsForAFileThatIsNoProgram)
{
    TempDirectory root;
    EXPECT_FALSE(StartProgram(root.file("missing.exe"), WindowStyle::NormalFocus));
    EXPECT_FALSE(StartProgram(root.path(), WindowStyle::NormalFocus));
    writeBytes(root.file("text.exe"), "not a program");
    EXPECT_FALSE(StartProgram(root.file("text.exe"), WindowStyle::NormalFocus));
}

TEST(ProgramDirectory, HoldsTheProgramAndEndsWithoutSeparator)
{
    std::string directory = ProgramDirectory();
    ASSERT_FALSE(directory.empty());
    EXPECT_NE(directory.back(), PathSeparator());
    EXPECT_TRUE(CanOpenForReading(join(directory, std::string("exit_now") + kExe)));
}

TEST(ScreenMetrics, TwipsPerPixelFollowTheResolution)
{
    const std::pair<double, double> cases[] = {{96, 15}, {120, 12}, {144, 10}, {192, 7.5}, {0, 15}, {-1, 15}};
    for (const auto& [dpi, twips] : cases)
        EXPECT_DOUBLE_EQ(TwipsPerPixel(dpi), twips) << dpi;
}

TEST(CodePage, ConvertsAtTheBoundary)
{
    // "BGM区分" and "BGMﾘﾋﾟｰﾄ" in UTF-8.
    const std::string type = "BGM\xE5\x8C\xBA\xE5\x88\x86";
    const std::string repeat = "BGM\xEF\xBE\x98\xEF\xBE\x8B\xEF\xBE\x9F\xEF\xBD\xB0\xEF\xBE\x84";
    switch (AnsiCodePage()) {
    case 932:
        EXPECT_EQ(ToAnsi(type), "\x42\x47\x4D\x8B\xE6\x95\xAA");
        EXPECT_EQ(ToAnsi(repeat), "\x42\x47\x4D\xD8\xCB\xDF\xB0\xC4");
        EXPECT_EQ(FromAnsi("\x42\x47\x4D\x8B\xE6\x95\xAA"), type);
        EXPECT_EQ(AnsiCharLength("\x8B\xE6", 0), 2u);
        EXPECT_EQ(AnsiCharLength("\x83\x5D", 0), 2u);  // ']' as a trail byte
        EXPECT_EQ(AnsiCharLength("\x81\n", 0), 1u);    // a line feed is never a trail byte
        EXPECT_EQ(AnsiCharLength("\x81", 0), 1u);
        EXPECT_EQ(AnsiCharLength("\xD8", 0), 1u);      // half-width katakana
        break;
    case 1252:
        EXPECT_EQ(ToAnsi("caf\xC3\xA9"), "caf\xE9");
        EXPECT_EQ(FromAnsi("caf\xE9"), "caf\xC3\xA9");
        EXPECT_EQ(ToAnsi(type), "BGM??");
        EXPECT_EQ(AnsiCharLength("\xE9", 0), 1u);
        break;
    case 65001:
        EXPECT_EQ(ToAnsi(type), type);
        EXPECT_EQ(FromAnsi(type), type);
        EXPECT_EQ(AnsiCharLength(type, 3), 3u);
        EXPECT_EQ(AnsiCharLength("\xE5\x8C", 0), 1u);
        break;
    default:
        GTEST_SKIP() << "code page " << AnsiCodePage();
    }
    EXPECT_EQ(ToAnsi("Papyrant_Main"), "Papyrant_Main");
    EXPECT_EQ(FromAnsi(""), "");
}

TEST(EnsurePrivateDirectory, CreatesOrAcceptsADirectory)
{
    TempDirectory root;
    std::string directory = root.file("pap_tmp");
    EXPECT_TRUE(EnsurePrivateDirectory(directory));
    EXPECT_TRUE(std::filesystem::is_directory(directory));
    EXPECT_TRUE(EnsurePrivateDirectory(directory));  // existing already
    writeBytes(root.file("plain"), "x");
    EXPECT_FALSE(EnsurePrivateDirectory(root.file("plain")));
    EXPECT_FALSE(EnsurePrivateDirectory(join(root.file("missing"), "pap_tmp")));
}

}  // namespace
}  // namespace pap
