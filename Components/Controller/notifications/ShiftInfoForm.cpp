#include "Components/Controller/notifications/ShiftInfoForm.h"

#include "Components/Nembra/ovnOndrel.h"
#include "platform/Dialogs.h"
#include "platform/DateUtils.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace ShiftSQL {

const char* const ShiftsText =
    "select * from TBL_DayShift where C_Facility = :C_Facility and Current_Use = 'T' order by Begin_Time";

const char* const GroupsText = "SELECT\n"
                               "  Counter, Group_Number, C_DayShift\n"
                               "FROM\n"
                               "  TBL_ResidentGroup\n"
                               "WHERE\n"
                               "  C_Facility = :C_Facility\n"
                               "  AND Current_Use = 'T'\n"
                               "  AND C_Discipline IN (\n"
                               "    SELECT C_Discipline FROM TBL_Employee WHERE Counter = :C_Employee\n"
                               "    UNION\n"
                               "    SELECT C_DISCIPLINE FROM TBL_EMPLOYEEDISCIPLINE WHERE C_EMPLOYEE = :C_Employee2\n"
                               "  )";

const int32_t GroupsFetchBy = 200;

std::string ShiftEntry(const std::string& Description, std::optional<TDateTime> Begin, std::optional<TDateTime> End)
{
    auto time = [](std::optional<TDateTime> Value) {
        return Value ? FormatDateTime("hh:nn AM/PM", *Value) : std::string();
    };
    return Description + " [" + time(Begin) + " - " + time(End) + "]";
}

std::string SelectedGroups(bool AllResidents, const std::vector<std::pair<int32_t, bool>>& Groups)
{
    if (AllResidents)
        return {};
    std::string s;
    for (const auto& [counter, checked] : Groups)
        if (checked)
            s += ";" + std::to_string(counter);
    return s.empty() ? s : s + ";";
}

bool GroupInText(const std::string& Text, int32_t Counter)
{
    return Text.find(";" + std::to_string(Counter) + ";") != std::string::npos;
}

} // namespace ShiftSQL

namespace {
// None for a missing or NULL value: such a time is not midnight.
std::optional<TDateTime> DateOf(const TNotifyRow& Row, const std::string& Name)
{
    auto it = Row.find(UpperCase(Name));
    if (it == Row.end() || VarToStr(it->second).empty())
        return std::nullopt;
    return it->second.AsDateTime();
}
} // namespace

TfrmShiftInfo::TfrmShiftInfo(TNotifyDatabase* Database, QWidget* Parent) : QDialog(Parent), m_db(Database)
{
    setWindowTitle("Shift Information");
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    edtFacility = new QLineEdit(this);
    edtFacility->setReadOnly(true);
    edtEmployee = new QLineEdit(this);
    edtEmployee->setReadOnly(true);
    cbShift = new QComboBox(this);
    form->addRow("Facility:", edtFacility);
    form->addRow("Employee:", edtEmployee);
    form->addRow("Shift:", cbShift);
    layout->addLayout(form);
    rbAll = new QRadioButton("&All residents", this);
    rbAll->setChecked(true);
    rbSelected = new QRadioButton("Selected resident &group(s):", this);
    layout->addWidget(rbAll);
    layout->addWidget(rbSelected);
    lbGroups = new QListWidget(this);
    layout->addWidget(lbGroups, 1);
    auto* row = new QHBoxLayout;
    btnSelectAll = new QPushButton("Select All", this);
    btnSelectNone = new QPushButton("Select &None", this);
    row->addWidget(btnSelectAll);
    row->addWidget(btnSelectNone);
    row->addStretch();
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    connect(cbShift, &QComboBox::currentIndexChanged, this, [this] { FillGroups(); });
    connect(rbAll, &QRadioButton::toggled, this, [this] { RadioChanged(); });
    auto checkAll = [this](bool On) {
        for (int i = 0; i < lbGroups->count(); ++i)
            lbGroups->item(i)->setCheckState(On ? Qt::Checked : Qt::Unchecked);
    };
    connect(btnSelectAll, &QPushButton::clicked, this, [checkAll] { checkAll(true); });
    connect(btnSelectNone, &QPushButton::clicked, this, [checkAll] { checkAll(false); });
}

