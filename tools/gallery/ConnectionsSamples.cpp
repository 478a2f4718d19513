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
#include "platform/DateUtils.h"
#include "platform/Fields.h"

#include <QPushButton>

#include <string>
#include <utility>
#include <vector>

namespace {

// A column of the rows: its caption and the size of the server's text
// field; without a size the column holds dates and times, as the server
// sends them.
struct TRowsColumn
{
    std::string Name;
    std::string Caption;
    int Size = 0;
};

struct TSampleRows
{
    TKldDataContainer Container;
    TKldDataSet Ds;
    TDataSource Source;
    TSampleRows(const std::vector<TRowsColumn>& Columns, const std::vector<std::vector<std::string>>& Rows)
    {
        TKldDataTable* table = Container.Tables().Add();
        table->SetName("Rows");
        for (const TRowsColumn& column : Columns)
            table->Columns().AddColumn(column.Name, column.Size > 0 ? cdtString : cdtDateTime, column.Size);
        table->BeginUpdate();
        for (const auto& cells : Rows) {
            TKldDataRow* row = table->New();
            for (size_t i = 0; i < cells.size(); ++i) {
                if (Columns[i].Size > 0)
                    row->SetAsVariant(Columns[i].Name, cells[i]);
                else
                    row->SetAsVariant(Columns[i].Name, Variant::FromDate(StrToDateTime(cells[i])));
            }
            table->Insert(row);
        }
        table->EndUpdate();
        Ds.SetDataContainer(&Container);
        Ds.SetDataTableName("Rows");
        Ds.Open();
        for (size_t i = 0; i < Columns.size(); ++i)
            Ds.Fields().Fields(static_cast<int>(i))->SetDisplayLabel(Columns[i].Caption);
        Source.SetDataSet(&Ds);
    }
};

TSampleRows& Sessions()
{
    static TSampleRows rows({{"USER_ID", "User ID", 30},
                             {"USER_TYPE", "User Type", 3},
                             {"USER_IP", "User IP", 15},
                             {"STARTED", "Connection Started"},
                             {"DB_ALIAS", "Alias", 20}},
                            {{"ADMIN", "SYS", "127.0.0.1", "12/11/2026 08:02:14", ""},
                             {"MANAGER", "MGR", "10.20.0.31", "12/11/2026 08:15:40", "CEDAR"},
                             {"NURSE", "USR", "10.20.0.57", "12/11/2026 08:31:05", "MAPLE"},
                             {"CAROL", "USR", "10.20.0.62", "12/11/2026 09:04:51", "MAPLE"}});
    return rows;
}

// A manager's list: the sessions of his current data alias only.
TSampleRows& ManagerSessions()
{
    static TSampleRows rows({{"USER_ID", "User ID", 30},
                             {"USER_TYPE", "User Type", 3},
                             {"USER_IP", "User IP", 15},
                             {"STARTED", "Connection Started"},
                             {"DB_ALIAS", "Alias", 20}},
                            {{"MANAGER", "MGR", "10.20.0.31", "12/11/2026 08:15:40", "CEDAR"},
                             {"OLIVE", "USR", "10.20.0.44", "12/11/2026 08:47:19", "CEDAR"}});
    return rows;
}

TSampleRows& Locks()
{
    static TSampleRows rows(
        {{"LOCK_PATH", "Lock Path", 255},
         {"CREATED", "Created"},
         {"USER_ID", "User ID", 30},
         {"DB_ALIAS", "Alias", 20},
         {"DESCRIPTION", "Description", 255}},
        {{"/MAPLE/RESIDENT/12", "12/11/2026 08:40:12", "NURSE", "MAPLE", "Resident 12"},
         {"/CEDAR/ROSTER/2026-12", "12/11/2026 08:52:30", "MANAGER", "CEDAR", "December roster"}});
    return rows;
}

TSampleRows& Servers()
{
    static TSampleRows rows({{"SERVER_NAME", "Server", 60},
                             {"STARTED", "Started"},
                             {"LAST_ACTIVE", "Last Active"},
                             {"EXTERNAL_IP", "IP", 40},
                             {"EXTERNAL_HOST", "Host", 80},
                             {"PROTOCOL", "Protocol", 10},
                             {"URI_PATH", "URI", 80},
                             {"COMPUTER_NAME", "Computer Name", 80},
                             {"ACTIVE_SESSIONS", "Sessions", 11}},
                            {{"appserver:8095", "12/11/2026 07:58:03", "12/11/2026 09:05:12", "127.0.0.1",
                              "localhost", "http", "/bin/orvane.dll", "care-server", "4"}});
    return rows;
}

TSampleRows& Users()
{
    static TSampleRows rows({{"USER_ID", "ID", 30},
                             {"FULL_NAME", "Name", 60},
                             {"USER_TYPE", "Type", 3},
                             {"ENTERPRISE", "Enterprise", 30},
                             {"USER_IP", "IP", 15},
                             {"STARTED", "STARTED"},
                             {"USER_AGENT", "USER_AGENT", 255}},
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
    pictures.emplace_back("connections-locks", form->grab().toImage());
    form->Pages->SetActivePage(form->tsServers);
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
// As wide as the window opens, maximized, on a desktop 1280 pixels wide.
const TGalleryRegistration UserList{{"user-list", QSize(1280, 420), MakeUserList, {}}};

} // namespace
