// The database explorer: its rules as tables (page visibility by node kind,
// action states, folders, names, the hidden password, the structure rows),
// and the window against the local application server: the tree, a table
// selected twice, "Definition", transactions, a failed table open, the
// password prompt of a closed connection, consoles on the pages, closing.
#include "admin/ExplorerConsoles.h"
#include "admin/ExplorerRules.h"
#include "admin/SQLHistory.h"
#include "admin/frmExplorerMain.h"

#include "Components/Controller/files/ovnUtils.h"
#include "Components/KldDBComponents/KldDataSet.h"
#include "Components/Nembra/NembraDBDataSets.h"
#include "Components/Nembra/ovnOndrel.h"
#include "platform/DBGrids.h"
#include "platform/DataSetModel.h"
#include "platform/DataSource.h"
#include "platform/Fields.h"
#include "ui/KldCollectionView.h"
#include "ui/KldObjectView.h"
#include "ui/KldTabControl.h"

#include "AdminServerTesting.h"
#include "support/AppServerSession.h"
#include "support/DialogScript.h"
#include "support/ErrorOf.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>

#include <map>

namespace {

std::vector<std::string> Children(const QTreeWidgetItem* Node)
{
    std::vector<std::string> names;
    for (int i = 0; Node && i < Node->childCount(); ++i)
        names.push_back(Node->child(i)->text(0).toStdString());
    return names;
}

bool Has(const std::vector<std::string>& Names, const std::string& Name)
{
    return std::find(Names.begin(), Names.end(), Name) != Names.end();
}

} // namespace

// --- Rules

TEST(ExplorerRules, PageVisibilityByNodeKind)
{
    struct TCase
    {
        const char* Desc;
        TDBObjectKind Kind;
        TExplorerPage Active;
        bool Opened;
        int Rows;
        TExplorerPages Expected;
    };
    const TCase cases[] = {
        {"connection", dokConnection, epData, false, 0, {true, false, false, epDefinition}},
        {"database", dokDatabase, epOther, false, 0, {true, false, false, epDefinition}},
        {"tables folder", dokTables, epData, false, 0, {false, false, false, epNone}},
        {"stored procedures folder", dokStoredProcs, epDefinition, false, 0, {false, false, false, epNone}},
        {"table from a console page", dokTable, epOther, true, 5, {false, true, true, epData}},
        {"table from Definition", dokTable, epDefinition, true, 5, {false, true, true, epData}},
        {"table while Data is active", dokTable, epData, true, 5, {false, true, true, epNone}},
        {"table while Structure is active", dokTable, epStructure, true, 5, {false, true, true, epNone}},
        {"table that did not open", dokTable, epOther, false, 0, {false, false, false, epNone}},
        {"stored procedure", dokStoredProc, epData, false, 0, {false, false, false, epStoredProcConsole}},
        {"plug-ins folder", dokPlugins, epData, false, 0, {false, false, false, epNone}},
        {"plug-in", dokPlugin, epData, false, 0, {false, false, false, epNone}},
        {"plug-in procedure", dokPluginProc, epData, false, 0, {false, false, false, epPluginConsole}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Desc);
        const TExplorerPages pages = ExplorerPagesFor(c.Kind, c.Active, c.Opened, c.Rows);
        EXPECT_EQ(pages.Definition, c.Expected.Definition);
        EXPECT_EQ(pages.Data, c.Expected.Data);
        EXPECT_EQ(pages.Structure, c.Expected.Structure);
        EXPECT_EQ(pages.Activate, c.Expected.Activate);
    }
}

TEST(ExplorerRules, ActionStates)
{
    struct TCase
    {
        const char* Desc;
        bool HasDatabase, InTransaction, HasConsole, IsSQL, CanRun, Fixed, Open;
        int Position, Count;
        // start, commit, rollback, new console
        bool Start, Commit, Rollback, New;
        // execute, fetch all, script, blobs, csv, load, save, info, close, previous, next
        bool Execute, FetchAll, Script, Blobs, CSV, Load, Save, Info, Close, Previous, Next;
    };
    // One case in three lines, as the columns above read.
    // clang-format off
    const TCase cases[] = {
        {"nothing", false, false, false, false, false, false, false, -1, 0,
         false, false, false, false,
         false, false, false, false, false, false, false, false, false, false, false},
        {"a database out of a transaction", true, false, false, false, false, false, false, -1, 0,
         true, false, false, true,
         false, false, false, false, false, false, false, false, false, false, false},
        {"a database in a transaction", true, true, false, false, false, false, false, -1, 0,
         false, true, true, true,
         false, false, false, false, false, false, false, false, false, false, false},
        {"a fixed SQL console that can run", true, false, true, true, true, true, false, -1, 0,
         true, false, false, true,
         true, true, true, false, false, true, true, true, false, false, false},
        {"a closable SQL console with an open result", true, false, true, true, true, false, true, 1, 3,
         true, false, false, true,
         true, true, true, true, true, true, true, true, true, true, true},
        {"an SQL console with one history entry", true, false, true, true, true, false, false, 0, 1,
         true, false, false, true,
         true, true, true, false, false, true, true, true, true, false, false},
        {"an SQL console at its last entry", true, false, true, true, true, false, false, 2, 3,
         true, false, false, true,
         true, true, true, false, false, true, true, true, true, true, false},
        {"an empty SQL console", true, false, true, true, false, false, false, -1, 0,
         true, false, false, true,
         false, false, false, false, false, true, true, true, true, false, false},
        {"a ready parameter console with rows", false, false, true, false, true, true, true, -1, 0,
         false, false, false, false,
         true, false, false, true, true, false, false, true, false, false, false},
        {"a parameter console not ready", false, false, true, false, false, true, false, -1, 0,
         false, false, false, false,
         false, false, false, false, false, false, false, true, false, false, false},
    };
    // clang-format on
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Desc);
        TExplorerActionInput in;
        in.HasDatabase = c.HasDatabase;
        in.InTransaction = c.InTransaction;
        in.Console.HasConsole = c.HasConsole;
        in.Console.IsSQLConsole = c.IsSQL;
        in.Console.CanRun = c.CanRun;
        in.Console.Fixed = c.Fixed;
        in.Console.DataSetOpen = c.Open;
        in.Console.HistoryPosition = c.Position;
        in.Console.HistoryCount = c.Count;
        const TExplorerActionStates s = ExplorerActionStates(in);
        EXPECT_EQ(s.StartTransaction, c.Start);
        EXPECT_EQ(s.CommitTransaction, c.Commit);
        EXPECT_EQ(s.RollbackTransaction, c.Rollback);
        EXPECT_EQ(s.NewConsole, c.New);
        EXPECT_EQ(s.Console.Execute, c.Execute);
        EXPECT_EQ(s.Console.FetchAll, c.FetchAll);
        EXPECT_EQ(s.Console.Script, c.Script);
        EXPECT_EQ(s.Console.ShowBlobs, c.Blobs);
        EXPECT_EQ(s.Console.ExportCSV, c.CSV);
        EXPECT_EQ(s.Console.LoadSQL, c.Load);
        EXPECT_EQ(s.Console.SaveSQL, c.Save);
        EXPECT_EQ(s.Console.ShowSQLInfo, c.Info);
        EXPECT_EQ(s.Console.CloseConsole, c.Close);
        EXPECT_EQ(s.Console.PreviousSQL, c.Previous);
        EXPECT_EQ(s.Console.NextSQL, c.Next);
    }
}

