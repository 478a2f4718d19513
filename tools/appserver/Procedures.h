#pragma once
// Remote procedures: one handler per procedure, registered by name in a
// table, each given the call (`TCall`) to read its parameters from and to
// write its reply members into.
//
// A handler raises Wire::EProcedureError for a failure the client is to see
// ("#code message" in the reply's "Error"); any other exception becomes
// code 1000 with its text. A handler may call Progress while it works: in a
// progress stream (the client sent ReportProgress=True, or the procedure
// always streams) each call becomes one chunk "pct message"; otherwise it
// does nothing.

#include "Wire.h"

#include <functional>
#include <map>
#include <memory>
#include <string>

class TAppServer;
struct TSession;

// Raised by TCall::Progress when the client of a progress stream has gone:
// the procedure stops, and nothing is left to answer.
struct EClientGone
{
};

class TCall
{
  public:
    struct TOrigin
    {
        std::string Method;
        std::string RemoteAddr;
        int RemotePort = 0;
        std::map<std::string, std::string> Headers; // names in upper case
    };

    TCall(TAppServer& server, std::string procedure, Wire::TParams params, std::string rawBody, TOrigin origin,
          std::shared_ptr<TSession> session);

    TAppServer& Server() { return m_server; }
    const std::string& Procedure() const { return m_procedure; }

    // --- The request
    // The parameter's value, '' when it was not sent (names match without
    // regard to case, the first one sent wins).
    std::string Param(std::string_view name) const;
    bool HasParam(std::string_view name) const;
    // The parameter's value; raises 1002 when it was not sent or is empty.
    std::string RequiredParam(std::string_view name) const;
    const Wire::TParams& Params() const { return m_params; }
    const std::string& RawBody() const { return m_rawBody; }
    const TOrigin& Origin() const { return m_origin; }
    // A request header ('' when absent).
    std::string Header(const std::string& name) const;

    // --- The session
    // The session of the call's "WSID" cookie, null when none is live.
    const std::shared_ptr<TSession>& Session() const { return m_session; }
    // The session; raises 1005 when the call has none.
    TSession& RequireSession();
    // Checks the request proof "Secret" against the session's secret key;
    // raises 1010 when it is missing or wrong.
    void CheckSecret();

    // --- The reply
    // The reply object's own members ("Error" and "ServerProcessing" are
    // added by the wire format).
    TJsonWriter& Json() { return m_json; }
    // Answers this text as it is instead of a JSON object.
    void ReplyText(std::string text);
    // Answers these bytes as they are, with this content type (a constant).
    void ReplyData(std::string data, const char* contentType);
    bool HasTextReply() const { return m_hasText; }
    const std::string& TextReply() const { return m_text; }
    const char* TextReplyType() const { return m_textType; }
    // A header of a successful reply, of any kind.
    void AddReplyHeader(std::string name, std::string value);
    const Wire::TParams& ReplyHeaders() const { return m_replyHeaders; }
    std::string TakeJsonMembers();
    // A new session cookie for the reply.
    void SetSessionCookie(const std::string& id) { m_newSessionCookie = id; }
    const std::string& NewSessionCookie() const { return m_newSessionCookie; }

    // --- Progress
    // Writes one chunk; false when the client has gone.
    using TProgressSink = std::function<bool(const std::string& chunk)>;
    void SetProgressSink(TProgressSink sink) { m_progressSink = std::move(sink); }
    // One progress chunk; the raw chunk text for procedures that write
    // their own (tests of the client). Both raise when the client has gone.
    void Progress(int percent, const std::string& message);
    void ProgressText(const std::string& text);
    // The stream's last chunk carries no handle (a broken stream, for tests).
    void OmitResultHandle() { m_omitResultHandle = true; }
    bool OmitsResultHandle() const { return m_omitResultHandle; }

  private:
    TAppServer& m_server;
    std::string m_procedure;
    Wire::TParams m_params;
    std::string m_rawBody;
    TOrigin m_origin;
    std::shared_ptr<TSession> m_session;
    rapidjson::StringBuffer m_buffer;
    TJsonWriter m_json;
    bool m_hasText = false;
    std::string m_text;
    const char* m_textType = Wire::TextType;
    Wire::TParams m_replyHeaders;
    std::string m_newSessionCookie;
    TProgressSink m_progressSink;
    bool m_omitResultHandle = false;
};

using TProcedureHandler = std::function<void(TCall& call)>;

struct TProcedure
{
    TProcedureHandler Handler;
    bool AlwaysStreams = false; // answers as a progress stream whatever the client sent
};

class TProcedureTable
{
  public:
    void Add(const std::string& name, TProcedureHandler handler, bool alwaysStreams = false);
    // Names match without regard to case; null when unknown.
    const TProcedure* Find(const std::string& name) const;

  private:
    std::map<std::string, TProcedure> m_procedures; // upper-case names
};

// Nembra.Login, Nembra.Logout, Nembra.KeepAlive, Nembra.GetWorkServerURL,
// Nembra.GetServerTime.
void RegisterSessionProcedures(TProcedureTable& table);
// Test.* procedures for the client's tests (--test-procedures).
void RegisterTestProcedures(TProcedureTable& table);
// VRS.FindFiles, GetFile, PutFile, Delete, CopyFile, Rename, Extract,
// CreateDirectory: the remote file system over the folder of --files.
void RegisterFileProcedures(TProcedureTable& table);
// GetResourceFileName and GetResources of the system plug-in PLG_SYSTEM
// (ResourcePlugin.cpp), registered with the plug-ins.
void RegisterResourcePluginMethods();
// PLG_SYSTEM's UploadLog: keeps every log archive a client sends.
void RegisterLogPluginMethods();
// PLG_SYSTEM's DatabaseLogin: the role, modules and group layouts of a
// database (ModulePlugin.cpp).
void RegisterModulePluginMethods();
// Raises unless the session's user may open the alias (DatabaseProcedures.cpp).
struct TSession;
class TDatabase;
void CheckAliasAccess(TDatabase& db, const TSession& session, const std::string& alias);
// PLG_SYSTEM SetLock, ClearLock and GetMenu (MenuLockPlugin.cpp).
void RegisterMenuLockPluginMethods();
// PLG_SYSTEM's SEND_MAIL: mail between users, with the relay of
// "$check_mail <counter>" to the recipients (MailPlugin.cpp).
void RegisterMailPluginMethods();
// PLG_SYSTEM's Ping (PingPlugin.cpp): DataSize bytes back in Data.
void RegisterPingPluginMethods();
// PLG_SYSTEM's run-time information and its two ends (ConnectionsPlugin.cpp):
// RTIGetSessions, RTIGetLocks, RTIGetServers, SysTerminateSession and
// SysRemoveLock.
void RegisterConnectionsPluginMethods();
