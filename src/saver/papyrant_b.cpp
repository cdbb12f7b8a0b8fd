#include "saver/papyrant_b.h"

#include "base/code_page.h"
#include "base/conversions.h"

namespace pap {

std::string ModeLetter(std::string_view commandLine)
{
    if (commandLine.empty())
        return "";
    size_t second = AnsiCharLength(commandLine, 0);
    if (second >= commandLine.size())
        return "";
    size_t length = std::min(AnsiCharLength(commandLine, second), commandLine.size() - second);
    return UpperCase(commandLine.substr(second, length));
}

int32_t PreviewHandle(std::string_view commandLine)
{
    // The fourth character on: skip three characters of the code page.
    size_t at = 0;
    for (int i = 0; i < 3 && at < commandLine.size(); ++i)
        at += AnsiCharLength(commandLine, at);
    if (at >= commandLine.size())
        return 0;
    std::optional<double> number = NumericPrefix(commandLine.substr(at));
    if (!number)
        return 0;
    return RoundToInt32(*number).value_or(0);
}

NativeWindow WindowFromHandle(int32_t handle)
{
    // Window handles are 32-bit values on both platforms (X ids have 29 bits; 64-bit Windows keeps
    // user handles in the low 32 bits).
    return static_cast<NativeWindow>(static_cast<uint32_t>(handle));
}

SaverProgram::SaverProgram(forms::App& app_, SaverSystem& system_, AudioSystem& audio, MusicSettingsRecord& settings_,
                           SaverPaths paths_, gfx::Surface previewPicture)
    : app(app_),
      system(system_),
      settings(settings_),
      paths(std::move(paths_)),
      music(audio),
      saverForm(*this),
      previewForm(app_, std::move(previewPicture))
{
}

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

    // 2. The preview touches neither the work directory nor the settings.
    const std::string mode = ModeLetter(app.Command());
    if (mode == "P") {
        EmbedPreview(program, PreviewHandle(app.Command()));
        return;
    }

    // 3, 4. An existing work directory, or one that cannot be made, is not an error here.
    program.system.makeWorkDirectory();
    program.system.loadSettings(program.settings);

    // 5.
    if (mode == "A") {
        app.End();
        return;
    }
    // 6. FIXME: the settings dialog is not built yet; until it is, /c ends here like /a.
    if (mode == "C") {
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
