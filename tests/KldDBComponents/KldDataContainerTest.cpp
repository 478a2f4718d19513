#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "KldEngineTestSupport.h"
#include "platform/StringList.h"

namespace
{

// Parent (Id key, Name) and Child (Id key, ParentId) with the relation
// "Parent_Child" from Parent.Id to Child.ParentId.
class KldContainerTest : public ::testing::Test
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

    TKldDataRow* AddChild(int id, const Variant& parentId)
    {
        std::unique_ptr<TKldDataRow> row(child->New());
        row->SetValue(child->Column(0), id);
        row->SetValue(child->Column(1), parentId);
        child->Insert(row.get());
        return row.release();
    }

    TKldDataContainer container;
    KldEventLog* log = nullptr;
    TKldDataTable* parent = nullptr;
    TKldDataTable* child = nullptr;
    TKldDataRelation* relation = nullptr;
};

std::vector<TKldDataEventType> Types(const std::vector<std::pair<TObject*, TKldDataEventType>>& events)
{
    std::vector<TKldDataEventType> types;
    for (const auto& e : events)
        types.push_back(e.second);
    return types;
}

std::vector<std::string> Lines(TKldDataContainer& container)
{
    TStringList list;
    DumpContainerState(&container, list);
    std::vector<std::string> lines;
    for (int i = 0; i < list.Count(); ++i)
        lines.push_back(list[i]);
    return lines;
}

} // namespace

TEST_F(KldContainerTest, BulkUpdateHoldsEventsBackAndReportsAtTheEnd)
{
    TKldRowSet cursor(child, nullptr);
    std::vector<std::pair<TObject*, TKldDataEventType>> seen;
    cursor.OnNotify = [&](TObject* sender, TKldDataEventType event) { seen.push_back({sender, event}); };
    cursor.SetActive(true);
    log->Events.clear();

    container.BeginUpdate();
    container.BeginUpdate();
    AddParent(1);
    child->Columns().AddColumn("Extra", cdtString); // deactivates
    container.SetActive(true);
    AddChild(5, 1);
    container.EndUpdate();
    EXPECT_EQ(Types(log->Events), std::vector<TKldDataEventType>{cdeContainerDeactivated})
        << "only the first deactivation passes while updating";
    container.EndUpdate();
    EXPECT_EQ(Types(log->Events), (std::vector<TKldDataEventType>{cdeContainerDeactivated, cdeContainerChanged,
                                                                  cdeContainerActivated, cdeContainerDataChanged}));
    for (size_t i = 1; i < log->Events.size(); ++i)
        EXPECT_EQ(log->Events[i].first, &container);
    // The cursor passes on the deactivation and the data change only, and
    // has rebuilt its list.
    EXPECT_EQ(Types(seen), (std::vector<TKldDataEventType>{cdeContainerDeactivated, cdeContainerDataChanged}));

    log->Events.clear();
    seen.clear();
    container.BeginUpdate();
    AddParent(2);
    container.EndUpdate();
    EXPECT_EQ(Types(log->Events), std::vector<TKldDataEventType>{cdeContainerDataChanged});
}

TEST_F(KldContainerTest, EventsReachEveryCursorEvenWhenOneCloses)
{
    TKldRowSet first(parent, nullptr);
    TKldRowSet second(parent, nullptr);
    int secondCalls = 0;
    first.OnNotify = [&](TObject*, TKldDataEventType event) {
        if (event == cdeRowInserted)
            first.SetActive(false);
    };
    second.OnNotify = [&](TObject*, TKldDataEventType event) { secondCalls += event == cdeRowInserted; };
    first.SetActive(true);
    second.SetActive(true);
    EXPECT_EQ(container.CursorCount(), 2);
    EXPECT_EQ(log->Count(cdeCursorBeforeOpen), 2);
    AddParent(1);
    EXPECT_FALSE(first.Active());
    EXPECT_EQ(secondCalls, 1);
    EXPECT_EQ(container.CursorCount(), 1);
    container.CloseCursors();
    EXPECT_FALSE(second.Active());
    EXPECT_EQ(container.CursorCount(), 0);
}

