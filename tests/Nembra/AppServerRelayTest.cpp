// The local server's notification relay as the weak point it must not be:
// a link belongs to the live session it names by its id, its user is that
// session's user whatever the link claims, a link without a live session
// receives and relays nothing, "$broadcast" (answered with session ids)
// goes out only for a system manager, and what the relay remembers of a
// link is bounded. The links are the client's own.
#include "Components/Nembra/NembraDBDataSets.h"
#include "Components/Nembra/NembraNotificationsClient.h"

#include "support/AppServerProcess.h"
#include "support/AppServerSession.h"
#include "support/AppServerSignIn.h"
#include "support/EventLoopWait.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <memory>
#include <sstream>

namespace {

const char* const kUsersSql = R"sql(
INSERT INTO TBL_USERS (COUNTER, USER_ID, USER_PASSWORD, FULL_NAME, USER_TYPE, C_ENTERPRISE) VALUES
  (40, 'NURSE', 'nurse', 'Tom Ward', 'USR', 1),
  (41, 'CLERK', 'clerk', 'Ann Desk', 'USR', 1),
  (42, 'MANAGER', 'manager', 'Mia Chief', 'MGR', 1);
)sql";

// One link, named on opening by `Session` (nothing when empty), with what it
// received.
class TLink
{
  public:
    TLink(const TAppServerProcess& Server, const std::string& Session, const std::string& ClaimedUser = "")
    {
        Client.SetHost("127.0.0.1");
        Client.SetPort(std::to_string(Server.NotifyPort()));
        Client.SetKeyTokenName("id");
        Client.SetKeyToken(Session);
        Client.OnMessage = [this](TObject*, const std::string& msg) { Received.push_back(msg); };
        // As the controller does: its own "set" of a user before the id.
        if (!ClaimedUser.empty())
            Client.OnConnected = [this, ClaimedUser](TObject*) { Client.SetParam("user_id", ClaimedUser); };
        Client.SetConnected(true);
        EXPECT_TRUE(RunEventsUntil([this] { return Client.Opened(); }));
        Sync();
    }

    // Returns once the server has taken everything this link sent, and what
    // it sent to this link before has arrived: its answer to test_history
    // comes after both.
    void Sync()
    {
        m_synced = false;
        Client.SendText(R"({"command":"test_history"})");
        EXPECT_TRUE(RunEventsUntil([this] {
            Take();
            return m_synced;
        }));
    }

    // Runs the events until `Text` has arrived.
    bool WaitFor(const std::string& Text)
    {
        return RunEventsUntil([&] {
            Take();
            return std::find(m_messages.begin(), m_messages.end(), Text) != m_messages.end();
        });
    }

    // What arrived so far, test answers left out.
    const std::vector<std::string>& Messages() const { return m_messages; }

    TNembraNotificationsClient Client;
    std::vector<std::string> Received;

  private:
    void Take()
    {
        for (const std::string& m : Received) {
            if (m.rfind("[history]", 0) == 0)
                m_synced = true;
            else
                m_messages.push_back(m);
        }
        Received.clear();
    }

    bool m_synced = false;
    std::vector<std::string> m_messages;
};

class NotificationRelay : public ::testing::Test
{
  protected:
    TAppServerProcess Server{{"--test-procedures"}, kUsersSql};
};

} // namespace

