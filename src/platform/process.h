#pragma once

#include <memory>
#include <string>

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
};

// Starts the program file at path as a new process with no arguments and returns at once (Windows:
// CreateProcess with the path as the whole command line and the window style; Linux: the file is
// executed directly). Empty when the program cannot be started.
std::unique_ptr<ChildProcess> StartProgram(const std::string& path, WindowStyle style);

}  // namespace pap
