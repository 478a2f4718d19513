#include "Components/Controller/frmPreferences.h"

#include "Components/Controller/files/ovnUtils.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/ovnController.h"
#include "Components/Controller/signin/dlgConnection.h"
#include "base/KldLogFile.h"
#include "platform/ComCtrls.h"
#include "platform/DriveType.h"
#include "platform/FileUtils.h"
#include "support/BoundaryErrors.h"
#include "support/DialogScript.h"
#include "support/ErrorOf.h"
#include "support/GuiProbe.h"
#include "support/TempFolder.h"
#include "ui/KldCollectionView.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace {

// The controller's three objects as the dialog finds them: two connections
// ("Main Office" the default and active one), a user's preferences and the
// machine's.
struct TPreferencesFixture
{
    TovnConnections Connections;
    TovnPreferences Preferences;
    TovnSysPreferences SysPreferences;
    TfrmPreferences Dialog;
    uint32_t Drive = DRIVE_FIXED;
    std::vector<std::string> DrivePaths;
    int Clears = 0;

    explicit TPreferencesFixture(bool Connected = false)
    {
        TovnConnectionItem* main = Connections.Add();
        main->SetConnection("Main Office");
        main->SetURL("https://main.example");
        main->SetDefault(true);
        main->SetActive(true);
        TovnConnectionItem* oak = Connections.Add();
        oak->SetConnection("Oak Hill");
        oak->SetURL("https://oak.example");
        Preferences.UserID = "NURSE1";
        Preferences.MailCheckEvery = 15;
        Preferences.AutoUpdate = false;
        Preferences.UpdateURL = "http://updates.example";
        SysPreferences.CacheDir = "cache";
        Dialog.DriveTypeOf = [this](const std::string& Path) {
            DrivePaths.push_back(Path);
            return Drive;
        };
        Dialog.ClearCache = [this] { ++Clears; };
        Dialog.SelectFolder = nullptr;
        Dialog.SelectFont = nullptr;
        Dialog.Fill(Connections, Preferences, SysPreferences, Connected);
        Dialog.show();
    }

    TKldCollectionView& View() { return *Dialog.ConnectionsView(); }
    std::string Cell(int Col, int Row)
    {
        std::string text;
        View().DoGetCellText(Col, Row, text);
        return text;
    }
};

} // namespace