TEST_F(KldContainerTest, ClearingOperations)
{
    AddParent(1);
    AddParent(2);
    AddChild(10, 1);
    parent->AcceptChanges();
    log->Events.clear();

    container.EmptyTables();
    EXPECT_EQ(parent->RowCount(), 0);
    EXPECT_EQ(parent->PhysicalRowCount(), 2) << "deleted rows wait at the tail";
    EXPECT_EQ(Types(log->Events), std::vector<TKldDataEventType>{cdeContainerDataChanged});

    container.Clear();
    EXPECT_EQ(parent->PhysicalRowCount(), 0);
    EXPECT_EQ(child->PhysicalRowCount(), 0);
    EXPECT_TRUE(container.Active());

    AddParent(3);
    container.SetActive(false);
    container.ClearData(); // inactive: nothing to do
    container.SetActive(true);
    AddParent(4);
    log->Events.clear();
    container.ClearData();
    EXPECT_EQ(parent->PhysicalRowCount(), 0);
    EXPECT_TRUE(log->Events.empty()) << "ClearData reports nothing";

    container.ClearStructure();
    EXPECT_EQ(container.Tables().Count(), 0);
    EXPECT_EQ(container.Relations().Count(), 0);
    EXPECT_FALSE(container.Active());
}

TEST_F(KldContainerTest, ParametersByName)
{
    container.Params().AddParameter("Facility", cptInput, cdtInteger, 0);
    container.SetParam("FACILITY", 12);
    EXPECT_EQ(container.GetParam("facility").AsInteger(), 12);
    ExpectKldError([&] { container.GetParam("Missing"); }, "Field or parameter not found: Missing");
    ExpectKldError([&] { container.SetParam("Missing", 1); }, "Field or parameter not found: Missing");
}

TEST_F(KldContainerTest, AdapterCallsAndUpdateEvents)
{
    const std::string none = "Unable to preform this operation. Data adapter is not assigned";
    ExpectKldError([&] { container.Fill(nullptr); }, none);
    ExpectKldError([&] { container.Update(nullptr); }, none);
    ExpectKldError([&] { container.Refresh(nullptr); }, none);
    ExpectKldError([&] { parent->Fill(); }, none);
    ExpectKldError([&] { parent->Update(); }, none);

    std::vector<std::string> trace;
    container.OnBeforeUpdate = [&](TObject* sender) { trace.push_back(sender == &container ? "before" : "?"); };
    container.OnAfterUpdate = [&](TObject* sender) { trace.push_back(sender == &container ? "after" : "?"); };
    container.OnUpdateFailed = [&](TObject* sender) { trace.push_back(sender == &container ? "failed" : "?"); };

    auto adapter = std::make_unique<KldRecordingAdapter>();
    adapter->Action = [&](const std::string& call) {
        bool updating = call.find("table") != std::string::npos ? parent->IsUpdating() : container.IsUpdating();
        trace.push_back(call + (updating ? " updating" : ""));
    };
    container.SetDataAdapter(adapter.get());
    AddParent(1);
    container.Fill(nullptr);
    container.Update(nullptr);
    parent->Fill();
    parent->Refresh();
    parent->Update();
    EXPECT_EQ(trace, (std::vector<std::string>{"Fill(container) updating", "before", "Update(container)", "after",
                                               "Fill(table Parent) updating", "Refresh(table Parent) updating",
                                               "Update(table Parent)"}));

    // The default container refresh clears the data and fills again.
    trace.clear();
    container.Refresh(nullptr);
    EXPECT_EQ(trace, (std::vector<std::string>{"Refresh(container) updating", "Fill(container) updating"}));
    EXPECT_EQ(parent->RowCount(), 0);

    // A failing update reports OnUpdateFailed and passes the error on.
    trace.clear();
    adapter->Action = [&](const std::string& call) {
        trace.push_back(call);
        throw Exception("server gone");
    };
    ExpectKldError([&] { container.Update(nullptr); }, "server gone");
    EXPECT_EQ(trace, (std::vector<std::string>{"before", "Update(container)", "failed"}));

    // An adapter given to the call wins over the container's.
    KldRecordingAdapter other;
    container.Fill(&other);
    EXPECT_EQ(other.Calls, std::vector<std::string>{"Fill(container)"});

    adapter.reset();
    EXPECT_EQ(container.DataAdapter(), nullptr) << "a destroyed adapter is forgotten";
}

