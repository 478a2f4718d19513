#pragma once
// Unit ovnDBEdit: `TovnDBEdit`, the captioned edit bound to one field. At
// design time setting DataField names the caption after the field
// (FIRST_NAME gives "First Name").

#include "platform/DBCtrls.h"
#include "ui/ovnCaptionedEdit.h"

class TovnDBEdit : public TovnCaptionedEdit
{
  public:
    explicit TovnDBEdit(QWidget* Parent = nullptr, bool Designing = false);
    std::string ClassName() const override { return "TovnDBEdit"; }

    TDBEdit& DBEdit() { return *m_dbEdit; }
    TDataSource* DataSource() const { return m_dbEdit->DataSource(); }
    void SetDataSource(TDataSource* Value) { m_dbEdit->SetDataSource(Value); }
    const std::string& DataField() const { return m_dbEdit->DataField(); }
    void SetDataField(const std::string& Value);
    TField* Field() const { return m_dbEdit->Field(); }

    void SetValue(const std::string& Value) override;
    std::string GetValue() override;

  protected:
    void DoEnter() override;
    void DoExit() override;

  private:
    TDBEdit* m_dbEdit;
    bool m_dataFieldSet = false;
};

// The caption a field name gives: underscores as blanks, the first letter
// and each letter after an underscore in upper case, the rest lower case.
std::string CaptionFromFieldName(const std::string& FieldName);
// Writes Value into Field as text when Field has a dataset that is
// inserting or editing; otherwise nothing.
void SetFieldValueText(TField* Field, const std::string& Value);
