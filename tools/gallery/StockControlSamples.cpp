// Samples of the platform's stock controls that applet forms place beside
// the data-entry family: edit, memo, buttons, check box, radio button,
// group box and combo box, and their data-aware kin over a local record
// (a data combo box read-only as the command stack's cm_ReadOnly leaves it).

#include "tools/gallery/GallerySamples.h"

#include "Components/Nembra/ovnDataSet.h"
#include "platform/DBStockControls.h"
#include "platform/StockControls.h"

namespace {

struct StockData
{
    TovnDataSet Record;
    TovnDataSet Facilities;
    TovnDataSource RecordSource;
    TovnDataSource FacilitySource;
    StockData()
    {
        Record.FieldDefs().Add("ACTIVE", ftString, 1);
        Record.FieldDefs().Add("KIND", ftString, 20);
        Record.FieldDefs().Add("C_FACILITY", ftInteger);
        Record.Open();
        Record.AppendRecord({Variant(std::string("T")), Variant(std::string("Respite")), Variant(int32_t(2))});
        RecordSource.SetDataSet(&Record);
        Facilities.FieldDefs().Add("COUNTER", ftInteger);
        Facilities.FieldDefs().Add("FACILITY_NAME", ftString, 40);
        Facilities.Open();
        Facilities.AppendRecord({Variant(int32_t(1)), Variant(std::string("Oak Grove Care Home"))});
        Facilities.AppendRecord({Variant(int32_t(2)), Variant(std::string("Riverside Residence"))});
        FacilitySource.SetDataSet(&Facilities);
    }
};

template <class W> W* Place(W* Widget, int Left, int Top, int Width, int Height)
{
    Widget->setGeometry(Left, Top, Width, Height);
    return Widget;
}

QWidget* MakeStock(QWidget* parent)
{
    static StockData data;
    auto* page = new QWidget(parent);
    Place(new TEdit(page), 8, 8, 180, 24)->SetText("An edit");
    auto* required = Place(new TEdit(page), 196, 8, 180, 24);
    required->SetText("Coloured by cm_Color");
    required->SetColor(0x80FFFF);
    Place(new TMemo(page), 8, 40, 368, 60)->SetText("A memo\nof two lines");
    Place(new TButton(page), 8, 108, 88, 28)->SetCaption("Button");
    Place(new TBitBtn(page), 104, 108, 100, 28)->SetCaption("Bitmap button");
    auto* check = Place(new TCheckBox(page), 212, 108, 164, 28);
    check->SetCaption("Check box");
    check->SetChecked(true);
    auto* group = Place(new TGroupBox(page), 8, 144, 368, 64);
    group->SetCaption("Group box");
    auto* radio = Place(new TRadioButton(group), 10, 24, 160, 24);
    radio->SetCaption("Radio button");
    radio->SetChecked(true);
    auto* combo = Place(new TComboBox(group), 180, 24, 176, 26);
    for (const char* kind : {"Day care", "Respite", "Long term"})
        combo->AddItem(kind);
    combo->SetItemIndex(0);

    auto* dataCheck = Place(new TDBCheckBox(page), 8, 216, 180, 24);
    dataCheck->SetCaption("Data check box");
    dataCheck->SetDataSource(&data.RecordSource);
    dataCheck->SetDataField("ACTIVE");
    auto* dataCombo = Place(new TDBComboBox(page), 196, 216, 180, 26);
    for (const char* kind : {"Day care", "Respite", "Long term"})
        dataCombo->AddItem(kind);
    dataCombo->SetDataSource(&data.RecordSource);
    dataCombo->SetDataField("KIND");
    dataCombo->SetReadOnly(true);
    auto* lookup = Place(new TDBLookupComboBox(page), 8, 250, 368, 26);
    lookup->KeyField = "COUNTER";
    lookup->ListField = "FACILITY_NAME";
    lookup->SetListSource(&data.FacilitySource);
    lookup->SetDataSource(&data.RecordSource);
    lookup->SetDataField("C_FACILITY");
    return page;
}

const TGalleryRegistration Stock{{"stock-controls", QSize(384, 284), MakeStock, nullptr}};

} // namespace
