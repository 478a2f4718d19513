#include "Components/Controller/signin/dlgConnection.h"

#include "Components/Nembra/ovnControllerUtils.h"
#include "support/DialogScript.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

// "Main Office" (default) and "Oak Hill".
struct TConnectionsFixture
{
    TovnConnections Connections;
    TovnConnectionItem* Main = nullptr;
    TovnConnectionItem* Oak = nullptr;

    TConnectionsFixture()
    {
        Main = Connections.Add();
        Main->SetConnection("Main Office");
        Main->SetURL("https://main.example");
        Main->SetDefault(true);
        Oak = Connections.Add();
        Oak->SetConnection("Oak Hill");
        Oak->SetURL("https://oak.example");
    }
};

void SetText(QLineEdit& edit, const QString& text)
{
    edit.clear();
    Keys::Type(edit, text);
}

} // namespace

TEST(ConnectionEditor, ShowsTheEntryAndWritesItBackTrimmed)
{
    TConnectionsFixture f;
    TdlgConnection dialog(f.Connections, f.Oak);
    EXPECT_EQ(dialog.windowTitle().toStdString(), "Database Connection");
    EXPECT_EQ(dialog.edtName()->text().toStdString(), "Oak Hill");
    EXPECT_EQ(dialog.edtURL()->text().toStdString(), "https://oak.example");
    EXPECT_FALSE(dialog.cbxDefault()->isChecked());
    dialog.show();
    // Its own name in another case is no duplicate.
    SetText(*dialog.edtName(), "  OAK HILL ");
    SetText(*dialog.edtURL(), " https://oak2.example ");
    dialog.cbxDefault()->setChecked(true);
    Keys::Enter(*dialog.edtURL());
    EXPECT_EQ(dialog.ModalResult(), mrOk);
    EXPECT_EQ(dialog.Item(), f.Oak);
    EXPECT_EQ(f.Connections.Count(), 2);
    EXPECT_EQ(f.Oak->Connection(), "OAK HILL");
    EXPECT_EQ(f.Oak->URL(), "https://oak2.example");
    EXPECT_TRUE(f.Oak->Default());
    EXPECT_EQ(f.Main->GetValue("Default"), "") << "one default in the list";
}

TEST(ConnectionEditor, ANewEntryIsAddedOnlyOnOK)
{
    TConnectionsFixture f;
    {
        TdlgConnection dialog(f.Connections, nullptr);
        EXPECT_EQ(dialog.edtName()->text().toStdString(), "");
        EXPECT_FALSE(dialog.cbxDefault()->isChecked());
        dialog.show();
        SetText(*dialog.edtName(), "Training");
        Keys::Escape(*dialog.edtName());
        EXPECT_EQ(dialog.ModalResult(), mrCancel);
        EXPECT_EQ(dialog.Item(), nullptr);
        EXPECT_EQ(f.Connections.Count(), 2);
    }
    TdlgConnection dialog(f.Connections, nullptr);
    dialog.show();
    SetText(*dialog.edtName(), "Training");
    SetText(*dialog.edtURL(), "http://localhost:8444");
    dialog.btnOK()->click();
    ASSERT_EQ(f.Connections.Count(), 3);
    EXPECT_EQ(dialog.Item(), f.Connections.GetItem(2));
    EXPECT_EQ(dialog.Item()->Connection(), "Training");
    EXPECT_FALSE(dialog.Item()->Default());
    EXPECT_TRUE(f.Main->Default()) << "an unticked new entry leaves the default alone";
}

TEST(ConnectionEditor, RefusedValuesKeepTheDialogOpenOnTheirField)
{
    struct Case
    {
        const char* Desc;
        QString Name;
        QString URL;
        const char* Message;
        bool NameFocused;
    } cases[] = {
        {"no name", "  ", "http://x", "Please specify a valid connection name.", true},
        {"no address", "New", " ", "Please specify a valid connection parameter.", false},
        {"another entry's name in another case", "main office", "http://x", "Duplicate connection name.", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TDialogScript dialogs;
        dialogs->QueueAnswer(mrOk);
        TConnectionsFixture f;
        TdlgConnection dialog(f.Connections, f.Oak);
        dialog.show();
        SetText(*dialog.edtName(), c.Name);
        SetText(*dialog.edtURL(), c.URL);
        dialog.btnOK()->click();
        ASSERT_EQ(dialogs->Calls().size(), 1u);
        EXPECT_EQ(dialogs->Calls()[0].Text, c.Message);
        EXPECT_EQ(dialogs->Calls()[0].Type, mtError);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(dialog.ModalResult(), mrNone);
        EXPECT_EQ(dialog.focusWidget(), c.NameFocused ? dialog.edtName() : dialog.edtURL());
        EXPECT_EQ(f.Oak->Connection(), "Oak Hill") << "nothing written";
        EXPECT_EQ(f.Connections.Count(), 2);
    }
}
