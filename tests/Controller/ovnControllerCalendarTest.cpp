// The controller's calendar service runs the calendar picker on the edit it
// is given (the applet object and the combos' calendar tools use it); the
// combos reach it through the registration it fills while it lives.

#include "Components/Controller/files/ovnUtils.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/ovnController.h"
#include "NoWebRuntime.h"
#include "base/KldLogFile.h"
#include "platform/IniFiles.h"
#include "platform/Mask.h"
#include "support/DialogScript.h"
#include "support/TempFolder.h"
#include "ui/ovnCalendar.h"

#include <QCalendarWidget>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

TEST(ovnControllerCalendar, RunsThePickerOnTheEdit)
{
    TNoWebRuntime noWebRuntime;
    TTempFolder dir;
    ovnSetDataPath(dir.Path());
    AppBrand = 1;
    auto* controller = new TovnController(nullptr);
    TIniFile(controller->Browser()->IniFileName()).WriteBool("UPDATE", "AutoUpdate", false);

    TMaskEdit edit;
    auto shown = WhenModal<TfrmCalendar>([](TfrmCalendar& f) {
        f.cal->setSelectedDate(QDate(2024, 3, 15));
        f.btnOk->click();
    });
    EXPECT_TRUE(controller->Calendar(&edit, TLookupTool::ltCalendarPeriod));
    EXPECT_TRUE(*shown);
    EXPECT_EQ(edit.Text(), "2024/03");

    shown = WhenModal<TfrmCalendar>([](TfrmCalendar& f) { f.btnCancel->click(); });
    EXPECT_FALSE(controller->Calendar(&edit, TLookupTool::ltCalendarDate));
    EXPECT_TRUE(*shown);
    EXPECT_EQ(edit.Text(), "2024/03");

    // A combo without an applet reaches the same picker through ui, for as
    // long as the controller lives.
    shown = WhenModal<TfrmCalendar>([](TfrmCalendar& f) {
        f.cal->setSelectedDate(QDate(2025, 1, 31));
        f.btnOk->click();
    });
    EXPECT_TRUE(ControllerCalendar(&edit, TLookupTool::ltCalendarPeriod));
    EXPECT_TRUE(*shown);
    EXPECT_EQ(edit.Text(), "2025/01");

    delete controller;
    std::string error;
    try {
        ControllerCalendar(&edit, TLookupTool::ltCalendarDate);
    } catch (const Exception& e) {
        error = e.Message();
    }
    EXPECT_EQ(error, "No controller calendar is registered");
    FreeApplicationMainForm();
    Log.SetEnabled(false);
    ovnSetDataPath("");
    AppBrand = 0;
}

} // namespace
