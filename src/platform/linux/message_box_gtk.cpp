// Message boxes through GTK 3.
//
// The dialog is modal, has an OK button only, stays above other windows (the render window is full
// screen) and is transient for the X window that has the keyboard focus. Its X window carries the
// text in the property _PAPYRANT_MESSAGE (UTF8_STRING), so that tools and tests can read what it says.
// Without a usable display the text goes to standard error instead.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <cstdio>

#include "gtk_start.h"
#include "platform/message_box.h"

namespace pap {

namespace {

// The window that has the keyboard focus, as GDK's foreign window; null when there is none.
GdkWindow* focusedWindow(GdkDisplay* display)
{
    Display* xdisplay = gdk_x11_display_get_xdisplay(display);
    Window focus = None;
    int revert = 0;
    XGetInputFocus(xdisplay, &focus, &revert);
    if (focus == None || focus == PointerRoot)
        return nullptr;
    gdk_x11_display_error_trap_push(display);
    GdkWindow* window = gdk_x11_window_foreign_new_for_display(display, focus);
    gdk_x11_display_error_trap_pop_ignored(display);
    return window;
}

}  // namespace

void ShowMessageBox(const std::string& text, const std::string& caption)
{
    if (!StartGtk()) {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        return;
    }

    GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER, GTK_BUTTONS_OK,
                                               "%s", text.c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), caption.c_str());
    gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
    gtk_widget_realize(dialog);

    GdkWindow* window = gtk_widget_get_window(dialog);
    GdkDisplay* display = gdk_window_get_display(window);
    if (GdkWindow* owner = focusedWindow(display)) {
        gdk_window_set_transient_for(window, owner);
        g_object_unref(owner);
    }
    Display* xdisplay = gdk_x11_display_get_xdisplay(display);
    XChangeProperty(xdisplay, gdk_x11_window_get_xid(window), XInternAtom(xdisplay, "_PAPYRANT_MESSAGE", False),
                    XInternAtom(xdisplay, "UTF8_STRING", False), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));

    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    // Let the unmap and destruction reach the server before the caller goes on.
    while (gtk_events_pending())
        gtk_main_iteration();
    gdk_display_flush(display);
}

}  // namespace pap