TEST(ExplorerRules, FoldersAskTheServerByKind)
{
    struct TCase
    {
        TDBObjectKind Kind;
        bool IsFolder;
        bool NameFromCaption;
        const char* Type;
        TDBObjectKind Child;
    };
    const TCase cases[] = {
        {dokTables, true, false, "table", dokTable},
        {dokStoredProcs, true, false, "storedproc", dokStoredProc},
        {dokPlugins, true, false, "plugin", dokPlugin},
        {dokPlugin, true, true, "pluginproc", dokPluginProc},
        {dokConnection, false, false, "", dokConnection},
        {dokDatabase, false, false, "", dokConnection},
        {dokTable, false, false, "", dokConnection},
        {dokStoredProc, false, false, "", dokConnection},
        {dokPluginProc, false, false, "", dokConnection},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(int(c.Kind));
        const auto folder = ExplorerFolder(c.Kind);
        ASSERT_EQ(folder.has_value(), c.IsFolder);
        EXPECT_EQ(IsExplorerFolder(c.Kind), c.IsFolder);
        if (!folder)
            continue;
        EXPECT_EQ(folder->NameFromCaption, c.NameFromCaption);
        EXPECT_EQ(folder->ObjectType, c.Type);
        EXPECT_EQ(folder->ChildKind, c.Child);
    }
}

TEST(ExplorerRules, NamesNodesAndTheHiddenPassword)
{
    TStringList names;
    names.SetText("TBL_A\n  \n\nTBL B \n\t\nx");
    EXPECT_EQ(ExplorerChildNames(names), (std::vector<std::string>{"TBL_A", "TBL B ", "x"}))
        << "blank names are skipped, the others kept as received";

    TStringList params;
    params.SetText("USER_ID=ADMIN\nuser_pwd=secret\nFORCE=true\nUSER_PWDX=kept");
    TStringList lines;
    DefinitionLines(params, lines);
    EXPECT_EQ(lines.Values("USER_ID"), "ADMIN");
    EXPECT_EQ(lines.Values("USER_PWD"), "*********");
    EXPECT_EQ(lines.Values("USER_PWDX"), "kept");
    EXPECT_EQ(lines.Values("FORCE"), "true");
    EXPECT_EQ(params.Values("USER_PWD"), "secret") << "the parameters themselves keep the password";

    EXPECT_EQ(ErrorOf([] { CheckDBObject(nullptr); }), "Invalid database object");
    TDBObject data(dokTables, nullptr);
    EXPECT_EQ(&CheckDBObject(&data), &data);
    EXPECT_EQ(data.Kind(), dokTables);
    EXPECT_EQ(data.Connection(), nullptr);
    EXPECT_EQ(data.Database(), nullptr);
}

TEST(ExplorerRules, StructureRowsOfTheOpenDataSet)
{
    TKldDataContainer container;
    TKldDataTable* table = container.Tables().Add();
    table->SetName("Rows");
    table->Columns().AddColumn("COUNTER", cdtInteger, 0);
    table->Columns().AddColumn("NAME", cdtString, 40);
    TKldDataSet ds;
    ds.SetDataContainer(&container);
    ds.SetDataTableName("Rows");

    TStructureItems items;
    ListStructure(&ds, items);
    EXPECT_EQ(items.Count(), 0) << "a closed dataset lists nothing";
    ListStructure(nullptr, items);
    EXPECT_EQ(items.Count(), 0);

    ds.Open();
    ds.FieldByName("COUNTER")->SetRequired(true);
    ListStructure(&ds, items);
    ASSERT_EQ(items.Count(), 2);
    EXPECT_EQ(items.Items(0)->Name(), "COUNTER");
    EXPECT_EQ(items.Items(0)->Type(), "Integer");
    EXPECT_EQ(items.Items(0)->Size(), 4);
    EXPECT_TRUE(items.Items(0)->Required());
    EXPECT_EQ(items.Items(1)->Name(), "NAME");
    EXPECT_EQ(items.Items(1)->Type(), "String");
    EXPECT_EQ(items.Items(1)->Size(), 41) << "a string's size and its terminating zero";
    EXPECT_FALSE(items.Items(1)->Required());
    // The grid reads the rows by the columns' names.
    EXPECT_EQ(GetPropValue(*items.Items(0), "Required"), "True");
    EXPECT_EQ(GetPropValue(*items.Items(1), "Required"), "False");
    EXPECT_EQ(GetPropValue(*items.Items(1), "Size"), "41");

    CutDisplayWidths(ds);
    EXPECT_EQ(ds.FieldByName("NAME")->DisplayWidth(), 20);
    EXPECT_LE(ds.FieldByName("COUNTER")->DisplayWidth(), 20);
}

