// Samples of the residents data form run by its data-form manager: the list
// in view, a record in edit, and a record being copied with two marked
// controls. The gallery has no server: the grid and the editors show local
// copies of the demo's residents, and the states are the manager's own
// steps (ResetToView, EnableDetail, SetMarked) without the datasets.

#include "tools/gallery/GallerySamples.h"

#include "tools/applets/ResidentsForm.h"
#include "tools/applets/VisitsForm.h"

#include <memory>

namespace {

struct ResidentData
{
    TovnDataSet List;
    TovnDataSet Record;
    TovnDataSource ListSource;
    TovnDataSource RecordSource;
    TovnApplet Applet;
    ResidentData()
    {
        List.FieldDefs().Add("COUNTER", ftInteger);
        List.FieldDefs().Add("RESIDENT_NAME", ftString, 80);
        List.FieldDefs().Add("ROOM", ftString, 10);
        List.FieldDefs().Add("BALANCE", ftFloat);
        List.Open();
        const std::tuple<int, const char*, const char*, double> rows[] = {
            {1, "Agnes Miller", "101", 125.5}, {2, "Bernard Cole", "102", 0}, {3, "Clara Dunn", "103", -40.25},
            {4, "Dmitri Volkov", "12", 310}, {5, "Esther Quinn", "14", 12.75}};
        for (auto [counter, name, room, balance] : rows)
            List.AppendRecord({Variant(int32_t(counter)), Variant(std::string(name)), Variant(std::string(room)),
                               Variant(balance)});
        List.First();
        ListSource.SetDataSet(&List);
        Record.FieldDefs().Add("RESIDENT_NAME", ftString, 80);
        Record.FieldDefs().Add("ROOM", ftString, 10);
        Record.FieldDefs().Add("BALANCE", ftFloat);
        Record.FieldDefs().Add("NOTES", ftMemo);
        Record.Open();
        Record.AppendRecord({Variant(std::string("Agnes Miller")), Variant(std::string("101")), Variant(125.5),
                             Variant(std::string("Prefers tea in the afternoon."))});
        Record.Edit();
        RecordSource.SetDataSet(&Record);
        Applet.Caption = "Residents";
    }
};

ResidentData& Data()
{
    static ResidentData data;
    return data;
}

Samples::TResidentsForm* MakeForm(QWidget* parent)
{
    auto* form = new Samples::TResidentsForm(parent);
    form->Grid->SetDataSource(&Data().ListSource);
    for (TovnDBEdit* edit : {form->NameEdit, form->RoomEdit, form->BalanceEdit})
        edit->SetDataSource(&Data().RecordSource);
    form->Notes->SetDataSource(&Data().RecordSource);
    form->Manager->Initialize(&Data().Applet);
    return form;
}

QWidget* MakeView(QWidget* parent) { return MakeForm(parent); }

QWidget* MakeEdit(QWidget* parent)
{
    Samples::TResidentsForm* form = MakeForm(parent);
    form->Manager->SetStatus(msEdit);
    form->Manager->EnableDetail();
    return form;
}

QWidget* MakeClone(QWidget* parent)
{
    Samples::TResidentsForm* form = MakeForm(parent);
    form->Manager->SetStatus(msClone);
    form->Manager->EnableDetail();
    form->Manager->SlaveClicked(form->NameEdit);
    form->Manager->SlaveClicked(form->RoomEdit);
    return form;
}

// The visits form's record page with its lookup combo (plus and
// information buttons) showing the resident of a local visit.
QWidget* MakeVisit(QWidget* parent)
{
    static TovnDataSet visit;
    static TovnDataSource source;
    if (!visit.Active()) {
        visit.FieldDefs().Add("C_RESIDENT", ftInteger);
        visit.FieldDefs().Add("RESIDENT_NAME", ftString, 80);
        visit.FieldDefs().Add("VISITOR", ftString, 80);
        visit.Open();
        visit.AppendRecord({Variant(int32_t(1)), Variant(std::string("Agnes Miller")),
                            Variant(std::string("Ruth Miller"))});
        visit.Edit();
        source.SetDataSet(&visit);
    }
    auto* form = new Samples::TVisitsForm(parent);
    form->Resident->SetDataSource(&source);
    form->Visitor->SetDataSource(&source);
    form->Manager->Initialize(&Data().Applet);
    form->Manager->SetStatus(msEdit);
    form->Manager->EnableDetail();
    return form;
}

const TGalleryRegistration Visit{{"data-form-visits", QSize(560, 360), MakeVisit, nullptr}};
const TGalleryRegistration View{{"data-form-view", QSize(640, 440), MakeView, nullptr}};
const TGalleryRegistration Edit{{"data-form-edit", QSize(640, 440), MakeEdit, nullptr}};
const TGalleryRegistration Clone{{"data-form-clone", QSize(640, 440), MakeClone, nullptr}};

} // namespace
