// "RESIDENTS_DATA": the residents data form (ResidentsForm.h), run by its
// data-form manager in the mode it was started in: 0 the list, 1 a new
// resident for another form's plus button, 2 one resident to edit, 3 one
// resident to look at. Its print applet is "_RESIDENTS_DATA".
#include "ResidentsForm.h"

namespace {

class TResidentsDataApplet : public TovnApplet
{
  public:
    TResidentsDataApplet()
    {
        auto* form = new Samples::TResidentsForm;
        MainForm = form;
        OnInit = [this, form] { form->Start(this); };
    }
};

} // namespace

OVN_APPLET_INIT(new TResidentsDataApplet)