TEST(ExplorerRules, FieldDataSizes)
{
    struct TCase
    {
        TFieldType Type;
        int Size;
        int Expected;
    };
    const TCase cases[] = {
        {ftString, 30, 31},   {ftFixedChar, 2, 3}, {ftWideString, 10, 22}, {ftSmallint, 0, 2},
        {ftWord, 0, 2},       {ftBoolean, 0, 2},   {ftInteger, 0, 4},      {ftAutoInc, 0, 4},
        {ftDate, 0, 4},       {ftTime, 0, 4},      {ftFloat, 0, 8},        {ftCurrency, 0, 8},
        {ftDateTime, 0, 8},   {ftLargeint, 0, 8},  {ftBCD, 4, 34},         {ftFMTBcd, 8, 34},
        {ftTimeStamp, 0, 16}, {ftBytes, 16, 16},   {ftVarBytes, 16, 18},   {ftMemo, 0, 0},
        {ftBlob, 0, 0},       {ftGuid, 38, 39}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(FieldTypeName(c.Type));
        EXPECT_EQ(FieldDataSize(c.Type, c.Size), c.Expected);
    }
}

// --- The window against the local server

namespace {

const char* const kExplorerSql = R"sql(
INSERT INTO TBL_DBALIASES (COUNTER, ALIAS, DESCRIPTION, C_ENTERPRISE, CURRENT_USE) VALUES (50, 'DEMO', 'Demo', 1, 'T');
INSERT INTO TBL_USERS (COUNTER, USER_ID, USER_PASSWORD, FULL_NAME, USER_TYPE, C_ENTERPRISE, FACILITY_ACCESS_FLAG)
  VALUES (40, 'PROBE', 'probe-pw', 'Probe Manager', 'SYS', 1, 'A');
)sql";

class ExplorerWindow : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        SignInAsAdmin(Connection, Server, "MAIN");
        NameDatabase(System, "SYSTEM_DATA", "SYSTEM", "MAIN");
        NameDatabase(Data, "DATA", "DEMO", "MAIN");
        System.Open();
        Data.Open();
        Connection.OnExecute = [this](TObject*, TNembraRequest* request) {
            ++Calls[request->ProcedureName()];
        };
    }

    void TearDown() override
    {
        Explorer.reset();
        Connection.OnExecute = nullptr;
    }

    TfrmExplorerMain& Open()
    {
        Explorer = std::make_unique<TfrmExplorerMain>(nullptr, nullptr);
        Explorer->resize(900, 600);
        Explorer->ExecutePasswordDialog = [this](std::string& User, std::string& Password) {
            ++Prompts;
            User = PromptUser;
            Password = PromptPassword;
            return PromptAnswer;
        };
        return *Explorer;
    }

    QTreeWidgetItem* Main() { return Explorer->ConnectionNode(&Connection); }
    QTreeWidgetItem* Node(QTreeWidgetItem* Parent, const std::string& Caption)
    {
        return TfrmExplorerMain::ChildNode(Parent, Caption);
    }
    // Expands the node the way a click on its button does.
    void Expand(QTreeWidgetItem* Node) { Node->setExpanded(true); }
    QTreeWidgetItem* Table(TNembraDatabase& Db, const std::string& Name)
    {
        QTreeWidgetItem* db = Node(Main(), Db.DatabaseName());
        if (db && db->childCount() == 0)
            Expand(db);
        return Node(Node(db, "Tables"), Name);
    }
    int CallsOf(const std::string& Procedure) { return Calls[Procedure]; }

    TDialogScript Dialogs;
    TAppServerProcess Server{{}, kExplorerSql};
    TNembraConnection Connection;
    TNembraDatabase System;
    TNembraDatabase Data;
    std::map<std::string, int> Calls;
    std::unique_ptr<TfrmExplorerMain> Explorer;
    int Prompts = 0;
    bool PromptAnswer = true;
    std::string PromptUser = "PROBE";
    std::string PromptPassword = "probe-pw";
};

} // namespace

TEST_F(ExplorerWindow, TreeOfConnectionDatabasesFoldersAndPlugins)
{
    TfrmExplorerMain& w = Open();
    EXPECT_EQ(w.windowTitle().toStdString(), "Ondrel Explorer");
    QTreeWidgetItem* main = Main();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main->text(0).toStdString(), "MAIN");
    EXPECT_EQ(TfrmExplorerMain::NodeObject(main).Kind(), dokConnection);
    EXPECT_TRUE(main->isExpanded()) << "an active connection is expanded at creation";
    EXPECT_EQ(Children(main), (std::vector<std::string>{"SYSTEM_DATA", "DATA", "Plugins"}));
    // Each open database has its fixed SQL console; the pages stay as laid
    // out with "Data" active.
    ASSERT_EQ(w.Consoles().size(), 2u);
    EXPECT_NE(w.FixedConsole(&System), nullptr);
    EXPECT_NE(w.FixedConsole(&Data), nullptr);
    EXPECT_EQ(w.pgMain->ActivePage(), w.tsData);
    EXPECT_TRUE(w.tsDefinition->TabVisible());
    EXPECT_TRUE(w.tsStructure->TabVisible());

    QTreeWidgetItem* system = Node(main, "SYSTEM_DATA");
    EXPECT_EQ(TfrmExplorerMain::NodeObject(system).Database(), &System);
    EXPECT_EQ(Children(system), std::vector<std::string>{}) << "a database's folders wait for its expansion";
    Expand(system);
    EXPECT_EQ(Children(system), (std::vector<std::string>{"Tables", "StoredProcs"}));
    EXPECT_TRUE(Has(Children(Node(system, "Tables")), "TBL_USERS"));
    EXPECT_TRUE(Has(Children(Node(system, "StoredProcs")), "FACILITY_RESIDENTS"));
    EXPECT_EQ(TfrmExplorerMain::NodeObject(Node(Node(system, "Tables"), "TBL_USERS")).Kind(), dokTable);
    EXPECT_EQ(TfrmExplorerMain::NodeObject(Node(Node(system, "Tables"), "TBL_USERS")).Database(), &System);

    // Tables are asked per database: the demo alias has its residents,
    // the system database none of them.
    QTreeWidgetItem* data = Node(main, "DATA");
    Expand(data);
    EXPECT_TRUE(Has(Children(Node(data, "Tables")), "TBL_RESIDENT"));
    EXPECT_FALSE(Has(Children(Node(system, "Tables")), "TBL_RESIDENT"));

    QTreeWidgetItem* plugins = Node(main, "Plugins");
    EXPECT_EQ(TfrmExplorerMain::NodeObject(plugins).Connection(), &Connection);
    Expand(plugins);
    QTreeWidgetItem* demo = Node(plugins, "PLG_DEMO");
    ASSERT_NE(demo, nullptr);
    EXPECT_EQ(TfrmExplorerMain::NodeObject(demo).Kind(), dokPlugin);
    Expand(demo);
    QTreeWidgetItem* echo = Node(demo, "Echo");
    ASSERT_NE(echo, nullptr);
    EXPECT_EQ(TfrmExplorerMain::NodeObject(echo).Kind(), dokPluginProc);
    EXPECT_EQ(TfrmExplorerMain::NodeObject(echo).Connection(), &Connection);
    EXPECT_TRUE(Dialogs->Texts().empty()) << (Dialogs->Texts().empty() ? "" : Dialogs->Texts()[0]);
}

