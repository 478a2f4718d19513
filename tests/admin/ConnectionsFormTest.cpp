// The connections window and the user list against the local application
// server: sessions of other clients listed and ended, a lock removed, the
// server list, a manager's one tab and alias, and the user list with its
// online toggle; the server's run-time procedures and their refusals.

#include "AdminServerTesting.h"

#include "Components/Controller/applets/KldForms.h"
#include "Components/Controller/ovnController.h"
#include "admin/frmConnections.h"
#include "admin/frmUserList.h"
#include "platform/ComCtrls.h"
#include "platform/DBGrids.h"
#include "platform/DataSet.h"
#include "platform/Params.h"
#include "platform/StockControls.h"
#include "support/DialogScript.h"
#include "support/ErrorOf.h"
#include "support/EventLoopWait.h"
#include "support/GridCells.h"
#include "support/NembraErrorOf.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>

namespace {

// Beside the admin rows: OAKAIDE gets a role on PINE, the reserved account
// (COUNTER 1) is made current so that only its counter keeps it out of the
// user list, and a retired user and a closed enterprise's user are added.
const std::string kConnectionsSql = std::string(kAdminSql) + R"(
INSERT INTO TBL_USERDBACCESS (C_USER, C_ROLE) VALUES (22, 22);
UPDATE TBL_USERS SET CURRENT_USE = 'T' WHERE COUNTER = 1;
INSERT INTO TBL_ENTERPRISES (COUNTER, ENTERPRISE, CURRENT_USE, REQUIRE_SECURE_PASSWORD) VALUES
  (22, 'CLOSED CARE', 'F', 'F');
INSERT INTO TBL_USERS (COUNTER, USER_ID, USER_PASSWORD, FULL_NAME, USER_TYPE, C_ENTERPRISE, CURRENT_USE,
                       FACILITY_ACCESS_FLAG) VALUES
  (40, 'RETIRED', 'retired', 'Rita Retired', 'USR', 20, 'F', 'A'),
  (41, 'SHUT', 'shut', 'Sam Shut', 'USR', 22, 'T', 'A');
)";

TAppServerProcess* g_server = nullptr;

class ConnectionsFormTest : public ::testing::Test
{
  protected:
    static void SetUpTestSuite() { g_server = new TAppServerProcess({}, kConnectionsSql); }
    static void TearDownTestSuite()
    {
        delete g_server;
        g_server = nullptr;
    }
    std::string DB() const { return g_server->DatabaseFile(); }
    long long Count(const std::string& Sql) const { return ServerNumber(DB(), "SELECT COUNT(*) " + Sql); }
};

// A client signed in as User with its data database Alias open.
class TClient
{
  public:
    TClient(const std::string& User, const std::string& Password, const std::string& Name,
            const std::string& Alias, const std::string& Agent = "")
        : Session(*g_server, User, Password, Name, Agent), m_name(Name)
    {
        if (!Alias.empty()) {
            m_data.SetDatabaseName(Name + "DATA");
            m_data.SetConnectionName(Name);
            m_data.SetServerOS("LIN");
            m_data.Params().SetText("DB_ALIAS=" + Alias);
            m_data.Open();
        }
    }
    // A call that needs the session.
    void Call()
    {
        TovnOndrelQuery query;
        query.SetDatabase(&Session.DB());
        query.SetUseSQL(true);
        query.SQL().SetText("select USER_ID from TBL_USERS where COUNTER = 2");
        query.Open();
    }
    void SetLock(const std::string& Path, const std::string& Description)
    {
        TovnOndrelSystem lock;
        lock.SetConnectionName(m_name);
        lock.SetProcedureName("SetLock");
        lock.UpdateParams();
        lock.Params().ParamByName("Lock_Path")->SetAsString(Path);
        lock.Params().ParamByName("Description")->SetAsString(Description);
        lock.Execute();
    }
    TAdminSession Session;

  private:
    std::string m_name;
    TNembraDatabase m_data;
};

// A system procedure run on Connection; its error, none when it succeeds.
TServerError RunSystem(const std::string& Connection, const std::string& Procedure,
                       const std::vector<std::pair<std::string, std::string>>& Values, int* Rows = nullptr)
{
    return ServerErrorOf([&] {
        TovnOndrelSystem proc;
        proc.SetConnectionName(Connection);
        proc.SetProcedureName(Procedure);
        proc.UpdateParams();
        for (const auto& [name, value] : Values)
            proc.Params().ParamByName(name)->SetAsString(value);
        if (Rows) {
            proc.Open();
            *Rows = proc.RecordCount();
        } else {
            proc.Execute();
        }
    });
}

std::vector<std::string> Column(TDataSet& DataSet, const std::string& Name)
{
    std::vector<std::string> values;
    const TBookmark place = DataSet.GetBookmark();
    for (DataSet.First(); !DataSet.Eof(); DataSet.Next())
        values.push_back(DataSet.FieldByName(Name)->AsString());
    if (!place.empty())
        DataSet.GotoBookmark(place);
    return values;
}

