// The connections window on its three tabs and the user list, with local
// rows standing in for the server's run-time information.

#include "tools/gallery/GallerySamples.h"

#include "Components/Controller/ovnController.h"
#include "Components/KldDBComponents/KldDataSet.h"
#include "admin/frmConnections.h"
#include "admin/frmUserList.h"
#include "platform/ComCtrls.h"
#include "platform/DBGrids.h"
#include "platform/DataSource.h"
#include "platform/Fields.h"

#include <QPushButton>

#include <string>
#include <utility>
#include <vector>

namespace {

struct TSampleRows
{
    TKldDataContainer Container;
    TKldDataSet Ds;
    TDataSource Source;
    TSampleRows(const std::vector<std::pair<std::string, std::string>>& Columns,
                const std::vector<std::vector<std::string>>& Rows)
    {
        TKldDataTable* table = Container.Tables().Add();
        table->SetName("Rows");
        for (const auto& [name, caption] : Columns)
            table->Columns().AddColumn(name, cdtString, 60);
        table->BeginUpdate();
        for (const auto& cells : Rows) {
            TKldDataRow* row = table->New();
            for (size_t i = 0; i < cells.size(); ++i)
                row->SetAsVariant(Columns[i].first, cells[i]);
            table->Insert(row);
        }
        table->EndUpdate();
        Ds.SetDataContainer(&Container);
        Ds.SetDataTableName("Rows");
        Ds.Open();
        for (size_t i = 0; i < Columns.size(); ++i)
            Ds.Fields().Fields(static_cast<int>(i))->SetDisplayLabel(Columns[i].second);
        Source.SetDataSet(&Ds);
    }
};

TSampleRows& Sessions()
{
    static TSampleRows rows({{"USER_ID", "User ID"},
                             {"USER_TYPE", "User Type"},
                             {"USER_IP", "User IP"},
                             {"STARTED", "Connection Started"},
                             {"DB_ALIAS", "Alias"}},
                            {{"ADMIN", "SYS", "127.0.0.1", "12/11/2026 08:02:14", ""},
                             {"MANAGER", "MGR", "10.20.0.31", "12/11/2026 08:15:40", "CEDAR"},
                             {"NURSE", "USR", "10.20.0.57", "12/11/2026 08:31:05", "MAPLE"},
                             {"CAROL", "USR", "10.20.0.62", "12/11/2026 09:04:51", "MAPLE"}});
    return rows;
}

// A manager's list: the sessions of his current data alias only.
TSampleRows& ManagerSessions()
{
    static TSampleRows rows({{"USER_ID", "User ID"},
                             {"USER_TYPE", "User Type"},
                             {"USER_IP", "User IP"},
                             {"STARTED", "Connection Started"},
                             {"DB_ALIAS", "Alias"}},
                            {{"MANAGER", "MGR", "10.20.0.31", "12/11/2026 08:15:40", "CEDAR"},
                             {"OLIVE", "USR", "10.20.0.44", "12/11/2026 08:47:19", "CEDAR"}});
    return rows;
}

TSampleRows& Locks()
{
    static TSampleRows rows(
        {{"LOCK_PATH", "Lock Path"},
         {"CREATED", "Created"},
         {"USER_ID", "User ID"},
         {"DB_ALIAS", "Alias"},
         {"DESCRIPTION", "Description"}},
        {{"/MAPLE/RESIDENT/12", "12/11/2026 08:40:12", "NURSE", "MAPLE", "Resident 12"},
         {"/CEDAR/ROSTER/2026-12", "12/11/2026 08:52:30", "MANAGER", "CEDAR", "December roster"}});
    return rows;
}

TSampleRows& Servers()
{
    static TSampleRows rows({{"SERVER_NAME", "Server"},
                             {"STARTED", "Started"},
                             {"LAST_ACTIVE", "Last Active"},
                             {"EXTERNAL_IP", "IP"},
                             {"EXTERNAL_HOST", "Host"},
                             {"PROTOCOL", "Protocol"},
                             {"URI_PATH", "URI"},
                             {"COMPUTER_NAME", "Computer Name"},
                             {"ACTIVE_SESSIONS", "Sessions"}},
                            {{"appserver:8095", "12/11/2026 07:58:03", "12/11/2026 09:05:12", "127.0.0.1",
                              "localhost", "http", "/bin/orvane.dll", "care-server", "4"}});
    return rows;
}

TSampleRows& Users()
{
    static TSampleRows rows({{"USER_ID", "ID"},
                             {"FULL_NAME", "Name"},
                             {"USER_TYPE", "Type"},
                             {"ENTERPRISE", "Enterprise"},
                             {"USER_IP", "IP"},
                             {"STARTED", "STARTED"},
                             {"USER_AGENT", "USER_AGENT"}},
                            {{"CAROL", "Carol Reed", "USR", "HARBOUR VIEW CARE", "10.20.0.62",
                              "12/11/2026 09:04:51", "Tallowin 3.1 (Linux)"},
                             {"MANAGER", "Helen Brooks", "MGR", "HARBOUR VIEW CARE", "10.20.0.31",
                              "12/11/2026 08:15:40", "Tallowin 3.1 (Linux)"},
                             {"ADMIN", "System Manager", "SYS", "GLOBAL ENTERPRISE", "127.0.0.1",
                              "12/11/2026 08:02:14", "Tallowin 3.1 (Linux)"},
                             {"NURSE", "Tom Ward", "USR", "HARBOUR VIEW CARE", "10.20.0.57",
                              "12/11/2026 08:31:05", "Tallowin 3.1 (Linux)"}});
    return rows;
}

QWidget* MakeConnections(QWidget* parent)
{
    auto* form = new TfrmConnections(TConnectionsContext{"SYS", "", ""}, parent);
    form->setWindowFlags(Qt::Widget);
    form->grdSessions->SetDataSource(&Sessions().Source);
    form->grdLocks->SetDataSource(&Locks().Source);
    form->grdServers->SetDataSource(&Servers().Source);
    for (TDBGrid* grid : {form->grdSessions, form->grdLocks, form->grdServers})
        grid->resizeColumnsToContents();
    form->btnDisconnect->setEnabled(true);
    form->btnRemoveLock->setEnabled(true);
    form->grdSessions->selectRow(2);
    return form;
}

std::vector<std::pair<std::string, QImage>> ShowOtherTabs(QWidget* control)
{
    auto* form = static_cast<TfrmConnections*>(control);
    std::vector<std::pair<std::string, QImage>> pictures;
    form->Pages->SetActivePage(form->tsLocks);
    form->grdLocks->resizeColumnsToContents();
    pictures.emplace_back("connections-locks", form->grab().toImage());
    form->Pages->SetActivePage(form->tsServers);
    form->grdServers->resizeColumnsToContents();
    pictures.emplace_back("connections-servers", form->grab().toImage());
    form->Pages->SetActivePage(form->tsSessions);
    return pictures;
}

QWidget* MakeManagerConnections(QWidget* parent)
{
    auto* form = new TfrmConnections(TConnectionsContext{"MGR", "", "CEDAR"}, parent);
    form->setWindowFlags(Qt::Widget);
    // What the on-show set-up does for a manager.
    form->tsLocks->SetTabVisible(false);
    form->tsServers->SetTabVisible(false);
    form->grdSessions->SetDataSource(&ManagerSessions().Source);
    form->grdSessions->resizeColumnsToContents();
    form->btnDisconnect->setEnabled(true);
    return form;
}

QWidget* MakeUserList(QWidget* parent)
{
    const int32_t brand = AppBrand;
    AppBrand = 0;
    auto* form = new TfrmUserList(parent, nullptr, TUserListContext{});
    AppBrand = brand;
    form->setWindowFlags(Qt::Widget);
    form->grdUsers->SetDataSource(&Users().Source);
    form->grdUsers->resizeColumnsToContents();
    form->btnOnline->setChecked(true);
    QFont bold = form->btnFilter->font();
    bold.setBold(true);
    form->btnFilter->setFont(bold);
    form->grdUsers->selectRow(0);
    return form;
}

const TGalleryRegistration Connections{{"connections", QSize(760, 420), MakeConnections, ShowOtherTabs}};
const TGalleryRegistration ManagerConnections{
    {"connections-manager", QSize(760, 420), MakeManagerConnections, {}}};
const TGalleryRegistration UserList{{"user-list", QSize(860, 420), MakeUserList, {}}};

} // namespace
