#pragma once
// `TKldPopupControl` (unit KldAppEditor): the borderless, top-most window
// that holds the search box's result list. It never takes the activation
// (nor the focus), so the main window stays active and the search edit
// keeps the keyboard while the list shows; it is outlined with one $808080
// pixel. The edit that dropped it down is remembered until it closes.

#include "platform/Controls.h"

#include <QPointer>

class TKldEditControl;

class TKldPopupControl : public TCustomControl
{
  public:
    TKldPopupControl();
    ~TKldPopupControl() override;
    std::string ClassName() const override { return "TKldPopupControl"; }

    // Shows the window under the edit: at the edit's top-left corner on the
    // screen when X and Y are both negative, otherwise at (X, Y); the
    // edit's height is added to Y. The size does not change.
    void Popup(TKldEditControl* Edit, int X, int Y);
    // Resizes to W x H without moving, and shows.
    void DoAdjustClientSize(int W, int H);
    // Hides the window and forgets the edit.
    void DoClosePopup();
    // The remembered edit closes its list without accepting; without one
    // the window closes.
    void CloseUp();
    TKldEditControl* Edit() const;

  protected:
    void Paint() override;

  private:
    QPointer<TKldEditControl> m_edit;
};
