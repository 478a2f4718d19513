#include "Components/Controller/applets/ovnAppletUtils.h"

#include "Components/Controller/applets/ovnApplet.h"
#include "base/KldLogFile.h"
#include "platform/SysUtils.h"

#include <QCoreApplication>
#include <QEvent>

#include <algorithm>

const char* const SAppletHasChildren = "ASSERT ! Applet has a children !";

void ProcessMessages()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

bool DoCleanUpApplet(TovnApplet* Applet, std::vector<TovnApplet*>* List)
{
    if (!Applet)
        return false;
    for (int i = 0; i < Applet->GetChildCount(); ++i)
        if (Applet->GetChildren(i))
            throw EAssertionFailed("ovnAppletUtils", SAppletHasChildren);
    const HMODULE library = Applet->LibHandle;
    try {
        if (List)
            std::erase(*List, Applet);
        delete Applet->MainForm.data();
        for (QPointer<TovnAppletForm>& form : Applet->ReleasedForms())
            delete form.data();
        delete Applet;
    } catch (const std::exception& e) {
        Log.Error(e.what(), "Cleanup Applet", "Free Applet Form");
    }
    if (library) {
        try {
            // Objects of the library whose deletion is still pending go
            // before its code does.
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            if (!FreeLibrary(library))
                throw Exception(GetLastLibraryError());
        } catch (const std::exception& e) {
            Log.Error(e.what(), "Cleanup Applet", "Free Library");
        }
    }
    return true;
}

void CloseAllApplets(std::vector<TovnApplet*>& List)
{
    const size_t rounds = List.size();
    for (size_t i = 0; i < rounds && !List.empty(); ++i) {
        if (!List.front()->Close(false))
            break;
        ProcessMessages();
    }
}
