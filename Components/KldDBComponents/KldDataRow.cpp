#include "Components/KldDBComponents/KldDataRow.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "Components/KldDBComponents/KldDataColumn.h"
#include "Components/KldDBComponents/KldDataContainer.h"
#include "Components/KldDBComponents/KldDataRelation.h"
#include "Components/KldDBComponents/KldDataRowPool.h"
#include "Components/KldDBComponents/KldDataTable.h"
#include "platform/DateUtils.h"
#include "platform/FMTBcd.h"
#include "platform/Guid.h"
#include "platform/SqlTimSt.h"
#include "platform/SysUtils.h"

namespace
{

// Room for one value in slot format (the largest slot is the 34-byte BCD).
struct alignas(8) SlotValue
{
    uint8_t bytes[40] = {};
};

template <class T>
T Load(const void* p)
{
    T value;
    std::memcpy(&value, p, sizeof(T));
    return value;
}

template <class T>
void StoreValue(void* p, const T& value)
{
    std::memcpy(p, &value, sizeof(T));
}

int16_t ToSmallInt(int64_t value)
{
    if (value < std::numeric_limits<int16_t>::min() || value > std::numeric_limits<int16_t>::max())
        throw EConvertError(Format("Value %d is out of range for a SmallInt column", value));
    return static_cast<int16_t>(value);
}

double DatePart(double value)
{
    return std::trunc(value);
}

double TimePart(double value)
{
    return std::fabs(value - std::trunc(value));
}

} // namespace

// --- Allocation ----------------------------------------------------------------

void* TKldDataRow::operator new(size_t size, TKldRowBlock block)
{
    return block.Pool->Allocate(size + block.BufferSize);
}

void TKldDataRow::operator delete(void* p, TKldRowBlock block) noexcept
{
    block.Pool->Free(p, sizeof(TKldDataRow) + block.BufferSize);
}

void TKldDataRow::operator delete(TKldDataRow* row, std::destroying_delete_t) noexcept
{
    TKldRowPool& pool = row->Table()->RowPool();
    size_t bytes = sizeof(TKldDataRow) + row->m_capacity;
    row->~TKldDataRow();
    pool.Free(row, bytes);
}

TKldDataRow::TKldDataRow(uint16_t tableId, uint16_t capacity, uint16_t layout)
    : m_tableId(tableId), m_capacity(capacity), m_layout(layout)
{
}

TKldDataRow::~TKldDataRow()
{
    if (m_inRollbackList)
    {
        if (TKldDataContainer* container = GetDataContainer())
            container->ForgetRollbackRow(this);
    }
    if (m_hasCopies)
    {
        m_hasCopies = false;
        Table()->DropRowCopies(this);
    }
    ReleaseTextSlots();
}

TKldDataContainer* TKldDataRow::GetDataContainer() const
{
    TKldDataTable* table = Table();
    return table ? table->GetDataContainer() : nullptr;
}

bool TKldDataRow::LayoutCurrent() const noexcept
{
    TKldDataTable* table = Table();
    return table->Prepared() && table->LayoutVersion() == m_layout;
}

void TKldDataRow::CheckColumn(const TKldDataColumn* column) const
{
    // A column of another table, or a row made before the table's columns
    // changed, would address the wrong slot.
    KLD_ASSERT("KldData", column->m_layoutTable == Table() && LayoutCurrent());
}

// --- Buffer --------------------------------------------------------------------

TKldTextArea TKldDataRow::TextArea() const noexcept
{
    const TKldRowLayout& layout = Table()->RowLayout(m_layout);
    return TKldTextArea(const_cast<uint8_t*>(Buffer()) + layout.TextOffset, m_capacity - layout.TextOffset,
                        layout.TextCount);
}

int TKldDataRow::GetBufferSize() const noexcept
{
    return static_cast<int>(Table()->RowLayout(m_layout).TextOffset);
}

