#include "base/KldLogFile.h"

#include "platform/DateUtils.h"
#include "platform/FileUtils.h"
#include "platform/FileReplaceStream.h"
#include "platform/Streams.h"
#include "platform/Threads.h"

#include <cerrno>
#include <cstring>
#include <iostream>
#include <mutex>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

const char* const SKldLogLevels[5] = {"DEBUG", "INFO", "WARNING", "ERROR", "CRITICAL"};

namespace {

void RouteBoundaryErrorsToLog();

// Opens the log for appending: every write goes to the end of the file,
// wherever another writer of the same file (a second copy of the program
// logging to the same daily file) has taken it in the meantime. The file is
// created when missing, never truncated; `created` tells
// whether this call made it. Links are not followed and only a regular file
// is taken (opened without waiting, so that a FIFO in its place cannot
// block). Answers the handle, or -1 and the reason.
int OpenForAppend(const std::string& fileName, bool& created, std::string& reason)
{
    constexpr int flags = O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    int fd = -1;
    for (int attempt = 0; attempt < 3 && fd < 0; ++attempt) {
        created = false;
        fd = ::open(fileName.c_str(), flags);
        if (fd >= 0 || errno != ENOENT)
            break;
        fd = ::open(fileName.c_str(), flags | O_CREAT | O_EXCL, 0600);
        created = fd >= 0;
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        reason = errno == ELOOP ? "a symbolic link is not followed" : std::strerror(errno);
        return -1;
    }
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        reason = "not a regular file";
        return -1;
    }
    ::fcntl(fd, F_SETFL, O_APPEND);
    return fd;
}

int64_t SizeOf(int fd)
{
    struct stat st
    {
    };
    return ::fstat(fd, &st) == 0 ? int64_t(st.st_size) : 0;
}

} // namespace

TKldLogFile::TKldLogFile(const std::string& FileName, int32_t MaxSize)
    : m_fileName(FileName), m_maxSize(MaxSize)
{
}

TKldLogFile::~TKldLogFile()
{
    TCriticalSectionGuard guard(m_lock);
    CloseStream();
}

void TKldLogFile::SetEnabled(bool Value)
{
    if (Value && this == &Log)
        RouteBoundaryErrorsToLog();
    if (m_enabled.load() == Value)
        return;
    TCriticalSectionGuard guard(m_lock);
    m_enabled.store(Value);
    if (!Value)
        CloseStream();
}

std::string TKldLogFile::FileName() const
{
    TCriticalSectionGuard guard(m_lock);
    return m_fileName;
}

void TKldLogFile::SetFileName(const std::string& Value)
{
    bool reopen = false;
    {
        TCriticalSectionGuard guard(m_lock);
        if (Value == m_fileName)
            return;
        m_fileName = Value;
        reopen = m_handle >= 0;
    }
    if (reopen)
        ReOpenFile();
}

TKldFormatLogLine TKldLogFile::OnFormatLogLine() const
{
    std::shared_lock lock(m_formatterLock);
    return m_onFormatLogLine;
}

void TKldLogFile::SetOnFormatLogLine(TKldFormatLogLine Value)
{
    std::unique_lock lock(m_formatterLock);
    m_onFormatLogLine = std::move(Value);
}

void TKldLogFile::CloseStream()
{
    if (m_handle >= 0)
        ::close(m_handle);
    m_handle = -1;
    // A new file (or the same one reopened) starts after whatever is there.
    m_lineCut = false;
}

void TKldLogFile::ReportFailure(const std::string& reason)
{
    if (m_failReported)
        return;
    m_failReported = true;
    std::cerr << "Log file " << m_fileName << ": line dropped: " << reason
              << " (the next line tries again)" << std::endl;
}

