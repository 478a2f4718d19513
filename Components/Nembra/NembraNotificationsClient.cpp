#include "Components/Nembra/NembraNotificationsClient.h"

#include "Components/Nembra/NembraLib.h"
#include "Components/Nembra/NembraTransport.h"
#include "base/KldLogFile.h"
#include "platform/WebSocket.h"

#include <algorithm>

namespace {
// Command templates; the blank after each comma is part of the format.
constexpr const char* SetTemplate = "{\"command\":\"set\", \"parameter\":%s, \"value\":%s}";
constexpr const char* NotifyTemplate = "{\"command\":\"notify\", \"message\":%s}";
constexpr const char* NotifyValueTemplate =
    "{\"command\":\"notify\", \"message\":%s, \"parameter\":%s, \"value\":%s}";
constexpr const char* NotifyValuesTemplate =
    "{\"command\":\"notify\", \"message\":%s, \"parameter\":%s, \"values\":[%s]}";
constexpr const char* KeepAliveCommand = "{\"command\":\"keepalive\"}";
} // namespace

TNembraNotificationsClient::TNembraNotificationsClient(TComponent* AOwner) : TComponent(AOwner) {}

TNembraNotificationsClient::~TNembraNotificationsClient()
{
    // Marked as going first, so that tearing the link down raises no event.
    TComponent::Destroying();
    try {
        Disconnect();
    } catch (...) {
    }
}

void TNembraNotificationsClient::SetConnected(bool Value)
{
    if (Value == m_connected)
        return;
    if (Value)
        Connect();
    else
        Disconnect();
}

void TNembraNotificationsClient::SetKeepAlive(bool Value)
{
    if (Value == m_keepAlive)
        return;
    m_keepAlive = Value;
    if (m_keepAlive && m_connected)
        StartKeepAliveTimer();
    else
        StopKeepAliveTimer();
}

void TNembraNotificationsClient::SetKeepAliveInterval(int32_t Value)
{
    if (Value == m_keepAliveInterval)
        return;
    m_keepAliveInterval = Value;
    if (m_keepAliveTimer)
        m_keepAliveTimer->SetInterval(KeepAliveTick());
}

uint32_t TNembraNotificationsClient::KeepAliveTick() const
{
    return std::max<uint32_t>(NembraMinKeepAliveInterval,
                              uint32_t(std::max<int32_t>(m_keepAliveInterval, 0)));
}

bool TNembraNotificationsClient::LinkAlive() const
{
    return m_link && (m_link->CanReceive() || m_link->CanSend());
}

// ---------------------------------------------------------------------------
// Commands

void TNembraNotificationsClient::SetParam(const std::string& Parameter, const std::string& Value)
{
    SendText(Format(SetTemplate, StrToJSON(Parameter), StrToJSON(Value)));
}

void TNembraNotificationsClient::SendNotification(const std::string& Msg, const std::string& Parameter,
                                                  const std::string& Value)
{
    if (Parameter.empty())
        SendText(Format(NotifyTemplate, StrToJSON(Msg)));
    else
        SendText(Format(NotifyValueTemplate, StrToJSON(Msg), StrToJSON(Parameter), StrToJSON(Value)));
}

void TNembraNotificationsClient::SendNotification(const std::string& Msg, const std::string& Parameter,
                                                  const std::vector<std::string>& Values)
{
    if (Parameter.empty())
        throw Exception("Parameter name is not specified");
    std::string values;
    for (const std::string& value : Values)
        values += (values.empty() ? "" : ",") + StrToJSON(value);
    SendText(Format(NotifyValuesTemplate, StrToJSON(Msg), StrToJSON(Parameter), values));
}

void TNembraNotificationsClient::SendText(const std::string& Text)
{
    if (!m_connected)
        throw Exception("Unable to perform operation on a disconnected client");
    // Inside OnDisconnected the link is gone while Connected is still set:
    // the text is lost, as on a link that has not opened yet.
    if (m_link)
        m_link->SendText(Text);
}

