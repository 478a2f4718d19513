#include "Components/Nembra/NembraConnection.h"

#include "Components/Nembra/NembraDebugMode.h"
#include "Components/Nembra/NembraJSON.h"
#include "Components/Nembra/NembraLib.h"

#include "base/KldLogFile.h"
#include "base/KldProgress.h"
#include "platform/DateUtils.h"

#include <algorithm>
#include <utility>

// The registry outlives every connection: it is made on first use of this
// unit and never freed (it holds only borrowed pointers).
TNembraConnectionList& NembraConnections = *new TNembraConnectionList;

int TNembraConnectionList::IndexOf(const TNembraConnection* Connection) const
{
    const auto it = std::find(m_items.begin(), m_items.end(), Connection);
    return it == m_items.end() ? -1 : static_cast<int>(it - m_items.begin());
}

void TNembraConnectionList::Add(TNembraConnection* Connection)
{
    if (IndexOf(Connection) < 0)
        m_items.push_back(Connection);
}

void TNembraConnectionList::Remove(TNembraConnection* Connection)
{
    const int index = IndexOf(Connection);
    if (index >= 0)
        m_items.erase(m_items.begin() + index);
}

TNembraConnection* TNembraConnection::FindConnectionByName(const std::string& Name)
{
    for (int i = 0; i < NembraConnections.Count(); ++i)
        if (SameText(NembraConnections.Items(i)->ConnectionName(), Name))
            return NembraConnections.Items(i);
    return nullptr;
}

TNembraConnection& TNembraConnection::GetConnectionByName(const std::string& Name)
{
    TNembraConnection* connection = FindConnectionByName(Name);
    if (!connection)
        throw Exception(Format("Connection not found: %s", Name));
    return *connection;
}

void TNembraConnection::GetConnections(TStrings& List)
{
    List.Clear();
    for (int i = 0; i < NembraConnections.Count(); ++i)
        List.AddObject(NembraConnections.Items(i)->ConnectionName(), NembraConnections.Items(i));
}

// ---------------------------------------------------------------------------
// Life cycle

TNembraConnection::TNembraConnection(TComponent* AOwner)
    : TComponent(AOwner), m_timeout(NembraClientDebugMode ? 60 : 20)
{
}

TNembraConnection::~TNembraConnection()
{
    BeforeDestruction();
    ClearTransportPool();

    std::vector<std::unique_ptr<TNembraRequest>> owned;
    std::vector<TNembraRequest*> bound;
    {
        TCriticalSectionGuard guard(m_requestsLock);
        owned.swap(m_ownedRequests);
        bound.swap(m_boundRequests);
    }
    for (TNembraRequest* request : bound)
        request->m_connection = nullptr;
    for (auto& request : owned)
        request->m_connection = nullptr;
    owned.clear();
}

void TNembraConnection::BeforeDestruction()
{
    if (m_destroying.exchange(true))
        return;
    NembraConnections.Remove(this);
    try {
        SetActive(false);
    } catch (...) {
        // A listener's error must not stop the connection from going.
    }
    m_listeners.clear();
    WaitForWorkers();
}

void TNembraConnection::SetConnectionName(const std::string& Value)
{
    if (Value == m_connectionName)
        return;
    if (!m_connectionName.empty())
        NembraConnections.Remove(this);
    m_connectionName = Value;
    if (!m_connectionName.empty())
        NembraConnections.Add(this);
}

void TNembraConnection::SetActive(bool Value)
{
    if (Value == Active())
        return;
    if (Value)
        Connect();
    else
        Disconnect();
}

// ---------------------------------------------------------------------------
// Signing in and out

void TNembraConnection::Connect()
{
    SetSessionCookie("");
    Login();
    m_active = true;
    m_sessionTerminated = false;
}

void TNembraConnection::Disconnect()
{
    try {
        Logout();
    } catch (...) {
        // Signing out is a courtesy to the server; the connection goes anyway.
    }
    ClearTransportPool();
    m_active = false;
    m_online = false;
    NotifyListeners(1);
}

void TNembraConnection::Login()
{
    if (m_authentication != qauthBasic)
        return;
    std::unique_ptr<TNembraRequest> request = GetNembraRequest();
    request->SetProcedureName("Nembra.Login");
    request->Params().Assign(m_params);
    if (!m_secretKey.empty())
        request->SetParam("SECRET_KEY", m_secretKey);
    request->OnExecute = OnLogin;
    ExecuteRequest(*request);
    m_active = true;
}

void TNembraConnection::Logout()
{
    if (m_authentication != qauthBasic)
        return;
    std::unique_ptr<TNembraRequest> request = GetNembraRequest();
    request->SetProcedureName("Nembra.Logout");
    request->OnExecute = OnLogout;
    ExecuteRequest(*request);
    m_active = false;
}

