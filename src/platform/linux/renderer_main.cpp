// The renderer program (Papyrant.dll) on Linux. With "-window-id ID" (or "--root") it draws inside that
// window (the root window) instead of a full-screen window of its own: the saver passes on the window
// that XScreenSaver gave it.

#include <memory>
#include <optional>

#include "base/hack_mode.h"
#include "gl_window_x11.h"
#include "platform/gl_window.h"
#include "platform/paths.h"
#include "platform/program_info.h"
#include "platform/work_dir.h"
#include "renderer/render_window.h"

int main(int argc, char** argv)
{
    pap::SetCommandLineArguments(argc, argv);
    const pap::HackMode host = pap::HackModeOf(pap::CommandLine(), std::nullopt);
    std::unique_ptr<pap::GlWindowSystem> system;
    switch (host.kind) {
    case pap::HackMode::Kind::Off:
        system = pap::MakeGlWindowSystem();
        break;
    case pap::HackMode::Kind::Window:
        system = pap::MakeHostedGlWindowSystem(host.window);
        break;
    case pap::HackMode::Kind::Root:
        system = pap::MakeHostedGlWindowSystem(0);
        break;
    case pap::HackMode::Kind::Refused:
        return 1;
    }
    // The state holds the whole mesh: too large for the stack.
    auto state = std::make_unique<pap::RenderState>();
    state->system = system.get();
    // A work directory that is a link or somebody else's holds no snapshot of ours: none is loaded.
    if (pap::IsPrivateDirectory(pap::WorkDirectory()))
        state->snapshotPath = pap::SnapshotPath();
    return pap::RendererMain(*state);
}
