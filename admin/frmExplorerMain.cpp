#include "admin/frmExplorerMain.h"

#include "Components/Controller/files/ovnUtils.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4Services.h"
#include "Components/Controller/ovnController.h"
#include "Components/Controller/signin/PasswordDlg.h"
#include "Components/Nembra/NembraClient.h"
#include "Components/Nembra/NembraDatabase.h"
#include "Components/Nembra/ovnOndrel.h"
#include "admin/AdminForms.h"
#include "admin/ExplorerConsoles.h"
#include "admin/SQLHistory.h"
#include "platform/DBGrids.h"
#include "platform/DataSource.h"
#include "platform/Fields.h"
#include "platform/Forms.h"
#include "platform/StdCtrls.h"
#include "platform/StockControls.h"
#include "ui/KldCollectionView.h"
#include "ui/KldObjectView.h"
#include "ui/KldTabControl.h"
#include "ui/ViewBLOB.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// A tree node and the data it owns.
class TExplorerNode : public QTreeWidgetItem
{
  public:
    TExplorerNode(TDBObjectKind Kind, TComponent* Object) : QTreeWidgetItem(UserType), Data(Kind, Object) {}
    TDBObject Data;
};

// The wait cursor while the server answers.
class TWaitCursor
{
  public:
    TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;
};

QString Q(const std::string& Text)
{
    return QString::fromStdString(Text);
}

std::string S(const QString& Text)
{
    return Text.toStdString();
}

// The pictures of the node kinds and pages, 16 pixels square: a rounded
// square in the kind's colour with its letter.
QImage Picture(unsigned Rgb, QChar Letter)
{
    QImage image(16, 16, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(Rgb).darker(140));
    p.setBrush(QColor(Rgb));
    p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
    QFont font = p.font();
    font.setPixelSize(10);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, QString(Letter));
    return image;
}

} // namespace

// Hears of connections and databases of the tree that are destroyed.
class TfrmExplorerMain::TObjectWatcher : public TComponent
{
  public:
    explicit TObjectWatcher(TfrmExplorerMain& Form) : m_form(Form) {}
    std::string ClassName() const override { return "TExplorerObjectWatcher"; }

  protected:
    void Notification(TComponent* Component, TOperation Operation) override
    {
        TComponent::Notification(Component, Operation);
        if (Operation == opRemove)
            m_form.ObjectDestroyed(Component);
    }

  private:
    TfrmExplorerMain& m_form;
};

TfrmExplorerMain* frmExplorerMain()
{
    TfrmOrvaneBrowser4* browser = ApplicationMainForm();
    if (!browser)
        return nullptr;
    return dynamic_cast<TfrmExplorerMain*>(browser->SystemWindow(swExplorer));
}

TfrmExplorerMain::TfrmExplorerMain(QWidget* Owner, TModuleItem* Item)
    : TModuleForm(Owner, Item), m_history(std::make_unique<TSQLHistory>()),
      m_watcher(std::make_unique<TObjectWatcher>(*this)), m_tblData(std::make_unique<TovnOndrelTable>()),
      m_dsData(std::make_unique<TDataSource>())
{
    SetCaption("Ondrel Explorer");
    setObjectName("frmExplorerMain");
    tblData = m_tblData.get();
    tblData->SetName("tblData");
    tblData->SetFetchBlobs(false);
    tblData->AfterOpen = [this](TDataSet*) { UpdateFilterButton(); };
    tblData->AfterClose = [this](TDataSet*) { UpdateFilterButton(); };
    dsData = m_dsData.get();
    dsData->SetName("dsData");
    ExecutePasswordDialog = [](std::string& UserName, std::string& Password) {
        return TPasswordDlg::Execute(UserName, Password);
    };
    ShowBlobViewer = [](TField* Field) { ShowBlob(Field); };

    LoadImages();
    CreateActions();
    CreateLayout();

    // Until a node is selected the pages stay as laid out, "Data" active;
    // the fixed consoles made for the open databases stay behind it.
    m_quiet = true;
    for (int i = 0; i < NembraConnections.Count(); ++i) {
        TNembraConnection* connection = NembraConnections.Items(i);
        QTreeWidgetItem* node = AddNode(nullptr, dokConnection, connection->ConnectionName(), connection);
        if (connection->Active())
            Run([&] { ExpandNode(node); });
    }
    pgMain->SetActivePage(tsData);
    m_shownPage = tsData;
    BindDataSource(tblData);
    grdData->SetDataSource(dsData);
    navData->SetDataSource(dsData);
    m_quiet = false;
    UpdateFilterButton();
    UpdateActions();
}

TfrmExplorerMain::~TfrmExplorerMain()
{
    m_quiet = true;
    grdData->SetDataSource(nullptr);
    navData->SetDataSource(nullptr);
    cvStructure->SetCollection(nullptr);
    m_consoles.clear();
    m_storedProcConsole = nullptr;
    m_pluginConsole = nullptr;
    dsData->SetDataSet(nullptr);
    tblData->AfterOpen = nullptr;
    tblData->AfterClose = nullptr;
    // The page control paints its tabs itself no more.
    pgMain->SetOwnerDraw(false);
    pgMain->OnChanging = nullptr;
    pgMain->OnChange = nullptr;
    pgMain->OnCloseTab = nullptr;
    // The nodes' objects must not tell a watcher that is gone.
    for (int i = 0; i < NembraConnections.Count(); ++i)
        NembraConnections.Items(i)->RemoveFreeNotification(m_watcher.get());
    for (int i = 0; i < NembraDatabases.Count(); ++i)
        NembraDatabases.Items(i)->RemoveFreeNotification(m_watcher.get());
    tvObjects->clear();
}

