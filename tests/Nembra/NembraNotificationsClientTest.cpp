// The notification client against the local notification server
// (tools/appserver), which relays "notify" commands between links named by
// live sessions and, with --test-procedures, tells a link what it has sent
// so far (test_history) or drops it (test_drop).

#include "Components/Nembra/NembraNotificationsClient.h"

#include "base/KldLogFile.h"
#include "platform/WebSocket.h"
#include "support/AppServerProcess.h"
#include "support/AppServerSignIn.h"
#include "support/BoundaryErrors.h"
#include "support/ErrorOf.h"
#include "support/EventLoopWait.h"
#include "support/TempFolder.h"
#include "support/TestCertificates.h"

#include <QSslConfiguration>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::stringstream s(text);
    for (std::string line; std::getline(s, line);)
        lines.push_back(line);
    return lines;
}

// A client with its events recorded, named on the link by "id".
class TProbe
{
  public:
    TProbe(int Port, const std::string& Token)
    {
        Client.SetHost("127.0.0.1");
        Client.SetPort(std::to_string(Port));
        Client.SetKeyTokenName("id");
        Client.SetKeyToken(Token);
        Client.OnConnecting = [this](TObject*) { Events.push_back("connecting"); };
        Client.OnConnected = [this](TObject*) { Events.push_back("connected"); };
        Client.OnDisconnected = [this](TObject*) { Events.push_back("disconnected"); };
        Client.OnMessage = [this](TObject* sender, const std::string& msg) {
            EXPECT_EQ(sender, &Client);
            Messages.push_back(msg);
        };
    }

    // Connects and waits until the server has taken the "set" commands sent
    // on opening.
    void Open()
    {
        Client.SetConnected(true);
        ASSERT_TRUE(RunEventsUntil([this] { return Client.Opened(); }));
        History();
    }

    // What this link has sent so far, as the server received it.
    std::vector<std::string> History()
    {
        const size_t seen = Messages.size();
        Client.SendText(R"({"command":"test_history"})");
        EXPECT_TRUE(RunEventsUntil([&] { return Messages.size() > seen; }));
        if (Messages.size() <= seen)
            return {};
        std::vector<std::string> history = SplitLines(Messages.back());
        Messages.pop_back();
        EXPECT_EQ(history.at(0), "[history]");
        history.erase(history.begin());
        return history;
    }

    bool WaitForMessages(size_t Count)
    {
        return RunEventsUntil([&] { return Messages.size() >= Count; });
    }

    // One keep-alive tick, delivered to the timer's window as the window
    // timer would.
    void Tick()
    {
        ASSERT_NE(Client.KeepAliveTimer(), nullptr);
        SendMessage(Client.KeepAliveTimer()->Handle(), WM_TIMER, 1, 0);
    }

    TNembraNotificationsClient Client;
    std::vector<std::string> Events;
    std::vector<std::string> Messages;
};

// A port on which nothing listens: the link never opens.
int DeadPort()
{
    static const int port = [] {
        TAppServerProcess server;
        return server.NotifyPort();
    }();
    return port;
}

// The users whose sessions name the links: the relay takes a link only for a
// live session, and its "user_id" is that session's user (B is 42).
const char* const kLinkUsers = R"sql(
INSERT INTO TBL_USERS (COUNTER, USER_ID, FULL_NAME, USER_TYPE, C_ENTERPRISE) VALUES
  (41, 'LINK_A', 'Link A', 'USR', 1), (42, 'LINK_B', 'Link B', 'USR', 1), (43, 'LINK_C', 'Link C', 'USR', 1);
)sql";

class NotificationLink : public ::testing::Test
{
  protected:
    TAppServerProcess Server{{"--test-procedures"}, kLinkUsers};
    const std::string TokA = SignInSession(Server, "LINK_A");
    const std::string TokB = SignInSession(Server, "LINK_B");
    const std::string TokC = SignInSession(Server, "LINK_C");
};

} // namespace

