// The main window's session messages: new mail with the mail button's
// badge and the toast, the notification center's message, the window's
// moves, and the ad panels' events with the click's page.
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"

#include "Components/Controller/mail/MailPopup.h"
#include "Components/Controller/mainwindow/ToolbarBadgeItem.h"
#include "Components/Controller/notifications/NotifyCenterIntf.h"
#include "Components/Controller/ovnController.h"
#include "Components/Controller/web/WebAds.h"
#include "Components/Controller/web/ovnAdController.h"
#include "platform/IniFiles.h"
#include "platform/Processes.h"
#include "platform/StatusBar.h"

#include <QAction>
#include <QApplication>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <limits>

const char* const DefaultAdServiceAddress = "http://127.0.0.1:8080";

namespace {

constexpr int32_t MaxCount = std::numeric_limits<int32_t>::max();

int32_t ClampCount(WPARAM Value)
{
    return Value > static_cast<WPARAM>(MaxCount) ? MaxCount : static_cast<int32_t>(Value);
}

} // namespace

std::string AdServiceAddress(const std::string& IniFileName)
{
    std::string base = TIniFile(IniFileName).ReadString("ADS", "Home", "");
    if (base.empty())
        base = DefaultAdServiceAddress;
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    return base;
}

std::string AdServiceUrl(const std::string& Base, const TAdRequest& Request)
{
    return Base + "/services/get_ad.php?x=" + AdServiceKey + "&z=" + HTTPEncode(Request.Zip) +
           "&s=" + HTTPEncode(Request.State) + "&v=" + HTTPEncode(Request.Enterprise + "/" + Request.UserID) +
           "&i=" + HTTPEncode(Request.Industry) + "&p=" + HTTPEncode(Request.Horizontal ? "H" : "V");
}

int32_t NextUnreadMailCount(int32_t Counter, WPARAM WParam, LPARAM LParam)
{
    if (LParam != 0)
        return ClampCount(WParam);
    const int32_t more = std::max<int32_t>(1, ClampCount(WParam));
    const int32_t current = std::max<int32_t>(0, Counter);
    // The counter stops at the largest value instead of wrapping.
    return current > MaxCount - more ? MaxCount : current + more;
}

TRect MailPopupBounds(const TPoint& ButtonTopLeft, const TPoint& WindowOrigin)
{
    return Rect(WindowOrigin.X + ButtonTopLeft.X, WindowOrigin.Y + ButtonTopLeft.Y + 49,
                WindowOrigin.X + ButtonTopLeft.X + 300, WindowOrigin.Y + ButtonTopLeft.Y + 96);
}

bool TfrmOrvaneBrowser4::HandleSessionMessages(TMessage& message)
{
    switch (message.Msg) {
    case WM_NEWMAIL:
        WMNewMail(message.WParam, message.LParam);
        return true;
    case WM_NOTIFICATION:
        OnNotification(message.LParam);
        return true;
    case WM_OPENADPAGE:
        DoOpenAdPage();
        return true;
    case WM_WINDOWPOSCHANGED:
        if (m_notifyCenter)
            m_notifyCenter->AdjustBounds();
        return true;
    default:
        return false;
    }
}

void TfrmOrvaneBrowser4::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    SendMessage(m_handle, WM_WINDOWPOSCHANGED, 0, 0);
}

// ---------------------------------------------------------------------------
// New mail

void TfrmOrvaneBrowser4::InitMailButton()
{
    m_mailButton = new TToolbarBadgeItem(m_toolbar, m_actions[actOrvaneMail]);
    m_mailAnimator = std::make_unique<TAnimator>();
    m_mailAnimator->SetTimeLine({60, 120, 60, 120, 60, 10000});
    m_mailAnimator->SetItem(m_mailButton);
}

void TfrmOrvaneBrowser4::WMNewMail(WPARAM WParam, LPARAM LParam)
{
    QApplication::beep();
    m_unreadMail = NextUnreadMailCount(m_unreadMail, WParam, LParam);
    const bool mailCheck = Controller && Controller->Preferences().MailCheck;
    m_mailAnimator->SetText(IntToStr(m_unreadMail));
    m_mailAnimator->SetAnimate(m_unreadMail >= 1 && mailCheck);
    if (LParam < 1 && mailCheck && Controller->Preferences().MailPopup)
        DoShowMailPopup(std::max(ClampCount(WParam), m_unreadMail));
}

