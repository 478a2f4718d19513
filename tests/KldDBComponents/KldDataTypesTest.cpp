#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "Components/KldDBComponents/KldData.h"
#include "platform/FMTBcd.h"
#include "platform/Guid.h"
#include "platform/SqlTimSt.h"

namespace
{

// A stored value in slot format, made from a C++ value; a text in value form.
struct Slot
{
    alignas(8) uint8_t bytes[40] = {};
    std::unique_ptr<TKldTextValue> text;

    const void* Value() const { return text ? text->Value() : bytes; }

    template <class T>
    static std::unique_ptr<Slot> Of(T value)
    {
        auto s = std::make_unique<Slot>();
        std::memcpy(s->bytes, &value, sizeof(T));
        return s;
    }
    static std::unique_ptr<Slot> Text(std::string_view value)
    {
        auto s = std::make_unique<Slot>();
        s->text = std::make_unique<TKldTextValue>(value);
        return s;
    }
};

int Sign(int v)
{
    return (v > 0) - (v < 0);
}

} // namespace

TEST(KldDataTypes, TableOfTypes)
{
    struct Case
    {
        TKldDataType Type;
        const char* Name;
        int Size;
        TVarType VarType;
        bool HasSize;
    };
    const Case cases[] = {
        {cdtUnknown, "Unknown", 0, varNull, false},       {cdtSmallInt, "SmallInt", 2, varSmallint, false},
        {cdtLargeInt, "LargeInt", 8, varInt64, false},    {cdtBoolean, "Boolean", 2, varBoolean, false},
        {cdtInteger, "Integer", 4, varInteger, false},    {cdtFloat, "Float", 8, varDouble, false},
        {cdtDateTime, "DateTime", 8, varDate, false},     {cdtDate, "Date", 8, varDate, false},
        {cdtTime, "Time", 8, varDate, false},             {cdtString, "String", 4, varString, true},
        {cdtWideString, "WideString", 4, varOleStr, true}, {cdtGuid, "Guid", 16, varString, false},
        {cdtMemo, "Memo", 4, varNull, false},             {cdtBlob, "Blob", 4, varNull, false},
        {cdtReference, "Reference", 4, varNull, false},   {cdtBCD, "BCD", 34, varDouble, false},
        {cdtSQLTimeStamp, "SQLTimeStamp", 16, varDate, false},
    };
    ASSERT_EQ(std::size(cases), size_t(KldDataTypeCount));
    for (size_t i = 0; i < std::size(cases); ++i)
    {
        const Case& c = cases[i];
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(int(c.Type), int(i));
        EXPECT_STREQ(DataTypeNames[c.Type], c.Name);
        EXPECT_EQ(DataTypeSizes[c.Type], c.Size);
        EXPECT_EQ(VarTypes[c.Type], c.VarType);
        EXPECT_EQ(DataTypeHasSize[c.Type], c.HasSize);
        EXPECT_EQ(DataTypeNameToType(c.Name), c.Type);
    }
}

TEST(KldDataTypes, NameLookUpIgnoresCase)
{
    struct Case
    {
        const char* Desc;
        const char* Input;
        TKldDataType Expected;
    };
    const Case cases[] = {
        {"lower case", "memo", cdtMemo},
        {"upper case", "SQLTIMESTAMP", cdtSQLTimeStamp},
        {"mixed", "wIdEsTrInG", cdtWideString},
        {"unknown name", "Currency", cdtUnknown},
        {"empty", "", cdtUnknown},
        {"surrounding blank is not trimmed", " Integer", cdtUnknown},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(DataTypeNameToType(c.Input), c.Expected);
    }
}

TEST(KldDataTypes, BitHelpers)
{
    uint8_t bits[3] = {};
    SetBit(bits, 0, true);
    SetBit(bits, 9, true);
    SetBit(bits, 23, true);
    EXPECT_EQ(bits[0], 0x01);
    EXPECT_EQ(bits[1], 0x02);
    EXPECT_EQ(bits[2], 0x80);
    EXPECT_TRUE(GetBit(bits, 9));
    EXPECT_FALSE(GetBit(bits, 8));
    SetBit(bits, 9, false);
    EXPECT_EQ(bits[1], 0x00);
    EXPECT_FALSE(GetBit(bits, 9));
}

