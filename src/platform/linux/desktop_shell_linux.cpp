// The desktop services on Linux.
//
// Implemented: the open-file dialog (GTK 3's file chooser), opening an address (xdg-open, not waited
// for). Not implemented: the zoom animation; the window manager animates the mapping and unmapping of
// windows itself where it animates at all, so zoomRect does nothing.

#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cctype>
#include <cerrno>
#include <thread>

#include "desktop_shell_linux.h"
#include "gtk_start.h"
#include "platform/desktop_shell.h"

extern char** environ;

namespace pap {

std::vector<std::string> AnyCaseGlobs(std::string_view patterns)
{
    std::vector<std::string> globs;
    size_t start = 0;
    while (start <= patterns.size()) {
        size_t end = patterns.find(';', start);
        if (end == std::string_view::npos)
            end = patterns.size();
        std::string_view pattern = patterns.substr(start, end - start);
        while (!pattern.empty() && std::isspace(static_cast<unsigned char>(pattern.front())))
            pattern.remove_prefix(1);
        while (!pattern.empty() && std::isspace(static_cast<unsigned char>(pattern.back())))
            pattern.remove_suffix(1);
        if (!pattern.empty()) {
            std::string glob;
            bool inBrackets = false;
            for (char c : pattern) {
                const unsigned char u = static_cast<unsigned char>(c);
                if (inBrackets) {
                    glob += c;
                    inBrackets = c != ']';
                } else if (c == '[') {
                    glob += c;
                    inBrackets = true;
                } else if (u < 0x80 && std::isalpha(u)) {
                    glob += '[';
                    glob += static_cast<char>(std::tolower(u));
                    glob += static_cast<char>(std::toupper(u));
                    glob += ']';
                } else {
                    glob += c;
                }
            }
            globs.push_back(std::move(glob));
        }
        start = end + 1;
    }
    return globs;
}

namespace {

// Lets the unmapping and destruction of a dialog reach the server before the caller goes on.
void FinishGtkEvents()
{
    while (gtk_events_pending())
        gtk_main_iteration();
    gdk_display_flush(gdk_display_get_default());
}

// Makes the dialog transient for (and so kept above) the owner, a window of another X connection.
void SetOwner(GtkWidget* dialog, NativeWindow owner)
{
    if (owner == 0)
        return;
    GdkWindow* window = gtk_widget_get_window(dialog);
    GdkDisplay* display = gdk_window_get_display(window);
    gdk_x11_display_error_trap_push(display);
    GdkWindow* foreign = gdk_x11_window_foreign_new_for_display(display, static_cast<Window>(owner));
    if (foreign) {
        gdk_window_set_transient_for(window, foreign);
        g_object_unref(foreign);
    }
    gdk_x11_display_error_trap_pop_ignored(display);
}

class DesktopShellLinux final : public DesktopShell {
public:
    std::optional<std::string> chooseOpenFile(const OpenFileRequest& request) override
    {
        if (!StartGtk())
            return std::nullopt;
        GtkWidget* dialog = gtk_file_chooser_dialog_new(request.title.c_str(), nullptr, GTK_FILE_CHOOSER_ACTION_OPEN,
                                                        "_Cancel", GTK_RESPONSE_CANCEL, "_Open",
                                                        GTK_RESPONSE_ACCEPT, nullptr);
        GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
        gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
        gtk_file_chooser_set_local_only(chooser, TRUE);
        const std::vector<std::string> globs = AnyCaseGlobs(request.filterPattern);
        if (!globs.empty()) {
            GtkFileFilter* filter = gtk_file_filter_new();
            gtk_file_filter_set_name(filter, request.filterDescription.c_str());
            for (const std::string& glob : globs)
                gtk_file_filter_add_pattern(filter, glob.c_str());
            gtk_file_chooser_add_filter(chooser, filter);  // the chooser takes the filter
        }
        if (!request.initialDirectory.empty())
            gtk_file_chooser_set_current_folder(chooser, request.initialDirectory.c_str());
        gtk_widget_realize(dialog);
        SetOwner(dialog, request.owner);

        std::optional<std::string> chosen;
        if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
            if (gchar* path = gtk_file_chooser_get_filename(chooser)) {
                chosen = path;
                g_free(path);
            }
        }
        gtk_widget_destroy(dialog);
        FinishGtkEvents();
        return chosen;
    }

    bool openAddress(NativeWindow /*owner*/, const std::string& address) override
    {
        const char* program = "xdg-open";
        char* const argv[] = {const_cast<char*>(program), const_cast<char*>(address.c_str()), nullptr};
        pid_t pid = 0;
        if (posix_spawnp(&pid, program, nullptr, nullptr, argv, environ) != 0)
            return false;
        // Not waited for by the caller; a thread of its own collects its exit so that it leaves no zombie.
        std::thread([pid] {
            while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        }).detach();
        return true;
    }

    void zoomRect(NativeWindow /*window*/, ScreenRect /*from*/, ScreenRect /*to*/) override {}
};

}  // namespace

std::unique_ptr<DesktopShell> MakeDesktopShell()
{
    return std::make_unique<DesktopShellLinux>();
}

}  // namespace pap
