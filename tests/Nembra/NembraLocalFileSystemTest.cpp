#include "Components/Nembra/NembraLocalFileSystem.h"

#include "Components/Nembra/NembraLib.h"

#include "support/ErrorOf.h"
#include "support/FileSystemTesting.h"
#include "support/TempFolder.h"

#include "base/KldLogFile.h"
#include "platform/FileUtils.h"
#include "platform/Streams.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class LocalFileSystemTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        Log.SetFileName(m_logs / "fs.log");
        Log.SetEnabled(true);
    }
    void TearDown() override { Log.SetEnabled(false); }

    std::string Root() const { return m_dir.Path(); }
    std::string LogText()
    {
        Log.SetEnabled(false);
        const std::string text = ReadText(m_logs / "fs.log");
        Log.SetEnabled(true);
        return text;
    }
    TTempFolder m_dir;
    TTempFolder m_logs;
    TNembraLocalFileSystem m_fs{"file://" + m_dir.Path()};
};

} // namespace

TEST(NembraLocalFileSystem, TheRootComesFromTheAddress)
{
    struct Case
    {
        const char* URI;
        const char* Root;
    };
    const Case cases[] = {
        {"file:///srv/files", "/srv/files/"},
        {"FILE:///srv/files", "/srv/files/"},
        {"File:///srv/files/", "/srv/files/"},
        {"/srv/files", "/srv/files/"},
        {"/srv/files/", "/srv/files/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.URI);
        EXPECT_EQ(TNembraLocalFileSystem(c.URI).Root(), c.Root);
    }
    EXPECT_TRUE(TNembraLocalFileSystem::Accept("FiLe://x"));
    EXPECT_FALSE(TNembraLocalFileSystem::Accept("/x"));
    for (const char* blank : {"", "   "}) {
        SCOPED_TRACE(std::string("\"") + blank + "\"");
        EXPECT_EQ(ErrorOf([&] { TNembraLocalFileSystem fs(blank); }), "Invalid path or path not specified");
    }
}

TEST_F(LocalFileSystemTest, ListingSkipsDotNamesAndFiltersByAttributesAndTime)
{
    WriteText(Root() + "old.txt", "12345");
    WriteText(Root() + "new.dll", "1");
    ASSERT_TRUE(ForceDirectories(Root() + "sub"));
    WriteText(Root() + ".hidden", "x");
    SetFileTimeStamp(Root() + "old.txt", 130000000000000000LL);
    SetFileTimeStamp(Root() + "new.dll", 130000000010000000LL);
    SetFileTimeStamp(Root() + "sub", 120000000000000000LL);
    m_fs.SetDescription("old.txt", "An old file, 100% & more");

    TListing all = ListFiles(m_fs, "*.*");
    EXPECT_EQ(all.Count, 3) << "dot names are skipped, the description file too";
    ASSERT_EQ(all.Files.size(), 3u);
    EXPECT_EQ(all.Files["old.txt"].Description, "An old file, 100% & more");
    EXPECT_EQ(all.Files["old.txt"].Size, 5);
    EXPECT_EQ(all.Files["old.txt"].Attributes & faArchive, faArchive);
    EXPECT_EQ(all.Files["old.txt"].TimeStamp, 130000000000000000LL);
    EXPECT_EQ(all.Files["sub"].Attributes & faDirectory, faDirectory);
    EXPECT_EQ(all.MaxTimeStamp, 130000000010000000LL);

    // Newer only: the older ones are still counted.
    TListing newer = ListFiles(m_fs, "*.*", 130000000000000000LL, 0, {});
    EXPECT_EQ(newer.Count, 3);
    ASSERT_EQ(newer.Files.size(), 1u);
    EXPECT_EQ(newer.Files.count("new.dll"), 1u);
    EXPECT_EQ(newer.Files["new.dll"].Description, "") << "no description asked for";

    // Folders only: the maximum is taken over what passes.
    TListing folders = ListFiles(m_fs, "*", 0, faDirectory, {});
    EXPECT_EQ(folders.Files.size(), 1u);
    EXPECT_EQ(folders.Count, 3);
    EXPECT_EQ(folders.MaxTimeStamp, 120000000000000000LL);

    // A mask with a folder part.
    WriteText(Root() + "sub/a.txt", "a");
    WriteText(Root() + "sub/b.bin", "b");
    TListing sub = ListFiles(m_fs, "sub/*.txt");
    EXPECT_EQ(sub.Files.size(), 1u);
    EXPECT_EQ(sub.Files.count("a.txt"), 1u);
}

TEST_F(LocalFileSystemTest, AFolderHoldingOnlyItsDescriptionFileListsNothing)
{
    ASSERT_TRUE(ForceDirectories(Root() + "d"));
    WriteText(Root() + "d/.description", "[descriptions]\r\ngone.txt=x\r\n");
    TListing listing = ListFiles(m_fs, "d/*.*", 0, 0, {});
    EXPECT_TRUE(listing.Files.empty());
    EXPECT_EQ(listing.Count, 0);
    EXPECT_EQ(listing.MaxTimeStamp, 0);
}

TEST_F(LocalFileSystemTest, GetFileAnswersNothingForTheTimeStampTheCallerHas)
{
    WriteText(Root() + "f.txt", "content");
    const int64_t stamp = FileAgeFileTime(Root() + "f.txt");
    int64_t have = stamp;
    EXPECT_EQ(m_fs.GetFile("f.txt", have), nullptr);
    EXPECT_EQ(have, stamp);
    have = 0;
    auto content = m_fs.GetFile("f.txt", have);
    ASSERT_NE(content, nullptr);
    EXPECT_EQ(have, stamp);
    EXPECT_EQ(ReadString(*content, content->Size()), "content");

    EXPECT_EQ(ErrorOf([&] { m_fs.GetFile("missing.txt"); }), "File not found: \"missing.txt");
    EXPECT_NE(LogText().find("File not found: \"" + Root() + "missing.txt"), std::string::npos);
    EXPECT_EQ(ErrorOf([&] { m_fs.GetFile(""); }), "File name not specified");
}

TEST_F(LocalFileSystemTest, PutFileWritesTheWholeStreamItsTimeAndDescription)
{
    TStringStream data("whole content");
    data.SetPosition(6); // the whole stream is written, wherever it stands
    m_fs.PutFile("new/deep/f.txt", "first=description", 131000000000000000LL, data);
    EXPECT_EQ(ReadText(Root() + "new/deep/f.txt"), "whole content");
    EXPECT_EQ(FileAgeFileTime(Root() + "new/deep/f.txt"), 131000000000000000LL);
    EXPECT_EQ(m_fs.GetDescription("new/deep/f.txt"), "first=description");
    EXPECT_NE(ReadText(Root() + "new/deep/.description").find("[descriptions]"), std::string::npos);
    EXPECT_NE(ReadText(Root() + "new/deep/.description").find("f.txt=first%3Ddescription"), std::string::npos);

    // Time stamp 0: the time of writing; a blank description removes it.
    const auto before = std::chrono::system_clock::now();
    TStringStream again("again");
    m_fs.PutFile("new/deep/f.txt", " ", 0, again);
    const int64_t written = FileAgeFileTime(Root() + "new/deep/f.txt");
    const int64_t now = (std::chrono::duration_cast<std::chrono::seconds>(before.time_since_epoch()).count() +
                         11644473600LL) *
                        10000000LL;
    EXPECT_GE(written, now - 20000000);
    EXPECT_EQ(m_fs.GetDescription("new/deep/f.txt"), "");
    EXPECT_EQ(ReadText(Root() + "new/deep/f.txt"), "again");

    // A blank description where no description file exists makes none.
    TStringStream plain("plain");
    m_fs.PutFile("plain.txt", "", 0, plain);
    EXPECT_FALSE(FileExists(Root() + ".description"));
}

TEST_F(LocalFileSystemTest, DeleteRemovesFilesAndEmptyFolders)
{
    TStringStream data("x");
    m_fs.PutFile("d/f.txt", "described", 0, data);
    EXPECT_EQ(ErrorOf([&] { m_fs.Delete("d"); }), "Unabled to delete unemtpy directory: \"d\"");
    EXPECT_NE(LogText().find("Unabled to delete unemtpy directory: \"" + Root() + "d\""), std::string::npos);
    m_fs.Delete("d/f.txt");
    EXPECT_FALSE(FileExists(Root() + "d/f.txt"));
    EXPECT_EQ(m_fs.GetDescription("d/f.txt"), "");
    m_fs.Delete("d"); // only its description file was left
    EXPECT_FALSE(DirectoryExists(Root() + "d"));

    // A missing file is only logged.
    m_fs.Delete("nothing.txt");
    EXPECT_NE(LogText().find("File not found: \"" + Root() + "nothing.txt"), std::string::npos);
    EXPECT_EQ(ErrorOf([&] { m_fs.Delete(""); }), "File name not specified");

    // A file the system refuses to delete: the reason's number follows.
    if (::geteuid() != 0) {
        ASSERT_TRUE(ForceDirectories(Root() + "ro"));
        WriteText(Root() + "ro/f.txt", "x");
        ::chmod((Root() + "ro").c_str(), 0500);
        EXPECT_EQ(ErrorOf([&] { m_fs.Delete("ro/f.txt"); }),
                  "Unable to delete file: \"ro/f.txt\". File system error: 13");
        ::chmod((Root() + "ro").c_str(), 0700);
    }
}

TEST_F(LocalFileSystemTest, CopyAndRenameCarryTheDescription)
{
    TStringStream data("content");
    m_fs.PutFile("a.txt", "the a file", 0, data);

    m_fs.CopyFile("a.txt", "copies/b.txt", false);
    EXPECT_EQ(ReadText(Root() + "copies/b.txt"), "content");
    EXPECT_EQ(m_fs.GetDescription("copies/b.txt"), "the a file");
    EXPECT_EQ(m_fs.GetDescription("a.txt"), "the a file");

    EXPECT_EQ(ErrorOf([&] { m_fs.CopyFile("a.txt", "copies/b.txt", false); }),
              "File already exists: \"copies/b.txt\"");
    m_fs.CopyFile("a.txt", "copies/b.txt", true);

    m_fs.Rename("a.txt", "moved/c.txt", false);
    EXPECT_FALSE(FileExists(Root() + "a.txt"));
    EXPECT_EQ(ReadText(Root() + "moved/c.txt"), "content");
    EXPECT_EQ(m_fs.GetDescription("moved/c.txt"), "the a file");
    EXPECT_EQ(m_fs.GetDescription("a.txt"), "") << "a rename takes the description along";

    EXPECT_EQ(ErrorOf([&] { m_fs.Rename("a.txt", "x.txt", true); }), "Directory not found: \"a.txt");
    EXPECT_NE(LogText().find("Directory not found: \"" + Root() + "a.txt"), std::string::npos);
    EXPECT_EQ(ErrorOf([&] { m_fs.CopyFile("moved", "moved2", false); }),
              "Unable to copy file: \"moved\" to \"moved2\". File system error: 21");
    m_fs.Rename("moved", "moved2", false);
    EXPECT_TRUE(FileExists(Root() + "moved2/c.txt"));
}

TEST_F(LocalFileSystemTest, NoNameReachesOutsideTheRoot)
{
    TTempFolder outside;
    WriteText(outside / "victim.txt", "keep");
    const std::string escape = "../" + ExtractFileName(ExcludeTrailingPathDelimiter(outside.Path())) + "/victim.txt";
    TStringStream data("x");
    for (const std::string& name : {escape, std::string("/etc/passwd"), std::string("a/../../b")}) {
        SCOPED_TRACE(name);
        EXPECT_THROW(m_fs.GetFile(name), EUnsafePath);
        EXPECT_THROW(m_fs.PutFile(name, "", 0, data), EUnsafePath);
        EXPECT_THROW(m_fs.Delete(name), EUnsafePath);
        EXPECT_THROW(m_fs.CopyFile("a", name, true), EUnsafePath);
        EXPECT_THROW(m_fs.Rename(name, "b", true), EUnsafePath);
        EXPECT_THROW(m_fs.CreateDirectory(name), EUnsafePath);
        EXPECT_THROW(m_fs.Extract(name, "", "", ""), EUnsafePath);
        int64_t max = 0;
        EXPECT_THROW(m_fs.FindFiles(ExtractFilePath(name) + "*", 0, max, 0, {}, nullptr, nullptr), EUnsafePath);
    }
    EXPECT_EQ(ReadText(outside / "victim.txt"), "keep");
}

TEST_F(LocalFileSystemTest, ExtractHandsFullPathsToTheZipReader)
{
    SetNembraExtractZipProc(nullptr);
    EXPECT_EQ(ErrorOf([&] { m_fs.Extract("a.zip", "out", "*.txt", ""); }),
              "Zip archives cannot be extracted: no zip reader is installed");
    std::vector<std::string> seen;
    SetNembraExtractZipProc([&](const std::string& Zip, const std::string& Dest, const std::string& In,
                                const std::string& Ex) { seen = {Zip, Dest, In, Ex}; });
    m_fs.Extract("in/a.zip", "out", "*.txt", "b*");
    SetNembraExtractZipProc(nullptr);
    EXPECT_EQ(seen, (std::vector<std::string>{Root() + "in/a.zip", Root() + "out", "*.txt", "b*"}));
}

TEST_F(LocalFileSystemTest, CreateDirectoryMakesEveryLevel)
{
    m_fs.CreateDirectory("x/y/z");
    EXPECT_TRUE(DirectoryExists(Root() + "x/y/z"));
    WriteText(Root() + "file", "x");
    EXPECT_EQ(ErrorOf([&] { m_fs.CreateDirectory("file/sub"); }), "Unable to create directory: \"file/sub\"");
}
