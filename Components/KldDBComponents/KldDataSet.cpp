#include "Components/KldDBComponents/KldDataSet.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "Components/KldDBComponents/dbExtDataSetContext.h"
#include "Components/KldDBComponents/dbExtEvaluator.h"
#include "base/KldLogFile.h"
#include "platform/Streams.h"
#include "platform/SysUtils.h"

namespace {

constexpr int IndexOffset = 0;
constexpr int RowOffset = 4;
constexpr int FlagOffset = RowOffset + static_cast<int>(sizeof(void*));
constexpr int BookmarkBytes = FlagOffset + 1;

constexpr const char* STableNotFound = "Table not found: %s";
constexpr const char* SCalcFieldOutside =
    "Unable to assign calculated field (%s) outside of OnCalcField event handler";

// Field types whose values travel as one std::string.
bool IsTextExchange(TFieldType type)
{
    switch (type) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
    case ftBytes:
    case ftVarBytes:
        return true;
    default:
        return IsBlobFieldType(type);
    }
}

bool IsDoubleField(TFieldType type)
{
    return type == ftFloat || type == ftCurrency || type == ftDate || type == ftTime || type == ftDateTime;
}

bool IsDoubleColumn(TKldDataType type)
{
    return type == cdtFloat || type == cdtDateTime || type == cdtDate || type == cdtTime;
}

// Bytes of a field type's exchange format (text types excluded).
int ExchangeSize(TFieldType type)
{
    switch (type) {
    case ftSmallint:
    case ftWord:
    case ftBoolean:
        return 2;
    case ftInteger:
    case ftAutoInc:
        return 4;
    case ftLargeint:
    case ftFloat:
    case ftCurrency:
    case ftDate:
    case ftTime:
    case ftDateTime:
        return 8;
    case ftBCD:
    case ftFMTBcd:
        return static_cast<int>(sizeof(TBcd));
    case ftTimeStamp:
        return static_cast<int>(sizeof(TSQLTimeStamp));
    case ftGuid:
        return static_cast<int>(sizeof(TGUID));
    default:
        return 0;
    }
}

// Size of the record-buffer slot of a field that no column backs; text
// slots hold a counted reference.
int SlotSizeFor(TFieldType type, bool& textSlot)
{
    textSlot = false;
    switch (type) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
    case ftBlob:
    case ftMemo:
    case ftGraphic:
        textSlot = true;
        return static_cast<int>(sizeof(TKldStoredString*));
    default:
        return ExchangeSize(type);
    }
}

// The first `chars` UTF-8 characters of `text`: a cut never splits a character.
std::string_view CutUtf8(std::string_view text, int chars)
{
    if (chars <= 0 || text.size() <= static_cast<size_t>(chars))
        return text;
    size_t i = 0;
    for (int n = 0; n < chars && i < text.size(); ++n) {
        ++i;
        while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            ++i;
    }
    return text.substr(0, i);
}

void ZeroTarget(TFieldType type, void* buffer)
{
    if (IsTextExchange(type))
        static_cast<std::string*>(buffer)->clear();
    else if (type == ftVariant)
        *static_cast<Variant*>(buffer) = Variant::Null();
    else
        std::memset(buffer, 0, static_cast<size_t>(ExchangeSize(type)));
}

TKldStoredString* LoadText(const void* slot)
{
    TKldStoredString* text;
    std::memcpy(&text, slot, sizeof(text));
    return text;
}

void StoreText(void* slot, TKldStoredString* text)
{
    std::memcpy(slot, &text, sizeof(text));
}

} // namespace

// ============================================================================
// TKldBlobStream

TKldBlobStream::TKldBlobStream(TField* field, TBlobStreamMode mode) : TBlobStream(field, mode)
{
    // The row's blob values may still be on the server: fetch them, then
    // load the value again. A write stream fetches them too, so that a later
    // read does not fetch the server's value over the one written here.
    // The row is the one the field reads in the dataset's state: a lookup
    // or a filter test reads another row than the active record's.
    auto* dataSet = dynamic_cast<TKldDataSet*>(DataSet());
    TRecordBuffer record = dataSet ? dataSet->RecordForState() : nullptr;
    TKldDataRow* row = record ? TKldDataSet::BufRow(record) : nullptr;
    if (row && row->GetState(drsBlobsNotFetched)) {
        dataSet->FetchRowBlobs(row);
        if (mode != bmWrite)
            LoadValue();
    }
}

TKldBlobStream::~TKldBlobStream()
{
    try {
        Commit();
    } catch (const Exception& e) {
        Log.Error("Blob value of field %s not written: %s", {Field()->FieldName(), e.Message()},
                  "KldDataSet");
    } catch (...) {
        Log.Error("Blob value of field %s not written", {Field()->FieldName()}, "KldDataSet");
    }
    // The base must not try the write a second time.
    SetModified(false);
}

