#pragma once
// The stock edit and label of the class library, as the data-entry
// controls and the dialogs use them.
//
// - `TCustomEdit` is what every edit shares (text, selection, ReadOnly,
//   MaxLength, Modified, the editor's font and colour, the key and mouse
//   events); the one-line edits (`TMaskEdit`, `TDBEdit`) and the memo
//   (`TDBMemo`) implement it over their Qt widgets, so that routines taking
//   any edit (the calendar picker) take a `TCustomEdit`. `Widget` is the
//   Qt widget of the edit.
// - Events fire as the platform fires them: OnKeyDown before the editor
//   acts (setting the key to 0 consumes it), OnKeyPress with the character
//   typed (0 refuses it; a read-only edit reports it too and then ignores
//   it), OnChange on every change of the text, also one
//   made by code. Exceptions raised by handlers reach the boundary error
//   handler, never Qt.
// - `TCustomLabel`/`TLabel`: a caption in the label's font, auto-sized by
//   default, optionally transparent, with the mouse events.
// - Texts are plain text: a label shows "<b>x</b>" as those eight
//   characters. A name, subject or message from the server, a file or
//   another user must never become markup, a link or a picture read from a
//   local file. `TPlainLabel` is the stock Qt label for forms laid out with
//   Qt's layouts, and `PlainToolTip` the text for a tooltip (which Qt shows
//   as rich text when it looks like markup).

#include "platform/Canvas.h"
#include "platform/Controls.h"
#include "platform/Persistent.h"

#include <QLabel>

#include <cstdint>
#include <functional>
#include <string>

class QWidget;
class QKeyEvent;
class QMouseEvent;

