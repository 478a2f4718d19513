// The edit-mask engine: masks of the calendar tools and the other mask
// characters, typed input giving Text and EditText, texts set by code fitted
// to the mask, and the blank texts.

#include "platform/MaskUtils.h"

#include <gtest/gtest.h>

namespace {

// Types Input from the start of a blank edit; refused characters are
// skipped.
std::string Typed(const TEditMask& m, const std::string& Input)
{
    std::string edit = m.BlankEditText();
    int pos = 0;
    for (char32_t c : Utf8ToCodePoints(Input)) {
        const int next = m.TypeChar(edit, pos, c);
        if (next >= 0)
            pos = next;
    }
    return edit;
}

TEST(EditMask, BlankTexts)
{
    struct Case
    {
        const char* Mask;
        const char* BlankEditText;
        const char* BlankText;
    };
    const Case cases[] = {
        {"!99/99/9999;1; ", "  /  /    ", "  /  /    "},
        {"!99/99/9999 !99:99 >ll;1; ", "  /  /       :     ", "  /  /       :     "},
        {"!9999/99;1; ", "    /  ", "    /  "},
        {"!99:99 >ll;1; ", "  :     ", "  :     "},
        {"99/99;1;_", "__/__", "  /  "},
        {"99/99;0;_", "__/__", "    "},
        {"000-00", "___-__", "   -  "},
        {"\\(999\\);1;*", "(***)", "(   )"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Mask);
        const TEditMask m(c.Mask);
        EXPECT_TRUE(m.IsMasked());
        EXPECT_EQ(m.BlankEditText(), c.BlankEditText);
        EXPECT_EQ(m.BlankText(), c.BlankText);
    }
    EXPECT_FALSE(TEditMask("").IsMasked());
    EXPECT_FALSE(TEditMask(";1;_").IsMasked());
}

TEST(EditMask, TypedInputGivesTextAndEditText)
{
    struct Case
    {
        const char* Mask;
        const char* Input;
        const char* EditText;
        const char* Text;
    };
    const Case cases[] = {
        // Literals are skipped while typing.
        {"!99/99/9999;1; ", "03152024", "03/15/2024", "03/15/2024"},
        {"!99/99/9999;1;_", "0315", "03/15/____", "03/15/    "},
        // Not saved: Text drops the literals.
        {"!99/99/9999;0;_", "03152024", "03/15/2024", "03152024"},
        // A letter does not fit a digit position and is refused.
        {"99/99;1;_", "1a2b", "12/__", "12/  "},
        // > upper, < lower, <> as typed.
        {">ll<ll<>ll;1;_", "aBcDeF", "ABcdeF", "ABcdeF"},
        {"!99:99 >ll;1; ", "0345pm", "03:45 PM", "03:45 PM"},
        // # takes a sign, A letters and digits, C anything.
        {"#99;1;_", "-12", "-12", "-12"},
        {"AAA;1;_", "a1-b", "a1b", "a1b"},
        {"CCC;1;_", "-/x", "-/x", "-/x"},
        // An escaped mask character is a literal.
        {"\\999;1;_", "12", "912", "912"},
        // Letters beyond ASCII are letters.
        {"LL;1;_", "\xC3\xA9\xC3\xBC", "\xC3\xA9\xC3\xBC", "\xC3\xA9\xC3\xBC"},
        // More input than positions: the rest is refused.
        {"99;1;_", "12345", "12", "12"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Mask) + " <- " + c.Input);
        const TEditMask m(c.Mask);
        const std::string edit = Typed(m, c.Input);
        EXPECT_EQ(edit, c.EditText);
        EXPECT_EQ(m.TextFromEditText(edit), c.Text);
    }
}

TEST(EditMask, TextSetByCodeIsFittedToTheMask)
{
    struct Case
    {
        const char* Mask;
        const char* Text;
        const char* EditText;
    };
    const Case cases[] = {
        {"!99/99/9999;1; ", "03/15/2024", "03/15/2024"},
        {"!99/99/9999;1; ", "", "  /  /    "},
        {"!99/99/9999;1; ", "  /  /    ", "  /  /    "},
        // "!" fits from the right: a short text fills the last positions.
        {"!9999/99;1; ", "2024/3", "2024/ 3"},
        {"9999/99;1; ", "2024/3", "2024/3 "},
        // A character that does not fit leaves its position blank.
        {"99/99;1;_", "1x/34", "1_/34"},
        // Without saved literals the text holds only the input positions.
        {"99/99;0;_", "1234", "12/34"},
        {">ll;1;_", "ab", "AB"},
        // A malformed or overlong text never overflows the positions.
        {"99;1;_", "123456789", "12"},
        {"99;1;_", "\xFF\xFE", "__"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Mask) + " <- " + c.Text);
        const TEditMask m(c.Mask);
        const std::string edit = m.EditTextFromText(c.Text);
        EXPECT_EQ(edit, c.EditText);
        EXPECT_TRUE(m.IsWellFormed(edit));
    }
}

TEST(EditMask, ClearingAndRequiredPositions)
{
    const TEditMask m("00/99;1;_");
    std::string edit = m.EditTextFromText("12/34");
    m.ClearRange(edit, 1, 4);
    EXPECT_EQ(edit, "1_/_4");
    EXPECT_FALSE(m.RequiredFilled(edit));
    EXPECT_TRUE(m.RequiredFilled(m.EditTextFromText("12/  ")));
    EXPECT_EQ(m.PreviousInputPosition(3), 1);
    EXPECT_EQ(m.NextInputPosition(2), 3);
    EXPECT_EQ(m.NextInputPosition(5), -1);
    // A blank typed clears the position and moves on.
    std::string typed = m.EditTextFromText("12/34");
    EXPECT_EQ(m.TypeChar(typed, 0, U' '), 1);
    EXPECT_EQ(typed, "_2/34");
}

TEST(EditMask, MaskFields)
{
    const TEditMask a("99;0;*");
    EXPECT_FALSE(a.SaveLiterals());
    EXPECT_EQ(a.BlankChar(), U'*');
    const TEditMask b("99");
    EXPECT_TRUE(b.SaveLiterals());
    EXPECT_EQ(b.BlankChar(), U'_');
    // An escaped separator belongs to the body.
    const TEditMask c("9\\;9;1; ");
    EXPECT_EQ(c.BlankEditText(), " ; ");
    EXPECT_TRUE(TEditMask("!99").Reverse());
}

// The blank character is never one a position takes as input: typed text
// must read back as typed.
TEST(EditMask, BlankNeverTakenForInput)
{
    struct Case
    {
        const char* Mask;
        char32_t Blank;
        const char* Input;
        const char* Text;
    };
    const Case cases[] = {
        {"000;1;0", U'_', "100", "100"},
        {"99-99;1;5", U'_', "5555", "55-55"},
        {"LL;1;x", U'_', "xy", "xy"},
        {"CC;1;*", U'_', "*+", "*+"},
        {"000;1;*", U'*', "123", "123"},
        {"LL;1; ", U' ', "ab", "ab"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Mask);
        const TEditMask m(c.Mask);
        EXPECT_EQ(m.BlankChar(), c.Blank);
        EXPECT_EQ(m.TextFromEditText(Typed(m, c.Input)), c.Text);
    }
}

} // namespace
