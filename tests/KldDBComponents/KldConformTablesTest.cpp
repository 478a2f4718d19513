// Tables, columns and their collections: the finer rules of names, column
// types and lengths, preparing, validation, row positions and events.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "KldEngineTestSupport.h"

namespace
{

// A container with table "T": key K (Integer), V (Integer); rows are added by key.
class KldConformTablesFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        log = new KldEventLog(&container);
        table = container.Tables().Add();
        table->SetName("T");
        key = table->Columns().AddColumn("K", cdtInteger);
        key->SetPrimaryKey(true);
        value = table->Columns().AddColumn("V", cdtInteger);
        container.SetActive(true);
    }

    TKldDataRow* Add(int k, int v = 0)
    {
        std::unique_ptr<TKldDataRow> row(table->New());
        row->SetValue(key, k);
        row->SetValue(value, v);
        table->Insert(row.get());
        return row.release();
    }

    // Keys of the whole row list, deleted tail included.
    std::string Keys() const
    {
        std::string s;
        for (int i = 0; i < table->PhysicalRowCount(); ++i)
            s += (s.empty() ? "" : ",") + table->GetRow(i)->GetAsString(key);
        return s;
    }

    std::vector<TKldDataEventType> Seen() const
    {
        std::vector<TKldDataEventType> seen;
        for (const auto& e : log->Events)
            seen.push_back(e.second);
        return seen;
    }

    TKldDataContainer container;
    KldEventLog* log = nullptr;
    TKldDataTable* table = nullptr;
    TKldDataColumn* key = nullptr;
    TKldDataColumn* value = nullptr;
};

} // namespace

