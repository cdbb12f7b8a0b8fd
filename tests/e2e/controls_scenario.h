#pragma once

// The push buttons and the label of controls_demo under a real pointer, as a person uses them: the
// same scenario for the Linux build and for the Windows build under Wine.

#include <functional>
#include <memory>
#include <string>

#include "e2e/harness.h"

namespace pap::e2e {

struct ControlsDemoRun {
    XServer* x = nullptr;
    // Starts controls_demo with its standard output going to `log`.
    std::function<std::unique_ptr<Process>(const std::string& log)> start;
    std::string log;            // where its output goes
    std::string screenshotDir;  // pictures of each step ("" for none)
    std::string prefix;         // the screenshots' name prefix
    Milliseconds startTimeout = Milliseconds(15000);
};

// Runs the scenario with gtest assertions.
void RunControlsDemoScenario(const ControlsDemoRun& run);

}  // namespace pap::e2e
