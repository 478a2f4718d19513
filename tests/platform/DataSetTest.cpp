// The dataset's navigation, editing, bookmarks, calculated and lookup fields,
// filters and searching, driven through a vector-backed descendant.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "VectorDataSet.h"
#include "support/ErrorOf.h"

namespace {
class DataSetTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ds.SetName("People");
        DefinePeople(ds);
        const char* names[] = {"Ann", "Bob", "Cid", "Dee", "Eve"};
        for (int i = 0; i < 5; ++i)
            ds.AddRow({Variant(i + 1), Variant(names[i]), Variant(10.0 * (i + 1))});
    }

    std::string Names()
    {
        std::string out;
        ds.First();
        while (!ds.Eof()) {
            out += ds.FieldByName("NAME")->AsString() + ",";
            ds.Next();
        }
        return out;
    }

    TVectorDataSet ds;
};
} // namespace

TEST_F(DataSetTest, OpenMakesDefaultFieldsFromDefinitions)
{
    ds.Open();
    ASSERT_EQ(ds.FieldCount(), 3);
    EXPECT_TRUE(ds.DefaultFields());
    EXPECT_EQ(ds.Fields()[0]->ClassName(), "TIntegerField");
    EXPECT_EQ(ds.Fields()[1]->ClassName(), "TStringField");
    EXPECT_EQ(ds.Fields()[1]->Size(), 20);
    EXPECT_EQ(ds.Fields()[2]->ClassName(), "TFloatField");
    EXPECT_TRUE(ds.Fields()[0]->Required());
    EXPECT_EQ(ds.Fields()[2]->FieldNo(), 3);
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_TRUE(ds.Bof());
    EXPECT_EQ(ds.FieldByName("name")->AsString(), "Ann");
    ds.Close();
    EXPECT_EQ(ds.FieldCount(), 0) << "default fields go with the cursor";
    EXPECT_EQ(ds.State(), dsInactive);
}

TEST_F(DataSetTest, NavigationThroughTheRing)
{
    ds.Open();
    EXPECT_EQ(Names(), "Ann,Bob,Cid,Dee,Eve,");
    EXPECT_TRUE(ds.Eof());
    EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "Eve") << "Next at the end stays on the last record";
    ds.Last();
    EXPECT_TRUE(ds.Eof());
    EXPECT_FALSE(ds.Bof());
    EXPECT_EQ(ds.RecNo(), 5);
    ds.Prior();
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 4);
    EXPECT_FALSE(ds.Eof());
    EXPECT_EQ(ds.MoveBy(-10), -3) << "stops at the first record";
    EXPECT_TRUE(ds.Bof());
    EXPECT_EQ(ds.MoveBy(2), 2);
    EXPECT_EQ(ds.RecNo(), 3);
    EXPECT_EQ(ds.RecordCount(), 5);
    ds.SetRecNo(5);
    EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "Eve");
}

TEST_F(DataSetTest, EmptyDatasetIsAtBothEnds)
{
    TVectorDataSet empty;
    DefinePeople(empty);
    empty.Open();
    EXPECT_TRUE(empty.Bof());
    EXPECT_TRUE(empty.Eof());
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_TRUE(empty.FieldByName("NAME")->IsNull());
    EXPECT_EQ(empty.MoveBy(1), 0);
    EXPECT_EQ(ErrorOf<EDatabaseError>([&] { empty.Delete(); }), "Cannot perform this operation on an empty dataset");
}

TEST_F(DataSetTest, ErrorsOfClosedDatasetsAndMissingFields)
{
    EXPECT_EQ(ErrorOf<EDatabaseError>([&] { ds.First(); }), "People: Cannot perform this operation on a closed dataset");
    EXPECT_EQ(ErrorOf<EDatabaseError>([&] { ds.Edit(); }), "People: Cannot perform this operation on a closed dataset");
    ds.Open();
    EXPECT_EQ(ErrorOf<EDatabaseError>([&] { ds.FieldByName("NOPE"); }), "People: Field 'NOPE' not found");
    EXPECT_EQ(ErrorOf<EDatabaseError>([&] { ds.Post(); }), "People: Dataset not in edit or insert mode");
    EXPECT_EQ(ds.FindField("NOPE"), nullptr);
}

