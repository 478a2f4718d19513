// The password rules, the password change dialog and the screen lock,
// against the local application server.

#include "Components/Controller/signin/CheckPassword.h"
#include "Components/Controller/ovnAdmin.h"
#include "Components/Controller/signin/frmChangePassword.h"
#include "Components/Controller/signin/frmLock.h"
#include "Components/Nembra/NembraClient.h"
#include "Components/Nembra/NembraDatabase.h"
#include "Components/Nembra/ovnDataSet.h"
#include "Components/Nembra/ovnOndrel.h"
#include "platform/DateUtils.h"
#include "platform/Fields.h"
#include "support/AppServerProcess.h"
#include "support/DialogScript.h"
#include "support/ErrorOf.h"

#include <QLabel>
#include <QLineEdit>

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

const char* const kPasswordSql = R"(
INSERT INTO TBL_ENTERPRISES (COUNTER, ENTERPRISE, CURRENT_USE, REQUIRE_SECURE_PASSWORD) VALUES
  (60, 'SECURE CARE', 'T', 'T'), (61, 'PLAIN CARE', 'T', 'F');
INSERT INTO TBL_USERS (COUNTER, USER_ID, USER_PASSWORD, FIRST_NAME, LAST_NAME, FULL_NAME, USER_TYPE, C_ENTERPRISE,
                       LAST_PASSWORD_CHANGE, PASSWORD_HISTORY) VALUES
  (60, 'MWR', 'Garden2020', 'Mary', 'White', 'Mary White', 'USR', 60, NULL,
   'Old1Pass' || char(13) || char(10) || 'Old2Pass' || char(13) || char(10) || 'Old3Pass' || char(13) || char(10) ||
   'Old4Pass' || char(13) || char(10) || 'Old5Pass' || char(13) || char(10) || 'Old6Pass' || char(13) || char(10) ||
   'Old7Pass' || char(13) || char(10) || 'Old8Pass' || char(13) || char(10) || 'Old9Pass' || char(13) || char(10) ||
   'Old10Pass' || char(13) || char(10) || 'Old11Pass' || char(13) || char(10) || 'Old12Pass' || char(13) || char(10)),
  (61, 'BLOGAN', 'OLDPASS', NULL, NULL, 'Bob Logan', 'USR', 61, NULL, NULL),
  (62, 'SYSOP', 'Sysop2020', 'Sam', 'Oper', 'Sam Oper', 'SYS', 60, date('now', 'localtime'), NULL),
  (63, 'TODAY', 'Today2020', 'Tia', 'Day', 'Tia Day', 'USR', 60, date('now', 'localtime'), NULL);
)";

std::string Lines(std::initializer_list<const char*> Items)
{
    std::string text;
    for (const char* item : Items)
        text += std::string(item) + "\r\n";
    return text;
}

