#pragma once
// The resource cache that fetches through a file system
// (`TNembraFileSystemCache`, unit NembraFileSystemCache).
//
// URI names the file system (the sign-in reply's "RESOURCES"); the object is
// made on first use. A fetch asks the file system for the entry's file with
// the entry's version as time stamp: an unchanged file is not sent again and
// the old one stays. ValidateCache lists the files changed since the
// greatest version seen and marks their entries unknown, so that the next
// request fetches them.
//
// Threads: the file system object is made and replaced under the cache
// lock, and held by shared ownership: changing URI while another thread
// fetches frees the old object only when that fetch is done with it.

#include "Components/Nembra/NembraFileCache.h"
#include "Components/Nembra/NembraFileSystem.h"

#include <cstdint>
#include <memory>
#include <string>

class TNembraFileSystemCache : public TNembraFileCache
{
  public:
    explicit TNembraFileSystemCache(TComponent* AOwner = nullptr);
    ~TNembraFileSystemCache() override;
    std::string ClassName() const override { return "TNembraFileSystemCache"; }

    std::string URI() const;
    // A different address drops the file system object; the next fetch
    // makes a new one.
    void SetURI(const std::string& Value);
    // The greatest version seen so far (0 when none is positive).
    int64_t MaxVersion() const;
    // The file system of URI, made when there is none yet.
    std::shared_ptr<TNembraFileSystem> FileSystem();

    // Requires the cache active; only with the option "newer".
    void ValidateCache() override;

  protected:
    void InternalOpen() override;
    TDownloadAnswer DoDownloadFile(const std::string& ResourceName, const TResourceDescriptor& Entry,
                                   const std::string& TempFile) override;

  private:
    std::string m_uri;
    std::shared_ptr<TNembraFileSystem> m_fileSystem;
    int64_t m_maxVersion = 0;
};
