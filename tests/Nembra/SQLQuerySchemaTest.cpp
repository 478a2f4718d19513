// The query schema: the statement it writes, the conditions and sort terms
// of a user's filter in the server's dialect, its change events and the
// simple filter's effect on the dataset.
#include "Components/Nembra/NembraDataSet.h"
#include "Components/Nembra/SQLQuerySchema.h"

#include "support/ErrorOf.h"

#include <gtest/gtest.h>

namespace {

// A local dataset with one field of each kind a filter meets.
class TSchemaDataSet : public TNembraDataSet
{
  public:
    TSchemaDataSet()
    {
        FieldDefs().Add("NAME", ftString, 40);
        FieldDefs().Add("AGE", ftInteger);
        FieldDefs().Add("BALANCE", ftFloat);
        FieldDefs().Add("BORN", ftDateTime);
        FieldDefs().Add("NOTES", ftMemo);
        FieldDefs().Add("ACTIVE", ftBoolean);
    }
    ~TSchemaDataSet() override { Close(); }
};

struct TFilterCase
{
    const char* Desc;
    const char* Field;
    const char* Relation;
    const char* Value;
    bool CaseSensitive;
    const char* Expected;
};

TEST(SQLQuerySchema, FilterExpressionsInTheServersDialect)
{
    TSchemaDataSet ds;
    ds.Open();
    ds.FieldByName("AGE")->SetOrigin("T1.AGE");
    TSQLQuerySchema schema(&ds);
    const TFilterCase cases[] = {
        {"text, case-insensitive like", "NAME", "like", "smi", false, "UPPER(NAME) like '%SMI%'"},
        {"text with its own pattern", "NAME", "Not Like", "S%h", true, "NAME Not Like 'S%h'"},
        {"quotes doubled", "NAME", "=", "O'Neil", true, "NAME = 'O''Neil'"},
        {"memo is text", "NOTES", "<>", "x", false, "UPPER(NOTES) <> 'X'"},
        {"empty value with =", "AGE", "=", "", false, "T1.AGE  IS  NULL"},
        {"empty value with another relation", "NAME", "<>", "", false, "NAME  IS NOT  NULL"},
        {"number, origin used", "AGE", ">=", " 42 ", false, "T1.AGE >= 42"},
        {"large whole number kept", "AGE", "=", "12345678901234567", false, "T1.AGE = 12345678901234567"},
        {"number with a point", "BALANCE", "<", "1.50", false, "BALANCE < 1.5"},
        {"like on a number is text", "AGE", "like", "4", false, "UPPER(T1.AGE) like '%4%'"},
        {"date with a time of day", "BORN", ">", "03/15/2024 10:30", false,
         "BORN > TO_DATE('2024-03-15 10:30:00', 'yyyy-mm-dd hh24:mi:ss')"},
        {"date alone", "BORN", "=", "03/15/2024", false, "BORN = TO_DATE('2024-03-15', 'yyyy-mm-dd hh24:mi:ss')"},
        {"other types as typed", "ACTIVE", "=", "1", false, "ACTIVE = 1"},
    };
    for (const TFilterCase& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(schema.CreateFilterExpression(c.Field, c.Relation, c.Value, c.CaseSensitive), c.Expected);
    }
}

TEST(SQLQuerySchema, NumericValuesMustBeNumbers)
{
    TSchemaDataSet ds;
    ds.Open();
    TSQLQuerySchema schema(&ds);
    // Whatever the user's locale, a comma is no decimal separator here, and
    // nothing but a number reaches the statement.
    const TFormatSettings saved = FormatSettings;
    FormatSettings.DecimalSeparator = ',';
    for (const char* typed : {"1,5", "1 OR 1=1", "0x10", "12abc"}) {
        SCOPED_TRACE(typed);
        EXPECT_THROW(schema.CreateFilterExpression("BALANCE", "=", typed, false), EConvertError);
        EXPECT_THROW(schema.CreateFilterExpression("AGE", "=", typed, false), EConvertError);
    }
    EXPECT_EQ(schema.CreateFilterExpression("BALANCE", "=", "2.5", false), "BALANCE = 2.5");
    // A value of another type goes in as typed, so only as one word.
    for (const char* typed : {"1 OR 1=1", "1)", "'x'", "1;", "--", "1--", "-", "  "}) {
        SCOPED_TRACE(typed);
        EXPECT_EQ(ErrorOf<EConvertError>([&] { schema.CreateFilterExpression("ACTIVE", "=", typed, false); }),
                  std::string("'") + typed + "' is not a valid filter value");
    }
    EXPECT_EQ(schema.CreateFilterExpression("ACTIVE", "<>", " TRUE ", false), "ACTIVE <> TRUE");
    EXPECT_EQ(schema.CreateFilterExpression("ACTIVE", "=", "-1", false), "ACTIVE = -1");
    FormatSettings = saved;
    // A field the dataset lacks, or any field of a schema without a dataset,
    // is the platform's field-not-found error.
    EXPECT_EQ(ErrorOf<EDatabaseError>([&] { schema.CreateFilterExpression("NOPE", "=", "1", false); }),
              "Field 'NOPE' not found");
    const TSQLQuerySchema alone;
    EXPECT_EQ(ErrorOf<EDatabaseError>([&] { alone.CreateFilterExpression("NAME", "=", "x", false); }),
              "Field 'NAME' not found");
}

TEST(SQLQuerySchema, OrderByExpressions)
{
    TSchemaDataSet ds;
    ds.Open();
    TSQLQuerySchema schema(&ds);
    EXPECT_EQ(schema.CreateOrderByExpression("NAME", true, false), "UPPER(NAME) DESC");
    EXPECT_EQ(schema.CreateOrderByExpression("NAME", false, true), "NAME ASC");
    EXPECT_EQ(schema.CreateOrderByExpression("AGE", false, false), "AGE ASC");
}

TEST(SQLQuerySchema, StatementsFromTheClauses)
{
    TSQLQuerySchema schema;
    EXPECT_EQ(schema.GetSQL(), "") << "nothing to select from";
    schema.Other().SetText("SELECT 1 FROM DUAL");
    EXPECT_EQ(schema.GetSQL(), "SELECT * \r\nSELECT 1 FROM DUAL\r\n");
    schema.Other().Clear();
    schema.Select().SetText("A,\r\n  B");
    schema.From().SetText("  T  ");
    schema.Where().SetText("A > 1");
    schema.OrderBy().SetText("B");
    EXPECT_EQ(schema.GetSQL(), "SELECT A,\r\n  B\r\nFROM T\r\nWHERE A > 1\r\nORDER BY B\r\n");
    schema.ApplyFilter("B = 2", "A DESC");
    EXPECT_EQ(schema.GetFilter(), " (A > 1) AND (B = 2) ");
    EXPECT_EQ(schema.GetSQL(), "SELECT A,\r\n  B\r\nFROM T\r\nWHERE (A > 1) AND (B = 2)\r\nORDER BY A DESC\r\n")
        << "the user's sort replaces the stored one";
    EXPECT_TRUE(schema.IsFiltered());
    EXPECT_FALSE(schema.IsSimpleFiltered());
    schema.Where().Clear();
    EXPECT_EQ(schema.GetFilter(), "B = 2");
}

TEST(SQLQuerySchema, ChangesAreAnnouncedOnceAfterAnUpdate)
{
    TSQLQuerySchema schema;
    int changes = 0;
    schema.OnChange = [&](TObject*) { ++changes; };
    schema.From().Add("T");
    EXPECT_EQ(changes, 1);
    schema.SetUserFilter("A = 1");
    schema.SetUserFilter("A = 1");
    EXPECT_EQ(changes, 2) << "the same filter is no change";
    schema.BeginUpdate();
    schema.Where().Add("X");
    schema.OrderBy().Add("Y");
    schema.BeginUpdate();
    schema.SetUserSort("Z");
    schema.EndUpdate();
    EXPECT_EQ(changes, 2);
    schema.EndUpdate();
    EXPECT_EQ(changes, 3);

    TSQLQuerySchema copy;
    copy.Assign(schema);
    EXPECT_EQ(copy.GetSQL(), schema.GetSQL());
    EXPECT_EQ(copy.UserFilter(), "A = 1");
    copy.Assign(nullptr);
    EXPECT_FALSE(copy.Defined());
    EXPECT_EQ(copy.UserSort(), "");
}

TEST(SQLQuerySchema, SimpleFiltersCloseAndReopenOnlyWhenTheyChange)
{
    TSchemaDataSet ds;
    ds.Open();
    TSQLQuerySchema schema(&ds);
    int closes = 0;
    ds.AfterClose = [&](TDataSet*) { ++closes; };
    schema.ApplySimpleFilter("A = 1", "");
    EXPECT_EQ(closes, 1);
    EXPECT_TRUE(ds.Active());
    EXPECT_TRUE(schema.IsSimpleFiltered());
    schema.ApplySimpleFilter("A = 1", "");
    EXPECT_EQ(closes, 1) << "the filter in force does not close the dataset";

    // The dialog is kept until the filter is reset; the hook shows it.
    static std::string shownFor;
    OnExecuteQueryBuilder = [](TSQLQuerySchema* s, const std::string& field) {
        shownFor = field;
        s->SetQueryBuilder(std::make_unique<TObject>());
    };
    schema.Execute("NAME");
    OnExecuteQueryBuilder = nullptr;
    EXPECT_EQ(shownFor, "NAME");
    EXPECT_NE(schema.QueryBuilder(), nullptr);
    schema.ResetFilter();
    EXPECT_EQ(schema.QueryBuilder(), nullptr);
    EXPECT_EQ(schema.UserFilter(), "");
    EXPECT_TRUE(ds.Active()) << "an open dataset opens again";
    schema.Execute("NAME"); // without the dialog's unit nothing happens
}

// The schema owns its query builder once: handing it the one it holds keeps
// it alive, another one replaces (and destroys) it.
TEST(SQLQuerySchema, TheQueryBuilderIsOwnedOnce)
{
    static int alive = 0;
    struct TCounted : TObject
    {
        TCounted() { ++alive; }
        ~TCounted() override { --alive; }
    };
    {
        TSQLQuerySchema schema;
        schema.SetQueryBuilder(std::make_unique<TCounted>());
        TObject* held = schema.QueryBuilder();
        schema.SetQueryBuilder(std::unique_ptr<TObject>(held));
        EXPECT_EQ(schema.QueryBuilder(), held);
        EXPECT_EQ(alive, 1) << "the builder held is not destroyed when handed again";
        EXPECT_EQ(held->ClassName(), "TObject"); // still a live object
        schema.SetQueryBuilder(std::make_unique<TCounted>());
        EXPECT_NE(schema.QueryBuilder(), nullptr);
        EXPECT_EQ(alive, 1) << "the builder held before is destroyed when replaced";
    }
    EXPECT_EQ(alive, 0) << "the schema destroys its builder";
}

} // namespace