TEST_F(ExplorerWindow, ATableSelectedTwiceIsFetchedOnce)
{
    TfrmExplorerMain& w = Open();
    QTreeWidgetItem* users = Table(System, "TBL_USERS");
    ASSERT_NE(users, nullptr);
    const int before = CallsOf("Nembra.QueryFetch");
    w.SetCurrentNode(users);
    EXPECT_EQ(CallsOf("Nembra.QueryFetch"), before + 1);
    ASSERT_TRUE(w.tblData->Active());
    EXPECT_EQ(w.tblData->TableName(), "TBL_USERS");
    EXPECT_EQ(w.tblData->DatabaseName(), "SYSTEM_DATA");
    EXPECT_EQ(w.dsData->DataSet(), w.tblData);
    EXPECT_EQ(w.grdData->DataSource(), w.dsData);
    for (int i = 0; i < w.tblData->Fields().Count(); ++i)
        EXPECT_LE(w.tblData->Fields().Fields(i)->DisplayWidth(), 20)
            << w.tblData->Fields().Fields(i)->FieldName();
    EXPECT_TRUE(w.tsData->TabVisible());
    EXPECT_TRUE(w.tsStructure->TabVisible());
    EXPECT_FALSE(w.tsDefinition->TabVisible());
    EXPECT_EQ(w.pgMain->ActivePage(), w.tsData);
    EXPECT_TRUE(w.btnFilter->isEnabled());
    EXPECT_FALSE(w.btnFilter->font().bold());

    // "Structure": a row per field, the table name as caption.
    EXPECT_EQ(w.StructureItems().Count(), w.tblData->Fields().Count());
    EXPECT_EQ(w.cvStructure->Caption(), "TBL_USERS");
    EXPECT_EQ(w.StructureItems().Items(0)->Name(), w.tblData->Fields().Fields(0)->FieldName());
    EXPECT_EQ(w.StructureItems().Items(0)->Type(), FieldTypeName(w.tblData->Fields().Fields(0)->DataType()));

    // Away to the connection and back, then the same table by a double
    // click and in other letters: no second fetch.
    w.SetCurrentNode(Main());
    EXPECT_FALSE(w.tsData->TabVisible());
    EXPECT_EQ(w.pgMain->ActivePage(), w.tsDefinition);
    w.SetCurrentNode(users);
    EXPECT_EQ(w.pgMain->ActivePage(), w.tsData);
    w.SelectNode(users, true);
    users->setText(0, "tbl_users");
    w.SelectNode(users, false);
    EXPECT_EQ(CallsOf("Nembra.QueryFetch"), before + 1);

    // The same table name in another database is another table.
    TNembraDatabase copy;
    NameDatabase(copy, "SYSTEM_COPY", "SYSTEM", "MAIN");
    copy.Open();
    w.SetCurrentNode(Main());
    w.ExpandNode(Main());
    QTreeWidgetItem* copyUsers = Table(copy, "TBL_USERS");
    ASSERT_NE(copyUsers, nullptr);
    w.SetCurrentNode(copyUsers);
    EXPECT_EQ(CallsOf("Nembra.QueryFetch"), before + 2);
    EXPECT_EQ(w.tblData->DatabaseName(), "SYSTEM_COPY");
    Explorer.reset();
}

TEST_F(ExplorerWindow, DefinitionHidesThePasswordAndTheConnectionSignsInAgain)
{
    TNembraConnection probe;
    probe.SetConnectionName("PROBE");
    probe.SetServerURL(Server.ServerURL());
    probe.SetAuthentication(qauthBasic);
    probe.Params().SetText("USER_ID=PROBE\nUSER_PWD=probe-pw\nFORCE=True");
    probe.Open();
    TfrmExplorerMain& w = Open();
    QTreeWidgetItem* node = w.ConnectionNode(&probe);
    ASSERT_NE(node, nullptr);
    w.SetCurrentNode(node);
    EXPECT_EQ(w.ovDefinition->Caption(), "PROBE");
    TStringList shown;
    w.ovDefinition->GetValuesAsStrings(shown, false);
    EXPECT_EQ(shown.Values("USER_PWD"), "*********");
    EXPECT_EQ(shown.Values("USER_ID"), "PROBE");
    EXPECT_EQ(probe.Params().Values("USER_PWD"), "probe-pw");
    EXPECT_TRUE(w.tsDefinition->TabVisible());
    EXPECT_EQ(w.pgMain->ActivePage(), w.tsDefinition);
    probe.Close();
    EXPECT_EQ(ErrorOf([&] { probe.Open(); }), "");
    EXPECT_TRUE(probe.Active());

    // A database lists its parameters; a folder none.
    w.SetCurrentNode(Node(Main(), "SYSTEM_DATA"));
    EXPECT_EQ(w.ovDefinition->Caption(), "SYSTEM_DATA");
    w.ovDefinition->GetValuesAsStrings(shown, false);
    EXPECT_EQ(shown.Values("DB_ALIAS"), "SYSTEM");
    EXPECT_TRUE(w.tsDefinition->TabVisible());
    w.SetCurrentNode(Node(Main(), "Plugins"));
    w.ovDefinition->GetValuesAsStrings(shown, false);
    EXPECT_EQ(shown.Count(), 0);
    EXPECT_FALSE(w.tsDefinition->TabVisible());
    Explorer.reset();
}

