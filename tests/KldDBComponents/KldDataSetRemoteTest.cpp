// The remote hooks of the table dataset, through a derived dataset whose
// hooks are scripted: rows fetched in blocks, changes sent before the table
// takes them, hook failures, and blob values fetched on demand.

#include <gtest/gtest.h>

#include <algorithm>

#include "KldDataSetTestSupport.h"

namespace {

TEST(KldDataSetRemote, RowsAreFetchedBlockByBlockAsTheCursorPassesTheLastOne)
{
    TFakeRemoteDataSet ds;
    ds.InitialRows = 50;
    ds.Blocks = {50, 50};
    TDataSource source;
    source.SetDataSet(&ds);
    TDataSetNoticeLink link;
    link.SetDataSource(&source);
    ds.Open();
    EXPECT_EQ(ds.RecordCount(), 50);
    EXPECT_EQ(ds.FetchBlockCalls, 0);
    ds.MoveBy(49);
    EXPECT_EQ(ds.RecNo(), 50);
    EXPECT_EQ(ds.FetchBlockCalls, 0) << "nothing is fetched before the last loaded row is passed";
    link.Notices.clear();
    ds.Next();
    EXPECT_EQ(ds.FetchBlockCalls, 1);
    EXPECT_EQ(ds.RecNo(), 51);
    EXPECT_EQ(ds.RecordCount(), 100);
    EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "Row 51");
    EXPECT_EQ(link.Count("changed"), 0) << "appending fetched rows does not refresh the dataset";
    ds.MoveBy(50);
    EXPECT_EQ(ds.FetchBlockCalls, 2);
    EXPECT_EQ(ds.RecNo(), 101);
    ds.MoveBy(49);
    EXPECT_FALSE(ds.Eof());
    ds.Next();
    EXPECT_EQ(ds.FetchBlockCalls, 3) << "the third answer is 0";
    EXPECT_TRUE(ds.Eof());
    EXPECT_EQ(ds.RecNo(), 150);
    ds.Last();
    EXPECT_EQ(ds.FetchAllCalls, 1);
    link.SetDataSource(nullptr);
}

TEST(KldDataSetRemote, AnEmptyDataSetIsNeverAskedForABlockButLastLoadsEverything)
{
    TFakeRemoteDataSet ds;
    ds.Blocks = {20, 30};
    ds.Open();
    EXPECT_TRUE(ds.Eof());
    ds.Next();
    ds.First();
    EXPECT_EQ(ds.FetchBlockCalls, 0);
    ds.Last();
    EXPECT_EQ(ds.FetchAllCalls, 1);
    EXPECT_EQ(ds.RecordCount(), 50);
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 50);
    EXPECT_EQ(ds.Calls.front(), "OpenRemoteCursor");
}

TEST(KldDataSetRemote, CloseRemoteCursorIsTheLastStepOfClosing)
{
    TFakeRemoteDataSet ds;
    ds.InitialRows = 3;
    ds.Open();
    ds.Close();
    EXPECT_EQ(ds.CloseCalls, 1);
    EXPECT_EQ(ds.GetDataTable(), nullptr);
    ds.Open();
    EXPECT_EQ(ds.RecordCount(), 3) << "a private container starts afresh";
}

TEST(KldDataSetRemote, AnInsertHookThatRaisesLeavesTheTableAndTheInsertState)
{
    TFakeRemoteDataSet ds;
    ds.InitialRows = 2;
    ds.ThrowOnChange = true;
    ds.Open();
    ds.Append();
    ds.FieldByName("ID")->SetAsInteger(10);
    ds.FieldByName("NAME")->SetAsString("New");
    ExpectKldErrorText([&] { ds.Post(); }, "server refused InsertRow");
    EXPECT_EQ(ds.State(), dsInsert);
    EXPECT_EQ(ds.GetDataTable()->RowCount(), 2);
    ExpectKldErrorText([&] { ds.Post(); }, "server refused InsertRow");
    EXPECT_EQ(ds.Calls, (std::vector<std::string>{"OpenRemoteCursor", "InsertRow New", "InsertRow New"}));
    ds.ThrowOnChange = false;
    ds.Post();
    EXPECT_EQ(ds.GetDataTable()->RowCount(), 3);
    EXPECT_EQ(ds.State(), dsBrowse);
}

