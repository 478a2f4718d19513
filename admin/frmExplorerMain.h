#pragma once
// `TfrmExplorerMain` ("Ondrel Explorer"): the system managers' database
// explorer, a module window the main window keeps once (its system-window
// holder, opened by DoOpenOndrelExplorer). On the left a tree of every
// server connection of the client, with its open databases, their tables
// and stored procedures, and the server plug-ins with their procedures; on
// the right a page control with "Definition" (the selected connection's or
// database's parameters, the password hidden), "Structure" and "Data" (the
// selected table) and the consoles of ExplorerConsoles.h.
//
// - Each tree node carries a `TDBObject` (ExplorerRules.h) that the node
//   owns; a node without one raises "Invalid database object". A
//   connection or database destroyed while the window is open leaves its
//   nodes without object, and the consoles on a destroyed database go.
// - Folders ask the server for their names when first expanded; server
//   failures reach the user and leave the tree and pages consistent.
// - One data source, `dsData`, serves the active page's grid: "Data"
//   binds it to `tblData`, a console page to the console's dataset.
// - Qt handlers are boundaries: a failure shows in the standard error box.
//
// User-interface thread only.

#include "Components/Controller/applets/KldForms.h"
#include "admin/ExplorerRules.h"
#include "platform/ImageList.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;
class TComponent;
class TDBGrid;
class TDBNavigator;
class TDataSource;
class TEditorObject;
class TField;
class TKldCollectionView;
class TKldObjectView;
class TKldPageControl;
class TNembraConnection;
class TNembraDatabase;
class TPluginEditorObject;
class TSQLEditorObject;
class TSQLHistory;
class TStoredProcEditorObject;
class TTabSheet;
class TovnOndrelTable;

class TfrmExplorerMain : public TModuleForm
{
  public:
    TfrmExplorerMain(QWidget* Owner, TModuleItem* Item);
    ~TfrmExplorerMain() override;
    std::string ClassName() const override { return "TfrmExplorerMain"; }

    // --- The tree
    QTreeWidget* tvObjects;
    // The node's data; raises "Invalid database object" for a node (or
    // null) without one.
    static const TDBObject& NodeObject(const QTreeWidgetItem* Node);
    // The connection's top-level node; null when it has none.
    QTreeWidgetItem* ConnectionNode(const TNembraConnection* Connection) const;
    // A child of Node by caption (compared without case); null for none.
    static QTreeWidgetItem* ChildNode(const QTreeWidgetItem* Node, const std::string& Caption);
    // Expands a node the first time (connection: signs in when it has no
    // stored user and password and the prompt is answered, then its open
    // databases and "Plugins"; database: its two folders, filled; folders:
    // filled).
    void ExpandNode(QTreeWidgetItem* Node);
    // Fills a folder (kinds 5, 8, 14, 15) from the server, its old children
    // replaced.
    void FillFolder(QTreeWidgetItem* Node);
    // Selecting a node: the pages it shows; a double click also expands a
    // node without children.
    void SelectNode(QTreeWidgetItem* Node, bool DoubleClick);
    // Makes Node current (as a click does), which selects it.
    void SetCurrentNode(QTreeWidgetItem* Node);

    // --- The pages
    TKldPageControl* pgMain;
    TTabSheet* tsDefinition;
    TTabSheet* tsStructure;
    TTabSheet* tsData;
    TKldObjectView* ovDefinition;
    TKldCollectionView* cvStructure;
    TStructureItems& StructureItems() { return m_structure; }
    TDBGrid* grdData;
    QPushButton* btnFilter;
    TDBNavigator* navData;
    TovnOndrelTable* tblData;
    TDataSource* dsData;
    // Makes Page active as the user would: the page left loses its grid's
    // data source, the new page binds it.
    void SetActivePage(TTabSheet* Page);
    // The visibility and activation of the pages after selecting a node of
    // Kind (the gallery shows a table through it too).
    void ApplyPages(TDBObjectKind Kind);
    // "Structure" from the data source's dataset, caption the table name.
    void ShowStructure(const std::string& TableName);
    // The "Filter" button: enabled while tblData is open, bold while it is
    // filtered.
    void UpdateFilterButton();