size_t TKldDataRow::TextNeed() const noexcept
{
    return m_hasBuffer ? TextArea().Needed() : 0;
}

void TKldDataRow::InitBuffer()
{
    if (m_hasBuffer)
        return;
    KLD_ASSERT("KldData", LayoutCurrent());
    std::memset(Buffer(), 0, m_capacity);
    m_hasBuffer = true;
}

void TKldDataRow::ReleaseTextSlots() noexcept
{
    // The area is that of the layout the buffer was made for.
    if (m_hasBuffer)
        TextArea().Reset();
}

void TKldDataRow::NoteKeyWrite(const TKldDataColumn* column) noexcept
{
    TKldDataTable* table = Table();
    if (GetState(drsStored) && table->KeyHintsInUse() && (!column || column == table->PKColumns().front()))
        table->InvalidateKeyHints();
}

void TKldDataRow::FreeBuffer() noexcept
{
    if (!m_hasBuffer)
        return;
    NoteKeyWrite(nullptr);
    ReleaseTextSlots();
    m_hasBuffer = false;
}

bool TKldDataRow::InternalGetAssigned(const TKldDataColumn* column) const
{
    CheckColumn(column);
    return m_hasBuffer && GetBit(Buffer() + column->m_bitsOffset, column->ColumnIndex());
}

void TKldDataRow::InternalSetAssigned(const TKldDataColumn* column, bool value)
{
    CheckColumn(column);
    if (m_hasBuffer)
    {
        NoteKeyWrite(column);
        SetBit(Buffer() + column->m_bitsOffset, column->ColumnIndex(), value);
    }
}

void* TKldDataRow::InternalGetDataPtr(const TKldDataColumn* column, bool create)
{
    CheckColumn(column);
    // Texts move inside the text area as they change: they are written only
    // through InternalSetColumnData.
    KLD_ASSERT("KldData", !create || !KldIsTextType(column->DataType()));
    if (create)
    {
        // The caller may write the slot directly.
        NoteKeyWrite(column);
        InitBuffer();
    }
    if (!m_hasBuffer)
        return nullptr;
    if (KldIsTextType(column->DataType()))
        return const_cast<void*>(TextArea().Value(column->m_textIndex));
    return Buffer() + column->m_offset;
}

const void* TKldDataRow::ValuePtr(const TKldDataColumn* column) const noexcept
{
    if (!m_hasBuffer || column->m_layoutTable != Table() || !LayoutCurrent() ||
        !GetBit(Buffer() + column->m_bitsOffset, column->ColumnIndex()))
        return nullptr;
    if (column->m_textIndex >= 0)
        return TextArea().Value(column->m_textIndex);
    return Buffer() + column->m_offset;
}

void TKldDataRow::InternalSetColumnData(const TKldDataColumn* column, const void* value)
{
    CheckColumn(column);
    NoteKeyWrite(column);
    InitBuffer();
    TKldDataType type = column->DataType();
    if (KldIsTextType(type))
    {
        // An unassigned text keeps no bytes in the area.
        TextArea().Write(column->m_textIndex, value ? KldTextView(value) : std::string_view());
    }
    else if (value && type != cdtReference)
    {
        uint8_t* slot = Buffer() + column->m_offset;
        std::memmove(slot, value, static_cast<size_t>(KldSlotSize(type)));
        if (type == cdtDate)
            StoreValue(slot, DatePart(Load<double>(slot)));
        else if (type == cdtTime)
            StoreValue(slot, TimePart(Load<double>(slot)));
    }
    SetBit(Buffer() + column->m_bitsOffset, column->ColumnIndex(), value != nullptr);
}

void TKldDataRow::InternalGetColumnData(const TKldDataColumn* column, void* dest) const
{
    CheckColumn(column);
    size_t size = static_cast<size_t>(KldSlotSize(column->DataType()));
    const void* value = ValuePtr(column);
    if (!value)
    {
        std::memset(dest, 0, size);
        return;
    }
    if (KldIsTextType(column->DataType()))
    {
        StoreValue(dest, TKldStoredString::Make(KldTextView(value)));
        return;
    }
    std::memcpy(dest, value, size);
}

