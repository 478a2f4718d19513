// The main window's password change and screen lock.
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/ovnAdmin.h"
#include "Components/Controller/signin/frmChangePassword.h"
#include "Components/Controller/signin/frmLock.h"

void TfrmOrvaneBrowser4::ChangePasswordExec()
{
    TfrmChangePassword::Execute(dbSys(), GetUser(), this);
}

void TfrmOrvaneBrowser4::LockBrowserExec()
{
    TfrmLock lock(GetUser(), this);
    m_locked = true;
    hide();
    try {
        lock.ShowModal();
    } catch (...) {
        show();
        m_locked = false;
        throw;
    }
    // The show handler sees the flag and leaves the session alone.
    show();
    m_locked = false;
}
