// The explorer's consoles against the local application server: an SQL
// console running queries, statements and scripts with their logs, fetch
// all in one request, refused constructs, history, files and CSV export;
// the stored-procedure and plug-in consoles with their parameter grids.
#include "admin/ExplorerConsoles.h"
#include "admin/ConsoleRules.h"
#include "admin/SQLHistory.h"

#include "Components/Nembra/NembraDBDataSets.h"
#include "Components/Nembra/NembraProcedures.h"
#include "Components/Nembra/ovnOndrel.h"
#include "platform/DBGrids.h"
#include "platform/DataSource.h"
#include "platform/Fields.h"
#include "platform/StockControls.h"
#include "ui/KldCollectionView.h"
#include "ui/KldTabControl.h"

#include "AdminServerTesting.h"
#include "support/AppServerSession.h"
#include "support/DialogScript.h"
#include "support/ErrorOf.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QSplitter>
#include <QSplitterHandle>

#include <map>

namespace {

// The demo alias (the data database with residents) and a numbered table of
// 120 rows in the system database, one of them with a quote in its note.
const char* const kConsoleSql = R"sql(
INSERT INTO TBL_DBALIASES (COUNTER, ALIAS, DESCRIPTION, C_ENTERPRISE, CURRENT_USE) VALUES (50, 'DEMO', 'Demo', 1, 'T');
CREATE TABLE TBL_NUMBERS (COUNTER INTEGER PRIMARY KEY, NAME VARCHAR2(30), NOTE VARCHAR2(60));
WITH RECURSIVE N(I) AS (SELECT 1 UNION ALL SELECT I + 1 FROM N WHERE I < 120)
INSERT INTO TBL_NUMBERS SELECT I, 'Number ' || I, NULL FROM N;
UPDATE TBL_NUMBERS SET NOTE = 'say "hi"' WHERE COUNTER = 2;
)sql";

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            return lines;
        start = end + 1;
    }
}

class ExplorerConsoles : public ::testing::Test
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
        Host.resize(800, 600);
        Pages = new TKldPageControl(&Host);
        Pages->setGeometry(0, 0, 800, 600);
    }

    void TearDown() override { Connection.OnExecute = nullptr; }

    std::unique_ptr<TSQLEditorObject> NewSQL(TNembraDatabase* database, bool fixed = true)
    {
        return std::make_unique<TSQLEditorObject>(*Pages, dsData, History, database, fixed);
    }

    // Runs the console and answers the error it raised ("" when none).
    template <class Fn> std::string Run(Fn&& fn) { return ErrorOf(std::forward<Fn>(fn)); }

    int CallsOf(const std::string& procedure) { return Calls[procedure]; }

    long long ServerCount(const std::string& sql) { return ServerNumber(Server.DatabaseFile(), sql); }

    TAppServerProcess Server{{}, kConsoleSql};
    TNembraConnection Connection;
    TNembraDatabase System;
    TNembraDatabase Data;
    QWidget Host;
    TKldPageControl* Pages = nullptr;
    TDataSource dsData;
    TSQLHistory History;
    std::map<std::string, int> Calls;
};

} // namespace

