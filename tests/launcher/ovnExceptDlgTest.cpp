// The exception report dialog: its wording rules (full stop, line breaks,
// the database sentences, the technical phrases), the collapsed and
// expanded window, the report for Copy and Save, Send Log without a
// controller, re-entry, an abort, the exception's own stack, and a worker
// thread's exception shown on the main thread with the thread's name and the
// stacks of the threads.
#include "launcher/ovnExceptDlg.h"

#include "Components/Controller/ovnController.h"
#include "platform/DateUtils.h"
#include "platform/StackTrace.h"
#include "platform/SystemFacts.h"
#include "platform/Threads.h"

#include "support/DialogScript.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>

#include <atomic>
#include <stdexcept>
#include <fstream>
#include <sstream>

namespace {

std::string MemoText(const TovnExceptionDialog& d)
{
    return d.DetailsMemo->toPlainText().toStdString();
}

void ClickLink(TovnExceptionDialog& d)
{
    const QPointF at(2, 2);
    QMouseEvent press(QEvent::MouseButtonPress, at, d.DetailsBtn->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(d.DetailsBtn, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, d.DetailsBtn->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(d.DetailsBtn, &release);
}

TExceptionInfo StandardInfo(const std::string& className, const std::string& message)
{
    TExceptionInfo info;
    info.ClassName = className;
    info.Message = message;
    info.Standard = true;
    info.ThreadId = MainThread::ThreadId();
    return info;
}

// Reports an exception at the error boundary, as an event handler's boundary does.
template <class E> void RaiseAtBoundary(const E& e)
{
    try {
        throw e;
    } catch (...) {
        ReportCurrentException("Test");
    }
}

// Raise an exception in a function of their own, so that the exception's
// stack has a frame to look for; the handler runs after they have returned.
[[gnu::noinline]] void RaiseTheSystemsException()
{
    throw EDatabaseError("Table is not open");
}

[[gnu::noinline]] void RaiseARuntimeError()
{
    throw std::runtime_error("Table is not open");
}

// The report's details for an exception raised by Raise and caught at the
// error boundary, as the dialog shows them.
std::string DetailsAtTheBoundary(void (*Raise)())
{
    std::string memo;
    auto shown = WhenModal<TovnExceptionDialog>([&](TovnExceptionDialog& d) {
        QCoreApplication::sendPostedEvents(&d);
        memo = MemoText(d);
        d.OkBtn->click();
    });
    try {
        Raise();
    } catch (...) {
        ReportCurrentException("Test");
    }
    EXPECT_TRUE(*shown);
    return memo;
}

} // namespace

TEST(ExceptionDialogRules, MessagesAndDatabaseSentences)
{
    const std::pair<const char*, const char*> cases[] = {
        {"File not found", "File not found."},
        {"Done.", "Done."},
        {"  two\nlines\r\nand\rmore  ", "two\r\nlines\r\nand\r\nmore."},
        {"", "."},
        {"\r", "."},
        {"ora-02292: integrity constraint (X.FK) violated - child record found",
         "This record cannot be deleted because there are other records linked to this record."},
        {"ORA-01400: cannot insert NULL into (\"T\".\"C\")",
         "One or more of the required fields are empty. Please, correct them and try again."},
        {"ORA-01407: cannot update to NULL",
         "One or more of the required fields are empty. Please, correct them and try again."},
        // Both codes: the table's order decides, not the text's.
        {"ORA-01400 after ORA-00001: unique constraint", "A record with this value(s) already exists in the database."},
    };
    for (auto [message, shown] : cases)
        EXPECT_EQ(ExceptionDialogText(message), shown) << message;

    const std::pair<const char*, bool> technical[] = {
        {"Access violation at address 0040A1B2 in module 'x'", true},
        {"stack overflow", true},
        {"A call to an OS function failed", true},
        {"Invalid variant type conversion", true},
        {"Privileged instruction", true},
        {"External exception C0000005", true},
        {"Record not found", false},
        {"Could not find lookup field.", false},
    };
    for (auto [message, grey] : technical)
        EXPECT_EQ(IsTechnicalMessage(message), grey) << message;

    EXPECT_EQ(ExceptionReportText("Boom.", false, "details"), "Boom.\r\n");
    EXPECT_EQ(ExceptionReportText("Boom.", true, "details"), "Boom.\r\n\r\ndetails");
    EXPECT_EQ(std::string(ExceptionReportSeparator), std::string(78, '-'));
}

TEST(ExceptionDialog, CollapsedExpandedAndTheReport)
{
    TovnExceptionDialog d;
    d.Prepare(StandardInfo("EDatabaseError", "ORA-02292: child record found"), nullptr);
    EXPECT_EQ(d.MessageText(), "This record cannot be deleted because there are other records linked to this record.");
    EXPECT_NE(MemoText(d).find("Exception class: EDatabaseError"), std::string::npos);
    EXPECT_NE(MemoText(d).find("Exception message: ORA-02292: child record found."), std::string::npos)
        << "the report keeps the server's text";
    EXPECT_FALSE(d.LinkVisible()) << "not a technical message";
    EXPECT_EQ(d.DetailsBtn->palette().color(QPalette::WindowText), d.ButtonsPanel->palette().color(QPalette::Window));
    EXPECT_FALSE(d.DetailsPanel->isVisibleTo(&d));
    EXPECT_FALSE(d.DetailsMemo->isEnabled());
    EXPECT_EQ(d.height(), d.CollapsedHeight());
    EXPECT_EQ(d.CollapsedHeight(), d.ButtonsPanel->y() + d.ButtonsPanel->height() + 32);
    EXPECT_GE(d.ButtonsPanel->y(), d.lblMessage->y() + 32);
    EXPECT_EQ(d.ReportText(), d.MessageText() + "\r\n") << "details hidden: the message only";

    // The invisible link still opens the details.
    ClickLink(d);
    EXPECT_TRUE(d.DetailsShown());
    EXPECT_EQ(d.DetailsBtn->text().toStdString(), "<< Less info");
    EXPECT_TRUE(d.DetailsPanel->isVisibleTo(&d));
    EXPECT_TRUE(d.DetailsMemo->isEnabled());
    EXPECT_EQ(d.height(), d.FullHeight());
    const std::string report = d.ReportText();
    EXPECT_EQ(report.rfind(d.MessageText() + "\r\n\r\n" + std::string(78, '-') + "\r\n", 0), 0u) << report;
    d.CopyReport();
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), report);
    ClickLink(d);
    EXPECT_FALSE(d.DetailsShown());
    EXPECT_EQ(d.DetailsBtn->text().toStdString(), "More info >>");
    EXPECT_EQ(d.height(), d.CollapsedHeight());

