#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <random>
#include <set>
#include <vector>

#include "KldEngineTestSupport.h"

namespace
{

class KldDataTableTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        log = new KldEventLog(&container);
        table = container.Tables().Add();
        table->SetName("People");
        key = table->Columns().AddColumn("A", cdtString);
        key->SetPrimaryKey(true);
        other = table->Columns().AddColumn("B", cdtInteger);
        container.SetActive(true);
    }

    TKldDataRow* Add(const std::string& k, int b = 0)
    {
        std::unique_ptr<TKldDataRow> row(table->New());
        row->SetValue(key, k);
        row->SetValue(other, b);
        table->Insert(row.get());
        return row.release();
    }

    std::string Keys() const
    {
        std::string s;
        for (int i = 0; i < table->PhysicalRowCount(); ++i)
            s += (s.empty() ? "" : ",") + table->GetRow(i)->GetAsString(key);
        return s;
    }

    TKldDataContainer container;
    KldEventLog* log = nullptr;
    TKldDataTable* table = nullptr;
    TKldDataColumn* key = nullptr;
    TKldDataColumn* other = nullptr;
};

// A table without key: rows stay where they are put.
class KldPlainTableTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        table = container.Tables().Add();
        table->SetName("Plain");
        value = table->Columns().AddColumn("V", cdtInteger);
        text = table->Columns().AddColumn("S", cdtString);
        for (int i = 0; i < 4; ++i)
        {
            TKldDataRow* row = table->New();
            row->SetValue(value, i);
            row->SetValue(text, std::string(1, char('a' + i)));
            table->Insert(row);
        }
    }

    std::string Values() const
    {
        std::string s;
        for (int i = 0; i < table->RowCount(); ++i)
            s += table->GetRow(i)->GetAsString(value);
        return s;
    }

    TKldDataContainer container;
    TKldDataTable* table = nullptr;
    TKldDataColumn* value = nullptr;
    TKldDataColumn* text = nullptr;
};

} // namespace

TEST_F(KldDataTableTest, RowsStayInKeyOrder)
{
    Add("b");
    Add("a");
    Add("c");
    EXPECT_EQ(Keys(), "a,b,c");
    ExpectKldError([&] { Add("a"); }, "Primary key violation in table \"People\"");
    EXPECT_EQ(table->RowCount(), 3);

    // A failed insert leaves the row with its caller.
    std::unique_ptr<TKldDataRow> rejected(table->New());
    rejected->SetValue(key, "b");
    EXPECT_THROW(table->Insert(rejected.get()), Exception);
    EXPECT_FALSE(rejected->GetState(drsStored));

    container.BeginUpdate();
    Add("a", 2);
    container.EndUpdate();
    EXPECT_EQ(Keys(), "a,a,b,c") << "the container's bulk update skips the checks";
    EXPECT_EQ(table->GetRow(0)->GetValue(other).AsInteger(), 2) << "a duplicate goes before its equals";
}

TEST_F(KldDataTableTest, RowComparisonRules)
{
    TKldDataRow* a = Add("a", 5);
    TKldDataRow* b = Add("b", 7);
    struct Case
    {
        const char* what;
        const TKldDataRow* row1;
        const TKldDataRow* row2;
        const TKldDataColumn* column1;
        const TKldDataColumn* column2;
        TKldCompareOptions options;
        int expected;
    };
    const Case cases[] = {
        {"values in one column", a, b, other, other, {}, -1},
        {"descending", a, b, other, other, {coDescending}, 1},
        {"no first row", nullptr, b, other, other, {}, 0},
        {"no second row", a, nullptr, other, other, {}, 0},
        {"columns of different types", a, b, key, other, {}, 0},
        {"no first column: NULL first", a, b, nullptr, other, {}, -1},
        {"no second column: NULL first", a, b, other, nullptr, {}, 1},
        {"no first column, nulls last", a, b, nullptr, other, {coNullsLast}, 1},
        {"no first column, descending keeps NULL first", a, b, nullptr, other, {coDescending}, -1},
        {"no columns: two NULLs", a, b, nullptr, nullptr, {}, 0},
    };
    for (const Case& c : cases)
    {
        int result = _CompareRow(c.row1, c.row2, c.column1, c.column2, c.options);
        EXPECT_EQ((result > 0) - (result < 0), c.expected) << c.what;
    }

    // Pair by pair, the first difference decides.
    EXPECT_EQ(CompareRows(a, a, TKldColumnArray{key, other}, {}, TKldColumnArray{key, other}), 0);
    EXPECT_LT(CompareRows(a, b, TKldColumnArray{key, other}, {}, TKldColumnArray{key, other}), 0);
    EXPECT_GT(CompareRows(b, a, TKldColumnArray{other}, {}, TKldColumnArray{other}), 0);
    EXPECT_EQ(CompareRows(a, b, TKldColumnArray{}, {}, TKldColumnArray{}), 0);
    b->BeginEdit();
    b->SetValue(other, 5);
    b->EndEdit();
    EXPECT_EQ(CompareRows(a, b, TKldColumnArray{other}, {}, TKldColumnArray{other}), 0);
    EXPECT_LT(CompareRows(a, b, TKldColumnArray{other, key}, {}, TKldColumnArray{other, key}), 0);
}

