// The enterprises window's rules: the enterprise name check and its text,
// the delete decisions, the two modes of the record dialogs, the detail
// lists' buttons, row defaults, edit masks and the industry list.

#include "admin/EnterpriseRules.h"

#include <gtest/gtest.h>

#include <map>

namespace {

const std::string ValidCharacters = "Valid charecters are \"A\" through \"Z\", \"0\" trough \"9\" and \"_\"";

std::map<std::string, std::string> AsMap(const TFieldValues& Values)
{
    std::map<std::string, std::string> map;
    for (const auto& [name, value] : Values)
        map[name] = value;
    return map;
}

} // namespace

TEST(EnterpriseName, OnlyUpperCaseLettersDigitsAndUnderscoreInTheTrimmedName)
{
    struct TCase
    {
        std::string Name;
        std::optional<std::string> Illegal;
    };
    const TCase cases[] = {
        {"RIVERSIDE", std::nullopt},
        {"RIVERSIDE_HOMES_2", std::nullopt},
        {"0123456789", std::nullopt},
        {"_", std::nullopt},
        {"  RIVERSIDE  ", std::nullopt}, // leading and trailing blanks are ignored
        {"RIVERSIDE HOMES", " "},        // a blank inside is not
        {"  RIVER SIDE  ", " "},
        {"Riverside", "i"}, // lower-case letters are refused: the first one counts
        {"RIVERSIDe", "e"},
        {"RIVER-SIDE", "-"},
        {"RIVER.SIDE/2", "."},
        {"GLOBAL ENTERPRISE", " "},
        {"\xC3\x84RZTE", "\xC3\x84"}, // a character beyond ASCII is reported whole
        {"AB\xE2\x82\xAC", "\xE2\x82\xAC"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(IllegalEnterpriseCharacter(c.Name), c.Illegal) << c.Name;
}

TEST(EnterpriseName, TheErrorTextNamesTheFirstIllegalCharacter)
{
    EXPECT_EQ(EnterpriseNameError("RIVERSIDE"), "");
    EXPECT_EQ(EnterpriseNameError(" RIVERSIDE "), "");
    EXPECT_EQ(EnterpriseNameError("RIVER SIDE"),
              "Illigal charecter in Enterprise: \" \"\r\n" + ValidCharacters);
    EXPECT_EQ(EnterpriseNameError("River"), "Illigal charecter in Enterprise: \"i\"\r\n" + ValidCharacters);
    EXPECT_EQ(EnterpriseNameError("A#B-C"), "Illigal charecter in Enterprise: \"#\"\r\n" + ValidCharacters);
}

TEST(EnterpriseName, ABlankNameIsRefused)
{
    for (const char* blank : {"", " ", "   ", "\t"})
        EXPECT_EQ(EnterpriseNameError(blank), "Enterprise can not be blank") << "[" << blank << "]";
}

TEST(EnterpriseName, CheckedForNewRowsAndChangedNamesOnly)
{
    struct TCase
    {
        bool Inserting;
        std::string Before;
        std::string Name;
        bool Applies;
    };
    const TCase cases[] = {
        {true, "", "RIVERSIDE", true},
        {true, "", "", true},
        {false, "GLOBAL ENTERPRISE", "GLOBAL ENTERPRISE", false}, // an old name stays savable
        {false, "GLOBAL ENTERPRISE", " GLOBAL ENTERPRISE ", false},
        {false, "GLOBAL ENTERPRISE", "GLOBAL ENTERPRISES", true},
        {false, "OAK", "OAK CARE", true},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(NameCheckApplies(c.Inserting, c.Before, c.Name), c.Applies) << c.Before << " -> " << c.Name;
}

TEST(MasterTables, DeleteDecisions)
{
    struct TCase
    {
        TMasterTable Table;
        bool Empty;
        std::optional<int32_t> Counter;
        std::string Refusal;
        std::string Warning;
    };
    const std::string enterprise = "Selected enterprise is about to be deleted. Continue?";
    const std::string alias = "Selected alias is about to be deleted. Continue?";
    const std::string facility = "Selected facility is about to be deleted. Continue?";
    const TCase cases[] = {
        {TMasterTable::Enterprise, false, 1, "Global default enterprise can not be deleted", ""},
        {TMasterTable::Enterprise, true, std::nullopt, "Nothing to Delete", ""},
        {TMasterTable::Enterprise, false, 10, "", enterprise},
        {TMasterTable::Enterprise, false, std::nullopt, "", enterprise},
        {TMasterTable::Alias, true, std::nullopt, "Nothing to Delete", ""},
        {TMasterTable::Alias, false, 1, "", alias},
        {TMasterTable::Alias, false, 20, "", alias},
        {TMasterTable::Facility, true, std::nullopt, "Nothing to Delete", ""},
        {TMasterTable::Facility, false, 1, "", facility},
        {TMasterTable::Facility, false, 12, "", facility},
    };
    for (const TCase& c : cases) {
        const TDeleteDecision decision = DeleteDecision(c.Table, c.Empty, c.Counter);
        EXPECT_EQ(decision.Refusal, c.Refusal) << FilterField(c.Table) << " " << c.Counter.value_or(-1);
        EXPECT_EQ(decision.Warning, c.Warning) << FilterField(c.Table) << " " << c.Counter.value_or(-1);
    }
}

TEST(MasterTables, RecordDialogModes)
{
    struct TCase
    {
        TMasterTable Table;
        bool Editing;
        std::optional<int32_t> Counter;
        TRecordDialogState State;
    };
    const TRecordDialogState viewing{true, true, true, true, false, false, false, "&Close"};
    const TRecordDialogState editing{false, false, false, false, true, true, true, "&Cancel"};
    TRecordDialogState lockedUse = editing;
    lockedUse.CurrentUse = false;
    const TCase cases[] = {
        {TMasterTable::Enterprise, false, 1, viewing},
        {TMasterTable::Enterprise, false, 10, viewing},
        {TMasterTable::Enterprise, true, 10, editing},
        {TMasterTable::Enterprise, true, std::nullopt, editing}, // a new row
        {TMasterTable::Enterprise, true, 1, lockedUse},          // the global enterprise stays in use
        {TMasterTable::Facility, true, 1, lockedUse},
        {TMasterTable::Facility, true, 2, editing},
        {TMasterTable::Facility, false, 1, viewing},
        {TMasterTable::Alias, true, 1, editing}, // no lock for aliases
        {TMasterTable::Alias, false, 1, viewing},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(RecordDialogState(c.Table, c.Editing, c.Counter), c.State)
            << FilterField(c.Table) << " editing " << c.Editing << " counter " << c.Counter.value_or(-1);
}

TEST(MasterTables, DetailListButtons)
{
    // Another enterprise: the list is closed; "Show" unless no enterprise is listed.
    EXPECT_EQ(DetailButtonsAfterEnterpriseChange(false), (TDetailButtons{true, false, false, false}));
    EXPECT_EQ(DetailButtonsAfterEnterpriseChange(true), (TDetailButtons{false, false, false, false}));
    // "Show": details and refresh; the filter only over rows.
    EXPECT_EQ(DetailButtonsAfterShow(true), (TDetailButtons{false, true, true, true}));
    EXPECT_EQ(DetailButtonsAfterShow(false), (TDetailButtons{false, false, true, true}));
    EXPECT_EQ(DetailWhere(20), "C_ENTERPRISE = 20");
}

TEST(MasterTables, RowDefaultsMasksFilterFieldsAndTables)
{
    using TMap = std::map<std::string, std::string>;
    EXPECT_EQ(AsMap(NewRowValues(TMasterTable::Enterprise, 7)),
              (TMap{{"CURRENT_USE", "T"}, {"ADVERTISE", "F"}, {"REQUIRE_SECURE_PASSWORD", "F"}}));
    EXPECT_EQ(AsMap(NewRowValues(TMasterTable::Alias, 7)),
              (TMap{{"CURRENT_USE", "T"}, {"C_ENTERPRISE", "7"}, {"DRIVER_NAME", "ORACLE"}}));
    EXPECT_EQ(AsMap(NewRowValues(TMasterTable::Facility, 21)),
              (TMap{{"CURRENT_USE", "T"}, {"C_ENTERPRISE", "21"}}));

    const std::vector<std::pair<std::string, std::string>> masks = {{"ZIP", "99999-9999;; "},
                                                                    {"PHONE1", "(999) 999-9999x99999;; "},
                                                                    {"PHONE2", "(999) 999-9999x99999;; "},
                                                                    {"FAX", "(999) 999-9999x99999;; "}};
    EXPECT_EQ(EditMasks(TMasterTable::Enterprise), masks);
    EXPECT_EQ(EditMasks(TMasterTable::Facility), masks);
    EXPECT_TRUE(EditMasks(TMasterTable::Alias).empty());

    EXPECT_EQ(FilterField(TMasterTable::Enterprise), "ENTERPRISE");
    EXPECT_EQ(FilterField(TMasterTable::Alias), "ALIAS");
    EXPECT_EQ(FilterField(TMasterTable::Facility), "FACILITY");
    EXPECT_EQ(TableName(TMasterTable::Enterprise), "TBL_ENTERPRISES");
    EXPECT_EQ(TableName(TMasterTable::Alias), "TBL_DBALIASES");
    EXPECT_EQ(TableName(TMasterTable::Facility), "TBL_FACILITIES");
}

TEST(IndustryList, TheServiceAddressAsHostAndPort)
{
    const std::pair<std::string, std::string> cases[] = {
        {"http://127.0.0.1:8080", "127.0.0.1:8080"},
        {"http://127.0.0.1:8080/", "127.0.0.1:8080"},
        {"http://ads.example.org/base/path", "ads.example.org"},
        {"https://ads.example.org:8443?x=1", "ads.example.org:8443"},
        {" localhost:9000 ", "localhost:9000"},
        {"localhost", "localhost"},
        {"", ""},
    };
    for (const auto& [address, host] : cases)
        EXPECT_EQ(HostAndPort(address), host) << address;
}

TEST(IndustryList, OneItemPerLineOfTheReply)
{
    using TItems = std::vector<std::string>;
    const std::pair<std::string, TItems> cases[] = {
        {"Hospice\r\nHome Care\r\n", {"Hospice", "Home Care"}},
        {"Hospice\nHome Care", {"Hospice", "Home Care"}},
        {"Hospice\rHome Care\r", {"Hospice", "Home Care"}},
        {"\r\nHospice\r\n\r\n  \r\nHome Care", {"Hospice", "Home Care"}},
        {"", {}},
        {"\r\n", {}},
    };
    for (const auto& [reply, items] : cases)
        EXPECT_EQ(IndustryItems(reply), items) << reply;
}

TEST(IndustryList, AskedWhileEmptyAndOncePerShowing)
{
    TIndustryList list;
    EXPECT_TRUE(list.NeedsFetch());
    list.Take("");
    EXPECT_TRUE(list.NeedsFetch()); // an empty reply is asked again
    list.Take("\r\n");
    EXPECT_TRUE(list.NeedsFetch());
    EXPECT_EQ(list.Take("Hospice\r\n"), std::vector<std::string>{"Hospice"});
    EXPECT_FALSE(list.NeedsFetch());
    list.Reset(); // the next showing
    EXPECT_TRUE(list.NeedsFetch());
    EXPECT_TRUE(list.Items().empty());
}
