// The server-backed dataset base: index fields, key search, clone cursors,
// load and save through a writer, rows from columnar replies, the edit SQL
// with the utility dataset's statements pinned as texts, and the record copy.

#include "Components/Nembra/NembraDataSet.h"

#include <gtest/gtest.h>

#include "Components/Nembra/NembraJSON.h"
#include "Components/Nembra/NembraLib.h"
#include "NembraDataSetTestSupport.h"
#include "platform/FileUtils.h"
#include "platform/Streams.h"
#include "support/ErrorOf.h"
#include "support/TempFolder.h"
#include "support/Visible.h"

namespace {

// People: ID, NAME, AMOUNT, in the order given.
void AddPeople(TNembraDataSet& ds, std::initializer_list<std::tuple<int, const char*, double>> rows)
{
    OpenWithFields(ds, {{"ID", ftInteger}, {"NAME", ftString, 20}, {"AMOUNT", ftFloat}});
    for (const auto& [id, name, amount] : rows)
        ds.AppendRecord({id, name, amount});
    ds.First();
}

// ---------------------------------------------------------------------------
// Index fields

TEST(NembraDataSetIndex, IndexFieldsOrderTheRowsWhileEnabled)
{
    TNembraDataSet ds;
    EXPECT_TRUE(ds.IndexEnabled());
    EXPECT_EQ(ds.IndexFields(), "") << "the engine's order at the start";
    AddPeople(ds, {{3, "Cid", 1}, {1, "Ann", 2}, {2, "Bo", 3}});
    ds.SetIndexFields("NAME");
    EXPECT_EQ(ds.OrderBy(), "NAME");
    EXPECT_EQ(Column(ds, "ID"), (std::vector<std::string>{"1", "2", "3"}));

    ds.SetIndexEnabled(false);
    EXPECT_EQ(ds.OrderBy(), "");
    EXPECT_EQ(Column(ds, "ID"), (std::vector<std::string>{"3", "1", "2"}));
    ds.SetIndexFields("-ID");
    EXPECT_EQ(ds.OrderBy(), "") << "stored, not applied, while disabled";
    ds.SetIndexEnabled(true);
    EXPECT_EQ(Column(ds, "ID"), (std::vector<std::string>{"3", "2", "1"}));
}

TEST(NembraDataSetIndex, ResortPlacesRowsChangedInTheTable)
{
    TNembraDataSet ds;
    AddPeople(ds, {{1, "Ann", 1}, {2, "Bo", 2}, {3, "Cid", 3}});
    ds.SetIndexFields("NAME");
    TKldDataTable* table = ds.GetDataTable();
    table->GetRow(0)->SetAsVariant("NAME", "Zed");
    ds.Resort();
    EXPECT_EQ(Column(ds, "NAME"), (std::vector<std::string>{"Bo", "Cid", "Zed"}));
    EXPECT_EQ(ds.OrderBy(), "NAME");
}

TEST(NembraDataSetIndex, FindKeySearchesTheIndexFields)
{
    TNembraDataSet ds;
    AddPeople(ds, {{1, "Ann", 10}, {2, "Bo", 20}, {3, "Ann", 30}});
    EXPECT_EQ(ErrorOf([&] { ds.FindKey(1); }), "Index is not specified for a data set");
    ds.SetIndexFields("+NAME;-ID");
    EXPECT_TRUE(ds.FindKey(VarArrayOf({"Ann", 1})));
    EXPECT_EQ(ds.FieldByName("AMOUNT")->AsFloat(), 10);
    EXPECT_FALSE(ds.FindKey(VarArrayOf({"Ann", 2})));
    EXPECT_EQ(ds.FieldByName("AMOUNT")->AsFloat(), 10) << "no match stays where it was";
    ds.SetIndexFields("ID");
    EXPECT_TRUE(ds.FindKey(2));
    EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "Bo");
    ds.SetIndexEnabled(false);
    EXPECT_EQ(ErrorOf([&] { ds.FindKey(2); }), "Index is not specified for a data set");
}

// ---------------------------------------------------------------------------
// Clone cursors and emptying

