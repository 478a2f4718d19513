// "RESIDENT_VISITS": the visits data form (VisitsForm.h), whose lookup combo
// creates residents through "RESIDENTS_DATA" and shows them.
#include "VisitsForm.h"

namespace {

class TVisitsApplet : public TovnApplet
{
  public:
    TVisitsApplet()
    {
        auto* form = new Samples::TVisitsForm;
        MainForm = form;
        OnInit = [this, form] { form->Start(this); };
    }
};

} // namespace

OVN_APPLET_INIT(new TVisitsApplet)
