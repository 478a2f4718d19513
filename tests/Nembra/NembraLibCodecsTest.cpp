// The JSON codecs of fields, parameters and datasets: the token of each
// field type out and back, the exact texts of the dataset and parameter
// formats, the parameter readers and their errors, and the small dataset
// helpers.

#include "Components/Nembra/NembraLib.h"

#include <gtest/gtest.h>

#include "Components/Nembra/NembraJSON.h"
#include "NembraDataSetTestSupport.h"
#include "platform/StringList.h"
#include "support/ErrorOf.h"
#include "support/Visible.h"

namespace {

const TDateTime kLeapDay = EncodeDate(2024, 2, 29);
const TDateTime kMorning = EncodeTime(7, 30, 15, 0);

struct CodecCase
{
    const char* Desc;
    TFieldType Type;
    Variant Value;
    std::string Token;
    bool AsField; // the table dataset has a column type for it
};

std::vector<CodecCase> CodecCases()
{
    return {
        {"null", ftInteger, Variant::Null(), "null", true},
        {"integer", ftInteger, 42, "42", true},
        {"negative small integer", ftSmallint, -7, "-7", true},
        {"large integer past 32 bits", ftLargeint, 5000000000LL, "5000000000", true},
        {"word", ftWord, 65535, "65535", false},
        {"true", ftBoolean, true, "true", true},
        {"false", ftBoolean, false, "false", true},
        {"float", ftFloat, 1.5, "1.5", true},
        {"currency", ftCurrency, Variant::FromCurrencyDouble(12.25), "12.25", true},
        {"BCD", ftBCD, 3.75, "3.75", true},
        {"date", ftDate, Variant::FromDate(kLeapDay), "\"2024-02-29\"", true},
        {"time of day", ftTime, Variant::FromDate(kMorning), "\"07:30:15\"", true},
        {"date and time", ftDateTime, Variant::FromDate(kLeapDay + kMorning), "\"2024-02-29 07:30:15\"",
         true},
        {"time stamp", ftTimeStamp, Variant::FromDate(kLeapDay + kMorning), "\"2024-02-29 07:30:15\"", true},
        {"text with CR LF and a quote", ftString, "a\r\nb\"c", "\"a\\nb\\\"c\"", true},
        {"memo with a lone LF", ftMemo, "line1\nline2", "\"line1\\rline2\"", true},
        {"blob bytes", ftBlob, std::string("\x00\x01\xFF", 3), "\"AAH/\"", true},
        {"graphic", ftGraphic, "GIF", "\"R0lG\"", true},
        {"auto-increment travels as text", ftAutoInc, 7, "\"7\"", false},
        {"wide string", ftWideString, "\xC3\xA9t\xC3\xA9", "\"\xC3\xA9t\xC3\xA9\"", false},
        {"GUID as its text", ftGuid, "{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}",
         "\"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}\"", true},
    };
}

TEST(NembraCodecs, TokensOutAndBack)
{
    for (const CodecCase& c : CodecCases()) {
        SCOPED_TRACE(c.Desc);
        if (c.AsField) {
            TNembraDataSet ds;
            OpenWithFields(ds, {{"V", c.Type, c.Type == ftString || c.Type == ftGuid ? 40 : 0}});
            ds.Append();
            if (!VarIsNull(c.Value))
                ds.FieldByName("V")->SetValue(c.Value);
            EXPECT_EQ(Visible(FieldToJSON(ds.FieldByName("V"))), Visible(c.Token));
        }

        TParams params;
        SetParam(params, "V", c.Value, ptInput, c.Type);
        EXPECT_EQ(Visible(ParamToJSON(params[0])), Visible(c.Token));

        // Back through a reply: the parameter takes its types from it.
        TParams back;
        back.CreateParam(ftUnknown, "v", ptUnknown);
        ParamsFromJSON(back, ParamsToJSON(params, {ptInput}), {ptUnknown});
        EXPECT_EQ(back[0]->DataType(), c.Type);
        EXPECT_EQ(back[0]->ParamType(), ptInput);
        EXPECT_EQ(back[0]->IsNull(), VarIsNull(c.Value));
        EXPECT_EQ(Visible(back[0]->AsString()), Visible(VarToStr(c.Value)));
    }
}

TEST(NembraCodecs, FloatsUseAPointUnderACommaLocale)
{
    ScopedFormatSettings restore;
    FormatSettings.DecimalSeparator = ',';
    FormatSettings.ThousandSeparator = '.';
    TNembraDataSet ds;
    OpenWithFields(ds, {{"AMOUNT", ftFloat}, {"PRICE", ftCurrency}});
    ds.AppendRecord({1.5, 1234.5});
    ASSERT_EQ(ds.FieldByName("AMOUNT")->AsString(), "1,5") << "the field shows the user's separator";
    EXPECT_EQ(FieldToJSON(ds.FieldByName("AMOUNT")), "1.5");
    EXPECT_EQ(FieldToJSON(ds.FieldByName("PRICE")), "1234.5");

    TParams params;
    params.CreateParam(ftFloat, "F", ptInput)->SetValue(2.25);
    EXPECT_EQ(ParamToJSON(params[0]), "2.25");
    ParamFromString(params[0], "0.125");
    EXPECT_DOUBLE_EQ(params[0]->AsFloat(), 0.125) << "wire texts are read with a point";
}

TEST(NembraCodecs, EmptyTextIsNullInAFieldButQuotesInAParameter)
{
    TNembraDataSet ds;
    OpenWithFields(ds, {{"NAME", ftString, 20}, {"NOTE", ftMemo}});
    ds.Append();
    ds.FieldByName("NAME")->SetAsString("");
    ds.FieldByName("NOTE")->SetAsString("");
    EXPECT_TRUE(FieldIsNull(ds.FieldByName("NAME")));
    EXPECT_EQ(FieldToJSON(ds.FieldByName("NAME")), "null");
    EXPECT_EQ(FieldToJSON(ds.FieldByName("NOTE")), "\"\"") << "only ftString counts an empty text as null";

    TParams params;
    params.CreateParam(ftString, "S", ptInput)->SetValue("");
    params.CreateParam(ftInteger, "I", ptInput)->SetValue("");
    params.CreateParam(ftUnknown, "U", ptInput)->SetValue(Variant::Null());
    EXPECT_EQ(ParamToJSON(params[0]), "\"\"");
    EXPECT_EQ(ParamToJSON(params[1]), "null") << "a token that comes out empty";
    EXPECT_EQ(ParamToJSON(params[2]), "null");
    EXPECT_EQ(ParamToJSON(nullptr), "null");
}

// A dataset whose blob values cannot be fetched, as when the server is gone.
class TUnreachableBlobs : public TNembraDataSet
{
  public:
    ~TUnreachableBlobs() override { Close(); }

