// Samples of the captioned data-entry controls and their dialogs: the mask
// edit, data edit and memo in every state (normal, focused, read-only,
// disabled, marked, without caption), the mask edit's five glyphs, the radio
// pair, the input box, the calendar per tool and view-only, and the BLOB
// viewer on a memo. Focused states are extra pictures taken once the
// window shows.

#include "tools/gallery/GallerySamples.h"

#include "Components/KldDBComponents/KldDataSet.h"
#include "platform/DataSource.h"
#include "platform/Fields.h"
#include "ui/ViewBLOB.h"
#include "ui/ovnBox.h"
#include "ui/ovnCalendar.h"
#include "ui/ovnDBEdit.h"
#include "ui/ovnDBMemo.h"
#include "ui/ovnDbRadio.h"
#include "ui/ovnMaskEdit.h"
#include "ui/ovnPictures.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QPainter>

namespace {

// The residents the data-aware samples show.
struct SampleData
{
    TKldDataContainer Container;
    TKldDataSet Ds;
    TDataSource Source;
    SampleData()
    {
        TKldDataTable* t = Container.Tables().Add();
        t->SetName("Residents");
        t->Columns().AddColumn("FIRST_NAME", cdtString, 30);
        t->Columns().AddColumn("ROOM", cdtString, 10);
        t->Columns().AddColumn("ACTIVE", cdtString, 1);
        t->Columns().AddColumn("NOTES", cdtMemo);
        t->BeginUpdate();
        TKldDataRow* row = t->New();
        row->SetAsVariant("FIRST_NAME", "Margaret");
        row->SetAsVariant("ROOM", "B-214");
        row->SetAsVariant("ACTIVE", "T");
        row->SetAsVariant("NOTES", "Prefers tea in the afternoon.\nDaughter visits on Sundays.\n"
                                   "Allergic to penicillin.\nWalks with a frame; needs help on stairs.");
        t->Insert(row);
        t->EndUpdate();
        Ds.SetDataContainer(&Container);
        Ds.SetDataTableName("Residents");
        Ds.Open();
        Source.SetDataSet(&Ds);
    }
};

SampleData& Data()
{
    static SampleData data;
    return data;
}

// A plain panel in the form colour that the samples are placed on.
QWidget* Panel(QWidget* parent)
{
    auto* panel = new QWidget(parent);
    panel->setAutoFillBackground(true);
    QPalette p = panel->palette();
    p.setColor(QPalette::Window, QColor(0xF0, 0xF0, 0xF0));
    panel->setPalette(p);
    return panel;
}

template <class E> E* PlaceEdit(QWidget* panel, int top, const char* caption, int width = 300)
{
    auto* e = new E(panel);
    e->SetIndent(110);
    e->SetCaption(caption);
    e->SetBounds(10, top, width, 27);
    return e;
}

// Rows: normal, read-only, disabled, marked, no caption (Indent 0) for the
// mask edit on the left and the data edit on the right; two memos below.
QWidget* MakeEdits(QWidget* parent)
{
    QWidget* panel = Panel(parent);
    const char* captions[] = {"Normal", "Read-only", "Disabled", "Marked", ""};
    for (int i = 0; i < 5; ++i) {
        const int top = 10 + i * 34;
        auto* m = PlaceEdit<TovnMaskEdit>(panel, top, captions[i]);
        m->setObjectName(QStringLiteral("mask%1").arg(i));
        m->SetEditMask("!99/99/9999;1;_");
        m->SetText("03/15/2024");
        auto* d = new TovnDBEdit(panel);
        d->setObjectName(QStringLiteral("db%1").arg(i));
        d->SetIndent(110);
        d->SetCaption(captions[i]);
        d->SetBounds(330, top, 300, 27);
        d->SetDataSource(&Data().Source);
        d->SetDataField("FIRST_NAME");
        switch (i) {
        case 1:
            m->SetReadOnly(true);
            d->SetReadOnly(true);
            break;
        case 2:
            m->SetEnabledByLogic(false);
            d->SetEnabledByLogic(false);
            break;
        case 3:
            m->SetMarked(true);
            d->SetMarked(true);
            break;
        case 4:
            m->SetIndent(0);
            d->SetIndent(0);
            m->SetWidth(190);
            d->SetWidth(190);
            break;
        default:
            break;
        }
    }
    auto* memo = new TovnDBMemo(panel);
    memo->setObjectName(QStringLiteral("memo"));
    memo->SetBounds(10, 190, 300, 89);
    memo->SetDataSource(&Data().Source);
    memo->SetDataField("NOTES");
    auto* marked = new TovnDBMemo(panel);
    marked->SetBounds(330, 190, 300, 89);
    marked->SetDataSource(&Data().Source);
    marked->SetDataField("NOTES");
    marked->SetMarked(true);
    return panel;
}

std::vector<std::pair<std::string, QImage>> FocusEach(QWidget* control,
                                                      const std::vector<std::pair<std::string, QString>>& targets)
{
    std::vector<std::pair<std::string, QImage>> pictures;
    control->window()->activateWindow();
    for (const auto& [name, object] : targets) {
        auto* target = control->findChild<TovnGeneralControl*>(object);
        if (!target)
            continue;
        if (auto* e = dynamic_cast<TovnCaptionedEdit*>(target))
            e->Editor().SetFocus();
        else if (auto* m = dynamic_cast<TovnDBMemo*>(target))
            m->Memo().SetFocus();
        else
            target->setFocus();
        QApplication::processEvents();
        pictures.emplace_back(name, control->window()->grab().toImage());
    }
    // The sample's own picture shows no control focused.
    if (QWidget* focused = QApplication::focusWidget())
        focused->clearFocus();
    QApplication::processEvents();
    return pictures;
}

std::vector<std::pair<std::string, QImage>> FocusEdits(QWidget* control)
{
    return FocusEach(control, {{"entry-edits-focused-mask", "mask0"},
                               {"entry-edits-focused-data", "db0"},
                               {"entry-edits-focused-memo", "memo"},
                               {"entry-edits-focused-read-only", "mask1"}});
}

// The five glyphs of the mask edit: editable, read-only and disabled shown;
// the focused ones as extra pictures.
QWidget* MakeGlyphs(QWidget* parent)
{
    QWidget* panel = Panel(parent);
    const char* captions[] = {"Editable", "Read-only", "Disabled"};
    for (int i = 0; i < 3; ++i) {
        auto* m = PlaceEdit<TovnMaskEdit>(panel, 10 + i * 34, captions[i], 260);
        m->setObjectName(QStringLiteral("glyph%1").arg(i));
        m->SetText("Text");
        if (i == 1)
            m->SetReadOnly(true);
        if (i == 2)
            m->SetEnabled(false);
    }
    return panel;
}

std::vector<std::pair<std::string, QImage>> FocusGlyphs(QWidget* control)
{
    return FocusEach(control, {{"entry-glyphs-focused", "glyph0"}, {"entry-glyphs-read-focused", "glyph1"}});
}

// Every picture of the data-entry controls, three times enlarged.
class TPictureSheet : public QWidget
{
  public:
    using QWidget::QWidget;

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), QColor(0xF0, 0xF0, 0xF0));
        const TovnPictures& pics = ovnPictures();
        const std::pair<const char*, const QImage*> all[] = {
            {"DISABLED", &pics.bmpDISABLED},         {"READ_FOCUSED", &pics.bmpREAD_FOCUSED},
            {"READ_NORMAL", &pics.bmpREAD_NORMAL},   {"NORMAL", &pics.bmpNORMAL},
            {"FOCUSED", &pics.bmpFOCUSED},           {"RADIO_F", &pics.bmpR_F},
            {"RADIO_T", &pics.bmpR_T},               {"RADIO_F_FOCUSED", &pics.bmpR_F_FOCUSED},
            {"RADIO_T_FOCUSED", &pics.bmpR_T_FOCUSED}, {"RADIO_F_DISABLED", &pics.bmpR_F_DISABLED},
            {"RADIO_T_DISABLED", &pics.bmpR_T_DISABLED}, {"PNG_DISABLED", &pics.pngDISABLED},
            {"PNG_READ_FOCUSED", &pics.pngREAD_FOCUSED}, {"PNG_READ_NORMAL", &pics.pngREAD_NORMAL},
            {"PNG_NORMAL", &pics.pngNORMAL},         {"PNG_FOCUSED", &pics.pngFOCUSED},
            {"PNG_RADIO_F", &pics.pngR_F},           {"PNG_RADIO_T", &pics.pngR_T},
            {"PNG_RADIO_F_FOCUSED", &pics.pngR_F_FOCUSED}, {"PNG_RADIO_T_FOCUSED", &pics.pngR_T_FOCUSED},
            {"PNG_RADIO_F_DISABLED", &pics.pngR_F_DISABLED}, {"PNG_RADIO_T_DISABLED", &pics.pngR_T_DISABLED},
            {"PNG_INFO", &pics.pngInfo},             {"PNG_LOOKUP", &pics.pngLookup},
            {"PNG_PLUS", &pics.pngPlus}};
        QFont f = font();
        f.setPixelSize(10);
        p.setFont(f);
        int i = 0;
        for (const auto& [name, image] : all) {
            const int x = 10 + (i % 5) * 130;
            const int y = 10 + (i / 5) * 70;
            p.drawImage(QRect(x, y, image->width() * 3, image->height() * 3), *image);
            p.setPen(Qt::black);
            p.drawText(x, y + 62, QString::fromLatin1(name));
            ++i;
        }
    }
};

