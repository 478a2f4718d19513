#include "admin/frmConnections.h"

#include "Components/Controller/ovnController.h"
#include "Components/Nembra/NembraDatabase.h"
#include "Components/Nembra/ovnOndrel.h"
#include "admin/AdminForms.h"
#include "platform/ComCtrls.h"
#include "platform/DBGrids.h"
#include "platform/DataSource.h"
#include "platform/Dialogs.h"
#include "platform/Params.h"
#include "platform/StdCtrls.h"
#include "platform/StockControls.h"
#include "ui/ovnTabUtils.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace {

const std::vector<std::pair<std::string, std::string>> SessionColumns = {{"USER_ID", "User ID"},
                                                                         {"USER_TYPE", "User Type"},
                                                                         {"USER_IP", "User IP"},
                                                                         {"STARTED", "Connection Started"},
                                                                         {"DB_ALIAS", "Alias"}};
const std::vector<std::pair<std::string, std::string>> LockColumns = {{"LOCK_PATH", "Lock Path"},
                                                                      {"CREATED", "Created"},
                                                                      {"USER_ID", "User ID"},
                                                                      {"DB_ALIAS", "Alias"},
                                                                      {"DESCRIPTION", "Description"}};
const std::vector<std::pair<std::string, std::string>> ServerColumns = {{"SERVER_NAME", "Server"},
                                                                        {"STARTED", "Started"},
                                                                        {"LAST_ACTIVE", "Last Active"},
                                                                        {"EXTERNAL_IP", "IP"},
                                                                        {"EXTERNAL_HOST", "Host"},
                                                                        {"PROTOCOL", "Protocol"},
                                                                        {"URI_PATH", "URI"},
                                                                        {"COMPUTER_NAME", "Computer Name"},
                                                                        {"ACTIVE_SESSIONS", "Sessions"}};

// The grid column of "User Type" (ShowColumns puts the fields in this order).
constexpr int UserTypeColumn = 1;

QColor DelphiColor(uint32_t BGR)
{
    return QColor(BGR & 0xFF, (BGR >> 8) & 0xFF, (BGR >> 16) & 0xFF);
}

void PaintUserType(QPainter& Painter, const TGridCell& Cell, bool& Handled)
{
    if (Cell.Column != UserTypeColumn)
        return;
    const std::optional<uint32_t> fill = UserTypeFill(Cell.Text.toStdString());
    if (!fill)
        return;
    Painter.fillRect(Cell.Rect, DelphiColor(*fill));
    Painter.setPen(Qt::black);
    Painter.drawText(Cell.Rect.adjusted(2, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter, Cell.Text);
    Handled = true;
}

void SetUp(TovnOndrelSystem& DataSet, const std::string& Name, const std::string& Procedure,
           const std::string& ConnectionName)
{
    DataSet.SetName(Name);
    DataSet.SetProcedureName(Procedure);
    DataSet.SetConnectionName(ConnectionName);
}

TDBGrid* MakeGrid(QWidget* Parent, TDataSource* Source)
{
    auto* grid = new TDBGrid(Parent);
    grid->SetDataSource(Source);
    grid->SetReadOnly(true);
    return grid;
}

// The page's grid above its row of buttons.
void LayOut(TTabSheet* Page, QWidget* Grid, QLayout* Top, std::initializer_list<QWidget*> Left,
            std::initializer_list<QWidget*> Right)
{
    auto* buttons = new QHBoxLayout;
    for (QWidget* w : Left)
        buttons->addWidget(w);
    buttons->addStretch();
    for (QWidget* w : Right)
        buttons->addWidget(w);
    auto* layout = new QVBoxLayout(Page);
    if (Top)
        layout->addLayout(Top);
    layout->addWidget(Grid, 1);
    layout->addLayout(buttons);
}

} // namespace

TConnectionsContext ConnectionsContextOf(const TAdminContext& Context)
{
    TConnectionsContext context;
    context.UserType = Context.Admin.UserType;
    if (Controller && Controller->GetConnected()) {
        context.SysConnectionName = Controller->GetSysConnectionName();
        context.DataAlias = Controller->GetDataDB().Params().Values("DB_ALIAS");
    } else if (Context.SysDB) {
        context.SysConnectionName = Context.SysDB->ConnectionName();
    }
    return context;
}

TDialogForm* MakeConnectionsTool(const TAdminContext& Context)
{
    return new TfrmConnections(ConnectionsContextOf(Context));
}

