// The password change and the screen lock.

#include "tools/gallery/GallerySamples.h"

#include "Components/Controller/ovnAdmin.h"
#include "Components/Controller/signin/frmChangePassword.h"
#include "Components/Controller/signin/frmLock.h"
#include "Components/Nembra/NembraDatabase.h"

#include <QLineEdit>

namespace {

template <class D> D* Embed(D* dialog)
{
    dialog->setWindowFlags(Qt::Widget);
    return dialog;
}

TAdminUser& SampleUser()
{
    static TAdminUser user;
    user.ID = "nurse";
    user.Password = "nurse";
    user.Counter = 11;
    return user;
}

QWidget* MakeChangePassword(QWidget* parent)
{
    static TNembraDatabase database;
    auto* dialog = Embed(new TfrmChangePassword(database, SampleUser(), parent));
    dialog->edtOld()->setText("NURSE");
    dialog->edtNew()->setText("WINTER");
    return dialog;
}

QWidget* MakeLock(QWidget* parent)
{
    auto* dialog = Embed(new TfrmLock(SampleUser(), parent));
    return dialog;
}

std::vector<std::pair<std::string, QImage>> TypeLockPassword(QWidget* control)
{
    static_cast<TfrmLock*>(control)->edtPassword()->setText("nurse");
    return {};
}

const TGalleryRegistration ChangePassword{{"change-password-dialog", QSize(300, 140), MakeChangePassword, nullptr}};
const TGalleryRegistration Lock{{"lock-dialog", QSize(280, 170), MakeLock, TypeLockPassword}};

} // namespace
