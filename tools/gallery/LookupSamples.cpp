// Samples of the lookup pick window (a facility list, the Filter button
// bold as it is while a user filter holds) and of the quick-type popup.

#include "tools/gallery/GallerySamples.h"

#include "Components/KldDBComponents/KldDataSet.h"
#include "platform/DBGrids.h"
#include "platform/Mask.h"
#include "ui/DataEntryForm.h"
#include "ui/Lookup.h"

#include <QPushButton>
#include <QTableView>

namespace {

struct FacilityData
{
    TKldDataContainer Container;
    TKldDataSet Ds;
    FacilityData()
    {
        TKldDataTable* t = Container.Tables().Add();
        t->SetName("Facilities");
        t->Columns().AddColumn("COUNTER", cdtInteger);
        t->Columns().AddColumn("FACILITY", cdtString, 20);
        t->Columns().AddColumn("FACILITY_NAME", cdtString, 40);
        t->BeginUpdate();
        const std::tuple<int, const char*, const char*> rows[] = {
            {1, "OAK", "Oak Grove Care Home"}, {2, "RIVER", "Riverside Residence"}, {3, "ELM", "Elm Street House"}};
        for (auto [counter, code, name] : rows) {
            TKldDataRow* row = t->New();
            row->SetAsVariant("COUNTER", counter);
            row->SetAsVariant("FACILITY", code);
            row->SetAsVariant("FACILITY_NAME", name);
            t->Insert(row);
        }
        t->EndUpdate();
        Ds.SetDataContainer(&Container);
        Ds.SetDataTableName("Facilities");
        Ds.Open();
    }
};

QWidget* MakeLookup(QWidget* parent)
{
    static FacilityData data;
    auto* f = new TfrmLookup(parent);
    f->setWindowFlags(Qt::Widget);
    f->DS->SetDataSet(&data.Ds);
    QFont bold = f->btnFilter->font();
    bold.setBold(true);
    f->btnFilter->setFont(bold);
    f->Grid->selectRow(1);
    return f;
}

QWidget* MakeDataEntry(QWidget* parent)
{
    auto* f = new TfrmDataEntry(parent);
    f->setWindowFlags(Qt::Widget);
    f->resize(180, f->height());
    f->Edt->SetText("Riv");
    return f;
}

const TGalleryRegistration DataEntry{{"quick-type-popup", QSize(180, 27), MakeDataEntry, nullptr}};
const TGalleryRegistration Lookup{{"lookup-window", QSize(460, 240), MakeLookup, nullptr}};

} // namespace
