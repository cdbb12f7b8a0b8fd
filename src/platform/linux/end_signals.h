#pragma once

// The signals that ask a program to end (SIGTERM, SIGINT, SIGHUP), caught while an EndSignals object
// lives. The handler only writes the signal's number into a self-pipe; the event loop polls the pipe
// and takes the signals from it, so that the program ends through its loop and nothing is cleaned up
// inside a handler. Signals and the pipe are the process's: one object at a time.

namespace pap {

class EndSignals {
public:
    // Installs the handler, keeping the actions it replaces.
    EndSignals();
    // Puts the replaced actions back.
    ~EndSignals();
    EndSignals(const EndSignals&) = delete;
    EndSignals& operator=(const EndSignals&) = delete;

    // Readable when a signal has arrived; -1 when the pipe could not be made (nothing is caught then).
    int fd() const;
    // The first signal that arrived since the last call, 0 when none; the others go with it.
    int take();
};

}  // namespace pap
