#include "ui/ovnMaskEdit.h"

#include "ui/ovnPictures.h"

TovnMaskEdit::TovnMaskEdit(QWidget* Parent, bool Designing)
    : TovnCaptionedEdit(Parent, new TMaskEdit(), Designing)
{
    m_maskEdit = static_cast<TMaskEdit*>(&Editor());
}

void TovnMaskEdit::SetColor(TColor Value)
{
    SetColorValue(Value);
    if (!m_focused)
        Editor().SetColor(Value);
}

void TovnMaskEdit::SetColorFocused(TColor Value)
{
    TovnCaptionedEdit::SetColorFocused(Value);
    if (m_focused)
        Editor().SetColor(Value);
}

void TovnMaskEdit::SetValue(const std::string& Value)
{
    SetText(Value);
}

std::string TovnMaskEdit::GetValue()
{
    return Text();
}

const QImage* TovnMaskEdit::StateGlyph(int& Left) const
{
    const TovnPictures& p = ovnPictures();
    const QImage* glyph;
    int gap = 2;
    if (!EffectivelyEnabled()) {
        glyph = &p.bmpDISABLED;
    } else if (m_maskEdit->ReadOnly()) {
        glyph = m_focused ? &p.bmpREAD_FOCUSED : &p.bmpREAD_NORMAL;
        gap = 1;
    } else {
        glyph = m_focused ? &p.bmpFOCUSED : &p.bmpNORMAL;
    }
    Left = Indent() - glyph->width() - gap;
    return glyph;
}

void TovnMaskEdit::Paint()
{
    TovnCaptionedEdit::Paint();
    if (!ShowGlyphs())
        return;
    int left = 0;
    const QImage* glyph = StateGlyph(left);
    if (glyph && !glyph->isNull())
        Canvas().Draw(left, Height() / 2 - glyph->height() / 2, *glyph);
}

void TovnMaskEdit::DoEnter()
{
    m_focused = true;
    ApplyEditorFont();
    Editor().SetColor(ColorFocused());
    if (Editor().CanFocus() && !Editor().Focused())
        Editor().SetFocus();
    Repaint();
    TovnCaptionedEdit::DoEnter();
}

void TovnMaskEdit::DoExit()
{
    m_focused = false;
    ApplyEditorFont();
    Editor().SetColor(Color());
    Repaint();
    TovnCaptionedEdit::DoExit();
}
