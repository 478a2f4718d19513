#pragma once
// Zip archives: the log upload, the backup archive of the program update, the
// resource extraction of the file systems and the restore of the update helper
// read and write them through `TKldZipFile`.
//
// The subset of the format handled: stored or deflated members, one disk, no
// encryption, no 64-bit extensions. Members made here are written as raw
// deflate data (method 8) with the local header, central directory entry and
// end record laid out as below, members without data (folders, members never
// written) as the deflate stream of empty input (03 00); stored members
// (method 0) are read, never made here. The member table is kept in memory,
// sorted without regard to case; member data stays compressed in memory once
// read or written.
//
// Names. In the archive "/" separates folders and a folder's name ends with
// "/"; in the program a backslash separates them and names have neither a
// leading nor a trailing delimiter ("docs\readme.txt"). Callers may also use
// "/": AdjustFileName turns it into a backslash. Names are UTF-8 text: a name
// that is not plain ASCII is written with the UTF-8 flag (bit 11); a name read
// without that flag is taken from its Unicode path extra field (0x7075) when
// one matches it, else as UTF-8 when a Unix or macOS tool wrote it (they store
// their file names' bytes), else decoded as code page 437. A member
// loaded from an archive keeps the bytes and flags of its name and its local
// header, and is written again unchanged as long as it is not changed here;
// only a deflated member of zero bytes (older archives) gets the empty stream.
//
// Reading checks every offset and length against the stream ("Invalid zip
// file format", a plain Exception), inflates no more than the declared size
// (and one byte more, to catch a member that lies about it) and checks the
// length and the CRC-32 of what it produced.
//
// Rewriting an archive goes through a temporary file beside it that is renamed
// over the archive once complete, so the old archive stays whole until the new
// one replaces it.

#include "Components/Controller/files/ovnUtils.h"
#include "platform/FileUtils.h"
#include "platform/Streams.h"
#include "platform/StringList.h"
#include "platform/SysUtils.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

KLD_DECLARE_EXCEPTION(EKldZipFileError, Exception);

// File attributes of members are the low byte of the external attributes
// (faReadOnly..faAnyFile, platform/FileUtils.h).

// zlib levels: zcNone 0, zcFastest 1, zcDefault zlib's default, zcMax 9, and
// zcLevel1..zcLevel9 the level of that number.
enum TZCompressionLevel
{
    zcNone,
    zcFastest,
    zcDefault,
    zcMax,
    zcLevel1,
    zcLevel2,
    zcLevel3,
    zcLevel4,
    zcLevel5,
    zcLevel6,
    zcLevel7,
    zcLevel8,
    zcLevel9
};

// The fields of one local file header after its signature.
struct TZipLocalHeader
{
    uint16_t VersionNeeded = 20;
    uint16_t Flags = 0;
    uint16_t Method = 8;
    uint16_t Time = 0;
    uint16_t Date = 0;
    uint32_t CRC32 = 0;
    uint32_t CompressedSize = 0;
    uint32_t UncompressedSize = 0;
    std::string Name;  // the name bytes as stored
    std::string Extra; // the extra field as stored
};

// One member: its central directory entry, its local header as read, and its
// compressed data once it is in memory.
class TFileInfo : public TObject
{
  public:
    std::string ClassName() const override { return "TFileInfo"; }

    // Raises EKldZipFileError "Unable to write lock file: %s" when the member
    // is locked already (a rename, a delete or a stream writing it).
    void Lock();
    void UnLock() { Locked = false; }
    bool IsFolder() const;
    bool IsEmpty() const { return CompressedSize == 0 && UncompressedSize == 0; }

    // Central directory entry.
    uint16_t VersionMadeBy = 20;
    uint16_t VersionNeeded = 20;
    uint16_t Flags = 0;
    uint16_t Method = 8;
    uint16_t Time = 0;
    uint16_t Date = 0;
    uint32_t CRC32 = 0;
    uint32_t CompressedSize = 0;
    uint32_t UncompressedSize = 0;
    uint16_t DiskNumberStart = 0;
    uint16_t InternalAttributes = 0;
    uint32_t ExternalAttributes = 0;
    uint32_t LocalHeaderOffset = 0;
    std::string RawName; // the name bytes as stored
    std::string Extra;
    std::string Comment;

    // The name in both forms: the archive's ("docs/readme.txt", decoded to
    // UTF-8) and the program's ("docs\readme.txt").
    std::string ZipName;
    std::string Name;

    // The local header as read; written again as it is while HasLocalHeader.
    // Cleared once the member changes here, when the header is rebuilt from
    // the central entry.
    bool HasLocalHeader = false;
    TZipLocalHeader Local;

    // Compressed data: raw deflate for method 8, the bytes for method 0.
    std::string Data;
    bool DataInMemory = false;
    bool DataWritten = false;  // written here, not tied to the opened file
    int64_t DataPosition = 0;  // where the data starts in the opened file
    bool Locked = false;
};