TfrmConnections::TfrmConnections(TConnectionsContext Context, QWidget* Parent)
    : TLoadOnShowDialog(Parent), m_context(std::move(Context))
{
    setObjectName("frmConnections");
    setWindowTitle("Connections");
    SetPosition(poScreenCenter);
    sysSessions = std::make_unique<TovnOndrelSystem>();
    sysLocks = std::make_unique<TovnOndrelSystem>();
    sysServers = std::make_unique<TovnOndrelSystem>();
    sysTerminateSession = std::make_unique<TovnOndrelSystem>();
    sysRemoveLock = std::make_unique<TovnOndrelSystem>();
    SetUp(*sysSessions, "sysSessions", "RTIGetSessions", m_context.SysConnectionName);
    SetUp(*sysLocks, "sysLocks", "RTIGetLocks", m_context.SysConnectionName);
    SetUp(*sysServers, "sysServers", "RTIGetServers", m_context.SysConnectionName);
    SetUp(*sysTerminateSession, "sysTerminateSession", "SysTerminateSession", m_context.SysConnectionName);
    SetUp(*sysRemoveLock, "sysRemoveLock", "SysRemoveLock", m_context.SysConnectionName);
    // Deleting a row tells the server (Nembra.PluginDataChanged), which
    // takes it as done: the session or lock has already been ended.
    sysSessions->SetServerUpdate(true);
    sysSessions->SetKeyFieldName("SESSION_ID");
    sysLocks->SetServerUpdate(true);
    sysLocks->SetKeyFieldName("LOCK_PATH");
    dsSessions = std::make_unique<TDataSource>();
    dsLocks = std::make_unique<TDataSource>();
    dsServers = std::make_unique<TDataSource>();
    dsSessions->SetDataSet(sysSessions.get());
    dsLocks->SetDataSet(sysLocks.get());
    dsServers->SetDataSet(sysServers.get());

    Pages = new TPageControl(this);
    TabPainter->SetTabControl(Pages);
    tsSessions = new TTabSheet(Pages);
    tsSessions->SetCaption("User Sessions");
    tsLocks = new TTabSheet(Pages);
    tsLocks->SetCaption("Locks");
    tsServers = new TTabSheet(Pages);
    tsServers->SetCaption("Servers");

    grdSessions = MakeGrid(tsSessions, dsSessions.get());
    grdSessions->OnDrawColumnCell = PaintUserType;
    btnDisconnect = MakeAction(tsSessions, "&Disconnect", [this] { Disconnect(); });
    btnSessionsRefresh = MakeAction(tsSessions, "Refresh", [this] { RefreshSessions(); });
    LayOut(tsSessions, grdSessions, nullptr, {btnDisconnect}, {btnSessionsRefresh});

    grdLocks = MakeGrid(tsLocks, dsLocks.get());
    btnRemoveLock = MakeAction(tsLocks, "&Remove Lock", [this] { RemoveLock(); });
    btnLocksRefresh = MakeAction(tsLocks, "Refresh", [this] { RefreshLocks(); });
    LayOut(tsLocks, grdLocks, nullptr, {btnRemoveLock}, {btnLocksRefresh});

    grdServers = MakeGrid(tsServers, dsServers.get());
    cboShowServers = new TComboBox(tsServers);
    cboShowServers->SetStyle(csDropDownList);
    for (const char* state : ServerStates)
        cboShowServers->AddItem(state);
    cboShowServers->SetItemIndex(0);
    cboShowServers->OnCloseUp = [this](TObject*) { Guarded([this] { RefreshServers(); }); };
    btnServersRefresh = MakeAction(tsServers, "Refresh", [this] { RefreshServers(); });
    auto* top = new QHBoxLayout;
    top->addWidget(new TPlainLabel("Show Servers:", tsServers));
    top->addWidget(cboShowServers);
    top->addStretch();
    LayOut(tsServers, grdServers, top, {}, {btnServersRefresh});

    Pages->SetActivePageIndex(0);
    Pages->OnChange = [this](TObject*) { Guarded([this] { PageChanged(); }); };
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Pages, 1);
    layout->addLayout(MakeButtonRow({MakeButton("&Close", mrCancel, false, true)}));
    resize(760, 460);

    sysSessions->AfterOpen = [this](TDataSet*) { ShowColumns(*sysSessions, SessionColumns); };
    sysLocks->AfterOpen = [this](TDataSet*) { ShowColumns(*sysLocks, LockColumns); };
    sysServers->AfterOpen = [this](TDataSet*) { ShowColumns(*sysServers, ServerColumns); };
    for (TDataSource* source : {dsSessions.get(), dsLocks.get(), dsServers.get()}) {
        source->OnDataChange = [this](TObject*, TField*) { UpdateButtons(); };
        source->OnStateChange = [this](TObject*) { UpdateButtons(); };
    }
    UpdateButtons();
}