QWidget* MakeSheet(QWidget* parent)
{
    return new TPictureSheet(parent);
}

// Radio pairs: left chosen, right chosen, disabled, marked, and bound to a
// field; the focused one as an extra picture.
QWidget* MakeRadio(QWidget* parent)
{
    QWidget* panel = Panel(parent);
    const char* captions[] = {"Left chosen", "Right chosen", "Disabled", "Marked", "Active"};
    for (int i = 0; i < 5; ++i) {
        auto* r = new TovnDBRadio(panel);
        r->setObjectName(QStringLiteral("radio%1").arg(i));
        r->SetCaption(captions[i]);
        r->SetTop(10 + i * 32);
        r->SetLeft(10);
        r->SetCheckedLeft(i != 1);
        if (i == 2)
            r->SetEnabledByLogic(false);
        if (i == 3)
            r->SetMarked(true);
        if (i == 4) {
            r->SetDataSource(&Data().Source);
            r->SetDataField("ACTIVE");
        }
    }
    return panel;
}

std::vector<std::pair<std::string, QImage>> FocusRadio(QWidget* control)
{
    return FocusEach(control, {{"entry-radio-focused", "radio0"}, {"entry-radio-focused-right", "radio1"}});
}

template <class D> D* Embed(D* dialog)
{
    dialog->setWindowFlags(Qt::Widget);
    return dialog;
}

