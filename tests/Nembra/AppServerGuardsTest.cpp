// The local application server as the weak point it must not be: client SQL
// runs with the signed-in user's rights, object name patterns cost little
// however they are written, request bodies are limited (and small without a
// session), and archives unpack without holding a member whole.
#include "Components/Nembra/NembraDBDataSets.h"
#include "Components/Nembra/NembraJSON.h"
#include "Components/Nembra/NembraLib.h"
#include "Components/Nembra/NembraRemoteFileSystem.h"

#include "support/AppServerSession.h"
#include "support/AppServerSignIn.h"
#include "support/AppServerUserSession.h"
#include "support/FileSystemTesting.h"
#include "support/LoopbackClient.h"
#include "support/NembraErrorOf.h"
#include "support/RawZip.h"
#include "support/TempFolder.h"

#include "platform/FileUtils.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <sys/socket.h>

namespace {

const char* const kUsersSql = R"sql(
UPDATE TBL_USERS SET PASSWORD_HISTORY = 'admin-history' WHERE COUNTER = 2;
INSERT INTO TBL_USERS (COUNTER, USER_ID, USER_PASSWORD, FIRST_NAME, LAST_NAME, FULL_NAME, USER_TYPE, C_ENTERPRISE,
                       PASSWORD_HISTORY) VALUES
  (40, 'NURSE', 'nurse', 'Tom', 'Ward', 'Tom Ward', 'USR', 1, 'nurse-history'),
  (41, 'CLERK', 'clerk', 'Ann', 'Desk', 'Ann Desk', 'USR', 1, 'clerk-history');
INSERT INTO TBL_ROLES (COUNTER, ROLE_ID, C_ENTERPRISE) VALUES (70, 'STAFF', 1);
)sql";

const std::string kRefused = "ORA-01031: insufficient privileges";

class ServerRights : public ::testing::Test
{
  protected:
    TAppServerProcess Server{{}, kUsersSql};
    TTempFolder Folder;
    TUserSession Nurse{Server, "NURSE", "nurse"};
    TUserSession Admin{Server, "ADMIN", ""};
};

TEST_F(ServerRights, AUserReadsEveryUserButOnlyItsOwnPasswordAndHistory)
{
    const std::string list = "SELECT COUNTER, USER_ID, FULL_NAME, USER_TYPE, C_ENTERPRISE, CURRENT_USE, "
                             "USER_PASSWORD, PASSWORD_HISTORY FROM TBL_USERS WHERE COUNTER > 1 ORDER BY COUNTER";
    EXPECT_EQ(Nurse.Rows(list), (std::vector<std::string>{"2|ADMIN|System Manager|SYS|1|T|<null>|<null>",
                                                          "40|NURSE|Tom Ward|USR|1|T|nurse|nurse-history",
                                                          "41|CLERK|Ann Desk|USR|1|T|<null>|<null>"}));
    EXPECT_EQ(Admin.Rows(list)[2], "41|CLERK|Ann Desk|USR|1|T|clerk|clerk-history") << "an administrator reads all";

    // The password rules' own read, as the client writes it.
    EXPECT_EQ(Nurse.Rows("Select u.counter, u.user_id, u.first_name, u.last_name, u.user_password, "
                         "u.last_password_change, u.password_history From tbl_users u Where u.counter = 40"),
              (std::vector<std::string>{"40|NURSE|Tom|Ward|nurse|<null>|nurse-history"}));
    // Around the view: the table itself, conditions, joins and sub-selects.
    EXPECT_EQ(Nurse.Rows("SELECT USER_PASSWORD, PASSWORD_HISTORY FROM main.TBL_USERS WHERE COUNTER = 41"),
              (std::vector<std::string>{"<null>|<null>"}));
    EXPECT_EQ(Nurse.Rows("SELECT COUNT(*) FROM main.TBL_USERS WHERE USER_PASSWORD = 'clerk'"),
              (std::vector<std::string>{"0"}));
    EXPECT_EQ(Nurse.Rows("SELECT (SELECT MAX(USER_PASSWORD) FROM TBL_USERS) FROM DUAL"),
              (std::vector<std::string>{"nurse"}));
    EXPECT_EQ(Nurse.Rows("WITH TBL_USERS AS (SELECT * FROM main.TBL_USERS) SELECT USER_PASSWORD FROM TBL_USERS "
                         "WHERE COUNTER = 41"),
              (std::vector<std::string>{"<null>"}));
    EXPECT_EQ(Nurse.Refusal("SELECT * FROM SRV_SESSIONS"), kRefused) << "the sessions' ids";
}