TEST_F(ExplorerWindow, CommitIsDisabledUntilATransactionStarted)
{
    TfrmExplorerMain& w = Open();
    w.SetCurrentNode(Main());
    w.UpdateActions();
    EXPECT_FALSE(w.actStartTransaction->isEnabled()) << "a connection has no database";
    EXPECT_FALSE(w.actNewConsole->isEnabled());
    QTreeWidgetItem* system = Node(Main(), "SYSTEM_DATA");
    w.SetCurrentNode(system);
    EXPECT_TRUE(w.actStartTransaction->isEnabled());
    EXPECT_FALSE(w.actCommitTransaction->isEnabled());
    EXPECT_FALSE(w.actRollbackTransaction->isEnabled());
    EXPECT_TRUE(w.actNewConsole->isEnabled());
    w.actStartTransaction->trigger();
    EXPECT_TRUE(System.InTransaction());
    EXPECT_FALSE(w.actStartTransaction->isEnabled());
    EXPECT_TRUE(w.actCommitTransaction->isEnabled());
    EXPECT_TRUE(w.actRollbackTransaction->isEnabled());
    EXPECT_FALSE(Data.InTransaction());
    w.actRollbackTransaction->trigger();
    EXPECT_FALSE(System.InTransaction());
    EXPECT_FALSE(w.actCommitTransaction->isEnabled());
    w.actStartTransaction->trigger();
    w.actCommitTransaction->trigger();
    EXPECT_FALSE(System.InTransaction());

    // On a console page with a connection selected, the console's database
    // is the one the buttons judge and act on.
    w.SetCurrentNode(Main());
    w.SetActivePage(w.FixedConsole(&Data)->TabSheet());
    EXPECT_TRUE(w.actStartTransaction->isEnabled());
    w.actStartTransaction->trigger();
    EXPECT_TRUE(Data.InTransaction());
    EXPECT_FALSE(System.InTransaction());
    w.actRollbackTransaction->trigger();
    EXPECT_FALSE(Data.InTransaction());
    EXPECT_TRUE(Dialogs->Texts().empty());
    Explorer.reset();
}

TEST_F(ExplorerWindow, AFailedTableOpenLeavesDataAndStructureHidden)
{
    TfrmExplorerMain& w = Open();
    QTreeWidgetItem* users = Table(System, "TBL_USERS");
    ASSERT_NE(users, nullptr);
    // A table that went from the server since the folder was filled.
    users->setText(0, "TBL_GONE");
    w.SetActivePage(w.FixedConsole(&System)->TabSheet());
    Dialogs->QueueAnswer(mrOk);
    w.SetCurrentNode(users);
    ASSERT_EQ(Dialogs->Texts().size(), 1u);
    EXPECT_EQ(Dialogs->Texts()[0], "ORA-00942: table or view does not exist");
    EXPECT_FALSE(w.tblData->Active());
    EXPECT_FALSE(w.tsData->TabVisible());
    EXPECT_FALSE(w.tsStructure->TabVisible());
    EXPECT_EQ(w.StructureItems().Count(), 0);
    EXPECT_FALSE(w.btnFilter->isEnabled());
    EXPECT_EQ(w.dsData->DataSet(), w.tblData);
    Explorer.reset();
}

TEST_F(ExplorerWindow, AClosedConnectionWithoutPasswordAsksOnceAndSignsInWithForce)
{
    TNembraConnection second;
    second.SetConnectionName("SECOND");
    second.SetServerURL(Server.ServerURL());
    second.SetAuthentication(qauthBasic);
    second.Params().SetText("USER_ID=PROBE");
    TNembraConnection refused;
    refused.SetConnectionName("REFUSED");
    refused.SetServerURL(Server.ServerURL());
    refused.SetAuthentication(qauthBasic);
    TfrmExplorerMain& w = Open();
    EXPECT_EQ(Prompts, 0) << "only active connections are expanded at creation";
    QTreeWidgetItem* node = w.ConnectionNode(&second);
    ASSERT_NE(node, nullptr);
    EXPECT_FALSE(node->isExpanded());
    Expand(node);
    EXPECT_EQ(Prompts, 1);
    EXPECT_TRUE(second.Active());
    EXPECT_EQ(second.Params().Values("USER_ID"), "PROBE");
    EXPECT_EQ(second.Params().Values("USER_PWD"), "probe-pw");
    EXPECT_EQ(second.Params().Values("FORCE"), "true");
    EXPECT_EQ(second.Params().Values("OS"), ovnOS());
    EXPECT_EQ(Children(node), std::vector<std::string>{"Plugins"});
    w.SelectNode(node, true);
    w.ExpandNode(node);
    EXPECT_EQ(Prompts, 1) << "asked once";
    EXPECT_EQ(Children(node), std::vector<std::string>{"Plugins"});

    // A cancelled prompt leaves the connection closed.
    PromptAnswer = false;
    QTreeWidgetItem* other = w.ConnectionNode(&refused);
    Expand(other);
    EXPECT_EQ(Prompts, 2);
    EXPECT_FALSE(refused.Active());
    EXPECT_EQ(refused.Params().IndexOfName("FORCE"), -1);
    EXPECT_EQ(Children(other), std::vector<std::string>{"Plugins"});
    // "Open Connection" (a double click, then a click) offers the sign-in
    // again, though the node has its "Plugins" already.
    PromptAnswer = true;
    w.SetCurrentNode(other);
    w.actOpenConnection->trigger();
    EXPECT_EQ(Prompts, 3);
    EXPECT_TRUE(refused.Active());
    EXPECT_EQ(refused.Params().Values("FORCE"), "true");
    EXPECT_EQ(Children(other), std::vector<std::string>{"Plugins"});
    EXPECT_EQ(w.pgMain->ActivePage(), w.tsDefinition);
    EXPECT_TRUE(Dialogs->Texts().empty());
    Explorer.reset();
}

