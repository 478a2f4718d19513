#pragma once
// TKldDataContainer: the component that owns a set of engine tables and the
// relations between them. It activates and deactivates the whole structure at
// once, broadcasts change events to its designer and to the row sets open on
// it, runs bulk updates and nested transactions, keeps its rows across
// structure changes when asked (PersistentData), writes and reads itself as a
// stream, and hands fill, refresh, update and row refresh requests to an
// optional data adapter.
//
// The relation actions (foreign-key check, blocking test, cascade and
// nullify) run through CheckForeignKeys, RunReferencedKeyActions and
// IsDeleteBlocked, which the tables call while validating rows.

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "Components/KldDBComponents/KldDataEvents.h"
#include "Components/KldDBComponents/KldDataRelation.h"
#include "Components/KldDBComponents/KldDataTable.h"
#include "Components/KldDBComponents/KldDataTypes.h"
#include "Components/KldDBComponents/KldParameters.h"
#include "platform/Component.h"
#include "platform/Streams.h"

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

// Fills, refreshes and updates a container or one of its tables from a data
// source. No adapter exists in the system; the engine only calls these, and
// always passes nullptr as the options.
class TKldDataAdapter : public TComponent
{
public:
    explicit TKldDataAdapter(TComponent* owner = nullptr) : TComponent(owner) {}
    std::string ClassName() const override { return "TKldDataAdapter"; }

    virtual void Fill(TKldDataContainer* container) = 0;
    virtual void Update(TKldDataContainer* container) = 0;
    // Inside the container's bulk update: Clear of the container, then Fill.
    virtual void Refresh(TKldDataContainer* container);
    virtual void BeginUpdate() { ++m_updateCount; }
    virtual void EndUpdate() { --m_updateCount; }
    bool IsUpdating() const noexcept { return m_updateCount > 0; }
    virtual void Fill(TKldDataTable* table, void* options) = 0;
    virtual void Refresh(TKldDataTable* table) = 0;
    virtual void Update(TKldDataTable* table, void* options) = 0;
    // Fetches the values of a placeholder row.
    virtual void RefreshRow(TKldDataRow* row) = 0;

private:
    int m_updateCount = 0;
};