TEST_F(KldDataTableTest, KeySearch)
{
    for (const char* k : {"d", "b", "f"})
        Add(k);
    struct Case
    {
        const char* Desc;
        const char* Key;
        bool Found;
        int Position;
    };
    const Case cases[] = {
        {"before all", "a", false, 0}, {"first", "b", true, 0},   {"between", "c", false, 1},
        {"middle", "d", true, 1},      {"last", "f", true, 2},    {"after all", "g", false, 3},
    };
    std::unique_ptr<TKldDataRow> probe(table->NewRow());
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        probe->SetValue(key, c.Key);
        int position = -1;
        EXPECT_EQ(table->FindRowPos(probe.get(), position), c.Found);
        EXPECT_EQ(position, c.Position);
        TKldDataRow* found = table->FindRow(probe.get());
        EXPECT_EQ(found != nullptr, c.Found);
        if (found) {
            EXPECT_EQ(found->GetAsString(key), c.Key);
        }
    }
    probe->SetValue(key, Variant::Null());
    int position = -1;
    EXPECT_FALSE(table->FindRowPos(probe.get(), position));
    EXPECT_EQ(position, 0) << "NULL sorts first";

    container.BeginUpdate();
    Add("d", 7);
    Add("d", 8);
    container.EndUpdate();
    probe->SetValue(key, "d");
    EXPECT_TRUE(table->FindRowPos(probe.get(), position));
    EXPECT_EQ(position, 1) << "equal keys are found at their leftmost place";
}

TEST_F(KldDataTableTest, DeleteAcceptAndReject)
{
    Add("a");
    TKldDataRow* b = Add("b");
    Add("c");
    table->AcceptChanges();
    log->Events.clear();
    b->Delete();
    EXPECT_EQ(log->Count(cdeRowDeleted), 1);
    EXPECT_EQ(table->RowCount(), 2);
    EXPECT_EQ(table->PhysicalRowCount(), 3);
    EXPECT_EQ(Keys(), "a,c,b");
    EXPECT_EQ(table->IndexOfRow(b), 2);
    EXPECT_FALSE(table->CanDeleteRow(b));

    table->RejectChanges();
    EXPECT_EQ(Keys(), "a,b,c") << "restored in key order";
    EXPECT_FALSE(b->GetState(drsDeleted));

    b->Delete();
    table->AcceptChanges();
    EXPECT_EQ(Keys(), "a,c");
    EXPECT_EQ(table->PhysicalRowCount(), 2);

    table->EmptyTable();
    EXPECT_EQ(table->RowCount(), 0);
    EXPECT_EQ(table->PhysicalRowCount(), 2) << "emptied rows wait in the deleted tail";
    table->AcceptChanges();
    EXPECT_EQ(table->PhysicalRowCount(), 0);
}

TEST_F(KldDataTableTest, RejectRemovesInsertsAndRestoresUpdates)
{
    Add("a", 1);
    Add("c", 3);
    table->AcceptChanges();
    Add("b", 2);
    table->GetRow(0)->SetValue(other, 10);
    TKldDataRow* c = table->GetRow(2);
    c->Delete();
    table->RejectChanges();
    EXPECT_EQ(Keys(), "a,c");
    EXPECT_EQ(table->GetRow(0)->GetValue(other).AsInteger(), 1);
    for (int i = 0; i < table->RowCount(); ++i)
    {
        EXPECT_FALSE(table->GetRow(i)->GetState(drsUpdated));
        EXPECT_FALSE(table->GetRow(i)->GetState(drsDeleted));
    }
}

TEST_F(KldDataTableTest, BulkUpdateAddsRowsSilently)
{
    log->Events.clear();
    table->BeginUpdate();
    EXPECT_TRUE(table->IsUpdating());
    TKldDataRow* row = Add("x");
    table->EndUpdate();
    EXPECT_FALSE(row->GetState(drsInserted));
    EXPECT_TRUE(row->GetState(drsStored));
    ASSERT_EQ(log->Events.size(), 1u);
    EXPECT_EQ(log->Events[0].first, table);
    EXPECT_EQ(log->Events[0].second, cdeTableDataChanged);

    log->Events.clear();
    row = Add("y");
    EXPECT_TRUE(row->GetState(drsInserted));
    ASSERT_EQ(log->Events.size(), 1u);
    EXPECT_EQ(log->Events[0].first, row);
    EXPECT_EQ(log->Events[0].second, cdeRowInserted);

    // A table bulk update still refuses duplicate keys.
    table->BeginUpdate();
    EXPECT_THROW(Add("x"), Exception);
    table->EndUpdate();
}

TEST_F(KldDataTableTest, ContainerBulkUpdateEvents)
{
    log->Events.clear();
    container.BeginUpdate();
    Add("a");
    table->Columns().AddColumn("New", cdtInteger); // deactivates
    container.SetActive(true);
    container.EndUpdate();
    std::vector<TKldDataEventType> seen;
    for (const auto& e : log->Events)
        seen.push_back(e.second);
    EXPECT_EQ(seen, (std::vector<TKldDataEventType>{cdeContainerDeactivated, cdeContainerChanged,
                                                      cdeContainerActivated, cdeContainerDataChanged}));
    EXPECT_EQ(table->RowCount(), 0) << "the structure change discarded the rows";
}

TEST_F(KldDataTableTest, RequiredColumns)
{
    container.SetActive(false);
    TKldDataColumn* note = table->Columns().AddColumn("Note", cdtString, -1, true);
    TKldDataColumn* count = table->Columns().AddColumn("Count", cdtInteger, -1, true);
    TKldDataColumn* when = table->Columns().AddColumn("When", cdtDateTime, -1, true);
    container.SetActive(true);

    TKldDataRow* row = table->New();
    EXPECT_EQ(row->GetAsString(note), "") << "the default row gives the empty text";
    EXPECT_TRUE(row->GetAssignedValue(note));
    EXPECT_EQ(row->GetValue(count).AsInteger(), 0);
    EXPECT_FALSE(row->GetAssignedValue(when)) << "no default for dates";
    row->SetValue(key, "k");
    ExpectKldError([&] { table->Insert(row); }, "Column When is required and must be assigned a value");
    row->SetValue(when, Variant::FromDate(1.0));
    row->Clear(count);
    ExpectKldError([&] { table->Insert(row); }, "Column Count is required and must be assigned a value");
    row->SetValue(count, 1);
    table->Insert(row);
    ExpectKldError([&] { row->Clear(note); }, "Column Note is required and must be assigned a value");
    EXPECT_EQ(row->GetAsString(note), "");
}

