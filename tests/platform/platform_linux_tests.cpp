// The Linux rules of the platform layer: the work directory refuses what another user could have
// prepared, the settings directory follows the user's configuration home, wildcard deletion never goes through a symbolic link, started programs leave no
// zombie, and the X resource and command-line data.

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/program_info.h"
#include "platform/screen_info.h"
#include "platform/work_dir.h"
#include "support/scoped_environment.h"
#include "support/temp_directory.h"
#include "x_resources.h"

namespace pap {
namespace {

using test::TempDirectory;
using test::writeBytes;

constexpr uid_t kOtherUser = 12345;

mode_t modeOf(const std::string& path)
{
    struct stat info {};
    EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

size_t entryCount(const std::string& directory)
{
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(directory))
        ++count;
    return count;
}

class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask) : m_old(umask(mask)) {}
    ~ScopedUmask() { umask(m_old); }

private:
    mode_t m_old;
};

TEST(WorkDirectoryLinux, IsCreatedPrivate)
{
    for (mode_t mask : {mode_t(0), mode_t(022), mode_t(0277)}) {
        ScopedUmask scoped(mask);
        TempDirectory root;
        std::string directory = root.file("pap_tmp");
        ASSERT_TRUE(EnsurePrivateDirectory(directory)) << mask;
        EXPECT_EQ(modeOf(directory), 0700u) << mask;
    }
}

TEST(WorkDirectoryLinux, AnOwnDirectoryOpenToOthersIsRestricted)
{
    TempDirectory root;
    std::string directory = root.file("pap_tmp");
    ASSERT_EQ(mkdir(directory.c_str(), 0777), 0);
    chmod(directory.c_str(), 0777);
    EXPECT_TRUE(EnsurePrivateDirectory(directory));
    EXPECT_EQ(modeOf(directory), 0700u);
}

TEST(WorkDirectoryLinux, ASymbolicLinkIsRefusedByEachCall)
{
    TempDirectory root;
    std::string target = root.file("elsewhere");
    ASSERT_EQ(mkdir(target.c_str(), 0755), 0);
    writeBytes(target + "/precious.bmp", "keep");
    std::string link = root.file("pap_tmp");
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);

    EXPECT_FALSE(EnsurePrivateDirectory(link));
    EXPECT_EQ(modeOf(target), 0755u);  // the target's mode is untouched
    EXPECT_FALSE(DeleteMatchingFiles(link + "/*.*"));
    EXPECT_TRUE(std::filesystem::exists(target + "/precious.bmp"));
    EXPECT_FALSE(RemoveEmptyDirectory(link));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(entryCount(target), 1u);
}

TEST(WorkDirectoryLinux, ADanglingLinkIsRefusedAndItsTargetNotCreated)
{
    TempDirectory root;
    std::string target = root.file("not-yet");
    std::string link = root.file("pap_tmp");
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    EXPECT_FALSE(EnsurePrivateDirectory(link));
    EXPECT_FALSE(std::filesystem::exists(target));
}

