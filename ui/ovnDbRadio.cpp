#include "ui/ovnDbRadio.h"

#include "platform/DataSet.h"
#include "platform/Fields.h"
#include "platform/ScopedFlag.h"
#include "platform/Threads.h"
#include "ui/ovnDBEdit.h"
#include "ui/ovnPictures.h"

#include <QMouseEvent>
#include <QPointer>
#include <QTimer>

#include <algorithm>

TovnDBRadio::TovnDBRadio(QWidget* Parent, bool Designing) : TovnGeneralControl(Parent)
{
    SetDesigning(Designing);
    m_fontNormal.SetColor(0x800000);
    m_captionFont.SetColor(0);
    m_fontNormal.OnChange = [this](TObject*) { ApplyLabelFonts(); };
    m_captionFont.OnChange = [this](TObject*) { ApplyLabelFonts(); };
    m_caption = new TLabel(this);
    m_caption->SetCaption("Caption");
    m_left = new TLabel(this);
    m_left->SetCaption("Yes");
    m_left->SetTransparent(true);
    m_right = new TLabel(this);
    m_right->SetCaption("No");
    m_right->SetTransparent(true);
    m_caption->SetTransparent(true);
    m_caption->SetLeft(1);
    m_left->SetLeft(125);
    m_right->SetLeft(195);
    m_rightIndent = m_left->Left() + m_left->Width() + 50;

    m_link.SetControl(this);
    m_link.OnDataChange = [this](TFieldDataLink*) { DataChange(); };
    m_link.OnUpdateData = [this](TFieldDataLink*) { UpdateData(); };
    m_link.OnActiveChange = [this](TFieldDataLink*) { ActiveChange(); };

    m_left->OnMouseDown = [this](TObject*, TMouseButton b, TShiftState s, int x, int y) {
        MouseDown(b, s, x + m_left->Left(), y + m_left->Top());
    };
    m_left->OnMouseUp = [this](TObject*, TMouseButton b, TShiftState s, int x, int y) {
        MouseUp(b, s, x + m_left->Left(), y + m_left->Top());
    };
    m_right->OnMouseDown = [this](TObject*, TMouseButton b, TShiftState s, int x, int y) {
        MouseDown(b, s, x + m_right->Left(), y + m_right->Top());
    };
    m_right->OnMouseUp = [this](TObject*, TMouseButton b, TShiftState s, int x, int y) {
        MouseUp(b, s, x + m_right->Left(), y + m_right->Top());
    };
    m_caption->OnMouseUp = [this](TObject*, TMouseButton b, TShiftState s, int x, int y) {
        MouseUp(b, s, x + m_caption->Left(), y + m_caption->Top());
    };
    for (TLabel* label : {m_caption, m_left, m_right})
        label->OnClick = [this](TObject*) { FocusIfCan(); };

    SetShowShelf(false);
    SetBounds(Left(), Top(), m_right->Left() + m_right->Width() + 6, 23);
    SetTabStop(true);
    ApplyLabelFonts();
}

TovnDBRadio::~TovnDBRadio()
{
    m_fontNormal.OnChange = nullptr;
    m_captionFont.OnChange = nullptr;
    m_link.OnDataChange = nullptr;
    m_link.OnUpdateData = nullptr;
    m_link.OnActiveChange = nullptr;
}

void TovnDBRadio::ApplyLabelFonts()
{
    if (!m_caption)
        return;
    m_caption->Font().Assign(m_captionFont);
    const TFont& options = m_focused ? m_fontFocused : m_fontNormal;
    m_left->Font().Assign(options);
    m_right->Font().Assign(options);
}

void TovnDBRadio::SetReadOnly(bool Value)
{
    m_readOnly = Value;
    Repaint();
}

void TovnDBRadio::SetFontFocused(const TFont* Value)
{
    if (Value)
        m_fontFocused.Assign(*Value);
}

void TovnDBRadio::SetFont(const TFont* Value)
{
    if (!Value)
        return;
    m_fontNormal.Assign(*Value);
    m_captionFont.SetSize(m_fontNormal.Size());
    Repaint();
}

void TovnDBRadio::SetCaptionFont(const TFont* Value)
{
    if (!Value)
        return;
    m_captionFont.Assign(*Value);
    m_fontNormal.SetSize(m_captionFont.Size());
    Repaint();
}

void TovnDBRadio::SetColor(TColor Value)
{
    m_colorValue = Value;
    Invalidate();
}

void TovnDBRadio::SetCheckedLeft(bool Value)
{
    if (Value != m_checkedLeft)
        m_link.Modified();
    m_checkedLeft = Value;
    Repaint();
    if (OnChange)
        OnChange(this);
}

