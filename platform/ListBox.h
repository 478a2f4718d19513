#pragma once
// `TListBox`: the class library's list of text lines (unit StdCtrls there),
// over a QListWidget. `Items` is a TStrings whose lines are the widget's
// rows, so assigning a string list fills the box. ItemIndex is the selected
// line (-1: none). OnClick fires when the user selects a line, OnDblClick on
// a double click over a line; OnKeyDown as the other controls (setting the
// key to 0 consumes it). Handler exceptions go to the boundary error handler.
//
// User-interface thread only.

#include "platform/Canvas.h"
#include "platform/Controls.h"
#include "platform/StringList.h"

#include <QListWidget>

#include <functional>
#include <string>

class TListBox;

class TListBoxStrings : public TStrings
{
  public:
    explicit TListBoxStrings(TListBox& Owner) : m_owner(Owner) {}
    std::string ClassName() const override { return "TListBoxStrings"; }

    int Count() const override;
    std::string Get(int index) const override;
    void Put(int index, const std::string& s) override;
    void Insert(int index, const std::string& s) override;
    void Delete(int index) override;
    void Clear() override;

  private:
    TListBox& m_owner;
};

class TListBox : public QListWidget, public TObject
{
  public:
    explicit TListBox(QWidget* Parent = nullptr);
    std::string ClassName() const override { return "TListBox"; }

    TStrings& Items() { return m_items; }
    const TStrings& Items() const { return m_items; }
    void SetItems(const TStrings& Value) { m_items.Assign(Value); }
    int ItemIndex() const { return currentRow(); }
    void SetItemIndex(int Value);
    int Count() const { return count(); }
    TFont& Font() { return m_font; }
    TColor Color() const { return m_color; }
    void SetColor(TColor Value);
    bool Visible() const { return !isHidden(); }
    void SetVisible(bool Value) { setVisible(Value); }
    bool CanFocus() const;
    void SetFocus();

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    std::function<void(TObject* sender, uint16_t& key, TShiftState shift)> OnKeyDown;

  protected:
    void keyPressEvent(QKeyEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;

  private:
    void ApplyLook();
    void Guarded(const char* Where, const std::function<void()>& Fn);

    TListBoxStrings m_items;
    TFont m_font;
    TColor m_color = clWindow;
};
