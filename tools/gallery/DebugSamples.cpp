// The debug viewer of applet developers: over a filtered dataset and over
// lines of text.
#include "GallerySamples.h"

#include "Components/Controller/Debug.h"
#include "Components/Nembra/ovnDataSet.h"
#include "platform/StringList.h"

namespace {

QWidget* MakeDebugDataset(QWidget* parent)
{
    static TovnDataSet residents;
    if (!residents.Active()) {
        residents.SetName("qryResidents");
        residents.FieldDefs().Add("COUNTER", ftInteger);
        residents.FieldDefs().Add("RESIDENT_NAME", ftString, 30);
        residents.FieldDefs().Add("ROOM", ftString, 10);
        residents.Open();
        int counter = 1;
        for (auto [name, room] : {std::pair{"Ann Baker", "12"}, std::pair{"Bob Carter", "14"},
                                  std::pair{"Cora Dean", "21"}, std::pair{"Dan Ellis", "22"}}) {
            residents.Append();
            residents.FieldByName("COUNTER")->SetAsInteger(counter++);
            residents.FieldByName("RESIDENT_NAME")->SetAsString(name);
            residents.FieldByName("ROOM")->SetAsString(room);
            residents.Post();
        }
        residents.SetFilter("ROOM < \"20\"");
        residents.SetFiltered(true);
        residents.First();
    }
    auto* form = new TfrmDebug(parent);
    form->setWindowFlags(Qt::Widget);
    form->ShowDataSet(&residents);
    return form;
}

QWidget* MakeDebugStrings(QWidget* parent)
{
    TStringList lines;
    for (const char* line : {"Lock_Path=/OAK/ROTA", "Description=Rota of May", "Result=0"})
        lines.Add(line);
    auto* form = new TfrmDebug(parent);
    form->setWindowFlags(Qt::Widget);
    form->ShowStrings(lines);
    return form;
}

const TGalleryRegistration DebugDataset{{"debug-dataset", QSize(463, 296), MakeDebugDataset, nullptr}};
const TGalleryRegistration DebugStrings{{"debug-strings", QSize(463, 296), MakeDebugStrings, nullptr}};

} // namespace
