// A test program whose cases pass, fail, crash, leak, hang and skip on
// purpose, for the tests of kld_test_runner. It is not a test program of
// its own: only TestRunnerTest starts it. Every start adds a line to the
// file named by KLD_FIXTURE_STARTS.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
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

int main(int argc, char** argv)
{
    if (const char* starts = std::getenv("KLD_FIXTURE_STARTS"))
        std::ofstream(starts, std::ios::app) << "start\n";
    ::testing::InitGoogleTest(&argc, argv);
    KldRunnerStop::Install();
    return RUN_ALL_TESTS();
}
