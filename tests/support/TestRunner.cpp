// kld_test_runner <test program> <Suite.Case>
//
// Runs one GoogleTest case for CTest. Starting a sanitized test program with
// Qt costs more than most cases take, so the first runner of a suite in a
// CTest run starts the program once for the whole suite and keeps what each
// case printed; the other cases of the suite wait for that run and report
// their own part. CTest still sees every case as a test of its own, with its
// own output and result.
//
// A case is run on its own, in a process of its own, whenever the shared run
// cannot say for sure how it went: when the program failed outside any case
// (a leak report at exit, a crash before the first case), when the case did
// not take part in the shared run, or when CTest runs it again in the same
// session (--repeat). A case that crashes the shared program is reported as
// failed with what it printed; the cases after it are run again in a new
// process (those before it too, so that their leak check at exit is not
// skipped).
//
// A case may run for KLD_TEST_TIMEOUT seconds (default 300); then the program
// and everything it started are killed and the case fails. A shared run asks
// the program to stop between two cases after KLD_TEST_SHARED_SECONDS (2):
// the cases it did not reach run in processes of their own, side by side, so
// that a suite of slow cases does not hold up the whole test run.
//
// Every start of the program gets a scratch folder of its own as TMPDIR
// (kld-run-XXXXXX in the runner's temporary folder), removed when the program
// has ended, however it ended: what a case leaves there (a crash, a stop
// between two cases, a kill at the time limit) is gone with it.
//
// State lives in <program folder>/.kld-test-runs/<session>/, one session per
// CTest process, with the output of every run of a program (run-<n>.log);
// the next session removes those of ended sessions but the last three.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kKeptSessions = 3;
constexpr std::string_view kRun = "[ RUN      ] ";
constexpr std::string_view kOk = "[       OK ] ";
constexpr std::string_view kFailed = "[  FAILED  ] ";
constexpr std::string_view kSkipped = "[  SKIPPED ] ";

// The scratch folder of the program running now, which Fail removes too:
// exit runs no destructor of ours.
std::string g_scratchInUse;

[[noreturn]] void Fail(const std::string& message)
{
    std::fprintf(stderr, "kld_test_runner: %s\n", message.c_str());
    std::error_code ec;
    if (!g_scratchInUse.empty())
        fs::remove_all(g_scratchInUse, ec);
    std::exit(2);
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const fs::path& path, const std::string& text)
{
    // Written aside and renamed, so that a reader never sees half a file.
    const fs::path part = path.string() + ".part";
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out)
            Fail("cannot write " + part.string());
    }
    fs::rename(part, path);
}

// Case names hold letters, digits, '_' and '/'; file names may not hold '/'.
std::string FileNameOf(std::string name)
{
    for (char& c : name) {
        if (c == '/')
            c = '@';
    }
    return name;
}

// The start time of a process (clock ticks since boot), which tells a process
// apart from a later one that got the same id; empty when it is gone.
std::string StartTimeOf(pid_t pid)
{
    const std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
    const size_t comm = stat.rfind(')');
    if (comm == std::string::npos)
        return {};
    std::istringstream fields(stat.substr(comm + 2));
    std::string field;
    // Field 22 of the line; the fields after the name start at field 3.
    for (int i = 3; i <= 22 && fields >> field; ++i) {
    }
    return field;
}

// "<pid>-<start time>": a session named after its CTest process. A session
// named by KLD_TEST_SESSION belongs to whoever named it, who removes it.
bool IsProcessSession(const std::string& name)
{
    const size_t dash = name.find('-');
    const auto digits = [](std::string_view part) {
        return !part.empty() && part.find_first_not_of("0123456789") == std::string_view::npos;
    };
    return dash != std::string::npos && digits(std::string_view(name).substr(0, dash)) &&
           digits(std::string_view(name).substr(dash + 1));
}

bool SessionAlive(const std::string& name)
{
    const size_t dash = name.find('-');
    if (dash == std::string::npos)
        return false;
    const pid_t pid = static_cast<pid_t>(std::atol(name.substr(0, dash).c_str()));
    return pid > 0 && StartTimeOf(pid) == name.substr(dash + 1);
}

