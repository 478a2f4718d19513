#pragma once
// The server: routes calls to their procedures, keeps the sessions and the
// results that progress streams hand out by handle, and applies the fault
// switches.

#include "Database.h"
#include "Procedures.h"
#include "ServerDatabases.h"
#include "ServerOptions.h"
#include "Sessions.h"

#include <atomic>
#include <functional>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace httplib {
class Server;
struct Request;
struct Response;
class ContentReader;
} // namespace httplib

class TAppServer
{
  public:
    // The largest request body the server reads, and the largest it reads
    // from a caller without a session; larger ones are refused unread.
    static constexpr size_t kMaxBody = size_t(256) * 1024 * 1024;
    static constexpr size_t kMaxBodyWithoutSession = size_t(1024) * 1024;

    explicit TAppServer(TServerOptions options);
    ~TAppServer();
    TAppServer(const TAppServer&) = delete;
    TAppServer& operator=(const TAppServer&) = delete;

    // Binds 127.0.0.1 at the chosen port (a free one for 0); answers the
    // port, or -1 when it cannot listen there.
    int Bind();
    // Serves until the process ends.
    void Listen();

    const TServerOptions& Options() const { return m_options; }
    // The port bound (0 before Bind) and when the server started
    // ("yyyy-mm-dd hh:nn:ss"): the server list shows them.
    int Port() const { return m_port.load(); }
    const std::string& Started() const { return m_started; }
    // The port of the notification server beside this one (0: none yet);
    // the sign-in reply names it to the clients.
    int NotifyPort() const { return m_notifyPort.load(); }
    void SetNotifyPort(int Port) { m_notifyPort = Port; }
    TDatabase& Database() { return m_database; }
    // Hands a message to the notification links whose Parameter is Value
    // (set once before Listen; a procedure thread calls it, the relay runs
    // in the notification server's thread). Unset: nothing is relayed.
    using TRelay = std::function<void(const std::string& Message, const std::string& Parameter,
                                      const std::string& Value)>;
    void SetRelay(TRelay Relay) { m_relay = std::move(Relay); }
    void Relay(const std::string& Message, const std::string& Parameter, const std::string& Value) const
    {
        if (m_relay)
            m_relay(Message, Parameter, Value);
    }
    TSessionStore& Sessions() { return m_sessions; }
    // The databases and cursors the clients hold (DatabaseProcedures.h).
    TServerDatabases& Databases() { return m_databases; }

  private:
    struct TReply
    {
        std::string Body;
        const char* ContentType = nullptr;
        bool Failed = false; // the body is an error envelope
        Wire::TParams Headers;
    };
    struct TStoredResult
    {
        TReply Reply;
        std::string SessionId;
        std::chrono::steady_clock::time_point Expires;
    };

    // Reads the body within the limits; false when it was refused (the reply is made).
    bool ReadBody(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader,
                  std::string& body);
    void Serve(const httplib::Request& req, httplib::Response& res, const std::string& body);
    TReply Run(TCall& call, const TProcedure* procedure, std::chrono::steady_clock::time_point started);
    void StartProgressStream(httplib::Response& res, std::shared_ptr<TCall> call, const TProcedure* procedure,
                             std::chrono::steady_clock::time_point started);
    void AnswerHandle(httplib::Response& res, TCall& call, const std::string& handle, bool gzip, bool staleCookie);
    void Send(httplib::Response& res, TCall& call, const TReply& reply, bool gzip, bool staleCookie);
    std::string StoreResult(TReply reply, const std::string& sessionId);

    TServerOptions m_options;
    std::atomic<int> m_port{0};
    std::string m_started;
    std::atomic<int> m_notifyPort{0};
    TRelay m_relay;
    TDatabase m_database;
    TSessionStore m_sessions;
    TServerDatabases m_databases;
    TProcedureTable m_procedures;
    std::unique_ptr<httplib::Server> m_http;

    std::mutex m_resultsLock;
    std::map<std::string, TStoredResult> m_results;
};
