#include "Components/Controller/signin/PasswordDlg.h"

#include "platform/SysUtils.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TPasswordDlg::TPasswordDlg(QWidget* parent) : TDialogForm(parent)
{
    setObjectName("PasswordDlg");
    setWindowTitle(QStringLiteral("Login"));
    SetPosition(poScreenCenter);
    m_edtUserName = new QLineEdit(this);
    m_edtUserName->setObjectName("edtUserName");
    m_edtPassword = new QLineEdit(this);
    m_edtPassword->setObjectName("edtPassword");
    SetPasswordChar(m_edtPassword, '*');
    QPushButton* ok = MakeButton("OK", mrOk, true);
    QPushButton* cancel = MakeButton("Cancel", mrCancel, false, true);

    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("User:"), m_edtUserName);
    fields->addRow(QStringLiteral("Password:"), m_edtPassword);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(MakeButtonRow({ok, cancel}));
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_edtUserName->setMinimumWidth(200);
    m_edtUserName->setFocus();
}

TPasswordDlg::~TPasswordDlg() = default;

bool TPasswordDlg::Execute(std::string& UserName, std::string& Password)
{
    TPasswordDlg dialog;
    dialog.edtUserName()->setText(QString::fromStdString(UserName));
    dialog.edtPassword()->setText(QString::fromStdString(Password));
    if (dialog.ShowModal() != mrOk)
        return false;
    UserName = TrimmedText(dialog.edtUserName());
    Password = TrimmedText(dialog.edtPassword());
    return true;
}

void TPasswordDlg::CloseQuery(bool& CanClose)
{
    if (ModalResult() != mrOk)
        return;
    if (TrimmedText(m_edtUserName).empty()) {
        m_edtUserName->setFocus();
        throw Exception("Please specify a user name");
    }
    if (TrimmedText(m_edtPassword).empty()) {
        m_edtPassword->setFocus();
        throw Exception("Please specify a user password");
    }
}
