// The controller's log upload: the archive of the daily logs and its upload
// through the main window's "UploadLog" to the local application server,
// which keeps what it receives in SRV_LOG_UPLOADS.

#include "Components/Controller/files/KldSciZipFile.h"
#include "Components/Controller/files/ovnUtils.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/ovnController.h"
#include "Components/Nembra/NembraClient.h"
#include "Components/Nembra/ovnOndrel.h"
#include "base/KldLogFile.h"
#include "platform/DateUtils.h"
#include "platform/FileUtils.h"
#include "support/AppServerProcess.h"
#include "support/AppServerSession.h"
#include "support/ErrorOf.h"
#include "support/TempFolder.h"

#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

namespace {

struct TUploadRow
{
    std::string UserID;
    std::string LogDate;
    int64_t LogDays = 0;
    std::string LogType;
    std::string Log;
};

// The uploads the server kept, oldest first.
std::vector<TUploadRow> Uploads(const std::string& DatabaseFile)
{
    std::vector<TUploadRow> rows;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(DatabaseFile.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        ADD_FAILURE() << "cannot open " << DatabaseFile;
        return rows;
    }
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT USER_ID, LOG_DATE, LOG_DAYS, LOG_TYPE, LOG FROM SRV_LOG_UPLOADS ORDER BY COUNTER",
                       -1, &statement, nullptr);
    auto text = [&](int c) {
        const auto* p = static_cast<const char*>(sqlite3_column_blob(statement, c));
        return std::string(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(statement, c)));
    };
    while (statement && sqlite3_step(statement) == SQLITE_ROW)
        rows.push_back({text(0), text(1), sqlite3_column_int64(statement, 2), text(3), text(4)});
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return rows;
}

// The members of an archive with their contents.
std::vector<std::pair<std::string, std::string>> Members(const std::string& Archive)
{
    TKldZipFile zip;
    zip.OpenZipFile(Archive);
    std::vector<std::pair<std::string, std::string>> members;
    for (int i = 0; i < zip.GetFileCount(); ++i) {
        TStringStream content;
        zip.ReadFileStream(i, content);
        members.emplace_back(zip.GetFileName(i), content.DataString());
    }
    zip.Close(false);
    return members;
}

// The log archives' folders left in the temporary folder.
int LeftoverFolders()
{
    int count = 0;
    DIR* dir = opendir(ovnGetTempPath().c_str());
    if (!dir)
        return 0;
    while (dirent* entry = readdir(dir))
        if (std::string(entry->d_name).rfind("ov4-log-", 0) == 0)
            ++count;
    closedir(dir);
    return count;
}

class SendLogTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ovnSetDataPath(m_dir.Path());
        m_controller = new TovnController(nullptr);
        m_leftovers = LeftoverFolders();
    }
    void TearDown() override
    {
        delete m_controller;
        FreeApplicationMainForm();
        Log.SetEnabled(false);
        ovnSetDataPath("");
    }

    // Writes the daily log of Date.
    std::string WriteLog(TDateTime Date, const std::string& Text)
    {
        const std::string name = m_controller->MakeLogFileName(Date, true);
        WriteText(name, Text);
        return name;
    }

    // Signs in as ADMIN and points the main window's UploadLog at the
    // connection.
    void SignIn(TAppServerProcess& Server, TNembraConnection& Connection)
    {
        SignInAsAdmin(Connection, Server, "LOGUPLOAD");
        m_controller->Browser()->sysUploadLog().SetConnectionName("LOGUPLOAD");
    }

    TTempFolder m_dir;
    TovnController* m_controller = nullptr;
    int m_leftovers = 0;
    const TDateTime m_march5 = EncodeDate(2024, 3, 5);
};

} // namespace

TEST_F(SendLogTest, TheArchiveIsNamedForItsLastDayAndDays)
{
    EXPECT_EQ(m_controller->LogArchiveName(m_march5, 3), "ov4-2024-03-05-3d.zip");
    EXPECT_EQ(m_controller->LogArchiveName(EncodeDate(2023, 12, 31), 14), "ov4-2023-12-31-14d.zip");
}

TEST_F(SendLogTest, TheArchiveHoldsTheDaysThatHaveALog)
{
    WriteLog(m_march5 - 1, "TimeStamp, LogLevel\r\nmiddle day\r\n");
    WriteLog(m_march5 - 3, "outside the range\r\n");
    TTempFolder out;
    m_controller->MakeLogArchive(out.Path() + "a.zip", m_march5, 3);
    const auto members = Members(out.Path() + "a.zip");
    ASSERT_EQ(members.size(), 1u);
    EXPECT_EQ(members[0].first, "ov4-2024-03-04.log");
    EXPECT_EQ(members[0].second, "TimeStamp, LogLevel\r\nmiddle day\r\n");

    // A range without logs still gives an archive: the empty one.
    m_controller->MakeLogArchive(out.Path() + "empty.zip", EncodeDate(2020, 1, 1), 2);
    const std::string empty = ReadText(out.Path() + "empty.zip");
    ASSERT_EQ(empty.size(), 22u);
    EXPECT_EQ(empty.substr(0, 4), std::string("PK\x05\x06", 4));
}

