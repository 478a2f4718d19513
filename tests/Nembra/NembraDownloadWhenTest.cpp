#include "Components/Nembra/NembraDownloadWhen.h"

#include <gtest/gtest.h>

TEST(DownloadWhen, TextsBothWays)
{
    EXPECT_EQ(DownloadWhenToStr(downloadNewer), "newer");
    EXPECT_EQ(DownloadWhenToStr(downloadAlways), "always");
    EXPECT_EQ(DownloadWhenToStr(downloadNever), "never");
    EXPECT_EQ(StrToDownloadWhen("NeWeR", downloadNever), downloadNewer);
    EXPECT_EQ(StrToDownloadWhen("", downloadAlways), downloadAlways);
    EXPECT_EQ(StrToDownloadWhen("later", downloadNever), downloadNever);
}
