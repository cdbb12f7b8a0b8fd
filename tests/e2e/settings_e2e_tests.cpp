// The settings dialog of the Linux build on a private Xvfb, with a real pointer and keyboard, GTK's file
// chooser, and a stand-in browser that xdg-open starts. The settings go to $XDG_CONFIG_HOME/papyrant.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "e2e/settings_scenario.h"

namespace pap::e2e {
namespace {

namespace fs = std::filesystem;

TEST(SettingsE2E, TheDialogSavesWhatTheUserChoseAndNothingOnCancel)
{
    auto server = XServer::start(1024, 768, 24);
    ASSERT_TRUE(server) << "Xvfb did not start";
    fs::create_directories(PAPYRANT_E2E_OUTPUT);
    TempDir runtime;
    const std::string programDir = runtime.file("program");
    const std::string config = runtime.file("config");
    fs::create_directories(programDir);
    fs::create_directories(config);
    fs::copy_file(PAPYRANT_SAVER, programDir + "/Papyrant.scr");
    fs::copy_file(PAPYRANT_RENDERER, programDir + "/Papyrant.dll");
    // The stand-in browser: xdg-open, finding no desktop environment, runs $BROWSER with the address.
    const std::string browserLog = runtime.file("browser.log");

    SettingsDialogRun run;
    run.x = server.get();
    run.programDir = programDir;
    run.settingsDir = config + "/papyrant";  // made by the first Set
    run.workDir = runtime.path();
    run.browserLog = browserLog;
    run.screenshotDir = PAPYRANT_E2E_OUTPUT;
    run.prefix = "settings_";
    run.start = [&](const std::vector<std::string>& args, const std::string& log) {
        ProcessSpec launch;
        launch.argv = {programDir + "/Papyrant.scr"};
        launch.argv.insert(launch.argv.end(), args.begin(), args.end());
        launch.env = server->env({{"XDG_RUNTIME_DIR", runtime.path()},
                                  {"NO_AT_BRIDGE", "1"},
                                  {"GDK_BACKEND", "x11"},
                                  {"BROWSER", PAPYRANT_RECORD_ADDRESS},
                                  {"PAPYRANT_ADDRESS_LOG", browserLog},
                                  {"XDG_CURRENT_DESKTOP", "X-Generic"},
                                  {"XDG_CONFIG_HOME", config},
                                  {"SDL_AUDIODRIVER", "dummy"}});
        launch.outputPath = log;
        return Process::start(launch);
    };
    run.nameForProgram = [](const std::string& hostPath) { return hostPath; };
    run.iniBytes = [](int type, int track, const std::string& file) {
        return "[Section]\nBGM区分= " + std::to_string(type) + "\nBGMﾘﾋﾟｰﾄ= " + std::to_string(track) +
            "\nBGMﾌｧｲﾙ=" + file + "\n";
    };
    RunSettingsDialogScenario(run);
    EXPECT_EQ(fs::status(run.settingsDir).permissions(), fs::perms::owner_all);
    EXPECT_FALSE(fs::exists(programDir + "/Papyrant.ini"));
}

}  // namespace
}  // namespace pap::e2e
