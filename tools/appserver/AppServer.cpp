#include "AppServer.h"

#include "AdPages.h"
#include "HelpPage.h"

#include "DatabaseProcedures.h"
#include "UpdateEndpoint.h"

#include <httplib.h>

#include <algorithm>
#include <cctype>
#include <iostream>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// A result of a progress stream waits this long for its second request.
constexpr std::chrono::minutes kResultLifetime{10};

int64_t MillisSince(Clock::time_point started)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count();
}

std::string Upper(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

bool AcceptsGzip(const httplib::Request& req)
{
    return req.get_header_value("Accept-Encoding").find("gzip") != std::string::npos;
}

// True for the path of a call: what the route of calls takes (the pattern
// ProcedurePath + "(.+)", whose '.' takes no line break).
bool IsCallPath(const std::string& path)
{
    return path.size() > Wire::ProcedurePath.size() && path.rfind(Wire::ProcedurePath, 0) == 0 &&
           path.find_first_of("\r\n", Wire::ProcedurePath.size()) == std::string::npos;
}

// True when the request announces a body longer than `limit`, or one of no
// stated length.
bool BodyAbove(const httplib::Request& req, size_t limit)
{
    if (req.has_header("Transfer-Encoding"))
        return true;
    const std::string declared = req.get_header_value("Content-Length");
    if (declared.empty())
        return false;
    const bool digits =
        std::all_of(declared.begin(), declared.end(), [](unsigned char c) { return std::isdigit(c); });
    return !digits || declared.size() > 18 || std::stoull(declared) > limit;
}

} // namespace

TAppServer::TAppServer(TServerOptions options)
    : m_options(std::move(options)), m_database(m_options.Database),
      m_sessions(m_database, std::chrono::minutes(m_options.SessionTimeoutMin)),
      m_databases(m_options.Database, std::chrono::minutes(m_options.SessionTimeoutMin)),
      m_http(std::make_unique<httplib::Server>())
{
    m_started = Wire::NowText();
    for (const std::string& file : m_options.SqlFiles)
        m_database.ExecFile(file);
    RegisterSessionProcedures(m_procedures);
    RegisterDatabaseProcedures(m_procedures);
    RegisterQueryProcedures(m_procedures);
    RegisterStoredProcedures(m_procedures);
    RegisterPluginProcedures(m_procedures);
    RegisterFileProcedures(m_procedures);
    RegisterResourcePluginMethods();
    RegisterLogPluginMethods();
    RegisterModulePluginMethods();
    RegisterMenuLockPluginMethods();
    RegisterMailPluginMethods();
    RegisterPingPluginMethods();
    RegisterConnectionsPluginMethods();
    if (m_options.TestProcedures)
        RegisterTestProcedures(m_procedures);

    const int threads = m_options.Threads;
    m_http->new_task_queue = [threads] { return new httplib::ThreadPool(static_cast<size_t>(threads)); };
    // A reply goes out as header and body writes: without this the body
    // waits for the peer's delayed acknowledgement of the header (40 ms).
    m_http->set_tcp_nodelay(true);
    // One client keeps its connection for as many calls as it makes.
    m_http->set_keep_alive_max_count(1000000);
    m_http->set_keep_alive_timeout(m_options.KeepAliveTimeoutSec);
    m_http->set_read_timeout(60);
    m_http->set_write_timeout(60);

    const std::string pattern = std::string(Wire::ProcedurePath) + "(.+)";
    // Only calls read their bodies themselves (ReadBody). The library reads
    // the body of any other request whole into memory before its handler
    // runs, and no other request needs one: a large one is refused unread.
    m_http->set_pre_routing_handler([](const httplib::Request& req, httplib::Response& res) {
        if ((req.method == "POST" && IsCallPath(req.path)) || !BodyAbove(req, kMaxBodyWithoutSession))
            return httplib::Server::HandlerResponse::Unhandled;
        res.status = 413;
        Wire::SendBodyAndClose(res, "413 Request Entity Too Large", Wire::TextType);
        return httplib::Server::HandlerResponse::Handled;
    });
    // Reading the body here rather than through the library takes form
    // bodies above the library's 8 KiB; the limits are ours (ReadBody).
    m_http->Post(pattern, [this](const httplib::Request& req, httplib::Response& res,
                                 const httplib::ContentReader& reader) {
        std::string body;
        if (ReadBody(req, res, reader, body))
            Serve(req, res, body);
    });
    m_http->Get(pattern, [this](const httplib::Request& req, httplib::Response& res) { Serve(req, res, {}); });
    if (!m_options.UpdateDir.empty())
        AddUpdateEndpoint(*m_http, m_options.UpdateDir);
    RegisterAdPages(*m_http, m_database);
    RegisterHelpPage(*m_http);
    m_http->set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr error) {
        std::string what = "unknown error";
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            what = e.what();
        } catch (...) {
        }
        Wire::SendErrorPage(res, 500, "500 Internal Server Error", what);
    });
}

TAppServer::~TAppServer() = default;

