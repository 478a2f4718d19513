#pragma once
// The residents data form, as the "RESIDENTS_DATA" sample applet shows it and
// the tests and the gallery build it: a data-form manager named "Manager"
// over TBL_RESIDENT. Page 0 lists the residents with a filter box, page 1
// holds the record; below them the seven command buttons.

#include "Components/Controller/ovnAppletApi.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include <functional>
#include <string>

namespace Samples {

class TResidentsForm : public TovnAppletForm
{
  public:
    explicit TResidentsForm(QWidget* Parent = nullptr) : TovnAppletForm(Parent)
    {
        setObjectName("frmResidents");
        SetCaption("Residents");
        resize(640, 440);
        TComponent& parts = FormComponents(this);

        Master = new TovnOndrelQuery(&parts);
        Master->SetName("qryResidents");
        Master->SetDatabaseName("DATA");
        Master->SQLSchema().Select().SetText("T1.COUNTER, T1.RESIDENT_NAME, T1.ROOM, T1.BALANCE");
        Master->SQLSchema().From().SetText("TBL_RESIDENT T1");
        Master->SQLSchema().Where().SetText("T1.CURRENT_USE = 'T'");
        Master->SQLSchema().OrderBy().SetText("T1.RESIDENT_NAME");
        Detail = new TovnOndrelTable(&parts);
        Detail->SetName("tblResident");
        Detail->SetDatabaseName("DATA");
        Detail->SetTableName("TBL_RESIDENT");
        Detail->SQLSchema().Select().SetText("T1.*");
        Detail->SQLSchema().From().SetText("TBL_RESIDENT T1");
        // New residents are live; the manager numbers them after this.
        Detail->OnNewRecord = [](TDataSet* DataSet) { DataSet->FieldByName("CURRENT_USE")->SetAsString("T"); };
        MasterSource = new TovnDataSource(&parts);
        MasterSource->SetName("dsResidents");
        MasterSource->SetDataSet(Master);
        DetailSource = new TovnDataSource(&parts);
        DetailSource->SetName("dsResident");
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
        record->SetCaption("Record");

        FilterBox = new TGroupBox(list);
        FilterBox->setObjectName("gbFilter");
        FilterBox->SetCaption("Filter");
        FilterBox->setGeometry(8, 8, 600, 52);
        FieldBox = Named(new TComboBox(FilterBox), "cbField", 8, 20, 170, 24);
        FieldBox->SetStyle(csDropDownList);
        RelatesBox = Named(new TComboBox(FilterBox), "cbRelates", 184, 20, 70, 24);
        RelatesBox->SetStyle(csDropDownList);
        for (const char* relation : {"=", "<>", ">", ">=", "<", "<=", "LIKE"})
            RelatesBox->AddItem(relation);
        ValueBox = Named(new TEdit(FilterBox), "edValue", 260, 20, 170, 24);
        ApplyButton = new TSpeedButton(FilterBox);
        ApplyButton->SetName("sbApply");
        ApplyButton->SetCaption("Apply");
        ApplyButton->SetBounds(436, 20, 74, 24);
        AdvancedButton = new TSpeedButton(FilterBox);
        AdvancedButton->SetName("sbAdvanced");
        AdvancedButton->SetCaption("Advanced");
        AdvancedButton->SetBounds(516, 20, 76, 24);
        Grid = new TDBGrid(list);
        Grid->setObjectName("grdResidents");
        Grid->setGeometry(8, 66, 600, 250);
        Grid->SetDataSource(MasterSource);

        NameEdit = Field(new TovnDBEdit(record), "edName", "Name", "RESIDENT_NAME", 8);
        RoomEdit = Field(new TovnDBEdit(record), "edRoom", "Room", "ROOM", 40);
        BalanceEdit = Field(new TovnDBEdit(record), "edBalance", "Balance", "BALANCE", 72);
        Notes = new TovnDBMemo(record);
        Notes->setObjectName("mmNotes");
        Notes->SetDataSource(DetailSource);
        Notes->SetDataField("NOTES");
        Notes->setGeometry(8, 104, 420, 90);

        auto* buttons = new QHBoxLayout;
        layout->addLayout(buttons);
        ButtonEdit = Button(buttons, "btnEdit", "&Edit");
        ButtonNew = Button(buttons, "btnNew", "&New");
        ButtonClone = Button(buttons, "btnClone", "C&lone");
        ButtonDelete = Button(buttons, "btnDelete", "&Delete");
        ButtonPrint = Button(buttons, "btnPrint", "&Print");
        buttons->addStretch(1);
        ButtonAccept = Button(buttons, "btnAccept", "&Accept");
        ButtonCancel = Button(buttons, "btnCancel", "&Close");

        Manager = new TovnManager(&parts);
        Manager->SetName("Manager");
        Manager->SetDetailTable("tbl_resident");
        Manager->SetPageBook(Pages);
        Manager->SetDatabaseGrid(Grid);
        Manager->SetButtonEdit(ButtonEdit);
        Manager->SetButtonNew(ButtonNew);
        Manager->SetButtonClone(ButtonClone);
        Manager->SetButtonDelete(ButtonDelete);
        Manager->SetButtonPrint(ButtonPrint);
        Manager->SetButtonAccept(ButtonAccept);
        Manager->SetButtonCancel(ButtonCancel);
        Manager->SetMasterDataSource(MasterSource);
        Manager->SetDetailDataSource(DetailSource);
        TSimpleFilter& filter = Manager->SimpleFilter();
        filter.SetFieldBox(FieldBox);
        filter.SetRelatesBox(RelatesBox);
        filter.SetValueBox(ValueBox);
        filter.SetFilterBox(FilterBox);
        filter.SetApplyButton(ApplyButton);
        filter.SetAdvancedButton(AdvancedButton);

        Wire(ButtonEdit, [this] { Manager->EditClicked(); });
        Wire(ButtonNew, [this] { Manager->NewClicked(); });
        Wire(ButtonClone, [this] { Manager->CloneClicked(); });
        Wire(ButtonDelete, [this] { Manager->DeleteClicked(); });
        Wire(ButtonPrint, [this] { Manager->PrintClicked(); });
        Wire(ButtonAccept, [this] { Manager->AcceptClicked(); });
        Wire(ButtonCancel, [this] { Manager->CancelClicked(); });
        ApplyButton->OnClick = [this](TObject*) { Guard([this] { Manager->DoSimpleFilter(); }); };
        AdvancedButton->OnClick = [this](TObject*) { Guard([this] { Manager->AdvanceFilter(); }); };
        Pages->OnChanging = [this](TObject*, bool& AllowChange) {
            Guard([&] { Manager->PageChanging(AllowChange); });
        };
    }

