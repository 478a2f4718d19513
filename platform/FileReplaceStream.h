#pragma once
// Saving a file so that a kill, a full disk or a file size limit at any
// moment leaves either the old file or the new one whole.
//
// `TFileReplaceStream` writes into a temporary file beside the file it
// replaces ("<name>.tmp<pid>-<random>", in the same folder, so that the
// rename cannot cross file systems). `Commit` flushes it to disk and renames
// it over the old file; a stream destroyed without Commit removes its
// temporary file and leaves the old file untouched.
// - A symbolic link is kept: the file it points to is replaced, through a
//   temporary file beside that target.
// - Where no temporary file can be made (a folder we may not create files
//   in) nothing is written: the old file is never rewritten in place.
// - The new file keeps the old one's permission bits; a new file gets the
//   mode asked for (less the umask).
// - Temporary files left by writers that were killed (their process no
//   longer runs) are removed when the next stream for that file is made.
// - Every failure raises with the file and the system's reason:
//   EFCreateError "Cannot create file \"<name>\". <reason>" when the
//   temporary file cannot be made, EWriteError "Cannot write <name>: <reason>"
//   when writing, flushing or renaming fails.
//
// `TFileUpdateLock` serialises read-change-write cycles on one file between
// threads and processes: it holds an exclusive lock on the file's folder
// (the file itself is replaced by every write, so it cannot carry the lock).

#include "platform/Streams.h"

#include <string>
#include <sys/types.h>

class TFileReplaceStream : public TStream
{
  public:
    explicit TFileReplaceStream(const std::string& fileName, mode_t newFileMode = 0666);
    ~TFileReplaceStream() override;
    TFileReplaceStream(const TFileReplaceStream&) = delete;
    TFileReplaceStream& operator=(const TFileReplaceStream&) = delete;
    std::string ClassName() const override { return "TFileReplaceStream"; }

    // Nothing is read back from the file being written.
    int64_t Read(void* buffer, int64_t count) override;
    // Raises EWriteError naming the file and the reason when the system
    // refuses (a full disk, a file size limit).
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, int origin) override;
    void SetSize(int64_t newSize) override;

    // Flushes the new content to disk and puts it in place of the old file.
    void Commit();

    // The file that is replaced (the target of a link).
    const std::string& FileName() const { return m_target; }

  private:
    [[noreturn]] void Fail(int error);
    void Discard();

    std::string m_target;
    std::string m_tempName;
    int m_handle = -1;
};

// Writes `data` as the whole new content of `fileName` the same way; answers
// the system's error number of the failure, 0 on success.
int TryReplaceFileContents(const std::string& fileName, const std::string& data, mode_t newFileMode = 0666);
// The same, raising EWriteError "Cannot write <name>: <reason>".
void ReplaceFileContents(const std::string& fileName, const std::string& data, mode_t newFileMode = 0666);

// The file a chain of symbolic links ends in ('fileName' itself when it is no
// link); the target need not exist. Raises EFCreateError for a loop.
std::string ResolveLinkTarget(const std::string& fileName);

class TFileUpdateLock
{
  public:
    // Waits for the lock on the folder of `fileName` (links resolved). A
    // folder that cannot be opened gives no lock and no error: the write
    // that follows reports what is wrong with the folder.
    explicit TFileUpdateLock(const std::string& fileName);
    ~TFileUpdateLock();
    TFileUpdateLock(const TFileUpdateLock&) = delete;
    TFileUpdateLock& operator=(const TFileUpdateLock&) = delete;

  private:
    int m_handle = -1;
};
