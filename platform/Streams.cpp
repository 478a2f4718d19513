#include "platform/Streams.h"

#include "platform/ClassesText.h"
#include "platform/FileReplaceStream.h"
#include "platform/SysUtils.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const char* const kReadError = "Stream read error";
const char* const kWriteError = "Stream write error";

// Large copies go through a bounded buffer.
constexpr int64_t kCopyBlock = 64 * 1024;
} // namespace

// ---------------------------------------------------------------------------
// TStream

int64_t TStream::Size()
{
    const int64_t pos = Seek(0, soFromCurrent);
    const int64_t size = Seek(0, soFromEnd);
    Seek(pos, soFromBeginning);
    return size;
}

void TStream::SetSize(int64_t newSize)
{
    throw EStreamError(ClassName() + " cannot change its size");
}

void TStream::ReadBuffer(void* buffer, int64_t count)
{
    if (count != 0 && Read(buffer, count) != count)
        throw EReadError(kReadError);
}

void TStream::WriteBuffer(const void* buffer, int64_t count)
{
    if (count != 0 && Write(buffer, count) != count)
        throw EWriteError(WriteErrorText());
}

std::string TStream::WriteErrorText() const
{
    return kWriteError;
}

int64_t TStream::CopyFrom(TStream& source, int64_t count)
{
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    if (count < 0)
        throw EReadError(kReadError);
    const int64_t total = count;
    std::vector<uint8_t> buffer(static_cast<size_t>(std::min(count, kCopyBlock)));
    while (count > 0) {
        const int64_t n = std::min(count, kCopyBlock);
        source.ReadBuffer(buffer.data(), n);
        WriteBuffer(buffer.data(), n);
        count -= n;
    }
    return total;
}

// ---------------------------------------------------------------------------
// TMemoryStream

int64_t TMemoryStream::Read(void* buffer, int64_t count)
{
    const auto size = static_cast<int64_t>(m_data.size());
    if (count <= 0 || m_position < 0 || m_position >= size)
        return 0;
    const int64_t n = std::min(count, size - m_position);
    std::memcpy(buffer, m_data.data() + m_position, static_cast<size_t>(n));
    m_position += n;
    return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count)
{
    if (count <= 0 || m_position < 0)
        return 0;
    if (count > std::numeric_limits<int64_t>::max() - m_position)
        return 0;
    const int64_t end = m_position + count;
    if (end > static_cast<int64_t>(m_data.size())) {
        // A position far beyond the end must not take the process down.
        try {
            m_data.resize(static_cast<size_t>(end), 0);
        } catch (const std::exception&) {
            return 0;
        }
    }
    std::memcpy(m_data.data() + m_position, buffer, static_cast<size_t>(count));
    m_position = end;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, int origin)
{
    int64_t base = 0;
    switch (origin) {
    case soFromBeginning:
        break;
    case soFromCurrent:
        base = m_position;
        break;
    case soFromEnd:
        base = static_cast<int64_t>(m_data.size());
        break;
    default:
        throw EStreamError("Invalid seek origin " + std::to_string(origin));
    }
    int64_t target = 0;
    if (__builtin_add_overflow(base, offset, &target))
        throw EStreamError("Seek offset " + std::to_string(offset) + " out of range");
    m_position = target;
    return m_position;
}

void TMemoryStream::SetSize(int64_t newSize)
{
    if (newSize < 0)
        throw EStreamError("Invalid stream size " + std::to_string(newSize));
    try {
        m_data.resize(static_cast<size_t>(newSize), 0);
    } catch (const std::exception&) {
        throw EOutOfMemory("Out of memory for a stream of " + std::to_string(newSize) + " bytes");
    }
    if (m_position > newSize)
        m_position = newSize;
}

void TMemoryStream::Clear()
{
    m_data.clear();
    m_data.shrink_to_fit();
    m_position = 0;
}

