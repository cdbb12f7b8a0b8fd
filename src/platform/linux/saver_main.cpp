// The saver program (Papyrant.scr) on Linux.

#include <memory>

#include "forms/app.h"
#include "platform/audio.h"
#include "platform/program_info.h"
#include "platform/ui.h"
#include "saver/papyrant_b.h"

int main(int argc, char** argv)
{
    pap::SetCommandLineArguments(argc, argv);
    std::unique_ptr<pap::UiSystem> ui = pap::MakeUiSystem();
    if (!ui)
        return 1;  // no X display: nothing to show and nothing to watch
    std::unique_ptr<pap::AudioSystem> audio = pap::MakeAudioSystem();
    std::unique_ptr<pap::SaverSystem> system = pap::MakeSaverSystem();
    pap::forms::App app(*ui, pap::CommandLine(), pap::ProgramDirectory());
    pap::SaverProgram program(app, *system, *audio, pap::MusicSettings, pap::PlatformSaverPaths(),
                              pap::PreviewPicture());
    return pap::RunSaverProgram(program);
}
