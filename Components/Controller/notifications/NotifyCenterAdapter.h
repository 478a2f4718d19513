#pragma once
// The notification center as the main window sees it: TNotifyCenter over
// the data database, behind the window's INotifyCenter. This unit registers
// its factory when the library loads, so every main window of the program
// gets this center after a database sign-in with a notifications module.

#include "Components/Controller/notifications/NotificationForm.h"
#include "Components/Controller/notifications/NotifyCenterIntf.h"
#include "Components/Controller/notifications/NotifyServerDatabase.h"

#include <memory>

class TNotifyCenterAdapter : public INotifyCenter
{
  public:
    // Database: the data database for the center's statements (owned).
    // Parent: the window the center drops down from.
    TNotifyCenterAdapter(std::unique_ptr<TNotifyDatabase> Database, QWidget* Parent);
    ~TNotifyCenterAdapter() override;

    void SetPictures(const TCustomImageList& Images) override;
    TNotifyTargets& Targets() override { return m_center->Targets(); }
    void LoadTargets() override;
    void UpdateTargets() override;
    void SaveTargets() override;
    void Refresh() override;
    void ArmToast() override;
    void SetAutoUpdate(int32_t Milliseconds) override { m_center->SetAutoUpdate(Milliseconds); }
    void DropNotification(int32_t Counter) override;
    int32_t NotificationCount() const override { return m_center->Notifications().Count(); }
    bool Visible() const override { return m_center->isVisible(); }
    void AdjustBounds() override { m_center->AdjustBounds(); }
    void ShowCenter() override { m_center->ShowCenter(); }
    void Setup() override { m_center->SetupNotifications(); }

    TNotifyCenter& Center() const { return *m_center; }

  private:
    std::unique_ptr<TNotifyDatabase> m_db;
    std::unique_ptr<TNotifyCenter> m_center;
};

// The center for a window of this program: its statements run on the
// window's data database ("DATA") as the signed-in user, the facilities
// those of the controller's GetUserFacilities.
std::unique_ptr<INotifyCenter> MakeNotifyCenter(TfrmOrvaneBrowser4& Owner);
