#include "ui/ovnNamedList.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {
using Lines = std::vector<std::string>;

Lines LinesOf(const TNamedList& list)
{
    Lines out;
    for (int i = 0; i < list.Count(); ++i)
        out.push_back(list.Lines()[i]);
    return out;
}

std::vector<bool> VisibleOf(const TNamedList& list)
{
    std::vector<bool> out;
    for (int i = 0; i < list.Count(); ++i)
        out.push_back(list.GetVisible(i));
    return out;
}

// Daily (Mail, Shift) and Admin (Users, hidden).
void FillDailyAndAdmin(TNamedList& list)
{
    list.SetValue("Daily", "Mail\r\nShift\r\n");
    list.SetValue("Admin", "Users\r\n");
    list.SetVisible(1, false);
}
} // namespace

TEST(NamedList, TextFormWithHiddenEntries)
{
    TNamedList list;
    FillDailyAndAdmin(list);
    const std::string text = list.AsText();
    EXPECT_EQ(text, "\"Daily=Mail\r\nShift\r\n\",\"Admin=Users\r\n\",\"$HIDE=Admin\r\n\"");

    TNamedList back;
    back.PresetText = "kept";
    back.SetValue("Stale", "x\r\n");
    back.SetAsText(text);
    EXPECT_EQ(LinesOf(back), (Lines{"Daily=Mail\r\nShift\r\n", "Admin=Users\r\n"}));
    EXPECT_EQ(VisibleOf(back), (std::vector<bool>{true, false}));
    EXPECT_EQ(back.Find("$HIDE"), -1);
    EXPECT_EQ(back.PresetText, "kept") << "no operation touches the preset text";

    list.SetVisible(1, true);
    EXPECT_EQ(list.AsText(), "\"Daily=Mail\r\nShift\r\n\",\"Admin=Users\r\n\"")
        << "nothing hidden: no $HIDE item";
}

