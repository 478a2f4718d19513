#pragma once
// Unit ovnDBCombo: `TovnDBCombo`, the combo bound to one field: a caption,
// a borderless data edit and the lookup and plus buttons. With a calendar
// tool its field takes the tool's mask while the data is open, and a date
// emptied in the editor makes the field Null; under the date-and-time tool a
// date-time field shows as its value text ("03/15/2024 03:05 PM").

#include "platform/DBCtrls.h"
#include "platform/SysUtils.h"
#include "ui/ovnComboBase.h"

KLD_DECLARE_EXCEPTION(EovnDbCombo, Exception);

class TovnDBCombo : public TovnComboBase
{
  public:
    explicit TovnDBCombo(QWidget* Parent = nullptr, bool Designing = false);
    std::string ClassName() const override { return "TovnDBCombo"; }

    TDBEdit& DBEdit() { return static_cast<TDBEdit&>(Editor()); }
    TDataSource* DataSource() const { return m_dbEdit->DataSource(); }
    void SetDataSource(TDataSource* Value) { m_dbEdit->SetDataSource(Value); }
    const std::string& DataField() const { return m_dbEdit->DataField(); }
    void SetDataField(const std::string& Value);
    TField* Field() const { return m_dbEdit->Field(); }
    TLookupTool LookupTool() const { return m_tool; }
    // A calendar tool makes the editor editable and switches quick typing
    // off; the mask goes to the field at the next layout.
    void SetLookupTool(TLookupTool Value);

    void SetValue(const std::string& Value) override;
    std::string GetValue() override;
    void EnableContents(bool Value) override;
    void UpdateInteriorControls() override;

  protected:
    TLookupTool Tool() const override { return m_tool; }
    [[noreturn]] void RaiseError(const std::string& Message) const override;
    void EditorKeyDownFirst(uint16_t& Key) override;

  private:
    TDBEdit* m_dbEdit;
    TLookupTool m_tool = TLookupTool::ltNone;
    bool m_dataFieldSet = false;
};
