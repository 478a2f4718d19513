#pragma once
// `TfrmUserList`, the module window "User List": the users of the suite
// that the signed-in administrator may see, with when and from where those
// signed in started their session (from PLG_SYSTEM's RTIGetSessions), the
// list narrowed to the users online by "&Online Users", and an O-Mail to
// the chosen user. The main window holds one (DoOpenUserList); closing it
// destroys it and tells the controller (AppletClosed). The statement and
// the session matching are ConnectionsRules.h.
//
// Main thread only.

#include "Components/Controller/applets/KldForms.h"
#include "admin/ConnectionsRules.h"

#include <functional>
#include <memory>
#include <string>

class QPushButton;
class TDBGrid;
class TDataSource;
class TNembraDatabase;
class TovnOndrelPlugIn;
class TovnOndrelQuery;

// What the window works with: the controller's in the program, a session of
// their own in tests.
struct TUserListContext
{
    TAdministrator Admin;             // UserType and C_Enterprise are read
    TNembraDatabase* SysDB = nullptr; // the system database ("SYSTEM_DATA")
    std::string ConnectionName = "MAIN";
    // The controller's SendOMail with the recipient and the rest empty.
    std::function<void(const std::string& To)> SendOMail;
    // The controller's AppletClosed.
    std::function<void(QWidget* Form)> AppletClosed;
};

// The signed-in controller's.
TUserListContext UserListContextOfController();

class TfrmUserList : public TModuleForm
{
  public:
    TfrmUserList(QWidget* Owner, TModuleItem* Item, TUserListContext Context);
    ~TfrmUserList() override;
    std::string ClassName() const override { return "TfrmUserList"; }

    // The list again, with the toggle's state (on show, "Refresh" and a
    // click on "&Online Users").
    void RefreshList();
    // "Filter...": the advanced filter dialog; the caption is bold while
    // the list is filtered.
    void Filter();
    // "&OMail" to the chosen user.
    void SendMail();
    void FormClose(TFormCloseAction& Action) override;
    void Deactivate() override;

    // The sessions of the last rebuild.
    const TServerSessions& Sessions() const { return m_sessions; }
    const TUserListContext& Context() const { return m_context; }

    TDBGrid* grdUsers;
    QPushButton* btnOnline;
    QPushButton* btnFilter;
    QPushButton* btnRefresh;
    QPushButton* btnOMail;
    QPushButton* btnClose;

    std::unique_ptr<TovnOndrelPlugIn> plgServerSessions;
    std::unique_ptr<TovnOndrelQuery> Users;
    std::unique_ptr<TDataSource> dsUsers;

  protected:
    void showEvent(QShowEvent* Event) override;

  private:
    void CalcFields();

    TUserListContext m_context;
    TServerSessions m_sessions;
    bool m_shown = false;
};
