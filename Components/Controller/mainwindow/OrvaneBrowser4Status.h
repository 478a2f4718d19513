#pragma once
// The main window's status bar texts, the placement inside its last panel,
// the progress arithmetic and the sections of its settings file. Part of the
// unit OrvaneBrowser4; plain rules, no widgets.

#include "platform/Types.h"

#include <string>
#include <vector>

// The status bar's five panels: connection, enterprise, user, shift,
// progress.
constexpr int StatusPanelCount = 5;
constexpr int StatusProgressPanel = 4;

struct TStatusBarState
{
    bool ConnectionActive = false;
    // The connection's cached online state (no keep-alive is sent for it).
    bool Online = false;
    bool SessionTerminated = false;
    std::string ConnectionName;
    std::string Alias; // '' while no database is signed in
    std::string Enterprise;
    std::string FacilityCode; // the employee's facility, '' when none
    std::string FullName;
    std::string UserID;
    bool ShiftSelection = false; // shift selection is available
    std::string ShiftText;       // the chosen shift, '' when none
    bool Employee = false;
};

// The texts of the panels the status bar sets: panels 0 to 3 while the
// connection is active (panel 4 belongs to the progress), all five
// otherwise.
std::vector<std::string> StatusBarTexts(const TStatusBarState& State);

// Where the progress bar goes in the last panel: 8 pixels in from the
// panel's left edge, 150 wide, centred vertically at its own height.
TRect ProgressBarPlace(const TRect& Panel, int BarHeight);
// Where a panel's text is drawn: the panel inset 3 pixels; in the last
// panel, while the progress bar shows, from 162 pixels right of its left
// edge to 20 pixels before its right edge.
TRect StatusPanelTextRect(const TRect& Panel, bool LastPanel, bool BarVisible);

// The progress bar's range is 0 to this.
constexpr int ProgressMax = 100;

// One progress step: answers the bar's position (0 when Position is below 1
// or above Max) and moves Position: when it is not negative it goes on by
// Step and starts again at Step once past Max.
int StepProgress(int& Position, int Step, int Max = ProgressMax);
// The bar shows exactly while 1 <= position < Max.
bool ProgressBarShows(int BarPosition, int Max = ProgressMax);

// Which sections SaveToIni writes: each whose name occurs anywhere in the
// text, so "|CONNECTIONS|LOCAL CACHE|USER PREFERENCES" and
// "CONNECTIONS|LOCAL CACHE|USER PREFERENCES" both name all three.
struct TIniSections
{
    bool Connections = false;
    bool LocalCache = false;
    bool UserPreferences = false;
};
TIniSections SelectedIniSections(const std::string& Sections);