    TovnExceptionDialog grey;
    grey.Prepare(StandardInfo("EAccessViolation", "Access violation at address 00000000"), nullptr);
    EXPECT_TRUE(grey.LinkVisible());
    EXPECT_EQ(grey.DetailsBtn->palette().color(QPalette::WindowText), QColor(0x80, 0x80, 0x80));
    EXPECT_EQ(grey.MessageText(), "Access violation at address 00000000.");
}

TEST(ExceptionDialog, SaveAppendsAfterAFramedTimeStamp)
{
    TTempFolder folder;
    const std::string file = folder.Path() + "/report.log";
    TovnExceptionDialog d;
    d.Prepare(StandardInfo("Exception", "First"), nullptr);
    d.ExecuteSaveDialog = [&] { return file; };
    d.SaveReport();
    d.SaveReport();
    d.ExecuteSaveDialog = [] { return std::string(); };
    d.SaveReport(); // cancelled: nothing written
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string sep = std::string(78, '-') + "\r\n";
    const std::string content = text.str();
    size_t entries = 0;
    for (size_t at = content.find("First.\r\n"); at != std::string::npos; at = content.find("First.\r\n", at + 1))
        ++entries;
    EXPECT_EQ(entries, 2u);
    ASSERT_EQ(content.rfind(sep, 0), 0u);
    // separator, time stamp, separator, the report
    const size_t stampEnd = content.find("\r\n", sep.size());
    EXPECT_EQ(content.substr(stampEnd + 2, sep.size()), sep);
    EXPECT_EQ(content.substr(stampEnd + 2 + sep.size(), 8), "First.\r\n");
}

