// The connection and request objects on their own: settings, registry,
// addresses, parameters, listeners, the pool, error texts and the progress
// state machine, with recorded replies where an exchange is needed.
#include "Components/Nembra/NembraClient.h"
#include "Components/Nembra/NembraJSON.h"

#include "base/KldProgress.h"
#include "platform/DateUtils.h"

#include "support/ErrorOf.h"
#include "support/ScriptedTransport.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>


namespace {

struct TProgressRecord
{
    TNembraRequestState State;
    int Progress;
    std::string Message;
    bool operator==(const TProgressRecord&) const = default;
};

std::ostream& operator<<(std::ostream& os, const TProgressRecord& r)
{
    return os << NembraRequestStates[r.State] << " " << r.Progress << " \"" << r.Message << "\"";
}

std::vector<TProgressRecord> Only(const std::vector<TProgressRecord>& all, TNembraRequestState state)
{
    std::vector<TProgressRecord> out;
    for (const TProgressRecord& r : all)
        if (r.State == state)
            out.push_back(r);
    return out;
}

class TListener : public IMessageReceiver
{
  public:
    std::function<void(TMessage&)> OnMessage;
    std::vector<TMessage> Received;
    void WndProc(TMessage& message) override
    {
        Received.push_back(message);
        if (OnMessage)
            OnMessage(message);
    }
};

} // namespace

