#pragma once

// The settings dialog (Papyrant.scr /c) as a person uses it: its place and look, the choices, the
// combo box, the real open-file dialog, Set and Cancel and the settings file they leave, the other
// starts it refuses, and the home page. The same scenario for the Linux build and for the Windows build
// under Wine.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace pap::e2e {

struct SettingsDialogRun {
    XServer* x = nullptr;
    // The host directory that holds Papyrant.scr and Papyrant.dll.
    std::string programDir;
    // The host directory that Set writes Papyrant.ini into.
    std::string settingsDir;
    // Starts Papyrant.scr from programDir with the arguments, its output going to `log`.
    std::function<std::unique_ptr<Process>(const std::vector<std::string>& args, const std::string& log)> start;
    // A host path as the program's system spells it.
    std::function<std::string(const std::string& hostPath)> nameForProgram;
    // The bytes of the settings file that Set writes for these values (the path as the program spells it).
    std::function<std::string(int type, int track, const std::string& file)> iniBytes;
    // A file the stand-in browser writes each address it is asked to open into, one a line.
    std::string browserLog;
    std::string workDir;        // for logs and the music file
    std::string screenshotDir;  // pictures of each step ("" for none)
    std::string prefix;         // the screenshots' name prefix
    Milliseconds startTimeout = Milliseconds(15000);
};

// Runs the scenario with gtest assertions.
void RunSettingsDialogScenario(const SettingsDialogRun& run);

}  // namespace pap::e2e
