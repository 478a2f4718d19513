// The notification center with today's, older, hot and selected entries,
// the empty center, and the toast.

#include "GallerySamples.h"

#include "Components/Controller/notifications/NotificationForm.h"
#include "platform/DateUtils.h"

#include <QPixmap>

namespace {

// The pictures of the sample targets, as the main window's icon list.
const TCustomImageList& SampleIcons()
{
    static TCustomImageList icons(32, 32);
    if (icons.Count() == 0) {
        icons.Add(GallerySampleIcon(32, 0x3B77DB, 'R'));
        icons.Add(GallerySampleIcon(32, 0x2E8B57, 'M'));
    }
    return icons;
}

void Fill(TNotifyCenter* c, bool Entries)
{
    c->Icons = &SampleIcons();
    if (!Entries)
        return;
    auto& list = c->Notifications();
    const TDateTime now = Now();
    TNotifyItem* a = list.NewItem("Mrs. Alder's blood pressure reading is due before lunch.", 1);
    a->ModuleName = "Vitals";
    a->FromModule = "Rounds";
    a->Date = now - 1.0 / 24;
    a->ImageIndex = 0;
    TNotifyItem* b = list.NewItem("The medication order for room 12 was changed by the pharmacy.", 2);
    b->ModuleName = "Medications";
    b->Date = now - 3;
    b->ImageIndex = 1;
    TNotifyItem* d = list.NewItem("Shift report ready.", 3);
    d->ModuleName = "Shift Report";
    d->FromModule = "Scheduling";
    d->Date = now - 1;
}

TNotifyCenter* MakeCenter(QWidget* parent, bool Entries, int Height)
{
    auto* c = new TNotifyCenter(nullptr, parent);
    c->setWindowFlags(Qt::Widget);
    Fill(c, Entries);
    c->resize(300, Height);
    c->Control()->setGeometry(1, 35, 298, Height - 37);
    c->Control()->LayoutChanged();
    c->SetupImage()->show();
    c->show();
    return c;
}

QWidget* MakeToast(QWidget* parent)
{
    // The toast is a window of its own; the gallery shows a picture of it.
    auto* host = new QWidget(parent);
    static TNotifyCenter* center = nullptr;
    center = new TNotifyCenter(nullptr, host);
    center->hide();
    Fill(center, true);
    TNotifyPopup* toast = center->Popup();
    toast->Cycle().Armed = true;
    toast->CheckNewItems(false);
    toast->Tick();
    toast->setParent(host, Qt::Widget);
    toast->move(0, 0);
    toast->show();
    return host;
}

const TGalleryRegistration Center{{"notification-center", QSize(300, 420),
                                   [](QWidget* p) { return MakeCenter(p, true, 420); },
                                   [](QWidget* control) {
                                       auto* c = static_cast<TNotifyCenter*>(control);
                                       c->Control()->Select(1);
                                       GalleryHover(c->Control(), 120, 30);
                                       return std::vector<std::pair<std::string, QImage>>{};
                                   }}};
const TGalleryRegistration CenterEmpty{
    {"notification-center-empty", QSize(300, 200), [](QWidget* p) { return MakeCenter(p, false, 200); }, nullptr}};
const TGalleryRegistration Toast{{"notification-toast", QSize(300, 140), MakeToast, nullptr}};

} // namespace

// The two dialogs of the notifications: the shift choice with resident
// groups, and the preferences with one row selected.
#include "Components/Controller/notifications/NotificationPreferences.h"
#include "Components/Controller/notifications/ShiftInfoForm.h"

#include <QLineEdit>
#include <QRadioButton>

namespace {

struct SampleShifts : TNotifyDatabase
{
    std::vector<TNotifyRow> Open(const std::string& SQL, const std::vector<Variant>&) override
    {
        auto shift = [](int c, const char* d, int b, int e) {
            return TNotifyRow{{"COUNTER", Variant(c)},
                              {"DESCRIPTION", Variant(d)},
                              {"BEGIN_TIME", Variant(EncodeTime(b, 0, 0, 0))},
                              {"END_TIME", Variant(EncodeTime(e, 0, 0, 0))}};
        };
        auto group = [](int c, const char* n) {
            return TNotifyRow{{"COUNTER", Variant(c)}, {"GROUP_NUMBER", Variant(n)}, {"C_DAYSHIFT", Variant(1)}};
        };
        if (SQL == ShiftSQL::ShiftsText)
            return {shift(1, "Day", 7, 15), shift(2, "Evening", 15, 23)};
        return {group(12, "East Wing"), group(15, "Memory Care"), group(16, "West Wing")};
    }
    void Execute(const std::string&) override {}
    std::vector<int32_t> UserFacilities() override { return {}; }
    std::string UserID() const override { return "NURSE"; }
};

QWidget* MakeShiftInfo(QWidget* parent)
{
    static SampleShifts db;
    auto* dlg = new TfrmShiftInfo(&db, parent);
    dlg->setWindowFlags(Qt::Widget);
    dlg->edtFacility->setText("[MAPLE] Maple Grove Care");
    dlg->edtEmployee->setText("Nora Nurse");
    dlg->UpdateShifts(1, 1, 1);
    dlg->SavedGroups = ";12;15;";
    dlg->rbSelected->setChecked(true);
    return dlg;
}

QWidget* MakePreferences(QWidget* parent)
{
    static std::vector<QPixmap> icons = {QPixmap::fromImage(GallerySampleIcon(32, 0x3B77DB, 'R')),
                                         QPixmap::fromImage(GallerySampleIcon(32, 0x2E8B57, 'M')),
                                         QPixmap::fromImage(GallerySampleIcon(32, 0xC0504D, 'S'))};
    auto* dlg = new TfrmNotificationPreferences(parent);
    dlg->setWindowFlags(Qt::Widget);
    dlg->List()->Icons = &icons;
    dlg->List()->Rows = {{"Rounds", 0, true}, {"Medications", 1, false}, {"Shift Report", 2, true}};
    dlg->List()->Selected = 1;
    return dlg;
}

const TGalleryRegistration ShiftInfo{{"shift-information", QSize(380, 360), MakeShiftInfo, nullptr}};
const TGalleryRegistration Preferences{{"notification-preferences", QSize(400, 300), MakePreferences, nullptr}};

} // namespace
