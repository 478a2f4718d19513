#include "Components/KldDBComponents/KldDataRowSet.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "Components/KldDBComponents/KldDataContainer.h"
#include "Components/KldDBComponents/KldDataRelation.h"
#include "Components/KldDBComponents/KldDataRow.h"
#include "Components/KldDBComponents/KldDataTable.h"
#include "platform/SysUtils.h"

namespace
{

bool SameKeyValues(const Variant& a, const Variant& b)
{
    bool aNull = a.IsNull() || a.IsEmpty();
    bool bNull = b.IsNull() || b.IsEmpty();
    if (aNull || bNull)
        return aNull && bNull;
    if (a.IsArray() != b.IsArray())
        return false;
    if (a.IsArray())
    {
        if (a.ArrayLowBound(1) != b.ArrayLowBound(1) || a.ArrayHighBound(1) != b.ArrayHighBound(1))
            return false;
        for (int i = a.ArrayLowBound(1); i <= a.ArrayHighBound(1); ++i)
        {
            if (!SameKeyValues(a[i], b[i]))
                return false;
        }
        return true;
    }
    try
    {
        return a.VarType() == b.VarType() && a == b;
    }
    catch (const Exception&)
    {
        return false;
    }
}

// Element `index` of an array of values, or the value itself for one column.
Variant ValueFor(const Variant& values, int index)
{
    if (!values.IsArray())
        return values;
    int at = values.ArrayLowBound(1) + index;
    return at <= values.ArrayHighBound(1) ? values[at] : Variant::Null();
}

// A row of `table` that is never stored, with `values` in `columns`.
std::unique_ptr<TKldDataRow> SearchRow(TKldDataTable* table, const TKldColumnArray& columns, const Variant& values)
{
    std::unique_ptr<TKldDataRow> row(table->NewRow());
    for (size_t i = 0; i < columns.size(); ++i)
        row->SetValue(columns[i], ValueFor(values, static_cast<int>(i)));
    return row;
}

} // namespace

TKldRowSet::TKldRowSet(TKldDataTable* table, TKldDataRelation* relation)
    : m_table(table), m_keyValues(Variant::Null()), m_relation(relation)
{
    // The columns are looked up when the table has them; a relation that does
    // not fit the table is refused on opening.
    if (relation)
    {
        // A key of several columns is a ";" list: each name is looked up.
        try
        {
            if (!table)
                throw Exception("Error opening data table");
            SetKeyColumns(relation->ChildColumnNames());
        }
        catch (const Exception&)
        {
            m_keyColumnNames = relation->ChildColumnNames();
        }
    }
}

TKldRowSet::~TKldRowSet()
{
    try
    {
        SetActive(false);
    }
    catch (...)
    {
        // Closing raises nothing of its own; a destructor cannot pass it on.
    }
}

void TKldRowSet::SetDataTable(TKldDataTable* value)
{
    if (value == m_table)
        return;
    SetActive(false);
    m_table = value;
}

void TKldRowSet::SetRelation(TKldDataRelation* value)
{
    if (value == m_relation)
        return;
    SetActive(false);
    m_relation = value;
}

TKldDataContainer* TKldRowSet::GetDataContainer() const
{
    return m_table ? m_table->GetDataContainer() : nullptr;
}

TKldDataColumn* TKldRowSet::GetColumn(int index) const
{
    CheckTable();
    return m_table->Column(index);
}

void TKldRowSet::CheckTable() const
{
    if (!m_table || !m_table->Prepared())
        throw Exception("Error opening data table");
}

void TKldRowSet::CheckRelation() const
{
    if (!m_relation || !m_relation->Prepared() || m_relation->ChildTable() != m_table)
        throw Exception("Invalid relation assigned");
}

// --- Opening and closing ----------------------------------------------------------------

