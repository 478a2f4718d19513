#include "launcher/TallowinStart.h"

#include "launcher/ScreenshotRun.h"
#include "launcher/ovnExceptDlg.h"

#include "Components/Controller/files/ovnUtils.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/ovnController.h"
#include "Components/Controller/ovnSigning.h"
#include "Components/Controller/update/ProgramRestore.h"
#include "Components/Nembra/NembraDebugMode.h"
#include "base/KldLogFile.h"
#include "platform/Dialogs.h"
#include "platform/DynLibs.h"
#include "platform/FileUtils.h"
#include "platform/Messages.h"
#include "platform/Processes.h"
#include "platform/SysUtils.h"
#include "platform/Threads.h"

#include <QApplication>
#include <csignal>
#include <cstdlib>
#include <iostream>

namespace {

constexpr WPARAM HandOverWParam = 61488;

} // namespace

void FinishRestoreAndRestart(const std::string& programPath, const std::vector<std::string>& args)
{
    const std::string folder = ExtractFilePath(programPath);
    bool finished = false;
    try {
        finished = FinishInterruptedRestore(folder);
    } catch (const std::exception& e) {
        std::cerr << "Tallowin: " << e.what() << "\n";
        // Members that failed are named, the others are back: the restore
        // has ended. An archive that cannot be opened leaves its marker.
        finished = !FileExists(folder + RestoreMarkerFileName);
    }
    if (!finished)
        return;
    std::vector<std::string> restartArgs(args.begin() + (args.empty() ? 0 : 1), args.end());
    if (!FindCmdLineSwitch(args, "SKIP_UPDATE", "-/", true))
        restartArgs.push_back("/SKIP_UPDATE");
    ReplaceProcess(programPath, restartArgs);
    std::cerr << "Tallowin: " << LastProcessError() << "\n";
}

std::string SignInScreenshotName(const std::string& FileName)
{
    return StepScreenshotName(FileName, "-signin");
}

std::string StepScreenshotName(const std::string& FileName, const std::string& Step)
{
    const std::string ext = ExtractFileExt(FileName);
    return FileName.substr(0, FileName.size() - ext.size()) + Step + (ext.empty() ? ".png" : ext);
}

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

    // This process may run files that the restore is about to replace.
    FinishRestoreAndRestart(programPath, args);

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
    // Qt WebEngine, which the main window may load at its creation (the web
    // view plugin), needs shared OpenGL contexts set before the application.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    TovnApplication app(qtArgc, qtArgv);
    QCoreApplication::setApplicationName("Tallowin");
    // The report dialog takes every exception from here on, before the
    // controller exists.
    const TExceptionDialogInstallation exceptionDialog;
    // The loop runs until the main window closes (it ends the loop itself),
    // not until the last window does.
    app.setQuitOnLastWindowClosed(false);

    int exitCode = 0;
    new TovnController(nullptr);
    try {
        Controller->Open();
        if (TfrmOrvaneBrowser4* form = ApplicationMainForm())
            form->show();
        if (const char* shot = std::getenv(ScreenshotEnvVar); shot && *shot) {
            const char* signIn = std::getenv(ScreenshotSignInEnvVar);
            const char* road = std::getenv(ScreenshotRoadEnvVar);
            StartScreenshotRun(shot, signIn ? signIn : "", ParseScreenshotRoad(road ? road : ""));
        }
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