// ---------------------------------------------------------------------------
// Layout

void TfrmExplorerMain::LoadImages()
{
    // Index: the node kinds 2 to 16, the SQL console 1, the plug-in and
    // stored-procedure consoles 21 and 22; the rest are the pages'.
    struct TPic
    {
        int Index;
        unsigned Rgb;
        char Letter;
    };
    const TPic pics[] = {{0, 0x7A869A, 'D'},  {1, 0x2F6FB0, 'Q'},  {2, 0x3A8D4F, 'C'},  {3, 0x7A869A, 'S'},
                         {4, 0xC07A1E, 'B'},  {5, 0xD0A24A, 'T'},  {8, 0x9A5AB0, 'P'},  {9, 0x5C8FD0, 't'},
                         {12, 0xB07AC8, 'p'}, {14, 0x4F9E9A, 'G'}, {15, 0x3C8580, 'g'}, {16, 0x68B8B2, 'f'},
                         {21, 0x3C8580, 'G'}, {22, 0x9A5AB0, 'P'}};
    for (int i = 0; i <= 22; ++i) {
        QImage image(16, 16, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        for (const TPic& pic : pics)
            if (pic.Index == i)
                image = Picture(pic.Rgb, QChar(pic.Letter));
        m_images.Add(image);
    }
}

void TfrmExplorerMain::CreateActions()
{
    auto make = [this](const char* Caption, const char* Name, const QKeySequence& Shortcut = {}) {
        auto* action = new QAction(QString::fromUtf8(Caption), this);
        action->setObjectName(Name);
        if (!Shortcut.isEmpty()) {
            action->setShortcut(Shortcut);
            action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        }
        addAction(action);
        return action;
    };
    actStartTransaction = make("Start Transaction", "actStartTransaction");
    actCommitTransaction = make("Commit Transaction", "actCommitTransaction");
    actRollbackTransaction = make("Rollback Transaction", "actRollbackTransaction");
    actNewConsole = make("New SQL console", "actNewConsole", QKeySequence(Qt::CTRL | Qt::Key_N));
    actCloseConsole = make("Close SQL console", "actCloseConsole");
    actExecute = make("Execute SQL", "actExecute", QKeySequence(Qt::CTRL | Qt::Key_E));
    actExecuteFetchAll = make("Execute SQL and Fetch All", "actExecuteFetchAll",
                              QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));
    actExecuteScript =
        make("Execute SQL Script", "actExecuteScript", QKeySequence(Qt::CTRL | Qt::Key_Return));
    // The keypad's Enter counts as Enter.
    actExecuteScript->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
    actLoadSQL = make("Load SQL", "actLoadSQL");
    actSaveSQL = make("Save SQL", "actSaveSQL");
    actExportCSV = make("Export to CSV", "actExportCSV");
    actShowBlobs = make("Show BLOBs", "actShowBlobs");
    actShowSQLInfo = make("Show SQL Info", "actShowSQLInfo");
    actShowSQLInfo->setCheckable(true);
    actPreviousSQL = make("Previous SQL", "actPreviousSQL");
    actNextSQL = make("Next SQL", "actNextSQL");
    actOpenConnection = make("Open Connection", "actOpenConnection");
    actCut = make("Cu&t", "actCut", QKeySequence(Qt::CTRL | Qt::Key_X));
    actCopy = make("&Copy", "actCopy", QKeySequence(Qt::CTRL | Qt::Key_C));
    actPaste = make("&Paste", "actPaste", QKeySequence(Qt::CTRL | Qt::Key_V));
    actSelectAll = make("Select &All", "actSelectAll", QKeySequence(Qt::CTRL | Qt::Key_A));
    actUndo = make("&Undo", "actUndo", QKeySequence(Qt::CTRL | Qt::Key_Z));
    // The edit keys stay with the editors themselves; the actions serve
    // the menu.
    for (QAction* action : {actCut, actCopy, actPaste, actSelectAll, actUndo})
        action->setShortcutContext(Qt::WidgetShortcut);

    auto on = [this](QAction* Action, std::function<void()> Fn) {
        connect(Action, &QAction::triggered, this, [this, Fn] { Run(Fn); });
    };
    on(actStartTransaction, [this] {
        if (TNembraDatabase* db = ActionDatabase())
            db->StartTransaction();
    });
    on(actCommitTransaction, [this] {
        if (TNembraDatabase* db = ActionDatabase())
            db->Commit();
    });
    on(actRollbackTransaction, [this] {
        if (TNembraDatabase* db = ActionDatabase())
            db->Rollback();
    });
    on(actNewConsole, [this] {
        TNembraDatabase* db = ActionDatabase();
        if (!db)
            throw Exception(SSelectDatabase);
        NewConsole(db, false);
    });
    on(actCloseConsole, [this] {
        if (TSQLEditorObject* console = CurrentSQLConsole())
            CloseConsole(console);
    });
    on(actExecute, [this] {
        if (TEditorObject* console = CurrentConsole())
            console->Execute();
    });
    on(actExecuteFetchAll, [this] {
        if (TSQLEditorObject* console = CurrentSQLConsole())
            console->ExecuteFetchAll();
    });
    on(actExecuteScript, [this] {
        if (TSQLEditorObject* console = CurrentSQLConsole())
            console->ExecuteScript();
    });
    on(actLoadSQL, [this] {
        if (TSQLEditorObject* console = CurrentSQLConsole())
            console->LoadSQL();
    });
    on(actSaveSQL, [this] {
        if (TSQLEditorObject* console = CurrentSQLConsole())
            console->SaveSQL();
    });
    on(actExportCSV, [this] {
        if (TEditorObject* console = CurrentConsole())
            console->ExportToCSV();
    });
    on(actShowBlobs, [this] {
        if (TEditorObject* console = CurrentConsole())
            ShowBlobOf(console->ResultGrid());
    });
    on(actShowSQLInfo, [this] {
        if (TEditorObject* console = CurrentConsole())
            actShowSQLInfo->setChecked(console->ToggleResultArea());
    });
    on(actPreviousSQL, [this] {
        if (TSQLEditorObject* console = CurrentSQLConsole())
            console->PreviousSQL();
    });
    on(actNextSQL, [this] {
        if (TSQLEditorObject* console = CurrentSQLConsole())
            console->NextSQL();
    });
    on(actOpenConnection, [this] {
        if (QTreeWidgetItem* node = tvObjects->currentItem()) {
            SelectNode(node, true);
            SelectNode(node, false);
        }
    });
    connect(actCut, &QAction::triggered, this, [this] { EditAction("cut"); });
    connect(actCopy, &QAction::triggered, this, [this] { EditAction("copy"); });
    connect(actPaste, &QAction::triggered, this, [this] { EditAction("paste"); });
    connect(actSelectAll, &QAction::triggered, this, [this] { EditAction("selectAll"); });
    connect(actUndo, &QAction::triggered, this, [this] { EditAction("undo"); });

    pmConsole = new QMenu(this);
    pmConsole->setObjectName("pmConsole");
    for (QAction* action : {actExecute, actExecuteFetchAll, actExecuteScript})
        pmConsole->addAction(action);
    pmConsole->addSeparator();
    for (QAction* action : {actNewConsole, actCloseConsole, actLoadSQL, actSaveSQL, actExportCSV,
                            actShowBlobs, actShowSQLInfo, actPreviousSQL, actNextSQL})
        pmConsole->addAction(action);
    pmConsole->addSeparator();
    for (QAction* action : {actCut, actCopy, actPaste, actSelectAll, actUndo})
        pmConsole->addAction(action);
    // The edit actions follow the focused editor when the menu opens.
    connect(pmConsole, &QMenu::aboutToShow, this, [this] { UpdateActions(); });
}

