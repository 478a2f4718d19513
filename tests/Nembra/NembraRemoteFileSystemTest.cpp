#include "Components/Nembra/NembraRemoteFileSystem.h"

#include "Components/Nembra/NembraClient.h"
#include "Components/Nembra/NembraLib.h"

#include "support/AppServerProcess.h"
#include "support/ErrorOf.h"
#include "support/FileSystemTesting.h"
#include "support/NembraErrorOf.h"
#include "support/RawZip.h"
#include "support/TempFolder.h"

#include "platform/FileUtils.h"
#include "platform/Streams.h"

#include <gtest/gtest.h>

#include <map>
#include <sys/stat.h>

namespace {

// Users of the server: ADMIN is seeded with an empty password.
const char* const kUsersSql = R"(
INSERT INTO TBL_USERS (COUNTER, USER_ID, USER_PASSWORD, FULL_NAME, USER_TYPE, C_ENTERPRISE) VALUES
  (310, 'FILES', 'secret', 'File Keeper', 'USR', 1);
)";

// A server whose file store is a folder of the test, and the connection
// "MAIN" signed in to it.
class RemoteFileSystemTest : public ::testing::Test
{
  protected:
    void SetUp() override { SignInAsAdmin(m_main, m_server.ServerURL()); }

    std::string Share(const std::string& Name = "res") const { return m_files / (Name + "/"); }

    TTempFolder m_files;
    TAppServerProcess m_server{{"--files", m_files.Path()}, kUsersSql};
    TNembraConnection m_main;
};

} // namespace