TEST(NembraClient, ExceptionTakesCodeAndMessageFromTheErrorText)
{
    struct Case
    {
        const char* Desc;
        std::string Text;
        int Code;
        std::string Message;
    };
    const Case cases[] = {
        {"code and message", "#2009 Same user is already logged in", 2009, "Same user is already logged in"},
        {"letters are no code", "#abc word", 1000, "word"},
        {"no blank after the code", "#2009", 1000, "#2009"},
        {"plain text", "Something failed", 1000, "Something failed"},
        {"empty", "", 1000, "Unknown error"},
        {"blanks trimmed", "#2012   Account locked  ", 2012, "Account locked"},
        {"code with blanks inside the marker", "# 77 x", 1000, "77 x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TNembraException e(c.Text);
        EXPECT_EQ(e.ErrorCode(), c.Code);
        EXPECT_EQ(e.Message(), c.Message);
    }
}

TEST(NembraClient, ProfilingText)
{
    TNembraProfiling p;
    p.Compression = 1;
    p.ServerProcessing = 2;
    p.Decompression = 3;
    p.JSONParsing = 4;
    p.Total = 5;
    p.Additional = 6;
    p.BytesSent = 7;
    p.BytesReceived = 8;
    EXPECT_EQ(ProfilingToString(p), "Compression: 1, Server Processing: 2, Decompression: 3, JSON Parsing: 4, "
                                    "Total: 5, Additional: 6\r\n  Bytes Sent: 7, Bytes Received: 8");
    ResetProfiling(p);
    EXPECT_EQ(ProfilingToString(p), "Compression: 0, Server Processing: 0, Decompression: 0, JSON Parsing: 0, "
                                    "Total: 0, Additional: 0\r\n  Bytes Sent: 0, Bytes Received: 0");
}

TEST(NembraClient, NewConnectionSettings)
{
    TNembraConnection c;
    EXPECT_FALSE(c.Active());
    EXPECT_EQ(c.Authentication(), qauthNone);
    EXPECT_EQ(c.Timeout(), 20);
    EXPECT_EQ(c.CheckOnlineDelaySec(), 30u);
    EXPECT_EQ(c.TransportTTLSec(), 600);
    EXPECT_FALSE(c.Compression());
    EXPECT_FALSE(c.AppendTimeStampToPost());
    EXPECT_EQ(c.SessionCookieName(), "WSID");
    EXPECT_EQ(c.DefaultFetchSize(), 50);
    EXPECT_EQ(c.GetSessionID(), "");
    EXPECT_FALSE(c.Online());

    NembraClientDebugMode = true;
    TNembraConnection debug;
    NembraClientDebugMode = false;
    EXPECT_EQ(debug.Timeout(), 60);
    EXPECT_EQ(NembraClientDebugSocketSleep, 1);

    TNembraRequest r;
    EXPECT_EQ(r.ResponseType(), qrtStream);
    EXPECT_EQ(r.GetHTTPMethod(), "POST");
    EXPECT_EQ(r.State(), vrsIdle);
    EXPECT_EQ(c.GetNembraRequest()->ResponseType(), qrtJSON);
}

TEST(NembraClient, RegistryFindsByNameWithoutCase)
{
    auto first = std::make_unique<TNembraConnection>();
    auto second = std::make_unique<TNembraConnection>();
    first->SetConnectionName("MAIN");
    second->SetConnectionName("main");
    EXPECT_EQ(TNembraConnection::FindConnectionByName("Main"), first.get());

    TStringList names;
    TNembraConnection::GetConnections(names);
    const int index = names.IndexOf("MAIN");
    ASSERT_GE(index, 0);
    EXPECT_EQ(names.Objects(index), first.get());

    TNembraRequest request;
    request.SetConnectionName("MAIN");
    EXPECT_EQ(&request.GetConnection(), first.get());
    request.SetConnectionName("main"); // same without case: stays bound
    EXPECT_EQ(request.Connection(), first.get());

    first->SetConnectionName("");
    EXPECT_EQ(TNembraConnection::FindConnectionByName("MAIN"), second.get());
    second->SetConnectionName("");
    TNembraRequest byName;
    byName.SetConnectionName("MAIN");
    EXPECT_EQ(ErrorOf([&] { byName.GetConnection(); }), "Connection not found: MAIN");
    EXPECT_EQ(ErrorOf([&] { TNembraConnection::GetConnectionByName("nope"); }), "Connection not found: nope");

    // A connection that goes unbinds its requests and leaves the registry.
    second->SetConnectionName("GONE");
    TNembraRequest bound;
    bound.SetConnection(second.get());
    second.reset();
    EXPECT_EQ(bound.Connection(), nullptr);
    EXPECT_EQ(TNembraConnection::FindConnectionByName("GONE"), nullptr);
}

TEST(NembraClient, ServerAndServiceAddresses)
{
    struct Case
    {
        const char* Desc;
        std::string Work, Host, Port, Server, Extension, Procedure, Expected;
    };
    const Case cases[] = {
        {"local default", "", "", "", "", "", "Nembra.Login", "http://127.0.0.1/Nembra.Login"},
        {"server URL", "", "", "", "http://h/bin/orvane.dll", "", "Nembra.Login",
         "http://h/bin/orvane.dll/Nembra.Login"},
        {"one trailing slash removed", "", "", "", " http://h/x// ", "", "P", "http://h/x//P"},
        {"host and port win over the server URL", "", " http://a ", "8080", "http://h", "", "P", "http://a:8080/P"},
        {"host without port", "", "http://a", "", "http://h", "", "P", "http://a/P"},
        {"work server wins over all", " http://w/ ", "http://a", "1", "http://h", "", "P", "http://w/P"},
        {"extension after the name", "", "", "", "http://h", ".dll", " P ", "http://h/P.dll"},
        {"empty name: the base alone", "", "", "", "http://h/", ".dll", "  ", "http://h"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TNembraConnection conn;
        conn.SetWorkServerURL(c.Work);
        conn.SetHost(c.Host);
        conn.SetPort(c.Port);
        conn.SetServerURL(c.Server);
        conn.SetExtension(c.Extension);
        EXPECT_EQ(conn.GetServiceURL(c.Procedure), c.Expected);
    }
}

TEST(NembraClient, ParametersAreTextAndEmptyRemoves)
{
    TNembraRequest r;
    r.SetParam("A", Variant(1));
    r.SetParam("B", Variant("x"));
    r.SetParam("C", Variant(true));
    EXPECT_EQ(r.Params().Text(), "A=1\r\nB=x\r\nC=True\r\n");
    EXPECT_EQ(VarToStr(r.GetParam("b")), "x");
    r.SetParam("B", Variant(""));
    r.SetParam("A", Variant::Null());
    EXPECT_EQ(r.Params().Text(), "C=True\r\n");
    EXPECT_EQ(VarToStr(r.GetParam("A")), "");
}

TEST(NembraClient, SecretKeyIsTwoFreshGuids)
{
    TNembraConnection c;
    EXPECT_EQ(c.SecretKey(), "");
    c.GenerateRandomSecretKey();
    const std::string first = c.SecretKey();
    EXPECT_EQ(first.size(), 64u);
    EXPECT_EQ(first.find_first_not_of("0123456789ABCDEF"), std::string::npos) << first;
    c.GenerateRandomSecretKey();
    EXPECT_NE(c.SecretKey(), first);
}

TEST(NembraClient, ActiveStateChecks)
{
    TScriptedConnection c; // no reply recorded: any server call would fail
    EXPECT_EQ(ErrorOf([&] { c.CheckActive(); }), "Unable to perform this operation on inactive connection");
    c.Open(); // qauthNone: no call
    EXPECT_TRUE(c.Active());
    EXPECT_TRUE(c.Script.Sent.empty());
    EXPECT_EQ(ErrorOf([&] { c.CheckInactive(); }), "Unable to perform this operation on an active connection");
    c.Close();
    EXPECT_FALSE(c.Active());
    EXPECT_TRUE(c.Script.Sent.empty()) << "no sign-out without authentication";
}

TEST(NembraClient, ListenersHearDisconnectLastFirstAndMayLeaveWhileTold)
{
    TNembraConnection c;
    TListener a, b, d;
    std::vector<std::string> order;
    a.OnMessage = [&](TMessage&) { order.push_back("a"); };
    d.OnMessage = [&](TMessage&) {
        order.push_back("d");
        c.RemoveListener(&d); // itself
        c.RemoveListener(&b); // and one not told yet
    };
    b.OnMessage = [&](TMessage&) { order.push_back("b"); };
    c.AddListener(&a);
    c.AddListener(&b);
    c.AddListener(&d);
    c.AddListener(&a); // no duplicates
    c.Open();
    c.Close();
    EXPECT_EQ(order, (std::vector<std::string>{"d", "a"}));
    ASSERT_EQ(a.Received.size(), 1u);
    EXPECT_EQ(a.Received[0].Msg, CN_CONNECTIONEVENT);
    EXPECT_EQ(a.Received[0].Msg, 48247u);
    EXPECT_EQ(a.Received[0].WParam, 1u);
    EXPECT_EQ(a.Received[0].LParam, reinterpret_cast<LPARAM>(&c));
    c.RemoveListener(&a);
}

// A derived connection signs out while its own part still exists: the
// sign-out of its destruction goes through its own (scripted) transport.
TEST(NembraClient, DerivedConnectionSignsOutBeforeItsOwnPartGoes)
{
    std::vector<std::string> signedOut;
    {
        TScriptedConnection c;
        c.SetAuthentication(qauthBasic);
        c.Script.Replies.push_back(JsonReply("{}", {"Set-Cookie: WSID=abc"}));
        c.Script.Replies.push_back(JsonReply("{}"));
        c.OnLogout = [&](TObject* sender) {
            signedOut.push_back(static_cast<TNembraRequest*>(sender)->ProcedureName());
        };
        c.Open();
        ASSERT_EQ(c.GetSessionID(), "abc");
    }
    EXPECT_EQ(signedOut, (std::vector<std::string>{"Nembra.Logout"}));
}

TEST(NembraClient, CopySessionSharesTheSignedInSession)
{
    TScriptedConnection source;
    source.SetServerURL("http://s");
    source.GenerateRandomSecretKey();
    source.Script.Replies.push_back(JsonReply("{}", {"Set-Cookie: WSID=abc"}));
    source.Open();
    source.Execute("Any", "", false);
    ASSERT_EQ(source.GetSessionID(), "abc");

    TScriptedConnection copy;
    copy.SetAuthentication(qauthBasic);
    copy.CopySession(source);
    EXPECT_TRUE(copy.Active());
    EXPECT_EQ(copy.Authentication(), qauthNone);
    EXPECT_EQ(copy.GetSessionID(), "abc");
    EXPECT_EQ(copy.SecretKey(), source.SecretKey());
    EXPECT_EQ(copy.ServerURL(), "http://s");
    EXPECT_TRUE(copy.Script.Sent.empty());

    TScriptedConnection own;
    own.SetServerURL("http://own");
    source.Close();
    own.CopySession(source);
    EXPECT_FALSE(own.Active()) << "an inactive source leaves it inactive";
    EXPECT_EQ(own.ServerURL(), "http://own");
}

TEST(NembraClient, ProgressStreamChunksBecomeProcessingNotices)
{
    struct Case
    {
        const char* Desc;
        std::vector<std::string> Chunks;
        std::vector<TProgressRecord> Processing;
    };
    const std::string result = "{\"handle\":\"H 1&2\"}";
    const Case cases[] = {
        {"10, 55 and 100, then the handle",
         {"10 Loading", "55 Half way", "100 Done", result},
         {{vrsProcessing, 0, ""}, {vrsProcessing, 10, "Loading"}, {vrsProcessing, 55, "Half way"},
          {vrsProcessing, 100, "Done"}}},
        {"the handle alone after 55, no 100 before it",
         {"10 a", "55 b", result},
         {{vrsProcessing, 0, ""}, {vrsProcessing, 10, "a"}, {vrsProcessing, 55, "b"}, {vrsProcessing, 100, "b"}}},
        {"blanks only report 0, above 100 reports 100",
         {"   ", "120 Over", result},
         {{vrsProcessing, 0, ""}, {vrsProcessing, 100, "Over"}}},
        {"below 0 reports 0, words are 0, message trimmed",
         {"-5 neg", "abc def", "7    spaced   ", result},
         {{vrsProcessing, 0, ""}, {vrsProcessing, 0, "neg"}, {vrsProcessing, 0, "def"}, {vrsProcessing, 7, "spaced"},
          {vrsProcessing, 100, "spaced"}}},
        {"a leading blank makes it all the percentage",
         {" 30 x", "40", result},
         {{vrsProcessing, 0, ""}, {vrsProcessing, 40, ""}, {vrsProcessing, 100, ""}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        for (size_t piece : {size_t(0), size_t(1), size_t(3)}) {
            SCOPED_TRACE(piece);
            TScriptedConnection conn;
            conn.Script.PieceSize = piece;
            conn.Script.Replies.push_back(
                HttpReply(200, {"X-NEMBRA-PROGRESS: yes", "Transfer-Encoding: chunked"}, Chunked(c.Chunks)));
            conn.Script.Replies.push_back(JsonReply("{\"Result\":42}"));
            auto r = conn.GetNembraRequest();
            r->SetProcedureName("Long.Run");
            r->SetParam("X", Variant("1"));
            std::vector<TProgressRecord> notices;
            r->OnProgress = [&](TObject*) { notices.push_back({r->State(), r->Progress(), r->ProgressMessage()}); };
            r->Execute();
            // A stream that ends below 100 is shown complete as the reply arrives.
            EXPECT_EQ(Only(notices, vrsProcessing), c.Processing);
            EXPECT_EQ(r->GetJSONObject().GetValues("Result").GetAsInteger(), 42);
            ASSERT_EQ(conn.Script.Sent.size(), 2u);
            EXPECT_EQ(conn.Script.Sent[1].Body, "ResponseHandle=H+1%262") << "the handle alone, encoded";
            EXPECT_EQ(conn.Script.Sent[1].URL, conn.Script.Sent[0].URL);
            EXPECT_EQ(r->State(), vrsIdle);
        }
    }
}

TEST(NembraClient, ProgressStreamWithoutHandleFails)
{
    TScriptedConnection conn;
    conn.Script.Replies.push_back(
        HttpReply(200, {"X-NEMBRA-PROGRESS: YES", "Transfer-Encoding: chunked"}, Chunked({"50 x", "{\"a\":1}"})));
    auto r = conn.GetNembraRequest();
    r->SetProcedureName("Long.Run");
    EXPECT_EQ(ErrorOf([&] { r->Execute(); }), "Error executing procedure: Long.Run\r\nEmpty response handle.");
    EXPECT_EQ(conn.Script.Sent.size(), 1u);

    // The stream's own error envelope is the call's error.
    conn.Script.Replies.push_back(HttpReply(200, {"X-NEMBRA-PROGRESS: YES", "Transfer-Encoding: chunked"},
                                            Chunked({"50 x", "{\"Error\":\"#1234 Failed half way\"}"})));
    EXPECT_EQ(ErrorOf<TNembraException>([&] { r->Execute(); }), "Failed half way");

    // The second exchange failing names the address.
    conn.Script.Replies.push_back(HttpReply(200, {"X-NEMBRA-PROGRESS: YES", "Transfer-Encoding: chunked"},
                                            Chunked({"{\"handle\":\"h\"}"})));
    EXPECT_EQ(ErrorOf([&] { r->Execute(); }), "Error executing procedure: http://127.0.0.1/Long.Run");
}

TEST(NembraClient, StatesAndPhasesAreReportedOnce)
{
    TScriptedConnection conn;
    conn.Script.Replies.push_back(JsonReply("{\"a\":1}"));
    auto r = conn.GetNembraRequest();
    r->SetProcedureName("P");
    r->SetParam("A", Variant(std::string(10000, 'x')));
    std::vector<TProgressRecord> notices;
    r->OnProgress = [&](TObject*) { notices.push_back({r->State(), r->Progress(), r->ProgressMessage()}); };
    r->Execute();
    ASSERT_FALSE(notices.empty());
    EXPECT_EQ(notices.front(), (TProgressRecord{vrsSending, 0, ""}));
    EXPECT_EQ(notices.back(), (TProgressRecord{vrsReceiving, 100, ""}));
    for (size_t i = 1; i < notices.size(); ++i)
        EXPECT_FALSE(notices[i] == notices[i - 1]) << "repeated notice " << notices[i];
    const auto sending = Only(notices, vrsSending);
    EXPECT_EQ(sending.back().Progress, 100) << "the sending phase ends complete";
    EXPECT_EQ(r->Profiling().BytesSent, static_cast<int32_t>(conn.Script.Sent[0].Body.size()));
    EXPECT_EQ(r->Profiling().BytesReceived, 7);
}

TEST(NembraClient, DebugModeSendsInSmallBlocks)
{
    NembraClientDebugMode = true;
    NembraClientDebugSocketSleep = 0;
    TScriptedConnection conn;
    NembraClientDebugMode = false;
    conn.Script.Replies.push_back(JsonReply("{}"));
    NembraClientDebugMode = true;
    auto r = conn.GetNembraRequest();
    r->SetProcedureName("P");
    r->SetParam("A", Variant(std::string(5000, 'x')));
    r->Execute();
    NembraClientDebugMode = false;
    NembraClientDebugSocketSleep = 1;
    std::vector<std::string> writes;
    for (const std::string& e : conn.Script.Events)
        if (e[0] == 'W')
            writes.push_back(e);
    EXPECT_EQ(writes, (std::vector<std::string>{"W:2048", "W:2048", "W:906"}));
    EXPECT_EQ(conn.Timeout(), 60);
}

TEST(NembraClient, HeaderValueIgnoresTheCaseOfNames)
{
    TScriptedConnection conn;
    conn.Script.Replies.push_back(JsonReply("{}", {"X-Custom:  value one ", "Content-Type: application/json"}));
    auto r = conn.GetNembraRequest();
    r->SetProcedureName("P");
    r->Execute();
    EXPECT_EQ(r->GetHeaderValue("x-custom"), "value one");
    EXPECT_EQ(r->GetHeaderValue("X-Custom"), "value one");
    EXPECT_EQ(r->GetHeaderValue("X-Cust"), "");
    EXPECT_EQ(r->GetHeaderValue("Missing"), "");
}

TEST(NembraClient, ReplyCanBeSavedOrTakenOver)
{
    TTempFolder folder;
    TScriptedConnection conn;
    const std::string raw = std::string("\xEF\xBB\xBFraw \xE9 bytes\0end", 18);
    conn.Script.Replies.push_back(JsonReply(raw));
    TNembraRequest r;
    r.SetConnection(&conn);
    r.SetProcedureName("File");
    r.Execute(); // a stream request: no envelope check
    r.SaveResponseToFile(folder / "reply.bin");
    EXPECT_EQ(ReadText(folder / "reply.bin"), raw) << "byte for byte";
    std::unique_ptr<TStream> taken = r.ExtractResponse();
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->Size(), 18);
    EXPECT_EQ(r.Response(), nullptr);
    r.Clear();
    EXPECT_EQ(r.Params().Count(), 0);
}

TEST(NembraClient, PoolDropsTransportsIdleLongerThanTheirLifetime)
{
    TScriptedConnection conn;
    std::unique_ptr<TNembraTransport> a = conn.GetTransport();
    std::unique_ptr<TNembraTransport> b = conn.GetTransport();
    std::unique_ptr<TNembraTransport> c = conn.GetTransport();
    TNembraTransport* rawA = a.get();
    TNembraTransport* rawB = b.get();
    TNembraTransport* rawC = c.get();
    conn.ReleaseTransport(std::move(a));
    conn.ReleaseTransport(std::move(b));
    EXPECT_EQ(conn.TransportPoolCount(), 2);
    // 700 s without calls.
    rawA->SetLastUsed(Now() - 700.0 / SecsPerDay);
    rawB->SetLastUsed(Now() - 700.0 / SecsPerDay);
    conn.ReleaseTransport(std::move(c));
    ASSERT_EQ(conn.TransportPoolCount(), 1) << "only the one just released stays";
    std::unique_ptr<TNembraTransport> next = conn.GetTransport();
    EXPECT_EQ(next.get(), rawC);

    // Within the lifetime nothing goes; the oldest is taken first.
    std::unique_ptr<TNembraTransport> d = conn.GetTransport();
    TNembraTransport* rawD = d.get();
    conn.ReleaseTransport(std::move(d));
    conn.ReleaseTransport(std::move(next));
    rawD->SetLastUsed(Now() - 500.0 / SecsPerDay);
    EXPECT_EQ(conn.TransportPoolCount(), 2);
    std::unique_ptr<TNembraTransport> oldest = conn.GetTransport();
    EXPECT_EQ(oldest.get(), rawD);
    conn.ReleaseTransport(std::move(oldest));
    conn.ClearTransportPool();
    EXPECT_EQ(conn.TransportPoolCount(), 0);
}

TEST(NembraClient, CookiesTravelWithTransports)
{
    TScriptedConnection conn;
    conn.Script.Replies.push_back(JsonReply("{}", {"Set-Cookie: WSID=s1", "Set-Cookie: Other=o"}));
    conn.Script.Replies.push_back(JsonReply("{}"));
    conn.Execute("One", "", false);
    EXPECT_EQ(conn.GetSessionID(), "s1");
    conn.Execute("Two", "", false);
    EXPECT_EQ(conn.Script.Sent.at(1).Cookies, (std::vector<std::string>{"WSID=s1", "Other=o"}));
    TStringList cookies;
    conn.GetCookies(cookies);
    EXPECT_EQ(cookies.Text(), "WSID=s1\r\nOther=o\r\n");
}

TEST(NembraClient, ProgressReceiverAbortDuringSendingIsSilent)
{
    TScriptedConnection conn;
    conn.Script.Replies.push_back(JsonReply("{}"));
    bool failureEvent = false;
    conn.OnRequestError = [&](TObject*, TNembraRequest*) { failureEvent = true; };
    TKldProgressMonitor monitor;
    int notices = 0;
    monitor.OnProgress = [&](TObject*, const std::string& proc, int32_t, const std::string&, bool& abort) {
        ++notices;
        abort = proc == "Upload[Sending]";
    };
    monitor.SetActive(true);
    auto r = conn.GetNembraRequest();
    r->SetProcedureName("Upload");
    r->SetParam("DATA", Variant(std::string(100000, 'x')));
    EXPECT_THROW(r->Execute(), EAbort);
    monitor.SetActive(false);
    EXPECT_GT(notices, 0);
    EXPECT_FALSE(failureEvent) << "an abort is no connection failure";
    EXPECT_EQ(r->State(), vrsIdle);
    EXPECT_LT(conn.Script.Sent.at(0).Body.size(), 100000u) << "the upload stopped";
}
