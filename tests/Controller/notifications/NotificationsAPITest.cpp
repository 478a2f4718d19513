// The notification insert of applet libraries: its values by position, the
// validation texts, and the statement run on the local server's data
// database (counters at 0 and an empty user stored as null).
#include "Components/Controller/LibController.h"
#include "Components/Controller/notifications/NotificationsAPI.h"
#include "platform/DateUtils.h"
#include "support/AppServerSession.h"
#include "support/ErrorOf.h"

#include <gtest/gtest.h>

TEST(NotificationInsert, FifteenValuesByPosition)
{
    NotificationInsert::TArgs a;
    a.Date = EncodeDateTime(2026, 12, 11, 7, 5, 9, 0);
    a.Text = "Check room 4";
    a.FromModule = "CLINICAL";
    a.FromResource = "ROUNDS";
    a.ModuleName = "CLINICAL";
    a.ResourceName = "CAREPLAN";
    a.ResourceParams = "C_RESIDENT=1";
    a.Facility = 2;
    a.FacilityGroup = 0;
    a.Employee = 0;
    a.EmployeeGroup = 3;
    a.Resident = 77;
    a.ToUserID = "";
    a.RecordUser = "NURSE";
    a.Now = EncodeDateTime(2026, 12, 11, 8, 0, 0, 0);
    const std::vector<std::string> expected = {"2026-12-11 07:05:09", "Check room 4", "CLINICAL", "ROUNDS", "CLINICAL",
                                               "CAREPLAN", "C_RESIDENT=1", "2", "", "", "3", "", "NURSE",
                                               "2026-12-11 08:00:00", "77"};
    const auto values = NotificationInsert::Values(a);
    ASSERT_EQ(values.size(), 15u);
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(VarToStr(values[i]), expected[i]) << i;
    a.Facility = -4;
    EXPECT_EQ(VarToStr(NotificationInsert::Values(a)[7]), "");
}

TEST(NotificationInsert, Validation)
{
    EXPECT_EQ(ErrorOf([] { NotificationInsert::Validate("text", "  "); }), "Invalid notification: Resource Name required");
    EXPECT_EQ(ErrorOf([] { NotificationInsert::Validate("   ", "APP"); }), "Invalid notification: Resource Text required");
    EXPECT_EQ(ErrorOf([] { NotificationInsert::Validate("", ""); }), "Invalid notification: Resource Name required");
    EXPECT_NO_THROW(NotificationInsert::Validate("text", "APP"));
}

TEST(NotificationInsert, RunsOnTheServerWithNullsForZeroes)
{
    TAppServerProcess server{
        {}, "INSERT INTO TBL_DBALIASES (COUNTER, ALIAS, DESCRIPTION, C_ENTERPRISE, CURRENT_USE) VALUES (50, 'DEMO', 'Demo', 1, 'T');"};
    TNembraConnection connection;
    TNembraDatabase data;
    SignInAsAdmin(connection, server, "MAIN");
    NameDatabase(data, "DATA", "DEMO", "MAIN");
    data.Open();
    // A resident's facility is read as text.
    const int facility =
        StrToIntDef(VarToStr(LibController::LookupValue(NotificationInsert::ResidentFacilityText, {4})), 0);
    EXPECT_EQ(facility, 2);
    EXPECT_EQ(StrToIntDef(VarToStr(LibController::LookupValue(NotificationInsert::ResidentFacilityText, {999})), 0), 0)
        << "an unknown resident gives no facility";

    NotificationInsert::TArgs a;
    a.Date = Now();
    a.Text = "Fresh";
    a.ResourceName = "CAREPLAN";
    a.Resident = 4;
    a.Facility = facility;
    a.RecordUser = "ADMIN";
    a.Now = Now();
    LibController::ExecuteSQL(NotificationInsert::Text, NotificationInsert::Values(a));
    const std::string where = " FROM TBL_NOTIFICATION WHERE NOTIFICATION_TEXT = 'Fresh'";
    EXPECT_EQ(VarToStr(LibController::LookupValue("SELECT C_FACILITY" + where)), "2");
    EXPECT_EQ(VarToStr(LibController::LookupValue("SELECT COUNT(*)" + where +
                                                  " AND C_EMPLOYEE IS NULL AND TO_USER_ID IS NULL AND C_FACILITYGROUP IS NULL")),
              "1");
    EXPECT_EQ(VarToStr(LibController::LookupValue("SELECT C_RESIDENT" + where)), "4");
}
