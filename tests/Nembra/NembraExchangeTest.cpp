// Remote calls against the local application server, started by each test
// on a free port: the body on the wire, compression, status and error
// envelope, progress streams, sign-in and the session, keep-alive,
// asynchronous calls, aborts, the pool and the connection's destruction.
#include "Components/Nembra/NembraClient.h"
#include "Components/Nembra/NembraJSON.h"

#include "base/KldLogFile.h"
#include "platform/DateUtils.h"
#include "platform/Threads.h"

#include "support/AppServerProcess.h"
#include "support/ErrorOf.h"
#include "support/NembraErrorOf.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <set>

namespace {

// Users of the sign-in tests, beside the seeded ones.
const char* const kUsersSql = R"sql(
INSERT INTO TBL_ENTERPRISES (COUNTER, ENTERPRISE) VALUES (2, 'WEST CARE');
INSERT INTO TBL_DBALIASES (COUNTER, ALIAS, DESCRIPTION, C_ENTERPRISE, CURRENT_USE) VALUES
  (1, 'WEST', 'West homes', 2, 'T'), (2, 'EAST', 'East homes', 2, 'T'), (3, 'OLD', 'Retired', 2, 'F');
INSERT INTO TBL_ROLES (COUNTER, ROLE_ID, C_ENTERPRISE, C_ALIAS) VALUES (1, 'NURSE', 2, 1), (2, 'ARCHIVE', 2, 3);
INSERT INTO TBL_USERS (COUNTER, USER_ID, USER_PASSWORD, FULL_NAME, USER_TYPE, C_ENTERPRISE) VALUES
  (10, 'NURSE1', 'Secret 1', 'Nora Nurse', 'USR', 2);
INSERT INTO TBL_USERDBACCESS (C_USER, C_ROLE) VALUES (10, 1), (10, 2);
INSERT INTO TBL_USERS (COUNTER, USER_ID, USER_PASSWORD, USER_TYPE, C_ENTERPRISE, EXPIRATION_DATE) VALUES
  (11, 'GONE', 'x', 'USR', 2, '2000-01-31');
INSERT INTO TBL_USERS (COUNTER, USER_ID, USER_PASSWORD, USER_TYPE, C_ENTERPRISE, EXPIRATION_INTERVAL,
                       DAYS_PASSWORD_WARNING, LAST_PASSWORD_CHANGE) VALUES
  (12, 'AGING', 'x', 'USR', 2, 30, 5, date('now', 'localtime', '-28 days')),
  (13, 'STALE', 'x', 'USR', 2, 30, 5, date('now', 'localtime', '-40 days'));
INSERT INTO TBL_USERS (COUNTER, USER_ID, USER_PASSWORD, USER_TYPE, C_ENTERPRISE, CURRENT_USE) VALUES
  (14, 'LEFT', 'x', 'USR', 2, 'F');
)sql";

std::vector<std::string> ServerArgs()
{
    return {"--test-procedures",      "--status-500",      "Fault.Status500", "--non-json-reply",
            "Fault.NonJson",          "--drop-mid-reply",  "Fault.Drop",      "--truncate-gzip",
            "Fault.Gzip",             "--change-session-cookie", "Fault.Cookie"};
}

// Whether text has the shape of pattern, where '#' stands for any digit.
bool Shaped(const std::string& text, const std::string& pattern)
{
    if (text.size() != pattern.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i)
        if (pattern[i] == '#' ? !std::isdigit(static_cast<unsigned char>(text[i])) : text[i] != pattern[i])
            return false;
    return true;
}

// The value of a [name, value] pair of Test.Echo's "Params".
std::vector<std::pair<std::string, std::string>> EchoedParams(TJSONObject& reply)
{
    std::vector<std::pair<std::string, std::string>> out;
    TJSONArray& params = reply.GetValues("Params").GetAsArray();
    for (int i = 0; i < params.Count(); ++i) {
        TJSONArray& pair = params.GetValue(i).GetAsArray();
        out.emplace_back(pair.GetValue(0).GetAsString(), pair.GetValue(1).GetAsString());
    }
    return out;
}

// A connection that counts its exchanges.
class TCountingConnection : public TNembraConnection
{
  public:
    std::atomic<int> Exchanges{0};
    // Workers still running may be inside the override below.
    ~TCountingConnection() override { BeforeDestruction(); }
    void InternalExecuteRequest(TNembraRequest& Request) override
    {
        ++Exchanges;
        TNembraConnection::InternalExecuteRequest(Request);
    }
};

