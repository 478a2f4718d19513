// What a dataset does over its rows as a whole: the engine's notices,
// filters, searching, the master/detail link and the modification tests.
#include "Components/KldDBComponents/KldDataSet.h"

#include <algorithm>

#include "Components/KldDBComponents/dbExtDataSetContext.h"
#include "Components/KldDBComponents/dbExtEvaluator.h"
#include "platform/SysUtils.h"

namespace {

constexpr const char* SCircularDataLink = "Circular DataLink";

bool SameValue(const Variant& a, const Variant& b)
{
    bool aNull = a.IsNull() || a.IsEmpty();
    bool bNull = b.IsNull() || b.IsEmpty();
    if (aNull || bNull)
        return aNull == bNull;
    try {
        return VarSameValue(a, b);
    } catch (const Exception&) {
        return false;
    }
}

// Counts the dataset's engine notices in progress.
class NotifyScope
{
  public:
    explicit NotifyScope(int& depth) : m_depth(depth) { ++m_depth; }
    ~NotifyScope() { --m_depth; }
    NotifyScope(const NotifyScope&) = delete;
    NotifyScope& operator=(const NotifyScope&) = delete;

  private:
    int& m_depth;
};

} // namespace

// ============================================================================
// Engine notices

void TKldDataSet::RowSetNotify(TObject* sender, TKldDataEventType event)
{
    NotifyScope scope(m_notifyDepth);
    switch (event) {
    case cdeContainerDeactivated:
        Close();
        break;
    case cdeContainerDataChanged:
    case cdeTableDataChanged:
        if (!m_suppressDataChange && Active()) {
            CancelPending();
            Refresh();
        }
        break;
    case cdeRowDeleted:
        if (!m_deleting && Active()) {
            // Where the dataset stands is taken before the cancel, which
            // resynchronises at indexes the deletion has shifted.
            TKldDataRow* current = nullptr;
            int index = m_currentIndex;
            auto takeActive = [&] {
                if (!IsEmpty() && GetBookmarkFlag(ActiveBuffer()) == bfCurrent) {
                    current = BufRow(ActiveBuffer());
                    index = BufIndex(ActiveBuffer());
                }
            };
            takeActive();
            if (State() == dsEdit || State() == dsInsert) {
                // The cancel must put the cursor on its record again.
                CursorPosChanged();
                CancelPending();
                if (!current)
                    takeActive();
            }
            int position = RowPosition(current);
            // When the row itself went, the row that took its place.
            m_currentIndex = position >= 0 ? position : std::min(index, m_rowSet->GetRowCount() - 1);
            Resync({});
        }
        break;
    default:
        break;
    }
}

// ============================================================================
// Filters

void TKldDataSet::RebuildEvaluator()
{
    m_evaluator.reset();
    if (!Filter().empty() && !OnFilterRecord)
        m_evaluator =
            std::make_unique<TEvaluator>(Filter(), static_cast<TDataSet*>(this), TDataSetContext::Class());
}

void TKldDataSet::FilterRow(TKldDataRow* row, bool& accept)
{
    accept = true;
    if (!OnFilterRecord && !m_evaluator)
        return;
    bool live = row && row->Table() == m_table && row->GetState(drsStored) && !row->GetState(drsDeleted);
    TRecordBuffer savedBuffer = m_tempBuffer;
    m_tempBuffer = m_filterBuffer;
    FillBuffer(m_filterBuffer, -1, live ? row : nullptr);
    TDataSetState saved = SetTempState(dsFilter);
    try {
        GetCalcFields(m_filterBuffer);
        if (OnFilterRecord)
            OnFilterRecord(this, accept);
        else
            accept = m_evaluator->Evaluate().AsBoolean();
    } catch (...) {
        // A filter that fails on a row shows the row.
    }
    RestoreState(saved);
    m_tempBuffer = savedBuffer;
}

void TKldDataSet::SetFilterText(const std::string& value)
{
    if (value == Filter())
        return;
    if (!Active() || !Filtered()) {
        TDataSet::SetFilterText(value);
        return;
    }
    // The new text is parsed before it replaces the old one.
    std::unique_ptr<TEvaluator> evaluator;
    if (!value.empty() && !OnFilterRecord)
        evaluator =
            std::make_unique<TEvaluator>(value, static_cast<TDataSet*>(this), TDataSetContext::Class());
    TDataSet::SetFilterText(value);
    m_evaluator = std::move(evaluator);
    Refresh();
    First();
}

void TKldDataSet::SetFilteredImpl(bool value)
{
    if (!Active()) {
        TDataSet::SetFilteredImpl(value);
        return;
    }
    CheckBrowseMode();
    if (value != Filtered()) {
        // A filter text that does not parse fails before anything changed.
        RebuildEvaluator();
        TDataSet::SetFilteredImpl(value);
        m_rowSet->SetFiltered(value);
    }
    First();
}

bool TKldDataSet::FindRecord(bool restart, bool goForward)
{
    CheckBrowseMode();
    if (!OnFilterRecord) {
        SetFound(true);
        return true;
    }
    UpdateCursorPos();
    TKldDataRow* row = m_rowSet->FindNext(restart, goForward, m_currentIndex);
    if (row)
        MoveToRow(row);
    SetFound(row != nullptr);
    return row != nullptr;
}

