// The main window: its action rules, status bar texts, progress arithmetic
// and settings (plain rules), its layout per brand, the module list and the
// search box's wiring, and the user's sign-in against the local
// application server.

#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/ovnController.h"
#include "Components/Controller/signin/frmChangePassword.h"
#include "Components/Controller/signin/frmLock.h"
#include "Components/Controller/web/ovnAdController.h"
#include "Components/Controller/web/ovnMyWebBrowserController.h"
#include "Components/Nembra/NembraClient.h"
#include "Components/Nembra/NembraLib.h"
#include "base/KldLogFile.h"
#include "base/KldProgress.h"
#include "platform/FileUtils.h"
#include "platform/IniFiles.h"
#include "platform/StatusBar.h"
#include "support/AppServerProcess.h"
#include "support/BoundaryErrors.h"
#include "support/DialogScript.h"
#include "support/ErrorOf.h"
#include "support/EventLoopWait.h"
#include "support/FileSystemTesting.h"
#include "support/TempFolder.h"
#include "ui/KldAppEditor.h"
#include "ui/KldAppPanel.h"
#include "ui/KldModuleView.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QToolBar>

#include <cmath>
#include <filesystem>
#include <sstream>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

// ---------------------------------------------------------------------------
// Plain rules

TBrowserActionState State(bool Logged, bool DBLogged, int32_t Brand = 1, const std::string& UserType = "USR",
                          TActiveModuleForm Form = amfNone)
{
    TBrowserActionState s;
    s.Logged = Logged;
    s.DBLogged = DBLogged;
    s.Brand = Brand;
    s.UserType = UserType;
    s.ActiveForm = Form;
    return s;
}

} // namespace

