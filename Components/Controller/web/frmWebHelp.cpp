#include "Components/Controller/web/frmWebHelp.h"

#include "Components/Controller/mainwindow/OrvaneBrowser4Actions.h"
#include "Components/Controller/ovnController.h"
#include "Components/Controller/web/ovnWebViewController.h"
#include "Components/Nembra/NembraJSON.h"
#include "platform/Dialogs.h"
#include "platform/SysUtils.h"

#include <QCloseEvent>
#include <QEvent>
#include <QHBoxLayout>
#include <QPushButton>
#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

TfrmWebHelp* frmWebHelp = nullptr;

std::string WebHelpCaption(int32_t Brand)
{
    const char* name = Brand == 0 ? "Orvane" : Brand == 1 ? "Tallowin" : "";
    return Format("%s Web Help", name);
}

std::string WebHelpHome(int32_t Brand)
{
    return Brand == 0 ? OrvaneWebHelpSite : Brand == 1 ? TallowinWebHelpSite : "about:blank";
}

TfrmWebHelp::TfrmWebHelp(int32_t Brand, const std::string& HomeOverride, QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName("frmWebHelp");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString::fromStdString(WebHelpCaption(Brand)));
    m_home = HomeOverride.empty() ? WebHelpHome(Brand) : HomeOverride;
    m_pnlTop = new QWidget(this);
    m_pnlTop->setObjectName("pnlTop");
    m_pnlTop->installEventFilter(this);
    m_btnClose = new QPushButton(QStringLiteral("Close"), m_pnlTop);
    m_btnBack = new QPushButton(QStringLiteral("<< Back"), m_pnlTop);
    m_btnHome = new QPushButton(QStringLiteral("Home"), m_pnlTop);
    auto* buttons = new QHBoxLayout(m_pnlTop);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->addWidget(m_btnClose);
    buttons->addWidget(m_btnBack);
    buttons->addWidget(m_btnHome);
    buttons->addStretch();
    // The browser fills the area below the top panel; the window owns it.
    auto* pnlBrowser = new QWidget(this);
    pnlBrowser->setObjectName("pnlBrowser");
    m_browser = DefaultWebViewControllerClass->Create(pnlBrowser);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_pnlTop);
    layout->addWidget(pnlBrowser, 1);
    connect(m_btnClose, &QPushButton::clicked, this, [this] { close(); });
    connect(m_btnBack, &QPushButton::clicked, this, [this] { GoBack(); });
    connect(m_btnHome, &QPushButton::clicked, this, [this] { GoHome(); });
    resize(800, 600);
    if (const QScreen* primary = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(primary->availableGeometry().center());
        move(frame.topLeft());
    }
}

TfrmWebHelp::~TfrmWebHelp()
{
    if (frmWebHelp == this)
        frmWebHelp = nullptr;
}

void TfrmWebHelp::GoHome()
{
    m_browser->Navigate(m_home);
}

void TfrmWebHelp::GoBack()
{
    try {
        m_browser->GoBack();
    } catch (const Exception&) {
        // No history: nothing to go back to.
    }
}

void TfrmWebHelp::ShowSource()
{
    // 200 characters, not bytes: a cut never splits a UTF-8 sequence.
    // The embedded browser's script call answers the source as a JSON
    // string; a view that gives the page's text itself is shown as it is.
    std::string source = m_browser->GetPageSource();
    try {
        source = UnencodeJSONStr(source);
    } catch (const Exception&) {
    }
    size_t end = 0;
    for (int count = 0; end < source.size() && count < 200; ++count) {
        ++end;
        while (end < source.size() && (static_cast<unsigned char>(source[end]) & 0xC0) == 0x80)
            ++end;
    }
    ShowMessage(source.substr(0, end));
}

void TfrmWebHelp::closeEvent(QCloseEvent* event)
{
    // Closing frees the window (WA_DeleteOnClose); the next ShowWebHelp
    // makes a new one even before the deletion has run.
    if (frmWebHelp == this)
        frmWebHelp = nullptr;
    QWidget::closeEvent(event);
}

void TfrmWebHelp::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        GoHome();
}

bool TfrmWebHelp::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_pnlTop && event->type() == QEvent::MouseButtonDblClick) {
        ShowSource();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void ShowWebHelp(const std::string& HomeOverride)
{
    if (!frmWebHelp)
        frmWebHelp = new TfrmWebHelp(AppBrand, HomeOverride);
    if (frmWebHelp->isVisible()) {
        frmWebHelp->raise();
        frmWebHelp->activateWindow();
    } else {
        frmWebHelp->show();
    }
}