void TKldBlobStream::Commit()
{
    if (Mode() == bmRead || !Modified())
        return;
    const uint8_t* data = Memory();
    std::string value(data ? reinterpret_cast<const char*>(data) : "", static_cast<size_t>(Size()));
    Field()->SetData(&value);
    SetModified(false);
}

// ============================================================================
// Type maps

TFieldType TKldDataSet::FieldTypeForColumn(TKldDataType type)
{
    switch (type) {
    case cdtSmallInt:
        return ftSmallint;
    case cdtLargeInt:
        return ftLargeint;
    case cdtBoolean:
        return ftBoolean;
    case cdtInteger:
        return ftInteger;
    case cdtFloat:
        return ftFloat;
    case cdtDateTime:
        return ftDateTime;
    case cdtDate:
        return ftDate;
    case cdtTime:
        return ftTime;
    case cdtString:
        return ftString;
    case cdtWideString:
        return ftWideString;
    case cdtGuid:
        return ftGuid;
    case cdtMemo:
        return ftMemo;
    case cdtBlob:
        return ftBlob;
    case cdtBCD:
        return ftBCD;
    case cdtSQLTimeStamp:
        return ftTimeStamp;
    case cdtUnknown:
    case cdtReference:
        break;
    }
    return ftUnknown;
}

TKldDataType TKldDataSet::ColumnTypeForField(TFieldType type)
{
    if (IsBinaryFieldType(type))
        return cdtBlob;
    switch (type) {
    case ftSmallint:
        return cdtSmallInt;
    case ftLargeint:
        return cdtLargeInt;
    case ftBoolean:
        return cdtBoolean;
    // Word and auto-increment values fit a 32-bit integer column.
    case ftInteger:
    case ftWord:
    case ftAutoInc:
        return cdtInteger;
    case ftFloat:
    case ftCurrency:
        return cdtFloat;
    case ftDateTime:
        return cdtDateTime;
    case ftDate:
        return cdtDate;
    case ftTime:
        return cdtTime;
    case ftString:
    case ftFixedChar:
        return cdtString;
    case ftWideString:
        return cdtWideString;
    case ftGuid:
        return cdtGuid;
    case ftMemo:
    case ftFmtMemo:
        return cdtMemo;
    case ftBCD:
    case ftFMTBcd:
        return cdtBCD;
    case ftTimeStamp:
        return cdtSQLTimeStamp;
    default:
        return cdtUnknown;
    }
}

int TKldDataSet::FieldDefSize(TFieldType type, int length)
{
    switch (type) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
        return length == 0 ? 1 : length;
    case ftBCD:
    case ftBytes:
    case ftVarBytes:
    case ftFMTBcd:
        return length;
    case ftBlob:
    case ftMemo:
    case ftGraphic:
    case ftFmtMemo:
        return 4;
    default:
        return 0;
    }
}

// ============================================================================
// Construction

TKldDataSet::TKldDataSet(TComponent* owner)
    : TDataSet(owner), m_rowSet(std::make_unique<TKldRowSet>(nullptr, nullptr)),
      m_masterLink(std::make_unique<TMasterDataLink>(this))
{
    m_masterLink->OnMasterChange = [this](TMasterDataLink*) { MasterChanged(); };
    m_masterLink->OnMasterDisable = [this](TMasterDataLink*) { MasterDisabled(); };
}

TKldDataSet::~TKldDataSet()
{
    try {
        Close();
    } catch (const Exception& e) {
        Log.Error(e, "KldDataSet");
    } catch (...) {
        Log.Error("Closing a dataset failed", "KldDataSet");
    }
    m_masterLink.reset();
    if (m_dataContainer)
        m_dataContainer->RemoveFreeNotification(this);
}

void TKldDataSet::SetDataContainer(TKldDataContainer* value)
{
    if (value == m_dataContainer)
        return;
    Close();
    if (m_dataContainer)
        m_dataContainer->RemoveFreeNotification(this);
    m_dataContainer = value;
    if (m_dataContainer)
        m_dataContainer->FreeNotification(this);
}

void TKldDataSet::Notification(TComponent* component, TOperation operation)
{
    TDataSet::Notification(component, operation);
    if (operation == opRemove && component == m_dataContainer && m_dataContainer) {
        Close();
        m_dataContainer = nullptr;
    }
}

void TKldDataSet::SetDataTableName(const std::string& value)
{
    if (value == m_dataTableName)
        return;
    Close();
    m_dataTableName = value;
}

TKldDataRow* TKldDataSet::GetDataRow()
{
    if (!Active() || IsEmpty())
        return nullptr;
    return BufRow(ActiveBuffer());
}

TKldDataRow* TKldDataSet::GetReferencedRow(TKldDataColumn* column)
{
    TKldDataRow* row = GetDataRow();
    if (!row && m_table)
        row = m_table->NullRow();
    return row ? row->GetReferencedRow(column) : nullptr;
}