TEST_F(NotificationRelay, ALinkIsItsLiveSessionsUserAndWithoutOneHearsAndSaysNothing)
{
    const std::string nurseSession = SignInSession(Server, "NURSE", "nurse");
    const std::string ended = SignInSession(Server, "CLERK", "clerk");
    ASSERT_FALSE(nurseSession.empty());
    ASSERT_FALSE(ended.empty());
    SignOutSession(Server, ended);

    // ADMIN sends a board message on a connection whose session his link names.
    TNembraConnection connection;
    SignInAsAdmin(connection, Server, "RELAY_ADMIN");
    TLink admin(Server, connection.GetSessionID());
    // NURSE's own link claims ADMIN's counter: it stays NURSE's.
    TLink nurse(Server, nurseSession, "2");
    struct TStranger
    {
        const char* Desc;
        std::string Session;
    } strangers[] = {
        {"names no session", ""},
        {"names an unknown one", "0123456789abcdef0123456789abcdef"},
        {"names one that ended", ended},
    };
    std::vector<std::unique_ptr<TLink>> links;
    for (const TStranger& s : strangers)
        links.push_back(std::make_unique<TLink>(Server, s.Session, "40")); // and claims NURSE

    // The server's own mail event: a board message tells every user.
    TNembraDatabase system;
    NameDatabase(system, "RELAY_SYS", "SYSTEM", "RELAY_ADMIN");
    TNembraPlugin mail;
    mail.SetName("plgMail");
    mail.SetDatabaseName("RELAY_SYS");
    mail.SetPluginName("PLG_SYSTEM");
    mail.SetProcedureName("SEND_MAIL");
    mail.UpdateParams();
    mail.Params().ParamByName("To")->SetAsString("BOR");
    mail.Params().ParamByName("Subject")->SetAsString("Fire drill");
    mail.Params().ParamByName("Message")->SetAsString("At ten.");
    mail.Execute();
    ASSERT_TRUE(nurse.WaitFor("$check_mail 40"));
    ASSERT_TRUE(admin.WaitFor("$check_mail 2"));

    // Other links address NURSE by her user and by her session.
    admin.Client.SendNotification("$check_mail 40", "user_id", "40");
    admin.Client.SendNotification("$check_mail 2", "user_id", "2");
    admin.Client.SendNotification("to everybody", "", "");
    admin.Client.SendNotification("to her session", "id", nurseSession);
    ASSERT_TRUE(nurse.WaitFor("to her session"));

    // What the strangers send reaches nobody.
    for (std::unique_ptr<TLink>& link : links) {
        link->Client.SendNotification("forged for 40", "user_id", "40");
        link->Client.SendNotification("forged for everybody", "", "");
        link->Client.SendNotification("forged for her session", "id", nurseSession);
        link->Sync();
    }
    admin.Client.SendNotification("last", "id", nurseSession);
    ASSERT_TRUE(nurse.WaitFor("last"));
    nurse.Sync();
    EXPECT_EQ(nurse.Messages(), (std::vector<std::string>{"$check_mail 40", "$check_mail 40", "to everybody",
                                                          "to her session", "last"}));
    admin.Sync();
    EXPECT_EQ(admin.Messages(), (std::vector<std::string>{"$check_mail 2", "$check_mail 2"}));
    for (size_t i = 0; i < links.size(); ++i) {
        SCOPED_TRACE(strangers[i].Desc);
        links[i]->Sync();
        EXPECT_EQ(links[i]->Messages(), std::vector<std::string>{});
    }

    // Once NURSE signs out, her link hears nothing and says nothing.
    const std::vector<std::string> before = nurse.Messages();
    SignOutSession(Server, nurseSession);
    admin.Client.SendNotification("after the sign-out", "", "");
    admin.Client.SendNotification("$check_mail 40", "user_id", "40");
    nurse.Client.SendNotification("from a link whose session ended", "", "");
    nurse.Sync();
    admin.Sync();
    EXPECT_EQ(nurse.Messages(), before);
    EXPECT_EQ(admin.Messages(), (std::vector<std::string>{"$check_mail 2", "$check_mail 2"}));
}

