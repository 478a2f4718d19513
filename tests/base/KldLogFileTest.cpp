#include "base/KldLogFile.h"

#include "platform/Threads.h"
#include "platform/Timers.h"
#include "support/ChildProcess.h"
#include "support/TempFolder.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Splits a log file into its lines, checking that every line ends in CR LF.
std::vector<std::string> LinesOf(const std::string& content)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        const std::size_t end = content.find("\r\n", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "unterminated last line: " << content.substr(start);
            break;
        }
        lines.push_back(content.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// A formatter that writes "level|msg|source|info" and the header "HEADER",
// and counts its calls.
struct RecordingFormatter
{
    std::atomic<int> calls{0};
    std::string header = "HEADER";

    TKldFormatLogLine Event()
    {
        return [this](TObject* sender, TKldLogLevel level, const std::string& msg, const std::string& source,
                      const std::string& info, bool isHeader) -> std::string {
            ++calls;
            if (isHeader)
                return header;
            return std::string(SKldLogLevels[level]) + "|" + msg + "|" + source + "|" + info;
        };
    }
};

class KldLogFileTest : public ::testing::Test
{
  protected:
    TTempFolder folder;
    std::string fileName = folder / "app.log";
};

TEST_F(KldLogFileTest, StartsClosedAndDisabled)
{
    TKldLogFile log(fileName, 100);
    EXPECT_FALSE(log.Enabled());
    EXPECT_EQ(log.FileName(), fileName);
    EXPECT_EQ(log.MaxSize(), 100);
    EXPECT_EQ(log.LogLevel(), llInfo);
    EXPECT_FALSE(static_cast<bool>(log.OnFormatLogLine()));
    log.Info("dropped");
    EXPECT_FALSE(std::filesystem::exists(fileName));
}

TEST_F(KldLogFileTest, MaxSizeIsSignExtended)
{
    TKldLogFile log(fileName, -1);
    EXPECT_EQ(log.MaxSize(), -1);
}

TEST_F(KldLogFileTest, DefaultLineLayout)
{
    TKldLogFile log(fileName, -1);
    log.SetEnabled(true);
    log.Info("hello world", "Source", "Extra");
    const auto lines = LinesOf(ReadText(fileName));
    ASSERT_EQ(lines.size(), 1u) << "no header without a formatter";
    const std::regex layout(
        R"(\d{4}-\d{2}-\d{2}-\d{2}-\d{2}-\d{2}-\d{3}, (\d+), INFO, hello world, Source, Extra)");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines[0], match, layout)) << lines[0];
    EXPECT_EQ(match[1].str(), std::to_string(GetCurrentThreadId()));
}

TEST_F(KldLogFileTest, DefaultLineDoesNotQuoteOrEscape)
{
    TKldLogFile log(fileName, -1);
    log.SetEnabled(true);
    log.Warning("a, \"b\"", "", "");
    const auto lines = LinesOf(ReadText(fileName));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(", WARNING, a, \"b\", , "), std::string::npos) << lines[0];
}

TEST_F(KldLogFileTest, LevelShortcutsWriteTheirLevelNames)
{
    TKldLogFile log(fileName, -1);
    RecordingFormatter formatter;
    formatter.header = "";
    log.SetOnFormatLogLine(formatter.Event());
    log.SetLogLevel(llDebug);
    log.SetEnabled(true);

    log.Debug("d", "S", "I");
    log.Info("i");
    log.Warning("w", "S");
    log.Error("e", "S", "I");
    log.Error("c", "S", "I", true);
    log.Error(Exception("from exception"), "S", "I");
    log.Error(EConvertError("critical exception"), "S", "", true);

    const std::vector<std::string> expected = {
        "DEBUG|d|S|I",
        "INFO|i||",
        "WARNING|w|S|",
        "ERROR|e|S|I",
        "CRITICAL|c|S|I",
        "ERROR|from exception|S|I",
        "CRITICAL|critical exception|S|",
    };
    EXPECT_EQ(LinesOf(ReadText(fileName)), expected);
}