// ============================================================================
// Record buffers

int32_t TKldDataSet::BufIndex(TRecordBuffer buffer)
{
    int32_t index;
    std::memcpy(&index, buffer + IndexOffset, sizeof(index));
    return index;
}

void TKldDataSet::SetBufIndex(TRecordBuffer buffer, int32_t index)
{
    std::memcpy(buffer + IndexOffset, &index, sizeof(index));
}

TKldDataRow* TKldDataSet::BufRow(TRecordBuffer buffer)
{
    TKldDataRow* row;
    std::memcpy(&row, buffer + RowOffset, sizeof(row));
    return row;
}

void TKldDataSet::SetBufRow(TRecordBuffer buffer, TKldDataRow* row)
{
    std::memcpy(buffer + RowOffset, &row, sizeof(row));
}

TRecordBuffer TKldDataSet::AllocRecordBuffer()
{
    auto* buffer = new uint8_t[static_cast<size_t>(std::max(m_recordBufferSize, BookmarkBytes))]();
    SetBufIndex(buffer, -1);
    return buffer;
}

void TKldDataSet::FreeRecordBuffer(TRecordBuffer& buffer)
{
    if (!buffer)
        return;
    ReleaseSlots(buffer);
    delete[] buffer;
    buffer = nullptr;
}

void TKldDataSet::ReleaseSlots(TRecordBuffer buffer)
{
    for (const TKldFieldInfo& info : m_fieldInfos) {
        if (!info.TextSlot)
            continue;
        TKldStoredString::Release(LoadText(buffer + info.Offset));
        StoreText(buffer + info.Offset, nullptr);
    }
}

void TKldDataSet::InternalInitRecord(TRecordBuffer buffer)
{
    ReleaseSlots(buffer);
    std::memset(buffer, 0, static_cast<size_t>(m_recordBufferSize));
    SetBufIndex(buffer, -1);
    m_insertAnchor = nullptr;
    m_pendingRow.reset();
    m_pendingRow.reset(m_table->New());
    SetBufRow(buffer, m_pendingRow.get());
}

void TKldDataSet::ClearCalcFields(TRecordBuffer buffer)
{
    // Only calculated values go: data fields without a column keep theirs
    // while the record is being edited.
    for (const TKldFieldInfo& info : m_fieldInfos) {
        TFieldKind kind = info.Field->FieldKind();
        if (info.Column || (kind != fkCalculated && kind != fkLookup))
            continue;
        SetBit(buffer + m_bitmapOffset, info.Bit, false);
        if (info.TextSlot) {
            TKldStoredString::Release(LoadText(buffer + info.Offset));
            StoreText(buffer + info.Offset, nullptr);
        }
    }
}

void TKldDataSet::FillBuffer(TRecordBuffer buffer, int index, TKldDataRow* row)
{
    ReleaseSlots(buffer);
    std::memset(buffer + m_bitmapOffset, 0, static_cast<size_t>(m_slotsOffset - m_bitmapOffset));
    SetBufIndex(buffer, index);
    SetBufRow(buffer, row);
    buffer[FlagOffset] = static_cast<uint8_t>(bfCurrent);
}

void TKldDataSet::BuildFieldInfos()
{
    m_fieldInfos.clear();
    int count = FieldCount();
    m_bitmapOffset = BookmarkBytes;
    m_slotsOffset = m_bitmapOffset + (count + 7) / 8;
    int offset = m_slotsOffset;
    for (int i = 0; i < count; ++i) {
        TField* field = Fields()[i];
        TKldFieldInfo info;
        info.Field = field;
        info.Bit = i;
        TFieldType type = field->DataType();
        info.CutText = type == ftString || type == ftFixedChar;
        TFieldKind kind = field->FieldKind();
        TKldDataColumn* column = nullptr;
        if (kind == fkData || kind == fkInternalCalc)
            column = m_table->Columns().Find(field->FieldName());
        if (column) {
            info.Column = column;
            TKldDataType ct = column->DataType();
            if (KldIsTextType(ct) && IsTextExchange(type))
                info.Exchange = exText;
            else if ((type == ftSmallint && ct == cdtSmallInt) || (type == ftBoolean && ct == cdtBoolean) ||
                     ((type == ftInteger || type == ftAutoInc) && ct == cdtInteger) ||
                     (type == ftLargeint && ct == cdtLargeInt) ||
                     (IsDoubleField(type) && IsDoubleColumn(ct)) ||
                     ((type == ftBCD || type == ftFMTBcd) && ct == cdtBCD) ||
                     (type == ftTimeStamp && ct == cdtSQLTimeStamp) || (type == ftGuid && ct == cdtGuid)) {
                info.Exchange = exCopy;
                info.CopySize = ExchangeSize(type);
            } else {
                info.Exchange = exVariant;
            }
        } else {
            info.SlotSize = SlotSizeFor(type, info.TextSlot);
            if (info.SlotSize > 0) {
                info.Offset = offset;
                offset += info.SlotSize;
            }
        }
        m_fieldInfos.push_back(info);
    }
    m_recordBufferSize = offset;
}

