#include "Components/Nembra/NembraFileSystemCache.h"

#include "platform/Streams.h"
#include "platform/StringList.h"

#include <algorithm>

TNembraFileSystemCache::TNembraFileSystemCache(TComponent* AOwner) : TNembraFileCache(AOwner) {}

TNembraFileSystemCache::~TNembraFileSystemCache()
{
    try {
        SetActive(false);
    } catch (...) {
        // Closing writes the index and logs its own failure.
    }
}

std::string TNembraFileSystemCache::URI() const
{
    TCriticalSectionGuard guard(CacheLock());
    return m_uri;
}

void TNembraFileSystemCache::SetURI(const std::string& Value)
{
    TCriticalSectionGuard guard(CacheLock());
    if (Value == m_uri)
        return;
    m_fileSystem.reset();
    m_uri = Value;
}

int64_t TNembraFileSystemCache::MaxVersion() const
{
    TCriticalSectionGuard guard(CacheLock());
    return m_maxVersion;
}

std::shared_ptr<TNembraFileSystem> TNembraFileSystemCache::FileSystem()
{
    TCriticalSectionGuard guard(CacheLock());
    if (!m_fileSystem)
        m_fileSystem = CreateFileSystem(m_uri);
    return m_fileSystem;
}

void TNembraFileSystemCache::InternalOpen()
{
    TNembraFileCache::InternalOpen();
    TCriticalSectionGuard guard(CacheLock());
    m_maxVersion = 0;
    ForEachEntry([this](const std::string&, TResourceDescriptor& Entry) {
        m_maxVersion = std::max(m_maxVersion, Entry.Version);
    });
}

TDownloadAnswer TNembraFileSystemCache::DoDownloadFile(const std::string& ResourceName,
                                                       const TResourceDescriptor& Entry, const std::string& TempFile)
{
    const std::shared_ptr<TNembraFileSystem> fileSystem = FileSystem();
    TDownloadAnswer answer;
    answer.FileName = Entry.FileName;
    answer.Version = Entry.Version;
    std::unique_ptr<TStream> content = fileSystem->GetFile(Entry.FileName, answer.Version);
    if (!content)
        return answer; // unchanged: the old file stays
    SaveStreamToNewFile(*content, TempFile);
    answer.NewFile = true;
    return answer;
}

void TNembraFileSystemCache::ValidateCache()
{
    CheckActive();
    if (DownloadWhen() != downloadNewer)
        return;
    const std::shared_ptr<TNembraFileSystem> fileSystem = FileSystem();
    TStringList changed;
    int64_t listed = 0;
    fileSystem->FindFiles(
        "*.*", MaxVersion(), listed, faAnyFile, {},
        [&changed](TObject*, const std::string& Name, const std::string&, int32_t Attributes, int64_t, int64_t,
                   void*) {
            if ((Attributes & faDirectory) == 0)
                changed.Add(Name);
        },
        nullptr);
    InvalidateFiles(&changed);
    TCriticalSectionGuard guard(CacheLock());
    m_maxVersion = std::max(m_maxVersion, listed);
}