std::vector<QAction*> TfrmExplorerMain::AllActions() const
{
    return {actStartTransaction,
            actCommitTransaction,
            actRollbackTransaction,
            actNewConsole,
            actCloseConsole,
            actExecute,
            actExecuteFetchAll,
            actExecuteScript,
            actLoadSQL,
            actSaveSQL,
            actExportCSV,
            actShowBlobs,
            actShowSQLInfo,
            actPreviousSQL,
            actNextSQL,
            actOpenConnection,
            actCut,
            actCopy,
            actPaste,
            actSelectAll,
            actUndo};
}

void TfrmExplorerMain::CreateLayout()
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    layout->addWidget(splitter);

    // The left panel: the header and the tree.
    auto* left = new QWidget(splitter);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->setSpacing(0);
    auto* header = new TPlainLabel(QStringLiteral("Connections"), left);
    header->setObjectName("lblConnections");
    header->setMargin(4);
    header->setAutoFillBackground(true);
    header->setStyleSheet(QStringLiteral("QLabel { background: #6F7F99; color: white; font-weight: bold; }"));
    leftLayout->addWidget(header);
    tvObjects = new QTreeWidget(left);
    tvObjects->setObjectName("tvObjects");
    tvObjects->setHeaderHidden(true);
    tvObjects->setRootIsDecorated(false);
    tvObjects->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvObjects->setSelectionBehavior(QAbstractItemView::SelectRows);
    tvObjects->setSelectionMode(QAbstractItemView::SingleSelection);
    tvObjects->setExpandsOnDoubleClick(false);
    tvObjects->setIconSize(QSize(16, 16));
    tvObjects->setContextMenuPolicy(Qt::CustomContextMenu);
    leftLayout->addWidget(tvObjects);
    connect(tvObjects, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) { CurrentNodeChanged(current); });
    connect(tvObjects, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* node, int) { NodeDoubleClicked(node); });
    connect(tvObjects, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem* node) { NodeExpanded(node); });
    auto* treeMenu = new QMenu(tvObjects);
    treeMenu->addAction(actOpenConnection);
    connect(tvObjects, &QWidget::customContextMenuRequested, this, [this, treeMenu](const QPoint& at) {
        // A right click selects the node under the mouse first.
        if (QTreeWidgetItem* node = tvObjects->itemAt(at))
            SetCurrentNode(node);
        treeMenu->popup(tvObjects->viewport()->mapToGlobal(at));
    });

    // The right panel: the toolbar and the pages.
    auto* right = new QWidget(splitter);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(0);
    tbMain = new QToolBar(right);
    tbMain->setObjectName("tbMain");
    tbMain->setToolButtonStyle(Qt::ToolButtonIconOnly);
    tbMain->setIconSize(QSize(16, 16));
    // The toolbar shows pictures; the captions are their hints.
    const std::pair<QAction*, QStyle::StandardPixmap> icons[] = {
        {actStartTransaction, QStyle::SP_MediaPlay},
        {actCommitTransaction, QStyle::SP_DialogApplyButton},
        {actRollbackTransaction, QStyle::SP_DialogCancelButton},
        {actNewConsole, QStyle::SP_FileIcon},
        {actCloseConsole, QStyle::SP_DialogCloseButton},
        {actExecute, QStyle::SP_ArrowRight},
        {actExecuteFetchAll, QStyle::SP_MediaSeekForward},
        {actExecuteScript, QStyle::SP_MediaSkipForward},
        {actLoadSQL, QStyle::SP_DialogOpenButton},
        {actSaveSQL, QStyle::SP_DialogSaveButton},
        {actExportCSV, QStyle::SP_FileDialogDetailedView},
        {actShowBlobs, QStyle::SP_FileDialogContentsView},
        {actShowSQLInfo, QStyle::SP_FileDialogInfoView},
        {actPreviousSQL, QStyle::SP_ArrowBack},
        {actNextSQL, QStyle::SP_ArrowForward}};
    for (const auto& [action, icon] : icons)
        action->setIcon(style()->standardIcon(icon));
    for (QAction* action : {actStartTransaction, actCommitTransaction, actRollbackTransaction})
        tbMain->addAction(action);
    tbMain->addSeparator();
    for (QAction* action : {actNewConsole, actCloseConsole})
        tbMain->addAction(action);
    tbMain->addSeparator();
    for (QAction* action : {actExecute, actExecuteFetchAll, actExecuteScript})
        tbMain->addAction(action);
    tbMain->addSeparator();
    for (QAction* action :
         {actLoadSQL, actSaveSQL, actExportCSV, actShowBlobs, actShowSQLInfo, actPreviousSQL, actNextSQL})
        tbMain->addAction(action);
    rightLayout->addWidget(tbMain);

    pgMain = new TKldPageControl(right);
    pgMain->setObjectName("pgMain");
    pgMain->SetImages(&m_images);
    pgMain->SetTabStyle(ctsVS2005TopTabs);
    pgMain->SetTabHeight(21);
    pgMain->SelectedFont().SetName("Tahoma");
    pgMain->SetShowCloseIcon(true);
    pgMain->SetOwnerDraw(true);
    pgMain->OnChanging = [this](TObject*, bool& AllowChange) {
        AllowChange = true;
        PageChanging();
    };
    pgMain->OnChange = [this](TObject*) { Run([this] { PageChanged(); }); };
    pgMain->OnCloseTab = [this](TObject*) {
        Run([this] {
            if (TEditorObject* console = CurrentConsole(); console && !console->Fixed())
                CloseConsole(console);
        });
    };
    rightLayout->addWidget(pgMain, 1);

    tsDefinition = new TTabSheet(pgMain);
    tsDefinition->setObjectName("tsDefinition");
    tsDefinition->SetCaption("Definition");
    tsDefinition->SetImageIndex(0);
    auto* definitionLayout = new QVBoxLayout(tsDefinition);
    definitionLayout->setContentsMargins(0, 0, 0, 0);
    ovDefinition = new TKldObjectView(tsDefinition);
    ovDefinition->setObjectName("ovDefinition");
    ovDefinition->SetReadOnly(true);
    ovDefinition->SetShowOptions(ovDefinition->ShowOptions() + TKldListViewShowOptions{soCaption});
    definitionLayout->addWidget(ovDefinition);

    tsStructure = new TTabSheet(pgMain);
    tsStructure->setObjectName("tsStructure");
    tsStructure->SetCaption("Structure");
    tsStructure->SetImageIndex(3);
    auto* structureLayout = new QVBoxLayout(tsStructure);
    structureLayout->setContentsMargins(0, 0, 0, 0);
    cvStructure = new TKldCollectionView(tsStructure);
    cvStructure->setObjectName("cvStructure");
    cvStructure->SetReadOnly(true);
    cvStructure->SetShowOptions(cvStructure->ShowOptions() + TKldListViewShowOptions{soCaption, soHeader,
                                                                                     soMarker, soRowSelect,
                                                                                     soAutoWidth});
    cvStructure->SetNumberedRow(nrAscending);
    cvStructure->SetMarkerWidth(24);
    cvStructure->Columns().BeginUpdate();
    auto column = [this](const char* Name, int Width, TKldEditType EditType) {
        TKldColumn* c = cvStructure->Columns().Add();
        c->SetName(Name);
        c->SetCaption(Name);
        c->SetWidth(Width);
        c->SetEditType(EditType);
        c->SetReadOnly(true);
        return c;
    };
    column("Name", 180, etNone)->SetAutoWidth(true);
    column("Type", 100, etNone);
    column("Size", 60, etNone)->SetTextAlignment(taRightJustify);
    column("Required", 70, etCheck)->SetTextAlignment(taCenter);
    cvStructure->Columns().EndUpdate();
    cvStructure->Loaded();
    cvStructure->SetCollection(&m_structure);
    structureLayout->addWidget(cvStructure);

    tsData = new TTabSheet(pgMain);
    tsData->setObjectName("tsData");
    tsData->SetCaption("Data");
    tsData->SetImageIndex(9);
    auto* dataLayout = new QVBoxLayout(tsData);
    dataLayout->setContentsMargins(0, 0, 0, 0);
    dataLayout->setSpacing(0);
    auto* dataBar = new QWidget(tsData);
    auto* barLayout = new QHBoxLayout(dataBar);
    barLayout->setContentsMargins(2, 2, 2, 2);
    btnFilter = new QPushButton(QStringLiteral("Filter"), dataBar);
    btnFilter->setObjectName("btnFilter");
    btnFilter->setAutoDefault(false);
    connect(btnFilter, &QPushButton::clicked, this, [this] { FilterClick(); });
    barLayout->addWidget(btnFilter);
    navData = new TDBNavigator(dataBar);
    navData->setObjectName("navData");
    navData->SetVisibleButtons(
        {nbFirst, nbPrior, nbNext, nbLast, nbInsert, nbDelete, nbEdit, nbPost, nbCancel});
    navData->SetHints(
        {"First ", "Prior", "Next", "Last fetched ", "Insert ", "Delete ", "Edit ", "Post ", "Cancel "});
    barLayout->addWidget(navData);
    barLayout->addStretch(1);
    dataLayout->addWidget(dataBar);
    grdData = new TDBGrid(tsData);
    grdData->setObjectName("grdData");
    connect(grdData, &QAbstractItemView::doubleClicked, this, [this] { ShowBlobOf(grdData); });
    dataLayout->addWidget(grdData, 1);

    splitter->addWidget(left);
    splitter->addWidget(right);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({220, 640});
}

