#include "Components/Controller/mainwindow/OrvaneBrowser4Status.h"

#include "platform/SysUtils.h"

std::vector<std::string> StatusBarTexts(const TStatusBarState& State)
{
    if (!State.ConnectionActive)
        return {State.SessionTerminated ? "Terminated" : "", "", "", "", ""};
    std::string connection = State.ConnectionName;
    if (!State.Alias.empty())
        connection += "/" + State.Alias;
    if (!State.Online)
        connection += " (Offline)";
    std::string enterprise = Trim(State.Enterprise);
    if (!State.FacilityCode.empty())
        enterprise += " / " + State.FacilityCode;
    std::string shift;
    if (State.ShiftSelection) {
        shift = State.ShiftText;
        if (shift.empty() && State.Employee)
            shift = "(Click to select shift)";
    }
    return {connection, enterprise, State.FullName + " [" + State.UserID + "]", shift};
}

TRect ProgressBarPlace(const TRect& Panel, int BarHeight)
{
    const int top = Panel.Top + (Panel.Bottom - Panel.Top - BarHeight) / 2;
    return Bounds(Panel.Left + 8, top, 150, BarHeight);
}

TRect StatusPanelTextRect(const TRect& Panel, bool LastPanel, bool BarVisible)
{
    TRect r = Panel;
    if (LastPanel && BarVisible) {
        r.Left = Panel.Left + 162;
        r.Right = Panel.Right - 20;
    }
    r.Left += 3;
    r.Top += 3;
    r.Right -= 3;
    r.Bottom -= 3;
    return r;
}

int StepProgress(int& Position, int Step, int Max)
{
    const int bar = (Position < 1 || Position > Max) ? 0 : Position;
    if (Position >= 0) {
        Position += Step;
        if (Position > Max)
            Position = Step;
    }
    return bar;
}

bool ProgressBarShows(int BarPosition, int Max)
{
    return BarPosition >= 1 && BarPosition < Max;
}

TIniSections SelectedIniSections(const std::string& Sections)
{
    TIniSections s;
    s.Connections = Sections.find("CONNECTIONS") != std::string::npos;
    s.LocalCache = Sections.find("LOCAL CACHE") != std::string::npos;
    s.UserPreferences = Sections.find("USER PREFERENCES") != std::string::npos;
    return s;
}
