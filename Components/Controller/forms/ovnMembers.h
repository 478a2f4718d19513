#pragma once
// What the data-form manager and the command stack do with the members of
// the data-entry family by class: their read-only switch, their colour and
// the button sets of the combos. A control of another class is left alone
// (the answers say so).

#include "platform/Colors.h"
#include "ui/ovnGeneralControl.h"

// Whether Control is one of the members with a read-only switch (mask
// edit, data edit, data memo, radio pair, the three combos).
bool MemberHasReadOnly(TovnGeneralControl* Control);
bool MemberReadOnly(TovnGeneralControl* Control);
// False when Control has no read-only switch.
bool MemberSetReadOnly(TovnGeneralControl* Control, bool Value);
// The member's own Color setter (the family's base colour otherwise).
void MemberSetColor(TovnGeneralControl* Control, TColor Value);
// Whether Control is one of the three combos.
bool MemberIsCombo(TovnGeneralControl* Control);
// The combos' ComboButtonsEnabled; nothing for other controls.
void MemberSetComboButtonsEnabled(TovnGeneralControl* Control, TComboButtons Value);

class TovnApplet;
// InitCombos for one combo: its Applet, its module number, and cbPlus
// taken out of its buttons when the user's right on its PlusResource is
// below sfModify.
void MemberInitCombo(TovnGeneralControl* Control, TovnApplet* Applet);
