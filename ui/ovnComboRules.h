#pragma once
// The rules the three combos share, as plain functions the combos call and
// tests drive: the value text of the lookup combo, the fixed-list lines,
// the quick-type statements and lookup-dataset filters, the layout numbers
// and the order of the plus button's calls on the command stack.

#include "platform/SysUtils.h"
#include "ui/ovnGeneralControl.h"

#include <string>
#include <vector>

class IovnCommandStack;
class QWidget;
class TStrings;

// --- The lookup combo's value: key text, #2, display text.

// Key + #2 + Display when Display is not empty, else Key alone.
std::string JoinValueText(const std::string& Key, const std::string& Display);

struct TValueText
{
    std::string Key;
    std::string Display;
    // Whether the value held a #2 at all (then Display is the text after it,
    // possibly empty).
    bool HasDisplay = false;
};
// Splits at the first #2.
TValueText SplitValueText(const std::string& Value);

// --- Fixed-list lines: a code of Cut characters, one separator, the text.
// Characters are counted, not bytes; a short line gives what it has.

// The first Cut characters of Line.
std::string ItemCode(const std::string& Line, int Cut);
// Line from character Cut + 2 on (1-based), at most 500 characters.
std::string ItemDisplay(const std::string& Line, int Cut);
// The display part of the first line that begins with Text; empty when no
// line does or Text is empty.
std::string HintFromItems(const TStrings& Items, const std::string& Text, int Cut);
// Whether some line's first Cut characters equal Text exactly.
bool ItemsHoldCode(const TStrings& Items, const std::string& Text, int Cut);

// --- Typed text in statements and filters.

// Text for a single-quoted SQL literal: each apostrophe doubled.
std::string SqlQuoted(const std::string& Text);
// The lookup combo's quick-type Where: the statement's Where and the extra
// condition bracketed and ANDed in front of "(UPPER(Field) = 'TEXT')".
std::string LookupComboQuickWhere(const std::string& Where, const std::string& QuickTypeWhere,
                                  const std::string& OriginalField, const std::string& Typed);
// The combos' quick-type Where: "(Where) AND" in front of
// " (UPPER(Field) = 'TEXT')".
std::string ComboQuickWhere(const std::string& Where, const std::string& OriginalField,
                            const std::string& Typed);
// Field + " = " + the text in double quotes.
std::string LookupDatasetFilter(const std::string& Field, const std::string& Text);

// --- Calendar tools.

// The editor text of a blank Tool mask ("  /  /    " for dates); empty for
// ltNone.
std::string BlankToolText(TLookupTool Tool);
// The value text of ltCalendarDateTime: the date in the short date format,
// a blank, hours:minutes and AM or PM ("03/15/2024 03:05 PM"), as the
// calendar writes it and the tool's mask holds it.
std::string DateTimeToolText(TDateTime Value);

// --- Layout (control height H and width W).

struct TComboLayoutInput
{
    int Width = 0;
    int Height = 0;
    int Indent = 0;
    int LabelLeft = 1;
    bool LookupVisible = true;
    int LookupWidth = 20;
    bool PlusVisible = true;
    int PlusWidth = 20;
    // The lookup combo's information button, left of the editor.
    bool InfoButton = false;
    int InfoWidth = 20;
};

struct TComboLayout
{
    // 1 plus each visible button's width + 1.
    int ButtonsWidth = 1;
    int LabelWidth = 0;
    bool LabelVisible = false;
    int EditorLeft = 0;
    int EditorTop = 0;
    int EditorWidth = 0;
    int EditorHeight = 0;
    int InfoLeft = 0;
    int LookupLeft = 0;
    int PlusLeft = 0;
};
TComboLayout ComputeComboLayout(const TComboLayoutInput& In);

// --- The plus button's calls on the command stack.

struct TPlusRequest
{
    QWidget* OwnerForm = nullptr;
    // The lookup combo sends the display field to a started "MANAGER".
    bool LookupCombo = false;
    std::string LookupDisplayField;
    std::string PlusReturnFrom;
    std::string Name;
    std::string PlusResource;
    int Mode = 1;
};
// CheckInit, InitStack(owner form) when none is pending, the "Manager"
// command (lookup combo, PlusReturnFrom "MANAGER"), cm_Return, then
// Applet->RunApplet. A nil Applet raises after the stack calls; when
// RunApplet answers False or raises, the stack drops what this press
// queued. Errors are the caller's to wrap.
void RunPlusSteps(IovnCommandStack& Stack, TovnVirtualApplet* Applet, const TPlusRequest& Request);
