#include "Components/KldDBComponents/KldDataTable.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "Components/KldDBComponents/KldDataContainer.h"
#include "Components/KldDBComponents/KldDataRowSet.h"
#include "Components/KldDBComponents/KldDataRelation.h"
#include "platform/SysUtils.h"

TKldDataTable::TKldDataTable() : m_columns(std::make_unique<TKldDataColumns>(this))
{
}

TKldDataTable::~TKldDataTable()
{
    if (TKldDataContainer* container = GetDataContainer())
    {
        // Row sets over this table close: they must not keep it.
        for (int i = container->CursorCount() - 1; i >= 0; --i)
        {
            if (i < container->CursorCount() && container->Cursor(i)->DataTable() == this)
                container->Cursor(i)->SetActive(false);
        }
        container->SetActive(false);
    }
    // Rows release their texts through the prepared layout: they go first.
    UnPrepare();
}

TKldDataContainer* TKldDataTable::GetDataContainer() const
{
    auto* tables = dynamic_cast<TKldDataTables*>(Collection());
    return tables ? tables->GetDataContainer() : nullptr;
}

void TKldDataTable::MakeContainerInactive()
{
    if (TKldDataContainer* container = GetDataContainer())
        container->SetActive(false);
    else
        UnPrepare();
}

bool TKldDataTable::ContainerUpdating() const
{
    TKldDataContainer* container = GetDataContainer();
    return container && container->IsUpdating();
}

bool TKldDataTable::InTransaction() const
{
    TKldDataContainer* container = GetDataContainer();
    return container && container->InTransaction();
}

void TKldDataTable::SetName(const std::string& value)
{
    if (value == Name())
        return;
    std::string trimmed = Trim(value);
    if (trimmed.empty())
        throw Exception("Table name should not be empty");
    if (auto* collection = DataCollection(); collection && !collection->IsUnique(trimmed, this))
        throw Exception(Format("Duplicate table name: %s", trimmed));
    MakeContainerInactive();
    StoreName(trimmed);
    NotifyEvent(this, cdeTableChanged);
}

void TKldDataTable::Assign(const TPersistent& source)
{
    auto* other = dynamic_cast<const TKldDataTable*>(&source);
    if (!other)
    {
        TKldDataCollectionItem::Assign(source);
        return;
    }
    MakeContainerInactive();
    if (!AnsiSameText(other->Name(), Name()))
    {
        auto* collection = DataCollection();
        SetName(collection ? collection->GetAutoName(other->Name(), 0) : other->Name());
    }
    SetProps(other->Props());
    SetColumns(other->Columns());
}

void TKldDataTable::SetColumns(const TKldDataColumns& value)
{
    MakeContainerInactive();
    m_columns->Assign(value);
}

// --- Rows ----------------------------------------------------------------------

TKldDataRow* TKldDataTable::NewRow()
{
    return NewRowWithTextRoom(0);
}

TKldDataRow* TKldDataTable::NewRowWithTextRoom(size_t textBytes)
{
    Prepare();
    size_t room = std::max(textBytes, m_textReserve);
    size_t capacity = std::min<size_t>(m_bufferSize + room, 0xFFFF);
    return new (TKldRowBlock{&m_pool, capacity})
        TKldDataRow(m_id.Value, static_cast<uint16_t>(capacity), m_layoutVersion);
}

// The room new rows get for their texts follows what stored rows needed:
// at once up to a larger need, slowly down to a smaller one, so that rows of
// varying text lengths seldom keep a text outside.
void TKldDataTable::NoteTextNeed(const TKldDataRow* row) noexcept
{
    const TKldRowLayout& layout = RowLayout();
    if (layout.TextCount == 0 || !row->HasBuffer())
        return;
    constexpr size_t MostReserve = 4096;
    size_t least = TKldTextArea::MinimumCapacity(layout.TextCount);
    size_t need = row->TextNeed();
    size_t reserve = need >= m_textReserve ? need : m_textReserve - (m_textReserve - need + 15) / 16;
    reserve = std::min(reserve, std::min<size_t>(MostReserve, 0xFFFF - m_bufferSize));
    m_textReserve = std::max(reserve, least);
}

