// kld_test_runner against a program whose cases pass, fail, crash, leak,
// hang and skip on purpose (runner_helpers/RunnerFixture.cpp): every case
// must get its own result and its own output, whatever the others did, and
// the program must start once per suite unless a case needs a process of its
// own.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/Sanitizers.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

// The runner and the fixture are built beside this program.
std::string BesideThisProgram(const std::string& name)
{
    return (fs::read_symlink("/proc/self/exe").parent_path() / name).string();
}

struct Outcome
{
    int Exit = -1;
    std::string Output;
};

class TestRunner : public ::testing::Test
{
  protected:
    TestRunner()
        : m_session("runner-test-" + std::to_string(::getpid()) + "-" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name())
    {
    }
    ~TestRunner() override
    {
        std::error_code ec;
        fs::remove_all(fs::path(BesideThisProgram(".kld-test-runs")) / m_session, ec);
    }

    Outcome Run(const std::string& testCase, const std::string& environment = "")
    {
        const std::string command = "KLD_TEST_SESSION=" + m_session + " KLD_FIXTURE_STARTS=" + (m_temp / "starts") +
                                    " " + environment + " " + BesideThisProgram("kld_test_runner") + " " +
                                    BesideThisProgram("kld_runner_fixture") + " " + testCase + " 2>&1";
        Outcome outcome;
        FILE* pipe = ::popen(command.c_str(), "r");
        if (!pipe)
            return outcome;
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            outcome.Output.append(buffer, n);
        const int status = ::pclose(pipe);
        outcome.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return outcome;
    }

    int Starts() const
    {
        std::ifstream in(m_temp / "starts");
        int lines = 0;
        for (std::string line; std::getline(in, line);)
            ++lines;
        return lines;
    }

  private:
    TTempFolder m_temp;
    std::string m_session;
};

bool Holds(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

} // namespace

TEST_F(TestRunner, EachCaseOfASuiteGetsItsOwnResultFromOneRun)
{
    const Outcome passes = Run("Mixed.Passes");
    EXPECT_EQ(passes.Exit, 0) << passes.Output;
    EXPECT_TRUE(Holds(passes.Output, "[       OK ] Mixed.Passes")) << passes.Output;
    EXPECT_FALSE(Holds(passes.Output, "Mixed.Fails")) << "only the case's own output";

    const Outcome fails = Run("Mixed.Fails");
    EXPECT_EQ(fails.Exit, 1);
    EXPECT_TRUE(Holds(fails.Output, "a failure on purpose")) << fails.Output;
    EXPECT_TRUE(Holds(fails.Output, "[  FAILED  ] Mixed.Fails")) << fails.Output;
    EXPECT_TRUE(Holds(fails.Output, "--gtest_filter=Mixed.Fails")) << "says how to run it alone";

    const Outcome crashes = Run("Mixed.Crashes");
    EXPECT_EQ(crashes.Exit, 1);
    EXPECT_TRUE(Holds(crashes.Output, "about to crash")) << crashes.Output;
    EXPECT_TRUE(Holds(crashes.Output, "ended during this case")) << crashes.Output;

    const Outcome after = Run("Mixed.PassesAfterTheCrash");
    EXPECT_EQ(after.Exit, 0) << after.Output;

    const Outcome skipped = Run("Mixed.Skipped");
    EXPECT_EQ(skipped.Exit, 0) << skipped.Output;
    EXPECT_TRUE(Holds(skipped.Output, "[  SKIPPED ] Mixed.Skipped")) << "CTest reads the skip from the output";

    // The crash ended the first run; the second ran the cases left.
    EXPECT_EQ(Starts(), 2);
}

TEST_F(TestRunner, ALeakAtExitIsPinnedOnItsCase)
{
#ifndef KLD_TEST_ASAN
    GTEST_SKIP() << "built without the address sanitizer";
#else
    const std::string leakCheck = "ASAN_OPTIONS=detect_leaks=1";
    const Outcome clean = Run("Leaks.Clean", leakCheck);
    EXPECT_EQ(clean.Exit, 0) << clean.Output;
    const Outcome leaks = Run("Leaks.LeaksABlock", leakCheck);
    EXPECT_NE(leaks.Exit, 0);
    EXPECT_TRUE(Holds(leaks.Output, "LeakSanitizer")) << leaks.Output;
    const Outcome fails = Run("Leaks.FailsToo", leakCheck);
    EXPECT_EQ(fails.Exit, 1);
    EXPECT_FALSE(Holds(fails.Output, "LeakSanitizer")) << fails.Output;
    // The shared run could not tell which case leaked: each ran again alone.
    EXPECT_EQ(Starts(), 4);
#endif
}