TEST(KldDataSetRemote, AHookAnsweringTrueMakesThePostedRowAcceptItsChanges)
{
    for (bool answer : {true, false}) {
        SCOPED_TRACE(answer ? "True" : "False");
        TFakeRemoteDataSet ds;
        ds.InitialRows = 1;
        ds.Answer = answer;
        ds.Open();
        ds.AppendRecord({5, "Five"});
        TKldDataRow* inserted = ds.GetDataRow();
        EXPECT_EQ(inserted->GetState(drsInserted), !answer);
        EXPECT_FALSE(inserted->GetState(drsUpdated));
        ds.First();
        ds.Edit();
        ds.FieldByName("NAME")->SetAsString("Changed");
        ds.Post();
        TKldDataRow* updated = ds.GetDataRow();
        EXPECT_EQ(updated->GetState(drsUpdated), !answer);
        EXPECT_EQ(ds.IsDataModified(), !answer);
        EXPECT_EQ(ds.Calls.back(), "UpdateRow Changed");
    }
}

TEST(KldDataSetRemote, EditingARowThatIsStillInsertedAsksInsertRow)
{
    TFakeRemoteDataSet ds;
    ds.Open();
    ds.AppendRecord({1, "A"});
    ds.Edit();
    ds.FieldByName("NAME")->SetAsString("B");
    ds.Post();
    EXPECT_EQ(ds.Calls, (std::vector<std::string>{"OpenRemoteCursor", "InsertRow A", "InsertRow B"}));
}

TEST(KldDataSetRemote, UpdateRowSeesTheEditCopyAndARaisingHookKeepsTheEdit)
{
    TFakeRemoteDataSet ds;
    ds.InitialRows = 2;
    ds.Open();
    std::string before;
    ds.ThrowOnChange = true;
    ds.Edit();
    ds.FieldByName("NAME")->SetAsString("Renamed");
    ExpectKldErrorText([&] { ds.Post(); }, "server refused UpdateRow");
    EXPECT_EQ(ds.State(), dsEdit);
    TKldDataRow* row = ds.GetDataTable()->GetRow(0);
    EXPECT_TRUE(row->GetState(drsEditing));
    ASSERT_NE(row->EditRow(), nullptr);
    EXPECT_EQ(row->EditRow()->GetAsVariant("NAME").AsString(), "Row 1");
    EXPECT_FALSE(row->GetState(drsUpdated)) << "the table did not complete the update";
    ds.Cancel();
    EXPECT_EQ(row->GetAsVariant("NAME").AsString(), "Row 1");
}

TEST(KldDataSetRemote, DeleteAsksDeleteRowFirstAndARaisingHookKeepsTheRow)
{
    TFakeRemoteDataSet ds;
    ds.InitialRows = 3;
    ds.Open();
    ds.Next();
    ds.ThrowOnChange = true;
    ExpectKldErrorText([&] { ds.Delete(); }, "server refused DeleteRow");
    EXPECT_EQ(ds.GetDataTable()->RowCount(), 3);
    EXPECT_EQ(ds.GetDataTable()->DeletedCount(), 0);
    ds.ThrowOnChange = false;
    ds.Delete();
    EXPECT_EQ(ds.Calls.back(), "DeleteRow Row 2");
    EXPECT_EQ(ds.GetDataTable()->RowCount(), 2);
    EXPECT_EQ(ds.GetDataTable()->DeletedCount(), 1);
    EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "Row 3");
}

TEST(KldDataSetRemote, AFailedUpdateHookUndoesTheCascadeItsValidationRan)
{
    TKldDataContainer container;
    TKldDataTable* parent = container.Tables().Add();
    parent->SetName("Parent");
    parent->Columns().AddColumn("ID", cdtInteger, -1, true)->SetPrimaryKey(true);
    parent->Columns().AddColumn("NAME", cdtString, 10);
    TKldDataTable* child = container.Tables().Add();
    child->SetName("Child");
    child->Columns().AddColumn("ID", cdtInteger, -1, true)->SetPrimaryKey(true);
    child->Columns().AddColumn("PID", cdtInteger);
    TKldDataRelation* relation = container.Relations().Add();
    relation->SetName("Parent_Child");
    relation->SetParentTableName("Parent");
    relation->SetChildTableName("Child");
    relation->SetParentColumnNames("ID");
    relation->SetChildColumnNames("PID");
    relation->SetUpdateAction(draCascade);
    container.SetActive(true);
    TKldDataRow* p = parent->New();
    p->SetAsVariant("ID", 1);
    p->SetAsVariant("NAME", "P");
    parent->Insert(p);
    TKldDataRow* c = child->New();
    c->SetAsVariant("ID", 10);
    c->SetAsVariant("PID", 1);
    child->Insert(c);
    container.AcceptChanges();

    TFakeRemoteDataSet ds;
    ds.SetDataContainer(&container);
    ds.SetDataTableName("Parent");
    ds.Open();
    ds.ThrowOnChange = true;
    ds.Edit();
    ds.FieldByName("ID")->SetAsInteger(2);
    ExpectKldErrorText([&] { ds.Post(); }, "server refused UpdateRow");
    EXPECT_EQ(c->GetAsVariant("PID").AsInteger(), 1) << "the child follows only a completed update";
    EXPECT_FALSE(container.InTransaction());
    ds.ThrowOnChange = false;
    ds.Post();
    EXPECT_EQ(c->GetAsVariant("PID").AsInteger(), 2);
}