TEST(NembraNotificationsClient, StartsEmptyAndRefusesToSendWhileDisconnected)
{
    TNembraNotificationsClient client;
    EXPECT_FALSE(client.Connected());
    EXPECT_FALSE(client.KeepAlive());
    EXPECT_EQ(client.KeepAliveInterval(), 0);
    EXPECT_EQ(client.Host(), "");
    EXPECT_EQ(client.Port(), "");
    EXPECT_EQ(client.ResourceName(), "");
    EXPECT_EQ(client.KeyTokenName(), "");
    EXPECT_EQ(client.KeyToken(), "");
    EXPECT_EQ(client.KeepAliveTimer(), nullptr);

    const std::string disconnected = "Unable to perform operation on a disconnected client";
    EXPECT_EQ(ErrorOf([&] { client.SendText("x"); }), disconnected);
    EXPECT_EQ(ErrorOf([&] { client.SetParam("id", "1"); }), disconnected);
    EXPECT_EQ(ErrorOf([&] { client.SendNotification("m", "p", "v"); }), disconnected);
    EXPECT_EQ(ErrorOf([&] { client.SendNotification("m", "p", std::vector<std::string>{"v"}); }),
              disconnected);
    EXPECT_EQ(ErrorOf([&] { client.SendNotification("m", "", std::vector<std::string>{"v"}); }),
              "Parameter name is not specified");
    // Values written as a list in place.
    EXPECT_EQ(ErrorOf([&] { client.SendNotification("m", "p", {"v", "w"}); }), disconnected);
    EXPECT_EQ(ErrorOf([&] { client.SendNotification("m", "", {}); }), "Parameter name is not specified");

    // Switching off what is off does nothing.
    int disconnects = 0;
    client.OnDisconnected = [&](TObject*) { ++disconnects; };
    client.SetConnected(false);
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(disconnects, 0);
}

