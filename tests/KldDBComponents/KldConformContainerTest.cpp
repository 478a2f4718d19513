// Container, relation, persistence and row-set rules checked case by case:
// messages, orderings, states and events.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "KldEngineTestSupport.h"
#include "platform/Guid.h"
#include "platform/StringList.h"

namespace
{

// Parent (Id key, Name) and Child (Id key, ParentId, Name) with the relation
// "Parent_Child" from Parent.Id to Child.ParentId.
class KldConformTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        log = new KldEventLog(&container);
        parent = container.Tables().Add();
        parent->SetName("Parent");
        parent->Columns().AddColumn("Id", cdtInteger)->SetPrimaryKey(true);
        parent->Columns().AddColumn("Name", cdtString);
        child = container.Tables().Add();
        child->SetName("Child");
        child->Columns().AddColumn("Id", cdtInteger)->SetPrimaryKey(true);
        child->Columns().AddColumn("ParentId", cdtInteger);
        child->Columns().AddColumn("Name", cdtString);
        relation = container.Relations().Add();
        relation->SetName("Parent_Child");
        relation->SetParentTableName("Parent");
        relation->SetChildTableName("Child");
        relation->SetParentColumnNames("Id");
        relation->SetChildColumnNames("ParentId");
        container.SetActive(true);
    }

    TKldDataRow* AddParent(int id, const std::string& name = "p")
    {
        std::unique_ptr<TKldDataRow> row(parent->New());
        row->SetValue(parent->Column(0), id);
        row->SetValue(parent->Column(1), name);
        parent->Insert(row.get());
        return row.release();
    }

    TKldDataRow* AddChild(int id, const Variant& parentId, const std::string& name = "c")
    {
        std::unique_ptr<TKldDataRow> row(child->New());
        row->SetValue(child->Column(0), id);
        row->SetValue(child->Column(1), parentId);
        row->SetValue(child->Column(2), name);
        child->Insert(row.get());
        return row.release();
    }

    // The live rows of `table` as "Id:ParentId" (or "Id:Name" for Parent)
    // texts joined with ",", NULL shown as "null".
    static std::string Rows(TKldDataTable* table)
    {
        std::string s;
        for (int i = 0; i < table->RowCount(); ++i)
        {
            TKldDataRow* row = table->GetRow(i);
            Variant second = row->GetValue(table->Column(1));
            s += (i ? "," : "") + row->GetAsString(table->Column(0)) + ":" +
                 (second.IsNull() ? std::string("null") : row->GetAsString(table->Column(1)));
        }
        return s;
    }

    TKldDataContainer container;
    KldEventLog* log = nullptr;
    TKldDataTable* parent = nullptr;
    TKldDataTable* child = nullptr;
    TKldDataRelation* relation = nullptr;
};

} // namespace

// --- Relations ------------------------------------------------------------------------