void TKldDataRow::InternalCopyBuffer(const TKldDataRow& source)
{
    if (&source == this || !source.m_hasBuffer)
        return;
    KLD_ASSERT("KldData", source.Table() == Table() && source.m_layout == m_layout && LayoutCurrent());
    NoteKeyWrite(nullptr);
    // Copying the fixed part whole is the same as copying column by column:
    // the slots of unassigned columns are never read.
    uint32_t fixed = Table()->RowLayout(m_layout).TextOffset;
    if (!m_hasBuffer)
    {
        std::memset(Buffer(), 0, m_capacity);
        m_hasBuffer = true;
    }
    TextArea().CopyFrom(source.TextArea());
    std::memcpy(Buffer(), source.Buffer(), fixed);
}

void TKldDataRow::InternalClear()
{
    if (!m_hasBuffer)
        return;
    NoteKeyWrite(nullptr);
    ReleaseTextSlots();
    const TKldRowLayout& layout = Table()->RowLayout(m_layout);
    std::memset(Buffer() + layout.BitsOffset, 0, (static_cast<size_t>(layout.Slots.size()) + 7) / 8);
}

// --- Copies --------------------------------------------------------------------

TKldDataRow::Copies* TKldDataRow::CopiesPtr() const noexcept
{
    return m_hasCopies ? Table()->RowCopies(this) : nullptr;
}

TKldDataRow::Copies& TKldDataRow::EnsureCopies()
{
    Copies& copies = Table()->EnsureRowCopies(this);
    m_hasCopies = true;
    return copies;
}

void TKldDataRow::DropCopiesIfEmpty() noexcept
{
    Copies* copies = CopiesPtr();
    if (copies && !copies->original && !copies->edit && !copies->rollback)
    {
        m_hasCopies = false;
        Table()->DropRowCopies(this);
    }
}

std::unique_ptr<TKldDataRow> TKldDataRow::MakeCopy() const
{
    std::unique_ptr<TKldDataRow> copy(Table()->NewRowWithTextRoom(m_hasBuffer ? TextArea().Used() : 0));
    copy->InternalCopyBuffer(*this);
    return copy;
}

void TKldDataRow::DropEditCopy() noexcept
{
    if (Copies* copies = CopiesPtr())
    {
        copies->edit.reset();
        DropCopiesIfEmpty();
    }
}

// --- State and values ----------------------------------------------------------

int TKldDataRow::GetIndex() const
{
    return GetState(drsStored) ? Table()->IndexOfRow(this) : -1;
}

bool TKldDataRow::GetAssignedValue(const TKldDataColumn* column) const
{
    return InternalGetAssigned(column);
}

void TKldDataRow::SetAssignedValue(const TKldDataColumn* column, bool value)
{
    InternalSetAssigned(column, value);
}

void* TKldDataRow::GetDataPtr(const TKldDataColumn* column, bool forWrite)
{
    if (!column)
        return nullptr;
    // Refused before any copy is made for the write.
    KLD_ASSERT("KldData", !forWrite || !KldIsTextType(column->DataType()));
    CheckNeedRefresh();
    if (forWrite && !OriginalRow())
        SaveOriginalValue();
    return InternalGetDataPtr(column, forWrite);
}

bool TKldDataRow::GetColumnData(const TKldDataColumn* column, void* dest)
{
    CheckNeedRefresh();
    InternalGetColumnData(column, dest);
    return ValuePtr(column) != nullptr;
}

template <class F>
void TKldDataRow::InImplicitEdit(F&& body)
{
    if (!GetState(drsStored) || GetState(drsEditing))
    {
        body();
        return;
    }
    BeginEdit();
    try
    {
        body();
        EndEdit();
    }
    catch (...)
    {
        if (GetState(drsEditing))
            CancelEdit();
        throw;
    }
}

