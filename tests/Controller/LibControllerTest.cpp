// The SQL helpers for applets: the cut of the server's message, parameters
// from variants, and queries, values and statements against a data database
// of the local application server.
#include "Components/Controller/LibController.h"

#include "support/AppServerSession.h"
#include "support/ErrorOf.h"

#include <gtest/gtest.h>

using namespace LibController;

TEST(LibControllerCut, TheUsersTextBetweenTheMarkers)
{
    struct Case
    {
        const char* Message;
        const char* Shown;
    } cases[] = {
        // The blank after the marker stays: the text is not trimmed.
        {"#1000 ORA-20001: No beds left.$END$\nORA-06512: at \"DATA.P\", line 4", " No beds left."},
        {"ORA-20001:Short$END$", "Short"},
        {"$END$ before ORA-20001: the marker", "$END$ before ORA-20001: the marker"},
        {"ORA-20001: no end marker", "ORA-20001: no end marker"},
        {"ORA-20001:$END$ nothing between", "ORA-20001:$END$ nothing between"},
        {"ORA-00001: unique constraint violated", "ORA-00001: unique constraint violated"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CutServerMessage(c.Message), c.Shown) << c.Message;
}

TEST(LibControllerParams, EachDataTypeTakesTheValueItsWay)
{
    TParams params;
    TParam* text = params.CreateParam(ftUnknown, "NAME", ptInput);
    AssignParamFromVariant(text, Variant(int32_t(5)));
    EXPECT_EQ(text->DataType(), ftString);
    EXPECT_EQ(text->AsString(), "5");

    TParam* nullText = params.CreateParam(ftUnknown, "OTHER", ptInput);
    AssignParamFromVariant(nullText, Variant::Null());
    EXPECT_FALSE(nullText->IsNull());
    EXPECT_EQ(nullText->AsString(), "");

    TParam* currency = params.CreateParam(ftCurrency, "PRICE", ptInput);
    AssignParamFromVariant(currency, Variant(2.5));
    EXPECT_EQ(currency->DataType(), ftString);
    EXPECT_EQ(currency->AsString(), "2.5");

    TParam* number = params.CreateParam(ftInteger, "N", ptInput);
    AssignParamFromVariant(number, Variant(std::string("42")));
    EXPECT_EQ(number->DataType(), ftInteger);
    EXPECT_EQ(number->AsInteger(), 42);

    TParam* flag = params.CreateParam(ftBoolean, "F", ptInput);
    AssignParamFromVariant(flag, Variant(true));
    EXPECT_TRUE(flag->AsBoolean());

    TParam* real = params.CreateParam(ftBCD, "R", ptInput);
    AssignParamFromVariant(real, Variant(std::string("1.25")));
    EXPECT_EQ(real->DataType(), ftFloat);
    EXPECT_DOUBLE_EQ(real->AsFloat(), 1.25);

    TParam* when = params.CreateParam(ftDateTime, "D", ptInput);
    AssignParamFromVariant(when, Variant::FromDate(45000.5));
    EXPECT_EQ(when->DataType(), ftDate);
    EXPECT_DOUBLE_EQ(when->AsDateTime(), 45000.5);

    // The name decides before the type: "_BLOB_" in any case.
    TParam* blob = params.CreateParam(ftInteger, "Photo_Blob_1", ptInput);
    AssignParamFromVariant(blob, Variant(std::string("bytes\0x", 7)));
    EXPECT_EQ(blob->DataType(), ftBlob);
    EXPECT_EQ(blob->AsString(), std::string("bytes\0x", 7));
}

TEST(LibControllerQuery, AGivenQueryIsReusedAndKeepsNoOldParameters)
{
    TovnOndrelQuery query;
    query.SetDatabaseName("ELSEWHERE");
    query.Params().CreateParam(ftString, "OLD", ptInput);
    EXPECT_EQ(CreateQuery("SELECT :A FROM DUAL", &query), &query);
    EXPECT_EQ(query.Params().Count(), 0);
    EXPECT_TRUE(query.UseSQL());
    EXPECT_EQ(query.GetSQLText(), "SELECT :A FROM DUAL\r\n");
    EXPECT_EQ(query.DatabaseName(), "ELSEWHERE");

    std::unique_ptr<TovnOndrelQuery> made(CreateQuery("SELECT 1 FROM DUAL"));
    EXPECT_EQ(made->DatabaseName(), "DATA");
    EXPECT_EQ(made->Owner(), nullptr);
}

TEST(LibControllerQuery, ValuesGoToTheParametersByPosition)
{
    // 5 and Null for two parameters: the text "5" and an empty text.
    std::unique_ptr<TovnOndrelQuery> query(
        CreateQuery("SELECT * FROM T WHERE A = :A AND B = :B", {Variant(int32_t(5)), Variant::Null()}));
    ASSERT_EQ(query->Params().Count(), 2);
    EXPECT_EQ(query->Params().Items(0)->Name(), "A");
    EXPECT_EQ(query->Params().Items(0)->DataType(), ftString);
    EXPECT_EQ(query->Params().Items(0)->AsString(), "5");
    EXPECT_FALSE(query->Params().Items(1)->IsNull());
    EXPECT_EQ(query->Params().Items(1)->AsString(), "");

    // More values than parameters: the rest are ignored.
    std::unique_ptr<TovnOndrelQuery> more(CreateQuery("SELECT :X FROM DUAL", {Variant(1), Variant(2)}));
    EXPECT_EQ(more->Params().Count(), 1);

    // Fewer: refused, naming both counts.
    EXPECT_EQ(ErrorOf<EDatabaseError>([] { CreateQuery("SELECT :X, :Y FROM DUAL", {Variant(1)}); }),
              "CreateQuery: 1 values given for 2 parameters");
    TovnOndrelQuery given;
    EXPECT_EQ(ErrorOf<EDatabaseError>([&] { CreateQuery("SELECT :X FROM DUAL", {}, &given); }),
              "CreateQuery: 0 values given for 1 parameters");
}

namespace {

// A session on the local server with the data database "DATA" on the
// alias OAK, as the main window names it.
class LibControllerServerTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        SignInAsAdmin(m_connection, m_server, "MAIN");
        NameDatabase(m_database, "DATA", "OAK", "MAIN");
        m_database.Open();
    }
    TAppServerProcess m_server{{},
                               "INSERT INTO TBL_DBALIASES (COUNTER, ALIAS, DESCRIPTION, C_ENTERPRISE, CURRENT_USE) "
                               "VALUES (60, 'OAK', 'Oak Lodge', 1, 'T');"};
    TNembraConnection m_connection;
    TNembraDatabase m_database;
};

} // namespace

