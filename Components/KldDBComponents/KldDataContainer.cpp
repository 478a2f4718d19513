#include "Components/KldDBComponents/KldDataContainer.h"

#include <algorithm>
#include <set>

#include "Components/KldDBComponents/KldDataRowSet.h"
#include "platform/StringList.h"
#include "platform/SysUtils.h"

// --- TKldDataContainerDesigner ---------------------------------------------------

TKldDataContainerDesigner::TKldDataContainerDesigner(TKldDataContainer* container) : m_container(container)
{
    if (!container)
        return;
    TKldDataContainerDesigner* earlier = container->m_designer;
    container->m_designer = this;
    if (earlier)
    {
        earlier->m_container = nullptr;
        delete earlier;
    }
}

TKldDataContainerDesigner::~TKldDataContainerDesigner()
{
    if (m_container && m_container->m_designer == this)
        m_container->m_designer = nullptr;
}

// --- TKldDataContainer -------------------------------------------------------------

TKldDataContainer::TKldDataContainer(TComponent* owner)
    : TComponent(owner), m_tables(std::make_unique<TKldDataTables>(this)),
      m_relations(std::make_unique<TKldDataRelations>(this)), m_params(std::make_unique<TKldParameters>(this))
{
}

TKldDataContainer::~TKldDataContainer()
{
    if (m_designer)
    {
        TKldDataContainerDesigner* designer = m_designer;
        designer->m_container = nullptr;
        m_designer = nullptr;
        delete designer;
    }
    SetDataAdapter(nullptr);
    Destroying();
    CloseCursors();
    // Nothing is worth saving any more.
    m_storeDataInDfm = false;
    m_persistentData = false;
    ClearRollbackRows();
    m_transactionDepth = 0;
    SetActive(false);
    m_relations.reset();
    m_tables.reset();
    m_params.reset();
    m_savedData.reset();
}

void TKldDataContainer::SetActive(bool value)
{
    if (value)
        Prepare();
    else
        UnPrepare();
}

void TKldDataContainer::Prepare()
{
    if (m_active)
        return;
    m_active = true;
    try
    {
        for (int i = 0; i < m_relations->Count(); ++i)
            m_relations->Relations(i)->Prepare();
        for (int i = 0; i < m_tables->Count(); ++i)
            m_tables->Tables(i)->Prepare();
    }
    catch (...)
    {
        UnPrepare();
        throw;
    }
    if (m_savedData && !m_loading)
    {
        std::unique_ptr<TMemoryStream> saved = std::move(m_savedData);
        try
        {
            saved->SetPosition(0);
            InternalLoad(*saved, true);
        }
        catch (const Exception&)
        {
            // Rows that no longer fit the structure are given up.
        }
    }
    m_savedData.reset();
    NotifyEvent(this, cdeContainerActivated);
}

void TKldDataContainer::UnPrepare()
{
    if (!m_active)
        return;
    if (!m_loading && (m_storeDataInDfm || m_persistentData) && HoldsLiveRows())
    {
        auto saved = std::make_unique<TMemoryStream>();
        SaveToStream(*saved, false, true);
        m_savedData = std::move(saved);
    }
    m_active = false;
    NotifyEvent(this, cdeContainerDeactivated);
    // Rows go with their tables: nothing is left to roll back.
    ClearRollbackRows();
    m_transactionDepth = 0;
    if (m_relations)
    {
        for (int i = 0; i < m_relations->Count(); ++i)
            m_relations->Relations(i)->UnPrepare();
    }
    if (m_tables)
    {
        for (int i = 0; i < m_tables->Count(); ++i)
            m_tables->Tables(i)->UnPrepare();
    }
}

void TKldDataContainer::NotifyEvent(TObject* sender, TKldDataEventType event)
{
    if (IsUpdating())
    {
        if (event == cdeContainerDeactivated && !m_deactivatedDuringUpdate)
        {
            m_deactivatedDuringUpdate = true;
        }
        else
        {
            if (event == cdeTableListChanged || event == cdeRelationListChanged || event == cdeTableChanged ||
                event == cdeColumnListChanged)
                m_structureChangedDuringUpdate = true;
            return;
        }
    }
    if (m_designer)
        m_designer->NotifyEvent(sender, event);
    // A cursor may close itself (and leave the list) while it is told.
    size_t i = 0;
    while (i < m_cursors.size())
    {
        TKldRowSet* cursor = m_cursors[i];
        cursor->DoNotify(sender, event);
        if (i < m_cursors.size() && m_cursors[i] == cursor)
            ++i;
    }
}