using TKeyEvent = std::function<void(TObject* sender, uint16_t& key, TShiftState shift)>;
using TKeyPressEvent = std::function<void(TObject* sender, char32_t& key)>;
using TMouseEvent = std::function<void(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;

enum TEditCharCase
{
    ecNormal,
    ecUpperCase,
    ecLowerCase
};

class TCustomEdit : public TObject
{
  public:
    TCustomEdit();
    ~TCustomEdit() override;
    std::string ClassName() const override { return "TCustomEdit"; }

    virtual QWidget* Widget() = 0;
    const QWidget* Widget() const { return const_cast<TCustomEdit*>(this)->Widget(); }

    virtual std::string Text() const = 0;
    virtual void SetText(const std::string& Value) = 0;
    // Selection in characters.
    virtual int SelStart() const = 0;
    virtual void SetSelStart(int Value) = 0;
    virtual int SelLength() const = 0;
    virtual void SetSelLength(int Value) = 0;
    virtual std::string SelText() const = 0;
    virtual void SetSelText(const std::string& Value) = 0;
    void SelectAll();
    virtual bool ReadOnly() const = 0;
    virtual void SetReadOnly(bool Value) = 0;
    // 0: no limit.
    virtual int MaxLength() const = 0;
    virtual void SetMaxLength(int Value) = 0;
    // Whether the user changed the text since it was last set.
    virtual bool Modified() const = 0;
    virtual void SetModified(bool Value) = 0;

    TColor Color() const { return m_color; }
    void SetColor(TColor Value);
    TFont& Font() { return m_font; }
    TBorderStyle BorderStyle() const { return m_borderStyle; }
    void SetBorderStyle(TBorderStyle Value);
    bool Ctl3D() const { return m_ctl3D; }
    void SetCtl3D(bool Value) { m_ctl3D = Value; }
    bool AutoSelect() const { return m_autoSelect; }
    void SetAutoSelect(bool Value) { m_autoSelect = Value; }
    TEditCharCase CharCase() const { return m_charCase; }
    void SetCharCase(TEditCharCase Value);
    char PasswordChar() const { return m_passwordChar; }
    virtual void SetPasswordChar(char Value) { m_passwordChar = Value; }
    bool TabStop() const { return m_tabStop; }
    void SetTabStop(bool Value);

    int Left() const;
    int Top() const;
    int Width() const;
    int Height() const;
    void SetLeft(int Value);
    void SetTop(int Value);
    void SetWidth(int Value);
    void SetHeight(int Value);
    void SetBounds(int Left, int Top, int Width, int Height);
    bool CanFocus() const;
    bool Focused() const;
    void SetFocus();
    // A number the edit's owner keeps with it (a lookup stores the picked key here).
    intptr_t Tag = 0;

    TNotifyEvent OnChange;
    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    TKeyEvent OnKeyDown;
    TKeyEvent OnKeyUp;
    TKeyPressEvent OnKeyPress;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;

  protected:
    // Applies Color, Font and the border to the widget.
    virtual void ApplyLook();
    virtual void Change();
    virtual void KeyDown(uint16_t& Key, TShiftState Shift);
    virtual void KeyPress(char32_t& Key);
    virtual void DoEnter();
    virtual void DoExit();
    // The character case and OnKeyPress applied to a typed character; 0
    // when refused.
    char32_t FilterTyped(char32_t Key);

    // Shared event handling of the Qt widgets: each answers whether the
    // event was consumed.
    bool HandleKeyPress(QKeyEvent* Event);
    bool HandleKeyRelease(QKeyEvent* Event);
    void HandleMouse(QMouseEvent* Event, bool Press, bool Double);
    void HandleFocus(bool In);
    // Runs Fn; an exception goes to the boundary error handler.
    void Guarded(const char* Where, const std::function<void()>& Fn);

  private:
    TColor m_color = clWindow;
    TFont m_font;
    TBorderStyle m_borderStyle = bsSingle;
    bool m_ctl3D = true;
    bool m_autoSelect = true;
    TEditCharCase m_charCase = ecNormal;
    char m_passwordChar = 0;
    bool m_tabStop = true;
    bool m_clicking = false;
};

class TCustomLabel : public QLabel, public TObject
{
  public:
    explicit TCustomLabel(QWidget* Parent = nullptr);
    std::string ClassName() const override { return "TCustomLabel"; }

    std::string Caption() const { return text().toStdString(); }
    void SetCaption(const std::string& Value);
    TFont& Font() { return m_font; }
    bool AutoSize() const { return m_autoSize; }
    void SetAutoSize(bool Value);
    bool Transparent() const { return m_transparent; }
    void SetTransparent(bool Value);
    TColor Color() const { return m_color; }
    void SetColor(TColor Value);
    TTextLayout Layout() const { return m_layout; }
    void SetLayout(TTextLayout Value);
    // The control that gets the focus for the label's accelerator.
    QWidget* FocusControl() const { return m_focusControl; }
    void SetFocusControl(QWidget* Value) { m_focusControl = Value; }

    int Left() const { return x(); }
    int Top() const { return y(); }
    int Width() const { return width(); }
    int Height() const { return height(); }
    void SetLeft(int Value) { SetBounds(Value, Top(), Width(), Height()); }
    void SetTop(int Value) { SetBounds(Left(), Value, Width(), Height()); }
    void SetWidth(int Value) { SetBounds(Left(), Top(), Value, Height()); }
    void SetHeight(int Value) { SetBounds(Left(), Top(), Width(), Value); }
    void SetBounds(int Left, int Top, int Width, int Height);
    bool Visible() const { return !isHidden(); }
    void SetVisible(bool Value) { setVisible(Value); }

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;

  protected:
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;

  private:
    void ApplyLook();
    void AdjustBounds();

    TFont m_font;
    bool m_autoSize = true;
    bool m_transparent = false;
    TColor m_color = clBtnFace;
    TTextLayout m_layout = tlTop;
    QWidget* m_focusControl = nullptr;
    bool m_clicking = false;
};

class TLabel : public TCustomLabel
{
  public:
    using TCustomLabel::TCustomLabel;
    std::string ClassName() const override { return "TLabel"; }
};

// A stock Qt label whose text is always plain text.
class TPlainLabel : public QLabel
{
  public:
    explicit TPlainLabel(QWidget* Parent = nullptr, Qt::WindowFlags Flags = {});
    explicit TPlainLabel(const QString& Text, QWidget* Parent = nullptr, Qt::WindowFlags Flags = {});
};

// Text for setToolTip that shows Text as it is, each line end (CR LF, CR or
// LF) a line break: unchanged when Qt would show it as plain text anyway,
// else escaped into a paragraph.
QString PlainToolTip(const QString& Text);
QString PlainToolTip(const std::string& Text);
