#include "e2e/wine/wine_session.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace pap::e2e {

namespace {

// Wine's first process of a session starts the desktop and the services; they would join its process
// group and die with it. setsid gives each Wine process a group of its own; -w waits for it and hands
// back its exit code.
std::vector<std::string> wineCommand(const std::string& program, const std::vector<std::string>& args)
{
    std::vector<std::string> argv{"setsid", "-w", "wine", program};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

}  // namespace

std::unique_ptr<WineSession> WineSession::start(const WinePaths& paths, int width, int height, int depth,
                                                std::string& error)
{
    std::unique_ptr<WineSession> session(new WineSession);
    session->m_paths = paths;
    session->m_server = XServer::start(width, height, depth);
    if (!session->m_server) {
        error = "Xvfb did not start";
        return nullptr;
    }

    // The script makes the prefix on first use (wineboot, several seconds) under the prefix's lock.
    const CommandResult prepared =
        runCommand({paths.wineRun, "--prepare"}, session->m_server->env({{"PAPYRANT_WINEPREFIX", paths.prefix}}),
                   Milliseconds(180000));
    if (prepared.exitCode != 0) {
        error = "the Wine prefix could not be made: " + prepared.output;
        return nullptr;
    }

    // Held for the whole session: tests of other build steps wait until this one is done.
    session->m_lockFd = open((paths.prefix + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (session->m_lockFd < 0 || flock(session->m_lockFd, LOCK_EX) != 0) {
        error = "the Wine prefix could not be locked";
        return nullptr;
    }

    // The first program brings up Wine's server, desktop and services, so that what the scenarios time
    // is the program itself.
    if (session->displayMode().empty()) {
        error = "Wine did not run the test client";
        return nullptr;
    }
    return session;
}

WineSession::~WineSession()
{
    if (m_lockFd >= 0) {
        runCommand({"wineserver", "-k"}, env());
        close(m_lockFd);
    }
}

Environment WineSession::env() const
{
    return m_server->env({
        {"WINEPREFIX", m_paths.prefix},
        {"WINEARCH", "win64"},
        {"WINEDEBUG", "-all"},
        // No Mono or Gecko: their installers would ask with a dialog.
        {"WINEDLLOVERRIDES", "mscoree=;mshtml=;winemenubuilder.exe="},
    });
}

std::unique_ptr<Process> WineSession::start(const std::string& windowsProgram, const std::vector<std::string>& args,
                                            const std::string& logPath, const Environment& extra) const
{
    ProcessSpec launch;
    launch.argv = wineCommand(windowsProgram, args);
    launch.env = env();
    for (const auto& [name, value] : extra)
        launch.env[name] = value;
    launch.outputPath = logPath;
    return Process::start(launch);
}

CommandResult WineSession::run(const std::string& windowsProgram, const std::vector<std::string>& args,
                               Milliseconds timeout) const
{
    return runCommand(wineCommand(windowsProgram, args), env(), timeout);
}

std::string WineSession::displayMode() const
{
    CommandResult result = client({"display-mode"});
    if (result.exitCode != 0)
        return {};
    while (!result.output.empty() && (result.output.back() == '\n' || result.output.back() == '\r'))
        result.output.pop_back();
    return result.output;
}

}  // namespace pap::e2e