TEST(KldDataTypes, TextValueForm)
{
    // Twice the length as LEB128, then the bytes: one length byte up to 63
    // bytes, two from 64 on.
    struct Case
    {
        size_t Length;
        size_t Size;
    };
    for (Case c : {Case{0, 1}, Case{1, 2}, Case{63, 64}, Case{64, 66}, Case{8191, 8193}, Case{8192, 8195}})
    {
        SCOPED_TRACE(c.Length);
        std::string text(c.Length, 'x');
        if (!text.empty())
            text.back() = 'y';
        EXPECT_EQ(KldTextValueSize(text), c.Size);
        TKldTextValue value(text);
        EXPECT_EQ(KldTextView(value.Value()), text);
        EXPECT_EQ(static_cast<const uint8_t*>(value.Value())[0] & 1, 0);
    }
    EXPECT_EQ(KldTextView(KldEmptyTextValue()), "");
    std::string binary("a\0b\xFF", 4);
    TKldStoredString* stored = TKldStoredString::Make(binary);
    EXPECT_EQ(TKldStoredString::View(stored), binary);
    EXPECT_EQ(KldTextView(TKldStoredString::Value(stored)), binary);
    TKldStoredString::Release(stored);
    EXPECT_EQ(TKldStoredString::Make(""), nullptr);
    EXPECT_EQ(KldTextView(TKldStoredString::Value(nullptr)), "");
}

TEST(KldCompareValues, NullOrdering)
{
    auto one = Slot::Of<int32_t>(1);
    struct Case
    {
        const char* Desc;
        const void* A;
        const void* B;
        TKldCompareOptions Options;
        int Expected;
    };
    const Case cases[] = {
        {"two nulls", nullptr, nullptr, {}, 0},
        {"null first", nullptr, one->bytes, {}, -1},
        {"value after null", one->bytes, nullptr, {}, 1},
        {"descending keeps null first", nullptr, one->bytes, {coDescending}, -1},
        {"nulls last", nullptr, one->bytes, {coNullsLast}, 1},
        {"nulls last, value first", one->bytes, nullptr, {coNullsLast}, -1},
        {"nulls last descending", nullptr, one->bytes, {coNullsLast, coDescending}, 1},
        {"two nulls, nulls last", nullptr, nullptr, {coNullsLast}, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(CompareValues(c.A, c.B, cdtInteger, c.Options), c.Expected);
    }
}

TEST(KldCompareValues, ByType)
{
    struct Case
    {
        const char* Desc;
        std::unique_ptr<Slot> A;
        std::unique_ptr<Slot> B;
        TKldDataType Type;
        TKldCompareOptions Options;
        int ExpectedSign;
    };
    TGUID g1 = StringToGUID("{00000000-0000-0000-0000-00000000000A}");
    TGUID g2 = StringToGUID("{00000000-0000-0000-0000-000000000009}");
    std::vector<Case> cases;
    cases.push_back({"integer beyond the difference range", Slot::Of<int32_t>(2000000000),
                     Slot::Of<int32_t>(-2000000000), cdtInteger, {}, 1});
    cases.push_back({"smallint", Slot::Of<int16_t>(-5), Slot::Of<int16_t>(3), cdtSmallInt, {}, -1});
    cases.push_back({"largeint", Slot::Of<int64_t>(std::numeric_limits<int64_t>::min()),
                     Slot::Of<int64_t>(std::numeric_limits<int64_t>::max()), cdtLargeInt, {}, -1});
    cases.push_back({"True above False", Slot::Of<int16_t>(-1), Slot::Of<int16_t>(0), cdtBoolean, {}, 1});
    cases.push_back({"any non-zero is True", Slot::Of<int16_t>(1), Slot::Of<int16_t>(-1), cdtBoolean, {}, 0});
    cases.push_back({"float", Slot::Of<double>(1.5), Slot::Of<double>(1.25), cdtFloat, {}, 1});
    cases.push_back({"NaN is unordered", Slot::Of<double>(std::nan("")), Slot::Of<double>(1.0), cdtFloat, {}, 0});
    cases.push_back({"date", Slot::Of<double>(40000.0), Slot::Of<double>(40001.0), cdtDate, {}, -1});
    cases.push_back({"descending float", Slot::Of<double>(1.0), Slot::Of<double>(2.0), cdtFloat,
                     {coDescending}, 1});
    cases.push_back({"partial key", Slot::Text("abc"), Slot::Text("abcdef"), cdtString, {coPartialKey}, 0});
    cases.push_back({"no partial key", Slot::Text("abc"), Slot::Text("abcdef"), cdtString, {}, -1});
    cases.push_back({"partial key cuts B only", Slot::Text("abcdef"), Slot::Text("abc"), cdtString,
                     {coPartialKey}, 1});
    cases.push_back({"case-insensitive", Slot::Text("ABC"), Slot::Text("abc"), cdtString,
                     {coCaseInsensitive}, 0});
    cases.push_back({"case-sensitive", Slot::Text("ABC"), Slot::Text("abc"), cdtString, {}, 1});
    cases.push_back({"locale order, not bytes", Slot::Text("b"), Slot::Text("C"), cdtString, {}, -1});
    cases.push_back({"accented letter sorts with its base", Slot::Text("\xC3\xA9t\xC3\xA9"), Slot::Text("f"),
                     cdtString, {}, -1});
    cases.push_back({"memo like string", Slot::Text("a"), Slot::Text("b"), cdtMemo, {}, -1});
    cases.push_back({"widestring partial", Slot::Text("\xC3\xA9t"), Slot::Text("\xC3\xA9t\xC3\xA9"),
                     cdtWideString, {coPartialKey}, 0});
    cases.push_back({"blob shorter", Slot::Text("ab"), Slot::Text("abc"), cdtBlob, {}, -1});
    cases.push_back({"blob differs (A,B)", Slot::Text("abd"), Slot::Text("abc"), cdtBlob, {}, 1});
    cases.push_back({"blob differs (B,A)", Slot::Text("abc"), Slot::Text("abd"), cdtBlob, {}, 1});
    cases.push_back({"blob equal", Slot::Text("abc"), Slot::Text("abc"), cdtBlob, {}, 0});
    cases.push_back({"blobs not compared", Slot::Text("a"), Slot::Text("abc"), cdtBlob, {coDoNotCompareBlobs}, 0});
    cases.push_back({"guid by text: 'A' after '9'", Slot::Of(g1), Slot::Of(g2), cdtGuid, {}, 1});
    cases.push_back({"bcd", Slot::Of(StrToBcd("1.25")), Slot::Of(StrToBcd("-3")), cdtBCD, {}, 1});
    cases.push_back({"sql time stamp", Slot::Of(DateTimeToSQLTimeStamp(40000.5)),
                     Slot::Of(DateTimeToSQLTimeStamp(40000.25)), cdtSQLTimeStamp, {}, 1});
    cases.push_back({"reference", Slot::Of<int32_t>(1), Slot::Of<int32_t>(2), cdtReference, {}, 0});
    cases.push_back({"unknown", Slot::Of<int32_t>(1), Slot::Of<int32_t>(2), cdtUnknown, {}, 0});
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(Sign(CompareValues(c.A->Value(), c.B->Value(), c.Type, c.Options)), c.ExpectedSign);
    }
}