TEST_F(ServerRights, AUserChangesOnlyItsOwnPasswordAndDetails)
{
    // The password change as the client sends it.
    EXPECT_EQ(Nurse.Refusal("Update tbl_users Set user_password = 'n3w', "
                            "last_password_change = to_date('20240105', 'yyyymmdd'), "
                            "password_history = 'n3w' Where counter = 40"),
              "");
    EXPECT_EQ(Nurse.System.ExecSQL("UPDATE TBL_USERS SET FULL_NAME = 'Tom A. Ward', EMAIL = 't@w' WHERE COUNTER = 40"),
              1);
    EXPECT_EQ(Admin.Rows("SELECT USER_PASSWORD, FULL_NAME FROM TBL_USERS WHERE COUNTER = 40"),
              (std::vector<std::string>{"n3w|Tom A. Ward"}));

    const char* const refused[] = {
        "UPDATE TBL_USERS SET USER_TYPE = 'SYS' WHERE COUNTER = 40",
        "UPDATE main.TBL_USERS SET USER_TYPE = 'SYS' WHERE COUNTER = 40",
        "UPDATE TBL_USERS SET DEFINE_ROLE = 'T', DEFINE_DB_ACCESS = 'T' WHERE COUNTER = 40",
        "UPDATE TBL_USERS SET EXPIRATION_DATE = '2099-12-31' WHERE COUNTER = 40",
        "UPDATE TBL_USERS SET C_ENTERPRISE = NULL WHERE COUNTER = 40",
        "UPDATE TBL_USERS SET USER_PASSWORD = 'mine' WHERE COUNTER = 2",
        "UPDATE TBL_USERS SET FULL_NAME = FULL_NAME",
        "UPDATE OR REPLACE TBL_USERS SET COUNTER = 2 WHERE COUNTER = 40",
        "INSERT INTO TBL_USERS (COUNTER, USER_ID, USER_TYPE) VALUES (99, 'ROOT', 'SYS')",
        "DELETE FROM TBL_USERS WHERE COUNTER = 41",
        "DELETE FROM main.TBL_USERS WHERE COUNTER = 41",
        "INSERT INTO TBL_USERDBACCESS (C_USER, C_ROLE) VALUES (40, 70)",
        "UPDATE TBL_ROLES SET C_USER = 40",
        "CREATE TRIGGER T_ESCALATE AFTER INSERT ON TBL_MAIL BEGIN UPDATE TBL_USERS SET USER_TYPE = 'SYS'; END",
        "DROP TABLE TBL_MAIL",
    };
    for (const char* sql : refused)
        EXPECT_EQ(Nurse.Refusal(sql), kRefused) << sql;
    EXPECT_EQ(Admin.Rows("SELECT USER_TYPE, DEFINE_ROLE, USER_PASSWORD FROM TBL_USERS WHERE COUNTER IN (2, 40, 41) "
                         "ORDER BY COUNTER"),
              (std::vector<std::string>{"SYS|T|<null>", "USR|F|n3w", "USR|F|clerk"}));
    EXPECT_EQ(Admin.Rows("SELECT COUNT(*) FROM TBL_USERDBACCESS WHERE C_USER = 40"), (std::vector<std::string>{"0"}));

    // What the administration forms do stays open to administrators.
    EXPECT_EQ(Admin.System.ExecSQL("UPDATE TBL_USERS SET USER_TYPE = 'MGR', USER_PASSWORD = 'set' WHERE COUNTER = 41"),
              1);
    EXPECT_EQ(Admin.System.ExecSQL("INSERT INTO TBL_USERDBACCESS (C_USER, C_ROLE) VALUES (41, 70)"), 1);
    EXPECT_EQ(Admin.System.ExecSQL("DELETE FROM TBL_USERDBACCESS WHERE C_USER = 41"), 1);
}