// ---------------------------------------------------------------------------
// The tree

const TDBObject& TfrmExplorerMain::NodeObject(const QTreeWidgetItem* Node)
{
    const auto* node = dynamic_cast<const TExplorerNode*>(Node);
    return CheckDBObject(node && node->Data.Object() ? &node->Data : nullptr);
}

QTreeWidgetItem* TfrmExplorerMain::AddNode(QTreeWidgetItem* Parent, TDBObjectKind Kind,
                                           const std::string& Caption, TComponent* Object)
{
    auto* node = new TExplorerNode(Kind, Object);
    node->setText(0, Q(Caption));
    node->setIcon(0, QIcon(QPixmap::fromImage(m_images.GetImage(Kind))));
    if (Kind == dokConnection || Kind == dokDatabase || IsExplorerFolder(Kind))
        node->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    if (Object)
        Object->FreeNotification(m_watcher.get());
    if (Parent)
        Parent->addChild(node);
    else
        tvObjects->addTopLevelItem(node);
    return node;
}

QTreeWidgetItem* TfrmExplorerMain::ConnectionNode(const TNembraConnection* Connection) const
{
    for (int i = 0; i < tvObjects->topLevelItemCount(); ++i) {
        const auto* node = dynamic_cast<const TExplorerNode*>(tvObjects->topLevelItem(i));
        if (node && node->Data.Object() == Connection)
            return tvObjects->topLevelItem(i);
    }
    return nullptr;
}

