#include "admin/frmNETHealth.h"

#include "Components/Controller/mainwindow/OrvaneBrowser4SystemInfo.h"
#include "Components/Controller/ovnController.h"
#include "Components/Controller/ovnPreferences.h"
#include "Components/Controller/web/ovnWebViewController.h"
#include "Components/Nembra/NembraFileSystemCache.h"
#include "Components/Nembra/NembraNotificationsClient.h"
#include "Components/Nembra/ovnOndrel.h"
#include "platform/DateUtils.h"
#include "platform/Processes.h"
#include "platform/ReportList.h"
#include "platform/StdCtrls.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTextCursor>
#include <QVBoxLayout>

namespace {

QString Q(const std::string& s)
{
    return QString::fromStdString(s);
}

enum
{
    ColKernelCRC = 3,
    ColResourceFile = 1,
    ColResourceCRC = 5
};

} // namespace

TNETHealthContext NETHealthContextOfController()
{
    TNETHealthContext context;
    context.Brand = AppBrand;
    context.ProgramFile = ParamStr(0);
    if (DefaultWebViewControllerClass && DefaultWebViewControllerClass->GetBrowserVersion)
        context.BrowserVersion = DefaultWebViewControllerClass->GetBrowserVersion();
    if (!Controller)
        return context;
    context.CacheFolder = IncludeTrailingPathDelimiter(Controller->GetCachePath());
    context.Cache = &Controller->Cache();
    context.DownloadOption = static_cast<int>(Controller->Cache().DownloadWhen());
    context.CacheURI = Controller->Cache().URI();
    context.UpdateURL = Controller->Preferences().UpdateURL;
    // The labels show the system connection once signed in; the test needs
    // the sign-in and raises without it.
    if (Controller->GetConnected()) {
        TNembraConnection& connection = Controller->GetSysConnection();
        context.ConnectionName = connection.ConnectionName();
        context.ServerURL = connection.ServerURL();
    }
    context.VNSHost = Controller->NotificationClient().Host();
    context.VNSPort = Controller->NotificationClient().Port();
    context.VNSActive = [] { return Controller && Controller->VNSConnected(); };
    context.SysDB = [] { return Controller ? &Controller->GetSysDB() : nullptr; };
    return context;
}

TfrmNETHealth::TfrmNETHealth(TNETHealthContext Context, QWidget* parent)
    : TDialogForm(parent), m_context(std::move(Context)),
      m_programFolder(IncludeTrailingPathDelimiter(ExtractFilePath(m_context.ProgramFile))),
      m_sysPing(std::make_unique<TovnOndrelSystem>())
{
    setObjectName("frmNETHealth");
    setWindowTitle("System Information");
    SetPosition(poScreenCenter);
    resize(620, 420);
    SetUpPing(*m_sysPing);

    m_pages = new QTabWidget;
    auto* kernel = new QWidget;
    auto* kernelLayout = new QVBoxLayout(kernel);
    m_lblVersion = new TPlainLabel;
    m_lblProgram = new TPlainLabel;
    m_lblBrand = new TPlainLabel;
    m_lvFiles = new TReportList;
    m_lvFiles->SetColumns({{"File Name"}, {"File Date"}, {"File Size", 100, false, true}, {"CRC32"}});
    for (QLabel* label : {m_lblVersion, m_lblProgram, m_lblBrand})
        kernelLayout->addWidget(label);
    kernelLayout->addWidget(m_lvFiles, 1);
    m_pages->addTab(kernel, "Kernel");

    auto* resources = new QWidget;
    auto* resourcesLayout = new QVBoxLayout(resources);
    m_lblCachePath = new TPlainLabel;
    m_lblDownload = new TPlainLabel;
    m_lblCacheURI = new TPlainLabel;
    m_lblUpdateURL = new TPlainLabel;
    m_lvResources = new TReportList;
    m_lvResources->SetColumns(
        {{"Name"}, {"File Name"}, {"Version"}, {"File Date"}, {"File Size", 100, false, true}, {"CRC32"}});
    // Both lists keep their rows sorted by name; the program's files let a
    // column only widen, so that a long name stays readable once shown.
    m_lvFiles->SetSortType(stText);
    m_lvFiles->SetWidenColumns(true);
    m_lvResources->SetSortType(stText);
    for (QLabel* label : {m_lblCachePath, m_lblDownload, m_lblCacheURI, m_lblUpdateURL})
        resourcesLayout->addWidget(label);
    resourcesLayout->addWidget(m_lvResources, 1);
    m_pages->addTab(resources, "Resources");

    auto* network = new QWidget;
    auto* networkLayout = new QVBoxLayout(network);
    m_lblConnection = new TPlainLabel;
    m_lblServer = new TPlainLabel;
    m_lblVNS = new TPlainLabel;
    m_btnTest = new QPushButton("&Test network");
    m_mmResult = new QPlainTextEdit;
    m_mmResult->setReadOnly(true);
    m_mmResult->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_mmResult->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_mmResult->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    for (QLabel* label : {m_lblConnection, m_lblServer, m_lblVNS})
        networkLayout->addWidget(label);
    auto* testRow = new QHBoxLayout;
    testRow->addWidget(m_btnTest);
    testRow->addStretch(1);
    networkLayout->addLayout(testRow);
    networkLayout->addWidget(m_mmResult, 1);
    m_pages->addTab(network, "Network");

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pages, 1);
    layout->addLayout(MakeButtonRow({MakeButton("&Close", mrOk, true, true)}));

    QObject::connect(m_pages, &QTabWidget::currentChanged, this,
                     [this](int index) { PageShown(static_cast<TNETHealthPage>(index)); });
    QObject::connect(m_btnTest, &QPushButton::clicked, this, [this] {
        try {
            TestNetwork();
        } catch (...) {
            ShowCurrentException();
        }
    });
    m_lvFiles->OnDblClick = [this](int row) { ComputeKernelCRC(row); };
    m_lvResources->OnDblClick = [this](int row) { ComputeResourceCRC(row); };
}

