// What a failed parse leaves in the object: which members exist depends on
// how far the reader got with the member it was reading.

#include <gtest/gtest.h>

#include <string>

#include "Components/Nembra/NembraJSON.h"
#include "Components/Nembra/NembraLib.h"
#include "platform/Streams.h"
#include "platform/StringList.h"
#include "support/ErrorOf.h"
#include "support/Visible.h"

namespace {

std::string MemberNames(const TJSONObject& obj)
{
    std::string names;
    for (int i = 0; i < obj.GetPropCount(); ++i)
        names += (i ? "," : "") + obj.GetPropName(i);
    return names;
}

} // namespace

// A member is created only once its name and colon have been read: a reply cut
// or broken between the name and the value keeps the members before it only.
TEST(JSONConformParse, MemberIsAddedOnlyAfterItsColon)
{
    struct Case
    {
        const char* Desc;
        const char* Input;
        const char* Error;
        const char* Members;
    } cases[] = {
        {"missing colon", R"({"a":1,"b" 2})", "Invalid JSON around position: 13; TokenType: :", "a"},
        {"escaped name, missing colon", R"({"a":1,"b\"c" 2})", "Invalid JSON around position: 16; TokenType: :",
         "a"},
        {"text ends after the name", R"({"a":1,"b")", "Invalid JSON around position: 11; TokenType: :", "a"},
        {"colon, then no value", R"({"a":1,"b":)", "Unexpected token () or end of stream", "a,b"},
        {"colon, then a bad value", R"({"a":1,"b":])", "Unexpected token (]) or end of stream", "a,b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        TStringStream stream(c.Input);
        TJSONObject obj;
        EXPECT_EQ(ErrorOf([&] { obj.ParseFromStream(stream); }), c.Error);
        EXPECT_EQ(MemberNames(obj), c.Members);
    }
}

// The name of a member survives a value whose text needs unescaping into the
// tokenizer's own buffer.
TEST(JSONConformParse, EscapedNamesWithEscapedValues)
{
    TJSONObject obj(R"({"n\u00e4me":"v\tal","x\"y":{"in\\ner":"de\"ep"},"plain":"a\nb"})");
    ASSERT_EQ(obj.GetPropCount(), 3);
    EXPECT_EQ(obj.GetPropName(0), "n\xC3\xA4me");
    EXPECT_EQ(obj.GetPropValue(0).GetAsString(), "v\tal");
    EXPECT_EQ(obj.GetPropName(1), "x\"y");
    const TJSONObject& inner = obj.GetPropValue(1).GetAsObject();
    EXPECT_EQ(inner.GetPropName(0), "in\\ner");
    EXPECT_EQ(inner.GetPropValue(0).GetAsString(), "de\"ep");
    EXPECT_EQ(obj.GetValues("PLAIN").GetAsString(), "a\r\nb");
}
