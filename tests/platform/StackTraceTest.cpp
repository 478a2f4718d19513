// Stacks for error reports: frames named by the debugging information (also
// after the program file was replaced), the named threads while they run and
// their stacks taken through a signal, the exception a boundary handler is
// called for, and the stack an exception records where it is made.
#include "platform/StackTrace.h"
#include "platform/FileUtils.h"
#include "platform/SysUtils.h"
#include "platform/Threads.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>

namespace {

[[gnu::noinline]] TStackFrames FramesOfANamedFunction()
{
    TStackFrames frames = CaptureStack();
    asm volatile(""); // keeps the call from becoming a jump
    return frames;
}

[[gnu::noinline]] EConvertError MadeInANamedFunction()
{
    EConvertError made("made here");
    asm volatile("");
    return made;
}

// Depth calls deep before the exception is made.
[[gnu::noinline]] Exception MadeDeepDown(int Depth)
{
    if (Depth <= 0)
        return Exception("deep");
    Exception made = MadeDeepDown(Depth - 1);
    asm volatile(""); // not a tail call: every level keeps its frame
    return made;
}

int64_t UnixMSecNow()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
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

// An update replaces the program file while the program runs; the system
// then lists it as "<path> (deleted)". The report still names the frames
// from the replaced file.
TEST(StackTrace, FramesAreNamedAfterTheProgramFileWasReplaced)
{
    const std::string program = GetModuleFileName();
    ASSERT_FALSE(program.empty());
    const std::string copy = program + ".replacing";
    std::filesystem::copy_file(program, copy, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(copy, std::filesystem::status(program).permissions());
    ASSERT_EQ(::rename(copy.c_str(), program.c_str()), 0);
    std::error_code ec;
    ASSERT_EQ(std::filesystem::read_symlink("/proc/self/exe", ec).string(), program + " (deleted)");

    const std::vector<std::string> lines = DescribeStack(FramesOfANamedFunction());
    EXPECT_TRUE(AnyLineHas(lines, "FramesOfANamedFunction")) << Joined(lines);
    EXPECT_TRUE(AnyLineHas(lines, "StackTraceTest.cpp:")) << Joined(lines);
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

TEST(StackTrace, AnExceptionRecordsWhereItWasMadeAndCopiesKeepIt)
{
    const int64_t before = UnixMSecNow();
    const EConvertError made = MadeInANamedFunction();
    const int64_t after = UnixMSecNow();
    ASSERT_FALSE(made.StackFrames().empty());
    EXPECT_LE(made.StackFrames().size(), size_t(Exception::MaxExceptionFrames));
    EXPECT_GE(made.StackTime(), before);
    EXPECT_LE(made.StackTime(), after);
    const std::vector<std::string> lines = DescribeStack(made.StackFrames());
    EXPECT_TRUE(AnyLineHas(lines, "MadeInANamedFunction")) << Joined(lines);
    EXPECT_TRUE(AnyLineHas(lines, "StackTraceTest.cpp:")) << Joined(lines);
    // It starts at the constructor: the recording itself is left out.
    EXPECT_FALSE(AnyLineHas(lines, "RecordStack")) << Joined(lines);
    EXPECT_FALSE(AnyLineHas(lines, "backtrace")) << Joined(lines);

    // Copies, assignment and a throw by value keep the frames of the place
    // where it was made, not those of the copy.
    const EConvertError copied(made);
    EXPECT_EQ(copied.StackFrames(), made.StackFrames());
    EXPECT_EQ(copied.StackTime(), made.StackTime());
    Exception assigned("other");
    const std::vector<void*> own = assigned.StackFrames();
    assigned = made;
    EXPECT_EQ(assigned.StackFrames(), made.StackFrames());
    EXPECT_NE(own, made.StackFrames());
    std::exception_ptr thrown;
    try {
        throw made;
    } catch (...) {
        thrown = std::current_exception();
    }
    try {
        std::rethrow_exception(thrown);
    } catch (const Exception& e) {
        EXPECT_EQ(e.StackFrames(), made.StackFrames());
        EXPECT_EQ(e.ClassName(), "EConvertError");
    }

    // Every kind of the family records them: the plain one, a declared
    // class with inherited constructors, one with its own constructor.
    EXPECT_FALSE(Exception().StackFrames().empty());
    EXPECT_FALSE(EAbort("Operation aborted").StackFrames().empty());
    EXPECT_FALSE(EAssertionFailed("Unit", "condition").StackFrames().empty());
}

TEST(StackTrace, AnExceptionKeepsTheInnermostFramesOfADeepStack)
{
    const Exception deep = MadeDeepDown(Exception::MaxExceptionFrames + 20);
    ASSERT_EQ(deep.StackFrames().size(), size_t(Exception::MaxExceptionFrames));
    const std::vector<std::string> lines = DescribeStack(deep.StackFrames());
    // Innermost first: past the constructor, the recursion fills the rest.
    EXPECT_TRUE(AnyLineHas({lines.back()}, "MadeDeepDown")) << Joined(lines);
    EXPECT_FALSE(AnyLineHas(lines, "TestBody")) << "the outer frames are the ones left out";
}