TEST_F(KldLogFileTest, FormatFormsBuildTheMessage)
{
    TKldLogFile log(fileName, -1);
    RecordingFormatter formatter;
    formatter.header = "";
    log.SetOnFormatLogLine(formatter.Event());
    log.SetLogLevel(llDebug);
    log.SetEnabled(true);

    log.Debug("Host:\"%s\" Port:\"%s\"", {"example.org", "8080"}, "TNembraConnection");
    log.Info("%d items", {3});
    const std::string text = "w";
    log.Warning("%s", {text}, "S", "I");
    log.Error("code %d", {42}, "S", "I", true);

    const std::vector<std::string> expected = {
        "DEBUG|Host:\"example.org\" Port:\"8080\"|TNembraConnection|",
        "INFO|3 items||",
        "WARNING|w|S|I",
        "CRITICAL|code 42|S|I",
    };
    EXPECT_EQ(LinesOf(ReadText(fileName)), expected);
}

TEST_F(KldLogFileTest, LinesBelowTheLevelAreNeitherFormattedNorWritten)
{
    struct Case
    {
        const char* Desc;
        TKldLogLevel Level;
        int ExpectedLines;
    };
    const Case cases[] = {
        {"debug writes all five", llDebug, 5},
        {"info drops debug", llInfo, 4},
        {"warning", llWarning, 3},
        {"error", llError, 2},
        {"critical only", llCritical, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        const std::string name = folder / (std::string("level-") + SKldLogLevels[c.Level] + ".log");
        TKldLogFile log(name, -1);
        RecordingFormatter formatter;
        formatter.header = "";
        log.SetOnFormatLogLine(formatter.Event());
        log.SetLogLevel(c.Level);
        log.SetEnabled(true);
        log.Debug("1");
        log.Info("2");
        log.Warning("3");
        log.Error("4");
        log.Error("5", "", "", true);
        EXPECT_EQ(static_cast<int>(LinesOf(ReadText(name)).size()), c.ExpectedLines);
        // The header call plus one call per written line.
        EXPECT_EQ(formatter.calls.load(), c.ExpectedLines + 1);
    }
}

TEST_F(KldLogFileTest, DisabledLogDoesNotFormat)
{
    TKldLogFile log(fileName, -1);
    RecordingFormatter formatter;
    log.SetOnFormatLogLine(formatter.Event());
    log.Error("x");
    EXPECT_EQ(formatter.calls.load(), 0);
    EXPECT_FALSE(std::filesystem::exists(fileName));
}

TEST_F(KldLogFileTest, NewFileStartsWithTheFormattersHeader)
{
    TKldLogFile log(fileName, -1);
    TKldLogLevel headerLevel = llCritical;
    bool headerSeen = false;
    log.SetOnFormatLogLine([&](TObject* sender, TKldLogLevel level, const std::string& msg,
                               const std::string& source, const std::string& info, bool header) {
        EXPECT_EQ(sender, &log);
        if (header) {
            headerSeen = true;
            headerLevel = level;
            EXPECT_EQ(msg + source + info, "");
            return std::string("TimeStamp, LogLevel, Message");
        }
        return "line " + msg;
    });
    // The header does not depend on the level.
    log.SetLogLevel(llError);
    log.SetEnabled(true);
    log.Error("one");
    EXPECT_TRUE(headerSeen);
    EXPECT_EQ(headerLevel, llDebug);
    EXPECT_EQ(ReadText(fileName), "TimeStamp, LogLevel, Message\r\nline one\r\n");
    struct stat st
    {
    };
    ASSERT_EQ(::stat(fileName.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "a new log file is this user's only";
}

TEST_F(KldLogFileTest, EmptyLinesWriteNothing)
{
    TKldLogFile log(fileName, -1);
    log.SetOnFormatLogLine([](TObject*, TKldLogLevel, const std::string& msg, const std::string&,
                              const std::string&, bool header) { return header ? std::string() : msg; });
    log.SetEnabled(true);
    log.Info("");
    log.Info("kept");
    log.InternalWrite("");
    log.Info("");
    EXPECT_EQ(ReadText(fileName), "kept\r\n");
}

TEST_F(KldLogFileTest, AppendingToAnExistingFileWritesNoHeader)
{
    WriteText(fileName, "old line\r\n");
    TKldLogFile log(fileName, 1000);
    RecordingFormatter formatter;
    log.SetOnFormatLogLine(formatter.Event());
    log.SetEnabled(true);
    log.Info("new");
    EXPECT_EQ(ReadText(fileName), "old line\r\nINFO|new||\r\n");
}

TEST_F(KldLogFileTest, RotationAtOpening)
{
    struct Case
    {
        const char* Desc;
        int32_t MaxSize;
        std::size_t ExistingSize;
        bool Rotates;
    };
    const Case cases[] = {
        {"larger than the limit rotates", 10, 11, true},
        {"exactly the limit is appended to", 10, 10, false},
        {"smaller is appended to", 10, 3, false},
        {"limit 0 never rotates", 0, 5000, false},
        {"negative limit never rotates", -1, 5000, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        TTempFolder caseFolder;
        const std::string name = caseFolder / "r.log";
        const std::string backup = name + ".bak";
        const std::string existing(c.ExistingSize, 'x');
        WriteText(name, existing);
        WriteText(backup, "older backup");

        TKldLogFile log(name, c.MaxSize);
        RecordingFormatter formatter;
        log.SetOnFormatLogLine(formatter.Event());
        log.SetEnabled(true);
        log.Info("next");
        if (c.Rotates) {
            EXPECT_EQ(ReadText(backup), existing);
            EXPECT_EQ(ReadText(name), "HEADER\r\nINFO|next||\r\n");
        } else {
            EXPECT_EQ(ReadText(backup), "older backup");
            EXPECT_EQ(ReadText(name), existing + "INFO|next||\r\n");
        }
    }
}

TEST_F(KldLogFileTest, SizeIsCheckedOnlyWhenTheFileOpens)
{
    TKldLogFile log(fileName, 20);
    RecordingFormatter formatter;
    formatter.header = "";
    log.SetOnFormatLogLine(formatter.Event());
    log.SetEnabled(true);
    for (int i = 0; i < 5; ++i)
        log.Info("0123456789");
    // Open all along: the file grew past the limit.
    EXPECT_EQ(LinesOf(ReadText(fileName)).size(), 5u);
    EXPECT_FALSE(std::filesystem::exists(fileName + ".bak"));

    // Switching off and on again reopens at the next line and rotates.
    log.SetEnabled(false);
    log.SetEnabled(true);
    EXPECT_FALSE(std::filesystem::exists(fileName + ".bak")) << "switching on opens nothing";
    log.Info("after");
    EXPECT_EQ(LinesOf(ReadText(fileName + ".bak")).size(), 5u);
    EXPECT_EQ(ReadText(fileName), "INFO|after||\r\n");
}

TEST_F(KldLogFileTest, ChangingTheFileName)
{
    TKldLogFile log(fileName, -1);
    RecordingFormatter formatter;
    log.SetOnFormatLogLine(formatter.Event());
    log.SetEnabled(true);

    // Same name: nothing happens. A new name while no file is open: nothing
    // opens until the next line.
    log.SetFileName(fileName);
    const std::string second = folder / "second.log";
    log.SetFileName(second);
    EXPECT_EQ(log.FileName(), second);
    EXPECT_FALSE(std::filesystem::exists(fileName));
    EXPECT_FALSE(std::filesystem::exists(second));
    log.Info("a");
    EXPECT_EQ(ReadText(second), "HEADER\r\nINFO|a||\r\n");

    // A new name while a file is open: the new file opens at once, with its header.
    const std::string third = folder / "third.log";
    log.SetFileName(third);
    EXPECT_EQ(ReadText(third), "HEADER\r\n");
    log.Info("b");
    EXPECT_EQ(ReadText(third), "HEADER\r\nINFO|b||\r\n");
    EXPECT_EQ(ReadText(second), "HEADER\r\nINFO|a||\r\n");

    // The comparison is case-sensitive.
    const std::string upper = folder / "THIRD.log";
    log.SetFileName(upper);
    EXPECT_EQ(ReadText(upper), "HEADER\r\n");
}

TEST_F(KldLogFileTest, ManyThreadsWriteWholeLines)
{
    TKldLogFile log(fileName, -1);
    log.SetOnFormatLogLine([](TObject*, TKldLogLevel, const std::string& msg, const std::string& source,
                              const std::string&,
                              bool header) { return header ? std::string() : source + ":" + msg; });
    log.SetEnabled(true);
    constexpr int Threads = 8;
    constexpr int LinesPerThread = 150;
    const std::string payload(200, '#');
    std::vector<std::thread> threads;
    for (int t = 0; t < Threads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < LinesPerThread; ++i)
                log.Info(std::to_string(i) + payload, "T" + std::to_string(t));
        });
    for (auto& thread : threads)
        thread.join();

    const auto lines = LinesOf(ReadText(fileName));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(Threads * LinesPerThread));
    std::map<int, int> nextPerThread;
    const std::regex layout("T(\\d+):(\\d+)(#+)");
    for (const auto& line : lines) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, layout)) << line;
        ASSERT_EQ(match[3].length(), static_cast<long>(payload.size())) << line;
        const int thread = std::stoi(match[1].str());
        // Each thread's lines appear whole and in its own order.
        EXPECT_EQ(std::stoi(match[2].str()), nextPerThread[thread]++);
    }
    EXPECT_EQ(nextPerThread.size(), static_cast<std::size_t>(Threads));
}

