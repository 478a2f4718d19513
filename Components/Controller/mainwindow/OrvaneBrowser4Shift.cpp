// The main window's shift choice: the employee's day shift and, optionally,
// the resident groups they care for, which narrow the notifications.
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"

#include "Components/Controller/notifications/NotifyCenterIntf.h"
#include "Components/Controller/notifications/NotifyServerDatabase.h"
#include "Components/Controller/notifications/ShiftInfoForm.h"
#include "Components/Controller/ovnController.h"

void TfrmOrvaneBrowser4::ShiftInfoExec()
{
    if (!ShiftSelectionEnabled())
        return;
    TNotifyServerDatabase data([] { return Controller ? Controller->User().ID : std::string(); }, nullptr, "DATA");
    TShiftChoice choice;
    choice.FacilityCode = m_facilityCode;
    choice.FacilityName = m_facilityName;
    choice.EmployeeName = m_employeeName;
    choice.Facility = m_facilityCounter;
    choice.Employee = m_employeeCounter;
    choice.Shift = m_shiftCounter;
    choice.ShiftText = m_shiftText;
    choice.ResidentGroups = m_residentGroups;
    if (!RunShiftInfo(&data, this, choice, ExecuteShiftInfo))
        return;
    m_shiftCounter = choice.Shift;
    m_shiftText = choice.ShiftText;
    m_residentGroups = choice.ResidentGroups;
    UpdateStatusBar();
    if (m_notifyCenter)
        m_notifyCenter->Refresh();
}
