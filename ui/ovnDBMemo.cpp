#include "ui/ovnDBMemo.h"

#include "ui/ovnDBEdit.h"
#include "ui/ovnPictures.h"

TovnDBMemo::TovnDBMemo(QWidget* Parent) : TovnGeneralControl(Parent)
{
    SetBounds(Left(), Top(), 185, 89);
    m_memo = new TDBMemo(this);
    m_memo->SetBorderStyle(bsNone);
    m_memo->SetCtl3D(false);
    m_memo->SetColor(0xF2F2F2);
    m_memo->SetBounds(3, 3, Width() - 6, Height() - 6);
    m_fontFocused.OnChange = [this](TObject*) { ApplyEditorFont(); };
    m_fontNormal.OnChange = [this](TObject*) { ApplyEditorFont(); };
    m_colorValue = 0xC0C0C0;
    m_colorFocused = 0x00FFFF;
    m_shadowColor = 0;
    m_fontNormal.SetColor(0x800000);

    m_memo->OnKeyDown = [this](TObject*, uint16_t& key, TShiftState shift) {
        if (key == VK_RETURN && OnLookUp)
            OnLookUp(this);
        if (OnKeyDown)
            OnKeyDown(this, key, shift);
    };
    m_memo->OnKeyUp = [this](TObject*, uint16_t& key, TShiftState shift) {
        if (OnKeyUp)
            OnKeyUp(this, key, shift);
    };
    m_memo->OnKeyPress = [this](TObject*, char32_t& key) {
        if (OnKeyPress)
            OnKeyPress(this, key);
    };
    m_memo->OnChange = [this](TObject*) {
        if (OnChange)
            OnChange(this);
    };
    m_memo->OnMouseDown = [this](TObject*, TMouseButton b, TShiftState s, int x, int y) {
        if (OnMouseDown)
            OnMouseDown(this, b, s, x, y);
    };
    m_memo->OnMouseUp = [this](TObject*, TMouseButton b, TShiftState s, int x, int y) {
        if (OnMouseUp)
            OnMouseUp(this, b, s, x, y);
    };
    m_memo->OnClick = [this](TObject*) { Click(); };
    m_memo->OnDblClick = [this](TObject*) {
        if (OnDblClick)
            OnDblClick(this);
    };
    // Laid out at the first resize (UpdateInteriorControls): until then
    // Color keeps its creation value.
}

TovnDBMemo::~TovnDBMemo()
{
    m_fontFocused.OnChange = nullptr;
    m_fontNormal.OnChange = nullptr;
    m_memo->OnKeyDown = nullptr;
    m_memo->OnChange = nullptr;
    m_memo->OnClick = nullptr;
}

void TovnDBMemo::SetFont(const TFont* Value)
{
    if (Value)
        m_fontNormal.Assign(*Value);
}

void TovnDBMemo::SetFontFocused(const TFont* Value)
{
    if (Value)
        m_fontFocused.Assign(*Value);
}

void TovnDBMemo::SetColor(TColor Value)
{
    m_colorValue = Value;
    Invalidate();
}

void TovnDBMemo::SetColorFocused(TColor Value)
{
    m_colorFocused = Value;
    Invalidate();
}

void TovnDBMemo::SetShadowColor(TColor Value)
{
    m_shadowColor = Value;
    Invalidate();
}

void TovnDBMemo::ApplyEditorFont()
{
    m_memo->Font().Assign(m_focused ? m_fontFocused : m_fontNormal);
}

void TovnDBMemo::EnableContents(bool)
{
    Invalidate();
}

void TovnDBMemo::UpdateInteriorControls()
{
    m_memo->SetBounds(2, 2, Width() - 4, Height() - 4);
    ApplyEditorFont();
    const TColor c = GetEffectiveColor(m_focused, Marked());
    m_memo->SetColor(c);
    SetColor(c);
}

void TovnDBMemo::SetValue(const std::string& Value)
{
    SetFieldValueText(m_memo->Field(), Value);
}

std::string TovnDBMemo::GetValue()
{
    return m_memo->Text();
}

void TovnDBMemo::Paint()
{
    TovnGeneralControl::Paint();
    DrawShelfExt(Canvas(), {0, 0, Width(), Height()}, m_focused, EffectivelyEnabled(), Marked());
}

void TovnDBMemo::Click()
{
    if (m_memo->CanFocus())
        m_memo->SetFocus();
    TovnGeneralControl::Click();
}

void TovnDBMemo::Resize()
{
    TovnGeneralControl::Resize();
    if (m_memo)
        UpdateInteriorControls();
}

void TovnDBMemo::DoEnter()
{
    m_focused = true;
    UpdateInteriorControls();
    if (m_memo->CanFocus() && !m_memo->Focused())
        m_memo->SetFocus();
    Invalidate();
    TovnGeneralControl::DoEnter();
}

void TovnDBMemo::DoExit()
{
    m_focused = false;
    UpdateInteriorControls();
    Invalidate();
    TovnGeneralControl::DoExit();
}
