// Server databases and remote datasets against the local application
// server: pages, edits posted and read back, tables, stored procedures,
// plug-ins, transactions, a lost cursor, blobs on demand, and the server's
// Oracle-form errors as the client meets them.
#include "Components/Nembra/NembraDBDataSets.h"
#include "Components/Nembra/NembraJSON.h"
#include "Components/Nembra/NembraLib.h"

#include "platform/DataSource.h"
#include "platform/DateUtils.h"

#include "support/AppServerSession.h"
#include "support/ErrorOf.h"
#include "support/NembraErrorOf.h"

#include <gtest/gtest.h>

namespace {

// The demo alias and a numbered table in the system database: 120 rows,
// every second one with a picture.
const char* const kSql = R"sql(
INSERT INTO TBL_DBALIASES (COUNTER, ALIAS, DESCRIPTION, C_ENTERPRISE, CURRENT_USE) VALUES (50, 'DEMO', 'Demo', 1, 'T');
CREATE TABLE TBL_NUMBERS (COUNTER INTEGER PRIMARY KEY, NAME VARCHAR2(30) NOT NULL, AMOUNT NUMBER(10,2),
                          STAMP DATE, NOTE CLOB, PIC BLOB);
WITH RECURSIVE N(I) AS (SELECT 1 UNION ALL SELECT I + 1 FROM N WHERE I < 120)
INSERT INTO TBL_NUMBERS SELECT I, 'Number ' || I, I * 1.5, printf('2024-01-%02d 08:00:00', 1 + I % 28),
                               'Note ' || I, CASE WHEN I % 2 = 0 THEN 'pic' || I END FROM N;
)sql";

class RemoteDataSets : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        SignInAsAdmin(Connection, Server, "MAIN");
        NameDatabase(System, "SYSTEM_DATA", "SYSTEM", "MAIN");
        NameDatabase(Data, "DATA", "DEMO", "MAIN");
    }

    // A query in SQL mode on a database.
    std::unique_ptr<TNembraQuery> Query(const std::string& database, const std::string& sql)
    {
        auto q = std::make_unique<TNembraQuery>();
        q->SetName("qryTest");
        q->SetDatabaseName(database);
        q->SetUseSQL(true);
        q->SQL().SetText(sql);
        return q;
    }

    // The first field of the first row of a statement.
    std::string Value(const std::string& database, const std::string& sql)
    {
        auto q = Query(database, sql);
        q->Open();
        return q->IsEmpty() ? "<none>" : q->Fields()[0]->AsString();
    }

    // A call on the main connection outside any dataset.
    TServerError RawCall(const std::string& procedure, const std::vector<std::pair<std::string, std::string>>& params)
    {
        return ServerErrorOf([&] {
            auto request = Connection.GetNembraRequest();
            request->SetProcedureName(procedure);
            for (const auto& [name, value] : params)
                request->SetParam(name, Variant(value));
            request->Execute();
        });
    }

    TAppServerProcess Server{{}, kSql};
    TNembraConnection Connection;
    TNembraDatabase System;
    TNembraDatabase Data;
};

