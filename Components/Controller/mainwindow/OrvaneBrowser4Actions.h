#pragma once
// The main window's actions and the rules that enable and show them, and the
// brand table. Part of the unit OrvaneBrowser4; plain rules, no widgets: the
// window asks them on every idle update and sets its Qt actions from the
// answers.

#include <cstdint>
#include <string>

// Every action of the window, in the order of its action list.
enum TBrowserAction : int
{
    actUserLogin,
    actSelectDatabase,
    actAdminConsole,
    actChangePassword,
    actShiftInfo,
    actLockBrowser,
    actSystemInfo,
    actUserLogout,
    actExit,
    actUserList,
    actOrvaneMail,
    actCustomizeModule,
    actShowModuleList,
    actShowModuleGroups,
    actModuleGroupPreferences,
    actFindApplet,
    actAppletInfo,
    actCloseAll,
    actCloseCurrent,
    actPreferences,
    actNotificationPreferences,
    actOrvaneWebHelp,
    actOrvaneOnTheWeb,
    actTallowin,
    actAbout,
    actSendLog,
    actOndrelExplorer,
    BrowserActionCount
};

// What the module desktop's active window is, as far as the actions care.
enum TActiveModuleForm
{
    amfNone,                  // no active module window
    amfModuleView,            // a module view without widgets
    amfModuleViewWithWidgets, // a module view (exactly that class) with at least one widget
    amfAppletContainer,       // a container of an applet
    amfOther                  // any other module window
};

// The window's state as the rules read it.
struct TBrowserActionState
{
    bool Logged = false;   // signed in to the server
    bool DBLogged = false; // signed in to a database
    int32_t Brand = 0;
    std::string UserType; // "SYS", "MGR", "USR" or '' before sign-in
    // Already amfNone while not signed in (the desktop's active form counts
    // only then).
    TActiveModuleForm ActiveForm = amfNone;
    bool NotifyCenter = false;             // the notification center exists
    bool CanEditNotifyPreferences = false; // the user's row says "Can_Edit_Preferences" 'T'
};

struct TBrowserActionInfo
{
    const char* Name;     // "actUserLogin"
    const char* Category; // "Session", "Tools", ... ('' for none)
    std::string Caption;  // with its "&" accelerator
    const char* Hint;     // '' for none
    const char* ShortCut; // "Ctrl+Q", '' for none
};

// Name, category, caption (some depend on the brand), hint and shortcut.
TBrowserActionInfo BrowserActionInfo(TBrowserAction Action, int32_t Brand);
bool BrowserActionEnabled(TBrowserAction Action, const TBrowserActionState& State);
// Hidden actions are hidden wherever they are placed: in the menus, on the
// toolbar.
bool BrowserActionVisible(TBrowserAction Action, const TBrowserActionState& State);

// The Help menu's item that opens a web site.
enum THelpSiteItem
{
    hsiNone,
    hsiOrvaneOnTheWeb, // a separator and "Orvane On The &Web"
    hsiTallowin        // "Tallowin", without a separator
};

// What each brand (AppBrand) shows.
struct TBrowserBrand
{
    // The actions User List, O-Mail, Shift Information, Show Modules by
    // Groups, Customize Module Groups, Customize Widgets; the menu
    // "&Communication"; the mail button.
    bool Community;
    // The module list's groups at first show come from the preference
    // ShowModuleGroups (else they are off and the action is hidden).
    bool ModuleGroupsFromPreference;
    std::string WebHelpCaption;
    THelpSiteItem HelpSiteItem;
    // The brand's name in the sign-in's agent text.
    std::string AgentName;
    bool ShiftSelection;
};
TBrowserBrand BrowserBrand(int32_t Brand);

// The addresses the two Help items open.
extern const char* const OrvaneWebSite;
extern const char* const TallowinWebSite;
// The help sites of the two brands (web help's home addresses).
extern const char* const OrvaneWebHelpSite;
extern const char* const TallowinWebHelpSite;
