#pragma once
// How applet libraries raise a notification: NotifyUsers tells every client
// connected to the notification server to refresh its notification list.

#include <cstdint>

class TovnController;

// Sends {"command":"notify", "message":"$UPDATENOTIFICATIONS"} on the
// controller's notification link. Raises "Unable to perform operation on a
// disconnected client" while the link is not connected. The integer is not
// used; applet libraries pass it all the same.
void NotifyUsers(TovnController* Controller, int32_t Unused = 0);