// A text the server's database holds (first column of the first row).
std::string ServerText(const std::string& DatabaseFile, const std::string& Sql)
{
    sqlite3* db = nullptr;
    std::string text;
    if (sqlite3_open_v2(DatabaseFile.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, Sql.c_str(), -1, &statement, nullptr);
        if (statement && sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_text(statement, 0))
            text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return text;
}

class PasswordTest : public ::testing::Test
{
  protected:
    static void SetUpTestSuite() { s_server = new TAppServerProcess({}, kPasswordSql); }
    static void TearDownTestSuite()
    {
        delete s_server;
        s_server = nullptr;
    }
    // Signs in as User; the system database stays closed.
    void SignIn(const std::string& User, const std::string& Password)
    {
        m_db.reset();
        m_con = std::make_unique<TNembraConnection>();
        m_con->SetConnectionName("PWTEST");
        m_con->SetServerURL(s_server->ServerURL());
        m_con->SetAuthentication(qauthBasic);
        m_con->Params().Add("USER_ID=" + User);
        m_con->Params().Add("USER_PWD=" + Password);
        m_con->Open();
        m_db = std::make_unique<TNembraDatabase>();
        m_db->SetDatabaseName("PWSYS");
        m_db->SetConnectionName("PWTEST");
        m_db->SetServerOS("LIN");
        m_db->Params().SetText("DB_ALIAS=SYSTEM");
    }
    std::string Column(const std::string& Column, int Counter)
    {
        return ServerText(s_server->DatabaseFile(),
                          "SELECT " + Column + " FROM TBL_USERS WHERE COUNTER = " + std::to_string(Counter));
    }
    void TearDown() override
    {
        m_db.reset();
        m_con.reset();
    }
    static TAppServerProcess* s_server;
    std::unique_ptr<TNembraConnection> m_con;
    std::unique_ptr<TNembraDatabase> m_db;
};
TAppServerProcess* PasswordTest::s_server = nullptr;

// A user row as the administration's editor holds it.
void UserRow(TovnDataSet& Row, const Variant& Counter, const Variant& Enterprise, const Variant& LastChange,
             const Variant& History)
{
    Row.FieldDefs().Clear();
    Row.FieldDefs().Add("COUNTER", ftInteger);
    Row.FieldDefs().Add("USER_ID", ftString, 30);
    Row.FieldDefs().Add("FIRST_NAME", ftString, 30);
    Row.FieldDefs().Add("LAST_NAME", ftString, 30);
    Row.FieldDefs().Add("USER_PASSWORD", ftString, 30);
    Row.FieldDefs().Add("LAST_PASSWORD_CHANGE", ftDateTime);
    Row.FieldDefs().Add("PASSWORD_HISTORY", ftMemo);
    Row.FieldDefs().Add("C_ENTERPRISE", ftInteger);
    Row.Open();
    Row.AppendRecord({Counter, "MWR", "Mary", "White", "Garden2020", LastChange, History, Enterprise});
}

} // namespace

