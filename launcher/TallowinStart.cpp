#include "launcher/TallowinStart.h"

#include "Components/Controller/OrvaneBrowser4.h"
#include "Components/Controller/ovnController.h"
#include "Components/Controller/ovnSigning.h"
#include "Components/Controller/ovnUtils.h"
#include "Components/Nembra/NembraDebugMode.h"
#include "base/KldLogFile.h"
#include "platform/DynLibs.h"
#include "platform/Messages.h"
#include "platform/Processes.h"
#include "platform/Threads.h"

#include <QApplication>
#include <QPixmap>
#include <QTimer>
#include <csignal>
#include <cstdlib>
#include <iostream>

namespace {

constexpr WPARAM HandOverWParam = 61488;

// Grabs the main window into `fileName` once it has been painted, then
// closes it, which ends the message loop.
void ScheduleScreenshot(const std::string& fileName)
{
    QTimer::singleShot(1500, [fileName] {
        TfrmOrvaneBrowser4* form = ApplicationMainForm();
        if (!form)
            return;
        if (!form->grab().save(QString::fromStdString(fileName), "PNG"))
            std::cerr << "Tallowin: cannot save the screenshot to " << fileName << "\n";
        form->close();
    });
}

} // namespace

TLauncherSwitches ParseLauncherSwitches(const std::vector<std::string>& args)
{
    TLauncherSwitches s;
    s.Debug = FindCmdLineSwitch(args, "DEBUG", "-/", true);
    s.Instances = FindCmdLineSwitch(args, "INSTANCES", "-/", true);
    return s;
}

bool CheckModules(const std::vector<std::string>& modules)
{
    try {
        for (const std::string& name : modules) {
            if (name.empty())
                continue;
            ovnVerifyModule(name, false);
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool HandOverToRunningCopy()
{
    const HWND running = FindWindow(MainWindowClassName);
    if (running == NullHWnd)
        return false;
    SetForegroundWindow(running);
    PostMessage(running, WM_RESTOREMAINWINDOW, HandOverWParam, 0);
    return true;
}

int RunTallowin(int argc, char** argv)
{
    // A file size limit must not end the program at the first write past
    // it: the write fails and is reported like any other.
    std::signal(SIGXFSZ, SIG_IGN);
    // The program path and the command line are taken now, once: the
    // restart and every switch use these.
    const std::vector<std::string> args = GetCommandLineArgs();
    const std::string programPath = ParamStr(0);
    const std::string commandLine = GetCommandLine();

    // A module whose trailer disagrees ends the program silently: nothing
    // exists yet that could report it.
    if (!CheckModules(GetLoadedModules()))
        return 0;

    const TLauncherSwitches switches = ParseLauncherSwitches(args);
    NembraClientDebugMode = switches.Debug;
    if (!switches.Instances && HandOverToRunningCopy())
        return 0;

    // Without a private place for settings and logs the program does not
    // start (it never falls back to a shared folder).
    try {
        ovnMakePrivateFolder(ovnGetDataPath());
        ovnMakePrivateFolder(ovnGetDataPath() + "log/");
    } catch (const Exception& e) {
        std::cerr << "Tallowin: " << e.Message() << "\n";
        return 1;
    }

    AppBrand = 1;
    // Qt gets the program name only: the command line is the program's own,
    // and Qt must not act on options of its own found there.
    static int qtArgc = 1;
    static char* qtArgv[] = {argc > 0 ? argv[0] : const_cast<char*>("Tallowin"), nullptr};
    QApplication app(qtArgc, qtArgv);
    QCoreApplication::setApplicationName("Tallowin");
    // The loop runs until the main window closes (it ends the loop itself),
    // not until the last window does.
    app.setQuitOnLastWindowClosed(false);

    int exitCode = 0;
    new TovnController(nullptr);
    try {
        Controller->Open();
        if (TfrmOrvaneBrowser4* form = ApplicationMainForm())
            form->show();
        if (const char* shot = std::getenv(ScreenshotEnvVar); shot && *shot)
            ScheduleScreenshot(shot);
        app.exec();
    } catch (...) {
        ReportCurrentException("Tallowin");
        exitCode = 1;
    }
    delete Controller;
    Controller = nullptr;
    FreeApplicationMainForm();
    if (exitCode != 0)
        return exitCode;

    // The kept command line still starts with the program path, which the
    // new copy receives as its first (unread) positional argument.
    if (RestartBrowserOnClose)
        ShellOpen(programPath, commandLine);
    return 0;
}