TEST(NembraDataSetClone, ACloneSharesTheSourceTable)
{
    TNembraDataSet source;
    AddPeople(source, {{1, "Ann", 1}, {2, "Bo", 2}, {3, "Cid", 3}});
    source.SetIndexFields("-ID");
    source.SetFilter("AMOUNT > 1");
    source.SetFiltered(true);

    TNembraDataSet plain;
    plain.CloneCursor(&source, {});
    EXPECT_EQ(plain.GetDataTable(), source.GetDataTable());
    EXPECT_EQ(Column(plain, "ID"), (std::vector<std::string>{"1", "2", "3"}));

    TNembraDataSet both;
    both.CloneCursor(&source, {coIndex, coFilter});
    EXPECT_EQ(both.IndexFields(), "-ID");
    EXPECT_TRUE(both.Filtered());
    EXPECT_EQ(Column(both, "ID"), (std::vector<std::string>{"3", "2"}));

    plain.First();
    plain.Edit();
    plain.FieldByName("NAME")->SetAsString("Anna");
    plain.Post();
    source.SetFiltered(false);
    source.Last();
    EXPECT_EQ(source.FieldByName("NAME")->AsString(), "Anna")
        << "a change through the clone shows in the source";

    EXPECT_NE(ErrorOf([&] { both.CloneCursor(&source, {}); }), "") << "the clone must be closed";
    TNembraDataSet closed;
    TNembraDataSet other;
    EXPECT_NE(ErrorOf([&] { other.CloneCursor(&closed, {}); }), "") << "the source must be open";

    source.Close();
    EXPECT_FALSE(plain.Active()) << "a clone of a private table closes with it";
}

TEST(NembraDataSetClone, EmptyDataSetClearsTheTable)
{
    TNembraDataSet ds;
    ds.EmptyDataSet();
    AddPeople(ds, {{1, "Ann", 1}, {2, "Bo", 2}});
    ds.Delete();
    ds.EmptyDataSet();
    EXPECT_EQ(ds.RecordCount(), 0);
    EXPECT_EQ(ds.GetDataTable()->PhysicalRowCount(), 0) << "deleted rows go too";
    EXPECT_TRUE(ds.Eof());
}

// ---------------------------------------------------------------------------
// Writers

// Writes "name|count" and reads it back, recording what it was asked.
class TLineWriter : public TNembraDataSetWriter
{
  public:
    using TNembraDataSetWriter::TNembraDataSetWriter;
    static inline std::vector<std::string> Calls;

    void WriteHeader() override { Calls.push_back("WriteHeader"); }
    void WriteStructure() override {}
    void WriteRecord() override {}
    void ReadHeader() override { Calls.push_back("ReadHeader"); }
    void ReadStructure() override {}
    bool ReadRecord() override { return false; }
    std::string GetShadowName() override { return m_name; }
    TCancelAction Write(const std::string& name) override
    {
        m_name = name;
        WriteHeader();
        WriteString(*Stream(), name + "|" + std::to_string(DataSetRecordCount(*DataSet())));
        return caNone;
    }
    TCancelAction Read() override
    {
        ReadHeader();
        const std::string text = StreamToString(*Stream());
        m_name = text.substr(0, text.find('|'));
        return caNone;
    }

  private:
    std::string m_name;
};

TEST(NembraDataSetWriters, LoadAndSaveGoThroughTheWriterClass)
{
    TLineWriter::Calls.clear();
    TNembraDataSet ds;
    AddPeople(ds, {{1, "Ann", 1}, {2, "Bo", 2}});
    TMemoryStream stream;
    ds.SaveToStream(NembraWriterClass<TLineWriter>(), &stream, "Rows");
    EXPECT_EQ(stream.Size(), 6);
    stream.SetPosition(0);
    EXPECT_EQ(ds.LoadFromStream(NembraWriterClass<TLineWriter>(), &stream), "Rows");
    EXPECT_EQ(TLineWriter::Calls, (std::vector<std::string>{"WriteHeader", "ReadHeader"}));

    TTempFolder folder;
    const std::string file = folder / "people.snap";
    ds.SaveToFile(NembraWriterClass<TLineWriter>(), file, "People");
    EXPECT_EQ(ReadString(file), "People|2");
    EXPECT_EQ(ds.LoadFromFile(NembraWriterClass<TLineWriter>(), file), "People");

    EXPECT_EQ(ErrorOf([&] { ds.LoadFromStream(NembraWriterClass<TLineWriter>(), nullptr); }),
              "LoadFromStream: stream is not assigned");
    EXPECT_EQ(ErrorOf([&] { ds.SaveToStream(NembraWriterClass<TLineWriter>(), nullptr, "x"); }),
              "SaveToStream: stream is not assigned");
    EXPECT_NE(ErrorOf([&] { ds.LoadFromFile(NembraWriterClass<TLineWriter>(), file + ".missing"); }), "");
}

// Writes half a snapshot, then fails.
class TFailingWriter : public TLineWriter
{
  public:
    using TLineWriter::TLineWriter;
    TCancelAction Write(const std::string&) override
    {
        WriteString(*Stream(), "half");
        throw Exception("the disk is full");
    }
};