TEST_F(DataSetTest, EditPostAndCancel)
{
    ds.Open();
    ds.Next();
    ds.Edit();
    EXPECT_EQ(ds.State(), dsEdit);
    ds.FieldByName("NAME")->SetAsString("Bert");
    EXPECT_TRUE(ds.Modified());
    EXPECT_EQ(ds.FieldByName("NAME")->OldValue().AsString(), "Bob");
    ds.Post();
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_EQ(ds.Rows()[1].Values[1].AsString(), "Bert");
    EXPECT_EQ(ds.RecNo(), 2) << "stays on the posted record";

    ds.Edit();
    ds.FieldByName("NAME")->SetAsString("Bo");
    ds.Cancel();
    EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "Bert");
    EXPECT_EQ(ds.Rows()[1].Values[1].AsString(), "Bert");
}

TEST_F(DataSetTest, WritingInBrowseStateStartsAnEditAndNavigationPostsIt)
{
    ds.Open();
    ds.FieldByName("AMOUNT")->SetAsFloat(1.5);
    EXPECT_EQ(ds.State(), dsEdit);
    ds.Next();
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_DOUBLE_EQ(ds.Rows()[0].Values[2].AsDouble(), 1.5);
}

TEST_F(DataSetTest, InsertGoesBeforeTheCurrentRecordAppendAtTheEnd)
{
    int newRecords = 0;
    ds.OnNewRecord = [&](TDataSet* d) {
        ++newRecords;
        d->FieldByName("AMOUNT")->SetAsFloat(99);
    };
    ds.Open();
    ds.Next();
    ds.Insert();
    EXPECT_EQ(ds.State(), dsInsert);
    EXPECT_FALSE(ds.Modified()) << "values set by OnNewRecord do not count as changes";
    EXPECT_DOUBLE_EQ(ds.FieldByName("AMOUNT")->AsFloat(), 99);
    EXPECT_TRUE(ds.FieldByName("NAME")->IsNull());
    ds.FieldByName("ID")->SetAsInteger(10);
    ds.FieldByName("NAME")->SetAsString("New");
    ds.Post();
    EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "New");
    EXPECT_EQ(ds.RecNo(), 2);

    ds.Append();
    ds.FieldByName("ID")->SetAsInteger(11);
    ds.FieldByName("NAME")->SetAsString("Last");
    ds.Post();
    EXPECT_EQ(newRecords, 2);
    EXPECT_EQ(Names(), "Ann,New,Bob,Cid,Dee,Eve,Last,");
}

TEST_F(DataSetTest, InsertRecordAndAppendRecordAddInOneStep)
{
    int newRecords = 0;
    int inserts = 0;
    ds.OnNewRecord = [&](TDataSet*) { ++newRecords; };
    ds.BeforeInsert = [&](TDataSet*) { ++inserts; };
    ds.Open();
    ds.Next();
    ds.InsertRecord({Variant(10), Variant("Ins")});
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "Ins");
    ds.AppendRecord({Variant(12), Variant(), Variant(1.5)});
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 12);
    EXPECT_TRUE(ds.FieldByName("NAME")->IsNull()) << "Empty skips a field";
    EXPECT_EQ(newRecords, 0) << "the values come from the caller alone";
    EXPECT_EQ(inserts, 2);
    EXPECT_EQ(Names(), "Ann,Ins,Bob,Cid,Dee,Eve,,");

    ds.First();
    ds.MoveBy(2);
    EXPECT_EQ(ErrorOf<EDatabaseError>([&] {
                  ds.InsertRecord({Variant(), Variant("NoId")});
              }),
              "Field 'ID' must have a value");
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "Bob") << "a failed add stays where it was";
    EXPECT_EQ(ds.Rows().size(), 7u);
}

