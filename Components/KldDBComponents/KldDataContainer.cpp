#include "Components/KldDBComponents/KldDataContainer.h"

#include <algorithm>
#include <set>

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
    m_rollbackRows.clear();
    m_transactionDepth = 0;
    SetActive(false);
    m_relations.reset();
    m_tables.reset();
    m_params.reset();
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
    NotifyEvent(this, cdeContainerActivated);
}

void TKldDataContainer::UnPrepare()
{
    if (!m_active)
        return;
    m_active = false;
    NotifyEvent(this, cdeContainerDeactivated);
    // Rows go with their tables: nothing is left to roll back.
    m_rollbackRows.clear();
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
        m_rollbackRows.clear();
    ++m_transactionDepth;
}

void TKldDataContainer::CommitTransaction()
{
    if (m_transactionDepth == 0)
        return;
    if (--m_transactionDepth > 0)
        return;
    std::vector<TKldDataRow*> rows = std::move(m_rollbackRows);
    m_rollbackRows.clear();
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
        (*it)->TransactionDiscardRollback();
}

void TKldDataContainer::RollbackTransaction()
{
    if (m_transactionDepth == 0)
        return;
    std::vector<TKldDataRow*> rows = std::move(m_rollbackRows);
    m_rollbackRows.clear();
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
    m_rollbackRows.push_back(row);
}

void TKldDataContainer::ForgetRollbackRow(const TKldDataRow* row) noexcept
{
    auto it = std::find(m_rollbackRows.begin(), m_rollbackRows.end(), row);
    if (it != m_rollbackRows.end())
        m_rollbackRows.erase(it);
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

void TKldDataContainer::CheckForeignKeys(TKldDataRow* row)
{
    for (int i = 0; i < m_relations->Count(); ++i)
    {
        TKldDataRelation* relation = m_relations->Relations(i);
        if (!relation->Prepared() || relation->ChildTable() != row->Table())
            continue;
        const TKldColumnArray& childColumns = relation->ChildColumns();
        if (!row->IsModified(childColumns) || !row->AssignedValues(childColumns))
            continue;
        if (!relation->ParentTable()->FindRow(row, relation->ParentColumns(), {}, childColumns))
            throw Exception(Format("Related row not found in table \"%s\" (relation: \"%s\")",
                                   relation->ParentTable()->Name(), relation->Name()));
    }
}

void TKldDataContainer::RunReferencedKeyActions(TKldDataRow* row, int operation)
{
    StartTransaction();
    try
    {
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
