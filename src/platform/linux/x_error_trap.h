#pragma once

// X errors on Linux: recorded, never fatal (Xlib's default handler would end the program).

#include <X11/Xlib.h>

namespace pap {

// The error handler that records the last error's code; install it once per display connection.
int RecordXError(Display* display, XErrorEvent* event);

// Collects the X errors of the requests made during its lifetime; failed() syncs first so that errors
// of requests still in flight are counted.
class XErrorTrap {
public:
    explicit XErrorTrap(Display* display);
    ~XErrorTrap();
    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;

    bool failed();

private:
    Display* m_display;
    XErrorHandler m_previous;
};

}  // namespace pap