TEST(NembraNotificationsClient, KeepAliveTickIsAtLeastTenSeconds)
{
    struct Case
    {
        const char* Desc;
        int32_t Interval;
        uint32_t Tick;
    } cases[] = {
        {"left at 0", 0, 10000},
        {"below the floor", 5000, 10000},
        {"above it", 15000, 15000},
        {"negative", -1, 10000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        TNembraNotificationsClient client;
        client.SetHost("127.0.0.1");
        client.SetPort(std::to_string(DeadPort()));
        client.SetKeepAliveInterval(c.Interval);
        client.SetKeepAlive(true);
        EXPECT_EQ(client.KeepAliveTimer(), nullptr); // not connected yet
        client.SetConnected(true);
        ASSERT_NE(client.KeepAliveTimer(), nullptr);
        EXPECT_EQ(client.KeepAliveTimer()->Interval(), c.Tick);
        EXPECT_TRUE(client.KeepAliveTimer()->Armed());
    }

    // A running timer follows a new interval; switching keep-alive off and
    // on stops and restarts it.
    TNembraNotificationsClient client;
    client.SetHost("127.0.0.1");
    client.SetPort(std::to_string(DeadPort()));
    client.SetKeepAlive(true);
    client.SetConnected(true);
    client.SetKeepAliveInterval(20000);
    EXPECT_EQ(client.KeepAliveTimer()->Interval(), 20000u);
    client.SetKeepAlive(false);
    EXPECT_EQ(client.KeepAliveTimer(), nullptr);
    client.SetKeepAlive(true);
    ASSERT_NE(client.KeepAliveTimer(), nullptr);
    EXPECT_EQ(client.KeepAliveTimer()->Interval(), 20000u);
    client.SetConnected(false);
    EXPECT_EQ(client.KeepAliveTimer(), nullptr);
}

TEST(NembraNotificationsClient, AnUnreachableServerGivesALinkThatTheTickReplaces)
{
    TProbe probe(DeadPort(), "tok");
    probe.Client.SetKeepAlive(true);
    probe.Client.SetConnected(true);
    probe.Client.SetConnected(true); // the second time starts nothing
    EXPECT_EQ(probe.Events, std::vector<std::string>{"connecting"});
    ASSERT_TRUE(RunEventsUntil([&] { return !probe.Client.LinkAlive(); }));
    RunEventsFor(std::chrono::milliseconds(50));
    EXPECT_FALSE(probe.Client.Opened());

    probe.Tick();
    // The link never opened: no OnDisconnected, only a new link.
    EXPECT_EQ(probe.Events, (std::vector<std::string>{"connecting", "connecting"}));
    EXPECT_TRUE(probe.Client.Connected());
    ASSERT_NE(probe.Client.KeepAliveTimer(), nullptr);
    EXPECT_TRUE(probe.Client.KeepAliveTimer()->Armed());
}

TEST(NembraNotificationsClient, AddressesTheServerByHostPortAndResource)
{
    struct Case
    {
        const char* Desc;
        const char* Host;
        const char* Port;
        const char* Resource;
        const char* URL;
    } cases[] = {
        {"empty resource is the root", "127.0.0.1", "8088", "", "ws://127.0.0.1:8088/"},
        {"path and query", "vns.example", "443", "/vns?site=3", "ws://vns.example:443/vns?site=3"},
        {"no host", "", "8088", "/", ""},
        {"no port", "127.0.0.1", "", "/", ""},
        {"port 0", "127.0.0.1", "0", "/", ""},
        {"port too large", "127.0.0.1", "65536", "/", ""},
        {"port with letters", "127.0.0.1", "80x", "/", ""},
        {"port with a sign", "127.0.0.1", "+80", "/", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(TWebSocketClient(c.Host, c.Port, c.Resource).URL(), c.URL);
    }
}

TEST_F(NotificationLink, OpensNamesItselfAndRelaysNotifications)
{
    TProbe a(Server.NotifyPort(), TokA);
    TProbe b(Server.NotifyPort(), TokB);
    // What the controller does when its link opens.
    b.Client.OnConnected = [&](TObject*) {
        b.Events.push_back("connected");
        b.Client.SetParam("user_id", "42");
    };
    a.Open();
    b.Open();
    EXPECT_EQ(a.Events, (std::vector<std::string>{"connecting", "connected"}));
    // The owner's own "set" goes out before the key token's.
    EXPECT_EQ(b.History(), (std::vector<std::string>{
                               R"({"command":"set", "parameter":"user_id", "value":"42"})",
                               R"({"command":"set", "parameter":"id", "value":")" + TokB + R"("})"}));

    a.Client.SendNotification("$check_mail 42", "user_id", "42");
    a.Client.SendNotification("$UPDATENOTIFICATIONS", "", "");
    a.Client.SendNotification("to B by its id", "id", std::vector<std::string>{"nobody", TokB});
    a.Client.SendNotification("to nobody", "id", {});
    a.Client.SendNotification("to nobody either", "user_id", "43");
    a.Client.SendNotification("$imhere " + TokA, "id", TokB);
    ASSERT_TRUE(b.WaitForMessages(4));
    EXPECT_EQ(b.History().size(), 2u); // also a round trip after A's sends
    EXPECT_EQ(b.Messages, (std::vector<std::string>{"$check_mail 42", "$UPDATENOTIFICATIONS",
                                                    "to B by its id", "$imhere " + TokA}));
    EXPECT_TRUE(a.Messages.empty()); // a message for everybody skips its sender

    EXPECT_EQ(
        a.History(),
        (std::vector<std::string>{
            R"({"command":"set", "parameter":"id", "value":")" + TokA + R"("})",
            R"({"command":"notify", "message":"$check_mail 42", "parameter":"user_id", "value":"42"})",
            R"({"command":"notify", "message":"$UPDATENOTIFICATIONS"})",
            R"({"command":"notify", "message":"to B by its id", "parameter":"id", "values":["nobody",")" +
                TokB + R"("]})",
            R"({"command":"notify", "message":"to nobody", "parameter":"id", "values":[]})",
            R"({"command":"notify", "message":"to nobody either", "parameter":"user_id", "value":"43"})",
            R"({"command":"notify", "message":"$imhere )" + TokA + R"(", "parameter":"id", "value":")" +
                TokB + R"("})",
        }));
}

