// The main window's half of the notification center: it makes the center
// when the database has a notifications module with targets, feeds it the
// targets from the menu rows, shows the count on the toolbar item, places
// the center under the toolbar and opens the applet of a clicked
// notification.
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"

#include "Components/Controller/mainwindow/ToolbarBadgeItem.h"
#include "Components/Controller/notifications/NotificationPreferences.h"
#include "Components/Controller/notifications/NotifyCenterIntf.h"
#include "Components/Controller/ovnController.h"
#include "Components/Nembra/ovnOndrel.h"
#include "base/KldLogFile.h"
#include "platform/ImageList.h"
#include "platform/StatusBar.h"

#include <QAction>
#include <QPixmap>

#include <limits>

const char* const SUnableToOpenApplet =
    "Unable to open applet \"%s.%s\"\r\nApplet does not exist or you don't have permissions to run it.";

namespace {

TNotifyCenterFactory& FactorySlot()
{
    static TNotifyCenterFactory factory;
    return factory;
}

// Sets Value back to 0 when it goes, however the block ends.
class TLaunchKindScope
{
  public:
    TLaunchKindScope(int32_t& Value, int32_t Kind) : m_value(Value) { m_value = Kind; }
    ~TLaunchKindScope() { m_value = 0; }
    TLaunchKindScope(const TLaunchKindScope&) = delete;
    TLaunchKindScope& operator=(const TLaunchKindScope&) = delete;

  private:
    int32_t& m_value;
};

} // namespace

TNotifyCenterFactory RegisterNotifyCenterFactory(TNotifyCenterFactory Factory)
{
    TNotifyCenterFactory previous = std::move(FactorySlot());
    FactorySlot() = std::move(Factory);
    return previous;
}

const TNotifyCenterFactory& NotifyCenterFactory()
{
    return FactorySlot();
}

void TfrmOrvaneBrowser4::InitNotifyItem()
{
    m_notifyButton = new TToolbarBadgeItem(m_toolbar, m_notifyItem);
    m_notifyButton->OnDrawImage = [this](TCanvas& Canvas, const TRect& ImageRect) {
        DrawNotifyBadge(Canvas, ImageRect);
    };
    QObject::connect(m_notifyItem, &QAction::triggered, this, [this] {
        try {
            ShowNotifyForm();
        } catch (...) {
            ApplicationHandleException("TfrmOrvaneBrowser4.ShowNotifyForm");
        }
    });
    QObject::connect(m_actions[actNotificationPreferences], &QAction::triggered, this, [this] {
        try {
            if (m_notifyCenter)
                m_notifyCenter->Setup();
        } catch (...) {
            ApplicationHandleException("actNotificationPreferences");
        }
    });
    // Nothing happens unless the shift may be chosen (ShiftInfoExec checks).
    m_statusBar->OnDblClick = [this](TObject*) {
        try {
            ShiftInfoExec();
        } catch (...) {
            ApplicationHandleException("TfrmOrvaneBrowser4.StatusBarDblClick");
        }
    };
}

void TfrmOrvaneBrowser4::InitNotifications()
{
    // The database log-off always ends the center.
    if (m_notifyCenter)
        DoneNotifications();
    SetNotifyCount(0);
    if (m_notificationsModule <= 0)
        return;
    const TNotifyCenterFactory& factory = NotifyCenterFactory();
    std::unique_ptr<INotifyCenter> center = factory ? factory(*this) : nullptr;
    if (!center) {
        // No center in this program: the module counts as absent.
        m_notificationsModule = -1;
        return;
    }
    center->OnNotifyUpdate = [this](TNotifications* Filter) {
        bool accept = true;
        DoOnNotifyUpdate(Filter, accept);
        return accept;
    };
    center->OnNotifySetup = [this] {
        bool changed = false;
        DoOnNotifySetup(changed);
        return changed;
    };
    center->OnNotifyExecute = [this](const TNotifyRow& Row, bool& Handled) { DoOnNotifyExecute(Row, Handled); };
    center->OnNotifyChanged = [this] { DoOnNotifyChanged(); };
    center->OnNotifyBounds = [this] { return DoNotifyFormBounds(); };
    center->SetPictures(*m_iconList);
    // Placed now: the window's moves and resizes so far came before the
    // center, and the first toast hangs from the center's rectangle.
    center->AdjustBounds();
    m_notifyCenter = std::move(center);
    LoadNotifyTargets();
}

void TfrmOrvaneBrowser4::LoadNotifyTargets()
{
    if (m_notificationsModule <= 0 || !m_notifyCenter)
        return;
    TNotifyTargets& targets = m_notifyCenter->Targets();
    targets.Clear();
    TovnOndrelSystem& menu = *m_sysGetMenu;
    if (menu.Active()) {
        const std::string filter = menu.Filter();
        const bool filtered = menu.Filtered();
        menu.SetFilter("C_MODULE = " + std::to_string(m_notificationsModule));
        menu.SetFiltered(true);
        try {
            for (menu.First(); !menu.Eof(); menu.Next()) {
                const std::string icon = menu.FieldByName("Icon_Resource")->AsString();
                targets.Add(menu.FieldByName("Description")->AsString(),
                            icon.empty() ? -1 : m_iconManager->GetIconIndex(icon, -1),
                            menu.FieldByName("Resource")->AsString());
            }
        } catch (...) {
            menu.SetFilter(filter);
            menu.SetFiltered(filtered);
            throw;
        }
        menu.SetFilter(filter);
        menu.SetFiltered(filtered);
    }
    if (targets.Count() > 0) {
        m_notifyCenter->LoadTargets();
        PostMessage(m_handle, WM_NOTIFICATION, 0, 0);
        m_notifyCenter->SetAutoUpdate(600000);
    } else {
        // Nothing may notify: the toolbar item stays hidden.
        m_notificationsModule = -1;
    }
}

