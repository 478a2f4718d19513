#include "Components/Nembra/NembraRequest.h"

#include "Components/Nembra/NembraConnection.h"
#include "Components/Nembra/NembraJSON.h"
#include "Components/Nembra/NembraLib.h"
#include "Components/Nembra/NembraTransport.h"

#include "base/KldLogFile.h"
#include "platform/FileReplaceStream.h"
#include "platform/Streams.h"

#include <utility>

const char* const NembraRequestStates[5] = {"idle", "sending", "processing", "receiving", "aborted"};

void ResetProfiling(TNembraProfiling& Profiling)
{
    Profiling = TNembraProfiling{};
}

std::string ProfilingToString(const TNembraProfiling& Profiling)
{
    return Format("Compression: %d, Server Processing: %d, Decompression: %d, JSON Parsing: %d, Total: %d, "
                  "Additional: %d\r\n  Bytes Sent: %d, Bytes Received: %d",
                  Profiling.Compression, Profiling.ServerProcessing, Profiling.Decompression,
                  Profiling.JSONParsing, Profiling.Total, Profiling.Additional, Profiling.BytesSent,
                  Profiling.BytesReceived);
}

// ---------------------------------------------------------------------------
// TNembraException

namespace {

void SplitErrorText(const std::string& text, int& code, std::string& message)
{
    code = 1000;
    if (text.empty()) {
        message = "Unknown error";
        return;
    }
    if (text[0] != '#') {
        message = text;
        return;
    }
    const size_t blank = text.find(' ');
    if (blank == std::string::npos) {
        message = text;
        return;
    }
    code = StrToIntDef(Trim(std::string_view(text).substr(1, blank - 1)), 1000);
    message = Trim(std::string_view(text).substr(blank + 1));
}

// Counts characters, not bytes, of a UTF-8 text.
size_t CharacterCount(std::string_view s)
{
    size_t n = 0;
    for (char c : s)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++n;
    return n;
}

} // namespace

TNembraException::TNembraException(const std::string& Message)
{
    std::string message;
    SplitErrorText(Message, m_errorCode, message);
    SetMessage(std::move(message));
}

// ---------------------------------------------------------------------------
// TNembraRequest

TNembraRequest::TNembraRequest(TComponent* AOwner) : TComponent(AOwner) {}

TNembraRequest::~TNembraRequest()
{
    SetConnection(nullptr);
}

void TNembraRequest::SetConnectionName(const std::string& Value)
{
    if (!SameText(Value, m_connectionName))
        SetConnection(nullptr);
    m_connectionName = Value;
}

std::string TNembraRequest::GetHTTPMethod() const
{
    return m_httpMethod.empty() ? std::string("POST") : m_httpMethod;
}

Variant TNembraRequest::GetParam(const std::string& Name) const
{
    return Variant(m_params.Values(Name));
}

void TNembraRequest::SetParam(const std::string& Name, const Variant& Value)
{
    // TStrings removes the line for an empty value.
    m_params.SetValues(Name, VarToStr(Value));
}

TNembraConnection& TNembraRequest::GetConnection()
{
    if (TNembraConnection* c = m_connection.load())
        return *c;
    TNembraConnection& c = TNembraConnection::GetConnectionByName(m_connectionName);
    SetConnection(&c);
    return c;
}

void TNembraRequest::SetConnection(TNembraConnection* C)
{
    TNembraConnection* old = m_connection.load();
    if (old == C)
        return;
    if (old)
        old->UnbindRequest(this);
    m_connection = C;
    if (C)
        C->BindRequest(this);
}

void TNembraRequest::Execute()
{
    GetConnection().ExecuteRequest(*this);
}

void TNembraRequest::AbortRequest()
{
    // Only the state changes here: the thread that runs the exchange sees it
    // at its next socket event and stops the transport.
    m_state = vrsAborted;
}

void TNembraRequest::Clear()
{
    m_response.reset();
    m_params.Clear();
    m_jsonObject.reset();
    m_responseHeaders.Clear();
}

void TNembraRequest::SetResponse(std::unique_ptr<TStream> Stream)
{
    m_response = std::move(Stream);
}

std::unique_ptr<TStream> TNembraRequest::ExtractResponse()
{
    return std::move(m_response);
}

void TNembraRequest::SaveResponseToFile(const std::string& FileName)
{
    // The file is replaced whole or not at all.
    TFileReplaceStream file(FileName);
    if (m_response) {
        m_response->SetPosition(0);
        if (m_response->Size() > 0)
            file.CopyFrom(*m_response, m_response->Size());
    }
    file.Commit();
}

std::string TNembraRequest::ResponseText() const
{
    if (!m_response)
        return {};
    if (auto* memory = dynamic_cast<TNembraMemoryStream*>(m_response.get()))
        return std::string(memory->View());
    const int64_t position = m_response->Position();
    m_response->SetPosition(0);
    std::string text = ReadString(*m_response, 0);
    m_response->SetPosition(position);
    return text;
}

