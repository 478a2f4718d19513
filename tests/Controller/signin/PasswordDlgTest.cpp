#include "Components/Controller/signin/PasswordDlg.h"

#include "support/DialogScript.h"

#include <QLineEdit>
#include <gtest/gtest.h>


TEST(PasswordPrompt, OKTrimsBothValuesAndCancelKeepsThem)
{
    std::string user = "sys";
    std::string password = "old";
    WhenModal<TPasswordDlg>([](TPasswordDlg& dialog) {
        EXPECT_EQ(dialog.windowTitle().toStdString(), "Login");
        EXPECT_EQ(dialog.edtUserName()->text().toStdString(), "sys");
        EXPECT_EQ(dialog.edtPassword()->echoMode(), QLineEdit::Password);
        EXPECT_EQ(dialog.edtPassword()->displayText().toStdString(), "***") << "the password character is *";
        Keys::Type(*dialog.edtUserName(), "adm ");
        Keys::Type(*dialog.edtPassword(), " new ");
        Keys::Escape(*dialog.edtPassword());
    });
    EXPECT_FALSE(TPasswordDlg::Execute(user, password));
    EXPECT_EQ(user, "sys");
    EXPECT_EQ(password, "old");

    WhenModal<TPasswordDlg>([](TPasswordDlg& dialog) {
        dialog.edtUserName()->setText(" sysadm ");
        dialog.edtPassword()->setText(" pw ");
        Keys::Enter(*dialog.edtPassword());
    });
    EXPECT_TRUE(TPasswordDlg::Execute(user, password));
    EXPECT_EQ(user, "sysadm");
    EXPECT_EQ(password, "pw");
}

TEST(PasswordPrompt, BlankValuesAreRefusedInOrder)
{
    TDialogScript dialogs;
    dialogs->QueueAnswer(mrOk);
    dialogs->QueueAnswer(mrOk);
    std::string user = "  ";
    std::string password;
    QWidget* focusAfterFirst = nullptr;
    QWidget* focusAfterSecond = nullptr;
    WhenModal<TPasswordDlg>([&](TPasswordDlg& dialog) {
        Keys::Enter(*dialog.edtPassword());
        focusAfterFirst = dialog.focusWidget();
        EXPECT_EQ(focusAfterFirst, dialog.edtUserName());
        dialog.edtUserName()->setText("sys");
        Keys::Enter(*dialog.edtUserName());
        focusAfterSecond = dialog.focusWidget();
        EXPECT_EQ(focusAfterSecond, dialog.edtPassword());
        EXPECT_TRUE(dialog.isVisible());
    });
    EXPECT_FALSE(TPasswordDlg::Execute(user, password));
    EXPECT_EQ(dialogs->Texts(), (std::vector<std::string>{"Please specify a user name", "Please specify a user password"}));
    EXPECT_EQ(user, "  ");
}
