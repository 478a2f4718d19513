#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "KldEngineTestSupport.h"

namespace
{

// People (Id key, ParentId, Name) in a container, with rows added by Add.
class KldRowSetTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        table = container.Tables().Add();
        table->SetName("People");
        id = table->Columns().AddColumn("Id", cdtInteger);
        id->SetPrimaryKey(true);
        parentId = table->Columns().AddColumn("ParentId", cdtInteger);
        name = table->Columns().AddColumn("Name", cdtString);
        container.SetActive(true);
    }

    TKldDataRow* Add(int key, const Variant& parent, const std::string& text)
    {
        std::unique_ptr<TKldDataRow> row(table->New());
        row->SetValue(id, key);
        row->SetValue(parentId, parent);
        row->SetValue(name, text);
        table->Insert(row.get());
        return row.release();
    }

    // The visible rows as "Id" texts joined with ",".
    static std::string Ids(const TKldRowSet& rows)
    {
        std::string s;
        for (int i = 0; i < rows.GetRowCount(); ++i)
            s += (i ? "," : "") + rows.GetRow(i)->GetAsString(rows.GetRow(i)->Table()->Column(0));
        return s;
    }

    TKldOrderByColumns By(TKldDataColumn* column, bool descending = false) { return {{column, descending}}; }

    TKldDataContainer container;
    TKldDataTable* table = nullptr;
    TKldDataColumn *id = nullptr, *parentId = nullptr, *name = nullptr;
};

} // namespace

TEST_F(KldRowSetTest, NativeAccessReadsTheTable)
{
    Add(2, 1, "b");
    Add(1, 1, "a");
    TKldRowSet rows(table, nullptr);
    rows.SetActive(true);
    EXPECT_TRUE(rows.NativeAccess());
    ASSERT_EQ(rows.GetRowCount(), 2);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(rows.GetRow(i), table->GetRow(i));
    EXPECT_EQ(rows.GetRow(2), nullptr);
    EXPECT_EQ(rows.GetRow(-1), nullptr);
    TKldDataRow* added = Add(3, 1, "c");
    EXPECT_EQ(rows.GetRowCount(), 3);
    EXPECT_EQ(rows.IndexOfRow(added), 2);
    EXPECT_EQ(rows.IndexOfRow(nullptr), -1);
    EXPECT_EQ(Ids(rows), "1,2,3");
}

TEST_F(KldRowSetTest, OrderByKeepsRowsInPlace)
{
    Add(1, 0, "delta");
    Add(2, 0, "alpha");
    Add(3, 0, "charlie");
    TKldRowSet rows(table, nullptr);
    rows.SetOrderByColumns(By(name));
    rows.SetActive(true);
    EXPECT_FALSE(rows.NativeAccess());
    EXPECT_EQ(Ids(rows), "2,3,1");

    TKldDataRow* bravo = Add(4, 0, "bravo");
    EXPECT_EQ(Ids(rows), "2,4,3,1") << "inserted at its sorted place";

    bravo->BeginEdit();
    bravo->SetValue(name, "echo");
    bravo->EndEdit();
    EXPECT_EQ(Ids(rows), "2,3,1,4") << "moved by a change of its name";

    bravo->BeginEdit();
    bravo->SetValue(parentId, 5);
    bravo->EndEdit();
    EXPECT_EQ(Ids(rows), "2,3,1,4") << "another column leaves its place";

    // Outside an edit, Name is not a checked column: the change comes without
    // an edit copy and the row stays until the list is rebuilt.
    bravo->SetValue(name, "able");
    EXPECT_EQ(Ids(rows), "2,3,1,4");
    rows.Refresh();
    EXPECT_EQ(Ids(rows), "4,2,3,1");

    rows.SetOrderByColumns(By(name, true));
    EXPECT_EQ(Ids(rows), "1,3,2,4") << "descending";
    EXPECT_EQ(rows.GetOrderByColumnCount(), 1);
    EXPECT_TRUE(rows.GetOrderByColumns(0).Descending);
    rows.ResetSorting();
    EXPECT_TRUE(rows.NativeAccess());
    EXPECT_EQ(Ids(rows), "1,2,3,4");
}