TEST(ExceptionDialog, ShownWithDetailsAndSendLogWaitsForTheController)
{
    ASSERT_EQ(Controller, nullptr);
    TDialogScript boxes;
    const TExceptionDialogInstallation installed;
    std::string memo, message;
    bool sendLog = true, copy = false;
    auto shown = WhenModal<TovnExceptionDialog>([&](TovnExceptionDialog& d) {
        // The details are built once the window shows.
        QCoreApplication::sendPostedEvents(&d);
        memo = MemoText(d);
        message = d.MessageText();
        sendLog = d.btnSendLog->isEnabled();
        copy = d.btnCopy->isEnabled();
        d.OkBtn->click();
    });
    RaiseAtBoundary(EConvertError("'abc' is not a valid integer value"));
    EXPECT_TRUE(*shown);
    EXPECT_EQ(message, "'abc' is not a valid integer value.");
    EXPECT_FALSE(sendLog) << "no controller yet";
    EXPECT_TRUE(copy);
    EXPECT_NE(memo.find("Exception class: EConvertError"), std::string::npos);
    EXPECT_NE(memo.find("Main thread ID = " + std::to_string(MainThread::ThreadId())), std::string::npos);
    EXPECT_NE(memo.find("Call stack for main thread"), std::string::npos);
    // The stack names this test's own function through the debugging information.
    EXPECT_NE(memo.find("ExceptionDialog_ShownWithDetailsAndSendLogWaitsForTheController"), std::string::npos) << memo;
    EXPECT_NE(memo.find("ovnExceptDlgTest.cpp:"), std::string::npos);
    EXPECT_NE(memo.find("System   : "), std::string::npos);
    EXPECT_NE(memo.find("Processor: "), std::string::npos);
    EXPECT_NE(memo.find("Memory: "), std::string::npos);
    EXPECT_NE(memo.find("Display  : "), std::string::npos);
    EXPECT_NE(memo.find("List of loaded modules:"), std::string::npos);
    EXPECT_NE(memo.find("           (no module version info)"), std::string::npos);
    EXPECT_TRUE(boxes->Calls().empty());
}

TEST(ExceptionDialog, TheExceptionsOwnStackForTheSystemsExceptionsOnly)
{
    TDialogScript boxes;
    const TExceptionDialogInstallation installed;
    const std::string separator = std::string(78, '-') + "\n";

    // Made in a function that has returned long before the report is built:
    // only the exception's own stack can name it.
    const std::string format = "yyyy-mm-dd hh:nn:ss.zzz";
    const std::string before = FormatDateTime(format, Now());
    const std::string memo = DetailsAtTheBoundary(&RaiseTheSystemsException);
    const std::string after = FormatDateTime(format, Now());
    const size_t threads = memo.find("Exception thread ID = ");
    const size_t stack = memo.find("\nException stack\nStack list, generated ");
    const size_t mainStack = memo.find("\nCall stack for main thread\n");
    ASSERT_NE(threads, std::string::npos) << memo;
    ASSERT_NE(stack, std::string::npos) << memo;
    ASSERT_NE(mainStack, std::string::npos) << memo;
    // After the thread IDs and their separator, before the main thread's stack.
    EXPECT_EQ(memo.find(separator, threads) + separator.size(), stack + 1) << memo;
    EXPECT_LT(stack, mainStack);
    const std::string own = memo.substr(stack, mainStack - stack);
    EXPECT_NE(own.find("RaiseTheSystemsException"), std::string::npos) << own;
    EXPECT_NE(own.find("ovnExceptDlgTest.cpp:"), std::string::npos) << own;
    EXPECT_EQ(memo.find("RaiseTheSystemsException", mainStack), std::string::npos) << "gone from the live stack";
    // "Stack list, generated" with the moment it was made (such stamps
    // sort as text).
    const size_t stamp = stack + std::string("\nException stack\nStack list, generated ").size();
    const std::string generated = memo.substr(stamp, memo.find('\n', stamp) - stamp);
    EXPECT_EQ(generated.size(), format.size()) << generated;
    EXPECT_LE(before, generated);
    EXPECT_LE(generated, after);

    // Other exception types carry no stack of their own.
    const std::string other = DetailsAtTheBoundary(&RaiseARuntimeError);
    EXPECT_NE(other.find("Exception class: std::runtime_error"), std::string::npos) << other;
    EXPECT_EQ(other.find("Exception stack"), std::string::npos) << other;
    EXPECT_EQ(other.find("RaiseARuntimeError"), std::string::npos) << other;
    EXPECT_NE(other.find("Call stack for main thread"), std::string::npos);
    EXPECT_TRUE(boxes->Calls().empty());
}

