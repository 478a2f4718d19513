#pragma once
// `TNembraConnection`: a named, long-lived link to the application server.
// Part of the unit NembraClient; include "Components/Nembra/NembraClient.h".
//
// A connection knows the server's address, signs in and out, keeps the
// session cookie "WSID" and a per-connection secret key, owns a pool of HTTP
// transports and the worker threads of asynchronous calls, and tells its
// listeners when it disconnects (message CN_CONNECTIONEVENT, 48247, wParam 1).
//
// Threads:
// - The main thread owns a connection: its settings, the registry
//   `NembraConnections` and the listeners. Connections are never static
//   objects (the registry must outlive them).
// - Calls run on the calling thread or, when asynchronous, on a worker thread
//   of their own that the connection lists and that frees itself; several may
//   run at once, each with its own pooled transport. The transport pool (with
//   the cookies) and the worker list have locks of their own.
// - Online, SessionTerminated, Active and LastExchangeTick are written by the
//   threads that run calls and read by the main thread: they are atomic.
// - OnExecute of the connection runs on the main thread (handed over from a
//   worker, which waits for it); a request's own OnExecute and OnProgress run
//   on the thread that performs the exchange.
// - Destroying a connection signs out, waits for its workers (serving their
//   hand-offs to the main thread meanwhile, so a worker that waits to deliver
//   its completion cannot hang it; the completion event is not run any more),
//   then frees its transports. Requests still bound to it are unbound.
// - C++ runs a derived destructor before ~TNembraConnection, while workers
//   may still be inside the derived overrides. A derived class that overrides
//   what a call runs (the exchange, its transports, progress, addresses)
//   calls BeforeDestruction() first in its own destructor.

#include "Components/Nembra/NembraRequest.h"
#include "Components/Nembra/NembraTransport.h"

#include "platform/Component.h"
#include "platform/Messages.h"
#include "platform/StringList.h"
#include "platform/SyncObjs.h"
#include "platform/Threads.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TNembraWorkerThread;

enum TNembraAuthentication
{
    qauthNone,  // no server call to sign in or out
    qauthBasic  // Connect and Disconnect call Nembra.Login and Nembra.Logout
};

using TNembraExecuteEvent = std::function<void(TObject* Sender, TNembraRequest* Request)>;
// Answers the Referer header for the request given as Sender.
using TNembraGetRefererEvent = std::function<std::string(TObject* Sender)>;

// The address used when neither a work-server address, a host nor a server
// URL is set: a server on this machine, plain HTTP on the default port.
inline constexpr const char* NembraDefaultServerURL = "http://127.0.0.1";

class TNembraConnection : public TComponent
{
  public:
    explicit TNembraConnection(TComponent* AOwner = nullptr);
    ~TNembraConnection() override;
    std::string ClassName() const override { return "TNembraConnection"; }

    // --- Stored settings
    bool Active() const { return m_active.load(); }
    // Nothing when unchanged; True runs Connect, False runs Disconnect.
    void SetActive(bool Value);
    void Open() { SetActive(true); }
    void Close() { SetActive(false); }
    // Sent with the sign-in call.
    TStrings& Params() { return m_params; }
    TNembraAuthentication Authentication() const { return m_authentication; }
    void SetAuthentication(TNembraAuthentication Value) { m_authentication = Value; }
    const std::string& ServerURL() const { return m_serverURL; }
    void SetServerURL(const std::string& Value) { m_serverURL = Value; }
    // The name in the registry NembraConnections.
    const std::string& ConnectionName() const { return m_connectionName; }
    void SetConnectionName(const std::string& Value);
    // Appended after the procedure name in every call address.
    const std::string& Extension() const { return m_extension; }
    void SetExtension(const std::string& Value) { m_extension = Value; }
    // Ask for gzip replies.
    bool Compression() const { return m_compression; }
    void SetCompression(bool Value) { m_compression = Value; }
    // Seconds a transport waits for the server (0 or less: 90 s); 20 by
    // default, 60 in debug mode.
    int Timeout() const { return m_timeout; }
    void SetTimeout(int Value) { m_timeout = Value; }
    bool ShowWaitCursor() const { return m_showWaitCursor; }
    void SetShowWaitCursor(bool Value) { m_showWaitCursor = Value; }
    // How long a completed exchange counts as proof of being online.
    uint32_t CheckOnlineDelaySec() const { return m_checkOnlineDelaySec; }
    void SetCheckOnlineDelaySec(uint32_t Value) { m_checkOnlineDelaySec = Value; }
    // Idle lifetime of a pooled transport.
    int TransportTTLSec() const { return m_transportTTLSec; }
    void SetTransportTTLSec(int Value) { m_transportTTLSec = Value; }
    bool AppendTimeStampToPost() const { return m_appendTimeStampToPost; }
    void SetAppendTimeStampToPost(bool Value) { m_appendTimeStampToPost = Value; }
    // The time-stamp parameter's name; '' means "_qts".
    const std::string& TimeStampParamName() const { return m_timeStampParamName; }
    void SetTimeStampParamName(const std::string& Value) { m_timeStampParamName = Value; }
    // Stored with forms; nothing reads them.
    std::string ProxyHost, ProxyPort, ClientAgent;
    bool ConnectThroughProxy = false;
    bool AutoReconnect = false;
    int ReconnectLimit = 0;

