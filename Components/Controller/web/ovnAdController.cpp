#include "Components/Controller/web/ovnAdController.h"

#include "Components/Controller/web/MyWebBrowser.h"
#include "Components/Controller/web/WebAds.h"
#include "base/KldLogFile.h"
#include "platform/Controls.h"

#include <QEventLoop>
#include <QFile>
#include <QMimeDatabase>
#include <QTimer>

const char* const AdServiceKey = "Kw3hv9Rm2pxT0qaZe";
const char* const ProductWebSite = "https://www.tallowin.example/";
const char* const ProductWebSiteName = "www.tallowin.example";

const TovnAdControllerClass TovnMyWebBrowserAdControllerClass = {"TovnMyWebBrowserAdController",
                                                                 &TovnMyWebBrowserAdController::Create};
const TovnAdControllerClass* DefaultAdControllerClass = nullptr;

std::unique_ptr<TovnCustomAdController> CreateAdController(TCustomControl* Panel)
{
    KLD_ASSERT("ovnAdController", DefaultAdControllerClass != nullptr);
    return std::unique_ptr<TovnCustomAdController>(DefaultAdControllerClass->Create(Panel));
}

std::string DefaultAdPage(const std::string& PictureFile)
{
    // The picture travels inside the page as a data: address: the WebEngine
    // view shows a page given as text on a blank base, from which no local
    // file loads.
    QFile file(QString::fromStdString(PictureFile));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return {};
    const QString type =
        QMimeDatabase().mimeTypeForFile(QString::fromStdString(PictureFile), QMimeDatabase::MatchExtension).name();
    return std::string("<center><a href=\"") + ProductWebSite + "\" target=\"_blank\"><img src=\"data:" +
           type.toStdString() + ";base64," + bytes.toBase64().toStdString() + "\" alt=\"" + ProductWebSiteName +
           "\" border=\"0\"></a></center>";
}

// ---------------------------------------------------------------------------
// TovnCustomAdController

TovnCustomAdController::TovnCustomAdController(TCustomControl* AParent)
    : m_panel(AParent), m_alive(std::make_shared<TovnCustomAdController*>(this))
{
    m_timer.SetEnabled(false);
    m_timer.SetInterval(2000);
    m_timer.OnTimer = [this](TTimer*) { TimerTick(); };
}

TovnCustomAdController::~TovnCustomAdController() { *m_alive = nullptr; }

bool TovnCustomAdController::StillRunning(const std::weak_ptr<TovnCustomAdController*>& Token)
{
    const auto alive = Token.lock();
    return alive && *alive != nullptr && (*alive)->Active();
}

void TovnCustomAdController::ArmTimer(uint32_t Ms)
{
    m_timer.SetInterval(Ms);
    m_timer.SetEnabled(true);
}

void TovnCustomAdController::Start()
{
    m_defaultPending = false;
    m_verifyPending = false;
    ArmTimer(2000);
    m_active = true;
}

void TovnCustomAdController::Stop()
{
    m_timer.SetEnabled(false);
    m_defaultPending = false;
    m_verifyPending = false;
    SetVisible(false);
    m_active = false;
}

void TovnCustomAdController::SetActive(bool Value)
{
    if (Value == m_active)
        return;
    if (Value)
        Start();
    else
        Stop();
}

bool TovnCustomAdController::IsHorz() const
{
    return m_panel != nullptr && (m_panel->Align() == alTop || m_panel->Align() == alBottom);
}

bool TovnCustomAdController::Visible() const { return m_panel != nullptr && m_panel->Visible(); }

void TovnCustomAdController::SetVisible(bool Value)
{
    if (m_panel == nullptr)
        return;
    if (Value && m_panel->Align() == alRight)
    {
        m_panel->SetLeft(5000); // docks at the far right
        m_panel->SetWidth(162);
    }
    if (Value && m_panel->Align() == alTop)
        m_panel->SetHeight(90);
    m_panel->SetVisible(Value);
}

void TovnCustomAdController::ShowAd(const std::string& Url) { Log.Debug("Ad navigating to " + Url); }

void TovnCustomAdController::DoOnAdClick(const std::string& Url)
{
    if (OnAdClick)
        OnAdClick(this, Url);
}

std::string TovnCustomAdController::GetAdUrl()
{
    std::string url;
    if (OnGetAdUrl)
        OnGetAdUrl(this, IsHorz(), url);
    return url;
}

std::string TovnCustomAdController::GetDefaultAdHtml()
{
    std::string html;
    if (OnGetDefaultAdHtml)
        OnGetDefaultAdHtml(this, IsHorz(), html);
    return html;
}