void TfrmOrvaneBrowser4::UpdateNotifyTargets()
{
    if (m_notifyCenter)
        m_notifyCenter->UpdateTargets();
}

void TfrmOrvaneBrowser4::DoneNotifications()
{
    SetNotifyCount(0);
    m_notifyCenter.reset();
    if (m_notifyItem)
        m_notifyItem->setVisible(false);
}

void TfrmOrvaneBrowser4::OnNotification(LPARAM LParam)
{
    if (!m_notifyCenter)
        return;
    if (LParam == 0) {
        m_notifyCenter->Refresh();
        m_notifyCenter->ArmToast();
    } else if (LParam < 0) {
        UpdateNotifyTargets();
    } else if (LParam <= std::numeric_limits<int32_t>::max()) {
        m_notifyCenter->DropNotification(static_cast<int32_t>(LParam));
    }
}

void TfrmOrvaneBrowser4::DoOnNotifyUpdate(TNotifications* Filter, bool& Accept)
{
    if (Filter) {
        Filter->FromDate = Now() - 365;
        Filter->ResidentGroups = m_residentGroups;
    }
    Accept = true;
}

void TfrmOrvaneBrowser4::DoOnNotifySetup(bool& Changed)
{
    if (!m_notifyCenter)
        return;
    std::vector<QPixmap> icons;
    for (int i = 0; i < m_iconList->Count(); ++i)
        icons.push_back(QPixmap::fromImage(m_iconList->GetImage(i)));
    if (!ExecNotifySetup(m_notifyCenter->Targets(), &icons, this))
        return;
    Changed = true;
    m_notifyCenter->SaveTargets();
    m_notifyCenter->Refresh();
}

void TfrmOrvaneBrowser4::DoOnNotifyChanged()
{
    SetNotifyCount(m_notifyCenter ? m_notifyCenter->NotificationCount() : 0);
}

void TfrmOrvaneBrowser4::SetNotifyCount(int32_t Count)
{
    m_notifyCount = Count;
    if (m_notifyButton)
        m_notifyButton->Invalidate();
}

void TfrmOrvaneBrowser4::DrawNotifyBadge(TCanvas& Canvas, const TRect& ImageRect)
{
    if (m_notifyCount > 0)
        DoDrawBadge(Canvas, ImageRect, TPoint{0, 2}, IntToStr(m_notifyCount));
}

QRect TfrmOrvaneBrowser4::DoNotifyFormBounds() const
{
    // The toolbar takes the window's top 49 pixels.
    QRect r = rect();
    r.setTop(r.top() + 49);
    r.setBottom(r.bottom() - m_statusBar->height());
    return QRect(mapToGlobal(r.topLeft()), r.size());
}

void TfrmOrvaneBrowser4::ShowNotifyForm()
{
    if (!m_notifyCenter)
        return;
    if (m_notifyCenter->Visible())
        m_notifyCenter->AdjustBounds();
    else
        m_notifyCenter->ShowCenter();
}

void TfrmOrvaneBrowser4::DoOnNotifyExecute(const TNotifyRow& Row, bool& Handled)
{
    const std::string moduleName = Trim(NotifyField(Row, "MODULE_NAME"));
    const std::string resource = Trim(NotifyField(Row, "RESOURCE_NAME"));
    const std::string params = NotifyField(Row, "RESOURCE_PARAMS");
    int32_t module = -1;
    for (int i = 0; i < m_moduleItems->Count(); ++i) {
        const TModuleItem* entry = m_moduleItems->Items(i);
        if (SameText(entry->Name, moduleName)) {
            module = entry->Counter;
            break;
        }
    }
    if (module < 1) {
        Handled = moduleName.empty() && resource.empty();
        if (!Handled)
            throw EovnBrowser(Format(SUnableToOpenApplet, moduleName, resource));
        return;
    }
    if (Controller) {
        TVars& vars = Controller->Vars();
        const int32_t facility = StrToIntDef(NotifyField(Row, "C_FACILITY"), 0);
        if (facility > 0) {
            vars.SetParam("DEFAULT_C_FACILITY", ftInteger, Variant(facility), module);
            vars.SetParam("DEFAULT_STATE", ftString, Variant(NotifyField(Row, "STATE")), module);
            vars.SetParam("DEFAULT_FACILITY", ftString,
                          Variant(Format("[%s] \"%s\"", NotifyField(Row, "FACILITY"), NotifyField(Row, "FACILITY_NAME"))),
                          module);
        }
        const int32_t resident = StrToIntDef(NotifyField(Row, "C_RESIDENT"), 0);
        if (resident > 0) {
            vars.SetParam("DEFAULT_C_RESIDENT", ftInteger, Variant(resident), module);
            vars.SetParam("DEFAULT_RESIDENT", ftString, Variant(NotifyField(Row, "RESIDENT_NAME")), module);
        }
    }
    {
        TLaunchKindScope launch(m_launchKind, 2);
        RunApplet(module, resource, sbResource, 0, params, nullptr, false);
    }
    Handled = true;
}
