// Samples of the sign-in road's dialogs, each embedded in the gallery's
// window as it looks when it opens: the sign-in dialog after a failed try,
// the database chooser with a search typed.

#include "tools/gallery/GallerySamples.h"

#include "Components/Controller/frmPreferences.h"
#include "Components/Controller/ovnPreferences.h"
#include "Components/Controller/ovnSendLogDlg.h"
#include "Components/Controller/signin/PasswordDlg.h"
#include "Components/Controller/signin/dlgConnection.h"
#include "Components/Controller/signin/frmDBLogin.h"
#include "Components/Controller/signin/frmLogin.h"
#include "Components/Nembra/NembraDataSet.h"
#include "Components/Nembra/NembraJSON.h"
#include "Components/Nembra/NembraLib.h"
#include "Components/Nembra/ovnControllerUtils.h"
#include "base/KldProgress.h"
#include "platform/ComCtrls.h"
#include "platform/DateUtils.h"

#include <QApplication>
#include <QLineEdit>

namespace {

// The connections the samples show.
TovnConnections& SampleConnections()
{
    static TovnConnections connections;
    if (connections.Count() == 0) {
        const char* rows[][2] = {{"Main Office", "https://main.example"},
                                 {"Oak Hill", "https://oak-hill.example:8444"},
                                 {"Training", "http://localhost:8444"}};
        for (const auto& row : rows) {
            TovnConnectionItem* item = connections.Add();
            item->SetConnection(row[0]);
            item->SetURL(row[1]);
        }
        connections.GetItem(0)->SetDefault(true);
    }
    return connections;
}

// A dialog shown inside the gallery's window instead of as a window.
template <class D> D* Embed(D* dialog)
{
    dialog->setWindowFlags(Qt::Widget);
    return dialog;
}

QWidget* MakeLogin(QWidget* parent)
{
    static TovnConnections connections;
    static TovnPreferences preferences;
    if (connections.Count() == 0) {
        for (const char* name : {"Main Office", "Oak Hill", "Training"})
            connections.Add()->SetConnection(name);
        connections.GetItem(0)->SetDefault(true);
        preferences.UserID = "NURSE1";
    }
    auto* dialog = Embed(new TfrmLogin(parent));
    dialog->DataToForm(nullptr, connections, preferences);
    dialog->edtPassword()->setText("secret");
    return dialog;
}

// Once shown, the dialog receives the notices of a failed sign-in.
std::vector<std::pair<std::string, QImage>> FailLogin(QWidget*)
{
    Progress.BeginTask("Login");
    for (const char* step : {"Connecting to https://main.example/bin/orvane.dll", "Preparing cache...",
                             "Invalid user name or password"})
        Progress.Notify(nullptr, "Login", 1, step);
    Progress.EndTask();
    return {};
}

QWidget* MakeDBLogin(QWidget* parent)
{
    static TNembraDataSet databases;
    if (!databases.Active()) {
        databases.FieldDefs().Add("Database", ftString, 20);
        databases.FieldDefs().Add("Description", ftString, 50);
        databases.FieldDefs().Add("Enterprise", ftString, 20);
        databases.FieldDefs().Add("C_Enterprise", ftInteger);
        DataSetFromJSONByColumns(
            databases, TJSONObject("{\"Database\":[\"OAKS\",\"BIRCH\",\"LINDEN\",\"ARCH\",\"TRAIN\"],"
                                   "\"Description\":[\"Oak Hill care home\",\"Birch Lane residence\","
                                   "\"Linden Court\",\"Archive 2019\",\"Training data\"],"
                                   "\"Enterprise\":[\"NORTH\",\"NORTH\",\"NORTH\",\"SOUTH\",\"ACADEMY\"],"
                                   "\"C_Enterprise\":[1,1,1,2,3]}"));
    }
    auto* dialog = Embed(new TfrmDBLogin(databases, parent));
    for (char32_t c : U"north")
        if (c)
            dialog->TypeChar(c);
    return dialog;
}

QWidget* MakeConnection(QWidget* parent)
{
    return Embed(new TdlgConnection(SampleConnections(), SampleConnections().GetItem(1), parent));
}

QWidget* MakePassword(QWidget* parent)
{
    auto* dialog = Embed(new TPasswordDlg(parent));
    dialog->edtUserName()->setText("SYSADM");
    return dialog;
}

QWidget* MakePreferences(QWidget* parent)
{
    static TovnPreferences preferences;
    static TovnSysPreferences sysPreferences;
    preferences.UserID = "NURSE1";
    auto* dialog = Embed(new TfrmPreferences(parent));
    dialog->Fill(SampleConnections(), preferences, sysPreferences, false);
    return dialog;
}

// The other two pages of the preferences.
std::vector<std::pair<std::string, QImage>> PreferencesPages(QWidget* control)
{
    auto* dialog = static_cast<TfrmPreferences*>(control);
    std::vector<std::pair<std::string, QImage>> pages;
    for (int i : {1, 2}) {
        dialog->PageControl()->SetActivePageIndex(i);
        QApplication::processEvents();
        pages.emplace_back(i == 1 ? "preferences-general" : "preferences-cache", dialog->grab().toImage());
    }
    dialog->PageControl()->SetActivePageIndex(0);
    return pages;
}

QWidget* MakeSendLog(QWidget* parent)
{
    auto* dialog = Embed(new TovnSendLogDlg(parent));
    dialog->Setup(EncodeDate(2024, 3, 5), 3, nullptr);
    return dialog;
}

const TGalleryRegistration Login{{"login-dialog", QSize(380, 290), MakeLogin, FailLogin}};
const TGalleryRegistration DBLogin{{"dblogin-dialog", QSize(640, 260), MakeDBLogin, nullptr}};
const TGalleryRegistration Connection{{"connection-dialog", QSize(420, 130), MakeConnection, nullptr}};
const TGalleryRegistration Password{{"password-dialog", QSize(300, 110), MakePassword, nullptr}};
const TGalleryRegistration Preferences{{"preferences-dialog", QSize(520, 420), MakePreferences, PreferencesPages}};
const TGalleryRegistration SendLog{{"sendlog-dialog", QSize(300, 130), MakeSendLog, nullptr}};

} // namespace
