#include "Components/Controller/notifications/NotifyCenterAdapter.h"

#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/ovnController.h"
#include "Components/Nembra/ovnDataSet.h"
#include "platform/ImageList.h"

TNotifyCenterAdapter::TNotifyCenterAdapter(std::unique_ptr<TNotifyDatabase> Database, QWidget* Parent)
    : m_db(std::move(Database)), m_center(std::make_unique<TNotifyCenter>(m_db.get(), Parent))
{
    TNotifyCenter& c = *m_center;
    c.OnNotifyUpdate = [this](TNotifications* Filter) { return OnNotifyUpdate ? OnNotifyUpdate(Filter) : true; };
    c.OnNotifySetup = [this] { return OnNotifySetup ? OnNotifySetup() : false; };
    // The center located the row before it asks.
    c.OnNotifyExecute = [this](TNotifyItem*, bool& Accepted) {
        const TNotifyRow* row = m_center->Notifications().Located();
        if (row && OnNotifyExecute)
            OnNotifyExecute(*row, Accepted);
    };
    c.OnNotifyChanged = [this] {
        if (OnNotifyChanged)
            OnNotifyChanged();
    };
    c.OnNotifyBounds = [this] { return OnNotifyBounds ? OnNotifyBounds() : m_center->geometry(); };
}

// The events reach this object; the center goes first.
TNotifyCenterAdapter::~TNotifyCenterAdapter()
{
    m_center.reset();
}

// The list itself, not a copy: the targets' pictures join it later.
void TNotifyCenterAdapter::SetPictures(const TCustomImageList& Images)
{
    m_center->Icons = &Images;
}

void TNotifyCenterAdapter::LoadTargets()
{
    m_center->Notifications().LoadTargets();
}

void TNotifyCenterAdapter::UpdateTargets()
{
    LoadTargets();
    Refresh();
}

void TNotifyCenterAdapter::SaveTargets()
{
    m_center->Notifications().SaveTargets();
}

void TNotifyCenterAdapter::Refresh()
{
    m_center->UpdateNotifications();
}

void TNotifyCenterAdapter::ArmToast()
{
    m_center->Popup()->Cycle().Armed = true;
}

// Only the list forgets it; the server is not told.
void TNotifyCenterAdapter::DropNotification(int32_t Counter)
{
    m_center->Notifications().DeleteItem(Counter);
}

std::unique_ptr<INotifyCenter> MakeNotifyCenter(TfrmOrvaneBrowser4& Owner)
{
    auto userID = [] { return Controller ? Controller->User().ID : std::string(); };
    auto facilities = [] {
        std::vector<int32_t> counters;
        if (!Controller)
            return counters;
        TovnDataSet list;
        Controller->GetUserFacilities(&list);
        for (list.First(); !list.Eof(); list.Next())
            counters.push_back(list.FieldByName("COUNTER")->AsInteger());
        return counters;
    };
    return std::make_unique<TNotifyCenterAdapter>(std::make_unique<TNotifyServerDatabase>(userID, facilities, "DATA"),
                                                  &Owner);
}

namespace {
// Every main window of the program gets this center.
[[maybe_unused]] const bool s_registered = [] {
    RegisterNotifyCenterFactory(MakeNotifyCenter);
    return true;
}();
} // namespace