bool TKldDataContainer::HoldsLiveRows() const
{
    for (int i = 0; i < m_tables->Count(); ++i)
    {
        TKldDataTable* table = m_tables->Tables(i);
        if (table->Prepared() && table->RowCount() > 0)
            return true;
    }
    return false;
}

// --- Clearing -------------------------------------------------------------------------------

namespace
{

// Runs `body` inside the container's bulk update, ending it also on failure.
template <class F>
void InBulkUpdate(TKldDataContainer& container, F&& body)
{
    container.BeginUpdate();
    try
    {
        body();
    }
    catch (...)
    {
        container.EndUpdate();
        throw;
    }
    container.EndUpdate();
}

} // namespace

void TKldDataContainer::Clear()
{
    InBulkUpdate(*this, [&] {
        ClearData();
        m_savedData.reset();
    });
}

void TKldDataContainer::ClearData()
{
    if (!m_active)
        return;
    for (int i = 0; i < m_tables->Count(); ++i)
        m_tables->Tables(i)->ClearData();
}

void TKldDataContainer::ClearStructure()
{
    InBulkUpdate(*this, [&] {
        SetActive(false);
        m_relations->Clear();
        m_tables->Clear();
    });
}

void TKldDataContainer::EmptyTables()
{
    InBulkUpdate(*this, [&] {
        for (int i = 0; i < m_tables->Count(); ++i)
            m_tables->Tables(i)->EmptyTable();
    });
}

void TKldDataContainer::CleanupRelations()
{
    int i = 0;
    while (i < m_relations->Count())
    {
        TKldDataRelation* relation = m_relations->Relations(i);
        if (!m_tables->Find(relation->ParentTableName()) || !m_tables->Find(relation->ChildTableName()))
        {
            SetActive(false);
            delete relation;
        }
        else
        {
            ++i;
        }
    }
}

void TKldDataContainer::Assign(const TPersistent& source)
{
    auto* other = dynamic_cast<const TKldDataContainer*>(&source);
    if (!other)
    {
        TComponent::Assign(source);
        return;
    }
    if (other == this)
        return;
    bool wasLoading = m_loading;
    m_loading = true;
    try
    {
        Clear();
        SetActive(false);
        ClearStructure();
        m_tables->Assign(*other->m_tables);
        m_relations->Assign(*other->m_relations);
        m_persistentData = other->m_persistentData;
        m_storeDataInDfm = other->m_storeDataInDfm;
        m_params->Assign(*other->m_params);
    }
    catch (...)
    {
        m_loading = wasLoading;
        throw;
    }
    m_loading = wasLoading;
}

void TKldDataContainer::Assign(TStream& source)
{
    LoadFromStream(source);
}

// --- Cursors -----------------------------------------------------------------------------------

void TKldDataContainer::CloseCursors()
{
    while (!m_cursors.empty())
    {
        TKldRowSet* cursor = m_cursors.back();
        cursor->SetActive(false);
        // A cursor that failed to leave is dropped all the same.
        if (!m_cursors.empty() && m_cursors.back() == cursor)
            m_cursors.pop_back();
    }
}

void TKldDataContainer::AddCursor(TKldRowSet* cursor)
{
    if (std::find(m_cursors.begin(), m_cursors.end(), cursor) == m_cursors.end())
        m_cursors.push_back(cursor);
}

void TKldDataContainer::RemoveCursor(TKldRowSet* cursor) noexcept
{
    auto it = std::find(m_cursors.begin(), m_cursors.end(), cursor);
    if (it != m_cursors.end())
        m_cursors.erase(it);
}

// --- Parameters -----------------------------------------------------------------------------

Variant TKldDataContainer::GetParam(const std::string& name) const
{
    return m_params->Get(name)->Value;
}

void TKldDataContainer::SetParam(const std::string& name, const Variant& value)
{
    m_params->Get(name)->Value = value;
}