TEST_F(ExplorerConsoles, ResultAreaIsHiddenUntilSomethingRanThenTakesHalfThePage)
{
    Host.show();
    auto console = NewSQL(&System);
    TTabSheet* sheet = console->TabSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->Caption(), "SYSTEM_DATA");
    EXPECT_EQ(sheet->ImageIndex(), 1);
    EXPECT_EQ(sheet->Tag(), 0) << "a fixed console's page has no close icon";
    EXPECT_EQ(console->Kind(), "SQL");
    EXPECT_TRUE(console->Fixed());
    EXPECT_FALSE(console->ResultAreaVisible());

    EXPECT_EQ(console->SQLEditor()->font().family().toStdString(), "Courier New");
    EXPECT_EQ(console->SQLEditor()->font().pointSize(), 10);
    EXPECT_EQ(console->Log()->font().family().toStdString(), "Courier New");
    EXPECT_EQ(console->Log()->font().pointSize(), 8);
    EXPECT_TRUE(console->Log()->ReadOnly());
    EXPECT_EQ(console->Log()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(console->Log()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(console->SQLEditor()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    ASSERT_EQ(console->ResultTabs()->Tabs().Count(), 2);
    EXPECT_EQ(console->ResultTabs()->Tabs()[0], "Execute Log");
    EXPECT_EQ(console->ResultTabs()->Tabs()[1], "Result Set");
    EXPECT_EQ(console->ResultTabs()->TabPosition(), tpBottom);
    EXPECT_EQ(console->ResultTabs()->height(), 25);
    EXPECT_EQ(console->Splitter()->handleWidth(), 5);

    console->SetSQLText("select 1 from dual");
    EXPECT_EQ(Run([&] { console->Execute(); }), "");
    QApplication::processEvents();
    ASSERT_TRUE(console->ResultAreaVisible());
    const int sheetHeight = sheet->height();
    EXPECT_NEAR(console->ResultPanel()->height(), sheetHeight / 2, 5) << "half as high as the sheet";
    EXPECT_GT(console->ResultPanel()->y(), console->SQLEditor()->y()) << "at the bottom, under the editor";

    // The splitter's colour $E9E9E9.
    QSplitterHandle* handle = console->Splitter()->handle(1);
    ASSERT_NE(handle, nullptr);
    const QImage picture = handle->grab().toImage();
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.pixelColor(picture.width() / 2, picture.height() / 2).rgb() & 0xFFFFFF, 0xE9E9E9u);

    // Choosing "Execute Log" shows the log; "Result Set" the open result.
    console->ResultTabs()->UpdateTabIndex(0);
    EXPECT_TRUE(console->Log()->isVisibleTo(sheet));
    EXPECT_FALSE(console->ResultGrid()->isVisibleTo(sheet));
    console->ResultTabs()->UpdateTabIndex(1);
    EXPECT_TRUE(console->ResultGrid()->isVisibleTo(sheet));
    EXPECT_FALSE(console->Log()->isVisibleTo(sheet));
    auto closed = NewSQL(&System);
    closed->SetSQLText("update tbl_numbers set note = note where counter = 1");
    ASSERT_EQ(Run([&] { closed->Execute(); }), "");
    closed->ResultTabs()->UpdateTabIndex(1);
    EXPECT_TRUE(closed->Log()->isVisibleTo(closed->TabSheet())) << "no result to show: the log stays";
    EXPECT_FALSE(closed->ResultGrid()->isVisibleTo(closed->TabSheet()));

    // "Show SQL Info" hides and shows it again, as it was.
    EXPECT_FALSE(console->ToggleResultArea());
    EXPECT_FALSE(console->ResultAreaVisible());
    EXPECT_TRUE(console->ToggleResultArea());
    EXPECT_EQ(console->ResultTabs()->TabIndex(), 1);
    EXPECT_TRUE(console->ResultGrid()->isVisibleTo(sheet));
    EXPECT_FALSE(console->Log()->isVisibleTo(sheet));
}

TEST_F(ExplorerConsoles, LowerCaseSelectAfterBlanksOpensAsQuery)
{
    auto console = NewSQL(&System);
    console->SetSQLText("  select counter, name, note\n  from tbl_numbers where counter <= 12");
    EXPECT_TRUE(console->CanRun());
    EXPECT_EQ(Run([&] { console->Execute(); }), "");
    ASSERT_TRUE(console->DataSetOpen());
    EXPECT_EQ(dsData.DataSet(), &console->DataSet()) << "the explorer's data source shows the result";
    EXPECT_EQ(console->ResultGrid()->DataSource(), &dsData);
    EXPECT_EQ(console->ResultTabs()->TabIndex(), 1) << "\"Result Set\"";
    for (int i = 0; i < console->DataSet().FieldCount(); ++i)
        EXPECT_LE(console->DataSet().Fields()[i]->DisplayWidth(), 20);

    const std::vector<std::string> log = Lines(console->LogText());
    ASSERT_EQ(log.size(), 4u) << console->LogText();
    EXPECT_EQ(log[0], "SQL Executed:");
    EXPECT_EQ(log[1].rfind("  Compression: ", 0), 0u) << log[1];
    EXPECT_EQ(log[2].rfind("  Bytes Sent: ", 0), 0u) << log[2];
    EXPECT_EQ(log[3], "Fetched 12 rows in 3 columns");
    EXPECT_EQ(console->HistoryCount(), 1);
    EXPECT_EQ(console->HistoryPosition(), 0);
}

TEST_F(ExplorerConsoles, OtherTextsRunAsStatementsAndReportRowsAffected)
{
    auto console = NewSQL(&System);
    struct Case
    {
        const char* Desc;
        std::string Text;
        std::string Last;
    };
    const Case cases[] = {
        {"an update", "update tbl_numbers set note = 'x' where counter <= 3", "Rows affected: 3"},
        {"a WITH clause that returns rows", "WITH X AS (SELECT COUNTER FROM TBL_NUMBERS) SELECT * FROM X",
         "Rows affected: 0"},
        {"an insert on two lines", "insert into tbl_numbers (counter, name)\nvalues (300, 'three hundred')",
         "Rows affected: 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        console->SetSQLText(c.Text);
        EXPECT_EQ(Run([&] { console->Execute(); }), "");
        EXPECT_FALSE(console->DataSetOpen());
        EXPECT_EQ(console->ResultTabs()->TabIndex(), 0) << "\"Execute Log\"";
        const std::vector<std::string> log = Lines(console->LogText());
        ASSERT_EQ(log.size(), 4u) << console->LogText();
        EXPECT_EQ(log[0], "SQL Executed:");
        EXPECT_EQ(log[3], c.Last);
    }
    EXPECT_EQ(ServerCount("SELECT COUNT(*) FROM TBL_NUMBERS WHERE NOTE = 'x'"), 3);
    EXPECT_EQ(ServerCount("SELECT COUNT(*) FROM TBL_NUMBERS WHERE COUNTER = 300"), 1);
    EXPECT_EQ(CallsOf(NembraProcedure::QueryFetch), 0) << "nothing was opened";
    EXPECT_EQ(console->HistoryCount(), 3);
}

TEST_F(ExplorerConsoles, ScriptRunsEveryStatementInScriptMode)
{
    auto console = NewSQL(&System);
    const std::string script = "insert into tbl_numbers (counter, name) values (501, 'a');\n"
                               "insert into tbl_numbers (counter, name) values (502, 'b');\n"
                               "update tbl_numbers set note = 'scripted' where counter in (501, 502, 503);";
    console->SetSQLText(script);
    EXPECT_EQ(Run([&] { console->ExecuteScript(); }), "");
    EXPECT_EQ(Lines(console->LogText()).back(), "Rows affected: 4");
    EXPECT_EQ(ServerCount("SELECT COUNT(*) FROM TBL_NUMBERS WHERE NOTE = 'scripted'"), 2);

    // The same kind of text without the script flag is one statement, which
    // the server refuses; the refusal is logged and nothing ran.
    console->SetSQLText("insert into tbl_numbers (counter, name) values (601, 'a');\n"
                        "insert into tbl_numbers (counter, name) values (602, 'b');");
    const std::string raised = Run([&] { console->Execute(); });
    EXPECT_EQ(raised.rfind("ORA-00933", 0), 0u) << raised;
    EXPECT_EQ(Lines(console->LogText())[0], "SQL Executed with errors:");
    EXPECT_EQ(ServerCount("SELECT COUNT(*) FROM TBL_NUMBERS WHERE COUNTER > 600"), 0);
}

TEST_F(ExplorerConsoles, FetchAllTakesEveryRowInOneRequest)
{
    auto console = NewSQL(&System);
    console->SetSQLText("select * from tbl_numbers order by counter");
    EXPECT_EQ(Run([&] { console->Execute(); }), "");
    // Pages of the connection's default size (50 rows), as many as the
    // result grid reads.
    EXPECT_GT(CallsOf(NembraProcedure::QueryFetch), 1);

    Calls.clear();
    EXPECT_EQ(Run([&] { console->ExecuteFetchAll(); }), "");
    EXPECT_EQ(CallsOf(NembraProcedure::QueryFetch), 1) << "one request";
    EXPECT_EQ(Lines(console->LogText()).back(), "Fetched 120 rows in 3 columns");
    EXPECT_EQ(console->HistoryCount(), 1) << "the same text ran twice";
}

TEST_F(ExplorerConsoles, RefusedConstructsAreLoggedAndRaised)
{
    auto console = NewSQL(&System);
    struct Case
    {
        const char* Desc;
        std::string Text;
        std::string Error;
    };
    const Case cases[] = {
        {"a query", "select level from dual connect by level <= 3",
         "ORA-03001: unimplemented feature: CONNECT BY"},
        {"a statement",
         "merge into tbl_numbers t using dual on (t.counter = 1) when matched then update set note = 'm'",
         "ORA-03001: unimplemented feature: MERGE"},
        {"an unknown table", "select * from tbl_nowhere", "ORA-00942"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        console->SetSQLText(c.Text);
        const std::string raised = Run([&] { console->Execute(); });
        EXPECT_EQ(raised.rfind(c.Error, 0), 0u) << raised;
        EXPECT_FALSE(console->DataSetOpen());
        EXPECT_EQ(dsData.DataSet(), nullptr) << "the data source lets the failed query go";
        EXPECT_TRUE(console->ResultAreaVisible());
        EXPECT_EQ(console->ResultTabs()->TabIndex(), 0);
        const std::vector<std::string> log = Lines(console->LogText());
        ASSERT_GE(log.size(), 2u);
        EXPECT_EQ(log[0], "SQL Executed with errors:");
        EXPECT_EQ(log[1].rfind(c.Error, 0), 0u) << "the server's error is in the log: " << log[1];
    }
    EXPECT_EQ(console->HistoryCount(), 0) << "failed texts are not kept";
}

TEST_F(ExplorerConsoles, WithoutDatabaseNothingRuns)
{
    auto console = NewSQL(nullptr, false);
    console->SetSQLText("select 1 from dual");
    EXPECT_FALSE(console->CanRun());
    EXPECT_EQ(Run([&] { console->Execute(); }), "Unknown database");
    EXPECT_FALSE(console->ResultAreaVisible());

    auto empty = NewSQL(&System);
    EXPECT_FALSE(empty->CanRun()) << "an empty editor";
    empty->SetSQLText("select 1 from dual");
    EXPECT_TRUE(empty->CanRun());
}

TEST_F(ExplorerConsoles, HistorySteppingAndClosingAConsole)
{
    auto fixed = NewSQL(&System);
    auto closable = NewSQL(&System, false);
    EXPECT_EQ(closable->TabSheet()->Tag(), 1) << "the page control draws its close icon";
    const auto states = [](TSQLEditorObject& c) {
        return ConsoleActionStates(
            {true, true, c.CanRun(), c.Fixed(), c.DataSetOpen(), c.HistoryPosition(), c.HistoryCount()});
    };

    fixed->SetSQLText("select 1 from dual");
    EXPECT_EQ(Run([&] { fixed->Execute(); }), "");
    fixed->SetSQLText("SELECT 1 FROM DUAL");
    EXPECT_EQ(Run([&] { fixed->Execute(); }), "");
    EXPECT_EQ(fixed->HistoryCount(), 1) << "the same text twice";
    EXPECT_FALSE(states(*fixed).PreviousSQL) << "one entry";
    EXPECT_FALSE(states(*fixed).NextSQL);
    EXPECT_FALSE(states(*fixed).CloseConsole) << "the fixed console of a database";

    fixed->SetSQLText("select 2 from dual");
    EXPECT_EQ(Run([&] { fixed->Execute(); }), "");
    EXPECT_EQ(fixed->HistoryPosition(), 1);
    EXPECT_TRUE(states(*fixed).PreviousSQL);
    fixed->PreviousSQL();
    EXPECT_EQ(fixed->SQLText(), "select 1 from dual");
    EXPECT_EQ(fixed->HistoryPosition(), 0);
    fixed->PreviousSQL();
    EXPECT_EQ(fixed->HistoryPosition(), 0) << "previous works from position 1";
    fixed->NextSQL();
    EXPECT_EQ(fixed->SQLText(), "select 2 from dual");
    fixed->NextSQL();
    EXPECT_EQ(fixed->HistoryPosition(), 1) << "next works up to count minus 1";

    closable->SetSQLText("select 3 from dual");
    EXPECT_EQ(Run([&] { closable->Execute(); }), "");
    EXPECT_TRUE(states(*closable).CloseConsole);
    EXPECT_EQ(History.Count(), 3);
    EXPECT_EQ(dsData.DataSet(), &closable->DataSet());

    Pages->SetActivePage(closable->TabSheet());
    ASSERT_EQ(Pages->PageCount(), 2);
    closable.reset();
    EXPECT_EQ(History.Count(), 2) << "its texts leave the shared history";
    for (int i = 0; i < History.Count(); ++i)
        EXPECT_EQ(History.Objects(i), fixed.get());
    EXPECT_EQ(Pages->PageCount(), 1) << "destroyed with its page";
    EXPECT_EQ(Pages->ActivePage(), fixed->TabSheet()) << "the page before becomes active";
    EXPECT_EQ(dsData.DataSet(), nullptr) << "the data source let the closed console's query go";
}

TEST_F(ExplorerConsoles, SQLFilesAreLoadedAndSaved)
{
    TTempFolder folder;
    TDialogScript dialogs;
    auto console = NewSQL(&System);
    console->SetSQLText("select *\nfrom tbl_users");
    const std::string file = folder / "users.sql";
    dialogs->QueueFileName(file);
    console->SaveSQL();
    EXPECT_EQ(ReadText(file), "select *\r\nfrom tbl_users\r\n");

    console->SetSQLText("");
    dialogs->QueueFileName(file);
    console->LoadSQL();
    EXPECT_EQ(console->SQLText(), "select *\nfrom tbl_users");

    dialogs->QueueFileName(""); // cancelled
    console->SetSQLText("kept");
    console->LoadSQL();
    EXPECT_EQ(console->SQLText(), "kept");

    const std::vector<TFileDialogRequest> requests = dialogs->FileRequests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].Kind, fdSave);
    EXPECT_EQ(requests[1].Kind, fdOpen);
    for (const TFileDialogRequest& r : requests) {
        EXPECT_EQ(r.Filter, "SQL files|*.sql|All Files|*.*");
        EXPECT_EQ(r.DefaultExt, "sql");
    }

    EXPECT_NE(ErrorOf([&] { console->LoadSQLFromFile(folder / "missing.sql"); }), "");
    EXPECT_EQ(console->SQLText(), "kept") << "an unreadable file changes nothing";
    EXPECT_NE(ErrorOf([&] { console->SaveSQLToFile(folder / "no-such-folder/x.sql"); }), "");
}

TEST_F(ExplorerConsoles, CSVExportQuotesEveryValueAndKeepsThePosition)
{
    TTempFolder folder;
    TDialogScript dialogs;
    auto console = NewSQL(&System);
    EXPECT_NE(ErrorOf([&] { console->ExportToCSV(); }), "") << "nothing to export yet";

    console->SetSQLText("select counter, name, note from tbl_numbers where counter <= 3 order by counter");
    ASSERT_EQ(Run([&] { console->Execute(); }), "");
    TNembraDBDataSet& result = console->DataSet();
    result.Next();
    ASSERT_EQ(result.RecNo(), 2);

    const std::string file = folder / "numbers.csv";
    WriteText(file, "old");
    dialogs->QueueFileName(file);
    console->ExportToCSV();
    EXPECT_EQ(ReadText(file), "\"COUNTER\",\"NAME\",\"NOTE\"\r\n"
                              "\"1\",\"Number 1\",\"\"\r\n"
                              "\"2\",\"Number 2\",\"say \"\"hi\"\"\"\r\n"
                              "\"3\",\"Number 3\",\"\"\r\n");
    EXPECT_EQ(dialogs->Texts(), std::vector<std::string>{"Done!"});
    EXPECT_EQ(result.RecNo(), 2) << "back on the row it was on";
    ASSERT_EQ(dialogs->FileRequests().size(), 1u);
    EXPECT_EQ(dialogs->FileRequests()[0].Kind, fdSave);
    EXPECT_EQ(dialogs->FileRequests()[0].Filter, "CSV files|*.csv|All Files|*.*");
    EXPECT_EQ(dialogs->FileRequests()[0].DefaultExt, "csv");

    // A file that cannot be written raises, shows no "Done!" and still
    // returns to the row.
    result.First();
    EXPECT_NE(ErrorOf([&] { console->ExportToCSVFile(folder / "no-such-folder/x.csv"); }), "");
    EXPECT_EQ(result.RecNo(), 1);
    EXPECT_EQ(dialogs->Texts().size(), 1u);
}

TEST_F(ExplorerConsoles, OutputParameterProcedureIsExecutedAndItsValueIsReadOnly)
{
    TStoredProcEditorObject console(*Pages, dsData);
    EXPECT_EQ(console.Kind(), "StoredProc");
    EXPECT_EQ(console.TabSheet()->ImageIndex(), 22);
    EXPECT_TRUE(console.Fixed());
    EXPECT_FALSE(console.CanRun()) << "nothing loaded";

    console.LoadStoredProc(&Data, "next_counter");
    EXPECT_TRUE(console.Ready());
    EXPECT_TRUE(console.CanRun());
    EXPECT_FALSE(console.ReturnsRows());
    EXPECT_EQ(console.TabSheet()->Caption(), "DATA.next_counter");
    TKldCollectionView& grid = *console.ParamGrid();
    EXPECT_EQ(grid.Caption(), "DATA.next_counter");
    ASSERT_EQ(grid.RowCount(), 2);
    const auto cell = [&](int col, int row) {
        std::string text;
        grid.DoGetCellText(col, row, text);
        return text;
    };
    EXPECT_EQ(cell(0, 0), "TABLE_NAME");
    EXPECT_EQ(cell(1, 0), "Input");
    EXPECT_EQ(cell(2, 0), "String");
    EXPECT_EQ(cell(0, 1), "COUNTER");
    EXPECT_EQ(cell(1, 1), "Output");
    EXPECT_EQ(cell(2, 1), "Integer");
    EXPECT_FALSE(grid.DoCellState(3, 0, {}).Contains(csReadOnly));
    EXPECT_TRUE(grid.DoCellState(3, 1, {}).Contains(csReadOnly)) << "an output value cannot be edited";

    std::string text = "TBL_RESIDENT";
    grid.DoSetCellText(3, 0, text);
    Calls.clear();
    EXPECT_EQ(Run([&] { console.Run(); }), "");
    EXPECT_EQ(CallsOf(NembraProcedure::StoredProcExecute), 1);
    EXPECT_EQ(CallsOf(NembraProcedure::StoredProcFetch), 0) << "executed, not opened";
    EXPECT_FALSE(console.DataSetOpen());
    EXPECT_NE(cell(3, 1), "") << "the output value came back";
    EXPECT_GT(std::stoi(cell(3, 1)), 0);
    const std::string answer = cell(3, 1);
    std::string typed = "12345";
    grid.DoSetCellText(3, 1, typed);
    EXPECT_EQ(cell(3, 1), answer) << "a value typed over an output stays unstored";
    const std::vector<std::string> log = Lines(console.LogText());
    ASSERT_EQ(log.size(), 3u) << console.LogText();
    EXPECT_EQ(log[0], "StoredProc executed:");
    EXPECT_EQ(log[1].rfind("  Compression: ", 0), 0u);
    EXPECT_EQ(console.ResultTabs()->TabIndex(), 0);

    // The same procedure again: nothing is fetched anew.
    Calls.clear();
    console.LoadStoredProc(&Data, "NEXT_COUNTER");
    EXPECT_TRUE(Calls.empty());
    EXPECT_TRUE(console.ResultAreaVisible()) << "the console kept its state";
}

TEST_F(ExplorerConsoles, InputOnlyProcedureOpensItsRowsAndRefusesBadValues)
{
    TStoredProcEditorObject console(*Pages, dsData);
    console.LoadStoredProc(&Data, "FACILITY_ROSTER");
    ASSERT_TRUE(console.ReturnsRows());
    TKldCollectionView& grid = *console.ParamGrid();
    std::string one = "1";
    grid.DoSetCellText(3, 0, one);
    std::string bad = "first";
    EXPECT_NE(ErrorOf<EConvertError>([&] { grid.DoSetCellText(3, 0, bad); }), "");
    EXPECT_EQ(console.StoredProc().Params().ParamByName("C_FACILITY")->AsInteger(), 1)
        << "the old value stays";

    EXPECT_EQ(Run([&] { console.Run(); }), "");
    ASSERT_TRUE(console.DataSetOpen());
    EXPECT_EQ(dsData.DataSet(), &console.DataSet());
    EXPECT_EQ(console.ResultTabs()->TabIndex(), 1);
    EXPECT_EQ(Lines(console.LogText()).back(), "Fetched 3 rows in 3 columns");

    // Another procedure replaces it: the result closes and the area hides.
    console.LoadStoredProc(&Data, "CHARGE_RESIDENT");
    EXPECT_FALSE(console.DataSetOpen());
    EXPECT_FALSE(console.ResultAreaVisible());
    std::string resident = "999";
    grid.DoSetCellText(3, 0, resident);
    const std::string raised = Run([&] { console.Run(); });
    EXPECT_EQ(raised.rfind("ORA-20001: Resident 999 does not exist.", 0), 0u) << raised;
    const std::vector<std::string> log = Lines(console.LogText());
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "StoredProc executed with errors:");
    EXPECT_EQ(log[1].rfind("ORA-20001: Resident 999 does not exist.", 0), 0u);
}

