// The name patterns of Nembra.GetObjectNames.
#include "NamePattern.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(NamePattern, MatchesAsSqlLikeWithoutRegardToCase)
{
    struct TCase
    {
        const char* Name;
        const char* Pattern;
        bool Expected;
    };
    const TCase cases[] = {
        {"TBL_USERS", "TBL_USERS", true},   {"TBL_USERS", "tbl_users", true},  {"TBL_USERS", "TBL%", true},
        {"TBL_USERS", "%USERS", true},      {"TBL_USERS", "%_%", true},        {"TBL_USERS", "T_L%S", true},
        {"TBL_USERS", "%", true},           {"", "%", true},                   {"", "", true},
        {"TBL_USERS", "", false},           {"TBL_USERS", "TBL", false},       {"TBL_USERS", "%USER", false},
        {"TBL_USERS", "_", false},          {"AB", "A_B", false},              {"AXBXC", "A%B%C", true},
        {"AXBXCX", "A%B%C", false},         {"ABAB", "%AB", true},             {"AAB", "%A%AB", true}, {"AB", "%A%AB", false},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(MatchesNamePattern(c.Name, c.Pattern), c.Expected) << c.Name << " / " << c.Pattern;
}

TEST(NamePattern, ManyPercentSignsCostNoMoreThanOne)
{
    // Before, each '%' tried every split of the rest: 30 of them never ended.
    const std::string many(30, '%');
    const std::string name(200, 'A');
    EXPECT_TRUE(MatchesNamePattern(name, many));
    EXPECT_FALSE(MatchesNamePattern(name, many + "B"));
    std::string alternating;
    for (int i = 0; i < 30; ++i)
        alternating += "%A";
    EXPECT_FALSE(MatchesNamePattern(name, alternating + "%B"));
    EXPECT_TRUE(MatchesNamePattern(name + "B", alternating + "%B"));
}

} // namespace
