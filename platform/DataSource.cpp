#include "platform/DataSource.h"

#include <algorithm>

#include "platform/DataSet.h"

// ---------------------------------------------------------------------------
// TDataSource

TDataSource::TDataSource(TComponent* owner) : TComponent(owner) {}

TDataSource::~TDataSource()
{
    // Links outlive their data source only as unbound links.
    while (!m_dataLinks.empty()) {
        TDataLink* link = m_dataLinks.back();
        m_dataLinks.pop_back();
        link->m_dataSource = nullptr;
        link->SetEditing(false);
        link->SetActive(false);
    }
    if (m_dataSet != nullptr) {
        m_dataSet->RemoveDataSource(this);
        m_dataSet = nullptr;
    }
}

void TDataSource::SetDataSet(TDataSet* dataSet)
{
    if (dataSet == m_dataSet)
        return;
    if (IsLinkedTo(dataSet))
        DatabaseError(DBConsts::SCircularDataLink, this);
    if (m_dataSet != nullptr)
        m_dataSet->RemoveDataSource(this);
    m_dataSet = dataSet;
    if (m_dataSet != nullptr)
        m_dataSet->AddDataSource(this);
    UpdateState();
}

void TDataSource::SetEnabled(bool value)
{
    m_enabled = value;
    UpdateState();
}

void TDataSource::Edit()
{
    if (m_autoEdit && m_state == dsBrowse && m_dataSet != nullptr)
        m_dataSet->Edit();
}

bool TDataSource::IsLinkedTo(TDataSet* dataSet) const
{
    // Walks the chain of masters so that a dataset can never (indirectly)
    // follow itself.
    int guard = 0;
    while (dataSet != nullptr && guard++ < 1000) {
        TDataSource* source = dataSet->GetDataSource();
        if (source == nullptr)
            return false;
        if (source == this)
            return true;
        dataSet = source->DataSet();
    }
    return false;
}

void TDataSource::UpdateState()
{
    if (m_enabled && m_dataSet != nullptr)
        SetState(m_dataSet->State());
    else
        SetState(dsInactive);
}

void TDataSource::SetState(TDataSetState value)
{
    if (m_state == value)
        return;
    const TDataSetState prior = m_state;
    m_state = value;
    NotifyDataLinks(deUpdateState, 0);
    if (!ComponentState().Contains(csDestroying)) {
        if (OnStateChange)
            OnStateChange(this);
        if (prior == dsInactive && OnDataChange)
            OnDataChange(this, nullptr);
    }
}

void TDataSource::NotifyDataLinks(TDataEvent event, intptr_t info)
{
    // Copies: a handler may add or remove links.
    const std::vector<TDataLink*> links = m_dataLinks;
    auto stillLinked = [this](TDataLink* link) {
        return std::find(m_dataLinks.begin(), m_dataLinks.end(), link) != m_dataLinks.end();
    };
    for (auto it = links.rbegin(); it != links.rend(); ++it)
        if (stillLinked(*it) && (*it)->m_bufferCount == 1)
            (*it)->DataEvent(event, info);
    for (auto it = links.rbegin(); it != links.rend(); ++it)
        if (stillLinked(*it) && (*it)->m_bufferCount > 1)
            (*it)->DataEvent(event, info);
}

void TDataSource::DataEvent(TDataEvent event, intptr_t info)
{
    if (event == deUpdateState) {
        UpdateState();
        return;
    }
    if (m_state == dsInactive)
        return;
    NotifyDataLinks(event, info);
    switch (event) {
    case deFieldChange:
        if (OnDataChange)
            OnDataChange(this, reinterpret_cast<TField*>(info));
        break;
    case deRecordChange:
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange:
        if (OnDataChange)
            OnDataChange(this, nullptr);
        break;
    case deUpdateRecord:
        if (OnUpdateData)
            OnUpdateData(this);
        break;
    default:
        break;
    }
}

void TDataSource::AddDataLink(TDataLink* link)
{
    m_dataLinks.push_back(link);
    link->m_dataSource = this;
    if (m_dataSet != nullptr)
        m_dataSet->UpdateBufferCount();
    link->UpdateState();
}

