#pragma once
// "Shift Information": the day shift an employee works and, optionally, the
// resident groups they care for; the groups narrow the notifications.

#include "Components/Controller/notifications/Notifications.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace ShiftSQL {
extern const char* const ShiftsText;
extern const char* const GroupsText;
// The group query's rows come 200 at a time.
extern const int32_t GroupsFetchBy;
// "Day [07:00 AM - 03:00 PM]"; a time the table leaves NULL reads as
// nothing ("Night [ - 07:00 AM]"), while midnight reads "12:00 AM".
std::string ShiftEntry(const std::string& Description, std::optional<TDateTime> Begin, std::optional<TDateTime> End);
// ";12;15;" of the checked groups; empty when none or with all residents.
std::string SelectedGroups(bool AllResidents, const std::vector<std::pair<int32_t, bool>>& Groups);
bool GroupInText(const std::string& Text, int32_t Counter);
} // namespace ShiftSQL

class TfrmShiftInfo : public QDialog
{
public:
    explicit TfrmShiftInfo(TNotifyDatabase* Database, QWidget* Parent = nullptr);

    void UpdateShifts(int32_t Facility, int32_t Employee, int32_t Shift);
    std::string GetSelectedResidentGroups() const;
    void SetSelectedResidentGroups(const std::string& Text);
    // The saved text the radio change checks groups from.
    std::string SavedGroups;

    QLineEdit* edtFacility;
    QLineEdit* edtEmployee;
    QComboBox* cbShift;
    QRadioButton* rbAll;
    QRadioButton* rbSelected;
    QListWidget* lbGroups;
    QPushButton* btnSelectAll;
    QPushButton* btnSelectNone;

    int32_t SelectedShift() const;
    std::string SelectedShiftText() const;
    // OK: raises EOndrelException when groups are to be chosen and none is.
    void CheckOk() const;
    void FillGroups();
    void RadioChanged();

    void accept() override;

private:
    TNotifyDatabase* m_db;
    std::vector<TNotifyRow> m_groupRows;
};

// What the main window keeps of the shift choice: the employee's home and
// name, the chosen shift (0: none), its text and the chosen resident groups
// (";12;15;", empty for all residents).
struct TShiftChoice
{
    std::string FacilityCode;
    std::string FacilityName;
    std::string EmployeeName;
    int32_t Facility = 0;
    int32_t Employee = 0;
    int32_t Shift = 0;
    std::string ShiftText;
    std::string ResidentGroups;
};

// The shift dialog over Choice: the facility "[code] name", the employee,
// the home's shifts with the current one chosen; with no shift offered it
// stops at once. The groups' choice starts from Choice. On OK the shift,
// its text and the groups go back into Choice and the answer is true.
// Exec runs the dialog (tests answer it); null: the dialog's own exec.
bool RunShiftInfo(TNotifyDatabase* Database, QWidget* Owner, TShiftChoice& Choice,
                  const std::function<int(TfrmShiftInfo&)>& Exec = nullptr);
