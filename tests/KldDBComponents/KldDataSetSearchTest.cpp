// Filters, searching, master/detail, persistence, loading from a variant
// array and copying, on the table dataset.

#include <gtest/gtest.h>

#include "Components/KldDBComponents/dbExtDataSetContext.h"
#include "KldDataSetTestSupport.h"
#include "support/ChildProcess.h"
#include "support/TempFolder.h"

namespace {

struct PeopleDataSet : ::testing::Test
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

// --- Filters ----------------------------------------------------------------------------------

TEST_F(PeopleDataSet, AFilterExpressionShowsTheMatchingRows)
{
    Ds.SetFilter("NAME LIKE 'Smith*' AND AMOUNT > 15");
    Ds.Open();
    EXPECT_EQ(Ds.RecordCount(), 4) << "not filtered yet";
    Ds.SetFiltered(true);
    EXPECT_EQ(Column(Ds, "ID"), (std::vector<std::string>{"3"}));
    Ds.SetFilter("AMOUNT <= 20");
    EXPECT_EQ(Column(Ds, "ID"), (std::vector<std::string>{"1", "2"}));
    Ds.SetFiltered(false);
    EXPECT_EQ(Ds.RecordCount(), 4);
}

TEST_F(PeopleDataSet, AFilterThatFailsOnEveryRowShowsEveryRow)
{
    Ds.SetFilter("NOSUCHFIELD = 1");
    Ds.SetFiltered(true);
    Ds.Open();
    EXPECT_EQ(Ds.RecordCount(), 4);
}

TEST_F(PeopleDataSet, AFilterTextThatDoesNotParseKeepsTheOldFilter)
{
    Ds.SetFilter("ID = 2");
    Ds.SetFiltered(true);
    Ds.Open();
    EXPECT_THROW(Ds.SetFilter("ID = = 3"), Exception);
    EXPECT_EQ(Ds.Filter(), "ID = 2");
    EXPECT_EQ(Column(Ds, "ID"), (std::vector<std::string>{"2"}));
}

TEST_F(PeopleDataSet, SwitchingOnAFilterThatDoesNotParseChangesNothing)
{
    Ds.Open();
    Ds.SetFilter("ID = = 3");
    EXPECT_THROW(Ds.SetFiltered(true), Exception);
    EXPECT_FALSE(Ds.Filtered());
    EXPECT_EQ(Ds.RecordCount(), 4);
    Ds.SetFilter("ID = 3");
    Ds.SetFiltered(true);
    EXPECT_EQ(Column(Ds, "ID"), (std::vector<std::string>{"3"}));
}

TEST_F(PeopleDataSet, AFilterHandlerWinsOverTheExpressionAndRowsFollowChanges)
{
    Ds.SetFilter("ID = 1");
    Ds.OnFilterRecord = [](TDataSet* ds, bool& accept) {
        accept = ds->FieldByName("AMOUNT")->AsFloat() >= 30;
    };
    Ds.SetFiltered(true);
    Ds.Open();
    EXPECT_EQ(Column(Ds, "ID"), (std::vector<std::string>{"3", "4"}));
    People.Add(5, "Late", 50);
    EXPECT_EQ(Column(Ds, "ID"), (std::vector<std::string>{"3", "4", "5"}));
    People.Add(6, "Small", 1);
    EXPECT_EQ(Ds.RecordCount(), 3);
}

TEST_F(PeopleDataSet, FindRecordWithoutAHandlerAnswersTrueAndStays)
{
    Ds.SetFilter("ID = 3");
    Ds.Open();
    Ds.Next();
    EXPECT_TRUE(Ds.FindFirst());
    EXPECT_TRUE(Ds.Found());
    EXPECT_EQ(Ds.FieldByName("ID")->AsInteger(), 2);
}

TEST_F(PeopleDataSet, FindRecordWithAHandlerMovesToTheNextMatch)
{
    Ds.OnFilterRecord = [](TDataSet* ds, bool& accept) {
        accept = ds->FieldByName("NAME")->AsString().rfind("Smith", 0) == 0;
    };
    Ds.Open();
    EXPECT_TRUE(Ds.FindFirst());
    EXPECT_EQ(Ds.FieldByName("ID")->AsInteger(), 1);
    EXPECT_TRUE(Ds.FindNext());
    EXPECT_EQ(Ds.FieldByName("ID")->AsInteger(), 3);
    EXPECT_FALSE(Ds.FindNext());
    EXPECT_EQ(Ds.FieldByName("ID")->AsInteger(), 3) << "no match: the dataset stays";
    EXPECT_TRUE(Ds.FindLast());
    EXPECT_EQ(Ds.FieldByName("ID")->AsInteger(), 3);
    EXPECT_TRUE(Ds.FindPrior());
    EXPECT_EQ(Ds.FieldByName("ID")->AsInteger(), 1);
}

TEST(KldDataSetContext, NamesAreFieldValuesAndDottedNamesAreRefused)
{
    PeopleTable people;
    people.Add(7, "Grey", 1.5);
    TKldDataSet ds;
    ds.SetDataContainer(&people.Container);
    ds.SetDataTableName("People");
    ds.Open();
    EXPECT_EQ(EvaluateExpression("NAME + '!'", &ds, TDataSetContext::Class()).AsString(), "Grey!");
    EXPECT_EQ(EvaluateExpression("id * 2", &ds, TDataSetContext::Class()).AsInteger(), 14);
    ExpectKldErrorText([&] { EvaluateExpression("MISSING", &ds, TDataSetContext::Class()); },
                       "Field 'MISSING' not found");
    ExpectKldErrorText([&] { EvaluateExpression("People.NAME", &ds, TDataSetContext::Class()); },
                       "Unable to resolve identifier: \"People\"");
}

// --- Locating ---------------------------------------------------------------------------------

TEST_F(PeopleDataSet, LocateWithOptions)
{
    Ds.Open();
    struct Case
    {
        const char* Desc;
        Variant Key;
        TLocateOptions Options;
        int Expected; // 0: not found
    };
    const Case cases[] = {
        {"exact", Variant("Jones"), {}, 2},
        {"case differs", Variant("jones"), {}, 0},
        {"case-insensitive", Variant("jones"), {loCaseInsensitive}, 2},
        {"partial", Variant("Smi"), {loPartialKey}, 1},
        {"partial and case-insensitive", Variant("bro"), {loPartialKey, loCaseInsensitive}, 4},
        {"missing", Variant("Nobody"), {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        Ds.First();
        EXPECT_EQ(Ds.Locate("NAME", c.Key, c.Options), c.Expected != 0);
        EXPECT_EQ(Ds.FieldByName("ID")->AsInteger(), c.Expected != 0 ? c.Expected : 1);
    }
    EXPECT_TRUE(Ds.Locate("NAME;AMOUNT", VarArrayOf({Variant("Smithers"), Variant(30)}), {}));
    EXPECT_EQ(Ds.FieldByName("ID")->AsInteger(), 3);
    EXPECT_EQ(Ds.LocateObject("ID", 4, {}), People.Table->GetRow(3));
}

TEST_F(PeopleDataSet, LookupFindsFilteredRowsOnlyWhenIgnoringTheFilter)
{
    Ds.SetFilter("ID <> 2");
    Ds.SetFiltered(true);
    Ds.Open();
    Ds.Last();
    EXPECT_EQ(Ds.Lookup("ID", 3, "NAME").AsString(), "Smithers");
    EXPECT_TRUE(VarIsNull(Ds.Lookup("ID", 2, "NAME")));
    Ds.SetIgnoreFilteringForLookup(true);
    Variant both = Ds.Lookup("ID", 2, "NAME;AMOUNT");
    ASSERT_TRUE(VarIsArray(both));
    EXPECT_EQ(both[0].AsString(), "Jones");
    EXPECT_DOUBLE_EQ(both[1].AsDouble(), 20);
    EXPECT_EQ(Ds.FieldByName("ID")->AsInteger(), 4) << "a lookup does not move the dataset";
    People.Table->GetRow(1)->Delete();
    EXPECT_TRUE(VarIsNull(Ds.Lookup("ID", 2, "NAME")));
}

// --- Master/detail ----------------------------------------------------------------------------

struct MasterDetail : ::testing::Test
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
        TKldDataTable* pets = Container.Tables().Add();
        pets->SetName("Pets");
        pets->Columns().AddColumn("OWNER", cdtInteger);
        pets->Columns().AddColumn("NAME", cdtString, 10);
        Container.SetActive(true);
        for (int id : {1, 2}) {
            TKldDataRow* row = owners->New();
            row->SetAsVariant("ID", id);
            owners->Insert(row);
        }
        for (auto [owner, name] : {std::pair{1, "Rex"}, {2, "Tom"}, {1, "Fido"}}) {
            TKldDataRow* row = pets->New();
            row->SetAsVariant("OWNER", owner);
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
        Detail.SetDetailFields(" OWNER ");
        Detail.SetOrderBy("NAME");
    }
};

TEST_F(MasterDetail, TheDetailShowsTheRowsOfTheMasterRecord)
{
    EXPECT_EQ(Detail.DetailFields(), "OWNER");
    Master.Open();
    Detail.Open();
    EXPECT_EQ(Column(Detail, "NAME"), (std::vector<std::string>{"Fido", "Rex"}));
    Master.Next();
    EXPECT_EQ(Column(Detail, "NAME"), (std::vector<std::string>{"Tom"}));
    Detail.Append();
    EXPECT_EQ(Detail.FieldByName("OWNER")->AsInteger(), 2) << "a new detail record takes the master's key";
    Detail.FieldByName("NAME")->SetAsString("Kit");
    Detail.Post();
    EXPECT_EQ(Column(Detail, "NAME"), (std::vector<std::string>{"Kit", "Tom"}));
    Master.Close();
    EXPECT_EQ(Detail.RecordCount(), 4) << "a closed master shows every detail row";
}

TEST_F(MasterDetail, ALinkBackToItselfIsRefused)
{
    TDataSource detailSource;
    detailSource.SetDataSet(&Detail);
    ExpectKldErrorText([&] { Master.SetMasterSource(&detailSource); }, "Circular DataLink");
    ExpectKldErrorText([&] { Detail.SetMasterSource(&detailSource); }, "Circular DataLink");
    EXPECT_EQ(Master.MasterSource(), nullptr);
    std::vector<TField*> masterFields, detailFields;
    Master.Open();
    Detail.Open();
    Detail.GetDetailLinkFields(masterFields, detailFields);
    EXPECT_EQ(masterFields.size(), 1u);
    EXPECT_EQ(detailFields.size(), 2u);
}

// --- Modification tests ---------------------------------------------------------------------

TEST_F(PeopleDataSet, IsRecordModifiedComparesOldAndNewValuesAwayFromTheEnds)
{
    Ds.Open();
    Ds.Next();
    EXPECT_FALSE(Ds.IsRecordModified());
    Ds.Edit();
    Ds.FieldByName("AMOUNT")->SetAsFloat(21);
    EXPECT_TRUE(Ds.IsRecordModified());
    Ds.FieldByName("AMOUNT")->SetAsFloat(20);
    EXPECT_FALSE(Ds.IsRecordModified()) << "the same value again is no change";
    Ds.Cancel();
    EXPECT_FALSE(Ds.IsDataModified());
    Ds.Close();
    EXPECT_FALSE(Ds.IsRecordModified());
    EXPECT_FALSE(Ds.IsDataModified());
}

// --- Persistence ------------------------------------------------------------------------------

TEST_F(PeopleDataSet, SavedDataLoadBackAsUnchangedRows)
{
    TMemoryStream stream;
    Ds.SaveToStream(stream);
    EXPECT_TRUE(Ds.Active()) << "saving opens the dataset";
    Ds.Last();
    Ds.Delete();
    stream.SetPosition(0);
    Ds.LoadFromStream(stream);
    EXPECT_EQ(Column(Ds, "NAME"), (std::vector<std::string>{"Smith", "Jones", "Smithers", "Brown"}));
    EXPECT_FALSE(People.Table->GetRow(3)->GetState(drsInserted));
    EXPECT_EQ(People.Table->DeletedCount(), 0);
}

TEST_F(PeopleDataSet, ATruncatedStreamFailsAndKeepsTheRows)
{
    TMemoryStream stream;
    Ds.SaveToStream(stream);
    for (int64_t cut : {int64_t(1), stream.Size() / 2, stream.Size() - 1}) {
        SCOPED_TRACE(cut);
        TMemoryStream truncated;
        truncated.Write(stream.Memory(), cut);
        truncated.SetPosition(0);
        EXPECT_THROW(Ds.LoadFromStream(truncated), Exception);
        EXPECT_EQ(People.Table->RowCount(), 4);
        EXPECT_EQ(Column(Ds, "ID"), (std::vector<std::string>{"1", "2", "3", "4"}));
    }
}

TEST(KldDataSetFiles, SaveToFileAndLoadFromFile)
{
    std::string fileName = ::testing::TempDir() + "kld_dataset_people.bin";
    {
        TKldDataSet ds;
        ds.FieldDefs().Add("NAME", ftString, 10);
        ds.Open();
        ds.AppendRecord({"One"});
        ds.AppendRecord({"Two"});
        ds.SaveToFile(fileName);
    }
    TKldDataSet ds;
    ds.FieldDefs().Add("NAME", ftString, 10);
    ds.LoadFromFile(fileName);
    EXPECT_EQ(Column(ds, "NAME"), (std::vector<std::string>{"One", "Two"}));
    std::remove(fileName.c_str());
}

// A save that fails half-way (a file size limit, as on a full disk) leaves
// the old file whole.
TEST(KldDataSetFiles, AFailedSaveLeavesTheOldFileWhole)
{
    TTempFolder folder;
    const std::string path = folder / "people.bin";
    WriteText(path, "old content");
    const TestChild::Result result = TestChild::Run([&](const auto& send) {
        TKldDataSet ds;
        ds.FieldDefs().Add("NAME", ftString, 200);
        ds.Open();
        for (int i = 0; i < 200; ++i)
            ds.AppendRecord({std::string(150, 'n') + std::to_string(i)});
        TestChild::LimitFileSize(4096);
        try {
            ds.SaveToFile(path);
        } catch (const EStreamError& e) {
            send(e.Message());
        }
        return 0;
    });
    EXPECT_EQ(result.Output, "Cannot write " + path + ": File too large");
    EXPECT_EQ(ReadText(path), "old content");
}

// --- Loading from a variant array -------------------------------------------------------------

Variant Table2x2()
{
    Variant data = VarArrayCreate({0, 1, 0, 4}, varVariant);
    data.SetElement({0, 0}, "ID");
    data.SetElement({0, 1}, static_cast<int>(ftInteger));
    data.SetElement({0, 2}, 0);
    data.SetElement({1, 0}, "NAME");
    data.SetElement({1, 1}, static_cast<int>(ftString));
    data.SetElement({1, 2}, 8);
    data.SetElement({0, 3}, 1);
    data.SetElement({1, 3}, "first");
    data.SetElement({0, 4}, 2);
    data.SetElement({1, 4}, Variant::Null());
    return data;
}

TEST(KldDataSetVariant, ReplacingTheStructureLoadsTheRecords)
{
    TKldDataSet ds;
    ds.FieldDefs().Add("OLD", ftInteger);
    ds.LoadFromVariant(Table2x2(), true);
    ASSERT_EQ(ds.FieldCount(), 2);
    EXPECT_EQ(ds.Fields()[1]->DataType(), ftString);
    EXPECT_EQ(ds.Fields()[1]->Size(), 8);
    EXPECT_EQ(Column(ds, "NAME"), (std::vector<std::string>{"first", ""}));
    ds.Last();
    EXPECT_TRUE(ds.FieldByName("NAME")->IsNull());
    EXPECT_EQ(ds.RecNo(), 2);
}

TEST(KldDataSetVariant, KeepingTheStructureMatchesFieldsByName)
{
    TKldDataSet ds;
    ds.FieldDefs().Add("NAME", ftString, 10);
    ds.FieldDefs().Add("EXTRA", ftInteger);
    ds.Open();
    ds.AppendRecord({"gone", 5});
    ds.LoadFromVariant(Table2x2(), false);
    EXPECT_EQ(Column(ds, "NAME"), (std::vector<std::string>{"first", ""}));
    EXPECT_EQ(ds.FieldCount(), 2);
    EXPECT_TRUE(ds.FieldByName("EXTRA")->IsNull());
}

TEST(KldDataSetVariant, MalformedDataRaiseAndLeaveTheDataSetAlone)
{
    Variant oneDimension = VarArrayOf({Variant("ID"), Variant(3), Variant(0)});
    Variant ragged = VarArrayOf({VarArrayOf({Variant("ID"), Variant(3), Variant(0), Variant(1)}),
                                 VarArrayOf({Variant("NAME"), Variant(1)})});
    Variant badType = Table2x2();
    badType.SetElement({1, 1}, 99);
    Variant noFieldClass = Table2x2();
    noFieldClass.SetElement({1, 1}, static_cast<int>(ftCursor));
    Variant noHeader = VarArrayCreate({0, 1, 0, 1}, varVariant);
    Variant duplicate = Table2x2();
    duplicate.SetElement({1, 0}, "id");
    Variant typeAsText = Table2x2();
    typeAsText.SetElement({0, 1}, "Integer");
    struct Case
    {
        const char* Desc;
        Variant Data;
        const char* Message;
    };
    const Case cases[] = {
        {"not an array", Variant(5), "must be a two-dimensional array"},
        {"one dimension", oneDimension, "must be a two-dimensional array"},
        {"ragged", ragged, "must be a two-dimensional array"},
        {"unknown type ordinal", badType, "Invalid field type ordinal: 99"},
        {"type without values", noFieldClass, "has a type that holds no value"},
        {"no header", noHeader, "must hold the name, type and size"},
        {"duplicate name", duplicate, "names the field 'id' twice"},
        {"type given as text", typeAsText, "must hold the name, type and size"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TKldDataSet ds;
        ds.FieldDefs().Add("KEEP", ftString, 5);
        ds.Open();
        ds.AppendRecord({"kept"});
        ExpectKldErrorText([&] { ds.LoadFromVariant(c.Data, true); }, c.Message);
        EXPECT_TRUE(ds.Active());
        EXPECT_EQ(Column(ds, "KEEP"), (std::vector<std::string>{"kept"}));
    }
}

// --- Copying ----------------------------------------------------------------------------------

TEST_F(PeopleDataSet, CopyFromTakesStructureAndRowsAndRestoresTheSource)
{
    Ds.Open();
    Ds.Next();
    TKldDataSet copy;
    copy.CopyFrom(&Ds, true);
    EXPECT_EQ(copy.FieldCount(), 4);
    EXPECT_EQ(Column(copy, "NAME"), (std::vector<std::string>{"Smith", "Jones", "Smithers", "Brown"}));
    EXPECT_EQ(Ds.FieldByName("ID")->AsInteger(), 2) << "the source is back on its record";

    TKldDataSet partial;
    auto* name = new TStringField(&partial);
    name->SetFieldName("NAME");
    name->SetSize(20);
    name->SetDataSet(&partial);
    auto* other = new TIntegerField(&partial);
    other->SetFieldName("OTHER");
    other->SetDataSet(&partial);
    partial.CopyFrom(&Ds, true);
    EXPECT_EQ(partial.FieldCount(), 2) << "a dataset with fields keeps its structure";
    EXPECT_EQ(Column(partial, "NAME"), (std::vector<std::string>{"Smith", "Jones", "Smithers", "Brown"}));
    EXPECT_TRUE(other->IsNull());

    TKldDataSet empty;
    Ds.Last();
    Ds.Next();
    ASSERT_TRUE(Ds.Eof());
    empty.CopyFrom(&Ds, false);
    EXPECT_TRUE(empty.Active());
    EXPECT_EQ(empty.RecordCount(), 0) << "a source at its end copies nothing";
    Ds.First();
    TKldDataSet noFields;
    ExpectKldErrorText([&] { noFields.CopyFrom(&Ds, false); }, "No fields defined in the target dataset");
}

} // namespace