TEST_F(TestRunner, ACaseThatRunsTooLongIsStoppedAndTheOthersStillRun)
{
    const Outcome hangs = Run("Hangs.SleepsPastTheLimit", "KLD_TEST_TIMEOUT=1");
    EXPECT_EQ(hangs.Exit, 1);
    EXPECT_TRUE(Holds(hangs.Output, "ran longer than 1 s")) << hangs.Output;
    const Outcome quick = Run("Hangs.Quick", "KLD_TEST_TIMEOUT=1");
    EXPECT_EQ(quick.Exit, 0) << quick.Output;
}

TEST_F(TestRunner, ASlowSuiteLeavesTheCasesItDidNotReachToProcessesOfTheirOwn)
{
    // Each case takes 0.3 s; the shared run stops after the first.
    const std::string budget = "KLD_TEST_SHARED_SECONDS=0.1";
    for (const char* testCase : {"Slow.First", "Slow.Second", "Slow.Third"}) {
        SCOPED_TRACE(testCase);
        const Outcome outcome = Run(testCase, budget);
        EXPECT_EQ(outcome.Exit, 0) << outcome.Output;
        EXPECT_FALSE(Holds(outcome.Output, "stopped before")) << outcome.Output;
    }
    EXPECT_EQ(Starts(), 3);
}

TEST_F(TestRunner, ACaseRunAgainInTheSameSessionRunsAlone)
{
    EXPECT_EQ(Run("Mixed.Passes").Exit, 0);
    const int shared = Starts();
    const Outcome again = Run("Mixed.Passes");
    EXPECT_EQ(again.Exit, 0) << again.Output;
    EXPECT_EQ(Starts(), shared + 1);
    EXPECT_TRUE(Holds(again.Output, "Google Test filter = Mixed.Passes")) << again.Output;
}

TEST_F(TestRunner, WhatAProgramLeavesInItsTemporaryFolderGoesWithIt)
{
    // A shared run whose second case crashes, then each case alone: every
    // start leaves a folder, and none may outlive the runner.
    TTempFolder tmp;
    const std::string made = tmp / "made.txt";
    const std::string environment = "TMPDIR=" + tmp.Path() + " KLD_FIXTURE_MADE=" + made;
    EXPECT_EQ(Run("Scratch.LeavesAFolderAndPasses", environment).Exit, 0);
    EXPECT_EQ(Run("Scratch.LeavesAFolderAndCrashes", environment).Exit, 1);
    EXPECT_EQ(Run("Scratch.LeavesAFolderAndCrashes", environment).Exit, 1) << "run again: alone";

    std::ifstream in(made);
    int folders = 0;
    for (std::string path; std::getline(in, path); ++folders) {
        EXPECT_EQ(path.rfind(tmp.Path(), 0), 0u) << path << " is in the runner's temporary folder";
        EXPECT_FALSE(fs::exists(path)) << path;
    }
    EXPECT_GE(folders, 3);
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(tmp.Path())) {
        if (entry.path().filename() != "made.txt")
            left.push_back(entry.path().filename().string());
    }
    EXPECT_TRUE(left.empty()) << left.front();
}

TEST_F(TestRunner, SessionsNamedByTheirOwnerAreLeftToIt)
{
    // Old named sessions (other runs of these tests, side by side) are not
    // the runner's to clear, however old; ended CTest sessions are.
    const fs::path runs = BesideThisProgram(".kld-test-runs");
    std::vector<fs::path> named;
    for (int i = 0; i < 5; ++i) {
        named.push_back(runs / ("named-" + std::to_string(::getpid()) + "-" + std::to_string(i)));
        fs::create_directories(named.back());
        fs::last_write_time(named.back(), fs::file_time_type::clock::now() - std::chrono::hours(24 * 365));
    }
    EXPECT_EQ(Run("Mixed.Passes").Exit, 0);
    for (const auto& folder : named) {
        EXPECT_TRUE(fs::exists(folder)) << folder;
        fs::remove_all(folder);
    }
}