TEST_F(ExplorerWindow, ADoubleClickOpensWhatItFillsAndTogglesTheRest)
{
    TNembraConnection refused;
    refused.SetConnectionName("REFUSED");
    refused.SetServerURL(Server.ServerURL());
    refused.SetAuthentication(qauthBasic);
    TfrmExplorerMain& w = Open();
    auto doubleClick = [&](QTreeWidgetItem* node) { emit w.tvObjects->itemDoubleClicked(node, 0); };

    // A connection whose sign-in was cancelled: the double click that signs
    // it in leaves it open.
    PromptAnswer = false;
    QTreeWidgetItem* other = w.ConnectionNode(&refused);
    Expand(other);
    ASSERT_FALSE(refused.Active());
    other->setExpanded(false);
    PromptAnswer = true;
    doubleClick(other);
    EXPECT_TRUE(refused.Active());
    EXPECT_TRUE(other->isExpanded());

    // A folder without children is filled and shown open.
    QTreeWidgetItem* plugins = Node(Main(), "Plugins");
    ASSERT_EQ(plugins->childCount(), 0);
    doubleClick(plugins);
    EXPECT_GT(plugins->childCount(), 0);
    EXPECT_TRUE(plugins->isExpanded());
    // Filled already: the double click closes it, and the next opens it.
    doubleClick(plugins);
    EXPECT_FALSE(plugins->isExpanded());
    doubleClick(plugins);
    EXPECT_TRUE(plugins->isExpanded());
    EXPECT_TRUE(Dialogs->Texts().empty());
    Explorer.reset();
}

TEST_F(ExplorerWindow, ProceduresGoToTheirConsolesAndPagesRebindTheDataSource)
{
    TfrmExplorerMain& w = Open();
    QTreeWidgetItem* plugins = Node(Main(), "Plugins");
    Expand(plugins);
    QTreeWidgetItem* demo = Node(plugins, "PLG_DEMO");
    Expand(demo);
    EXPECT_FALSE(w.HasPluginConsole());
    w.SetCurrentNode(Node(demo, "Echo"));
    ASSERT_TRUE(w.HasPluginConsole());
    EXPECT_EQ(w.pgMain->ActivePage(), w.PluginConsole().TabSheet());
    EXPECT_EQ(w.PluginConsole().TabSheet()->Caption(), "PLG_DEMO.Echo");
    EXPECT_TRUE(w.PluginConsole().Ready());
    EXPECT_EQ(w.CurrentConsole(), &w.PluginConsole());

    QTreeWidgetItem* system = Node(Main(), "SYSTEM_DATA");
    Expand(system);
    w.SetCurrentNode(Node(Node(system, "StoredProcs"), "FACILITY_RESIDENTS"));
    ASSERT_TRUE(w.HasStoredProcConsole());
    EXPECT_EQ(w.pgMain->ActivePage(), w.StoredProcConsole().TabSheet());
    EXPECT_EQ(w.StoredProcConsole().TabSheet()->Caption(), "SYSTEM_DATA.FACILITY_RESIDENTS");

    // "Data" binds the data source to tblData; a console page to its own
    // dataset, and the page left lets go of it.
    w.SetCurrentNode(Node(Node(system, "Tables"), "TBL_USERS"));
    EXPECT_EQ(w.pgMain->ActivePage(), w.tsData);
    EXPECT_EQ(w.dsData->DataSet(), w.tblData);
    TSQLEditorObject* console = w.FixedConsole(&System);
    w.SetActivePage(console->TabSheet());
    EXPECT_EQ(w.dsData->DataSet(), &console->DataSet());
    EXPECT_EQ(console->ResultGrid()->DataSource(), w.dsData);
    EXPECT_EQ(w.grdData->DataSource(), nullptr);
    EXPECT_EQ(w.CurrentSQLConsole(), console);
    w.SetActivePage(w.tsData);
    EXPECT_EQ(w.dsData->DataSet(), w.tblData);
    EXPECT_EQ(w.grdData->DataSource(), w.dsData);
    EXPECT_EQ(console->ResultGrid()->DataSource(), nullptr);
    EXPECT_TRUE(Dialogs->Texts().empty()) << (Dialogs->Texts().empty() ? "" : Dialogs->Texts()[0]);
    Explorer.reset();
}