TEST_F(KldLogFileTest, SwitchingOffWhileThreadsWriteLosesNoLineHalfWay)
{
    TKldLogFile log(fileName, -1);
    log.SetOnFormatLogLine([](TObject*, TKldLogLevel, const std::string& msg, const std::string&,
                              const std::string&, bool header) { return header ? std::string() : msg; });
    log.SetEnabled(true);
    std::atomic<bool> stop{false};
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t)
        writers.emplace_back([&] {
            while (!stop.load())
                log.Info("0123456789abcdef");
        });
    for (int i = 0; i < 200; ++i) {
        log.SetEnabled(i % 2 == 1);
        std::this_thread::yield();
    }
    log.SetEnabled(true);
    stop.store(true);
    for (auto& writer : writers)
        writer.join();
    for (const auto& line : LinesOf(ReadText(fileName)))
        ASSERT_EQ(line, "0123456789abcdef");
}

// A full disk in miniature (a file size limit that is lifted again): the
// line that does not fit is cut, the log stays on, says why once, and the
// next line after room is back starts on a line of its own.
TEST_F(KldLogFileTest, AWriteFailureKeepsTheLogOnAndNeverGluesACutLine)
{
    int errors[2]; // the child's stderr, which no file size limit cuts
    ASSERT_EQ(::pipe(errors), 0);
    const TestChild::Result result = TestChild::Run([&](const auto& send) {
        ::dup2(errors[1], 2);
        TKldLogFile log(fileName, -1);
        RecordingFormatter formatter;
        formatter.header = "";
        log.SetOnFormatLogLine(formatter.Event());
        log.SetEnabled(true);
        log.Info("first");
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        const rlim_t unlimited = limit.rlim_cur;
        TestChild::LimitFileSize(rlim_t(ReadText(fileName).size()) + 10);
        log.Info("a line longer than the room that is left");
        log.Info("dropped");
        limit.rlim_cur = unlimited;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        log.Info("after");
        send(log.Enabled() ? "on" : "off");
        return 0;
    });
    EXPECT_EQ(result.Output, "on");
    EXPECT_EQ(ReadText(fileName), "INFO|first||\r\nINFO|a lin\r\nINFO|after||\r\n");
    ::close(errors[1]);
    std::string said;
    char buffer[4096];
    for (ssize_t n; (n = ::read(errors[0], buffer, sizeof buffer)) > 0;)
        said.append(buffer, std::size_t(n));
    ::close(errors[0]);
    const std::size_t first = said.find(fileName);
    ASSERT_NE(first, std::string::npos) << said;
    EXPECT_NE(said.find("File too large"), std::string::npos) << said;
    EXPECT_EQ(said.find(fileName, first + 1), std::string::npos) << "said once: " << said;
}