const TKldDataSet::TKldFieldInfo* TKldDataSet::FindInfo(const TField* field) const
{
    for (const TKldFieldInfo& info : m_fieldInfos) {
        if (info.Field == field)
            return &info;
    }
    return nullptr;
}

// ============================================================================
// Opening and closing

void TKldDataSet::CreatePrivateContainer()
{
    m_privateContainer = std::make_unique<TKldDataContainer>();
    TKldDataTable* table = m_privateContainer->Tables().Add();
    table->SetName("Table");
    m_dataTableName = "Table";
}

void TKldDataSet::InternalOpen()
{
    m_retiredContainer.reset();
    TKldDataContainer* container = m_dataContainer;
    if (!container) {
        CreatePrivateContainer();
        container = m_privateContainer.get();
    }
    m_table = container->Tables().Find(m_dataTableName);
    if (!m_table)
        DatabaseErrorFmt(STableNotFound, {m_dataTableName}, this);
    if (!OpenRemoteCursor())
        CreateInternalDataColumns();
    container->SetActive(true);

    m_rowSet->SetDataTable(m_table);
    m_rowSet->OnNotify = [this](TObject* sender, TKldDataEventType event) { RowSetNotify(sender, event); };
    m_rowSet->OnFilterRow = [this](TKldDataRow* row, bool& accept) { FilterRow(row, accept); };
    m_rowSet->SetFiltered(Filtered());
    RebuildEvaluator();
    if (!m_detailFields.empty()) {
        m_rowSet->SetMasterKey(m_detailFields, Variant::Null());
        if (m_masterLink->Active() && !m_masterLink->Fields().empty())
            m_rowSet->SetMasterKey(m_detailFields, MasterValues());
    }
    ApplyOrderBy();
    FieldDefs().SetUpdated(false);

    if (m_autoFillDataTable && container->DataAdapter() && m_table->RowCount() == 0)
        m_table->Fill();
    InternalInitFieldDefs();
    if (DefaultFields())
        CreateFields();
    if (m_autoDisplayLabels)
        UpdateDisplayLabels();
    BindFields(true);
    BuildFieldInfos();
    SetBookmarkSize(BookmarkBytes);
    m_filterBuffer = AllocRecordBuffer();
    m_lookupBuffer = AllocRecordBuffer();
    m_currentIndex = -1;
    m_cursorOpen = true;
    // The row set is open before the base fills its ring of buffers.
    m_rowSet->SetActive(true);
}

void TKldDataSet::InternalClose()
{
    m_pendingRow.reset();
    m_insertAnchor = nullptr;
    FreeRecordBuffer(m_filterBuffer);
    FreeRecordBuffer(m_lookupBuffer);
    m_tempBuffer = nullptr;
    m_rowSet->OnNotify = nullptr;
    m_rowSet->OnFilterRow = nullptr;
    m_rowSet->SetActive(false);
    m_rowSet->SetDataTable(nullptr);
    if (m_privateContainer) {
        if (m_notifyDepth > 0)
            m_retiredContainer = std::move(m_privateContainer);
        else
            m_privateContainer.reset();
    }
    BindFields(false);
    if (DefaultFields())
        DestroyFields();
    m_fieldInfos.clear();
    m_evaluator.reset();
    m_cursorOpen = false;
    m_table = nullptr;
    m_currentIndex = -1;
    CloseRemoteCursor();
}

bool TKldDataSet::IsCursorOpen()
{
    return m_cursorOpen && m_table && m_table->Prepared();
}

void TKldDataSet::InternalInitFieldDefs()
{
    bool privateContainer = m_dataContainer == nullptr;
    if ((privateContainer && FieldDefs().Count() > 0) || FieldDefs().Updated())
        return;
    TKldDataTable* table = m_table;
    if (!table && m_dataContainer)
        table = m_dataContainer->Tables().Find(m_dataTableName);
    if (!table)
        return;
    if (TKldDataContainer* container = table->GetDataContainer())
        container->SetActive(true);
    FieldDefs().Clear();
    for (int i = 0; i < table->ColumnCount(); ++i) {
        TKldDataColumn* column = table->Column(i);
        TFieldType type = FieldTypeForColumn(column->DataType());
        if (type == ftUnknown)
            continue;
        TFieldDef* def = FieldDefs().AddFieldDef();
        def->SetName(column->Name());
        def->SetDataType(type);
        def->SetSize(FieldDefSize(type, column->DataLength()));
        def->SetRequired(column->Required());
        def->SetFieldNo(i + 1);
        if (column->ReadOnly())
            def->SetAttributes(def->Attributes().Include(faReadonly));
    }
    FieldDefs().SetUpdated(true);
}