void TKldRowSet::SetActive(bool value)
{
    if (value == m_active)
        return;
    if (!value)
    {
        ClearList();
        if (TKldDataContainer* container = GetDataContainer())
            container->RemoveCursor(this);
        m_active = false;
        DoNotify(this, cdeCursorClosed);
        m_table = nullptr;
        m_relation = nullptr;
        m_keyColumns.clear();
        m_keyColumnNames.clear();
        m_keyCount = 0;
        m_sortColumns.clear();
        m_sortOptions.clear();
        m_sortCount = 0;
        return;
    }
    if (!m_table)
        throw Exception("Data table not assigned");
    TKldDataContainer* container = GetDataContainer();
    if (container)
        container->SetActive(true);
    else
        m_table->Prepare();
    if (container)
        container->NotifyEvent(this, cdeCursorBeforeOpen);
    if (m_relation)
    {
        CheckRelation();
        m_keyColumnNames.clear(); // looked up again: the relation may have changed
        SetKeyColumns(m_relation->ChildColumnNames());
    }
    else if (!m_keyColumnNames.empty())
    {
        m_keyColumns = m_table->Columns().GetColumnArray(m_keyColumnNames);
        m_keyCount = static_cast<int>(m_keyColumns.size());
    }
    // Pairs kept while the row set was closed may name columns that have gone
    // since, or columns of another table.
    DropOrderByColumns([&](const TKldDataColumn* c) {
        for (int i = 0; i < m_table->ColumnCount(); ++i)
        {
            if (m_table->Column(i) == c)
                return false;
        }
        return true;
    });
    UpdateSorting();
    if (container)
        container->AddCursor(this);
    m_active = true;
    try
    {
        BuildList();
    }
    catch (...)
    {
        ClearList();
        if (container)
            container->RemoveCursor(this);
        m_active = false;
        throw;
    }
}

// --- Rows -------------------------------------------------------------------------------------

TKldDataRow* TKldRowSet::GetRow(int index) const
{
    if (!m_table)
        return nullptr;
    if (NativeAccess())
        return index >= 0 && index < m_table->RowCount() ? m_table->GetRow(index) : nullptr;
    if (index < 0 || index >= m_rangeCount)
        return nullptr;
    return m_list[static_cast<size_t>(m_rangeStart + index)];
}

int TKldRowSet::GetRowCount() const
{
    if (!m_table)
        return 0;
    return NativeAccess() ? m_table->RowCount() : m_rangeCount;
}

int TKldRowSet::IndexOfRow(const TKldDataRow* row) const
{
    if (!row || !m_table)
        return -1;
    if (NativeAccess())
        return m_table->IndexOfRow(row);
    int index = ListIndexOf(row);
    return index < 0 ? -1 : index - m_rangeStart;
}

int TKldRowSet::ListIndexOf(const TKldDataRow* row) const
{
    if (IsSorted() && !m_list.empty())
    {
        // Equal rows sit together: search by the row's values, then by its
        // values before the current edit.
        for (const TKldDataRow* probe : {row, static_cast<const TKldDataRow*>(row->EditRow())})
        {
            if (!probe || !probe->HasBuffer())
                continue;
            int size = static_cast<int>(m_list.size());
            for (int i = LowerBound(probe, 0, size); i < size; ++i)
            {
                if (m_list[static_cast<size_t>(i)] == row)
                    return i;
                if (DoCompareRows(probe, m_list[static_cast<size_t>(i)]) != 0)
                    break;
            }
        }
    }
    auto it = std::find(m_list.begin(), m_list.end(), row);
    return it == m_list.end() ? -1 : static_cast<int>(it - m_list.begin());
}

void TKldRowSet::SetFiltered(bool value)
{
    if (value == m_filtered)
        return;
    m_filtered = value;
    if (m_active)
        BuildList();
}

bool TKldRowSet::DoFilterRow(TKldDataRow* row)
{
    if (!IsFiltered())
        return true;
    bool accept = true;
    OnFilterRow(row, accept);
    return accept;
}

int TKldRowSet::DoCompareRows(const TKldDataRow* a, const TKldDataRow* b) const
{
    for (int i = 0; i < m_sortCount; ++i)
    {
        int result = _CompareRow(a, b, m_sortColumns[static_cast<size_t>(i)], m_sortOptions[static_cast<size_t>(i)]);
        if (result != 0)
            return result;
    }
    return 0;
}