TEST_F(DataSetTest, RefreshRereadsTheBufferedRecords)
{
    std::vector<std::string> log;
    ds.BeforeRefresh = [&](TDataSet*) { log.push_back("before"); };
    ds.AfterRefresh = [&](TDataSet*) { log.push_back("after:" + ds.FieldByName("NAME")->AsString()); };
    ds.Open();
    ds.Next();
    ds.ChangeRow(1, 1, Variant("Robert"));
    EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "Bob") << "the buffer keeps what it read";
    ds.Refresh();
    EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "Robert");
    EXPECT_EQ(log, std::vector<std::string>({"before", "after:Robert"}));

    ds.Edit();
    ds.FieldByName("NAME")->SetAsString("Rob");
    ds.Refresh();
    EXPECT_EQ(ds.State(), dsBrowse) << "a pending edit is posted first";
    EXPECT_EQ(ds.Rows()[1].Values[1].AsString(), "Rob");
}

TEST_F(DataSetTest, OldValuesOfNewAndEditedRecords)
{
    ds.Open();
    ds.Edit();
    ds.FieldByName("AMOUNT")->SetAsFloat(1);
    EXPECT_DOUBLE_EQ(ds.FieldByName("AMOUNT")->OldValue().AsDouble(), 10);
    EXPECT_DOUBLE_EQ(ds.FieldByName("AMOUNT")->AsFloat(), 1);
    EXPECT_EQ(ds.State(), dsEdit) << "reading an old value leaves the state alone";
    ds.Cancel();
    ds.Insert();
    EXPECT_TRUE(VarIsNull(ds.FieldByName("AMOUNT")->OldValue()));
    ds.Cancel();
}

TEST_F(DataSetTest, CancelledInsertLeavesNothing)
{
    ds.Open();
    ds.Next();
    ds.Insert();
    ds.FieldByName("NAME")->SetAsString("Gone");
    ds.Cancel();
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "Bob");
    EXPECT_EQ(ds.Rows().size(), 5u);
}

TEST_F(DataSetTest, RequiredFieldKeepsTheInsertOpen)
{
    ds.Open();
    ds.Append();
    ds.FieldByName("NAME")->SetAsString("NoId");
    EXPECT_EQ(ErrorOf<EDatabaseError>([&] { ds.Post(); }), "Field 'ID' must have a value");
    EXPECT_EQ(ds.State(), dsInsert);
    ds.FieldByName("ID")->SetAsInteger(6);
    ds.Post();
    EXPECT_EQ(ds.Rows().size(), 6u);
}

TEST_F(DataSetTest, ReadOnlyFieldsAndDatasets)
{
    ds.Open();
    ds.FieldByName("NAME")->SetReadOnly(true);
    EXPECT_EQ(ErrorOf<EDatabaseError>([&] { ds.FieldByName("NAME")->SetAsString("x"); }),
              "People: Field 'NAME' cannot be modified");
    EXPECT_EQ(ds.State(), dsBrowse);
    ds.SetReadOnlyDataSet(true);
    EXPECT_EQ(ErrorOf<EDatabaseError>([&] { ds.Edit(); }), "People: Cannot modify a read-only dataset");
    EXPECT_EQ(ErrorOf<EDatabaseError>([&] { ds.Append(); }), "People: Cannot modify a read-only dataset");
    EXPECT_FALSE(ds.FieldByName("ID")->CanModify());
}

TEST_F(DataSetTest, DeleteMovesToTheNextOrThePriorRecord)
{
    ds.Open();
    ds.Next();
    ds.Delete();
    EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "Cid");
    ds.Last();
    ds.Delete();
    EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "Dee");
    EXPECT_EQ(Names(), "Ann,Cid,Dee,");
}

