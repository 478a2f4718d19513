// What the remote datasets send and how they read replies of every shape,
// over a connection that answers from recorded replies: the catalogue's
// parameters page by page, the plug-in's change calls, and replies the local
// server never gives (an empty handle before the end, odd "data" objects, a
// reply without "Params").
#include "Components/Nembra/NembraDBDataSets.h"
#include "Components/Nembra/NembraLib.h"

#include "support/ErrorOf.h"
#include "support/ScriptedTransport.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using TForm = TSentForm;

const char* const kFields = R"("fields":[{"Name":"COUNTER","DataType":3,"Size":0},{"Name":"NAME","DataType":1,"Size":20}])";

class RemoteDataSetWire : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        Conn.SetConnectionName("SCRIPTED");
        Conn.SetSecretKey("KEY");
        Conn.Open();
        Db.SetDatabaseName("SDB");
        Db.SetConnectionName("SCRIPTED");
        // The database's open sets the session cookie that the request proof uses.
        Conn.Script.Replies.push_back(JsonReply(R"({"DBHandle":"DB1","ServerOS":"LIN","DriverName":"X","Error":""})",
                                                {"Set-Cookie: WSID=S1; Path=/"}));
    }

    void Reply(const std::string& json) { Conn.Script.Replies.push_back(JsonReply(json)); }
    size_t Calls() const { return Conn.Script.Sent.size(); }
    TForm Sent(size_t index) const { return FormOf(Conn.Script.Sent.at(index).Body); }
    std::string Procedure(size_t index) const
    {
        const std::string& url = Conn.Script.Sent.at(index).URL;
        return url.substr(url.rfind('/') + 1);
    }

    std::unique_ptr<TNembraQuery> Query(const std::string& sql)
    {
        auto q = std::make_unique<TNembraQuery>();
        q->SetName("qryWire");
        q->SetDatabaseName("SDB");
        q->SetUseSQL(true);
        q->SQL().SetText(sql);
        return q;
    }

    TScriptedConnection Conn;
    TNembraDatabase Db;
};

TEST_F(RemoteDataSetWire, LaterPagesNameTheCursorNotTheStatement)
{
    auto q = Query("SELECT COUNTER, NAME FROM T WHERE COUNTER > :FROM_ID");
    q->Params().ParamByName("FROM_ID")->SetAsInteger(0);
    q->SetFetchBy(2);
    Reply(std::string(R"({"handle":"C1","eof":false,)") + kFields +
          R"(,"tablefields":null,"Params":null,"data":{"COUNTER":[1,2],"NAME":["a","b"]}})");
    Reply(R"({"handle":"","eof":true,"data":{"NAME":["c"],"COUNTER":[3]}})");
    q->Open();
    q->MoveBy(2); // past the loaded rows: the next page
    q->Last();    // nothing more to fetch
    ASSERT_EQ(Calls(), 3u);
    EXPECT_EQ(Procedure(0), "Nembra.Connect");
    EXPECT_EQ(Sent(0), (TForm{}) ) << "a database without Params sends none";

    const TForm first = Sent(1);
    EXPECT_EQ(Procedure(1), "Nembra.QueryFetch");
    EXPECT_EQ(first.at("SQL"), "SELECT COUNTER, NAME FROM T WHERE COUNTER > :FROM_ID");
    EXPECT_EQ(first.at("Params"), R"({"FROM_ID":{"DataType":3,"ParamType":0,"Value":0}})");
    EXPECT_EQ(first.at("FetchCount"), "2");
    EXPECT_EQ(first.at("DBHandle"), "DB1");
    EXPECT_EQ(first.at("DBDataSetName"), "qryWire");
    EXPECT_EQ(first.at("Secret"), Encrypt("KEY", "S1"));
    EXPECT_EQ(first.count("Handle"), 0u) << "no cursor yet";
    EXPECT_EQ(first.count("FetchBlobs"), 0u) << "blobs come with the rows by default";

    const TForm second = Sent(2);
    EXPECT_EQ(second.at("Handle"), "C1");
    EXPECT_EQ(second.at("FetchCount"), "2");
    EXPECT_EQ(second.at("Secret"), Encrypt("KEY", "S1"));
    EXPECT_EQ(second.count("SQL"), 0u);
    EXPECT_EQ(second.count("Params"), 0u);

    ASSERT_EQ(q->RecordCount(), 3);
    EXPECT_EQ(q->FieldByName("NAME")->AsString(), "c") << "a one-row page is read by name, without a map";
    q->Close();
    EXPECT_EQ(Calls(), 3u) << "a cursor the server ended is not closed again";
}

