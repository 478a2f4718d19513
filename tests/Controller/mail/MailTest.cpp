// O-Mail against the local application server: sending (the checks, the
// addressing read back from TBL_MAIL, attachments), the compose window's
// close, the main window's SendOMail and ViewMail, the mailbox's rows,
// count, labels, timer and actions, the message window's reply, print and
// saved attachment, and the server's "$check_mail" reaching a client.
#include "Components/Controller/applets/KldForms.h"
#include "Components/Controller/mail/ComposeMail.h"
#include "Components/Controller/mail/MailBody.h"
#include "Components/Controller/mail/MailPopup.h"
#include "Components/Controller/mail/MailRules.h"
#include "Components/Controller/mail/ReadMail.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/ovnController.h"
#include "Components/Nembra/ovnOndrel.h"
#include "base/KldLogFile.h"
#include "platform/DBGrids.h"
#include "platform/DataSetModel.h"
#include "platform/Fields.h"
#include "platform/FileUtils.h"
#include "platform/Mask.h"
#include "support/AppServerProcess.h"
#include "support/DialogScript.h"
#include "support/ErrorOf.h"
#include "support/EventLoopWait.h"
#include "support/GuiProbe.h"
#include "support/LocalServerConnection.h"
#include "support/NotificationLinkSync.h"
#include "support/TempFolder.h"
#include "ui/Lookup.h"

#include <QAction>
#include <QComboBox>
#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPdfWriter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTextDocument>
#include <QToolButton>

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

const char* const kMailSql = R"(
INSERT INTO TBL_ENTERPRISES (COUNTER, ENTERPRISE, DESCRIPTION, CURRENT_USE) VALUES
  (50, 'SUNNY HOMES', 'Sunny Homes', 'T'), (51, 'OTHER CARE', 'Other Care', 'T');
INSERT INTO TBL_DBALIASES (COUNTER, ALIAS, DESCRIPTION, C_ENTERPRISE, CURRENT_USE) VALUES
  (50, 'OAK', 'Oak Lodge', 50, 'T'), (51, 'PINE', 'Pine House', 51, 'T');
INSERT INTO TBL_ROLES (COUNTER, ROLE_ID, C_ENTERPRISE, C_ALIAS, CURRENT_USE, PARENT_ROLE) VALUES
  (50, 'CARER', 50, 50, 'T', NULL), (51, 'PINE STAFF', 51, 51, 'T', NULL), (52, 'CARER NIGHTS', 50, 50, 'T', 50),
  (53, 'EMPTY', 50, 50, 'T', NULL);
INSERT INTO TBL_USERS (COUNTER, USER_ID, USER_PASSWORD, FULL_NAME, USER_TYPE, C_ENTERPRISE, FACILITY_ACCESS_FLAG, CURRENT_USE) VALUES
  (50, 'JSMITH', 'secret', 'Jane Smith', 'USR', 50, 'I', 'T'),
  (51, 'BOSS', 'secret', 'Big Boss', 'MGR', 50, 'A', 'T'),
  (52, 'ALIEN', 'secret', 'Al Ien', 'USR', 51, 'I', 'T'),
  (53, 'GONE', 'secret', 'Gone Away', 'USR', 50, 'I', 'F');
UPDATE TBL_USERS SET USER_PASSWORD = 'secret' WHERE COUNTER = 2;
INSERT INTO TBL_USERDBACCESS (C_USER, C_ROLE) VALUES (50, 50), (51, 50), (53, 50), (52, 51);
INSERT INTO TBL_MAIL (COUNTER, MAIL_TYPE, DATE_TIME_SENT, SUBJECT, MSG, HAS_BEEN_READ, C_USER_TO, C_USER_FROM, FILE_NAME, ATTACHMENT) VALUES
  (1, 'URL', '2026-01-09 10:00:00', 'From the boss', 'Line one' || char(13, 10) || 'Line two', 'F', 50, 51, 'C:\docs\rota.txt', X'0001FF'),
  (2, 'URL', '2026-01-08 10:00:00', 'Other enterprise', 'x', 'F', 50, 52, NULL, NULL),
  (3, 'URL', '2026-01-07 10:00:00', 'From the system manager', 'x', 'F', 50, 2, NULL, NULL),
  (4, 'SYS', '2026-01-06 10:00:00', 'Backup done', NULL, 'F', 50, NULL, NULL, NULL),
  (5, 'BOR', '2026-01-05 10:00:00', 'Board note', 'x', 'T', 1, 51, NULL, NULL),
  (6, 'HID', '2026-01-04 10:00:00', 'Hidden', 'x', 'F', 50, 51, NULL, NULL),
  (7, 'URL', '2026-01-03 10:00:00', 'Not for Jane', 'x', 'F', 51, 51, NULL, NULL),
  (8, 'URL', '2026-01-02 10:00:00', 'Read by the boss', 'x', 'T', 51, 50, NULL, NULL),
  (9, 'URL', '2026-01-01 10:00:00', 'Unread by the boss', 'x', 'F', 51, 50, NULL, NULL);
)";

class MailTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ovnSetDataPath(m_dir.Path());
        AppBrand = 0;
        m_controller = new TovnController(nullptr);
        m_window = m_controller->Browser();
        m_controller->Preferences().AutoLogin = false;
        UseOnlyLocalServer(m_controller->Connections(), m_server.Port(), "Local");
    }
    void TearDown() override
    {
        if (m_window->Logged())
            m_window->SetLogged(false);
        delete m_controller;
        FreeApplicationMainForm();
        Log.SetEnabled(false);
        ovnSetDataPath("");
        std::filesystem::current_path(m_startFolder);
    }
    void SignIn(const std::string& User)
    {
        m_window->ExecuteLoginDialog = [User](const TLoginCallback& callback) {
            return callback(nullptr, User, "secret", "Local");
        };
        m_window->UserLogInExec();
        ASSERT_TRUE(m_window->Logged());
        m_window->dbSys().Open();
    }
    // Rows of the server's file, each row's columns joined by '|'.
    std::vector<std::string> Rows(const std::string& Sql)
    {
        sqlite3* db = nullptr;
        std::vector<std::string> rows;
        if (sqlite3_open(m_server.DatabaseFile().c_str(), &db) == SQLITE_OK) {
            sqlite3_busy_timeout(db, 5000);
            sqlite3_stmt* statement = nullptr;
            sqlite3_prepare_v2(db, Sql.c_str(), -1, &statement, nullptr);
            while (statement && sqlite3_step(statement) == SQLITE_ROW) {
                std::string row;
                for (int c = 0; c < sqlite3_column_count(statement); ++c) {
                    if (c)
                        row += "|";
                    const auto* text = sqlite3_column_blob(statement, c);
                    if (text)
                        row.append(static_cast<const char*>(text),
                                   size_t(sqlite3_column_bytes(statement, c)));
                }
                rows.push_back(row);
            }
            sqlite3_finalize(statement);
        }
        sqlite3_close(db);
        return rows;
    }
    std::vector<std::string> NewMail()
    {
        return Rows(
            "SELECT MAIL_TYPE, C_USER_TO, C_USER_FROM, SUBJECT, MSG, HAS_BEEN_READ, FILE_NAME FROM TBL_MAIL "
            "WHERE COUNTER > 100 ORDER BY COUNTER");
    }
    void ClearNewMail()
    {
        sqlite3* db = nullptr;
        sqlite3_open(m_server.DatabaseFile().c_str(), &db);
        sqlite3_busy_timeout(db, 5000);
        sqlite3_exec(db, "DELETE FROM TBL_MAIL WHERE COUNTER > 100", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    // Stores Name as the FILE_NAME of the message Counter, as another
    // user's client may have written it.
    void SetStoredFileName(int Counter, const std::string& Name)
    {
        sqlite3* db = nullptr;
        sqlite3_open(m_server.DatabaseFile().c_str(), &db);
        sqlite3_busy_timeout(db, 5000);
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, "UPDATE TBL_MAIL SET FILE_NAME = ?1 WHERE COUNTER = ?2", -1, &statement, nullptr);
        sqlite3_bind_text(statement, 1, Name.data(), int(Name.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(statement, 2, Counter);
        EXPECT_EQ(sqlite3_step(statement), SQLITE_DONE);
        sqlite3_finalize(statement);
        sqlite3_close(db);
    }
    template <class F> std::vector<F*> Forms()
    {
        std::vector<F*> forms;
        for (int i = 0; i < AppDesktop->GetFormCount(); ++i)
            if (auto* f = dynamic_cast<F*>(AppDesktop->GetForm(i)))
                forms.push_back(f);
        return forms;
    }
    void CloseAll()
    {
        for (int i = AppDesktop->GetFormCount() - 1; i >= 0; --i)
            delete AppDesktop->GetForm(i);
    }

    std::filesystem::path m_startFolder = std::filesystem::current_path();
    TTempFolder m_dir;
    TDialogScript m_dialogs;
    TAppServerProcess m_server{{"--test-procedures"}, kMailSql};
    TovnController* m_controller = nullptr;
    TfrmOrvaneBrowser4* m_window = nullptr;
};

} // namespace

TEST_F(MailTest, SendChecksAndAddressingAsStoredOnTheServer)
{
    SignIn("BOSS");
    auto compose = [] {
        auto* f = new TfrmComposeMail(nullptr);
        f->SetSubject("Rota");
        f->SetMessageText("Please check the rota.\r\nThanks");
        return f;
    };

    // The checks stop the send before anything leaves; the window stays.
    struct Check
    {
        int Kind;
        const char* To;
        const char* Subject;
        const char* Message;
        const char* Error;
    };
    for (const Check& c : {Check{mkUsers, "", "S", "M", "Recepient was not specified"},
                           Check{mkRole, "", "S", "M", "Broadcast recepients was not specified"},
                           Check{mkBoard, "", "  ", "M", "Blank Subject"},
                           Check{mkUsers, "JSMITH@SUNNY HOMES", "S", "", "Blank Message"}}) {
        std::unique_ptr<TfrmComposeMail> f(compose());
        f->SetKind(c.Kind);
        f->SetToText(c.To);
        f->SetSubject(c.Subject);
        f->SetMessageText(c.Message);
        EXPECT_EQ(ErrorOf([&] { f->SendExec(); }), c.Error);
    }
    EXPECT_TRUE(NewMail().empty());

    struct Send
    {
        const char* Name;
        std::function<void(TfrmComposeMail&)> Set;
        std::vector<std::string> Rows;
    };
    const std::string body = "|Rota|Please check the rota.\r\nThanks|F|";
    const std::vector<Send> sends = {
        {"two users",
         [](TfrmComposeMail& f) { f.SetToText("JSMITH@SUNNY HOMES,  ALIEN@OTHER CARE "); },
         {"URL|50|51" + body, "URL|52|51" + body}},
        {"a picked role: its current holders",
         [](TfrmComposeMail& f) {
             f.SetKind(mkRole);
             f.edTo->SetText("CARER");
             f.edTo->Tag = 50;
         },
         {"ROL|50|51" + body, "ROL|51|51" + body}},
        {"the board", [](TfrmComposeMail& f) { f.SetKind(mkBoard); }, {"BOR|1|51" + body}},
        {"a preset counter, no pick",
         [](TfrmComposeMail& f) {
             f.SetKind(mkRole);
             f.PresetType = "ROL";
             f.PresetCounter = 51;
         },
         {"ROL|52|51" + body}},
    };
    for (const Send& s : sends) {
        TfrmComposeMail* f = compose();
        QPointer<TfrmComposeMail> alive(f);
        s.Set(*f);
        f->SendExec();
        EXPECT_FALSE(f->Modified());
        EXPECT_EQ(NewMail(), s.Rows) << s.Name;
        ClearNewMail();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(alive.isNull()) << s.Name << ": a sent message's window closes";
    }

    // The attachment's bytes and its name without the folder.
    const std::string path = m_dir.Path() + "/C:\\docs\\plan.pdf";
    const std::string bytes("%PDF\0\x01\xFFtail", 10);
    std::ofstream(path, std::ios::binary) << bytes;
    {
        TfrmComposeMail* f = compose();
        f->SetToText("JSMITH@SUNNY HOMES");
        f->SetAttachment(path);
        f->SendExec();
        EXPECT_EQ(Rows("SELECT FILE_NAME, ATTACHMENT FROM TBL_MAIL WHERE COUNTER > 100"),
                  std::vector<std::string>{"plan.pdf|" + bytes});
        ClearNewMail();
    }

    // A refusal by the server and an unreadable attachment keep the window
    // and its content, and nothing is stored.
    {
        std::unique_ptr<TfrmComposeMail> f(compose());
        f->SetToText("JSMITH@SUNNY HOMES, NOBODY@SUNNY HOMES");
        EXPECT_NE(ErrorOf([&] { f->SendExec(); }).find("Unknown recipient \"NOBODY@SUNNY HOMES\""),
                  std::string::npos);
        f->SetToText("JSMITH@SUNNY HOMES");
        f->SetAttachment(m_dir.Path() + "/missing.pdf");
        EXPECT_NE(ErrorOf([&] { f->SendExec(); }).find("missing.pdf"), std::string::npos);
        f->SetKind(mkRole);
        f->edTo->Tag = 53;
        f->SetAttachment("");
        EXPECT_NE(ErrorOf([&] { f->SendExec(); }).find("No current user holds role 53"), std::string::npos);
        EXPECT_EQ(f->Subject(), "Rota");
    }
    EXPECT_TRUE(NewMail().empty());
    CloseAll();
}

TEST_F(MailTest, DiscardAsksAndCancelKeepsTheWindow)
{
    SignIn("BOSS");
    auto* f = new TfrmComposeMail(nullptr);
    QPointer<TfrmComposeMail> alive(f);
    AppDesktop->SetActive(f);
    // Closing an untouched window asks nothing.
    f->SetSubject("Preset");
    EXPECT_FALSE(f->Modified());
    Keys::Type(*f->edSubject, QStringLiteral("x"));
    EXPECT_TRUE(f->Modified());
    m_dialogs->QueueAnswer(mrCancel);
    f->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(alive.isNull());
    EXPECT_EQ(m_dialogs->Texts(), std::vector<std::string>{"Discard Message?"});
    m_dialogs->QueueAnswer(mrOk);
    f->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull());
}

