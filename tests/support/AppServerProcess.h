#pragma once
// Runs the local application server (tools/appserver) as a process of its
// own for a test: on a free port of 127.0.0.1, with a database file in a
// temporary folder, optional SQL run after the schema (users for sign-in
// tests) and the server's switches (fault switches, --test-procedures).
// The constructor returns once the server and its notification server
// listen; the destructor stops it.
// The server watches its standard input, so it also ends when the test
// process dies.
//
// Test targets that use it call kld_use_appserver() in tests/CMakeLists.txt,
// which builds the server first and names its path in KLD_APPSERVER
// (relative to the test program, see support/BuiltFile.h).

#include "support/BuiltFile.h"
#include "support/TempFolder.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

class TAppServerProcess
{
  public:
    // `Environment` holds NAME=VALUE entries that replace or join this
    // process's environment for the server's.
    explicit TAppServerProcess(std::vector<std::string> Args = {}, const std::string& Sql = "",
                               std::vector<std::string> Environment = {})
        : m_environment(std::move(Environment))
    {
        std::vector<std::string> args = {BuiltFile(KLD_APPSERVER), "--watch-stdin", "--db",
                                         m_folder / "appserver.db"};
        if (!Sql.empty()) {
            WriteText(m_folder / "test.sql", Sql);
            args.insert(args.end(), {"--sql", m_folder / "test.sql"});
        }
        args.insert(args.end(), Args.begin(), Args.end());
        Start(args);
    }
    ~TAppServerProcess() { Stop(); }
    TAppServerProcess(const TAppServerProcess&) = delete;
    TAppServerProcess& operator=(const TAppServerProcess&) = delete;

    int Port() const { return m_port; }
    // The notification server's port (WebSocket, on 127.0.0.1 too).
    int NotifyPort() const { return m_notifyPort; }
    // Its port of TLS links (started with --notify-tls-cert); 0 without.
    int SecureNotifyPort() const { return m_secureNotifyPort; }
    // The server URL a connection is given: calls go to it + "/" + procedure.
    std::string ServerURL() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/bin/orvane.dll"; }
    std::string DatabaseFile() const { return m_folder / "appserver.db"; }
    // The server's process, for tests that watch what it uses.
    pid_t Pid() const { return m_pid; }
    // The most memory the server has held so far (VmHWM), in bytes.
    size_t PeakMemory() const
    {
        std::ifstream status("/proc/" + std::to_string(m_pid) + "/status");
        std::string line;
        while (std::getline(status, line))
            if (line.rfind("VmHWM:", 0) == 0)
                return std::stoull(line.substr(6)) * 1024;
        return 0;
    }
    // An environment entry for tests of what the server keeps: the address
    // sanitizer holds freed memory back (256 MB by default) and so would
    // hide the difference; this keeps 8 MB at most.
    static std::string SmallSanitizerQuarantine()
    {
        const char* options = std::getenv("ASAN_OPTIONS");
        return "ASAN_OPTIONS=" + std::string(options ? options : "") + (options && *options ? ":" : "") +
               "quarantine_size_mb=8";
    }

    // Stops the server and waits for it (a few seconds, then it is killed).
    void Stop()
    {
        if (m_pid <= 0)
            return;
        CloseFd(m_stdinWrite); // the server stops when its input ends
        CloseFd(m_stdoutRead);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        int status = 0;
        while (waitpid(m_pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(m_pid, SIGKILL);
                waitpid(m_pid, &status, 0);
                break;
            }
            usleep(10000);
        }
        m_pid = -1;
    }

  private:
    static void CloseFd(int& fd)
    {
        if (fd >= 0)
            close(fd);
        fd = -1;
    }

    void Start(const std::vector<std::string>& args)
    {
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0)
            throw std::runtime_error("appserver: cannot make pipes");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        for (int fd : {in[0], in[1], out[0], out[1]})
            posix_spawn_file_actions_addclose(&actions, fd);
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        std::vector<std::string> environment;
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            const std::string name = entry.substr(0, entry.find('=') + 1);
            if (std::none_of(m_environment.begin(), m_environment.end(),
                             [&](const std::string& own) { return own.rfind(name, 0) == 0; }))
                environment.push_back(entry);
        }
        environment.insert(environment.end(), m_environment.begin(), m_environment.end());
        std::vector<char*> envp;
        for (const std::string& e : environment)
            envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);
        const int rc = posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        m_stdinWrite = in[1];
        m_stdoutRead = out[0];
        if (rc != 0) {
            m_pid = -1;
            throw std::runtime_error(std::string("appserver: cannot start: ") + std::strerror(rc));
        }
        const std::string line = ReadLine(std::chrono::seconds(20));
        const std::string prefix = "appserver listening on 127.0.0.1:";
        if (line.rfind(prefix, 0) != 0) {
            Stop();
            throw std::runtime_error("appserver did not start (it said \"" + line + "\")");
        }
        m_port = std::stoi(line.substr(prefix.size()));
        const std::string notifyLine = ReadLine(std::chrono::seconds(20));
        const std::string notifyPrefix = "appserver notifications on 127.0.0.1:";
        if (notifyLine.rfind(notifyPrefix, 0) != 0) {
            Stop();
            throw std::runtime_error("appserver did not start its notification server (it said \"" + notifyLine +
                                     "\")");
        }
        m_notifyPort = std::stoi(notifyLine.substr(notifyPrefix.size()));
        if (std::find(args.begin(), args.end(), "--notify-tls-cert") != args.end()) {
            const std::string secureLine = ReadLine(std::chrono::seconds(20));
            const std::string securePrefix = "appserver secure notifications on 127.0.0.1:";
            if (secureLine.rfind(securePrefix, 0) != 0) {
                Stop();
                throw std::runtime_error("appserver did not take TLS links (it said \"" + secureLine + "\")");
            }
            m_secureNotifyPort = std::stoi(secureLine.substr(securePrefix.size()));
        }
    }

    std::string ReadLine(std::chrono::seconds timeout)
    {
        std::string line;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                                   std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return line;
            pollfd p{m_stdoutRead, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0)
                continue;
            char c = 0;
            const ssize_t n = read(m_stdoutRead, &c, 1);
            if (n <= 0 || c == '\n')
                return line;
            line += c;
        }
    }

    std::vector<std::string> m_environment;
    TTempFolder m_folder;
    pid_t m_pid = -1;
    int m_stdinWrite = -1;
    int m_stdoutRead = -1;
    int m_port = 0;
    int m_notifyPort = 0;
    int m_secureNotifyPort = 0;
};