TEST(KldCompareValues, GuidGivesRawCharacterDifference)
{
    TGUID a = StringToGUID("{00000000-0000-0000-0000-00000000000A}");
    TGUID b = StringToGUID("{00000000-0000-0000-0000-000000000009}");
    EXPECT_EQ(CompareValues(&a, &b, cdtGuid, {}), 'A' - '9');
    EXPECT_EQ(CompareValues(&b, &a, cdtGuid, {coDescending}), 'A' - '9');
}

TEST(KldCompareValues, QuickSortSurvivesInconsistentOrders)
{
    // Blobs of one length always compare +1 when they differ, and NaN is
    // unordered: the sort must still finish inside its range.
    std::vector<double> values;
    for (int i = 0; i < 500; ++i)
        values.push_back(i % 7 == 0 ? std::nan("") : double((i * 37) % 101));
    KldQuickSort(values, 0, static_cast<ptrdiff_t>(values.size()) - 1,
                 [](double a, double b) { return CompareValues(&a, &b, cdtFloat, {}); });
    EXPECT_EQ(values.size(), 500u);
    std::vector<int> blobs(300);
    for (int i = 0; i < 300; ++i)
        blobs[size_t(i)] = i % 13;
    KldQuickSort(blobs, 0, 299, [](int a, int b) { return a == b ? 0 : 1; });
    std::vector<int> counts(13);
    for (int v : blobs)
        ++counts[size_t(v)];
    for (int i = 0; i < 13; ++i)
        EXPECT_EQ(counts[size_t(i)], 300 / 13 + (i < 300 % 13 ? 1 : 0));

    std::vector<int> ordered = {5, 3, 9, 1, 7, 3, 0};
    KldQuickSort(ordered, 0, 6, [](int a, int b) { return (a > b) - (a < b); });
    EXPECT_EQ(ordered, (std::vector<int>{0, 1, 3, 3, 5, 7, 9}));
}

