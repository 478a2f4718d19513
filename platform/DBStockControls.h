#pragma once
// Data-aware stock controls of the class library: `TDBCheckBox` (a flag
// field), `TDBComboBox` (a text field chosen from or typed into a list) and
// `TDBLookupComboBox` (a key field shown by the text of a list dataset's
// row). Each edits the field of its data source's current record through a
// field data link: a change the user makes puts the dataset into edit state
// and writes the field. Widgets: main thread only.

#include "platform/DataSource.h"
#include "platform/StockControls.h"

#include <string>
#include <vector>

class TField;

class TDBCheckBox : public TCheckBox
{
  public:
    explicit TDBCheckBox(QWidget* Parent = nullptr);
    TDBCheckBox(const std::string& Caption, QWidget* Parent);
    ~TDBCheckBox() override;
    std::string ClassName() const override { return "TDBCheckBox"; }

    TDataSource* DataSource() const { return m_link.DataSource(); }
    void SetDataSource(TDataSource* Value) { m_link.SetDataSource(Value); }
    const std::string& DataField() const { return m_link.FieldName(); }
    void SetDataField(const std::string& Value) { m_link.SetFieldName(Value); }
    TField* Field() const { return m_link.Field(); }
    bool ReadOnly() const { return m_link.ReadOnly(); }
    void SetReadOnly(bool Value) { m_link.SetReadOnly(Value); }
    // The field texts of the two states ("T" and "F" by the server's flag
    // convention).
    std::string ValueChecked = "T";
    std::string ValueUnchecked = "F";

    void SetChecked(bool Value) override;

  private:
    void DataChange();
    void UserToggled(bool Checked);

    TFieldDataLink m_link;
    bool m_showing = false;
};

class TDBComboBox : public TComboBox
{
  public:
    explicit TDBComboBox(QWidget* Parent = nullptr);
    ~TDBComboBox() override;
    std::string ClassName() const override { return "TDBComboBox"; }

    TDataSource* DataSource() const { return m_link.DataSource(); }
    void SetDataSource(TDataSource* Value) { m_link.SetDataSource(Value); }
    const std::string& DataField() const { return m_link.FieldName(); }
    void SetDataField(const std::string& Value) { m_link.SetFieldName(Value); }
    TField* Field() const { return m_link.Field(); }
    // Read-only: the text cannot be typed and the list does not open.
    bool ReadOnly() const { return m_link.ReadOnly(); }
    void SetReadOnly(bool Value);
    // The lines of the list; the field's text is shown again afterwards.
    void SetItems(const std::vector<std::string>& Items);
    // Removes the line equal to Text (nothing when there is none).
    void RemoveItem(const std::string& Text);
    // Runs after a text the user chose or typed was written to the field.
    TNotifyEvent OnClick;

  private:
    void DataChange();
    void UserChanged();

    TFieldDataLink m_link;
    bool m_showing = false;
};

class TDBLookupComboBox : public TComboBox
{
  public:
    explicit TDBLookupComboBox(QWidget* Parent = nullptr);
    ~TDBLookupComboBox() override;
    std::string ClassName() const override { return "TDBLookupComboBox"; }

    TDataSource* DataSource() const { return m_link.DataSource(); }
    void SetDataSource(TDataSource* Value) { m_link.SetDataSource(Value); }
    const std::string& DataField() const { return m_link.FieldName(); }
    void SetDataField(const std::string& Value) { m_link.SetFieldName(Value); }
    // The list: rows of ListSource's dataset, keyed by KeyField, shown by
    // ListField. Call ReloadList after the list dataset changed.
    TDataSource* ListSource() const { return m_listSource; }
    void SetListSource(TDataSource* Value);
    std::string KeyField;
    std::string ListField;
    void ReloadList();
    // The text shown for the field's key.
    std::string DisplayText() const { return Text(); }
    bool ReadOnly() const { return m_link.ReadOnly(); }
    void SetReadOnly(bool Value);

  private:
    void DataChange();
    void UserChose(int Index);

    TFieldDataLink m_link;
    TDataSource* m_listSource = nullptr;
    bool m_showing = false;
};
