#pragma once
// The data-aware check box and combo box of the GUI library, and its plain
// one-line edit:
//
// - `TDBCheckBox` shows a field whose ValueChecked text ("T" unless set)
//   means checked; a click puts the dataset into edit state through its
//   link and writes ValueChecked or ValueUnchecked ("F"). When the dataset
//   refuses the edit the box goes back to the field's value.
// - `TDBComboBox` shows a field's text among fixed items; choosing an item
//   edits the dataset and writes the item's text.
// - `TEdit`: the plain edit over the edit base (no mask).
// Widgets: main thread only.

#include "platform/DataSource.h"
#include "platform/Mask.h"

#include <QCheckBox>
#include <QComboBox>

#include <string>
#include <vector>

class TField;

class TDBCheckBox : public QCheckBox, public TObject
{
  public:
    explicit TDBCheckBox(const std::string& Caption, QWidget* Parent = nullptr);
    ~TDBCheckBox() override;
    std::string ClassName() const override { return "TDBCheckBox"; }

    void SetDataSource(TDataSource* Value) { m_link.SetDataSource(Value); }
    void SetDataField(const std::string& Value) { m_link.SetFieldName(Value); }
    TField* Field() const { return m_link.Field(); }
    std::string ValueChecked = "T";
    std::string ValueUnchecked = "F";
    // A number the form keeps with the control (100: never enabled by an editing mode).
    int Tag = 0;

  private:
    void DataChange();
    void Clicked(bool Checked);

    TFieldDataLink m_link;
    bool m_showing = false;
};

class TDBComboBox : public QComboBox, public TObject
{
  public:
    explicit TDBComboBox(QWidget* Parent = nullptr);
    ~TDBComboBox() override;
    std::string ClassName() const override { return "TDBComboBox"; }

    void SetDataSource(TDataSource* Value) { m_link.SetDataSource(Value); }
    void SetDataField(const std::string& Value) { m_link.SetFieldName(Value); }
    TField* Field() const { return m_link.Field(); }
    void SetItems(const std::vector<std::string>& Items);
    // Removes an item by its text (nothing when absent).
    void RemoveItem(const std::string& Text);
    std::string Text() const { return currentText().toStdString(); }
    // Runs after a choice was written to the field.
    TNotifyEvent OnClick;
    int Tag = 0;

  private:
    void DataChange();
    void Chosen(int Index);

    TFieldDataLink m_link;
    bool m_showing = false;
};

class TEdit : public TCustomMaskEdit
{
  public:
    explicit TEdit(QWidget* Parent = nullptr) : TCustomMaskEdit(Parent) {}
    std::string ClassName() const override { return "TEdit"; }
};