bool TKldLogFile::AppendLine(const std::string& line, std::string& reason)
{
    // After a cut line the next one starts on a line of its own.
    const std::size_t lead = m_lineCut ? 2 : 0;
    const std::string data = std::string("\r\n", lead) + line + "\r\n";
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(m_handle, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            reason = n < 0 ? std::strerror(errno) : "nothing written";
            // Only what reached the file counts: nothing written leaves the
            // file as it was; the leading break alone ended the cut line.
            if (done > 0)
                m_lineCut = done != lead;
            return false;
        }
        done += std::size_t(n);
    }
    m_lineCut = false;
    // A device that cannot be synchronised is not an error; a disk that
    // cannot store the line is.
    if (::fdatasync(m_handle) != 0 && errno != EINVAL && errno != EROFS) {
        reason = std::string("cannot flush: ") + std::strerror(errno);
        return false;
    }
    return true;
}

void TKldLogFile::InternalWrite(const std::string& Line)
{
    if (!m_enabled.load() || Line.empty())
        return;
    TCriticalSectionGuard guard(m_lock);
    // Tested again under the lock: another thread may have switched the log
    // off, or closed its file, since the test above.
    if (!m_enabled.load())
        return;
    if (m_handle < 0 && !ReOpenFile())
        return;
    std::string reason;
    if (!AppendLine(Line, reason)) {
        ReportFailure(reason);
        return;
    }
    m_failReported = false;
}

void TKldLogFile::Write(TKldLogLevel ALogLevel, const std::string& Msg, const std::string& Source,
                        const std::string& Info)
{
    if (ALogLevel < m_logLevel.load() || !m_enabled.load())
        return;
    InternalWrite(FormatLogLine(ALogLevel, Msg, Source, Info));
}

bool TKldLogFile::ReOpenFile()
{
    if (!m_enabled.load())
        return false;
    TCriticalSectionGuard guard(m_lock);
    if (!m_enabled.load())
        return false;
    CloseStream();
    const std::string fileName = m_fileName;
    bool created = false;
    std::string reason;
    m_handle = OpenForAppend(fileName, created, reason);
    if (m_handle >= 0 && !created && m_maxSize > 0 && SizeOf(m_handle) > m_maxSize) {
        CloseStream();
        // Failures are ignored: the file is then appended to as it is.
        const std::string backup = fileName + ".bak";
        ::unlink(backup.c_str());
        ::rename(fileName.c_str(), backup.c_str());
        m_handle = OpenForAppend(fileName, created, reason);
    }
    if (m_handle < 0) {
        ReportFailure(reason);
        return false;
    }
    // Only the process that made the file writes its header: several
    // processes starting the day's file at once write it once.
    if (created)
        WriteFileHeader();
    return m_handle >= 0;
}

void TKldLogFile::WriteFileHeader()
{
    std::string header;
    {
        std::shared_lock lock(m_formatterLock);
        if (!m_onFormatLogLine)
            return;
        header = m_onFormatLogLine(this, llDebug, std::string(), std::string(), std::string(), true);
    }
    InternalWrite(header);
}

std::string TKldLogFile::FormatLogLine(TKldLogLevel ALogLevel, const std::string& Msg,
                                       const std::string& Source, const std::string& Info)
{
    {
        std::shared_lock lock(m_formatterLock);
        if (m_onFormatLogLine)
            return m_onFormatLogLine(this, ALogLevel, Msg, Source, Info, false);
    }
    return DefaultLine(ALogLevel, Msg, Source, Info);
}

std::string TKldLogFile::DefaultLine(TKldLogLevel level, const std::string& msg, const std::string& source,
                                     const std::string& info)
{
    // Fields are neither quoted nor escaped.
    std::string line = FormatDateTime("yyyy-mm-dd-hh-nn-ss-zzz", Now());
    line += ", ";
    line += std::to_string(GetCurrentThreadId());
    line += ", ";
    line += SKldLogLevels[level];
    line += ", ";
    line += msg;
    line += ", ";
    line += source;
    line += ", ";
    line += info;
    return line;
}

void TKldLogFile::Debug(const std::string& Msg, std::string_view Source, std::string_view Info)
{
    Write(llDebug, Msg, std::string(Source), std::string(Info));
}