    // --- Consoles
    const std::vector<std::unique_ptr<TEditorObject>>& Consoles() const { return m_consoles; }
    TSQLHistory& History() { return *m_history; }
    // The console whose page is active; null on the other pages.
    TEditorObject* CurrentConsole() const;
    TSQLEditorObject* CurrentSQLConsole() const;
    // An SQL console on Database; a closable one becomes the active page.
    TSQLEditorObject* NewConsole(TNembraDatabase* Database, bool Fixed);
    // The fixed SQL console of Database; null when none.
    TSQLEditorObject* FixedConsole(const TNembraDatabase* Database) const;
    // Closes a console that may be closed.
    void CloseConsole(TEditorObject* Console);
    // Made on first use.
    TStoredProcEditorObject& StoredProcConsole();
    TPluginEditorObject& PluginConsole();
    bool HasStoredProcConsole() const { return m_storedProcConsole != nullptr; }
    bool HasPluginConsole() const { return m_pluginConsole != nullptr; }

    // --- Actions
    // The database of the selected node, else that of the current SQL
    // console; null when none.
    TNembraDatabase* ActionDatabase() const;
    TExplorerActionStates ActionStates() const;
    // Recomputes the enabled state of every action.
    void UpdateActions();
    QToolBar* tbMain;
    QMenu* pmConsole;
    QAction* actStartTransaction;
    QAction* actCommitTransaction;
    QAction* actRollbackTransaction;
    QAction* actNewConsole;
    QAction* actCloseConsole;
    QAction* actExecute;
    QAction* actExecuteFetchAll;
    QAction* actExecuteScript;
    QAction* actLoadSQL;
    QAction* actSaveSQL;
    QAction* actExportCSV;
    QAction* actShowBlobs;
    QAction* actShowSQLInfo;
    QAction* actPreviousSQL;
    QAction* actNextSQL;
    QAction* actOpenConnection;
    QAction* actCut;
    QAction* actCopy;
    QAction* actPaste;
    QAction* actSelectAll;
    QAction* actUndo;
    std::vector<QAction*> AllActions() const;

    // Asks for a user and password (TPasswordDlg::Execute by default);
    // tests put their own.
    std::function<bool(std::string& UserName, std::string& Password)> ExecutePasswordDialog;
    // The BLOB viewer on a field (ShowBlob by default).
    std::function<void(TField* Field)> ShowBlobViewer;

    void FormClose(TFormCloseAction& Action) override;

  private:
    class TObjectWatcher;

    void CreateActions();
    void CreateLayout();
    void LoadImages();
    QTreeWidgetItem* AddNode(QTreeWidgetItem* Parent, TDBObjectKind Kind, const std::string& Caption,
                             TComponent* Object);
    void ExpandConnection(QTreeWidgetItem* Node);
    void ExpandDatabase(QTreeWidgetItem* Node);
    // Opens the table of a kind 9 node into "Data" (once per table).
    void OpenTable(QTreeWidgetItem* Node);
    void ShowDefinition(QTreeWidgetItem* Node);
    void LoadProcedure(QTreeWidgetItem* Node);
    // The tree's handlers.
    void CurrentNodeChanged(QTreeWidgetItem* Node);
    void NodeDoubleClicked(QTreeWidgetItem* Node);
    void NodeExpanded(QTreeWidgetItem* Node);
    // The page changes: the grid of the page left loses its data source;
    // the new page binds it.
    void PageChanging();
    void PageChanged();
    // Binds the data source to DataSet (disabled while it is replaced).
    void BindDataSource(TDataSet* DataSet);
    TEditorObject* ConsoleOfPage(const TTabSheet* Page) const;
    void DeleteConsole(TEditorObject* Console);
    void ObjectDestroyed(TComponent* Object);
    void ForgetObject(QTreeWidgetItem* Node, TComponent* Object);
    // Runs Fn for an action or handler; a failure shows in the error box,
    // then the actions are updated.
    void Run(const std::function<void()>& Fn);
    void FilterClick();
    void ShowBlobOf(TDBGrid* Grid);
    void EditAction(const char* Slot);

    TCustomImageList m_images{16, 16};
    TStructureItems m_structure;
    std::unique_ptr<TSQLHistory> m_history;
    std::vector<std::unique_ptr<TEditorObject>> m_consoles;
    TStoredProcEditorObject* m_storedProcConsole = nullptr;
    TPluginEditorObject* m_pluginConsole = nullptr;
    TTabSheet* m_shownPage = nullptr;
    std::unique_ptr<TObjectWatcher> m_watcher;
    std::unique_ptr<TovnOndrelTable> m_tblData;
    std::unique_ptr<TDataSource> m_dsData;
    // Selection and expansion handlers wait while the window builds its
    // tree or expands a node itself.
    bool m_quiet = false;
};

// The single explorer the main window holds; null when none is open.
TfrmExplorerMain* frmExplorerMain();
