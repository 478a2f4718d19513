#pragma once
// Runs a piece of a test in a forked child, for faults that must not touch
// the test process itself: a file size limit, a kill -9 in the middle of a
// save, a process that writes at the same time as another.

#include <csignal>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace TestChild {

// What the child reported: the text it passed to its output and how it
// ended.
struct Result
{
    std::string Output;
    bool Exited = false;
    int ExitCode = -1;
    int Signal = 0;
};

// Forks; the child runs `body` with a function that sends text back, then
// ends with the answer of `body` as exit code (an escaping exception ends
// it with 99 and the exception's text as output). Nothing of the child's
// own clean-up runs (_exit).
inline pid_t Start(const std::function<int(const std::function<void(const std::string&)>&)>& body,
                   int& outputFd)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeFds[0]);
        const int fd = pipeFds[1];
        auto send = [fd](const std::string& text) {
            std::size_t done = 0;
            while (done < text.size()) {
                const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
                if (n <= 0)
                    break;
                done += std::size_t(n);
            }
        };
        int code = 99;
        try {
            code = body(send);
        } catch (const std::exception& e) {
            send(e.what());
        } catch (...) {
            send("unknown exception");
        }
        ::_exit(code);
    }
    ::close(pipeFds[1]);
    outputFd = pipeFds[0];
    if (pid < 0)
        ::close(outputFd);
    return pid;
}

// Reads the child's output to its end and waits for it.
inline Result Finish(pid_t pid, int outputFd)
{
    Result result;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(outputFd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        result.Output.append(buffer, std::size_t(n));
    }
    ::close(outputFd);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.Exited = WIFEXITED(status);
    result.ExitCode = result.Exited ? WEXITSTATUS(status) : -1;
    result.Signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return result;
}

inline Result Run(const std::function<int(const std::function<void(const std::string&)>&)>& body)
{
    int fd = -1;
    const pid_t pid = Start(body, fd);
    if (pid < 0)
        return {};
    return Finish(pid, fd);
}

// Limits the size of files the calling process may write (a full disk in
// miniature); the hard limit stays, so the limit can be lifted again. A
// write past it fails with EFBIG once SIGXFSZ is ignored.
inline void LimitFileSize(rlim_t bytes)
{
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

} // namespace TestChild