TEST_F(NotificationLink, TextIsUTF8BothWaysAndEmptyMessagesAreNotDelivered)
{
    TProbe a(Server.NotifyPort(), TokA);
    TProbe b(Server.NotifyPort(), TokB);
    a.Open();
    b.Open();
    const std::string text = "Grüße aus Köln: 5 € – 日本語 🙂 \"quoted\" \\ tab\t";
    a.Client.SendNotification(text, "id", TokB);
    a.Client.SendNotification("", "id", TokB);
    a.Client.SendNotification("after the empty one", "id", TokB);
    ASSERT_TRUE(b.WaitForMessages(2));
    RunEventsFor(std::chrono::milliseconds(50));
    EXPECT_EQ(b.Messages, (std::vector<std::string>{text, "after the empty one"}));
    // On the wire the characters stand as they are, only JSON escapes added.
    EXPECT_EQ(a.History().at(1),
              "{\"command\":\"notify\", \"message\":\"Grüße aus Köln: 5 € – 日本語 🙂 "
              "\\\"quoted\\\" \\\\ tab\\t\", \"parameter\":\"id\", \"value\":\"" +
                  TokB + "\"}");

    // A server that writes its code page in a binary frame is read as such.
    b.Messages.clear();
    b.Client.SendText(R"({"command":"test_binary", "message":"Grüße"})");
    ASSERT_TRUE(b.WaitForMessages(1));
    EXPECT_EQ(b.Messages[0], "Grüße");
}

// The client writes a CR LF inside a JSON string as \n and a lone LF as \r;
// the server reads them so, and every kind of line break arrives as it was.
TEST_F(NotificationLink, LineBreaksOfAMessageArriveAsTheyWere)
{
    TProbe a(Server.NotifyPort(), TokA);
    TProbe b(Server.NotifyPort(), TokB);
    a.Open();
    b.Open();
    const std::string text = "Shift change\r\nWard 2\nnight\rend \\n stays";
    a.Client.SendNotification(text, "id", TokB);
    a.Client.SendNotification(text, "id", std::vector<std::string>{TokB});
    ASSERT_TRUE(b.WaitForMessages(2));
    EXPECT_EQ(b.Messages, (std::vector<std::string>{text, text}));
}

// The server sends frames of four bytes here.
class NotificationLinkFrames : public ::testing::Test
{
  protected:
    TAppServerProcess Server{{"--test-procedures", "--notify-frame-size", "4"}, kLinkUsers};
    const std::string TokA = SignInSession(Server, "LINK_A");
    const std::string TokB = SignInSession(Server, "LINK_B");
};

TEST_F(NotificationLinkFrames, AMessageSplitOverFramesArrivesWhole)
{
    TProbe a(Server.NotifyPort(), TokA);
    TProbe b(Server.NotifyPort(), TokB);
    a.Open();
    b.Open();
    // Every four bytes hold whole characters (see the next test).
    const std::string text = "$chk🙂äö日a本b語c arrives in many frames";
    a.Client.SendNotification(text, "id", TokB);
    a.Client.SendNotification("next", "id", TokB);
    ASSERT_TRUE(b.WaitForMessages(2));
    EXPECT_EQ(b.Messages, (std::vector<std::string>{text, "next"}));
}

// Known limitation of the WebSocket library (Qt 6.4): it checks the UTF-8 of
// each frame by itself, so a character split between two frames ends the
// link (close code 1007) although the whole message is valid. The message is
// lost and the next tick brings the link back.
TEST_F(NotificationLinkFrames, ACharacterSplitBetweenFramesEndsTheLinkUntilTheNextTick)
{
    TProbe a(Server.NotifyPort(), TokA);
    TProbe b(Server.NotifyPort(), TokB);
    b.Client.SetKeepAlive(true);
    a.Open();
    b.Open();
    a.Client.SendNotification("abcä", "id", TokB); // "abc\xC3" + "\xA4"
    ASSERT_TRUE(RunEventsUntil([&] { return !b.Client.LinkAlive(); }));
    EXPECT_TRUE(b.Messages.empty());
    b.Tick();
    ASSERT_TRUE(RunEventsUntil([&] { return b.Client.Opened(); }));
    b.History();
    a.Client.SendNotification("abcd", "id", TokB);
    ASSERT_TRUE(b.WaitForMessages(1));
    EXPECT_EQ(b.Messages[0], "abcd");
}