class NembraExchange : public ::testing::Test
{
  protected:
    TAppServerProcess Server{ServerArgs(), kUsersSql};

    std::unique_ptr<TCountingConnection> Connect()
    {
        auto c = std::make_unique<TCountingConnection>();
        c->SetServerURL(Server.ServerURL());
        return c;
    }

    // A JSON call on c with the given Name=Value lines.
    std::unique_ptr<TNembraRequest> Call(TNembraConnection& c, const std::string& procedure,
                                         const std::vector<std::string>& params = {})
    {
        std::unique_ptr<TNembraRequest> r = c.GetNembraRequest();
        r->SetProcedureName(procedure);
        for (const std::string& p : params)
            r->Params().Add(p);
        r->Execute();
        return r;
    }

    // Signs c in as user with password; the login reply goes to Reply.
    void SignIn(TNembraConnection& c, const std::string& user, const std::string& password, bool force = false)
    {
        c.SetAuthentication(qauthBasic);
        c.Params().Clear();
        c.Params().Add("USER_ID=" + user);
        c.Params().Add("USER_PWD=" + password);
        c.Params().Add(std::string("FORCE=") + (force ? "True" : "False"));
        c.Params().Add("OS=W40");
        c.Params().Add("AGENT=Tallowin - test");
        c.GenerateRandomSecretKey();
        c.OnLogin = [this](TObject* sender) {
            auto* request = static_cast<TNembraRequest*>(sender);
            LoginReply = request->GetJSONObject().ToJSONString();
            LoginWarning = request->GetJSONObject().GetValues("Warning").GetAsString();
            LoginUser = request->GetJSONObject().GetValues("User").GetAsObject().GetValues("FULL_NAME")
                            .GetAsArray().GetValue(0).GetAsString();
            TJSONArray& aliases =
                request->GetJSONObject().GetValues("DATABASES").GetAsObject().GetValues("Database").GetAsArray();
            LoginDatabases.clear();
            for (int i = 0; i < aliases.Count(); ++i)
                LoginDatabases.push_back(aliases.GetValue(i).GetAsString());
        };
        c.Open();
    }

    std::string LoginReply;
    std::string LoginWarning;
    std::string LoginUser;
    std::vector<std::string> LoginDatabases;
};

} // namespace

TEST_F(NembraExchange, BodyIsFormEncodedInOrder)
{
    auto c = Connect();
    auto r = Call(*c, "Test.Echo", {"A=1 2", "B=x&y", "=abc", "C=a=b", "D", "E=\xC3\xA9/\x01"});
    TJSONObject& reply = r->GetJSONObject();
    EXPECT_EQ(reply.GetValues("RAW_BODY").GetAsString(), "A=1+2&B=x%26y&=abc=&C=a%3Db&D=&E=%C3%A9%2F%01");
    EXPECT_EQ(reply.GetValues("METHOD").GetAsString(), "POST");
    EXPECT_EQ(reply.GetValues("Content-Type").GetAsString(), "application/x-www-form-urlencoded");
    const auto params = EchoedParams(reply);
    ASSERT_EQ(params.size(), 6u);
    EXPECT_EQ(params[0], (std::pair<std::string, std::string>{"A", "1 2"}));
    EXPECT_EQ(params[1], (std::pair<std::string, std::string>{"B", "x&y"}));
    // "=abc=" on the wire: a server reads an empty name.
    EXPECT_EQ(params[2], (std::pair<std::string, std::string>{"", "abc="}));
    EXPECT_EQ(params[5], (std::pair<std::string, std::string>{"E", "\xC3\xA9/\x01"}));

    // The time stamp: a raw blank between date and time, POST only.
    c->SetAppendTimeStampToPost(true);
    r = Call(*c, "Test.Echo", {"A=1 2", "B=x&y"});
    EXPECT_TRUE(Shaped(r->GetJSONObject().GetValues("RAW_BODY").GetAsString(),
                       "A=1+2&B=x%26y&_qts=####-##-## ##:##:##"))
        << r->GetJSONObject().GetValues("RAW_BODY").GetAsString();
    c->SetTimeStampParamName("ts");
    r = c->GetNembraRequest();
    r->SetProcedureName("Test.Echo");
    r->SetHTTPMethod("post");
    r->Execute();
    EXPECT_TRUE(Shaped(r->GetJSONObject().GetValues("RAW_BODY").GetAsString(), "ts=####-##-## ##:##:##"));
}