TEST_F(DataSetTest, EventOrderOfAnEditCycle)
{
    std::vector<std::string> log;
    auto rec = [&](const char* name) { return [&log, name](TDataSet*) { log.push_back(name); }; };
    ds.BeforeOpen = rec("BeforeOpen");
    ds.AfterOpen = rec("AfterOpen");
    ds.BeforeEdit = rec("BeforeEdit");
    ds.AfterEdit = rec("AfterEdit");
    ds.BeforePost = rec("BeforePost");
    ds.AfterPost = rec("AfterPost");
    ds.BeforeScroll = rec("BeforeScroll");
    ds.AfterScroll = rec("AfterScroll");
    ds.BeforeClose = rec("BeforeClose");
    ds.AfterClose = rec("AfterClose");
    ds.Open();
    ds.Edit();
    ds.FieldByName("NAME")->SetAsString("A");
    ds.Next();
    ds.Close();
    const std::vector<std::string> expected = {"BeforeOpen",  "AfterOpen",   "AfterScroll", "BeforeEdit",
                                               "AfterEdit",   "BeforePost",  "AfterPost",   "BeforeScroll",
                                               "AfterScroll", "BeforeClose", "AfterClose"};
    EXPECT_EQ(log, expected);
}

TEST_F(DataSetTest, BookmarksReturnToTheirRecord)
{
    ds.Open();
    ds.MoveBy(3);
    const TBookmark mark = ds.GetBookmark();
    ASSERT_EQ(mark.size(), 4u);
    EXPECT_TRUE(ds.BookmarkValid(mark));
    ds.First();
    ds.GotoBookmark(mark);
    EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "Dee");
    const TBookmark first = [&] {
        ds.First();
        return ds.GetBookmark();
    }();
    EXPECT_EQ(ds.CompareBookmarks(first, mark), -1);
    EXPECT_EQ(ds.CompareBookmarks(mark, mark), 0);

    ds.GotoBookmark(mark);
    ds.Delete();
    EXPECT_EQ(ErrorOf<EDatabaseError>([&] { ds.GotoBookmark(mark); }), "People: Record not found");
    EXPECT_EQ(ErrorOf<EDatabaseError>([&] { ds.GotoBookmark("xy"); }), "People: Record not found") << "foreign bookmark size";
    ds.GotoBookmark({});
    EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "Eve") << "an empty bookmark does nothing";

    ds.Append();
    EXPECT_TRUE(ds.GetBookmark().empty()) << "a new record has no bookmark";
    ds.Cancel();
}

TEST_F(DataSetTest, CalculatedFieldsFollowEdits)
{
    auto* id = new TIntegerField(&ds);
    id->SetFieldName("ID");
    id->SetDataSet(&ds);
    auto* amount = new TFloatField(&ds);
    amount->SetFieldName("AMOUNT");
    amount->SetDataSet(&ds);
    auto* twice = new TFloatField(&ds);
    twice->SetFieldName("TWICE");
    twice->SetFieldKind(fkCalculated);
    twice->SetDataSet(&ds);
    int calcs = 0;
    ds.OnCalcFields = [&](TDataSet* d) {
        ++calcs;
        EXPECT_EQ(d->State(), dsCalcFields);
        if (!d->FieldByName("AMOUNT")->IsNull())
            d->FieldByName("TWICE")->SetAsFloat(2 * d->FieldByName("AMOUNT")->AsFloat());
    };
    ds.Open();
    EXPECT_FALSE(ds.DefaultFields());
    EXPECT_EQ(ds.FieldCount(), 3) << "only the persistent fields";
    EXPECT_EQ(twice->FieldNo(), -1);
    EXPECT_DOUBLE_EQ(twice->AsFloat(), 20);
    ds.Next();
    EXPECT_DOUBLE_EQ(twice->AsFloat(), 40);
    const int before = calcs;
    ds.Edit();
    amount->SetAsFloat(7);
    EXPECT_GT(calcs, before);
    EXPECT_DOUBLE_EQ(twice->AsFloat(), 14) << "recalculated while editing";
    EXPECT_FALSE(twice->CanModify()) << "calculated fields are written only while calculating";
    ds.Cancel();
    EXPECT_DOUBLE_EQ(twice->AsFloat(), 40);
}

