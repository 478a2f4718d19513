#pragma once
// File systems of the resource cache (unit NembraFileSystem): the abstract
// `TNembraFileSystem`, the registry that picks a kind by address, and
// `ParseNembraURI`.
//
// A file system is named by an address: "file://" and a folder for the local
// kind (TNembraLocalFileSystem), "vrs+" and a server connection for the
// remote kind (TNembraRemoteFileSystem); an address no registered kind
// accepts is taken by the default kind (the local one) as a folder path.
//
// Every file name is relative to the file system's root. A name that is
// absolute or has ".." as a path component is refused (EUnsafePath): no
// operation reaches outside the root.
//
// A file's version is its time stamp: the 64-bit count of 100-ns intervals
// since 1 January 1601 (UTC) of its last write; 0 means none.
//
// Threads: a file system object is used by one cache from the main thread
// and the icon preload thread; each kind says what it guards.

#include "platform/FileUtils.h"
#include "platform/Persistent.h"
#include "platform/Sets.h"
#include "platform/SysUtils.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TStream;

enum TFindFileOutput
{
    ffoDescription,
    ffoAttr,
    ffoSize,
    ffoTime
};
// Which details a listing returns; on the wire the set is a number (bit 1
// description, 2 attributes, 4 size, 8 time stamp).
using TFindFileOutputs = TSet<TFindFileOutput, uint8_t>;

// Called once per listed file; Sender is the file system.
using TFindFileCallback =
    std::function<void(TObject* Sender, const std::string& Name, const std::string& Description, int32_t Attributes,
                       int64_t Size, int64_t TimeStamp, void* Data)>;

// "File system does not support the following path: %s".
extern const char* const SFileSystemNotSupported;

class TNembraFileSystem : public TObject
{
  public:
    ~TNembraFileSystem() override = default;
    std::string ClassName() const override { return "TNembraFileSystem"; }

    // Lists the entries matching Mask (a folder part is allowed) and calls
    // Callback for those with one of FileAttributes (0 or less: all) and a
    // time stamp above MinTimeStamp. MaxTimeStamp := the greatest time stamp
    // seen. Answers the count.
    virtual int FindFiles(const std::string& Mask, int64_t MinTimeStamp, int64_t& MaxTimeStamp,
                          int32_t FileAttributes, TFindFileOutputs OutputInfo, const TFindFileCallback& Callback,
                          void* Data) = 0;
    // The same without the maximum.
    int FindFiles(const std::string& Mask, int64_t MinTimeStamp, int32_t FileAttributes, TFindFileOutputs OutputInfo,
                  const TFindFileCallback& Callback, void* Data);
    // Null when the file's time stamp equals TimeStamp; otherwise its content
    // (the caller's) and TimeStamp := the file's time stamp.
    virtual std::unique_ptr<TStream> GetFile(const std::string& FileName, int64_t& TimeStamp) = 0;
    // The content whatever its time stamp.
    std::unique_ptr<TStream> GetFile(const std::string& FileName);
    // Writes the whole stream as the file; a positive TimeStamp becomes its
    // last-write time.
    virtual void PutFile(const std::string& FileName, const std::string& Description, int64_t TimeStamp,
                         TStream& Stream) = 0;
    virtual void Delete(const std::string& FileName) = 0;
    virtual void CopyFile(const std::string& FileName, const std::string& NewFileName, bool AllowOverwrite) = 0;
    virtual void Rename(const std::string& FileName, const std::string& NewFileName, bool AllowOverwrite) = 0;
    // Extracts the members of the zip archive whose names (without folders)
    // match ExtractFileMask and not ExcludeFileMask into DestPath.
    virtual void Extract(const std::string& ZipFileName, const std::string& DestPath,
                         const std::string& ExtractFileMask, const std::string& ExcludeFileMask) = 0;
    virtual void CreateDirectory(const std::string& Path) = 0;
};

// A kind of file system: whether it serves an address, and how one is made.
struct TNembraFileSystemClass
{
    std::string ClassName;
    std::function<bool(const std::string& URI)> Accept;
    std::function<std::unique_ptr<TNembraFileSystem>(const std::string& URI)> Create;
};
using TNembraFileSystemClassRef = const TNembraFileSystemClass*;

// Removes the kind when present, then appends it. The local and the remote
// kind are registered from the start (the local one first), and the local
// kind is the default.
void RegisterFileSystem(TNembraFileSystemClassRef Class);
void UnRegisterFileSystem(TNembraFileSystemClassRef Class);
// The kind for addresses no registered kind accepts; null for none.
void SetDefaultFileSystem(TNembraFileSystemClassRef Class);
TNembraFileSystemClassRef DefaultFileSystem();
// Made by the first registered kind that accepts URI, else by the default
// kind; raises SFileSystemNotSupported when there is none.
std::unique_ptr<TNembraFileSystem> CreateFileSystem(const std::string& URI);

// Scheme := the text before the first "://" (the rest is after it), Host :=
// the text up to the next "/" (all of it without one), Path := the text
// after that "/". Offered to applet libraries.
void ParseNembraURI(const std::string& URI, std::string& Scheme, std::string& Host, std::string& Path);

// Extracting a zip archive is the work of the zip unit, which lives in the
// controller's library above this one; the controller hands it in at start.
// Without it Extract raises "Zip archives cannot be extracted: no zip reader
// is installed".
using TNembraExtractZipProc =
    std::function<void(const std::string& ZipFileName, const std::string& DestPath,
                       const std::string& ExtractFileMask, const std::string& ExcludeFileMask)>;
void SetNembraExtractZipProc(TNembraExtractZipProc Proc);
void NembraExtractZip(const std::string& ZipFileName, const std::string& DestPath,
                      const std::string& ExtractFileMask, const std::string& ExcludeFileMask);