TEST_F(KldConformTest, RelationNamesAreCheckedTrimmedButStoredAsGiven)
{
    TKldDataRelation* other = container.Relations().Add();
    ASSERT_FALSE(container.Active());
    other->SetName("Other");
    other->SetParentTableName("Parent");
    other->SetChildTableName("Child");
    other->SetParentColumnNames("Id");
    other->SetChildColumnNames("Id");
    container.SetActive(true);
    other->SetName("  Second ");
    EXPECT_EQ(other->Name(), "  Second ") << "stored as given";
    EXPECT_FALSE(container.Active()) << "a rename makes the container inactive";
    struct Case
    {
        const char* Desc;
        const char* Name;
        const char* Message;
    };
    const Case cases[] = {
        {"blank", "   ", "Relation name should not be empty"},
        {"empty", "", "Relation name should not be empty"},
        {"same name in other case", "parent_child", "Duplicate relation name: parent_child"},
        {"same name with blanks", " PARENT_CHILD ", "Duplicate relation name: PARENT_CHILD"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        ExpectKldError([&] { other->SetName(c.Name); }, c.Message);
        EXPECT_EQ(other->Name(), "  Second ");
    }
    ExpectKldError([&] { container.Relations().Get("Nowhere"); }, "Data relation not found: Nowhere");
    EXPECT_EQ(container.Relations().Get("  second "), other);
}

TEST_F(KldConformTest, RelationPreparationFailuresLeaveTheContainerInactive)
{
    struct Case
    {
        const char* Desc;
        const char* ParentTable;
        const char* ParentColumns;
        const char* ChildColumns;
        const char* Message;
    };
    const Case cases[] = {
        {"unknown parent table", "Nobody", "Id", "ParentId", "Table not found: Nobody"},
        {"columns of different count", "Parent", "Id;Name", "ParentId", "Invalid relation definition: Parent_Child"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        relation->SetParentTableName(c.ParentTable);
        relation->SetParentColumnNames(c.ParentColumns);
        relation->SetChildColumnNames(c.ChildColumns);
        log->Events.clear();
        ExpectKldError([&] { container.SetActive(true); }, c.Message);
        EXPECT_FALSE(container.Active());
        EXPECT_FALSE(relation->Prepared());
        EXPECT_EQ(log->Count(cdeContainerActivated), 0);
    }
    relation->SetParentTableName("Parent");
    relation->SetParentColumnNames("Id");
    relation->SetChildColumnNames("ParentId");
    container.SetActive(true);
    EXPECT_TRUE(relation->Prepared());
}

TEST_F(KldConformTest, IdentifyingAndConstraintActive)
{
    EXPECT_FALSE(relation->GetConstraintActive());
    EXPECT_TRUE(relation->GetIdentifying()) << "the parent key is Parent's primary key";
    relation->SetUpdateAction(draError);
    EXPECT_TRUE(relation->GetConstraintActive());
    relation->SetUpdateAction(draIgnore);
    relation->SetDeleteAction(draNullify);
    EXPECT_TRUE(relation->GetConstraintActive());

    relation->SetParentColumnNames("Name");
    relation->SetChildColumnNames("Name");
    EXPECT_FALSE(relation->GetIdentifying()) << "unprepared";
    container.SetActive(true);
    EXPECT_FALSE(relation->GetIdentifying()) << "Name is not the primary key";
}

// --- Relation actions -----------------------------------------------------------------

TEST_F(KldConformTest, DeleteActionsOnTheChildrenOfOneParent)
{
    struct Case
    {
        const char* Desc;
        TKldDataRelationAction Action;
        bool WithChildren;
        const char* Error; // nullptr: the delete succeeds
        const char* Children;
    };
    const Case cases[] = {
        {"cascade", draCascade, true, nullptr, "12:2"},
        {"nullify", draNullify, true, nullptr, "10:null,11:null,12:2"},
        {"error with children", draError, true,
         "Unable to delete row. It has related rows in table \"Child\" (relation \"Parent_Child\")",
         "10:1,11:1,12:2"},
        {"error without children", draError, false, nullptr, "12:2"},
        {"ignore", draIgnore, true, nullptr, "10:1,11:1,12:2"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        container.SetActive(false);
        relation->SetDeleteAction(c.Action);
        container.SetActive(true);
        TKldDataRow* one = AddParent(1);
        AddParent(2);
        if (c.WithChildren)
        {
            AddChild(10, 1);
            AddChild(11, 1);
        }
        AddChild(12, 2);
        if (c.Error)
        {
            ExpectKldError([&] { one->Delete(); }, c.Error);
            EXPECT_EQ(Rows(parent), "1:p,2:p");
        }
        else
        {
            one->Delete();
            EXPECT_EQ(Rows(parent), "2:p");
        }
        EXPECT_EQ(Rows(child), c.Children);
        EXPECT_FALSE(container.InTransaction());
        container.SetActive(false);
    }
}

TEST_F(KldConformTest, UpdateActionsFollowOnlyAKeyChange)
{
    struct Case
    {
        const char* Desc;
        TKldDataRelationAction Action;
        bool ChangeKey;
        const char* Error;
        const char* Children;
    };
    const Case cases[] = {
        {"cascade moves the children", draCascade, true, nullptr, "10:2,11:2,12:3"},
        {"cascade ignores another column", draCascade, false, nullptr, "10:1,11:1,12:3"},
        {"nullify", draNullify, true, nullptr, "10:null,11:null,12:3"},
        {"error", draError, true,
         "Unable to update row. It has related rows in table \"Child\" (relation \"Parent_Child\")",
         "10:1,11:1,12:3"},
        {"error ignores another column", draError, false, nullptr, "10:1,11:1,12:3"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        container.SetActive(false);
        relation->SetUpdateAction(c.Action);
        container.SetActive(true);
        TKldDataRow* one = AddParent(1);
        AddParent(3);
        AddChild(10, 1);
        AddChild(11, 1);
        AddChild(12, 3);
        one->BeginEdit();
        if (c.ChangeKey)
            one->SetValue(parent->Column(0), 2);
        one->SetValue(parent->Column(1), "renamed");
        if (c.Error)
        {
            ExpectKldError([&] { one->EndEdit(); }, c.Error);
            one->CancelEdit();
        }
        else
        {
            one->EndEdit();
        }
        EXPECT_EQ(Rows(child), c.Children);
        EXPECT_FALSE(container.InTransaction());
        container.SetActive(false);
    }
}

TEST_F(KldConformTest, AChildInEditBlocksCascadesAndChangesNothing)
{
    struct Case
    {
        const char* Desc;
        bool Delete;
        TKldDataRelationAction Action;
    };
    const Case cases[] = {
        {"cascading delete", true, draCascade},
        {"nullifying delete", true, draNullify},
        {"cascading update", false, draCascade},
        {"nullifying update", false, draNullify},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        container.SetActive(false);
        relation->SetDeleteAction(c.Delete ? c.Action : draIgnore);
        relation->SetUpdateAction(c.Delete ? draIgnore : c.Action);
        container.SetActive(true);
        TKldDataRow* one = AddParent(1);
        AddParent(5);
        AddChild(10, 1);
        AddChild(11, 1);
        TKldDataRow* unrelated = AddChild(12, 5);
        unrelated->BeginEdit(); // not even a child of the parent
        if (c.Delete)
        {
            ExpectKldError([&] { one->Delete(); }, "Row is already being edited");
            EXPECT_EQ(Rows(parent), "1:p,5:p");
        }
        else
        {
            ExpectKldError([&] { one->SetValue(parent->Column(0), 2); }, "Row is already being edited");
        }
        EXPECT_EQ(Rows(child), "10:1,11:1,12:5");
        EXPECT_FALSE(container.InTransaction());
        unrelated->CancelEdit();
        container.SetActive(false);
    }
}

TEST_F(KldConformTest, ForeignKeyCheckOfAChangedChildKey)
{
    container.SetActive(false);
    relation->SetUpdateAction(draError); // the relation is a constraint
    container.SetActive(true);
    AddParent(1);
    TKldDataRow* row = AddChild(10, 1);
    ExpectKldError([&] { row->SetValue(child->Column(1), 7); },
                   "Related row not found in table \"Parent\" (relation: \"Parent_Child\")");
    EXPECT_EQ(Rows(child), "10:1");
    row->SetValue(child->Column(1), Variant::Null());
    EXPECT_EQ(Rows(child), "10:null") << "a NULL key refers to no row and is not checked";
    row->SetValue(child->Column(2), "renamed");
    EXPECT_EQ(Rows(child), "10:null");
}

// --- Transactions -------------------------------------------------------------------------

TEST_F(KldConformTest, OneRollbackUndoesEveryNestedLevel)
{
    TKldDataRow* one = AddParent(1, "one");
    AddParent(2, "two");
    parent->AcceptChanges();
    container.StartTransaction();
    one->SetValue(parent->Column(1), "changed");
    container.StartTransaction();
    AddParent(3, "three");
    parent->GetRow(1)->Delete();
    EXPECT_EQ(Rows(parent), "1:changed,3:three");
    container.RollbackTransaction();
    EXPECT_FALSE(container.InTransaction());
    EXPECT_EQ(Rows(parent), "1:one,2:two");
    EXPECT_EQ(parent->PhysicalRowCount(), 2);
    EXPECT_FALSE(one->GetState(drsUpdated));
    container.RollbackTransaction(); // nothing at depth 0
    container.CommitTransaction();
    EXPECT_EQ(Rows(parent), "1:one,2:two");
}

TEST_F(KldConformTest, AFailedCascadeRollsBackTheCallersTransaction)
{
    container.SetActive(false);
    relation->SetDeleteAction(draCascade);
    container.SetActive(true);
    TKldDataRow* one = AddParent(1);
    AddParent(2, "two");
    AddChild(10, 1);
    TKldDataRow* busy = AddChild(11, 2);
    parent->AcceptChanges();
    child->AcceptChanges();

    busy->BeginEdit();
    container.StartTransaction();
    parent->GetRow(1)->SetValue(parent->Column(1), "changed");
    AddChild(12, 2);
    ExpectKldError([&] { one->Delete(); }, "Row is already being edited");
    EXPECT_FALSE(container.InTransaction());
    busy->CancelEdit();
    EXPECT_EQ(Rows(parent), "1:p,2:two");
    EXPECT_EQ(Rows(child), "10:1,11:2");
}

TEST_F(KldConformTest, AcceptAndRejectAreRefusedInsideATransaction)
{
    AddParent(1);
    container.StartTransaction();
    const char* message = "Unable to perform this operation within active transaction";
    ExpectKldError([&] { container.AcceptChanges(); }, message);
    ExpectKldError([&] { container.RejectChanges(); }, message);
    ExpectKldError([&] { container.CheckNotInTransaction(); }, message);
    EXPECT_TRUE(parent->GetRow(0)->GetState(drsInserted));
    container.CommitTransaction();
    container.AcceptChanges();
    EXPECT_FALSE(parent->GetRow(0)->GetState(drsInserted));
}

// --- Adapter --------------------------------------------------------------------------------

TEST_F(KldConformTest, UpdateReportsItsFailureAndRaisesItAgain)
{
    const char* missing = "Unable to preform this operation. Data adapter is not assigned";
    ExpectKldError([&] { container.Fill(nullptr); }, missing);
    ExpectKldError([&] { container.Refresh(nullptr); }, missing);
    ExpectKldError([&] { parent->RefreshRow(parent->NullRow()); }, missing);

    KldRecordingAdapter adapter;
    std::vector<std::string> calls;
    container.OnBeforeUpdate = [&](TObject* sender) { calls.push_back(sender == &container ? "before" : "?"); };
    container.OnAfterUpdate = [&](TObject* sender) { calls.push_back(sender == &container ? "after" : "?"); };
    container.OnUpdateFailed = [&](TObject* sender) { calls.push_back(sender == &container ? "failed" : "?"); };
    container.Update(&adapter);
    EXPECT_EQ(calls, (std::vector<std::string>{"before", "after"}));

    calls.clear();
    adapter.Action = [](const std::string&) { throw Exception("server gone"); };
    ExpectKldError([&] { container.Update(&adapter); }, "server gone");
    EXPECT_EQ(calls, (std::vector<std::string>{"before", "failed"}));
}

// --- Persistence -----------------------------------------------------------------------------

TEST_F(KldConformTest, PersistentDataDecidesWhetherRowsSurviveANewColumn)
{
    for (bool persistent : {true, false})
    {
        SCOPED_TRACE(persistent ? "persistent" : "not persistent");
        container.SetPersistentData(persistent);
        container.SetActive(true);
        AddParent(1, "one");
        AddParent(2, "two");
        parent->Columns().AddColumn("Extra", cdtInteger);
        EXPECT_FALSE(container.Active());
        container.SetActive(true);
        if (persistent)
        {
            EXPECT_EQ(Rows(parent), "1:one,2:two");
            TKldDataColumn* extra = parent->Columns().Find("Extra");
            ASSERT_NE(extra, nullptr);
            for (int i = 0; i < parent->RowCount(); ++i)
                EXPECT_TRUE(parent->GetRow(i)->GetValue(extra).IsNull());
        }
        else
        {
            EXPECT_EQ(parent->RowCount(), 0);
        }
        EXPECT_EQ(container.SavedData(), nullptr);
        delete parent->Columns().Find("Extra");
        container.SetActive(true);
        container.Clear();
    }
}

TEST_F(KldConformTest, RoundTripKeepsStructureAndLoadsRowsAsUnchanged)
{
    container.SetActive(false);
    relation->SetDeleteAction(draCascade);
    relation->SetOwnRows(true);
    container.SetActive(true);
    AddParent(1, "one");
    AddParent(2, "two");
    AddChild(10, 1);
    TKldDataRow* gone = AddChild(11, 2);
    gone->Delete();
    parent->GetRow(0)->SetValue(parent->Column(1), std::string(300, 'x'));

    TMemoryStream stream;
    container.SaveToStream(stream, true, true);
    TKldDataContainer copy;
    KldEventLog* copyLog = new KldEventLog(&copy);
    stream.SetPosition(0);
    copy.LoadFromStream(stream);
    EXPECT_TRUE(copy.Active());
    EXPECT_EQ(copyLog->Count(cdeContainerDataChanged), 1);
    ASSERT_EQ(copy.Tables().Count(), 2);
    ASSERT_EQ(copy.Relations().Count(), 1);
    TKldDataRelation* r = copy.Relations().Relations(0);
    EXPECT_EQ(r->Name(), "Parent_Child");
    EXPECT_EQ(r->ParentTableName(), "Parent");
    EXPECT_EQ(r->ChildColumnNames(), "ParentId");
    EXPECT_EQ(r->DeleteAction(), draCascade);
    EXPECT_TRUE(r->OwnRows());
    TKldDataTable* p = copy.Tables().Get("Parent");
    TKldDataTable* c = copy.Tables().Get("Child");
    EXPECT_EQ(Rows(p), "1:" + std::string(300, 'x') + ",2:two");
    EXPECT_EQ(Rows(c), "10:1") << "deleted rows are not saved";
    EXPECT_EQ(c->PhysicalRowCount(), 1);
    for (TKldDataTable* t : {p, c})
    {
        for (int i = 0; i < t->RowCount(); ++i)
        {
            EXPECT_FALSE(t->GetRow(i)->GetState(drsInserted));
            EXPECT_FALSE(t->GetRow(i)->GetState(drsUpdated));
        }
    }
}

TEST_F(KldConformTest, AGuidComesBackAssignedAndZero)
{
    TKldDataColumn* guid = parent->Columns().AddColumn("Key", cdtGuid);
    container.SetActive(true);
    TKldDataRow* row = AddParent(1);
    TGUID value = CreateGUID();
    row->SetColumnData(guid, &value);
    ASSERT_EQ(row->GetAsString(guid), GUIDToString(value));
    TMemoryStream stream;
    container.SaveToStream(stream, false, true);
    container.Clear();
    stream.SetPosition(0);
    container.LoadFromStream(stream);
    ASSERT_EQ(parent->RowCount(), 1);
    TKldDataRow* back = parent->GetRow(0);
    EXPECT_TRUE(back->GetAssignedValue(guid));
    EXPECT_EQ(back->GetAsString(guid), GUIDToString(TGUID{}));
}

TEST_F(KldConformTest, DataPropertyIsStoredOnlyWithStoreDataInDfm)
{
    EXPECT_FALSE(container.HasDataProperty());
    container.SetStoreDataInDfm(true);
    EXPECT_TRUE(container.HasDataProperty());
    AddParent(1, "one");
    TMemoryStream live;
    container.WriteData(live);
    TMemoryStream expected;
    container.SaveToStream(expected, false, true);
    ASSERT_EQ(live.Size(), expected.Size());
    EXPECT_EQ(0, std::memcmp(live.Memory(), expected.Memory(), static_cast<size_t>(live.Size())));

    // Inactive with saved rows: the saved rows are written as they are.
    container.SetActive(false);
    ASSERT_NE(container.SavedData(), nullptr);
    TMemoryStream saved;
    container.WriteData(saved);
    ASSERT_EQ(saved.Size(), container.SavedData()->Size());
    EXPECT_EQ(0, std::memcmp(saved.Memory(), container.SavedData()->Memory(), static_cast<size_t>(saved.Size())));

    TKldDataContainer other;
    other.Assign(container);
    saved.SetPosition(0);
    other.ReadData(saved);
    EXPECT_EQ(Rows(other.Tables().Get("Parent")), "1:one");
}

// --- Row set ------------------------------------------------------------------------------------

TEST_F(KldConformTest, AWriteOutsideAnEditKeepsTheRowsPlace)
{
    AddChild(1, 1, "b");
    AddChild(2, 1, "d");
    TKldDataRow* moving = AddChild(3, 1, "f");
    TKldRowSet rows(child, nullptr);
    rows.SetOrderByColumns({{child->Column(2), false}});
    rows.SetActive(true);
    auto ids = [&] {
        std::string s;
        for (int i = 0; i < rows.GetRowCount(); ++i)
            s += (i ? "," : "") + rows.GetRow(i)->GetAsString(child->Column(0));
        return s;
    };
    EXPECT_EQ(ids(), "1,2,3");
    moving->BeginEdit();
    moving->SetValue(child->Column(2), "a");
    moving->EndEdit();
    EXPECT_EQ(ids(), "3,1,2") << "changed inside an edit: moved";
    moving->SetValue(child->Column(1), 5);
    EXPECT_EQ(ids(), "3,1,2") << "another column: same place";
}

TEST_F(KldConformTest, MasterKeyValueOnlyRecomputesTheRange)
{
    for (int i = 0; i < 6; ++i)
        AddChild(i, i % 2 ? 7 : 8, std::string(1, static_cast<char>('f' - i)));
    TKldRowSet rows(child, nullptr);
    rows.SetOrderByColumns({{child->Column(2), false}});
    rows.SetActive(true);
    EXPECT_TRUE(rows.SetMasterKey("ParentId", 7));
    auto ids = [&] {
        std::string s;
        for (int i = 0; i < rows.GetRowCount(); ++i)
            s += (i ? "," : "") + rows.GetRow(i)->GetAsString(child->Column(0));
        return s;
    };
    EXPECT_EQ(ids(), "5,3,1");
    int rebuilds = 0;
    rows.OnFilterRow = [&](TKldDataRow*, bool&) { ++rebuilds; };
    EXPECT_TRUE(rows.SetMasterKey("ParentId", 8));
    EXPECT_EQ(ids(), "4,2,0");
    EXPECT_FALSE(rows.SetMasterKey("ParentId", 8));
    EXPECT_FALSE(rows.SetMasterKey(8));
    EXPECT_EQ(rebuilds, 0);
    EXPECT_TRUE(rows.SetMasterKey("", Variant::Null()));
    EXPECT_EQ(rows.GetRowCount(), 6);
}

// --- Events -------------------------------------------------------------------------------------

namespace
{

// A designer that counts how many of its kind are alive.
class KldCountedDesigner : public TKldDataContainerDesigner
{
public:
    explicit KldCountedDesigner(TKldDataContainer* container, int& alive)
        : TKldDataContainerDesigner(container), m_alive(alive)
    {
        ++m_alive;
    }
    ~KldCountedDesigner() override { --m_alive; }

private:
    int& m_alive;
};

} // namespace

TEST_F(KldConformTest, AStructureChangeLeftInactiveEndsWithoutActivation)
{
    log->Events.clear();
    container.BeginUpdate();
    parent->Columns().AddColumn("Extra", cdtInteger);
    container.Relations().Add()->SetName("Loose");
    container.EndUpdate();
    std::vector<TKldDataEventType> types;
    for (const auto& e : log->Events)
        types.push_back(e.second);
    EXPECT_EQ(types, (std::vector<TKldDataEventType>{cdeContainerDeactivated, cdeContainerChanged,
                                                       cdeContainerDataChanged}));
    EXPECT_FALSE(container.Active());
}

TEST_F(KldConformTest, ANewDesignerReplacesAndDestroysTheEarlierOne)
{
    int alive = 0;
    auto* first = new KldCountedDesigner(&container, alive);
    EXPECT_EQ(container.Designer(), first);
    EXPECT_EQ(alive, 1);
    auto* second = new KldCountedDesigner(&container, alive);
    EXPECT_EQ(alive, 1) << "the earlier designer is destroyed";
    EXPECT_EQ(container.Designer(), second);
    delete second;
    EXPECT_EQ(container.Designer(), nullptr);
    EXPECT_EQ(alive, 0);
}

TEST_F(KldConformTest, ARowSetPassesOnOnlyItsOwnEvents)
{
    TKldRowSet rows(child, nullptr);
    std::vector<std::pair<TObject*, TKldDataEventType>> seen;
    rows.OnNotify = [&](TObject* sender, TKldDataEventType event) { seen.push_back({sender, event}); };
    rows.SetActive(true);
    TKldRowSet other(parent, nullptr);
    other.SetActive(true); // cdeCursorBeforeOpen from another cursor
    EXPECT_TRUE(seen.empty());

    AddParent(1);
    EXPECT_TRUE(seen.empty()) << "a row of another table";
    TKldDataRow* row = AddChild(10, 1);
    row->SetValue(child->Column(2), "x");
    row->Delete();
    parent->BeginUpdate();
    parent->EndUpdate(); // cdeTableDataChanged of another table
    child->BeginUpdate();
    child->EndUpdate();
    container.BeginUpdate();
    container.EndUpdate();
    parent->Columns().AddColumn("Extra", cdtInteger); // deactivates
    container.SetActive(true);

    const std::vector<std::pair<TObject*, TKldDataEventType>> expected = {
        {row, cdeRowInserted},
        {row, cdeRowModified},
        {row, cdeRowDeleted},
        {child, cdeTableDataChanged},
        {&container, cdeContainerDataChanged},
        {&container, cdeContainerDeactivated},
    };
    EXPECT_EQ(seen, expected);
}

// --- Row encoding ------------------------------------------------------------------------------

TEST(KldConformRowEncoding, EachColumnTypeWritesItsValueForm)
{
    using Bytes = std::vector<uint8_t>;
    auto text = [](uint8_t type, const std::string& s) {
        Bytes b{type};
        if (type == 6)
            b.push_back(static_cast<uint8_t>(s.size()));
        else
            for (int i = 0; i < 4; ++i)
                b.push_back(static_cast<uint8_t>(s.size() >> (8 * i)));
        b.insert(b.end(), s.begin(), s.end());
        return b;
    };
    struct Case
    {
        const char* Desc;
        TKldDataType Type;
        Variant Value;
        Bytes Encoded; // after the assigned flag; empty: nothing stored
    };
    const Case cases[] = {
        {"small int", cdtSmallInt, Variant(-5), {2, 0xFB}},
        {"integer in two bytes", cdtInteger, Variant(200), {3, 200, 0}},
        {"integer in four bytes", cdtInteger, Variant(70000), {4, 0x70, 0x11, 0x01, 0x00}},
        {"large int small", cdtLargeInt, Variant(int64_t{7}), {2, 7}},
        {"large int beyond 32 bits", cdtLargeInt, Variant(int64_t{5000000000}),
         {19, 0x00, 0xF2, 0x05, 0x2A, 0x01, 0x00, 0x00, 0x00}},
        {"boolean true", cdtBoolean, Variant(true), {9}},
        {"boolean false", cdtBoolean, Variant(false), {8}},
        {"float", cdtFloat, Variant(1.5), {5, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0xFF, 0x3F}},
        {"date", cdtDate, Variant::FromDate(2.0), {17, 0, 0, 0, 0, 0, 0, 0, 0x40}},
        {"time", cdtTime, Variant::FromDate(0.5), {17, 0, 0, 0, 0, 0, 0, 0xE0, 0x3F}},
        {"string", cdtString, Variant(std::string("ab")), text(6, "ab")},
        {"string of 255 bytes", cdtString, Variant(std::string(255, 's')), text(6, std::string(255, 's'))},
        {"string of 300 bytes", cdtString, Variant(std::string(300, 'l')), text(12, std::string(300, 'l'))},
        {"memo", cdtMemo, Variant(std::string("m")), text(6, "m")},
        {"wide string", cdtWideString, Variant::FromWideString("\xC3\xA9"), {18, 1, 0, 0, 0, 0xE9, 0}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        TKldDataContainer container;
        TKldDataTable* table = container.Tables().Add();
        table->SetName("T");
        TKldDataColumn* column = table->Columns().AddColumn("V", c.Type, KldIsTextType(c.Type) ? 400 : -1);
        container.SetActive(true);
        TKldDataRow* row = table->New();
        row->SetValue(column, c.Value);
        table->Insert(row);
        std::string before = row->GetAsString(column);

        TMemoryStream stream;
        container.SaveToStream(stream, false, true);
        Bytes expected{8, 1, 6, 1, 'T', 9, 1, 6, 1, 'V', 2, static_cast<uint8_t>(c.Type), 0, 1, 9, 9};
        expected.insert(expected.end(), c.Encoded.begin(), c.Encoded.end());
        expected.insert(expected.end(), {0, 0});
        Bytes written(static_cast<const uint8_t*>(stream.Memory()),
                      static_cast<const uint8_t*>(stream.Memory()) + stream.Size());
        EXPECT_EQ(written, expected);

        // And it reads back to the same value, not flagged as inserted.
        container.Clear();
        stream.SetPosition(0);
        container.LoadFromStream(stream);
        ASSERT_EQ(table->RowCount(), 1);
        EXPECT_EQ(table->GetRow(0)->GetAsString(column), before);
        EXPECT_FALSE(table->GetRow(0)->GetState(drsInserted));
    }
}

TEST_F(KldConformTest, ARowIsListedForRollbackOnlyOnce)
{
    TKldDataRow* kept = AddParent(1, "one");
    AddParent(2, "two");
    parent->AcceptChanges();
    struct Case
    {
        const char* Desc;
        bool Commit;
        const char* Expected;
    };
    const Case cases[] = {
        {"rolled back", false, "1:one,2:two"},
        {"committed", true, "1:changed,2:two"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        container.StartTransaction();
        kept->SetValue(parent->Column(1), "changed");
        // Listed already by the change: listing it again changes nothing.
        container.AddRollbackRow(kept);
        container.AddRollbackRow(kept);
        if (c.Commit)
            container.CommitTransaction();
        else
            container.RollbackTransaction();
        EXPECT_EQ(Rows(parent), c.Expected);
        EXPECT_EQ(kept->RollbackRow(), nullptr);
    }
    // An inserted row listed again is removed once when rolled back.
    container.StartTransaction();
    TKldDataRow* fresh = AddParent(3, "three");
    container.AddRollbackRow(fresh);
    container.RollbackTransaction();
    EXPECT_EQ(Rows(parent), "1:changed,2:two");
    EXPECT_EQ(parent->PhysicalRowCount(), 2);
}

TEST_F(KldConformTest, LoadingLeavesTheContainerActiveWhenItWasOrBecameSo)
{
    AddParent(1, "one");
    struct Case
    {
        const char* Desc;
        bool WasActive;
        bool WithStructure;
        bool WithData;
        bool ActiveAfter;
        int ParentRows;
    };
    const Case cases[] = {
        {"inactive, structure only", false, true, false, false, 0},
        {"active, structure only", true, true, false, true, 0},
        {"inactive, structure and data", false, true, true, true, 1},
        {"inactive, data only", false, false, true, true, 1},
        {"inactive, empty data list", false, false, false, false, 0},
        {"active, empty data list", true, false, false, true, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        TMemoryStream stream;
        container.SaveToStream(stream, c.WithStructure, c.WithData);
        TKldDataContainer target;
        target.Assign(container);
        target.SetActive(c.WasActive);
        KldEventLog* events = new KldEventLog(&target);
        stream.SetPosition(0);
        target.LoadFromStream(stream);
        EXPECT_EQ(target.Active(), c.ActiveAfter);
        EXPECT_FALSE(target.Loading());
        EXPECT_FALSE(target.IsUpdating());
        EXPECT_EQ(events->Count(cdeContainerDataChanged), 1) << "one bulk update";
        if (target.Active()) {
            EXPECT_EQ(target.Tables().Get("Parent")->RowCount(), c.ParentRows);
        }
    }
}

namespace
{

// Tries to load a second stream while the container reports its deactivation.
class KldReentrantLoader : public TKldDataContainerDesigner
{
public:
    KldReentrantLoader(TKldDataContainer* container, TStream& stream)
        : TKldDataContainerDesigner(container), m_stream(stream)
    {
    }
    void NotifyEvent(TObject*, TKldDataEventType event) override
    {
        if (event != cdeContainerDeactivated || Outcome != "none")
            return;
        try
        {
            Container()->LoadFromStream(m_stream);
            Outcome = "loaded";
        }
        catch (const EAssertionFailed& e)
        {
            Outcome = e.Message().find("KldData") != std::string::npos ? "assertion" : "other assertion";
        }
        catch (const Exception&)
        {
            Outcome = "error";
        }
    }
    std::string Outcome = "none";

private:
    TStream& m_stream;
};

} // namespace

TEST_F(KldConformTest, LoadingWhileLoadingIsAProgrammingError)
{
    AddParent(1, "one");
    TMemoryStream stream;
    container.SaveToStream(stream, true, true);
    TMemoryStream second;
    container.SaveToStream(second, true, true);
    auto* loader = new KldReentrantLoader(&container, second);
    stream.SetPosition(0);
    container.LoadFromStream(stream);
    EXPECT_EQ(loader->Outcome, "assertion");
    EXPECT_EQ(Rows(container.Tables().Get("Parent")), "1:one");
    EXPECT_FALSE(container.Loading());
}

TEST_F(KldConformTest, RowSetLocateTakesItsValuesAsTheTableDoes)
{
    AddChild(1, Variant::Null(), "a");
    AddChild(2, Variant::Null(), "b");
    TKldRowSet rows(child, nullptr);
    rows.SetOrderByColumns({{child->Column(2), true}});
    rows.SetActive(true);
    struct Case
    {
        const char* Desc;
        Variant Values;
        const char* Error; // nullptr: Id 2 is found
    };
    const Case cases[] = {
        {"a value per column", VarArrayOf({2, Variant::Null()}), nullptr},
        {"too few values", VarArrayOf({2}), "Unable to assign 1 values to 2 columns"},
        {"one value for two columns", Variant(2), "Unable to assign 1 values to 2 columns"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        if (c.Error)
        {
            ExpectKldError([&] { child->Locate("Id;ParentId", c.Values, {}); }, c.Error);
            ExpectKldError([&] { rows.Locate("Id;ParentId", c.Values, {}); }, c.Error);
            continue;
        }
        TKldDataRow* found = rows.Locate("Id;ParentId", c.Values, {});
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(found, child->Locate("Id;ParentId", c.Values, {}));
        EXPECT_EQ(found->GetValue(child->Column(0)).AsInteger(), 2);
    }
}
