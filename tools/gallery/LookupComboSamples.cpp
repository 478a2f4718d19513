// Samples of the combos' lookup window (a query sheet with its search
// column marked, the items-only list, the red state with nothing to pick)
// and of the combos' picture buttons in their looks.

#include "tools/gallery/GallerySamples.h"

#include "Components/Nembra/NembraDataSet.h"
#include "Components/Nembra/ovnOndrel.h"
#include "platform/Buttons.h"
#include "platform/Dialogs.h"
#include "platform/Fields.h"
#include "platform/ListBox.h"
#include "platform/Mask.h"
#include "ui/LookupFormDBCombo.h"
#include "ui/ovnButtons.h"
#include "ui/ovnPictures.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <memory>

namespace {

// The rows the query sheet shows, read by the window's query as if the
// server had sent them.
struct FacilityRows
{
    TNembraDataSet Ds;
    FacilityRows()
    {
        Ds.FieldDefs().Add("COUNTER", ftInteger);
        Ds.FieldDefs().Add("FACILITY", ftString, 20);
        Ds.FieldDefs().Add("FACILITY_NAME", ftString, 60);
        Ds.Open();
        const std::tuple<int, const char*, const char*> rows[] = {{1, "OAK", "Oak Grove Care Home"},
                                                                  {2, "RIVER", "Riverside Residence"},
                                                                  {3, "ELM", "Elm Street House"},
                                                                  {4, "MAPLE", "Maple Court Assisted Living"}};
        for (auto [counter, code, name] : rows) {
            Ds.Append();
            Ds.FieldByName("COUNTER")->SetAsInteger(counter);
            Ds.FieldByName("FACILITY")->SetAsString(code);
            Ds.FieldByName("FACILITY_NAME")->SetAsString(name);
            Ds.Post();
        }
    }
};

TfrmDBCombo* NewWindow(QWidget* parent)
{
    auto* f = new TfrmDBCombo(parent);
    f->setWindowFlags(Qt::Widget);
    f->resize(parent->size());
    f->SetOwnerCombo("cboFacility", "FACILITY_NAME", "COUNTER");
    f->SearchField = "FACILITY_NAME";
    return f;
}

QWidget* MakeQueryWindow(QWidget* parent)
{
    static FacilityRows rows;
    TfrmDBCombo* f = NewWindow(parent);
    f->Query->SQLSchema().Select().SetText("COUNTER, FACILITY, FACILITY_NAME");
    f->Query->SQLSchema().From().SetText("TBL_FACILITY");
    f->Query->CloneCursor(&rows.Ds, {});
    f->PrepareShow();
    f->edtSimple->SetText("Riv");
    return f;
}

QWidget* MakeItemsWindow(QWidget* parent)
{
    TfrmDBCombo* f = NewWindow(parent);
    TStringList items;
    items.SetText("ACT Active\nDIS Discharged\nHOS In hospital\nLOA Leave of absence");
    f->ListBox->Items().Assign(items);
    f->PrepareShow();
    return f;
}

QWidget* MakeRedWindow(QWidget* parent)
{
    TfrmDBCombo* f = NewWindow(parent);
    // The error box the red state shows is answered at once.
    auto boxes = std::make_unique<TScriptedDialogs>();
    boxes->QueueAnswer(mrOk);
    std::unique_ptr<IDialogService> previous = SetDialogService(std::move(boxes));
    f->PrepareShow();
    SetDialogService(std::move(previous));
    return f;
}

// The three pictures of the combos in each look of the control button.
QWidget* MakeButtons(QWidget* parent)
{
    auto* panel = new QWidget(parent);
    panel->setAutoFillBackground(true);
    QPalette pal = panel->palette();
    pal.setColor(QPalette::Window, QColor(0xF2, 0xF2, 0xF2));
    panel->setPalette(pal);
    auto* grid = new QVBoxLayout(panel);
    const QImage* pictures[] = {&ovnPictures().pngLookup, &ovnPictures().pngPlus, &ovnPictures().pngInfo};
    const char* looks[] = {"resting", "mouse over", "down", "disabled"};
    for (int look = 0; look < 4; ++look) {
        auto* row = new QHBoxLayout();
        auto* label = new QLabel(QString::fromUtf8(looks[look]), panel);
        label->setFixedWidth(80);
        row->addWidget(label);
        int group = 0;
        for (const QImage* picture : pictures) {
            auto* button = new TovnControlButton(panel);
            button->SetFlat(true);
            button->setFixedSize(20, 22);
            button->SetPngPicture(picture);
            button->setObjectName(QString::fromUtf8(looks[look]));
            if (look == 2) {
                button->SetGroupIndex(++group);
                button->SetDown(true);
            }
            if (look == 3)
                button->setEnabled(false);
            row->addWidget(button);
        }
        row->addStretch(1);
        grid->addLayout(row);
    }
    // A plain speed button and a list box, as the platform draws them.
    auto* row = new QHBoxLayout();
    auto* speed = new TSpeedButton(panel);
    speed->SetCaption("Apply Filter");
    speed->setFixedSize(90, 23);
    auto* toggled = new TSpeedButton(panel);
    toggled->SetCaption("Down");
    toggled->SetGroupIndex(1);
    toggled->SetDown(true);
    toggled->setFixedSize(60, 23);
    auto* list = new TListBox(panel);
    TStringList lines;
    lines.SetText("ABC Alpha\nDEF Delta");
    list->Items().Assign(lines);
    list->SetItemIndex(0);
    list->setFixedSize(140, 44);
    row->addWidget(speed);
    row->addWidget(toggled);
    row->addWidget(list);
    row->addStretch(1);
    grid->addLayout(row);
    return panel;
}

std::vector<std::pair<std::string, QImage>> HoverButtons(QWidget* control)
{
    for (auto* button : control->findChildren<TovnControlButton*>())
        if (button->objectName() == QStringLiteral("mouse over"))
            GalleryHover(button, 5, 5);
    return {};
}

const TGalleryRegistration QueryWindow{{"combo-lookup-window", QSize(520, 300), MakeQueryWindow, nullptr}};
const TGalleryRegistration ItemsWindow{{"combo-lookup-items", QSize(420, 310), MakeItemsWindow, nullptr}};
const TGalleryRegistration RedWindow{{"combo-lookup-red", QSize(420, 240), MakeRedWindow, nullptr}};
const TGalleryRegistration Buttons{{"control-buttons", QSize(360, 170), MakeButtons, HoverButtons}};

} // namespace
