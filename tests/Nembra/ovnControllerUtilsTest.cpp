#include "Components/Nembra/ovnControllerUtils.h"

#include "support/ErrorOf.h"
#include "support/TempFolder.h"
#include "platform/IniFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
using Lines = std::vector<std::string>;

Lines LinesOf(const TStrings& list)
{
    Lines out;
    for (int i = 0; i < list.Count(); ++i)
        out.push_back(list[i]);
    return out;
}

Lines EntryLines(const TovnCustomConfig& config, int index)
{
    return LinesOf(config.GetItem(index)->Values());
}

class ConnectionsFileTest : public testing::Test
{
  protected:
    std::string IniName() const { return m_dir / "Tallowin.ini"; }
    void Write(const std::string& text) const { WriteText(IniName(), text); }
    std::string Read() const { return ReadText(IniName()); }

    TTempFolder m_dir;
};
} // namespace

TEST(ConfigItem, ValuesAreNameValueLines)
{
    TovnCustomConfig config;
    TovnConfigItem* item = config.Add();
    EXPECT_EQ(item->GetValue("URL"), "");
    item->SetValue("URL", "https://a");
    item->SetValue("Connection", "Main");
    item->SetValue("url", "https://b");
    EXPECT_EQ(EntryLines(config, 0), (Lines{"url=https://b", "Connection=Main"}))
        << "replaced in place, under the name it was set with";
    EXPECT_EQ(item->GetValue("CONNECTION"), "Main");
    item->SetValue("URL", "");
    EXPECT_EQ(EntryLines(config, 0), (Lines{"Connection=Main"})) << "an empty value removes the line";

    TovnConfigItem* copy = config.Add();
    copy->Assign(*item);
    EXPECT_EQ(EntryLines(config, 1), (Lines{"Connection=Main"}));
}

TEST(ConfigItem, LoadFromIniTakesTheCommaTextAfterTheFirstEquals)
{
    struct Case
    {
        const char* desc;
        const char* line;
        Lines expected;
    };
    const Case cases[] = {
        {"plain items", "0=Connection=Main,URL=https://a", {"Connection=Main", "URL=https://a"}},
        {"quoted item with a blank", "3=\"Connection=Main Office\",URL=x", {"Connection=Main Office", "URL=x"}},
        {"doubled quotes", "0=\"LABEL=say \"\"hi\"\"\"", {"LABEL=say \"hi\""}},
        {"blanks separate like commas", "0=  Connection=A URL=b", {"Connection=A", "URL=b"}},
        {"a final comma adds an empty item", "0=Connection=A,", {"Connection=A", ""}},
        {"two quotes are one empty item", "0=\"\"", {""}},
        {"nothing after the key", "0=", {}},
        {"no equals sign at all", "garbage", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.desc);
        TovnCustomConfig config;
        config.Add()->LoadFromIni(c.line);
        EXPECT_EQ(EntryLines(config, 0), c.expected);
    }
}

TEST(CustomConfig, FindFillAndUniqueValues)
{
    TovnCustomConfig config;
    config.Add()->SetValue("Connection", "Alpha");
    config.Add()->SetValue("Connection", "Beta");
    config.Add()->SetValue("Connection", "alpha");
    config.GetItem(0)->SetValue("Default", "TRUE");
    config.GetItem(2)->SetValue("Default", "TRUE");

    EXPECT_EQ(config.Find("connection", "ALPHA"), config.GetItem(0)) << "first match, case ignored";
    EXPECT_EQ(config.Find("Connection", "Gamma"), nullptr);

    TStringList list;
    list.Add("stale");
    config.Fill("Connection", &list);
    EXPECT_EQ(LinesOf(list), (Lines{"Alpha", "Beta", "alpha"}));
    for (int i = 0; i < list.Count(); ++i)
        EXPECT_EQ(list.Objects(i), config.GetItem(i));
    config.Fill("Connection", nullptr);

    config.SetUniqueValue(config.GetItem(1), "Default", "TRUE");
    EXPECT_EQ(config.GetItem(0)->GetValue("Default"), "");
    EXPECT_EQ(config.GetItem(1)->GetValue("Default"), "TRUE");
    EXPECT_EQ(config.GetItem(2)->GetValue("Default"), "");
    config.SetUniqueValue(nullptr, "Default", "TRUE");
    EXPECT_EQ(config.GetItem(1)->GetValue("Default"), "TRUE");
}