TEST_F(NotificationLink, AMessageAboveTheLimitEndsTheLinkAndIsNotDelivered)
{
    TProbe a(Server.NotifyPort(), TokA);
    TProbe b(Server.NotifyPort(), TokB);
    b.Client.SetKeepAlive(true);
    a.Open();
    b.Open();
    const std::string atLimit(NembraMaxNotificationSize, 'x');
    a.Client.SendNotification(atLimit, "id", TokB);
    ASSERT_TRUE(b.WaitForMessages(1));
    EXPECT_EQ(b.Messages[0].size(), atLimit.size());

    a.Client.SendNotification(atLimit + "y", "id", TokB);
    ASSERT_TRUE(RunEventsUntil([&] { return !b.Client.LinkAlive(); }));
    EXPECT_EQ(b.Messages.size(), 1u);

    // The next tick replaces the link.
    b.Tick();
    ASSERT_TRUE(RunEventsUntil([&] { return b.Client.Opened(); }));
    EXPECT_EQ(b.Events, (std::vector<std::string>{"connecting", "connected", "disconnected", "connecting",
                                                  "connected"}));
}

TEST_F(NotificationLink, TheTickReplacesADroppedLinkAndNamesItAgain)
{
    TProbe a(Server.NotifyPort(), TokA);
    TProbe b(Server.NotifyPort(), TokB);
    a.Client.SetKeepAlive(true);
    a.Open();
    b.Open();

    // A tick on a live link only sends the keep-alive.
    a.Tick();
    EXPECT_EQ(a.History(),
              (std::vector<std::string>{R"({"command":"set", "parameter":"id", "value":")" + TokA + R"("})",
                                        R"({"command":"keepalive"})"}));
    EXPECT_EQ(a.Events, (std::vector<std::string>{"connecting", "connected"}));

    a.Client.SendText(R"({"command":"test_drop"})");
    ASSERT_TRUE(RunEventsUntil([&] { return !a.Client.LinkAlive(); }));
    // Nothing is noticed until the next tick.
    EXPECT_TRUE(a.Client.Connected());
    EXPECT_TRUE(a.Client.Opened());
    EXPECT_EQ(a.Events, (std::vector<std::string>{"connecting", "connected"}));

    a.Tick();
    EXPECT_EQ(a.Events, (std::vector<std::string>{"connecting", "connected", "disconnected", "connecting"}));
    EXPECT_TRUE(a.Client.Connected());
    ASSERT_NE(a.Client.KeepAliveTimer(), nullptr);
    EXPECT_TRUE(a.Client.KeepAliveTimer()->Armed());
    ASSERT_TRUE(RunEventsUntil([&] { return a.Client.Opened(); }));
    EXPECT_EQ(a.Events.back(), "connected");

    // Named again, and the keep-alive sent while the new link was still
    // opening was lost. Messages for its id reach the new link.
    EXPECT_EQ(a.History(),
              std::vector<std::string>{R"({"command":"set", "parameter":"id", "value":")" + TokA + R"("})"});
    b.Client.SendNotification("found you again", "id", TokA);
    ASSERT_TRUE(a.WaitForMessages(1));
    EXPECT_EQ(a.Messages[0], "found you again");
}

