#pragma once
// Unit ovnExceptDlg: the launcher's exception report dialog
// `TovnExceptionDialog`. Every exception that reaches an event handler's
// boundary unhandled, and every one a worker thread reports, is shown here:
// a short, user-worded message, and on request a technical report (stacks
// of the threads, system and module facts, the active control chain) to
// copy, save or send with the day's log.
//
// InstallExceptionDialog puts the handler in place when the program starts,
// before the controller; the main window's own handler logs and then calls
// it. A worker thread's exception is shown on the main thread with the
// thread's ID and name. EAbort stays silent. An exception raised while a
// report is being shown gets the plain error box.
//
// The wording rules are plain functions, so that tests drive them without a
// window. User-interface thread only, but for the handler.

#include "platform/Forms.h"
#include "platform/Messages.h"

#include <QApplication>
#include <QPointer>

#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <vector>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QWidget;

// The report's separator line: 78 dashes.
extern const char* const ExceptionReportSeparator;

// The message as the dialog shows it: trimmed, a full stop added when it
// has none, line breaks as CR LF; then, when the upper-cased message holds
// one of the database codes (ORA-00001, ORA-02292, ORA-01400, ORA-01407, in
// this order), the whole message becomes that code's sentence.
std::string ExceptionDialogText(const std::string& Message);
// The message trimmed, with a final full stop and CR LF line breaks.
std::string WithFullStop(const std::string& Message);
// Whether the upper-cased message names a technical failure (the link to
// the details is then shown in grey, else it is invisible).
bool IsTechnicalMessage(const std::string& Message);
// What Copy and Save take: the message and CR LF; with the details shown,
// another CR LF and the details.
std::string ExceptionReportText(const std::string& Message, bool DetailsShown, const std::string& Details);
// The framed time stamp and the report that Save appends to a file.
std::string SavedReportEntry(const std::string& TimeStamp, const std::string& Report);

// What one report is about.
struct TExceptionInfo
{
    std::string ClassName;
    std::string Message;    // the raw message ("" for objects of other classes)
    bool Standard = false;  // an exception of the system's exception class
    uint32_t ThreadId = 0;  // the thread that caught it
    std::string ThreadName; // "" for the main thread
    bool FromThread = false;
    void* Address = nullptr;
    // Where the exception was made, for exceptions of the system's class
    // (others carry no stack): the frames and when they were recorded
    // (milliseconds since 1970 UTC).
    std::vector<void*> StackFrames;
    int64_t StackTime = 0;
};
// Reads what a report needs from the exception.
TExceptionInfo DescribeException(std::exception_ptr Exception);

class TovnExceptionDialog : public TDialogForm
{
  public:
    explicit TovnExceptionDialog(QWidget* Parent = nullptr);
    ~TovnExceptionDialog() override;
    std::string ClassName() const override { return "TovnExceptionDialog"; }

    // Steps 5 to 7: the message, the heights, the start of the report, the
    // link's colour. ActiveControl is the control that had the focus.
    void Prepare(const TExceptionInfo& Info, QWidget* ActiveControl);
    // The shown message, as on the label.
    std::string MessageText() const;
    bool DetailsShown() const { return m_detailsShown; }
    void SetDetailsShown(bool Value);
    // Whether the link shows grey (a technical message) or is invisible.
    bool LinkVisible() const { return m_linkVisible; }
    int CollapsedHeight() const { return m_collapsedHeight; }
    int FullHeight() const { return m_fullHeight; }
    // The report for Copy and Save.
    std::string ReportText() const;
    void CopyReport();
    void SaveReport();
    void SendLog();
    // Appends the technical details (stacks, system, modules, controls).
    void BuildDetails();

    // The file Save writes to ("" cancels); replaceable for tests.
    std::function<std::string()> ExecuteSaveDialog;

    QLabel* Icon;
    QLabel* lblMessage;
    QWidget* ButtonsPanel;
    QPushButton* OkBtn;
    QLabel* DetailsBtn;
    QWidget* DetailsPanel;
    QPlainTextEdit* DetailsMemo;
    QPushButton* btnCopy;
    QPushButton* btnSave;
    QPushButton* btnSendLog;

  protected:
    bool event(QEvent* Event) override;
    void showEvent(QShowEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

  private:
    void UpdateLink();
    void Append(const std::string& Line);

    TExceptionInfo m_info;
    QPointer<QWidget> m_activeControl;
    bool m_detailsShown = false;
    bool m_linkVisible = true;
    bool m_technical = false;
    int m_fullHeight = 0;
    int m_collapsedHeight = 0;
    bool m_detailsBuilt = false;
};

// Shows the report for Exception (steps 1 to 8): on the main thread now, from
// another thread through the main thread (ThreadId and ThreadName tell which).
void HandleExceptionReport(std::exception_ptr Exception, uint32_t ThreadId, const std::string& ThreadName);

// Puts the dialog's handler in place of the boundary handler (once) and
// keeps it until the returned object goes.
class TExceptionDialogInstallation
{
  public:
    TExceptionDialogInstallation();
    ~TExceptionDialogInstallation();
    TExceptionDialogInstallation(const TExceptionDialogInstallation&) = delete;
    TExceptionDialogInstallation& operator=(const TExceptionDialogInstallation&) = delete;
};

// The launcher's application object: what leaves an event handler is
// caught here and reported through the boundary.
class TovnApplication : public QApplication
{
  public:
    using QApplication::QApplication;
    bool notify(QObject* Receiver, QEvent* Event) override;
};
