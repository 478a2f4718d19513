#include "Components/Nembra/NembraFileSystemCache.h"

#include "Components/Nembra/NembraClient.h"
#include "Components/Nembra/NembraJSON.h"
#include "Components/Nembra/NembraLib.h"
#include "Components/Nembra/NembraLocalFileSystem.h"
#include "Components/Nembra/NembraRemoteFileSystem.h"

#include "support/AppServerProcess.h"
#include "support/ErrorOf.h"
#include "support/FileSystemTesting.h"
#include "support/TempFolder.h"

#include "base/KldLogFile.h"

#include "platform/FileUtils.h"
#include "platform/StringList.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>

namespace {

// Counts the fetches that reach the file system.
class TCountingCache : public TNembraFileSystemCache
{
  public:
    std::atomic<int> Fetches{0};

  protected:
    TDownloadAnswer DoDownloadFile(const std::string& ResourceName, const TResourceDescriptor& Entry,
                                   const std::string& TempFile) override
    {
        ++Fetches;
        return TNembraFileSystemCache::DoDownloadFile(ResourceName, Entry, TempFile);
    }
};

class FileSystemCacheTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        m_cache.SetCacheDir(m_cacheDir.Path());
        m_cache.SetURI("file://" + m_source.Path());
        m_cache.SetActive(true);
    }
    int64_t VersionOf(const std::string& Name) { return m_cache.GetResourceDescriptor(Name, false)->Version; }

    TTempFolder m_source;
    TTempFolder m_cacheDir;
    TCountingCache m_cache;
};

} // namespace

TEST_F(FileSystemCacheTest, AFileIsFetchedOnceAndItsTimeStampIsItsVersion)
{
    WriteText(m_source / "a.dll", "version one");
    SetFileTimeStamp(m_source / "a.dll", 131000000000000000LL);
    m_cache.AddResourceFile("A", "a.dll");
    EXPECT_EQ(ReadText(m_cache.GetResourceFile("A")), "version one");
    EXPECT_EQ(VersionOf("A"), 131000000000000000LL);
    m_cache.GetResourceFile("A");
    EXPECT_EQ(m_cache.Fetches.load(), 1) << "a known version is not asked for again";

    // "always" asks the source each time; an unchanged file is not sent.
    m_cache.SetDownloadWhen(downloadAlways);
    bool changed = true;
    m_cache.GetResourceFile("A", &changed);
    EXPECT_EQ(m_cache.Fetches.load(), 2);
    EXPECT_FALSE(changed);
    EXPECT_EQ(FindFiles(m_cacheDir.Path(), "*.temp").size(), 0u);

    WriteText(m_source / "a.dll", "version two");
    SetFileTimeStamp(m_source / "a.dll", 132000000000000000LL);
    m_cache.GetResourceFile("A", &changed);
    EXPECT_TRUE(changed);
    EXPECT_EQ(ReadText(m_cacheDir / "a.dll"), "version two");
    EXPECT_EQ(VersionOf("A"), 132000000000000000LL);
}

