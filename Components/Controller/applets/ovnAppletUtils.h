#pragma once
// Clean-up of closed applets (unit ovnAppletUtils).
//
// DoCleanUpApplet destroys an applet's forms and object and then unloads its
// library: the main form, the child forms a close released and every other
// pending deferred deletion are destroyed first, so that no object whose
// code lies in the library outlives it. An applet that still lists child
// forms is refused ("ASSERT ! Applet has a children !"). Errors while
// destroying ("Free Applet Form") or unloading ("Free Library") are logged
// with source "Cleanup Applet" and swallowed.
//
// User-interface thread only.

#include <vector>

class TovnApplet;

// "ASSERT ! Applet has a children !"
extern const char* const SAppletHasChildren;

// False for null. List, when given, loses the applet.
bool DoCleanUpApplet(TovnApplet* Applet, std::vector<TovnApplet*>* List);
// Closes the applets of the list one close request at a time, first to
// last, at most as many times as the list had entries; stops at the first
// refusal. The posted 1124 of each close does the removal.
void CloseAllApplets(std::vector<TovnApplet*>& List);
// Delivers the posted messages and the pending deferred deletions.
void ProcessMessages();
