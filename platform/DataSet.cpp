#include "platform/DataSet.h"

#include <algorithm>
#include <cstring>

#include "platform/DataSource.h"
#include "platform/StringList.h"

namespace {
// Restores a state changed with SetTempState, also when an error passes.
class TempStateGuard
{
  public:
    TempStateGuard(TDataSetState& target, int& disableCount, TDataSetState temp)
        : m_target(target), m_disableCount(disableCount), m_saved(target)
    {
        m_target = temp;
        ++m_disableCount;
    }
    ~TempStateGuard()
    {
        m_target = m_saved;
        --m_disableCount;
    }
    TempStateGuard(const TempStateGuard&) = delete;
    TempStateGuard& operator=(const TempStateGuard&) = delete;

  private:
    TDataSetState& m_target;
    int& m_disableCount;
    TDataSetState m_saved;
};

bool ValuesMatch(const Variant& fieldValue, const Variant& key, TLocateOptions options)
{
    if (VarIsNull(key) || VarIsEmpty(key))
        return VarIsNull(fieldValue) || VarIsEmpty(fieldValue);
    if (VarIsNull(fieldValue) || VarIsEmpty(fieldValue))
        return false;
    if (options.Contains(loCaseInsensitive) || options.Contains(loPartialKey)) {
        std::string a = VarToStr(fieldValue);
        std::string b = VarToStr(key);
        if (options.Contains(loPartialKey) && a.size() > b.size())
            a.resize(b.size());
        return options.Contains(loCaseInsensitive) ? AnsiSameText(a, b) : a == b;
    }
    return VarSameValue(fieldValue, key);
}
} // namespace

TDataSet::TDataSet(TComponent* owner) : TComponent(owner), m_fieldDefs(std::make_unique<TFieldDefs>(this)) {}

TDataSet::~TDataSet()
{
    // The descendant has closed (its destructor must); anything still open
    // here can only be released without the protocol.
    m_state = dsInactive;
    while (!m_dataSources.empty()) {
        TDataSource* ds = m_dataSources.back();
        m_dataSources.pop_back();
        ds->m_dataSet = nullptr;
        ds->UpdateState();
    }
    DestroyFields();
    for (TField* field : m_fields.m_fields)
        field->m_dataSet = nullptr;
    m_fields.Clear();
}

// ---------------------------------------------------------------------------
// Opening and closing

void TDataSet::CheckActive() const
{
    if (m_state == dsInactive)
        DatabaseError(DBConsts::SDataSetClosed, this);
}

void TDataSet::CheckInactive() const
{
    if (Active())
        DatabaseError(DBConsts::SDataSetOpen, this);
}

void TDataSet::Fire(const TDataSetNotifyEvent& event, TDataSet* self)
{
    if (event)
        event(self);
}

void TDataSet::SetActive(bool value)
{
    if (Active() == value)
        return;
    if (value) {
        Fire(BeforeOpen, this);
        try {
            OpenCursor(false);
        } catch (...) {
            // The open's own error is the one to report, not a failure of
            // the clean-up after it.
            try {
                if (m_state != dsOpening)
                    OpenCursorComplete();
            } catch (...) {
            }
            throw;
        }
        if (m_state != dsOpening)
            OpenCursorComplete();
    } else {
        const bool destroying = ComponentState().Contains(csDestroying);
        if (!destroying)
            Fire(BeforeClose, this);
        SetState(dsInactive);
        CloseCursor();
        if (!destroying)
            Fire(AfterClose, this);
    }
}

void TDataSet::OpenCursor(bool infoQuery)
{
    if (infoQuery)
        InternalInitFieldDefs();
    else if (m_state != dsOpening)
        DoInternalOpen();
}

void TDataSet::DoInternalOpen()
{
    m_defaultFields = FieldCount() == 0;
    InternalOpen();
    m_internalOpenComplete = true;
    UpdateBufferCount();
    m_bof = true;
}

void TDataSet::OpenCursorComplete()
{
    if (m_internalOpenComplete) {
        SetState(dsBrowse);
        Fire(AfterOpen, this);
        if (!IsEmpty())
            DoAfterScroll();
    } else {
        SetState(dsInactive);
        CloseCursor();
    }
}

