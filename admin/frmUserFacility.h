#pragma once
// `TfrmUserFacility`: the facilities of a user's enterprise with a tick per
// facility and, for a manager, a manager tick; "&OK" rewrites the user's
// rows of the listed facilities in TBL_USERFACILITYACCESS.

#include "admin/AdminForms.h"
#include "platform/Forms.h"

#include <string>

class QLabel;
class QPushButton;
class TReportList;

class TfrmUserFacility : public TAdminDialog
{
  public:
    explicit TfrmUserFacility(TAdminContext Context, QWidget* Parent = nullptr);
    std::string ClassName() const override { return "TfrmUserFacility"; }

    // Handed over by the opener before showing.
    int32_t UserCounter = 0;
    int32_t Enterprise = 0;
    bool IsManager = false;
    void SetInfo(const std::string& Text);

    void ListMouseUp(int X, int Y);
    void OKClick();

    TReportList* lvFacilities;
    QLabel* lblInfo;
    QPushButton* btnOK;
    QPushButton* btnCancel;

  protected:
    void Load() override;
};