// --- The list ---------------------------------------------------------------------------------

void TKldRowSet::ClearList()
{
    m_list.clear();
    m_rangeStart = 0;
    m_rangeCount = 0;
}

void TKldRowSet::BuildList()
{
    ClearList();
    CheckTable();
    if (NativeAccess() || m_table->RowCount() == 0)
        return;
    int count = m_table->RowCount();
    m_list.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
    {
        TKldDataRow* row = m_table->GetRow(i);
        if (DoFilterRow(row))
            m_list.push_back(row);
    }
    m_rangeStart = 0;
    m_rangeCount = static_cast<int>(m_list.size());
    if (IsSorted())
        SortList();
    UpdateRange();
}

namespace
{

bool CollatedText(TKldDataType type)
{
    return type == cdtString || type == cdtMemo || type == cdtWideString;
}

// The collation keys of one text sort column for every listed row.
struct TextKeys
{
    static constexpr uint32_t Null = UINT32_MAX;
    std::vector<uint8_t> Pool;
    std::vector<size_t> Start;
    std::vector<uint32_t> Length; // Null for a NULL value

    std::string_view Key(uint32_t index) const
    {
        return {reinterpret_cast<const char*>(Pool.data() + Start[index]), Length[index]};
    }
};

} // namespace

void TKldRowSet::SortList()
{
    if (m_list.size() < 2)
        return;
    int last = static_cast<int>(m_list.size()) - 1;
    bool collates = false;
    for (int c = 0; c < m_sortCount; ++c)
        collates = collates || (m_sortColumns[static_cast<size_t>(c)] &&
                                CollatedText(m_sortColumns[static_cast<size_t>(c)]->DataType()));
    if (!collates || m_list.size() < 64)
    {
        KldQuickSort(m_list, 0, last,
                       [this](const TKldDataRow* a, const TKldDataRow* b) { return DoCompareRows(a, b); });
        return;
    }
    // Texts are collated once into keys; the order is the one DoCompareRows gives.
    size_t count = m_list.size();
    std::vector<TextKeys> keys(static_cast<size_t>(m_sortCount));
    for (int c = 0; c < m_sortCount; ++c)
    {
        const TKldDataColumn* column = m_sortColumns[static_cast<size_t>(c)];
        if (!column || !CollatedText(column->DataType()))
            continue;
        TextKeys& k = keys[static_cast<size_t>(c)];
        // ASCII texts take the cheap keys; one other text and the column
        // takes the collator's keys throughout.
        for (bool ascii : {true, false})
        {
            k.Pool.clear();
            k.Pool.reserve(count * 32);
            k.Start.assign(count, 0);
            k.Length.assign(count, 0);
            bool complete = true;
            for (size_t i = 0; i < count && complete; ++i)
            {
                const void* slot = m_list[i]->ValuePtr(column);
                k.Start[i] = k.Pool.size();
                if (!slot)
                {
                    k.Length[i] = TextKeys::Null;
                    continue;
                }
                std::string_view text = KldTextView(slot);
                if (ascii)
                    complete = AppendAsciiSortKey(text, k.Pool);
                else
                    AppendLocaleSortKey(text, false, k.Pool);
                k.Length[i] = static_cast<uint32_t>(k.Pool.size() - k.Start[i]);
            }
            if (complete)
                break;
        }
    }
    // Rows are sorted as entries holding the first 16 key bytes of the first
    // sort column, so that most comparisons read no further than the entry.
    struct Entry
    {
        uint64_t Prefix[2];
        uint32_t Index;
        uint32_t Length; // of the first column's key; TextKeys::Null for NULL
    };
    const TextKeys& first = keys[0];
    bool firstKeyed = !first.Length.empty();
    auto bigEndian = [](const uint8_t* p, size_t n) {
        uint64_t v = 0;
        for (size_t i = 0; i < 8; ++i)
            v = (v << 8) | (i < n ? p[i] : 0);
        return v;
    };
    std::vector<Entry> entries(count);
    for (size_t i = 0; i < count; ++i)
    {
        Entry& e = entries[i];
        e.Index = static_cast<uint32_t>(i);
        e.Length = firstKeyed ? first.Length[i] : 0;
        e.Prefix[0] = e.Prefix[1] = 0;
        if (firstKeyed && first.Length[i] != TextKeys::Null)
        {
            const uint8_t* p = first.Pool.data() + first.Start[i];
            size_t n = first.Length[i];
            e.Prefix[0] = bigEndian(p, n);
            e.Prefix[1] = n > 8 ? bigEndian(p + 8, n - 8) : 0;
        }
    }
    auto compareColumn = [&](int c, uint32_t a, uint32_t b) {
        const TKldDataColumn* column = m_sortColumns[static_cast<size_t>(c)];
        TKldCompareOptions options = m_sortOptions[static_cast<size_t>(c)];
        const TextKeys& k = keys[static_cast<size_t>(c)];
        if (k.Length.empty())
            return _CompareRow(m_list[a], m_list[b], column, options);
        bool aNull = k.Length[a] == TextKeys::Null;
        bool bNull = k.Length[b] == TextKeys::Null;
        int result;
        if (aNull || bNull)
        {
            result = aNull && bNull ? 0 : (aNull ? -1 : 1);
            return options.Contains(coNullsLast) ? -result : result;
        }
        int order = k.Key(a).compare(k.Key(b));
        result = order < 0 ? -1 : (order > 0 ? 1 : 0);
        return options.Contains(coDescending) ? -result : result;
    };
    auto compare = [&](const Entry& a, const Entry& b) {
        if (a.Index == b.Index)
            return 0; // the pivot against itself
        int c = 0;
        if (firstKeyed)
        {
            bool aNull = a.Length == TextKeys::Null;
            bool bNull = b.Length == TextKeys::Null;
            int result = 0;
            if (!aNull && !bNull && (a.Prefix[0] != b.Prefix[0] || a.Prefix[1] != b.Prefix[1]))
            {
                bool less = a.Prefix[0] != b.Prefix[0] ? a.Prefix[0] < b.Prefix[0] : a.Prefix[1] < b.Prefix[1];
                result = less ? -1 : 1;
                if (m_sortOptions[0].Contains(coDescending))
                    result = -result;
            }
            else if (aNull || bNull || (a.Length > 16 && b.Length > 16))
            {
                // Keys hold no zero byte: equal prefixes with a key of at most
                // 16 bytes mean equal keys.
                result = compareColumn(0, a.Index, b.Index);
            }
            if (result != 0)
                return result;
            c = 1;
        }
        for (; c < m_sortCount; ++c)
        {
            int result = compareColumn(c, a.Index, b.Index);
            if (result != 0)
                return result;
        }
        return 0;
    };
    KldQuickSort(entries, 0, last, compare);
    std::vector<TKldDataRow*> sorted(count);
    for (size_t i = 0; i < count; ++i)
        sorted[i] = m_list[entries[i].Index];
    m_list = std::move(sorted);
}

