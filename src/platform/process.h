#pragma once

#include <memory>
#include <string>
#include <vector>

namespace pap {

// How the started program shows its first window (the values of SW_HIDE ... SW_SHOWMINNOACTIVE).
// Linux window managers decide this themselves; the value is not passed on there.
enum class WindowStyle : int {
    Hidden = 0,
    NormalFocus = 1,
    MinimizedFocus = 2,
    MaximizedFocus = 3,
    NormalNoFocus = 4,
    MinimizedNoFocus = 6,
};

// A program started by StartProgram. Dropping the object neither waits for the program nor ends it,
// and an ended program never lingers as a zombie process on Linux.
class ChildProcess {
public:
    virtual ~ChildProcess() = default;
    // Whether the program has ended.
    virtual bool hasEnded() = 0;
    // Asks the program to end (Linux: SIGTERM; Windows: TerminateProcess) unless it has ended already;
    // returns at once.
    virtual void end() = 0;
};

// Starts the program file at path as a new process and returns at once (Windows: CreateProcess with
// the quoted path, then the arguments, as the command line and the window style; Linux: the file is
// executed directly with the arguments). Empty when the program cannot be started.
std::unique_ptr<ChildProcess> StartProgram(const std::string& path, WindowStyle style,
                                           const std::vector<std::string>& arguments = {});

}  // namespace pap
