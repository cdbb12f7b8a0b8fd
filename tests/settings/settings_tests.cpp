// This file is UTF-8. The settings file's key names are written in the ANSI code page of the
// system (UTF-8 on Linux); the expected bytes are built the same way.

#include "settings/settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/code_page.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "support/temp_directory.h"

namespace pap {
namespace {

using test::readBytes;
using test::TempDirectory;
using test::writeBytes;

const std::string kType = "BGM区分";
const std::string kRepeat = "BGMﾘﾋﾟｰﾄ";
const std::string kFile = "BGMﾌｧｲﾙ";

// An ini file of the given lines, in the ANSI code page.
std::string iniText(const std::vector<std::string>& lines, std::string_view ending = "\n")
{
    std::string text;
    for (const std::string& line : lines)
        text += ToAnsi(line) + std::string(ending);
    return text;
}

class SettingsFile : public ::testing::Test {
protected:
    std::string iniPath() const { return SettingsFilePath(m_program.path()); }
    void writeIni(const std::vector<std::string>& lines) { writeBytes(iniPath(), iniText(lines)); }
    // A file that exists, for MusicFile to name.
    std::string musicFile(const std::string& name = "song.mp3")
    {
        std::string path = m_music.file(name);
        writeBytes(path, "ID3");
        return path;
    }
    MusicSettingsRecord load(MusicSettingsRecord settings = {})
    {
        LoadSettings(settings, [this] { return m_program.path(); });
        return settings;
    }
    void save(const MusicSettingsRecord& settings)
    {
        SaveSettings(settings, [this] { return m_program.path(); });
    }

