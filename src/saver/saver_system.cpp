#include "saver/saver_system.h"

#include "forms/picture.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/program_info.h"
#include "platform/work_dir.h"

namespace pap {

namespace {

class PlatformSaverSystem final : public SaverSystem {
public:
    bool makeWorkDirectory() override { return EnsureWorkDirectory(); }

    void loadSettings(MusicSettingsRecord& settings) override
    {
        LoadSettings(settings, SettingsDirectory, ProgramDirectory);
    }
    void saveSettings(const MusicSettingsRecord& settings) override
    {
        SaveSettings(settings, SettingsDirectoryForWriting);
    }

    bool savePicture(const gfx::Surface& picture, const std::string& path) override
    {
        return forms::SavePicture(picture, path);
    }

    std::unique_ptr<ChildProcess> startProgram(const std::string& path, const std::vector<std::string>& arguments,
                                               WindowStyle style) override
    {
        return StartProgram(path, style, arguments);
    }

    bool deleteFiles(const std::string& pattern) override { return DeleteMatchingFiles(pattern); }

    bool removeDirectory(const std::string& path) override { return RemoveEmptyDirectory(path); }
};

}  // namespace

SaverPaths PlatformSaverPaths()
{
    SaverPaths paths;
    paths.workDirectory = WorkDirectory();
    paths.snapshotFile = SnapshotPath();
    paths.deletePattern = paths.workDirectory + PathSeparator() + "*.*";
    return paths;
}

std::unique_ptr<SaverSystem> MakeSaverSystem() { return std::make_unique<PlatformSaverSystem>(); }

}  // namespace pap
