#include "launcher/TallowinStart.h"

#include "launcher/ovnExceptDlg.h"

#include "Components/Controller/OrvaneBrowser4.h"
#include "Components/Controller/frmLogin.h"
#include "Components/Controller/ovnController.h"
#include "Components/Controller/ovnSigning.h"
#include "ui/KldModuleView.h"
#include "Components/Controller/ovnUtils.h"
#include "Components/Nembra/NembraDebugMode.h"
#include "base/KldLogFile.h"
#include "platform/Dialogs.h"
#include "platform/DynLibs.h"
#include "platform/Messages.h"
#include "platform/Processes.h"
#include "platform/SysUtils.h"
#include "platform/Threads.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPointer>
#include <QPixmap>
#include <QTimer>
#include <csignal>
#include <cstdlib>
#include <iostream>

namespace {

constexpr WPARAM HandOverWParam = 61488;

void SavePicture(QWidget* widget, const std::string& fileName)
{
    if (!widget->grab().save(QString::fromStdString(fileName), "PNG"))
        std::cerr << "Tallowin: cannot save the screenshot to " << fileName << "\n";
}

// The screenshot run: a timer that looks at the program every 200 ms and
// takes it through the sign-in dialog to the main window, then ends it.
// It runs inside any modal loop as well.
class TScreenshotRun : public QObject
{
  public:
    TScreenshotRun(const std::string& fileName, const std::string& signIn)
        : QObject(QCoreApplication::instance()), m_fileName(fileName)
    {
        const size_t colon = signIn.find(':');
        if (colon != std::string::npos) {
            m_user = signIn.substr(0, colon);
            m_password = signIn.substr(colon + 1);
        }
        m_clock.start();
        auto* timer = new QTimer(this);
        QObject::connect(timer, &QTimer::timeout, this, [this] { Step(); });
        timer->start(200);
    }

  private:
    // Steps that may show boxes of their own (the sign-in, the close) run
    // from the event loop, not inside this timer's call: a box opened inside
    // it would wait for a timer that cannot fire again until it returns.
    template <class Fn> void Later(Fn fn)
    {
        QTimer::singleShot(0, this, [fn] {
            try {
                fn();
            } catch (...) {
                ApplicationHandleException("Tallowin");
            }
        });
    }

    void Step()
    {
        if (m_clock.elapsed() < 1500)
            return;
        if (QWidget* modal = QApplication::activeModalWidget()) {
            if (auto* login = dynamic_cast<TfrmLogin*>(modal)) {
                SignIn(*login);
            } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                dialog->reject();
            } else {
                modal->close();
            }
            m_shownAt = m_clock.elapsed();
            return;
        }
        TfrmOrvaneBrowser4* form = ApplicationMainForm();
        // Pictures of the signed-in window once it has been painted.
        if (m_done || !form || m_clock.elapsed() - m_shownAt < 1500)
            return;
        // The database sign-in that follows the sign-in shows the module
        // list: its picture, then one of the first module opened and one
        // of its sample applet running.
        if (form->DBLogged() && m_step == 0) {
            if (!form->ModuleList().Visible() && m_clock.elapsed() - m_shownAt < 10000)
                return;
            SavePicture(form, StepScreenshotName(m_fileName, "-modules"));
            m_step = 1;
            m_shownAt = m_clock.elapsed();
            Later([] {
                TfrmOrvaneBrowser4* main = ApplicationMainForm();
                TModuleItems& entries = main->ModuleItems();
                for (int i = 0; i < entries.Count(); ++i)
                    if (entries.Items(i)->Counter > 0) {
                        entries.OpenModule(*entries.Items(i));
                        break;
                    }
            });
            return;
        }
        if (m_step == 1) {
            SavePicture(form, StepScreenshotName(m_fileName, "-module"));
            m_step = 2;
            m_shownAt = m_clock.elapsed();
            Later([] {
                TfrmOrvaneBrowser4* main = ApplicationMainForm();
                main->RunApplet(-1, "SAMPLE_APPLET", sbResource, 0, "", nullptr, false);
            });
            return;
        }
        if (m_step == 2)
            SavePicture(form, StepScreenshotName(m_fileName, "-applet"));
        m_done = true;
        SavePicture(form, m_fileName);
        Later([] {
            if (TfrmOrvaneBrowser4* main = ApplicationMainForm()) {
                main->SetLogged(false);
                main->close();
            }
        });
    }

    void SignIn(TfrmLogin& login)
    {
        if (login.Busy())
            return;
        // The picture shows the dialog filled in, before it signs in.
        if (!m_signInSaved) {
            if (!m_user.empty()) {
                login.edtID()->setText(QString::fromStdString(m_user));
                login.edtPassword()->setText(QString::fromStdString(m_password));
            }
            SavePicture(&login, SignInScreenshotName(m_fileName));
            m_signInSaved = true;
            return;
        }
        if (m_user.empty() || m_tried) {
            login.SetModalResult(mrCancel);
            return;
        }
        m_tried = true;
        QPointer<TfrmLogin> dialog(&login);
        Later([dialog] {
            if (dialog)
                dialog->btnOkClick();
        });
    }

    std::string m_fileName;
    std::string m_user;
    std::string m_password;
    QElapsedTimer m_clock;
    qint64 m_shownAt = 0;
    bool m_signInSaved = false;
    bool m_tried = false;
    bool m_done = false;
    int m_step = 0;
};

} // namespace

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
            new TScreenshotRun(shot, signIn ? signIn : "");
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