void TNembraConnection::CopySession(TNembraConnection& Source)
{
    if (&Source == this)
        return;
    m_secretKey = Source.m_secretKey;
    TStringList cookies;
    TStringList hosts;
    {
        TCriticalSectionGuard guard(Source.m_poolLock);
        cookies.Assign(Source.m_cookies);
        hosts.Assign(Source.m_cookieHosts);
    }
    {
        TCriticalSectionGuard guard(m_poolLock);
        m_cookies.Assign(cookies);
        m_cookieHosts.Assign(hosts);
    }
    if (m_serverURL.empty())
        m_serverURL = Source.m_serverURL;
    m_authentication = qauthNone;
    m_sessionTerminated = false;
    // Active without Connect, which would drop the session cookie just taken.
    if (Source.Active())
        m_active = true;
}

void TNembraConnection::GenerateRandomSecretKey()
{
    m_secretKey = CreateGUIDString() + CreateGUIDString();
}

void TNembraConnection::GetCookies(TStrings& List) const
{
    TCriticalSectionGuard guard(m_poolLock);
    List.Assign(m_cookies);
}

std::string TNembraConnection::GetSessionID() const
{
    TCriticalSectionGuard guard(m_poolLock);
    return m_cookies.Values(m_sessionCookieName);
}

void TNembraConnection::SetSessionCookie(const std::string& Value)
{
    TCriticalSectionGuard guard(m_poolLock);
    m_cookies.SetValues(m_sessionCookieName, Value);
}

void TNembraConnection::CheckActive() const
{
    if (!Active())
        throw Exception("Unable to perform this operation on inactive connection");
}

void TNembraConnection::CheckInactive() const
{
    if (Active())
        throw Exception("Unable to perform this operation on an active connection");
}

void TNembraConnection::WaitCursor(bool On)
{
    if (m_showWaitCursor)
        ::WaitCursor(On);
}

// ---------------------------------------------------------------------------
// Calls

std::unique_ptr<TNembraRequest> TNembraConnection::GetNembraRequest()
{
    auto request = std::make_unique<TNembraRequest>();
    request->SetConnection(this);
    request->SetResponseType(qrtJSON);
    return request;
}

void TNembraConnection::ExecuteRequest(TNembraRequest& Request)
{
    if (!Request.Connection())
        Request.SetConnection(this);
    if (Request.Async()) {
        // Listed in Workers by its constructor, before it runs.
        auto* worker = new TNembraWorkerThread(*this, Request);
        worker->SetFreeOnTerminate(true);
        try {
            worker->Start();
        } catch (...) {
            delete worker;
            throw;
        }
        return;
    }
    const bool cursor = Request.ShowWaitCursor() && MainThread::IsMainThread();
    if (cursor)
        WaitCursor(true);
    try {
        InternalExecuteRequest(Request);
        Request.DoExecuteOnConnectionSync();
    } catch (...) {
        if (cursor)
            WaitCursor(false);
        throw;
    }
    if (cursor)
        WaitCursor(false);
}

void TNembraConnection::DoProgress(TNembraRequest& Request)
{
    if (m_destroying)
        return;
    static const char* const phases[5] = {"", "[Sending]", "[Processing]", "[Receiving]", ""};
    bool abort = false;
    Progress.Notify(&Request, Request.ProcedureName() + phases[Request.State()], Request.Progress(),
                    Request.ProgressMessage(), &abort);
    if (abort)
        Request.AbortRequest();
}

void TNembraConnection::DoExecute(TNembraRequest& Request)
{
    if (!m_destroying && OnExecute)
        OnExecute(this, &Request);
}

bool TNembraConnection::CheckOnline(bool Force)
{
    if (!Active()) {
        m_online = false;
        return false;
    }
    // Unsigned tick arithmetic, as the tick count of the system would wrap.
    const uint64_t since = GetTickCount64() - m_lastExchangeTick.load();
    if (!Force && since <= static_cast<uint64_t>(m_checkOnlineDelaySec) * 1000)
        return m_online;
    try {
        std::unique_ptr<TNembraRequest> request = GetNembraRequest();
        request->SetProcedureName("Nembra.KeepAlive");
        ExecuteRequest(*request);
    } catch (const std::exception& e) {
        Log.Error(e.what(), ClassName(), "Nembra.KeepAlive");
        m_lastExchangeTick = GetTickCount64();
        m_online = false;
    }
    return m_online;
}

