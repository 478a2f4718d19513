#include "updater/SwapletForm.h"

#include "Components/Controller/files/ovnUtils.h"
#include "Components/Controller/update/ProgramRestore.h"
#include "platform/FileUtils.h"
#include "platform/Processes.h"
#include "platform/SysUtils.h"
#include "platform/Threads.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

namespace {

const char* const UpdateMarkerName = "$update$";

// Designed places in the 431 x 136 client area.
constexpr int ButtonWidth = 75;
constexpr int ButtonHeight = 25;
const QPoint DesignedRestorePlace(260, 100);
const QPoint DesignedClosePlace(344, 100);

} // namespace

bool SwapletCommandLine(const std::vector<std::string>& Args, TSwapletCommandLine& Out)
{
    auto arg = [&](size_t i) { return i < Args.size() ? Args[i] : std::string(); };
    Out.ProgramPath = ovnFixPath(arg(0));
    Out.SetupFile = arg(1);
    Out.BackupFile = arg(2);
    Out.ClientFile = arg(3);
    Out.ClientParams = arg(4);
    return Args.size() >= 4;
}

std::string SwapletSetupParams(const std::string& ProgramPath)
{
    return "/VERYSILENT /SUPPRESSMSGBOXES /DIR=\"" + ProgramPath + "\"";
}

TSwapletStateView SwapletStateView(TSwapletState State)
{
    switch (State) {
    case ssInstalling:
        return {"Installing updates.",
                "Please wait while the updates is being installed.\nThis may take a few minutes.", spNone, false,
                false};
    case ssDone:
        return {"The installation was sucessfull.", "The program will start now.", spSuccess, false, true};
    case ssFailed:
        return {"A fatal error during installation.", "Restore previous version?", spRestore, true, true};
    case ssRestoring:
        return {"Restoring previous version.", "", spRestore, false, false};
    case ssRestoreFailed:
        return {"Restore failed", "", spRestore, false, true};
    case ssNone:
        break;
    }
    return {};
}

TfrmSwaplet::TfrmSwaplet(const std::vector<std::string>& Args, const TSwapletTimings& Timings,
                         std::function<void()> OnTerminate, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint |
                          Qt::WindowStaysOnTopHint),
      OnTerminate(std::move(OnTerminate)), m_timings(Timings)
{
    setObjectName("frmSwaplet");
    setWindowTitle(QStringLiteral("Update Installation"));
    setFixedSize(SwapletClientWidth, SwapletClientHeight);
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);

    m_imgProgram = new QLabel(this);
    m_imgProgram->setObjectName("imgProgram");
    m_imgProgram->setGeometry(16, 16, 48, 48);
    m_imgProgram->setPixmap(ProgramPicture());
    m_imgRestore = new QLabel(this);
    m_imgRestore->setObjectName("imgRestore");
    m_imgRestore->setGeometry(44, 44, 24, 24);
    m_imgRestore->setPixmap(RestorePicture());
    m_imgRestore->hide();
    m_imgSuccess = new QLabel(this);
    m_imgSuccess->setObjectName("imgSuccess");
    m_imgSuccess->setGeometry(44, 44, 24, 24);
    m_imgSuccess->setPixmap(SuccessPicture());
    m_imgSuccess->hide();

    m_lblHeader = new QLabel(this);
    m_lblHeader->setObjectName("lblHeader");
    QFont bold = m_lblHeader->font();
    bold.setBold(true);
    m_lblHeader->setFont(bold);
    m_lblHeader->setGeometry(84, 16, 331, 18);
    m_lblMessage = new QLabel(this);
    m_lblMessage->setObjectName("lblMessage");
    m_lblMessage->setWordWrap(true);
    m_lblMessage->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_lblMessage->setGeometry(84, 38, 331, 34);
    m_lblStatus = new QLabel(this);
    m_lblStatus->setObjectName("lblStatus");
    m_lblStatus->setGeometry(84, 72, 331, 16);
    m_lblStatus->hide();
    // The restore's error names members of the archive: plain text, never
    // markup.
    for (QLabel* label : {m_lblHeader, m_lblMessage, m_lblStatus})
        label->setTextFormat(Qt::PlainText);
    m_pbProgress = new QProgressBar(this);
    m_pbProgress->setObjectName("pbProgress");
    m_pbProgress->setRange(0, 100);
    m_pbProgress->setTextVisible(false);
    m_pbProgress->setGeometry(84, 90, 331, 6);
    m_pbProgress->hide();

    m_btnRestore = new QPushButton(QStringLiteral("Restore"), this);
    m_btnRestore->setObjectName("btnRestore");
    m_btnRestore->setGeometry(QRect(DesignedRestorePlace, QSize(ButtonWidth, ButtonHeight)));
    m_btnRestore->hide();
    connect(m_btnRestore, &QPushButton::clicked, this, [this] { btnRestoreClick(); });
    m_btnClose = new QPushButton(QStringLiteral("Close"), this);
    m_btnClose->setObjectName("btnClose");
    m_btnClose->setGeometry(QRect(DesignedClosePlace, QSize(ButtonWidth, ButtonHeight)));
    m_btnClose->hide();
    connect(m_btnClose, &QPushButton::clicked, this, [this] { btnCloseClick(); });
    m_restorePlace = m_btnRestore->pos();
    m_closePlace = m_btnClose->pos();

    m_handle = AllocateHWnd(this);

    if (!SwapletCommandLine(Args, m_commandLine))
        // The rest of the creation still runs; the loop ends as soon as it
        // starts.
        Terminate();
    m_checkTimer.setInterval(static_cast<int>(m_timings.CheckInterval));
    connect(&m_checkTimer, &QTimer::timeout, this, [this] {
        try {
            CheckTimerTick();
        } catch (...) {
            ReportCurrentException("TfrmSwaplet.CheckTimerTick");
        }
    });

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