TEST_F(RemoteFileSystemTest, TheAddressNamesConnectionShareAndUser)
{
    struct Case
    {
        const char* Desc;
        std::string URI;
        std::string Connection; // '' = an own connection
        std::string OwnURL;
        std::string Share;
        std::string User;
        std::string Password;
    };
    const std::string host = "127.0.0.1:" + std::to_string(m_server.Port());
    const Case cases[] = {
        {"registered connection and share", "vrs+MAIN?res", "MAIN", "", "res", "", ""},
        {"prefix in capitals, blanks around", "VRS+ MAIN ? res ", "MAIN", "", "res", "", ""},
        {"no share", "vrs+MAIN", "MAIN", "", "", "", ""},
        {"user on a registered connection", "vrs+FILES:secret@MAIN?res", "MAIN", "", "res", "FILES", "secret"},
        {"scheme, user and password before the server",
         "vrs+http://FILES:secret@" + host + "/bin/orvane.dll?res", "", "http://" + host + "/bin/orvane.dll", "res",
         "FILES", "secret"},
        {"user without password", "vrs+http://FILES@" + host + "/bin/orvane.dll", "",
         "http://" + host + "/bin/orvane.dll", "", "FILES", ""},
        {"a server without user", "vrs+http://" + host + "/bin/orvane.dll?docs", "",
         "http://" + host + "/bin/orvane.dll", "docs", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TNembraRemoteFileSystem fs(c.URI);
        EXPECT_EQ(fs.ConnectionName(), c.Connection);
        EXPECT_EQ(fs.Share(), c.Share);
        EXPECT_EQ(fs.UserName(), c.User);
        EXPECT_EQ(fs.Password(), c.Password);
        if (c.Connection.empty()) {
            ASSERT_NE(fs.OwnConnection(), nullptr);
            EXPECT_EQ(fs.OwnConnection()->ServerURL(), c.OwnURL);
            EXPECT_EQ(fs.OwnConnection()->Authentication(), qauthNone);
            EXPECT_EQ(TNembraConnection::FindConnectionByName(""), nullptr) << "not registered";
        } else {
            EXPECT_EQ(fs.OwnConnection(), nullptr);
            EXPECT_EQ(&fs.Connection(), &m_main);
        }
    }
    EXPECT_EQ(ErrorOf([] { TNembraRemoteFileSystem fs("vrs+NOPE?x"); }), "Connection not found: NOPE");
}

TEST_F(RemoteFileSystemTest, FilesGoThereAndBackWithTimeStampAndDescription)
{
    TNembraRemoteFileSystem fs("vrs+MAIN?res");
    TStringStream data(std::string("binary\0data\xff", 12));
    fs.PutFile("icons/a.png", "An icon, 100%", 131000000000000000LL, data);
    EXPECT_EQ(ReadText(Share() + "icons/a.png"), std::string("binary\0data\xff", 12));
    EXPECT_EQ(FileAgeFileTime(Share() + "icons/a.png"), 131000000000000000LL);

    int64_t stamp = 0;
    auto content = fs.GetFile("icons/a.png", stamp);
    ASSERT_NE(content, nullptr);
    EXPECT_EQ(stamp, 131000000000000000LL) << "from Content-Version";
    EXPECT_EQ(StreamToString(*content), std::string("binary\0data\xff", 12));
    EXPECT_EQ(fs.GetFile("icons/a.png", stamp), nullptr) << "the caller has this version";
    EXPECT_EQ(stamp, 131000000000000000LL);

    TStringStream other("other");
    fs.PutFile("b.txt", "", 0, other);
    TListing all = ListFiles(fs, "*.*");
    EXPECT_EQ(all.Count, 2);
    ASSERT_EQ(all.Files.size(), 2u);
    EXPECT_EQ(all.Files["icons"].Attributes & faDirectory, faDirectory);
    EXPECT_EQ(all.Files["b.txt"].Attributes & faArchive, faArchive);
    EXPECT_EQ(all.Files["b.txt"].Size, 5);
    EXPECT_EQ(all.MaxTimeStamp, FileAgeFileTime(Share() + "b.txt"));
    TListing icons = ListFiles(fs, "icons/*.png", 0, 0, {ffoDescription, ffoTime});
    EXPECT_EQ(icons.Files["a.png"].Description, "An icon, 100%");
    EXPECT_EQ(icons.Files["a.png"].TimeStamp, 131000000000000000LL);
    EXPECT_EQ(icons.Files["a.png"].Size, 0) << "not asked for";
    // Only what changed since a time stamp.
    TListing newer = ListFiles(fs, "icons/*.*", 131000000000000000LL, 0, {});
    EXPECT_TRUE(newer.Files.empty());
    EXPECT_EQ(newer.MaxTimeStamp, 131000000000000000LL);
}

TEST_F(RemoteFileSystemTest, CopyRenameDeleteAndFolders)
{
    TNembraRemoteFileSystem fs("vrs+MAIN?res");
    TStringStream data("content");
    fs.PutFile("a.txt", "described", 0, data);
    fs.CopyFile("a.txt", "copies/b.txt", false);
    EXPECT_EQ(ReadText(Share() + "copies/b.txt"), "content");
    EXPECT_EQ(ServerErrorOf([&] { fs.CopyFile("a.txt", "copies/b.txt", false); }),
              (TServerError{1000, "File already exists: \"copies/b.txt\""}));
    fs.CopyFile("a.txt", "copies/b.txt", true);
    fs.Rename("a.txt", "moved/c.txt", false);
    EXPECT_FALSE(FileExists(Share() + "a.txt"));
    EXPECT_EQ(ListFiles(fs, "moved/*", 0, 0, {ffoDescription}).Files["c.txt"].Description, "described");
    EXPECT_EQ(ServerErrorOf([&] { fs.Rename("a.txt", "d.txt", true); }),
              (TServerError{1000, "Directory not found: \"a.txt"}));

    fs.CreateDirectory("x/y");
    EXPECT_TRUE(DirectoryExists(Share() + "x/y"));
    EXPECT_EQ(ServerErrorOf([&] { fs.Delete("x"); }), (TServerError{1000, "Unabled to delete unemtpy directory: \"x\""}));
    fs.Delete("x/y");
    fs.Delete("x");
    EXPECT_FALSE(DirectoryExists(Share() + "x"));
    fs.Delete("moved/c.txt");
    EXPECT_FALSE(FileExists(Share() + "moved/c.txt"));
    fs.Delete("never-was.txt");
}

TEST_F(RemoteFileSystemTest, ExtractTakesTheMembersTheMasksChoose)
{
    TNembraRemoteFileSystem fs("vrs+MAIN?res");
    RawZip::Archive zip;
    zip.Members = {{"a.txt", "A"}, {"b.dll", "B"}, {"sub/c.txt", "C"}, {"sub/skip.txt", "S"}};
    TStringStream bytes(zip.Bytes());
    fs.PutFile("pack.zip", "", 0, bytes);
    fs.Extract("pack.zip", "out", "*.txt", "skip*");
    EXPECT_EQ(ReadText(Share() + "out/a.txt"), "A");
    EXPECT_EQ(ReadText(Share() + "out/sub/c.txt"), "C");
    EXPECT_FALSE(FileExists(Share() + "out/b.dll"));
    EXPECT_FALSE(FileExists(Share() + "out/sub/skip.txt"));

    RawZip::Archive evil;
    evil.Members = {{"../../escaped.txt", "E"}};
    TStringStream evilBytes(evil.Bytes());
    fs.PutFile("evil.zip", "", 0, evilBytes);
    EXPECT_NE(ServerErrorOf([&] { fs.Extract("evil.zip", "", "", ""); }).Message.find("Invalid file name"),
              std::string::npos);
    EXPECT_FALSE(FileExists(m_files / "escaped.txt"));
    EXPECT_NE(ServerErrorOf([&] { fs.Extract("missing.zip", "", "", ""); }).Message.find("missing.zip"),
              std::string::npos);
}

TEST_F(RemoteFileSystemTest, ServerErrorsAreTheCallsErrors)
{
    TNembraRemoteFileSystem fs("vrs+MAIN?res");
    // The store's answer that it has no such file is no failed call: like
    // every reply that is not the file, it gives nothing and keeps the time
    // stamp.
    int64_t stamp = 5;
    std::unique_ptr<TStream> missing;
    EXPECT_EQ(ServerErrorOf([&] { missing = fs.GetFile("missing.txt", stamp); }), TServerError{});
    EXPECT_EQ(missing, nullptr);
    EXPECT_EQ(stamp, 5);
    // Every other error of the server is the call's error, never "unchanged".
    EXPECT_EQ(ServerErrorOf([&] { fs.GetFile(""); }), (TServerError{1000, "File name not specified"}));
    EXPECT_EQ(ServerErrorOf([&] { fs.GetFile("../outside.txt", stamp); }),
              (TServerError{1000, "Invalid file name: ../outside.txt"}));
    EXPECT_EQ(stamp, 5);
    TStringStream data("x");
    for (const std::string name : {"../outside.txt", "/etc/passwd", "a/../../b"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(ServerErrorOf([&] { fs.PutFile(name, "", 0, data); }),
                  (TServerError{1000, "Invalid file name: " + name}));
    }
    EXPECT_FALSE(FileExists(m_files / "outside.txt"));
    TNembraRemoteFileSystem badShare("vrs+MAIN?../up");
    EXPECT_EQ(ServerErrorOf([&] { badShare.GetFile("x"); }), (TServerError{1000, "Invalid share name: ../up"}));
}

TEST_F(RemoteFileSystemTest, AnOwnConnectionSignsEveryCallWithUserAndPassword)
{
    const std::string server = "127.0.0.1:" + std::to_string(m_server.Port()) + "/bin/orvane.dll";
    WriteText(m_files / "pub.txt", "public");
    TNembraRemoteFileSystem fs("vrs+http://FILES:secret@" + server);
    EXPECT_EQ(StreamToString(*fs.GetFile("pub.txt")), "public");
    EXPECT_TRUE(fs.OwnConnection()->Active()) << "made active by the call";

    TNembraRemoteFileSystem wrong("vrs+http://FILES:guess@" + server);
    EXPECT_EQ(ServerErrorOf([&] { wrong.GetFile("pub.txt"); }).Code, 2001);
    TNembraRemoteFileSystem nobody("vrs+http://" + server);
    EXPECT_EQ(ServerErrorOf([&] { nobody.GetFile("pub.txt"); }).Code, 1005);
}
