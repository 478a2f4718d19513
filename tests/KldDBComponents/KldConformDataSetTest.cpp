// Further cases of the table dataset: record numbers, deleting at the end,
// the filter switches, searching backwards, old values, the field
// definitions made from columns, blob streams and the row whose blobs are
// fetched, master/detail changes, copying and loading, rows added or deleted
// by other code while the dataset edits or inserts, and the errors raised.

#include <gtest/gtest.h>

#include "KldDataSetTestSupport.h"

namespace {

struct ConformPeople : ::testing::Test
{
    PeopleTable People;
    TKldDataSet Ds;

    void SetUp() override
    {
        People.Add(1, "Smith", 10);
        People.Add(2, "Jones", 20);
        People.Add(3, "Smithers", 30);
        People.Add(4, "Brown", 40);
        Ds.SetDataContainer(&People.Container);
        Ds.SetDataTableName("People");
    }
};

TEST_F(ConformPeople, RecordNumbersAndDeletingTheLastRecord)
{
    Ds.Open();
    EXPECT_EQ(Ds.RecNo(), 1);
    Ds.SetRecNo(3);
    EXPECT_EQ(Ds.FieldByName("ID")->AsInteger(), 3);
    Ds.SetRecNo(0);
    EXPECT_EQ(Ds.RecNo(), 3);
    Ds.SetRecNo(5);
    EXPECT_EQ(Ds.RecNo(), 3);
    Ds.Last();
    EXPECT_EQ(Ds.RecNo(), 4);
    Ds.Delete();
    EXPECT_EQ(Ds.RecNo(), 3);
    EXPECT_EQ(Ds.FieldByName("ID")->AsInteger(), 3);
}

TEST_F(ConformPeople, FindRecordSearchesBothWaysWithTheHandler)
{
    Ds.Open();
    Ds.OnFilterRecord = [](TDataSet* ds, bool& accept) {
        accept = ds->FieldByName("NAME")->AsString().rfind("Smith", 0) == 0;
    };
    EXPECT_TRUE(Ds.FindLast());
    EXPECT_EQ(Ds.FieldByName("ID")->AsInteger(), 3);
    EXPECT_TRUE(Ds.FindPrior());
    EXPECT_EQ(Ds.FieldByName("ID")->AsInteger(), 1);
    EXPECT_FALSE(Ds.FindPrior());
    EXPECT_EQ(Ds.FieldByName("ID")->AsInteger(), 1);
    EXPECT_TRUE(Ds.FindFirst());
    EXPECT_TRUE(Ds.FindNext());
    EXPECT_EQ(Ds.FieldByName("ID")->AsInteger(), 3);
    EXPECT_FALSE(Ds.FindNext());
    EXPECT_EQ(Ds.FieldByName("ID")->AsInteger(), 3);
}

TEST_F(ConformPeople, FilterSwitchesGoToTheFirstRecord)
{
    Ds.Open();
    Ds.SetRecNo(3);
    Ds.SetFiltered(false);
    EXPECT_EQ(Ds.RecNo(), 1);
    Ds.SetFilter("AMOUNT > 15");
    EXPECT_EQ(Ds.RecordCount(), 4);
    Ds.SetFiltered(true);
    EXPECT_EQ(Ds.RecordCount(), 3);
    Ds.Next();
    Ds.SetFilter("AMOUNT > 25");
    EXPECT_EQ(Ds.RecordCount(), 2);
    EXPECT_EQ(Ds.RecNo(), 1);
    EXPECT_EQ(Ds.FieldByName("ID")->AsInteger(), 3);
}

TEST_F(ConformPeople, OldValuesOfEditedAndInsertedRows)
{
    Ds.Open();
    Ds.Edit();
    Ds.FieldByName("NAME")->SetAsString("X");
    EXPECT_EQ(Ds.FieldByName("NAME")->OldValue().AsString(), "Smith");
    Ds.Post();
    EXPECT_EQ(Ds.FieldByName("NAME")->OldValue().AsString(), "Smith");
    Ds.Insert();
    Ds.FieldByName("NAME")->SetAsString("Y");
    EXPECT_TRUE(Ds.FieldByName("NAME")->OldValue().IsNull());
    Ds.FieldByName("ID")->SetAsInteger(9);
    Ds.Post();
    EXPECT_TRUE(Ds.FieldByName("NAME")->OldValue().IsNull());
}

TEST_F(ConformPeople, WritingAFieldInBrowseStateStartsAnEdit)
{
    Ds.Open();
    Ds.FieldByName("NAME")->SetAsString("Q");
    EXPECT_EQ(Ds.State(), dsEdit);
    Ds.Cancel();
    EXPECT_EQ(Ds.FieldByName("NAME")->AsString(), "Smith");
    ExpectKldErrorText([&] { Ds.Post(); }, "Dataset not in edit or insert mode");
}

TEST_F(ConformPeople, APostedEditStaysOnItsRowInTheOrder)
{
    Ds.SetOrderBy("NAME");
    Ds.Open();
    EXPECT_EQ(Ds.FieldByName("NAME")->AsString(), "Brown");
    Ds.Edit();
    Ds.FieldByName("NAME")->SetAsString("Zed");
    Ds.Post();
    EXPECT_EQ(Ds.FieldByName("NAME")->AsString(), "Zed");
    EXPECT_EQ(Ds.RecNo(), 4);
    Ds.SetOrderBy("-ID;+NAME");
    EXPECT_EQ(Column(Ds, "ID"), (std::vector<std::string>{"4", "3", "2", "1"}));
}

TEST_F(ConformPeople, AnInsertGoesToTheCursorPosition)
{
    Ds.Open();
    Ds.SetRecNo(3);
    Ds.Insert();
    Ds.FieldByName("ID")->SetAsInteger(7);
    Ds.Post();
    EXPECT_EQ(Ds.RecNo(), 3);
    EXPECT_EQ(Column(Ds, "ID"), (std::vector<std::string>{"1", "2", "7", "3", "4"}));
}

TEST_F(ConformPeople, ARowDeletedElsewhereCancelsTheEditAndKeepsTheEditedRow)
{
    Ds.Open();
    Ds.SetRecNo(3);
    Ds.Edit();
    Ds.FieldByName("NAME")->SetAsString("Changed");
    People.Table->Delete(People.Table->GetRow(0));
    EXPECT_EQ(Ds.State(), dsBrowse);
    EXPECT_EQ(Ds.FieldByName("NAME")->AsString(), "Smithers");
    EXPECT_EQ(Ds.RecNo(), 2);
}

TEST_F(ConformPeople, DeletedRowsMakeTheDataModified)
{
    Ds.Open();
    EXPECT_FALSE(Ds.IsDataModified());
    Ds.Delete();
    EXPECT_TRUE(Ds.IsDataModified());
}

TEST_F(ConformPeople, AnEmptyDataSetHasNoActiveRow)
{
    Ds.SetFilter("ID > 100");
    Ds.SetFiltered(true);
    Ds.Open();
    EXPECT_TRUE(Ds.IsEmpty());
    EXPECT_TRUE(Ds.FieldByName("NAME")->IsNull());
    EXPECT_EQ(Ds.RecNo(), 0);
    EXPECT_EQ(Ds.GetDataRow(), nullptr);
}

TEST_F(ConformPeople, ABookmarkOfADeletedRowIsNotFound)
{
    Ds.Open();
    Ds.SetRecNo(2);
    TBookmark mark = Ds.GetBookmark();
    Ds.Delete();
    ExpectKldErrorText([&] { Ds.GotoBookmark(mark); }, "Record not found");
}

TEST_F(ConformPeople, DefinitionsFromColumnsTakeSizeReadOnlyAndPosition)
{
    TKldDataColumn* ro = People.Table->Columns().AddColumn("RO", cdtString, 0);
    ro->SetReadOnly(true);
    People.Table->Columns().AddColumn("REF", cdtUnknown);
    People.Table->Columns().AddColumn("AFTER", cdtInteger);
    Ds.Open();
    EXPECT_EQ(Ds.FieldDefs().Find("RO")->Size(), 1);
    EXPECT_TRUE(Ds.FieldDefs().Find("RO")->Attributes().Contains(faReadonly));
    EXPECT_TRUE(Ds.FieldByName("RO")->ReadOnly());
    EXPECT_EQ(Ds.FieldDefs().FindDef("REF"), nullptr);
    EXPECT_EQ(Ds.FieldDefs().Find("AFTER")->FieldNo(), 7);
    EXPECT_TRUE(Ds.FieldByName("ID")->Required());
}

TEST(ConformCopy, ATargetWithoutFieldsRaises)
{
    PeopleTable people;
    people.Add(1, "A");
    TKldDataSet source;
    source.SetDataContainer(&people.Container);
    source.SetDataTableName("People");
    source.Open();
    TKldDataSet target;
    ExpectKldErrorText([&] { target.CopyFrom(&source, false); }, "No fields defined in the target dataset");
}

TEST(ConformBlob, ReadAndReadWriteStreams)
{
    TKldDataSet ds;
    ds.FieldDefs().Add("B", ftBlob, 0);
    ds.Open();
    ds.Append();
    ds.FieldByName("B")->SetAsString("abc");
    ds.Post();
    auto stream = ds.CreateBlobStream(ds.FieldByName("B"), bmRead);
    EXPECT_EQ(stream->Size(), 3);
    ExpectKldErrorText([&] { stream->Write("x", 1); }, "Unable to write into a read-only blob stream");
    auto rw = ds.CreateBlobStream(ds.FieldByName("B"), bmReadWrite);
    EXPECT_EQ(ds.State(), dsEdit);
    rw->SetPosition(3);
    rw->Write("d", 1);
    rw.reset();
    EXPECT_EQ(ds.FieldByName("B")->AsString(), "abcd");
}

} // namespace