void TDataSet::CloseCursor()
{
    m_internalOpenComplete = false;
    ClearBuffers();
    SetBufListSize(0);
    m_bufferCount = 0;
    // Also after a failed open, so that the descendant can release what it
    // made on the way; InternalClose must cope with a half-open cursor.
    InternalClose();
    m_defaultFields = false;
    m_bof = true;
    m_eof = true;
}

void TDataSet::InitFieldDefs()
{
    OpenCursor(true);
}

// ---------------------------------------------------------------------------
// The buffer ring

TRecordBuffer TDataSet::ActiveBuffer() const
{
    if (m_buffers.empty())
        return nullptr;
    return m_buffers[static_cast<size_t>(m_activeRecord)];
}

void TDataSet::SetBufListSize(int value)
{
    // One spare buffer beyond the ring, for reading ahead.
    const size_t wanted = value > 0 ? static_cast<size_t>(value) + 1 : 0;
    while (m_buffers.size() > wanted) {
        TRecordBuffer buffer = m_buffers.back();
        m_buffers.pop_back();
        FreeRecordBuffer(buffer);
    }
    while (m_buffers.size() < wanted)
        m_buffers.push_back(AllocRecordBuffer());
}

void TDataSet::SetBufferCount(int value)
{
    if (m_bufferCount == value)
        return;
    if (m_bufferCount > value && m_recordCount > 0) {
        // Keep the active record in the smaller ring.
        int delta = std::max(0, m_activeRecord - value + 1);
        for (int i = 0; i < value; ++i)
            MoveBuffer(i + delta, i);
        m_activeRecord -= delta;
        if (m_currentRecord != -1)
            m_currentRecord -= delta;
        m_recordCount = std::min(m_recordCount - delta, value);
        if (m_currentRecord < 0 || m_currentRecord >= value)
            m_currentRecord = -1;
    }
    SetBufListSize(value);
    m_bufferCount = value;
    if (!ComponentState().Contains(csDestroying)) {
        GetNextRecords();
        const int added = GetPriorRecords();
        for (TDataSource* ds : m_dataSources)
            for (TDataLink* link : ds->m_dataLinks)
                if (link->m_active)
                    link->m_firstRecord += added;
    }
}

int TDataSet::LinkedBufferCount() const
{
    int count = 1;
    for (TDataSource* ds : m_dataSources)
        for (TDataLink* link : ds->m_dataLinks)
            count = std::max(count, link->m_bufferCount);
    return count;
}

void TDataSet::UpdateBufferCount()
{
    if (!IsCursorOpen())
        return;
    SetBufferCount(LinkedBufferCount());
}

void TDataSet::MoveBuffer(int curIndex, int newIndex)
{
    if (curIndex == newIndex)
        return;
    TRecordBuffer buffer = m_buffers[static_cast<size_t>(curIndex)];
    if (curIndex < newIndex)
        std::move(m_buffers.begin() + curIndex + 1, m_buffers.begin() + newIndex + 1,
                  m_buffers.begin() + curIndex);
    else
        std::move_backward(m_buffers.begin() + newIndex, m_buffers.begin() + curIndex,
                           m_buffers.begin() + curIndex + 1);
    m_buffers[static_cast<size_t>(newIndex)] = buffer;
}

void TDataSet::ActivateBuffers()
{
    m_recordCount = 1;
    m_activeRecord = 0;
    m_currentRecord = 0;
    m_bof = false;
    m_eof = false;
}

void TDataSet::ClearBuffers()
{
    m_recordCount = 0;
    m_activeRecord = 0;
    m_currentRecord = -1;
    m_bof = true;
    m_eof = true;
}

void TDataSet::SetCurrentRecord(int index)
{
    if (m_currentRecord == index)
        return;
    TRecordBuffer buffer = m_buffers[static_cast<size_t>(index)];
    switch (GetBookmarkFlag(buffer)) {
    case bfCurrent:
    case bfInserted:
        InternalSetToRecord(buffer);
        break;
    case bfBOF:
        InternalFirst();
        break;
    case bfEOF:
        InternalLast();
        break;
    }
    m_currentRecord = index;
}

void TDataSet::UpdateCursorPos()
{
    if (m_recordCount > 0)
        SetCurrentRecord(m_activeRecord);
}

