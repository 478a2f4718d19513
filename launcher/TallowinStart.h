#pragma once
// The launcher's start-up: module check, switches, hand-over to a running
// copy, controller life and restart. Tallowin.cpp only calls RunTallowin.

#include <string>
#include <vector>

struct TLauncherSwitches
{
    bool Debug = false;     // "DEBUG": the server client's debug mode
    bool Instances = false; // "INSTANCES": no search for a running copy
};

// Switches begin with "-" or "/" and are compared without regard to case;
// args[0] is the program and is not read.
TLauncherSwitches ParseLauncherSwitches(const std::vector<std::string>& args);

// Verifies every module's trailer (unsigned modules pass). False at the first
// failure of any kind.
bool CheckModules(const std::vector<std::string>& modules);

// Looks for a running copy's main window; when there is one, brings it to the
// front, posts it 9912 (wParam 61488, lParam 0) and answers true.
bool HandOverToRunningCopy();

// A restore of the program folder that was stopped part-way (its marker
// "$restore$" is still there) is run to its end before anything else is
// loaded; then the program starts again from the restored files in this
// process (the files it runs now may be those the restore replaced), with
// "/SKIP_UPDATE" added as the update helper adds it after a restore.
// Returns when no restore was under way, when it could not run (the
// archive cannot be opened: its marker stays for the next start), or when
// the new start failed; errors go to the standard error.
void FinishRestoreAndRestart(const std::string& programPath, const std::vector<std::string>& args);

// The whole start-up; the process's exit code.
int RunTallowin(int argc, char** argv);

// With this environment variable set to a file name, the program saves
// pictures and ends by itself (demo runs without a screen): shortly after
// the start the sign-in dialog's picture (when it is open) goes to the file
// name with "-signin" before its extension; the dialog then signs in with
// the user and password of ScreenshotSignInEnvVar ("USER:PASSWORD"), or is
// cancelled without it; other boxes are closed. After the sign-in the run
// walks a road with a picture at each stop: the module list of the database
// sign-in ("-modules"), the first module opened ("-module") and its sample
// applet running ("-applet"). With ScreenshotRoadEnvVar set to "admin" it
// takes the administrator's road instead (launcher/ScreenshotRun.h): the
// database MAPLE is chosen at the sign-in, then come the console
// ("-console"), its "Enterprises", "Connections" and "Information"
// ("-enterprises", "-connections", "-information"), the database explorer
// with TBL_USERS and a query run ("-explorer", "-explorer-sql") and the user
// list ("-user-list"). The last stop's picture shows the main window as the
// run ends; only a run that cannot walk its road (no sign-in, or no
// database sign-in on the nurse's road) saves the main window's picture to
// the file itself. Then the session ends without asking and the window
// closes.
constexpr const char* ScreenshotEnvVar = "TALLOWIN_SCREENSHOT";
constexpr const char* ScreenshotSignInEnvVar = "TALLOWIN_SCREENSHOT_SIGNIN";
constexpr const char* ScreenshotRoadEnvVar = "TALLOWIN_SCREENSHOT_ROAD";

// The file of the sign-in dialog's picture: "-signin" before the extension.
std::string SignInScreenshotName(const std::string& FileName);
// FileName with Step before its extension (".png" when it has none).
std::string StepScreenshotName(const std::string& FileName, const std::string& Step);
