// The masked edit over the mask engine, as a user types into it, and the
// plain edit's character rules.

#include "platform/Mask.h"

#include "support/DialogScript.h"

#include <gtest/gtest.h>

namespace {

TEST(MaskEdit, TypingKeepsThePositionsAndRefusesWhatDoesNotFit)
{
    TMaskEdit e;
    e.SetEditMask("!99/99/9999;1; ");
    EXPECT_TRUE(e.IsMasked());
    EXPECT_EQ(e.EditText(), "  /  /    ");
    EXPECT_EQ(e.Text(), "  /  /    ");
    e.SetSelStart(0);
    Keys::Type(e, "03a152024x");
    EXPECT_EQ(e.EditText(), "03/15/2024");
    EXPECT_EQ(e.Text(), "03/15/2024");
    EXPECT_TRUE(e.Modified());
    // Backspace blanks the input position before the cursor (over literals).
    e.SetSelStart(6);
    Keys::Backspace(e);
    EXPECT_EQ(e.EditText(), "03/1 /2024");
    EXPECT_EQ(e.SelStart(), 4);
    // Typing over a selection blanks it first.
    e.SetSelStart(0);
    e.SetSelLength(5);
    Keys::Type(e, "1");
    EXPECT_EQ(e.EditText(), "1 /  /2024");
    // A text set by code is fitted.
    e.SetText("12/31/1999");
    EXPECT_EQ(e.EditText(), "12/31/1999");
    e.SetText("garbage");
    EXPECT_EQ(e.EditText(), "  /  /    ");
}

TEST(MaskEdit, CharactersBeyondTheBasicPlaneTakeOnePosition)
{
    TMaskEdit e;
    e.SetEditMask("CC-99;1;_");
    Keys::Press(e, 0, Qt::NoModifier, QString::fromUtf8("\xF0\x9F\x98\x80"));
    Keys::Type(e, "x12");
    EXPECT_EQ(e.EditText(), "\xF0\x9F\x98\x80x-12");
    Keys::Backspace(e);
    EXPECT_EQ(e.EditText(), "\xF0\x9F\x98\x80x-1_");
}

TEST(MaskEdit, MaskChangesRefitTheText)
{
    TMaskEdit e;
    e.SetText("2024/03");
    e.SetEditMask("!9999/99;1;_");
    EXPECT_EQ(e.EditText(), "2024/03");
    e.SetEditMask("");
    EXPECT_FALSE(e.IsMasked());
    EXPECT_EQ(e.Text(), "2024/03");
}

TEST(MaskEdit, ReadOnlyKeyPressAndCharCase)
{
    TMaskEdit e;
    int changes = 0;
    e.OnChange = [&](TObject* s) { changes += s == &e ? 1 : 100; };
    e.SetText("ab");
    EXPECT_EQ(changes, 1) << "a change by code fires OnChange";
    e.SetReadOnly(true);
    e.SetSelStart(2);
    Keys::Type(e, "c");
    Keys::Backspace(e);
    EXPECT_EQ(e.Text(), "ab");
    e.SetReadOnly(false);
    e.OnKeyPress = [](TObject*, char32_t& key) {
        if (key == U'x')
            key = 0;
    };
    e.SetCharCase(ecUpperCase);
    EXPECT_EQ(e.Text(), "AB");
    e.SetSelStart(2);
    Keys::Type(e, "cxd");
    EXPECT_EQ(e.Text(), "ABCD");
    e.SetMaxLength(5);
    Keys::Type(e, "efg");
    EXPECT_EQ(e.Text(), "ABCDE");
    // Keys OnKeyDown consumes never reach the edit.
    e.OnKeyDown = [](TObject*, uint16_t& key, TShiftState) {
        if (key == VK_BACK)
            key = 0;
    };
    Keys::Backspace(e);
    EXPECT_EQ(e.Text(), "ABCDE");
}

} // namespace

namespace {

// MaxLength limits a plain edit only: a masked edit keeps every position of
// its mask whatever MaxLength says, before or after the mask is set.
TEST(MaskEdit, MaxLengthNeverCutsTheMaskPositions)
{
    struct Case
    {
        const char* Name;
        bool MaxLengthFirst;
    };
    for (const Case c : {Case{"limit before mask", true}, Case{"limit after mask", false}}) {
        SCOPED_TRACE(c.Name);
        TMaskEdit e;
        if (c.MaxLengthFirst)
            e.SetMaxLength(4);
        e.SetEditMask("!99/99/9999;1;_");
        if (!c.MaxLengthFirst)
            e.SetMaxLength(4);
        EXPECT_EQ(e.MaxLength(), 4);
        e.SetText("03/15/2024");
        EXPECT_EQ(e.EditText(), "03/15/2024");
        EXPECT_EQ(e.Text(), "03/15/2024");
        e.SetText("");
        e.SetSelStart(0);
        Keys::Type(e, "12312025");
        EXPECT_EQ(e.EditText(), "12/31/2025");
        EXPECT_EQ(e.Text(), "12/31/2025");
        // Unmasked again, the limit applies.
        e.SetEditMask("");
        e.SetText("abcdefg");
        EXPECT_EQ(e.Text(), "abcd");
    }
}

} // namespace