TEST(NembraDataSetWriters, AFailedSaveLeavesTheOldFileWhole)
{
    TNembraDataSet ds;
    AddPeople(ds, {{1, "Ann", 1}});
    TTempFolder folder;
    const std::string file = folder / "people.snap";
    ds.SaveToFile(NembraWriterClass<TLineWriter>(), file, "Old");
    EXPECT_EQ(ErrorOf([&] { ds.SaveToFile(NembraWriterClass<TFailingWriter>(), file, "New"); }), "the disk is full");
    EXPECT_EQ(ReadString(file), "Old|1");
    EXPECT_EQ(FindFiles(folder.Path(), "*"), (std::vector<std::string>{"people.snap"}))
        << "nothing of the failed save is left beside it";
}

// ---------------------------------------------------------------------------
// Rows from columnar replies

// A table with one column of each kind a reply fills.
struct ReplyTable
{
    TKldDataContainer Container;
    TKldDataTable* Table = nullptr;

    ReplyTable()
    {
        Table = Container.Tables().Add();
        Table->SetName("T");
        Table->Columns().AddColumn("ID", cdtInteger);
        Table->Columns().AddColumn("NAME", cdtString, 30);
        Table->Columns().AddColumn("AMOUNT", cdtFloat);
        Table->Columns().AddColumn("BORN", cdtDate);
        Table->Columns().AddColumn("STAMP", cdtDateTime);
        Table->Columns().AddColumn("START", cdtTime);
        Table->Columns().AddColumn("NOTE", cdtMemo);
        Table->Columns().AddColumn("PICTURE", cdtBlob);
        Table->Columns().AddColumn("ACTIVE", cdtBoolean);
        Table->Columns().AddColumn("BIG", cdtLargeInt);
        Container.SetActive(true);
    }

    // Every row of the reply appended as fetched data.
    void Fill(const TJSONObject& reply, bool withMap = true)
    {
        const TNembraColMap map = CreateColMap(reply, *Table);
        const int rows = reply.GetPropValue(0).GetAsArray().Count();
        Table->BeginUpdate();
        for (int i = 0; i < rows; ++i) {
            std::unique_ptr<TKldDataRow> row(Table->New());
            JSONToRow(reply, row.get(), i, withMap ? &map : nullptr);
            Table->Insert(row.release(), -1);
        }
        Table->EndUpdate();
    }

    Variant Value(int row, const char* column) { return Table->GetRow(row)->GetAsVariant(column); }
};