TEST_F(DataSetTest, PersistentFieldOfTheWrongTypeIsRefusedAtOpen)
{
    auto* name = new TIntegerField(&ds);
    name->SetFieldName("NAME");
    name->SetDataSet(&ds);
    EXPECT_EQ(ErrorOf<EDatabaseError>([&] { ds.Open(); }),
              "People: Type mismatch for field 'NAME', expecting: Integer actual: String");
    EXPECT_FALSE(ds.Active());
}

TEST_F(DataSetTest, LookupFieldsReadTheirLookupDataset)
{
    TVectorDataSet cities;
    cities.FieldDefs().Add("CODE", ftInteger);
    cities.FieldDefs().Add("CITY", ftString, 30);
    cities.AddRow({Variant(1), Variant("Oslo")});
    cities.AddRow({Variant(3), Variant("Rome")});
    cities.Open();
    cities.Last();

    for (const char* n : {"ID", "NAME"}) {
        TField* f =
            n == std::string("ID") ? static_cast<TField*>(new TIntegerField(&ds)) : new TStringField(&ds);
        f->SetFieldName(n);
        f->SetDataSet(&ds);
    }
    auto* city = new TStringField(&ds);
    city->SetFieldName("CITY");
    city->SetFieldKind(fkLookup);
    city->SetLookupDataSet(&cities);
    city->SetKeyFields("ID");
    city->SetLookupKeyFields("CODE");
    city->SetLookupResultField("CITY");
    city->SetDataSet(&ds);
    ds.Open();
    EXPECT_EQ(city->AsString(), "Oslo");
    ds.Next();
    EXPECT_TRUE(city->IsNull()) << "no city with code 2";
    ds.Next();
    EXPECT_EQ(city->AsString(), "Rome");
    EXPECT_EQ(cities.FieldByName("CITY")->AsString(), "Rome") << "the lookup dataset stays where it was";
    ds.Close();

    city->SetLookupResultField("");
    EXPECT_EQ(ErrorOf<EDatabaseError>([&] { ds.Open(); }), "People: Lookup information for field 'CITY' is incomplete");
}

TEST_F(DataSetTest, FilteredDatasetShowsAcceptedRecordsOnly)
{
    ds.OnFilterRecord = [](TDataSet* d, bool& accept) {
        EXPECT_EQ(d->State(), dsFilter);
        accept = d->FieldByName("ID")->AsInteger() % 2 == 1;
    };
    ds.Open();
    ds.SetFiltered(true);
    EXPECT_EQ(Names(), "Ann,Cid,Eve,");
    EXPECT_EQ(ds.RecordCount(), 3);
    ds.Last();
    EXPECT_EQ(ds.RecNo(), 3);
    ds.SetFiltered(false);
    EXPECT_EQ(ds.RecordCount(), 5);
    EXPECT_EQ(ds.RecNo(), 1) << "changing the filter goes to the first record";
}

TEST_F(DataSetTest, FindRecordWalksMatchesWithoutFiltering)
{
    ds.Open();
    EXPECT_FALSE(ds.FindFirst()) << "nothing to match without a handler";
    ds.OnFilterRecord = [](TDataSet* d, bool& accept) { accept = d->FieldByName("AMOUNT")->AsFloat() >= 30; };
    EXPECT_TRUE(ds.FindFirst());
    EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "Cid");
    EXPECT_TRUE(ds.FindNext());
    EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "Dee");
    EXPECT_TRUE(ds.FindLast());
    EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "Eve");
    EXPECT_FALSE(ds.FindNext());
    EXPECT_FALSE(ds.Found());
    EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "Eve") << "a failed search stays put";
    EXPECT_TRUE(ds.FindPrior());
    EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "Dee");
    EXPECT_EQ(ds.RecordCount(), 5);
}

