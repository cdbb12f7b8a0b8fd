#include "gtk_start.h"

#include <X11/Xlib.h>
#include <gtk/gtk.h>

namespace pap {

bool StartGtk()
{
    static const bool started = [] {
        // GTK installs an X error handler that can end the program on errors it did not trap. When the
        // program has a handler of its own (which never ends it), that one is put back.
        XErrorHandler previous = XSetErrorHandler(nullptr);
        XErrorHandler xlibDefault = XSetErrorHandler(previous);
        const bool ok = gtk_init_check(nullptr, nullptr);
        if (previous != xlibDefault)
            XSetErrorHandler(previous);
        return ok;
    }();
    return started;
}

}  // namespace pap