    // The applet's start: the manager's Initialize, then InitializeDB.
    void Start(TovnApplet* Applet)
    {
        Manager->Initialize(Applet);
        Manager->InitializeDB();
    }

    // Runs a command; an error shows in an error box, as the library's
    // unhandled exceptions do.
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
    TGroupBox* FilterBox;
    TComboBox* FieldBox;
    TComboBox* RelatesBox;
    TEdit* ValueBox;
    TSpeedButton* ApplyButton;
    TSpeedButton* AdvancedButton;
    TDBGrid* Grid;
    TovnDBEdit* NameEdit;
    TovnDBEdit* RoomEdit;
    TovnDBEdit* BalanceEdit;
    TovnDBMemo* Notes;
    TButton* ButtonEdit;
    TButton* ButtonNew;
    TButton* ButtonClone;
    TButton* ButtonDelete;
    TButton* ButtonPrint;
    TButton* ButtonAccept;
    TButton* ButtonCancel;
    TovnManager* Manager;

  private:
    template <class W> W* Named(W* Widget, const char* Name, int Left, int Top, int Width, int Height)
    {
        Widget->setObjectName(Name);
        Widget->setGeometry(Left, Top, Width, Height);
        return Widget;
    }

    TovnDBEdit* Field(TovnDBEdit* Edit, const char* Name, const char* Caption, const char* FieldName, int Top)
    {
        Edit->setObjectName(Name);
        Edit->SetCaption(Caption);
        Edit->SetIndent(80);
        Edit->SetDataSource(DetailSource);
        Edit->SetDataField(FieldName);
        Edit->setGeometry(8, Top, 320, 26);
        return Edit;
    }

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