TEST_F(RemoteDataSets, QueryPagesEditsAndReadsBack)
{
    auto q = Query("SYSTEM_DATA", "SELECT * FROM TBL_NUMBERS ORDER BY COUNTER");
    q->SetTableName("TBL_NUMBERS");
    q->SetKeyFieldName("COUNTER");
    q->SetServerUpdate(true);
    q->Open();
    EXPECT_TRUE(System.Active()) << "the dataset opens its database";
    EXPECT_EQ(System.GetDataSetCount(), 1);
    EXPECT_EQ(q->RecordCount(), 50) << "the connection's default page";
    EXPECT_FALSE(q->FetchCompleted());
    EXPECT_FALSE(q->Handle().empty());

    struct TFieldCase
    {
        const char* Name;
        TFieldType Type;
        int Size;
    } fields[] = {{"COUNTER", ftInteger, 0}, {"NAME", ftString, 30}, {"AMOUNT", ftFloat, 0},
                  {"STAMP", ftDateTime, 0},  {"NOTE", ftMemo, 0},    {"PIC", ftBlob, 0}};
    for (const TFieldCase& f : fields) {
        SCOPED_TRACE(f.Name);
        ASSERT_NE(q->FindField(f.Name), nullptr);
        EXPECT_EQ(q->FieldByName(f.Name)->DataType(), f.Type);
        EXPECT_EQ(q->FieldDefs().Find(f.Name)->Size(), f.Size);
    }
    ASSERT_NE(q->TableFieldDefs(), nullptr);
    EXPECT_EQ(q->TableFieldDefs()->Count(), 6);

    q->MoveBy(50);
    EXPECT_EQ(q->RecordCount(), 100) << "moving past the last row loads the next page";
    q->Last();
    EXPECT_EQ(q->RecordCount(), 120);
    EXPECT_TRUE(q->FetchCompleted());
    EXPECT_EQ(q->Handle(), "") << "the last page ends the cursor";

    q->First();
    EXPECT_EQ(q->FieldByName("NAME")->AsString(), "Number 1");
    EXPECT_EQ(q->FieldByName("AMOUNT")->AsFloat(), 1.5);
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn", q->FieldByName("STAMP")->AsDateTime()), "2024-01-02 08:00");
    EXPECT_EQ(q->FieldByName("NOTE")->AsString(), "Note 1");
    q->Edit();
    q->FieldByName("NAME")->SetAsString("First, edited");
    q->FieldByName("AMOUNT")->SetAsFloat(2.25);
    q->Post();
    EXPECT_EQ(q->RowsAffected(), 1);
    EXPECT_FALSE(q->IsDataModified()) << "the server took the change";

    q->Append();
    q->FieldByName("COUNTER")->SetAsInteger(500);
    q->FieldByName("NAME")->SetAsString("O'Neil");
    q->FieldByName("NOTE")->SetAsString("line one\r\nline two\nlast");
    q->Post();
    ASSERT_TRUE(q->Locate("COUNTER", Variant(3), {}));
    q->Delete();

    auto back = Query("SYSTEM_DATA", "SELECT COUNTER, NAME, AMOUNT, NOTE FROM TBL_NUMBERS "
                                     "WHERE COUNTER IN (1, 3, 500) ORDER BY COUNTER");
    back->Open();
    ASSERT_EQ(back->RecordCount(), 2);
    EXPECT_EQ(back->FieldByName("NAME")->AsString(), "First, edited");
    EXPECT_EQ(back->FieldByName("AMOUNT")->AsFloat(), 2.25);
    back->Next();
    EXPECT_EQ(back->FieldByName("NAME")->AsString(), "O'Neil");
    EXPECT_EQ(back->FieldByName("NOTE")->AsString(), "line one\r\nline two\nlast") << "line breaks kept as they were";

    EXPECT_EQ(System.GetDataSetCount(), 2);
    q->Close();
    EXPECT_EQ(System.GetDataSetCount(), 1);
    EXPECT_EQ(q->TableFieldDefs(), nullptr) << "closing drops the table's fields";
}

TEST_F(RemoteDataSets, PageSizesFollowFetchByAndTheControls)
{
    auto all = Query("SYSTEM_DATA", "SELECT COUNTER FROM TBL_NUMBERS");
    all->SetFetchBy(-1);
    all->Open();
    EXPECT_EQ(all->RecordCount(), 120) << "everything in the first request";
    EXPECT_TRUE(all->FetchCompleted());

    // A grid that shows 60 rows asks for pages of at least 60.
    auto shown = Query("SYSTEM_DATA", "SELECT COUNTER FROM TBL_NUMBERS");
    TDataSource source;
    source.SetDataSet(shown.get());
    TDataLink grid;
    grid.SetDataSource(&source);
    grid.SetBufferCount(60);
    shown->Open();
    EXPECT_EQ(shown->RecordCount(), 60) << "one page of 60 fills the 60 rows shown";
    shown->MoveBy(60);
    EXPECT_EQ(shown->RecordCount(), 120) << "and the next page is 60 again";

    auto small = Query("SYSTEM_DATA", "SELECT COUNTER FROM TBL_NUMBERS");
    small->SetFetchBy(7);
    small->Open();
    EXPECT_EQ(small->RecordCount(), 7);
    small->Last();
    EXPECT_EQ(small->RecordCount(), 120);
}