// The member table: names sorted without regard to case, duplicates refused
// (EListError), each line owning its TFileInfo.
class TFileList : public TStringList
{
  public:
    TFileList();
    std::string ClassName() const override { return "TFileList"; }
    TFileInfo& Info(int Index) const { return *static_cast<TFileInfo*>(GetObject(Index)); }
};

class TKldZipFile;

// A member's uncompressed content in memory. Opened for writing, it locks its
// member and writes its content back into it when destroyed; once the archive
// is closed or flushed it is disconnected: it touches nothing and no longer
// holds its member.
class TKldZipFileStream : public TMemoryStream
{
  public:
    ~TKldZipFileStream() override;
    std::string ClassName() const override { return "TKldZipFileStream"; }

    // Null once disconnected.
    TKldZipFile* ZipFile() const { return m_zipFile; }
    // The member written back, -1 for a stream opened for reading or
    // disconnected.
    int FileIndex() const;

  private:
    friend class TKldZipFile;
    explicit TKldZipFileStream(TFileInfo* Member) : m_member(Member) {}

    TKldZipFile* m_zipFile = nullptr;
    // The member itself rather than its index: members added meanwhile move
    // the indices, while a locked member can be neither renamed nor deleted.
    TFileInfo* m_member;
};

struct TZipSearchRec
{
    std::string Path;      // the folder searched, program form
    std::string Mask;      // the file mask
    int32_t ExcludeAttr = 0;
    std::string Name;      // the found member's name without its folder
    TFileInfo* FileInfo = nullptr;
    int Index = -1;
};

// Asked for each member before it is extracted: False skips it.
using TZipExtractFilter =
    std::function<bool(TKldZipFile* Sender, const std::string& FileName, const std::string& DestFileName)>;

class TKldZipFile : public TObject
{
  public:
    static constexpr int64_t DefaultMaxMemorySize = 10000000;

    // With a FileName, opens that archive (OpenZipFile).
    explicit TKldZipFile(const std::string& FileName = std::string());
    // An active archive is closed and written; when writing fails it is
    // closed without writing (the error is logged).
    ~TKldZipFile() override;
    std::string ClassName() const override { return "TKldZipFile"; }

    // --- The archive
    // The archive must be inactive. On failure it stays inactive and empty.
    void OpenZipFile(const std::string& FileName);
    // The archive must be inactive; nothing is written before Close, Flush or
    // destruction.
    void NewZipFile(const std::string& FileName);
    // Disconnects member streams; with Save writes a modified archive first
    // (a failed write leaves the archive open and unchanged).
    void Close(bool Save);
    // Writes a modified archive and keeps it open for reading.
    void Flush();
    // Writes the archive to FileName through a temporary file beside it.
    void SaveToFile(const std::string& FileName);
    // The whole archive at the stream's position. Raises when inactive.
    void SaveToStream(TStream& Stream);
    // Reads the member table (and with LoadData every member's data) from
    // Stream; its offsets are positions in Stream. Folders on the paths of
    // members become members of their own, without making the archive
    // modified.
    void LoadFromStream(TStream& Stream, bool LoadData);
    // A new archive, or one opened from its file.
    bool Active() const { return m_new || m_file != nullptr; }
    bool Modified() const { return m_modified; }
    const std::string& FileName() const { return m_fileName; }
    const std::string& Comment() const { return m_comment; }
    void SetComment(const std::string& Value);
    int64_t MaxMemorySize() const { return m_maxMemorySize; }
    void SetMaxMemorySize(int64_t Value) { m_maxMemorySize = Value; }
    TZCompressionLevel CompressionLevel() const { return m_compressionLevel; }
    void SetCompressionLevel(TZCompressionLevel Value) { m_compressionLevel = Value; }
    const TFileList& Files() const { return m_files; }

    // --- Members (indices into the sorted table)
    int GetFileCount() const { return m_files.Count(); }
    // -1 when missing (or Name is empty).
    int FindFile(const std::string& Name) const;
    // Raises "File not found: %s" when missing.
    int GetFile(const std::string& Name) const;
    std::string GetFileName(int Index) const;
    TFileInfo& GetFileInfo(int Index) const;
    // Adds a member without data (method 8, sizes and CRC 0) and every
    // missing folder of its path; answers its index. Attributes holding
    // faDirectory make a folder. A member still without data is written as
    // the two-byte deflate stream of empty input, as zero bytes are no
    // deflate stream.
    int CreateFile(const std::string& Name, int32_t Attributes = 0);
    int CreateFolder(const std::string& Name) { return CreateFile(Name, faDirectory); }
    void ForceDirectories(const std::string& Path);
    void DeleteFile(int Index);
    void DeleteFile(const std::string& Name);
    void RenameFile(const std::string& OldName, const std::string& NewName);
    // Renames a member; a folder takes everything below it along.
    void SetFileName(int Index, const std::string& Name);
    TDateTime GetDateTime(int Index) const;
    void SetDateTime(int Index, TDateTime Value);
    int32_t GetFileAttr(int Index) const;
    void SetFileAttr(int Index, int32_t Value);