void TfrmShiftInfo::UpdateShifts(int32_t Facility, int32_t Employee, int32_t Shift)
{
    const QSignalBlocker block(cbShift);
    cbShift->clear();
    std::vector<TNotifyRow> shifts;
    m_groupRows.clear();
    if (m_db) {
        shifts = m_db->Open(ShiftSQL::ShiftsText, {Facility});
        m_groupRows = m_db->OpenFetchingBy(ShiftSQL::GroupsText, {Facility, Employee, Employee}, ShiftSQL::GroupsFetchBy);
    }
    int select = shifts.empty() ? -1 : 0;
    for (const TNotifyRow& row : shifts) {
        const int32_t counter = StrToIntDef(NotifyField(row, "Counter"), 0);
        if (counter == Shift)
            select = cbShift->count();
        cbShift->addItem(QString::fromStdString(ShiftSQL::ShiftEntry(
                             NotifyField(row, "Description"), DateOf(row, "Begin_Time"), DateOf(row, "End_Time"))),
                         counter);
    }
    cbShift->setCurrentIndex(select);
    FillGroups();
}

void TfrmShiftInfo::FillGroups()
{
    lbGroups->clear();
    const int32_t shift = SelectedShift();
    if (cbShift->currentIndex() >= 0)
        for (const TNotifyRow& row : m_groupRows)
            if (StrToIntDef(NotifyField(row, "C_DayShift"), -1) == shift) {
                auto* item = new QListWidgetItem("Group: " + QString::fromStdString(NotifyField(row, "Group_Number")),
                                                 lbGroups);
                item->setData(Qt::UserRole, StrToIntDef(NotifyField(row, "Counter"), 0));
                item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
                item->setCheckState(Qt::Unchecked);
            }
    const bool any = lbGroups->count() > 0;
    if (!any)
        rbAll->setChecked(true);
    rbAll->setEnabled(any);
    rbSelected->setEnabled(any);
    lbGroups->setEnabled(any);
    RadioChanged();
}

void TfrmShiftInfo::RadioChanged()
{
    const bool all = rbAll->isChecked();
    lbGroups->setEnabled(!all && lbGroups->count() > 0);
    btnSelectAll->setEnabled(!all);
    btnSelectNone->setEnabled(!all);
    if (all) {
        for (int i = 0; i < lbGroups->count(); ++i)
            lbGroups->item(i)->setCheckState(Qt::Checked);
    } else {
        SetSelectedResidentGroups(SavedGroups);
    }
}

std::string TfrmShiftInfo::GetSelectedResidentGroups() const
{
    std::vector<std::pair<int32_t, bool>> groups;
    for (int i = 0; i < lbGroups->count(); ++i)
        groups.emplace_back(lbGroups->item(i)->data(Qt::UserRole).toInt(),
                            lbGroups->item(i)->checkState() == Qt::Checked);
    return ShiftSQL::SelectedGroups(!rbSelected->isChecked(), groups);
}

void TfrmShiftInfo::SetSelectedResidentGroups(const std::string& Text)
{
    for (int i = 0; i < lbGroups->count(); ++i)
        lbGroups->item(i)->setCheckState(
            ShiftSQL::GroupInText(Text, lbGroups->item(i)->data(Qt::UserRole).toInt()) ? Qt::Checked : Qt::Unchecked);
}

int32_t TfrmShiftInfo::SelectedShift() const
{
    return cbShift->currentIndex() < 0 ? -1 : cbShift->currentData().toInt();
}

std::string TfrmShiftInfo::SelectedShiftText() const { return cbShift->currentText().toStdString(); }

void TfrmShiftInfo::CheckOk() const
{
    if (rbSelected->isChecked() && GetSelectedResidentGroups().empty())
        throw EOndrelException("Please select one or more resident group(s)");
}

void TfrmShiftInfo::accept()
{
    try {
        CheckOk();
    } catch (const EOndrelException& e) {
        ShowMessage(e.Message());
        return;
    }
    QDialog::accept();
}

bool RunShiftInfo(TNotifyDatabase* Database, QWidget* Owner, TShiftChoice& Choice,
                  const std::function<int(TfrmShiftInfo&)>& Exec)
{
    TfrmShiftInfo dlg(Database, Owner);
    dlg.edtFacility->setText(QString::fromStdString(Format("[%s] %s", Choice.FacilityCode, Choice.FacilityName)));
    dlg.edtEmployee->setText(QString::fromStdString(Choice.EmployeeName));
    dlg.UpdateShifts(Choice.Facility, Choice.Employee, Choice.Shift);
    if (dlg.cbShift->count() == 0)
        return false;
    dlg.SavedGroups = Choice.ResidentGroups;
    if (Choice.ResidentGroups.empty())
        dlg.rbAll->setChecked(true);
    else
        dlg.rbSelected->setChecked(true);
    const int result = Exec ? Exec(dlg) : dlg.exec();
    if (result != QDialog::Accepted)
        return false;
    Choice.Shift = dlg.SelectedShift();
    Choice.ShiftText = dlg.SelectedShiftText();
    Choice.ResidentGroups = dlg.GetSelectedResidentGroups();
    return true;
}