TEST(NembraReplyRows, ColumnMapFollowsTheMemberNames)
{
    ReplyTable t;
    const TJSONObject inOrder("{\"ID\":[],\"name\":[],\"Extra\":[],\"BORN\":[]}");
    EXPECT_EQ(CreateColMap(inOrder, *t.Table),
              (TNembraColMap{t.Table->Column(0), t.Table->Column(1), nullptr, t.Table->Column(3)}));
    TNembraColMap list{nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    CreateColMap(TJSONObject("{\"PICTURE\":[],\"ID\":[]}"), *t.Table, list);
    EXPECT_EQ(list, (TNembraColMap{t.Table->Column(7), t.Table->Column(0)}));
}

TEST(NembraReplyRows, RowsAreFilledByNameWhateverTheMemberOrder)
{
    for (bool withMap : {true, false}) {
        SCOPED_TRACE(withMap ? "with a column map" : "looked up per member");
        ReplyTable t;
        const TJSONObject reply(
            "{\"NOTE\":[\"bGluZTENCmxpbmUy\",null],\"AMOUNT\":[1.25,7],"
            "\"Unknown\":[1,2],\"STAMP\":[\"2024-02-29 07:30:15\",\"2024-03-01\"],"
            "\"ID\":[10,11],\"BORN\":[\"2024-02-29\",null],\"START\":[\"07:30:15\",null],"
            "\"PICTURE\":[\"AAH/\",\"\"],\"NAME\":[\"Ann\",12],\"ACTIVE\":[true,\"False\"],"
            "\"BIG\":[5000000000,\"17\"]}");
        t.Fill(reply, withMap);
        ASSERT_EQ(t.Table->RowCount(), 2);
        EXPECT_EQ(t.Value(0, "ID").AsInteger(), 10);
        EXPECT_EQ(t.Value(0, "NAME").AsString(), "Ann");
        EXPECT_EQ(t.Value(1, "NAME").AsString(), "12") << "other kinds go through the row's conversion";
        EXPECT_DOUBLE_EQ(t.Value(0, "AMOUNT").AsDouble(), 1.25);
        EXPECT_DOUBLE_EQ(t.Value(1, "AMOUNT").AsDouble(), 7);
        EXPECT_DOUBLE_EQ(t.Value(0, "BORN").AsDateTime(), EncodeDate(2024, 2, 29));
        EXPECT_DOUBLE_EQ(t.Value(0, "STAMP").AsDateTime(), EncodeDateTime(2024, 2, 29, 7, 30, 15, 0));
        EXPECT_DOUBLE_EQ(t.Value(1, "STAMP").AsDateTime(), EncodeDate(2024, 3, 1))
            << "a date alone is midnight";
        EXPECT_DOUBLE_EQ(t.Value(0, "START").AsDateTime(), EncodeTime(7, 30, 15, 0));
        EXPECT_EQ(t.Value(0, "NOTE").AsString(), "line1\r\nline2") << "memos travel as Base64";
        EXPECT_EQ(Visible(t.Value(0, "PICTURE").AsString()), Visible(std::string("\x00\x01\xFF", 3)));
        EXPECT_EQ(t.Value(1, "PICTURE").AsString(), "");
        EXPECT_FALSE(VarIsNull(t.Value(1, "PICTURE"))) << "an empty blob is a value";
        EXPECT_TRUE(t.Value(0, "ACTIVE").AsBoolean());
        EXPECT_FALSE(t.Value(1, "ACTIVE").AsBoolean());
        EXPECT_EQ(t.Value(0, "BIG").AsInt64(), 5000000000LL);
        EXPECT_EQ(t.Value(1, "BIG").AsInt64(), 17);
        EXPECT_TRUE(VarIsNull(t.Value(1, "BORN"))) << "a null element leaves the default";
        EXPECT_TRUE(VarIsNull(t.Value(1, "NOTE")));
        EXPECT_FALSE(t.Table->GetRow(0)->GetState(drsInserted)) << "fetched rows count as unchanged";
    }
}

TEST(NembraReplyRows, ANullElementLeavesWhatTheRowHolds)
{
    ReplyTable t;
    std::unique_ptr<TKldDataRow> row(t.Table->New());
    row->SetAsVariant("NAME", "default");
    JSONToRow(TJSONObject("{\"NAME\":[null],\"ID\":[4]}"), row.get(), 0);
    EXPECT_EQ(row->GetAsVariant("NAME").AsString(), "default");
    EXPECT_EQ(row->GetAsVariant("ID").AsInteger(), 4);
}

TEST(NembraReplyRows, MalformedRepliesRaise)
{
    struct Case
    {
        const char* Desc;
        std::string Reply;
        int Index;
        std::string Error;
    } cases[] = {
        {"column member that is no array", "{\"ID\":5}", 0, "Value is not an array"},
        {"index past a short array", "{\"ID\":[1,2],\"NAME\":[\"a\"]}", 1, "List index out of bounds (1)"},
        {"memo that is not Base64", "{\"NOTE\":[\"not base64!\"]}", 0, "Invalid Base64 text"},
        {"blob that is not Base64", "{\"PICTURE\":[\"@@@@\"]}", 0, "Invalid Base64 text"},
        {"date in another layout", "{\"BORN\":[\"29.02.2024\"]}", 0, "Invalid Year value"},
        {"impossible date", "{\"BORN\":[\"2024-02-30\"]}", 0, "Invalid argument to date encode"},
        {"number text that is no number", "{\"ID\":[\"ten\"]}", 0,
         "Could not convert variant of type (String) into type (Integer)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        ReplyTable t;
        std::unique_ptr<TKldDataRow> row(t.Table->New());
        EXPECT_EQ(ErrorOf([&] { JSONToRow(TJSONObject(c.Reply), row.get(), c.Index); }), c.Error);
    }
    ReplyTable t;
    std::unique_ptr<TKldDataRow> row(t.Table->New());
    JSONToRow(TJSONObject("{\"Unknown\":5,\"ID\":[3]}"), row.get(), 0);
    EXPECT_EQ(row->GetAsVariant("ID").AsInteger(), 3) << "a member without a column is not looked at";
}

// ---------------------------------------------------------------------------
// Edit SQL pieces

TEST(NembraEditSQL, FormatIdentifier)
{
    struct Case
    {
        const char* Desc;
        std::string Quotes;
        std::string Expected;
    } cases[] = {
        {"no quotes", "", "Na\"me"},
        {"one quote character doubles inner ones", "\"", "\"Na\"\"me\""},
        {"two characters enclose", "[]", "[Na\"me]"},
        {"more than two use the first two", "`'x", "`Na\"me'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(FormatIdentifier("Na\"me", c.Quotes), c.Expected);
    }
}

// A utility dataset over T (ID Integer, NAME String, AMOUNT Float, NOTE
// Memo) with two stored, accepted rows.
struct DeltaFixture
{
    TNembraUtilityDataSet DataSet;

    DeltaFixture(const std::string& keyField = "ID")
    {
        DataSet.SetDeltaTableName("T");
        DataSet.SetDeltaUpdateKeyFields(keyField);
        OpenWithFields(DataSet,
                       {{"ID", ftInteger}, {"NAME", ftString, 20}, {"AMOUNT", ftFloat}, {"NOTE", ftMemo}});
        DataSet.AppendRecord({1, "Ann", Variant::Null(), "first"});
        DataSet.AppendRecord({2, "Bo", 2.5, "second"});
        DataSet.First();
    }

    std::string Statement() { return DataSet.DeltaStatement().Text(); }
    std::string Param(const std::string& name) { return DataSet.DeltaParams().ParamByName(name)->AsString(); }
    std::vector<std::string> ParamNames()
    {
        std::vector<std::string> names;
        for (int i = 0; i < DataSet.DeltaParams().Count(); ++i)
            names.push_back(DataSet.DeltaParams()[i]->Name());
        return names;
    }
};

TEST(NembraEditSQL, ColumnListsNameParametersByDefinitionPosition)
{
    DeltaFixture f;
    TKldDataRow* row = f.DataSet.GetDataRow();
    row->BeginEdit();
    row->SetAsVariant("AMOUNT", 9.5);
    TParams params;
    std::string set;
    GetColumnsAssign(row, f.DataSet.FieldDefs(), params, set, nullptr, false, ", ", "\"", "?");
    EXPECT_EQ(set, "\r\n  \"AMOUNT\" = ?N2");
    std::string where;
    GetColumnsAssign(row, f.DataSet.FieldDefs(), params, where, nullptr, true, " AND ", "", ":");
    EXPECT_EQ(Visible(where), Visible("\r\n  ID = :O0 AND \r\n  NAME = :O1 AND \r\n  AMOUNT IS NULL "));
    TStringList skip;
    skip.Add("name");
    GetColumnsAssign(row, f.DataSet.FieldDefs(), params, where, &skip, true, " AND ", "", ":");
    EXPECT_EQ(Visible(where), Visible("\r\n  ID = :O0 AND \r\n  AMOUNT IS NULL "));
    std::string columns, values;
    GetColumnNames(row, f.DataSet.FieldDefs(), params, columns, values, ",", "[]", ":");
    EXPECT_EQ(columns, "[ID],[NAME],[AMOUNT],[NOTE]");
    EXPECT_EQ(values, ":P0,:P1,:P2,:P3");
    row->CancelEdit();

    TParams rowValues;
    GetRowValues(row, f.DataSet.FieldDefs(), rowValues);
    ASSERT_EQ(rowValues.Count(), 4);
    EXPECT_EQ(rowValues[1]->Name(), "NAME");
    EXPECT_EQ(rowValues[1]->AsString(), "Ann");
    EXPECT_EQ(rowValues[3]->DataType(), ftMemo);
    EXPECT_EQ(rowValues[0]->ParamType(), ptInput);
}

TEST(NembraEditSQL, WhereListNeedsEveryOrdinaryColumn)
{
    DeltaFixture f("");
    f.DataSet.FieldDefs().Add("MISSING", ftString, 10);
    TParams params;
    std::string where;
    EXPECT_EQ(ErrorOf([&] {
                  GetColumnsAssign(f.DataSet.GetDataRow(), f.DataSet.FieldDefs(), params, where, nullptr,
                                   true, " AND ", "", ":");
              }),
              "Unable to update table. Not all fields are present in the data set. Please select all ordinal "
              "fields or specify primary key column name");
    std::string set;
    GetColumnsAssign(f.DataSet.GetDataRow(), f.DataSet.FieldDefs(), params, set, nullptr, false, ", ", "",
                     ":");
    EXPECT_EQ(set, "") << "the SET list skips it";
}

// ---------------------------------------------------------------------------
// The utility dataset's statements

TEST(NembraUtilityDataSet, UpdateByKey)
{
    DeltaFixture f;
    f.DataSet.Edit();
    f.DataSet.FieldByName("NAME")->SetAsString("Anna");
    f.DataSet.Post();
    EXPECT_EQ(Visible(f.Statement()), Visible("UPDATE T SET \r\n  NAME = :N1 WHERE ID = :PK\r\n"));
    EXPECT_EQ(f.ParamNames(), (std::vector<std::string>{"N1", "PK"}));
    EXPECT_EQ(f.Param("N1"), "Anna");
    EXPECT_TRUE(f.DataSet.DeltaPresent());
    EXPECT_FALSE(f.DataSet.GetDataRow()->GetState(drsUpdated)) << "the change is accepted";

    f.DataSet.Edit();
    f.DataSet.FieldByName("ID")->SetAsInteger(7);
    f.DataSet.FieldByName("AMOUNT")->SetAsFloat(3);
    f.DataSet.Post();
    EXPECT_EQ(Visible(f.Statement()),
              Visible("UPDATE T SET \r\n  ID = :N0, \r\n  AMOUNT = :N2 WHERE ID = :PK\r\n"));
    EXPECT_EQ(f.Param("PK"), "1") << "the key of the original version";
    EXPECT_EQ(f.DataSet.DeltaParams().ParamByName("PK")->DataType(), ftInteger);
}

TEST(NembraUtilityDataSet, UpdateWithoutKeyComparesEveryOrdinaryColumn)
{
    DeltaFixture f("");
    f.DataSet.Edit();
    f.DataSet.FieldByName("NAME")->SetAsString("Anna");
    f.DataSet.FieldByName("NOTE")->SetAsString("changed");
    f.DataSet.Post();
    EXPECT_EQ(Visible(f.Statement()),
              Visible("UPDATE T SET \r\n  NAME = :N1, \r\n  NOTE = :N3 WHERE \r\n"
                      "  ID = :O0 AND \r\n  NAME = :O1 AND \r\n  AMOUNT IS NULL  \r\n"))
        << "old nulls as IS NULL, the memo left out";
    EXPECT_EQ(f.ParamNames(), (std::vector<std::string>{"N1", "N3", "O0", "O1", "O2"}));
    EXPECT_EQ(f.Param("O1"), "Ann");
    EXPECT_TRUE(f.DataSet.DeltaParams().ParamByName("O2")->IsNull());
}

TEST(NembraUtilityDataSet, SkipFieldsAreNeverWritten)
{
    DeltaFixture f;
    f.DataSet.SetDeltaUpdateSkipFields(" amount ,NOTE");
    f.DataSet.Edit();
    f.DataSet.FieldByName("AMOUNT")->SetAsFloat(1);
    f.DataSet.Post();
    EXPECT_FALSE(f.DataSet.DeltaPresent()) << "a SET list of skipped fields only is blank";
    f.DataSet.Edit();
    f.DataSet.FieldByName("AMOUNT")->SetAsFloat(2);
    f.DataSet.FieldByName("NAME")->SetAsString("X");
    f.DataSet.Post();
    EXPECT_EQ(Visible(f.Statement()), Visible("UPDATE T SET \r\n  NAME = :N1 WHERE ID = :PK\r\n"));
}

TEST(NembraUtilityDataSet, AnUnchangedPostRecordsNothing)
{
    DeltaFixture f;
    f.DataSet.Edit();
    f.DataSet.FieldByName("NAME")->SetAsString("Anna");
    f.DataSet.Post();
    ASSERT_TRUE(f.DataSet.DeltaPresent());
    f.DataSet.Edit();
    f.DataSet.FieldByName("NAME")->SetAsString("Anna");
    f.DataSet.Post();
    EXPECT_FALSE(f.DataSet.DeltaPresent());
    EXPECT_EQ(f.DataSet.DeltaParams().Count(), 0);
}

TEST(NembraUtilityDataSet, InsertAndDelete)
{
    DeltaFixture f;
    f.DataSet.AppendRecord({3, "Cid", 1.5, "third"});
    EXPECT_EQ(f.Statement(), "INSERT INTO T (ID,NAME,AMOUNT,NOTE) VALUES (:P0,:P1,:P2,:P3)\r\n");
    EXPECT_EQ(f.Param("P3"), "third");
    EXPECT_FALSE(f.DataSet.GetDataRow()->GetState(drsInserted));

    f.DataSet.Delete();
    EXPECT_EQ(f.Statement(), "DELETE FROM T WHERE ID = :PK\r\n");
    EXPECT_EQ(f.Param("PK"), "3");

    DeltaFixture keyless("");
    keyless.DataSet.Delete();
    EXPECT_EQ(
        Visible(keyless.Statement()),
        Visible("DELETE FROM T WHERE \r\n  ID = :O0 AND \r\n  NAME = :O1 AND \r\n  AMOUNT IS NULL  \r\n"));
    EXPECT_EQ(keyless.DataSet.RecordCount(), 1);
}

TEST(NembraUtilityDataSet, AKeylessTableOfBlobsOnlyDeletesWithAnEmptyWhereList)
{
    // Kept as the generator has always written it: nothing identifies the row.
    TNembraUtilityDataSet ds;
    ds.SetDeltaTableName("PICS");
    OpenWithFields(ds, {{"PICTURE", ftBlob}, {"NOTE", ftMemo}});
    ds.AppendRecord({"bytes", "text"});
    ds.Delete();
    EXPECT_EQ(ds.DeltaStatement().Text(), "DELETE FROM PICS WHERE  \r\n");
}

TEST(NembraUtilityDataSet, StatementErrors)
{
    DeltaFixture f("COUNTER");
    f.DataSet.Edit();
    f.DataSet.FieldByName("NAME")->SetAsString("Anna");
    EXPECT_EQ(ErrorOf([&] { f.DataSet.Post(); }), "Field not found: COUNTER");
    EXPECT_EQ(f.DataSet.State(), dsEdit) << "a failing generator stops the post";
    EXPECT_TRUE(f.DataSet.GetDataRow()->GetState(drsEditing));
    f.DataSet.Cancel();
    EXPECT_EQ(f.DataSet.FieldByName("NAME")->AsString(), "Ann");
    EXPECT_EQ(ErrorOf([&] { f.DataSet.Delete(); }), "Field not found: COUNTER");
    EXPECT_EQ(f.DataSet.RecordCount(), 2);

    TNembraUtilityDataSet noFields;
    TParams params;
    std::string sql;
    TKldDataRow* row = f.DataSet.GetDataRow();
    EXPECT_EQ(ErrorOf([&] { noFields.GetInsertSQL(row, params, sql); }),
              "No fields are defined for this data set");
    row->BeginEdit();
    row->SetAsVariant("NAME", "Changed");
    EXPECT_EQ(ErrorOf([&] { noFields.GetUpdateSQL(row, params, sql); }),
              "No fields are defined for this data set");
    row->CancelEdit();
}

TEST(NembraUtilityDataSet, ABlankSetListEndsTheUpdateBeforeTheKeyIsLookedFor)
{
    struct Case
    {
        const char* Desc;
        const char* Changed;
        std::string Error;
        bool Recorded;
    } cases[] = {
        {"only a skipped field changed: nothing to write, the key is not needed", "AMOUNT", "", false},
        {"a written field changed: the key must exist", "NAME", "Field not found: COUNTER", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        DeltaFixture f("COUNTER");
        f.DataSet.SetDeltaUpdateSkipFields("AMOUNT");
        f.DataSet.Edit();
        f.DataSet.FieldByName(c.Changed)->SetAsString("7");
        EXPECT_EQ(ErrorOf([&] { f.DataSet.Post(); }), c.Error);
        EXPECT_EQ(f.DataSet.DeltaPresent(), c.Recorded);
        if (f.DataSet.State() == dsEdit)
            f.DataSet.Cancel();
    }
}

TEST(NembraUtilityDataSet, UpdatingARowThatWasJustInsertedByKeyRaises)
{
    DeltaFixture f;
    TKldDataTable* table = f.DataSet.GetDataTable();
    TKldDataRow* row = table->New();
    row->SetAsVariant("ID", 9);
    row->SetAsVariant("NAME", "New");
    table->Insert(row);
    ASSERT_TRUE(row->GetState(drsInserted));
    row->BeginEdit();
    row->SetAsVariant("NAME", "Newer");
    TParams params;
    std::string sql;
    EXPECT_EQ(ErrorOf([&] { f.DataSet.GetUpdateSQL(row, params, sql); }),
              "Unable to update row that was just inserted: ID");
    row->CancelEdit();
}

TEST(NembraUtilityDataSet, TheLatchRecordsNothingButTheRowsStillAccept)
{
    DeltaFixture f;
    f.DataSet.Edit();
    f.DataSet.FieldByName("NAME")->SetAsString("Anna");
    f.DataSet.Post();
    ASSERT_TRUE(f.DataSet.DeltaPresent());
    f.DataSet.SetDeltaStatementLatch(true);
    EXPECT_FALSE(f.DataSet.ProduceDeltaStatement());
    f.DataSet.Edit();
    f.DataSet.FieldByName("NAME")->SetAsString("Anne");
    f.DataSet.Post();
    EXPECT_FALSE(f.DataSet.DeltaPresent()) << "the last statement is cleared";
    EXPECT_FALSE(f.DataSet.GetDataRow()->GetState(drsUpdated));

    // Changes made behind the dataset's back are accepted when recording resumes.
    TKldDataRow* other = f.DataSet.GetDataTable()->GetRow(1);
    other->SetAsVariant("NAME", "Bob");
    ASSERT_TRUE(other->GetState(drsUpdated));
    f.DataSet.SetProduceDeltaStatement(true);
    EXPECT_FALSE(other->GetState(drsUpdated));
    EXPECT_EQ(other->OriginalRow(), nullptr);
}

// ---------------------------------------------------------------------------
// Copying a record

TEST(NembraCopyRecordFields, CopiesByNameAndType)
{
    TNembraDataSet source;
    OpenWithFields(source, {{"ID", ftInteger},
                            {"NAME", ftString, 20},
                            {"AMOUNT", ftFloat},
                            {"PRICE", ftBCD, 4},
                            {"BORN", ftDate},
                            {"ACTIVE", ftBoolean},
                            {"NOTE", ftMemo},
                            {"ONLY_HERE", ftInteger}});
    source.AppendRecord({5, "Ann", 1.5, 2.25, Variant::FromDate(EncodeDate(2024, 2, 29)), true, "memo", 1});
    TNembraDataSet dest;
    OpenWithFields(dest, {{"ID", ftInteger},
                          {"NAME", ftString, 20},
                          {"AMOUNT", ftFloat},
                          {"PRICE", ftBCD, 4},
                          {"BORN", ftDate},
                          {"ACTIVE", ftBoolean},
                          {"NOTE", ftMemo}});
    source.CopyRecordFields(&dest, false);
    EXPECT_EQ(dest.State(), dsInsert) << "a browsing destination gets a new record";
    dest.Post();
    EXPECT_EQ(dest.FieldByName("ID")->AsInteger(), 5);
    EXPECT_EQ(dest.FieldByName("NAME")->AsString(), "Ann");
    EXPECT_DOUBLE_EQ(dest.FieldByName("AMOUNT")->AsFloat(), 1.5);
    EXPECT_DOUBLE_EQ(dest.FieldByName("PRICE")->AsFloat(), 2.25);
    EXPECT_DOUBLE_EQ(dest.FieldByName("BORN")->AsDateTime(), EncodeDate(2024, 2, 29));
    EXPECT_TRUE(dest.FieldByName("ACTIVE")->AsBoolean());
    EXPECT_EQ(dest.FieldByName("NOTE")->AsString(), "memo");

    EXPECT_EQ(ErrorOf([&] { CopyRecordFields(&source, &dest); }),
              "CopyRecordFields\n\rField not found: ONLY_HERE");
    dest.Cancel();
    CopyRecordFields(&source, &dest, true, false, true);
    EXPECT_EQ(dest.FieldByName("NAME")->AsString(), "Ann")
        << "a missing field is skipped when errors are ignored";
    dest.Cancel();
    EXPECT_EQ(ErrorOf([&] { CopyRecordFields(nullptr, &dest); }), "CopyRecordFields\n\rDS not assigned");
    EXPECT_EQ(ErrorOf([&] { CopyRecordFields(&source, nullptr); }), "CopyRecordFields\n\rDS not assigned");
}

TEST(NembraCopyRecordFields, NullsMismatchesAndUnsupportedTypes)
{
    TNembraDataSet source;
    OpenWithFields(source, {{"NAME", ftString, 20}, {"CODE", ftInteger}, {"BIG", ftLargeint}});
    source.AppendRecord({Variant::Null(), 4, 5000000000LL});
    TNembraDataSet dest;
    OpenWithFields(dest, {{"NAME", ftString, 20}, {"CODE", ftString, 10}, {"BIG", ftLargeint}});
    dest.AppendRecord({"kept", "x", Variant::Null()});
    dest.Edit();

    EXPECT_EQ(ErrorOf([&] { CopyRecordFields(&source, &dest, true, true, false); }),
              "CopyRecordFields\n\rField type mismatch: CODE");
    EXPECT_EQ(dest.FieldByName("NAME")->AsString(), "kept") << "a null is not copied with KeepDestOnNull";
    EXPECT_EQ(ErrorOf([&] { CopyRecordFields(&source, &dest, true, false, true); }),
              "CopyRecordFields\n\rUnsupported field type: BIG")
        << "also when errors are ignored";
    EXPECT_TRUE(dest.FieldByName("NAME")->IsNull()) << "a null clears the destination";
    EXPECT_EQ(dest.FieldByName("CODE")->AsString(), "x") << "a mismatch is skipped when errors are ignored";

    source.Edit();
    source.FieldByName("BIG")->Clear();
    source.FieldByName("CODE")->Clear();
    CopyRecordFields(&source, &dest, true, false, true);
    EXPECT_TRUE(dest.FieldByName("BIG")->IsNull()) << "a null of any type is cleared";
}

} // namespace