void TMemoryStream::LoadFromStream(TStream& stream)
{
    stream.SetPosition(0);
    const int64_t count = stream.Size();
    std::vector<uint8_t> data(static_cast<size_t>(std::max<int64_t>(count, 0)));
    if (count > 0)
        stream.ReadBuffer(data.data(), count);
    m_data.swap(data);
    m_position = 0;
}

void TMemoryStream::LoadFromFile(const std::string& fileName)
{
    TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(stream);
}

void TMemoryStream::SaveToStream(TStream& stream) const
{
    if (!m_data.empty())
        stream.WriteBuffer(m_data.data(), static_cast<int64_t>(m_data.size()));
}

void TMemoryStream::SaveToFile(const std::string& fileName) const
{
    TFileReplaceStream stream(fileName);
    SaveToStream(stream);
    stream.Commit();
}

// ---------------------------------------------------------------------------
// TFileStream

TFileStream::TFileStream(const std::string& fileName, uint16_t mode) : m_fileName(fileName)
{
    if ((mode & fmCreate) == fmCreate) {
        m_handle = ::open(fileName.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (m_handle < 0)
            throw EFCreateError("Cannot create file \"" + fileName + "\". " +
                                kld_classes::OsErrorText(errno));
        return;
    }
    int flags = O_RDONLY;
    switch (mode & 0x0003) {
    case fmOpenWrite:
        flags = O_WRONLY;
        break;
    case fmOpenReadWrite:
        flags = O_RDWR;
        break;
    default:
        break;
    }
    m_handle = ::open(fileName.c_str(), flags | O_CLOEXEC);
    int error = errno;
    if (m_handle >= 0) {
        // A folder opens for reading on this system but is no file.
        struct stat st
        {
        };
        if (::fstat(m_handle, &st) == 0 && S_ISDIR(st.st_mode)) {
            ::close(m_handle);
            m_handle = -1;
            error = EISDIR;
        }
    }
    if (m_handle < 0)
        throw EFOpenError("Cannot open file \"" + fileName + "\". " + kld_classes::OsErrorText(error));
}

TFileStream::~TFileStream()
{
    if (m_handle >= 0)
        ::close(m_handle);
}

int64_t TFileStream::Read(void* buffer, int64_t count)
{
    int64_t done = 0;
    auto* out = static_cast<uint8_t*>(buffer);
    while (done < count) {
        const ssize_t n =
            ::read(m_handle, out + done, static_cast<size_t>(std::min<int64_t>(count - done, 1 << 30)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

int64_t TFileStream::Write(const void* buffer, int64_t count)
{
    int64_t done = 0;
    const auto* in = static_cast<const uint8_t*>(buffer);
    while (done < count) {
        const ssize_t n =
            ::write(m_handle, in + done, static_cast<size_t>(std::min<int64_t>(count - done, 1 << 30)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_writeError = n < 0 ? errno : ENOSPC;
            break;
        }
        done += n;
    }
    return done;
}

std::string TFileStream::WriteErrorText() const
{
    if (m_writeError == 0)
        return TStream::WriteErrorText();
    return "Cannot write " + m_fileName + ": " + kld_classes::OsErrorText(m_writeError);
}

int64_t TFileStream::Seek(int64_t offset, int origin)
{
    int whence = SEEK_SET;
    if (origin == soFromCurrent)
        whence = SEEK_CUR;
    else if (origin == soFromEnd)
        whence = SEEK_END;
    else if (origin != soFromBeginning)
        throw EStreamError("Invalid seek origin " + std::to_string(origin));
    const off_t pos = ::lseek(m_handle, static_cast<off_t>(offset), whence);
    // A failed seek (a negative position) leaves the position where it was.
    return pos < 0 ? static_cast<int64_t>(::lseek(m_handle, 0, SEEK_CUR)) : static_cast<int64_t>(pos);
}

int64_t TFileStream::Size()
{
    struct stat st
    {
    };
    if (::fstat(m_handle, &st) != 0)
        return 0;
    return static_cast<int64_t>(st.st_size);
}

void TFileStream::SetSize(int64_t newSize)
{
    if (newSize < 0 || ::ftruncate(m_handle, static_cast<off_t>(newSize)) != 0)
        throw EWriteError(kWriteError);
    if (Position() > newSize)
        SetPosition(newSize);
}

// ---------------------------------------------------------------------------
// TStringStream, TBytesStream

TStringStream::TStringStream(const std::string& text)
{
    m_data.assign(text.begin(), text.end());
}

std::string TStringStream::DataString() const
{
    return std::string(m_data.begin(), m_data.end());
}

std::string TStringStream::ReadString(int64_t count)
{
    const auto size = static_cast<int64_t>(m_data.size());
    if (count <= 0 || m_position < 0 || m_position >= size)
        return std::string();
    std::string result(static_cast<size_t>(std::min(count, size - m_position)), '\0');
    Read(result.data(), static_cast<int64_t>(result.size()));
    return result;
}

void TStringStream::WriteString(const std::string& text)
{
    WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
}

TBytesStream::TBytesStream(const std::vector<uint8_t>& bytes)
{
    m_data = bytes;
}

// ---------------------------------------------------------------------------
// Little-endian values

namespace {
template <class T> T ReadLE(TStream& stream)
{
    uint8_t bytes[sizeof(T)];
    stream.ReadBuffer(bytes, sizeof(T));
    uint64_t bits = 0;
    for (size_t i = 0; i < sizeof(T); ++i)
        bits |= static_cast<uint64_t>(bytes[i]) << (8 * i);
    T value;
    if constexpr (sizeof(T) == 8)
        std::memcpy(&value, &bits, 8);
    else {
        auto narrow = static_cast<std::make_unsigned_t<T>>(bits);
        std::memcpy(&value, &narrow, sizeof(T));
    }
    return value;
}

template <class T> void WriteLE(TStream& stream, T value)
{
    uint64_t bits = 0;
    if constexpr (sizeof(T) == 8)
        std::memcpy(&bits, &value, 8);
    else {
        std::make_unsigned_t<T> narrow;
        std::memcpy(&narrow, &value, sizeof(T));
        bits = narrow;
    }
    uint8_t bytes[sizeof(T)];
    for (size_t i = 0; i < sizeof(T); ++i)
        bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
    stream.WriteBuffer(bytes, sizeof(T));
}
} // namespace

uint8_t ReadUInt8(TStream& stream)
{
    return ReadLE<uint8_t>(stream);
}
int16_t ReadInt16(TStream& stream)
{
    return ReadLE<int16_t>(stream);
}
uint16_t ReadUInt16(TStream& stream)
{
    return ReadLE<uint16_t>(stream);
}
int32_t ReadInt32(TStream& stream)
{
    return ReadLE<int32_t>(stream);
}
uint32_t ReadUInt32(TStream& stream)
{
    return ReadLE<uint32_t>(stream);
}
int64_t ReadInt64(TStream& stream)
{
    return ReadLE<int64_t>(stream);
}
double ReadDouble(TStream& stream)
{
    return ReadLE<double>(stream);
}
void WriteUInt8(TStream& stream, uint8_t value)
{
    WriteLE(stream, value);
}
void WriteInt16(TStream& stream, int16_t value)
{
    WriteLE(stream, value);
}
void WriteUInt16(TStream& stream, uint16_t value)
{
    WriteLE(stream, value);
}
void WriteInt32(TStream& stream, int32_t value)
{
    WriteLE(stream, value);
}
void WriteUInt32(TStream& stream, uint32_t value)
{
    WriteLE(stream, value);
}
void WriteInt64(TStream& stream, int64_t value)
{
    WriteLE(stream, value);
}
void WriteDouble(TStream& stream, double value)
{
    WriteLE(stream, value);
}