class TKldRowSet;
class TStream;
class TStrings;

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

    // --- Clearing ------------------------------------------------------------------
    // Inside a bulk update: every table's rows destroyed, saved data dropped.
    virtual void Clear();
    // When active: every table's rows destroyed, without events.
    void ClearData();
    // Inside a bulk update: deactivates and removes all tables and relations.
    virtual void ClearStructure();
    // Inside a bulk update: every live row deleted (to the deleted tails).
    void EmptyTables();
    // Destroys every relation whose parent or child table does not exist.
    void CleanupRelations();
    void Assign(const TPersistent& source) override;
    // Reads the stream with LoadFromStream.
    void Assign(TStream& source);

    // --- Cursors -------------------------------------------------------------------
    void CloseCursors();
    int CursorCount() const noexcept { return static_cast<int>(m_cursors.size()); }
    TKldRowSet* Cursor(int index) const { return m_cursors.at(static_cast<size_t>(index)); }
    void AddCursor(TKldRowSet* cursor);
    void RemoveCursor(TKldRowSet* cursor) noexcept;

    // --- Parameters ----------------------------------------------------------------
    Variant GetParam(const std::string& name) const;
    void SetParam(const std::string& name, const Variant& value);

    // --- Persistence (the stream format is in KldDataPersistence.cpp) ---------------
    bool PersistentData() const noexcept { return m_persistentData; }
    void SetPersistentData(bool value) { m_persistentData = value; }
    bool StoreDataInDfm() const noexcept { return m_storeDataInDfm; }
    void SetStoreDataInDfm(bool value) { m_storeDataInDfm = value; }
    // The rows kept while the container is inactive; nullptr when none.
    TMemoryStream* SavedData() const noexcept { return m_savedData.get(); }
    bool Loading() const noexcept { return m_loading; }
    bool Saving() const noexcept { return m_saving; }
    void SaveToStream(TStream& stream, bool withStructure, bool withData);
    void SaveToFile(const std::string& fileName, bool withStructure, bool withData);
    // Reads a stream written by SaveToStream. A stream that is malformed, or
    // names a table or column that is missing, raises EReadError (or the
    // engine's error) and leaves the container as it was.
    void LoadFromStream(TStream& stream);
    void LoadFromFile(const std::string& fileName);
    // The "Data" property: stored only when StoreDataInDfm is set.
    bool HasDataProperty() const noexcept { return m_storeDataInDfm; }
    void WriteData(TStream& stream);
    void ReadData(TStream& stream);

    // --- Transactions ------------------------------------------------------------
    void StartTransaction();
    void CommitTransaction();
    void RollbackTransaction();
    bool InTransaction() const noexcept { return m_transactionDepth > 0; }
    void CheckNotInTransaction() const;
    // Lists a row for rollback while a transaction is active; a row already
    // listed stays listed once.
    void AddRollbackRow(TKldDataRow* row);
    // Takes a destroyed row off the rollback list.
    void ForgetRollbackRow(const TKldDataRow* row) noexcept;

    // --- Adapter and calculated fields -----------------------------------------
    TKldDataAdapter* DataAdapter() const noexcept { return m_dataAdapter; }
    void SetDataAdapter(TKldDataAdapter* value);
    TKldDataAdapter* CheckDataAdapter(TKldDataAdapter* adapter) const;
    // Fill and Refresh run inside a bulk update; Update is framed by the
    // before/after events, and a failure reports OnUpdateFailed and is raised again.
    virtual void Fill(TKldDataAdapter* adapter);
    virtual void Update(TKldDataAdapter* adapter);
    virtual void Refresh(TKldDataAdapter* adapter);
    virtual void DoBeforeUpdate();
    virtual void DoAfterUpdate();
    virtual void DoOnUpdateFailed();
    virtual void DoCalcFields(TKldDataRow* row);
    TNotifyEvent OnBeforeUpdate;
    TNotifyEvent OnAfterUpdate;
    TNotifyEvent OnUpdateFailed;
    TKldCalcFieldsEvent OnCalcFields;

    // --- Relation checks called by the tables' validation -------------------------
    // Insert or update (KldValidate...) of a child row: its parent row must
    // exist when the child key holds a value (and, for an update, changed).
    virtual void CheckForeignKeys(TKldDataRow* row, int operation);
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
    bool HoldsLiveRows() const;
    // Loads without the load guard of LoadFromStream; `skipMissingTables` lets
    // saved data whose table went with a structure change restore the rest.
    void InternalLoad(TStream& stream, bool skipMissingTables);
    // The depth of nested relation actions: a cycle of cascades stops here.
    int m_actionDepth = 0;

    TKldDataContainerDesigner* m_designer = nullptr; // owned
    std::unique_ptr<TKldDataTables> m_tables;
    std::unique_ptr<TKldDataRelations> m_relations;
    std::unique_ptr<TKldParameters> m_params;
    bool m_active = false;
    int m_updateCount = 0;
    TKldDataAdapter* m_dataAdapter = nullptr;
    bool m_deactivatedDuringUpdate = false;
    bool m_structureChangedDuringUpdate = false;
    // Rows to roll back in the order they were listed; a row destroyed since
    // leaves a null entry, found through the index so that destroying many
    // rows inside a transaction stays linear.
    std::vector<TKldDataRow*> m_rollbackRows;
    std::unordered_map<const TKldDataRow*, size_t> m_rollbackIndex;
    void ClearRollbackRows() noexcept;
    std::vector<TKldDataRow*> TakeRollbackRows();
    int m_transactionDepth = 0;
    std::vector<TKldRowSet*> m_cursors;
    bool m_storeDataInDfm = false;
    bool m_persistentData = false;
    bool m_saving = false;
    bool m_loading = false;
    std::unique_ptr<TMemoryStream> m_savedData;
};

// Nested relation actions deeper than this raise instead of recursing further
// (a cycle of cascading deletes would otherwise never end).
constexpr int KldMaxRelationActionDepth = 64;

// Rebuilds the container's structure as the three schema tables "Tables",
// "Columns" and "Relations" with the relation "Table_Columns".
void InitSchemaContainer(TKldDataContainer* container);
// Appends a diagnostic dump of every table's rows, states and copies.
void DumpContainerState(TKldDataContainer* container, TStrings& lines);
