#pragma once
// What the mask edit and the data edit share: a caption label on the left,
// a borderless one-line editor from Indent + 4, the shelf round the editor,
// the editor's fonts and colours by focus and marked state, Up and Down
// moving the focus (ArrowCheck), Enter firing OnLookUp, and the editor's and
// label's events raised again with the control as sender.

#include "platform/Mask.h"
#include "platform/StdCtrls.h"
#include "ui/ovnGeneralControl.h"

class TovnCaptionedEdit : public TovnGeneralControl
{
  public:
    ~TovnCaptionedEdit() override;
    std::string ClassName() const override { return "TovnCaptionedEdit"; }

    TCustomMaskEdit& Editor() { return *m_editor; }
    TLabel& Label() { return *m_label; }

    TFont& Font() { return m_fontNormal; }
    TFont& FontFocused() { return m_fontFocused; }
    // Copies the font; nil is ignored.
    void SetFont(const TFont* Value);
    void SetFontFocused(const TFont* Value);
    TFont& CaptionFont() { return m_label->Font(); }
    void SetCaptionFont(const TFont* Value);
    std::string Caption() const { return m_label->Caption(); }
    void SetCaption(const std::string& Value) { m_label->SetCaption(Value); }
    TColor Color() const { return m_colorValue; }
    // The data edit's rule (store, repaint); the mask edit's gives it to the
    // editor as well.
    virtual void SetColor(TColor Value);
    TColor ColorFocused() const { return m_colorFocused; }
    virtual void SetColorFocused(TColor Value);
    TColor ShadowColor() const { return m_shadowColor; }
    void SetShadowColor(TColor Value);
    int Indent() const { return m_indent; }
    void SetIndent(int Value);
    bool ShowGlyphs() const { return m_showGlyphs; }
    void SetShowGlyphs(bool Value);

    // The editor's settings.
    int MaxLength() const { return m_editor->MaxLength(); }
    void SetMaxLength(int Value) { m_editor->SetMaxLength(Value); }
    bool ReadOnly() const { return m_editor->ReadOnly(); }
    void SetReadOnly(bool Value);
    bool AutoSelect() const { return m_editor->AutoSelect(); }
    void SetAutoSelect(bool Value) { m_editor->SetAutoSelect(Value); }
    TEditCharCase CharCase() const { return m_editor->CharCase(); }
    void SetCharCase(TEditCharCase Value) { m_editor->SetCharCase(Value); }
    char PasswordChar() const { return m_editor->PasswordChar(); }
    void SetPasswordChar(char Value) { m_editor->SetPasswordChar(Value); }
    bool ShowHint() const { return m_showHint; }
    void SetShowHint(bool Value) { m_showHint = Value; }
    std::string Text() const { return m_editor->Text(); }
    void SetText(const std::string& Value) { m_editor->SetText(Value); }
    std::string EditText() const { return m_editor->EditText(); }
    bool IsMasked() const { return m_editor->IsMasked(); }
    bool Modified() const { return m_editor->Modified(); }
    void SetModified(bool Value) { m_editor->SetModified(Value); }
    int SelStart() const { return m_editor->SelStart(); }
    void SetSelStart(int Value) { m_editor->SetSelStart(Value); }
    int SelLength() const { return m_editor->SelLength(); }
    void SetSelLength(int Value) { m_editor->SetSelLength(Value); }
    std::string SelText() const { return m_editor->SelText(); }
    void SetSelText(const std::string& Value) { m_editor->SetSelText(Value); }
    // Whether the editor has the focus.
    bool Focused() const { return m_editor->Focused(); }
    // Between entry and exit.
    bool FocusFlag() const { return m_focused; }

    void EnableContents(bool Value) override;
    void UpdateInteriorControls() override;

    TNotifyEvent OnChange;
    TNotifyEvent OnLookUp;
    TKeyEvent OnKeyUp;
    TKeyPressEvent OnKeyPress;

  protected:
    // Takes Editor (created by the member) as its inner editor.
    TovnCaptionedEdit(QWidget* Parent, TCustomMaskEdit* Editor, bool Designing);

    void Paint() override;
    void Click() override;
    void Resize() override;
    // The editor's font by the focus flag.
    void ApplyEditorFont();
    void SetColorValue(TColor Value) { m_colorValue = Value; }

    bool m_focused = false;

  private:
    void EditorKeyDown(uint16_t& Key, TShiftState Shift);

    TCustomMaskEdit* m_editor;
    TLabel* m_label;
    TFont m_fontFocused;
    TFont m_fontNormal;
    TColor m_colorValue = 0xF2F2F2;
    TColor m_colorFocused = 0x00FFFF;
    TColor m_shadowColor = 0;
    int m_indent = 0;
    bool m_showGlyphs = true;
    bool m_showHint = false;
};
