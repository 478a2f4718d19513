// The main window's O-Mail roads: a prefilled message (SendOMail), one
// message in its window (ViewMail) and the one mailbox (DoOpenOMail).
#include "Components/Controller/applets/KldForms.h"
#include "Components/Controller/mail/ComposeMail.h"
#include "Components/Controller/mail/MailBody.h"
#include "Components/Controller/mail/MailRules.h"
#include "Components/Controller/mail/ReadMail.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/ovnAdmin.h"
#include "Components/Controller/ovnController.h"
#include "Components/Nembra/ovnOndrel.h"
#include "platform/Dialogs.h"

#include <QCoreApplication>

bool TfrmOrvaneBrowser4::SendOMail(const std::string& To, const std::string& Subject,
                                   const std::string& Message, const std::string& FileName, bool AutoSend,
                                   bool Broadcast, int32_t Counter, const std::string& CounterText,
                                   const std::string& MailType)
{
    const TAdminUser& user = GetUser();
    const TSendOMailPlan plan = PlanSendOMail(
        user.UserType, user.C_Enterprise, Controller ? Controller->Preferences().MailFooter : "", To, Subject,
        Message, FileName, Broadcast, Counter, CounterText, MailType);
    auto* form = new TfrmComposeMail(nullptr);
    form->PresetType = plan.PresetType;
    form->PresetCounter = plan.PresetCounter;
    // The kind first: a switch of kind restores the texts saved at show,
    // which the caller's texts are about to become.
    if (plan.Kind >= 0)
        form->SetKind(plan.Kind);
    form->SetToText(plan.ToText);
    form->SetSubject(plan.Subject);
    form->SetMessageText(plan.Message);
    form->SetAttachment(plan.Attachment);
    if (AutoSend) {
        try {
            form->SendExec();
        } catch (...) {
            // A message that cannot go stays on screen with its content.
            form->show();
            throw;
        }
        return false;
    }
    for (const std::string& line : plan.RoleConditions)
        form->qryRoles().SQLSchema().Where().Add(line);
    for (const std::string& line : plan.UserConditions)
        form->qryUsers().SQLSchema().Where().Add(line);
    form->SetKindEnabled(plan.KindEnabled);
    if (AppDesktop)
        AppDesktop->SetActive(form);
    else
        form->show();
    form->SaveParams();
    return false;
}

void TfrmOrvaneBrowser4::ViewMail(int32_t MailCounter)
{
    if (AppDesktop)
        for (int i = 0; i < AppDesktop->GetFormCount(); ++i)
            if (auto* body = dynamic_cast<TfrmMailBody*>(AppDesktop->GetForm(i));
                body && body->MailCounter == MailCounter) {
                AppDesktop->SetActive(body);
                return;
            }
    if (!m_dbSys->Active())
        m_dbSys->Open();
    auto* form = new TfrmMailBody(nullptr);
    QCoreApplication::processEvents();
    form->MailCounter = MailCounter;
    form->qryMail().SQLSchema().Where().SetText("TM.COUNTER = " + std::to_string(MailCounter));
    try {
        form->qryMail().Open();
    } catch (...) {
        delete form;
        throw;
    }
    if (form->qryMail().IsEmpty()) {
        MessageDlg("Specified mail was deleted", mtError, {mbOK});
        form->close();
        return;
    }
    form->DoUpdateView();
    if (AppDesktop)
        AppDesktop->SetActive(form);
    else
        form->show();
}

void TfrmOrvaneBrowser4::DoOpenOMail()
{
    if (auto* box = dynamic_cast<TfrmReadMail*>(m_systemWindows[swReadMail].Window())) {
        if (AppDesktop)
            AppDesktop->SetActive(box);
        if (UnreadMailCount() > 0) {
            box->CheckMail();
            NewMailDone();
        }
        return;
    }
    if (!SystemWindowFactory(swReadMail))
        RegisterSystemWindow(swReadMail, [](QWidget* Owner) { return new TfrmReadMail(Owner); });
    bool created = false;
    auto* box = dynamic_cast<TfrmReadMail*>(m_systemWindows[swReadMail].Open(swReadMail, this, created));
    if (!box)
        return;
    box->Populate();
    AppletActivated("System", box->Caption(), box);
    if (AppDesktop)
        AppDesktop->SetActive(box);
}

void TfrmOrvaneBrowser4::ResetMailTimer()
{
    if (auto* box = dynamic_cast<TfrmReadMail*>(m_systemWindows[swReadMail].Window()))
        box->ResetTimer();
}