QTreeWidgetItem* TfrmExplorerMain::ChildNode(const QTreeWidgetItem* Node, const std::string& Caption)
{
    if (!Node)
        return nullptr;
    for (int i = 0; i < Node->childCount(); ++i)
        if (SameText(S(Node->child(i)->text(0)), Caption))
            return Node->child(i);
    return nullptr;
}

void TfrmExplorerMain::ExpandNode(QTreeWidgetItem* Node)
{
    const TDBObject& data = NodeObject(Node);
    switch (data.Kind()) {
    case dokConnection:
        ExpandConnection(Node);
        break;
    case dokDatabase:
        ExpandDatabase(Node);
        break;
    case dokPlugins:
    case dokPlugin:
        FillFolder(Node);
        break;
    default:
        break;
    }
}

void TfrmExplorerMain::ExpandConnection(QTreeWidgetItem* Node)
{
    TNembraConnection* connection = NodeObject(Node).Connection();
    if (!connection)
        DatabaseError(SInvalidDatabaseObject);
    if (!connection->Active()) {
        std::string user = Trim(connection->Params().Values("USER_ID"));
        std::string password = Trim(connection->Params().Values("USER_PWD"));
        if ((user.empty() || password.empty()) && ExecutePasswordDialog &&
            ExecutePasswordDialog(user, password)) {
            connection->Params().SetValues("USER_ID", user);
            connection->Params().SetValues("USER_PWD", password);
            connection->Params().SetValues("FORCE", "true");
            connection->Params().SetValues("OS", ovnOS());
            connection->Open();
        }
    }
    TTabSheet* active = pgMain->ActivePage();
    for (int i = 0; i < NembraDatabases.Count(); ++i) {
        TNembraDatabase* db = NembraDatabases.Items(i);
        if (!db->Active() || TNembraConnection::FindConnectionByName(db->ConnectionName()) != connection)
            continue;
        bool known = false;
        for (int c = 0; c < Node->childCount() && !known; ++c) {
            const auto* child = dynamic_cast<const TExplorerNode*>(Node->child(c));
            known = child && child->Data.Kind() == dokDatabase && child->Data.Object() == db;
        }
        if (known)
            continue;
        AddNode(Node, dokDatabase, db->DatabaseName(), db);
        if (!FixedConsole(db))
            NewConsole(db, true);
    }
    // The fixed consoles open behind the page the user looks at.
    if (pgMain->ActivePage() != active && active)
        pgMain->SetActivePage(active);
    bool hasPlugins = false;
    for (int c = 0; c < Node->childCount() && !hasPlugins; ++c) {
        const auto* child = dynamic_cast<const TExplorerNode*>(Node->child(c));
        hasPlugins = child && child->Data.Kind() == dokPlugins;
    }
    if (!hasPlugins)
        AddNode(Node, dokPlugins, "Plugins", connection);
    const bool quiet = m_quiet;
    m_quiet = true;
    Node->setExpanded(true);
    m_quiet = quiet;
}

void TfrmExplorerMain::ExpandDatabase(QTreeWidgetItem* Node)
{
    TNembraDatabase* db = NodeObject(Node).Database();
    if (!db)
        DatabaseError(SInvalidDatabaseObject);
    if (Node->childCount() > 0)
        return;
    QTreeWidgetItem* tables = AddNode(Node, dokTables, "Tables", db);
    QTreeWidgetItem* procs = AddNode(Node, dokStoredProcs, "StoredProcs", db);
    FillFolder(tables);
    FillFolder(procs);
}