void TKldDataRow::SetColumnData(const TKldDataColumn* column, const void* value)
{
    if (!GetState(drsStored) || GetState(drsEditing))
    {
        InternalSetColumnData(column, value);
        return;
    }
    if (value && GetState(drsNeedRefresh) && KldIsTextType(column->DataType()))
    {
        // Fetching the row rewrites its texts, and the text to write may be
        // one of them (AssignColumn within the row): it is copied first.
        TKldTextValue text(KldTextView(value));
        CheckNeedRefresh();
        SetColumnData(column, text.Value());
        return;
    }
    CheckNeedRefresh();
    SaveOriginalValue();
    bool checkedWrite = column->Checked() ||
                        (Table()->Validations().Contains(dtvCalcFields) && !column->Calculated());
    if (checkedWrite)
    {
        // Key and required columns are validated like an edit: the implicit
        // edit keeps the old value when the check fails.
        InImplicitEdit([&] { InternalSetColumnData(column, value); });
        return;
    }
    InternalSetColumnData(column, value);
    SetState(drsUpdated, true);
    Table()->RowChanged(this, const_cast<TKldDataColumn*>(column), cdeRowModified);
}

void TKldDataRow::CastError(const TKldDataColumn* column, bool assigning) const
{
    const char* text = assigning ? "Unable to assign column value as variant. Table: %s; Column: %s"
                                 : "Unable to cast column value to variant. Table: %s; Column: %s";
    throw Exception(Format(text, Table()->Name(), column->Name()));
}

Variant TKldDataRow::GetValue(const TKldDataColumn* column)
{
    const void* slot = GetDataPtr(column, false);
    if (!slot || !InternalGetAssigned(column))
        return Variant::Null();
    switch (column->DataType())
    {
    case cdtSmallInt:
        return Variant(Load<int16_t>(slot));
    case cdtInteger:
        return Variant(static_cast<int>(Load<int32_t>(slot)));
    case cdtLargeInt:
        return Variant(static_cast<long long>(Load<int64_t>(slot)));
    case cdtBoolean:
        return Variant(Load<int16_t>(slot) != 0);
    case cdtFloat:
        return Variant(Load<double>(slot));
    case cdtDateTime:
    case cdtDate:
    case cdtTime:
        return Variant::FromDate(Load<double>(slot));
    case cdtString:
    case cdtMemo:
    case cdtBlob:
        return Variant(std::string(KldTextView(slot)));
    case cdtWideString:
        return Variant::FromWideString(std::string(KldTextView(slot)));
    case cdtBCD:
        return Variant(BcdToDouble(Load<TBcd>(slot)));
    case cdtSQLTimeStamp:
        return Variant::FromDate(SQLTimeStampToDateTime(Load<TSQLTimeStamp>(slot)));
    case cdtGuid:
    case cdtReference:
    case cdtUnknown:
        break;
    }
    CastError(column, false);
}

void TKldDataRow::SetValue(const TKldDataColumn* column, const Variant& value)
{
    if (VarIsEmpty(value) || VarIsNull(value))
    {
        Clear(column);
        return;
    }
    SlotValue slot;
    switch (column->DataType())
    {
    case cdtSmallInt:
        StoreValue(slot.bytes, ToSmallInt(value.AsInteger()));
        break;
    case cdtInteger:
        StoreValue(slot.bytes, value.AsInteger());
        break;
    case cdtLargeInt:
        StoreValue(slot.bytes, value.AsInt64());
        break;
    case cdtBoolean:
        StoreValue(slot.bytes, static_cast<int16_t>(value.AsBoolean() ? -1 : 0));
        break;
    case cdtFloat:
        StoreValue(slot.bytes, value.AsDouble());
        break;
    case cdtDateTime:
    case cdtDate:
    case cdtTime:
        StoreValue(slot.bytes, value.AsDateTime());
        break;
    case cdtString:
    case cdtMemo:
    case cdtBlob:
    case cdtWideString: {
        TKldTextValue text(value.AsString());
        SetColumnData(column, text.Value());
        return;
    }
    case cdtBCD:
        StoreValue(slot.bytes, DoubleToBcd(value.AsDouble()));
        break;
    case cdtSQLTimeStamp:
        StoreValue(slot.bytes, DateTimeToSQLTimeStamp(value.AsDateTime()));
        break;
    case cdtGuid:
    case cdtReference:
    case cdtUnknown:
        CastError(column, true);
    }
    SetColumnData(column, slot.bytes);
}