void TovnDBRadio::SetShowGlyphs(bool Value)
{
    m_showGlyphs = Value;
    Repaint();
}

void TovnDBRadio::SetCheckedLeftString(const std::string& Value)
{
    m_leftString = Value;
    Repaint();
}

void TovnDBRadio::SetCheckedRightString(const std::string& Value)
{
    m_rightString = Value;
    Repaint();
}

void TovnDBRadio::SetCaptionLeft(const std::string& Value)
{
    m_left->SetCaption(Value);
    m_rightIndent = m_left->Left() + m_left->Width() + 20;
    Repaint();
}

void TovnDBRadio::SetCaptionRight(const std::string& Value)
{
    m_right->SetCaption(Value);
    Repaint();
}

void TovnDBRadio::SetIndent(int Value)
{
    if (Value == m_indent)
        return;
    m_indent = Value;
    UpdateInteriorControls();
}

void TovnDBRadio::SetRightIndent(int Value)
{
    if (Value == m_rightIndent)
        return;
    m_rightIndent = Value;
    UpdateInteriorControls();
}

void TovnDBRadio::SetDataSource(TDataSource* Value)
{
    m_link.SetDataSource(Value);
    Repaint();
}

void TovnDBRadio::SetDataField(const std::string& Value)
{
    m_link.SetFieldName(Value);
    if (Designing()) {
        if (m_dataFieldSet || Caption() == "Caption")
            SetCaption(CaptionFromFieldName(Value));
        m_dataFieldSet = true;
    }
    Repaint();
}

void TovnDBRadio::EnableContents(bool Value)
{
    m_contentsEnabled = Value;
    Repaint();
}

void TovnDBRadio::UpdateInteriorControls()
{
    if (m_layingOut || !m_caption)
        return;
    TScopedFlag guard(m_layingOut);
    m_glyphSize = 12;
    const int H = 2 * m_caption->Font().Size() + 9;
    if (H != Height())
        SetHeight(H);
    m_glyphY = H / 2 - 6 + 1;
    m_leftGlyphX = m_indent + 4;
    const int labelTop = H / 2 - m_caption->Height() / 2;
    for (TLabel* label : {m_caption, m_left, m_right})
        label->SetTop(labelTop);
    m_left->SetLeft(m_leftGlyphX + 12 + 3);
    m_rightGlyphX = m_rightIndent;
    m_right->SetLeft(m_rightIndent + 12 + 3);
    const int W = m_right->Left() + m_right->Width() + 6;
    if (W != Width())
        SetWidth(W);
    Invalidate();
}

void TovnDBRadio::Resize()
{
    TovnGeneralControl::Resize();
    UpdateInteriorControls();
}

void TovnDBRadio::SetValue(const std::string& Value)
{
    if (m_link.Active()) {
        TField* field = m_link.Field();
        if (field && field->DataSet()) {
            const TDataSetState state = field->DataSet()->State();
            if (state == dsInsert || state == dsEdit)
                field->SetAsString(Value);
        }
        return;
    }
    SetCheckedLeft(QString::fromStdString(Value).toUpper() == QString::fromStdString(m_leftString).toUpper());
}

std::string TovnDBRadio::GetValue()
{
    return m_checkedLeft ? m_leftString : m_rightString;
}

const QImage& TovnDBRadio::GlyphFor(bool Chosen) const
{
    const TovnPictures& p = ovnPictures();
    if (Chosen) {
        if (m_focused)
            return p.pngR_T_FOCUSED;
        return m_contentsEnabled ? p.pngR_T : p.pngR_T_DISABLED;
    }
    if (m_focused)
        return p.pngR_F_FOCUSED;
    return m_contentsEnabled ? p.pngR_F : p.pngR_F_DISABLED;
}

void TovnDBRadio::Paint()
{
    TovnGeneralControl::Paint();
    if (Marked())
        DrawShelfExt(Canvas(), {m_leftGlyphX - 4, 0, Width(), Height()}, false, true, true);
    const QImage& left = GlyphFor(m_checkedLeft);
    if (!left.isNull())
        Canvas().Draw(m_leftGlyphX, m_glyphY, left);
    const QImage& right = GlyphFor(!m_checkedLeft);
    if (!right.isNull())
        Canvas().Draw(m_rightGlyphX, m_glyphY, right);
}

void TovnDBRadio::StartEditing()
{
    TDataSet* ds = m_link.DataSet();
    if (m_link.Active() && ds && m_link.Field() && !m_link.Editing() && ds->CanModify() && !m_readOnly &&
        m_focused)
        m_link.Edit();
}

