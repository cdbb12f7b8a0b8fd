#include "forms/app.h"

#include <algorithm>

#include "forms/controls.h"
#include "forms/form.h"

namespace pap::forms {

namespace {

// The longest wait of the event loop when no timer is due: it only bounds how long a missed wake-up
// could delay the loop.
constexpr uint32_t kIdleWaitMs = 1000;

}  // namespace

App::App(UiSystem& ui, std::string commandLine, std::string path)
    : m_ui(ui), m_command(std::move(commandLine)), m_path(std::move(path))
{
    m_ui.setEndRequestHandler([this](EndRequest request) { endRequested(request); });
}

App::~App() { m_ui.setEndRequestHandler(nullptr); }

void App::endRequested(EndRequest request)
{
    const UnloadMode mode =
        request == EndRequest::SessionEnding ? UnloadMode::AppWindows : UnloadMode::AppTaskManager;
    // An unload may unload other forms: each is looked for again first.
    std::vector<Form*> loaded = m_loaded;
    for (Form* form : loaded)
        if (!m_ended && std::find(m_loaded.begin(), m_loaded.end(), form) != m_loaded.end())
            form->Unload(mode);
}

const ScreenInfo& App::Screen()
{
    if (!m_screenAsked) {
        m_screenAsked = true;
        if (std::optional<ScreenMetrics> metrics = m_ui.screenMetrics()) {
            m_screen.TwipsPerPixelX = metrics->twipsPerPixelX;
            m_screen.TwipsPerPixelY = metrics->twipsPerPixelY;
            m_screen.Width = metrics->widthPixels * metrics->twipsPerPixelX;
            m_screen.Height = metrics->heightPixels * metrics->twipsPerPixelY;
        }
    }
    return m_screen;
}

void App::End()
{
    if (m_ended)
        return;
    m_ended = true;
    // Windows go without raising any event; the forms stay as objects until the program returns.
    std::vector<Form*> loaded = m_loaded;
    for (Form* form : loaded)
        form->endNow();
    m_loaded.clear();
}

bool App::isLoaded(const Form& form) const
{
    return std::find(m_loaded.begin(), m_loaded.end(), &form) != m_loaded.end();
}

TextService& App::text()
{
    if (!m_text)
        m_text = MakeTextService();
    return *m_text;
}

UrlReader& App::urls()
{
    if (!m_urls)
        m_urls = MakeUrlReader(m_ui);
    return *m_urls;
}

void App::Run()
{
    RunUntil([this] { return m_loaded.empty(); });
}

void App::RunUntil(const std::function<bool()>& done)
{
    // Window events are dispatched before every tick, so a timer whose handler outlasts its interval
    // cannot hold back painting, close requests or input.
    while (!m_ended && !done()) {
        m_ui.pumpEvents(timeToNextTimer(kIdleWaitMs));
        if (m_ended || done())
            break;
        tickDueTimer();
    }
}

void App::formLoaded(Form& form)
{
    if (std::find(m_loaded.begin(), m_loaded.end(), &form) == m_loaded.end())
        m_loaded.push_back(&form);
}

void App::formUnloaded(Form& form)
{
    m_loaded.erase(std::remove(m_loaded.begin(), m_loaded.end(), &form), m_loaded.end());
}

void App::addTimer(Timer& timer) { m_timers.push_back(&timer); }

void App::removeTimer(Timer& timer)
{
    m_timers.erase(std::remove(m_timers.begin(), m_timers.end(), &timer), m_timers.end());
}

bool App::tickDueTimer()
{
    if (m_ended)
        return false;
    const uint64_t now = m_ui.nowMs();
    Timer* due = nullptr;
    for (Timer* timer : m_timers)
        if (timer->active() && !timer->m_inTick && timer->m_due <= now && (!due || timer->m_due < due->m_due))
            due = timer;
    if (!due)
        return false;
    const uint64_t dueBefore = due->m_due;
    due->m_inTick = true;
    if (due->m_onTimer)
        due->m_onTimer();
    due->m_inTick = false;
    // A handler that started the count anew (interval, off and on) has set the next tick itself.
    if (due->m_due == dueBefore) {
        // The next tick keeps the cadence; a late timer (the program or its own handler was busy)
        // drops the ticks it missed and counts its interval again from the end of this tick.
        const uint64_t after = m_ui.nowMs();
        due->m_due += due->m_interval;
        if (due->m_due <= after)
            due->m_due = after + due->m_interval;
    }
    return true;
}

uint32_t App::timeToNextTimer(uint32_t idleWait)
{
    const uint64_t now = m_ui.nowMs();
    uint64_t wait = idleWait;
    for (Timer* timer : m_timers)
        if (timer->active() && !timer->m_inTick)
            wait = std::min(wait, timer->m_due > now ? timer->m_due - now : 0);
    return static_cast<uint32_t>(wait);
}

}  // namespace pap::forms
