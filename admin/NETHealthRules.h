#pragma once
// The rules of the "System Information" dialog (frmNETHealth.h): what its
// Kernel, Resources and Network pages show and the timed network test over
// the system plug-in's Ping. Plain functions and values, so tests drive
// them without the window.
//
// Main thread only (the test talks to the server through a dataset).

#include "platform/SysUtils.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class TNembraFileCache;
class TovnOndrelSystem;

// The Linux build's files beside the program, in the order the Kernel page
// lists them.
inline constexpr std::array<const char*, 4> KernelFiles = {"Tallowin", "libMirabo.so", "Swaplet",
                                                           "libWebView2Loader.so"};

// What the kernel version reads when "version.txt" cannot be read.
inline constexpr const char* KernelVersionNotFound = "File version.txt not found!";
// The resource string of the version label: kernel version, browser version.
inline constexpr const char* KernelVersionFormat = "Kernel version: %s, Web Browser: %s";

// "Orvane Browser" for brand 0, "Tallowin" for 1, else "N/A".
std::string BrandText(int32_t Brand);
// The trimmed value "version" of "version.txt" (Name=Value lines) in the
// folder (with a trailing delimiter), or KernelVersionNotFound.
std::string KernelVersion(const std::string& ProgramFolder);
// The name of a cache download option (0..2); '' for any other.
std::string DownloadOptionName(int Option);

// The CRC-32 of the whole file as lower-case hexadecimal without leading
// zeros. The file is opened read-only and shared; one that cannot be opened
// or read raises the file error.
std::string FileCRC32(const std::string& FileName);

// The date, size and checksum cells of a listed file: when it exists its
// date and time, its size "#,##" and "Double click"; otherwise "N/A" thrice.
struct TFileCells
{
    std::string Date;
    std::string Size;
    std::string CRC;
};
TFileCells FileCells(const std::string& FileName);

// One row of the Kernel page.
struct TKernelItem
{
    std::string Name;
    TFileCells Cells;
};
std::vector<TKernelItem> KernelItems(const std::string& ProgramFolder);

// One row of the Resources page; FileName is the cached file's name ('' when
// the entry has none) and Version '' when it is not above 0.
struct TResourceItem
{
    std::string Name;
    std::string FileName;
    std::string Version;
    TFileCells Cells;
};
// Every resource name of the cache (blank names skipped), with its entry.
std::vector<TResourceItem> ResourceItems(TNembraFileCache& Cache, const std::string& CacheFolder);

// Bytes per second for Bytes moved in Milliseconds: Bytes * 1000 divided by
// the time in integer arithmetic; a time of 0 (or less) gives 0.
int64_t NetSpeed(int64_t Bytes, int64_t Milliseconds);

// The bytes the download and upload calls move.
inline constexpr int64_t NetTestBytes = 64000;

// The three timings of a network test, in milliseconds.
struct TNetTimes
{
    int64_t Lag = 0;
    int64_t Download = 0;
    int64_t Upload = 0;
};

// The three Ping calls (lag, download of NetTestBytes, upload of the bytes
// the download answered), each logged at debug level. Ping must have the
// parameters Data and DataSize and be bound to a database. Its errors reach
// the caller.
TNetTimes RunNetworkTest(TovnOndrelSystem& Ping);
// Makes the Ping dataset of the test ("MAIN", PLG_SYSTEM's "Ping", Data and
// DataSize).
void SetUpPing(TovnOndrelSystem& Ping);

// The memo lines one test adds, after an empty line: the time stamp, lag,
// upload and download speeds and the notification link's state.
std::vector<std::string> NetTestLines(const TNetTimes& Times, TDateTime Now, bool VNSActive);

// The pages of the dialog, each filled the first time it is shown.
enum TNETHealthPage
{
    nhKernel,
    nhResources,
    nhNetwork
};

class TNETHealthFill
{
  public:
    // True the first time for each page (the caller fills it then).
    bool TakeFill(TNETHealthPage Page);
    bool Filled(TNETHealthPage Page) const { return m_filled[Page]; }

  private:
    std::array<bool, 3> m_filled{};
};
