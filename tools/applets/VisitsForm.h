#pragma once
// The visits data form, as the "RESIDENT_VISITS" sample applet shows it and
// the tests build it: a data-form manager over TBL_RESIDENT_VISIT whose
// record page picks the resident with a lookup combo. The combo's plus
// button opens "RESIDENTS_DATA" for a new resident (mode 1) and takes the
// new resident back through the command stack ("MANAGER" returns the
// counter and the name); its information button opens the resident shown
// (mode 3).

#include "Components/Controller/ovnAppletApi.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include <functional>
#include <string>

namespace Samples {

class TVisitsForm : public TovnAppletForm
{
  public:
    explicit TVisitsForm(QWidget* Parent = nullptr) : TovnAppletForm(Parent)
    {
        setObjectName("frmVisits");
        SetCaption("Visits");
        resize(560, 360);
        TComponent& parts = FormComponents(this);

        Master = new TovnOndrelQuery(&parts);
        Master->SetName("qryVisits");
        Master->SetDatabaseName("DATA");
        Master->SQLSchema().Select().SetText("T1.COUNTER, T1.RESIDENT_NAME, T1.VISITOR, T1.VISIT_DATE");
        Master->SQLSchema().From().SetText("TBL_RESIDENT_VISIT T1");
        Master->SQLSchema().Where().SetText("T1.CURRENT_USE = 'T'");
        Master->SQLSchema().OrderBy().SetText("T1.VISIT_DATE");
        Detail = new TovnOndrelTable(&parts);
        Detail->SetName("tblVisit");
        Detail->SetDatabaseName("DATA");
        Detail->SetTableName("TBL_RESIDENT_VISIT");
        Detail->SQLSchema().Select().SetText("T1.*");
        Detail->SQLSchema().From().SetText("TBL_RESIDENT_VISIT T1");
        Detail->OnNewRecord = [](TDataSet* DataSet) { DataSet->FieldByName("CURRENT_USE")->SetAsString("T"); };
        MasterSource = new TovnDataSource(&parts);
        MasterSource->SetName("dsVisits");
        MasterSource->SetDataSet(Master);
        DetailSource = new TovnDataSource(&parts);
        DetailSource->SetName("dsVisit");
        DetailSource->SetDataSet(Detail);

        auto* layout = new QVBoxLayout(this);
        Pages = new TPageControl(this);
        Pages->SetName("pcBook");
        layout->addWidget(Pages, 1);
        auto* list = new TTabSheet(Pages);
        list->SetName("tsList");
        list->SetCaption("List");
        auto* record = new TTabSheet(Pages);
        record->SetName("tsRecord");
        record->SetCaption("Visit");
        Grid = new TDBGrid(list);
        Grid->setObjectName("grdVisits");
        Grid->setGeometry(8, 8, 520, 230);
        Grid->SetDataSource(MasterSource);

        Resident = new TovnDBLookupCombo(record);
        Resident->setObjectName("lcResident");
        Resident->SetCaption("Resident");
        Resident->SetIndent(80);
        Resident->setGeometry(8, 8, 400, 26);
        Resident->SetDataSource(DetailSource);
        Resident->SetDataField("C_RESIDENT");
        Resident->SetDataDisplayField("RESIDENT_NAME");
        Resident->LookupSQL().Select().SetText("COUNTER, RESIDENT_NAME, ROOM");
        Resident->LookupSQL().From().SetText("TBL_RESIDENT");
        Resident->LookupSQL().Where().SetText("CURRENT_USE = 'T'");
        Resident->LookupSQL().OrderBy().SetText("RESIDENT_NAME");
        Resident->SetLookupField("COUNTER");
        Resident->SetLookupDisplayField("RESIDENT_NAME");
        Resident->SetPlusResource("RESIDENTS_DATA");
        Resident->SetPlusReturnFrom("MANAGER");
        Resident->Loaded();
        Visitor = new TovnDBEdit(record);
        Visitor->setObjectName("edVisitor");
        Visitor->SetCaption("Visitor");
        Visitor->SetIndent(80);
        Visitor->setGeometry(8, 40, 400, 26);
        Visitor->SetDataSource(DetailSource);
        Visitor->SetDataField("VISITOR");

        auto* buttons = new QHBoxLayout;
        layout->addLayout(buttons);
        ButtonEdit = Button(buttons, "btnEdit", "&Edit");
        ButtonNew = Button(buttons, "btnNew", "&New");
        buttons->addStretch(1);
        ButtonAccept = Button(buttons, "btnAccept", "&Accept");
        ButtonCancel = Button(buttons, "btnCancel", "&Close");

        Manager = new TovnManager(&parts);
        Manager->SetName("Manager");
        Manager->SetDetailTable("TBL_RESIDENT_VISIT");
        Manager->SetPageBook(Pages);
        Manager->SetDatabaseGrid(Grid);
        Manager->SetButtonEdit(ButtonEdit);
        Manager->SetButtonNew(ButtonNew);
        Manager->SetButtonAccept(ButtonAccept);
        Manager->SetButtonCancel(ButtonCancel);
        Manager->SetMasterDataSource(MasterSource);
        Manager->SetDetailDataSource(DetailSource);
        Wire(ButtonEdit, [this] { Manager->EditClicked(); });
        Wire(ButtonNew, [this] { Manager->NewClicked(); });
        Wire(ButtonAccept, [this] { Manager->AcceptClicked(); });
        Wire(ButtonCancel, [this] { Manager->CancelClicked(); });
        Pages->OnChanging = [this](TObject*, bool& AllowChange) {
            Guard([&] { Manager->PageChanging(AllowChange); });
        };
    }

    void Start(TovnApplet* Applet)
    {
        Manager->Initialize(Applet);
        Manager->InitializeDB();
    }

    void Guard(const std::function<void()>& Step)
    {
        try {
            Step();
        } catch (const Exception& e) {
            MessageDlg(e.Message(), mtError, TMsgDlgButtons{mbOK});
        }
    }

    TovnOndrelQuery* Master;
    TovnOndrelTable* Detail;
    TovnDataSource* MasterSource;
    TovnDataSource* DetailSource;
    TPageControl* Pages;
    TDBGrid* Grid;
    TovnDBLookupCombo* Resident;
    TovnDBEdit* Visitor;
    TButton* ButtonEdit;
    TButton* ButtonNew;
    TButton* ButtonAccept;
    TButton* ButtonCancel;
    TovnManager* Manager;

  private:
    TButton* Button(QHBoxLayout* Row, const char* Name, const char* Caption)
    {
        auto* button = new TButton(this);
        button->setObjectName(Name);
        button->SetCaption(Caption);
        Row->addWidget(button);
        return button;
    }

    void Wire(TButton* Button, std::function<void()> Step)
    {
        QObject::connect(Button, &QPushButton::clicked, this, [this, Step] { Guard(Step); });
    }
};

} // namespace Samples