void TDataSource::RemoveDataLink(TDataLink* link)
{
    m_dataLinks.erase(std::remove(m_dataLinks.begin(), m_dataLinks.end(), link), m_dataLinks.end());
    link->m_dataSource = nullptr;
    link->UpdateState();
    if (m_dataSet != nullptr)
        m_dataSet->UpdateBufferCount();
}

// ---------------------------------------------------------------------------
// TDataLink

TDataLink::~TDataLink()
{
    if (m_dataSource != nullptr) {
        TDataSource* source = m_dataSource;
        source->m_dataLinks.erase(std::remove(source->m_dataLinks.begin(), source->m_dataLinks.end(), this),
                                  source->m_dataLinks.end());
        m_dataSource = nullptr;
        if (source->m_dataSet != nullptr)
            source->m_dataSet->UpdateBufferCount();
    }
}

void TDataLink::SetDataSource(TDataSource* value)
{
    if (value == m_dataSource)
        return;
    if (m_dataSourceFixed)
        DatabaseError("DataSource cannot be changed");
    if (m_dataSource != nullptr)
        m_dataSource->RemoveDataLink(this);
    if (value != nullptr)
        value->AddDataLink(this);
}

TDataSet* TDataLink::DataSet() const
{
    return m_dataSource != nullptr ? m_dataSource->DataSet() : nullptr;
}

void TDataLink::SetReadOnly(bool value)
{
    if (m_readOnly == value)
        return;
    m_readOnly = value;
    UpdateState();
}

void TDataLink::SetBufferCount(int value)
{
    value = std::max(1, value);
    if (m_bufferCount == value)
        return;
    m_bufferCount = value;
    if (m_active) {
        UpdateRange();
        DataSet()->UpdateBufferCount();
        UpdateRange();
    }
}

int TDataLink::ActiveRecord() const
{
    if (m_dataSource == nullptr || m_dataSource->State() == dsSetKey || DataSet() == nullptr)
        return 0;
    return DataSet()->m_activeRecord - m_firstRecord;
}

void TDataLink::SetActiveRecord(int value)
{
    TDataSet* ds = DataSet();
    if (ds == nullptr || m_dataSource->State() == dsSetKey)
        return;
    const int index = value + m_firstRecord;
    KLD_ASSERT("DB", index >= 0 && index < std::max(1, ds->m_recordCount));
    ds->m_activeRecord = index;
}

int TDataLink::RecordCount() const
{
    TDataSet* ds = DataSet();
    if (ds == nullptr)
        return 0;
    if (m_dataSource->State() == dsSetKey)
        return 1;
    return std::min(std::max(0, ds->m_recordCount - m_firstRecord), m_bufferCount);
}

bool TDataLink::Edit()
{
    if (!m_readOnly && m_dataSource != nullptr)
        m_dataSource->Edit();
    return m_editing;
}

void TDataLink::UpdateRecord()
{
    m_updating = true;
    try {
        UpdateData();
    } catch (...) {
        m_updating = false;
        throw;
    }
    m_updating = false;
}

void TDataLink::UpdateRange()
{
    TDataSet* ds = DataSet();
    if (ds == nullptr)
        return;
    const int activeRecord = ds->m_activeRecord;
    int min = std::max(0, activeRecord - m_bufferCount + 1);
    int max = std::min(std::max(0, ds->m_bufferCount - m_bufferCount), activeRecord);
    if (m_firstRecord < min)
        m_firstRecord = min;
    if (m_firstRecord > max)
        m_firstRecord = max;
}

void TDataLink::SetActive(bool value)
{
    if (m_active == value)
        return;
    m_active = value;
    if (value)
        UpdateRange();
    else
        m_firstRecord = 0;
    ActiveChanged();
}

void TDataLink::SetEditing(bool value)
{
    if (m_editing == value)
        return;
    m_editing = value;
    EditingChanged();
}

void TDataLink::UpdateState()
{
    if (m_dataSource == nullptr) {
        SetEditing(false);
        SetActive(false);
        return;
    }
    SetActive(m_dataSource->Enabled() && m_dataSource->State() != dsInactive);
    const TDataSetState state = m_dataSource->State();
    SetEditing(IsEditMode(state) && !m_readOnly);
}

