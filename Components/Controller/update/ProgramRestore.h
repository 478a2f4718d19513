#pragma once
// Restoring the program folder from the backup archive of the update step.
//
// Members are restored in archive order, each through one temporary file in
// the backup folder that is renamed over the program folder's file. One
// rename replaces the file at once: a program that holds the old file open
// keeps reading it, and there is no moment in which the name is missing or
// an old copy lies aside. The archive may hold members of any size: a debug
// build's controller library is far above the zip reader's default
// in-memory limit, and a program file that is skipped would leave the
// folder half old, half new.
//
// A restore that has begun always ends: before the first file is replaced
// the restore marker "$restore$" (naming the archive) is written into the
// program folder, and only after every member had its turn is it removed.
// A restore that was killed on the way leaves the marker, and the client's
// next start finishes the restore (FinishInterruptedRestore) before it
// loads anything else. The update marker "$update$" cannot serve: the
// client deletes it at every start to tell the update helper that the new
// version runs. The temporary files a killed restore left in the backup
// folder ("$temp$", "$temp$1", ...) go when the next restore begins.
//
// A member error does not stop the others. Members that must never be
// written are member errors too: a name that is not a bare file name (it
// holds "/" or "\", is "." or "..", or is absolute) could write outside the
// program folder, and a folder member (the reader makes one for every path)
// could replace one of its folders. The permission bits kept in the high 16
// bits of the external attributes are given back, so that a restored
// program can still start - but never set-user-id, set-group-id, the
// sticky bit or write access for everybody, which an archive could carry
// into a program folder that others run.
//
// An error that stops the whole restore (the archive cannot be opened) is
// raised before anything is written; so is, after every member had its
// turn, the list of the members that failed ("Some files were not
// restored: a, b"): the restore must not end as if everything were back.

#include <cstdint>
#include <functional>
#include <string>

// Maximum, position, text ("Restore Files", "Currently restoring: ...").
using TRestoreProgress = std::function<void(int Position, int Max, const std::string& Text)>;

// The marker of a restore under way, in the program folder.
inline constexpr const char* RestoreMarkerFileName = "$restore$";

// True for a member name that may be restored into the program folder.
bool IsBareMemberName(const std::string& Name);

// The permission bits a restored file gets for the mode a member carries.
uint32_t RestoredFileMode(uint32_t ArchiveMode);

// ProgramPath ends with a path delimiter.
void RestoreProgramFiles(const std::string& BackupArchive, const std::string& ProgramPath,
                         const TRestoreProgress& Progress = nullptr);

// Runs to its end a restore whose marker is still in the program folder,
// from the archive the marker names (when it names none that exists, the
// update step's "backup/ov4backup.zip"). False when no restore was under
// way. Errors as RestoreProgramFiles; the marker stays when the archive
// cannot be opened.
bool FinishInterruptedRestore(const std::string& ProgramPath);