bool TKldRowSet::UpdateSorting()
{
    m_sortColumns.clear();
    m_sortOptions.clear();
    for (TKldDataColumn* column : m_keyColumns)
    {
        m_sortColumns.push_back(column);
        m_sortOptions.push_back({});
    }
    for (const TKldOrderByColumn& pair : m_orderBy)
    {
        m_sortColumns.push_back(pair.Column);
        TKldCompareOptions options;
        if (pair.Descending)
            options.Include(coDescending);
        m_sortOptions.push_back(options);
    }
    m_sortCount = static_cast<int>(m_sortColumns.size());
    return true;
}

int TKldRowSet::LowerBound(const TKldDataRow* row, int first, int last) const
{
    while (first < last)
    {
        int middle = first + (last - first) / 2;
        if (DoCompareRows(m_list[static_cast<size_t>(middle)], row) < 0)
            first = middle + 1;
        else
            last = middle;
    }
    return first;
}

bool TKldRowSet::FindRowPos(const TKldDataRow* row, int& position) const
{
    KLD_ASSERT("KldData", m_sortCount > 0);
    int first = LowerBound(row, m_rangeStart, m_rangeStart + m_rangeCount);
    position = first - m_rangeStart;
    return first < m_rangeStart + m_rangeCount && DoCompareRows(m_list[static_cast<size_t>(first)], row) == 0;
}