void TDataLink::DataEvent(TDataEvent event, intptr_t info)
{
    if (event == deUpdateState) {
        UpdateState();
        return;
    }
    if (!m_active)
        return;
    switch (event) {
    case deFieldChange:
    case deRecordChange:
        if (!m_updating)
            RecordChanged(reinterpret_cast<TField*>(info));
        break;
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange: {
        int count = 0;
        if (m_dataSource->State() != dsSetKey) {
            // Keep the active record inside this link's window.
            const int active = DataSet()->m_activeRecord;
            const int first = m_firstRecord + static_cast<int>(event == deDataSetScroll ? info : 0);
            const int last = first + m_bufferCount - 1;
            if (active > last)
                count = active - last;
            else if (active < first)
                count = active - first;
            m_firstRecord = first + count;
        }
        if (event == deDataSetChange)
            DataSetChanged();
        else if (event == deDataSetScroll)
            DataSetScrolled(count);
        else
            LayoutChanged();
        break;
    }
    case deUpdateRecord:
        UpdateRecord();
        break;
    case deCheckBrowseMode:
        CheckBrowseMode();
        break;
    case deFocusControl:
        FocusControl(reinterpret_cast<TField**>(info));
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------------------
// TFieldDataLink

void TFieldDataLink::SetFieldName(const std::string& value)
{
    if (m_fieldName == value)
        return;
    m_fieldName = value;
    UpdateField();
}

bool TFieldDataLink::CanModify() const
{
    return !ReadOnly() && m_field != nullptr && m_field->CanModify();
}

bool TFieldDataLink::Edit()
{
    if (CanModify())
        TDataLink::Edit();
    return m_fieldEditing;
}

void TFieldDataLink::UpdateField()
{
    if (Active() && !m_fieldName.empty()) {
        m_field = nullptr;
        SetField(DataSet()->FieldByName(m_fieldName));
    } else
        SetField(nullptr);
}

void TFieldDataLink::SetField(TField* value)
{
    if (m_field == value)
        return;
    m_field = value;
    EditingChanged();
    RecordChanged(nullptr);
}

void TFieldDataLink::ActiveChanged()
{
    UpdateField();
    if (OnActiveChange)
        OnActiveChange(this);
}

void TFieldDataLink::EditingChanged()
{
    SetFieldEditing(TDataLink::Editing() && CanModify());
}

void TFieldDataLink::SetFieldEditing(bool value)
{
    if (m_fieldEditing == value)
        return;
    m_fieldEditing = value;
    m_modified = false;
    if (OnEditingChange)
        OnEditingChange(this);
}

void TFieldDataLink::LayoutChanged()
{
    UpdateField();
}

void TFieldDataLink::RecordChanged(TField* field)
{
    if (field == nullptr || field == m_field) {
        if (OnDataChange)
            OnDataChange(this);
        m_modified = false;
    }
}

void TFieldDataLink::UpdateData()
{
    if (!m_modified)
        return;
    if (m_field != nullptr && OnUpdateData)
        OnUpdateData(this);
    m_modified = false;
}

// ---------------------------------------------------------------------------
// TMasterDataLink

void TMasterDataLink::SetFieldNames(const std::string& value)
{
    if (m_fieldNames == value)
        return;
    m_fieldNames = value;
    ActiveChanged();
}

void TMasterDataLink::ActiveChanged()
{
    m_fields.clear();
    if (Active())
        m_fields = DataSet()->GetFieldList(m_fieldNames);
    if (m_detail->Active() && !m_detail->ComponentState().Contains(csDestroying)) {
        if (Active() && !m_fields.empty()) {
            if (OnMasterChange)
                OnMasterChange(this);
        } else if (OnMasterDisable)
            OnMasterDisable(this);
    }
}

void TMasterDataLink::CheckBrowseMode()
{
    if (m_detail->Active())
        m_detail->CheckBrowseMode();
}

void TMasterDataLink::RecordChanged(TField* field)
{
    if (DataSource()->State() != dsSetKey && m_detail->Active() && !m_fields.empty() &&
        (field == nullptr || std::find(m_fields.begin(), m_fields.end(), field) != m_fields.end()) &&
        OnMasterChange)
        OnMasterChange(this);
}