void TfrmExplorerMain::FillFolder(QTreeWidgetItem* Node)
{
    const TDBObject& data = NodeObject(Node);
    const std::optional<TExplorerFolder> folder = ExplorerFolder(data.Kind());
    if (!folder)
        return;
    const std::string objectName = folder->NameFromCaption ? S(Node->text(0)) : std::string();
    TStringList names;
    {
        TWaitCursor wait;
        if (TNembraDatabase* db = data.Database())
            db->GetObjectNames(objectName, folder->ObjectType, names);
        else if (TNembraConnection* connection = data.Connection())
            connection->GetObjectNames(objectName, folder->ObjectType, names);
        else
            DatabaseError(SInvalidDatabaseObject);
    }
    const bool quiet = m_quiet;
    m_quiet = true;
    qDeleteAll(Node->takeChildren());
    for (const std::string& name : ExplorerChildNames(names))
        AddNode(Node, folder->ChildKind, name, data.Object());
    m_quiet = quiet;
}

void TfrmExplorerMain::SetCurrentNode(QTreeWidgetItem* Node)
{
    tvObjects->setCurrentItem(Node);
}

void TfrmExplorerMain::CurrentNodeChanged(QTreeWidgetItem* Node)
{
    if (m_quiet || !Node)
        return;
    Run([&] { SelectNode(Node, false); });
}

void TfrmExplorerMain::NodeDoubleClicked(QTreeWidgetItem* Node)
{
    if (m_quiet || !Node)
        return;
    Run([&] {
        const bool hadChildren = Node->childCount() > 0;
        const bool wasExpanded = Node->isExpanded();
        SelectNode(Node, true);
        if (Node->childCount() == 0)
            return;
        // A node the selection just filled or opened (a connection signed in
        // again) stays open; any other opens or closes as in every tree.
        const bool filled = !hadChildren || Node->isExpanded() != wasExpanded;
        const bool quiet = m_quiet;
        m_quiet = true;
        Node->setExpanded(filled ? true : !wasExpanded);
        m_quiet = quiet;
    });
}

void TfrmExplorerMain::NodeExpanded(QTreeWidgetItem* Node)
{
    if (m_quiet || !Node || Node->childCount() > 0)
        return;
    Run([&] { ExpandNode(Node); });
}

void TfrmExplorerMain::SelectNode(QTreeWidgetItem* Node, bool DoubleClick)
{
    const TDBObject& data = NodeObject(Node);
    const TDBObjectKind kind = data.Kind();
    ShowDefinition(Node);
    if (kind == dokTable) {
        try {
            OpenTable(Node);
        } catch (...) {
            // The pages show what is there: no rows, "Data" hidden.
            BindDataSource(tblData);
            ShowStructure(S(Node->text(0)));
            ApplyPages(kind);
            throw;
        }
        BindDataSource(tblData);
        ShowStructure(S(Node->text(0)));
    } else {
        try {
            if (kind == dokPluginProc || kind == dokStoredProc) {
                LoadProcedure(Node);
            } else if (DoubleClick && (Node->childCount() == 0 || (kind == dokConnection && data.Connection() &&
                                                                   !data.Connection()->Active()))) {
                // A connection whose sign-in was cancelled already has its
                // "Plugins" node; a double click still offers the sign-in again.
                ExpandNode(Node);
            }
        } catch (...) {
            // The pages follow the selection even when the server refused.
            ApplyPages(kind);
            throw;
        }
    }
    ApplyPages(kind);
}

void TfrmExplorerMain::ShowDefinition(QTreeWidgetItem* Node)
{
    const TDBObject& data = NodeObject(Node);
    ovDefinition->SetCaption(S(Node->text(0)));
    TStringList lines;
    if (data.Kind() == dokConnection && data.Connection())
        DefinitionLines(data.Connection()->Params(), lines);
    else if (data.Kind() == dokDatabase && data.Database())
        DefinitionLines(data.Database()->Params(), lines);
    ovDefinition->SetPropsAsStrings(&lines, false);
}

void TfrmExplorerMain::OpenTable(QTreeWidgetItem* Node)
{
    const std::string table = S(Node->text(0));
    QTreeWidgetItem* dbNode = Node->parent() ? Node->parent()->parent() : nullptr;
    const std::string database = dbNode ? S(dbNode->text(0)) : std::string();
    // The same table of another database is another table: the database
    // counts as well as the table's name.
    if (tblData->Active() && SameText(tblData->TableName(), table) &&
        SameText(tblData->DatabaseName(), database))
        return;
    tblData->Close();
    tblData->SetDatabaseName(database);
    tblData->SetTableName(table);
    tblData->SQLSchema().Clear();
    tblData->SQLSchema().From().SetText(table + " T1");
    tblData->Open();
    CutDisplayWidths(*tblData);
}

void TfrmExplorerMain::LoadProcedure(QTreeWidgetItem* Node)
{
    const TDBObject& data = NodeObject(Node);
    if (data.Kind() == dokStoredProc) {
        StoredProcConsole().LoadStoredProc(data.Database(), S(Node->text(0)));
    } else {
        TNembraConnection* connection = data.Connection();
        if (!connection)
            DatabaseError(SInvalidDatabaseObject);
        const std::string plugin = Node->parent() ? S(Node->parent()->text(0)) : std::string();
        PluginConsole().LoadPluginProc(connection->ConnectionName(), plugin, S(Node->text(0)));
    }
}

void TfrmExplorerMain::ObjectDestroyed(TComponent* Object)
{
    for (int i = 0; i < tvObjects->topLevelItemCount(); ++i)
        ForgetObject(tvObjects->topLevelItem(i), Object);
}

void TfrmExplorerMain::ForgetObject(QTreeWidgetItem* Node, TComponent* Object)
{
    if (auto* node = dynamic_cast<TExplorerNode*>(Node); node && node->Data.Object() == Object)
        node->Data.ClearObject();
    for (int i = 0; i < Node->childCount(); ++i)
        ForgetObject(Node->child(i), Object);
}

// ---------------------------------------------------------------------------
// Pages

