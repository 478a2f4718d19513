#pragma once
// TKldDataTable and TKldDataTables: named tables of a data container. A table
// holds typed columns and owns its rows: live rows first, in primary-key order
// when a key is defined, then the deleted rows at the tail until changes are
// accepted. It checks required columns, keys and relations when rows are
// inserted, updated or deleted, and reports row and structure changes to the
// container.

#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "Components/KldDBComponents/KldDataCollection.h"
#include "Components/KldDBComponents/KldDataColumn.h"
#include "Components/KldDBComponents/KldDataEvents.h"
#include "Components/KldDBComponents/KldDataRow.h"
#include "Components/KldDBComponents/KldDataRowList.h"
#include "Components/KldDBComponents/KldDataRowPool.h"
#include "Components/KldDBComponents/KldDataTableIds.h"

class TKldDataContainer;
class TKldDataAdapter;

enum TKldDataTableValidation
{
    dtvRequiredColumns,
    dtvPrimaryKey,
    dtvForeignKeys,
    dtvReferencedKeys,
    dtvCalcFields
};
using TKldDataTableValidations = KldSet<TKldDataTableValidation, uint8_t>;

// Operations that ValidateRow checks.
constexpr int KldValidateInsert = 0;
constexpr int KldValidateUpdate = 1;
constexpr int KldValidateDelete = 2;

class TKldDataTable : public TKldDataCollectionItem
{
public:
    TKldDataTable();
    ~TKldDataTable() override;
    std::string ClassName() const override { return "TKldDataTable"; }

    TKldDataContainer* GetDataContainer() const;

    void SetName(const std::string& value) override;
    void Assign(const TPersistent& source) override;

    TKldDataColumns& Columns() noexcept { return *m_columns; }
    const TKldDataColumns& Columns() const noexcept { return *m_columns; }
    TKldDataColumns& DataColumns() noexcept { return *m_columns; }
    void SetColumns(const TKldDataColumns& value);
    int ColumnCount() const { return m_columns->Count(); }
    TKldDataColumn* Column(int index) const { return m_columns->Columns(index); }

    // --- Rows ------------------------------------------------------------------
    // A new, unattached row of this table (the table is prepared first).
    virtual TKldDataRow* NewRow();
    // A new row with room for at least `textBytes` of inline texts.
    TKldDataRow* NewRowWithTextRoom(size_t textBytes);
    // NewRow filled with the default row's values.
    TKldDataRow* New();
    TKldDataRow* Insert(TKldDataRow* row, int index = -1);
    void InsertRow(TKldDataRow* row, int position, int index);
    TKldDataRow* InsertKey(const Variant& values);
    void UpdateRow(TKldDataRow* row);
    void Delete(TKldDataRow* row);
    TKldDataRow* UnDeleteRow(TKldDataRow* row);
    void DeleteRow(TKldDataRow* row);
    bool CanDeleteRow(TKldDataRow* row);
    void MoveRow(int curIndex, int newIndex);
    void EmptyTable();
    void Clear();
    void ClearData();

    TKldDataRow* GetRow(int index) const { return m_rows.Get(index); }
    TKldDataRow* Rows(int index) const { return m_rows.Get(index); }
    int RowCount() const noexcept { return m_rows.Count() - m_deletedCount; }
    int GetRowCount() const noexcept { return RowCount(); }
    int PhysicalRowCount() const noexcept { return m_rows.Count(); }
    int GetPhysicalRowCount() const noexcept { return PhysicalRowCount(); }
    int DeletedCount() const noexcept { return m_deletedCount; }
    int IndexOfRow(const TKldDataRow* row) const;

    // --- Searching ---------------------------------------------------------------
    TKldDataRow* FindRow(const TKldDataRow* row);
    TKldDataRow* FindRow(const TKldDataRow* row, const TKldColumnArray& columns, TKldCompareOptions options);
    TKldDataRow* FindRow(const TKldDataRow* row, const TKldColumnArray& columns, TKldCompareOptions options,
                         const TKldColumnArray& rowColumns);
    TKldDataRow* Locate(const std::string& keyColumns, const Variant& values, TKldCompareOptions options);
    bool FindRowPos(const TKldDataRow* row, int& position) const;
    bool UpdateRowPos(TKldDataRow* row);
    void Sort();

    // --- Structure ---------------------------------------------------------------
    virtual void Prepare();
    virtual void UnPrepare();
    bool Prepared() const noexcept { return m_prepared; }
    void CheckPrepared() const;
    void CheckUnPrepared() const;
    bool GetPKExists() const noexcept { return !m_pkColumns.empty(); }
    bool HasPKColumns() const;
    bool HasOwnerTable() const;
    const TKldColumnArray& PKColumns() const noexcept { return m_pkColumns; }
    TKldDataTableValidations Validations() const noexcept { return m_validations; }
    TKldDataRow* NullRow() const noexcept { return m_nullRow.get(); }
    TKldDataRow* DefaultRow() const noexcept { return m_defaultRow.get(); }
    // Bytes of the fixed part of a row buffer (slots and assigned bitmap);
    // the texts follow it.
    int BufferSize() const noexcept { return static_cast<int>(m_bufferSize); }
    const TKldRowLayout& RowLayout() const noexcept { return m_layouts[m_layoutVersion]; }
    // The layout that rows of layout `version` were made with.
    const TKldRowLayout& RowLayout(uint16_t version) const noexcept { return m_layouts[version]; }
    // Bytes that new rows get for their texts (learnt from the rows stored).
    size_t TextReserve() const noexcept { return m_textReserve; }
    uint16_t Id() const noexcept { return m_id.Value; }
    TKldRowPool& RowPool() noexcept { return m_pool; }
    // Changes when a Prepare lays the columns out differently: rows made for
    // an older layout are refused (and still release their texts).
    uint16_t LayoutVersion() const noexcept { return m_layoutVersion; }

