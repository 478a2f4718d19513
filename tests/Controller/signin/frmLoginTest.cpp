#include "Components/Controller/signin/frmLogin.h"

#include "Components/Controller/ovnController.h"
#include "Components/Controller/ovnPreferences.h"
#include "Components/Nembra/ovnControllerUtils.h"
#include "base/KldProgress.h"
#include "support/DialogScript.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct TCall
{
    std::string UserID;
    std::string Password;
    std::string Connection;
};

// Three connections ("Home", "Main Office" as default, "Backup") and the
// preferences of a user who had signed in as "NURSE1".
struct LoginFixture
{
    TovnConnections Connections;
    TovnPreferences Preferences;
    std::vector<TCall> Calls;
    // What the callback answers, or raises when set.
    bool Answer = false;
    std::function<void()> During;

    LoginFixture()
    {
        for (const char* name : {"Home", "Main Office", "Backup"}) {
            TovnConnectionItem* item = Connections.Add();
            item->SetConnection(name);
            item->SetURL(std::string("http://") + name);
        }
        Connections.GetItem(1)->SetDefault(true);
        Preferences.RememberID = true;
        Preferences.UserID = "NURSE1";
    }

    TLoginCallback Callback()
    {
        return [this](TObject* Sender, const std::string& UserID, const std::string& Password,
                      const std::string& Connection) {
            EXPECT_NE(dynamic_cast<TfrmLogin*>(Sender), nullptr);
            Calls.push_back({UserID, Password, Connection});
            if (During)
                During();
            return Answer;
        };
    }
};

std::vector<std::string> Lines(const TfrmLogin& dialog)
{
    return dialog.StatusLines();
}

} // namespace