TEST_F(KldDataTableTest, FailedKeyUpdateReturnsToItsPlace)
{
    container.SetActive(false);
    TKldDataColumn* note = table->Columns().AddColumn("Note", cdtString, -1, true);
    container.SetActive(true);
    Add("a");
    Add("b");
    TKldDataRow* c = Add("c");
    c->BeginEdit();
    c->SetValue(key, "0");
    c->SetValue(note, Variant::Null());
    EXPECT_THROW(c->EndEdit(), Exception);
    c->CancelEdit();
    EXPECT_EQ(Keys(), "a,b,c");
    EXPECT_EQ(table->GetRow(2), c);
}

TEST_F(KldDataTableTest, InsertKeyPlaceholders)
{
    Add("a");
    Add("c");
    TKldDataRow* existing = table->InsertKey(Variant("c"));
    EXPECT_EQ(existing, table->GetRow(1));
    TKldDataRow* placeholder = table->InsertKey(Variant("b"));
    EXPECT_TRUE(placeholder->GetState(drsNeedRefresh));
    EXPECT_EQ(table->IndexOfRow(placeholder), 1) << "at its key position";
    EXPECT_EQ(table->GetRow(2), existing);
    ExpectKldError([&] { placeholder->GetValue(other); },
                   "Unable to preform this operation. Data adapter is not assigned");
    EXPECT_TRUE(placeholder->GetState(drsNeedRefresh)) << "still to be fetched";

    struct Adapter : KldRecordingAdapter
    {
        TKldDataColumn* Column = nullptr;
        int Calls = 0;
        void RefreshRow(TKldDataRow* row) override
        {
            ++Calls;
            row->SetValue(Column, 99);
        }
    } adapter;
    adapter.Column = other;
    container.SetDataAdapter(&adapter);
    EXPECT_EQ(placeholder->GetValue(other).AsInteger(), 99);
    EXPECT_EQ(placeholder->GetAsString(key), "b");
    EXPECT_EQ(placeholder->GetValue(other).AsInteger(), 99);
    EXPECT_EQ(adapter.Calls, 1);
    EXPECT_FALSE(placeholder->GetState(drsNeedRefresh));
    container.SetDataAdapter(nullptr);

    TKldDataTable* plain = container.Tables().Add();
    plain->SetName("NoKey");
    plain->Columns().AddColumn("V", cdtInteger);
    ExpectKldError([&] { plain->InsertKey(Variant(1)); },
                   "Primary key is required, but not defined for table \"NoKey\"");
}

TEST_F(KldDataTableTest, StructureRules)
{
    ExpectKldError([&] { key->SetName("Renamed"); }, "Unable to perform this operation on an active data table");
    ExpectKldError([&] { key->SetDataType(cdtInteger); }, "Unable to perform this operation on an active data table");
    ExpectKldError([&] { key->SetName(" "); }, "Column name should not be empty");
    ExpectKldError([&] { key->SetName("b"); }, "Duplicate column name: b");
    ExpectKldError([&] { table->SetName(""); }, "Table name should not be empty");
    TKldDataTable* second = container.Tables().Add();
    second->SetName(" Second ");
    EXPECT_EQ(second->Name(), "Second") << "table names are trimmed";
    ExpectKldError([&] { second->SetName("PEOPLE"); }, "Duplicate table name: PEOPLE");
    ExpectKldError([&] { container.Tables().Get("Nope"); }, "Table not found: Nope");
    ExpectKldError([&] { table->Columns().Get("Nope"); }, "Column Nope not found in table People");
    ExpectKldError([&] { container.Relations().Get("Nope"); }, "Data relation not found: Nope");
    TStringList names;
    names.Add("stale");
    container.Tables().GetNames(names);
    EXPECT_EQ(names.CommaText(), "People,Second");
    EXPECT_EQ(container.Tables().IndexOf(second), 1);
    EXPECT_TRUE(container.Tables().IsUnique("people", table));
    EXPECT_FALSE(container.Tables().IsUnique("people", second));
    EXPECT_EQ(container.Tables().GetAutoName("People", 0), "People1");

    container.SetActive(false);
    key->SetName(" A2 ");
    EXPECT_EQ(key->Name(), " A2 ") << "column names are stored as given";
    TKldDataColumn* text = table->Columns().AddColumn("Text", cdtString);
    EXPECT_EQ(text->DataLength(), 20);
    text->SetDataLength(300);
    EXPECT_EQ(text->DataLength(), 300);
    text->SetDataType(cdtBCD);
    EXPECT_EQ(text->DataLength(), 2);
    text->SetDataLength(9);
    EXPECT_EQ(text->DataLength(), 4);
    text->SetDataType(cdtFloat);
    text->SetDataLength(3);
    EXPECT_EQ(text->DataLength(), 8) << "other types report their size";
    EXPECT_EQ(text->GetDataSize(), 8);
    text->SetDataTypeName("->Link");
    EXPECT_EQ(text->DataType(), cdtReference);
    EXPECT_EQ(text->RelationName(), "Link");
    EXPECT_EQ(text->DataTypeName(), "->Link");
    text->SetDataTypeName("memo");
    EXPECT_EQ(text->DataTypeName(), "Memo");
    text->SetDataTypeName("");
    EXPECT_EQ(text->DataType(), cdtUnknown);

    EXPECT_EQ(text->ItemIndex(), 2);
    text->SetItemIndex(0);
    EXPECT_EQ(table->Column(0), text);
    text->SetItemIndex(50);
    EXPECT_EQ(table->Column(2), text) << "clamped to the collection";
}

TEST_F(KldDataTableTest, PrepareChecksReferences)
{
    container.SetActive(false);
    TKldDataColumn* ref = table->Columns().AddColumn("Ref", cdtReference);
    ExpectKldError([&] { container.SetActive(true); },
                   "Relation name is not assigned to column Ref in table People");
    EXPECT_FALSE(container.Active());
    ref->SetRelationName("Missing");
    ExpectKldError([&] { container.SetActive(true); }, "Data relation not found: Missing");
    EXPECT_FALSE(table->Prepared());
}

