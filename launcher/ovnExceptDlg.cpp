#include "launcher/ovnExceptDlg.h"

#include "Components/Controller/ovnController.h"
#include "platform/DateUtils.h"
#include "platform/Dialogs.h"
#include "platform/StackTrace.h"
#include "platform/StdCtrls.h"
#include "platform/SysUtils.h"
#include "platform/SystemFacts.h"
#include "platform/Threads.h"

#include <QClipboard>
#include <QCursor>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

#include <cxxabi.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <memory>
#include <typeinfo>

const char* const ExceptionReportSeparator =
    "------------------------------------------------------------------------------";

namespace {

constexpr const char* kCrLf = "\r\n";
constexpr int kMessageWidth = 330;
constexpr int kMessageHeight = 80;
constexpr int kDesignedHeight = 420;
constexpr int kMinWidth = 408;
constexpr QRgb kGreyLink = 0x808080;

const std::pair<const char*, const char*> kDatabaseSentences[] = {
    {"ORA-00001", "A record with this value(s) already exists in the database."},
    {"ORA-02292", "This record cannot be deleted because there are other records linked to this record."},
    {"ORA-01400", "One or more of the required fields are empty. Please, correct them and try again."},
    {"ORA-01407", "One or more of the required fields are empty. Please, correct them and try again."},
};

const char* const kTechnicalPhrases[] = {
    "EXTERNAL EXCEPTION", "ASSERTION FAILED", "EXCEPTION IN SAFECALL METHOD", "ACCESS VIOLATION",
    "LOAD PACKAGE",       "INVALID PACKAGE",  "ACCESS PACKAGE",               "SYSTEM ERROR",
    "WIN32 ERROR",        "A CALL TO AN OS FUNCTION FAILED", "INVALID VARIANT", "STACK OVERFLOW",
    "PRIVILEGED INSTRUCTION",
};

// WM_BUILDDETAILS, posted by the dialog to itself so that it shows before
// the slow part.
QEvent::Type BuildDetailsEvent()
{
    return static_cast<QEvent::Type>(QEvent::User + WM_BUILDDETAILS);
}

// Set while a report is being handled: a nested one gets the plain box.
bool g_reporting = false;

std::string Printf(const char* Format, auto... Args)
{
    const int n = std::snprintf(nullptr, 0, Format, Args...);
    std::string text(static_cast<size_t>(std::max(n, 0)), '\0');
    std::snprintf(text.data(), text.size() + 1, Format, Args...);
    return text;
}

std::string TypeName(const std::type_info& Type)
{
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> plain(abi::__cxa_demangle(Type.name(), nullptr, nullptr, &status),
                                                 std::free);
    return status == 0 && plain ? std::string(plain.get()) : std::string(Type.name());
}

std::string ApplicationTitle()
{
    const QString display = QGuiApplication::applicationDisplayName();
    return (display.isEmpty() ? QCoreApplication::applicationName() : display).toStdString();
}

constexpr const char* kStackTimeFormat = "yyyy-mm-dd hh:nn:ss.zzz";

std::string StackTimeStamp()
{
    return FormatDateTime(kStackTimeFormat, Now());
}

// The local time of a moment given in milliseconds since 1970 UTC.
std::string StackTimeStamp(int64_t UnixMSec)
{
    const std::time_t seconds = static_cast<std::time_t>(UnixMSec / 1000);
    std::tm local{};
    if (!localtime_r(&seconds, &local))
        return StackTimeStamp();
    TDateTime moment = 0;
    if (!TryEncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                           std::min(local.tm_sec, 59), static_cast<int>(UnixMSec % 1000), moment))
        return StackTimeStamp();
    return FormatDateTime(kStackTimeFormat, moment);
}

void PlainDisplay(std::exception_ptr Exception)
{
    std::string text;
    try {
        std::rethrow_exception(Exception);
    } catch (const ::Exception& e) {
        text = e.Message();
    } catch (const std::exception& e) {
        text = e.what();
    } catch (...) {
        text = "Unknown exception";
    }
    MessageDlg(text, mtError, {mbOK});
}

} // namespace

// ---------------------------------------------------------------------------
// Rules

std::string WithFullStop(const std::string& Message)
{
    std::string text = Trim(Message);
    if (text.empty() || text.back() != '.')
        text += '.';
    // CR LF, LF and lone CR all become CR LF.
    std::string result;
    result.reserve(text.size() + 8);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            result += kCrLf;
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else if (text[i] == '\n') {
            result += kCrLf;
        } else {
            result += text[i];
        }
    }
    return result;
}

