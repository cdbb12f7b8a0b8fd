#include "x_error_trap.h"

namespace pap {

namespace {

int g_lastXError = 0;

}  // namespace

int RecordXError(Display*, XErrorEvent* event)
{
    g_lastXError = event->error_code;
    return 0;
}

XErrorTrap::XErrorTrap(Display* display) : m_display(display)
{
    XSync(m_display, False);
    g_lastXError = 0;
    m_previous = XSetErrorHandler(RecordXError);
}

XErrorTrap::~XErrorTrap()
{
    XSync(m_display, False);
    XSetErrorHandler(m_previous);
}

bool XErrorTrap::failed()
{
    XSync(m_display, False);
    return g_lastXError != 0;
}

}  // namespace pap