TEST(Connections, AddNamesTheEntryByItsIdAndIdsAreNeverReused)
{
    TovnConnections list;
    EXPECT_EQ(list.Add()->Connection(), "Connection0");
    EXPECT_EQ(list.Add()->Connection(), "Connection1");
    list.GetItem(1)->SetActive(false); // the argument is not consulted
    EXPECT_TRUE(list.GetItem(1)->GetActive());
    EXPECT_FALSE(list.GetItem(0)->GetActive());
    EXPECT_EQ(list.GetActiveConnection(), "Connection1");

    list.Clear();
    EXPECT_EQ(list.GetActiveConnection(), "");
    TovnConnectionItem* next = list.Add();
    EXPECT_EQ(next->ID(), 2);
    EXPECT_EQ(next->Connection(), "Connection2");
    EXPECT_FALSE(next->GetActive()) << "a new entry never inherits a cleared entry's ID";
}

TEST(Connections, DefaultStaysUnique)
{
    TovnConnections list;
    TovnConnectionItem* a = list.Add();
    TovnConnectionItem* b = list.Add();
    TovnConnectionItem* c = list.Add();
    a->SetDefault(true);
    EXPECT_TRUE(a->Default());
    EXPECT_EQ(list.GetDefault(), a);

    b->SetDefault(true);
    EXPECT_EQ(a->GetValue("Default"), "") << "the other entries lose their Default line";
    EXPECT_EQ(list.GetDefault(), b);

    c->SetDefault(false);
    EXPECT_EQ(c->GetValue("Default"), "FALSE");
    EXPECT_TRUE(b->Default()) << "clearing another entry leaves the default alone";
    EXPECT_EQ(list.GetDefault(), b);

    struct Case
    {
        const char* text;
        bool isDefault;
        bool foundAsDefault;
    };
    const Case cases[] = {
        {"TRUE", true, true},      {"true", true, true}, {" True ", true, false},
        {"1", false, false},       {"yes", false, false}, {"", false, false},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.text);
        TovnConnections one;
        one.Add()->SetValue("Default", k.text);
        EXPECT_EQ(one.GetItem(0)->Default(), k.isDefault);
        EXPECT_EQ(one.GetDefault() != nullptr, k.foundAsDefault);
    }
}