TEST_F(MailTest, KindSwitchesRestoreTheTextsOfTheShowAndPicksAppend)
{
    SignIn("BOSS");
    m_window->SendOMail("JSMITH@SUNNY HOMES", "S", "M", "", false, false, -1, "", "URL");
    auto forms = Forms<TfrmComposeMail>();
    ASSERT_EQ(forms.size(), 1u);
    TfrmComposeMail& f = *forms[0];
    EXPECT_TRUE(f.cbKind->isEnabled());
    f.SetKind(mkRole);
    EXPECT_EQ(f.ToText(), "");
    EXPECT_TRUE(f.edTo->ReadOnly());
    f.SetKind(mkBoard);
    EXPECT_FALSE(f.btnSelect->isEnabled());
    f.SetKind(mkUsers);
    EXPECT_EQ(f.ToText(), "JSMITH@SUNNY HOMES");

    // A pick is appended after ", "; the list keeps to the enterprise and
    // the system users.
    std::vector<std::string> offered;
    WhenModal<TfrmLookup>([&](TfrmLookup& w) {
        EXPECT_EQ(w.windowTitle().toStdString(), "Users");
        TDataSet* ds = w.DS->DataSet();
        for (ds->First(); !ds->Eof(); ds->Next())
            offered.push_back(ds->FieldByName("RECEPIENT")->AsString());
        w.Grid->setCurrentIndex(w.GridModel->index(1, 0));
        w.btnOk->click();
    });
    f.SelectExec();
    EXPECT_EQ(f.ToText(), "JSMITH@SUNNY HOMES, BOSS@SUNNY HOMES");
    EXPECT_EQ(offered, (std::vector<std::string>{"ADMIN@GLOBAL ENTERPRISE", "BOSS@SUNNY HOMES",
                                                 "JSMITH@SUNNY HOMES"}));

    // Roles: top-level roles of the enterprise; the pick fills the field and its tag.
    f.SetKind(mkRole);
    offered.clear();
    WhenModal<TfrmLookup>([&](TfrmLookup& w) {
        EXPECT_EQ(w.windowTitle().toStdString(), "Roles");
        TDataSet* ds = w.DS->DataSet();
        for (ds->First(); !ds->Eof(); ds->Next())
            offered.push_back(ds->FieldByName("ROLE_ID")->AsString());
        w.Grid->setCurrentIndex(w.GridModel->index(0, 0));
        w.btnOk->click();
    });
    f.SelectExec();
    EXPECT_EQ(offered, (std::vector<std::string>{"CARER", "EMPTY"}));
    EXPECT_EQ(f.ToText(), "CARER");
    EXPECT_EQ(f.RoleCounter(), 50);
    CloseAll();
}

