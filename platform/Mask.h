#pragma once
// The platform's masked one-line edit (`TCustomMaskEdit`, `TMaskEdit`), a
// QLineEdit driven by our own edit-mask engine (MaskUtils.h), not by Qt's
// input mask: "9" is optional here and blank positions stay in EditText.
//
// - Unmasked it is a plain edit (CharCase, PasswordChar, MaxLength apply);
//   masked, the mask fixes the length and MaxLength is kept but not applied.
// - Masked, EditText always has one character per mask position; typing
//   overwrites the input position at the cursor and skips literals, a
//   character that does not fit is refused; Backspace and Delete blank
//   positions; a text set by code (Text, SetText) is fitted to the mask.
// - Text reads the mask's Text (blanks as spaces, literals only when saved).

#include "platform/MaskUtils.h"
#include "platform/StdCtrls.h"

#include <QLineEdit>

class TCustomMaskEdit : public QLineEdit, public TCustomEdit
{
  public:
    explicit TCustomMaskEdit(QWidget* Parent = nullptr);
    ~TCustomMaskEdit() override;
    std::string ClassName() const override { return "TCustomMaskEdit"; }
    QWidget* Widget() override { return this; }

    const std::string& EditMask() const { return m_maskText; }
    // Refits the current text to the new mask.
    void SetEditMask(const std::string& Value);
    bool IsMasked() const { return m_mask.IsMasked(); }
    const TEditMask& Mask() const { return m_mask; }
    // What the edit shows (blanks as the mask's blank character).
    std::string EditText() const;
    void SetEditText(const std::string& Value);

    std::string Text() const override;
    void SetText(const std::string& Value) override;
    int SelStart() const override;
    void SetSelStart(int Value) override;
    int SelLength() const override;
    void SetSelLength(int Value) override;
    std::string SelText() const override;
    void SetSelText(const std::string& Value) override;
    bool ReadOnly() const override { return isReadOnly(); }
    void SetReadOnly(bool Value) override { setReadOnly(Value); }
    int MaxLength() const override { return m_maxLength; }
    void SetMaxLength(int Value) override;
    bool Modified() const override { return isModified(); }
    void SetModified(bool Value) override { setModified(Value); }
    void SetPasswordChar(char Value) override;

  protected:
    // Asked before the user changes the text; false refuses the change (a
    // data-aware edit that cannot edit its field).
    virtual bool EditCanModify() { return true; }
    // The user changed the text.
    virtual void UserChanged() {}
    void ApplyLook() override;
    // The line edit's limit: MaxLength unmasked, none while masked.
    void ApplyMaxLength();

    void keyPressEvent(QKeyEvent* Event) override;
    void keyReleaseEvent(QKeyEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;
    void focusInEvent(QFocusEvent* Event) override;
    void focusOutEvent(QFocusEvent* Event) override;

  private:
    // Typing into a masked edit; answers whether the key was handled.
    bool MaskedKey(QKeyEvent* Event);
    void TypeText(const std::u32string& Text);
    // Shows Value with the cursor before mask position Cursor.
    void ShowEditText(const std::string& Value, int Cursor);
    // Positions of the mask (characters) and of the line edit (UTF-16).
    int MaskPos(int TextPos) const;
    int TextPos(int MaskPos) const;
    int MaskSelStart() const;
    int MaskSelEnd() const;

    std::string m_maskText;
    TEditMask m_mask;
    int m_maxLength = 0;
    bool m_settingText = false;
};

class TMaskEdit : public TCustomMaskEdit
{
  public:
    using TCustomMaskEdit::TCustomMaskEdit;
    std::string ClassName() const override { return "TMaskEdit"; }
};