TEST_F(KldDataTableTest, NameLists)
{
    container.SetActive(false);
    TKldDataColumn* c = table->Columns().AddColumn("C", cdtInteger);
    TKldDataColumns& cols = table->Columns();
    struct Case
    {
        const char* Desc;
        const char* Input;
        TKldColumnArray Expected;
    };
    const Case cases[] = {
        {"plain", "A;B", {key, other}},
        {"blanks and a separator at the end", "A; B ;", {key, other}},
        {"case", "b;a", {other, key}},
        {"empty text", "", {}},
    };
    for (const Case& k : cases)
    {
        SCOPED_TRACE(k.Desc);
        EXPECT_EQ(cols.GetColumnArray(k.Input), k.Expected);
    }
    ExpectKldError([&] { cols.GetColumnArray("A;;B"); }, "Column  not found in table People");
    ExpectKldError([&] { cols.GetColumnArray("A,B"); }, "Column A,B not found in table People");

    struct OrderCase
    {
        const char* Desc;
        const char* Input;
        std::vector<std::pair<TKldDataColumn*, bool>> Expected;
    };
    const OrderCase orders[] = {
        {"comma, descending", "A,-B", {{key, false}, {other, true}}},
        {"semicolon", "A;-B", {{key, false}, {other, true}}},
        {"plus", "+A", {{key, false}}},
        {"empty pieces skipped", "A,,C,", {{key, false}, {c, false}}},
        {"semicolon wins over comma", " -C ; A", {{c, true}, {key, false}}},
    };
    for (const OrderCase& k : orders)
    {
        SCOPED_TRACE(k.Desc);
        TKldOrderByColumns result = cols.GetOrderByColumns(k.Input);
        ASSERT_EQ(result.size(), k.Expected.size());
        for (size_t i = 0; i < result.size(); ++i)
        {
            EXPECT_EQ(result[i].Column, k.Expected[i].first);
            EXPECT_EQ(result[i].Descending, k.Expected[i].second);
        }
    }
    ExpectKldError([&] { cols.GetOrderByColumns("- A"); }, "Column  A not found in table People");
}

TEST_F(KldPlainTableTest, MoveRowAndIndexes)
{
    EXPECT_EQ(Values(), "0123");
    table->MoveRow(0, 3);
    EXPECT_EQ(Values(), "1230");
    ExpectKldError([&] { table->MoveRow(4, 0); }, "Invalid row index: 4");
    ExpectKldError([&] { table->MoveRow(0, -1); }, "Invalid row index: -1");
    TKldDataRow* row = table->New();
    row->SetValue(value, 9);
    table->Insert(row, 1);
    EXPECT_EQ(Values(), "19230");
    EXPECT_EQ(row->GetIndex(), 1);
}

TEST_F(KldDataTableTest, MoveRowRefusedWithAKey)
{
    Add("a");
    Add("b");
    ExpectKldError([&] { table->MoveRow(0, 1); },
                   "Unable to rearrange rows due to primary key defined for table \"People\".\r\n"
                   "If primary key is defined the rows must be stored in primary key order and cannot be "
                   "rearranged manually.");
}

TEST_F(KldPlainTableTest, FindAndLocate)
{
    ExpectKldError([&] { table->FindRow(table->GetRow(0)); },
                   "Primary key is required, but not defined for table \"Plain\"");
    TKldDataRow* row = table->New();
    row->SetValue(text, "Bcd");
    table->Insert(row);
    struct Case
    {
        const char* Desc;
        Variant Values;
        TKldCompareOptions Options;
        int ExpectedValue; // -1: no row
    };
    const Case cases[] = {
        {"exact", VarArrayOf({Variant(2), Variant("c")}), {}, 2},
        {"no match", VarArrayOf({Variant(2), Variant("d")}), {}, -1},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        TKldDataRow* found = table->Locate("V;S", c.Values, c.Options);
        EXPECT_EQ(found ? found->GetValue(value).AsInteger() : -1, c.ExpectedValue);
    }
    EXPECT_EQ(table->Locate("S", Variant("b"), {coPartialKey}), table->GetRow(1));
    EXPECT_EQ(table->Locate("S", Variant("BC"), {coPartialKey, coCaseInsensitive}), row);
    EXPECT_EQ(table->Locate("S", Variant("BC"), {coPartialKey}), nullptr);
    container.SetActive(true);
    container.SetActive(false);
    ExpectKldError([&] { table->Locate("S", Variant("a"), {}); },
                   "Unable to perform this operation on inactive data table");
}

TEST_F(KldPlainTableTest, ClearAndClearData)
{
    auto* log = new KldEventLog(&container);
    table->Clear();
    EXPECT_EQ(table->PhysicalRowCount(), 0);
    EXPECT_EQ(log->Count(cdeTableDataChanged), 1);
}

TEST_F(KldDataTableTest, AssignTableCopiesColumns)
{
    TKldDataTable* copy = container.Tables().Add();
    copy->SetName("X");
    copy->Assign(*table);
    EXPECT_EQ(copy->Name(), "People1") << "an automatic name beside the source";
    ASSERT_EQ(copy->ColumnCount(), 2);
    EXPECT_EQ(copy->Column(0)->Name(), "A");
    EXPECT_TRUE(copy->Column(0)->PrimaryKey());
    EXPECT_EQ(copy->Column(1)->DataType(), cdtInteger);
    EXPECT_TRUE(copy->HasPKColumns());
    EXPECT_FALSE(container.Active());
}

