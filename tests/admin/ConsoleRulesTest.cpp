// The rules of the explorer's consoles without any widget or server: which
// text opens as a query, the log texts, CSV quoting, the parameter grid's
// texts and typed values, the shared history and the console actions.
#include "admin/ConsoleRules.h"
#include "admin/SQLHistory.h"

#include "platform/DateUtils.h"
#include "platform/FMTBcd.h"
#include "platform/Params.h"

#include "support/ErrorOf.h"

#include <gtest/gtest.h>

#include <functional>

TEST(ConsoleRules, QueryOrStatement)
{
    struct Case
    {
        const char* Desc;
        std::string Text;
        bool Script;
        bool Query;
    };
    const Case cases[] = {
        {"upper case", "SELECT * FROM TBL_USERS", false, true},
        {"leading blanks, lower case", "   select * from tbl_users", false, true},
        {"leading line breaks and tabs", "\r\n\t  Select 1 from dual", false, true},
        {"the first six letters decide", "SELECTED", false, true},
        {"a WITH clause is a statement", "WITH X AS (SELECT 1 A FROM DUAL) SELECT * FROM X", false, false},
        {"an update", "update tbl_users set first_name = 'x'", false, false},
        {"a script is never a query", "select * from tbl_users", true, false},
        {"too short", "  sel", false, false},
        {"empty", "", false, false},
        {"a comment before the select", "-- list\nselect 1 from dual", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(IsQueryText(c.Text, c.Script), c.Query);
    }
}

TEST(ConsoleRules, LogTexts)
{
    const std::string timing =
        "Compression: 0, Server Processing: 3, Decompression: 0, JSON Parsing: 1, Total: 9, "
        "Additional: 0\r\n  Bytes Sent: 10, Bytes Received: 20";
    EXPECT_EQ(SQLExecutedLog(timing, TFetchedCount{12, 5}, 0),
              (std::vector<std::string>{"SQL Executed:\r\n  " + timing, "Fetched 12 rows in 5 columns"}));
    EXPECT_EQ(SQLExecutedLog(timing, std::nullopt, 7),
              (std::vector<std::string>{"SQL Executed:\r\n  " + timing, "Rows affected: 7"}));
    EXPECT_EQ(
        SQLFailedLog("ORA-00942: table or view does not exist"),
        (std::vector<std::string>{"SQL Executed with errors:", "ORA-00942: table or view does not exist"}));
    EXPECT_EQ(ProcExecutedLog("StoredProc", timing, std::nullopt),
              (std::vector<std::string>{"StoredProc executed:\r\n  " + timing}));
    EXPECT_EQ(ProcExecutedLog("Plugin", timing, TFetchedCount{3, 2}),
              (std::vector<std::string>{"Plugin executed:\r\n  " + timing, "Fetched 3 rows in 2 columns"}));
    EXPECT_EQ(ProcFailedLog("Plugin", "boom"),
              (std::vector<std::string>{"Plugin executed with errors:", "boom"}));
    EXPECT_STREQ(SUnknownDatabase, "Unknown database");
}

TEST(ConsoleRules, CSVQuoting)
{
    struct Case
    {
        const char* Desc;
        std::string Value;
        std::string Quoted;
    };
    const Case cases[] = {
        {"plain", "Agnes", "\"Agnes\""},
        {"empty value", "", "\"\""},
        {"embedded quote doubled", "say \"hi\"", "\"say \"\"hi\"\"\""},
        {"only a quote", "\"", "\"\"\"\""},
        {"comma stays inside the quotes", "a,b", "\"a,b\""},
        {"line break stays inside the quotes", "a\r\nb", "\"a\r\nb\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(CSVQuote(c.Value), c.Quoted);
    }
    EXPECT_EQ(CSVLine({"ID", "", "O\"Neil"}), "\"ID\",\"\",\"O\"\"Neil\"");
    EXPECT_EQ(CSVLine({}), "");
}

TEST(ConsoleRules, ParamTypesAndReturnsRows)
{
    const std::pair<TParamType, std::string> names[] = {{ptUnknown, "Unknown"},
                                                        {ptInput, "Input"},
                                                        {ptOutput, "Output"},
                                                        {ptInputOutput, "InputOutput"},
                                                        {ptResult, "Result"}};
    for (const auto& [type, name] : names)
        EXPECT_EQ(ParamTypeText(type), name);
    EXPECT_FALSE(ParamValueReadOnly(ptUnknown));
    EXPECT_FALSE(ParamValueReadOnly(ptInput));
    EXPECT_FALSE(ParamValueReadOnly(ptInputOutput));
    EXPECT_TRUE(ParamValueReadOnly(ptOutput));
    EXPECT_TRUE(ParamValueReadOnly(ptResult));

    struct Case
    {
        const char* Desc;
        std::vector<TParamType> Types;
        bool ReturnsRows;
    };
    const Case cases[] = {{"no parameters", {}, true},
                          {"inputs only", {ptInput, ptInput}, true},
                          {"an unknown one", {ptUnknown}, true},
                          {"an output", {ptInput, ptOutput}, false},
                          {"an input-output", {ptInputOutput}, false},
                          {"a result", {ptResult, ptInput}, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TParams params;
        for (size_t i = 0; i < c.Types.size(); ++i)
            params.CreateParam(ftInteger, "P" + std::to_string(i), c.Types[i]);
        EXPECT_EQ(ParamsReturnRows(params), c.ReturnsRows);
    }
}

TEST(ConsoleRules, TypedValuesConvertByDataType)
{
    struct Case
    {
        const char* Desc;
        TFieldType Type;
        std::string Text;
        std::function<void(const TParam&)> Check;
    };
    const Case cases[] = {
        {"string", ftString, "12 ab", [](const TParam& p) { EXPECT_EQ(p.AsString(), "12 ab"); }},
        {"memo", ftMemo, "line", [](const TParam& p) { EXPECT_EQ(p.AsString(), "line"); }},
        {"fixed char", ftFixedChar, "x", [](const TParam& p) { EXPECT_EQ(p.AsString(), "x"); }},
        {"wide string", ftWideString, "\xC3\xA9t\xC3\xA9",
         [](const TParam& p) { EXPECT_EQ(p.AsString(), "\xC3\xA9t\xC3\xA9"); }},
        {"small int", ftSmallint, "-12", [](const TParam& p) { EXPECT_EQ(p.AsInteger(), -12); }},
        {"integer", ftInteger, " 42", [](const TParam& p) { EXPECT_EQ(p.AsInteger(), 42); }},
        {"word", ftWord, "65535", [](const TParam& p) { EXPECT_EQ(p.AsInteger(), 65535); }},
        {"large int", ftLargeint, "9000000000",
         [](const TParam& p) { EXPECT_EQ(p.AsLargeInt(), 9000000000LL); }},
        {"float", ftFloat, "2.5", [](const TParam& p) { EXPECT_DOUBLE_EQ(p.AsFloat(), 2.5); }},
        {"currency", ftCurrency, "10.25", [](const TParam& p) { EXPECT_DOUBLE_EQ(p.AsCurrency(), 10.25); }},
        {"BCD through currency: four decimals", ftBCD, "1.23456",
         [](const TParam& p) { EXPECT_EQ(BcdToStr(p.AsBCD()), "1.2346"); }},
        {"formatted BCD keeps every digit", ftFMTBcd, "1.23456789",
         [](const TParam& p) { EXPECT_EQ(BcdToStr(p.AsBCD()), "1.23456789"); }},
        {"boolean", ftBoolean, "True", [](const TParam& p) { EXPECT_TRUE(p.AsBoolean()); }},
        {"date", ftDate, DateToStr(EncodeDate(2026, 12, 11)),
         [](const TParam& p) { EXPECT_DOUBLE_EQ(p.AsDateTime(), EncodeDate(2026, 12, 11)); }},
        {"time", ftTime, TimeToStr(EncodeTime(8, 30, 0, 0)),
         [](const TParam& p) { EXPECT_DOUBLE_EQ(p.AsDateTime(), EncodeTime(8, 30, 0, 0)); }},
        {"date-time", ftDateTime, DateTimeToStr(EncodeDate(2026, 12, 11) + EncodeTime(8, 30, 0, 0)),
         [](const TParam& p) {
             EXPECT_DOUBLE_EQ(p.AsDateTime(), EncodeDate(2026, 12, 11) + EncodeTime(8, 30, 0, 0));
         }},
        {"anything else as text", ftBlob, "raw", [](const TParam& p) { EXPECT_EQ(p.AsString(), "raw"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TParams params;
        TParam* param = params.CreateParam(c.Type, "P", ptInput);
        SetParamValueText(*param, c.Text);
        c.Check(*param);
        EXPECT_EQ(param->DataType(), c.Type) << "the declared type stays";
        EXPECT_FALSE(param->IsNull());
    }
}

TEST(ConsoleRules, BadTypedValueRaisesAndKeepsTheOldValue)
{
    struct Case
    {
        const char* Desc;
        TFieldType Type;
        std::string Old;
        std::string Bad;
    };
    const Case cases[] = {
        {"integer", ftInteger, "7", "seven"},
        {"integer overflow", ftInteger, "7", "99999999999"},
        {"small int out of range", ftSmallint, "7", "40000"},
        {"word below 0", ftWord, "7", "-1"},
        {"large int", ftLargeint, "7", "1.5"},
        {"float", ftFloat, "1.5", "1,5x"},
        {"currency", ftCurrency, "1.5", "abc"},
        {"BCD", ftBCD, "1.5", "x"},
        {"formatted BCD", ftFMTBcd, "1.5", "1e5"},
        {"boolean", ftBoolean, "True", "perhaps"},
        {"date", ftDate, DateToStr(EncodeDate(2026, 12, 11)), "31.02.x"},
        {"empty integer", ftInteger, "7", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TParams params;
        TParam* param = params.CreateParam(c.Type, "P", ptInput);
        SetParamValueText(*param, c.Old);
        const std::string before = ParamValueText(*param);
        EXPECT_NE(ErrorOf<EConvertError>([&] { SetParamValueText(*param, c.Bad); }), "");
        EXPECT_EQ(ParamValueText(*param), before);
        EXPECT_EQ(param->DataType(), c.Type);
    }
}

// Two consoles share one history; each sees only its own entries.
TEST(SQLHistory, OneEntryPerDistinctTextPerConsole)
{
    TSQLHistory history;
    TObject first;
    TObject second;
    int pos1 = -1, count1 = 0, pos2 = -1, count2 = 0;

    struct Step
    {
        const char* Desc;
        TObject* Console;
        std::string Text;
        int Position;
        int Count;
    };
    const Step steps[] = {
        {"first text", &first, "select 1 from dual", 0, 1},
        {"second text", &first, "select 2 from dual", 1, 2},
        {"the same text again, other case", &first, "SELECT 1 FROM DUAL", 0, 2},
        {"another console's own first entry", &second, "select 2 from dual", 0, 1},
        {"a third text after the other console's", &first, "select 3 from dual", 2, 3},
        {"again the second text", &first, "select 2 FROM dual", 1, 3},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.Desc);
        int& pos = s.Console == &first ? pos1 : pos2;
        int& count = s.Console == &first ? count1 : count2;
        history.AddText(s.Console, s.Text, pos, count);
        EXPECT_EQ(pos, s.Position);
        EXPECT_EQ(count, s.Count);
        EXPECT_EQ(history.CountOf(s.Console), s.Count);
    }
    EXPECT_EQ(history.Count(), 4);
    EXPECT_EQ(history.EntryOf(&first, 0), "select 1 from dual") << "the text as it first ran";
    EXPECT_EQ(history.EntryOf(&first, 2), "select 3 from dual") << "ordinals skip other consoles' entries";
    EXPECT_EQ(history.EntryOf(&second, 0), "select 2 from dual");
    EXPECT_NE(ErrorOf([&] { history.EntryOf(&second, 1); }), "");

    history.Reset(&first, pos1, count1);
    EXPECT_EQ(pos1, -1);
    EXPECT_EQ(count1, 0);
    EXPECT_EQ(history.Count(), 1);
    EXPECT_EQ(history.Objects(0), &second);
}

TEST(ConsoleRules, ActionStates)
{
    struct Case
    {
        const char* Desc;
        TConsoleActionInputs In;
        TConsoleActionStates Out;
    };
    TConsoleActionInputs sqlOne{true, true, true, false, false, 0, 1};
    TConsoleActionInputs sqlMiddle{true, true, true, true, true, 1, 3};
    TConsoleActionInputs sqlLast{true, true, true, false, true, 2, 3};
    TConsoleActionInputs sqlEmpty{true, true, false, true, false, -1, 0};
    TConsoleActionInputs procReady{true, false, true, true, true, -1, 0};
    TConsoleActionInputs procNotReady{true, false, false, true, false, -1, 0};
    const Case cases[] = {
        {"no console", {}, {}},
        {"SQL console, one entry: previous and next off",
         sqlOne,
         {true, true, true, false, false, true, true, true, true, false, false}},
        {"fixed SQL console in the middle of its history",
         sqlMiddle,
         {true, true, true, true, true, true, true, true, false, true, true}},
        {"at the last entry", sqlLast, {true, true, true, true, true, true, true, true, true, true, false}},
        {"SQL console that cannot run",
         sqlEmpty,
         {false, false, false, false, false, true, true, true, false, false, false}},
        {"parameter console with an open result",
         procReady,
         {true, false, false, true, true, false, false, true, false, false, false}},
        {"parameter console not ready",
         procNotReady,
         {false, false, false, false, false, false, false, true, false, false, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        const TConsoleActionStates s = ConsoleActionStates(c.In);
        EXPECT_EQ(s.Execute, c.Out.Execute);
        EXPECT_EQ(s.FetchAll, c.Out.FetchAll);
        EXPECT_EQ(s.Script, c.Out.Script);
        EXPECT_EQ(s.ShowBlobs, c.Out.ShowBlobs);
        EXPECT_EQ(s.ExportCSV, c.Out.ExportCSV);
        EXPECT_EQ(s.LoadSQL, c.Out.LoadSQL);
        EXPECT_EQ(s.SaveSQL, c.Out.SaveSQL);
        EXPECT_EQ(s.ShowSQLInfo, c.Out.ShowSQLInfo);
        EXPECT_EQ(s.CloseConsole, c.Out.CloseConsole);
        EXPECT_EQ(s.PreviousSQL, c.Out.PreviousSQL);
        EXPECT_EQ(s.NextSQL, c.Out.NextSQL);
    }
}
