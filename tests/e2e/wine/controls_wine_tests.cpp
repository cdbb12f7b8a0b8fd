// controls_demo.exe under Wine with a real pointer: the scenario the Linux build runs.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "e2e/controls_scenario.h"
#include "e2e/wine/wine_session.h"

namespace pap::e2e {
namespace {

TEST(ControlsWine, ButtonsFollowThePointerAndClickOnce)
{
    std::string error;
    std::unique_ptr<WineSession> session =
        WineSession::start(WinePaths{PAPYRANT_WINEPREFIX, PAPYRANT_WINE_BIN, PAPYRANT_WINE_RUN}, 1024, 768, 24, error);
    ASSERT_TRUE(session) << error;
    std::filesystem::create_directories(PAPYRANT_E2E_OUTPUT);
    TempDir logs;
    ControlsDemoRun run;
    run.x = &session->x();
    run.log = logs.file("controls_demo.log");
    run.screenshotDir = PAPYRANT_E2E_OUTPUT;
    run.prefix = "controls_wine_";
    run.startTimeout = Milliseconds(60000);
    run.start = [&](const std::string& log, const std::vector<std::string>& args) {
        return session->start(session->program("controls_demo.exe"), args, log);
    };
    RunControlsDemoScenario(run);
}

TEST(ControlsWine, AGifPlaysItsFramesForTheirDelaysAndTakesClicksOnTransparentPixels)
{
    std::string error;
    std::unique_ptr<WineSession> session =
        WineSession::start(WinePaths{PAPYRANT_WINEPREFIX, PAPYRANT_WINE_BIN, PAPYRANT_WINE_RUN}, 1024, 768, 24, error);
    ASSERT_TRUE(session) << error;
    std::filesystem::create_directories(PAPYRANT_E2E_OUTPUT);
    TempDir work;
    ControlsDemoRun run;
    run.x = &session->x();
    run.log = work.file("controls_demo.log");
    run.screenshotDir = PAPYRANT_E2E_OUTPUT;
    run.prefix = "controls_wine_";
    run.startTimeout = Milliseconds(60000);
    run.start = [&](const std::string& log, const std::vector<std::string>& args) {
        return session->start(session->program("controls_demo.exe"), args, log);
    };
    // Wine's drive Z: is the host's root.
    RunGifScenario(run, work.path(), [](const std::string& hostPath) {
        std::string name = "Z:" + hostPath;
        std::replace(name.begin(), name.end(), '/', '\\');
        return name;
    });
}

TEST(ControlsWine, RemoteLoadsFromALocalServerPlayOrFail)
{
    std::string error;
    std::unique_ptr<WineSession> session =
        WineSession::start(WinePaths{PAPYRANT_WINEPREFIX, PAPYRANT_WINE_BIN, PAPYRANT_WINE_RUN}, 1024, 768, 24, error);
    ASSERT_TRUE(session) << error;
    std::filesystem::create_directories(PAPYRANT_E2E_OUTPUT);
    TempDir work;
    ControlsDemoRun run;
    run.x = &session->x();
    run.log = work.file("controls_demo_");
    run.screenshotDir = PAPYRANT_E2E_OUTPUT;
    run.prefix = "controls_wine_";
    run.startTimeout = Milliseconds(60000);
    run.start = [&](const std::string& log, const std::vector<std::string>& args) {
        return session->start(session->program("controls_demo.exe"), args, log);
    };
    RunRemoteScenario(run);
}

}  // namespace
}  // namespace pap::e2e