TEST_F(ExplorerWindow, NewAndClosedConsolesAndTheirActions)
{
    TfrmExplorerMain& w = Open();
    w.SetCurrentNode(Main());
    w.actNewConsole->setEnabled(true);
    Dialogs->QueueAnswer(mrOk);
    w.actNewConsole->trigger();
    ASSERT_EQ(Dialogs->Texts().size(), 1u);
    EXPECT_EQ(Dialogs->Texts()[0], "Please select a database");
    EXPECT_EQ(w.Consoles().size(), 2u);

    w.SetCurrentNode(Node(Main(), "DATA"));
    w.actNewConsole->trigger();
    ASSERT_EQ(w.Consoles().size(), 3u);
    TSQLEditorObject* made = w.CurrentSQLConsole();
    ASSERT_NE(made, nullptr);
    EXPECT_FALSE(made->Fixed());
    EXPECT_EQ(made->Database(), &Data);
    EXPECT_EQ(made->TabSheet()->Tag(), 1) << "its tab carries the close icon";
    EXPECT_TRUE(w.actCloseConsole->isEnabled());
    EXPECT_FALSE(w.actExecute->isEnabled()) << "nothing typed yet";
    made->SetSQLText("select * from tbl_resident");
    EXPECT_TRUE(w.actExecute->isEnabled()) << "the actions follow the typed text";
    EXPECT_TRUE(w.actExecuteFetchAll->isEnabled());
    w.actExecute->trigger();
    EXPECT_TRUE(made->DataSetOpen());
    EXPECT_TRUE(w.actExportCSV->isEnabled());
    EXPECT_TRUE(w.actShowSQLInfo->isChecked());
    EXPECT_FALSE(w.actPreviousSQL->isEnabled()) << "one history entry";
    w.actShowSQLInfo->trigger();
    EXPECT_FALSE(made->ResultAreaVisible());
    EXPECT_FALSE(w.actShowSQLInfo->isChecked());

    // The new console runs on the console's database when the node has
    // none; closing it drops its history and leaves a fixed one.
    w.SetCurrentNode(Main());
    w.SetActivePage(made->TabSheet());
    w.actNewConsole->trigger();
    ASSERT_EQ(w.Consoles().size(), 4u);
    EXPECT_EQ(w.CurrentSQLConsole()->Database(), &Data);
    w.actCloseConsole->trigger();
    EXPECT_EQ(w.Consoles().size(), 3u);
    w.SetActivePage(made->TabSheet());
    EXPECT_EQ(w.History().CountOf(made), 1);
    w.actCloseConsole->trigger();
    EXPECT_EQ(w.Consoles().size(), 2u);
    EXPECT_EQ(w.History().Count(), 0);
    TSQLEditorObject* fixed = w.FixedConsole(&System);
    w.SetActivePage(fixed->TabSheet());
    EXPECT_FALSE(w.actCloseConsole->isEnabled());
    w.CloseConsole(fixed);
    EXPECT_EQ(w.Consoles().size(), 2u) << "a fixed console stays";
    EXPECT_EQ(Dialogs->Texts().size(), 1u);

    // The shortcuts and captions of the actions.
    struct TShortcut
    {
        QAction* Action;
        const char* Caption;
        const char* Keys;
    };
    const TShortcut shortcuts[] = {
        {w.actNewConsole, "New SQL console", "Ctrl+N"},
        {w.actExecute, "Execute SQL", "Ctrl+E"},
        {w.actExecuteFetchAll, "Execute SQL and Fetch All", "Ctrl+Shift+E"},
        {w.actExecuteScript, "Execute SQL Script", "Ctrl+Return"},
        {w.actCut, "Cu&t", "Ctrl+X"},
        {w.actCopy, "&Copy", "Ctrl+C"},
        {w.actPaste, "&Paste", "Ctrl+V"},
        {w.actSelectAll, "Select &All", "Ctrl+A"},
        {w.actUndo, "&Undo", "Ctrl+Z"},
        {w.actStartTransaction, "Start Transaction", ""},
        {w.actCommitTransaction, "Commit Transaction", ""},
        {w.actRollbackTransaction, "Rollback Transaction", ""},
        {w.actCloseConsole, "Close SQL console", ""},
        {w.actLoadSQL, "Load SQL", ""},
        {w.actSaveSQL, "Save SQL", ""},
        {w.actExportCSV, "Export to CSV", ""},
        {w.actShowBlobs, "Show BLOBs", ""},
        {w.actShowSQLInfo, "Show SQL Info", ""},
        {w.actPreviousSQL, "Previous SQL", ""},
        {w.actNextSQL, "Next SQL", ""},
        {w.actOpenConnection, "Open Connection", ""},
    };
    for (const TShortcut& s : shortcuts) {
        SCOPED_TRACE(s.Caption);
        EXPECT_EQ(s.Action->text().toStdString(), s.Caption);
        EXPECT_EQ(s.Action->shortcut().toString().toStdString(), s.Keys);
    }
    Explorer.reset();
}

TEST_F(ExplorerWindow, TheDataPageNavigatorFilterAndBlobViewer)
{
    TfrmExplorerMain& w = Open();
    const std::vector<std::pair<TNavigateBtn, const char*>> hints = {
        {nbFirst, "First "},       {nbPrior, "Prior"},    {nbNext, "Next"},
        {nbLast, "Last fetched "}, {nbInsert, "Insert "}, {nbDelete, "Delete "},
        {nbEdit, "Edit "},         {nbPost, "Post "},     {nbCancel, "Cancel "}};
    for (const auto& [button, hint] : hints) {
        SCOPED_TRACE(hint);
        EXPECT_TRUE(w.navData->ButtonVisible(button));
        EXPECT_EQ(w.navData->Hint(button), hint);
    }
    EXPECT_FALSE(w.btnFilter->isEnabled()) << "no table yet";
    w.SetCurrentNode(Table(System, "TBL_USERS"));
    ASSERT_TRUE(w.tblData->Active());
    EXPECT_TRUE(w.navData->Button(nbInsert)->isEnabled());
    EXPECT_TRUE(w.navData->Button(nbEdit)->isEnabled());
    EXPECT_FALSE(w.navData->Button(nbPost)->isEnabled());
    w.navData->BtnClick(nbEdit);
    EXPECT_TRUE(w.navData->Button(nbPost)->isEnabled());
    EXPECT_TRUE(w.navData->Button(nbCancel)->isEnabled());
    w.navData->BtnClick(nbCancel);
    EXPECT_FALSE(w.navData->Button(nbPost)->isEnabled());

    // A filter turns the button bold; a closed table disables it.
    w.tblData->Close();
    w.tblData->SQLSchema().ApplyFilter("T1.USER_ID = 'ADMIN'", "");
    w.tblData->Open();
    EXPECT_TRUE(w.btnFilter->isEnabled());
    EXPECT_TRUE(w.btnFilter->font().bold());
    EXPECT_EQ(w.tblData->RecordCount(), 1);
    w.tblData->Close();
    EXPECT_FALSE(w.btnFilter->isEnabled());
    EXPECT_FALSE(w.btnFilter->font().bold());

    // A double click on the grid opens the BLOB viewer on its field.
    w.tblData->Open();
    std::vector<std::string> viewed;
    w.ShowBlobViewer = [&](TField* Field) { viewed.push_back(Field ? Field->FieldName() : "<none>"); };
    w.grdData->setCurrentIndex(w.grdData->model()->index(0, 1));
    emit w.grdData->doubleClicked(w.grdData->currentIndex());
    ASSERT_EQ(viewed.size(), 1u);
    EXPECT_EQ(viewed[0], w.grdData->Model().ColumnField(1)->FieldName());
    EXPECT_TRUE(Dialogs->Texts().empty()) << (Dialogs->Texts().empty() ? "" : Dialogs->Texts()[0]);
    Explorer.reset();
}