void TKldRowSet::UpdateRange()
{
    m_rangeStart = 0;
    m_rangeCount = static_cast<int>(m_list.size());
    if (m_keyCount == 0 || m_list.empty())
        return;
    std::unique_ptr<TKldDataRow> key = SearchRow(m_table, m_keyColumns, m_keyValues);
    int fullCount = m_sortCount;
    m_sortCount = m_keyCount;
    try
    {
        int position = 0;
        if (FindRowPos(key.get(), position))
        {
            int end = position + 1;
            int size = static_cast<int>(m_list.size());
            while (end < size && DoCompareRows(key.get(), m_list[static_cast<size_t>(end)]) == 0)
                ++end;
            m_rangeStart = position;
            m_rangeCount = end - position;
        }
        else
        {
            m_rangeStart = 0;
            m_rangeCount = 0;
        }
    }
    catch (...)
    {
        m_sortCount = fullCount;
        throw;
    }
    m_sortCount = fullCount;
}

// --- Master key and order -----------------------------------------------------------------------

bool TKldRowSet::SetKeyColumns(const std::string& names)
{
    if (names == m_keyColumnNames)
        return false;
    TKldColumnArray columns;
    if (!names.empty())
    {
        if (!m_table)
            throw Exception("Error opening data table");
        columns = m_table->Columns().GetColumnArray(names);
    }
    m_keyColumnNames = names;
    m_keyColumns = std::move(columns);
    m_keyCount = static_cast<int>(m_keyColumns.size());
    UpdateSorting();
    return true;
}

bool TKldRowSet::SetKeyValue(const Variant& values)
{
    m_masterRow = nullptr;
    if (SameKeyValues(values, m_keyValues))
        return false;
    m_keyValues = values;
    return true;
}

bool TKldRowSet::SetMasterKey(const std::string& keyColumns, const Variant& values)
{
    CheckTable();
    if (SetKeyColumns(keyColumns))
    {
        SetKeyValue(values);
        if (m_active)
            BuildList();
        return true;
    }
    if (!SetKeyValue(values))
        return false;
    if (m_active && !NativeAccess())
        UpdateRange();
    return true;
}

bool TKldRowSet::SetMasterKey(const Variant& values)
{
    return SetMasterKey(m_keyColumnNames, values);
}

void TKldRowSet::SetMasterRow(TKldDataRow* row)
{
    CheckRelation();
    const TKldColumnArray& parentColumns = m_relation->ParentColumns();
    Variant values;
    if (row)
    {
        KLD_ASSERT("KldData", row->Table() == m_relation->ParentTable());
        values = row->GetValues(parentColumns);
    }
    else
    {
        values = m_relation->ParentTable()->NullRow()->GetValues(parentColumns);
    }
    SetMasterKey(m_keyColumnNames, values);
    m_masterRow = row;
}

void TKldRowSet::SetOrderByColumns(const TKldOrderByColumns& pairs)
{
    m_sorting = false;
    try
    {
        ClearList();
        m_orderBy = pairs;
        UpdateSorting();
        if (m_active)
            BuildList();
    }
    catch (...)
    {
        m_sorting = true;
        throw;
    }
    m_sorting = true;
}

void TKldRowSet::ResetSorting()
{
    SetOrderByColumns({});
}

void TKldRowSet::ForgetRow(const TKldDataRow* row)
{
    if (!row)
    {
        ClearList();
        return;
    }
    if (m_list.empty())
        return;
    int index = ListIndexOf(row);
    if (index < 0)
        return;
    m_list.erase(m_list.begin() + index);
    UpdateRange();
}

void TKldRowSet::ForgetColumn(const TKldDataColumn* column)
{
    if (std::find(m_keyColumns.begin(), m_keyColumns.end(), column) != m_keyColumns.end())
        SetActive(false);
    DropOrderByColumns([&](const TKldDataColumn* c) { return c == column; });
}