TEST_F(MailTest, SendOMailOfAUserFixesTheKindAndAutoSendSends)
{
    SignIn("JSMITH");
    EXPECT_EQ(
        ErrorOf<EovnBrowser>([&] { m_window->SendOMail("", "S", "M", "", false, true, -1, "", "URL"); }),
        "Users can not broadcast messages");
    EXPECT_FALSE(m_window->SendOMail("BOSS@SUNNY HOMES", " Hello ", "Text", "", false, false, -1, "", "URL"));
    auto forms = Forms<TfrmComposeMail>();
    ASSERT_EQ(forms.size(), 1u);
    EXPECT_FALSE(forms[0]->cbKind->isEnabled());
    EXPECT_EQ(forms[0]->Kind(), mkUsers);
    EXPECT_EQ(forms[0]->Subject(), "Hello");
    EXPECT_NE(forms[0]->qryUsers().SQLSchema().Where().Text().find("(TU.C_ENTERPRISE = 50)"),
              std::string::npos);
    CloseAll();

    m_controller->Preferences().MailFooter = "-- Jane";
    EXPECT_FALSE(m_window->SendOMail("BOSS@SUNNY HOMES", "Auto", "Body", "", true, false, -1, "", "URL"));
    EXPECT_EQ(NewMail(), std::vector<std::string>{"URL|51|50|Auto|Body\r\n-- Jane|F|"});
}

