#include "admin/frmInfo.h"

#include "platform/ComCtrls.h"
#include "platform/DBGrids.h"
#include "platform/DataSource.h"
#include "platform/Fields.h"
#include "ui/ovnTabUtils.h"

#include <QPushButton>
#include <QVBoxLayout>

namespace {

struct TListSQL
{
    const char* Select;
    const char* From;
    const char* OrderBy;
    bool HideCounter;
};

const TListSQL ListSQL[3] = {{"*", "TBL_MODULES", "MODULE", true},
                             {"*", "TBL_RESOURCES", "RESOURCE_NAME", true},
                             {"UPDATE_DATE, UPDATE_ID, UPDATE_FILE, APPLY_DATE", "TBL_UPDATES", "UPDATE_DATE", false}};

const char* const PageCaptions[3] = {"Modules", "Resources", "Updates"};

} // namespace

TInfoLists::TInfoLists()
{
    for (int i = 0; i < 3; ++i) {
        auto query = std::make_unique<TovnOndrelQuery>();
        query->SQLSchema().Select().SetText(ListSQL[i].Select);
        query->SQLSchema().From().SetText(ListSQL[i].From);
        query->SQLSchema().OrderBy().SetText(ListSQL[i].OrderBy);
        m_lists[i] = std::move(query);
    }
}

TInfoLists::~TInfoLists() = default;

void TInfoLists::Show(TNembraDatabase* SystemDB)
{
    m_database = SystemDB;
    for (auto& list : m_lists)
        list->SetDatabase(SystemDB);
    m_shown[ilModules] = true;
    Open(ilModules);
}

bool TInfoLists::PageShown(TInfoList Which)
{
    if (!m_shown[Which]) {
        m_shown[Which] = true;
        Open(Which);
    }
    return FilterBold(Which);
}

bool TInfoLists::Filter(TInfoList Which)
{
    m_lists[Which]->ExecFilter("");
    return FilterBold(Which);
}

void TInfoLists::Refresh(TInfoList Which)
{
    if (!m_lists[Which]->Active())
        Open(Which);
}

void TInfoLists::Open(TInfoList Which)
{
    TovnOndrelQuery& list = *m_lists[Which];
    if (list.Active() || !m_database)
        return;
    list.Open();
    if (ListSQL[Which].HideCounter)
        if (TField* counter = list.FindField("COUNTER"))
            counter->SetVisible(false);
}

TfrmInfo::TfrmInfo(TNembraDatabase* SystemDB, QWidget* parent) : TDialogForm(parent), m_systemDB(SystemDB)
{
    setObjectName("frmInfo");
    setWindowTitle("Info");
    resize(640, 420);
    m_pages = new TPageControl(this);
    m_pages->setObjectName("pcInfo");
    TabPainter->SetTabControl(m_pages);
    for (int i = 0; i < 3; ++i) {
        auto* sheet = new TTabSheet(m_pages);
        sheet->SetCaption(PageCaptions[i]);
        auto* layout = new QVBoxLayout(sheet);
        layout->setContentsMargins(4, 4, 4, 4);
        m_sources[i] = std::make_unique<TDataSource>();
        m_sources[i]->SetDataSet(&m_lists.List(static_cast<TInfoList>(i)));
        m_grids[i] = new TDBGrid;
        m_grids[i]->SetDataSource(m_sources[i].get());
        m_grids[i]->SetReadOnly(true);
        layout->addWidget(m_grids[i]);
    }
    m_pages->SetActivePageIndex(0);
    m_pages->OnChange = [this](TObject*) {
        try {
            PageChanged();
        } catch (...) {
            ShowCurrentException();
        }
    };

    m_btnFilter = MakeButton("Filter", mrNone);
    m_btnRefresh = MakeButton("Refresh", mrNone);
    QPushButton* close = MakeButton("&Close", mrOk, false, true);
    QObject::connect(m_btnFilter, &QPushButton::clicked, this, [this] {
        try {
            FilterClick();
        } catch (...) {
            ShowCurrentException();
        }
    });
    QObject::connect(m_btnRefresh, &QPushButton::clicked, this, [this] {
        try {
            RefreshClick();
        } catch (...) {
            ShowCurrentException();
        }
    });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pages, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_btnFilter);
    buttons->addWidget(m_btnRefresh);
    buttons->addStretch(1);
    buttons->addWidget(close);
    layout->addLayout(buttons);
}

TfrmInfo::~TfrmInfo()
{
    // The grids follow the sources; they go before the lists do.
    for (TDBGrid* grid : m_grids)
        grid->SetDataSource(nullptr);
}

TInfoList TfrmInfo::ActiveList() const
{
    const int index = m_pages->ActivePageIndex();
    return static_cast<TInfoList>(index < 0 ? 0 : index);
}

void TfrmInfo::showEvent(QShowEvent* event)
{
    TDialogForm::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    try {
        m_lists.Show(m_systemDB);
    } catch (...) {
        ShowCurrentException();
    }
}

void TfrmInfo::FilterClick()
{
    SetBold(m_lists.Filter(ActiveList()));
}

void TfrmInfo::RefreshClick()
{
    m_lists.Refresh(ActiveList());
}

void TfrmInfo::PageChanged()
{
    SetBold(m_lists.PageShown(ActiveList()));
}

void TfrmInfo::SetBold(bool Bold)
{
    QFont font = m_btnFilter->font();
    font.setBold(Bold);
    m_btnFilter->setFont(font);
}
