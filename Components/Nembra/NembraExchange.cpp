// One remote call on the wire: what a connection sends for a request, and
// what it concludes from the reply.
//
// 1. A transport comes from the pool with the session cookies; the request's
//    timings are zeroed and its reply dropped.
// 2. The address is the server address + "/" + procedure name + Extension.
//    On an active connection the session cookie's value is noted.
// 3. The body is the request's parameters, form-encoded (names as they are,
//    values through HTTPEncode, joined with "&"), with the time-stamp
//    parameter on POSTs when the connection asks for it.
// 4. A failed exchange raises "Unable to connect to server: %s" (or runs
//    OnRequestError) and always ends with a silent abort once the request was
//    aborted or the event ran.
// 5. A gzip reply is inflated; the reply becomes the request's Response.
// 6. A status other than 200 raises the reply text without its HTML tags.
// 7. A progress stream's final chunk names a handle; the result is fetched
//    with a second exchange whose whole body is "ResponseHandle=" + handle.
// 8. A session cookie that changed during the call ends the session.
// 9. JSON requests raise the reply's "Error" member as a TNembraException.

#include "Components/Nembra/NembraConnection.h"

#include "Components/Nembra/NembraDebugMode.h"
#include "Components/Nembra/NembraJSON.h"
#include "Components/Nembra/NembraLib.h"

#include "base/KldLogFile.h"
#include "platform/DateUtils.h"

#include <utility>

namespace {

const char* const kSessionLost = "Your session on server has expired or was terminated. Please login again.";
const char* const kInvalidResponse = "Invalid response received from server";

// Runs the end of an exchange whatever happened: the transport forgets the
// request, the request ends idle, and the total time is taken.
class TExchangeEnd
{
  public:
    TExchangeEnd(TNembraTransport& Transport, TNembraRequest& Request) : m_transport(Transport), m_request(Request)
    {
        BeginMeasure(m_total);
    }
    void Run()
    {
        if (m_done)
            return;
        m_done = true;
        m_transport.SetRequest(nullptr);
        m_request.Profiling().Total = EndMeasure(m_total);
        m_request.SetState(vrsIdle);
    }
    // On the way out of a failed exchange: the first error is the one that
    // counts, so an error of the progress receiver here is dropped.
    ~TExchangeEnd()
    {
        try {
            Run();
        } catch (...) {
        }
    }

  private:
    TNembraTransport& m_transport;
    TNembraRequest& m_request;
    int64_t m_total = 0;
    bool m_done = false;
};

class TPoolReturn
{
  public:
    TPoolReturn(TNembraConnection& Connection, std::unique_ptr<TNembraTransport>& Transport)
        : m_connection(Connection), m_transport(Transport)
    {
    }
    ~TPoolReturn() { m_connection.ReleaseTransport(std::move(m_transport)); }

  private:
    TNembraConnection& m_connection;
    std::unique_ptr<TNembraTransport>& m_transport;
};

std::string StatusErrorText(TNembraTransport& T, TNembraRequest& Request)
{
    std::string text = Trim(TrimHtmlTags(ReplyTextToUTF8(Request.ResponseText())));
    if (text.empty())
        text = Trim(Format("Server error: HTTP %d %s", T.ResultCode(), T.ResultString()));
    return text;
}

} // namespace

std::string TNembraConnection::BuildRequestBody(const TNembraRequest& Request) const
{
    const TStrings& params = Request.Params();
    std::string body;
    for (int i = 0; i < params.Count(); ++i) {
        const std::string line = params.Get(i);
        const size_t eq = line.find('=');
        if (i > 0)
            body += '&';
        if (eq != std::string::npos && eq > 0) {
            body.append(line, 0, eq);
            body += '=';
            body += HTTPEncode(std::string_view(line).substr(eq + 1));
        } else {
            // No "=" past the first character: all name, empty value.
            body += line;
            body += '=';
        }
    }
    if (m_appendTimeStampToPost && SameText(Request.GetHTTPMethod(), "POST")) {
        if (!body.empty())
            body += '&';
        body += m_timeStampParamName.empty() ? std::string("_qts") : m_timeStampParamName;
        // Not encoded: the blank between date and time travels as it is.
        // The wire format, whatever separators the user's settings name.
        body += '=' + DateTimeToJSONStr(Now());
    }
    return body;
}

