#pragma once

// The saver screen: a hidden form that carries one saver run. It copies the desktop into its picture
// box, writes the snapshot file, starts the renderer and the music, and polls for the renderer's
// window; when that has gone it stops the music, shows the cursor again, deletes the work directory
// and ends the program. Started by XScreenSaver, it runs inside the daemon's window instead, over the
// desktop the daemon grabbed, and ends the renderer with the run.

#include <cstdint>
#include <memory>
#include <string>

#include "forms/controls.h"
#include "forms/form.h"
#include "platform/process.h"

namespace pap {

struct SaverProgram;

// The title of the renderer's window.
inline constexpr const char* kRendererTitle = "Papyrant_VC";
// The renderer's file name, after the program's directory and a separator.
inline constexpr const char* kRendererFileName = "Papyrant.dll";

class Papyrant_S : public forms::Form {
public:
    // How long the saver waits for the renderer's first window before its absence ends the run.
    static constexpr uint64_t kRendererGraceMs = 10000;

    explicit Papyrant_S(SaverProgram& program);

    forms::PictureBox Display{*this, forms::PictureBox::Border::None, gfx::kBlack};
    forms::Timer Timer2{*this, 200, false, [this] { Timer2_Timer(); }};
    forms::Timer Timer1{*this, 1000, false, [this] { Timer1_Timer(); }};
    forms::Timer Timer3{*this, 500, true, [this] { Timer3_Timer(); }};

    const std::string& rendererPath() const { return m_rendererPath; }

protected:
    void Form_Load() override;
    void Form_QueryUnload(int& Cancel, forms::UnloadMode UnloadMode) override;

private:
    void Timer1_Timer();
    void Timer2_Timer();
    void Timer3_Timer();

    SaverProgram& m_program;
    std::string m_rendererPath;
    std::unique_ptr<ChildProcess> m_renderer;
    uint64_t m_startedAt = 0;
    bool m_rendererSeen = false;
};

}  // namespace pap