std::string ExceptionDialogText(const std::string& Message)
{
    const std::string text = WithFullStop(Message);
    const std::string upper = UpperCase(text);
    for (auto [code, sentence] : kDatabaseSentences)
        if (upper.find(code) != std::string::npos)
            return sentence;
    return text;
}

bool IsTechnicalMessage(const std::string& Message)
{
    const std::string upper = UpperCase(Message);
    return std::any_of(std::begin(kTechnicalPhrases), std::end(kTechnicalPhrases),
                       [&upper](const char* phrase) { return upper.find(phrase) != std::string::npos; });
}

std::string ExceptionReportText(const std::string& Message, bool DetailsShown, const std::string& Details)
{
    std::string text = Message + kCrLf;
    if (DetailsShown)
        text += kCrLf + Details;
    return text;
}

std::string SavedReportEntry(const std::string& TimeStamp, const std::string& Report)
{
    return std::string(ExceptionReportSeparator) + kCrLf + TimeStamp + kCrLf + ExceptionReportSeparator + kCrLf +
           Report + kCrLf;
}

TExceptionInfo DescribeException(std::exception_ptr Exception)
{
    TExceptionInfo info;
    try {
        std::rethrow_exception(Exception);
    } catch (const ::Exception& e) {
        info.ClassName = e.ClassName();
        info.Message = e.Message();
        info.Standard = true;
        info.StackFrames = e.StackFrames();
        info.StackTime = e.StackTime();
    } catch (const std::exception& e) {
        info.ClassName = TypeName(typeid(e));
    } catch (...) {
        const std::type_info* type = abi::__cxa_current_exception_type();
        info.ClassName = type ? TypeName(*type) : "Unknown exception";
    }
    return info;
}

// ---------------------------------------------------------------------------
// The dialog

TovnExceptionDialog::TovnExceptionDialog(QWidget* Parent) : TDialogForm(Parent)
{
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowSystemMenuHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setMinimumWidth(kMinWidth);
    SetPosition(poScreenCenter);
    setWindowTitle(QString::fromStdString(ApplicationTitle() + " - Error"));

    Icon = new TPlainLabel(this);
    Icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(32, 32));
    Icon->setGeometry(15, 12, 32, 32);
    lblMessage = new TPlainLabel(this);
    lblMessage->setWordWrap(true);
    lblMessage->setTextFormat(Qt::PlainText);
    lblMessage->setGeometry(62, 12, kMessageWidth, kMessageHeight);

    ButtonsPanel = new QWidget(this);
    OkBtn = new QPushButton(QStringLiteral("&OK"), ButtonsPanel);
    OkBtn->setDefault(true);
    QObject::connect(OkBtn, &QPushButton::clicked, this, [this] { SetModalResult(mrOk); });
    DetailsBtn = new TPlainLabel(QStringLiteral("More info >>"), ButtonsPanel);
    DetailsBtn->setCursor(Qt::PointingHandCursor);
    DetailsBtn->installEventFilter(this);
    auto* buttons = new QHBoxLayout(ButtonsPanel);
    buttons->setContentsMargins(15, 0, 15, 0);
    buttons->addWidget(DetailsBtn);
    buttons->addStretch(1);
    buttons->addWidget(OkBtn);

    DetailsPanel = new QWidget(this);
    DetailsMemo = new QPlainTextEdit(DetailsPanel);
    DetailsMemo->setReadOnly(true);
    DetailsMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    DetailsMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    DetailsMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    btnCopy = new QPushButton(QStringLiteral("&Copy"), DetailsPanel);
    btnCopy->setToolTip(QStringLiteral("Copy bug report to clipboard"));
    btnSave = new QPushButton(QStringLiteral("&Save"), DetailsPanel);
    btnSave->setToolTip(QStringLiteral("Save bug report"));
    btnSendLog = new QPushButton(QStringLiteral("Send &Log"), DetailsPanel);
    btnSendLog->setToolTip(QStringLiteral("Send log"));
    for (QPushButton* b : {btnCopy, btnSave, btnSendLog})
        b->setAutoDefault(false);
    QObject::connect(btnCopy, &QPushButton::clicked, this, [this] { CopyReport(); });
    QObject::connect(btnSave, &QPushButton::clicked, this, [this] {
        try {
            SaveReport();
        } catch (...) {
            ShowCurrentException();
        }
    });
    QObject::connect(btnSendLog, &QPushButton::clicked, this, [this] {
        try {
            SendLog();
        } catch (...) {
            ShowCurrentException();
        }
    });
    auto* detailButtons = new QHBoxLayout();
    detailButtons->addStretch(1);
    detailButtons->addWidget(btnCopy);
    detailButtons->addWidget(btnSave);
    detailButtons->addWidget(btnSendLog);
    auto* details = new QVBoxLayout(DetailsPanel);
    details->setContentsMargins(8, 0, 8, 0);
    details->addWidget(DetailsMemo, 1);
    details->addLayout(detailButtons);

    ExecuteSaveDialog = [this] {
        return QFileDialog::getSaveFileName(this, QStringLiteral("Save log as..."), QStringLiteral("filename.log"),
                                            QStringLiteral("Log Files (*.log);;All files (*.*)"), nullptr,
                                            QFileDialog::DontConfirmOverwrite)
            .toStdString();
    };

    // Creation: the designed height is the full one; the details start hidden.
    resize(std::max(kMinWidth, 62 + kMessageWidth + 16), kDesignedHeight);
    m_fullHeight = kDesignedHeight;
    DetailsPanel->hide();
    DetailsMemo->setEnabled(false);
    m_collapsedHeight = kDesignedHeight;
    UpdateLink();
}