TEST_F(KldLogFileTest, ACreateFailureIsRetriedWithTheNextLine)
{
    const std::string name = folder / "missing-folder/app.log";
    TKldLogFile log(name, -1);
    log.SetEnabled(true);
    ::testing::internal::CaptureStderr();
    EXPECT_NO_THROW(log.Info("x"));
    EXPECT_NO_THROW(log.Info("y"));
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(log.Enabled());
    EXPECT_NE(said.find("missing-folder/app.log: line dropped: No such file or directory"), std::string::npos)
        << said;
    EXPECT_EQ(said.find("app.log", said.find("app.log") + 1), std::string::npos) << "said once: " << said;

    ForceDirectories(folder / "missing-folder");
    log.Info("back");
    EXPECT_NE(ReadText(name).find("back"), std::string::npos);
}

// Whatever is not a regular file in the log's place (a socket, a FIFO that
// would block, a folder, a link) is refused with the reason; nothing hangs.
TEST_F(KldLogFileTest, OnlyARegularFileIsWritten)
{
    const std::string socketName = folder / "taken.log";
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socketName.size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, socketName.c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const std::string fifo = folder / "fifo.log";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string dir = folder / "folder.log";
    std::filesystem::create_directory(dir);
    const std::string victim = folder / "victim.txt";
    WriteText(victim, "precious\n");
    const std::string link = folder / "link.log";
    std::filesystem::create_symlink(victim, link);

    struct Case
    {
        const char* Desc;
        std::string Name;
        std::string Reason;
    };
    const Case cases[] = {
        {"socket", socketName, "No such device or address"},
        {"FIFO without a reader", fifo, "No such device or address"},
        {"folder", dir, "Is a directory"},
        {"link", link, "a symbolic link is not followed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TKldLogFile log(c.Name, -1);
        log.SetEnabled(true);
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(log.ReOpenFile());
        log.Info("x");
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find(c.Name + ": line dropped: " + c.Reason), std::string::npos) << said;
    }
    EXPECT_EQ(ReadText(victim), "precious\n");
    ::close(sock);
}