Variant TKldDataRow::GetAsVariant(const std::string& columnName)
{
    return GetValue(Table()->Columns().Get(columnName));
}

void TKldDataRow::SetAsVariant(const std::string& columnName, const Variant& value)
{
    SetValue(Table()->Columns().Get(columnName), value);
}

std::string TKldDataRow::GetAsString(const TKldDataColumn* column)
{
    const void* slot = GetDataPtr(column, false);
    if (!slot || !InternalGetAssigned(column))
        return std::string();
    switch (column->DataType())
    {
    case cdtUnknown:
        return "{N\\A}";
    case cdtBlob:
        return "{BLOB}";
    case cdtReference:
        return "{ROW}";
    case cdtSmallInt:
        return IntToStr(Load<int16_t>(slot));
    case cdtInteger:
        return IntToStr(Load<int32_t>(slot));
    case cdtLargeInt:
        return IntToStr(Load<int64_t>(slot));
    case cdtBoolean:
        return Load<int16_t>(slot) != 0 ? "True" : "False";
    case cdtFloat:
        return FloatToStr(Load<double>(slot));
    case cdtDateTime:
        return DateTimeToStr(Load<double>(slot));
    case cdtDate:
        return DateToStr(Load<double>(slot));
    case cdtTime:
        return TimeToStr(Load<double>(slot));
    case cdtString:
    case cdtMemo:
    case cdtWideString:
        return std::string(KldTextView(slot));
    case cdtGuid:
        return GUIDToString(Load<TGUID>(slot));
    case cdtBCD:
        return BcdToStr(Load<TBcd>(slot));
    case cdtSQLTimeStamp:
        return SQLTimeStampToStr("", Load<TSQLTimeStamp>(slot));
    }
    return std::string();
}

void TKldDataRow::SetAsString(const TKldDataColumn* column, const std::string& text)
{
    SlotValue slot;
    switch (column->DataType())
    {
    case cdtSmallInt:
        StoreValue(slot.bytes, ToSmallInt(StrToInt(text)));
        break;
    case cdtInteger:
        StoreValue(slot.bytes, StrToInt(text));
        break;
    case cdtLargeInt:
        StoreValue(slot.bytes, StrToInt64(text));
        break;
    case cdtBoolean:
        StoreValue(slot.bytes, static_cast<int16_t>(StrToBool(text) ? -1 : 0));
        break;
    case cdtFloat:
        StoreValue(slot.bytes, StrToFloat(text));
        break;
    case cdtDateTime:
        StoreValue(slot.bytes, StrToDateTime(text));
        break;
    case cdtDate:
        StoreValue(slot.bytes, StrToDate(text));
        break;
    case cdtTime:
        StoreValue(slot.bytes, StrToTime(text));
        break;
    case cdtGuid:
        StoreValue(slot.bytes, StringToGUID(text));
        break;
    case cdtBCD:
        StoreValue(slot.bytes, StrToBcd(text));
        break;
    case cdtSQLTimeStamp:
        StoreValue(slot.bytes, StrToSQLTimeStamp(text));
        break;
    case cdtString:
    case cdtMemo:
    case cdtBlob:
    case cdtWideString: {
        TKldTextValue value(text);
        SetColumnData(column, value.Value());
        return;
    }
    case cdtReference:
    case cdtUnknown:
        CastError(column, true);
    }
    SetColumnData(column, slot.bytes);
}

