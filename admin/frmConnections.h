#pragma once
// `TfrmConnections`, the modal window "Connections" of the administration
// console: the server's user sessions, its locks and its server processes,
// each list a procedure of the system plug-in PLG_SYSTEM, on three tabs
// (a "MGR" administrator sees only the sessions, of his current data alias).
// "&Disconnect" ends the chosen session and "&Remove Lock" removes the
// chosen lock; the row then leaves its list without a new fetch. The rules
// are ConnectionsRules.h.
//
// Main thread only.

#include "admin/AdminContext.h"
#include "admin/AdminForms.h"
#include "admin/ConnectionsRules.h"
#include "platform/Forms.h"

#include <memory>
#include <string>

class QPushButton;
class TComboBox;
class TDBGrid;
class TDataSource;
class TPageControl;
class TTabSheet;
class TovnOndrelSystem;

// What the window works with, taken from the controller when the console
// opens it or given by tests and the gallery.
struct TConnectionsContext
{
    std::string UserType;          // the administrator's
    std::string SysConnectionName; // the plug-in calls' connection (GetSysConnectionName)
    std::string DataAlias;         // DB_ALIAS of the controller's data database (GetDataDB)
};

// The signed-in controller's values; without a controller the console's
// own: its administrator and the connection of its system database.
TConnectionsContext ConnectionsContextOf(const TAdminContext& Context);

class TfrmConnections : public TLoadOnShowDialog
{
  public:
    explicit TfrmConnections(TConnectionsContext Context, QWidget* Parent = nullptr);
    ~TfrmConnections() override;
    std::string ClassName() const override { return "TfrmConnections"; }

    // "Refresh" of each tab: closed, parameters set, opened again.
    void RefreshSessions();
    void RefreshLocks();
    void RefreshServers();
    // The list of the page now shown.
    void PageChanged();
    // "&Disconnect" and "&Remove Lock", each after its question.
    void Disconnect();
    void RemoveLock();
    // The two buttons after a change of any list's data.
    void UpdateButtons();

    const TConnectionsContext& Context() const { return m_context; }

    TPageControl* Pages;
    TTabSheet* tsSessions;
    TTabSheet* tsLocks;
    TTabSheet* tsServers;
    TDBGrid* grdSessions;
    TDBGrid* grdLocks;
    TDBGrid* grdServers;
    TComboBox* cboShowServers;
    QPushButton* btnDisconnect;
    QPushButton* btnSessionsRefresh;
    QPushButton* btnRemoveLock;
    QPushButton* btnLocksRefresh;
    QPushButton* btnServersRefresh;

    std::unique_ptr<TovnOndrelSystem> sysSessions;
    std::unique_ptr<TovnOndrelSystem> sysLocks;
    std::unique_ptr<TovnOndrelSystem> sysServers;
    std::unique_ptr<TovnOndrelSystem> sysTerminateSession;
    std::unique_ptr<TovnOndrelSystem> sysRemoveLock;
    std::unique_ptr<TDataSource> dsSessions;
    std::unique_ptr<TDataSource> dsLocks;
    std::unique_ptr<TDataSource> dsServers;

  protected:
    // The on-show set-up: parameters asked once, the tabs of a manager
    // hidden, the sessions listed. Runs once.
    void Load() override;
    // Without a connection (a form shown for its looks) nothing loads.
    bool CanLoad() const override { return !m_context.SysConnectionName.empty(); }

  private:
    // Sets DB_ALIAS (and the other narrowing to NULL) and opens, unless
    // the administrator's scope lists nothing.
    void OpenScoped(TovnOndrelSystem& DataSet, const char* KeyName);

    TConnectionsContext m_context;
};

// The console's tool 11.
TDialogForm* MakeConnectionsTool(const TAdminContext& Context);
