#include "Components/KldDBComponents/KldDataRelation.h"

#include "Components/KldDBComponents/KldDataContainer.h"
#include "Components/KldDBComponents/KldDataRowSet.h"
#include "Components/KldDBComponents/KldDataTable.h"
#include "platform/SysUtils.h"

TKldDataRelation::~TKldDataRelation()
{
    // Row sets keyed by this relation close: they must not keep it.
    if (TKldDataContainer* container = GetDataContainer())
    {
        for (int i = container->CursorCount() - 1; i >= 0; --i)
        {
            if (i < container->CursorCount() && container->Cursor(i)->Relation() == this)
                container->Cursor(i)->SetActive(false);
        }
    }
    MakeContainerInactive();
}

TKldDataContainer* TKldDataRelation::GetDataContainer() const
{
    auto* relations = dynamic_cast<TKldDataRelations*>(Collection());
    return relations ? relations->GetDataContainer() : nullptr;
}

void TKldDataRelation::MakeContainerInactive()
{
    if (TKldDataContainer* container = GetDataContainer())
        container->SetActive(false);
    UnPrepare();
}

void TKldDataRelation::SetName(const std::string& value)
{
    if (value == Name())
        return;
    std::string trimmed = Trim(value);
    if (trimmed.empty())
        throw Exception("Relation name should not be empty");
    if (auto* collection = DataCollection(); collection && !collection->IsUnique(trimmed, this))
        throw Exception(Format("Duplicate relation name: %s", trimmed));
    MakeContainerInactive();
    StoreName(value);
}

void TKldDataRelation::SetParentTableName(const std::string& value)
{
    if (value == m_parentTableName)
        return;
    MakeContainerInactive();
    m_parentTableName = value;
}

void TKldDataRelation::SetChildTableName(const std::string& value)
{
    if (value == m_childTableName)
        return;
    MakeContainerInactive();
    m_childTableName = value;
}

void TKldDataRelation::SetParentColumnNames(const std::string& value)
{
    if (value == m_parentColumnNames)
        return;
    MakeContainerInactive();
    m_parentColumnNames = value;
}

void TKldDataRelation::SetChildColumnNames(const std::string& value)
{
    if (value == m_childColumnNames)
        return;
    MakeContainerInactive();
    m_childColumnNames = value;
}

void TKldDataRelation::Assign(const TPersistent& source)
{
    auto* other = dynamic_cast<const TKldDataRelation*>(&source);
    if (!other)
    {
        TKldDataCollectionItem::Assign(source);
        return;
    }
    MakeContainerInactive();
    if (other->Name() != Name())
    {
        auto* collection = DataCollection();
        SetName(collection ? collection->GetAutoName(other->Name(), 0) : other->Name());
    }
    SetProps(other->Props());
    m_parentTableName = other->m_parentTableName;
    m_childTableName = other->m_childTableName;
    m_parentColumnNames = other->m_parentColumnNames;
    m_childColumnNames = other->m_childColumnNames;
    m_ownRows = other->m_ownRows;
    m_deleteAction = other->m_deleteAction;
    m_updateAction = other->m_updateAction;
}

void TKldDataRelation::Prepare()
{
    if (m_prepared)
        return;
    m_prepared = true;
    try
    {
        TKldDataContainer* container = GetDataContainer();
        if (!container)
            throw Exception(Format("Table not found: %s", m_parentTableName));
        m_parentTable = container->Tables().Get(m_parentTableName);
        m_childTable = container->Tables().Get(m_childTableName);
        m_parentColumns = m_parentTable->Columns().GetColumnArray(m_parentColumnNames);
        m_childColumns = m_childTable->Columns().GetColumnArray(m_childColumnNames);
        if (m_parentColumns.size() != m_childColumns.size())
            throw Exception(Format("Invalid relation definition: %s", Name()));
    }
    catch (...)
    {
        UnPrepare();
        throw;
    }
}

void TKldDataRelation::UnPrepare() noexcept
{
    m_parentTable = nullptr;
    m_childTable = nullptr;
    m_parentColumns.clear();
    m_childColumns.clear();
    m_prepared = false;
}

bool TKldDataRelation::GetIdentifying() const
{
    return m_prepared && m_parentTable && m_parentColumns == m_parentTable->PKColumns();
}

TKldDataRelations::TKldDataRelations(TKldDataContainer* container)
    : TKldDataCollection(container, CollectionItemClass<TKldDataRelation>()), m_container(container)
{
}

void TKldDataRelations::Notify(TCollectionItem* item, TCollectionNotification action)
{
    TKldDataCollection::Notify(item, action);
    if (m_container)
    {
        m_container->SetActive(false);
        m_container->NotifyEvent(m_container, cdeRelationListChanged);
    }
}

void TKldDataRelations::NotFoundError(const std::string& name) const
{
    throw Exception(Format("Data relation not found: %s", name));
}