// --- Several values --------------------------------------------------------------

Variant TKldDataRow::GetValues(const TKldColumnArray& columns)
{
    if (columns.empty())
        return Variant();
    if (columns.size() == 1)
        return GetValue(columns[0]);
    std::vector<Variant> values;
    values.reserve(columns.size());
    for (const TKldDataColumn* column : columns)
        values.push_back(GetValue(column));
    return VarArrayOf(values);
}

Variant TKldDataRow::GetRowValues()
{
    TKldColumnArray columns;
    Table()->GetColumnList(&columns);
    return GetValues(columns);
}

void TKldDataRow::SetValues(const TKldColumnArray& columns, const Variant& values)
{
    if (columns.empty())
        throw Exception("Empty column array cannot be used to assign values to");
    if (columns.size() == 1)
    {
        SetValue(columns[0], VarIsArray(values) ? values[VarArrayLowBound(values, 1)] : values);
        return;
    }
    // Reading past the end of a short array would take values from nowhere.
    int available = VarIsArray(values) ? VarArrayHighBound(values, 1) - VarArrayLowBound(values, 1) + 1 : 1;
    if (available < static_cast<int>(columns.size()))
        throw Exception(Format("Unable to assign %d values to %d columns", available,
                               static_cast<int>(columns.size())));
    int low = VarArrayLowBound(values, 1);
    BeginEdit();
    try
    {
        for (size_t i = 0; i < columns.size(); ++i)
            SetValue(columns[i], values[low + static_cast<int>(i)]);
        EndEdit();
    }
    catch (...)
    {
        if (GetState(drsEditing))
            CancelEdit();
        throw;
    }
}

void TKldDataRow::SetRowValues(const Variant& values)
{
    TKldColumnArray columns;
    Table()->GetColumnList(&columns);
    SetValues(columns, values);
}

// --- Copies between rows ---------------------------------------------------------

void TKldDataRow::AssignColumn(const TKldDataRow* source, const TKldDataColumn* column)
{
    AssignColumn(source, column, column);
}

void TKldDataRow::AssignColumn(const TKldDataRow* source, const TKldDataColumn* sourceColumn,
                               const TKldDataColumn* column)
{
    const void* value = (source && sourceColumn) ? source->ValuePtr(sourceColumn) : nullptr;
    if (value && sourceColumn->DataType() != column->DataType())
        throw Exception(Format("Unable to assign column %s to column %s of another type", sourceColumn->Name(),
                               column->Name()));
    SetColumnData(column, value);
}

void TKldDataRow::Assign(const TKldDataRow* source)
{
    if (source == this)
        return;
    if (!source)
    {
        Clear(nullptr);
        return;
    }
    if (source->Table() != Table())
        throw Exception("Unable to assign row from a different table.");
    InImplicitEdit([&] {
        for (int i = 0; i < Table()->ColumnCount(); ++i)
            AssignColumn(source, Table()->Column(i));
    });
}

void TKldDataRow::Assign(const TKldDataRow* source, const TKldColumnMap& columnMap)
{
    if (!source)
    {
        Clear(nullptr);
        return;
    }
    auto* from = const_cast<TKldDataRow*>(source);
    InImplicitEdit([&] {
        int count = std::min(static_cast<int>(columnMap.size()), from->Table()->ColumnCount());
        for (int i = 0; i < count; ++i)
        {
            if (columnMap[static_cast<size_t>(i)])
                SetValue(columnMap[static_cast<size_t>(i)], from->GetValue(from->Table()->Column(i)));
        }
    });
}