TEST_F(RemoteDataSets, TableDatasetEditsByKeyAndMeetsTheServersErrors)
{
    TNembraTable t;
    t.SetName("tblFacility");
    t.SetDatabaseName("DATA");
    t.SetTableName("TBL_FACILITY");
    t.SetKeyFieldName("COUNTER");
    EXPECT_TRUE(t.ServerUpdate()) << "a table sends its edits by default";
    t.Open();
    EXPECT_EQ(t.RecordCount(), 3);
    EXPECT_EQ(t.GetSQLText(), "select * from TBL_FACILITY");

    ASSERT_TRUE(t.Locate("FACILITY", Variant("OAK"), {}));
    t.Edit();
    t.FieldByName("FACILITY_NAME")->SetAsString("Oak Grove");
    t.Post();
    EXPECT_EQ(Value("DATA", "SELECT FACILITY_NAME FROM TBL_FACILITY WHERE COUNTER = 1"), "Oak Grove");

    // A new row takes its number from the table's sequence.
    const int counter = std::stoi(Value("DATA", "select SEQ_FACILITY.nextval from dual"));
    EXPECT_EQ(counter, 101);
    t.Append();
    t.FieldByName("COUNTER")->SetAsInteger(counter);
    t.FieldByName("FACILITY")->SetAsString("OAK");
    t.FieldByName("CURRENT_USE")->SetAsString("T");
    EXPECT_EQ(ErrorOf([&] { t.Post(); }), "ORA-00001: unique constraint (DEMO.TBL_FACILITY.FACILITY) violated");
    EXPECT_EQ(t.State(), dsInsert) << "the row stays for the user to correct";
    t.FieldByName("FACILITY")->SetAsString("PINE");
    t.Post();

    // A facility with residents cannot go.
    ASSERT_TRUE(t.Locate("FACILITY", Variant("RIVER"), {}));
    EXPECT_EQ(ErrorOf([&] { t.Delete(); }),
              "ORA-02292: integrity constraint (DEMO.FK) violated - child record found");
    EXPECT_EQ(t.RecordCount(), 4);

    // Without a key the row is found by its old values.
    t.SetKeyFieldName("");
    ASSERT_TRUE(t.Locate("FACILITY", Variant("ELM"), {}));
    t.Edit();
    t.FieldByName("STATE")->Clear();
    t.Post();
    t.Edit();
    t.FieldByName("STATE")->SetAsString("WA");
    t.Post();
    EXPECT_EQ(Value("DATA", "SELECT STATE FROM TBL_FACILITY WHERE FACILITY = 'ELM'"), "WA");

    // A required value left empty, and the rule a trigger keeps.
    t.Edit();
    t.FieldByName("FACILITY")->Clear();
    EXPECT_EQ(ErrorOf([&] { t.Post(); }).substr(0, 9), "ORA-01407");
    t.Cancel();
    auto residents = Query("DATA", "SELECT * FROM TBL_RESIDENT");
    residents->SetTableName("TBL_RESIDENT");
    residents->SetKeyFieldName("COUNTER");
    residents->SetServerUpdate(true);
    residents->Open();
    residents->Edit();
    residents->FieldByName("DISCHARGE_DATE")->SetAsDateTime(EncodeDate(2001, 1, 1));
    const std::string raised = ErrorOf([&] { residents->Post(); });
    EXPECT_EQ(raised.substr(0, raised.find("$END$") + 5),
              "ORA-20001: The discharge date cannot be before the admission date.$END$");
}

TEST_F(RemoteDataSets, EditsNeedTheTablesFields)
{
    auto q = Query("SYSTEM_DATA", "SELECT COUNTER, NAME FROM TBL_NUMBERS WHERE COUNTER < 3");
    q->SetServerUpdate(true);
    q->Open();
    q->Edit();
    q->FieldByName("NAME")->SetAsString("x");
    EXPECT_EQ(ErrorOf([&] { q->Post(); }), "Table Name is not specified or is invalid");
    q->Cancel();
    q->Close();
    q->SetTableName("TBL_NUMBERS");
    q->SetKeyFieldName("NOPE");
    q->Open();
    q->Edit();
    q->FieldByName("NAME")->SetAsString("x");
    EXPECT_EQ(ErrorOf([&] { q->Post(); }), "Field not found: NOPE");
}

