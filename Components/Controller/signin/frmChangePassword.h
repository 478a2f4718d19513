#pragma once
// The password change `TfrmChangePassword` ("Change Password") of the
// signed-in user: old, new and confirmation, checked by the password rules
// (CheckPassword.h) and stored on the system database with today's date and
// the new history. The fields type upper case unless the user's enterprise
// requires secure passwords. OK closes only after the change was stored; a
// rule's message shows in a warning box and the dialog stays.
//
// Main thread only.

#include "platform/Forms.h"

#include <memory>
#include <string>

class QLineEdit;
class TAdminUser;
class TNembraDatabase;
class TovnOndrelQuery;

extern const char* const SPasswordsDoNotMatch; // "New password and confirm password does not match!"
extern const char* const SPasswordChanged;     // "Password was changed"

class TfrmChangePassword : public TDialogForm
{
  public:
    TfrmChangePassword(TNembraDatabase& DBSys, TAdminUser& User, QWidget* parent = nullptr);
    ~TfrmChangePassword() override;
    std::string ClassName() const override { return "TfrmChangePassword"; }

    // The dialog for the user, modally; True when the password was changed.
    static bool Execute(TNembraDatabase& DBSys, TAdminUser& User, QWidget* parent = nullptr);

    QLineEdit* edtOld() const { return m_edtOld; }
    QLineEdit* edtNew() const { return m_edtNew; }
    QLineEdit* edtConfirm() const { return m_edtConfirm; }
    TovnOndrelQuery& qRequireSecurePassword() const { return *m_qRequireSecurePassword; }
    TovnOndrelQuery& qSaveUserPassword() const { return *m_qSaveUserPassword; }
    // The fields keep the case as typed (a secure enterprise).
    bool KeepsCase() const { return m_keepCase; }

    // The user's "REQUIRE_SECURE_PASSWORD" (the system database open for
    // the read): "T" keeps the case as typed, anything else types upper case.
    void ReadSecureFlag();

  protected:
    void CloseQuery(bool& CanClose) override;

  private:
    bool ChangePassword();

    TNembraDatabase& m_dbSys;
    TAdminUser& m_user;
    QLineEdit* m_edtOld = nullptr;
    QLineEdit* m_edtNew = nullptr;
    QLineEdit* m_edtConfirm = nullptr;
    std::unique_ptr<TovnOndrelQuery> m_qRequireSecurePassword;
    std::unique_ptr<TovnOndrelQuery> m_qSaveUserPassword;
    bool m_keepCase = false;
};
