// Starting programs on Linux without ever leaving a zombie process behind.
//
// The program is started as a grandchild: a short-lived intermediate process forks it, opens a
// pidfd for it (safe from pid reuse, since the intermediate has not reaped it), hands the pidfd to us
// over a socket pair and exits. We reap the intermediate at once; the program, reparented to init,
// is reaped by init whenever it ends, whether or not anybody still holds its ChildProcess. The pidfd
// turns readable when the program ends. An exec failure travels back through a close-on-exec pipe.
// Kernels without pidfd (before 5.3) get a direct child, reaped by hasEnded() and the destructor.
//
// Only async-signal-safe calls run between fork and exec.

#include "platform/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace pap {

namespace {

int pidfdOpen(pid_t pid)
{
#ifdef SYS_pidfd_open
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    errno = ENOSYS;
    return -1;
#endif
}

// The program as a grandchild, watched through its pidfd.
class DetachedProcess final : public ChildProcess {
public:
    explicit DetachedProcess(int pidfd) : m_pidfd(pidfd) {}
    ~DetachedProcess() override { ::close(m_pidfd); }
    DetachedProcess(const DetachedProcess&) = delete;
    DetachedProcess& operator=(const DetachedProcess&) = delete;

    bool hasEnded() override
    {
        pollfd entry{m_pidfd, POLLIN, 0};
        return ::poll(&entry, 1, 0) > 0;
    }

    // Through the pidfd: never a later process that was given the same pid.
    void end() override
    {
#ifdef SYS_pidfd_send_signal
        if (!hasEnded())
            ::syscall(SYS_pidfd_send_signal, m_pidfd, SIGTERM, nullptr, 0);
#endif
    }

private:
    int m_pidfd;
};

// The program as a direct child: reaped when it is seen to have ended.
class DirectChild final : public ChildProcess {
public:
    explicit DirectChild(pid_t pid) : m_pid(pid) {}
    ~DirectChild() override { hasEnded(); }
    DirectChild(const DirectChild&) = delete;
    DirectChild& operator=(const DirectChild&) = delete;

    bool hasEnded() override
    {
        if (m_ended)
            return true;
        int status = 0;
        pid_t result = ::waitpid(m_pid, &status, WNOHANG);
        m_ended = result == m_pid || (result < 0 && errno == ECHILD);
        return m_ended;
    }

    // Not yet reaped, the pid is still this program's.
    void end() override
    {
        if (!hasEnded())
            ::kill(m_pid, SIGTERM);
    }

private:
    pid_t m_pid;
    bool m_ended = false;
};

// The program's argument vector: its path, the arguments, a null pointer. Made before any fork, since
// only async-signal-safe calls may run between fork and exec.
std::vector<char*> argumentVector(const std::string& path, const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 2);
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    return argv;
}

// In a forked process: execute the program; on failure report errno through errorFd and exit.
[[noreturn]] void execProgram(char* const* argv, int errorFd)
{
    ::execve(argv[0], argv, environ);
    int error = errno;
    ssize_t ignored = ::write(errorFd, &error, sizeof error);
    (void)ignored;
    ::_exit(127);
}

// Reads the exec result of a forked program: 0 when it was executed, else its errno.
int readExecResult(int errorFd)
{
    int error = 0;
    ssize_t count;
    do {
        count = ::read(errorFd, &error, sizeof error);
    } while (count < 0 && errno == EINTR);
    return count == static_cast<ssize_t>(sizeof error) ? error : 0;
}