void TovnDBRadio::KeyDown(uint16_t& Key, TShiftState Shift)
{
    if (ArrowCheck() && (Key == VK_DOWN || Key == VK_UP)) {
        // Posted, like the dialog's next-control message: the move happens
        // after this key is done with.
        const bool forward = Key == VK_DOWN;
        QPointer<TovnDBRadio> self(this);
        QTimer::singleShot(0, this, [self, forward] {
            if (self)
                self->FocusNext(forward);
        });
    }
    if (Key == VK_SPACE && m_contentsEnabled && !m_readOnly) {
        StartEditing();
        SetCheckedLeft(!m_checkedLeft);
    }
    if (Key == VK_ESCAPE && m_contentsEnabled && !m_readOnly) {
        StartEditing();
        SetCheckedLeft(m_valueAtEntry);
    }
    TovnGeneralControl::KeyDown(Key, Shift);
}

bool TovnDBRadio::OnLeftOption(int X, int Y) const
{
    return X >= m_leftGlyphX && X <= m_left->Left() + m_left->Width() && Y >= m_glyphY && Y <= m_glyphY + 12;
}

bool TovnDBRadio::OnRightOption(int X, int Y) const
{
    return X >= m_rightGlyphX && X <= m_right->Left() + m_right->Width() && Y >= m_glyphY && Y <= m_glyphY + 12;
}

void TovnDBRadio::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    m_pressLeft = OnLeftOption(X, Y);
    m_pressRight = OnRightOption(X, Y);
    TovnGeneralControl::MouseDown(Button, Shift, X, Y);
}

void TovnDBRadio::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (OnLeftOption(X, Y) && m_pressLeft && !m_checkedLeft && !m_readOnly) {
        StartEditing();
        SetCheckedLeft(!m_checkedLeft);
    } else if (OnRightOption(X, Y) && m_pressRight && m_checkedLeft && !m_readOnly) {
        StartEditing();
        SetCheckedLeft(!m_checkedLeft);
    }
    m_pressLeft = false;
    m_pressRight = false;
    TovnGeneralControl::MouseUp(Button, Shift, X, Y);
    Click();
}

void TovnDBRadio::mouseReleaseEvent(QMouseEvent* Event)
{
    // MouseUp clicks itself (also for the labels' mouse up passed on), so
    // the platform's click after a release is not wanted here.
    TMouseButton button = mbLeft;
    if (Event->button() == Qt::RightButton)
        button = mbRight;
    else if (Event->button() == Qt::MiddleButton)
        button = mbMiddle;
    else if (Event->button() != Qt::LeftButton)
        return;
    const QPoint p = Event->position().toPoint();
    try {
        MouseUp(button, ShiftStateFromQt(Event->modifiers(), Event->buttons()), p.x(), p.y());
    } catch (...) {
        ReportCurrentException(ClassName() + ".MouseUp");
    }
}

void TovnDBRadio::FocusIfCan()
{
    if (CanFocus() && m_contentsEnabled && Visible())
        SetFocus();
}

void TovnDBRadio::Click()
{
    FocusIfCan();
    TovnGeneralControl::Click();
}

void TovnDBRadio::DoEnter()
{
    m_valueAtEntry = m_checkedLeft;
    m_focused = true;
    ApplyLabelFonts();
    Repaint();
    TovnGeneralControl::DoEnter();
}

void TovnDBRadio::DoExit()
{
    m_focused = false;
    ApplyLabelFonts();
    Repaint();
    try {
        m_link.UpdateRecord();
    } catch (...) {
        SetFocus();
        throw;
    }
    TovnGeneralControl::DoExit();
}

void TovnDBRadio::DataChange()
{
    TField* field = m_link.Field();
    if (!m_link.Active() || !field)
        return;
    bool value;
    if (field->DataType() == ftBoolean)
        value = field->AsBoolean();
    else if (field->DataType() == ftString || field->DataType() == ftFixedChar || field->DataType() == ftWideString)
        value = field->AsString() == m_leftString;
    else
        return;
    if (value != m_checkedLeft)
        SetCheckedLeft(value);
}

void TovnDBRadio::UpdateData()
{
    TField* field = m_link.Field();
    if (!field)
        return;
    if (field->DataType() == ftBoolean)
        field->SetAsBoolean(m_checkedLeft);
    else if (field->DataType() == ftString || field->DataType() == ftFixedChar || field->DataType() == ftWideString)
        field->SetAsString(m_checkedLeft ? m_leftString : m_rightString);
}

void TovnDBRadio::ActiveChange()
{
    TDataSet* ds = m_link.DataSet();
    if (!m_link.Active() || !ds)
        return;
    if (!ds->CanModify()) {
        if (!m_readOnly) {
            m_readOnly = true;
            m_forcedReadOnly = true;
        }
    } else if (m_forcedReadOnly) {
        m_readOnly = false;
        m_forcedReadOnly = false;
    }
}
