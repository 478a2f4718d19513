// Finer points of the base services: the time stamp of the default log line,
// the log's virtual road, several writers on one log file, ReOpenFile's
// answers, and field escaping when the delimiter is a character that escapes
// themselves use.

#include "base/KldLogFile.h"
#include "base/KldProgress.h"
#include "base/KldStrUtils.h"

#include "platform/DateUtils.h"
#include "platform/Streams.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

namespace {

std::vector<std::string> SplitLines(const std::string& content)
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

TKldFormatLogLine PlainFormatter(const std::string& header)
{
    return [header](TObject*, TKldLogLevel level, const std::string& msg, const std::string& source,
                    const std::string& info, bool isHeader) -> std::string {
        if (isHeader)
            return header;
        return std::string(SKldLogLevels[level]) + "|" + msg + "|" + source + "|" + info;
    };
}

// ---------------------------------------------------------------------------
// Log file

class BaseConformLog : public ::testing::Test
{
  protected:
    TTempFolder folder;
    std::string fileName = folder / "conform.log";
};

// The stamp is the local time of writing, year-month-day-hour-minute-second-
// millisecond, every part with its fixed width.
TEST_F(BaseConformLog, DefaultLineStampIsTheLocalTimeOfWriting)
{
    TKldLogFile log(fileName, -1);
    log.SetEnabled(true);
    const TDateTime before = Now();
    log.Info("stamped", "Src", "Inf");
    const TDateTime after = Now();

    const auto lines = SplitLines(ReadText(fileName));
    ASSERT_EQ(lines.size(), 1u);
    const std::regex layout(
        R"((\d{4})-(\d{2})-(\d{2})-(\d{2})-(\d{2})-(\d{2})-(\d{3}), \d+, INFO, stamped, Src, Inf)");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[0], m, layout)) << lines[0];
    const TDateTime stamp = EncodeDateTime(std::stoi(m[1]), std::stoi(m[2]), std::stoi(m[3]), std::stoi(m[4]),
                                           std::stoi(m[5]), std::stoi(m[6]), std::stoi(m[7]));
    const double oneMs = 1.0 / 86400000.0;
    EXPECT_GE(stamp, before - 2 * oneMs) << lines[0];
    EXPECT_LE(stamp, after + 2 * oneMs) << lines[0];
}

// A log whose virtual operations are replaced: the shortcuts reach Write, and
// Write and the header reach InternalWrite.
class RecordingLog : public TKldLogFile
{
  public:
    using TKldLogFile::TKldLogFile;
    std::vector<std::string> Writes;
    std::vector<std::string> Internal;
    bool PassOn = true;

    void Write(TKldLogLevel level, const std::string& msg, const std::string& source,
               const std::string& info) override
    {
        Writes.push_back(std::string(SKldLogLevels[level]) + ":" + msg + ":" + source + ":" + info);
        if (PassOn)
            TKldLogFile::Write(level, msg, source, info);
    }
    void InternalWrite(const std::string& line) override
    {
        Internal.push_back(line);
        TKldLogFile::InternalWrite(line);
    }
};

TEST_F(BaseConformLog, ShortcutsGoThroughTheVirtualWrite)
{
    RecordingLog log(fileName, -1);
    log.PassOn = false;
    // Write is reached whatever the level and the switch: filtering is its own.
    log.Debug("d", "S", "I");
    log.Info("%d items", {2}, "S");
    log.Warning("w");
    log.Error("e", "S", "I", false);
    log.Error("c", "S", "I", true);
    log.Error("code %s", {"x"}, "", "", true);
    log.Error(Exception("boom"), "S");
    const std::vector<std::string> expected = {
        "DEBUG:d:S:I",    "INFO:2 items:S:",   "WARNING:w::",   "ERROR:e:S:I",
        "CRITICAL:c:S:I", "CRITICAL:code x::", "ERROR:boom:S:",
    };
    EXPECT_EQ(log.Writes, expected);
    EXPECT_TRUE(log.Internal.empty());
    EXPECT_FALSE(std::filesystem::exists(fileName));
}

TEST_F(BaseConformLog, LinesAndTheHeaderGoThroughTheVirtualInternalWrite)
{
    RecordingLog log(fileName, -1);
    log.SetOnFormatLogLine(PlainFormatter("HEAD"));
    log.SetEnabled(true);
    log.Debug("dropped");
    log.Warning("kept", "S");
    // The line's call opens the file, which writes the header through a
    // nested call before the line itself is written.
    const std::vector<std::string> expected = {"WARNING|kept|S|", "HEAD"};
    EXPECT_EQ(log.Internal, expected);
    EXPECT_EQ(ReadText(fileName), "HEAD\r\nWARNING|kept|S|\r\n");
}

TEST_F(BaseConformLog, ReOpenFileAnswers)
{
    TKldLogFile log(fileName, -1);
    log.SetOnFormatLogLine(PlainFormatter("HEAD"));
    // Switched off: False, and no file is made.
    EXPECT_FALSE(log.ReOpenFile());
    EXPECT_FALSE(std::filesystem::exists(fileName));

    log.SetEnabled(true);
    EXPECT_TRUE(log.ReOpenFile());
    EXPECT_EQ(ReadText(fileName), "HEAD\r\n");
    // Reopening an existing file appends to it without a new header.
    EXPECT_TRUE(log.ReOpenFile());
    log.Info("one");
    EXPECT_EQ(ReadText(fileName), "HEAD\r\nINFO|one||\r\n");
}

