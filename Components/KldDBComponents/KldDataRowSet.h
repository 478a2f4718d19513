#pragma once
// TKldRowSet: a cursor over one engine table, the ordered, filtered and
// ranged list of rows that a dataset shows. Without order and filter it reads
// the table's live rows directly; otherwise it keeps its own list of row
// references sorted by the master key then the order-by columns, of which the
// rows whose key equals the master key values are visible. While open it is
// registered with the container and keeps its list current as rows change.

#include <functional>
#include <string>
#include <vector>

#include "Components/KldDBComponents/KldDataColumn.h"
#include "Components/KldDBComponents/KldDataCompare.h"
#include "Components/KldDBComponents/KldDataEvents.h"
#include "platform/Persistent.h"

class TKldDataTable;
class TKldDataRelation;
class TKldDataContainer;
class TKldDataRow;

using TKldFilterRowEvent = std::function<void(TKldDataRow* row, bool& accept)>;

class TKldRowSet : public TObject
{
public:
    TKldRowSet(TKldDataTable* table, TKldDataRelation* relation);
    ~TKldRowSet() override;
    TKldRowSet(const TKldRowSet&) = delete;
    TKldRowSet& operator=(const TKldRowSet&) = delete;
    std::string ClassName() const override { return "TKldRowSet"; }

    TKldDataTable* DataTable() const noexcept { return m_table; }
    void SetDataTable(TKldDataTable* value);
    TKldDataRelation* Relation() const noexcept { return m_relation; }
    void SetRelation(TKldDataRelation* value);

    bool Active() const noexcept { return m_active; }
    virtual void SetActive(bool value);

    virtual TKldDataRow* GetRow(int index) const;
    virtual int GetRowCount() const;
    int IndexOfRow(const TKldDataRow* row) const;

    bool IsSorted() const noexcept { return m_sortCount > 0; }
    bool IsFiltered() const noexcept { return m_filtered && static_cast<bool>(OnFilterRow); }
    virtual bool NativeAccess() const { return !IsSorted() && !IsFiltered(); }
    bool Filtered() const noexcept { return m_filtered; }
    void SetFiltered(bool value);

    // --- Master key --------------------------------------------------------------
    bool SetKeyColumns(const std::string& names);
    bool SetKeyValue(const Variant& values);
    bool SetMasterKey(const std::string& keyColumns, const Variant& values);
    bool SetMasterKey(const Variant& values);
    // Shows the children of `row`: the key values are the row's values in the
    // relation's parent-key columns (NULLs when `row` is nullptr).
    void SetMasterRow(TKldDataRow* row);
    TKldDataRow* MasterRow() const noexcept { return m_masterRow; }
    const Variant& KeyValues() const noexcept { return m_keyValues; }
    const std::string& KeyColumnNames() const noexcept { return m_keyColumnNames; }
    int KeyCount() const noexcept { return m_keyCount; }

    // --- Order -------------------------------------------------------------------
    void SetOrderByColumns(const TKldOrderByColumns& pairs);
    const TKldOrderByColumn& GetOrderByColumns(int index) const { return m_orderBy.at(static_cast<size_t>(index)); }
    int GetOrderByColumnCount() const noexcept { return static_cast<int>(m_orderBy.size()); }
    void ResetSorting();

    // --- Searching ---------------------------------------------------------------
    TKldDataRow* Locate(const std::string& keyColumns, const Variant& values, TKldCompareOptions options);
    TKldDataRow* FindNext(bool restart, bool forward, int current);
    // Leftmost visible position of the first row not smaller than `row`;
    // answers whether the row there equals it.
    bool FindRowPos(const TKldDataRow* row, int& position) const;

    void Refresh();
    // Takes a row that its table destroys without an event out of the list
    // (every row for nullptr), so that the list never holds a destroyed row.
    void ForgetRow(const TKldDataRow* row);
    // Called while `column` is being destroyed: an order-by pair naming it is
    // dropped, and a row set keyed by it closes.
    void ForgetColumn(const TKldDataColumn* column);
    void DoNotify(TObject* sender, TKldDataEventType event);
    bool DoFilterRow(TKldDataRow* row);
    int DoCompareRows(const TKldDataRow* a, const TKldDataRow* b) const;
    TKldDataColumn* GetColumn(int index) const;
    TKldDataContainer* GetDataContainer() const;
    void CheckTable() const;
    void CheckRelation() const;

    TKldDataEvent OnNotify;
    TKldFilterRowEvent OnFilterRow;

protected:
    virtual void CheckRow(TKldDataRow* row, TKldDataEventType event);
    virtual void BuildList();
    virtual void UpdateRange();
    virtual void ClearList();
    virtual bool UpdateSorting();

private:
    int ListIndexOf(const TKldDataRow* row) const;
    // Leftmost position among the listed rows [first, last) not smaller than `row`.
    int LowerBound(const TKldDataRow* row, int first, int last) const;
    void SortList();
    // Drops the order-by pairs whose column `gone` names (it is only compared,
    // never read) and sets the sort columns again when any went.
    template <class Gone>
    void DropOrderByColumns(Gone&& gone);

    TKldDataTable* m_table = nullptr;
    std::vector<TKldDataRow*> m_list;
    bool m_active = false;
    bool m_sorting = true;
    bool m_filtered = false;
    Variant m_keyValues;
    TKldColumnArray m_keyColumns;
    std::string m_keyColumnNames;
    int m_keyCount = 0;
    TKldDataRow* m_masterRow = nullptr;
    TKldDataRelation* m_relation = nullptr;
    TKldColumnArray m_sortColumns;
    TKldCompareOptionsArray m_sortOptions;
    int m_sortCount = 0;
    TKldOrderByColumns m_orderBy;
    int m_rangeStart = 0;
    int m_rangeCount = 0;
};