TEST_F(KldContainerTest, AssignCopiesStructureFlagsAndParameters)
{
    container.SetPersistentData(true);
    container.Params().AddParameter("P", cptInput, cdtInteger, 0)->Value = 4;
    AddParent(1);
    TKldDataContainer copy;
    TKldDataTable* old = copy.Tables().Add();
    old->SetName("Old");
    old->Columns().AddColumn("V", cdtInteger);
    copy.Assign(container);
    ASSERT_EQ(copy.Tables().Count(), 2);
    EXPECT_EQ(copy.Tables().Tables(0)->Name(), "Parent");
    EXPECT_EQ(copy.Tables().Get("Child")->ColumnCount(), 2);
    ASSERT_EQ(copy.Relations().Count(), 1);
    EXPECT_EQ(copy.Relations().Relations(0)->ParentColumnNames(), "Id");
    EXPECT_TRUE(copy.PersistentData());
    EXPECT_FALSE(copy.StoreDataInDfm());
    EXPECT_EQ(copy.GetParam("P").AsInteger(), 4);
    copy.SetActive(true);
    EXPECT_EQ(copy.Tables().Get("Parent")->RowCount(), 0) << "rows are not copied";
    EXPECT_EQ(copy.SavedData(), nullptr);
}

TEST_F(KldContainerTest, CleanupRelationsDropsDanglingOnes)
{
    TKldDataRelation* dangling = container.Relations().Add();
    dangling->SetName("Dangling");
    dangling->SetParentTableName("Gone");
    dangling->SetChildTableName("Child");
    container.CleanupRelations();
    ASSERT_EQ(container.Relations().Count(), 1);
    EXPECT_EQ(container.Relations().Relations(0), relation);
    container.SetActive(true);
    EXPECT_TRUE(relation->Prepared());
}

TEST(KldSchemaContainer, BuildsTheThreeSchemaTables)
{
    TKldDataContainer container;
    container.Tables().Add()->SetName("Earlier");
    InitSchemaContainer(&container);
    EXPECT_TRUE(container.Active());
    ASSERT_EQ(container.Tables().Count(), 3);
    struct Case
    {
        const char* Table;
        std::vector<std::string> Columns;
    };
    const Case cases[] = {
        {"Tables", {"Name:String:255"}},
        {"Columns",
         {"Name:String:255", "TableName:String:255", "ColumnType:Integer:4", "DataLength:Integer:4",
          "Required:Boolean:2"}},
        {"Relations",
         {"Name:String:255", "ChildTableName:String:255", "ChildColumnNames:String:255",
          "ParentTableName:String:255", "ParentColumnNames:String:255", "OwnRows:Integer:4"}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Table);
        TKldDataTable* table = container.Tables().Get(c.Table);
        std::vector<std::string> columns;
        for (int i = 0; i < table->ColumnCount(); ++i)
        {
            TKldDataColumn* column = table->Column(i);
            EXPECT_TRUE(column->Required());
            columns.push_back(column->Name() + ":" + column->DataTypeName() + ":" +
                              std::to_string(column->DataLength()));
        }
        EXPECT_EQ(columns, c.Columns);
    }
    ASSERT_EQ(container.Relations().Count(), 1);
    TKldDataRelation* r = container.Relations().Relations(0);
    EXPECT_EQ(r->Name(), "Table_Columns");
    EXPECT_EQ(r->ParentTableName() + "." + r->ParentColumnNames(), "Tables.Name");
    EXPECT_EQ(r->ChildTableName() + "." + r->ChildColumnNames(), "Columns.TableName");
    EXPECT_TRUE(r->OwnRows());
    EXPECT_EQ(r->DeleteAction(), draIgnore);
    EXPECT_EQ(r->UpdateAction(), draIgnore);
}

