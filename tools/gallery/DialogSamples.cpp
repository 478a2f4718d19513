// Samples of the sign-in road's dialogs, each embedded in the gallery's
// window as it looks when it opens: the sign-in dialog after a failed try,
// the database chooser with a search typed.

#include "tools/gallery/GallerySamples.h"

#include "Components/Controller/frmDBLogin.h"
#include "Components/Controller/frmLogin.h"
#include "Components/Controller/ovnPreferences.h"
#include "Components/Nembra/NembraDataSet.h"
#include "Components/Nembra/NembraJSON.h"
#include "Components/Nembra/NembraLib.h"
#include "Components/Nembra/ovnControllerUtils.h"
#include "base/KldProgress.h"

#include <QLineEdit>

namespace {

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

const TGalleryRegistration Login{{"login-dialog", QSize(380, 290), MakeLogin, FailLogin}};
const TGalleryRegistration DBLogin{{"dblogin-dialog", QSize(640, 260), MakeDBLogin, nullptr}};

} // namespace
