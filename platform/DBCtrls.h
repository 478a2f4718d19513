#pragma once
// The platform's data-aware edit and memo over a `TFieldDataLink`:
//
// - the field's value is shown when the record changes (the edit takes the
//   field's EditMask; the editing text while focused and modifiable, the
//   display text otherwise); a text equal to the one shown is left alone,
//   with the user's selection and caret;
// - typing first puts the dataset into edit state through the link; when
//   that is refused (read-only link, field or dataset) the key is refused;
// - Escape gives the field's value back; leaving the control writes a
//   changed value into the field (UpdateRecord); a failed write selects the
//   text, takes the focus back and reaches the program's error boundary.
// ReadOnly is the link's.

#include "platform/DataSource.h"
#include "platform/Mask.h"
#include "platform/StdCtrls.h"
#include "platform/StringList.h"

#include <QPlainTextEdit>

class TDataSource;
class TField;

class TDBEdit : public TCustomMaskEdit
{
  public:
    explicit TDBEdit(QWidget* Parent = nullptr);
    ~TDBEdit() override;
    std::string ClassName() const override { return "TDBEdit"; }

    TDataSource* DataSource() const { return m_link.DataSource(); }
    void SetDataSource(TDataSource* Value);
    const std::string& DataField() const { return m_link.FieldName(); }
    void SetDataField(const std::string& Value);
    TField* Field() const { return m_link.Field(); }
    TFieldDataLink& DataLink() { return m_link; }
    bool ReadOnly() const override { return m_link.ReadOnly(); }
    void SetReadOnly(bool Value) override;

  protected:
    // The field's text as the edit shows it: its display text, or the text
    // to edit (Display false). A descendant that shows a field in a form of
    // its own overrides it; the text written back is read as the field's text.
    virtual std::string FieldText(TField& Field, bool Display);
    bool EditCanModify() override;
    void Change() override;
    void KeyDown(uint16_t& Key, TShiftState Shift) override;
    void DoExit() override;

  private:
    void DataChange();
    void UpdateData();

    TFieldDataLink m_link;
};

class TDBMemo : public QPlainTextEdit, public TCustomEdit
{
  public:
    explicit TDBMemo(QWidget* Parent = nullptr);
    ~TDBMemo() override;
    std::string ClassName() const override { return "TDBMemo"; }
    QWidget* Widget() override { return this; }

    TDataSource* DataSource() const { return m_link.DataSource(); }
    void SetDataSource(TDataSource* Value);
    const std::string& DataField() const { return m_link.FieldName(); }
    void SetDataField(const std::string& Value);
    TField* Field() const { return m_link.Field(); }
    TFieldDataLink& DataLink() { return m_link; }

    std::string Text() const override;
    void SetText(const std::string& Value) override;
    int SelStart() const override;
    void SetSelStart(int Value) override;
    int SelLength() const override;
    void SetSelLength(int Value) override;
    std::string SelText() const override;
    void SetSelText(const std::string& Value) override;
    bool ReadOnly() const override { return m_link.ReadOnly(); }
    void SetReadOnly(bool Value) override;
    int MaxLength() const override { return m_maxLength; }
    void SetMaxLength(int Value) override { m_maxLength = std::max(0, Value); }
    bool Modified() const override;
    void SetModified(bool Value) override;

    // One entry per line of the text, copied into Lines.
    void GetLines(TStrings& Lines) const;
    // Assigning copies the lines.
    void SetLines(const TStrings& Value);
    TScrollStyle ScrollBars() const { return m_scrollBars; }
    void SetScrollBars(TScrollStyle Value);
    TAlignment Alignment() const { return m_alignment; }
    void SetAlignment(TAlignment Value);
    bool WantTabs() const { return m_wantTabs; }
    void SetWantTabs(bool Value);
    bool WordWrap() const { return m_wordWrap; }
    void SetWordWrap(bool Value);

  protected:
    void ApplyLook() override;
    void Change() override;
    void KeyDown(uint16_t& Key, TShiftState Shift) override;
    void DoExit() override;

    void keyPressEvent(QKeyEvent* Event) override;
    void keyReleaseEvent(QKeyEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;
    void focusInEvent(QFocusEvent* Event) override;
    void focusOutEvent(QFocusEvent* Event) override;

  private:
    void DataChange();
    void UpdateData();

    TFieldDataLink m_link;
    int m_maxLength = 0;
    TScrollStyle m_scrollBars = ssNone;
    TAlignment m_alignment = taLeftJustify;
    bool m_wantTabs = false;
    bool m_wordWrap = true;
};
