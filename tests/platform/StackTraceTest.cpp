// Stacks for error reports: frames named by the debugging information, the
// named threads while they run and their stacks taken through a signal, and
// the exception a boundary handler is called for.
#include "platform/StackTrace.h"
#include "platform/SysUtils.h"
#include "platform/Threads.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

namespace {

[[gnu::noinline]] TStackFrames FramesOfANamedFunction()
{
    TStackFrames frames = CaptureStack();
    asm volatile(""); // keeps the call from becoming a jump
    return frames;
}

bool AnyLineHas(const std::vector<std::string>& lines, const std::string& text)
{
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.find(text) != std::string::npos; });
}

std::string Joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& l : lines)
        text += l + "\n";
    return text;
}

} // namespace

TEST(StackTrace, FramesAreNamedWithFileAndLine)
{
    const TStackFrames frames = FramesOfANamedFunction();
    ASSERT_GE(frames.size(), 2u);
    const std::vector<std::string> lines = DescribeStack(frames);
    ASSERT_EQ(lines.size(), frames.size());
    EXPECT_TRUE(AnyLineHas(lines, "FramesOfANamedFunction")) << Joined(lines);
    EXPECT_TRUE(AnyLineHas(lines, "StackTraceTest.cpp:")) << Joined(lines);
    // An address no module holds stays a bare address.
    const std::vector<std::string> raw = DescribeStack({reinterpret_cast<void*>(0x10)});
    ASSERT_EQ(raw.size(), 1u);
    EXPECT_EQ(raw[0], "(0000000000000010)");
}

TEST(StackTrace, NamedThreadsAreListedWhileTheyRunAndAnswerTheSignal)
{
    std::atomic<bool> stop{false};
    TAnonymousThread sleeper([&] {
        while (!stop)
            Sleep(1);
    });
    sleeper.SetName("Sleeper");
    sleeper.Start();
    while (sleeper.ThreadID() == 0)
        Sleep(1);
    const uint32_t id = sleeper.ThreadID();
    // Registered as Run starts; the ID is set just before.
    for (int i = 0; i < 100 && NamedThreads().empty(); ++i)
        Sleep(1);
    const std::vector<TNamedThread> threads = NamedThreads();
    auto listed = std::find_if(threads.begin(), threads.end(), [id](const TNamedThread& t) { return t.Id == id; });
    ASSERT_NE(listed, threads.end());
    EXPECT_EQ(listed->Name, "Sleeper");

    TStackFrames frames;
    ASSERT_TRUE(CaptureThreadStack(id, frames));
    const std::vector<std::string> lines = DescribeStack(frames);
    EXPECT_TRUE(AnyLineHas(lines, "TThread::Run")) << Joined(lines);
    stop = true;
    sleeper.WaitFor();
    const std::vector<TNamedThread> after = NamedThreads();
    EXPECT_TRUE(std::none_of(after.begin(), after.end(), [id](const TNamedThread& t) { return t.Id == id; }));
    // A thread that is gone answers nothing.
    EXPECT_FALSE(CaptureThreadStack(id, frames, std::chrono::milliseconds(50)));
}

TEST(StackTrace, TheBoundaryHandlerSeesTheExceptionItself)
{
    std::string className, where, text;
    uint32_t thread = 0;
    bool outsideNull = false, textOnlyNull = false;
    const TBoundaryErrorHandler previous = GetBoundaryErrorHandler();
    SetBoundaryErrorHandler([&](const std::string& w, const std::string& message) {
        const TBoundaryException* current = CurrentBoundaryException();
        if (!current) {
            textOnlyNull = message == "text only";
            return;
        }
        where = current->Where;
        thread = current->ThreadId;
        text = message;
        try {
            std::rethrow_exception(current->Exception);
        } catch (const Exception& e) {
            className = e.ClassName();
        }
    });
    try {
        throw EConvertError("bad number");
    } catch (...) {
        ReportCurrentException("Test.Where");
    }
    ReportBoundaryError("Test", "text only");
    outsideNull = CurrentBoundaryException() == nullptr;
    SetBoundaryErrorHandler(previous);
    EXPECT_EQ(className, "EConvertError");
    EXPECT_EQ(where, "Test.Where");
    EXPECT_EQ(thread, GetCurrentThreadId());
    EXPECT_EQ(text, "EConvertError: bad number");
    EXPECT_TRUE(textOnlyNull);
    EXPECT_TRUE(outsideNull);
}