TEST_F(MailTest, TheInboxShowsWhatTheUserMaySeeAndCountsUnread)
{
    SignIn("JSMITH");
    m_window->DoOpenOMail();
    auto* box = dynamic_cast<TfrmReadMail*>(m_window->SystemWindow(swReadMail));
    ASSERT_NE(box, nullptr);
    // Other enterprise (2), hidden (6) and another user's (7) are left out;
    // the board, the system manager's and the system's are in.
    std::vector<int> counters;
    TovnOndrelQuery& q = box->qryRead();
    for (q.First(); !q.Eof(); q.Next())
        counters.push_back(q.FieldByName("COUNTER")->AsInteger());
    EXPECT_EQ(counters, (std::vector<int>{1, 3, 4, 5}));
    q.First();
    EXPECT_EQ(box->UnreadCount(), 3);
    EXPECT_EQ(box->lblInbox->text().toStdString(), "Inbox (3)");
    EXPECT_TRUE(box->lblInbox->font().bold());
    EXPECT_EQ(box->lblSent->text().toStdString(), "Sent");
    EXPECT_FALSE(box->lblSent->font().bold());
    EXPECT_EQ(box->actKeepAsNew->text().toStdString(), "Mark Read");
    EXPECT_FALSE(box->actUnsend->isVisible());

    // Marking the current one read: the server's row, the count and the label.
    box->KeepAsNewExec();
    EXPECT_EQ(box->UnreadCount(), 2);
    EXPECT_EQ(box->lblInbox->text().toStdString(), "Inbox (2)");
    EXPECT_EQ(Rows("SELECT HAS_BEEN_READ FROM TBL_MAIL WHERE COUNTER = 1"), std::vector<std::string>{"T"});
    EXPECT_EQ(box->actKeepAsNew->text().toStdString(), "Mark Unread");

    // The system's mail reads "System-Generated Message"; its NULL body is empty.
    ASSERT_TRUE(q.Locate("COUNTER", Variant(int32_t(4)), {}));
    box->ReadExec();
    auto bodies = Forms<TfrmMailBody>();
    ASSERT_EQ(bodies.size(), 1u);
    EXPECT_EQ(bodies[0]->FromText(), "System-Generated Message");
    EXPECT_EQ(bodies[0]->BodyText(), "");
    EXPECT_EQ(box->UnreadCount(), 1);

    // Sent mail and the grids' columns.
    box->ShowMail(mbxSent, box->qrySent());
    EXPECT_EQ(box->lblSent->text().toStdString(), "Sent");
    EXPECT_TRUE(box->lblSent->font().bold());
    EXPECT_TRUE(box->actUnsend->isVisible());
    EXPECT_FALSE(box->actKeepAsNew->isVisible());
    EXPECT_EQ(box->qrySent().RecordCount(), 2);
    CloseAll();
}

TEST_F(MailTest, BoardAndUnsendRulesKeepTheRows)
{
    SignIn("JSMITH");
    m_window->DoOpenOMail();
    auto* box = dynamic_cast<TfrmReadMail*>(m_window->SystemWindow(swReadMail));
    ASSERT_NE(box, nullptr);
    TovnOndrelQuery& q = box->qryRead();
    ASSERT_TRUE(q.Locate("COUNTER", Variant(int32_t(5)), {}));
    m_dialogs->QueueAnswer(mrOk);
    EXPECT_EQ(ErrorOf([&] { box->DeleteExec(); }), "Board messages may be romoved only by their owners");
    EXPECT_EQ(Rows("SELECT COUNT(*) FROM TBL_MAIL WHERE COUNTER = 5"), std::vector<std::string>{"1"});
    // Cancel deletes nothing; OK deletes the row here and on the server.
    ASSERT_TRUE(q.Locate("COUNTER", Variant(int32_t(3)), {}));
    m_dialogs->QueueAnswer(mrCancel);
    box->DeleteExec();
    EXPECT_EQ(q.RecordCount(), 4);
    m_dialogs->QueueAnswer(mrOk);
    box->DeleteExec();
    EXPECT_EQ(q.RecordCount(), 3);
    EXPECT_TRUE(Rows("SELECT COUNTER FROM TBL_MAIL WHERE COUNTER = 3").empty());

    box->ShowMail(mbxSent, box->qrySent());
    TovnOndrelQuery& sent = box->qrySent();
    ASSERT_TRUE(sent.Locate("COUNTER", Variant(int32_t(8)), {}));
    EXPECT_EQ(ErrorOf([&] { box->UnsendExec(); }), "Selected Mail was already read, and can not be unsent");
    ASSERT_TRUE(sent.Locate("COUNTER", Variant(int32_t(9)), {}));
    m_dialogs->QueueAnswer(mrOk);
    box->UnsendExec();
    EXPECT_TRUE(Rows("SELECT COUNTER FROM TBL_MAIL WHERE COUNTER = 9").empty());
    EXPECT_EQ(sent.RecordCount(), 1);
    EXPECT_EQ(m_dialogs->Texts(),
              (std::vector<std::string>{"Delete selected mail?", "Delete selected mail?",
                                        "Delete selected mail?", "Unsent selected mail?"}));
    CloseAll();
}