TovnExceptionDialog::~TovnExceptionDialog() = default;

void TovnExceptionDialog::Prepare(const TExceptionInfo& Info, QWidget* ActiveControl)
{
    m_info = Info;
    m_activeControl = ActiveControl;
    // 5. The message and the collapsed height.
    const std::string shown =
        ExceptionDialogText(Info.Standard ? Info.Message : Info.ClassName);
    lblMessage->setText(QString::fromStdString(shown));
    const QRect fit = lblMessage->fontMetrics().boundingRect(QRect(0, 0, kMessageWidth, 10000),
                                                             Qt::TextWordWrap, lblMessage->text());
    lblMessage->setGeometry(62, 12, kMessageWidth, std::min(kMessageHeight, fit.height()));
    const int panelTop = lblMessage->y() + std::max(lblMessage->height(), 32);
    const int panelHeight = OkBtn->sizeHint().height();
    ButtonsPanel->setGeometry(0, panelTop, width(), panelHeight);
    m_collapsedHeight = panelTop + panelHeight + 32;
    if (!m_detailsShown)
        setFixedHeight(m_collapsedHeight);

    // 6. The start of the report.
    DetailsMemo->clear();
    Append(ExceptionReportSeparator);
    Append(Printf("Exception log with detailed tech info. Generated on %s.", FormatDateTime("yyyy-mm-dd hh:nn:ss", Now()).c_str()));
    Append("You may send it to the application vendor, helping him to understand what had happened.");
    Append(" Application title: " + ApplicationTitle());
    Append(" Application file: " + QCoreApplication::applicationFilePath().toStdString());
    Append(ExceptionReportSeparator);
    Append("Exception class: " + Info.ClassName);
    if (Info.Standard)
        Append("Exception message: " + WithFullStop(Info.Message));
    if (Info.FromThread)
        Append(Printf("Thread: %s", Info.ThreadName.empty() ? "(unnamed)" : Info.ThreadName.c_str()));
    else
        Append(Printf("Exception address: %016llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(Info.Address))));
    Append(ExceptionReportSeparator);

    // 7. The link: grey for technical messages (standard exceptions only).
    m_technical = !Info.Standard || IsTechnicalMessage(Info.Message);
    UpdateLink();
}

std::string TovnExceptionDialog::MessageText() const
{
    return lblMessage->text().toStdString();
}

void TovnExceptionDialog::Append(const std::string& Line)
{
    DetailsMemo->appendPlainText(QString::fromStdString(Line));
}

void TovnExceptionDialog::UpdateLink()
{
    DetailsBtn->setText(m_detailsShown ? QStringLiteral("<< Less info") : QStringLiteral("More info >>"));
    // Not technical: painted in the panel's colour, invisible but clickable.
    const QColor colour = m_technical ? QColor(kGreyLink) : ButtonsPanel->palette().color(QPalette::Window);
    QPalette pal = DetailsBtn->palette();
    pal.setColor(QPalette::WindowText, colour);
    DetailsBtn->setPalette(pal);
    m_linkVisible = m_technical;
}

void TovnExceptionDialog::SetDetailsShown(bool Value)
{
    if (Value == m_detailsShown)
        return;
    m_detailsShown = Value;
    if (Value) {
        setMinimumHeight(0);
        setMaximumHeight(QWIDGETSIZE_MAX);
        setFixedHeight(m_fullHeight);
        const int top = ButtonsPanel->y() + ButtonsPanel->height();
        DetailsPanel->setGeometry(0, top, width(), m_fullHeight - top - 8);
        DetailsPanel->show();
        DetailsMemo->setEnabled(true);
    } else {
        m_fullHeight = height();
        DetailsPanel->hide();
        DetailsMemo->setEnabled(false);
        setFixedHeight(m_collapsedHeight);
    }
    UpdateLink();
}

std::string TovnExceptionDialog::ReportText() const
{
    return ExceptionReportText(MessageText(), m_detailsShown, DetailsMemo->toPlainText().replace('\n', "\r\n").toStdString());
}

void TovnExceptionDialog::CopyReport()
{
    QGuiApplication::clipboard()->setText(QString::fromStdString(ReportText()));
}

void TovnExceptionDialog::SaveReport()
{
    const std::string file = ExecuteSaveDialog ? ExecuteSaveDialog() : std::string();
    if (file.empty())
        return;
    std::ofstream out(file, std::ios::binary | std::ios::app);
    out << SavedReportEntry(FormatDateTime("yyyy-mm-dd hh:nn:ss", Now()), ReportText());
    out.close();
    if (!out)
        throw EInOutError("Could not write " + file);
}

void TovnExceptionDialog::SendLog()
{
    // The dialog exists before the controller and may outlive it.
    if (Controller)
        Controller->SendLog(Date(), 1, true);
}

void TovnExceptionDialog::BuildDetails()
{
    if (m_detailsBuilt)
        return;
    m_detailsBuilt = true;
    const uint32_t mainId = MainThread::ThreadId();
    Append(Printf("Main thread ID = %u", mainId));
    Append(Printf("Exception thread ID = %u", m_info.ThreadId));
    Append(ExceptionReportSeparator);
    auto appendStack = [this](const TStackFrames& frames, const std::string& generated) {
        Append("Stack list, generated " + generated);
        for (const std::string& line : DescribeStack(frames))
            Append(line);
    };
    // Where the exception was made, recorded by the exception itself.
    if (!m_info.StackFrames.empty()) {
        Append("Exception stack");
        appendStack(m_info.StackFrames, StackTimeStamp(m_info.StackTime));
    }
    if (MainThread::IsMainThread()) {
        Append("Call stack for main thread");
        appendStack(CaptureStack(), StackTimeStamp());
    }
    for (const TNamedThread& thread : NamedThreads()) {
        if (thread.Id == m_info.ThreadId || thread.Id == mainId)
            continue;
        TStackFrames frames;
        if (!CaptureThreadStack(thread.Id, frames))
            continue;
        Append(Printf("Call stack for thread %u %s \"%s\"", thread.Id, "TThread", thread.Name.c_str()));
        appendStack(frames, StackTimeStamp());
    }
    const TSystemFacts system = ReadSystemFacts();
    Append(Printf("System   : %s %s, Version: %d.%d, Build: %x, \"%s\"", system.Name.c_str(), system.Edition.c_str(),
                  system.Major, system.Minor, system.Build, system.ServicePack.c_str()));
    const TProcessorFacts cpu = ReadProcessorFacts();
    std::string processor = Printf("Processor: %s, %s, %d MHz", cpu.Vendor.c_str(), cpu.Name.c_str(), cpu.MHz);
    if (cpu.FDivBug)
        processor += " [FDIV Bug]";
    for (const std::string& feature : cpu.Features)
        processor += " " + feature;
    Append(processor);
    const TMemoryFacts memory = ReadMemoryFacts();
    Append(Printf("Memory: %llu; free %llu", static_cast<unsigned long long>(memory.TotalMB),
                  static_cast<unsigned long long>(memory.FreeMB)));
    if (QScreen* screen = QGuiApplication::primaryScreen())
        Append(Printf("Display  : %dx%d pixels, %d bpp", screen->geometry().width(), screen->geometry().height(),
                      screen->depth()));
    else
        Append("Display  : 0x0 pixels, 0 bpp");
    Append(ExceptionReportSeparator);
    Append("List of loaded modules:");
    for (const TModuleFacts& module : LoadedModules()) {
        Append(Printf("[%.8llx] %s", static_cast<unsigned long long>(module.Address), module.FileName.c_str()));
        // ELF files carry no version record.
        Append(std::string(11, ' ') + "(no module version info)");
    }
    Append(ExceptionReportSeparator);
    if (m_activeControl) {
        Append("Active Controls hierarchy:");
        for (QWidget* w = m_activeControl; w; w = w->parentWidget()) {
            const auto* object = dynamic_cast<const TObject*>(w);
            const std::string className = object ? object->ClassName() : std::string(w->metaObject()->className());
            Append(Printf("%s \"%s\"", className.c_str(), w->objectName().toStdString().c_str()));
        }
        Append(ExceptionReportSeparator);
    }
}

void TovnExceptionDialog::showEvent(QShowEvent* Event)
{
    TDialogForm::showEvent(Event);
    btnCopy->setEnabled(false);
    btnSave->setEnabled(false);
    btnSendLog->setEnabled(Controller != nullptr);
    QApplication::beep();
    if (MainThread::IsMainThread())
        QCoreApplication::postEvent(this, new QEvent(BuildDetailsEvent()));
    else
        BuildDetails();
}

bool TovnExceptionDialog::event(QEvent* Event)
{
    if (Event->type() == BuildDetailsEvent()) {
        repaint();
        QApplication::setOverrideCursor(Qt::WaitCursor);
        try {
            BuildDetails();
        } catch (const std::exception& e) {
            // A fault while the details are built ends them, not the report.
            Append(std::string("(the details could not be completed: ") + e.what() + ")");
        }
        DetailsMemo->verticalScrollBar()->setValue(0);
        DetailsMemo->moveCursor(QTextCursor::Start);
        btnCopy->setEnabled(true);
        btnSave->setEnabled(true);
        OkBtn->setEnabled(true);
        DetailsBtn->setEnabled(true);
        OkBtn->setFocus();
        QApplication::restoreOverrideCursor();
        return true;
    }
    return TDialogForm::event(Event);
}

void TovnExceptionDialog::keyPressEvent(QKeyEvent* Event)
{
    if (Event->matches(QKeySequence::Copy)) {
        QApplication::beep();
        CopyReport();
        Event->accept();
        return;
    }
    TDialogForm::keyPressEvent(Event);
}

bool TovnExceptionDialog::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched == DetailsBtn && Event->type() == QEvent::MouseButtonRelease && DetailsBtn->isEnabled()) {
        SetDetailsShown(!m_detailsShown);
        return true;
    }
    return TDialogForm::eventFilter(Watched, Event);
}

