// CreateNotification through the controller against the local application
// server: the row it inserts (as a table of argument sets), the word
// "$UPDATENOTIFICATIONS" reaching a second link and 1724 reaching this
// client's window; with the link down the row is in, the error reaches the
// applet and no 1724 is posted. The same word sent by another client
// reaches this client's window as 1724.
#include "Components/Controller/LibController.h"
#include "Components/Controller/applets/ovnApplet.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/notifications/NotificationsAPI.h"
#include "Components/Controller/ovnController.h"
#include "Components/Nembra/NembraNotificationsClient.h"
#include "Controller/NoWebRuntime.h"
#include "base/KldLogFile.h"
#include "platform/DateUtils.h"
#include "platform/IniFiles.h"
#include "support/AppServerSession.h"
#include "support/AppServerSignIn.h"
#include "support/ErrorOf.h"
#include "support/EventLoopWait.h"
#include "support/MessageRecorder.h"
#include "support/TempFolder.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace {

// MANAGER is the other client's user.
const char* const kSql = "INSERT INTO TBL_DBALIASES (COUNTER, ALIAS, DESCRIPTION, C_ENTERPRISE, CURRENT_USE) "
                         "VALUES (50, 'DEMO', 'Demo', 1, 'T');"
                         "INSERT INTO TBL_USERS (COUNTER, USER_ID, FULL_NAME, USER_TYPE, C_ENTERPRISE) "
                         "VALUES (12, 'MANAGER', 'Mia Chief', 'MGR', 1);";

class TRecordingController : public TovnController
{
  public:
    TMessageRecorder Posted;

  protected:
    HWND BrowserHandle() const override { return Posted.Handle(); }
};

class CreateNotificationTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ovnSetDataPath(m_dir.Path());
        AppBrand = 1;
        m_controller = new TRecordingController();
        TIniFile(m_controller->Browser()->IniFileName()).WriteBool("UPDATE", "AutoUpdate", false);
        m_controller->Browser()->ModuleItems().Add("Care", 10);
        // The window's own connection and data database, as after a sign-in.
        TNembraConnection& connection = m_controller->Browser()->conMAIN();
        connection.SetServerURL(m_server.ServerURL());
        connection.SetAuthentication(qauthBasic);
        connection.Params().Clear();
        connection.Params().Add("USER_ID=ADMIN");
        connection.Params().Add("FORCE=True");
        connection.GenerateRandomSecretKey();
        connection.Open();
        TNembraDatabase& data = m_controller->Browser()->dbData();
        data.Params().SetValues("DB_ALIAS", "DEMO");
        data.Open();
        // The signed-in user, as this test wants it.
        m_controller->User().ID = "NURSE";
        m_controller->User().Counter = 11;
        m_applet.Controller = m_controller;
        m_applet.Module = 10;
        m_applet.Resource = "SAMPLE_APPLET";
    }
    void TearDown() override
    {
        delete m_controller;
        FreeApplicationMainForm();
        Log.SetEnabled(false);
        ovnSetDataPath("");
        AppBrand = 0;
    }
    // Opens this client's link, named by the window's session as the
    // sign-in names it, and waits until it is open.
    void Connect()
    {
        TNembraNotificationsClient& client = m_controller->NotificationClient();
        client.SetHost("127.0.0.1");
        client.SetPort(std::to_string(m_server.NotifyPort()));
        client.SetKeyToken(m_controller->Browser()->conMAIN().GetSessionID());
        client.SetConnected(true);
        ASSERT_TRUE(RunEventsUntil([&] { return m_controller->VNSConnected(); }));
    }
    // The messages this client's window received, emptied.
    std::vector<TMessage> Posted()
    {
        QCoreApplication::processEvents();
        std::vector<TMessage> m = m_controller->Posted.Messages;
        m_controller->Posted.Messages.clear();
        return m;
    }
    std::string Column(const std::string& Name, const std::string& Text)
    {
        return VarToStr(LibController::LookupValue("SELECT " + Name + " FROM TBL_NOTIFICATION WHERE NOTIFICATION_TEXT = :T",
                                                   {Variant(Text)}));
    }
    int Count(const std::string& Text)
    {
        return StrToIntDef(Column("COUNT(*)", Text), -1);
    }

    TNoWebRuntime m_noWebRuntime;
    TTempFolder m_dir;
    TAppServerProcess m_server{{}, kSql};
    TRecordingController* m_controller = nullptr;
    TovnApplet m_applet;
};

