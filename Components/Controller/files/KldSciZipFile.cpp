#include "Components/Controller/files/KldSciZipFile.h"

#include "base/KldLogFile.h"
#include "platform/DateUtils.h"
#include "platform/FileUtils.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <sys/stat.h>
#include <unicode/ucnv.h>
#include <unicode/ustring.h>
#include <unistd.h>
#include <zlib.h>

namespace {

constexpr uint32_t LocalSignature = 0x04034B50u;
constexpr uint32_t CentralSignature = 0x02014B50u;
constexpr uint32_t EndSignature = 0x06054B50u;
constexpr int64_t LocalHeaderSize = 30;
constexpr int64_t CentralHeaderSize = 46;
constexpr int64_t EndRecordSize = 22;
constexpr int64_t MaxCommentSize = 0xFFFF;
constexpr uint16_t FlagDataDescriptor = 0x0008;
constexpr uint16_t FlagUtf8 = 0x0800;
constexpr uint16_t ExtraZip64 = 0x0001;
constexpr uint16_t ExtraNtfsTimes = 0x000A;
constexpr uint16_t ExtraUnixTimes = 0x5455;
constexpr uint16_t ExtraUnicodePath = 0x7075;
constexpr int HostUnix = 3;
constexpr int HostMacOS = 19;
constexpr size_t ChunkSize = 256 * 1024;

const char* const SInvalidFormat = "Invalid zip file format";

[[noreturn]] void InvalidFormat()
{
    // A plain exception: callers probing a file tell "not an archive" apart
    // from the archive's own errors.
    throw Exception(SInvalidFormat);
}

[[noreturn]] void ZipError(const std::string& Message)
{
    throw EKldZipFileError(Message);
}

// --- Little-endian records ----------------------------------------------------------

class TRecordReader
{
  public:
    explicit TRecordReader(const uint8_t* Data) : m_p(Data) {}
    uint16_t U16()
    {
        const uint16_t v = uint16_t(m_p[0] | (m_p[1] << 8));
        m_p += 2;
        return v;
    }
    uint32_t U32()
    {
        const uint32_t v = uint32_t(m_p[0]) | (uint32_t(m_p[1]) << 8) | (uint32_t(m_p[2]) << 16) |
                           (uint32_t(m_p[3]) << 24);
        m_p += 4;
        return v;
    }

  private:
    const uint8_t* m_p;
};

class TRecordWriter
{
  public:
    void U16(uint32_t v)
    {
        m_out.push_back(char(v & 0xFF));
        m_out.push_back(char((v >> 8) & 0xFF));
    }
    void U32(uint32_t v)
    {
        U16(v & 0xFFFF);
        U16(v >> 16);
    }
    void Bytes(const std::string& s) { m_out += s; }
    void WriteTo(TStream& Stream) const { Stream.WriteBuffer(m_out.data(), static_cast<int64_t>(m_out.size())); }

