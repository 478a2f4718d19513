#pragma once
// The consoles of the database explorer, each on a page of the explorer's
// page control: SQL consoles (`TSQLEditorObject`, a text typed by the user
// for one database, run as a query, a statement or a script), the
// stored-procedure console (`TStoredProcEditorObject`) and the plug-in
// console (`TPluginEditorObject`), which show the parameters of the
// procedure chosen in the tree in an editable grid and run it.
//
// - A console makes its own page on the page control it is given and
//   destroys it with itself; the explorer owns the consoles (a closable SQL
//   console's page has Tag 1, so the page control draws its close icon).
// - Every console shares the explorer's one data source: a run binds it to
//   the console's dataset and the console's result grid to it.
// - The result area (grid, execution log, the tabs "Execute Log" and
//   "Result Set") is hidden until something ran.
// - File choosers and message boxes go through the platform's dialog
//   service (platform/Dialogs.h), so tests answer them.
// - Failures of a run are logged and then raised to the caller, who shows
//   them to the user.
// The rules (statement kind, log texts, CSV, typed values, action states)
// are in ConsoleRules.h, the shared history in SQLHistory.h.
//
// Main thread only.

#include "platform/Persistent.h"

#include <memory>
#include <string>
#include <vector>

class QMenu;
class QSplitter;
class QWidget;
class TDataSource;
class TDBGrid;
class TKldCollectionView;
class TKldTabControl;
class TMemo;
class TNembraDBDataSet;
class TNembraDatabase;
class TovnOndrelPlugIn;
class TovnOndrelQuery;
class TNembraStoredProc;
class TPageControl;
class TParam;
class TPopupMenu;
class TSQLHistory;
class TTabSheet;

// The page pictures of the explorer's image list.
constexpr int SQLConsoleImageIndex = 1;
constexpr int PluginConsoleImageIndex = 21;
constexpr int StoredProcConsoleImageIndex = 22;

class TEditorObject : public TObject
{
  public:
    // Closes the dataset, lets the data source go when it shows it, and
    // destroys the page; when that page was the active last one, the page
    // before it becomes active. An SQL console also drops its history.
    ~TEditorObject() override;
    TEditorObject(const TEditorObject&) = delete;
    TEditorObject& operator=(const TEditorObject&) = delete;
    std::string ClassName() const override { return "TEditorObject"; }

    // --- What the explorer asks
    TTabSheet* TabSheet() const { return m_sheet; }
    // The console's dataset (a query, stored procedure or plug-in dataset).
    virtual TNembraDBDataSet& DataSet() const = 0;
    bool DataSetOpen() const;
    TDataSource* DataSource() const { return m_dataSource; }
    // A fixed console cannot be closed.
    bool Fixed() const { return m_fixed; }
    // "SQL", "StoredProc" or "Plugin".
    const std::string& Kind() const { return m_kind; }
    // The widget the user types in: the SQL editor or the parameter grid.
    virtual QWidget* Editor() const = 0;

    // --- Result area
    TDBGrid* ResultGrid() const { return m_grid; }
    TMemo* Log() const { return m_log; }
    TKldTabControl* ResultTabs() const { return m_tabs; }
    QWidget* ResultPanel() const { return m_resultPanel; }
    QSplitter* Splitter() const { return m_splitter; }
    bool ResultAreaVisible() const;
    // Shows the area with "Result Set" and the grid when the dataset is open,
    // else "Execute Log" and the log.
    void ShowResultArea();
    void HideResultArea();
    // "Show SQL Info": hides a shown area or shows it; answers whether it
    // shows now (the action's check).
    bool ToggleResultArea();
    // The log's lines as the memo holds them.
    std::string LogText() const;

    // Binds the explorer's data source to this console's dataset (disabled
    // while its dataset is replaced) and the result grid to the data source.
    void BindDataSource();
    // Unbinds the result grid (the page is being left).
    void UnbindGrid();