TEST(LoginDialog, StatusStepOfATaskName)
{
    struct Case
    {
        const char* Desc;
        std::string Task;
        std::string Notice;
        TLoginStatusStep Expected;
    } cases[] = {
        {"the sign-in's own task shows the notice", "Login", "  Connecting to http://a  ", {"Connecting to http://a", ""}},
        {"any case of login", "LOGIN", "Done", {"Done", ""}},
        {"another task shows its name", "Checking", "ignored", {"Checking", ""}},
        {"a counter after the slash", "Downloading updates:/3 of 7", "x", {"Downloading updates:", "3 of 7"}},
        {"only the first slash splits", "a/b/c", "", {"a", "b/c"}},
        {"login before a slash takes the notice", "login/1", " step ", {"step", "1"}},
        {"no task shows nothing", "", "text", {"", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(LoginStatusStep(c.Task, c.Notice), c.Expected);
    }
}

TEST(LoginDialog, CaptionAndBannerFollowTheBrand)
{
    const int saved = AppBrand;
    struct Case
    {
        int Brand;
        const char* Caption;
    } cases[] = {{0, "Orvane Login"}, {1, "Tallowin Login"}, {2, "Login"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Brand);
        AppBrand = c.Brand;
        TfrmLogin dialog;
        EXPECT_EQ(dialog.windowTitle().toStdString(), c.Caption);
        EXPECT_EQ(dialog.imgBanner(0)->isVisibleTo(&dialog), c.Brand == 0);
        EXPECT_EQ(dialog.imgBanner(1)->isVisibleTo(&dialog), c.Brand == 1);
        EXPECT_EQ(dialog.edtPassword()->echoMode(), QLineEdit::Password);
        dialog.edtPassword()->setText("pw1");
        EXPECT_EQ(dialog.edtPassword()->displayText().toStdString(), "***") << "the password character is *";
        EXPECT_TRUE(dialog.lbStatus()->isReadOnly());
    }
    AppBrand = saved;
}

TEST(LoginDialog, DataToFormChoosesTheConnectionAndTheFocus)
{
    {
        SCOPED_TRACE("default entry, remembered ID: the password has the focus");
        LoginFixture f;
        TfrmLogin dialog;
        dialog.DataToForm(f.Callback(), f.Connections, f.Preferences);
        EXPECT_EQ(dialog.cboConnection()->count(), 3);
        EXPECT_EQ(dialog.cboConnection()->currentText().toStdString(), "Main Office");
        EXPECT_EQ(dialog.edtID()->text().toStdString(), "NURSE1");
        EXPECT_EQ(dialog.focusWidget(), dialog.edtPassword());
    }
    {
        SCOPED_TRACE("no default entry: the first; RememberID off: no ID, focus on the ID");
        LoginFixture f;
        f.Connections.GetItem(1)->SetDefault(false);
        f.Preferences.RememberID = false;
        TfrmLogin dialog;
        dialog.DataToForm(f.Callback(), f.Connections, f.Preferences);
        EXPECT_EQ(dialog.cboConnection()->currentText().toStdString(), "Home");
        EXPECT_EQ(dialog.edtID()->text().toStdString(), "");
        EXPECT_EQ(dialog.focusWidget(), dialog.edtID());
    }
    {
        SCOPED_TRACE("a remembered ID of blanks keeps the focus on the ID");
        LoginFixture f;
        f.Preferences.UserID = "   ";
        TfrmLogin dialog;
        dialog.DataToForm(f.Callback(), f.Connections, f.Preferences);
        EXPECT_EQ(dialog.focusWidget(), dialog.edtID());
    }
    {
        SCOPED_TRACE("an empty list leaves the choice empty");
        LoginFixture f;
        f.Connections.Clear();
        TfrmLogin dialog;
        dialog.DataToForm(f.Callback(), f.Connections, f.Preferences);
        EXPECT_EQ(dialog.cboConnection()->count(), 0);
        EXPECT_EQ(dialog.cboConnection()->currentIndex(), -1);
    }
}

TEST(LoginDialog, EnterSignsInWithTheValuesAsTyped)
{
    LoginFixture f;
    f.Preferences.RememberID = false;
    TfrmLogin dialog;
    dialog.DataToForm(f.Callback(), f.Connections, f.Preferences);
    dialog.show();

    // Blanks only: nothing is called, the user ID takes the focus.
    Keys::Type(*dialog.edtID(), "   ");
    Keys::Enter(*dialog.edtPassword());
    EXPECT_TRUE(f.Calls.empty());
    EXPECT_EQ(dialog.focusWidget(), dialog.edtID());
    // A user ID but no password: the password takes the focus.
    dialog.edtID()->clear();
    Keys::Type(*dialog.edtID(), " nurse1 ");
    Keys::Enter(*dialog.edtID());
    EXPECT_TRUE(f.Calls.empty());
    EXPECT_EQ(dialog.focusWidget(), dialog.edtPassword());

    // A refused sign-in keeps the dialog open and usable.
    Keys::Type(*dialog.edtPassword(), "secret ");
    dialog.cboConnection()->setCurrentIndex(2);
    Keys::Enter(*dialog.cboConnection());
    ASSERT_EQ(f.Calls.size(), 1u);
    EXPECT_EQ(f.Calls[0].UserID, " nurse1 ");
    EXPECT_EQ(f.Calls[0].Password, "secret ");
    EXPECT_EQ(f.Calls[0].Connection, "Backup");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.ModalResult(), mrNone);
    EXPECT_TRUE(dialog.btnOK()->isEnabled());
    EXPECT_TRUE(dialog.edtID()->isEnabled());
    EXPECT_FALSE(dialog.Busy());

    // Accepted: the dialog closes with OK.
    f.Answer = true;
    Keys::Enter(*dialog.edtPassword());
    EXPECT_EQ(f.Calls.size(), 2u);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.ModalResult(), mrOk);
}