bool TDataSet::GetNextRecord()
{
    TGetMode mode = gmNext;
    if (m_recordCount > 0) {
        SetCurrentRecord(m_recordCount - 1);
        // A record being inserted at the end is not yet in the cursor: the
        // record after it is the cursor's current one.
        if (m_state == dsInsert && m_currentRecord == m_activeRecord &&
            GetBookmarkFlag(ActiveBuffer()) == bfCurrent)
            mode = gmCurrent;
    }
    const bool ok = GetRecord(m_buffers[static_cast<size_t>(m_recordCount)], mode, true) == grOK;
    if (ok) {
        if (m_recordCount == 0)
            ActivateBuffers();
        else if (m_recordCount < m_bufferCount)
            ++m_recordCount;
        else
            MoveBuffer(0, m_recordCount);
        m_currentRecord = m_recordCount - 1;
    } else
        CursorPosChanged();
    return ok;
}

bool TDataSet::GetPriorRecord()
{
    if (m_recordCount > 0)
        SetCurrentRecord(0);
    const bool ok = GetRecord(m_buffers[static_cast<size_t>(m_recordCount)], gmPrior, true) == grOK;
    if (ok) {
        if (m_recordCount == 0)
            ActivateBuffers();
        else {
            MoveBuffer(m_recordCount, 0);
            if (m_recordCount < m_bufferCount) {
                ++m_recordCount;
                ++m_activeRecord;
            }
        }
        m_currentRecord = 0;
    } else
        CursorPosChanged();
    return ok;
}

int TDataSet::GetNextRecords()
{
    int result = 0;
    while (m_recordCount < m_bufferCount && GetNextRecord())
        ++result;
    return result;
}

int TDataSet::GetPriorRecords()
{
    int result = 0;
    while (m_recordCount < m_bufferCount && GetPriorRecord())
        ++result;
    return result;
}

// ---------------------------------------------------------------------------
// Navigation

void TDataSet::DoBeforeScroll()
{
    Fire(BeforeScroll, this);
}

void TDataSet::DoAfterScroll()
{
    Fire(AfterScroll, this);
}

void TDataSet::First()
{
    CheckBrowseMode();
    DoBeforeScroll();
    ClearBuffers();
    try {
        InternalFirst();
        GetNextRecord();
        GetNextRecords();
    } catch (...) {
        m_bof = true;
        DataEvent(deDataSetChange, 0);
        throw;
    }
    m_bof = true;
    DataEvent(deDataSetChange, 0);
    DoAfterScroll();
}

void TDataSet::Last()
{
    CheckBrowseMode();
    DoBeforeScroll();
    ClearBuffers();
    try {
        InternalLast();
        GetPriorRecord();
        GetPriorRecords();
    } catch (...) {
        m_eof = true;
        DataEvent(deDataSetChange, 0);
        throw;
    }
    m_eof = true;
    DataEvent(deDataSetChange, 0);
    DoAfterScroll();
}

int TDataSet::MoveBy(int distance)
{
    CheckBrowseMode();
    int result = 0;
    DoBeforeScroll();
    if ((distance > 0 && !m_eof) || (distance < 0 && !m_bof)) {
        m_bof = false;
        m_eof = false;
        const int oldRecordCount = m_recordCount;
        int scrollDistance = 0;
        auto notify = [&] {
            if (m_recordCount != oldRecordCount)
                DataEvent(deDataSetChange, 0);
            else
                DataEvent(deDataSetScroll, scrollDistance);
        };
        try {
            while (distance > 0) {
                if (m_activeRecord < m_recordCount - 1)
                    ++m_activeRecord;
                else {
                    const int shift = m_recordCount < m_bufferCount ? 0 : 1;
                    if (GetNextRecord())
                        scrollDistance -= shift;
                    else {
                        m_eof = true;
                        break;
                    }
                }
                --distance;
                ++result;
            }
            while (distance < 0) {
                if (m_activeRecord > 0)
                    --m_activeRecord;
                else {
                    const int shift = m_recordCount < m_bufferCount ? 0 : 1;
                    if (GetPriorRecord())
                        scrollDistance += shift;
                    else {
                        m_bof = true;
                        break;
                    }
                }
                ++distance;
                --result;
            }
        } catch (...) {
            notify();
            throw;
        }
        notify();
        DoAfterScroll();
    }
    return result;
}

