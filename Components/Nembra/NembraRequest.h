#pragma once
// One remote call (`TNembraRequest`), its timings (`TNembraProfiling`) and the
// server error (`TNembraException`). Part of the unit NembraClient; include
// "Components/Nembra/NembraClient.h".
//
// A request is a procedure name and a list of Name=Value parameters. After
// it ran it holds the raw reply (Response), the reply's header lines, the
// JSON object parsed from the reply on first use, and the call's timings.
//
// Threads: a request is executed by one thread at a time, the caller's or
// the worker of an asynchronous call. Its state and progress are written by
// that thread and may be read by any other (AbortRequest is the one change
// another thread may make); everything else belongs to the executing thread
// while the call runs.

#include "platform/Component.h"
#include "platform/StringList.h"
#include "platform/SysUtils.h"
#include "platform/Variants.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

class TJSONObject;
class TNembraConnection;
class TStream;

enum TNembraResponseType
{
    qrtStream, // the reply as it came, for the caller
    qrtText,   // the same; the caller reads it as text
    qrtJSON    // the reply is checked as a JSON object with the "Error" envelope
};

enum TNembraRequestState
{
    vrsIdle,
    vrsSending,
    vrsProcessing,
    vrsReceiving,
    vrsAborted
};

// "idle", "sending", "processing", "receiving", "aborted".
extern const char* const NembraRequestStates[5];

// The timings of one call in milliseconds, and its byte counts. The client
// fills ServerProcessing (from the reply), Decompression, JSONParsing, Total
// and the byte counts; Compression and Additional are the caller's.
struct TNembraProfiling
{
    int64_t Compression = 0;
    int64_t ServerProcessing = 0;
    int64_t Decompression = 0;
    int64_t JSONParsing = 0;
    int64_t Total = 0;
    int64_t Additional = 0;
    int32_t BytesSent = 0;
    int32_t BytesReceived = 0;
};

void ResetProfiling(TNembraProfiling& Profiling);
// "Compression: %d, Server Processing: %d, Decompression: %d, JSON Parsing:
// %d, Total: %d, Additional: %d" CR LF "  Bytes Sent: %d, Bytes Received: %d".
std::string ProfilingToString(const TNembraProfiling& Profiling);

// A server error. The text "#" + code + blank + message gives that code and
// message; any other text is the message with code 1000; an empty text is
// "Unknown error".
class TNembraException : public Exception
{
  public:
    explicit TNembraException(const std::string& Message);
    std::string ClassName() const override { return "TNembraException"; }
    int ErrorCode() const { return m_errorCode; }

  private:
    int m_errorCode = 1000;
};

// For callers that tell a lost session apart; the client itself raises the
// session error as a plain Exception.
class TNembraSessionException : public TNembraException
{
  public:
    using TNembraException::TNembraException;
    std::string ClassName() const override { return "TNembraSessionException"; }
};

class TNembraRequest : public TComponent
{
  public:
    explicit TNembraRequest(TComponent* AOwner = nullptr);
    ~TNembraRequest() override;
    std::string ClassName() const override { return "TNembraRequest"; }

    // --- Settings
    // The connection found by this name when none is bound. A name that
    // differs (without regard to case) unbinds the bound connection.
    const std::string& ConnectionName() const { return m_connectionName; }
    void SetConnectionName(const std::string& Value);
    bool Async() const { return m_async; }
    void SetAsync(bool Value) { m_async = Value; }
    bool ShowWaitCursor() const { return m_showWaitCursor; }
    void SetShowWaitCursor(bool Value) { m_showWaitCursor = Value; }
    TNembraResponseType ResponseType() const { return m_responseType; }
    void SetResponseType(TNembraResponseType Value) { m_responseType = Value; }
    const std::string& HTTPMethod() const { return m_httpMethod; }
    void SetHTTPMethod(const std::string& Value) { m_httpMethod = Value; }
    // HTTPMethod, or "POST" when it is empty.
    std::string GetHTTPMethod() const;
    const std::string& ProcedureName() const { return m_procedureName; }
    void SetProcedureName(const std::string& Value) { m_procedureName = Value; }
    // Name=Value lines, sent in order.
    TStrings& Params() { return m_params; }
    const TStrings& Params() const { return m_params; }

    // Run on the thread that performed the call, after a successful call.
    TNotifyEvent OnExecute;
    // Run on the thread that performs the call, for each new progress
    // notice; without it the connection reports to the progress service.
    TNotifyEvent OnProgress;