TEST_F(SendLogTest, UploadsTheArchiveToTheServerAndRemovesIt)
{
    TAppServerProcess server;
    TNembraConnection connection;
    SignIn(server, connection);
    WriteLog(m_march5, "fifth\r\n");
    WriteLog(m_march5 - 1, "fourth\r\n");
    WriteLog(m_march5 - 2, "third\r\n");

    m_controller->DoSendLog(m_march5, 3);
    // Days below 1 send one day.
    m_controller->DoSendLog(m_march5, 0);
    m_controller->DoSendLog(m_march5, -5);
    // Without logs the empty archive goes all the same.
    m_controller->DoSendLog(EncodeDate(2020, 1, 1), 1);

    const std::vector<TUploadRow> rows = Uploads(server.DatabaseFile());
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].UserID, "ADMIN");
    EXPECT_EQ(rows[0].LogDate.substr(0, 10), "2024-03-05");
    EXPECT_EQ(rows[0].LogDays, 3);
    EXPECT_EQ(rows[0].LogType, "zip");
    TTempFolder out;
    WriteText(out.Path() + "got.zip", rows[0].Log);
    EXPECT_EQ(Members(out.Path() + "got.zip"),
              (std::vector<std::pair<std::string, std::string>>{{"ov4-2024-03-03.log", "third\r\n"},
                                                                {"ov4-2024-03-04.log", "fourth\r\n"},
                                                                {"ov4-2024-03-05.log", "fifth\r\n"}}));
    for (int i : {1, 2}) {
        SCOPED_TRACE(i);
        EXPECT_EQ(rows[static_cast<size_t>(i)].LogDays, 1);
        WriteText(out.Path() + "one.zip", rows[static_cast<size_t>(i)].Log);
        EXPECT_EQ(Members(out.Path() + "one.zip").size(), 1u);
    }
    EXPECT_EQ(rows[3].Log.size(), 22u);
    EXPECT_EQ(rows[3].LogDate.substr(0, 10), "2020-01-01");
    EXPECT_EQ(LeftoverFolders(), m_leftovers) << "every archive and its folder removed";
}

TEST_F(SendLogTest, AFailedUploadRaisesAfterTheArchiveWasRemoved)
{
    WriteLog(m_march5, "fifth\r\n");
    std::string error;
    {
        TAppServerProcess server;
        TNembraConnection connection;
        SignIn(server, connection);
        server.Stop();
        error = ErrorOf([&] { m_controller->DoSendLog(m_march5, 1); });
    }
    EXPECT_NE(error, "");
    EXPECT_EQ(LeftoverFolders(), m_leftovers);

    // Not signed in at all: the server refuses the upload.
    TAppServerProcess server;
    TNembraConnection connection;
    connection.SetConnectionName("LOGUPLOAD");
    connection.SetServerURL(server.ServerURL());
    m_controller->Browser()->sysUploadLog().SetConnectionName("LOGUPLOAD");
    EXPECT_NE(ErrorOf([&] { m_controller->DoSendLog(m_march5, 1); }), "");
    EXPECT_TRUE(Uploads(server.DatabaseFile()).empty());
    EXPECT_EQ(LeftoverFolders(), m_leftovers);
}

TEST_F(SendLogTest, TheNextUploadRemovesTheFoldersOfUploadsThatWereKilled)
{
    const pid_t ended = ::fork();
    if (ended == 0)
        ::_exit(0);
    ::waitpid(ended, nullptr, 0);
    const std::string temp = ovnGetTempPath();
    const std::string stale = temp + "ov4-log-" + std::to_string(ended) + "-Ab3dE9/";
    // Uploads that may still be running (this process, its parent), and a
    // name of another pattern: left alone.
    const std::vector<std::string> kept = {temp + "ov4-log-" + std::to_string(::getpid()) + "-Qw3rTy/",
                                           temp + "ov4-log-" + std::to_string(::getppid()) + "-Zx8cVb/"};
    for (const std::string& folder : kept)
        ASSERT_TRUE(ForceDirectories(folder));
    ASSERT_TRUE(ForceDirectories(stale));
    WriteText(stale + "ov4-2024-03-05-14d.zip", std::string(4096, 'z'));

    TAppServerProcess server;
    TNembraConnection connection;
    SignIn(server, connection);
    WriteLog(m_march5, "fifth\r\n");
    m_controller->DoSendLog(m_march5, 1);

    EXPECT_FALSE(DirectoryExists(stale));
    EXPECT_EQ(Uploads(server.DatabaseFile()).size(), 1u);
    for (const std::string& folder : kept) {
        EXPECT_TRUE(DirectoryExists(folder)) << folder;
        RemoveDir(folder);
    }
}
