#pragma once
// Unit ovnDbRadio: `TovnDBRadio`, a caption and two painted radio options
// ("Yes"/"No" by default) kept in one field: a Boolean field, or a text
// field holding CheckedLeftString or CheckedRightString ("T"/"F"). The
// control itself takes the focus and handles keys and mouse; unbound it is
// a two-way switch. Data comparison is case-sensitive; SetValue on an
// unbound control is not.

#include "platform/DataSource.h"
#include "platform/StdCtrls.h"
#include "ui/ovnGeneralControl.h"

class QImage;

class TovnDBRadio : public TovnGeneralControl
{
  public:
    explicit TovnDBRadio(QWidget* Parent = nullptr, bool Designing = false);
    ~TovnDBRadio() override;
    std::string ClassName() const override { return "TovnDBRadio"; }

    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool Value);
    bool ForcedReadOnly() const { return m_forcedReadOnly; }
    bool ContentsEnabled() const { return m_contentsEnabled; }
    TFont& FontFocused() { return m_fontFocused; }
    void SetFontFocused(const TFont* Value);
    TFont& Font() { return m_fontNormal; }
    void SetFont(const TFont* Value);
    TFont& CaptionFont() { return m_captionFont; }
    void SetCaptionFont(const TFont* Value);
    TColor Color() const { return m_colorValue; }
    void SetColor(TColor Value);
    bool CheckedLeft() const { return m_checkedLeft; }
    void SetCheckedLeft(bool Value);
    bool ShowGlyphs() const { return m_showGlyphs; }
    void SetShowGlyphs(bool Value);
    const std::string& CheckedLeftString() const { return m_leftString; }
    void SetCheckedLeftString(const std::string& Value);
    const std::string& CheckedRightString() const { return m_rightString; }
    void SetCheckedRightString(const std::string& Value);
    std::string Caption() const { return m_caption->Caption(); }
    void SetCaption(const std::string& Value) { m_caption->SetCaption(Value); }
    std::string CaptionLeft() const { return m_left->Caption(); }
    void SetCaptionLeft(const std::string& Value);
    std::string CaptionRight() const { return m_right->Caption(); }
    void SetCaptionRight(const std::string& Value);
    int Indent() const { return m_indent; }
    void SetIndent(int Value);
    int RightIndent() const { return m_rightIndent; }
    void SetRightIndent(int Value);
    bool ShowHint() const { return m_showHint; }
    void SetShowHint(bool Value) { m_showHint = Value; }
    TDataSource* DataSource() const { return m_link.DataSource(); }
    void SetDataSource(TDataSource* Value);
    const std::string& DataField() const { return m_link.FieldName(); }
    void SetDataField(const std::string& Value);
    TField* Field() const { return m_link.Field(); }
    TFieldDataLink& DataLink() { return m_link; }

    TLabel& CaptionLabel() { return *m_caption; }
    TLabel& LeftLabel() { return *m_left; }
    TLabel& RightLabel() { return *m_right; }
    int LeftGlyphX() const { return m_leftGlyphX; }
    int RightGlyphX() const { return m_rightGlyphX; }
    int GlyphY() const { return m_glyphY; }
    int GlyphSize() const { return m_glyphSize; }
    bool FocusFlag() const { return m_focused; }
    // The picture Paint draws for an option.
    const QImage& GlyphFor(bool Chosen) const;

    void EnableContents(bool Value) override;
    void UpdateInteriorControls() override;
    void SetValue(const std::string& Value) override;
    std::string GetValue() override;

    TNotifyEvent OnChange;

  protected:
    void Paint() override;
    void Click() override;
    void Resize() override;
    void KeyDown(uint16_t& Key, TShiftState Shift) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void DoEnter() override;
    void DoExit() override;
    void mouseReleaseEvent(QMouseEvent* Event) override;

  private:
    void StartEditing();
    void ApplyLabelFonts();
    void FocusIfCan();
    bool OnLeftOption(int X, int Y) const;
    bool OnRightOption(int X, int Y) const;
    void DataChange();
    void UpdateData();
    void ActiveChange();

    bool m_readOnly = false;
    bool m_forcedReadOnly = false;
    bool m_contentsEnabled = true;
    TFont m_fontFocused;
    TFont m_fontNormal;
    TFont m_captionFont;
    TColor m_colorValue = 0xF2F2F2;
    bool m_focused = false;
    bool m_checkedLeft = false;
    bool m_showGlyphs = true;
    bool m_pressLeft = false;
    bool m_pressRight = false;
    std::string m_leftString = "T";
    std::string m_rightString = "F";
    bool m_valueAtEntry = false;
    TLabel* m_caption = nullptr;
    TLabel* m_left = nullptr;
    TLabel* m_right = nullptr;
    TFieldDataLink m_link;
    int m_leftGlyphX = 0;
    int m_glyphY = 0;
    int m_rightGlyphX = 0;
    int m_glyphSize = 12;
    int m_indent = 120;
    int m_rightIndent = 0;
    bool m_showHint = false;
    bool m_dataFieldSet = false;
    bool m_layingOut = false;
};
