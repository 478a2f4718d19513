#include "Components/Controller/OrvaneBrowser4.h"

#include "Components/Controller/ovnController.h"
#include "Components/Nembra/NembraDBDataSets.h"
#include "platform/FileUtils.h"
#include "platform/SysUtils.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>
#include <QThread>

namespace {
TovnVersionInfo s_programVersion;
}

const TovnVersionInfo& ProgramVersionInfo()
{
    return s_programVersion;
}

TfrmOrvaneBrowser4::TfrmOrvaneBrowser4(QWidget* parent) : QMainWindow(parent)
{
    setObjectName("frmOrvaneBrowser4");
    resize(1094, 660);
    s_programVersion = ovnVersionInfo(GetModuleFileName());
    setWindowTitle(QCoreApplication::applicationName());
    m_programPath = ovnGetProgramPath();
    m_iniFileName = ovnGetDataPath() + ChangeFileExt(ExtractFileName(GetModuleFileName()), ".ini");
    m_handle = AllocateHWnd(this, MainWindowClassName);
    SetWindowForegroundHandler(m_handle, [this] { RestoreMainWindow(); });

    m_sysUploadLog = std::make_unique<TNembraPlugin>();
    m_sysUploadLog->SetName("sysUploadLog");
    m_sysUploadLog->SetConnectionName("MAIN");
    m_sysUploadLog->SetPluginName("PLG_SYSTEM");
    m_sysUploadLog->SetProcedureName("UploadLog");
    TParams& upload = m_sysUploadLog->Params();
    upload.CreateParam(ftDate, "LogDate", ptInput);
    upload.CreateParam(ftInteger, "LogDays", ptInput);
    upload.CreateParam(ftString, "LogType", ptInput);
    upload.CreateParam(ftBlob, "Log", ptInput);
}

TfrmOrvaneBrowser4::~TfrmOrvaneBrowser4()
{
    DeallocateHWnd(m_handle);
}

void TfrmOrvaneBrowser4::WndProc(TMessage& message)
{
    switch (message.Msg) {
    case WM_RESTOREMAINWINDOW:
        RestoreMainWindow();
        break;
    default:
        break;
    }
}

void TfrmOrvaneBrowser4::RestoreMainWindow()
{
    showNormal();
    raise();
    activateWindow();
}

TovnWindowBounds TfrmOrvaneBrowser4::GetPlacementBounds() const
{
    return {x(), y(), width(), height()};
}

void TfrmOrvaneBrowser4::SetPlacementBounds(const TovnWindowBounds& Bounds)
{
    move(Bounds.Left, Bounds.Top);
    resize(Bounds.Width, Bounds.Height);
}

int32_t TfrmOrvaneBrowser4::GetPlacementState() const
{
    if (isMinimized())
        return ovnWindowMinimized;
    return isMaximized() ? ovnWindowMaximized : ovnWindowNormal;
}

void TfrmOrvaneBrowser4::SetPlacementState(int32_t State)
{
    Qt::WindowStates states = windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen);
    if (State == ovnWindowMinimized)
        states |= Qt::WindowMinimized;
    else if (State == ovnWindowMaximized)
        states |= Qt::WindowMaximized;
    // Unlike showMaximized, this does not show a window that is still hidden.
    setWindowState(states);
}

int32_t TfrmOrvaneBrowser4::DesktopWidth() const
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->virtualSize().width() : 0;
}

int32_t TfrmOrvaneBrowser4::DesktopHeight() const
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->virtualSize().height() : 0;
}

void TfrmOrvaneBrowser4::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TfrmOrvaneBrowser4::closeEvent(QCloseEvent* event)
{
    QMainWindow::closeEvent(event);
    if (!event->isAccepted() || this != ApplicationMainForm())
        return;
    // exit, not quit: quit would first ask the other windows to close and
    // keep running when one refuses. Without a running loop there is nothing
    // to end, and exit would make the next loop return at once.
    if (QThread::currentThread()->loopLevel() > 0)
        QCoreApplication::exit(0);
}

void TfrmOrvaneBrowser4::FormShow()
{
    // Shown again after the screen lock: nothing else to do.
    if (m_locked)
        return;
    // The update helper waits for this file to go as the sign that the
    // updated client runs; its absence is fine.
    ovnDeleteFile(m_programPath + UpdateMarkerFileName);
}
