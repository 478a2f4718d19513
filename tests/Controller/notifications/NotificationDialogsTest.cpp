// "Shift Information" and "Notification Preferences" offscreen.
#include "Components/Controller/notifications/NotificationPreferences.h"
#include "Components/Controller/notifications/ShiftInfoForm.h"
#include "Components/Nembra/ovnOndrel.h"
#include "platform/DateUtils.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <gtest/gtest.h>

namespace {

struct ShiftDb : TNotifyDatabase
{
    std::vector<TNotifyRow> Open(const std::string& SQL, const std::vector<Variant>& Values) override
    {
        opened.push_back({SQL, Values});
        if (SQL == ShiftSQL::ShiftsText)
            return shifts;
        return groups;
    }
    void Execute(const std::string&) override {}
    std::vector<int32_t> UserFacilities() override { return {}; }
    std::string UserID() const override { return "NURSE"; }
    std::vector<TNotifyRow> shifts, groups;
    std::vector<std::pair<std::string, std::vector<Variant>>> opened;
};

TNotifyRow Shift(int counter, const char* name, int beginHour, int endHour)
{
    return {{"COUNTER", Variant(counter)},
            {"DESCRIPTION", Variant(name)},
            {"BEGIN_TIME", Variant(EncodeDateTime(1899, 12, 30, beginHour, 0, 0, 0))},
            {"END_TIME", Variant(EncodeDateTime(1899, 12, 30, endHour, 0, 0, 0))}};
}

TNotifyRow Group(int counter, const char* number, int shift)
{
    return {{"COUNTER", Variant(counter)}, {"GROUP_NUMBER", Variant(number)}, {"C_DAYSHIFT", Variant(shift)}};
}

} // namespace

TEST(ShiftInfo, EntriesAndGroupTexts)
{
    EXPECT_EQ(ShiftSQL::ShiftEntry("Day", EncodeTime(7, 0, 0, 0), EncodeTime(15, 0, 0, 0)), "Day [07:00 AM - 03:00 PM]");
    EXPECT_EQ(ShiftSQL::ShiftEntry("Night", EncodeTime(23, 30, 0, 0), EncodeTime(7, 0, 0, 0)),
              "Night [11:30 PM - 07:00 AM]");
    EXPECT_EQ(ShiftSQL::SelectedGroups(false, {{12, true}, {13, false}, {15, true}}), ";12;15;");
    EXPECT_EQ(ShiftSQL::SelectedGroups(false, {{12, false}}), "");
    EXPECT_EQ(ShiftSQL::SelectedGroups(true, {{12, true}}), "");
    EXPECT_TRUE(ShiftSQL::GroupInText(";12;15;", 15));
    EXPECT_FALSE(ShiftSQL::GroupInText(";12;15;", 1));
    EXPECT_FALSE(ShiftSQL::GroupInText(";112;", 12));
}

