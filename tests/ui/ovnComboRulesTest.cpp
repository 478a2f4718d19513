// The combos' plain rules: the lookup combo's value text, fixed-list lines,
// typed text in statements and filters, the layout numbers and the order of
// the plus button's calls.
#include "ui/ovnComboRules.h"

#include "platform/StringList.h"

#include "support/ErrorOf.h"
#include "support/RecordingStack.h"

#include <gtest/gtest.h>

#include <QWidget>

namespace {

TEST(ComboValueText, SplitsAtTheFirstSeparatorAndJoinsWithoutAnEmptyDisplay)
{
    EXPECT_EQ(JoinValueText("12", "Smith"), std::string("12\x02Smith"));
    EXPECT_EQ(JoinValueText("12", ""), "12") << "no #2 without a display text";

    struct Case
    {
        std::string value, key, display;
        bool hasDisplay;
    };
    const std::vector<Case> cases = {
        {"12\x02Smith", "12", "Smith", true},
        {"12", "12", "", false},
        {"12\x02", "12", "", true},
        {"\x02Smith", "", "Smith", true},
        {"12\x02Smith\x02Jr", "12", "Smith\x02Jr", true},
        {"", "", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        const TValueText v = SplitValueText(c.value);
        EXPECT_EQ(v.Key, c.key);
        EXPECT_EQ(v.Display, c.display);
        EXPECT_EQ(v.HasDisplay, c.hasDisplay);
    }
}

TEST(ComboItems, CodeAndDisplayComeFromTheLineByCharacters)
{
    EXPECT_EQ(ItemCode("ABC Alpha", 3), "ABC");
    EXPECT_EQ(ItemDisplay("ABC Alpha", 3), "Alpha");
    // Short lines give what they have; nothing is read past a line.
    EXPECT_EQ(ItemCode("AB", 3), "AB");
    EXPECT_EQ(ItemDisplay("AB", 3), "");
    EXPECT_EQ(ItemDisplay("ABC", 3), "");
    EXPECT_EQ(ItemDisplay("ABC ", 3), "");
    EXPECT_EQ(ItemDisplay("ABC x", 3), "x");
    EXPECT_EQ(ItemCode("", 3), "");
    // Characters, not bytes.
    EXPECT_EQ(ItemCode("\xC3\xA9t\xC3\xA9 Summer", 3), "\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(ItemDisplay("\xC3\xA9t\xC3\xA9 Summer", 3), "Summer");
    // At most 500 characters of display.
    EXPECT_EQ(ItemDisplay("ABC " + std::string(600, 'x'), 3).size(), 500u);

    TStringList items;
    items.SetText("ab First\nXYZ Second\nab Third");
    EXPECT_EQ(HintFromItems(items, "ab", 2), "First") << "the first line that begins with the text";
    EXPECT_EQ(HintFromItems(items, "XY", 3), "Second");
    EXPECT_EQ(HintFromItems(items, "AB", 2), "") << "lines are found with case";
    EXPECT_EQ(HintFromItems(items, "zz", 2), "");
    EXPECT_EQ(HintFromItems(items, "", 2), "") << "an empty text names no line";
    EXPECT_TRUE(ItemsHoldCode(items, "ab", 2));
    EXPECT_FALSE(ItemsHoldCode(items, "AB", 2)) << "AB is not ab: codes compare exactly";
    EXPECT_FALSE(ItemsHoldCode(items, "a", 2));
}

TEST(ComboTypedText, ApostrophesAreDoubledAndTheStatementIsOtherwiseUnchanged)
{
    EXPECT_EQ(LookupComboQuickWhere("", "", "FACILITY_NAME", "oak"), "(UPPER(FACILITY_NAME) = 'OAK')");
    EXPECT_EQ(LookupComboQuickWhere("  ", "CURRENT_USE = 'T'", "FACILITY_NAME", "oak"),
              "(CURRENT_USE = 'T') AND (UPPER(FACILITY_NAME) = 'OAK')");
    EXPECT_EQ(LookupComboQuickWhere("STATE = 'OR'", "CURRENT_USE = 'T'", "F.FACILITY_NAME", "Oak"),
              "(STATE = 'OR') AND (CURRENT_USE = 'T') AND (UPPER(F.FACILITY_NAME) = 'OAK')");
    EXPECT_EQ(LookupComboQuickWhere("", "", "RESIDENT_NAME", "o'brien"),
              "(UPPER(RESIDENT_NAME) = 'O''BRIEN')");
    EXPECT_EQ(LookupComboQuickWhere("", "", "X", "' OR '1'='1"), "(UPPER(X) = ''' OR ''1''=''1')")
        << "a typed text cannot end the literal";

    EXPECT_EQ(ComboQuickWhere("", "STATE", "or"), " (UPPER(STATE) = 'OR')");
    EXPECT_EQ(ComboQuickWhere("CURRENT_USE = 'T'", "STATE", "or"),
              "(CURRENT_USE = 'T') AND (UPPER(STATE) = 'OR')");
    EXPECT_EQ(ComboQuickWhere("", "STATE", "O'"), " (UPPER(STATE) = 'O''')");
}

TEST(ComboTypedText, TheLookupDatasetFilterComparesTheKeyWithTheQuotedText)
{
    EXPECT_EQ(LookupDatasetFilter("CODE", "ab"), "CODE = \"ab\"");
    EXPECT_EQ(LookupDatasetFilter("NAME", "O'Brien"), "NAME = \"O'Brien\"");
}

TEST(ComboCalendarTools, BlankTextsOfTheMasks)
{
    EXPECT_EQ(BlankToolText(TLookupTool::ltCalendarDate), "  /  /    ");
    EXPECT_EQ(BlankToolText(TLookupTool::ltCalendarDateTime), "  /  /       :     ");
    EXPECT_EQ(BlankToolText(TLookupTool::ltCalendarPeriod), "    /  ");
    EXPECT_EQ(BlankToolText(TLookupTool::ltNone), "");
}

TEST(ComboLayoutNumbers, ButtonsEditorLabelAndInformationButton)
{
    TComboLayoutInput in;
    in.Width = 300;
    in.Height = 27;
    in.Indent = 110;
    TComboLayout both = ComputeComboLayout(in);
    EXPECT_EQ(both.ButtonsWidth, 43);
    EXPECT_EQ(both.EditorLeft, 114);
    EXPECT_EQ(both.EditorTop, 6);
    EXPECT_EQ(both.EditorHeight, 18);
    EXPECT_EQ(both.EditorWidth, 300 - 110 - 43 - 7);
    EXPECT_EQ(both.LookupLeft, 258);
    EXPECT_EQ(both.PlusLeft, 279);
    EXPECT_EQ(both.LabelWidth, 109);
    EXPECT_TRUE(both.LabelVisible);

    in.PlusVisible = false;
    TComboLayout lookupOnly = ComputeComboLayout(in);
    EXPECT_EQ(lookupOnly.EditorWidth, both.EditorWidth + 20 + 1) << "widens by the plus button's width + 1";
    EXPECT_EQ(lookupOnly.LookupLeft, 279);

    in.PlusVisible = true;
    in.LookupVisible = false;
    TComboLayout plusOnly = ComputeComboLayout(in);
    EXPECT_EQ(plusOnly.PlusLeft, plusOnly.LookupLeft) << "the plus button takes the lookup button's place";

    in.LookupVisible = true;
    in.InfoButton = true;
    TComboLayout info = ComputeComboLayout(in);
    EXPECT_EQ(info.LabelWidth, 110 - 1 - 20 - 1);
    EXPECT_EQ(info.InfoLeft, 90);
    EXPECT_EQ(info.EditorWidth, both.EditorWidth) << "the information button sits in the caption's room";

    in.Indent = 0;
    in.InfoButton = false;
    EXPECT_FALSE(ComputeComboLayout(in).LabelVisible);
}

struct PlusCase
{
    const char* what;
    bool lookupCombo;
    std::string returnFrom;
    bool pending;
    bool answer;
    std::string raise;
    bool withApplet;
    std::vector<std::string> calls;
    std::string error;
};

TEST(ComboPlusSteps, CallsTheStackThenTheAppletAndDropsWhatAFailedStartQueued)
{
    const std::vector<PlusCase> cases = {
        {"lookup combo returning to a manager",
         true,
         "Manager",
         false,
         true,
         "",
         true,
         {"CheckInit", "InitStack", "Write 0 Manager FACILITY_NAME", "Write 7 Manager cboFacility",
          "RunApplet FACILITIES 1 []"},
         ""},
        {"a combo never sends the Manager command",
         false,
         "MANAGER",
         false,
         true,
         "",
         true,
         {"CheckInit", "InitStack", "Write 7 MANAGER cboFacility", "RunApplet FACILITIES 1 []"},
         ""},
        {"a pending sender is kept",
         true,
         "edtKey",
         true,
         true,
         "",
         true,
         {"CheckInit", "Write 7 edtKey cboFacility", "RunApplet FACILITIES 1 []"},
         ""},
        {"the applet refuses to start",
         true,
         "edtKey",
         false,
         false,
         "",
         true,
         {"CheckInit", "InitStack", "Write 7 edtKey cboFacility", "RunApplet FACILITIES 1 []", "DropPlus"},
         ""},
        {"the applet raises",
         true,
         "edtKey",
         false,
         true,
         "no such applet",
         true,
         {"CheckInit", "InitStack", "Write 7 edtKey cboFacility", "RunApplet FACILITIES 1 []", "DropPlus"},
         "no such applet"},
        {"no applet",
         true,
         "edtKey",
         false,
         true,
         "",
         false,
         {"CheckInit", "InitStack", "Write 7 edtKey cboFacility", "DropPlus"},
         "No applet is set for this control"},
    };
    for (const PlusCase& c : cases) {
        SCOPED_TRACE(c.what);
        TCallLog log;
        TRecordingStack stack(log);
        TRecordingApplet applet(log);
        applet.Answer = c.answer;
        applet.Raise = c.raise;
        QWidget form, other;
        if (c.pending)
            stack.Sender = &other;
        TPlusRequest request;
        request.OwnerForm = &form;
        request.LookupCombo = c.lookupCombo;
        request.LookupDisplayField = "FACILITY_NAME";
        request.PlusReturnFrom = c.returnFrom;
        request.Name = "cboFacility";
        request.PlusResource = "FACILITIES";
        EXPECT_EQ(ErrorOf([&] { RunPlusSteps(stack, c.withApplet ? &applet : nullptr, request); }), c.error);
        EXPECT_EQ(log.Calls, c.calls);
        if (!c.pending && c.error.empty() && c.answer) {
            EXPECT_EQ(stack.Sender, &form);
        }
    }
}

} // namespace