void TfrmExplorerMain::ShowStructure(const std::string& TableName)
{
    ListStructure(dsData->DataSet(), m_structure);
    cvStructure->SetCaption(TableName);
    cvStructure->Refresh();
}

void TfrmExplorerMain::ApplyPages(TDBObjectKind Kind)
{
    TTabSheet* active = pgMain->ActivePage();
    TExplorerPage activeKind = epOther;
    if (active == tsData)
        activeKind = epData;
    else if (active == tsStructure)
        activeKind = epStructure;
    else if (active == tsDefinition)
        activeKind = epDefinition;
    const bool opened = dsData->DataSet() && dsData->DataSet()->Active();
    const TExplorerPages pages = ExplorerPagesFor(Kind, activeKind, opened, m_structure.Count());
    tsDefinition->SetTabVisible(pages.Definition);
    tsData->SetTabVisible(pages.Data);
    tsStructure->SetTabVisible(pages.Structure);
    TTabSheet* target = nullptr;
    switch (pages.Activate) {
    case epDefinition:
        target = tsDefinition;
        break;
    case epData:
        target = tsData;
        break;
    case epStructure:
        target = tsStructure;
        break;
    case epPluginConsole:
        target = m_pluginConsole ? m_pluginConsole->TabSheet() : nullptr;
        break;
    case epStoredProcConsole:
        target = m_storedProcConsole ? m_storedProcConsole->TabSheet() : nullptr;
        break;
    default:
        break;
    }
    if (target)
        pgMain->SetActivePage(target);
    if (pgMain->ActivePage() != m_shownPage) {
        PageChanging();
        PageChanged();
    }
}

void TfrmExplorerMain::SetActivePage(TTabSheet* Page)
{
    if (!Page || Page == pgMain->ActivePage())
        return;
    PageChanging();
    pgMain->SetActivePage(Page);
    PageChanged();
}

void TfrmExplorerMain::PageChanging()
{
    if (!m_shownPage)
        return;
    if (m_shownPage == tsData) {
        grdData->SetDataSource(nullptr);
        navData->SetDataSource(nullptr);
    } else if (TEditorObject* console = ConsoleOfPage(m_shownPage)) {
        console->UnbindGrid();
    }
}

void TfrmExplorerMain::PageChanged()
{
    TTabSheet* page = pgMain->ActivePage();
    m_shownPage = page;
    if (page == tsData) {
        BindDataSource(tblData);
        grdData->SetDataSource(dsData);
        navData->SetDataSource(dsData);
    } else if (TEditorObject* console = ConsoleOfPage(page)) {
        console->BindDataSource();
        console->FocusEditor();
        actShowSQLInfo->setChecked(console->ResultAreaVisible());
    }
    UpdateActions();
}

void TfrmExplorerMain::BindDataSource(TDataSet* DataSet)
{
    if (dsData->DataSet() == DataSet)
        return;
    dsData->SetEnabled(false);
    dsData->SetDataSet(DataSet);
    dsData->SetEnabled(true);
}

void TfrmExplorerMain::UpdateFilterButton()
{
    if (!btnFilter)
        return;
    const bool open = tblData->Active();
    btnFilter->setEnabled(open);
    QFont font = btnFilter->font();
    font.setBold(open && tblData->IsFiltered());
    btnFilter->setFont(font);
}

void TfrmExplorerMain::FilterClick()
{
    Run([this] {
        TField* field = grdData->SelectedField();
        tblData->ExecFilter(field ? field->FieldName() : std::string());
        UpdateFilterButton();
    });
}

void TfrmExplorerMain::ShowBlobOf(TDBGrid* Grid)
{
    if (Grid && ShowBlobViewer)
        Run([&] { ShowBlobViewer(Grid->SelectedField()); });
}

// ---------------------------------------------------------------------------
// Consoles

TEditorObject* TfrmExplorerMain::ConsoleOfPage(const TTabSheet* Page) const
{
    if (!Page)
        return nullptr;
    for (const auto& console : m_consoles)
        if (console->TabSheet() == Page)
            return console.get();
    return nullptr;
}

TEditorObject* TfrmExplorerMain::CurrentConsole() const
{
    return ConsoleOfPage(pgMain->ActivePage());
}

TSQLEditorObject* TfrmExplorerMain::CurrentSQLConsole() const
{
    return dynamic_cast<TSQLEditorObject*>(CurrentConsole());
}

TSQLEditorObject* TfrmExplorerMain::FixedConsole(const TNembraDatabase* Database) const
{
    for (const auto& console : m_consoles)
        if (auto* sql = dynamic_cast<TSQLEditorObject*>(console.get());
            sql && sql->Fixed() && sql->Database() == Database)
            return sql;
    return nullptr;
}

TSQLEditorObject* TfrmExplorerMain::NewConsole(TNembraDatabase* Database, bool Fixed)
{
    TTabSheet* active = pgMain->ActivePage();
    auto console = std::make_unique<TSQLEditorObject>(*pgMain, *dsData, *m_history, Database, Fixed);
    TSQLEditorObject* made = console.get();
    made->SetPopupMenu(pmConsole);
    // Whether the console can run follows its text as it is typed.
    connect(made->SQLEditor(), &QPlainTextEdit::textChanged, this, [this] {
        if (!m_quiet)
            UpdateActions();
    });
    m_consoles.push_back(std::move(console));
    if (Fixed) {
        if (active && pgMain->ActivePage() != active)
            pgMain->SetActivePage(active);
    } else {
        if (pgMain->ActivePage() != active)
            pgMain->SetActivePage(active);
        SetActivePage(made->TabSheet());
    }
    UpdateActions();
    return made;
}

