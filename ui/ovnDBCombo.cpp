#include "ui/ovnDBCombo.h"

#include "platform/DataSet.h"
#include "platform/Fields.h"
#include "ui/ovnCalendar.h"
#include "ui/ovnComboRules.h"
#include "ui/ovnDBEdit.h"

namespace {

// The combo's data edit: under the date-and-time tool a date with its time
// of day shows as the tool's value text, which its mask holds (the field's
// own text carries seconds and a 24-hour clock that the mask would scramble).
class TDBComboEdit final : public TDBEdit
{
  public:
    TLookupTool Tool = TLookupTool::ltNone;

  protected:
    std::string FieldText(TField& Field, bool Display) override
    {
        const TFieldType type = Field.DataType();
        if (Tool != TLookupTool::ltCalendarDateTime || (type != ftDateTime && type != ftTimeStamp) ||
            Field.IsNull())
            return TDBEdit::FieldText(Field, Display);
        return DateTimeToolText(Field.AsDateTime());
    }
};

} // namespace

TovnDBCombo::TovnDBCombo(QWidget* Parent, bool Designing)
    : TovnComboBase(Parent, new TDBComboEdit(), Designing, ckDBCombo)
{
    m_dbEdit = static_cast<TDBEdit*>(&Editor());
}

void TovnDBCombo::SetDataField(const std::string& Value)
{
    m_dbEdit->SetDataField(Value);
    if (Designing()) {
        if (m_dataFieldSet || Caption() == "Caption")
            SetCaption(CaptionFromFieldName(Value));
        m_dataFieldSet = true;
    }
}

void TovnDBCombo::SetLookupTool(TLookupTool Value)
{
    m_tool = Value;
    static_cast<TDBComboEdit*>(m_dbEdit)->Tool = Value;
    // The field shows in the tool's form from now on.
    if (!m_dbEdit->DataLink().IsModified())
        m_dbEdit->DataLink().Reset();
    if (Value == TLookupTool::ltNone)
        return;
    SetReadOnly(false);
    SetQuickType(false);
}

void TovnDBCombo::SetValue(const std::string& Value)
{
    SetFieldValueText(m_dbEdit->Field(), Value);
}

std::string TovnDBCombo::GetValue()
{
    return Text();
}

void TovnDBCombo::EnableContents(bool Value)
{
    if (Value && m_tool != TLookupTool::ltNone)
        SetReadOnly(false);
    TovnComboBase::EnableContents(Value);
}

void TovnDBCombo::UpdateInteriorControls()
{
    TovnComboBase::UpdateInteriorControls();
    TDataSet* dataSet = m_dbEdit->DataSource() ? m_dbEdit->DataSource()->DataSet() : nullptr;
    if (!m_focused || !dataSet || !dataSet->Active() || DataField().empty())
        return;
    // A field's new mask shows every control of the dataset again, which
    // drops a value not yet written (a calendar pick whose control lost the
    // focus to the calendar): the mask is set only when it changes.
    TField* field = m_dbEdit->Field();
    const std::string mask = CalendarToolMask(m_tool);
    if (field && field->EditMask() != mask)
        field->SetEditMask(mask);
}

void TovnDBCombo::RaiseError(const std::string& Message) const
{
    throw EovnDbCombo(Message);
}

void TovnDBCombo::EditorKeyDownFirst(uint16_t&)
{
    if (m_tool != TLookupTool::ltCalendarDate && m_tool != TLookupTool::ltCalendarDateTime)
        return;
    TField* field = m_dbEdit->Field();
    if (!field || !field->DataSet() || DataField().empty())
        return;
    const TDataSetState state = field->DataSet()->State();
    if ((state == dsInsert || state == dsEdit) && Editor().EditText() == BlankToolText(m_tool))
        field->Clear();
}