TEST(NamedList, TextFormEdges)
{
    struct Case
    {
        const char* desc;
        Lines lines;
        const char* text;
    };
    const Case cases[] = {
        {"empty list", {}, ""},
        {"one empty line", {""}, "\"\""},
        {"plain names need no quotes", {"A=", "B="}, "A=,B="},
        {"a blank or a comma quotes the item", {"My Group=", "A,B="}, "\"My Group=\",\"A,B=\""},
        {"a double quote is doubled", {"Say \"hi\"="}, "\"Say \"\"hi\"\"=\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.desc);
        TStringList source;
        for (const auto& line : c.lines)
            source.Add(line);
        TNamedList list;
        list.Assign(&source);
        EXPECT_EQ(list.AsText(), c.text);
        TNamedList back;
        back.SetAsText(c.text);
        EXPECT_EQ(LinesOf(back), c.lines);
    }

    // Reading: spaces and control characters between items separate them.
    TNamedList list;
    list.SetAsText("  A=  B=\r\n\"C=x\r\n\"");
    EXPECT_EQ(LinesOf(list), (Lines{"A=", "B=", "C=x\r\n"}));

    // A "$HIDE" naming a group that does not exist hides nothing; two of them both apply.
    list.SetAsText("A=,B=,\"$HIDE=Nobody\r\n\",\"$HIDE=b\r\n\"");
    EXPECT_EQ(LinesOf(list), (Lines{"A=", "B="}));
    EXPECT_EQ(VisibleOf(list), (std::vector<bool>{true, false}));
}

TEST(NamedList, ValuesByNameAndByIndex)
{
    TNamedList list;
    list.SetValue("Daily", "Mail\r\n");
    list.SetValue("DAILY", "Shift\r\n");
    EXPECT_EQ(LinesOf(list), (Lines{"Daily=Shift\r\n"})) << "found by name without case; the name stays";
    EXPECT_EQ(list.GetValue("daily"), "Shift\r\n");
    EXPECT_EQ(list.GetValue("Missing"), "");
    EXPECT_EQ(list.Find("missing"), -1);

    TStringList members;
    members.Add("Mail");
    members.Add("Users");
    list.SetValues(0, &members);
    EXPECT_EQ(list.GetValue(0), "Mail\r\nUsers\r\n");
    list.SetValues(-1, &members);
    list.SetValues(0, nullptr);
    EXPECT_EQ(list.GetValue(0), "Mail\r\nUsers\r\n");

    TStringList out;
    out.Add("stale");
    list.GetValues("DAILY", &out);
    EXPECT_EQ(out.Count(), 2);
    EXPECT_EQ(out[1], "Users");
    list.GetValues("Daily", nullptr);

    // A line without "=" is all members.
    TStringList raw;
    raw.Add("no separator");
    raw.Add("Name=");
    list.Assign(&raw);
    EXPECT_EQ(list.GetValue(0), "no separator");
    EXPECT_EQ(list.GetName(0), "");
    list.SetValue(0, "replaced");
    EXPECT_EQ(LinesOf(list), (Lines{"replaced", "Name="}));
    list.SetValue(1, "A\r\n");
    EXPECT_EQ(LinesOf(list), (Lines{"replaced", "Name=A\r\n"}));
    EXPECT_EQ(list.GetNames(), "\r\nName\r\n");
}

TEST(NamedList, NewValueTakesTheFirstFreeNumber)
{
    TNamedList list;
    list.SetValue("NewGroup1", "");
    list.SetValue("newgroup3", "");
    EXPECT_EQ(list.NewValue(), "NewGroup2");
    EXPECT_EQ(list.NewValue(), "NewGroup4");
    EXPECT_EQ(list.GetValue("NewGroup2"), "");
    EXPECT_EQ(list.Count(), 4);
}

TEST(NamedList, MembersMoveBetweenEntries)
{
    TNamedList list;
    FillDailyAndAdmin(list);
    list.SetValue("Other", "mail\r\nMAIL\r\nNotes\r\n");

    list.AddValueTo("admin", "Mail");
    EXPECT_EQ(LinesOf(list), (Lines{"Daily=Shift\r\n", "Admin=Users\r\nMail\r\n", "Other=Notes\r\n"}));
    EXPECT_FALSE(list.GetVisible(1)) << "flags stay";
    EXPECT_EQ(list.FindValue("MAIL"), "Admin");
    EXPECT_EQ(list.FindValue("Nothing"), "");

    list.AddValueTo("Admin", "users");
    EXPECT_EQ(list.GetValue("Admin"), "Users\r\nMail\r\n") << "already there: not added twice";

    list.AddValueTo("Nowhere", "Shift");
    EXPECT_EQ(list.Count(), 3) << "no entry is created";
    EXPECT_EQ(list.GetValue("Daily"), "") << "but the member left the others";
}

TEST(NamedList, RenamingRefusesAnotherEntrysName)
{
    TNamedList list;
    FillDailyAndAdmin(list);
    EXPECT_FALSE(list.SetName(0, "ADMIN"));
    EXPECT_EQ(list.GetName(0), "Daily");
    EXPECT_TRUE(list.SetName(0, "DAILY")) << "its own name in another case";
    EXPECT_EQ(LinesOf(list), (Lines{"DAILY=Mail\r\nShift\r\n", "Admin=Users\r\n"}));
    EXPECT_TRUE(list.SetName(1, "Tools"));
    EXPECT_EQ(list.GetValue("Tools"), "Users\r\n");
    EXPECT_FALSE(list.GetVisible(1));
}

TEST(NamedList, AssignRemoveMoveAndPreset)
{
    TNamedList list;
    FillDailyAndAdmin(list);
    list.PresetText = "mine";

    TNamedList copy;
    copy.PresetText = "its own";
    copy.Assign(&list);
    EXPECT_EQ(LinesOf(copy), LinesOf(list));
    EXPECT_EQ(VisibleOf(copy), (std::vector<bool>{true, false}));
    EXPECT_EQ(copy.PresetText, "its own");

    // From a string list: object values -1 mean hidden, anything else visible.
    TStringList source;
    TObject dummy;
    source.AddObject("A=", reinterpret_cast<TObject*>(intptr_t{-1}));
    source.AddObject("B=", nullptr);
    source.AddObject("C=", &dummy);
    copy.Assign(&source);
    EXPECT_EQ(LinesOf(copy), (Lines{"A=", "B=", "C="}));
    EXPECT_EQ(VisibleOf(copy), (std::vector<bool>{false, true, true}));

    copy.Assign(nullptr);
    copy.Assign(&dummy);
    EXPECT_EQ(copy.Count(), 3) << "other sources are ignored";

    copy.Remove(-1);
    copy.Remove(0);
    EXPECT_EQ(LinesOf(copy), (Lines{"B=", "C="}));
    copy.Move(1, 0);
    EXPECT_EQ(LinesOf(copy), (Lines{"C=", "B="}));

    TStringList preset;
    preset.Add("b");
    preset.Add("Favorites");
    copy.SetPreset(&preset);
    copy.SetPreset(nullptr);
    EXPECT_EQ(LinesOf(copy), (Lines{"C=", "B=", "Favorites="}));
    copy.Clear();
    EXPECT_EQ(copy.Count(), 0);
}

TEST(NamedList, MergeKeepsLocalEntriesAndTakesStoredOrder)
{
    struct Case
    {
        const char* desc;
        Lines local;
        std::vector<bool> localVisible;
        const char* stored;
        Lines expected;
        std::vector<bool> visible;
    };
    const Case cases[] = {
        {"a local-only group goes after the stored ones",
         {"Local=X\r\n", "Daily=Mail\r\n"},
         {true, true},
         "\"Daily=Shift\r\n\",\"Extra=Y\r\n\"",
         {"Daily=Shift\r\nMail\r\n", "Extra=Y\r\n", "Local=X\r\n"},
         {true, true, true}},
        {"stored members first, then local-only ones, case ignored",
         {"Daily=mail\r\nNotes\r\n"},
         {true},
         "\"Daily=Shift\r\nMail\r\n\"",
         {"Daily=Shift\r\nMail\r\nNotes\r\n"},
         {true}},
        {"an empty stored group leaves the local one alone",
         {"Daily=Mail\r\n", "Admin=Users\r\n"},
         {true, true},
         "Admin=,Daily=",
         {"Admin=Users\r\n", "Daily=Mail\r\n"},
         {true, true}},
        {"stored hidden flags add to the local ones",
         {"A=", "B=", "C="},
         {false, true, true},
         "B=,C=,A=,\"$HIDE=C\r\n\"",
         {"B=", "C=", "A="},
         {true, false, false}},
        {"a position past the end is the last place ($HIDE items count)",
         {"A=1\r\n", "B=2\r\n"},
         {true, true},
         "\"$HIDE=B\r\n\",$HIDE=,\"A=3\r\n\"",
         {"B=2\r\n", "A=3\r\n1\r\n"},
         {false, true}},
        {"an empty stored text changes nothing", {"A=1\r\n"}, {false}, "", {"A=1\r\n"}, {false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.desc);
        TNamedList list;
        for (size_t i = 0; i < c.local.size(); ++i) {
            TStringList one;
            one.Add(c.local[i]);
            TNamedList single;
            single.Assign(&one);
            list.SetValue(single.GetName(0), single.GetValue(0));
            list.SetVisible(static_cast<int>(i), c.localVisible[i]);
        }
        list.UpdateAsString(c.stored);
        EXPECT_EQ(LinesOf(list), c.expected);
        EXPECT_EQ(VisibleOf(list), c.visible);
    }
}