TEST_F(ServerRights, NoUserReachesFilesPragmaSettingsOrExtensions)
{
    const std::string attached = Folder / "attached.db";
    const std::string copy = Folder / "copy.db";
    const std::string refused[] = {
        "ATTACH DATABASE '" + attached + "' AS OTHER",
        "VACUUM INTO '" + copy + "'",
        "VACUUM",
        "DETACH DATABASE temp",
        "PRAGMA foreign_keys = OFF",
        "PRAGMA writable_schema = 1",
        "PRAGMA journal_mode = DELETE",
        "PRAGMA wal_checkpoint",
        "SELECT load_extension('" + std::string(Folder / "none.so") + "') FROM DUAL",
    };
    for (TUserSession* user : {&Nurse, &Admin})
        for (const std::string& sql : refused)
            EXPECT_EQ(user->Refusal(sql), kRefused) << sql;
    EXPECT_FALSE(FileExists(attached));
    EXPECT_FALSE(FileExists(copy));
    // Reading a setting and the catalogue stays.
    EXPECT_EQ(Nurse.Rows("PRAGMA foreign_keys"), (std::vector<std::string>{"1"}));
    EXPECT_EQ(Nurse.Rows("SELECT COUNT(*) FROM pragma_table_info('TBL_MAIL')").size(), 1u);
}

// --- Object name patterns ---------------------------------------------------------------------

TEST(ServerObjectNames, ManyPercentSignsAnswerAtOnceAndLongPatternsAreRefused)
{
    TAppServerProcess server;
    TNembraConnection connection;
    SignInAsAdmin(connection, server.ServerURL());
    auto names = [&](const std::string& pattern) {
        auto request = connection.GetNembraRequest();
        request->SetProcedureName("Nembra.GetObjectNames");
        request->SetParam("ObjectType", Variant("table"));
        request->SetParam("ObjectName", Variant(pattern));
        request->Execute();
        return request->GetJSONObject().GetValues("Data").GetAsArray().Count();
    };
    // Before, every '%' tried each split of the rest: 12 took half a minute, 30 never ended.
    const std::string many(30, '%');
    EXPECT_GT(names(many), 5);
    EXPECT_EQ(names(many + "TBL_USERS"), 1);
    EXPECT_EQ(names(many + "#"), 0);
    const TServerError tooLong = ServerErrorOf([&] { names(std::string(300, '%')); });
    EXPECT_NE(tooLong.Message.find("longer than 256"), std::string::npos) << tooLong;
}

// --- Request bodies ---------------------------------------------------------------------------

// Sends `head` (and `body`) to the server on a connection of its own; the
// reply, or what came before the server closed or fell silent for 20 s.
std::string Exchange(int port, const std::string& head, const std::string& body)
{
    const TLoopbackClient client(port);
    if (!client.Connected())
        return "<no connection>";
    (void)client.Send(head + body);
    return client.Receive([](const std::string& reply) {
        return reply.find("\r\n\r\n") != std::string::npos && reply.find("ServerProcessing") != std::string::npos;
    });
}

std::string PostHead(const std::string& procedure, size_t length, const std::string& cookie = "")
{
    return "POST /bin/orvane.dll/" + procedure + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" +
           (cookie.empty() ? "" : "Cookie: WSID=" + cookie + "\r\n") +
           "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n";
}

TEST(ServerRequestBodies, ABodyOverTheCapIsRefusedUnreadAndAnUnsignedCallStaysSmall)
{
    TAppServerProcess server;
    // 300 MB announced, 1 KB sent: before, the server waited for the rest
    // (and would have held all of it before asking for a session).
    const std::string start = "SQL=" + std::string(1020, 'x');
    const std::string unsigned_ = Exchange(server.Port(), PostHead("Nembra.QueryExecute", 300u << 20), start);
    EXPECT_NE(unsigned_.find("#1005"), std::string::npos) << unsigned_.substr(0, 400);
    // Without a session 2 MB is already too much, even for a sign-in.
    const std::string login = Exchange(server.Port(), PostHead("Nembra.Login", 2u << 20), start);
    EXPECT_NE(login.find("#1005"), std::string::npos) << login.substr(0, 400);

    // A signed-in caller may send more, but not more than the cap.
    const std::string session = SignInSession(server, "ADMIN");
    ASSERT_FALSE(session.empty());
    const std::string large = Exchange(server.Port(), PostHead("Test.Echo", 300u << 20, session), start);
    EXPECT_NE(large.find("larger than the server accepts"), std::string::npos) << large.substr(0, 400);
    const std::string keepAlive = Exchange(server.Port(), PostHead("Nembra.KeepAlive", 3u << 20, session),
                                           std::string(3u << 20, 'x'));
    EXPECT_NE(keepAlive.find("\"Error\":\"\""), std::string::npos) << keepAlive.substr(0, 400);
}

