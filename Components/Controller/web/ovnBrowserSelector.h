#pragma once
// InitBrowser: chooses the back-end of every web view and ad panel once, at
// start-up. The light view unless Qt WebEngine's plugin loads and its
// browser is "86.0.622.11" or newer; ForceIE (the switch "FORCE_IE")
// keeps the light view. A failing test of the plugin is logged as an error
// and leaves the light view chosen; the user sees nothing.

void InitBrowser(bool ForceIE);