void TovnCustomAdController::TimerTick()
{
    m_timer.SetEnabled(false);
    if (m_verifyPending)
        VerifyWebPageContent();
    else if (m_defaultPending)
        ShowAd("");
    else
        ShowAd(GetAdUrl());
}

void TovnCustomAdController::VerifyWebPageContent()
{
    m_verifyPending = false;
    const auto token = AliveToken();
    const bool valid = IsAdValid();
    if (!StillRunning(token))
        return;
    if (valid)
    {
        SetVisible(true);
        return;
    }
    Log.Debug("WebAd is invalid. Will show default ad.");
    m_defaultPending = true;
    ArmTimer(10);
}

void TovnCustomAdController::ShowDefaultAd()
{
    Log.Debug("Showing default ad");
    const std::string html = GetDefaultAdHtml();
    if (!html.empty())
        LoadDefaultAd(html);
}

void TovnCustomAdController::PageLoaded(const std::string& CurrentAddress)
{
    if (m_defaultPending)
    {
        const auto token = AliveToken();
        ShowDefaultAd();
        if (!StillRunning(token))
            return;
        m_defaultPending = false;
        ArmTimer(20000);
        SetVisible(true);
    }
    else if (CurrentAddress != "about:blank")
    {
        m_verifyPending = true;
        ArmTimer(1);
    }
}

// ---------------------------------------------------------------------------
// TovnMyWebBrowserAdController

TovnMyWebBrowserAdController::TovnMyWebBrowserAdController(TCustomControl* AParent)
    : TovnCustomAdController(AParent), m_browser(new TMyWebBrowser(AParent))
{
    m_browser->viewport()->setCursor(Qt::PointingHandCursor);
    m_browser->setFocusPolicy(Qt::NoFocus);
    const TAlign align = AParent != nullptr ? AParent->Align() : alNone;
    const char* edge = align == alRight ? "border-left" : align == alLeft ? "border-right" : nullptr;
    m_browser->setStyleSheet(edge ? QString("QTextBrowser { border: none; %1: 2px groove #a0a0a0; }").arg(edge)
                                  : QString("QTextBrowser { border: none; }"));
    // The panel is as wide as the service's banners: no margin around them.
    m_browser->document()->setDocumentMargin(0);
    m_browser->OnDocumentComplete = [this](TMyWebBrowser* Sender) { PageLoaded(Sender->LocationURL()); };
    // Every click in the panel is an ad click, the default ad's too.
    m_click = TEventObject::Create([this] { DocumentClick(); });
    m_browser->SetDocumentOnClick(m_click);
}

TovnMyWebBrowserAdController::~TovnMyWebBrowserAdController()
{
    Timer().SetEnabled(false);
    delete m_browser;
}

void TovnMyWebBrowserAdController::DocumentClick()
{
    // Cancels the click's default action; the link's address is the ad's.
    if (m_browser.isNull())
        return;
    m_browser->SetEventReturnValue(false);
    const std::string href = m_browser->EventSourceHref();
    if (!href.empty())
        DoOnAdClick(href);
}

void TovnMyWebBrowserAdController::Stop()
{
    TovnCustomAdController::Stop();
    if (m_browser.isNull())
        return;
    m_browser->Navigate("about:blank");
    m_browser->Stop();
}

void TovnMyWebBrowserAdController::SetVisible(bool Value)
{
    TovnCustomAdController::SetVisible(Value);
    if (!m_browser.isNull())
        m_browser->setVisible(Value);
}

void TovnMyWebBrowserAdController::ShowAd(const std::string& Url)
{
    Log.Debug("Ad navigating to: " + Url);
    if (!m_browser.isNull())
        m_browser->Navigate(Url.empty() ? std::string("about:blank") : Url);
}

bool TovnMyWebBrowserAdController::IsAdValid()
{
    if (m_browser.isNull() || !m_browser->HasDocument())
        return false;
    m_browser->SetDocumentOnClick(m_click);
    return m_browser->Source().find(AdServiceKey) != std::string::npos;
}

void TovnMyWebBrowserAdController::LoadDefaultAd(const std::string& Html)
{
    if (m_browser.isNull())
        return;
    if (m_browser->ReadyState() <= READYSTATE_LOADED)
    {
        const auto token = AliveToken();
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            const auto alive = token.lock();
            if (!alive || *alive == nullptr || m_browser.isNull() || m_browser->ReadyState() > READYSTATE_LOADED)
                loop.quit();
        });
        poll.start(10);
        loop.exec();
        if (!StillRunning(token))
            return;
    }
    if (!m_browser.isNull() && m_browser->HasDocument())
        m_browser->LoadHtml(Html);
}
