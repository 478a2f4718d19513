#include "Components/Controller/mainwindow/OrvaneBrowser4Actions.h"

const char* const OrvaneWebSite = "https://www.orvane.example/";
const char* const TallowinWebSite = "https://www.tallowin.example/";
const char* const OrvaneWebHelpSite = "https://www.orvane.example/help/";
const char* const TallowinWebHelpSite = "https://www.tallowin.example/help/";

namespace {

// How an action's visibility follows the state.
enum TVisibleRule
{
    vrAlways,    // shown
    vrEnabled,   // shown exactly when enabled
    vrLogged,    // shown exactly while signed in
    vrCommunity, // shown for the brands with the community actions
    vrBrandZero, // in the Help menu for brand 0 only
    vrBrandOne   // in the Help menu for brand 1 only
};

struct TActionRow
{
    TBrowserActionInfo Info;
    TVisibleRule Visible;
};

const TActionRow& Row(TBrowserAction Action)
{
    static const TActionRow rows[BrowserActionCount] = {
        {{"actUserLogin", "Session", "User &Login...", "", ""}, vrEnabled},
        {{"actSelectDatabase", "Session", "Select &Database...", "", ""}, vrAlways},
        {{"actAdminConsole", "Tools", "&Administration Console...", "", ""}, vrEnabled},
        {{"actChangePassword", "Session", "Change &Password", "", ""}, vrAlways},
        {{"actShiftInfo", "Session", "&Shift Information...", "", ""}, vrCommunity},
        {{"actLockBrowser", "Session", "Loc&k Browser", "", ""}, vrAlways},
        {{"actSystemInfo", "Session", "&System Information...", "", ""}, vrAlways},
        {{"actUserLogout", "Session", "Log &Off", "", ""}, vrLogged},
        {{"actExit", "Session", "E&xit", "", ""}, vrAlways},
        {{"actUserList", "Community", "&User List...", "", ""}, vrCommunity},
        {{"actOrvaneMail", "Community", "&O-Mail...", "", ""}, vrCommunity},
        {{"actCustomizeModule", "Views", "&Customize Widgets...", "", ""}, vrCommunity},
        {{"actShowModuleList", "Views", "&Show/Hide Module List", "", ""}, vrAlways},
        {{"actShowModuleGroups", "Views", "Show Modules by &Groups...", "", ""}, vrCommunity},
        {{"actModuleGroupPreferences", "Views", "Customize &Module Groups...", "", ""}, vrCommunity},
        {{"actFindApplet", "Views", "Find Applet", "", "Ctrl+Q"}, vrAlways},
        {{"actAppletInfo", "Views", "Current Applet Info...", "Display information about current applet", ""},
         vrAlways},
        {{"actCloseAll", "Window", "C&lose All", "Close All Windows", ""}, vrAlways},
        {{"actCloseCurrent", "Window", "Close Current Window", "Close Current Window", "Ctrl+F4"}, vrAlways},
        {{"actPreferences", "Tools", "&Preferences...", "Preferences", ""}, vrAlways},
        {{"actNotificationPreferences", "Tools", "&Notifications Preferences...", "", ""}, vrEnabled},
        {{"actOrvaneWebHelp", "", "&Orvane Web Help", "", ""}, vrAlways},
        {{"actOrvaneOnTheWeb", "", "Orvane On The &Web", "", ""}, vrBrandZero},
        {{"actTallowin", "", "Tallowin", "", ""}, vrBrandOne},
        {{"actAbout", "", "&About", "", ""}, vrAlways},
        {{"actSendLog", "", "Submit Log to Administrator", "", ""}, vrAlways},
        {{"actOndrelExplorer", "Tools", "Ondrel Explorer", "Show Ondrel Explorer", ""}, vrEnabled},
    };
    return rows[Action];
}

bool ModuleWindowActive(const TBrowserActionState& State)
{
    return State.Logged && State.ActiveForm != amfNone;
}

} // namespace

TBrowserActionInfo BrowserActionInfo(TBrowserAction Action, int32_t Brand)
{
    TBrowserActionInfo info = Row(Action).Info;
    if (Action == actOrvaneWebHelp)
        info.Caption = BrowserBrand(Brand).WebHelpCaption;
    return info;
}

bool BrowserActionEnabled(TBrowserAction Action, const TBrowserActionState& State)
{
    switch (Action) {
    case actUserLogin:
        return !State.Logged;
    case actAdminConsole:
        return State.Logged && (State.UserType == "SYS" || State.UserType == "MGR");
    case actOndrelExplorer:
        return State.Logged && State.UserType == "SYS";
    case actExit:
    case actPreferences:
    case actAbout:
        return true;
    case actCustomizeModule:
        return State.ActiveForm == amfModuleViewWithWidgets;
    case actAppletInfo:
        return State.ActiveForm == amfAppletContainer;
    case actCloseAll:
    case actCloseCurrent:
        return ModuleWindowActive(State);
    case actShowModuleGroups:
    case actModuleGroupPreferences:
    case actFindApplet:
    case actSendLog:
        return State.DBLogged;
    case actNotificationPreferences:
        return State.DBLogged && State.NotifyCenter && State.CanEditNotifyPreferences;
    default:
        // Everything else needs a server session.
        return State.Logged;
    }
}

bool BrowserActionVisible(TBrowserAction Action, const TBrowserActionState& State)
{
    switch (Row(Action).Visible) {
    case vrEnabled:
        return BrowserActionEnabled(Action, State);
    case vrLogged:
        return State.Logged;
    case vrCommunity:
        return BrowserBrand(State.Brand).Community;
    case vrBrandZero:
        return State.Brand == 0;
    case vrBrandOne:
        return State.Brand == 1;
    default:
        return true;
    }
}

TBrowserBrand BrowserBrand(int32_t Brand)
{
    switch (Brand) {
    case 0:
        return {true, true, "&Orvane Web Help", hsiOrvaneOnTheWeb, "Orvane Browser", true};
    case 1:
        return {false, false, "&Tallowin Web Help", hsiTallowin, "Tallowin", false};
    default:
        return {false, false, "&Orvane Web Help", hsiNone, "Unknown", false};
    }
}
