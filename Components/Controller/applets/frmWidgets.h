#pragma once
// The "Customize Widgets" dialog (unit frmWidgets): the module's widgets as a
// check list, ticked when shown, in display order. "Move &Up" and "Move
// &Down" move the selected line (nothing at the ends or without a
// selection), "Reset Defaults" brings back the list as it was when the
// dialog opened, "OK" sets each widget's visibility from its tick and hands
// the new order back; "Cancel" changes nothing.
//
// The list's rules are plain (`TWidgetChoice`); the dialog shows them.

#include "platform/Forms.h"
#include "platform/StringList.h"

#include <string>
#include <vector>

class QListWidget;
class TKldAppItem;

class TWidgetChoice
{
  public:
    struct TLine
    {
        std::string Caption;
        TKldAppItem* Item = nullptr;
        bool Checked = false;
    };

    // Lines: captions with their widget items; ticks from the items.
    explicit TWidgetChoice(const TStrings& Lines);
    const std::vector<TLine>& Lines() const { return m_lines; }
    void SetChecked(int Index, bool Value);
    // Answer the selection after the move (unchanged when nothing moved).
    int MoveUp(int Selected);
    int MoveDown(int Selected);
    void Reset() { m_lines = m_initial; }
    // Sets each item's visibility and writes the lines back in order.
    void Apply(TStrings& Lines) const;

  private:
    std::vector<TLine> m_lines;
    std::vector<TLine> m_initial;
};

class TfrmWidgets : public TDialogForm
{
  public:
    explicit TfrmWidgets(const TStrings& Lines, QWidget* Parent = nullptr);
    std::string ClassName() const override { return "TfrmWidgets"; }

    TWidgetChoice& Choice() { return m_choice; }
    QListWidget& List() const { return *m_list; }
    void MoveUpClick();
    void MoveDownClick();
    void ResetClick();

    // Runs the dialog over the lines; True (lines and items updated) on OK.
    static bool Execute(TStrings& Lines);

  private:
    void Fill(int Selected);
    void TakeTicks();

    TWidgetChoice m_choice;
    QListWidget* m_list = nullptr;
};