void TKldDataContainer::BeginUpdate()
{
    if (m_updateCount == 0)
    {
        m_deactivatedDuringUpdate = false;
        m_structureChangedDuringUpdate = false;
    }
    ++m_updateCount;
}

void TKldDataContainer::EndUpdate()
{
    KLD_ASSERT("KldData", m_updateCount > 0);
    if (--m_updateCount > 0)
        return;
    bool structureChanged = m_structureChangedDuringUpdate;
    bool reactivated = m_deactivatedDuringUpdate && m_active;
    m_deactivatedDuringUpdate = false;
    m_structureChangedDuringUpdate = false;
    if (structureChanged)
        NotifyEvent(this, cdeContainerChanged);
    if (reactivated)
        NotifyEvent(this, cdeContainerActivated);
    NotifyEvent(this, cdeContainerDataChanged);
}

void TKldDataContainer::AcceptChanges()
{
    CheckNotInTransaction();
    for (int i = 0; i < m_tables->Count(); ++i)
        m_tables->Tables(i)->AcceptChanges();
}

void TKldDataContainer::RejectChanges()
{
    CheckNotInTransaction();
    BeginUpdate();
    try
    {
        for (int i = 0; i < m_tables->Count(); ++i)
            m_tables->Tables(i)->RejectChanges();
    }
    catch (...)
    {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

// --- Transactions -------------------------------------------------------------------

void TKldDataContainer::StartTransaction()
{
    if (m_transactionDepth == 0)
        ClearRollbackRows();
    ++m_transactionDepth;
}

void TKldDataContainer::CommitTransaction()
{
    if (m_transactionDepth == 0)
        return;
    if (--m_transactionDepth > 0)
        return;
    std::vector<TKldDataRow*> rows = TakeRollbackRows();
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
        (*it)->TransactionDiscardRollback();
}

void TKldDataContainer::RollbackTransaction()
{
    if (m_transactionDepth == 0)
        return;
    // Rows come back and go without events; the tables take the rows they
    // destroy out of the cursors' lists.
    std::vector<TKldDataRow*> rows = TakeRollbackRows();
    m_transactionDepth = 0;
    std::set<TKldDataTable*> tables;
    for (TKldDataRow* row : rows)
        tables.insert(row->Table());
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
        (*it)->TransactionRollback();
    // Keys written inside the transaction moved their rows; with the old keys
    // back, key order is restored.
    for (TKldDataTable* table : tables)
    {
        if (table->Prepared())
            table->Sort();
    }
}

void TKldDataContainer::CheckNotInTransaction() const
{
    if (InTransaction())
        throw Exception("Unable to perform this operation within active transaction");
}

void TKldDataContainer::AddRollbackRow(TKldDataRow* row)
{
    // Listed once: a second entry would be rolled back twice, the second
    // time as if inserted, and would outlive the row when it is destroyed.
    if (!row || m_rollbackIndex.count(row) > 0)
        return;
    m_rollbackRows.push_back(row);
    try
    {
        m_rollbackIndex[row] = m_rollbackRows.size() - 1;
    }
    catch (...)
    {
        m_rollbackRows.pop_back();
        throw;
    }
}

void TKldDataContainer::ForgetRollbackRow(const TKldDataRow* row) noexcept
{
    auto it = m_rollbackIndex.find(row);
    if (it == m_rollbackIndex.end())
        return;
    m_rollbackRows[it->second] = nullptr;
    m_rollbackIndex.erase(it);
}

void TKldDataContainer::ClearRollbackRows() noexcept
{
    m_rollbackRows.clear();
    m_rollbackIndex.clear();
}

std::vector<TKldDataRow*> TKldDataContainer::TakeRollbackRows()
{
    std::vector<TKldDataRow*> rows;
    rows.reserve(m_rollbackIndex.size());
    for (TKldDataRow* row : m_rollbackRows)
    {
        if (row)
            rows.push_back(row);
    }
    ClearRollbackRows();
    return rows;
}

// --- Adapter and calculated fields --------------------------------------------------

void TKldDataContainer::SetDataAdapter(TKldDataAdapter* value)
{
    if (value == m_dataAdapter)
        return;
    if (m_dataAdapter)
        RemoveFreeNotification(m_dataAdapter);
    m_dataAdapter = value;
    if (value)
        FreeNotification(value);
}

void TKldDataContainer::Notification(TComponent* component, TOperation operation)
{
    TComponent::Notification(component, operation);
    if (operation == opRemove && component == m_dataAdapter)
        m_dataAdapter = nullptr;
}

TKldDataAdapter* TKldDataContainer::CheckDataAdapter(TKldDataAdapter* adapter) const
{
    if (adapter)
        return adapter;
    if (!m_dataAdapter)
        throw Exception("Unable to preform this operation. Data adapter is not assigned");
    return m_dataAdapter;
}

void TKldDataContainer::Fill(TKldDataAdapter* adapter)
{
    TKldDataAdapter* used = CheckDataAdapter(adapter);
    InBulkUpdate(*this, [&] { used->Fill(this); });
}

void TKldDataContainer::Refresh(TKldDataAdapter* adapter)
{
    TKldDataAdapter* used = CheckDataAdapter(adapter);
    InBulkUpdate(*this, [&] { used->Refresh(this); });
}

void TKldDataContainer::Update(TKldDataAdapter* adapter)
{
    TKldDataAdapter* used = CheckDataAdapter(adapter);
    try
    {
        DoBeforeUpdate();
        used->Update(this);
        DoAfterUpdate();
    }
    catch (...)
    {
        DoOnUpdateFailed();
        throw;
    }
}

void TKldDataContainer::DoBeforeUpdate()
{
    if (OnBeforeUpdate)
        OnBeforeUpdate(this);
}

void TKldDataContainer::DoAfterUpdate()
{
    if (OnAfterUpdate)
        OnAfterUpdate(this);
}

void TKldDataContainer::DoOnUpdateFailed()
{
    if (OnUpdateFailed)
        OnUpdateFailed(this);
}

void TKldDataAdapter::Refresh(TKldDataContainer* container)
{
    InBulkUpdate(*container, [&] {
        container->Clear();
        Fill(container);
    });
}

void TKldDataContainer::DoCalcFields(TKldDataRow* row)
{
    if (OnCalcFields)
        OnCalcFields(this, row);
}

// --- Relation checks ------------------------------------------------------------------

namespace
{

// A key holding a NULL relates to no row: NULL child keys are not children of
// a parent whose key is (or was) NULL.
bool KeyHasNull(const TKldDataRow* row, const TKldColumnArray& columns)
{
    for (const TKldDataColumn* column : columns)
    {
        if (!row->ValuePtr(column))
            return true;
    }
    return false;
}

bool Related(const TKldDataRow* parentKey, const TKldColumnArray& parentColumns, const TKldDataRow* child,
             const TKldColumnArray& childColumns)
{
    return CompareRows(parentKey, child, parentColumns, {}, childColumns) == 0;
}

// The relations whose parent table is `table`, prepared, with a known child table.
std::vector<TKldDataRelation*> ParentRelations(TKldDataRelations& relations, const TKldDataTable* table)
{
    std::vector<TKldDataRelation*> result;
    for (int i = 0; i < relations.Count(); ++i)
    {
        TKldDataRelation* relation = relations.Relations(i);
        if (relation->Prepared() && relation->ParentTable() == table && relation->ChildTable())
            result.push_back(relation);
    }
    return result;
}

// The parent key that children refer to: before the edit for an update, the
// row's own values for a delete. Null when there is none.
const TKldDataRow* ParentKeyRow(const TKldDataRow* row, int operation)
{
    return operation == KldValidateUpdate ? row->EditRow() : row;
}

TKldDataRelation* BlockingRelation(TKldDataRelations& relations, TKldDataRow* row, int operation)
{
    const TKldDataRow* key = ParentKeyRow(row, operation);
    for (TKldDataRelation* relation : ParentRelations(relations, row->Table()))
    {
        TKldDataRelationAction action =
            operation == KldValidateUpdate ? relation->UpdateAction() : relation->DeleteAction();
        if (action != draError)
            continue;
        if (operation == KldValidateUpdate && !row->IsModified(relation->ParentColumns()))
            continue;
        if (!key || KeyHasNull(key, relation->ParentColumns()))
            continue;
        TKldDataTable* child = relation->ChildTable();
        for (int i = 0; i < child->RowCount(); ++i)
        {
            if (Related(key, relation->ParentColumns(), child->GetRow(i), relation->ChildColumns()))
                return relation;
        }
    }
    return nullptr;
}

// Every live child row, after checking that none of them is being edited.
std::vector<TKldDataRow*> RelatedChildren(TKldDataRelation* relation, const TKldDataRow* key)
{
    TKldDataTable* child = relation->ChildTable();
    std::vector<TKldDataRow*> related;
    for (int i = 0; i < child->RowCount(); ++i)
    {
        TKldDataRow* candidate = child->GetRow(i);
        if (candidate->GetState(drsEditing))
            throw Exception("Row is already being edited");
        if (key && !KeyHasNull(key, relation->ParentColumns()) &&
            Related(key, relation->ParentColumns(), candidate, relation->ChildColumns()))
            related.push_back(candidate);
    }
    return related;
}

} // namespace

void TKldDataContainer::CheckForeignKeys(TKldDataRow* row, int operation)
{
    for (int i = 0; i < m_relations->Count(); ++i)
    {
        TKldDataRelation* relation = m_relations->Relations(i);
        if (!relation->Prepared() || relation->ChildTable() != row->Table())
            continue;
        const TKldColumnArray& childColumns = relation->ChildColumns();
        // A new row has no edit copy to compare with: its key is checked
        // whenever it holds a value.
        if (operation != KldValidateInsert && !row->IsModified(childColumns))
            continue;
        if (!row->AssignedValues(childColumns))
            continue;
        if (!relation->ParentTable()->FindRow(row, relation->ParentColumns(), {}, childColumns))
            throw Exception(Format("Related row not found in table \"%s\" (relation: \"%s\")",
                                   relation->ParentTable()->Name(), relation->Name()));
    }
}

void TKldDataContainer::RunReferencedKeyActions(TKldDataRow* row, int operation)
{
    struct DepthGuard
    {
        int& Depth;
        explicit DepthGuard(int& depth) : Depth(depth) { ++Depth; }
        ~DepthGuard() { --Depth; }
    } guard(m_actionDepth);
    StartTransaction();
    try
    {
        if (m_actionDepth > KldMaxRelationActionDepth)
            throw Exception(Format("Relation actions nested deeper than %d levels in table \"%s\"",
                                   KldMaxRelationActionDepth, row->Table()->Name()));
        if (TKldDataRelation* blocking = BlockingRelation(*m_relations, row, operation))
        {
            const char* text = operation == KldValidateUpdate
                                   ? "Unable to update row. It has related rows in table \"%s\" (relation \"%s\")"
                                   : "Unable to delete row. It has related rows in table \"%s\" (relation \"%s\")";
            throw Exception(Format(text, blocking->ChildTable()->Name(), blocking->Name()));
        }
        const TKldDataRow* key = ParentKeyRow(row, operation);
        for (TKldDataRelation* relation : ParentRelations(*m_relations, row->Table()))
        {
            TKldDataRelationAction action =
                operation == KldValidateUpdate ? relation->UpdateAction() : relation->DeleteAction();
            if (action != draCascade && action != draNullify)
                continue;
            if (operation == KldValidateUpdate && !row->IsModified(relation->ParentColumns()))
                continue;
            Variant newKey = action == draCascade && operation == KldValidateUpdate
                                 ? row->GetValues(relation->ParentColumns())
                                 : relation->ParentTable()->NullRow()->GetValues(relation->ParentColumns());
            for (TKldDataRow* child : RelatedChildren(relation, key))
            {
                // An earlier cascade may have deleted it already.
                if (child->GetState(drsDeleted) || !child->GetState(drsStored))
                    continue;
                if (operation == KldValidateDelete && action == draCascade)
                    child->Delete();
                else
                    child->SetValues(relation->ChildColumns(), newKey);
            }
        }
        CommitTransaction();
    }
    catch (...)
    {
        RollbackTransaction();
        throw;
    }
}

bool TKldDataContainer::IsDeleteBlocked(TKldDataRow* row)
{
    return BlockingRelation(*m_relations, row, KldValidateDelete) != nullptr;
}

// --- Schema container and state dump ----------------------------------------------------

void InitSchemaContainer(TKldDataContainer* container)
{
    KLD_ASSERT("KldData", container != nullptr);
    auto addColumn = [](TKldDataTable* table, const char* name, TKldDataType type) {
        table->Columns().AddColumn(name, type, type == cdtString ? 255 : -1, true);
    };
    container->BeginUpdate();
    try
    {
        container->ClearStructure();
        TKldDataTable* tables = container->Tables().Add();
        tables->SetName("Tables");
        addColumn(tables, "Name", cdtString);

        TKldDataTable* columns = container->Tables().Add();
        columns->SetName("Columns");
        addColumn(columns, "Name", cdtString);
        addColumn(columns, "TableName", cdtString);
        addColumn(columns, "ColumnType", cdtInteger);
        addColumn(columns, "DataLength", cdtInteger);
        addColumn(columns, "Required", cdtBoolean);

        TKldDataTable* relations = container->Tables().Add();
        relations->SetName("Relations");
        for (const char* name : {"Name", "ChildTableName", "ChildColumnNames", "ParentTableName", "ParentColumnNames"})
            addColumn(relations, name, cdtString);
        addColumn(relations, "OwnRows", cdtInteger);

        TKldDataRelation* relation = container->Relations().Add();
        relation->SetName("Table_Columns");
        relation->SetParentTableName("Tables");
        relation->SetChildTableName("Columns");
        relation->SetParentColumnNames("Name");
        relation->SetChildColumnNames("TableName");
        relation->SetOwnRows(true);
        relation->SetDeleteAction(draIgnore);
        relation->SetUpdateAction(draIgnore);
    }
    catch (...)
    {
        container->EndUpdate();
        container->SetActive(true);
        throw;
    }
    container->EndUpdate();
    container->SetActive(true);
}

namespace
{

std::string QuotedValues(TKldDataRow* row, bool nullMarks)
{
    TKldDataTable* table = row->Table();
    std::string line;
    for (int i = 0; i < table->ColumnCount(); ++i)
    {
        TKldDataColumn* column = table->Column(i);
        if (i > 0)
            line += ", ";
        if (nullMarks && !row->ValuePtr(column))
            line += "{NULL}";
        else
            line += AnsiQuotedStr(row->GetAsString(column), '"');
    }
    return line;
}

} // namespace

void DumpContainerState(TKldDataContainer* container, TStrings& lines)
{
    KLD_ASSERT("KldData", container != nullptr);
    for (int t = 0; t < container->Tables().Count(); ++t)
    {
        TKldDataTable* table = container->Tables().Tables(t);
        lines.Add(Format("<table name=\"%s\" PhysicalRowCount=%d RowCount=%d>", table->Name(),
                         table->PhysicalRowCount(), table->RowCount()));
        for (int r = 0; r < table->PhysicalRowCount(); ++r)
        {
            TKldDataRow* row = table->GetRow(r);
            // Reading a placeholder's values would fetch them: the dump shows
            // what the row holds.
            bool needRefresh = row->GetState(drsNeedRefresh);
            row->SetState(drsNeedRefresh, false);
            std::string head = "<row";
            if (needRefresh)
                head += " need_refresh";
            if (row->GetState(drsDeleted))
                head += " deleted";
            if (row->GetState(drsInserted))
                head += " inserted";
            if (row->GetState(drsUpdated))
                head += " updated";
            if (row->GetState(drsEditing))
                head += " editing";
            lines.Add(head + ">");
            try
            {
                lines.Add("  " + QuotedValues(row, true));
                if (row->GetState(drsUpdated))
                    lines.Add("  ORIG:" + QuotedValues(row->OriginalRow() ? row->OriginalRow() : row, false));
                if (TKldDataRow* rollback = row->RollbackRow())
                    lines.Add("  ROLLBACK:" + QuotedValues(rollback, false));
            }
            catch (...)
            {
                row->SetState(drsNeedRefresh, needRefresh);
                throw;
            }
            row->SetState(drsNeedRefresh, needRefresh);
            lines.Add("</row>");
        }
        lines.Add("</table>");
    }
}