TEST_F(RemoteDataSetWire, AnEmptyHandleEndsTheFetchWhateverEofSays)
{
    auto q = Query("SELECT COUNTER, NAME FROM T");
    q->SetFetchBy(-1);
    Reply(std::string(R"({"handle":"","eof":false,)") + kFields + R"(,"data":{"COUNTER":[1],"NAME":["a"]}})");
    q->Open();
    EXPECT_EQ(Sent(1).count("FetchCount"), 0u) << "every row at once";
    EXPECT_TRUE(q->FetchCompleted());
    q->Last();
    q->Close();
    EXPECT_EQ(Calls(), 2u);
}

TEST_F(RemoteDataSetWire, PagesOfOddShapes)
{
    struct TCase
    {
        const char* Desc;
        const char* Data;
        int Rows; // -1: the error below
        const char* Error;
    } cases[] = {
        {"first column empty, others longer", R"({"COUNTER":[],"NAME":["a","b"]})", 0, ""},
        {"no members at all", "{}", 0, ""},
        {"members in another order", R"({"NAME":["a","b"],"COUNTER":[1,2]})", 2, ""},
        {"data is no object", "[1]", -1, "Value is not an object"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Desc);
        auto q = Query("SELECT COUNTER, NAME FROM T");
        Reply(std::string(R"({"handle":"","eof":true,)") + kFields + R"(,"data":)" + c.Data + "}");
        if (c.Rows < 0) {
            EXPECT_EQ(ErrorOf([&] { q->Open(); }), c.Error);
            continue;
        }
        q->Open();
        EXPECT_EQ(q->RecordCount(), c.Rows);
        if (c.Rows > 0) {
            EXPECT_EQ(q->FieldByName("COUNTER")->AsInteger(), 1);
        }
    }
}

TEST_F(RemoteDataSetWire, EditStatementsByKeyAndByOldValues)
{
    auto q = Query("SELECT COUNTER, NAME FROM T");
    q->SetTableName("T");
    q->SetKeyFieldName("COUNTER");
    q->SetServerUpdate(true);
    Reply(std::string(R"({"handle":"","eof":true,)") + kFields + "," + R"("tablefields":)" +
          std::string(kFields).substr(9) + R"(,"data":{"COUNTER":[7,9],"NAME":[null,null]}})");
    q->Open();
    EXPECT_EQ(Sent(1).at("TableName"), "T");
    Reply(R"({"RowsAffected":1,"Params":{}})");
    q->Edit();
    q->FieldByName("NAME")->SetAsString("x");
    q->Post();
    TForm update = Sent(2);
    EXPECT_EQ(Procedure(2), "Nembra.QueryExecute");
    EXPECT_EQ(update.at("SQL"), "UPDATE T SET \r\n  NAME = :N1 WHERE COUNTER = :PK");
    EXPECT_EQ(update.at("Params"), R"({"N1":{"DataType":1,"ParamType":1,"Value":"x"},)"
                                   R"("PK":{"DataType":3,"ParamType":1,"Value":7}})");
    EXPECT_EQ(update.at("Secret"), Encrypt("KEY", "S1"));

    // Without a key every ordinary column's old value names the row; an old
    // NULL is compared with IS NULL.
    q->SetKeyFieldName("");
    Reply(R"({"RowsAffected":1,"Params":{}})");
    q->Next();
    q->Edit();
    q->FieldByName("COUNTER")->SetAsInteger(8);
    q->Post();
    EXPECT_EQ(Sent(3).at("SQL"), "UPDATE T SET \r\n  COUNTER = :N0 WHERE \r\n  COUNTER = :O0 AND \r\n  NAME IS NULL  ");
    EXPECT_EQ(Sent(3).at("Params"), R"({"N0":{"DataType":3,"ParamType":1,"Value":8},)"
                                    R"("O0":{"DataType":3,"ParamType":1,"Value":9},)"
                                    R"("O1":{"DataType":1,"ParamType":1,"Value":null}})");

    // A value written again unchanged: nothing to send.
    q->Edit();
    q->FieldByName("COUNTER")->SetAsInteger(8);
    q->Post();
    EXPECT_EQ(Calls(), 4u);
}

TEST_F(RemoteDataSetWire, AnUpdateByKeyOfARowTheServerNeverSawRaises)
{
    auto q = Query("SELECT COUNTER, NAME FROM T");
    q->SetTableName("T");
    q->SetKeyFieldName("COUNTER");
    Reply(std::string(R"({"handle":"","eof":true,)") + kFields + "," + R"("tablefields":)" +
          std::string(kFields).substr(9) + R"(,"data":{"COUNTER":[7],"NAME":["a"]}})");
    q->Open();
    // Kept locally only: the row has no version the server knows.
    q->AppendRecord({11, "new"});
    TKldDataRow* row = q->GetDataRow();
    ASSERT_TRUE(row->GetState(drsInserted));
    row->BeginEdit();
    row->SetAsVariant("NAME", "newer");
    TParams params;
    std::string sql;
    EXPECT_EQ(ErrorOf([&] { q->GetUpdateSQL(row, params, sql); }),
              "Unable to update row which probably was inserted: COUNTER");
    EXPECT_EQ(sql, "");
    row->CancelEdit();
}