// What went out of a body before the server ended the connection, and its reply.
struct TSentBody
{
    size_t Sent = 0;
    std::string Reply;
};

// Sends `head`, then up to `length` bytes of body in blocks of 64 KB (as
// chunks when asked) until the server ends the connection, then reads the
// reply until the server closes (or falls silent for 20 s).
TSentBody SendUntilClosed(int port, const std::string& head, size_t length, bool chunked)
{
    TSentBody result;
    const TLoopbackClient client(port);
    if (!client.Connected())
        return result;
    const timeval limit{20, 0};
    setsockopt(client.Socket(), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    const std::string block(64 * 1024, 'x');
    bool open = client.Send(head);
    while (open && result.Sent < length) {
        const size_t size = std::min(block.size(), length - result.Sent);
        if (chunked) {
            char line[32];
            std::snprintf(line, sizeof line, "%zx\r\n", size);
            open = client.Send(line, std::strlen(line)) && client.Send(block.data(), size) && client.Send("\r\n", 2);
        } else {
            open = client.Send(block.data(), size);
        }
        if (open)
            result.Sent += size;
    }
    if (open && chunked)
        client.Send("0\r\n\r\n", 5);
    result.Reply = client.Receive();
    return result;
}

// Before, the server answered at once but then read the rest of the body as
// if it were the next request, holding all of it: 512 MB took it to 574 MB.
TEST(ServerRequestBodies, ARefusedBodyEndsTheConnectionUnread)
{
    TAppServerProcess server;
    const std::string session = SignInSession(server, "ADMIN");
    ASSERT_FALSE(session.empty());
    const size_t before = server.PeakMemory();
    const size_t mb = size_t(1) << 20;
    struct Case
    {
        const char* Desc;
        std::string Head;
        size_t Length;
        bool Chunked;
        const char* Refusal;
    } cases[] = {
        {"a call without a session", PostHead("Nembra.QueryExecute", 64 * mb), 64 * mb, false, "#1005"},
        {"a chunked call without a session",
         "POST /bin/orvane.dll/Nembra.Login HTTP/1.1\r\nHost: 127.0.0.1\r\nTransfer-Encoding: "
         "chunked\r\n\r\n",
         64 * mb, true, "#1005"},
        {"a signed-in call over the cap", PostHead("Nembra.QueryExecute", 300 * mb, session), 300 * mb, false,
         "larger than the server accepts (256 MB)"},
        {"a page, which takes no body",
         "GET /services/get_ad.php HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: " +
             std::to_string(64 * mb) + "\r\n\r\n",
         64 * mb, false, "413"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        const TSentBody sent = SendUntilClosed(server.Port(), c.Head, c.Length, c.Chunked);
        EXPECT_NE(sent.Reply.find(c.Refusal), std::string::npos) << sent.Reply.substr(0, 400);
        EXPECT_NE(sent.Reply.find("Connection: close"), std::string::npos) << sent.Reply.substr(0, 400);
        // What the kernel's buffers take before the connection ends; the rest never went out.
        EXPECT_LT(sent.Sent, 32 * mb);
    }
    EXPECT_LT(server.PeakMemory() - before, 64 * mb);
    // The server goes on serving.
    EXPECT_NE(Exchange(server.Port(), PostHead("Nembra.KeepAlive", 0, session), "").find("\"Error\":\"\""),
              std::string::npos);
}

// --- Replies the caller sizes -----------------------------------------------------------------

// PLG_DEMO's Echo built whatever COUNT asked: one call answered 300 MB (1.22
// GB at its peak), a fetch cursor held 825 MB. Like Ping's 1 MB, its replies
// stop at a few MB: 4 MB of text, 10,000 rows.
TEST(ServerPluginReplies, EchoRefusesARequestForMoreThanAFewMegabytes)
{
    TAppServerProcess server;
    TNembraConnection connection;
    SignInAsAdmin(connection, server.ServerURL());
    TNembraPlugin echo;
    echo.SetName("plgEcho");
    echo.SetConnectionName("MAIN");
    echo.SetPluginName("PLG_DEMO");
    echo.SetProcedureName("Echo");
    echo.UpdateParams();
    const int64_t limit = 4 * 1024 * 1024;
    struct Case
    {
        const char* Desc;
        std::string Text;
        int64_t Count;
        const char* Executed; // the refusal, '' when it answers
        const char* Fetched;
    } cases[] = {
        {"4 MB of text", std::string(1024, 'a'), limit / 1024, "", ""},
        {"a character more", std::string(1024, 'a'), limit / 1024 + 1,
         "Echo answers at most 4194304 characters: COUNT 4097 times a TEXT of 1024 is more.",
         "Echo answers at most 4194304 characters: COUNT 4097 times a TEXT of 1024 is more."},
        {"one text above the limit", std::string(limit + 1, 'b'), 1,
         "Echo answers at most 4194304 characters: COUNT 1 times a TEXT of 4194305 is more.",
         "Echo answers at most 4194304 characters: COUNT 1 times a TEXT of 4194305 is more."},
        {"10,000 short rows", "ab", 10000, "", ""},
        {"a row more", "ab", 10001, "", "Echo fetches at most 10000 rows: COUNT 10001 is more."},
        {"a count that would overflow", "abc", int64_t(1) << 62,
         "Echo answers at most 4194304 characters: COUNT 4611686018427387904 times a TEXT of 3 is more.",
         "Echo fetches at most 10000 rows: COUNT 4611686018427387904 is more."},
        {"nothing to repeat many times", "", int64_t(1) << 62, "",
         "Echo fetches at most 10000 rows: COUNT 4611686018427387904 is more."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        echo.Params().ParamByName("TEXT")->SetAsString(c.Text);
        echo.Params().ParamByName("COUNT")->SetAsLargeInt(c.Count);
        const TServerError executed = ServerErrorOf([&] { echo.Execute(); });
        EXPECT_EQ(executed.Message, c.Executed) << executed;
        if (!*c.Executed) {
            EXPECT_EQ(echo.Params().ParamByName("TEXT_OUT")->AsString().size(),
                      c.Text.empty() ? 0 : c.Text.size() * size_t(c.Count));
        }
        const TServerError fetched = ServerErrorOf([&] { echo.Open(); });
        EXPECT_EQ(fetched.Message, c.Fetched) << fetched;
        if (!*c.Fetched) {
            EXPECT_EQ(echo.RecordCount(), std::min<int64_t>(c.Count, 50)) << "the first page";
        }
        echo.Close();
    }
}

// --- Archives ---------------------------------------------------------------------------------

// A zip archive whose one member unpacks to `size` zero bytes, made a
// block at a time.
std::string ZipBomb(const std::string& name, size_t size)
{
    z_stream z{};
    deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
    const std::string zeros(1 << 20, '\0');
    std::string packed;
    uLong crc = crc32(0, nullptr, 0);
    char out[65536];
    for (size_t done = 0; done < size; done += zeros.size()) {
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.data()));
        z.avail_in = static_cast<uInt>(zeros.size());
        crc = crc32(crc, z.next_in, z.avail_in);
        const int flush = done + zeros.size() >= size ? Z_FINISH : Z_NO_FLUSH;
        do {
            z.next_out = reinterpret_cast<Bytef*>(out);
            z.avail_out = sizeof out;
            deflate(&z, flush);
            packed.append(out, sizeof out - z.avail_out);
        } while (z.avail_out == 0 || (flush == Z_FINISH && z.avail_in > 0));
    }
    deflateEnd(&z);
    RawZip::Archive zip;
    RawZip::Member member(name, "");
    member.Data = packed;
    member.Crc32 = static_cast<int64_t>(crc);
    member.UncompressedSize = static_cast<int64_t>(size);
    zip.Members.push_back(member);
    return zip.Bytes();
}

TEST(ServerArchives, ExtractWritesAMemberBlockByBlock)
{
    TTempFolder files;
    TAppServerProcess server{{"--files", files.Path()}};
    TNembraConnection main;
    SignInAsAdmin(main, server.ServerURL());
    const size_t size = size_t(256) << 20;
    ForceDirectories(files / "res/");
    WriteText(files / "res/bomb.zip", ZipBomb("zeros.bin", size));
    TNembraRemoteFileSystem fs("vrs+MAIN?res");
    const size_t before = server.PeakMemory();
    ASSERT_GT(before, 0u);
    fs.Extract("bomb.zip", "out", "", "");
    EXPECT_EQ(FileSize(files / "res/out/zeros.bin"), static_cast<int64_t>(size));
    // Before, the member was held whole: the server grew by all of its 256 MB.
    EXPECT_LT(server.PeakMemory() - before, size_t(64) << 20);
}

} // namespace