int TAppServer::Bind()
{
    const int port = m_options.Port == 0 ? m_http->bind_to_any_port("127.0.0.1")
                     : m_http->bind_to_port("127.0.0.1", m_options.Port) ? m_options.Port
                                                                        : -1;
    if (port > 0)
        m_port = port;
    return port;
}

void TAppServer::Listen()
{
    m_http->listen_after_bind();
}

bool TAppServer::ReadBody(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader,
                          std::string& body)
{
    // A caller without a session sends a sign-in or a call signed with an
    // account: small bodies. Anything larger waits for a session, so that no
    // one who has not signed in makes the server hold more than this.
    const std::string cookie = Wire::CookieValue(req.get_header_value("Cookie"), Wire::SessionCookie);
    const bool signedIn = !cookie.empty() && m_sessions.Find(cookie);
    const size_t limit = signedIn ? kMaxBody : kMaxBodyWithoutSession;
    bool tooLarge = false;
    if (req.has_header("Content-Length")) {
        const std::string declared = req.get_header_value("Content-Length");
        const bool digits = !declared.empty() && std::all_of(declared.begin(), declared.end(),
                                                             [](unsigned char c) { return std::isdigit(c); });
        tooLarge = digits && (declared.size() > 18 || std::stoull(declared) > limit);
    }
    if (!tooLarge)
        reader([&](const char* data, size_t size) {
            if (size > limit - body.size()) {
                tooLarge = true;
                return false;
            }
            body.append(data, size);
            return true;
        });
    if (!tooLarge)
        return true;
    body.clear();
    const std::string procedure = req.path.substr(Wire::ProcedurePath.size());
    const std::string error =
        signedIn ? Wire::ErrorText(Wire::ErrGeneral, "The request is larger than the server accepts (" +
                                                         std::to_string(kMaxBody / (1024 * 1024)) + " MB).")
                 : Wire::ErrorText(Wire::ErrNoSession, "A call of " + procedure + " without a session is limited to " +
                                                           std::to_string(kMaxBodyWithoutSession / 1024) + " KB.");
    if (!cookie.empty() && !signedIn)
        Wire::ClearSessionCookie(res);
    // The rest of the body is never read: the connection ends with the reply.
    Wire::SendBodyAndClose(res, Wire::JsonEnvelope("{", error, 0), Wire::JsonType);
    return false;
}

void TAppServer::Serve(const httplib::Request& req, httplib::Response& res, const std::string& body)
{
    const Clock::time_point started = Clock::now();
    // Replies are compressed by the wire format, which owns Content-Encoding;
    // the library, seeing the client's wish, would compress text replies a
    // second time. The request object is the library's own, not a constant.
    const bool gzip = AcceptsGzip(req);
    const_cast<httplib::Request&>(req).headers.erase("Accept-Encoding");

    const std::string procedure = req.path.substr(Wire::ProcedurePath.size());
    Wire::TParams params;
    if (req.method == "GET") {
        for (const auto& [name, value] : req.params)
            params.emplace_back(name, value);
    } else {
        params = Wire::DecodeForm(body);
    }
    const std::string cookie = Wire::CookieValue(req.get_header_value("Cookie"), Wire::SessionCookie);
    std::shared_ptr<TSession> session = m_sessions.Find(cookie);
    const bool staleCookie = !cookie.empty() && !session;

    TCall::TOrigin origin;
    origin.Method = req.method;
    origin.RemoteAddr = req.remote_addr;
    origin.RemotePort = req.remote_port;
    for (const auto& [name, value] : req.headers)
        origin.Headers.emplace(Upper(name), value);
    if (gzip)
        origin.Headers["ACCEPT-ENCODING"] = "gzip";
    auto call = std::make_shared<TCall>(*this, procedure, std::move(params), body, std::move(origin), session);

    if (m_options.DelayMs > 0 && m_options.Delay.Applies(procedure))
        std::this_thread::sleep_for(std::chrono::milliseconds(m_options.DelayMs));
    if (m_options.Status500.Applies(procedure)) {
        Wire::SendErrorPage(res, 500, "500 Internal Server Error", "The server could not complete " + procedure + ".");
    } else if (m_options.NonJsonReply.Applies(procedure)) {
        Wire::SendBody(res, "Service temporarily unavailable", Wire::TextType, false);
    } else if (call->Params().size() == 1 && call->Params()[0].first == Wire::ResponseHandleParam) {
        AnswerHandle(res, *call, call->Params()[0].second, gzip, staleCookie);
    } else {
        const TProcedure* p = m_procedures.Find(procedure);
        const bool stream = p && (p->AlwaysStreams || Upper(call->Param("ReportProgress")) == "TRUE");
        if (stream)
            StartProgressStream(res, call, p, started);
        else
            Send(res, *call, Run(*call, p, started), gzip, staleCookie);
    }
    if (m_options.Verbose)
        std::cerr << "appserver: " << req.method << " " << procedure << " " << (res.status < 0 ? 200 : res.status) << " "
                  << MillisSince(started) << " ms\n";
}

