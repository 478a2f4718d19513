// The demo's mail road on the demo database: NURSE writes to MANAGER with
// an attachment (the kind fixed to selected users, MANAGER picked from the
// list), MANAGER's link hears of it, MANAGER opens "Inbox (1)", reads,
// saves the attachment, prints and answers; NURSE's link hears of the
// answer. One client window per process: the other user's client is its
// notification link, signed in beside the window.
#include "Components/Controller/applets/KldForms.h"
#include "Components/Controller/mail/ComposeMail.h"
#include "Components/Controller/mail/MailBody.h"
#include "Components/Controller/mail/MailRules.h"
#include "Components/Controller/mail/ReadMail.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/notifications/ShiftInfoForm.h"
#include "Components/Controller/ovnController.h"
#include "Components/Nembra/NembraNotificationsClient.h"
#include "Components/Nembra/ovnOndrel.h"
#include "base/KldLogFile.h"
#include "platform/DBGrids.h"
#include "platform/DataSetModel.h"
#include "platform/Fields.h"
#include "platform/Mask.h"
#include "support/AppServerProcess.h"
#include "support/AppServerSignIn.h"
#include "support/DialogScript.h"
#include "support/EventLoopWait.h"
#include "support/LocalServerConnection.h"
#include "support/NotificationLinkSync.h"
#include "support/TempFolder.h"
#include "ui/Lookup.h"

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPdfWriter>
#include <QPushButton>

#include <filesystem>
#include <memory>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace {

std::string DemoSql()
{
    std::ifstream in(KLD_DEMO_SQL);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Another user's client, as far as mail goes: a session of that user and
// its notification link, which the session names. It signs out as it goes,
// so that the window may sign that user in afterwards.
struct TLink
{
    TLink(const TAppServerProcess& Server, const std::string& User, const std::string& Password)
        : m_server(Server), m_session(SignInSession(Server, User, Password))
    {
        EXPECT_FALSE(m_session.empty());
        Client.SetHost("127.0.0.1");
        Client.SetPort(std::to_string(Server.NotifyPort()));
        Client.SetKeyTokenName("id");
        Client.SetKeyToken(m_session);
        Client.OnMessage = [this](TObject*, const std::string& m) { Messages.push_back(m); };
        Client.SetConnected(true);
        EXPECT_TRUE(RunEventsUntil([this] { return Client.Opened(); }));
        EXPECT_TRUE(SyncNotificationLink(Client));
    }
    ~TLink()
    {
        Client.SetConnected(false);
        SignOutSession(m_server, m_session);
    }
    TNembraNotificationsClient Client;
    std::vector<std::string> Messages;

  private:
    const TAppServerProcess& m_server;
    std::string m_session;
};

} // namespace