TEST_F(ExplorerWindow, ClosingReleasesTheTableAndTheConsoles)
{
    TfrmExplorerMain& w = Open();
    w.SetCurrentNode(Table(System, "TBL_USERS"));
    ASSERT_TRUE(w.tblData->Active());
    TFormCloseAction action = fcaNone;
    w.FormClose(action);
    EXPECT_EQ(action, fcaFree);
    EXPECT_FALSE(w.tblData->Active());
    EXPECT_EQ(w.dsData->DataSet(), nullptr);
    EXPECT_TRUE(w.Consoles().empty());
    EXPECT_EQ(System.GetDataSetCount(), 0);
    Explorer.reset();
}

TEST_F(ExplorerWindow, ADestroyedDatabaseLeavesItsNodesWithoutObject)
{
    auto extra = std::make_unique<TNembraDatabase>();
    NameDatabase(*extra, "EXTRA", "SYSTEM", "MAIN");
    extra->Open();
    TfrmExplorerMain& w = Open();
    QTreeWidgetItem* node = Node(Main(), "EXTRA");
    ASSERT_NE(node, nullptr);
    Expand(node);
    QTreeWidgetItem* tables = Node(node, "Tables");
    extra.reset();
    EXPECT_EQ(ErrorOf([&] { TfrmExplorerMain::NodeObject(node); }), "Invalid database object");
    EXPECT_EQ(ErrorOf([&] { w.FillFolder(tables); }), "Invalid database object");
    Dialogs->QueueAnswer(mrOk);
    w.SetCurrentNode(node);
    ASSERT_EQ(Dialogs->Texts().size(), 1u);
    EXPECT_EQ(Dialogs->Texts()[0], "Invalid database object");
    Explorer.reset();
}

TEST(ExplorerServer, AReplyWithoutDataIsAClearError)
{
    TDialogScript dialogs;
    TAppServerProcess server({"--object-names-without-data"});
    TNembraConnection connection;
    SignInAsAdmin(connection, server, "MAIN");
    TNembraDatabase system;
    NameDatabase(system, "SYSTEM_DATA", "SYSTEM", "MAIN");
    system.Open();
    TfrmExplorerMain w(nullptr, nullptr);
    QTreeWidgetItem* db = TfrmExplorerMain::ChildNode(w.ConnectionNode(&connection), "SYSTEM_DATA");
    ASSERT_NE(db, nullptr);
    dialogs->QueueAnswer(mrOk);
    db->setExpanded(true);
    ASSERT_EQ(dialogs->Texts().size(), 1u);
    EXPECT_EQ(dialogs->Texts()[0], "The server's reply to Nembra.GetObjectNames holds no \"Data\" array");
    QTreeWidgetItem* tables = TfrmExplorerMain::ChildNode(db, "Tables");
    ASSERT_NE(tables, nullptr);
    EXPECT_EQ(tables->childCount(), 0);
    TStringList names;
    names.Add("kept");
    EXPECT_EQ(ErrorOf([&] { connection.GetPluginNames(names); }),
              "The server's reply to Nembra.GetObjectNames holds no \"Data\" array");
    EXPECT_EQ(names.Count(), 1) << "the caller's list is left as it was";
}

// What the README's demo road does in the explorer: TBL_USERS on "Data", a
// query and a script in the SQL console, a stored procedure and PLG_DEMO's
// Echo in their consoles, each through the window's actions.
TEST_F(ExplorerWindow, TheDemoRoadThroughTheActions)
{
    TfrmExplorerMain& w = Open();
    w.SetCurrentNode(Table(System, "TBL_USERS"));
    ASSERT_TRUE(w.tblData->Active());
    EXPECT_GT(w.tblData->RecordCount(), 0);

    TSQLEditorObject* sql = w.FixedConsole(&System);
    w.SetActivePage(sql->TabSheet());
    sql->SetSQLText("select * from tbl_users");
    ASSERT_TRUE(w.actExecute->isEnabled());
    w.actExecute->trigger();
    EXPECT_TRUE(sql->DataSetOpen());
    EXPECT_EQ(w.dsData->DataSet(), &sql->DataSet());
    EXPECT_NE(sql->LogText().find("Fetched"), std::string::npos) << sql->LogText();
    sql->SetSQLText("update tbl_users set full_name = full_name where counter = 40;\n"
                    "update tbl_users set full_name = full_name where counter = 2;");
    w.actExecuteScript->trigger();
    EXPECT_NE(sql->LogText().find("Rows affected: 2"), std::string::npos) << sql->LogText();
    w.actPreviousSQL->trigger();
    EXPECT_EQ(sql->SQLText(), "select * from tbl_users");

    QTreeWidgetItem* data = Node(Main(), "DATA");
    Expand(data);
    w.SetCurrentNode(Node(Node(data, "StoredProcs"), "FACILITY_RESIDENTS"));
    TStoredProcEditorObject& procs = w.StoredProcConsole();
    ASSERT_TRUE(procs.Ready());
    std::string one = "1";
    procs.ParamGrid()->DoSetCellText(3, 0, one);
    w.actExecute->trigger();
    std::string count;
    procs.ParamGrid()->DoGetCellText(3, 1, count);
    EXPECT_FALSE(count.empty());
    EXPECT_EQ(procs.LogText().rfind("StoredProc executed:", 0), 0u) << procs.LogText();

    QTreeWidgetItem* plugins = Node(Main(), "Plugins");
    Expand(plugins);
    QTreeWidgetItem* demo = Node(plugins, "PLG_DEMO");
    Expand(demo);
    w.SetCurrentNode(Node(demo, "Echo"));
    TPluginEditorObject& echo = w.PluginConsole();
    std::string text = "ab";
    std::string times = "2";
    echo.ParamGrid()->DoSetCellText(3, 0, text);
    echo.ParamGrid()->DoSetCellText(3, 1, times);
    w.actExecute->trigger();
    std::string out;
    echo.ParamGrid()->DoGetCellText(3, 2, out);
    EXPECT_EQ(out, "abab");
    EXPECT_TRUE(Dialogs->Texts().empty()) << (Dialogs->Texts().empty() ? "" : Dialogs->Texts()[0]);
    Explorer.reset();
}
