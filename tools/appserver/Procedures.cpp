#include "Procedures.h"

#include "Sessions.h"

#include <algorithm>
#include <cctype>

namespace {

std::string Upper(std::string_view s)
{
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return out;
}

bool SameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
}

} // namespace

TCall::TCall(TAppServer& server, std::string procedure, Wire::TParams params, std::string rawBody, TOrigin origin,
             std::shared_ptr<TSession> session)
    : m_server(server), m_procedure(std::move(procedure)), m_params(std::move(params)), m_rawBody(std::move(rawBody)),
      m_origin(std::move(origin)), m_session(std::move(session)), m_json(m_buffer)
{
    m_json.StartObject();
}

std::string TCall::Param(std::string_view name) const
{
    for (const auto& [n, v] : m_params)
        if (SameName(n, name))
            return v;
    return {};
}

bool TCall::HasParam(std::string_view name) const
{
    return std::any_of(m_params.begin(), m_params.end(), [&](const auto& p) { return SameName(p.first, name); });
}

std::string TCall::RequiredParam(std::string_view name) const
{
    std::string value = Param(name);
    if (value.empty())
        throw Wire::EProcedureError(Wire::ErrMissingParameter, "Parameter " + std::string(name) + " is missing.");
    return value;
}

std::string TCall::Header(const std::string& name) const
{
    const auto it = m_origin.Headers.find(Upper(name));
    return it == m_origin.Headers.end() ? std::string() : it->second;
}

TSession& TCall::RequireSession()
{
    if (!m_session)
        throw Wire::EProcedureError(Wire::ErrNoSession, "Session expired or not signed in. Please login again.");
    return *m_session;
}

void TCall::CheckSecret()
{
    TSession& session = RequireSession();
    const std::string secret = Param("Secret");
    if (secret.empty() || secret != Wire::RequestProof(session.Id, session.SecretKey))
        throw Wire::EProcedureError(Wire::ErrRequestProof, "Invalid request proof.");
}

void TCall::ReplyText(std::string text)
{
    m_hasText = true;
    m_text = std::move(text);
}

void TCall::ReplyData(std::string data, const char* contentType)
{
    ReplyText(std::move(data));
    m_textType = contentType;
}

void TCall::AddReplyHeader(std::string name, std::string value)
{
    m_replyHeaders.emplace_back(std::move(name), std::move(value));
}

std::string TCall::TakeJsonMembers()
{
    // The object is still open: its text ends with the last member.
    return std::string(m_buffer.GetString(), m_buffer.GetSize());
}

void TCall::Progress(int percent, const std::string& message)
{
    ProgressText(std::to_string(percent) + " " + message);
}

void TCall::ProgressText(const std::string& text)
{
    if (m_progressSink && !m_progressSink(text))
        throw EClientGone{};
}

void TProcedureTable::Add(const std::string& name, TProcedureHandler handler, bool alwaysStreams)
{
    m_procedures[Upper(name)] = TProcedure{std::move(handler), alwaysStreams};
}

const TProcedure* TProcedureTable::Find(const std::string& name) const
{
    const auto it = m_procedures.find(Upper(name));
    return it == m_procedures.end() ? nullptr : &it->second;
}
