// Entry point of the renderer program (Papyrant.dll) on Windows.

#include <windows.h>

#include <memory>

#include "platform/gl_window.h"
#include "platform/paths.h"
#include "platform/work_dir.h"
#include "renderer/render_window.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    std::unique_ptr<pap::GlWindowSystem> system = pap::MakeGlWindowSystem();
    // The state holds the whole mesh (several hundred kilobytes): on the heap, not on the stack.
    auto state = std::make_unique<pap::RenderState>();
    state->system = system.get();
    // A work directory that is a link or somebody else's holds no snapshot of ours: none is loaded.
    if (pap::IsPrivateDirectory(pap::WorkDirectory()))
        state->snapshotPath = pap::SnapshotPath();
    return pap::RendererMain(*state);
}