// --- Blob streams ---------------------------------------------------------------------------

struct BlobFixture : ::testing::Test
{
    TFakeRemoteDataSet Ds;

    void SetUp() override
    {
        Ds.InitialRows = 1;
        Ds.Open();
        TKldDataRow* row = Ds.GetDataRow();
        row->SetState(drsBlobsNotFetched, true);
        Ds.OnFetchBlobs = [](TKldDataRow* r) {
            r->SetAsVariant("PICTURE", std::string("\x89PNG", 4));
            r->SetState(drsBlobsNotFetched, false);
        };
    }
};

TEST_F(BlobFixture, ReadingFetchesTheRowBlobsFirst)
{
    TField* picture = Ds.FieldByName("PICTURE");
    auto stream = Ds.CreateBlobStream(picture, bmRead);
    EXPECT_EQ(Ds.Calls.back(), "FetchRowBlobs");
    ASSERT_EQ(stream->Size(), 4);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(stream->Memory()), 4), std::string("\x89PNG", 4));
    EXPECT_EQ(stream->Position(), 0);
    EXPECT_FALSE(stream->Modified());
    ExpectKldErrorText([&] { stream->Write("x", 1); }, "Unable to write into a read-only blob stream");
    stream.reset();
    Ds.CreateBlobStream(picture, bmRead).reset();
    EXPECT_EQ(std::count(Ds.Calls.begin(), Ds.Calls.end(), "FetchRowBlobs"), 1)
        << "fetched rows are not fetched again";
}

TEST_F(BlobFixture, AWriteStreamStartsEmptyAndCommitsOnRequest)
{
    TField* picture = Ds.FieldByName("PICTURE");
    auto stream = Ds.CreateBlobStream(picture, bmWrite);
    EXPECT_EQ(Ds.State(), dsEdit);
    EXPECT_EQ(stream->Size(), 0);
    EXPECT_TRUE(stream->Modified());
    EXPECT_EQ(std::count(Ds.Calls.begin(), Ds.Calls.end(), "FetchRowBlobs"), 1)
        << "fetched first, so that a later read does not fetch over the value written";
    stream->Write("abc", 3);
    static_cast<TKldBlobStream*>(stream.get())->Commit();
    EXPECT_FALSE(stream->Modified());
    EXPECT_EQ(picture->AsString(), "abc");
    stream->Write("d", 1);
    stream.reset();
    EXPECT_EQ(picture->AsString(), "abcd") << "destroying a modified stream writes it back";
    Ds.Post();
    EXPECT_EQ(Ds.GetDataTable()->GetRow(0)->GetAsVariant("PICTURE").AsString(), "abcd");
}

TEST_F(BlobFixture, AFailedWriteBackOnDestructionIsNotThrown)
{
    TField* picture = Ds.FieldByName("PICTURE");
    auto stream = Ds.CreateBlobStream(picture, bmReadWrite);
    stream->Write("zz", 2);
    // A field that became read-only refuses the write-back: an explicit
    // commit says so, the destructor only logs it.
    picture->SetReadOnly(true);
    EXPECT_THROW(static_cast<TKldBlobStream*>(stream.get())->Commit(), Exception);
    EXPECT_TRUE(stream->Modified()) << "a failed commit keeps the content for another try";
    EXPECT_NO_THROW(stream.reset());
    EXPECT_EQ(picture->AsString(), std::string("\x89PNG", 4));
}

} // namespace