TEST(MailDemoRoad, NurseWritesManagerReadsAndAnswers)
{
    TTempFolder dir;
    TDialogScript dialogs;
    TAppServerProcess server{{"--test-procedures"}, DemoSql()};
    const auto start = std::filesystem::current_path();
    ovnSetDataPath(dir.Path());
    AppBrand = 0;
    auto* controller = new TovnController(nullptr);
    TfrmOrvaneBrowser4* window = controller->Browser();
    controller->Preferences().AutoLogin = false;
    // Mail lives in the system database: the road needs no database choice.
    controller->Preferences().AutoDBLogin = false;
    controller->Preferences().MailPopup = true;
    UseOnlyLocalServer(controller->Connections(), server.Port(), "Local demo server");
    auto signIn = [&](const std::string& User, const std::string& Password) {
        window->ExecuteLoginDialog = [=](const TLoginCallback& callback) {
            return callback(nullptr, User, Password, "Local demo server");
        };
        // The nurse is asked for her shift; the road leaves it unchosen.
        window->ExecuteShiftInfo = [](TfrmShiftInfo&) { return int(QDialog::Rejected); };
        window->UserLogInExec();
        ASSERT_TRUE(window->Logged());
    };
    // A log-off closes the module windows through posted requests.
    auto signOut = [&] {
        window->SetLogged(false);
        RunEventsFor(std::chrono::milliseconds(50));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(window->SystemWindow(swReadMail), nullptr);
    };
    auto forms = [] {
        std::vector<QWidget*> out;
        for (int i = 0; i < AppDesktop->GetFormCount(); ++i)
            out.push_back(AppDesktop->GetForm(i));
        return out;
    };

    // What the window's own link hears, as the sign-in opens it.
    std::vector<std::string> ownLink;
    controller->NotificationClient().OnMessage =
        [&, handler = controller->NotificationClient().OnMessage](TObject* sender, const std::string& m) {
            ownLink.push_back(m);
            handler(sender, m);
        };

    // Whatever fails on the road, the client is taken down after it.
    [&] {
        auto manager = std::make_unique<TLink>(server, "MANAGER", "manager");

        // NURSE: "Compose" in the mailbox; the kind is fixed to selected users.
        signIn("NURSE", "nurse");
        ASSERT_TRUE(RunEventsUntil([&] { return controller->VNSConnected(); }));
        window->DoOpenOMail();
        auto* box = dynamic_cast<TfrmReadMail*>(window->SystemWindow(swReadMail));
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->lblInbox->text().toStdString(), "Inbox") << "the demo's board message is read";
        box->ComposeExec();
        TfrmComposeMail* compose = nullptr;
        for (QWidget* f : forms())
            if (auto* c = dynamic_cast<TfrmComposeMail*>(f))
                compose = c;
        ASSERT_NE(compose, nullptr);
        EXPECT_FALSE(compose->cbKind->isEnabled());
        WhenModal<TfrmLookup>([](TfrmLookup& w) {
            for (int row = 0; row < w.GridModel->rowCount(); ++row)
                if (w.GridModel->index(row, 0).data().toString() == "MANAGER@HARBOUR VIEW CARE")
                    w.Grid->setCurrentIndex(w.GridModel->index(row, 0));
            w.btnOk->click();
        });
        compose->SelectExec();
        EXPECT_EQ(compose->ToText(), "MANAGER@HARBOUR VIEW CARE");
        compose->SetSubject("Night shift on Friday");
        compose->SetMessageText("Could someone take my night shift on Friday?\r\nThe rota is attached.");
        const std::string rota = dir.Path() + "/rota-december.txt";
        std::ofstream(rota) << "Fri 22:00-06:00 Tom Ward\n";
        dialogs->QueueFileName(rota);
        compose->AttachExec();
        compose->SendExec();
        ASSERT_TRUE(RunEventsUntil([&] { return !manager->Messages.empty(); }));
        EXPECT_EQ(manager->Messages, std::vector<std::string>{"$check_mail 10"});
        EXPECT_TRUE(ownLink.empty()) << ownLink.front();
        signOut();
        manager.reset();
        auto nurse = std::make_unique<TLink>(server, "NURSE", "nurse");

        // MANAGER: "Inbox (1)", the message, its attachment, a print, an answer.
        signIn("MANAGER", "manager");
        window->DoOpenOMail();
        box = dynamic_cast<TfrmReadMail*>(window->SystemWindow(swReadMail));
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->lblInbox->text().toStdString(), "Inbox (1)");
        ASSERT_TRUE(RunEventsUntil([&] { return window->UnreadMailCount() == 1; }));
        EXPECT_EQ(window->MailAnimator().Text(), "1");
        box->qryRead().First();
        EXPECT_EQ(box->qryRead().FieldByName("SUBJECT")->AsString(), "Night shift on Friday");
        EXPECT_EQ(box->qryRead().FieldByName("FULL_USER_NAME")->AsString(),
                  "Tom Ward [NURSE@HARBOUR VIEW CARE]");
        box->ReadExec();
        EXPECT_EQ(box->lblInbox->text().toStdString(), "Inbox");
        TfrmMailBody* body = nullptr;
        for (QWidget* f : forms())
            if (auto* b = dynamic_cast<TfrmMailBody*>(f))
                body = b;
        ASSERT_NE(body, nullptr);
        EXPECT_EQ(body->FromText(), "NURSE@HARBOUR VIEW CARE (Tom Ward)");
        EXPECT_EQ(body->lblFileName->text().toStdString(), "rota-december.txt");
        const std::string saved = dir.Path() + "/saved-rota.txt";
        dialogs->QueueFileName(saved);
        body->SaveAttachmentExec();
        std::ifstream in(saved);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "Fri 22:00-06:00 Tom Ward\n");
        {
            QPdfWriter pdf(QString::fromStdString(dir.Path() + "/message.pdf"));
            body->PrintTo(pdf);
        }
        EXPECT_GT(std::filesystem::file_size(dir.Path() + "/message.pdf"), 100u);
        body->ReplyExec();
        TfrmComposeMail* reply = nullptr;
        for (QWidget* f : forms())
            if (auto* c = dynamic_cast<TfrmComposeMail*>(f))
                reply = c;
        ASSERT_NE(reply, nullptr);
        EXPECT_EQ(reply->ToText(), "NURSE@HARBOUR VIEW CARE");
        EXPECT_EQ(reply->Subject(), "Re: Night shift on Friday");
        reply->SetMessageText("I will take it.\r\n" + reply->MessageText());
        reply->SendExec();
        ASSERT_TRUE(RunEventsUntil([&] { return !nurse->Messages.empty(); }));
        EXPECT_EQ(nurse->Messages, std::vector<std::string>{"$check_mail 11"});
        signOut();
        nurse.reset();

        // NURSE reads the answer.
        signIn("NURSE", "nurse");
        window->DoOpenOMail();
        box = dynamic_cast<TfrmReadMail*>(window->SystemWindow(swReadMail));
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->lblInbox->text().toStdString(), "Inbox (1)");
        box->qryRead().First();
        EXPECT_EQ(box->qryRead().FieldByName("SUBJECT")->AsString(), "Re: Night shift on Friday");
    }();
    if (window->Logged())
        window->SetLogged(false);

    delete controller;
    FreeApplicationMainForm();
    Log.SetEnabled(false);
    ovnSetDataPath("");
    std::filesystem::current_path(start);
}