TEST(WorkDirectoryLinux, ADirectoryOfAnotherUserIsRefused)
{
    TempDirectory root;
    std::string directory = root.file("pap_tmp");
    ASSERT_EQ(mkdir(directory.c_str(), 0777), 0);
    chmod(directory.c_str(), 0777);
    if (chown(directory.c_str(), kOtherUser, kOtherUser) != 0)
        GTEST_SKIP() << "changing the owner needs root";
    writeBytes(directory + "/Papyrant.bmp", "theirs");

    EXPECT_FALSE(EnsurePrivateDirectory(directory));
    EXPECT_EQ(modeOf(directory), 0777u);  // not taken over
    struct stat info {};
    ASSERT_EQ(lstat(directory.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, kOtherUser);
    EXPECT_EQ(entryCount(directory), 1u);
}

TEST(WorkDirectoryLinux, LivesInTheRuntimeDirectoryWhenThatIsOwn)
{
    TempDirectory runtime;
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    std::string old = saved ? saved : "";
    setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    EXPECT_EQ(WorkDirectory(), runtime.path() + "/pap_tmp");
    EXPECT_TRUE(EnsureWorkDirectory());
    EXPECT_EQ(modeOf(runtime.path() + "/pap_tmp"), 0700u);
    if (saved)
        setenv("XDG_RUNTIME_DIR", old.c_str(), 1);
    else
        unsetenv("XDG_RUNTIME_DIR");
}

TEST(SettingsDirectoryLinux, FollowsTheConfigurationHome)
{
    struct Case {
        const char* name;
        std::optional<std::string> configHome;
        std::optional<std::string> home;
        std::string expected;
    };
    const Case cases[] = {
        {"set", "/cfg/x", "/home/u", "/cfg/x/papyrant"},
        {"set with a trailing slash", "/cfg/x//", "/home/u", "/cfg/x/papyrant"},
        {"set to the root", "/", "/home/u", "/papyrant"},
        {"unset", std::nullopt, "/home/u", "/home/u/.config/papyrant"},
        {"empty", "", "/home/u/", "/home/u/.config/papyrant"},
        {"relative", "cfg/x", "/home/u", "/home/u/.config/papyrant"},
        {"relative with a dot", "./cfg", "//", "/.config/papyrant"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::ScopedEnvironment config("XDG_CONFIG_HOME", c.configHome);
        test::ScopedEnvironment home("HOME", c.home);
        EXPECT_EQ(SettingsDirectory(), c.expected);
    }
}

TEST(SettingsDirectoryLinux, IsMadePrivateWithItsParentsOnlyForWriting)
{
    TempDirectory root;
    ScopedUmask mask(0);
    test::ScopedEnvironment config("XDG_CONFIG_HOME", root.file("a/b"));
    const std::string directory = root.file("a/b/papyrant");

    EXPECT_EQ(SettingsDirectory(), directory);
    EXPECT_FALSE(PathExists(root.file("a")));
    EXPECT_EQ(SettingsDirectoryForWriting(), directory);
    EXPECT_TRUE(std::filesystem::is_directory(directory));
    EXPECT_EQ(modeOf(directory), 0700u);
    EXPECT_EQ(modeOf(root.file("a")), 0700u);

    // An existing directory is used as it is.
    chmod(directory.c_str(), 0750);
    EXPECT_EQ(SettingsDirectoryForWriting(), directory);
    EXPECT_EQ(modeOf(directory), 0750u);
}

TEST(DeleteMatchingFilesLinux, RemovesALinkNotWhatItPointsTo)
{
    TempDirectory root, outside;
    writeBytes(outside.file("precious.bmp"), "keep");
    ASSERT_EQ(symlink(outside.file("precious.bmp").c_str(), root.file("Papyrant.bmp").c_str()), 0);
    ASSERT_EQ(symlink(outside.path().c_str(), root.file("subdir.bmp").c_str()), 0);
    EXPECT_TRUE(DeleteMatchingFiles(root.path() + "/*.*"));
    EXPECT_EQ(entryCount(root.path()), 0u);
    EXPECT_TRUE(std::filesystem::exists(outside.file("precious.bmp")));
}

TEST(FilesLinux, AFifoNeitherBlocksNorCountsAsAFile)
{
    TempDirectory root;
    std::string fifo = root.file("music.mp3");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(CanOpenForReading(fifo));
    EXPECT_FALSE(ReadWholeFile(fifo, 100));
    EXPECT_FALSE(WriteWholeFile(fifo, "x"));
}

// Zombie children of this process, from /proc.
int zombieChildren()
{
    int zombies = 0;
    std::string self = std::to_string(getpid());
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream status(entry.path() / "status");
        std::string line, state, parent;
        while (std::getline(status, line)) {
            if (line.rfind("State:", 0) == 0)
                state = line;
            if (line.rfind("PPid:", 0) == 0)
                parent = line.substr(line.find_first_not_of(" \t", 5));
        }
        if (parent == self && state.find('Z') != std::string::npos)
            ++zombies;
    }
    return zombies;
}

// A replaced file keeps its mode and owner, and a link stays a link to the replaced file.
TEST(ReplaceWholeFileLinux, KeepsModeOwnerAndLinks)
{
    TempDirectory root;
    std::string file = root.file("Papyrant.ini");
    writeBytes(file, "old");
    ASSERT_EQ(chmod(file.c_str(), 0640), 0);
    const bool privileged = chown(file.c_str(), kOtherUser, kOtherUser) == 0;
    EXPECT_TRUE(ReplaceWholeFile(file, "new"));
    struct stat info {};
    ASSERT_EQ(stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    if (privileged) {
        EXPECT_EQ(info.st_uid, kOtherUser);
    }

    std::string link = root.file("link.ini");
    ASSERT_EQ(symlink(file.c_str(), link.c_str()), 0);
    EXPECT_TRUE(ReplaceWholeFile(link, "through the link"));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(test::readBytes(file), "through the link");

    ScopedUmask scoped(027);
    EXPECT_TRUE(ReplaceWholeFile(root.file("new.ini"), "x"));
    EXPECT_EQ(modeOf(root.file("new.ini")), 0640u);
}

// A write that fails half-way (here the file size limit stands in for a full disk) leaves the old
// content whole.
TEST(ReplaceWholeFileLinux, AFailedWriteLeavesTheOldFile)
{
    TempDirectory root;
    std::string file = root.file("Papyrant.ini");
    const std::string old = "[Section]\nBGM=1\n";
    writeBytes(file, old);

    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit small = saved;
    small.rlim_cur = 8;
    void (*oldHandler)(int) = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = ReplaceWholeFile(file, std::string(4096, 'x'));
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(written);
    EXPECT_EQ(test::readBytes(file), old);
    EXPECT_EQ(entryCount(root.path()), 1u);
}

TEST(StartProgramLinux, LeavesNoZombieWhenNobodyAsks)
{
    std::string helper = ProgramDirectory() + "/exit_now";
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(StartProgram(helper, WindowStyle::NormalFocus));  // dropped at once
    std::unique_ptr<ChildProcess> watched = StartProgram(helper, WindowStyle::NormalFocus);
    ASSERT_TRUE(watched);
    for (int i = 0; i < 500 && !watched->hasEnded(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(zombieChildren(), 0);
    int status = 0;
    EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);  // no child of ours is left at all
}

TEST(CommandLineLinux, JoinsTheArgumentsWithSingleBlanks)
{
    const char* none[] = {"Papyrant.scr"};
    SetCommandLineArguments(1, none);
    EXPECT_EQ(CommandLine(), "");
    const char* preview[] = {"Papyrant.scr", "/p", "1234"};
    SetCommandLineArguments(3, preview);
    EXPECT_EQ(CommandLine(), "/p 1234");
    const char* spaced[] = {"Papyrant.scr", "/c:1", "a b", ""};
    SetCommandLineArguments(4, spaced);
    EXPECT_EQ(CommandLine(), "/c:1 a b ");
    SetCommandLineArguments(0, nullptr);
    EXPECT_EQ(CommandLine(), "");
}

TEST(XftDpi, IsReadFromTheResourceString)
{
    const std::pair<const char*, std::optional<double>> cases[] = {
        {"Xft.dpi:\t120\n", 120.0},
        {"Xft.antialias:\t1\nXft.dpi:\t192\nXft.hinting:\t1\n", 192.0},
        {"Xft.dpi: 96.5\n", 96.5},
        {"*dpi: 144\n", 144.0},           // a loose binding matches too
        {"Xft.dpi: abc\n", std::nullopt},
        {"Xft.dpi: 0\n", std::nullopt},
        {"Xft.dpi: -96\n", std::nullopt},
        {"Xft.antialias: 1\n", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [resources, expected] : cases)
        EXPECT_EQ(XftDpiFromResources(resources), expected) << resources;
    EXPECT_EQ(XftDpiFromResources(nullptr), std::nullopt);
}

TEST(ScreenMetricsLinux, NoDisplayGivesNone)
{
    const char* saved = std::getenv("DISPLAY");
    std::string old = saved ? saved : "";
    setenv("DISPLAY", ":papyrant-no-such-display", 1);
    EXPECT_EQ(QueryScreenMetrics(), std::nullopt);
    if (saved)
        setenv("DISPLAY", old.c_str(), 1);
    else
        unsetenv("DISPLAY");
}

}  // namespace
}  // namespace pap
