#pragma once

// Windows programs under Wine for the end-to-end scenarios, on the harness's private Xvfb: a private
// Wine prefix (made once by wine_run.sh and reused, locked for the life of a session), programs started
// in it, and the Win32 test client (win_client.exe) that looks at and pokes windows from inside Wine.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace pap::e2e {

struct WinePaths {
    std::string prefix;   // the WINEPREFIX directory
    std::string binDir;   // the Windows build's bin directory (Papyrant.dll, win_client.exe)
    std::string wineRun;  // tests/e2e/wine_run.sh, which makes the prefix
};

class WineSession {
public:
    // A private Xvfb of that size and the prefix, ready to run programs; null (with the reason in
    // `error`) when Xvfb, the prefix or Wine would not start.
    static std::unique_ptr<WineSession> start(const WinePaths& paths, int width, int height, int depth,
                                              std::string& error);
    // Ends every Wine process of the prefix, releases the prefix and ends the Xvfb.
    ~WineSession();
    WineSession(const WineSession&) = delete;
    WineSession& operator=(const WineSession&) = delete;

    XServer& x() const { return *m_server; }
    const WinePaths& paths() const { return m_paths; }
    // DISPLAY and the Wine variables, for any child that runs Wine.
    Environment env() const;
    // The host directory that is C:\ inside Wine.
    std::string driveC() const { return m_paths.prefix + "/drive_c"; }
    // A program of the Windows build's bin directory, as a host path.
    std::string program(const std::string& name) const { return m_paths.binDir + "/" + name; }

    // Starts a Windows program with its output going to logPath. The exit code is the program's.
    // Wine's helper processes (the desktop, services) are kept out of the program's process group,
    // so ending the program leaves them alone; the session's end takes them down. `extra` adds to the
    // program's environment (and so to that of the programs it starts).
    std::unique_ptr<Process> start(const std::string& windowsProgram, const std::vector<std::string>& args,
                                   const std::string& logPath, const Environment& extra = {}) const;
    // Runs a Windows program with the arguments to its end.
    CommandResult run(const std::string& windowsProgram, const std::vector<std::string>& args,
                      Milliseconds timeout = Milliseconds(15000)) const;
    // Runs win_client.exe with the arguments to its end.
    CommandResult client(const std::vector<std::string>& args, Milliseconds timeout = Milliseconds(15000)) const
    {
        return run(program("win_client.exe"), args, timeout);
    }
    // The current display mode as Windows reports it ("1024x768x32"); empty on failure.
    std::string displayMode() const;

private:
    WineSession() = default;
    WinePaths m_paths;
    std::unique_ptr<XServer> m_server;
    int m_lockFd = -1;
};

}  // namespace pap::e2e