  protected:
    void FetchRowBlobs(TKldDataRow*) override { throw Exception("Connection is not active"); }
};

TEST(NembraCodecs, ConversionErrorsNameTheColumnOrTheParameter)
{
    TUnreachableBlobs ds;
    OpenWithFields(ds, {{"ID", ftInteger}, {"PICTURE", ftBlob}});
    ds.AppendRecord({1, "bytes"});
    ds.GetDataRow()->SetState(drsBlobsNotFetched, true);
    EXPECT_EQ(ErrorOf([&] { FieldToJSON(ds.FieldByName("PICTURE")); }),
              "Connection is not active. Column: PICTURE");

    TParams params;
    params.CreateParam(ftBoolean, "FLAG", ptInput)->SetValue("perhaps");
    EXPECT_EQ(ErrorOf([&] { ParamToJSON(params[0]); }),
              "Could not convert variant of type (String) into type (Boolean). Parameter: FLAG");
}

// ---------------------------------------------------------------------------
// Format texts

TEST(NembraCodecs, FieldAndParameterListTexts)
{
    TNembraDataSet ds;
    OpenWithFields(ds, {{"ID", ftInteger}, {"NAME", ftString, 30}, {"NOTE", ftMemo}});
    EXPECT_EQ(FieldsToJSON(ds), "[{\"Name\":\"ID\",\"DataType\":3,\"Size\":0},"
                                "{\"Name\":\"NAME\",\"DataType\":1,\"Size\":30},"
                                "{\"Name\":\"NOTE\",\"DataType\":16,\"Size\":0}]");

    TParams params;
    params.CreateParam(ftInteger, "ID", ptInput)->SetValue(5);
    params.CreateParam(ftString, "OUT", ptOutput);
    params.CreateParam(ftDate, "DAY", ptInputOutput)->SetValue(Variant::FromDate(kLeapDay));
    params.CreateParam(ftString, "Q\"T", ptUnknown)->SetValue("x");
    const TParamTypes sent{ptUnknown, ptInput, ptInputOutput};
    EXPECT_EQ(ParamsToJSON(params, sent), "{\"ID\":{\"DataType\":3,\"ParamType\":1,\"Value\":5},"
                                          "\"DAY\":{\"DataType\":9,\"ParamType\":3,\"Value\":\"2024-02-29\"},"
                                          "\"Q\"\"T\":{\"DataType\":1,\"ParamType\":0,\"Value\":\"x\"}}");
    EXPECT_EQ(ParamsToJSON(params, {ptResult}), "{}");
    TNembraDataSet empty;
    EXPECT_EQ(FieldsToJSON(empty), "[]");
}

// ---------------------------------------------------------------------------
// Parameter replies

TEST(NembraCodecs, ParamsFromJSONUpdatesOnlyExistingParametersOfTheTypesAsked)
{
    TParams params;
    params.CreateParam(ftInteger, "IN_ONLY", ptInput)->SetValue(1);
    params.CreateParam(ftInteger, "Total", ptOutput);
    params.CreateParam(ftUnknown, "PICTURE", ptInputOutput);
    params.CreateParam(ftDateTime, "STAMP", ptResult);
    const TJSONObject reply("{\"IN_ONLY\":{\"DataType\":3,\"ParamType\":1,\"Value\":99},"
                            "\"TOTAL\":{\"DataType\":6,\"ParamType\":3,\"Value\":\"17\"},"
                            "\"PICTURE\":{\"DataType\":15,\"ParamType\":3,\"Value\":\"AAH/\"},"
                            "\"STAMP\":{\"DataType\":11,\"ParamType\":4,\"Value\":\"2024-02-29 07:30:15\"},"
                            "\"MISSING\":{\"DataType\":3,\"ParamType\":2,\"Value\":1}}");
    ParamsFromJSON(params, reply, {ptOutput, ptInputOutput, ptResult});

    EXPECT_EQ(params.ParamByName("IN_ONLY")->AsInteger(), 1) << "input parameters are not read back";
    TParam* total = params.ParamByName("TOTAL");
    EXPECT_EQ(total->DataType(), ftInteger) << "a known data type stays";
    EXPECT_EQ(total->ParamType(), ptOutput) << "a known parameter type stays";
    EXPECT_EQ(total->AsInteger(), 17);
    TParam* picture = params.ParamByName("PICTURE");
    EXPECT_EQ(picture->DataType(), ftBlob) << "an unknown data type is taken from the reply";
    EXPECT_EQ(Visible(picture->AsString()), Visible(std::string("\x00\x01\xFF", 3)));
    EXPECT_DOUBLE_EQ(params.ParamByName("STAMP")->AsDateTime(), kLeapDay + kMorning);
    EXPECT_EQ(params.Count(), 4) << "no parameter is made for a member";
    EXPECT_EQ(reply.IndexOfName("Value"), -1);
}

TEST(NembraCodecs, MalformedParameterRepliesRaiseAndChangeNothing)
{
    struct Case
    {
        const char* Desc;
        std::string Reply;
        std::string Error;
        bool ForNewList; // also wrong for a list made from the reply
    } cases[] = {
        {"member is no object", "{\"A\":{\"Value\":1},\"B\":5}", "Value is not an object", true},
        {"data type ordinal past ftFMTBcd", "{\"A\":{\"Value\":1},\"B\":{\"DataType\":38,\"Value\":1}}",
         "Invalid field type ordinal: 38", true},
        {"negative data type ordinal", "{\"B\":{\"DataType\":-1,\"Value\":1}}",
         "Invalid field type ordinal: -1", true},
        {"parameter type ordinal past ptResult", "{\"B\":{\"DataType\":3,\"ParamType\":5,\"Value\":1}}",
         "Invalid parameter type ordinal: 5", true},
        {"blob value that is not Base64", "{\"A\":{\"Value\":2},\"C\":{\"Value\":\"%%%\"}}",
         "Invalid Base64 text", false},
        {"integer value that is no number", "{\"A\":{\"Value\":\"twelve\"}}",
         "'twelve' is not a valid integer value", false},
        {"blob of a new list that is not Base64", "{\"C\":{\"DataType\":15,\"Value\":\"%%%\"}}",
         "Invalid Base64 text", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        TParams params;
        params.CreateParam(ftInteger, "A", ptOutput)->SetValue(1);
        params.CreateParam(ftUnknown, "B", ptUnknown);
        params.CreateParam(ftBlob, "C", ptOutput)->SetValue("old");
        EXPECT_EQ(ErrorOf([&] { ParamsFromJSON(params, c.Reply, {ptUnknown, ptOutput}); }), c.Error);
        EXPECT_EQ(params.ParamByName("A")->AsInteger(), 1);
        EXPECT_EQ(params.ParamByName("B")->DataType(), ftUnknown);
        EXPECT_EQ(params.ParamByName("C")->AsString(), "old");

        if (!c.ForNewList)
            continue;
        params.CreateParam(ftString, "KEPT", ptInput);
        EXPECT_EQ(ErrorOf([&] { AddParamsFromJSON(params, c.Reply); }), c.Error);
        EXPECT_EQ(params.Count(), 4) << "the list stays as it was";
    }
}

TEST(NembraCodecs, AddParamsFromJSONReplacesTheList)
{
    TParams params;
    params.CreateParam(ftString, "OLD", ptInput);
    AddParamsFromJSON(params,
                      std::string_view("{\"P_ID\":{\"DataType\":3,\"ParamType\":1,\"Value\":null},"
                                       "\"P_NAME\":{\"DataType\":1,\"ParamType\":3,\"Value\":\"Eva\"},"
                                       "\"RESULT\":{\"DataType\":6,\"ParamType\":4,\"Value\":2.5}}"));
    ASSERT_EQ(params.Count(), 3);
    EXPECT_EQ(params[0]->Name(), "P_ID");
    EXPECT_EQ(params[0]->DataType(), ftInteger);
    EXPECT_TRUE(params[0]->IsNull());
    EXPECT_EQ(params[1]->ParamType(), ptInputOutput);
    EXPECT_EQ(params[1]->AsString(), "Eva");
    EXPECT_EQ(params[2]->ParamType(), ptResult);
    EXPECT_DOUBLE_EQ(params[2]->AsFloat(), 2.5);

    AddParamsFromJSON(params, std::string_view("  \r\n"));
    EXPECT_EQ(params.Count(), 3) << "a blank text does nothing";
    ParamsFromJSON(params, std::string_view(""), {ptInputOutput});
    EXPECT_EQ(params[1]->AsString(), "Eva");
}

TEST(NembraCodecs, ParamFromStringByDataType)
{
    struct Case
    {
        const char* Desc;
        TFieldType Type;
        std::string Text;
        Variant Expected;
    } cases[] = {
        {"empty text is null", ftInteger, "", Variant::Null()},
        {"integer", ftInteger, "-12", -12},
        {"word", ftWord, "65535", 65535},
        {"auto-increment", ftAutoInc, "8", 8},
        {"boolean text", ftBoolean, "True", true},
        {"boolean number", ftBoolean, "0", false},
        {"float with a point", ftFloat, "1234.5", 1234.5},
        {"currency", ftCurrency, "0.0001", 0.0001},
        {"date part only", ftDate, "2024-02-29 07:30:15", Variant::FromDate(kLeapDay)},
        {"time of day", ftTime, "07:30:15", Variant::FromDate(kMorning)},
        {"date and time", ftDateTime, "2024-02-29 07:30:15", Variant::FromDate(kLeapDay + kMorning)},
        {"date without time is midnight", ftDateTime, "2024-02-29", Variant::FromDate(kLeapDay)},
        {"time stamp", ftTimeStamp, "2024-02-29 07:30:15", Variant::FromDate(kLeapDay + kMorning)},
        {"decimal", ftFMTBcd, "123456.789", 123456.789},
        {"blob bytes", ftBlob, std::string("a\0b", 3), std::string("a\0b", 3)},
        {"memo", ftMemo, "line\r\nline", "line\r\nline"},
        {"large integer stays text", ftLargeint, "5000000000", "5000000000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        TParams params;
        TParam* p = params.CreateParam(c.Type, "P", ptOutput);
        ParamFromString(p, c.Text);
        EXPECT_EQ(p->DataType(), c.Type);
        EXPECT_TRUE(VarSameValue(p->Value(), c.Expected)) << p->Value() << " expected " << c.Expected;
    }

    TParams params;
    TParam* date = params.CreateParam(ftDate, "D", ptOutput);
    EXPECT_EQ(ErrorOf([&] { ParamFromString(date, "24-02-2024"); }), "Invalid Year value");
    TParam* number = params.CreateParam(ftFloat, "F", ptOutput);
    EXPECT_NE(ErrorOf([&] { ParamFromString(number, "1,5"); }), "") << "a comma is no decimal separator here";
}

TEST(NembraCodecs, ParameterListHelpers)
{
    TParams params;
    TParam* first = SetParam(params, "A", Variant::Null());
    SetParam(params, "A", 5, ptOutput);
    SetParam(params, "D", Variant::FromDate(kLeapDay), ptInput, ftDate);
    ASSERT_EQ(params.Count(), 3) << "SetParam always adds";
    EXPECT_EQ(first->DataType(), ftString) << "a null value leaves no type but text";
    EXPECT_EQ(first->ParamType(), ptInput);
    EXPECT_EQ(params[1]->DataType(), ftInteger);
    EXPECT_EQ(params[1]->ParamType(), ptOutput);
    EXPECT_EQ(params[2]->DataType(), ftDate);

    TParams nulls;
    nulls.CreateParam(ftInteger, "N", ptInput);
    nulls.CreateParam(ftInteger, "V", ptInput)->SetValue(3);
    UpdateNullParams(nulls);
    EXPECT_EQ(nulls[0]->DataType(), ftString);
    EXPECT_EQ(nulls[1]->DataType(), ftInteger);
    ClearParamValues(nulls);
    EXPECT_TRUE(nulls[1]->IsNull());
    EXPECT_EQ(nulls[1]->DataType(), ftInteger) << "clearing keeps the type";

    TStringList lines;
    lines.Add("n=17");
    lines.Add("OTHER=x");
    ParamsFromStrings(lines, nulls);
    EXPECT_EQ(nulls[0]->AsString(), "17") << "names match without regard to case";
    EXPECT_EQ(nulls[1]->DataType(), ftInteger);
    EXPECT_TRUE(nulls[1]->IsNull()) << "a parameter without a line becomes null";
}

TEST(NembraCodecs, AssignParamFromVariantConvertsToTheParameterType)
{
    struct Case
    {
        const char* Desc;
        std::string Name;
        TFieldType Type;
        Variant Value;
        TFieldType ExpectedType;
        Variant Expected;
    } cases[] = {
        {"unknown takes the variant", "P", ftUnknown, 2.5, ftFloat, 2.5},
        {"integer from text", "P", ftInteger, "12", ftInteger, 12},
        {"large integer keeps 64 bits", "P", ftLargeint, 5000000000LL, ftLargeint, 5000000000LL},
        {"boolean from a number", "P", ftBoolean, 1, ftBoolean, true},
        {"float from text", "P", ftFloat, "0.5", ftFloat, 0.5},
        {"date from a date-time", "P", ftDate, Variant::FromDate(kLeapDay), ftDate,
         Variant::FromDate(kLeapDay)},
        {"string from a number", "P", ftString, 7, ftString, "7"},
        {"_BLOB_ in the name makes a blob", "p_blob_data", ftString, "bytes", ftBlob, "bytes"},
        {"null clears", "P", ftInteger, Variant::Null(), ftInteger, Variant::Null()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        TParams params;
        TParam* p = params.CreateParam(c.Type, c.Name, ptInput);
        p->SetValue(Variant::Null());
        AssignParamFromVariant(p, c.Value);
        EXPECT_EQ(p->DataType(), c.ExpectedType);
        EXPECT_TRUE(VarSameValue(p->Value(), c.Expected)) << p->Value() << " expected " << c.Expected;
    }
}

// ---------------------------------------------------------------------------
// Datasets

// People with an ID, a name, a born date and a picture; three records.
struct PeopleDataSet
{
    TNembraDataSet DataSet;
    PeopleDataSet()
    {
        OpenWithFields(DataSet,
                       {{"ID", ftInteger}, {"NAME", ftString, 20}, {"BORN", ftDate}, {"PICTURE", ftBlob}});
        DataSet.AppendRecord({1, "Ann", Variant::FromDate(kLeapDay), "GIF"});
        DataSet.AppendRecord({2, "Bo \"B\"", Variant::Null(), Variant::Null()});
        DataSet.AppendRecord({3, Variant::Null(), Variant::FromDate(kLeapDay + 1), ""});
        DataSet.First();
    }
};

TEST(NembraCodecs, DataSetByColumns)
{
    PeopleDataSet people;
    TNembraDataSet& ds = people.DataSet;
    EXPECT_EQ(Visible(DataSetToJSONByColumns(ds)),
              Visible("{\r\n\"ID\":[1,2,3],\"NAME\":[\"Ann\",\"Bo \\\"B\\\"\",null],"
                      "\"BORN\":[\"2024-02-29\",null,\"2024-03-01\"],\"PICTURE\":[\"R0lG\",null,\"\"]}"));
    EXPECT_EQ(ds.Tag(), 3) << "the Tag counts the records written";
    EXPECT_TRUE(ds.Eof());

    ds.First();
    ds.Next();
    ds.SetTag(0);
    EXPECT_EQ(DataSetToJSON(ds, true, 1, true),
              "{\r\n\"ID\":[2],\"NAME\":[\"Bo \\\"B\\\"\"],\"BORN\":[null],\"PICTURE\":[null]}")
        << "from the current record, at most MaxRecords";
    EXPECT_EQ(ds.Tag(), 1);
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 3);
    EXPECT_EQ(DataSetToJSONByColumns(ds, -1, true),
              "{\r\n\"ID\":[3],\"NAME\":[null],\"BORN\":[\"2024-03-01\"],"
              "\"PICTURE\":[\"\"]}")
        << "an excluded blob is written as an empty text";

    ds.First();
    EXPECT_EQ(DataSetToJSONByColumns(ds, 0), "{\r\n\"ID\":[],\"NAME\":[],\"BORN\":[],\"PICTURE\":[]}");
}

TEST(NembraCodecs, ClosedDataSetByColumnsGivesEmptyArrays)
{
    TNembraDataSet ds;
    for (const char* name : {"ID", "NAME"}) {
        TField* field = new TStringField(&ds);
        field->SetFieldName(name);
        field->SetDataSet(&ds);
    }
    EXPECT_EQ(DataSetToJSONByColumns(ds), "{\r\n\"ID\":[],\"NAME\":[]}");
    EXPECT_EQ(DataSetToJSONByRows(ds), "");
    EXPECT_EQ(ds.Tag(), 0);
}

TEST(NembraCodecs, DataSetByRows)
{
    PeopleDataSet people;
    TNembraDataSet& ds = people.DataSet;
    EXPECT_EQ(DataSetToJSONByRows(ds, 2, true),
              "[{\"ID\":1,\"NAME\":\"Ann\",\"BORN\":\"2024-02-29\",\"PICTURE\":\"\"}\r\n,"
              "{\"ID\":2,\"NAME\":\"Bo \\\"B\\\"\",\"BORN\":null,\"PICTURE\":null}\r\n]");
    EXPECT_EQ(DataSetToJSON(ds, false),
              "{\"ID\":3,\"NAME\":null,\"BORN\":\"2024-03-01\",\"PICTURE\":\"\"}\r\n")
        << "a single record stays a bare object";
    EXPECT_EQ(DataSetToJSONByRows(ds), "") << "no record gives an empty text";
    EXPECT_EQ(ds.Tag(), 3);

    ds.First();
    EXPECT_EQ(DataSetBlobsToJSON(ds), "{\"PICTURE\":\"R0lG\"}\r\n");
    EXPECT_TRUE(DataSetHasBlobs(ds));
}

TEST(NembraCodecs, DataSetFromJSONByColumnsFillsByFieldName)
{
    // The sign-in reads its database list this way: members in any order,
    // members the dataset has no field for, and members that are no arrays.
    TNembraDataSet ds;
    ds.FieldDefs().Add("DB_ALIAS", ftString, 30);
    ds.FieldDefs().Add("DB_NAME", ftString, 60);
    ds.FieldDefs().Add("DB_ORDER", ftInteger);
    const TJSONObject reply("{\"DB_NAME\":[\"Main data\",\"Archive\"],\"COMMENT\":[\"x\",\"y\"],"
                            "\"count\":2,\"db_alias\":[\"DATA\",\"ARCH\"],\"DB_ORDER\":[1,2]}");
    DataSetFromJSONByColumns(ds, reply);
    EXPECT_TRUE(ds.Active());
    EXPECT_EQ(Column(ds, "DB_ALIAS"), (std::vector<std::string>{"DATA", "ARCH"}));
    EXPECT_EQ(Column(ds, "DB_NAME"), (std::vector<std::string>{"Main data", "Archive"}));
    EXPECT_EQ(Column(ds, "DB_ORDER"), (std::vector<std::string>{"1", "2"}));
}

TEST(NembraCodecs, DataSetFromJSONByColumnsStopsAtAShortArray)
{
    TNembraDataSet ds;
    ds.FieldDefs().Add("A", ftInteger);
    ds.FieldDefs().Add("B", ftString, 10);
    const TJSONObject reply("{\"A\":[1,2,3],\"B\":[\"one\"]}");
    const std::string message = ErrorOf<EListError>([&] { DataSetFromJSONByColumns(ds, reply); });
    EXPECT_EQ(message, "List index out of bounds (1)");
    EXPECT_EQ(ds.State(), dsBrowse) << "the failing record is cancelled";
    EXPECT_EQ(Column(ds, "A"), (std::vector<std::string>{"1"})) << "the records before it stay";
}

TEST(NembraCodecs, WalkingHelpers)
{
    PeopleDataSet people;
    TNembraDataSet& ds = people.DataSet;
    EXPECT_EQ(DataSetRecordCount(ds), 3);
    EXPECT_EQ(ds.RecNo(), 1) << "counting ends on the first record";

    DataSetPosition(ds, 2);
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 2);

    ds.Next();
    TStringList names;
    names.Add("kept");
    FieldToStrings(ds.FieldByName("NAME"), names);
    ASSERT_EQ(names.Count(), 4);
    EXPECT_EQ(names[2], "Bo \"B\"");
    EXPECT_EQ(names[3], "");
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 3) << "the dataset returns to its record";

    EXPECT_EQ(GetFieldValues(ds.FieldByName("ID"), ", ", '\0'), "1, 2, 3");
    EXPECT_EQ(GetFieldValues(ds.FieldByName("NAME"), ";", '\''), "'Ann';'Bo \"B\"';''");
    EXPECT_TRUE(ds.Eof()) << "the position is left at the end";

    TNembraDataSet plain;
    OpenWithFields(plain, {{"ID", ftInteger}, {"NOTE", ftMemo}});
    EXPECT_FALSE(DataSetHasBlobs(plain)) << "memos are text";
}

} // namespace
