#include "ui/ovnDBEdit.h"

#include "platform/DataSet.h"
#include "platform/Fields.h"

#include <QString>

std::string CaptionFromFieldName(const std::string& FieldName)
{
    QString out;
    bool upper = true;
    for (QChar c : QString::fromStdString(FieldName)) {
        if (c == QLatin1Char('_')) {
            out += QLatin1Char(' ');
            upper = true;
            continue;
        }
        out += upper ? c.toUpper() : c.toLower();
        upper = false;
    }
    return out.toStdString();
}

void SetFieldValueText(TField* Field, const std::string& Value)
{
    if (!Field || !Field->DataSet())
        return;
    const TDataSetState state = Field->DataSet()->State();
    if (state == dsInsert || state == dsEdit)
        Field->SetAsString(Value);
}

TovnDBEdit::TovnDBEdit(QWidget* Parent, bool Designing) : TovnCaptionedEdit(Parent, new TDBEdit(), Designing)
{
    m_dbEdit = static_cast<TDBEdit*>(&Editor());
}

void TovnDBEdit::SetDataField(const std::string& Value)
{
    m_dbEdit->SetDataField(Value);
    if (Designing()) {
        if (m_dataFieldSet || Caption() == "Caption")
            SetCaption(CaptionFromFieldName(Value));
        m_dataFieldSet = true;
    }
}

void TovnDBEdit::SetValue(const std::string& Value)
{
    SetFieldValueText(m_dbEdit->Field(), Value);
}

std::string TovnDBEdit::GetValue()
{
    return m_dbEdit->Text();
}

void TovnDBEdit::DoEnter()
{
    m_focused = true;
    UpdateInteriorControls();
    if (Editor().CanFocus() && !Editor().Focused())
        Editor().SetFocus();
    Invalidate();
    TovnCaptionedEdit::DoEnter();
}

void TovnDBEdit::DoExit()
{
    m_focused = false;
    UpdateInteriorControls();
    Invalidate();
    TovnCaptionedEdit::DoExit();
}
