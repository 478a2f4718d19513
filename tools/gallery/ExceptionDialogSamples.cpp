// Samples of the launcher's exception report dialog: collapsed, with a
// database error worded for the user, and expanded, with the technical
// report of an access violation, the stack where it was made first.

#include "tools/gallery/GallerySamples.h"

#include "launcher/ovnExceptDlg.h"
#include "platform/SysUtils.h"
#include "platform/Threads.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

// A real exception of the system's class, so that the report has the stack
// where it was made; the sample names its own class.
[[gnu::noinline]] TExceptionInfo RaisedHere(const std::string& className, const std::string& message)
{
    TExceptionInfo info = DescribeException(std::make_exception_ptr(Exception(message)));
    info.ClassName = className;
    info.ThreadId = MainThread::ThreadId();
    return info;
}

TovnExceptionDialog* NewDialog(QWidget* parent, const std::string& className, const std::string& message)
{
    auto* d = new TovnExceptionDialog(parent);
    d->setWindowFlags(Qt::Widget);
    // In the gallery's window, not centred on the screen.
    d->SetPosition(poDesigned);
    d->move(0, 0);
    d->Prepare(RaisedHere(className, message), nullptr);
    return d;
}

QWidget* MakeCollapsed(QWidget* parent)
{
    return NewDialog(parent, "EDatabaseError",
                     "ORA-02292: integrity constraint (DATA.FK_RESIDENT_FACILITY) violated - child record found");
}

QWidget* MakeExpanded(QWidget* parent)
{
    TovnExceptionDialog* d =
        NewDialog(parent, "EAccessViolation", "Access violation at address 00000000 in module 'libMirabo.so'");
    d->BuildDetails();
    d->SetDetailsShown(true);
    d->btnSendLog->setEnabled(false);
    d->DetailsMemo->moveCursor(QTextCursor::Start);
    return d;
}

const TGalleryRegistration Collapsed{{"exception-dialog-collapsed", QSize(420, 120), MakeCollapsed, nullptr}};
const TGalleryRegistration Expanded{{"exception-dialog-expanded", QSize(420, 420), MakeExpanded, nullptr}};

} // namespace