TEST(Connections, CaptionAndStoredCredentials)
{
    struct Case
    {
        const char* desc;
        Lines lines;
        const char* caption;
        bool credentials;
    };
    const Case cases[] = {
        {"label first", {"LABEL= Head office ", "URL=https://a"}, "Head office", false},
        {"blank label falls back to the URL", {"LABEL=  ", "URL= https://a "}, "https://a", false},
        {"both credentials", {"USER_ID=ANNA", "USER_PWD=secret"}, "", true},
        {"blank password", {"USER_ID=ANNA", "USER_PWD=  "}, "", false},
        {"no user", {"USER_PWD=secret"}, "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.desc);
        TovnConnections list;
        TovnConnectionItem* item = list.Add();
        item->Values().Clear();
        for (const auto& line : c.lines)
            item->Values().Add(line);
        EXPECT_EQ(item->GetCaption(), c.caption);
        EXPECT_EQ(item->GetCredentialsStored(), c.credentials);
    }
}

TEST(Connections, AssignKeepsTheSameConnectionActive)
{
    TovnConnections source;
    source.Add()->SetURL("https://one");
    source.Add()->SetURL("https://two");
    source.GetItem(0)->SetConnection("One");
    source.GetItem(1)->SetConnection("Two");

    TovnConnections target;
    TovnConnectionItem* mine = target.Add();
    mine->SetConnection("two");
    target.Add()->SetConnection("Other");
    mine->SetActive(true);

    target.Assign(source);
    ASSERT_EQ(target.Count(), 2);
    EXPECT_EQ(EntryLines(target, 1), (Lines{"Connection=Two", "URL=https://two"}));
    EXPECT_TRUE(target.GetItem(1)->GetActive()) << "found by its name, case ignored";

    // Renamed at the source: found by its URL instead.
    source.GetItem(1)->SetConnection("Renamed");
    target.Assign(source);
    EXPECT_EQ(target.GetActiveConnection(), "Renamed");

    // Neither name nor URL left: the active ID stays what it was, which no
    // new entry carries.
    const int before = target.ActiveID();
    TovnConnections unrelated;
    unrelated.Add()->SetURL("https://elsewhere");
    target.Assign(unrelated);
    EXPECT_EQ(target.ActiveID(), before);
    EXPECT_EQ(target.ActiveItem(), nullptr);

    // Another kind of source is ignored.
    TovnCustomConfig plain;
    plain.Add();
    target.Assign(plain);
    EXPECT_EQ(target.Count(), 1);
}

TEST_F(ConnectionsFileTest, SaveWritesCommaTextKeysAndLoadReadsThemBack)
{
    Write("; connections of this machine\n"
          "[CONNECTIONS]\n"
          "0=stale\n"
          "7=also stale\n"
          "[Other]\n"
          "keep=1\n");
    TovnConnections list;
    TovnConnectionItem* office = list.Add();
    office->SetConnection("Main Office");
    office->SetURL("https://office.example");
    office->SetDefault(true);
    TovnConnectionItem* quoted = list.Add();
    quoted->SetConnection("Lab");
    quoted->SetValue("LABEL", "say \"hi\"");
    quoted->SetValue("Unknown", "kept,as is");
    list.Add()->Values().Clear(); // an entry without lines
    {
        TIniFile ini(IniName());
        list.SaveToIni(ini, "CONNECTIONS");
    }
    EXPECT_EQ(Read(), "; connections of this machine\n"
                      "[Other]\n"
                      "keep=1\n"
                      "[CONNECTIONS]\n"
                      "0=\"Connection=Main Office\",URL=https://office.example,Default=TRUE\n"
                      "1=Connection=Lab,\"LABEL=say \"\"hi\"\"\",\"Unknown=kept,as is\"\n"
                      "2=\n");

    TIniFile ini(IniName());
    TovnConnections back;
    back.SetDefaultURL("https://builtin");
    back.LoadFromIni(ini, "CONNECTIONS");
    ASSERT_EQ(back.Count(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(EntryLines(back, i), EntryLines(list, i)) << "entry " << i;
    EXPECT_EQ(back.GetItem(0)->Connection(), "Main Office");
    EXPECT_EQ(back.GetDefault(), back.GetItem(0));
}

TEST_F(ConnectionsFileTest, ALineBreakIsRefusedBeforeTheSectionIsTouched)
{
    Write("[CONNECTIONS]\n0=Connection=Kept\n");
    TovnConnections list;
    list.Add()->SetValue("LABEL", "two\r\nlines");
    TIniFile ini(IniName());
    EXPECT_NE(ErrorOf<EIniFileException>([&] { list.SaveToIni(ini, "CONNECTIONS"); }), "");
    EXPECT_EQ(Read(), "[CONNECTIONS]\n0=Connection=Kept\n");
}

TEST_F(ConnectionsFileTest, ALineWithoutEqualsSignIsAnEmptyEntryInItsPlace)
{
    Write("[CONNECTIONS]\n"
          "0=Connection=First,URL=https://first\n"
          "a line without an equals sign\n"
          "; a comment is no entry\n"
          "2=Connection=Third,URL=https://third\n");
    TIniFile ini(IniName());
    TovnConnections list;
    list.SetDefaultURL("https://builtin");
    list.LoadFromIni(ini, "CONNECTIONS");
    ASSERT_EQ(list.Count(), 3) << "before, the line was dropped and the third entry moved up";
    EXPECT_EQ(list.GetItem(0)->Connection(), "First");
    EXPECT_EQ(EntryLines(list, 1), Lines{});
    EXPECT_EQ(list.GetItem(2)->Connection(), "Third");
    EXPECT_EQ(list.GetItem(2)->URL(), "https://third");
}

TEST_F(ConnectionsFileTest, TheCurrentSectionWinsAndOlderSectionsStayUntouched)
{
    const std::string older = "[SERVER CONNECTION]\n"
                              "Connection=Old A\n"
                              "URL=https://old-a\n"
                              "[SERVER CONNECTIONS]\n"
                              "Connection1=Old B\n"
                              "URL1=https://old-b\n";
    Write("[CONNECTIONS]\n0=Connection=Current,URL=https://current\n" + older);
    TIniFile ini(IniName());
    TovnConnections list;
    list.SetDefaultURL("https://builtin");
    list.LoadFromIni(ini, "CONNECTIONS");
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.GetItem(0)->Connection(), "Current");

    list.GetItem(0)->SetURL("https://changed");
    list.SaveToIni(ini, "CONNECTIONS");
    EXPECT_EQ(Read(), older + "[CONNECTIONS]\n0=Connection=Current,URL=https://changed\n");
}

TEST_F(ConnectionsFileTest, SectionsLayoutIsImported)
{
    struct Case
    {
        const char* desc;
        const char* file;
        std::vector<Lines> entries;
    };
    const Case cases[] = {
        {"plain section then numbered ones",
         "[SERVER CONNECTION]\nConnection=A\nURL=https://a\nDefault=TRUE\n"
         "[SERVER CONNECTION 1]\nConnection=B\nExtra= kept \n"
         "[SERVER CONNECTION 2]\nConnection=C\n",
         {{"Connection=A", "URL=https://a", "Default=TRUE"}, {"Connection=B", "Extra= kept "}, {"Connection=C"}}},
        {"no plain section: numbering starts at 1",
         "[SERVER CONNECTION 1]\nConnection=B\n[SERVER CONNECTION 2]\nConnection=C\n",
         {{"Connection=B"}, {"Connection=C"}}},
        {"a gap ends the probing: section 3 is never read",
         "[SERVER CONNECTION 1]\nConnection=B\n[SERVER CONNECTION 3]\nConnection=D\n", {{"Connection=B"}}},
        {"plain section alone", "[SERVER CONNECTION]\nConnection=A\n", {{"Connection=A"}}},
        {"plain section and number 2 only", "[SERVER CONNECTION]\nConnection=A\n[SERVER CONNECTION 2]\nConnection=C\n",
         {{"Connection=A"}}},
        {"an empty section counts as missing", "[SERVER CONNECTION]\n[SERVER CONNECTION 1]\nConnection=B\n",
         {{"Connection=B"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.desc);
        Write(c.file);
        TIniFile ini(IniName());
        TovnConnections list;
        list.SetDefaultURL("https://builtin");
        list.LoadFromIni(ini, "CONNECTIONS");
        ASSERT_EQ(list.Count(), static_cast<int>(c.entries.size()));
        for (int i = 0; i < list.Count(); ++i)
            EXPECT_EQ(EntryLines(list, i), c.entries[i]) << "entry " << i;
    }
}

TEST_F(ConnectionsFileTest, NumberedKeysLayoutIsImported)
{
    Write("[SERVER CONNECTIONS]\n"
          "Connection1=Head office\n"
          "URL1=https://head\n"
          "Remotehost1=ignored\n"
          "Default1=true \n"
          "Connection2=Branch\n"
          "URL2=\n"
          "Remotehost2=branch.example\n"
          "Connection3=Third\n"
          "URL3=https://third\n"
          "Default3=TRUE\n"
          "Connection5=Never read\n");
    TIniFile ini(IniName());
    TovnConnections list;
    list.LoadFromIni(ini, "CONNECTIONS");
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(EntryLines(list, 0), (Lines{"Connection=Head office", "URL=https://head"}))
        << "the Default lines go when a later entry becomes the default";
    EXPECT_EQ(EntryLines(list, 1), (Lines{"Connection=Branch", "URL=branch.example"}));
    EXPECT_EQ(EntryLines(list, 2), (Lines{"Connection=Third", "URL=https://third", "Default=TRUE"}));
    EXPECT_EQ(list.GetDefault(), list.GetItem(2));
}

TEST_F(ConnectionsFileTest, WithoutAnyEntryTheBuiltInServerIsTheDefault)
{
    Write("[Unrelated]\nx=1\n");
    TIniFile ini(IniName());
    TovnConnections none;
    none.LoadFromIni(ini, "CONNECTIONS");
    EXPECT_EQ(none.Count(), 0) << "no built-in address: the list stays empty";

    TovnConnections list;
    list.SetDefaultURL("https://builtin.example");
    list.Add(); // replaced by the load
    list.LoadFromIni(ini, "CONNECTIONS");
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(EntryLines(list, 0), (Lines{"Connection=Default", "URL=https://builtin.example", "Default=TRUE"}));
    EXPECT_EQ(list.GetDefault(), list.GetItem(0));
    EXPECT_EQ(list.GetItem(0)->ID(), 1) << "loading counts IDs on";
}

TEST(ConnectionItem, PublishesConnectionURLAndDefault)
{
    TovnConnections list;
    TovnConnectionItem* a = list.Add();
    TovnConnectionItem* b = list.Add();
    SetPropValue(*a, "Connection", "Main Office");
    SetPropValue(*a, "url", "https://main.example");
    SetPropValue(*a, "Default", "True");
    EXPECT_EQ(a->Connection(), "Main Office");
    EXPECT_EQ(a->URL(), "https://main.example");
    EXPECT_EQ(GetPropValue(*a, "Default"), "True");
    EXPECT_EQ(GetPropValue(*b, "Default"), "False");
    // Through the property too, the list keeps one default.
    SetPropValue(*b, "DEFAULT", "true");
    EXPECT_EQ(GetPropValue(*a, "Default"), "False");
    EXPECT_EQ(list.GetDefault(), b);
    EXPECT_EQ(ErrorOf<EPropertyError>([&] { GetPropValue(*a, "LABEL"); }), "Property LABEL does not exist");
}