TEST(ExceptionDialog, ReentryAndAbort)
{
    TDialogScript boxes;
    const TExceptionDialogInstallation installed;
    // An abort is silent.
    auto aborted = WhenModal<TovnExceptionDialog>(nullptr);
    RaiseAtBoundary(EAbort("Operation aborted"));
    QCoreApplication::processEvents();
    EXPECT_FALSE(*aborted);

    // An exception while a report is shown gets the plain box.
    boxes->QueueAnswer(mrOk);
    auto shown = WhenModal<TovnExceptionDialog>([](TovnExceptionDialog& d) {
        RaiseAtBoundary(Exception("Second failure"));
        d.OkBtn->click();
    });
    RaiseAtBoundary(Exception("First failure"));
    EXPECT_TRUE(*shown);
    ASSERT_EQ(boxes->Calls().size(), 1u);
    EXPECT_EQ(boxes->Calls()[0].Text, "Second failure");
    EXPECT_EQ(boxes->Calls()[0].Type, mtError);
}

TEST(ExceptionDialog, AThreadsExceptionShowsOnTheMainThreadWithItsName)
{
    TDialogScript boxes;
    const TExceptionDialogInstallation installed;
    // A second named thread that is busy waiting: its stack is in the report.
    std::atomic<bool> stop{false};
    TAnonymousThread sleeper([&] {
        while (!stop)
            Sleep(2);
    });
    sleeper.SetName("Sleeper");
    sleeper.Start();
    while (sleeper.ThreadID() == 0)
        Sleep(1);

    std::string memo;
    uint32_t workerId = 0;
    auto shown = WhenModal<TovnExceptionDialog>([&](TovnExceptionDialog& d) {
        QCoreApplication::sendPostedEvents(&d);
        memo = MemoText(d);
        d.OkBtn->click();
    });
    TAnonymousThread worker([&] {
        workerId = GetCurrentThreadId();
        RaiseAtBoundary(Exception("Worker failed"));
    });
    worker.SetName("Importer");
    worker.Start();
    worker.WaitFor();
    // The report reaches the main thread through its queue.
    for (int i = 0; i < 100 && !*shown; ++i) {
        MainThread::ProcessPending();
        QCoreApplication::processEvents();
        Sleep(5);
    }
    stop = true;
    sleeper.WaitFor();
    EXPECT_TRUE(*shown);
    EXPECT_NE(memo.find("Thread: Importer"), std::string::npos) << memo;
    EXPECT_NE(memo.find("Exception thread ID = " + std::to_string(workerId)), std::string::npos);
    EXPECT_EQ(memo.find("Exception address:"), std::string::npos);
    EXPECT_NE(memo.find("Call stack for thread " + std::to_string(sleeper.ThreadID()) + " TThread \"Sleeper\""),
              std::string::npos)
        << memo;
}

TEST(SystemFacts, ProcessorFeaturesInTheReportsOrder)
{
    const TProcessorFacts cpu = ParseCpuInfo("processor\t: 0\nvendor_id\t: GenuineIntel\nmodel name\t: Test CPU\n"
                                             "cpu MHz\t\t: 2399.6\nflags\t\t: fpu nx lm sse2 sse mmx pni ssse3 "
                                             "sse4_2\n\nprocessor\t: 1\nvendor_id\t: Other\n");
    EXPECT_EQ(cpu.Vendor, "GenuineIntel");
    EXPECT_EQ(cpu.Name, "Test CPU");
    EXPECT_EQ(cpu.MHz, 2400);
    EXPECT_EQ(cpu.Features, (std::vector<std::string>{"MMX", "SSE", "SSE2", "SSE3", "SSSE3", "SSE42", "64 bits", "DEP"}));
    EXPECT_TRUE(ParseCpuInfo("").Features.empty());
    const std::vector<TModuleFacts> modules = LoadedModules();
    ASSERT_FALSE(modules.empty());
    EXPECT_TRUE(std::is_sorted(modules.begin(), modules.end(),
                               [](const TModuleFacts& a, const TModuleFacts& b) { return a.Address < b.Address; }));
}