  private:
    std::string m_out;
};

// Reads exactly Count bytes at Position; anything less is a damaged archive.
void ReadAt(TStream& Stream, int64_t Position, void* Buffer, int64_t Count)
{
    Stream.SetPosition(Position);
    auto* p = static_cast<char*>(Buffer);
    for (int64_t done = 0, n = 0; done < Count; done += n)
        if ((n = Stream.Read(p + done, Count - done)) <= 0)
            InvalidFormat();
}

std::string ReadBytesAt(TStream& Stream, int64_t Position, int64_t Count)
{
    std::string s(static_cast<size_t>(Count), '\0');
    ReadAt(Stream, Position, s.data(), Count);
    return s;
}

uint32_t Le32(const uint8_t* p)
{
    return TRecordReader(p).U32();
}

// --- Names ----------------------------------------------------------------------------

bool IsAscii(const std::string& s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool IsValidUtf8(const std::string& s)
{
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = 0;
    u_strFromUTF8(nullptr, 0, &length, s.data(), static_cast<int32_t>(s.size()), &status);
    return status == U_BUFFER_OVERFLOW_ERROR || status == U_STRING_NOT_TERMINATED_WARNING || U_SUCCESS(status);
}

// Names written without the UTF-8 flag are in the OEM code page of the tools
// that wrote them: code page 437.
std::string Cp437ToUtf8(const std::string& s)
{
    if (IsAscii(s))
        return s;
    std::string out(s.size() * 3 + 1, '\0');
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = ucnv_convert("UTF-8", "ibm-437", out.data(), static_cast<int32_t>(out.size()),
                                        s.data(), static_cast<int32_t>(s.size()), &status);
    if (U_FAILURE(status))
        return s;
    out.resize(static_cast<size_t>(length));
    return out;
}

// The extra field's blocks (id, data), as far as they are well formed.
template <class Fn> void ForEachExtraField(const std::string& Extra, Fn&& Visit)
{
    size_t pos = 0;
    while (pos + 4 <= Extra.size()) {
        TRecordReader r(reinterpret_cast<const uint8_t*>(Extra.data() + pos));
        const uint16_t id = r.U16();
        const uint16_t size = r.U16();
        if (pos + 4 + size > Extra.size())
            return;
        Visit(id, Extra.substr(pos, 4 + size), std::string_view(Extra).substr(pos + 4, size));
        pos += 4 + size;
    }
}

// The UTF-8 name of a Unicode path field (version 1) written for exactly
// these name bytes; '' when there is none.
std::string UnicodePathOf(const std::string& Extra, const std::string& RawName)
{
    std::string result;
    ForEachExtraField(Extra, [&](uint16_t id, const std::string&, std::string_view data) {
        if (id != ExtraUnicodePath || data.size() < 5 || data[0] != 1 || !result.empty())
            return;
        const uint32_t crc = Le32(reinterpret_cast<const uint8_t*>(data.data() + 1));
        const uint32_t nameCrc =
            crc32(0, reinterpret_cast<const Bytef*>(RawName.data()), static_cast<uInt>(RawName.size()));
        std::string name(data.substr(5));
        if (crc == nameCrc && IsValidUtf8(name))
            result = std::move(name);
    });
    return result;
}

std::string DecodeName(const std::string& RawName, uint16_t Flags, const std::string& Extra, uint16_t MadeBy)
{
    if ((Flags & FlagUtf8) != 0 && IsValidUtf8(RawName))
        return RawName;
    // Tools that write the Unicode path field may put a plain ASCII stand-in
    // ("caf?.txt") in the name itself; the field names the file exactly.
    std::string unicode = UnicodePathOf(Extra, RawName);
    if (!unicode.empty())
        return unicode;
    // Zip tools on Unix and macOS store the file system's own name bytes,
    // which are UTF-8 there, without saying so.
    const int host = MadeBy >> 8;
    if ((host == HostUnix || host == HostMacOS) && IsValidUtf8(RawName))
        return RawName;
    return Cp437ToUtf8(RawName);
}

// The extra field without the blocks of the given ids.
std::string WithoutExtraFields(const std::string& Extra, std::initializer_list<uint16_t> Ids)
{
    std::string out;
    ForEachExtraField(Extra, [&](uint16_t id, const std::string& block, std::string_view) {
        if (std::find(Ids.begin(), Ids.end(), id) == Ids.end())
            out += block;
    });
    return out;
}

// --- Dates ------------------------------------------------------------------------------

void DateTimeToDos(TDateTime Value, uint16_t& Date, uint16_t& Time)
{
    int year, month, day, hour, min, sec, msec;
    DecodeDateTime(Value, year, month, day, hour, min, sec, msec);
    // The DOS clock runs from 1980 to 2107.
    if (year < 1980) {
        year = 1980, month = 1, day = 1, hour = 0, min = 0, sec = 0;
    } else if (year > 2107) {
        year = 2107, month = 12, day = 31, hour = 23, min = 59, sec = 58;
    }
    Date = uint16_t(((year - 1980) << 9) | (month << 5) | day);
    Time = uint16_t((hour << 11) | (min << 5) | (sec / 2));
}

TDateTime DosToDateTime(uint16_t Date, uint16_t Time)
{
    TDateTime value = 0;
    if (!TryEncodeDateTime(1980 + (Date >> 9), (Date >> 5) & 0x0F, Date & 0x1F, Time >> 11, (Time >> 5) & 0x3F,
                           (Time & 0x1F) * 2, 0, value))
        return 0;
    return value;
}

void StampNow(TFileInfo& Info)
{
    DateTimeToDos(Now(), Info.Date, Info.Time);
}

// --- zlib --------------------------------------------------------------------------------

int ZlibLevel(TZCompressionLevel Level)
{
    switch (Level) {
    case zcNone:
        return 0;
    case zcFastest:
        return 1;
    case zcDefault:
        return Z_DEFAULT_COMPRESSION;
    case zcMax:
        return 9;
    default:
        return int(Level) - int(zcLevel1) + 1;
    }
}

// Raw deflate (negative window bits): the member data is the deflate stream
// alone, without zlib's header and checksum. The whole input goes in at once,
// so the result is byte for byte what zlib's one-call compression gives
// between its header and checksum, stored blocks of level 0 included.
std::string DeflateRaw(const uint8_t* Data, size_t Size, int Level)
{
    z_stream z{};
    if (deflateInit2(&z, Level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw EOutOfMemory("Out of memory");
    std::string out(deflateBound(&z, static_cast<uLong>(Size)), '\0');
    z.next_in = const_cast<Bytef*>(Data);
    z.avail_in = static_cast<uInt>(Size);
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int rc = deflate(&z, Z_FINISH);
    const size_t used = z.total_out;
    deflateEnd(&z);
    if (rc != Z_STREAM_END)
        throw EKldZipFileError("Compression failed");
    out.resize(used);
    // The data stays in memory with the member: give back the slack.
    out.shrink_to_fit();
    return out;
}

class TInflater
{
  public:
    TInflater()
    {
        if (inflateInit2(&m_z, -MAX_WBITS) != Z_OK)
            throw EOutOfMemory("Out of memory");
    }
    ~TInflater() { inflateEnd(&m_z); }
    TInflater(const TInflater&) = delete;
    TInflater& operator=(const TInflater&) = delete;
    z_stream& Z() { return m_z; }

  private:
    z_stream m_z{};
};

// Hands the produced bytes on to the destination while keeping their count and
// CRC.
class TMemberSink
{
  public:
    explicit TMemberSink(TStream& Dest) : m_dest(Dest) {}
    void Put(const void* Data, size_t Size)
    {
        if (Size == 0)
            return;
        m_crc = crc32(m_crc, static_cast<const Bytef*>(Data), static_cast<uInt>(Size));
        m_dest.WriteBuffer(Data, static_cast<int64_t>(Size));
        m_count += static_cast<int64_t>(Size);
    }
    int64_t Count() const { return m_count; }
    uint32_t CRC() const { return static_cast<uint32_t>(m_crc); }

  private:
    TStream& m_dest;
    uLong m_crc = crc32(0, nullptr, 0);
    int64_t m_count = 0;
};

// Inflates the raw deflate data, producing at most Limit bytes: a stream that
// would give more stops there, so a member cannot grow past its declared size.
void InflateMember(const std::string& Data, int64_t Limit, TMemberSink& Sink)
{
    TInflater inflater;
    z_stream& z = inflater.Z();
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(Data.data()));
    z.avail_in = static_cast<uInt>(Data.size());
    std::vector<uint8_t> buffer(std::min<int64_t>(ChunkSize, std::max<int64_t>(Limit, 1)));
    while (Sink.Count() < Limit) {
        const int64_t room = std::min<int64_t>(static_cast<int64_t>(buffer.size()), Limit - Sink.Count());
        z.next_out = buffer.data();
        z.avail_out = static_cast<uInt>(room);
        const int rc = inflate(&z, Z_NO_FLUSH);
        Sink.Put(buffer.data(), static_cast<size_t>(room - z.avail_out));
        // The end of the stream, damaged data, or input that ran out: the
        // caller's length and CRC checks say what is wrong.
        if (rc == Z_STREAM_END || rc == Z_DATA_ERROR || rc == Z_NEED_DICT || rc == Z_MEM_ERROR)
            break;
        if (rc == Z_BUF_ERROR || (z.avail_in == 0 && z.avail_out > 0))
            break;
    }
}

// --- Files ---------------------------------------------------------------------------------

// The first free name of Base followed by 0, 1, 2, ...
std::string FreeName(const std::string& Base)
{
    for (int n = 0;; ++n) {
        const std::string name = Base + IntToStr(n);
        if (!FileExists(name) && !DirectoryExists(name))
            return name;
    }
}

// The new file must survive a crash once it has replaced the old one.
void SyncToDisk(TFileStream& Stream)
{
    if (::fsync(Stream.Handle()) != 0)
        throw EWriteError(Format("Cannot write \"%s\": %s", Stream.FileName(), std::strerror(errno)));
}

// A replacement keeps the permissions of the file it replaces.
void KeepMode(const std::string& Existing, const std::string& Replacement)
{
    struct stat st;
    if (::stat(Existing.c_str(), &st) == 0)
        ::chmod(Replacement.c_str(), st.st_mode & 07777);
}

// Trimmed, "/" as "\\", without one leading and one trailing delimiter.
std::string NormalName(const std::string& Name)
{
    std::string s = Trim(Name);
    std::replace(s.begin(), s.end(), '/', '\\');
    if (!s.empty() && s.front() == '\\')
        s.erase(0, 1);
    if (!s.empty() && s.back() == '\\')
        s.pop_back();
    return s;
}

bool StartsWithText(const std::string& Name, const std::string& Prefix)
{
    return Name.size() >= Prefix.size() && AnsiSameText(std::string_view(Name).substr(0, Prefix.size()), Prefix);
}

std::string FileNamePart(const std::string& Name)
{
    const auto pos = Name.rfind('\\');
    return pos == std::string::npos ? Name : Name.substr(pos + 1);
}

// The search mask as FindFirst uses it: "" and "*.*" mean every name, and a
// trailing "." (no extension) is dropped.
std::string SearchMask(const std::string& Mask)
{
    const auto dot = Mask.rfind('.');
    if (dot != std::string::npos && Mask.find_first_not_of('*', dot + 1) == std::string::npos) {
        const std::string stem = Mask.substr(0, dot);
        if (dot + 1 == Mask.size())
            return stem.empty() ? "*" : stem;
        if (stem.find_first_not_of('*') == std::string::npos)
            return "*";
    }
    return Mask.empty() ? "*" : Mask;
}

} // namespace

// --- TFileInfo ------------------------------------------------------------------------------

void TFileInfo::Lock()
{
    if (Locked)
        ZipError(Format("Unable to write lock file: %s", Name));
    Locked = true;
}

bool TFileInfo::IsFolder() const
{
    return (ExternalAttributes & faDirectory) != 0 || (!ZipName.empty() && ZipName.back() == '/');
}

TFileList::TFileList() : TStringList(true)
{
    SetSorted(true);
    SetDuplicates(dupError);
}

namespace {

// A member that keeps its lock only for the scope.
class TMemberLock
{
  public:
    void Add(TFileInfo& Info)
    {
        Info.Lock();
        m_locked.push_back(&Info);
    }
    ~TMemberLock()
    {
        for (TFileInfo* info : m_locked)
            info->UnLock();
    }

  private:
    std::vector<TFileInfo*> m_locked;
};

// Drops the compressed data held in memory; it is read again from the opened
// file when needed.
void DropData(TFileInfo& Info)
{
    std::string().swap(Info.Data);
    Info.DataInMemory = false;
}

// The member has changed here: its local header is rebuilt from the central
// entry, and extra fields that describe the old sizes or times go.
void Unfreeze(TFileInfo& Info)
{
    Info.HasLocalHeader = false;
    Info.Local = TZipLocalHeader();
    Info.Extra = WithoutExtraFields(Info.Extra, {ExtraZip64, ExtraNtfsTimes, ExtraUnixTimes});
}

void SetMemberName(TFileInfo& Info, const std::string& Name)
{
    const bool folder = Info.IsFolder();
    Info.Name = Name;
    Info.ZipName = SysPathToZipPath(Name, folder);
    Info.RawName = Info.ZipName;
    Info.Flags = uint16_t((Info.Flags & ~FlagUtf8) | (IsAscii(Info.RawName) ? 0 : FlagUtf8));
    Unfreeze(Info);
    Info.Extra = WithoutExtraFields(Info.Extra, {ExtraUnicodePath});
}

} // namespace

// --- TKldZipFileStream ----------------------------------------------------------------------

TKldZipFileStream::~TKldZipFileStream()
{
    if (m_zipFile == nullptr)
        return;
    TKldZipFile* zip = m_zipFile;
    if (m_member != nullptr) {
        // A destructor cannot raise: a failed write-back is logged.
        try {
            zip->WriteFileStream(FileIndex(), *this);
        } catch (const std::exception& e) {
            Log.Error(e.what(), ClassName(), m_member->Name);
        }
        m_member->UnLock();
    }
    zip->UnregisterStream(this);
}

int TKldZipFileStream::FileIndex() const
{
    if (m_zipFile == nullptr || m_member == nullptr)
        return -1;
    return m_zipFile->m_files.IndexOfObject(m_member);
}

// --- TKldZipFile: the archive ---------------------------------------------------------------

TKldZipFile::TKldZipFile(const std::string& FileName)
{
    if (!FileName.empty())
        OpenZipFile(FileName);
}

TKldZipFile::~TKldZipFile()
{
    if (Active()) {
        // A destructor cannot raise: a failed write is logged and the archive
        // is closed without it (the old file stays as it was).
        try {
            Close(true);
        } catch (const std::exception& e) {
            Log.Error(e.what(), ClassName(), m_fileName);
            try {
                Close(false);
            } catch (const std::exception&) {
            }
        }
    }
    DisconnectStreams();
}

void TKldZipFile::CheckActive() const
{
    if (!Active())
        ZipError("Cannot perform this operation on a closed zip file.");
}

void TKldZipFile::CheckInactive() const
{
    if (Active())
        ZipError("Cannot perform this operation on an open zip file.");
}

TFileInfo& TKldZipFile::Member(int Index) const
{
    if (Index < 0 || Index >= m_files.Count())
        throw EListError(Format("List index out of bounds (%d)", Index));
    return m_files.Info(Index);
}

void TKldZipFile::ClearMembers()
{
    m_files.Clear();
}

void TKldZipFile::DisconnectStreams()
{
    // A disconnected stream never writes back, so its member is free again
    // (after Flush the archive stays open and the member in use).
    for (TKldZipFileStream* stream : m_streams) {
        if (stream->m_member != nullptr)
            stream->m_member->UnLock();
        stream->m_member = nullptr;
        stream->m_zipFile = nullptr;
    }
    m_streams.clear();
}

void TKldZipFile::UnregisterStream(TKldZipFileStream* Stream)
{
    m_streams.erase(std::remove(m_streams.begin(), m_streams.end(), Stream), m_streams.end());
}

void TKldZipFile::OpenZipFile(const std::string& FileName)
{
    CheckInactive();
    try {
        m_file = std::make_unique<TFileStream>(FileName, fmOpenRead | fmShareDenyWrite);
        m_fileName = FileName;
        LoadFromStream(*m_file, false);
    } catch (...) {
        ClearMembers();
        m_file.reset();
        m_fileName.clear();
        m_comment.clear();
        m_modified = false;
        throw;
    }
}

void TKldZipFile::NewZipFile(const std::string& FileName)
{
    CheckInactive();
    ClearMembers();
    m_fileName = FileName;
    m_comment.clear();
    m_new = true;
    m_modified = false;
}

void TKldZipFile::Close(bool Save)
{
    if (!Active())
        return;
    DisconnectStreams();
    if (Save)
        WriteData();
    m_file.reset();
    ClearMembers();
    m_modified = false;
    m_new = false;
}

void TKldZipFile::Flush()
{
    if (!Active())
        return;
    DisconnectStreams();
    WriteData();
}

void TKldZipFile::SetComment(const std::string& Value)
{
    if (Value == m_comment)
        return;
    m_comment = Value;
    m_modified = true;
}

void TKldZipFile::SaveToFile(const std::string& FileName)
{
    CheckActive();
    WriteThroughTemporaryFile(FileName, nullptr);
}

void TKldZipFile::SaveToStream(TStream& Stream)
{
    WriteArchive(Stream, nullptr);
}

void TKldZipFile::WriteData()
{
    if (!m_modified)
        return;
    std::vector<int64_t> positions;
    WriteThroughTemporaryFile(m_fileName, &positions);
    // The renamed file is the archive now: its data is read from there.
    m_file.reset();
    for (int i = 0; i < m_files.Count(); ++i)
        m_files.Info(i).DataPosition = positions[static_cast<size_t>(i)];
    m_new = false;
    m_modified = false;
    m_file = std::make_unique<TFileStream>(m_fileName, fmOpenRead | fmShareDenyWrite);
}

void TKldZipFile::WriteThroughTemporaryFile(const std::string& FileName, std::vector<int64_t>* DataPositions)
{
    // The archive is replaced only by a complete, synced file: until the
    // rename the old archive stays whole (and stays open here).
    const std::string temp = FreeName(ChangeFileExt(FileName, ".tmp"));
    try {
        TFileStream out(temp, fmCreate);
        WriteArchive(out, DataPositions);
        SyncToDisk(out);
    } catch (...) {
        ::DeleteFile(temp);
        throw;
    }
    KeepMode(FileName, temp);
    if (!::RenameFile(temp, FileName)) {
        ::DeleteFile(temp);
        ZipError("Error renaming temporary file");
    }
}

// --- Writing ----------------------------------------------------------------------------------

namespace {

void CheckFits(uint64_t Value, uint64_t Limit, const char* What, const std::string& Name)
{
    // Beyond these limits the format needs its 64-bit extensions, which are
    // not written: refuse rather than write wrapped numbers.
    if (Value > Limit)
        ZipError(Format("%s too large for a zip archive: %s", What, Name));
}

// The deflate stream of empty input: one final fixed-Huffman block holding
// only its end code. Zero bytes are no deflate stream (unzip and Java refuse
// such members, and a streaming reader loses every member behind one), so a
// member without data goes out as this.
constexpr char EmptyDeflate[] = {'\x03', '\x00'};

// A deflated member without data, as CreateFile makes it, or as an archive
// of an older version or another tool held it.
bool NeedsEmptyStream(const TFileInfo& Info)
{
    return Info.Method == 8 && Info.IsEmpty();
}

// Method, CRC and sizes as a record of the member carries them.
struct TDataFields
{
    uint16_t Method;
    uint32_t CRC32;
    uint32_t CompressedSize;
    uint32_t UncompressedSize;
};

TDataFields DataFields(const TFileInfo& Info, bool Local)
{
    if (NeedsEmptyStream(Info))
        return {8, 0, uint32_t(sizeof EmptyDeflate), 0};
    if (Local && Info.HasLocalHeader)
        return {Info.Local.Method, Info.Local.CRC32, Info.Local.CompressedSize, Info.Local.UncompressedSize};
    return {Info.Method, Info.CRC32, Info.CompressedSize, Info.UncompressedSize};
}

void WriteLocalHeader(TStream& Stream, const TFileInfo& Info)
{
    const TDataFields d = DataFields(Info, true);
    TRecordWriter w;
    w.U32(LocalSignature);
    if (Info.HasLocalHeader) {
        const TZipLocalHeader& l = Info.Local;
        w.U16(l.VersionNeeded), w.U16(l.Flags), w.U16(d.Method), w.U16(l.Time), w.U16(l.Date);
        w.U32(d.CRC32), w.U32(d.CompressedSize), w.U32(d.UncompressedSize);
        w.U16(uint32_t(l.Name.size())), w.U16(uint32_t(l.Extra.size()));
        w.Bytes(l.Name), w.Bytes(l.Extra);
    } else {
        w.U16(Info.VersionNeeded), w.U16(Info.Flags), w.U16(d.Method), w.U16(Info.Time), w.U16(Info.Date);
        w.U32(d.CRC32), w.U32(d.CompressedSize), w.U32(d.UncompressedSize);
        w.U16(uint32_t(Info.RawName.size())), w.U16(uint32_t(Info.Extra.size()));
        w.Bytes(Info.RawName), w.Bytes(Info.Extra);
    }
    w.WriteTo(Stream);
}

void WriteCentralEntry(TRecordWriter& w, const TFileInfo& Info)
{
    const TDataFields d = DataFields(Info, false);
    w.U32(CentralSignature);
    w.U16(Info.VersionMadeBy), w.U16(Info.VersionNeeded), w.U16(Info.Flags), w.U16(d.Method);
    w.U16(Info.Time), w.U16(Info.Date);
    w.U32(d.CRC32), w.U32(d.CompressedSize), w.U32(d.UncompressedSize);
    w.U16(uint32_t(Info.RawName.size())), w.U16(uint32_t(Info.Extra.size())), w.U16(uint32_t(Info.Comment.size()));
    w.U16(Info.DiskNumberStart), w.U16(Info.InternalAttributes), w.U32(Info.ExternalAttributes);
    w.U32(Info.LocalHeaderOffset);
    w.Bytes(Info.RawName), w.Bytes(Info.Extra), w.Bytes(Info.Comment);
}

} // namespace

void TKldZipFile::WriteArchive(TStream& Stream, std::vector<int64_t>* DataPositions)
{
    CheckActive();
    CheckFits(uint64_t(m_files.Count()), 0xFFFF, "Member count", m_fileName);
    CheckFits(m_comment.size(), 0xFFFF, "Comment", m_fileName);
    // Offsets are the stream's own positions, as the reading side takes them.
    std::vector<char> buffer;
    for (int i = 0; i < m_files.Count(); ++i) {
        TFileInfo& info = m_files.Info(i);
        CheckFits(info.RawName.size(), 0xFFFF, "Name", info.Name);
        CheckFits(info.Extra.size(), 0xFFFF, "Extra field", info.Name);
        CheckFits(info.Comment.size(), 0xFFFF, "Comment", info.Name);
        const int64_t offset = Stream.Position();
        CheckFits(uint64_t(offset), 0xFFFFFFFF, "Archive", m_fileName);
        info.LocalHeaderOffset = static_cast<uint32_t>(offset);
        WriteLocalHeader(Stream, info);
        if (DataPositions)
            DataPositions->push_back(Stream.Position());
        if (NeedsEmptyStream(info)) {
            Stream.WriteBuffer(EmptyDeflate, sizeof EmptyDeflate);
            continue;
        }
        if (info.CompressedSize == 0)
            continue;
        if (info.DataInMemory) {
            Stream.WriteBuffer(info.Data.data(), static_cast<int64_t>(info.Data.size()));
            continue;
        }
        if (!m_file)
            ZipError("Invalid file stream");
        buffer.resize(ChunkSize);
        m_file->SetPosition(info.DataPosition);
        for (int64_t left = info.CompressedSize; left > 0;) {
            const int64_t n = std::min<int64_t>(left, static_cast<int64_t>(buffer.size()));
            m_file->ReadBuffer(buffer.data(), n);
            Stream.WriteBuffer(buffer.data(), n);
            left -= n;
        }
    }
    const int64_t directory = Stream.Position();
    TRecordWriter w;
    for (int i = 0; i < m_files.Count(); ++i)
        WriteCentralEntry(w, m_files.Info(i));
    w.WriteTo(Stream);
    const int64_t directoryEnd = Stream.Position();
    CheckFits(uint64_t(directoryEnd), 0xFFFFFFFF, "Archive", m_fileName);
    TRecordWriter end;
    end.U32(EndSignature);
    end.U16(0), end.U16(0);
    end.U16(uint32_t(m_files.Count())), end.U16(uint32_t(m_files.Count()));
    end.U32(uint32_t(directoryEnd - directory)), end.U32(uint32_t(directory));
    end.U16(uint32_t(m_comment.size()));
    end.Bytes(m_comment);
    end.WriteTo(Stream);
}

// --- Reading ---------------------------------------------------------------------------------

namespace {

// Where the end record starts. Only the last 64 KiB and 22 bytes can hold it
// (its comment is at most 65535 bytes); a candidate whose comment would run
// past the end of the stream is comment text, not the record. Position 0 is
// never taken: an archive without members is refused.
int64_t FindEndRecord(TStream& Stream, int64_t Size)
{
    const int64_t tailStart = std::max<int64_t>(1, Size - EndRecordSize - MaxCommentSize);
    const std::string tail = ReadBytesAt(Stream, tailStart, Size - tailStart);
    const auto* p = reinterpret_cast<const uint8_t*>(tail.data());
    for (int64_t pos = Size - EndRecordSize; pos >= tailStart; --pos) {
        const uint8_t* rec = p + (pos - tailStart);
        if (Le32(rec) != EndSignature)
            continue;
        const int64_t commentSize = TRecordReader(rec + 20).U16();
        if (pos + EndRecordSize + commentSize <= Size)
            return pos;
    }
    InvalidFormat();
}

} // namespace

void TKldZipFile::LoadFromStream(TStream& Stream, bool LoadData)
{
    // The members go: streams made of them must not reach them any more.
    DisconnectStreams();
    ClearMembers();
    const int64_t size = Stream.Size();
    if (size < EndRecordSize + 1)
        InvalidFormat();
    const int64_t endRecord = FindEndRecord(Stream, size);
    uint8_t fixed[EndRecordSize];
    ReadAt(Stream, endRecord, fixed, EndRecordSize);
    TRecordReader r(fixed + 4);
    r.U16(), r.U16(), r.U16();
    const uint16_t entries = r.U16();
    r.U32();
    const uint32_t directory = r.U32();
    const uint16_t commentSize = r.U16();
    if (directory > endRecord)
        InvalidFormat();
    try {
        m_comment = ReadBytesAt(Stream, endRecord + EndRecordSize, commentSize);
        ReadMembers(Stream, directory, endRecord, size, entries);
        if (LoadData)
            for (int i = 0; i < m_files.Count(); ++i)
                LoadFileData(i, &Stream);
    } catch (...) {
        ClearMembers();
        throw;
    }
    // Folders added for the paths of members do not make the archive
    // modified: opening an archive to read it never rewrites it.
    m_modified = false;
}

void TKldZipFile::ReadMembers(TStream& Stream, int64_t Directory, int64_t EndRecord, int64_t StreamSize,
                              uint16_t Entries)
{
    int64_t pos = Directory;
    std::set<std::string> folders;
    uint8_t fixed[CentralHeaderSize];
    while (pos + 4 <= EndRecord) {
        ReadAt(Stream, pos, fixed, 4);
        if (Le32(fixed) != CentralSignature)
            break;
        if (pos + CentralHeaderSize > EndRecord)
            InvalidFormat();
        ReadAt(Stream, pos, fixed, CentralHeaderSize);
        auto info = std::make_unique<TFileInfo>();
        TRecordReader c(fixed + 4);
        info->VersionMadeBy = c.U16();
        info->VersionNeeded = c.U16();
        info->Flags = c.U16();
        info->Method = c.U16();
        info->Time = c.U16();
        info->Date = c.U16();
        info->CRC32 = c.U32();
        info->CompressedSize = c.U32();
        info->UncompressedSize = c.U32();
        const uint16_t nameSize = c.U16();
        const uint16_t extraSize = c.U16();
        const uint16_t commentSize = c.U16();
        info->DiskNumberStart = c.U16();
        info->InternalAttributes = c.U16();
        info->ExternalAttributes = c.U32();
        info->LocalHeaderOffset = c.U32();
        const int64_t next = pos + CentralHeaderSize + nameSize + extraSize + commentSize;
        if (next > EndRecord)
            InvalidFormat();
        info->RawName = ReadBytesAt(Stream, pos + CentralHeaderSize, nameSize);
        info->Extra = ReadBytesAt(Stream, pos + CentralHeaderSize + nameSize, extraSize);
        info->Comment = ReadBytesAt(Stream, pos + CentralHeaderSize + nameSize + extraSize, commentSize);

        // The local header: its own name and extra lengths say where the data starts.
        const int64_t local = info->LocalHeaderOffset;
        if (local + LocalHeaderSize > StreamSize)
            InvalidFormat();
        uint8_t head[LocalHeaderSize];
        ReadAt(Stream, local, head, LocalHeaderSize);
        TRecordReader l(head);
        if (l.U32() != LocalSignature)
            InvalidFormat();
        TZipLocalHeader& h = info->Local;
        h.VersionNeeded = l.U16();
        h.Flags = l.U16();
        h.Method = l.U16();
        h.Time = l.U16();
        h.Date = l.U16();
        h.CRC32 = l.U32();
        h.CompressedSize = l.U32();
        h.UncompressedSize = l.U32();
        const uint16_t localName = l.U16();
        const uint16_t localExtra = l.U16();
        info->DataPosition = local + LocalHeaderSize + localName + localExtra;
        if (info->DataPosition + int64_t(info->CompressedSize) > StreamSize)
            InvalidFormat();
        h.Name = ReadBytesAt(Stream, local + LocalHeaderSize, localName);
        h.Extra = ReadBytesAt(Stream, local + LocalHeaderSize + localName, localExtra);
        // A member whose sizes follow its data in a descriptor is written
        // again with the sizes in its header; the descriptor is not copied.
        info->HasLocalHeader = (h.Flags & FlagDataDescriptor) == 0;
        if (!info->HasLocalHeader) {
            info->Flags &= uint16_t(~FlagDataDescriptor);
            Unfreeze(*info);
        }

        info->ZipName = DecodeName(info->RawName, info->Flags, info->Extra, info->VersionMadeBy);
        info->Name = ZipPathToSysPath(info->ZipName);
        folders.insert(GetFilePath(info->Name));
        const std::string name = info->Name;
        m_files.AddObject(name, info.get());
        info.release();
        pos = next;
    }
    // A directory that ends before the end record's count is damaged: its
    // members would silently go missing.
    if (uint16_t(m_files.Count()) != Entries)
        InvalidFormat();
    // Every folder on a member's path becomes a member of its own. A step
    // another tool stored as a file stays that file: refusing it would make
    // the whole archive unreadable.
    for (const std::string& folder : folders)
        MakeFolders(folder, false);
}

// --- Members ----------------------------------------------------------------------------------

int TKldZipFile::FindFile(const std::string& Name) const
{
    const std::string name = NormalName(Name);
    if (name.empty())
        return -1;
    int index = -1;
    return m_files.Find(name, index) ? index : -1;
}

int TKldZipFile::IndexOfName(const std::string& Name) const
{
    // Names made here are normal already; normalising again could change
    // them (a blank behind a dropped leading delimiter).
    int index = -1;
    return m_files.Find(Name, index) ? index : -1;
}

int TKldZipFile::GetFile(const std::string& Name) const
{
    const int index = FindFile(Name);
    if (index < 0)
        ZipError(Format("File not found: %s", Name));
    return index;
}

std::string TKldZipFile::GetFileName(int Index) const
{
    return Member(Index).Name;
}

TFileInfo& TKldZipFile::GetFileInfo(int Index) const
{
    return Member(Index);
}

TFileInfo& TKldZipFile::AddMember(const std::string& Name, int32_t Attributes)
{
    auto info = std::make_unique<TFileInfo>();
    info->ExternalAttributes = static_cast<uint32_t>(Attributes);
    info->Name = Name;
    info->ZipName = SysPathToZipPath(Name, (Attributes & faDirectory) != 0);
    info->RawName = info->ZipName;
    info->Flags = IsAscii(info->RawName) ? 0 : FlagUtf8;
    info->DataWritten = true; // nothing of it lies in the opened file
    StampNow(*info);
    TFileInfo& added = *info;
    m_files.AddObject(Name, info.get());
    info.release();
    m_modified = true;
    return added;
}

int TKldZipFile::CreateFile(const std::string& Name, int32_t Attributes)
{
    CheckActive();
    const std::string name = AdjustFileName(Name);
    if (IndexOfName(name) >= 0)
        ZipError(Format("File already exists: %s", name));
    MakeFolders(GetFilePath(name));
    AddMember(name, Attributes);
    return IndexOfName(name);
}

void TKldZipFile::ForceDirectories(const std::string& Path)
{
    CheckActive();
    if (!Trim(Path).empty())
        MakeFolders(AdjustFileName(Path));
}

void TKldZipFile::MakeFolders(const std::string& Path, bool RefuseFiles)
{
    // Path is taken as it stands: a name read from an archive must find the
    // folders made for it when the archive is read again. Empty steps (a
    // leading or doubled delimiter) name no folder.
    for (size_t start = 0;;) {
        const size_t end = Path.find('\\', start);
        const std::string prefix = Path.substr(0, end);
        if (!prefix.empty() && prefix.back() != '\\') {
            const int index = IndexOfName(prefix);
            if (index < 0)
                AddMember(prefix, faDirectory);
            else if (RefuseFiles && !Member(index).IsFolder())
                ZipError(Format("Unable to create directory: %s", prefix));
        }
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
}

int TKldZipFile::FirstBelow(const std::string& Folder) const
{
    int index = 0;
    m_files.Find(IncludePathDelimiter(Folder), index);
    return index;
}

bool TKldZipFile::HasMembersBelow(const std::string& Folder) const
{
    const int index = FirstBelow(Folder);
    return index < m_files.Count() && StartsWithText(m_files.Info(index).Name, IncludePathDelimiter(Folder));
}

void TKldZipFile::DeleteFile(int Index)
{
    CheckActive();
    TFileInfo& info = Member(Index);
    if (info.IsFolder() && HasMembersBelow(info.Name))
        ZipError(Format("Unable to delete file: %s", info.Name));
    info.Lock();
    m_files.Delete(Index);
    m_modified = true;
}

void TKldZipFile::DeleteFile(const std::string& Name)
{
    DeleteFile(GetFile(Name));
}

void TKldZipFile::RenameFile(const std::string& OldName, const std::string& NewName)
{
    SetFileName(GetFile(OldName), NewName);
}

void TKldZipFile::SetFileName(int Index, const std::string& Name)
{
    CheckActive();
    TFileInfo& info = Member(Index);
    const std::string name = AdjustFileName(Name);
    if (name == info.Name)
        return;
    const int existing = IndexOfName(name);
    if (existing >= 0 && existing != Index)
        ZipError(Format("File already exists: %s", name));
    TMemberLock lock;
    lock.Add(info);
    const std::string parent = GetFilePath(name);
    if (!AnsiSameText(parent, GetFilePath(info.Name)) && !parent.empty()) {
        const int folder = IndexOfName(parent);
        if (folder < 0)
            ZipError(Format("File not found: %s", parent));
        if (!Member(folder).IsFolder())
            ZipError(Format("%s is not a directory", parent));
    }
    std::vector<TFileInfo*> moved{&info};
    std::vector<std::string> names{name};
    if (info.IsFolder()) {
        const std::string oldPrefix = IncludePathDelimiter(info.Name);
        // A folder moved below itself would lose the path to its members.
        if (StartsWithText(name, oldPrefix))
            ZipError(Format("Unable to create directory: %s", name));
        const std::string newPrefix = IncludePathDelimiter(name);
        for (int i = FirstBelow(info.Name); i < m_files.Count(); ++i) {
            TFileInfo& below = m_files.Info(i);
            if (!StartsWithText(below.Name, oldPrefix))
                break;
            lock.Add(below);
            moved.push_back(&below);
            names.push_back(newPrefix + below.Name.substr(oldPrefix.size()));
            // Only a change of case finds the member itself.
            const int taken = IndexOfName(names.back());
            if (taken >= 0 && &m_files.Info(taken) != &below)
                ZipError(Format("File already exists: %s", names.back()));
        }
    }
    RenameMembers(moved, names);
    m_modified = true;
}

void TKldZipFile::RenameMembers(const std::vector<TFileInfo*>& Members, const std::vector<std::string>& NewNames)
{
    m_files.SetSorted(false);
    for (size_t i = 0; i < Members.size(); ++i) {
        SetMemberName(*Members[i], NewNames[i]);
        m_files.Put(m_files.IndexOfObject(Members[i]), NewNames[i]);
    }
    m_files.SetSorted(true);
}

TDateTime TKldZipFile::GetDateTime(int Index) const
{
    const TFileInfo& info = Member(Index);
    return DosToDateTime(info.Date, info.Time);
}

void TKldZipFile::SetDateTime(int Index, TDateTime Value)
{
    CheckActive();
    TFileInfo& info = Member(Index);
    Unfreeze(info);
    DateTimeToDos(Value, info.Date, info.Time);
    m_modified = true;
}

int32_t TKldZipFile::GetFileAttr(int Index) const
{
    const TFileInfo& info = Member(Index);
    return static_cast<int32_t>(info.ExternalAttributes) | (info.IsFolder() ? faDirectory : 0);
}

void TKldZipFile::SetFileAttr(int Index, int32_t Value)
{
    CheckActive();
    Member(Index).ExternalAttributes = static_cast<uint32_t>(Value);
    m_modified = true;
}

// --- Member data ----------------------------------------------------------------------------

void TKldZipFile::LoadFileData(int Index, TStream* Stream)
{
    TFileInfo& info = Member(Index);
    if (info.CompressedSize == 0 || info.DataInMemory || m_new)
        return;
    if (int64_t(info.CompressedSize) > m_maxMemorySize)
        ZipError(Format("File %s is too large to uncompress in memory", info.Name));
    if (Stream == nullptr)
        ZipError("Invalid file stream");
    // The bounds were checked when the table was read; a file that shrank
    // since is damaged.
    info.Data = ReadBytesAt(*Stream, info.DataPosition, info.CompressedSize);
    info.DataInMemory = true;
}

void TKldZipFile::ReadFileStream(int Index, TStream& Dest)
{
    TFileInfo& info = Member(Index);
    if (info.IsEmpty())
        return;
    LoadFileData(Index, m_file.get());
    TMemberSink sink(Dest);
    const int64_t expected = info.UncompressedSize;
    // One byte more than declared shows a member that lies about its size.
    const int64_t limit = expected + 1;
    if (info.Method == 0)
        sink.Put(info.Data.data(), static_cast<size_t>(std::min<int64_t>(limit, int64_t(info.Data.size()))));
    else
        InflateMember(info.Data, limit, sink);
    if (sink.Count() != expected)
        ZipError(Format("File \"%s\" has invalid length. Read: %d; expected: %d", info.ZipName, sink.Count(),
                        expected));
    if (sink.CRC() != info.CRC32)
        ZipError(Format("CRC error reading file \"%s\".", info.ZipName));
}

void TKldZipFile::WriteFileStream(int Index, TStream& Source)
{
    CheckActive();
    TFileInfo& info = Member(Index);
    const int64_t size = Source.Size();
    CheckFits(uint64_t(std::max<int64_t>(size, 0)), 0xFFFFFFFF, "File", info.Name);
    // The member's whole content is in memory while it is written: a memory
    // stream's own block, or a copy of any other stream.
    std::string copy;
    const uint8_t* data = nullptr;
    int64_t total = 0;
    if (auto* memory = dynamic_cast<TMemoryStream*>(&Source)) {
        data = memory->Memory();
        total = size;
    } else {
        copy.resize(static_cast<size_t>(std::max<int64_t>(size, 0)));
        Source.SetPosition(0);
        for (int64_t n = 1; n > 0 && total < size; total += n)
            n = Source.Read(copy.data() + total, size - total);
        data = reinterpret_cast<const uint8_t*>(copy.data());
    }
    std::string packed = DeflateRaw(data, static_cast<size_t>(total), ZlibLevel(m_compressionLevel));
    const uint32_t crc = static_cast<uint32_t>(crc32(0, data, static_cast<uInt>(total)));
    CheckFits(packed.size(), 0xFFFFFFFF, "File", info.Name);
    Unfreeze(info);
    info.Data = std::move(packed);
    info.DataInMemory = true;
    info.DataWritten = true;
    info.CompressedSize = static_cast<uint32_t>(info.Data.size());
    info.UncompressedSize = static_cast<uint32_t>(total);
    info.CRC32 = crc;
    info.Method = 8;
    info.VersionNeeded = 20;
    // Only the name's encoding flag stays: the other bits described the
    // old data.
    info.Flags &= FlagUtf8;
    // "Made by" 20 no longer says that a Unix tool stored the name's UTF-8
    // bytes: the flag says it now, so the name reads the same again.
    const int host = info.VersionMadeBy >> 8;
    if ((host == HostUnix || host == HostMacOS) && !IsAscii(info.RawName) && info.ZipName == info.RawName)
        info.Flags |= FlagUtf8;
    info.VersionMadeBy = 20;
    StampNow(info);
    m_modified = true;
}

void TKldZipFile::ResetCachedData()
{
    if (!m_file)
        return;
    for (int i = 0; i < m_files.Count(); ++i) {
        TFileInfo& info = m_files.Info(i);
        if (info.DataInMemory && !info.DataWritten)
            DropData(info);
    }
}

std::unique_ptr<TKldZipFileStream> TKldZipFile::CreateStream(const std::string& Name, uint16_t Mode)
{
    const int index = GetFile(Name);
    TFileInfo& info = Member(index);
    const bool writing = Mode != 0;
    if (writing) {
        CheckActive();
        info.Lock();
    }
    // Not connected until it is complete: a failed read leaves nothing behind.
    std::unique_ptr<TKldZipFileStream> stream(new TKldZipFileStream(writing ? &info : nullptr));
    try {
        ReadFileStream(index, *stream);
    } catch (...) {
        if (writing)
            info.UnLock();
        throw;
    }
    stream->SetPosition(0);
    stream->m_zipFile = this;
    m_streams.push_back(stream.get());
    return stream;
}

// --- Search ------------------------------------------------------------------------------------

bool TKldZipFile::FindFirst(const std::string& Path, int32_t Attributes, TZipSearchRec& Rec) const
{
    const std::string path = NormalName(Path);
    Rec = TZipSearchRec();
    Rec.Path = GetFilePath(path);
    if (path.find('*') == std::string::npos) {
        Rec.Index = FindFile(path);
        if (Rec.Index < 0)
            return false;
        Rec.FileInfo = &Member(Rec.Index);
        Rec.Name = FileNamePart(Rec.FileInfo->Name);
        return true;
    }
    Rec.Mask = SearchMask(FileNamePart(path));
    Rec.ExcludeAttr = Attributes == faAnyFile ? 0 : (~Attributes & faAnyFile);
    // The folder's content is contiguous in the sorted table, but it need not
    // follow the folder's own member ("a.txt" sorts between "a" and "a\b"):
    // start at the first name below the folder.
    Rec.Index = Rec.Path.empty() ? -1 : FirstBelow(Rec.Path) - 1;
    return FindNext(Rec);
}

bool TKldZipFile::FindNext(TZipSearchRec& Rec) const
{
    const std::string prefix = IncludePathDelimiter(Rec.Path);
    while (++Rec.Index < m_files.Count()) {
        TFileInfo& info = m_files.Info(Rec.Index);
        if (!prefix.empty() && !StartsWithText(info.Name, prefix))
            break;
        const std::string rest = info.Name.substr(prefix.size());
        if (rest.empty() || rest.find('\\') != std::string::npos)
            continue;
        if ((GetFileAttr(Rec.Index) & Rec.ExcludeAttr) != 0 || !MatchesMask(rest, Rec.Mask))
            continue;
        Rec.Name = rest;
        Rec.FileInfo = &info;
        return true;
    }
    Rec.Index = m_files.Count();
    Rec.Name.clear();
    Rec.FileInfo = nullptr;
    return false;
}

void TKldZipFile::FindClose(TZipSearchRec& Rec) const
{
    Rec.Mask.clear();
    Rec.FileInfo = nullptr;
}

// --- Extraction ----------------------------------------------------------------------------------

void TKldZipFile::ExtractToPath(const std::string& ZipFileName, const std::string& Path,
                                const TZipExtractFilter& Filter)
{
    TKldZipFile zip(ZipFileName);
    zip.ExtractToPath(Path, Filter);
    zip.Close(false);
}

void TKldZipFile::ExtractToPath(const std::string& Path, const TZipExtractFilter& Filter)
{
    const std::string base = Path.empty() ? std::string() : IncludeTrailingPathDelimiter(Path);
    for (int i = 0; i < m_files.Count(); ++i) {
        const TFileInfo& info = m_files.Info(i);
        if (info.IsFolder())
            continue;
        const std::string folder = GetFilePath(info.Name);
        std::string destDir = base + SysPathToZipPath(folder, !folder.empty());
        std::string destFile;
        try {
            // A name from the archive never reaches outside Path.
            destFile = SafeJoinPath(base, info.Name);
            destDir = ExtractFilePath(destFile);
        } catch (const Exception& e) {
            Log.Error(e, ClassName(), Format("Error unpacking \"%s\" from \"%s\"", destDir, m_fileName));
            continue;
        }
        if (Filter && !Filter(this, info.Name, destFile))
            continue;
        try {
            if (!destDir.empty() && !DirectoryExists(destDir) && !::ForceDirectories(destDir))
                ZipError(Format("Unable to create directory: %s", destDir));
            ExtractMember(i, destFile);
        } catch (const Exception& e) {
            Log.Error(e, ClassName(), Format("Error unpacking \"%s\" from \"%s\"", destDir, m_fileName));
        }
    }
}

void TKldZipFile::ExtractMember(int Index, const std::string& DestFileName)
{
    // Data brought into memory only for this copy goes again afterwards, so
    // extraction holds one member's data at a time (however many directory
    // entries share one member's data).
    TFileInfo& info = Member(Index);
    struct TDropAfterCopy
    {
        TFileInfo& Info;
        bool Keep;
        ~TDropAfterCopy()
        {
            if (!Keep)
                DropData(Info);
        }
    } drop{info, info.DataInMemory};
    // The member goes to a file of its own first: a damaged member never
    // replaces the file that is there.
    const std::string temp = FreeName(DestFileName + ".tmp");
    try {
        {
            TFileStream out(temp, fmCreate);
            ReadFileStream(Index, out);
        }
        KeepMode(DestFileName, temp);
        if (!::RenameFile(temp, DestFileName))
            ZipError(Format("Cannot create file \"%s\". %s", DestFileName, std::strerror(errno)));
    } catch (...) {
        ::DeleteFile(temp);
        throw;
    }
}

// --- Routines -------------------------------------------------------------------------------------

uint32_t ZipCRC32(TStream& Stream, int64_t EndPosition, int64_t StartPosition)
{
    uLong crc = crc32(0, nullptr, 0);
    Stream.SetPosition(StartPosition);
    std::vector<uint8_t> buffer(ChunkSize);
    for (int64_t left = EndPosition - StartPosition; left > 0;) {
        const int64_t n = Stream.Read(buffer.data(), std::min<int64_t>(left, int64_t(buffer.size())));
        if (n <= 0)
            break;
        crc = crc32(crc, buffer.data(), static_cast<uInt>(n));
        left -= n;
    }
    return static_cast<uint32_t>(crc);
}

bool FileMatchesMasks(const std::string& FileName, const std::string& IncludeMask, const std::string& ExcludeMask)
{
    return (IncludeMask.empty() || MatchesMask(FileName, IncludeMask)) &&
           (ExcludeMask.empty() || !MatchesMask(FileName, ExcludeMask));
}

std::string ZipPathToSysPath(const std::string& Path)
{
    std::string s = Path;
    std::replace(s.begin(), s.end(), '/', '\\');
    if (!s.empty() && s.back() == '\\')
        s.pop_back();
    return s;
}

std::string SysPathToZipPath(const std::string& Path, bool IsFolder)
{
    std::string s = Path;
    std::replace(s.begin(), s.end(), '\\', '/');
    if (IsFolder && !s.empty() && s.back() != '/')
        s += '/';
    return s;
}

std::string AdjustFileName(const std::string& FileName)
{
    const std::string s = NormalName(FileName);
    if (s.empty())
        ZipError("Invalid or empty file name");
    return s;
}

std::string GetFilePath(const std::string& FileName)
{
    const auto pos = FileName.rfind('\\');
    return pos == std::string::npos ? std::string() : FileName.substr(0, pos);
}

std::string IncludePathDelimiter(const std::string& Path)
{
    if (Path.empty() || Path.back() == '\\')
        return Path;
    return Path + '\\';
}
