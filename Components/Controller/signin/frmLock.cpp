#include "Components/Controller/signin/frmLock.h"

#include "Components/Controller/ovnAdmin.h"
#include "platform/StdCtrls.h"
#include "platform/SysUtils.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

const char* const SEnterPasswordToUnlock = "Enter Password to unlock";

static void InitLockResources()
{
    Q_INIT_RESOURCE(ControllerResources);
}

TfrmLock::TfrmLock(const TAdminUser& User, QWidget* parent) : TDialogForm(parent), m_user(User)
{
    InitLockResources();
    setObjectName("frmLock");
    setWindowTitle(QStringLiteral("Browser Locked"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    SetPosition(poMainFormCenter);
    m_imgLock = new TPlainLabel(this);
    m_imgLock->setObjectName("imgLock");
    m_imgLock->setPixmap(QPixmap(QStringLiteral(":/res/KLD_LOCK24.png")).scaled(48, 48, Qt::KeepAspectRatio,
                                                                                Qt::SmoothTransformation));
    m_imgLock->setAlignment(Qt::AlignCenter);
    m_edtId = new QLineEdit(this);
    m_edtId->setObjectName("edtId");
    m_edtId->setReadOnly(true);
    m_edtId->setFocusPolicy(Qt::NoFocus);
    m_edtPassword = new QLineEdit(this);
    m_edtPassword->setObjectName("edtPassword");
    SetPasswordChar(m_edtPassword, '*');
    m_edtPassword->setMinimumWidth(180);
    QPushButton* unlock = MakeButton("&Unlock", mrOk, true);
    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("User:"), m_edtId);
    fields->addRow(QStringLiteral("Password:"), m_edtPassword);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_imgLock);
    layout->addLayout(fields);
    layout->addLayout(MakeButtonRow({unlock}));
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

TfrmLock::~TfrmLock() = default;

void TfrmLock::showEvent(QShowEvent* event)
{
    TDialogForm::showEvent(event);
    if (event->spontaneous())
        return;
    // The field shows upper case whatever the record holds.
    m_edtId->setText(QString::fromStdString(m_user.ID).toUpper());
    m_edtPassword->clear();
    m_edtPassword->setFocus();
}

void TfrmLock::CloseQuery(bool& CanClose)
{
    const std::string password = m_edtPassword->text().toStdString();
    if (ModalResult() == mrOk && Trim(password).empty()) {
        m_edtPassword->setFocus();
        throw Exception(SEnterPasswordToUnlock);
    }
    // No trimming, case-sensitive; a refusal says nothing.
    CanClose = password == m_user.Password;
}
