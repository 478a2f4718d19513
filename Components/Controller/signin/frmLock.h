#pragma once
// The screen lock `TfrmLock` ("Browser Locked"): while it shows, the main
// window is hidden. It closes, by its button, its close box, Alt+F4 or
// Escape, only when the password field equals the signed-in user's password
// exactly; a wrong or blank password is refused without a word, and there
// is no limit on attempts. "&Unlock" with a blank password asks for one.
//
// Main thread only.

#include "platform/Forms.h"

#include <string>

class QLabel;
class QLineEdit;
class TAdminUser;

extern const char* const SEnterPasswordToUnlock; // "Enter Password to unlock"

class TfrmLock : public TDialogForm
{
  public:
    explicit TfrmLock(const TAdminUser& User, QWidget* parent = nullptr);
    ~TfrmLock() override;
    std::string ClassName() const override { return "TfrmLock"; }

    QLabel* imgLock() const { return m_imgLock; }
    QLineEdit* edtId() const { return m_edtId; }
    QLineEdit* edtPassword() const { return m_edtPassword; }

  protected:
    void showEvent(QShowEvent* event) override;
    void CloseQuery(bool& CanClose) override;

  private:
    const TAdminUser& m_user;
    QLabel* m_imgLock = nullptr;
    QLineEdit* m_edtId = nullptr;
    QLineEdit* m_edtPassword = nullptr;
};
