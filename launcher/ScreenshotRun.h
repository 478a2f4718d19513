#pragma once
// The picture run of the demo without a screen: it signs in, walks one road
// through the program, saves a picture at each stop and ends the program.

#include <string>

// Which road the run takes after the sign-in.
enum class TScreenshotRoad
{
    Nurse, // the module list, a module and its sample applet
    Admin, // the administration console and the system managers' tools
};

// "admin" (any case) is the administrator's road; anything else the nurse's.
TScreenshotRoad ParseScreenshotRoad(const std::string& Text);

// Starts the run (it lives as long as the application): the pictures go to
// FileName with a step name before the extension; a run that cannot walk
// its road saves the main window to FileName itself instead. SignIn is
// "USER:PASSWORD" or empty (the sign-in is cancelled).
void StartScreenshotRun(const std::string& FileName, const std::string& SignIn, TScreenshotRoad Road);