TEST_F(KldDataTableTest, TransactionsUndoEverything)
{
    Add("a", 1);
    Add("b", 2);
    table->AcceptChanges();
    container.StartTransaction();
    container.StartTransaction();
    table->GetRow(0)->SetValue(other, 10);
    table->GetRow(1)->SetValue(key, "0");
    Add("c", 3);
    table->GetRow(2)->Delete();
    container.CommitTransaction();
    EXPECT_TRUE(container.InTransaction());
    ExpectKldError([&] { table->AcceptChanges(); }, "Unable to perform this operation within active transaction");
    container.RollbackTransaction();
    EXPECT_FALSE(container.InTransaction());
    EXPECT_EQ(Keys(), "a,b");
    EXPECT_EQ(table->RowCount(), 2);
    EXPECT_EQ(table->GetRow(0)->GetValue(other).AsInteger(), 1);
    EXPECT_FALSE(table->GetRow(0)->GetState(drsUpdated));
    EXPECT_FALSE(table->GetRow(1)->ModifiedByTransaction());

    container.StartTransaction();
    table->GetRow(0)->SetValue(other, 5);
    container.CommitTransaction();
    EXPECT_FALSE(container.InTransaction());
    EXPECT_EQ(table->GetRow(0)->GetValue(other).AsInteger(), 5);
    EXPECT_FALSE(table->GetRow(0)->ModifiedByTransaction());
}

TEST_F(KldDataTableTest, RowsDestroyedInsideATransactionLeaveTheRestToUndo)
{
    for (bool commit : {false, true})
    {
        SCOPED_TRACE(commit ? "commit" : "rollback");
        table->ClearData();
        Add("a", 1);
        Add("b", 2);
        table->AcceptChanges();
        container.StartTransaction();
        for (const char* k : {"c", "d", "e", "f"})
            Add(k, 9);
        table->GetRow(0)->SetValue(other, 10);
        // Rows listed for the rollback are destroyed, in an order other than
        // the one they were listed in.
        for (const char* k : {"e", "c"})
            table->DeleteRow(table->Locate("A", Variant(std::string(k)), {}));
        table->GetRow(1)->SetValue(other, 20);
        if (commit)
            container.CommitTransaction();
        else
            container.RollbackTransaction();
        EXPECT_FALSE(container.InTransaction());
        EXPECT_EQ(Keys(), commit ? "a,b,d,f" : "a,b");
        EXPECT_EQ(table->GetRow(0)->GetValue(other).AsInteger(), commit ? 10 : 1);
        EXPECT_EQ(table->GetRow(1)->GetValue(other).AsInteger(), commit ? 20 : 2);
        for (int i = 0; i < table->RowCount(); ++i)
            EXPECT_FALSE(table->GetRow(i)->ModifiedByTransaction());
    }
}

namespace
{

// Parent P (key Id) and child C (ParentId) with relation "PC".
class KldRelationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        parent = container.Tables().Add();
        parent->SetName("P");
        pid = parent->Columns().AddColumn("Id", cdtInteger);
        pid->SetPrimaryKey(true);
        child = container.Tables().Add();
        child->SetName("C");
        cid = child->Columns().AddColumn("Id", cdtInteger);
        cid->SetPrimaryKey(true);
        cparent = child->Columns().AddColumn("ParentId", cdtInteger);
        relation = container.Relations().Add();
        relation->SetName("PC");
        relation->SetParentTableName("P");
        relation->SetChildTableName("C");
        relation->SetParentColumnNames("Id");
        relation->SetChildColumnNames("ParentId");
    }

    void Fill()
    {
        container.SetActive(true);
        for (int id : {1, 2})
        {
            TKldDataRow* row = parent->New();
            row->SetValue(pid, id);
            parent->Insert(row);
        }
        int n = 0;
        for (int p : {1, 2, 1})
        {
            TKldDataRow* row = child->New();
            row->SetValue(cid, ++n);
            row->SetValue(cparent, p);
            child->Insert(row);
        }
    }

    std::string ChildParents()
    {
        std::string s;
        for (int i = 0; i < child->RowCount(); ++i)
            s += (s.empty() ? "" : ",") + (VarIsNull(child->GetRow(i)->GetValue(cparent))
                                               ? std::string("null")
                                               : child->GetRow(i)->GetAsString(cparent));
        return s;
    }

    TKldDataContainer container;
    TKldDataTable *parent, *child;
    TKldDataColumn *pid, *cid, *cparent;
    TKldDataRelation* relation;
};

} // namespace

