#include "Components/Nembra/NembraFileCache.h"

#include "base/KldLogFile.h"
#include "platform/DateUtils.h"
#include "platform/FileUtils.h"
#include "platform/Processes.h"
#include "platform/Streams.h"
#include "platform/Threads.h"

#include <cerrno>
#include <climits>
#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

const char* const SUnableToDownloadResource = "Unable to download resource: \"%s\"";
const char* const SFileCacheNotActive = "File cache object not active";

namespace {

constexpr const char* kTempExt = ".temp";
// Temporary files carry their writer's process id ("<name>.~<pid>-<random>.temp"):
// several copies of the program may share one cache folder, and a copy
// removes only what a copy that no longer runs left behind.
constexpr std::string_view kWriterMark = ".~";
constexpr const char* kDefaultCacheFileName = ".cache";
// One round of waiting for an entry; the waiter then tests its entry again.
constexpr uint32_t kEntryWaitMs = 10000;

// A regular file at the path itself (a link is not followed: it counts as no
// file, so it is fetched and replaced rather than served).
struct TLocalFile
{
    bool Exists = false;
    int64_t Time = 0;
    int64_t Size = -1;
};

TLocalFile InspectFile(const std::string& Path)
{
    struct stat st
    {
    };
    TLocalFile f;
    if (Path.empty() || ::lstat(Path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return f;
    f.Exists = true;
    f.Time = int64_t(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    f.Size = st.st_size;
    return f;
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

// "<anything>.~<pid>-<random>.temp" (with ".temp" once more for an old file
// set aside) of a process that has ended.
bool IsStaleTempName(std::string_view Name)
{
    const std::string_view ext = kTempExt;
    if (Name.size() <= ext.size() || Name.substr(Name.size() - ext.size()) != ext)
        return false;
    while (Name.size() > ext.size() && Name.substr(Name.size() - ext.size()) == ext)
        Name.remove_suffix(ext.size());
    const size_t mark = Name.rfind(kWriterMark);
    if (mark == std::string_view::npos)
        return false;
    size_t pos = mark + kWriterMark.size();
    const size_t digits = pos;
    long long pid = 0;
    while (pos < Name.size() && Name[pos] >= '0' && Name[pos] <= '9' && pid < INT_MAX)
        pid = pid * 10 + (Name[pos++] - '0');
    if (pos == digits || pos + 1 >= Name.size() || Name[pos] != '-')
        return false;
    return ProcessHasEnded(pid);
}

// The mark of this process's temporary files.
std::string WriterMark()
{
    return std::string(kWriterMark) + std::to_string(::getpid()) + "-";
}

bool PathExists(const std::string& Path)
{
    struct stat st
    {
    };
    return ::lstat(Path.c_str(), &st) == 0;
}

bool IsFolder(const std::string& Path)
{
    struct stat st
    {
    };
    return ::lstat(Path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Every missing level of Folder, made this user's alone. Raises EInOutError.
void MakeFolders(const std::string& Folder)
{
    const std::string dir = ExcludeTrailingPathDelimiter(Folder);
    if (dir.empty() || DirectoryExists(dir))
        return;
    const std::string parent = ExtractFileDir(dir);
    if (!parent.empty() && parent != dir)
        MakeFolders(parent);
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        throw EInOutError(Format("Cannot create folder %s: %s", dir, std::strerror(errno)));
}

std::string ErrorReason(const std::string& Message)
{
    constexpr std::string_view prefix = "Error: ";
    return SameText(std::string_view(Message).substr(0, prefix.size()), prefix) ? Message : "Error: " + Message;
}

Exception DownloadError(const std::string& ResourceName, const std::string& Reason)
{
    // The reason is appended, not formatted: a '%' in it stays as it is.
    return Exception(Format(SUnableToDownloadResource, ResourceName) + "\r\n" + ErrorReason(Reason));
}

// The whole file, when it is a regular file (opened without following a
// link and without blocking on a FIFO); false otherwise.
bool ReadRegularFile(const std::string& FileName, std::string& Content)
{
    const int fd = ::open(FileName.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st
    {
    };
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    Content.clear();
    char buffer[65536];
    while (ok) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        Content.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return ok;
}

bool WriteAll(int fd, const char* Data, size_t Size)
{
    while (Size > 0) {
        const ssize_t n = ::write(fd, Data, Size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        Data += n;
        Size -= static_cast<size_t>(n);
    }
    return true;
}

std::vector<std::string> SplitLines(const std::string& Text)
{
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < Text.size(); ++i) {
        const char c = Text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            if (c == '\r' && i + 1 < Text.size() && Text[i + 1] == '\n')
                ++i;
        } else
            line += c;
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

bool HoldsLineBreak(const std::string& s)
{
    return s.find_first_of("\r\n") != std::string::npos;
}

// The entry lock of one caller, released however the caller leaves.
class TEntryLock
{
  public:
    TEntryLock(TNembraFileCache& Cache, TResourceDescriptor* Entry) : m_cache(Cache), m_entry(Entry) {}
    ~TEntryLock() { m_cache.UnLockDescriptor(m_entry); }
    TEntryLock(const TEntryLock&) = delete;
    TEntryLock& operator=(const TEntryLock&) = delete;

  private:
    TNembraFileCache& m_cache;
    TResourceDescriptor* m_entry;
};

class TAllEntriesLock
{
  public:
    explicit TAllEntriesLock(TNembraFileCache& Cache) : m_cache(Cache) { m_cache.LockAllDescriptors(); }
    ~TAllEntriesLock() { m_cache.UnLockAllDescriptors(); }
    TAllEntriesLock(const TAllEntriesLock&) = delete;
    TAllEntriesLock& operator=(const TAllEntriesLock&) = delete;

  private:
    TNembraFileCache& m_cache;
};

} // namespace

void CheckCacheName(const std::string& Name)
{
    SafeJoinPath("", Name);
}

bool TNembraFileCache::TNameLess::operator()(const std::string& a, const std::string& b) const
{
    return AnsiCompareText(a, b) < 0;
}

TNembraFileCache::TNembraFileCache(TComponent* AOwner) : TComponent(AOwner) {}

TNembraFileCache::~TNembraFileCache()
{
    try {
        SetActive(false);
    } catch (const Exception& e) {
        Log.Error(e, ClassName());
    }
}

// ---------------------------------------------------------------------------
// Settings

std::string TNembraFileCache::OS() const
{
    TCriticalSectionGuard guard(m_cacheLock);
    return m_os;
}

void TNembraFileCache::SetOS(const std::string& Value)
{
    if (Value == OS())
        return;
    SetActive(false);
    TCriticalSectionGuard guard(m_cacheLock);
    m_os = Value;
}

std::string TNembraFileCache::CacheDir() const
{
    TCriticalSectionGuard guard(m_cacheLock);
    return m_cacheDir;
}

void TNembraFileCache::SetCacheDir(const std::string& Value)
{
    if (Value != CacheDir()) {
        SetActive(false);
        TCriticalSectionGuard guard(m_cacheLock);
        m_cacheDir = Value;
    }
    if (!Value.empty())
        MakeFolders(Value);
}

std::string TNembraFileCache::CacheFileName() const
{
    TCriticalSectionGuard guard(m_cacheLock);
    return m_cacheFileName;
}

void TNembraFileCache::SetCacheFileName(const std::string& Value)
{
    const std::string name = Value.empty() ? std::string(kDefaultCacheFileName) : Value;
    if (name == CacheFileName())
        return;
    SetActive(false);
    TCriticalSectionGuard guard(m_cacheLock);
    m_cacheFileName = name;
}

void TNembraFileCache::SetActive(bool Value)
{
    if (Value == Active())
        return;
    if (Value)
        InternalOpen();
    else
        InternalClose();
}

void TNembraFileCache::CheckActive() const
{
    if (!Active())
        throw Exception(SFileCacheNotActive);
}

std::string TNembraFileCache::GetCacheFileName() const
{
    TCriticalSectionGuard guard(m_cacheLock);
    return IncludeTrailingPathDelimiter(m_cacheDir) + m_cacheFileName;
}

std::string TNembraFileCache::GetResourceFilePath(const std::string& FileName) const
{
    TCriticalSectionGuard guard(m_cacheLock);
    return SafeJoinPath(IncludeTrailingPathDelimiter(m_cacheDir), FileName);
}

// ---------------------------------------------------------------------------
// Opening and closing

void TNembraFileCache::InternalOpen()
{
    TCriticalSectionGuard guard(m_cacheLock);
    DeleteTempFiles(IncludeTrailingPathDelimiter(m_cacheDir));
    LoadIndex();
    m_active = true;
}

void TNembraFileCache::InternalClose()
{
    TCriticalSectionGuard guard(m_cacheLock);
    try {
        WriteIndex();
    } catch (const Exception& e) {
        // Closing goes on: the entries are known again at the next fetch.
        Log.Error(e, ClassName());
    }
    {
        std::lock_guard<std::mutex> lock(m_entryMutex);
        m_lockedEntries.clear();
        ++m_opening; // every entry made so far is no longer part of the cache
        ++m_entryEvents;
    }
    MainThread::Wake();
    m_entries.clear();
    m_active = false;
}

void TNembraFileCache::DeleteTempFiles(const std::string& Folder)
{
    // Another copy of the program may be fetching into this folder right
    // now: only files of writers that have ended go.
    for (const std::string& name : FindFiles(Folder, std::string("*") + kTempExt, false))
        if (IsStaleTempName(name))
            ::unlink((Folder + name).c_str());
}

void TNembraFileCache::LoadIndex()
{
    std::string text;
    if (!ReadRegularFile(IncludeTrailingPathDelimiter(m_cacheDir) + m_cacheFileName, text))
        return;
    const std::vector<std::string> lines = SplitLines(text);
    auto line = [&](size_t i) { return i < lines.size() ? lines[i] : std::string(); };
    for (size_t i = 0; i < lines.size(); i += 4) {
        const std::string name = lines[i];
        if (Trim(name).empty())
            break;
        std::string fileName = line(i + 1);
        int64_t version = -1;
        if (!TryStrToInt64(line(i + 2), version))
            version = -1;
        try {
            CheckCacheName(fileName);
        } catch (const EUnsafePath&) {
            fileName.clear();
            version = -1;
        }
        TResourceDescriptorRef& entry = m_entries[name];
        if (!entry) {
            entry = std::make_shared<TResourceDescriptor>();
            entry->m_opening = m_opening;
        }
        entry->FileName = fileName;
        entry->Version = version;
    }
}

void TNembraFileCache::WriteIndex()
{
    std::string text;
    for (const auto& [name, entry] : m_entries) {
        // A name with a line break would shift every later group.
        if (entry->Version < 0 || HoldsLineBreak(name) || HoldsLineBreak(entry->FileName))
            continue;
        text += name + "\r\n" + entry->FileName + "\r\n" + IntToStr(entry->Version) + "\r\n\r\n";
    }
    const std::string folder = IncludeTrailingPathDelimiter(m_cacheDir);
    const std::string target = folder + m_cacheFileName;
    // A new file beside the index, renamed over it: a failure leaves the old
    // index whole, and a link in the index's place is replaced, not followed.
    std::string pattern = target + WriterMark() + "XXXXXX" + kTempExt;
    const int fd = ::mkstemps(pattern.data(), static_cast<int>(std::strlen(kTempExt)));
    if (fd < 0)
        throw EWriteError(Format("Cannot write %s: %s", target, std::strerror(errno)));
    const bool written = WriteAll(fd, text.data(), text.size()) && ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    if (!written || ::rename(pattern.c_str(), target.c_str()) != 0) {
        const int reason = written ? errno : error;
        ::unlink(pattern.c_str());
        throw EWriteError(Format("Cannot write %s: %s", target, std::strerror(reason)));
    }
}

void TNembraFileCache::Save()
{
    TCriticalSectionGuard guard(m_cacheLock);
    if (Active())
        WriteIndex();
}

// ---------------------------------------------------------------------------
// Entries and their locks

TResourceDescriptorRef TNembraFileCache::GetResourceDescriptor(const std::string& ResourceName, bool Lock)
{
    TResourceDescriptorRef entry;
    {
        TCriticalSectionGuard guard(m_cacheLock);
        TResourceDescriptorRef& slot = m_entries[ResourceName];
        if (!slot) {
            slot = std::make_shared<TResourceDescriptor>();
            slot->m_opening = m_opening;
        }
        entry = slot;
    }
    // Outside the cache lock: a waiter never keeps others from the list.
    if (Lock)
        LockDescriptor(entry.get());
    return entry;
}

void TNembraFileCache::CheckOpening(const TResourceDescriptor& Entry) const
{
    if (Entry.m_opening != m_opening)
        throw Exception(SFileCacheNotActive);
}

bool TNembraFileCache::IsLocked(const TResourceDescriptor* Entry) const
{
    std::lock_guard<std::mutex> lock(m_entryMutex);
    return std::find(m_lockedEntries.begin(), m_lockedEntries.end(), Entry) != m_lockedEntries.end();
}

void TNembraFileCache::WaitForEntryEvent(std::unique_lock<std::mutex>& Lock)
{
    const uint64_t seen = m_entryEvents;
    Lock.unlock();
    // The main thread keeps serving the hand-offs of other threads while it
    // waits: the holder of the entry may be waiting for one of them.
    MainThread::WaitUntil(
        [&] {
            std::lock_guard<std::mutex> lock(m_entryMutex);
            return m_entryEvents != seen;
        },
        kEntryWaitMs);
    Lock.lock();
}

void TNembraFileCache::SignalEntryEvent()
{
    {
        std::lock_guard<std::mutex> lock(m_entryMutex);
        ++m_entryEvents;
    }
    MainThread::Wake();
}

void TNembraFileCache::LockDescriptor(TResourceDescriptor* Entry)
{
    if (!Entry)
        return;
    std::unique_lock<std::mutex> lock(m_entryMutex);
    for (;;) {
        CheckOpening(*Entry);
        const bool held = std::find(m_lockedEntries.begin(), m_lockedEntries.end(), Entry) != m_lockedEntries.end();
        if (!m_allLocked && !held) {
            m_lockedEntries.push_back(Entry);
            Entry->LockVersion = Entry->Version;
            return;
        }
        WaitForEntryEvent(lock);
    }
}

void TNembraFileCache::UnLockDescriptor(TResourceDescriptor* Entry)
{
    if (!Entry)
        return;
    {
        TCriticalSectionGuard guard(m_cacheLock);
        std::lock_guard<std::mutex> lock(m_entryMutex);
        const auto it = std::find(m_lockedEntries.begin(), m_lockedEntries.end(), Entry);
        if (it == m_lockedEntries.end())
            return; // not held (any more: the cache closed meanwhile)
        // Several resource names may share one file: a new version of the
        // file is the new version of each.
        if (!Trim(Entry->FileName).empty() && Entry->Version != Entry->LockVersion)
            for (auto& [name, other] : m_entries) {
                if (other.get() == Entry || !AnsiSameText(other->FileName, Entry->FileName))
                    continue;
                if (std::find(m_lockedEntries.begin(), m_lockedEntries.end(), other.get()) == m_lockedEntries.end())
                    other->Version = Entry->Version;
            }
        m_lockedEntries.erase(it);
        ++m_entryEvents;
    }
    MainThread::Wake();
}

void TNembraFileCache::LockAllDescriptors()
{
    std::unique_lock<std::mutex> lock(m_entryMutex);
    while (m_allLocked || !m_lockedEntries.empty())
        WaitForEntryEvent(lock);
    m_allLocked = true;
}

void TNembraFileCache::UnLockAllDescriptors()
{
    {
        std::lock_guard<std::mutex> lock(m_entryMutex);
        m_allLocked = false;
    }
    SignalEntryEvent();
}

void TNembraFileCache::SetEntryVersion(TResourceDescriptor& Entry, int64_t Version)
{
    TCriticalSectionGuard guard(m_cacheLock);
    Entry.Version = Version;
}

void TNembraFileCache::SetEntryFileName(TResourceDescriptor& Entry, const std::string& FileName)
{
    TCriticalSectionGuard guard(m_cacheLock);
    Entry.FileName = FileName;
}

void TNembraFileCache::AddResourceFile(const std::string& ResourceName, const std::string& FileName)
{
    CheckCacheName(FileName);
    TResourceDescriptorRef entry = GetResourceDescriptor(ResourceName, true);
    TEntryLock hold(*this, entry.get());
    SetEntryFileName(*entry, FileName);
}

void TNembraFileCache::InvalidateResource(const std::string& ResourceName, int32_t Version)
{
    TResourceDescriptorRef entry = GetResourceDescriptor(ResourceName, true);
    TEntryLock hold(*this, entry.get());
    if (Version < 0 || Version > entry->Version)
        SetEntryVersion(*entry, -1);
}

void TNembraFileCache::InvalidateResources(const std::string& Names)
{
    TStringList list;
    list.SetCommaText(Names);
    for (int i = 0; i < list.Count(); ++i)
        if (!Trim(list[i]).empty())
            InvalidateResource(list[i], -1);
}

void TNembraFileCache::InvalidateFiles(const TStrings* FileNames)
{
    TAllEntriesLock hold(*this);
    TCriticalSectionGuard guard(m_cacheLock);
    for (auto& [name, entry] : m_entries)
        if (!FileNames || FileNames->IndexOf(entry->FileName) >= 0)
            entry->Version = -1;
}

int32_t TNembraFileCache::GetResourceVersion(const std::string& ResourceName)
{
    TResourceDescriptorRef entry = GetResourceDescriptor(ResourceName, false);
    TCriticalSectionGuard guard(m_cacheLock);
    std::string path;
    try {
        path = GetResourceFilePath(entry->FileName);
    } catch (const EUnsafePath&) {
        return -1;
    }
    if (!InspectFile(path).Exists)
        return -1;
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(entry->Version)));
}

void TNembraFileCache::GetList(TStrings* List)
{
    if (!List)
        return;
    TCriticalSectionGuard guard(m_cacheLock);
    for (auto& [name, entry] : m_entries)
        List->AddObject(name, entry.get());
}

// ---------------------------------------------------------------------------
// Fetching

std::string TNembraFileCache::GetResourceFile(const std::string& ResourceName, bool* Changed)
{
    std::string fileName;
    GetResourceFile(ResourceName, Changed, fileName);
    return fileName;
}

void TNembraFileCache::GetResourceFile(const std::string& ResourceName, bool* Changed, std::string& FileName)
{
    FileName.clear();
    TLocalFile before;
    if (Active()) {
        try {
            CheckCacheName(ResourceName);
        } catch (const EUnsafePath& e) {
            throw DownloadError(ResourceName, e.Message());
        }
        TResourceDescriptorRef entry = GetResourceDescriptor(ResourceName, true);
        TEntryLock hold(*this, entry.get());
        if (Active()) {
            if (Trim(entry->FileName).empty() && OnCheckFileName) {
                std::string name = entry->FileName;
                OnCheckFileName(this, ResourceName, OS(), name);
                try {
                    CheckCacheName(name);
                } catch (const EUnsafePath& e) {
                    throw DownloadError(ResourceName, e.Message());
                }
                SetEntryFileName(*entry, name);
            }
            before = InspectFile(GetResourceFilePath(entry->FileName));
            const TDownloadWhen when = DownloadWhen();
            if (!before.Exists)
                SetEntryVersion(*entry, -1);
            else if (when == downloadNever && entry->Version < 0)
                SetEntryVersion(*entry, 0);
            const bool fetch = when == downloadAlways || (when == downloadNewer && entry->Version < 1) ||
                               (when == downloadNever && !before.Exists);
            if (fetch) {
                try {
                    bool downloaded = false;
                    InternalDownload(ResourceName, *entry, downloaded);
                } catch (const Exception& e) {
                    if (!before.Exists)
                        throw DownloadError(ResourceName, e.Message());
                    Log.Error(e, ClassName(), ResourceName);
                }
            }
            FileName = GetResourceFilePath(entry->FileName);
        }
    }
    if (!InspectFile(FileName).Exists)
        throw Exception(Format(SUnableToDownloadResource, ResourceName));
    if (Changed) {
        const TLocalFile after = InspectFile(FileName);
        *Changed = !(before.Exists && before.Time == after.Time && before.Size == after.Size);
    }
}

std::string TNembraFileCache::TempFileName(const std::string& Folder, const std::string& ResourceName) const
{
    // Temporary files stay in the folder itself, where opening finds the
    // ones a copy that was killed left behind.
    std::string name = ResourceName;
    for (char& c : name)
        if (c == '/' || c == '\\')
            c = '_';
    const std::string stem = Folder + name + WriterMark();
    std::string temp;
    do
        temp = stem + RandomSuffix() + kTempExt;
    while (PathExists(temp) || PathExists(temp + kTempExt));
    return temp;
}

void TNembraFileCache::InternalDownload(const std::string& ResourceName, TResourceDescriptor& Entry,
                                        bool& Downloaded)
{
    const std::string folder = IncludeTrailingPathDelimiter(CacheDir());
    const std::string temp = TempFileName(folder, ResourceName);
    TDownloadAnswer answer;
    try {
        answer = DoDownloadFile(ResourceName, Entry, temp);
    } catch (...) {
        ::unlink(temp.c_str());
        throw;
    }
    if (answer.FileName.empty()) {
        // The source has no file for the resource, whether it wrote one or
        // not: an old local file is no longer its file and is not served.
        ::unlink(temp.c_str());
        TCriticalSectionGuard guard(m_cacheLock);
        Entry.FileName.clear();
        Entry.Version = -1;
        return;
    }
    if (!answer.NewFile) {
        // Nothing newer: the local file and its entry stay as they are.
        ::unlink(temp.c_str());
        return;
    }
    if (!InspectFile(temp).Exists)
        throw EInOutError(Format("The fetched file of \"%s\" is missing", ResourceName));
    SwapInFile(folder, Entry, answer, temp, Downloaded);
}

void TNembraFileCache::WriteIndexOfEntry(const TResourceDescriptor& Entry)
{
    // A cache closed (or reopened) meanwhile has other entries: its index
    // is not this fetch's to write.
    if (!Active() || Entry.m_opening != m_opening)
        return;
    WriteIndex();
}

void TNembraFileCache::SwapInFile(const std::string& Folder, TResourceDescriptor& Entry,
                                  const TDownloadAnswer& Answer, const std::string& TempFile, bool& Downloaded)
{
    std::string target;
    // Whatever goes wrong, the old file stays in place and the entry's
    // version becomes unknown, so that the next request fetches it again.
    auto fail = [&](const std::string& reason) {
        ::unlink(TempFile.c_str());
        SetEntryVersion(Entry, -1);
        throw EInOutError(Format("Cannot put the new version of \"%s\" in place: %s", Answer.FileName, reason));
    };
    try {
        target = SafeJoinPath(Folder, Answer.FileName);
        MakeFolders(ExtractFilePath(target));
    } catch (const Exception& e) {
        fail(e.Message());
    }
    if (IsFolder(target))
        fail("a folder has its name");
    // Until the new file is in place and recorded, the index names no
    // version of it: a kill in between leaves a file of unknown version,
    // fetched again, never a new file under an old version.
    try {
        TCriticalSectionGuard guard(m_cacheLock);
        std::lock_guard<std::mutex> lock(m_entryMutex);
        Entry.Version = -1;
        for (auto& [name, other] : m_entries)
            if (AnsiSameText(other->FileName, Answer.FileName) &&
                std::find(m_lockedEntries.begin(), m_lockedEntries.end(), other.get()) == m_lockedEntries.end())
                other->Version = -1;
        WriteIndexOfEntry(Entry);
    } catch (const Exception& e) {
        fail(e.Message());
    }
    const std::string aside = TempFile + kTempExt;
    const bool hadOld = PathExists(target);
    if (hadOld && ::rename(target.c_str(), aside.c_str()) != 0)
        fail(std::strerror(errno));
    if (::rename(TempFile.c_str(), target.c_str()) != 0) {
        const int error = errno;
        if (hadOld)
            ::rename(aside.c_str(), target.c_str());
        fail(std::strerror(error));
    }
    if (hadOld)
        ::unlink(aside.c_str());
    Downloaded = true;
    TCriticalSectionGuard guard(m_cacheLock);
    Entry.FileName = Answer.FileName;
    Entry.Version = Answer.Version;
    try {
        WriteIndexOfEntry(Entry);
    } catch (const Exception& e) {
        // The file is in place and the entry knows it; the index follows at
        // the next write.
        Log.Error(e, ClassName());
    }
}

TDownloadAnswer TNembraFileCache::DoDownloadFile(const std::string& ResourceName, const TResourceDescriptor& Entry,
                                                 const std::string& TempFile)
{
    TDownloadAnswer answer;
    answer.FileName = Entry.FileName;
    answer.Version = Entry.Version;
    if (!OnDownloadFile)
        return answer; // nobody to ask: nothing new, and the entry keeps its file
    answer.FileName =
        OnDownloadFile(this, ResourceName, OS(), TempFile, DownloadWhen() != downloadNever, answer.Version);
    CheckCacheName(answer.FileName);
    // The handler answers "nothing new" by writing no file; the temporary
    // name is this process's own, so no other copy removes it meanwhile.
    answer.NewFile = PathExists(TempFile);
    return answer;
}

void TNembraFileCache::SaveStreamToNewFile(TStream& Stream, const std::string& FileName)
{
    const int fd = ::open(FileName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        throw EFCreateError(Format("Cannot create file \"%s\". %s", FileName, std::strerror(errno)));
    Stream.SetPosition(0);
    std::vector<char> buffer(1 << 16);
    bool ok = true;
    for (;;) {
        const int64_t n = Stream.Read(buffer.data(), static_cast<int64_t>(buffer.size()));
        if (n <= 0)
            break;
        if (!WriteAll(fd, buffer.data(), static_cast<size_t>(n))) {
            ok = false;
            break;
        }
    }
    const int error = errno;
    ok = ok && ::fsync(fd) == 0;
    ::close(fd);
    if (!ok) {
        ::unlink(FileName.c_str());
        throw EWriteError(Format("Cannot write %s: %s", FileName, std::strerror(error ? error : EIO)));
    }
}