namespace {

TEST_F(ConformPeople, LookupAndFilterSeeCalculatedFields)
{
    auto* id = new TIntegerField(&Ds);
    id->SetFieldName("ID");
    id->SetDataSet(&Ds);
    auto* name = new TStringField(&Ds);
    name->SetFieldName("NAME");
    name->SetSize(20);
    name->SetDataSet(&Ds);
    auto* calc = new TStringField(&Ds);
    calc->SetFieldName("UPPER");
    calc->SetFieldKind(fkCalculated);
    calc->SetSize(20);
    calc->SetDataSet(&Ds);
    Ds.OnCalcFields = [](TDataSet* ds) {
        ds->FieldByName("UPPER")->SetAsString(AnsiUpperCase(ds->FieldByName("NAME")->AsString()));
    };
    Ds.SetFilter("ID < 3");
    Ds.SetFiltered(true);
    Ds.Open();
    EXPECT_EQ(VarToStr(Ds.Lookup("ID", 2, "UPPER")), "JONES");
    EXPECT_TRUE(Ds.Lookup("ID", 4, "UPPER").IsNull());
    Ds.SetIgnoreFilteringForLookup(true);
    EXPECT_EQ(VarToStr(Ds.Lookup("ID", 4, "UPPER")), "BROWN");
    EXPECT_EQ(Ds.FieldByName("UPPER")->AsString(), "SMITH");
    Ds.SetFilter("UPPER = 'JONES'");
    EXPECT_EQ(Ds.RecordCount(), 1);
    EXPECT_EQ(Ds.FieldByName("ID")->AsInteger(), 2);
    EXPECT_TRUE(Ds.FieldByName("UPPER")->OldValue().IsNull());
}

TEST_F(ConformPeople, SearchingAClosedDataSetRaises)
{
    ExpectKldErrorText([&] { Ds.LocateObject("ID", 1, {}); }, "closed dataset");
    ExpectKldErrorText([&] { Ds.Lookup("ID", 1, "NAME"); }, "closed dataset");
}

TEST_F(ConformPeople, AFilterThatDoesNotParseFailsTheOpen)
{
    Ds.SetFilter("ID = = 3");
    Ds.SetFiltered(true);
    EXPECT_THROW(Ds.Open(), Exception);
    EXPECT_FALSE(Ds.Active());
}

TEST_F(ConformPeople, AFilterResultThatIsNoBooleanShowsTheRow)
{
    People.Add(5, Variant::Null(), 50);
    Ds.SetFilter("NAME");
    Ds.SetFiltered(true);
    Ds.Open();
    EXPECT_EQ(Ds.RecordCount(), 5);
}

TEST_F(ConformPeople, ATableDataChangeCancelsAPendingInsert)
{
    Ds.Open();
    Ds.Insert();
    Ds.FieldByName("ID")->SetAsInteger(8);
    People.Table->BeginUpdate();
    People.Table->EndUpdate();
    EXPECT_EQ(Ds.State(), dsBrowse);
    EXPECT_EQ(Ds.RecordCount(), 4);
}

TEST(ConformPrivate, ThePrivateTableIsNamedTable)
{
    TKldDataSet ds;
    ds.SetDataTableName("Foo");
    ds.FieldDefs().Add("A", ftInteger, 0);
    ds.Open();
    EXPECT_EQ(ds.DataTableName(), "Table");
}

TEST(ConformVariant, AFailingRecordKeepsTheRecordsBeforeIt)
{
    TKldDataSet ds;
    Variant data = VarArrayCreate({0, 0, 0, 5}, varVariant);
    data.SetElement({0, 0}, "ID");
    data.SetElement({0, 1}, static_cast<int>(ftInteger));
    data.SetElement({0, 2}, 0);
    data.SetElement({0, 3}, 1);
    data.SetElement({0, 4}, "bad");
    data.SetElement({0, 5}, 3);
    EXPECT_THROW(ds.LoadFromVariant(data, true), Exception);
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_EQ(ds.RecordCount(), 1);
}

TEST(ConformCopy, ASourceAtItsEndCopiesNothing)
{
    PeopleTable people;
    people.Add(1, "A");
    TKldDataSet source;
    source.SetDataContainer(&people.Container);
    source.SetDataTableName("People");
    source.Open();
    source.Next();
    ASSERT_TRUE(source.Eof());
    TKldDataSet target;
    target.CopyFrom(&source, false);
    EXPECT_TRUE(target.Active());
    EXPECT_EQ(target.RecordCount(), 0);
}

struct ConformMasterDetail : ::testing::Test
{
    TKldDataContainer Container;
    TKldDataSet Master;
    TKldDataSet Detail;
    TDataSource MasterSource;