TfrmConnections::~TfrmConnections()
{
    cboShowServers->OnCloseUp = nullptr;
    for (TDataSource* source : {dsSessions.get(), dsLocks.get(), dsServers.get()}) {
        source->OnDataChange = nullptr;
        source->OnStateChange = nullptr;
    }
    for (TDBGrid* grid : {grdSessions, grdLocks, grdServers})
        grid->SetDataSource(nullptr);
    for (TovnOndrelSystem* dataSet : {sysSessions.get(), sysLocks.get(), sysServers.get()}) {
        dataSet->AfterOpen = nullptr;
        try {
            dataSet->Close();
        } catch (...) {
            // The server may have ended the session; the rows go anyway.
        }
    }
}

void TfrmConnections::Load()
{
    for (TovnOndrelSystem* dataSet : {sysSessions.get(), sysLocks.get(), sysServers.get(),
                                      sysTerminateSession.get(), sysRemoveLock.get()})
        dataSet->UpdateParams();
    const bool all = ShowsAllConnectionTabs(m_context.UserType);
    tsLocks->SetTabVisible(all);
    tsServers->SetTabVisible(all);
    RefreshSessions();
}

void TfrmConnections::OpenScoped(TovnOndrelSystem& DataSet, const char* KeyName)
{
    DataSet.Close();
    const TAliasScope scope = AliasScope(m_context.UserType, m_context.DataAlias);
    DataSet.Params().ParamByName(KeyName)->Clear();
    TParam* alias = DataSet.Params().ParamByName("DB_ALIAS");
    if (scope.Alias)
        alias->SetAsString(*scope.Alias);
    else
        alias->Clear();
    if (scope.Listed)
        DataSet.Open();
    UpdateButtons();
}

void TfrmConnections::RefreshSessions()
{
    OpenScoped(*sysSessions, "SERVER_ID");
}

void TfrmConnections::RefreshLocks()
{
    OpenScoped(*sysLocks, "SESSION_ID");
}

void TfrmConnections::RefreshServers()
{
    sysServers->Close();
    sysServers->Params().ParamByName("STATE")->SetAsString(cboShowServers->Text());
    sysServers->Open();
}

void TfrmConnections::PageChanged()
{
    TTabSheet* page = Pages->ActivePage();
    if (page == tsSessions)
        RefreshSessions();
    else if (page == tsLocks)
        RefreshLocks();
    else if (page == tsServers)
        RefreshServers();
}

void TfrmConnections::Disconnect()
{
    if (!sysSessions->Active() || sysSessions->IsEmpty())
        return;
    const std::string user = FieldText(*sysSessions, "USER_ID");
    if (MessageDlg(Format("Disconnect user \"%s\" ?", user), mtConfirmation, {mbYes, mbNo}) != mrYes)
        return;
    sysTerminateSession->Params().Items(0)->SetAsString(FieldText(*sysSessions, "SESSION_ID"));
    sysTerminateSession->Execute();
    sysSessions->Delete();
}

void TfrmConnections::RemoveLock()
{
    if (!sysLocks->Active() || sysLocks->IsEmpty())
        return;
    if (MessageDlg("Remove selected lock?", mtConfirmation, {mbYes, mbNo}) != mrYes)
        return;
    sysRemoveLock->Params().ParamByName("SESSION_ID")->SetAsString(FieldText(*sysLocks, "SESSION_ID"));
    sysRemoveLock->Params().ParamByName("LOCK_PATH")->SetAsString(FieldText(*sysLocks, "LOCK_PATH"));
    sysRemoveLock->Execute();
    sysLocks->Delete();
}

void TfrmConnections::UpdateButtons()
{
    const TConnectionButtons buttons = ConnectionButtons(sysSessions->Active(), sysSessions->IsEmpty(),
                                                         sysLocks->Active(), sysLocks->IsEmpty());
    btnDisconnect->setEnabled(buttons.Disconnect);
    btnRemoveLock->setEnabled(buttons.RemoveLock);
}