void TKldDataSet::CreateFieldDefsFromFields()
{
    if (FieldCount() == 0)
        return;
    FieldDefs().Clear();
    for (TField* field : Fields()) {
        TFieldKind kind = field->FieldKind();
        if (kind != fkData && kind != fkInternalCalc)
            continue;
        TFieldDef* def = FieldDefs().AddFieldDef();
        def->SetName(field->FieldName());
        def->SetDataType(field->DataType());
        def->SetSize(FieldDefSize(field->DataType(), field->Size()));
        def->SetRequired(field->Required());
        def->SetFieldNo(FieldDefs().Count());
        if (field->ReadOnly())
            def->SetAttributes(def->Attributes().Include(faReadonly));
        def->SetInternalCalcField(kind == fkInternalCalc);
    }
}

void TKldDataSet::CreateInternalDataColumns()
{
    CreateFieldDefsFromFields();
    if (!m_privateContainer || m_dataContainer || !m_table)
        return;
    TKldDataColumns& columns = m_table->Columns();
    columns.Clear();
    for (int i = 0; i < FieldDefs().Count(); ++i) {
        TFieldDef* def = FieldDefs()[i];
        TKldDataColumn* column =
            columns.AddColumn(def->Name(), ColumnTypeForField(def->DataType()), def->Size());
        column->SetReadOnly(def->Attributes().Contains(faReadonly));
    }
}

void TKldDataSet::UpdateDisplayLabels()
{
    if (!m_table)
        return;
    for (TField* field : Fields()) {
        if (field->DisplayLabel() != field->FieldName())
            continue;
        TKldDataColumn* column = m_table->Columns().Find(field->FieldName());
        if (column && !column->DisplayLabel().empty())
            field->SetDisplayLabel(column->DisplayLabel());
    }
}

void TKldDataSet::ApplyOrderBy()
{
    if (m_orderBy.empty())
        m_rowSet->SetOrderByColumns({});
    else
        m_rowSet->SetOrderByColumns(m_table->Columns().GetOrderByColumns(m_orderBy));
}

void TKldDataSet::SetOrderBy(const std::string& value)
{
    if (value == m_orderBy)
        return;
    if (!Active()) {
        m_orderBy = value;
        return;
    }
    CheckBrowseMode();
    TKldDataRow* current = GetDataRow();
    std::string old = m_orderBy;
    m_orderBy = value;
    try {
        ApplyOrderBy();
    } catch (...) {
        m_orderBy = old;
        ApplyOrderBy();
        throw;
    }
    m_currentIndex = current ? RowPosition(current) : -1;
    Resync({});
}

// ============================================================================
// Moving

int TKldDataSet::RowPosition(const TKldDataRow* row) const
{
    if (!row)
        return -1;
    int count = m_rowSet->GetRowCount();
    // Only pointers are compared: the row may be gone from the table.
    if (!m_rowSet->IsSorted()) {
        int index = m_rowSet->IndexOfRow(row);
        return index < count ? index : -1;
    }
    for (int i = 0; i < count; ++i) {
        if (m_rowSet->GetRow(i) == row)
            return i;
    }
    return -1;
}

TGetResult TKldDataSet::GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck)
{
    int count = m_rowSet->GetRowCount();
    TGetResult result = grOK;
    if (count == 0)
        return grEOF;
    switch (mode) {
    case gmCurrent:
        if (m_currentIndex < 0 || m_currentIndex >= count)
            result = grError;
        break;
    case gmNext:
        if (m_currentIndex < count - 1)
            ++m_currentIndex;
        else if (m_currentIndex == count - 1 && FetchRows(0) > 0 &&
                 m_currentIndex < m_rowSet->GetRowCount() - 1)
            ++m_currentIndex;
        else
            result = grEOF;
        break;
    case gmPrior:
        if (m_currentIndex <= 0)
            result = grBOF;
        else
            m_currentIndex = std::min(m_currentIndex, count) - 1;
        break;
    }
    if (result == grOK) {
        TKldDataRow* row = m_rowSet->GetRow(m_currentIndex);
        if (!row || row->GetState(drsDeleted)) {
            result = grError;
        } else {
            FillBuffer(buffer, m_currentIndex, row);
            GetCalcFields(buffer);
        }
    }
    if (result == grError) {
        if (doCheck)
            DatabaseError(DBConsts::SRecordNotFound, this);
        m_currentIndex = -1;
    }
    return result;
}

void TKldDataSet::InternalFirst()
{
    m_currentIndex = -1;
}

void TKldDataSet::InternalLast()
{
    FetchRows(-1);
    m_currentIndex = m_rowSet->GetRowCount();
}

int TKldDataSet::GetRecordCount()
{
    return IsCursorOpen() ? m_rowSet->GetRowCount() : 0;
}

int TKldDataSet::GetRecNo()
{
    if (!Active() || IsEmpty())
        return 0;
    return std::max(BufIndex(ActiveBuffer()), -1) + 1;
}