void TKldLogFile::Debug(const std::string& Fmt, std::initializer_list<FormatArg> Args,
                        std::string_view Source, std::string_view Info)
{
    Write(llDebug, FormatList(Fmt, Args), std::string(Source), std::string(Info));
}

void TKldLogFile::Info(const std::string& Msg, std::string_view Source, std::string_view Info)
{
    Write(llInfo, Msg, std::string(Source), std::string(Info));
}

void TKldLogFile::Info(const std::string& Fmt, std::initializer_list<FormatArg> Args, std::string_view Source,
                       std::string_view Info)
{
    Write(llInfo, FormatList(Fmt, Args), std::string(Source), std::string(Info));
}

void TKldLogFile::Warning(const std::string& Msg, std::string_view Source, std::string_view Info)
{
    Write(llWarning, Msg, std::string(Source), std::string(Info));
}

void TKldLogFile::Warning(const std::string& Fmt, std::initializer_list<FormatArg> Args,
                          std::string_view Source, std::string_view Info)
{
    Write(llWarning, FormatList(Fmt, Args), std::string(Source), std::string(Info));
}

void TKldLogFile::Error(const std::string& Msg, std::string_view Source, std::string_view Info, bool Critical)
{
    Write(Critical ? llCritical : llError, Msg, std::string(Source), std::string(Info));
}

void TKldLogFile::Error(const std::string& Fmt, std::initializer_list<FormatArg> Args,
                        std::string_view Source, std::string_view Info, bool Critical)
{
    Write(Critical ? llCritical : llError, FormatList(Fmt, Args), std::string(Source), std::string(Info));
}

void TKldLogFile::Error(const Exception& E, std::string_view Source, std::string_view Info, bool Critical)
{
    Write(Critical ? llCritical : llError, E.Message(), std::string(Source), std::string(Info));
}

void WriteBufToFile(const std::string& FileName, const void* Buf, int32_t Count)
{
    TFileReplaceStream stream(FileName);
    if (Count > 0)
        stream.WriteBuffer(Buf, Count);
    stream.Commit();
}

// ---------------------------------------------------------------------------
// The process-wide log

namespace {

// Raw storage, so that `Log` is bound at compile time and made by the first
// LogLifetime, whichever unit's static objects start first.
union LogStorage {
    constexpr LogStorage() : placeholder(0) {}
    ~LogStorage() {}
    char placeholder;
    TKldLogFile log;
};

constinit LogStorage g_logStorage;
constinit int g_logUsers = 0;
constinit std::atomic<bool> g_logAlive{false};

// Installed when the process-wide log is first switched on, not while static
// objects are made: the platform's handler slot may not exist yet then. Until
// that moment the platform's own handler writes to stderr, as this one does
// while the log is off. A handler the program installed before (the
// launcher's report dialog) stays.
void RouteBoundaryErrorsToLog()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (!GetBoundaryErrorHandler())
            SetBoundaryErrorHandler(&LogBoundaryError);
    });
}

} // namespace

// Errors caught at platform boundaries go to the log; while the log is off
// (or already gone at exit) they go to stderr, so that none is lost.
void LogBoundaryError(const std::string& where, const std::string& message)
{
    if (g_logAlive.load() && Log.Enabled()) {
        Log.Error(message, where);
        return;
    }
    std::cerr << "[" << where << "] " << message << std::endl;
}

constinit TKldLogFile& Log = g_logStorage.log;

KldLogFileDetail::LogLifetime::LogLifetime()
{
    if (g_logUsers++ == 0) {
        new (&g_logStorage.log) TKldLogFile(GetModuleFileName() + ".log", -1);
        g_logAlive.store(true);
    }
}

KldLogFileDetail::LogLifetime::~LogLifetime()
{
    if (--g_logUsers == 0) {
        g_logAlive.store(false);
        g_logStorage.log.~TKldLogFile();
    }
}