// The client answers "$broadcast X" with "$imhere <its session id>" to the
// link whose id is X: only a system manager may ask that of everybody.
TEST_F(NotificationRelay, ABroadcastGoesOutOnlyForASystemManager)
{
    TLink admin(Server, SignInSession(Server, "ADMIN"));
    const std::string managerSession = SignInSession(Server, "MANAGER", "manager");
    TLink manager(Server, managerSession);
    const std::string nurseSession = SignInSession(Server, "NURSE", "nurse");
    TLink nurse(Server, nurseSession);

    struct Case
    {
        const char* Desc;
        TLink& From;
        std::string Message;
    } refused[] = {
        {"a user", nurse, "$broadcast " + nurseSession},
        {"a user, in capitals", nurse, "$BROADCAST " + nurseSession},
        {"a user, a blank before", nurse, " $broadcast " + nurseSession},
        {"a manager", manager, "$broadcast " + managerSession},
    };
    for (const Case& c : refused) {
        c.From.Client.SendNotification(c.Message, "", "");
        c.From.Client.SendNotification(c.Message, "user_id", {"2", "40", "42"});
        c.From.Sync();
    }
    // Their other words still go out.
    nurse.Client.SendNotification("$UPDATENOTIFICATIONS", "", "");
    ASSERT_TRUE(manager.WaitFor("$UPDATENOTIFICATIONS"));
    admin.Client.SendNotification("$broadcast from the system manager", "", "");
    ASSERT_TRUE(nurse.WaitFor("$broadcast from the system manager"));
    ASSERT_TRUE(manager.WaitFor("$broadcast from the system manager"));
    admin.Sync();
    nurse.Sync();
    manager.Sync();
    EXPECT_EQ(admin.Messages(), std::vector<std::string>{"$UPDATENOTIFICATIONS"});
    EXPECT_EQ(manager.Messages(),
              (std::vector<std::string>{"$UPDATENOTIFICATIONS", "$broadcast from the system manager"}));
    EXPECT_EQ(nurse.Messages(), std::vector<std::string>{"$broadcast from the system manager"});
}

// test_history holds the texts a link sent for the tests that read them, but
// not all of them: the last 64, each at most 16 KB.
TEST_F(NotificationRelay, ALinksHistoryKeepsItsLastTextsCut)
{
    TLink link(Server, SignInSession(Server, "NURSE", "nurse"));
    for (int i = 1; i <= 70; ++i)
        link.Client.SendNotification("text " + std::to_string(i), "id", std::vector<std::string>{});
    link.Client.SendNotification(std::string(20000, 'x'), "id", std::vector<std::string>{});
    link.Received.clear();
    link.Client.SendText(R"({"command":"test_history"})");
    ASSERT_TRUE(RunEventsUntil([&] { return !link.Received.empty(); }));
    std::vector<std::string> history;
    std::stringstream lines(link.Received.back());
    for (std::string line; std::getline(lines, line);)
        history.push_back(line);
    ASSERT_EQ(history.size(), 65u);
    EXPECT_EQ(history[0], "[history]");
    EXPECT_EQ(history[1], R"({"command":"notify", "message":"text 8", "parameter":"id", "values":[]})");
    EXPECT_EQ(history[63], R"({"command":"notify", "message":"text 70", "parameter":"id", "values":[]})");
    EXPECT_EQ(history[64], R"({"command":"notify", "message":")" + std::string(16384 - 32, 'x'));
}

// Before, every text a link sent stayed with the link: 200 texts of 1 MB
// took the relay from 22 MB to 233 MB. Only the tests' history keeps texts.
TEST(NotificationRelayMemory, TextsALinkSendsAreNotKept)
{
    TAppServerProcess server{{}, kUsersSql, {TAppServerProcess::SmallSanitizerQuarantine()}};
    const std::string session = SignInSession(server, "NURSE", "nurse");
    TNembraNotificationsClient link;
    bool done = false;
    link.SetHost("127.0.0.1");
    link.SetPort(std::to_string(server.NotifyPort()));
    link.SetKeyTokenName("id");
    link.SetKeyToken(session);
    link.OnMessage = [&](TObject*, const std::string& msg) { done = done || msg == "done"; };
    link.SetConnected(true);
    ASSERT_TRUE(RunEventsUntil([&] { return link.Opened(); }));
    const size_t before = server.PeakMemory();
    ASSERT_GT(before, 0u);
    const std::string text(1 << 20, 'x');
    for (int i = 0; i < 100; ++i)
        link.SendNotification(text, "id", std::vector<std::string>{});
    link.SendNotification("done", "id", session);
    ASSERT_TRUE(RunEventsUntil([&] { return done; }, std::chrono::seconds(60)));
    std::cerr << "grew " << (server.PeakMemory() - before) / (1024 * 1024) << " MB\n";
    EXPECT_LT(server.PeakMemory() - before, size_t(48) << 20);
}
