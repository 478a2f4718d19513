#pragma once
// Unit ovnDBLookupCombo: `TovnDBLookupCombo` edits a foreign key of the
// current record while showing a text for it. It binds two fields of one
// dataset: the key (DataField, in a hidden editor the user never sees) and
// the display text (DataDisplayField, read-only on screen). Its value text is
// key + #2 + display. The key comes from the lookup window, from quick typing
// (the typed text searched on the server) or is cleared with Backspace; the
// information button opens PlusResource's applet on the current key.

#include "Components/Nembra/ovnOndrel.h"
#include "platform/DBCtrls.h"
#include "platform/SysUtils.h"
#include "ui/ovnComboBase.h"

KLD_DECLARE_EXCEPTION(EovnDBLookupCombo, Exception);

class TovnDBLookupCombo : public TovnComboBase
{
  public:
    explicit TovnDBLookupCombo(QWidget* Parent = nullptr, bool Designing = false);
    ~TovnDBLookupCombo() override;
    std::string ClassName() const override { return "TovnDBLookupCombo"; }

    const std::string& QuickTypeWhere() const { return m_quickTypeWhere; }
    void SetQuickTypeWhere(const std::string& Value) { m_quickTypeWhere = Value; }
    bool InfoButton() const { return m_infoButton; }
    void SetInfoButton(bool Value);
    std::string TextDisplayed() const { return Text(); }
    void SetTextDisplayed(const std::string& Value) { SetText(Value); }
    const std::string& LookupDisplayField() const { return m_lookupDisplayField; }
    void SetLookupDisplayField(const std::string& Value) { m_lookupDisplayField = Value; }

    TDataSource* DataSource() const { return m_displayEdit->DataSource(); }
    void SetDataSource(TDataSource* Value);
    const std::string& DataField() const { return m_keyEdit->DataField(); }
    void SetDataField(const std::string& Value);
    const std::string& DataDisplayField() const { return m_displayEdit->DataField(); }
    void SetDataDisplayField(const std::string& Value) { m_displayEdit->SetDataField(Value); }

    // The hidden key editor and the display editor.
    TDBEdit& KeyEdit() { return *m_keyEdit; }
    TDBEdit& DisplayEdit() { return *m_displayEdit; }
    TovnControlButton& InfoButtonControl() { return *m_infoButtonControl; }
    // The own query that owns LookupSQL; the combo never opens it.
    TovnOndrelQuery& OwnQuery() { return *m_query; }
    // The key editor's text.
    std::string KeyText() const { return m_keyEdit->Text(); }

    // Closes the own query when it is open, then handles the key as changed.
    void ReconnectForeignKey();
    // The information button: PlusResource's applet in quick view on the key.
    void ShowInfo();

    void SetValue(const std::string& Value) override;
    std::string GetValue() override;
    void EnableContents(bool Value) override;
    void Loaded() override;

  protected:
    bool InfoVisible() const override;
    int InfoWidth() const override;
    void PlaceInfo(int Left, int Height) override;
    [[noreturn]] void RaiseError(const std::string& Message) const override;
    void ClearChoice() override;
    void TakeRow(TDataSet& Rows) override;
    void TakeLine(const std::string& Line) override;
    void QuickTyped(char32_t Typed) override;
    std::string DefaultSearchField() const override { return m_lookupDisplayField; }
    std::string PlusDisplayField() const override { return m_lookupDisplayField; }
    std::string HintKey() const override { return KeyText(); }

  private:
    void KeyChanged();
    // Puts the key's dataset into edit state when it is open and browsing.
    void EditKeyDataSet();

    TDBEdit* m_displayEdit;
    std::unique_ptr<TDBEdit> m_keyEdit;
    TovnControlButton* m_infoButtonControl = nullptr;
    std::unique_ptr<TovnOndrelQuery> m_query;
    std::string m_quickTypeWhere;
    std::string m_lookupDisplayField;
    bool m_infoButton = true;
    bool m_dataFieldSet = false;
    bool m_inKeyChange = false;
};
