#pragma once
// Small platform routines shared by the system's own code and the applet
// libraries: a lock that gives up after a time-out, a marked stream
// compressor, file and folder operations that move a busy or existing file
// out of the way by renaming it first, unique names, the temporary folder,
// version strings, certificate names, processor usage and affinity, text
// padding, the computer name and the platform tag.

#include "platform/DateUtils.h"
#include "platform/DynLibs.h"
#include "platform/FileUtils.h"
#include "platform/SyncObjs.h"
#include "platform/SysUtils.h"

#include <cstdint>
#include <string>

class TMemoryStream;
class TStrings;

KLD_DECLARE_EXCEPTION(EovnCriticalSection, Exception);
KLD_DECLARE_EXCEPTION(EovnCompress, Exception);
// File errors of the routines below (the run-time library's in/out error).

// A named lock whose Acquire gives up after TimeOut milliseconds (60000 at
// creation) with EovnCriticalSection "Lock \"<name>\" timed out: <ms> ms".
// A time-out of 0 or less waits without limit.
class TovnCriticalSection : public TCriticalSection
{
  public:
    explicit TovnCriticalSection(const std::string& Name);

    const std::string& Name() const { return m_name; }
    int32_t TimeOut() const { return m_timeOut; }
    void SetTimeOut(int32_t Value) { m_timeOut = Value; }

    bool TryEnter() { return TCriticalSection::TryEnter(); }
    void Acquire();

  private:
    std::string m_name;
    int32_t m_timeOut = 60000;
};

struct TovnVersionInfo
{
    std::string CompanyName;
    std::string FileDescription;
    std::string FileVersion;
    std::string InternalName;
    std::string LegalCopyright;
    std::string OriginalFilename;
    std::string ProductName;
    std::string ProductVersion;
    TDateTime FileDate = 0;
};

// Compressed streams start with a 4-byte little-endian marker.
constexpr uint32_t ovnZlibMarker = 0xA0B0C0D0u; // zlib stream follows
constexpr uint32_t ovnRawMarker = 0x0A0B0C0Du;  // the input follows unchanged

void ovnCompressorInit();
void ovnCompressorDone();
// Source is rewound; more than 2048 bytes are compressed whole (zlib, default
// level) behind the zlib marker, fewer are copied behind the raw marker.
// Writing starts at Dest's position; Dest is not rewound.
void ovnCompress(TMemoryStream& Source, TMemoryStream& Dest);
// Source is rewound and its marker read; the zlib marker inflates the rest,
// any other marker copies the rest. Dest is rewound afterwards. A source of
// fewer than 4 bytes, or damaged or cut compressed data, raises
// EovnCompress and leaves Dest as it was. Output larger than
// ovnMaxDecompressedSize raises EovnCompress as well (hostile input: a small
// source may inflate to gigabytes).
void ovnDecompress(TMemoryStream& Source, TMemoryStream& Dest);
// The same, for a caller that knows the size of the original data: output
// of any other size raises EovnCompress, and no more than ExpectedSize bytes
// are ever produced.
void ovnDecompress(TMemoryStream& Source, TMemoryStream& Dest, int64_t ExpectedSize);
// The cap of the two-argument ovnDecompress.
constexpr int64_t ovnMaxDecompressedSize = int64_t(64) * 1024 * 1024;

void ovnSleep(int32_t Milliseconds);
// Loads a library (an absolute path); null on failure.
HMODULE ovnLoadLibrary(const std::string& FileName);
void* ovnGetProcAddress(HMODULE Module, const char* ProcName);
void ovnFreeLibrary(HMODULE Module);

// Trimmed, with a trailing path delimiter unless empty.
std::string ovnFixPath(const std::string& Path);
// The system's temporary folder through ovnFixPath, read once per process.
std::string ovnGetTempPath();
// The folder of the running program file, with a trailing delimiter.
std::string ovnGetProgramPath();
// Where settings, the log and the cache live: the program folder when it can
// be written and belongs to this user with no one else allowed to write it,
// otherwise the per-user configuration folder of the desktop
// ($XDG_CONFIG_HOME, else ~/.config, the home taken from the password
// database when $HOME is unset) followed by "Tallowin/". Never a shared
// folder: with no home known it raises EInOutError. With a trailing
// delimiter. ovnSetDataPath replaces the choice (tests, other hosts); '' goes
// back to it.
std::string ovnGetDataPath();
void ovnSetDataPath(const std::string& Path);
// The choice ovnGetDataPath makes for a program in ProgramPath.
std::string ovnChooseDataPath(const std::string& ProgramPath);