void TNembraConnection::GetObjectNames(const std::string& ObjectName, const std::string& ObjectType, TStrings& List)
{
    CheckActive();
    std::unique_ptr<TNembraRequest> request = GetNembraRequest();
    request->SetProcedureName("Nembra.GetObjectNames");
    request->SetParam("ObjectName", Variant(ObjectName));
    request->SetParam("ObjectType", Variant(ObjectType));
    ExecuteRequest(*request);
    TJSONValue& data = request->GetJSONObject().GetValues("Data");
    // A reply without the array is no answer: an empty list would show a
    // database without tables.
    if (data.GetValueType() != jvtArray)
        throw Exception("The server's reply to Nembra.GetObjectNames holds no \"Data\" array");
    List.Clear();
    TJSONArray& names = data.GetAsArray();
    for (int i = 0; i < names.Count(); ++i)
        List.Add(names.GetValue(i).GetAsString());
}

void TNembraConnection::UpdateWorkServerURL()
{
    try {
        std::unique_ptr<TNembraRequest> request = GetNembraRequest();
        request->SetProcedureName("Nembra.GetWorkServerURL");
        request->SetResponseType(qrtStream);
        ExecuteRequest(*request);
        m_workServerURL = Trim(request->ResponseText());
    } catch (...) {
        // Without an answer the calls keep the address they have.
    }
}

TNembraRequest* TNembraConnection::Execute(const std::string& ProcedureName, const std::string& ParamsText,
                                           bool Async, TNotifyEvent OnExecuteEvent, const std::string& HTTPMethod)
{
    auto owned = std::make_unique<TNembraRequest>();
    TNembraRequest* request = owned.get();
    request->SetProcedureName(ProcedureName);
    request->Params().SetText(ParamsText);
    request->SetAsync(Async);
    request->OnExecute = std::move(OnExecuteEvent);
    request->SetHTTPMethod(HTTPMethod);
    request->SetDestroyAfterExecute(true);
    request->SetConnection(this);
    {
        TCriticalSectionGuard guard(m_requestsLock);
        m_ownedRequests.push_back(std::move(owned));
    }
    try {
        ExecuteRequest(*request);
    } catch (...) {
        DestroyOwnedRequest(request);
        throw;
    }
    // An asynchronous request belongs to its worker, which frees it when it
    // ends: the caller gets nothing to hold on to. A synchronous one stays
    // with the connection until the connection goes, so that the caller can
    // read its reply.
    return Async ? nullptr : request;
}

void TNembraConnection::DestroyOwnedRequest(TNembraRequest* Request)
{
    std::unique_ptr<TNembraRequest> doomed;
    {
        TCriticalSectionGuard guard(m_requestsLock);
        for (auto it = m_ownedRequests.begin(); it != m_ownedRequests.end(); ++it) {
            if (it->get() == Request) {
                doomed = std::move(*it);
                m_ownedRequests.erase(it);
                break;
            }
        }
    }
    if (!doomed)
        delete Request; // a request of the caller's that asked to be destroyed
}

void TNembraConnection::BindRequest(TNembraRequest* Request)
{
    TCriticalSectionGuard guard(m_requestsLock);
    m_boundRequests.push_back(Request);
}

void TNembraConnection::UnbindRequest(TNembraRequest* Request)
{
    TCriticalSectionGuard guard(m_requestsLock);
    const auto it = std::find(m_boundRequests.begin(), m_boundRequests.end(), Request);
    if (it != m_boundRequests.end())
        m_boundRequests.erase(it);
}

// ---------------------------------------------------------------------------
// Listeners

void TNembraConnection::AddListener(IMessageReceiver* Obj)
{
    if (Obj && std::find(m_listeners.begin(), m_listeners.end(), Obj) == m_listeners.end())
        m_listeners.push_back(Obj);
}

void TNembraConnection::RemoveListener(IMessageReceiver* Obj)
{
    const auto it = std::find(m_listeners.begin(), m_listeners.end(), Obj);
    if (it != m_listeners.end())
        m_listeners.erase(it);
}

void TNembraConnection::NotifyListeners(int Code)
{
    // A listener may remove itself or another one while it is told: walk a
    // copy and skip whoever is no longer listed.
    const std::vector<IMessageReceiver*> listeners = m_listeners;
    for (auto it = listeners.rbegin(); it != listeners.rend(); ++it) {
        if (std::find(m_listeners.begin(), m_listeners.end(), *it) == m_listeners.end())
            continue;
        TMessage message;
        message.Msg = CN_CONNECTIONEVENT;
        message.WParam = static_cast<WPARAM>(Code);
        message.LParam = reinterpret_cast<LPARAM>(this);
        (*it)->WndProc(message);
    }
}

// ---------------------------------------------------------------------------
// Addresses and headers

std::string TNembraConnection::GetServerURL() const
{
    std::string url = Trim(m_workServerURL);
    if (url.empty()) {
        url = Trim(m_host);
        if (!url.empty() && !m_port.empty())
            url += ":" + m_port;
    }
    if (url.empty())
        url = Trim(m_serverURL);
    if (url.empty())
        url = NembraDefaultServerURL;
    if (url.back() == '/')
        url.pop_back();
    return url;
}