TEST_F(NembraExchange, TimeStampKeepsTheWireFormatUnderOtherSeparators)
{
    auto c = Connect();
    c->SetAppendTimeStampToPost(true);
    const TFormatSettings saved = FormatSettings;
    FormatSettings.DateSeparator = '.';
    FormatSettings.TimeSeparator = '.';
    std::string body;
    try {
        body = Call(*c, "Test.Echo", {"A=1"})->GetJSONObject().GetValues("RAW_BODY").GetAsString();
    } catch (...) {
        FormatSettings = saved;
        throw;
    }
    FormatSettings = saved;
    EXPECT_TRUE(Shaped(body, "A=1&_qts=####-##-## ##:##:##")) << body;
}

TEST_F(NembraExchange, HeadersAndCompression)
{
    auto c = Connect();
    c->OnGetReferer = [](TObject* sender) {
        return "app://" + static_cast<TNembraRequest*>(sender)->ProcedureName();
    };
    auto plain = Call(*c, "Test.Echo");
    EXPECT_EQ(plain->GetJSONObject().GetValues("Referer").GetAsString(), "app://Test.Echo");
    EXPECT_EQ(plain->GetJSONObject().GetValues("Accept-Encoding").GetAsString(), "");
    EXPECT_EQ(plain->GetHeaderValue("Content-Encoding"), "");

    c->SetCompression(true);
    auto packed = Call(*c, "Test.Reply", {"SIZE=20000"});
    EXPECT_EQ(packed->GetHeaderValue("content-encoding"), "gzip");
    EXPECT_GT(packed->Response()->Size(), 4 * packed->Profiling().BytesReceived)
        << "the reply travelled compressed and arrived decoded";
    EXPECT_TRUE(packed->GetJSONObject().GetValues("eof").GetAsBoolean());
    EXPECT_EQ(Call(*c, "Test.Echo")->GetJSONObject().GetValues("Accept-Encoding").GetAsString(), "gzip");
}

TEST_F(NembraExchange, StatusAndRepliesThatAreNotJSON)
{
    auto c = Connect();
    EXPECT_EQ(ErrorOf([&] { Call(*c, "Fault.Status500"); }),
              "500 Internal Server Error\r\nThe server could not complete Fault.Status500.");
    try {
        Call(*c, "Fault.Status500");
    } catch (const TNembraException&) {
        ADD_FAILURE() << "an HTTP status is no server error envelope";
    } catch (const Exception&) {
    }

    struct Case
    {
        const char* Desc;
        std::string Text;
        std::string Error;
    };
    const Case cases[] = {
        {"short text", "Down for maintenance", "Down for maintenance"},
        {"short text without its tags", "<html><body><h1>Down</h1><br>Back at <b>noon</b></body></html>",
         "Down\r\nBack at noon"},
        {"299 characters", std::string(299, 'x'), "Invalid response received from server"},
        {"255 characters", std::string(255, 'y'), std::string(255, 'y')},
        {"256 characters", std::string(256, 'y'), "Invalid response received from server"},
        {"broken JSON", "{\"Error\": ", "Invalid response received from server"},
        {"empty", "", "Invalid response received from server"},
        {"tags only", "<b></b>", "Invalid response received from server"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.Desc);
        EXPECT_EQ(ServerErrorOf([&] { Call(*c, "Test.Text", {"TEXT=" + k.Text}); }), (TServerError{1000, k.Error}));
    }
    EXPECT_EQ(ErrorOf<TNembraException>([&] { Call(*c, "Fault.NonJson"); }), "Service temporarily unavailable");

    // A stream request takes any reply as it comes.
    TNembraRequest raw;
    raw.SetConnection(c.get());
    raw.SetProcedureName("Test.Text");
    raw.SetParam("TEXT", Variant("not JSON"));
    raw.Execute();
    EXPECT_EQ(raw.ResponseText(), "not JSON");
}

TEST_F(NembraExchange, ErrorEnvelopeGivesCodeAndMessage)
{
    auto c = Connect();
    struct Case
    {
        const char* Desc;
        std::string Error;
        int Code;
        std::string Message;
    };
    const Case cases[] = {
        {"code and message", "#2009 Same user", 2009, "Same user"},
        {"letters are no code", "#abc word", 1000, "word"},
        {"code without blank", "#2009", 1000, "#2009"},
        {"plain text", "Table is locked", 1000, "Table is locked"},
        {"lines of a message", "#2009 First line\r\nSecond line", 2009, "First line\r\nSecond line"},
        {"a database's lines", "ORA-20001: No bed free$END$\nORA-06512: at line 4", 1000,
         "ORA-20001: No bed free$END$\nORA-06512: at line 4"},
        {"tabs, quotes, backslashes and a lone CR", "a\tb \"c\" \\d\re", 1000, "a\tb \"c\" \\d\re"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.Desc);
        EXPECT_EQ(ServerErrorOf([&] { Call(*c, "Test.Error", {"TEXT=" + k.Error}); }),
                  (TServerError{k.Code, k.Message}));
    }
    EXPECT_EQ(ErrorOf<TNembraException>([&] { Call(*c, "No.Such"); }), "Unknown procedure: No.Such");
}

