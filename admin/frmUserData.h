#pragma once
// `TfrmUserData`, the modal dialog "User Data": adds, edits and deletes user
// accounts on the users window's table (bound through DS), enforcing the
// account rules of UserDataRules.

#include "admin/AdminForms.h"
#include "platform/Forms.h"

#include <memory>
#include <string>
#include <vector>

class QPushButton;
class TDBCheckBox;
class TDBComboBox;
class TDBEdit;
class TDBNavigator;
class TDataSet;
class TDataSource;
class TEdit;
class TovnOndrelQuery;

class TfrmUserData : public TAdminDialog
{
  public:
    explicit TfrmUserData(TAdminContext Context, QWidget* Parent = nullptr);
    ~TfrmUserData() override;
    std::string ClassName() const override { return "TfrmUserData"; }

    // Binds every data control (and the navigator) to Value's dataset.
    void SetDataSource(TDataSource* Value);
    TDataSource* DS() const { return m_ds; }

    void View();
    void Change();
    void AddClick();
    void EditClick();
    void DeleteClick();
    void OKClick();
    void CloseClick();
    void PasswordClick();
    void EnterpriseClick();
    void TypeRules();

    TDBEdit* edtID;
    TEdit* edtPassword;
    QPushButton* btnPassword;
    TDBEdit* edtLast;
    TDBEdit* edtFirst;
    TDBComboBox* cboType;
    TDBEdit* cboEnterprise;
    QPushButton* btnEnterprise;
    TDBEdit* edtExpDate;
    TDBEdit* edtInterval;
    TDBEdit* edtWarning;
    TDBComboBox* cboFAF;
    TDBCheckBox* chkCU;
    TDBCheckBox* chkRole;
    TDBCheckBox* chkFA;
    TDBCheckBox* chkDBA;
    TDBCheckBox* chkRes;
    TDBEdit* edtEMail;
    QPushButton* btnAdd;
    QPushButton* btnEdit;
    QPushButton* btnDelete;
    QPushButton* btnOK;
    QPushButton* btnClose;
    TDBNavigator* Navigator;
    std::unique_ptr<TovnOndrelQuery> qryEnterprise;

  protected:
    void Load() override;
    void CloseQuery(bool& CanClose) override;

  private:
    TDataSet& Data() const;
    void RecordChanged();
    bool Save();

    TDataSource* m_ds = nullptr;
    std::vector<QWidget*> m_dataControls;
    std::string m_rememberedFlag;
};