void reap(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

// The intermediate process: fork the program, open its pidfd, send it (or the failure) and exit.
[[noreturn]] void runIntermediate(char* const* argv, int socketFd)
{
    int result = 0;
    int pidfd = -1;
    int errorPipe[2];
    // Ask for pidfd support before the program runs: without it the caller starts the program as a
    // direct child instead (reported as ENOSYS, whatever refused it).
    int probe = pidfdOpen(::getpid());
    if (probe < 0)
        result = ENOSYS;
    else
        ::close(probe);
    if (result == 0 && ::pipe2(errorPipe, O_CLOEXEC) != 0)
        result = errno;
    if (result == 0) {
        pid_t program = ::fork();
        if (program == 0) {
            ::close(errorPipe[0]);
            ::close(socketFd);
            execProgram(argv, errorPipe[1]);
        }
        ::close(errorPipe[1]);
        if (program < 0) {
            result = errno;
        } else {
            result = readExecResult(errorPipe[0]);
            if (result == 0) {
                pidfd = pidfdOpen(program);
                if (pidfd < 0) {
                    // A program nobody could watch is not left running.
                    result = errno;
                    ::kill(program, SIGKILL);
                }
            }
            if (result != 0)
                reap(program);
        }
        ::close(errorPipe[0]);
    }

    char control[CMSG_SPACE(sizeof(int))];
    std::memset(control, 0, sizeof control);
    iovec data{&result, sizeof result};
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    if (pidfd >= 0) {
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        cmsghdr* header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = SOL_SOCKET;
        header->cmsg_type = SCM_RIGHTS;
        header->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(header), &pidfd, sizeof(int));
    }
    ssize_t sent = ::sendmsg(socketFd, &message, MSG_NOSIGNAL);
    ::_exit(sent < 0 ? 126 : 0);
}

std::unique_ptr<ChildProcess> startDetached(char* const* argv, bool& unsupported)
{
    unsupported = false;
    int sockets[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0)
        return nullptr;
    pid_t intermediate = ::fork();
    if (intermediate == 0) {
        ::close(sockets[0]);
        runIntermediate(argv, sockets[1]);
    }
    ::close(sockets[1]);
    if (intermediate < 0) {
        ::close(sockets[0]);
        return nullptr;
    }

    int result = -1;
    char control[CMSG_SPACE(sizeof(int))];
    iovec data{&result, sizeof result};
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    ssize_t received;
    do {
        received = ::recvmsg(sockets[0], &message, MSG_CMSG_CLOEXEC);
    } while (received < 0 && errno == EINTR);
    ::close(sockets[0]);
    reap(intermediate);

    int pidfd = -1;
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header; header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level == SOL_SOCKET && header->cmsg_type == SCM_RIGHTS)
            std::memcpy(&pidfd, CMSG_DATA(header), sizeof(int));
    }
    if (received == static_cast<ssize_t>(sizeof result) && result == 0 && pidfd >= 0)
        return std::make_unique<DetachedProcess>(pidfd);
    if (pidfd >= 0)
        ::close(pidfd);
    unsupported = received == static_cast<ssize_t>(sizeof result) && result == ENOSYS;
    return nullptr;
}

std::unique_ptr<ChildProcess> startDirect(char* const* argv)
{
    int errorPipe[2];
    if (::pipe2(errorPipe, O_CLOEXEC) != 0)
        return nullptr;
    pid_t program = ::fork();
    if (program == 0) {
        ::close(errorPipe[0]);
        execProgram(argv, errorPipe[1]);
    }
    ::close(errorPipe[1]);
    if (program < 0) {
        ::close(errorPipe[0]);
        return nullptr;
    }
    int result = readExecResult(errorPipe[0]);
    ::close(errorPipe[0]);
    if (result != 0) {
        reap(program);
        return nullptr;
    }
    return std::make_unique<DirectChild>(program);
}

}  // namespace

std::unique_ptr<ChildProcess> StartProgram(const std::string& path, WindowStyle,
                                           const std::vector<std::string>& arguments)
{
    std::vector<char*> argv = argumentVector(path, arguments);
    bool unsupported = false;
    if (auto process = startDetached(argv.data(), unsupported))
        return process;
    if (unsupported)
        return startDirect(argv.data());
    return nullptr;
}

}  // namespace pap