// Another client's link on the same server, MANAGER's.
struct TPeer
{
    explicit TPeer(const TAppServerProcess& Server)
    {
        Client.SetHost("127.0.0.1");
        Client.SetPort(std::to_string(Server.NotifyPort()));
        Client.SetKeyTokenName("id");
        Client.SetKeyToken(SignInSession(Server, "MANAGER"));
        Client.OnMessage = [this](TObject*, const std::string& msg) { Messages.push_back(msg); };
        Client.SetConnected(true);
        EXPECT_TRUE(RunEventsUntil([this] { return Client.Opened(); }));
    }
    TNembraNotificationsClient Client;
    std::vector<std::string> Messages;
};

} // namespace

TEST_F(CreateNotificationTest, InsertsTellsTheOtherClientsAndRefreshesThisOne)
{
    TPeer manager(m_server);
    Connect();
    struct Case
    {
        const char* Text;
        const char* Resource;
        int Resident, Facility, FacilityGroup, EmployeeGroup, Employee;
        const char* ToUser;
        // Expected: the error, else the stored C_FACILITY, C_FACILITYGROUP,
        // C_EMPLOYEE, C_RESIDENT and TO_USER_ID ("" for NULL).
        const char* Error;
        std::vector<std::string> Stored;
    } cases[] = {
        {"for everybody", "SAMPLE_APPLET", 0, 0, 0, 0, 0, "", "", {"", "", "", "", ""}},
        {"unknown resident", "SAMPLE_APPLET", 77, 0, 0, 0, 0, "MANAGER", "", {"", "", "", "77", "MANAGER"}},
        {"resident brings his home", "SAMPLE_APPLET", 4, 0, 1, 0, 3, "", "", {"2", "", "3", "4", ""}},
        {"a home drops the group", "SAMPLE_APPLET", 0, 1, 1, 2, 0, "", "", {"1", "", "", "", ""}},
        {"a group without home", "SAMPLE_APPLET", 0, 0, 1, 0, 0, "", "", {"", "1", "", "", ""}},
        {"   ", "SAMPLE_APPLET", 0, 0, 0, 0, 0, "", "Invalid notification: Resource Text required", {}},
        {"no resource", " ", 0, 0, 0, 0, 0, "", "Invalid notification: Resource Name required", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text);
        manager.Messages.clear();
        const std::string error = ErrorOf([&] {
            CreateNotification(&m_applet, Now() - 0.5, c.Text, "Sample Applet", c.Resource, "A=1", c.Resident,
                               c.Facility, c.FacilityGroup, c.EmployeeGroup, c.Employee, c.ToUser);
        });
        EXPECT_EQ(error, c.Error);
        if (*c.Error) {
            EXPECT_EQ(Count(c.Text), 0);
            EXPECT_TRUE(Posted().empty());
            continue;
        }
        EXPECT_EQ(Count(c.Text), 1);
        const std::vector<std::string> stored = {Column("C_FACILITY", c.Text), Column("C_FACILITYGROUP", c.Text),
                                                 Column("C_EMPLOYEE", c.Text), Column("C_RESIDENT", c.Text),
                                                 Column("TO_USER_ID", c.Text)};
        EXPECT_EQ(stored, c.Stored);
        EXPECT_EQ(Column("FROM_MODULE", c.Text), "Care") << "the applet's module";
        EXPECT_EQ(Column("FROM_RESOURCE", c.Text), "SAMPLE_APPLET");
        EXPECT_EQ(Column("RECORD_USER", c.Text), "NURSE");
        EXPECT_EQ(Column("ACTIVE", c.Text), "T");
        ASSERT_TRUE(RunEventsUntil([&] { return !manager.Messages.empty(); }));
        EXPECT_EQ(manager.Messages, std::vector<std::string>{"$UPDATENOTIFICATIONS"});
        const std::vector<TMessage> posted = Posted();
        ASSERT_EQ(posted.size(), 1u);
        EXPECT_EQ(posted[0].Msg, 1724u);
        EXPECT_EQ(posted[0].WParam, 0u);
        EXPECT_EQ(posted[0].LParam, 0);
    }

    // Another client's notification reaches this client's window as 1724.
    manager.Client.SendNotification("$UPDATENOTIFICATIONS", "", "");
    ASSERT_TRUE(RunEventsUntil([&] { return !m_controller->Posted.Messages.empty(); }));
    const std::vector<TMessage> posted = Posted();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].Msg, 1724u);
    EXPECT_EQ(posted[0].LParam, 0);

    // With the link down the row is in, the applet hears of it, and this
    // window is not told.
    m_controller->NotificationClient().SetConnected(false);
    EXPECT_EQ(ErrorOf([&] {
                  CreateNotification(&m_applet, Now(), "while offline", "Sample Applet", "SAMPLE_APPLET", "", 0, 0, 0,
                                     0, 0, "");
              }),
              "Unable to perform operation on a disconnected client");
    EXPECT_EQ(Count("while offline"), 1);
    EXPECT_TRUE(Posted().empty());
}
