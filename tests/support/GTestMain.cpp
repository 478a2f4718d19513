#include <gtest/gtest.h>

#include "support/RunnerStop.h"

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    KldRunnerStop::Install();
    return RUN_ALL_TESTS();
}