void TfrmExplorerMain::CloseConsole(TEditorObject* Console)
{
    if (!Console || Console->Fixed())
        return;
    DeleteConsole(Console);
}

void TfrmExplorerMain::DeleteConsole(TEditorObject* Console)
{
    if (m_shownPage == Console->TabSheet()) {
        PageChanging();
        m_shownPage = nullptr;
    }
    auto it = std::find_if(m_consoles.begin(), m_consoles.end(),
                           [Console](const std::unique_ptr<TEditorObject>& c) { return c.get() == Console; });
    if (it == m_consoles.end())
        return;
    std::unique_ptr<TEditorObject> gone = std::move(*it);
    m_consoles.erase(it);
    if (gone.get() == m_storedProcConsole)
        m_storedProcConsole = nullptr;
    if (gone.get() == m_pluginConsole)
        m_pluginConsole = nullptr;
    gone.reset();
    if (pgMain->ActivePage() != m_shownPage)
        PageChanged();
    UpdateActions();
}

TStoredProcEditorObject& TfrmExplorerMain::StoredProcConsole()
{
    if (!m_storedProcConsole) {
        TTabSheet* active = pgMain->ActivePage();
        auto console = std::make_unique<TStoredProcEditorObject>(*pgMain, *dsData);
        console->SetPopupMenu(pmConsole);
        m_storedProcConsole = console.get();
        m_consoles.push_back(std::move(console));
        if (active && pgMain->ActivePage() != active)
            pgMain->SetActivePage(active);
    }
    return *m_storedProcConsole;
}

TPluginEditorObject& TfrmExplorerMain::PluginConsole()
{
    if (!m_pluginConsole) {
        TTabSheet* active = pgMain->ActivePage();
        auto console = std::make_unique<TPluginEditorObject>(*pgMain, *dsData);
        console->SetPopupMenu(pmConsole);
        m_pluginConsole = console.get();
        m_consoles.push_back(std::move(console));
        if (active && pgMain->ActivePage() != active)
            pgMain->SetActivePage(active);
    }
    return *m_pluginConsole;
}

// ---------------------------------------------------------------------------
// Actions

TNembraDatabase* TfrmExplorerMain::ActionDatabase() const
{
    if (const auto* node = dynamic_cast<const TExplorerNode*>(tvObjects->currentItem()))
        if (TNembraDatabase* db = node->Data.Database())
            return db;
    if (TSQLEditorObject* console = CurrentSQLConsole())
        return console->Database();
    return nullptr;
}

TExplorerActionStates TfrmExplorerMain::ActionStates() const
{
    TExplorerActionInput in;
    TNembraDatabase* db = ActionDatabase();
    in.HasDatabase = db != nullptr;
    in.InTransaction = db && db->InTransaction();
    if (TEditorObject* console = CurrentConsole()) {
        in.Console.HasConsole = true;
        in.Console.CanRun = console->CanRun();
        in.Console.Fixed = console->Fixed();
        in.Console.DataSetOpen = console->DataSetOpen();
        if (auto* sql = dynamic_cast<TSQLEditorObject*>(console)) {
            in.Console.IsSQLConsole = true;
            in.Console.HistoryPosition = sql->HistoryPosition();
            in.Console.HistoryCount = sql->HistoryCount();
        }
    }
    return ExplorerActionStates(in);
}

void TfrmExplorerMain::UpdateActions()
{
    const TExplorerActionStates s = ActionStates();
    actStartTransaction->setEnabled(s.StartTransaction);
    actCommitTransaction->setEnabled(s.CommitTransaction);
    actRollbackTransaction->setEnabled(s.RollbackTransaction);
    actNewConsole->setEnabled(s.NewConsole);
    actExecute->setEnabled(s.Console.Execute);
    actExecuteFetchAll->setEnabled(s.Console.FetchAll);
    actExecuteScript->setEnabled(s.Console.Script);
    actShowBlobs->setEnabled(s.Console.ShowBlobs);
    actExportCSV->setEnabled(s.Console.ExportCSV);
    actLoadSQL->setEnabled(s.Console.LoadSQL);
    actSaveSQL->setEnabled(s.Console.SaveSQL);
    actShowSQLInfo->setEnabled(s.Console.ShowSQLInfo);
    actCloseConsole->setEnabled(s.Console.CloseConsole);
    actPreviousSQL->setEnabled(s.Console.PreviousSQL);
    actNextSQL->setEnabled(s.Console.NextSQL);
    if (TEditorObject* console = CurrentConsole())
        actShowSQLInfo->setChecked(console->ResultAreaVisible());
    else
        actShowSQLInfo->setChecked(false);
}

void TfrmExplorerMain::EditAction(const char* Slot)
{
    if (QWidget* focused = QApplication::focusWidget())
        QMetaObject::invokeMethod(focused, Slot);
}

void TfrmExplorerMain::Run(const std::function<void()>& Fn)
{
    Guarded(Fn);
    if (!m_quiet)
        UpdateActions();
}

// ---------------------------------------------------------------------------
// Closing

void TfrmExplorerMain::FormClose(TFormCloseAction& Action)
{
    Action = fcaFree;
    grdData->SetDataSource(nullptr);
    navData->SetDataSource(nullptr);
    dsData->SetDataSet(nullptr);
    tblData->Close();
    m_shownPage = nullptr;
    m_consoles.clear();
    m_storedProcConsole = nullptr;
    m_pluginConsole = nullptr;
    if (Controller)
        Controller->AppletClosed(this);
}

namespace {

// The main window's explorer, made through its holder.
const bool Registered = [] {
    RegisterSystemWindow(swExplorer,
                         [](QWidget* Owner) -> QWidget* { return new TfrmExplorerMain(Owner, nullptr); });
    return true;
}();

} // namespace