TKldDataRow* TKldDataTable::New()
{
    std::unique_ptr<TKldDataRow> row(NewRow());
    if (m_defaultRow && m_defaultRow->HasBuffer())
        row->InternalCopyBuffer(*m_defaultRow);
    return row.release();
}

TKldDataRow* TKldDataTable::Insert(TKldDataRow* row, int index)
{
    std::unique_ptr<TKldDataRow> made;
    if (!row)
    {
        made.reset(New());
        row = made.get();
    }
    KLD_ASSERT("KldData", row->Table() == this && !row->GetState(drsStored));
    int position = ValidateRow(row, KldValidateInsert);
    try
    {
        InsertRow(row, position, index);
    }
    catch (...)
    {
        // A failing insert report does not undo the insert: the table owns
        // the row from the moment it is stored.
        if (row->GetState(drsStored))
            made.release();
        throw;
    }
    made.release();
    return row;
}

void TKldDataTable::InsertRow(TKldDataRow* row, int position, int index)
{
    bool deleted = row->GetState(drsDeleted);
    if (position < 0)
    {
        if (deleted)
            position = PhysicalRowCount();
        else if (index >= 0)
            position = std::min(index, RowCount());
        else
            position = RowCount();
    }
    position = std::min(position, deleted ? PhysicalRowCount() : RowCount());
    // Registered before it is stored: a row that was not stored when the
    // transaction saved it is one to remove on rollback.
    row->TransactionSave();
    m_rows.Insert(position, row, KeyHint(row));
    NoteTextNeed(row);
    if (deleted && position >= RowCount())
        ++m_deletedCount;
    row->SetState(drsStored, true);
    if (!IsUpdating())
    {
        row->SetState(drsInserted, true);
        RowChanged(row, nullptr, cdeRowInserted);
    }
}

TKldDataRow* TKldDataTable::InsertKey(const Variant& values)
{
    if (!GetPKExists())
    {
        Prepare();
        if (!GetPKExists())
            throw Exception(Format("Primary key is required, but not defined for table \"%s\"", Name()));
    }
    std::unique_ptr<TKldDataRow> row(NewRow());
    row->SetValues(m_pkColumns, values);
    int position = 0;
    if (FindRowPos(row.get(), position))
        return GetRow(position);
    row->SetState(drsNeedRefresh, true);
    try
    {
        Insert(row.get());
    }
    catch (...)
    {
        if (row->GetState(drsStored))
            row.release();
        throw;
    }
    return row.release();
}

void TKldDataTable::UpdateRow(TKldDataRow* row)
{
    row->SetState(drsEditing, false);
    row->SetState(drsUpdated, true);
    try
    {
        RowChanged(row, nullptr, cdeRowModified);
    }
    catch (...)
    {
        row->DropEditCopy();
        throw;
    }
    row->DropEditCopy();
}

void TKldDataTable::Delete(TKldDataRow* row)
{
    KLD_ASSERT("KldData", row != nullptr);
    KLD_ASSERT("KldData", row->Table() == this && row->GetState(drsStored));
    KLD_ASSERT("KldData", !row->GetState(drsDeleted));
    row->TransactionSave();
    ValidateRow(row, KldValidateDelete);
    int index = IndexOfRow(row);
    KLD_ASSERT("KldData", index >= 0);
    m_rows.Move(index, PhysicalRowCount() - 1);
    ++m_deletedCount;
    row->SetState(drsDeleted, true);
    RowChanged(row, nullptr, cdeRowDeleted);
}

TKldDataRow* TKldDataTable::UnDeleteRow(TKldDataRow* row)
{
    if (!row->GetState(drsDeleted))
        return row;
    int index = m_rows.IndexOf(row);
    KLD_ASSERT("KldData", index >= RowCount());
    m_rows.Move(index, RowCount());
    --m_deletedCount;
    row->SetState(drsDeleted, false);
    if (GetPKExists())
        UpdateRowPos(row);
    return row;
}