TEST_F(RemoteDataSets, StoredProcedures)
{
    TNembraStoredProc sp;
    sp.SetName("spResidents");
    sp.SetDatabaseName("DATA");
    EXPECT_EQ(ErrorOf([&] { sp.Open(); }), "Procedure name is not assigned");
    sp.SetProcedureName("FACILITY_RESIDENTS");
    ASSERT_EQ(sp.Params().Count(), 2) << "the declaration comes from the server";
    EXPECT_EQ(sp.Params()[0]->Name(), "C_FACILITY");
    EXPECT_EQ(sp.Params()[0]->ParamType(), ptInput);
    EXPECT_EQ(sp.Params()[1]->ParamType(), ptOutput);
    sp.Params().ParamByName("C_FACILITY")->SetAsInteger(1);
    sp.Open();
    EXPECT_EQ(sp.RecordCount(), 3);
    EXPECT_EQ(sp.FieldByName("RESIDENT_NAME")->AsString(), "Agnes Miller");
    EXPECT_EQ(sp.Params().ParamByName("RESIDENT_COUNT")->AsInteger(), 3) << "outputs come with the first page";
    sp.Close();

    TNembraStoredProc charge;
    charge.SetName("spCharge");
    charge.SetDatabaseName("DATA");
    charge.SetProcedureName("CHARGE_RESIDENT");
    charge.Params().ParamByName("C_RESIDENT")->SetAsInteger(2);
    charge.Params().ParamByName("AMOUNT")->SetAsFloat(10.5);
    charge.ExecutePrepared();
    EXPECT_EQ(charge.Params().ParamByName("AMOUNT")->AsFloat(), 10.5) << "the new balance of a resident at 0";
    charge.Params().ParamByName("C_RESIDENT")->SetAsInteger(999);
    const std::string raised = ErrorOf([&] { charge.Execute(); });
    EXPECT_EQ(raised.substr(0, raised.find("$END$") + 5), "ORA-20001: Resident 999 does not exist.$END$");
}

TEST_F(RemoteDataSets, PluginsWithAndWithoutADatabase)
{
    TNembraPlugin echo;
    echo.SetName("plgEcho");
    echo.SetConnectionName("MAIN");
    EXPECT_EQ(ErrorOf([&] { echo.Open(); }), "Plugin name is not assigned");
    echo.SetPluginName("PLG_DEMO");
    echo.SetProcedureName("Echo");
    echo.UpdateParams();
    ASSERT_EQ(echo.Params().Count(), 3);
    echo.Params().ParamByName("TEXT")->SetAsString("ab");
    echo.Params().ParamByName("COUNT")->SetAsInteger(3);
    echo.Open();
    EXPECT_EQ(echo.RecordCount(), 3);
    EXPECT_EQ(echo.FieldByName("TEXT")->AsString(), "ab");
    echo.Close();
    echo.Execute();
    EXPECT_EQ(echo.Params().ParamByName("TEXT_OUT")->AsString(), "ababab");
    EXPECT_EQ(echo.Warning(), "");
    echo.Params().ParamByName("COUNT")->SetAsInteger(0);
    echo.Execute();
    EXPECT_EQ(echo.Warning(), "Nothing to repeat");

    // Edits of a plug-in's rows go to the plug-in.
    TNembraPlugin residents;
    residents.SetName("plgResidents");
    residents.SetDatabaseName("DATA");
    residents.SetPluginName("PLG_DEMO");
    residents.SetProcedureName("Residents");
    residents.SetServerUpdate(true);
    residents.Params().CreateParam(ftInteger, "C_FACILITY", ptInput)->SetAsInteger(2);
    residents.Open();
    EXPECT_EQ(residents.RecordCount(), 2);
    residents.Edit();
    residents.FieldByName("ROOM")->SetAsString("15");
    residents.Post();
    EXPECT_EQ(residents.RowsAffected(), 1);
    residents.Append();
    residents.FieldByName("COUNTER")->SetAsInteger(300);
    residents.FieldByName("RESIDENT_NAME")->SetAsString("Farid Haddad");
    residents.Post();
    EXPECT_EQ(residents.Warning(), "Resident added");
    EXPECT_EQ(Value("DATA", "SELECT C_FACILITY FROM TBL_RESIDENT WHERE COUNTER = 300"), "2");
    residents.SetKeyFieldName("COUNTER");
    residents.Delete();
    EXPECT_EQ(Value("DATA", "SELECT COUNT(*) FROM TBL_RESIDENT WHERE COUNTER = 300"), "0");
    EXPECT_EQ(Value("DATA", "SELECT ROOM FROM TBL_RESIDENT WHERE COUNTER = 4"), "15");
}

