#pragma once
// How applet libraries raise a notification: CreateNotification inserts the
// row and tells every client to refresh; NotifyUsers only tells them.

#include "platform/SysUtils.h"
#include "platform/Variants.h"

#include <cstdint>
#include <string>
#include <vector>

class TovnController;
class TovnApplet;

// Sends {"command":"notify", "message":"$UPDATENOTIFICATIONS"} on the
// controller's notification link. Raises "Unable to perform operation on a
// disconnected client" while the link is not connected. The integer is not
// used; applet libraries pass it all the same.
void NotifyUsers(TovnController* Controller, int32_t Unused = 0);

// Inserts a notification into TBL_Notification on the data database, dated
// Date, for the applet resource ResourceName of the module ModuleName.
// Counters at 0 tie it to nothing; an empty ToUserID leaves it to everybody
// who qualifies. A resident without a facility brings the resident's
// facility; a facility drops the facility group. Then NotifyUsers, then
// 1724 (0, 0) to the main window. Raises "Invalid notification: ..." for a
// blank text or resource; database errors reach the caller, nothing
// inserted. With the link down the row is in and 1724 is not posted.
void CreateNotification(TovnApplet* Applet, TDateTime Date, const std::string& Text, const std::string& ModuleName,
                        const std::string& ResourceName, const std::string& ResourceParams, int32_t Resident,
                        int32_t Facility, int32_t FacilityGroup, int32_t EmployeeGroup, int32_t Employee,
                        const std::string& ToUserID);

namespace NotificationInsert {
extern const char* const Text;
extern const char* const ResidentFacilityText;
struct TArgs
{
    TDateTime Date = 0;
    std::string Text, FromModule, FromResource, ModuleName, ResourceName, ResourceParams;
    int32_t Facility = 0, FacilityGroup = 0, Employee = 0, EmployeeGroup = 0, Resident = 0;
    std::string ToUserID, RecordUser;
    TDateTime Now = 0;
};
// The fifteen values by position; counters above 0 as text, else empty.
std::vector<Variant> Values(const TArgs& A);
// The two validation texts; nothing when valid.
void Validate(const std::string& Text, const std::string& ResourceName);
} // namespace NotificationInsert
