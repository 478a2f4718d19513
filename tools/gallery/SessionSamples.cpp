// The main window's session windows: the logout countdown after idle
// minutes, and the new-mail toast under a mail button.

#include "tools/gallery/GallerySamples.h"

#include "Components/Controller/mail/MailPopup.h"
#include "Components/Controller/mainwindow/LogoutConfirmForm.h"

#include <QLabel>
#include <QPalette>

namespace {

QWidget* MakeLogoutConfirm(QWidget* parent)
{
    auto* form = new TLogoutConfirmForm(parent, 20);
    form->setWindowFlags(Qt::Widget);
    form->Timer().SetEnabled(false);
    // Two seconds into the countdown: the first change of the number.
    form->Tick();
    form->Tick();
    return form;
}

QWidget* MakeMailPopup(QWidget* parent)
{
    // The toast is a window of its own, shaped as a bubble; the gallery shows
    // it on a strip of toolbar under a mail button.
    auto* host = new QWidget(parent);
    host->setAutoFillBackground(true);
    QPalette pal = host->palette();
    pal.setColor(QPalette::Window, QColor(0xEC, 0xE9, 0xD8));
    host->setPalette(pal);
    auto* button = new QLabel(host);
    button->setPixmap(QPixmap::fromImage(GallerySampleIcon(24, 0x3B77DB, 'M')));
    button->setGeometry(8, 4, 24, 24);
    auto* popup = new TMailPopup(host);
    popup->ShowPopup(QRect(8, 36, 300, 47), 3);
    popup->Timer().stop();
    const QRect placed = popup->geometry();
    const QRegion mask = popup->mask();
    popup->setParent(host, Qt::Widget);
    popup->setGeometry(placed);
    popup->setMask(mask);
    popup->show();
    return host;
}

const TGalleryRegistration Logout{{"logout-confirm-form", QSize(470, 150), MakeLogoutConfirm, nullptr}};
const TGalleryRegistration Mail{{"mail-popup", QSize(340, 100), MakeMailPopup, nullptr}};

} // namespace