TEST_F(RemoteDataSets, TransactionsAndStatements)
{
    EXPECT_EQ(ErrorOf([&] { Data.StartTransaction(); }), "Unable to perform this operation on inactive database");
    Data.Open();
    EXPECT_EQ(ErrorOf([&] { Data.Commit(); }), "Tranasction is not started");
    Data.StartTransaction();
    EXPECT_EQ(ErrorOf([&] { Data.StartTransaction(); }), "Tranasction is already started");
    EXPECT_EQ(Data.ExecSQL("UPDATE TBL_RESIDENT SET ROOM = 'X' WHERE C_FACILITY = 1"), 3);
    Data.Rollback();
    EXPECT_FALSE(Data.InTransaction());
    EXPECT_EQ(Value("DATA", "SELECT COUNT(*) FROM TBL_RESIDENT WHERE ROOM = 'X'"), "0");

    Data.StartTransaction();
    Data.ExecSQL("UPDATE TBL_RESIDENT SET ROOM = 'X' WHERE COUNTER = 1");
    Data.Commit();
    EXPECT_EQ(Value("DATA", "SELECT COUNT(*) FROM TBL_RESIDENT WHERE ROOM = 'X'"), "1");

    TStringList script;
    script.Add("UPDATE TBL_RESIDENT SET ROOM = 'Y' WHERE COUNTER = 1;");
    script.Add("UPDATE TBL_RESIDENT SET ROOM = 'Y' WHERE C_FACILITY = 2;");
    TNembraProfiling profiling;
    EXPECT_EQ(Data.ExecBatch(script, true, &profiling), 3);
    EXPECT_GT(profiling.BytesReceived, 0);
    EXPECT_EQ(ErrorOf([&] { Data.ExecBatch(script, false); }), "ORA-00933: SQL command not properly ended")
        << "without script mode the text is one statement";

    TStringList names;
    Data.GetTableNames(names);
    EXPECT_GE(names.IndexOf("TBL_RESIDENT"), 0);
    EXPECT_LT(names.IndexOf("OVN_SEQUENCES"), 0);
    Data.GetObjectNames("", "storedproc", names);
    EXPECT_GE(names.IndexOf("FACILITY_RESIDENTS"), 0);
    Connection.GetPluginNames(names);
    EXPECT_GE(names.IndexOf("PLG_DEMO"), 0);
}

TEST_F(RemoteDataSets, ALostCursorStopsTheFetchAndKeepsTheRows)
{
    auto q = Query("SYSTEM_DATA", "SELECT COUNTER FROM TBL_NUMBERS ORDER BY COUNTER");
    q->Open();
    ASSERT_FALSE(q->Handle().empty());
    // The server lets go of the cursor behind the dataset's back.
    EXPECT_EQ(RawCall("Nembra.Close", {{"Handle", q->Handle()}}), TServerError{});
    EXPECT_EQ(ErrorOf([&] { q->Last(); }),
              "The connection has been reset since you fetched these data. Please use \"Refresh Data\" to update "
              "the view.");
    EXPECT_TRUE(q->FetchCompleted());
    EXPECT_EQ(q->Handle(), "");
    EXPECT_EQ(q->RecordCount(), 50);
    q->Last();
    EXPECT_EQ(q->RecordCount(), 50) << "fetching has stopped";
    EXPECT_EQ(RawCall("Nembra.Close", {{"Handle", "NO-SUCH-CURSOR"}}).Code, 1007);
}

