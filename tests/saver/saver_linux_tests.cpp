// A saver run over the real files of Linux whose work directory somebody else prepared: a symbolic
// link to a directory of the user's, or a directory of another user. Nothing may be written through
// it, and nothing in it or behind it deleted. And where the platform keeps the settings file.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "forms/fake_ui.h"
#include "platform/program_info.h"
#include "saver/fake_saver_system.h"
#include "saver/papyrant_b.h"
#include "support/scoped_environment.h"
#include "support/temp_directory.h"

namespace pap {
namespace {

namespace fs = std::filesystem;

// XDG_RUNTIME_DIR for the life of a test; the work directory is its "pap_tmp".
class ScopedRuntimeDirectory {
public:
    explicit ScopedRuntimeDirectory(const std::string& path) : m_variable("XDG_RUNTIME_DIR", path) {}

private:
    test::ScopedEnvironment m_variable;
};

TEST(SaverRunLinux, AWorkDirectorySomebodyElsePreparedGetsNothingThroughIt)
{
    for (const char* kind : {"link", "other user"}) {
        SCOPED_TRACE(kind);
        test::TempDirectory runtime;
        ScopedRuntimeDirectory scoped(runtime.path());
        test::ScopedEnvironment config("XDG_CONFIG_HOME", runtime.file("config"));
        const std::string workDirectory = runtime.path() + "/pap_tmp";
        const bool link = std::string(kind) == "link";
        const std::string held = link ? runtime.file("elsewhere") : workDirectory;
        fs::create_directory(held);
        test::writeBytes(held + "/Papyrant.bmp", "theirs");
        test::writeBytes(held + "/keep.txt", "keep");
        if (link) {
            fs::create_directory_symlink(held, workDirectory);
        } else {
            for (const char* name : {"", "/Papyrant.bmp", "/keep.txt"})
                if (chown((held + name).c_str(), 65534, 65534) != 0)
                    GTEST_SKIP() << "changing the owner needs root";
        }

        // A whole run: no renderer can start, so it ends at the first watch tick.
        testing::Journal journal;
        testing::FakeUi ui(&journal);
        ui.metrics = ScreenMetrics{8, 6, 15, 15};
        ui.screen = gfx::Surface(8, 6, gfx::kBlack);
        testing::JournalAudio audio(journal);
        std::unique_ptr<SaverSystem> system = MakeSaverSystem();
        MusicSettingsRecord settings;
        forms::App app(ui, "/s", runtime.file("no-program-here"));
        SaverProgram program(app, *system, audio, settings, PlatformSaverPaths(), gfx::Surface());
        ASSERT_EQ(program.paths.workDirectory, workDirectory);
        EXPECT_EQ(RunSaverProgram(program), 0);
        EXPECT_TRUE(app.ended());

        EXPECT_EQ(fs::is_symlink(workDirectory), link);
        EXPECT_EQ(test::sortedNamesIn(held), (std::vector<std::string>{"Papyrant.bmp", "keep.txt"}));
        EXPECT_TRUE(test::readBytes(held + "/Papyrant.bmp") == "theirs") << "written through";
    }
}

// The platform's settings go to the user's configuration directory, made on the first save, while
// the file chooser still starts in the program's directory.
TEST(SaverSettingsLinux, AreSavedInTheConfigurationDirectoryAndReadFromThere)
{
    test::TempDirectory root;
    test::ScopedEnvironment config("XDG_CONFIG_HOME", root.file("config"));
    const std::string directory = root.file("config") + "/papyrant";
    std::unique_ptr<SaverSystem> system = MakeSaverSystem();

    MusicSettingsRecord loaded{3, 3, "x", "x"};
    system->loadSettings(loaded);
    EXPECT_FALSE(fs::exists(root.file("config"))) << "loading makes no directory";
    EXPECT_EQ(loaded.MusicType, 0);
    EXPECT_EQ(loaded.BrowseDir, ProgramDirectory());

    system->saveSettings(MusicSettingsRecord{1, 5, "", ""});
    struct stat info {};
    ASSERT_EQ(stat(directory.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);
    EXPECT_TRUE(fs::is_regular_file(directory + "/Papyrant.ini"));
    EXPECT_FALSE(fs::exists(ProgramDirectory() + "/Papyrant.ini"));

    system->loadSettings(loaded);
    EXPECT_EQ(loaded.MusicType, 1);
    EXPECT_EQ(loaded.RepeatTrack, 5);
    EXPECT_EQ(loaded.BrowseDir, ProgramDirectory());
}

}  // namespace
}  // namespace pap