TEST_F(RemoteDataSetWire, ExecuteRepliesMustCarryTheirParams)
{
    auto q = Query("UPDATE T SET NAME = 'x'");
    Reply(R"({"RowsAffected":3})");
    EXPECT_EQ(ErrorOf([&] { q->Execute(); }), "Value is not an object");
    EXPECT_EQ(q->RowsAffected(), 3) << "the statement ran";
    EXPECT_EQ(Sent(1).count("KeepPrepared"), 0u);
    Reply(R"({"RowsAffected":3,"Params":{}})");
    q->ExecutePrepared();
    EXPECT_EQ(Sent(2).at("KeepPrepared"), "True");

    TNembraStoredProc sp;
    sp.SetName("spWire");
    sp.SetDatabaseName("SDB");
    Reply(R"({"Params":{"N":{"DataType":3,"ParamType":3,"Value":null}}})");
    sp.SetProcedureName("P");
    EXPECT_EQ(Procedure(Calls() - 1), "Nembra.StoredProcGetParams");
    EXPECT_EQ(Sent(Calls() - 1).at("StoredProcName"), "P");
    ASSERT_EQ(sp.Params().Count(), 1) << "the declaration from the server";
    sp.Params().ParamByName("N")->SetAsInteger(1);
    Reply(R"({"RowsAffected":0,"Params":{"N":{"DataType":3,"ParamType":3,"Value":2}}})");
    sp.ExecutePrepared();
    EXPECT_EQ(Procedure(Calls() - 1), "Nembra.StoredProcExecute");
    EXPECT_EQ(Sent(Calls() - 1).at("KeepPrepared"), "True");
    EXPECT_EQ(Sent(Calls() - 1).at("StoredProcName"), "P");
    EXPECT_EQ(Sent(Calls() - 1).count("Secret"), 0u);
    EXPECT_EQ(sp.Params().ParamByName("N")->AsInteger(), 2);
}

TEST_F(RemoteDataSetWire, PluginsWithoutADatabaseAndTheirChangeCalls)
{
    Conn.Script.Replies.clear(); // no database is opened
    TNembraPlugin p;
    p.SetName("plgWire");
    p.SetConnectionName("SCRIPTED");
    p.SetPluginName("PLG");
    p.SetProcedureName("Rows");
    p.SetServerUpdate(true);
    Reply(std::string(R"({"handle":"P1","eof":true,)") + kFields + R"(,"data":{"COUNTER":[5],"NAME":["n"]}})");
    p.Open();
    TForm fetch = Sent(0);
    EXPECT_EQ(Procedure(0), "Nembra.PluginFetch");
    EXPECT_EQ(fetch.at("DBDataSetName"), "plgWire");
    EXPECT_EQ(fetch.at("PluginName"), "PLG");
    EXPECT_EQ(fetch.at("ProcedureName"), "Rows");
    EXPECT_EQ(fetch.at("Params"), "{}");
    for (const char* absent : {"DBHandle", "Secret", "SQL"})
        EXPECT_EQ(fetch.count(absent), 0u) << absent;

    Reply(R"({"RowsAffected":0,"Warning":"kept"})");
    p.Edit();
    p.FieldByName("NAME")->SetAsString("m");
    p.Post();
    TForm update = Sent(1);
    EXPECT_EQ(Procedure(1), "Nembra.PluginDataChanged");
    EXPECT_EQ(update.at("ChangeType"), "1");
    EXPECT_EQ(update.at("Handle"), "P1");
    EXPECT_EQ(update.at("OldValues"), R"({"COUNTER":{"DataType":3,"ParamType":1,"Value":5},)"
                                      R"("NAME":{"DataType":1,"ParamType":1,"Value":"n"}})");
    EXPECT_EQ(update.at("NewValues"), R"({"COUNTER":{"DataType":3,"ParamType":1,"Value":5},)"
                                      R"("NAME":{"DataType":1,"ParamType":1,"Value":"m"}})");
    EXPECT_EQ(p.RowsAffected(), 1) << "taken as at least one";
    EXPECT_EQ(p.Warning(), "kept");

    p.SetKeyFieldName("COUNTER");
    Reply(R"({"RowsAffected":1,"Warning":""})");
    p.Delete();
    TForm removal = Sent(2);
    EXPECT_EQ(removal.at("ChangeType"), "2");
    EXPECT_EQ(removal.at("OldValues"), R"({"COUNTER":{"DataType":3,"ParamType":1,"Value":5}})");
    EXPECT_EQ(removal.at("NewValues"), "{}");
    EXPECT_EQ(removal.count("SQL"), 0u);

    p.Close();
    EXPECT_EQ(Procedure(3), "Nembra.Close") << "the cursor the plug-in kept is closed";
    EXPECT_EQ(Sent(3).at("Handle"), "P1");
}