void TKldDataSet::SetRecNoImpl(int value)
{
    CheckBrowseMode();
    if (value < 1 || value > GetRecordCount())
        return;
    DoBeforeScroll();
    m_currentIndex = value - 1;
    Resync({rmCenter});
    DoAfterScroll();
}

void TKldDataSet::MoveToRow(TKldDataRow* row)
{
    DoBeforeScroll();
    m_currentIndex = RowPosition(row);
    Resync({rmExact, rmCenter});
    DoAfterScroll();
}

void TKldDataSet::InternalRefresh()
{
    m_rowSet->Refresh();
}

// ============================================================================
// Bookmarks

void TKldDataSet::GetBookmarkData(TRecordBuffer buffer, void* data)
{
    std::memcpy(data, buffer, BookmarkBytes);
}

void TKldDataSet::SetBookmarkData(TRecordBuffer buffer, const void* data)
{
    // A new record keeps its own row: only the position it was started at
    // comes from the bookmark.
    std::memcpy(buffer + IndexOffset, static_cast<const uint8_t*>(data) + IndexOffset, sizeof(int32_t));
    if (GetBookmarkFlag(buffer) != bfInserted)
        std::memcpy(buffer + RowOffset, static_cast<const uint8_t*>(data) + RowOffset, sizeof(void*));
    else
        std::memcpy(&m_insertAnchor, static_cast<const uint8_t*>(data) + RowOffset, sizeof(void*));
}

TBookmarkFlag TKldDataSet::GetBookmarkFlag(TRecordBuffer buffer)
{
    return static_cast<TBookmarkFlag>(buffer[FlagOffset]);
}

void TKldDataSet::SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag value)
{
    buffer[FlagOffset] = static_cast<uint8_t>(value);
}

void TKldDataSet::InternalGotoBookmark(const void* bookmark)
{
    auto* bytes = static_cast<const uint8_t*>(bookmark);
    int32_t index;
    TKldDataRow* row;
    std::memcpy(&index, bytes + IndexOffset, sizeof(index));
    std::memcpy(&row, bytes + RowOffset, sizeof(row));
    if (index < 0 || index >= m_rowSet->GetRowCount() || m_rowSet->GetRow(index) != row)
        index = RowPosition(row);
    m_currentIndex = index;
}

void TKldDataSet::InternalSetToRecord(TRecordBuffer buffer)
{
    if (GetBookmarkFlag(buffer) != bfInserted) {
        InternalGotoBookmark(buffer);
        return;
    }
    // A new record stands before the record it was started on; rows that
    // other code added or deleted meanwhile move that record.
    int index = BufIndex(buffer);
    if (m_insertAnchor &&
        (index < 0 || index >= m_rowSet->GetRowCount() || m_rowSet->GetRow(index) != m_insertAnchor)) {
        int position = RowPosition(m_insertAnchor);
        if (position >= 0)
            index = position;
    }
    m_currentIndex = index;
}

int TKldDataSet::CompareBookmarks(const TBookmark& a, const TBookmark& b)
{
    if (a.size() != static_cast<size_t>(BookmarkBytes) || b.size() != static_cast<size_t>(BookmarkBytes))
        return TDataSet::CompareBookmarks(a, b);
    int32_t ia, ib;
    std::memcpy(&ia, a.data() + IndexOffset, sizeof(ia));
    std::memcpy(&ib, b.data() + IndexOffset, sizeof(ib));
    return ia < ib ? -1 : (ia > ib ? 1 : 0);
}

bool TKldDataSet::BookmarkValid(const TBookmark& bookmark)
{
    if (!TDataSet::BookmarkValid(bookmark) || !IsCursorOpen())
        return false;
    int32_t index;
    TKldDataRow* row;
    std::memcpy(&index, bookmark.data() + IndexOffset, sizeof(index));
    std::memcpy(&row, bookmark.data() + RowOffset, sizeof(row));
    if (index >= 0 && index < m_rowSet->GetRowCount() && m_rowSet->GetRow(index) == row)
        return true;
    return RowPosition(row) >= 0;
}

// ============================================================================
// Field data

TRecordBuffer TKldDataSet::RecordForState()
{
    switch (State()) {
    case dsBrowse:
    case dsBlockRead:
    case dsEdit:
    case dsInsert:
    case dsNewValue:
        return IsEmpty() ? nullptr : ActiveBuffer();
    case dsCalcFields:
    case dsInternalCalc:
        return CalcBuffer();
    case dsFilter:
        return m_tempBuffer;
    default:
        return nullptr;
    }
}