// ============================================================================
// Searching

TKldDataRow* TKldDataSet::LocateObject(const std::string& keyFields, const Variant& keyValues,
                                       TLocateOptions options)
{
    CheckActive();
    TKldCompareOptions compare;
    if (options.Contains(loCaseInsensitive))
        compare.Include(coCaseInsensitive);
    if (options.Contains(loPartialKey))
        compare.Include(coPartialKey);
    return m_rowSet->Locate(keyFields, keyValues, compare);
}

bool TKldDataSet::Locate(const std::string& keyFields, const Variant& keyValues, TLocateOptions options)
{
    CheckBrowseMode();
    TKldDataRow* row = LocateObject(keyFields, keyValues, options);
    if (row)
        MoveToRow(row);
    return row != nullptr;
}

Variant TKldDataSet::Lookup(const std::string& keyFields, const Variant& keyValues,
                            const std::string& resultFields)
{
    CheckActive();
    TKldDataRow* row = m_ignoreFilteringForLookup ? m_table->Locate(keyFields, keyValues, {})
                                                  : LocateObject(keyFields, keyValues, {});
    if (!row || row->GetState(drsDeleted))
        return Variant::Null();
    TRecordBuffer savedBuffer = m_tempBuffer;
    m_tempBuffer = m_lookupBuffer;
    FillBuffer(m_lookupBuffer, -1, row);
    TDataSetState saved = SetTempState(dsFilter);
    Variant result;
    try {
        GetCalcFields(m_lookupBuffer);
        result = FieldValues(resultFields);
    } catch (...) {
        RestoreState(saved);
        m_tempBuffer = savedBuffer;
        throw;
    }
    RestoreState(saved);
    m_tempBuffer = savedBuffer;
    return result;
}

// ============================================================================
// Master/detail

TDataSource* TKldDataSet::MasterSource() const
{
    return m_masterLink ? m_masterLink->DataSource() : nullptr;
}

void TKldDataSet::SetMasterSource(TDataSource* value)
{
    int guard = 0;
    for (TDataSet* dataSet = value ? value->DataSet() : nullptr; dataSet && guard < 1000; ++guard) {
        if (dataSet == this)
            DatabaseError(SCircularDataLink, this);
        TDataSource* source = dataSet->GetDataSource();
        dataSet = source ? source->DataSet() : nullptr;
    }
    m_masterLink->SetDataSource(value);
}

const std::string& TKldDataSet::MasterFields() const
{
    return m_masterLink->FieldNames();
}

void TKldDataSet::SetMasterFields(const std::string& value)
{
    m_masterLink->SetFieldNames(value);
}

void TKldDataSet::SetDetailFields(const std::string& value)
{
    std::string trimmed = Trim(value);
    if (trimmed == m_detailFields)
        return;
    m_detailFields = trimmed;
    if (!Active())
        return;
    CheckBrowseMode();
    if (m_detailFields.empty()) {
        if (m_rowSet->SetMasterKey("", Variant::Null()))
            First();
    } else {
        SyncMaster();
    }
}

Variant TKldDataSet::MasterValues() const
{
    const std::vector<TField*>& fields = m_masterLink->Fields();
    if (fields.size() == 1)
        return fields[0]->Value();
    std::vector<Variant> values;
    values.reserve(fields.size());
    for (TField* field : fields)
        values.push_back(field->Value());
    return VarArrayOf(values);
}

void TKldDataSet::MasterChanged()
{
    CheckBrowseMode();
    if (m_masterLink->Active())
        SyncMaster();
}

void TKldDataSet::MasterDisabled()
{
    if (!IsCursorOpen())
        return;
    if (m_rowSet->SetMasterKey("", Variant::Null()))
        First();
}

void TKldDataSet::SyncMaster()
{
    if (m_masterLink->Fields().empty() || m_detailFields.empty())
        return;
    if (m_rowSet->SetMasterKey(m_detailFields, MasterValues()))
        First();
}

void TKldDataSet::GetDetailLinkFields(std::vector<TField*>& masterFields, std::vector<TField*>& detailFields)
{
    masterFields.clear();
    detailFields.clear();
    TDataSource* source = MasterSource();
    if (source && source->DataSet()) {
        for (TField* field : source->DataSet()->Fields())
            masterFields.push_back(field);
    }
    for (TField* field : Fields())
        detailFields.push_back(field);
}

// ============================================================================
// Modification tests

bool TKldDataSet::IsRecordModified()
{
    if (!Active() || Bof() || Eof())
        return false;
    for (TField* field : Fields()) {
        if (field->FieldKind() == fkData && !SameValue(field->OldValue(), field->Value()))
            return true;
    }
    return false;
}

bool TKldDataSet::IsDataModified()
{
    if (!Active() || !m_table)
        return false;
    if (m_table->DeletedCount() > 0 || IsRecordModified())
        return true;
    for (int i = 0; i < m_table->RowCount(); ++i) {
        TKldDataRow* row = m_table->GetRow(i);
        if (row->GetState(drsInserted) || row->GetState(drsUpdated))
            return true;
    }
    return false;
}
