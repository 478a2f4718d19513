#pragma once
// `TfrmDataFacility`, the modal dialog "Facility Data": adds, edits and
// deletes the facilities of the enterprises window's current enterprise.

#include "admin/MasterRecordDialog.h"

#include <string>

class TDBEdit;

class TfrmDataFacility : public TMasterRecordDialog
{
  public:
    explicit TfrmDataFacility(TAdminContext Context, QWidget* Parent = nullptr);
    std::string ClassName() const override { return "TfrmDataFacility"; }

    TDBEdit* edtFacility;
    TDBEdit* edtDescription;
    TDBEdit* edtAddress1;
    TDBEdit* edtAddress2;
    TDBEdit* edtCity;
    TDBEdit* edtState;
    TDBEdit* edtZip;
    TDBEdit* edtPhone1;
    TDBEdit* edtPhone2;
    TDBEdit* edtFax;
    TDBEdit* edtContact1;
    TDBEdit* edtContact2;
};
