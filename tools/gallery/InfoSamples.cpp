// The "Info" window with local rows standing in for the system database's.

#include "tools/gallery/GallerySamples.h"

#include "Components/KldDBComponents/KldDataSet.h"
#include "admin/frmInfo.h"
#include "platform/ComCtrls.h"
#include "platform/DBGrids.h"
#include "platform/DataSource.h"
#include "platform/DateUtils.h"

#include <memory>
#include <string>
#include <vector>

namespace {

struct TSampleRows
{
    TKldDataContainer Container;
    TKldDataSet Ds;
    TDataSource Source;
    // Columns by name with the size of the server's text field; a column
    // without a size holds dates, as the server sends them.
    TSampleRows(const std::vector<std::pair<std::string, int>>& Columns,
                const std::vector<std::vector<std::string>>& Rows)
    {
        TKldDataTable* table = Container.Tables().Add();
        table->SetName("Rows");
        for (const auto& [name, size] : Columns)
            table->Columns().AddColumn(name, size > 0 ? cdtString : cdtDateTime, size);
        table->BeginUpdate();
        for (const auto& cells : Rows) {
            TKldDataRow* row = table->New();
            for (size_t i = 0; i < cells.size(); ++i) {
                if (Columns[i].second > 0)
                    row->SetAsVariant(Columns[i].first, cells[i]);
                else
                    row->SetAsVariant(Columns[i].first, Variant::FromDate(StrToDateTime(cells[i])));
            }
            table->Insert(row);
        }
        table->EndUpdate();
        Ds.SetDataContainer(&Container);
        Ds.SetDataTableName("Rows");
        Ds.Open();
        Source.SetDataSet(&Ds);
    }
};

TSampleRows& Modules()
{
    static TSampleRows rows({{"MODULE", 40}, {"DESCRIPTION", 80}, {"CURRENT_USE", 1}},
                            {{"Care", "Care of residents", "T"},
                             {"NOTIFICATIONS", "Notifications", "T"},
                             {"Office", "Office work", "T"}});
    return rows;
}

TSampleRows& Updates()
{
    static TSampleRows rows({{"UPDATE_DATE", 0}, {"UPDATE_ID", 40}, {"UPDATE_FILE", 255}, {"APPLY_DATE", 0}},
                            {{"10/02/2026", "SYS-2026-10", "sys_2026_10.sql", "10/03/2026 06:15:00"},
                             {"11/20/2026", "SYS-2026-11", "sys_2026_11.sql", "11/21/2026 06:20:00"}});
    return rows;
}

QWidget* MakeInfo(QWidget* parent)
{
    auto* form = new TfrmInfo(nullptr, parent);
    form->setWindowFlags(Qt::Widget);
    form->Grid(ilModules)->SetDataSource(&Modules().Source);
    form->Grid(ilUpdates)->SetDataSource(&Updates().Source);
    return form;
}

std::vector<std::pair<std::string, QImage>> ShowUpdates(QWidget* control)
{
    auto* form = static_cast<TfrmInfo*>(control);
    form->pcInfo()->SetActivePageIndex(ilUpdates);
    QImage picture = form->grab().toImage();
    form->pcInfo()->SetActivePageIndex(ilModules);
    return {{"info-updates", picture}};
}

const TGalleryRegistration Info{{"info", QSize(640, 420), MakeInfo, ShowUpdates}};

} // namespace