TEST_F(RemoteDataSets, BlobsOnDemandFindTheirRowAfterLocalDeletes)
{
    auto q = Query("SYSTEM_DATA", "SELECT COUNTER, NOTE, PIC FROM TBL_NUMBERS ORDER BY COUNTER");
    q->SetFetchBlobs(false);
    q->SetFetchBy(-1);
    q->Open();
    EXPECT_TRUE(q->FetchCompleted());
    EXPECT_FALSE(q->Handle().empty()) << "the cursor stays for the blobs";
    // Two rows go locally and the rest is shown backwards: neither the
    // record number nor the index in the table is the row's place on the server.
    q->Delete();
    q->Delete();
    q->SetIndexFields("-COUNTER");
    ASSERT_TRUE(q->Locate("COUNTER", Variant(10), {}));
    TKldDataRow* row = q->GetDataRow();
    EXPECT_TRUE(row->GetState(drsBlobsNotFetched));
    EXPECT_EQ(q->FieldByName("NOTE")->AsString(), "Note 10") << "reading the value fetches it";
    EXPECT_FALSE(row->GetState(drsBlobsNotFetched));
    EXPECT_FALSE(row->GetState(drsUpdated)) << "the fetched values count as unchanged";
    EXPECT_EQ(q->FieldByName("PIC")->AsString(), "pic10");
    EXPECT_EQ(q->RowsAffected(), 1);

    ASSERT_TRUE(q->Locate("COUNTER", Variant(11), {}));
    {
        auto blob = q->CreateBlobStream(q->FieldByName("PIC"), bmRead);
    }
    EXPECT_TRUE(q->FieldByName("PIC")->IsNull()) << "NULL stays NULL";
    EXPECT_EQ(q->FieldByName("NOTE")->AsString(), "Note 11");

    const std::string handle = q->Handle();
    q->Close();
    EXPECT_EQ(RawCall("Nembra.Close", {{"Handle", handle}}).Code, 1007) << "closing the dataset freed the cursor";
}

TEST_F(RemoteDataSets, DatabasesCloseTheirDatasetsAndFollowTheirConnection)
{
    auto first = Query("SYSTEM_DATA", "SELECT COUNTER FROM TBL_NUMBERS");
    auto second = Query("SYSTEM_DATA", "SELECT NAME FROM TBL_NUMBERS");
    second->SetName("qrySecond");
    first->Open();
    second->Open();
    const std::string handles[] = {first->Handle(), second->Handle()};
    EXPECT_EQ(System.GetDataSetCount(), 2);
    System.Close();
    EXPECT_FALSE(first->Active());
    EXPECT_FALSE(second->Active());
    EXPECT_EQ(System.DBHandle(), "");
    for (const std::string& handle : handles)
        EXPECT_EQ(RawCall("Nembra.Close", {{"Handle", handle}}).Code, 1007) << "each dataset closed its cursor";

    first->Open();
    Connection.Close();
    EXPECT_FALSE(System.Active()) << "a disconnected connection closes its databases";
    EXPECT_FALSE(first->Active());
    EXPECT_EQ(System.Connection(), nullptr);
    EXPECT_EQ(ErrorOf([&] { first->Open(); }), "Connection is not active");
    Connection.Open();
    first->Open();
    EXPECT_EQ(first->RecordCount(), 50);
}

