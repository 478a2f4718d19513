#pragma once
// Unit ovnCalendar: `runCalendar` picks a date, a date and time, or a month
// of a year into an edit, or clears it, in the modal `TfrmCalendar` (Tag
// 200 OK, 100 Clear, 0 Cancel or closing). Without an edit the calendar is
// shown for viewing only.

#include "platform/Forms.h"
#include "platform/Mask.h"
#include "ui/ovnGeneralControl.h"

#include <functional>
#include <string>

class QCalendarWidget;
class QPushButton;
class QWidget;

class TfrmCalendar : public TDialogForm
{
  public:
    explicit TfrmCalendar(QWidget* Parent = nullptr);
    std::string ClassName() const override { return "TfrmCalendar"; }

    // Hides OK and Clear and names Cancel "Close".
    void SetViewOnly();
    bool ViewOnly() const { return m_viewOnly; }

    QCalendarWidget* cal;
    QWidget* pnlBottom;
    QPushButton* btnOk;
    QPushButton* btnCancel;
    QPushButton* btnClear;
    TMaskEdit* edtTime;

  protected:
    void keyPressEvent(QKeyEvent* Event) override;

  private:
    void Choose();

    bool m_viewOnly = false;
};

// The edit mask and the blank text of a calendar tool (empty for ltNone).
std::string CalendarToolMask(TLookupTool Tool);
std::string CalendarToolBlankText(TLookupTool Tool);

// Sets the form up as runCalendar shows it: today's date, the time edit
// with the current time for ltCalendarDateTime, view-only without an edit.
void PrepareCalendar(TfrmCalendar& Form, TLookupTool Tool, bool HasEdit);

// True after OK or Clear, False after Cancel. A nil Edit only shows the
// calendar.
bool runCalendar(TCustomEdit* Edit, TLookupTool Tool);

// The controller's calendar, as a combo without an applet reaches it: the
// controller registers it (below the controller, ui cannot call it).
using TCalendarHandler = std::function<bool(TCustomEdit* Edit, TLookupTool Tool)>;
// Registers Value (empty: none) and answers the handler registered before.
TCalendarHandler SetControllerCalendar(TCalendarHandler Value);
// Runs the registered calendar; raises Exception "No controller calendar is
// registered" when there is none.
bool ControllerCalendar(TCustomEdit* Edit, TLookupTool Tool);