TEST_F(MailTest, TheCheckTimerFollowsThePreferences)
{
    SignIn("JSMITH");
    m_window->DoOpenOMail();
    auto* box = dynamic_cast<TfrmReadMail*>(m_window->SystemWindow(swReadMail));
    ASSERT_NE(box, nullptr);
    TovnPreferences& prefs = m_controller->Preferences();
    struct Case
    {
        bool Check;
        int32_t Every;
        bool Runs;
        uint32_t Interval;
    };
    for (const Case& c :
         {Case{true, 10, true, 600000}, Case{true, 0, false, 0}, Case{false, 10, false, 600000},
          Case{true, 40000, true, 2147483647u}, Case{true, 71583, true, 2147483647u}}) {
        prefs.MailCheck = c.Check;
        prefs.MailCheckEvery = c.Every;
        m_window->ResetMailTimer();
        EXPECT_EQ(box->tmrCheckMail().Enabled(), c.Runs) << c.Every;
        EXPECT_EQ(box->tmrCheckMail().Interval(), c.Interval) << c.Every;
    }
    CloseAll();
}

TEST_F(MailTest, ViewMailOnceReplyPrintAndSaveTheAttachment)
{
    SignIn("JSMITH");
    m_window->ViewMail(1);
    m_window->ViewMail(1);
    auto bodies = Forms<TfrmMailBody>();
    ASSERT_EQ(bodies.size(), 1u);
    TfrmMailBody& body = *bodies[0];
    EXPECT_EQ(AppDesktop->Active(), &body);
    EXPECT_EQ(body.FromText(), "BOSS@SUNNY HOMES (Big Boss)");
    EXPECT_EQ(body.SubjectText(), "From the boss");
    EXPECT_EQ(body.BodyText(), "Line one\nLine two");
    EXPECT_EQ(body.lblFileName->text().toStdString(), "C:\\docs\\rota.txt");
    EXPECT_FALSE(body.btnForward->isVisibleTo(&body));

    // Reply: the sender's address (the enterprise has a blank), quoted lines.
    body.ReplyExec();
    auto composes = Forms<TfrmComposeMail>();
    ASSERT_EQ(composes.size(), 1u);
    EXPECT_EQ(composes[0]->ToText(), "BOSS@SUNNY HOMES");
    EXPECT_EQ(composes[0]->Subject(), "Re: From the boss");
    // SendOMail takes the message without surrounding blanks.
    EXPECT_EQ(composes[0]->MessageText(), "> Line one\r\n > Line two");

    // The attachment: the offered name is the last component; the file is
    // written whole.
    const std::string target = m_dir.Path() + "/saved.bin";
    m_dialogs->QueueFileName(target);
    body.SaveAttachmentExec();
    ASSERT_EQ(m_dialogs->FileRequests().size(), 1u);
    EXPECT_EQ(m_dialogs->FileRequests()[0].FileName, "rota.txt");
    EXPECT_EQ(m_dialogs->FileRequests()[0].Kind, fdSave);
    std::ifstream in(target, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), std::string("\x00\x01\xFF", 3));

    // One PDF of the message.
    const QString pdf = QString::fromStdString(m_dir.Path() + "/mail.pdf");
    {
        QPdfWriter writer(pdf);
        body.PrintTo(writer);
    }
    std::ifstream printed(pdf.toStdString(), std::ios::binary);
    const std::string pdfText((std::istreambuf_iterator<char>(printed)), {});
    EXPECT_EQ(pdfText.substr(0, 5), "%PDF-");

    // A message without attachment, and one deleted meanwhile.
    m_window->ViewMail(4);
    TfrmMailBody* system =
        Forms<TfrmMailBody>().front() == &body ? Forms<TfrmMailBody>().back() : Forms<TfrmMailBody>().front();
    EXPECT_FALSE(system->btnAttachment->isVisibleTo(system));
    m_dialogs->QueueAnswer(mrOk);
    system->SaveAttachmentExec();
    m_dialogs->QueueAnswer(mrOk);
    m_window->ViewMail(999);
    EXPECT_EQ(m_dialogs->Texts(), (std::vector<std::string>{"No Attachment", "Specified mail was deleted"}));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(Forms<TfrmMailBody>().size(), 2u);
    CloseAll();
}