// A shift time the table leaves NULL reads as nothing; midnight is a time.
TEST(ShiftInfo, ANullTimeReadsEmptyAndMidnightAsTwelveAM)
{
    struct Case
    {
        const char* Desc;
        Variant Begin;
        Variant End;
        const char* Entry;
    };
    const Case cases[] = {
        {"begin NULL", Variant::Null(), Variant(EncodeDateTime(1899, 12, 30, 7, 0, 0, 0)), "Night [ - 07:00 AM]"},
        {"end NULL", Variant(EncodeDateTime(1899, 12, 30, 23, 0, 0, 0)), Variant::Null(), "Night [11:00 PM - ]"},
        {"both NULL", Variant::Null(), Variant::Null(), "Night [ - ]"},
        {"midnight", Variant(EncodeDateTime(1899, 12, 30, 0, 0, 0, 0)),
         Variant(EncodeDateTime(1899, 12, 30, 7, 0, 0, 0)), "Night [12:00 AM - 07:00 AM]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        ShiftDb db;
        db.shifts = {{{"COUNTER", Variant(3)}, {"DESCRIPTION", Variant("Night")}, {"BEGIN_TIME", c.Begin},
                      {"END_TIME", c.End}}};
        TfrmShiftInfo dlg(&db);
        dlg.UpdateShifts(1, 4, 3);
        ASSERT_EQ(dlg.cbShift->count(), 1);
        EXPECT_EQ(dlg.cbShift->itemText(0).toStdString(), c.Entry);
        EXPECT_EQ(dlg.SelectedShift(), 3);
        EXPECT_EQ(dlg.SelectedShiftText(), c.Entry);
    }
}

TEST(ShiftInfo, ShiftsGroupsRadiosAndOk)
{
    ShiftDb db;
    db.shifts = {Shift(1, "Day", 7, 15), Shift(2, "Evening", 15, 23)};
    db.groups = {Group(12, "A", 2), Group(15, "B", 2), Group(16, "C", 1)};
    TfrmShiftInfo dlg(&db);
    dlg.UpdateShifts(4, 9, 2);
    ASSERT_EQ(db.opened.size(), 2u);
    EXPECT_EQ(VarToStr(db.opened[1].second[0]), "4");
    EXPECT_EQ(VarToStr(db.opened[1].second[1]), "9");
    EXPECT_EQ(VarToStr(db.opened[1].second[2]), "9");
    EXPECT_EQ(dlg.cbShift->currentText().toStdString(), "Evening [03:00 PM - 11:00 PM]");
    ASSERT_EQ(dlg.lbGroups->count(), 2);
    EXPECT_EQ(dlg.lbGroups->item(0)->text().toStdString(), "Group: A");
    EXPECT_TRUE(dlg.rbAll->isChecked());
    EXPECT_FALSE(dlg.lbGroups->isEnabled());
    EXPECT_EQ(dlg.GetSelectedResidentGroups(), "");

    dlg.SavedGroups = ";15;";
    dlg.rbSelected->setChecked(true);
    EXPECT_TRUE(dlg.lbGroups->isEnabled());
    EXPECT_EQ(dlg.GetSelectedResidentGroups(), ";15;");
    dlg.SetSelectedResidentGroups("");
    EXPECT_THROW(dlg.CheckOk(), EOndrelException);
    try {
        dlg.CheckOk();
    } catch (const EOndrelException& e) {
        EXPECT_EQ(e.Message(), "Please select one or more resident group(s)");
    }
    // Another shift with groups keeps the choice; one without falls back.
    dlg.cbShift->setCurrentIndex(0);
    EXPECT_TRUE(dlg.rbSelected->isChecked());
    EXPECT_EQ(dlg.lbGroups->count(), 1);
    db.groups = {Group(12, "A", 2)};
    dlg.UpdateShifts(4, 9, 1);
    EXPECT_EQ(dlg.lbGroups->count(), 0);
    EXPECT_TRUE(dlg.rbAll->isChecked());
    EXPECT_FALSE(dlg.rbSelected->isEnabled());

    // A facility without shifts: no entries, no groups.
    db.shifts.clear();
    dlg.UpdateShifts(5, 9, 0);
    EXPECT_EQ(dlg.cbShift->count(), 0);
    EXPECT_EQ(dlg.lbGroups->count(), 0);
    EXPECT_TRUE(dlg.rbAll->isChecked());
}

TEST(NotificationPreferences, OkCopiesChecksCancelChangesNothing)
{
    TNotifyTargets targets;
    targets.Add("Rounds", 0, "APP.R");
    targets.Add("Vitals", 1, "APP.V");
    const bool cancelled = ExecNotifySetup(targets, nullptr, nullptr, [](TfrmNotificationPreferences& d) {
        EXPECT_EQ(d.windowTitle().toStdString(), "Notification Preferences");
        d.List()->Toggle(0);
        return static_cast<int>(QDialog::Rejected);
    });
    EXPECT_FALSE(cancelled);
    EXPECT_EQ(targets.Blocked(), "");
    const bool saved = ExecNotifySetup(targets, nullptr, nullptr, [](TfrmNotificationPreferences& d) {
        EXPECT_TRUE(d.List()->Rows[1].Checked);
        d.List()->Selected = 1;
        d.List()->Toggle(d.List()->Selected);
        return static_cast<int>(QDialog::Accepted);
    });
    EXPECT_TRUE(saved);
    EXPECT_EQ(targets.Blocked(), "APP.V;");
    EXPECT_EQ(targets.Allowed(), ";APP.R;");
}

// The main window's shift choice: the dialog filled from what the window
// keeps, nothing shown without shifts, the choice kept only on OK.
TEST(ShiftInfo, RunShiftInfoFillsTheDialogAndKeepsTheChoiceOnOk)
{
    ShiftDb db;
    db.shifts = {Shift(1, "Day", 7, 15), Shift(2, "Evening", 15, 23)};
    db.groups = {Group(12, "A", 2), Group(15, "B", 2), Group(16, "C", 1)};
    TShiftChoice choice;
    choice.FacilityCode = "OAK";
    choice.FacilityName = "Oak Grove Care Home";
    choice.EmployeeName = "Tom Ward";
    choice.Facility = 1;
    choice.Employee = 4;
    choice.Shift = 2;
    choice.ResidentGroups = ";15;";

    // Shown with the current shift and groups; Cancel keeps everything.
    int shown = 0;
    EXPECT_FALSE(RunShiftInfo(&db, nullptr, choice, [&](TfrmShiftInfo& dlg) {
        ++shown;
        EXPECT_EQ(dlg.edtFacility->text().toStdString(), "[OAK] Oak Grove Care Home");
        EXPECT_EQ(dlg.edtEmployee->text().toStdString(), "Tom Ward");
        EXPECT_EQ(dlg.SelectedShift(), 2);
        EXPECT_TRUE(dlg.rbSelected->isChecked());
        EXPECT_EQ(dlg.GetSelectedResidentGroups(), ";15;");
        dlg.cbShift->setCurrentIndex(0);
        return int(QDialog::Rejected);
    }));
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(VarToStr(db.opened[0].second[0]), "1") << "the employee's home";
    EXPECT_EQ(VarToStr(db.opened[1].second[1]), "4");
    EXPECT_EQ(choice.Shift, 2);
    EXPECT_EQ(choice.ResidentGroups, ";15;");

    // OK: the shift, its text and the groups are kept.
    EXPECT_TRUE(RunShiftInfo(&db, nullptr, choice, [&](TfrmShiftInfo& dlg) {
        dlg.SetSelectedResidentGroups(";12;15;");
        return int(QDialog::Accepted);
    }));
    EXPECT_EQ(choice.Shift, 2);
    EXPECT_EQ(choice.ShiftText, "Evening [03:00 PM - 11:00 PM]");
    EXPECT_EQ(choice.ResidentGroups, ";12;15;");

    // Without groups chosen the all-residents button is preset.
    choice.ResidentGroups.clear();
    EXPECT_TRUE(RunShiftInfo(&db, nullptr, choice, [&](TfrmShiftInfo& dlg) {
        EXPECT_TRUE(dlg.rbAll->isChecked());
        dlg.cbShift->setCurrentIndex(0);
        return int(QDialog::Accepted);
    }));
    EXPECT_EQ(choice.Shift, 1);
    EXPECT_EQ(choice.ShiftText, "Day [07:00 AM - 03:00 PM]");
    EXPECT_EQ(choice.ResidentGroups, "");

    // A home without shifts: the dialog is not shown.
    db.shifts.clear();
    shown = 0;
    EXPECT_FALSE(RunShiftInfo(&db, nullptr, choice, [&](TfrmShiftInfo&) { return ++shown, int(QDialog::Accepted); }));
    EXPECT_EQ(shown, 0);
    EXPECT_EQ(choice.Shift, 1);
}
