#pragma once
// Restoring the program folder from the backup archive of the update step.
//
// Members are restored in archive order, each through one temporary file in
// the backup folder that is renamed over the program folder's file
// (ovnRenameDeleteFile: a file in use there is renamed aside first). The
// archive may hold members of any size: a debug build's controller library
// is far above the zip reader's default in-memory limit, and a program file
// that is skipped would leave the folder half old, half new.
//
// A member error does not stop the others. Members that must never be
// written are member errors too: a name that is not a bare file name (it
// holds "/" or "\", is "." or "..", or is absolute) could write outside the
// program folder, and a folder member (the reader makes one for every path)
// could replace one of its folders. The permission bits kept in the high 16
// bits of the external attributes are given back, so that a restored
// program can still start.
//
// An error that stops the whole restore (the archive cannot be opened) is
// raised; so is, after every member had its turn, the list of the members
// that failed ("Some files were not restored: a, b"): the restore must not
// end as if everything were back.

#include <functional>
#include <string>

// Maximum, position, text ("Restore Files", "Currently restoring: ...").
using TRestoreProgress = std::function<void(int Position, int Max, const std::string& Text)>;

// True for a member name that may be restored into the program folder.
bool IsBareMemberName(const std::string& Name);

void RestoreProgramFiles(const std::string& BackupArchive, const std::string& ProgramPath,
                         const TRestoreProgress& Progress = nullptr);