TfrmSwaplet::~TfrmSwaplet()
{
    m_checkTimer.stop();
    DeallocateHWnd(m_handle);
}

void TfrmSwaplet::Terminate()
{
    m_terminated = true;
    m_checkTimer.stop();
    if (OnTerminate) {
        OnTerminate();
        return;
    }
    // Queued: asked before the event loop runs, a plain quit would be lost.
    QMetaObject::invokeMethod(QCoreApplication::instance(), [] { QCoreApplication::quit(); },
                              Qt::QueuedConnection);
}

void TfrmSwaplet::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_shown || event->spontaneous())
        return;
    m_shown = true;
    m_restorePlace = m_btnRestore->pos();
    m_closePlace = m_btnClose->pos();
    PostMessage(m_handle, WM_RUNINSTALL, 0, 0);
}

void TfrmSwaplet::closeEvent(QCloseEvent* event)
{
    // No border icons: the window closes through "Close" only, but a window
    // manager may still ask.
    event->accept();
    Terminate();
}

void TfrmSwaplet::WndProc(TMessage& Message)
{
    if (Message.Msg == WM_RUNINSTALL) {
        if (!m_terminated)
            RunInstall();
        Message.Result = 0;
    }
}

void TfrmSwaplet::ShowState(TSwapletState State, const std::string& ErrorMessage)
{
    m_state = State;
    const TSwapletStateView view = SwapletStateView(State);
    const std::string message = State == ssRestoreFailed ? ErrorMessage : view.Message;
    m_imgSuccess->setVisible(view.Picture == spSuccess);
    m_imgRestore->setVisible(view.Picture == spRestore);
    m_lblHeader->setText(QString::fromStdString(view.Header));
    m_lblHeader->setVisible(!view.Header.empty());
    m_lblMessage->setText(QString::fromStdString(message));
    m_lblMessage->setVisible(!message.empty());
    m_btnRestore->setVisible(view.RestoreVisible);
    m_btnClose->setVisible(view.CloseVisible);
    if (view.RestoreVisible)
        m_btnClose->move(m_closePlace);
    else
        m_btnClose->move((width() - m_btnClose->width()) / 2, m_closePlace.y());
    m_lblHeader->repaint();
    m_lblMessage->repaint();
}

void TfrmSwaplet::RunInstall()
{
    ShowState(ssInstalling);
    if (!RunSetup())
        ShowState(ssFailed);
}

