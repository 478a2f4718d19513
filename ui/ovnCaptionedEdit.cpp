#include "ui/ovnCaptionedEdit.h"

#include "ui/ovnPictures.h"

TovnCaptionedEdit::TovnCaptionedEdit(QWidget* Parent, TCustomMaskEdit* Editor, bool Designing)
    : TovnGeneralControl(Parent), m_editor(Editor)
{
    SetDesigning(Designing);
    m_fontNormal.OnChange = [this](TObject*) { ApplyEditorFont(); };
    m_label = new TLabel(this);
    m_label->SetAutoSize(false);
    m_label->SetLayout(tlCenter);
    m_label->SetTransparent(true);
    if (Designing) {
        m_indent = 110;
        m_label->SetCaption("Caption");
    }
    m_label->SetLeft(1);
    m_label->SetWidth(m_indent - 1);
    m_editor->setParent(this);
    m_editor->SetLeft(m_indent + 4);
    m_editor->SetBorderStyle(bsNone);
    m_editor->SetCtl3D(false);

    m_editor->OnKeyDown = [this](TObject*, uint16_t& key, TShiftState shift) { EditorKeyDown(key, shift); };
    m_editor->OnKeyUp = [this](TObject*, uint16_t& key, TShiftState shift) {
        if (OnKeyUp)
            OnKeyUp(this, key, shift);
    };
    m_editor->OnKeyPress = [this](TObject*, char32_t& key) {
        if (OnKeyPress)
            OnKeyPress(this, key);
    };
    m_editor->OnChange = [this](TObject*) {
        if (OnChange)
            OnChange(this);
    };
    const auto mouseDown = [this](TObject*, TMouseButton b, TShiftState s, int x, int y) {
        if (OnMouseDown)
            OnMouseDown(this, b, s, x, y);
    };
    const auto mouseUp = [this](TObject*, TMouseButton b, TShiftState s, int x, int y) {
        if (OnMouseUp)
            OnMouseUp(this, b, s, x, y);
    };
    const auto click = [this](TObject*) { Click(); };
    const auto dblClick = [this](TObject*) {
        if (OnDblClick)
            OnDblClick(this);
    };
    m_editor->OnMouseDown = mouseDown;
    m_editor->OnMouseUp = mouseUp;
    m_editor->OnClick = click;
    m_editor->OnDblClick = dblClick;
    m_label->OnMouseDown = mouseDown;
    m_label->OnMouseUp = mouseUp;
    m_label->OnClick = click;
    m_label->OnDblClick = dblClick;

    SetBounds(Left(), Top(), m_editor->Left() + m_editor->Width() + 6, m_editor->Height() + 6);
    m_colorValue = 0xF2F2F2;
    m_colorFocused = 0x00FFFF;
    m_shadowColor = 0;
    m_editor->SetAutoSelect(false);
    m_fontNormal.SetColor(0x800000);
    SetCursor(crIBeam);
    m_showGlyphs = true;
    UpdateInteriorControls();
}

TovnCaptionedEdit::~TovnCaptionedEdit()
{
    m_fontNormal.OnChange = nullptr;
    m_editor->OnKeyDown = nullptr;
    m_editor->OnKeyUp = nullptr;
    m_editor->OnKeyPress = nullptr;
    m_editor->OnChange = nullptr;
    m_editor->OnClick = nullptr;
    m_label->OnClick = nullptr;
}

void TovnCaptionedEdit::SetFont(const TFont* Value)
{
    if (Value)
        m_fontNormal.Assign(*Value);
}

void TovnCaptionedEdit::SetFontFocused(const TFont* Value)
{
    if (Value)
        m_fontFocused.Assign(*Value);
}

void TovnCaptionedEdit::SetCaptionFont(const TFont* Value)
{
    if (Value)
        m_label->Font().Assign(*Value);
}

void TovnCaptionedEdit::SetColor(TColor Value)
{
    m_colorValue = Value;
    Invalidate();
}

void TovnCaptionedEdit::SetColorFocused(TColor Value)
{
    m_colorFocused = Value;
    Invalidate();
}

void TovnCaptionedEdit::SetShadowColor(TColor Value)
{
    m_shadowColor = Value;
    Repaint();
}

void TovnCaptionedEdit::SetIndent(int Value)
{
    m_indent = Value;
    UpdateInteriorControls();
}

void TovnCaptionedEdit::SetShowGlyphs(bool Value)
{
    m_showGlyphs = Value;
    Repaint();
}

void TovnCaptionedEdit::SetReadOnly(bool Value)
{
    m_editor->SetReadOnly(Value);
    Repaint();
}

void TovnCaptionedEdit::EnableContents(bool)
{
    Invalidate();
}

void TovnCaptionedEdit::ApplyEditorFont()
{
    m_editor->Font().Assign(m_focused ? m_fontFocused : m_fontNormal);
}

void TovnCaptionedEdit::UpdateInteriorControls()
{
    const int H = Height();
    const int W = Width();
    const int labelWidth = m_indent - m_label->Left();
    m_label->SetWidth(labelWidth);
    m_label->SetVisible(labelWidth > 0);
    m_label->SetTop(0);
    m_label->SetHeight(H);
    if (m_editor->Top() != 6)
        m_editor->SetTop(6);
    if (m_editor->Left() != m_indent + 4)
        m_editor->SetLeft(m_indent + 4);
    if (m_editor->Height() != H - 9)
        m_editor->SetHeight(H - 9);
    if (m_editor->Width() != W - m_indent - 7)
        m_editor->SetWidth(W - m_indent - 7);
    ApplyEditorFont();
    const TColor c = GetEffectiveColor(m_focused, Marked());
    m_editor->SetColor(c);
    SetColor(c);
}

void TovnCaptionedEdit::Resize()
{
    TovnGeneralControl::Resize();
    UpdateInteriorControls();
}

void TovnCaptionedEdit::Paint()
{
    TovnGeneralControl::Paint();
    DrawShelfExt(Canvas(), {m_editor->Left() - 3, 1, Width(), Height()}, m_focused, EffectivelyEnabled(),
                 Marked());
}

void TovnCaptionedEdit::Click()
{
    if (m_editor->CanFocus())
        m_editor->SetFocus();
    TovnGeneralControl::Click();
}

void TovnCaptionedEdit::EditorKeyDown(uint16_t& Key, TShiftState Shift)
{
    if (ArrowCheck()) {
        if (Key == VK_DOWN)
            FocusNext(true);
        else if (Key == VK_UP)
            FocusNext(false);
    }
    if (Key == VK_RETURN && OnLookUp)
        OnLookUp(this);
    if (OnKeyDown)
        OnKeyDown(this, Key, Shift);
}