TEST_F(RemoteDataSets, SettingsAndTheirErrors)
{
    TNembraQuery q;
    EXPECT_EQ(ErrorOf([&] { q.Open(); }), "Database is not assigned");
    q.SetDatabaseName("NOWHERE");
    EXPECT_EQ(ErrorOf([&] { q.Open(); }), "Database is not assigned");
    EXPECT_EQ(ErrorOf([&] { TNembraDatabase::GetDatabaseByName("NOWHERE"); }), "Database not found: NOWHERE");
    EXPECT_EQ(&TNembraDatabase::GetDatabaseByName("data"), &Data);
    q.SetDatabaseName("DATA");
    EXPECT_EQ(ErrorOf([&] { q.Open(); }), "SQL query is empty");
    TNembraTable t;
    t.SetDatabaseName("DATA");
    EXPECT_EQ(ErrorOf([&] { t.Open(); }), "Table name is not assigned");
    TNembraDBDataSet base;
    EXPECT_EQ(ErrorOf([&] { base.Execute(); }), "TNembraDBDataSet does not support Execute");

    // Fields named as invisible are hidden once open.
    auto hidden = Query("DATA", "SELECT COUNTER, FACILITY FROM TBL_FACILITY");
    hidden->InvisibleFields().Add("COUNTER");
    hidden->SetReportProgress(true); // the page comes as a progress stream's result
    hidden->Open();
    EXPECT_EQ(hidden->RecordCount(), 3);
    EXPECT_FALSE(hidden->FieldByName("COUNTER")->Visible());
    EXPECT_TRUE(hidden->FieldByName("FACILITY")->Visible());
    EXPECT_EQ(ErrorOf([&] { hidden->Execute(); }), "qryTest: Cannot perform this operation on an open dataset");

    // Params follow the statement's text, keeping values of names that stay.
    q.SQL().SetText("SELECT * FROM TBL_RESIDENT WHERE C_FACILITY = :F");
    EXPECT_EQ(q.Params().Count(), 0) << "not while the schema is in use";
    q.SetUseSQL(true);
    q.SQL().SetText("SELECT * FROM TBL_RESIDENT WHERE C_FACILITY = :F");
    ASSERT_EQ(q.Params().Count(), 1);
    q.Params()[0]->SetAsInteger(2);
    q.SQL().SetText("SELECT * FROM TBL_RESIDENT WHERE C_FACILITY = :F AND ROOM = :R");
    ASSERT_EQ(q.Params().Count(), 2);
    EXPECT_EQ(q.Params().ParamByName("F")->AsInteger(), 2);
    q.Params().ParamByName("R")->SetAsString("12");
    q.Open();
    EXPECT_EQ(q.RecordCount(), 1);
}

TEST_F(RemoteDataSets, QueriesBuiltFromTheirSchema)
{
    TNembraQuery q;
    q.SetName("qrySchema");
    q.SetDatabaseName("DATA");
    q.SQLSchema().Select().SetText("COUNTER, RESIDENT_NAME, BALANCE, ADMISSION_DATE");
    q.SQLSchema().From().SetText("TBL_RESIDENT");
    q.SQLSchema().Where().SetText("CURRENT_USE = :USE");
    q.SQLSchema().OrderBy().SetText("RESIDENT_NAME");
    ASSERT_EQ(q.Params().Count(), 1) << "the schema's statement names the parameter";
    q.Params()[0]->SetAsString("T");
    q.Open();
    EXPECT_EQ(q.RecordCount(), 5);

    // The user's filters run on the server: LIKE there is case-sensitive,
    // so the case-insensitive condition compares upper case.
    TSQLQuerySchema& schema = q.SQLSchema();
    schema.ApplySimpleFilter(schema.CreateFilterExpression("RESIDENT_NAME", "like", "mil", false),
                             schema.CreateOrderByExpression("BALANCE", true, false));
    EXPECT_TRUE(q.Active());
    EXPECT_EQ(q.RecordCount(), 1);
    EXPECT_EQ(q.FieldByName("RESIDENT_NAME")->AsString(), "Agnes Miller");
    schema.ApplySimpleFilter(schema.CreateFilterExpression("RESIDENT_NAME", "like", "mil", true), "");
    EXPECT_EQ(q.RecordCount(), 0);
    schema.ApplySimpleFilter(schema.CreateFilterExpression("BALANCE", ">", "100.5", false),
                             schema.CreateOrderByExpression("BALANCE", true, false));
    ASSERT_EQ(q.RecordCount(), 2);
    EXPECT_EQ(q.FieldByName("RESIDENT_NAME")->AsString(), "Dmitri Volkov");
    schema.ApplySimpleFilter(schema.CreateFilterExpression("ADMISSION_DATE", ">=", "01/01/2022", false), "");
    EXPECT_EQ(q.RecordCount(), 2);
    schema.ClearSimpleFilter();
    EXPECT_TRUE(q.Active()) << "an open query opens again";
    EXPECT_EQ(q.RecordCount(), 5);
    q.Close();
    schema.ApplySimpleFilter("BALANCE > 0", "");
    EXPECT_TRUE(q.Active()) << "a simple filter opens the query";
    EXPECT_EQ(q.RecordCount(), 3);
    q.Close();
    schema.ClearSimpleFilter();
    EXPECT_FALSE(q.Active()) << "clearing does not open a closed query";
}

} // namespace