TEST_F(ExplorerConsoles, PluginEchoRunsOnTheConnection)
{
    TPluginEditorObject console(*Pages, dsData);
    EXPECT_EQ(console.Kind(), "Plugin");
    EXPECT_EQ(console.TabSheet()->ImageIndex(), 21);
    console.LoadPluginProc("MAIN", "PLG_DEMO", "Echo");
    EXPECT_EQ(console.TabSheet()->Caption(), "PLG_DEMO.Echo");
    EXPECT_EQ(console.ParamGrid()->Caption(), "PLG_DEMO.Echo");
    EXPECT_FALSE(console.ReturnsRows()) << "TEXT_OUT is an output";
    TKldCollectionView& grid = *console.ParamGrid();
    ASSERT_EQ(grid.RowCount(), 3);
    std::string text = "ab";
    std::string count = "3";
    grid.DoSetCellText(3, 0, text);
    grid.DoSetCellText(3, 1, count);
    EXPECT_TRUE(grid.DoCellState(3, 2, {}).Contains(csReadOnly));
    Calls.clear();
    EXPECT_EQ(Run([&] { console.Run(); }), "");
    EXPECT_EQ(CallsOf(NembraProcedure::PluginExecute), 1);
    std::string out;
    grid.DoGetCellText(3, 2, out);
    EXPECT_EQ(out, "ababab");
    EXPECT_EQ(Lines(console.LogText())[0], "Plugin executed:");
}

