// The module view's applet road: fetch and verify the library, load it, get
// the applet from "INIT", place its form in a container or as a widget.
#include "Components/Controller/applets/ModuleView.h"

#include "Components/Controller/applets/AppContainer.h"
#include "Components/Controller/applets/ovnApplet.h"
#include "Components/Controller/applets/ovnAppletUtils.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/ovnController.h"
#include "Components/Controller/ovnSigning.h"
#include "base/KldLogFile.h"
#include "platform/DynLibs.h"
#include "ui/KldAppPanel.h"

#include <QGuiApplication>

#include <cerrno>
#include <unistd.h>

std::function<bool()> TfrmModuleView::CtrlKeyDown = [] {
    return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier);
};

namespace {

using TInitApplet = TovnApplet* (*)();

// Applets the launch left loaded without a main form: the library keeps
// them, for the life of the process.
std::vector<TovnApplet*>& AppletsWithoutForm()
{
    static auto* applets = new std::vector<TovnApplet*>; // never freed, as the libraries stay
    return *applets;
}

// What an applet library raised, kept as text: an exception whose class the
// library defines cannot outlive the library (its type information and its
// destructor are the library's code), so only its text leaves it, and the
// client raises an error of its own once the library is gone.
struct TLibraryError
{
    bool Raised = false;
    bool Aborted = false; // a silent abort stays silent
    std::string Message;
};

template <class Fn> TLibraryError CatchLibraryError(const std::string& FileName, Fn&& Run)
{
    TLibraryError error;
    try {
        Run();
    } catch (const EAbort&) {
        error.Raised = error.Aborted = true;
    } catch (const std::exception& e) {
        error.Raised = true;
        error.Message = e.what();
    } catch (...) {
        error.Raised = true;
        error.Message = "Unknown exception in applet library " + FileName;
    }
    return error;
}

[[noreturn]] void RaiseLibraryError(const TLibraryError& Error)
{
    if (Error.Aborted)
        Abort();
    throw Exception(Error.Message);
}

// Keeps the view's launch count for the length of a launch.
struct TLaunchGuard
{
    explicit TLaunchGuard(int& Count) : m_count(Count) { ++m_count; }
    ~TLaunchGuard() { --m_count; }
    int& m_count;
};

} // namespace

TovnApplet* TfrmModuleView::LoadApplet(const std::string& FileName)
{
    if (Controller) {
        const std::string cacheFolder = Controller->GetCachePath();
        if (!cacheFolder.empty() && ::chdir(cacheFolder.c_str()) != 0) {
            // The run path finds the library's own libraries; the folder is
            // only the old way of finding them.
        }
    }
    errno = 0;
    HMODULE library = LoadLibrary(FileName);
    if (!library) {
        const int code = errno;
        Log.Error(GetLastLibraryError(), "BROWSER");
        throw Exception(Format(SCannotInitApplet, FileName, code));
    }
    auto init = reinterpret_cast<TInitApplet>(GetProcAddress(library, "INIT"));
    if (!init) {
        Log.Error(GetLastLibraryError(), "BROWSER");
        FreeLibrary(library);
        throw Exception(SAppletNoInterface);
    }
    TovnApplet* applet = nullptr;
    // An "INIT" written without the header's macro may raise.
    const TLibraryError error = CatchLibraryError(FileName, [&] { applet = init(); });
    if (error.Raised) {
        FreeLibrary(library);
        RaiseLibraryError(error);
    }
    if (!applet) {
        FreeLibrary(library);
        throw Exception(SAppletCouldNotInit);
    }
    applet->LibHandle = library;
    return applet;
}