    // The explorer's pop-up menu on the editor, the grids and the log.
    void SetPopupMenu(TPopupMenu* menu);
    void SetPopupMenu(QMenu* menu);

    // "Export to CSV": asks for the file (filter "CSV files|*.csv|All
    // Files|*.*", default extension "csv"; nothing when cancelled), then
    // ExportToCSVFile. Requires the dataset open.
    void ExportToCSV();
    // Writes the field names and every row's text values as quoted CSV lines
    // through the whole-file replace, shows "Done!" and returns the dataset
    // to the row it was on (also on failure). Raises when the dataset is
    // closed or the file cannot be written (the old file stays).
    void ExportToCSVFile(const std::string& fileName);

    // Runs the console the way "Execute SQL" does (an SQL console with
    // neither script nor fetch size, a parameter console its Run).
    virtual void Execute() = 0;

    // --- Virtual operations, in their slot order
    virtual void FocusEditor() = 0;
    virtual bool CanRun() = 0;
    virtual void ResetHistory() = 0;

  protected:
    // Makes the page (caption and picture) on `pages`.
    TEditorObject(TPageControl& pages, TDataSource& dataSource, bool fixed, std::string kind,
                  const std::string& caption, int imageIndex);
    // Makes the console's controls; the base makes the result area. The
    // concrete class calls it at the end of its constructor.
    virtual void CreateControls();
    // For the concrete class's destructor, while its dataset still exists:
    // lets the data source go when it shows the dataset, closes the dataset
    // and destroys the page.
    void ReleaseDataSet();
    // Where a descendant places its editor (above the result area).
    QWidget* EditorHost() const { return m_editorHost; }
    void ClearLog();
    void AddLogLines(const std::vector<std::string>& lines);
    // Display widths above 20 are cut to 20.
    void CutDisplayWidths();
    // Result tab chosen: "Result Set" shows the grid when the dataset is
    // open; any other choice the log.
    void ResultTabChanged();

  private:
    void DestroyPage();
    void ApplyPopup(QWidget* widget);
    void ShowPane(bool grid);

    TTabSheet* m_sheet = nullptr;
    TDataSource* m_dataSource = nullptr;
    bool m_fixed = false;
    std::string m_kind;
    QSplitter* m_splitter = nullptr;
    QWidget* m_editorHost = nullptr;
    QWidget* m_resultPanel = nullptr;
    TDBGrid* m_grid = nullptr;
    TMemo* m_log = nullptr;
    TKldTabControl* m_tabs = nullptr;
    TPopupMenu* m_popup = nullptr;
    QMenu* m_qmenu = nullptr;
    bool m_halfSized = false;
};

class TSQLEditorObject : public TEditorObject
{
  public:
    // A console for `database` (its page caption the DatabaseName), sharing
    // the explorer's data source and history, both of which must outlive it.
    // A fixed console cannot be closed.
    TSQLEditorObject(TPageControl& pages, TDataSource& dataSource, TSQLHistory& history,
                     TNembraDatabase* database, bool fixed);
    ~TSQLEditorObject() override;
    std::string ClassName() const override { return "TSQLEditorObject"; }

    TNembraDBDataSet& DataSet() const override;
    TovnOndrelQuery& Query() const { return *m_query; }
    TNembraDatabase* Database() const;
    TMemo* SQLEditor() const { return m_editor; }
    QWidget* Editor() const override;
    std::string SQLText() const;
    void SetSQLText(const std::string& text);

    // Runs the text: as a query when IsQueryText says so (opened with the
    // fetch size: 0 the connection's default page, -1 all rows in one
    // request), else through ExecBatch, in script mode when `script` is
    // set. The log and the result area show the outcome; a failure is
    // logged and raised. Without database: "Unknown database".
    void ExecuteSQL(bool script = false, int fetchSize = 0);
    void Execute() override { ExecuteSQL(false, 0); }
    void ExecuteFetchAll() { ExecuteSQL(false, -1); }
    void ExecuteScript() { ExecuteSQL(true, 0); }