bool TKldDataSet::ReadColumn(const TKldFieldInfo& info, TKldDataRow* row, void* buffer)
{
    if (row->GetState(drsNeedRefresh))
        row->CheckNeedRefresh();
    const void* value = row->ValuePtr(info.Column);
    if (!value)
        return false;
    if (!buffer)
        return true;
    switch (info.Exchange) {
    case exCopy:
        std::memcpy(buffer, value, static_cast<size_t>(info.CopySize));
        break;
    case exText: {
        std::string_view text = KldTextView(value);
        if (info.CutText)
            text = CutUtf8(text, info.Field->Size());
        static_cast<std::string*>(buffer)->assign(text.data(), text.size());
        break;
    }
    case exVariant:
        VariantToFieldBuffer(info.Field->DataType(), row->GetValue(info.Column), buffer);
        if (info.CutText) {
            auto* text = static_cast<std::string*>(buffer);
            text->resize(CutUtf8(*text, info.Field->Size()).size());
        }
        break;
    }
    return true;
}

void TKldDataSet::WriteColumn(const TKldFieldInfo& info, TKldDataRow* row, const void* buffer)
{
    if (!buffer) {
        row->SetColumnData(info.Column, nullptr);
        return;
    }
    switch (info.Exchange) {
    case exCopy:
        row->SetColumnData(info.Column, buffer);
        break;
    case exText: {
        TKldTextValue text(*static_cast<const std::string*>(buffer));
        row->SetColumnData(info.Column, text.Value());
        break;
    }
    case exVariant:
        row->SetValue(info.Column, FieldBufferToVariant(info.Field->DataType(), buffer));
        break;
    }
}

bool TKldDataSet::ReadOldValue(const TKldFieldInfo& info, void* buffer)
{
    if (!info.Column || IsEmpty())
        return false;
    TRecordBuffer record = ActiveBuffer();
    TKldDataRow* row = BufRow(record);
    if (!row || GetBookmarkFlag(record) == bfInserted || row == m_pendingRow.get() ||
        row->GetState(drsInserted))
        return false;
    TKldDataRow* original = row->OriginalRow();
    return ReadColumn(info, original ? original : row, buffer);
}

bool TKldDataSet::GetFieldData(TField* field, void* buffer)
{
    const TKldFieldInfo* info = FindInfo(field);
    if (!info)
        return false;
    if (State() == dsOldValue)
        return ReadOldValue(*info, buffer);
    TRecordBuffer record = RecordForState();
    if (!record)
        return false;
    if (info->Column) {
        TKldDataRow* row = BufRow(record);
        return row && ReadColumn(*info, row, buffer);
    }
    if (info->Offset < 0 || !GetBit(record + m_bitmapOffset, info->Bit)) {
        if (buffer)
            ZeroTarget(field->DataType(), buffer);
        return false;
    }
    if (!buffer)
        return true;
    const uint8_t* slot = record + info->Offset;
    if (info->TextSlot) {
        std::string_view text = TKldStoredString::View(LoadText(slot));
        if (info->CutText)
            text = CutUtf8(text, field->Size());
        static_cast<std::string*>(buffer)->assign(text.data(), text.size());
    } else {
        std::memcpy(buffer, slot, static_cast<size_t>(info->SlotSize));
    }
    return true;
}

void TKldDataSet::SetFieldData(TField* field, const void* buffer)
{
    if (State() == dsBrowse)
        Edit();
    TDataSetState state = State();
    switch (state) {
    case dsEdit:
    case dsInsert:
    case dsSetKey:
    case dsCalcFields:
    case dsFilter:
    case dsNewValue:
    case dsInternalCalc:
        break;
    default:
        DatabaseError(DBConsts::SNotEditing, this);
    }
    const TKldFieldInfo* info = FindInfo(field);
    if (!info)
        DatabaseErrorFmt(DBConsts::SFieldNotFound, {field->FieldName()}, this);
    TRecordBuffer record = RecordForState();
    if (!record)
        DatabaseError(DBConsts::SNotEditing, this);
    if (info->Column) {
        TKldDataRow* row = BufRow(record);
        if (!row)
            DatabaseError(DBConsts::SNotEditing, this);
        WriteColumn(*info, row, buffer);
    } else {
        if (field->FieldKind() == fkCalculated && state != dsCalcFields)
            DatabaseErrorFmt(SCalcFieldOutside, {field->FieldName()}, this);
        if (info->Offset >= 0) {
            uint8_t* slot = record + info->Offset;
            if (info->TextSlot) {
                TKldStoredString* text =
                    buffer ? TKldStoredString::Make(*static_cast<const std::string*>(buffer)) : nullptr;
                TKldStoredString::Release(LoadText(slot));
                StoreText(slot, text);
            } else if (buffer) {
                std::memcpy(slot, buffer, static_cast<size_t>(info->SlotSize));
            }
            SetBit(record + m_bitmapOffset, info->Bit, buffer != nullptr);
        }
    }
    DataEvent(deFieldChange, reinterpret_cast<intptr_t>(field));
}

// ============================================================================
// Editing

