// The settings dialog of the Windows build under Wine on a Japanese system (code page 932): the
// scenario the Linux build runs, with Wine's open-file dialog and its shell's open reaching a stand-in
// browser on the host.

#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "e2e/settings_scenario.h"
#include "e2e/wine/wine_session.h"

namespace pap::e2e {
namespace {

namespace fs = std::filesystem;

// UTF-8 to code page 932.
std::string ToCp932(const std::string& utf8)
{
    iconv_t convert = iconv_open("CP932", "UTF-8");
    if (convert == reinterpret_cast<iconv_t>(-1))
        return {};
    std::string in = utf8, out(utf8.size() * 2 + 4, '\0');
    char* inPtr = in.data();
    char* outPtr = out.data();
    size_t inLeft = in.size(), outLeft = out.size();
    iconv(convert, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(convert);
    out.resize(out.size() - outLeft);
    return out;
}

TEST(SettingsWine, TheDialogSavesWhatTheUserChoseAndNothingOnCancel)
{
    std::string error;
    auto session =
        WineSession::start(WinePaths{PAPYRANT_WINEPREFIX, PAPYRANT_WINE_BIN, PAPYRANT_WINE_RUN}, 1024, 768, 24, error);
    ASSERT_TRUE(session) << error;
    fs::create_directories(PAPYRANT_E2E_OUTPUT);
    TempDir work;
    const std::string programDir = session->driveC() + "/papyrant_settings";
    fs::remove_all(programDir);
    fs::create_directories(programDir);
    fs::copy_file(session->program("Papyrant.scr"), programDir + "/Papyrant.scr");
    fs::copy_file(session->program("Papyrant.dll"), programDir + "/Papyrant.dll");
    // The stand-in browser: Wine's browser hands the address to the host's xdg-open, which runs $BROWSER.
    const std::string browserLog = work.file("browser.log");
    const std::string config = work.file("config");
    fs::create_directories(config);

    SettingsDialogRun run;
    run.x = &session->x();
    run.programDir = programDir;
    run.settingsDir = programDir;
    run.workDir = work.path();
    run.browserLog = browserLog;
    run.screenshotDir = PAPYRANT_E2E_OUTPUT;
    run.prefix = "settings_wine_";
    run.startTimeout = Milliseconds(60000);
    run.start = [&](const std::vector<std::string>& args, const std::string& log) {
        return session->start(programDir + "/Papyrant.scr", args, log,
                              {{"BROWSER", PAPYRANT_RECORD_ADDRESS},
                               {"PAPYRANT_ADDRESS_LOG", browserLog},
                               {"XDG_CURRENT_DESKTOP", "X-Generic"},
                               {"XDG_CONFIG_HOME", config}});
    };
    // Wine's drive Z: is the host's root.
    run.nameForProgram = [](const std::string& hostPath) {
        std::string name = "Z:" + hostPath;
        std::replace(name.begin(), name.end(), '/', '\\');
        return name;
    };
    // The profile functions write in the ANSI code page with CR LF.
    run.iniBytes = [](int type, int track, const std::string& file) {
        return ToCp932("[Section]\r\nBGM区分= " + std::to_string(type) + "\r\nBGMﾘﾋﾟｰﾄ= " + std::to_string(track) +
                       "\r\nBGMﾌｧｲﾙ=" + file + "\r\n");
    };
    RunSettingsDialogScenario(run);
}

}  // namespace
}  // namespace pap::e2e
