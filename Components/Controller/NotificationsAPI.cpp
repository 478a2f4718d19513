#include "Components/Controller/NotificationsAPI.h"

#include "Components/Controller/ovnController.h"

void NotifyUsers(TovnController* Controller, int32_t /*Unused*/)
{
    KLD_ASSERT("NotificationsAPI", Controller != nullptr);
    Controller->NotificationClient().SendNotification("$UPDATENOTIFICATIONS", "", "");
}
