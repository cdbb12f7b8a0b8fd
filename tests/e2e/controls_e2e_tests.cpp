// controls_demo on a private Xvfb with a real pointer.

#include <gtest/gtest.h>

#include <filesystem>

#include "e2e/controls_scenario.h"

namespace pap::e2e {
namespace {

// A private Xvfb, a runtime directory and controls_demo started on them, ready for a scenario.
struct NativeRun {
    std::unique_ptr<XServer> server = XServer::start(1024, 768, 24);
    TempDir runtime;
    ControlsDemoRun run;

    explicit NativeRun(const std::string& logName)
    {
        std::filesystem::create_directories(PAPYRANT_E2E_OUTPUT);
        run.x = server.get();
        run.log = runtime.file(logName);
        run.screenshotDir = PAPYRANT_E2E_OUTPUT;
        run.prefix = "controls_";
        run.start = [this](const std::string& log, const std::vector<std::string>& args) {
            ProcessSpec launch;
            launch.argv = {PAPYRANT_CONTROLS_DEMO};
            launch.argv.insert(launch.argv.end(), args.begin(), args.end());
            launch.env = server->env({{"XDG_RUNTIME_DIR", runtime.path()}, {"NO_AT_BRIDGE", "1"}});
            launch.outputPath = log;
            return Process::start(launch);
        };
    }
};

TEST(ControlsE2E, ButtonsFollowThePointerAndClickOnce)
{
    NativeRun native("controls_demo.log");
    ASSERT_TRUE(native.server) << "Xvfb did not start";
    RunControlsDemoScenario(native.run);
}

TEST(ControlsE2E, AGifPlaysItsFramesForTheirDelaysAndTakesClicksOnTransparentPixels)
{
    NativeRun native("controls_demo.log");
    ASSERT_TRUE(native.server) << "Xvfb did not start";
    RunGifScenario(native.run, native.runtime.path(), [](const std::string& hostPath) { return hostPath; });
}

TEST(ControlsE2E, RemoteLoadsFromALocalServerPlayOrFail)
{
    NativeRun native("controls_demo_");
    ASSERT_TRUE(native.server) << "Xvfb did not start";
    RunRemoteScenario(native.run);
}

}  // namespace
}  // namespace pap::e2e
