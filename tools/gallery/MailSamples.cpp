// O-Mail: "New Message" with a recipient and an attachment, the mailbox's
// Inbox (unread rows, a row with an attachment, a system message) and Sent
// Mail, and one message in its window. The mailbox's grids show local rows
// of the same columns its queries read.

#include "tools/gallery/GallerySamples.h"

#include "Components/Controller/mail/ComposeMail.h"
#include "Components/Controller/mail/MailBody.h"
#include "Components/Controller/mail/MailRules.h"
#include "Components/Controller/mail/ReadMail.h"
#include "Components/KldDBComponents/KldDataSet.h"
#include "platform/DBGrids.h"
#include "platform/DataSource.h"
#include "platform/DateUtils.h"
#include "platform/Mask.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QToolButton>

namespace {

struct TMailRows
{
    const char* Read;
    const char* From;
    const char* Subject;
    int Day;
    const char* File;
};

// A local table of the mailbox's columns.
struct TMailData
{
    TKldDataContainer Container;
    TKldDataSet Ds;
    TDataSource Source;
    TMailData(const char* Name, bool Inbox, const std::vector<TMailRows>& Rows)
    {
        TKldDataTable* t = Container.Tables().Add();
        t->SetName(Name);
        t->Columns().AddColumn("COUNTER", cdtInteger);
        t->Columns().AddColumn("MAIL_TYPE", cdtString, 3);
        t->Columns().AddColumn("DATE_TIME_SENT", cdtDateTime);
        t->Columns().AddColumn("SUBJECT", cdtString, 200);
        t->Columns().AddColumn("HAS_BEEN_READ", cdtString, 1);
        t->Columns().AddColumn("FILE_NAME", cdtString, 255);
        t->Columns().AddColumn("USER_NAME", cdtString, 60);
        t->Columns().AddColumn("USER_TYPE", cdtString, 3);
        t->Columns().AddColumn("ENTERPRISE", cdtString, 60);
        t->Columns().AddColumn("FULL_USER_NAME", cdtString, 120);
        t->BeginUpdate();
        int counter = 1;
        for (const TMailRows& r : Rows) {
            TKldDataRow* row = t->New();
            row->SetAsVariant("COUNTER", counter++);
            row->SetAsVariant("MAIL_TYPE", "URL");
            row->SetAsVariant("DATE_TIME_SENT",
                              Variant::FromDate(EncodeDateTime(2026, 12, r.Day, 9, 30, 0, 0)));
            row->SetAsVariant("SUBJECT", r.Subject);
            row->SetAsVariant("HAS_BEEN_READ", r.Read);
            row->SetAsVariant("FILE_NAME", r.File);
            row->SetAsVariant("FULL_USER_NAME", r.From);
            t->Insert(row);
        }
        t->EndUpdate();
        Ds.SetDataContainer(&Container);
        Ds.SetDataTableName(Name);
        Ds.Open();
        for (const char* hidden : {"COUNTER", "MAIL_TYPE"})
            Ds.FieldByName(hidden)->SetVisible(false);
        MailGridLabels(Ds, Inbox);
        Source.SetDataSet(&Ds);
    }
};

void ShowLabel(QLabel* Label, const TMailBoxLabel& Look)
{
    Label->setText(QString::fromStdString(Look.Text));
    QFont f = Label->font();
    f.setBold(Look.Bold);
    Label->setFont(f);
    QPalette p = Label->palette();
    p.setColor(QPalette::WindowText, Look.Color == clBlue ? QColor(0, 0, 255) : QColor(0, 0, 0));
    p.setColor(QPalette::Text, Look.Color == clBlue ? QColor(0, 0, 255) : QColor(0, 0, 0));
    Label->setPalette(p);
}

QWidget* MakeCompose(QWidget* parent)
{
    auto* f = new TfrmComposeMail(parent);
    f->SetToText("MANAGER@HARBOUR VIEW CARE, ADMIN@GLOBAL ENTERPRISE");
    f->SetSubject("Night shift on Friday");
    f->SetMessageText(
        "Hello Helen,\r\n\r\ncould someone take my night shift on Friday? The rota is attached.\r\n\r\n"
        "Thanks,\r\nTom");
    f->SetAttachment("/home/tom/Documents/rota-december.pdf");
    return f;
}

TfrmReadMail* MakeBox(QWidget* parent, bool Inbox)
{
    static TMailData inbox(
        "Inbox", true,
        {{"F", "Tom Ward [NURSE@HARBOUR VIEW CARE]", "Night shift on Friday", 11, "rota-december.pdf"},
         {"F", "Carol Reed [CAROL@HARBOUR VIEW CARE]", "Medication round", 10, ""},
         {"T", "", "Nightly backup completed", 9, ""},
         {"T", "System Manager [ADMIN@GLOBAL ENTERPRISE]", "Welcome to O-Mail", 8, "handbook.txt"}});
    static TMailData sent("Sent", false,
                          {{"F", "Tom Ward [NURSE@HARBOUR VIEW CARE]", "Re: Night shift on Friday", 11, ""},
                           {"T", "Carol Reed [CAROL@HARBOUR VIEW CARE]", "Training plan", 7, "plan.xlsx"}});
    auto* box = new TfrmReadMail(parent);
    box->grdInbox->SetDataSource(&inbox.Source);
    box->grdSent->SetDataSource(&sent.Source);
    box->grdInbox->setVisible(Inbox);
    box->grdSent->setVisible(!Inbox);
    ShowLabel(box->lblInbox, MailBoxLabel("Inbox", 2, Inbox));
    ShowLabel(box->lblSent, MailBoxLabel("Sent", 0, !Inbox));
    box->actKeepAsNew->setVisible(Inbox);
    box->actKeepAsNew->setText(QStringLiteral("Mark Read"));
    box->actDelete->setVisible(Inbox);
    box->actUnsend->setVisible(!Inbox);
    (Inbox ? box->grdInbox : box->grdSent)->selectRow(0);
    return box;
}

QWidget* MakeInbox(QWidget* parent)
{
    return MakeBox(parent, true);
}

QWidget* MakeSent(QWidget* parent)
{
    return MakeBox(parent, false);
}

QWidget* MakeBody(QWidget* parent)
{
    auto* f = new TfrmMailBody(parent);
    f->edFrom->setText(QString::fromStdString(MailFromText("NURSE", "HARBOUR VIEW CARE", "Tom Ward")));
    f->edSubject->setText("Night shift on Friday");
    f->memBody->setPlainText(
        "Hello Helen,\n\ncould someone take my night shift on Friday? The rota is attached.\n\n"
        "Thanks,\nTom");
    f->lblFileName->setText("rota-december.pdf");
    f->btnAttachment->setVisible(true);
    return f;
}

const TGalleryRegistration Compose{{"mail-compose", QSize(760, 420), MakeCompose, nullptr}};
// With rows, the actions a box offers are enabled (the local rows stand in
// for the open queries the window asks).
std::vector<std::pair<std::string, QImage>> EnableActions(QWidget* Control)
{
    auto* box = static_cast<TfrmReadMail*>(Control);
    for (QAction* a : {box->actRead, box->actKeepAsNew, box->actDelete, box->actUnsend, box->actFilter})
        a->setEnabled(true);
    return {};
}

const TGalleryRegistration InboxBox{{"mail-inbox", QSize(980, 360), MakeInbox, EnableActions}};
const TGalleryRegistration SentBox{{"mail-sent", QSize(980, 360), MakeSent, EnableActions}};
const TGalleryRegistration Body{{"mail-message", QSize(760, 420), MakeBody, nullptr}};

} // namespace