TEST_F(FileSystemCacheTest, ValidationMarksTheFilesChangedSinceTheGreatestVersion)
{
    for (const char* name : {"a.dll", "b.dll"}) {
        WriteText(m_source / name, name);
        SetFileTimeStamp(m_source / name, 131000000000000000LL);
    }
    ASSERT_TRUE(ForceDirectories(m_source / "folder.dll"));
    m_cache.AddResourceFile("A", "a.dll");
    m_cache.AddResourceFile("B", "b.dll");
    m_cache.GetResourceFile("A");
    m_cache.GetResourceFile("B");

    // Opening again takes the greatest version from the index.
    m_cache.SetActive(false);
    m_cache.SetActive(true);
    EXPECT_EQ(m_cache.MaxVersion(), 131000000000000000LL);

    WriteText(m_source / "b.dll", "b changed");
    SetFileTimeStamp(m_source / "b.dll", 133000000000000000LL);
    SetFileTimeStamp(m_source / "folder.dll", 134000000000000000LL);
    m_cache.ValidateCache();
    EXPECT_EQ(VersionOf("A"), 131000000000000000LL);
    EXPECT_EQ(VersionOf("B"), -1);
    EXPECT_EQ(m_cache.MaxVersion(), 134000000000000000LL) << "the listing's maximum";
    EXPECT_EQ(ReadText(m_cache.GetResourceFile("B")), "b changed");

    // Only the option "newer" validates.
    for (TDownloadWhen when : {downloadAlways, downloadNever}) {
        m_cache.SetDownloadWhen(when);
        SetFileTimeStamp(m_source / "a.dll", 135000000000000000LL);
        m_cache.ValidateCache();
        EXPECT_EQ(VersionOf("A"), 131000000000000000LL);
    }
    m_cache.SetActive(false);
    EXPECT_EQ(ErrorOf([&] { m_cache.ValidateCache(); }), "File cache object not active");
}

TEST_F(FileSystemCacheTest, AFetchThatFailsUsesTheOldFileOrSaysWhy)
{
    m_cache.AddResourceFile("GONE", "gone.dll");
    EXPECT_EQ(ErrorOf([&] { m_cache.GetResourceFile("GONE"); }),
              "Unable to download resource: \"GONE\"\r\nError: File not found: \"gone.dll");
    WriteText(m_cacheDir / "gone.dll", "old copy");
    m_cache.InvalidateResource("GONE", -1);
    EXPECT_EQ(ReadText(m_cache.GetResourceFile("GONE")), "old copy");
}

TEST_F(FileSystemCacheTest, ANewAddressTakesEffectAtTheNextFetch)
{
    TTempFolder other;
    WriteText(m_source / "a.dll", "first source");
    WriteText(other / "a.dll", "second source");
    SetFileTimeStamp(m_source / "a.dll", 131000000000000000LL);
    SetFileTimeStamp(other / "a.dll", 132000000000000000LL);
    m_cache.AddResourceFile("A", "a.dll");
    m_cache.GetResourceFile("A");
    const auto before = m_cache.FileSystem();
    m_cache.SetURI("file://" + other.Path());
    EXPECT_EQ(m_cache.URI(), "file://" + other.Path());
    EXPECT_NE(m_cache.FileSystem(), before);
    m_cache.SetDownloadWhen(downloadAlways);
    EXPECT_EQ(ReadText(m_cache.GetResourceFile("A")), "second source");
    EXPECT_EQ(static_cast<TNembraLocalFileSystem&>(*before).Root(), m_source.Path()) << "still whole for its holder";
}

// --- Against the local server

namespace {

const char* const kResourcesSql = R"(
INSERT OR REPLACE INTO SRV_CLIENT_INFO (NAME, VALUE) VALUES ('RESOURCES', 'vrs+MAIN?resources');
)";

class RemoteCacheTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        // As the sign-in does: the cache's address comes from the reply.
        SignInAsAdmin(m_main, m_server.ServerURL(), [this](TObject* Sender) {
            TStringList info;
            JSONToStrings(static_cast<TNembraRequest*>(Sender)->GetJSONObject().GetValues("CLIENT_INFO").GetAsArray(),
                          info);
            m_cache.SetURI(info.Values("RESOURCES"));
        });
        m_cache.SetCacheDir(m_cacheDir.Path());
        m_cache.SetActive(true);
        ASSERT_TRUE(ForceDirectories(Share()));
    }
    std::string Share() const { return m_files / "resources/"; }

    TTempFolder m_files;
    TTempFolder m_cacheDir;
    TAppServerProcess m_server{{"--files", m_files.Path(), "--delay", "150@VRS.GetFile"}, kResourcesSql};
    TNembraConnection m_main;
    TCountingCache m_cache;
};

} // namespace