    void SetUp() override
    {
        TKldDataTable* owners = Container.Tables().Add();
        owners->SetName("Owners");
        owners->Columns().AddColumn("ID", cdtInteger);
        owners->Columns().AddColumn("ALT", cdtInteger);
        TKldDataTable* pets = Container.Tables().Add();
        pets->SetName("Pets");
        pets->Columns().AddColumn("OWNER", cdtInteger);
        pets->Columns().AddColumn("OTHER", cdtInteger);
        pets->Columns().AddColumn("NAME", cdtString, 10);
        Container.SetActive(true);
        for (auto [id, alt] : {std::pair{1, 2}, {2, 1}}) {
            TKldDataRow* row = owners->New();
            row->SetAsVariant("ID", id);
            row->SetAsVariant("ALT", alt);
            owners->Insert(row);
        }
        for (auto [owner, name] : {std::pair{1, "Rex"}, {2, "Tom"}, {1, "Fido"}}) {
            TKldDataRow* row = pets->New();
            row->SetAsVariant("OWNER", owner);
            row->SetAsVariant("OTHER", owner);
            row->SetAsVariant("NAME", name);
            pets->Insert(row);
        }
        Master.SetDataContainer(&Container);
        Master.SetDataTableName("Owners");
        MasterSource.SetDataSet(&Master);
        Detail.SetDataContainer(&Container);
        Detail.SetDataTableName("Pets");
        Detail.SetMasterSource(&MasterSource);
        Detail.SetMasterFields("ID");
        Detail.SetDetailFields("OWNER");
        Detail.SetOrderBy("NAME");
    }
};

TEST_F(ConformMasterDetail, ChangedLinkFieldsAndLookups)
{
    Master.Open();
    Detail.Open();
    EXPECT_EQ(Column(Detail, "NAME"), (std::vector<std::string>{"Fido", "Rex"}));
    Detail.SetMasterFields("ALT");
    EXPECT_EQ(Column(Detail, "NAME"), (std::vector<std::string>{"Tom"}));
    Detail.SetDetailFields("");
    EXPECT_EQ(Detail.RecordCount(), 3);
    Detail.SetDetailFields("OTHER");
    EXPECT_EQ(Column(Detail, "NAME"), (std::vector<std::string>{"Tom"}));
    int seen = -1;
    Detail.OnNewRecord = [&](TDataSet* ds) { seen = ds->FieldByName("OTHER")->AsInteger(); };
    Detail.Append();
    EXPECT_EQ(seen, 2);
    Detail.Cancel();
    Detail.SetIgnoreFilteringForLookup(true);
    EXPECT_EQ(VarToStr(Detail.Lookup("NAME", "Rex", "OWNER")), "1");
    Detail.SetIgnoreFilteringForLookup(false);
    EXPECT_TRUE(Detail.Lookup("NAME", "Rex", "OWNER").IsNull());
}

class TCancelHook : public TKldDataSet
{
  public:
    using TKldDataSet::InternalCancel;
};

TEST(ConformCancel, CancellingOutsideAnEditRaises)
{
    TCancelHook ds;
    ds.FieldDefs().Add("A", ftInteger, 0);
    ds.Open();
    ExpectKldErrorText([&] { ds.InternalCancel(); }, "Dataset not in edit or insert mode");
}

} // namespace

