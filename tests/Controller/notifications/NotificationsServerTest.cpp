// The notification statements on the local application server: which
// notifications qualify, dismissal, preferences saved and loaded.
#include "Components/Controller/notifications/NotifyServerDatabase.h"
#include "Components/Controller/notifications/ShiftInfoForm.h"
#include "platform/DateUtils.h"
#include "support/AppServerSession.h"

#include <QComboBox>
#include <QListWidget>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

const char* const kSql =
    "INSERT INTO TBL_DBALIASES (COUNTER, ALIAS, DESCRIPTION, C_ENTERPRISE, CURRENT_USE) VALUES (50, 'DEMO', 'Demo', 1, 'T');";

class NotifyServer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SignInAsAdmin(Connection, Server, "MAIN");
        NameDatabase(Data, "DATA", "DEMO", "MAIN");
        Data.Open();
    }

    void Insert(int counter, const std::string& resource, double daysAgo, const std::string& extraColumns = "",
                const std::string& extraValues = "")
    {
        const std::string date = NotifySQL::DateText(Now() - daysAgo);
        Data.ExecSQL("INSERT INTO TBL_NOTIFICATION (COUNTER, NOTIFICATION_DATE, NOTIFICATION_TEXT, RESOURCE_NAME, "
                     "DEACTIVATE_ON_CLICK" + extraColumns + ") VALUES (" + std::to_string(counter) +
                     ", TO_DATE('" + date + "', 'YYYY-MM-DD HH24:MI:SS'), 'n" + std::to_string(counter) + "', '" +
                     resource + "', 'T'" + extraValues + ")");
    }

    std::vector<int> Shown(TNotifications& n)
    {
        n.Update();
        std::vector<int> c;
        for (int i = 0; i < n.Count(); ++i)
            c.push_back(n[i]->Counter);
        std::sort(c.begin(), c.end());
        return c;
    }

    TAppServerProcess Server{{}, kSql};
    TNembraConnection Connection;
    TNembraDatabase Data;
};

} // namespace

TEST_F(NotifyServer, WhichNotificationsQualify)
{
    // The seed's own notifications are years old; these are fresh.
    Insert(10, "APP.A", 0.01);
    Insert(11, "APP.A", 0.01, ", TO_USER_ID", ", 'NURSE'");
    Insert(12, "APP.A", 366);
    Insert(13, "APP.B", 0.01);
    Insert(14, "APP.A", 0.01, ", C_EMPLOYEE", ", 99");
    Insert(15, "APP.A", 0.01, ", C_FACILITY", ", 1");
    Insert(16, "APP.A", 0.01, ", C_FACILITY", ", 2");
    Insert(17, "APP.A", 0.01, ", C_RESIDENT, TO_USER_ID", ", 1, 'ADMIN'");

    TNotifyServerDatabase db([] { return std::string("ADMIN"); }, [] { return std::vector<int32_t>{1}; });
    TNotifyTargets targets;
    targets.Add("Alpha", 0, "APP.A");
    targets.Add("Beta", 1, "APP.B");
    targets.SetBlocked("app.b;");
    TNotifications n(&db);
    n.Targets = &targets;
    n.UpdateFaciltiesAccess();
    n.UpdateEmployeeAndEmployeeGroups();
    EXPECT_EQ(n.Facilities, ";1;");
    EXPECT_EQ(n.Employee, "1") << "ADMIN is employee 1 of the seed";
    Insert(18, "app.a", 0.01); // resources compare exactly on the server

    EXPECT_EQ(Shown(n), (std::vector<int>{10, 15, 17}));
    // Resident 1 is in group 1, not in group 2.
    n.ResidentGroups = ";2;";
    EXPECT_EQ(Shown(n), (std::vector<int>{10, 15}));
    n.ResidentGroups = ";1;2;";
    EXPECT_EQ(Shown(n), (std::vector<int>{10, 15, 17}));
    ASSERT_TRUE(n.LocateNotification(17));
    EXPECT_EQ(NotifyField(*n.Located(), "Notification_Text"), "n17");

    // Everything blocked: nothing qualifies.
    targets.SetBlocked("APP.A;APP.B;");
    EXPECT_EQ(Shown(n), (std::vector<int>{}));
    targets.SetBlocked("");
    EXPECT_EQ(Shown(n), (std::vector<int>{10, 13, 15, 17}));

    // The close glyph writes this user's ignore row; a plain click ends the
    // notification for everybody.
    bool accepted = true;
    n.DropItem(n[n.FindItemIdx(13)], accepted, true);
    n.DropItem(n[n.FindItemIdx(10)], accepted, false);
    EXPECT_EQ(Shown(n), (std::vector<int>{15, 17}));
    TNotifyServerDatabase nurse([] { return std::string("NURSE"); }, [] { return std::vector<int32_t>{1}; });
    TNotifications other(&nurse);
    other.Targets = &targets;
    other.UpdateFaciltiesAccess();
    EXPECT_EQ(Shown(other), (std::vector<int>{11, 13, 15})) << "13 is dismissed for ADMIN only, 10 for everybody";
}