TEST(LoginDialog, NothingClosesTheDialogWhileTheCallbackRuns)
{
    LoginFixture f;
    TfrmLogin dialog;
    dialog.DataToForm(f.Callback(), f.Connections, f.Preferences);
    dialog.show();
    Keys::Type(*dialog.edtPassword(), "pw");
    std::vector<bool> enabled;
    f.During = [&] {
        for (QWidget* w : {static_cast<QWidget*>(dialog.btnOK()), static_cast<QWidget*>(dialog.btnCancel()),
                           static_cast<QWidget*>(dialog.edtID()), static_cast<QWidget*>(dialog.edtPassword()),
                           static_cast<QWidget*>(dialog.cboConnection())})
            enabled.push_back(w->isEnabled());
        EXPECT_TRUE(dialog.Busy());
        Keys::Escape(dialog);
        dialog.close();
        EXPECT_TRUE(dialog.isVisible());
    };
    dialog.btnOK()->click();
    EXPECT_EQ(enabled, std::vector<bool>(5, false));
    EXPECT_TRUE(dialog.isVisible());
    // Idle again, Escape cancels.
    Keys::Escape(*dialog.edtPassword());
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.ModalResult(), mrCancel);
}

TEST(LoginDialog, ACallbackThatRaisesIsShownAndKeepsTheDialogOpen)
{
    TDialogScript dialogs;
    dialogs->QueueAnswer(mrOk);
    LoginFixture f;
    f.During = [] { throw Exception("Server unreachable"); };
    TfrmLogin dialog;
    dialog.DataToForm(f.Callback(), f.Connections, f.Preferences);
    dialog.show();
    Keys::Type(*dialog.edtPassword(), "pw");
    Keys::Enter(*dialog.edtPassword());
    ASSERT_EQ(dialogs->Calls().size(), 1u);
    EXPECT_EQ(dialogs->Calls()[0].Text, "Server unreachable");
    EXPECT_EQ(dialogs->Calls()[0].Type, mtError);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.ModalResult(), mrNone);
    EXPECT_FALSE(dialog.Busy());
    EXPECT_TRUE(dialog.btnOK()->isEnabled());
    EXPECT_TRUE(dialog.edtPassword()->isEnabled());
}

TEST(LoginDialog, ProgressNoticesBecomeStatusLinesWhileShown)
{
    LoginFixture f;
    TfrmLogin dialog;
    dialog.DataToForm(f.Callback(), f.Connections, f.Preferences);
    Progress.BeginTask("Login");
    // Not shown yet: not a receiver.
    Progress.Notify(nullptr, "Login", 1, "too early");
    dialog.show();
    Keys::Type(*dialog.edtPassword(), "pw");
    f.During = [&] {
        Progress.Notify(nullptr, "Login", 1, "Connecting to http://Main Office");
        Progress.Notify(nullptr, "Login", 1, "Connecting to http://Main Office");
        Progress.Notify(nullptr, "Login", 2, " Preparing cache... ");
        for (int i = 1; i <= 3; ++i) {
            Progress.BeginTask(Format("Downloading updates:/%d of %d", i, 3));
            Progress.Notify(nullptr, "GetResource", 50, "[Receiving]");
            Progress.EndTask();
        }
        Progress.Notify(nullptr, "Login", 0, "Invalid user name or password");
    };
    Keys::Enter(*dialog.edtPassword());
    EXPECT_EQ(Lines(dialog), (std::vector<std::string>{"Connecting to http://Main Office", "Preparing cache...",
                                                        "Downloading updates: 3 of 3",
                                                        "Invalid user name or password"}));
    EXPECT_EQ(dialog.LastStatus(), "Invalid user name or password");
    // A new attempt starts from no last text: its first step shows again.
    f.During = [] { Progress.Notify(nullptr, "Login", 1, "Invalid user name or password"); };
    Keys::Enter(*dialog.edtPassword());
    EXPECT_EQ(Lines(dialog).size(), 5u);

    dialog.hide();
    Progress.Notify(nullptr, "Login", 1, "after closing");
    EXPECT_EQ(Lines(dialog).size(), 5u);
    Progress.EndTask();
}