// FileName when free, else report1.txt, report2.txt, ... (the first free).
std::string ovnMakeUniqueFileName(const std::string& FileName);
// An existing Dest is renamed to a unique name and deleted; then Source is
// renamed to Dest. When Source and Dest are the same file nothing happens.
// A missing Source raises EInOutError before Dest is touched.
void ovnRenameDeleteFile(const std::string& Source, const std::string& Dest);
// Nothing when the names are the same without regard to case; else an
// existing Dest is moved aside and deleted, then Source is copied to Dest.
// A Source that is missing or cannot be read raises EInOutError before Dest
// is touched.
void ovnCopyDeleteFile(const std::string& Source, const std::string& Dest);
// Renames an existing file to a unique name, then deletes that name; a file
// that cannot be deleted stays behind under the unique name.
void ovnDeleteFile(const std::string& FileName);
// Dir, else Dir + "1", Dir + "2", ... until no folder of that name exists;
// through ovnFixPath.
std::string ovnMakeUniqueDir(const std::string& Dir);
// The platform tag the server offers applet and add-on libraries by: "L64"
// for Linux on x86-64 (a library built for another platform cannot load).
std::string ovnOS();
// The version strings of the system's own programs and libraries come from
// build-time constants; every file gets its last-change date.
TovnVersionInfo ovnVersionInfo(const std::string& FileName);
// Records of 848 bytes; the header record is checked, then every further
// record's length-prefixed name is added. Raises EInOutError "Certificate
// file not found" / "Certificate file is corrupted".
void ovnGetCertificateNames(const std::string& FileName, TStrings* Names);
// The fixed texts of the certificate-names header record.
extern const char* const ovnCertificateWord;   // 5 characters
extern const char* const ovnCertificateHeader; // 25 characters
constexpr int ovnCertificateRecordSize = 848;

// File attributes for ovnGetFilesList (platform/FileUtils.h): 0 normal
// files, faDirectory adds folders.
// False without a list; else the names (without folder) matching the mask
// (a folder part is allowed) are added; True.
bool ovnGetFilesList(const std::string& Mask, TStrings* List, int32_t Attributes);
// When Overwrite or Dest does not exist, Source is copied whole into a new
// Dest; True. Errors raise EInOutError. Source and Dest naming the same
// file leave it as it is (True).
bool ovnCopyFile(const std::string& Source, const std::string& Dest, bool Overwrite);
// The normal files of Source (no sub-folders) copied into Dest; False at the
// first failure.
bool ovnCopyDirectory(const std::string& Source, const std::string& Dest, bool Overwrite);
// Creates the file empty (truncating); errors raise EInOutError.
void ovnCreateFile(const std::string& FileName);
bool ovnFileExists(const std::string& FileName);
bool ovnDirectoryExists(const std::string& Dir);
// Creates every missing level; an empty path raises "Invalid path spec".
bool ovnMakePath(const std::string& Path);
// A folder the program keeps its own settings, logs or cache in: missing
// levels are made 0700; the folder itself must then be a folder (not a link)
// of this user that no one else may write. Raises EInOutError "Folder <f>
// cannot hold <Purpose>: <what is wrong>".
void ovnMakePrivateFolder(const std::string& Path, const std::string& Purpose = "settings or logs");
// Deletes the normal files of Dir and then Dir; False when anything stays.
bool ovnDeleteDirectory(const std::string& Dir);
void ovnGrantExecute(const std::string& FileName, bool Grant);
// Kernel and user time of this process over `Seconds` (0 counts as 1), as
// percent of the processors the process may run on.
void ovnProcessCPUUsage(uint8_t& KernelPercent, uint8_t& UserPercent, uint8_t Seconds);
// The percent of one interval: round(delta / (cpus * seconds * 10^7) * 100),
// half to even; deltas in 100-ns units.
uint8_t ovnCPUPercent(uint64_t Delta100ns, int Processors, int Seconds);
// Whether the whole range can be read without a fault.
bool ovnIsBadReadPtr(const void* P, uint32_t Size);
// Sets the affinity to Mask AND the system's mask; answers the mask read
// afterwards.
uint32_t ovnSetProcessAffinity(uint32_t Mask);
uint32_t ovnGetProcessAffinity();
std::string ovnLJustify(const std::string& S, int32_t Width);
std::string ovnRJustify(const std::string& S, int32_t Width);
std::string ovnGetComputerName();
