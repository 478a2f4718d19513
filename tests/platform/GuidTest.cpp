#include "platform/Guid.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {
TGUID Sample()
{
    TGUID g;
    g.D1 = 0x031E3CEE;
    g.D2 = 0xC3C0;
    g.D3 = 0x4218;
    const uint8_t d4[8] = {0xB0, 0x81, 0xE9, 0x07, 0xAC, 0x04, 0xC4, 0x47};
    std::memcpy(g.D4, d4, 8);
    return g;
}

TEST(Guid, TextIsBracedUpperCase)
{
    EXPECT_EQ("{031E3CEE-C3C0-4218-B081-E907AC04C447}", GUIDToString(Sample()));
    EXPECT_EQ("{00000000-0000-0000-0000-000000000000}", GUIDToString(GUID_NULL));
}

TEST(Guid, TextRoundTrip)
{
    EXPECT_EQ(Sample(), StringToGUID("{031E3CEE-C3C0-4218-B081-E907AC04C447}"));
    EXPECT_EQ(Sample(), StringToGUID("{031e3cee-c3c0-4218-b081-e907ac04c447}"));
    TGUID fresh = CreateGUID();
    EXPECT_EQ(fresh, StringToGUID(GUIDToString(fresh)));
}

TEST(Guid, RecordLayoutIsTheStoredOne)
{
    TGUID g = Sample();
    uint8_t bytes[16];
    std::memcpy(bytes, &g, 16);
    const uint8_t expected[16] = {0xEE, 0x3C, 0x1E, 0x03, 0xC0, 0xC3, 0x18, 0x42,
                                  0xB0, 0x81, 0xE9, 0x07, 0xAC, 0x04, 0xC4, 0x47};
    EXPECT_EQ(0, std::memcmp(expected, bytes, 16));
}

TEST(Guid, MalformedText)
{
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"empty", ""},
        {"no braces", "031E3CEE-C3C0-4218-B081-E907AC04C447"},
        {"missing closing brace", "{031E3CEE-C3C0-4218-B081-E907AC04C447"},
        {"one digit short", "{031E3CE-C3C0-4218-B081-E907AC04C447}"},
        {"one digit too many", "{031E3CEE-C3C0-4218-B081-E907AC04C4477}"},
        {"dash moved", "{031E3CEEC-3C0-4218-B081-E907AC04C447}"},
        {"dash missing", "{031E3CEE-C3C0-4218-B081E-907AC04C447}"},
        {"non-hex digit", "{031E3CEE-C3C0-4218-B081-E907AC04C44G}"},
        {"blank inside", "{031E3CEE-C3C0-4218-B081-E907AC04C4 7}"},
        {"sign inside", "{+31E3CEE-C3C0-4218-B081-E907AC04C447}"},
        {"wrong brackets", "(031E3CEE-C3C0-4218-B081-E907AC04C447)"},
        {"trailing blank", "{031E3CEE-C3C0-4218-B081-E907AC04C447} "},
        {"32 digits without braces", "031E3CEEC3C04218B081E907AC04C447"},
    };
    for (const auto& [desc, text] : cases) {
        SCOPED_TRACE(desc);
        TGUID g = Sample();
        EXPECT_FALSE(TryStringToGUID(text, g));
        EXPECT_EQ(Sample(), g); // untouched on failure
        try {
            StringToGUID(text);
            ADD_FAILURE() << "no exception";
        } catch (const EConvertError& e) {
            EXPECT_EQ("'" + text + "' is not a valid GUID value", e.Message());
        }
    }
}

TEST(Guid, CreateGivesDistinctVersion4Values)
{
    std::set<std::string> seen;
    for (int i = 0; i < 100; ++i) {
        TGUID g = CreateGUID();
        EXPECT_EQ(0x4000, g.D3 & 0xF000);
        EXPECT_EQ(0x80, g.D4[0] & 0xC0);
        EXPECT_NE(GUID_NULL, g);
        seen.insert(GUIDToString(g));
    }
    EXPECT_EQ(100u, seen.size());
}

TEST(Guid, Equality)
{
    TGUID a = Sample();
    TGUID b = Sample();
    EXPECT_TRUE(IsEqualGUID(a, b));
    b.D4[7] ^= 1;
    EXPECT_FALSE(IsEqualGUID(a, b));
    EXPECT_TRUE(a != b);
    b = a;
    b.D2 = 0;
    EXPECT_FALSE(a == b);
}
} // namespace