std::multiset<std::string> Set(const std::vector<std::string>& Values)
{
    return {Values.begin(), Values.end()};
}

// A click on a tab, as the user changes pages.
void ClickTab(TPageControl* Pages, int Index)
{
    const TRect r = Pages->TabRect(Index);
    const QPointF at((r.Left + r.Right) / 2.0, (r.Top + r.Bottom) / 2.0);
    QMouseEvent press(QEvent::MouseButtonPress, at, Pages->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(Pages, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, Pages->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(Pages, &release);
}

TConnectionsContext Context(const std::string& Type, const std::string& Connection, const std::string& Alias)
{
    return TConnectionsContext{Type, Connection, Alias};
}

} // namespace

TEST_F(ConnectionsFormTest, ASecondClientsSessionIsListedAndDisconnectedWithoutANewFetch)
{
    TClient admin("ADMIN", "", "CSA", "");
    TClient nurse("OAKNURSE", "nurse", "CSN", "OAK");
    TfrmConnections form(Context("SYS", "CSA", ""));
    form.FormShow();
    EXPECT_EQ(form.windowTitle().toStdString(), "Connections");
    EXPECT_TRUE(form.tsLocks->TabVisible());
    EXPECT_TRUE(form.tsServers->TabVisible());
    TovnOndrelSystem& sessions = *form.sysSessions;
    ASSERT_TRUE(sessions.Active());
    EXPECT_GE(sessions.FieldCount(), 9);
    EXPECT_EQ(Set(Column(sessions, "USER_ID")), (std::multiset<std::string>{"ADMIN", "OAKNURSE"}));
    ASSERT_TRUE(sessions.Locate("USER_ID", Variant("OAKNURSE"), {}));
    EXPECT_EQ(sessions.FieldByName("DB_ALIAS")->AsString(), "OAK");
    EXPECT_EQ(sessions.FieldByName("USER_TYPE")->AsString(), "USR");
    EXPECT_EQ(sessions.FieldByName("USER_IP")->AsString(), "127.0.0.1");
    EXPECT_FALSE(sessions.FieldByName("STARTED")->IsNull());
    EXPECT_EQ(sessions.FieldByName("SESSION_ID")->AsString(),
              ServerText(DB(), "SELECT SESSION_ID FROM SRV_SESSIONS WHERE USER_ID = 'OAKNURSE'"));
    // The grid shows the five columns with their captions.
    std::vector<std::string> captions;
    for (int i = 0; i < sessions.FieldCount(); ++i)
        if (sessions.Fields().Fields(i)->Visible())
            captions.push_back(sessions.Fields().Fields(i)->DisplayLabel());
    EXPECT_EQ(captions,
              (std::vector<std::string>{"User ID", "User Type", "User IP", "Connection Started", "Alias"}));
    EXPECT_TRUE(form.btnDisconnect->isEnabled());
    EXPECT_FALSE(form.btnRemoveLock->isEnabled()) << "the lock list is not open";

    TDialogScript dialogs;
    // No keeps the session.
    dialogs->QueueAnswer(mrNo);
    form.Disconnect();
    EXPECT_EQ(dialogs->Texts(), (std::vector<std::string>{"Disconnect user \"OAKNURSE\" ?"}));
    EXPECT_EQ(dialogs->Calls().back().Type, mtConfirmation);
    EXPECT_EQ(dialogs->Calls().back().Buttons, (TMsgDlgButtons{mbYes, mbNo}));
    EXPECT_NO_THROW(nurse.Call());

    // A user who signs in now is not listed until a refresh: the row of the
    // ended session leaves the list without a new fetch.
    TClient aide("OAKAIDE", "aide", "CSX", "PINE");
    dialogs->QueueAnswer(mrYes);
    form.Disconnect();
    EXPECT_EQ(Set(Column(sessions, "USER_ID")), (std::multiset<std::string>{"ADMIN"}));
    EXPECT_EQ(Count("FROM SRV_SESSIONS WHERE USER_ID = 'OAKNURSE'"), 0);
    // The server answers the ended session's next call with 1005 and clears
    // its cookie: the client takes its session for ended.
    EXPECT_EQ(ErrorOf([&] { nurse.Call(); }),
              "Your session on server has expired or was terminated. Please login again.");
    EXPECT_NO_THROW(aide.Call());

    form.btnSessionsRefresh->click();
    EXPECT_EQ(Set(Column(sessions, "USER_ID")), (std::multiset<std::string>{"ADMIN", "OAKAIDE"}));
}

TEST_F(ConnectionsFormTest, ALockIsListedAndRemovedAndASessionsLocksEndWithIt)
{
    TClient admin("ADMIN", "", "CLA", "");
    TClient nurse("OAKNURSE", "nurse", "CLN", "OAK");
    nurse.SetLock("/OAK/RESIDENT/5", "Resident 5");
    TfrmConnections form(Context("SYS", "CLA", ""));
    form.show();
    EXPECT_TRUE(form.sysSessions->Active()) << "showing lists the sessions";
    EXPECT_FALSE(form.sysLocks->Active());
    // A change of tab lists that tab.
    ClickTab(form.Pages, 1);
    ASSERT_EQ(form.Pages->ActivePage(), form.tsLocks);
    TovnOndrelSystem& locks = *form.sysLocks;
    ASSERT_TRUE(locks.Active());
    ASSERT_EQ(locks.RecordCount(), 1);
    EXPECT_EQ(locks.FieldByName("LOCK_PATH")->AsString(), "/OAK/RESIDENT/5");
    EXPECT_EQ(locks.FieldByName("USER_ID")->AsString(), "OAKNURSE");
    EXPECT_EQ(locks.FieldByName("DB_ALIAS")->AsString(), "OAK");
    EXPECT_EQ(locks.FieldByName("DESCRIPTION")->AsString(), "Resident 5");
    EXPECT_FALSE(locks.FieldByName("CREATED")->IsNull());
    EXPECT_TRUE(form.btnRemoveLock->isEnabled());

    TDialogScript dialogs;
    dialogs->QueueAnswer(mrYes);
    form.RemoveLock();
    EXPECT_EQ(dialogs->Texts(), (std::vector<std::string>{"Remove selected lock?"}));
    EXPECT_EQ(locks.RecordCount(), 0);
    EXPECT_FALSE(form.btnRemoveLock->isEnabled());
    EXPECT_EQ(Count("FROM SRV_LOCKS"), 0);
    // Another client may take the path now.
    TClient aide("OAKAIDE", "aide", "CLX", "PINE");
    EXPECT_NO_THROW(aide.SetLock("/OAK/RESIDENT/5", "Resident 5 again"));

    // Ending a session ends its locks.
    nurse.SetLock("/OAK/RESIDENT/6", "Resident 6");
    form.btnLocksRefresh->click();
    EXPECT_EQ(locks.RecordCount(), 2);
    EXPECT_EQ(
        RunSystem("CLA", "SysTerminateSession",
                  {{"SESSION_ID",
                    ServerText(DB(), "SELECT SESSION_ID FROM SRV_SESSIONS WHERE USER_ID = 'OAKAIDE'")}}),
        TServerError{});
    form.btnLocksRefresh->click();
    EXPECT_EQ(Column(locks, "LOCK_PATH"), (std::vector<std::string>{"/OAK/RESIDENT/6"}));
}

TEST_F(ConnectionsFormTest, TheServersTabListsThisServerByState)
{
    TClient admin("ADMIN", "", "CVA", "");
    TfrmConnections form(Context("SYS", "CVA", ""));
    form.show();
    EXPECT_EQ(form.cboShowServers->Text(), "Active");
    ClickTab(form.Pages, 2);
    ASSERT_EQ(form.Pages->ActivePage(), form.tsServers);
    TovnOndrelSystem& servers = *form.sysServers;
    ASSERT_TRUE(servers.Active());
    ASSERT_EQ(servers.RecordCount(), 1);
    EXPECT_EQ(servers.FieldByName("URI_PATH")->AsString(), "/bin/orvane.dll");
    EXPECT_EQ(servers.FieldByName("EXTERNAL_IP")->AsString(), "127.0.0.1");
    EXPECT_GE(servers.FieldByName("ACTIVE_SESSIONS")->AsInteger(), 1);
    for (const char* name :
         {"SERVER_NAME", "STARTED", "LAST_ACTIVE", "EXTERNAL_HOST", "PROTOCOL", "COMPUTER_NAME"})
        EXPECT_FALSE(servers.FieldByName(name)->IsNull()) << name;
    // Closing the drop-down lists the servers of the chosen state.
    struct Case
    {
        int Index;
        int Rows;
    } cases[] = {{1, 0}, {2, 1}, {0, 1}};
    for (const Case& c : cases) {
        form.cboShowServers->showPopup();
        form.cboShowServers->SetItemIndex(c.Index);
        form.cboShowServers->hidePopup();
        EXPECT_EQ(servers.RecordCount(), c.Rows) << form.cboShowServers->Text();
        EXPECT_EQ(servers.Params().ParamByName("STATE")->AsString(), form.cboShowServers->Text());
    }
    // Another state is refused with its reason.
    int rows = -1;
    const TServerError refused = RunSystem("CVA", "RTIGetServers", {{"STATE", "Sleeping"}}, &rows);
    EXPECT_EQ(refused.Code, 1000);
    EXPECT_NE(refused.Message.find("STATE must be \"Active\", \"Inactive\" or \"All\""), std::string::npos)
        << refused.Message;
    EXPECT_NE(RunSystem("CVA", "RTIGetServers", {}, &rows).Code, 0) << "a NULL state is no state either";
}

TEST_F(ConnectionsFormTest, AManagerSeesOneTabAndTheSessionsOfHisAliasOnly)
{
    TClient manager("OAKMGR", "mgr", "CMM", "");
    TClient nurse("OAKNURSE", "nurse", "CMN", "OAK");
    TClient aide("OAKAIDE", "aide", "CMX", "PINE");
    TfrmConnections form(Context("MGR", "CMM", "OAK"));
    form.FormShow();
    EXPECT_TRUE(form.tsSessions->TabVisible());
    EXPECT_FALSE(form.tsLocks->TabVisible());
    EXPECT_FALSE(form.tsServers->TabVisible());
    EXPECT_EQ(form.Pages->TabCount(), 1);
    EXPECT_EQ(Column(*form.sysSessions, "USER_ID"), (std::vector<std::string>{"OAKNURSE"}));
    EXPECT_EQ(form.sysSessions->Params().ParamByName("DB_ALIAS")->AsString(), "OAK");

    // A system manager sees every alias's sessions.
    TClient admin("ADMIN", "", "CMA", "");
    TfrmConnections all(Context("SYS", "CMA", "OAK"));
    all.FormShow();
    EXPECT_EQ(Set(Column(*all.sysSessions, "USER_ID")),
              (std::multiset<std::string>{"ADMIN", "OAKAIDE", "OAKMGR", "OAKNURSE"}));
    EXPECT_TRUE(all.sysSessions->Params().ParamByName("DB_ALIAS")->IsNull());

    // "User Type" cells: $C1B6FF for SYS and $D3D3D3 for MGR ($BBGGRR),
    // other types drawn normally.
    all.show();
    all.grdSessions->resizeColumnsToContents();
    const QImage picture = all.grdSessions->viewport()->grab().toImage();
    QAbstractItemModel* model = all.grdSessions->model();
    int checked = 0;
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex cell = model->index(row, 1);
        const std::string type = cell.data().toString().toStdString();
        const QRect r = all.grdSessions->visualRect(cell);
        const QColor pixel = picture.pixelColor(r.right() - 2, r.bottom() - 2);
        SCOPED_TRACE(type);
        ++checked;
        if (type == "SYS")
            EXPECT_EQ(pixel, QColor(0xFF, 0xB6, 0xC1));
        else if (type == "MGR")
            EXPECT_EQ(pixel, QColor(0xD3, 0xD3, 0xD3));
        else
            EXPECT_TRUE(pixel != QColor(0xFF, 0xB6, 0xC1) && pixel != QColor(0xD3, 0xD3, 0xD3));
    }
    EXPECT_EQ(checked, 4);

    // A manager without a data alias lists nothing rather than every alias.
    TfrmConnections none(Context("MGR", "CMM", ""));
    none.FormShow();
    EXPECT_FALSE(none.sysSessions->Active());
    EXPECT_FALSE(none.btnDisconnect->isEnabled());
}