TEST_F(KldContainerTest, DumpShowsStatesValuesAndCopies)
{
    TKldDataRow* kept = AddParent(1, "say \"hi\"");
    TKldDataRow* changed = AddParent(2, "two");
    TKldDataRow* gone = AddParent(3, "three");
    parent->AcceptChanges();
    changed->SetValue(parent->Column(1), "TWO");
    gone->Delete();
    container.StartTransaction();
    kept->SetValue(parent->Column(1), "x");
    TKldDataRow* fresh = parent->New();
    fresh->SetValue(parent->Column(0), 4);
    parent->Insert(fresh);
    fresh->BeginEdit();
    EXPECT_EQ(Lines(container), (std::vector<std::string>{
                                    "<table name=\"Parent\" PhysicalRowCount=4 RowCount=3>",
                                    "<row updated>",
                                    "  \"1\", \"x\"",
                                    "  ORIG:\"1\", \"say \"\"hi\"\"\"",
                                    "  ROLLBACK:\"1\", \"say \"\"hi\"\"\"",
                                    "</row>",
                                    "<row updated>",
                                    "  \"2\", \"TWO\"",
                                    "  ORIG:\"2\", \"two\"",
                                    "</row>",
                                    "<row inserted editing>",
                                    "  \"4\", {NULL}",
                                    "</row>",
                                    "<row deleted>",
                                    "  \"3\", \"three\"",
                                    "</row>",
                                    "</table>",
                                    "<table name=\"Child\" PhysicalRowCount=0 RowCount=0>",
                                    "</table>",
                                }));
    fresh->CancelEdit();
    container.RollbackTransaction();
}

TEST_F(KldContainerTest, DumpDoesNotFetchPlaceholders)
{
    KldRecordingAdapter adapter;
    container.SetDataAdapter(&adapter);
    parent->InsertKey(Variant(9));
    std::vector<std::string> lines = Lines(container);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[1], "<row need_refresh inserted>");
    EXPECT_EQ(lines[2], "  \"9\", {NULL}");
    EXPECT_TRUE(adapter.Calls.empty());
    EXPECT_TRUE(parent->GetRow(0)->GetState(drsNeedRefresh));
}

TEST_F(KldContainerTest, PersistentDataKeepsRowsAcrossStructureChanges)
{
    struct Case
    {
        const char* Desc;
        bool Persistent;
        int Expected;
    };
    const Case cases[] = {{"kept", true, 2}, {"lost", false, 0}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        container.SetActive(true);
        container.Clear();
        container.SetPersistentData(c.Persistent);
        AddParent(1, "one");
        AddParent(2, "two");
        TKldDataColumn* added = parent->Columns().AddColumn("Added" + std::to_string(c.Persistent), cdtInteger);
        EXPECT_FALSE(container.Active());
        container.SetActive(true);
        ASSERT_EQ(parent->RowCount(), c.Expected);
        for (int i = 0; i < parent->RowCount(); ++i)
        {
            EXPECT_EQ(parent->GetRow(i)->GetAsString(parent->Column(1)), i == 0 ? "one" : "two");
            EXPECT_FALSE(parent->GetRow(i)->GetAssignedValue(added)) << "the new column is NULL";
        }
        EXPECT_EQ(container.SavedData(), nullptr);
    }
}

TEST_F(KldContainerTest, PersistentDataKeepsRowsWhenAColumnIsRemoved)
{
    container.SetActive(true);
    container.SetPersistentData(true);
    TKldDataColumn* extra = parent->Columns().AddColumn("Extra", cdtString);
    container.SetActive(true);
    AddParent(1, "one");
    parent->GetRow(0)->SetValue(extra, "gone");
    delete parent->Columns().Find("Name");
    EXPECT_FALSE(container.Active());
    container.SetActive(true);
    ASSERT_EQ(parent->ColumnCount(), 2);
    ASSERT_EQ(parent->RowCount(), 1);
    EXPECT_EQ(parent->GetRow(0)->GetAsString(parent->Column(0)), "1");
    EXPECT_EQ(parent->GetRow(0)->GetAsString(extra), "gone");
}

TEST_F(KldContainerTest, PersistentDataSurvivesARemovedTable)
{
    container.SetPersistentData(true);
    AddParent(1);
    AddChild(10, 1);
    delete relation;
    delete child; // the saved rows of Child have no table any more
    container.SetActive(true);
    EXPECT_EQ(parent->RowCount(), 1) << "the other tables are restored";
}

TEST_F(KldContainerTest, ForeignKeyCheckedOnInsertWhenTheKeyHoldsAValue)
{
    container.SetActive(false);
    relation->SetDeleteAction(draCascade); // makes the relation a constraint
    container.SetActive(true);
    AddParent(1);
    struct Case
    {
        const char* Desc;
        int Id;
        Variant ParentId;
        bool Fails;
    };
    const Case cases[] = {
        {"existing parent", 10, 1, false},
        {"missing parent", 11, 2, true},
        {"no parent", 12, Variant::Null(), false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Desc);
        if (c.Fails)
            ExpectKldError([&] { AddChild(c.Id, c.ParentId); },
                           "Related row not found in table \"Parent\" (relation: \"Parent_Child\")");
        else
            EXPECT_NO_THROW(AddChild(c.Id, c.ParentId));
    }
    EXPECT_EQ(child->RowCount(), 2);
    // A bulk load takes rows without checks.
    container.BeginUpdate();
    EXPECT_NO_THROW(AddChild(13, 99));
    container.EndUpdate();
    EXPECT_EQ(child->RowCount(), 3);
}