void TDataSet::Resync(TResyncMode mode)
{
    CheckActive();
    TRecordBuffer spare = m_buffers[static_cast<size_t>(m_recordCount)];
    if (mode.Contains(rmExact)) {
        CursorPosChanged();
        if (GetRecord(spare, gmCurrent, true) != grOK)
            DatabaseError(DBConsts::SRecordNotFound, this);
    } else if (GetRecord(spare, gmCurrent, false) != grOK && GetRecord(spare, gmNext, false) != grOK &&
               GetRecord(spare, gmPrior, false) != grOK) {
        ClearBuffers();
        DataEvent(deDataSetChange, 0);
        return;
    }
    int count = mode.Contains(rmCenter) ? (m_bufferCount - 1) / 2 : m_activeRecord;
    MoveBuffer(m_recordCount, 0);
    ActivateBuffers();
    try {
        while (count > 0 && GetPriorRecord())
            --count;
        GetNextRecords();
        GetPriorRecords();
    } catch (...) {
        DataEvent(deDataSetChange, 0);
        throw;
    }
    DataEvent(deDataSetChange, 0);
}

void TDataSet::Refresh()
{
    Fire(BeforeRefresh, this);
    CheckBrowseMode();
    UpdateCursorPos();
    try {
        InternalRefresh();
    } catch (...) {
        Resync({});
        throw;
    }
    Resync({});
    Fire(AfterRefresh, this);
}

// ---------------------------------------------------------------------------
// Bookmarks

bool TDataSet::BookmarkAvailable()
{
    return (m_state == dsBrowse || m_state == dsEdit || m_state == dsInsert) && !IsEmpty() &&
           GetBookmarkFlag(ActiveBuffer()) == bfCurrent;
}

TBookmark TDataSet::GetBookmark()
{
    if (!BookmarkAvailable() || m_bookmarkSize <= 0)
        return {};
    TBookmark result(static_cast<size_t>(m_bookmarkSize), '\0');
    GetBookmarkData(ActiveBuffer(), result.data());
    return result;
}

void TDataSet::GotoBookmark(const TBookmark& bookmark)
{
    if (bookmark.empty())
        return;
    // A bookmark of another size cannot be ours: the descendant must never
    // read past the bytes it expects.
    if (static_cast<int>(bookmark.size()) != m_bookmarkSize)
        DatabaseError(DBConsts::SRecordNotFound, this);
    CheckBrowseMode();
    DoBeforeScroll();
    InternalGotoBookmark(bookmark.data());
    Resync({rmExact, rmCenter});
    DoAfterScroll();
}

bool TDataSet::BookmarkValid(const TBookmark& bookmark)
{
    return Active() && !bookmark.empty() && static_cast<int>(bookmark.size()) == m_bookmarkSize;
}