namespace {

// A run-time list of PLG_SYSTEM as the client fetches it on Connection.
std::unique_ptr<TovnOndrelSystem> RunTimeList(const std::string& Connection, const std::string& Procedure)
{
    auto list = std::make_unique<TovnOndrelSystem>();
    list->SetConnectionName(Connection);
    list->SetProcedureName(Procedure);
    list->UpdateParams();
    list->Open();
    return list;
}

// Each row's Key and Value, NULL as "<null>".
std::map<std::string, std::string> Pairs(TDataSet& DataSet, const std::string& Key, const std::string& Value)
{
    std::map<std::string, std::string> pairs;
    for (DataSet.First(); !DataSet.Eof(); DataSet.Next()) {
        TField* field = DataSet.FieldByName(Value);
        pairs[DataSet.FieldByName(Key)->AsString()] = field->IsNull() ? "<null>" : field->AsString();
    }
    return pairs;
}

} // namespace

TEST_F(ConnectionsFormTest, AUserLearnsNoSessionsIdAndHerUserListStillShowsWhoIsOnline)
{
    TClient admin("ADMIN", "", "CIA", "", "Tallowin 3.1 (Linux)");
    TClient manager("OAKMGR", "mgr", "CIM", "OAK");
    TClient nurse("OAKNURSE", "nurse", "CIN", "OAK");
    nurse.SetLock("/OAK/NOTE/9", "Note");

    // Every session and lock is listed, every column in its place, and no
    // session's id: with one she could act as its user.
    auto sessions = RunTimeList("CIN", "RTIGetSessions");
    EXPECT_EQ(Pairs(*sessions, "USER_ID", "SESSION_ID"),
              (std::map<std::string, std::string>{
                  {"ADMIN", "<null>"}, {"OAKMGR", "<null>"}, {"OAKNURSE", "<null>"}}));
    const std::vector<std::string> columns = {"SESSION_ID", "USER_ID", "USER_TYPE", "STARTED",   "DB_ALIAS",
                                              "SERVER_ID",  "USER_IP", "OS",        "USER_AGENT"};
    ASSERT_EQ(sessions->FieldCount(), 9);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(sessions->Fields().Fields(i)->FieldName(), columns[static_cast<size_t>(i)]);
    auto locks = RunTimeList("CIN", "RTIGetLocks");
    EXPECT_EQ(Pairs(*locks, "LOCK_PATH", "SESSION_ID"),
              (std::map<std::string, std::string>{{"/OAK/NOTE/9", "<null>"}}));
    // Nor through the connection rows the user list joins.
    TovnOndrelQuery connections;
    connections.SetDatabase(&nurse.Session.DB());
    connections.SetUseSQL(true);
    connections.SQL().SetText("SELECT COUNT(*) AS N, COUNT(SESSION_ID) AS IDS FROM TBL_CONNECTIONS");
    connections.Open();
    EXPECT_GE(connections.FieldByName("N")->AsInteger(), 3);
    EXPECT_EQ(connections.FieldByName("IDS")->AsInteger(), 0);
    EXPECT_GE(Count("FROM TBL_CONNECTIONS WHERE SESSION_ID IS NOT NULL"), 3);
    // A system manager is given them.
    auto all = RunTimeList("CIA", "RTIGetSessions");
    EXPECT_EQ(Pairs(*all, "USER_ID", "SESSION_ID")["OAKNURSE"],
              ServerText(DB(), "SELECT SESSION_ID FROM SRV_SESSIONS WHERE USER_ID = 'OAKNURSE'"));
    EXPECT_EQ(Pairs(*RunTimeList("CIA", "RTIGetLocks"), "LOCK_PATH", "SESSION_ID")["/OAK/NOTE/9"],
              ServerText(DB(), "SELECT SESSION_ID FROM SRV_SESSIONS WHERE USER_ID = 'OAKNURSE'"));

    // Her user list matches the sessions by USER_ID and reads start, address
    // and agent by position.
    TUserListContext context;
    context.Admin.UserType = "USR";
    context.Admin.ID = "OAKNURSE";
    context.Admin.Counter = 21;
    context.Admin.C_Enterprise = 20;
    context.SysDB = &nurse.Session.DB();
    context.ConnectionName = "CIN";
    TfrmUserList list(nullptr, nullptr, context);
    list.RefreshList();
    list.btnOnline->click();
    TovnOndrelQuery& users = *list.Users;
    EXPECT_EQ(Set(Column(users, "USER_ID")), (std::multiset<std::string>{"ADMIN", "OAKMGR", "OAKNURSE"}));
    ASSERT_TRUE(users.Locate("USER_ID", Variant("ADMIN"), {}));
    EXPECT_EQ(users.FieldByName("USER_IP")->AsString(), "127.0.0.1");
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", users.FieldByName("STARTED")->AsDateTime()),
              ServerText(DB(), "SELECT STARTED FROM SRV_SESSIONS WHERE USER_ID = 'ADMIN'"));
    EXPECT_EQ(users.FieldByName("USER_AGENT")->AsString(), "Tallowin 3.1 (Linux)");
}