TEST_F(NotifyServer, PreferencesSavedAndLoaded)
{
    TNotifyServerDatabase db([] { return std::string("ADMIN"); }, [] { return std::vector<int32_t>{}; });
    TNotifyTargets targets;
    targets.Add("Alpha", 0, "APP.A");
    targets.Add("Beta", 1, "APP.B");
    TNotifications n(&db);
    n.Targets = &targets;
    n.LoadTargets();
    EXPECT_FALSE(targets.CanEditPreferences);
    targets.SetBlocked("APP.B;");
    n.SaveTargets(); // the first save inserts the row
    targets.SetBlocked("");
    n.LoadTargets();
    EXPECT_EQ(targets.Blocked(), "APP.B;");
    EXPECT_TRUE(targets.CanEditPreferences);
    targets.SetBlocked("APP.A;");
    n.SaveTargets(); // later saves update it
    targets.SetBlocked("");
    n.LoadTargets();
    EXPECT_EQ(targets.Blocked(), "APP.A;");
}

// The data database's demo rows: the sample applets' notifications, dated
// relative to the day the database was made, reach the users they are for;
// MANAGER may edit the preferences, NURSE not.
TEST_F(NotifyServer, TheDemoRowsReachTheirUsers)
{
    TNotifyTargets targets;
    targets.Add("Sample Applet", 0, "SAMPLE_APPLET");
    targets.Add("Sample Widget", 1, "SAMPLE_WIDGET");
    TNotifyServerDatabase manager([] { return std::string("MANAGER"); }, [] { return std::vector<int32_t>{1, 2}; });
    TNotifications m(&manager);
    m.Targets = &targets;
    m.UpdateFaciltiesAccess();
    m.UpdateEmployeeAndEmployeeGroups();
    EXPECT_EQ(m.Employee, "5");
    m.LoadTargets();
    EXPECT_TRUE(targets.CanEditPreferences);
    EXPECT_EQ(Shown(m), (std::vector<int>{3, 4, 5}));
    const int today = m.FindItemIdx(3);
    ASSERT_GE(today, 0);
    EXPECT_LT(Now() - m[today]->Date, 1.0) << "dated relative to the day the database was made";
    EXPECT_TRUE(m[m.FindItemIdx(4)]->KeepActive);

    TNotifyServerDatabase nurse([] { return std::string("NURSE"); }, [] { return std::vector<int32_t>{}; });
    TNotifications n(&nurse);
    n.Targets = &targets;
    n.UpdateFaciltiesAccess();
    n.UpdateEmployeeAndEmployeeGroups();
    EXPECT_EQ(n.Employee, "4");
    n.LoadTargets();
    EXPECT_FALSE(targets.CanEditPreferences);
    EXPECT_EQ(Shown(n), (std::vector<int>{3, 6}));
    n.ResidentGroups = ";2;"; // Agnes Miller is in group 1
    EXPECT_EQ(Shown(n), (std::vector<int>{3}));
}

// The shift dialog on the server: NURSE's shifts at Oak Grove by begin
// time, the nursing groups of the day shift, the group rows 200 a fetch.
TEST_F(NotifyServer, ShiftDialogReadsTheSeedsShiftsAndGroups)
{
    TNotifyServerDatabase db([] { return std::string("NURSE"); }, [] { return std::vector<int32_t>{}; });
    TfrmShiftInfo dlg(&db);
    dlg.UpdateShifts(1, 4, 0);
    EXPECT_EQ(db.LastFetchBy(), 200);
    ASSERT_EQ(dlg.cbShift->count(), 3);
    EXPECT_EQ(dlg.cbShift->itemText(0).toStdString(), "Day [07:00 AM - 03:00 PM]");
    EXPECT_EQ(dlg.cbShift->itemText(2).toStdString(), "Night [11:00 PM - 07:00 AM]");
    EXPECT_EQ(dlg.SelectedShift(), 1) << "no current shift: the first";
    ASSERT_EQ(dlg.lbGroups->count(), 2);
    EXPECT_EQ(dlg.lbGroups->item(0)->text().toStdString(), "Group: 1");
    // The evening group is of another discipline than the nurse's.
    dlg.cbShift->setCurrentIndex(1);
    EXPECT_EQ(dlg.lbGroups->count(), 0);
    dlg.UpdateShifts(1, 4, 2);
    EXPECT_EQ(dlg.SelectedShift(), 2);
}
