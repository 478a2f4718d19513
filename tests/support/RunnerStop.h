#pragma once
// Lets kld_test_runner end a shared run of a suite between two cases, so that
// the cases left can run beside it in processes of their own: when the file
// named by KLD_TEST_STOP_FILE exists as a case starts, the program says so and
// ends before the case runs, after the leak check that its end would make.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" void __lsan_do_leak_check() __attribute__((weak));

namespace KldRunnerStop {

class Listener : public ::testing::EmptyTestEventListener
{
  public:
    explicit Listener(std::string file) : m_file(std::move(file)) {}

    void OnTestStart(const ::testing::TestInfo& info) override
    {
        if (::access(m_file.c_str(), F_OK) != 0)
            return;
        std::printf("kld_test_runner: stopped before %s.%s\n", info.test_suite_name(), info.name());
        std::fflush(stdout);
        std::fflush(stderr);
        // No static destructors with the application still on main's stack;
        // the leak check at exit is made here instead.
        if (__lsan_do_leak_check)
            __lsan_do_leak_check();
        ::_exit(::testing::UnitTest::GetInstance()->failed_test_count() > 0 ? 1 : 0);
    }

  private:
    std::string m_file;
};

// After InitGoogleTest.
inline void Install()
{
    if (const char* file = std::getenv("KLD_TEST_STOP_FILE"); file && *file)
        ::testing::UnitTest::GetInstance()->listeners().Append(new Listener(file));
}

} // namespace KldRunnerStop
