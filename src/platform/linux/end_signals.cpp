#include "end_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <iterator>

namespace pap {

namespace {

constexpr int kEndSignals[] = {SIGTERM, SIGINT, SIGHUP};
int g_pipe[2] = {-1, -1};
struct sigaction g_previous[std::size(kEndSignals)] {};

extern "C" void OnEndSignal(int signal)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    // A full pipe already holds a request that will be seen.
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

EndSignals::EndSignals()
{
    // The pipe outlives the object: a signal may still be on its way when the handler is replaced.
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    struct sigaction action {};
    action.sa_handler = OnEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < std::size(kEndSignals); ++i)
        sigaction(kEndSignals[i], &action, &g_previous[i]);
}

EndSignals::~EndSignals()
{
    if (g_pipe[0] < 0)
        return;
    for (size_t i = 0; i < std::size(kEndSignals); ++i)
        sigaction(kEndSignals[i], &g_previous[i], nullptr);
}

int EndSignals::fd() const { return g_pipe[0]; }

int EndSignals::take()
{
    int first = 0;
    unsigned char signals[16];
    ssize_t count = 0;
    while (g_pipe[0] >= 0 && (count = ::read(g_pipe[0], signals, sizeof signals)) > 0)
        if (first == 0)
            first = signals[0];
    return first;
}

}  // namespace pap