QWidget* MakeInputBox(QWidget* parent)
{
    auto* f = Embed(new TfrmInputQuery(parent));
    f->lbl->SetCaption("Room number of the new resident:");
    f->edt->SetText("B-214");
    return f;
}

QWidget* MakeCalendar(QWidget* parent, TLookupTool tool, bool hasEdit)
{
    auto* f = Embed(new TfrmCalendar(parent));
    PrepareCalendar(*f, tool, hasEdit);
    f->cal->setSelectedDate(QDate(2024, 3, 15));
    if (tool == TLookupTool::ltCalendarDateTime)
        f->edtTime->SetText("10:30 am");
    return f;
}

QWidget* MakeBlobView(QWidget* parent)
{
    auto* f = Embed(new TfrmBlobView(parent));
    f->SetField(Data().Ds.FieldByName("NOTES"));
    return f;
}

const TGalleryRegistration Edits{{"entry-edits", QSize(650, 290), MakeEdits, FocusEdits}};
const TGalleryRegistration Glyphs{{"entry-glyphs", QSize(290, 115), MakeGlyphs, FocusGlyphs}};
const TGalleryRegistration Sheet{{"entry-pictures", QSize(660, 360), MakeSheet, nullptr}};
const TGalleryRegistration Radio{{"entry-radio", QSize(360, 170), MakeRadio, FocusRadio}};
const TGalleryRegistration InputBox{{"input-box", QSize(330, 120), MakeInputBox, nullptr}};
const TGalleryRegistration CalendarDate{
    {"calendar-date", QSize(300, 260),
     [](QWidget* p) { return MakeCalendar(p, TLookupTool::ltCalendarDate, true); }, nullptr}};
const TGalleryRegistration CalendarDateTime{
    {"calendar-datetime", QSize(300, 260),
     [](QWidget* p) { return MakeCalendar(p, TLookupTool::ltCalendarDateTime, true); }, nullptr}};
const TGalleryRegistration CalendarPeriod{
    {"calendar-period", QSize(300, 260),
     [](QWidget* p) { return MakeCalendar(p, TLookupTool::ltCalendarPeriod, true); }, nullptr}};
const TGalleryRegistration CalendarView{
    {"calendar-view-only", QSize(300, 260),
     [](QWidget* p) { return MakeCalendar(p, TLookupTool::ltCalendarDate, false); }, nullptr}};
const TGalleryRegistration BlobView{{"blob-viewer", QSize(520, 300), MakeBlobView, nullptr}};

} // namespace
