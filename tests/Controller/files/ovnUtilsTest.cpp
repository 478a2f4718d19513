#include "Components/Controller/files/ovnUtils.h"
#include "platform/Streams.h"
#include "platform/StringList.h"
#include "support/ErrorOf.h"
#include "support/TempFolder.h"

#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <pwd.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <zlib.h>

namespace {

// A memory stream holding `bytes`, positioned at its end.
std::unique_ptr<TMemoryStream> StreamOf(const std::vector<uint8_t>& bytes)
{
    auto s = std::make_unique<TMemoryStream>();
    if (!bytes.empty())
        s->WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    return s;
}

std::vector<uint8_t> BytesOf(const TMemoryStream& s)
{
    return std::vector<uint8_t>(s.Memory(), s.Memory() + s.Size());
}

std::vector<uint8_t> Pattern(size_t n)
{
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<uint8_t>((i * 31) % 251);
    return v;
}

uint32_t MarkerOf(const TMemoryStream& s)
{
    uint32_t m = 0;
    std::memcpy(&m, s.Memory(), 4);
    return m;
}

} // namespace

TEST(ovnUtils, CompressMarksBySize)
{
    struct Case
    {
        const char* Desc;
        size_t Input;
        uint32_t ExpectedMarker;
    };
    const Case cases[] = {
        {"empty", 0, ovnRawMarker},
        {"2048 bytes stay raw", 2048, ovnRawMarker},
        {"2049 bytes are compressed", 2049, ovnZlibMarker},
        {"large", 100000, ovnZlibMarker},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        const std::vector<uint8_t> input = Pattern(c.Input);
        auto source = StreamOf(input);
        TMemoryStream packed;
        ovnCompress(*source, packed);
        ASSERT_GE(packed.Size(), 4);
        EXPECT_EQ(c.ExpectedMarker, MarkerOf(packed));
        if (c.ExpectedMarker == ovnRawMarker)
            EXPECT_EQ(int64_t(c.Input + 4), packed.Size());
        else {
            // The payload is a plain zlib stream.
            std::vector<uint8_t> out(c.Input);
            uLongf outSize = out.size();
            EXPECT_EQ(Z_OK, uncompress(out.data(), &outSize, packed.Memory() + 4, packed.Size() - 4));
            EXPECT_EQ(input, out);
        }
        TMemoryStream unpacked;
        ovnDecompress(packed, unpacked);
        EXPECT_EQ(0, unpacked.Position());
        EXPECT_EQ(input, BytesOf(unpacked));
    }
}

TEST(ovnUtils, CompressWritesAtDestPosition)
{
    auto source = StreamOf({1, 2, 3});
    auto dest = StreamOf({9, 9});
    ovnCompress(*source, *dest);
    EXPECT_EQ(std::vector<uint8_t>({9, 9, 0x0D, 0x0C, 0x0B, 0x0A, 1, 2, 3}), BytesOf(*dest));
    EXPECT_EQ(9, dest->Position());
}

TEST(ovnUtils, DecompressOfOtherMarkerCopiesTheRest)
{
    auto source = StreamOf({'a', 'b', 'c', 'd', 5, 6, 7});
    TMemoryStream dest;
    ovnDecompress(*source, dest);
    EXPECT_EQ(std::vector<uint8_t>({5, 6, 7}), BytesOf(dest));
}

