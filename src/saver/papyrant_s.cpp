#include "saver/papyrant_s.h"

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "saver/papyrant_b.h"

namespace pap {

Papyrant_S::Papyrant_S(SaverProgram& program)
    : forms::Form(program.app, std::string(kSaverCaption)), m_program(program)
{
    setScaleMode(forms::ScaleMode::Pixels);
}

void Papyrant_S::Form_Load()
{
    forms::App& app = m_program.app;
    m_startedAt = app.ui().nowMs();

    // 1, 2. The form and its picture box take the whole screen (under XScreenSaver: its window).
    const HackMode& hack = m_program.hack;
    std::optional<ScreenRect> hostRect;
    if (hack.kind == HackMode::Kind::Window)
        hostRect = app.ui().windowRect(hack.window);
    if (hostRect && hostRect->width() > 0 && hostRect->height() > 0) {
        setWidth(hostRect->width() * app.Screen().TwipsPerPixelX);
        setHeight(hostRect->height() * app.Screen().TwipsPerPixelY);
    } else {
        setWidth(app.Screen().Width);
        setHeight(app.Screen().Height);
    }
    Display.Move(Display.Left(), Display.Top(), ScaleWidth(), ScaleHeight());

    // 3-6. The top-left part of the screen, one picture pixel per screen pixel. Without the desktop the
    // picture stays black. The daemon's window covers the screen by now: the desktop is the one it grabbed.
    const int pictureWidth = static_cast<int>(std::lround(ScaleWidth()));
    const int pictureHeight = static_cast<int>(std::lround(ScaleHeight()));
    if (hack.kind == HackMode::Kind::Window)
        app.ui().copyGrabbedDesktop(hack.window, Display.hDC(), pictureWidth, pictureHeight);
    else
        app.ui().copyScreen(Display.hDC(), pictureWidth, pictureHeight);
    Display.Refresh();

    // 7. The snapshot is complete and closed before the renderer starts. Into a work directory that was
    // refused (a link, or somebody else's) nothing is written: the renderer then shows no picture.
    if (m_program.workDirectoryReady)
        m_program.system.savePicture(Display.Image(), m_program.paths.snapshotFile);

    // 8, 9. The renderer path is built without a check for a separator at the end of the directory. Under
    // XScreenSaver it draws into the same window.
    m_rendererPath = app.Path() + PathSeparator() + kRendererFileName;
    std::vector<std::string> arguments;
    if (hack.kind == HackMode::Kind::Window)
        arguments = {"-window-id", WindowIdText(hack.window)};
    else if (hack.kind == HackMode::Kind::Root)
        arguments = {"--root"};
    m_renderer = m_program.system.startProgram(m_rendererPath, arguments, WindowStyle::NormalFocus);

    // 10, 11. A CD is polled from the first Timer2 tick on; a WAV loops by itself; an MP3 is watched.
    switch (ChooseMusic(m_program.settings.MusicType, m_program.settings.MusicFile)) {
    case MusicKind::Cd:
        m_program.music.CD_Open();
        Timer2.setEnabled(true);
        break;
    case MusicKind::Wav:
        m_program.music.WAV_Play(m_program.settings.MusicFile);
        break;
    case MusicKind::Mp3:
        m_program.music.MP3_Open(m_program.settings.MusicFile);
        Timer1.setEnabled(true);
        break;
    case MusicKind::None:
        break;
    }
}

void Papyrant_S::Timer1_Timer() { m_program.music.MP3_Watch(); }

void Papyrant_S::Timer2_Timer()
{
    m_program.music.CD_Watch(m_program.settings.RepeatTrack);
    Timer2.setEnabled(m_program.music.CdWatchOn);
}

void Papyrant_S::Timer3_Timer()
{
    if (m_program.app.ui().findWindow(kRendererTitle) != 0) {
        m_rendererSeen = true;
        return;
    }
    // Until its window has been seen, the renderer is given time to start and read the snapshot: its
    // absence counts only once the renderer has ended or the grace period has passed.
    const bool rendererEnded = !m_renderer || m_renderer->hasEnded();
    if (!m_rendererSeen && !rendererEnded && m_program.app.ui().nowMs() - m_startedAt < kRendererGraceMs)
        return;
    Timer3.setEnabled(false);
    Unload();
}

void Papyrant_S::Form_QueryUnload(int& /*Cancel*/, forms::UnloadMode /*UnloadMode*/)
{
    // 1. A CD poll that switched itself off sends no close commands.
    if (Timer2.Enabled()) {
        Timer2.setEnabled(false);
        m_program.music.CD_Close();
    }
    // 2.
    const MusicKind music = ChooseMusic(m_program.settings.MusicType, m_program.settings.MusicFile);
    if (music == MusicKind::Wav)
        m_program.music.WAV_Stop();
    if (music == MusicKind::Mp3) {
        Timer1.setEnabled(false);
        m_program.music.MP3_Close();
    }
    // 3. Only a run that hid the cursor shows it again.
    if (ModeLetter(m_program.app.Command()) == "S")
        m_program.app.ui().showCursor(true);
    // The daemon knows only this process: the renderer ends with the run.
    if (m_program.hack.kind != HackMode::Kind::Off && m_renderer)
        m_renderer->end();
    // 4-6. A refused work directory is not ours to clean.
    if (m_program.workDirectoryReady) {
        m_program.system.deleteFiles(m_program.paths.deletePattern);
        m_program.system.removeDirectory(m_program.paths.workDirectory);
    }
    m_program.app.End();
}

}  // namespace pap