// Several processes starting the day's file at once: none truncates the
// others' lines and the header is written once, by the process that made
// the file.
TEST_F(KldLogFileTest, ProcessesCreatingOneFileAtOnceKeepEveryLine)
{
    constexpr int writers = 6;
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const std::string name = folder / ("day" + std::to_string(round) + ".log");
        int gate[2];
        ASSERT_EQ(::pipe(gate), 0);
        std::vector<std::pair<pid_t, int>> children;
        for (int w = 0; w < writers; ++w) {
            int fd = -1;
            const pid_t pid = TestChild::Start(
                [&, w](const auto&) {
                    ::close(gate[1]);
                    char c;
                    while (::read(gate[0], &c, 1) < 0 && errno == EINTR) {
                    }
                    TKldLogFile log(name, -1);
                    RecordingFormatter formatter;
                    log.SetOnFormatLogLine(formatter.Event());
                    log.SetEnabled(true);
                    log.Info("writer " + std::to_string(w));
                    return 0;
                },
                fd);
            ASSERT_GT(pid, 0);
            children.emplace_back(pid, fd);
        }
        ::close(gate[0]);
        ::close(gate[1]); // opens the gate for all at once
        for (const auto& [pid, fd] : children)
            TestChild::Finish(pid, fd);
        const std::vector<std::string> lines = LinesOf(ReadText(name));
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "HEADER"), 1);
        for (int w = 0; w < writers; ++w)
            EXPECT_EQ(std::count(lines.begin(), lines.end(), "INFO|writer " + std::to_string(w) + "||"), 1);
        EXPECT_EQ(lines.size(), std::size_t(writers + 1));
    }
}