void TfrmOrvaneBrowser4::NewMailDone()
{
    m_unreadMail = 0;
    m_mailAnimator->SetAnimate(false);
    m_actions[actOrvaneMail]->setVisible(AppBrand == 0);
}

void TfrmOrvaneBrowser4::DoShowMailPopup(int32_t Count)
{
    TPoint button{0, 0};
    if (const QToolButton* b = m_mailButton->Button())
        button = TPoint{b->x(), b->y()};
    const QPoint origin = mapToGlobal(QPoint(0, 0));
    const TRect r = MailPopupBounds(button, TPoint{origin.x(), origin.y()});
    auto* popup = new TMailPopup(this);
    popup->OnClick = [this] {
        try {
            m_actions[actOrvaneMail]->trigger();
        } catch (...) {
            ApplicationHandleException("TMailPopup.Click");
        }
    };
    m_mailPopup = popup;
    popup->ShowPopup(QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top), Count);
}

TMailPopup* TfrmOrvaneBrowser4::MailPopup() const
{
    return m_mailPopup.data();
}

// ---------------------------------------------------------------------------
// Ads

void TfrmOrvaneBrowser4::CreateAdControllers()
{
    if (!ShellOpener)
        ShellOpener = [](const std::string& Address) { return ShellOpen(Address); };
    // Without a web back-end there is nothing to show ads in.
    if (!DefaultAdControllerClass)
        return;
    auto wire = [this](TovnCustomAdController& Ad) {
        Ad.OnGetAdUrl = [this](TovnCustomAdController* Sender, bool Horizontal, std::string& Url) {
            DoOnGetAdUrl(Sender, Horizontal, Url);
        };
        Ad.OnGetDefaultAdHtml = [this](TovnCustomAdController* Sender, bool Horizontal, std::string& Html) {
            DoOnGetDefaultAdHtml(Sender, Horizontal, Html);
        };
        Ad.OnAdClick = [this](TovnCustomAdController* Sender, const std::string& Url) { DoOnAdClick(Sender, Url); };
    };
    m_adControllerV = CreateAdController(m_pnlAdV);
    wire(*m_adControllerV);
    m_adControllerH = CreateAdController(m_pnlAdH);
    wire(*m_adControllerH);
}

void TfrmOrvaneBrowser4::DoOnGetAdUrl(TovnCustomAdController*, bool Horizontal, std::string& Url)
{
    TAdRequest request;
    if (Controller) {
        const TAdminUser& user = Controller->User();
        request.Zip = user.ADZip;
        request.State = user.ADState;
        request.Enterprise = user.Enterprise;
        request.UserID = user.ID;
        request.Industry = user.ADIndustry;
    }
    request.Horizontal = Horizontal;
    // Read afresh: the demo names its server there before the start.
    Url = AdServiceUrl(AdServiceAddress(m_iniFileName), request);
}

void TfrmOrvaneBrowser4::DoOnGetDefaultAdHtml(TovnCustomAdController*, bool Horizontal, std::string& Html)
{
    Html.clear();
    const std::string file = Horizontal ? "tlw-ad-h.png" : "tlw-ad.png";
    const std::string name = Horizontal ? "$$DUMMYAD-H$$" : "$$DUMMYAD$$";
    std::string path;
    try {
        if (Controller) {
            Controller->AddResourceFile(name, file);
            path = Controller->GetResourceFile(name);
        }
    } catch (...) {
        // The panel then simply has no default page.
        path.clear();
    }
    if (!path.empty())
        Html = DefaultAdPage(path);
}

void TfrmOrvaneBrowser4::DoOnAdClick(TovnCustomAdController*, const std::string& Url)
{
    m_pendingAdUrl = Url;
    PostMessage(m_handle, WM_OPENADPAGE, 0, 0);
}

void TfrmOrvaneBrowser4::DoOpenAdPage()
{
    if (m_pendingAdUrl.empty())
        return;
    const std::string address = m_pendingAdUrl;
    m_pendingAdUrl.clear();
    if (ShellOpener)
        ShellOpener(address);
}
