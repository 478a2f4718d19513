#include "platform/Processes.h"

#include "platform/FileUtils.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

// ---------------------------------------------------------------------------
// Command lines

std::vector<std::string> SplitCommandLine(const std::string& text)
{
    std::vector<std::string> args;
    std::string current;
    bool inArg = false;
    bool quoted = false;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        const char c = text[i];
        if (!quoted && (c == ' ' || c == '\t')) {
            if (inArg) {
                args.push_back(current);
                current.clear();
                inArg = false;
            }
            ++i;
            continue;
        }
        inArg = true;
        if (c == '\\') {
            std::size_t count = 0;
            while (i < n && text[i] == '\\') {
                ++count;
                ++i;
            }
            if (i < n && text[i] == '"') {
                current.append(count / 2, '\\');
                if (count % 2 == 1) {
                    current += '"';
                    ++i;
                }
                // An even count leaves the quote to the next round.
            } else
                current.append(count, '\\');
            continue;
        }
        if (c == '"') {
            if (quoted && i + 1 < n && text[i + 1] == '"') {
                current += '"';
                i += 2;
                continue;
            }
            quoted = !quoted;
            ++i;
            continue;
        }
        current += c;
        ++i;
    }
    if (inArg)
        args.push_back(current);
    return args;
}

std::string QuoteArgument(const std::string& arg)
{
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos)
        return arg;
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            // Each backslash before a quote doubles, and the quote is escaped.
            out.append(backslashes * 2 + 1, '\\');
            out += '"';
        } else {
            out.append(backslashes, '\\');
            out += c;
        }
        backslashes = 0;
    }
    // Backslashes before the closing quote double so that it stays a quote.
    out.append(backslashes * 2, '\\');
    out += '"';
    return out;
}

std::string JoinCommandLine(const std::vector<std::string>& args)
{
    std::string out;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i > 0)
            out += ' ';
        out += QuoteArgument(args[i]);
    }
    return out;
}

namespace {

std::vector<std::string> ReadCommandLine()
{
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    const std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> args;
    std::size_t start = 0;
    while (start < raw.size()) {
        std::size_t end = raw.find('\0', start);
        if (end == std::string::npos)
            end = raw.size();
        args.push_back(raw.substr(start, end - start));
        start = end + 1;
    }
    return args;
}

} // namespace

std::vector<std::string> GetCommandLineArgs()
{
    // Kept from the first call on (the launcher asks first thing), so that
    // switches are read from the command line as it was given.
    static const std::vector<std::string> args = ReadCommandLine();
    return args;
}

std::string GetCommandLine()
{
    return JoinCommandLine(GetCommandLineArgs());
}

std::string ParamStr(int index)
{
    if (index == 0) {
        const std::string program = GetModuleFileName();
        if (!program.empty())
            return program;
    }
    const auto args = GetCommandLineArgs();
    if (index < 0 || std::size_t(index) >= args.size())
        return "";
    return args[std::size_t(index)];
}

int ParamCount()
{
    const auto args = GetCommandLineArgs();
    return args.empty() ? 0 : int(args.size()) - 1;
}

namespace {

bool SameTextAscii(const std::string& a, const std::string& b, bool ignoreCase)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (ignoreCase) {
            if (x >= 'a' && x <= 'z')
                x = char(x - 32);
            if (y >= 'a' && y <= 'z')
                y = char(y - 32);
        }
        if (x != y)
            return false;
    }
    return true;
}

} // namespace

bool FindCmdLineSwitch(const std::vector<std::string>& args, const std::string& name,
                       const std::string& chars, bool ignoreCase)
{
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.empty() || chars.find(arg[0]) == std::string::npos)
            continue;
        if (SameTextAscii(arg.substr(1), name, ignoreCase))
            return true;
    }
    return false;
}

bool FindCmdLineSwitch(const std::string& name, const std::string& chars, bool ignoreCase)
{
    return FindCmdLineSwitch(GetCommandLineArgs(), name, chars, ignoreCase);
}

// ---------------------------------------------------------------------------
// Processes

