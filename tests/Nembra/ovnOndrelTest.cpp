// The form-level datasets: the busy counter, the unit's start (filter quotes,
// class aliases), the connection and database look-ups, the system plug-in's
// calls and result parameters, and the plug-in progress event.
#include "Components/Nembra/ovnOndrel.h"

#include "Components/KldDBComponents/dbExtParser.h"
#include "base/KldProgress.h"
#include "platform/ClassRegistry.h"

#include "Nembra/NembraDataSetTestSupport.h"
#include "support/ErrorOf.h"
#include "support/ScriptedTransport.h"

#include <gtest/gtest.h>

namespace {

std::vector<int> s_cursors;
void RecordCursor(int cursor)
{
    s_cursors.push_back(cursor);
}

// Records the screen cursor and OnSysBusy for one test and leaves the counter at 0.
class BusyCounter : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ResetBusyCount();
        s_cursors.clear();
        ScreenCursorProc = &RecordCursor;
        OnSysBusy = [this](bool busy) { Events.push_back(busy); };
    }
    void TearDown() override
    {
        OnSysBusy = nullptr;
        ResetBusyCount();
        ScreenCursorProc = nullptr;
    }
    std::vector<bool> Events;
};

TEST_F(BusyCounter, OnlyTheOutermostPairChangesTheCursor)
{
    SysBusy(true);
    SysBusy(true);
    SysBusy(false);
    EXPECT_EQ(s_cursors, (std::vector<int>{-11})) << "the hourglass stays on";
    EXPECT_EQ(Events, (std::vector<bool>{true}));
    SysBusy(false);
    EXPECT_EQ(s_cursors, (std::vector<int>{-11, 0}));
    EXPECT_EQ(Events, (std::vector<bool>{true, false})) << "once on the way back to 0";
}

TEST_F(BusyCounter, AnUnpairedFalseAtZeroStaysAtZero)
{
    SysBusy(false);
    SysBusy(false);
    EXPECT_TRUE(s_cursors.empty());
    EXPECT_TRUE(Events.empty());
    SysBusy(true);
    EXPECT_EQ(s_cursors, (std::vector<int>{-11})) << "the next True shows the hourglass";
    EXPECT_EQ(Events, (std::vector<bool>{true}));

    SysBusy(true);
    ResetBusyCount();
    EXPECT_EQ(s_cursors, (std::vector<int>{-11, 0}));
    EXPECT_EQ(Events, (std::vector<bool>{true, false}));
    SysBusy(true);
    EXPECT_EQ(Events, (std::vector<bool>{true, false, true})) << "the reset counter starts from 0";
}

TEST(OndrelUnit, FiltersQuoteTextsWithTheDoubleQuote)
{
    InitOndrel();
    EXPECT_EQ(StringQuotes, "\"") << "set when the library loaded";
    TovnDataSet ds;
    OpenWithFields(ds, {{"NAME", ftString, 10}});
    for (const char* name : {"Ann", "O'Neil", "Bob"})
        ds.AppendRecord({name});
    ds.SetFilter("NAME = \"O'Neil\" or NAME = \"Ann\"");
    ds.SetFiltered(true);
    EXPECT_EQ(Column(ds, "NAME"), (std::vector<std::string>{"Ann", "O'Neil"}));
}

TEST(OndrelUnit, FormsStoredWithTheOldClassNamesLoad)
{
    InitOndrel();
    const TComponentClass* client = GetClass("TovnOndrelClient");
    ASSERT_NE(client, nullptr);
    EXPECT_EQ(client->ClassName, "TNembraConnection");
    std::unique_ptr<TComponent> made = client->Create();
    EXPECT_NE(dynamic_cast<TNembraConnection*>(made.get()), nullptr);
    made.reset();

    const TComponentClass* database = GetClass("tovnondreldatabase");
    ASSERT_NE(database, nullptr) << "names are found without regard to case";
    EXPECT_EQ(database->ClassName, "TNembraDatabase");
    made = database->Create();
    EXPECT_NE(dynamic_cast<TNembraDatabase*>(made.get()), nullptr);
    EXPECT_EQ(GetClass("TovnOndrelSomething"), nullptr);
}

TEST(OndrelUnit, ConnectionsAndDatabasesByName)
{
    TNembraConnection main;
    main.SetConnectionName("MAIN");
    TNembraConnection other;
    other.SetConnectionName("OTHER");
    TNembraDatabase data;
    data.SetDatabaseName("DATA");
    TNembraDatabase system;
    system.SetDatabaseName("SYSTEM_DATA");

    EXPECT_EQ(&GetOndrelConnection("main"), &main);
    EXPECT_EQ(&GetOndrelDatabase("System_Data"), &system);
    EXPECT_EQ(ErrorOf([] { GetOndrelConnection("NONE"); }), "Connection not found: NONE");
    EXPECT_EQ(ErrorOf([] { GetOndrelDatabase("NONE"); }), "Database not found: NONE");

    TStringList names;
    names.Add("kept");
    GetOndrelConnectionNames(names);
    EXPECT_EQ(names.CommaText(), "kept,MAIN,OTHER") << "added in order of registration";
    names.Clear();
    GetOndrelDatabaseNames(names);
    EXPECT_EQ(names.CommaText(), "DATA,SYSTEM_DATA");
}