    // --- Parameters
    // The parameter's text ('' when it is not set).
    Variant GetParam(const std::string& Name) const;
    // Stores the value's text as Name=text; an empty text (Null too) removes
    // the parameter, so that it is not sent at all.
    void SetParam(const std::string& Name, const Variant& Value);

    // --- Connection
    // The bound connection; without one, binds the connection registered
    // under ConnectionName ("Connection not found: %s" when there is none).
    TNembraConnection& GetConnection();
    // The bound connection or null, without looking it up.
    TNembraConnection* Connection() const { return m_connection.load(); }
    // Binds C (null unbinds). A connection that is destroyed unbinds itself
    // from every request bound to it.
    void SetConnection(TNembraConnection* C);

    // --- Running
    // The bound connection's ExecuteRequest(*this).
    void Execute();
    // Asks the running call to stop; it ends with a silent abort at its next
    // socket event. Any thread.
    void AbortRequest();
    bool Aborted() const { return State() == vrsAborted; }
    // Drops reply, parameters, JSON object and reply headers.
    void Clear();

    // --- Reply
    // The reply stream (null before a reply); owned by the request.
    TStream* Response() const { return m_response.get(); }
    void SetResponse(std::unique_ptr<TStream> Stream);
    // Hands the reply to the caller; the request holds none afterwards.
    std::unique_ptr<TStream> ExtractResponse();
    // Creates or replaces the file with the whole reply, byte for byte;
    // a save that fails leaves the old file as it was.
    void SaveResponseToFile(const std::string& FileName);
    // The whole reply as it came ('' without one).
    std::string ResponseText() const;
    // The reply parsed as a JSON object, on first use (the text read as
    // ReplyTextToUTF8 gives it). A parse error is raised; the object keeps
    // the members read before it.
    TJSONObject& GetJSONObject();
    void ClearJSONObject();
    // Reply header lines, each "Name: value".
    TStrings& ResponseHeaders() { return m_responseHeaders; }
    // The trimmed value of the first reply header line whose name is Name
    // (without regard to case, as HTTP header names are), else ''.
    std::string GetHeaderValue(const std::string& Name) const;
    // For JSON requests: parses the reply and raises the "Error" member as a
    // TNembraException; fills the ServerProcessing and JSONParsing timings.
    void CheckResponse();

    // --- Request proof
    // Base64 of Text XOR-ed with the connection's SecretKey.
    std::string EncryptWithSecretKey(const std::string& Text);
    // Sets the parameter "Secret" to the encrypted session cookie value.
    void SecureWithSecret();

    // --- State and progress
    TNembraRequestState State() const { return m_state.load(); }
    // Moves to state S: the phase that ends is shown complete (progress 100)
    // and the phase that begins is reported from 0.
    void SetState(TNembraRequestState S);
    int Progress() const { return m_progress.load(); }
    void SetProgress(int Value) { m_progress = Value; }
    std::string ProgressMessage() const;
    void SetProgressMessage(const std::string& Value);
    // Reports when progress, state or message changed since the last report:
    // OnProgress when assigned, else the connection's DoProgress.
    void DoProgress();
    void DoExecute();
    // The connection's DoExecute(this).
    void DoExecuteOnConnectionSync();

    TNembraProfiling& Profiling() { return m_profiling; }
    // The worker of an asynchronous call destroys the request when it ends.
    bool DestroyAfterExecute() const { return m_destroyAfterExecute; }
    void SetDestroyAfterExecute(bool Value) { m_destroyAfterExecute = Value; }

  private:
    friend class TNembraConnection;

    std::string m_connectionName;
    bool m_async = false;
    bool m_showWaitCursor = false;
    TNembraResponseType m_responseType = qrtStream;
    std::string m_httpMethod;
    std::string m_procedureName;
    TStringList m_params;

    std::atomic<TNembraConnection*> m_connection{nullptr};
    std::unique_ptr<TStream> m_response;
    std::unique_ptr<TJSONObject> m_jsonObject;
    TStringList m_responseHeaders;

    std::atomic<TNembraRequestState> m_state{vrsIdle};
    std::atomic<int> m_progress{0};
    mutable std::mutex m_messageLock;
    std::string m_progressMessage;
    // The last reported triple, to suppress repeats.
    int m_lastProgress = -1;
    TNembraRequestState m_lastState = vrsIdle;
    std::string m_lastMessage;

    TNembraProfiling m_profiling;
    bool m_destroyAfterExecute = false;
};
