#pragma once
// `TfrmDataEnterprise`, the modal dialog "Enterprise Data": adds, edits and
// deletes enterprises on the enterprises window's list. The industry
// drop-down takes typed text and its items come from the advertising
// service, asked for by "&Add" and "&Edit" at most once per showing while
// it has items.

#include "admin/MasterRecordDialog.h"

#include <string>

class TDBCheckBox;
class TDBComboBox;
class TDBEdit;

class TfrmDataEnterprise : public TAddressRecordDialog
{
  public:
    explicit TfrmDataEnterprise(TAdminContext Context, QWidget* Parent = nullptr);
    std::string ClassName() const override { return "TfrmDataEnterprise"; }

    void AddClick() override;
    void EditClick() override;
    // Fills the industry drop-down unless it has items.
    void LoadIndustries();

    TDBEdit* edtEnterprise;
    TDBComboBox* cboIndustry;
    TDBCheckBox* chkAdvertise;
    TDBCheckBox* chkSecure;

  protected:
    // Starts with no industries: the first "&Add" or "&Edit" asks the
    // service.
    void Load() override;
    bool SaveCheck() override;

  private:
    TIndustryList m_industries;
    std::string m_nameBefore;
};
