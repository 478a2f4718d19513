// Parameters: the ":Name" parser of SQL texts, typed values and lookups.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Params.h"

TEST(ParamsParseSQL, NamesAndText)
{
    struct Case
    {
        const char* Desc;
        std::string Sql;
        std::vector<std::string> Names;
        std::string Text;
    };
    const Case cases[] = {
        {"plain",
         "select * from T where A = :A and B=:b_2",
         {"A", "b_2"},
         "select * from T where A = ? and B=?"},
        {"in quotes",
         "where A = ':X' and B = \":Y\" and C = `:Z` and D = :D",
         {"D"},
         "where A = ':X' and B = \":Y\" and C = `:Z` and D = ?"},
        {"doubled quote inside a literal",
         "where A = 'it''s :no' and B = :B",
         {"B"},
         "where A = 'it''s :no' and B = ?"},
        {"double colon", "select A::text, :P from T", {"P"}, "select A:text, ? from T"},
        {"repeated name", "where A = :V or B = :v", {"V"}, "where A = ? or B = ?"},
        {"quoted name", "where A = :\"Long Name\"", {"Long Name"}, "where A = ?"},
        {"colon without name", "select 'a' : b, x: from T", {}, "select 'a' : b, x: from T"},
        {"name ends at punctuation", "values(:A,:B);", {"A", "B"}, "values(?,?);"},
        {"unterminated literal", "where A = 'open :X", {}, "where A = 'open :X"},
        {"utf-8 name", "where A = :\xC3\xA9t\xC3\xA9", {"\xC3\xA9t\xC3\xA9"}, "where A = ?"},
        {"trailing colon", "x = :", {}, "x = :"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(ParseSQLParamNames(c.Sql), c.Names);
        TParams params;
        params.CreateParam(ftInteger, "OLD", ptInput);
        EXPECT_EQ(params.ParseSQL(c.Sql, true), c.Text);
        ASSERT_EQ(params.Count(), static_cast<int>(c.Names.size()));
        for (size_t i = 0; i < c.Names.size(); ++i)
            EXPECT_EQ(params[static_cast<int>(i)]->Name(), c.Names[i]);
    }
    TParams kept;
    kept.CreateParam(ftInteger, "OLD", ptInput);
    EXPECT_EQ(kept.ParseSQL("a = :B", false), "a = ?");
    EXPECT_EQ(kept.Count(), 1) << "without doCreate the list stays";
}

TEST(Params, TypedSettersChooseTheDataType)
{
    TParams params;
    TParam* p = params.AddParameter();
    p->SetName("P");
    struct Case
    {
        const char* Desc;
        std::function<void()> Set;
        TFieldType Type;
        std::string Text;
    };
    const Case cases[] = {
        {"string", [&] { p->SetAsString("abc"); }, ftString, "abc"},
        {"integer", [&] { p->SetAsInteger(-5); }, ftInteger, "-5"},
        {"smallint", [&] { p->SetAsSmallInt(7); }, ftSmallint, "7"},
        {"largeint", [&] { p->SetAsLargeInt(1LL << 40); }, ftLargeint, "1099511627776"},
        {"float", [&] { p->SetAsFloat(1.25); }, ftFloat, "1.25"},
        {"currency", [&] { p->SetAsCurrency(2.5); }, ftCurrency, "2.5"},
        {"boolean", [&] { p->SetAsBoolean(true); }, ftBoolean, "True"},
        {"memo", [&] { p->SetAsMemo("m"); }, ftMemo, "m"},
        {"blob", [&] { p->SetAsBlob(std::string("\x01\x02", 2)); }, ftBlob, std::string("\x01\x02", 2)},
        {"bcd", [&] { p->SetAsBCD(StrToBcd("12.5")); }, ftBCD, "12.5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        c.Set();
        EXPECT_EQ(p->DataType(), c.Type);
        EXPECT_EQ(p->AsString(), c.Text);
        EXPECT_TRUE(p->Bound());
    }
    p->SetAsDate(45000);
    EXPECT_EQ(p->DataType(), ftDate);
    EXPECT_DOUBLE_EQ(p->AsDateTime(), 45000);
    p->Clear();
    EXPECT_TRUE(p->IsNull());
    EXPECT_EQ(p->DataType(), ftDate) << "clearing keeps the type";
    EXPECT_EQ(p->AsString(), "");
    EXPECT_EQ(p->AsInteger(), 0);
}

TEST(Params, ValueKeepsAChosenTypeAndPicksOneOtherwise)
{
    TParams params;
    TParam* untyped = params.CreateParam(ftUnknown, "U", ptInput);
    untyped->SetValue(Variant(static_cast<long long>(5)));
    EXPECT_EQ(untyped->DataType(), ftLargeint);
    TParam* typed = params.CreateParam(ftString, "S", ptInput);
    typed->SetValue(Variant(5));
    EXPECT_EQ(typed->DataType(), ftString);
    TParam* nullValue = params.CreateParam(ftUnknown, "N", ptOutput);
    nullValue->SetValue(Variant::Null());
    EXPECT_EQ(nullValue->DataType(), ftUnknown);
    EXPECT_EQ(VarTypeToDataType(varOleStr), ftWideString);
    EXPECT_EQ(VarTypeToDataType(varDate), ftDateTime);
    EXPECT_EQ(VarTypeToDataType(varBoolean), ftBoolean);
    EXPECT_EQ(VarTypeToDataType(varCurrency), ftBCD);
    EXPECT_EQ(VarTypeToDataType(varString), ftString);
    TParam* cleared = params.CreateParam(ftInteger, "C", ptInput);
    cleared->SetValue(Variant());
    EXPECT_FALSE(cleared->Bound()) << "an Empty value binds nothing";
}

TEST(Params, FindingAssigningAndComparing)
{
    TParams a;
    a.CreateParam(ftInteger, "Id", ptInput)->SetAsInteger(1);
    a.CreateParam(ftString, "Name", ptInputOutput)->SetAsString("x");
    EXPECT_EQ(a.ParamByName("ID"), a[0]);
    EXPECT_EQ(a.FindParam("nope"), nullptr);
    try {
        a.ParamByName("nope");
        FAIL() << "no error";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(std::string(e.Message()), "Parameter 'nope' not found");
    }
    const Variant both = a.ParamValues("Id;Name");
    EXPECT_EQ(both[0].AsInteger(), 1);
    EXPECT_EQ(both[1].AsString(), "x");
    a.SetParamValues("Id;Name", VarArrayOf({Variant(2), Variant("y")}));
    EXPECT_EQ(a[0]->AsInteger(), 2);

    TParams b;
    b.Assign(a);
    EXPECT_TRUE(b.IsEqual(a));
    EXPECT_EQ(b[1]->ParamType(), ptInputOutput);
    b[1]->SetAsString("z");
    EXPECT_FALSE(b.IsEqual(a));

    TParams target;
    target.CreateParam(ftUnknown, "NAME", ptInput);
    target.CreateParam(ftInteger, "Other", ptInput)->SetAsInteger(9);
    target.AssignValues(b);
    EXPECT_EQ(target[0]->AsString(), "z");
    EXPECT_EQ(target[0]->DataType(), ftString);
    EXPECT_EQ(target[1]->AsInteger(), 9);
    target.RemoveParam(target[0]);
    EXPECT_EQ(target.Count(), 1);
}
