#include "Components/Controller/web/ScreenPeep.h"

#include "platform/StdCtrls.h"

#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

TfrmScreenPeep::TfrmScreenPeep(QWidget* parent) : TDialogForm(parent)
{
    setObjectName("frmScreenPeep");
    setWindowTitle(QStringLiteral("Screen Peep"));
    SetPosition(poScreenCenter);
    auto* heading = new TPlainLabel(QStringLiteral("WARNING!!!"), this);
    QFont big = heading->font();
    big.setPointSize(big.pointSize() + 6);
    big.setBold(true);
    heading->setFont(big);
    heading->setStyleSheet(QStringLiteral("color: #C00000"));
    heading->setAlignment(Qt::AlignCenter);
    auto* remote = new TPlainLabel(QStringLiteral("Remote user "), this);
    m_lblUser = new TPlainLabel(QStringLiteral("<USER>"), this);
    m_lblUser->setObjectName("lblUser");
    m_lblUser->setTextFormat(Qt::PlainText);
    QFont bold = m_lblUser->font();
    bold.setBold(true);
    m_lblUser->setFont(bold);
    auto* trying = new TPlainLabel(QStringLiteral("is trying to view your screen from his/her workstation. "), this);
    auto* question = new TPlainLabel(QStringLiteral("Do you authorize this action?"), this);
    m_lblCountdown = new TPlainLabel(QStringLiteral("Autoclose in 15 seconds"), this);
    m_lblCountdown->setObjectName("lblCountdown");
    m_btnYes = MakeButton("&YES - He is a good guy", mrNone);
    m_btnNo = MakeButton("&NO WAY!!!", mrCancel, true, true);
    connect(m_btnYes, &QPushButton::clicked, this, [this] {
        Tag = 100;
        SetModalResult(mrOk);
    });
    auto* userLine = new QHBoxLayout;
    userLine->addWidget(remote);
    userLine->addWidget(m_lblUser);
    userLine->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addLayout(userLine);
    layout->addWidget(trying);
    layout->addWidget(question);
    layout->addWidget(m_lblCountdown);
    layout->addLayout(MakeButtonRow({m_btnYes, m_btnNo}));
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_btnNo->setFocus();
    m_timer.SetInterval(1000);
    m_timer.OnTimer = [this](TTimer*) { Tick(); };
    m_timer.SetEnabled(true);
}

TfrmScreenPeep::~TfrmScreenPeep()
{
    m_timer.SetEnabled(false);
}

void TfrmScreenPeep::showEvent(QShowEvent* event)
{
    TDialogForm::showEvent(event);
    if (!event->spontaneous()) {
        m_btnNo->setFocus();
        Tick();
    }
}

void TfrmScreenPeep::Tick()
{
    m_lblCountdown->setText(QStringLiteral("Autoclose in %1 seconds").arg(15 - m_ticks));
    ++m_ticks;
    // Also after 16 when the ticks ran while the dialog stood unshown.
    if (m_ticks >= 16)
        m_btnNo->click();
}
