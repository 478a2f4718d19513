#include "Components/Nembra/NembraScrambler.h"

#include <gtest/gtest.h>

#include <random>

TEST(NembraScrambler, EachByteIsXoredWithItsKeyByteAndShiftedByItsPlace)
{
    TScrambleKey zero{};
    std::string zeros(130, '\0');
    const std::string scrambled = ScrambleBytes(zeros, zero);
    ASSERT_EQ(scrambled.size(), zeros.size());
    // k runs 1..64, then again from 1.
    for (size_t i = 0; i < scrambled.size(); ++i)
        EXPECT_EQ(static_cast<uint8_t>(scrambled[i]), i % 64 + 1) << i;

    TScrambleKey key{};
    key[0] = 0xF0;
    key[63] = 0x0F;
    const std::string input = {'\x0F', '\x00'};
    EXPECT_EQ(static_cast<uint8_t>(ScrambleBytes(input, key)[0]), uint8_t((0x0F ^ 0xF0) + 1));
    const std::string wraps(64, '\xFF');
    EXPECT_EQ(static_cast<uint8_t>(ScrambleBytes(wraps, key)[63]), uint8_t((0xFF ^ 0x0F) + 64));
}

TEST(NembraScrambler, UnscramblingGivesTheInputBack)
{
    std::mt19937 random(42);
    std::string data(1000, '\0');
    for (char& c : data)
        c = static_cast<char>(random());
    const std::string scrambled = ScrambleBytes(data);
    EXPECT_NE(scrambled, data);
    EXPECT_EQ(UnscrambleBytes(scrambled), data);
    EXPECT_EQ(ScrambleBytes(""), "");
    TScrambleKey other = DefaultScrambleKey;
    other[5] ^= 1;
    EXPECT_NE(UnscrambleBytes(scrambled, other), data);
}