TJSONObject& TNembraRequest::GetJSONObject()
{
    if (m_jsonObject)
        return *m_jsonObject;
    std::string storage;
    std::string owned;
    std::string_view bytes;
    if (auto* memory = dynamic_cast<TNembraMemoryStream*>(m_response.get())) {
        bytes = memory->View();
    } else {
        owned = ResponseText();
        bytes = owned;
    }
    const std::string_view text = ReplyTextView(bytes, storage);
    try {
        m_jsonObject = std::make_unique<TJSONObject>(text);
    } catch (const Exception&) {
        // Keep what was read before the error, as a stream parse does.
        m_jsonObject = std::make_unique<TJSONObject>();
        TStringStream stream{std::string(text)};
        m_jsonObject->ParseFromStream(stream);
    }
    return *m_jsonObject;
}

void TNembraRequest::ClearJSONObject()
{
    m_jsonObject.reset();
}

std::string TNembraRequest::GetHeaderValue(const std::string& Name) const
{
    for (int i = 0; i < m_responseHeaders.Count(); ++i) {
        const std::string line = m_responseHeaders.Get(i);
        const size_t colon = line.find(':');
        if (colon != std::string::npos && SameText(Trim(std::string_view(line).substr(0, colon)), Name))
            return Trim(std::string_view(line).substr(colon + 1));
    }
    return {};
}

void TNembraRequest::CheckResponse()
{
    if (m_responseType != qrtJSON)
        return;
    std::string error;
    TJSONObject* reply = nullptr;
    try {
        reply = &GetJSONObject();
        error = reply->GetValues("Error").GetAsString();
    } catch (const Exception& e) {
        Log.Error(e, ClassName(), m_procedureName);
        m_profiling.ServerProcessing = 0;
        m_profiling.JSONParsing = 0;
        const std::string text = Trim(ReplyTextToUTF8(ResponseText()));
        if (!text.empty() && CharacterCount(text) < 256 && text[0] != '{')
            error = TrimHtmlTags(text);
        else
            error = "Invalid response received from server";
        // A text of tags only leaves nothing to show.
        if (error.empty())
            error = "Invalid response received from server";
        throw TNembraException(error);
    }
    if (!error.empty())
        throw TNembraException(error);
    try {
        m_profiling.ServerProcessing = reply->GetValues("ServerProcessing").GetAsInt64();
    } catch (const Exception&) {
        m_profiling.ServerProcessing = 0; // a timing the server wrote badly is no error of the call
    }
    m_profiling.JSONParsing = reply->ParseTime();
}

std::string TNembraRequest::EncryptWithSecretKey(const std::string& Text)
{
    return Encrypt(GetConnection().SecretKey(), Text);
}

void TNembraRequest::SecureWithSecret()
{
    SetParam("Secret", EncryptWithSecretKey(GetConnection().GetSessionID()));
}

namespace {
bool IsPhase(TNembraRequestState s)
{
    return s == vrsSending || s == vrsProcessing || s == vrsReceiving;
}
} // namespace

void TNembraRequest::SetState(TNembraRequestState S)
{
    TNembraRequestState current = m_state.load();
    if (current == S)
        return;
    // An abort holds until the exchange ends, whatever phase a socket event
    // reports afterwards.
    if (current == vrsAborted && S != vrsIdle)
        return;
    if (IsPhase(current) && m_progress < 100) {
        // The phase that ends is shown complete.
        m_progress = 100;
        DoProgress();
    }
    if (!m_state.compare_exchange_strong(current, S)) {
        // Aborted meanwhile, by a progress receiver or another thread.
        if (S != vrsIdle)
            return;
        m_state = vrsIdle;
    }
    m_progress = 0;
    SetProgressMessage("");
    if (IsPhase(S))
        DoProgress();
}

std::string TNembraRequest::ProgressMessage() const
{
    std::lock_guard<std::mutex> guard(m_messageLock);
    return m_progressMessage;
}

void TNembraRequest::SetProgressMessage(const std::string& Value)
{
    std::lock_guard<std::mutex> guard(m_messageLock);
    m_progressMessage = Value;
}

void TNembraRequest::DoProgress()
{
    const int progress = m_progress.load();
    const TNembraRequestState state = m_state.load();
    std::string message = ProgressMessage();
    if (progress == m_lastProgress && state == m_lastState && message == m_lastMessage)
        return;
    m_lastProgress = progress;
    m_lastState = state;
    m_lastMessage = std::move(message);
    if (OnProgress)
        OnProgress(this);
    else if (TNembraConnection* c = m_connection.load())
        c->DoProgress(*this);
}

void TNembraRequest::DoExecute()
{
    if (OnExecute)
        OnExecute(this);
}

void TNembraRequest::DoExecuteOnConnectionSync()
{
    if (TNembraConnection* c = m_connection.load())
        c->DoExecute(*this);
}
