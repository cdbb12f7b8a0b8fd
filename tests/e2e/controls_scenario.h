#pragma once

// The push buttons and the label of controls_demo under a real pointer, as a person uses them: the
// same scenario for the Linux build and for the Windows build under Wine.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace pap::e2e {

struct ControlsDemoRun {
    XServer* x = nullptr;
    // Starts controls_demo with the arguments and its standard output going to `log`.
    std::function<std::unique_ptr<Process>(const std::string& log, const std::vector<std::string>& args)> start;
    std::string log;            // where its output goes
    std::string screenshotDir;  // pictures of each step ("" for none)
    std::string prefix;         // the screenshots' name prefix
    Milliseconds startTimeout = Milliseconds(15000);
};

// Runs the scenario with gtest assertions.
void RunControlsDemoScenario(const ControlsDemoRun& run);

// controls_demo with a 4-frame GIF with transparency, written into `workDir` and passed to the program
// by the name `nameForProgram` gives it (the path as the program's system spells it; "" for the host
// path): the frames in order, each as gifdump paints it over the form's colour, for their delays;
// then LoopsEnded, and a click on a transparent pixel prints "Click GIF".
void RunGifScenario(const ControlsDemoRun& run, const std::string& workDir,
                    const std::function<std::string(const std::string& hostPath)>& nameForProgram);

// controls_demo --remote against a server on 127.0.0.1: the 4-frame GIF loads and plays (its
// RemoteLoadComplete gives its size); a missing file, a download of 14 bytes and a file that is not a
// GIF each end in RemoteLoadFailure without RemoteLoadComplete.
void RunRemoteScenario(const ControlsDemoRun& run);

}  // namespace pap::e2e
