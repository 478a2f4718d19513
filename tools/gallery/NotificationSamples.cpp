// The notification center with today's, older, hot and selected entries,
// the empty center, and the toast.

#include "GallerySamples.h"

#include "Components/Controller/NotificationForm.h"
#include "platform/DateUtils.h"

#include <QPixmap>

namespace {

void Fill(TNotifyCenter* c, bool Entries)
{
    c->Icons = {QPixmap::fromImage(GallerySampleIcon(32, 0x3B77DB, 'R')),
                QPixmap::fromImage(GallerySampleIcon(32, 0x2E8B57, 'M'))};
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