    // Run with the finished sign-in or sign-out request as sender.
    TNotifyEvent OnLogin;
    TNotifyEvent OnLogout;
    // After every completed call, on the main thread.
    TNembraExecuteEvent OnExecute;
    // Supplies a Referer header.
    TNembraGetRefererEvent OnGetReferer;
    // Replaces the connection-failure error; the call then ends silently.
    TNembraExecuteEvent OnRequestError;

    // --- Run-time state
    bool Online() const { return m_online.load(); }
    bool SessionTerminated() const { return m_sessionTerminated.load(); }
    // The tick count (ms) of the last completed exchange or failed keep-alive.
    uint64_t LastExchangeTick() const { return m_lastExchangeTick.load(); }
    const std::string& WorkServerURL() const { return m_workServerURL; }
    void SetWorkServerURL(const std::string& Value) { m_workServerURL = Value; }
    const std::string& Host() const { return m_host; }
    void SetHost(const std::string& Value) { m_host = Value; }
    const std::string& Port() const { return m_port; }
    void SetPort(const std::string& Value) { m_port = Value; }
    // 64 upper-case hexadecimal digits, made at run time, never stored.
    const std::string& SecretKey() const { return m_secretKey; }
    void SetSecretKey(const std::string& Value) { m_secretKey = Value; }
    const std::string& SessionCookieName() const { return m_sessionCookieName; }
    // A copy of the session's cookies (name=value lines) into List.
    void GetCookies(TStrings& List) const;
    // The value of the session cookie ('' before sign-in).
    std::string GetSessionID() const;
    int DefaultFetchSize() const { return 50; }

    // --- Operations
    // Removes the session cookie, signs in, becomes active.
    virtual void Connect();
    // Signs out (errors ignored), frees the pooled transports, becomes
    // inactive and tells the listeners (code 1).
    virtual void Disconnect();
    virtual void Login();
    virtual void Logout();
    // A new request bound to this connection, for JSON replies.
    virtual std::unique_ptr<TNembraRequest> GetNembraRequest();
    // Runs the call: on a worker thread when the request is asynchronous,
    // otherwise here; errors reach the caller of a synchronous call.
    virtual void ExecuteRequest(TNembraRequest& Request);
    // The exchange itself (see NembraExchange.cpp).
    virtual void InternalExecuteRequest(TNembraRequest& Request);
    // Reports a request's progress to the progress service; a receiver that
    // asks to abort aborts the request.
    virtual void DoProgress(TNembraRequest& Request);
    void DoExecute(TNembraRequest& Request);
    // Keep-alive: answers whether the server is reachable.
    bool CheckOnline(bool Force);
    void GetObjectNames(const std::string& ObjectName, const std::string& ObjectType, TStrings& List);
    void GetPluginNames(TStrings& List) { GetObjectNames("", "plugin", List); }
    // Asks the server for its work-server address; errors are ignored.
    virtual void UpdateWorkServerURL();
    void GenerateRandomSecretKey();
    // A call owned by the connection; see the .cpp for who frees it. Answers
    // the request (a synchronous one may be read after it returns).
    TNembraRequest* Execute(const std::string& ProcedureName, const std::string& ParamsText, bool Async,
                            TNotifyEvent OnExecute = {}, const std::string& HTTPMethod = "");
    // Shares Source's signed-in session without a server call.
    void CopySession(TNembraConnection& Source);

    // --- Listeners (main thread)
    void AddListener(IMessageReceiver* Obj);
    void RemoveListener(IMessageReceiver* Obj);
    // Sends CN_CONNECTIONEVENT with wParam Code and lParam this connection to
    // every listener, last first. A listener may remove itself (or another)
    // while it is told; a removed one is not told any more.
    void NotifyListeners(int Code);

    void CheckActive() const;
    void CheckInactive() const;
    void WaitCursor(bool On);

    // --- Addresses and headers
    virtual std::string GetServerURL() const;
    virtual std::string GetServiceURL(const std::string& ProcedureName) const;
    virtual void SetupRequestHeaders(TNembraRequest& Request, TStrings& Headers);

