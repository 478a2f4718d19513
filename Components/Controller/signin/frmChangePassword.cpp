#include "Components/Controller/signin/frmChangePassword.h"

#include "Components/Controller/ovnAdmin.h"
#include "Components/Controller/signin/CheckPassword.h"
#include "Components/Nembra/NembraDatabase.h"
#include "Components/Nembra/ovnOndrel.h"
#include "platform/DateUtils.h"
#include "platform/Dialogs.h"
#include "platform/Fields.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QValidator>
#include <QVBoxLayout>

const char* const SPasswordsDoNotMatch = "New password and confirm password does not match!";
const char* const SPasswordChanged = "Password was changed";

namespace {

// Turns everything typed into upper case while it is active.
class TUpperCaseValidator : public QValidator
{
  public:
    using QValidator::QValidator;
    bool Active = true;
    State validate(QString& text, int&) const override
    {
        if (Active)
            text = text.toUpper();
        return Acceptable;
    }
};

QLineEdit* PasswordEdit(QWidget* parent, const char* name)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    SetPasswordChar(edit, '*');
    edit->setValidator(new TUpperCaseValidator(edit));
    edit->setMinimumWidth(180);
    return edit;
}

} // namespace

TfrmChangePassword::TfrmChangePassword(TNembraDatabase& DBSys, TAdminUser& User, QWidget* parent)
    : TDialogForm(parent), m_dbSys(DBSys), m_user(User)
{
    setObjectName("frmChangePassword");
    setWindowTitle(QStringLiteral("Change Password"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    SetPosition(poScreenCenter);
    m_edtOld = PasswordEdit(this, "edtOld");
    m_edtNew = PasswordEdit(this, "edtNew");
    m_edtConfirm = PasswordEdit(this, "edtConfirm");
    QPushButton* ok = MakeButton("&OK", mrOk, true);
    QPushButton* cancel = MakeButton("&Cancel", mrCancel, false, true);
    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("Old Password:"), m_edtOld);
    fields->addRow(QStringLiteral("New Password:"), m_edtNew);
    fields->addRow(QStringLiteral("Confirm Password:"), m_edtConfirm);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(MakeButtonRow({ok, cancel}));
    layout->setSizeConstraint(QLayout::SetFixedSize);

    m_qRequireSecurePassword = std::make_unique<TovnOndrelQuery>();
    m_qRequireSecurePassword->SetName("qRequireSecurePassword");
    m_qRequireSecurePassword->SetUseSQL(true);
    m_qRequireSecurePassword->SQL().SetText("Select e.require_secure_password \r\n"
                                            "From tbl_users u Join tbl_enterprises e On e.counter = u.c_enterprise \r\n"
                                            "Where u.counter = :c_user");
    m_qSaveUserPassword = std::make_unique<TovnOndrelQuery>();
    m_qSaveUserPassword->SetName("qSaveUserPassword");
    m_qSaveUserPassword->SetUseSQL(true);
    m_qSaveUserPassword->SQL().SetText("Update tbl_users \r\n"
                                       "Set \r\n"
                                       "  user_password = :user_password, \r\n"
                                       "  last_password_change  = to_date(:last_password_change, 'yyyymmdd'),\r\n"
                                       "  password_history = :password_history\r\n"
                                       "Where counter = :c_user");
    m_qRequireSecurePassword->SetDatabase(&m_dbSys);
    m_qSaveUserPassword->SetDatabase(&m_dbSys);
    m_edtOld->setFocus();
}

TfrmChangePassword::~TfrmChangePassword() = default;

bool TfrmChangePassword::Execute(TNembraDatabase& DBSys, TAdminUser& User, QWidget* parent)
{
    TfrmChangePassword dialog(DBSys, User, parent);
    // Read as the dialog is shown; a failed read shows its error and leaves
    // the fields typing upper case.
    try {
        dialog.ReadSecureFlag();
    } catch (...) {
        ShowCurrentException();
    }
    return dialog.ShowModal() == mrOk;
}

void TfrmChangePassword::ReadSecureFlag()
{
    m_keepCase = false;
    DoWithDBOpenClose(m_dbSys, [this](TNembraDatabase&) {
        TovnOndrelQuery& q = *m_qRequireSecurePassword;
        q.Close();
        q.Params().ParamByName("c_user")->SetAsInteger(m_user.Counter);
        q.Open();
        m_keepCase = !q.Eof() && q.FieldByName("REQUIRE_SECURE_PASSWORD")->AsString() == "T";
        q.Close();
    });
    for (QLineEdit* edit : {m_edtOld, m_edtNew, m_edtConfirm})
        static_cast<TUpperCaseValidator*>(const_cast<QValidator*>(edit->validator()))->Active = !m_keepCase;
}

void TfrmChangePassword::CloseQuery(bool& CanClose)
{
    if (ModalResult() != mrOk)
        return;
    CanClose = ChangePassword();
}

bool TfrmChangePassword::ChangePassword()
{
    const std::string oldPassword = m_edtOld->text().toStdString();
    const std::string newPassword = m_edtNew->text().toStdString();
    if (AnsiUpperCase(newPassword) != AnsiUpperCase(m_edtConfirm->text().toStdString()))
        throw Exception(SPasswordsDoNotMatch);
    std::string history;
    std::string message;
    DoWithDBOpenClose(m_dbSys, [&](TNembraDatabase& db) {
        message = DoCheckPassword(db, m_user.Counter, nullptr, oldPassword, newPassword, history,
                                  m_user.UserType != "SYS");
    });
    if (!message.empty()) {
        MessageDlg(message, mtWarning, {mbOK});
        return false;
    }
    DoWithDBOpenClose(m_dbSys, [&](TNembraDatabase&) {
        TovnOndrelQuery& q = *m_qSaveUserPassword;
        q.Params().ParamByName("user_password")->SetAsString(newPassword);
        q.Params().ParamByName("last_password_change")->SetAsString(FormatDateTime("yyyymmdd", Date()));
        q.Params().ParamByName("password_history")->SetAsString(history);
        q.Params().ParamByName("c_user")->SetAsInteger(m_user.Counter);
        q.Execute();
    });
    ShowMessage(SPasswordChanged);
    m_user.Password = newPassword;
    return true;
}
