// Samples of the three combos: the lookup combo (with its information
// button), the data combo and the unbound combo, each plain, disabled,
// marked and with a calendar tool (the lookup combo has none; it shows one
// without the plus button instead). Focused states are extra pictures.

#include "tools/gallery/GallerySamples.h"

#include "Components/KldDBComponents/KldDataSet.h"
#include "platform/DataSource.h"
#include "platform/DateUtils.h"
#include "ui/ovnCombo.h"
#include "ui/ovnDBCombo.h"
#include "ui/ovnDBLookupCombo.h"

#include <QApplication>

namespace {

struct ComboData
{
    TKldDataContainer Container;
    TKldDataSet Ds;
    TDataSource Source;
    ComboData()
    {
        TKldDataTable* t = Container.Tables().Add();
        t->SetName("Residents");
        t->Columns().AddColumn("C_FACILITY", cdtString, 10);
        t->Columns().AddColumn("FACILITY_NAME", cdtString, 80);
        t->Columns().AddColumn("ROOM", cdtString, 10);
        t->Columns().AddColumn("ADMITTED", cdtString, 10);
        t->Columns().AddColumn("VISITED", cdtDateTime);
        t->BeginUpdate();
        TKldDataRow* row = t->New();
        row->SetAsVariant("C_FACILITY", "1");
        row->SetAsVariant("FACILITY_NAME", "Oak Grove Care Home");
        row->SetAsVariant("ROOM", "B-214");
        row->SetAsVariant("ADMITTED", "03/15/2024");
        row->SetAsVariant("VISITED", Variant::FromDate(EncodeDate(2024, 3, 15) + EncodeTime(15, 5, 0, 0)));
        t->Insert(row);
        t->EndUpdate();
        Ds.SetDataContainer(&Container);
        Ds.SetDataTableName("Residents");
        Ds.Open();
        Source.SetDataSet(&Ds);
    }
};

ComboData& Data()
{
    static ComboData data;
    return data;
}

QWidget* Panel(QWidget* parent)
{
    auto* panel = new QWidget(parent);
    panel->setAutoFillBackground(true);
    QPalette p = panel->palette();
    p.setColor(QPalette::Window, QColor(0xF0, 0xF0, 0xF0));
    panel->setPalette(p);
    return panel;
}

template <class C> C* Place(QWidget* panel, const QString& name, int left, int top, const char* caption)
{
    auto* c = new C(panel);
    c->setObjectName(name);
    c->SetIndent(110);
    c->SetCaption(caption);
    c->SetBounds(left, top, 300, 27);
    c->SetTabStop(true);
    return c;
}

// Columns: lookup combo, data combo, unbound combo. Rows: plain, disabled,
// marked, calendar tool (the lookup combo: lookup button only).
QWidget* MakeCombos(QWidget* parent)
{
    QWidget* panel = Panel(parent);
    const char* captions[] = {"Plain", "Disabled", "Marked", "Calendar"};
    for (int i = 0; i < 4; ++i) {
        const int top = 10 + i * 34;
        auto* l = Place<TovnDBLookupCombo>(panel, QStringLiteral("lookup%1").arg(i), 10, top, captions[i]);
        l->SetDataSource(&Data().Source);
        l->SetDataField("C_FACILITY");
        l->SetDataDisplayField("FACILITY_NAME");
        auto* d = Place<TovnDBCombo>(panel, QStringLiteral("data%1").arg(i), 320, top, captions[i]);
        d->SetDataSource(&Data().Source);
        d->SetDataField(i == 3 ? "ADMITTED" : "ROOM");
        auto* u = Place<TovnCombo>(panel, QStringLiteral("combo%1").arg(i), 630, top, captions[i]);
        u->SetText("OR");
        switch (i) {
        case 1:
            for (TovnGeneralControl* c : std::initializer_list<TovnGeneralControl*>{l, d, u})
                c->SetEnabledByLogic(false);
            break;
        case 2:
            for (TovnGeneralControl* c : std::initializer_list<TovnGeneralControl*>{l, d, u})
                c->SetMarked(true);
            break;
        case 3:
            l->SetComboButtons(TComboButtons{cbLookup});
            l->SetCaption("Lookup only");
            d->SetLookupTool(TLookupTool::ltCalendarDate);
            u->SetLookupTool(TLookupTool::ltCalendarPeriod);
            u->SetText("202403");
            break;
        default:
            break;
        }
    }
    return panel;
}

std::vector<std::pair<std::string, QImage>> FocusCombos(QWidget* control)
{
    std::vector<std::pair<std::string, QImage>> pictures;
    control->window()->activateWindow();
    for (const auto& [name, object] :
         std::vector<std::pair<std::string, QString>>{{"entry-combos-focused-lookup", "lookup0"},
                                                      {"entry-combos-focused-data", "data0"},
                                                      {"entry-combos-focused-combo", "combo0"},
                                                      {"entry-combos-focused-calendar", "data3"}}) {
        auto* target = control->findChild<TovnComboBase*>(object);
        if (!target)
            continue;
        target->Editor().SetFocus();
        QApplication::processEvents();
        pictures.emplace_back(name, control->window()->grab().toImage());
    }
    if (QWidget* focused = QApplication::focusWidget())
        focused->clearFocus();
    QApplication::processEvents();
    return pictures;
}

// The data combo with the date-and-time tool over a date with its time of
// day, left and focused.
QWidget* MakeDateTimeCombo(QWidget* parent)
{
    QWidget* panel = Panel(parent);
    auto* d = Place<TovnDBCombo>(panel, QStringLiteral("visited"), 10, 10, "Visited");
    d->SetLookupTool(TLookupTool::ltCalendarDateTime);
    d->SetDataSource(&Data().Source);
    d->SetDataField("VISITED");
    return panel;
}

std::vector<std::pair<std::string, QImage>> FocusDateTimeCombo(QWidget* control)
{
    std::vector<std::pair<std::string, QImage>> pictures;
    control->window()->activateWindow();
    if (auto* target = control->findChild<TovnComboBase*>(QStringLiteral("visited"))) {
        target->Editor().SetFocus();
        QApplication::processEvents();
        pictures.emplace_back("entry-combo-datetime-focused", control->window()->grab().toImage());
        target->Editor().Widget()->clearFocus();
        QApplication::processEvents();
    }
    return pictures;
}

const TGalleryRegistration Combos{{"entry-combos", QSize(940, 150), MakeCombos, FocusCombos}};
const TGalleryRegistration DateTimeCombo{
    {"entry-combo-datetime", QSize(330, 47), MakeDateTimeCombo, FocusDateTimeCombo}};

} // namespace