    // --- Transport pool
    // The oldest idle transport, or a new one; the connection's cookies go with it.
    virtual std::unique_ptr<TNembraTransport> GetTransport();
    // Back to the pool with its cookies; idle ones older than the lifetime
    // are freed (never the one just returned).
    void ReleaseTransport(std::unique_ptr<TNembraTransport> T);
    void ClearTransportPool();
    int TransportPoolCount() const;

    // --- Workers
    int GetWorkersCount() const;
    // Waits, in steps of 500 ms, until no worker runs.
    void WaitForWorkers();

    // --- Registry
    // The first registered connection of that name (without regard to case), or null.
    static TNembraConnection* FindConnectionByName(const std::string& Name);
    // The same; raises "Connection not found: %s" when there is none.
    static TNembraConnection& GetConnectionByName(const std::string& Name);
    // Clears List, then adds each registered connection's name with the connection.
    static void GetConnections(TStrings& List);

  protected:
    virtual std::unique_ptr<TNembraTransport> CreateTransport();
    bool IsDestroying() const { return m_destroying.load(); }
    // The first part of destruction: leaves the registry, signs out, tells
    // the listeners and waits for the workers, with the completion events
    // and progress reports off. ~TNembraConnection calls it when a derived
    // destructor has not.
    void BeforeDestruction();

  private:
    friend class TNembraRequest;
    friend class TNembraWorkerThread;

    // The steps of the exchange (NembraExchange.cpp).
    void PrepareTransport(TNembraTransport& T, TNembraRequest& Request);
    void SendRequest(TNembraTransport& T, TNembraRequest& Request, const std::string& URL,
                     const std::string& Body);
    void DecodeReply(TNembraTransport& T, TNembraRequest& Request);
    void FetchProgressResult(TNembraTransport& T, TNembraRequest& Request, const std::string& URL);
    void RecordExchange();
    std::string BuildRequestBody(const TNembraRequest& Request) const;

    void SetSessionCookie(const std::string& Value);
    void BindRequest(TNembraRequest* Request);
    void UnbindRequest(TNembraRequest* Request);
    void AddWorker(TNembraWorkerThread* Worker);
    void WorkerEnded(TNembraWorkerThread* Worker);
    void DestroyOwnedRequest(TNembraRequest* Request);

    std::atomic<bool> m_active{false};
    TStringList m_params;
    TNembraAuthentication m_authentication = qauthNone;
    std::string m_serverURL;
    std::string m_connectionName;
    std::string m_extension;
    bool m_compression = false;
    int m_timeout;
    bool m_showWaitCursor = false;
    uint32_t m_checkOnlineDelaySec = 30;
    int m_transportTTLSec = 600;
    bool m_appendTimeStampToPost = false;
    std::string m_timeStampParamName;

    std::atomic<bool> m_online{false};
    std::atomic<bool> m_sessionTerminated{false};
    std::atomic<uint64_t> m_lastExchangeTick{0};
    std::atomic<bool> m_destroying{false};
    std::string m_workServerURL;
    std::string m_host;
    std::string m_port;
    std::string m_secretKey;
    const std::string m_sessionCookieName = "WSID";

    // The pool and the session's cookies, under one lock.
    mutable TCriticalSection m_poolLock;
    std::deque<std::unique_ptr<TNembraTransport>> m_transportPool; // oldest first
    TStringList m_cookies;
    TStringList m_cookieHosts; // name=host that set it (see TNembraTransport::CookieHosts)

    // Running workers; each sets the event when it ends.
    mutable TThreadList<TNembraWorkerThread*> m_workers;
    TEvent m_workersEvent{true, false};

    // Requests made by Execute, and requests bound to this connection.
    mutable TCriticalSection m_requestsLock;
    std::vector<std::unique_ptr<TNembraRequest>> m_ownedRequests;
    std::vector<TNembraRequest*> m_boundRequests;

    std::vector<IMessageReceiver*> m_listeners;
};

// The registry of named connections, used on the main thread only.
class TNembraConnectionList
{
  public:
    int Count() const { return static_cast<int>(m_items.size()); }
    TNembraConnection* Items(int Index) const { return m_items.at(static_cast<size_t>(Index)); }
    int IndexOf(const TNembraConnection* Connection) const;
    void Add(TNembraConnection* Connection);
    void Remove(TNembraConnection* Connection);

  private:
    std::vector<TNembraConnection*> m_items;
};

extern TNembraConnectionList& NembraConnections;

// A worker thread that runs one request of one connection and frees itself.
class TNembraWorkerThread : public TThread
{
  public:
    TNembraWorkerThread(TNembraConnection& Connection, TNembraRequest& Request);
    ~TNembraWorkerThread() override;

  protected:
    void Execute() override;

  private:
    TNembraConnection& m_connection;
    TNembraRequest* m_request;
    bool m_ran = false;
};
