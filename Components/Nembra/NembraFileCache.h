#pragma once
// The resource file cache (`TNembraFileCache`, unit NembraFileCache).
//
// Everything the client fetches from the server as a file (applet and add-on
// libraries, icons, ad pictures) is asked for by resource name; the cache
// answers the path of a local file in its folder and decides, by its
// download option and the entry's version, whether the file is fetched
// first. A fetched file is written to a temporary file beside it and then
// swapped in; the index is written at once before the swap (without a
// version of that file) and after it (with the new version), so that a kill
// at any moment never leaves a new file under an old version.
//
// Several copies of the program may share one folder: temporary files carry
// their writer's process id, and opening removes only those of writers that
// have ended.
//
// The index: the file CacheFileName (".cache") in the folder, groups of four
// lines per entry in the entries' sorted order: resource name, file name,
// version (a decimal Int64), an empty line. Entries of unknown version
// (negative) are not written. Reading stops at the end of the file or at a
// group whose name line is blank; a version line that is not a number reads
// as unknown (-1), and so does a file name that would leave the folder.
//
// Names: a resource name or file name that is absolute or has ".." as a path
// component is refused (it would reach outside the cache folder). File names
// may name sub-folders of the cache folder, which are made when a file is
// swapped in.
//
// Files: the folder levels the cache makes are this user's alone (0700);
// temporary and index files are created new (0600), never through a
// symbolic link, and the index is replaced by a rename, so a cache folder
// that others may write cannot be used to redirect a write. A link in place
// of a cached file counts as no file: it is fetched and replaced.
//
// Threads: the main thread and the icon preload thread use one cache.
// - The cache lock guards the entry list, the entries' fields and the index
//   file; it is held only for short steps, never while waiting for an entry
//   or while fetching.
// - Entry locks serialise the work on one resource: a second caller for the
//   same resource waits (in rounds of at most 10 s, serving the main
//   thread's hand-offs when it is the main thread) until the holder unlocks,
//   then finds the entry fresh or not by its version.
// - Entry locks are always taken before the cache lock.
// - Closing the cache wakes every waiter; a waiter woken that way raises
//   "File cache object not active". Entries stay alive for whoever still
//   holds them (shared ownership), so closing never frees an entry in use.

#include "Components/Nembra/NembraDownloadWhen.h"

#include "platform/Component.h"
#include "platform/StringList.h"
#include "platform/SyncObjs.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class TStream;

// One entry of the cache. Its fields change only under the cache lock; the
// holder of the entry's lock may read them without it.
class TResourceDescriptor : public TObject
{
  public:
    std::string ClassName() const override { return "TResourceDescriptor"; }

    // The file inside the cache folder; '' while not known.
    std::string FileName;
    // The local file's version; any negative value (-1 is used) is unknown.
    int64_t Version = -1;
    // Version as it was when the entry was locked, to see whether it changed.
    int64_t LockVersion = -1;

  private:
    friend class TNembraFileCache;
    // The opening of the cache that made the entry: an entry of an earlier
    // opening is no longer part of the cache.
    uint64_t m_opening = 0;
};

using TResourceDescriptorRef = std::shared_ptr<TResourceDescriptor>;

// What one fetch (DoDownloadFile) brought.
struct TDownloadAnswer
{
    // The temporary file holds a new file to put in place. False: nothing
    // new (the source has nothing newer), and the local file stays.
    bool NewFile = false;
    // The resource's file name ('' = the source has none) and the new
    // file's version, recorded in the entry once the file is in place.
    std::string FileName;
    int64_t Version = -1;
};

// Fetches one resource into DestFileName and sets Version; answers the
// resource's file name ('' = no file). Download is False when the option is
// downloadNever.
using TDownloadFileEvent =
    std::function<std::string(TObject* Sender, const std::string& ResourceName, const std::string& OS,
                              const std::string& DestFileName, bool Download, int64_t& Version)>;
// Supplies the file name of an entry that has none.
using TCheckFileNameEvent = std::function<void(TObject* Sender, const std::string& ResourceName,
                                               const std::string& OS, std::string& FileName)>;

// "Unable to download resource: \"%s\"".
extern const char* const SUnableToDownloadResource;
// "File cache object not active".
extern const char* const SFileCacheNotActive;

// Raises EUnsafePath when Name is absolute or has ".." as a path component.
void CheckCacheName(const std::string& Name);

class TNembraFileCache : public TComponent
{
  public:
    explicit TNembraFileCache(TComponent* AOwner = nullptr);
    // Closes the cache (the index is written).
    ~TNembraFileCache() override;
    std::string ClassName() const override { return "TNembraFileCache"; }

    // --- Settings. Changing the folder, the OS tag or the index name closes
    // the cache first.
    std::string OS() const;
    void SetOS(const std::string& Value);
    std::string CacheDir() const;
    // Makes the folder with all its parents (new levels 0700).
    void SetCacheDir(const std::string& Value);
    std::string CacheFileName() const;
    // '' gives ".cache".
    void SetCacheFileName(const std::string& Value);
    TDownloadWhen DownloadWhen() const { return m_downloadWhen.load(); }
    void SetDownloadWhen(TDownloadWhen Value) { m_downloadWhen = Value; }
    bool Active() const { return m_active.load(); }
    // On change: InternalOpen or InternalClose.
    void SetActive(bool Value);
    void Open() { SetActive(true); }
    void Close() { SetActive(false); }
    // Raises "File cache object not active" unless active.
    void CheckActive() const;

    TDownloadFileEvent OnDownloadFile;
    TCheckFileNameEvent OnCheckFileName;