TfrmNETHealth::~TfrmNETHealth() = default;

void TfrmNETHealth::Execute(QWidget* parent)
{
    TfrmNETHealth form(NETHealthContextOfController(), parent);
    form.ShowModal();
}

void TfrmNETHealth::showEvent(QShowEvent* event)
{
    TDialogForm::showEvent(event);
    PageShown(static_cast<TNETHealthPage>(m_pages->currentIndex()));
}

void TfrmNETHealth::PageShown(TNETHealthPage Page)
{
    if (Page < nhKernel || Page > nhNetwork || !m_fill.TakeFill(Page))
        return;
    switch (Page) {
    case nhKernel:
        FillKernel();
        break;
    case nhResources:
        FillResources();
        break;
    case nhNetwork:
        FillNetwork();
        break;
    }
}

void TfrmNETHealth::FillKernel()
{
    m_lblVersion->setText(
        Q(Format(KernelVersionFormat, KernelVersion(m_programFolder), m_context.BrowserVersion)));
    m_lblProgram->setText(Q("Program file: " + m_context.ProgramFile));
    m_lblBrand->setText(Q(BrandText(m_context.Brand)));
    for (const TKernelItem& item : KernelItems(m_programFolder))
        m_lvFiles->AddRow({item.Name, item.Cells.Date, item.Cells.Size, item.Cells.CRC});
}

void TfrmNETHealth::FillResources()
{
    m_lblCachePath->setText(Q(Format("Local cache path: %s", m_context.CacheFolder)));
    m_lblDownload->setText(Q(Format("Download option: %s", DownloadOptionName(m_context.DownloadOption))));
    m_lblCacheURI->setText(Q(Format("Cache URI: %s", m_context.CacheURI)));
    m_lblUpdateURL->setText(Q(Format("Update URL: %s", m_context.UpdateURL)));
    if (!m_context.Cache)
        return;
    for (const TResourceItem& item : ResourceItems(*m_context.Cache, m_context.CacheFolder))
        m_lvResources->AddRow(
            {item.Name, item.FileName, item.Version, item.Cells.Date, item.Cells.Size, item.Cells.CRC});
}

void TfrmNETHealth::FillNetwork()
{
    m_lblConnection->setText(Q(Format("Connection Name: %s", m_context.ConnectionName)));
    m_lblServer->setText(Q(Format("Server URL: %s", m_context.ServerURL)));
    m_lblVNS->setText(Q(Format("VNS URL: %s:%s", m_context.VNSHost, m_context.VNSPort)));
    m_mmResult->clear();
}

void TfrmNETHealth::TestNetwork()
{
    m_sysPing->SetDatabase(m_context.SysDB ? m_context.SysDB() : nullptr);
    const TNetTimes times = RunNetworkTest(*m_sysPing);
    const bool active = m_context.VNSActive && m_context.VNSActive();
    // Lines of a memo: the leading empty line counts even in an empty memo,
    // which appending to the editor would swallow.
    QStringList lines;
    if (!m_mmResult->toPlainText().isEmpty())
        lines << m_mmResult->toPlainText();
    for (const std::string& line : NetTestLines(times, Now(), active))
        lines << Q(line);
    m_mmResult->setPlainText(lines.join('\n'));
    m_mmResult->moveCursor(QTextCursor::End);
}

void TfrmNETHealth::ComputeKernelCRC(int Row)
{
    if (Row < 0 || Row >= m_lvFiles->Count())
        return;
    m_lvFiles->SetCell(Row, ColKernelCRC, FileCRC32(m_programFolder + m_lvFiles->Caption(Row)));
}

void TfrmNETHealth::ComputeResourceCRC(int Row)
{
    if (Row < 0 || Row >= m_lvResources->Count() || m_lvResources->Cell(Row, ColResourceFile).empty())
        return;
    m_lvResources->SetCell(Row, ColResourceCRC,
                           FileCRC32(m_context.CacheFolder + m_lvResources->Cell(Row, ColResourceFile)));
}

namespace {

// The main window's "&System Information..." shows the dialog.
const bool Registered = [] {
    RegisterSystemInfoDialog([](QWidget* Owner) { TfrmNETHealth::Execute(Owner); });
    return true;
}();

} // namespace