TEST_F(PasswordTest, TheRulesInTheirOrderOnAGivenRow)
{
    SignIn("MWR", "Garden2020");
    const std::string history = Lines({"Old1Pass", "Old2Pass", "Old3Pass", "Old4Pass", "Old5Pass", "Old6Pass",
                                       "Old7Pass", "Old8Pass", "Old9Pass", "Old10Pass", "Old11Pass", "Old12Pass"});
    struct Case
    {
        const char* Desc;
        std::string Old;
        std::string New;
        bool OncePerDay;
        bool ChangedToday;
        std::string Message;
    };
    const std::string old = "Garden2020";
    const Case cases[] = {
        {"blank before anything", "wrong", "   ", false, false, SBlankPassword},
        {"the old one exactly in a secure enterprise", "garden2020", "Fresh2026x", false, false,
         SOldPasswordIncorrect},
        {"1: length before the classes", old, "abc", false, false, SPasswordTooShort},
        // 7 characters in 11 bytes of UTF-8: the rule counts characters.
        {"1: seven non-ASCII characters", old, "\xc3\x84\xc3\x96\xc3\x9c\xc3\xa4" "bC1", false, false,
         SPasswordTooShort},
        {"1: eight characters, four of them non-ASCII", old, "\xc3\x84\xc3\x96\xc3\x9c\xc3\xa4" "bC12", false,
         false, ""},
        {"2: a lower-case letter", old, "ABCDEFG1", false, false, SPasswordNoLower},
        {"3: an upper-case letter", old, "abcdefg1", false, false, SPasswordNoUpper},
        {"4: a digit", old, "Abcdefgh", false, false, SPasswordNoDigit},
        {"2: only ASCII letters count", old, "\xc3\xa0" "BCDEFG12", false, false, SPasswordNoLower},
        {"3: only ASCII letters count", old, "\xc3\x80" "bcdefg12", false, false, SPasswordNoUpper},
        {"4: only ASCII digits count", old, "Abcdefgh\xd9\xa1", false, false, SPasswordNoDigit},
        {"5: the last name in other case", old, "xwHITe9ab", false, false, SPasswordHasLastName},
        {"5 before 6", old, "MaryWhite1", false, false, SPasswordHasLastName},
        {"6: the first name", old, "Maryland7", false, false, SPasswordHasFirstName},
        {"7: the user ID", old, "xMwr1234Z", false, false, SPasswordHasUserID},
        {"8: the current password", old, "Garden2020", false, false, SPasswordIsCurrent},
        {"9: once a day", old, "Fresh2026x", true, true, SPasswordOncePerDay},
        {"9: off", old, "Fresh2026x", false, true, ""},
        {"10: within the first 10 lines, any case", old, "OLD10pass", false, false, SPasswordInHistory},
        {"10: line 11 is no longer looked at", old, "Old11Pass", false, false, ""},
        {"the marker skips the old password", OldPasswordMarker, "Fresh2026x", false, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TovnDataSet row;
        UserRow(row, 60, 60, c.ChangedToday ? Variant(Now()) : Variant(), history);
        std::string newHistory = "untouched";
        EXPECT_EQ(DoCheckPassword(*m_db, 0, &row, c.Old, c.New, newHistory, c.OncePerDay), c.Message);
        if (!c.Message.empty()) {
            EXPECT_EQ(newHistory, "untouched");
        }
        EXPECT_FALSE(m_db->Active()) << "the open state is restored";
    }
    // After the change the history holds the new password and 9 old ones.
    TovnDataSet row;
    UserRow(row, 60, 60, Variant(), history);
    std::string newHistory;
    ASSERT_EQ(DoCheckPassword(*m_db, 0, &row, old, "Fresh2026x", newHistory, true), "");
    EXPECT_EQ(newHistory, Lines({"Fresh2026x", "Old1Pass", "Old2Pass", "Old3Pass", "Old4Pass", "Old5Pass",
                                 "Old6Pass", "Old7Pass", "Old8Pass", "Old9Pass"}));
    // A password still in the older lines is not added twice.
    ASSERT_EQ(DoCheckPassword(*m_db, 0, &row, old, "old11PASS", newHistory, true), "");
    EXPECT_EQ(newHistory, Lines({"Old1Pass", "Old2Pass", "Old3Pass", "Old4Pass", "Old5Pass", "Old6Pass",
                                 "Old7Pass", "Old8Pass", "Old9Pass", "Old10Pass"}));
}

TEST_F(PasswordTest, ANonSecureEnterpriseChecksTheOldPasswordOnlyWithoutCase)
{
    SignIn("BLOGAN", "OLDPASS");
    std::string history;
    EXPECT_EQ(DoCheckPassword(*m_db, 61, nullptr, "oldpass", "a", history, true), "");
    EXPECT_EQ(history, Lines({"a"})) << "a NULL history starts empty";
    EXPECT_EQ(DoCheckPassword(*m_db, 61, nullptr, "other", "a", history, true), SOldPasswordIncorrect);
    EXPECT_EQ(DoCheckPassword(*m_db, 61, nullptr, "oldpass", " \t ", history, true), SBlankPassword);
}

TEST_F(PasswordTest, TheStoredRowAndItsFailures)
{
    SignIn("MWR", "Garden2020");
    std::string history;
    // The stored row: NULL date counts as long ago, the 12 lines as above.
    EXPECT_EQ(DoCheckPassword(*m_db, 60, nullptr, "Garden2020", "old3PASS", history, true), SPasswordInHistory);
    EXPECT_EQ(DoCheckPassword(*m_db, 60, nullptr, "Garden2020", "Fresh2026x", history, true), "");
    EXPECT_EQ(ErrorOf<ECheckPassword>([&] { DoCheckPassword(*m_db, 999, nullptr, "x", "Fresh2026x", history, true); }),
              "User not found in DB");
    // A new user (no counter) of an enterprise that does not exist.
    TovnDataSet row;
    UserRow(row, Variant(), 999, Variant(), Variant());
    EXPECT_EQ(ErrorOf<ECheckPassword>(
                  [&] { DoCheckPassword(*m_db, 0, &row, OldPasswordMarker, "Fresh2026x", history, true); }),
              "Password sequrity level check failed");
    EXPECT_FALSE(m_db->Active());
    // A new user of the secure enterprise: its flag comes from the enterprise.
    TovnDataSet fresh;
    UserRow(fresh, Variant(), 60, Variant(), Variant());
    EXPECT_EQ(DoCheckPassword(*m_db, 0, &fresh, OldPasswordMarker, "abc", history, true), SPasswordTooShort);
    // An open database stays open.
    m_db->Open();
    EXPECT_EQ(DoCheckPassword(*m_db, 60, nullptr, "Garden2020", "abc", history, true), SPasswordTooShort);
    EXPECT_TRUE(m_db->Active());
    EXPECT_THROW(DoCheckPassword(*m_db, 999, nullptr, "x", "Fresh2026x", history, true), ECheckPassword);
    EXPECT_TRUE(m_db->Active());
}

TEST_F(PasswordTest, TheDialogSavesAChangeAndReadsItBack)
{
    SignIn("SYSOP", "Sysop2020");
    TAdminUser user;
    user.ID = "SYSOP";
    user.Counter = 62;
    user.UserType = "SYS";
    user.Password = "Sysop2020";
    TDialogScript dialogs;
    auto shown = WhenModal<TfrmChangePassword>([](TfrmChangePassword& dialog) {
        EXPECT_EQ(dialog.windowTitle().toStdString(), "Change Password");
        EXPECT_TRUE(dialog.KeepsCase());
        Keys::Type(*dialog.edtOld(), "Sysop2020");
        Keys::Type(*dialog.edtNew(), "Brandnew42");
        Keys::Type(*dialog.edtConfirm(), "BRANDNEW42");
        EXPECT_EQ(dialog.edtNew()->text().toStdString(), "Brandnew42") << "a secure enterprise keeps the case";
        Keys::Enter(*dialog.edtConfirm());
    });
    // Changed today already: for SYS the once-a-day rule is off.
    EXPECT_TRUE(TfrmChangePassword::Execute(*m_db, user));
    EXPECT_TRUE(*shown);
    EXPECT_EQ(dialogs->Texts(), std::vector<std::string>{"Password was changed"});
    EXPECT_EQ(user.Password, "Brandnew42");
    EXPECT_EQ(Column("USER_PASSWORD", 62), "Brandnew42");
    EXPECT_EQ(Column("PASSWORD_HISTORY", 62), Lines({"Brandnew42"}));
    EXPECT_EQ(Column("substr(LAST_PASSWORD_CHANGE, 1, 10)", 62), FormatDateTime("yyyy-mm-dd", Date()));
    EXPECT_FALSE(m_db->Active());
    // The date travels as a date.
    m_db->Open();
    TovnOndrelQuery q;
    q.SetDatabase(m_db.get());
    q.SetUseSQL(true);
    q.SQL().SetText("select last_password_change from tbl_users where counter = 62");
    q.Open();
    EXPECT_EQ(q.FieldByName("LAST_PASSWORD_CHANGE")->DataType(), ftDateTime);
    EXPECT_EQ(DaysBetween(q.FieldByName("LAST_PASSWORD_CHANGE")->AsDateTime(), Date()), 0);
}

TEST_F(PasswordTest, ARefusedChangeStaysAndWritesNothing)
{
    SignIn("TODAY", "Today2020");
    TAdminUser user;
    user.ID = "TODAY";
    user.Counter = 63;
    user.UserType = "USR";
    user.Password = "Today2020";
    TDialogScript dialogs;
    dialogs->QueueAnswer(mrOk);
    dialogs->QueueAnswer(mrOk);
    auto shown = WhenModal<TfrmChangePassword>([&](TfrmChangePassword& dialog) {
        dialog.edtOld()->setText("Today2020");
        dialog.edtNew()->setText("Another77");
        dialog.edtConfirm()->setText("Another78");
        Keys::Enter(*dialog.edtConfirm());
        EXPECT_TRUE(dialog.isVisible());
        dialog.edtConfirm()->setText("another77");
        Keys::Enter(*dialog.edtConfirm());
        EXPECT_TRUE(dialog.isVisible()) << "a rule's message keeps the dialog";
        Keys::Escape(*dialog.edtConfirm());
    });
    EXPECT_FALSE(TfrmChangePassword::Execute(*m_db, user));
    EXPECT_TRUE(*shown);
    ASSERT_EQ(dialogs->Calls().size(), 2u);
    EXPECT_EQ(dialogs->Calls()[0].Text, "New password and confirm password does not match!");
    EXPECT_EQ(dialogs->Calls()[0].Type, mtError);
    EXPECT_EQ(dialogs->Calls()[1].Text, SPasswordOncePerDay);
    EXPECT_EQ(dialogs->Calls()[1].Type, mtWarning);
    EXPECT_EQ(Column("USER_PASSWORD", 63), "Today2020");
    EXPECT_EQ(Column("PASSWORD_HISTORY", 63), "");
    EXPECT_EQ(user.Password, "Today2020");
}

TEST_F(PasswordTest, ANonSecureDialogTypesUpperCaseAndTheSignInIgnoresCase)
{
    SignIn("BLOGAN", "oldpass");
    TAdminUser user;
    user.ID = "BLOGAN";
    user.Counter = 61;
    user.UserType = "USR";
    TDialogScript dialogs;
    WhenModal<TfrmChangePassword>([](TfrmChangePassword& dialog) {
        EXPECT_FALSE(dialog.KeepsCase());
        Keys::Type(*dialog.edtOld(), "oldPass");
        Keys::Type(*dialog.edtNew(), "plain");
        Keys::Type(*dialog.edtConfirm(), "plain");
        EXPECT_EQ(dialog.edtOld()->text().toStdString(), "OLDPASS");
        Keys::Enter(*dialog.edtConfirm());
    });
    ASSERT_TRUE(TfrmChangePassword::Execute(*m_db, user));
    EXPECT_EQ(Column("USER_PASSWORD", 61), "PLAIN");
    SignIn("blogan", "Plain");
    EXPECT_TRUE(m_con->Active());
    // A secure enterprise's sign-in is exact.
    EXPECT_ANY_THROW(SignIn("MWR", "garden2020"));
}

TEST(ScreenLock, ClosesOnlyOnTheExactPassword)
{
    TAdminUser user;
    user.ID = "jsmith";
    user.Password = "Secret1";
    TDialogScript dialogs;
    dialogs->QueueAnswer(mrOk);
    TfrmLock lock(user);
    auto shown = WhenModal<TfrmLock>([&](TfrmLock& dialog) {
        EXPECT_EQ(dialog.windowTitle().toStdString(), "Browser Locked");
        EXPECT_EQ(dialog.edtId()->text().toStdString(), "JSMITH");
        EXPECT_EQ(dialog.edtPassword()->text().toStdString(), "");
        EXPECT_EQ(dialog.focusWidget(), dialog.edtPassword());
        EXPECT_FALSE(dialog.imgLock()->pixmap().isNull());
        // Blank: Unlock asks for it; the other closes stay silently.
        dialog.edtPassword()->setText("  ");
        dialog.edtId()->setFocus();
        Keys::Enter(*dialog.edtPassword());
        EXPECT_EQ(dialog.focusWidget(), dialog.edtPassword());
        Keys::Escape(*dialog.edtPassword());
        dialog.close();
        EXPECT_TRUE(dialog.isVisible());
        for (const char* wrong : {"secret1", "Secret1 ", "SECRET1", "Secret"}) {
            dialog.edtPassword()->setText(wrong);
            Keys::Enter(*dialog.edtPassword());
            Keys::Escape(*dialog.edtPassword());
            dialog.close();
            EXPECT_TRUE(dialog.isVisible()) << wrong;
        }
        dialog.edtPassword()->setText("Secret1");
        dialog.close(); // the close box
        EXPECT_FALSE(dialog.isVisible());
    });
    lock.ShowModal();
    EXPECT_TRUE(*shown);
    EXPECT_EQ(dialogs->Texts(), std::vector<std::string>{"Enter Password to unlock"});
}

TEST_F(PasswordTest, AServerErrorIsShownTheDialogStaysAndNothingIsWritten)
{
    // Signed in as TODAY, the dialog works on another user's row, whose
    // password TODAY reads as NULL (so an empty old one passes) and which
    // the server does not let TODAY change.
    SignIn("TODAY", "Today2020");
    TAdminUser user;
    user.ID = "MWR";
    user.Counter = 60;
    user.UserType = "USR";
    TDialogScript dialogs;
    dialogs->QueueAnswer(mrOk);
    bool stayed = false;
    WhenModal<TfrmChangePassword>([&](TfrmChangePassword& dialog) {
        dialog.edtNew()->setText("Fresh2026x");
        dialog.edtConfirm()->setText("Fresh2026x");
        Keys::Enter(*dialog.edtConfirm());
        stayed = dialog.isVisible();
        Keys::Escape(*dialog.edtConfirm());
    });
    EXPECT_FALSE(TfrmChangePassword::Execute(*m_db, user));
    EXPECT_TRUE(stayed);
    ASSERT_EQ(dialogs->Calls().size(), 1u);
    EXPECT_EQ(dialogs->Calls()[0].Type, mtError);
    EXPECT_NE(dialogs->Calls()[0].Text.find("ORA-01031"), std::string::npos) << dialogs->Calls()[0].Text;
    EXPECT_FALSE(m_db->Active()) << "the open state is restored";
    EXPECT_EQ(Column("USER_PASSWORD", 60), "Garden2020");
}

TEST_F(PasswordTest, AnLFOnlyHistoryIsReadByLinesAndStoredWithCRLF)
{
    SignIn("MWR", "Garden2020");
    TovnDataSet row;
    UserRow(row, 60, 60, Variant(), "First1ab\nSecond2ab\n");
    std::string history;
    EXPECT_EQ(DoCheckPassword(*m_db, 0, &row, "Garden2020", "SECOND2ab", history, true), SPasswordInHistory);
    ASSERT_EQ(DoCheckPassword(*m_db, 0, &row, "Garden2020", "Third3abc", history, true), "");
    EXPECT_EQ(history, Lines({"Third3abc", "First1ab", "Second2ab"}));
}

// Typed into the dialog, seven non-ASCII-rich characters stay too short in a
// secure enterprise, however many bytes they take; nothing is written.
TEST_F(PasswordTest, TheDialogCountsCharactersNotBytes)
{
    SignIn("MWR", "Garden2020");
    TAdminUser user;
    user.ID = "MWR";
    user.Counter = 60;
    user.UserType = "USR";
    user.Password = "Garden2020";
    TDialogScript dialogs;
    dialogs->QueueAnswer(mrOk);
    bool stayed = false;
    WhenModal<TfrmChangePassword>([&](TfrmChangePassword& dialog) {
        const QString seven = QString::fromUtf8("\xc3\x84\xc3\x96\xc3\x9c\xc3\xa4" "bC1");
        Keys::Type(*dialog.edtOld(), "Garden2020");
        Keys::Type(*dialog.edtNew(), seven);
        Keys::Type(*dialog.edtConfirm(), seven);
        EXPECT_EQ(dialog.edtNew()->text(), seven);
        Keys::Enter(*dialog.edtConfirm());
        stayed = dialog.isVisible();
        Keys::Escape(*dialog.edtConfirm());
    });
    EXPECT_FALSE(TfrmChangePassword::Execute(*m_db, user));
    EXPECT_TRUE(stayed);
    ASSERT_EQ(dialogs->Calls().size(), 1u);
    EXPECT_EQ(dialogs->Calls()[0].Text, "Password length is less then 8 characters");
    EXPECT_EQ(dialogs->Calls()[0].Type, mtWarning);
    EXPECT_EQ(Column("USER_PASSWORD", 60), "Garden2020");
    EXPECT_EQ(user.Password, "Garden2020");
}