// A small hostile input must not inflate without end: the two-argument form
// stops at its cap, the sized form at the size it was given.
TEST(ovnUtils, DecompressStopsAtItsLimit)
{
    auto zeros = [](int64_t size) {
        TMemoryStream plain;
        plain.SetSize(size);
        TMemoryStream packed;
        ovnCompress(plain, packed);
        return packed.Size() < size / 100 ? BytesOf(packed) : std::vector<uint8_t>();
    };
    const std::vector<uint8_t> bomb = zeros(ovnMaxDecompressedSize + 1);
    ASSERT_FALSE(bomb.empty());
    {
        auto source = StreamOf(bomb);
        auto dest = StreamOf({42});
        EXPECT_EQ(ErrorOf<EovnCompress>([&] { ovnDecompress(*source, *dest); }),
                  "Decompressed data exceed " + IntToStr(ovnMaxDecompressedSize) + " bytes");
        EXPECT_EQ(std::vector<uint8_t>({42}), BytesOf(*dest));
    }
    const std::vector<uint8_t> small = zeros(10000);
    struct Case
    {
        const char* Desc;
        std::vector<uint8_t> Input;
        int64_t Expected;
        std::string Error;
    };
    const Case cases[] = {
        {"exact size", small, 10000, ""},
        {"more than expected", small, 9999, "Decompressed data exceed 9999 bytes"},
        {"less than expected", small, 10001, "Decompressed data are 10000 bytes, expected 10001"},
        {"raw, more than expected", {0x0D, 0x0C, 0x0B, 0x0A, 1, 2, 3}, 2, "Decompressed data exceed 2 bytes"},
        {"raw, exact", {0x0D, 0x0C, 0x0B, 0x0A, 1, 2, 3}, 3, ""},
        {"negative size", small, -1, "Invalid expected size -1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        auto source = StreamOf(c.Input);
        TMemoryStream dest;
        EXPECT_EQ(ErrorOf<EovnCompress>([&] { ovnDecompress(*source, dest, c.Expected); }), c.Error);
        EXPECT_EQ(dest.Size(), c.Error.empty() ? c.Expected : 0);
    }
}

TEST(ovnUtils, DecompressRefusesShortOrDamagedInput)
{
    TMemoryStream good;
    {
        auto source = StreamOf(Pattern(5000));
        ovnCompress(*source, good);
    }
    std::vector<uint8_t> cut = BytesOf(good);
    cut.resize(cut.size() / 2);
    std::vector<uint8_t> damaged = BytesOf(good);
    for (size_t i = 6; i < 40; ++i)
        damaged[i] ^= 0x5A;
    struct Case
    {
        const char* Desc;
        std::vector<uint8_t> Input;
    };
    const Case cases[] = {
        {"empty", {}},
        {"three bytes", {0xD0, 0xC0, 0xB0}},
        {"marker without data", {0xD0, 0xC0, 0xB0, 0xA0}},
        {"cut stream", cut},
        {"damaged stream", damaged},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        auto source = StreamOf(c.Input);
        auto dest = StreamOf({42});
        EXPECT_THROW(ovnDecompress(*source, *dest), EovnCompress);
        EXPECT_EQ(std::vector<uint8_t>({42}), BytesOf(*dest));
    }
}

TEST(ovnUtils, CriticalSectionTimesOut)
{
    TovnCriticalSection lock("cache");
    EXPECT_EQ(60000, lock.TimeOut());
    lock.SetTimeOut(30);
    TEvent held, done;
    std::thread owner([&] {
        lock.Enter();
        held.SetEvent();
        done.WaitFor();
        lock.Leave();
    });
    held.WaitFor();
    try {
        lock.Acquire();
        ADD_FAILURE() << "Acquire should time out";
        lock.Leave();
    } catch (const EovnCriticalSection& e) {
        EXPECT_EQ("Lock \"cache\" timed out: 30 ms", e.Message());
    }
    done.SetEvent();
    owner.join();
    lock.Acquire(); // free again
    lock.Leave();
}

TEST(ovnUtils, PathsAndNames)
{
    EXPECT_EQ("", ovnFixPath("  "));
    EXPECT_EQ("/tmp/x/", ovnFixPath(" /tmp/x "));
    EXPECT_EQ("/tmp/x/", ovnFixPath("/tmp/x/"));
    EXPECT_EQ('/', ovnGetTempPath().back());
    EXPECT_EQ(ovnGetTempPath(), ovnGetTempPath());
    EXPECT_EQ("L64", ovnOS());
    EXPECT_EQ("ab   ", ovnLJustify("ab", 5));
    EXPECT_EQ("   ab", ovnRJustify("ab", 5));
    EXPECT_EQ("abcdef", ovnLJustify("abcdef", 3));
    EXPECT_EQ("abcdef", ovnRJustify("abcdef", 3));
    EXPECT_FALSE(ovnGetComputerName().empty());
}

TEST(ovnUtils, UniqueNamesAndFolders)
{
    TTempFolder dir;
    const std::string report = dir / "report.txt";
    EXPECT_EQ(report, ovnMakeUniqueFileName(report));
    ovnCreateFile(report);
    EXPECT_EQ(dir / "report1.txt", ovnMakeUniqueFileName(report));
    ovnCreateFile(dir / "report1.txt");
    EXPECT_EQ(dir / "report2.txt", ovnMakeUniqueFileName(report));

    const std::string sub = dir / "cache";
    EXPECT_EQ(sub + "/", ovnMakeUniqueDir(sub));
    ASSERT_TRUE(ovnMakePath(sub));
    EXPECT_EQ(sub + "1/", ovnMakeUniqueDir(sub));
}

TEST(ovnUtils, MakePathCreatesEveryLevel)
{
    TTempFolder dir;
    const std::string deep = dir / "a/b/c/";
    EXPECT_TRUE(ovnMakePath(deep));
    EXPECT_TRUE(ovnDirectoryExists(dir / "a/b/c"));
    EXPECT_TRUE(ovnMakePath(deep)); // exists
    EXPECT_THROW(ovnMakePath(""), EInOutError);
    ovnCreateFile(dir / "file");
    EXPECT_FALSE(ovnMakePath(dir / "file/below")); // a file is in the way
}

TEST(ovnUtils, RenameDeleteAndCopyDelete)
{
    TTempFolder dir;
    const std::string a = dir / "a.dat", b = dir / "b.dat";
    WriteBytes(a, {1});
    WriteBytes(b, {2});
    ovnRenameDeleteFile(a, b);
    EXPECT_FALSE(ovnFileExists(a));
    EXPECT_EQ(std::vector<uint8_t>({1}), ReadBytes(b));
    EXPECT_FALSE(ovnFileExists(dir / "b1.dat")); // the old file went

    // A file renamed onto itself, by the same or another path, stays.
    ovnRenameDeleteFile(b, b);
    ovnRenameDeleteFile(b, dir.Path() + "./b.dat");
    EXPECT_EQ(std::vector<uint8_t>({1}), ReadBytes(b));

    WriteBytes(a, {3, 4});
    ovnCopyDeleteFile(a, b);
    EXPECT_EQ(std::vector<uint8_t>({3, 4}), ReadBytes(b));
    EXPECT_TRUE(ovnFileExists(a));
    ovnCopyDeleteFile(b, b);
    EXPECT_EQ(std::vector<uint8_t>({3, 4}), ReadBytes(b));

    ovnDeleteFile(a);
    EXPECT_FALSE(ovnFileExists(a));
    ovnDeleteFile(a); // absent: nothing
}

// The file that was to replace the destination is gone: the destination
// stays as it was, and the caller hears why.
TEST(ovnUtils, AMissingSourceLeavesTheDestination)
{
    TTempFolder dir;
    const std::string missing = dir / "missing.dat", dest = dir / "dest.dat";
    struct Case
    {
        const char* Desc;
        void (*Replace)(const std::string&, const std::string&);
    };
    const Case cases[] = {{"rename", ovnRenameDeleteFile}, {"copy", ovnCopyDeleteFile}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        WriteBytes(dest, {7, 8});
        EXPECT_EQ(ErrorOf<EInOutError>([&] { c.Replace(missing, dest); }),
                  "Cannot replace \"" + dest + "\": file not found: \"" + missing + "\"");
        EXPECT_EQ(std::vector<uint8_t>({7, 8}), ReadBytes(dest));
        EXPECT_FALSE(ovnFileExists(dir / "dest1.dat"));
    }
}

TEST(ovnUtils, CopyFileHonoursOverwrite)
{
    TTempFolder dir;
    WriteBytes(dir / "s", {1, 2});
    WriteBytes(dir / "d", {9});
    EXPECT_TRUE(ovnCopyFile(dir / "s", dir / "d", false));
    EXPECT_EQ(std::vector<uint8_t>({9}), ReadBytes(dir / "d"));
    EXPECT_TRUE(ovnCopyFile(dir / "s", dir / "d", true));
    EXPECT_EQ(std::vector<uint8_t>({1, 2}), ReadBytes(dir / "d"));
    EXPECT_THROW(ovnCopyFile(dir / "missing", dir / "d2", true), EInOutError);

    // Onto itself, by the same or another path: the file keeps its bytes.
    for (const std::string& same : {dir / "s", dir.Path() + "./s"}) {
        SCOPED_TRACE(same);
        EXPECT_TRUE(ovnCopyFile(dir / "s", same, true));
        EXPECT_EQ(std::vector<uint8_t>({1, 2}), ReadBytes(dir / "s"));
    }
    WriteBytes(dir / "s2", {5, 6, 7});
    EXPECT_TRUE(ovnCopyDirectory(dir.Path(), dir.Path(), true));
    EXPECT_EQ(std::vector<uint8_t>({5, 6, 7}), ReadBytes(dir / "s2"));
}

TEST(ovnUtils, DirectoriesAndFileLists)
{
    TTempFolder dir;
    ASSERT_TRUE(ovnMakePath(dir / "src/sub"));
    WriteBytes(dir / "src/one.txt", {1});
    WriteBytes(dir / "src/two.dat", {2});
    TStringList names;
    EXPECT_FALSE(ovnGetFilesList(dir / "src/*", nullptr, 0));
    EXPECT_TRUE(ovnGetFilesList(dir / "src/*", &names, 0));
    EXPECT_EQ("one.txt,two.dat", names.CommaText());
    names.Clear();
    EXPECT_TRUE(ovnGetFilesList(dir / "src/*", &names, faDirectory));
    EXPECT_EQ(3, names.Count());

    ASSERT_TRUE(ovnMakePath(dir / "dst"));
    EXPECT_TRUE(ovnCopyDirectory(dir / "src", dir / "dst", true));
    EXPECT_TRUE(ovnFileExists(dir / "dst/one.txt"));
    EXPECT_TRUE(ovnFileExists(dir / "dst/two.dat"));
    EXPECT_FALSE(ovnDirectoryExists(dir / "dst/sub"));

    EXPECT_TRUE(ovnDeleteDirectory(dir / "dst"));
    EXPECT_FALSE(ovnDirectoryExists(dir / "dst"));
    EXPECT_FALSE(ovnDeleteDirectory(dir / "dst"));
    // Files go, the folder with a sub-folder stays.
    EXPECT_FALSE(ovnDeleteDirectory(dir / "src"));
    EXPECT_FALSE(ovnFileExists(dir / "src/one.txt"));
    EXPECT_TRUE(ovnDirectoryExists(dir / "src/sub"));
}

TEST(ovnUtils, CertificateNames)
{
    TTempFolder dir;
    const auto record = [](const std::string& text, size_t at = 0) {
        std::vector<uint8_t> r(ovnCertificateRecordSize, 0);
        r[at] = static_cast<uint8_t>(text.size());
        std::memcpy(r.data() + at + 1, text.data(), text.size());
        return r;
    };
    std::vector<uint8_t> header = record(ovnCertificateWord);
    header[528] = '-';
    const std::vector<uint8_t> tail = record(ovnCertificateHeader, 592);
    for (size_t i = 592; i < ovnCertificateRecordSize; ++i)
        if (tail[i])
            header[i] = tail[i];
    std::vector<uint8_t> file = header;
    for (const char* name : {"Alpha Care", "Beta House"}) {
        const std::vector<uint8_t> r = record(name);
        file.insert(file.end(), r.begin(), r.end());
    }
    WriteBytes(dir / "certs.dat", file);
    TStringList names;
    names.Add("old");
    ovnGetCertificateNames(dir / "certs.dat", &names);
    EXPECT_EQ("\"Alpha Care\",\"Beta House\"", names.CommaText());

    EXPECT_THROW(ovnGetCertificateNames(dir / "none.dat", &names), EInOutError);
    EXPECT_EQ(0, names.Count());
    std::vector<uint8_t> bad = file;
    bad[528] = '+';
    WriteBytes(dir / "bad.dat", bad);
    try {
        ovnGetCertificateNames(dir / "bad.dat", &names);
        ADD_FAILURE() << "a damaged header must raise";
    } catch (const EInOutError& e) {
        EXPECT_EQ("Certificate file is corrupted", e.Message());
    }
    std::vector<uint8_t> cut = file;
    cut.resize(cut.size() - 10);
    WriteBytes(dir / "cut.dat", cut);
    EXPECT_THROW(ovnGetCertificateNames(dir / "cut.dat", &names), EInOutError);
    ovnGetCertificateNames(dir / "certs.dat", nullptr); // no list: nothing
}

TEST(ovnUtils, VersionInfoOfOwnAndOtherFiles)
{
    TTempFolder dir;
    WriteBytes(dir / "Tallowin", {1});
    WriteBytes(dir / "other.so", {1});
    const TovnVersionInfo own = ovnVersionInfo(dir / "Tallowin");
    EXPECT_EQ("Tallowin", own.ProductName);
    EXPECT_EQ("Tallowin", own.OriginalFilename);
    EXPECT_FALSE(own.FileVersion.empty());
    EXPECT_GT(own.FileDate, 0);
    const TovnVersionInfo other = ovnVersionInfo(dir / "other.so");
    EXPECT_EQ("", other.ProductName);
    EXPECT_EQ("", other.FileVersion);
    EXPECT_NEAR(Now(), other.FileDate, 1.0 / 24);
    EXPECT_EQ(0, ovnVersionInfo(dir / "missing").FileDate);
}

TEST(ovnUtils, CPUPercentRoundsHalfToEven)
{
    struct Case
    {
        const char* Desc;
        uint64_t Delta;
        int Cpus, Seconds;
        uint8_t Expected;
    };
    const Case cases[] = {
        {"idle", 0, 4, 1, 0},
        {"one full processor of four", 10000000, 4, 1, 25},
        {"half rounds to even down", 2500000, 2, 5, 2}, // 2.5 %
        {"half rounds to even up", 3500000, 2, 5, 4},   // 3.5 %
        {"two seconds", 10000000, 1, 2, 50},
        {"no processors", 10000000, 0, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(c.Expected, ovnCPUPercent(c.Delta, c.Cpus, c.Seconds));
    }
}

TEST(ovnUtils, ReadablePointers)
{
    const char text[] = "readable";
    EXPECT_FALSE(ovnIsBadReadPtr(text, sizeof text));
    EXPECT_FALSE(ovnIsBadReadPtr(nullptr, 0));
    EXPECT_TRUE(ovnIsBadReadPtr(nullptr, 1));
    const long page = sysconf(_SC_PAGESIZE);
    void* guard = mmap(nullptr, page, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(MAP_FAILED, guard);
    EXPECT_TRUE(ovnIsBadReadPtr(guard, 16));
    munmap(guard, page);
}

TEST(ovnUtils, AffinityIsKeptWithinTheSystemMask)
{
    const uint32_t before = ovnGetProcessAffinity();
    ASSERT_NE(0u, before);
    // An empty mask is refused and the affinity stays.
    EXPECT_EQ(before, ovnSetProcessAffinity(0));
    const uint32_t lowest = before & (~before + 1);
    EXPECT_EQ(lowest, ovnSetProcessAffinity(lowest));
    EXPECT_EQ(before, ovnSetProcessAffinity(before));
}

TEST(ovnUtils, LibrariesLoadByAbsolutePath)
{
    EXPECT_EQ(nullptr, ovnLoadLibrary("libz.so.1"));
    EXPECT_EQ(nullptr, ovnLoadLibrary("/nonexistent/libnone.so"));
    HMODULE z = ovnLoadLibrary("/lib/x86_64-linux-gnu/libz.so.1");
    ASSERT_NE(nullptr, z);
    EXPECT_NE(nullptr, ovnGetProcAddress(z, "inflate"));
    EXPECT_EQ(nullptr, ovnGetProcAddress(z, "no_such_export"));
    ovnFreeLibrary(z);
}

namespace {

// Sets an environment variable (or unsets it for nullptr) for one scope.
class TScopedEnv
{
  public:
    TScopedEnv(const char* name, const char* value) : m_name(name)
    {
        const char* old = std::getenv(name);
        m_had = old != nullptr;
        m_old = old ? old : "";
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~TScopedEnv()
    {
        if (m_had)
            setenv(m_name.c_str(), m_old.c_str(), 1);
        else
            unsetenv(m_name.c_str());
    }

  private:
    std::string m_name, m_old;
    bool m_had = false;
};

} // namespace

// Settings and logs never go to a shared folder: without $HOME the home comes
// from the password database, and a program folder others may write is not
// used either.
TEST(ovnUtils, DataFolderIsNeverShared)
{
    TTempFolder dir;
    const TScopedEnv noXdg("XDG_CONFIG_HOME", nullptr);
    const TScopedEnv noHome("HOME", nullptr);
    const passwd* user = ::getpwuid(::geteuid());
    ASSERT_NE(user, nullptr);
    const std::string expected = IncludeTrailingPathDelimiter(user->pw_dir) + ".config/Tallowin/";
    const std::string shared = dir / "shared";
    ASSERT_TRUE(ForceDirectories(shared));
    ::chmod(shared.c_str(), 01777);
    EXPECT_EQ(expected, ovnChooseDataPath(shared));
    EXPECT_EQ(expected, ovnChooseDataPath(dir / "gone/bin"));
    EXPECT_EQ(dir.Path(), ovnChooseDataPath(dir.Path())) << "a private program folder is used";
}

TEST(ovnUtils, PrivateFoldersAreThisUsersAlone)
{
    TTempFolder dir;
    const std::string made = dir / "a/b/log/";
    ovnMakePrivateFolder(made);
    for (const std::string& level : {dir / "a", dir / "a/b", dir / "a/b/log"}) {
        struct stat st
        {
        };
        ASSERT_EQ(::stat(level.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u) << level;
    }
    EXPECT_NO_THROW(ovnMakePrivateFolder(made)) << "an existing private folder is fine";

    const std::string open = dir / "open";
    ASSERT_TRUE(ForceDirectories(open));
    ::chmod(open.c_str(), 0777);
    const std::string link = dir / "link";
    ASSERT_EQ(::symlink(made.c_str(), link.c_str()), 0);
    const std::string file = dir / "file";
    WriteText(file, "x");
    struct Case
    {
        const char* Desc;
        std::string Path;
        std::string Error;
    };
    std::vector<Case> cases = {
        {"others may write", open, "Folder " + open + " cannot hold settings or logs: others may write to it"},
        {"a link", link, "Folder " + link + " cannot hold settings or logs: it is a symbolic link"},
        {"a file", file, "Folder " + file + " cannot hold settings or logs: it is not a folder"},
    };
    if (::geteuid() == 0) {
        const std::string foreign = dir / "foreign";
        ASSERT_TRUE(ForceDirectories(foreign));
        ASSERT_EQ(::chown(foreign.c_str(), 65534, 65534), 0);
        cases.push_back({"another user's", foreign,
                         "Folder " + foreign + " cannot hold settings or logs: it belongs to another user"});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(c.Error, ErrorOf<EInOutError>([&] { ovnMakePrivateFolder(c.Path); }));
    }
}

TEST(ovnUtils, DataFolderBesideTheProgramOrPerUser)
{
    TTempFolder dir;
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    EXPECT_EQ(dir.Path(), ovnChooseDataPath(dir.Path()));
    EXPECT_EQ(dir.Path(), ovnChooseDataPath(dir.Path().substr(0, dir.Path().size() - 1)));
    // A folder that cannot be written (here: one that does not exist).
    EXPECT_EQ(dir / "config/Tallowin/", ovnChooseDataPath(dir / "gone/bin"));
    EXPECT_EQ(dir / "config/Tallowin/", ovnChooseDataPath(""));
    if (old)
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");

    ovnSetDataPath(dir / "data");
    EXPECT_EQ(dir / "data/", ovnGetDataPath());
    ovnSetDataPath("");
    EXPECT_EQ(ovnChooseDataPath(ovnGetProgramPath()), ovnGetDataPath());
}