TEST_F(RemoteDataSetWire, APluginFollowsANewConnectionName)
{
    Conn.Script.Replies.clear();
    TScriptedConnection other;
    other.SetConnectionName("SCRIPTED2");
    other.Open();
    TNembraPlugin p;
    p.SetConnectionName("SCRIPTED");
    p.SetPluginName("PLG");
    p.SetProcedureName("Rows");
    Reply(std::string(R"({"handle":"","eof":true,)") + kFields + R"(,"data":{"COUNTER":[5],"NAME":["n"]}})");
    p.Open();
    p.Close();
    ASSERT_EQ(Calls(), 1u);

    // The connection the first open bound is let go with the old name.
    p.SetConnectionName("SCRIPTED2");
    other.Script.Replies.push_back(
        JsonReply(std::string(R"({"handle":"","eof":true,)") + kFields + R"(,"data":{"COUNTER":[6],"NAME":["o"]}})"));
    p.Open();
    EXPECT_EQ(Calls(), 1u);
    ASSERT_EQ(other.Script.Sent.size(), 1u);
    EXPECT_EQ(p.FieldByName("COUNTER")->AsInteger(), 6);
}

TEST(RemoteDatabases, RegistryAndBinding)
{
    {
        TNembraDatabase db;
        db.SetDatabaseName("REG_A");
        EXPECT_EQ(TNembraDatabase::FindDatabaseByName("reg_a"), &db);
        db.SetDatabaseName("REG_B");
        EXPECT_EQ(TNembraDatabase::FindDatabaseByName("REG_A"), nullptr) << "a new name moves the registration";
        EXPECT_EQ(TNembraDatabase::FindDatabaseByName("REG_B"), &db);
        db.SetDatabaseName("");
        EXPECT_EQ(NembraDatabases.IndexOf(&db), -1) << "no empty names in the registry";
        db.SetDatabaseName("REG_C");
    }
    EXPECT_EQ(TNembraDatabase::FindDatabaseByName("REG_C"), nullptr) << "a destroyed database leaves the registry";

    TNembraDatabase db;
    db.SetConnectionName("NOWHERE");
    EXPECT_EQ(ErrorOf([&] { db.Open(); }), "Connection not found: NOWHERE");
    EXPECT_FALSE(db.Active());
}

TEST(RemoteDatabases, AConnectionThatGoesLeavesItsDatabasesAndDatasetsClosedOrKept)
{
    auto conn = std::make_unique<TScriptedConnection>();
    conn->SetConnectionName("GOING");
    conn->Open();
    TNembraDatabase db;
    db.SetDatabaseName("GOING_DB");
    db.SetConnectionName("GOING");
    conn->Script.Replies.push_back(JsonReply(R"({"DBHandle":"D","Error":""})"));
    conn->Script.Replies.push_back(JsonReply(std::string(R"({"handle":"C","eof":false,)") + kFields +
                                             R"(,"data":{"COUNTER":[1],"NAME":["a"]}})"));
    TNembraQuery q;
    q.SetDatabaseName("GOING_DB");
    q.SetUseSQL(true);
    q.SQL().SetText("SELECT COUNTER, NAME FROM T");
    q.Open();
    ASSERT_TRUE(db.Active());
    conn->Close(); // the disconnect closes the database and its dataset, without calls
    EXPECT_FALSE(db.Active());
    EXPECT_FALSE(q.Active());
    EXPECT_EQ(conn->Script.Sent.size(), 2u);

    conn->Open();
    conn->Script.Replies.push_back(JsonReply(R"({"DBHandle":"D2","Error":""})"));
    conn->Script.Replies.push_back(JsonReply(std::string(R"({"handle":"C2","eof":false,)") + kFields +
                                             R"(,"data":{"COUNTER":[1],"NAME":["a"]}})"));
    q.Open();
    ASSERT_TRUE(db.Active());
    conn.reset(); // destroyed while active: it disconnects first, then goes
    EXPECT_FALSE(db.Active());
    EXPECT_EQ(db.Connection(), nullptr);
    q.Close();
}

} // namespace