TEST_F(LibControllerServerTest, LookupValueReadsTheFirstFieldOrNull)
{
    EXPECT_EQ(VarToStr(LookupValue("SELECT FACILITY_NAME, STATE FROM TBL_FACILITY WHERE COUNTER = :C", {Variant(2)})),
              "Riverside Residence");
    EXPECT_TRUE(VarIsNull(LookupValue("SELECT FACILITY FROM TBL_FACILITY WHERE FACILITY = :F", {Variant("NONE")})));
    // Opening errors reach the caller as they are.
    EXPECT_NE(ErrorOf([] { LookupValue("SELECT NOPE FROM TBL_FACILITY"); }).find("ORA-00904"), std::string::npos);
}

TEST_F(LibControllerServerTest, ExecuteSQLRunsAndCutsTheProceduresMessage)
{
    ExecuteSQL("UPDATE TBL_FACILITY SET FACILITY_NAME = :N WHERE COUNTER = :C", {Variant("Oak Lodge"), Variant(1)});
    EXPECT_EQ(VarToStr(LookupValue("SELECT FACILITY_NAME FROM TBL_FACILITY WHERE COUNTER = 1")), "Oak Lodge");

    // The seed's trigger raises the suite's way; the user sees its text.
    const std::string message = ErrorOf<EDatabaseError>([] {
        ExecuteSQL("INSERT INTO TBL_RESIDENT (COUNTER, RESIDENT_NAME, ADMISSION_DATE, DISCHARGE_DATE) "
                   "VALUES (900, :NAME, TO_DATE('2024-05-02', 'YYYY-MM-DD'), TO_DATE('2024-05-01', 'YYYY-MM-DD'))",
                   {Variant("Ann Example")});
    });
    EXPECT_EQ(message, " The discharge date cannot be before the admission date.");
    EXPECT_TRUE(VarIsNull(LookupValue("SELECT COUNTER FROM TBL_RESIDENT WHERE COUNTER = 900")));

    // Other errors keep their whole text, as a database error.
    EXPECT_NE(ErrorOf<EDatabaseError>([] { ExecuteSQL("DELETE FROM NO_SUCH_TABLE"); }).find("ORA-00942"),
              std::string::npos);
}
