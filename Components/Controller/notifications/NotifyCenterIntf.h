#pragma once
// What the main window asks of the notification center, and how it gets
// one. The center's unit registers a factory at start-up; without one the
// window has no center: the notifications module counts as absent and its
// toolbar item stays hidden.
//
// The window creates the center at the end of a database sign-in (only
// when the database has a notifications module), wires the events below,
// fills the targets from the menu rows and frees the center at the
// database log-off. Main thread only.

#include "Components/Controller/notifications/Notifications.h"

#include <QRect>

#include <functional>
#include <memory>

class QPixmap;
class TCustomImageList;
class TfrmOrvaneBrowser4;

class INotifyCenter
{
  public:
    virtual ~INotifyCenter() = default;

    // --- Events the window handles
    // Before each refresh: the window sets the filter's start time and
    // resident groups; false refuses the refresh.
    std::function<bool(TNotifications* Filter)> OnNotifyUpdate;
    // The preferences dialog over the targets: when the user changed them
    // the window has the list save them and the center refresh already;
    // answers whether they changed.
    std::function<bool()> OnNotifySetup;
    // A notification was clicked; Row is the list's row of it. Handled
    // false keeps it in the list. May raise (an unknown module).
    std::function<void(const TNotifyRow& Row, bool& Handled)> OnNotifyExecute;
    // The list changed (its count is NotificationCount()).
    std::function<void()> OnNotifyChanged;
    // Where the center drops down, in screen coordinates.
    std::function<QRect()> OnNotifyBounds;

    // --- What the window calls
    // The pictures of the targets and notifications (the module icons): the
    // window's list itself, which the targets' pictures join after this
    // call. Held guarded: once the list is freed, no picture is drawn.
    virtual void SetPictures(const TCustomImageList& Images) = 0;
    // The applets that may raise notifications.
    virtual TNotifyTargets& Targets() = 0;
    // The notification list loads the user's choice for the targets.
    virtual void LoadTargets() = 0;
    // The list reloads the targets, then the center refreshes.
    virtual void UpdateTargets() = 0;
    // The list stores the user's choice for the targets.
    virtual void SaveTargets() = 0;
    // Refreshes the list (raising OnNotifyUpdate first).
    virtual void Refresh() = 0;
    // Later refreshes may show the toast of a new notification.
    virtual void ArmToast() = 0;
    // Refreshes by itself every Milliseconds (0: never).
    virtual void SetAutoUpdate(int32_t Milliseconds) = 0;
    // The list drops the notification with that counter.
    virtual void DropNotification(int32_t Counter) = 0;
    virtual int32_t NotificationCount() const = 0;
    virtual bool Visible() const = 0;
    // Places itself from OnNotifyBounds (the window moved or resized).
    virtual void AdjustBounds() = 0;
    // Drops down.
    virtual void ShowCenter() = 0;
    // The preferences action: the center's own set-up (OnNotifySetup).
    virtual void Setup() = 0;
};

// Makes the center for the window; Owner is the main window.
using TNotifyCenterFactory = std::function<std::unique_ptr<INotifyCenter>(TfrmOrvaneBrowser4& Owner)>;

// Registers the factory (an empty one removes it); answers the previous.
TNotifyCenterFactory RegisterNotifyCenterFactory(TNotifyCenterFactory Factory);
const TNotifyCenterFactory& NotifyCenterFactory();
