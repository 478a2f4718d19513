#pragma once
// Stock controls of the class library that applet forms place beside the
// data-entry family, as thin Qt widgets under the library's names:
// `TEdit`, `TMemo`, `TButton`, `TBitBtn`, `TCheckBox`, `TRadioButton`,
// `TGroupBox` and `TComboBox`. Each keeps the settings that the system's
// code reads and writes (text or caption, Checked, ReadOnly, Color, the
// font colour); the component name is the widget's object name.
// Widgets: main thread only.

#include "platform/Canvas.h"
#include "platform/Colors.h"
#include "platform/Mask.h"
#include "platform/Persistent.h"
#include "platform/StdCtrls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include <string>

// Paints Widget's background (the editing area of edits and lists) in Color.
void ApplyWidgetColor(QWidget* Widget, TColor Color);
// Paints Widget's text in Color.
void ApplyWidgetFontColor(QWidget* Widget, TColor Color);

// A one-line edit without a mask.
class TEdit : public TCustomMaskEdit
{
  public:
    using TCustomMaskEdit::TCustomMaskEdit;
    std::string ClassName() const override { return "TEdit"; }
};

// A plain multi-line edit.
class TMemo : public QPlainTextEdit, public TCustomEdit
{
  public:
    explicit TMemo(QWidget* Parent = nullptr);
    std::string ClassName() const override { return "TMemo"; }
    QWidget* Widget() override { return this; }

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
    void SetMaxLength(int Value) override { m_maxLength = Value < 0 ? 0 : Value; }
    bool Modified() const override;
    void SetModified(bool Value) override;

  private:
    int m_maxLength = 0;
};

class TButton : public QPushButton, public TObject
{
  public:
    explicit TButton(QWidget* Parent = nullptr) : QPushButton(Parent) {}
    std::string ClassName() const override { return "TButton"; }
    std::string Caption() const { return text().toStdString(); }
    void SetCaption(const std::string& Value) { setText(QString::fromStdString(Value)); }
    bool Visible() const { return !isHidden(); }
    void SetVisible(bool Value) { setVisible(Value); }
};

// A button with a picture beside its caption.
class TBitBtn : public TButton
{
  public:
    using TButton::TButton;
    std::string ClassName() const override { return "TBitBtn"; }
};

class TCheckBox : public QCheckBox, public TObject
{
  public:
    explicit TCheckBox(QWidget* Parent = nullptr) : QCheckBox(Parent) {}
    std::string ClassName() const override { return "TCheckBox"; }
    std::string Caption() const { return text().toStdString(); }
    void SetCaption(const std::string& Value) { setText(QString::fromStdString(Value)); }
    bool Checked() const { return isChecked(); }
    virtual void SetChecked(bool Value) { setChecked(Value); }
    TColor Color() const { return m_color; }
    void SetColor(TColor Value);

  private:
    TColor m_color = clBtnFace;
};

class TRadioButton : public QRadioButton, public TObject
{
  public:
    explicit TRadioButton(QWidget* Parent = nullptr) : QRadioButton(Parent) {}
    std::string ClassName() const override { return "TRadioButton"; }
    std::string Caption() const { return text().toStdString(); }
    void SetCaption(const std::string& Value) { setText(QString::fromStdString(Value)); }
    bool Checked() const { return isChecked(); }
    void SetChecked(bool Value) { setChecked(Value); }
    TFont& Font() { return m_font; }
    // Applies Font's colour to the caption.
    void FontChanged();

  private:
    TFont m_font;
};

class TGroupBox : public QGroupBox, public TObject
{
  public:
    explicit TGroupBox(QWidget* Parent = nullptr) : QGroupBox(Parent) {}
    std::string ClassName() const override { return "TGroupBox"; }
    std::string Caption() const { return title().toStdString(); }
    void SetCaption(const std::string& Value) { setTitle(QString::fromStdString(Value)); }
};

// A drop-down list with an edit (csDropDown) or without one
// (csDropDownList, where the text is the chosen line).
enum TComboBoxStyle
{
    csDropDown,
    csSimple,
    csDropDownList
};

class TComboBox : public QComboBox, public TObject
{
  public:
    explicit TComboBox(QWidget* Parent = nullptr);
    std::string ClassName() const override { return "TComboBox"; }

    std::string Text() const;
    // The line that equals Value becomes the current one (none when no
    // line does); an editable box shows Value whatever the lines are.
    void SetText(const std::string& Value);
    int ItemIndex() const { return currentIndex(); }
    void SetItemIndex(int Value) { setCurrentIndex(Value < count() ? Value : -1); }
    int ItemCount() const { return count(); }
    void AddItem(const std::string& Value) { addItem(QString::fromStdString(Value)); }
    void ClearItems() { clear(); }
    TComboBoxStyle Style() const { return m_style; }
    virtual void SetStyle(TComboBoxStyle Value);
    TColor Color() const { return m_color; }
    void SetColor(TColor Value);
    // While set, the list does not open.
    bool DropDownLocked() const { return m_dropDownLocked; }
    void SetDropDownLocked(bool Value) { m_dropDownLocked = Value; }

    void showPopup() override;
    // Called when the open list closes, chosen or not (OnCloseUp).
    void hidePopup() override;
    TNotifyEvent OnCloseUp;

  private:
    TComboBoxStyle m_style = csDropDown;
    TColor m_color = clWindow;
    bool m_dropDownLocked = false;
};