// The folder of this CTest run. The runner's parent is CTest itself; any
// other parent (a shell) makes a session of its own the same way, and
// KLD_TEST_SESSION names one outright.
fs::path SessionFolder(const fs::path& program)
{
    const pid_t parent = getppid();
    const char* named = std::getenv("KLD_TEST_SESSION");
    const std::string name =
        named && *named ? FileNameOf(named) : std::to_string(parent) + "-" + StartTimeOf(parent);
    const fs::path root = program.parent_path() / ".kld-test-runs";
    std::error_code ec;
    fs::create_directories(root, ec);
    const fs::path session = root / name;
    if (mkdir(session.c_str(), 0777) == 0) {
        // The first runner of a session clears what ended sessions left,
        // but for the last few, whose logs may still be read.
        std::vector<std::pair<fs::file_time_type, fs::path>> ended;
        for (const auto& entry : fs::directory_iterator(root, ec)) {
            const std::string other = entry.path().filename().string();
            if (other != name && IsProcessSession(other) && !SessionAlive(other))
                ended.emplace_back(entry.last_write_time(ec), entry.path());
        }
        std::sort(ended.begin(), ended.end());
        for (size_t i = 0; i + kKeptSessions < ended.size(); ++i)
            fs::remove_all(ended[i].second, ec);
    } else if (errno != EEXIST) {
        Fail("cannot create " + session.string() + ": " + std::strerror(errno));
    }
    return session;
}

struct Outcome
{
    std::string Status; // "pass", "fail", "skip" or "crash"
    std::string Text;
};

// What one run of the program printed, cut into its cases.
struct RunReport
{
    std::map<std::string, Outcome> Finished;
    std::string Unfinished; // the case the program ended in, if any
    std::string UnfinishedText;
    std::string Outside; // printed outside every case
    int Failures = 0;
};

// The end line of `name`, if `line` is one: gtest writes the name followed by
// " (n ms)", by ", where GetParam() = ..." or by nothing.
bool EndsCase(std::string_view line, std::string_view marker, const std::string& name)
{
    if (line.substr(0, marker.size()) != marker)
        return false;
    line.remove_prefix(marker.size());
    if (line.substr(0, name.size()) != name)
        return false;
    line.remove_prefix(name.size());
    return line.empty() || line[0] == ' ' || line[0] == ',' || line[0] == '\n';
}

RunReport CutIntoCases(const std::string& output)
{
    RunReport report;
    std::string current;
    std::string text;
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        end = end == std::string::npos ? output.size() : end + 1;
        const std::string_view line(output.data() + start, end - start);
        start = end;
        if (line.substr(0, kRun.size()) == kRun) {
            current = std::string(line.substr(kRun.size()));
            while (!current.empty() && (current.back() == '\n' || current.back() == '\r'))
                current.pop_back();
            text = std::string(line);
            continue;
        }
        if (current.empty()) {
            report.Outside += line;
            continue;
        }
        text += line;
        const char* status = EndsCase(line, kOk, current)        ? "pass"
                             : EndsCase(line, kFailed, current)  ? "fail"
                             : EndsCase(line, kSkipped, current) ? "skip"
                                                                 : nullptr;
        if (status) {
            report.Finished[current] = {status, text};
            if (std::string_view(status) == "fail")
                ++report.Failures;
            current.clear();
            text.clear();
        }
    }
    report.Unfinished = current;
    report.UnfinishedText = text;
    return report;
}

bool HasSanitizerReport(const std::string& text)
{
    for (const char* mark : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:", "==ERROR:"}) {
        if (text.find(mark) != std::string::npos)
            return true;
    }
    return false;
}

int CaseTimeoutSeconds()
{
    const char* value = std::getenv("KLD_TEST_TIMEOUT");
    const int seconds = value ? std::atoi(value) : 0;
    return seconds > 0 ? seconds : 300;
}