TEST_F(DataSetTest, LocateAndLookup)
{
    ds.Open();
    struct Case
    {
        const char* Desc;
        std::string Fields;
        Variant Keys;
        TLocateOptions Options;
        bool Found;
        std::string Name; // where the cursor is afterwards
    };
    const Case cases[] = {
        {"single key", "ID", Variant(4), {}, true, "Dee"},
        {"two keys", "ID;NAME", VarArrayOf({Variant(2), Variant("Bob")}), {}, true, "Bob"},
        {"two keys, one differs", "ID;NAME", VarArrayOf({Variant(2), Variant("Eve")}), {}, false, "Bob"},
        {"case differs", "NAME", Variant("cid"), {}, false, "Bob"},
        {"case-insensitive", "NAME", Variant("cid"), {loCaseInsensitive}, true, "Cid"},
        {"partial key", "NAME", Variant("Ev"), {loPartialKey}, true, "Eve"},
        {"partial and case", "NAME", Variant("a"), {loPartialKey, loCaseInsensitive}, true, "Ann"},
        {"null key", "NAME", Variant::Null(), {}, false, "Ann"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(ds.Locate(c.Fields, c.Keys, c.Options), c.Found);
        EXPECT_EQ(ds.FieldByName("NAME")->AsString(), c.Name);
    }
    ds.First();
    EXPECT_EQ(ds.Lookup("ID", Variant(5), "NAME").AsString(), "Eve");
    const Variant both = ds.Lookup("NAME", Variant("Cid"), "ID;AMOUNT");
    EXPECT_EQ(both[0].AsInteger(), 3);
    EXPECT_DOUBLE_EQ(both[1].AsDouble(), 30);
    EXPECT_TRUE(VarIsNull(ds.Lookup("ID", Variant(9), "NAME")));
    EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "Ann") << "Lookup does not move";
}

TEST_F(DataSetTest, FieldValuesReadAndWriteSeveralFields)
{
    ds.Open();
    const Variant values = ds.FieldValues("NAME;ID");
    EXPECT_EQ(values[0].AsString(), "Ann");
    EXPECT_EQ(values[1].AsInteger(), 1);
    ds.Edit();
    ds.SetFieldValues("NAME;AMOUNT", VarArrayOf({Variant("Anna"), Variant(2.5)}));
    ds.Post();
    EXPECT_EQ(ds.Rows()[0].Values[1].AsString(), "Anna");
    EXPECT_DOUBLE_EQ(ds.Rows()[0].Values[2].AsDouble(), 2.5);
}

TEST_F(DataSetTest, DestroyingAFieldClosesItsDataset)
{
    auto* name = new TStringField(&ds);
    name->SetFieldName("NAME");
    name->SetDataSet(&ds);
    ds.Open();
    delete name;
    EXPECT_FALSE(ds.Active());
    EXPECT_EQ(ds.FieldCount(), 0);
}

TEST_F(DataSetTest, FieldsCannotJoinOrLeaveAnOpenDataset)
{
    ds.Open();
    auto* extra = new TStringField(&ds);
    extra->SetFieldName("EXTRA");
    EXPECT_EQ(ErrorOf<EDatabaseError>([&] { extra->SetDataSet(&ds); }),
              "People: Cannot perform this operation on an open dataset");
    ds.Close();
    auto* dup = new TStringField(&ds);
    dup->SetFieldName("X");
    dup->SetDataSet(&ds);
    auto* dup2 = new TStringField(&ds);
    dup2->SetFieldName("x");
    EXPECT_EQ(ErrorOf<EDatabaseError>([&] { dup2->SetDataSet(&ds); }), "People: Duplicate field name 'x'");
}
