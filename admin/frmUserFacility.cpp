#include "admin/frmUserFacility.h"

#include "Components/Nembra/NembraDatabase.h"
#include "Components/Nembra/ovnOndrel.h"
#include "admin/AccessRules.h"
#include "admin/AdminForms.h"
#include "platform/DataSet.h"
#include "platform/Fields.h"
#include "platform/ReportList.h"
#include "platform/StdCtrls.h"
#include "platform/StringList.h"

#include <QLabel>
#include <QVBoxLayout>

TfrmUserFacility::TfrmUserFacility(TAdminContext Context, QWidget* Parent)
    : TAdminDialog(std::move(Context), Parent)
{
    setWindowTitle("Facility Access");
    SetPosition(poScreenCenter);
    lvFacilities = new TReportList(this);
    lvFacilities->SetColumns({{"Facility", 320, false}, {"Mgr", 50, true}});
    lvFacilities->OnMouseUp = [this](TMouseButton, int x, int y) { ListMouseUp(x, y); };
    lblInfo = new TPlainLabel(this);
    btnOK = MakeAction(this, "&OK", [this] { OKClick(); });
    btnCancel = MakeButton("&Cancel", mrCancel, false, true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lvFacilities, 1);
    layout->addWidget(lblInfo);
    layout->addLayout(MakeButtonRow({btnOK, btnCancel}));
    resize(440, 380);
}

void TfrmUserFacility::SetInfo(const std::string& Text)
{
    lblInfo->setText(QString::fromStdString(Text));
}

void TfrmUserFacility::Load()
{
    TovnOndrelQuery query;
    query.SetDatabase(&SysDB(Context()));
    query.SetFetchBy(255);
    SetSQLText(query, FacilityListSQL(Context().Admin, UserCounter, Enterprise));
    query.Open();
    lvFacilities->Clear();
    for (query.First(); !query.Eof(); query.Next()) {
        const int checked = query.FieldByName("CNT")->AsInteger() >= 1 ? 2 : 1;
        const int manager = !IsManager ? 0 : FieldText(query, "ATYPE") == "MGR" ? 2 : 1;
        lvFacilities->AddItem(FieldText(query, "FACILITY") + " [" + FieldText(query, "DESCRIPTION") + "]",
                              query.FieldByName("FC")->AsInteger(), checked, {manager});
    }
}

void TfrmUserFacility::ListMouseUp(int X, int Y)
{
    if (X < lvFacilities->FirstColumnRight()) {
        const int item = lvFacilities->ItemAt(X, Y);
        if (item >= 0)
            lvFacilities->SetStateIndex(item, lvFacilities->StateIndex(item) == 2 ? 1 : 2);
        return;
    }
    const int row = lvFacilities->RowAt(Y);
    if (row >= 0 && lvFacilities->SubState(row, 1) != 0)
        lvFacilities->SetSubState(row, 1, lvFacilities->SubState(row, 1) == 2 ? 1 : 2);
}

void TfrmUserFacility::OKClick()
{
    std::vector<TFacilityTick> ticks;
    for (int i = 0; i < lvFacilities->Count(); ++i)
        ticks.push_back({static_cast<int32_t>(lvFacilities->Data(i)), lvFacilities->StateIndex(i) == 2,
                         lvFacilities->SubState(i, 1) == 2});
    const TLines script = FacilitySaveScript(UserCounter, ticks);
    if (!script.empty()) {
        TStringList lines;
        SetLines(lines, script);
        SysDB(Context()).ExecBatch(lines, true);
    }
    SetModalResult(mrOk);
}
