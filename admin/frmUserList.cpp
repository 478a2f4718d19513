#include "admin/frmUserList.h"

#include "Components/Controller/ovnController.h"
#include "Components/Nembra/NembraDatabase.h"
#include "Components/Nembra/ovnOndrel.h"
#include "admin/AdminForms.h"
#include "platform/DBGrids.h"
#include "platform/DataSource.h"
#include "platform/Fields.h"
#include "platform/Params.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

TField* AddField(TDataSet& DataSet, TField* Field, const std::string& Name, int Size,
                 const std::string& Caption, bool Calculated)
{
    Field->SetFieldName(Name);
    if (Size > 0)
        Field->SetSize(Size);
    if (!Caption.empty())
        Field->SetDisplayLabel(Caption);
    if (Calculated)
        Field->SetFieldKind(fkCalculated);
    Field->SetDataSet(&DataSet);
    return Field;
}

} // namespace

TUserListContext UserListContextOfController()
{
    if (!Controller)
        throw EovnController("Not logged");
    TUserListContext context;
    context.Admin = AdministratorOf(Controller->User());
    context.SysDB = &Controller->GetSysDB();
    context.SendOMail = [](const std::string& To) {
        if (Controller)
            Controller->SendOMail(To, "", "", "", false, false, -1, "", "URL");
    };
    context.AppletClosed = [](QWidget* Form) {
        if (Controller)
            Controller->AppletClosed(Form);
    };
    return context;
}

TfrmUserList::TfrmUserList(QWidget* Owner, TModuleItem* Item, TUserListContext Context)
    : TModuleForm(Owner, Item), m_context(std::move(Context))
{
    setObjectName("frmUserList");
    SetCaption("User List");
    // Maximized: the desktop shows a module window over its whole area.

    plgServerSessions = std::make_unique<TovnOndrelPlugIn>();
    plgServerSessions->SetName("plgServerSessions");
    plgServerSessions->SetConnectionName(m_context.ConnectionName);
    plgServerSessions->SetPluginName("PLG_SYSTEM");
    plgServerSessions->SetProcedureName("RTIGetSessions");

    Users = std::make_unique<TovnOndrelQuery>();
    Users->SetName("Users");
    if (m_context.SysDB)
        Users->SetDatabase(m_context.SysDB);
    // The sizes of the server's columns: the grid shows each that wide.
    AddField(*Users, new TStringField(Users.get()), "USER_ID", 30, "ID", false);
    AddField(*Users, new TStringField(Users.get()), "FULL_NAME", 60, "Name", false);
    AddField(*Users, new TStringField(Users.get()), "USER_TYPE", 3, "Type", false);
    AddField(*Users, new TStringField(Users.get()), "ENTERPRISE", 30, "Enterprise", false);
    AddField(*Users, new TStringField(Users.get()), "USER_IP", 15, "IP", true);
    AddField(*Users, new TDateTimeField(Users.get()), "STARTED", 0, "", true);
    AddField(*Users, new TStringField(Users.get()), "USER_AGENT", 255, "", true);
    Users->OnCalcFields = [this](TDataSet*) { CalcFields(); };
    Users->OnFilterRecord = [this](TDataSet* DataSet, bool& Accept) {
        Accept = m_sessions.Online(DataSet->FieldByName("USER_ID")->AsString());
    };
    dsUsers = std::make_unique<TDataSource>();
    dsUsers->SetDataSet(Users.get());

    grdUsers = new TDBGrid(this);
    grdUsers->SetDataSource(dsUsers.get());
    grdUsers->SetReadOnly(true);
    btnOnline = MakeAction(this, "&Online Users", [this] { RefreshList(); });
    btnOnline->setCheckable(true);
    btnFilter = MakeAction(this, "Filter...", [this] { Filter(); });
    btnRefresh = MakeAction(this, "Refresh", [this] { RefreshList(); });
    btnOMail = MakeAction(this, "&OMail", [this] { SendMail(); });
    btnOMail->setVisible(AppBrand == 0);
    btnClose = MakeAction(this, "C&lose", [this] { close(); });
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {btnOnline, btnFilter, btnRefresh})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(btnOMail);
    buttons->addWidget(btnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(grdUsers, 1);
    layout->addLayout(buttons);
    resize(820, 480);
}

TfrmUserList::~TfrmUserList()
{
    grdUsers->SetDataSource(nullptr);
    Users->OnCalcFields = nullptr;
    Users->OnFilterRecord = nullptr;
    try {
        Users->Close();
        plgServerSessions->Close();
    } catch (...) {
        // A session ended meanwhile: the rows go anyway.
    }
}

void TfrmUserList::showEvent(QShowEvent* Event)
{
    TModuleForm::showEvent(Event);
    // Without a system database (a window shown for its looks) nothing loads.
    if (!m_shown && m_context.SysDB) {
        m_shown = true;
        Guarded([this] { RefreshList(); });
    }
}

void TfrmUserList::RefreshList()
{
    const bool online = btnOnline->isChecked();
    plgServerSessions->Close();
    if (plgServerSessions->Params().Count() == 0)
        plgServerSessions->UpdateParams();
    plgServerSessions->Params().ParamByName("STATE")->SetAsInteger(1);
    plgServerSessions->Open();
    m_sessions = TServerSessions::FromDataSet(*plgServerSessions);

    Users->DisableControls();
    try {
        Users->Close();
        // The statement runs as an inline view, so that the advanced
        // filter's conditions on its columns narrow it.
        TSQLQuerySchema& schema = Users->SQLSchema();
        schema.BeginUpdate();
        SetLines(schema.Select(), {});
        SetLines(schema.From(), {"(" + UserListSQL(m_context.Admin, online) + ") Q"});
        SetLines(schema.Where(), {});
        SetLines(schema.OrderBy(), {"FULL_NAME"});
        schema.EndUpdate();
        Users->Open();
        Users->SetFiltered(online);
    } catch (...) {
        Users->EnableControls();
        throw;
    }
    Users->EnableControls();
}

void TfrmUserList::CalcFields()
{
    const TUserSession* session = m_sessions.Find(Users->FieldByName("USER_ID")->AsString());
    if (!session)
        return;
    if (session->Started)
        Users->FieldByName("STARTED")->SetAsDateTime(*session->Started);
    Users->FieldByName("USER_IP")->SetAsString(session->IP);
    Users->FieldByName("USER_AGENT")->SetAsString(session->Agent);
}

void TfrmUserList::Filter()
{
    Users->ExecFilter("");
    QFont font = btnFilter->font();
    font.setBold(Users->IsFiltered());
    btnFilter->setFont(font);
}

void TfrmUserList::SendMail()
{
    if (!Users->Active() || Users->IsEmpty() || !m_context.SendOMail)
        return;
    m_context.SendOMail(FieldText(*Users, "USER_ID") + "@" + FieldText(*Users, "ENTERPRISE"));
}

void TfrmUserList::FormClose(TFormCloseAction& Action)
{
    Action = fcaFree;
    Users->Close();
    if (m_context.AppletClosed)
        m_context.AppletClosed(this);
}

void TfrmUserList::Deactivate()
{
    TModuleForm::Deactivate();
    if (QWidget* focused = focusWidget())
        focused->clearFocus();
}