void TKldDataTable::ForgetRowsInCursors(const TKldDataRow* row)
{
    TKldDataContainer* container = GetDataContainer();
    if (!container)
        return;
    for (int i = 0; i < container->CursorCount(); ++i)
    {
        TKldRowSet* cursor = container->Cursor(i);
        if (cursor->DataTable() == this)
            cursor->ForgetRow(row);
    }
}

void TKldDataTable::DeleteRow(TKldDataRow* row)
{
    int index = m_rows.IndexOf(row);
    if (index < 0)
        return;
    // Row sets must not keep a row that goes without an event.
    ForgetRowsInCursors(row);
    if (index >= RowCount())
        --m_deletedCount;
    delete m_rows.Extract(index);
}

bool TKldDataTable::CanDeleteRow(TKldDataRow* row)
{
    if (!row || row->GetState(drsDeleted))
        return false;
    TKldDataContainer* container = GetDataContainer();
    return !(container && container->IsDeleteBlocked(row));
}

void TKldDataTable::MoveRow(int curIndex, int newIndex)
{
    if (GetPKExists())
        throw Exception(Format("Unable to rearrange rows due to primary key defined for table \"%s\".\r\n"
                               "If primary key is defined the rows must be stored in primary key order and "
                               "cannot be rearranged manually.",
                               Name()));
    for (int index : {curIndex, newIndex})
    {
        if (index < 0 || index >= RowCount())
            throw Exception(Format("Invalid row index: %d", index));
    }
    m_rows.Move(curIndex, newIndex);
}

