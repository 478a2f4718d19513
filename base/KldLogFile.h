#pragma once
// A thread-safe, append-only text log and the one process-wide log object
// `Log`.
//
// Lines below LogLevel, and every line while the log is not enabled, are
// dropped before they are formatted. Each line is written with CR LF and
// flushed to disk before the writing call returns. The size limit is tested
// only when the file is opened: a file larger than MaxSize then becomes
// FileName + ".bak" and a new file is started with the formatter's header.
//
// Logging never throws into the code that logs. A file that cannot be
// opened, created or written (a full disk, a file size limit) drops the line
// and says so once on stderr with the system's reason; the log stays on and
// the next line tries again, so a moment of full disk does not silence the
// rest of the session. A line cut off by such a failure is never glued to the
// next one: the next line begins on a new line (the file is not cut back,
// which could remove another process's line). Only a regular file is
// written: a FIFO, device or socket in the file's place is refused, and a
// symbolic link is not followed. A new file is created without truncating
// anything (0600, this user's only); the header goes only into a file this
// process created, so several processes starting the day's file at once
// neither truncate each other nor repeat the header. (An exception raised
// by the formatter event is the formatter's own and reaches the caller.)

#include "platform/Persistent.h"
#include "platform/SyncObjs.h"
#include "platform/SysUtils.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

enum TKldLogLevel
{
    llDebug,
    llInfo,
    llWarning,
    llError,
    llCritical
};

// The level names, indexed by TKldLogLevel.
extern const char* const SKldLogLevels[5];

// Builds a whole line (without line end) from the log object, the level, the
// message, the source and the info. With Header set it answers the file's
// header line instead ('' for none).
using TKldFormatLogLine =
    std::function<std::string(TObject* Sender, TKldLogLevel ALogLevel, const std::string& Msg,
                              const std::string& Source, const std::string& Info, bool Header)>;

class TKldLogFile : public TObject
{
  public:
    // Stores both; opens nothing. A MaxSize above 0 turns rotation on.
    TKldLogFile(const std::string& FileName, int32_t MaxSize);
    ~TKldLogFile() override;
    std::string ClassName() const override { return "TKldLogFile"; }

    bool Enabled() const { return m_enabled.load(); }
    // Switching off closes the file; switching on opens nothing (the next
    // line opens the file and checks its size).
    void SetEnabled(bool Value);
    std::string FileName() const;
    // A different name (compared case-sensitively) with a file open reopens
    // at once, creating the new file with its header when needed; with no
    // file open the next line opens it.
    void SetFileName(const std::string& Value);
    int64_t MaxSize() const { return m_maxSize; }
    TKldLogLevel LogLevel() const { return m_logLevel.load(); }
    void SetLogLevel(TKldLogLevel Value) { m_logLevel.store(Value); }

    // The formatter may be replaced while other threads write: replacing it
    // waits until lines being formatted by the old one are done, so the old
    // formatter's owner may go away right after clearing it. A formatter must
    // not replace the formatter itself.
    TKldFormatLogLine OnFormatLogLine() const;
    void SetOnFormatLogLine(TKldFormatLogLine Value);

    // Appends one finished line (without its line end); empty lines are
    // dropped.
    virtual void InternalWrite(const std::string& Line);
    // Filters by level and Enabled, formats and hands the line on.
    virtual void Write(TKldLogLevel ALogLevel, const std::string& Msg, const std::string& Source,
                       const std::string& Info);

    // (Re)opens the file, rotating it when it is larger than MaxSize; answers
    // whether a file is open afterwards.
    bool ReOpenFile();
    // Writes the formatter's header line into a newly created file.
    void WriteFileHeader();
    // The formatter's line, or the default "time, thread id, level, message,
    // source, info" with the local time as yyyy-mm-dd-hh-nn-ss-zzz.
    std::string FormatLogLine(TKldLogLevel ALogLevel, const std::string& Msg, const std::string& Source,
                              const std::string& Info);

    // Level shortcuts. The format forms build Msg as Format(Fmt, Args) and
    // take the arguments as a braced list: Log.Debug("Port:%d", {Port}, Src).
    void Debug(const std::string& Msg, std::string_view Source = {}, std::string_view Info = {});
    void Debug(const std::string& Fmt, std::initializer_list<FormatArg> Args, std::string_view Source = {},
               std::string_view Info = {});
    void Info(const std::string& Msg, std::string_view Source = {}, std::string_view Info = {});
    void Info(const std::string& Fmt, std::initializer_list<FormatArg> Args, std::string_view Source = {},
              std::string_view Info = {});
    void Warning(const std::string& Msg, std::string_view Source = {}, std::string_view Info = {});
    void Warning(const std::string& Fmt, std::initializer_list<FormatArg> Args, std::string_view Source = {},
                 std::string_view Info = {});
    // Critical writes at llCritical, otherwise at llError.
    void Error(const std::string& Msg, std::string_view Source = {}, std::string_view Info = {},
               bool Critical = false);
    void Error(const std::string& Fmt, std::initializer_list<FormatArg> Args, std::string_view Source = {},
               std::string_view Info = {}, bool Critical = false);
    // Writes the exception's message text.
    void Error(const Exception& E, std::string_view Source = {}, std::string_view Info = {},
               bool Critical = false);

  private:
    // Closes the file; the caller holds the lock.
    void CloseStream();
    // Drops the line after a file error and says so once on stderr until a
    // line is written again.
    void ReportFailure(const std::string& reason);
    // Appends the bytes and flushes them to disk; false (and the reason)
    // when the system refused. A part written marks the line as cut.
    bool AppendLine(const std::string& line, std::string& reason);
    static std::string DefaultLine(TKldLogLevel level, const std::string& msg, const std::string& source,
                                   const std::string& info);

    int m_handle = -1;
    bool m_lineCut = false;   // the last line ended early: the next one starts on a new line
    bool m_failReported = false;
    mutable TCriticalSection m_lock;
    std::atomic<bool> m_enabled{false};
    std::string m_fileName;
    int64_t m_maxSize;
    std::atomic<TKldLogLevel> m_logLevel{llInfo};
    TKldFormatLogLine m_onFormatLogLine;
    // Readers are the lines being formatted; a writer replaces the formatter.
    mutable std::shared_mutex m_formatterLock;
};

// Replaces the file with Count bytes from Buf (through a temporary file
// beside it, so a failure leaves the old file whole). Raises EFCreateError or
// EWriteError on failure.
void WriteBufToFile(const std::string& FileName, const void* Buf, int32_t Count);

// The process-wide log: the running program's full path followed by ".log"
// (the program's own extension stays in the name), MaxSize -1, so disabled
// and never rotating until the controller points it at its daily file. It
// exists before and after every static object of a unit that includes this
// header, so that their construction and destruction may log. Once it has
// been switched on, errors that platform boundaries catch (event loop,
// worker threads, timer handlers) are written to it at error level with the
// boundary as the source; while it is off they go to stderr.
extern TKldLogFile& Log;

// The log's boundary handler (platform/Threads.h), installed when the log is
// first switched on: the error at error level with the boundary as the
// source, or on stderr while the log is off. A handler put in front of it
// can tell it apart by its address.
void LogBoundaryError(const std::string& where, const std::string& message);

namespace KldLogFileDetail {
// Makes `Log` on the first use of this header and destroys it after the last.
struct LogLifetime
{
    LogLifetime();
    ~LogLifetime();
};
static const LogLifetime s_logLifetime;
} // namespace KldLogFileDetail
