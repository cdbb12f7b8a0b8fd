// controls_demo on a private Xvfb with a real pointer.

#include <gtest/gtest.h>

#include <filesystem>

#include "e2e/controls_scenario.h"

namespace pap::e2e {
namespace {

TEST(ControlsE2E, ButtonsFollowThePointerAndClickOnce)
{
    std::unique_ptr<XServer> server = XServer::start(1024, 768, 24);
    ASSERT_TRUE(server) << "Xvfb did not start";
    TempDir runtime;
    std::filesystem::create_directories(PAPYRANT_E2E_OUTPUT);
    ControlsDemoRun run;
    run.x = server.get();
    run.log = runtime.file("controls_demo.log");
    run.screenshotDir = PAPYRANT_E2E_OUTPUT;
    run.prefix = "controls_";
    run.start = [&](const std::string& log, const std::vector<std::string>& args) {
        ProcessSpec launch;
        launch.argv = {PAPYRANT_CONTROLS_DEMO};
        launch.argv.insert(launch.argv.end(), args.begin(), args.end());
        launch.env = server->env({{"XDG_RUNTIME_DIR", runtime.path()}, {"NO_AT_BRIDGE", "1"}});
        launch.outputPath = log;
        return Process::start(launch);
    };
    RunControlsDemoScenario(run);
}

TEST(ControlsE2E, AGifPlaysItsFramesForTheirDelaysAndTakesClicksOnTransparentPixels)
{
    std::unique_ptr<XServer> server = XServer::start(1024, 768, 24);
    ASSERT_TRUE(server) << "Xvfb did not start";
    TempDir runtime;
    std::filesystem::create_directories(PAPYRANT_E2E_OUTPUT);
    ControlsDemoRun run;
    run.x = server.get();
    run.log = runtime.file("controls_demo.log");
    run.screenshotDir = PAPYRANT_E2E_OUTPUT;
    run.prefix = "controls_";
    run.start = [&](const std::string& log, const std::vector<std::string>& args) {
        ProcessSpec launch;
        launch.argv = {PAPYRANT_CONTROLS_DEMO};
        launch.argv.insert(launch.argv.end(), args.begin(), args.end());
        launch.env = server->env({{"XDG_RUNTIME_DIR", runtime.path()}, {"NO_AT_BRIDGE", "1"}});
        launch.outputPath = log;
        return Process::start(launch);
    };
    RunGifScenario(run, runtime.path(), [](const std::string& hostPath) { return hostPath; });
}

TEST(ControlsE2E, RemoteLoadsFromALocalServerPlayOrFail)
{
    std::unique_ptr<XServer> server = XServer::start(1024, 768, 24);
    ASSERT_TRUE(server) << "Xvfb did not start";
    TempDir runtime;
    std::filesystem::create_directories(PAPYRANT_E2E_OUTPUT);
    ControlsDemoRun run;
    run.x = server.get();
    run.log = runtime.file("controls_demo_");
    run.screenshotDir = PAPYRANT_E2E_OUTPUT;
    run.prefix = "controls_";
    run.start = [&](const std::string& log, const std::vector<std::string>& args) {
        ProcessSpec launch;
        launch.argv = {PAPYRANT_CONTROLS_DEMO};
        launch.argv.insert(launch.argv.end(), args.begin(), args.end());
        launch.env = server->env({{"XDG_RUNTIME_DIR", runtime.path()}, {"NO_AT_BRIDGE", "1"}});
        launch.outputPath = log;
        return Process::start(launch);
    };
    RunRemoteScenario(run);
}

}  // namespace
}  // namespace pap::e2e
