#pragma once
// Starting programs, waiting for them, and command lines.
//
// Command lines follow the Windows rules so that a command line kept by one
// process (the launcher's restart, the update helper's five quoted
// arguments) reads back into the same arguments:
// - arguments are separated by blanks and tabs outside double quotes;
// - 2n backslashes before a double quote give n backslashes and the quote
//   opens or closes a quoted part; 2n+1 backslashes before it give n
//   backslashes and a literal quote; other backslashes stand for themselves;
// - inside a quoted part a doubled quote gives one literal quote and the
//   part goes on.

#include <cstdint>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

std::vector<std::string> SplitCommandLine(const std::string& text);
// Quotes an argument only when it needs it (empty, blank, tab or quote).
std::string QuoteArgument(const std::string& arg);
std::string JoinCommandLine(const std::vector<std::string>& args);

// The arguments this process was started with, program first
// (/proc/self/cmdline, read once at the first call, so later changes to
// the process do not show), and the same joined by the rules above.
std::vector<std::string> GetCommandLineArgs();
std::string GetCommandLine();
// Argument i; '' past the end. ParamStr(0) is the full path of the program
// file, as the run-time library gives it, whatever folder is current now.
std::string ParamStr(int index);
int ParamCount();
// True when an argument (after the program) is one of `chars` followed by
// `name`, e.g. "/DEBUG" or "-debug".
bool FindCmdLineSwitch(const std::string& name, const std::string& chars = "-/", bool ignoreCase = true);
bool FindCmdLineSwitch(const std::vector<std::string>& args, const std::string& name,
                       const std::string& chars = "-/", bool ignoreCase = true);

// True when no process of that id runs any more, so that what it left
// named after its id (a temporary file or folder) may go. This process and
// processes of other users count as running; ids out of range as ended.
bool ProcessHasEnded(long long Pid);

// A started child process that can be waited for. A handle dropped while the
// process runs leaves it running (its exit status is collected in the
// background, so no zombie stays).
class TProcess
{
  public:
    explicit TProcess(pid_t pid) : m_pid(pid) {}
    ~TProcess();
    TProcess(const TProcess&) = delete;
    TProcess& operator=(const TProcess&) = delete;

    pid_t Pid() const { return m_pid; }
    // Waits up to `timeoutMs` (0xFFFFFFFF: without limit); true when ended.
    bool WaitFor(uint32_t timeoutMs);
    bool Running();
    // The exit code once ended (128 + signal number when killed), else -1.
    int ExitCode() const { return m_exitCode; }
    // True once its end was collected (by a wait, or elsewhere): from then
    // on its id may be given to another process.
    bool Collected() const { return m_ended; }

  private:
    bool Reap(bool block);

    pid_t m_pid;
    bool m_ended = false;
    int m_exitCode = -1;
};

// Starts `program` (a path, or a name looked up in PATH) with `args` in the
// folder `dir` ('' = the current one). Null when it could not be started;
// LastProcessError() tells why.
std::unique_ptr<TProcess> StartProcess(const std::string& program, const std::vector<std::string>& args,
                                       const std::string& dir = "");
// As StartProcess, with the program leading a process group of its own, so
// that it can be ended together with whatever it starts (EndProcessGroup).
std::unique_ptr<TProcess> StartProcessGroup(const std::string& program, const std::vector<std::string>& args,
                                            const std::string& dir = "");
// Ends every process of the group that `leader` leads (SIGKILL, which none
// can ignore or delay), collects the leader and waits up to `timeoutMs`
// until no member of the group runs any more. Members that have ended and
// wait for a parent that never collects them run nothing and count as
// ended. False when members still ran at the deadline. A member that left
// the group (a new session or group of its own) is not reached.
bool EndProcessGroup(TProcess& leader, uint32_t timeoutMs);
// Starts a program that outlives this process, in its own session.
bool StartProcessDetached(const std::string& program, const std::vector<std::string>& args,
                          const std::string& dir = "", pid_t* pid = nullptr);
// Replaces this process with `program` (a path) and `args` (after the
// program), keeping the process id and the environment: what the process
// had loaded is gone. Returns only when that failed (false; LastProcessError
// tells why).
bool ReplaceProcess(const std::string& program, const std::vector<std::string>& args);
// Starts and waits; false when it did not start or did not end in time
// (then it is left running).
bool RunAndWait(const std::string& program, const std::vector<std::string>& args, const std::string& dir,
                uint32_t timeoutMs, int* exitCode);

// The shell's "open": a program file (executable) starts directly with
// `params` split by the rules above; a document or an address
// ("scheme:...") opens through xdg-open, `params` unused.
std::unique_ptr<TProcess> ShellOpenProcess(const std::string& fileOrUrl, const std::string& params = "",
                                           const std::string& dir = "");
bool ShellOpen(const std::string& fileOrUrl, const std::string& params = "", const std::string& dir = "");

// The reason the last start failed in this thread.
std::string LastProcessError();