TEST_F(NembraExchange, TextsWithLineBreaksComeBackAsTheyWereSent)
{
    // Every text of a reply, not only the error, is written the way the
    // client reads JSON strings.
    auto c = Connect();
    const std::string text = "line 1\r\nline 2\nline 3\rend\t\"quoted\" \\";
    TNembraRequest request;
    request.SetConnection(c.get());
    request.SetResponseType(qrtJSON);
    request.SetProcedureName("Test.Echo");
    request.SetParam("TEXT", Variant(text));
    request.Execute();
    TJSONArray& params = request.GetJSONObject().GetValues("Params").GetAsArray();
    ASSERT_EQ(params.Count(), 1);
    EXPECT_EQ(params.GetValue(0).GetAsArray().GetValue(1).GetAsString(), text);
}

TEST_F(NembraExchange, BrokenExchangesAndUnreachableServers)
{
    auto c = Connect();
    EXPECT_EQ(ErrorOf([&] { Call(*c, "Fault.Drop"); }), "Unable to connect to server: " + Server.ServerURL());
    EXPECT_EQ(ErrorOf<TNembraException>([&] { Call(*c, "Fault.Gzip"); }), "Invalid response received from server");
    // The connection is fine afterwards.
    EXPECT_EQ(Call(*c, "Test.Echo")->GetJSONObject().GetValues("METHOD").GetAsString(), "POST");

    TNembraConnection nowhere;
    nowhere.SetServerURL("http://127.0.0.1:1/bin/orvane.dll/");
    EXPECT_EQ(ErrorOf([&] { Call(nowhere, "Test.Echo"); }), "Unable to connect to server: http://127.0.0.1:1/bin/orvane.dll");
    int failures = 0;
    nowhere.OnRequestError = [&](TObject* sender, TNembraRequest* request) {
        EXPECT_EQ(sender, &nowhere);
        EXPECT_EQ(request->ProcedureName(), "Test.Echo");
        ++failures;
    };
    EXPECT_THROW(Call(nowhere, "Test.Echo"), EAbort);
    EXPECT_EQ(failures, 1);
    EXPECT_FALSE(nowhere.Online());
}

TEST_F(NembraExchange, TimeOutEndsAWaitWithoutRetry)
{
    auto c = Connect();
    c->SetTimeout(1);
    EXPECT_EQ(ErrorOf([&] { Call(*c, "Test.Echo", {"SLEEP_MS=3000"}); }),
              "Unable to connect to server: " + Server.ServerURL());
    EXPECT_EQ(c->Exchanges, 1);
}

TEST_F(NembraExchange, ProgressStreams)
{
    auto c = Connect();
    struct Case
    {
        const char* Desc;
        std::string Steps;
        std::vector<std::pair<int, std::string>> Expected; // processing notices after the first 0
    };
    const Case cases[] = {
        {"10, 55 and 100", "10 Loading|55 Half way|100 Done", {{10, "Loading"}, {55, "Half way"}, {100, "Done"}}},
        {"a blank chunk and 120", "   |120 Over", {{100, "Over"}}},
        {"the result alone after 55", "10 a|55 b", {{10, "a"}, {55, "b"}, {100, "b"}}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.Desc);
        auto r = c->GetNembraRequest();
        r->SetProcedureName("Test.Progress");
        r->SetParam("STEPS", Variant(k.Steps));
        std::vector<std::pair<int, std::string>> seen;
        r->OnProgress = [&](TObject*) {
            if (r->State() == vrsProcessing && !(r->Progress() == 0 && r->ProgressMessage().empty()))
                seen.emplace_back(r->Progress(), r->ProgressMessage());
        };
        r->Execute();
        EXPECT_EQ(seen, k.Expected);
        EXPECT_EQ(r->GetJSONObject().GetValues("Result").GetAsString(), "done");
        EXPECT_EQ(r->GetHeaderValue("X-NEMBRA-PROGRESS"), "") << "the headers are the result's";
    }
    EXPECT_EQ(ErrorOf([&] { Call(*c, "Test.Progress", {"STEPS=10 a", "NO_HANDLE=True"}); }),
              "Error executing procedure: Test.Progress\r\nEmpty response handle.");

    // A stream request becomes a JSON request.
    TNembraRequest stream;
    stream.SetConnection(c.get());
    stream.SetProcedureName("Test.Progress");
    stream.SetParam("STEPS", Variant("50 x"));
    stream.Execute();
    EXPECT_EQ(stream.ResponseType(), qrtJSON);
    EXPECT_EQ(stream.GetJSONObject().GetValues("Steps").GetAsInteger(), 1);

    // Compression asked for: the result is compressed, the stream is not.
    c->SetCompression(true);
    EXPECT_EQ(Call(*c, "Test.Progress", {"STEPS=10 a|100 b"})->GetJSONObject().GetValues("Steps").GetAsInteger(), 2);
}

