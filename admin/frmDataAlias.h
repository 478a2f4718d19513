#pragma once
// `TfrmDataAlias`, the modal dialog "Alias Data": adds, edits and deletes
// the database aliases of the enterprises window's current enterprise. A
// new alias is served by the "ORACLE" driver until another is chosen.

#include "admin/MasterRecordDialog.h"

#include <string>

class TDBComboBox;
class TDBEdit;
class TDBMemo;
class TGroupBox;

class TfrmDataAlias : public TMasterRecordDialog
{
  public:
    explicit TfrmDataAlias(TAdminContext Context, QWidget* Parent = nullptr);
    std::string ClassName() const override { return "TfrmDataAlias"; }

    void AddClick() override;

    TDBEdit* edtAlias;
    TDBEdit* edtDescription;
    TGroupBox* grpLogin;
    TDBComboBox* cboDriver;
    TDBEdit* edtServer;
    TDBMemo* memParams;
};