namespace {

// The blobs fetched are those of the row a blob value is read from, also
// when that row is not the active record (a lookup, a filter test).
TEST(ConformBlob, TheRowWhoseBlobIsReadIsTheOneFetched)
{
    struct Case
    {
        const char* Desc;
        std::function<std::string(TFakeRemoteDataSet&)> Read;
        int FetchedId;
        std::string Value;
    };
    const Case cases[] = {
        {"active record", [](TFakeRemoteDataSet& ds) { return ds.FieldByName("PICTURE")->AsString(); }, 1,
         "blob 1"},
        {"lookup of another row",
         [](TFakeRemoteDataSet& ds) { return VarToStr(ds.Lookup("ID", 3, "PICTURE")); }, 3, "blob 3"},
        {"filter test of another row",
         [](TFakeRemoteDataSet& ds) {
             std::string seen;
             ds.OnFilterRecord = [&seen](TDataSet* d, bool& accept) {
                 if (d->FieldByName("ID")->AsInteger() == 2)
                     seen = d->FieldByName("PICTURE")->AsString();
                 accept = true;
             };
             ds.SetFiltered(true);
             return seen;
         },
         2, "blob 2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TFakeRemoteDataSet ds;
        ds.InitialRows = 3;
        ds.Open();
        // A value is there already, so that reading it as a variant does
        // not stop at a NULL before the stream is made.
        for (int i = 0; i < 3; ++i) {
            TKldDataRow* row = ds.GetDataTable()->GetRow(i);
            row->SetAsVariant("PICTURE", "stale");
            row->SetState(drsBlobsNotFetched, true);
        }
        std::vector<int> fetched;
        ds.OnFetchBlobs = [&fetched](TKldDataRow* row) {
            int id = row->GetAsVariant("ID").AsInteger();
            fetched.push_back(id);
            // The flag goes first: writing the value makes a filtered row
            // set test the row again.
            row->SetState(drsBlobsNotFetched, false);
            row->SetAsVariant("PICTURE", "blob " + std::to_string(id));
        };
        EXPECT_EQ(c.Read(ds), c.Value);
        ASSERT_FALSE(fetched.empty());
        EXPECT_EQ(fetched.front(), c.FetchedId);
    }
}

// A blob still to be fetched reads as NULL in the row: reading it as a
// variant fetches it first instead of answering Null.
TEST(ConformBlob, AVariantReadFetchesABlobThatIsNullUntilFetched)
{
    TFakeRemoteDataSet ds;
    ds.InitialRows = 3;
    ds.Open();
    for (int i = 0; i < 3; ++i)
        ds.GetDataTable()->GetRow(i)->SetState(drsBlobsNotFetched, true);
    ds.OnFetchBlobs = [](TKldDataRow* row) {
        int id = row->GetAsVariant("ID").AsInteger();
        row->SetState(drsBlobsNotFetched, false);
        if (id != 2)
            row->SetAsVariant("PICTURE", "blob " + std::to_string(id));
    };
    EXPECT_EQ(VarToStr(ds.Lookup("ID", 3, "PICTURE")), "blob 3");
    EXPECT_EQ(VarToStr(ds.FieldByName("PICTURE")->AsVariant()), "blob 1");
    // A blob that is NULL once fetched is still Null.
    EXPECT_TRUE(VarIsNull(ds.Lookup("ID", 2, "PICTURE")));
}

} // namespace

namespace {

TEST(ConformSettings, Defaults)
{
    TKldDataSet ds;
    EXPECT_TRUE(ds.AutoDisplayLabels());
    EXPECT_FALSE(ds.AutoFillDataTable());
    EXPECT_FALSE(ds.IgnoreFilteringForLookup());
    EXPECT_EQ(ds.DataContainer(), nullptr);
    EXPECT_EQ(ds.RecordCount(), 0);
    EXPECT_TRUE(ds.IsSequenced());
}

// Rows deleted by other code while the dataset shows several records (a
// grid's ring of buffers), in each state the dataset can be in.
TEST(ConformRowDeleted, TheDataSetStaysOnItsRecord)
{
    struct Case
    {
        const char* Desc;
        int StartRecNo;
        std::function<void(TKldDataSet&)> Begin;
        int DeletedId;
        std::string Expected;
    };
    const Case cases[] = {
        {"browse, a row before", 4, [](TKldDataSet&) {}, 1, "D"},
        {"browse, a row after", 2, [](TKldDataSet&) {}, 4, "B"},
        {"edit, a row before", 4,
         [](TKldDataSet& ds) {
             ds.Edit();
             ds.FieldByName("NAME")->SetAsString("changed");
         },
         2, "D"},
        {"edit, the row edited", 3,
         [](TKldDataSet& ds) {
             ds.Edit();
             ds.FieldByName("NAME")->SetAsString("changed");
         },
         3, "D"},
        {"insert, a row before", 4,
         [](TKldDataSet& ds) {
             ds.Insert();
             ds.FieldByName("ID")->SetAsInteger(9);
         },
         1, "D"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        PeopleTable people;
        for (int id = 1; id <= 5; ++id)
            people.Add(id, std::string(1, static_cast<char>('A' + id - 1)));
        TKldDataSet ds;
        ds.SetDataContainer(&people.Container);
        ds.SetDataTableName("People");
        TDataSource source;
        source.SetDataSet(&ds);
        TDataSetNoticeLink link;
        link.SetBufferCount(4);
        link.SetDataSource(&source);
        ds.Open();
        ds.SetRecNo(c.StartRecNo);
        c.Begin(ds);
        TKldDataRow* victim = people.Table->Locate("ID", c.DeletedId, {});
        ASSERT_NE(victim, nullptr);
        people.Table->Delete(victim);
        EXPECT_EQ(ds.State(), dsBrowse);
        EXPECT_EQ(ds.FieldByName("NAME")->AsString(), c.Expected);
        EXPECT_EQ(ds.RecordCount(), 4);
        link.SetDataSource(nullptr);
    }
}

} // namespace

namespace {

// A new record goes before the record it was started on, also when other
// code added rows before that record meanwhile.
TEST(ConformInsert, TheNewRowGoesBeforeItsRecordAfterRowsAddedElsewhere)
{
    struct Case
    {
        const char* Desc;
        int AddedAt; // table index of the row added by other code (-1: none)
        std::vector<std::string> Expected;
    };
    const Case cases[] = {
        {"nothing added", -1, {"A", "B", "new", "C", "D"}},
        {"added before", 0, {"x", "A", "B", "new", "C", "D"}},
        {"added after", 3, {"A", "B", "new", "C", "x", "D"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        PeopleTable people;
        for (int id = 1; id <= 4; ++id)
            people.Add(id, std::string(1, static_cast<char>('A' + id - 1)));
        TKldDataSet ds;
        ds.SetDataContainer(&people.Container);
        ds.SetDataTableName("People");
        ds.Open();
        ds.SetRecNo(3);
        ds.Insert();
        ds.FieldByName("ID")->SetAsInteger(9);
        ds.FieldByName("NAME")->SetAsString("new");
        if (c.AddedAt >= 0) {
            TKldDataRow* row = people.Table->New();
            row->SetAsVariant("ID", 8);
            row->SetAsVariant("NAME", "x");
            people.Table->Insert(row, c.AddedAt);
        }
        ASSERT_EQ(ds.State(), dsInsert);
        ds.Post();
        EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "new");
        EXPECT_EQ(Column(ds, "NAME"), c.Expected);
    }
}

} // namespace
