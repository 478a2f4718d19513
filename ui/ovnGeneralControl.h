#pragma once
// Unit ovnGeneralControl: what the data-entry controls and the applet object
// share. The applet interface and the combo types sit here so that a control
// can reach the applet owning its form without knowing the controller.
// The data-entry base (`TovnGeneralControl`) joins this unit.

#include "platform/Persistent.h"

#include <string>

class TCustomEdit;

// The calendar tool of a combo: none, date, date and time, month of a year.
enum class TLookupTool
{
    ltNone,
    ltCalendarDate,
    ltCalendarDateTime,
    ltCalendarPeriod
};

// The abstract applet through which a control reaches the applet that owns
// its form. The applet object of the controller is its one implementation.
// The order of the operations is part of the applet libraries' interface.
class TovnVirtualApplet : public TObject
{
  public:
    ~TovnVirtualApplet() override = default;
    virtual bool Close(bool CloseAll) = 0;
    virtual bool RunApplet(const std::string& Resource, int Mode, const std::string& Params) = 0;
    virtual bool Calendar(TCustomEdit* Edit, TLookupTool Tool) = 0;
};
