// The notification model: targets, the statements that pick, dismiss and
// store notifications, and the merge of a refresh into the list. The data
// database is a recording stand-in here; what the rows are comes from the
// statements' own values.
#include "Components/Controller/notifications/Notifications.h"
#include "platform/DateUtils.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace {

struct RecordingDatabase : TNotifyDatabase
{
    std::vector<TNotifyRow> Open(const std::string& SQL, const std::vector<Variant>& Values) override
    {
        opened.push_back(SQL);
        values.push_back(Values);
        if (failOpen)
            throw std::runtime_error("ORA-00942: table or view does not exist");
        auto it = results.find(SQL);
        return it == results.end() ? nextRows : it->second;
    }
    void Execute(const std::string& SQL) override
    {
        executed.push_back(SQL);
        if (failExecute)
            throw std::runtime_error("lost connection");
    }
    std::vector<int32_t> UserFacilities() override { return facilities; }
    std::string UserID() const override { return user; }

    std::string user = "NURSE";
    std::vector<int32_t> facilities;
    std::vector<TNotifyRow> nextRows;
    std::map<std::string, std::vector<TNotifyRow>> results;
    std::vector<std::string> opened, executed;
    std::vector<std::vector<Variant>> values;
    bool failOpen = false, failExecute = false;
};

TNotifyRow Row(int counter, const std::string& text, const std::string& resource = "APP.A",
               const std::string& deactivate = "T")
{
    return {{"COUNTER", Variant(counter)},
            {"NOTIFICATION_TEXT", Variant(text)},
            {"MODULE_NAME", Variant()},
            {"FROM_MODULE", Variant("Rounds")},
            {"RESOURCE_NAME", Variant(resource)},
            {"NOTIFICATION_DATE", Variant(EncodeDateTime(2026, 12, 10, 8, 30, 0, 0))},
            {"DEACTIVATE_ON_CLICK", Variant(deactivate)}};
}

} // namespace

TEST(NotifyTargets, AllowedAndBlockedBothWays)
{
    TNotifyTargets t;
    t.Add("Alpha", 0, "A");
    t.Add("Beta", 1, "B");
    t.Add("Big", 2, "AB");
    EXPECT_EQ(t.Allowed(), ";A;B;AB;");
    EXPECT_EQ(t.Blocked(), "");

    struct Case { const char* blocked; const char* allowed; const char* blockedBack; };
    const Case cases[] = {
        {"ab;", ";A;B;", "AB;"},      // case ignored, only the exact resource
        {"A;", ";B;AB;", "A;"},
        {"A;B;AB;", ";", "A;B;AB;"},  // everything blocked: ";"
        {"ZZ;unknown;", ";A;B;AB;", ""}, // unknown entries block nothing
        {"", ";A;B;AB;", ""},
        {"B", ";A;AB;", "B;"},        // a last entry without its ";"
    };
    for (const Case& c : cases) {
        t.SetBlocked(c.blocked);
        EXPECT_EQ(t.Allowed(), c.allowed) << c.blocked;
        EXPECT_EQ(t.Blocked(), c.blockedBack) << c.blocked;
    }
    EXPECT_EQ(t.FindTarget("ab"), t[2]);
    EXPECT_EQ(t.FindTarget("C"), nullptr);
}

TEST(NotifyItem, StateAndAssign)
{
    TNotifyItem a("Hello", 7);
    EXPECT_TRUE(a.New());
    EXPECT_EQ(a.ImageIndex, -1);
    a.SetNew(false);
    EXPECT_EQ(a.State, 1);
    a.Top = 10;
    a.Height = 32;
    EXPECT_EQ(a.Bottom(), 42);
    TNotifyItem b;
    b.Assign(&a);
    EXPECT_EQ(b.Text, "Hello");
    EXPECT_EQ(b.Counter, 7);
    EXPECT_EQ(b.Bottom(), 42);
    b.Assign(nullptr);
    EXPECT_EQ(b.Counter, 7);
}

