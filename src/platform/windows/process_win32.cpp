// Starting programs on Windows: CreateProcessW with the program file as the application name (no
// search, no extension rule: the renderer's .dll name runs) and the quoted path as the command line,
// so a path with blanks cannot be read as a shorter program name.

#include <windows.h>

#include "platform/process.h"
#include "wide_text.h"

namespace pap {

namespace {

class ProcessWin32 final : public ChildProcess {
public:
    explicit ProcessWin32(HANDLE process) : m_process(process) {}
    ~ProcessWin32() override { CloseHandle(m_process); }
    ProcessWin32(const ProcessWin32&) = delete;
    ProcessWin32& operator=(const ProcessWin32&) = delete;

    bool hasEnded() override { return WaitForSingleObject(m_process, 0) == WAIT_OBJECT_0; }
    void end() override
    {
        if (!hasEnded())
            TerminateProcess(m_process, 0);
    }

private:
    HANDLE m_process;
};

}  // namespace

std::unique_ptr<ChildProcess> StartProgram(const std::string& path, WindowStyle style,
                                           const std::vector<std::string>& arguments)
{
    std::wstring application = WideFromUtf8(path);
    std::wstring commandLine = L"\"" + application + L"\"";
    // The arguments are taken as they are: the callers pass words without blanks or quotes.
    for (const std::string& argument : arguments)
        commandLine += L" " + WideFromUtf8(argument);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(style);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return nullptr;
    CloseHandle(info.hThread);
    return std::make_unique<ProcessWin32>(info.hProcess);
}

}  // namespace pap
