#include "platform/Processes.h"

#include "platform/FileUtils.h"
#include "support/EventLoopWait.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <unistd.h>

namespace {

using Args = std::vector<std::string>;

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

} // namespace

TEST(CommandLine, SplitFollowsTheWindowsRules)
{
    struct Case
    {
        const char* desc;
        std::string input;
        Args expected;
    };
    const Case cases[] = {
        {"empty", "", {}},
        {"blanks only", "  \t ", {}},
        {"plain words", "a b  c", {"a", "b", "c"}},
        {"tabs separate", "a\tb", {"a", "b"}},
        {"quoted blank", "\"a b\" c", {"a b", "c"}},
        {"quotes inside a word", "a\"b c\"d", {"ab cd"}},
        {"empty quoted argument", "a \"\" b", {"a", "", "b"}},
        {"escaped quote", "a\\\"b", {"a\"b"}},
        {"two backslashes then quote", "\"a\\\\\" b", {"a\\", "b"}},
        {"three backslashes then quote", "a\\\\\\\"b", {"a\\\"b"}},
        {"backslashes without quote stay", "C:\\Program Files\\x", {"C:\\Program", "Files\\x"}},
        {"doubled quote inside quotes", "\"a\"\"b\"", {"a\"b"}},
        {"doubled quote keeps the part open", "\"a\"\"b c\"", {"a\"b c"}},
        {"unterminated quote runs to the end", "\"a b", {"a b"}},
        {"trailing backslash", "a\\", {"a\\"}},
        {"update helper arguments",
         "\"/opt/tlw/\" \"/opt/tlw/update/tlwsetup\" \"/opt/tlw/backup/ov4backup.zip\" \"/opt/tlw/Tallowin\" "
         "\"\"",
         {"/opt/tlw/", "/opt/tlw/update/tlwsetup", "/opt/tlw/backup/ov4backup.zip", "/opt/tlw/Tallowin", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.desc);
        EXPECT_EQ(SplitCommandLine(c.input), c.expected);
    }
}

TEST(CommandLine, QuoteOnlyWhatNeedsIt)
{
    struct Case
    {
        const char* desc;
        std::string input;
        std::string expected;
    };
    const Case cases[] = {
        {"plain", "abc", "abc"},
        {"empty", "", "\"\""},
        {"blank", "a b", "\"a b\""},
        {"quote", "a\"b", "\"a\\\"b\""},
        {"backslash alone stays", "a\\b", "a\\b"},
        {"backslash before quote", "a\\\"b", "\"a\\\\\\\"b\""},
        {"trailing backslash in quoted", "a b\\", "\"a b\\\\\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.desc);
        EXPECT_EQ(QuoteArgument(c.input), c.expected);
    }
}

TEST(CommandLine, JoinAndSplitRoundTrip)
{
    const std::vector<Args> lists = {
        {"/usr/bin/prog", "/DEBUG"},
        {"a b", "", "c\"d", "e\\", "f\\\\\"g", "\\\"", "\t", "x y\\"},
        {"\"", "\"\"", "\\", "\\\\"},
        {"ünïcödé päth", "-INSTANCES"},
    };
    for (const Args& args : lists) {
        const std::string line = JoinCommandLine(args);
        SCOPED_TRACE(line);
        EXPECT_EQ(SplitCommandLine(line), args);
    }
}

TEST(CommandLine, ThisProcessAndSwitches)
{
    const Args args = GetCommandLineArgs();
    ASSERT_FALSE(args.empty());
    EXPECT_EQ(ParamCount(), int(args.size()) - 1);
    EXPECT_EQ(ParamStr(0), GetModuleFileName()) << "the full path, not argv[0] as typed";
    EXPECT_EQ(ParamStr(1), args.size() > 1 ? args[1] : "");
    EXPECT_EQ(ParamStr(ParamCount() + 1), "");
    EXPECT_EQ(SplitCommandLine(GetCommandLine()), args);

    const Args line = {"prog", "/debug", "-Instances", "FORCE_IE", "/SKIP_UPDATEX"};
    struct Case
    {
        const char* name;
        bool expected;
    };
    const Case cases[] = {
        {"DEBUG", true},        {"debug", true},
        {"INSTANCES", true},    {"FORCE_IE", false}, // no switch character
        {"SKIP_UPDATE", false},                      // the whole word must match
        {"prog", false},                             // the program is not a switch
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FindCmdLineSwitch(line, c.name), c.expected);
    }
    EXPECT_FALSE(FindCmdLineSwitch(line, "DEBUG", "-/", false));
    EXPECT_TRUE(FindCmdLineSwitch(line, "debug", "-/", false));
    EXPECT_FALSE(FindCmdLineSwitch(line, "debug", "-", true));
}

TEST(Processes, RunAndWaitGivesTheExitCode)
{
    int exitCode = -1;
    ASSERT_TRUE(RunAndWait("/bin/sh", {"-c", "exit 7"}, "", 10000, &exitCode)) << LastProcessError();
    EXPECT_EQ(exitCode, 7);
}

TEST(Processes, RunsInTheGivenFolderWithTheArgumentsUnchanged)
{
    const std::string dir = GetTempPath() + "kld_proc_" + std::to_string(::getpid());
    ASSERT_TRUE(ForceDirectories(dir));
    int exitCode = -1;
    ASSERT_TRUE(RunAndWait("/bin/sh",
                           {"-c", "pwd > out.txt; printf '%s|' \"$@\" >> out.txt", "sh", "a b", "", "c\"d"},
                           dir, 10000, &exitCode));
    EXPECT_EQ(exitCode, 0);
    char real[4096];
    ASSERT_NE(::realpath(dir.c_str(), real), nullptr);
    EXPECT_EQ(ReadAll(dir + "/out.txt"), std::string(real) + "\na b||c\"d|");
    DeleteDirectoryTree(dir);
}

TEST(Processes, TimeOutLeavesTheProcessRunning)
{
    auto process = StartProcess("/bin/sleep", {"5"});
    ASSERT_TRUE(process);
    EXPECT_FALSE(process->WaitFor(20));
    EXPECT_TRUE(process->Running());
    EXPECT_EQ(process->ExitCode(), -1);
    ::kill(process->Pid(), SIGTERM);
    EXPECT_TRUE(process->WaitFor(5000));
    EXPECT_EQ(process->ExitCode(), 128 + SIGTERM);
}

TEST(Processes, AMissingProgramFailsWithAReason)
{
    EXPECT_FALSE(StartProcess("/nonexistent/program", {}));
    EXPECT_NE(LastProcessError().find("/nonexistent/program"), std::string::npos);
    int exitCode = 99;
    EXPECT_FALSE(RunAndWait("/bin/true", {}, "/nonexistent/folder", 1000, &exitCode));
    EXPECT_EQ(exitCode, 99);
    EXPECT_FALSE(StartProcessDetached("", {}));
}

TEST(Processes, DetachedAndShellOpenStartProgramsDirectly)
{
    const std::string dir = GetTempPath() + "kld_shell_" + std::to_string(::getpid());
    ASSERT_TRUE(ForceDirectories(dir));
    const std::string script = dir + "/prog.sh";
    {
        std::ofstream out(script);
        out << "#!/bin/sh\nprintf '%s|' \"$@\" > \"$(dirname \"$0\")/args.txt.tmp\"\n"
               "mv \"$(dirname \"$0\")/args.txt.tmp\" \"$(dirname \"$0\")/args.txt\"\n";
    }
    ::chmod(script.c_str(), 0755);
    auto process = ShellOpenProcess(script, "\"/opt/tlw/\" /SKIP_UPDATE \"a \"\"b\"\"\"", dir);
    ASSERT_TRUE(process) << LastProcessError();
    ASSERT_TRUE(process->WaitFor(10000));
    EXPECT_EQ(ReadAll(dir + "/args.txt"), "/opt/tlw/|/SKIP_UPDATE|a \"b\"|");

    ::unlink((dir + "/args.txt").c_str());
    pid_t pid = 0;
    ASSERT_TRUE(StartProcessDetached(script, {"x"}, dir, &pid));
    EXPECT_GT(pid, 0);
    for (int i = 0; i < 1000 && !FileExists(dir + "/args.txt"); ++i)
        ::usleep(10000);
    EXPECT_EQ(ReadAll(dir + "/args.txt"), "x|");
    DeleteDirectoryTree(dir);
}

namespace {

// True while the process exists and has not ended (one that has ended and
// waits for a parent that never collects it runs nothing).
bool Lives(const std::string& PidText)
{
    std::string pid = PidText;
    while (!pid.empty() && (pid.back() == '\n' || pid.back() == ' '))
        pid.pop_back();
    const std::string stat = pid.empty() ? std::string() : ReadAll("/proc/" + pid + "/stat");
    const size_t close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z' && stat[close + 2] != 'X';
}

} // namespace

// A group leader is ended with every process of its group, the ones that
// ignore the polite signals and the ones its children started; a process
// that left for a session of its own is not reached.
TEST(Processes, EndProcessGroupEndsTheLeaderAndItsGroupOnly)
{
    const std::string dir = GetTempPath() + "kld_group_" + std::to_string(::getpid()) + "/";
    ASSERT_TRUE(ForceDirectories(dir));
    auto leader = StartProcessGroup(
        "/bin/sh",
        {"-c", "trap '' TERM HUP INT\n"
               "(trap '' TERM; sh -c 'echo $$ > grandchild.pid; exec sleep 300') &\n"
               "setsid sh -c 'echo $$ > away.pid; exec sleep 300' &\n"
               "echo $$ > leader.pid\n"
               "while :; do sleep 1; done"},
        dir);
    ASSERT_TRUE(leader) << LastProcessError();
    const auto started = [&] {
        for (const char* name : {"leader.pid", "grandchild.pid", "away.pid"})
            if (ReadAll(dir + name).find('\n') == std::string::npos)
                return false;
        return true;
    };
    ASSERT_TRUE(RunEventsUntil(started, std::chrono::seconds(60))) << "the group started";
    ASSERT_EQ(::getpgid(leader->Pid()), leader->Pid());
    EXPECT_NE(::getpgid(0), leader->Pid()) << "not this process's group";

    EXPECT_TRUE(EndProcessGroup(*leader, 10000));
    EXPECT_TRUE(leader->Collected());
    EXPECT_EQ(leader->ExitCode(), 128 + SIGKILL);
    EXPECT_FALSE(Lives(ReadAll(dir + "leader.pid")));
    EXPECT_FALSE(Lives(ReadAll(dir + "grandchild.pid")));
    const std::string away = ReadAll(dir + "away.pid");
    EXPECT_TRUE(Lives(away)) << "a process of another session";
    ::kill(std::stoi(away), SIGKILL);

    // A leader already ended and collected, its group empty: nothing to end.
    auto ended = StartProcessGroup("/bin/true", {});
    ASSERT_TRUE(ended);
    ASSERT_TRUE(ended->WaitFor(10000));
    EXPECT_TRUE(EndProcessGroup(*ended, 1000));
    EXPECT_EQ(ended->ExitCode(), 0);
    DeleteDirectoryTree(dir);
}
