#pragma once
// "New Message" (unit ComposeMail): the module window in which a user
// writes an O-Mail message and sends it through the system procedure
// SEND_MAIL (sysMail, on the system database "SYSTEM_DATA").
//
// The main window's SendOMail opens it (the mailbox's Compose and a
// message's Reply go through there). Recipients are chosen by kind: the
// users typed or picked ("Selected Users", SEND_MAIL "URL"), a role picked
// from the role list ("Specific Role", "ROL"), or the board ("BOR", set only
// by a broadcast request: the choice has no entry for it). A caller may
// preset a recipient type and counter that take the place of the choice.
// The rules are plain (MailRules.h). Main thread only.

#include "Components/Controller/applets/KldForms.h"

#include <memory>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class TMaskEdit;
class TovnOndrelQuery;
class TovnOndrelSystem;

class TfrmComposeMail : public TModuleForm
{
  public:
    explicit TfrmComposeMail(QWidget* Parent = nullptr);
    ~TfrmComposeMail() override;
    std::string ClassName() const override { return "TfrmComposeMail"; }

    // The kind: 0 selected users, 1 a role, 2 the board. Switching restores
    // the texts saved by SaveParams (board: empty, no role).
    int Kind() const { return m_kind; }
    void SetKind(int Value);
    void SetKindEnabled(bool Value);
    std::string ToText() const;
    void SetToText(const std::string& Value);
    // The chosen role's counter (the To field's tag); 0 when none.
    int32_t RoleCounter() const;
    std::string Subject() const;
    void SetSubject(const std::string& Value);
    // The message with CR LF line breaks.
    std::string MessageText() const;
    void SetMessageText(const std::string& Value);
    const std::string& Attachment() const { return m_attachment; }
    void SetAttachment(const std::string& Path);
    // Set by any change of subject or message the user makes; cleared by
    // sending.
    bool Modified() const { return m_modified; }
    bool GetModified() const override { return m_modified; }
    void ResetModify() override { m_modified = false; }

    // What the caller presets instead of the choice ("URL", "ROL", "BOR"
    // and a counter; a counter below 1 is none).
    std::string PresetType;
    int32_t PresetCounter = -1;

    // Keeps the recipient text and the role present now, for kind switches.
    void SaveParams();

    // The buttons' actions; errors raise to the caller (the buttons hand
    // them to the application's exception handler).
    void SelectExec();
    void LoadTextExec();
    void SaveTextExec();
    void AttachExec();
    void RemoveAttachmentExec();
    // Checks, sends and closes; a failure leaves the window and its content.
    void SendExec();

    bool CloseQuery() override;
    void FormClose(TFormCloseAction& Action) override;

    // Components and controls.
    TovnOndrelSystem& sysMail() const { return *m_sysMail; }
    TovnOndrelQuery& qryUsers() const { return *m_qryUsers; }
    TovnOndrelQuery& qryRoles() const { return *m_qryRoles; }
    QComboBox* cbKind = nullptr;
    TMaskEdit* edTo = nullptr;
    QPushButton* btnSelect = nullptr;
    QLineEdit* edSubject = nullptr;
    QPlainTextEdit* memMessage = nullptr;
    QPushButton* btnSend = nullptr;
    QPushButton* btnLoad = nullptr;
    QPushButton* btnSave = nullptr;
    QPushButton* btnAttach = nullptr;
    QPushButton* btnRemove = nullptr;
    QLabel* lblAttachment = nullptr;

  private:
    void BuildControls();
    void KindChanged();
    void RunGuarded(const char* Where, void (TfrmComposeMail::*Action)());

    int m_kind = 0;
    bool m_modified = false;
    bool m_filling = false;
    std::string m_attachment;
    std::string m_savedUsers;
    std::string m_savedRoleText;
    int32_t m_savedRoleCounter = 0;
    std::unique_ptr<TovnOndrelSystem> m_sysMail;
    std::unique_ptr<TovnOndrelQuery> m_qryUsers;
    std::unique_ptr<TovnOndrelQuery> m_qryRoles;
};

// Reads a whole file; an unreadable one raises EFOpenError naming it.
std::string ReadMailFile(const std::string& FileName);