std::string TNembraConnection::GetServiceURL(const std::string& ProcedureName) const
{
    const std::string name = Trim(ProcedureName);
    if (name.empty())
        return GetServerURL();
    return GetServerURL() + "/" + name + m_extension;
}

void TNembraConnection::SetupRequestHeaders(TNembraRequest& Request, TStrings& Headers)
{
    if (m_compression)
        Headers.Add("Accept-Encoding:gzip");
    if (OnGetReferer)
        Headers.Add("Referer:" + OnGetReferer(&Request));
}

// ---------------------------------------------------------------------------
// Transport pool

std::unique_ptr<TNembraTransport> TNembraConnection::CreateTransport()
{
    auto transport = std::make_unique<TNembraTransport>();
    transport->SetProtocol("1.1");
    if (m_timeout > 0)
        transport->SetTimeout(m_timeout * 1000);
    return transport;
}

std::unique_ptr<TNembraTransport> TNembraConnection::GetTransport()
{
    TCriticalSectionGuard guard(m_poolLock);
    std::unique_ptr<TNembraTransport> transport;
    if (m_transportPool.empty()) {
        transport = CreateTransport();
    } else {
        transport = std::move(m_transportPool.front());
        m_transportPool.pop_front();
    }
    transport->Cookies().Assign(m_cookies);
    transport->CookieHosts().Assign(m_cookieHosts);
    return transport;
}

void TNembraConnection::ReleaseTransport(std::unique_ptr<TNembraTransport> T)
{
    if (!T)
        return;
    std::vector<std::unique_ptr<TNembraTransport>> expired;
    {
        TCriticalSectionGuard guard(m_poolLock);
        const TDateTime now = Now();
        T->SetLastUsed(now);
        m_cookies.Assign(T->Cookies());
        m_cookieHosts.Assign(T->CookieHosts());
        m_transportPool.push_back(std::move(T));
        const TDateTime oldest = now - static_cast<double>(m_transportTTLSec) / SecsPerDay;
        while (m_transportPool.size() > 1 && m_transportPool.front()->LastUsed() < oldest) {
            expired.push_back(std::move(m_transportPool.front()));
            m_transportPool.pop_front();
        }
    }
    // Closing sockets happens outside the lock.
}

void TNembraConnection::ClearTransportPool()
{
    std::deque<std::unique_ptr<TNembraTransport>> pool;
    {
        TCriticalSectionGuard guard(m_poolLock);
        pool.swap(m_transportPool);
    }
}

int TNembraConnection::TransportPoolCount() const
{
    TCriticalSectionGuard guard(m_poolLock);
    return static_cast<int>(m_transportPool.size());
}

// ---------------------------------------------------------------------------
// Workers

void TNembraConnection::AddWorker(TNembraWorkerThread* Worker)
{
    m_workers.Add(Worker);
}

void TNembraConnection::WorkerEnded(TNembraWorkerThread* Worker)
{
    // Under the list's lock, so that a connection that sees no worker left
    // cannot be gone before the event is set.
    TThreadList<TNembraWorkerThread*>::Locked workers(m_workers);
    const auto it = std::find(workers->begin(), workers->end(), Worker);
    if (it != workers->end())
        workers->erase(it);
    m_workersEvent.SetEvent();
}

int TNembraConnection::GetWorkersCount() const
{
    return static_cast<int>(m_workers.Count());
}

void TNembraConnection::WaitForWorkers()
{
    // The wait serves the main thread's hand-offs, so a worker waiting to
    // hand over its completion event gets through.
    for (;;) {
        m_workersEvent.ResetEvent();
        if (GetWorkersCount() == 0)
            return;
        m_workersEvent.WaitFor(500);
    }
}

TNembraWorkerThread::TNembraWorkerThread(TNembraConnection& Connection, TNembraRequest& Request)
    : m_connection(Connection), m_request(&Request)
{
    m_connection.AddWorker(this);
}

TNembraWorkerThread::~TNembraWorkerThread()
{
    // Freed by its own thread once Execute has ended, or by the starter when
    // the thread could not start (the request then stays the starter's).
    if (m_ran && m_request->DestroyAfterExecute())
        m_connection.DestroyOwnedRequest(m_request);
    m_connection.WorkerEnded(this);
}

void TNembraWorkerThread::Execute()
{
    m_ran = true;
    try {
        m_connection.InternalExecuteRequest(*m_request);
        if (m_connection.OnExecute)
            Synchronize([this] { m_request->DoExecuteOnConnectionSync(); });
    } catch (const EAbort&) {
        // A silent abort or the user's: a normal end of the call.
    } catch (const std::exception& e) {
        Log.Error(e.what(), "TNembraWorkerThread", m_request->ProcedureName());
    } catch (...) {
        Log.Error("Unknown error", "TNembraWorkerThread", m_request->ProcedureName());
    }
}