TEST_F(NembraExchange, SignInSetsTheSessionAndReadsTheReply)
{
    auto c = Connect();
    SignIn(*c, "nurse1", "Secret 1");
    EXPECT_TRUE(c->Active());
    EXPECT_EQ(c->GetSessionID().size(), 32u);
    EXPECT_EQ(LoginUser, "Nora Nurse");
    EXPECT_EQ(LoginDatabases, (std::vector<std::string>{"WEST"})) << "only live aliases with a role";
    EXPECT_NE(LoginReply.find("MAX_IDLE_TIME=20"), std::string::npos);
    EXPECT_EQ(LoginWarning, "");
    EXPECT_EQ(LoginReply.find("USER_PASSWORD"), std::string::npos);

    // Calls now carry the session; the request proof matches the secret key.
    auto echo = c->GetNembraRequest();
    echo->SetProcedureName("Test.Echo");
    echo->SecureWithSecret();
    echo->Execute();
    EXPECT_EQ(echo->GetJSONObject().GetValues("SESSION").GetAsString(), c->GetSessionID());
    EXPECT_EQ(echo->GetJSONObject().GetValues("SECRET_VALID").GetAsString(), "True");
    const std::string key = c->SecretKey();
    c->GenerateRandomSecretKey();
    echo->SecureWithSecret();
    echo->Execute();
    EXPECT_EQ(echo->GetJSONObject().GetValues("SECRET_VALID").GetAsString(), "False");
    c->SetSecretKey(key);

    const double serverTime = Call(*c, "Nembra.GetServerTime")->GetJSONObject().GetValues("SERVER_TIME_DOUBLE")
                                  .GetAsNumber();
    EXPECT_NEAR(serverTime, Now(), 60.0 / SecsPerDay);

    // Signing out ends the session on the server too.
    TNembraConnection copy;
    copy.CopySession(*c);
    c->Close();
    EXPECT_FALSE(c->Active());
    EXPECT_FALSE(c->SessionTerminated());
    EXPECT_EQ(ErrorOf([&] { Call(copy, "Nembra.KeepAlive"); }),
              "Your session on server has expired or was terminated. Please login again.");
}

TEST_F(NembraExchange, SignInErrorsAndWarnings)
{
    struct Case
    {
        const char* Desc;
        std::string User, Password;
        int Code;
        std::string Message;
    };
    const Case cases[] = {
        {"wrong password", "NURSE1", "Secret 2", 2001, "Invalid User ID or Password."},
        {"unknown user", "NOBODY", "x", 2001, "Invalid User ID or Password."},
        {"account not in use", "LEFT", "x", 2001, "Invalid User ID or Password."},
        {"reserved account", "$SYSTEM", "", 2001, "Invalid User ID or Password."},
        {"expired account", "GONE", "x", 2012,
         "Your account expired on 2000-01-31. Please contact your system administrator."},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.Desc);
        auto c = Connect();
        EXPECT_EQ(ServerErrorOf([&] { SignIn(*c, k.User, k.Password); }), (TServerError{k.Code, k.Message}));
        EXPECT_FALSE(c->Active());
        EXPECT_EQ(c->GetSessionID(), "");
    }

    auto aging = Connect();
    SignIn(*aging, "AGING", "x");
    EXPECT_EQ(LoginWarning, "#2004 Your password will expire in 2 days.");
    auto stale = Connect();
    SignIn(*stale, "STALE", "x");
    EXPECT_EQ(LoginWarning, "#2004 Your password has expired.");
    auto admin = Connect();
    SignIn(*admin, "ADMIN", "");
    EXPECT_EQ(LoginDatabases, (std::vector<std::string>{"EAST", "WEST"})) << "a system manager reaches every alias";
}