namespace {

thread_local std::string t_lastError;

int ExitCodeOf(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

// Collects the exit status of a child nobody waits for any more.
void ReapInBackground(pid_t pid)
{
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

// Where a started program stands: in this process's group, leading a group
// of its own, or in a session of its own (which outlives this process).
enum class TSpawnPlace
{
    SameGroup,
    OwnGroup,
    OwnSession
};

pid_t Spawn(const std::string& program, const std::vector<std::string>& args, const std::string& dir,
            TSpawnPlace place)
{
    if (program.empty()) {
        t_lastError = "No program given";
        return -1;
    }
    std::vector<std::string> argvText;
    argvText.push_back(program);
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argvText)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
    if (!dir.empty())
        posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (place == TSpawnPlace::OwnSession)
        flags |= POSIX_SPAWN_SETSID;
    if (place == TSpawnPlace::OwnGroup) {
        flags |= POSIX_SPAWN_SETPGROUP;
        posix_spawnattr_setpgroup(&attr, 0);
    }
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr, flags);

    pid_t pid = -1;
    const int rc = ::posix_spawnp(&pid, program.c_str(), &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) {
        t_lastError = "Cannot start \"" + program + "\"" + (dir.empty() ? "" : " in \"" + dir + "\"") + ": " +
                      std::strerror(rc);
        return -1;
    }
    t_lastError.clear();
    return pid;
}

bool IsAddress(const std::string& text)
{
    // "scheme:" with a scheme of two or more letters (one letter would be a
    // drive), e.g. "https://...", "mailto:...".
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos || colon < 2)
        return false;
    for (std::size_t i = 0; i < colon; ++i) {
        const char c = text[i];
        const bool ok =
            std::isalpha(static_cast<unsigned char>(c)) ||
            (i > 0 && (std::isdigit(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.'));
        if (!ok)
            return false;
    }
    return true;
}

bool IsProgramFile(const std::string& path)
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

} // namespace

TProcess::~TProcess()
{
    if (!m_ended && !Reap(false))
        ReapInBackground(m_pid);
}

bool TProcess::Reap(bool block)
{
    if (m_ended)
        return true;
    int status = 0;
    pid_t rc;
    do
        rc = ::waitpid(m_pid, &status, block ? 0 : WNOHANG);
    while (rc < 0 && errno == EINTR);
    if (rc == m_pid) {
        m_ended = true;
        m_exitCode = ExitCodeOf(status);
        return true;
    }
    if (rc < 0) {
        // Not our child any more (collected elsewhere): it has ended.
        m_ended = true;
        return true;
    }
    return false;
}

bool TProcess::Running()
{
    return !Reap(false);
}

bool TProcess::WaitFor(uint32_t timeoutMs)
{
    if (timeoutMs == 0xFFFFFFFFu)
        return Reap(true);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (Reap(false))
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

std::unique_ptr<TProcess> StartProcess(const std::string& program, const std::vector<std::string>& args,
                                       const std::string& dir)
{
    const pid_t pid = Spawn(program, args, dir, TSpawnPlace::SameGroup);
    if (pid < 0)
        return nullptr;
    return std::make_unique<TProcess>(pid);
}

std::unique_ptr<TProcess> StartProcessGroup(const std::string& program, const std::vector<std::string>& args,
                                            const std::string& dir)
{
    const pid_t pid = Spawn(program, args, dir, TSpawnPlace::OwnGroup);
    if (pid < 0)
        return nullptr;
    return std::make_unique<TProcess>(pid);
}

namespace {

// The processes of a group that can still run code: every member but those
// that have ended and wait to be collected (zombies run nothing, and one
// whose parent never collects it stays a zombie for good).
std::vector<pid_t> LiveGroupMembers(pid_t group)
{
    std::vector<pid_t> members;
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return members;
    while (dirent* entry = ::readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (pid <= 0 || *end != '\0')
            continue;
        std::ifstream in(std::string("/proc/") + entry->d_name + "/stat");
        std::string stat;
        std::getline(in, stat);
        // "pid (name) state ppid pgrp ...": the name may hold blanks and
        // parentheses, so the fields are counted from its last ')'.
        const std::size_t close = stat.rfind(')');
        if (close == std::string::npos)
            continue;
        char state = 0;
        long parent = 0, pgrp = 0;
        if (std::sscanf(stat.c_str() + close + 1, " %c %ld %ld", &state, &parent, &pgrp) != 3)
            continue;
        if (pgrp == group && state != 'Z' && state != 'X')
            members.push_back(pid_t(pid));
    }
    ::closedir(proc);
    return members;
}

} // namespace

bool EndProcessGroup(TProcess& leader, uint32_t timeoutMs)
{
    const pid_t group = leader.Pid();
    // Until the leader is collected its id names this group alone; after
    // that only while members of the group keep the id in use - otherwise
    // the id may already lead somebody else's group.
    if (!leader.Collected() || !LiveGroupMembers(group).empty())
        ::kill(-group, SIGKILL);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    leader.WaitFor(timeoutMs);
    for (;;) {
        if (LiveGroupMembers(group).empty())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        // A member that was forking when the signal came has a new child.
        ::kill(-group, SIGKILL);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

bool StartProcessDetached(const std::string& program, const std::vector<std::string>& args,
                          const std::string& dir, pid_t* pid)
{
    const pid_t child = Spawn(program, args, dir, TSpawnPlace::OwnSession);
    if (child < 0)
        return false;
    if (pid)
        *pid = child;
    ReapInBackground(child);
    return true;
}

bool ReplaceProcess(const std::string& program, const std::vector<std::string>& args)
{
    std::vector<std::string> argvText;
    argvText.push_back(program);
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argvText)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    t_lastError = "Cannot start \"" + program + "\": " + std::strerror(errno);
    return false;
}

bool RunAndWait(const std::string& program, const std::vector<std::string>& args, const std::string& dir,
                uint32_t timeoutMs, int* exitCode)
{
    auto process = StartProcess(program, args, dir);
    if (!process)
        return false;
    if (!process->WaitFor(timeoutMs)) {
        t_lastError = "\"" + program + "\" did not end within " + std::to_string(timeoutMs) + " ms";
        return false;
    }
    if (exitCode)
        *exitCode = process->ExitCode();
    return true;
}

std::unique_ptr<TProcess> ShellOpenProcess(const std::string& fileOrUrl, const std::string& params,
                                           const std::string& dir)
{
    if (!IsAddress(fileOrUrl) && IsProgramFile(fileOrUrl))
        return StartProcess(fileOrUrl, SplitCommandLine(params), dir);
    return StartProcess("xdg-open", {fileOrUrl}, dir);
}

bool ShellOpen(const std::string& fileOrUrl, const std::string& params, const std::string& dir)
{
    if (!IsAddress(fileOrUrl) && IsProgramFile(fileOrUrl))
        return StartProcessDetached(fileOrUrl, SplitCommandLine(params), dir);
    return StartProcessDetached("xdg-open", {fileOrUrl}, dir);
}

std::string LastProcessError()
{
    return t_lastError;
}

bool ProcessHasEnded(long long Pid)
{
    if (Pid <= 0 || Pid >= INT_MAX)
        return true;
    if (Pid == ::getpid())
        return false;
    return ::kill(pid_t(Pid), 0) != 0 && errno == ESRCH;
}
