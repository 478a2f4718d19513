#pragma once
// Unit ovnDBMemo: `TovnDBMemo`, a borderless data-aware memo inside the
// shelf, without caption. Enter fires OnLookUp and still reaches the memo.

#include "platform/DBCtrls.h"
#include "ui/ovnGeneralControl.h"

class TovnDBMemo : public TovnGeneralControl
{
  public:
    explicit TovnDBMemo(QWidget* Parent = nullptr);
    ~TovnDBMemo() override;
    std::string ClassName() const override { return "TovnDBMemo"; }

    TDBMemo& Memo() { return *m_memo; }
    TDataSource* DataSource() const { return m_memo->DataSource(); }
    void SetDataSource(TDataSource* Value) { m_memo->SetDataSource(Value); }
    const std::string& DataField() const { return m_memo->DataField(); }
    void SetDataField(const std::string& Value) { m_memo->SetDataField(Value); }
    TField* Field() const { return m_memo->Field(); }

    TFont& Font() { return m_fontNormal; }
    TFont& FontFocused() { return m_fontFocused; }
    void SetFont(const TFont* Value);
    void SetFontFocused(const TFont* Value);
    TColor Color() const { return m_colorValue; }
    void SetColor(TColor Value);
    TColor ColorFocused() const { return m_colorFocused; }
    void SetColorFocused(TColor Value);
    TColor ShadowColor() const { return m_shadowColor; }
    void SetShadowColor(TColor Value);

    int MaxLength() const { return m_memo->MaxLength(); }
    void SetMaxLength(int Value) { m_memo->SetMaxLength(Value); }
    bool ReadOnly() const { return m_memo->ReadOnly(); }
    void SetReadOnly(bool Value) { m_memo->SetReadOnly(Value); }
    bool ShowHint() const { return m_showHint; }
    void SetShowHint(bool Value) { m_showHint = Value; }
    TScrollStyle ScrollBars() const { return m_memo->ScrollBars(); }
    void SetScrollBars(TScrollStyle Value) { m_memo->SetScrollBars(Value); }
    TAlignment Alignment() const { return m_memo->Alignment(); }
    void SetAlignment(TAlignment Value) { m_memo->SetAlignment(Value); }
    bool WantTabs() const { return m_memo->WantTabs(); }
    void SetWantTabs(bool Value) { m_memo->SetWantTabs(Value); }
    bool WordWrap() const { return m_memo->WordWrap(); }
    void SetWordWrap(bool Value) { m_memo->SetWordWrap(Value); }

    std::string Text() const { return m_memo->Text(); }
    void SetText(const std::string& Value) { m_memo->SetText(Value); }
    void GetLines(TStrings& Lines) const { m_memo->GetLines(Lines); }
    void SetLines(const TStrings& Value) { m_memo->SetLines(Value); }
    bool Modified() const { return m_memo->Modified(); }
    void SetModified(bool Value) { m_memo->SetModified(Value); }
    int SelStart() const { return m_memo->SelStart(); }
    void SetSelStart(int Value) { m_memo->SetSelStart(Value); }
    int SelLength() const { return m_memo->SelLength(); }
    void SetSelLength(int Value) { m_memo->SetSelLength(Value); }
    std::string SelText() const { return m_memo->SelText(); }
    void SetSelText(const std::string& Value) { m_memo->SetSelText(Value); }
    bool Focused() const { return m_memo->Focused(); }
    bool FocusFlag() const { return m_focused; }

    void EnableContents(bool Value) override;
    void UpdateInteriorControls() override;
    void SetValue(const std::string& Value) override;
    std::string GetValue() override;

    TNotifyEvent OnChange;
    TNotifyEvent OnLookUp;
    TKeyEvent OnKeyUp;
    TKeyPressEvent OnKeyPress;

  protected:
    void Paint() override;
    void Click() override;
    void Resize() override;
    void DoEnter() override;
    void DoExit() override;

  private:
    void ApplyEditorFont();

    TDBMemo* m_memo = nullptr;
    TFont m_fontFocused;
    TFont m_fontNormal;
    TColor m_colorValue = 0xC0C0C0;
    TColor m_colorFocused = 0x00FFFF;
    TColor m_shadowColor = 0;
    bool m_focused = false;
    bool m_showHint = false;
};
