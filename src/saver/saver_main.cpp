#include "saver/saver_main.h"

#include <memory>

#include "forms/app.h"
#include "platform/audio.h"
#include "platform/program_info.h"
#include "platform/ui.h"
#include "saver/papyrant_b.h"

namespace pap {

int SaverMain()
{
    std::unique_ptr<UiSystem> ui = MakeUiSystem();
    if (!ui)
        return 1;  // no display: nothing to show and nothing to watch
    std::unique_ptr<AudioSystem> audio = MakeAudioSystem();
    std::unique_ptr<SaverSystem> system = MakeSaverSystem();
    forms::App app(*ui, CommandLine(), ProgramDirectory());
    SaverProgram program(app, *system, *audio, MusicSettings, PlatformSaverPaths(), PreviewPicture());
    program.hack = ProgramHackMode();
    return RunSaverProgram(program);
}

}  // namespace pap
