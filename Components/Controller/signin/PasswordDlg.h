#pragma once
// The plain user-and-password prompt `TPasswordDlg` ("Login") of the
// database explorer. OK needs a user name ("Please specify a user name")
// and a password ("Please specify a user password"); a refused OK focuses
// the field, shows the reason in the standard error box and keeps the
// dialog open.
//
// User-interface thread only.

#include "platform/Forms.h"

#include <string>

class QLineEdit;

class TPasswordDlg : public TDialogForm
{
  public:
    explicit TPasswordDlg(QWidget* parent = nullptr);
    ~TPasswordDlg() override;
    std::string ClassName() const override { return "TPasswordDlg"; }

    // Prompts with both values filled in: on OK True with both values
    // trimmed; on Cancel False with both left as they were.
    static bool Execute(std::string& UserName, std::string& Password);

    QLineEdit* edtUserName() const { return m_edtUserName; }
    QLineEdit* edtPassword() const { return m_edtPassword; }

  protected:
    void CloseQuery(bool& CanClose) override;

  private:
    QLineEdit* m_edtUserName = nullptr;
    QLineEdit* m_edtPassword = nullptr;
};