TEST_F(MailTest, AHostileAttachmentNameIsShownAsTextAndOfferedUnderAFittingName)
{
    // The name another user's client stored, as long as the server's column
    // takes (255 characters): markup, a link and a local picture, a line
    // break, and two-byte letters that make far more than 255 bytes.
    QImage red(200, 200, QImage::Format_RGB32);
    red.fill(qRgb(255, 0, 0));
    const std::string picture = m_dir.Path() + "/red.png";
    ASSERT_TRUE(red.save(QString::fromStdString(picture), "PNG"));
    const std::string markup = "<b>bold</b><a href=\"https://evil.example/\">link</a><img src=\"file://" + picture +
                               "\">";
    const std::string e = "\xC3\xA9"; // é
    const size_t letters = 255 - markup.size() - 2 - 5;
    ASSERT_GT(9 + 2 * letters + 5, 255u) << "the temporary folder's name is too long for this test";
    std::string stored = markup + "\r\n";
    for (size_t i = 0; i < letters; ++i)
        stored += e;
    stored += ".docx";
    SetStoredFileName(1, stored);

    SignIn("JSMITH");
    m_window->ViewMail(1);
    auto bodies = Forms<TfrmMailBody>();
    ASSERT_EQ(bodies.size(), 1u);
    TfrmMailBody& body = *bodies[0];
    QLabel& label = *body.lblFileName;
    EXPECT_EQ(label.text().toStdString(), stored);
    EXPECT_EQ(label.textFormat(), Qt::PlainText);
    // Shown as characters: one line high (the break shows as a second one
    // at most), without the 200-pixel picture.
    EXPECT_LT(label.sizeHint().height(), 60);
    label.resize(200, label.sizeHint().height());
    EXPECT_FALSE(Shows(label, qRgb(255, 0, 0))) << "the local picture was read into the window";
    // The save button's tooltip shows the same characters (CR LF one line
    // break).
    const QString tip = body.btnAttachment->toolTip();
    QTextDocument shown;
    if (Qt::mightBeRichText(tip))
        shown.setHtml(tip);
    else
        shown.setPlainText(tip);
    EXPECT_EQ(shown.toPlainText().toStdString(), StringReplace(stored, "\r\n", "\n", rfReplaceAll));

    // Saving offers the last component (what follows the picture's "/")
    // without the line break, cut to 255 bytes between two letters, with
    // its extension.
    const std::string target = m_dir.Path() + "/saved.bin";
    m_dialogs->QueueFileName(target);
    body.SaveAttachmentExec();
    ASSERT_EQ(m_dialogs->FileRequests().size(), 1u);
    const std::string offered = m_dialogs->FileRequests()[0].FileName;
    std::string fitting = "red.png\">";
    for (int i = 0; i < 120; ++i) // 9 + 240 bytes: one more would leave no room for ".docx"
        fitting += e;
    EXPECT_EQ(offered, fitting + ".docx");
    std::ifstream in(target, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), std::string("\x00\x01\xFF", 3));
    CloseAll();
}

TEST_F(MailTest, TheMailboxCountDrivesTheBadgeWithoutAToast)
{
    m_controller->Preferences().MailPopup = true;
    SignIn("JSMITH");
    EXPECT_EQ(m_window->UnreadMailCount(), 0);
    m_window->DoOpenOMail();
    auto* box = dynamic_cast<TfrmReadMail*>(m_window->SystemWindow(swReadMail));
    ASSERT_NE(box, nullptr);
    // 1434 (3, 1): the exact count; no toast for it.
    ASSERT_TRUE(RunEventsUntil([&] { return m_window->UnreadMailCount() == 3; }));
    EXPECT_EQ(m_window->MailAnimator().Text(), "3");
    EXPECT_TRUE(m_window->MailAnimator().GetAnimate());
    EXPECT_EQ(m_window->MailPopup(), nullptr);
    // One read: 1434 (2, 1).
    box->KeepAsNewExec();
    ASSERT_TRUE(RunEventsUntil([&] { return m_window->UnreadMailCount() == 2; }));
    EXPECT_EQ(m_window->MailAnimator().Text(), "2");
    // Opening the mailbox again with unread mail ends the indication.
    m_window->DoOpenOMail();
    EXPECT_EQ(m_window->UnreadMailCount(), 0);
    EXPECT_FALSE(m_window->MailAnimator().GetAnimate());
    CloseAll();
}

