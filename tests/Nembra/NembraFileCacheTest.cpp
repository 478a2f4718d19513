#include "Components/Nembra/NembraFileCache.h"

#include "support/ChildProcess.h"
#include "support/ErrorOf.h"
#include "support/TempFolder.h"

#include "base/KldLogFile.h"
#include "platform/FileUtils.h"
#include "platform/StringList.h"
#include "platform/Threads.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// What a fetch of one resource gives: the file's content, its name in the
// cache and its version. A resource the source does not know fails.
struct TSourceFile
{
    std::string Content;
    std::string FileName;
    int64_t Version = 1;
};

class FileCacheTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        m_cache.SetCacheDir(Folder());
        m_cache.OnDownloadFile = [this](TObject*, const std::string& ResourceName, const std::string& OS,
                                        const std::string& DestFileName, bool Download, int64_t& Version) {
            return Fetch(ResourceName, OS, DestFileName, Download, Version);
        };
    }

    std::string Folder() const { return m_dir / "cache/"; }
    std::string Index() const { return Folder() + ".cache"; }

    std::string Fetch(const std::string& ResourceName, const std::string& OS, const std::string& DestFileName,
                      bool Download, int64_t& Version)
    {
        ++m_fetches;
        m_lastDownloadFlag = Download;
        {
            std::lock_guard<std::mutex> guard(m_sourceLock);
            m_lastOS = OS;
        }
        if (m_duringFetch)
            m_duringFetch(DestFileName);
        TSourceFile file;
        {
            std::lock_guard<std::mutex> guard(m_sourceLock);
            const auto it = m_source.find(ResourceName);
            if (it == m_source.end())
                throw Exception("The source has no " + ResourceName);
            file = it->second;
        }
        WriteText(DestFileName, file.Content);
        Version = file.Version;
        return file.FileName;
    }

    void Offer(const std::string& ResourceName, const std::string& Content, const std::string& FileName,
               int64_t Version)
    {
        std::lock_guard<std::mutex> guard(m_sourceLock);
        m_source[ResourceName] = {Content, FileName, Version};
    }

    int64_t VersionOf(const std::string& ResourceName)
    {
        return m_cache.GetResourceDescriptor(ResourceName, false)->Version;
    }

    TTempFolder m_dir;
    TNembraFileCache m_cache;
    std::mutex m_sourceLock;
    std::map<std::string, TSourceFile> m_source;
    std::atomic<int> m_fetches{0};
    std::atomic<bool> m_lastDownloadFlag{false};
    std::string m_lastOS;
    std::function<void(const std::string& DestFileName)> m_duringFetch;
};

// The index text the cache writes for these groups.
std::string IndexText(std::initializer_list<std::array<std::string, 3>> Groups)
{
    std::string text;
    for (const auto& g : Groups)
        text += g[0] + "\r\n" + g[1] + "\r\n" + g[2] + "\r\n\r\n";
    return text;
}

} // namespace