TEST_F(NembraExchange, SecondSignInOfAUserNeedsForce)
{
    auto first = Connect();
    SignIn(*first, "NURSE1", "Secret 1");
    auto second = Connect();
    EXPECT_EQ(ServerErrorOf([&] { SignIn(*second, "NURSE1", "Secret 1"); }),
              (TServerError{2009, "Same User ID is already logged in."}));
    EXPECT_FALSE(second->Active());
    EXPECT_TRUE(Call(*first, "Nembra.KeepAlive") != nullptr) << "the first session lives on";

    SignIn(*second, "NURSE1", "Secret 1", true);
    EXPECT_TRUE(second->Active());
    // The first session was ended: its next call finds its cookie cleared.
    EXPECT_EQ(ErrorOf([&] { Call(*first, "Nembra.KeepAlive"); }),
              "Your session on server has expired or was terminated. Please login again.");
    EXPECT_FALSE(first->Active());
    EXPECT_TRUE(first->SessionTerminated());
}

TEST_F(NembraExchange, ReplacedSessionCookieEndsTheSessionWithoutSignOut)
{
    auto c = Connect();
    SignIn(*c, "NURSE1", "Secret 1");
    struct TCount : IMessageReceiver
    {
        int Told = 0;
        void WndProc(TMessage&) override { ++Told; }
    } listener;
    c->AddListener(&listener);
    const int before = c->Exchanges;
    EXPECT_EQ(ErrorOf([&] { Call(*c, "Fault.Cookie"); }),
              "Your session on server has expired or was terminated. Please login again.");
    EXPECT_FALSE(c->Active());
    EXPECT_TRUE(c->SessionTerminated());
    EXPECT_EQ(listener.Told, 0);
    EXPECT_EQ(c->Exchanges, before + 1) << "no sign-out call";

    // A connection that is not active notes nothing.
    auto inactive = Connect();
    EXPECT_EQ(ErrorOf<TNembraException>([&] { Call(*inactive, "Fault.Cookie"); }), "Unknown procedure: Fault.Cookie")
        << "the reply's own error, not the session's";
    // Connecting again clears the mark.
    SignIn(*c, "NURSE1", "Secret 1", true);
    EXPECT_FALSE(c->SessionTerminated());
    c->RemoveListener(&listener);
}

TEST_F(NembraExchange, KeepAlive)
{
    auto c = Connect();
    EXPECT_FALSE(c->CheckOnline(true)) << "inactive";
    EXPECT_EQ(c->Exchanges, 0);
    SignIn(*c, "NURSE1", "Secret 1");
    const int afterSignIn = c->Exchanges;
    EXPECT_TRUE(c->CheckOnline(false)) << "the sign-in just now is proof enough";
    EXPECT_EQ(c->Exchanges, afterSignIn);
    EXPECT_TRUE(c->CheckOnline(true));
    EXPECT_EQ(c->Exchanges, afterSignIn + 1);

    TTempFolder folder;
    Log.SetFileName(folder / "client.log");
    Log.SetEnabled(true);
    Server.Stop();
    const uint64_t before = GetTickCount64();
    EXPECT_FALSE(c->CheckOnline(true));
    Log.SetEnabled(false);
    EXPECT_FALSE(c->Online());
    EXPECT_GE(c->LastExchangeTick(), before);
    EXPECT_TRUE(c->Active()) << "a failed keep-alive does not sign out";
    const std::string log = ReadText(folder / "client.log");
    EXPECT_NE(log.find("Unable to connect to server"), std::string::npos) << log;
    EXPECT_NE(log.find("TNembraConnection"), std::string::npos) << log;
    EXPECT_FALSE(c->CheckOnline(false)) << "the failure is cached";
}

TEST_F(NembraExchange, WorkServerAddressComesFromTheServer)
{
    // A second server points its clients at this one.
    TAppServerProcess front({"--work-server-url", " " + Server.ServerURL() + "/\n"});
    TNembraConnection c;
    c.SetServerURL(front.ServerURL());
    c.UpdateWorkServerURL();
    EXPECT_EQ(c.WorkServerURL(), Server.ServerURL() + "/");
    // Test procedures exist only on the work server.
    EXPECT_EQ(Call(c, "Test.Echo")->GetJSONObject().GetValues("METHOD").GetAsString(), "POST");

    // Without an answer the address stays as it was.
    TNembraConnection other;
    other.SetServerURL(front.ServerURL());
    other.SetWorkServerURL("http://127.0.0.1:1/nowhere");
    other.UpdateWorkServerURL();
    EXPECT_EQ(other.WorkServerURL(), "http://127.0.0.1:1/nowhere");
}