TEST(KldConformTablesCollection, AutoNames)
{
    TKldDataContainer container;
    for (const char* name : {"Tab", "Tab1", "Tab3", "Other2"})
        container.Tables().Add()->SetName(name);
    struct Case
    {
        const char* Desc;
        const char* Base;
        int Index;
        const char* Expected;
    };
    const Case cases[] = {
        {"free base name", "Free", 0, "Free"},
        {"free base with index", "Free", 4, "Free4"},
        {"taken base tries the next numbers", "Tab", 0, "Tab2"},
        {"taken without regard to case", "TAB", 0, "TAB2"},
        {"index taken grows by one", "Tab", 3, "Tab4"},
        {"a negative index keeps the base", "Other", -1, "Other"},
        {"a negative index counts up from it when taken", "Tab", -1, "Tab0"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(container.Tables().GetAutoName(c.Base, c.Index), c.Expected);
    }
}

TEST(KldConformTablesCollection, FindGetAndUniqueness)
{
    TKldDataCollection items(nullptr, CollectionItemClass<TKldDataCollectionItem>());
    auto* first = static_cast<TKldDataCollectionItem*>(items.Add());
    first->SetName("Alpha");
    auto* second = static_cast<TKldDataCollectionItem*>(items.Add());
    second->SetName("\xC3\x84rger"); // "Ärger"
    auto* twin = static_cast<TKldDataCollectionItem*>(items.Add());
    twin->SetName("ALPHA");

    EXPECT_EQ(items.Find("alpha"), first) << "the first match wins";
    EXPECT_EQ(items.Find("\xC3\xA4RGER"), second) << "Latin-1 letters fold too";
    EXPECT_EQ(items.Find("Beta"), nullptr);
    EXPECT_EQ(items.Get("aLpHa"), first);
    ExpectKldError([&] { items.Get("Beta"); }, "Item not found: Beta");
    EXPECT_EQ(items.IndexOf(twin), 2);
    EXPECT_EQ(items.IndexOf(nullptr), -1);
    EXPECT_FALSE(items.IsUnique("alpha", first)) << "another item has the name";
    EXPECT_TRUE(items.IsUnique("\xC3\xA4rger", second)) << "the item itself does not count";
    EXPECT_TRUE(items.IsUnique("Gamma", nullptr));
    EXPECT_FALSE(items.IsUnique("\xC3\x84RGER", nullptr));
}

TEST(KldConformTablesColumn, TypeChangesResetTheLength)
{
    struct Case
    {
        const char* Desc;
        TKldDataType Type;
        int StoredAfterType;
        int Written;
        int StoredAfterWrite;
        int Reported;
    };
    const Case cases[] = {
        {"string", cdtString, 20, 300, 300, 300},
        {"wide string", cdtWideString, 20, 7, 7, 7},
        {"string of length 0", cdtString, 20, 0, 0, 0},
        {"BCD takes at most 4", cdtBCD, 2, 9, 4, 4},
        {"BCD below 4", cdtBCD, 2, 3, 3, 3},
        {"integer keeps its length", cdtInteger, 0, 12, 0, 4},
        {"float keeps its length", cdtFloat, 0, 3, 0, 8},
        {"memo keeps its length", cdtMemo, 0, 50, 0, DataTypeSizes[cdtMemo]},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        TKldDataContainer container;
        TKldDataTable* table = container.Tables().Add();
        table->SetName("T");
        TKldDataColumn* column = table->Columns().AddColumn("C", cdtDate);
        column->SetDataType(c.Type);
        EXPECT_EQ(column->StoredDataLength(), c.StoredAfterType);
        column->SetDataLength(c.Written);
        EXPECT_EQ(column->StoredDataLength(), c.StoredAfterWrite);
        EXPECT_EQ(column->DataLength(), c.Reported);
        EXPECT_EQ(column->GetDataSize(), DataTypeSizes[c.Type]);
    }
}

TEST_F(KldConformTablesFixture, ColumnChangesOnAPreparedTable)
{
    TKldDataColumn* text = nullptr;
    container.SetActive(false);
    text = table->Columns().AddColumn("S", cdtString, 30);
    container.SetActive(true);
    const std::string active = "Unable to perform this operation on an active data table";

    // Writing what is already there does nothing, even while prepared.
    log->Events.clear();
    text->SetName("S");
    text->SetDataType(cdtString);
    text->SetDataLength(30);
    EXPECT_TRUE(log->Events.empty());

    ExpectKldError([&] { text->SetName("S2"); }, active);
    ExpectKldError([&] { text->SetName("s"); }, active); // the name compares with case
    ExpectKldError([&] { text->SetDataType(cdtInteger); }, active);
    ExpectKldError([&] { text->SetDataLength(31); }, active);
    ExpectKldError([&] { value->SetDataLength(9); }, active); // even where the length is kept
    ExpectKldError([&] { text->SetName("v"); }, "Duplicate column name: v"); // checked before the state
    ExpectKldError([&] { text->SetName(" \t "); }, "Column name should not be empty");
    EXPECT_EQ(text->Name(), "S");
    EXPECT_EQ(text->StoredDataLength(), 30);

    // Flags may change while prepared; they count from the next Prepare.
    log->Events.clear();
    text->SetRequired(true);
    text->SetReadOnly(true);
    text->SetCalculated(true);
    EXPECT_EQ(log->Count(cdeColumnListChanged), 3);
    EXPECT_TRUE(table->Prepared());
    EXPECT_FALSE(table->Validations().Contains(dtvRequiredColumns));
    EXPECT_FALSE(table->Validations().Contains(dtvCalcFields));
    EXPECT_FALSE(text->Checked());
    log->Events.clear();
    text->SetRequired(true);
    EXPECT_TRUE(log->Events.empty()) << "the same value reports nothing";
    container.SetActive(false);
    container.SetActive(true);
    EXPECT_TRUE(table->Validations().Contains(dtvRequiredColumns));
    EXPECT_TRUE(table->Validations().Contains(dtvCalcFields));
    EXPECT_TRUE(text->Checked());
}

TEST_F(KldConformTablesFixture, ColumnRenameStoresTheNameAsGivenAndReports)
{
    container.SetActive(false);
    log->Events.clear();
    value->SetName("  Value ");
    EXPECT_EQ(value->Name(), "  Value ");
    EXPECT_EQ(value->ColumnName(), "  Value ");
    ASSERT_EQ(log->Events.size(), 1u);
    EXPECT_EQ(log->Events[0].second, cdeColumnListChanged);
    ExpectKldError([&] { table->Columns().AddColumn(" k ", cdtInteger); }, "Duplicate column name: k");
    EXPECT_EQ(table->ColumnCount(), 2) << "the refused column is not kept";
}

TEST(KldConformTablesColumn, DataTypeNames)
{
    TKldDataContainer container;
    TKldDataTable* table = container.Tables().Add();
    table->SetName("T");
    TKldDataColumn* column = table->Columns().AddColumn("C", cdtInteger);
    struct Case
    {
        const char* Desc;
        const char* Written;
        TKldDataType Type;
        const char* Relation;
        const char* Read;
    };
    const Case cases[] = {
        {"reference", "->Owner", cdtReference, "Owner", "->Owner"},
        {"reference with an empty relation", "->", cdtReference, "", "->"},
        {"a type name without regard to case", "string", cdtString, "", "String"},
        {"empty", "", cdtUnknown, "", "Unknown"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        column->SetRelationName("");
        column->SetDataTypeName(c.Written);
        EXPECT_EQ(column->DataType(), c.Type);
        EXPECT_EQ(column->RelationName(), c.Relation);
        EXPECT_EQ(column->DataTypeName(), c.Read);
    }
}

TEST_F(KldConformTablesFixture, PrepareLaysOutValidationsAndFlags)
{
    container.SetActive(false);
    TKldDataColumn* req = table->Columns().AddColumn("Req", cdtString, 10, true);
    TKldDataColumn* calc = table->Columns().AddColumn("Calc", cdtInteger);
    calc->SetCalculated(true);
    TKldDataTable* child = container.Tables().Add();
    child->SetName("Child");
    TKldDataColumn* cid = child->Columns().AddColumn("Id", cdtInteger);
    TKldDataColumn* cref = child->Columns().AddColumn("TK", cdtInteger);
    TKldDataRelation* relation = container.Relations().Add();
    relation->SetName("R");
    relation->SetParentTableName("t");
    relation->SetChildTableName("CHILD");
    relation->SetParentColumnNames("K");
    relation->SetChildColumnNames("TK");

    struct Case
    {
        const char* Desc;
        TKldDataRelationAction Delete;
        TKldDataRelationAction Update;
        bool Active;
    };
    const Case cases[] = {
        {"ignored both ways", draIgnore, draIgnore, false},
        {"delete action", draCascade, draIgnore, true},
        {"update action", draIgnore, draError, true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        container.SetActive(false);
        relation->SetDeleteAction(c.Delete);
        relation->SetUpdateAction(c.Update);
        container.SetActive(true);
        TKldDataTableValidations parentWanted{dtvRequiredColumns, dtvPrimaryKey, dtvCalcFields};
        TKldDataTableValidations childWanted;
        if (c.Active)
        {
            parentWanted.Include(dtvReferencedKeys);
            childWanted.Include(dtvForeignKeys);
        }
        EXPECT_EQ(table->Validations(), parentWanted);
        EXPECT_EQ(child->Validations(), childWanted);
        EXPECT_EQ(key->Attributes().Contains(caReferencedKey), c.Active);
        EXPECT_EQ(cref->Attributes().Contains(caForeignKey), c.Active);
        EXPECT_EQ(cref->Checked(), c.Active);
        EXPECT_FALSE(cid->Checked());
        EXPECT_FALSE(cid->Attributes().Contains(caForeignKey));
    }
    EXPECT_TRUE(key->Checked());
    EXPECT_TRUE(req->Checked());
    EXPECT_FALSE(calc->Checked());
    EXPECT_FALSE(value->Checked());
    for (int i = 0; i < table->ColumnCount(); ++i)
        EXPECT_EQ(table->Column(i)->ColumnIndex(), i);
    EXPECT_EQ(table->PKColumns(), TKldColumnArray{key});
    EXPECT_TRUE(table->GetPKExists());
    EXPECT_FALSE(child->GetPKExists());
    EXPECT_FALSE(child->HasPKColumns());
    ASSERT_NE(table->NullRow(), nullptr);
    for (int i = 0; i < table->ColumnCount(); ++i)
        EXPECT_FALSE(table->NullRow()->GetAssignedValue(table->Column(i)));

    container.SetActive(false);
    EXPECT_FALSE(table->Prepared());
    EXPECT_EQ(table->NullRow(), nullptr);
    EXPECT_EQ(table->DefaultRow(), nullptr);
    EXPECT_FALSE(table->GetPKExists());
    EXPECT_TRUE(table->HasPKColumns()) << "the flag is there unprepared";
}

TEST(KldConformTablesTable, DefaultRowGivesRequiredColumnsAValue)
{
    struct Case
    {
        const char* Desc;
        TKldDataType Type;
        bool Assigned;
        Variant Expected;
    };
    const Case cases[] = {
        {"small int", cdtSmallInt, true, Variant(0)},
        {"large int", cdtLargeInt, true, Variant(0)},
        {"integer", cdtInteger, true, Variant(0)},
        {"float", cdtFloat, true, Variant(0)},
        {"boolean", cdtBoolean, true, Variant(false)},
        {"string", cdtString, true, Variant(std::string())},
        {"wide string", cdtWideString, true, Variant(std::string())},
        {"BCD", cdtBCD, false, Variant::Null()},
        {"time", cdtTime, false, Variant::Null()},
        {"date", cdtDateTime, false, Variant::Null()},
        {"memo", cdtMemo, false, Variant::Null()},
        {"GUID", cdtGuid, false, Variant::Null()},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        TKldDataContainer container;
        TKldDataTable* table = container.Tables().Add();
        table->SetName("T");
        TKldDataColumn* required = table->Columns().AddColumn("R", c.Type, -1, true);
        TKldDataColumn* optional = table->Columns().AddColumn("O", c.Type, -1, false);
        container.SetActive(true);
        ASSERT_NE(table->DefaultRow(), nullptr);
        EXPECT_EQ(table->DefaultRow()->GetAssignedValue(required), c.Assigned);
        EXPECT_FALSE(table->DefaultRow()->GetAssignedValue(optional));
        std::unique_ptr<TKldDataRow> fresh(table->New());
        EXPECT_EQ(fresh->GetAssignedValue(required), c.Assigned);
        if (c.Assigned)
        {
            EXPECT_EQ(VarToStr(fresh->GetValue(required)), VarToStr(c.Expected));
        }
        std::unique_ptr<TKldDataRow> bare(table->NewRow());
        EXPECT_FALSE(bare->GetAssignedValue(required)) << "NewRow takes no defaults";
    }
}

TEST(KldConformTablesTable, PrepareFailuresLeaveTheTableUnprepared)
{
    TKldDataContainer container;
    TKldDataTable* a = container.Tables().Add();
    a->SetName("A");
    a->Columns().AddColumn("Id", cdtInteger)->SetPrimaryKey(true);
    TKldDataTable* b = container.Tables().Add();
    b->SetName("B");
    b->Columns().AddColumn("AId", cdtInteger);
    TKldDataRelation* relation = container.Relations().Add();
    relation->SetName("AB");
    relation->SetParentTableName("A");
    relation->SetChildTableName("B");
    relation->SetParentColumnNames("Id");
    relation->SetChildColumnNames("AId");
    TKldDataColumn* ref = a->Columns().AddColumn("Link", cdtReference);
    ref->SetRelationName("ab");
    ExpectKldError([&] { a->Prepare(); }, "Invalid reference definition for column Link in table A");
    EXPECT_FALSE(a->Prepared());
    EXPECT_EQ(a->NullRow(), nullptr);
    EXPECT_FALSE(a->GetPKExists());

    a->Columns().Get("LINK")->SetDataTypeName("->");
    ExpectKldError([&] { a->Prepare(); }, "Relation name is not assigned to column Link in table A");
    EXPECT_FALSE(a->Prepared());

    // On the child side the reference is right.
    TKldDataColumn* back = b->Columns().AddColumn("Parent", cdtReference);
    back->SetRelationName("AB");
    ref->SetDataType(cdtInteger);
    container.SetActive(true);
    EXPECT_EQ(back->GetRelation(), relation);
}

TEST_F(KldConformTablesFixture, ValidationAnswersThePosition)
{
    Add(10);
    Add(30);
    std::unique_ptr<TKldDataRow> probe(table->New());
    struct Case
    {
        const char* Desc;
        int Key;
        int Operation;
        int Expected;
    };
    const Case cases[] = {
        {"insert before all", 5, KldValidateInsert, 0},
        {"insert between", 20, KldValidateInsert, 1},
        {"insert after all", 40, KldValidateInsert, 2},
        {"delete answers 0", 40, KldValidateDelete, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        probe->SetValue(key, c.Key);
        EXPECT_EQ(table->ValidateRow(probe.get(), c.Operation), c.Expected);
    }

    TKldDataTable* plain = container.Tables().Add();
    plain->SetName("Plain");
    TKldDataColumn* v = plain->Columns().AddColumn("V", cdtInteger);
    container.SetActive(true);
    std::unique_ptr<TKldDataRow> row(plain->New());
    row->SetValue(v, 1);
    EXPECT_EQ(plain->ValidateRow(row.get(), KldValidateInsert), -1) << "no key: no position";
    EXPECT_EQ(plain->ValidateRow(row.get(), KldValidateUpdate), 0);
}

TEST_F(KldConformTablesFixture, CalculatedColumnsRunOnInsertAndUpdateOnly)
{
    container.SetActive(false);
    TKldDataColumn* twice = table->Columns().AddColumn("Twice", cdtInteger);
    twice->SetCalculated(true);
    container.SetActive(true);
    int calls = 0;
    container.OnCalcFields = [&](TObject*, TKldDataRow* row) {
        ++calls;
        row->SetValue(twice, row->GetValue(value).AsInteger() * 2);
    };
    TKldDataRow* row = Add(1, 4);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(row->GetValue(twice).AsInteger(), 8);
    row->SetValue(value, 5);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(row->GetValue(twice).AsInteger(), 10);
    row->Delete();
    EXPECT_EQ(calls, 2) << "deleting calculates nothing";

    // Placeholders are not validated at all.
    TKldDataRow* placeholder = table->InsertKey(Variant(7));
    EXPECT_EQ(calls, 2);
    EXPECT_TRUE(placeholder->GetState(drsNeedRefresh));
}

TEST_F(KldConformTablesFixture, ChecksSkippedInsideTheContainersBulkUpdate)
{
    container.SetActive(false);
    TKldDataColumn* req = table->Columns().AddColumn("Req", cdtDateTime, -1, true);
    container.SetActive(true);
    std::unique_ptr<TKldDataRow> row(table->New());
    row->SetValue(key, 3);
    ExpectKldError([&] { table->Insert(row.get()); }, "Column Req is required and must be assigned a value");
    container.BeginUpdate();
    table->Insert(row.get());
    TKldDataRow* stored = row.release();
    std::unique_ptr<TKldDataRow> twin(table->New());
    twin->SetValue(key, 3);
    EXPECT_EQ(table->ValidateRow(twin.get(), KldValidateInsert), 0) << "the position still comes";
    container.EndUpdate();
    EXPECT_TRUE(stored->GetState(drsInserted)) << "only the table's own bulk update hides inserts";
    EXPECT_FALSE(stored->GetAssignedValue(req));
}

TEST_F(KldConformTablesFixture, InsertPositionsWithoutAKey)
{
    TKldDataTable* plain = container.Tables().Add();
    plain->SetName("Plain");
    TKldDataColumn* v = plain->Columns().AddColumn("V", cdtInteger);
    container.SetActive(true);
    auto values = [&] {
        std::string s;
        for (int i = 0; i < plain->PhysicalRowCount(); ++i)
            s += plain->GetRow(i)->GetAsString(v);
        return s;
    };
    auto make = [&](int n) {
        TKldDataRow* row = plain->New();
        row->SetValue(v, n);
        return row;
    };
    for (int n : {1, 2, 3})
        plain->Insert(make(n));
    plain->GetRow(0)->Delete(); // tail: 1
    EXPECT_EQ(values(), "231");
    struct Case
    {
        const char* Desc;
        int Value;
        int Index;
        const char* Expected;
    };
    const Case cases[] = {
        {"no index: before the deleted tail", 4, -1, "2341"},
        {"at an index", 5, 0, "52341"},
        {"an index past the live rows stays before the tail", 6, 9, "523461"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        plain->Insert(make(c.Value), c.Index);
        EXPECT_EQ(values(), c.Expected);
        EXPECT_EQ(plain->RowCount(), plain->PhysicalRowCount() - 1);
    }
}

TEST_F(KldConformTablesFixture, RowEventsAndStates)
{
    log->Events.clear();
    TKldDataRow* row = Add(1);
    EXPECT_TRUE(row->GetState(drsStored));
    EXPECT_TRUE(row->GetState(drsInserted));
    row->SetValue(value, 2);
    EXPECT_TRUE(row->GetState(drsUpdated));
    EXPECT_FALSE(row->GetState(drsEditing));
    row->Delete();
    EXPECT_TRUE(row->GetState(drsDeleted));
    ASSERT_EQ(log->Events.size(), 3u);
    EXPECT_EQ(Seen(), (std::vector<TKldDataEventType>{cdeRowInserted, cdeRowModified, cdeRowDeleted}));
    for (const auto& e : log->Events)
        EXPECT_EQ(e.first, row) << "the row is the sender";

    log->Events.clear();
    EXPECT_EQ(table->UnDeleteRow(row), row);
    EXPECT_FALSE(row->GetState(drsDeleted));
    EXPECT_EQ(table->RowCount(), 1);
    EXPECT_EQ(table->UnDeleteRow(row), row) << "a live row is answered unchanged";
    table->AcceptChanges();
    EXPECT_TRUE(log->Events.empty()) << "undeleting and accepting report nothing";
}

TEST_F(KldConformTablesFixture, UnDeleteRestoresKeyOrder)
{
    for (int k : {1, 2, 3, 4})
        Add(k);
    table->AcceptChanges();
    TKldDataRow* two = table->GetRow(1);
    TKldDataRow* four = table->GetRow(3);
    two->Delete();
    four->Delete();
    EXPECT_EQ(Keys(), "1,3,2,4");
    EXPECT_EQ(table->DeletedCount(), 2);
    table->UnDeleteRow(two);
    EXPECT_EQ(Keys(), "1,2,3,4");
    EXPECT_EQ(table->RowCount(), 3);
    EXPECT_EQ(table->DeletedCount(), 1);
    EXPECT_EQ(table->IndexOfRow(four), 3);
    EXPECT_EQ(table->IndexOfRow(nullptr), -1);
}

TEST_F(KldConformTablesFixture, KeyMovesOnUpdateAndDuplicatesAreRefused)
{
    for (int k : {10, 20, 30})
        Add(k);
    TKldDataRow* row = table->GetRow(0);
    row->SetValue(key, 25);
    EXPECT_EQ(Keys(), "20,25,30");
    ExpectKldError([&] { row->SetValue(key, 30); }, "Primary key violation in table \"T\"");
    EXPECT_EQ(Keys(), "20,25,30");
    EXPECT_EQ(row->GetValue(key).AsInteger(), 25);
    table->GetRow(2)->SetValue(value, 5);
    EXPECT_EQ(Keys(), "20,25,30") << "an update that keeps the key stays";
}

TEST_F(KldConformTablesFixture, UpdateRowPosition)
{
    for (int k : {10, 20, 30})
        Add(k);
    table->AcceptChanges();
    TKldDataRow* middle = table->GetRow(1);
    EXPECT_FALSE(table->UpdateRowPos(middle)) << "in place, no equal neighbour";

    // Keys written inside the container's bulk update pass without checks.
    struct Case
    {
        const char* Desc;
        int NewKey;
        bool Expected;
        const char* Order;
    };
    const Case cases[] = {
        {"equal to the row before", 10, true, "10,10,30"},
        {"equal to the row after", 30, true, "10,30,30"},
        {"smaller than the row before", 5, false, "5,10,30"},
        {"larger than the row after", 35, false, "10,30,35"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        container.BeginUpdate();
        middle->SetValue(key, c.NewKey);
        container.EndUpdate();
        EXPECT_EQ(table->UpdateRowPos(middle), c.Expected);
        EXPECT_EQ(Keys(), c.Order);
        container.BeginUpdate();
        middle->SetValue(key, 20);
        container.EndUpdate();
        table->Sort();
        EXPECT_EQ(Keys(), "10,20,30");
    }
}

TEST_F(KldConformTablesFixture, BulkUpdateAndEmptyTable)
{
    for (int k : {1, 2, 3})
        Add(k);
    table->AcceptChanges();
    log->Events.clear();
    table->EmptyTable();
    EXPECT_EQ(Seen(), (std::vector<TKldDataEventType>{cdeTableDataChanged}));
    EXPECT_EQ(log->Events[0].first, table);
    EXPECT_EQ(table->RowCount(), 0);
    EXPECT_EQ(table->DeletedCount(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(table->GetRow(i)->GetState(drsDeleted));

    log->Events.clear();
    table->RejectChanges();
    EXPECT_EQ(Keys(), "1,2,3");
    EXPECT_EQ(Seen(), (std::vector<TKldDataEventType>{cdeTableDataChanged}));

    // Nested brackets report once, at the outermost end.
    log->Events.clear();
    table->BeginUpdate();
    table->BeginUpdate();
    Add(4);
    table->EndUpdate();
    EXPECT_TRUE(table->IsUpdating());
    EXPECT_TRUE(log->Events.empty());
    table->EndUpdate();
    EXPECT_FALSE(table->IsUpdating());
    EXPECT_EQ(Seen(), (std::vector<TKldDataEventType>{cdeTableDataChanged}));
}

TEST_F(KldConformTablesFixture, BeginUpdateActivatesTheContainer)
{
    container.SetActive(false);
    EXPECT_FALSE(table->Prepared());
    table->BeginUpdate();
    EXPECT_TRUE(container.Active());
    EXPECT_TRUE(table->Prepared());
    table->EndUpdate();
}

TEST_F(KldConformTablesFixture, ChangesInsideATransactionAreRefused)
{
    Add(1);
    container.StartTransaction();
    const std::string message = "Unable to perform this operation within active transaction";
    ExpectKldError([&] { table->AcceptChanges(); }, message);
    ExpectKldError([&] { table->RejectChanges(); }, message);
    container.RollbackTransaction();
    EXPECT_EQ(table->RowCount(), 1);
    EXPECT_TRUE(table->GetRow(0)->GetState(drsInserted)) << "the refusals changed nothing";
}

TEST_F(KldConformTablesFixture, RejectCancelsAnEditedDeletedRow)
{
    for (int k : {1, 2, 3})
        Add(k, k);
    table->AcceptChanges();
    Add(4);
    TKldDataRow* two = table->GetRow(1);
    two->BeginEdit();
    two->SetValue(value, 99);
    two->Delete();
    ASSERT_TRUE(two->GetState(drsEditing));
    table->RejectChanges();
    EXPECT_EQ(Keys(), "1,2,3") << "the insert is gone, the deleted row is back in key order";
    EXPECT_EQ(table->DeletedCount(), 0);
    EXPECT_FALSE(two->GetState(drsDeleted));
    EXPECT_FALSE(two->GetState(drsEditing));
    EXPECT_EQ(two->GetValue(value).AsInteger(), 2) << "the pending edit was cancelled";
}

TEST_F(KldConformTablesFixture, UpdateRowDropsTheEditCopyWhenTheReportFails)
{
    TKldDataRow* row = Add(1, 1);
    struct Throwing : TKldDataContainerDesigner
    {
        using TKldDataContainerDesigner::TKldDataContainerDesigner;
        void NotifyEvent(TObject*, TKldDataEventType event) override
        {
            if (event == cdeRowModified)
                throw Exception("listener failed");
        }
    };
    row->BeginEdit();
    row->SetValue(value, 2);
    new Throwing(&container); // replaces the log as the container's designer
    ExpectKldError([&] { table->UpdateRow(row); }, "listener failed");
    EXPECT_FALSE(row->GetState(drsEditing));
    EXPECT_TRUE(row->GetState(drsUpdated));
    EXPECT_FALSE(row->IsModified(TKldColumnArray{value})) << "no edit copy left to compare with";
}

TEST_F(KldConformTablesFixture, MoveRowChecksBothIndexes)
{
    TKldDataTable* plain = container.Tables().Add();
    plain->SetName("Plain");
    TKldDataColumn* v = plain->Columns().AddColumn("V", cdtInteger);
    container.SetActive(true);
    for (int n : {0, 1, 2})
    {
        TKldDataRow* row = plain->New();
        row->SetValue(v, n);
        plain->Insert(row);
    }
    plain->GetRow(2)->Delete();
    struct Case
    {
        const char* Desc;
        int Cur;
        int New;
        const char* Message;
    };
    const Case cases[] = {
        {"current index first", 7, -3, "Invalid row index: 7"},
        {"new index", 0, -3, "Invalid row index: -3"},
        {"a deleted row is out of range", 2, 0, "Invalid row index: 2"},
        {"nor may a row move into the tail", 0, 2, "Invalid row index: 2"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        ExpectKldError([&] { plain->MoveRow(c.Cur, c.New); }, c.Message);
    }
    plain->MoveRow(1, 0);
    EXPECT_EQ(plain->GetRow(0)->GetValue(v).AsInteger(), 1);
    EXPECT_EQ(plain->GetRow(2)->GetValue(v).AsInteger(), 2) << "the tail stays";
}

TEST_F(KldConformTablesFixture, TableNamesAndAssignment)
{
    log->Events.clear();
    table->SetName(" Renamed ");
    EXPECT_EQ(table->Name(), "Renamed");
    EXPECT_FALSE(container.Active()) << "renaming a table deactivates";
    std::vector<TKldDataEventType> seen = Seen();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), cdeTableChanged);
    EXPECT_EQ(log->Events.back().first, table);
    log->Events.clear();
    table->SetName("Renamed");
    EXPECT_TRUE(log->Events.empty());

    // Names equal without regard to case cannot meet in one container: the
    // source lives in another one.
    TKldDataContainer other;
    TKldDataTable* target = other.Tables().Add();
    target->SetName("RENAMED");
    target->Assign(*table);
    EXPECT_EQ(target->Name(), "RENAMED") << "names equal without regard to case are kept";
    ASSERT_EQ(target->ColumnCount(), 2);
    EXPECT_EQ(target->Column(0)->Name(), "K");
    TKldDataTable* fresh = other.Tables().Add();
    fresh->SetName("Fresh");
    fresh->Assign(*table);
    EXPECT_EQ(fresh->Name(), "Renamed1") << "the source's name is taken";
}

TEST(KldConformTablesColumn, AssignCopiesTheDefinition)
{
    TKldDataContainer container;
    TKldDataTable* source = container.Tables().Add();
    source->SetName("Source");
    TKldDataColumn* from = source->Columns().AddColumn("Amount", cdtBCD, 3, true);
    from->SetReadOnly(true);
    from->SetDisplayLabel("The amount");
    from->SetRelationName("Rel");
    TKldDataTable* target = container.Tables().Add();
    target->SetName("Target");
    TKldDataColumn* amount = target->Columns().AddColumn("amount", cdtInteger);
    TKldDataColumn* other = target->Columns().AddColumn("Other", cdtInteger);
    TKldDataColumn* same = target->Columns().AddColumn("Same", cdtInteger);
    container.SetActive(true);

    struct Case
    {
        const char* Desc;
        TKldDataColumn* Target;
        const char* Name;
    };
    const Case cases[] = {
        {"a name differing in case only is replaced", amount, "Amount1"},
        {"another name takes the source's", other, "Amount"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        container.SetActive(true);
        c.Target->Assign(*from);
        EXPECT_FALSE(container.Active()) << "assigning deactivates the container";
        EXPECT_EQ(c.Target->Name(), c.Name);
        EXPECT_EQ(c.Target->DataType(), cdtBCD);
        EXPECT_EQ(c.Target->StoredDataLength(), 3);
        EXPECT_EQ(c.Target->Attributes(), from->Attributes());
        EXPECT_EQ(c.Target->DisplayLabel(), "The amount");
        EXPECT_EQ(c.Target->RelationName(), "Rel");
    }
    // The same name (with case) stays.
    TKldDataColumn* twin = source->Columns().AddColumn("Same", cdtString, 5);
    same->Assign(*twin);
    EXPECT_EQ(same->Name(), "Same");
    EXPECT_EQ(same->DataType(), cdtString);
}

// A table outside any container prepares itself: a definition change must
// still drop the rows laid out for the old definition.
TEST(KldConformTablesColumn, AssignUnpreparesATableWithoutContainer)
{
    TKldDataTable table;
    TKldDataColumn* id = table.Columns().AddColumn("Id", cdtInteger);
    TKldDataColumn* name = table.Columns().AddColumn("Name", cdtInteger);
    TKldDataRow* row = table.New();
    row->SetValue(id, 1);
    row->SetValue(name, 7);
    table.Insert(row);
    ASSERT_TRUE(table.Prepared());

    TKldDataTable other;
    TKldDataColumn* text = other.Columns().AddColumn("Name", cdtString, 40);
    name->Assign(*text);
    EXPECT_EQ(name->DataType(), cdtString);
    EXPECT_FALSE(table.Prepared()) << "the rows of the old layout are gone";
    EXPECT_EQ(table.PhysicalRowCount(), 0);
    row = table.New();
    row->SetValue(name, std::string("a text longer than any integer slot"));
    table.Insert(row);
    EXPECT_EQ(table.GetRow(0)->GetAsString(name), "a text longer than any integer slot");
}

TEST_F(KldConformTablesFixture, DeletePreconditions)
{
    TKldDataRow* row = Add(1);
    TKldDataTable* plain = container.Tables().Add();
    plain->SetName("Plain");
    plain->Columns().AddColumn("V", cdtInteger);
    container.SetActive(true);
    row = Add(1);
    std::unique_ptr<TKldDataRow> loose(table->New());
    TKldDataRow* foreign = plain->New();
    plain->Insert(foreign);
    struct Case
    {
        const char* Desc;
        TKldDataRow* Row;
    };
    TKldDataRow* deleted = Add(2);
    deleted->Delete();
    const Case cases[] = {
        {"no row", nullptr},
        {"a row not stored", loose.get()},
        {"a row of another table", foreign},
        {"a deleted row", deleted},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        EXPECT_THROW(table->Delete(c.Row), EAssertionFailed);
        EXPECT_EQ(Keys(), "1,2");
        EXPECT_EQ(table->DeletedCount(), 1);
    }
    EXPECT_FALSE(row->GetState(drsDeleted));
}

// Parent "P" (key Id) and child "C" (key Id, required Note, ParentId) joined
// by relation "PC" whose delete action is draError.
class KldConformTablesChecks : public ::testing::Test
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
        note = child->Columns().AddColumn("Note", cdtDateTime, -1, true);
        cparent = child->Columns().AddColumn("ParentId", cdtInteger);
        relation = container.Relations().Add();
        relation->SetName("PC");
        relation->SetParentTableName("P");
        relation->SetChildTableName("C");
        relation->SetParentColumnNames("Id");
        relation->SetChildColumnNames("ParentId");
        relation->SetDeleteAction(draError);
        container.SetActive(true);
        TKldDataRow* p = parent->New();
        p->SetValue(pid, 1);
        parent->Insert(p);
        TKldDataRow* c = child->New();
        c->SetValue(cid, 1);
        c->SetValue(note, Variant::FromDate(2.0));
        c->SetValue(cparent, 1);
        child->Insert(c);
    }

    TKldDataContainer container;
    TKldDataTable *parent = nullptr, *child = nullptr;
    TKldDataColumn *pid = nullptr, *cid = nullptr, *note = nullptr, *cparent = nullptr;
    TKldDataRelation* relation = nullptr;
};

TEST_F(KldConformTablesChecks, ChecksRunInTheirOrder)
{
    struct Case
    {
        const char* Desc;
        int Id;
        bool HasNote;
        int ParentId;
        const char* Message;
    };
    const Case cases[] = {
        {"a duplicate key comes before a missing value", 1, false, 9,
         "Primary key violation in table \"C\""},
        {"a missing value comes before a missing parent", 2, false, 9,
         "Column Note is required and must be assigned a value"},
        {"a missing parent", 2, true, 9, "Related row not found in table \"P\" (relation: \"PC\")"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        std::unique_ptr<TKldDataRow> row(child->New());
        row->SetValue(cid, c.Id);
        if (c.HasNote)
            row->SetValue(note, Variant::FromDate(3.0));
        row->SetValue(cparent, c.ParentId);
        ExpectKldError([&] { child->Insert(row.get()); }, c.Message);
        EXPECT_EQ(child->PhysicalRowCount(), 1);
    }
    EXPECT_TRUE(parent->Validations().Contains(dtvReferencedKeys));
    EXPECT_FALSE(parent->CanDeleteRow(parent->GetRow(0))) << "a child row holds it";
    EXPECT_TRUE(child->CanDeleteRow(child->GetRow(0)));
    ExpectKldError([&] { parent->GetRow(0)->Delete(); },
                   "Unable to delete row. It has related rows in table \"C\" (relation \"PC\")");
    EXPECT_EQ(parent->RowCount(), 1);
    EXPECT_FALSE(parent->GetRow(0)->GetState(drsDeleted));
}

TEST_F(KldConformTablesChecks, ColumnListsAndMaps)
{
    std::vector<TKldDataColumn*> list{pid};
    child->GetColumnList(&list);
    EXPECT_EQ(list, (std::vector<TKldDataColumn*>{pid, cid, note, cparent})) << "appended, not replaced";
    child->GetColumnList(nullptr);

    TKldColumnMap map = child->CreateColumnMap(*parent);
    EXPECT_EQ(map, (TKldColumnMap{pid, nullptr, nullptr}));
    map = parent->CreateColumnMap(*child);
    EXPECT_EQ(map, (TKldColumnMap{cid}));

    std::vector<TKldDataColumn*> named{pid, pid};
    child->Columns().GetColumnList(named, "parentid ; ID");
    EXPECT_EQ(named, (std::vector<TKldDataColumn*>{cparent, cid})) << "the list is cleared first";

    EXPECT_FALSE(child->HasOwnerTable());
    relation->SetOwnRows(true);
    relation->SetChildTableName("c");
    EXPECT_TRUE(child->HasOwnerTable()) << "the child's name compares without case";
    EXPECT_FALSE(parent->HasOwnerTable());
}

TEST_F(KldConformTablesFixture, AddColumnSetsTheRequiredFlagSilently)
{
    container.SetActive(false);
    struct Case
    {
        const char* Desc;
        bool Required;
    };
    const Case cases[] = {{"optional", false}, {"required", true}};
    std::vector<size_t> counts;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        log->Events.clear();
        TKldDataColumn* column = table->Columns().AddColumn(std::string("Col") + c.Desc, cdtString, 8, c.Required);
        EXPECT_EQ(column->Required(), c.Required);
        EXPECT_EQ(column->StoredDataLength(), 8);
        EXPECT_EQ(column->DataType(), cdtString);
        for (const auto& e : log->Events)
            EXPECT_EQ(e.second, cdeColumnListChanged);
        counts.push_back(log->Events.size());
    }
    EXPECT_EQ(counts[0], counts[1]) << "the flag itself reports nothing";
    EXPECT_GT(counts[0], 0u);
}

TEST_F(KldConformTablesFixture, InsertWithoutARowMakesOneFromTheDefaults)
{
    container.SetActive(false);
    TKldDataColumn* flag = table->Columns().AddColumn("Flag", cdtBoolean, -1, true);
    key->SetPrimaryKey(false);
    container.SetActive(true);
    log->Events.clear();
    TKldDataRow* first = table->Insert(nullptr);
    TKldDataRow* second = table->Insert(nullptr, 0);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(table->GetRow(0), second);
    EXPECT_EQ(table->GetRow(1), first);
    for (TKldDataRow* row : {first, second})
    {
        EXPECT_TRUE(row->GetState(drsStored));
        EXPECT_TRUE(row->GetState(drsInserted));
        EXPECT_EQ(row->Table(), table);
        EXPECT_TRUE(row->GetAssignedValue(flag));
        EXPECT_FALSE(row->GetValue(flag).AsBoolean());
        EXPECT_FALSE(row->GetAssignedValue(key));
    }
    EXPECT_EQ(Seen(), (std::vector<TKldDataEventType>{cdeRowInserted, cdeRowInserted}));
}

// Only live rows are put in key order: a row of the deleted tail stays there,
// so that the live and deleted parts keep their counts.
TEST_F(KldConformTablesFixture, KeyPositionLeavesTheDeletedTailAlone)
{
    for (int k : {10, 20, 30})
        Add(k);
    table->AcceptChanges();
    TKldDataRow* gone = table->GetRow(2);
    gone->Delete();
    std::unique_ptr<TKldDataRow> owner(table->New());
    TKldDataRow* loose = owner.get();
    loose->SetValue(key, 5);
    struct Case
    {
        const char* Desc;
        TKldDataRow* Row;
    };
    const Case cases[] = {{"a deleted row", gone}, {"a row not stored", loose}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        EXPECT_FALSE(table->UpdateRowPos(c.Row));
        EXPECT_EQ(Keys(), "10,20,30");
        EXPECT_EQ(table->RowCount(), 2);
        EXPECT_EQ(table->DeletedCount(), 1);
    }
}

// A listener that fails on the insert report does not undo the insert: the
// row stays stored and owned by the table, also one the table made itself.
TEST_F(KldConformTablesFixture, AFailingInsertReportLeavesTheRowStored)
{
    struct Throwing : TKldDataContainerDesigner
    {
        using TKldDataContainerDesigner::TKldDataContainerDesigner;
        void NotifyEvent(TObject*, TKldDataEventType event) override
        {
            if (event == cdeRowInserted)
                throw Exception("listener failed");
        }
    };
    new Throwing(&container);
    struct Case
    {
        const char* Desc;
        std::function<void()> Insert;
        int Key;
    };
    const Case cases[] = {
        {"a row made by the insert", [&] { table->Insert(nullptr); }, -1},
        {"a placeholder", [&] { table->InsertKey(Variant(5)); }, 5},
    };
    int expectedRows = 0;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        ExpectKldError(c.Insert, "listener failed");
        ++expectedRows;
        ASSERT_EQ(table->RowCount(), expectedRows);
        for (int i = 0; i < table->RowCount(); ++i)
            EXPECT_TRUE(table->GetRow(i)->GetState(drsStored));
        if (c.Key >= 0)
        {
            std::unique_ptr<TKldDataRow> probe(table->NewRow());
            probe->SetValue(key, c.Key);
            int position = -1;
            ASSERT_TRUE(table->FindRowPos(probe.get(), position));
            EXPECT_TRUE(table->GetRow(position)->GetState(drsNeedRefresh));
        }
    }
    container.SetActive(false); // destroys the rows once
}

// Moving a column on a prepared table changes no row: each column keeps the
// place in the row it was prepared with until the next Prepare.
TEST_F(KldConformTablesFixture, MovingAColumnKeepsTheRowValues)
{
    container.SetActive(false);
    TKldDataColumn* text = table->Columns().AddColumn("S", cdtString, 40);
    container.SetActive(true);
    TKldDataRow* row = Add(1, 11);
    row->SetValue(text, std::string("first text value"));
    text->SetItemIndex(0);
    ASSERT_EQ(table->Column(0), text);
    EXPECT_EQ(row->GetAsString(text), "first text value");
    EXPECT_EQ(row->GetValue(value).AsInteger(), 11);
    row->SetValue(text, std::string("a second, longer text value"));
    TKldDataRow* other = Add(2, 22);
    other->SetValue(text, std::string("x"));
    table->AcceptChanges();
    EXPECT_EQ(row->GetAsString(text), "a second, longer text value");
    EXPECT_EQ(other->GetValue(value).AsInteger(), 22);
    EXPECT_EQ(Keys(), "1,2");
    container.SetActive(false);
    container.SetActive(true);
    row = Add(3, 33);
    row->SetValue(text, std::string("after the next Prepare"));
    EXPECT_EQ(table->Column(0)->ColumnIndex(), 0);
    EXPECT_EQ(row->GetAsString(table->Column(0)), "after the next Prepare");
}
