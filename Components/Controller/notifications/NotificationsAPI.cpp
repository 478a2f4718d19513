#include "Components/Controller/notifications/NotificationsAPI.h"

#include "Components/Controller/LibController.h"
#include "Components/Controller/applets/ovnApplet.h"
#include "Components/Controller/ovnController.h"
#include "platform/DateUtils.h"
#include "platform/Messages.h"

void NotifyUsers(TovnController* Controller, int32_t /*Unused*/)
{
    KLD_ASSERT("NotificationsAPI", Controller != nullptr);
    Controller->NotificationClient().SendNotification("$UPDATENOTIFICATIONS", "", "");
}

namespace NotificationInsert {

const char* const Text = "INSERT INTO TBL_Notification (\n"
                         "  Counter, Notification_Date, Notification_Text, From_Module, From_Resource, Module_Name, "
                         "Resource_Name,\n"
                         "  Resource_Params, C_Facility, C_FacilityGroup, C_Employee, C_EmployeeGroup,\n"
                         "  To_User_ID, Record_User, Record_Date_Time, C_Resident\n"
                         ") VALUES (\n"
                         " SEQ_Notification.NextVal,\n"
                         " TO_DATE(:Notification_Date, 'YYYY-MM-DD HH24:MI:SS'),\n"
                         " :Notification_Text,\n"
                         " :From_Module,\n"
                         " :From_Resource,\n"
                         " :Module_Name,\n"
                         " :Resource_Name,\n"
                         " :Resource_Params,\n"
                         " :C_Facility,\n"
                         " :C_FacilityGroup,\n"
                         " :C_Employee,\n"
                         " :C_EmployeeGroup,\n"
                         " :To_User_ID,\n"
                         " :Record_User,\n"
                         " TO_DATE(:Record_Date_Time, 'YYYY-MM-DD HH24:MI:SS'),\n"
                         " :C_Resident\n"
                         ")";

const char* const ResidentFacilityText = "SELECT C_Facility FROM TBL_RESIDENT WHERE Counter = :C_Resident";

namespace {
std::string Counter(int32_t Value) { return Value > 0 ? std::to_string(Value) : std::string(); }
std::string Stamp(TDateTime Value) { return FormatDateTime("yyyy-mm-dd hh:nn:ss", Value); }
} // namespace

std::vector<Variant> Values(const TArgs& A)
{
    return {Stamp(A.Date),       A.Text,           A.FromModule,          A.FromResource,      A.ModuleName,
            A.ResourceName,      A.ResourceParams, Counter(A.Facility),   Counter(A.FacilityGroup),
            Counter(A.Employee), Counter(A.EmployeeGroup), A.ToUserID,    A.RecordUser,        Stamp(A.Now),
            Counter(A.Resident)};
}

void Validate(const std::string& NotificationText, const std::string& ResourceName)
{
    if (Trim(ResourceName).empty())
        throw Exception("Invalid notification: Resource Name required");
    if (Trim(NotificationText).empty())
        throw Exception("Invalid notification: Resource Text required");
}

} // namespace NotificationInsert

void CreateNotification(TovnApplet* Applet, TDateTime Date, const std::string& Text, const std::string& ModuleName,
                        const std::string& ResourceName, const std::string& ResourceParams, int32_t Resident,
                        int32_t Facility, int32_t FacilityGroup, int32_t EmployeeGroup, int32_t Employee,
                        const std::string& ToUserID)
{
    KLD_ASSERT("NotificationsAPI", Applet != nullptr && Applet->Controller != nullptr);
    TovnController* controller = Applet->Controller;
    NotificationInsert::TArgs a;
    a.FromModule = controller->GetModuleName(Applet->Module);
    NotificationInsert::Validate(Text, ResourceName);
    if (Facility < 1 && Resident > 0)
        Facility = StrToIntDef(VarToStr(LibController::LookupValue(NotificationInsert::ResidentFacilityText, {Resident})), 0);
    if (Facility > 0)
        FacilityGroup = 0;
    a.Date = Date;
    a.Text = Text;
    a.FromResource = Applet->Resource;
    a.ModuleName = ModuleName;
    a.ResourceName = ResourceName;
    a.ResourceParams = ResourceParams;
    a.Facility = Facility;
    a.FacilityGroup = FacilityGroup;
    a.Employee = Employee;
    a.EmployeeGroup = EmployeeGroup;
    a.Resident = Resident;
    a.ToUserID = ToUserID;
    a.RecordUser = controller->User().ID;
    a.Now = Now();
    LibController::ExecuteSQL(NotificationInsert::Text, NotificationInsert::Values(a));
    NotifyUsers(controller);
    PostMessage(controller->GetBrowserHandle(), 1724, 0, 0);
}