// ---------------------------------------------------------------------------
// The link

void TNembraNotificationsClient::Connect()
{
    Log.Debug("VNS.Connect. Host:\"%s\" Port:\"%s\"", {m_host, m_port}, ClassName());
    KLD_ASSERT("NembraNotificationsClient", !m_connected && !m_link);
    if (OnConnecting)
        OnConnecting(this);
    m_link = std::make_unique<TWebSocketClient>(m_host, m_port, m_resourceName.empty() ? "/" : m_resourceName,
                                                m_secure);
    m_link->SetMaxMessageSize(NembraMaxNotificationSize);
    m_link->OnOpen = [this] { DoOnOpen(); };
    m_link->OnMessage = [this](const std::string& payload) { DoOnRead(payload); };
    m_link->Start();
    m_connected = true;
    if (m_keepAlive)
        StartKeepAliveTimer();
}

void TNembraNotificationsClient::DoOnOpen()
{
    Log.Debug("VNS.DoOnOpen", ClassName());
    if (IsDestroying() || !m_link)
        return;
    m_opened = true;
    Log.Debug("VNS.FOnConnected", ClassName());
    if (OnConnected)
        OnConnected(this);
    if (!m_keyTokenName.empty() && !m_keyToken.empty())
        SetParam(m_keyTokenName, m_keyToken);
}

void TNembraNotificationsClient::DoOnRead(const std::string& Payload)
{
    if (!m_link || IsDestroying())
        return;
    // Text frames are UTF-8 already; a binary message from a server still
    // writing its code page is read as Windows-1252.
    const std::string text = ReplyTextToUTF8(Payload);
    if (!text.empty() && OnMessage)
        OnMessage(this, text);
}

void TNembraNotificationsClient::Disconnect()
{
    Log.Debug("VNS.Disconnect", ClassName());
    StopKeepAliveTimer();
    if (m_link) {
        // Detached before it goes, so that nothing it still reports reaches
        // this client.
        std::unique_ptr<TWebSocketClient> link = std::move(m_link);
        link->OnOpen = nullptr;
        link->OnMessage = nullptr;
        link.reset();
        DoOnDisconnected();
    }
    m_connected = false;
}

void TNembraNotificationsClient::DoOnDisconnected()
{
    if (m_opened && !IsDestroying() && OnDisconnected) {
        m_opened = false;
        OnDisconnected(this);
    }
}

// ---------------------------------------------------------------------------
// Keep-alive

void TNembraNotificationsClient::StartKeepAliveTimer()
{
    if (m_inKeepAlive)
        return;
    m_keepAliveTimer.reset();
    m_keepAliveTimer = std::make_unique<TNembraTimer>();
    m_keepAliveTimer->SetInterval(KeepAliveTick());
    m_keepAliveTimer->SetOnTimer([this](TObject* sender) { DoOnKeepAliveTimer(sender); });
    m_keepAliveTimer->SetEnabled(true);
    Log.Debug("VNS.StartKeepAliveTimer", ClassName());
}

void TNembraNotificationsClient::StopKeepAliveTimer()
{
    if (m_inKeepAlive)
        return;
    m_keepAliveTimer.reset();
    Log.Debug("VNS.StopKeepAliveTimer", ClassName());
}

void TNembraNotificationsClient::DoOnKeepAliveTimer(TObject* Sender)
{
    Log.Debug("VNS.DoOnKeepAliveTimer", ClassName());
    m_keepAliveTimer->SetEnabled(false);
    m_inKeepAlive = true;
    // Whatever happens, the next tick comes one full interval from now.
    struct TRestart
    {
        TNembraNotificationsClient& Client;
        ~TRestart()
        {
            Client.m_inKeepAlive = false;
            if (Client.m_keepAliveTimer) {
                try {
                    Client.m_keepAliveTimer->SetEnabled(true);
                } catch (...) {
                }
            }
        }
    } restart{*this};
    if (!LinkAlive())
        SetConnected(false);
    SetConnected(true);
    SendText(KeepAliveCommand);
}
