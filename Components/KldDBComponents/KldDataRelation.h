#pragma once
// TKldDataRelation and TKldDataRelations: parent/child links between the
// tables of a container, with the actions taken when parent rows change or go.

#include <string>

#include "Components/KldDBComponents/KldDataCollection.h"
#include "Components/KldDBComponents/KldDataCompare.h"

class TKldDataContainer;
class TKldDataTable;

enum TKldDataRelationAction
{
    draIgnore,
    draError,
    draCascade,
    draNullify
};

enum TKldDataRelationType
{
    drtReference,
    drtOwner
};

class TKldDataRelation : public TKldDataCollectionItem
{
public:
    TKldDataRelation() = default;
    ~TKldDataRelation() override;
    std::string ClassName() const override { return "TKldDataRelation"; }

    TKldDataContainer* GetDataContainer() const;

    void SetName(const std::string& value) override;
    void Assign(const TPersistent& source) override;

    const std::string& ParentTableName() const noexcept { return m_parentTableName; }
    void SetParentTableName(const std::string& value);
    const std::string& ChildTableName() const noexcept { return m_childTableName; }
    void SetChildTableName(const std::string& value);
    const std::string& ParentColumnNames() const noexcept { return m_parentColumnNames; }
    void SetParentColumnNames(const std::string& value);
    const std::string& ChildColumnNames() const noexcept { return m_childColumnNames; }
    void SetChildColumnNames(const std::string& value);
    bool OwnRows() const noexcept { return m_ownRows; }
    void SetOwnRows(bool value) { m_ownRows = value; }
    TKldDataRelationAction DeleteAction() const noexcept { return m_deleteAction; }
    void SetDeleteAction(TKldDataRelationAction value) { m_deleteAction = value; }
    TKldDataRelationAction UpdateAction() const noexcept { return m_updateAction; }
    void SetUpdateAction(TKldDataRelationAction value) { m_updateAction = value; }

    void Prepare();
    void UnPrepare() noexcept;
    bool Prepared() const noexcept { return m_prepared; }
    TKldDataTable* ParentTable() const noexcept { return m_parentTable; }
    TKldDataTable* ChildTable() const noexcept { return m_childTable; }
    const TKldColumnArray& ParentColumns() const noexcept { return m_parentColumns; }
    const TKldColumnArray& ChildColumns() const noexcept { return m_childColumns; }

    // The delete action or the update action is not draIgnore.
    bool GetConstraintActive() const noexcept
    {
        return m_deleteAction != draIgnore || m_updateAction != draIgnore;
    }
    // Prepared, and the parent key is exactly the parent table's primary key.
    bool GetIdentifying() const;

private:
    void MakeContainerInactive();

    bool m_prepared = false;
    std::string m_parentColumnNames;
    std::string m_childColumnNames;
    std::string m_parentTableName;
    std::string m_childTableName;
    bool m_ownRows = false;
    TKldDataRelationAction m_deleteAction = draIgnore;
    TKldDataRelationAction m_updateAction = draIgnore;
    TKldDataTable* m_parentTable = nullptr;
    TKldDataTable* m_childTable = nullptr;
    TKldColumnArray m_parentColumns;
    TKldColumnArray m_childColumns;
};

class TKldDataRelations : public TKldDataCollection
{
public:
    explicit TKldDataRelations(TKldDataContainer* container);
    std::string ClassName() const override { return "TKldDataRelations"; }

    TKldDataContainer* GetDataContainer() const noexcept { return m_container; }
    TKldDataRelation* Relations(int index) const { return static_cast<TKldDataRelation*>(Items(index)); }
    TKldDataRelation* Add() { return static_cast<TKldDataRelation*>(TCollection::Add()); }
    TKldDataRelation* Find(const std::string& name) const
    {
        return static_cast<TKldDataRelation*>(TKldDataCollection::Find(name));
    }
    TKldDataRelation* Get(const std::string& name) const
    {
        return static_cast<TKldDataRelation*>(TKldDataCollection::Get(name));
    }

protected:
    void Notify(TCollectionItem* item, TCollectionNotification action) override;
    [[noreturn]] void NotFoundError(const std::string& name) const override;

private:
    TKldDataContainer* m_container;
};