// ---------------------------------------------------------------------------
// Handling

void HandleExceptionReport(std::exception_ptr Exception, uint32_t ThreadId, const std::string& ThreadName)
{
    // 1.
    if (!Exception)
        return;
    if (!MainThread::IsMainThread()) {
        MainThread::Queue([Exception, ThreadId, ThreadName] { HandleExceptionReport(Exception, ThreadId, ThreadName); });
        return;
    }
    // 3. An abort is silent.
    try {
        std::rethrow_exception(Exception);
    } catch (const EAbort&) {
        return;
    } catch (...) {
    }
    // 2. Re-entry.
    if (g_reporting) {
        PlainDisplay(Exception);
        return;
    }
    g_reporting = true;
    struct Reset
    {
        ~Reset() { g_reporting = false; }
    } reset;
    // 4.
    TExceptionInfo info = DescribeException(Exception);
    info.ThreadId = ThreadId;
    info.ThreadName = ThreadName;
    info.FromThread = ThreadId != MainThread::ThreadId();
    auto dialog = std::make_unique<TovnExceptionDialog>();
    dialog->Prepare(info, QApplication::focusWidget());
    dialog->ShowModal();
}

namespace {

TBoundaryErrorHandler g_previousHandler;
int g_installations = 0;

void DialogBoundaryHandler(const std::string&, const std::string& Message)
{
    const TBoundaryException* current = CurrentBoundaryException();
    if (current && current->Exception) {
        HandleExceptionReport(current->Exception, current->ThreadId, current->ThreadName);
        return;
    }
    // A report by text from inside a catch block still has its exception;
    // one without any becomes a plain exception of its text.
    std::exception_ptr handled = std::current_exception();
    if (!handled)
        handled = std::make_exception_ptr(::Exception(Message));
    HandleExceptionReport(handled, GetCurrentThreadId(), CurrentThreadName());
}

} // namespace

TExceptionDialogInstallation::TExceptionDialogInstallation()
{
    if (g_installations++ == 0) {
        g_previousHandler = GetBoundaryErrorHandler();
        SetBoundaryErrorHandler(&DialogBoundaryHandler);
    }
}

TExceptionDialogInstallation::~TExceptionDialogInstallation()
{
    if (--g_installations == 0)
        SetBoundaryErrorHandler(g_previousHandler);
}

bool TovnApplication::notify(QObject* Receiver, QEvent* Event)
{
    try {
        return QApplication::notify(Receiver, Event);
    } catch (...) {
        ReportCurrentException("Application");
        return false;
    }
}