TEST_F(NotificationLink, NothingIsSentOnOpeningWithoutAKeyToken)
{
    struct Case
    {
        const char* Desc;
        const char* Name;
        const char* Token;
    } cases[] = {{"no token", "id", ""}, {"no token name", "", "tok"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        TProbe probe(Server.NotifyPort(), c.Token);
        probe.Client.SetKeyTokenName(c.Name);
        probe.Open();
        EXPECT_TRUE(probe.History().empty());
    }
}

TEST_F(NotificationLink, DisconnectTellsOnlyWhileTheClientLives)
{
    TProbe a(Server.NotifyPort(), TokA);
    a.Open();
    a.Client.SetConnected(false);
    EXPECT_EQ(a.Events, (std::vector<std::string>{"connecting", "connected", "disconnected"}));
    EXPECT_FALSE(a.Client.Connected());
    EXPECT_FALSE(a.Client.Opened());
    EXPECT_EQ(ErrorOf([&] { a.Client.SendText("x"); }),
              "Unable to perform operation on a disconnected client");

    int disconnects = 0;
    {
        TNembraNotificationsClient client;
        client.SetHost("127.0.0.1");
        client.SetPort(std::to_string(Server.NotifyPort()));
        client.OnDisconnected = [&](TObject*) { ++disconnects; };
        client.SetConnected(true);
        ASSERT_TRUE(RunEventsUntil([&] { return client.Opened(); }));
    }
    EXPECT_EQ(disconnects, 0);
}

// While OnDisconnected runs, Connected is still True but the link is gone:
// what the handler sends is lost without an error, as on a link not open yet.
TEST_F(NotificationLink, WhatTheDisconnectHandlerSendsIsLost)
{
    TProbe a(Server.NotifyPort(), TokA);
    a.Client.SetKeepAlive(true);
    std::vector<std::string> errors;
    a.Client.OnDisconnected = [&](TObject*) {
        a.Events.push_back("disconnected");
        EXPECT_TRUE(a.Client.Connected());
        errors.push_back(ErrorOf([&] { a.Client.SendNotification("bye", "id", TokA); }));
    };
    a.Open();
    a.Client.SendText(R"({"command":"test_drop"})");
    ASSERT_TRUE(RunEventsUntil([&] { return !a.Client.LinkAlive(); }));
    a.Tick(); // the dead link is replaced
    ASSERT_TRUE(RunEventsUntil([&] { return a.Client.Opened(); }));
    a.Client.SetConnected(false);
    EXPECT_EQ(a.Events, (std::vector<std::string>{"connecting", "connected", "disconnected", "connecting",
                                                  "connected", "disconnected"}));
    EXPECT_EQ(errors, (std::vector<std::string>{"", ""}));
    EXPECT_FALSE(a.Client.Connected());
}

TEST_F(NotificationLink, HandlersMayEndTheLinkAndTheirErrorsStayAtTheBoundary)
{
    TBoundaryErrors errors;
    TProbe a(Server.NotifyPort(), TokA);
    TProbe b(Server.NotifyPort(), TokB);
    a.Open();
    b.Open();

    b.Client.OnMessage = [&](TObject*, const std::string& msg) {
        b.Messages.push_back(msg);
        if (msg == "fail")
            throw Exception("handler failed");
        if (msg == "hang up")
            b.Client.SetConnected(false);
    };
    a.Client.SendNotification("fail", "id", TokB);
    a.Client.SendNotification("still here", "id", TokB);
    a.Client.SendNotification("hang up", "id", TokB);
    a.Client.SendNotification("too late", "id", TokB);
    ASSERT_TRUE(b.WaitForMessages(3));
    RunEventsFor(std::chrono::milliseconds(100));
    EXPECT_EQ(b.Messages, (std::vector<std::string>{"fail", "still here", "hang up"}));
    EXPECT_FALSE(b.Client.Connected());
    EXPECT_EQ(errors.Reports, std::vector<std::string>{"TWebSocketClient: Exception: handler failed"});

    // A handler that ends the link it is told about, as it opens.
    TProbe c(Server.NotifyPort(), TokC);
    c.Client.OnConnected = [&](TObject*) { c.Client.SetConnected(false); };
    c.Client.SetConnected(true);
    ASSERT_TRUE(RunEventsUntil([&] { return !c.Client.Connected(); }));
    RunEventsFor(std::chrono::milliseconds(50));
    EXPECT_FALSE(c.Client.Opened());
}

TEST_F(NotificationLink, LogsItsSteps)
{
    TTempFolder folder;
    const std::string original = Log.FileName();
    Log.SetFileName(folder / "vns.log");
    Log.SetLogLevel(llDebug);
    Log.SetEnabled(true);
    {
        TProbe a(Server.NotifyPort(), TokA);
        a.Client.SetKeepAlive(true);
        a.Open();
        a.Tick();
        a.Client.SetConnected(false);
    }
    Log.SetEnabled(false);
    Log.SetFileName(original);
    std::ifstream in(folder / "vns.log");
    std::vector<std::string> steps;
    for (std::string line; std::getline(in, line);) {
        const size_t vns = line.find(", VNS.");
        if (vns != std::string::npos)
            steps.push_back(line.substr(vns + 2, line.find(", TNembraNotificationsClient") - vns - 2));
    }
    const std::string connect =
        "VNS.Connect. Host:\"127.0.0.1\" Port:\"" + std::to_string(Server.NotifyPort()) + "\"";
    // Keep-alive switched on before connecting stops the timer that is not
    // there yet.
    EXPECT_EQ(steps, (std::vector<std::string>{"VNS.StopKeepAliveTimer", connect, "VNS.StartKeepAliveTimer",
                                               "VNS.DoOnOpen", "VNS.FOnConnected", "VNS.DoOnKeepAliveTimer",
                                               "VNS.Disconnect", "VNS.StopKeepAliveTimer",
                                               // and once more as the client goes
                                               "VNS.Disconnect", "VNS.StopKeepAliveTimer"}));
}

// With an https server connection the link uses TLS and checks the relay's
// certificate as the main channel checks the server's: the test trusts its
// own authority, made at test time; nothing else is trusted beyond the
// system's store.
TEST(NembraNotificationsClient, ALinkToAnHttpsConnectionUsesTLSAndChecksTheCertificate)
{
    EXPECT_EQ(TWebSocketClient("127.0.0.1", "8443", "/", true).URL(), "wss://127.0.0.1:8443/");
    TTempFolder folder;
    const TestCertificates::TFiles tls = TestCertificates::Make(folder.Path());
    TAppServerProcess server(
        {"--test-procedures", "--notify-tls-cert", tls.Certificate, "--notify-tls-key", tls.Key}, kLinkUsers);
    ASSERT_GT(server.SecureNotifyPort(), 0);
    const std::string TokS = SignInSession(server, "LINK_A");
    const std::string TokP = SignInSession(server, "LINK_B");

    // Not trusted yet: the link never opens, and the token never goes out.
    {
        TProbe untrusted(server.SecureNotifyPort(), "tokU");
        untrusted.Client.SetSecure(true);
        untrusted.Client.SetConnected(true);
        EXPECT_FALSE(RunEventsUntil([&] { return untrusted.Client.Opened(); }, std::chrono::milliseconds(1500)));
    }
    // The process trusts the test authority until the test ends, however it ends.
    struct TTrust
    {
        QSslConfiguration Before = QSslConfiguration::defaultConfiguration();
        explicit TTrust(const std::string& CA)
        {
            QSslConfiguration trusting = Before;
            EXPECT_TRUE(trusting.addCaCertificates(QString::fromStdString(CA)));
            QSslConfiguration::setDefaultConfiguration(trusting);
        }
        ~TTrust() { QSslConfiguration::setDefaultConfiguration(Before); }
    } trust(tls.CA);

    TProbe secure(server.SecureNotifyPort(), TokS);
    secure.Client.SetSecure(true);
    secure.Open();
    EXPECT_EQ(secure.History(), (std::vector<std::string>{R"({"command":"set", "parameter":"id", "value":")" +
                                                          TokS + R"("})"}));
    // Plain and TLS links are one audience.
    TProbe plain(server.NotifyPort(), TokP);
    plain.Open();
    plain.Client.SendNotification("$check_mail 7", "id", TokS);
    ASSERT_TRUE(secure.WaitForMessages(1));
    EXPECT_EQ(secure.Messages, (std::vector<std::string>{"$check_mail 7"}));

    // A plain link to the TLS port does not open either.
    TProbe mismatched(server.SecureNotifyPort(), "tokM");
    mismatched.Client.SetConnected(true);
    EXPECT_FALSE(RunEventsUntil([&] { return mismatched.Client.Opened(); }, std::chrono::milliseconds(1500)));
}