TEST(NotifySQL, UpdateTextWithAndWithoutGroups)
{
    const std::string head =
        "SELECT N.*, F.FACILITY_NAME, F.FACILITY, F.STATE, R.RESIDENT_NAME \n"
        "FROM TBL_Notification N \n"
        "LEFT JOIN TBL_FACILITY F ON N.C_FACILITY = F.COUNTER \n"
        "LEFT JOIN TBL_RESIDENT R ON N.C_RESIDENT = R.COUNTER \n"
        "  WHERE N.Active = 'T' \n"
        "    AND N.Counter NOT IN (SELECT C_NOTIFICATION FROM TBL_NOTIFICATION_IGNORE WHERE USER_ID = :User_ID_Ignore) \n"
        "    AND N.Notification_Date >= TO_DATE(:From_Date, 'YYYY-MM-DD HH24:MI:SS')\n"
        "    AND N.Notification_Date <= TO_DATE(:To_Date, 'YYYY-MM-DD HH24:MI:SS')\n";
    const std::string groups =
        "    AND (N.C_Resident is null Or Exists(\n"
        "         Select rg.*\n"
        "         From TBL_ResidentGroup rg\n"
        "         Where GET_ADT_Resident_In_Group(rg.counter, N.C_Resident) = 'T' And InStr(';;12;15;;', ';' || rg.counter || ';') > 0))\n";
    const std::string tail =
        "    AND (InStr(:AllowedResources, ';'||N.Resource_Name||';') > 0)\n"
        "    AND (N.To_User_ID IS NULL OR N.To_User_ID = :User_ID)\n"
        "    AND (N.C_Employee IS NULL OR N.C_Employee = :C_Employee)\n"
        "    AND (N.C_EmployeeGroup IS NULL OR\n"
        "         InStr(';'||:EmployeeGroups||';', ';'||N.C_EmployeeGroup||';') > 0 Or\n"
        "         N.C_EmployeeGroup In (Select egd.c_employeegroup From tbl_employeegroupdetail egd Where egd.c_employee = :c_employee))\n"
        "    AND (N.C_Facility IS NULL OR InStr(:Facilities, ';'||N.C_Facility||';') > 0)\n"
        "    AND (N.C_FacilityGroup IS NULL OR InStr(:FacilityGroups, ';'||N.C_FacilityGroup||';') > 0)\n"
        "ORDER BY N.Notification_Date\n";
    EXPECT_EQ(NotifySQL::UpdateText(""), head + tail);
    EXPECT_EQ(NotifySQL::UpdateText(";12;15;"), head + groups + tail);
}

TEST(NotifySQL, DismissalAndPreferenceStatements)
{
    EXPECT_EQ(NotifySQL::DropText("O'NEIL", 42, true), "INSERT INTO TBL_NOTIFICATION_IGNORE VALUES('O''NEIL', 42)");
    EXPECT_EQ(NotifySQL::DropText("NURSE", 42, false), "UPDATE TBL_NOTIFICATION SET ACTIVE = 'F' WHERE COUNTER = 42");
    // The user's ID has its quotes doubled here too.
    EXPECT_EQ(NotifySQL::LoadTargetsText("O'NEIL"), "SELECT * FROM TBL_NOTIFICATION_USER WHERE USER_ID = 'O''NEIL'");
    EXPECT_EQ(NotifySQL::LoadTargetsText("NURSE"), "SELECT * FROM TBL_NOTIFICATION_USER WHERE USER_ID = 'NURSE'");
    EXPECT_EQ(NotifySQL::FindUserText("NURSE"), "SELECT USER_ID FROM TBL_NOTIFICATION_USER WHERE USER_ID = 'NURSE'");
    EXPECT_EQ(NotifySQL::UpdateTargetsText("NURSE", "A;"),
              "UPDATE TBL_NOTIFICATION_USER SET EXCLUDE_RESOURCES = 'A;' WHERE USER_ID = 'NURSE'");
    // The time is a quoted literal, so that the first save can run.
    EXPECT_EQ(NotifySQL::InsertTargetsText("NURSE", "A;", EncodeDateTime(2026, 12, 11, 5, 4, 3, 0)),
              "INSERT INTO TBL_NOTIFICATION_USER VALUES('NURSE', 'A;', 'T', 'NURSE', "
              "TO_DATE('2026-12-11 05:04:03', 'YYYY-MM-DD HH24:MI:SS'), SEQ_Notification.NextVal)");
}

