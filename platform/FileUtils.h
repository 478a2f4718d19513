#pragma once
// Files and folders. Paths are UTF-8 text. Routines answering bool report
// failure that way and never raise; those that raise say so.

#include "platform/SysUtils.h"

#include <cstdint>
#include <string>
#include <vector>

// A relative path that would leave its base folder.
KLD_DECLARE_EXCEPTION(EUnsafePath, Exception);

// File attributes as the run-time library numbers them (file listings, zip
// members, the file systems of the resource cache).
constexpr int32_t faReadOnly = 0x01;
constexpr int32_t faHidden = 0x02;
constexpr int32_t faSysFile = 0x04;
constexpr int32_t faVolumeID = 0x08;
constexpr int32_t faDirectory = 0x10;
constexpr int32_t faArchive = 0x20;
constexpr int32_t faAnyFile = 0x3F;

bool FileExists(const std::string& fileName); // exists and is not a folder
bool DirectoryExists(const std::string& dir);
// Creates the folder and every missing parent. An empty path raises EOSError.
bool ForceDirectories(const std::string& dir);

// Last change as a Windows file time: 100-ns ticks since 1601-01-01 UTC;
// -1 when the file does not exist.
int64_t FileAgeFileTime(const std::string& fileName);
// Last change as a local TDateTime; false when the file does not exist.
bool FileAge(const std::string& fileName, TDateTime& dateTime);
// Size in bytes; -1 when the file does not exist.
int64_t FileSize(const std::string& fileName);

// Renames, replacing an existing target. Across file systems the file is
// copied (with its time) and the source deleted; the source stays when the
// copy fails.
bool RenameFile(const std::string& oldName, const std::string& newName);
// Copies content, permission bits and last-change time. With failIfExists
// an existing target is left alone and the answer is false.
bool CopyFile(const std::string& source, const std::string& dest, bool failIfExists);
bool DeleteFile(const std::string& fileName);
bool RemoveDir(const std::string& dir); // an empty folder only
// Removes the folder with everything below it; links are removed, never
// followed. False when the folder does not exist or something stays.
bool DeleteDirectoryTree(const std::string& dir);

// Wildcards: "*" any run of characters, "?" exactly one; letters compare
// without regard to case (ASCII and Latin-1). A mask ending in ".*" also
// matches names without an extension, so "*.*" matches every name.
bool MatchesMask(const std::string& name, const std::string& mask);
// Names (without folder) of the entries in `dir` matching `mask`, sorted;
// folders only when includeDirs. "." and ".." never.
std::vector<std::string> FindFiles(const std::string& dir, const std::string& mask, bool includeDirs = false);

// The temporary folder ($TMPDIR, else /tmp) with a trailing delimiter.
std::string GetTempPath();
// Creates a new empty file with a unique name in `dir` starting with
// `prefix` and answers its path. Raises EOSError when it cannot.
std::string CreateUniqueTempFile(const std::string& dir, const std::string& prefix);

// The full path of the program file of this process, as it was when first
// asked (the log asks before main), whatever happens to the file later.
std::string GetModuleFileName();
// The full path of the program or library that holds `address`; '' when
// none does.
std::string GetModuleFileNameOfAddress(const void* address);

// `base` joined with `relative` by '/'. Backslashes in `relative` count as
// delimiters; "." parts are dropped. Raises EUnsafePath for an absolute
// path, a drive ("C:"), a ".." part or a NUL character, so that a name read
// from an archive or a server can never reach outside `base`.
std::string SafeJoinPath(const std::string& base, const std::string& relative);
