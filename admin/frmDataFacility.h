#pragma once
// `TfrmDataFacility`, the modal dialog "Facility Data": adds, edits and
// deletes the facilities of the enterprises window's current enterprise.

#include "admin/MasterRecordDialog.h"

#include <string>

class TDBEdit;

class TfrmDataFacility : public TAddressRecordDialog
{
  public:
    explicit TfrmDataFacility(TAdminContext Context, QWidget* Parent = nullptr);
    std::string ClassName() const override { return "TfrmDataFacility"; }

    TDBEdit* edtFacility;
};