TEST_F(RemoteCacheTest, TheSignInReplyNamesTheStoreAndResourcesComeFromIt)
{
    EXPECT_EQ(m_cache.URI(), "vrs+MAIN?resources");
    WriteText(Share() + "app.so", "library bytes");
    SetFileTimeStamp(Share() + "app.so", 131000000000000000LL);
    m_cache.AddResourceFile("APP", "app.so");
    EXPECT_EQ(ReadText(m_cache.GetResourceFile("APP")), "library bytes");
    EXPECT_EQ(m_cache.GetResourceDescriptor("APP", false)->Version, 131000000000000000LL);

    // Validation through the remote listing.
    m_cache.SetActive(false);
    m_cache.SetActive(true);
    WriteText(Share() + "app.so", "new library");
    SetFileTimeStamp(Share() + "app.so", 132000000000000000LL);
    m_cache.ValidateCache();
    EXPECT_EQ(m_cache.GetResourceDescriptor("APP", false)->Version, -1);
    EXPECT_EQ(ReadText(m_cache.GetResourceFile("APP")), "new library");

    // A file the store lacks gives nothing: there is no file to serve.
    m_cache.AddResourceFile("NONE", "none.so");
    EXPECT_EQ(ErrorOf([&] { m_cache.GetResourceFile("NONE"); }), "Unable to download resource: \"NONE\"");
    // With an old copy, the copy serves.
    WriteText(m_cacheDir / "none.so", "old copy");
    EXPECT_EQ(ReadText(m_cache.GetResourceFile("NONE")), "old copy");
}

TEST_F(RemoteCacheTest, AStoreThatRefusesTheCallIsAFailedFetch)
{
    TTempFolder logs;
    Log.SetFileName(logs / "cache.log");
    Log.SetEnabled(true);
    m_cache.SetURI("vrs+MAIN?../outside");
    m_cache.AddResourceFile("APP", "app.so");
    EXPECT_EQ(ErrorOf([&] { m_cache.GetResourceFile("APP"); }),
              "Unable to download resource: \"APP\"\r\nError: Invalid share name: ../outside");
    // With an old copy, the copy serves and the refusal is logged.
    WriteText(m_cacheDir / "app.so", "old copy");
    EXPECT_EQ(ReadText(m_cache.GetResourceFile("APP")), "old copy");
    Log.SetEnabled(false);
    EXPECT_NE(ReadText(logs / "cache.log").find("Invalid share name: ../outside"), std::string::npos);
}

TEST_F(RemoteCacheTest, TwoThreadsAskingForOneResourceCauseOneFetch)
{
    WriteText(Share() + "icon.png", "png");
    m_cache.AddResourceFile("ICON", "icon.png");
    std::string first, second;
    std::thread other([&] { first = m_cache.GetResourceFile("ICON"); });
    second = m_cache.GetResourceFile("ICON");
    other.join();
    EXPECT_EQ(first, second);
    EXPECT_EQ(m_cache.Fetches.load(), 1);
    EXPECT_EQ(ReadText(second), "png");
}

TEST_F(RemoteCacheTest, ChangingTheAddressDuringAFetchFreesNothingInUse)
{
    WriteText(Share() + "slow.bin", "slow");
    m_cache.AddResourceFile("SLOW", "slow.bin");
    // The fetch holds a reference to the file system it asks while the
    // server holds each VRS.GetFile for 150 ms; the address changes once it
    // has taken that reference (counting fetches alone could change it
    // before, and the fetch would then ask the new store).
    const long idle = m_cache.FileSystem().use_count();
    std::string fetched;
    std::thread fetcher([&] { fetched = m_cache.GetResourceFile("SLOW"); });
    while (m_cache.FileSystem().use_count() <= idle)
        std::this_thread::yield();
    m_cache.SetURI("vrs+MAIN?elsewhere");
    fetcher.join();
    EXPECT_EQ(ReadText(fetched), "slow");
    EXPECT_EQ(static_cast<TNembraRemoteFileSystem&>(*m_cache.FileSystem()).Share(), "elsewhere");
}