TEST_F(MailTest, SendMailOfOneUserReachesAnotherUsersClient)
{
    m_controller->Preferences().MailPopup = true;
    SignIn("JSMITH");
    // The sign-in opened the link, named by the session.
    TNembraNotificationsClient& link = m_controller->NotificationClient();
    EXPECT_EQ(link.Port(), std::to_string(m_server.NotifyPort()));
    EXPECT_EQ(link.KeyToken(), m_window->conMAIN().GetSessionID());
    ASSERT_TRUE(RunEventsUntil([&] { return m_controller->VNSConnected(); }));
    ASSERT_TRUE(SyncNotificationLink(link)); // the relay has taken the link's "set"

    // BOSS sends from a session of his own.
    TNembraConnection boss;
    boss.SetConnectionName("BOSS");
    boss.SetServerURL(m_server.ServerURL());
    boss.SetAuthentication(qauthBasic);
    boss.Params().Add("USER_ID=BOSS");
    boss.Params().Add("USER_PWD=secret");
    boss.GenerateRandomSecretKey();
    boss.Open();
    TNembraDatabase bossSys;
    bossSys.SetDatabaseName("BOSS_SYS");
    bossSys.SetConnectionName("BOSS");
    bossSys.Params().Add("DB_ALIAS=SYSTEM");
    // A sent message's window closes and frees itself once events run.
    QPointer<TfrmComposeMail> f(new TfrmComposeMail(nullptr));
    f->sysMail().SetDatabaseName("BOSS_SYS");
    f->SetToText("JSMITH@SUNNY HOMES");
    f->SetSubject("Shift swap");
    f->SetMessageText("Can you take Friday?");
    f->SendExec();

    // "$check_mail 50" becomes 1434 (0, 0): one more, the beep, the badge
    // and, with the popup preference, the toast.
    ASSERT_TRUE(RunEventsUntil([&] { return m_window->UnreadMailCount() == 1; }));
    EXPECT_EQ(m_window->MailAnimator().Text(), "1");
    EXPECT_TRUE(m_window->MailAnimator().GetAnimate());
    ASSERT_NE(m_window->MailPopup(), nullptr);
    EXPECT_EQ(m_window->MailPopup()->Caption(), "You have an unread message.");

    // The sign-in resets the counter (a count left from before it too).
    m_window->SetLogged(false);
    m_window->WMNewMail(2, 1);
    ASSERT_EQ(m_window->UnreadMailCount(), 2);
    SignIn("JSMITH");
    EXPECT_EQ(m_window->UnreadMailCount(), 0);
    delete f.data();
}

TEST(MailPrint, AFixedPitchFontOfTenPointsAndNoPrinterIsAnError)
{
    const QFont font = MailPrintFont();
    EXPECT_EQ(font.pointSize(), 10);
    EXPECT_TRUE(QFontInfo(font).fixedPitch()) << QFontInfo(font).family().toStdString();
    if (!QPrinterInfo::defaultPrinter().isNull())
        GTEST_SKIP() << "this machine has a default printer";
    TfrmMailBody body(nullptr);
    EXPECT_EQ(ErrorOf([&] { body.PrintExec(); }), "There is no default printer");
}

TEST_F(MailTest, MessageTextsLoadAndSaveThroughTheFileChooser)
{
    SignIn("BOSS");
    std::unique_ptr<TfrmComposeMail> f(new TfrmComposeMail(nullptr));
    f->SetMessageText("First line\r\nSecond line");
    const std::string saved = m_dir.Path() + "/message.txt";
    m_dialogs->QueueFileName(saved);
    f->SaveTextExec();
    ASSERT_EQ(m_dialogs->FileRequests().size(), 1u);
    EXPECT_EQ(m_dialogs->FileRequests()[0].Filter, "Text Files|*.txt");
    EXPECT_EQ(m_dialogs->FileRequests()[0].Kind, fdSave);
    std::ifstream in(saved, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "First line\r\nSecond line");

    f->SetMessageText("");
    m_dialogs->QueueFileName(saved);
    f->LoadTextExec();
    EXPECT_EQ(f->MessageText(), "First line\r\nSecond line");
    EXPECT_TRUE(f->Modified());
    // A file that cannot be read is an error naming it; the text stays.
    m_dialogs->QueueFileName(m_dir.Path() + "/gone.txt");
    EXPECT_NE(ErrorOf([&] { f->LoadTextExec(); }).find("gone.txt"), std::string::npos);
    EXPECT_EQ(f->MessageText(), "First line\r\nSecond line");
    // Cancelling the chooser does nothing.
    m_dialogs->QueueFileName("");
    f->LoadTextExec();
    EXPECT_EQ(f->MessageText(), "First line\r\nSecond line");
}