bool TfrmSwaplet::RunSetup()
{
    std::unique_ptr<TProcess> setup = StartProcessGroup(
        m_commandLine.SetupFile, SplitCommandLine(SwapletSetupParams(m_commandLine.ProgramPath)));
    if (!setup)
        return false;
    uint32_t waited = 0;
    bool ended = false;
    for (;;) {
        if (setup->WaitFor(m_timings.WaitStep)) {
            ended = true;
            break;
        }
        waited += m_timings.WaitStep;
        QCoreApplication::processEvents();
        if (waited > m_timings.SetupLimit || m_terminated)
            break;
    }
    if (!ended || setup->ExitCode() != 0) {
        // "Restore" is offered next: nothing the setup started may still be
        // writing into the program folder when the restore runs.
        if (!m_terminated)
            EndProcessGroup(*setup, m_timings.SetupEndLimit);
        return false;
    }
    ShowState(ssDone);
    if (!StartClient(true))
        return false;
    m_checked = 0;
    m_checkTimer.start();
    return true;
}

bool TfrmSwaplet::StartClient(bool Accepted)
{
    std::string params = m_commandLine.ClientParams;
    if (!Accepted)
        params += " /SKIP_UPDATE";
    return StartProcessDetached(m_commandLine.ClientFile, SplitCommandLine(params),
                                ExtractFilePath(m_commandLine.ClientFile));
}

void TfrmSwaplet::CheckTimerTick()
{
    if (!FileExists(m_commandLine.ProgramPath + UpdateMarkerName)) {
        Terminate();
        return;
    }
    m_checked += static_cast<int>(m_timings.CheckInterval);
    if (m_checked > static_cast<int>(m_timings.CheckLimit)) {
        m_checkTimer.stop();
        ShowState(ssFailed);
    }
}

void TfrmSwaplet::btnRestoreClick()
{
    bool restored = true;
    try {
        RestoreFiles();
    } catch (const std::exception& e) {
        restored = false;
        ShowState(ssRestoreFailed, e.what());
    }
    StartClient(false);
    if (restored)
        Terminate();
}

void TfrmSwaplet::btnCloseClick()
{
    Terminate();
}

void TfrmSwaplet::RestoreFiles()
{
    ShowState(ssRestoring);
    RestoreProgramFiles(m_commandLine.BackupFile, m_commandLine.ProgramPath,
                        [this](int Position, int Max, const std::string& Text) {
                            DoProgress(Position, Max, Text);
                            QCoreApplication::processEvents();
                        });
}

void TfrmSwaplet::DoProgress(int Position, int Max, const std::string& Text)
{
    m_pbProgress->setMaximum(Max);
    m_pbProgress->setValue(Position);
    m_pbProgress->setVisible(Max > 0);
    m_lblStatus->setVisible(m_pbProgress->isVisibleTo(this));
    m_lblStatus->setText(QString::fromStdString(Text));
    m_pbProgress->repaint();
    m_lblStatus->repaint();
}

void TfrmSwaplet::NextProgress(const std::string& Text)
{
    DoProgress(m_pbProgress->value() + 1, m_pbProgress->maximum(), Text);
}

QPixmap TfrmSwaplet::ProgramPicture()
{
    QPixmap pixmap(48, 48);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2F, 0x6F, 0xB5));
    p.drawRoundedRect(QRectF(2, 2, 44, 44), 8, 8);
    // A box with an arrow going into it.
    p.setBrush(Qt::white);
    p.drawRect(QRectF(10, 30, 28, 8));
    QPainterPath arrow;
    arrow.moveTo(20, 8);
    arrow.lineTo(28, 8);
    arrow.lineTo(28, 18);
    arrow.lineTo(34, 18);
    arrow.lineTo(24, 28);
    arrow.lineTo(14, 18);
    arrow.lineTo(20, 18);
    arrow.closeSubpath();
    p.drawPath(arrow);
    return pixmap;
}

QPixmap TfrmSwaplet::RestorePicture()
{
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::white, 1.5));
    p.setBrush(QColor(0xE0, 0x8A, 0x1E));
    p.drawEllipse(QRectF(1, 1, 22, 22));
    // A turning-back arrow.
    p.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(6, 6, 12, 12), 90 * 16, 270 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    QPainterPath head;
    head.moveTo(12, 3);
    head.lineTo(12, 9);
    head.lineTo(8, 6);
    head.closeSubpath();
    p.drawPath(head);
    return pixmap;
}

QPixmap TfrmSwaplet::SuccessPicture()
{
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::white, 1.5));
    p.setBrush(QColor(0x2E, 0x9E, 0x44));
    p.drawEllipse(QRectF(1, 1, 22, 22));
    p.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({QPointF(7, 12.5), QPointF(10.5, 16), QPointF(17, 8.5)}));
    return pixmap;
}