template <class Gone>
void TKldRowSet::DropOrderByColumns(Gone&& gone)
{
    auto end = std::remove_if(m_orderBy.begin(), m_orderBy.end(),
                              [&](const TKldOrderByColumn& pair) { return gone(pair.Column); });
    if (end == m_orderBy.end())
        return;
    m_orderBy.erase(end, m_orderBy.end());
    UpdateSorting();
}

void TKldRowSet::Refresh()
{
    if (m_active)
        BuildList();
}

// --- Keeping the list current -------------------------------------------------------------------

void TKldRowSet::CheckRow(TKldDataRow* row, TKldDataEventType event)
{
    if (!row || NativeAccess() || !m_sorting)
        return;
    if (event != cdeRowInserted && event != cdeRowModified && event != cdeRowDeleted)
        return;
    m_rangeStart = 0;
    m_rangeCount = static_cast<int>(m_list.size());
    try
    {
        int position = event == cdeRowInserted ? -1 : ListIndexOf(row);
        if (event != cdeRowDeleted && DoFilterRow(row))
        {
            int size = static_cast<int>(m_list.size());
            if (event == cdeRowInserted)
            {
                int at = IsSorted() ? LowerBound(row, 0, size) : size;
                m_list.insert(m_list.begin() + at, row);
            }
            else if (IsSorted() && position >= 0 && size > 1 && row->IsModified(m_sortColumns))
            {
                m_list.erase(m_list.begin() + position);
                int at = LowerBound(row, 0, size - 1);
                m_list.insert(m_list.begin() + at, row);
            }
        }
        else if (position >= 0)
        {
            m_list.erase(m_list.begin() + position);
        }
    }
    catch (...)
    {
        UpdateRange();
        throw;
    }
    UpdateRange();
}

void TKldRowSet::DoNotify(TObject* sender, TKldDataEventType event)
{
    if (!sender)
        return;
    switch (event)
    {
    case cdeContainerDeactivated:
        // The rows are about to go: the list must not keep pointers to them.
        ClearList();
        break;
    case cdeContainerDataChanged:
    case cdeTableDataChanged:
        if (event == cdeTableDataChanged && sender != m_table)
            return;
        if (m_active)
        {
            if (m_table && m_table->Prepared())
                BuildList();
            else
                ClearList();
        }
        break;
    case cdeRowInserted:
    case cdeRowModified:
    case cdeRowDeleted:
    {
        auto* row = dynamic_cast<TKldDataRow*>(sender);
        if (!row || row->Table() != m_table)
            return;
        CheckRow(row, event);
        break;
    }
    default:
        return;
    }
    if (OnNotify)
        OnNotify(sender, event);
}

// --- Searching ----------------------------------------------------------------------------------

TKldDataRow* TKldRowSet::Locate(const std::string& keyColumns, const Variant& values, TKldCompareOptions options)
{
    if (!m_active || GetRowCount() == 0)
        return nullptr;
    TKldColumnArray columns = m_table->Columns().GetColumnArray(keyColumns);
    // The values are taken as the table's search takes them: one for each
    // column, too few refused.
    std::unique_ptr<TKldDataRow> key(m_table->NewRow());
    key->SetValues(columns, values);
    int count = GetRowCount();
    for (int i = 0; i < count; ++i)
    {
        TKldDataRow* row = GetRow(i);
        if (CompareRows(key.get(), row, columns, options) == 0)
            return row;
    }
    return nullptr;
}

TKldDataRow* TKldRowSet::FindNext(bool restart, bool forward, int current)
{
    if (!OnFilterRow)
        return nullptr;
    int count = GetRowCount();
    int first, last, step;
    if (forward)
    {
        first = restart ? 0 : current + 1;
        last = count;
        step = 1;
    }
    else
    {
        first = restart ? count - 1 : current - 1;
        last = -1;
        step = -1;
    }
    for (int i = first; i != last && i >= 0 && i < count; i += step)
    {
        TKldDataRow* row = GetRow(i);
        bool accept = true;
        OnFilterRow(row, accept);
        if (accept)
            return row;
    }
    return nullptr;
}