TAppServer::TReply TAppServer::Run(TCall& call, const TProcedure* procedure, Clock::time_point started)
{
    std::string error;
    try {
        if (!procedure)
            throw Wire::EProcedureError(Wire::ErrUnknownProcedure, "Unknown procedure: " + call.Procedure());
        procedure->Handler(call);
    } catch (const Wire::EProcedureError& e) {
        error = Wire::ErrorText(e.Code(), e.what());
    } catch (const Wire::ERawError& e) {
        error = e.what();
        if (error.empty())
            error = " "; // an empty "Error" would read as success
    } catch (const EClientGone&) {
        throw;
    } catch (const std::exception& e) {
        error = Wire::ErrorText(Wire::ErrGeneral, e.what());
    }
    if (error.empty() && call.HasTextReply())
        return TReply{call.TextReply(), call.TextReplyType(), false, call.ReplyHeaders()};
    // A failed procedure's members and headers are dropped: its writer may be mid-way.
    return TReply{Wire::JsonEnvelope(error.empty() ? call.TakeJsonMembers() : "{", error, MillisSince(started)),
                  Wire::JsonType, !error.empty(), error.empty() ? call.ReplyHeaders() : Wire::TParams{}};
}

void TAppServer::StartProgressStream(httplib::Response& res, std::shared_ptr<TCall> call, const TProcedure* procedure,
                                     Clock::time_point started)
{
    res.set_header(Wire::ProgressHeader, "YES");
    res.set_chunked_content_provider(Wire::TextType, [this, call, procedure, started](size_t, httplib::DataSink& sink) {
        call->SetProgressSink([&sink](const std::string& chunk) { return sink.write(chunk.data(), chunk.size()); });
        TReply reply;
        try {
            reply = Run(*call, procedure, started);
        } catch (const EClientGone&) {
            return false;
        }
        call->SetProgressSink(nullptr);
        // The last chunk: the handle of the result, or the error alone.
        std::string last = reply.Body;
        if (!reply.Failed && call->OmitsResultHandle()) {
            last = Wire::JsonEnvelope("{", "", MillisSince(started));
        } else if (!reply.Failed) {
            rapidjson::StringBuffer members;
            TJsonWriter json(members);
            json.StartObject();
            json.Key("handle");
            const std::string sessionId = call->Session() ? call->Session()->Id : std::string();
            json.String(StoreResult(std::move(reply), sessionId).c_str());
            last = Wire::JsonEnvelope(std::string(members.GetString(), members.GetSize()), "", MillisSince(started));
        }
        if (!sink.write(last.data(), last.size()))
            return false;
        sink.done();
        return true;
    });
}

std::string TAppServer::StoreResult(TReply reply, const std::string& sessionId)
{
    const std::string handle = Wire::RandomHex(16);
    const Clock::time_point now = Clock::now();
    std::lock_guard<std::mutex> guard(m_resultsLock);
    for (auto it = m_results.begin(); it != m_results.end();)
        it = it->second.Expires < now ? m_results.erase(it) : std::next(it);
    m_results[handle] = TStoredResult{std::move(reply), sessionId, now + kResultLifetime};
    return handle;
}

void TAppServer::AnswerHandle(httplib::Response& res, TCall& call, const std::string& handle, bool gzip,
                              bool staleCookie)
{
    TReply reply;
    {
        std::lock_guard<std::mutex> guard(m_resultsLock);
        const auto it = m_results.find(handle);
        const std::string sessionId = call.Session() ? call.Session()->Id : std::string();
        if (it != m_results.end() && it->second.SessionId == sessionId) {
            reply = std::move(it->second.Reply);
            m_results.erase(it);
        }
    }
    if (!reply.ContentType)
        reply = TReply{Wire::JsonEnvelope("{", Wire::ErrorText(Wire::ErrUnknownHandle, "Unknown response handle."), 0),
                       Wire::JsonType, true, {}};
    Send(res, call, reply, gzip, staleCookie);
}

void TAppServer::Send(httplib::Response& res, TCall& call, const TReply& reply, bool gzip, bool staleCookie)
{
    const std::string& procedure = call.Procedure();
    if (m_options.ChangeSessionCookie.Applies(procedure))
        Wire::SetSessionCookie(res, Wire::RandomHex(16));
    else if (!call.NewSessionCookie().empty())
        Wire::SetSessionCookie(res, call.NewSessionCookie());
    else if (staleCookie)
        Wire::ClearSessionCookie(res); // the client learns that its session is gone

    for (const auto& [name, value] : reply.Headers)
        res.set_header(name, value);
    if (m_options.TruncateGzip.Applies(procedure)) {
        Wire::SendTruncatedGzip(res, reply.Body, reply.ContentType);
    } else if (m_options.DropMidReply.Applies(procedure)) {
        if (gzip)
            res.set_header("Content-Encoding", "gzip");
        Wire::SendDropped(res, gzip ? Wire::Gzip(reply.Body) : reply.Body, reply.ContentType);
    } else {
        Wire::SendBody(res, reply.Body, reply.ContentType, gzip);
    }
}