void TKldDataTable::EmptyTable()
{
    BeginUpdate();
    try
    {
        while (RowCount() > 0)
            GetRow(0)->Delete();
    }
    catch (...)
    {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TKldDataTable::ClearData()
{
    ForgetRowsInCursors(nullptr);
    m_rows.Clear();
    m_deletedCount = 0;
}

void TKldDataTable::Clear()
{
    ClearData();
    NotifyEvent(this, cdeTableDataChanged);
}

int TKldDataTable::IndexOfRow(const TKldDataRow* row) const
{
    int live = RowCount();
    if (live > 0 && GetRow(live - 1) == row)
        return live - 1;
    return m_rows.IndexOf(row);
}

int TKldDataTable::LiveIndexOf(const TKldDataRow* row) const
{
    int index = IndexOfRow(row);
    return index < RowCount() ? index : -1;
}

TKldDataRow::Copies* TKldDataTable::RowCopies(const TKldDataRow* row) const
{
    auto it = m_rowCopies.find(row);
    return it == m_rowCopies.end() ? nullptr : it->second.get();
}

TKldDataRow::Copies& TKldDataTable::EnsureRowCopies(const TKldDataRow* row)
{
    auto& copies = m_rowCopies[row];
    if (!copies)
        copies = std::make_unique<TKldDataRow::Copies>();
    return *copies;
}

void TKldDataTable::DropRowCopies(const TKldDataRow* row) noexcept
{
    // Taken out of the map before the copies go, since destroying them
    // reaches back into this table.
    auto node = m_rowCopies.extract(row);
}

// --- Searching -------------------------------------------------------------------

int64_t TKldDataTable::KeyHint(const TKldDataRow* row) const
{
    if (!m_rows.HintsEnabled())
        return 0;
    const void* value = row->ValuePtr(m_pkColumns[0]);
    // NULL sorts first; narrow hints hold it as the smallest 32-bit value.
    if (!value)
        return m_rows.NarrowHints() ? std::numeric_limits<int32_t>::min() : std::numeric_limits<int64_t>::min();
    switch (m_pkColumns[0]->DataType())
    {
    case cdtSmallInt: {
        int16_t v;
        std::memcpy(&v, value, sizeof(v));
        return v;
    }
    case cdtInteger: {
        int32_t v;
        std::memcpy(&v, value, sizeof(v));
        return v;
    }
    default: {
        int64_t v;
        std::memcpy(&v, value, sizeof(v));
        return v;
    }
    }
}

void TKldDataTable::RebuildKeyHints()
{
    if (!m_rows.HintsEnabled())
        return;
    for (int i = 0; i < m_rows.Count(); ++i)
        m_rows.SetHint(i, KeyHint(m_rows.Get(i)));
    m_hintsValid = true;
    m_slowSearches = 0;
}

bool TKldDataTable::UseKeyHints() const
{
    if (!m_rows.HintsEnabled())
        return false;
    if (m_hintsValid)
        return true;
    // After a key was written in place the hints are rebuilt once searches
    // come in numbers, so that a run of key edits does not rebuild each time.
    if (++m_slowSearches < 32)
        return false;
    const_cast<TKldDataTable*>(this)->RebuildKeyHints();
    return true;
}

bool TKldDataTable::FindRowPos(const TKldDataRow* row, int& position) const
{
    if (UseKeyHints())
    {
        // Hints order like the key (NULL and the smallest key value share the
        // lowest hint); rows with an equal hint are compared in full.
        int64_t hint = KeyHint(row);
        int count = RowCount();
        // Rows that arrive in key order land after the last row.
        if (count > 0 && m_rows.Hint(count - 1) < hint)
        {
            position = count;
            return false;
        }
        int index = m_rows.LowerBoundHint(hint, count);
        bool found = false;
        while (index < count && m_rows.Hint(index) == hint)
        {
            int result = CompareRows(GetRow(index), row, m_pkColumns);
            if (result < 0)
            {
                ++index;
                continue;
            }
            found = result == 0;
            break;
        }
        position = index;
        return found;
    }
    int low = 0;
    int high = RowCount() - 1;
    bool found = false;
    // Rows that arrive in key order land after the last row: one comparison.
    if (high >= 0 && CompareRows(GetRow(high), row, m_pkColumns) < 0)
    {
        position = high + 1;
        return false;
    }
    while (high >= low)
    {
        int middle = low + (high - low) / 2;
        int result = CompareRows(GetRow(middle), row, m_pkColumns);
        if (result < 0)
        {
            low = middle + 1;
        }
        else
        {
            high = middle - 1;
            if (result == 0)
                found = true;
        }
    }
    position = low;
    return found;
}

bool TKldDataTable::UpdateRowPos(TKldDataRow* row)
{
    int index = LiveIndexOf(row);
    if (index < 0)
        return false;
    int live = RowCount();
    int before = index > 0 ? CompareRows(row, GetRow(index - 1), m_pkColumns) : 1;
    int after = index < live - 1 ? CompareRows(row, GetRow(index + 1), m_pkColumns) : -1;
    bool found = before == 0 || after == 0;
    if (before >= 0 && after <= 0)
        return found;
    m_rows.Extract(index);
    try
    {
        int position = 0;
        found = FindRowPos(row, position);
        m_rows.Insert(position, row, KeyHint(row));
    }
    catch (...)
    {
        m_rows.Insert(std::max(RowCount() - 1, 0), row, KeyHint(row));
        throw;
    }
    return found;
}

void TKldDataTable::Sort()
{
    if (!GetPKExists() || RowCount() < 2)
        return;
    std::vector<TKldDataRow*> rows = m_rows.Slice(0, RowCount());
    KldQuickSort(rows, 0, static_cast<ptrdiff_t>(rows.size()) - 1,
                 [this](TKldDataRow* a, TKldDataRow* b) { return CompareRows(a, b, m_pkColumns); });
    m_rows.Reorder(0, rows);
    RebuildKeyHints();
}

TKldDataRow* TKldDataTable::FindRow(const TKldDataRow* row)
{
    if (!GetPKExists())
        throw Exception(Format("Primary key is required, but not defined for table \"%s\"", Name()));
    int position = 0;
    return FindRowPos(row, position) ? GetRow(position) : nullptr;
}

TKldDataRow* TKldDataTable::FindRow(const TKldDataRow* row, const TKldColumnArray& columns,
                                    TKldCompareOptions options)
{
    return FindRow(row, columns, options, columns);
}

TKldDataRow* TKldDataTable::FindRow(const TKldDataRow* row, const TKldColumnArray& columns,
                                    TKldCompareOptions options, const TKldColumnArray& rowColumns)
{
    for (int i = 0; i < RowCount(); ++i)
    {
        TKldDataRow* candidate = GetRow(i);
        // The searched row comes first, so that a partial key cuts the
        // table's value to the length of the searched one.
        if (CompareRows(row, candidate, rowColumns, options, columns) == 0)
            return candidate;
    }
    return nullptr;
}

TKldDataRow* TKldDataTable::Locate(const std::string& keyColumns, const Variant& values,
                                   TKldCompareOptions options)
{
    CheckPrepared();
    TKldColumnArray columns = m_columns->GetColumnArray(keyColumns);
    std::unique_ptr<TKldDataRow> search(NewRow());
    search->SetValues(columns, values);
    return FindRow(search.get(), columns, options);
}

// --- Structure ---------------------------------------------------------------------

// Fixed slots go widest alignment first, so that none needs padding (every
// slot size is a multiple of its alignment); the bitmap and the text area
// follow them.
TKldRowLayout TKldDataTable::LayOut(int count) const
{
    TKldRowLayout layout;
    layout.Slots.assign(static_cast<size_t>(count), TKldRowLayout::Slot{cdtUnknown, 0, -1});
    uint32_t size = 0;
    for (uint32_t align : {8u, 4u, 2u, 1u})
    {
        for (int i = 0; i < count; ++i)
        {
            TKldDataType type = Column(i)->DataType();
            if (KldIsTextType(type) || static_cast<uint32_t>(KldSlotAlign(type)) != align)
                continue;
            size = (size + align - 1) / align * align;
            layout.Slots[static_cast<size_t>(i)] = {type, size, -1};
            size += static_cast<uint32_t>(KldSlotSize(type));
        }
    }
    layout.BitsOffset = size;
    size += static_cast<uint32_t>((count + 7) / 8);
    layout.TextOffset = size;
    for (int i = 0; i < count; ++i)
    {
        TKldDataType type = Column(i)->DataType();
        if (KldIsTextType(type))
            layout.Slots[static_cast<size_t>(i)] = {type, size, layout.TextCount++};
    }
    // Buffer sizes and offsets are 16-bit: a wider row would wrap onto earlier slots.
    if (size + TKldTextArea::MinimumCapacity(layout.TextCount) > 0xFFFF)
        throw Exception(Format("The columns of table %s need more than 65535 bytes per row", Name()));
    return layout;
}

void TKldDataTable::Prepare()
{
    if (m_prepared)
        return;
    m_prepared = true;
    try
    {
        TKldDataContainer* container = GetDataContainer();
        int count = ColumnCount();
        m_validations.Clear();
        for (int i = 0; i < count; ++i)
        {
            TKldDataColumn* column = Column(i);
            column->m_attributes.Exclude(caForeignKey);
            column->m_attributes.Exclude(caReferencedKey);
            if (column->DataType() == cdtReference)
            {
                if (column->RelationName().empty())
                    throw Exception(Format("Relation name is not assigned to column %s in table %s",
                                           column->Name(), Name()));
                if (!container)
                    throw Exception(Format("Data relation not found: %s", column->RelationName()));
                TKldDataRelation* relation = container->Relations().Get(column->RelationName());
                relation->Prepare();
                if (relation->ChildTable() != this)
                    throw Exception(Format("Invalid reference definition for column %s in table %s",
                                           column->Name(), Name()));
            }
            if (column->Calculated())
                m_validations.Include(dtvCalcFields);
        }
        if (container)
        {
            TKldDataRelations& relations = container->Relations();
            for (int r = 0; r < relations.Count(); ++r)
            {
                TKldDataRelation* relation = relations.Relations(r);
                if (!relation->GetConstraintActive())
                    continue;
                bool child = AnsiSameText(relation->ChildTableName(), Name());
                bool parent = AnsiSameText(relation->ParentTableName(), Name());
                if (!child && !parent)
                    continue;
                relation->Prepare();
                if (child)
                {
                    m_validations.Include(dtvForeignKeys);
                    for (TKldDataColumn* c : relation->ChildColumns())
                        c->m_attributes.Include(caForeignKey);
                }
                if (parent)
                {
                    m_validations.Include(dtvReferencedKeys);
                    for (TKldDataColumn* c : relation->ParentColumns())
                        c->m_attributes.Include(caReferencedKey);
                }
            }
        }
        m_pkColumns.clear();
        TKldRowLayout layout = LayOut(count);
        for (int i = 0; i < count; ++i)
        {
            TKldDataColumn* column = Column(i);
            TKldDataType type = column->DataType();
            column->m_columnIndex = i;
            column->m_offset = layout.Slots[static_cast<size_t>(i)].Offset;
            column->m_textIndex = layout.Slots[static_cast<size_t>(i)].TextIndex;
            column->m_bitsOffset = layout.BitsOffset;
            column->m_layoutTable = this;
            TKldDataColumnAttributes a = column->Attributes();
            column->m_checked = a.Contains(caRequired) || a.Contains(caPrimaryKey) || a.Contains(caForeignKey) ||
                                a.Contains(caReferencedKey);
            if (a.Contains(caRequired))
                m_validations.Include(dtvRequiredColumns);
            if (a.Contains(caPrimaryKey))
            {
                m_validations.Include(dtvPrimaryKey);
                m_pkColumns.push_back(column);
            }
            if (type == cdtReference)
                column->m_relation = column->GetRelation();
        }
        m_textReserve = TKldTextArea::MinimumCapacity(layout.TextCount);
        m_bufferSize = layout.TextOffset;
        // A single integer key is searched through hints kept in the row list,
        // 32-bit ones for a key that fits.
        TKldDataType keyType = m_pkColumns.size() == 1 ? m_pkColumns[0]->DataType() : cdtUnknown;
        bool narrowKey = keyType == cdtSmallInt || keyType == cdtInteger;
        m_rows.Clear();
        m_rows.SetHintsEnabled(narrowKey || keyType == cdtLargeInt, narrowKey);
        m_hintsValid = true;
        m_slowSearches = 0;
        if (!(layout.Slots == m_layouts[m_layoutVersion].Slots))
        {
            if (m_layouts.size() > 0xFFFF)
                throw Exception(Format("Too many column layouts for table %s", Name()));
            m_layouts.push_back(std::move(layout));
            m_layoutVersion = static_cast<uint16_t>(m_layouts.size() - 1);
        }
        m_nullRow.reset(NewRow());
        m_defaultRow.reset(NewRow());
        for (int i = 0; i < count; ++i)
        {
            TKldDataColumn* column = Column(i);
            if (!column->Required() || m_defaultRow->InternalGetAssigned(column))
                continue;
            switch (column->DataType())
            {
            case cdtSmallInt:
            case cdtLargeInt:
            case cdtInteger:
            case cdtFloat:
                m_defaultRow->SetValue(column, Variant(0));
                break;
            case cdtBoolean:
                m_defaultRow->SetValue(column, Variant(false));
                break;
            case cdtString:
            case cdtWideString:
                m_defaultRow->SetValue(column, Variant(std::string()));
                break;
            default:
                break;
            }
        }
    }
    catch (...)
    {
        UnPrepare();
        throw;
    }
}

void TKldDataTable::UnPrepare()
{
    if (!m_prepared)
        return;
    m_pkColumns.clear();
    // A deactivation held back by a bulk update tells the row sets nothing:
    // they must not keep the rows that go now.
    ForgetRowsInCursors(nullptr);
    // Rows go while the layout that their texts sit in is still current.
    m_rows.Clear();
    m_deletedCount = 0;
    m_nullRow.reset();
    m_defaultRow.reset();
    for (int i = 0; i < ColumnCount(); ++i)
        Column(i)->m_relation = nullptr;
    m_prepared = false;
}

void TKldDataTable::CheckPrepared() const
{
    if (!m_prepared)
        throw Exception("Unable to perform this operation on inactive data table");
}

void TKldDataTable::CheckUnPrepared() const
{
    if (m_prepared)
        throw Exception("Unable to perform this operation on an active data table");
}

bool TKldDataTable::HasPKColumns() const
{
    for (int i = 0; i < ColumnCount(); ++i)
    {
        if (Column(i)->PrimaryKey())
            return true;
    }
    return false;
}

bool TKldDataTable::HasOwnerTable() const
{
    TKldDataContainer* container = GetDataContainer();
    if (!container)
        return false;
    TKldDataRelations& relations = container->Relations();
    for (int i = 0; i < relations.Count(); ++i)
    {
        if (relations.Relations(i)->OwnRows() && AnsiSameText(relations.Relations(i)->ChildTableName(), Name()))
            return true;
    }
    return false;
}

// --- Bulk updates, events, changes -------------------------------------------------

void TKldDataTable::BeginUpdate()
{
    if (m_updateCount == 0)
    {
        if (TKldDataContainer* container = GetDataContainer())
            container->SetActive(true);
        else
            Prepare();
    }
    ++m_updateCount;
}

void TKldDataTable::EndUpdate()
{
    KLD_ASSERT("KldData", m_updateCount > 0);
    if (--m_updateCount == 0)
        NotifyEvent(this, cdeTableDataChanged);
}

void TKldDataTable::AcceptChanges()
{
    if (InTransaction())
        throw Exception("Unable to perform this operation within active transaction");
    for (int i = 0; i < RowCount(); ++i)
        GetRow(i)->AcceptChanges();
    // Inside a bulk update row sets have not heard of the deletions yet and
    // may still list these rows: they must let go of them first.
    bool cursorsMayListThem = IsUpdating() || ContainerUpdating();
    while (m_deletedCount > 0)
    {
        int last = PhysicalRowCount() - 1;
        if (cursorsMayListThem)
            ForgetRowsInCursors(GetRow(last));
        delete m_rows.Extract(last);
        --m_deletedCount;
    }
}

void TKldDataTable::RejectChanges()
{
    if (InTransaction())
        throw Exception("Unable to perform this operation within active transaction");
    BeginUpdate();
    try
    {
        int i = 0;
        while (i < RowCount())
        {
            TKldDataRow* row = GetRow(i);
            row->RejectChanges();
            // An inserted row disappears: the next row then sits at this index.
            if (i < RowCount() && GetRow(i) == row)
                ++i;
        }
        while (m_deletedCount > 0)
        {
            TKldDataRow* row = GetRow(PhysicalRowCount() - 1);
            if (row->GetState(drsEditing))
                row->CancelEdit();
            row->RejectChanges();
        }
    }
    catch (...)
    {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

TKldColumnMap TKldDataTable::CreateColumnMap(const TKldDataTable& other) const
{
    TKldColumnMap map;
    map.reserve(static_cast<size_t>(ColumnCount()));
    for (int i = 0; i < ColumnCount(); ++i)
        map.push_back(other.Columns().Find(Column(i)->Name()));
    return map;
}

void TKldDataTable::GetColumnList(std::vector<TKldDataColumn*>* list) const
{
    if (!list)
        return;
    for (int i = 0; i < ColumnCount(); ++i)
        list->push_back(Column(i));
}

void TKldDataTable::NotifyEvent(TObject* sender, TKldDataEventType event)
{
    if (IsUpdating())
        return;
    if (TKldDataContainer* container = GetDataContainer())
        container->NotifyEvent(sender, event);
}

void TKldDataTable::RowChanged(TKldDataRow* row, TKldDataColumn* column, TKldDataEventType event)
{
    NotifyEvent(row, event);
}

void TKldDataTable::CalculateFields(TKldDataRow* row)
{
    if (TKldDataContainer* container = GetDataContainer())
        container->DoCalcFields(row);
}

TKldDataAdapter* TKldDataTable::FindAdapter(TKldDataAdapter* adapter) const
{
    if (TKldDataContainer* container = GetDataContainer())
        return container->CheckDataAdapter(adapter);
    if (!adapter)
        throw Exception("Unable to preform this operation. Data adapter is not assigned");
    return adapter;
}

void TKldDataTable::Fill(TKldDataAdapter* adapter)
{
    TKldDataAdapter* used = FindAdapter(adapter);
    BeginUpdate();
    try
    {
        used->Fill(this, nullptr);
    }
    catch (...)
    {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TKldDataTable::Refresh(TKldDataAdapter* adapter)
{
    TKldDataAdapter* used = FindAdapter(adapter);
    BeginUpdate();
    try
    {
        used->Refresh(this);
    }
    catch (...)
    {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TKldDataTable::Update(TKldDataAdapter* adapter)
{
    FindAdapter(adapter)->Update(this, nullptr);
}

void TKldDataTable::RefreshRow(TKldDataRow* row)
{
    TKldDataAdapter* adapter = FindAdapter(nullptr);
    // The adapter writes the fetched values without validation.
    TKldDataTableValidations saved = m_validations;
    m_validations.Clear();
    try
    {
        adapter->RefreshRow(row);
    }
    catch (...)
    {
        m_validations = saved;
        throw;
    }
    m_validations = saved;
}

int TKldDataTable::ValidateRow(TKldDataRow* row, int operation)
{
    bool hasKey = GetPKExists();
    if (row->GetState(drsNeedRefresh))
    {
        // A placeholder is not checked, but it still belongs at its key position.
        int position = -1;
        if (operation == KldValidateInsert && hasKey)
            FindRowPos(row, position);
        return operation == KldValidateInsert ? position : 0;
    }
    bool insertOrUpdate = operation == KldValidateInsert || operation == KldValidateUpdate;
    if (m_validations.Contains(dtvCalcFields) && insertOrUpdate)
        CalculateFields(row);

    int result = 0;
    bool found = false;
    if (operation == KldValidateInsert)
    {
        result = -1;
        if (hasKey)
            found = FindRowPos(row, result);
    }
    else if (operation == KldValidateUpdate && hasKey && !row->GetState(drsDeleted) && row->IsModified(m_pkColumns))
    {
        found = UpdateRowPos(row);
    }

    if (ContainerUpdating() || m_validations.Empty())
        return result;
    if (m_validations.Contains(dtvPrimaryKey) && found)
        throw Exception(Format("Primary key violation in table \"%s\"", Name()));
    if (m_validations.Contains(dtvRequiredColumns) && insertOrUpdate)
    {
        for (int i = 0; i < ColumnCount(); ++i)
        {
            TKldDataColumn* column = Column(i);
            if (column->Required() && !row->ValuePtr(column))
                throw Exception(Format("Column %s is required and must be assigned a value", column->Name()));
        }
    }
    TKldDataContainer* container = GetDataContainer();
    if (container && m_validations.Contains(dtvForeignKeys) && insertOrUpdate)
        container->CheckForeignKeys(row, operation);
    if (container && m_validations.Contains(dtvReferencedKeys) &&
        (operation == KldValidateUpdate || operation == KldValidateDelete))
        container->RunReferencedKeyActions(row, operation);
    return result;
}

// --- TKldDataTables ------------------------------------------------------------------

TKldDataTables::TKldDataTables(TKldDataContainer* container)
    : TKldDataCollection(container, CollectionItemClass<TKldDataTable>()), m_container(container)
{
}

void TKldDataTables::Update(TCollectionItem* item)
{
    if (m_container)
        m_container->NotifyEvent(m_container, cdeTableListChanged);
}

void TKldDataTables::Notify(TCollectionItem* item, TCollectionNotification action)
{
    if (m_container && (action == cnAdded || action == cnExtracting))
        m_container->SetActive(false);
    TKldDataCollection::Notify(item, action);
}

void TKldDataTables::NotFoundError(const std::string& name) const
{
    throw Exception(Format("Table not found: %s", name));
}