// The system plug-in and plug-in datasets over a connection that answers
// from recorded replies.
class OndrelPlugIns : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        Conn.SetConnectionName("SCRIPTED");
        Conn.Open();
    }
    void Reply(const std::string& json) { Conn.Script.Replies.push_back(JsonReply(json)); }
    TSentForm Sent(size_t index) const { return FormOf(Conn.Script.Sent.at(index).Body); }
    std::string Procedure(size_t index) const
    {
        const std::string& url = Conn.Script.Sent.at(index).URL;
        return url.substr(url.rfind('/') + 1);
    }

    TScriptedConnection Conn;
};

TEST_F(OndrelPlugIns, TheSystemPlugInCallsPLG_SYSTEM)
{
    TovnOndrelSystem sys;
    EXPECT_EQ(sys.PluginName(), "PLG_SYSTEM") << "from construction";
    sys.SetName("sysGetMenu");
    sys.SetConnectionName("SCRIPTED");
    sys.SetProcedureName("GetMenu");
    sys.SetFetchBy(-1);
    Reply(R"({"handle":"","eof":true,"fields":[{"Name":"MENU","DataType":1,"Size":20}],"data":{"MENU":["File"]}})");
    sys.Open();
    EXPECT_EQ(Procedure(0), "Nembra.PluginFetch");
    const TSentForm fetch = Sent(0);
    EXPECT_EQ(fetch.at("PluginName"), "PLG_SYSTEM");
    EXPECT_EQ(fetch.at("ProcedureName"), "GetMenu");
    EXPECT_EQ(fetch.at("DBDataSetName"), "sysGetMenu");
    EXPECT_EQ(sys.FieldByName("MENU")->AsString(), "File");
}

TEST_F(OndrelPlugIns, ResultParametersAreTheOutputsOfTheLastExecute)
{
    TovnOndrelSystem sys;
    sys.SetConnectionName("SCRIPTED");
    sys.SetProcedureName("DatabaseLogin");
    sys.Params().CreateParam(ftString, "Alias", ptInput)->SetAsString("DEMO");
    sys.Params().CreateParam(ftInteger, "C_Role", ptOutput);
    sys.Params().CreateParam(ftString, "Role", ptInputOutput);
    sys.Params().CreateParam(ftString, "Modules", ptResult);
    EXPECT_EQ(sys.GetResultParams().Count(), 2) << "copies of the output and result parameters";

    Reply(R"({"RowsAffected":0,"Params":{"C_Role":{"DataType":3,"ParamType":2,"Value":7},)"
          R"("Role":{"DataType":1,"ParamType":3,"Value":"Nurse"},"Modules":{"DataType":1,"ParamType":4,"Value":"A;B"}}})");
    sys.Execute();
    EXPECT_EQ(Procedure(0), "Nembra.PluginExecute");
    EXPECT_EQ(Sent(0).at("PluginName"), "PLG_SYSTEM");
    TParams& results = sys.ResultParams();
    ASSERT_EQ(results.Count(), 2);
    EXPECT_EQ(results[0]->Name(), "C_Role");
    EXPECT_EQ(results[0]->AsInteger(), 7);
    EXPECT_EQ(results[1]->Name(), "Modules");
    EXPECT_EQ(results[1]->AsString(), "A;B");
    EXPECT_EQ(&sys.GetResultParams(), &results) << "kept until the next execute";

    Reply(R"({"RowsAffected":0,"Params":{"C_Role":{"DataType":3,"ParamType":2,"Value":9},)"
          R"("Modules":{"DataType":1,"ParamType":4,"Value":"C"}}})");
    sys.Execute();
    ASSERT_EQ(sys.GetResultParams().Count(), 2);
    EXPECT_EQ(sys.GetResultParams()[0]->AsInteger(), 9) << "rebuilt after the execute";
    EXPECT_EQ(sys.GetResultParams()[1]->AsString(), "C");
}

TEST_F(OndrelPlugIns, ProgressOfTheServerReachesOnPlugInProgress)
{
    TovnOndrelPlugIn plugIn;
    plugIn.SetConnectionName("SCRIPTED");
    plugIn.SetPluginName("PLG_DEMO");
    plugIn.SetProcedureName("Echo");
    plugIn.SetAbout("Repeats a text");
    plugIn.SetLogicalName("Echo");
    // A body large enough to be sent in several steps, each a sending notice.
    plugIn.Params().CreateParam(ftString, "TEXT", ptInput)->SetAsString(std::string(50000, 'x'));
    struct TNotice
    {
        TObject* Sender;
        TovnOndrelPlugIn* PlugIn;
        int Progress;
        std::string Status;
    };
    std::vector<TNotice> notices;
    plugIn.OnPlugInProgress = [&](TObject* sender, TovnOndrelPlugIn* p, int progress, const std::string& status) {
        notices.push_back({sender, p, progress, status});
    };
    Conn.Script.Replies.push_back(HttpReply(200, {"X-NEMBRA-PROGRESS: YES", "Transfer-Encoding: chunked"},
                                            Chunked({"10 Loading", "55 Half way", "{\"handle\":\"H1\"}"})));
    Reply(R"({"RowsAffected":0,"Params":{}})");
    plugIn.Execute();
    ASSERT_EQ(notices.size(), 4u);
    const std::vector<std::pair<int, std::string>> expected = {{0, ""}, {10, "Loading"}, {55, "Half way"}, {100, "Half way"}};
    for (size_t i = 0; i < notices.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(notices[i].Sender, &plugIn);
        EXPECT_EQ(notices[i].PlugIn, &plugIn);
        EXPECT_EQ(notices[i].Progress, expected[i].first);
        EXPECT_EQ(notices[i].Status, expected[i].second);
    }
    EXPECT_EQ(plugIn.About(), "Repeats a text");
}

} // namespace