    // --- Entries
    // The entry of that name, added (unknown version, no file name) when
    // missing; with Lock it is then locked (waiting for its holder). An
    // entry added while the cache is not active is kept, and the index read
    // at opening updates it.
    TResourceDescriptorRef GetResourceDescriptor(const std::string& ResourceName, bool Lock);
    // Waits while anybody holds the entry, then holds it. Null is ignored.
    // Raises "File cache object not active" when the cache closes meanwhile
    // (or had closed).
    void LockDescriptor(TResourceDescriptor* Entry);
    // A changed version is copied to every other entry of the same file name
    // that nobody holds; then the entry is free again.
    void UnLockDescriptor(TResourceDescriptor* Entry);
    // Waits until no entry is held, then keeps every entry from being locked
    // until UnLockAllDescriptors.
    void LockAllDescriptors();
    void UnLockAllDescriptors();
    bool IsLocked(const TResourceDescriptor* Entry) const;

    // Registers the file name of a resource (refused when unsafe).
    void AddResourceFile(const std::string& ResourceName, const std::string& FileName);
    // Makes the entry unknown when Version is negative or newer than its own.
    void InvalidateResource(const std::string& ResourceName, int32_t Version);
    // InvalidateResource(name, -1) for every non-blank name of the comma text.
    void InvalidateResources(const std::string& Names);
    // Makes unknown every entry whose file name FileNames holds (by that
    // list's own search), or every entry for null.
    void InvalidateFiles(const TStrings* FileNames);
    // Every entry unknown; no file is deleted.
    void ClearCache() { InvalidateFiles(nullptr); }
    // The low 32 bits of the entry's version when its file exists, else -1.
    int32_t GetResourceVersion(const std::string& ResourceName);
    // Writes the index while active. Raises EWriteError when it cannot.
    void Save();
    // The names with their entries as objects (valid while the cache stays
    // open); a null list is ignored.
    void GetList(TStrings* List);
    std::string GetCacheFileName() const;
    // The folder with a trailing delimiter followed by FileName; raises
    // EUnsafePath for a name that would leave the folder.
    std::string GetResourceFilePath(const std::string& FileName) const;

    // --- Fetching
    // The local file of the resource, fetched first when the option and the
    // entry's version say so. Changed (when given) tells whether the file is
    // new or differs in time or size from before. Raises
    // SUnableToDownloadResource when no file can be served.
    virtual void GetResourceFile(const std::string& ResourceName, bool* Changed, std::string& FileName);
    std::string GetResourceFile(const std::string& ResourceName, bool* Changed = nullptr);
    // Revalidates the entries against their source; nothing here.
    virtual void ValidateCache() {}

  protected:
    virtual void InternalOpen();
    virtual void InternalClose();
    // Fetches into a temporary file and swaps it in; Downloaded tells whether
    // a new file took the old one's place.
    virtual void InternalDownload(const std::string& ResourceName, TResourceDescriptor& Entry, bool& Downloaded);
    // Fills TempFile, or answers that there is nothing new; here through
    // OnDownloadFile (a handler that names a file but writes none has
    // nothing new; one that names no file leaves the resource without one,
    // whatever it wrote). The entry is left alone: the answer is recorded
    // once the file is in place.
    virtual TDownloadAnswer DoDownloadFile(const std::string& ResourceName, const TResourceDescriptor& Entry,
                                           const std::string& TempFile);

    TCriticalSection& CacheLock() const { return m_cacheLock; }
    // Entries in their sorted order, for descendants (under the cache lock).
    template <class Fn> void ForEachEntry(Fn&& fn)
    {
        TCriticalSectionGuard guard(m_cacheLock);
        for (auto& [name, entry] : m_entries)
            fn(name, *entry);
    }
    // Sets the entry's fields under the cache lock.
    void SetEntryVersion(TResourceDescriptor& Entry, int64_t Version);
    void SetEntryFileName(TResourceDescriptor& Entry, const std::string& FileName);
    // Writes the stream's whole content into a new file (0600, never through
    // a link, never over an existing file).
    static void SaveStreamToNewFile(TStream& Stream, const std::string& FileName);

  private:
    struct TNameLess
    {
        bool operator()(const std::string& a, const std::string& b) const;
    };

    void DeleteTempFiles(const std::string& Folder);
    void LoadIndex();
    // Raises EWriteError when the index cannot be written.
    void WriteIndex();
    // Waits one round (at most 10 s) for an entry to be unlocked.
    void WaitForEntryEvent(std::unique_lock<std::mutex>& Lock);
    void SignalEntryEvent();
    void CheckOpening(const TResourceDescriptor& Entry) const;
    std::string TempFileName(const std::string& Folder, const std::string& ResourceName) const;
    void SwapInFile(const std::string& Folder, TResourceDescriptor& Entry, const TDownloadAnswer& Answer,
                    const std::string& TempFile, bool& Downloaded);
    // Writes the index (under the cache lock) unless the entry's opening
    // of the cache has closed.
    void WriteIndexOfEntry(const TResourceDescriptor& Entry);

    mutable TCriticalSection m_cacheLock;
    std::string m_os;
    std::string m_cacheDir;
    std::string m_cacheFileName = ".cache";
    std::atomic<TDownloadWhen> m_downloadWhen{downloadNewer};
    std::atomic<bool> m_active{false};
    std::map<std::string, TResourceDescriptorRef, TNameLess> m_entries;
    uint64_t m_opening = 1;

    // The locked entries and the entry event; a leaf lock (taken last).
    mutable std::mutex m_entryMutex;
    std::vector<const TResourceDescriptor*> m_lockedEntries;
    bool m_allLocked = false;
    uint64_t m_entryEvents = 0;
};