// How long one process runs the cases of a suite before it stops between two
// cases and leaves the rest to processes of their own, which CTest runs side
// by side: a suite of slow cases must not run them one after another.
std::chrono::milliseconds SharedRunBudget()
{
    const char* value = std::getenv("KLD_TEST_SHARED_SECONDS");
    const double seconds = value ? std::atof(value) : 0;
    return std::chrono::milliseconds(static_cast<long>((seconds > 0 ? seconds : 2.0) * 1000));
}

std::string DescribeStatus(int status)
{
    if (WIFSIGNALED(status))
        return "signal " + std::to_string(WTERMSIG(status)) + " (" + strsignal(WTERMSIG(status)) + ")";
    return "exit code " + std::to_string(WEXITSTATUS(status));
}

// The temporary folder of one start of the program, removed with all it holds.
class ScratchFolder
{
  public:
    ScratchFolder()
    {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = (tmp && *tmp ? std::string(tmp) : std::string("/tmp")) + "/kld-run-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr)
            Fail("cannot make a scratch folder from " + pattern + ": " + std::strerror(errno));
        m_path = pattern;
        g_scratchInUse = m_path;
    }
    ~ScratchFolder() { Remove(); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Path() const { return m_path; }
    // Before an exit, which runs no destructor of ours.
    void Remove()
    {
        std::error_code ec;
        if (!m_path.empty())
            fs::remove_all(m_path, ec);
        if (g_scratchInUse == m_path)
            g_scratchInUse.clear();
        m_path.clear();
    }

  private:
    std::string m_path;
};

// Starts the program in a process group of its own that dies with the
// runner, with `scratch` as its TMPDIR; its output goes to `outputFd`, or
// stays ours when that is -1. `stopFile` tells the program where a stop
// request appears.
pid_t Start(const std::vector<std::string>& args, const ScratchFolder& scratch, int outputFd,
            const std::string& stopFile = "")
{
    const pid_t runner = getpid();
    const pid_t child = fork();
    if (child < 0)
        Fail(std::string("fork: ") + std::strerror(errno));
    if (child == 0) {
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != runner)
            _exit(127);
        setenv("TMPDIR", scratch.Path().c_str(), 1);
        if (!stopFile.empty())
            setenv("KLD_TEST_STOP_FILE", stopFile.c_str(), 1);
        else
            unsetenv("KLD_TEST_STOP_FILE");
        if (outputFd >= 0) {
            dup2(outputFd, STDOUT_FILENO);
            dup2(outputFd, STDERR_FILENO);
            close(outputFd);
        }
        std::vector<char*> argv;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        std::fprintf(stderr, "kld_test_runner: cannot start %s: %s\n", argv[0], std::strerror(errno));
        _exit(127);
    }
    setpgid(child, child);
    return child;
}

void KillGroup(pid_t child)
{
    kill(-child, SIGKILL);
    kill(child, SIGKILL);
}

// Runs the program with its output read back here, killing it when one case
// runs past the limit and asking it to stop between two cases once `stopAt`
// has passed. Returns the wait status; `timedOut` names the case that ran
// too long, `stopAsked` tells whether the stop was asked for.
int RunCollecting(const std::vector<std::string>& args, const fs::path& stopFile, Clock::time_point stopAt,
                  std::string& output, std::string& timedOut, bool& stopAsked)
{
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        Fail(std::string("pipe: ") + std::strerror(errno));
    std::error_code ec;
    fs::remove(stopFile, ec);
    const ScratchFolder scratch;
    const pid_t child = Start(args, scratch, pipeFds[1], stopFile.string());
    close(pipeFds[1]);

    const auto limit = std::chrono::seconds(CaseTimeoutSeconds());
    auto caseStarted = Clock::now();
    std::optional<Clock::time_point> ended;
    int status = 0;
    size_t scanned = 0;
    std::string current;
    char buffer[65536];
    for (;;) {
        pollfd fd{pipeFds[0], POLLIN, 0};
        if (poll(&fd, 1, 200) > 0) {
            const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
            if (n == 0)
                break;
            if (n > 0)
                output.append(buffer, static_cast<size_t>(n));
            else if (errno != EINTR)
                break;
        }
        if (!ended) {
            if (waitpid(child, &status, WNOHANG) == child) {
                // What the program started must not outlive it, nor keep
                // the output open for long.
                kill(-child, SIGKILL);
                ended = Clock::now();
            }
        } else if (Clock::now() - *ended > std::chrono::seconds(2)) {
            break;
        }
        // Follow which case runs, for its time limit.
        for (size_t nl; (nl = output.find('\n', scanned)) != std::string::npos; scanned = nl + 1) {
            const std::string_view line(output.data() + scanned, nl - scanned);
            if (line.substr(0, kRun.size()) == kRun) {
                current = std::string(line.substr(kRun.size()));
                caseStarted = Clock::now();
            }
        }
        // Not before the first case has started: a start that ran no case
        // would be wasted (a slow start-up under load can outlast the budget).
        if (!ended && !stopAsked && !current.empty() && Clock::now() > stopAt) {
            WriteFile(stopFile, "");
            stopAsked = true;
        }
        if (!ended && timedOut.empty() && Clock::now() - caseStarted > limit) {
            timedOut = current.empty() ? std::string("(start-up)") : current;
            KillGroup(child);
        }
    }
    close(pipeFds[0]);
    if (!ended) {
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        kill(-child, SIGKILL);
    }
    return status;
}