TEST_F(FileCacheTest, SettingsAndTheirDefaults)
{
    TNembraFileCache cache;
    EXPECT_EQ(cache.CacheFileName(), ".cache");
    EXPECT_EQ(cache.DownloadWhen(), downloadNewer);
    EXPECT_EQ(cache.OS(), "");
    EXPECT_FALSE(cache.Active());
    EXPECT_EQ(ErrorOf([&] { cache.CheckActive(); }), "File cache object not active");
    cache.SetCacheFileName("");
    EXPECT_EQ(cache.CacheFileName(), ".cache");

    // The folder is made with its parents, this user's alone.
    const std::string deep = m_dir / "a/b/c";
    cache.SetCacheDir(deep);
    ASSERT_TRUE(DirectoryExists(deep));
    struct stat st
    {
    };
    ASSERT_EQ(::stat((m_dir / "a").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(cache.GetCacheFileName(), deep + "/.cache");
    EXPECT_EQ(cache.GetResourceFilePath("x/y.dll"), deep + "/x/y.dll");

    // Changing the folder, the OS tag or the index name closes the cache.
    for (auto change : std::vector<std::function<void()>>{[&] { cache.SetCacheDir(m_dir / "other"); },
                                                          [&] { cache.SetOS("L64"); },
                                                          [&] { cache.SetCacheFileName("index"); }}) {
        cache.SetActive(true);
        ASSERT_TRUE(cache.Active());
        change();
        EXPECT_FALSE(cache.Active());
    }
}

TEST_F(FileCacheTest, TheOptionAndTheVersionDecideWhetherToFetch)
{
    struct Case
    {
        const char* Desc;
        TDownloadWhen When;
        bool FilePresent;
        int64_t Version;
        bool Fetches;
        int64_t VersionAfter;
    };
    const Case cases[] = {
        {"newer, version 5, file present", downloadNewer, true, 5, false, 5},
        {"newer, version 0, file present", downloadNewer, true, 0, true, 9},
        {"newer, unknown version", downloadNewer, true, -1, true, 9},
        {"newer, file missing", downloadNewer, false, 5, true, 9},
        {"never, file present, unknown version", downloadNever, true, -1, false, 0},
        {"never, file present, version 5", downloadNever, true, 5, false, 5},
        {"never, file missing", downloadNever, false, 5, true, 9},
        {"always, file present, version 5", downloadAlways, true, 5, true, 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        m_cache.SetActive(false);
        DeleteDirectoryTree(Folder());
        m_cache.SetCacheDir(Folder());
        m_cache.SetOS("L64");
        m_cache.SetDownloadWhen(c.When);
        m_cache.SetActive(true);
        if (c.FilePresent)
            WriteText(Folder() + "r.dll", "old");
        m_cache.AddResourceFile("R", "r.dll");
        m_cache.GetResourceDescriptor("R", false)->Version = c.Version;
        Offer("R", "new", "r.dll", 9);
        m_fetches = 0;

        EXPECT_EQ(m_cache.GetResourceFile("R"), Folder() + "r.dll");
        EXPECT_EQ(m_fetches.load(), c.Fetches ? 1 : 0);
        EXPECT_EQ(ReadText(Folder() + "r.dll"), c.Fetches ? "new" : "old");
        EXPECT_EQ(VersionOf("R"), c.VersionAfter);
        if (c.Fetches) {
            EXPECT_EQ(m_lastDownloadFlag.load(), c.When != downloadNever);
            EXPECT_EQ(m_lastOS, "L64");
        }
    }
    // The version 0 that "never" gives a present file is written to the index.
    m_cache.SetDownloadWhen(downloadNever);
    m_cache.GetResourceDescriptor("R", false)->Version = -1;
    m_cache.GetResourceFile("R");
    m_cache.Save();
    EXPECT_EQ(ReadText(Index()), "R\r\nr.dll\r\n0\r\n\r\n");
}

TEST_F(FileCacheTest, TheIndexIsWrittenInGroupsOfFourLinesAndReadBack)
{
    m_cache.SetActive(true);
    Offer("beta", "b", "b.dll", 20);
    Offer("Alpha", "a", "a.dll", 10);
    m_cache.GetResourceFile("beta");
    m_cache.GetResourceFile("Alpha");
    m_cache.AddResourceFile("gamma", "g.dll"); // no version yet: not written
    m_cache.Save();
    EXPECT_EQ(ReadText(Index()), IndexText({{"Alpha", "a.dll", "10"}, {"beta", "b.dll", "20"}}));
    struct stat st
    {
    };
    ASSERT_EQ(::stat(Index().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    m_cache.SetActive(false);
    m_cache.SetActive(true);
    EXPECT_EQ(VersionOf("ALPHA"), 10) << "names match without regard to case";
    EXPECT_EQ(m_cache.GetResourceDescriptor("beta", false)->FileName, "b.dll");
    TStringList names;
    m_cache.GetList(&names);
    ASSERT_EQ(names.Count(), 2) << "gamma had no version";
    EXPECT_EQ(names[0], "Alpha");
    EXPECT_EQ(static_cast<TResourceDescriptor*>(names.Objects(0))->Version, 10);
    m_cache.GetList(nullptr);
}

TEST_F(FileCacheTest, ADamagedIndexLosesOnlyWhatIsDamaged)
{
    struct Case
    {
        const char* Desc;
        std::string Index;
        std::map<std::string, std::pair<std::string, int64_t>> Expected; // name -> file, version
        std::vector<std::string> Missing;
    };
    const Case cases[] = {
        {"an empty name line stops reading",
         IndexText({{"A", "a.dll", "1"}}) + "\r\nB\r\nb.dll\r\n2\r\n\r\n",
         {{"A", {"a.dll", 1}}},
         {"B"}},
        {"a broken version reads as unknown",
         IndexText({{"A", "a.dll", "12x"}, {"B", "b.dll", "2"}}),
         {{"A", {"a.dll", -1}}, {"B", {"b.dll", 2}}},
         {}},
        {"a version beyond 64 bits reads as unknown",
         IndexText({{"A", "a.dll", "99999999999999999999"}}),
         {{"A", {"a.dll", -1}}},
         {}},
        {"a group cut short", "A\r\na.dll\r\n3\r\n\r\nB\r\nb.dll", {{"A", {"a.dll", 3}}, {"B", {"b.dll", -1}}}, {}},
        {"line feeds alone", "A\na.dll\n4\n\nB\nb.dll\n5\n\n", {{"A", {"a.dll", 4}}, {"B", {"b.dll", 5}}}, {}},
        {"a file name leaving the folder",
         IndexText({{"A", "../../a.dll", "6"}, {"B", "/etc/b", "7"}, {"C", "c/../../c", "8"}}),
         {{"A", {"", -1}}, {"B", {"", -1}}, {"C", {"", -1}}},
         {}},
        {"an empty file", "", {}, {"A"}},
        {"bytes that are no text", std::string("\0\xff\x01", 3), {}, {"A"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        m_cache.SetActive(false);
        WriteText(Index(), c.Index);
        m_cache.SetActive(true);
        TStringList names;
        m_cache.GetList(&names);
        for (const auto& [name, expected] : c.Expected) {
            const int i = names.IndexOf(name);
            ASSERT_GE(i, 0) << name;
            const auto* entry = static_cast<TResourceDescriptor*>(names.Objects(i));
            EXPECT_EQ(entry->FileName, expected.first) << name;
            EXPECT_EQ(entry->Version, expected.second) << name;
        }
        for (const std::string& name : c.Missing)
            EXPECT_LT(names.IndexOf(name), 0) << name;
    }
}

TEST_F(FileCacheTest, TheIndexIsNeverWrittenThroughALink)
{
    const std::string victim = m_dir / "victim.txt";
    WriteText(victim, "keep me");
    ASSERT_EQ(::symlink(victim.c_str(), Index().c_str()), 0);
    m_cache.SetActive(true);
    Offer("A", "a", "a.dll", 1);
    m_cache.GetResourceFile("A");
    m_cache.Save();
    EXPECT_EQ(ReadText(victim), "keep me");
    struct stat st
    {
    };
    ASSERT_EQ(::lstat(Index().c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode)) << "the link itself was replaced";
    EXPECT_EQ(ReadText(Index()), IndexText({{"A", "a.dll", "1"}}));
}

TEST_F(FileCacheTest, OpeningRemovesOnlyTemporaryFilesOfWritersThatEnded)
{
    const pid_t ended = ::fork();
    if (ended == 0)
        ::_exit(0);
    ::waitpid(ended, nullptr, 0);
    const std::string gone = std::to_string(ended);
    const std::string running = std::to_string(::getppid());
    const std::string ours = std::to_string(::getpid());
    const std::vector<std::string> stale = {"R.~" + gone + "-abcdefgh.temp", "R.~" + gone + "-abcdefgh.temp.temp",
                                            ".cache.~" + gone + "-Ab12Cd.temp"};
    const std::vector<std::string> kept = {"R.~" + running + "-abcdefgh.temp", "R.~" + ours + "-abcdefgh.temp",
                                           "R.45000.5.temp", "R.~x-abc.temp", "keep.dll"};
    for (const auto* names : {&stale, &kept})
        for (const std::string& name : *names)
            WriteText(Folder() + name, "x");
    m_cache.SetActive(true);
    for (const std::string& name : stale)
        EXPECT_FALSE(FileExists(Folder() + name)) << name;
    for (const std::string& name : kept)
        EXPECT_TRUE(FileExists(Folder() + name)) << name << ": its writer may still be at work, or it is not ours";
}

TEST_F(FileCacheTest, ASecondCopyOnTheFolderLeavesAFetchInProgressAlone)
{
    // The first copy serves version 5; the source has version 9. While the
    // first copy's fetch is on its way, a second copy (another process)
    // opens a cache on the same folder.
    WriteText(Folder() + "r.dll", "old");
    WriteText(Index(), IndexText({{"R", "r.dll", "5"}}));
    m_cache.SetDownloadWhen(downloadAlways);
    m_cache.SetActive(true);
    m_cache.OnDownloadFile = [this](TObject*, const std::string&, const std::string&, const std::string& Dest,
                                    bool, int64_t& Version) {
        WriteText(Dest, "new");
        const TestChild::Result second = TestChild::Run([this](const auto&) {
            TNembraFileCache other;
            other.SetCacheDir(Folder());
            other.SetActive(true);
            return 0;
        });
        EXPECT_TRUE(second.Exited) << second.Output;
        Version = 9;
        return std::string("r.dll");
    };
    EXPECT_EQ(ReadText(m_cache.GetResourceFile("R")), "new");
    EXPECT_EQ(VersionOf("R"), 9);
    EXPECT_EQ(ReadText(Index()), IndexText({{"R", "r.dll", "9"}}));
}

TEST_F(FileCacheTest, AFetchThatAnswersANewFileItDidNotWriteRecordsNothing)
{
    // "Nothing new" is the fetch's own answer; a new file that is not there
    // (removed by whatever) is a failed fetch, never the old file under the
    // new version.
    class TLosingCache : public TNembraFileCache
    {
      protected:
        TDownloadAnswer DoDownloadFile(const std::string&, const TResourceDescriptor&, const std::string&) override
        {
            TDownloadAnswer answer;
            answer.NewFile = NewFile;
            answer.FileName = "r.dll";
            answer.Version = 9;
            return answer;
        }

      public:
        bool NewFile = true;
    } cache;
    TTempFolder logs;
    Log.SetFileName(logs / "cache.log");
    Log.SetEnabled(true);
    cache.SetCacheDir(Folder());
    WriteText(Folder() + "r.dll", "old");
    WriteText(Index(), IndexText({{"R", "r.dll", "0"}}));
    cache.SetActive(true);
    EXPECT_EQ(ReadText(cache.GetResourceFile("R")), "old");
    EXPECT_LT(cache.GetResourceDescriptor("R", false)->Version, 1) << "not version 9";
    Log.SetEnabled(false);
    EXPECT_NE(ReadText(logs / "cache.log").find("The fetched file of \"R\" is missing"), std::string::npos);

    cache.NewFile = false;
    EXPECT_EQ(ReadText(cache.GetResourceFile("R")), "old");
    EXPECT_LT(cache.GetResourceDescriptor("R", false)->Version, 1);
}

TEST_F(FileCacheTest, TheIndexKnowsASwappedFileEvenWhenTheProcessEndsBeforeClosing)
{
    WriteText(Folder() + "r.dll", "old");
    WriteText(Index(), IndexText({{"R", "r.dll", "5"}, {"S", "s.dll", "3"}}));
    WriteText(Folder() + "s.dll", "s");
    Offer("R", "new", "r.dll", 9);
    // The child fetches, swaps and ends at once, as a kill would end it:
    // neither Save nor closing runs.
    const TestChild::Result child = TestChild::Run([this](const auto&) {
        m_cache.SetDownloadWhen(downloadAlways);
        m_cache.SetActive(true);
        return ReadText(m_cache.GetResourceFile("R")) == "new" ? 0 : 1;
    });
    ASSERT_TRUE(child.Exited) << child.Output;
    ASSERT_EQ(child.ExitCode, 0) << child.Output;
    EXPECT_EQ(ReadText(Folder() + "r.dll"), "new");
    EXPECT_EQ(ReadText(Index()), IndexText({{"R", "r.dll", "9"}, {"S", "s.dll", "3"}}));
    m_cache.SetActive(true);
    EXPECT_EQ(VersionOf("R"), 9);
}

TEST_F(FileCacheTest, ANewVersionOfASharedFileIsEveryNamesVersion)
{
    m_cache.SetActive(true);
    m_cache.AddResourceFile("ICON_A", "shared.png");
    m_cache.AddResourceFile("ICON_B", "shared.png");
    m_cache.AddResourceFile("OTHER", "other.png");
    m_cache.GetResourceDescriptor("OTHER", false)->Version = 3;
    Offer("ICON_A", "png", "shared.png", 42);
    m_cache.GetResourceFile("ICON_A");
    EXPECT_EQ(VersionOf("ICON_B"), 42);
    EXPECT_EQ(VersionOf("OTHER"), 3);

    // Making one name unknown makes the file unknown for the others too.
    m_cache.InvalidateResource("ICON_A", -1);
    EXPECT_EQ(VersionOf("ICON_B"), -1);

    // A name held by someone else at that moment keeps its own version.
    Offer("ICON_A", "png2", "shared.png", 43);
    auto b = m_cache.GetResourceDescriptor("ICON_B", true);
    m_cache.GetResourceFile("ICON_A");
    EXPECT_EQ(b->Version, -1);
    m_cache.UnLockDescriptor(b.get());
}

TEST_F(FileCacheTest, AFailedFetchServesTheOldFileOrSaysWhy)
{
    TTempFolder logs;
    Log.SetFileName(logs / "cache.log");
    Log.SetEnabled(true);
    m_cache.SetActive(true);
    m_cache.SetDownloadWhen(downloadAlways);

    // With an old file: logged, and the old file serves.
    WriteText(Folder() + "r.dll", "old");
    m_cache.AddResourceFile("R", "r.dll");
    EXPECT_EQ(m_cache.GetResourceFile("R"), Folder() + "r.dll");
    EXPECT_EQ(ReadText(Folder() + "r.dll"), "old");
    Log.SetEnabled(false);
    const std::string log = ReadText(logs / "cache.log");
    EXPECT_NE(log.find("The source has no R"), std::string::npos) << log;
    EXPECT_NE(log.find("TNembraFileCache"), std::string::npos) << log;

    // Without one: the reason follows the resource text.
    m_cache.AddResourceFile("NEW", "new.dll");
    EXPECT_EQ(ErrorOf([&] { m_cache.GetResourceFile("NEW"); }),
              "Unable to download resource: \"NEW\"\r\nError: The source has no NEW");
    m_cache.OnDownloadFile = [](TObject*, const std::string&, const std::string&, const std::string&, bool,
                                int64_t&) -> std::string { throw Exception("Error: 50% gone"); };
    EXPECT_EQ(ErrorOf([&] { m_cache.GetResourceFile("NEW"); }),
              "Unable to download resource: \"NEW\"\r\nError: 50% gone");
    EXPECT_EQ(FindFiles(Folder(), "*.temp").size(), 0u) << "no temporary file stays";
    // A fetch stopped on the way (the silent abort of a lost connection or a
    // cancelled progress) fails like any other fetch.
    m_cache.OnDownloadFile = [](TObject*, const std::string&, const std::string&, const std::string&, bool,
                                int64_t&) -> std::string { Abort(); };
    EXPECT_EQ(ErrorOf([&] { m_cache.GetResourceFile("NEW"); }),
              "Unable to download resource: \"NEW\"\r\nError: Operation aborted");
    Log.SetEnabled(true);
    EXPECT_EQ(m_cache.GetResourceFile("R"), Folder() + "r.dll");
    Log.SetEnabled(false);
    EXPECT_NE(ReadText(logs / "cache.log").find("Operation aborted"), std::string::npos) << "logged, old file served";

    // A fetch that names no file: its temporary file goes, nothing is served.
    m_cache.OnDownloadFile = [](TObject*, const std::string&, const std::string&, const std::string& Dest, bool,
                                int64_t& Version) {
        WriteText(Dest, "content");
        Version = 5;
        return std::string();
    };
    m_cache.AddResourceFile("NONAME", "");
    EXPECT_EQ(ErrorOf([&] { m_cache.GetResourceFile("NONAME"); }), "Unable to download resource: \"NONAME\"");
    EXPECT_EQ(FindFiles(Folder(), "*.temp").size(), 0u);

    // Not active: nothing is served.
    m_cache.SetActive(false);
    EXPECT_EQ(ErrorOf([&] { m_cache.GetResourceFile("R"); }), "Unable to download resource: \"R\"");
}

TEST_F(FileCacheTest, AFetchThatNamesNoFileLeavesTheEntryWithoutOneEvenWithAnOldFile)
{
    // The source answering "no file" makes the resource unservable until a
    // later fetch names one, whether or not the handler wrote anything, and
    // an old local file is not served in its place.
    struct TCase
    {
        const char* What;
        bool WritesFile;
    };
    const TCase cases[] = {{"writes nothing", false}, {"writes a file", true}};
    m_cache.SetActive(true);
    m_cache.SetDownloadWhen(downloadAlways);
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        WriteText(Folder() + "r.dll", "old");
        m_cache.AddResourceFile("R", "r.dll");
        const bool writes = c.WritesFile;
        m_cache.OnDownloadFile = [writes](TObject*, const std::string&, const std::string&, const std::string& Dest,
                                          bool, int64_t& Version) {
            if (writes)
                WriteText(Dest, "content");
            Version = 7;
            return std::string();
        };
        EXPECT_EQ(ErrorOf([&] { m_cache.GetResourceFile("R"); }), "Unable to download resource: \"R\"");
        EXPECT_EQ(m_cache.GetResourceDescriptor("R", false)->FileName, "");
        EXPECT_LT(VersionOf("R"), 0);
        EXPECT_EQ(FindFiles(Folder(), "*.temp").size(), 0u);
        EXPECT_EQ(ReadText(Folder() + "r.dll"), "old") << "no file is deleted";
    }

    // Without a handler nobody is asked: the entry keeps its file.
    m_cache.OnDownloadFile = nullptr;
    m_cache.AddResourceFile("R", "r.dll");
    EXPECT_EQ(m_cache.GetResourceFile("R"), Folder() + "r.dll");
    EXPECT_EQ(m_cache.GetResourceDescriptor("R", false)->FileName, "r.dll");
}

TEST_F(FileCacheTest, AFailedSwapKeepsTheOldFileAndFetchesAgain)
{
    m_cache.SetActive(true);
    WriteText(Folder() + "r.dll", "old");
    m_cache.AddResourceFile("R", "r.dll");
    m_cache.GetResourceDescriptor("R", false)->Version = 0;
    Offer("R", "new", "r.dll", 7);
    // The old file cannot be moved aside: a folder has the name it needs.
    m_duringFetch = [](const std::string& Dest) { ASSERT_EQ(::mkdir((Dest + ".temp").c_str(), 0700), 0); };
    EXPECT_EQ(m_cache.GetResourceFile("R"), Folder() + "r.dll");
    EXPECT_EQ(ReadText(Folder() + "r.dll"), "old");
    EXPECT_EQ(VersionOf("R"), -1) << "unknown, so that it is fetched again";

    m_duringFetch = nullptr;
    bool changed = false;
    m_cache.GetResourceFile("R", &changed);
    EXPECT_TRUE(changed);
    EXPECT_EQ(ReadText(Folder() + "r.dll"), "new");
    EXPECT_EQ(VersionOf("R"), 7);
}

TEST_F(FileCacheTest, NamesCannotLeaveTheCacheFolder)
{
    m_cache.SetActive(true);
    for (const std::string name : {"../x.dll", "/etc/passwd", "a/../../x", "..\\x.dll"}) {
        SCOPED_TRACE(name);
        EXPECT_THROW(m_cache.AddResourceFile("R", name), EUnsafePath);
        EXPECT_NE(ErrorOf([&] { m_cache.GetResourceFile(name); }).find("Unable to download resource: \"" + name),
                  std::string::npos);

        // From the source or from the file-name hook.
        Offer("S", "x", name, 1);
        EXPECT_NE(ErrorOf([&] { m_cache.GetResourceFile("S"); }).find("Unable to download resource: \"S\""),
                  std::string::npos);
        m_cache.OnCheckFileName = [&](TObject*, const std::string&, const std::string&, std::string& FileName) {
            FileName = name;
        };
        EXPECT_NE(ErrorOf([&] { m_cache.GetResourceFile("HOOKED"); }).find("Unable to download resource"),
                  std::string::npos);
        m_cache.OnCheckFileName = nullptr;
    }
    EXPECT_FALSE(FileExists(m_dir / "x.dll"));
    EXPECT_FALSE(FileExists(m_dir / "x"));
    // A file in a sub-folder of the cache is fine; the sub-folder is made.
    Offer("SUB", "s", "icons/s.png", 1);
    EXPECT_EQ(m_cache.GetResourceFile("SUB"), Folder() + "icons/s.png");
    EXPECT_EQ(ReadText(Folder() + "icons/s.png"), "s");
}

TEST_F(FileCacheTest, TheFileNameHookNamesUnknownFiles)
{
    m_cache.SetOS("L64");
    m_cache.SetActive(true);
    std::vector<std::string> asked;
    m_cache.OnCheckFileName = [&](TObject* Sender, const std::string& ResourceName, const std::string& OS,
                                  std::string& FileName) {
        EXPECT_EQ(Sender, &m_cache);
        asked.push_back(ResourceName + "/" + OS + "/" + FileName);
        FileName = "hooked.dll";
    };
    Offer("H", "h", "hooked.dll", 1);
    EXPECT_EQ(m_cache.GetResourceFile("H"), Folder() + "hooked.dll");
    m_cache.AddResourceFile("K", "known.dll");
    Offer("K", "k", "known.dll", 1);
    m_cache.GetResourceFile("K");
    EXPECT_EQ(asked, std::vector<std::string>{"H/L64/"}) << "only a blank file name asks";
}

TEST_F(FileCacheTest, ChangedTellsWhetherTheFileIsNew)
{
    m_cache.SetActive(true);
    Offer("R", "one", "r.dll", 1);
    bool changed = false;
    m_cache.GetResourceFile("R", &changed);
    EXPECT_TRUE(changed) << "a file that did not exist";
    m_cache.GetResourceFile("R", &changed);
    EXPECT_FALSE(changed) << "no fetch";
    m_cache.SetDownloadWhen(downloadAlways);
    Offer("R", "longer", "r.dll", 2);
    m_cache.GetResourceFile("R", &changed);
    EXPECT_TRUE(changed);
}

TEST_F(FileCacheTest, InvalidationMakesVersionsUnknown)
{
    m_cache.SetActive(true);
    for (const char* name : {"A", "B", "C"}) {
        WriteText(Folder() + name + std::string(".dll"), "x");
        m_cache.AddResourceFile(name, name + std::string(".dll"));
        m_cache.GetResourceDescriptor(name, false)->Version = 10;
    }
    m_cache.InvalidateResource("A", 10);
    EXPECT_EQ(VersionOf("A"), 10) << "not newer";
    m_cache.InvalidateResource("A", 11);
    EXPECT_EQ(VersionOf("A"), -1);
    m_cache.GetResourceDescriptor("A", false)->Version = 10;
    m_cache.InvalidateResource("A", -5);
    EXPECT_EQ(VersionOf("A"), -1);

    m_cache.GetResourceDescriptor("A", false)->Version = 10;
    m_cache.InvalidateResources("A, ,C");
    EXPECT_EQ(VersionOf("A"), -1);
    EXPECT_EQ(VersionOf("B"), 10);
    EXPECT_EQ(VersionOf("C"), -1);

    m_cache.GetResourceDescriptor("A", false)->Version = 10;
    m_cache.GetResourceDescriptor("C", false)->Version = 10;
    TStringList files;
    files.Add("b.DLL");
    m_cache.InvalidateFiles(&files);
    EXPECT_EQ(VersionOf("A"), 10);
    EXPECT_EQ(VersionOf("B"), -1) << "found by the list's own search, without case";
    m_cache.ClearCache();
    EXPECT_EQ(VersionOf("A"), -1);
    EXPECT_EQ(VersionOf("C"), -1);
    EXPECT_TRUE(FileExists(Folder() + "A.dll")) << "no file is deleted";
}

TEST_F(FileCacheTest, ResourceVersionsAreTheLow32BitsOfAnExistingFile)
{
    m_cache.SetActive(true);
    WriteText(Folder() + "a.dll", "x");
    m_cache.AddResourceFile("A", "a.dll");
    m_cache.GetResourceDescriptor("A", false)->Version = (int64_t(3) << 32) | 0x12345678;
    EXPECT_EQ(m_cache.GetResourceVersion("A"), 0x12345678);
    m_cache.AddResourceFile("B", "b.dll");
    m_cache.GetResourceDescriptor("B", false)->Version = 5;
    EXPECT_EQ(m_cache.GetResourceVersion("B"), -1) << "no file";
}

TEST_F(FileCacheTest, ALinkInPlaceOfACachedFileIsReplacedNotFollowed)
{
    const std::string victim = m_dir / "victim.txt";
    WriteText(victim, "keep me");
    m_cache.SetActive(true);
    m_cache.AddResourceFile("R", "r.dll");
    m_cache.GetResourceDescriptor("R", false)->Version = 5;
    ASSERT_EQ(::symlink(victim.c_str(), (Folder() + "r.dll").c_str()), 0);
    Offer("R", "fetched", "r.dll", 6);
    m_cache.GetResourceFile("R");
    EXPECT_EQ(m_fetches.load(), 1) << "a link is no file";
    EXPECT_EQ(ReadText(victim), "keep me");
    EXPECT_EQ(ReadText(Folder() + "r.dll"), "fetched");
}

// --- Entry locks

TEST_F(FileCacheTest, TwoThreadsFetchingOneResourceFetchItOnce)
{
    m_cache.SetActive(true);
    Offer("R", "content", "r.dll", 7);
    std::atomic<int> inside{0}, most{0};
    m_duringFetch = [&](const std::string&) {
        most = std::max(most.load(), ++inside);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        --inside;
    };
    std::vector<std::string> results(4);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < results.size(); ++i)
        threads.emplace_back([&, i] { results[i] = m_cache.GetResourceFile("R"); });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(m_fetches.load(), 1) << "the others found it fresh";
    EXPECT_EQ(most.load(), 1);
    for (const std::string& r : results)
        EXPECT_EQ(r, Folder() + "r.dll");
}

TEST_F(FileCacheTest, AHeldEntryKeepsItsCallersWaitingWhereverItStands)
{
    m_cache.SetActive(true);
    Offer("C", "c", "c.dll", 1);
    auto a = m_cache.GetResourceDescriptor("A", true);
    auto b = m_cache.GetResourceDescriptor("B", true);
    auto c = m_cache.GetResourceDescriptor("C", true);
    std::atomic<bool> done{false};
    std::thread waiter([&] {
        m_cache.GetResourceFile("C");
        done = true;
    });
    m_cache.UnLockDescriptor(a.get());
    m_cache.UnLockDescriptor(b.get());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(done.load()) << "C is still held";
    EXPECT_TRUE(m_cache.IsLocked(c.get()));
    m_cache.UnLockDescriptor(c.get());
    waiter.join();
    EXPECT_TRUE(done.load());
}

TEST_F(FileCacheTest, AWaiterWokenByClosingFailsCleanly)
{
    m_cache.SetActive(true);
    auto held = m_cache.GetResourceDescriptor("R", true);
    std::string error;
    std::thread waiter([&] { error = ErrorOf([&] { m_cache.LockDescriptor(held.get()); }); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    m_cache.SetActive(false);
    waiter.join();
    EXPECT_EQ(error, "File cache object not active");
    // The holder's entry outlives the cache's list; unlocking it is harmless.
    EXPECT_EQ(held->Version, -1);
    m_cache.UnLockDescriptor(held.get());
    m_cache.SetActive(true);
    EXPECT_FALSE(m_cache.IsLocked(held.get()));
}

TEST_F(FileCacheTest, LockingEveryEntryWaitsForTheHolders)
{
    m_cache.SetActive(true);
    m_cache.AddResourceFile("R", "r.dll");
    m_cache.GetResourceDescriptor("R", false)->Version = 4;
    auto held = m_cache.GetResourceDescriptor("R", true);
    std::atomic<bool> done{false};
    std::thread clearing([&] {
        m_cache.ClearCache();
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(done.load());
    m_cache.UnLockDescriptor(held.get());
    clearing.join();
    EXPECT_EQ(VersionOf("R"), -1);
}

TEST_F(FileCacheTest, InvalidatingWhileOthersFetchNeverDeadlocks)
{
    // Entry locks come before the cache lock everywhere: a holder that
    // unlocks (which takes the cache lock) never waits for a thread that
    // holds the cache lock while waiting for entries.
    m_cache.SetActive(true);
    for (int i = 0; i < 8; ++i)
        Offer("R" + std::to_string(i), "x", "r" + std::to_string(i) + ".dll", i + 1);
    std::atomic<bool> stop{false};
    std::vector<std::thread> fetchers;
    for (int t = 0; t < 3; ++t)
        fetchers.emplace_back([&, t] {
            for (int n = 0; !stop; ++n)
                m_cache.GetResourceFile("R" + std::to_string((n + t) % 8));
        });
    for (int n = 0; n < 200; ++n) {
        TStringList files;
        files.Add("r" + std::to_string(n % 8) + ".dll");
        m_cache.InvalidateFiles(&files);
        m_cache.InvalidateResources("R1,R2");
        m_cache.Save();
    }
    stop = true;
    for (auto& t : fetchers)
        t.join();
    SUCCEED();
}

TEST_F(FileCacheTest, TheMainThreadServesHandOffsWhileItWaitsForAnEntry)
{
    // The holder's fetch hands work to the main thread (as a remote call's
    // completion does) while the main thread waits for the same entry.
    m_cache.SetActive(true);
    Offer("R", "content", "r.dll", 3);
    std::atomic<bool> fetching{false};
    m_duringFetch = [&](const std::string&) {
        if (MainThread::IsMainThread())
            return;
        fetching = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        MainThread::Synchronize([] {});
    };
    std::thread worker([&] { m_cache.GetResourceFile("R"); });
    while (!fetching)
        std::this_thread::yield();
    EXPECT_EQ(m_cache.GetResourceFile("R"), Folder() + "r.dll");
    worker.join();
    EXPECT_EQ(m_fetches.load(), 1);
}