    // --- Member data
    // Appends the member's content at Dest's position, checking its length
    // and CRC-32.
    void ReadFileStream(int Index, TStream& Dest);
    // Compresses all of Source (from position 0) into the member.
    void WriteFileStream(int Index, TStream& Source);
    // Brings the member's compressed data into memory from Stream (the
    // opened file); raises when it is larger than MaxMemorySize.
    void LoadFileData(int Index, TStream* Stream);
    void LoadFileData(int Index, TStream& Stream) { LoadFileData(Index, &Stream); }
    // Drops the in-memory data that can be read again from the opened file.
    void ResetCachedData();
    // Mode 0 reads; any other mode locks the member and writes the stream's
    // content back into it when the stream is destroyed.
    std::unique_ptr<TKldZipFileStream> CreateStream(const std::string& Name, uint16_t Mode);

    // --- Search within one folder of the archive ("docs\*.txt", "*")
    bool FindFirst(const std::string& Path, int32_t Attributes, TZipSearchRec& Rec) const;
    bool FindNext(TZipSearchRec& Rec) const;
    void FindClose(TZipSearchRec& Rec) const;

    // --- Extraction of every file member below Path. A member that fails
    // (an unsafe name among them: absolute, or with a ".." part) is logged
    // and skipped. A file is replaced only once its new content is complete.
    // Member data read for the copy is not kept in memory afterwards.
    static void ExtractToPath(const std::string& ZipFileName, const std::string& Path,
                              const TZipExtractFilter& Filter = nullptr);
    void ExtractToPath(const std::string& Path, const TZipExtractFilter& Filter = nullptr);

  private:
    friend class TKldZipFileStream;

    void CheckActive() const;
    void CheckInactive() const;
    TFileInfo& Member(int Index) const;
    void ClearMembers();
    void DisconnectStreams();
    void UnregisterStream(TKldZipFileStream* Stream);

    // Exact lookup of a name in the table's form (no trimming).
    int IndexOfName(const std::string& Name) const;
    TFileInfo& AddMember(const std::string& Name, int32_t Attributes);
    // A path step that is a file member raises, unless RefuseFiles is false
    // (reading an archive), when it is left as it is.
    void MakeFolders(const std::string& Path, bool RefuseFiles = true);
    // The first index whose name lies below Folder, or where it would.
    int FirstBelow(const std::string& Folder) const;
    bool HasMembersBelow(const std::string& Folder) const;
    void RenameMembers(const std::vector<TFileInfo*>& Members, const std::vector<std::string>& NewNames);

    void ReadMembers(TStream& Stream, int64_t Directory, int64_t EndRecord, int64_t StreamSize, uint16_t Entries);
    // Writes the archive; DataPositions gets where each member's data went.
    void WriteArchive(TStream& Stream, std::vector<int64_t>* DataPositions);
    void WriteData();
    void WriteThroughTemporaryFile(const std::string& FileName, std::vector<int64_t>* DataPositions);
    void ExtractMember(int Index, const std::string& DestFileName);

    TFileList m_files;
    std::string m_fileName;
    std::string m_comment;
    std::unique_ptr<TFileStream> m_file;
    std::vector<TKldZipFileStream*> m_streams;
    int64_t m_maxMemorySize = DefaultMaxMemorySize;
    TZCompressionLevel m_compressionLevel = zcDefault;
    bool m_modified = false;
    bool m_new = false;
};

// CRC-32 (zlib's) of the stream's bytes from StartPosition up to EndPosition
// (or the stream's end, when that comes first).
uint32_t ZipCRC32(TStream& Stream, int64_t EndPosition, int64_t StartPosition = 0);
// True when IncludeMask is empty or matches FileName and ExcludeMask is empty
// or does not match it ("*" and "?", without regard to case).
bool FileMatchesMasks(const std::string& FileName, const std::string& IncludeMask,
                      const std::string& ExcludeMask);
// "a/b/" -> "a\b": archive form to program form.
std::string ZipPathToSysPath(const std::string& Path);
// "a\b" -> "a/b", and "a/b/" for a folder.
std::string SysPathToZipPath(const std::string& Path, bool IsFolder);
// A member name as the table keeps it: trimmed, "/" as "\", without one
// leading and without a trailing delimiter. An empty result raises
// EKldZipFileError "Invalid or empty file name".
std::string AdjustFileName(const std::string& FileName);
// The folder part of a program-form name, without delimiter ("a\b" for
// "a\b\c.txt", "" for "c.txt").
std::string GetFilePath(const std::string& FileName);
// Path with a trailing backslash ("" stays "").
std::string IncludePathDelimiter(const std::string& Path);
