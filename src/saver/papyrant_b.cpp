#include "saver/papyrant_b.h"

namespace pap {

SaverProgram::SaverProgram(forms::App& app_, SaverSystem& system_, AudioSystem& audio, MusicSettingsRecord& settings_,
                           SaverPaths paths_, gfx::Surface previewPicture, DesktopShell* shell_)
    : app(app_),
      system(system_),
      settings(settings_),
      paths(std::move(paths_)),
      music(audio),
      saverForm(*this),
      previewForm(app_, std::move(previewPicture)),
      shell(shell_)
{
}

SaverProgram::~SaverProgram() = default;

void Main(SaverProgram& program)
{
    forms::App& app = program.app;

    // 1. One saver at a time, and none beside an open settings dialog: both searches are always made.
    NativeWindow saver = app.ui().findWindow(std::string(kSaverCaption));
    NativeWindow dialog = app.ui().findWindow(std::string(kDialogCaption));
    if (saver != 0 || dialog != 0) {
        app.End();
        return;
    }

    // A window id that is not one names nowhere to draw.
    if (program.hack.kind == HackMode::Kind::Refused) {
        app.End();
        return;
    }

    // 2. The preview touches neither the work directory nor the settings.
    const std::string mode = ModeLetter(app.Command());
    if (mode == "P") {
        EmbedPreview(program, PreviewHandle(app.Command()));
        return;
    }

    // 3, 4. An existing work directory, or one that cannot be made, is not an error here; the saver run
    // only leaves a refused one alone.
    program.workDirectoryReady = program.system.makeWorkDirectory();
    program.system.loadSettings(program.settings);

    // Under XScreenSaver the daemon owns the screen, the cursor and the end of the run.
    if (program.hack.kind != HackMode::Kind::Off) {
        program.saverForm.Load();
        return;
    }

    // 5.
    if (mode == "A") {
        app.End();
        return;
    }
    // 6. The dialog has no owner, whatever follows the switch; the program ends when it has closed.
    if (mode == "C") {
        if (!program.shell) {
            program.ownShell = MakeDesktopShell();
            program.shell = program.ownShell.get();
        }
        program.settingsForm = std::make_unique<Papyrant_P>(app, program.settings, program.system, *program.shell);
        program.settingsForm->Show(forms::ShowMode::Modal);
        app.End();
        return;
    }
    // 7.
    if (!app.Command().empty() && mode != "S") {
        app.End();
        return;
    }
    // 8. An empty command line runs the saver with the cursor left as it is.
    if (mode == "S")
        app.ui().showCursor(false);
    // 9.
    program.saverForm.Load();
}

int RunSaverProgram(SaverProgram& program)
{
    Main(program);
    program.app.Run();
    return 0;
}

}  // namespace pap
