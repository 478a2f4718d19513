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
#include <unistd.h>

const char* const SKldLogLevels[5] = {"DEBUG", "INFO", "WARNING", "ERROR", "CRITICAL"};

namespace {

void RouteBoundaryErrorsToLog();

// Every write of the stream goes to the end of the file, wherever another
// writer of the same file (a second instance of the program logging to the
// same daily file) has taken it in the meantime.
void AppendAtEnd(TFileStream& stream)
{
    const int flags = ::fcntl(stream.Handle(), F_GETFL);
    if (flags == -1 || ::fcntl(stream.Handle(), F_SETFL, flags | O_APPEND) == -1)
        throw EFOpenError(Format("Cannot append to log file %s: %s", stream.FileName(), std::strerror(errno)));
    stream.Seek(0, soFromEnd);
}

// Writes the whole line to disk. A device that cannot be synchronised (a
// pipe, /dev/null) is not an error; a disk that cannot store the line is.
void WriteAndFlush(TFileStream& stream, const std::string& data)
{
    stream.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
    if (::fdatasync(stream.Handle()) != 0 && errno != EINVAL && errno != EROFS)
        throw EWriteError(Format("Cannot flush log file %s: %s", stream.FileName(), std::strerror(errno)));
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
        reopen = m_stream != nullptr;
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
    m_stream.reset();
}

void TKldLogFile::Disable(const std::string& reason)
{
    CloseStream();
    m_enabled.store(false);
    std::cerr << "Log file " << m_fileName << " switched off: " << reason << std::endl;
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
    if (!m_stream && !ReOpenFile())
        return;
    try {
        WriteAndFlush(*m_stream, Line + "\r\n");
    } catch (const Exception& e) {
        Disable(e.Message());
    }
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

    if (FileExists(fileName)) {
        try {
            m_stream = std::make_unique<TFileStream>(fileName, fmOpenReadWrite | fmShareDenyNone);
            if (m_maxSize > 0 && m_stream->Size() > m_maxSize) {
                CloseStream();
                // Failures are ignored: the creation below then truncates the file.
                const std::string backup = fileName + ".bak";
                ::unlink(backup.c_str());
                ::rename(fileName.c_str(), backup.c_str());
            } else {
                AppendAtEnd(*m_stream);
                return true;
            }
        } catch (const Exception&) {
            // Held or unreadable: the log goes quiet until it is enabled again.
            CloseStream();
            m_enabled.store(false);
            return false;
        }
    }

    try {
        m_stream = std::make_unique<TFileStream>(fileName, fmCreate);
        AppendAtEnd(*m_stream);
    } catch (const Exception& e) {
        Disable(e.Message());
        return false;
    }
    WriteFileHeader();
    if (!m_stream)
        return false; // the header could not be written; the log is off now
    CloseStream();
    try {
        m_stream = std::make_unique<TFileStream>(fileName, fmOpenReadWrite | fmShareDenyNone);
        AppendAtEnd(*m_stream);
    } catch (const Exception& e) {
        Disable(e.Message());
        return false;
    }
    return true;
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

// Installed when the process-wide log is first switched on, not while static
// objects are made: the platform's handler slot may not exist yet then. Until
// that moment the platform's own handler writes to stderr, as this one does
// while the log is off.
void RouteBoundaryErrorsToLog()
{
    static std::once_flag once;
    std::call_once(once, [] { SetBoundaryErrorHandler(&LogBoundaryError); });
}

} // namespace

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
