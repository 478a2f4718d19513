#pragma once
// `TfrmRoleData`, the modal dialog "Role Data": adds, edits and deletes base
// roles on the users window's role table and opens the rights editor for
// the current role.

#include "admin/AdminForms.h"
#include "platform/Forms.h"

#include <memory>
#include <string>
#include <vector>

class QPushButton;
class TDBCheckBox;
class TDBEdit;
class TDBNavigator;
class TDataSet;
class TDataSource;
class TovnOndrelQuery;

class TfrmRoleData : public TAdminDialog
{
  public:
    explicit TfrmRoleData(TAdminContext Context, QWidget* Parent = nullptr);
    ~TfrmRoleData() override;
    std::string ClassName() const override { return "TfrmRoleData"; }

    void SetDataSource(TDataSource* Value);
    void View();
    void Change();
    void AddClick();
    void EditClick();
    void DeleteClick();
    void OKClick();
    void CloseClick();
    void EnterpriseClick();
    void AliasClick();
    void SecurityClick();

    TDBEdit* edtRole;
    TDBEdit* edtDescription;
    TDBCheckBox* chkCU;
    TDBEdit* edtEnterprise;
    QPushButton* btnEnterprise;
    TDBEdit* edtAlias;
    QPushButton* btnAlias;
    QPushButton* btnSecurity;
    QPushButton* btnAdd;
    QPushButton* btnEdit;
    QPushButton* btnDelete;
    QPushButton* btnOK;
    QPushButton* btnClose;
    TDBNavigator* Navigator;
    std::unique_ptr<TovnOndrelQuery> qryEnterprise;
    std::unique_ptr<TovnOndrelQuery> qryAlias;

  protected:
    void Load() override;

  private:
    TDataSet& Data() const;
    void UpdateSecurityButton();
    // "Manager can not modify global role" for a manager and a role of
    // another enterprise.
    void CheckManagerRole();

    TDataSource* m_ds = nullptr;
    std::vector<QWidget*> m_dataControls;
};