TEST_F(ConnectionsFormTest, AManagerIsGivenAndEndsOnlyTheSessionsOnHisDatabase)
{
    TClient admin("ADMIN", "", "CGA", "");
    TClient manager("OAKMGR", "mgr", "CGM", "OAK");
    TClient nurse("OAKNURSE", "nurse", "CGN", "OAK");
    TClient aide("OAKAIDE", "aide", "CGX", "PINE");
    aide.SetLock("/PINE/NOTE/1", "Note");
    auto idOf = [&](const std::string& User) {
        return ServerText(DB(), "SELECT SESSION_ID FROM SRV_SESSIONS WHERE USER_ID = '" + User + "'");
    };
    EXPECT_EQ(Pairs(*RunTimeList("CGM", "RTIGetSessions"), "USER_ID", "SESSION_ID"),
              (std::map<std::string, std::string>{{"ADMIN", "<null>"},
                                                  {"OAKAIDE", "<null>"},
                                                  {"OAKMGR", idOf("OAKMGR")},
                                                  {"OAKNURSE", idOf("OAKNURSE")}}));
    EXPECT_EQ(Pairs(*RunTimeList("CGM", "RTIGetLocks"), "LOCK_PATH", "SESSION_ID"),
              (std::map<std::string, std::string>{{"/PINE/NOTE/1", "<null>"}}))
        << "the lock list is a system manager's";

    // Named by id, the sessions of other databases stay.
    struct Case
    {
        const char* Desc;
        std::string Procedure;
        std::vector<std::pair<std::string, std::string>> Values;
        std::string Message;
    } cases[] = {
        {"a session on another alias",
         "SysTerminateSession",
         {{"SESSION_ID", idOf("OAKAIDE")}},
         "A manager may end only the sessions on the database he works in."},
        {"a system manager's session",
         "SysTerminateSession",
         {{"SESSION_ID", idOf("ADMIN")}},
         "A manager may end only the sessions on the database he works in."},
        {"a lock of a session on another alias",
         "SysRemoveLock",
         {{"SESSION_ID", idOf("OAKAIDE")}, {"LOCK_PATH", "/PINE/NOTE/1"}},
         "A manager may remove only the locks of sessions on the database he works in."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(RunSystem("CGM", c.Procedure, c.Values).Message, c.Message);
    }
    EXPECT_NO_THROW(aide.Call());
    EXPECT_NO_THROW(admin.Call());
    EXPECT_EQ(Count("FROM SRV_LOCKS WHERE LOCK_PATH = '/PINE/NOTE/1'"), 1);

    // His connections window ends a session on his database.
    TfrmConnections form(Context("MGR", "CGM", "OAK"));
    form.FormShow();
    EXPECT_EQ(Set(Column(*form.sysSessions, "USER_ID")), (std::multiset<std::string>{"OAKMGR", "OAKNURSE"}));
    ASSERT_TRUE(form.sysSessions->Locate("USER_ID", Variant("OAKNURSE"), {}));
    TDialogScript dialogs;
    dialogs->QueueAnswer(mrYes);
    form.Disconnect();
    EXPECT_EQ(Count("FROM SRV_SESSIONS WHERE USER_ID = 'OAKNURSE'"), 0);
    EXPECT_EQ(ErrorOf([&] { nurse.Call(); }),
              "Your session on server has expired or was terminated. Please login again.");
}

TEST_F(ConnectionsFormTest, TheRunTimeProceduresRefuseBadRequests)
{
    TClient admin("ADMIN", "", "CPA", "");
    TClient nurse("OAKNURSE", "nurse", "CPN", "OAK");
    nurse.SetLock("/OAK/NOTE/1", "Note");
    const std::string nurseSession =
        ServerText(DB(), "SELECT SESSION_ID FROM SRV_SESSIONS WHERE USER_ID = 'OAKNURSE'");

    // NULL parameters narrow nothing; STATE 1 asks for the live sessions.
    int rows = -1;
    EXPECT_EQ(RunSystem("CPA", "RTIGetSessions", {}, &rows), TServerError{});
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(RunSystem("CPA", "RTIGetSessions", {{"STATE", "1"}}, &rows), TServerError{});
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(RunSystem("CPA", "RTIGetSessions", {{"DB_ALIAS", "OAK"}}, &rows), TServerError{});
    EXPECT_EQ(rows, 1);
    EXPECT_EQ(RunSystem("CPA", "RTIGetSessions", {{"SERVER_ID", "elsewhere"}}, &rows), TServerError{});
    EXPECT_EQ(rows, 0);
    EXPECT_EQ(RunSystem("CPA", "RTIGetLocks", {}, &rows), TServerError{});
    EXPECT_EQ(rows, 1);
    EXPECT_EQ(RunSystem("CPA", "RTIGetLocks", {{"DB_ALIAS", "PINE"}}, &rows), TServerError{});
    EXPECT_EQ(rows, 0);
    EXPECT_EQ(RunSystem("CPA", "RTIGetLocks", {{"SESSION_ID", nurseSession}}, &rows), TServerError{});
    EXPECT_EQ(rows, 1);

    struct Case
    {
        const char* Desc;
        std::string Connection, Procedure;
        std::vector<std::pair<std::string, std::string>> Values;
        std::string Message;
    } cases[] = {
        {"unknown session",
         "CPA",
         "SysTerminateSession",
         {{"SESSION_ID", "nope"}},
         "Session \"nope\" does not exist."},
        {"no session named", "CPA", "SysTerminateSession", {}, "Parameter SESSION_ID is missing."},
        {"unknown lock",
         "CPA",
         "SysRemoveLock",
         {{"SESSION_ID", nurseSession}, {"LOCK_PATH", "/OAK/NOTE/2"}},
         "Session \"" + nurseSession + "\" holds no lock of \"/OAK/NOTE/2\"."},
        {"a user ends no session",
         "CPN",
         "SysTerminateSession",
         {{"SESSION_ID", nurseSession}},
         "Only a system manager or a manager may end a session."},
        {"a user removes no lock",
         "CPN",
         "SysRemoveLock",
         {{"SESSION_ID", nurseSession}, {"LOCK_PATH", "/OAK/NOTE/1"}},
         "Only a system manager or a manager may remove a lock."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        const TServerError error = RunSystem(c.Connection, c.Procedure, c.Values);
        EXPECT_EQ(error.Code, c.Procedure == "SysTerminateSession" && c.Values.empty() ? 1002 : 1000);
        EXPECT_EQ(error.Message, c.Message);
    }
    // Nothing was lost on the way.
    EXPECT_EQ(Count("FROM SRV_LOCKS WHERE LOCK_PATH = '/OAK/NOTE/1'"), 1);
    EXPECT_NO_THROW(nurse.Call());
}

TEST_F(ConnectionsFormTest, TheUserListShowsEachUserOnceAndTheOnlineOnesWithTheirSession)
{
    TClient admin("ADMIN", "", "CUA", "");
    // Signing in twice leaves one connection row of the user.
    {
        TClient first("OAKNURSE", "nurse", "CUF", "OAK");
    }
    TClient nurse("OAKNURSE", "nurse", "CUN", "OAK", "Tallowin 3.1 (Linux)");
    EXPECT_EQ(Count("FROM TBL_CONNECTIONS WHERE C_USER = 21"), 1);

    const int32_t brand = AppBrand;
    AppBrand = 0;
    std::vector<std::string> mailedTo;
    int closed = 0;
    TUserListContext context;
    context.Admin = SysAdmin();
    context.SysDB = &admin.Session.DB();
    context.ConnectionName = "CUA";
    context.SendOMail = [&](const std::string& To) { mailedTo.push_back(To); };
    QPointer<TfrmUserList> list;
    context.AppletClosed = [&](QWidget* Form) { closed += Form == list.data() ? 1 : 100; };
    list = new TfrmUserList(nullptr, nullptr, context);
    list->show();
    EXPECT_EQ(list->windowTitle().toStdString(), "User List");
    EXPECT_TRUE(list->btnOMail->isVisibleTo(list));
    TovnOndrelQuery& users = *list->Users;
    ASSERT_TRUE(users.Active());
    EXPECT_EQ(list->plgServerSessions->Params().ParamByName("STATE")->AsInteger(), 1);
    const std::vector<std::string> everyone = Column(users, "USER_ID");
    EXPECT_EQ(std::count(everyone.begin(), everyone.end(), "OAKNURSE"), 1);
    for (const char* absent : {"$SYSTEM", "RETIRED", "SHUT"})
        EXPECT_EQ(std::count(everyone.begin(), everyone.end(), absent), 0) << absent;
    for (const char* present : {"ADMIN", "OAKMGR", "OAKAIDE", "ELMUSER"})
        EXPECT_EQ(std::count(everyone.begin(), everyone.end(), present), 1) << present;
    EXPECT_FALSE(users.Filtered());
    ASSERT_TRUE(users.Locate("USER_ID", Variant("OAKMGR"), {}));
    EXPECT_TRUE(users.FieldByName("USER_IP")->IsNull()) << "not signed in";
    EXPECT_TRUE(users.FieldByName("STARTED")->IsNull());
    std::vector<std::string> captions;
    for (int i = 0; i < users.FieldCount(); ++i)
        captions.push_back(users.Fields().Fields(i)->DisplayLabel());
    EXPECT_EQ(captions,
              (std::vector<std::string>{"ID", "Name", "Type", "Enterprise", "IP", "STARTED", "USER_AGENT"}));

    // Online only: the users signed in, with start, address and agent.
    list->btnOnline->click();
    EXPECT_TRUE(list->btnOnline->isChecked());
    EXPECT_TRUE(users.Filtered());
    EXPECT_EQ(Column(users, "USER_ID"), (std::vector<std::string>{"OAKNURSE", "ADMIN"}))
        << "ordered by full name: Nora Oak, System Manager";
    ASSERT_TRUE(users.Locate("USER_ID", Variant("OAKNURSE"), {}));
    EXPECT_EQ(users.FieldByName("USER_IP")->AsString(), "127.0.0.1");
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", users.FieldByName("STARTED")->AsDateTime()),
              ServerText(DB(), "SELECT STARTED FROM SRV_SESSIONS WHERE USER_ID = 'OAKNURSE'"));
    EXPECT_EQ(users.FieldByName("USER_AGENT")->AsString(), "Tallowin 3.1 (Linux)");

    // "&OMail" writes to the chosen user at his enterprise.
    list->btnOMail->click();
    EXPECT_EQ(mailedTo, (std::vector<std::string>{"OAKNURSE@OAK CARE"}));

    // Released, everyone is listed again.
    list->btnOnline->click();
    EXPECT_FALSE(users.Filtered());
    EXPECT_EQ(Column(users, "USER_ID"), everyone);

    // Deactivated, the window forgets its active control.
    list->btnRefresh->setFocus();
    ASSERT_EQ(list->focusWidget(), list->btnRefresh);
    list->Deactivate();
    EXPECT_EQ(list->focusWidget(), nullptr);

    // "C&lose" destroys the window and tells the controller.
    list->btnClose->click();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(list.isNull());
    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(list);

    // Without the maker's brand there is no O-Mail.
    AppBrand = 1;
    TfrmUserList branded(nullptr, nullptr, TUserListContext{});
    EXPECT_FALSE(branded.btnOMail->isVisibleTo(&branded));
    AppBrand = brand;
}

TEST_F(ConnectionsFormTest, TheUserListOnTheDesktopShowsItsTextsWholeOnTheFormsColour)
{
    TClient admin("ADMIN", "", "CUD", "");
    TClient nurse("OAKNURSE", "nurse", "CUE", "OAK", "Tallowin 3.1 (Linux)");
    TovnDesktop* const previous = AppDesktop;
    auto* desktop = new TovnDesktop;
    AppDesktop = desktop;
    desktop->resize(1280, 560);
    desktop->show();
    const QImage bare = desktop->grab().toImage();

    TUserListContext context;
    context.Admin = SysAdmin();
    context.SysDB = &admin.Session.DB();
    context.ConnectionName = "CUD";
    auto* list = new TfrmUserList(nullptr, nullptr, context);
    ASSERT_TRUE(RunEventsUntil([&] { return desktop->Active() == list && list->isVisible(); }));
    ASSERT_TRUE(list->Users->Active());
    list->btnOnline->click();
    ASSERT_TRUE(list->Users->Locate("USER_ID", Variant("OAKNURSE"), {}));
    ASSERT_FALSE(list->Users->FieldByName("STARTED")->IsNull());

    // Each column holds its field's width and whole texts: the names, the
    // enterprise, the start with its time.
    const TDBGrid& grid = *list->grdUsers;
    const struct
    {
        const char* Field;
        int Digits;
    } widths[] = {{"USER_ID", 30}, {"FULL_NAME", 60}, {"ENTERPRISE", 30}, {"USER_IP", 15}, {"STARTED", 18}};
    for (const auto& c : widths) {
        SCOPED_TRACE(c.Field);
        const int column = GridColumnOf(grid, c.Field);
        ASSERT_GE(column, 0);
        EXPECT_TRUE(ColumnHoldsDigits(grid, column, c.Digits)) << grid.columnWidth(column);
        EXPECT_FALSE(ColumnHoldsDigits(grid, column, c.Digits + 1)) << grid.columnWidth(column);
    }
    EXPECT_EQ(CutTexts(grid), std::vector<std::string>{});

    // Between its grid and its buttons the window shows its own colour, not
    // the desktop's picture behind it.
    QImage shown = desktop->grab().toImage();
    const QColor colour = list->palette().color(QPalette::Window);
    const QPoint corner = list->mapTo(desktop, QPoint(0, 0));
    int otherColour = 0;
    int differentBefore = 0;
    std::string first;
    for (int x = 0; x < 40; ++x)
        for (int y = 0; y < 4; ++y) {
            const QPoint at = corner + QPoint(x, y);
            if (shown.pixelColor(at) != colour && otherColour++ == 0)
                first = shown.pixelColor(at).name().toStdString();
            differentBefore += bare.pixelColor(at) != colour ? 1 : 0;
        }
    EXPECT_EQ(otherColour, 0) << first << " instead of " << colour.name().toStdString();
    EXPECT_GT(differentBefore, 0) << "the desktop's own picture differs from the form's colour";

    delete desktop;
    AppDesktop = previous;
}

namespace {

// Stands in for the advanced filter dialog: the user asks for ADMIN.
void FilterAdmin(TSQLQuerySchema* Schema, const std::string&)
{
    TDataSet* ds = Schema->DataSet();
    ds->Close();
    Schema->ApplyFilter("USER_ID = 'ADMIN'", "");
    ds->Open();
}

void ClearFilter(TSQLQuerySchema* Schema, const std::string&)
{
    TDataSet* ds = Schema->DataSet();
    ds->Close();
    Schema->ApplyFilter("", "");
    ds->Open();
}

} // namespace

TEST_F(ConnectionsFormTest, AManagersUserListAndTheFilterButton)
{
    TClient manager("OAKMGR", "mgr", "CFM", "");
    TUserListContext context;
    context.Admin = OakManager();
    context.SysDB = &manager.Session.DB();
    context.ConnectionName = "CFM";
    TfrmUserList list(nullptr, nullptr, context);
    list.RefreshList();
    // His enterprise's users and every system manager; nobody of ELM CARE.
    EXPECT_EQ(Set(Column(*list.Users, "USER_ID")),
              (std::multiset<std::string>{"ADMIN", "OAKMGR", "OAKNURSE", "OAKAIDE", "OTHERMGR", "STUCK",
                                          "GONE", "FLAGGED", "LONER"}));
    EXPECT_FALSE(list.btnFilter->font().bold());
    // The statement travels as it is, inside the view the filter narrows.
    EXPECT_NE(list.Users->GetSQLText().find("(" + UserListSQL(OakManager(), false) + ") Q"), std::string::npos)
        << list.Users->GetSQLText();

    const TExecuteQueryBuilderEvent previous = OnExecuteQueryBuilder;
    OnExecuteQueryBuilder = FilterAdmin;
    list.btnFilter->click();
    EXPECT_TRUE(list.btnFilter->font().bold());
    EXPECT_EQ(Column(*list.Users, "USER_ID"), (std::vector<std::string>{"ADMIN"}));
    // A refresh keeps the user's filter.
    list.btnRefresh->click();
    EXPECT_EQ(Column(*list.Users, "USER_ID"), (std::vector<std::string>{"ADMIN"}));
    OnExecuteQueryBuilder = ClearFilter;
    list.btnFilter->click();
    EXPECT_FALSE(list.btnFilter->font().bold());
    EXPECT_EQ(list.Users->RecordCount(), 9);
    OnExecuteQueryBuilder = previous;
}
