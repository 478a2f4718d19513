#include "platform/FileUtils.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace {

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary) << content;
}

// A fresh folder under the temporary folder, removed afterwards.
class FileUtilsTest : public testing::Test
{
  protected:
    void SetUp() override
    {
        m_dir = GetTempPath() + "kld_files_" + std::to_string(::getpid()) + "_" +
                testing::UnitTest::GetInstance()->current_test_info()->name();
        DeleteDirectoryTree(m_dir);
        ASSERT_TRUE(ForceDirectories(m_dir));
    }
    void TearDown() override { DeleteDirectoryTree(m_dir); }
    std::string Path(const std::string& name) const { return m_dir + "/" + name; }

    std::string m_dir;
};

} // namespace

TEST(MatchesMask, Wildcards)
{
    struct Case
    {
        const char* name;
        const char* mask;
        bool expected;
    };
    const Case cases[] = {
        {"report.txt", "*.txt", true},
        {"report.TXT", "*.txt", true},
        {"report.txt.bak", "*.txt", false},
        {"report.txt", "*", true},
        {"", "*", true},
        {"", "?", false},
        {"a", "?", true},
        {"ab", "?", false},
        {"report.txt", "*.*", true},
        {"README", "*.*", true}, // no dot: the empty extension
        {"README", "READ*.*", true},
        {"README", "*.txt", false},
        {"ov4-2026-12-10.log",
         "ov4-"
         "????"
         "-??"
         "-??.log",
         true},
        {"ov4-2026-1-10.log",
         "ov4-"
         "????"
         "-??"
         "-??.log",
         false},
        {"ÄRGER.txt", "ärger.*", true}, // Latin-1 letters fold
        {"Ängel", "?ngel", true},       // '?' is one character, not one byte
        {"abcabcabd", "*abc*abd", true},
        {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*a*a*a*a*a*c", false},
        {"plain", "plain", true},
        {"plain", "plainer", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " ~ " + c.mask);
        EXPECT_EQ(MatchesMask(c.name, c.mask), c.expected);
    }
}

TEST(SafeJoinPath, JoinsInsideTheBase)
{
    struct Case
    {
        const char* desc;
        std::string base;
        std::string relative;
        std::string expected;
    };
    const Case cases[] = {
        {"simple", "/cache", "a.txt", "/cache/a.txt"},
        {"base with delimiter", "/cache/", "dir/a.txt", "/cache/dir/a.txt"},
        {"backslashes", "/cache", "dir\\sub\\a.txt", "/cache/dir/sub/a.txt"},
        {"dot parts dropped", "/cache", "./dir/./a.txt", "/cache/dir/a.txt"},
        {"doubled delimiters", "/cache", "dir//a.txt", "/cache/dir/a.txt"},
        {"dots inside a name", "/cache", "a..b/..c", "/cache/a..b/..c"},
        {"empty relative", "/cache", "", "/cache/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.desc);
        EXPECT_EQ(SafeJoinPath(c.base, c.relative), c.expected);
    }
}

TEST(SafeJoinPath, RefusesWhatLeavesTheBase)
{
    const std::string refused[] = {
        "/etc/passwd", "\\windows\\system32",  "..",     "../x",
        "a/../../x",   "a\\..\\..\\x",         "dir/..", "C:\\boot.ini",
        "c:x",         std::string("a\0b", 3),
    };
    for (const std::string& relative : refused) {
        SCOPED_TRACE(relative);
        EXPECT_THROW(SafeJoinPath("/cache", relative), EUnsafePath);
    }
}

TEST_F(FileUtilsTest, ExistsSizeAndAge)
{
    const std::string file = Path("a.bin");
    EXPECT_FALSE(FileExists(file));
    EXPECT_EQ(FileSize(file), -1);
    EXPECT_EQ(FileAgeFileTime(file), -1);
    TDateTime age = 0;
    EXPECT_FALSE(FileAge(file, age));

    WriteFile(file, "12345");
    EXPECT_TRUE(FileExists(file));
    EXPECT_FALSE(DirectoryExists(file));
    EXPECT_TRUE(DirectoryExists(m_dir));
    EXPECT_FALSE(FileExists(m_dir));
    EXPECT_EQ(FileSize(file), 5);

    // 2001-09-09 01:46:40 UTC = Unix 1000000000 = file time 126444736000000000.
    timespec times[2] = {{1000000000, 0}, {1000000000, 5000000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    EXPECT_EQ(FileAgeFileTime(file), 126444736000000000LL + 50000);
    ASSERT_TRUE(FileAge(file, age));
    time_t t = 1000000000;
    tm local{};
    ::localtime_r(&t, &local);
    const double expected = 37143.0 + (1 * 3600 + 46 * 60 + 40 + local.tm_gmtoff + 0.005) / 86400.0;
    EXPECT_NEAR(age, expected, 1e-9);
}

TEST_F(FileUtilsTest, ForceDirectoriesMakesEveryLevel)
{
    const std::string deep = Path("x/y/z");
    EXPECT_TRUE(ForceDirectories(deep));
    EXPECT_TRUE(DirectoryExists(deep));
    EXPECT_TRUE(ForceDirectories(deep)); // already there
    EXPECT_THROW(ForceDirectories(""), EOSError);
    WriteFile(Path("file"), "x");
    EXPECT_FALSE(ForceDirectories(Path("file/sub")));
}

TEST_F(FileUtilsTest, RenameReplacesTheTarget)
{
    WriteFile(Path("new"), "new content");
    WriteFile(Path("old"), "old content");
    EXPECT_TRUE(RenameFile(Path("new"), Path("old")));
    EXPECT_FALSE(FileExists(Path("new")));
    EXPECT_EQ(ReadAll(Path("old")), "new content");
    EXPECT_FALSE(RenameFile(Path("missing"), Path("other")));
    EXPECT_FALSE(FileExists(Path("other")));
}

TEST_F(FileUtilsTest, RenameAcrossFileSystemsCopies)
{
    // /dev/shm is a separate file system on Linux: the rename must copy.
    if (!DirectoryExists("/dev/shm"))
        GTEST_SKIP() << "no second file system";
    const std::string shmFile = "/dev/shm/kld_rename_" + std::to_string(::getpid());
    WriteFile(shmFile, "moved across");
    timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    ::utimensat(AT_FDCWD, shmFile.c_str(), times, 0);
    WriteFile(Path("target"), "old");
    ASSERT_TRUE(RenameFile(shmFile, Path("target")));
    EXPECT_FALSE(FileExists(shmFile));
    EXPECT_EQ(ReadAll(Path("target")), "moved across");
    EXPECT_FALSE(FileExists(Path("target.partial")));
    EXPECT_EQ(FileAgeFileTime(Path("target")), 126444736000000000LL);
}

TEST_F(FileUtilsTest, CopyKeepsTimeAndHonoursFailIfExists)
{
    WriteFile(Path("src"), std::string("bin\0ary", 7));
    timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    ::utimensat(AT_FDCWD, Path("src").c_str(), times, 0);
    ASSERT_TRUE(CopyFile(Path("src"), Path("dst"), true));
    EXPECT_EQ(ReadAll(Path("dst")), std::string("bin\0ary", 7));
    EXPECT_EQ(FileAgeFileTime(Path("dst")), FileAgeFileTime(Path("src")));

    WriteFile(Path("other"), "other");
    EXPECT_FALSE(CopyFile(Path("other"), Path("dst"), true));
    EXPECT_EQ(ReadAll(Path("dst")), std::string("bin\0ary", 7));
    EXPECT_TRUE(CopyFile(Path("other"), Path("dst"), false));
    EXPECT_EQ(ReadAll(Path("dst")), "other");
    EXPECT_FALSE(CopyFile(Path("missing"), Path("dst2"), false));
    EXPECT_FALSE(CopyFile(m_dir, Path("dst3"), false)); // a folder is no file
}

TEST_F(FileUtilsTest, DeletingFilesAndFolders)
{
    ForceDirectories(Path("tree/sub"));
    WriteFile(Path("tree/a"), "a");
    WriteFile(Path("tree/sub/b"), "b");
    WriteFile(Path("outside"), "keep");
    ASSERT_EQ(::symlink(Path("outside").c_str(), Path("tree/link").c_str()), 0);

    EXPECT_FALSE(DeleteFile(Path("tree"))); // a folder is not deleted as a file
    EXPECT_FALSE(RemoveDir(Path("tree")));  // not empty
    EXPECT_TRUE(DeleteDirectoryTree(Path("tree")));
    EXPECT_FALSE(DirectoryExists(Path("tree")));
    EXPECT_EQ(ReadAll(Path("outside")), "keep"); // the link went, not its target
    EXPECT_FALSE(DeleteDirectoryTree(Path("tree")));
    EXPECT_TRUE(DeleteFile(Path("outside")));
    EXPECT_FALSE(DeleteFile(Path("outside")));
    ForceDirectories(Path("empty"));
    EXPECT_TRUE(RemoveDir(Path("empty")));
}

TEST_F(FileUtilsTest, FindFilesByMask)
{
    for (const char* name : {"b.log", "a.LOG", "c.txt", "noext"})
        WriteFile(Path(name), "x");
    ForceDirectories(Path("d.log"));
    EXPECT_EQ(FindFiles(m_dir, "*.log"), (std::vector<std::string>{"a.LOG", "b.log"}));
    EXPECT_EQ(FindFiles(m_dir, "*.log", true), (std::vector<std::string>{"a.LOG", "b.log", "d.log"}));
    EXPECT_EQ(FindFiles(m_dir, "*.*").size(), 4u);
    EXPECT_TRUE(FindFiles(Path("missing"), "*").empty());
}

TEST_F(FileUtilsTest, UniqueTemporaryFiles)
{
    const std::string temp = GetTempPath();
    EXPECT_EQ(temp.back(), '/');
    const std::string a = CreateUniqueTempFile(m_dir, "ov4-");
    const std::string b = CreateUniqueTempFile(m_dir, "ov4-");
    EXPECT_NE(a, b);
    EXPECT_TRUE(FileExists(a));
    EXPECT_EQ(a.rfind(m_dir + "/ov4-", 0), 0u);
    EXPECT_THROW(CreateUniqueTempFile(Path("missing"), "x"), EOSError);
}

TEST(ModuleFileName, ProgramAndLibraryOfAnAddress)
{
    const std::string program = GetModuleFileName();
    ASSERT_FALSE(program.empty());
    EXPECT_EQ(program[0], '/');
    EXPECT_TRUE(FileExists(program));
    static int inProgram = 0;
    EXPECT_EQ(GetModuleFileNameOfAddress(&inProgram), program);
    const std::string libz = GetModuleFileNameOfAddress(reinterpret_cast<const void*>(&::zlibVersion));
    EXPECT_NE(libz.find("libz.so"), std::string::npos) << libz;
    EXPECT_EQ(libz[0], '/');
    EXPECT_EQ(GetModuleFileNameOfAddress(nullptr), "");
}

// A program file replaced while the program runs (an update) reads
// "<path> (deleted)" from the system from then on; the program keeps the
// path it had at the start, which the restart and the settings file use.
TEST(FileUtils, TheProgramPathIsTheOneOfTheStart)
{
    const std::string program = GetModuleFileName();
    ASSERT_FALSE(program.empty());
    // Replace this very test program by an identical copy, as an update does.
    const std::string copy = program + ".replacing";
    std::filesystem::copy_file(program, copy, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(copy, std::filesystem::status(program).permissions());
    ASSERT_EQ(::rename(copy.c_str(), program.c_str()), 0);
    std::error_code ec;
    const std::string now = std::filesystem::read_symlink("/proc/self/exe", ec).string();
    EXPECT_EQ(now, program + " (deleted)") << "the system's own answer after the replacement";
    EXPECT_EQ(GetModuleFileName(), program);
}