    // --- History
    int HistoryPosition() const { return m_historyPosition; }
    int HistoryCount() const { return m_historyCount; }
    // Steps to the previous / next entry of this console (from position 1
    // upward / up to count minus 1) and puts its text in the editor.
    void PreviousSQL();
    void NextSQL();

    // --- Files ("SQL files|*.sql|All Files|*.*", default extension "sql")
    // Ask for the file (nothing when cancelled), then load or save.
    void LoadSQL();
    void SaveSQL();
    // The editor's lines from / to the file; saving goes through the
    // whole-file replace. Raise the file error.
    void LoadSQLFromFile(const std::string& fileName);
    void SaveSQLToFile(const std::string& fileName);

    void FocusEditor() override;
    // A database and at least one line in the editor.
    bool CanRun() override;
    void ResetHistory() override;

  protected:
    void CreateControls() override;

  private:
    TSQLHistory* m_history;
    std::unique_ptr<TovnOndrelQuery> m_query;
    TMemo* m_editor = nullptr;
    int m_historyPosition = -1;
    int m_historyCount = 0;
};

class TParamsEditorObject : public TEditorObject
{
  public:
    ~TParamsEditorObject() override;
    std::string ClassName() const override { return "TParamsEditorObject"; }

    TKldCollectionView* ParamGrid() const { return m_grid; }
    QWidget* Editor() const override;
    // The procedure and its parameters are loaded.
    bool Ready() const { return m_ready; }
    // Running opens the dataset (else executes it).
    bool ReturnsRows() const { return m_returnsRows; }

    void FocusEditor() override;
    bool CanRun() override { return m_ready; }
    // Parameter consoles keep no history.
    void ResetHistory() override {}
    // Opens (returns rows) or executes the dataset and logs the outcome;
    // nothing when not ready. A failure is logged and raised.
    virtual void Run();
    void Execute() override { Run(); }

  protected:
    TParamsEditorObject(TPageControl& pages, TDataSource& dataSource, std::string kind,
                        const std::string& caption, int imageIndex);
    void CreateControls() override;
    // Fetches the parameter list from the server (a failure is raised after
    // the grid shows what there is), becomes ready, decides ReturnsRows and
    // fills the grid.
    void LoadParams();
    // The grid's and the page's caption.
    void SetCaptions(const std::string& caption);

  private:
    // The parameter shown in a row of the grid, or null.
    TParam* ParamAtRow(int row) const;

    TKldCollectionView* m_grid = nullptr;
    bool m_ready = false;
    bool m_returnsRows = true;
};

class TStoredProcEditorObject : public TParamsEditorObject
{
  public:
    TStoredProcEditorObject(TPageControl& pages, TDataSource& dataSource);
    ~TStoredProcEditorObject() override;
    std::string ClassName() const override { return "TStoredProcEditorObject"; }

    TNembraDBDataSet& DataSet() const override;
    TNembraStoredProc& StoredProc() const { return *m_proc; }
    // Shows `procName` of `database` (nothing when it already shows it, names
    // compared without case, and is open or ready); captions
    // "<DatabaseName>.<procName>" (the name alone without database).
    void LoadStoredProc(TNembraDatabase* database, const std::string& procName);

  private:
    std::unique_ptr<TNembraStoredProc> m_proc;
};

class TPluginEditorObject : public TParamsEditorObject
{
  public:
    TPluginEditorObject(TPageControl& pages, TDataSource& dataSource);
    ~TPluginEditorObject() override;
    std::string ClassName() const override { return "TPluginEditorObject"; }

    TNembraDBDataSet& DataSet() const override;
    TovnOndrelPlugIn& PlugIn() const { return *m_plugin; }
    // Shows `procName` of `pluginName` on the connection `connectionName`
    // (nothing when it already shows it and is open or ready); captions
    // "<pluginName>.<procName>".
    void LoadPluginProc(const std::string& connectionName, const std::string& pluginName,
                        const std::string& procName);

  private:
    std::unique_ptr<TovnOndrelPlugIn> m_plugin;
};