TEST_F(ExplorerConsoles, PopupMenuReachesEditorGridsAndLog)
{
    auto console = NewSQL(&System);
    QMenu menu;
    console->SetPopupMenu(&menu);
    EXPECT_EQ(console->SQLEditor()->contextMenuPolicy(), Qt::CustomContextMenu);
    EXPECT_EQ(console->ResultGrid()->contextMenuPolicy(), Qt::CustomContextMenu);
    EXPECT_EQ(console->Log()->contextMenuPolicy(), Qt::CustomContextMenu);

    TStoredProcEditorObject procs(*Pages, dsData);
    TPopupMenu popup;
    procs.SetPopupMenu(&popup);
    EXPECT_EQ(procs.ParamGrid()->PopupMenu(), &popup);
    EXPECT_EQ(procs.Log()->contextMenuPolicy(), Qt::CustomContextMenu);
}

TEST_F(ExplorerConsoles, AProcedureTheServerDoesNotKnowLeavesTheConsoleNotReady)
{
    TStoredProcEditorObject console(*Pages, dsData);
    const std::string raised = ErrorOf([&] { console.LoadStoredProc(&Data, "NO_SUCH_PROC"); });
    EXPECT_NE(raised, "");
    EXPECT_FALSE(console.Ready());
    EXPECT_FALSE(console.CanRun());
    EXPECT_EQ(console.TabSheet()->Caption(), "DATA.NO_SUCH_PROC");
    EXPECT_EQ(console.ParamGrid()->RowCount(), console.StoredProc().Params().Count())
        << "the grid shows what there is";
    Calls.clear();
    EXPECT_EQ(Run([&] { console.Run(); }), "");
    EXPECT_TRUE(Calls.empty()) << "a console that is not ready does not run";
    EXPECT_FALSE(console.ResultAreaVisible());

    // A procedure it knows makes the console ready again.
    console.LoadStoredProc(&Data, "NEXT_COUNTER");
    EXPECT_TRUE(console.Ready());
    EXPECT_EQ(console.ParamGrid()->RowCount(), 2);
}