TEST_F(KldRelationTest, DeleteActions)
{
    struct Case
    {
        const char* Desc;
        TKldDataRelationAction Action;
        std::string Expected;
    };
    const Case cases[] = {
        {"cascade", draCascade, "2"},
        {"nullify", draNullify, "null,2,null"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        relation->SetDeleteAction(c.Action);
        container.SetActive(false);
        Fill();
        parent->GetRow(0)->Delete();
        EXPECT_EQ(ChildParents(), c.Expected);
        EXPECT_EQ(parent->RowCount(), 1);
    }
}

TEST_F(KldRelationTest, DeleteRefusedWhileChildrenExist)
{
    relation->SetDeleteAction(draError);
    Fill();
    EXPECT_FALSE(parent->CanDeleteRow(parent->GetRow(0)));
    ExpectKldError([&] { parent->GetRow(0)->Delete(); },
                   "Unable to delete row. It has related rows in table \"C\" (relation \"PC\")");
    EXPECT_EQ(parent->RowCount(), 2);
    for (int i = child->RowCount() - 1; i >= 0; --i)
    {
        if (child->GetRow(i)->GetValue(cparent).AsInteger() == 1)
            child->GetRow(i)->Delete();
    }
    EXPECT_TRUE(parent->CanDeleteRow(parent->GetRow(0)));
    parent->GetRow(0)->Delete();
    EXPECT_EQ(parent->RowCount(), 1);
}

TEST_F(KldRelationTest, UpdateCascadeAndForeignKeys)
{
    relation->SetUpdateAction(draCascade);
    Fill();
    EXPECT_TRUE(cparent->Attributes().Contains(caForeignKey));
    EXPECT_TRUE(pid->Attributes().Contains(caReferencedKey));
    TKldDataRow* p1 = parent->GetRow(0);
    p1->BeginEdit();
    p1->SetValue(pid, 3);
    p1->EndEdit();
    EXPECT_EQ(ChildParents(), "3,2,3");

    ExpectKldError([&] { child->GetRow(1)->SetValue(cparent, 42); },
                   "Related row not found in table \"P\" (relation: \"PC\")");
    EXPECT_EQ(child->GetRow(1)->GetValue(cparent).AsInteger(), 2);

    // A child row being edited stops the cascade, and nothing changes.
    child->GetRow(1)->BeginEdit();
    ExpectKldError([&] { parent->GetRow(0)->SetValue(pid, 1); }, "Row is already being edited");
    child->GetRow(1)->CancelEdit();
    EXPECT_EQ(ChildParents(), "3,2,3");
    EXPECT_EQ(parent->GetRow(1)->GetValue(pid).AsInteger(), 3);
}

TEST_F(KldRelationTest, AnEditedChildStopsCascadingDeletes)
{
    const TKldDataRelationAction actions[] = {draCascade, draNullify};
    for (TKldDataRelationAction action : actions)
    {
        SCOPED_TRACE(action == draCascade ? "cascade" : "nullify");
        relation->SetDeleteAction(action);
        container.SetActive(false);
        Fill();
        // The edited row is not even related to the deleted parent.
        child->GetRow(1)->BeginEdit();
        ExpectKldError([&] { parent->GetRow(0)->Delete(); }, "Row is already being edited");
        child->GetRow(1)->CancelEdit();
        EXPECT_EQ(parent->RowCount(), 2);
        EXPECT_EQ(child->RowCount(), 3);
        EXPECT_EQ(ChildParents(), "1,2,1");
    }
}

TEST_F(KldRelationTest, UpdateCascadeOnlyForKeyChanges)
{
    TKldDataColumn* text = parent->Columns().AddColumn("Text", cdtString);
    relation->SetUpdateAction(draCascade);
    Fill();
    // Another column of the parent changes: no child is visited, so an
    // edited child row is no obstacle.
    child->GetRow(0)->BeginEdit();
    TKldDataRow* p1 = parent->GetRow(0);
    p1->BeginEdit();
    p1->SetValue(text, "changed");
    p1->EndEdit();
    child->GetRow(0)->CancelEdit();
    EXPECT_EQ(ChildParents(), "1,2,1");
    EXPECT_EQ(child->GetRow(0)->GetState(drsUpdated), false);
    EXPECT_EQ(child->GetRow(2)->GetState(drsUpdated), false);
}

TEST_F(KldRelationTest, FailedCascadeRollsBackTheCallersTransaction)
{
    relation->SetDeleteAction(draError);
    Fill();
    container.StartTransaction();
    parent->GetRow(1)->SetValue(pid, 5); // no children hold 2? one does, but the update action is ignored
    EXPECT_THROW(parent->GetRow(0)->Delete(), Exception);
    EXPECT_FALSE(container.InTransaction());
    EXPECT_EQ(parent->GetRow(1)->GetValue(pid).AsInteger(), 2) << "the caller's change is undone too";
}

namespace
{

// A keyed table checked against a plain model after every step: the key
// search must give the same answers whatever the key search uses inside.
class KldKeySearchTest : public ::testing::TestWithParam<TKldDataType>
{
protected:
    void SetUp() override
    {
        table = container.Tables().Add();
        table->SetName("K");
        key = table->Columns().AddColumn("Key", GetParam());
        key->SetPrimaryKey(true);
        container.SetActive(true);
    }

    void ExpectConsistent(const std::set<int64_t>& model, bool withNull)
    {
        ASSERT_EQ(table->RowCount(), static_cast<int>(model.size()) + (withNull ? 1 : 0));
        auto it = model.begin();
        for (int i = withNull ? 1 : 0; i < table->RowCount(); ++i, ++it)
            ASSERT_EQ(table->GetRow(i)->GetValue(key).AsInt64(), *it) << "row " << i;
        std::unique_ptr<TKldDataRow> probe(table->NewRow());
        for (int64_t k = -3; k < 60; ++k)
        {
            probe->SetValue(key, Variant(static_cast<long long>(k)));
            TKldDataRow* found = table->FindRow(probe.get());
            ASSERT_EQ(found != nullptr, model.count(k) == 1) << "key " << k;
            if (found) {
                ASSERT_EQ(found->GetValue(key).AsInt64(), k);
            }
        }
        probe->SetValue(key, Variant::Null());
        ASSERT_EQ(table->FindRow(probe.get()) != nullptr, withNull);
    }

    TKldDataContainer container;
    TKldDataTable* table = nullptr;
    TKldDataColumn* key = nullptr;
};

} // namespace

TEST_P(KldKeySearchTest, SearchFollowsEveryChange)
{
    std::mt19937 random(11);
    std::set<int64_t> model;
    bool withNull = false;
    for (int step = 0; step < 400; ++step)
    {
        SCOPED_TRACE(step);
        int action = static_cast<int>(random() % 5);
        int64_t k = static_cast<int64_t>(random() % 50);
        if (action <= 1 && !model.count(k))
        {
            TKldDataRow* row = table->New();
            row->SetValue(key, Variant(static_cast<long long>(k)));
            table->Insert(row);
            model.insert(k);
        }
        else if (action == 2 && !model.empty())
        {
            // A key written in place moves the row.
            int64_t to = static_cast<int64_t>(random() % 50);
            int index = withNull ? 1 : 0;
            index += static_cast<int>(random() % model.size());
            TKldDataRow* row = table->GetRow(index);
            int64_t from = row->GetValue(key).AsInt64();
            if (!model.count(to))
            {
                row->SetValue(key, Variant(static_cast<long long>(to)));
                model.erase(from);
                model.insert(to);
            }
            else if (to != from)
            {
                EXPECT_THROW(row->SetValue(key, Variant(static_cast<long long>(to))), Exception);
            }
        }
        else if (action == 3 && !model.empty())
        {
            TKldDataRow* row = table->GetRow(table->RowCount() - 1);
            int64_t from = row->GetValue(key).AsInt64();
            if (!VarIsNull(row->GetValue(key)))
            {
                row->Delete();
                model.erase(from);
            }
        }
        else if (action == 4 && !withNull && step % 7 == 0)
        {
            TKldDataRow* row = table->NewRow();
            table->Insert(row);
            withNull = true;
        }
        ExpectConsistent(model, withNull);
        if (HasFatalFailure())
            return;
    }
}

INSTANTIATE_TEST_SUITE_P(KeyTypes, KldKeySearchTest,
                         ::testing::Values(cdtInteger, cdtLargeInt, cdtSmallInt, cdtFloat),
                         [](const ::testing::TestParamInfo<TKldDataType>& info) {
                             return std::string(DataTypeNames[info.param]);
                         });

TEST(KldKeySearch, SmallestLargeIntAndNullShareNothing)
{
    TKldDataContainer container;
    TKldDataTable* table = container.Tables().Add();
    table->SetName("L");
    TKldDataColumn* key = table->Columns().AddColumn("Key", cdtLargeInt);
    key->SetPrimaryKey(true);
    const long long lowest = std::numeric_limits<long long>::min();
    TKldDataRow* low = table->New();
    low->SetValue(key, Variant(lowest));
    table->Insert(low);
    TKldDataRow* none = table->Insert(table->NewRow());
    EXPECT_EQ(table->GetRow(0), none) << "NULL before the smallest value";
    std::unique_ptr<TKldDataRow> probe(table->NewRow());
    probe->SetValue(key, Variant(lowest));
    EXPECT_EQ(table->FindRow(probe.get()), low);
    probe->SetValue(key, Variant::Null());
    EXPECT_EQ(table->FindRow(probe.get()), none);
    TKldDataRow* dup = table->New();
    dup->SetValue(key, Variant(lowest));
    EXPECT_THROW(table->Insert(dup), Exception);
    delete dup;
}

// Integer and SmallInt keys keep 32-bit hints, where NULL shares the lowest
// hint with the smallest Integer; the full comparison still tells them apart.
TEST(KldKeySearch, SmallestNarrowKeyAndNullShareNothing)
{
    for (TKldDataType type : {cdtInteger, cdtSmallInt})
    {
        SCOPED_TRACE(DataTypeNames[type]);
        TKldDataContainer container;
        TKldDataTable* table = container.Tables().Add();
        table->SetName("N");
        TKldDataColumn* key = table->Columns().AddColumn("Key", type);
        key->SetPrimaryKey(true);
        const int lowest = type == cdtInteger ? std::numeric_limits<int32_t>::min() : -32768;
        const int highest = type == cdtInteger ? std::numeric_limits<int32_t>::max() : 32767;
        TKldDataRow* high = table->New();
        high->SetValue(key, Variant(highest));
        table->Insert(high);
        TKldDataRow* low = table->New();
        low->SetValue(key, Variant(lowest));
        table->Insert(low);
        TKldDataRow* none = table->Insert(table->NewRow());
        ASSERT_EQ(table->RowCount(), 3);
        EXPECT_EQ(table->GetRow(0), none) << "NULL before the smallest value";
        EXPECT_EQ(table->GetRow(1), low);
        EXPECT_EQ(table->GetRow(2), high);
        std::unique_ptr<TKldDataRow> probe(table->NewRow());
        probe->SetValue(key, Variant(lowest));
        EXPECT_EQ(table->FindRow(probe.get()), low);
        probe->SetValue(key, Variant(highest));
        EXPECT_EQ(table->FindRow(probe.get()), high);
        probe->SetValue(key, Variant::Null());
        EXPECT_EQ(table->FindRow(probe.get()), none);
        probe->SetValue(key, Variant(0));
        EXPECT_EQ(table->FindRow(probe.get()), nullptr);
        TKldDataRow* dup = table->New();
        dup->SetValue(key, Variant(lowest));
        EXPECT_THROW(table->Insert(dup), Exception);
        delete dup;
    }
}

// Enough rows in random order that the row list splits its chunks (and their
// hints) many times over; order and look-ups must come out as with few rows.
TEST(KldKeySearch, ManyRowsInRandomOrder)
{
    for (TKldDataType type : {cdtInteger, cdtLargeInt})
    {
        SCOPED_TRACE(DataTypeNames[type]);
        TKldDataContainer container;
        TKldDataTable* table = container.Tables().Add();
        table->SetName("M");
        TKldDataColumn* key = table->Columns().AddColumn("Key", type);
        key->SetPrimaryKey(true);
        constexpr int Rows = 5000;
        std::vector<int> keys(Rows);
        for (int i = 0; i < Rows; ++i)
            keys[static_cast<size_t>(i)] = i * 3 - 7000;
        std::shuffle(keys.begin(), keys.end(), std::mt19937(5));
        for (int k : keys)
        {
            TKldDataRow* row = table->New();
            row->SetValue(key, Variant(k));
            table->Insert(row);
        }
        ASSERT_EQ(table->RowCount(), Rows);
        for (int i = 0; i < Rows; ++i)
            ASSERT_EQ(table->GetRow(i)->GetValue(key).AsInteger(), i * 3 - 7000) << "row " << i;
        std::unique_ptr<TKldDataRow> probe(table->NewRow());
        for (int k = -7003; k < Rows * 3 - 7000; k += 2)
        {
            probe->SetValue(key, Variant(k));
            TKldDataRow* found = table->FindRow(probe.get());
            bool stored = k >= -7000 && (k + 7000) % 3 == 0;
            ASSERT_EQ(found != nullptr, stored) << "key " << k;
            if (found) {
                ASSERT_EQ(found->GetValue(key).AsInteger(), k);
            }
        }
    }
}

TEST_F(KldRelationTest, ReferencedRowsAndOwners)
{
    TKldDataColumn* ref = child->Columns().AddColumn("Parent", cdtReference);
    ref->SetRelationName("PC");
    EXPECT_FALSE(child->HasOwnerTable());
    relation->SetOwnRows(true);
    EXPECT_TRUE(child->HasOwnerTable());
    EXPECT_FALSE(parent->HasOwnerTable());
    Fill();
    TKldDataRow* c1 = child->GetRow(0);
    TKldDataRow* referenced = c1->GetReferencedRow(ref);
    ASSERT_NE(referenced, nullptr);
    EXPECT_EQ(referenced->GetValue(pid).AsInteger(), 1);
    EXPECT_EQ(c1->GetAsString(ref), "") << "a reference slot holds nothing";
    EXPECT_EQ(c1->GetReferencedRow(cparent), nullptr) << "not a reference column";
    c1->SetValue(cparent, Variant::Null());
    EXPECT_EQ(c1->GetReferencedRow(ref), parent->NullRow());
    EXPECT_EQ(ref->DataTypeName(), "->PC");
    EXPECT_TRUE(relation->GetIdentifying());
}

TEST_F(KldRelationTest, ARemovedRelationIsNotKeptByAReferenceColumn)
{
    TKldDataColumn* ref = child->Columns().AddColumn("Parent", cdtReference);
    ref->SetRelationName("PC");
    ASSERT_FALSE(container.Active());
    EXPECT_EQ(ref->GetRelation(), relation);
    delete relation;
    relation = nullptr;
    EXPECT_EQ(ref->GetRelation(), nullptr);
    ExpectKldError([&] { container.SetActive(true); }, "Data relation not found: PC");
}

TEST_F(KldRelationTest, ForEachRowVisitsMatchingRowsAndMayDeleteThem)
{
    Fill();
    std::unique_ptr<TKldDataRow> key(parent->NewRow());
    key->SetValue(pid, 1);
    int visited = 0;
    int matches = ForEachRow(
        *child, key.get(), {pid}, {cparent},
        [&](TKldDataRow* row, void* data, bool& flag) {
            EXPECT_FALSE(flag);
            EXPECT_EQ(data, &visited);
            ++visited;
            row->Delete();
        },
        &visited);
    EXPECT_EQ(matches, 2);
    EXPECT_EQ(visited, 2);
    EXPECT_EQ(ChildParents(), "2");
    key->SetValue(pid, 7);
    EXPECT_EQ(ForEachRow(*child, key.get(), {pid}, {cparent}, nullptr, nullptr), 0);
}

TEST_F(KldDataTableTest, StructureEvents)
{
    log->Events.clear();
    table->SetName("Persons");
    ASSERT_FALSE(log->Events.empty());
    EXPECT_EQ(log->Events.back().first, table);
    EXPECT_EQ(log->Events.back().second, cdeTableChanged);
    EXPECT_FALSE(container.Active()) << "a rename deactivates the container";
    container.SetActive(true);
    log->Events.clear();
    other->SetRequired(true);
    ASSERT_EQ(log->Events.size(), 1u);
    EXPECT_EQ(log->Events[0].first, other);
    EXPECT_EQ(log->Events[0].second, cdeColumnListChanged);
    EXPECT_TRUE(table->Prepared()) << "attributes may change on a prepared table";
    EXPECT_FALSE(table->Validations().Contains(dtvRequiredColumns)) << "they take effect at the next Prepare";
}

TEST(KldKeySearch, IntegerDuplicatesFromABulkLoadGoBeforeTheirEquals)
{
    TKldDataContainer container;
    TKldDataTable* table = container.Tables().Add();
    table->SetName("D");
    TKldDataColumn* key = table->Columns().AddColumn("Key", cdtInteger);
    key->SetPrimaryKey(true);
    TKldDataColumn* tag = table->Columns().AddColumn("Tag", cdtString);
    container.BeginUpdate();
    for (auto [k, t] : {std::pair{5, "first"}, std::pair{3, "three"}, std::pair{5, "second"}, std::pair{7, "seven"}})
    {
        TKldDataRow* row = table->New();
        row->SetValue(key, k);
        row->SetValue(tag, t);
        table->Insert(row);
    }
    container.EndUpdate();
    std::string tags;
    for (int i = 0; i < table->RowCount(); ++i)
        tags += table->GetRow(i)->GetAsString(tag) + " ";
    EXPECT_EQ(tags, "three second first seven ");
    std::unique_ptr<TKldDataRow> probe(table->NewRow());
    probe->SetValue(key, 5);
    EXPECT_EQ(table->FindRow(probe.get()), table->GetRow(1));
    TKldDataRow* extra = table->New();
    extra->SetValue(key, 5);
    ExpectKldError([&] { table->Insert(extra); }, "Primary key violation in table \"D\"");
    delete extra;
}

TEST(KldTableLayout, RowsWiderThanTheOffsetRangeAreRefused)
{
    TKldDataContainer container;
    TKldDataTable* table = container.Tables().Add();
    table->SetName("Wide");
    // 1920 BCD slots of 34 bytes after a 240-byte bitmap: 65520 bytes.
    for (int i = 0; i < 1920; ++i)
        table->Columns().AddColumn("C" + std::to_string(i), cdtBCD);
    ASSERT_NO_THROW(container.SetActive(true));
    EXPECT_EQ(table->BufferSize(), 65520);
    TKldDataRow* row = table->New();
    row->SetAsString(table->Column(1919), "1.5");
    table->Insert(row);
    EXPECT_EQ(table->GetRow(0)->GetAsString(table->Column(1919)), "1.5");
    table->Columns().AddColumn("OneMore", cdtBCD);
    ExpectKldError([&] { container.SetActive(true); },
                   "The columns of table Wide need more than 65535 bytes per row");
    EXPECT_FALSE(container.Active());
    EXPECT_FALSE(table->Prepared());
}
