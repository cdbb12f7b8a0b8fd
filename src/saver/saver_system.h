#pragma once

// What the saver program does with files, programs and its settings, behind one interface, so that
// its start-up, saver run and preview are tested over a recording fake. MakeSaverSystem gives the
// real one.

#include <memory>
#include <string>
#include <vector>

#include "gfx/surface.h"
#include "platform/process.h"
#include "settings/settings.h"

namespace pap {

class SaverSystem {
public:
    virtual ~SaverSystem() = default;

    // Creates the work directory; false when it cannot be made or used (an existing one of our own
    // is fine).
    virtual bool makeWorkDirectory() = 0;
    // LoadSettings: fills the record from the ini file in the settings directory.
    virtual void loadSettings(MusicSettingsRecord& settings) = 0;
    // SaveSettings: writes the record's three keys into the ini file, making its directory first.
    virtual void saveSettings(const MusicSettingsRecord& settings) = 0;
    // Saves a picture as a bitmap file, replacing one of that name; complete and closed on return.
    virtual bool savePicture(const gfx::Surface& picture, const std::string& path) = 0;
    // Starts a program with its arguments without waiting for it; null when it cannot be started.
    virtual std::unique_ptr<ChildProcess> startProgram(const std::string& path, const std::vector<std::string>& arguments,
                                                       WindowStyle style) = 0;
    // Deletes the files that match a wildcard pattern.
    virtual bool deleteFiles(const std::string& pattern) = 0;
    // Removes an empty directory.
    virtual bool removeDirectory(const std::string& path) = 0;
};

// The fixed places of a saver run.
struct SaverPaths {
    std::string workDirectory;  // C:\pap_tmp
    std::string snapshotFile;   // C:\pap_tmp\Papyrant.bmp
    std::string deletePattern;  // C:\pap_tmp\*.*
};

// The places of this platform (platform/paths.h).
SaverPaths PlatformSaverPaths();

// Files, processes and settings of this platform; the settings file lies in the program's directory.
std::unique_ptr<SaverSystem> MakeSaverSystem();

}  // namespace pap