TEST(Preferences, CacheLocationRules)
{
    struct Case
    {
        const char* Desc;
        uint32_t Drive;
        TDownloadWhen Option;
        std::string Expected;
    } cases[] = {
        {"fixed disk", DRIVE_FIXED, downloadNewer, ""},
        {"removable", DRIVE_REMOVABLE, downloadAlways, "Cache can not be located on a CD drive or removable media"},
        {"optical", DRIVE_CDROM, downloadNever, "Cache can not be located on a CD drive or removable media"},
        {"network, version checking", DRIVE_REMOTE, downloadNewer, "Cache can not be located on the network"},
        {"network, never downloading", DRIVE_REMOTE, downloadNever, "Cache can not be located on the network"},
        {"network, always downloading", DRIVE_REMOTE, downloadAlways, ""},
        {"memory", DRIVE_RAMDISK, downloadNewer, ""},
        {"unknown", DRIVE_UNKNOWN, downloadNewer, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        std::string asked;
        const std::string error = ErrorOf<EovnBrowser>([&] {
            CheckCacheLocation("/srv/cache", c.Option, [&](const std::string& path) {
                asked = path;
                return c.Drive;
            });
        });
        EXPECT_EQ(error, c.Expected);
        EXPECT_EQ(asked, "/srv/cache");
    }
    struct Interval
    {
        const char* Text;
        int Expected;
    } intervals[] = {{"5", 5}, {" 12 ", 12}, {"", 10}, {"abc", 10}, {"-3", 0}, {"0", 0}};
    for (const Interval& i : intervals) {
        SCOPED_TRACE(i.Text);
        EXPECT_EQ(MailIntervalFromText(i.Text), i.Expected);
    }
}

TEST(Preferences, FillShowsCopiesOnThreePages)
{
    TPreferencesFixture f;
    TfrmPreferences& d = f.Dialog;
    EXPECT_EQ(d.windowTitle().toStdString(), "Preferences");
    ASSERT_EQ(d.PageControl()->PageCount(), 3);
    EXPECT_EQ(d.PageControl()->ActivePage()->Caption(), "Connections");
    EXPECT_EQ(d.PageControl()->Pages(1)->Caption(), "General");
    EXPECT_EQ(d.PageControl()->Pages(2)->Caption(), "Cache");
    EXPECT_TRUE(d.PageControl()->OwnerDraw()) << "drawn by the tab painter";

    EXPECT_EQ(f.View().Collection(), &d.ConnectionsCopy());
    EXPECT_NE(&d.ConnectionsCopy(), &f.Connections);
    EXPECT_EQ(f.View().GetRowCount(), 2);
    EXPECT_EQ(f.View().GetColCaption(0), "Default");
    EXPECT_EQ(f.Cell(0, 0), "True");
    EXPECT_EQ(f.Cell(1, 0), "Main Office");
    EXPECT_EQ(f.Cell(2, 1), "https://oak.example");

    EXPECT_TRUE(d.cbAutoLogin()->isChecked());
    EXPECT_EQ(d.edtUserID()->text().toStdString(), "NURSE1");
    EXPECT_EQ(d.edtMailInterval()->value(), 15);
    EXPECT_EQ(d.edtMailFont()->text().toStdString(), "Arial, 12");
    EXPECT_TRUE(d.rbDownload(downloadNewer)->isChecked());
    EXPECT_EQ(d.edtCachePath()->text().toStdString(), "cache");
    EXPECT_EQ(d.edtCachePath()->toolTip().toStdString(), " Local Cache Path");
    EXPECT_TRUE(d.edtCachePath()->isEnabled());
    EXPECT_TRUE(d.btnBrowse()->isEnabled());

    TPreferencesFixture signedIn(true);
    EXPECT_FALSE(signedIn.Dialog.edtCachePath()->isEnabled()) << "the cache cannot move during a session";
    EXPECT_FALSE(signedIn.Dialog.btnBrowse()->isEnabled());
    EXPECT_TRUE(signedIn.Dialog.btnClearCache()->isEnabled());
}

TEST(Preferences, OKTakesOverTheEditedValues)
{
    TPreferencesFixture f;
    TfrmPreferences& d = f.Dialog;
    // Ticking "Oak Hill" as the default unticks "Main Office".
    f.View().resize(400, 200);
    const TRect cell = f.View().GetCellRect(0, 1);
    Input::Click(f.View(), (cell.Left + cell.Right) / 2, (cell.Top + cell.Bottom) / 2);
    EXPECT_EQ(f.Cell(0, 1), "True");
    EXPECT_EQ(f.Cell(0, 0), "False");
    EXPECT_TRUE(f.Connections.GetItem(0)->Default()) << "the controller's list is untouched before OK";

    d.edtUserID()->clear();
    Keys::Type(*d.edtUserID(), "nurse2");
    EXPECT_EQ(d.edtUserID()->text().toStdString(), "NURSE2") << "typed upper case";
    d.cbAutoLogin()->setChecked(false);
    d.cbMailPopup()->setChecked(true);
    Keys::Type(*d.edtMailFooter(), "Oak Hill nursing");
    d.edtMailInterval()->selectAll();
    Keys::Type(*d.edtMailInterval(), "x2y5");
    EXPECT_EQ(d.edtMailInterval()->text().toStdString(), "25") << "digits only";
    d.rbDownload(downloadNever)->setChecked(true);
    d.edtCachePath()->setText("/srv/ovn-cache");
    d.SetModalResult(mrOk);

    EXPECT_EQ(d.ModalResult(), mrOk);
    EXPECT_EQ(f.DrivePaths, std::vector<std::string>{"/srv/ovn-cache"});
    EXPECT_TRUE(f.Connections.GetItem(1)->Default());
    EXPECT_FALSE(f.Connections.GetItem(0)->Default());
    EXPECT_EQ(f.Connections.GetActiveConnection(), "Main Office") << "the active entry stays";
    EXPECT_FALSE(f.Preferences.AutoLogin);
    EXPECT_EQ(f.Preferences.UserID, "NURSE2");
    EXPECT_TRUE(f.Preferences.MailPopup);
    EXPECT_EQ(f.Preferences.MailFooter, "Oak Hill nursing");
    EXPECT_EQ(f.Preferences.MailCheckEvery, 25);
    EXPECT_FALSE(f.Preferences.AutoUpdate) << "only the settings file changes it";
    EXPECT_EQ(f.Preferences.UpdateURL, "http://updates.example");
    EXPECT_EQ(f.SysPreferences.DownloadWhen, downloadNever);
    EXPECT_EQ(f.SysPreferences.CacheDir, "/srv/ovn-cache");
}

TEST(Preferences, CancelChangesNothing)
{
    TPreferencesFixture f;
    TfrmPreferences& d = f.Dialog;
    // A new connection through the editor lands in the copy only.
    WhenModal<TdlgConnection>([](TdlgConnection& editor) {
        editor.edtName()->setText("Training");
        editor.edtURL()->setText("http://localhost:8444");
        editor.SetModalResult(mrOk);
    });
    d.btnNewClick();
    ASSERT_EQ(d.ConnectionsCopy().Count(), 3);
    EXPECT_EQ(f.View().GetRowCount(), 3);
    EXPECT_EQ(f.View().GetCurrentItem(), d.ConnectionsCopy().GetItem(2)) << "the new entry is selected";
    d.edtUserID()->setText("OTHER");
    Keys::Escape(*d.edtUserID());
    EXPECT_EQ(d.ModalResult(), mrCancel);
    EXPECT_EQ(f.Connections.Count(), 2);
    EXPECT_EQ(f.Preferences.UserID, "NURSE1");
    EXPECT_TRUE(f.DrivePaths.empty()) << "no check on Cancel";
}

TEST(Preferences, EditingAndDeletingWorkOnTheCopy)
{
    TPreferencesFixture f;
    TfrmPreferences& d = f.Dialog;
    f.View().SetCurrentItem(d.ConnectionsCopy().GetItem(1));
    WhenModal<TdlgConnection>([](TdlgConnection& editor) {
        EXPECT_EQ(editor.edtName()->text().toStdString(), "Oak Hill");
        editor.edtURL()->setText("https://oak2.example");
        editor.SetModalResult(mrOk);
    });
    d.btnEditClick();
    EXPECT_EQ(f.Cell(2, 1), "https://oak2.example");

    TDialogScript dialogs;
    dialogs->QueueAnswer(mrNo);
    d.btnDeleteClick();
    EXPECT_EQ(d.ConnectionsCopy().Count(), 2);
    dialogs->QueueAnswer(mrYes);
    d.btnDeleteClick();
    EXPECT_EQ(d.ConnectionsCopy().Count(), 1);
    EXPECT_EQ(dialogs->Texts(), (std::vector<std::string>(2, "Delete selected connection?")));
    EXPECT_EQ(f.Connections.Count(), 2);
    EXPECT_EQ(f.Connections.GetItem(1)->URL(), "https://oak.example");
}

TEST(Preferences, ACacheOnTheNetworkNeedsAlwaysDownloading)
{
    TPreferencesFixture f;
    TfrmPreferences& d = f.Dialog;
    f.Drive = DRIVE_REMOTE;
    d.edtUserID()->setText("CHANGED");
    {
        TBoundaryErrors errors;
        d.SetModalResult(mrOk);
        ASSERT_EQ(errors.Reports.size(), 1u);
        EXPECT_EQ(errors.Reports[0], "TfrmPreferences: EovnBrowser: Cache can not be located on the network");
    }
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(d.ModalResult(), mrNone);
    EXPECT_EQ(f.Preferences.UserID, "NURSE1") << "nothing copied";
    // A relative folder is judged where it lies: in the data folder.
    EXPECT_EQ(f.DrivePaths.at(0), ovnGetDataPath() + "cache");

    d.rbDownload(downloadAlways)->setChecked(true);
    d.SetModalResult(mrOk);
    EXPECT_EQ(d.ModalResult(), mrOk);
    EXPECT_EQ(f.SysPreferences.DownloadWhen, downloadAlways);
    EXPECT_EQ(f.Preferences.UserID, "CHANGED");
}

TEST(Preferences, ClearingTheCacheAsksAndHappensAtOnce)
{
    TPreferencesFixture f;
    TDialogScript dialogs;
    dialogs->QueueAnswer(mrNo);
    f.Dialog.btnClearCache()->click();
    EXPECT_EQ(f.Clears, 0);
    dialogs->QueueAnswer(mrYes);
    f.Dialog.btnClearCache()->click();
    EXPECT_EQ(f.Clears, 1);
    ASSERT_EQ(dialogs->Calls().size(), 2u);
    EXPECT_EQ(dialogs->Calls()[0].Text, "Clear cached applets and files?");
    EXPECT_EQ(dialogs->Calls()[0].Type, mtConfirmation);
    EXPECT_EQ(dialogs->Calls()[0].Buttons, (TMsgDlgButtons{mbYes, mbNo}));
    f.Dialog.SetModalResult(mrCancel);
    EXPECT_EQ(f.Clears, 1);
}

TEST(Preferences, FolderAndFontChoosers)
{
    TPreferencesFixture f;
    TfrmPreferences& d = f.Dialog;
    std::string startedAt;
    d.SelectFolder = [&](std::string& folder) {
        startedAt = folder;
        folder = "/var/cache/ovn";
        return true;
    };
    d.btnBrowse()->click();
    EXPECT_EQ(startedAt, "cache");
    EXPECT_EQ(d.edtCachePath()->text().toStdString(), "/var/cache/ovn");

    struct Case
    {
        int Chosen;
        const char* Shown;
    } cases[] = {{10, "Tahoma, 10"}, {30, "Tahoma, 21"}, {4, "Tahoma, 8"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Chosen);
        d.SelectFont = [&](std::string& name, int& size) {
            name = "Tahoma";
            size = c.Chosen;
            return true;
        };
        d.btnSelectFontClick();
        EXPECT_EQ(d.edtMailFont()->text().toStdString(), c.Shown);
    }
    d.SelectFont = [](std::string&, int&) { return false; };
    d.btnSelectFontClick();
    EXPECT_EQ(d.PreferencesCopy().MailFont, "Tahoma");
    d.SetModalResult(mrOk);
    EXPECT_EQ(f.Preferences.MailFont, "Tahoma");
    EXPECT_EQ(f.Preferences.MailFontSize, 8);
}

TEST(Preferences, ClearingMarksEveryCachedFileUnknownEvenBeforeTheFirstSignIn)
{
    TTempFolder dir;
    ovnSetDataPath(dir.Path());
    auto* controller = new TovnController(nullptr);
    const std::string cache = dir.Path() + "cache/";
    ForceDirectories(cache);
    WriteText(cache + ".cache", "ICN_A\nicon_a.png\n42\n\nLIB_B\nlib_b.so\n7\n\n");
    WriteText(cache + "icon_a.png", "png");
    ASSERT_FALSE(controller->Cache().Active());
    ClearCachedResources();
    EXPECT_FALSE(controller->Cache().Active()) << "opened for the clearing only";
    // An unknown version is not written: no entry keeps a version.
    const std::string index = ReadText(cache + ".cache");
    EXPECT_EQ(index.find("42"), std::string::npos) << index;
    EXPECT_EQ(index.find("lib_b.so"), std::string::npos) << index;
    EXPECT_TRUE(FileExists(cache + "icon_a.png")) << "the files stay";

    // An open cache is cleared in place.
    WriteText(cache + ".cache", "ICN_C\nicon_c.png\n9\n\n");
    controller->InitCache();
    controller->Cache().Save();
    ASSERT_NE(ReadText(cache + ".cache").find("icon_c.png\r\n9\r\n"), std::string::npos);
    ClearCachedResources();
    EXPECT_TRUE(controller->Cache().Active());
    EXPECT_EQ(ReadText(cache + ".cache").find("icon_c.png"), std::string::npos);
    delete controller;
    FreeApplicationMainForm();
    Log.SetEnabled(false);
    ovnSetDataPath("");
}
