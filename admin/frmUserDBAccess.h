#pragma once
// `TfrmUserDBAccess`, "Database Access for <user>": the roles a user holds,
// one per database alias; adds and removes them and overrides a role for
// this one user (a private copy whose rights the rights editor edits).

#include "admin/AdminForms.h"
#include "platform/Forms.h"

#include <memory>
#include <string>

class QLabel;
class QPushButton;
class TDBGrid;
class TDataSet;
class TDataSource;
class TovnOndrelQuery;
class TovnOndrelTable;

class TfrmUserDBAccess : public TAdminDialog
{
  public:
    explicit TfrmUserDBAccess(TAdminContext Context, QWidget* Parent = nullptr);
    ~TfrmUserDBAccess() override;
    std::string ClassName() const override { return "TfrmUserDBAccess"; }

    // The users window's table; its current row is the user.
    void SetUserTable(TDataSet* Users);

    void AddClick();
    void DeleteClick();
    void OverrideClick();
    // Opens the rights editor on the override role; answers whether it saved
    // (the editor's Tag 100). Tests replace it.
    std::function<bool(const std::string& Role, const std::string& Enterprise, const std::string& Alias,
                       const std::string& Caption)>
        EditRights;

    TDBGrid* grdAccess;
    QLabel* lblOverriden;
    QPushButton* btnRefresh;
    QPushButton* btnAdd;
    QPushButton* btnDelete;
    QPushButton* btnOverride;
    QPushButton* btnClose;
    std::unique_ptr<TovnOndrelTable> tblUA;
    std::unique_ptr<TovnOndrelQuery> qryRole;
    std::unique_ptr<TovnOndrelQuery> qryBLOB;
    std::unique_ptr<TovnOndrelQuery> qryDouble;
    std::unique_ptr<TovnOndrelTable> tblRoleOverride;
    std::unique_ptr<TDataSource> dsUA;

  protected:
    void Load() override;

  private:
    void UpdateButtons();
    int32_t UserCounter() const;

    TDataSet* m_users = nullptr;
};
