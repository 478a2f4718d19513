#pragma once
// `TDataSource` joins a dataset to the data links of controls; `TDataLink`
// is a control's end of it, `TFieldDataLink` binds one field, and
// `TMasterDataLink` lets a detail dataset follow its master.
//
// Order of notices: the dataset tells its data sources; a data source tells
// its links from the last added to the first, single-record links before
// multi-record ones (grids), and then fires OnDataChange / OnUpdateData. A
// link is active while its data source is enabled and its dataset open.

#include <functional>
#include <string>
#include <vector>

#include "platform/Component.h"
#include "platform/DBTypes.h"

class TDataLink;
class TDataSet;
class TDataSource;
class TField;

using TDataChangeEvent = std::function<void(TObject* sender, TField* field)>;

class TDataSource : public TComponent
{
  public:
    explicit TDataSource(TComponent* owner = nullptr);
    ~TDataSource() override;
    std::string ClassName() const override { return "TDataSource"; }

    TDataSet* DataSet() const { return m_dataSet; }
    // Raises "Circular datalinks are not allowed" when `dataSet` follows this
    // data source (directly or through its masters).
    void SetDataSet(TDataSet* dataSet);
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool value);
    bool AutoEdit() const { return m_autoEdit; }
    void SetAutoEdit(bool value) { m_autoEdit = value; }
    // dsInactive while disabled or without dataset.
    TDataSetState State() const { return m_state; }
    // Puts a browsing dataset into edit state when AutoEdit is on.
    void Edit();
    bool IsLinkedTo(TDataSet* dataSet) const;
    int DataLinkCount() const { return static_cast<int>(m_dataLinks.size()); }

    TNotifyEvent OnStateChange;
    TDataChangeEvent OnDataChange;
    TNotifyEvent OnUpdateData;

  private:
    friend class TDataSet;
    friend class TDataLink;
    void DataEvent(TDataEvent event, intptr_t info);
    void NotifyDataLinks(TDataEvent event, intptr_t info);
    void UpdateState();
    void SetState(TDataSetState value);
    void AddDataLink(TDataLink* link);
    void RemoveDataLink(TDataLink* link);

    TDataSet* m_dataSet = nullptr;
    bool m_enabled = true;
    bool m_autoEdit = true;
    TDataSetState m_state = dsInactive;
    std::vector<TDataLink*> m_dataLinks;
};

class TDataLink : public TPersistent
{
  public:
    TDataLink() = default;
    ~TDataLink() override;
    std::string ClassName() const override { return "TDataLink"; }

    TDataSource* DataSource() const { return m_dataSource; }
    void SetDataSource(TDataSource* value);
    // A fixed data source cannot be changed (raises "DataSource cannot be changed").
    bool DataSourceFixed() const { return m_dataSourceFixed; }
    void SetDataSourceFixed(bool value) { m_dataSourceFixed = value; }
    TDataSet* DataSet() const;
    bool Active() const { return m_active; }
    virtual bool Editing() const { return m_editing; }
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool value);

    // Records this link shows at once (1 for a single control; a grid's rows).
    int BufferCount() const { return m_bufferCount; }
    void SetBufferCount(int value);
    // The active record relative to the first record this link shows.
    int ActiveRecord() const;
    // Makes record `value` of this link's window the dataset's active record
    // for a moment (for painting rows); no cursor movement.
    void SetActiveRecord(int value);
    // Records of this link's window that hold data.
    int RecordCount() const;

    // Puts the dataset into edit state (unless read-only); answers Editing.
    virtual bool Edit();
    // Lets this link write its pending value (UpdateData) now.
    void UpdateRecord();

  protected:
    virtual void ActiveChanged() {}
    virtual void CheckBrowseMode() {}
    virtual void DataSetChanged() { RecordChanged(nullptr); }
    virtual void DataSetScrolled(int distance) { DataSetChanged(); }
    virtual void EditingChanged() {}
    virtual void FocusControl(TField** field) {}
    virtual void LayoutChanged() { DataSetChanged(); }
    virtual void RecordChanged(TField* field) {}
    virtual void UpdateData() {}

  private:
    friend class TDataSource;
    friend class TDataSet;
    void DataEvent(TDataEvent event, intptr_t info);
    void UpdateState();
    void SetActive(bool value);
    void SetEditing(bool value);
    void UpdateRange();

    TDataSource* m_dataSource = nullptr;
    bool m_dataSourceFixed = false;
    bool m_active = false;
    bool m_editing = false;
    bool m_readOnly = false;
    bool m_updating = false;
    int m_bufferCount = 1;
    int m_firstRecord = 0;
};

class TFieldDataLink;
using TFieldDataLinkEvent = std::function<void(TFieldDataLink* sender)>;

// Binds a control to one field by name. The field is looked up whenever the
// link becomes active or the layout changes ("Field '%s' not found" when the
// open dataset lacks it).
class TFieldDataLink : public TDataLink
{
  public:
    TFieldDataLink() = default;
    std::string ClassName() const override { return "TFieldDataLink"; }

    const std::string& FieldName() const { return m_fieldName; }
    void SetFieldName(const std::string& value);
    TField* Field() const { return m_field; }
    // The control this link serves (not owned).
    TObject* Control() const { return m_control; }
    void SetControl(TObject* value) { m_control = value; }
    // Not read-only, with a field that can be modified.
    bool CanModify() const;
    // The dataset is editing and this field can be modified.
    bool Editing() const override { return m_fieldEditing; }
    bool Edit() override;
    // The control changed its value; UpdateData then fires OnUpdateData.
    void Modified() { m_modified = true; }
    bool IsModified() const { return m_modified; }
    // Shows the field's value again (OnDataChange) and drops the control's change.
    void Reset() { RecordChanged(nullptr); }

    TFieldDataLinkEvent OnDataChange;
    TFieldDataLinkEvent OnEditingChange;
    TFieldDataLinkEvent OnUpdateData;
    TFieldDataLinkEvent OnActiveChange;

  protected:
    void ActiveChanged() override;
    void EditingChanged() override;
    void LayoutChanged() override;
    void RecordChanged(TField* field) override;
    void UpdateData() override;

  private:
    void UpdateField();
    void SetField(TField* value);
    void SetFieldEditing(bool value);

    std::string m_fieldName;
    TField* m_field = nullptr;
    TObject* m_control = nullptr;
    bool m_fieldEditing = false;
    bool m_modified = false;
};

class TMasterDataLink;
using TMasterLinkEvent = std::function<void(TMasterDataLink* sender)>;

// The link of a detail dataset to its master's data source. OnMasterChange
// fires when the master moves or a master field in FieldNames changes;
// OnMasterDisable when the link goes inactive or has no fields.
class TMasterDataLink : public TDataLink
{
  public:
    // `detail` is the dataset that follows the master.
    explicit TMasterDataLink(TDataSet* detail) : m_detail(detail) {}
    std::string ClassName() const override { return "TMasterDataLink"; }

    TDataSet* DetailDataSet() const { return m_detail; }
    const std::string& FieldNames() const { return m_fieldNames; }
    void SetFieldNames(const std::string& value);
    // The master's fields named by FieldNames (empty while inactive).
    const std::vector<TField*>& Fields() const { return m_fields; }

    TMasterLinkEvent OnMasterChange;
    TMasterLinkEvent OnMasterDisable;

  protected:
    void ActiveChanged() override;
    void CheckBrowseMode() override;
    void LayoutChanged() override { ActiveChanged(); }
    void RecordChanged(TField* field) override;

  private:
    TDataSet* m_detail;
    std::string m_fieldNames;
    std::vector<TField*> m_fields;
};