int TDataSet::CompareBookmarks(const TBookmark& a, const TBookmark& b)
{
    if (a.empty() || b.empty())
        return a.empty() == b.empty() ? 0 : (a.empty() ? -1 : 1);
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// ---------------------------------------------------------------------------
// Editing

void TDataSet::CheckCanModify()
{
    if (!CanModify())
        DatabaseError(DBConsts::SDataSetReadOnly, this);
}

void TDataSet::CheckBrowseMode()
{
    CheckActive();
    DataEvent(deCheckBrowseMode, 0);
    switch (m_state) {
    case dsEdit:
    case dsInsert:
        UpdateRecord();
        if (m_modified)
            Post();
        else
            Cancel();
        break;
    case dsSetKey:
        Post();
        break;
    default:
        break;
    }
}

void TDataSet::UpdateRecord()
{
    if (!IsEditMode(m_state))
        DatabaseError(DBConsts::SNotEditing, this);
    DataEvent(deUpdateRecord, 0);
}

void TDataSet::Edit()
{
    if (m_state == dsEdit || m_state == dsInsert)
        return;
    if (m_recordCount == 0) {
        Insert();
        return;
    }
    CheckBrowseMode();
    CheckCanModify();
    Fire(BeforeEdit, this);
    UpdateCursorPos();
    InternalEdit();
    GetCalcFields(ActiveBuffer());
    SetState(dsEdit);
    DataEvent(deRecordChange, 0);
    Fire(AfterEdit, this);
}

void TDataSet::BeginInsertAppend()
{
    CheckBrowseMode();
    CheckCanModify();
    Fire(BeforeInsert, this);
}

void TDataSet::EndInsertAppend()
{
    SetState(dsInsert);
    try {
        DoOnNewRecord();
    } catch (...) {
        UpdateCursorPos();
        SetState(dsBrowse);
        Resync({});
        throw;
    }
    m_modified = false;
    DataEvent(deDataSetChange, 0);
    Fire(AfterInsert, this);
}

void TDataSet::Insert()
{
    BeginInsertAppend();
    const TBookmarkStr oldCurrent = GetBookmark();
    MoveBuffer(m_recordCount, m_activeRecord);
    TRecordBuffer buffer = ActiveBuffer();
    InitRecord(buffer);
    if (m_recordCount == 0)
        SetBookmarkFlag(buffer, bfBOF);
    else if (!oldCurrent.empty())
        SetBookmarkData(buffer, oldCurrent.data());
    if (m_recordCount < m_bufferCount)
        ++m_recordCount;
    InternalInsert();
    EndInsertAppend();
}

void TDataSet::Append()
{
    BeginInsertAppend();
    ClearBuffers();
    TRecordBuffer buffer = m_buffers[0];
    InitRecord(buffer);
    SetBookmarkFlag(buffer, bfEOF);
    m_recordCount = 1;
    m_activeRecord = 0;
    m_bof = false;
    m_eof = false;
    GetPriorRecords();
    InternalInsert();
    EndInsertAppend();
}

void TDataSet::InitRecord(TRecordBuffer buffer)
{
    InternalInitRecord(buffer);
    ClearCalcFields(buffer);
    SetBookmarkFlag(buffer, bfInserted);
}

void TDataSet::DoOnNewRecord()
{
    Fire(OnNewRecord, this);
}

void TDataSet::Post()
{
    UpdateRecord();
    if (m_state != dsEdit && m_state != dsInsert)
        return;
    DataEvent(deCheckBrowseMode, 0);
    Fire(BeforePost, this);
    UpdateCursorPos();
    InternalPost();
    SetState(dsBrowse);
    Resync({});
    Fire(AfterPost, this);
}

void TDataSet::InternalPost()
{
    CheckRequiredFields();
}

void TDataSet::CheckRequiredFields()
{
    for (TField* field : m_fields) {
        if (field->Required() && !field->ReadOnly() && field->FieldKind() == fkData && field->IsNull()) {
            field->FocusControl();
            DatabaseErrorFmt(DBConsts::SFieldRequired, {field->DisplayName()});
        }
    }
}

void TDataSet::Cancel()
{
    if (m_state != dsEdit && m_state != dsInsert)
        return;
    DataEvent(deCheckBrowseMode, 0);
    Fire(BeforeCancel, this);
    const bool scrollEvents = m_state == dsInsert;
    if (scrollEvents)
        DoBeforeScroll();
    UpdateCursorPos();
    InternalCancel();
    SetState(dsBrowse);
    Resync({});
    Fire(AfterCancel, this);
    if (scrollEvents)
        DoAfterScroll();
}

void TDataSet::Delete()
{
    CheckActive();
    if (m_state == dsInsert || m_state == dsSetKey) {
        Cancel();
        return;
    }
    if (m_recordCount == 0)
        DatabaseError(DBConsts::SDataSetEmpty, this);
    DataEvent(deCheckBrowseMode, 0);
    Fire(BeforeDelete, this);
    DoBeforeScroll();
    UpdateCursorPos();
    InternalDelete();
    SetState(dsBrowse);
    Resync({});
    Fire(AfterDelete, this);
    DoAfterScroll();
}

void TDataSet::InternalHandleException() {}

void TDataSet::SetFields(const std::vector<Variant>& values)
{
    const int count = std::min(static_cast<int>(values.size()), FieldCount());
    for (int i = 0; i < count; ++i) {
        if (!VarIsEmpty(values[static_cast<size_t>(i)]))
            m_fields.Fields(i)->SetAsVariant(values[static_cast<size_t>(i)]);
    }
}

void TDataSet::InsertRecord(const std::vector<Variant>& values)
{
    DoInsertAppendRecord(values, false);
}

void TDataSet::AppendRecord(const std::vector<Variant>& values)
{
    DoInsertAppendRecord(values, true);
}

void TDataSet::InternalAddRecord(TRecordBuffer, bool)
{
    InternalPost();
}

void TDataSet::DoInsertAppendRecord(const std::vector<Variant>& values, bool append)
{
    BeginInsertAppend();
    if (!append)
        UpdateCursorPos();
    const TBookmarkStr oldCurrent = append ? TBookmarkStr() : GetBookmark();
    DisableControls();
    try {
        // The spare buffer becomes the active one, as for Insert.
        MoveBuffer(m_recordCount, m_activeRecord);
        TRecordBuffer buffer = ActiveBuffer();
        InitRecord(buffer);
        if (append || m_recordCount == 0)
            SetBookmarkFlag(buffer, append ? bfEOF : bfBOF);
        else if (!oldCurrent.empty())
            SetBookmarkData(buffer, oldCurrent.data());
        if (m_recordCount < m_bufferCount)
            ++m_recordCount;
        SetState(dsInsert);
        SetFields(values);
        CursorPosChanged();
        SetCurrentRecord(m_activeRecord);
        InternalAddRecord(buffer, append);
        SetState(dsBrowse);
        Resync({});
    } catch (...) {
        SetState(dsBrowse);
        CursorPosChanged();
        try {
            if (!oldCurrent.empty())
                InternalGotoBookmark(oldCurrent.data());
            else
                InternalFirst();
            Resync({});
        } catch (...) {
            ClearBuffers();
        }
        EnableControls();
        throw;
    }
    EnableControls();
}

void TDataSet::ClearFields()
{
    if (!IsEditMode(m_state))
        DatabaseError(DBConsts::SNotEditing, this);
    for (TField* field : m_fields)
        if (field->FieldKind() == fkData && !field->ReadOnly())
            field->Clear();
}

// ---------------------------------------------------------------------------
// States and events

void TDataSet::SetState(TDataSetState value)
{
    if (m_state == value)
        return;
    m_state = value;
    m_modified = false;
    DataEvent(deUpdateState, 0);
}

TDataSetState TDataSet::SetTempState(TDataSetState value)
{
    const TDataSetState result = m_state;
    m_state = value;
    ++m_disableCount;
    return result;
}

void TDataSet::RestoreState(TDataSetState value)
{
    m_state = value;
    --m_disableCount;
}

Variant TDataSet::GetStateFieldValue(TDataSetState state, TField* field)
{
    TempStateGuard guard(m_state, m_disableCount, state);
    return field->GetAsVariant();
}

void TDataSet::DisableControls()
{
    if (m_disableCount == 0) {
        m_disableState = m_state;
        m_enableEvent = deDataSetChange;
    }
    ++m_disableCount;
}

void TDataSet::EnableControls()
{
    if (m_disableCount == 0)
        return;
    if (--m_disableCount == 0) {
        if (m_disableState != m_state)
            DataEvent(deUpdateState, 0);
        if (m_disableState != dsInactive && m_state != dsInactive)
            DataEvent(m_enableEvent, 0);
    }
}

void TDataSet::DataEvent(TDataEvent event, intptr_t info)
{
    switch (event) {
    case deFieldChange: {
        // Values written while calculating, filtering or reading other
        // versions are no change of the record.
        if (m_state != dsEdit && m_state != dsInsert && m_state != dsSetKey && m_state != dsBrowse)
            return;
        auto* field = reinterpret_cast<TField*>(info);
        if (field->FieldKind() == fkData || field->FieldKind() == fkInternalCalc)
            m_modified = true;
        if (m_state != dsSetKey && m_autoCalcFields && m_hasCalcFields && field->FieldKind() == fkData)
            GetCalcFields(ActiveBuffer());
        field->Change();
        break;
    }
    case dePropertyChange:
        m_fieldDefs->SetUpdated(false);
        break;
    default:
        break;
    }
    if (m_disableCount == 0) {
        // A copy: handlers may add or remove data sources.
        const std::vector<TDataSource*> sources = m_dataSources;
        for (TDataSource* ds : sources)
            ds->DataEvent(event, info);
    } else if ((event == deUpdateState && m_state == dsInactive) || event == deLayoutChange)
        m_enableEvent = deLayoutChange;
}

void TDataSet::AddDataSource(TDataSource* dataSource)
{
    m_dataSources.push_back(dataSource);
    UpdateBufferCount();
}

void TDataSet::RemoveDataSource(TDataSource* dataSource)
{
    m_dataSources.erase(std::remove(m_dataSources.begin(), m_dataSources.end(), dataSource),
                        m_dataSources.end());
    UpdateBufferCount();
}

bool TDataSet::IsLinkedTo(TDataSource* dataSource)
{
    return dataSource != nullptr && dataSource->IsLinkedTo(this);
}

// ---------------------------------------------------------------------------
// Fields

TField* TDataSet::FieldByName(const std::string& fieldName) const
{
    TField* field = FindField(fieldName);
    if (field == nullptr)
        DatabaseErrorFmt(DBConsts::SFieldNotFound, {fieldName}, this);
    return field;
}

std::vector<TField*> TDataSet::GetFieldList(const std::string& fieldNames) const
{
    std::vector<TField*> result;
    for (const std::string& name : SplitFieldNames(fieldNames))
        result.push_back(FieldByName(name));
    return result;
}

Variant TDataSet::FieldValues(const std::string& fieldNames)
{
    const std::vector<TField*> fields = GetFieldList(fieldNames);
    if (fields.size() == 1)
        return fields[0]->GetAsVariant();
    std::vector<Variant> values;
    values.reserve(fields.size());
    for (TField* field : fields)
        values.push_back(field->GetAsVariant());
    return VarArrayOf(values);
}

void TDataSet::SetFieldValues(const std::string& fieldNames, const Variant& value)
{
    const std::vector<TField*> fields = GetFieldList(fieldNames);
    if (fields.size() == 1) {
        fields[0]->SetAsVariant(value);
        return;
    }
    for (size_t i = 0; i < fields.size(); ++i)
        fields[i]->SetAsVariant(value[static_cast<int>(i)]);
}

void TDataSet::CreateFields()
{
    for (int i = 0; i < m_fieldDefs->Count(); ++i) {
        TFieldDef* def = m_fieldDefs->Items(i);
        if (def->DataType() != ftUnknown && !def->Attributes().Contains(faHiddenCol))
            def->CreateField(this);
    }
}

void TDataSet::DestroyFields()
{
    // Default fields belong to the dataset: only those are destroyed.
    std::vector<TField*> owned;
    for (TField* field : m_fields)
        if (field->Owner() == this)
            owned.push_back(field);
    for (TField* field : owned) {
        field->m_dataSet = nullptr;
        m_fields.Remove(field);
        delete field;
    }
}

void TDataSet::BindFields(bool binding)
{
    m_hasCalcFields = false;
    for (TField* field : m_fields) {
        if (binding) {
            if (field->FieldKind() == fkCalculated || field->FieldKind() == fkLookup) {
                field->m_fieldNo = -1;
                m_hasCalcFields = true;
            } else {
                TFieldDef* def = m_fieldDefs->FindDef(field->FieldName());
                if (def == nullptr)
                    DatabaseErrorFmt(DBConsts::SFieldNotFound, {field->FieldName()}, this);
                const TFieldType expected = def->DataType();
                const TFieldType actual = field->DataType();
                const bool compatible = expected == actual ||
                                        (expected == ftFixedChar && actual == ftString) ||
                                        (expected == ftString && actual == ftFixedChar) ||
                                        (expected == ftAutoInc && actual == ftInteger) ||
                                        (expected == ftFmtMemo && actual == ftMemo);
                if (!compatible)
                    DatabaseErrorFmt(DBConsts::SFieldTypeMismatch,
                                     {field->DisplayName(), FieldTypeName(actual), FieldTypeName(expected)},
                                     this);
                field->m_fieldNo = def->FieldNo();
                if (field->FieldKind() == fkInternalCalc)
                    m_hasCalcFields = true;
            }
        }
        field->Bind(binding);
    }
}

void TDataSet::FieldListChanged()
{
    m_fieldDefs->SetUpdated(false);
    DataEvent(deFieldListChange, 0);
}

// ---------------------------------------------------------------------------
// Calculated fields

void TDataSet::GetCalcFields(TRecordBuffer buffer)
{
    if (!m_hasCalcFields)
        return;
    const TDataSetState saved = m_state;
    m_state = dsCalcFields;
    try {
        CalculateFields(buffer);
    } catch (...) {
        m_state = saved;
        throw;
    }
    m_state = saved;
}

void TDataSet::CalculateFields(TRecordBuffer buffer)
{
    m_calcBuffer = buffer;
    ClearCalcFields(buffer);
    for (TField* field : m_fields)
        if (field->FieldKind() == fkLookup)
            field->CalcLookupValue();
    Fire(OnCalcFields, this);
}

// ---------------------------------------------------------------------------
// Filters and searching

void TDataSet::SetFilterText(const std::string& value)
{
    m_filterText = value;
}

void TDataSet::SetFilteredImpl(bool value)
{
    m_filtered = value;
}

void TDataSet::SetFilterOptionsImpl(TFilterOptions value)
{
    m_filterOptions = value;
}

bool TDataSet::DoFilterRecord()
{
    bool accept = true;
    if (OnFilterRecord)
        OnFilterRecord(this, accept);
    return accept;
}

bool TDataSet::FindFirst()
{
    return FindRecord(true, true);
}

bool TDataSet::FindLast()
{
    return FindRecord(true, false);
}

bool TDataSet::FindNext()
{
    return FindRecord(false, true);
}

bool TDataSet::FindPrior()
{
    return FindRecord(false, false);
}

bool TDataSet::FindRecord(bool restart, bool goForward)
{
    CheckBrowseMode();
    m_found = false;
    if (!OnFilterRecord || IsEmpty())
        return false;
    const TBookmark start = GetBookmark();
    DisableControls();
    bool found = false;
    try {
        if (restart)
            goForward ? First() : Last();
        else
            goForward ? Next() : Prior();
        while (!(goForward ? m_eof : m_bof) && !IsEmpty()) {
            if (DoFilterRecord()) {
                found = true;
                break;
            }
            goForward ? Next() : Prior();
        }
        if (!found && !start.empty())
            GotoBookmark(start);
    } catch (...) {
        EnableControls();
        throw;
    }
    EnableControls();
    m_found = found;
    return found;
}

bool TDataSet::ScanFor(const std::string& keyFields, const Variant& keyValues, TLocateOptions options,
                       bool moveThere, const std::function<void()>& onFound)
{
    CheckBrowseMode();
    const std::vector<TField*> fields = GetFieldList(keyFields);
    if (fields.empty() || IsEmpty())
        return false;
    auto matches = [&] {
        for (size_t i = 0; i < fields.size(); ++i) {
            const Variant key =
                fields.size() == 1 && !VarIsArray(keyValues) ? keyValues : keyValues[static_cast<int>(i)];
            if (!ValuesMatch(fields[i]->GetAsVariant(), key, options))
                return false;
        }
        return true;
    };
    const TBookmark start = GetBookmark();
    bool found = false;
    DisableControls();
    try {
        First();
        while (!m_eof) {
            if (matches()) {
                found = true;
                if (onFound)
                    onFound();
                break;
            }
            Next();
        }
        if ((!found || !moveThere) && !start.empty())
            GotoBookmark(start);
    } catch (...) {
        EnableControls();
        throw;
    }
    EnableControls();
    return found;
}

bool TDataSet::Locate(const std::string& keyFields, const Variant& keyValues, TLocateOptions options)
{
    return ScanFor(keyFields, keyValues, options, true, nullptr);
}

Variant TDataSet::Lookup(const std::string& keyFields, const Variant& keyValues,
                         const std::string& resultFields)
{
    Variant result = Variant::Null();
    ScanFor(keyFields, keyValues, {}, false, [&] { result = FieldValues(resultFields); });
    return result;
}

// ---------------------------------------------------------------------------
// Blobs

std::unique_ptr<TBlobStream> TDataSet::CreateBlobStream(TField* field, TBlobStreamMode mode)
{
    if (mode != bmRead) {
        if (!(m_state == dsEdit || m_state == dsInsert || m_state == dsSetKey || m_state == dsCalcFields ||
              m_state == dsNewValue || m_state == dsInternalCalc || m_state == dsBrowse))
            DatabaseError(DBConsts::SNotEditing, this);
        if (m_state == dsBrowse)
            Edit();
    }
    return std::make_unique<TBlobStream>(field, mode);
}