void TKldDataSet::PresetRequiredFields()
{
    for (TField* field : Fields()) {
        if (field->FieldKind() != fkData || !field->Required() || !field->IsNull())
            continue;
        TFieldType type = field->DataType();
        if (type == ftString || type == ftWideString || type == ftFixedChar)
            field->SetAsString(field->DefaultExpression());
        else if (!field->DefaultExpression().empty())
            field->SetAsString(field->DefaultExpression());
    }
}

void TKldDataSet::DoOnNewRecord()
{
    PresetRequiredFields();
    if (m_masterLink->Active() && !m_masterLink->Fields().empty() && !m_detailFields.empty()) {
        std::vector<TField*> detail = GetFieldList(m_detailFields);
        const std::vector<TField*>& master = m_masterLink->Fields();
        for (size_t i = 0; i < detail.size() && i < master.size(); ++i)
            detail[i]->SetValue(master[i]->Value());
    }
    TDataSet::DoOnNewRecord();
}

void TKldDataSet::InternalEdit()
{
    if (TKldDataRow* row = BufRow(ActiveBuffer()))
        row->BeginEdit();
}

void TKldDataSet::InternalPost()
{
    TDataSet::InternalPost();
    TDataSetState state = State();
    if (state != dsEdit && state != dsInsert)
        DatabaseError(DBConsts::SNotEditing, this);
    TRecordBuffer record = ActiveBuffer();
    if (state == dsInsert) {
        TKldDataRow* row = m_pendingRow.get();
        KLD_ASSERT("KldDataSet", row && BufRow(record) == row);
        // The record the new one was started on may have moved meanwhile.
        if (GetBookmarkFlag(record) == bfInserted)
            InternalSetToRecord(record);
        int position = m_table->ValidateRow(row, KldValidateInsert);
        int index = position < 0 && m_rowSet->NativeAccess() ? m_currentIndex : -1;
        bool accepted = InsertRow(row);
        m_table->InsertRow(row, position, index);
        m_pendingRow.release();
        if (accepted)
            row->AcceptChanges();
        m_currentIndex = RowPosition(row);
        return;
    }
    TKldDataRow* row = BufRow(record);
    if (!row || !row->GetState(drsEditing))
        DatabaseError(DBConsts::SNotEditing, this);
    // The update's relation actions run before the hook: a hook that fails
    // must not leave them applied to the related rows.
    TKldDataContainer* container = m_table->GetDataContainer();
    bool ownTransaction = container && !container->InTransaction();
    if (ownTransaction)
        container->StartTransaction();
    bool accepted = false;
    try {
        m_table->ValidateRow(row, KldValidateUpdate);
        accepted = row->GetState(drsInserted) ? InsertRow(row) : UpdateRow(row);
        m_table->UpdateRow(row);
    } catch (...) {
        if (ownTransaction && container->InTransaction())
            container->RollbackTransaction();
        throw;
    }
    if (ownTransaction)
        container->CommitTransaction();
    if (accepted)
        row->AcceptChanges();
    m_currentIndex = RowPosition(row);
}

void TKldDataSet::InternalAddRecord(TRecordBuffer buffer, bool append)
{
    PresetRequiredFields();
    InternalPost();
}

void TKldDataSet::InternalCancel()
{
    if (State() != dsEdit && State() != dsInsert)
        DatabaseError(DBConsts::SNotEditing, this);
    if (State() != dsEdit || IsEmpty())
        return;
    TKldDataRow* row = BufRow(ActiveBuffer());
    // The membership test compares pointers only: a row may be gone.
    if (RowPosition(row) >= 0 && row->GetState(drsEditing))
        row->CancelEdit();
}

void TKldDataSet::InternalDelete()
{
    TKldDataRow* row = BufRow(ActiveBuffer());
    if (!row)
        return;
    m_deleting = true;
    try {
        DeleteRow(row);
        // A pending edit of the row goes with it.
        if (row->GetState(drsEditing))
            row->CancelEdit();
        m_table->Delete(row);
    } catch (...) {
        m_deleting = false;
        throw;
    }
    m_deleting = false;
    int count = m_rowSet->GetRowCount();
    if (m_currentIndex >= count)
        m_currentIndex = count - 1;
}

void TKldDataSet::CancelPending()
{
    if (State() == dsEdit || State() == dsInsert)
        Cancel();
}

// ============================================================================
// Blobs

std::unique_ptr<TBlobStream> TKldDataSet::CreateBlobStream(TField* field, TBlobStreamMode mode)
{
    if (mode != bmRead) {
        TDataSetState state = State();
        if (!(state == dsEdit || state == dsInsert || state == dsSetKey || state == dsCalcFields ||
              state == dsNewValue || state == dsInternalCalc || state == dsBrowse))
            DatabaseError(DBConsts::SNotEditing, this);
        if (state == dsBrowse)
            Edit();
    }
    return std::make_unique<TKldBlobStream>(field, mode);
}
