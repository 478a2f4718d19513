#include "ui/ovnComboRules.h"

#include "platform/DateUtils.h"
#include "platform/MaskUtils.h"
#include "platform/StringList.h"
#include "platform/SysUtils.h"
#include "ui/ovnStackIntf.h"

namespace {

constexpr char kSeparator = '\x02';
constexpr int kDisplayMax = 500;

// Count characters from the 0-based character From on, at most Count.
std::string CharSlice(const std::string& Text, int From, int Count)
{
    const std::u32string chars = Utf8ToCodePoints(Text);
    if (From < 0)
        From = 0;
    if (Count <= 0 || From >= static_cast<int>(chars.size()))
        return {};
    return CodePointsToUtf8(chars.substr(static_cast<size_t>(From), static_cast<size_t>(Count)));
}

} // namespace

std::string JoinValueText(const std::string& Key, const std::string& Display)
{
    if (Display.empty())
        return Key;
    return Key + kSeparator + Display;
}

TValueText SplitValueText(const std::string& Value)
{
    TValueText out;
    const size_t at = Value.find(kSeparator);
    if (at == std::string::npos) {
        out.Key = Value;
        return out;
    }
    out.Key = Value.substr(0, at);
    out.Display = Value.substr(at + 1);
    out.HasDisplay = true;
    return out;
}

std::string ItemCode(const std::string& Line, int Cut)
{
    return CharSlice(Line, 0, Cut);
}

std::string ItemDisplay(const std::string& Line, int Cut)
{
    // From the 1-based position Cut + 2: past the code and its separator.
    return CharSlice(Line, Cut + 1, kDisplayMax);
}

std::string HintFromItems(const TStrings& Items, const std::string& Text, int Cut)
{
    if (Text.empty())
        return {};
    for (int i = 0; i < Items.Count(); ++i) {
        const std::string line = Items[i];
        if (line.compare(0, Text.size(), Text) == 0 && line.size() >= Text.size())
            return ItemDisplay(line, Cut);
    }
    return {};
}

bool ItemsHoldCode(const TStrings& Items, const std::string& Text, int Cut)
{
    for (int i = 0; i < Items.Count(); ++i)
        if (ItemCode(Items[i], Cut) == Text)
            return true;
    return false;
}

std::string SqlQuoted(const std::string& Text)
{
    std::string out;
    out.reserve(Text.size());
    for (char c : Text) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out;
}

std::string LookupComboQuickWhere(const std::string& Where, const std::string& QuickTypeWhere,
                                  const std::string& OriginalField, const std::string& Typed)
{
    std::string out;
    if (!Trim(Where).empty())
        out = "(" + Where + ") AND ";
    if (!QuickTypeWhere.empty())
        out += "(" + QuickTypeWhere + ") AND ";
    out += "(UPPER(" + OriginalField + ") = '" + SqlQuoted(UpperCase(Typed)) + "')";
    return out;
}

std::string ComboQuickWhere(const std::string& Where, const std::string& OriginalField,
                            const std::string& Typed)
{
    std::string out;
    if (!Trim(Where).empty())
        out = "(" + Where + ") AND";
    out += " (UPPER(" + OriginalField + ") = '" + SqlQuoted(UpperCase(Typed)) + "')";
    return out;
}

std::string LookupDatasetFilter(const std::string& Field, const std::string& Text)
{
    return Field + " = \"" + Text + "\"";
}

std::string BlankToolText(TLookupTool Tool)
{
    std::string mask;
    switch (Tool) {
    case TLookupTool::ltCalendarDate:
        mask = "!99/99/9999;1; ";
        break;
    case TLookupTool::ltCalendarDateTime:
        mask = "!99/99/9999 !99:99 >ll;1; ";
        break;
    case TLookupTool::ltCalendarPeriod:
        mask = "!9999/99;1; ";
        break;
    case TLookupTool::ltNone:
        return {};
    }
    return TEditMask(mask).BlankEditText();
}

std::string DateTimeToolText(TDateTime Value)
{
    return DateToStr(Value) + " " + FormatDateTime("hh:nn AM/PM", Value);
}

TComboLayout ComputeComboLayout(const TComboLayoutInput& In)
{
    TComboLayout out;
    out.ButtonsWidth = 1;
    if (In.LookupVisible)
        out.ButtonsWidth += In.LookupWidth + 1;
    if (In.PlusVisible)
        out.ButtonsWidth += In.PlusWidth + 1;
    out.LabelWidth = In.InfoButton ? In.Indent - In.LabelLeft - In.InfoWidth - 1 : In.Indent - In.LabelLeft;
    out.LabelVisible = out.LabelWidth > 0;
    out.EditorTop = 6;
    out.EditorLeft = In.Indent + 4;
    out.EditorHeight = In.Height - 9;
    out.EditorWidth = In.Width - In.Indent - out.ButtonsWidth - 7;
    out.InfoLeft = In.Indent - In.InfoWidth;
    out.LookupLeft = In.Width - out.ButtonsWidth + 1;
    out.PlusLeft = In.LookupVisible ? out.LookupLeft + In.LookupWidth + 1 : out.LookupLeft;
    return out;
}

void RunPlusSteps(IovnCommandStack& Stack, TovnVirtualApplet* Applet, const TPlusRequest& Request)
{
    if (!Stack.CheckInit())
        Stack.InitStack(Request.OwnerForm);
    if (Request.LookupCombo && UpperCase(Request.PlusReturnFrom) == "MANAGER")
        Stack.Write(cm_SetData, "Manager", Request.LookupDisplayField);
    Stack.Write(cm_Return, Request.PlusReturnFrom, Request.Name);
    bool started = false;
    try {
        if (!Applet)
            throw Exception("No applet is set for this control");
        started = Applet->RunApplet(Request.PlusResource, Request.Mode, "");
    } catch (...) {
        Stack.DropPlus();
        throw;
    }
    if (!started)
        Stack.DropPlus();
}