void TKldDataRow::Clear(const TKldDataColumn* column)
{
    if (!m_hasBuffer)
        return;
    if (column)
    {
        SetColumnData(column, nullptr);
        return;
    }
    InImplicitEdit([&] {
        for (int i = 0; i < Table()->ColumnCount(); ++i)
            SetColumnData(Table()->Column(i), nullptr);
    });
}

// --- Modification tests ------------------------------------------------------------

bool TKldDataRow::DiffersFrom(const TKldDataRow* other, const TKldColumnArray* columns) const
{
    auto differs = [&](const TKldDataColumn* column) {
        const void* mine = ValuePtr(column);
        const void* theirs = other ? other->ValuePtr(column) : nullptr;
        return ValuesDiffer(mine, theirs, column->DataType());
    };
    if (columns)
    {
        for (const TKldDataColumn* column : *columns)
        {
            if (differs(column))
                return true;
        }
        return false;
    }
    for (int i = 0; i < Table()->ColumnCount(); ++i)
    {
        if (differs(Table()->Column(i)))
            return true;
    }
    return false;
}

// An edit that began on a row without buffer has no edit copy: the row was
// all NULL then, so any value it holds now is a change.
bool TKldDataRow::IsModified() const
{
    if (TKldDataRow* edit = EditRow())
        return DiffersFrom(edit, nullptr);
    return GetState(drsEditing) && DiffersFrom(nullptr, nullptr);
}

bool TKldDataRow::IsModified(const TKldColumnArray& columns) const
{
    if (TKldDataRow* edit = EditRow())
        return DiffersFrom(edit, &columns);
    return GetState(drsEditing) && DiffersFrom(nullptr, &columns);
}

bool TKldDataRow::AssignedValues(const TKldColumnArray& columns) const
{
    for (const TKldDataColumn* column : columns)
    {
        if (ValuePtr(column))
            return true;
    }
    return false;
}

// --- Versions and editing ------------------------------------------------------------

Variant TKldDataRow::GetOriginalValue(const TKldDataColumn* column)
{
    if (TKldDataRow* original = OriginalRow())
        return original->GetValue(column);
    return GetValue(column);
}

void TKldDataRow::SaveOriginalValue()
{
    // A row without buffer gets an empty (all NULL) original copy: without
    // one, the first value written would read back as the original.
    if (!OriginalRow() && GetState(drsStored) && !GetState(drsInserted))
        EnsureCopies().original = MakeCopy();
    TransactionSave();
}

void TKldDataRow::CheckNeedRefresh()
{
    if (!GetState(drsNeedRefresh))
        return;
    InitBuffer();
    SetState(drsNeedRefresh, false);
    try
    {
        Table()->RefreshRow(this);
    }
    catch (...)
    {
        // Still not fetched: a later read tries again instead of taking the
        // empty values as the row's own.
        SetState(drsNeedRefresh, true);
        throw;
    }
}

void TKldDataRow::BeginEdit()
{
    if (!GetState(drsStored))
        return;
    if (GetState(drsEditing))
        throw Exception("Row is already being edited");
    CheckNeedRefresh();
    SaveOriginalValue();
    if (m_hasBuffer)
        EnsureCopies().edit = MakeCopy();
    SetState(drsEditing, true);
}

void TKldDataRow::CancelEdit()
{
    if (!GetState(drsStored))
        return;
    if (!GetState(drsEditing))
        throw Exception("Row is not in editing state");
    if (TKldDataRow* edit = EditRow())
    {
        InternalCopyBuffer(*edit);
        DropEditCopy();
    }
    else
    {
        FreeBuffer();
    }
    SetState(drsEditing, false);
    // An update that failed after moving the row to its new key position
    // leaves it there with the old key: put it back in key order.
    if (!GetState(drsDeleted) && Table()->GetPKExists())
        Table()->UpdateRowPos(this);
}

void TKldDataRow::EndEdit()
{
    if (!GetState(drsStored))
        return;
    if (!GetState(drsEditing))
        throw Exception("Row is not in editing state");
    Table()->ValidateRow(this, KldValidateUpdate);
    Table()->UpdateRow(this);
}

