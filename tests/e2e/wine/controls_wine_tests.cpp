// controls_demo.exe under Wine with a real pointer: the scenario the Linux build runs.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "e2e/controls_scenario.h"
#include "e2e/wine/wine_session.h"

namespace pap::e2e {
namespace {

// A Wine session on a private Xvfb, a work directory and controls_demo.exe started in it.
struct WineRun {
    std::string error;
    std::unique_ptr<WineSession> session =
        WineSession::start(WinePaths{PAPYRANT_WINEPREFIX, PAPYRANT_WINE_BIN, PAPYRANT_WINE_RUN}, 1024, 768, 24, error);
    TempDir work;
    ControlsDemoRun run;

    explicit WineRun(const std::string& logName)
    {
        if (!session)
            return;
        std::filesystem::create_directories(PAPYRANT_E2E_OUTPUT);
        run.x = &session->x();
        run.log = work.file(logName);
        run.screenshotDir = PAPYRANT_E2E_OUTPUT;
        run.prefix = "controls_wine_";
        run.startTimeout = Milliseconds(60000);
        run.start = [this](const std::string& log, const std::vector<std::string>& args) {
            return session->start(session->program("controls_demo.exe"), args, log);
        };
    }
};

TEST(ControlsWine, ButtonsFollowThePointerAndClickOnce)
{
    WineRun wine("controls_demo.log");
    ASSERT_TRUE(wine.session) << wine.error;
    RunControlsDemoScenario(wine.run);
}

TEST(ControlsWine, AGifPlaysItsFramesForTheirDelaysAndTakesClicksOnTransparentPixels)
{
    WineRun wine("controls_demo.log");
    ASSERT_TRUE(wine.session) << wine.error;
    // Wine's drive Z: is the host's root.
    RunGifScenario(wine.run, wine.work.path(), [](const std::string& hostPath) {
        std::string name = "Z:" + hostPath;
        std::replace(name.begin(), name.end(), '/', '\\');
        return name;
    });
}

TEST(ControlsWine, RemoteLoadsFromALocalServerPlayOrFail)
{
    WineRun wine("controls_demo_");
    ASSERT_TRUE(wine.session) << wine.error;
    RunRemoteScenario(wine.run);
}

}  // namespace
}  // namespace pap::e2e