TEST_F(KldRowSetTest, MasterKeySelectsARange)
{
    Add(1, 7, "c");
    Add(2, 8, "a");
    Add(3, 7, "a");
    Add(4, Variant::Null(), "n");
    Add(5, 7, "b");
    int filterCalls = 0;
    TKldRowSet rows(table, nullptr);
    rows.OnFilterRow = [&](TKldDataRow*, bool&) { ++filterCalls; };
    rows.SetFiltered(true);
    rows.SetOrderByColumns(By(name));
    rows.SetActive(true);
    EXPECT_TRUE(rows.SetMasterKey("ParentId", 7));
    EXPECT_EQ(rows.KeyCount(), 1);
    EXPECT_EQ(Ids(rows), "3,5,1");

    filterCalls = 0;
    EXPECT_TRUE(rows.SetMasterKey(8));
    EXPECT_EQ(Ids(rows), "2");
    EXPECT_EQ(filterCalls, 0) << "only the range is recomputed";
    EXPECT_FALSE(rows.SetMasterKey(8)) << "unchanged";

    struct Case
    {
        const char* Desc;
        Variant Key;
        const char* Expected;
    };
    const Case cases[] = {
        {"no such key", 9, ""},
        {"NULL equals NULL", Variant::Null(), "4"},
        {"lowest key", 7, "3,5,1"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        rows.SetMasterKey(c.Key);
        EXPECT_EQ(Ids(rows), c.Expected);
    }

    // Rows joining or leaving the range follow at once.
    Add(6, 7, "aa");
    EXPECT_EQ(Ids(rows), "3,6,5,1");
    table->GetRow(0)->Delete(); // Id 1
    EXPECT_EQ(Ids(rows), "3,6,5");

    EXPECT_TRUE(rows.SetMasterKey("", Variant::Null()));
    std::string all = Ids(rows);
    EXPECT_TRUE(all == "2,3,6,5,4" || all == "3,2,6,5,4") << all << ": no key, every row by name";
    ExpectKldError([&] { rows.SetMasterKey("Nope", 1); }, "Column Nope not found in table People");
}

TEST_F(KldRowSetTest, DeletedRowsLeaveAndRejectedOnesReturnOnRebuild)
{
    for (int i = 1; i <= 3; ++i)
        Add(i, 0, std::string(1, char('d' - i)));
    table->AcceptChanges();
    TKldRowSet rows(table, nullptr);
    rows.SetOrderByColumns(By(name));
    rows.SetActive(true);
    EXPECT_EQ(Ids(rows), "3,2,1");
    table->GetRow(1)->Delete(); // Id 2
    EXPECT_EQ(Ids(rows), "3,1");
    table->RejectChanges(); // ends with the table's data-changed event
    EXPECT_EQ(Ids(rows), "3,2,1");
}

TEST_F(KldRowSetTest, FilterFollowsChanges)
{
    Add(1, 0, "keep");
    Add(2, 0, "drop");
    TKldRowSet rows(table, nullptr);
    std::vector<TKldDataEventType> told;
    rows.OnNotify = [&](TObject*, TKldDataEventType event) { told.push_back(event); };
    rows.OnFilterRow = [&](TKldDataRow* row, bool& accept) { accept = row->GetAsString(name) != "drop"; };
    rows.SetActive(true);
    EXPECT_TRUE(rows.NativeAccess()) << "a filter counts only when switched on";
    rows.SetFiltered(true);
    EXPECT_EQ(Ids(rows), "1");
    TKldDataRow* three = Add(3, 0, "keep");
    EXPECT_EQ(Ids(rows), "1,3") << "appended when not sorted";
    three->SetValue(name, "drop");
    EXPECT_EQ(Ids(rows), "1");
    Add(4, 0, "drop");
    EXPECT_EQ(Ids(rows), "1");
    EXPECT_EQ(told, (std::vector<TKldDataEventType>{cdeRowInserted, cdeRowModified, cdeRowInserted}));
}

TEST_F(KldRowSetTest, FindNextInItsFourModes)
{
    for (int i = 1; i <= 5; ++i)
        Add(i, i % 2, "x");
    TKldRowSet rows(table, nullptr);
    rows.SetActive(true);
    EXPECT_EQ(rows.FindNext(true, true, 0), nullptr) << "no filter callback";
    rows.OnFilterRow = [&](TKldDataRow* row, bool& accept) { accept = row->GetValue(parentId).AsInteger() == 1; };
    struct Case
    {
        const char* Desc;
        bool Restart, Forward;
        int Current;
        int Expected; // Id, 0 for none
    };
    const Case cases[] = {
        {"restart forward", true, true, 3, 1},
        {"restart backward", true, false, 0, 5},
        {"forward from 1", false, true, 0, 3},
        {"forward from the last odd", false, true, 4, 0},
        {"backward from 4", false, false, 3, 3},
        {"backward from the first", false, false, 0, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        TKldDataRow* found = rows.FindNext(c.Restart, c.Forward, c.Current);
        EXPECT_EQ(found ? found->GetValue(id).AsInteger() : 0, c.Expected);
    }

    TKldDataContainer single;
    TKldDataTable* one = single.Tables().Add();
    one->SetName("One");
    one->Columns().AddColumn("V", cdtInteger);
    TKldDataRow* only = one->Insert(nullptr);
    TKldRowSet oneRow(one, nullptr);
    oneRow.OnFilterRow = [](TKldDataRow*, bool& accept) { accept = true; };
    oneRow.SetActive(true);
    EXPECT_EQ(oneRow.FindNext(true, true, 0), only);
}

TEST_F(KldRowSetTest, LocateScansTheVisibleRows)
{
    Add(1, 0, "Smith");
    Add(2, 0, "Smithers");
    Add(3, 0, "Jones");
    TKldRowSet rows(table, nullptr);
    EXPECT_EQ(rows.Locate("Name", "Jones", {}), nullptr) << "closed";
    rows.SetOrderByColumns(By(name));
    rows.SetActive(true);
    struct Case
    {
        const char* Desc;
        const char* Columns;
        Variant Values;
        TKldCompareOptions Options;
        int Expected;
    };
    const Case cases[] = {
        {"exact", "Name", "Smith", {}, 1},
        {"partial", "Name", "Smithe", TKldCompareOptions{coPartialKey}, 2},
        {"case-insensitive", "Name", "JONES", TKldCompareOptions{coCaseInsensitive}, 3},
        {"two columns", "Id;Name", VarArrayOf({2, "Smithers"}), {}, 2},
        {"nothing", "Name", "Brown", {}, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        TKldDataRow* found = rows.Locate(c.Columns, c.Values, c.Options);
        EXPECT_EQ(found ? found->GetValue(id).AsInteger() : 0, c.Expected);
    }
    ExpectKldError([&] { rows.Locate("Colour", "red", {}); }, "Column Colour not found in table People");
}

TEST_F(KldRowSetTest, OpeningAndClosing)
{
    TKldRowSet rows(table, nullptr);
    rows.SetOrderByColumns(By(name));
    rows.SetActive(true);
    EXPECT_EQ(container.CursorCount(), 1);
    rows.SetActive(false);
    EXPECT_EQ(container.CursorCount(), 0);
    EXPECT_EQ(rows.DataTable(), nullptr);
    EXPECT_EQ(rows.GetRowCount(), 0);
    EXPECT_EQ(rows.GetOrderByColumnCount(), 1) << "the order is kept";
    ExpectKldError([&] { rows.SetActive(true); }, "Data table not assigned");
    rows.SetDataTable(table);
    rows.SetActive(true);
    EXPECT_TRUE(rows.IsSorted());

    TKldRowSet noTable(nullptr, nullptr);
    ExpectKldError([&] { noTable.SetMasterKey("Id", 1); }, "Error opening data table");
    EXPECT_EQ(noTable.GetRow(0), nullptr);
    EXPECT_THROW(noTable.FindRowPos(nullptr, *std::make_unique<int>(0)), EAssertionFailed);

    // The container's deactivation leaves no row pointers behind; the list is
    // rebuilt when the container is back.
    Add(1, 0, "a");
    container.BeginUpdate();
    table->Columns().AddColumn("More", cdtInteger);
    EXPECT_EQ(rows.GetRowCount(), 0);
    container.SetActive(true);
    Add(2, 0, "b");
    container.EndUpdate();
    EXPECT_EQ(Ids(rows), "2");
}

TEST_F(KldRowSetTest, RelationSuppliesTheKeyAndTheMasterRow)
{
    TKldDataTable* owners = container.Tables().Add();
    owners->SetName("Owners");
    owners->Columns().AddColumn("Code", cdtInteger)->SetPrimaryKey(true);
    TKldDataRelation* relation = container.Relations().Add();
    relation->SetName("Owner_People");
    relation->SetParentTableName("Owners");
    relation->SetChildTableName("People");
    relation->SetParentColumnNames("Code");
    relation->SetChildColumnNames("ParentId");
    container.SetActive(true);
    TKldDataRow* seven = owners->Insert(nullptr);
    seven->SetValue(owners->Column(0), 7);
    Add(1, 7, "b");
    Add(2, 8, "a");
    Add(3, 7, "a");

    TKldRowSet rows(table, relation);
    EXPECT_EQ(rows.KeyColumnNames(), "ParentId");
    rows.SetOrderByColumns(By(name));
    rows.SetActive(true);
    rows.SetMasterRow(seven);
    EXPECT_EQ(rows.MasterRow(), seven);
    EXPECT_EQ(Ids(rows), "3,1") << "the children of the given row";
    rows.SetMasterRow(nullptr);
    EXPECT_EQ(Ids(rows), "");
    EXPECT_EQ(rows.MasterRow(), nullptr);

    TKldRowSet wrong(owners, relation);
    ExpectKldError([&] { wrong.SetActive(true); }, "Invalid relation assigned");
    EXPECT_FALSE(wrong.Active());
    EXPECT_EQ(container.CursorCount(), 1);
}

TEST_F(KldRowSetTest, ARelationOfSeveralColumnsSuppliesTheKeyAtCreation)
{
    TKldDataTable* owners = container.Tables().Add();
    owners->SetName("Owners");
    owners->Columns().AddColumn("Code", cdtInteger)->SetPrimaryKey(true);
    owners->Columns().AddColumn("Label", cdtString);
    TKldDataRelation* relation = container.Relations().Add();
    relation->SetName("Owner_People");
    relation->SetParentTableName("Owners");
    relation->SetChildTableName("People");
    relation->SetParentColumnNames("Code;Label");
    relation->SetChildColumnNames("ParentId; Name");

    struct Case
    {
        const char* childColumns;
        int keyCount;
    };
    for (const Case& c : {Case{"ParentId; Name", 2}, Case{"ParentId", 1}, Case{"ParentId;Missing", 0}})
    {
        SCOPED_TRACE(c.childColumns);
        relation->SetChildColumnNames(c.childColumns);
        TKldRowSet rows(table, relation);
        EXPECT_EQ(rows.KeyColumnNames(), c.childColumns);
        EXPECT_EQ(rows.KeyCount(), c.keyCount);
        EXPECT_EQ(rows.IsSorted(), c.keyCount > 0);
        EXPECT_EQ(rows.NativeAccess(), c.keyCount == 0);
    }
}

TEST_F(KldRowSetTest, SortingAgreesWithAFullSortOnManyRows)
{
    // Many equal keys and NULLs: the quicksort and the incremental updates
    // must agree with a list sorted from scratch.
    container.BeginUpdate();
    for (int i = 0; i < 500; ++i)
        Add(i, (i * 7919) % 13, "n" + std::to_string((i * 31) % 17));
    container.EndUpdate();
    TKldRowSet rows(table, nullptr);
    rows.SetOrderByColumns({{parentId, true}, {name, false}});
    rows.SetActive(true);
    for (int i = 0; i < 100; ++i)
    {
        TKldDataRow* row = table->GetRow((i * 37) % table->RowCount());
        row->BeginEdit();
        row->SetValue(name, "m" + std::to_string(i % 5));
        row->EndEdit();
    }
    for (int i = 1; i < rows.GetRowCount(); ++i)
        ASSERT_LE(rows.DoCompareRows(rows.GetRow(i - 1), rows.GetRow(i)), 0) << "at " << i;
    EXPECT_EQ(rows.GetRowCount(), 500);
    for (int i = 0; i < rows.GetRowCount(); ++i)
        ASSERT_EQ(rows.IndexOfRow(rows.GetRow(i)), i);
}

TEST(KldSortKeys, KeysOrderTextsAsTheCollatorDoes)
{
    std::mt19937 random(3);
    auto text = [&](bool ascii) {
        static const char* const pieces[] = {"\xC3\xA9", "\xC3\x89", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xFF", "e",
                                             "E"};
        std::string s;
        int length = static_cast<int>(random() % 6);
        for (int i = 0; i < length; ++i)
        {
            if (!ascii && random() % 4 == 0)
                s += pieces[random() % 7];
            else
                s += static_cast<char>(random() % 128);
        }
        return s;
    };
    auto sign = [](int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); };
    for (bool ascii : {true, false})
    {
        SCOPED_TRACE(ascii ? "ASCII keys" : "collator keys");
        for (int i = 0; i < 20000; ++i)
        {
            std::string a = text(ascii), b = text(ascii);
            std::vector<uint8_t> ka, kb;
            if (ascii)
            {
                ASSERT_TRUE(AppendAsciiSortKey(a, ka));
                ASSERT_TRUE(AppendAsciiSortKey(b, kb));
            }
            else
            {
                AppendLocaleSortKey(a, false, ka);
                AppendLocaleSortKey(b, false, kb);
            }
            std::string_view va(reinterpret_cast<const char*>(ka.data()), ka.size());
            std::string_view vb(reinterpret_cast<const char*>(kb.data()), kb.size());
            ASSERT_EQ(sign(va.compare(vb)), CompareLocaleText(a, b, false))
                << "\"" << a << "\" against \"" << b << "\"";
        }
    }
    std::vector<uint8_t> key;
    EXPECT_FALSE(AppendAsciiSortKey("caf\xC3\xA9", key));
    EXPECT_TRUE(key.empty());
}

TEST_F(KldRowSetTest, SortingByCollatorKeysKeepsTheRowOrder)
{
    // More than a handful of rows take the key sort; a text outside ASCII and
    // NULLs put the collator's keys to work.
    container.BeginUpdate();
    const char* const names[] = {"\xC3\xA9t\xC3\xA9", "ete", "Ete", "z", "", "a-b", "ab", "a b"};
    for (int i = 0; i < 300; ++i)
        Add(i, i % 3, "");
    container.EndUpdate();
    for (int i = 0; i < 300; ++i)
    {
        if (i % 11 == 0)
            table->GetRow(i)->SetValue(name, Variant::Null());
        else
            table->GetRow(i)->SetValue(name, std::string(names[i % 8]) + std::to_string(i % 5));
    }
    for (bool descending : {false, true})
    {
        SCOPED_TRACE(descending ? "descending" : "ascending");
        TKldRowSet rows(table, nullptr);
        rows.SetOrderByColumns({{name, descending}, {parentId, false}});
        rows.SetActive(true);
        ASSERT_EQ(rows.GetRowCount(), 300);
        for (int i = 1; i < rows.GetRowCount(); ++i)
            ASSERT_LE(rows.DoCompareRows(rows.GetRow(i - 1), rows.GetRow(i)), 0) << "at " << i;
        EXPECT_FALSE(rows.GetRow(0)->GetAssignedValue(name)) << "NULL first either way";
    }
}

TEST_F(KldRowSetTest, RowsDestroyedWithoutEventsLeaveTheList)
{
    Add(1, 0, "b");
    table->AcceptChanges();
    TKldRowSet rows(table, nullptr);
    rows.SetOrderByColumns(By(name));
    rows.SetActive(true);

    // Rejecting an insert destroys the row.
    TKldDataRow* inserted = Add(2, 0, "a");
    EXPECT_EQ(Ids(rows), "2,1");
    inserted->RejectChanges();
    EXPECT_EQ(Ids(rows), "1");

    // A rollback reports nothing: the rows inserted in the transaction leave
    // the list as they are destroyed, the deleted ones come back with the
    // next rebuild.
    std::vector<TKldDataEventType> told;
    rows.OnNotify = [&](TObject*, TKldDataEventType event) { told.push_back(event); };
    container.StartTransaction();
    Add(3, 0, "c");
    table->GetRow(0)->Delete(); // Id 1
    EXPECT_EQ(Ids(rows), "3");
    container.RollbackTransaction();
    EXPECT_EQ(Ids(rows), "");
    EXPECT_EQ(told, (std::vector<TKldDataEventType>{cdeRowInserted, cdeRowDeleted}));
    rows.Refresh();
    EXPECT_EQ(Ids(rows), "1");

    // ClearData reports nothing, and the list is empty with the table.
    container.ClearData();
    EXPECT_EQ(rows.GetRowCount(), 0);
}

TEST_F(KldRowSetTest, RemovedColumnsAreNotUsedBySortsOrRanges)
{
    Add(2, 0, "b");
    Add(1, 0, "a");
    TKldRowSet open(table, nullptr);
    open.SetOrderByColumns({{name, false}, {id, true}});
    open.SetActive(true);
    TKldRowSet closed(table, nullptr);
    closed.SetOrderByColumns(By(name));
    TKldRowSet keyed(table, nullptr);
    keyed.SetActive(true);
    keyed.SetMasterKey("ParentId;Name", VarArrayOf({0, "a"}));
    ASSERT_EQ(Ids(open), "1,2");
    ASSERT_EQ(Ids(keyed), "1");

    delete name;
    name = nullptr;
    EXPECT_TRUE(open.Active());
    ASSERT_EQ(open.GetOrderByColumnCount(), 1);
    EXPECT_EQ(open.GetOrderByColumns(0).Column, id);
    EXPECT_FALSE(keyed.Active()) << "a row set keyed by the column closes";

    container.SetActive(true);
    for (int key : {1, 2, 3})
    {
        TKldDataRow* row = table->New();
        row->SetValue(id, key);
        table->Insert(row); // the open row set places each row by the remaining pair
    }
    EXPECT_EQ(Ids(open), "3,2,1");
    closed.SetDataTable(table);
    closed.SetActive(true);
    EXPECT_EQ(closed.GetOrderByColumnCount(), 0);
    EXPECT_TRUE(closed.NativeAccess());
    EXPECT_EQ(Ids(closed), "1,2,3");
}

TEST_F(KldRowSetTest, ASecondDeactivationInsideABulkUpdateEmptiesTheList)
{
    TKldRowSet rows(table, nullptr);
    rows.SetOrderByColumns(By(name));
    rows.SetActive(true);
    container.BeginUpdate();
    container.SetActive(false); // told: the list is emptied
    container.SetActive(true);
    Add(1, 0, "a");
    rows.Refresh();
    ASSERT_EQ(Ids(rows), "1");
    // This deactivation is held back, but the rows go all the same.
    container.SetActive(false);
    EXPECT_EQ(rows.GetRowCount(), 0);
    container.EndUpdate();
    EXPECT_EQ(rows.GetRowCount(), 0);
}

TEST_F(KldRowSetTest, AcceptedDeletionsInsideABulkUpdateLeaveTheList)
{
    for (bool ofTheTable : {false, true})
    {
        SCOPED_TRACE(ofTheTable ? "the table's bulk update" : "the container's bulk update");
        table->ClearData();
        Add(1, 0, "b");
        Add(2, 0, "a");
        table->AcceptChanges();
        TKldRowSet rows(table, nullptr);
        rows.SetOrderByColumns(By(name));
        rows.SetActive(true);
        ASSERT_EQ(Ids(rows), "2,1");

        // Inside the bulk update the row set hears nothing of the deletion,
        // and accepting it destroys the row.
        ofTheTable ? table->BeginUpdate() : container.BeginUpdate();
        table->GetRow(0)->Delete(); // Id 1
        table->AcceptChanges();
        EXPECT_EQ(table->PhysicalRowCount(), 1);
        EXPECT_EQ(Ids(rows), "2");
        ofTheTable ? table->EndUpdate() : container.EndUpdate();
        EXPECT_EQ(Ids(rows), "2");
    }
}

TEST(KldRelationDepth, SelfReferencingUpdateCascadeStopsAtTheEditedRow)
{
    // The parent row is itself a row of the child table and is being edited
    // while its update cascades: the engine refuses, and nothing changes.
    TKldDataContainer container;
    TKldDataTable* table = container.Tables().Add();
    table->SetName("Node");
    table->Columns().AddColumn("Id", cdtInteger)->SetPrimaryKey(true);
    table->Columns().AddColumn("ParentId", cdtInteger);
    TKldDataRelation* relation = container.Relations().Add();
    relation->SetName("Node_Parent");
    relation->SetParentTableName("Node");
    relation->SetChildTableName("Node");
    relation->SetParentColumnNames("Id");
    relation->SetChildColumnNames("ParentId");
    relation->SetUpdateAction(draCascade);
    container.SetActive(true);
    TKldDataRow* root = table->New();
    root->SetValue(table->Column(0), 1);
    table->Insert(root);
    TKldDataRow* leaf = table->New();
    leaf->SetValue(table->Column(0), 2);
    leaf->SetValue(table->Column(1), 1);
    table->Insert(leaf);
    ExpectKldError([&] { root->SetValue(table->Column(0), 5); }, "Row is already being edited");
    EXPECT_EQ(root->GetValue(table->Column(0)).AsInteger(), 1);
    EXPECT_EQ(leaf->GetValue(table->Column(1)).AsInteger(), 1);
    EXPECT_FALSE(container.InTransaction());
}

TEST_F(KldRowSetTest, DestroyingItsTableOrRelationClosesTheRowSet)
{
    Add(1, 0, "a");
    TKldRowSet rows(table, nullptr);
    rows.SetOrderByColumns(By(name));
    rows.SetActive(true);
    TKldDataTable* other = container.Tables().Add();
    other->SetName("Other");
    other->Columns().AddColumn("Code", cdtInteger);
    TKldDataRelation* relation = container.Relations().Add();
    relation->SetName("Other_People");
    relation->SetParentTableName("Other");
    relation->SetChildTableName("People");
    relation->SetParentColumnNames("Code");
    relation->SetChildColumnNames("ParentId");
    TKldRowSet children(table, relation);
    children.SetActive(true);
    rows.SetActive(true);
    EXPECT_EQ(container.CursorCount(), 2);

    container.BeginUpdate();
    delete relation;
    EXPECT_FALSE(children.Active());
    EXPECT_TRUE(rows.Active());
    delete table;
    EXPECT_FALSE(rows.Active());
    EXPECT_EQ(rows.DataTable(), nullptr);
    container.EndUpdate(); // the data-changed report finds no row set over a gone table
    EXPECT_EQ(container.CursorCount(), 0);
}
