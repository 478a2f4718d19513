#pragma once
// Unit ovnMaskEdit: `TovnMaskEdit`, the unbound captioned mask edit, the
// one member of the family that paints a state glyph left of its editor.

#include "ui/ovnCaptionedEdit.h"

class TovnMaskEdit : public TovnCaptionedEdit
{
  public:
    explicit TovnMaskEdit(QWidget* Parent = nullptr, bool Designing = false);
    std::string ClassName() const override { return "TovnMaskEdit"; }

    TMaskEdit& MaskEdit() { return static_cast<TMaskEdit&>(Editor()); }
    const std::string& EditMask() const { return m_maskEdit->EditMask(); }
    void SetEditMask(const std::string& Value) { m_maskEdit->SetEditMask(Value); }

    void SetColor(TColor Value) override;
    void SetColorFocused(TColor Value) override;
    void SetValue(const std::string& Value) override;
    std::string GetValue() override;

    // The glyph Paint draws now and its left edge (null when none).
    const QImage* StateGlyph(int& Left) const;

  protected:
    void Paint() override;
    void DoEnter() override;
    void DoExit() override;

  private:
    TMaskEdit* m_maskEdit;
};