TEST(KldRelationDepth, CycleOfCascadingDeletesStops)
{
    TKldDataContainer container;
    TKldDataTable* table = container.Tables().Add();
    table->SetName("Node");
    table->Columns().AddColumn("Id", cdtInteger)->SetPrimaryKey(true);
    table->Columns().AddColumn("Next", cdtInteger);
    TKldDataRelation* relation = container.Relations().Add();
    relation->SetName("Node_Next");
    relation->SetParentTableName("Node");
    relation->SetChildTableName("Node");
    relation->SetParentColumnNames("Id");
    relation->SetChildColumnNames("Next");
    relation->SetDeleteAction(draCascade);
    container.SetActive(true);
    // 1 -> 2 -> 1: deleting either cascades to the other without end.
    container.BeginUpdate();
    for (int id : {1, 2})
    {
        TKldDataRow* row = table->New();
        row->SetValue(table->Column(0), id);
        row->SetValue(table->Column(1), 3 - id);
        table->Insert(row);
    }
    container.EndUpdate();
    ExpectKldError([&] { table->GetRow(0)->Delete(); },
                   "Relation actions nested deeper than 64 levels in table \"Node\"");
    EXPECT_EQ(table->RowCount(), 2) << "the failed cascade is rolled back";
    EXPECT_FALSE(container.InTransaction());

    // A chain that ends is followed to its end.
    container.Clear();
    container.BeginUpdate();
    for (int id = 1; id <= 30; ++id)
    {
        TKldDataRow* row = table->New();
        row->SetValue(table->Column(0), id);
        if (id > 1)
            row->SetValue(table->Column(1), id - 1);
        table->Insert(row);
    }
    container.EndUpdate();
    table->GetRow(0)->Delete();
    EXPECT_EQ(table->RowCount(), 0);
}

TEST_F(KldContainerTest, EventOrderOfCascadesAndRollbacks)
{
    container.SetActive(false);
    relation->SetDeleteAction(draCascade);
    relation->SetUpdateAction(draNullify);
    container.SetActive(true);
    TKldDataRow* p1 = AddParent(1);
    AddParent(2);
    TKldDataRow* c10 = AddChild(10, 1);
    TKldDataRow* c11 = AddChild(11, 2);
    TKldDataRow* c12 = AddChild(12, 1);
    log->Events.clear();

    // The children go first, in table order, then the parent.
    p1->Delete();
    ASSERT_EQ(log->Events.size(), 3u);
    EXPECT_EQ(log->Events[0], (std::pair<TObject*, TKldDataEventType>{c10, cdeRowDeleted}));
    EXPECT_EQ(log->Events[1], (std::pair<TObject*, TKldDataEventType>{c12, cdeRowDeleted}));
    EXPECT_EQ(log->Events[2], (std::pair<TObject*, TKldDataEventType>{p1, cdeRowDeleted}));

    // A nullified child is reported before its parent's update.
    log->Events.clear();
    TKldDataRow* p2 = parent->GetRow(0);
    p2->SetValue(parent->Column(0), 3);
    ASSERT_EQ(log->Events.size(), 2u);
    EXPECT_EQ(log->Events[0], (std::pair<TObject*, TKldDataEventType>{c11, cdeRowModified}));
    EXPECT_EQ(log->Events[1], (std::pair<TObject*, TKldDataEventType>{p2, cdeRowModified}));
    EXPECT_FALSE(c11->GetAssignedValue(child->Column(1)));

    // A rollback puts everything back and reports nothing.
    container.StartTransaction();
    AddParent(4);
    p2->Delete();
    log->Events.clear();
    container.RollbackTransaction();
    EXPECT_TRUE(log->Events.empty());
    EXPECT_EQ(parent->RowCount(), 1);
    EXPECT_EQ(parent->GetRow(0), p2);
    EXPECT_EQ(p2->GetValue(parent->Column(0)).AsInteger(), 3);
}