    // --- Bulk updates, events, changes --------------------------------------------
    void BeginUpdate();
    void EndUpdate();
    bool IsUpdating() const noexcept { return m_updateCount > 0; }
    void AcceptChanges();
    void RejectChanges();
    TKldColumnMap CreateColumnMap(const TKldDataTable& other) const;
    void GetColumnList(std::vector<TKldDataColumn*>* list) const;

    // --- Adapter ---------------------------------------------------------------------
    // Fill and Refresh run inside the table's bulk update. Without `adapter`
    // the container's adapter is used.
    void Fill(TKldDataAdapter* adapter = nullptr);
    void Refresh(TKldDataAdapter* adapter = nullptr);
    void Update(TKldDataAdapter* adapter = nullptr);

    // --- Persistence -------------------------------------------------------------------
    void WriteData(TKldWriter& writer);
    // Reads rows into the table, inside its bulk update (see KldDataPersistence.cpp).
    void ReadData(TKldReader& reader);

    void NotifyEvent(TObject* sender, TKldDataEventType event);
    virtual void RowChanged(TKldDataRow* row, TKldDataColumn* column, TKldDataEventType event);
    virtual void CalculateFields(TKldDataRow* row);
    virtual void RefreshRow(TKldDataRow* row);
    // Checks `row` for an insert, update or delete (KldValidate...) and
    // answers its key position (0 when nothing else applies).
    virtual int ValidateRow(TKldDataRow* row, int operation);

    // A stored row's key value may have changed in place: key searches stop
    // trusting the hints kept in the row list until they are rebuilt.
    void InvalidateKeyHints() noexcept { m_hintsValid = false; }
    bool KeyHintsInUse() const noexcept { return m_rows.HintsEnabled(); }

    // The private copies of rows (see TKldDataRow::Copies).
    TKldDataRow::Copies* RowCopies(const TKldDataRow* row) const;
    TKldDataRow::Copies& EnsureRowCopies(const TKldDataRow* row);
    void DropRowCopies(const TKldDataRow* row) noexcept;

    // Memory held by the row list (for reports).
    size_t RowListBytes() const { return m_rows.ListBytes(); }

private:
    void MakeContainerInactive();
    // Takes `row` (every row for nullptr) out of the lists of the row sets
    // open on this table.
    void ForgetRowsInCursors(const TKldDataRow* row);
    TKldDataAdapter* FindAdapter(TKldDataAdapter* adapter) const;
    void ReportTableEvent(TKldDataEventType event);
    bool ContainerUpdating() const;
    bool InTransaction() const;
    int LiveIndexOf(const TKldDataRow* row) const;
    int64_t KeyHint(const TKldDataRow* row) const;
    void RebuildKeyHints();
    bool UseKeyHints() const;

    // Taken first and given back last: rows find their table by this number
    // until the last of them has gone.
    struct IdHolder
    {
        uint16_t Value;
        explicit IdHolder(TKldDataTable* table) : Value(KldTableIds::Take(table)) {}
        IdHolder(const IdHolder&) = delete;
        IdHolder& operator=(const IdHolder&) = delete;
        ~IdHolder() { KldTableIds::Give(Value); }
    };
    IdHolder m_id{this};
    // Holds the rows' memory: it goes after every row.
    TKldRowPool m_pool;
    size_t m_textReserve = 0;

    void NoteTextNeed(const TKldDataRow* row) noexcept;
    TKldRowLayout LayOut(int count) const;

    bool m_prepared = false;
    int m_updateCount = 0;
    TKldRowList m_rows;
    uint32_t m_bufferSize = 0;
    int m_deletedCount = 0;
    std::unique_ptr<TKldDataRow> m_nullRow;
    std::unique_ptr<TKldDataRow> m_defaultRow;
    TKldDataTableValidations m_validations;
    TKldColumnArray m_pkColumns;
    std::unique_ptr<TKldDataColumns> m_columns;
    std::vector<TKldRowLayout> m_layouts = {TKldRowLayout()}; // every layout rows were made for, by version
    uint16_t m_layoutVersion = 0;
    std::unordered_map<const TKldDataRow*, std::unique_ptr<TKldDataRow::Copies>> m_rowCopies;
    bool m_hintsValid = true;
    mutable int m_slowSearches = 0;
};

class TKldDataTables : public TKldDataCollection
{
public:
    explicit TKldDataTables(TKldDataContainer* container);
    std::string ClassName() const override { return "TKldDataTables"; }

    TKldDataContainer* GetDataContainer() const noexcept { return m_container; }
    TKldDataTable* Tables(int index) const { return static_cast<TKldDataTable*>(Items(index)); }
    TKldDataTable* Add() { return static_cast<TKldDataTable*>(TCollection::Add()); }
    TKldDataTable* Find(const std::string& name) const
    {
        return static_cast<TKldDataTable*>(TKldDataCollection::Find(name));
    }
    TKldDataTable* Get(const std::string& name) const
    {
        return static_cast<TKldDataTable*>(TKldDataCollection::Get(name));
    }

protected:
    void Update(TCollectionItem* item) override;
    void Notify(TCollectionItem* item, TCollectionNotification action) override;
    [[noreturn]] void NotFoundError(const std::string& name) const override;

private:
    TKldDataContainer* m_container;
};
