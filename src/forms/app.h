#pragma once

// The forms runtime's program object: the program data (command line, directory, screen), the forms
// that are loaded, the timers, and the event loop on the program's one thread. The program lives while
// a form is loaded; End ends it at once, and no handler runs after it.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/text.h"
#include "platform/url_reader.h"
#include "platform/ui.h"

namespace pap::forms {

class Form;
class Timer;

// Twips (1/1440 inch) per pixel and the screen's size in twips, as Screen gives them.
struct ScreenInfo {
    double Width = 0;   // twips
    double Height = 0;  // twips
    double TwipsPerPixelX = 15;
    double TwipsPerPixelY = 15;
};

class App {
public:
    // commandLine: the arguments without the program's name; path: the program's directory.
    // The program hears the window system's end requests from here on: each unloads the loaded forms
    // (the session's end with UnloadMode::AppWindows, a request to end the process with
    // UnloadMode::AppTaskManager), and a form may cancel as for any unload.
    App(UiSystem& ui, std::string commandLine, std::string path);
    ~App();
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    UiSystem& ui() { return m_ui; }
    const std::string& Command() const { return m_command; }
    const std::string& Path() const { return m_path; }
    // The screen, asked once; 0 x 0 at 15 twips per pixel when there is no screen.
    const ScreenInfo& Screen();

    // Ends the program: every form's window goes without any further event, no timer ticks again and
    // the event loop returns. The caller returns at once too.
    void End();
    bool ended() const { return m_ended; }

    // The event loop: runs until no form is loaded or End.
    void Run();
    // Runs the event loop until done() holds or End (a modal form's loop).
    void RunUntil(const std::function<bool()>& done);

    int loadedFormCount() const { return static_cast<int>(m_loaded.size()); }
    std::vector<Form*> loadedForms() const { return m_loaded; }
    bool isLoaded(const Form& form) const;

    // The text service the controls draw with: the platform's, made when first asked for, unless one
    // was given.
    TextService& text();
    void setTextService(std::unique_ptr<TextService> text) { m_text = std::move(text); }
    // The background reader of files and addresses whose results arrive on the event loop: the
    // platform's, made when first asked for, unless one was given.
    UrlReader& urls();
    void setUrlReader(std::unique_ptr<UrlReader> reader) { m_urls = std::move(reader); }

    // Bookkeeping for forms and timers.
    void formLoaded(Form& form);
    void formUnloaded(Form& form);
    void timerChanged();

private:
    friend class Timer;
    void addTimer(Timer& timer);
    void removeTimer(Timer& timer);
    void endRequested(EndRequest request);
    // Ticks the timer that is due first, if one is; whether one ticked.
    bool tickDueTimer();
    // Milliseconds until the next timer is due (the wait when none is).
    uint32_t timeToNextTimer(uint32_t idleWait);

    UiSystem& m_ui;
    std::string m_command;
    std::string m_path;
    bool m_screenAsked = false;
    ScreenInfo m_screen;
    bool m_ended = false;
    std::vector<Form*> m_loaded;
    std::vector<Timer*> m_timers;
    std::unique_ptr<TextService> m_text;
    std::unique_ptr<UrlReader> m_urls;
};

}  // namespace pap::forms