// Runs one case in a process of its own, its output going straight to CTest;
// returns the runner's exit status for it.
int RunAlone(const std::string& program, const std::string& testCase)
{
    const ScratchFolder scratch;
    const pid_t child = Start(
        {program, "--gtest_filter=" + testCase, "--gtest_also_run_disabled_tests", "--gtest_color=no"}, scratch, -1);
    const auto limit = std::chrono::seconds(CaseTimeoutSeconds());
    const auto started = Clock::now();
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child)
            break;
        if (done < 0 && errno != EINTR)
            Fail(std::string("waitpid: ") + std::strerror(errno));
        if (Clock::now() - started > limit) {
            KillGroup(child);
            waitpid(child, &status, 0);
            std::printf("kld_test_runner: %s ran longer than %d s and was stopped\n", testCase.c_str(),
                        CaseTimeoutSeconds());
            return 1;
        }
        usleep(20000);
    }
    kill(-child, SIGKILL);
    if (WIFSIGNALED(status)) {
        std::printf("kld_test_runner: %s ended with %s\n", testCase.c_str(), DescribeStatus(status).c_str());
        return 1;
    }
    return WEXITSTATUS(status);
}

class SuiteRun
{
  public:
    SuiteRun(fs::path program, std::string suite, fs::path folder)
        : m_program(std::move(program)), m_suite(std::move(suite)), m_folder(std::move(folder))
    {
    }

    fs::path ResultFile(const std::string& testCase) const { return m_folder / (FileNameOf(testCase) + ".result"); }
    fs::path ReportedFile(const std::string& testCase) const
    {
        return m_folder / (FileNameOf(testCase) + ".reported");
    }
    bool Settled() const { return fs::exists(m_folder / "complete") || fs::exists(m_folder / "alone"); }

