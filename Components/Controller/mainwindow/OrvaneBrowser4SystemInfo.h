#pragma once
// The main window's "&System Information..." opens a dialog of the
// administration library, which builds on this one: the dialog's unit
// registers how to show it.
//
// Main thread only.

#include <functional>

class QWidget;

using TSystemInfoDialog = std::function<void(QWidget* Owner)>;
void RegisterSystemInfoDialog(TSystemInfoDialog Dialog);
// Shows the registered dialog modally; nothing when none is registered.
void ShowSystemInfoDialog(QWidget* Owner);
