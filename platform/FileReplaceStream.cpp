#include "platform/FileReplaceStream.h"

#include "platform/ClassesText.h"
#include "platform/Processes.h"
#include "platform/SysUtils.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string FolderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string TempPrefix(const std::string& target)
{
    return NameOf(target) + ".tmp";
}

// "<name>.tmp<pid>-<random>" of a process that no longer runs: left by a
// writer that was killed before it could rename or remove it.
bool IsStaleTempName(const std::string& entry, const std::string& prefix)
{
    if (entry.compare(0, prefix.size(), prefix) != 0)
        return false;
    std::size_t pos = prefix.size();
    long long pid = 0;
    const std::size_t digits = pos;
    while (pos < entry.size() && entry[pos] >= '0' && entry[pos] <= '9' && pid < INT_MAX)
        pid = pid * 10 + (entry[pos++] - '0');
    if (pos == digits || pos >= entry.size() || entry[pos] != '-' || pid <= 0 || pid >= INT_MAX)
        return false;
    // Another thread of ours may be writing it right now.
    return ProcessHasEnded(pid);
}

void RemoveStaleTempFiles(const std::string& target)
{
    const std::string folder = FolderOf(target);
    const std::string prefix = TempPrefix(target);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (IsStaleTempName(name, prefix))
            ::unlinkat(::dirfd(dir), name.c_str(), 0);
    }
    ::closedir(dir);
}

std::string RandomSuffix()
{
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string suffix;
    for (int i = 0; i < 8; ++i)
        suffix += letters[generator() % (sizeof letters - 1)];
    return suffix;
}

bool WriteAll(int fd, const char* data, std::size_t size, int& error)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, std::min<std::size_t>(size - done, 1 << 30));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : ENOSPC;
            return false;
        }
        done += std::size_t(n);
    }
    return true;
}

// The rename is only lasting once the folder's entry is on disk as well.
void SyncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

std::string ResolveLinkTarget(const std::string& fileName)
{
    std::string path = fileName;
    for (int depth = 0; depth < 40; ++depth) {
        char buffer[PATH_MAX];
        const ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer - 1);
        if (n < 0)
            return path; // no link (or nothing there yet)
        const std::string link(buffer, std::size_t(n));
        path = (!link.empty() && link[0] == '/') ? link : FolderOf(path) + "/" + link;
    }
    throw EFCreateError("Cannot create file \"" + fileName + "\". " + kld_classes::OsErrorText(ELOOP));
}

namespace {

// Makes the temporary file for `target` (links already resolved); answers
// an errno, 0 on success.
int CreateTempFile(const std::string& target, mode_t newFileMode, std::string& tempName, int& handle)
{
    struct stat old
    {
    };
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode))
        return EISDIR;
    RemoveStaleTempFiles(target);
    const std::string base = FolderOf(target) + "/" + TempPrefix(target) + std::to_string(::getpid()) + "-";
    int error = EEXIST;
    for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
        tempName = base + RandomSuffix();
        handle = ::open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                        exists ? 0600 : newFileMode);
        error = handle < 0 ? errno : 0;
    }
    if (handle < 0) {
        tempName.clear();
        return error;
    }
    // The new file keeps the old one's permissions; failing that is no
    // reason to fail the save.
    if (exists)
        (void)::fchmod(handle, old.st_mode & 07777);
    return 0;
}

// Flushes, closes and renames the temporary file over `target`; answers an
// errno, 0 on success. The handle is closed either way.
int FinishTempFile(const std::string& target, const std::string& tempName, int& handle)
{
    int error = ::fsync(handle) == 0 ? 0 : errno;
    if (::close(handle) != 0 && error == 0)
        error = errno;
    handle = -1;
    if (error == 0 && ::rename(tempName.c_str(), target.c_str()) != 0)
        error = errno;
    if (error == 0)
        SyncFolder(FolderOf(target));
    return error;
}

} // namespace

TFileReplaceStream::TFileReplaceStream(const std::string& fileName, mode_t newFileMode)
    : m_target(ResolveLinkTarget(fileName))
{
    const int error = CreateTempFile(m_target, newFileMode, m_tempName, m_handle);
    if (error != 0)
        throw EFCreateError("Cannot create file \"" + fileName + "\". " + kld_classes::OsErrorText(error));
}

TFileReplaceStream::~TFileReplaceStream()
{
    Discard();
}

void TFileReplaceStream::Discard()
{
    if (m_handle >= 0)
        ::close(m_handle);
    m_handle = -1;
    if (!m_tempName.empty())
        ::unlink(m_tempName.c_str());
    m_tempName.clear();
}

void TFileReplaceStream::Fail(int error)
{
    Discard();
    throw EWriteError("Cannot write " + m_target + ": " + kld_classes::OsErrorText(error));
}

int64_t TFileReplaceStream::Read(void*, int64_t)
{
    return 0;
}

int64_t TFileReplaceStream::Write(const void* buffer, int64_t count)
{
    if (m_handle < 0)
        Fail(EBADF);
    int error = 0;
    if (count > 0 && !WriteAll(m_handle, static_cast<const char*>(buffer), std::size_t(count), error))
        Fail(error);
    return std::max<int64_t>(count, 0);
}

int64_t TFileReplaceStream::Seek(int64_t offset, int origin)
{
    if (m_handle < 0)
        Fail(EBADF);
    const int whence = origin == soFromCurrent ? SEEK_CUR : origin == soFromEnd ? SEEK_END : SEEK_SET;
    const off_t pos = ::lseek(m_handle, off_t(offset), whence);
    if (pos < 0)
        throw EStreamError("Cannot seek in " + m_target + ": " + kld_classes::OsErrorText(errno));
    return int64_t(pos);
}

void TFileReplaceStream::SetSize(int64_t newSize)
{
    if (m_handle < 0)
        Fail(EBADF);
    if (::ftruncate(m_handle, off_t(newSize)) != 0)
        Fail(errno);
}

void TFileReplaceStream::Commit()
{
    if (m_handle < 0)
        Fail(EBADF);
    const int error = FinishTempFile(m_target, m_tempName, m_handle);
    if (error != 0)
        Fail(error);
    m_tempName.clear();
}

int TryReplaceFileContents(const std::string& fileName, const std::string& data, mode_t newFileMode)
{
    std::string target;
    try {
        target = ResolveLinkTarget(fileName);
    } catch (const EStreamError&) {
        return ELOOP;
    }
    std::string tempName;
    int handle = -1;
    int error = CreateTempFile(target, newFileMode, tempName, handle);
    if (error != 0)
        return error;
    if (!WriteAll(handle, data.data(), data.size(), error)) {
        ::close(handle);
        handle = -1;
    } else {
        error = FinishTempFile(target, tempName, handle);
    }
    if (error != 0)
        ::unlink(tempName.c_str());
    return error;
}

void ReplaceFileContents(const std::string& fileName, const std::string& data, mode_t newFileMode)
{
    const int error = TryReplaceFileContents(fileName, data, newFileMode);
    if (error != 0)
        throw EWriteError("Cannot write " + fileName + ": " + kld_classes::OsErrorText(error));
}

TFileUpdateLock::TFileUpdateLock(const std::string& fileName)
{
    const std::string folder = FolderOf(ResolveLinkTarget(fileName));
    m_handle = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_handle < 0)
        return;
    while (::flock(m_handle, LOCK_EX) != 0) {
        if (errno != EINTR) {
            ::close(m_handle);
            m_handle = -1;
            return;
        }
    }
}

TFileUpdateLock::~TFileUpdateLock()
{
    if (m_handle >= 0)
        ::close(m_handle); // releases the lock
}