TEST(BrowserActions, EnabledAndVisibleRules)
{
    struct Case
    {
        const char* Desc;
        TBrowserAction Action;
        TBrowserActionState State;
        bool Enabled;
        bool Visible;
    };
    TBrowserActionState notify = State(true, true);
    notify.NotifyCenter = true;
    notify.CanEditNotifyPreferences = true;
    TBrowserActionState notifyReadOnly = notify;
    notifyReadOnly.CanEditNotifyPreferences = false;
    const Case cases[] = {
        {"sign-in while signed out", actUserLogin, State(false, false), true, true},
        {"sign-in while signed in: hidden", actUserLogin, State(true, false), false, false},
        {"log off while signed out: hidden", actUserLogout, State(false, false), false, false},
        {"log off while signed in", actUserLogout, State(true, false), true, true},
        {"database choice needs the server", actSelectDatabase, State(false, false), false, true},
        {"database choice while signed in", actSelectDatabase, State(true, false), true, true},
        {"administration for SYS", actAdminConsole, State(true, false, 1, "SYS"), true, true},
        {"administration for MGR", actAdminConsole, State(true, false, 1, "MGR"), true, true},
        {"administration hidden for USR", actAdminConsole, State(true, false, 1, "USR"), false, false},
        {"administration hidden before sign-in", actAdminConsole, State(false, false, 1, "SYS"), false, false},
        {"explorer for SYS only", actOndrelExplorer, State(true, false, 1, "SYS"), true, true},
        {"explorer hidden for MGR", actOndrelExplorer, State(true, false, 1, "MGR"), false, false},
        {"shift information, brand 0", actShiftInfo, State(true, false, 0), true, true},
        {"shift information hidden for brand 1", actShiftInfo, State(true, false, 1), true, false},
        {"shift information hidden for brand 2", actShiftInfo, State(true, false, 2), true, false},
        {"user list, brand 0", actUserList, State(true, false, 0), true, true},
        {"O-Mail hidden for brand 1", actOrvaneMail, State(true, false, 1), true, false},
        {"O-Mail disabled before sign-in", actOrvaneMail, State(false, false, 0), false, true},
        {"find applet needs a database", actFindApplet, State(true, false), false, true},
        {"find applet in a database", actFindApplet, State(true, true), true, true},
        {"module groups need a database", actShowModuleGroups, State(true, false, 0), false, true},
        {"module groups hidden for brand 1", actModuleGroupPreferences, State(true, true, 1), true, false},
        {"log upload needs a database", actSendLog, State(true, false), false, true},
        {"log upload in a database", actSendLog, State(true, true), true, true},
        {"close all without a window", actCloseAll, State(true, true), false, true},
        {"close all with a window", actCloseAll, State(true, true, 1, "USR", amfOther), true, true},
        {"close current with a window", actCloseCurrent, State(true, false, 1, "USR", amfModuleView), true, true},
        {"widgets of a module view with widgets", actCustomizeModule,
         State(true, true, 0, "USR", amfModuleViewWithWidgets), true, true},
        {"widgets of a module view without", actCustomizeModule, State(true, true, 0, "USR", amfModuleView), false,
         true},
        {"widgets hidden for brand 1", actCustomizeModule, State(true, true, 1, "USR", amfModuleViewWithWidgets),
         true, false},
        {"applet information of a container", actAppletInfo, State(true, true, 1, "USR", amfAppletContainer), true,
         true},
        {"applet information of a module view", actAppletInfo, State(true, true, 1, "USR", amfModuleView), false,
         true},
        {"notification preferences", actNotificationPreferences, notify, true, true},
        {"notification preferences not editable: hidden", actNotificationPreferences, notifyReadOnly, false,
         false},
        {"notification preferences without a center", actNotificationPreferences, State(true, true), false, false},
        {"preferences before sign-in", actPreferences, State(false, false), true, true},
        {"about before sign-in", actAbout, State(false, false), true, true},
        {"exit before sign-in", actExit, State(false, false), true, true},
        {"web help needs the server", actOrvaneWebHelp, State(false, false), false, true},
        {"the maker's site for brand 0", actOrvaneOnTheWeb, State(true, false, 0), true, true},
        {"the maker's site not for brand 1", actOrvaneOnTheWeb, State(true, false, 1), true, false},
        {"the product's site for brand 1", actTallowin, State(true, false, 1), true, true},
        {"the product's site not for brand 2", actTallowin, State(true, false, 2), true, false},
        {"screen lock needs the server", actLockBrowser, State(false, false), false, true},
        {"module list toggle", actShowModuleList, State(true, false), true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(BrowserActionEnabled(c.Action, c.State), c.Enabled);
        EXPECT_EQ(BrowserActionVisible(c.Action, c.State), c.Visible);
    }
}

TEST(BrowserActions, NamesCaptionsAndTheBrandTable)
{
    EXPECT_STREQ(BrowserActionInfo(actUserLogin, 1).Name, "actUserLogin");
    EXPECT_EQ(BrowserActionInfo(actUserLogin, 1).Caption, "User &Login...");
    EXPECT_STREQ(BrowserActionInfo(actFindApplet, 1).ShortCut, "Ctrl+Q");
    EXPECT_STREQ(BrowserActionInfo(actCloseCurrent, 1).ShortCut, "Ctrl+F4");
    EXPECT_STREQ(BrowserActionInfo(actOndrelExplorer, 1).Hint, "Show Ondrel Explorer");
    EXPECT_STREQ(BrowserActionInfo(actUserList, 1).Category, "Community");
    EXPECT_EQ(BrowserActionInfo(actOrvaneWebHelp, 0).Caption, "&Orvane Web Help");
    EXPECT_EQ(BrowserActionInfo(actOrvaneWebHelp, 1).Caption, "&Tallowin Web Help");
    EXPECT_EQ(BrowserActionInfo(actOrvaneWebHelp, 5).Caption, "&Orvane Web Help");

    struct Case
    {
        int32_t Brand;
        bool Community;
        bool Groups;
        THelpSiteItem Site;
        const char* Agent;
        bool Shift;
    };
    const Case cases[] = {
        {0, true, true, hsiOrvaneOnTheWeb, "Orvane Browser", true},
        {1, false, false, hsiTallowin, "Tallowin", false},
        {2, false, false, hsiNone, "Unknown", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Brand);
        const TBrowserBrand b = BrowserBrand(c.Brand);
        EXPECT_EQ(b.Community, c.Community);
        EXPECT_EQ(b.ModuleGroupsFromPreference, c.Groups);
        EXPECT_EQ(b.HelpSiteItem, c.Site);
        EXPECT_EQ(b.AgentName, c.Agent);
        EXPECT_EQ(b.ShiftSelection, c.Shift);
    }
    EXPECT_EQ(LoginAgentText(0, "4.2.0.7", "2024-03-05-10-30"), "Orvane Browser - 4.2.0.7 (Version:2024-03-05-10-30)");
    EXPECT_EQ(LoginAgentText(9, "", "v"), "Unknown -  (Version:v)");
}

TEST(MainWindowStatus, PanelTexts)
{
    TStatusBarState active;
    active.ConnectionActive = true;
    active.Online = true;
    active.ConnectionName = "Office";
    active.Enterprise = "  HARBOUR VIEW ";
    active.FullName = "Tom Ward";
    active.UserID = "NURSE";
    TStatusBarState database = active;
    database.Alias = "MAPLE";
    database.FacilityCode = "MC";
    TStatusBarState offline = database;
    offline.Online = false;
    TStatusBarState shift = database;
    shift.ShiftSelection = true;
    shift.Employee = true;
    TStatusBarState chosen = shift;
    chosen.ShiftText = "Day (07:00-15:00)";
    TStatusBarState terminated;
    terminated.SessionTerminated = true;
    struct Case
    {
        const char* Desc;
        TStatusBarState State;
        std::vector<std::string> Expected;
    };
    const Case cases[] = {
        {"signed out", TStatusBarState{}, {"", "", "", "", ""}},
        {"ended by the server", terminated, {"Terminated", "", "", "", ""}},
        {"signed in", active, {"Office", "HARBOUR VIEW", "Tom Ward [NURSE]", ""}},
        {"in a database", database, {"Office/MAPLE", "HARBOUR VIEW / MC", "Tom Ward [NURSE]", ""}},
        {"offline", offline, {"Office/MAPLE (Offline)", "HARBOUR VIEW / MC", "Tom Ward [NURSE]", ""}},
        {"a shift to choose", shift, {"Office/MAPLE", "HARBOUR VIEW / MC", "Tom Ward [NURSE]", "(Click to select shift)"}},
        {"a chosen shift", chosen, {"Office/MAPLE", "HARBOUR VIEW / MC", "Tom Ward [NURSE]", "Day (07:00-15:00)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(StatusBarTexts(c.State), c.Expected);
    }
}

TEST(MainWindowStatus, ProgressArithmetic)
{
    struct Case
    {
        int Position;
        int Step;
        int Bar;
        int After;
        bool Shows;
    };
    const Case cases[] = {
        {0, 0, 0, 0, false},    {1, 0, 1, 1, true},      {50, 10, 50, 60, true},  {95, 10, 95, 10, true},
        {99, 0, 99, 99, true},  {100, 0, 100, 100, false}, {101, 0, 0, 0, false}, {101, 5, 0, 5, false},
        {-1, 5, 0, -1, false},  {0, 5, 0, 5, false},     {100, 1, 100, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Position << " step " << c.Step);
        int position = c.Position;
        const int bar = StepProgress(position, c.Step);
        EXPECT_EQ(bar, c.Bar);
        EXPECT_EQ(position, c.After);
        EXPECT_EQ(ProgressBarShows(bar), c.Shows);
    }
}

TEST(MainWindowStatus, TheLastPanelHoldsTheProgressBar)
{
    const TRect panel = Rect(840, 0, 1094, 19);
    EXPECT_EQ(ProgressBarPlace(panel, 13), Rect(848, 3, 998, 16));
    EXPECT_EQ(StatusPanelTextRect(panel, true, true), Rect(1005, 3, 1071, 16));
    EXPECT_EQ(StatusPanelTextRect(panel, true, false), Rect(843, 3, 1091, 16));
    EXPECT_EQ(StatusPanelTextRect(Rect(0, 0, 210, 19), false, true), Rect(3, 3, 207, 16));
}

TEST(MainWindowStatus, SavedSectionsAreThoseNamed)
{
    struct Case
    {
        const char* Sections;
        bool Connections;
        bool Cache;
        bool User;
    };
    const Case cases[] = {
        {"|CONNECTIONS|LOCAL CACHE|USER PREFERENCES", true, true, true},
        {"CONNECTIONS|LOCAL CACHE|USER PREFERENCES", true, true, true},
        {"USER PREFERENCES", false, false, true},
        {"connections", false, false, false},
        {"", false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Sections);
        const TIniSections s = SelectedIniSections(c.Sections);
        EXPECT_EQ(s.Connections, c.Connections);
        EXPECT_EQ(s.LocalCache, c.Cache);
        EXPECT_EQ(s.UserPreferences, c.User);
    }
}

TEST(MainWindowSignInTexts, ExpiryNoteAndIdleMinutes)
{
    EXPECT_EQ(PasswordExpiryNote("#2004 Your password will expire in 5 days."),
              " Your password will expire in 5 days.");
    EXPECT_EQ(PasswordExpiryNote("  #2004 Expired.  "), " Expired.");
    EXPECT_EQ(PasswordExpiryNote("#2004"), "");
    EXPECT_EQ(PasswordExpiryNote("Server maintenance at 22:00"), "");
    EXPECT_EQ(PasswordExpiryNote(""), "");
    for (const auto& [text, minutes] : std::vector<std::pair<std::string, int>>{
             {"15", 15}, {"0", 20}, {"abc", 20}, {"", 20}, {"45", 45}, {"-5", 20}}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(MaxIdleMinutes(text), minutes);
    }
}

TEST(MainWindowSwitches, ForceIEAndSkipUpdateFromTheCommandLine)
{
    const TBrowserSwitches none = BrowserSwitches({"Tallowin", "SKIP_UPDATE"});
    EXPECT_FALSE(none.SkipUpdate);
    const TBrowserSwitches both = BrowserSwitches({"Tallowin", "/skip_update", "-FORCE_IE"});
    EXPECT_TRUE(both.SkipUpdate);
    EXPECT_TRUE(both.ForceIE);
}

// ---------------------------------------------------------------------------
// The window

namespace {

// A controller (and its main window) of a brand in a data folder of its
// own; message boxes are answered from a script.
class MainWindowTest : public ::testing::Test
{
  protected:
    void Make(int32_t Brand)
    {
        ovnSetDataPath(m_dir.Path());
        AppBrand = Brand;
        m_controller = new TovnController(nullptr);
        m_window = m_controller->Browser();
        m_controller->Preferences().AutoLogin = false;
        // The database sign-in after the sign-in is tested on its own.
        m_controller->Preferences().AutoDBLogin = false;
        // The first show must not ask the brand's update address (the
        // controller's own check is tested with the controller).
        m_window->OnCheckKernelUpdate = [] { return false; };
    }
    void SetUp() override { Make(1); }
    void TearDown() override
    {
        delete m_controller;
        FreeApplicationMainForm();
        Log.SetEnabled(false);
        ovnSetDataPath("");
        AppBrand = 0;
        std::filesystem::current_path(m_startFolder);
    }
    // Remakes the controller for another brand.
    void Remake(int32_t Brand)
    {
        delete m_controller;
        FreeApplicationMainForm();
        Make(Brand);
    }
    std::vector<std::string> LogLinesWith(const std::string& Text) const
    {
        std::vector<std::string> found;
        std::stringstream s(ReadText(Log.FileName()));
        for (std::string line; std::getline(s, line);)
            if (line.find(Text) != std::string::npos)
                found.push_back(line);
        return found;
    }
    std::vector<std::string> ActionTexts(QMenu* Menu) const
    {
        std::vector<std::string> texts;
        for (QAction* a : Menu->actions())
            texts.push_back(a->isSeparator() ? "---" : a->text().toStdString());
        return texts;
    }

    std::filesystem::path m_startFolder = std::filesystem::current_path();
    TTempFolder m_dir;
    TDialogScript m_dialogs;
    TovnController* m_controller = nullptr;
    TfrmOrvaneBrowser4* m_window = nullptr;
};

} // namespace

TEST(MainWindowPictures, APictureThatFailsToLoadLeavesABlankInItsSlot)
{
    TTempFolder dir;
    ovnSetDataPath(dir.Path());
    {
        TovnController controller(nullptr); // loads the window's resources and binds the log
        TCustomImageList images(16, 16);
        LoadPictureTable(images, {"KLD_ADMIN16", "KLD_NO_SUCH_PICTURE", "KLD_LOCK16"});
        ASSERT_EQ(images.Count(), 3);
        TCustomImageList reference(16, 16);
        ASSERT_TRUE(reference.ResourceLoad(rtRCData, "KLD_LOCK16", clNone));
        EXPECT_EQ(images.GetImage(2), reference.GetImage(0)) << "the later pictures keep their indices";
        const QImage blank = images.GetImage(1);
        bool transparent = true;
        for (int y = 0; y < blank.height(); ++y)
            for (int x = 0; x < blank.width(); ++x)
                transparent = transparent && qAlpha(blank.pixel(x, y)) == 0;
        EXPECT_TRUE(transparent) << "not the picture loaded before it";
        EXPECT_NE(ReadText(Log.FileName()).find(", WARNING, BROWSER, Unable to load image KLD_NO_SUCH_PICTURE "),
                  std::string::npos);

        // The window's own tables are whole, in their fixed order.
        TfrmOrvaneBrowser4* window = controller.Browser();
        EXPECT_EQ(window->Images16().Count(), 16);
        EXPECT_EQ(window->Images24().Count(), 11);
        EXPECT_EQ(MailBadgeImage().size(), QSize(24, 16));
        EXPECT_EQ(ReadText(Log.FileName()).find("Unable to load image KLD_"), ReadText(Log.FileName()).find(
                                                                                   "Unable to load image KLD_NO"));
        TCustomImageList facility(16, 16);
        facility.ResourceLoad(rtRCData, "KLD_FACILITY16", clNone);
        EXPECT_EQ(window->Images16().GetImage(GetImageForKey("facility")), facility.GetImage(0));
    }
    FreeApplicationMainForm();
    Log.SetEnabled(false);
    ovnSetDataPath("");
}

TEST_F(MainWindowTest, LayoutOfBrandOne)
{
    EXPECT_EQ(m_window->objectName(), "frmOrvaneBrowser4");
    for (int i = 0; i < BrowserActionCount; ++i) {
        const auto id = static_cast<TBrowserAction>(i);
        EXPECT_EQ(m_window->Action(id)->objectName().toStdString(), BrowserActionInfo(id, 1).Name);
    }
    ASSERT_NE(m_window->Menu("&Communication"), nullptr);
    EXPECT_FALSE(m_window->Menu("&Communication")->menuAction()->isVisible());
    EXPECT_EQ(ActionTexts(m_window->Menu("&Session")),
              (std::vector<std::string>{"User &Login...", "Select &Database...", "Change &Password",
                                        "&Shift Information...", "---", "Loc&k Browser", "---", "Log &Off", "---",
                                        "E&xit"}));
    EXPECT_EQ(ActionTexts(m_window->Menu("Help")),
              (std::vector<std::string>{"&Tallowin Web Help", "Submit Log to Administrator", "Tallowin", "---",
                                        "&About"}));
    EXPECT_EQ(ActionTexts(m_window->Menu("Tools")),
              (std::vector<std::string>{"&Administration Console...", "Ondrel Explorer", "&System Information...",
                                        "---", "&Preferences...", "&Notifications Preferences..."}));
    for (TBrowserAction hidden : {actUserList, actOrvaneMail, actShiftInfo, actShowModuleGroups,
                                  actModuleGroupPreferences, actCustomizeModule})
        EXPECT_FALSE(m_window->Action(hidden)->isVisible()) << BrowserActionInfo(hidden, 1).Name;

    // The toolbar: pictures of the 24-pixel list, the notifications item at
    // the right end.
    std::vector<std::string> toolbar;
    for (QAction* a : m_window->Toolbar()->actions())
        if (!a->text().isEmpty())
            toolbar.push_back(a->objectName().toStdString());
    EXPECT_EQ(toolbar, (std::vector<std::string>{"actUserLogin", "actSelectDatabase", "actAdminConsole",
                                                 "actLockBrowser", "actUserLogout", "actShowModuleList",
                                                 "actUserList", "actOrvaneMail", "tbNotifications"}));
    EXPECT_EQ(m_window->Toolbar()->iconSize(), QSize(24, 24));

    // The status bar: five owner-drawn panels, the progress bar in the last.
    TStatusBar& status = m_window->StatusBar();
    ASSERT_EQ(status.PanelCount(), 5);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(status.Panel(i).Width, (std::vector<int>{210, 200, 210, 210})[static_cast<size_t>(i)]);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(status.Panel(i).Style, psOwnerDraw);
    EXPECT_EQ(m_window->ProgressBar().parentWidget(), &status);
    EXPECT_EQ(m_window->ProgressBar().Max(), 100);
    EXPECT_EQ(m_window->ProgressBar().Hint(), "Download Progress");
    EXPECT_FALSE(m_window->ProgressBar().Visible());

    TKldModuleView& list = m_window->ModuleList();
    EXPECT_FALSE(list.Visible());
    EXPECT_EQ(list.Width(), 160);
    EXPECT_EQ(list.minimumWidth(), 100);
    EXPECT_EQ(list.maximumWidth(), 200);
    EXPECT_EQ(list.ItemHeight(), 45);
    EXPECT_EQ(list.SubItemHeight(), 25);
    EXPECT_EQ(list.GroupItemHeight(), 30);
    EXPECT_EQ(list.Images(), &m_window->IconList());
    EXPECT_FALSE(m_window->SearchBox().Visible());
    EXPECT_EQ(m_window->SearchBox().Width(), 150);
    ASSERT_EQ(m_window->InfoBar().Items().Count(), 1);
    EXPECT_TRUE(m_window->InfoBar().Items().Items(0)->FontStyle().Contains(fsBold));
    EXPECT_FALSE(m_window->CloseLabel().Visible());
    EXPECT_EQ(m_window->CloseLabel().ImageIndex(), 12);
    EXPECT_EQ(m_window->CloseLabel().HotImageIndex(), 13);
    EXPECT_EQ(m_window->InfoPanel().Height(), 25);
}

TEST_F(MainWindowTest, LayoutOfBrandZero)
{
    Remake(0);
    EXPECT_TRUE(m_window->Menu("&Communication")->menuAction()->isVisible());
    EXPECT_EQ(ActionTexts(m_window->Menu("Help")),
              (std::vector<std::string>{"&Orvane Web Help", "Submit Log to Administrator", "---",
                                        "Orvane On The &Web", "---", "&About"}));
    m_window->actUIUpdate();
    EXPECT_TRUE(m_window->Action(actUserList)->isVisible());
    EXPECT_TRUE(m_window->Action(actShiftInfo)->isVisible());

    Remake(2);
    EXPECT_EQ(ActionTexts(m_window->Menu("Help")),
              (std::vector<std::string>{"&Orvane Web Help", "Submit Log to Administrator", "---", "&About"}));
}

TEST_F(MainWindowTest, TheWebBackEndIsChosenAtCreation)
{
    // No web view plugin lies beside the test program: the light view.
    EXPECT_EQ(DefaultAdControllerClass, &TovnMyWebBrowserAdControllerClass);
    EXPECT_EQ(DefaultWebViewControllerClass, &TovnMyWebBrowserControllerClass);
    EXPECT_EQ(LogLinesWith("TovnEdgeAdController.BrowserAvailable").size(), 1u);
}

TEST_F(MainWindowTest, TheComponentsItOwns)
{
    TNembraConnection& con = m_window->conMAIN();
    EXPECT_EQ(con.ConnectionName(), "MAIN");
    EXPECT_TRUE(con.AppendTimeStampToPost());
    EXPECT_TRUE(con.ShowWaitCursor());
    EXPECT_EQ(con.Timeout(), 120);
    EXPECT_EQ(m_window->dbSys().DatabaseName(), "SYSTEM_DATA");
    EXPECT_EQ(m_window->dbSys().Params().Values("DB_ALIAS"), "SYSTEM");
    EXPECT_EQ(m_window->dbData().DatabaseName(), "DATA");
    for (TNembraDatabase* db : {&m_window->dbSys(), &m_window->dbData()}) {
        EXPECT_EQ(db->ConnectionName(), "MAIN");
        EXPECT_EQ(db->ServerOS(), "LIN");
    }
    // The system plug-in's procedures run on the system database.
    struct Case
    {
        const char* Name;
        TovnOndrelSystem& Proc;
        std::vector<std::string> Params;
    };
    const Case cases[] = {
        {"GetMenu", m_window->sysGetMenu(), {"C_Module"}},
        {"DatabaseLogin",
         m_window->sysDBLogin(),
         {"Alias", "Security", "C_Role", "Role", "Modules", "GM_Groups", "GM_Modules", "GM_User"}},
        {"UploadLog", m_window->sysUploadLog(), {"LogDate", "LogDays", "LogType", "Log"}},
        {"SetLock", m_window->sysSetLock(), {"Lock_Path", "Description"}},
        {"ClearLock", m_window->sysClearLock(), {"Lock_Path"}},
        {"GetResources", m_window->sysGetResources(), {}},
        {"GetResourceFileName", m_window->sysGetResourceFileName(), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(c.Proc.Name(), std::string("sys") + c.Name);
        EXPECT_EQ(c.Proc.PluginName(), "PLG_SYSTEM");
        EXPECT_EQ(c.Proc.ProcedureName(), c.Name);
        EXPECT_EQ(c.Proc.DatabaseName(), "SYSTEM_DATA");
        std::vector<std::string> params;
        for (int i = 0; i < c.Proc.Params().Count(); ++i)
            params.push_back(c.Proc.Params().Items(i)->Name());
        EXPECT_EQ(params, c.Params);
    }
    EXPECT_EQ(m_window->sysGetMenu().FetchBy(), -1);
    EXPECT_TRUE(m_window->sysGetMenu().Filtered());
    EXPECT_EQ(m_window->sysGetMenu().Params().ParamByName("C_Module")->AsInteger(), -1);
    for (TovnOndrelQuery* query : {&m_window->qryUserFacility(), &m_window->qryAutoCounter()})
        EXPECT_EQ(query->DatabaseName(), "DATA");
    EXPECT_FALSE(m_window->qryUserFacility().FetchBlobs());
    EXPECT_FALSE(m_window->qryUserFacility().ServerUpdate());
    EXPECT_FALSE(m_window->tmrCheckOnline().Enabled());
    EXPECT_EQ(m_window->tmrCheckOnline().Interval(), 30000u);
}

TEST_F(MainWindowTest, CallTimingsAreCalibratedBeforeAnyCall)
{
    // Ticks of the processor's counter per millisecond: some thousands on
    // any machine the program runs on.
    EXPECT_GT(ProfilingTicksPerMSec(), 1000);
}

TEST_F(MainWindowTest, TheIdleUpdateSetsEveryAction)
{
    m_window->actUIUpdate();
    EXPECT_TRUE(m_window->Action(actUserLogin)->isVisible());
    EXPECT_TRUE(m_window->Action(actUserLogin)->isEnabled());
    EXPECT_FALSE(m_window->Action(actUserLogout)->isVisible());
    EXPECT_FALSE(m_window->Action(actSelectDatabase)->isEnabled());
    EXPECT_FALSE(m_window->Action(actAdminConsole)->isVisible());
    EXPECT_TRUE(m_window->Action(actPreferences)->isEnabled());
    EXPECT_FALSE(m_window->SearchBox().Visible());
    EXPECT_EQ(m_window->StatusBar().Panel(0).Text, "");

    // The update runs by itself whenever the application waits.
    m_window->Action(actUserLogin)->setVisible(false);
    RunEventsUntil([&] { return m_window->Action(actUserLogin)->isVisible(); });
    EXPECT_TRUE(m_window->Action(actUserLogin)->isVisible());
}

TEST_F(MainWindowTest, SettingsAreWrittenAndReadBack)
{
    TovnPreferences& prefs = m_controller->Preferences();
    prefs.UserID = "NURSE";
    prefs.MailCheckEvery = 25;
    m_controller->SysPreferences().CacheDir = "mycache";
    TovnConnectionItem* office = m_controller->Connections().Add();
    office->SetConnection("Office");
    office->SetURL("https://office.example");
    m_window->SaveToIni("USER PREFERENCES");
    {
        TIniFile ini(m_window->IniFileName());
        EXPECT_EQ(ini.ReadString("USER PREFERENCES", "UserID", ""), "NURSE");
        EXPECT_EQ(ini.ReadString("UPDATE", "AutoUpdate", ""), "TRUE");
        EXPECT_FALSE(ini.SectionExists("CONNECTIONS")) << "only the sections named";
        EXPECT_FALSE(ini.SectionExists("LOCAL CACHE"));
    }
    m_window->SaveToIni("|CONNECTIONS|LOCAL CACHE|USER PREFERENCES");
    prefs.UserID = "OTHER";
    prefs.MailCheckEvery = 1;
    m_controller->SysPreferences().CacheDir = "cache";
    m_controller->Connections().Clear();
    m_window->LoadFromIni();
    EXPECT_EQ(prefs.UserID, "NURSE");
    EXPECT_EQ(prefs.MailCheckEvery, 25);
    EXPECT_EQ(m_controller->SysPreferences().CacheDir, "mycache");
    ASSERT_EQ(m_controller->Connections().Count(), 2);
    EXPECT_EQ(m_controller->Connections().GetItem(1)->URL(), "https://office.example");

    // The close saves all three.
    prefs.UserID = "CLOSED";
    m_window->close();
    TIniFile ini(m_window->IniFileName());
    EXPECT_EQ(ini.ReadString("USER PREFERENCES", "UserID", ""), "CLOSED");
}

TEST_F(MainWindowTest, AFailedSaveGoesToTheExceptionHandler)
{
    // The settings file cannot be replaced by a folder of that name.
    ASSERT_TRUE(ForceDirectories(m_window->IniFileName()));
    TBoundaryErrors errors;
    EXPECT_NO_THROW(m_window->SaveToIni("USER PREFERENCES"));
    ASSERT_EQ(errors.Reports.size(), 1u);
    EXPECT_NE(errors.Reports[0].find("TfrmOrvaneBrowser4.SaveToIni"), std::string::npos);
    EXPECT_NE(errors.Reports[0].find(m_window->IniFileName()), std::string::npos);
}

TEST_F(MainWindowTest, TheApplicationsErrorsAreLoggedThenShown)
{
    // In front of the log's own handler, the window logs and shows.
    SetBoundaryErrorHandler(&LogBoundaryError);
    Remake(1);
    m_dialogs->QueueAnswer(mrOk);
    ReportBoundaryError("a place", "something broke");
    ASSERT_EQ(m_dialogs->Calls().size(), 1u);
    EXPECT_EQ(m_dialogs->Calls()[0].Text, "something broke");
    EXPECT_EQ(m_dialogs->Calls()[0].Type, mtError);
    EXPECT_EQ(LogLinesWith(", ERROR, BROWSER, something broke, a place").size(), 1u);

    // In front of another application handler, the window logs and hands on.
    {
        TBoundaryErrors report;
        Remake(1);
        ReportBoundaryError("elsewhere", "also broke");
        EXPECT_EQ(report.Reports, (std::vector<std::string>{"elsewhere: also broke"}));
        EXPECT_EQ(LogLinesWith(", ERROR, BROWSER, also broke, elsewhere").size(), 1u);
        EXPECT_EQ(m_dialogs->Calls().size(), 1u) << "no box of its own";
        // Gone with the window: the handler before it is back.
        delete m_controller;
        m_controller = nullptr;
        FreeApplicationMainForm();
        ReportBoundaryError("later", "after the window");
        EXPECT_EQ(report.Reports.back(), "later: after the window");
    }
    SetBoundaryErrorHandler(&LogBoundaryError);
}

TEST_F(MainWindowTest, FirstShowChecksForUpdatesUnlessSkipped)
{
    struct Case
    {
        const char* Desc;
        bool SkipUpdate;
        bool AutoUpdate;
        bool Checked;
    };
    const Case cases[] = {
        {"the check runs", false, true, true},
        {"SKIP_UPDATE", true, true, false},
        {"AutoUpdate off", false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        Remake(1);
        int checks = 0;
        m_window->OnCheckKernelUpdate = [&] {
            ++checks;
            return false;
        };
        m_window->SetSwitches({false, c.SkipUpdate});
        m_controller->Preferences().AutoUpdate = c.AutoUpdate;
        TIniFile(m_window->IniFileName()).WriteBool("UPDATE", "AutoUpdate", c.AutoUpdate);
        m_window->show();
        EXPECT_EQ(checks, c.Checked ? 1 : 0);
    }
}

TEST_F(MainWindowTest, AutoLoginOpensTheSignInOnceTheLoopRuns)
{
    int dialogs = 0;
    m_window->ExecuteLoginDialog = [&](const TLoginCallback&) {
        ++dialogs;
        return false;
    };
    m_controller->Preferences().AutoLogin = true;
    m_window->show();
    EXPECT_EQ(dialogs, 0) << "not while the window is being shown";
    RunEventsUntil([&] { return dialogs > 0; });
    EXPECT_EQ(dialogs, 1);
    EXPECT_FALSE(m_window->Logged()) << "a cancelled sign-in ends silently";
    EXPECT_TRUE(m_dialogs->Calls().empty());
}

TEST_F(MainWindowTest, ModuleGroupsAtFirstShowByBrand)
{
    Remake(0);
    m_controller->Preferences().ShowModuleGroups = true;
    TIniFile(m_window->IniFileName()).WriteBool("USER PREFERENCES", "ShowModuleGroups", true);
    m_window->show();
    EXPECT_TRUE(m_window->ModuleList().ShowByGroups());
    EXPECT_TRUE(m_window->Action(actShowModuleGroups)->isChecked());
    // The action toggles the preference and the list.
    m_window->Action(actShowModuleGroups)->setEnabled(true);
    m_window->Action(actShowModuleGroups)->trigger();
    EXPECT_FALSE(m_window->ModuleList().ShowByGroups());
    EXPECT_FALSE(m_controller->Preferences().ShowModuleGroups);

    Remake(1);
    TIniFile(m_window->IniFileName()).WriteBool("USER PREFERENCES", "ShowModuleGroups", true);
    m_window->show();
    EXPECT_FALSE(m_window->ModuleList().ShowByGroups());
    EXPECT_FALSE(m_window->Action(actShowModuleGroups)->isVisible());
}

TEST_F(MainWindowTest, TheModuleListToggleAndTheSearchBoxFollowingIt)
{
    m_window->ShowModulesView(true);
    ASSERT_TRUE(m_window->ModuleList().Visible());
    EXPECT_EQ(m_window->SearchBox().Align(), alLeft);
    QAction* toggle = m_window->Action(actShowModuleList);
    toggle->setEnabled(true);
    toggle->trigger();
    EXPECT_FALSE(m_window->ModuleList().Visible()) << "the first toggle hides a shown list";
    EXPECT_EQ(m_window->SearchBox().Align(), alRight);
    EXPECT_EQ(m_window->SearchBox().Width(), 150);
    EXPECT_TRUE(m_window->SearchBox().Edit().AlignPopupRight());
    toggle->trigger();
    EXPECT_TRUE(m_window->ModuleList().Visible());
    EXPECT_EQ(m_window->SearchBox().Align(), alLeft);
    EXPECT_EQ(m_window->SearchBox().Width(), m_window->ModuleList().Width());
    EXPECT_FALSE(m_window->SearchBox().Edit().AlignPopupRight());
}

TEST_F(MainWindowTest, ProgressShowsInTheLastPanel)
{
    m_window->show();
    m_window->UpdateProgress(40, "Downloading updates: 2 of 5");
    EXPECT_TRUE(m_window->ProgressBar().Visible());
    EXPECT_EQ(m_window->ProgressBar().Position(), 40);
    EXPECT_EQ(m_window->StatusBar().Panel(StatusProgressPanel).Text, "Downloading updates: 2 of 5");
    int position = 95;
    m_window->UpdateProgressExt(position, 10, "more");
    EXPECT_EQ(m_window->ProgressBar().Position(), 95);
    EXPECT_EQ(position, 10);
    m_window->UpdateProgress(100, "Done");
    EXPECT_FALSE(m_window->ProgressBar().Visible());
    EXPECT_EQ(m_window->StatusBar().Panel(StatusProgressPanel).Text, "");

    // Progress notices reach the window while it is their receiver.
    Progress.RegisterHandler(m_window);
    Progress.Notify(nullptr, "Test", 30, "Working");
    Progress.UnRegisterHandler(m_window);
    EXPECT_EQ(m_window->ProgressBar().Position(), 30);
    EXPECT_EQ(m_window->StatusBar().Panel(StatusProgressPanel).Text, "Working");
    m_window->StatusBar().grab(); // the owner drawing places the bar

    EXPECT_EQ(m_window->ProgressBar().x(), m_window->StatusBar().PanelRect(StatusProgressPanel).Left + 8);
    EXPECT_EQ(m_window->ProgressBar().width(), 150);
}

namespace {

// A module window that holds unsaved data and may refuse to close.
class TEditingForm : public TCustomModuleForm
{
  public:
    TEditingForm(TModuleItem* Item, std::vector<std::string>& Events, bool Refuses)
        : TCustomModuleForm(nullptr, Item), m_events(Events), m_refuses(Refuses)
    {
    }
    bool GetModified() const override { return m_modified; }
    void ResetModify() override
    {
        m_modified = false;
        m_events.push_back(GetModuleName() + " forgets");
    }
    bool CloseExecute() override
    {
        const bool refuses = m_refuses && m_modified;
        m_events.push_back(GetModuleName() + (refuses ? " refuses" : " closes"));
        return !refuses;
    }

  private:
    std::vector<std::string>& m_events;
    bool m_refuses;
    bool m_modified = true;
};

} // namespace

TEST_F(MainWindowTest, ModuleEntriesAndTheirRows)
{
    TKldAppItem* staff = m_window->AddModule("Staff", 11, true, nullptr, 3);
    TKldAppItem* again = m_window->AddModule("Personnel", 11, false, nullptr, 5);
    ASSERT_EQ(m_window->ModuleItems().Count(), 1);
    TModuleItem& entry = m_window->ModuleItems().ModuleByCounter(11);
    EXPECT_EQ(entry.Name, "Staff") << "an entry found by counter keeps its first name";
    EXPECT_EQ(entry.ImageIndex, 3);
    EXPECT_EQ(entry.AppItem(), again);
    EXPECT_EQ(again->Caption(), "Personnel");
    EXPECT_EQ(reinterpret_cast<TModuleItem*>(again->Tag()), &entry);
    ASSERT_EQ(m_window->ModuleItems().ModuleNames().Count(), 1);
    EXPECT_EQ(m_window->ModuleItems().ModuleNames()[0], "Staff");
    EXPECT_EQ(m_window->ModuleList().Items().Count(), 2);
    EXPECT_NE(staff, again);
    EXPECT_EQ(ErrorOf([&] { m_window->ModuleItems().ModuleByName("Nope"); }), "Module \"Nope\" not found");
    EXPECT_EQ(ErrorOf([&] { m_window->ModuleItems().ModuleByCounter(4); }), "Module not found. Counter = \"4\"");

    // An applet's window is listed under its module.
    QWidget form;
    m_window->AppletActivated("staff", "Rota", &form);
    ASSERT_EQ(again->Items().Count(), 1);
    EXPECT_EQ(again->Items().Items(0)->Caption(), "Rota");
    EXPECT_TRUE(again->GetState(isExpanded));
    m_window->AppletActivated(&entry, "Rota (week 12)", &form);
    ASSERT_EQ(again->Items().Count(), 1);
    EXPECT_EQ(again->Items().Items(0)->Caption(), "Rota (week 12)");
    m_window->AppletActivated("Unknown", "x", &form);
    m_window->AppletClosed(&form);
    EXPECT_EQ(again->Items().Count(), 0);

    m_window->ClearModules();
    EXPECT_EQ(m_window->ModuleList().Items().Count(), 0);
    EXPECT_EQ(entry.AppItem(), nullptr);
    EXPECT_EQ(m_window->ModuleItems().ModuleNames().Count(), 0);
    EXPECT_EQ(m_window->ModuleItems().Count(), 1) << "entries stay across database sign-ins";
}

TEST_F(MainWindowTest, CloseAllAsksAboutUnsavedData)
{
    struct Case
    {
        const char* Desc;
        int Answer;
        bool Refuses;
        bool Result;
        std::vector<std::string> Events;
    };
    const Case cases[] = {
        {"Cancel closes nothing", mrCancel, false, false, {}},
        {"Yes forgets, then closes", mrYes, false, true, {"Staff forgets", "Staff closes"}},
        {"No closes without forgetting", mrNo, false, true, {"Staff closes"}},
        {"a window that stays open aborts", mrNo, true, false, {"Staff refuses"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TModuleItem* entry = m_window->ModuleItems().Find(11);
        if (!entry)
            entry = m_window->ModuleItems().Add("Staff", 11);
        std::vector<std::string> events;
        TEditingForm form(entry, events, c.Refuses);
        entry->SetForm(&form);
        m_dialogs->QueueAnswer(c.Answer);
        EXPECT_EQ(m_window->CloseAllExec(), c.Result);
        EXPECT_EQ(events, c.Events);
        ASSERT_FALSE(m_dialogs->Calls().empty());
        EXPECT_EQ(m_dialogs->Calls().back().Text,
                  "There is one or more modules with not saved data. Close all anyway?");
        EXPECT_EQ(m_dialogs->Calls().back().Buttons, mbYesNoCancel);
        EXPECT_EQ(entry->GetActive(), c.Answer == mrCancel || c.Refuses) << "a closed window is forgotten";
        entry->ModuleClosed();
    }
}

TEST(MainWindowSearch, ResultsFromTheMenuRows)
{
    TovnDataSet menu;
    menu.FieldDefs().Add("INDEX", ftInteger);
    menu.FieldDefs().Add("C_MODULE", ftInteger);
    menu.FieldDefs().Add("EXECUTABLE", ftBoolean);
    menu.FieldDefs().Add("LEVEL", ftInteger);
    menu.FieldDefs().Add("DESCRIPTION", ftString, 100);
    menu.Open();
    struct Row
    {
        int Index;
        int Module;
        bool Executable;
        int Level;
        const char* Description;
    };
    const Row rows[] = {
        {1, 10, false, 0, "Residents"},       {2, 10, true, 1, "Resident list"},
        {3, 10, true, 2, "Resident details"}, {4, 10, true, 1, "Care plans"},
        {5, 10, false, 1, "More residents"},  {6, 10, true, 2, "Resident photos"},
        {7, 20, true, 1, "Rooms and residents"}, {8, 40, true, 1, "Residual values"},
        {9, 30, true, 1, "RESIDENT billing"},
    };
    for (const Row& r : rows)
        menu.AppendRecord({Variant(r.Index), Variant(r.Module), Variant(r.Executable), Variant(r.Level),
                           Variant(std::string(r.Description))});
    menu.SetFilter("INDEX = 1");
    TModuleItems entries;
    entries.Add("Residents", 10);
    entries.Add("Rooms", 20);
    entries.Add("Billing", 30);

    TKldAppItems items(nullptr, nullptr);
    int found = -1;
    FillSearchResults(menu, entries, items, "resid", found, 10);
    EXPECT_EQ(menu.Filter(), "") << "every row is searched";
    EXPECT_EQ(found, 4);
    std::vector<std::string> shown;
    for (int g = 0; g < items.Count(); ++g) {
        TKldAppItem* group = items.Items(g);
        EXPECT_TRUE(group->GetState(isGroup));
        shown.push_back(group->Caption());
        for (int i = 0; i < group->Items().Count(); ++i)
            shown.push_back("  " + group->Items().Items(i)->Caption() + " #" +
                            std::to_string(group->Items().Items(i)->Tag()));
    }
    // Rows below an executable row are not offered; a row that is not
    // executable starts over; a module without entry gives nothing.
    EXPECT_EQ(shown, (std::vector<std::string>{"Residents", "  Resident list #2", "  Resident photos #6", "Rooms",
                                               "  Rooms and residents #7", "Billing", "  RESIDENT billing #9"}));

    TKldAppItems two(nullptr, nullptr);
    FillSearchResults(menu, entries, two, "RESID", found, 2);
    EXPECT_EQ(found, 2) << "the walk stops at the maximum";
    ASSERT_EQ(two.Count(), 1);
    EXPECT_EQ(two.Items(0)->Items().Count(), 2);
}

// ---------------------------------------------------------------------------
// Sign-in against the local application server

namespace {

const char* const kSignInSql = R"(
INSERT INTO TBL_ENTERPRISES (COUNTER, ENTERPRISE, DESCRIPTION, CURRENT_USE) VALUES (50, 'SUNNY HOMES', 'Sunny Homes', 'T');
INSERT INTO TBL_DBALIASES (COUNTER, ALIAS, DESCRIPTION, C_ENTERPRISE, CURRENT_USE) VALUES
  (50, 'OAK', 'Oak Lodge', 50, 'T'), (51, 'ELM', 'Elm House', 50, 'T');
INSERT INTO TBL_ROLES (COUNTER, ROLE_ID, C_ENTERPRISE, C_ALIAS, CURRENT_USE) VALUES
  (50, 'CARER', 50, 50, 'T'), (51, 'CARER', 50, 51, 'T');
INSERT INTO TBL_USERS (COUNTER, USER_ID, USER_PASSWORD, FULL_NAME, USER_TYPE, C_ENTERPRISE, EMAIL, STATE, ZIP,
                       ADSTATE, INDUSTRY, ADVERTISE, RESTRICTED_SYSTEM, FACILITY_ACCESS_FLAG) VALUES
  (50, 'JSMITH', 'secret', 'Jane Smith', 'USR', 50, 'jane@sunny.example', 'OR', '97201', '  ', 'CARE', 'T', 'T', 'A');
INSERT INTO TBL_USERS (COUNTER, USER_ID, USER_PASSWORD, FULL_NAME, USER_TYPE, C_ENTERPRISE, EXPIRATION_DATE) VALUES
  (51, 'OLDTIMER', 'secret', 'Old Timer', 'USR', 50, '2000-01-01');
INSERT INTO TBL_USERS (COUNTER, USER_ID, USER_PASSWORD, FULL_NAME, USER_TYPE, C_ENTERPRISE, EXPIRATION_INTERVAL,
                       DAYS_PASSWORD_WARNING, LAST_PASSWORD_CHANGE) VALUES
  (52, 'WARNED', 'secret', 'Warned User', 'MGR', 50, 30, 10, date('now', 'localtime', '-25 days'));
INSERT INTO TBL_USERDBACCESS (C_USER, C_ROLE) VALUES (50, 50), (50, 51), (52, 50);
INSERT OR REPLACE INTO SRV_CLIENT_INFO (NAME, VALUE) VALUES ('MAX_IDLE_TIME', '15');
INSERT OR REPLACE INTO SRV_CLIENT_INFO (NAME, VALUE) VALUES ('PING_INTERVAL', '45');
INSERT INTO TBL_RESOURCES (COUNTER, RESOURCE_NAME, FILE_NAME) VALUES
  (900, 'NOTES_PCL', 'notes.txt'), (901, 'MISSING_PCL', 'missing.txt'), (902, 'ICN_STAFF', 'staff.png');
INSERT INTO TBL_BIN (COUNTER, C_RESOURCE, FILE_NAME, OS) VALUES (910, 902, 'staff-l64.png', 'L64');
INSERT INTO SRV_RESOURCE_TYPES (C_RESOURCE, RESOURCE_TYPE) VALUES (900, 'PCL');
)";

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

// The progress notices of a sign-in, as "position text".
class TNoticeLog
{
  public:
    TNoticeLog()
    {
        m_monitor.OnProgress = [this](TObject*, const std::string& proc, int32_t progress, const std::string& text,
                                      bool&) {
            if (proc == "Login")
                Lines.push_back(std::to_string(progress) + " " + text);
        };
        m_monitor.SetActive(true);
    }
    ~TNoticeLog() { m_monitor.SetActive(false); }
    std::vector<std::string> Lines;

  private:
    TKldProgressMonitor m_monitor;
};

class SignInTest : public MainWindowTest
{
  protected:
    void SetUp() override
    {
        StartServer({});
        MainWindowTest::SetUp();
        PointAtServer();
    }
    void StartServer(const std::vector<std::string>& Args)
    {
        m_server = std::make_unique<TAppServerProcess>(Args, kSignInSql);
        const std::string share = ExtractFilePath(m_server->DatabaseFile()) + "files/resources/";
        ForceDirectories(share);
        WriteText(share + "notes.txt", "Notes for every client");
    }
    // The window's connection list names the server as "Local".
    void PointAtServer()
    {
        TovnConnections& list = m_controller->Connections();
        list.Clear();
        TovnConnectionItem* local = list.Add();
        local->SetConnection("Local");
        local->SetURL(ServerBase());
        local->SetDefault(true);
    }
    std::string ServerBase() const { return "http://127.0.0.1:" + std::to_string(m_server->Port()); }
    // Signs in as JSMITH; the sign-in dialogs opened later only count.
    void LogInAndCountLaterSignIns()
    {
        LogInAs("jsmith", "secret");
        m_window->ExecuteLoginDialog = [this](const TLoginCallback&) {
            ++m_signInDialogs;
            return false;
        };
    }
    // JSMITH signs in on another connection (with FORCE: ending the
    // window's session).
    void SignInElsewhere(TNembraConnection& Other, bool Force)
    {
        Other.SetServerURL(m_server->ServerURL());
        Other.SetAuthentication(qauthBasic);
        Other.Params().Add("USER_ID=JSMITH");
        Other.Params().Add("USER_PWD=secret");
        Other.Params().Add(std::string("FORCE=") + (Force ? "True" : "False"));
        Other.Open();
    }
    bool SignIn(const std::string& User, const std::string& Password)
    {
        return m_window->OnUserLogin(nullptr, User, Password, "Local");
    }
    // The sign-in through the window's own road, with the dialog's part
    // played by the test.
    void LogInAs(const std::string& User, const std::string& Password)
    {
        m_window->ExecuteLoginDialog = [=](const TLoginCallback& callback) {
            return callback(nullptr, User, Password, "local");
        };
        m_window->UserLogInExec();
    }

    std::unique_ptr<TAppServerProcess> m_server;
    int m_signInDialogs = 0;
};

} // namespace

TEST_F(SignInTest, SucceedsAndFillsTheUserRecord)
{
    TNoticeLog notices;
    // As after a sign-in over https: the next sign-in decides again.
    m_controller->NotificationClient().SetSecure(true);
    ASSERT_TRUE(SignIn("jsmith", "secret"));
    EXPECT_TRUE(m_window->conMAIN().Active());
    EXPECT_EQ(m_window->conMAIN().ServerURL(), ServerBase() + "/bin/orvane.dll");
    EXPECT_EQ(notices.Lines,
              (std::vector<std::string>{"1 Connecting to " + ServerBase(), "2 Preparing cache...",
                                        "3 Connection Established. User Ok.", "4 Checking for updates...",
                                        "100 Done"}));
    const TAdminUser& user = m_controller->User();
    EXPECT_EQ(user.ID, "JSMITH");
    EXPECT_EQ(user.Counter, 50);
    EXPECT_EQ(user.FullName, "Jane Smith");
    EXPECT_EQ(user.UserType, "USR");
    EXPECT_EQ(user.Enterprise, "SUNNY HOMES");
    EXPECT_EQ(user.C_Enterprise, 50);
    EXPECT_EQ(user.EMail, "jane@sunny.example");
    EXPECT_EQ(user.ADState, "OR") << "a blank ADSTATE takes STATE";
    EXPECT_EQ(user.ADZip, "97201");
    EXPECT_EQ(user.ADIndustry, "CARE");
    EXPECT_TRUE(user.Advertise);
    EXPECT_TRUE(user.Restricted);
    EXPECT_EQ(user.FacilityAccessFlag, "A");
    EXPECT_EQ(user.Password, "secret");
    EXPECT_EQ(m_window->MaxIdleTime(), 15);
    EXPECT_EQ(m_window->conMAIN().CheckOnlineDelaySec(), 45u);
    EXPECT_EQ(m_controller->NotificationClient().Host(), "127.0.0.1");
    EXPECT_EQ(m_controller->NotificationClient().Port(), std::to_string(m_server->NotifyPort()));
    EXPECT_FALSE(m_controller->NotificationClient().Secure()) << "a plain link over an http connection";
    EXPECT_EQ(m_controller->Cache().URI(), "vrs+MAIN?resources");
    EXPECT_TRUE(m_window->ServerTimeKnown());
    EXPECT_LT(std::abs(m_window->SysDateTime() - Now()), 5.0 / 86400);
    EXPECT_LT(std::abs(m_controller->SYSDATETIME() - Now()), 5.0 / 86400);
    EXPECT_EQ(m_controller->SYSSQLDATETIME().Year, DateTimeToSQLTimeStamp(Now()).Year);
    EXPECT_EQ(m_controller->SYSSTRDATETIME().substr(0, 10), FormatDateTime("mm/dd/yyyy", Now()));
    // A change of the system clock makes the offset unknown; the next use
    // asks the server again.
    SendMessage(m_window->Handle(), WM_TIMECHANGE, 0, 0);
    EXPECT_FALSE(m_window->ServerTimeKnown());
    m_window->SysDateTime();
    EXPECT_TRUE(m_window->ServerTimeKnown());
    EXPECT_TRUE(m_window->PasswordExpiry().empty());

    // The user's databases.
    TovnDataSet& databases = m_window->dsDBList();
    ASSERT_TRUE(databases.Active());
    std::vector<std::string> aliases;
    for (databases.First(); !databases.Eof(); databases.Next())
        aliases.push_back(databases.FieldByName("Database")->AsString() + "|" +
                          databases.FieldByName("Description")->AsString() + "|" +
                          databases.FieldByName("Enterprise")->AsString() + "|" +
                          databases.FieldByName("C_Enterprise")->AsString());
    EXPECT_EQ(aliases, (std::vector<std::string>{"ELM|Elm House|SUNNY HOMES|50", "OAK|Oak Lodge|SUNNY HOMES|50"}));

    // What the server was told, and the cache prepared with its "PCL" file.
    TStrings& params = m_window->conMAIN().Params();
    EXPECT_EQ(params.Values("USER_ID"), "jsmith");
    EXPECT_EQ(params.Values("FORCE"), "False");
    EXPECT_EQ(params.Values("OS"), ovnOS());
    const std::string agent =
        LoginAgentText(1, ProgramVersionInfo().ProductVersion, m_controller->Version());
    EXPECT_EQ(ServerText(m_server->DatabaseFile(), "SELECT AGENT FROM SRV_SESSIONS WHERE C_USER = 50"), agent);
    EXPECT_EQ(ReadText(m_controller->GetCachePath() + "/notes.txt"), "Notes for every client");
    EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::current_path(), m_controller->GetCachePath()))
        << "add-on libraries run in the cache folder";
}

TEST_F(SignInTest, TheWindowsRoadSignsInAndOff)
{
    LogInAs("jsmith", "secret");
    ASSERT_TRUE(m_window->Logged());
    EXPECT_TRUE(m_controller->GetConnected());
    EXPECT_TRUE(m_window->dbSys().Active());
    EXPECT_TRUE(m_window->tmrCheckOnline().Enabled());
    EXPECT_EQ(m_controller->NotificationClient().KeyToken(), m_window->conMAIN().GetSessionID());
    EXPECT_TRUE(RunEventsUntil([&] { return m_controller->VNSConnected(); })) << "the notification link opens";
    EXPECT_TRUE(m_dialogs->Calls().empty());

    m_window->actUIUpdate();
    EXPECT_FALSE(m_window->Action(actUserLogin)->isVisible());
    EXPECT_TRUE(m_window->Action(actUserLogout)->isVisible());
    EXPECT_FALSE(m_window->Action(actAdminConsole)->isVisible()) << "not for a USR user";
    EXPECT_EQ(m_window->StatusBar().Panel(0).Text, "local");
    EXPECT_EQ(m_window->StatusBar().Panel(1).Text, "SUNNY HOMES");
    EXPECT_EQ(m_window->StatusBar().Panel(2).Text, "Jane Smith [JSMITH]");

    // Log off, asking first: No keeps the session, Yes ends it.
    m_dialogs->QueueAnswer(mrNo);
    m_window->Action(actUserLogout)->trigger();
    EXPECT_TRUE(m_window->Logged());
    m_dialogs->QueueAnswer(mrYes);
    m_window->Action(actUserLogout)->trigger();
    EXPECT_FALSE(m_window->Logged());
    ASSERT_EQ(m_dialogs->Calls().size(), 2u);
    EXPECT_EQ(m_dialogs->Calls()[1].Text, "Do you really want to logout?");
    EXPECT_FALSE(m_window->conMAIN().Active());
    EXPECT_FALSE(m_window->dbSys().Active());
    EXPECT_FALSE(m_window->tmrCheckOnline().Enabled());
    EXPECT_FALSE(m_controller->NotificationClient().Connected());
    EXPECT_EQ(m_controller->User().ID, "");
    EXPECT_EQ(ServerText(m_server->DatabaseFile(), "SELECT COUNT(*) FROM SRV_SESSIONS WHERE C_USER = 50"), "0");
    m_window->actUIUpdate();
    EXPECT_EQ(m_window->StatusBar().Panel(0).Text, "");
}

TEST_F(SignInTest, AWrongPasswordIsANoticeAndALogLine)
{
    TNoticeLog notices;
    EXPECT_FALSE(SignIn("jsmith", "wrong"));
    EXPECT_FALSE(m_window->conMAIN().Active());
    ASSERT_FALSE(notices.Lines.empty());
    EXPECT_EQ(notices.Lines.back(), "0 Invalid User ID or Password.");
    EXPECT_TRUE(m_dialogs->Calls().empty()) << "no box for a wrong password";
    EXPECT_EQ(LogLinesWith(", ERROR, BROWSER, Invalid User ID or Password., Browser login").size(), 1u);

    // Through the window's road the failed sign-in ends in a silent abort.
    EXPECT_THROW(LogInAs("jsmith", "wrong"), EAbort);
    EXPECT_FALSE(m_window->Logged());
}

TEST_F(SignInTest, AnotherSessionOfTheUserIsEndedOnlyWhenTheUserAgrees)
{
    TNembraConnection other;
    SignInElsewhere(other, false);
    const std::string otherSession = other.GetSessionID();

    TNoticeLog notices;
    m_dialogs->QueueAnswer(mrNo);
    EXPECT_FALSE(SignIn("jsmith", "secret"));
    ASSERT_EQ(m_dialogs->Calls().size(), 1u);
    EXPECT_EQ(m_dialogs->Calls()[0].Text, "Same User ID is already logged in. Terminate existing connection?");
    EXPECT_EQ(m_dialogs->Calls()[0].Type, mtConfirmation);
    EXPECT_EQ(notices.Lines.back(), "0 Same User ID is already logged in.");

    m_dialogs->QueueAnswer(mrYes);
    EXPECT_TRUE(SignIn("jsmith", "secret"));
    EXPECT_EQ(m_window->conMAIN().Params().Values("FORCE"), "True");
    EXPECT_EQ(ServerText(m_server->DatabaseFile(),
                         "SELECT COUNT(*) FROM SRV_SESSIONS WHERE SESSION_ID = '" + otherSession + "'"),
              "0")
        << "the other session is ended";
    EXPECT_EQ(m_dialogs->Calls().size(), 2u);
}

TEST_F(SignInTest, AnExpiredAccountShowsTheServersText)
{
    TNoticeLog notices;
    m_dialogs->QueueAnswer(mrOk);
    EXPECT_FALSE(SignIn("oldtimer", "secret"));
    ASSERT_EQ(m_dialogs->Calls().size(), 1u);
    EXPECT_EQ(m_dialogs->Calls()[0].Type, mtError);
    EXPECT_EQ(m_dialogs->Calls()[0].Text,
              "Your account expired on 2000-01-01. Please contact your system administrator.");
    EXPECT_EQ(notices.Lines.back(), "0 " + m_dialogs->Calls()[0].Text);
}

TEST_F(SignInTest, AnExpiringPasswordIsAskedAboutAfterTheSignIn)
{
    int changes = 0;
    m_window->OnChangePassword = [&] { ++changes; };
    m_dialogs->QueueAnswer(mrYes);
    LogInAs("warned", "secret");
    ASSERT_TRUE(m_window->Logged());
    EXPECT_EQ(m_window->PasswordExpiry(), " Your password will expire in 5 days.");
    ASSERT_EQ(m_dialogs->Calls().size(), 1u);
    EXPECT_EQ(m_dialogs->Calls()[0].Text,
              " Your password will expire in 5 days.\r\nWould you like to change your password now?");
    EXPECT_EQ(m_dialogs->Calls()[0].Buttons, (TMsgDlgButtons{mbYes, mbNo}));
    EXPECT_EQ(changes, 1);
}

TEST_F(SignInTest, TheStatusBarAnswersFromTheCachedOnlineState)
{
    LogInAs("jsmith", "secret");
    ASSERT_TRUE(m_window->Logged());
    TNembraConnection& main = m_window->conMAIN();
    // Every check would be due: the status bar must still not call out.
    main.SetCheckOnlineDelaySec(0);
    const uint64_t lastExchange = main.LastExchangeTick();
    Sleep(5);
    for (int i = 0; i < 3; ++i)
        m_window->UpdateStatusBar();
    EXPECT_EQ(main.LastExchangeTick(), lastExchange) << "no keep-alive from the status bar";
    EXPECT_EQ(m_window->StatusBar().Panel(0).Text, "local");

    // The connection check keeps the state current: a server that is gone
    // shows as offline.
    m_server->Stop();
    m_window->tmrCheckOnline().OnTimer(&m_window->tmrCheckOnline());
    EXPECT_FALSE(main.Online());
    m_window->UpdateStatusBar();
    EXPECT_EQ(m_window->StatusBar().Panel(0).Text, "local (Offline)");
}

TEST_F(SignInTest, TheCachesFileNameHookAsksTheSystemProcedure)
{
    LogInAs("jsmith", "secret");
    ASSERT_TRUE(m_window->Logged());
    std::string fileName = "unchanged";
    m_controller->Cache().OnCheckFileName(nullptr, "ICN_STAFF", "L64", fileName);
    EXPECT_EQ(fileName, "staff-l64.png");
    m_controller->CheckResourceFileName(nullptr, "ICN_STAFF", "W40", fileName);
    EXPECT_EQ(fileName, "staff.png");
    m_controller->CheckResourceFileName(nullptr, "NOT_THERE", "L64", fileName);
    EXPECT_EQ(fileName, "");
    fileName = "x";
    m_controller->CheckResourceFileName(nullptr, "  ", "L64", fileName);
    EXPECT_EQ(fileName, "");
}

TEST_F(SignInTest, AFailingPCLResourceIsShownAndTheOthersFollow)
{
    // MISSING_PCL has no file on the server; it is listed before NOTES_PCL.
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(m_server->DatabaseFile().c_str(), &db), SQLITE_OK);
        sqlite3_busy_timeout(db, 10000);
        const int rc = sqlite3_exec(db, "INSERT INTO SRV_RESOURCE_TYPES (C_RESOURCE, RESOURCE_TYPE) VALUES (901, 'PCL')",
                                    nullptr, nullptr, nullptr);
        sqlite3_close(db);
        ASSERT_EQ(rc, SQLITE_OK);
    }
    m_dialogs->QueueAnswer(mrOk);
    ASSERT_TRUE(SignIn("jsmith", "secret"));
    ASSERT_EQ(m_dialogs->Calls().size(), 1u);
    EXPECT_EQ(m_dialogs->Calls()[0].Type, mtError);
    EXPECT_NE(m_dialogs->Calls()[0].Text.find("MISSING_PCL"), std::string::npos);
    EXPECT_EQ(ReadText(m_controller->GetCachePath() + "/notes.txt"), "Notes for every client");
}

TEST_F(SignInTest, TheServerEndingTheSessionSignsInAgain)
{
    const uint64_t now = m_window->LastInputTick(); // a clock that stands: the guard holds
    m_window->TickCount = [now] { return now; };
    LogInAndCountLaterSignIns();
    ASSERT_TRUE(m_window->Logged());
    m_dialogs->QueueAnswer(mrOk);
    SendMessage(m_window->Handle(), WM_AUTOLOGOUT, 0, 0);
    EXPECT_FALSE(m_window->Logged());
    ASSERT_EQ(m_dialogs->Calls().size(), 1u);
    EXPECT_EQ(m_dialogs->Calls()[0].Text,
              "Your session on server has expired or was terminated. Please login again.");
    EXPECT_TRUE(RunEventsUntil([&] { return m_signInDialogs == 1; })) << "the sign-in opens again";
    // A second end within ten seconds is dropped.
    SendMessage(m_window->Handle(), WM_AUTOLOGOUT, 0, 0);
    EXPECT_EQ(m_dialogs->Calls().size(), 1u);
}

TEST_F(SignInTest, TheLogGoesUpThroughTheWindowsOwnSession)
{
    LogInAs("jsmith", "secret");
    ASSERT_TRUE(m_window->Logged());
    m_controller->DoSendLog(Date(), 1);
    EXPECT_EQ(ServerText(m_server->DatabaseFile(), "SELECT UPPER(USER_ID) || ' ' || LOG_DAYS || ' ' || LOG_TYPE "
                                                   "FROM SRV_LOG_UPLOADS"),
              "JSMITH 1 zip");
}

TEST_F(SignInTest, AnEndedSessionLetsTheLoopSleepUntilItMayBeEndedAgain)
{
    uint64_t now = m_window->LastInputTick();
    m_window->TickCount = [&now] { return now; };
    LogInAndCountLaterSignIns();
    ASSERT_TRUE(m_window->Logged());
    // Another sign-in of the user with FORCE ends this session; the next
    // call finds it ended.
    TNembraConnection other;
    SignInElsewhere(other, true);
    m_window->conMAIN().CheckOnline(true);
    ASSERT_TRUE(m_window->conMAIN().SessionTerminated());

    // Cancel keeps the window as it is; within the next ten seconds the
    // end is not asked again, and the loop sleeps meanwhile (each post of
    // a message that is only dropped would wake it again at once).
    m_dialogs->QueueAnswer(mrCancel);
    int wakeUps = 0;
    QMetaObject::Connection counting = QObject::connect(
        QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, [&] { ++wakeUps; });
    RunEventsFor(std::chrono::milliseconds(300));
    QObject::disconnect(counting);
    ASSERT_EQ(m_dialogs->Calls().size(), 1u);
    EXPECT_EQ(m_dialogs->Calls()[0].Text, SSessionExpired);
    EXPECT_TRUE(m_window->Logged());
    EXPECT_LT(wakeUps, 1000);

    // Once the ten seconds are over the question comes back; OK signs off
    // and opens the sign-in again.
    m_dialogs->QueueAnswer(mrOk);
    now += 10001;
    EXPECT_TRUE(RunEventsUntil([&] { return m_dialogs->Calls().size() == 2; }));
    EXPECT_TRUE(RunEventsUntil([&] { return m_signInDialogs == 1; }));
    EXPECT_FALSE(m_window->Logged());
}

namespace {

class SignInReplyTest : public SignInTest
{
  protected:
    void SetUp() override {}
    void Start(const std::string& Without)
    {
        StartServer({"--login-reply-without", Without});
        MainWindowTest::SetUp();
        PointAtServer();
    }
};

} // namespace

TEST_F(SignInReplyTest, AReplyWithoutClientInfoSignsInWithTheDefaults)
{
    Start("CLIENT_INFO");
    m_window->conMAIN().SetCheckOnlineDelaySec(7);
    // Without a file-system address the "PCL" file cannot be had: shown,
    // and the sign-in goes on.
    m_dialogs->QueueAnswer(mrOk);
    ASSERT_TRUE(SignIn("jsmith", "secret"));
    ASSERT_EQ(m_dialogs->Calls().size(), 1u);
    EXPECT_NE(m_dialogs->Calls()[0].Text.find("Unable to download resource: \"NOTES_PCL\""), std::string::npos);
    EXPECT_EQ(m_window->MaxIdleTime(), 20);
    EXPECT_EQ(m_window->conMAIN().CheckOnlineDelaySec(), 7u) << "kept when the reply names none";
    EXPECT_EQ(m_controller->NotificationClient().Host(), "");
    EXPECT_EQ(m_controller->Cache().URI(), "");
    EXPECT_EQ(m_controller->Cache().DownloadWhen(), downloadNever) << "a cache without a source";
    EXPECT_EQ(m_controller->User().ID, "JSMITH");
    EXPECT_EQ(m_window->dsDBList().RecordCount(), 2);
}

TEST_F(SignInReplyTest, AReplyWithoutUserOrDatabasesReadsThemAsEmpty)
{
    Start("User,DATABASES,Warning");
    m_controller->User().ID = "LEFTOVER";
    ASSERT_TRUE(SignIn("warned", "secret"));
    EXPECT_EQ(m_controller->User().ID, "");
    EXPECT_EQ(m_controller->User().Counter, 0);
    EXPECT_TRUE(m_window->dsDBList().Active());
    EXPECT_EQ(m_window->dsDBList().RecordCount(), 0);
    EXPECT_EQ(m_window->PasswordExpiry(), "") << "no warning, no note";
}


TEST_F(MainWindowTest, TheInfoBarFollowsTheActiveModuleWindow)
{
    TKldAppInfoItems& items = m_window->InfoBar().Items();
    items.Items(0)->SetCaption("an old caption");
    items.Add()->SetCaption("an old item");
    m_controller->InfoList().AddInfo("FACILITY", "[MC] Maple Court", -1);
    SendMessage(m_window->Handle(), WM_INFOBARCHANGED, 0, 0);
    // No module window is active: the first item is emptied, the rest go.
    ASSERT_EQ(items.Count(), 1);
    EXPECT_EQ(items.Items(0)->Caption(), "");
}

TEST_F(MainWindowTest, MovingOrResizingTheWindowClosesTheSearchResults)
{
    m_window->show();
    TKldAppEditor& box = m_window->SearchBox();
    box.SetVisible(true);
    box.SetFocus();
    ASSERT_TRUE(box.Edit().isVisible());
    m_window->showMaximized();
    EXPECT_FALSE(box.Edit().isVisible());
}

// ---------------------------------------------------------------------------
// Password change and screen lock from the window

TEST_F(SignInTest, TheExpiryQuestionsYesChangesThePassword)
{
    m_dialogs->QueueAnswer(mrYes);
    auto shown = WhenModal<TfrmChangePassword>([](TfrmChangePassword& dialog) {
        // Not a secure enterprise: the old password is typed in upper case.
        Keys::Type(*dialog.edtOld(), "secret");
        Keys::Type(*dialog.edtNew(), "renewed");
        Keys::Type(*dialog.edtConfirm(), "renewed");
        Keys::Enter(*dialog.edtConfirm());
    });
    LogInAs("warned", "secret");
    ASSERT_TRUE(m_window->Logged());
    EXPECT_TRUE(*shown);
    EXPECT_EQ(m_dialogs->Texts().back(), "Password was changed");
    EXPECT_EQ(ServerText(m_server->DatabaseFile(), "SELECT USER_PASSWORD FROM TBL_USERS WHERE COUNTER = 52"),
              "RENEWED");
    EXPECT_EQ(m_controller->User().Password, "RENEWED");
}

TEST_F(SignInTest, TheLockHidesTheWindowUntilThePasswordIsTyped)
{
    LogInAs("jsmith", "secret");
    ASSERT_TRUE(m_window->Logged());
    m_window->show();
    bool hiddenWhileLocked = false;
    auto shown = WhenModal<TfrmLock>([&](TfrmLock& lock) {
        hiddenWhileLocked = !m_window->isVisible() && m_window->Locked();
        EXPECT_EQ(lock.edtId()->text().toStdString(), "JSMITH");
        lock.edtPassword()->setText("SECRET");
        Keys::Enter(*lock.edtPassword());
        EXPECT_TRUE(lock.isVisible()) << "the case counts";
        lock.edtPassword()->setText("secret");
        Keys::Enter(*lock.edtPassword());
    });
    m_window->Action(actLockBrowser)->setEnabled(true);
    m_window->Action(actLockBrowser)->trigger();
    EXPECT_TRUE(*shown);
    EXPECT_TRUE(hiddenWhileLocked);
    EXPECT_TRUE(m_window->isVisible());
    EXPECT_FALSE(m_window->Locked());
    EXPECT_TRUE(m_window->Logged()) << "the show after the lock leaves the session alone";
}

namespace {

class ServerTimeTextTest : public SignInTest
{
  protected:
    void SetUp() override
    {
        StartServer({"--server-time-as-text"});
        MainWindowTest::SetUp();
        PointAtServer();
    }
};

} // namespace

// A time that is not a number leaves the offset unknown (logged): read as 0
// it would put the server's clock at the end of 1899.
TEST_F(ServerTimeTextTest, ATimeThatIsNoNumberLeavesTheOffsetUnknown)
{
    Log.SetEnabled(true);
    ASSERT_TRUE(SignIn("jsmith", "secret"));
    EXPECT_FALSE(m_window->ServerTimeKnown());
    EXPECT_FALSE(LogLinesWith("The server sent no SERVER_TIME_DOUBLE").empty());
    const TDateTime now = m_window->SysDateTime();
    EXPECT_LT(std::abs(now - Now()), 5.0 / 86400) << "local time without an offset";
    EXPECT_GT(now, EncodeDate(2000, 1, 1));
}