void TKldDataRow::AcceptChanges()
{
    CheckNeedRefresh();
    if (Copies* copies = CopiesPtr())
    {
        copies->original.reset();
        DropCopiesIfEmpty();
    }
    SetState(drsInserted, false);
    SetState(drsUpdated, false);
    SetState(drsDeleted, false);
}

void TKldDataRow::RejectChanges()
{
    if (TKldDataContainer* container = GetDataContainer(); container && container->InTransaction())
        throw Exception("Unable to perform this operation within active transaction");
    if (GetState(drsEditing))
        CancelEdit();
    if (GetState(drsInserted))
    {
        if (GetState(drsStored))
            Table()->DeleteRow(this); // destroys this row
        return;
    }
    if (TKldDataRow* original = OriginalRow())
    {
        Assign(original);
        CopiesPtr()->original.reset();
        DropCopiesIfEmpty();
    }
    if (GetState(drsDeleted))
        Table()->UnDeleteRow(this);
    SetState(drsInserted, false);
    SetState(drsUpdated, false);
    SetState(drsDeleted, false);
    SetState(drsNeedRefresh, false);
    Table()->RowChanged(this, nullptr, cdeRowModified);
}

// --- Other operations ----------------------------------------------------------

void TKldDataRow::Delete()
{
    if (GetState(drsStored))
        Table()->Delete(this);
    else
        delete this;
}

TKldDataRow* TKldDataRow::Store()
{
    return Table()->Insert(this);
}

TKldDataRow* TKldDataRow::GetReferencedRow(const TKldDataColumn* column)
{
    if (!column || column->DataType() != cdtReference)
        return nullptr;
    TKldDataRelation* relation = const_cast<TKldDataColumn*>(column)->GetRelation();
    if (!relation)
        return nullptr;
    relation->Prepare();
    TKldDataTable* parent = relation->ParentTable();
    TKldDataRow* found = parent->FindRow(this, relation->ParentColumns(), {}, relation->ChildColumns());
    return found ? found : parent->NullRow();
}

// --- Transactions ------------------------------------------------------------------

void TKldDataRow::TransactionSave()
{
    TKldDataContainer* container = GetDataContainer();
    if (!container || !container->InTransaction() || RollbackRow() || GetState(drsDeleted))
        return;
    // Listed without a copy: inserted inside this transaction, so rolling
    // back removes it whatever happened to it since.
    if (m_inRollbackList)
        return;
    if (GetState(drsStored))
    {
        // Made also for a row without buffer, so that rolling back clears the
        // values written inside the transaction.
        std::unique_ptr<TKldDataRow> copy = MakeCopy();
        copy->m_state = m_state;
        EnsureCopies().rollback = std::move(copy);
    }
    if (!m_inRollbackList)
    {
        container->AddRollbackRow(this);
        m_inRollbackList = true;
    }
}

void TKldDataRow::TransactionRollback()
{
    m_inRollbackList = false;
    if (TKldDataRow* copy = RollbackRow())
    {
        if (copy->m_hasBuffer)
            InternalCopyBuffer(*copy);
        else
            FreeBuffer();
        if (GetState(drsDeleted))
            Table()->UnDeleteRow(this);
        m_state = copy->m_state;
        Copies* copies = CopiesPtr();
        if (!m_state.Contains(drsEditing))
            copies->edit.reset();
        copies->rollback.reset();
        DropCopiesIfEmpty();
        return;
    }
    if (GetState(drsStored))
        Table()->DeleteRow(this); // inserted inside the transaction: destroys this row
}

void TKldDataRow::TransactionDiscardRollback() noexcept
{
    m_inRollbackList = false;
    if (Copies* copies = CopiesPtr())
    {
        copies->rollback.reset();
        DropCopiesIfEmpty();
    }
}
