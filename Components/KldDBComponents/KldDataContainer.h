#pragma once
// TKldDataContainer: the component that owns a set of engine tables and the
// relations between them. It activates and deactivates the whole structure at
// once, broadcasts change events, runs bulk updates and nested transactions,
// and hands row refreshes to an optional data adapter.
//
// The relation actions (foreign-key check, blocking test, cascade and
// nullify) run through CheckForeignKeys, RunReferencedKeyActions and
// IsDeleteBlocked, which the tables call while validating rows.

#include <memory>
#include <string>
#include <vector>

#include "Components/KldDBComponents/KldDataEvents.h"
#include "Components/KldDBComponents/KldDataRelation.h"
#include "Components/KldDBComponents/KldDataTable.h"
#include "Components/KldDBComponents/KldDataTypes.h"
#include "Components/KldDBComponents/KldParameters.h"
#include "platform/Component.h"

class TKldDataContainer;

// Observer of a container's events at design time; none at run time.
class TKldDataContainerDesigner : public TObject
{
public:
    // Attaches to `container`, replacing (and destroying) any earlier designer.
    explicit TKldDataContainerDesigner(TKldDataContainer* container);
    ~TKldDataContainerDesigner() override;
    std::string ClassName() const override { return "TKldDataContainerDesigner"; }

    TKldDataContainer* Container() const noexcept { return m_container; }
    virtual void NotifyEvent(TObject* sender, TKldDataEventType event) {}

private:
    friend class TKldDataContainer;
    TKldDataContainer* m_container;
};

// Fills, refreshes and updates a container from a data source. No adapter
// exists in the system; the engine only calls these.
class TKldDataAdapter : public TComponent
{
public:
    explicit TKldDataAdapter(TComponent* owner = nullptr) : TComponent(owner) {}
    std::string ClassName() const override { return "TKldDataAdapter"; }

    // Fetches the values of a placeholder row.
    virtual void RefreshRow(TKldDataRow* row) = 0;
};

class TKldDataContainer : public TComponent
{
public:
    explicit TKldDataContainer(TComponent* owner = nullptr);
    ~TKldDataContainer() override;
    std::string ClassName() const override { return "TKldDataContainer"; }

    TKldDataTables& Tables() noexcept { return *m_tables; }
    TKldDataRelations& Relations() noexcept { return *m_relations; }
    TKldParameters& Params() noexcept { return *m_params; }

    bool Active() const noexcept { return m_active; }
    void SetActive(bool value);

    void NotifyEvent(TObject* sender, TKldDataEventType event);

    virtual void BeginUpdate();
    virtual void EndUpdate();
    bool IsUpdating() const noexcept { return m_updateCount > 0; }

    void AcceptChanges();
    void RejectChanges();

    // --- Transactions ------------------------------------------------------------
    void StartTransaction();
    void CommitTransaction();
    void RollbackTransaction();
    bool InTransaction() const noexcept { return m_transactionDepth > 0; }
    void CheckNotInTransaction() const;
    // Lists a row once for rollback while a transaction is active.
    void AddRollbackRow(TKldDataRow* row);
    // Takes a destroyed row off the rollback list.
    void ForgetRollbackRow(const TKldDataRow* row) noexcept;

    // --- Adapter and calculated fields -----------------------------------------
    TKldDataAdapter* DataAdapter() const noexcept { return m_dataAdapter; }
    void SetDataAdapter(TKldDataAdapter* value);
    TKldDataAdapter* CheckDataAdapter(TKldDataAdapter* adapter) const;
    virtual void DoCalcFields(TKldDataRow* row);
    TKldCalcFieldsEvent OnCalcFields;

    // --- Relation checks called by the tables' validation -------------------------
    // Insert or update of a child row: its parent row must exist.
    virtual void CheckForeignKeys(TKldDataRow* row);
    // Update or delete of a parent row: the blocking test, then the update or
    // delete actions, inside a nested transaction.
    virtual void RunReferencedKeyActions(TKldDataRow* row, int operation);
    // A relation with delete action draError has related child rows.
    virtual bool IsDeleteBlocked(TKldDataRow* row);

    TKldDataContainerDesigner* Designer() const noexcept { return m_designer; }

protected:
    void Notification(TComponent* component, TOperation operation) override;

private:
    friend class TKldDataContainerDesigner;
    friend class TKldDataTables;
    friend class TKldDataRelations;

    void Prepare();
    void UnPrepare();

    TKldDataContainerDesigner* m_designer = nullptr; // owned
    std::unique_ptr<TKldDataTables> m_tables;
    std::unique_ptr<TKldDataRelations> m_relations;
    std::unique_ptr<TKldParameters> m_params;
    bool m_active = false;
    int m_updateCount = 0;
    TKldDataAdapter* m_dataAdapter = nullptr;
    bool m_deactivatedDuringUpdate = false;
    bool m_structureChangedDuringUpdate = false;
    std::vector<TKldDataRow*> m_rollbackRows;
    int m_transactionDepth = 0;
};
