// A test program whose cases pass, fail, crash, leak, hang and skip on
// purpose, for the tests of kld_test_runner. It is not a test program of
// its own: only TestRunnerTest starts it. Every start adds a line to the
// file named by KLD_FIXTURE_STARTS.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "support/RunnerStop.h"


TEST(Mixed, Passes)
{
    SUCCEED();
}

TEST(Mixed, Fails)
{
    EXPECT_EQ(1, 2) << "a failure on purpose";
}

TEST(Mixed, Crashes)
{
    std::fputs("about to crash\n", stderr);
    std::abort();
}

TEST(Mixed, PassesAfterTheCrash)
{
    SUCCEED();
}

TEST(Mixed, Skipped)
{
    GTEST_SKIP() << "skipped on purpose";
}

TEST(Leaks, LeaksABlock)
{
    // Made in a thread that ends, so that no stack keeps the pointer.
    std::thread([] { new int[16]{1}; }).join();
}

TEST(Leaks, Clean)
{
    SUCCEED();
}

TEST(Leaks, FailsToo)
{
    ADD_FAILURE() << "a failure beside the leak";
}

TEST(Slow, First)
{
    ::usleep(300000);
}

TEST(Slow, Second)
{
    ::usleep(300000);
}

TEST(Slow, Third)
{
    ::usleep(300000);
}

TEST(Hangs, SleepsPastTheLimit)
{
    ::sleep(60);
}

TEST(Hangs, Quick)
{
    SUCCEED();
}

// Leaves a folder in TMPDIR, named in the file KLD_FIXTURE_MADE, and ends in
// the way its name says, none of which removes the folder.
void LeaveAFolder()
{
    const char* tmp = std::getenv("TMPDIR");
    ASSERT_TRUE(tmp && *tmp);
    std::string pattern = std::string(tmp) + "/left-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    std::ofstream(pattern + "/file") << "left";
    if (const char* made = std::getenv("KLD_FIXTURE_MADE"))
        std::ofstream(made, std::ios::app) << pattern << "\n";
}

TEST(Scratch, LeavesAFolderAndPasses)
{
    LeaveAFolder();
}

TEST(Scratch, LeavesAFolderAndCrashes)
{
    LeaveAFolder();
    std::abort();
}

int main(int argc, char** argv)
{
    if (const char* starts = std::getenv("KLD_FIXTURE_STARTS"))
        std::ofstream(starts, std::ios::app) << "start\n";
    ::testing::InitGoogleTest(&argc, argv);
    KldRunnerStop::Install();
    return RUN_ALL_TESTS();
}