void TNembraConnection::PrepareTransport(TNembraTransport& T, TNembraRequest& Request)
{
    T.SetLastUsed(Now());
    T.SetRequest(&Request);
    Request.SetResponse(nullptr);
    Request.ClearJSONObject();
    T.Headers().Clear();
    T.Document().Clear();
    T.SetProgressOffset(0);
    T.SetProgressMode(false);
    Request.Profiling().BytesSent = 0;
    Request.Profiling().BytesReceived = 0;
    SetupRequestHeaders(Request, T.Headers());
    T.SetMimeType("application/x-www-form-urlencoded");
    if (NembraClientDebugMode)
        T.SetSendChunk(2048);
}

void TNembraConnection::SendRequest(TNembraTransport& T, TNembraRequest& Request, const std::string& URL,
                                    const std::string& Body)
{
    if (!Body.empty())
        T.Document().Append(Body.data(), Body.size());
    T.Document().SetPosition(0);
    if (T.HTTPMethod(Request.GetHTTPMethod(), URL))
        return;
    T.CloseSocket();
    if (!Request.Aborted()) {
        Log.Warning(Format("%s: %s", URL, T.ErrorText()), ClassName(), Request.ProcedureName());
        if (!OnRequestError)
            throw Exception(Format("Unable to connect to server: %s", GetServerURL()));
        OnRequestError(this, &Request);
    }
    ::Abort();
}

void TNembraConnection::DecodeReply(TNembraTransport& T, TNembraRequest& Request)
{
    auto reply = std::make_unique<TNembraMemoryStream>();
    if (SameText(T.GetResponseHeader("Content-Encoding"), "gzip")) {
        int64_t measure = 0;
        BeginMeasure(measure);
        const bool ok = GunzipReply(T.Document().View(), *reply);
        Request.Profiling().Decompression = EndMeasure(measure);
        T.Document().Clear();
        if (!ok)
            throw TNembraException(kInvalidResponse);
    } else {
        // The buffer moves to the request; the transport keeps an empty one.
        reply->Swap(T.Document());
    }
    reply->SetPosition(0);
    Request.SetResponse(std::move(reply));
}

void TNembraConnection::RecordExchange()
{
    m_lastExchangeTick = GetTickCount64();
    m_online = true;
}

void TNembraConnection::FetchProgressResult(TNembraTransport& T, TNembraRequest& Request, const std::string& URL)
{
    Request.SetResponseType(qrtJSON);
    Request.CheckResponse();
    const std::string handle = Request.GetJSONObject().GetValues("handle").GetAsString();
    if (handle.empty())
        throw Exception(Format("Error executing procedure: %s", Request.ProcedureName()) +
                        "\r\nEmpty response handle.");
    PrepareTransport(T, Request);
    const std::string body = "ResponseHandle=" + HTTPEncode(handle);
    T.Document().Append(body.data(), body.size());
    if (!T.HTTPMethod(Request.GetHTTPMethod(), URL)) {
        T.CloseSocket();
        if (Request.Aborted())
            ::Abort();
        throw Exception(Format("Error executing procedure: %s", URL));
    }
    DecodeReply(T, Request);
}

void TNembraConnection::InternalExecuteRequest(TNembraRequest& Request)
{
    std::unique_ptr<TNembraTransport> transport = GetTransport();
    TPoolReturn poolReturn(*this, transport);
    TNembraTransport& t = *transport;
    ResetProfiling(Request.Profiling());
    {
        TExchangeEnd end(t, Request);
        Request.SetState(vrsIdle);
        Request.SetResponse(nullptr);

        const std::string url = GetServiceURL(Request.ProcedureName());
        // The session cookie as this call starts: the server may replace it
        // only by ending the session.
        std::string noted;
        if (Active())
            noted = t.Cookies().Values(m_sessionCookieName);

        PrepareTransport(t, Request);
        Request.SetState(vrsSending);
        SendRequest(t, Request, url, BuildRequestBody(Request));
        DecodeReply(t, Request);

        RecordExchange();
        Request.SetState(vrsReceiving);
        Request.SetProgress(100);
        Request.DoProgress();
        if (Request.Aborted())
            ::Abort();
        if (t.ResultCode() != 200)
            throw Exception(StatusErrorText(t, Request));
        if (t.ProgressMode())
            FetchProgressResult(t, Request, url);

        if (!noted.empty() && t.Cookies().Values(m_sessionCookieName) != noted) {
            m_active = false;
            m_sessionTerminated = true;
            throw Exception(kSessionLost);
        }
        Request.ResponseHeaders().Assign(t.ResponseHeaders());
        Request.CheckResponse();
        end.Run();
    }
    Request.DoExecute();
}