    TempDirectory m_program;
    TempDirectory m_music;
};

TEST_F(SettingsFile, NoFileGivesTheDefaults)
{
    MusicSettingsRecord settings = load();
    EXPECT_EQ(settings.MusicType, 0);
    EXPECT_EQ(settings.RepeatTrack, 0);
    EXPECT_EQ(settings.MusicFile, "");
    EXPECT_EQ(settings.BrowseDir, m_program.path());
}

TEST_F(SettingsFile, AFileInASettingsDirectoryApartFromTheProgram)
{
    TempDirectory settingsDirectory;
    writeBytes(SettingsFilePath(settingsDirectory.path()), iniText({"[Section]", kType + "=1", kRepeat + "=4"}));
    writeIni({"[Section]", kType + "=0", kRepeat + "=9"});
    MusicSettingsRecord settings;
    LoadSettings(settings, [&] { return settingsDirectory.path(); }, [this] { return m_program.path(); });
    EXPECT_EQ(settings.MusicType, 1);
    EXPECT_EQ(settings.RepeatTrack, 4);
    EXPECT_EQ(settings.BrowseDir, m_program.path()) << "the file chooser starts beside the program";
}

TEST_F(SettingsFile, NumbersAreReadAsTheirIntegerPart)
{
    std::string song = musicFile();
    struct Case {
        const char* stored;
        int16_t before;
        int16_t expected;
    };
    const Case cases[] = {
        {" 2", 0, 2},          // the number form SaveSettings writes
        {" 0", 5, 0},
        {"2.9", 0, 2},
        {"-0.5", 0, -1},       // the largest integer not greater
        {"-1", 0, -1},
        {"  7  ", 0, 7},
        {"1e1", 0, 10},
        {"32767.9", 0, 32767},
        {"abc", 3, 3},         // not a number: the field keeps its value
        {"2abc", 3, 3},
        {"40000", 3, 3},       // outside 16 bits: likewise
        {"-32768.5", 3, 3},    // its integer part -32769 does not fit
        {"1e400", 3, 3},
        {"", 3, 0},            // empty: 0
        {"\"\"", 3, 0},        // empty once the quotes are gone
        {"\" 2 \"", 0, 2},
    };
    for (const Case& c : cases) {
        writeIni({"[Section]", kType + "=" + c.stored, kRepeat + "=" + c.stored, kFile + "=" + song});
        MusicSettingsRecord before;
        before.MusicType = before.RepeatTrack = c.before;
        MusicSettingsRecord settings = load(before);
        EXPECT_EQ(settings.MusicType, c.expected) << c.stored;
        EXPECT_EQ(settings.RepeatTrack, c.expected) << c.stored;
    }
}

TEST_F(SettingsFile, MissingKeyOrSectionGivesZero)
{
    writeIni({"[Other]", kType + "=2", "[Section]", "x=1"});
    MusicSettingsRecord before;
    before.MusicType = before.RepeatTrack = 4;
    MusicSettingsRecord settings = load(before);
    EXPECT_EQ(settings.MusicType, 0);
    EXPECT_EQ(settings.RepeatTrack, 0);
}

TEST_F(SettingsFile, MusicFileThatIsGoneFallsBackToNoMusic)
{
    std::string song = musicFile();
    writeIni({"[Section]", kType + "= 2", kFile + "=" + song});
    std::remove(song.c_str());
    MusicSettingsRecord settings = load();
    EXPECT_EQ(settings.MusicType, 0);
    EXPECT_EQ(settings.MusicFile, "");
    EXPECT_EQ(settings.BrowseDir, m_program.path());
}

TEST_F(SettingsFile, EmptyMusicFileTurnsAFileChoiceOff)
{
    writeIni({"[Section]", kType + "= 2", kFile + "="});
    MusicSettingsRecord settings = load();
    EXPECT_EQ(settings.MusicType, 0);
    EXPECT_EQ(settings.MusicFile, "");
}

TEST_F(SettingsFile, CdChoiceKeepsItsTypeAndTheFile)
{
    std::string song = musicFile();
    writeIni({"[Section]", kType + "= 1", kRepeat + "= 7", kFile + "=" + song});
    MusicSettingsRecord settings = load();
    EXPECT_EQ(settings.MusicType, 1);
    EXPECT_EQ(settings.RepeatTrack, 7);
    EXPECT_EQ(settings.MusicFile, song);
    EXPECT_EQ(settings.BrowseDir, m_music.path());

    // A missing file clears the path but never changes the CD choice.
    writeIni({"[Section]", kType + "= 1", kFile + "=" + m_music.file("gone.mp3")});
    settings = load();
    EXPECT_EQ(settings.MusicType, 1);
    EXPECT_EQ(settings.MusicFile, "");
}

TEST_F(SettingsFile, FileChoiceWithAnExistingFile)
{
    std::string song = musicFile("tune.wav");
    writeIni({"[Section]", kType + "= 2", kRepeat + "= 0", kFile + "=" + song});
    MusicSettingsRecord settings = load();
    EXPECT_EQ(settings.MusicType, 2);
    EXPECT_EQ(settings.MusicFile, song);
    EXPECT_EQ(settings.BrowseDir, m_music.path());
}

TEST_F(SettingsFile, FileTestsOfTheStoredPath)
{
    std::string song = musicFile();
    struct Case {
        const char* what;
        std::string stored;
        std::string expected;
    };
    const Case cases[] = {
        {"a folder with a separator", m_music.path() + PathSeparator(), ""},
        {"a folder", m_music.path(), ""},
        {"a file with one separator after it", song + PathSeparator(), song + PathSeparator()},
        {"quoted by hand", "\"" + song + "\"", song},
        {"blanks around", "   " + song + "   ", song},
    };
    for (const Case& c : cases) {
        writeIni({"[Section]", kType + "= 2", kFile + "=" + c.stored});
        MusicSettingsRecord settings = load();
        EXPECT_EQ(settings.MusicFile, c.expected) << c.what;
        EXPECT_EQ(settings.MusicType, c.expected.empty() ? 0 : 2) << c.what;
    }
}

TEST_F(SettingsFile, PathLongerThan255BytesComesBackCutAndIsCleared)
{
    std::string longPath = m_music.path() + PathSeparator() + std::string(300, 'x') + ".mp3";
    writeIni({"[Section]", kType + "= 2", kFile + "=" + longPath});
    std::string value = IniRead("Section", kFile, iniPath());
    EXPECT_EQ(value, longPath.substr(0, 255));
    MusicSettingsRecord settings = load();
    EXPECT_EQ(settings.MusicFile, "");
    EXPECT_EQ(settings.MusicType, 0);
}

TEST_F(SettingsFile, KeyNamesMatchWithoutRegardToCase)
{
    writeIni({"[SECTION]", "bgm区分= 1", "bGmﾘﾋﾟｰﾄ= 12"});
    MusicSettingsRecord settings = load();
    EXPECT_EQ(settings.MusicType, 1);
    EXPECT_EQ(settings.RepeatTrack, 12);
}

TEST_F(SettingsFile, LineEndingsOfEitherPlatformAreRead)
{
    for (std::string_view ending : {"\n", "\r\n", "\r"}) {
        writeBytes(iniPath(), iniText({"[Section]", kType + "= 1", kRepeat + "= 3"}, ending));
        MusicSettingsRecord settings = load();
        EXPECT_EQ(settings.MusicType, 1);
        EXPECT_EQ(settings.RepeatTrack, 3);
    }
}

TEST_F(SettingsFile, SaveWritesTheThreeKeysInOrder)
{
    MusicSettingsRecord settings;
    settings.MusicType = 2;
    settings.RepeatTrack = 0;
    settings.MusicFile = m_music.file("song.mp3");
    save(settings);
    std::string ending(TextLineEnding());
    EXPECT_EQ(readBytes(iniPath()), iniText({"[Section]", kType + "= 2", kRepeat + "= 0", kFile + "=" + settings.MusicFile},
                                            ending));
}

TEST_F(SettingsFile, SavedValuesReadBack)
{
    std::string song = musicFile();
    const MusicSettingsRecord records[] = {
        {0, 0, "", ""},
        {1, 30, song, ""},
        {2, 0, song, ""},
        {-1, -32768, "", ""},
        {5, 32767, song, ""},   // a hand-edited type comes back as it was
    };
    for (const MusicSettingsRecord& record : records) {
        save(record);
        MusicSettingsRecord settings = load();
        EXPECT_EQ(settings.MusicType, record.MusicType);
        EXPECT_EQ(settings.RepeatTrack, record.RepeatTrack);
        EXPECT_EQ(settings.MusicFile, record.MusicFile);
    }
}

TEST_F(SettingsFile, SaveEditsTheFileInPlace)
{
    writeBytes(iniPath(), iniText({"; Papyrant", "[Other]", "keep = this", "", "[section]", kType + "=1",
                                   "; the file", kFile + "=old", "", "[Last]", "x=1"}));
    MusicSettingsRecord settings;
    settings.MusicType = 2;
    settings.RepeatTrack = 4;
    settings.MusicFile = "new";
    save(settings);
    std::string ending(TextLineEnding());
    EXPECT_EQ(readBytes(iniPath()), iniText({"; Papyrant", "[Other]", "keep = this", "", "[section]", kType + "= 2",
                                             "; the file", kFile + "=new"}) +
                                        ToAnsi(kRepeat) + "= 4" + ending + iniText({"", "[Last]", "x=1"}));
}

TEST_F(SettingsFile, EveryReadAndWriteBuildsThePathAnew)
{
    // A directory that changes between the calls receives the keys written while it was current.
    TempDirectory second, third;
    std::vector<std::string> directories = {m_program.path(), second.path(), third.path()};
    size_t calls = 0;
    MusicSettingsRecord settings;
    settings.MusicType = 1;
    settings.RepeatTrack = 2;
    settings.MusicFile = "x";
    SaveSettings(settings, [&] { return directories[calls++ % 3]; });
    EXPECT_EQ(IniRead("Section", kType, SettingsFilePath(m_program.path())), "1");
    EXPECT_EQ(IniRead("Section", kRepeat, SettingsFilePath(m_program.path())), "");
    EXPECT_EQ(IniRead("Section", kRepeat, SettingsFilePath(second.path())), "2");
    EXPECT_EQ(IniRead("Section", kFile, SettingsFilePath(third.path())), "x");

    calls = 0;
    MusicSettingsRecord loaded;
    LoadSettings(loaded, [&] { return directories[calls++ % 3]; });
    EXPECT_EQ(loaded.MusicType, 1);
    EXPECT_EQ(loaded.RepeatTrack, 2);
}

TEST_F(SettingsFile, AFailedWriteIsIgnored)
{
    MusicSettingsRecord settings;
    settings.MusicType = 1;
    SaveSettings(settings, [this] { return m_program.file("missing-directory"); });
    EXPECT_FALSE(CanOpenForReading(SettingsFilePath(m_program.file("missing-directory"))));
}

TEST_F(SettingsFile, AValueThatWouldBreakTheFileIsNotWritten)
{
    MusicSettingsRecord settings;
    settings.MusicType = 2;
    settings.MusicFile = "/music/a\n[Section]\nBGM区分= 1";  // a Linux file name may hold line feeds
    save(settings);
    EXPECT_EQ(IniRead("Section", kType, iniPath()), "2");
    EXPECT_EQ(IniRead("Section", kFile, iniPath()), "");
}

TEST(SettingsFilePath, AddsASeparatorOnlyWhenMissing)
{
    std::string separator(1, PathSeparator());
    EXPECT_EQ(SettingsFilePath("dir"), "dir" + separator + "Papyrant.ini");
    EXPECT_EQ(SettingsFilePath("dir" + separator), "dir" + separator + "Papyrant.ini");
}

TEST(DirectoryOf, TakesTheFolderPart)
{
    struct Case {
        const char* path;
        PathStyle style;
        const char* expected;
    };
    const Case cases[] = {
        {"C:\\Music\\a.mp3", PathStyle::Windows, "C:\\Music"},
        {"C:\\a.mp3", PathStyle::Windows, "C:"},               // a drive root: drive and colon only
        {"C:a.mp3", PathStyle::Windows, "C:"},
        {"a.mp3", PathStyle::Windows, ""},
        {"", PathStyle::Windows, ""},
        {"\\\\server\\share\\a.mp3", PathStyle::Windows, "\\\\server\\share"},
        {"C:\\Music\\\\a.mp3", PathStyle::Windows, "C:\\Music\\"},  // only one separator goes
        {"C:\\音楽\\曲.mp3", PathStyle::Windows, "C:\\音楽"},
        {"/home/u/Music/a.mp3", PathStyle::Posix, "/home/u/Music"},
        {"/a.mp3", PathStyle::Posix, "/"},                    // the root keeps its separator
        {"a.mp3", PathStyle::Posix, ""},
        {"/music/a:b\\c.mp3", PathStyle::Posix, "/music"},    // ':' and '\' are name characters
        {"music/", PathStyle::Posix, "music"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DirectoryOf(c.path, c.style), c.expected) << c.path;
}

TEST(FileExists, NeedsAFileThatCanBeOpened)
{
    TempDirectory directory;
    std::string file = directory.file("a.wav");
    writeBytes(file, "RIFF");
    std::string separator(1, PathSeparator());
    EXPECT_TRUE(FileExists(file));
    EXPECT_TRUE(FileExists(file + separator));
    EXPECT_FALSE(FileExists(file + separator + separator));
    EXPECT_FALSE(FileExists(directory.path()));
    EXPECT_FALSE(FileExists(directory.path() + separator));
    EXPECT_FALSE(FileExists(directory.file("missing.wav")));
    EXPECT_FALSE(FileExists(""));
    EXPECT_FALSE(FileExists(separator));
}

TEST(RepeatTrackFromText, TakesTheComboTextAsTheSetButtonDoes)
{
    const std::pair<const char*, int16_t> cases[] = {
        {"abc", 0},
        {"99", 99},         // no upper bound
        {"2.5", 2},         // halves to even
        {"3.5", 4},
        {"", 0},            // empty is not numeric
        {"40000", 7},       // outside 16 bits: unchanged
        {"32767.5", 7},
        {" 12 ", 12},
        {"-1", -1},
        {"1e3", 1000},
        {"7a", 0},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(RepeatTrackFromText(text, 7), expected) << text;
}

TEST(SettingsKeys, AreStoredInTheAnsiCodePage)
{
    TempDirectory directory;
    MusicSettingsRecord settings;
    settings.MusicType = 1;
    settings.RepeatTrack = 3;
    SaveSettings(settings, [&] { return directory.path(); });
    std::string bytes = readBytes(SettingsFilePath(directory.path()));
    std::string ending(TextLineEnding());
    if (AnsiCodePage() == 932) {
        EXPECT_EQ(bytes, "[Section]" + ending + "\x42\x47\x4D\x8B\xE6\x95\xAA= 1" + ending +
                             "\x42\x47\x4D\xD8\xCB\xDF\xB0\xC4= 3" + ending + "\x42\x47\x4D\xCC\xA7\xB2\xD9=" + ending);
    } else if (AnsiCodePage() == 65001) {
        EXPECT_EQ(bytes, "[Section]" + ending + kType + "= 1" + ending + kRepeat + "= 3" + ending + kFile + "=" + ending);
    } else {
        // A code page without the Japanese characters stores them as '?', as the ANSI functions do;
        // the three names still differ in length.
        EXPECT_EQ(bytes, "[Section]" + ending + "BGM" + std::string(2, '?') + "= 1" + ending + "BGM" +
                             std::string(5, '?') + "= 3" + ending + "BGM" + std::string(4, '?') + "=" + ending);
        MusicSettingsRecord loaded;
        LoadSettings(loaded, [&] { return directory.path(); });
        EXPECT_EQ(loaded.MusicType, 1);
        EXPECT_EQ(loaded.RepeatTrack, 3);
    }
}

}  // namespace
}  // namespace pap