    // Runs the cases of the suite that have no result yet, until every one
    // has a result, the run cannot tell, or the shared run's time is up.
    void Run()
    {
        std::set<std::string> concluded = Concluded();
        const Clock::time_point stopAt = Clock::now() + SharedRunBudget();
        for (;;) {
            if (Clock::now() > stopAt) {
                WriteFile(m_folder / "alone", "the shared run took its time\n");
                return;
            }
            std::string filter = m_suite + ".*";
            if (!concluded.empty()) {
                filter += '-';
                bool first = true;
                for (const auto& c : concluded) {
                    if (!first)
                        filter += ':';
                    first = false;
                    filter += c;
                }
            }
            std::string output;
            std::string timedOut;
            bool stopAsked = false;
            const int status = RunCollecting(
                {m_program.string(), "--gtest_filter=" + filter, "--gtest_color=no", "--gtest_brief=0"},
                m_folder / "stop", stopAt, output, timedOut, stopAsked);
            WriteFile(m_folder / ("run-" + std::to_string(++m_runs) + ".log"), output);
            RunReport report = CutIntoCases(output);

            // Stopped between two cases as asked: the case it stopped before
            // has not run.
            const bool stopped = stopAsked && !report.Unfinished.empty() &&
                                 report.UnfinishedText.find("kld_test_runner: stopped before " +
                                                            report.Unfinished) != std::string::npos;
            if (!report.Unfinished.empty() && !stopped) {
                // The program ended inside this case: it failed, with what it
                // printed. The others of this run are run again.
                std::string note = "kld_test_runner: the test program (" + m_program.filename().string() +
                                   ", run with the other cases of " + m_suite + ") ";
                note += timedOut.empty() ? "ended during this case with " + DescribeStatus(status)
                                         : "was stopped: the case ran longer than " +
                                               std::to_string(CaseTimeoutSeconds()) + " s";
                WriteResult(report.Unfinished, {"crash", report.UnfinishedText + "\n" + note + "\n"});
                concluded.insert(report.Unfinished);
                continue;
            }
            const bool clean = WIFEXITED(status) &&
                               (WEXITSTATUS(status) == 0 || (WEXITSTATUS(status) == 1 && report.Failures > 0)) &&
                               !HasSanitizerReport(report.Outside) && timedOut.empty();
            if (!clean) {
                // A failure outside every case (a leak report at exit, a
                // crash before the first case): each case shows for itself.
                WriteFile(m_folder / "alone", DescribeStatus(status) + "\n");
                return;
            }
            for (const auto& [name, outcome] : report.Finished)
                WriteResult(name, outcome);
            WriteFile(m_folder / (stopped ? "alone" : "complete"), "");
            return;
        }
    }

  private:
    std::set<std::string> Concluded() const
    {
        std::set<std::string> names;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(m_folder, ec)) {
            if (entry.path().extension() != ".result")
                continue;
            std::string name = entry.path().stem().string();
            for (char& c : name) {
                if (c == '@')
                    c = '/';
            }
            names.insert(name);
        }
        return names;
    }

    void WriteResult(const std::string& testCase, const Outcome& outcome) const
    {
        WriteFile(ResultFile(testCase), outcome.Status + "\n" + outcome.Text);
    }

    fs::path m_program;
    std::string m_suite;
    fs::path m_folder;
    int m_runs = 0;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
        Fail("usage: kld_test_runner <test program> <Suite.Case>");
    const fs::path program = fs::absolute(argv[1]);
    const std::string testCase = argv[2];
    const size_t dot = testCase.find('.');
    if (dot == std::string::npos)
        Fail("not a case name: " + testCase);
    const std::string suite = testCase.substr(0, dot);

    const fs::path folder = SessionFolder(program) / program.filename() / FileNameOf(suite);
    std::error_code ec;
    fs::create_directories(folder, ec);
    const int lock = open((folder / "lock").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0666);
    if (lock < 0 || flock(lock, LOCK_EX) != 0)
        Fail("cannot lock " + (folder / "lock").string() + ": " + std::strerror(errno));

    SuiteRun run(program, suite, folder);
    const bool repeated = fs::exists(run.ReportedFile(testCase));
    if (!repeated && !fs::exists(run.ResultFile(testCase)) && !run.Settled())
        run.Run();
    if (repeated || !fs::exists(run.ResultFile(testCase))) {
        close(lock);
        std::fflush(stdout);
        return RunAlone(program.string(), testCase);
    }
    const std::string result = ReadFile(run.ResultFile(testCase));
    WriteFile(run.ReportedFile(testCase), "");
    close(lock);

    const size_t eol = result.find('\n');
    const std::string status = result.substr(0, eol);
    const std::string text = eol == std::string::npos ? std::string() : result.substr(eol + 1);
    if (status != "pass" && status != "skip")
        std::printf("kld_test_runner: %s ran in one process with the other cases of %s; alone it runs as\n"
                    "  %s --gtest_filter=%s\n",
                    testCase.c_str(), suite.c_str(), program.c_str(), testCase.c_str());
    std::fwrite(text.data(), 1, text.size(), stdout);
    return status == "pass" || status == "skip" ? 0 : 1;
}