TEST_F(NembraExchange, PlainGetOfADocument)
{
    TAppServerProcess front({"--work-server-url", "http://work/\r\n"});
    EXPECT_EQ(HttpGetString(front.ServerURL() + "/Nembra.GetWorkServerURL"), "http://work/\r\n")
        << "the text as it came, without envelope";
    EXPECT_EQ(ErrorOf([] { HttpGetString("http://127.0.0.1:1/version.txt"); }),
              "Unable to retrieve document by URL: http://127.0.0.1:1/version.txt");
    EXPECT_EQ(ErrorOf([] { HttpGetString("file:///etc/passwd"); }),
              "Unable to retrieve document by URL: file:///etc/passwd")
        << "only http and https";
}

TEST_F(NembraExchange, RawRepliesStayAsTheyCameAndJSONIsReadAsUTF8)
{
    auto c = Connect();
    const std::string bytes = "\xEF\xBB\xBF{\"Name\":\"caf\xE9\"}";
    TNembraRequest raw;
    raw.SetConnection(c.get());
    raw.SetProcedureName("Test.Text");
    raw.SetParam("TEXT", Variant(bytes));
    raw.Execute();
    EXPECT_EQ(raw.ResponseText(), bytes);

    auto json = Call(*c, "Test.Text", {"TEXT=" + bytes});
    EXPECT_EQ(json->GetJSONObject().GetValues("Name").GetAsString(), "caf\xC3\xA9");
    EXPECT_EQ(json->ResponseText(), bytes) << "the reply itself is untouched";

    EXPECT_EQ(ErrorOf<TNembraException>([&] { Call(*c, "Test.Text", {"TEXT=D\xE9j\xE0 vu"}); }),
              "D\xC3\xA9j\xC3\xA0 vu");
}

TEST_F(NembraExchange, AsynchronousCallsCompleteOnTheMainThread)
{
    auto c = Connect();
    std::atomic<int> requestEvents{0};
    std::atomic<bool> requestOnWorker{false};
    std::vector<std::string> completed;
    bool connectionOnMain = true;
    c->OnExecute = [&](TObject* sender, TNembraRequest* request) {
        EXPECT_EQ(sender, c.get());
        connectionOnMain = connectionOnMain && MainThread::IsMainThread();
        completed.push_back(request->GetJSONObject().GetValues("Params").GetAsArray().GetValue(0).GetAsArray()
                                .GetValue(1).GetAsString());
    };
    for (int i = 0; i < 3; ++i) {
        TNembraRequest* r = c->Execute("Test.Echo", "N=" + std::to_string(i), true, [&](TObject*) {
            ++requestEvents;
            requestOnWorker = !MainThread::IsMainThread();
        });
        EXPECT_EQ(r, nullptr);
    }
    // Execute makes stream requests: the connection's event reads the reply.
    ASSERT_TRUE(MainThread::WaitUntil([&] { return completed.size() == 3; }, 20000));
    EXPECT_TRUE(connectionOnMain);
    EXPECT_TRUE(requestOnWorker);
    EXPECT_EQ(requestEvents, 3);
    EXPECT_EQ(std::set<std::string>(completed.begin(), completed.end()), (std::set<std::string>{"0", "1", "2"}));
    c->WaitForWorkers();
    EXPECT_EQ(c->GetWorkersCount(), 0);
}

TEST_F(NembraExchange, AbortDuringUploadIsSilentAndLeavesTheConnectionUsable)
{
    auto c = Connect();
    auto r = c->GetNembraRequest();
    r->SetProcedureName("Test.Echo");
    r->SetParam("DATA", Variant(std::string(8 * 1024 * 1024, 'x')));
    int sendingNotices = 0;
    r->OnProgress = [&](TObject*) {
        if (r->State() == vrsSending && r->Progress() > 0 && ++sendingNotices == 1)
            r->AbortRequest();
    };
    bool failureEvent = false;
    c->OnRequestError = [&](TObject*, TNembraRequest*) { failureEvent = true; };
    EXPECT_THROW(r->Execute(), EAbort);
    EXPECT_FALSE(failureEvent);
    EXPECT_EQ(r->State(), vrsIdle);
    EXPECT_LT(r->Profiling().BytesSent, 8 * 1024 * 1024);
    c->OnRequestError = nullptr;
    EXPECT_EQ(Call(*c, "Test.Echo", {"A=1"})->GetJSONObject().GetValues("RAW_BODY").GetAsString(), "A=1");
}

