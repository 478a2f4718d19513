#pragma once
// `TfrmUsers`, the modal window "Users": the users and the roles that the
// signed-in administrator may manage, on two tabs; the user list narrowed by
// enterprise, facility, alias or role; the editors opened on the current
// row. What the administrator sees is the where list of UserListRules.

#include "admin/AdminForms.h"
#include "platform/Forms.h"

#include <QComboBox>

#include <memory>
#include <string>

class QPushButton;
class TDBGrid;
class TDataSet;
class TDataSource;
class TEdit;
class TPageControl;
class TTabSheet;
class TovnOndrelQuery;
class TovnOndrelTable;

class TfrmUsers : public TAdminDialog
{
  public:
    explicit TfrmUsers(TAdminContext Context, QWidget* Parent = nullptr);
    ~TfrmUsers() override;
    std::string ClassName() const override { return "TfrmUsers"; }

    void ListByChange();
    void ValuePick();
    void ValueChange();
    void RoleValueChange();
    void RoleValuePick();
    void PageChanging(bool& AllowChange);
    void UserDetails();
    void FacilityAccess();
    void DatabaseAccess();
    void RoleDetails();
    void MenuSecurity();
    // Cancels an edit or insert left pending on DataSet.
    static void CancelPending(TDataSet& DataSet);

    TListBy ListBy() const { return static_cast<TListBy>(cboListBy->currentIndex()); }
    int32_t RememberedEnterprise() const { return m_enterprise; }

    TPageControl* Pages;
    TTabSheet* tsUsers;
    TTabSheet* tsRoles;
    QComboBox* cboListBy;
    TEdit* edtValue;
    QPushButton* btnValue;
    TDBGrid* grdUsers;
    QPushButton* btnFilter;
    QPushButton* btnRefresh;
    QPushButton* btnDetails;
    QPushButton* btnFacility;
    QPushButton* btnDBAccess;
    TEdit* edtRoleValue;
    QPushButton* btnRoleValue;
    TDBGrid* grdRoles;
    QPushButton* btnRoleFilter;
    QPushButton* btnRoleRefresh;
    QPushButton* btnRoleDetails;
    QPushButton* btnMenuSecurity;

    std::unique_ptr<TovnOndrelTable> tblUser;
    std::unique_ptr<TovnOndrelTable> tblRole;
    std::unique_ptr<TovnOndrelQuery> qryLookup;
    std::unique_ptr<TDataSource> dsUser;
    std::unique_ptr<TDataSource> dsRole;

  protected:
    // The on-show set-up (binding, button rights, "All"); runs once.
    void Load() override;

  private:
    void UserActiveChanged();
    void UserDataChanged();
    void RoleDataChanged();
    void NewUser();
    void NewRole();
    void FillLookup(TListBy Choice);

    int32_t m_enterprise = 0;
    std::string m_enterpriseName;
};
