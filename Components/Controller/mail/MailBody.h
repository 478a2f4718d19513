#pragma once
// One O-Mail message in a module window of its own (unit MailBody): sender,
// subject and text from qryMail, the attachment saved through qryAttach,
// Reply (a new message through the main window's SendOMail) and Print.
// The main window's ViewMail opens it. Main thread only.

#include "Components/Controller/applets/KldForms.h"

#include <memory>
#include <string>

class QLabel;
class QLineEdit;
class QPagedPaintDevice;
class QPlainTextEdit;
class QPushButton;
class QToolButton;
class TovnOndrelQuery;

class TfrmMailBody : public TModuleForm
{
  public:
    explicit TfrmMailBody(QWidget* Parent = nullptr);
    ~TfrmMailBody() override;
    std::string ClassName() const override { return "TfrmMailBody"; }

    int32_t MailCounter = 0;
    TovnOndrelQuery& qryMail() const { return *m_qryMail; }
    TovnOndrelQuery& qryAttach() const { return *m_qryAttach; }

    // Fills the view from qryMail (NULL values read as empty).
    void DoUpdateView();
    // A new message to the sender: " > " before every line, "Re: " before
    // the subject.
    void ReplyExec();
    // Prints on the default printer; raises when there is none.
    void PrintExec();
    // Prints the message on Device ("Courier New" 10, or the system's
    // fixed-pitch font when that is missing).
    void PrintTo(QPagedPaintDevice& Device) const;
    // Asks where to save the attachment (the offered name is
    // AttachmentSaveName) and writes it whole; "No Attachment" when the row
    // has none.
    void SaveAttachmentExec();

    std::string FromText() const;
    std::string SubjectText() const;
    std::string BodyText() const;
    // The sender of the shown message ('' for system mail).
    const std::string& SenderID() const { return m_userID; }
    const std::string& SenderEnterprise() const { return m_enterprise; }

    QLineEdit* edFrom = nullptr;
    QLineEdit* edSubject = nullptr;
    QPlainTextEdit* memBody = nullptr;
    QPushButton* btnReply = nullptr;
    QPushButton* btnPrint = nullptr;
    QPushButton* btnForward = nullptr;
    QToolButton* btnAttachment = nullptr;
    QLabel* lblFileName = nullptr;

    void FormClose(TFormCloseAction& Action) override;

  protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

  private:
    void RunGuarded(const char* Where, void (TfrmMailBody::*Action)());

    std::string m_userID;
    std::string m_enterprise;
    std::unique_ptr<TovnOndrelQuery> m_qryMail;
    std::unique_ptr<TovnOndrelQuery> m_qryAttach;
};

// The font a printed message uses: "Courier New" 10 when the system has it,
// else the system's fixed-pitch font at 10 points.
class QFont;
QFont MailPrintFont();