TEST(KldVarIsNull, ScalarsAndArrays)
{
    struct Case
    {
        const char* Desc;
        Variant Input;
        bool Expected;
    };
    const Case cases[] = {
        {"empty", Variant(), true},
        {"null", Variant::Null(), true},
        {"zero", Variant(0), false},
        {"empty text", Variant(""), false},
        {"array of Null and Empty", VarArrayOf({Variant::Null(), Variant()}), true},
        {"array with one value", VarArrayOf({Variant::Null(), Variant(1)}), false},
        {"array without elements", VarArrayCreate({0, -1}, varVariant), true},
        {"nested null array", VarArrayOf({VarArrayOf({Variant::Null()})}), true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(_VarIsNull(c.Input), c.Expected);
    }
}

TEST(KldParameters, FindGetAndNames)
{
    TKldParameters params(nullptr);
    int changes = 0;
    params.OnChange = [&](TObject* sender) {
        EXPECT_EQ(sender, &params);
        ++changes;
    };
    params.AddParameter("Id", cptInput, cdtInteger, 4);
    TKldParameter* p = params.AddParameter("Name", cptOutput, cdtString, 20);
    EXPECT_GE(changes, 2);
    EXPECT_EQ(params.Find("NAME"), p);
    EXPECT_EQ(params.Find("missing"), nullptr);
    try
    {
        params.Get("missing");
        FAIL() << "expected an error";
    }
    catch (const Exception& e)
    {
        EXPECT_EQ(e.Message(), "Field or parameter not found: missing");
        EXPECT_EQ(e.ClassName(), "Exception");
    }
    EXPECT_EQ(p->DisplayName(), "Name");
    EXPECT_EQ(p->GetSourceName(), "Name");
    p->SourceColumn = "FULL_NAME";
    EXPECT_EQ(p->GetSourceName(), "FULL_NAME");
    p->Name.clear();
    EXPECT_EQ(p->DisplayName(), p->ClassName());

    int before = changes;
    params.Delete(0);
    EXPECT_GT(changes, before);
}

TEST(KldParameters, AutoNameAndParamName)
{
    TKldParameters params(nullptr);
    params.AddParameter("P", cptInput, cdtInteger, 0);
    params.AddParameter("P1", cptInput, cdtInteger, 0);
    EXPECT_EQ(params.GetAutoName("P", 0), "P2");
    EXPECT_EQ(params.GetAutoName("p", 0), "p2");
    EXPECT_EQ(params.GetAutoName("Q", 0), "Q");
    EXPECT_EQ(params.GetAutoName("Q", 3), "Q3");

    struct Case
    {
        const char* Desc;
        const char* Input;
        const char* Expected;
    };
    const Case cases[] = {
        {"digit, blank, letters", "1 st", "_1_st"},
        {"empty", "", "Param"},
        {"valid identifier", "_ok9", "_ok9"},
        {"symbols", "a-b.c", "a_b_c"},
        {"a multi-byte character is one character", "\xC3\xA9t\xC3\xA9", "__t_"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(GetParamName(c.Input), c.Expected);
    }
}

TEST(KldParameters, AssignValuesAndOutputValues)
{
    TKldParameters params(nullptr);
    params.AddParameter("A", cptInput, cdtInteger, 0)->Value = 1;
    params.AddParameter("B", cptOutput, cdtInteger, 0)->Value = 2;
    params.AddParameter("C", cptResult, cdtInteger, 0)->Value = 3;

    params.AssignValues(Variant());
    EXPECT_EQ(params.Items(0)->Value.AsInteger(), 1) << "Empty changes nothing";

    params.AssignValues(VarArrayOf({Variant(10), Variant(20)}));
    EXPECT_EQ(params.Items(0)->Value.AsInteger(), 10);
    EXPECT_EQ(params.Items(1)->Value.AsInteger(), 20);
    EXPECT_TRUE(VarIsNull(params.Items(2)->Value)) << "values beyond the array become Null";

    params.AssignValues(Variant(7));
    EXPECT_EQ(params.Items(0)->Value.AsInteger(), 7);
    EXPECT_TRUE(VarIsNull(params.Items(1)->Value));

    params.AssignValues(VarArrayOf({Variant(1), Variant(2), Variant(3), Variant(4)}));
    Variant out = params.GetOutputValues();
    ASSERT_TRUE(VarIsArray(out));
    EXPECT_EQ(VarArrayLowBound(out, 1), 0);
    EXPECT_EQ(VarArrayHighBound(out, 1), 1);
    EXPECT_EQ(out[0].AsInteger(), 2);
    EXPECT_EQ(out[1].AsInteger(), 3);

    params.Items(2)->ParamType = cptInput;
    EXPECT_EQ(params.GetOutputValues().AsInteger(), 2);
    params.Items(1)->ParamType = cptInput;
    EXPECT_TRUE(VarIsNull(params.GetOutputValues()));

    params.ClearValues();
    for (int i = 0; i < params.Count(); ++i)
        EXPECT_TRUE(VarIsNull(params.Items(i)->Value));

    TKldParameters other(nullptr);
    other.AddParameter("b", cptInput, cdtInteger, 0)->Value = 42;
    other.AddParameter("zzz", cptInput, cdtInteger, 0)->Value = 1;
    params.AssignValues(other);
    EXPECT_EQ(params.Items(1)->Value.AsInteger(), 42);
    EXPECT_TRUE(VarIsNull(params.Items(0)->Value));
}

TEST(KldParameters, AssignCopiesAllProperties)
{
    TKldParameters params(nullptr);
    TKldParameter* a = params.AddParameter("A", cptInputOutput, cdtFloat, 8);
    a->Value = 1.5;
    a->SourceColumn = "SRC";
    a->RowVersion = drvOriginal;
    TKldParameter* b = params.Add();
    b->Assign(*a);
    EXPECT_EQ(b->Name, "A");
    EXPECT_EQ(b->Value.AsDouble(), 1.5);
    EXPECT_EQ(b->DataType, cdtFloat);
    EXPECT_EQ(b->ParamType, cptInputOutput);
    EXPECT_EQ(b->DataSize, 8);
    EXPECT_EQ(b->SourceColumn, "SRC");
    EXPECT_EQ(b->RowVersion, drvOriginal);
}

namespace
{

class TestProvider : public TComponent, public IKldDataProvider
{
public:
    explicit TestProvider(std::string name) : m_name(std::move(name)) {}
    void CheckConnected(bool connect) override { Connected = connect; }
    std::string GetProviderName() const override { return m_name; }
    bool Connected = false;

private:
    std::string m_name;
};

class TestCommand : public TKldDataCommand
{
public:
    using TKldDataCommand::TKldDataCommand;
    ~TestCommand() override { ReleaseCommand(); }
    bool GetPrepared() const override { return m_prepared; }
    void SetPrepared(bool value) override { m_prepared = value; }
    void Execute() override {}

private:
    bool m_prepared = false;
};

} // namespace

TEST(KldProviders, RegistryAndCommand)
{
    TestProvider first("Main");
    TestProvider unnamed("");
    TComponent plain;
    RegisterKldDataProvider(&first);
    RegisterKldDataProvider(&first);
    RegisterKldDataProvider(&unnamed);
    RegisterKldDataProvider(&plain);
    EXPECT_EQ(FindKldDataProvider("MAIN"), &first);
    EXPECT_EQ(FindKldDataProvider(""), nullptr);
    TStringList names;
    GetKldDataProviders(names);
    EXPECT_EQ(names.Count(), 1);
    EXPECT_EQ(names[0], "Main");

    try
    {
        TestCommand bad(&plain);
        FAIL() << "expected an error";
    }
    catch (const Exception& e)
    {
        EXPECT_EQ(e.Message(), "Invalid data provider object assigned");
    }
    {
        TestCommand command(&first);
        EXPECT_EQ(command.GetRowsAffected(), -1);
        try
        {
            command.CheckPrepared();
            FAIL() << "expected an error";
        }
        catch (const Exception& e)
        {
            EXPECT_EQ(e.Message(), "Unable to perform this operation. Command is not prepared");
        }
        command.CheckProviderConnected();
        EXPECT_TRUE(first.Connected);
        command.SetPrepared(true);
        EXPECT_NO_THROW(command.CheckPrepared());
    }
    UnRegisterKldDataProvider(&first);
    EXPECT_EQ(FindKldDataProvider("Main"), nullptr);
}