// Two log objects on one file (two programs writing the same daily file):
// each line goes to the end of the file, so none overwrites another's.
TEST_F(BaseConformLog, TwoWritersOfOneFileLoseNoLine)
{
    TKldLogFile first(fileName, -1);
    TKldLogFile second(fileName, -1);
    first.SetOnFormatLogLine(PlainFormatter(""));
    second.SetOnFormatLogLine(PlainFormatter(""));
    first.SetEnabled(true);
    second.SetEnabled(true);
    first.Info("a1");
    second.Info("b1");
    first.Info("a2");
    second.Info("b2");
    first.Info("a3");
    const std::vector<std::string> expected = {"INFO|a1||", "INFO|b1||", "INFO|a2||", "INFO|b2||",
                                               "INFO|a3||"};
    EXPECT_EQ(SplitLines(ReadText(fileName)), expected);
}

// Text added to the file by someone else while it is open is kept: the next
// line goes after it.
TEST_F(BaseConformLog, TextAppendedByOthersIsKept)
{
    TKldLogFile log(fileName, -1);
    log.SetOnFormatLogLine(PlainFormatter(""));
    log.SetEnabled(true);
    log.Info("mine");
    {
        TFileStream other(fileName, fmOpenReadWrite | fmShareDenyNone);
        other.Seek(0, soFromEnd);
        const std::string text = "theirs\r\n";
        other.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
    }
    log.Info("mine again");
    EXPECT_EQ(ReadText(fileName), "INFO|mine||\r\ntheirs\r\nINFO|mine again||\r\n");
}

// ---------------------------------------------------------------------------
// Progress record layout

TEST(BaseConformProgress, MessageNumberAndNoticeWithoutAbortFlag)
{
    EXPECT_EQ(WM_KLDPROGRESS, 5024u);
    TKldProgressMonitor monitor;
    std::vector<std::string> seen;
    monitor.OnProgress = [&](TObject*, const std::string& proc, int32_t pos, const std::string& msg,
                             bool& abort) {
        seen.push_back(proc + "/" + std::to_string(pos) + "/" + msg);
        abort = true;
    };
    monitor.SetActive(true);
    // A notice without an Abort flag still reaches the receiver.
    Progress.Notify(nullptr, "Load", -3, "");
    monitor.SetActive(false);
    EXPECT_EQ(seen, (std::vector<std::string>{"Load/-3/"}));
}

// ---------------------------------------------------------------------------
// Escaping

struct EscapeCase
{
    const char* Desc;
    std::string Input;
    char Delimiter;
    std::string Expected;
};

// Quoting is decided on the characters written, not on the characters read:
// a delimiter that an escape writes (a backslash, a hex digit) quotes the
// field, and a control-character delimiter, which is never written as itself,
// does not.
TEST(BaseConformEscape, QuotingFollowsTheCharactersWritten)
{
    const std::vector<EscapeCase> cases = {
        {"comma in the text", "a,b", ',', "\"a,b\""},
        {"backslash delimiter from a backslash", "a\\b", '\\', "\"a\\\\b\""},
        {"backslash delimiter from an escape", "a\nb", '\\', "\"a\\0Ab\""},
        {"hex digit A written by an escape", "x\n", 'A', "\"x\\0A\""},
        {"digit 9 written by an escape", "\t", '9', "\"\\09\""},
        {"digit 0 written by an escape", "\x05", '0', "\"\\05\""},
        {"digit 1 written by an escape", "\x1F", '1', "\"\\1F\""},
        {"hex digit F written by an escape", "\x1F", 'F', "\"\\1F\""},
        {"escape without the delimiter", "\n", 'B', "\\0A"},
        {"tab delimiter is written as \\09", "a\tb", '\t', "a\\09b"},
        {"line feed delimiter is written as \\0A", "one\ntwo", '\n', "one\\0Atwo"},
        {"tab delimiter with a quote inside stays single", "a\t\"b", '\t', "a\\09\"b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(EscapeStr(c.Input, c.Delimiter, '"'), c.Expected);
    }
}

TEST(BaseConformEscape, RoundTripWithUnusualDelimiters)
{
    const std::vector<std::string> texts = {"a\\b", "a\nb", "x\n",      "\t",
                                            "\x1F", "\x05", "one\ntwo", "a\t\"b,c"};
    const char delimiters[] = {'\\', 'A', '0', '9', 'F', '\t', '\n', ','};
    for (char delimiter : delimiters) {
        for (const auto& text : texts) {
            SCOPED_TRACE(std::string("delimiter code ") + std::to_string(static_cast<int>(delimiter)) +
                         ", text " + text);
            const std::string escaped = EscapeStr(text, delimiter, '"');
            // Whenever the field holds the delimiter it is quoted.
            if (escaped.find(delimiter) != std::string::npos) {
                ASSERT_FALSE(escaped.empty());
                EXPECT_EQ(escaped.front(), '"');
                EXPECT_EQ(escaped.back(), '"');
            }
            EXPECT_EQ(UnEscapeStr(escaped, '"'), text);
        }
    }
}

} // namespace