TEST(Notifications, UpdateSendsTenValuesByPositionAndReusesTheQuery)
{
    RecordingDatabase db;
    TNotifyTargets targets;
    targets.Add("Alpha", 3, "APP.A");
    targets.Add("Beta", 4, "APP.B");
    targets.SetBlocked("APP.B;");
    TNotifications n(&db);
    n.Targets = &targets;
    n.NowFn = [] { return EncodeDateTime(2026, 12, 11, 9, 15, 0, 0); };
    n.FromDate = EncodeDateTime(2025, 12, 11, 9, 15, 0, 0);
    n.Employee = "5";
    n.EmployeeGroups = ";2;";
    n.Facilities = ";3;7;";
    n.FacilityGroups = ";1;";
    n.Update();
    n.ResidentGroups = ";12;";
    n.Update();
    ASSERT_EQ(db.values.size(), 2u);
    const std::vector<std::string> expected = {"NURSE", "2025-12-11 09:15:00", "2026-12-11 09:15:00", ";APP.A;", "NURSE",
                                               "5",     ";2;",                 "5",                   ";3;7;",   ";1;"};
    for (const auto& values : db.values) {
        ASSERT_EQ(values.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i)
            EXPECT_EQ(VarToStr(values[i]), expected[i]) << i;
    }
    EXPECT_EQ(db.opened[0].find("TBL_ResidentGroup"), std::string::npos);
    EXPECT_NE(db.opened[1].find("InStr(';;12;;'"), std::string::npos);
}

TEST(Notifications, RefreshKeepsSeenItemsAndDropsVanishedRows)
{
    RecordingDatabase db;
    TNotifyTargets targets;
    targets.Add("Alpha", 3, "APP.A");
    TNotifications n(&db);
    n.Targets = &targets;
    int changes = 0;
    n.OnChange = [&] { ++changes; };
    db.nextRows = {Row(1, "one"), Row(2, "two", "app.a", "F"), Row(3, "three", "OTHER")};
    n.Update();
    EXPECT_EQ(changes, 1); // once, at the end of the update
    ASSERT_EQ(n.Count(), 3);
    EXPECT_EQ(n[1]->Text, "two");
    EXPECT_EQ(n[1]->FromModule, "Rounds");
    EXPECT_EQ(n[1]->ModuleName, ""); // Null reads as empty
    EXPECT_EQ(n[1]->ImageIndex, 3);
    EXPECT_TRUE(n[1]->KeepActive);
    EXPECT_FALSE(n[0]->KeepActive);
    EXPECT_EQ(n[2]->ImageIndex, -1);
    EXPECT_DOUBLE_EQ(n[0]->Date, EncodeDateTime(2026, 12, 10, 8, 30, 0, 0));
    n[0]->SetNew(false);

    db.nextRows = {Row(1, "one"), Row(3, "three"), Row(4, "four")};
    n.Update();
    ASSERT_EQ(n.Count(), 3);
    EXPECT_EQ(n[0]->Counter, 1);
    EXPECT_EQ(n[0]->State, 1); // still seen
    EXPECT_EQ(n[1]->Counter, 3);
    EXPECT_EQ(n[1]->State, 2); // still new
    EXPECT_EQ(n[2]->Counter, 4);
    EXPECT_EQ(n.FindItemIdx(2), -1);

    EXPECT_TRUE(n.LocateNotification(3));
    EXPECT_EQ(NotifyField(*n.Located(), "Notification_Text"), "three");
    EXPECT_FALSE(n.LocateNotification(99));
}

TEST(Notifications, AFailedRefreshStillRemovesStaleItemsAndRaises)
{
    RecordingDatabase db;
    TNotifications n(&db);
    db.nextRows = {Row(1, "one")};
    n.Update();
    int changes = 0;
    n.OnChange = [&] { ++changes; };
    db.failOpen = true;
    EXPECT_THROW(n.Update(), std::runtime_error);
    EXPECT_EQ(n.Count(), 0);
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(n.LocateNotification(1)); // the query is closed
    // Still usable afterwards.
    db.failOpen = false;
    n.Update();
    EXPECT_EQ(n.Count(), 1);
}

TEST(Notifications, DropItemWritesByFlagAndKeepsTheItemOnFailure)
{
    RecordingDatabase db;
    TNotifications n(&db);
    TNotifyItem* plain = n.NewItem("a", 10);
    TNotifyItem* keep = n.NewItem("b", 11);
    keep->KeepActive = true;
    bool accepted = true;
    n.DropItem(plain, accepted, false);
    n.DropItem(keep, accepted, false);
    n.DropItem(plain, accepted, true);
    EXPECT_EQ(db.executed, (std::vector<std::string>{"UPDATE TBL_NOTIFICATION SET ACTIVE = 'F' WHERE COUNTER = 10",
                                                     "INSERT INTO TBL_NOTIFICATION_IGNORE VALUES('NURSE', 11)",
                                                     "INSERT INTO TBL_NOTIFICATION_IGNORE VALUES('NURSE', 10)"}));
    EXPECT_TRUE(accepted);
    db.failExecute = true;
    EXPECT_THROW(n.DropItem(plain, accepted, true), std::runtime_error);
    EXPECT_FALSE(accepted);
    EXPECT_EQ(n.Count(), 2);
    n.DeleteItem(10);
    n.DeleteItem(99);
    EXPECT_EQ(n.Count(), 1);
    EXPECT_EQ(n[0]->Counter, 11);
}