TEST_F(KldLogFileTest, ReplacingTheFormatterWaitsForLinesBeingFormatted)
{
    TKldLogFile log(fileName, -1);
    std::atomic<bool> inFormatter{false};
    std::atomic<bool> release{false};
    log.SetOnFormatLogLine([&](TObject*, TKldLogLevel, const std::string& msg, const std::string&,
                               const std::string&, bool header) {
        if (header)
            return std::string();
        inFormatter.store(true);
        while (!release.load())
            std::this_thread::yield();
        return "old:" + msg;
    });
    log.SetEnabled(true);

    std::thread writer([&] { log.Info("slow"); });
    while (!inFormatter.load())
        std::this_thread::yield();
    std::atomic<bool> replaced{false};
    std::thread replacer([&] {
        log.SetOnFormatLogLine(nullptr);
        replaced.store(true);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(replaced.load()) << "the formatter was replaced while it ran";
    release.store(true);
    writer.join();
    replacer.join();
    EXPECT_TRUE(replaced.load());
    EXPECT_EQ(ReadText(fileName), "old:slow\r\n");
}

TEST(KldLogFileFunctions, WriteBufToFileReplacesTheFile)
{
    TTempFolder folder;
    const std::string name = folder / "buf.bin";
    WriteText(name, "a much longer previous content");
    const char data[] = {'a', '\0', 'b'};
    WriteBufToFile(name, data, 3);
    EXPECT_EQ(ReadText(name), std::string("a\0b", 3));
    EXPECT_THROW(WriteBufToFile(folder / "no/such/file", data, 3), EStreamError);
}

TEST(GlobalLog, IsTheProgramPathWithLogAndStartsDisabled)
{
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    ASSERT_GT(n, 0);
    EXPECT_EQ(Log.FileName(), std::string(path, static_cast<std::size_t>(n)) + ".log");
    EXPECT_EQ(Log.MaxSize(), -1);
    EXPECT_FALSE(Log.Enabled());
}

TEST(GlobalLog, BoundaryErrorsGoToTheLog)
{
    TTempFolder folder;
    const std::string original = Log.FileName();
    Log.SetFileName(folder / "boundary.log");
    Log.SetEnabled(true);
    ReportBoundaryError("TTimer.OnTimer", "timer handler failed");
    Log.SetEnabled(false);
    Log.SetFileName(original);
    const auto lines = LinesOf(ReadText(folder / "boundary.log"));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(", ERROR, timer handler failed, TTimer.OnTimer, "), std::string::npos)
        << lines[0];
}

TEST(GlobalLog, ExceptionsOfTimerHandlersGoToTheLog)
{
    TTempFolder folder;
    const std::string name = folder / "timer.log";
    const std::string original = Log.FileName();
    Log.SetFileName(name);
    Log.SetEnabled(true);
    {
        TTimer timer;
        timer.SetInterval(1);
        timer.OnTimer = [](TTimer* sender) {
            sender->SetEnabled(false);
            throw Exception("timer handler failed");
        };
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (ReadText(name).empty() && std::chrono::steady_clock::now() < deadline)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    Log.SetEnabled(false);
    Log.SetFileName(original);
    const auto lines = LinesOf(ReadText(name));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(", ERROR, "), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("timer handler failed"), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("TTimer.OnTimer"), std::string::npos) << lines[0];
}

TEST(GlobalLog, BoundaryErrorsGoToStderrWhileTheLogIsOff)
{
    ASSERT_FALSE(Log.Enabled());
    ::testing::internal::CaptureStderr();
    ReportBoundaryError("worker", "lost nowhere");
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("lost nowhere"), std::string::npos) << said;
}

} // namespace