TEST_F(NembraExchange, AbortDuringAProgressStream)
{
    auto c = Connect();
    auto r = c->GetNembraRequest();
    r->SetProcedureName("Test.Progress");
    r->SetParam("STEPS", Variant("10 a|20 b|30 c|40 d|50 e|60 f|70 g|80 h|90 i|100 j"));
    r->SetParam("DELAY_MS", Variant("300"));
    int last = 0;
    r->OnProgress = [&](TObject*) {
        if (r->State() == vrsProcessing) {
            last = r->Progress();
            if (last == 20)
                r->AbortRequest();
        }
    };
    EXPECT_THROW(r->Execute(), EAbort);
    EXPECT_EQ(last, 20) << "nothing was read after the abort";
    EXPECT_EQ(r->State(), vrsIdle);
}

TEST_F(NembraExchange, AbortFromAnotherThreadEndsAWaitForTheServer)
{
    auto c = Connect();
    std::atomic<bool> completed{false};
    c->OnExecute = [&](TObject*, TNembraRequest*) { completed = true; };
    auto r = c->GetNembraRequest();
    r->SetProcedureName("Test.Echo");
    r->SetParam("SLEEP_MS", Variant("4000"));
    r->SetAsync(true);
    r->Execute();
    ASSERT_TRUE(MainThread::WaitUntil([&] { return r->State() != vrsIdle; }, 5000));
    Sleep(200);
    r->AbortRequest();
    c->WaitForWorkers();
    EXPECT_FALSE(completed) << "the call ended by its abort, not by the reply";
    EXPECT_EQ(r->State(), vrsIdle);
}

TEST_F(NembraExchange, PoolKeepsOneConnectionForSequentialCalls)
{
    auto c = Connect();
    std::set<int> ports;
    for (int i = 0; i < 20; ++i)
        ports.insert(Call(*c, "Test.Echo")->GetJSONObject().GetValues("REMOTE_PORT").GetAsInteger());
    EXPECT_EQ(ports.size(), 1u) << "one TCP connection for all calls";
    EXPECT_EQ(c->TransportPoolCount(), 1);

    // Calls at the same time take transports of their own.
    std::atomic<int> done{0};
    c->OnExecute = [&](TObject*, TNembraRequest*) { ++done; };
    for (int i = 0; i < 3; ++i)
        c->Execute("Test.Echo", "SLEEP_MS=300", true);
    ASSERT_TRUE(MainThread::WaitUntil([&] { return done == 3; }, 20000));
    c->WaitForWorkers();
    EXPECT_EQ(c->TransportPoolCount(), 3);
}

TEST_F(NembraExchange, DestroyingAConnectionWaitsForItsWorkers)
{
    auto c = Connect();
    std::atomic<int> completions{0};
    c->OnExecute = [&](TObject*, TNembraRequest*) { ++completions; };
    c->Execute("Test.Echo", "SLEEP_MS=600", true);
    c->Execute("Test.Echo", "SLEEP_MS=300", true);
    EXPECT_EQ(c->GetWorkersCount(), 2);
    c.reset();
    EXPECT_EQ(completions, 0) << "a connection being destroyed runs no completion event";

    // A worker already waiting to hand its completion to the main thread.
    auto d = Connect();
    d->OnExecute = [&](TObject*, TNembraRequest*) { ++completions; };
    d->Execute("Test.Echo", "", true);
    // The main thread serves no hand-off here, so the worker ends up waiting.
    Sleep(1000);
    d.reset();
    EXPECT_EQ(completions, 0);
}

TEST_F(NembraExchange, WorkerErrorsAreLoggedButAbortsAreNot)
{
    TTempFolder folder;
    Log.SetFileName(folder / "client.log");
    Log.SetEnabled(true);
    auto c = Connect();
    auto failing = c->GetNembraRequest();
    failing->SetProcedureName("No.Such");
    failing->SetAsync(true);
    failing->Execute();
    auto aborted = c->GetNembraRequest();
    aborted->SetProcedureName("Test.Echo");
    aborted->SetParam("SLEEP_MS", Variant("2000"));
    aborted->SetAsync(true);
    aborted->OnProgress = [&](TObject*) { aborted->AbortRequest(); };
    aborted->Execute();
    c->WaitForWorkers();
    Log.SetEnabled(false);
    const std::string log = ReadText(folder / "client.log");
    EXPECT_NE(log.find("Unknown procedure: No.Such"), std::string::npos) << log;
    EXPECT_NE(log.find("TNembraWorkerThread"), std::string::npos) << log;
    EXPECT_EQ(log.find("Operation aborted"), std::string::npos) << "an abort is a normal end";
}