bool TfrmModuleView::Launch(const std::string& Resource, int SecurityIndex, const std::string& Caption, int Module,
                            bool LogAccess, int Mode, const std::string& Params, TObject* Sender, int Kind,
                            bool Reuse)
{
    TLaunchGuard guard(m_launching);
    struct TPendingClose
    {
        TfrmModuleView* View;
        ~TPendingClose()
        {
            if (View->m_launching == 1 && View->m_closePending) {
                View->m_closePending = false;
                PostMessage(View->Handle(), WM_CLOSE, 0, 0);
            }
        }
    } pendingClose{this};

    const bool fromNotification = Kind == 2;
    if (fromNotification)
        Kind = 0;
    if (Kind == 0 && (Mode & 0xF000) == 0xF000)
        Sender = nullptr;
    Mode &= ~0xF000;

    if (Kind == 0 && !fromNotification && Reuse && !(CtrlKeyDown && CtrlKeyDown())) {
        if (TKldAppContainer* container = FindAppletForm(Resource)) {
            if (AppDesktop)
                AppDesktop->SetActive(container);
            else
                container->show();
            return false;
        }
    }

    if (!Controller)
        throw EovnController("Not logged");
    std::string fileName;
    for (int attempt = 1;; ++attempt) {
        try {
            fileName = Controller->GetResourceFile(Resource);
            // The trailer guards executable modules; a document has none and
            // goes to the shell unverified.
            if (IsAppletLibraryFile(fileName))
                ovnVerifyModule(fileName, false);
            break;
        } catch (const std::exception& e) {
            Log.Error(e.what(), "BROWSER", Format("Fault: %d", attempt));
            if (attempt >= 3)
                throw;
            // The cache fetches the file again.
            Controller->InvalidateResource(Resource, -1);
        }
    }

    if (!IsAppletLibraryFile(fileName)) {
        RunShell(fileName);
        return false;
    }

    TovnApplet* applet = LoadApplet(fileName);
    applet->Resource = Resource;
    applet->Reserved = 0;
    applet->SecurityIndex = SecurityIndex;
    applet->Caption = Caption;
    applet->Module = Module;
    applet->LogAccess = LogAccess;
    applet->Mode = Mode;
    applet->Params.SetCommaText(Params);
    applet->Controller = Controller;

    if (applet->OnInit) {
        applet->State = asActive;
        const TLibraryError error = CatchLibraryError(fileName, [&] { applet->OnInit(); });
        if (error.Raised) {
            DoCleanUpApplet(applet, nullptr);
            RaiseLibraryError(error);
        }
        applet->State = asClosed;
    }
    TovnAppletForm* form = applet->MainForm.data();
    if (!form) {
        AppletsWithoutForm().push_back(applet);
        Abort();
    }
    if (Kind == 0)
        InitApplet(applet, Sender);
    else if (Kind == 1)
        InitWidget(applet, Resource);
    form->show();
    applet->State = asActive;

    std::string shownError;
    bool shownFailed = false;
    try {
        form->Perform(WM_APPLETSHOWN, 0, 0);
    } catch (const std::exception& e) {
        shownFailed = true;
        shownError = e.what();
    } catch (...) {
        shownFailed = true;
    }

    if (!shownFailed) {
        ProcessMessages();
        if (LiveApplet(applet)) {
            if (!applet->MainForm) {
                for (TKldAppContainer* container : m_containers)
                    if (container->Contains(applet)) {
                        container->CleanUpApplet(applet);
                        break;
                    }
            } else if (Kind == 0) {
                if (TfrmOrvaneBrowser4* browser = Browser())
                    browser->AppletActivated(ModuleItem(), Caption, applet->Host.data());
            }
        }
    } else {
        if (!applet->MainForm) {
            TKldAppContainer* holder = nullptr;
            for (TKldAppContainer* container : m_containers)
                if (container->Contains(applet))
                    holder = container;
            if (holder)
                holder->CleanUpApplet(applet);
            else if (Kind == 1)
                CleanUpWidgetApplet(applet);
            else
                DoCleanUpApplet(applet, nullptr);
        } else if (Kind == 1) {
            if (TKldAppLayoutItem* widget = FindWidget(Resource); widget && WidgetApplet(widget) == applet)
                RemoveWidget(widget);
        } else {
            applet->Close(true);
        }
        ProcessMessages();
    }
    Controller->UpdateInfoBar();
    if (shownFailed)
        throw Exception(shownError);
    return true;
}

void TfrmModuleView::InitApplet(TovnApplet* Applet, TObject* Sender)
{
    TKldAppContainer* container = nullptr;
    if (auto* caller = dynamic_cast<TovnApplet*>(Sender))
        container = dynamic_cast<TKldAppContainer*>(caller->Host.data());
    if (!container) {
        container = new TKldAppContainer(ModuleItem());
        m_containers.insert(m_containers.begin(), container);
    }
    container->AddApplet(Applet);
}

void TfrmModuleView::InitWidget(TovnApplet* Applet, const std::string& Resource)
{
    for (const TWidgetApplet& entry : m_widgetApplets)
        if (entry.Applet == Applet && entry.Widget)
            return;
    TovnAppletForm* form = Applet->MainForm.data();
    TKldAppLayoutItem* widget = m_widgetPanel->Layout().Add();
    form->setParent(widget->Panel(), Qt::Widget);
    const LRESULT span = form->Perform(WM_GETWIDGETCOLSPAN, 0, 0);
    widget->SetColSpan(std::max(1, static_cast<int>(span & 0xFF)));
    m_widgetApplets.push_back({widget, Applet});
    TKldAppPanel* panel = widget->Panel();
    panel->SetCaption(Applet->Caption);
    if (Trim(form->Caption()).empty())
        panel->SetCaptionSize(0);
    form->resize(form->width(), App_WidgetHeight);
    widget->SetHeight(App_WidgetHeight);
    panel->SetPopupMenu(form->PopupMenu());
    panel->SetShowMenuButton(form->PopupMenu() != nullptr);
    widget->SetName(Resource);
    Applet->Host = this;
    // The form fills the widget's client area.
    QPointer<TovnAppletForm> placed(form);
    panel->OnResize = [panel, placed](TObject*) {
        if (placed && placed->parentWidget() == panel)
            placed->setGeometry(panel->ClientOrigin().X, panel->ClientOrigin().Y, panel->ClientWidth(),
                                panel->ClientHeight());
    };
    panel->OnResize(panel);
}