TEST(Notifications, TargetsLoadedAndSaved)
{
    RecordingDatabase db;
    db.user = "MANAGER";
    TNotifyTargets targets;
    targets.Add("Alpha", 0, "A");
    targets.Add("Big", 1, "AB");
    TNotifications n(&db);
    n.Targets = &targets;
    n.NowFn = [] { return EncodeDateTime(2026, 12, 11, 6, 0, 0, 0); };

    // No row: nothing blocked, cannot edit.
    targets[0]->Allowed = false;
    targets.CanEditPreferences = true;
    n.LoadTargets();
    EXPECT_EQ(targets.Blocked(), "");
    EXPECT_FALSE(targets.CanEditPreferences);

    db.nextRows = {{{"USER_ID", Variant("MANAGER")}, {"EXCLUDE_RESOURCES", Variant("ab;")},
                    {"CAN_EDIT_PREFERENCES", Variant("T")}}};
    n.LoadTargets();
    EXPECT_EQ(targets.Blocked(), "AB;");
    EXPECT_TRUE(targets.CanEditPreferences);

    // Saving: UPDATE when the row exists, INSERT when not.
    n.SaveTargets();
    db.nextRows.clear();
    targets.SetBlocked("A;");
    n.SaveTargets();
    ASSERT_EQ(db.executed.size(), 2u);
    EXPECT_EQ(db.executed[0], "UPDATE TBL_NOTIFICATION_USER SET EXCLUDE_RESOURCES = 'AB;' WHERE USER_ID = 'MANAGER'");
    EXPECT_EQ(db.executed[1], "INSERT INTO TBL_NOTIFICATION_USER VALUES('MANAGER', 'A;', 'T', 'MANAGER', "
                              "TO_DATE('2026-12-11 06:00:00', 'YYYY-MM-DD HH24:MI:SS'), SEQ_Notification.NextVal)");
}

TEST(Notifications, AccessListsFromFacilitiesAndEmployee)
{
    RecordingDatabase db;
    db.facilities = {3, 7};
    db.results[NotifySQL::FacilityGroupsText] = {{{"C_FACILITY_GROUP", Variant(9)}, {"FACILITYCOUNT", Variant(2)}}};
    db.results[NotifySQL::EmployeeText] = {{{"C_EMPLOYEE", Variant()}, {"C_EMPLOYEEGROUP", Variant()}}};
    TNotifications n(&db);
    n.UpdateFaciltiesAccess();
    EXPECT_EQ(n.Facilities, ";3;7;");
    EXPECT_EQ(n.FacilityGroups, ";9;");
    EXPECT_EQ(VarToStr(db.values.back().at(0)), ";3;7;");
    // A user without an employee row.
    n.UpdateEmployeeAndEmployeeGroups();
    EXPECT_EQ(n.Employee, "");
    EXPECT_EQ(n.EmployeeGroups, ";");
    EXPECT_EQ(VarToStr(db.values.back().at(0)), "NURSE");
    EXPECT_EQ(VarToStr(db.values.back().at(1)), "NURSE");

    db.results[NotifySQL::EmployeeText] = {{{"C_EMPLOYEE", Variant(5)}, {"C_EMPLOYEEGROUP", Variant()}},
                                           {{"C_EMPLOYEE", Variant(5)}, {"C_EMPLOYEEGROUP", Variant(2)}},
                                           {{"C_EMPLOYEE", Variant(5)}, {"C_EMPLOYEEGROUP", Variant(4)}}};
    n.UpdateEmployeeAndEmployeeGroups();
    EXPECT_EQ(n.Employee, "5");
    EXPECT_EQ(n.EmployeeGroups, ";2;4;");
}

TEST(Notifications, FromDateIsAYearBackAndClearRaisesOnce)
{
    TNotifications n;
    EXPECT_NEAR(n.FromDate, Now() - 365, 1.0 / 24);
    int changes = 0;
    n.OnChange = [&] { ++changes; };
    n.NewItem("a", 1);
    n.AddItem(nullptr);
    EXPECT_EQ(changes, 1);
    n.BeginUpdate();
    n.NewItem("b", 2);
    n.NewItem("c", 3);
    EXPECT_EQ(changes, 1);
    n.EndUpdate();
    EXPECT_EQ(changes, 2);
    n.Clear();
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(n.Count(), 0);
}
