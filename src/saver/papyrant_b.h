#pragma once

// The saver program: its start-up procedure Main, which refuses to run beside a running saver or an
// open settings dialog, takes the mode from the command line and then embeds the preview, runs the
// saver, or ends; and the program object that holds its forms and module state.

#include <cstdint>
#include <string>
#include <string_view>

#include "base/hack_mode.h"
#include "forms/app.h"
#include "gfx/surface.h"
#include "music/papyrant_bgm.h"
#include "platform/desktop_shell.h"
#include "saver/papyrant_p.h"
#include "saver/papyrant_r.h"
#include "saver/papyrant_s.h"
#include "saver/saver_system.h"
#include "saver/switches.h"
#include "settings/settings.h"

namespace pap {

// The captions that mark a running saver and an open settings dialog.
inline constexpr std::string_view kSaverCaption = "Papyrant_Main";
inline constexpr std::string_view kDialogCaption = "<Papyrant>";

// The saver program's state: the program object of the forms runtime, the services, the settings
// record, the music module and the forms.
struct SaverProgram {
    SaverProgram(forms::App& app, SaverSystem& system, AudioSystem& audio, MusicSettingsRecord& settings,
                 SaverPaths paths, gfx::Surface previewPicture, DesktopShell* shell = nullptr);
    ~SaverProgram();

    forms::App& app;
    SaverSystem& system;
    MusicSettingsRecord& settings;
    SaverPaths paths;
    // Started by XScreenSaver: the saver run draws inside the daemon's window (set before Main).
    HackMode hack;
    // Whether the work directory was made or found fit for use; a refused one is neither written
    // into nor cleaned.
    bool workDirectoryReady = false;
    Papyrant_BGM music;
    Papyrant_S saverForm;
    Papyrant_R previewForm;
    // The desktop services of the settings dialog: the given ones, or the platform's, made when the
    // dialog opens.
    DesktopShell* shell;
    std::unique_ptr<DesktopShell> ownShell;
    // The settings dialog, made when /c asks for it.
    std::unique_ptr<Papyrant_P> settingsForm;
};

// The start-up procedure. It returns after its last step; the program then lives while a form is
// loaded (forms::App::Run), or has ended already (forms::App::ended).
void Main(SaverProgram& program);

// Main, then the event loop until the program ends. The program's exit code (0).
int RunSaverProgram(SaverProgram& program);

}  // namespace pap
